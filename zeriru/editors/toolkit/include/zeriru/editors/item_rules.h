// The validation rules the item dialogs of every setting editor share, each with its message.
// A rule returns nullopt when the text passes, else a CheckResult that names the control to
// focus. Only single-byte characters are tested; both bytes of a Shift-JIS double-byte
// character pass. An empty text passes the character rules: required fields are checked with
// CheckRequired first.
#pragma once

#include "zeriru/editors/check_result.h"

#include <string>
#include <string_view>

namespace zeriru {

// The text is not empty.
CheckOutcome CheckRequired(std::string_view text, std::string message, std::string field);

// Full path: none of * ? / ; < > | " and it begins with "\\" or with a drive letter, ":" and
// "\". Message "使用できない文字 * ? / ; \" < > | が含まれているか、フルパスではありません。".
CheckOutcome CheckFullPathRule(std::string_view text, std::string field);

// File path (a component definition file, a corrected source path): none of * ? / ; < > | "
// and either ":" is the second character and the text is longer than three characters, or it
// begins with "%". The message is the caller's.
CheckOutcome CheckFilePathRule(std::string_view text, std::string field, std::string message);

// Sub-path (a parameter below a define): none of * ? / : ; < > | " and it does not begin with
// "\". The default message is the sub-folder message; some editors pass their own.
CheckOutcome CheckSubPathRule(std::string_view text, std::string field);
CheckOutcome CheckSubPathRule(std::string_view text, std::string field, std::string message);

// File name: none of * ? / : ; < > \ | ".
CheckOutcome CheckFileNameRule(std::string_view text, std::string field);

// Whether the text before the first "\" names a define of the table.
bool IsKnownDefine(std::string_view defineText);
// Whether the define of the text is known and can stand for a folder.
bool IsFolderDefine(std::string_view defineText);
// Whether the define of the text is known and takes parameters.
bool DefineNeedsParameter(std::string_view defineText);

// Folder define: the define is known and flagged as usable for a folder. Message
// "サポートしていないフォルダ定数か、この項目では使用できないフォルダ定数です。".
CheckOutcome CheckFolderDefineRule(std::string_view defineText, std::string defineField);

// Define parameter: the define does not need a parameter, or `parameter` is not empty.
// Message "パラメータが入力されていません。パラメータを入力してください。"; the result asks for the
// define parameter dialog, which opens on the group of `parameterField`.
CheckOutcome CheckDefineParameterRule(std::string_view defineText, std::string_view parameter,
                                      std::string parameterField);

// The messages of the rules (Shift-JIS).
std::string MsgParameterMissing();

}  // namespace zeriru
