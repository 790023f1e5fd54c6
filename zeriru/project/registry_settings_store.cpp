#include "zeriru/registry_settings_store.h"

namespace zeriru {

namespace reg = platform::registry;

std::string RegistrySettingsStore::Path(std::string_view key) {
    std::string path(kSettingsRootKey);
    if (!key.empty()) {
        path += '\\';
        path += key;
    }
    return path;
}

std::optional<std::string> RegistrySettingsStore::GetString(std::string_view key, std::string_view name) const {
    reg::Value value;
    if (registry_.GetValue(reg::Root::CurrentUser, Path(key), name, &value) != reg::Status::Ok) return std::nullopt;
    if (!value.IsText()) return std::nullopt;
    return value.bytes;
}

std::optional<std::uint32_t> RegistrySettingsStore::GetDword(std::string_view key, std::string_view name) const {
    reg::Value value;
    if (registry_.GetValue(reg::Root::CurrentUser, Path(key), name, &value) != reg::Status::Ok) return std::nullopt;
    if (value.type != reg::ValueType::Dword) return std::nullopt;
    return value.dword;
}

bool RegistrySettingsStore::SetString(std::string_view key, std::string_view name, std::string_view value) {
    return registry_.SetString(reg::Root::CurrentUser, Path(key), name, value) == reg::Status::Ok;
}

bool RegistrySettingsStore::SetDword(std::string_view key, std::string_view name, std::uint32_t value) {
    return registry_.SetDword(reg::Root::CurrentUser, Path(key), name, value) == reg::Status::Ok;
}

bool RegistrySettingsStore::DeleteValue(std::string_view key, std::string_view name) {
    return registry_.DeleteValue(reg::Root::CurrentUser, Path(key), name) == reg::Status::Ok;
}

bool RegistrySettingsStore::DeleteKey(std::string_view key) {
    const reg::Status status = registry_.DeleteKeyTree(reg::Root::CurrentUser, Path(key));
    return status == reg::Status::Ok || status == reg::Status::NotFound;
}

}  // namespace zeriru
