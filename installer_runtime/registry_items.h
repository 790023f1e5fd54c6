// Registry values of the registry list: written at install time, at uninstall time or at both
// as each item says, under its condition and OS target.
#pragma once

#include "conditions.h"
#include "context.h"
#include "record.h"
#include "transaction.h"

#include <optional>
#include <string>
#include <vector>

namespace installer {

// Item options (field 7 of the item's condition record).
inline constexpr int kRegistryKeepExisting = 1;  // a value that exists already stays

struct RegistryStep {
    platform::registry::Root root = platform::registry::Root::CurrentUser;
    std::string key;
    std::string name;
    platform::registry::Value value;
    Condition condition;  // with the item's options and processing timing (0 install, 1 uninstall, 2 both)
};

// The enabled list ([Installer] EnableRegistrySetting) for this machine's OS; values that do
// not parse and keys that cannot be registry keys are problems.
std::vector<RegistryStep> PlanRegistry(const Context& context, Problems& problems);

// The values due in the context's phase. At install time through the transaction, recorded
// for the uninstall; at uninstall time written as they are (such values stay).
bool RunRegistry(const std::vector<RegistryStep>& steps, const Context& context, Transaction* changes,
                 InstallRecord* record);

// A registry value of an item: the text for types 0 and 1, a decimal number for 2, bytes as
// "0A,FF" for 3; nullopt when it does not parse.
std::optional<platform::registry::Value> ItemValue(int type, const std::string& text);

}  // namespace installer
