#include "common/results.h"

#include <cstring>

namespace archivers {

void WriteOutput(char* output, std::uint32_t size, const std::string& text) {
    if (!output || size == 0) return;
    const std::size_t n = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(output, text.data(), n);
    output[n] = '\0';
}

int RunEntry(std::atomic<bool>& running, char* output, std::uint32_t size, const std::function<Outcome()>& run) {
    bool expected = false;
    if (!running.compare_exchange_strong(expected, true)) {
        WriteOutput(output, size, "the library is busy");
        return kResultBusy;
    }
    Outcome r;
    try {
        r = run();
    } catch (const std::exception& e) {
        r = {kResultFile, e.what()};
    }
    WriteOutput(output, size, r.text);
    running = false;
    return r.code;
}

}  // namespace archivers
