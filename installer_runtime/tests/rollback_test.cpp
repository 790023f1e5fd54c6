// Never half-installed: a failure injected at each change of an installation leaves the
// prefix as it was, and an installation killed at each change is undone by the next run,
// which then completes.
#include "installer_fixture.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>

using namespace installer;
using namespace installer::testing;

namespace {

class RollbackTest : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        // Every kind of change: new folders and files, a file replaced, a shortcut, registry
        // keys and values, an INI file, a folder deleted, a registration, a shared count, a
        // replaced file kept, the uninstaller and the record.
        items = {S("1|0|%InstallDir%||a.txt|||0|0|"), S("1|0|%InstallDir%|sub|b.txt|||0|0|"),
                 S("1|1|%InstallDir%|empty||||0|0|"), S("1|0|%WindowsDirectory%||shared.txt|||0|0|"),
                 S("1|4|%WindowsDirectory%|old||||0|0|"),
                 // registered and counted as shared; a replaced file kept for the uninstall
                 S("1|0|%InstallDir%||comp.ocx|||6|0|"), S("1|0|%WindowsDirectory%||kept.txt|||128|0|")};
        extra = S("[Installer]\r\nEnableShortCutSetting=1\r\nEnableRegistrySetting=1\r\nEnableIniFileSetting=1\r\n"
                  "UnInstallerOptions=0\r\n"
                  "[ShortCutItems]\r\n0=a|%InstallDir%\\a.txt||||0||0|2|0|\r\n"
                  "[RegistryItems]\r\n0=HKEY_CURRENT_USER|Software\\Mihon\\Deep|V|1|2|||\r\n"
                  "1=HKEY_CURRENT_USER|Software\\Existing|V|new|0|||\r\n"
                  "[IniFileItems]\r\n0=0|%WindowsDirectory%||win.ini|S|K|v||||\r\n"
                  "1=0|%InstallDir%||app.ini|S|K|v||||\r\n");
        WriteData();
        Put(runtime + "\\a.txt", "a");
        Put(runtime + "\\b.txt", "b");
        Put(runtime + "\\shared.txt", "new shared");
        Put(runtime + "\\comp.ocx", "component");
        Put(runtime + "\\kept.txt", "new kept");
        PutOld("C:\\windows\\kept.txt", "old kept");
        PutRegistrationProgram(0);
        Put("C:\\windows\\win.ini", "[S]\r\nK=old\r\n");
        ASSERT_EQ(registry->SetString(platform::registry::Root::CurrentUser, "Software\\Existing", "V", "old"),
                  platform::registry::Status::Ok);
        PutBack();
    }

    // What an installation changes for good (a file it replaced, a folder it deleted), as it
    // was before.
    void PutBack() {
        Put("C:\\windows\\shared.txt", "old shared");
        Put("C:\\windows\\old\\inner\\file", "old tree");
    }

    // The number of changes a whole installation makes.
    int CountChanges() {
        int count = 0;
        options.beforeChange = [&count](int) {
            ++count;
            return true;
        };
        const auto before = Snapshot();
        EXPECT_EQ(Run().exitCode, kExitInstalled) << console.All();
        options.beforeChange = {};
        installed_ = Normalized(Snapshot());
        EXPECT_EQ(RunUninstall(Dir("\\Install.dat")).exitCode, kExitInstalled) << console.All();
        PutBack();
        EXPECT_EQ(Differences(before, Snapshot()), "");
        options.beforeChange = {};
        return count;
    }

    // The prefix after an installation, without the moment it was made.
    std::map<std::string, std::string> Normalized(std::map<std::string, std::string> snapshot) const {
        static const std::regex when("InstallDateTime=[^\r\n]*");
        for (auto& [path, bytes] : snapshot) bytes = std::regex_replace(bytes, when, "InstallDateTime=");
        return snapshot;
    }

    std::map<std::string, std::string> installed_;
};

TEST_F(RollbackTest, FailureAtEachChangeLeavesThePrefixAsItWas) {
    const int changes = CountChanges();
    ASSERT_GT(changes, 15);
    RecordProperty("changes", changes);
    const auto before = Snapshot();
    for (int failAt = 1; failAt <= changes; ++failAt) {
        SCOPED_TRACE("failure at change " + std::to_string(failAt));
        console = {};
        options.beforeChange = [failAt](int n) { return n != failAt; };
        const InstallResult r = Run();
        EXPECT_EQ(r.exitCode, kExitFailed) << console.All();
        EXPECT_TRUE(console.Has("変更を元に戻しています。")) << console.All();
        EXPECT_EQ(Differences(before, Snapshot()), "") << console.All();
    }
}

