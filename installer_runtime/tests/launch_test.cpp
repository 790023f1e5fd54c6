// Programs of the program list start directly or through the shell, in their folder, with the
// window the item asks for handed to them as their show command.
#include "installer_fixture.h"

#include "launch.h"

#include <fstream>

using namespace installer;
using namespace installer::testing;
namespace reg = platform::registry;

namespace {

class LaunchTest : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        log_ = root_ / "launch.log";
        items = {S("1|0|%InstallDir%||readme.txt|||0|0|")};
        Put(runtime + "\\readme.txt", "read me");
        // The tool notes its first argument, the show command it got and its folder.
        Put("C:\\windows\\tool.sh", "#!/bin/sh\nprintf '%s %s %s\\n' \"$1\" \"${ZU_VAZUZA_SHOW_COMMAND:-none}\" \"$(basename \"$PWD\")\" >> \"" +
                                        log_.string() + "\"\n");
        std::filesystem::permissions(wp::ToHostPath("C:\\windows\\tool.sh").value(), std::filesystem::perms::owner_all);
        // Text documents open with the tool.
        ASSERT_EQ(registry->SetString(reg::Root::ClassesRoot, ".txt", "", "txtfile"), reg::Status::Ok);
        ASSERT_EQ(registry->SetString(reg::Root::ClassesRoot, "txtfile\\shell\\open\\command", "",
                                      "\"C:\\windows\\tool.sh\" \"%1\""),
                  reg::Status::Ok);
    }
    std::string Log() const {
        std::ifstream in(log_);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // A program item run after the installation and waited for.
    static std::string Program(const std::string& folder, const std::string& file, const std::string& argument,
                               int window, bool direct) {
        return "1|" + folder + "|" + file + "|" + argument + "|" + std::to_string(window) + "|1|" +
               std::to_string(1 | (direct ? 2 : 0)) + "||65535||1,1,|";
    }
    std::filesystem::path log_;
};

TEST_F(LaunchTest, DirectAndShellStartsInTheirWindow) {
    struct Case {
        const char* name;
        std::string item;
        int exitCode;
        std::string log;  // UTF-8
    } cases[] = {
        {"direct, maximized", Program("%WindowsDirectory%\\", "tool.sh", "direct", 2, true), kExitInstalled,
         "direct 3 windows\n"},
        {"through the shell, minimized", Program("%WindowsDirectory%\\", "tool.sh", "shell", 1, false), kExitInstalled,
         "shell 7 windows\n"},
        {"normal window", Program("%WindowsDirectory%\\", "tool.sh", "normal", 0, true), kExitInstalled,
         "normal 1 windows\n"},
        // A document opens with its application through the shell...
        {"document through the shell", Program("%InstallDir%\\", "readme.txt", "", 0, false), kExitInstalled,
         sj::ToUtf8(Dir("\\readme.txt")) + " 1 見本\n"},
        // ...and is no program to start directly.
        {"document started directly", Program("%InstallDir%\\", "readme.txt", "", 0, true), kExitProgramFailed, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(log_);
        console = {};
        extra = "[Installer]\r\nEnableProgramSetting=1\r\n[ProgramItems]\r\n0=" + c.item + "\r\n";
        WriteData();
        const InstallResult r = Run();
        EXPECT_EQ(r.exitCode, c.exitCode) << console.All();
        EXPECT_EQ(Log(), c.log);
        if (c.exitCode == kExitProgramFailed) {
            EXPECT_TRUE(console.Has(sj::ToUtf8(S("プログラム ") + Dir("\\readme.txt") + S(" を実行できませんでした。")))) << console.All();
        }
        EXPECT_EQ(std::getenv(kShowCommandVariable), nullptr) << "the installer's own environment is as it was";
        ASSERT_EQ(RunUninstall(r.record).exitCode, kExitInstalled) << console.All();
    }
}

}  // namespace
