#include "zeriru/editors/program_dialog_model.h"

#include "platform/sjis.h"
#include "zeriru/editors/item_rules.h"
#include "zeriru/editors/record_kinds.h"

namespace zeriru {

namespace sjis = platform::sjis;
namespace pc = program_control;

namespace {

std::string WithoutTrailingBackslash(std::string text) {
    if (!text.empty() && text.back() == '\\' && sjis::IsCharBoundary(text, text.size() - 1)) text.pop_back();
    return text;
}

CheckOutcome OnPage(CheckOutcome result, const char* page) {
    if (result) result->page = page;
    return result;
}

}  // namespace

std::string ProgramWindowText(int window) {
    static const char* const kTexts[kProgramWindowCount] = {"標準サイズ", "最小化", "最大化"};
    return window >= 0 && window < kProgramWindowCount ? sjis::S(kTexts[window]) : std::string();
}

std::string ProgramTimingText(int timing) {
    static const char* const kTexts[kProgramTimingCount] = {
        "ユーザーの指定により起動するかどうかを判断する", "インストール終了後に無条件に実行する",
        "アンインストール前に無条件に実行する", "インストール処理前に無条件に実行する (ファイルのコピー前)",
        "インストール処理前に無条件に実行する (ファイルのコピー後)"};
    return timing >= 0 && timing < kProgramTimingCount ? sjis::S(kTexts[timing]) : std::string();
}

std::string ProgramOptionText(int line) {
    static const char* const kTexts[kProgramOptionCount] = {
        "起動したプログラムが終了するまで待機する",
        "プログラムの起動をCreateProcess()API関数にて行う [通常はShellExecuteEx()API関数]",
        "実行前に確認メッセージを表示する"};
    return line >= 0 && line < kProgramOptionCount ? sjis::S(kTexts[line]) : std::string();
}

const std::vector<std::string>& ProgramFolderDefines() {
    static const std::vector<std::string> defines = {
        "%InstallDir%",      "%InstallDrive%",   "%InstallerDir%", "%WindowsDirectory%",
        "%SystemDirectory%", "%ProgramFilesDir%", "%SystemRootDir%", "%FavoritesDir%",
        "%CommonFavoritesDir%", "%Registry%",    "%IniFile%",      "%AbsoluteDir%"};
    return defines;
}

const std::vector<std::string>& ProgramConditionDefines() {
    static const std::vector<std::string> defines = {"%InstallDir%",     "%InstallDrive%",    "%WindowsDirectory%",
                                                     "%SystemDirectory%", "%ProgramFilesDir%", "%SystemRootDir%",
                                                     "%AbsoluteDir%"};
    return defines;
}

const std::vector<std::string>& ProgramArgumentDefines() {
    static const std::vector<std::string> defines = {"%InstallDir%", "%ProgramFilesDir%", "%SystemDirectory%",
                                                     "%WindowsDirectory%"};
    return defines;
}

std::string ProgramRowText(std::string_view record, int column) {
    using namespace program_item;
    static constexpr int kFields[3] = {kFolder, kFileName, kArguments};
    if (column < 0 || column >= 3) return {};
    return ProgramItemCodec().Text(record, kFields[column]);
}

bool ProgramEnabled(std::string_view record) { return ProgramItemCodec().Bool(record, program_item::kEnabled); }

// ---- ProgramDialogModel ----

std::string ProgramDialogModel::Caption() { return sjis::S("ファイルの指定"); }

ProgramDialogModel::ProgramDialogModel(const Setting& setting)
    : setting_(setting), mode_(Mode::Add), page_(Page::Target) {
    os = setting.projectOs;
    itemText = sjis::S("実行する");
    SetTiming(Page::SelectFile, kTimingUserChoice);
    SetTiming(Page::SpecifyFile, kTimingUserChoice);
}

ProgramDialogModel::ProgramDialogModel(const Setting& setting, std::string_view record)
    : setting_(setting), mode_(Mode::Edit), page_(Page::SpecifyFile) {
    using namespace program_item;
    const RecordCodec& codec = ProgramItemCodec();
    enabled = codec.Bool(record, kEnabled);
    const std::string folder = codec.Text(record, kFolder);
    const std::size_t slash = sjis::FindChar(folder, '\\');
    define = folder.substr(0, slash);
    parameter = slash == sjis::npos ? std::string() : folder.substr(slash + 1);
    fileName = codec.Text(record, kFileName);
    specifyLaunch.arguments = codec.Text(record, kArguments);
    specifyLaunch.window = codec.Int(record, kWindow);
    specifyLaunch.timing = codec.Int(record, kTiming);
    specifyLaunch.options = codec.Int(record, kOptions);
    const ConditionRecord stored = ConditionRecord::Parse(codec.Stored(record, kCondition));
    condition.Load(stored);
    conditionOn = stored.timing != 0;
    reverse = stored.option != 0;
    os = OsTarget::Read(codec.Stored(record, kOsMask), codec.Stored(record, kServicePacks));
    const std::string display = codec.Stored(record, kDisplay);
    const RecordCodec& shown = ProgramDisplayCodec();
    visible = shown.Bool(display, program_display::kVisible);
    checked = shown.Bool(display, program_display::kChecked);
    itemText = shown.Text(display, program_display::kText);
}

ProgramDialogModel::Page ProgramDialogModel::FilePage() const {
    if (mode_ == Mode::Edit || !projectFileTarget) return Page::SpecifyFile;
    return Page::SelectFile;
}

void ProgramDialogModel::SetProjectFiles(std::vector<InstalledFile> files) {
    files_ = std::move(files);
    filesRead_ = true;
    if (selectedFile >= static_cast<int>(files_.size())) selectedFile = -1;
}

void ProgramDialogModel::SetTiming(Page page, int timing) {
    if (timing < 0 || timing >= kProgramTimingCount) return;
    Launch& l = launch(page);
    l.timing = timing;
    if (timing == kTimingUserChoice) l.options &= ~(1 << kOptionWait);
    // A program run before the uninstall is always waited for: the uninstall must not remove
    // what it still uses.
    if (timing == kTimingBeforeUninstall) l.options |= 1 << kOptionWait;
}

bool ProgramDialogModel::OptionEnabled(Page page, int line) const {
    const int timing = launch(page).timing;
    if (line == kOptionCreateProcess) return true;
    if (line == kOptionWait) return timing != kTimingUserChoice && timing != kTimingBeforeUninstall;
    if (line == kOptionConfirm) return timing != kTimingUserChoice;
    return false;
}

void ProgramDialogModel::SetOption(Page page, int line, bool on) {
    if (!OptionEnabled(page, line)) return;
    Launch& l = launch(page);
    if (on)
        l.options |= 1 << line;
    else
        l.options &= ~(1 << line);
}

bool ProgramDialogModel::OtherPageShown() const {
    if (mode_ == Mode::Add) return page_ == Page::Other;
    return setting_.advancedMode || setting_.projectChecksOs || otherRevealed_;
}

bool ProgramDialogModel::ItemTextShown() const {
    const Launch& l = launch(FilePage());
    return l.timing == kTimingUserChoice || (l.options & (1 << kOptionConfirm)) != 0;
}

std::string ProgramDialogModel::ItemTextLabel() const {
    return sjis::S(launch(FilePage()).timing == kTimingUserChoice ? "項目内容(&I)" : "確認メッセージ(&M)");
}

bool ProgramDialogModel::DisplayOptionsShown() const { return launch(FilePage()).timing == kTimingUserChoice; }

bool ProgramDialogModel::FinishesOnFilePage() const {
    return !setting_.advancedMode && !setting_.projectChecksOs && setting_.groupExecution;
}

bool ProgramDialogModel::BackVisible() const { return mode_ == Mode::Add && page_ != Page::Target; }

std::string ProgramDialogModel::NextCaption() const {
    if (mode_ == Mode::Edit) return "OK";
    if (page_ == Page::Other || (page_ != Page::Target && FinishesOnFilePage())) return sjis::S("完了(&F)");
    return sjis::S("次へ(&N)");
}

void ProgramDialogModel::Back() {
    if (!BackVisible()) return;
    page_ = page_ == Page::Other ? FilePage() : Page::Target;
}

CheckOutcome ProgramDialogModel::CheckFilePage() const {
    if (FilePage() == Page::SelectFile) {
        if (selectedFile >= 0 && selectedFile < static_cast<int>(files_.size())) return std::nullopt;
        return OnPage(Fail(sjis::S("リストよりファイルを選択してください。"), pc::kFileList), pc::kSelectPage);
    }
    if (auto r = CheckFolderDefineRule(define, pc::kDefine)) return OnPage(r, pc::kSpecifyPage);
    if (auto r = CheckDefineParameterRule(define, parameter, pc::kParameter)) return OnPage(r, pc::kSpecifyPage);
    if (auto r = CheckRequired(fileName, sjis::S("ファイル名を入力してください。"), pc::kFileName))
        return OnPage(r, pc::kSpecifyPage);
    return OnPage(CheckFileNameRule(fileName, pc::kFileName), pc::kSpecifyPage);
}

CheckOutcome ProgramDialogModel::CheckOtherPage() const {
    const Launch& l = launch(FilePage());
    if (l.timing == kTimingUserChoice) {
        if (!setting_.groupExecution) {
            if (auto r = CheckRequired(itemText, sjis::S("項目内容を入力してください。"), pc::kItemText))
                return OnPage(r, pc::kDetailPage);
        }
    } else if (l.options & (1 << kOptionConfirm)) {
        if (auto r = CheckRequired(itemText, sjis::S("確認メッセージを入力してください。"), pc::kItemText))
            return OnPage(r, pc::kDetailPage);
    }
    if (!setting_.advancedMode || !conditionOn) return std::nullopt;
    ConditionEditorModel checked = condition;
    checked.timing = kConditionInstall;
    return OnPage(checked.Check(true, {}), pc::kConditionPage);
}

CheckOutcome ProgramDialogModel::Next() {
    if (finished_) return std::nullopt;
    if (mode_ == Mode::Edit) {
        if (auto r = CheckFilePage()) return r;
        CheckOutcome r = CheckOtherPage();
        if (r && !OtherPageShown()) RevealOtherPage();
        finished_ = !r;
        return r;
    }
    switch (page_) {
    case Page::Target:
        page_ = FilePage();
        return std::nullopt;
    case Page::SelectFile:
    case Page::SpecifyFile:
        if (auto r = CheckFilePage()) return r;
        if (FinishesOnFilePage())
            finished_ = true;
        else
            page_ = Page::Other;
        return std::nullopt;
    case Page::Other:
        if (auto r = CheckOtherPage()) return r;
        finished_ = true;
        return std::nullopt;
    }
    return std::nullopt;
}

std::string ProgramDialogModel::FolderField() const {
    if (FilePage() == Page::SelectFile) return WithoutTrailingBackslash(files_.at(static_cast<std::size_t>(selectedFile)).Folder());
    return define + "\\" + WithoutTrailingBackslash(parameter);
}

std::string ProgramDialogModel::Record(std::string_view old) const {
    using namespace program_item;
    const RecordCodec& codec = ProgramItemCodec();
    const Launch& l = launch(FilePage());
    const bool fromProject = FilePage() == Page::SelectFile;
    ConditionEditorModel stored = condition;
    stored.timing = conditionOn ? kConditionInstall : kConditionNone;
    const ConditionRecord previous = ConditionRecord::Parse(codec.Stored(old, kCondition));
    const std::string display = ProgramDisplayCodec().Update(
        codec.Stored(old, kDisplay), {{program_display::kVisible, FieldBool(visible)},
                                      {program_display::kChecked, FieldBool(checked)},
                                      {program_display::kText, itemText}});
    return codec.Update(old, {{kEnabled, FieldBool(enabled)},
                              {kFolder, FolderField()},
                              {kFileName, fromProject ? files_.at(static_cast<std::size_t>(selectedFile)).fileName : fileName},
                              {kArguments, l.arguments},
                              {kWindow, FieldInt(l.window)},
                              {kTiming, FieldInt(l.timing)},
                              {kOptions, FieldInt(l.options)},
                              {kCondition, stored.Record(reverse ? 1 : 0, previous.processing).Format()},
                              {kOsMask, os.MaskText()},
                              {kServicePacks, os.ServicePackText()},
                              {kDisplay, display}});
}

}  // namespace zeriru
