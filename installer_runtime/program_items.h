// Programs of the program list: run before or after the files are copied, after the
// installation (unconditionally or as the user chooses in the check-box group), or before an
// uninstall, with their arguments, waiting as each item says.
#pragma once

#include "conditions.h"
#include "context.h"

#include <string>
#include <vector>

namespace installer {

// Timings (field 6).
inline constexpr int kRunWhenChosen = 0;
inline constexpr int kRunAfterInstall = 1;
inline constexpr int kRunBeforeUninstall = 2;
inline constexpr int kRunBeforeCopy = 3;
inline constexpr int kRunAfterCopy = 4;

struct ProgramStep {
    std::string program;  // Windows path
    std::string folder;
    std::string arguments;  // as the item gives them; defines are expanded when it runs
    int timing = kRunWhenChosen;
    int options = 0;        // bit 0 wait for the end, bit 1 a direct start (not through the shell), bit 2 ask first
    int window = 0;         // 0 normal, 1 minimized, 2 maximized
    bool conditional = false;
    bool reverse = false;
    Condition condition;
    bool shown = true;      // its own check box in the group (when programs are chosen one by one)
    bool checked = true;    // that box's first state
    std::string text;       // the box's caption, or the question asked first
};

// The enabled list ([Installer] EnableProgramSetting) for this machine's OS.
std::vector<ProgramStep> PlanPrograms(const Context& context, Problems& problems);

// Runs the programs of one timing (kRunBeforeCopy, kRunAfterCopy, kRunAfterInstall,
// kRunBeforeUninstall). False when one could not be started or, waited for, ended with an
// exit code other than 0 (told with the code).
bool RunPrograms(const std::vector<ProgramStep>& steps, int timing, const Context& context);

// The check-box group of the last screen: asks which programs of timing 0 to run (one box
// for all, or one per program, as [ProgramSetting] says) and runs them. False as above.
bool RunChosenPrograms(const std::vector<ProgramStep>& steps, const Context& context);

}  // namespace installer
