// Checksum of a CAB data block: 32-bit little-endian words XORed together, the last 1-3 bytes
// taken most significant first; first over the block's data, then, seeded with that, over
// its two size fields.
#pragma once

#include <cstddef>
#include <cstdint>

namespace archivers::cab {

std::uint32_t Checksum(const std::uint8_t* data, std::size_t size, std::uint32_t seed);

// Value stored in a block: the data's checksum folded with the 4 bytes of cbData/cbUncomp.
std::uint32_t BlockChecksum(const std::uint8_t* data, std::uint16_t compressedSize, std::uint16_t uncompressedSize);

}  // namespace archivers::cab
