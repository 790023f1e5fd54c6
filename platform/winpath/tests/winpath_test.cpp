#include "platform/winpath.h"

#include "platform/hostfile.h"
#include "platform/pathtext.h"
#include "prefix_fixture.h"

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

namespace fs = std::filesystem;
using namespace platform::winpath;

namespace {
void Touch(const fs::path& p, const std::string& content = "") {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
}
}  // namespace

using Layout = PrefixTest;

TEST_F(Layout, EveryFolderOfTheLayoutExists) {
    for (int f = 0; f <= static_cast<int>(platform::PrefixFolder::CommonTemplates); ++f) {
        std::string path = platform::PrefixFolderPath(static_cast<platform::PrefixFolder>(f));
        EXPECT_TRUE(DirectoryExists(path)) << path;
        EXPECT_EQ(path.substr(0, 3), "C:\\");
        EXPECT_EQ(RemoveBackslash(path), path);
    }
    EXPECT_EQ(platform::ProgramFolderPath(), "C:\\Program Files\\Zuzoruve");
    EXPECT_TRUE(fs::is_directory(C("Program Files/Zuzoruve/Module")));
    EXPECT_TRUE(fs::is_directory(C("windows/system32")));
    EXPECT_TRUE(fs::is_directory(root_ / "registry"));
    EXPECT_TRUE(fs::is_regular_file(root_ / "drives.ini"));
    EXPECT_EQ(platform::PrefixFolderPath(platform::PrefixFolder::UserDesktop),
              "C:\\users\\" + platform::PrefixUserName() + "\\Desktop");
}

TEST_F(Layout, ProvisioningAgainKeepsWhatIsThere) {
    Touch(C("windows/win.ini"), "kept");
    ASSERT_TRUE(platform::WriteHostFileAtomic(root_ / "drives.ini", "[Drives]\nD=/tmp\n"));
    ASSERT_TRUE(platform::EnsurePrefix());
    EXPECT_EQ(platform::ReadHostFile(C("windows/win.ini")).value(), "kept");
    EXPECT_EQ(platform::ReadHostFile(root_ / "drives.ini").value(), "[Drives]\nD=/tmp\n");
}

TEST_F(Layout, SeveralProcessesProvisionOneNewPrefixAtOnce) {
    fs::path fresh = root_ / "fresh";
    ::setenv("PLATFORM_ROOT", fresh.c_str(), 1);
    std::vector<pid_t> children;
    for (int i = 0; i < 4; ++i) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) ::_exit(platform::EnsurePrefix() ? 0 : 1);
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(platform::ReadHostFile(fresh / "drives.ini").value(), DefaultDriveConfig());
    EXPECT_TRUE(DirectoryExists(platform::PrefixFolderPath(platform::PrefixFolder::CommonStartup)));
    // No temporary file of the losers is left behind.
    for (const auto& entry : fs::directory_iterator(fresh)) {
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
    }
    ::setenv("PLATFORM_ROOT", root_.c_str(), 1);
}

using DriveMap = PrefixTest;

TEST_F(DriveMap, BuiltInLettersAndConfiguredOnes) {
    EXPECT_EQ(GetDrive('c')->hostFolder, root_ / "drive_c");
    EXPECT_EQ(GetDrive('Z')->hostFolder, fs::path("/"));
    EXPECT_FALSE(GetDrive('D').has_value());
    EXPECT_FALSE(GetDrive('1').has_value());
    EXPECT_EQ(GetDriveType("C:\\"), DriveType::Fixed);
    EXPECT_EQ(GetDriveType("D:\\"), DriveType::NoRootDir);

    // The file is read again when it changes.
    ASSERT_TRUE(platform::WriteHostFileAtomic(root_ / "drives.ini",
                                              "[drives]\n d = media/cd , cdrom \nE=/srv/e\nZ=\n"
                                              "[Shares]\nServer\\Share=/srv/share\n"));
    EXPECT_EQ(GetDriveType("d:\\x"), DriveType::CdRom);
    EXPECT_EQ(GetDrive('D')->hostFolder, root_ / "media/cd");
    EXPECT_EQ(GetDrive('E')->type, DriveType::Fixed);
    EXPECT_FALSE(GetDrive('Z').has_value());
    EXPECT_EQ(ShareFolder("SERVER", "share").value(), fs::path("/srv/share"));
    EXPECT_EQ(GetDriveType("\\\\server\\SHARE\\x"), DriveType::Remote);
    EXPECT_EQ(ToHostPath("\\\\server\\share\\a\\b").value(), fs::path("/srv/share/a/b"));
    EXPECT_FALSE(ToHostPath("\\\\other\\share\\a").has_value());
    EXPECT_FALSE(ToHostPath("Z:\\tmp").has_value());
}

