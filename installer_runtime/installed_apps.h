// Applications the machine lists as installed (the keys below the uninstall key): whether one
// is there, its version, and running its uninstaller - the command of its UninstallString,
// waited for, with "/S" added when it should run silently and is an uninstaller of this module
// (another maker's uninstaller runs as it is).
#pragma once

#include "context.h"

#include <optional>
#include <string>
#include <vector>

namespace installer {

// Whether a text can name a key below the uninstall key (one plain name).
bool IsApplicationKey(const std::string& key);
// Whether the machine lists the application.
bool IsInstalled(const Context& context, const std::string& key);
// Its DisplayVersion; empty when none.
std::string InstalledVersion(const Context& context, const std::string& key);

// The keys of this project's installations: the project name, and with [Project]
// UseUniqueKey the names made from it ("<name>_1", ...), those the machine lists.
std::vector<std::string> OwnInstallations(const Context& context);

// An uninstaller to run: the application's name for the messages, its key, and whether it
// runs silently.
struct UninstallRun {
    std::string name;
    std::string key;
    bool silent = false;
};
// Adds a run unless one of that key is listed already.
void AddUninstallRun(std::vector<UninstallRun>& runs, UninstallRun run);

// Runs each uninstaller in turn; false (told) when one could not start or did not end with 0.
bool RunUninstallers(const std::vector<UninstallRun>& runs, const Context& context);

}  // namespace installer
