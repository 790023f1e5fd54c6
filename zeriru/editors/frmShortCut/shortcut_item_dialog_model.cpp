#include "zeriru/editors/shortcut_item_dialog_model.h"

#include "platform/sjis.h"
#include "zeriru/defines.h"
#include "zeriru/editors/editor_data.h"
#include "zeriru/editors/item_rules.h"
#include "zeriru/system_services.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace zeriru {

namespace sjis = platform::sjis;
namespace cc = shortcut_control;

namespace {

std::string MsgNameMissing() { return sjis::S("項目名が入力されていません。"); }
std::string MsgInvalidItemName() {
    return sjis::S("使用できない文字 * ? / ; \" < > | が含まれているか、ドライブ文字(A:など)やパス区切り文字(\\)が含まれています。\r"
                   "また、先頭にパス区切り文字(\\)を指定することはできません。\r"
                   "サブグループととして登録する場合は\r\rサブグループ\\項目名\r\rとして指定してください。");
}
std::string MsgTargetMissing() { return sjis::S("ファイルを指定してください。"); }
std::string MsgNoPlace() { return sjis::S("ショートカットの作成先が指定されてません。"); }
std::string MsgNotNumber() { return sjis::S("数値を入力してください。"); }

CheckOutcome OnPage(CheckOutcome result, const char* page) {
    if (result) result->page = page;
    return result;
}

// A working directory: a define, a network path or a path with a drive, and none of the
// characters a path cannot hold (":" is allowed: the drive's).
bool IsWorkingDirectory(std::string_view text) {
    const bool rooted = text.front() == '%' || (text.size() >= 2 && text[0] == '\\' && text[1] == '\\') ||
                        (text.size() >= 2 && text[1] == ':');
    if (!rooted) return false;
    for (std::size_t i = 0; i < text.size(); i = sjis::NextChar(text, i)) {
        if (sjis::CharLength(text, i) == 2) continue;
        if (std::string_view("*?/;<>|\"").find(text[i]) != std::string_view::npos) return false;
    }
    return true;
}

// The icon index as the up-down reads it; nullopt when the text is not a whole number.
std::optional<int> IconIndexOf(std::string_view text) {
    const std::string trimmed = TrimText(text);
    if (trimmed.empty()) return 0;
    long long value = 0;
    const auto r = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value, 10);
    if (r.ec == std::errc::result_out_of_range) return trimmed.front() == '-' ? 0 : kMaxIconIndex;
    if (r.ec != std::errc() || r.ptr != trimmed.data() + trimmed.size()) return std::nullopt;
    return static_cast<int>(std::clamp<long long>(value, 0, kMaxIconIndex));
}

}  // namespace

ShortCutItemDialogModel::ShortCutItemDialogModel(EditorData& data, bool readOnly) : data_(data), readOnly_(readOnly) {}

std::string ShortCutItemDialogModel::Caption() { return sjis::S("ショートカット項目"); }

void ShortCutItemDialogModel::Load(const ShortCutItem& item) {
    name = item.name;
    target = item.target;
    arguments = item.arguments;
    workingDirectory = item.workingDirectory;
    comment = item.comment;
    window = std::clamp(item.window, 0, kShortCutWindowCount - 1);
    targets = item.targets;
    iconFile = item.iconFile;
    iconIndexText = std::to_string(item.iconIndex);
    noExistCheck = (item.flags & shortcut_flag::kNoExistCheck) != 0;
    internetLink_ = (item.flags & shortcut_flag::kInternetLink) != 0;
}

ShortCutItem ShortCutItemDialogModel::Item() const {
    ShortCutItem item;
    item.name = name;
    item.target = target;
    item.arguments = arguments;
    item.workingDirectory = workingDirectory;
    item.iconFile = iconFile;
    item.iconIndex = IconIndexOf(iconIndexText).value_or(0);
    item.comment = comment;
    item.window = window;
    item.targets = targets;
    item.flags = (internetLink_ ? shortcut_flag::kInternetLink : 0) | (noExistCheck ? shortcut_flag::kNoExistCheck : 0);
    return item;
}

void ShortCutItemDialogModel::SetTarget(int bit, bool on) {
    if (bit < 0 || bit >= shortcut_target::kCount) return;
    if (on)
        targets |= 1 << bit;
    else
        targets &= ~(1 << bit);
}

std::string ShortCutItemDialogModel::TargetLabel() const {
    return sjis::S(internetLink_ ? "URL(&U)" : "ファイル名/フォルダ(&F)");
}

std::string ShortCutItemDialogModel::IconLabel() const {
    return sjis::S(internetLink_ ? "ファイル/URL(&U)" : "ファイル名(&F)");
}

std::vector<std::string> ShortCutItemDialogModel::DefineMenu() {
    return {"%InstallDir%", "%ProgramFilesDir%", "%SystemDirectory%", "%WindowsDirectory%", sjis::S("その他")};
}

bool ShortCutItemDialogModel::MenuEntryOpensBuilder(int index) { return index == 4; }

DefineBuilderDialogModel ShortCutItemDialogModel::Builder(std::string text) const {
    return DefineBuilderDialogModel(data_.defineCategories(), data_.defineParams(), kMaskFolderOrFile,
                                    std::move(text));
}

std::string ShortCutItemDialogModel::InsertDefine(std::string_view text, std::size_t selStart,
                                                  std::size_t selLength, std::string_view define) {
    return InsertAtCaret(text, selStart, selLength, define);
}

CheckOutcome ShortCutItemDialogModel::Check() const {
    const char* detail = cc::kDetailPage;
    const std::string trimmedName = TrimText(name);
    if (auto r = CheckRequired(trimmedName, MsgNameMissing(), cc::kName)) return OnPage(r, detail);
    if (auto r = CheckSubPathRule(trimmedName, cc::kName, MsgInvalidItemName())) return OnPage(r, detail);
    if (auto r = CheckRequired(TrimText(target), MsgTargetMissing(), cc::kTarget)) return OnPage(r, detail);
    const std::string workDir = TrimText(workingDirectory);
    if (!workDir.empty() && !IsWorkingDirectory(workDir))
        return OnPage(Fail(MsgNotFullFolderPath(), cc::kWorkingDirectory), detail);
    if ((targets & ((1 << shortcut_target::kCount) - 1)) == 0) return OnPage(Fail(MsgNoPlace(), cc::kTargets), detail);
    if (!IconIndexOf(iconIndexText)) return OnPage(Fail(MsgNotNumber(), cc::kIconIndex), cc::kOtherPage);
    return std::nullopt;
}

bool ShortCutItemDialogModel::OpensTargetDialog(const CheckResult& result) {
    return result.field == cc::kTarget && result.message == MsgTargetMissing();
}

bool ShortCutItemDialogModel::Ok(CheckOutcome* failed) {
    CheckOutcome result = Check();
    if (failed) *failed = result;
    if (result) return false;
    iconIndexText = std::to_string(*IconIndexOf(iconIndexText));
    return true;
}

}  // namespace zeriru
