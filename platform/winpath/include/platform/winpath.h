// Windows paths (Shift-JIS) to host paths (UTF-8) and back.
//
// Windows -> host: the drive letter (or configured UNC share, platform/drives.h) gives a host
// folder; each element below it is looked up on disk without regard to the case of its
// single-byte letters, since Windows names ignore case:
//   - an entry whose name is exactly the element (as UTF-8) is used when it exists;
//   - otherwise the entries that equal it ignoring case; of several, the one whose host name
//     sorts first byte-wise (so the choice does not depend on the order the folder lists them);
//   - otherwise the element as given, and every element after it as given (new files and
//     folders are made under the name the caller spelled).
// Names go to UTF-8 through CP932; bytes that do not convert are kept as they are, so such a
// name still names the same host entry when it comes back.
//
// Only full paths convert: "C:\...", "C:/..." and "\\server\share\...". Relative paths,
// "\x" (root of the current drive) and "C:x" (current folder of a drive) give nothing, as do
// names with characters that Windows forbids (< > : " | ? * and control characters).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform::winpath {

// Host path of a Windows path; nullopt when the path is invalid or its drive or share is not
// mapped. "." and ".." are taken apart as text first ("C:\a\..\b" is "C:\b").
std::optional<std::filesystem::path> ToHostPath(std::string_view windowsPath);

// Windows path of a host path (a relative one is taken from the current folder): the drive
// whose host folder holds the path and is the longest; "C:\" style for a drive root. Empty when
// no drive holds it or a name in it cannot be a Windows name (such as one with a backslash).
std::string ToWindowsPath(const std::filesystem::path& hostPath);

// A path typed on a command line (UTF-8, as the shell hands it over): a Windows path ("C:\x",
// "c:/x", "\\srv\share\x") is taken as it is, anything else is a host path and becomes the
// Windows path of it ("/tmp/a.PJ2" -> "Z:\tmp\a.PJ2"). Apply it to path arguments only, after
// switches such as /BUILD have been recognised. Empty when the path cannot be expressed.
std::string FromCommandLine(std::string_view arg);

// One name, Shift-JIS -> host (UTF-8) and back; unconvertible bytes are kept.
std::string WindowsNameToHost(std::string_view name);
std::string HostNameToWindows(std::string_view hostName);

}  // namespace platform::winpath
