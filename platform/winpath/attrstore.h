// Where the Windows flags of a host file live: its extended attribute, or the sidecar file of
// its folder where the file system has no user extended attributes (see platform/winfile.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace platform::winpath::detail {

inline constexpr const char* kAttributeName = "user.zuzoruve.attributes";
inline constexpr const char* kSidecarName = ".zuzoruve-attributes";

// The sidecar of one folder: host name -> flags.
using SidecarEntries = std::map<std::string, std::uint32_t>;

// Flags stored for a host file; nullopt when none were ever stored. `sidecar`, when given, is
// the already read sidecar of the file's folder (saves reading it once per file of a listing).
std::optional<std::uint32_t> ReadFlags(const std::filesystem::path& host, const SidecarEntries* sidecar = nullptr);
// Stores flags for a host file.
bool WriteFlags(const std::filesystem::path& host, std::uint32_t flags);
// Stores flags for a host file in its folder's sidecar (where extended attributes are missing).
bool WriteSidecarFlags(const std::filesystem::path& host, std::uint32_t flags);
// How storing flags through an open file went.
enum class FlagStore { Written, Unsupported, Failed };
// Stores flags in the extended attribute of a file open for writing, without looking its name
// up again (errno says why on Failed). Unsupported where the file system has no user extended
// attributes: the flags then belong in the sidecar, which WriteFlags fills by name.
FlagStore WriteFlagsOf(int fd, std::uint32_t flags);
// Drops what the sidecar holds for a file that is gone or replaced (an extended attribute goes
// with its file by itself).
void ForgetFlags(const std::filesystem::path& host);
// After `from` was renamed to `to`: moves the sidecar entry along (replacing one of `to`).
void MoveFlags(const std::filesystem::path& from, const std::filesystem::path& to);
// Reads the sidecar of a folder; empty when there is none.
SidecarEntries ReadSidecar(const std::filesystem::path& folder);

void SetExtendedAttributesEnabled(bool enabled);

}  // namespace platform::winpath::detail
