// File services of the editor's commands: where a Windows path of the editor lives on the host,
// and the read-only attribute of a file. A file is read-only when its owner may not write it
// (the same rule the platform's file layer follows), so the flag set here is the flag every
// other program of the suite sees.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zeriru {

// Windows path (Shift-JIS) -> host path.
class PathMapper {
public:
    virtual ~PathMapper() = default;
    // nullopt when the path is not a full path or its drive is not mapped.
    virtual std::optional<std::filesystem::path> ToHost(std::string_view windowsPath) const = 0;
};

// Drive letters mapped to host folders; the elements below are matched without regard to the
// case of single-byte letters ("C:\Program Files\A.PJ2" finds ".../program files/a.pj2").
class DriveFolderMapper : public PathMapper {
public:
    void MapDrive(char letter, std::filesystem::path hostFolder);
    std::optional<std::filesystem::path> ToHost(std::string_view windowsPath) const override;

private:
    std::map<char, std::filesystem::path> drives_;
};

// True when the file exists and has the read-only attribute.
bool IsReadOnlyFile(const std::filesystem::path& path);
// Sets or clears the read-only attribute; false when the file is missing or the change failed.
bool SetReadOnlyFile(const std::filesystem::path& path, bool readOnly);
// Copies a file over any existing target (clearing the target's read-only attribute first);
// the copy has normal attributes and, with `keepTime`, the source's last-write time. A copy
// onto itself leaves the file as it is. False (and *error) on failure.
bool CopyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to, bool keepTime,
                       std::string* error = nullptr);

}  // namespace zeriru
