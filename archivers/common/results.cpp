#include "common/results.h"

#include <cstring>

namespace archivers {

void WriteOutput(char* output, std::uint32_t size, const std::string& text) {
    if (!output || size == 0) return;
    const std::size_t n = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(output, text.data(), n);
    output[n] = '\0';
}

}  // namespace archivers
