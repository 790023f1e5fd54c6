#include "hw/can_frame.h"

#include <cstdio>
#include <vector>

namespace hw {

bool CanFrame::operator==(const CanFrame& o) const {
    if (id != o.id || extended != o.extended || remote != o.remote || dlc != o.dlc) return false;
    for (unsigned i = 0; i < DataBytes(); ++i)
        if (data[i] != o.data[i]) return false;
    return true;
}

std::string CanFrame::ToString() const {
    char buf[64];
    std::snprintf(buf, sizeof buf, extended ? "%08X%s [%u]" : "%03X%s [%u]", id, remote ? "r" : "", dlc);
    std::string s = buf;
    for (unsigned i = 0; i < DataBytes(); ++i) {
        std::snprintf(buf, sizeof buf, " %02X", data[i]);
        s += buf;
    }
    return s;
}

unsigned ArbitrationBits(const CanFrame& f, uint8_t bits[32]) {
    unsigned n = 0;
    if (!f.extended) {
        for (int b = 10; b >= 0; --b) bits[n++] = (f.id >> b) & 1;
        bits[n++] = f.remote ? 1 : 0;  // RTR
        return n;                      // IDE (dominant) follows in the control field
    }
    for (int b = 28; b >= 18; --b) bits[n++] = (f.id >> b) & 1;
    bits[n++] = 1;  // SRR
    bits[n++] = 1;  // IDE
    for (int b = 17; b >= 0; --b) bits[n++] = (f.id >> b) & 1;
    bits[n++] = f.remote ? 1 : 0;
    return n;
}

int Arbitrate(const CanFrame& a, const CanFrame& b, unsigned* lost_bit) {
    uint8_t ba[33], bb[33];
    unsigned na = ArbitrationBits(a, ba), nb = ArbitrationBits(b, bb);
    // A standard frame's IDE bit (dominant) stands where an extended frame has its recessive IDE.
    if (!a.extended) ba[na++] = 0;
    if (!b.extended) bb[nb++] = 0;
    unsigned n = na < nb ? na : nb;
    for (unsigned i = 0; i < n; ++i) {
        if (ba[i] != bb[i]) {
            if (lost_bit) *lost_bit = i;
            return ba[i] < bb[i] ? -1 : 1;  // the dominant (0) bit wins
        }
    }
    if (lost_bit) *lost_bit = n;
    return 0;
}

namespace {
uint16_t Crc15(const std::vector<uint8_t>& bits) {
    uint16_t crc = 0;
    for (uint8_t bit : bits) {
        bool next = ((crc >> 14) & 1) ^ bit;
        crc = static_cast<uint16_t>((crc << 1) & 0x7FFF);
        if (next) crc ^= 0x4599;
    }
    return crc;
}
}  // namespace

unsigned WireBits(const CanFrame& f) {
    // Start of frame through CRC sequence, subject to bit stuffing.
    std::vector<uint8_t> bits;
    bits.push_back(0);  // SOF
    uint8_t arb[32];
    unsigned n = ArbitrationBits(f, arb);
    bits.insert(bits.end(), arb, arb + n);
    if (!f.extended) bits.push_back(0);  // IDE
    bits.push_back(0);                   // r0 (and r1 for extended frames)
    if (f.extended) bits.push_back(0);
    for (int b = 3; b >= 0; --b) bits.push_back((f.dlc >> b) & 1);
    for (unsigned i = 0; i < f.DataBytes(); ++i)
        for (int b = 7; b >= 0; --b) bits.push_back((f.data[i] >> b) & 1);
    uint16_t crc = Crc15(bits);
    for (int b = 14; b >= 0; --b) bits.push_back((crc >> b) & 1);
    unsigned stuff = 0, run = 0;
    uint8_t last = 2;
    for (uint8_t bit : bits) {
        if (bit == last) {
            ++run;
        } else {
            last = bit;
            run = 1;
        }
        if (run == 5) {
            ++stuff;
            last = static_cast<uint8_t>(!bit);  // the stuff bit starts a new run
            run = 1;
        }
    }
    // CRC delimiter, ACK slot and delimiter, 7 bits end of frame, 3 bits intermission.
    return static_cast<unsigned>(bits.size()) + stuff + 1 + 2 + 7 + 3;
}

}  // namespace hw
