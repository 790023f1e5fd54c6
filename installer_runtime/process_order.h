// The order of the steps of an installation and of an uninstallation: the project's own order
// ([InstallProcessOrderSetting] / [UnInstallProcessOrderSetting] items, field 1 on, field 2 the
// step) when [Installer] EnableInstallProcessOrderSetting / EnableUnInstallProcessOrderSetting
// switches it on, else the order the editor offers by default. A step that is off is left out.
#pragma once

#include "context.h"

#include <vector>

namespace installer {

// Steps (the same numbers in both orders).
inline constexpr int kStepFiles = 0;              // copy files, make folders / remove them
inline constexpr int kStepShortcuts = 1;
inline constexpr int kStepRegistry = 2;
inline constexpr int kStepIni = 3;
inline constexpr int kStepDeleteFiles = 4;        // the file list's delete items / the delete-files list
inline constexpr int kStepDeleteRegistry = 5;     // the delete-registry list (uninstall)
inline constexpr int kStepProgramsBefore = 6;     // before the copy / before the removal
inline constexpr int kStepProgramsAfter = 7;      // after the copy / after the removal

// Each step at most once, in the order they are carried out.
std::vector<int> ProcessOrder(const zeriru::TIniDocument& data, Phase phase);

}  // namespace installer
