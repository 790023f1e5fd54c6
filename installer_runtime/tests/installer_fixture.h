// A fresh provisioned prefix, an extraction folder with INSTALL.DAT written from parts, a
// scripted console, and a listing of the whole prefix to compare before and after.
#pragma once

#include "installer_runtime/installer.h"
#include "platform/pathtext.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "prefix_fixture.h"
#include "zeriru/platform_machine.h"
#include "zeriru/project_file.h"

#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

namespace installer::testing {

namespace wp = platform::winpath;
namespace sj = platform::sjis;

class ScriptedConsole : public Console {
public:
    void Line(std::string_view text) override { lines.push_back(sj::ToUtf8(text)); }
    bool Ask(std::string_view text, bool fallback) override {
        questions.push_back(sj::ToUtf8(text));
        if (answers.empty()) return fallback;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    std::string AskText(std::string_view text, std::string_view fallback) override {
        questions.push_back(sj::ToUtf8(text));
        if (textAnswers.empty()) return std::string(fallback);
        const std::string a = textAnswers.front();
        textAnswers.pop_front();
        return a.empty() ? std::string(fallback) : sj::S(a);
    }
    bool Has(const std::string& utf8) const {
        for (const auto& l : lines)
            if (l == utf8) return true;
        return false;
    }
    bool HasLineWith(const std::string& utf8) const {
        for (const auto& l : lines)
            if (l.find(utf8) != std::string::npos) return true;
        return false;
    }
    std::string All() const {
        std::string out;
        for (const auto& l : lines) out += l + "\n";
        return out;
    }
    std::vector<std::string> lines, questions;
    std::deque<bool> answers;
    std::deque<std::string> textAnswers;  // UTF-8
};

// The module's texts as the build merges them into INSTALL.DAT (a part of them).
inline const char* kLanguage =
    "[Control_Info]\r\nLocalID=1041\r\nDefaultLocalID=1041\r\n"
    "[ResourceString_1041]\r\n0=%s セットアップ\r\n5=はい(&Y)\r\n6=いいえ(&N)\r\n100=%s のセットアップへようこそ\r\n"
    "451=%s をインストールする準備ができました。\r\n453=インストール先: %s\r\n501=%s をインストールしています。\r\n"
    "502=ファイルをコピーしています: %s\r\n503=フォルダを作成しています: %s\r\n508=アンインストール情報を作成しています。\r\n"
    "601=%s のインストールが完了しました。\r\n701=インストールは中止されました。%s はインストールされていません。\r\n"
    "702=ファイル %s をコピーできませんでした。\r\n707=セットアップ情報ファイル %s を読み込めませんでした。\r\n"
    "709=上書きしますか？#13%s\r\n715=インストール ファイルが壊れているか、足りません。\r\n1200=セットアップ ログ: %s\r\n";

// The program the build stages as INSTALL.EXE; it becomes the uninstaller (the mark makes it
// one of this module's).
inline const char* kModuleProgram = "#!/bin/sh\n# ZU_VAZUZA-UNINSTALLER-1\nexit 0\n";

class InstallerTest : public PrefixTest {
protected:
    void SetUp() override {
        PrefixTest::SetUp();
        std::string error;
        ASSERT_TRUE(platform::shell::ProvisionPrefix(&error)) << error;
        registry = std::make_unique<platform::registry::Registry>();
        machine = std::make_unique<zeriru::TPlatformMachine>(*registry);
        options.silent = true;
    }

    static void Put(const std::string& path, const std::string& bytes) {
        ASSERT_TRUE(wp::CreateDirectoryTree(wp::FolderOf(path)));
        ASSERT_TRUE(wp::WriteWholeFile(path, bytes));
    }
    static std::string Get(const std::string& path) { return wp::ReadWholeFile(path).value_or("<missing>"); }
    // A file of long ago (2001), older than every staged file: one an earlier version left.
    static void PutOld(const std::string& path, const std::string& bytes) {
        Put(path, bytes);
        ASSERT_TRUE(wp::SetLastWriteTime(path, 126227808000000000ULL));
    }

