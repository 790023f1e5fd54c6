// Model of the application information dialog TfrmAppInfoDialog ("アプリケーション情報の設定"):
// the installer's title, the application's name, copyright and main file, its version (also
// read from the main file), the initial install folder - one for every Windows version or one
// per version, each with a fallback for when the earlier version is not found - and the logo of
// the installer's screens with its preview.
#pragma once

#include "zeriru/editors/check_result.h"
#include "zeriru/editors/dialog_frame_model.h"
#include "zeriru/ini_document.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

class Ui;

// Pages of the dialog, by object name.
namespace app_info_page {
inline constexpr const char* kBasic = "tsBasic";
inline constexpr const char* kInstallFolder = "tsInstallFolder";
inline constexpr const char* kVersion = "tsVersionInfo";
inline constexpr const char* kLogo = "tsLogo";
// The sub-pages of the per-version folders.
inline constexpr const char* kFolderPerVersion = "tsFolderPerVersion";
inline constexpr const char* kFallbackPerVersion = "tsFallbackPerVersion";
}  // namespace app_info_page

// A folder record of [Software] (Folder, SearchFileDir, FolderWin95, ...): the define text, "|"
// and the parameter below it (escaped, without a trailing "\").
struct FolderRecord {
    std::string define;
    std::string parameter;
    static FolderRecord Read(std::string_view stored);
    std::string Format() const;
};

// The Windows versions of the per-version folders, in the order of their checks.
struct WindowsVersionFolder {
    std::string_view keySuffix;  // "Win95": FolderWin95, SearchFileDirWin95
    std::string_view caption;    // "Windows 95"
    std::string_view control;    // suffix of the group's control names
};
inline constexpr int kWindowsVersionCount = 9;
const std::array<WindowsVersionFolder, kWindowsVersionCount>& WindowsVersionFolders();

// One group of a define combo and the parameter below it.
class FolderGroup {
public:
    FolderGroup() = default;
    FolderGroup(std::string caption, std::string defineControl, std::string parameterControl,
                std::vector<std::string> entries, bool canShare);

    const std::string& caption() const { return caption_; }
    const std::string& defineControl() const { return defineControl_; }
    const std::string& parameterControl() const { return parameterControl_; }
    // The combo's entries; a group of one Windows version starts with "(共有のインストールフォルダを
    // 使用する)".
    const std::vector<std::string>& entries() const { return entries_; }
    static std::string SharedEntry();
    bool canShare() const { return canShare_; }

    // The combo shows the shared entry: the group's key is deleted and its "詳細" disabled.
    bool shared() const { return shared_; }
    void SetShared() { shared_ = canShare_; }
    const std::string& define() const { return define_; }
    // Typed or chosen: the text as it is.
    void SetDefine(std::string define);
    // A stored define: the entry equal to it (ignoring case) is chosen; a define the combo does
    // not hold goes in as its first entry.
    void Put(std::string_view define);
    std::string parameter;

    FolderRecord Record() const { return {define_, parameter}; }
    void Load(const FolderRecord& record);

private:
    std::string caption_, defineControl_, parameterControl_;
    std::vector<std::string> entries_;
    bool canShare_ = false;
    bool shared_ = false;
    std::string define_;
};

// Where the logo goes in the preview frame, and how it is drawn.
struct LogoPreview {
    static constexpr int kFrameWidth = 556;
    static constexpr int kFrameHeight = 78;
    bool picture = false;      // the picture is shown
    int left = 0, top = 0;     // the picture area in the frame
    int width = kFrameWidth, height = kFrameHeight;
    bool stretch = false;      // the picture fills the area
    bool center = false;       // the picture stands in the middle of the area
    bool transparent = false;  // its background colour is not drawn
    bool sampleLines = true;   // the three lines "これはサンプルです。"
};

