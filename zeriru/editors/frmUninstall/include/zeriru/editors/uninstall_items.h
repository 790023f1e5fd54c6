// The four item dialogs of the uninstall settings, without widgets: the files and folders to
// delete (TfrmDeleteFileDialog) and to keep (TfrmUnDeleteFileDialog), the registry keys and
// values to delete (TfrmDeleteRegistryDialog) and to keep (TfrmUnDeleteRegistryDialog); and the
// texts of the rows their lists show.
#pragma once

#include "zeriru/editors/check_result.h"
#include "zeriru/editors/os_target.h"

#include <string>
#include <string_view>

namespace zeriru {

class RecordCodec;

// Which list of a kind an item belongs to.
enum class UninstallList { Delete, Keep };

// Object names of the item dialogs' controls.
namespace uninstall_control {
inline constexpr const char* kType = "cmbType";
inline constexpr const char* kDefine = "cmbDefine";
inline constexpr const char* kParameter = "edtParameter";
inline constexpr const char* kFileName = "edtFileName";
inline constexpr const char* kPatternDefine = "cmbPatternDefine";
inline constexpr const char* kPatternParameter = "edtPatternParameter";
inline constexpr const char* kPattern = "edtPattern";
inline constexpr const char* kRootKey = "cmbRootKey";
inline constexpr const char* kSubKey = "edtSubKey";
inline constexpr const char* kValueName = "edtValueName";
}  // namespace uninstall_control

// ---- files and folders ----

class UninstallFileItemModel {
public:
    enum Type : int { kFile = 0, kFolder = 1, kPattern = 2 };
    inline static constexpr int kTypeCount = 3;
    // Delete list option bits.
    enum Option : int { kConfirm = 1, kDeleteEmptiedFolder = 2, kDeleteNonEmptyFolder = 4 };
    inline static constexpr int kOptionCount = 3;

    explicit UninstallFileItemModel(UninstallList list) : list_(list) {}

    UninstallList list() const { return list_; }
    // "削除するファイル/フォルダ項目" or "削除しないファイル/フォルダ項目".
    std::string Caption() const;
    static std::string TypeText(int type);    // "ファイル", "フォルダ", "拡張子（ファイルパターン）"
    static std::string OptionText(int bit);   // the three option lines of the delete list
    bool HasOptions() const { return list_ == UninstallList::Delete; }
    const RecordCodec& Codec() const;

    // A new item: type 0, both define combos on their first entry, the project-wide OS target.
    void New(std::string_view firstDefine, const OsTarget& projectOs);
    // An item of the list, for editing (its fields decoded).
    void Load(std::string_view record);
    // `old` (empty for a new item) with the dialog's fields; the file name is stored for type 0
    // only, the pattern for type 2 only.
    std::string Record(std::string_view old = {}) const;

    int type() const { return type_; }
    void SetType(int type);
    // The files group (types 0 and 1) and the pattern group (type 2) each keep their own define
    // and parameter.
    std::string define, parameter, fileName;
    std::string patternDefine, patternParameter;
    const std::string& pattern() const { return pattern_; }
    // The keep list takes the pattern in upper case.
    void SetPattern(std::string_view text);
    OsTarget os;

    int options() const { return options_; }
    bool OptionEnabled(int bit) const;
    void SetOption(int bit, bool on);

    // The item checks on OK, in order.
    CheckOutcome Ok() const;

private:
    void ApplyOptionRules();

    UninstallList list_;
    int type_ = kFile;
    std::string pattern_;
    int options_ = 0;
};

// ---- registry keys and values ----

class UninstallRegistryItemModel {
public:
    // Delete list: 0 "キー", 1 "値". Keep list: 0 "指定値と一致する場合削除しない", 1 "指定キーと一致する
    // 場合削除しない", 2 "指定キーを含む場合削除しない".
    explicit UninstallRegistryItemModel(UninstallList list) : list_(list) {}

    UninstallList list() const { return list_; }
    std::string Caption() const;  // "削除するレジストリ項目" or "削除しないレジストリ項目"
    int TypeCount() const { return list_ == UninstallList::Delete ? 2 : 3; }
    std::string TypeText(int type) const;
    // The delete list's three options (bits 0-2), enabled only for keys.
    static std::string OptionText(int bit);
    bool HasOptions() const { return list_ == UninstallList::Delete; }
    const RecordCodec& Codec() const;

    void New(const OsTarget& projectOs);
    void Load(std::string_view record);
    std::string Record(std::string_view old = {}) const;

    int type() const { return type_; }
    void SetType(int type);
    // The value name is asked for values only: type 1 of the delete list, type 0 of the keep list.
    bool UsesValueName() const;
    bool OptionsEnabled() const { return HasOptions() && type_ == 0; }

    std::string rootKey = "HKEY_CURRENT_USER";
    std::string subKey, valueName;
    int options = 0;
    OsTarget os;

    CheckOutcome Ok() const;

private:
    UninstallList list_;
    int type_ = 0;
};

// ---- list rows ----

// "種類" (column 0) and "値" (column 1) of a files list row.
std::string UninstallFileRowText(UninstallList list, std::string_view record, int column);
// "種類" (column 0) and "キー" (column 1) of a registry list row.
std::string UninstallRegistryRowText(UninstallList list, std::string_view record, int column);

}  // namespace zeriru