TEST_F(RollbackTest, KilledAtEachChangeTheNextRunUndoesAndCompletes) {
    const int changes = CountChanges();
    const auto before = Snapshot();
    for (int killAt = 1; killAt <= changes; ++killAt) {
        SCOPED_TRACE("killed at change " + std::to_string(killAt));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            options.beforeChange = [killAt](int n) {
                if (n == killAt) ::raise(SIGKILL);
                return true;
            };
            Run();
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        EXPECT_NE(Differences(before, Snapshot()), "") << "the killed run left its journal";

        console = {};
        const InstallResult again = Run();
        ASSERT_EQ(again.exitCode, kExitInstalled) << console.All();
        EXPECT_TRUE(console.Has("前回中断されたインストールを元に戻しています。")) << console.All();
        EXPECT_EQ(Differences(installed_, Normalized(Snapshot())), "") << console.All();
        ASSERT_EQ(RunUninstall(again.record).exitCode, kExitInstalled) << console.All();
        PutBack();
        EXPECT_EQ(Differences(before, Snapshot()), "") << console.All();
    }
}

// The uninstallation is journaled the same way: a failure at any of its changes leaves the
// installation as it was, and a run killed at any of them is undone by the next one, which
// then uninstalls.
class UninstallRollbackTest : public RollbackTest {
protected:
    // The number of changes a whole uninstallation makes; the project is installed afterwards.
    int CountUninstallChanges() {
        CountChanges();
        before_ = Snapshot();
        EXPECT_EQ(Run().exitCode, kExitInstalled) << console.All();
        int count = 0;
        options.beforeChange = [&count](int) {
            ++count;
            return true;
        };
        EXPECT_EQ(RunUninstall(Dir("\\Install.dat")).exitCode, kExitInstalled) << console.All();
        options.beforeChange = {};
        PutBack();
        EXPECT_EQ(Differences(before_, Snapshot()), "");
        EXPECT_EQ(Run().exitCode, kExitInstalled) << console.All();
        return count;
    }
    std::map<std::string, std::string> before_;
};

TEST_F(UninstallRollbackTest, FailureAtEachChangeLeavesTheInstallation) {
    const int changes = CountUninstallChanges();
    ASSERT_GT(changes, 15);
    RecordProperty("changes", changes);
    const auto installed = Normalized(Snapshot());
    for (int failAt = 1; failAt <= changes; ++failAt) {
        SCOPED_TRACE("failure at change " + std::to_string(failAt));
        console = {};
        options.beforeChange = [failAt](int n) { return n != failAt; };
        const UninstallResult u = RunUninstall(Dir("\\Install.dat"));
        EXPECT_EQ(u.exitCode, kExitFailed) << console.All();
        EXPECT_TRUE(console.Has("変更を元に戻しています。")) << console.All();
        EXPECT_EQ(Differences(installed, Normalized(Snapshot())), "") << console.All();
    }
    options.beforeChange = {};
    ASSERT_EQ(RunUninstall(Dir("\\Install.dat")).exitCode, kExitInstalled) << console.All();
    PutBack();
    EXPECT_EQ(Differences(before_, Snapshot()), "");
}

TEST_F(UninstallRollbackTest, KilledAtEachChangeTheNextRunUndoesAndUninstalls) {
    const int changes = CountUninstallChanges();
    const auto installed = Normalized(Snapshot());
    for (int killAt = 1; killAt <= changes; ++killAt) {
        SCOPED_TRACE("killed at change " + std::to_string(killAt));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            options.beforeChange = [killAt](int n) {
                if (n == killAt) ::raise(SIGKILL);
                return true;
            };
            RunUninstall(Dir("\\Install.dat"));
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        EXPECT_NE(Differences(installed, Normalized(Snapshot())), "") << "the killed run left its journal";

        console = {};
        ASSERT_EQ(RunUninstall(Dir("\\Install.dat")).exitCode, kExitInstalled) << console.All();
        EXPECT_TRUE(console.Has("前回中断された処理を元に戻しています。")) << console.All();
        PutBack();
        EXPECT_EQ(Differences(before_, Snapshot()), "") << console.All();
        ASSERT_EQ(Run().exitCode, kExitInstalled) << console.All();
    }
}

}  // namespace
