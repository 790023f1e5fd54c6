#include "shortcut_items.h"

#include "launch.h"

#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "zeriru/project_file.h"

namespace installer {

namespace wp = platform::winpath;
namespace sj = platform::sjis;

namespace {

constexpr int kSpecialTargets = kOnDesktop | kInStartup | kInSendTo | kInQuickLaunch;
// Item flags (field 10).
constexpr int kInternetLink = 1;
constexpr int kNoTargetCheck = 2;

struct Place {
    int bit;
    int shellKind;     // shell folder kind
    bool common;       // has an all-users folder
    bool subGroups;    // the item name's sub-groups apply
};
constexpr Place kPlaces[] = {
    {kOnDesktop, 0, true, false},   {kInPrograms, 1, true, true}, {kInStartMenu, 2, true, false},
    {kInStartup, 3, true, false},   {kInSendTo, 4, false, false}, {kInQuickLaunch, 5, false, false},
};

std::vector<std::string> Records(const Context& context, Problems& problems) {
    return ReadList(context.data, "ShortCutSetting", "ShortCutItems", problems);
}

// A name of one or more elements: sub-groups and the shortcut's own name.
bool IsSafeName(const std::string& name) {
    if (name.empty() || !Targets::IsSafeSubPath(name)) return false;
    for (const std::string& e : sj::SplitSjis(name, '\\')) {
        if (!wp::IsValidElement(e)) return false;
    }
    return true;
}

}  // namespace

bool ShortcutsEnabled(const Context& context) { return context.data.ReadBool("Installer", "EnableShortCutSetting", false); }

int ShortcutTargetsUsed(const Context& context) {
    Problems ignored;
    int used = 0;
    for (const std::string& r : Records(context, ignored)) used |= zeriru::GetItemFieldInt(r, 9, kInPrograms);
    return used & kSpecialTargets;
}

std::vector<ShortcutStep> PlanShortcuts(const Context& context, const ShortcutChoices& choices, Problems& problems) {
    std::vector<ShortcutStep> steps;
    if (!ShortcutsEnabled(context)) return steps;
    if (!choices.group.empty() && !IsSafeName(choices.group)) {
        problems.outside.push_back(choices.group);
        return steps;
    }
    for (const std::string& r : Records(context, problems)) {
        const std::string name = Field(r, 1);
        const int targets = zeriru::GetItemFieldInt(r, 9, kInPrograms) & (choices.targets | ~kSpecialTargets);
        const int flags = zeriru::GetItemFieldInt(r, 10, 0);
        if (!IsSafeName(name)) {
            problems.outside.push_back(name);
            continue;
        }
        ShortcutStep step;
        step.internet = (flags & kInternetLink) != 0;
        step.checkTarget = (flags & kNoTargetCheck) == 0;
        const std::string iconField = Field(r, 5);
        step.link.iconFile = iconField.empty() ? "" : context.targets.ExpandValue(iconField);
        step.link.iconIndex = zeriru::GetItemFieldInt(r, 6, 0);
        if (step.internet) {
            step.url = context.targets.ExpandValue(Field(r, 2));
        } else {
            step.link.target = wp::RemoveBackslash(context.targets.ExpandValue(Field(r, 2)));
            if (!wp::IsAbsolutePath(step.link.target)) {
                problems.missing.push_back(Field(r, 2));
                continue;
            }
            step.link.arguments = context.targets.ExpandValue(Field(r, 3));
            const std::string work = Field(r, 4);
            step.link.workingFolder = work.empty() ? wp::FolderOf(step.link.target) : context.targets.ExpandValue(work);
            step.link.description = Field(r, 7);
            step.link.showCommand = ShowCommandOfWindow(zeriru::GetItemFieldInt(r, 8, 0));
        }
        const std::string extension = step.internet ? ".url" : ".lnk";
        for (const Place& place : kPlaces) {
            if ((targets & place.bit) == 0) continue;
            std::string folder = context.machine.ShellFolder(place.shellKind, choices.allUsers && place.common);
            std::string rel = name;
            if (place.bit == kInPrograms) {
                if (!choices.group.empty()) folder = wp::JoinPath(folder, choices.group);
            } else if (!place.subGroups) {
                rel = wp::FileNameOf(name);
            }
            const std::string file = wp::JoinPath(folder, rel + extension);
            if (folder.empty() || !Targets::Admissible(file)) {
                problems.outside.push_back(file);
                continue;
            }
            step.file = file;
            steps.push_back(step);
        }
    }
    return steps;
}

bool RunShortcuts(const std::vector<ShortcutStep>& steps, const Context& context, Transaction& changes,
                  InstallRecord& record) {
    for (ShortcutStep step : steps) {
        context.Say(text_id::kCreatingShortcut, {step.file});
        std::string bytes;
        if (step.internet) {
            bytes = EncodeInternetShortcut(step.url, step.link.iconFile, step.link.iconIndex);
        } else {
            const bool exists = wp::FileExists(step.link.target);
            if (!exists && step.checkTarget) {
                context.Say(text_id::kCannotCreateShortcut, {step.file});
                return false;
            }
            step.link.targetIsFolder = wp::DirectoryExists(step.link.target);
            step.link.targetSize = wp::GetFileSize(step.link.target).value_or(0);
            step.link.targetTime = wp::GetLastWriteTime(step.link.target).value_or(0);
            bytes = EncodeShellLink(step.link);
        }
        const bool existed = wp::FileExists(step.file);
        if (!changes.WriteFile(step.file, bytes)) {
            context.Say(text_id::kCannotCreateShortcut, {step.file});
            return false;
        }
        record.files.push_back(RecordedFile(step.file, existed, 0, 'S'));
    }
    return true;
}

}  // namespace installer
