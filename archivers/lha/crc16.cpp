#include "crc16.h"

#include <array>

namespace archivers::lha {
namespace {

constexpr std::array<std::uint16_t, 256> MakeTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned r = i;
        for (int k = 0; k < 8; ++k) r = (r & 1) ? (r >> 1) ^ 0xA001u : r >> 1;
        table[i] = static_cast<std::uint16_t>(r);
    }
    return table;
}

constexpr auto kTable = MakeTable();

}  // namespace

void Crc16::Update(const std::uint8_t* data, std::size_t size) {
    std::uint16_t crc = value_;
    for (std::size_t i = 0; i < size; ++i) crc = static_cast<std::uint16_t>(kTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
    value_ = crc;
}

std::uint16_t ComputeCrc16(const std::uint8_t* data, std::size_t size) {
    Crc16 crc;
    crc.Update(data, size);
    return crc.Value();
}

}  // namespace archivers::lha
