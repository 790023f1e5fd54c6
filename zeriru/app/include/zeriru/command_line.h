// The editor started from a command line: "zeriru <project> /BUILD [folder]" builds the
// project without a display and ends with the build's code.
#pragma once

#include "zeriru/ui.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <iosfwd>
#include <string>
#include <vector>

namespace zeriru {

struct CommandLine {
    bool help = false;
    std::string project;       // as given (UTF-8); empty after an unknown option
    bool build = false;        // /BUILD or /SILENTBUILD, any letter case
    std::string outputFolder;  // the optional third argument (UTF-8); empty: CreateFolder
    std::string passwordFile;  // --password-file: host file whose first line is the password
};

// Reads the arguments after the program name: options ("--help", "--password-file <file>")
// first, then the project, the switch and the output folder.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text of "zeriru --help" (UTF-8).
std::string UsageText();

// The documents folder a command-line run starts its file dialogs in: the prefix user's.
std::string CommandLineDocumentsFolder();

// A Ui without a display: message boxes go to `err` as text (UTF-8), questions are answered
// by `answer` (No/Cancel when it is not set), file dialogs and plain input boxes are cancelled.
// A masked input box (the project's password) takes `password` when one was given, else asks
// on the terminal without echo when standard input is one, else is cancelled.
class ConsoleUi : public Ui {
public:
    explicit ConsoleUi(std::ostream& err) : err_(err) {}
    std::function<Answer(std::string_view text, MessageButtons buttons)> answer;
    std::optional<std::string> password;  // Shift-JIS
    // Whether a password was asked for.
    bool passwordAsked() const { return passwordAsked_; }

    bool ChooseOpenFile(std::string_view, std::string_view, std::string&) override { return false; }
    bool ChooseSaveFile(std::string_view, std::string_view, std::string_view, std::string&) override {
        return false;
    }
    void ShowProgress(uint64_t, uint64_t, std::string_view) override {}
    void ProcessMessages() override {}

protected:
    Answer Message(std::string_view text, MessageButtons buttons, MessageIcon icon, std::string_view caption) override;
    bool Input(std::string_view caption, std::string_view prompt, std::string& value, bool masked) override;

private:
    std::ostream& err_;
    bool passwordAsked_ = false;
};

// Exit code when another copy of the editor runs.
inline constexpr int kExitAlreadyRunning = 255;
// Exit code for bad arguments or a project that cannot be opened or built from here.
inline constexpr int kExitUsage = 64;
// Exit code for a protected project whose password was not given or is wrong.
inline constexpr int kExitPasswordRefused = 77;
// The environment variable that may hold a protected project's password (UTF-8).
inline constexpr const char* kPasswordVariable = "ZERIRU_PASSWORD";

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