    // INSTALL.DAT from the parts below, and the module program beside it.
    void WriteData() {
        std::string text = "[Project]\r\nProjectName=" + projectName + "\r\n" + project + software + S(kLanguage) + "[Files]\r\n";
        for (std::size_t i = 0; i < items.size(); ++i) text += std::to_string(i) + "=" + items[i] + "\r\n";
        Put(wp::JoinPath(runtime, "INSTALL.DAT"), text + extra);
        Put(wp::JoinPath(runtime, "INSTALL.EXE"), kModuleProgram);
    }
    // The machine's registration program: "/s <file>" adds the file to the list
    // C:\windows\registered.list, "/u /s <file>" takes it out (the list goes when empty); each
    // call is noted in `log` (a host file) when one is given. It ends with `code`.
    void PutRegistrationProgram(int code, const std::filesystem::path& log = {}) {
        const std::string list = wp::ToHostPath("C:\\windows\\registered.list")->string();
        const std::string note = log.empty() ? "" : "printf '%s\\n' \"$*\" >> '" + log.string() + "'\n";
        Put("C:\\windows\\system32\\regsvr32.exe",
            "#!/bin/sh\nlist='" + list + "'\n" + note +
                "if [ \"$1\" = /u ]; then grep -vxF \"$3\" \"$list\" > \"$list.new\"; mv \"$list.new\" \"$list\";"
                " [ -s \"$list\" ] || rm -f \"$list\"; else printf '%s\\n' \"$2\" >> \"$list\"; fi\nexit " +
                std::to_string(code) + "\n");
        std::filesystem::permissions(wp::ToHostPath("C:\\windows\\system32\\regsvr32.exe").value(),
                                     std::filesystem::perms::owner_all);
    }
    InstallResult Run(bool silent = true) {
        options.silent = silent;
        return Install(runtime, options, console, *machine, *registry);
    }
    UninstallResult RunUninstall(const std::string& record, bool silent = true) {
        InstallOptions o = options;
        o.silent = silent;
        return Uninstall(record, o, console, *machine, *registry);
    }
    std::string Dir(const char* utf8) const { return S("C:\\Program Files\\見本") + S(utf8); }

    // Every file and folder of the prefix with its bytes (folders as "<dir>"), the extraction
    // folder aside.
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> out;
        const auto runtimeHost = wp::ToHostPath(runtime).value_or(std::filesystem::path());
        for (auto it = std::filesystem::recursive_directory_iterator(root_);
             it != std::filesystem::recursive_directory_iterator(); ++it) {
            const auto& p = it->path();
            if (p == runtimeHost) {
                it.disable_recursion_pending();
                continue;
            }
            const std::string rel = p.lexically_relative(root_).string();
            if (it->is_directory()) {
                out[rel] = "<dir>";
            } else {
                std::ifstream in(p, std::ios::binary);
                std::ostringstream bytes;
                bytes << in.rdbuf();
                out[rel] = bytes.str();
            }
        }
        return out;
    }
    static std::string Differences(const std::map<std::string, std::string>& before,
                                   const std::map<std::string, std::string>& after) {
        std::string out;
        for (const auto& [path, bytes] : after) {
            auto it = before.find(path);
            if (it == before.end()) out += "added:   " + path + "\n";
            else if (it->second != bytes) out += "changed: " + path + "\n";
        }
        for (const auto& [path, bytes] : before) {
            if (!after.count(path)) out += "removed: " + path + "\n";
        }
        return out;
    }

    std::unique_ptr<platform::registry::Registry> registry;
    std::unique_ptr<zeriru::TPlatformMachine> machine;
    InstallOptions options;
    std::string runtime = S("C:\\展開");
    std::string software = S("[Software]\r\nInstallerTitle=見本\r\nSoftName=見本アプリ\r\nFolder=%ProgramFilesDir%|見本|\r\n");
    std::string projectName = "mihon";  // the uninstall key
    std::string project;  // more [Project] lines
    std::vector<std::string> items;
    std::string extra;    // more sections
    ScriptedConsole console;
};

}  // namespace installer::testing
