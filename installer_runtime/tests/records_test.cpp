// The record kinds beyond files: shortcuts read back by the independent reader lnkinfo,
// registry values of every type and timing, INI entries of every processing, and programs at
// their timings.
#include "installer_fixture.h"

#include "platform/profile.h"
#include "shell_link.h"
#include "zeriru/registry_access.h"

#include <cstdio>

using namespace installer;
using namespace installer::testing;
namespace reg = platform::registry;

namespace {

// "Label : value" lines of lnkinfo's report.
std::map<std::string, std::string> LnkInfo(const std::filesystem::path& file) {
    std::map<std::string, std::string> out;
    const std::string command = "lnkinfo '" + file.string() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string text(line);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        const std::size_t colon = text.find(": ");
        if (colon == std::string::npos) continue;
        std::string label = text.substr(0, colon);
        label.erase(0, label.find_first_not_of('\t'));
        label.erase(label.find_last_not_of(" \t") + 1);
        out[label] = text.substr(colon + 2);
    }
    out["exit"] = std::to_string(::pclose(pipe));
    return out;
}

class RecordsTest : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        project = S("UseUniqueKey=0\r\n");
        items = {S("1|0|%InstallDir%||見本.exe|||0|0|"), S("1|0|%InstallDir%||readme.txt|||0|0|")};
        Put(runtime + S("\\見本.exe"), "#!/bin/sh\nexit 0\n");
        Put(runtime + "\\readme.txt", "read me");
    }
    std::filesystem::path Host(const std::string& windows) const { return wp::ToHostPath(windows).value(); }
    std::string Shell(int kind, bool common = false) const { return machine->ShellFolder(kind, common); }
};

TEST_F(RecordsTest, ShortcutsAreShellLinksTheIndependentReaderReads) {
    extra = S("[Installer]\r\nEnableShortCutSetting=1\r\n"
              "[ShortCutSetting]\r\nGroupName=見本グループ\\サブ\r\nShowCheckBox=1\r\nDefaultCheckBox=1\r\n"
              "[ShortCutItems]\r\n"
              // programs and desktop; a sub-group in the name; arguments and icon with defines
              "0=道具\\見本|%InstallDir%\\見本.exe|/open \"%InstallDir%\\readme.txt\"||%InstallDir%\\見本.exe|2|見本を起動します|2|3|0|\r\n"
              // start menu, own working folder
              "1=説明書|%InstallDir%\\readme.txt||%WindowsDirectory%||0||0|4|0|\r\n"
              // quick launch: the project's initial choice leaves it out
              "2=速い|%InstallDir%\\見本.exe||||0||0|32|0|\r\n"
              // an internet shortcut in the program group
              "3=ホームページ|https://example.com/見本||||0||0|2|1|\r\n");
    WriteData();
    const InstallResult r = Run();
    ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();

    const std::string app = Dir("");
    const std::string group = wp::JoinPath(Shell(1), S("見本グループ\\サブ"));
    struct Expected {
        std::string file;
        std::string target, arguments, workingDir, description, icon;
    } links[] = {
        {group + S("\\道具\\見本.lnk"), app + S("\\見本.exe"), "/open \"" + app + "\\readme.txt\"", app,
         S("見本を起動します"), app + S("\\見本.exe")},
        {wp::JoinPath(Shell(0), S("見本.lnk")), app + S("\\見本.exe"), "/open \"" + app + "\\readme.txt\"", app,
         S("見本を起動します"), app + S("\\見本.exe")},
        {wp::JoinPath(Shell(2), S("説明書.lnk")), app + "\\readme.txt", "", "C:\\windows", "", ""},
    };
    for (const Expected& e : links) {
        SCOPED_TRACE(sj::ToUtf8(e.file));
        ASSERT_TRUE(wp::FileExists(e.file)) << console.All();
        auto info = LnkInfo(Host(e.file));
        EXPECT_EQ(info["exit"], "0");
        EXPECT_EQ(info["Local path"], sj::ToUtf8(e.target));
        EXPECT_EQ(info["Command line arguments"], sj::ToUtf8(e.arguments));
        EXPECT_EQ(info["Working directory"], sj::ToUtf8(e.workingDir));
        EXPECT_EQ(info["Description"], sj::ToUtf8(e.description));
        EXPECT_EQ(info["Icon location"], sj::ToUtf8(e.icon));
        EXPECT_EQ(info["File size"], e.target.find("readme") != std::string::npos ? "7 bytes" : "17 bytes");
    }
    // The window state: maximized for item 0 (ShowCommand at offset 0x3C).
    const std::string bytes = Get(links[0].file);
    ASSERT_GT(bytes.size(), 0x40u);
    EXPECT_EQ(static_cast<int>(bytes[0x3C]), 3);
    EXPECT_EQ(static_cast<int>(bytes[0x38]), 2) << "icon index";

    EXPECT_FALSE(wp::FileExists(wp::JoinPath(Shell(5), S("速い.lnk")))) << "quick launch was not chosen";
    EXPECT_EQ(Get(group + S("\\ホームページ.url")), S("[InternetShortcut]\r\nURL=https://example.com/見本\r\n"));
    // Every shortcut is in the record, as a shortcut.
    const zeriru::TIniDocument record = zeriru::TIniDocument::OpenWindowsPath(r.record);
    int shortcuts = 0;
    for (const auto& [key, value] : record.ReadSectionValues("Files")) shortcuts += zeriru::GetItemField(value, 4) == "S";
    EXPECT_EQ(shortcuts, 4);
}

