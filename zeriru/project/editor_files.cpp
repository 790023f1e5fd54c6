#include "zeriru/editor_files.h"

#include "platform/hostfile.h"
#include "platform/sjis.h"
#include "zeriru/modules.h"

#include <cctype>
#include <system_error>

namespace zeriru {

namespace fs = std::filesystem;

void DriveFolderMapper::MapDrive(char letter, fs::path hostFolder) {
    drives_[static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))] = std::move(hostFolder);
}

std::optional<fs::path> DriveFolderMapper::ToHost(std::string_view windowsPath) const {
    if (windowsPath.size() < 3 || windowsPath[1] != ':' || (windowsPath[2] != '\\' && windowsPath[2] != '/')) {
        return std::nullopt;
    }
    auto drive = drives_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(windowsPath[0]))));
    if (drive == drives_.end()) return std::nullopt;
    std::string rest(windowsPath.substr(3));
    for (std::size_t i = 0; i < rest.size(); i = platform::sjis::NextChar(rest, i)) {
        if (rest[i] == '/') rest[i] = '\\';
    }
    for (const std::string& element : platform::sjis::SplitSjis(rest, '\\')) {
        if (element == "..") return std::nullopt;  // never leave the drive's folder
    }
    return ResolveNoCase(drive->second, rest);
}

bool IsReadOnlyFile(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status)) return false;
    return (status.permissions() & fs::perms::owner_write) == fs::perms::none;
}

bool SetReadOnlyFile(const fs::path& path, bool readOnly) {
    std::error_code ec;
    if (!fs::exists(path, ec)) return false;
    if (readOnly) {
        fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove, ec);
    } else {
        fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ec);
    }
    return !ec;
}

bool CopyFileReplacing(const fs::path& from, const fs::path& to, bool keepTime, std::string* error) {
    std::error_code ec;
    if (fs::equivalent(from, to, ec)) return true;
    std::string readError;
    std::optional<std::string> data = platform::ReadHostFile(from, &readError);
    if (!data) {
        if (error) *error = readError;
        return false;
    }
    const fs::file_time_type time = fs::last_write_time(from, ec);
    if (ec) {
        if (error) *error = "last_write_time " + from.string() + ": " + ec.message();
        return false;
    }
    if (fs::exists(to, ec)) SetReadOnlyFile(to, false);
    if (!platform::WriteHostFileAtomic(to, *data, error)) return false;
    // The atomic writer keeps the permission bits of the file it replaced; a copy is normal.
    SetReadOnlyFile(to, false);
    if (keepTime) {
        fs::last_write_time(to, time, ec);
        if (ec) {
            if (error) *error = "last_write_time " + to.string() + ": " + ec.message();
            return false;
        }
    }
    return true;
}

}  // namespace zeriru
