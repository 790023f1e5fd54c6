// The list the shortcut, registry and INI dialogs share: the order of sorted texts, the switch
// that follows the list, the sort remembered across openings and the discard question.
#include "platform/sjis.h"
#include "zeriru/editors/define_combo.h"
#include "zeriru/editors/item_list_dialog_model.h"
#include "zeriru/editors/process_timing.h"
#include "zeriru/editors/text_order.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace zeriru;
using platform::sjis::S;

namespace {

using Records = std::vector<std::string>;

// A record "a|b|": column n is field n + 1.
std::string Column(const std::string& record, int column) {
    std::size_t start = 0;
    for (int i = 0; i < column; ++i) start = record.find('|', start) + 1;
    return record.substr(start, record.find('|', start) - start);
}

ItemListDialogModel Model(const std::string& key) {
    return ItemListDialogModel(ItemListTexts::Defaults(5000), key, Column);
}

}  // namespace

TEST(TextOrder, SortsTheSameWayOnEveryMachine) {
    struct Case {
        std::string a, b;
        int expected;
    } cases[] = {
        {"a", "B", -1},             // letters without regard to case first
        {"b", "A", 1},
        {"a", "A", -1},             // then lower case before upper case
        {"Ab", "aB", 1},            // the first letter that differs in case decides
        {"abc", "ABD", -1},         // a letter beyond the case difference comes first
        {"ab", "abc", -1},          // a text before the longer texts it begins
        {"1", "a", -1},             // digits before letters
        {"_", "0", -1},             // symbols before digits
        {"z", S("ｱ"), -1},          // half-width kana after letters
        {S("ｱ"), S("あ"), -1},      // and before double-byte characters
        {S("あ"), S("い"), -1},     // double-byte characters by their code
        {S("ソ"), S("ゾ"), -1},     // a trail byte of "\" is part of its character
        {"x", "x", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::sjis::ToUtf8(c.a) + " vs " + platform::sjis::ToUtf8(c.b));
        EXPECT_EQ(CompareListTexts(c.a, c.b), c.expected);
        EXPECT_EQ(CompareListTexts(c.b, c.a), -c.expected) << "the order is antisymmetric";
    }
    Records texts = {"b", "B", "a", "A", "10", "9", "", S("ソ"), "_x"};
    std::sort(texts.begin(), texts.end(), ListTextLess);
    EXPECT_EQ(texts, (Records{"", "_x", "10", "9", "a", "A", "b", "B", S("ソ")}));
}

TEST(ItemListDialog, TheSwitchFollowsAddingAndEmptyingAndCountsAsAChange) {
    ScriptedUi ui;
    ItemListDialogModel model = Model("Dialog\\TestSwitch");
    model.Load({"a|", "b|"}, false, false);
    EXPECT_FALSE(model.changed());
    model.Add("c|");
    EXPECT_TRUE(model.enabled()) << "adding turns the switch on";
    ui.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(model.Delete(ui, {0, 1}));
    EXPECT_TRUE(model.enabled()) << "one item left";
    ui.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(model.Delete(ui, {0}));
    EXPECT_FALSE(model.enabled()) << "the list emptied by a delete";

    model.Load({"a|"}, true, false);
    ui.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(model.Clear(ui));
    EXPECT_FALSE(model.enabled()) << "the list emptied by clear";

    model.Load({"a|"}, false, false);
    model.SetEnabled(true);
    EXPECT_TRUE(model.changed()) << "the switch alone is a change";
    ui.clear();
    EXPECT_FALSE(model.ConfirmDiscard(ui)) << "the question answered No keeps the dialog";
    EXPECT_EQ(ui.messages(), Records{S("変更内容を破棄してもよろしいですか？")});
    model.Load({"a|"}, false, true);
    model.SetEnabled(true);
    ui.clear();
    EXPECT_TRUE(model.ConfirmDiscard(ui));
    EXPECT_TRUE(ui.messages().empty()) << "a read-only project is not asked about";
}

TEST(ItemListDialog, AHeaderClickSortsAndTheNextClickOnItReversesEvenInTheNextOpening) {
    const Records records = {"b|2|", "A|3|", "a|1|"};
    ItemListDialogModel first = Model("Dialog\\TestSort");
    first.Load(records, true, false);
    first.SortByColumn(0);
    EXPECT_EQ(first.records(), (Records{"a|1|", "A|3|", "b|2|"}));
    EXPECT_TRUE(first.changed()) << "the sorted order is what OK writes";

    ItemListDialogModel second = Model("Dialog\\TestSort");
    second.Load(records, true, false);
    EXPECT_EQ(second.records(), records) << "opening shows the stored order";
    EXPECT_EQ(second.sortState().column, 0);
    second.SortByColumn(0);
    EXPECT_EQ(second.records(), (Records{"b|2|", "A|3|", "a|1|"})) << "the same column again: descending";
    second.SortByColumn(1);
    EXPECT_EQ(second.records(), (Records{"a|1|", "b|2|", "A|3|"})) << "another column: ascending";
    EXPECT_EQ(Model("Dialog\\OtherList").sortState().column, -1) << "each list remembers its own";
}

TEST(DefineCombo, AStoredDefineSelectsItsEntryOrComesFirst) {
    const Records entries = {"%InstallDir%", "%WindowsDirectory%"};
    DefineComboChoice known = PlaceDefine(entries, "%windowsdirectory%");
    EXPECT_EQ(known.entries, entries);
    EXPECT_EQ(known.selected, 1) << "found without regard to case";
    DefineComboChoice other = PlaceDefine(entries, "D:\\data");
    EXPECT_EQ(other.entries, (Records{"D:\\data", "%InstallDir%", "%WindowsDirectory%"}));
    EXPECT_EQ(other.selected, 0);
    EXPECT_EQ(PlaceDefine(entries, "").selected, -1);
}

TEST(ProcessTiming, AConditionMustCoverThePhasesOfItsItem) {
    // Rows: condition timing 0-3; columns: processed at install, at uninstall, at both.
    const bool covers[4][3] = {{true, true, true}, {true, false, true}, {false, true, true}, {true, true, true}};
    for (int condition = 0; condition < 4; ++condition)
        for (int timing = 0; timing < process_timing::kCount; ++timing)
            EXPECT_EQ(ConditionCoversTiming(condition, timing), covers[condition][timing]) << condition << " " << timing;
    EXPECT_EQ(ProcessTimingText(2), S("インストール時・アンインストール時"));
}