TEST_F(RecordsTest, ShortcutChoicesOfTheUser) {
    extra = S("[Installer]\r\nEnableShortCutSetting=1\r\n[ScreenSetting]\r\nPanel04=0\r\n"
              "[ShortCutSetting]\r\nShowCheckBox=1\r\nDefaultCheckBox=0\r\nVisibleSelectUser=1\r\nCheckSelectUser=0\r\n"
              "[ShortCutItems]\r\n0=見本|%InstallDir%\\見本.exe||||0||0|3|0|\r\n");
    WriteData();
    // Asked: the group (typed), all users (yes), the desktop (yes), then ready (yes).
    console.textAnswers = {"自分の\\グループ"};
    console.answers = {true, true, true};
    ASSERT_EQ(Run(false).exitCode, kExitInstalled) << console.All();
    EXPECT_TRUE(wp::FileExists(wp::JoinPath(Shell(1, true), S("自分の\\グループ\\見本.lnk")))) << console.All();
    EXPECT_TRUE(wp::FileExists(wp::JoinPath(Shell(0, true), S("見本.lnk"))));
    EXPECT_FALSE(wp::FileExists(wp::JoinPath(Shell(0), S("見本.lnk"))));
}

TEST_F(RecordsTest, MissingShortcutTargetFailsTheInstallationUnlessUnchecked) {
    extra = S("[Installer]\r\nEnableShortCutSetting=1\r\n[ShortCutItems]\r\n0=無い|%InstallDir%\\無い.exe||||0||0|2|0|\r\n");
    WriteData();
    EXPECT_EQ(Run().exitCode, kExitFailed) << console.All();
    EXPECT_FALSE(wp::FileExists(Dir(""))) << "undone";
    extra = S("[Installer]\r\nEnableShortCutSetting=1\r\n[ShortCutItems]\r\n0=無い|%InstallDir%\\無い.exe||||0||0|2|2|\r\n");
    WriteData();
    EXPECT_EQ(Run().exitCode, kExitInstalled) << console.All();
    EXPECT_TRUE(wp::FileExists(wp::JoinPath(Shell(1), S("見本アプリ\\無い.lnk")))) << "group: the application's name";
}

