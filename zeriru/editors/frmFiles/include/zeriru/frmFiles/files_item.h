// The files item record as the files and folders editor sees it: the kinds, the file option and
// attribute lines, the texts of the list's columns, the registration rule of self-registering
// files, and the conversion of an item to another kind. Records are read and written through
// FilesItemCodec (toolkit); every text here is Shift-JIS.
#pragma once

#include "zeriru/editors/check_result.h"
#include "zeriru/editors/record_kinds.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

// Most items a files list holds.
inline constexpr int kFilesListLimit = 32768;

// The file option bits (field 8), bit i = line i of the option list.
namespace file_option {
inline constexpr int kAskOverwrite = 1 << 0;
inline constexpr int kRegister = 1 << 1;
inline constexpr int kShared = 1 << 2;
inline constexpr int kSkipExisting = 1 << 3;
inline constexpr int kStampExisting = 1 << 4;
inline constexpr int kNoCopy = 1 << 5;
inline constexpr int kAskUninstall = 1 << 6;
inline constexpr int kBackupExisting = 1 << 7;
inline constexpr int kIgnoreTime = 1 << 8;
inline constexpr int kIgnoreVersion = 1 << 9;
inline constexpr int kLineCount = 10;
// Lines that exclude one another: what to do with a file that exists already.
inline constexpr int kExistingGroup = kAskOverwrite | kSkipExisting | kStampExisting;
}  // namespace file_option
// Option bit 0 of a component item: selected by default.
inline constexpr int kComponentSelected = 1;

// The attribute bits (field 9).
namespace file_attribute {
inline constexpr int kArchive = 1, kReadOnly = 2, kHidden = 4, kSystem = 8;
inline constexpr int kLineCount = 4;
}  // namespace file_attribute

// "既にファイルが存在する場合は上書き確認メッセージを表示する", ... (line 0-9).
std::string FileOptionText(int line);
// "アーカイブ属性", "読み取り専用属性", "隠しファイル属性", "システム属性".
std::string FileAttributeText(int line);
// The kinds the editor knows (0-5); any other is shown but kept as it was read.
bool IsKnownFilesKind(int kind);
// The kind texts of the conversion dialog (kinds 0-4).
std::string FilesKindText(int kind);

// The part of a path after its last "\" (the whole text without one).
std::string FileNamePart(std::string_view path);
// A path without its trailing "\" characters.
std::string WithoutTrailingBackslash(std::string_view path);

// The columns of the list: "定数", "サブフォルダ", "ファイル名", "コメント" and the zero-width
// "設定内容" that carries the stored record.
enum FilesColumn : int { kColumnDefine = 0, kColumnParameter, kColumnFileName, kColumnComment, kColumnRecord };
inline constexpr int kFilesColumnCount = 5;
std::vector<std::string> FilesColumnCaptions();
std::string FilesColumnText(const std::string& record, int column);

// Whether a file may keep the registration bit (IsSelfRegistering by default).
using RegistrableTest = std::function<bool(std::string_view path)>;
RegistrableTest DefaultRegistrableTest();
// The options of a file item as stored: the registration bit only for a registrable source.
int ApplyRegistrationRule(int options, std::string_view source, const RegistrableTest& registrable);
// A file added while "共有ファイルを自動登録" is on: a registrable one gets the registration and
// shared bits.
int AutoRegisterOptions(int options, std::string_view source, const RegistrableTest& registrable);

// The attributes of a file on disk as attribute bits (archive, read-only, hidden, system); 0
// for a missing file.
int AttributesOnDisk(std::string_view path);

// [FilesSetting] ExcludeCommonComponent: the list holds no file copy.
bool ExcludesCommonComponent(const std::vector<std::string>& records);

// The record converted to `kind` (0-4): the kind replaced, the source cut to its file name for
// kind 2, source and comment cleared for kinds 1, 3 and 4. nullopt for a component item or a
// kind the editor does not know ("サポートしていない種類です。").
std::optional<std::string> ConvertFilesKind(const std::string& record, int kind);
std::string MsgUnsupportedConversion();
// What a converted item lacks, in the order checked: a define, a source (kinds 0 and 2), a
// parameter (kinds 1, 3 and 4). nullopt when it is complete.
std::optional<std::string> ConvertedItemProblem(const std::string& record);

// "リストの項目数が 32768 に達したため処理を中止しました。": an addition stopped at the limit.
std::string MsgListFull();

// The message shown when an item of an unknown kind is opened.
std::string MsgUnsupportedItem();

}  // namespace zeriru
