// The uninstall: the prefix as it was before the installation (every file and every hive
// compared byte for byte), also after installing twice, through the uninstall key's command,
// with the uninstall lists that add to and keep from what is removed.
#include "installer_fixture.h"

#include "platform/shell.h"
#include "zeriru/registry_access.h"

#include <fstream>

using namespace installer;
using namespace installer::testing;
namespace reg = platform::registry;

namespace {

constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\mihon";

class UninstallTest : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        // A project with one item of every kind; the uninstaller goes with the installation.
        items = {S("1|0|%InstallDir%||見本.exe|||0|0|"), S("1|0|%InstallDir%|資料|readme.txt|||0|0|"),
                 S("1|1|%InstallDir%|データ||||0|0|"), S("1|0|%AppDataDir%|見本|settings.ini|||0|0|")};
        extra = S("[Installer]\r\nEnableShortCutSetting=1\r\nEnableRegistrySetting=1\r\nEnableIniFileSetting=1\r\n"
                  "EnableUninstallSetting=1\r\nUnInstallerOptions=0\r\n"
                  "[ShortCutSetting]\r\nGroupName=見本\r\nDefaultCheckBox=1\r\n"
                  "[ShortCutItems]\r\n0=見本|%InstallDir%\\見本.exe||||0||0|3|0|\r\n"
                  "[RegistryItems]\r\n0=HKEY_CURRENT_USER|Software\\Mihon\\Settings|Folder|%InstallDir%|0|||\r\n"
                  "1=HKEY_LOCAL_MACHINE|Software\\Mihon|Version|1|2|||\r\n"
                  "[IniFileItems]\r\n0=0|%WindowsDirectory%||win.ini|Mihon|Path|%InstallDir%||||\r\n");
        Put(runtime + S("\\見本.exe"), "#!/bin/sh\nexit 0\n");
        Put(runtime + "\\readme.txt", "read me");
        Put(runtime + "\\settings.ini", "[A]\r\nB=1\r\n");
    }

    // The record path the uninstall key's command names ("<uninstaller>" /U "<record>").
    std::string RecordOfUninstallString() {
        const std::string command = registry->GetString(reg::Root::LocalMachine, kUninstallKey, "UninstallString");
        const auto args = platform::shell::SplitCommandLine(command);
        if (args.size() < 3 || args[1] != "/U") return {};
        EXPECT_TRUE(wp::FileExists(args[0])) << "the uninstaller " << sj::ToUtf8(args[0]);
        return args[2];
    }
};

