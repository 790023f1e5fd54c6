// INSTALL.DAT as an attacker or a broken copy makes it: damaged files get the module's own
// texts and a non-zero exit with nothing installed; items that reach outside the folders
// their defines name are refused before anything is written.
#include "installer_fixture.h"

#include "platform/drives.h"

using namespace installer;
using namespace installer::testing;

namespace {

// Bytes that are no text: every byte value, lone lead bytes, "=" and "[" in odd places.
std::string Garbage() {
    std::string out;
    for (int round = 0; round < 8; ++round) {
        for (int b = 0; b < 256; ++b) out.push_back(static_cast<char>((b * 37 + round * 11) & 0xFF));
        out += "\x81[=]\r\n\x9F";
    }
    return out;
}

class HostileDataTest : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        Put(runtime + "\\a.txt", "a");
        ::mkdir(evil_.c_str(), 0755);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(evil_, ec);
        InstallerTest::TearDown();
    }
    // A host folder outside the prefix that must stay empty.
    std::filesystem::path evil_ = std::filesystem::path("/tmp") / ("hostile_" + std::to_string(::getpid()));
};

TEST_F(HostileDataTest, DamagedDataFilesGetTheModulesOwnTextsAndInstallNothing) {
    const std::string sound = "[Project]\r\nProjectName=mihon\r\n" + software + "[Files]\r\n0=1|0|%InstallDir%||a.txt||||\r\n";
    struct Case {
        const char* name;
        std::optional<std::string> data;  // nullopt: no INSTALL.DAT at all
        const char* text;                 // UTF-8, shown although the data file has no texts
        const char* detail;               // a line after it, or empty
    } cases[] = {
        {"missing", std::nullopt, "セットアップ情報ファイル C:\\展開\\INSTALL.DAT を読み込めませんでした。", ""},
        {"empty", "", "セットアップ情報ファイル C:\\展開\\INSTALL.DAT を読み込めませんでした。", ""},
        {"garbage", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe\x81", 20) + Garbage(),
         "セットアップ情報ファイル C:\\展開\\INSTALL.DAT を読み込めませんでした。", ""},
        {"cut before the first item", sound.substr(0, sound.find("0=1|0|")), "インストールする項目がありません。", ""},
        {"cut inside an item", sound.substr(0, sound.find("%InstallDir%||a") + 5),
         "インストール情報ファイル C:\\展開\\INSTALL.DAT が壊れています。", "  %Inst"},
        {"UseSection names no section", "[FilesSetting]\r\nUseSection=Nothing\r\n" + sound,
         "インストール情報ファイル C:\\展開\\INSTALL.DAT が壊れています。", "  [FilesSetting] UseSection=Nothing"},
        {"component includes its own list", sound + "1=1|5|Files|||||1|\r\n",
         "インストール情報ファイル C:\\展開\\INSTALL.DAT が壊れています。", "  [Files]"},
        {"components include each other", sound + "1=1|5|c1|||||1|\r\n[c1]\r\n0=1|5|c2|||||1|\r\n[c2]\r\n0=1|5|c1|||||1|\r\n",
         "インストール情報ファイル C:\\展開\\INSTALL.DAT が壊れています。", "  [c1] c2"},
        {"component names no section", sound + "1=1|5|gone|||||1|\r\n",
         "インストール情報ファイル C:\\展開\\INSTALL.DAT が壊れています。", "  [gone]"},
        {"install folder that names no folder",
         "[Project]\r\nProjectName=mihon\r\n[Software]\r\nSoftName=a\r\nFolder=%ProgramFction|x|\r\n"
         "[Files]\r\n0=1|0|%InstallDir%||a.txt||||\r\n",
         "インストール ファイルが壊れているか、足りません。", "  %ProgramFction\\x"},
    };
    const auto before = Snapshot();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        console = {};
        const std::string dat = runtime + "\\INSTALL.DAT";
        if (c.data) {
            Put(dat, *c.data);
        } else if (wp::FileExists(dat)) {
            ASSERT_TRUE(wp::DeleteFile(dat));
        }
        const InstallResult r = Run();
        EXPECT_NE(r.exitCode, kExitInstalled);
        EXPECT_EQ(r.exitCode, kExitBadData);
        EXPECT_TRUE(console.Has(c.text)) << console.All();
        if (*c.detail) {
            EXPECT_TRUE(console.Has(c.detail)) << console.All();
        }
        EXPECT_FALSE(console.HasLineWith("完了")) << console.All();
        EXPECT_EQ(Differences(before, Snapshot()), "");
    }
}

