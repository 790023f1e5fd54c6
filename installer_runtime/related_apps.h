// The related-application list ([Installer] EnableRelationApplicationSetting, items of
// [RelationApplicationSetting]): other applications, named by their uninstall key, whose
// presence an installation and an uninstallation check. At install time a rule stops the
// installation when the application is there (1) or is not (2), or has its uninstaller run
// first (3, silently 4); at uninstall time it stops the uninstallation while the application
// is still there (1) or has its uninstaller run first (2, silently 3). Rules apply in list
// order; one whose case applies ends the list when its option bit 0 says so.
#pragma once

#include "context.h"
#include "installed_apps.h"

#include <string>
#include <vector>

namespace installer {

struct RelatedApp {
    std::string name;         // for the messages
    std::string key;          // below the uninstall key
    int installAction = 0;
    int uninstallAction = 0;
    bool endsRules = false;   // option bit 0: a rule whose case applies is the last one
};

// The enabled rules for this machine's OS; a key that cannot be an application key is a problem.
std::vector<RelatedApp> RelatedApps(const Context& context, Problems& problems);

// The rules of the context's phase: false (told) when one stops the work; uninstallers to run
// first are added to `runs`.
bool ApplyRelatedRules(const std::vector<RelatedApp>& apps, const Context& context, std::vector<UninstallRun>& runs);

}  // namespace installer
