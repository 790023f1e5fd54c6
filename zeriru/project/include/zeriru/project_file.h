// The project file (.PJ2): text escaping of user texts, the "|"-separated item records of
// every list, the keys of the frame sections, the open project's record and the password
// scrambling. All texts are Shift-JIS byte strings.
#pragma once

#include "zeriru/ini_document.h"

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

// ---- text escaping ----

// "=" -> 0x01, "|" -> 0x02, "," -> 0x03 for single-byte characters; both bytes of a
// double-byte character are copied unchanged, even when a trail byte equals "|" or ",".
std::string EncodeProjectText(std::string_view text);
// The exact inverse of EncodeProjectText.
std::string DecodeProjectText(std::string_view text);

// ---- item records ----

// Number of fields of a record that a program has changed.
inline constexpr int kItemFieldCount = 20;

// Field n (1-based) of a "|"-separated record: the text between the (n-1)-th and the n-th
// separator, or the rest of the record after the (n-1)-th when there is no n-th; empty when
// the record has fewer separators or n < 1.
std::string GetItemField(std::string_view record, int n);
// Field n as a decimal integer; `def` when empty or not a number.
int GetItemFieldInt(std::string_view record, int n, int def);
// Field n as a boolean ("1"/"0", any other integer than 0 is true); `def` when empty or not
// a number.
bool GetItemFieldBool(std::string_view record, int n, bool def);
// The record rebuilt as exactly twenty fields, each followed by "|", with field n (1-20)
// replaced and every other field taken from `record`. A record is returned unchanged for n
// outside 1-20. A lead byte left alone at the end of a field is dropped: before the "|" that
// follows it, it would read as one character with the separator and merge two fields.
std::string SetItemField(std::string_view record, int n, std::string_view value);
std::string SetItemFieldInt(std::string_view record, int n, int value);
std::string SetItemFieldBool(std::string_view record, int n, bool value);

// ---- item lists ----

// The section that holds a list's items: `UseSection` of the settings section, else the
// list's default section name.
std::string ItemsSectionName(const TIniDocument& doc, std::string_view settingSection,
                             std::string_view defaultItems);
// The item records "0" .. count-1, count being the number of entries of the section (the way
// the setting editors read); a missing key gives an empty record.
std::vector<std::string> ReadItemsCounted(const TIniDocument& doc, std::string_view itemsSection);
// The item records from "0" upwards until the first missing key (the way the build reads).
std::vector<std::string> ReadItemsUntilGap(const TIniDocument& doc, std::string_view itemsSection);
// Erases the items section and writes all items again from "0".
void WriteItems(TIniDocument& doc, std::string_view itemsSection, const std::vector<std::string>& items);

// ---- password scrambling ----

// `passes` forward passes: every byte b becomes the upper-case hexadecimal text of b + offset
// (at least two digits), joined by ","; offset = sum of (i mod L) for i = 2..10, L the byte
// length of the pass's input. Empty stays empty.
std::string ScrambleText(std::string_view text, int passes);
// `passes` reverse passes. A text that is not a scrambled form (a part that is not a
// hexadecimal number) gives empty text.
std::string UnscrambleText(std::string_view text, int passes);

// Passes used for the protection password in [Project] ProjectData.
inline constexpr int kProjectDataPasses = 4;
// Passes used for the stored proxy credentials.
inline constexpr int kProxyCredentialPasses = 3;

// ---- sections and keys ----

