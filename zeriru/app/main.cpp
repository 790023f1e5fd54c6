// zeriru: the installer editor. "zeriru [project]" opens the main window; "zeriru <project>
// /BUILD [folder]" builds without a display (no window system is touched on that path).
#include "platform/shell.h"
#include "zeriru/command_line.h"
#include "zeriru/gui/main_form.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const zeriru::CommandLine line = zeriru::ParseCommandLine(args);
    if (line.help) {
        std::cout << zeriru::UsageText();
        return 0;
    }
    std::string error;
    if (!platform::shell::ProvisionPrefix(&error)) {
        std::cerr << error << '\n';
        return zeriru::kExitUsage;
    }
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path rozivu = ec ? std::filesystem::path() : self.parent_path() / "rozivu";
    zeriru::CommandLineEnvironment environment;
    environment.editorFolder = zeriru::ProvisionEditorFolder(platform::shell::SuiteShareFolder(), rozivu, &error);
    if (environment.editorFolder.empty()) {
        std::cerr << error << '\n';
        return zeriru::kExitUsage;
    }
    if (std::filesystem::exists(rozivu)) environment.rozivuProgram = rozivu;
    if (line.build) return zeriru::RunCommandLine(line, environment, std::cout, std::cerr);
    return zeriru::gui::RunWindowProgram(argc, argv, args, {environment.editorFolder, environment.rozivuProgram, {}});
}
