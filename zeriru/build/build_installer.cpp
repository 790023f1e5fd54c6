#include "zeriru/build_installer.h"

#include "platform/pathtext.h"
#include "platform/shell.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "zeriru/archive_control.h"
#include "zeriru/build_machine.h"
#include "zeriru/convert_module.h"
#include "zeriru/defines.h"
#include "zeriru/file_services.h"
#include "zeriru/file_version.h"
#include "zeriru/system_services.h"
#include "zeriru/help_topics.h"
#include "zeriru/ui.h"

#include <cstdio>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace zeriru {

namespace wp = platform::winpath;
using platform::sjis::S;

namespace {

// File items at most read from a project.
constexpr int kMaxFileItems = 32768;

std::string Decimal(int value) { return std::to_string(value); }

std::string Two(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value % 100);
    return text;
}

std::string DateText(const std::tm& t) { return std::to_string(t.tm_year + 1900) + Two(t.tm_mon + 1) + Two(t.tm_mday); }
std::string ClockText(const std::tm& t) { return Two(t.tm_hour) + Two(t.tm_min) + Two(t.tm_sec); }

// Replaces the first occurrence of `placeholder` (ASCII, starts with "%", which is never a
// trail byte) ignoring case.
void ReplaceFirst(std::string& text, std::string_view placeholder, std::string_view value) {
    const std::string upper = platform::sjis::ToUpper(text);
    const auto at = upper.find(placeholder);
    if (at == std::string::npos) return;
    text.replace(at, placeholder.size(), value);
}

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm out{};
    localtime_r(&now, &out);
    return out;
}

// The target of a file item as the installer sees it: define\subfolder\name.
std::string ItemTarget(std::string_view record) {
    const std::string define = DecodeProjectText(GetItemField(record, 3));
    const std::string sub = DecodeProjectText(GetItemField(record, 4));
    const std::string name = wp::FileNameOf(DecodeProjectText(GetItemField(record, 5)));
    if (!sub.empty()) return define + "\\" + sub + "\\" + name;
    return define + "\\" + name;
}

bool SameItem(std::string_view a, std::string_view b) {
    for (int field : {2, 3, 4, 5}) {
        if (!platform::sjis::EqualsNoCase(DecodeProjectText(GetItemField(a, field)),
                                          DecodeProjectText(GetItemField(b, field))))
            return false;
    }
    return true;
}

}  // namespace

std::string TimeStampText(const std::tm& now) { return DateText(now) + "_" + ClockText(now); }

std::string ExpandOutputName(std::string_view name, const TIniDocument& project, const std::tm& now) {
    std::string text(name);
    ReplaceFirst(text, "%VER_MAJOR%", Decimal(project.ReadInteger("Software", "MajorVersion", 1)));
    ReplaceFirst(text, "%VER_MINOR%", Decimal(project.ReadInteger("Software", "MinorVersion", 0)));
    ReplaceFirst(text, "%VER_RELEASE%", Decimal(project.ReadInteger("Software", "ReleaseVersion", 0)));
    ReplaceFirst(text, "%VER_BUILD%", Decimal(project.ReadInteger("Software", "BuildVersion", 0)));
    ReplaceFirst(text, "%VER_OTHER%", Decimal(project.ReadInteger("Software", "OtherVersion", 0)));
    ReplaceFirst(text, "%CDATETIME%", TimeStampText(now));
    ReplaceFirst(text, "%CDATE%", DateText(now));
    ReplaceFirst(text, "%CTIME%", ClockText(now));
    return text;
}

std::string OutputBasePath(std::string_view folder, std::string_view name, const TIniDocument& project,
                           const std::tm& now) {
    std::string path = wp::JoinPath(folder, ExpandOutputName(name, project, now));
    switch (project.ReadInteger("Project", "CreateFileNameOption", 0)) {
        case 1: return platform::sjis::ToLower(path);
        case 2: return platform::sjis::ToUpper(path);
        default: return path;
    }
}

