// The file items' options about files that are there: a newer file stays unless the item
// ignores its date or version, a dated name keeps both, a backup is put back at uninstall,
// shared files are counted across installations, and self-registering files are registered
// through the machine's registration program.
#include "installer_fixture.h"

#include "pe_builder.h"

#include <regex>

using namespace installer;
using namespace installer::testing;
namespace reg = platform::registry;

namespace {

constexpr const char* kSharedDlls = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
// Last-write times (FILETIME): long before and long after every staged file.
constexpr std::uint64_t kYear2001 = 126227808000000000ULL;
constexpr std::uint64_t kYear2100 = 157766976000000000ULL;

class FileOptionsTest : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        extra = "[Installer]\r\nUnInstallerOptions=0\r\n";
    }
    std::string Pe(int major) const {
        zeriru::test::PeImage image;
        image.major = static_cast<std::uint16_t>(major);
        return zeriru::test::BuildPe(image);
    }
    std::uint32_t SharedCount(const std::string& file) const {
        return registry->GetDword(reg::Root::LocalMachine, kSharedDlls, file, 0);
    }
};

TEST_F(FileOptionsTest, ANewerFileStaysUnlessTheItemIgnoresItsDateOrVersion) {
    struct Case {
        const char* name;
        std::string there, coming;  // bytes
        std::uint64_t thereTime;
        int options;
        bool replaced;
    } cases[] = {
        {"older date", "old", "new", kYear2001, 0, true},
        {"newer date", "old", "new", kYear2100, 0, false},
        {"newer date, dates ignored", "old", "new", kYear2100, 256, true},
        {"newer version, older date", Pe(2), Pe(1), kYear2001, 0, false},
        {"newer version, versions ignored", Pe(2), Pe(1), kYear2001, 512, true},
        {"newer version, both ignored", Pe(2), Pe(1), kYear2100, 768, true},
        {"older version, newer date", Pe(1), Pe(2), kYear2100, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        console = {};
        items = {"1|0|%InstallDir%||a.exe|||" + std::to_string(c.options) + "|0|"};
        WriteData();
        Put(runtime + "\\a.exe", c.coming);
        Put(Dir("\\a.exe"), c.there);
        ASSERT_TRUE(wp::SetLastWriteTime(Dir("\\a.exe"), c.thereTime));
        const InstallResult r = Run();
        ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
        EXPECT_EQ(Get(Dir("\\a.exe")), c.replaced ? c.coming : c.there);
        EXPECT_EQ(console.Has("より新しいファイルがあるため、上書きしませんでした: " + sj::ToUtf8(Dir("\\a.exe"))), !c.replaced)
            << console.All();
        ASSERT_EQ(RunUninstall(r.record).exitCode, kExitInstalled) << console.All();
        EXPECT_EQ(Get(Dir("\\a.exe")), c.replaced ? c.coming : c.there) << "it was there before: it stays";
        ASSERT_TRUE(wp::DeleteFile(Dir("\\a.exe")));
    }
}

TEST_F(FileOptionsTest, ADatedNameKeepsTheFileThatIsThere) {
    items = {"1|0|%InstallDir%||a.txt|||16|0|"};
    WriteData();
    Put(runtime + "\\a.txt", "new");
    PutOld(Dir("\\a.txt"), "the user's");
    const auto before = Snapshot();
    const InstallResult r = Run();
    ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(Get(Dir("\\a.txt")), "the user's");
    std::vector<std::string> dated;
    for (const wp::FindData& f : wp::FindFiles(Dir("\\a_*.txt"))) dated.push_back(f.name);
    ASSERT_EQ(dated.size(), 1u) << console.All();
    EXPECT_TRUE(std::regex_match(dated[0], std::regex("a_20[0-9]{12}\\.txt"))) << dated[0];
    EXPECT_EQ(Get(Dir("\\") + dated[0]), "new");
    // Installed again, the new file goes beside it once more; one uninstall removes both.
    ASSERT_EQ(Run().exitCode, kExitInstalled) << console.All();
    ASSERT_EQ(RunUninstall(r.record).exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(Differences(before, Snapshot()), "") << console.All();
}

TEST_F(FileOptionsTest, TheReplacedFileIsPutBackAtUninstall) {
    items = {"1|0|%InstallDir%||a.txt|||128|0|", "1|0|%InstallDir%|sub|a.txt|||128|0|"};
    WriteData();
    Put(runtime + "\\a.txt", "new");
    PutOld(Dir("\\a.txt"), "old top");
    PutOld(Dir("\\sub\\a.txt"), "old sub");
    const auto before = Snapshot();
    const InstallResult r = Run();
    ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(Get(Dir("\\a.txt")), "new");
    EXPECT_EQ(Get(Dir("\\Install.bak\\a.txt")), "old top");
    EXPECT_EQ(Get(Dir("\\Install.bak\\a1.txt")), "old sub") << "two files of one name";
    // A second installation keeps the first one's copies, not its own files.
    ASSERT_EQ(Run().exitCode, kExitInstalled) << console.All();
    EXPECT_FALSE(wp::FileExists(Dir("\\Install.bak\\a2.txt")));
    ASSERT_EQ(RunUninstall(r.record).exitCode, kExitInstalled) << console.All();
    EXPECT_TRUE(console.Has("元のファイルを戻しています: " + sj::ToUtf8(Dir("\\a.txt")))) << console.All();
    EXPECT_EQ(Differences(before, Snapshot()), "") << console.All();
}

TEST_F(FileOptionsTest, SharedFilesAreCountedAcrossInstallations) {
    const std::string shared = S("C:\\Program Files\\共有\\shared.dll");
    items = {"1|0|%InstallDir%||a.txt||||", S("1|0|%ProgramFilesDir%|共有|shared.dll|||4|0|")};
    Put(runtime + "\\a.txt", "a");
    Put(runtime + "\\shared.dll", "shared");
    WriteData();
    const auto before = Snapshot();
    // Two projects use the file; one of them installs twice.
    const InstallResult first = Run();
    ASSERT_EQ(first.exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(SharedCount(shared), 1u);
    ASSERT_EQ(Run().exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(SharedCount(shared), 1u) << "one installation counts once";
    const std::string data = Get(runtime + "\\INSTALL.DAT");
    software = S("[Software]\r\nSoftName=別アプリ\r\nFolder=%ProgramFilesDir%|別|\r\n");
    projectName = "other";
    WriteData();
    // The newer file there stays, and is counted all the same.
    ASSERT_TRUE(wp::SetLastWriteTime(shared, kYear2100));
    const InstallResult second = Run();
    ASSERT_EQ(second.exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(SharedCount(shared), 2u);

    ASSERT_EQ(RunUninstall(first.record).exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(SharedCount(shared), 1u);
    EXPECT_EQ(Get(shared), "shared") << "the other installation still uses it";
    ASSERT_EQ(RunUninstall(second.record).exitCode, kExitInstalled) << console.All();
    EXPECT_FALSE(wp::FileExists(shared));
    EXPECT_EQ(Differences(before, Snapshot()), "") << console.All();

    // A file that was there without a count came from an installation that does not count:
    // it stays after ours is gone.
    PutOld(shared, "from elsewhere");
    Put(runtime + "\\INSTALL.DAT", data);
    const InstallResult third = Run();
    ASSERT_EQ(third.exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(SharedCount(shared), 2u);
    ASSERT_EQ(RunUninstall(third.record).exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(Get(shared), "shared");
    EXPECT_EQ(SharedCount(shared), 1u);
}

class RegistrationTest : public FileOptionsTest {
protected:
    std::string Log() const { return wp::ReadWholeFile(wp::ToWindowsPath(log_)).value_or(""); }
    std::filesystem::path log_;
};

TEST_F(RegistrationTest, SelfRegisteringFilesGoThroughTheRegistrationProgram) {
    log_ = root_ / "regsvr32.log";
    items = {"1|0|%InstallDir%||comp.ocx|||6|0|", "1|0|%InstallDir%||types.tlb|||6|0|",
             "1|0|%InstallDir%||plain.txt|||6|0|"};
    WriteData();
    for (const char* f : {"comp.ocx", "types.tlb", "plain.txt"}) Put(runtime + "\\" + f, f);
    const std::string ocx = sj::ToUtf8(Dir("\\comp.ocx"));
    const std::string cannot = "ファイル " + sj::ToUtf8(Dir("\\comp.ocx")) +
                               " は自己登録するファイルですが、このコンピュータには登録するプログラム (REGSVR32.EXE) "
                               "がないため、登録せずにインストールしました。";

    // No registration program: installed unregistered, and told so.
    const auto before = Snapshot();
    InstallResult r = Run();
    ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
    EXPECT_TRUE(console.Has(cannot)) << console.All();
    ASSERT_EQ(RunUninstall(r.record).exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(Differences(before, Snapshot()), "");

    // With one: registered after the copy, unregistered before the removal; the type library
    // and the text file are not.
    PutRegistrationProgram(0, log_);
    const auto withProgram = Snapshot();
    console = {};
    r = Run();
    ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(Log(), "/s " + ocx + "\n");
    EXPECT_EQ(Get("C:\\windows\\registered.list"), ocx + "\n") << "(the program's arguments are UTF-8)";
    ASSERT_EQ(RunUninstall(r.record).exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(Log(), "/s " + ocx + "\n/u /s " + ocx + "\n");
    EXPECT_EQ(Differences(withProgram, Snapshot()), "added:   regsvr32.log\n");

    // A registration that fails undoes the installation, the registration included.
    PutRegistrationProgram(3, log_);
    std::filesystem::remove(log_);
    const auto failing = Snapshot();
    console = {};
    EXPECT_EQ(Run().exitCode, kExitFailed) << console.All();
    EXPECT_TRUE(console.HasLineWith("終了コード 3")) << console.All();
    EXPECT_EQ(Log(), "/s " + ocx + "\n/u /s " + ocx + "\n");
    EXPECT_EQ(Differences(failing, Snapshot()), "added:   regsvr32.log\n");
}

}  // namespace