TEST_F(DriveMap, SetDriveForTheProcessAndPersisted) {
    ASSERT_TRUE(SetDrive('r', "/media/usb", DriveType::Removable));
    EXPECT_EQ(GetDriveType("R:"), DriveType::Removable);
    ASSERT_TRUE(SetDrive('D', root_ / "cd", DriveType::CdRom, true));
    ASSERT_TRUE(RemoveDrive('Z', true));
    ResetDriveOverrides();
    EXPECT_FALSE(GetDrive('R').has_value());          // was for this process only
    EXPECT_EQ(GetDriveType("D:\\"), DriveType::CdRom);  // came back from drives.ini
    EXPECT_FALSE(GetDrive('Z').has_value());
    // The comments of the file survive the rewrite.
    std::string text = platform::ReadHostFile(root_ / "drives.ini").value();
    EXPECT_NE(text.find("; UNC shares"), std::string::npos);
    EXPECT_NE(text.find("D=" + (root_ / "cd").string() + ",cdrom"), std::string::npos);

    EXPECT_FALSE(SetDrive('?', "/x"));
    EXPECT_FALSE(SetDrive('D', ""));
    EXPECT_FALSE(SetDrive('D', "/x", DriveType::NoRootDir));
}

using Resolve = PrefixTest;

TEST_F(Resolve, FolderWhoseTrailByteIsABackslash) {
    const std::string hyo = S("表");
    fs::path dir = C("表");
    Touch(dir / "データ.txt", "x");
    EXPECT_EQ(ToHostPath("C:\\" + hyo + "\\" + S("データ.txt")).value(), dir / "データ.txt");
    EXPECT_EQ(ToHostPath("c:/" + hyo + "/" + S("データ.TXT")).value(), dir / "データ.txt");
    EXPECT_EQ(ToWindowsPath(dir / "データ.txt"), "C:\\" + hyo + "\\" + S("データ.txt"));
    EXPECT_TRUE(DirectoryExists("C:\\" + hyo));
    EXPECT_TRUE(DirectoryExists("C:\\" + hyo + "\\"));
    EXPECT_FALSE(DirectoryExists("C:\\" + hyo + "\\" + S("データ.txt")));
}

TEST_F(Resolve, CaseOfEachElementIsIgnored) {
    Touch(C("Program Files/Zuzoruve/Project/Sample.PJ2"));
    struct Case {
        std::string windows;
        fs::path host;
    } cases[] = {
        {"C:\\PROGRAM FILES\\zuzoruve\\project\\sample.pj2", C("Program Files/Zuzoruve/Project/Sample.PJ2")},
        {"C:\\program files\\ZUZORUVE\\new\\Deeper\\x.txt", C("Program Files/Zuzoruve/new/Deeper/x.txt")},
        {"C:\\Program Files\\zuzoruve\\project\\sample.pj2\\x", C("Program Files/Zuzoruve/Project/Sample.PJ2/x")},
        {"C:\\WINDOWS\\.\\System32\\..\\TEMP", C("windows/temp")},
        {"C:\\", root_ / "drive_c"},
        {"Z:\\", fs::path("/")},
    };
    for (const Case& c : cases) {
        auto host = ToHostPath(c.windows);
        ASSERT_TRUE(host.has_value()) << c.windows;
        EXPECT_EQ(host->lexically_normal(), c.host.lexically_normal()) << c.windows;
    }
}

TEST_F(Resolve, NamesDifferingOnlyInCase) {
    Touch(C("x/readme.txt"), "lower");
    Touch(C("x/README.TXT"), "upper");
    Touch(C("x/ReadMe.txt"), "mixed");
    // The exact spelling wins; else the host name that sorts first byte-wise.
    EXPECT_EQ(ToHostPath("C:\\x\\ReadMe.txt").value(), C("x/ReadMe.txt"));
    EXPECT_EQ(ToHostPath("C:\\x\\readme.txt").value(), C("x/readme.txt"));
    EXPECT_EQ(ToHostPath("C:\\X\\Readme.Txt").value(), C("x/README.TXT"));
    EXPECT_EQ(ReadWholeFile("C:\\x\\README.txt").value(), "upper");
}

