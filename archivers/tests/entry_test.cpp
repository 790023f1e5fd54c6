// The C entry points of libunlha32.so and libcab32.so with the command lines the build sends
// and with the ones they must refuse.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "archivers/cab32.h"
#include "archivers/unlha32.h"
#include "common/cmdline.h"
#include "common/results.h"
#include "lha/crc16.h"
#include "lha/header.h"
#include "platform/sjis.h"
#include "test_util.h"

namespace archivers {
namespace {

namespace fs = std::filesystem;
namespace sj = platform::sjis;
using namespace archivers::testing;

std::string Q(const fs::path& p) {
    std::string s = "\"";
    for (char c : p.string()) s += (c == '"') ? std::string("\"\"") : std::string(1, c);
    return s + "\"";
}
std::string QF(const fs::path& p) { return Q(p.string() + "\\"); }

int CallUnlha(const std::string& line, std::string* text = nullptr) {
    char out[1024] = "unchanged";
    const int r = Unlha(nullptr, line.c_str(), out, sizeof out);
    if (text) *text = out;
    return r;
}
int CallCab(const std::string& line, std::string* text = nullptr) {
    char out[1024] = "unchanged";
    const int r = Cab(nullptr, line.c_str(), out, sizeof out);
    if (text) *text = out;
    return r;
}

TEST(CommandLine, ElementsQuotesSwitchesAndResponseFiles) {
    TempDir dir;
    WriteFile(dir / "resp.txt", "\"a b.txt\"\r\n*.dat\r\n");
    CommandLine cl;
    std::string error;
    ASSERT_TRUE(ParseCommandLine("u -jm2  -c1 \"C:\\a \"\"q\"\".lzh\" \"C:\\dir\\\" @" + Q(dir / "resp.txt") + " ",
                                 &cl, &error))
        << error;
    EXPECT_EQ(cl.switches, (std::vector<std::string>{"jm2", "c1"}));
    EXPECT_EQ(cl.args, (std::vector<std::string>{"u", "C:\\a \"q\".lzh", "C:\\dir\\", "a b.txt", "*.dat"}));
    EXPECT_EQ(cl.Value("jm"), "2");
    EXPECT_TRUE(IsFolderElement("C:\\dir\\"));
    // 表 ends in the byte 0x5C: it is no folder separator.
    EXPECT_FALSE(IsFolderElement(sj::S("C:\\表")));
    EXPECT_FALSE(ParseCommandLine("u \"open", &cl, &error));
}

TEST(Unlha, PacksWithTheBuildsCommandLineAndReadsBack) {
    TempDir dir;
    WriteFile(dir / "stage/INSTALL.DAT", TextLike(30000, 1));
    WriteFile(dir / "stage/表示.txt", "x");
    WriteFile(dir / "stage/.hidden", "h");
    const fs::path arc = dir / "out/a.lzh";
    fs::create_directories(dir / "out");
    std::string text;
    // Exactly as the front end writes it: one blank after every element.
    ASSERT_EQ(CallUnlha("u -jm2 -c1 -a1 -n -gp0 " + Q(arc) + " " + QF(dir / "stage") + " \"*.*\" ", &text), 0) << text;
    std::string out;
    EXPECT_EQ(RunTool("lha t " + Quote(arc), &out), 0) << out;
    EXPECT_EQ(CallUnlha("t " + Q(arc), &text), 0) << text;
    ASSERT_EQ(CallUnlha("l " + Q(arc), &text), 0);
    EXPECT_NE(text.find("-lh5- 30000"), std::string::npos) << text;
    EXPECT_NE(text.find(sj::S("表示.txt")), std::string::npos);
    EXPECT_NE(text.find(".hidden"), std::string::npos);  // -a1 takes hidden files
    ASSERT_EQ(CallUnlha("x " + Q(arc) + " " + QF(dir / "x"), &text), 0) << text;
    EXPECT_EQ(ReadFile(dir / "x/INSTALL.DAT"), ReadFile(dir / "stage/INSTALL.DAT"));
    EXPECT_EQ(ReadFile(dir / "x/表示.txt"), "x");
    EXPECT_EQ(UnlhaGetRunning(), 0);
    EXPECT_EQ(UnlhaGetVersion(), 100);
}

TEST(Unlha, MethodSwitchesPickTheMethod) {
    TempDir dir;
    WriteFile(dir / "s/t.txt", TextLike(50000, 2));
    for (const auto& [sw, method] : std::vector<std::pair<std::string, std::string>>{
             {"-jm0", "-lh0-"}, {"-jm2", "-lh5-"}, {"-jm3", "-lh6-"}, {"-jm4", "-lh7-"}}) {
        const fs::path arc = dir / (sw + ".lzh");
        std::string text;
        ASSERT_EQ(CallUnlha("u " + sw + " -c1 " + Q(arc) + " " + QF(dir / "s") + " *.*", &text), 0) << text;
        ASSERT_EQ(CallUnlha("l " + Q(arc), &text), 0);
        EXPECT_EQ(text.rfind(method, 0), 0u) << sw << ": " << text;
    }
}

TEST(Unlha, RecursionKeepsFoldersWithX1) {
    TempDir dir;
    WriteFile(dir / "s/top.txt", "t");
    WriteFile(dir / "s/表/深い/a.txt", "deep");
    const fs::path arc = dir / "r.lzh";
    std::string text;
    ASSERT_EQ(CallUnlha("u -jm2 -r2 -x1 " + Q(arc) + " " + QF(dir / "s") + " *.*", &text), 0) << text;
    std::string out;
    ASSERT_EQ(RunTool("lha xqw=" + Quote(dir / "lhasa") + " " + Quote(arc), &out), 0) << out;
    EXPECT_EQ(ReadFile(dir / "lhasa" / sj::FromUtf8("表/深い/a.txt")), "deep");
}

TEST(Unlha, ResponseFileCarriesTheMasks) {
    TempDir dir;
    WriteFile(dir / "s/a.txt", "a");
    WriteFile(dir / "s/b.dat", "b");
    WriteFile(dir / "s/c.bin", "c");
    WriteFile(dir / "Response.txt", "\"*.txt\"\r\n\"*.dat\"\r\n");
    const fs::path arc = dir / "m.lzh";
    std::string text;
    ASSERT_EQ(CallUnlha("u -jm2 " + Q(arc) + " " + QF(dir / "s") + " @" + Q(dir / "Response.txt"), &text), 0) << text;
    ASSERT_EQ(CallUnlha("l " + Q(arc), &text), 0);
    EXPECT_NE(text.find("a.txt"), std::string::npos);
    EXPECT_NE(text.find("b.dat"), std::string::npos);
    EXPECT_EQ(text.find("c.bin"), std::string::npos);
}

TEST(Unlha, ResponseFilesThatNameThemselvesAreRefused) {
    // Before, the innermost "@file" of a loop became a mask and then an archive member.
    TempDir dir;
    WriteFile(dir / "stage/a.txt", "a");
    WriteFile(dir / "self.txt", "a.txt\r\n@" + Q(dir / "self.txt") + "\r\n");
    WriteFile(dir / "one.txt", "a.txt @" + Q(dir / "two.txt"));
    WriteFile(dir / "two.txt", "@" + Q(dir / "one.txt"));
    for (int i = 0; i < 5; ++i) WriteFile(dir / ("d" + std::to_string(i)), "@" + Q(dir / ("d" + std::to_string(i + 1))));
    WriteFile(dir / "d5", "a.txt");
    struct Case {
        const char* file;
        const char* reason;
    } cases[] = {{"self.txt", "names itself"}, {"one.txt", "names itself"}, {"d0", "nested too deep"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string text;
        EXPECT_EQ(CallUnlha("u " + Q(dir / "a.lzh") + " " + QF(dir / "stage") + " @" + Q(dir / c.file), &text),
                  kResultCommand);
        EXPECT_NE(text.find(c.reason), std::string::npos) << text;
        EXPECT_FALSE(fs::exists(dir / "a.lzh"));
        EXPECT_EQ(CallCab("-a " + Q(dir / "a.cab") + " " + QF(dir / "stage") + " @" + Q(dir / c.file), &text),
                  kResultCommand);
        EXPECT_FALSE(fs::exists(dir / "a.cab"));
    }
    // The same file twice one after the other is no loop.
    WriteFile(dir / "masks.txt", "a.txt");
    EXPECT_EQ(CallUnlha("u " + Q(dir / "a.lzh") + " " + QF(dir / "stage") + " @" + Q(dir / "masks.txt") + " @" +
                        Q(dir / "masks.txt")),
              0);
}

TEST(Arcctl, RefusedShiftJisMemberNameIsReadable) {
    // The refusal named the Shift-JIS member in UTF-8, which the tool then converted again.
    TempDir dir;
    lha::Member m;
    m.method = "-lh0-";
    m.path = sj::S("..\\日本語.txt");
    m.originalSize = m.compressedSize = 1;
    m.crc = lha::ComputeCrc16(reinterpret_cast<const std::uint8_t*>("x"), 1);
    WriteFile(dir / "evil.lzh", lha::EncodeHeader(m) + "x" + std::string(1, '\0'));
    fs::create_directories(dir / "out");
    std::string out;
    const std::string line = "x " + Q(dir / "evil.lzh") + " " + QF(dir / "out");
    EXPECT_EQ(RunTool(Quote(ARCCTL_EXE) + " lha " + Quote(line), &out), 1) << out;
    EXPECT_NE(out.find("..\\日本語.txt"), std::string::npos) << out;
    EXPECT_TRUE(fs::is_empty(dir / "out"));
}

TEST(Unlha, FolderWithDoubledQuoteInItsName) {
    TempDir dir;
    WriteFile(dir / "we\"ird/a.txt", "a");
    std::string text;
    ASSERT_EQ(CallUnlha("u -jm2 " + Q(dir / "q.lzh") + " " + QF(dir / "we\"ird") + " *.*", &text), 0) << text;
}

struct Refusal {
    const char* name;
    std::string line;  // "%A" is replaced by a folder with one file in it
    const char* reason;
};

TEST(Unlha, RefusesWhatItCannotDoWithAReason) {
    TempDir dir;
    WriteFile(dir / "s/a.txt", "a");
    WriteFile(dir / "bad.lzh", "not an archive at all");
    const std::string arc = Q(dir / "n.lzh");
    const std::vector<Refusal> cases = {
        {"empty", "", "no command"},
        {"lh1", "u -jm1 " + arc + " " + QF(dir / "s") + " *.*", "-jm1"},
        {"unknown command", "q " + arc, "unsupported command"},
        {"open quote", "u -jm2 \"" + (dir / "n.lzh").string(), "quote"},
        {"missing folder", "u -jm2 " + arc + " " + QF(dir / "nothere") + " *.*", "not found"},
        {"nothing matches", "u -jm2 " + arc + " " + QF(dir / "s") + " *.none", "no files"},
        {"damaged archive", "t " + Q(dir / "bad.lzh"), "archive"},
        {"sfx of missing archive", "s " + Q(dir / "none.lzh") + " " + QF(dir.path()), "not found"},
        {"missing response file", "u -jm2 " + arc + " " + QF(dir / "s") + " @" + Q(dir / "none.txt"), "response"},
    };
    for (const Refusal& c : cases) {
        std::string text;
        EXPECT_NE(CallUnlha(c.line, &text), 0) << c.name;
        EXPECT_NE(text.find(c.reason), std::string::npos) << c.name << ": " << text;
        EXPECT_EQ(text.find('\n'), std::string::npos) << c.name;
    }
    // Switches the library does not need change nothing.
    std::string text;
    EXPECT_EQ(CallUnlha("u -jm2 -gp0 -n -zz9 -+ " + arc + " " + QF(dir / "s") + " *.*", &text), 0) << text;
    EXPECT_EQ(Unlha(nullptr, nullptr, nullptr, 0), kResultCommand);
}

TEST(Cab, PacksWithTheBuildsCommandLineAndReadsBack) {
    TempDir dir;
    WriteFile(dir / "stage/INSTALL.DAT", TextLike(100000, 3));
    WriteFile(dir / "stage/sub/日本語.bin", RandomBytes(50000, 4));
    const fs::path cab = dir / "a.cab";
    std::string text;
    ASSERT_EQ(CallCab("-a -ml:21 -i " + Q(cab) + " " + QF(dir / "stage") + " \"*.*\" ", &text), 0) << text;
    std::string out;
    EXPECT_EQ(RunTool("cabextract -q -t " + Quote(cab), &out), 0) << out;
    EXPECT_EQ(CallCab("-t " + Q(cab), &text), 0) << text;
    ASSERT_EQ(CallCab("-l " + Q(cab), &text), 0);
    EXPECT_NE(text.find(sj::S("sub\\日本語.bin")), std::string::npos) << text;
    ASSERT_EQ(CallCab("-x " + Q(cab) + " " + QF(dir / "x"), &text), 0) << text;
    EXPECT_EQ(ReadFile(dir / "x/sub/日本語.bin"), ReadFile(dir / "stage/sub/日本語.bin"));
    EXPECT_EQ(CabGetRunning(), 0);
    EXPECT_EQ(CabGetVersion(), 100);
}

TEST(Cab, RefusesWhatItCannotDoWithAReason) {
    TempDir dir;
    WriteFile(dir / "s/a.txt", "a");
    WriteFile(dir / "exists.cab", "x");
    const std::vector<Refusal> cases = {
        {"no cabinet", "-a", "no cabinet"},
        {"no command", "-q " + Q(dir / "n.cab"), "no supported command"},
        {"existing cabinet", "-a " + Q(dir / "exists.cab") + " " + QF(dir / "s") + " *.*", "exists"},
        {"missing folder", "-a " + Q(dir / "n.cab") + " " + QF(dir / "nothere") + " *.*", "not found"},
        {"damaged cabinet", "-t " + Q(dir / "exists.cab"), "cabinet"},
    };
    for (const Refusal& c : cases) {
        std::string text;
        EXPECT_NE(CallCab(c.line, &text), 0) << c.name;
        EXPECT_NE(text.find(c.reason), std::string::npos) << c.name << ": " << text;
    }
}

}  // namespace
}  // namespace archivers

namespace archivers {
namespace {

// "Z:\tmp\x" in the Windows spelling, upper-cased: names match without regard to case.
std::string WindowsSpelling(const std::filesystem::path& host) {
    std::string s = "Z:";
    for (char c : host.string()) s.push_back(c == '/' ? '\\' : static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    return s;
}

TEST(Unlha, WindowsPathsGoThroughTheDriveMap) {
    testing::TempDir dir;
    testing::WriteFile(dir.path() / "stage/a.txt", "abc");
    std::filesystem::create_directories(dir.path() / "out");
    char text[256];
    const std::string line = "u -jm2 \"" + WindowsSpelling(dir.path() / "out") + "\\NEW.LZH\" \"" +
                             WindowsSpelling(dir.path() / "stage") + "\\\" \"*.*\" ";
    ASSERT_EQ(Unlha(nullptr, line.c_str(), text, sizeof text), 0) << text << "\n" << line;
    // The existing folders were found under their own spelling; the new file got the one given.
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "out/NEW.LZH"));
}

}  // namespace
}  // namespace archivers

