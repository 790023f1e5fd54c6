// One entry of the INI list ([IniFileSetting] UseSection, default [IniFileItems]): what the
// item dialog edits, read from and written into the item record. The condition record of the
// item also carries its option (field 7) and its processing timing (field 10).
#pragma once

#include "zeriru/editors/condition.h"
#include "zeriru/editors/os_target.h"

#include <string>
#include <string_view>

namespace zeriru {

// Field 1: "値を書き込む", "値を削除する", "セクションを削除する"; also the icon of the row.
namespace ini_processing {
inline constexpr int kWrite = 0, kDeleteValue = 1, kDeleteSection = 2;
inline constexpr int kCount = 3;
}  // namespace ini_processing

struct IniItem {
    int processing = ini_processing::kWrite;
    std::string define = "%InstallDir%";
    std::string parameter;  // the sub-path or the define's parameters, no trailing "\"
    std::string fileName;
    std::string section;
    std::string valueName;
    std::string value;
    OsTarget os;
    ConditionRecord condition;  // with the option and the processing timing

    // "既に指定値が存在する場合処理を行わない(&E)".
    bool skipExisting() const { return condition.option == 1; }
    int timing() const { return condition.processing; }

    static IniItem Read(std::string_view record);
    // `record` with the fields of this item replaced (a new record when empty). A condition of
    // nothing at all (timing 0, processed at install, no operands) is stored empty.
    std::string Write(std::string_view record = {}) const;
    bool operator==(const IniItem&) const = default;
};

std::string IniProcessingText(int processing);

// The list's columns: "フォルダ", "サブフォルダ", "ファイル名", "セクション名", "値名", "値",
// "対象OS", and "オプション", the record itself (a column of width 0).
inline constexpr int kIniColumnCount = 8;
inline constexpr int kIniRecordColumn = 7;
std::string IniColumnCaption(int column);
std::string IniColumnText(const std::string& record, int column);
// The row's icon: the processing.
int IniRowIcon(const std::string& record);

}  // namespace zeriru
