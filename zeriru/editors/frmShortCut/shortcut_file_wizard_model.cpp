#include "zeriru/editors/shortcut_file_wizard_model.h"

#include "platform/sjis.h"
#include "zeriru/defines.h"
#include "zeriru/editors/editor_data.h"
#include "zeriru/editors/item_rules.h"
#include "zeriru/ui.h"

namespace zeriru {

namespace sjis = platform::sjis;
namespace wc = shortcut_wizard_control;
using Source = ShortCutFileWizardModel::Source;

namespace {

// "%UnInstallerFileName%": the uninstaller the installation leaves behind.
constexpr int kUnInstallerFileName = 1010;

// What a define's result is made of: the define and its parameters alone for the defines
// whose parameters name the file themselves, the define alone for the uninstaller.
bool ParametersNameTheFile(int id) {
    using namespace define_id;
    return id == kAbsoluteDir || id == kSearchFileDir || id == kSearchFileDirEx ||
           (id >= kRegistry && id <= kRegistryPathEx) || (id >= kIniFile && id <= kIniFileFileName);
}

// A define that denotes a file of its own: the file class without the folder class.
bool DenotesFile(int id) {
    const int flags = GetDefineData(id).flags;
    return id != 0 && (flags & kDefFileName) != 0 && (flags & kDefFolder) == 0;
}

// The parts joined with "\", leaving out the empty ones.
std::string JoinPath(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view part : parts) {
        if (part.empty()) continue;
        if (!out.empty()) out += '\\';
        out += part;
    }
    return out;
}

bool IsIconFile(const InstalledFile& file) {
    const std::size_t dot = sjis::FindLastChar(file.fileName, '.');
    if (dot == std::string::npos) return false;
    const std::string extension = sjis::ToUpper(std::string_view(file.fileName).substr(dot));
    return extension == ".ICO" || extension == ".DLL" || extension == ".EXE" || extension == ".ICL";
}

std::vector<std::string> FixedDefines(std::initializer_list<const char*> names) {
    return std::vector<std::string>(names.begin(), names.end());
}

}  // namespace

ShortCutFileWizardModel::ShortCutFileWizardModel(Kind kind, EditorData& data, std::vector<InstalledFile> files)
    : kind_(kind), data_(data) {
    if (kind == Kind::Target)
        sources_ = {Source::ProjectFile, Source::OutsideFile, Source::Folder};
    else
        sources_ = {Source::ProjectFile, Source::OutsideFile, Source::None};
    SetFiles(std::move(files));
    define = "%InstallDir%";
}

void ShortCutFileWizardModel::SetFiles(std::vector<InstalledFile> files) {
    rows_.clear();
    for (InstalledFile& file : files)
        if (kind_ == Kind::Target || IsIconFile(file)) rows_.push_back(std::move(file));
    selectedRow_ = -1;
}

std::vector<InstalledFile> ShortCutFileWizardModel::ReadProjectFiles(
    EditorData& data, const std::function<void(std::string_view)>& progress) {
    if (!data.project()) return {};
    InstalledFilesOptions options;
    options.followComponents = true;
    options.progress = progress;
    return ReadInstalledFiles(*data.project(), options);
}

std::string ShortCutFileWizardModel::ProgressText() { return sjis::S("読み込み中"); }

std::string ShortCutFileWizardModel::Caption() const {
    return sjis::S(kind_ == Kind::Target ? "ファイルの指定" : "アイコンファイルの指定");
}

std::string ShortCutFileWizardModel::Question() const {
    return sjis::S(kind_ == Kind::Target ? "ショートカットの対象を選択してください" : "アイコンファイルの対象を選択してください");
}

std::string ShortCutFileWizardModel::SourceCaption(Source source) {
    switch (source) {
    case Source::ProjectFile: return sjis::S("「ファイル/フォルダの設定」で指定されたファイル");
    case Source::OutsideFile: return sjis::S("外部ファイル");
    case Source::Folder: return sjis::S("フォルダ");
    case Source::None: return sjis::S("指定しない");
    }
    return {};
}

void ShortCutFileWizardModel::SetSource(Source source) {
    for (Source offered : sources_)
        if (offered == source) source_ = source;
}

std::string ShortCutFileWizardModel::NextCaption() const { return sjis::S(step_ == 0 ? "次へ(&N)" : "完了(&F)"); }

bool ShortCutFileWizardModel::Next(CheckOutcome* failed) {
    if (failed) failed->reset();
    if (step_ == 0) {
        if (source_ != Source::None) {
            step_ = 1;
            return false;
        }
        result_.clear();
        return true;
    }
    CheckOutcome check = CheckStepTwo();
    if (check) {
        if (failed) *failed = std::move(check);
        return false;
    }
    result_ = ComposeResult();
    return true;
}

void ShortCutFileWizardModel::SelectRow(int row) {
    selectedRow_ = row >= 0 && row < static_cast<int>(rows_.size()) ? row : -1;
}

