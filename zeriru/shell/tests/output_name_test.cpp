// The output name composer: splitting a name into rows, the item dialog and the list commands.
#include "platform/sjis.h"
#include "zeriru/output_name.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

using namespace zeriru;
using platform::sjis::S;
using Rows = std::vector<OutputNameRow>;

TEST(OutputName, PlaceholdersBecomeUpperCaseRowsAndJoiningGivesTheNameBack) {
    const Rows rows = SplitOutputName("Setup_%ver_major%_%CDATE%", false);
    EXPECT_EQ(rows, (Rows{{LiteralRowType(), "Setup_"},
                          {"%VER_MAJOR%", "%VER_MAJOR%"},
                          {LiteralRowType(), "_"},
                          {"%CDATE%", "%CDATE%"}}));
    EXPECT_EQ(JoinOutputName(rows), "Setup_%VER_MAJOR%_%CDATE%");
}

TEST(OutputName, TheTwoDialogsTreatAnEmptyPlaceholderDifferently) {
    EXPECT_EQ(JoinOutputName(SplitOutputName("a%%b", false)), "ab") << "the property dialog drops %%";
    const Rows kept = SplitOutputName("a%%b", true);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[1], (OutputNameRow{"%%", "%%"}));
    EXPECT_EQ(JoinOutputName(kept), "a%%b");
}

TEST(OutputName, AnUnclosedPercentKeepsAllTheTextAfterIt) {
    const std::string text = S("版%VER_MAJOR%_残り%のテキスト");
    const Rows rows = SplitOutputName(text, false);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2], (OutputNameRow{LiteralRowType(), S("_残り%のテキスト")}));
    EXPECT_EQ(JoinOutputName(rows), text);
    EXPECT_TRUE(SplitOutputName("", false).empty());
}

TEST(OutputName, ItemDialogEnablesTheValueOnlyForALiteral) {
    CreateFileNameItemDialogModel fresh;
    EXPECT_EQ(fresh.type(), 0);
    EXPECT_TRUE(fresh.ValueEnabled());
    fresh.SelectType(7);
    EXPECT_FALSE(fresh.ValueEnabled());
    EXPECT_EQ(fresh.value(), "%CDATE%");
    fresh.SetValue("ignored");
    EXPECT_EQ(fresh.Row(), (OutputNameRow{"%CDATE%", "%CDATE%"}));
    fresh.SelectType(0);
    fresh.SetValue("");
    EXPECT_EQ(fresh.Row(), (OutputNameRow{LiteralRowType(), ""})) << "an empty value is accepted";

    CreateFileNameItemDialogModel unknown(OutputNameRow{"%FOO%", "%FOO%"});
    EXPECT_EQ(unknown.type(), -1) << "a placeholder the list lacks chooses no type";
    EXPECT_FALSE(unknown.ValueEnabled());
    EXPECT_EQ(unknown.Row(), (OutputNameRow{"%FOO%", "%FOO%"}));
}

TEST(OutputName, ComposerEditsMovesAndDeletesRows) {
    ScriptedUi ui;
    CreateFileNameDialogModel model("Setup_%ver_major%", false, false);
    EXPECT_EQ(model.Add([](CreateFileNameItemDialogModel&) { return false; }), -1);
    EXPECT_EQ(model.Add([](CreateFileNameItemDialogModel& item) {
        item.SelectType(8);
        return true;
    }), 2);
    EXPECT_TRUE(model.Edit(1, [](CreateFileNameItemDialogModel& item) {
        EXPECT_EQ(item.type(), 1);
        item.SelectType(0);
        item.SetValue("v1");
        return true;
    }));
    EXPECT_EQ(model.Result(), "Setup_v1%CTIME%");
    EXPECT_FALSE(model.UpEnabled({0}));
    EXPECT_FALSE(model.UpEnabled({1, 2})) << "only with exactly one row selected";
    EXPECT_FALSE(model.DownEnabled({2}));
    EXPECT_EQ(model.MoveDown(0), 1);
    EXPECT_EQ(model.Result(), "v1Setup_%CTIME%");
    EXPECT_FALSE(model.Delete(ui, 0));
    EXPECT_EQ(ui.messages(), std::vector<std::string>{S("選択項目を削除しますか。")});
    ui.QueueAnswer(Answer::Yes);
    EXPECT_TRUE(model.Delete(ui, 0));
    EXPECT_EQ(model.Result(), "Setup_%CTIME%");
    CreateFileNameDialogModel viewOnly("a", false, true);
    EXPECT_FALSE(viewOnly.DeleteEnabled({0}));
    EXPECT_TRUE(viewOnly.EditEnabled({0}));
}
