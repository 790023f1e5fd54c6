// What both self-extractor stubs share: directive/option text, the user's temporary folder,
// and starting the command after extraction.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace archivers::sfx {

// "Name=value" lines (CR LF or LF); a leading '$' of the name is dropped. Later lines win.
std::map<std::string, std::string> ParseDirectives(std::string_view text);

// True when the user's language (LC_ALL, LC_MESSAGES, LANG) is Japanese.
bool UserIsJapanese();

// $TMPDIR, else /tmp.
std::filesystem::path UserTempFolder();

// Host path of a Shift-JIS Windows-style path in which `placeholder` (ignoring case) stands
// for the user's temporary folder. A relative result is taken below the temporary folder.
std::filesystem::path ExpandStubPath(std::string_view sjisPath, std::string_view placeholder);

// Finds `program` (matching each element without regard to case when the exact name is
// missing), makes it executable, runs it in `workdir` with `args` (the self-extractor's own
// arguments, so that "/S" reaches the installer) and waits. Returns its exit code, or 3 after
// printing why it could not be started.
int RunCommand(const std::filesystem::path& program, const std::filesystem::path& workdir,
               const std::vector<std::string>& args, std::string* error);

}  // namespace archivers::sfx
