// ZU_VAZUZA: the sample installer module. Started as INSTALL.EXE from the folder that holds
// INSTALL.DAT and the staged files (a folder build, or the folder a self-extractor unpacked
// into) it installs; started with /U and an uninstall record (as the uninstaller it writes,
// from the uninstall key) it uninstalls. "/S" asks nothing; without a terminal on standard
// input every question takes its default answer as well, since nobody could answer it.
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
    std::string AskText(std::string_view text, std::string_view fallback) override {
        std::cout << sj::ToUtf8(text, sj::Unconvertible::Replace) << " [" << sj::ToUtf8(fallback) << "] ";
        if (!::isatty(0)) {
            std::cout << '\n';
            return std::string(fallback);
        }
        std::cout.flush();
        std::string answer;
        if (!std::getline(std::cin, answer) || answer.empty()) return std::string(fallback);
        return sj::FromUtf8(answer);
    }
};

void Usage() {
    std::cout << "使い方: INSTALL.EXE [/S]\n"
                 "        INSTALL.EXE /U <アンインストール情報ファイル> [/S]\n"
                 "\n"
                 "同じフォルダの INSTALL.DAT に従ってインストールします。ファイル、フォルダ、\n"
                 "ショートカット、レジストリ、INIファイル、プログラムの実行を一つの処理として行い、\n"
                 "途中で失敗した場合はすべて元に戻します。/U はインストールしたものを削除します\n"
                 "(アンインストールキーの UninstallString がこの形で登録されます)。\n"
                 "/S を付けると確認をせずに既定の答えで進めます。\n"
                 "終了コード: 0 完了, 1 中止, 2 データ不足・不正, 3 失敗(元に戻しました),\n"
                 "            4 動作条件を満たさない, 5 完了後のプログラムが失敗, 6 一部削除できず\n"
                 "\n"
                 "例:\n"
                 "  ./INSTALL.EXE /S\n"
                 "  PLATFORM_ROOT=/tmp/prefix ./INSTALL.EXE\n"
                 "  ./rodeve21.exe /U 'C:\\Program Files\\見本アプリ\\Install.dat' /S\n";
}

}  // namespace

int main(int argc, char** argv) {
    installer::InstallOptions options;
    std::string record;
    bool uninstall = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = sj::ToUpper(argv[i]);
        if (arg == "/S" || arg == "-S") {
            options.silent = true;
        } else if (arg == "/U" || arg == "-U") {
            uninstall = true;
            if (i + 1 < argc && argv[i + 1][0] != '/') record = platform::winpath::FromCommandLine(argv[++i]);
        } else if (arg == "/?" || arg == "--HELP" || arg == "-H") {
            Usage();
            return 0;
        }
    }
    if (!::isatty(0)) options.silent = true;

    std::string error;
    if (!platform::shell::ProvisionPrefix(&error)) {
        std::fprintf(stderr, "ZU_VAZUZA: %s\n", error.c_str());
        return installer::kExitBadData;
    }
    platform::registry::Registry registry;
    zeriru::TPlatformMachine machine(registry);
    TerminalConsole console;
    if (uninstall) return installer::Uninstall(record, options, console, machine, registry).exitCode;

    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) self = std::filesystem::absolute(argv[0], ec);
    const std::string folder = platform::winpath::ToWindowsPath(self.parent_path());
    if (folder.empty()) {
        std::fprintf(stderr, "ZU_VAZUZA: no Windows path for the folder %s\n", self.parent_path().c_str());
        return installer::kExitBadData;
    }
    // The uninstaller is a copy of this very program.
    options.moduleProgram = platform::winpath::ToWindowsPath(self);
    return installer::Install(folder, options, console, machine, registry).exitCode;
}
