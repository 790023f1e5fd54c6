// Other applications the machine lists, and this project's own earlier installation: the
// related-application rules at install and at uninstall time, what InstallMethod does with an
// installation that is there, and the version check against it. A refusal changes nothing;
// an uninstaller that is asked for runs (and is waited for) before anything is installed or
// removed.
#include "installer_fixture.h"

#include "registration.h"

#include <fstream>

using namespace installer;
using namespace installer::testing;
namespace reg = platform::registry;

namespace {

class RelatedAppsTest : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        log_ = root_.string() + ".log";  // beside the prefix, out of its snapshots
        items = {"1|0|%InstallDir%||a.txt||||"};
        Put(runtime + "\\a.txt", "a");
    }
    void TearDown() override {
        std::filesystem::remove(log_);
        InstallerTest::TearDown();
    }

    // Lists an application under `key` whose uninstaller notes "<key> <arguments>" and ends
    // with `code`; `ours` makes it an uninstaller of this module.
    void PutOther(const std::string& key, int code = 0, bool ours = false) {
        const std::string program = "C:\\other\\" + key + ".exe";
        Put(program, std::string("#!/bin/sh\n") + (ours ? "# " + std::string(kModuleMark) + "\n" : "") + "echo \"" + key +
                         " $*\" >> '" + log_.string() + "'\nexit " + std::to_string(code) + "\n");
        std::filesystem::permissions(wp::ToHostPath(program).value(), std::filesystem::perms::owner_all);
        const std::string k = std::string(kUninstallKey) + "\\" + key;
        ASSERT_EQ(registry->SetString(reg::Root::LocalMachine, k, "UninstallString", "\"" + program + "\" --keep"),
                  reg::Status::Ok);
        ASSERT_EQ(registry->SetString(reg::Root::LocalMachine, k, "DisplayName", key), reg::Status::Ok);
    }
    void RemoveOther(const std::string& key) {
        registry->DeleteKeyTree(reg::Root::LocalMachine, std::string(kUninstallKey) + "\\" + key);
        std::vector<std::string> left;
        registry->EnumSubKeys(reg::Root::LocalMachine, kUninstallKey, &left);
        if (left.empty()) registry->DeleteKeyTree(reg::Root::LocalMachine, kUninstallKey);  // the provisioned prefix has none
        std::error_code ec;
        std::filesystem::remove(wp::ToHostPath("C:\\other\\" + key + ".exe").value(), ec);
        std::filesystem::remove(wp::ToHostPath("C:\\other").value(), ec);  // when empty
    }
    // A related-application rule.
    static std::string Rule(const std::string& key, int atInstall, int atUninstall, bool endsRules = false,
                            bool enabled = true) {
        return std::string(enabled ? "1" : "0") + "|" + key + " のアプリ|" + key + "|" + std::to_string(atInstall) + "|" +
               std::to_string(atUninstall) + "|||" + (endsRules ? "1" : "0") + "|65535||";
    }
    static std::string Rules(const std::vector<std::string>& rules) {
        std::string text = "[RelationApplicationItems]\r\n";
        for (std::size_t i = 0; i < rules.size(); ++i) text += std::to_string(i) + "=" + S(rules[i].c_str()) + "\r\n";
        return text;
    }
    std::string Log() const {
        std::ifstream in(log_);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // The module program, staged as INSTALL.EXE and so the uninstaller: it notes "own <arguments>".
    void StageNotingUninstaller() {
        Put(wp::JoinPath(runtime, "INSTALL.EXE"), std::string("#!/bin/sh\n# ") + kModuleMark + "\necho \"own $*\" >> '" +
                                                      log_.string() + "'\nexit 0\n");
        std::filesystem::permissions(wp::ToHostPath(wp::JoinPath(runtime, "INSTALL.EXE")).value(),
                                     std::filesystem::perms::owner_all);
    }
    // An [Installer] section with more keys; the uninstallers go with the uninstallations.
    static std::string Installer(const std::string& keys) { return "[Installer]\r\nUnInstallerOptions=0\r\n" + keys; }
    std::filesystem::path log_;
};

