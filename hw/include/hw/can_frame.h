// One CAN frame as it travels on the simulated bus.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace hw {

struct CanFrame {
    uint32_t id = 0;        // 11 or 29 significant bits
    bool extended = false;  // 29-bit identifier
    bool remote = false;    // remote transmission request
    uint8_t dlc = 0;        // data length code 0-15; at most 8 data bytes travel
    std::array<uint8_t, 8> data{};

    unsigned DataBytes() const { return remote ? 0u : (dlc > 8 ? 8u : dlc); }
    bool operator==(const CanFrame& o) const;
    std::string ToString() const;  // "1FFFE001x [8] 00 09 ..." for test messages
};

// The arbitration field as it is sent, most significant bit first: identifier, RTR/SRR, IDE,
// (identifier extension, RTR). Returns the number of bits (12 or 32) and fills bits[].
unsigned ArbitrationBits(const CanFrame& f, uint8_t bits[32]);
// Compares two frames' arbitration fields. Returns <0 when a wins, >0 when b wins, 0 when both
// are identical. *lost_bit is the position of the first differing bit (the loser's capture).
int Arbitrate(const CanFrame& a, const CanFrame& b, unsigned* lost_bit);
// Bits a frame occupies on the wire including stuff bits, ACK, end of frame and the
// three-bit intermission.
unsigned WireBits(const CanFrame& f);

}  // namespace hw
