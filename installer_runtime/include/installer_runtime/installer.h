// The sample installer module (shipped as Module\ZU_VAZUZA.DAT, run as INSTALL.EXE): reads
// INSTALL.DAT and its language section from its own folder and installs what the project
// says - files and folders, shortcuts, registry values, INI entries, programs to run - as one
// transaction that is undone on any failure, registers the uninstall information and writes
// the uninstaller (a copy of itself). Started with /U it uninstalls what an installation
// recorded. Texts are Shift-JIS; paths are Windows paths.
#pragma once

#include "zeriru/build_machine.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {
class Registry;
}

namespace installer {

// Name of the data file beside the module program.
inline constexpr const char* kDataFileName = "INSTALL.DAT";
// Name of the module program beside it.
inline constexpr const char* kProgramFileName = "INSTALL.EXE";
// Name of the uninstall record in the install folder unless the project names another.
inline constexpr const char* kRecordFileName = "Install.dat";

// Exit codes of the module.
inline constexpr int kExitInstalled = 0;
inline constexpr int kExitCancelled = 1;      // the user said No or declined the licence; nothing changed
inline constexpr int kExitBadData = 2;        // INSTALL.DAT or a staged file damaged, missing or unsafe; nothing changed
inline constexpr int kExitFailed = 3;         // a step failed; everything done was undone
inline constexpr int kExitRequirements = 4;   // a requirement is not met (system, memory, user, pending work,
                                              // files in use, an installed or missing application); nothing changed
inline constexpr int kExitProgramFailed = 5;  // installed, but a program run after it failed
inline constexpr int kExitIncomplete = 6;     // uninstall: something could not be removed

// Where the module tells its steps and asks its questions.
class Console {
public:
    virtual ~Console() = default;
    virtual void Line(std::string_view sjisText) = 0;
    // A Yes/No question; `fallback` when nobody can answer.
    virtual bool Ask(std::string_view sjisText, bool fallback) = 0;
    // A question answered with a text; `fallback` when nobody answers or the answer is empty.
    virtual std::string AskText(std::string_view sjisText, std::string_view fallback) {
        (void)sjisText;
        return std::string(fallback);
    }
};

// What the module knows of the system it runs on.
struct MachineFacts {
    int osBit = 8;                  // bit of the OS mask (8: Windows 7, the newest the suite knows)
    int servicePack = 1;            // of that system
    bool server = false;            // a server system (product type)
    std::uint64_t memoryMb = 0;     // physical memory, MB
    // What the user may change: 0 a limited user, 1 a power user, 2 an administrator;
    // -1: found out on this machine when a project limits its users.
    int userLevel = -1;
};
// This machine: the newest system of the table with its last service pack, a client, and the
// host's physical memory.
MachineFacts ThisMachine();

struct InstallOptions {
    bool silent = false;  // no questions: every question takes its default answer
    MachineFacts machine = ThisMachine();
    // The module program that becomes the uninstaller; empty: INSTALL.EXE beside INSTALL.DAT.
    std::string moduleProgram;
    // Called before every change with its running number; false fails that change (tests).
    std::function<bool(int change)> beforeChange;
};

struct InstallResult {
    int exitCode = kExitInstalled;
    std::vector<std::string> files;    // installed files and shortcuts, in order
    std::vector<std::string> folders;  // folders this run made, parents first
    std::string record;                // the uninstall record written; empty when none
    std::string uninstallKey;          // the key under the uninstall key; empty when none
};

// The whole installation from the data file in `runtimeFolder`.
InstallResult Install(std::string_view runtimeFolder, const InstallOptions& options, Console& console,
                      zeriru::TBuildMachine& machine, platform::registry::Registry& registry);

struct UninstallResult {
    int exitCode = kExitInstalled;
    std::vector<std::string> leftovers;  // what could not be removed
};

// Removes what the installation of the uninstall record `record` made, as its lists say.
UninstallResult Uninstall(std::string_view record, const InstallOptions& options, Console& console,
                          zeriru::TBuildMachine& machine, platform::registry::Registry& registry);

}  // namespace installer
