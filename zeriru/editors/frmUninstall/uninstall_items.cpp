#include "zeriru/editors/uninstall_items.h"

#include "platform/sjis.h"
#include "zeriru/editors/item_rules.h"
#include "zeriru/editors/record_kinds.h"
#include "zeriru/system_services.h"

#include <initializer_list>

namespace zeriru {

namespace sjis = platform::sjis;
namespace uc = uninstall_control;

namespace {

// Parts joined with "\", empty ones left out.
std::string JoinParts(std::initializer_list<std::string> parts) {
    std::string joined;
    for (const std::string& part : parts) {
        if (part.empty()) continue;
        if (!joined.empty()) joined += '\\';
        joined += part;
    }
    return joined;
}

bool IsWildcardOnly(std::string_view pattern) { return pattern == ".*" || pattern == "*" || pattern == "*.*"; }

// Field numbers of the two files lists (the records differ from field 6 on).
struct FileFields {
    int type, define, parameter, fileName, pattern, os, servicePacks;
};
FileFields FieldsOf(UninstallList list) {
    if (list == UninstallList::Delete) {
        using namespace delete_file_item;
        return {kType, kDefine, kParameter, kFileName, kPattern, kOsMask, kServicePacks};
    }
    using namespace undelete_file_item;
    return {kType, kDefine, kParameter, kFileName, kPattern, kOsMask, kServicePacks};
}

}  // namespace

// ---- UninstallFileItemModel ----

std::string UninstallFileItemModel::Caption() const {
    return sjis::S(list_ == UninstallList::Delete ? "削除するファイル/フォルダ項目" : "削除しないファイル/フォルダ項目");
}

std::string UninstallFileItemModel::TypeText(int type) {
    static const char* const kTexts[kTypeCount] = {"ファイル", "フォルダ", "拡張子（ファイルパターン）"};
    return type >= 0 && type < kTypeCount ? sjis::S(kTexts[type]) : std::string();
}

std::string UninstallFileItemModel::OptionText(int bit) {
    static const char* const kTexts[kOptionCount] = {"削除時に確認メッセージを表示する",
                                                      "ファイル削除後、フォルダが空になる場合フォルダも削除する",
                                                      "指定フォルダが空でない場合でも削除する"};
    return bit >= 0 && bit < kOptionCount ? sjis::S(kTexts[bit]) : std::string();
}

const RecordCodec& UninstallFileItemModel::Codec() const {
    return list_ == UninstallList::Delete ? DeleteFileItemCodec() : UnDeleteFileItemCodec();
}

void UninstallFileItemModel::New(std::string_view firstDefine, const OsTarget& projectOs) {
    define = patternDefine = std::string(firstDefine);
    parameter.clear();
    patternParameter.clear();
    fileName.clear();
    pattern_.clear();
    options_ = 0;
    os = projectOs;
    SetType(kFile);
}

void UninstallFileItemModel::Load(std::string_view record) {
    const RecordCodec& codec = Codec();
    const FileFields f = FieldsOf(list_);
    define = patternDefine = codec.Text(record, f.define);
    parameter = patternParameter = codec.Text(record, f.parameter);
    fileName = codec.Text(record, f.fileName);
    SetPattern(codec.Text(record, f.pattern));
    options_ = HasOptions() ? codec.Int(record, delete_file_item::kOptions) : 0;
    os = OsTarget::Read(codec.Stored(record, f.os), codec.Stored(record, f.servicePacks));
    const int stored = codec.Int(record, f.type);
    SetType(stored >= 0 && stored < kTypeCount ? stored : kFile);
}

std::string UninstallFileItemModel::Record(std::string_view old) const {
    const FileFields f = FieldsOf(list_);
    const bool patternType = type_ == kPattern;
    FieldValues values{{f.type, FieldInt(type_)},
                       {f.define, patternType ? patternDefine : define},
                       {f.parameter, patternType ? patternParameter : parameter},
                       {f.fileName, type_ == kFile ? fileName : std::string()},
                       {f.pattern, patternType ? pattern_ : std::string()},
                       {f.os, os.MaskText()},
                       {f.servicePacks, os.ServicePackText()}};
    if (HasOptions()) values[delete_file_item::kOptions] = FieldInt(options_);
    return Codec().Update(old, values);
}

void UninstallFileItemModel::SetType(int type) {
    if (type < 0 || type >= kTypeCount) return;
    type_ = type;
    ApplyOptionRules();
}

void UninstallFileItemModel::SetPattern(std::string_view text) {
    pattern_ = list_ == UninstallList::Keep ? sjis::ToUpper(text) : std::string(text);
}

bool UninstallFileItemModel::OptionEnabled(int bit) const {
    if (!HasOptions() || bit < 0 || bit >= kOptionCount) return false;
    if (bit == 1) return type_ != kFolder;
    if (bit == 2) return type_ == kFolder;
    return true;
}

void UninstallFileItemModel::SetOption(int bit, bool on) {
    if (!OptionEnabled(bit)) return;
    if (on)
        options_ |= 1 << bit;
    else
        options_ &= ~(1 << bit);
}

void UninstallFileItemModel::ApplyOptionRules() {
    // A folder goes as a whole: "the folder becomes empty after the file" does not apply to it.
    if (type_ == kFolder) options_ &= ~kDeleteEmptiedFolder;
}

CheckOutcome UninstallFileItemModel::Ok() const {
    if (type_ == kPattern) {
        if (auto r = CheckRequired(pattern_, sjis::S("ファイルの拡張子を入力してください。"), uc::kPattern)) return r;
        if (IsWildcardOnly(pattern_))
            return Fail(sjis::S("ファイル名の指定にワイルドカードのみの指定はできません。"), uc::kPattern);
        return std::nullopt;
    }
    if (IsKnownDefine(define)) {
        if (auto r = CheckFolderDefineRule(define, uc::kDefine)) return r;
        if (auto r = CheckDefineParameterRule(define, parameter, uc::kParameter)) return r;
    }
    if (type_ != kFile) return std::nullopt;
    if (auto r = CheckRequired(fileName, sjis::S("ファイル名を入力してください。"), uc::kFileName)) return r;
    return CheckFileNameRule(fileName, uc::kFileName);
}

// ---- UninstallRegistryItemModel ----

std::string UninstallRegistryItemModel::Caption() const {
    return sjis::S(list_ == UninstallList::Delete ? "削除するレジストリ項目" : "削除しないレジストリ項目");
}

std::string UninstallRegistryItemModel::TypeText(int type) const {
    static const char* const kDelete[2] = {"キー", "値"};
    static const char* const kKeep[3] = {"指定値と一致する場合削除しない", "指定キーと一致する場合削除しない",
                                         "指定キーを含む場合削除しない"};
    if (type < 0 || type >= TypeCount()) return {};
    return sjis::S(list_ == UninstallList::Delete ? kDelete[type] : kKeep[type]);
}

std::string UninstallRegistryItemModel::OptionText(int bit) {
    static const char* const kTexts[3] = {"指定されたキーにサブキーまたは値がある場合は削除しない(&U)",
                                          "削除時に確認メッセージを表示する(&N)", "削除時上位キーも削除する(*)"};
    return bit >= 0 && bit < 3 ? sjis::S(kTexts[bit]) : std::string();
}

const RecordCodec& UninstallRegistryItemModel::Codec() const {
    return list_ == UninstallList::Delete ? DeleteRegistryItemCodec() : UnDeleteRegistryItemCodec();
}

void UninstallRegistryItemModel::New(const OsTarget& projectOs) {
    type_ = 0;
    rootKey = "HKEY_CURRENT_USER";
    subKey.clear();
    valueName.clear();
    options = 0;
    os = projectOs;
}

void UninstallRegistryItemModel::Load(std::string_view record) {
    // Both registry records keep type, root, sub-key, value name, OS mask and service packs in
    // the same fields.
    using namespace delete_registry_item;
    const RecordCodec& codec = Codec();
    const int stored = codec.Int(record, kType);
    type_ = stored >= 0 && stored < TypeCount() ? stored : 0;
    const std::string root = codec.Text(record, kRoot);
    if (!root.empty()) rootKey = root;
    subKey = codec.Text(record, kSubKey);
    valueName = codec.Text(record, kValueName);
    options = HasOptions() ? codec.Int(record, kOptions) : 0;
    os = OsTarget::Read(codec.Stored(record, kOsMask), codec.Stored(record, kServicePacks));
}

std::string UninstallRegistryItemModel::Record(std::string_view old) const {
    using namespace delete_registry_item;
    return Codec().Update(old, {{kType, FieldInt(type_)},
                                {kRoot, rootKey},
                                {kSubKey, subKey},
                                {kValueName, UsesValueName() ? valueName : std::string()},
                                {kOptions, HasOptions() ? FieldInt(options) : std::string("0")},
                                {kOsMask, os.MaskText()},
                                {kServicePacks, os.ServicePackText()}});
}

void UninstallRegistryItemModel::SetType(int type) {
    if (type >= 0 && type < TypeCount()) type_ = type;
}

bool UninstallRegistryItemModel::UsesValueName() const {
    return list_ == UninstallList::Delete ? type_ == 1 : type_ == 0;
}

CheckOutcome UninstallRegistryItemModel::Ok() const {
    const std::string subKeyMissing = sjis::S("サブキーを入力してください。");
    const std::string nameMissing = sjis::S("値名を入力してください。");
    if (list_ == UninstallList::Keep) {
        if (type_ == 0) return CheckRequired(valueName, nameMissing, uc::kValueName);
        return CheckRequired(subKey, subKeyMissing, uc::kSubKey);
    }
    if (auto r = CheckRequired(subKey, subKeyMissing, uc::kSubKey)) return r;
    if (IsProtectedRegistryKey(rootKey, subKey))
        return Fail(sjis::S("Windowsで重要なレジストリのため指定することはできません。"), uc::kSubKey);
    if (type_ == 1) return CheckRequired(valueName, nameMissing, uc::kValueName);
    return std::nullopt;
}

// ---- rows ----

std::string UninstallFileRowText(UninstallList list, std::string_view record, int column) {
    const RecordCodec& codec = list == UninstallList::Delete ? DeleteFileItemCodec() : UnDeleteFileItemCodec();
    const FileFields f = FieldsOf(list);
    const int type = codec.Int(record, f.type);
    if (column == 0) {
        static const char* const kTexts[UninstallFileItemModel::kTypeCount] = {"ファイル", "フォルダ", "拡張子"};
        return type >= 0 && type < UninstallFileItemModel::kTypeCount ? sjis::S(kTexts[type]) : std::string();
    }
    const std::string last = type == UninstallFileItemModel::kPattern ? codec.Text(record, f.pattern)
                             : type == UninstallFileItemModel::kFile  ? codec.Text(record, f.fileName)
                                                                      : std::string();
    return JoinParts({codec.Text(record, f.define), codec.Text(record, f.parameter), last});
}

std::string UninstallRegistryRowText(UninstallList list, std::string_view record, int column) {
    using namespace delete_registry_item;
    const RecordCodec& codec = list == UninstallList::Delete ? DeleteRegistryItemCodec() : UnDeleteRegistryItemCodec();
    const int type = codec.Int(record, kType);
    const bool isValue = list == UninstallList::Delete ? type == 1 : type == 0;
    if (column == 0) {
        if (isValue) return sjis::S("値");
        return sjis::S(list == UninstallList::Keep && type == 2 ? "キー(含む場合)" : "キー");
    }
    return JoinParts({codec.Text(record, kRoot), codec.Text(record, kSubKey),
                      isValue ? codec.Text(record, kValueName) : std::string()});
}

}  // namespace zeriru
