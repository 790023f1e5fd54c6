#include "zeriru/ui.h"

#include <gtest/gtest.h>

using namespace zeriru;

TEST(ScriptedUi, AnswersFromTheQueueThenTheSafeWay) {
    ScriptedUi ui;
    ui.QueueAnswer(Answer::Yes);
    EXPECT_TRUE(ui.AskYesNo("first?"));
    EXPECT_FALSE(ui.AskYesNo("second?")) << "an empty queue answers No";
    EXPECT_EQ(ui.ShowMessage("ok?", MessageButtons::OkCancel), Answer::Cancel);
    EXPECT_EQ(ui.ShowMessage("note"), Answer::Ok);
    EXPECT_EQ(ui.messages(), (std::vector<std::string>{"first?", "second?", "ok?", "note"}));
    EXPECT_EQ(ui.shown()[0].icon, MessageIcon::Question);
}

TEST(ScriptedUi, InputAndFileDialogsTakeQueuedTextsOrCancel) {
    ScriptedUi ui;
    ui.QueueText("secret");
    ui.QueueText("", false);
    std::string value = "initial";
    EXPECT_TRUE(ui.InputText("caption", "prompt", value, true));
    EXPECT_EQ(value, "secret");
    std::string path = "unchanged";
    EXPECT_FALSE(ui.ChooseSaveFile("a|*.pj2", "PJ2", "C:\\", path));
    EXPECT_EQ(path, "unchanged");
    EXPECT_FALSE(ui.ChooseOpenFile("a|*.pj2", "C:\\", path)) << "an empty queue cancels";
    ASSERT_EQ(ui.shown().size(), 3u);
    EXPECT_EQ(ui.shown()[0].caption, "caption");
    EXPECT_TRUE(ui.messages().empty());
}

TEST(ScriptedUi, FileDialogsRecordTheRequestAndAnswerWithFilesAndTheFilter) {
    ScriptedUi ui;
    ui.QueueFiles({"C:\\a.txt", "C:\\b.txt"}, 2);
    ui.QueueFiles({}, 1, false);
    FileDialogRequest many;
    many.mode = FileDialogRequest::Mode::OpenMany;
    many.filter = "text|*.txt|all|*.*";
    many.fileName = "preset.txt";
    EXPECT_TRUE(ui.ChooseFiles(many));
    EXPECT_EQ(many.paths, (std::vector<std::string>{"C:\\a.txt", "C:\\b.txt"}));
    EXPECT_EQ(many.filterIndex, 2);
    FileDialogRequest save;
    save.mode = FileDialogRequest::Mode::Save;
    save.overwritePrompt = true;
    EXPECT_FALSE(ui.ChooseFiles(save));
    EXPECT_FALSE(ui.ChooseFiles(save)) << "an empty queue cancels";
    ASSERT_EQ(ui.fileRequests().size(), 3u);
    EXPECT_EQ(ui.fileRequests()[0].fileName, "preset.txt");
    EXPECT_TRUE(ui.fileRequests()[1].overwritePrompt);
}

TEST(ScriptedUi, FolderBrowserHelpAndBusyCursor) {
    ScriptedUi ui;
    ui.QueueText("C:\\out");
    std::string folder = "C:\\";
    EXPECT_TRUE(ui.ChooseFolder("caption", folder));
    EXPECT_EQ(folder, "C:\\out");
    EXPECT_EQ(ui.shown()[0].kind, "folder");
    EXPECT_EQ(ui.shown()[0].caption, "C:\\") << "the initial folder is recorded";

    ui.QueueAnswer(Answer::Yes);
    EXPECT_EQ(ui.AskYesNoHelp("copy?", 97), Answer::Yes);
    EXPECT_EQ(ui.shown()[1].helpTopic, 97);
    ui.ShowHelp(46);
    EXPECT_EQ(ui.helpTopics(), std::vector<int>{46});
    {
        BusyCursor outer(ui);
        BusyCursor inner(ui);
        EXPECT_EQ(ui.busyDepth(), 2);
    }
    EXPECT_EQ(ui.busyDepth(), 0);
    EXPECT_EQ(ui.busyCount(), 2);
}
