#include "overwrite.h"

#include "platform/pathtext.h"
#include "platform/winfile.h"
#include "zeriru/file_services.h"
#include "zeriru/file_version.h"

#include <ctime>

namespace installer {

namespace wp = platform::winpath;

bool ExistingIsNewer(const std::string& source, const std::string& target, int options) {
    if ((options & kOptionIgnoreVersion) == 0) {
        zeriru::TFileVersion there, coming;
        if (zeriru::GetFileVersion(target, there) && zeriru::GetFileVersion(source, coming) && there.comparable >= 0 &&
            coming.comparable >= 0)
            return there.comparable > coming.comparable;
    }
    if ((options & kOptionIgnoreDate) == 0) {
        const auto there = wp::GetLastWriteTime(target);
        const auto coming = wp::GetLastWriteTime(source);
        return there && coming && *there > *coming;
    }
    return false;
}

std::string DatedName(const std::string& target) {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &local);
    const std::string name = wp::FileNameOf(target);
    const std::string extension = wp::ExtensionOf(name);
    const std::string stem = name.substr(0, name.size() - extension.size());
    const std::string folder = wp::FolderOf(target);
    return wp::JoinPath(folder, zeriru::UniqueFileName(folder, stem + "_" + stamp + extension));
}

std::string BackupName(const std::string& folder, const std::string& target) {
    return wp::JoinPath(folder, zeriru::UniqueFileName(folder, wp::FileNameOf(target)));
}

}  // namespace installer