std::optional<std::string> CheckCreateOptions(const CreateOptionChoice& choice, TBuildMachine& machine) {
    const int type = choice.createType;
    if (type < kCreateFolder || type > kCreateCab) return S("作成するインストールファイルの種類を選択してください。");
    if (type != kCreateFolder) {
        if (choice.outputFileName.empty()) return S("作成するインストーラファイル名が指定されていません。");
        if (IsInvalidFileName(choice.outputFileName, false)) return MsgInvalidFileName();
    }
    if (choice.outputFolder.empty()) return S("作成先のフォルダが入力されていません。");
    if (!IsFullFolderPath(choice.outputFolder)) return MsgNotFullFolderPath();
    if (IsProtectedFolder(platform::sjis::ToUpper(wp::RemoveBackslash(choice.outputFolder)), 255, machine))
        return MsgProtectedOutputFolder();
    if (type == kCreateFolder) {
        if (choice.installSource.empty()) return S("インストールソースが入力されていません。");
        if (IsInvalidFileName(choice.installSource, false)) return MsgInvalidFileName();
    }
    return std::nullopt;
}

std::string CopyToFolderQuestion(std::string_view folder) {
    return S("フォルダ\r\r") + std::string(folder) + S("\r\rにコピーしますか。\r\r") +
           S("※すでにフォルダが存在する場合すべてのサブフォルダおよびファイルは削除されます。");
}

namespace {

// The installer a build of this project leaves, or empty when its type leaves none to run.
std::string BuiltInstallerPath(const TIniDocument& project, const std::tm& now) {
    const std::string folder = DecodeProjectText(project.ReadString("Project", "CreateFolder"));
    switch (project.ReadInteger("Project", "CreateFileType", 2)) {
        case kCreateFolder: return wp::JoinPath(folder, "install.exe");
        case kCreateLhaSfx:
        case kCreateLha:
        case kCreateCabSfx:
        case kCreateCab:
            return OutputBasePath(folder, DecodeProjectText(project.ReadString("Project", "CreateFileName")), project,
                                  now) +
                   ".exe";
        default: return {};
    }
}

}  // namespace

RunInstallerState RunInstallerAvailable(const TIniDocument& project, const std::tm& now) {
    if (project.ReadInteger("Project", "ProjectType", 0) != 0) return RunInstallerState::Hidden;
    const int type = project.ReadInteger("Project", "CreateFileType", 2);
    if (type != kCreateFolder && type != kCreateLhaSfx && type != kCreateCabSfx) return RunInstallerState::Hidden;
    const std::string path = BuiltInstallerPath(project, now);
    return wp::FileExists(path) && !wp::DirectoryExists(path) ? RunInstallerState::Enabled
                                                               : RunInstallerState::Disabled;
}

bool RunInstaller(Ui& ui, const TIniDocument& project, const std::tm& now,
                  const std::function<bool(const std::string&)>& open) {
    if (!ui.AskYesNo(S("インストーラを実行しますか。"))) return false;
    const std::string path = BuiltInstallerPath(project, now);
    if (path.empty()) return false;
    if (open) return open(path);
    return OpenWithShell(path, {}, wp::FolderOf(path));
}

TBuilder::TBuilder(Environment environment) : env_(std::move(environment)) {
    if (!env_.clock) env_.clock = LocalNow;
    if (!env_.startProgram) {
        env_.startProgram = [](const std::string& program, const std::string& parameters) {
            return platform::shell::OpenWithShell(program, parameters, wp::FolderOf(program)).started;
        };
    }
}

void TBuilder::Progress(std::string text) {
    BuildMessage m;
    m.text = std::move(text);
    messages_.push_back(m);
    if (env_.onMessage) env_.onMessage(messages_.back());
    env_.ui->ProcessMessages();
}

void TBuilder::Error(int code, int topic, std::string text) {
    BuildMessage m;
    m.kind = BuildEntryKind::Error;
    m.text = std::move(text);
    m.code = code;
    m.helpTopic = topic;
    m.box = env_.options.showErrorMessage;
    ++result_.warnings;
    code_ = code;
    messages_.push_back(m);
    if (env_.onMessage) env_.onMessage(messages_.back());
    if (m.box) env_.ui->ShowMessage(m.text, MessageButtons::Ok, MessageIcon::Error);
}

void TBuilder::Hint(int topic, bool box, std::string text) {
    BuildMessage m;
    m.kind = BuildEntryKind::Hint;
    m.text = std::move(text);
    m.helpTopic = topic;
    m.box = box && env_.options.showErrorMessage;
    ++result_.hints;
    code_ = 0;
    messages_.push_back(m);
    if (env_.onMessage) env_.onMessage(messages_.back());
    if (m.box) env_.ui->ShowMessage(m.text, MessageButtons::Ok, MessageIcon::Information);
}

