#include "qtsupport/item_list.h"

#include "qtsupport/sjis_text.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace qtsupport;

namespace {

// Records "check|name|size|": a check box, and two text columns.
std::string Field(const std::string& rec, int n) {
    std::size_t begin = 0;
    for (int i = 1; i < n; ++i) begin = rec.find('|', begin) + 1;
    return rec.substr(begin, rec.find('|', begin) - begin);
}

ItemRecordFormat Format() {
    ItemRecordFormat f;
    f.columns = {QStringLiteral("名前"), QStringLiteral("サイズ")};
    f.text = [](const std::string& rec, int column) { return Field(rec, column + 2); };
    f.checked = [](const std::string& rec) { return Field(rec, 1) == "1"; };
    f.setChecked = [](const std::string& rec, bool on) { return (on ? "1" : "0") + rec.substr(1); };
    return f;
}

}  // namespace

TEST(ItemListModel, ShowsColumnsOfTheRecordAndKeepsTheRecordVerbatim) {
    ItemListModel model(Format());
    // A Shift-JIS name whose trail byte is "|" would break a byte-wise split; this record
    // keeps it out of the name on purpose and carries unknown trailing fields.
    const std::string rec = "1|\x8C\xA9\x96\x7B|12|extra\x01|";
    model.setRecords({rec, "0|b|3|"});
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.columnCount(), 2);
    EXPECT_EQ(model.data(model.index(0, 0), Qt::DisplayRole).toString(), QStringLiteral("見本"));
    EXPECT_EQ(model.data(model.index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("12"));
    EXPECT_EQ(model.data(model.index(0, 0), Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(model.data(model.index(1, 0), Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("サイズ"));
    EXPECT_EQ(model.record(0), rec);
}

TEST(ItemListModel, CheckingChangesOnlyTheCheckFieldAndReadOnlyListsRefuse) {
    ItemListModel model(Format());
    model.setRecords({"1|a|1|keep|"});
    QSignalSpy spy(&model, &ItemListModel::recordChecked);
    EXPECT_TRUE(model.setData(model.index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_EQ(model.record(0), "0|a|1|keep|");
    EXPECT_EQ(spy.count(), 1);
    model.setEditable(false);
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(model.record(0), "0|a|1|keep|");
}

TEST(ItemListModel, InsertRemoveAndSwapKeepRowsInOrder) {
    ItemListModel model(Format());
    model.setRecords({"1|a|", "1|b|", "1|c|", "1|d|"});
    model.removeRecords({3, 1, 3});  // any order, duplicates ignored
    EXPECT_EQ(model.records(), (std::vector<std::string>{"1|a|", "1|c|"}));
    EXPECT_EQ(model.insertRecord(1, "1|x|"), 1);
    EXPECT_EQ(model.insertRecord(99, "1|z|"), 3) << "past the end appends";
    model.swapRecords(0, 3);
    EXPECT_EQ(model.records(), (std::vector<std::string>{"1|z|", "1|x|", "1|c|", "1|a|"}));
    model.swapRecords(0, 4);  // out of range: nothing happens
    model.setRecord(7, "1|q|");
    EXPECT_EQ(model.records().front(), "1|z|");
}

TEST(ItemListView, SelectsWholeRowsAndRemembersColumnWidths) {
    ItemListModel model(Format());
    std::vector<std::string> records;
    for (int i = 0; i < 32768; ++i) records.push_back("1|name" + std::to_string(i) + "|" + std::to_string(i) + "|");
    model.setRecords(std::move(records));
    ItemListView view;
    view.setModel(&model);
    view.resize(400, 300);
    view.show();
    view.selectRowOnly(32767);
    EXPECT_EQ(view.selectedRows(), std::vector<int>{32767});
    EXPECT_EQ(view.currentRowIndex(), 32767);
    view.setColumnWidths({120, 60});
    EXPECT_EQ(view.columnWidths()[0], 120);
    view.fitColumnsToContents();
    EXPECT_GT(view.columnWidths()[0], 0);
    view.selectRowOnly(-1);
    EXPECT_TRUE(view.selectedRows().empty());
}

TEST(ItemListView, EnterOnARowReportsItsNumber) {
    ItemListModel model(Format());
    model.setRecords({"1|a|", "1|b|"});
    ItemListView view;
    view.setModel(&model);
    view.show();
    QSignalSpy spy(&view, &ItemListView::rowActivated);
    view.selectRowOnly(1);
    Q_EMIT view.activated(model.index(1, 1));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 1);
}
