// The editor's settings in the registry of the current user, below
// HKEY_CURRENT_USER\Software\Zuzoruve\dozoze2. Texts are REG_SZ values, integers and booleans
// REG_DWORD values; a value of another type reads as missing.
#pragma once

#include "zeriru/editor_settings.h"

#include "platform/registry.h"

namespace zeriru {

class RegistrySettingsStore : public SettingsStore {
public:
    explicit RegistrySettingsStore(platform::registry::Registry& registry) : registry_(registry) {}

    std::optional<std::string> GetString(std::string_view key, std::string_view name) const override;
    std::optional<std::uint32_t> GetDword(std::string_view key, std::string_view name) const override;
    bool SetString(std::string_view key, std::string_view name, std::string_view value) override;
    bool SetDword(std::string_view key, std::string_view name, std::uint32_t value) override;
    bool DeleteValue(std::string_view key, std::string_view name) override;
    bool DeleteKey(std::string_view key) override;

private:
    static std::string Path(std::string_view key);
    platform::registry::Registry& registry_;
};

}  // namespace zeriru
