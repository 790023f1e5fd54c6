// The archive component: switches and command lines as the libraries receive them (through
// recording stand-in libraries), its results, and a whole pack and self-extractor run through
// the real libraries.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "dialog_confirmer.h"
#include "platform/sjis.h"
#include "zeriru/archive_control.h"

namespace zeriru {
namespace {

namespace fs = std::filesystem;
namespace sj = platform::sjis;

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "archive_control_XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void WriteFile(const fs::path& p, const std::string& data) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << data;
}
std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Windows paths in these tests are host paths written with '\' separators.
class TestHost : public ArchiveHost {
public:
    TestHost(fs::path editor, fs::path libs) : editor_(std::move(editor)), libs_(std::move(libs)) {}
    std::string EditorFolder() const override { return editor_.string() + "\\"; }
    fs::path HostPath(std::string_view windowsPath) const override {
        std::string s;
        for (std::size_t i = 0; i < windowsPath.size(); i = sj::NextChar(windowsPath, i)) {
            const std::size_t len = sj::CharLength(windowsPath, i);
            s += (len == 1 && windowsPath[i] == '\\') ? std::string("/") : std::string(windowsPath.substr(i, len));
        }
        return fs::path(s);
    }
    fs::path LibraryFolder() const override { return libs_; }

private:
    fs::path editor_;
    fs::path libs_;
};

// Access to the recording stand-in: the same loaded copy the component uses.
struct Fake {
    void* handle;
    explicit Fake(const char* lib) : handle(::dlopen((std::string(FAKE_ARCHIVERS_DIR) + "/" + lib).c_str(), RTLD_NOW)) {
        Set("FakeSetResult", 0);
        Set("FakeSetRunning", 0);
    }
    ~Fake() { ::dlclose(handle); }
    std::string Last() const {
        return reinterpret_cast<const char* (*)()>(::dlsym(handle, "FakeLastCommand"))();
    }
    int Calls() const { return reinterpret_cast<int (*)()>(::dlsym(handle, "FakeCalls"))(); }
    void Set(const char* fn, int v) { reinterpret_cast<void (*)(int)>(::dlsym(handle, fn))(v); }
};

struct Fixture : ::testing::Test {
    TempDir dir;
    TestHost host{dir.path(), FAKE_ARCHIVERS_DIR};
    Fake lha{"libunlha32.so"};
    Fake cab{"libcab32.so"};
    std::string stage;
    std::string out;
    void SetUp() override {
        fs::create_directories(dir.path() / "stage");
        stage = (dir.path() / "stage").string();
        out = dir.path().string();
    }
    std::string Path(const char* name) const { return (dir.path() / name).string(); }
};

struct LhaCase {
    const char* name;
    TLhaOptions::TCompressType type;
    unsigned options;
    bool silent;
    const char* switches;  // between "u" and the archive
};

TEST_F(Fixture, LhaPackSwitchesFollowTheOptions) {
    const LhaCase cases[] = {
        {"defaults", TLhaOptions::ctLh5, TLhaOptions::coIncludeHidden | TLhaOptions::coOverWrite, false,
         "-jm2 -c1 -a1 -gp0"},
        {"silent lh6", TLhaOptions::ctLh6, TLhaOptions::coIncludeHidden | TLhaOptions::coOverWrite, true,
         "-jm3 -c1 -a1 -n -gp0"},
        {"lh7", TLhaOptions::ctLh7, TLhaOptions::coIncludeHidden | TLhaOptions::coOverWrite, false, "-jm4 -c1 -a1 -gp0"},
        {"lh0 no options", TLhaOptions::ctLh0, 0, false, "-jm0 -gp0"},
        {"all options", TLhaOptions::ctLh5, 15, false, "-jm2 -x1 -c1 -a1 -r2 -gp0"},
        {"recurse without folders", TLhaOptions::ctLh5, TLhaOptions::coRecurse, false, "-jm2 -r1 -gp0"},
    };
    for (const LhaCase& c : cases) {
        TArchiveControl control(host);
        control.LhaOptions.CompressType = c.type;
        control.LhaOptions.CompressOptions = c.options;
        control.SilentMode = c.silent;
        control.SetArchiveFile(Path("a.lzh"));
        ASSERT_EQ(control.Kind(), ArchiveKind::Lha);
        EXPECT_EQ(control.Pack(stage, {"*.*"}), 0) << c.name;
        EXPECT_EQ(lha.Last(), std::string("u ") + c.switches + " \"" + Path("a.lzh") + "\" \"" + stage + "\\\" \"*.*\" ")
            << c.name;
    }
}

TEST_F(Fixture, LhaSelfExtractorCommandLine) {
    WriteFile(dir.path() / "a.lzh", "x");  // exists: its kind is asked from the libraries
    TArchiveControl control(host);
    control.SetArchiveFile(Path("a.lzh"));
    EXPECT_EQ(control.Kind(), ArchiveKind::Lha);  // the recording library accepts anything
    control.SilentMode = true;
    EXPECT_EQ(control.MakeSfx(out + "\\"), 0);
    EXPECT_EQ(lha.Last(), "s -+ -x1 -gw4 -n -gp0 \"" + Path("a.lzh") + "\" \"" + out + "\\\" ");
    control.SilentMode = false;
    EXPECT_EQ(control.MakeSfx(out), 0);
    EXPECT_EQ(lha.Last(), "s -+ -x1 -gw4 -gp0 \"" + Path("a.lzh") + "\" \"" + out + "\\\" ");
}

TEST_F(Fixture, CabCommandLinesAndLevels) {
    TArchiveControl control(host);
    control.SetArchiveFile(Path("b.CAB"));
    ASSERT_EQ(control.Kind(), ArchiveKind::Cab);
    control.CabOptions.SetCompressLevel(18);
    control.SilentMode = true;
    EXPECT_EQ(control.Pack(stage, {"*.*"}), 0);
    EXPECT_EQ(cab.Last(), "-a -ml:18 -i \"" + Path("b.CAB") + "\" \"" + stage + "\\\" \"*.*\" ");
    control.SilentMode = false;
    control.CabOptions.SetCompressLevel(30);
    EXPECT_EQ(control.PackCommandLine(stage, {"*.*"}).rfind("-a -ml:21 \"", 0), 0u);
    control.CabOptions.SetCompressLevel(3);
    EXPECT_EQ(control.CabOptions.CompressLevel(), 15);
    control.CabOptions.CompressType = TCabOptions::ctQuantum;
    control.CabOptions.SetCompressLevel(9);
    EXPECT_EQ(control.CabOptions.CompressLevel(), 7);

    WriteFile(dir.path() / "b.CAB", "x");
    control.SilentMode = true;
    EXPECT_EQ(control.MakeSfx(out), 0);
    EXPECT_EQ(cab.Last(), "-f -i \"" + Path("b.CAB") + "\" \"" + out + "\\\" ");
}

TEST_F(Fixture, QuotesInPathsAreDoubled) {
    fs::create_directories(dir.path() / "we\"ird");
    TArchiveControl control(host);
    control.SetArchiveFile(Path("q\"q.lzh"));
    EXPECT_EQ(control.Pack(Path("we\"ird"), {"a\"b.txt"}), 0);
    EXPECT_NE(lha.Last().find("\"" + out + "/q\"\"q.lzh\" \"" + out + "/we\"\"ird\\\" \"a\"\"b.txt\" "), std::string::npos)
        << lha.Last();
}

TEST_F(Fixture, MoreThan240MasksGoThroughTheResponseFile) {
    TArchiveControl control(host);
    control.SetArchiveFile(Path("a.lzh"));
    std::vector<std::string> masks;
    for (int i = 0; i < 240; ++i) masks.push_back("f" + std::to_string(i) + ".txt");
    EXPECT_EQ(control.Pack(stage, masks), 0);
    EXPECT_NE(lha.Last().find("\"f239.txt\" "), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.path() / "Response.txt"));