TEST_F(UninstallTest, UninstallLeavesThePrefixAsItWas) {
    WriteData();
    const auto before = Snapshot();
    const InstallResult r = Run();
    ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(r.record, Dir("\\Install.dat"));
    EXPECT_EQ(r.uninstallKey, "mihon");
    const std::string record = RecordOfUninstallString();
    ASSERT_EQ(record, r.record);
    EXPECT_EQ(registry->GetString(reg::Root::LocalMachine, kUninstallKey, "InstallLocation"), Dir(""));
    EXPECT_EQ(registry->GetString(reg::Root::LocalMachine, kUninstallKey, "DisplayVersion"), "1.0.0.0");
    EXPECT_TRUE(wp::FileExists("C:\\windows\\rodeve21.exe"));
    EXPECT_NE(Differences(before, Snapshot()), "");

    const UninstallResult u = RunUninstall(record);
    ASSERT_EQ(u.exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(Differences(before, Snapshot()), "") << console.All();
    EXPECT_TRUE(console.Has("見本アプリ はコンピュータから削除されました。")) << console.All();
}

TEST_F(UninstallTest, InstallingTwiceAndUninstallingOnceLeavesNoTrace) {
    WriteData();
    const auto before = Snapshot();
    ASSERT_EQ(Run().exitCode, kExitInstalled) << console.All();
    // The second time every file, value and entry is there already - made by the first.
    const InstallResult second = Run();
    ASSERT_EQ(second.exitCode, kExitInstalled) << console.All();
    ASSERT_EQ(RunUninstall(RecordOfUninstallString()).exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(Differences(before, Snapshot()), "") << console.All();
}

TEST_F(UninstallTest, WhatWasThereBeforeStaysOrIsRestored) {
    // A file of the same name, a registry value and an INI entry the installation overwrites.
    Put(Dir("\\readme.txt"), "the user's");  // not in 資料: no clash
    PutOld(Dir("\\資料\\readme.txt"), "old readme");
    ASSERT_EQ(registry->SetString(reg::Root::CurrentUser, "Software\\Mihon\\Settings", "Folder", "old"), reg::Status::Ok);
    Put("C:\\windows\\win.ini", "[Mihon]\r\nPath=old\r\nOther=1\r\n");
    WriteData();
    const auto before = Snapshot();
    ASSERT_EQ(Run().exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(Get(Dir("\\資料\\readme.txt")), "read me");
    ASSERT_EQ(RunUninstall(RecordOfUninstallString()).exitCode, kExitInstalled) << console.All();
    // The overwritten file stays as the installation left it (its old bytes are not kept); the
    // value and the entry are restored; everything else is as before.
    const auto after = Snapshot();
    EXPECT_EQ(registry->GetString(reg::Root::CurrentUser, "Software\\Mihon\\Settings", "Folder"), "old");
    EXPECT_EQ(Get("C:\\windows\\win.ini"), "[Mihon]\r\nPath=old\r\nOther=1\r\n");
    std::string diff = Differences(before, after);
    EXPECT_EQ(diff, "changed: drive_c/Program Files/見本/資料/readme.txt\n") << console.All();
}

TEST_F(UninstallTest, UninstallListsAddAndKeep) {
    const std::string lists = "EnableDeleteFileSetting=1\r\nEnableUnDeleteFileSetting=1\r\n"
                              "EnableDeleteRegistrySetting=1\r\nEnableUnDeleteRegistrySetting=1\r\n";
    extra.insert(extra.find("[ShortCutSetting]"), lists);
    extra += S(
               "[DeleteFileItems]\r\n0=0|%InstallDir%||user.log|||0|||\r\n1=2|%InstallDir%|cache||*.tmp||2|||\r\n"
               "2=1|%InstallDir%|work||||4|||\r\n"
               "[UnDeleteFileItems]\r\n0=0|%InstallDir%|資料|readme.txt|||\r\n"
               "[DeleteRegistryItems]\r\n0=0|HKEY_CURRENT_USER|Software\\Mihon\\Cache||0||||\r\n"
               "1=0|HKEY_LOCAL_MACHINE|SOFTWARE||0||||\r\n"
               "[UnDeleteRegistryItems]\r\n0=0|HKEY_LOCAL_MACHINE|Software\\Mihon|Version|0||||\r\n");
    WriteData();
    const InstallResult r = Run();
    ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
    // What the application made afterwards.
    Put(Dir("\\user.log"), "log");
    Put(Dir("\\cache\\a.tmp"), "tmp");
    Put(Dir("\\cache\\keep.dat"), "keep");
    Put(Dir("\\work\\deep\\x"), "x");
    ASSERT_EQ(registry->SetString(reg::Root::CurrentUser, "Software\\Mihon\\Cache\\Sub", "v", "1"), reg::Status::Ok);

    ASSERT_EQ(RunUninstall(r.record).exitCode, kExitInstalled) << console.All();
    EXPECT_FALSE(wp::FileExists(Dir("\\user.log")));
    EXPECT_FALSE(wp::FileExists(Dir("\\cache\\a.tmp")));
    EXPECT_EQ(Get(Dir("\\cache\\keep.dat")), "keep");
    EXPECT_FALSE(wp::FileExists(Dir("\\work")));
    EXPECT_EQ(Get(Dir("\\資料\\readme.txt")), "read me") << "kept";
    EXPECT_EQ(registry->KeyExists(reg::Root::CurrentUser, "Software\\Mihon\\Cache"), reg::Status::NotFound);
    EXPECT_EQ(registry->GetDword(reg::Root::LocalMachine, "Software\\Mihon", "Version"), 1u) << "kept";
    EXPECT_EQ(registry->KeyExists(reg::Root::LocalMachine, "SOFTWARE"), reg::Status::Ok) << "a protected key is never deleted";
    EXPECT_EQ(registry->GetString(reg::Root::CurrentUser, "Software\\Mihon\\Settings", "Folder", "-"), "-");
}

TEST_F(UninstallTest, UniqueKeyForAnotherInstallationOfTheSameName) {
    project = "UseUniqueKey=1\r\n";
    WriteData();
    const InstallResult first = Run();
    ASSERT_EQ(first.exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(first.uninstallKey, "mihon");
    // The same project again into the same folder keeps its key.
    EXPECT_EQ(Run().uninstallKey, "mihon");
    // Into another folder it is another installation.
    software = S("[Software]\r\nInstallerTitle=見本\r\nSoftName=見本アプリ\r\nFolder=%ProgramFilesDir%|見本2|\r\n");
    WriteData();
    const InstallResult other = Run();
    ASSERT_EQ(other.exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(other.uninstallKey, "mihon_1");
    ASSERT_EQ(RunUninstall(first.record).exitCode, kExitInstalled) << console.All();
    EXPECT_TRUE(wp::FileExists(S("C:\\Program Files\\見本2\\見本.exe")));
    EXPECT_TRUE(wp::FileExists("C:\\windows\\rodeve21.exe")) << "the other installation still needs it";
    ASSERT_EQ(RunUninstall(other.record).exitCode, kExitInstalled) << console.All();
    EXPECT_FALSE(wp::FileExists("C:\\windows\\rodeve21.exe"));
}

TEST_F(UninstallTest, SystemFilesStayUnlessTheProjectRemovesThem) {
    items.push_back("1|0|%SystemDirectory%||lib.dll||||");
    Put(runtime + "\\lib.dll", "library");
    for (const bool remove : {false, true}) {
        SCOPED_TRACE(remove ? "SystemFileDelete=1" : "default");
        extra += remove ? "[UninstallSetting]\r\nSystemFileDelete=1\r\nSystemFileDeleteMessage=1\r\n" : "";
        WriteData();
        const InstallResult r = Run();
        ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
        console = {};
        console.answers = {true, true, true};  // uninstall, settings, the system file
        ASSERT_EQ(RunUninstall(r.record, false).exitCode, kExitInstalled) << console.All();
        EXPECT_EQ(wp::FileExists("C:\\windows\\system32\\lib.dll"), !remove);
        EXPECT_EQ(console.questions.size(), remove ? 2u : 1u) << console.All();
        wp::DeleteFile("C:\\windows\\system32\\lib.dll");  // the next round starts without it
    }
}

TEST_F(UninstallTest, MissingRecordIsToldInTheModulesOwnWords) {
    const UninstallResult u = RunUninstall(Dir("\\Install.dat"));
    EXPECT_EQ(u.exitCode, kExitBadData);
    EXPECT_TRUE(console.Has("アンインストール情報が見つからないため、アンインストールを続けられません。")) << console.All();
}

}  // namespace

namespace {

// A program that notes whether the installed readme is there, in a log beside the prefix.
class ProcessOrderTest : public UninstallTest {
protected:
    void SetUp() override {
        UninstallTest::SetUp();
        log_ = root_ / "order.log";
        Put("C:\\windows\\note.sh", "#!/bin/sh\nif [ -e \"$2\" ]; then s=present; else s=absent; fi\necho \"$1 $s\" >> \"" +
                                        log_.string() + "\"\n");
        std::filesystem::permissions(wp::ToHostPath("C:\\windows\\note.sh").value(), std::filesystem::perms::owner_all);
    }
    std::string Program(const std::string& name, int timing) const {
        const std::string readme = wp::ToHostPath(Dir("\\資料\\readme.txt"))->string();
        return "1|%WindowsDirectory%\\|note.sh|" + zeriru::EncodeProjectText(name + " \"" + sj::FromUtf8(readme) + "\"") +
               "|0|" + std::to_string(timing) + "|1||65535||1,1,|";
    }
    std::string Log() const {
        std::ifstream in(log_);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // An order list: "1|<step>|" per step, off steps with field 1 = 0.
    static std::string Order(const char* section, std::initializer_list<std::pair<int, bool>> steps) {
        std::string out = std::string("[") + section + "]\r\n";
        int i = 0;
        for (const auto& [step, on] : steps)
            out += std::to_string(i++) + "=" + (on ? "1" : "0") + "|" + std::to_string(step) + "|||||65535|\r\n";
        return out;
    }
    std::filesystem::path log_;
};

TEST_F(ProcessOrderTest, TheProjectsOrdersAndTheStepsItSwitchesOff) {
    // Installation: the program "after the copy" first, the shortcuts off. Uninstallation: the
    // files before the program, the shortcuts and the registry off.
    extra.insert(extra.find("UnInstallerOptions=0"), "EnableProgramSetting=1\r\nEnableInstallProcessOrderSetting=1\r\n"
                                                      "EnableUnInstallProcessOrderSetting=1\r\n");
    extra += "[ProgramItems]\r\n0=" + Program("after-copy", 4) + "\r\n1=" + Program("before-uninstall", 2) + "\r\n";
    extra += Order("InstallProcessOrderItems", {{7, true}, {0, true}, {1, false}, {2, true}, {3, true}, {6, true}});
    extra += Order("UnInstallProcessOrderItems", {{0, true}, {6, true}, {1, false}, {2, false}, {3, true}, {4, true}});
    WriteData();
    const InstallResult r = Run();
    ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(Log(), "after-copy absent\n") << "run before the files, as the order says";
    const std::string shortcut = wp::JoinPath(machine->ShellFolder(1, false), S("見本\\見本.lnk"));
    EXPECT_FALSE(wp::FileExists(shortcut)) << "the shortcut step is off";
    EXPECT_EQ(registry->GetString(reg::Root::CurrentUser, "Software\\Mihon\\Settings", "Folder"), Dir(""));

    ASSERT_EQ(RunUninstall(r.record).exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(Log(), "after-copy absent\nbefore-uninstall absent\n") << "the files went first";
    EXPECT_FALSE(wp::FileExists(Dir("\\見本.exe")));
    EXPECT_EQ(registry->GetString(reg::Root::CurrentUser, "Software\\Mihon\\Settings", "Folder"), Dir(""))
        << "the registry step is off";
}

}  // namespace
