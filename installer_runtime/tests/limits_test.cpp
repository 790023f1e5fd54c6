// The limits of [InstallLimit]: who may install and uninstall, work left unfinished on the
// machine, and files a running program holds - each refused before anything is changed.
#include "installer_fixture.h"

#include "install_limits.h"

#include <fstream>

using namespace installer;
using namespace installer::testing;
namespace reg = platform::registry;

namespace {

class LimitsTest : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        items = {"1|0|%InstallDir%||a.txt||||"};
        Put(runtime + "\\a.txt", "a");
    }
};

TEST_F(LimitsTest, UserRightsForInstallAndUninstall) {
    const std::string administrators = "インストールには管理者の権限が必要です。管理者としてログオンしてからやり直してください。";
    const std::string powerUsers = "インストールには管理者またはパワー ユーザーの権限が必要です。"
                                   "管理者またはパワー ユーザーとしてログオンしてからやり直してください。";
    struct Case {
        int limit, level;
        const char* refusal;  // UTF-8; empty: installed
    } cases[] = {
        {0, kLimitedUser, ""},
        {1, kPowerUser, administrators.c_str()},
        {1, kAdministrator, ""},
        {2, kLimitedUser, powerUsers.c_str()},
        {2, kPowerUser, ""},
    };
    const auto before = Snapshot();
    for (const Case& c : cases) {
        SCOPED_TRACE("User=" + std::to_string(c.limit) + " level " + std::to_string(c.level));
        console = {};
        extra = "[Installer]\r\nUnInstallerOptions=0\r\n[InstallLimit]\r\nUser=" + std::to_string(c.limit) + "\r\n";
        WriteData();
        options.machine.userLevel = c.level;
        const InstallResult r = Run();
        if (*c.refusal) {
            EXPECT_EQ(r.exitCode, kExitRequirements) << console.All();
            EXPECT_TRUE(console.Has(c.refusal)) << console.All();
            EXPECT_EQ(Differences(before, Snapshot()), "");
            continue;
        }
        ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
        ASSERT_EQ(RunUninstall(r.record).exitCode, kExitInstalled) << console.All();
        EXPECT_EQ(Differences(before, Snapshot()), "");
    }

    // The limit holds for the uninstall too: a power user cannot remove what needs an administrator.
    extra = "[InstallLimit]\r\nUser=1\r\n";
    WriteData();
    options.machine.userLevel = kAdministrator;
    const InstallResult r = Run();
    ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
    const auto installed = Snapshot();
    options.machine.userLevel = kPowerUser;
    console = {};
    EXPECT_EQ(RunUninstall(r.record).exitCode, kExitRequirements) << console.All();
    EXPECT_TRUE(console.Has("アンインストールには管理者の権限が必要です。管理者としてログオンしてからやり直してください。"))
        << console.All();
    EXPECT_EQ(Differences(installed, Snapshot()), "");
    options.machine.userLevel = kAdministrator;
    EXPECT_EQ(RunUninstall(r.record).exitCode, kExitInstalled) << console.All();
}

TEST_F(LimitsTest, UnfinishedWorkOfTheMachine) {
    const std::string refused = "以前の処理が完了していないため、インストールを続けられません。"
                                "処理を完了するか、コンピュータを再起動してからやり直してください。\n";
    const std::string sessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    const std::string otherJournal = machine->TempFolder() + "\\ZU_VAZUZA-0123456789abcdef";
    extra = "[InstallLimit]\r\nEndFileRenOperation=1\r\n";
    WriteData();

    // A file the system still has to move.
    ASSERT_EQ(registry->SetValue(reg::Root::LocalMachine, sessionManager, "PendingFileRenameOperations",
                                 reg::Value::MultiString({"\\??\\C:\\windows\\old.dll", ""})),
              reg::Status::Ok);
    EXPECT_EQ(Run().exitCode, kExitRequirements) << console.All();
    EXPECT_TRUE(console.Has(refused + "\\??\\C:\\windows\\old.dll")) << console.All();
    EXPECT_FALSE(wp::FileExists(Dir("")));
    ASSERT_EQ(registry->DeleteValue(reg::Root::LocalMachine, sessionManager, "PendingFileRenameOperations"),
              reg::Status::Ok);

    // Another project's installation that was interrupted.
    Put(otherJournal + "\\journal.txt", "D|C:\\x\n");
    console = {};
    EXPECT_EQ(Run().exitCode, kExitRequirements) << console.All();
    EXPECT_TRUE(console.Has(refused + sj::ToUtf8(otherJournal))) << console.All();
    EXPECT_FALSE(wp::FileExists(Dir("")));
    ASSERT_TRUE(wp::DeleteFile(otherJournal + "\\journal.txt"));
    ASSERT_TRUE(wp::RemoveDirectory(otherJournal));

    // Nothing pending: installed.
    console = {};
    EXPECT_EQ(Run().exitCode, kExitInstalled) << console.All();

    // Without the limit the installation does not look.
    extra.clear();
    WriteData();
    Put(otherJournal + "\\journal.txt", "D|C:\\x\n");
    console = {};
    EXPECT_EQ(Run().exitCode, kExitInstalled) << console.All();
}

// A console whose answer to the retry question first closes the program that held the file.
class ClosingConsole : public ScriptedConsole {
public:
    std::ifstream* held = nullptr;
    bool Ask(std::string_view text, bool fallback) override {
        const bool retry = sj::ToUtf8(text).find("[再試行(R)/中止(S)]") != std::string::npos;
        if (retry && held && held->is_open()) {
            held->close();
            questions.push_back(sj::ToUtf8(text));
            return true;
        }
        return ScriptedConsole::Ask(text, fallback);
    }
};

TEST_F(LimitsTest, FilesInUseStopTheInstallationUntilClosed) {
    extra = "[InstallLimit]\r\nFileUseCheck=1\r\n[ScreenSetting]\r\nPanel04=0\r\n";
    WriteData();
    PutOld(Dir("\\a.txt"), "old");
    std::ifstream held(wp::ToHostPath(Dir("\\a.txt")).value());  // this very process holds it
    ASSERT_TRUE(held.is_open());
    EXPECT_EQ(FilesInUse({Dir("\\a.txt"), Dir("\\not-there.txt"), runtime + "\\a.txt"}),
              std::vector<std::string>{Dir("\\a.txt")});

    const std::string busy =
        "ファイル " + sj::ToUtf8(Dir("\\a.txt")) + " はほかのプログラムが使用しています。プログラムを終了してから「再試行」をクリックしてください。";
    EXPECT_EQ(Run().exitCode, kExitRequirements) << console.All();
    EXPECT_TRUE(console.Has(busy)) << console.All();
    EXPECT_EQ(Get(Dir("\\a.txt")), "old");

    // Asked, the user closes the program and retries.
    ClosingConsole closing;
    closing.held = &held;
    closing.answers = {true};  // ready
    options.silent = false;
    const InstallResult r = Install(runtime, options, closing, *machine, *registry);
    EXPECT_EQ(r.exitCode, kExitInstalled) << closing.All();
    ASSERT_EQ(closing.questions.size(), 2u) << closing.All();
    EXPECT_EQ(closing.questions[0], busy + " [再試行(R)/中止(S)]");
    EXPECT_EQ(Get(Dir("\\a.txt")), "a");
}

}  // namespace
