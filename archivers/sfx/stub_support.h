// What both self-extractor stubs share: directive/option text, the user's temporary folder,
// the private extraction folder, the command (a member of the archive) and starting it, and
// removing what was extracted.
#pragma once

#include <sys/types.h>
#include <time.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/safe_path.h"

namespace archivers::sfx {

// Exit codes of both stubs.
inline constexpr int kExitDamaged = 2;         // damaged or missing archive, refused member, unusable folder
inline constexpr int kExitNotStarted = 3;      // the command could not be started
inline constexpr int kExitCommandRefused = 4;  // the command is not a member of the archive

// "Name=value" lines (CR LF or LF); a leading '$' of the name is dropped. Later lines win.
std::map<std::string, std::string> ParseDirectives(std::string_view text);

// True when the user's language (LC_ALL, LC_MESSAGES, LANG) is Japanese.
bool UserIsJapanese();

// $TMPDIR, else /tmp.
std::filesystem::path UserTempFolder();

// Host path of a Shift-JIS Windows-style path in which `placeholder` (ignoring case) stands
// for the user's temporary folder. A relative result is taken below the temporary folder.
std::filesystem::path ExpandStubPath(std::string_view sjisPath, std::string_view placeholder);

// Creates the extraction folder: a new folder of mode 0700 beside `wanted`, named as its last
// element followed by "." and a unique part, below `base` (a folder the user chose: the
// temporary folder, or the parent of a folder typed in). Missing folders between `base` and
// it are made with mode 0700; an existing one must be a real folder (no link), owned by this
// user or root and not writable by others unless sticky. Nothing is followed through a link.
// nullopt and *error when `wanted` is not below `base` or a folder on the way is refused.
std::optional<std::filesystem::path> CreatePrivateFolder(const std::filesystem::path& base,
                                                         const std::filesystem::path& wanted, std::string* error);

// The member of the archive that a command (Shift-JIS, as a directive or option gives it)
// names: a path inside `folderText`, the extraction folder as the directives give it (both
// with `placeholder` unexpanded and compared without regard to case), or a name relative to
// it. The member must be a file of `members` (matched without regard to case); its name as
// stored is returned. nullopt and *error for anything else: a path elsewhere, "..", a
// folder, a name the archive does not hold.
std::optional<std::string> CommandMember(std::string_view command, std::string_view folderText,
                                         const std::vector<MemberName>& members, std::string* error);

// Makes the extracted program (a regular file, no link) executable for its owner; false after
// printing why not.
bool MakeRunnable(const std::filesystem::path& program);
// Runs the program in `workdir` with `args` (the self-extractor's own arguments, so that "/S"
// reaches the installer) and waits. Returns its exit code, or kExitNotStarted after printing
// why it could not be started.
int RunCommand(const std::filesystem::path& program, const std::filesystem::path& workdir,
               const std::vector<std::string>& args);

// A file the stub wrote, known by its identity so that a file put in its place later is not
// taken for it (a new file may get the number of a removed one, never its change time).
struct ExtractedFile {
    std::filesystem::path path;
    dev_t device = 0;
    ino_t inode = 0;
    timespec changed{};
};
// The identities of the files just written.
std::vector<ExtractedFile> IdentifyExtracted(const std::vector<std::filesystem::path>& written);
// Removes the files the stub wrote that are still the same files, then the folders below
// `dest` and `dest` itself when they became empty. Anything else stays.
void RemoveExtracted(const std::filesystem::path& dest, const std::vector<ExtractedFile>& files);

// One line on standard error: "<stub>: <Shift-JIS message converted for the terminal>".
int Report(const char* stub, int code, const std::string& sjisMessage);

}  // namespace archivers::sfx