class AppInfoDialogModel {
public:
    static std::string Caption();  // "アプリケーション情報の設定"
    static std::string FolderOptionText(int bit);
    static std::string LogoPositionText(int position);
    static std::string LogoSizeText(int size);
    static constexpr int kFolderOptionCount = 3;
    static constexpr int kLogoPositionCount = 4;  // 左, 中央, 右, 指定位置
    static constexpr int kLogoSizeCount = 2;      // サイズを指定しない, サイズを指定する
    static constexpr int kLogoSpecifiedPosition = 3;
    static constexpr int kLogoSpecifiedSize = 1;
    static constexpr int kMaxLogoCoordinate = 32767;
    // The five version numbers: major, minor, release, build, other.
    static constexpr int kVersionCount = 5;
    static int VersionMaximum(int index);

    // `mainDefines`, `subDefines`: the entries of DFNLIST_APPINFOMAINPATH and
    // DFNLIST_APPINFOSUBPATH. A project of type 1 has only its basic and version information.
    AppInfoDialogModel(bool readOnly, int projectType, std::vector<std::string> mainDefines,
                       std::vector<std::string> subDefines);
    void Fill(const TIniDocument& project);

    DialogFrameModel frame;
    bool reducedProject() const { return projectType_ == 1; }

    // ---- "基本情報" ----
    std::string title, softName, copyright;
    std::string mainFileName;
    // A line of the file select dialog: trimmed, it becomes the main file.
    void ChooseMainFile(std::string_view line);

    // ---- "インストールフォルダ" ----
    // "すべての環境で同一の初期インストール先を使用する(&E)".
    bool sameFolder = true;
    FolderGroup folder, fallback;              // same-folder mode
    FolderGroup commonFolder, commonFallback;  // per-version mode
    std::array<FolderGroup, kWindowsVersionCount> versionFolders, versionFallbacks;
    int folderOptions = 0;
    // The fallback group shows while the install folder's define is a known define that needs a
    // parameter and is not "%AbsoluteDir%".
    bool FallbackShown() const;
    // The folder the installer would start with, on this machine: `installPath` is
    // ExpandInstallPath, `environment` ExpandEnvironmentReference.
    std::string StatusLine(const std::function<std::string(std::string_view)>& installPath,
                           const std::function<std::string(std::string_view)>& environment) const;

    // ---- "バージョン情報" ----
    std::array<int, kVersionCount> versions{1, 0, 0, 0, 0};
    void SetVersion(int index, int value);  // clamped to its range
    bool VersionFromFileEnabled() const { return !mainFileName.empty(); }
    // "メインファイルから取得(&G)": major, minor, release and build from the main file's version
    // (the file item whose target equals the main file name, ignoring case); "その他" stays.
    // Returns the message to show when that fails, empty when the numbers were set.
    std::string TakeVersionFromMainFile(const std::vector<std::string>& fileItems);

    // ---- "ロゴ" ----
    bool logoEnabled = false;
    std::string logoFile;  // full path on this machine
    bool logoNoResize = false, logoNoCenter = false, logoTransparent = false, logoNoHeaderMes = false;
    int logoPosition = 0, logoTop = 0, logoLeft = 0;
    int logoSize = 0, logoWidth = 0, logoHeight = 0;
    bool LogoPlaceEnabled() const { return logoEnabled && logoPosition == kLogoSpecifiedPosition; }
    bool LogoSizeEnabled() const { return logoEnabled && logoSize == kLogoSpecifiedSize; }
    // The preview of the logo; `fileExists` whether the file is there.
    LogoPreview Preview(bool fileExists) const;

    // The checks of OK in order; the system-folder question goes through `ui`. A failure keeps the
    // dialog open: it names the page, the control, and whether the define parameter dialog opens
    // on that control's group (with no message when the user asked for it).
    CheckOutcome Ok(Ui& ui) const;
    // The keys of the dialog; a project of type 1 gets its basic and version keys only.
    void Write(TIniDocument& project) const;

    // The group whose define combo or parameter edit has that object name; nullptr for none.
    FolderGroup* GroupOfControl(std::string_view objectName);

private:
    CheckOutcome CheckFolder(Ui& ui, const FolderGroup& group, const char* page, const char* subPage) const;

    int projectType_;
};

}  // namespace zeriru
