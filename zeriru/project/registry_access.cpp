#include "zeriru/registry_access.h"

#include "zeriru/system_services.h"

#include <cstdio>

namespace zeriru {

namespace reg = platform::registry;

std::optional<reg::Root> RegistryRootOf(std::string_view rootText) {
    switch (RegistryRootFromName(rootText)) {
        case RegistryRoot::ClassesRoot: return reg::Root::ClassesRoot;
        case RegistryRoot::CurrentUser: return reg::Root::CurrentUser;
        case RegistryRoot::LocalMachine: return reg::Root::LocalMachine;
        case RegistryRoot::Users: return reg::Root::Users;
        case RegistryRoot::CurrentConfig: return reg::Root::CurrentConfig;
        case RegistryRoot::DynData: return std::nullopt;
    }
    return std::nullopt;
}

namespace {

std::optional<reg::Value> Read(reg::Registry& r, std::string_view root, std::string_view key, std::string_view name) {
    auto rootKey = RegistryRootOf(root);
    if (!rootKey) return std::nullopt;
    reg::Value value;
    if (r.GetValue(*rootKey, key, name, &value) != reg::Status::Ok) return std::nullopt;
    return value;
}

bool Write(reg::Registry& r, std::string_view root, std::string_view key, std::string_view name,
           const reg::Value& value) {
    auto rootKey = RegistryRootOf(root);
    return rootKey && r.SetValue(*rootKey, key, name, value) == reg::Status::Ok;
}

}  // namespace

std::string RegReadString(reg::Registry& r, std::string_view root, std::string_view key, std::string_view name,
                          std::string_view def) {
    auto value = Read(r, root, key, name);
    return value && value->IsText() ? value->bytes : std::string(def);
}

int RegReadInteger(reg::Registry& r, std::string_view root, std::string_view key, std::string_view name, int def) {
    auto value = Read(r, root, key, name);
    return value && value->type == reg::ValueType::Dword ? static_cast<int>(value->dword) : def;
}

bool RegReadBool(reg::Registry& r, std::string_view root, std::string_view key, std::string_view name, bool def) {
    return RegReadInteger(r, root, key, name, def ? 1 : 0) != 0;
}

std::string RegReadBinaryText(reg::Registry& r, std::string_view root, std::string_view key, std::string_view name) {
    auto value = Read(r, root, key, name);
    if (!value || value->type != reg::ValueType::Binary) return {};
    std::string out;
    char hex[4];
    for (std::size_t i = 0; i < value->bytes.size(); ++i) {
        if (i) out += ',';
        std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(value->bytes[i]));
        out += hex;
    }
    return out;
}

reg::ValueType RegValueType(reg::Registry& r, std::string_view root, std::string_view key, std::string_view name) {
    auto value = Read(r, root, key, name);
    return value ? value->type : reg::ValueType::None;
}

bool RegWriteString(reg::Registry& r, std::string_view root, std::string_view key, std::string_view name,
                    std::string_view value) {
    return Write(r, root, key, name, reg::Value::String(std::string(value)));
}

bool RegWriteInteger(reg::Registry& r, std::string_view root, std::string_view key, std::string_view name,
                     int value) {
    return Write(r, root, key, name, reg::Value::Dword(static_cast<std::uint32_t>(value)));
}

bool RegWriteBool(reg::Registry& r, std::string_view root, std::string_view key, std::string_view name, bool value) {
    return RegWriteInteger(r, root, key, name, value ? 1 : 0);
}

bool RegDeleteKey(reg::Registry& r, std::string_view root, std::string_view key) {
    auto rootKey = RegistryRootOf(root);
    if (!rootKey) return false;
    // Guarded by the canonical root name: "hklm" text still addresses a protected root.
    if (IsProtectedRegistryKey(reg::RootName(*rootKey), key)) return false;
    return r.DeleteKeyTree(*rootKey, key) == reg::Status::Ok;
}

}  // namespace zeriru
