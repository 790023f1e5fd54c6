// CRC-16 of LHA archives: polynomial 0x8005 taken bit-reflected (0xA001), start value 0.
// It guards each member's original bytes and each level-2 header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace archivers::lha {

class Crc16 {
public:
    void Update(const std::uint8_t* data, std::size_t size);
    std::uint16_t Value() const { return value_; }

private:
    std::uint16_t value_ = 0;
};

std::uint16_t ComputeCrc16(const std::uint8_t* data, std::size_t size);

}  // namespace archivers::lha
