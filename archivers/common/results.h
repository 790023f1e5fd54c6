// Results of the archiver entry points and how a failure's reason reaches the caller.
#pragma once

#include <cstdint>
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

}  // namespace archivers
