// Results of the archiver entry points and how a failure's reason reaches the caller.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace archivers {

inline constexpr int kResultOk = 0;
inline constexpr int kResultBusy = 0x8001;         // another call is running
inline constexpr int kResultCommand = 0x8002;      // command line not understood or not supported
inline constexpr int kResultNoFiles = 0x8003;      // nothing matched the masks
inline constexpr int kResultFile = 0x8004;         // a file could not be read or written
inline constexpr int kResultBadArchive = 0x8005;   // damaged archive, checksum mismatch
inline constexpr int kResultUnsafePath = 0x8006;   // member name would leave the target folder
inline constexpr int kResultNotFound = 0x8007;     // archive or folder missing

// Copies text into the caller's buffer as one NUL-terminated line (cut to fit).
void WriteOutput(char* output, std::uint32_t size, const std::string& text);

// What one command did: its result code and the line that tells why.
struct Outcome {
    int code = kResultOk;
    std::string text;
};
inline Outcome Error(int code, const std::string& text) { return {code, text}; }

// One call of a library's entry point: a call while another runs is refused as busy, an
// exception becomes a file error, and the answer goes into the caller's buffer.
int RunEntry(std::atomic<bool>& running, char* output, std::uint32_t size, const std::function<Outcome()>& run);

}  // namespace archivers
