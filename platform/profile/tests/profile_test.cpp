// INI files read and written as Windows does, with everything not touched kept byte for byte.
#include "platform/hostfile.h"
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;
using namespace platform::profile;

namespace {

const std::string kHyou = "\x95\x5C";  // 表: trail byte '\'
const std::string kZo = "\x83\x5D";    // ゾ: trail byte ']'

struct TempFolder {
    fs::path path;
    TempFolder() {
        char tmpl[] = "/tmp/profile_test_XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~TempFolder() { fs::remove_all(path); }
};

std::string Read(const fs::path& file) { return platform::ReadHostFile(file).value_or("<missing>"); }

}  // namespace

TEST(ProfileRead, WindowsLookupRules) {
    const std::string text =
        "orphan=before any section\r\n"
        "[Data]\r\n"
        "  Interval  =  500  \r\n"
        "Quoted=\"  padded  \"\r\n"
        "Single='x'\r\n"
        "Half=\"open\r\n"
        "Mixed=\"a'\r\n"
        "OneQuote=\"\r\n"
        "Empty=\r\n"
        ";Commented=1\r\n"
        "Dup=first\r\n"
        "dup=second\r\n"
        "a=b=c\r\n"
        "[ Spaced ]\r\n"
        "k=spaced section\r\n"
        "[" + kZo + "]\r\n"
        "" + kHyou + "=" + kHyou + "\\\r\n"
        "[data]\r\n"
        "Later=in the second section of the same name\r\n"
        "[LfOnly]\n"
        "k=lf\n"
        "[Last]\r\n"
        "k=no line end";
    struct Case {
        std::string section, key;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"DATA", "interval", "500"},
        {"data", "Quoted", "  padded  "},
        {"Data", "Single", "x"},
        {"Data", "Half", "\"open"},
        {"Data", "Mixed", "\"a'"},
        {"Data", "OneQuote", "\""},
        {"Data", "Empty", ""},
        {"Data", ";Commented", std::nullopt},
        {"Data", "Commented", std::nullopt},
        {"Data", "DUP", "first"},
        {"Data", "a", "b=c"},
        {"Data", "Later", std::nullopt},
        {"Data", "orphan", std::nullopt},
        {"Spaced", "k", "spaced section"},
        {kZo, kHyou, kHyou + "\\"},
        {"LfOnly", "k", "lf"},
        {"Last", "k", "no line end"},
        {"Missing", "k", std::nullopt},
        {"Data", "Missing", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindProfileValue(text, c.section, c.key), c.value) << "[" << c.section << "] " << c.key;
    }
}