bool TBuilder::CheckAbort() {
    env_.ui->ProcessMessages();
    if (env_.pollAbort && env_.pollAbort()) abort_ = true;
    if (!abort_) return false;
    ++result_.warnings;
    return true;
}

BuildResult TBuilder::RunBuild(const BuildRequest& request, bool copyMode) {
    Ui& ui = *env_.ui;
    TBuildMachine& machine = *env_.machine;
    const MessagePump pump = [&ui] { ui.ProcessMessages(); };
    const EditorOptions& options = env_.options;
    result_ = BuildResult{};
    const bool compressProgress = options.compressProgress;
    const bool checkFileList = options.checkFileList;
    const bool skipMessage = options.skipMessage;
    auto ok = [this] { return result_.warnings == 0; };

    // 2. Folders.
    const std::string out = wp::RemoveBackslash(request.outputFolder);
    const std::string work = env_.editorFolder + "Temporary";
    const std::string runtime = copyMode ? out : work;
    const std::string data = copyMode ? wp::JoinPath(out, request.installSource) : work;
    if (copyMode) {
        if (wp::DirectoryExists(out)) DeleteFolderTree(out, machine, pump);
        if (!wp::CreateDirectoryTree(data))
            Error(1, 46, S("コピー先のフォルダを作成できません。\r対象フォルダ:") + data);
    } else {
        if (!wp::DirectoryExists(out) && !wp::CreateDirectoryTree(out))
            Error(1, 46, S("コピー先のフォルダを作成できません。\r対象フォルダ:") + out);
        if (wp::DirectoryExists(work)) DeleteFolderTree(work, machine, pump);
        if (!wp::CreateDirectoryTree(work))
            Error(1, 70, S("作業用フォルダを作成できません。\r対象フォルダ:") + work);
    }

    // 3. The project.
    const TIniDocument project = TIniDocument::OpenWindowsPath(request.projectFile);
    const std::string itemsSection = ItemsSectionName(project, "FilesSetting", "Files");
    const std::string softName = DecodeProjectText(project.ReadString("Software", "SoftName"));
    const std::string installerTitle = DecodeProjectText(project.ReadString("Software", "InstallerTitle"));
    const std::string logoFile = DecodeProjectText(project.ReadString("Software", "LogoFileName"));
    const std::string copyright = DecodeProjectText(project.ReadString("Software", "Copyright"));
    const bool logoEnabled = project.ReadBool("Software", "LogoEnabled", false);
    const bool panel10 = project.ReadBool("ScreenSetting", "Panel10", true);
    const bool useUniqueKey = project.ReadBool("Project", "UseUniqueKey", false);
    const int compLevel = project.ReadInteger("Project", "CreateFileCompLevel", 2);
    const bool uninstallEnabled = project.ReadBool("Installer", "EnableUnInstallSetting", true);
    const int infoFileMethod = project.ReadInteger("UninstallSetting", "InfoFileMethod", 0);
    std::vector<std::string> items;
    for (int i = 0; i < kMaxFileItems; ++i) {
        if (CheckAbort()) break;
        const std::string key = std::to_string(i);
        if (!project.ValueExists(itemsSection, key)) break;
        items.push_back(project.ReadString(itemsSection, key));
    }

    // 4. Checks.
    if (ok()) {
        Progress(S("プロジェクトファイルの内容を確認しています。"));
        if (ok() && installerTitle.empty()) Error(2, 131, S("インストーラのタイトルが設定されていません。"));
        if (ok() && softName.empty()) Error(3, 132, S("アプリケーション名が設定されていません。"));
        if (ok() && copyright.empty() && panel10) Error(4, 96, S("著作権表示が設定されていません。"));
        if (ok() && items.empty())
            Error(5, 121, S("インストールするファイルが指定されていません。\r[ファイル/フォルダの設定]で設定してください。"));
        if (ok() && uninstallEnabled) {
            if (!useUniqueKey && infoFileMethod == 1) {
                Hint(0, true,
                     S("アンインストールの設定:[アンインストール情報]の[アンインストールキーが…自動生成する]が無効の場合に、"
                       "[アンインストール情報ファイル名を自動設定]にしているとアンインストール時にフォルダが完全に削除できない場合があります。"));
            } else if (useUniqueKey && (infoFileMethod == 0 || infoFileMethod == 2)) {
                Hint(0, true,
                     S("アンインストールの設定:[アンインストール情報]の[アンインストールキーが…自動生成する]が有効の場合に、"
                       "[アンインストール情報ファイル名を上書きする]設定にしていると既存のソフトが[アプリケーションの追加と削除]からアンインストールできなくなる場合があります。"));
            }
        }
        if (ok()) Progress(S("プロジェクトファイルの内容確認が終了しました。"));
    }

    // 5. Module conversion.
    const std::string installDat = wp::JoinPath(runtime, kInstallerDataName);
    if (ok()) {
        Progress(S("モジュールの変換を行っています。"));
        const auto hostProject = wp::ToHostPath(request.projectFile);
        const auto hostRuntime = wp::ToHostPath(runtime);
        const auto hostEditor = wp::ToHostPath(env_.editorFolder);
        if (!hostProject || !hostRuntime || !hostEditor ||
            ConvertModule(ui, *hostProject, *hostRuntime, *hostEditor) != ConvertModuleResult::Ok)
            Error(6, 130, S("「プロパティ」で選択されたモジュールファイルが存在しません。"));
    }

    // 6. Logo.
    if (ok() && !logoFile.empty() && logoEnabled) {
        if (!wp::FileExists(logoFile) || !CopyFileInto(logoFile, runtime, pump))
            Hint(86, false, S("指定のロゴファイルが存在しません。\r対象ファイル") + logoFile);
    }

    // 7. The directive file's placeholder for the LHA self-extractor.
    if (ok() && request.createType == kCreateLhaSfx) {
        Progress(S("ダミーファイルを作成しています。"));
        wp::WriteWholeFile(wp::JoinPath(data, "$"), "");
    }

    // 8. Files present and their size.
    auto missing7 = [&](const std::string& source) {
        Error(7, 123, S("アプリケーションを構成する一部のファイルが欠落しています。\rフォルダ: ") + wp::FolderOf(source) +
                          "\r" + S("ファイル名: ") + wp::FileNameOf(source));
    };
    auto missing7Component = [&](const std::string& source) {
        Error(7, 123, S("アプリケーションを構成する一部のファイルが欠落しています。\rフォルダ   : ") +
                          wp::FolderOf(source) + S("\rファイル名 : ") + wp::FileNameOf(source));
    };
    if (ok()) {
        Progress(S("構成ファイルのチェックおよびファイルサイズの計算を行っています。"));
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (CheckAbort()) break;
            ui.ShowProgress(i + 1, items.size(), {});
            const int kind = GetItemFieldInt(items[i], 2, -1);
            const std::string source = DecodeProjectText(GetItemField(items[i], 5));
            if (kind == 0) {
                // One look at the file: its size, or nothing for a folder or a missing file.
                const std::optional<std::uint64_t> size = wp::GetFileSize(source);
                if (!size) {
                    missing7(source);
                    break;
                }
                result_.totalSize += *size;
                if (checkFileList) {
                    for (std::size_t j = items.size() - 1; j > i; --j) {
                        if (GetItemFieldInt(items[j], 2, -1) != 0 || !SameItem(items[i], items[j])) continue;
                        const std::string dup = DecodeProjectText(GetItemField(items[j], 5));
                        Hint(138, skipMessage,
                             S("重複する設定のためスキップしました。\rフォルダ: ") + wp::FolderOf(dup) +
                                 S("\rファイル名: ") + wp::FileNameOf(dup));
                        items.erase(items.begin() + static_cast<std::ptrdiff_t>(j));
                    }
                }
            } else if (kind == 5) {
                if (!wp::FileExists(source)) {
                    missing7Component(source);
                    break;
                }
                const TIniDocument component = TIniDocument::OpenWindowsPath(source);
                bool failed = false;
                for (const auto& [key, entry] : component.ReadSectionValues("DATA")) {
                    if (CheckAbort()) {
                        failed = true;
                        break;
                    }
                    if (GetItemFieldInt(entry, 2, -1) != 0) continue;
                    const std::string file = DecodeProjectText(GetItemField(entry, 5));
                    const std::optional<std::uint64_t> size = wp::GetFileSize(file);
                    if (!size) {
                        missing7Component(file);
                        failed = true;
                        break;
                    }
                    result_.totalSize += *size;
                }
                if (failed) break;
            }
        }
        ui.ShowProgress(0, 0, {});
    }

    // 9. Disk space.
    if (ok()) {
        Progress(S("必要な作業領域をチェックしています。"));
        if (result_.totalSize >= FreeSpaceOfDrive(data))
            Error(8, 69, S("作業用ドライブの空き容量が不足しています。"));
        else
            Progress(S("必要な作業領域をチェックが終了しました。"));
    }

    // 10-12. Staging and INSTALL.DAT.
    if (ok()) {
        TIniDocument dat = TIniDocument::OpenWindowsPath(installDat);
        bool stagingOk = true;

        // 10. Document and licence files beside the installer (copy to folder).
        auto stageScreenFile = [&](std::string_view key, const char* preparing, const char* done) {
            Progress(S(preparing));
            const std::string wanted = DecodeProjectText(dat.ReadString("Software", key));
            if (wanted.empty()) return false;
            for (const auto& item : items) {
                if (GetItemFieldInt(item, 2, -1) != 0) continue;
                if (!platform::sjis::EqualsNoCase(ItemTarget(item), wanted)) continue;
                const std::string source = DecodeProjectText(GetItemField(item, 5));
                if (!CopyFileKeepTime(source, wp::JoinPath(runtime, wp::FileNameOf(source)), 0, pump)) return false;
                Progress(S(done));
                return true;
            }
            return false;
        };
        if (copyMode && dat.ReadBool("ScreenSetting", "Panel02", false) &&
            !stageScreenFile("DocumentFile", "ドキュメントファイルを準備しています。", "ドキュメントファイルを準備完了。")) {
            Error(11, 0, S("ドキュメントファイルのコピーに失敗しました。"));
            stagingOk = false;
        }
        if (stagingOk && copyMode && dat.ReadBool("ScreenSetting", "Panel03", false) &&
            !stageScreenFile("LicenseFile", "ライセンスファイルを準備しています。", "ライセンスファイルを準備完了。")) {
            Error(11, 0, S("ライセンスファイルのコピーに失敗しました。"));
            stagingOk = false;
        }

        // 11. Every file under a unique name in its staging folder.
        auto copyError = [&](const std::string& folder, bool component) {
            if (!copyMode)
                Error(9, 97, S("作業フォルダへのファイルコピーに失敗しました。\rファイルに対するアクセス権があるかを確認して下さい。\r対象フォルダ:") + folder);
            else if (component)
                Error(9, 97, S("指定フォルダへのコピーに失敗しました。\rファイルに対するアクセス権があるかを確認してください。\r対象フォルダ:") + folder);
            else
                Error(9, 97, S("指定フォルダへのコピーに失敗しました。\rファイルに対するアクセス権があるかを確認してください。\r対象フォルダ") + folder);
        };
        // Names taken in each staging folder (folded), read from the disk once per folder:
        // asking the file layer about every candidate would list a large flat folder again
        // for each file staged into it.
        std::unordered_map<std::string, std::unordered_set<std::string>> taken;
        auto uniqueIn = [&](const std::string& folder, const std::string& name) {
            auto [names, fresh] = taken.try_emplace(FoldName(folder));
            if (fresh) {
                for (const auto& found : wp::FindFiles(wp::JoinPath(folder, "*")))
                    names->second.insert(FoldName(found.name));
            }
            std::string unique =
                UniqueName(name, [&](std::string_view n) { return names->second.count(FoldName(n)) != 0; });
            names->second.insert(FoldName(unique));
            return unique;
        };
        // Stages one kind-0 record and returns it rewritten; false on failure (listed).
        auto stageFile = [&](std::string& record, bool component) {
            const std::string define = DecodeProjectText(GetItemField(record, 3));
            const std::string sub = DecodeProjectText(GetItemField(record, 4));
            const std::string source = DecodeProjectText(GetItemField(record, 5));
            const std::string folder = copyMode ? wp::RemoveBackslash(wp::JoinPath(data, DefineFolderName(define, sub))) : data;
            if (!taken.count(FoldName(folder)) && !wp::DirectoryExists(folder) && !wp::CreateDirectoryTree(folder)) {
                Error(1, 70, S("作業用フォルダを作成できません。\r対象フォルダ:") + folder);
                return false;
            }
            Progress(S("  処理対象:") + source);
            const std::string name = wp::FileNameOf(source);
            const std::string unique = uniqueIn(folder, name);
            if (!CopyFileKeepTime(source, wp::JoinPath(folder, unique), 0, pump)) {
                copyError(folder, component);
                return false;
            }
            if (!platform::sjis::EqualsNoCase(unique, name)) {
                record = SetItemField(record, 5, EncodeProjectText(unique));
                record = SetItemField(record, 7, EncodeProjectText(name));
            } else {
                record = SetItemField(record, 5, EncodeProjectText(name));
                record = SetItemField(record, 7, "");
            }
            return true;
        };
        if (stagingOk) {
            Progress(S("構成ファイルを準備しています。"));
            for (std::size_t i = 0; i < items.size(); ++i) {
                if (CheckAbort()) break;
                ui.ShowProgress(i + 1, items.size(), {});
                const int kind = GetItemFieldInt(items[i], 2, -1);
                if (kind == 0) {
                    if (!stageFile(items[i], false)) break;
                } else if (kind == 5) {
                    const std::string source = DecodeProjectText(GetItemField(items[i], 5));
                    const TIniDocument component = TIniDocument::OpenWindowsPath(source);
                    // Numbered against the data file as it stands in memory, so two component
                    // files of one name get two sections even before the file is saved.
                    const std::string section =
                        UniqueName(wp::FileNameOf(source), [&](std::string_view n) { return dat.SectionExists(n); });
                    items[i] = SetItemField(items[i], 3, EncodeProjectText(section));
                    items[i] = SetItemField(items[i], 4, "");
                    items[i] = SetItemField(items[i], 5, "");
                    int number = 0;
                    bool failed = false;
                    for (auto [key, entry] : component.ReadSectionValues("DATA")) {
                        if (CheckAbort()) {
                            failed = true;
                            break;
                        }
                        if (GetItemFieldInt(entry, 2, -1) == 0 && !stageFile(entry, true)) {
                            failed = true;
                            break;
                        }
                        dat.WriteString(section, std::to_string(number++), entry);
                    }
                    if (failed) break;
                }
            }
            ui.ShowProgress(0, 0, {});
            if (ok()) Progress(S("構成ファイルを準備が完了しました。"));
        }

        // 12. The data file for the installer.
        if (ok()) {
            WriteItems(dat, itemsSection, items);
            Progress(S("プロジェクトを最適化・変換しています。"));
            dat.WriteString("Software", "LogoFileName", EncodeProjectText(wp::FileNameOf(logoFile)));
            dat.EraseSection("ButtonStatus");
            for (std::string_view k :
                 {"CreateDateTime", "UpdateDateTime", "CreateFolder", "CreateFileName", "CreateFileAddVersionInfo",
                  "CreateFileLowerFileName", "CreateFileNameOption", "CreateFileCompLevel", "CreateFileDivide",
                  "CreateFileDivideSize", "InstallerModuleName", "InstallerModuleLanguage", "ProjectData"})
                dat.DeleteKey("Project", k);
            if (!dat.ReadBool("ProgramSetting", "EnableGroupCheckBox", false)) {
                dat.DeleteKey("ProgramSetting", "CheckBoxCaption");
                dat.DeleteKey("ProgramSetting", "DefaultCheckBoxState");
            }
            if (!dat.ReadBool("Software", "FolderTargetChange", false)) {
                for (std::string_view k : {"FolderWin95", "FolderWin98", "FolderWinME", "FolderWinNT", "FolderWinXP",
                                           "FolderWin2000", "FolderWinVista", "FolderWin2003", "FolderWin7"})
                    dat.DeleteKey("Software", k);
            }
            if (!copyMode) dat.DeleteKey("Project", "InstallSource");
            // A data file that did not reach the disk would leave an installer that installs
            // the wrong names: that is a failed build, not a finished one.
            if (!dat.UpdateFile()) Error(9, 97, S("作業フォルダへのファイルコピーに失敗しました。\rファイルに対するアクセス権があるかを確認して下さい。\r対象フォルダ:") + runtime);
        }
    }

    // 13. The data file edited by hand.
    if (options.editInformation &&
        ui.AskYesNo(S("インストール情報ファイルを編集しますか。\r編集したい場合は「はい」をファイルを編集しない場合は「いいえ」を選択してください。\rエディタを終了すると作業を再開します。\r※編集後動作がおかしい場合は最初から作成し直してください。"))) {
        std::string editor = options.extendEditorFileName;
        if (editor.empty() || !wp::FileExists(editor)) editor = "NOTEPAD.EXE";
        RunAndWait(editor, "\"" + installDat + "\"", {}, false, ui);
    }

    // 14. Archives.
    if (ok() && !copyMode) {
        const std::tm now = env_.clock();
        const std::string base = OutputBasePath(out, request.outputFileName, project, now);
        const bool lha = request.createType == kCreateLhaSfx || request.createType == kCreateLha;
        const bool sfx = request.createType == kCreateLhaSfx || request.createType == kCreateCabSfx;
        const std::string archive = base + (lha ? ".lzh" : ".cab");
        const std::string exe = base + ".exe";
        auto remove = [](const std::string& path) {
            if (!wp::FileExists(path)) return false;
            wp::SetFileAttributes(path, 0x80);
            return wp::DeleteFile(path);
        };
        if (sfx && remove(exe)) Progress(S("既存のインストーラファイルを削除しました。"));
        if (remove(archive)) Progress(S("既存の圧縮ファイルを削除しました。"));
        const std::string stamp = TimeStampText(now);
        if (request.createType == kCreateLhaSfx) {
            const std::string d = "%WORK%\\DOZOZE\\" + stamp;
            std::string directives;
            for (const std::string& line :
                 {"$Command=" + d + "\\install.exe", std::string("$WindowTitle=Preparing..."),
                  std::string("$InstallTitle=Extract Directory"), "$InstallDir=" + d, "$ECommand=" + d + "\\install.exe",
                  std::string("$EWindowTitle=Preparing..."), std::string("$EInstallTitle=Extract Directory"),
                  "$EInstallDir=" + d, std::string("$Flag=31")})
                directives += line + "\r\n";
            wp::WriteWholeFile(wp::JoinPath(data, "$"), directives);
        }
        if (!env_.archiveHost) {
            Error(10, request.createType == kCreateLhaSfx ? -1 : 98, S("圧縮ファイルの作成に失敗しました。"));
        } else {
            TArchiveControl control(*env_.archiveHost);
            control.SilentMode = !compressProgress;
            if (request.createType == kCreateLhaSfx) {
                control.LhaOptions.CompressType = compLevel <= 0   ? TLhaOptions::ctLh5
                                                  : compLevel == 1 ? TLhaOptions::ctLh6
                                                                   : TLhaOptions::ctLh7;
            } else if (request.createType == kCreateLha) {
                control.LhaOptions.CompressType = TLhaOptions::ctLh5;
            } else {
                control.CabOptions.SetCompressLevel(compLevel <= 0 ? 15 : compLevel == 1 ? 18 : 21);
            }
            Progress(S("圧縮ファイルを作成しています。"));
            control.SetArchiveFile(archive);
            if (control.Pack(wp::AddBackslash(data), {"*.*"}) != TArchiveControl::kOk)
                Error(10, request.createType == kCreateLhaSfx ? -1 : 98, S("圧縮ファイルの作成に失敗しました。"));
            DeleteFolderTree(work, machine, pump);
            if (ok() && sfx) {
                if (request.createType == kCreateCabSfx)
                    env_.startProgram(env_.editorFolder + "ROZIVU.EXE", stamp);
                Progress(S("インストーラファイルに変換しています。"));
                control.MakeSfx(wp::AddBackslash(out));
                if (wp::FileExists(exe)) {
                    remove(archive);
                } else if (request.createType == kCreateLhaSfx) {
                    Error(11, -1, S("インストーラファイルの作成に失敗しました。"));
                } else {
                    Error(11, -1, S("インストーラファイルの変換に失敗しました。"));
                }
            }
        }
    } else if (!copyMode && wp::DirectoryExists(work)) {
        // A failed archive build leaves no work folder behind either.
        DeleteFolderTree(work, machine, pump);
    }
    return result_;
}

