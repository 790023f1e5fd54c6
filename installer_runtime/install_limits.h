// The limits a project sets on who installs and when ([InstallLimit]): the user's rights, work
// an earlier installation left unfinished, and files that a running program holds.
#pragma once

#include "context.h"

#include <string>
#include <vector>

namespace installer {

// Rights of a user on this machine: an administrator may change the machine's own parts (the
// system folder and the machine's registry hive), a power user the program files folder and
// the machine's registry hive, a limited user neither.
inline constexpr int kLimitedUser = 0;
inline constexpr int kPowerUser = 1;
inline constexpr int kAdministrator = 2;
int UserLevelOfThisMachine(zeriru::TBuildMachine& machine, const platform::registry::Registry& registry);

// [InstallLimit] User (1 administrators, 2 administrators and power users) for the context's
// phase; false after telling why not.
bool CheckUserLimit(const Context& context);

// [InstallLimit] EndFileRenOperation: file operations the system still has to carry out
// (PendingFileRenameOperations) and installations or uninstallations of other projects that
// were interrupted (their journals; `ownJournal` is this project's, which this run finishes
// itself). False after telling what is pending.
bool CheckPendingOperations(const Context& context, const std::string& ownJournal);

// Which of the files (Windows paths) a running program has open, runs or has loaded.
std::vector<std::string> FilesInUse(const std::vector<std::string>& files);

// [InstallLimit] FileUseCheck: every file of the list that a program holds is told, and the
// user may retry after closing it; false when files stay in use (silent: at once).
bool CheckFilesInUse(const Context& context, const std::vector<std::string>& files);

}  // namespace installer
