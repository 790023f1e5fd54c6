// The sample installer module (shipped as Module\ZU_VAZUZA.DAT, run as INSTALL.EXE): reads
// INSTALL.DAT and its language section from its own folder, copies the staged files and
// creates the folders the file list names in the define folders of the machine, records what
// it installed for a later uninstall and tells each step as a line of text. Texts are
// Shift-JIS; paths are Windows paths.
#pragma once

#include "zeriru/build_machine.h"
#include "zeriru/ini_document.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace installer {

// Name of the data file beside the module program.
inline constexpr const char* kDataFileName = "INSTALL.DAT";
// Name of the uninstall record in the install folder unless the project names another.
inline constexpr const char* kRecordFileName = "Install.dat";

// Exit codes of the module.
inline constexpr int kExitInstalled = 0;
inline constexpr int kExitCancelled = 1;    // the user said No
inline constexpr int kExitBadData = 2;      // INSTALL.DAT or a staged file missing, a target unknown
inline constexpr int kExitFailed = 3;       // a folder or file could not be made; stopped there

// Text ids of the language section used by the module.
namespace text_id {
inline constexpr int kTitle = 0;            // "%s セットアップ", when the project has no title
inline constexpr int kYes = 5;
inline constexpr int kNo = 6;
inline constexpr int kWelcome = 100;
inline constexpr int kReady = 451;
inline constexpr int kDestination = 453;
inline constexpr int kInstalling = 501;
inline constexpr int kCopying = 502;
inline constexpr int kCreatingFolder = 503;
inline constexpr int kWritingRecord = 508;
inline constexpr int kFinished = 601;
inline constexpr int kStopped = 701;
inline constexpr int kCannotCopy = 702;
inline constexpr int kCannotCreateFolder = 704;
inline constexpr int kCannotReadData = 707;
inline constexpr int kOverwrite = 709;
inline constexpr int kFilesDamaged = 715;
inline constexpr int kOverwriteReadOnly = 716;
inline constexpr int kRecordPath = 1200;
}  // namespace text_id

// The texts of the language section [ResourceString_<LocalID>] of the data file.
class LanguageTexts {
public:
    LanguageTexts() = default;
    // The section named by [Control_Info] LocalID (default 1041); the module key's own
    // section when only that one exists.
    explicit LanguageTexts(const zeriru::TIniDocument& data);
    // Text `id` with each "%s" replaced by the next argument and "#13" by a line feed. A text
    // the section lacks gives the arguments joined by blanks, so no step goes untold.
    std::string Text(int id, std::initializer_list<std::string_view> args = {}) const;
    // A button caption without its "&" accelerator mark.
    std::string Caption(int id) const;

private:
    zeriru::TIniDocument section_;
};

enum class StepKind { Folder, File };

// One thing to install.
struct InstallStep {
    StepKind kind = StepKind::File;
    std::string source;            // the staged file (File)
    std::string target;            // the folder to create, or the file to write
    int options = 0;               // file option bits of the item
    std::uint32_t attributes = 0;  // item attribute bits: 1 archive, 2 read-only, 4 hidden, 8 system
};

// File option bits the module honours.
inline constexpr int kOptionAskOverwrite = 1;
inline constexpr int kOptionSkipExisting = 8;
inline constexpr int kOptionDoNotCopy = 32;

struct InstallPlan {
    std::string title;          // [Software] InstallerTitle
    std::string softName;       // [Software] SoftName
    std::string installFolder;  // %InstallDir% on this machine
    std::vector<InstallStep> steps;
    // Why the plan cannot be installed: staged files that are missing, target folders that do
    // not expand on this machine (one line each).
    std::vector<std::string> problems;
};

// The steps of the file list of the data file in `runtimeFolder`: every enabled kind-0 item
// (the staged file under field 5, installed under field 7's name when set, else field 5's)
// and kind-1 item, and the items of the component sections whose component is enabled and
// selected by default. Staged files lie in <runtime>\<InstallSource>\<define folder name>
// when [Project] InstallSource is present (a folder build), else flat beside the data file.
InstallPlan MakeInstallPlan(const zeriru::TIniDocument& data, std::string_view runtimeFolder,
                            zeriru::TBuildMachine& machine);

// Where the module tells its steps and asks its questions.
class Console {
public:
    virtual ~Console() = default;
    virtual void Line(std::string_view sjisText) = 0;
    // A Yes/No question; `fallback` when nobody can answer.
    virtual bool Ask(std::string_view sjisText, bool fallback) = 0;
};

struct InstallResult {
    int exitCode = kExitInstalled;
    std::vector<std::string> files;    // installed, in order
    std::vector<std::string> folders;  // created by this run, in order
    std::string record;                // the uninstall record written; empty when none
};

// The whole installation from the data file in `runtimeFolder`. `silent`: no questions
// (every question takes its default answer: install, overwrite).
InstallResult Install(std::string_view runtimeFolder, bool silent, Console& console, zeriru::TBuildMachine& machine);

}  // namespace installer
