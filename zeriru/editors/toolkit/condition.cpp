#include "zeriru/editors/condition.h"

#include "platform/sjis.h"
#include "zeriru/editors/item_rules.h"

namespace zeriru {

namespace sjis = platform::sjis;
namespace cc = condition_control;

const RecordCodec& ConditionCodec() {
    using namespace condition_field;
    static const RecordCodec codec("condition", ',', 10, false,
                                   {{kTiming, "timing", FieldKind::Integer, "0"},
                                    {kType, "type", FieldKind::Integer, "0"},
                                    {kRootOrDefine, "root", FieldKind::Text, ""},
                                    {kKeyOrParameter, "key", FieldKind::Text, ""},
                                    {kName, "name", FieldKind::Text, ""},
                                    {kValue, "value", FieldKind::Text, ""},
                                    {kOption, "option", FieldKind::Integer, "0"},
                                    {kSection, "section", FieldKind::Text, ""},
                                    {kProcessing, "processing", FieldKind::Integer, "0"}});
    return codec;
}

std::string ConditionTimingText(int timing) {
    static const char* const kTexts[kConditionTimingCount] = {"条件を指定しない", "インストール時", "アンインストール時",
                                                               "インストール時・アンインストール時"};
    return timing >= 0 && timing < kConditionTimingCount ? sjis::S(kTexts[timing]) : std::string();
}

std::string ConditionTypeText(int type) {
    static const char* const kTexts[kConditionTypeCount] = {
        "レジストリに該当するキーが存在する場合",     "レジストリに該当する値名が存在する場合",
        "レジストリの該当の値が指定した値の場合",     "指定ファイルが存在する場合",
        "指定フォルダが存在する場合",                 "INIファイルに該当セクションが存在する場合",
        "INIファイルに該当する値名が存在する場合",   "INIファイルの該当の値が指定した値の場合",
    };
    return type >= 0 && type < kConditionTypeCount ? sjis::S(kTexts[type]) : std::string();
}

ConditionRecord ConditionRecord::Parse(std::string_view stored) {
    using namespace condition_field;
    const RecordCodec& c = ConditionCodec();
    ConditionRecord r;
    r.timing = c.Int(stored, kTiming);
    r.type = c.Int(stored, kType);
    r.rootOrDefine = c.Text(stored, kRootOrDefine);
    r.keyOrParameter = c.Text(stored, kKeyOrParameter);
    r.name = c.Text(stored, kName);
    r.value = c.Text(stored, kValue);
    r.option = c.Int(stored, kOption);
    r.section = c.Text(stored, kSection);
    r.processing = c.Int(stored, kProcessing);
    return r;
}

std::string ConditionRecord::Format() const {
    using namespace condition_field;
    return ConditionCodec().Make({{kTiming, FieldInt(timing)},
                                  {kType, FieldInt(type)},
                                  {kRootOrDefine, rootOrDefine},
                                  {kKeyOrParameter, keyOrParameter},
                                  {kName, name},
                                  {kValue, value},
                                  {kOption, FieldInt(option)},
                                  {kSection, section},
                                  {kProcessing, FieldInt(processing)}});
}

// ---- ConditionEditorModel ----

void ConditionEditorModel::Load(const ConditionRecord& r) {
    timing = r.timing >= 0 && r.timing < kConditionTimingCount ? r.timing : kConditionNone;
    type = r.type >= 0 && r.type < kConditionTypeCount ? r.type : kConditionKeyExists;
    switch (GroupOfType(type)) {
    case Group::Registry:
        if (!r.rootOrDefine.empty()) registry.rootKey = r.rootOrDefine;
        registry.subKey = r.keyOrParameter;
        registry.valueName = r.name;
        registry.value = r.value;
        break;
    case Group::Folder:
        if (!r.rootOrDefine.empty()) folder.define = r.rootOrDefine;
        folder.parameter = r.keyOrParameter;
        folder.fileName = r.name;
        break;
    case Group::Ini:
        if (!r.rootOrDefine.empty()) ini.define = r.rootOrDefine;
        ini.parameter = r.keyOrParameter;
        ini.section = r.section;
        ini.valueName = r.name;
        ini.value = r.value;
        break;
    case Group::None:
        break;
    }
}

ConditionEditorModel::Group ConditionEditorModel::GroupOfType(int type) {
    if (type <= kConditionValueEquals) return Group::Registry;
    if (type <= kConditionFolderExists) return Group::Folder;
    return Group::Ini;
}

ConditionEditorModel::Group ConditionEditorModel::VisibleGroup() const {
    return TypeVisible() ? GroupOfType(type) : Group::None;
}

bool ConditionEditorModel::ShowsValueName() const {
    return type == kConditionValueNameExists || type == kConditionValueEquals || type == kConditionIniNameExists ||
           type == kConditionIniValueEquals;
}

bool ConditionEditorModel::ShowsValue() const {
    return type == kConditionValueEquals || type == kConditionIniValueEquals;
}

bool ConditionEditorModel::ShowsFileName() const { return type == kConditionFileExists; }

ConditionRecord ConditionEditorModel::Record(int option, int processing) const {
    ConditionRecord r;
    r.timing = timing;
    r.type = type;
    r.option = option;
    r.processing = processing;
    if (type <= kConditionValueEquals) {
        r.rootOrDefine = registry.rootKey;
        r.keyOrParameter = registry.subKey;
        if (ShowsValueName()) r.name = registry.valueName;
        if (ShowsValue()) r.value = registry.value;
    } else if (type <= kConditionFolderExists) {
        r.rootOrDefine = folder.define;
        r.keyOrParameter = folder.parameter;
        if (ShowsFileName()) r.name = folder.fileName;
    } else {
        r.rootOrDefine = ini.define;
        r.keyOrParameter = ini.parameter;
        r.section = ini.section;
        if (ShowsValueName()) r.name = ini.valueName;
        if (ShowsValue()) r.value = ini.value;
    }
    return r;
}

namespace {

// The folder define and its parameter of the file and INI groups.
CheckOutcome CheckDefineOperands(const std::string& define, const std::string& parameter, const char* defineField,
                                 const char* parameterField, const ConditionEditorModel::CheckOptions& options) {
    if (options.unknownDefinesPass && !IsKnownDefine(define)) return std::nullopt;
    if (auto r = CheckFolderDefineRule(define, defineField)) return r;
    return CheckDefineParameterRule(define, parameter, parameterField);
}

}  // namespace

CheckOutcome ConditionEditorModel::CheckOperands(const CheckOptions& options) const {
    const std::string subKeyMissing = sjis::S("サブキーを入力してください。");
    const std::string nameMissing = sjis::S("値名を入力してください。");
    const std::string valueMissing = sjis::S("値を入力してください。");
    switch (type) {
    case kConditionKeyExists:
    case kConditionValueNameExists:
    case kConditionValueEquals:
        if (auto r = CheckRequired(registry.subKey, subKeyMissing, cc::kSubKey)) return r;
        if (type == kConditionValueNameExists) return CheckRequired(registry.valueName, nameMissing, cc::kValueName);
        if (type == kConditionValueEquals) return CheckRequired(registry.value, valueMissing, cc::kValue);
        return std::nullopt;
    case kConditionFileExists:
    case kConditionFolderExists:
        if (auto r = CheckDefineOperands(folder.define, folder.parameter, cc::kFolderDefine, cc::kFolderParameter,
                                         options))
            return r;
        if (type == kConditionFolderExists) return std::nullopt;
        if (auto r = CheckRequired(folder.fileName, sjis::S("ファイル名を入力してください。"), cc::kFileName)) return r;
        return CheckFileNameRule(folder.fileName, cc::kFileName);
    default:
        if (auto r = CheckDefineOperands(ini.define, ini.parameter, cc::kIniDefine, cc::kIniParameter, options))
            return r;
        if (auto r = CheckRequired(ini.section, sjis::S("セクション名を入力してください。"), cc::kSection)) return r;
        if (type == kConditionIniSectionExists) return std::nullopt;
        if (auto r = CheckRequired(ini.valueName, nameMissing, cc::kIniValueName)) return r;
        if (type == kConditionIniValueEquals) return CheckRequired(ini.value, valueMissing, cc::kIniValue);
        return std::nullopt;
    }
}

CheckOutcome ConditionEditorModel::Check(bool advancedMode, const CheckOptions& options) const {
    if (!advancedMode || timing == kConditionNone) return std::nullopt;
    return CheckOperands(options);
}

}  // namespace zeriru
