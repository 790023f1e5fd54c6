#include "zeriru/editors/registry_item.h"

#include "platform/sjis.h"
#include "zeriru/editors/record_kinds.h"
#include "zeriru/project_file.h"
#include "zeriru/system_services.h"

namespace zeriru {

namespace sjis = platform::sjis;
namespace f = registry_item;

RegistryItem RegistryItem::Read(std::string_view record) {
    const RecordCodec& c = RegistryItemCodec();
    RegistryItem item;
    item.root = c.Text(record, f::kRoot);
    item.subKey = c.Text(record, f::kSubKey);
    item.valueName = c.Text(record, f::kValueName);
    item.value = c.Text(record, f::kValue);
    item.type = c.Int(record, f::kValueType);
    item.condition = ConditionRecord::Parse(c.Stored(record, f::kCondition));
    item.os = OsTarget::Read(c.Stored(record, f::kOsMask), c.Stored(record, f::kServicePacks));
    return item;
}

std::string RegistryItem::Write(std::string_view record) const {
    std::string written = RegistryItemCodec().Update(record, {{f::kRoot, root},
                                               {f::kSubKey, subKey},
                                               {f::kValueName, valueName},
                                               {f::kValue, value},
                                               {f::kValueType, FieldInt(type)},
                                               {f::kCondition, condition == ConditionRecord{} ? "" : condition.Format()},
                                               {f::kOsMask, os.MaskText()},
                                               {f::kServicePacks, os.ServicePackText()}});
    // The bytes of a binary value are the program's own text, stored without escaping.
    if (type == registry_value_type::kBinary) written = SetItemField(written, f::kValue, value);
    return written;
}

std::string RegistryValueTypeText(int type) {
    static const char* const kTexts[registry_value_type::kCount] = {
        "文字列 (REG_SZ)", "未展開文字列 (REG_EXPAND_SZ)", "整数 (REG_DWORD)", "バイナリ型 (REG_BINARY) "};
    return type >= 0 && type < registry_value_type::kCount ? sjis::S(kTexts[type]) : std::string();
}

std::string RegistryOptionCaption(int bit) {
    static const char* const kCaptions[registry_option::kCount] = {
        "既に指定レジストリ値が存在する場合処理を行わない(&E)",
        "アンインストール時キー内に他のキーもしくは値が存在しない場合キーを削除する(&D)",
        "キーを削除する場合上位キーも対象とする(&P)"};
    return bit >= 0 && bit < registry_option::kCount ? sjis::S(kCaptions[bit]) : std::string();
}

std::string DefaultValueNameText() { return sjis::S("(既定)"); }

std::string RegistryColumnCaption(int column) {
    static const char* const kCaptions[kRegistryColumnCount] = {"ルートキー", "サブキー", "値名", "値", "対象OS", ""};
    return column >= 0 && column < kRegistryColumnCount ? sjis::S(kCaptions[column]) : std::string();
}

std::string RegistryColumnText(const std::string& record, int column) {
    const RecordCodec& c = RegistryItemCodec();
    switch (column) {
    case 0: return c.Text(record, f::kRoot);
    case 1: return c.Text(record, f::kSubKey);
    case 2: {
        std::string name = c.Text(record, f::kValueName);
        return name.empty() ? DefaultValueNameText() : name;
    }
    case 3: return c.Text(record, f::kValue);
    case 4: return OsNames(c.Int(record, f::kOsMask));
    case kRegistryRecordColumn: return record;
    default: return {};
    }
}

}  // namespace zeriru
