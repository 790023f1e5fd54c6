// The zeriru program built and run as a user would, in a fresh prefix.
#include "platform/sjis.h"
#include "platform/sync.h"
#include "platform/winpath.h"
#include "prefix_fixture.h"
#include "zeriru/ini_document.h"
#include "zeriru/project_file.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string out;
};

// Starts zeriru with `arguments` (shell words) and, when given, its own PLATFORM_ROOT; Finish
// waits for it. Two started ones run at the same time.
FILE* StartZeriru(const std::string& arguments, const std::string& prefix = {}) {
    const std::string root = prefix.empty() ? std::string() : "PLATFORM_ROOT='" + prefix + "' ";
    const std::string command =
        root + "ZUZORUVE_SHARE='" SUITE_SHARE_DIR "' '" ZERIRU_PROGRAM "' " + arguments + " 2>&1";
    return ::popen(command.c_str(), "r");
}

ProgramRun Finish(FILE* pipe) {
    ProgramRun run;
    if (!pipe) return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) run.out += buffer;
    const int status = ::pclose(pipe);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    return run;
}

ProgramRun RunZeriru(const std::string& arguments) { return Finish(StartZeriru(arguments)); }

struct ZeriruProgramTest : PrefixTest {
    fs::path dir;
    void SetUp() override {
        PrefixTest::SetUp();
        dir = fs::path(std::getenv("PLATFORM_ROOT")) / "work";
        fs::create_directories(dir / "src");
        std::ofstream(dir / "src" / "readme.txt") << "hello";
    }
    void WriteProject(const std::string& software, const std::string& extra = {}) {
        WriteProjectIn(dir, software, extra);
    }
    static void WriteProjectIn(const fs::path& dir, const std::string& software, const std::string& extra = {}) {
        fs::create_directories(dir / "src");
        std::ofstream(dir / "src" / "readme.txt") << "hello";
        const std::string source = platform::winpath::ToWindowsPath(dir / "src" / "readme.txt");
        std::ofstream(dir / "p.PJ2") << "[Project]\r\nGenerator=DOZOZE 2.0\r\nProjectName=p\r\nCreateFileName=setup\r\n"
                                        "CreateFileType=1\r\nCreateFolderBeforeBackup=0\r\n[Software]\r\n"
                                     << software << "[Files]\r\n0=1|0|%InstallDir%||" << source << "|\r\n" << extra;
    }
};

TEST_F(ZeriruProgramTest, BuildsIntoAHostFolderAndExitsWithTheBuildCode) {
    WriteProject("InstallerTitle=T\r\nSoftName=A\r\nCopyright=C\r\n");
    const ProgramRun ok = RunZeriru("'" + (dir / "p.PJ2").string() + "' /build '" + (dir / "out").string() + "'");
    EXPECT_EQ(ok.exitCode, 0) << ok.out;
    EXPECT_TRUE(fs::exists(dir / "out" / "INSTALL.EXE"));
    EXPECT_TRUE(fs::exists(dir / "out" / "INSTALL.DAT"));
    EXPECT_TRUE(fs::exists(dir / "out" / "Files" / "readme.txt"));
    EXPECT_NE(ok.out.find("処理は正常に終了しました。"), std::string::npos) << ok.out;

    WriteProject("SoftName=A\r\n");
    const ProgramRun failed = RunZeriru("'" + (dir / "p.PJ2").string() + "' /SilentBuild '" + (dir / "out").string() + "'");
    EXPECT_EQ(failed.exitCode, 2) << failed.out;
    EXPECT_NE(failed.out.find("[エラー 2] インストーラのタイトルが設定されていません。"), std::string::npos) << failed.out;
    EXPECT_NE(failed.out.find("総警告数  : 1"), std::string::npos) << failed.out;
}

