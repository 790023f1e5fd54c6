// Shortcuts: shell links (.lnk) and internet shortcuts (.url) in the desktop, the program
// group, the start menu, the startup, send-to and quick-launch folders, for this user or
// for all users.
#pragma once

#include "context.h"
#include "record.h"
#include "shell_link.h"
#include "transaction.h"

#include <string>
#include <vector>

namespace installer {

// Bits of a shortcut item's targets (field 9).
inline constexpr int kOnDesktop = 1;
inline constexpr int kInPrograms = 2;
inline constexpr int kInStartMenu = 4;
inline constexpr int kInStartup = 8;
inline constexpr int kInSendTo = 16;
inline constexpr int kInQuickLaunch = 32;

// What the user chose on the shortcut screens (or the project's defaults).
struct ShortcutChoices {
    std::string group;      // the program group, "\" between sub-groups
    bool allUsers = false;  // the common folders instead of the user's
    int targets = ~0;       // target bits the user kept (desktop, startup, send-to, quick launch)
};

struct ShortcutStep {
    std::string file;     // the .lnk or .url file
    bool internet = false;
    std::string url;
    ShellLink link;       // for a .lnk; link.target is checked when the link is made
    bool checkTarget = true;
};

// Whether the project makes shortcuts at all ([Installer] EnableShortCutSetting).
bool ShortcutsEnabled(const Context& context);
// The shortcut items' special targets (desktop, startup, send-to, quick launch) that occur.
int ShortcutTargetsUsed(const Context& context);

std::vector<ShortcutStep> PlanShortcuts(const Context& context, const ShortcutChoices& choices, Problems& problems);
bool RunShortcuts(const std::vector<ShortcutStep>& steps, const Context& context, Transaction& changes,
                  InstallRecord& record);

}  // namespace installer
