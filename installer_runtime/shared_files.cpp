#include "shared_files.h"

namespace installer {

namespace reg = platform::registry;

namespace {

// The count of a file; nullopt when there is none (or it is no number).
std::optional<std::uint32_t> Count(const std::string& path, reg::Registry& registry) {
    reg::Value value;
    if (registry.GetValue(reg::Root::LocalMachine, kSharedFilesKey, path, &value) != reg::Status::Ok ||
        value.type != reg::ValueType::Dword)
        return std::nullopt;
    return value.dword;
}

}  // namespace

bool RaiseSharedCount(const std::string& path, bool wasThere, reg::Registry& registry, Transaction& changes) {
    const std::uint32_t uses = Count(path, registry).value_or(wasThere ? 1 : 0);
    const std::uint32_t raised = uses == UINT32_MAX ? uses : uses + 1;
    return changes.SetRegistryValue(reg::Root::LocalMachine, kSharedFilesKey, path, reg::Value::Dword(raised));
}

bool LowerSharedCount(const std::string& path, reg::Registry& registry, Transaction& changes, std::uint32_t* left) {
    const std::uint32_t uses = Count(path, registry).value_or(1);
    *left = uses > 0 ? uses - 1 : 0;
    if (*left == 0) {
        // The last use: the count goes, and the list of counts when it is left empty.
        return changes.SetRegistryValue(reg::Root::LocalMachine, kSharedFilesKey, path, std::nullopt) &&
               (!RegistryKeyIsEmpty(registry, reg::Root::LocalMachine, kSharedFilesKey) ||
                changes.DeleteRegistryKey(reg::Root::LocalMachine, kSharedFilesKey));
    }
    return changes.SetRegistryValue(reg::Root::LocalMachine, kSharedFilesKey, path, reg::Value::Dword(*left));
}

}  // namespace installer