TEST_F(HostileDataTest, ItemsReachingOutsideTheirFoldersAreRefusedBeforeAnythingIsWritten) {
    const std::string evil = sj::FromUtf8(evil_.string());  // "/tmp/hostile_<pid>"
    std::string zEvil = "Z:" + evil;
    for (char& ch : zEvil) ch = ch == '/' ? '\\' : ch;
    ASSERT_TRUE(wp::SetDrive('D', "/"));  // another letter for the host's root
    std::string dEvil = "D" + zEvil.substr(1);
    const std::string good = "1|0|%InstallDir%||a.txt||||";
    struct Case {
        const char* name;
        std::vector<std::string> items;
        std::string extra;
    } cases[] = {
        {"sub-folder climbs", {good, "1|0|%InstallDir%|..\\..\\..\\..\\tmp|a.txt||||"}, ""},
        {"name climbs", {good, "1|0|%InstallDir%||a.txt||..\\..\\a.txt||"}, ""},
        {"absolute define on the host's root", {good, "1|1|%AbsoluteDir%|" + zEvil + "|||||"}, ""},
        {"another letter for the host's root", {good, "1|1|%AbsoluteDir%|" + dEvil + "|||||"}, ""},
        {"absolute define climbs", {good, "1|1|%AbsoluteDir%|C:\\windows\\..\\..\\..\\x|||||"}, ""},
        {"the extraction folder", {good, "1|1|%InstallerDir%|x|||||"}, ""},
        {"deleting a system folder", {good, "1|4|%WindowsDirectory%||||||"}, ""},
        {"deleting a file named with ..", {good, "1|2|%InstallDir%||..\\..\\windows\\win.ini||||"}, ""},
        {"shortcut name climbs",
         {good},
         "[Installer]\r\nEnableShortCutSetting=1\r\n[ShortCutItems]\r\n0=..\\..\\..\\evil|%InstallDir%\\a.txt||||0||0|2|0|\r\n"},
        {"shortcut group climbs",
         {good},
         "[Installer]\r\nEnableShortCutSetting=1\r\n[ShortCutSetting]\r\nGroupName=..\\..\\..\r\n"
         "[ShortCutItems]\r\n0=a|%InstallDir%\\a.txt||||0||0|2|0|\r\n"},
        {"INI file name climbs",
         {good},
         "[Installer]\r\nEnableIniFileSetting=1\r\n[IniFileItems]\r\n0=0|%WindowsDirectory%||..\\evil.ini|S|K|V||||\r\n"},
        {"INI file on the host's root",
         {good},
         "[Installer]\r\nEnableIniFileSetting=1\r\n[IniFileItems]\r\n0=0|%AbsoluteDir%|" + zEvil + "|evil.ini|S|K|V||||\r\n"},
        {"program on the host's root",
         {good},
         "[Installer]\r\nEnableProgramSetting=1\r\n[ProgramItems]\r\n0=1|%AbsoluteDir%\\Z:\\bin|sh|-c touch|0|1|1||||1,1,|\r\n"},
        {"uninstall record climbs", {good}, "[UninstallSetting]\r\nInfoFileMethod=2\r\nInfoFileName=..\\..\\evil.dat\r\n"},
        {"uninstaller on the host's root",
         {good},
         "[Installer]\r\nUnInstallerAutoSetting=0\r\nUnInstallerStoreFolder=%AbsoluteDir%\r\nUnInstallerStoreSubFolder=" +
             zEvil + "\r\nUnInstallerFileName=u.exe\r\n"},
    };
    const auto before = Snapshot();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        console = {};
        items = c.items;
        extra = c.extra;
        WriteData();
        const InstallResult r = Run();
        EXPECT_EQ(r.exitCode, kExitBadData) << console.All();
        EXPECT_TRUE(console.Has("インストール情報ファイルの次の項目は、使ってよいフォルダの外を指しています。")) << console.All();
        EXPECT_EQ(Differences(before, Snapshot()), "") << "nothing written";
        EXPECT_TRUE(std::filesystem::is_empty(evil_));
    }
}

TEST_F(HostileDataTest, RegistryItemsThatAreNoRegistryValues) {
    extra = "[Installer]\r\nEnableRegistrySetting=1\r\n[RegistryItems]\r\n";
    const char* bad[] = {
        "HKEY_DYN_DATA|Software\\x|v|1|0|||",      // a root without a hive
        "HKEY_NOWHERE|Software\\x|v|1|0|||",       // no root at all (not taken for HKEY_CURRENT_USER)
        "HKEY_CURRENT_USER||v|1|0|||",             // no key
        "HKEY_CURRENT_USER|\\Software|v|1|0|||",   // a leading separator
        "HKEY_CURRENT_USER|Software\\x|v|12a|2|||",  // no number
        "HKEY_CURRENT_USER|Software\\x|v|0A,GG|3|||",  // no bytes
    };
    items = {"1|0|%InstallDir%||a.txt||||"};
    const auto before = Snapshot();
    for (const char* item : bad) {
        SCOPED_TRACE(item);
        console = {};
        const std::string saved = extra;
        extra += std::string("0=") + item + "\r\n";
        WriteData();
        extra = saved;
        EXPECT_EQ(Run().exitCode, kExitBadData) << console.All();
        EXPECT_TRUE(console.Has("インストール情報ファイル C:\\展開\\INSTALL.DAT が壊れています。")) << console.All();
        EXPECT_EQ(Differences(before, Snapshot()), "");
    }
}

}  // namespace