TEST_F(Resolve, HostNamesInRawShiftJisAreFound) {
    // A file made by a tool that wrote the Shift-JIS bytes themselves as the host name.
    Touch(C("raw") / std::string("\x95\x5C.txt"), "raw");
    EXPECT_EQ(ToHostPath("C:\\raw\\" + S("表.TXT")).value(), C("raw") / std::string("\x95\x5C.txt"));
    EXPECT_EQ(ToWindowsPath(C("raw") / std::string("\x95\x5C.txt")), "C:\\raw\\" + S("表.txt"));
}

TEST_F(Resolve, HostToWindowsTakesTheLongestDrive) {
    ASSERT_TRUE(SetDrive('D', C("mnt/d")));
    EXPECT_EQ(ToWindowsPath(C("mnt/d/a.txt")), "D:\\a.txt");
    EXPECT_EQ(ToWindowsPath(C("mnt/d")), "D:\\");
    EXPECT_EQ(ToWindowsPath(C("mnt/dx")), "C:\\mnt\\dx");
    EXPECT_EQ(ToWindowsPath(C("mnt")), "C:\\mnt");
    EXPECT_EQ(ToWindowsPath(root_ / "registry/../drive_c/a"), "C:\\a");
    EXPECT_EQ(ToWindowsPath("/usr/share/"), "Z:\\usr\\share");
    EXPECT_EQ(ToWindowsPath("/"), "Z:\\");
    // A host name that no Windows name can spell.
    EXPECT_EQ(ToWindowsPath("/tmp/a\\b"), "");
    ASSERT_TRUE(RemoveDrive('Z'));
    EXPECT_EQ(ToWindowsPath("/usr"), "");
}

TEST_F(Resolve, PrefixReachedThroughASymbolicLink) {
    fs::path link = root_.string() + "_link";
    fs::create_directory_symlink(root_, link);
    ::setenv("PLATFORM_ROOT", link.c_str(), 1);
    EXPECT_EQ(ToWindowsPath(root_ / "drive_c/windows"), "C:\\windows");
    EXPECT_EQ(ToWindowsPath(link / "drive_c/windows"), "C:\\windows");
    ::setenv("PLATFORM_ROOT", root_.c_str(), 1);
    fs::remove(link);
}

TEST_F(Resolve, CommandLinePaths) {
    EXPECT_EQ(FromCommandLine("/tmp/a.PJ2"), "Z:\\tmp\\a.PJ2");
    EXPECT_EQ(FromCommandLine((C("Project") / "表.PJ2").string()), "C:\\Project\\" + S("表.PJ2"));
    EXPECT_EQ(FromCommandLine("C:\\表\\a.PJ2"), "C:\\" + S("表") + "\\a.PJ2");
    EXPECT_EQ(FromCommandLine("d:/a.PJ2"), "d:/a.PJ2");
    EXPECT_EQ(FromCommandLine("\\\\srv\\share\\a.PJ2"), "\\\\srv\\share\\a.PJ2");
    EXPECT_EQ(FromCommandLine(""), "");
    char* cwd = ::get_current_dir_name();
    ASSERT_EQ(::chdir(C("windows").c_str()), 0);
    EXPECT_EQ(FromCommandLine("sub/a.PJ2"), "C:\\windows\\sub\\a.PJ2");
    ASSERT_EQ(::chdir(cwd), 0);
    ::free(cwd);
}

TEST_F(Resolve, InvalidPathsGiveNothing) {
    const std::string bad[] = {
        "",         "C:",        "C:a",           "::",         std::string("C:\\a\0b", 6),
        "\\\\",     "Q:\\x",     "\\\\srv\\share", "a\\b",      "\\windows",
        "C:\\a*",   "C:\\a?b",   "C:\\a:b",       "1:\\x",
    };
    for (const std::string& path : bad) EXPECT_FALSE(ToHostPath(path).has_value()) << path;
}
