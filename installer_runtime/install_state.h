// An installation over one that is there already. [Installer] InstallMethod says what to do
// when the machine lists this project: 0 install over it, 1 refuse, 2 run its uninstaller
// first, 3 run its uninstaller and those of every related application that is installed
// first. With [Installer] Options bit 4 the installed version (the main file's version, else
// the listed version) is compared with this one: a newer version stops the installation, or,
// with bit 9, the user decides; an older or the same one is updated.
#pragma once

#include "context.h"
#include "installed_apps.h"
#include "related_apps.h"

#include <vector>

namespace installer {

// kExitInstalled to go on (uninstallers to run first added to `runs`), else the exit code
// (told).
int CheckInstalledState(const Context& context, const std::vector<RelatedApp>& related, std::vector<UninstallRun>& runs);

}  // namespace installer
