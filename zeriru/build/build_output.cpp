// The last steps of a build: INSTALL.DAT edited by hand when the user asks for it, and for the
// archive types the archive and the self-extractor made from the work folder.
#include "build_manifest.h"
#include "build_state.h"
#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "zeriru/archive_control.h"
#include "zeriru/build_installer.h"
#include "zeriru/convert_module.h"
#include "zeriru/file_services.h"
#include "zeriru/ui.h"

namespace zeriru {

namespace wp = platform::winpath;
using platform::sjis::S;

namespace {

// Gives a file the time of SOURCE_DATE_EPOCH, when that is set.
void StampWithEpoch(const std::string& path) {
    const std::optional<std::int64_t> epoch = SourceDateEpoch();
    if (!epoch || !wp::FileExists(path)) return;
    wp::SetLastWriteTime(path, static_cast<std::uint64_t>(*epoch) * 10000000ULL + wp::kFileTimeOfUnixEpoch);
}

}  // namespace

void TBuilder::EditInstallerData(State& s) {
    if (!env_.options.editInformation ||
        !env_.ui->AskYesNo(
            S("インストール情報ファイルを編集しますか。\r編集したい場合は「はい」をファイルを編集しない場合は「いいえ」を選択してください。\rエディタを終了すると作業を再開します。\r※編集後動作がおかしい場合は最初から作成し直してください。")))
        return;
    std::string editor = env_.options.extendEditorFileName;
    if (editor.empty() || !wp::FileExists(editor)) editor = "NOTEPAD.EXE";
    RunAndWait(editor, "\"" + s.installDat + "\"", {}, false, *env_.ui);
}

// The manifest of a copy to a folder, in that folder beside INSTALL.DAT.
constexpr const char* kFolderManifestName = "INSTALL.SHA256";

// Archive types: the archive, then the self-extractor, from the work folder, which goes
// afterwards whatever happened. Every type: the manifest of what was built.
void TBuilder::FinishOutput(State& s) {
    if (s.copyMode) {
        if (!Ok()) return;
        StampWrittenFiles(s);
        WriteManifest(wp::JoinPath(s.out, kFolderManifestName), DescribeFolder(s.out, kFolderManifestName), {});
        return;
    }
    if (!Ok()) {
        if (wp::DirectoryExists(s.work)) DeleteFolderTree(s.work, *env_.machine, [this] { Pump(); });
        return;
    }
    const std::tm now = env_.clock();
    const std::string base = OutputBasePath(s.out, s.request.outputFileName, s.project, now);
    const int type = s.request.createType;
    const bool lha = type == kCreateLhaSfx || type == kCreateLha;
    const bool sfx = type == kCreateLhaSfx || type == kCreateCabSfx;
    const std::string archive = base + (lha ? ".lzh" : ".cab");
    const std::string exe = base + ".exe";
    RemoveOldOutputs(archive, exe, sfx);
    const std::string manifest = base + ".sha256";
    if (wp::FileExists(manifest)) {
        wp::SetFileAttributes(manifest, wp::kAttrNormal);
        wp::DeleteFile(manifest);
    }
    const std::string stamp = TimeStampText(now);
    if (type == kCreateLhaSfx) WriteDirectiveFile(s, stamp);
    StampWrittenFiles(s);
    // What goes into the archive, measured before the work folder goes with the packing.
    const std::optional<std::vector<ManifestEntry>> packed = DescribeFolder(s.data);
    if (!env_.archiveHost) {
        Error(10, type == kCreateLhaSfx ? -1 : 98, S("圧縮ファイルの作成に失敗しました。"));
        DeleteFolderTree(s.work, *env_.machine, [this] { Pump(); });
        return;
    }
    TArchiveControl control(*env_.archiveHost);
    control.SilentMode = !env_.options.compressProgress;
    if (type == kCreateLhaSfx) {
        control.LhaOptions.CompressType = s.compLevel <= 0   ? TLhaOptions::ctLh5
                                          : s.compLevel == 1 ? TLhaOptions::ctLh6
                                                             : TLhaOptions::ctLh7;
    } else if (type == kCreateLha) {
        control.LhaOptions.CompressType = TLhaOptions::ctLh5;
    } else {
        control.CabOptions.SetCompressLevel(s.compLevel <= 0 ? 15 : s.compLevel == 1 ? 18 : 21);
    }
    if (PackWorkFolder(s, control, archive) && sfx) MakeSelfExtractor(s, control, archive, exe, stamp);
    if (Ok()) WriteManifest(manifest, packed, sfx ? exe : archive);
}

// With SOURCE_DATE_EPOCH the files the build writes itself (INSTALL.DAT, the installer program
// copied from the module, the directive file's place) carry its time, so that the archive
// headers and the folder do not depend on when the build ran; staged copies keep their
// sources' times.
void TBuilder::StampWrittenFiles(State& s) {
    for (const std::string& path :
         {s.installDat, wp::JoinPath(s.runtime, std::string(kInstallerProgramName)), wp::JoinPath(s.data, "$")})
        StampWithEpoch(path);
}

// The manifest: every file measured, then the output's own line (none for a folder). A file
// that cannot be read leaves the build without a manifest rather than with a wrong one.
void TBuilder::WriteManifest(const std::string& path, const std::optional<std::vector<ManifestEntry>>& files,
                             const std::string& output) {
    if (!files) return;
    std::optional<ManifestEntry> outputEntry;
    if (!output.empty() && !(outputEntry = DescribeFile(output))) return;
    wp::WriteWholeFile(path, ManifestText(*files, outputEntry));
    StampWithEpoch(path);
}

void TBuilder::RemoveOldOutputs(const std::string& archive, const std::string& exe, bool sfx) {
    auto remove = [](const std::string& path) {
        if (!wp::FileExists(path)) return false;
        wp::SetFileAttributes(path, wp::kAttrNormal);
        return wp::DeleteFile(path);
    };
    if (sfx && remove(exe)) Progress(S("既存のインストーラファイルを削除しました。"));
    if (remove(archive)) Progress(S("既存の圧縮ファイルを削除しました。"));
}

// The directive file of the LHA self-extractor: unpack into %WORK%\DOZOZE\<time stamp> and run
// install.exe there.
void TBuilder::WriteDirectiveFile(State& s, const std::string& stamp) {
    const std::string d = "%WORK%\\DOZOZE\\" + stamp;
    std::string directives;
    for (const std::string& line :
         {"$Command=" + d + "\\install.exe", std::string("$WindowTitle=Preparing..."),
          std::string("$InstallTitle=Extract Directory"), "$InstallDir=" + d, "$ECommand=" + d + "\\install.exe",
          std::string("$EWindowTitle=Preparing..."), std::string("$EInstallTitle=Extract Directory"),
          "$EInstallDir=" + d, std::string("$Flag=31")})
        directives += line + "\r\n";
    wp::WriteWholeFile(wp::JoinPath(s.data, "$"), directives);
}

// Packs the work folder into the archive and deletes the work folder; false on error 10.
bool TBuilder::PackWorkFolder(State& s, TArchiveControl& control, const std::string& archive) {
    Progress(S("圧縮ファイルを作成しています。"));
    control.SetArchiveFile(archive);
    const bool packed = control.Pack(wp::AddBackslash(s.data), {"*.*"}) == TArchiveControl::kOk;
    if (!packed)
        Error(10, s.request.createType == kCreateLhaSfx ? -1 : 98, S("圧縮ファイルの作成に失敗しました。"));
    DeleteFolderTree(s.work, *env_.machine, [this] { Pump(); });
    return packed;
}

// The self-extractor made from the archive; the archive goes once the program is there. The
// CAB library's option dialog is filled by ROZIVU, started first with the build's time stamp.
void TBuilder::MakeSelfExtractor(State& s, TArchiveControl& control, const std::string& archive,
                                 const std::string& exe, const std::string& stamp) {
    const bool lha = s.request.createType == kCreateLhaSfx;
    if (!lha) env_.startProgram(env_.editorFolder + "ROZIVU.EXE", stamp);
    Progress(S("インストーラファイルに変換しています。"));
    control.MakeSfx(wp::AddBackslash(s.out));
    if (wp::FileExists(exe)) {
        wp::SetFileAttributes(archive, wp::kAttrNormal);
        wp::DeleteFile(archive);
    } else {
        Error(11, -1, S(lha ? "インストーラファイルの作成に失敗しました。" : "インストーラファイルの変換に失敗しました。"));
    }
}

}  // namespace zeriru
