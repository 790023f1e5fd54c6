// The editor started from a command line: "zeriru <project> /BUILD [folder]" builds the
// project without a display and ends with the build's code.
#pragma once

#include "zeriru/ui.h"

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace zeriru {

struct CommandLine {
    bool help = false;
    std::string project;       // as given (UTF-8)
    bool build = false;        // /BUILD or /SILENTBUILD, any letter case
    std::string outputFolder;  // the optional third argument (UTF-8); empty: CreateFolder
};

// Reads the arguments after the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text of "zeriru --help" (UTF-8).
std::string UsageText();

// A Ui without a display: message boxes go to `err` as text (UTF-8), questions are answered
// by `answer` (No/Cancel when it is not set), input and file dialogs are cancelled.
class ConsoleUi : public Ui {
public:
    explicit ConsoleUi(std::ostream& err) : err_(err) {}
    std::function<Answer(std::string_view text, MessageButtons buttons)> answer;

    bool ChooseOpenFile(std::string_view, std::string_view, std::string&) override { return false; }
    bool ChooseSaveFile(std::string_view, std::string_view, std::string_view, std::string&) override {
        return false;
    }
    void ShowProgress(uint64_t, uint64_t, std::string_view) override {}
    void ProcessMessages() override {}

protected:
    Answer Message(std::string_view text, MessageButtons buttons, MessageIcon icon, std::string_view caption) override;
    bool Input(std::string_view, std::string_view, std::string&, bool) override { return false; }

private:
    std::ostream& err_;
};

// Exit code when another copy of the editor runs.
inline constexpr int kExitAlreadyRunning = 255;
// Exit code for bad arguments or a project that cannot be opened or built from here.
inline constexpr int kExitUsage = 64;

struct CommandLineEnvironment {
    // Windows path of the editor's folder, ending with "\".
    std::string editorFolder;
    // Host path of ROZIVU's program; empty: <editor folder>ROZIVU.EXE through the shell.
    std::filesystem::path rozivuProgram;
};

// The whole command-line run: single instance, application window, open, build. Message-list
// lines go to `out`, message boxes to `err`. Returns the exit code.
int RunCommandLine(const CommandLine& line, const CommandLineEnvironment& environment, std::ostream& out,
                   std::ostream& err);

// Puts the shipped data (the files of the share folder, its Module and samples folders) into the
// editor's folder in the prefix, and ROZIVU.EXE as a link to the rozivu program. Returns the
// Windows path of that folder ("C:\Program Files\Zuzoruve\Raredovo\"); empty with *error.
std::string ProvisionEditorFolder(const std::filesystem::path& share, const std::filesystem::path& rozivu,
                                  std::string* error);

}  // namespace zeriru
