// Registry access by root-key name, as the editor's settings and define values use it. The
// root is the first known root name the text contains (HKEY_CURRENT_USER for any other text).
#pragma once

#include "platform/registry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zeriru {

// The registry's root for a root-key text; nullopt for HKEY_DYN_DATA, which has no hive here.
std::optional<platform::registry::Root> RegistryRootOf(std::string_view rootText);

// Reads: the default when the key cannot be read, the value is missing or has another type.
std::string RegReadString(platform::registry::Registry& reg, std::string_view root, std::string_view key,
                          std::string_view name, std::string_view def = {});
int RegReadInteger(platform::registry::Registry& reg, std::string_view root, std::string_view key,
                   std::string_view name, int def);
bool RegReadBool(platform::registry::Registry& reg, std::string_view root, std::string_view key,
                 std::string_view name, bool def);
// A binary value as two-digit upper-case hexadecimal numbers joined by ","; empty when
// missing or of another type.
std::string RegReadBinaryText(platform::registry::Registry& reg, std::string_view root, std::string_view key,
                              std::string_view name);
// The value's type; None when it cannot be read.
platform::registry::ValueType RegValueType(platform::registry::Registry& reg, std::string_view root,
                                           std::string_view key, std::string_view name);

// Writes create the key when missing; false when the hive could not be changed.
bool RegWriteString(platform::registry::Registry& reg, std::string_view root, std::string_view key,
                    std::string_view name, std::string_view value);
bool RegWriteInteger(platform::registry::Registry& reg, std::string_view root, std::string_view key,
                     std::string_view name, int value);
bool RegWriteBool(platform::registry::Registry& reg, std::string_view root, std::string_view key,
                  std::string_view name, bool value);
// Deletes the key with its sub-keys. A protected key (IsProtectedRegistryKey) is never
// deleted: false.
bool RegDeleteKey(platform::registry::Registry& reg, std::string_view root, std::string_view key);

}  // namespace zeriru
