// The zeriru program built and run as a user would, in a fresh prefix.
#include "platform/winpath.h"
#include "prefix_fixture.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>

namespace fs = std::filesystem;

namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string out;
};

ProgramRun RunZeriru(const std::string& arguments) {
    ProgramRun run;
    const std::string command = "ZUZORUVE_SHARE='" SUITE_SHARE_DIR "' '" ZERIRU_PROGRAM "' " + arguments + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) run.out += buffer;
    const int status = ::pclose(pipe);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    return run;
}

struct ZeriruProgramTest : PrefixTest {
    fs::path dir;
    void SetUp() override {
        PrefixTest::SetUp();
        dir = fs::path(std::getenv("PLATFORM_ROOT")) / "work";
        fs::create_directories(dir / "src");
        std::ofstream(dir / "src" / "readme.txt") << "hello";
    }
    void WriteProject(const std::string& software) {
        const std::string source = platform::winpath::ToWindowsPath(dir / "src" / "readme.txt");
        std::ofstream(dir / "p.PJ2") << "[Project]\r\nGenerator=DOZOZE 2.0\r\nProjectName=p\r\nCreateFileName=setup\r\n"
                                        "CreateFileType=1\r\nCreateFolderBeforeBackup=0\r\n[Software]\r\n"
                                     << software << "[Files]\r\n0=1|0|%InstallDir%||" << source << "|\r\n";
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

}  // namespace
