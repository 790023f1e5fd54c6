// Byte streams between the archive formats and files or memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace archivers {

// Fills buf with up to size bytes: the count, 0 at the end, negative on a read error.
using ByteSource = std::function<std::ptrdiff_t(std::uint8_t* buf, std::size_t size)>;
// Takes size bytes; false on a write error.
using ByteSink = std::function<bool(const std::uint8_t* data, std::size_t size)>;

}  // namespace archivers
