#include "zeriru/editors/app_info_dialog_model.h"

#include "platform/sjis.h"
#include "zeriru/defines.h"
#include "zeriru/editors/item_rules.h"
#include "zeriru/editors/record_codec.h"
#include "zeriru/main_file_version.h"
#include "zeriru/project_file.h"
#include "zeriru/ui.h"

#include <algorithm>

namespace zeriru {

namespace sjis = platform::sjis;
namespace page = app_info_page;

namespace {

constexpr std::string_view kSoftware = "Software";

// The item records of [Software] LogoPosition and LogoSize: twenty "|" fields.
const RecordCodec& LogoRecordCodec() {
    static const RecordCodec codec("logo", '|', kItemFieldCount, false,
                                   {{1, "choice", FieldKind::Integer, "0"},
                                    {2, "first", FieldKind::Integer, "0"},
                                    {3, "second", FieldKind::Integer, "0"}});
    return codec;
}

// Fallback defines whose group is checked in same-folder mode: the ones that find the folder
// from their parameters.
bool FallbackIsChecked(std::string_view define) {
    static constexpr std::string_view kDefines[] = {
        "%SearchFileDir%", "%SearchFileDirEx%", "%RegistryDir%",     "%RegistryPath%",   "%RegistryDirEx%",
        "%RegistryPathEx%", "%IniFileDir%",     "%IniFilePath%",     "%IniFilePathEx%",  "%IniFileFileName%"};
    return std::any_of(std::begin(kDefines), std::end(kDefines),
                       [&](std::string_view d) { return sjis::EqualsNoCase(d, define); });
}

// System folders that should get a sub-folder of the application.
bool IsSystemFolderDefine(int id) {
    static constexpr std::string_view kDefines[] = {"%WindowsDirectory%", "%ProgramFilesDir%", "%SystemRootDir%",
                                                    "%MyDocumentsDir%"};
    return std::any_of(std::begin(kDefines), std::end(kDefines), [&](std::string_view d) { return FindDefineId(d) == id; });
}

std::string Headed(const FolderGroup& group, std::string_view message) {
    return sjis::S("項目:") + group.caption() + "\r\r" + std::string(message);
}

std::string WithoutTrailingBackslash(std::string text) {
    if (!text.empty() && text.back() == '\\' && sjis::IsCharBoundary(text, text.size() - 1)) text.pop_back();
    return text;
}

CheckOutcome Basic(std::string_view text, const char* message, const char* field) {
    CheckOutcome r = CheckRequired(text, sjis::S(message), field);
    if (r) r->page = page::kBasic;
    return r;
}

}  // namespace

// ---- FolderRecord ----

FolderRecord FolderRecord::Read(std::string_view stored) {
    return {DecodeProjectText(GetRecordField(stored, 1, '|')), DecodeProjectText(GetRecordField(stored, 2, '|'))};
}

std::string FolderRecord::Format() const { return define + "|" + EncodeProjectText(WithoutTrailingBackslash(parameter)); }

const std::array<WindowsVersionFolder, kWindowsVersionCount>& WindowsVersionFolders() {
    static const std::array<WindowsVersionFolder, kWindowsVersionCount> versions = {{
        {"Win95", "Windows 95", "Win95"},
        {"Win98", "Windows 98", "Win98"},
        {"WinMe", "Windows Me", "WinMe"},
        {"WinNT", "Windows NT4.0", "WinNT"},
        {"Win2000", "Windows 2000", "Win2000"},
        {"WinXP", "Windows XP", "WinXP"},
        {"WinVista", "Windows Vista/Windows Server 2008", "WinVista"},
        {"Win2003", "Windows 2003 Server", "Win2003"},
        {"Win7", "Windows 7", "Win7"},
    }};
    return versions;
}

// ---- FolderGroup ----

FolderGroup::FolderGroup(std::string caption, std::string defineControl, std::string parameterControl,
                         std::vector<std::string> entries, bool canShare)
    : caption_(std::move(caption)), defineControl_(std::move(defineControl)),
      parameterControl_(std::move(parameterControl)), entries_(std::move(entries)), canShare_(canShare) {
    if (canShare_) entries_.insert(entries_.begin(), SharedEntry());
}

std::string FolderGroup::SharedEntry() { return sjis::S("(共有のインストールフォルダを使用する)"); }

void FolderGroup::SetDefine(std::string define) {
    shared_ = canShare_ && define == SharedEntry();
    define_ = shared_ ? std::string() : std::move(define);
}

void FolderGroup::Put(std::string_view define) {
    const auto first = entries_.begin() + (canShare_ ? 1 : 0);
    auto found = std::find_if(first, entries_.end(), [&](const std::string& e) { return sjis::EqualsNoCase(e, define); });
    if (found == entries_.end()) found = entries_.insert(entries_.begin(), std::string(define));
    shared_ = false;
    define_ = *found;
}

void FolderGroup::Load(const FolderRecord& record) {
    Put(record.define);
    parameter = record.parameter;
}

// ---- AppInfoDialogModel ----

std::string AppInfoDialogModel::Caption() { return sjis::S("アプリケーション情報の設定"); }

std::string AppInfoDialogModel::FolderOptionText(int bit) {
    static const char* const kTexts[kFolderOptionCount] = {
        "初期フォルダ変更時選択フォルダに対して<パラメータ>で指定した値を追加する",
        "フォルダ選択時の<パラメータ>付加をルートディレクトリ選択時のみに限定する",
        "インストール先フォルダが検索できた場合は、インストール先フォルダを変更不可にする"};
    return bit >= 0 && bit < kFolderOptionCount ? sjis::S(kTexts[bit]) : std::string();
}

std::string AppInfoDialogModel::LogoPositionText(int position) {
    static const char* const kTexts[kLogoPositionCount] = {"左", "中央", "右", "指定位置"};
    return position >= 0 && position < kLogoPositionCount ? sjis::S(kTexts[position]) : std::string();
}

std::string AppInfoDialogModel::LogoSizeText(int size) {
    static const char* const kTexts[kLogoSizeCount] = {"サイズを指定しない", "サイズを指定する"};
    return size >= 0 && size < kLogoSizeCount ? sjis::S(kTexts[size]) : std::string();
}

int AppInfoDialogModel::VersionMaximum(int index) {
    // The major part keeps the comparable version number (major in four digits, the others in
    // five) within 64 bits.
    static constexpr int kMaximum[kVersionCount] = {9222, 32767, 32767, 32767, 100};
    return index >= 0 && index < kVersionCount ? kMaximum[index] : 0;
}

AppInfoDialogModel::AppInfoDialogModel(bool readOnly, int projectType, std::vector<std::string> mainDefines,
                                       std::vector<std::string> subDefines)
    : frame(readOnly), projectType_(projectType) {
    folder = FolderGroup(sjis::S("インストール先フォルダの指定"), "cmbFolderDefine", "edtFolderParameter", mainDefines, false);
    fallback = FolderGroup(sjis::S("旧バージョンが検索できなかった場合のインストール先の指定"), "cmbSearchDefine",
                           "edtSearchParameter", subDefines, false);
    commonFolder = FolderGroup(sjis::S("共通のインストール先フォルダの指定"), "cmbCommonFolderDefine",
                               "edtCommonFolderParameter", mainDefines, false);
    commonFallback = FolderGroup(sjis::S("検索できなかった場合の共通のインストール先フォルダの指定"),
                                 "cmbCommonSearchDefine", "edtCommonSearchParameter", mainDefines, false);
    for (int i = 0; i < kWindowsVersionCount; ++i) {
        const WindowsVersionFolder& v = WindowsVersionFolders()[static_cast<std::size_t>(i)];
        const std::string caption = "(" + std::string(v.caption) + ")";
        const std::string control(v.control);
        versionFolders[static_cast<std::size_t>(i)] =
            FolderGroup(sjis::S("インストール先フォルダの指定") + caption, "cmbFolderDefine" + control,
                        "edtFolderParameter" + control, mainDefines, true);
        versionFallbacks[static_cast<std::size_t>(i)] =
            FolderGroup(sjis::S("検索できなかった場合のインストール先フォルダの指定") + caption,
                        "cmbSearchDefine" + control, "edtSearchParameter" + control, mainDefines, true);
    }
}

void AppInfoDialogModel::Fill(const TIniDocument& project) {
    title = DecodeProjectText(project.ReadString(kSoftware, "InstallerTitle"));
    softName = DecodeProjectText(project.ReadString(kSoftware, "SoftName"));
    copyright = DecodeProjectText(project.ReadString(kSoftware, "Copyright"));
    mainFileName = DecodeProjectText(project.ReadString(kSoftware, "MainFileName"));
    static constexpr const char* kVersionKeys[kVersionCount] = {"MajorVersion", "MinorVersion", "ReleaseVersion",
                                                                "BuildVersion", "OtherVersion"};
    for (int i = 0; i < kVersionCount; ++i)
        SetVersion(i, project.ReadInteger(kSoftware, kVersionKeys[i], i == 0 ? 1 : 0));
    if (reducedProject()) {
        frame.ClearChanged();
        return;
    }
    sameFolder = !project.ReadBool(kSoftware, "FolderTargetChange", false);
    const FolderRecord install = FolderRecord::Read(project.ReadString(kSoftware, "Folder", "%ProgramFilesDir%"));
    const FolderRecord search = FolderRecord::Read(project.ReadString(kSoftware, "SearchFileDir", "%ProgramFilesDir%"));
    folder.Load(install);
    commonFolder.Load(install);
    fallback.Load(search);
    commonFallback.Load(search);
    for (int i = 0; i < kWindowsVersionCount; ++i) {
        const std::string suffix(WindowsVersionFolders()[static_cast<std::size_t>(i)].keySuffix);
        const std::pair<std::string, FolderGroup*> groups[] = {
            {"Folder" + suffix, &versionFolders[static_cast<std::size_t>(i)]},
            {"SearchFileDir" + suffix, &versionFallbacks[static_cast<std::size_t>(i)]}};
        for (const auto& [key, group] : groups) {
            if (project.ValueExists(kSoftware, key))
                group->Load(FolderRecord::Read(project.ReadString(kSoftware, key)));
            else
                group->SetShared();
        }
    }
    folderOptions = project.ReadInteger(kSoftware, "InstallFolderOption", 0) & 7;
    logoEnabled = project.ReadBool(kSoftware, "LogoEnabled", false);
    logoFile = DecodeProjectText(project.ReadString(kSoftware, "LogoFileName"));
    logoNoResize = project.ReadBool(kSoftware, "LogoNoResize", false);
    logoNoCenter = project.ReadBool(kSoftware, "LogoNoCenter", false);
    logoTransparent = project.ReadBool(kSoftware, "LogoTransparent", false);
    logoNoHeaderMes = project.ReadBool(kSoftware, "LogoNoHeaderMes", false);
    const RecordCodec& codec = LogoRecordCodec();
    const std::string position = project.ReadString(kSoftware, "LogoPosition");
    const std::string size = project.ReadString(kSoftware, "LogoSize");
    auto coordinate = [](int value) { return std::clamp(value, 0, kMaxLogoCoordinate); };
    logoPosition = std::clamp(codec.Int(position, 1), 0, kLogoPositionCount - 1);
    logoTop = coordinate(codec.Int(position, 2));
    logoLeft = coordinate(codec.Int(position, 3));
    logoSize = std::clamp(codec.Int(size, 1), 0, kLogoSizeCount - 1);
    logoWidth = coordinate(codec.Int(size, 2));
    logoHeight = coordinate(codec.Int(size, 3));
    frame.ClearChanged();
}

void AppInfoDialogModel::ChooseMainFile(std::string_view line) {
    mainFileName = TrimText(line);
    frame.MarkChanged();
}

bool AppInfoDialogModel::FallbackShown() const {
    const int id = FindDefineId(folder.define());
    return id != 0 && id != define_id::kAbsoluteDir && (GetDefineData(id).flags & kDefParameters) != 0;
}

std::string AppInfoDialogModel::StatusLine(const std::function<std::string(std::string_view)>& installPath,
                                           const std::function<std::string(std::string_view)>& environment) const {
    if (FindDefineId(folder.define()) == define_id::kAbsoluteDir) return environment(folder.parameter);
    const FolderGroup& shown = FallbackShown() ? fallback : folder;
    return installPath(shown.define() + "\\" + shown.parameter);
}

void AppInfoDialogModel::SetVersion(int index, int value) {
    if (index < 0 || index >= kVersionCount) return;
    versions[static_cast<std::size_t>(index)] = std::clamp(value, 0, VersionMaximum(index));
}

std::string AppInfoDialogModel::TakeVersionFromMainFile(const std::vector<std::string>& fileItems) {
    const MainFileVersion found = FindMainFileVersion(fileItems, mainFileName, NameComparison::IgnoreCase);
    if (found.result != MainFileVersionResult::Found) return MainFileVersionMessage(found.result);
    SetVersion(0, found.version.major);
    SetVersion(1, found.version.minor);
    SetVersion(2, found.version.release);
    SetVersion(3, found.version.build);
    frame.MarkChanged();
    return {};
}

LogoPreview AppInfoDialogModel::Preview(bool fileExists) const {
    LogoPreview p;
    if (!logoEnabled || !fileExists) return p;
    p.picture = true;
    if (logoSize == kLogoSpecifiedSize) {
        p.width = logoWidth;
        p.height = logoHeight;
    }
    switch (logoPosition) {
    case 1:
        p.left = LogoPreview::kFrameWidth / 2 - p.width / 2;
        break;
    case 2:
        p.left = LogoPreview::kFrameWidth - p.width;
        break;
    case kLogoSpecifiedPosition:
        p.left = logoLeft;
        p.top = logoTop;
        break;
    default:
        break;
    }
    p.center = !logoNoCenter;
    p.stretch = !logoNoResize;
    p.transparent = logoTransparent;
    p.sampleLines = !logoNoHeaderMes;
    return p;
}

CheckOutcome AppInfoDialogModel::CheckFolder(Ui& ui, const FolderGroup& group, const char* onPage,
                                             const char* subPage) const {
    auto failure = [&](std::string message, const std::string& field, bool parameterDialog) {
        CheckResult r{std::move(message), field, subPage ? subPage : onPage, parameterDialog, {}};
        return CheckOutcome(std::move(r));
    };
    const int id = FindDefineId(group.define());
    if (id == 0) return std::nullopt;
    const int flags = GetDefineData(id).flags;
    if ((flags & kDefFolder) == 0) return failure(Headed(group, MsgUnsupportedDefine()), group.defineControl(), false);
    if ((flags & kDefParameters) && group.parameter.empty())
        return failure(Headed(group, MsgParameterMissing()), group.parameterControl(), true);
    if (IsSystemFolderDefine(id) && group.parameter.empty()) {
        const std::string question =
            Headed(group, sjis::S("指定フォルダはシステムフォルダのため、サブフォルダを設定しておくことをおすすめします。設定しますか。"));
        if (ui.AskYesNo(question)) return failure({}, group.parameterControl(), true);
    }
    return std::nullopt;
}

CheckOutcome AppInfoDialogModel::Ok(Ui& ui) const {
    if (auto r = Basic(title, "インストーラタイトルが入力されていません。", "edtTitle")) return r;
    if (auto r = Basic(softName, "アプリケーション名が入力されていません。", "edtSoftName")) return r;
    if (auto r = Basic(copyright, "著作権表示を入力してください。", "edtCopyright")) return r;
    if (reducedProject()) return std::nullopt;
    if (sameFolder) {
        if (auto r = CheckFolder(ui, folder, page::kInstallFolder, nullptr)) return r;
        if (FallbackIsChecked(fallback.define())) {
            if (auto r = CheckFolder(ui, fallback, page::kInstallFolder, nullptr)) return r;
        }
    } else {
        const std::pair<const FolderGroup*, const std::array<FolderGroup, kWindowsVersionCount>*> kinds[] = {
            {&commonFolder, &versionFolders}, {&commonFallback, &versionFallbacks}};
        for (const auto& [common, perVersion] : kinds) {
            const char* sub = perVersion == &versionFolders ? page::kFolderPerVersion : page::kFallbackPerVersion;
            if (auto r = CheckFolder(ui, *common, page::kInstallFolder, sub)) return r;
            for (const FolderGroup& group : *perVersion) {
                if (group.shared()) continue;
                if (auto r = CheckFolder(ui, group, page::kInstallFolder, sub)) return r;
            }
        }
    }
    if (logoEnabled && logoFile.empty()) {
        CheckOutcome r = Fail(sjis::S("ロゴファイルが指定されていません。ロゴファイルを指定してください。"), "edtLogoFile");
        r->page = page::kLogo;
        return r;
    }
    return std::nullopt;
}

void AppInfoDialogModel::Write(TIniDocument& project) const {
    project.WriteString(kSoftware, "SoftName", EncodeProjectText(softName));
    project.WriteString(kSoftware, "InstallerTitle", EncodeProjectText(title));
    project.WriteString(kSoftware, "MainFileName", EncodeProjectText(mainFileName));
    project.WriteString(kSoftware, "Copyright", EncodeProjectText(copyright));
    static constexpr const char* kVersionKeys[kVersionCount] = {"MajorVersion", "MinorVersion", "ReleaseVersion",
                                                                "BuildVersion", "OtherVersion"};
    if (reducedProject()) {
        for (int i = 0; i < kVersionCount; ++i)
            project.WriteInteger(kSoftware, kVersionKeys[i], versions[static_cast<std::size_t>(i)]);
        return;
    }
    project.WriteBool(kSoftware, "FolderTargetChange", !sameFolder);
    if (sameFolder) {
        project.WriteString(kSoftware, "Folder", folder.Record().Format());
        project.WriteString(kSoftware, "SearchFileDir", fallback.Record().Format());
    } else {
        project.WriteString(kSoftware, "Folder", commonFolder.Record().Format());
        project.WriteString(kSoftware, "SearchFileDir", commonFallback.Record().Format());
        for (int i = 0; i < kWindowsVersionCount; ++i) {
            const std::string suffix(WindowsVersionFolders()[static_cast<std::size_t>(i)].keySuffix);
            const std::pair<std::string, const FolderGroup*> groups[] = {
                {"Folder" + suffix, &versionFolders[static_cast<std::size_t>(i)]},
                {"SearchFileDir" + suffix, &versionFallbacks[static_cast<std::size_t>(i)]}};
            for (const auto& [key, group] : groups) {
                if (group->shared())
                    project.DeleteKey(kSoftware, key);
                else
                    project.WriteString(kSoftware, key, group->Record().Format());
            }
        }
    }
    project.WriteInteger(kSoftware, "InstallFolderOption", folderOptions);
    const RecordCodec& codec = LogoRecordCodec();
    project.WriteString(kSoftware, "LogoPosition",
                        codec.Update(project.ReadString(kSoftware, "LogoPosition"),
                                     {{1, FieldInt(logoPosition)}, {2, FieldInt(logoTop)}, {3, FieldInt(logoLeft)}}));
    project.WriteString(kSoftware, "LogoSize",
                        codec.Update(project.ReadString(kSoftware, "LogoSize"),
                                     {{1, FieldInt(logoSize)}, {2, FieldInt(logoWidth)}, {3, FieldInt(logoHeight)}}));
    project.WriteString(kSoftware, "LogoFileName", EncodeProjectText(logoFile));
    project.WriteBool(kSoftware, "LogoEnabled", logoEnabled);
    project.WriteBool(kSoftware, "LogoNoResize", logoNoResize);
    project.WriteBool(kSoftware, "LogoNoCenter", logoNoCenter);
    project.WriteBool(kSoftware, "LogoTransparent", logoTransparent);
    project.WriteBool(kSoftware, "LogoNoHeaderMes", logoNoHeaderMes);
    for (int i = 0; i < kVersionCount; ++i)
        project.WriteInteger(kSoftware, kVersionKeys[i], versions[static_cast<std::size_t>(i)]);
}

FolderGroup* AppInfoDialogModel::GroupOfControl(std::string_view objectName) {
    auto matches = [&](const FolderGroup& g) { return g.defineControl() == objectName || g.parameterControl() == objectName; };
    for (FolderGroup* g : {&folder, &fallback, &commonFolder, &commonFallback}) {
        if (matches(*g)) return g;
    }
    for (auto* groups : {&versionFolders, &versionFallbacks}) {
        for (FolderGroup& g : *groups) {
            if (matches(g)) return &g;
        }
    }
    return nullptr;
}

}  // namespace zeriru
