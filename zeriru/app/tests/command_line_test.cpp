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
        const char* passwordFile = "";
    } cases[] = {
        {{"--password-file", "/run/p", "a.PJ2", "/BUILD", "/tmp/o"}, false, true, "a.PJ2", "/tmp/o", "/run/p"},
        {{"--password-file=/run/p", "a.PJ2", "/build"}, false, true, "a.PJ2", "", "/run/p"},
        {{"--password-file"}, false, false, "", ""},
        {{"--verbose", "a.PJ2", "/BUILD"}, false, false, "", ""},  // unknown: the usage text
        {{"--password-file", "/run/p", "--help"}, true, false, "", "", "/run/p"},
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
        EXPECT_EQ(line.passwordFile, c.passwordFile);
    }
}

TEST(CommandLine, UsageMentionsTheAnsweredQuestionsPasswordsAndExitCodes) {
    const std::string usage = UsageText();
    for (const char* part : {"/SILENTBUILD", "「フォルダにコピー」形式の確認には「はい」", "言語情報を使用するかの確認には「はい」",
                             "--password-file", "ZERIRU_PASSWORD", "77 ", "255 ", "例:"})
        EXPECT_NE(usage.find(part), std::string::npos) << part;
}

// The file dialogs of a command-line run start in the prefix user's documents, not in the
// temporary folder.
TEST(CommandLine, DocumentsFolderIsTheUsersDocuments) {
    const std::string folder = CommandLineDocumentsFolder();
    EXPECT_EQ(folder.rfind("C:\\users\\", 0), 0u) << folder;
    EXPECT_EQ(folder.substr(folder.size() - 10), "\\Documents");
}

TEST(ConsoleUi, PasswordBoxTakesTheGivenPasswordOnly) {
    std::ostringstream err;
    ConsoleUi ui(err);
    std::string value;
    EXPECT_FALSE(ui.InputText("caption", "plain input", value));
    EXPECT_FALSE(ui.passwordAsked());
    ui.password = "pw";
    EXPECT_TRUE(ui.InputText("caption", "password", value, true));
    EXPECT_EQ(value, "pw");
    EXPECT_TRUE(ui.passwordAsked());
    EXPECT_EQ(err.str().find("pw"), std::string::npos);
}

TEST(ConsoleUi, BoxesGoToStandardErrorAndQuestionsFollowTheAnswerer) {
    std::ostringstream err;
    ConsoleUi ui(err);
    EXPECT_FALSE(ui.AskYesNo("question?"));
    ui.answer = [](std::string_view text, MessageButtons) { return text == "yes\r" ? Answer::Yes : Answer::No; };
    EXPECT_TRUE(ui.AskYesNo("yes\r"));
    EXPECT_EQ(err.str(), "question?\nyes \n");
}
