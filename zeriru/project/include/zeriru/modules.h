// Installer modules and their language data: the module list MODULE.DAT beside the editor,
// each module's language file Module\<module>.LNG, the language texts a project may keep for
// itself, and the merge of one language into the runtime data file INSTALL.DAT.
#pragma once

#include "zeriru/ini_document.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

class Ui;

struct TLanguageData {
    std::string languageName;  // LanguageName
    int languageCode = 1041;   // LanguageCode
};

struct TModuleData {
    std::string moduleName;   // section name in MODULE.DAT, base name of Module\<name>.DAT/.LNG
    std::string moduleKey;    // value of the entry with the empty name
    std::string displayName;  // ModuleName
    std::vector<TLanguageData> languages;  // in the order of the .LNG file's sections
};

using ModuleTable = std::vector<TModuleData>;

// Size limits of the module table; further sections are ignored.
inline constexpr std::size_t kMaxModules = 11;
inline constexpr std::size_t kMaxLanguages = 51;
// Language entries the property dialog lists: for a module chosen in the dialog, and when the
// dialog opens on the project's own module.
inline constexpr std::size_t kMaxLanguagesChosenModule = 11;
inline constexpr std::size_t kMaxLanguagesProjectModule = 21;

// Texts of a language: keys "0".."1200"; the ones below 100 are the installer's own and are not
// offered for editing.
inline constexpr int kFirstLanguageText = 0;
inline constexpr int kFirstEditableLanguageText = 100;
inline constexpr int kLastLanguageText = 1200;

namespace lng {
inline constexpr std::string_view kSectionPrefix = "ResourceString_";
inline constexpr std::string_view kLanguageName = "LanguageName";
inline constexpr std::string_view kLanguageCode = "LanguageCode";
inline constexpr std::string_view kCharset = "Charset";
inline constexpr std::string_view kFontSize = "FontSize";
inline constexpr std::string_view kFontName = "FontName";
inline constexpr std::string_view kFontNameF = "FontNameF";
inline constexpr int kDefaultLanguageCode = 1041;
inline constexpr int kDefaultCharset = 128;
inline constexpr int kDefaultFontSize = -12;
// MODULE.DAT: the display name of a module.
inline constexpr std::string_view kModuleName = "ModuleName";
}  // namespace lng

// Default texts (Shift-JIS) of a module's display name, a language's name and its fonts.
std::string DefaultModuleDisplayName();
std::string DefaultLanguageName();
std::string DefaultFontName();

// File names beside the editor.
inline constexpr std::string_view kModuleListFileName = "MODULE.DAT";
inline constexpr std::string_view kModuleFolderName = "Module";

// Host path of a name below `folder`, matching its elements without regard to the case of
// single-byte letters (file names on Windows ignore case). A name that matches nothing is used
// as given. `name` is Shift-JIS; host names are UTF-8.
std::filesystem::path ResolveNoCase(const std::filesystem::path& folder, std::string_view name);
// True for a name that can only name a file of the module folder: not empty, not "." or "..",
// no path separators, drive colons or other characters file names cannot hold.
bool IsPlainModuleName(std::string_view moduleName);
// Module\<module name><extension> below the editor folder.
std::filesystem::path ModuleFilePath(const std::filesystem::path& editorFolder, std::string_view moduleName,
                                     std::string_view extension);

// Reads MODULE.DAT and each module's .LNG file from the editor folder (host path). A missing
// MODULE.DAT gives an empty table, a missing .LNG file a module without languages.
ModuleTable LoadModules(const std::filesystem::path& editorFolder);

// The module of that name (ignoring case), or nullptr.
const TModuleData* FindModule(const ModuleTable& modules, std::string_view moduleName);

// Languages a property dialog lists for a module: at most 11 for a module chosen in the dialog,
// at most 21 when the dialog opens on the project's own module.
std::vector<TLanguageData> LanguageChoices(const TModuleData& module, bool projectModule);

// "ResourceString_" + code: the language's section in a .LNG file and in INSTALL.DAT.
std::string LanguageSectionName(int languageCode);
// The section in which a project keeps its own copy of a language's texts: module key +
// "ResourceString_" + code. Every reader and writer of a project's language texts uses this
// one name, so that each module key keeps its own texts in a project that changes module and
// the installer's plain section in INSTALL.DAT is only ever produced by MergeLanguage.
std::string ProjectLanguageSectionName(std::string_view moduleKey, int languageCode);

// Puts the language `languageCode` of the module's language file `lng` into the runtime data
// file `installDat` (a copy of the project) under "ResourceString_" + code. When the project
// keeps its own texts for the language, the user is asked whether to use them
// (ProjectLanguageQuestion); Yes keeps them and fills in only what they lack, No replaces them
// by the language file's texts.
std::string ProjectLanguageQuestion();
void MergeLanguage(TIniDocument& installDat, const TIniDocument& lng, std::string_view moduleKey,
                   int languageCode, Ui& ui);

}  // namespace zeriru
