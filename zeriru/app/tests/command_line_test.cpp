#include "zeriru/command_line.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace zeriru;

TEST(CommandLine, SwitchesAnyCaseAndOptionalFolder) {
    struct Case {
        std::vector<std::string> args;
        bool help, build;
        const char* project;
        const char* folder;
    } cases[] = {
        {{"--help"}, true, false, "", ""},
        {{"a.PJ2", "/BUILD"}, false, true, "a.PJ2", ""},
        {{"a.PJ2", " /silentBuild ", "C:\\out"}, false, true, "a.PJ2", "C:\\out"},
        {{" /tmp/a.PJ2 ", "/Build", "/tmp/out"}, false, true, "/tmp/a.PJ2", "/tmp/out"},
        {{"a.PJ2", "/OTHER", "C:\\out"}, false, false, "a.PJ2", ""},
        {{"a.PJ2"}, false, false, "a.PJ2", ""},
        {{}, false, false, "", ""},
    };
    for (const auto& c : cases) {
        const CommandLine line = ParseCommandLine(c.args);
        EXPECT_EQ(line.help, c.help);
        EXPECT_EQ(line.build, c.build);
        EXPECT_EQ(line.project, c.project);
        EXPECT_EQ(line.outputFolder, c.folder);
    }
}

TEST(CommandLine, UsageMentionsTheAnsweredQuestionAndExamples) {
    const std::string usage = UsageText();
    EXPECT_NE(usage.find("/SILENTBUILD"), std::string::npos);
    EXPECT_NE(usage.find("「はい」"), std::string::npos);
    EXPECT_NE(usage.find("例:"), std::string::npos);
}

TEST(ConsoleUi, BoxesGoToStandardErrorAndQuestionsFollowTheAnswerer) {
    std::ostringstream err;
    ConsoleUi ui(err);
    EXPECT_FALSE(ui.AskYesNo("question?"));
    ui.answer = [](std::string_view text, MessageButtons) { return text == "yes\r" ? Answer::Yes : Answer::No; };
    EXPECT_TRUE(ui.AskYesNo("yes\r"));
    EXPECT_EQ(err.str(), "question?\nyes \n");
}
