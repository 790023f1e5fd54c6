// Self-extractors attacked: tampered directives and options naming programs outside the
// archive, planted links and foreign folders where the extraction folder goes, members that
// clash, and a command that swaps an extracted file before the clean-up.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <vector>

#include "cab/cabinet.h"
#include "lha/archive.h"
#include "lha/crc16.h"
#include "lha/header.h"
#include "platform/sjis.h"
#include "sfx/cab_options.h"
#include "sfx/sfx_file.h"
#include "sfx/stub_support.h"
#include "test_util.h"

namespace archivers {
namespace {

namespace fs = std::filesystem;
namespace sj = platform::sjis;
using namespace archivers::testing;

// The installer inside the archive: notes where it ran and ends with a known code.
constexpr const char* kInstaller = "#!/bin/sh\npwd > ran_in.txt\nexit 7\n";
// A host program outside every archive that an attacker wants started.
constexpr const char* kOutsider = "#!/bin/sh\ntouch \"$(dirname \"$0\")/outsider_ran\"\nexit 0\n";

struct Member {
    std::string name;  // Shift-JIS
    std::string data;
};

std::vector<Member> Installer() {
    return {{"INSTALL.EXE", kInstaller}, {"INSTALL.DAT", "[Software]\r\n"}, {"sub\\data.bin", RandomBytes(3000, 5)}};
}

// A self-extractor made by hand, so that members and directives can be anything.
fs::path MakeLhaSfx(const fs::path& dir, const std::string& directives, std::vector<Member> members) {
    if (!directives.empty()) members.insert(members.begin(), {"$", directives});
    std::string archive;
    for (const Member& mem : members) {
        lha::Member m;
        m.method = "-lh0-";
        m.path = mem.name;
        m.originalSize = m.compressedSize = mem.data.size();
        m.crc = lha::ComputeCrc16(reinterpret_cast<const std::uint8_t*>(mem.data.data()), mem.data.size());
        archive += lha::EncodeHeader(m) + mem.data;
    }
    archive.push_back('\0');
    WriteFile(dir / "a.lzh", archive);
    std::string error;
    EXPECT_TRUE(sfx::MakeSfx(sfx::FindStub("lha_sfx"), dir / "a.lzh", sfx::Kind::Lha, "", dir / "lha.exe", &error))
        << error;
    return dir / "lha.exe";
}

fs::path MakeCabSfx(const fs::path& dir, const sfx::CabSfxOptions& options, const std::vector<Member>& members) {
    std::vector<FoundFile> files;
    int n = 0;
    for (const Member& mem : members) {
        const fs::path host = dir / ("cab_src" + std::to_string(n++));
        WriteFile(host, mem.data);
        FoundFile f;
        f.name = mem.name;
        f.host = host;
        f.size = mem.data.size();
        files.push_back(f);
    }
    std::string error;
    EXPECT_TRUE(cab::WriteCabinet(dir / "a.cab", files, {}, &error)) << error;
    EXPECT_TRUE(sfx::MakeSfx(sfx::FindStub("cab_sfx"), dir / "a.cab", sfx::Kind::Cab, sfx::EncodeCabSfxOptions(options),
                             dir / "cab.exe", &error))
        << error;
    return dir / "cab.exe";
}

sfx::CabSfxOptions CabOptions(const std::string& command, bool deleteAfterRun = false) {
    sfx::CabSfxOptions o;
    o.extractDir = "%temp%\\DOZOZE\\T\\";
    o.command = command;
    o.deleteAfterRun = deleteAfterRun;
    return o;
}

std::string LhaDirectives(const std::string& command) {
    return "$Command=" + command + "\r\n$InstallDir=%WORK%\\DOZOZE\\T\r\n$Flag=31\r\n";
}

int RunIn(const fs::path& tmp, const fs::path& exe, std::string* out, const fs::path& cwd = {}) {
    const std::string cd = cwd.empty() ? "" : "cd " + Quote(cwd) + " && ";
    return RunTool(cd + "env TMPDIR=" + Quote(tmp) + " LANG=C LC_ALL= " + Quote(exe) + " /S", out);
}

// The folders the stub made for "...\DOZOZE\T": T.<unique>.
std::vector<fs::path> ExtractionFolders(const fs::path& tmp) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(tmp / "DOZOZE", ec)) {
        if (e.path().filename().string().rfind("T.", 0) == 0) out.push_back(e.path());
    }
    return out;
}

