#include "zeriru/editors/item_rules.h"

#include "platform/sjis.h"
#include "zeriru/defines.h"
#include "zeriru/system_services.h"

namespace zeriru {

namespace sjis = platform::sjis;

std::string MsgParameterMissing() { return sjis::S("パラメータが入力されていません。パラメータを入力してください。"); }

CheckOutcome CheckRequired(std::string_view text, std::string message, std::string field) {
    if (!text.empty()) return std::nullopt;
    return Fail(std::move(message), std::move(field));
}

CheckOutcome CheckFullPathRule(std::string_view text, std::string field) {
    if (text.empty() || IsFullFolderPath(text)) return std::nullopt;
    return Fail(MsgNotFullFolderPath(), std::move(field));
}

CheckOutcome CheckFilePathRule(std::string_view text, std::string field, std::string message) {
    if (text.empty() || !IsInvalidFileName(text, true)) return std::nullopt;
    return Fail(std::move(message), std::move(field));
}

CheckOutcome CheckSubPathRule(std::string_view text, std::string field) {
    return CheckSubPathRule(text, std::move(field), MsgInvalidSubFolder());
}

CheckOutcome CheckSubPathRule(std::string_view text, std::string field, std::string message) {
    if (text.empty() || !IsInvalidPath(text, false)) return std::nullopt;
    return Fail(std::move(message), std::move(field));
}

CheckOutcome CheckFileNameRule(std::string_view text, std::string field) {
    if (text.empty() || !IsInvalidFileName(text, false)) return std::nullopt;
    return Fail(MsgInvalidFileName(), std::move(field));
}

bool IsKnownDefine(std::string_view defineText) { return FindDefineId(defineText) != 0; }

bool IsFolderDefine(std::string_view defineText) {
    const int id = FindDefineId(defineText);
    return id != 0 && (GetDefineData(id).flags & kDefFolder) != 0;
}

bool DefineNeedsParameter(std::string_view defineText) {
    const int id = FindDefineId(defineText);
    return id != 0 && (GetDefineData(id).flags & kDefParameters) != 0;
}

CheckOutcome CheckFolderDefineRule(std::string_view defineText, std::string defineField) {
    if (IsFolderDefine(defineText)) return std::nullopt;
    return Fail(MsgUnsupportedDefine(), std::move(defineField));
}

CheckOutcome CheckDefineParameterRule(std::string_view defineText, std::string_view parameter,
                                      std::string parameterField) {
    if (!DefineNeedsParameter(defineText) || !parameter.empty()) return std::nullopt;
    CheckOutcome result = Fail(MsgParameterMissing(), std::move(parameterField));
    result->openParameterDialog = true;
    return result;
}

}  // namespace zeriru