TEST(ProfileWrite, EditsTouchOnlyTheirLines) {
    const std::string base =
        "; settings file\r\n"
        "[A]\r\n"
        "x=1\r\n"
        "  Y = 2 \r\n"
        "; comment inside A\r\n"
        "\r\n"
        "; about B\r\n"
        "[B]\r\n"
        "z=3\r\n";
    using OptSv = std::optional<std::string_view>;
    struct Case {
        const char* what;
        std::string text;
        std::string section;
        OptSv key, value;
        std::string expected;
    };
    const Case cases[] = {
        {"replace keeps the file's key spelling", base, "a", "y", "20",
         "; settings file\r\n[A]\r\nx=1\r\nY=20\r\n; comment inside A\r\n\r\n; about B\r\n[B]\r\nz=3\r\n"},
        {"same value written again changes nothing", "[A]\r\nx=1\r\n", "A", "X", "1", "[A]\r\nx=1\r\n"},
        {"new key after the last key of its section", base, "A", "w", "4",
         "; settings file\r\n[A]\r\nx=1\r\n  Y = 2 \r\nw=4\r\n; comment inside A\r\n\r\n; about B\r\n[B]\r\nz=3\r\n"},
        {"new key in the last section", base, "B", "w", "4", base + "w=4\r\n"},
        {"new key in an empty section", "[E]\r\n[F]\r\n", "e", "k", "v", "[E]\r\nk=v\r\n[F]\r\n"},
        {"new section at the end, no blank line", base, "C", "k", "v", base + "[C]\r\nk=v\r\n"},
        {"new section after a last line without line end", "[A]\r\nx=1", "C", "k", "v", "[A]\r\nx=1\r\n[C]\r\nk=v\r\n"},
        {"new key after a last line without line end", "[A]\r\nx=1", "A", "k", "v", "[A]\r\nx=1\r\nk=v\r\n"},
        {"replace a last line without line end", "[A]\r\nx=1", "A", "x", "2", "[A]\r\nx=2"},
        {"new file", "", "S", "k", "v", "[S]\r\nk=v\r\n"},
        {"LF file: untouched lines keep LF", "[A]\nx=1\n[B]\ny=2\n", "A", "k", "v", "[A]\nx=1\nk=v\r\n[B]\ny=2\n"},
        {"delete a key", base, "A", "x", std::nullopt,
         "; settings file\r\n[A]\r\n  Y = 2 \r\n; comment inside A\r\n\r\n; about B\r\n[B]\r\nz=3\r\n"},
        {"delete every line of a repeated key", "[A]\r\nx=1\r\nX=2\r\ny=3\r\n", "A", "x", std::nullopt, "[A]\r\ny=3\r\n"},
        {"delete a missing key", base, "A", "nope", std::nullopt, base},
        {"delete a key of a missing section", base, "Q", "x", std::nullopt, base},
        {"delete a section up to the next", base, "a", std::nullopt, std::nullopt, "; settings file\r\n[B]\r\nz=3\r\n"},
        {"delete every section of the name", "[A]\r\nx=1\r\n[B]\r\ny=2\r\n[a]\r\nz=3\r\n", "A", std::nullopt, std::nullopt,
         "[B]\r\ny=2\r\n"},
        {"delete a missing section", base, "Q", std::nullopt, std::nullopt, base},
        {"Shift-JIS names", "[" + kZo + "]\r\n" + kHyou + "=1\r\n", kZo, kHyou, kHyou,
         "[" + kZo + "]\r\n" + kHyou + "=" + kHyou + "\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ApplyProfileWrite(c.text, c.section, c.key, c.value), c.expected) << c.what;
    }
}

TEST(ProfileFile, WriteReadDeleteThroughTheFile) {
    TempFolder dir;
    fs::path file = dir.path / "Zuzodavu.INI";
    // Deleting from a file that does not exist does not create it.
    EXPECT_TRUE(WritePrivateProfileString("DATA", "k", nullptr, file));
    EXPECT_TRUE(WritePrivateProfileString("DATA", nullptr, nullptr, file));
    EXPECT_FALSE(fs::exists(file));

    ASSERT_TRUE(WritePrivateProfileString("DATA", "INTERVAL", "1000", file));
    ASSERT_TRUE(WritePrivateProfileString("SENSOR1", "KOSEI_A", "1.0000", file));
    ASSERT_TRUE(WritePrivateProfileString("data", "interval", "500", file));
    EXPECT_EQ(Read(file), "[DATA]\r\nINTERVAL=500\r\n[SENSOR1]\r\nKOSEI_A=1.0000\r\n");
    EXPECT_EQ(GetPrivateProfileString("Data", "Interval", "x", file), "500");
    EXPECT_EQ(GetPrivateProfileInt("SENSOR1", "KOSEI_A", -1, file), 1);
    EXPECT_EQ(GetPrivateProfileSectionNames(file), (std::vector<std::string>{"DATA", "SENSOR1"}));
    EXPECT_EQ(GetPrivateProfileKeyNames("sensor1", file), std::vector<std::string>{"KOSEI_A"});

    // Writing the same value again leaves the very same file.
    struct stat before {}, after {};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);
    ASSERT_TRUE(WritePrivateProfileString("DATA", "INTERVAL", "500", file));
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);

    ASSERT_TRUE(WritePrivateProfileString("DATA", "INTERVAL", nullptr, file));
    EXPECT_EQ(GetPrivateProfileString("DATA", "INTERVAL", "gone  ", file), "gone");
    ASSERT_TRUE(WritePrivateProfileString("SENSOR1", nullptr, nullptr, file));
    EXPECT_EQ(Read(file), "[DATA]\r\n");

    // A missing file reads as empty.
    EXPECT_EQ(GetPrivateProfileString("DATA", "k", "def", dir.path / "none.ini"), "def");
    EXPECT_TRUE(GetPrivateProfileSectionNames(dir.path / "none.ini").empty());
}

