// When the installer processes a registry or INI item (field 10 of its condition record), and
// the hint the item dialogs show when that is not at install.
#pragma once

#include <string>

namespace zeriru {

namespace process_timing {
inline constexpr int kInstall = 0, kUninstall = 1, kBoth = 2;
inline constexpr int kCount = 3;
}  // namespace process_timing

// "インストール時", "アンインストール時", "インストール時・アンインストール時".
std::string ProcessTimingText(int timing);

// Whether a condition timing (1 at install, 2 at uninstall, 3 both, 0 none) covers the phases
// an item is processed in.
bool ConditionCoversTiming(int conditionTiming, int processTiming);

// The hint "アンインストール時に書き込んだ値は元に戻せません。" of the main window's hint dialog.
inline constexpr int kUninstallValueHint = 5;

}  // namespace zeriru
