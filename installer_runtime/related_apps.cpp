#include "related_apps.h"

#include "conditions.h"

#include "zeriru/project_file.h"

namespace installer {

namespace {

// Install actions (field 4).
constexpr int kStopWhenInstalled = 1;
constexpr int kStopWhenMissing = 2;
constexpr int kUninstallIt = 3;
constexpr int kUninstallItSilently = 4;
// Uninstall actions (field 5).
constexpr int kStopWhileInstalled = 1;
constexpr int kUninstallItFirst = 2;
constexpr int kUninstallItFirstSilently = 3;

// Whether a rule's case applies and what it does: false when it stops the work.
bool ApplyAtInstall(const RelatedApp& app, bool installed, const Context& context, std::vector<UninstallRun>& runs,
                    bool* applies) {
    *applies = false;
    switch (app.installAction) {
        case kStopWhenInstalled:
            if (!installed) return true;
            context.Say(text_id::kOtherInstalled, {app.name});
            return false;
        case kStopWhenMissing:
            if (installed) return true;
            context.Say(text_id::kOtherMissing, {app.name});
            return false;
        case kUninstallIt:
        case kUninstallItSilently:
            *applies = installed;
            if (installed) AddUninstallRun(runs, {app.name, app.key, app.installAction == kUninstallItSilently});
            return true;
        default: return true;
    }
}

bool ApplyAtUninstall(const RelatedApp& app, bool installed, const Context& context, std::vector<UninstallRun>& runs,
                      bool* applies) {
    *applies = installed && (app.uninstallAction == kStopWhileInstalled || app.uninstallAction == kUninstallItFirst ||
                             app.uninstallAction == kUninstallItFirstSilently);
    if (!*applies) return true;
    if (app.uninstallAction == kStopWhileInstalled) {
        context.Say(text_id::kOtherStillInstalled, {app.name});
        return false;
    }
    AddUninstallRun(runs, {app.name, app.key, app.uninstallAction == kUninstallItFirstSilently});
    return true;
}

}  // namespace

std::vector<RelatedApp> RelatedApps(const Context& context, Problems& problems) {
    std::vector<RelatedApp> apps;
    if (!context.data.ReadBool("Installer", "EnableRelationApplicationSetting", false)) return apps;
    for (const std::string& r : ReadList(context.data, "RelationApplicationSetting", "RelationApplicationItems", problems)) {
        if (!zeriru::GetItemFieldBool(r, 1, true)) continue;
        if (!OsTargetAdmits(zeriru::GetItemField(r, 9), zeriru::GetItemField(r, 10), context.options.machine)) continue;
        RelatedApp app;
        app.name = Field(r, 2);
        app.key = Field(r, 3);
        app.installAction = zeriru::GetItemFieldInt(r, 4, 0);
        app.uninstallAction = zeriru::GetItemFieldInt(r, 5, 0);
        app.endsRules = (zeriru::GetItemFieldInt(r, 8, 0) & 1) != 0;
        if (!IsApplicationKey(app.key)) {
            problems.damaged.push_back("[RelationApplicationSetting] " + app.name + " " + app.key);
            continue;
        }
        if (app.name.empty()) app.name = app.key;
        apps.push_back(app);
    }
    return apps;
}

bool ApplyRelatedRules(const std::vector<RelatedApp>& apps, const Context& context, std::vector<UninstallRun>& runs) {
    for (const RelatedApp& app : apps) {
        const bool installed = IsInstalled(context, app.key);
        bool applies = false;
        const bool goOn = context.phase == Phase::Install ? ApplyAtInstall(app, installed, context, runs, &applies)
                                                          : ApplyAtUninstall(app, installed, context, runs, &applies);
        if (!goOn) return false;
        if (applies && app.endsRules) break;
    }
    return true;
}

}  // namespace installer