std::vector<std::string> ShortCutFileWizardModel::DefineChoices() const {
    if (source_ == Source::Folder) {
        std::vector<std::string> choices = FixedDefines(
            {"%InstallDir%", "%InstallDrive%", "%WindowsDirectory%", "%SystemDirectory%", "%ProgramFilesDir%",
             "%SystemRootDir%", "%CommonAppDataDir%", "%AppDataDir%", "%MyDocumentsDir%", "%AbsoluteDir%"});
        for (std::string& d : data_.DefineList("DFNLIST_SHORTCUTITEM_FOLDER")) choices.push_back(std::move(d));
        return choices;
    }
    if (kind_ == Kind::Icon)
        return FixedDefines({"%InstallDir%", "%InstallDrive%", "%WindowsDirectory%", "%SystemDirectory%",
                             "%ProgramFilesDir%", "%SystemRootDir%", "%AbsoluteDir%"});
    return data_.DefineList("DFNLIST_SHORTCUTITEM");
}

void ShortCutFileWizardModel::SetDefine(std::string text) { define = std::move(text); }

bool ShortCutFileWizardModel::FileNameVisible() const {
    return !(source_ == Source::OutsideFile && FindDefineId(define) == kUnInstallerFileName);
}

bool ShortCutFileWizardModel::EditParameters(Ui& ui, const DefineParamDialogRunner& dialog) {
    std::optional<DefineParamDialogModel> model = OpenDefineParameters(
        ui, data_.defineParams(), define, parameter, DefineParamDialogModel::Origin::SettingEditor);
    if (!model || !dialog(*model)) return false;
    parameter = model->ParameterPart();
    return true;
}

std::string ShortCutFileWizardModel::TargetFileFilter() {
    return sjis::S("プログラムファイル(*.exe;*.scr;*.com;*.pif)|*.exe;*.scr;*.com;*.pif|すべてのファイル(*.*)|*.*");
}

bool ShortCutFileWizardModel::BrowseFile(Ui& ui) {
    FileDialogRequest request;
    request.filter = kind_ == Kind::Target
                         ? TargetFileFilter()
                         : sjis::S("アイコンファイル(*.ico;*.dll;*.exe;*.icl)|*.ico;*.dll;*.exe;*.icl|すべてのファイル(*.*)|*.*");
    if (!ui.ChooseFiles(request) || request.paths.empty()) return false;
    const std::string& path = request.paths.front();
    const std::size_t slash = sjis::FindLastChar(path, '\\');
    fileName = slash == std::string::npos ? path : path.substr(slash + 1);
    return true;
}

std::string ShortCutFileWizardModel::SamplePath() const {
    if (source_ == Source::ProjectFile) {
        if (selectedRow_ < 0) return {};
        const InstalledFile& file = rows_[static_cast<std::size_t>(selectedRow_)];
        return data_.ExpandInstallPath(file.Folder() + "\\" + file.fileName);
    }
    if (source_ == Source::None) return {};
    const int id = FindDefineId(define);
    if (id == kUnInstallerFileName && source_ == Source::OutsideFile) return "rodeve21.exe";
    if (DefineNeedsParameter(define)) return sjis::S("<自動取得>");
    return data_.ExpandInstallPath(ComposeResult());
}

CheckOutcome ShortCutFileWizardModel::CheckStepTwo() const {
    const std::string defineText = TrimText(define);
    const int id = FindDefineId(defineText);
    switch (source_) {
    case Source::ProjectFile:
        if (selectedRow_ >= 0) return std::nullopt;
        return Fail(sjis::S(kind_ == Kind::Target ? "リストよりファイルを選択してください。" : "ファイルを指定してください。"),
                    wc::kFileList);
    case Source::OutsideFile: {
        // An empty define would leave a path of no folder at all.
        if (defineText.empty()) return Fail(MsgUnsupportedDefine(), wc::kDefine);
        const CheckOutcome fileMissing =
            CheckRequired(TrimText(fileName), sjis::S("ファイル名を入力してください。"), wc::kFileName);
        if (id == 0) return kind_ == Kind::Icon ? fileMissing : std::nullopt;
        if (kind_ == Kind::Target && DenotesFile(id))
            return CheckDefineParameterRule(defineText, parameter, wc::kParameter);
        if (auto r = CheckFolderDefineRule(defineText, wc::kDefine)) return r;
        if (auto r = CheckDefineParameterRule(defineText, parameter, wc::kParameter)) return r;
        if (kind_ == Kind::Target && ParametersNameTheFile(id)) return std::nullopt;
        return fileMissing;
    }
    case Source::Folder:
        if (defineText.empty()) return Fail(MsgUnsupportedDefine(), wc::kDefine);
        if (id == 0) return std::nullopt;
        if (auto r = CheckFolderDefineRule(defineText, wc::kDefine)) return r;
        return CheckDefineParameterRule(defineText, parameter, wc::kParameter);
    case Source::None:
        return std::nullopt;
    }
    return std::nullopt;
}

std::string ShortCutFileWizardModel::ComposeResult() const {
    const std::string defineText = TrimText(define);
    const int id = FindDefineId(defineText);
    switch (source_) {
    case Source::ProjectFile: {
        if (selectedRow_ < 0) return {};
        const InstalledFile& file = rows_[static_cast<std::size_t>(selectedRow_)];
        return file.Folder() + "\\" + file.fileName;
    }
    case Source::OutsideFile:
        if (id == kUnInstallerFileName) return defineText;
        if (ParametersNameTheFile(id)) return JoinPath({defineText, parameter});
        return JoinPath({defineText, parameter, TrimText(fileName)});
    case Source::Folder:
        return JoinPath({defineText, parameter});
    case Source::None:
        return {};
    }
    return {};
}

}  // namespace zeriru