TEST_F(RelatedAppsTest, InstallTimeRules) {
    struct Case {
        const char* name;
        std::vector<std::string> rules;
        std::vector<std::string> installed;  // listed applications (their uninstallers end with 0)
        int exitCode;
        std::string log;     // the uninstallers that ran
        const char* told;    // UTF-8, a line of the console; empty: none asked for
    } cases[] = {
        {"stop when installed, and it is", {Rule("alpha", 1, 0)}, {"alpha"}, kExitRequirements, "",
         "alpha のアプリ がインストールされているため、インストールを続けられません。"},
        {"stop when installed, and it is not", {Rule("alpha", 1, 0)}, {}, kExitInstalled, "", ""},
        {"stop when missing, and it is", {Rule("alpha", 2, 0)}, {}, kExitRequirements, "",
         "alpha のアプリ がインストールされていないため、インストールを続けられません。"},
        {"stop when missing, and it is there", {Rule("alpha", 2, 0)}, {"alpha"}, kExitInstalled, "", ""},
        {"uninstall it first", {Rule("alpha", 3, 0)}, {"alpha"}, kExitInstalled, "alpha --keep\n",
         "alpha のアプリ をアンインストールしています。"},
        {"uninstall it first, not there", {Rule("alpha", 3, 0)}, {}, kExitInstalled, "", ""},
        // Another maker's uninstaller runs as it is, even when silence is asked for.
        {"uninstall silently, another maker's", {Rule("alpha", 4, 0)}, {"alpha"}, kExitInstalled, "alpha --keep\n", ""},
        {"a disabled rule", {Rule("alpha", 1, 0, false, false)}, {"alpha"}, kExitInstalled, "", ""},
        {"an uninstall-time rule only", {Rule("alpha", 0, 1)}, {"alpha"}, kExitInstalled, "", ""},
        // Rules apply in order; one whose case applies ends the list when it says so.
        {"a rule that ends the list", {Rule("alpha", 3, 0, true), Rule("beta", 1, 0)}, {"alpha", "beta"}, kExitInstalled,
         "alpha --keep\n", ""},
        {"a rule that would end the list, not applying", {Rule("alpha", 3, 0, true), Rule("beta", 1, 0)}, {"beta"},
         kExitRequirements, "", "beta のアプリ がインストールされているため、インストールを続けられません。"},
        // A later rule that stops the installation stops it before any uninstaller runs.
        {"a later rule stops before uninstallers run", {Rule("alpha", 3, 0), Rule("beta", 1, 0)}, {"alpha", "beta"},
         kExitRequirements, "", ""},
        {"two uninstallers in list order", {Rule("beta", 3, 0), Rule("alpha", 3, 0)}, {"alpha", "beta"}, kExitInstalled,
         "beta --keep\nalpha --keep\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        console = {};
        std::filesystem::remove(log_);
        extra = Installer("EnableRelationApplicationSetting=1\r\n") + Rules(c.rules);
        WriteData();
        const auto before = Snapshot();
        for (const std::string& key : c.installed) PutOther(key);
        const InstallResult r = Run();
        EXPECT_EQ(r.exitCode, c.exitCode) << console.All();
        EXPECT_EQ(Log(), c.log);
        if (*c.told) {
            EXPECT_TRUE(console.Has(c.told)) << console.All();
        }
        for (const std::string& key : c.installed) RemoveOther(key);
        if (r.exitCode == kExitInstalled) {
            EXPECT_TRUE(wp::FileExists(Dir("\\a.txt")));
            ASSERT_EQ(RunUninstall(r.record).exitCode, kExitInstalled) << console.All();
        }
        EXPECT_EQ(Differences(before, Snapshot()), "");
    }
}

TEST_F(RelatedAppsTest, RelatedUninstallersThatFailOrAreOurs) {
    // This module's uninstaller is told to be silent; a second "/S" is not added to a command that has one.
    PutOther("alpha", 0, true);
    extra = Installer("EnableRelationApplicationSetting=1\r\n") + Rules({Rule("alpha", 4, 0)});
    WriteData();
    InstallResult r = Run();
    ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(Log(), "alpha --keep /S\n");
    ASSERT_EQ(RunUninstall(r.record).exitCode, kExitInstalled) << console.All();
    std::filesystem::remove(log_);
    ASSERT_EQ(registry->SetString(reg::Root::LocalMachine, std::string(kUninstallKey) + "\\alpha", "UninstallString",
                                  "\"C:\\other\\alpha.exe\" /s"),
              reg::Status::Ok);
    ASSERT_EQ(Run().exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(Log(), "alpha /s\n");
    RemoveOther("alpha");

    // An uninstaller that fails stops the installation before anything is installed.
    ASSERT_EQ(RunUninstall(r.record).exitCode, kExitInstalled) << console.All();
    const auto clean = Snapshot();
    PutOther("beta", 3);
    extra = Installer("EnableRelationApplicationSetting=1\r\n") + Rules({Rule("beta", 3, 0)});
    WriteData();
    const auto before = Snapshot();
    console = {};
    r = Run();
    EXPECT_EQ(r.exitCode, kExitFailed) << console.All();
    EXPECT_TRUE(console.Has("beta のアプリ のアンインストールが完了しませんでした。")) << console.All();
    EXPECT_EQ(Differences(before, Snapshot()), "");

    // So does one listed without a command, and a key that cannot name an application is damage.
    ASSERT_EQ(registry->SetString(reg::Root::LocalMachine, std::string(kUninstallKey) + "\\beta", "UninstallString", ""),
              reg::Status::Ok);
    EXPECT_EQ(Run().exitCode, kExitFailed) << console.All();
    extra = Installer("EnableRelationApplicationSetting=1\r\n") + Rules({Rule("..\\beta", 1, 0)});
    WriteData();
    EXPECT_EQ(Run().exitCode, kExitBadData) << console.All();
    // The list is not read while the project does not use it.
    extra = Installer("EnableRelationApplicationSetting=0\r\n") + Rules({Rule("beta", 1, 0)});
    WriteData();
    r = Run();
    ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
    ASSERT_EQ(RunUninstall(r.record).exitCode, kExitInstalled) << console.All();
    RemoveOther("beta");
    EXPECT_EQ(Differences(clean, Snapshot()), "");
}

TEST_F(RelatedAppsTest, UninstallTimeRules) {
    struct Case {
        const char* name;
        int atUninstall;
        bool installed;
        int otherCode;   // the other uninstaller's exit
        int exitCode;
        std::string log;
    } cases[] = {
        {"stop while it is there", 1, true, 0, kExitRequirements, ""},
        {"stop while it is there, and it is not", 1, false, 0, kExitInstalled, ""},
        {"uninstall it first", 2, true, 0, kExitInstalled, "alpha --keep\n"},
        {"uninstall it first, not there", 2, false, 0, kExitInstalled, ""},
        {"uninstall it first silently, another maker's", 3, true, 0, kExitInstalled, "alpha --keep\n"},
        {"its uninstaller fails", 2, true, 3, kExitFailed, "alpha --keep\n"},
    };
    extra = Installer("EnableRelationApplicationSetting=1\r\n");
    WriteData();
    const auto empty = Snapshot();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        console = {};
        extra = Installer("EnableRelationApplicationSetting=1\r\n") + Rules({Rule("alpha", 0, c.atUninstall)});
        WriteData();
        const InstallResult r = Run();
        ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
        if (c.installed) PutOther("alpha", c.otherCode);
        std::filesystem::remove(log_);
        const auto installed = Snapshot();
        EXPECT_EQ(RunUninstall(r.record).exitCode, c.exitCode) << console.All();
        EXPECT_EQ(Log(), c.log);
        if (c.exitCode != kExitInstalled) {
            EXPECT_EQ(Differences(installed, Snapshot()), "") << "a refused uninstallation removes nothing";
            if (c.otherCode == 0) {
                EXPECT_TRUE(console.Has("alpha のアプリ がインストールされているため、アンインストールを続けられません。"))
                    << console.All();
            }
            RemoveOther("alpha");
            ASSERT_EQ(RunUninstall(r.record).exitCode, kExitInstalled) << console.All();
        }
        RemoveOther("alpha");
        EXPECT_EQ(Differences(empty, Snapshot()), "");
    }
}

TEST_F(RelatedAppsTest, InstallMethodOverAnEarlierInstallation) {
    struct Case {
        int method;
        int exitCode;
        bool ownUninstallerRan;
        std::string relatedLog;  // what the related application's uninstaller noted
    } cases[] = {
        {0, kExitInstalled, false, ""},
        {1, kExitRequirements, false, ""},
        {2, kExitInstalled, true, ""},
        {3, kExitInstalled, true, "alpha --keep\n"},
    };
    StageNotingUninstaller();
    extra = Installer("EnableRelationApplicationSetting=1\r\n") + Rules({Rule("alpha", 0, 0)});
    const auto empty = Snapshot();
    for (const Case& c : cases) {
        SCOPED_TRACE("InstallMethod=" + std::to_string(c.method));
        console = {};
        software = S("[Software]\r\nSoftName=見本アプリ\r\nFolder=%ProgramFilesDir%|見本|\r\nMajorVersion=2\r\n");
        Put(runtime + "\\a.txt", "a");
        WriteData();
        StageNotingUninstaller();
        const InstallResult first = Run();
        ASSERT_EQ(first.exitCode, kExitInstalled) << console.All();
        PutOther("alpha");
        std::filesystem::remove(log_);
        Put(runtime + "\\a.txt", "a, second");
        extra = Installer("EnableRelationApplicationSetting=1\r\nInstallMethod=" + std::to_string(c.method) + "\r\n") +
                Rules({Rule("alpha", 0, 0)});
        WriteData();
        StageNotingUninstaller();
        const InstallResult second = Run();
        EXPECT_EQ(second.exitCode, c.exitCode) << console.All();
        // The own uninstaller runs first, with its record (the arguments reach it in UTF-8), silently
        // like the installation.
        const std::string own = c.ownUninstallerRan ? "own /U " + sj::ToUtf8(first.record) + " /S\n" : "";
        EXPECT_EQ(Log(), own + c.relatedLog);
        if (c.exitCode == kExitRequirements) {
            EXPECT_TRUE(console.Has("見本アプリ のバージョン 2.0.0.0 がすでにインストールされています。")) << console.All();
            EXPECT_EQ(Get(Dir("\\a.txt")), "a");
        } else {
            EXPECT_EQ(Get(Dir("\\a.txt")), "a, second");
        }
        RemoveOther("alpha");
        ASSERT_EQ(RunUninstall(first.record).exitCode, kExitInstalled) << console.All();
        EXPECT_EQ(Differences(empty, Snapshot()), "");
        extra = Installer("EnableRelationApplicationSetting=1\r\n") + Rules({Rule("alpha", 0, 0)});
    }
}

TEST_F(RelatedAppsTest, VersionCheckAgainstTheInstalledOne) {
    const std::string newer = "このコンピュータにはより新しいバージョンの 見本アプリ がインストールされているため、セットアップを続けられません。";
    const std::string updating = "インストールされている 見本アプリ を更新します。";
    struct Case {
        const char* name;
        int options;
        int major;             // this installation's version; 2 is installed
        std::deque<bool> answers;  // not silent when there are answers
        int exitCode;
        const char* told;      // UTF-8
    } cases[] = {
        {"older, no check", 0, 1, {}, kExitInstalled, ""},
        {"older, checked", 16, 1, {}, kExitRequirements, newer.c_str()},
        {"older, asked, yes", 16 | 512, 1, {true}, kExitInstalled, ""},
        {"older, asked, no", 16 | 512, 1, {false}, kExitCancelled, ""},
        {"the same", 16, 2, {}, kExitInstalled, updating.c_str()},
        {"newer", 16, 3, {}, kExitInstalled, updating.c_str()},
    };
    const auto empty = Snapshot();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        console = {};
        extra = Installer("");
        software = S("[Software]\r\nSoftName=見本アプリ\r\nFolder=%ProgramFilesDir%|見本|\r\nMajorVersion=2\r\n");
        WriteData();
        const InstallResult first = Run();
        ASSERT_EQ(first.exitCode, kExitInstalled) << console.All();
        software = S("[Software]\r\nSoftName=見本アプリ\r\nFolder=%ProgramFilesDir%|見本|\r\nMajorVersion=") +
                   std::to_string(c.major) + "\r\n";
        extra = Installer("Options=" + std::to_string(c.options) + "\r\n");
        WriteData();
        const auto installed = Snapshot();
        console.answers = c.answers;
        const InstallResult second = Run(c.answers.empty());
        EXPECT_EQ(second.exitCode, c.exitCode) << console.All();
        if (*c.told) {
            EXPECT_TRUE(console.Has(c.told)) << console.All();
        }
        if (!c.answers.empty()) {
            ASSERT_FALSE(console.questions.empty());
            EXPECT_EQ(console.questions.front().rfind("このコンピュータにはより新しいバージョンの 見本アプリ (2.0.0.0) がインストールされています。", 0),
                      0u)
                << console.questions.front();
        }
        if (c.exitCode != kExitInstalled) {
            EXPECT_EQ(Differences(installed, Snapshot()), "");
        }
        ASSERT_EQ(RunUninstall(first.record).exitCode, kExitInstalled) << console.All();
        EXPECT_EQ(Differences(empty, Snapshot()), "");
    }
}

