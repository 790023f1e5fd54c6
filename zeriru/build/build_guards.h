// What a build refuses because a project came from someone else: output folders whose loss
// would destroy data, output names that leave their folder, item targets outside the install
// folder. Projects travel between people, so every text here is untrusted. Windows paths,
// Shift-JIS.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zeriru {

class TBuildMachine;

// A folder as the host sees it, so that two spellings of one folder (letter case, C:\x and the
// Z: path of the same host folder, links) are recognised as one. Folders below it that do not
// exist yet count as below it.
class HostFolder {
public:
    explicit HostFolder(std::string_view windowsFolder);
    // False when the path names no host folder (an unmapped drive).
    bool Valid() const { return host_.has_value(); }
    // Whether the folder is `path` or holds it at any depth.
    bool Holds(std::string_view windowsPath) const;
    // Whether `path` is this folder or holds it.
    bool IsHeldBy(std::string_view windowsPath) const;

private:
    std::optional<std::filesystem::path> host_;
};

// The canonical host path of a Windows path; nullopt when the path maps to no host path.
std::optional<std::filesystem::path> CanonicalHostPath(std::string_view windowsPath);
// Whether `inner` is `outer` or lies below it (whole elements compared).
bool IsSameOrBelow(const std::filesystem::path& inner, const std::filesystem::path& outer);

// Answers "does the output folder hold this file?" for many files, resolving each distinct
// folder of theirs once.
class SourceFolders {
public:
    explicit SourceFolders(const HostFolder& output) : output_(output) {}
    bool HeldByOutput(std::string_view windowsFile);

private:
    const HostFolder& output_;
    std::unordered_map<std::string, bool> folders_;  // folded Windows folder -> held
};

// The folders of the prefix and of the building machine that no output folder may hold: the
// drive roots, the Windows, system and program-files folders, the profiles and every shell
// folder. Windows paths, without duplicates.
std::vector<std::string> KnownFolders(TBuildMachine& machine);

// Whether a path text holds an element made of dots only (".." and the longer forms Windows
// reads as it), which would climb out of the folder it is joined to.
bool HasParentElement(std::string_view path);

// Whether the text, after a leading define name ("%AbsoluteDir%"), starts with a drive or a
// share that maps to the root of the host's file system.
bool StartsOnHostRoot(std::string_view path);

}  // namespace zeriru
