#include "crc16.h"

#include <array>

namespace archivers::lha {
namespace {

// kTables[0] is the byte-wise table; kTables[k] gives the effect of a byte followed by k zero
// bytes, so that four bytes are taken in one step.
constexpr std::array<std::array<std::uint16_t, 256>, 4> MakeTables() {
    std::array<std::array<std::uint16_t, 256>, 4> t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned r = i;
        for (int k = 0; k < 8; ++k) r = (r & 1) ? (r >> 1) ^ 0xA001u : r >> 1;
        t[0][i] = static_cast<std::uint16_t>(r);
    }
    for (int k = 1; k < 4; ++k) {
        for (unsigned i = 0; i < 256; ++i) t[k][i] = static_cast<std::uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
    }
    return t;
}

constexpr auto kTables = MakeTables();

}  // namespace

void Crc16::Update(const std::uint8_t* data, std::size_t size) {
    std::uint32_t crc = value_;
    for (; size >= 4; data += 4, size -= 4) {
        const std::uint32_t x = crc ^ (data[0] | (std::uint32_t{data[1]} << 8));
        crc = kTables[3][x & 0xFF] ^ kTables[2][x >> 8] ^ kTables[1][data[2]] ^ kTables[0][data[3]];
    }
    for (; size > 0; ++data, --size) crc = kTables[0][(crc ^ *data) & 0xFF] ^ (crc >> 8);
    value_ = static_cast<std::uint16_t>(crc);
}

std::uint16_t ComputeCrc16(const std::uint8_t* data, std::size_t size) {
    Crc16 crc;
    crc.Update(data, size);
    return crc.Value();
}

}  // namespace archivers::lha
