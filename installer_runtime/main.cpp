// ZU_VAZUZA: the sample installer module. Started as INSTALL.EXE from the folder that holds
// INSTALL.DAT and the staged files (a folder build, or the folder a self-extractor unpacked
// into). "/S" installs without questions; without a terminal on standard input every question
// takes its default answer as well, since nobody could answer it.
#include "installer_runtime/installer.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/sjis.h"
#include "platform/winpath.h"
#include "zeriru/platform_machine.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

namespace {

namespace sj = platform::sjis;

// Lines on standard output in UTF-8; questions on the terminal.
class TerminalConsole : public installer::Console {
public:
    void Line(std::string_view text) override {
        std::cout << sj::ToUtf8(text, sj::Unconvertible::Replace) << '\n';
        std::cout.flush();
    }
    bool Ask(std::string_view text, bool fallback) override {
        std::cout << sj::ToUtf8(text, sj::Unconvertible::Replace) << ' ';
        if (!::isatty(0)) {
            std::cout << (fallback ? "Y" : "N") << '\n';
            return fallback;
        }
        std::cout.flush();
        std::string answer;
        if (!std::getline(std::cin, answer) || answer.empty()) return fallback;
        const char c = answer[0];
        if (c == 'y' || c == 'Y') return true;
        if (c == 'n' || c == 'N') return false;
        // "はい" / "いいえ" typed in full.
        return answer.rfind("はい", 0) == 0 ? true : answer.rfind("いいえ", 0) == 0 ? false : fallback;
    }
};

void Usage() {
    std::cout << "使い方: INSTALL.EXE [/S]\n"
                 "\n"
                 "同じフォルダの INSTALL.DAT に従ってファイルをインストールします。\n"
                 "/S を付けると確認をせずにインストールします。\n"
                 "インストールした内容はインストール先の Install.dat に記録されます。\n"
                 "終了コード: 0 完了, 1 中止, 2 データ不足, 3 コピー失敗\n"
                 "\n"
                 "例:\n"
                 "  ./INSTALL.EXE /S\n"
                 "  PLATFORM_ROOT=/tmp/prefix ./INSTALL.EXE\n";
}

}  // namespace

int main(int argc, char** argv) {
    bool silent = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = sj::ToUpper(argv[i]);
        if (arg == "/S" || arg == "-S") {
            silent = true;
        } else if (arg == "/?" || arg == "--HELP" || arg == "-H") {
            Usage();
            return 0;
        }
    }
    if (!::isatty(0)) silent = true;

    std::string error;
    if (!platform::shell::ProvisionPrefix(&error)) {
        std::fprintf(stderr, "ZU_VAZUZA: %s\n", error.c_str());
        return installer::kExitBadData;
    }
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) self = std::filesystem::absolute(argv[0], ec);
    const std::string folder = platform::winpath::ToWindowsPath(self.parent_path());
    if (folder.empty()) {
        std::fprintf(stderr, "ZU_VAZUZA: no Windows path for the folder %s\n", self.parent_path().c_str());
        return installer::kExitBadData;
    }
    platform::registry::Registry registry;
    zeriru::TPlatformMachine machine(registry);
    TerminalConsole console;
    return installer::Install(folder, silent, console, machine).exitCode;
}