namespace key {
inline constexpr std::string_view kProjectSection = "Project";
inline constexpr std::string_view kProjectName = "ProjectName";
inline constexpr std::string_view kCreateFileName = "CreateFileName";
inline constexpr std::string_view kCreateFolder = "CreateFolder";
inline constexpr std::string_view kInstallSource = "InstallSource";
inline constexpr std::string_view kInstallerModuleName = "InstallerModuleName";
inline constexpr std::string_view kInstallerModuleKey = "InstallerModuleKey";
inline constexpr std::string_view kInstallerModuleLanguage = "InstallerModuleLanguage";
inline constexpr std::string_view kMajorVersion = "MajorVersion";
inline constexpr std::string_view kMinorVersion = "MinorVersion";
inline constexpr std::string_view kCreateDateTime = "CreateDateTime";
inline constexpr std::string_view kUpdateDateTime = "UpdateDateTime";
inline constexpr std::string_view kGenerator = "Generator";
inline constexpr std::string_view kProjectType = "ProjectType";
inline constexpr std::string_view kCreateFileType = "CreateFileType";
inline constexpr std::string_view kCreateFileCompLevel = "CreateFileCompLevel";
inline constexpr std::string_view kCreateFileNameOption = "CreateFileNameOption";
inline constexpr std::string_view kCreateFolderBeforeBackup = "CreateFolderBeforeBackup";
inline constexpr std::string_view kProjectData = "ProjectData";
inline constexpr std::string_view kUseUniqueKey = "UseUniqueKey";
// Keys of older projects that the build removes from the runtime data file.
inline constexpr std::string_view kCreateFileAddVersionInfo = "CreateFileAddVersionInfo";
inline constexpr std::string_view kCreateFileLowerFileName = "CreateFileLowerFileName";
inline constexpr std::string_view kCreateFileDivide = "CreateFileDivide";
inline constexpr std::string_view kCreateFileDivideSize = "CreateFileDivideSize";

inline constexpr std::string_view kSupportInfoSection = "SupportInfo";
inline constexpr std::string_view kPublisher = "Publisher";
inline constexpr std::string_view kCorporation = "Corporation";
inline constexpr std::string_view kHelpLink = "HelpLink";
inline constexpr std::string_view kHelpTelephon = "HelpTelephon";
inline constexpr std::string_view kURLInfoAbout = "URLInfoAbout";
inline constexpr std::string_view kURLUpdateInfo = "URLUpdateInfo";

// Keys "1".."7": captions of the setting buttons of the main window.
inline constexpr std::string_view kButtonStatusSection = "ButtonStatus";
inline constexpr std::string_view kButtonApplicationInfo = "1";
inline constexpr std::string_view kButtonFiles = "2";
inline constexpr std::string_view kButtonShortCut = "3";
inline constexpr std::string_view kButtonRegistry = "4";
inline constexpr std::string_view kButtonIniFile = "5";
inline constexpr std::string_view kButtonUninstall = "6";
inline constexpr std::string_view kButtonInstallerOption = "7";

inline constexpr std::string_view kOSSettingSection = "OSSetting";
inline constexpr std::string_view kCheckOSVersion = "CheckOSVersion";
inline constexpr std::string_view kOSVersion = "OSVersion";
inline constexpr std::string_view kSPVersion = "SPVersion";

// Settings sections of the item lists, their items section key and default items sections.
inline constexpr std::string_view kUseSection = "UseSection";
}  // namespace key

// Defaults of [Project] when a key is missing.
namespace project_default {
inline constexpr std::string_view kInstallSource = "Files";
inline constexpr std::string_view kInstallerModuleName = "ZU_VAZUZA";
inline constexpr int kInstallerModuleLanguage = 1041;
inline constexpr int kMajorVersion = 4;
inline constexpr int kMinorVersion = 3;
inline constexpr int kProjectType = 0;
inline constexpr int kCreateFileType = 2;
inline constexpr int kCreateFileNameOption = 0;
// CreateFileCompLevel when missing: the property dialog shows 1, the build uses 2.
inline constexpr int kCreateFileCompLevelDialog = 1;
inline constexpr int kCreateFileCompLevelBuild = 2;
inline constexpr bool kCreateFolderBeforeBackup = true;
inline constexpr bool kUseUniqueKey = false;
}  // namespace project_default

// The value of [Project] Generator; its presence marks a project file.
inline constexpr std::string_view kGeneratorName = "DOZOZE 2.0";
// The caption of a setting button whose editor was closed with OK.
std::string ButtonConfirmedMark();

// ---- the open project ----

struct TProjectInfo {
    std::filesystem::path projectFilePath;  // empty when no project is open
    std::string projectName;                 // decoded
    std::string createFileName;              // decoded
    std::string createFolder;                // decoded
    int createFileType = project_default::kCreateFileType;
    bool readOnly = false;
    bool createFolderBeforeBackup = project_default::kCreateFolderBeforeBackup;
    int projectType = project_default::kProjectType;
    std::string installSource;               // decoded
};

// Fills the record from a loaded project; `readOnly` is the file's read-only attribute.
TProjectInfo ReadProjectInfo(const TIniDocument& doc, bool readOnly);

// The project's target operating system settings as the main window caches them.
struct TCOMMONOSData {
    bool checkOSVersion = true;
    int osVersion = 65535;
    std::string spVersion;
    // The first six ","-separated fields of spVersion as integers (0 when missing or not a
    // number).
    std::array<int, 6> spFields{};
};

TCOMMONOSData ReadCommonOsData(const TIniDocument& doc);

// True when [Project] Generator exists in the file.
bool IsProjectFile(const std::filesystem::path& path);

}  // namespace zeriru
