#include "checksum.h"

namespace archivers::cab {

std::uint32_t Checksum(const std::uint8_t* p, std::size_t size, std::uint32_t seed) {
    std::uint32_t sum = seed;
    std::size_t words = size / 4;
    while (words--) {
        sum ^= std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
               (std::uint32_t{p[3]} << 24);
        p += 4;
    }
    std::uint32_t tail = 0;
    switch (size % 4) {
    case 3: tail = (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2]; break;
    case 2: tail = (std::uint32_t{p[0]} << 8) | p[1]; break;
    case 1: tail = p[0]; break;
    default: break;
    }
    return sum ^ tail;
}

std::uint32_t BlockChecksum(const std::uint8_t* data, std::uint16_t compressedSize, std::uint16_t uncompressedSize) {
    const std::uint8_t sizes[4] = {static_cast<std::uint8_t>(compressedSize & 0xFF),
                                   static_cast<std::uint8_t>(compressedSize >> 8),
                                   static_cast<std::uint8_t>(uncompressedSize & 0xFF),
                                   static_cast<std::uint8_t>(uncompressedSize >> 8)};
    return Checksum(sizes, 4, Checksum(data, compressedSize, 0));
}

}  // namespace archivers::cab
