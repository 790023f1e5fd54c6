// A scripted building machine for the tests: every answer is set in advance.
#pragma once

#include "platform/sjis.h"
#include "zeriru/build_machine.h"

#include <map>
#include <set>
#include <string>
#include <tuple>

namespace zeriru::test {

class FakeMachine : public TBuildMachine {
public:
    std::string windows = "C:\\WINDOWS", system = "C:\\WINDOWS\\system32", temp = "C:\\TEMP";
    std::string programFiles = "C:\\Program Files", computer = "BUILDPC", user = "taro";
    std::map<std::pair<int, bool>, std::string> shell;
    std::map<std::string, std::string> env;  // names in upper case
    std::map<std::tuple<std::string, std::string, std::string>, RegistryValue> registry;  // upper case keys
    std::map<std::tuple<std::string, std::string, std::string>, std::string> ini;        // upper case keys
    std::set<char> drives = {'C'}, cdroms;
    std::set<std::string> files;  // upper case paths
    std::string date = "2026/12/09", time = "06:30:00";

    std::string WindowsFolder() override { return windows; }
    std::string SystemFolder() override { return system; }
    std::string TempFolder() override { return temp; }
    std::string ProgramFilesFolder() override { return programFiles; }
    std::string DosCommandFolder() override { return windows; }
    std::string ShellFolder(int kind, bool allUsers) override {
        auto it = shell.find({kind, allUsers});
        return it == shell.end() ? std::string() : it->second;
    }
    std::string ComputerName() override { return computer; }
    std::string UserName() override { return user; }
    std::optional<std::string> Environment(std::string_view name) override {
        auto it = env.find(platform::sjis::ToUpper(name));
        if (it == env.end()) return std::nullopt;
        return it->second;
    }
    std::optional<RegistryValue> ReadRegistry(std::string_view root, std::string_view key,
                                              std::string_view value) override {
        auto it = registry.find({Up(root), Up(key), Up(value)});
        if (it == registry.end()) return std::nullopt;
        return it->second;
    }
    std::optional<std::string> ReadIni(std::string_view path, std::string_view section,
                                       std::string_view key) override {
        auto it = ini.find({Up(path), Up(section), Up(key)});
        if (it == ini.end()) return std::nullopt;
        return it->second;
    }
    bool DriveExists(char letter) override { return drives.count(letter) > 0; }
    bool IsCdromDrive(char letter) override { return cdroms.count(letter) > 0; }
    bool FileExists(std::string_view path) override { return files.count(Up(path)) > 0; }
    std::string CurrentDate() override { return date; }
    std::string CurrentTime() override { return time; }

    static std::string Up(std::string_view s) { return platform::sjis::ToUpper(s); }
};

}  // namespace zeriru::test