bool TBuilder::UpdateVersionFromMainFile(const std::string& projectFile) {
    Progress(S("メインファイルのバージョンを取得しています。"));
    TIniDocument project = TIniDocument::OpenWindowsPath(projectFile);
    const std::string mainFile = DecodeProjectText(project.ReadString("Software", "MainFileName"));
    const std::string section = ItemsSectionName(project, "FilesSetting", "Files");
    std::string source;
    bool found = false;
    for (int i = 0; i < kMaxFileItems && !mainFile.empty(); ++i) {
        const std::string key = std::to_string(i);
        if (!project.ValueExists(section, key)) break;
        const std::string record = project.ReadString(section, key);
        if (GetItemFieldInt(record, 2, -1) != 0 || ItemTarget(record) != mainFile) continue;
        source = DecodeProjectText(GetItemField(record, 5));
        found = true;
        break;
    }
    if (!found) {
        Progress(S("メインファイル名が指定されていません。"));
        return false;
    }
    if (!wp::FileExists(source) || wp::DirectoryExists(source)) {
        Progress(S("ファイルが存在しません。"));
        return false;
    }
    TFileVersion version;
    if (!GetFileVersion(source, version)) {
        Progress(S("バージョン情報を取得できませんでした。"));
        return false;
    }
    project.WriteInteger("Software", "MajorVersion", version.major);
    project.WriteInteger("Software", "MinorVersion", version.minor);
    project.WriteInteger("Software", "ReleaseVersion", version.release);
    project.WriteInteger("Software", "BuildVersion", version.build);
    return project.UpdateFile();
}

