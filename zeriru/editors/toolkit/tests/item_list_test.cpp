// The list commands the editors share, the discard question, the pages and the remembered
// column widths.
#include "platform/sjis.h"
#include "zeriru/editors/dialog_frame_model.h"
#include "zeriru/editors/item_list.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

using namespace zeriru;
using platform::sjis::S;

namespace {
using Records = std::vector<std::string>;
}

TEST(ItemList, LimitRefusesWithItsNumberAndCountsWhatIsAdded) {
    ScriptedUi ui;
    ItemList list(ItemListTexts::Defaults(3));
    list.Load({"a", "b"});
    EXPECT_FALSE(list.changed()) << "loading is not a change";
    EXPECT_TRUE(list.CanAdd(ui));
    EXPECT_FALSE(list.CanAdd(ui, 2));
    EXPECT_EQ(ui.messages(), Records{S("最大登録可能数は 3 までです。")});
    list.Append("c");
    EXPECT_TRUE(list.Full());
    ItemListTexts own = ItemListTexts::Defaults(5000);
    own.limitMessage = S("登録可能数は %d までです。");
    EXPECT_EQ(ItemList(own).LimitMessage(), S("登録可能数は 5000 までです。"));
    EXPECT_TRUE(ItemList(ItemListTexts::Defaults(0)).CanAdd(ui, 100000)) << "0: no limit";
}

TEST(ItemList, DeleteAndClearAskAndEveryChangeMarksTheList) {
    ScriptedUi ui;
    ItemList list;
    list.Load({"a", "b", "c", "d"});
    EXPECT_FALSE(list.Delete(ui, {1}));
    EXPECT_EQ(list.size(), 4);
    EXPECT_FALSE(list.changed());
    ui.QueueAnswer(Answer::Yes);
    EXPECT_TRUE(list.Delete(ui, {3, 1, 1}));
    EXPECT_EQ(list.records(), (Records{"a", "c"}));
    EXPECT_TRUE(list.changed());
    EXPECT_EQ(ui.messages().front(), S("選択項目を削除しますか。"));
    EXPECT_EQ(list.Copy(0), 1);
    EXPECT_EQ(list.records(), (Records{"a", "a", "c"}));
    ui.QueueAnswer(Answer::Yes);
    EXPECT_TRUE(list.Clear(ui));
    EXPECT_EQ(ui.messages().back(), S("すべての項目を削除しますか。"));
    EXPECT_FALSE(list.Clear(ui)) << "an empty list is not asked about";
}

TEST(ItemList, MovesKeepTheMovedItemsRowAndStopAtTheEnds) {
    ItemList list;
    list.Load({"a", "b", "c", "d"});
    EXPECT_EQ(list.MoveUp(0), 0);
    EXPECT_FALSE(list.changed());
    EXPECT_EQ(list.MoveDown(0), 1);
    EXPECT_EQ(list.records(), (Records{"b", "a", "c", "d"}));
    EXPECT_EQ(list.MoveBottom(1), 3);
    EXPECT_EQ(list.records(), (Records{"b", "c", "d", "a"}));
    EXPECT_EQ(list.MoveTop(2), 0);
    EXPECT_EQ(list.records(), (Records{"d", "b", "c", "a"}));
    EXPECT_FALSE(list.CanMoveDown(3));
}

TEST(ItemList, SortingIsStableAndTheHeaderClicksToggle) {
    ItemList list;
    list.Load({"b|1", "a|2", "b|0", "a|1"});
    const auto first = [](const std::string& r) { return r.substr(0, 1); };
    list.Sort(first, true, std::less<std::string>());
    EXPECT_EQ(list.records(), (Records{"a|2", "a|1", "b|1", "b|0"}));
    list.Sort(first, false, std::less<std::string>());
    EXPECT_EQ(list.records(), (Records{"b|1", "b|0", "a|2", "a|1"}));
    SortState& state = SortMemory("Dialog\\Test");
    state.Click(2);
    EXPECT_TRUE(state.ascending);
    state.Click(2);
    EXPECT_FALSE(state.ascending);
    state.Click(1);
    EXPECT_TRUE(state.ascending);
    EXPECT_EQ(SortMemory("dialog\\TEST").column, 1) << "remembered for the run under its key";
}

TEST(DialogFrame, DiscardQuestionOnlyForChangesOfAWritableProject) {
    ScriptedUi ui;
    DialogFrameModel frame;
    EXPECT_TRUE(frame.ConfirmDiscard(ui));
    EXPECT_TRUE(ui.messages().empty());
    frame.MarkChanged();
    EXPECT_FALSE(frame.ConfirmDiscard(ui)) << "No keeps the dialog open";
    EXPECT_EQ(ui.messages(), Records{S("変更内容を破棄してもよろしいですか？")});
    ui.QueueAnswer(Answer::Yes);
    EXPECT_TRUE(frame.ConfirmDiscard(ui));
    frame.SetReadOnly(true);
    ui.clear();
    EXPECT_TRUE(frame.ConfirmDiscard(ui));
    EXPECT_TRUE(ui.messages().empty()) << "never asked for a read-only project";
}

TEST(DialogFrame, PagesWrapAndRememberTheLastOneWhenTheStateIsKept) {
    MemorySettingsStore store;
    EditorSettings settings(store, "C:\\Editor\\", "C:\\Docs");
    PageSwitcher pages(3, {10, 16, 110});
    pages.SetPage(2);
    pages.Next();
    EXPECT_EQ(pages.page(), 0) << "the last page's next is the first";
    pages.Previous();
    EXPECT_EQ(pages.page(), 2);
    EXPECT_EQ(pages.HelpTopic(), 110);
    pages.Store(settings, "Dialog\\Application");
    PageSwitcher reopened(3, {});
    reopened.Restore(settings, "Dialog\\Application");
    EXPECT_EQ(reopened.page(), 2);
    EditorOptions options = settings.ReadOptions();
    options.saveLastState = false;
    settings.WriteOptions(options);
    reopened.Restore(settings, "Dialog\\Application");
    EXPECT_EQ(reopened.page(), 0);
}

TEST(DialogFrame, ColumnWidthsAreRememberedOnlyWithoutAutomaticWidths) {
    MemorySettingsStore store;
    EditorSettings settings(store, "C:\\Editor\\", "C:\\Docs");
    ColumnLayout automatic(settings, "Dialog\\Files", 2);
    EXPECT_TRUE(automatic.autoWidth());
    automatic.Store({10, 20});
    EXPECT_EQ(settings.ColumnWidth("Dialog\\Files", 0), 150) << "nothing stored while widths are automatic";
    EditorOptions options = settings.ReadOptions();
    options.autoColumnWidth = false;
    settings.WriteOptions(options);
    ColumnLayout layout(settings, "Dialog\\Files", 2);
    EXPECT_EQ(layout.Widths(), (std::vector<int>{150, 150}));
    layout.Store({90, 150});
    EXPECT_EQ(settings.ColumnWidth("Dialog\\Files", 0), 90);
    EXPECT_EQ(store.ValueCount("Dialog\\Files"), 1u) << "only the width that changed is written";
}
