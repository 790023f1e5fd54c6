// Whole-file reads and crash-safe whole-file writes on host paths. Every writer of a file that
// the suite rewrites as a whole (hives, project files, settings) goes through these.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The file's bytes; nullopt (and the reason in *error) when it cannot be read.
std::optional<std::string> ReadHostFile(const std::filesystem::path& path, std::string* error = nullptr);

// Writes `data` to a temporary file in the same folder, flushes it to disk, gives it the
// permission bits of the file it replaces, and renames it over `path`. On failure the old
// file is left as it was, the temporary file is removed and *error names the failing call.
bool WriteHostFileAtomic(const std::filesystem::path& path, std::string_view data,
                         std::string* error = nullptr);

// Test seam: when set, the atomic writer stops after this many bytes of the temporary file
// and fails as a full disk would. Negative disables it.
void SetWriteFailureAfterBytesForTesting(long long bytes);

}  // namespace platform
