#include "platform/process.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

using namespace platform::shell;
using Args = std::vector<std::string>;

TEST(CommandLine, SplitsLikeWindowsPrograms) {
    struct Case {
        const char* line;
        Args args;
    } cases[] = {
        {"", {}},
        {"  a  b\tc ", {"a", "b", "c"}},
        {R"("C:\Program Files\x.exe" /BUILD)", {R"(C:\Program Files\x.exe)", "/BUILD"}},
        {R"(a\\b "c d\\" e)", {R"(a\\b)", R"(c d\)", "e"}},
        {R"(\"quoted\")", {R"("quoted")"}},
        {R"("a""b" c)", {R"(a"b)", "c"}},
        {R"("unterminated arg)", {"unterminated arg"}},
        {"\"\" x", {"", "x"}},
        // 表 = 95 5C: its trail byte is not a backslash before the quote.
        {"\"\x95\x5C\" y", {"\x95\x5C", "y"}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
}

TEST(CommandLine, QuotedArgumentsComeBackUnchanged) {
    const char* samples[] = {"plain", "with blank", "", R"(ends\)", R"(ends\\)", R"(a"b)", R"(C:\a b\)",
                             "\x95\x5C", "\x95\x5C\"", "tab\there"};
    for (const char* s : samples) {
        auto args = SplitCommandLine(QuoteArgument(s) + " next");
        ASSERT_EQ(args.size(), 2u) << s;
        EXPECT_EQ(args[0], s);
    }
}

TEST(StartProgram, WaitsForExitCodeAndPollsMeanwhile) {
    int polls = 0;
    auto r = StartHostProcess({"/bin/sh", "-c", "sleep 0.2; exit 3"}, "", true, [&] { ++polls; });
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_GE(polls, 1);
}

TEST(StartProgram, RunsInTheGivenFolder) {
    std::string folder = std::filesystem::temp_directory_path() / ("process_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    auto r = StartHostProcess({"/bin/sh", "-c", "pwd > here.txt"}, folder, true);
    EXPECT_EQ(r.exitCode, 0);
    std::ifstream in(folder + "/here.txt");
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(std::filesystem::canonical(line), std::filesystem::canonical(folder));
    std::filesystem::remove_all(folder);
}

TEST(StartProgram, ReportsTheShellsErrorCodes) {
    std::string folder = std::filesystem::temp_directory_path() / ("process_err_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::string plain = folder + "/notes.txt";
    std::ofstream(plain) << "not a program";
    ::chmod(plain.c_str(), 0644);

    EXPECT_EQ(StartHostProcess({folder + "/missing"}, "", true).error, kErrorFileNotFound);
    EXPECT_EQ(StartHostProcess({folder + "/no/such/dir/prog"}, "", true).error, kErrorPathNotFound);
    EXPECT_EQ(StartHostProcess({"/bin/true"}, folder + "/nowhere", true).error, kErrorPathNotFound);
    EXPECT_EQ(StartHostProcess({plain}, "", true).error, kErrorAccessDenied);
    EXPECT_EQ(StartHostProcess({}, "", true).error, kErrorFileNotFound);
    std::filesystem::remove_all(folder);
}

TEST(StartProgram, WithoutWaitingReturnsWhileTheProgramRuns) {
    std::string marker = std::filesystem::temp_directory_path() / ("process_nowait_" + std::to_string(::getpid()));
    auto r = StartHostProcess({"/bin/sh", "-c", "sleep 0.3; touch " + marker}, "", false);
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(std::filesystem::exists(marker));
    for (int i = 0; i < 200 && !std::filesystem::exists(marker); ++i) ::usleep(20000);
    EXPECT_TRUE(std::filesystem::exists(marker));
    std::filesystem::remove(marker);
}