// A prefix is one machine: the single-instance rule holds inside a prefix, and builds in two
// prefixes run side by side (a build server's case). Before, one user's builds refused each
// other whatever their prefixes.
TEST_F(ZeriruProgramTest, TwoPrefixesBuildAtTheSameTime) {
    const std::string good = "InstallerTitle=T\r\nSoftName=A\r\nCopyright=C\r\n";
    WriteProject(good);
    // An editor of this test's prefix is running: a build here is refused.
    bool existed = true;
    auto running = platform::sync::NamedMutex::Create("VE_ZOVAVA2", true, &existed);
    ASSERT_TRUE(running);
    ASSERT_FALSE(existed);
    const ProgramRun refused = RunZeriru("'" + (dir / "p.PJ2").string() + "' /BUILD '" + (dir / "out").string() + "'");
    EXPECT_EQ(refused.exitCode, 255) << refused.out;
    EXPECT_NE(refused.out.find("Raredovoはすでに起動されています。"), std::string::npos) << refused.out;
    EXPECT_FALSE(fs::exists(dir / "out"));

    // Two other prefixes, two builds started together: neither sees the other, nor this one.
    const fs::path one = root_ / "machine1";
    const fs::path two = root_ / "machine2";
    WriteProjectIn(one / "work", good);
    WriteProjectIn(two / "work", good);
    auto args = [](const fs::path& prefix) {
        return "'" + (prefix / "work" / "p.PJ2").string() + "' /SILENTBUILD '" + (prefix / "work" / "out").string() + "'";
    };
    FILE* first = StartZeriru(args(one), (one / "prefix").string());
    FILE* second = StartZeriru(args(two), (two / "prefix").string());
    const ProgramRun a = Finish(first);
    const ProgramRun b = Finish(second);
    EXPECT_EQ(a.exitCode, 0) << a.out;
    EXPECT_EQ(b.exitCode, 0) << b.out;
    EXPECT_TRUE(fs::exists(one / "work" / "out" / "Files" / "readme.txt"));
    EXPECT_TRUE(fs::exists(two / "work" / "out" / "Files" / "readme.txt"));
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::string kGood = "InstallerTitle=T\r\nSoftName=A\r\nCopyright=C\r\n";

// The console used to answer No to the question about the project's own language texts, so a
// command-line build replaced them by the module's.
TEST_F(ZeriruProgramTest, KeepsTheProjectsOwnLanguageTexts) {
    const std::string own = platform::sjis::S("ようこそ、自前の文です");
    WriteProject(kGood, "[ResourceString_1041]\r\n100=" + own + "\r\n");
    const ProgramRun run = RunZeriru("'" + (dir / "p.PJ2").string() + "' /BUILD '" + (dir / "out").string() + "'");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const zeriru::TIniDocument dat(dir / "out" / "INSTALL.DAT");
    EXPECT_EQ(dat.ReadString("ResourceString_1041", "100"), own);
    // What the project lacks still comes from the module's language file.
    EXPECT_FALSE(dat.ReadString("ResourceString_1041", "101").empty());
}

// A protected project used to end the program with 64 and no word. Now: a message, exit 77,
// and two ways to give the password without a terminal - none of which shows it.
TEST_F(ZeriruProgramTest, ProtectedProjectsTakeTheirPasswordUnattended) {
    const std::string secret = "S3cret-pass";
    WriteProject(kGood);
    zeriru::TIniDocument doc(dir / "p.PJ2");
    doc.WriteString("Project", "ProjectData", zeriru::ScrambleText(secret, zeriru::kProjectDataPasses));
    ASSERT_TRUE(doc.UpdateFile());
    std::ofstream(dir / "right.pass") << secret << "\n";
    std::ofstream(dir / "wrong.pass") << "s3cret-pass\n";
    const std::string build = "'" + (dir / "p.PJ2").string() + "' /BUILD '" + (dir / "out").string() + "' </dev/null";
    struct Case {
        std::string command;
        int exitCode;
    } cases[] = {
        {build, 77},
        {"--password-file '" + (dir / "wrong.pass").string() + "' " + build, 77},
        {"--password-file '" + (dir / "right.pass").string() + "' " + build, 0},
        {"--password-file='" + (dir / "right.pass").string() + "' " + build, 0},
        {"--password-file '" + (dir / "missing.pass").string() + "' " + build, 64},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const ProgramRun run = RunZeriru(c.command);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.out;
        if (c.exitCode == 77) {
            EXPECT_NE(run.out.find("プロジェクトはパスワードで保護されています。"), std::string::npos) << run.out;
        }
        EXPECT_EQ(run.out.find(secret), std::string::npos);
    }
    ::setenv("ZERIRU_PASSWORD", secret.c_str(), 1);
    const ProgramRun fromEnvironment = RunZeriru(build);
    ::setenv("ZERIRU_PASSWORD", "wrong", 1);
    const ProgramRun wrongEnvironment = RunZeriru(build);
    ::unsetenv("ZERIRU_PASSWORD");
    EXPECT_EQ(fromEnvironment.exitCode, 0) << fromEnvironment.out;
    EXPECT_EQ(fromEnvironment.out.find(secret), std::string::npos);
    EXPECT_EQ(wrongEnvironment.exitCode, 77) << wrongEnvironment.out;
    // The built installer's data file carries no password either.
    EXPECT_EQ(Slurp(dir / "out" / "INSTALL.DAT").find("ProjectData"), std::string::npos);
}

// On the command line too, an output folder that holds the project, or the editor, is refused
// before anything is deleted (the copy question is answered Yes there).
TEST_F(ZeriruProgramTest, RefusesOutputFoldersThatWouldDestroyTheProject) {
    WriteProject(kGood);
    const std::string before = Slurp(dir / "p.PJ2");
    const fs::path editor = root_ / "drive_c" / "Program Files" / "Zuzoruve" / "Raredovo";
    for (const fs::path& out : {dir, dir.parent_path(), editor}) {
        SCOPED_TRACE(out.string());
        const ProgramRun run = RunZeriru("'" + (dir / "p.PJ2").string() + "' /BUILD '" + out.string() + "'");
        EXPECT_EQ(run.exitCode, 12) << run.out;
        EXPECT_NE(run.out.find("[エラー 12] 作成先のフォルダには"), std::string::npos) << run.out;
        EXPECT_EQ(Slurp(dir / "p.PJ2"), before);
        EXPECT_TRUE(fs::exists(dir / "src" / "readme.txt"));
        EXPECT_TRUE(fs::exists(editor / "Module" / "ZU_VAZUZA.DAT"));
    }
}

}  // namespace
