// The installer's screens that the module acts on, in a console: the system and memory
// requirements, the welcome, document and licence screens, the install folder question, the
// shortcut choices and the last question before anything is changed.
#pragma once

#include "context.h"
#include "shortcut_items.h"

namespace installer {

// [OSSetting] (system, service pack, client or server) and [InstallLimit] MemoryCheck on this
// machine; false after telling why the installation cannot go on.
bool CheckRequirements(const Context& context);

// The welcome screen, then the document ([ScreenSetting] Panel02) and the licence (Panel03,
// which must be accepted unless [Software] AlwaysAgree; silent mode accepts). kExitInstalled
// to go on, kExitCancelled when the licence was declined, kExitBadData when its file is missing.
int ShowOpeningScreens(const Context& context);

// The install folder question ([ScreenSetting] Panel04, unless [Installer] Options bit 2
// fixes the folder): a full path the user types, or the default.
void AskInstallFolder(const Context& context);

// The group name (Panel05), all users or this user, and the special targets the shortcut
// items use, each as the project allows and presets.
ShortcutChoices AskShortcutChoices(const Context& context);

// The confirmation screen (Panel06): false when the user said No.
bool AskReady(const Context& context);

}  // namespace installer
