#include "process_order.h"

#include "zeriru/project_file.h"

#include <algorithm>

namespace installer {

namespace {

// The default orders of the editor: deletions before the copy; at uninstall the shortcuts,
// settings and registry before the files.
constexpr int kInstallDefault[] = {kStepProgramsBefore, kStepDeleteFiles, kStepDeleteRegistry, kStepFiles,
                                   kStepRegistry,       kStepIni,         kStepShortcuts,      kStepProgramsAfter};
constexpr int kUninstallDefault[] = {kStepProgramsBefore, kStepShortcuts, kStepIni,        kStepRegistry,
                                     kStepDeleteRegistry, kStepFiles,     kStepDeleteFiles, kStepProgramsAfter};

}  // namespace

std::vector<int> ProcessOrder(const zeriru::TIniDocument& data, Phase phase) {
    const bool install = phase == Phase::Install;
    const char* settings = install ? "InstallProcessOrderSetting" : "UnInstallProcessOrderSetting";
    const char* items = install ? "InstallProcessOrderItems" : "UnInstallProcessOrderItems";
    const char* enabled = install ? "EnableInstallProcessOrderSetting" : "EnableUnInstallProcessOrderSetting";
    if (!data.ReadBool("Installer", enabled, false)) {
        return install ? std::vector<int>(std::begin(kInstallDefault), std::end(kInstallDefault))
                       : std::vector<int>(std::begin(kUninstallDefault), std::end(kUninstallDefault));
    }
    Problems ignored;
    std::vector<int> order;
    for (const std::string& r : ReadList(data, settings, items, ignored)) {
        const int step = zeriru::GetItemFieldInt(r, 2, kStepFiles);
        const bool known = step >= kStepFiles && step <= kStepProgramsAfter;
        if (known && zeriru::GetItemFieldBool(r, 1, true) && std::find(order.begin(), order.end(), step) == order.end())
            order.push_back(step);
    }
    return order;
}

}  // namespace installer
