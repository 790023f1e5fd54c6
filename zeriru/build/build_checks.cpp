// The steps of a build up to the staging: reading the project, the checks of the output, the
// folders, the project's checks, the module conversion, the logo, the files and the disk space.
#include "build_guards.h"
#include "build_state.h"
#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "zeriru/build_installer.h"
#include "zeriru/convert_module.h"
#include "zeriru/file_services.h"
#include "zeriru/modules.h"
#include "zeriru/ui.h"

namespace zeriru {

namespace wp = platform::winpath;
using platform::sjis::S;

namespace {

// Error codes and help topics of the refusals that keep a build inside its folders.
constexpr int kUnsafeOutputFolder = 12;
constexpr int kUnsafeOutputFolderTopic = 139;
constexpr int kUnsafeOutputName = 13;
constexpr int kUnsafeOutputNameTopic = 140;
constexpr int kUnsafeItemTarget = 14;
constexpr int kUnsafeItemTargetTopic = 141;
constexpr int kNotAFile = 15;
constexpr int kNotAFileTopic = 142;

std::string NotAFileText(const std::string& source) {
    return S("通常のファイルではないため使用できません。\rフォルダ: ") + wp::FolderOf(source) + S("\rファイル名: ") +
           wp::FileNameOf(source);
}

// Error 7's text: a component file and the files it lists name folder and name in columns.
std::string MissingText(const std::string& source, bool component) {
    if (component)
        return S("アプリケーションを構成する一部のファイルが欠落しています。\rフォルダ   : ") + wp::FolderOf(source) +
               S("\rファイル名 : ") + wp::FileNameOf(source);
    return S("アプリケーションを構成する一部のファイルが欠落しています。\rフォルダ: ") + wp::FolderOf(source) + "\r" +
           S("ファイル名: ") + wp::FileNameOf(source);
}

bool SameItem(std::string_view a, std::string_view b) {
    for (int field : {2, 3, 4, 5}) {
        if (!platform::sjis::EqualsNoCase(DecodeProjectText(GetItemField(a, field)),
                                          DecodeProjectText(GetItemField(b, field))))
            return false;
    }
    return true;
}

// Every file the build would read for the project: the file items' sources, the component
// files and the files they list, the logo.
template <typename Visit>
void ForEachSource(const TBuilder::State& s, Visit visit) {
    for (const std::string& item : s.items) {
        const int kind = GetItemFieldInt(item, 2, -1);
        if (kind != 0 && kind != 5) continue;
        const std::string source = DecodeProjectText(GetItemField(item, 5));
        if (!visit(source)) return;
        if (kind != 5) continue;
        const TIniDocument component = TIniDocument::OpenWindowsPath(source);
        for (const auto& [key, entry] : component.ReadSectionValues("DATA")) {
            if (GetItemFieldInt(entry, 2, -1) == 0 && !visit(DecodeProjectText(GetItemField(entry, 5)))) return;
        }
    }
    if (!s.logoFile.empty()) visit(s.logoFile);
}

}  // namespace

void TBuilder::ReadProject(State& s) {
    s.project = TIniDocument::OpenWindowsPath(s.request.projectFile);
    const TIniDocument& project = s.project;
    s.itemsSection = ItemsSectionName(project, "FilesSetting", "Files");
    s.softName = DecodeProjectText(project.ReadString("Software", "SoftName"));
    s.installerTitle = DecodeProjectText(project.ReadString("Software", "InstallerTitle"));
    s.logoFile = DecodeProjectText(project.ReadString("Software", "LogoFileName"));
    s.copyright = DecodeProjectText(project.ReadString("Software", "Copyright"));
    s.logoEnabled = project.ReadBool("Software", "LogoEnabled", false);
    s.panel10 = project.ReadBool("ScreenSetting", "Panel10", true);
    s.useUniqueKey = project.ReadBool("Project", "UseUniqueKey", false);
    s.compLevel = project.ReadInteger("Project", "CreateFileCompLevel", 2);
    s.uninstallEnabled = project.ReadBool("Installer", "EnableUnInstallSetting", true);
    s.infoFileMethod = project.ReadInteger("UninstallSetting", "InfoFileMethod", 0);
    for (int i = 0; i < kMaxFileItems; ++i) {
        if (CheckAbort()) break;
        const std::string key = std::to_string(i);
        if (!s.project.ValueExists(s.itemsSection, key)) break;
        s.items.push_back(s.project.ReadString(s.itemsSection, key));
    }
}

bool TBuilder::CheckOutputTarget(State& s) { return Ok() && CheckOutputFolder(s) && CheckOutputName(s); }

// A copy build empties its output folder, and every build writes into it: a folder that holds
// the project, its files, the editor or one of the machine's own folders is refused, whatever
// the create type.
bool TBuilder::CheckOutputFolder(State& s) {
    const HostFolder output(s.out);
    if (!output.Valid()) return true;  // no such drive: creating the folder fails with error 1
    const std::string target = S("\r対象フォルダ:") + s.out;
    auto refuse = [&](const char* reason, const std::string& detail = {}) {
        Error(kUnsafeOutputFolder, kUnsafeOutputFolderTopic, S(reason) + target + detail);
        return false;
    };
    if (output.IsHeldBy(s.work)) return refuse("作成先のフォルダにRaredovoの作業用フォルダは指定できません。");
    if (output.Holds(env_.editorFolder))
        return refuse("作成先のフォルダにはRaredovoのフォルダが含まれているため指定できません。");
    if (output.Holds(s.request.projectFile))
        return refuse("作成先のフォルダにはプロジェクトファイルが含まれているため指定できません。",
                      S("\rファイル名:") + s.request.projectFile);
    for (const std::string& known : KnownFolders(*env_.machine)) {
        if (output.Holds(known))
            return refuse("作成先のフォルダにはシステムのフォルダが含まれているため指定できません。",
                          S("\rシステムのフォルダ:") + known);
    }
    SourceFolders sources(output);
    std::string held;
    ForEachSource(s, [&](const std::string& source) {
        if (source.empty() || !sources.HeldByOutput(source)) return true;
        held = source;
        return false;
    });
    if (!held.empty())
        return refuse("作成先のフォルダにはインストールするファイルが含まれているため指定できません。",
                      S("\rファイル名:") + held);
    return true;
}

// The archive's name and the copy's data folder are names inside the output folder, never
// paths out of it.
bool TBuilder::CheckOutputName(State& s) {
    if (s.copyMode) {
        if (IsPlainModuleName(s.request.installSource)) return true;
        Error(kUnsafeOutputName, kUnsafeOutputNameTopic,
              S("インストールソースにはフォルダ名のみを指定してください。\rフォルダ名:") + s.request.installSource);
        return false;
    }
    const std::string name = ExpandOutputName(s.request.outputFileName, s.project, env_.clock());
    if (IsPlainModuleName(name)) return true;
    Error(kUnsafeOutputName, kUnsafeOutputNameTopic,
          S("作成するインストーラファイル名にはファイル名のみを指定してください。\rファイル名:") + name);
    return false;
}

void TBuilder::PrepareFolders(State& s) {
    if (s.copyMode) {
        if (wp::DirectoryExists(s.out)) DeleteFolderTree(s.out, *env_.machine, [this] { Pump(); });
        if (!wp::CreateDirectoryTree(s.data)) Error(1, 46, S("コピー先のフォルダを作成できません。\r対象フォルダ:") + s.data);
        return;
    }
    if (!wp::DirectoryExists(s.out) && !wp::CreateDirectoryTree(s.out))
        Error(1, 46, S("コピー先のフォルダを作成できません。\r対象フォルダ:") + s.out);
    if (wp::DirectoryExists(s.work)) DeleteFolderTree(s.work, *env_.machine, [this] { Pump(); });
    if (!wp::CreateDirectoryTree(s.work)) Error(1, 70, S("作業用フォルダを作成できません。\r対象フォルダ:") + s.work);
}

void TBuilder::CheckProject(State& s) {
    Progress(S("プロジェクトファイルの内容を確認しています。"));
    if (Ok() && s.installerTitle.empty()) Error(2, 131, S("インストーラのタイトルが設定されていません。"));
    if (Ok() && s.softName.empty()) Error(3, 132, S("アプリケーション名が設定されていません。"));
    if (Ok() && s.copyright.empty() && s.panel10) Error(4, 96, S("著作権表示が設定されていません。"));
    if (Ok() && s.items.empty())
        Error(5, 121, S("インストールするファイルが指定されていません。\r[ファイル/フォルダの設定]で設定してください。"));
    if (Ok()) CheckItemTargets(s);
    if (Ok() && s.uninstallEnabled) {
        if (!s.useUniqueKey && s.infoFileMethod == 1) {
            Hint(0, true,
                 S("アンインストールの設定:[アンインストール情報]の[アンインストールキーが…自動生成する]が無効の場合に、"
                   "[アンインストール情報ファイル名を自動設定]にしているとアンインストール時にフォルダが完全に削除できない場合があります。"));
        } else if (s.useUniqueKey && (s.infoFileMethod == 0 || s.infoFileMethod == 2)) {
            Hint(0, true,
                 S("アンインストールの設定:[アンインストール情報]の[アンインストールキーが…自動生成する]が有効の場合に、"
                   "[アンインストール情報ファイル名を上書きする]設定にしていると既存のソフトが[アプリケーションの追加と削除]からアンインストールできなくなる場合があります。"));
        }
    }
    if (Ok()) Progress(S("プロジェクトファイルの内容確認が終了しました。"));
}

// Every item whose target leaves the install folder is listed, not only the first.
void TBuilder::CheckItemTargets(State& s) {
    for (const std::string& item : s.items) CheckItemTarget(item);
}

// The installer writes and deletes below an item's folder define: a ".." there, in the
// sub-folder or in the name would leave it, and a drive that maps the host's root would put the
// item anywhere on the machine that runs the installer.
bool TBuilder::CheckItemTarget(std::string_view record) {
    const int kind = GetItemFieldInt(record, 2, 0);
    if (kind == 5) return true;  // an include: its own items are checked with its file
    const std::string define = DecodeProjectText(GetItemField(record, 3));
    const std::string sub = DecodeProjectText(GetItemField(record, 4));
    const std::string source = DecodeProjectText(GetItemField(record, 5));
    const std::string name = kind == 0 ? wp::FileNameOf(source) : kind == 2 ? source : std::string();
    std::string target = define;
    for (const std::string* part : {&sub, &name})
        if (!part->empty()) target += "\\" + *part;
    if (HasParentElement(define) || HasParentElement(sub) || HasParentElement(name)) {
        Error(kUnsafeItemTarget, kUnsafeItemTargetTopic,
              S("インストール先にフォルダの外を指す「..」は指定できません。\r対象:") + target);
        return false;
    }
    if (StartsOnHostRoot(define) || StartsOnHostRoot(sub)) {
        Error(kUnsafeItemTarget, kUnsafeItemTargetTopic,
              S("インストール先にホストのルートを割り当てたドライブは指定できません。\r対象:") + target);
        return false;
    }
    return true;
}

void TBuilder::ConvertInstallerModule(State& s) {
    Progress(S("モジュールの変換を行っています。"));
    const auto hostProject = wp::ToHostPath(s.request.projectFile);
    const auto hostRuntime = wp::ToHostPath(s.runtime);
    const auto hostEditor = wp::ToHostPath(env_.editorFolder);
    if (!hostProject || !hostRuntime || !hostEditor ||
        ConvertModule(*env_.ui, *hostProject, *hostRuntime, *hostEditor) != ConvertModuleResult::Ok)
        Error(6, 130, S("「プロパティ」で選択されたモジュールファイルが存在しません。"));
}

void TBuilder::CopyLogo(State& s) {
    if (s.logoFile.empty() || !s.logoEnabled) return;
    if (!wp::FileExists(s.logoFile) || !CopyFileInto(s.logoFile, s.runtime, [this] { Pump(); }))
        Hint(86, false, S("指定のロゴファイルが存在しません。\r対象ファイル") + s.logoFile);
}

// The LHA self-extractor's directive file is written before packing; its place is taken now.
void TBuilder::CreateDirectivePlaceholder(State& s) {
    if (s.request.createType != kCreateLhaSfx) return;
    Progress(S("ダミーファイルを作成しています。"));
    wp::WriteWholeFile(wp::JoinPath(s.data, "$"), "");
}

void TBuilder::CheckFiles(State& s) {
    Progress(S("構成ファイルのチェックおよびファイルサイズの計算を行っています。"));
    for (std::size_t i = 0; i < s.items.size(); ++i) {
        if (CheckAbort()) break;
        env_.ui->ShowProgress(i + 1, s.items.size(), {});
        const int kind = GetItemFieldInt(s.items[i], 2, -1);
        if (kind == 0 && !CheckFileItem(s, i)) break;
        if (kind == 5 && !CheckComponentFile(s, i)) break;
        if (abort_) break;  // stopped inside a component file: counted there
    }
    env_.ui->ShowProgress(0, 0, {});
}

// A file item: its source is there and a file; its size counts. With CheckFileList, later
// items equal to it are dropped with a hint. False ends the check of the list.
bool TBuilder::CheckFileItem(State& s, std::size_t index) {
    const std::optional<std::uint64_t> size = CheckDataFile(DecodeProjectText(GetItemField(s.items[index], 5)), false);
    if (!size) return false;
    result_.totalSize += *size;
    if (!env_.options.checkFileList) return true;
    for (std::size_t j = s.items.size() - 1; j > index; --j) {
        if (GetItemFieldInt(s.items[j], 2, -1) != 0 || !SameItem(s.items[index], s.items[j])) continue;
        const std::string dup = DecodeProjectText(GetItemField(s.items[j], 5));
        Hint(138, env_.options.skipMessage,
             S("重複する設定のためスキップしました。\rフォルダ: ") + wp::FolderOf(dup) + S("\rファイル名: ") +
                 wp::FileNameOf(dup));
        s.items.erase(s.items.begin() + static_cast<std::ptrdiff_t>(j));
    }
    return true;
}

// A component definition file: a missing file ends the check of the list; of the files it
// lists every missing one is named, and the check goes on with the next item.
bool TBuilder::CheckComponentFile(State& s, std::size_t index) {
    const std::string source = DecodeProjectText(GetItemField(s.items[index], 5));
    if (!wp::FileExists(source) || wp::DirectoryExists(source)) {
        Error(7, 123, MissingText(source, true));
        return false;
    }
    const TIniDocument component = TIniDocument::OpenWindowsPath(source);
    if (component.LoadFailed()) {
        Error(kNotAFile, kNotAFileTopic, NotAFileText(source));
        return false;
    }
    for (const auto& [key, entry] : component.ReadSectionValues("DATA")) {
        if (CheckAbort()) break;
        if (!CheckItemTarget(entry) || GetItemFieldInt(entry, 2, -1) != 0) continue;
        if (const auto size = CheckDataFile(DecodeProjectText(GetItemField(entry, 5)), true)) result_.totalSize += *size;
    }
    return true;
}

// The size of a file the build copies, or its error: missing (7), or no regular file (15) -
// a device or a pipe would never end or never start.
std::optional<std::uint64_t> TBuilder::CheckDataFile(const std::string& source, bool component) {
    if (const std::optional<std::uint64_t> size = wp::GetFileSize(source)) return size;
    if (wp::FileExists(source) && !wp::DirectoryExists(source))
        Error(kNotAFile, kNotAFileTopic, NotAFileText(source));
    else
        Error(7, 123, MissingText(source, component));
    return std::nullopt;
}

void TBuilder::CheckDiskSpace(State& s) {
    Progress(S("必要な作業領域をチェックしています。"));
    if (result_.totalSize >= env_.freeSpace(s.data))
        Error(8, 69, S("作業用ドライブの空き容量が不足しています。"));
    else
        Progress(S("必要な作業領域をチェックが終了しました。"));
}

}  // namespace zeriru