    masks.push_back(sj::S("表.txt"));
    EXPECT_EQ(control.Pack(stage, masks), 0);
    const std::string tail = "@\"" + out + "\\Response.txt\" ";
    ASSERT_GE(lha.Last().size(), tail.size());
    EXPECT_EQ(lha.Last().substr(lha.Last().size() - tail.size()), tail);
    EXPECT_EQ(lha.Last().find("f0.txt"), std::string::npos);
    const std::string response = ReadFile(dir.path() / "Response.txt");
    EXPECT_EQ(response.rfind("\"f0.txt\"\r\n\"f1.txt\"\r\n", 0), 0u);
    EXPECT_NE(response.find("\"" + sj::S("表.txt") + "\"\r\n"), std::string::npos);
}

TEST_F(Fixture, Results) {
    TArchiveControl control(host);
    // No kind.
    control.SetArchiveFile(Path("a.zip"));
    EXPECT_EQ(control.Kind(), ArchiveKind::None);
    EXPECT_EQ(control.Pack(stage, {"*.*"}), TArchiveControl::kNoKind);
    EXPECT_EQ(control.MakeSfx(out), TArchiveControl::kNoKind);

    control.SetArchiveFile(Path("a.lzh"));
    // Busy library: no call.
    const int calls = lha.Calls();
    lha.Set("FakeSetRunning", 1);
    EXPECT_EQ(control.Pack(stage, {"*.*"}), TArchiveControl::kBusy);
    EXPECT_EQ(control.MakeSfx(out), TArchiveControl::kBusy);
    lha.Set("FakeSetRunning", 0);
    EXPECT_EQ(lha.Calls(), calls);
    // Missing folder, missing archive, library error.
    EXPECT_EQ(control.Pack(Path("nothere"), {"*.*"}), TArchiveControl::kFailed);
    EXPECT_EQ(control.MakeSfx(out), TArchiveControl::kFailed);  // a.lzh does not exist
    lha.Set("FakeSetResult", 0x8010);
    EXPECT_EQ(control.Pack(stage, {"*.*"}), TArchiveControl::kFailed);
    lha.Set("FakeSetResult", 0);

    // An existing cabinet cannot be packed into.
    WriteFile(dir.path() / "c.cab", "x");
    lha.Set("FakeSetResult", 1);  // the LHA library does not know the file; the CAB one does
    control.SetArchiveFile(Path("c.cab"));
    lha.Set("FakeSetResult", 0);
    ASSERT_EQ(control.Kind(), ArchiveKind::Cab);
    const int cabCalls = cab.Calls();
    EXPECT_EQ(control.Pack(stage, {"*.*"}), TArchiveControl::kFailed);
    EXPECT_EQ(cab.Calls(), cabCalls);
}

