// INI entries of the INI list: write a value, delete a value, delete a section, at install
// time, at uninstall time or at both, through the suite's profile functions.
#pragma once

#include "conditions.h"
#include "context.h"
#include "record.h"
#include "transaction.h"

#include <string>
#include <vector>

namespace installer {

struct IniStep {
    int processing = 0;  // 0 write the value, 1 delete the value, 2 delete the section
    std::string file;    // Windows path
    std::string section;
    std::string key;
    std::string value;
    Condition condition;  // with the item's option (do nothing when the value exists) and timing
};

// The enabled list ([Installer] EnableIniFileSetting) for this machine's OS.
std::vector<IniStep> PlanIni(const Context& context, Problems& problems);

// The entries due in the context's phase; at install time guarded by the transaction and
// recorded for the uninstall.
bool RunIni(const std::vector<IniStep>& steps, const Context& context, Transaction* changes, InstallRecord* record);

}  // namespace installer
