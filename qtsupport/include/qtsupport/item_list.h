// The item lists of the setting editors: each row keeps its record verbatim (the Shift-JIS
// text stored in the project), and the columns show texts that a record format derives from
// it. A list may hold 32,768 rows, so the model computes a cell only when the view paints it.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>
#include <QTableView>

#include <functional>
#include <string>
#include <vector>

namespace qtsupport {

// How a kind of record is shown. The functions are Qt-free codecs of the program's own.
struct ItemRecordFormat {
    QStringList columns;  // column captions
    // Shift-JIS text of one column of a record.
    std::function<std::string(const std::string& record, int column)> text;
    // Optional: index into `icons` for the first column (-1: none).
    std::function<int(const std::string& record)> icon;
    std::vector<QIcon> icons;
    // Optional: a check box in the first column; `setChecked` returns the changed record.
    std::function<bool(const std::string& record)> checked;
    std::function<std::string(const std::string& record, bool checked)> setChecked;
};

class ItemListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ItemListModel(ItemRecordFormat format, QObject* parent = nullptr);

    const std::vector<std::string>& records() const { return records_; }
    const std::string& record(int row) const { return records_.at(static_cast<std::size_t>(row)); }
    void setRecords(std::vector<std::string> records);
    void setRecord(int row, std::string record);
    // Inserts before `row` (row == rowCount() appends); returns the new row.
    int insertRecord(int row, std::string record);
    int appendRecord(std::string record) { return insertRecord(rowCount(), std::move(record)); }
    // Removes the rows (any order, duplicates ignored).
    void removeRecords(std::vector<int> rows);
    // Exchanges two rows.
    void swapRecords(int a, int b);
    // When false, check boxes cannot be changed by the user (read-only projects).
    void setEditable(bool editable) { editable_ = editable; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

Q_SIGNALS:
    // A check box was changed by the user.
    void recordChecked(int row, bool checked);

private:
    ItemRecordFormat format_;
    std::vector<std::string> records_;
    bool editable_ = true;
};

class ItemListView : public QTableView {
    Q_OBJECT
public:
    explicit ItemListView(QWidget* parent = nullptr);

    // Selected rows in ascending order.
    std::vector<int> selectedRows() const;
    // The current row, -1 when none.
    int currentRowIndex() const;
    void selectRowOnly(int row);

    // Column widths, pixels (remembered layouts).
    std::vector<int> columnWidths() const;
    void setColumnWidths(const std::vector<int>& widths);
    // Widths that follow the contents; only the first rows are measured, so a long list
    // costs no more than a short one.
    void fitColumnsToContents();

Q_SIGNALS:
    // A double click or Enter on a row.
    void rowActivated(int row);
};

}  // namespace qtsupport