TEST(ProfileFile, CommentedFileKeptByteForByteAroundAWrite) {
    TempFolder dir;
    fs::path file = dir.path / "commented.ini";
    const std::string head =
        "; \x95\x5C\x8E\xA6 configuration\r\n"  // Shift-JIS comment
        "\r\n"
        "[DATA]   ; trailing comment on the header\r\n"
        "INTERFACE_SELECT_TIMEOUT = 7\r\n";
    const std::string tail =
        "# not a comment for Windows, just an unknown line\r\n"
        "\r\n"
        "[SENSOR1]\r\n"
        "PRODUCT_SENSOR_TYPE=A\r\n"
        "\t; indented comment\r\n"
        "trailing garbage without equals sign";
    ASSERT_TRUE(platform::WriteHostFileAtomic(file, head + tail));
    ASSERT_TRUE(WritePrivateProfileString("DATA", "INTERVAL", "500", file));
    EXPECT_EQ(Read(file), head + "INTERVAL=500\r\n" + tail);
    ASSERT_TRUE(WritePrivateProfileString("DATA", "interface_select_timeout", "0", file));
    EXPECT_EQ(Read(file), "; \x95\x5C\x8E\xA6 configuration\r\n\r\n[DATA]   ; trailing comment on the header\r\n"
                          "INTERFACE_SELECT_TIMEOUT=0\r\nINTERVAL=500\r\n" + tail);
    EXPECT_EQ(GetPrivateProfileString("DATA", "INTERVAL", "", file), "500");
}

TEST(ProfileFile, BufferTruncation) {
    TempFolder dir;
    fs::path file = dir.path / "t.ini";
    ASSERT_TRUE(platform::WriteHostFileAtomic(file, "[S]\r\nab=abcdef\r\nsj=" + kHyou + kHyou + "\r\n[T]\r\n"));
    struct Case {
        const char* key;
        std::uint32_t size;
        std::uint32_t returned;
        std::string copied;
    };
    const Case cases[] = {
        {"ab", 1, 0, ""},     {"ab", 4, 3, "abc"},          {"ab", 6, 5, "abcde"},
        {"ab", 7, 6, "abcdef"}, {"ab", 100, 6, "abcdef"},
        {"sj", 4, 2, kHyou},  // the second 表 would be cut in half: left out
        {"sj", 5, 4, kHyou + kHyou},
        {"none", 3, 2, "de"},  // the default "def", cut
    };
    for (const Case& c : cases) {
        char buffer[128];
        std::memset(buffer, 'X', sizeof buffer);
        std::uint32_t n = GetPrivateProfileString("S", c.key, "def", buffer, c.size, file);
        EXPECT_EQ(n, c.returned) << c.key << " " << c.size;
        EXPECT_EQ(std::string(buffer, n), c.copied) << c.key << " " << c.size;
        EXPECT_EQ(buffer[n], '\0') << c.key << " " << c.size;
        EXPECT_EQ(buffer[c.size], 'X') << "wrote past the buffer: " << c.key << " " << c.size;
    }
    char buffer[32];
    EXPECT_EQ(GetPrivateProfileString("S", "ab", "def", buffer, 0, file), 0u);
    EXPECT_EQ(GetPrivateProfileString("S", "missing", nullptr, buffer, sizeof buffer, file), 0u);
    EXPECT_EQ(buffer[0], '\0');

    // Lists: names NUL-separated and one more NUL; cut lists end in two NULs.
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(GetPrivateProfileSectionNames(buffer, sizeof buffer, file), 4u);
    EXPECT_EQ(std::string(buffer, 5), std::string("S\0T\0\0", 5));
    EXPECT_EQ(GetPrivateProfileString("s", nullptr, nullptr, buffer, sizeof buffer, file), 6u);
    EXPECT_EQ(std::string(buffer, 7), std::string("ab\0sj\0\0", 7));
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(GetPrivateProfileString("S", nullptr, nullptr, buffer, 5, file), 3u);
    EXPECT_EQ(std::string(buffer, 6), std::string("ab\0\0\0", 5) + "X");
    EXPECT_EQ(GetPrivateProfileString("T", nullptr, nullptr, buffer, sizeof buffer, file), 0u);
    EXPECT_EQ(buffer[0], '\0');
}

