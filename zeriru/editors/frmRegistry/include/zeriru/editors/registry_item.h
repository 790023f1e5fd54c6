// One value of the registry list ([RegistrySetting] UseSection, default [RegistryItems]): what
// the item dialog edits, read from and written into the item record. The condition record of
// the item also carries its option bits (field 7) and its processing timing (field 10).
#pragma once

#include "zeriru/editors/condition.h"
#include "zeriru/editors/os_target.h"
#include "zeriru/editors/process_timing.h"

#include <string>
#include <string_view>

namespace zeriru {

// Field 5.
namespace registry_value_type {
inline constexpr int kString = 0, kExpandString = 1, kDword = 2, kBinary = 3;
inline constexpr int kCount = 4;
}  // namespace registry_value_type
// Condition field 7.
namespace registry_option {
inline constexpr int kKeepExisting = 1 << 0, kDeleteEmptyKey = 1 << 1, kDeleteParentKeys = 1 << 2;
inline constexpr int kCount = 3;
}  // namespace registry_option

struct RegistryItem {
    std::string root = "HKEY_CURRENT_USER";
    std::string subKey;
    std::string valueName;  // empty: the key's default value
    std::string value;      // text, decimal number or "0A,FF,..." by type
    int type = registry_value_type::kString;
    ConditionRecord condition;  // with the options and the processing timing
    OsTarget os;

    int options() const { return condition.option; }
    int timing() const { return condition.processing; }

    static RegistryItem Read(std::string_view record);
    // `record` with the fields of this item replaced (a new record when empty). A condition of
    // nothing at all (timing 0, processed at install, no operands) is stored empty.
    std::string Write(std::string_view record = {}) const;
    bool operator==(const RegistryItem&) const = default;
};

// "文字列 (REG_SZ)", "未展開文字列 (REG_EXPAND_SZ)", "整数 (REG_DWORD)", "バイナリ型 (REG_BINARY) ".
std::string RegistryValueTypeText(int type);
// "既に指定レジストリ値が存在する場合処理を行わない(&E)", ...
std::string RegistryOptionCaption(int bit);
// "(既定)": what the list shows for the default value.
std::string DefaultValueNameText();

// The list's columns: "ルートキー", "サブキー", "値名", "値", "対象OS", and the record itself (a
// column of width 0).
inline constexpr int kRegistryColumnCount = 6;
inline constexpr int kRegistryRecordColumn = 5;
std::string RegistryColumnCaption(int column);
std::string RegistryColumnText(const std::string& record, int column);

}  // namespace zeriru
