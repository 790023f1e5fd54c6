// The installer's data file and the files beside it: the document and licence files, every file
// to install under its unique name, and INSTALL.DAT rewritten for the installer.
#include "build_state.h"
#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "zeriru/build_installer.h"
#include "zeriru/defines.h"
#include "zeriru/file_services.h"
#include "zeriru/system_services.h"
#include "zeriru/ui.h"

namespace zeriru {

namespace wp = platform::winpath;
using platform::sjis::S;

// Staging runs as one block after clean checks; an error in it ends only its own loop. The data
// file is written on every path that made one, so that no INSTALL.DAT a build leaves holds the
// editor's keys (the scrambled password among them) or an item that was not staged.
void TBuilder::PrepareInstallerData(State& s) {
    if (!wp::FileExists(s.installDat)) return;
    s.dat = TIniDocument::OpenWindowsPath(s.installDat);
    if (s.dat.LoadFailed()) {
        wp::DeleteFile(s.installDat);  // what it holds cannot be cleaned: it goes
        return;
    }
    const bool staging = Ok();
    if (staging) {
        if (s.copyMode) StageScreenFiles(s);
        StageFiles(s);
    }
    WriteInstallerData(s, staging);
}

void TBuilder::StageScreenFiles(State& s) {
    if (s.dat.ReadBool("ScreenSetting", "Panel02", false) &&
        !StageScreenFile(s, "DocumentFile", "ドキュメントファイルを準備しています。", "ドキュメントファイルを準備完了。"))
        Error(11, 0, S("ドキュメントファイルのコピーに失敗しました。"));
    if (s.dat.ReadBool("ScreenSetting", "Panel03", false) &&
        !StageScreenFile(s, "LicenseFile", "ライセンスファイルを準備しています。", "ライセンスファイルを準備完了。"))
        Error(11, 0, S("ライセンスファイルのコピーに失敗しました。"));
}

// The file item whose target is the setting's value, copied beside INSTALL.DAT.
bool TBuilder::StageScreenFile(State& s, std::string_view key, const char* preparing, const char* done) {
    Progress(S(preparing));
    const std::string wanted = DecodeProjectText(s.dat.ReadString("Software", key));
    if (wanted.empty()) return false;
    for (const std::string& item : s.items) {
        if (GetItemFieldInt(item, 2, -1) != 0 || !platform::sjis::EqualsNoCase(ItemTarget(item), wanted)) continue;
        const std::string source = DecodeProjectText(GetItemField(item, 5));
        if (!CopyFileKeepTime(source, wp::JoinPath(s.runtime, wp::FileNameOf(source)), 0, [this] { Pump(); }))
            return false;
        Progress(S(done));
        return true;
    }
    return false;
}

// Every item in list order; the records staging rewrote (and those of kinds it leaves as they
// are) are kept for INSTALL.DAT. A file that cannot be staged ends the loop.
void TBuilder::StageFiles(State& s) {
    const int warnings = result_.warnings;
    Progress(S("構成ファイルを準備しています。"));
    for (std::size_t i = 0; i < s.items.size(); ++i) {
        if (CheckAbort()) break;
        env_.ui->ShowProgress(i + 1, s.items.size(), {});
        std::string record = s.items[i];
        const int kind = GetItemFieldInt(record, 2, -1);
        if (kind == 0 && !StageFile(s, record, false)) break;
        if (kind == 5) StageComponentFile(s, record);
        s.staged.push_back(std::move(record));
        if (abort_) break;  // stopped inside a component file: counted there
    }
    env_.ui->ShowProgress(0, 0, {});
    if (result_.warnings == warnings) Progress(S("構成ファイルを準備が完了しました。"));
}

// A component file's items go to a section of their own in INSTALL.DAT, named after the file;
// a file that cannot be staged ends this inner loop only.
void TBuilder::StageComponentFile(State& s, std::string& record) {
    const std::string source = DecodeProjectText(GetItemField(record, 5));
    const TIniDocument component = TIniDocument::OpenWindowsPath(source);
    // Numbered against the data file as it stands in memory, so two component files of one
    // name get two sections even before the file is saved.
    const std::string section =
        UniqueName(wp::FileNameOf(source), [&](std::string_view n) { return s.dat.SectionExists(n); });
    record = SetItemField(record, 3, EncodeProjectText(section));
    record = SetItemField(record, 4, "");
    record = SetItemField(record, 5, "");
    int number = 0;
    for (auto [key, entry] : component.ReadSectionValues("DATA")) {
        if (CheckAbort()) break;
        if (GetItemFieldInt(entry, 2, -1) == 0 && !StageFile(s, entry, true)) break;
        s.dat.WriteString(section, std::to_string(number++), entry);
    }
}

// Copies one kind-0 record's source into its staging folder under a unique name and rewrites
// the record for the installer; false on failure (listed).
bool TBuilder::StageFile(State& s, std::string& record, bool component) {
    const std::string define = DecodeProjectText(GetItemField(record, 3));
    const std::string sub = DecodeProjectText(GetItemField(record, 4));
    const std::string source = DecodeProjectText(GetItemField(record, 5));
    const std::string folder =
        s.copyMode ? wp::RemoveBackslash(wp::JoinPath(s.data, DefineFolderName(define, sub))) : s.data;
    if (!s.taken.count(FoldName(folder)) && !wp::DirectoryExists(folder) && !wp::CreateDirectoryTree(folder)) {
        Error(1, 70, S("作業用フォルダを作成できません。\r対象フォルダ:") + folder);
        return false;
    }
    Progress(S("  処理対象:") + source);
    const std::string name = wp::FileNameOf(source);
    const std::string unique = UniqueNameIn(s, folder, name);
    if (!CopyFileKeepTime(source, wp::JoinPath(folder, unique), 0, [this] { Pump(); })) {
        if (!s.copyMode)
            Error(9, 97, S("作業フォルダへのファイルコピーに失敗しました。\rファイルに対するアクセス権があるかを確認して下さい。\r対象フォルダ:") + folder);
        else if (component)
            Error(9, 97, S("指定フォルダへのコピーに失敗しました。\rファイルに対するアクセス権があるかを確認してください。\r対象フォルダ:") + folder);
        else
            Error(9, 97, S("指定フォルダへのコピーに失敗しました。\rファイルに対するアクセス権があるかを確認してください。\r対象フォルダ") + folder);
        return false;
    }
    const bool renamed = !platform::sjis::EqualsNoCase(unique, name);
    record = SetItemField(record, 5, EncodeProjectText(renamed ? unique : name));
    record = SetItemField(record, 7, renamed ? EncodeProjectText(name) : std::string());
    return true;
}

// Names taken in each staging folder are read from the disk once per folder: asking the file
// layer about every candidate would list a large flat folder again for each file staged.
std::string TBuilder::UniqueNameIn(State& s, const std::string& folder, const std::string& name) {
    auto [names, fresh] = s.taken.try_emplace(FoldName(folder));
    if (fresh) {
        for (const auto& found : wp::FindFiles(wp::JoinPath(folder, "*"))) names->second.insert(FoldName(found.name));
    }
    std::string unique = UniqueName(name, [&](std::string_view n) { return names->second.count(FoldName(n)) != 0; });
    names->second.insert(FoldName(unique));
    return unique;
}

// INSTALL.DAT as the installer reads it: the staged items only, without the editor's keys.
// `staged` says the staging block ran; otherwise the file is only cleaned.
void TBuilder::WriteInstallerData(State& s, bool staged) {
    TIniDocument& dat = s.dat;
    WriteItems(dat, s.itemsSection, s.staged);
    if (staged) Progress(S("プロジェクトを最適化・変換しています。"));
    dat.WriteString("Software", "LogoFileName", EncodeProjectText(wp::FileNameOf(s.logoFile)));
    dat.EraseSection("ButtonStatus");
    for (std::string_view k :
         {"CreateDateTime", "UpdateDateTime", "CreateFolder", "CreateFileName", "CreateFileAddVersionInfo",
          "CreateFileLowerFileName", "CreateFileNameOption", "CreateFileCompLevel", "CreateFileDivide",
          "CreateFileDivideSize", "InstallerModuleName", "InstallerModuleLanguage", "ProjectData"})
        dat.DeleteKey("Project", k);
    // A missing switch reads as on, as the program-execution settings show it.
    if (!dat.ReadBool("ProgramSetting", "EnableGroupCheckBox", true)) {
        dat.DeleteKey("ProgramSetting", "CheckBoxCaption");
        dat.DeleteKey("ProgramSetting", "DefaultCheckBoxState");
    }
    if (!dat.ReadBool("Software", "FolderTargetChange", false)) {
        for (std::string_view k : {"FolderWin95", "FolderWin98", "FolderWinME", "FolderWinNT", "FolderWinXP",
                                   "FolderWin2000", "FolderWinVista", "FolderWin2003", "FolderWin7"})
            dat.DeleteKey("Software", k);
    }
    if (!s.copyMode) dat.DeleteKey("Project", "InstallSource");
    if (dat.UpdateFile()) return;
    // A data file that did not reach the disk would leave an installer that installs the wrong
    // names: that is a failed build, not a finished one. Its old content must not stay either.
    wp::DeleteFile(s.installDat);
    if (staged)
        Error(9, 97, S("作業フォルダへのファイルコピーに失敗しました。\rファイルに対するアクセス権があるかを確認して下さい。\r対象フォルダ:") + s.runtime);
}

}  // namespace zeriru