namespace archivers {
namespace {

// A call that waits inside the library: its response file is a pipe that the test fills only
// after it has looked at the library from outside.
template <typename Call, typename Running>
void CheckBusyWhileRunning(Call call, Running running, const std::string& commandHead) {
    testing::TempDir dir;
    testing::WriteFile(dir.path() / "s/a.txt", "a");
    const std::filesystem::path fifo = dir.path() / "masks.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    int first = -1;
    std::thread worker([&] {
        first = call(commandHead + " \"" + (dir.path() / "s").string() + "\\\" @" + Q(fifo));
    });
    // Opening the pipe for writing returns once the library has opened it for reading.
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(running(), 1);
    EXPECT_EQ(call(commandHead + " \"" + (dir.path() / "s").string() + "\\\" *.*"), kResultBusy);
    const std::string masks = "\"*.txt\"\r\n";
    EXPECT_EQ(::write(fd, masks.data(), masks.size()), static_cast<ssize_t>(masks.size()));
    ::close(fd);
    worker.join();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(running(), 0);
}

TEST(Unlha, BusyWhileACallRuns) {
    testing::TempDir dir;
    CheckBusyWhileRunning([](const std::string& line) { return Unlha(nullptr, line.c_str(), nullptr, 0); },
                          [] { return UnlhaGetRunning(); }, "u -jm2 " + Q(dir.path() / "busy.lzh"));
}

TEST(Cab, BusyWhileACallRuns) {
    testing::TempDir dir;
    CheckBusyWhileRunning([](const std::string& line) { return Cab(nullptr, line.c_str(), nullptr, 0); },
                          [] { return CabGetRunning(); }, "-a " + Q(dir.path() / "busy.cab"));
}

}  // namespace
}  // namespace archivers
