#include "platform/shell.h"

#include "platform/registry.h"
#include "platform/winpath.h"
#include "prefix_fixture.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <thread>

using namespace platform::shell;
namespace reg = platform::registry;
namespace fs = std::filesystem;

namespace {

class ShellTest : public PrefixTest {
protected:
    void SetUp() override {
        PrefixTest::SetUp();
        std::string error;
        ASSERT_TRUE(ProvisionPrefix(&error)) << error;
        log_ = root_ / "calls.log";
    }
    void TearDown() override {
        ::unsetenv("PLATFORM_OPEN_COMMAND");
        ::unsetenv("ZUZORUVE_SHARE");
        PrefixTest::TearDown();
    }
    // A host script that appends its arguments, one per line, to calls.log.
    fs::path WriteRecorder(const fs::path& where) {
        fs::create_directories(where.parent_path());
        std::ofstream(where) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\" >> '" << log_.string() << "'; done\n";
        ::chmod(where.c_str(), 0755);
        return where;
    }
    std::vector<std::string> Logged(std::size_t atLeast = 1) {
        // The handler runs without being waited for; give it a bounded time to write.
        for (int i = 0; i < 500; ++i) {
            if (Lines().size() >= atLeast) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return Lines();
    }
    std::vector<std::string> Lines() {
        std::vector<std::string> lines;
        std::ifstream in(log_);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    fs::path log_;
};

}  // namespace

TEST_F(ShellTest, KnownFolderIdsLieInTheProvisionedPrefix) {
    for (int id : {csidl::DesktopDirectory, csidl::Programs, csidl::StartMenu, csidl::Startup, csidl::SendTo,
                   csidl::Favorites, csidl::Personal, csidl::Templates, csidl::AppData, csidl::MyMusic,
                   csidl::MyPictures, csidl::CommonDesktopDirectory, csidl::CommonPrograms, csidl::CommonStartMenu,
                   csidl::CommonStartup, csidl::CommonFavorites, csidl::CommonAppData, csidl::Windows, csidl::System,
                   csidl::ProgramFiles, csidl::ProgramFilesCommon, csidl::InternetCache, csidl::Cookies}) {
        auto folder = GetSpecialFolderPath(id);
        ASSERT_TRUE(folder) << id;
        EXPECT_EQ(folder->substr(0, 3), "C:\\") << id;
        EXPECT_NE(folder->back(), '\\') << id;
        EXPECT_TRUE(platform::winpath::DirectoryExists(*folder)) << *folder;
    }
    EXPECT_FALSE(GetSpecialFolderPath(0x3F)) << "unknown ids fall back to the registry";
    EXPECT_EQ(WindowsFolder(), "C:\\windows");
    EXPECT_EQ(SystemFolder(), "C:\\windows\\system32");
    EXPECT_TRUE(platform::winpath::DirectoryExists(TempFolder()));
}

TEST_F(ShellTest, ProvisioningWritesShellFoldersOnlyWhereMissing) {
    reg::Registry registry;
    const char* key = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    EXPECT_EQ(registry.GetString(reg::Root::CurrentUser, key, "Desktop", ""), *GetSpecialFolderPath(csidl::DesktopDirectory));
    EXPECT_EQ(registry.GetString(reg::Root::LocalMachine, key, "Common Desktop", ""),
              *GetSpecialFolderPath(csidl::CommonDesktopDirectory));
    EXPECT_EQ(registry.GetString(reg::Root::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", ""),
              "C:\\Program Files");

    ASSERT_EQ(registry.SetString(reg::Root::CurrentUser, key, "Desktop", "D:\\Mine"), reg::Status::Ok);
    ASSERT_TRUE(ProvisionPrefix());
    EXPECT_EQ(registry.GetString(reg::Root::CurrentUser, key, "Desktop", ""), "D:\\Mine");
}

TEST_F(ShellTest, DamagedHiveStopsProvisioningAndIsLeftAlone) {
    fs::path hive = reg::Registry().HivePath(reg::Root::CurrentUser);
    std::ofstream(hive, std::ios::trunc) << "garbage";
    std::string error;
    EXPECT_FALSE(ProvisionPrefix(&error));
    EXPECT_NE(error.find("HKEY_CURRENT_USER"), std::string::npos) << error;
    std::ifstream in(hive);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "garbage");
}

TEST_F(ShellTest, NamesOfUserAndComputer) {
    EXPECT_FALSE(UserName().empty());
    std::string computer = ComputerName();
    EXPECT_FALSE(computer.empty());
    EXPECT_LE(computer.size(), 15u);
    EXPECT_EQ(computer, platform::sjis::ToUpper(computer));
}

TEST_F(ShellTest, DocumentsOpenWithTheirAssociation) {
    WriteRecorder(C("windows/system32/viewer.exe"));
    reg::Registry registry;
    registry.SetString(reg::Root::ClassesRoot, ".log", "", "logfile");
    registry.SetString(reg::Root::ClassesRoot, "logfile\\shell\\open\\command", "",
                       "\"C:\\windows\\system32\\viewer.exe\" /view \"%1\"");
    EXPECT_EQ(FindAssociation(".LOG"), "\"C:\\windows\\system32\\viewer.exe\" /view \"%1\"");
    EXPECT_EQ(FindAssociation("txt"), "");

    std::ofstream(C("users/a.log")) << "x";
    auto r = RunProgram("C:\\USERS\\A.LOG", "", "", true);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(Lines(), (std::vector<std::string>{"/view", "C:\\USERS\\A.LOG"}));
}

TEST_F(ShellTest, FoldersUrlsAndUnassociatedFilesGoToTheDesktopHandler) {
    fs::path handler = WriteRecorder(root_ / "open.sh");
    ::setenv("PLATFORM_OPEN_COMMAND", handler.c_str(), 1);
    EXPECT_TRUE(OpenWithShell("https://example.invalid/update").started);
    EXPECT_TRUE(OpenWithShell("c:\\Program Files").started);
    std::ofstream(C("users/notes.xyz")) << "x";
    EXPECT_TRUE(OpenWithShell("C:\\users\\notes.xyz").started);
    // The handlers run without being waited for, so they may finish in any order.
    auto lines = Logged(3);
    std::sort(lines.begin(), lines.end());
    std::vector<std::string> expected{"https://example.invalid/update", C("Program Files").string(),
                                      C("users/notes.xyz").string()};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines, expected);
}

TEST_F(ShellTest, ProgramsFoundByBareNameAndMissingOnesReported) {
    WriteRecorder(C("windows/system32/TOOL.EXE"));
    auto r = RunProgram("tool.exe", "\"a b\" c", "", true);
    ASSERT_TRUE(r.started);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"a b", "c"}));

    auto sh = RunProgram("SH.EXE", "-c \"exit 4\"", "", true);
    ASSERT_TRUE(sh.started) << "a host program on PATH, asked for by its Windows name";
    EXPECT_EQ(sh.exitCode, 4);

    EXPECT_EQ(RunProgram("C:\\nowhere\\x.exe", "", "", true).error, kErrorPathNotFound);
    EXPECT_EQ(RunProgram("C:\\windows\\x.exe", "", "", true).error, kErrorFileNotFound);
    EXPECT_EQ(RunProgram("", "", "", true).error, kErrorPathNotFound);
}

TEST_F(ShellTest, HelpTopicsOpenTheirPageOrTheIndex) {
    fs::path handler = WriteRecorder(root_ / "open.sh");
    ::setenv("PLATFORM_OPEN_COMMAND", handler.c_str(), 1);
    fs::path share = root_ / "share";
    fs::create_directories(share / "help");
    std::ofstream(share / "help" / "10.html") << "<p>10</p>";
    std::ofstream(share / "help" / "index.html") << "<p>index</p>";
    ::setenv("ZUZORUVE_SHARE", share.c_str(), 1);
    EXPECT_TRUE(OpenHelpTopic(10).started);
    EXPECT_TRUE(OpenHelpTopic(999).started);
    auto lines = Logged(2);
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{(share / "help" / "10.html").string(),
                                               (share / "help" / "index.html").string()}));
}
