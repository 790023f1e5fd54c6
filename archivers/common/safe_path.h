// Member names taken from an archive become host paths below an extraction folder only when
// they cannot leave it: no absolute paths, no drive letters, no "..".
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace archivers {

// Relative host path (UTF-8) of a Shift-JIS member name whose folders are separated by '\'
// or '/'; nullopt and *reason when the name is empty or would leave the extraction folder.
// Reasons name the member in Shift-JIS, as every text of the libraries' output.
std::optional<std::filesystem::path> SafeRelativePath(std::string_view sjisName, std::string* reason);

// One member of an archive about to be extracted.
struct MemberName {
    std::string name;        // Shift-JIS, folders separated by '\' or '/'
    bool directory = false;  // a folder member
};

// Checks a whole archive before anything of it is written: every name is safe, no two
// members name one file (Windows names ignore case), and no file stands where another member
// needs a folder. False with *reason naming the first offending member otherwise.
bool CheckMemberSet(const std::vector<MemberName>& members, std::string* reason);

// Creates the folders of `target` below `root` and checks that none of them is a link that
// leads elsewhere; false and *reason otherwise.
bool PrepareInside(const std::filesystem::path& root, const std::filesystem::path& target, std::string* reason);

// Shift-JIS text of a host path, for the reasons the libraries give.
std::string PathText(const std::filesystem::path& path);

}  // namespace archivers