enum class Stub { Lha, Cab };
void PrintTo(Stub stub, std::ostream* os) { *os << (stub == Stub::Lha ? "lha_sfx" : "cab_sfx"); }

fs::path MakeSfx(Stub stub, const fs::path& dir, const std::string& command, std::vector<Member> members = Installer()) {
    return stub == Stub::Lha ? MakeLhaSfx(dir, LhaDirectives(command), members)
                             : MakeCabSfx(dir, CabOptions(command), members);
}

class SfxAttack : public ::testing::TestWithParam<Stub> {};
INSTANTIATE_TEST_SUITE_P(Stubs, SfxAttack, ::testing::Values(Stub::Lha, Stub::Cab),
                         [](const auto& info) { return info.param == Stub::Lha ? "Lha" : "Cab"; });

TEST_P(SfxAttack, CommandsOutsideTheArchiveAreNeitherMadeExecutableNorStarted) {
    TempDir dir;
    // The attacker's program, a file of mode 0600 beside the user's temporary folder.
    WriteFile(dir / "outsider.sh", kOutsider);
    fs::permissions(dir / "outsider.sh", fs::perms::owner_read | fs::perms::owner_write);
    // Found in the working folder before: a relative command was looked up there.
    WriteFile(dir / "cwd/outsider.sh", kOutsider);
    const std::string folder = GetParam() == Stub::Lha ? "%WORK%\\DOZOZE\\T" : "%temp%\\DOZOZE\\T";
    const std::string refused[] = {
        (dir / "outsider.sh").string(),                 // a host path
        folder + "\\..\\..\\..\\outsider.sh",          // ".." out of the folder
        GetParam() == Stub::Lha ? "%WORK%\\..\\outsider.sh" : "%temp%\\..\\outsider.sh",
        "outsider.sh",                                  // not a member: the working folder's file
        "..\\outsider.sh",
        folder + "\\sub",                               // a folder of the archive
        "C:\\windows\\system32\\cmd.exe",
        "Z:" + sj::FromUtf8((dir / "outsider.sh").string()),
        folder + "\\missing.exe",
    };
    int n = 0;
    for (const std::string& command : refused) {
        SCOPED_TRACE(command);
        const fs::path case_dir = dir / ("case" + std::to_string(n++));
        fs::create_directories(case_dir / "tmp");
        const fs::path exe = MakeSfx(GetParam(), case_dir, command);
        std::string out;
        EXPECT_EQ(RunIn(case_dir / "tmp", exe, &out, dir / "cwd"), sfx::kExitCommandRefused) << out;
        EXPECT_NE(out.find("command is not"), std::string::npos) << out;
        EXPECT_FALSE(fs::exists(dir / "outsider_ran"));
        EXPECT_FALSE(fs::exists(dir / "cwd/outsider_ran"));
        EXPECT_EQ(fs::status(dir / "outsider.sh").permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_TRUE(ExtractionFolders(case_dir / "tmp").empty()) << "nothing is extracted";
    }
}

TEST_P(SfxAttack, TheCommandIsTheMemberInsideTheExtractionFolder) {
    TempDir dir;
    WriteFile(dir / "cwd/install.exe", kOutsider);  // never the working folder's file
    const std::string folder = GetParam() == Stub::Lha ? "%work%\\dozoze\\t" : "%TEMP%\\dozoze\\t";
    for (const std::string& command : {folder + "\\install.exe", std::string("install.exe"), std::string("Install.Exe")}) {
        SCOPED_TRACE(command);
        TempDir run;
        fs::create_directories(run / "tmp");
        const fs::path exe = MakeSfx(GetParam(), run.path(), command);
        std::string out;
        EXPECT_EQ(RunIn(run / "tmp", exe, &out, dir / "cwd"), 7) << out;
        const auto folders = ExtractionFolders(run / "tmp");
        ASSERT_EQ(folders.size(), 1u);
        EXPECT_EQ(ReadFile(folders[0] / "ran_in.txt"), fs::canonical(folders[0]).string() + "\n");
        // Made by the stub: the folder on the way and the extraction folder are private.
        EXPECT_EQ(fs::status(run / "tmp/DOZOZE").permissions() & fs::perms::all, fs::perms::owner_all);
        EXPECT_EQ(fs::status(folders[0]).permissions() & fs::perms::all, fs::perms::owner_all);
        EXPECT_FALSE(fs::exists(dir / "cwd/outsider_ran"));
    }
}

TEST_P(SfxAttack, PlantedLinkOrForeignFolderIsNotExtractedInto) {
    TempDir dir;
    struct Plant {
        const char* what;
        void (*plant)(const fs::path& tmp, const fs::path& victim);
    } plants[] = {
        {"link at DOZOZE", [](const fs::path& tmp, const fs::path& victim) { fs::create_directory_symlink(victim, tmp / "DOZOZE"); }},
        {"folder of another user, mode 0777",
         [](const fs::path& tmp, const fs::path&) {
             fs::create_directories(tmp / "DOZOZE");
             ASSERT_EQ(::chown((tmp / "DOZOZE").c_str(), 65534, 65534), 0);
             fs::permissions(tmp / "DOZOZE", fs::perms::all);
         }},
        {"folder of this user open to everybody",
         [](const fs::path& tmp, const fs::path&) {
             fs::create_directories(tmp / "DOZOZE");
             fs::permissions(tmp / "DOZOZE", fs::perms::all);
         }},
        {"file at DOZOZE", [](const fs::path& tmp, const fs::path&) { WriteFile(tmp / "DOZOZE", "x"); }},
    };
    int n = 0;
    for (const Plant& p : plants) {
        SCOPED_TRACE(p.what);
        const fs::path c = dir / ("case" + std::to_string(n++));
        fs::create_directories(c / "tmp");
        fs::create_directories(c / "victim");
        p.plant(c / "tmp", c / "victim");
        const fs::path exe = MakeSfx(GetParam(), c, "install.exe");
        std::string out;
        EXPECT_EQ(RunIn(c / "tmp", exe, &out), sfx::kExitDamaged) << out;
        EXPECT_TRUE(fs::is_empty(c / "victim"));
        if (fs::is_directory(fs::symlink_status(c / "tmp/DOZOZE"))) {
            EXPECT_TRUE(fs::is_empty(c / "tmp/DOZOZE"));
        }
    }
}

TEST_P(SfxAttack, ExtractionFolderIsNewPrivateAndLeavesAUsersFolderAlone) {
    TempDir dir;
    fs::create_directories(dir / "tmp");
    // A folder of the name the directives give, holding a file of the user's.
    WriteFile(dir / "tmp/DOZOZE/T/INSTALL.DAT", "the user's own");
    WriteFile(dir / "tmp/DOZOZE/T.old/INSTALL.DAT", "the user's own");
    const fs::path exe = GetParam() == Stub::Lha ? MakeSfx(Stub::Lha, dir.path(), "install.exe")
                                                 : MakeCabSfx(dir.path(), CabOptions("install.exe", true), Installer());
    std::string out;
    EXPECT_EQ(RunIn(dir / "tmp", exe, &out), 7) << out;
    EXPECT_EQ(ReadFile(dir / "tmp/DOZOZE/T/INSTALL.DAT"), "the user's own");
    EXPECT_EQ(ReadFile(dir / "tmp/DOZOZE/T.old/INSTALL.DAT"), "the user's own");
    std::vector<fs::path> made;
    for (const auto& e : fs::directory_iterator(dir / "tmp/DOZOZE")) {
        const std::string name = e.path().filename().string();
        if (name != "T" && name != "T.old") made.push_back(e.path());
    }
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0].filename().string().size(), 8u) << "T. and six unique characters";
    EXPECT_EQ(fs::status(made[0]).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST_P(SfxAttack, ClashingMembersAreRefusedBeforeAnythingIsWritten) {
    const std::vector<std::vector<Member>> archives = {
        {{"INSTALL.EXE", kInstaller}, {"INSTALL.DAT", "a"}, {"a", "file"}, {"a\\b", "below a file"}},
        {{"INSTALL.EXE", kInstaller}, {"INSTALL.DAT", "a"}, {"x.txt", "1"}, {"X.TXT", "2"}},
        {{"INSTALL.EXE", kInstaller}, {"INSTALL.DAT", "a"}, {"sub\\..\\..\\escape", "out"}},
    };
    for (const auto& members : archives) {
        SCOPED_TRACE(members.back().name);
        TempDir dir;
        fs::create_directories(dir / "tmp");
        const fs::path exe = MakeSfx(GetParam(), dir.path(), "install.exe", members);
        std::string out;
        EXPECT_EQ(RunIn(dir / "tmp", exe, &out), sfx::kExitDamaged) << out;
        EXPECT_TRUE(fs::is_empty(dir / "tmp")) << "not even INSTALL.DAT was written";
    }
}

TEST(CabSfxAttack, DeleteAfterRunRemovesOnlyWhatTheStubExtracted) {
    TempDir dir;
    fs::create_directories(dir / "tmp");
    // The command replaces one extracted file by its own and adds another: both are not ours.
    const std::string installer =
        "#!/bin/sh\nrm sub/data.bin\necho mine > sub/data.bin\necho log > setup.log\nexit 7\n";
    const fs::path exe = MakeCabSfx(dir.path(), CabOptions("install.exe", true),
                                    {{"install.exe", installer}, {"INSTALL.DAT", "d"}, {"sub\\data.bin", "x"},
                                     {"sub\\deep\\more.bin", "y"}});
    std::string out;
    EXPECT_EQ(RunIn(dir / "tmp", exe, &out), 7) << out;
    const auto folders = ExtractionFolders(dir / "tmp");
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(ReadFile(folders[0] / "sub/data.bin"), "mine\n");
    EXPECT_EQ(ReadFile(folders[0] / "setup.log"), "log\n");
    EXPECT_FALSE(fs::exists(folders[0] / "install.exe"));
    EXPECT_FALSE(fs::exists(folders[0] / "INSTALL.DAT"));
    EXPECT_FALSE(fs::exists(folders[0] / "sub/deep")) << "emptied folders go";
}

TEST(CommandMember, NamesOnlyFilesOfTheArchive) {
    const std::vector<MemberName> members = {{"INSTALL.EXE", false}, {"bin\\tool.exe", false}, {"bin", true},
                                             {sj::S("表\\setup.exe"), false}, {"\\evil.exe", false}};
    const std::string folder = "%WORK%\\DOZOZE\\T";
    struct Case {
        std::string command;
        std::optional<std::string> member;
    } cases[] = {
        {"%WORK%\\DOZOZE\\T\\install.exe", "INSTALL.EXE"},
        {"%work%\\dozoze\\t\\BIN\\TOOL.EXE", "bin\\tool.exe"},
        {"%WORK%/DOZOZE/T/bin/tool.exe", "bin\\tool.exe"},
        {"install.exe", "INSTALL.EXE"},
        {".\\install.exe", "INSTALL.EXE"},
        {sj::S("表\\setup.exe"), sj::S("表\\setup.exe")},
        {"%WORK%\\DOZOZE\\T", std::nullopt},
        {"%WORK%\\DOZOZE\\TX\\install.exe", std::nullopt},
        {"%WORK%\\DOZOZE\\T\\bin", std::nullopt},
        {"%WORK%\\DOZOZE\\T\\..\\T\\install.exe", std::nullopt},
        {"%WORK%\\other.exe", std::nullopt},
        {"\\install.exe", std::nullopt},
        {"/bin/sh", std::nullopt},
        {"C:install.exe", std::nullopt},
        {"%SystemRoot%\\install.exe", std::nullopt},
        {"", std::nullopt},
        {"evil.exe", std::nullopt},  // only "\\evil.exe" is there, a name the stub refuses (found by fuzzing)
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(sfx::CommandMember(c.command, folder, members, &error), c.member) << c.command << ": " << error;
    }
}

TEST(CheckMemberSet, ClashesAndEscapes) {
    struct Case {
        std::vector<MemberName> members;
        bool ok;
    } cases[] = {
        {{{"a", false}, {"b\\c", false}, {"b", true}}, true},
        {{{"b", true}, {"b\\c", false}, {"B\\d", false}}, true},
        {{{"a", false}, {"A", false}}, false},
        {{{"a", false}, {"a\\b", false}}, false},
        {{{"a\\b", false}, {"a", false}}, false},
        {{{"a", false}, {"a", true}}, false},
        {{{"a", true}, {"a", false}}, false},
        {{{"..\\x", false}}, false},
        {{{"C:\\x", false}}, false},
        {{{"\\x", false}}, false},
    };
    for (const Case& c : cases) {
        std::string reason;
        EXPECT_EQ(CheckMemberSet(c.members, &reason), c.ok) << c.members.back().name << ": " << reason;
    }
}

}  // namespace
}  // namespace archivers
