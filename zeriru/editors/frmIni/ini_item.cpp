#include "zeriru/editors/ini_item.h"

#include "platform/sjis.h"
#include "zeriru/editors/record_kinds.h"
#include "zeriru/system_services.h"

#include <algorithm>

namespace zeriru {

namespace sjis = platform::sjis;
namespace f = ini_item;

IniItem IniItem::Read(std::string_view record) {
    const RecordCodec& c = IniItemCodec();
    IniItem item;
    item.processing = c.Int(record, f::kProcessing);
    item.define = c.Text(record, f::kDefine);
    item.parameter = c.Text(record, f::kParameter);
    item.fileName = c.Text(record, f::kFileName);
    item.section = c.Text(record, f::kSection);
    item.valueName = c.Text(record, f::kValueName);
    item.value = c.Text(record, f::kValue);
    item.os = OsTarget::Read(c.Stored(record, f::kOsMask), c.Stored(record, f::kServicePacks));
    item.condition = ConditionRecord::Parse(c.Stored(record, f::kCondition));
    return item;
}

std::string IniItem::Write(std::string_view record) const {
    return IniItemCodec().Update(record, {{f::kProcessing, FieldInt(processing)},
                                          {f::kDefine, define},
                                          {f::kParameter, parameter},
                                          {f::kFileName, fileName},
                                          {f::kSection, section},
                                          {f::kValueName, valueName},
                                          {f::kValue, value},
                                          {f::kOsMask, os.MaskText()},
                                          {f::kServicePacks, os.ServicePackText()},
                                          {f::kCondition, condition == ConditionRecord{} ? "" : condition.Format()}});
}

std::string IniProcessingText(int processing) {
    static const char* const kTexts[ini_processing::kCount] = {"値を書き込む", "値を削除する", "セクションを削除する"};
    return processing >= 0 && processing < ini_processing::kCount ? sjis::S(kTexts[processing]) : std::string();
}

std::string IniColumnCaption(int column) {
    static const char* const kCaptions[kIniColumnCount] = {"フォルダ", "サブフォルダ", "ファイル名", "セクション名",
                                                           "値名",     "値",           "対象OS",     "オプション"};
    return column >= 0 && column < kIniColumnCount ? sjis::S(kCaptions[column]) : std::string();
}

std::string IniColumnText(const std::string& record, int column) {
    const RecordCodec& c = IniItemCodec();
    switch (column) {
    case 0: return c.Text(record, f::kDefine);
    case 1: return c.Text(record, f::kParameter);
    case 2: return c.Text(record, f::kFileName);
    case 3: return c.Text(record, f::kSection);
    case 4: return c.Text(record, f::kValueName);
    case 5: return c.Text(record, f::kValue);
    case 6: return OsNames(c.Int(record, f::kOsMask));
    case kIniRecordColumn: return record;
    default: return {};
    }
}

int IniRowIcon(const std::string& record) {
    const int processing = IniItemCodec().Int(record, f::kProcessing);
    return std::clamp(processing, 0, ini_processing::kCount - 1);
}

}  // namespace zeriru
