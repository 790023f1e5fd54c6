// zeriru: the installer editor's command-line front end.
#include "platform/shell.h"
#include "zeriru/command_line.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const zeriru::CommandLine line = zeriru::ParseCommandLine(args);
    if (line.help || line.project.empty()) {
        std::cout << zeriru::UsageText();
        return line.help ? 0 : zeriru::kExitUsage;
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
    return zeriru::RunCommandLine(line, environment, std::cout, std::cerr);
}
