// Where the journals of installations and uninstallations live: one folder per uninstall key
// in the machine's temporary folder ("ZU_VAZUZA-<hash of the key>"), and the lock that lets
// one installation or uninstallation run at a time in a machine.
#pragma once

#include "zeriru/build_machine.h"

#include <string>
#include <vector>

namespace installer {

// The journal's file in its folder.
inline constexpr const char* kJournalFileName = "journal.txt";

// The journal folder of an uninstall key.
std::string JournalFolderOf(zeriru::TBuildMachine& machine, const std::string& key);

// The journal folders of the machine that hold a journal: work an installation or an
// uninstallation was interrupted in.
std::vector<std::string> PendingJournalFolders(zeriru::TBuildMachine& machine);

// A lock on the machine's temporary folder, held while it lives.
class RunLock {
public:
    explicit RunLock(zeriru::TBuildMachine& machine);
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;
    bool held() const { return held_; }

private:
    int fd_ = -1;
    bool held_ = false;
};

}  // namespace installer
