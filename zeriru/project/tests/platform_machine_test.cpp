#include "zeriru/platform_machine.h"

#include "platform/drives.h"
#include "platform/pathtext.h"
#include "platform/shell.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "test_util.h"
#include "zeriru/defines.h"
#include "zeriru/file_services.h"
#include "zeriru/registry_access.h"

#include <gtest/gtest.h>

#include <stdlib.h>

namespace wp = platform::winpath;
namespace reg = platform::registry;
using namespace zeriru;
using platform::sjis::S;

namespace {

class PlatformMachine : public ::testing::Test {
protected:
    test::TempFolder dir;
    std::unique_ptr<reg::Registry> registry;
    void SetUp() override {
        registry = std::make_unique<reg::Registry>(dir.path / "registry");
        ASSERT_EQ(registry->ProvisionHives(), reg::Status::Ok);
    }
    void TearDown() override { wp::ResetDriveOverrides(); }
};

TEST_F(PlatformMachine, ShellFoldersFallBackToTheRegistryThenToTheUsersFolder) {
    const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    RegWriteString(*registry, "HKEY_CURRENT_USER", key, "Desktop", "D:\\Desk\\");
    RegWriteString(*registry, "HKEY_CURRENT_USER", key, "AppData", "D:\\Roaming");
    RegWriteString(*registry, "HKEY_CURRENT_USER", key, "Start Menu", "D:\\Start");
    RegWriteString(*registry, "HKEY_CURRENT_USER", key, "Favorites", "D:\\Fav");
    RegWriteString(*registry, "HKEY_LOCAL_MACHINE", key, "Common Desktop", "E:\\Desk");
    // A shell that knows nothing.
    TPlatformMachine m(*registry, [](int) { return std::optional<std::string>(); });
    EXPECT_EQ(m.ShellFolder(0, false), "D:\\Desk");
    EXPECT_EQ(m.ShellFolder(0, true), "E:\\Desk");              // HKLM value for kinds 0-3
    EXPECT_EQ(m.ShellFolder(2, true), "D:\\Start");             // empty HKLM value: the user's
    EXPECT_EQ(m.ShellFolder(6, true), "D:\\Fav");               // kinds above 3: the user's
    EXPECT_EQ(m.ShellFolder(5, false), "D:\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch");
    EXPECT_EQ(m.ShellFolder(77, false), "D:\\Start");           // any other kind: the start menu
    EXPECT_EQ(m.ShellFolder(12, true), "");
}

TEST_F(PlatformMachine, FoldersAndNamesComeFromTheShell) {
    namespace csidl = platform::shell::csidl;
    TPlatformMachine m(*registry);
    const std::string desktop = platform::shell::GetSpecialFolderPath(csidl::DesktopDirectory).value();
    EXPECT_EQ(m.ShellFolder(0, false), desktop);
    EXPECT_EQ(m.ShellFolder(0, true), platform::shell::GetSpecialFolderPath(csidl::CommonDesktopDirectory).value());
    EXPECT_EQ(m.ShellFolder(7, true), m.ShellFolder(7, false));  // no all-users documents
    EXPECT_EQ(m.ShellFolder(77, true), m.ShellFolder(2, true));  // any other kind: the start menu
    EXPECT_EQ(m.ShellFolder(5, false), m.ShellFolder(9, false) + "\\Microsoft\\Internet Explorer\\Quick Launch");
    EXPECT_EQ(m.WindowsFolder(), platform::shell::WindowsFolder());
    EXPECT_EQ(m.SystemFolder(), platform::shell::SystemFolder());
    EXPECT_EQ(m.DosCommandFolder(), m.WindowsFolder());
    EXPECT_EQ(m.ProgramFilesFolder(), platform::shell::ProgramFilesFolder());
    EXPECT_EQ(m.ShellFolder(53, true), platform::shell::CommonFilesFolder());
    EXPECT_FALSE(m.TempFolder().empty());
    EXPECT_LE(m.ComputerName().size(), 15u);
    EXPECT_FALSE(m.UserName().empty());
    EXPECT_EQ(m.CurrentDate().size(), 10u);
    EXPECT_EQ(m.CurrentTime().size(), 8u);
    // The protected-folder rule over the real machine.
    EXPECT_TRUE(IsProtectedFolder(platform::sjis::ToLower(desktop) + "\\", 255, m));
    EXPECT_FALSE(IsProtectedFolder(desktop + "\\sub", 255, m));
    // %SystemRootDir% is the drive of the Windows folder.
    EXPECT_EQ(ExpandDefineValue("%SystemRootDir%\\x", m), m.WindowsFolder().substr(0, 2) + "\\x");
}

TEST_F(PlatformMachine, EnvironmentRegistryIniAndCdrom) {
    TPlatformMachine m(*registry);
    ::setenv("ZeriruTestVar", "value", 1);
    EXPECT_EQ(m.Environment("ZERIRUTESTVAR").value_or("?"), "value");
    EXPECT_FALSE(m.Environment("ZeriruNoSuchVariable").has_value());
    EXPECT_EQ(ExpandDefineValue("%AbsoluteDir%\\%zeriruTESTvar%\\x", m), "value\\x");
    ::unsetenv("ZeriruTestVar");

    RegWriteString(*registry, "HKEY_LOCAL_MACHINE", "Software\\Vendor", "Home", S("C:\\表\\App\\run.exe"));
    RegWriteInteger(*registry, "HKEY_LOCAL_MACHINE", "Software\\Vendor", "Count", 7);
    EXPECT_EQ(ExpandDefineValue("%RegistryDirEx%\\HKEY_LOCAL_MACHINE,Software\\Vendor,Home,,", m), S("C:\\表\\App"));
    auto count = m.ReadRegistry("HKEY_LOCAL_MACHINE", "Software\\Vendor", "Count");
    ASSERT_TRUE(count);
    EXPECT_EQ(count->type, RegistryType::DWord);
    EXPECT_EQ(ExpandDefineValue("%Registry%\\HKEY_LOCAL_MACHINE,Software\\Vendor,Count,none,", m), "none");

    const std::string folder = wp::ToWindowsPath(dir.path);
    ASSERT_TRUE(wp::WriteWholeFile(wp::JoinPath(folder, "app.ini"), "[Paths]\r\nHome=F:\\data\\\r\n"));
    EXPECT_EQ(ExpandDefineValue("%IniFileDir%\\" + wp::JoinPath(folder, "APP.INI") + ",paths,home,,", m), "F:\\data");

    // Q: as a CD-ROM drive that holds the file; R: a fixed drive that holds it as well.
    std::filesystem::create_directories(dir.path / "cd" / "setup");
    std::filesystem::create_directories(dir.path / "fixed" / "setup");
    ASSERT_TRUE(wp::WriteWholeFile(wp::ToWindowsPath(dir.path / "cd" / "setup") + "\\disk.id", "1"));
    ASSERT_TRUE(wp::WriteWholeFile(wp::ToWindowsPath(dir.path / "fixed" / "setup") + "\\disk.id", "1"));
    ASSERT_TRUE(wp::SetDrive('R', dir.path / "fixed", wp::DriveType::Fixed));
    ASSERT_TRUE(wp::SetDrive('Q', dir.path / "cd", wp::DriveType::CdRom));
    EXPECT_TRUE(m.IsCdromDrive('Q'));
    EXPECT_FALSE(m.IsCdromDrive('R'));
    EXPECT_EQ(ExpandDefineValue("%CdromDriveDir%\\setup\\disk.id,data", m), "Q:\\data");
}

}  // namespace
