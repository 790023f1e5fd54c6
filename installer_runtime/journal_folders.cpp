#include "journal_folders.h"

#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>

namespace installer {

namespace wp = platform::winpath;
namespace sj = platform::sjis;

namespace {

constexpr const char* kFolderPrefix = "ZU_VAZUZA-";

}  // namespace

std::string JournalFolderOf(zeriru::TBuildMachine& machine, const std::string& key) {
    std::uint64_t hash = 1469598103934665603ULL;
    for (unsigned char c : sj::ToUpper(key)) hash = (hash ^ c) * 1099511628211ULL;
    char name[40];
    std::snprintf(name, sizeof name, "%s%016llx", kFolderPrefix, static_cast<unsigned long long>(hash));
    return wp::JoinPath(machine.TempFolder(), name);
}

std::vector<std::string> PendingJournalFolders(zeriru::TBuildMachine& machine) {
    std::vector<std::string> out;
    const std::string temp = machine.TempFolder();
    for (const wp::FindData& found : wp::FindFiles(wp::JoinPath(temp, std::string(kFolderPrefix) + "*"))) {
        const std::string folder = wp::JoinPath(temp, found.name);
        if ((found.attributes & wp::kAttrDirectory) && wp::FileExists(wp::JoinPath(folder, kJournalFileName)))
            out.push_back(folder);
    }
    return out;
}

RunLock::RunLock(zeriru::TBuildMachine& machine) {
    const auto host = wp::ToHostPath(machine.TempFolder());
    if (host) fd_ = ::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    held_ = fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

RunLock::~RunLock() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace installer