bool TBuilder::BuildInstaller(const BuildRequest& given) {
    messages_.clear();
    abort_ = false;
    code_ = 0;
    Ui& ui = *env_.ui;
    BuildRequest request = given;
    if (request.createType == kCreateAsk) {
        CreateOptionChoice initial;
        initial.outputFolder = request.outputFolder;
        initial.outputFileName = request.outputFileName;
        initial.installSource = request.installSource;
        initial.createType = kCreateAsk;
        const std::optional<CreateOptionChoice> choice =
            env_.chooseCreateOption ? env_.chooseCreateOption(initial) : std::nullopt;
        if (!choice) return false;
        if (choice->createType != kCreateFolder && env_.showHint) env_.showHint(0);
        request.outputFolder = wp::RemoveBackslash(choice->outputFolder);
        request.outputFileName = choice->outputFileName;
        request.installSource = choice->installSource;
        request.createType = choice->createType;
        if (choice->useNextTime) {
            TIniDocument project = TIniDocument::OpenWindowsPath(request.projectFile);
            project.WriteString("Project", "InstallSource", EncodeProjectText(request.installSource));
            project.WriteString("Project", "CreateFolder", EncodeProjectText(request.outputFolder));
            project.WriteString("Project", "CreateFileName", EncodeProjectText(request.outputFileName));
            project.WriteInteger("Project", "CreateFileType", request.createType);
            project.UpdateFile();
        }
    }
    if (env_.options.autoUpdateVersion &&
        (wp::GetFileAttributes(request.projectFile) & wp::kAttrReadOnly) == 0)
        UpdateVersionFromMainFile(request.projectFile);
    const bool copyMode = request.createType == kCreateFolder;
    if (copyMode) {
        if (ui.AskYesNoHelp(CopyToFolderQuestion(request.outputFolder), help_topic::kCopyToFolder) != Answer::Yes)
            return false;
        const std::string out = wp::RemoveBackslash(request.outputFolder);
        if (request.backup && wp::DirectoryExists(out)) {
            Progress(S("既存のフォルダのバックアップを行っています。"));
            const std::string backup = wp::JoinPath(wp::JoinPath(wp::FolderOf(request.projectFile), request.projectName),
                                                    TimeStampText(env_.clock()));
            CopyFolderTree(out, backup, [&ui] { ui.ProcessMessages(); });
        }
    }
    RunBuild(request, copyMode);
    const auto complete = [&](const char* text) {
        Progress(S(text));
        if (env_.options.completeMessage) ui.Inform(S(text));
    };
    if (result_.warnings == 0) {
        complete("処理は正常に終了しました。");
        if (env_.options.executeInstaller)
            RunInstaller(ui, TIniDocument::OpenWindowsPath(request.projectFile), env_.clock());
        if (env_.options.openFolder) OpenWithShell(request.outputFolder, {}, {});
    } else if (abort_) {
        complete("指示により中止しました。");
    } else {
        complete("インストーラの作成に失敗しました。");
    }
    Progress(S("総警告数  : ") + std::to_string(result_.warnings));
    Progress(S("総ヒント数: ") + std::to_string(result_.hints));
    abort_ = false;
    return true;
}

}  // namespace zeriru
