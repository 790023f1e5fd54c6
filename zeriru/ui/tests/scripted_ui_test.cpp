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