TEST(ProfileFile, GetIntReadsLeadingDecimalDigits) {
    TempFolder dir;
    fs::path file = dir.path / "n.ini";
    ASSERT_TRUE(platform::WriteHostFileAtomic(
        file, "[N]\r\na=12\r\nb= -5 \r\nc=12abc\r\nd=abc\r\ne=\r\nf=\"42\"\r\ng=99999999999\r\nh=-99999999999\r\ni=+7\r\n"));
    struct Case {
        const char* key;
        int expected;
    };
    const Case cases[] = {{"a", 12}, {"b", -5}, {"c", 12}, {"d", 0}, {"e", 33}, {"f", 42},
                          {"g", INT_MAX}, {"h", INT_MIN}, {"i", 7}, {"missing", 33}};
    for (const Case& c : cases) EXPECT_EQ(GetPrivateProfileInt("n", c.key, 33, file), c.expected) << c.key;
}

TEST(ProfileFile, RefusedWritesLeaveTheFileAlone) {
    TempFolder dir;
    fs::path file = dir.path / "r.ini";
    const std::string original = "[A]\r\nx=1\r\n";
    ASSERT_TRUE(platform::WriteHostFileAtomic(file, original));
    struct Case {
        const char* section;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {nullptr, "k", "v"}, {"a]b", "k", "v"}, {"a\nb", "k", "v"}, {"A", "", "v"}, {"A", "  ", "v"},
        {"A", "k=k", "v"},   {"A", ";k", "v"},  {"A", "[k", "v"},   {"A", "k", "line\r\nbreak"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(WritePrivateProfileString(c.section, c.key, c.value, file, &error))
            << (c.section ? c.section : "(null)") << " / " << (c.key ? c.key : "(null)");
        EXPECT_FALSE(error.empty());
    }
    EXPECT_TRUE(WritePrivateProfileString(nullptr, nullptr, nullptr, file));  // flush: nothing to do
    EXPECT_EQ(Read(file), original);

    // A read-only file is not replaced behind the user's back.
    ::chmod(file.c_str(), 0444);
    if (::access(file.c_str(), W_OK) != 0) {  // (root may write anyway)
        EXPECT_FALSE(WritePrivateProfileString("A", "x", "2", file));
        EXPECT_EQ(Read(file), original);
    }
    ::chmod(file.c_str(), 0644);

    // A folder that does not exist, and an interrupted write.
    EXPECT_FALSE(WritePrivateProfileString("A", "x", "2", dir.path / "no" / "f.ini"));
    platform::SetWriteFailureAfterBytesForTesting(3);
    EXPECT_FALSE(WritePrivateProfileString("A", "x", "2", file));
    EXPECT_FALSE(WritePrivateProfileString("A", "x", "2", dir.path / "new.ini"));
    platform::SetWriteFailureAfterBytesForTesting(-1);
    EXPECT_EQ(Read(file), original);
    EXPECT_FALSE(fs::exists(dir.path / "new.ini"));
}

TEST(ProfileFile, ConfigurationWrittenTwiceIsTheSameFile) {
    // The monitor's exit command writes its fixed sections and keys in order; the reader of
    // that file counts lines, so the layout (no blank lines, CR LF) matters.
    TempFolder dir;
    fs::path file = dir.path / "Zuzodavu.INI";
    auto writeAll = [&] {
        bool ok = true;
        for (const char* key : {"INTERFACE_SELECT", "SEIDO_MODEL", "INTERVAL"}) ok = ok && WritePrivateProfileString("DATA", key, "0", file);
        for (int s = 1; s <= 3; ++s) {
            std::string section = "SENSOR" + std::to_string(s);
            for (const char* key : {"PRODUCT_SENSOR_TYPE", "KOSEI_A", "CH_NO"}) {
                ok = ok && WritePrivateProfileString(section.c_str(), key, "1", file);
            }
        }
        return ok;
    };
    ASSERT_TRUE(writeAll());
    const std::string first = Read(file);
    EXPECT_EQ(first,
              "[DATA]\r\nINTERFACE_SELECT=0\r\nSEIDO_MODEL=0\r\nINTERVAL=0\r\n"
              "[SENSOR1]\r\nPRODUCT_SENSOR_TYPE=1\r\nKOSEI_A=1\r\nCH_NO=1\r\n"
              "[SENSOR2]\r\nPRODUCT_SENSOR_TYPE=1\r\nKOSEI_A=1\r\nCH_NO=1\r\n"
              "[SENSOR3]\r\nPRODUCT_SENSOR_TYPE=1\r\nKOSEI_A=1\r\nCH_NO=1\r\n");
    ASSERT_TRUE(writeAll());
    EXPECT_EQ(Read(file), first);

    // The same writes as one batch give the same file, in one replacement.
    fs::path batched = dir.path / "batched.INI";
    PrivateProfileBatch batch(batched);
    for (const char* key : {"INTERFACE_SELECT", "SEIDO_MODEL", "INTERVAL"}) ASSERT_TRUE(batch.Write("DATA", key, "0"));
    for (int s = 1; s <= 3; ++s) {
        std::string section = "SENSOR" + std::to_string(s);
        for (const char* key : {"PRODUCT_SENSOR_TYPE", "KOSEI_A", "CH_NO"}) ASSERT_TRUE(batch.Write(section.c_str(), key, "1"));
    }
    ASSERT_TRUE(batch.Write("SENSOR9", "x", "1"));  // added and removed again in the same batch
    ASSERT_TRUE(batch.Write("SENSOR9", nullptr, nullptr));
    EXPECT_FALSE(batch.Write("DATA", "bad=key", "1"));  // refused, not queued
    EXPECT_EQ(batch.pending(), 14u);
    EXPECT_FALSE(fs::exists(batched));  // nothing written before Commit
    ASSERT_TRUE(batch.Commit());
    EXPECT_EQ(batch.pending(), 0u);
    EXPECT_EQ(Read(batched), first);
}

TEST(ProfileFile, TwoProcessesWritingOneFileLoseNoKey) {
    TempFolder dir;
    fs::path file = dir.path / "shared.ini";
    constexpr int kEach = 60;
    auto spawn = [&](const char* section) {
        pid_t pid = ::fork();
        if (pid == 0) {
            bool ok = true;
            for (int i = 0; i < kEach; ++i) {
                ok = ok && WritePrivateProfileString(section, ("k" + std::to_string(i)).c_str(), "v", file);
            }
            ::_exit(ok ? 0 : 1);
        }
        return pid;
    };
    pid_t a = spawn("A"), b = spawn("B");
    for (pid_t pid : {a, b}) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(GetPrivateProfileKeyNames("A", file).size(), static_cast<std::size_t>(kEach));
    EXPECT_EQ(GetPrivateProfileKeyNames("B", file).size(), static_cast<std::size_t>(kEach));
}