TEST_F(RecordsTest, RegistryValuesOfEveryTypeAtTheirTimings) {
    ASSERT_EQ(registry->SetString(reg::Root::CurrentUser, "Software\\Mihon", "Kept", "old"), reg::Status::Ok);
    // An environment variable this process has: a plain string takes its value, an
    // expandable one keeps the reference (and still gets the installer's own folders).
    ::setenv("MIHON_ROOT", "C:\\expanded", 1);
    extra = S("[Installer]\r\nEnableRegistrySetting=1\r\n[RegistryItems]\r\n"
              "0=HKEY_LOCAL_MACHINE|Software\\Mihon|Path|%InstallDir%|0|||\r\n"
              "1=HKEY_LOCAL_MACHINE|Software\\Mihon|Expand|%MIHON_ROOT%\\x|1|||\r\n"
              "2=HKEY_LOCAL_MACHINE|Software\\Mihon|Count|4294967295|2|||\r\n"
              "3=HKEY_LOCAL_MACHINE|Software\\Mihon|Bytes|0A,FF,00|3|||\r\n"
              "4=HKEY_CURRENT_USER|Software\\Mihon||既定値|0|||\r\n"
              // the value exists: option bit 0 keeps it
              "5=HKEY_CURRENT_USER|Software\\Mihon|Kept|new|0|0,0,,,,,1,,,0|\r\n"
              // written at uninstall only, and at both
              "6=HKEY_CURRENT_USER|Software\\Mihon|Later|bye|0|0,0,,,,,0,,,1|\r\n"
              "7=HKEY_CURRENT_USER|Software\\Mihon|Both|hi|0|0,0,,,,,0,,,2|\r\n"
              // only when a key exists (condition at install)
              "8=HKEY_CURRENT_USER|Software\\Mihon|IfKey|1|0|1,0,HKEY_CURRENT_USER,Software\\Nothing,,,0,,,0|\r\n"
              // only for Windows XP (OS mask 32)
              "9=HKEY_CURRENT_USER|Software\\Mihon|XpOnly|1|0||32|\r\n"
              "10=HKEY_LOCAL_MACHINE|Software\\Mihon|Plain|%MIHON_ROOT%\\x|0|||\r\n"
              "11=HKEY_LOCAL_MACHINE|Software\\Mihon|ExpandDir|%InstallDir%\\%MIHON_ROOT%|1|||\r\n");
    WriteData();
    const auto before = Snapshot();
    const InstallResult r = Run();
    ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
    auto& R = *registry;
    EXPECT_EQ(zeriru::RegReadString(R, "HKEY_LOCAL_MACHINE", "Software\\Mihon", "Path"), Dir(""));
    reg::Value v;
    ASSERT_EQ(R.GetValue(reg::Root::LocalMachine, "Software\\Mihon", "Expand", &v), reg::Status::Ok);
    EXPECT_EQ(v.type, reg::ValueType::ExpandSz);
    EXPECT_EQ(v.bytes, "%MIHON_ROOT%\\x") << "stored unexpanded";
    EXPECT_EQ(R.GetString(reg::Root::LocalMachine, "Software\\Mihon", "Plain"), "C:\\expanded\\x");
    ASSERT_EQ(R.GetValue(reg::Root::LocalMachine, "Software\\Mihon", "ExpandDir", &v), reg::Status::Ok);
    EXPECT_EQ(sj::ToUtf8(v.bytes), sj::ToUtf8(Dir("\\%MIHON_ROOT%")));
    ::unsetenv("MIHON_ROOT");
    EXPECT_EQ(R.GetDword(reg::Root::LocalMachine, "Software\\Mihon", "Count"), 4294967295u);
    EXPECT_EQ(zeriru::RegReadBinaryText(R, "HKEY_LOCAL_MACHINE", "Software\\Mihon", "Bytes"), "0A,FF,00");
    EXPECT_EQ(R.GetString(reg::Root::CurrentUser, "Software\\Mihon", ""), S("既定値"));
    EXPECT_EQ(R.GetString(reg::Root::CurrentUser, "Software\\Mihon", "Kept"), "old");
    EXPECT_EQ(R.GetString(reg::Root::CurrentUser, "Software\\Mihon", "Later", "-"), "-");
    EXPECT_EQ(R.GetString(reg::Root::CurrentUser, "Software\\Mihon", "Both"), "hi");
    EXPECT_EQ(R.GetString(reg::Root::CurrentUser, "Software\\Mihon", "IfKey", "-"), "-");
    EXPECT_EQ(R.GetString(reg::Root::CurrentUser, "Software\\Mihon", "XpOnly", "-"), "-");
    // The uninstall key of the installation.
    EXPECT_EQ(R.GetString(reg::Root::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\mihon",
                          "DisplayName"),
              S("見本アプリ"));

    ASSERT_EQ(RunUninstall(r.record).exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(R.KeyExists(reg::Root::LocalMachine, "Software\\Mihon"), reg::Status::NotFound);
    EXPECT_EQ(R.GetString(reg::Root::CurrentUser, "Software\\Mihon", "Kept"), "old");
    // Uninstall-time values are written then and stay; the install-time ones are gone.
    EXPECT_EQ(R.GetString(reg::Root::CurrentUser, "Software\\Mihon", "Later"), "bye");
    EXPECT_EQ(R.GetString(reg::Root::CurrentUser, "Software\\Mihon", "Both"), "hi");
    EXPECT_EQ(R.GetString(reg::Root::CurrentUser, "Software\\Mihon", "", "-"), "-");
}

TEST_F(RecordsTest, IniEntriesOfEveryProcessing) {
    const std::string ini = "C:\\windows\\mihon.ini";
    Put(ini, "; the user's comment\r\n[Old]\r\nGone=1\r\n[Keep]\r\nName=old\r\nStay=1\r\n");
    extra = S("[Installer]\r\nEnableIniFileSetting=1\r\n[IniFileItems]\r\n"
              "0=0|%WindowsDirectory%||mihon.ini|Keep|Name|%InstallDir%||||\r\n"
              "1=0|%WindowsDirectory%||mihon.ini|New|Key|値|||0,0,,,,,0,,,0|\r\n"
              "2=0|%WindowsDirectory%||mihon.ini|Keep|Stay|changed|||0,0,,,,,1,,,0|\r\n"
              "3=2|%WindowsDirectory%||mihon.ini|Old|||||\r\n"
              "4=0|%InstallDir%|conf|app.ini|App|Lang|ja|||\r\n"
              "5=1|%WindowsDirectory%||mihon.ini|Keep|Nothing|||||\r\n"
              "6=0|%WindowsDirectory%||mihon.ini|Later|At|uninstall|||0,0,,,,,0,,,1|\r\n");
    WriteData();
    const InstallResult r = Run();
    ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
    const auto host = wp::ToHostPath(ini).value();
    namespace pf = platform::profile;
    EXPECT_EQ(pf::GetPrivateProfileString("Keep", "Name", "-", host), Dir(""));
    EXPECT_EQ(pf::GetPrivateProfileString("New", "Key", "-", host), S("値"));
    EXPECT_EQ(pf::GetPrivateProfileString("Keep", "Stay", "-", host), "1") << "the value existed: kept";
    EXPECT_EQ(pf::GetPrivateProfileString("Old", "Gone", "-", host), "-") << "section deleted";
    EXPECT_EQ(pf::GetPrivateProfileString("Later", "At", "-", host), "-");
    EXPECT_EQ(pf::GetPrivateProfileString("App", "Lang", "-", wp::ToHostPath(Dir("\\conf\\app.ini")).value()), "ja");
    EXPECT_NE(Get(ini).find("; the user's comment"), std::string::npos);

    ASSERT_EQ(RunUninstall(r.record).exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(pf::GetPrivateProfileString("Keep", "Name", "-", host), "old") << "restored";
    EXPECT_EQ(pf::GetPrivateProfileString("New", "Key", "-", host), "-");
    EXPECT_EQ(pf::GetPrivateProfileSectionNames(host), (std::vector<std::string>{"Keep", "Later"}));
    EXPECT_EQ(pf::GetPrivateProfileString("Later", "At", "-", host), "uninstall");
    EXPECT_FALSE(wp::FileExists(Dir(""))) << "app.ini and its folders were the installation's";
}

TEST_F(RecordsTest, ProgramsRunAtTheirTimings) {
    // Each program notes its name and whether the installed file is there yet (host paths).
    Put("C:\\windows\\tool.sh", "#!/bin/sh\nif [ -e \"$2\" ]; then s=present; else s=absent; fi\n"
                                  "echo \"$1 $s\" >> \"$3\"\nexit $4\n");
    std::filesystem::permissions(Host("C:\\windows\\tool.sh"), std::filesystem::perms::owner_all);
    const std::string readme = Host(Dir("\\readme.txt")).string();
    const std::filesystem::path log = root_ / "programs.log";
    auto program = [&](const std::string& name, int timing, int options, const char* code,
                       const std::string& display = "1,1,") {
        const std::string arguments = sj::FromUtf8(name + " \"" + readme + "\" \"" + log.string() + "\" " + code);
        return "1|%WINDOWSDIRECTORY%\\|tool.sh|" + zeriru::EncodeProjectText(arguments) + "|0|" + std::to_string(timing) +
               "|" + std::to_string(options) + "||65535||" + display + "|";
    };
    auto readLog = [&] {
        std::ifstream in(log);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    };
    extra = "[Installer]\r\nEnableProgramSetting=1\r\n[ProgramSetting]\r\nEnableGroupCheckBox=0\r\n[ProgramItems]\r\n"
            "0=" + program("before", 3, 1, "0") + "\r\n1=" + program("after", 4, 1, "0") + "\r\n2=" +
            program("finished", 1, 1, "0") + "\r\n3=" + program("chosen", 0, 1, "0", "1,1,run") + "\r\n4=" +
            program("notchosen", 0, 1, "0", "1,0,run") + "\r\n5=" + program("uninstall", 2, 0, "0") + "\r\n";
    WriteData();
    const InstallResult r = Run();
    ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(readLog(), "before absent\nafter present\nfinished present\nchosen present\n");
    ASSERT_EQ(RunUninstall(r.record).exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(readLog(), "before absent\nafter present\nfinished present\nchosen present\nuninstall present\n");

    // A failing program after the installation is told with its exit code; the installation stays.
    extra = "[Installer]\r\nEnableProgramSetting=1\r\n[ProgramItems]\r\n0=" + program("fails", 1, 1, "3") + "\r\n";
    WriteData();
    console = {};
    const InstallResult failedAfter = Run();
    EXPECT_EQ(failedAfter.exitCode, kExitProgramFailed) << console.All();
    EXPECT_TRUE(console.HasLineWith("終了コード 3")) << console.All();
    EXPECT_TRUE(wp::FileExists(Dir("\\readme.txt")));
    ASSERT_EQ(RunUninstall(failedAfter.record).exitCode, kExitInstalled) << console.All();
    // During the installation (after the copy, waited for) it undoes everything.
    extra = "[Installer]\r\nEnableProgramSetting=1\r\n[ProgramItems]\r\n0=" + program("fails", 4, 1, "3") + "\r\n";
    WriteData();
    console = {};
    EXPECT_EQ(Run().exitCode, kExitFailed) << console.All();
    EXPECT_FALSE(wp::FileExists(Dir("")));
}

TEST(ShellLink, LayoutOfTheHeaderAndStrings) {
    ShellLink link;
    link.target = "C:\\a\\b.exe";
    link.arguments = "x";
    const std::string bytes = EncodeShellLink(link);
    ASSERT_GE(bytes.size(), 0x4Cu);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x4C\0\0\0", 4));
    EXPECT_EQ(static_cast<unsigned char>(bytes[0x14]), 0x02 | 0x20 | 0x80) << "link info, arguments, Unicode";
    EXPECT_EQ(bytes.substr(bytes.size() - 4), std::string(4, '\0')) << "the extra data ends at once";
    EXPECT_NE(bytes.find(std::string("C:\\a\\b.exe\0", 11)), std::string::npos) << "the ANSI path";
    EXPECT_NE(bytes.find(std::string("x\0", 2) + std::string("\0\0\0\0", 4)), std::string::npos) << "arguments last";
}

}  // namespace