// The module program as the uninstaller of two projects: installing "main" again with
// InstallMethod 2 runs its uninstaller, whose rule runs the uninstaller of "other" first (each
// a process of its own, each taking the machine's lock in turn); then "main" is installed anew.
TEST_F(RelatedAppsTest, UninstallersOfThisModuleRunOneAnother) {
    const auto empty = Snapshot();
    auto stage = [&](const std::string& folder, const std::string& project, const std::string& keys) {
        Put(folder + "\\INSTALL.DAT", "[Project]\r\nProjectName=" + project + "\r\n[Software]\r\nSoftName=" + project +
                                           "\r\nFolder=%ProgramFilesDir%|" + project + "|\r\n" + Installer(keys) +
                                           "[Files]\r\n0=1|0|%InstallDir%||a.txt||||\r\n");
        Put(folder + "\\a.txt", project + " 1");
        const auto program = wp::ToHostPath(folder + "\\INSTALL.EXE").value();
        std::filesystem::copy_file(ZU_VAZUZA_PROGRAM, program, std::filesystem::copy_options::overwrite_existing);
    };
    stage("C:\\other_setup", "other", "");
    ASSERT_EQ(Install("C:\\other_setup", options, console, *machine, *registry).exitCode, kExitInstalled) << console.All();
    stage("C:\\main_setup", "main",
          "EnableRelationApplicationSetting=1\r\nInstallMethod=2\r\n[RelationApplicationItems]\r\n0=1|Other|other|0|2|||0|65535||\r\n");
    const InstallResult first = Install("C:\\main_setup", options, console, *machine, *registry);
    ASSERT_EQ(first.exitCode, kExitInstalled) << console.All();
    Put("C:\\main_setup\\a.txt", "main 2");

    const InstallResult second = Install("C:\\main_setup", options, console, *machine, *registry);
    ASSERT_EQ(second.exitCode, kExitInstalled) << console.All();
    EXPECT_FALSE(wp::FileExists("C:\\Program Files\\other\\a.txt"));
    EXPECT_NE(registry->KeyExists(reg::Root::LocalMachine, std::string(kUninstallKey) + "\\other"), reg::Status::Ok);
    EXPECT_EQ(Get("C:\\Program Files\\main\\a.txt"), "main 2");

    ASSERT_EQ(RunUninstall(second.record).exitCode, kExitInstalled) << console.All();
    for (const char* setup : {"C:\\other_setup", "C:\\main_setup"}) std::filesystem::remove_all(wp::ToHostPath(setup).value());
    EXPECT_EQ(Differences(empty, Snapshot()), "");
}

}  // namespace