TEST(ArchiveControl, MissingLibraryOrEntryGives0x8000) {
    TempDir dir;
    for (const fs::path& libs : {dir.path() / "empty", fs::path(NOENTRY_ARCHIVERS_DIR)}) {
        fs::create_directories(dir.path() / "empty");
        fs::create_directories(dir.path() / "stage");
        TestHost host(dir.path(), libs);
        TArchiveControl control(host);
        EXPECT_EQ(control.Unlha("t \"x.lzh\""), 0x8000) << libs;
        EXPECT_EQ(control.Cab("-t \"x.cab\""), 0x8000) << libs;
        EXPECT_FALSE(control.UnlhaGetRunning());
        control.SetArchiveFile((dir.path() / "a.lzh").string());
        EXPECT_EQ(control.Pack((dir.path() / "stage").string(), {"*.*"}), TArchiveControl::kFailed);
    }
}

TEST(ArchiveControl, BuildsInstallersWithTheRealLibraries) {
    TempDir dir;
    TestHost host(dir.path(), REAL_ARCHIVERS_DIR);
    WriteFile(dir.path() / "stage/INSTALL.DAT", std::string(50000, 'i'));
    WriteFile(dir.path() / "stage/$", "$InstallDir=%WORK%\\X\r\n");
    const std::string stage = (dir.path() / "stage").string();
    const std::string out = (dir.path() / "out").string();
    fs::create_directories(out);
    for (const char* name : {"setup.lzh", "setup.cab"}) {
        TArchiveControl control(host);
        control.SilentMode = true;
        const std::string archive = out + "/" + name;
        control.SetArchiveFile(archive);
        ASSERT_EQ(control.Pack(stage, {"*.*"}), 0) << name;
        {
            DialogConfirmer confirm;  // the CAB library asks for its options
            ASSERT_EQ(control.MakeSfx(out), 0) << name;
        }
        EXPECT_TRUE(fs::exists(dir.path() / "out/setup.exe")) << name;
        fs::remove(dir.path() / "out/setup.exe");

        // Once the archive exists its kind comes from the libraries, whatever its name.
        const std::string renamed = out + "/renamed.dat";
        fs::rename(archive, renamed);
        control.SetArchiveFile(renamed);
        EXPECT_EQ(control.Kind(), std::string(name) == "setup.lzh" ? ArchiveKind::Lha : ArchiveKind::Cab) << name;
        fs::remove(renamed);
    }
    TArchiveControl control(host);
    WriteFile(dir.path() / "junk.dat", "neither");
    control.SetArchiveFile((dir.path() / "junk.dat").string());
    EXPECT_EQ(control.Kind(), ArchiveKind::None);
}

}  // namespace
}  // namespace zeriru

namespace zeriru {
namespace {

class DriveMapHost : public ArchiveHost {
public:
    std::string EditorFolder() const override { return "C:\\"; }
};

TEST(ArchiveControl, DefaultHostMapsThroughTheDriveMap) {
    DriveMapHost host;
    EXPECT_EQ(host.HostPath("Z:\\tmp"), fs::path("/tmp"));
    EXPECT_EQ(host.HostPath("Z:\\a|b"), fs::path());  // not a valid Windows path
    EXPECT_EQ(host.LibraryFolder().filename(), "lib");
}

}  // namespace
}  // namespace zeriru
