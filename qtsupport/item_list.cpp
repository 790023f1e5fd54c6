#include "qtsupport/item_list.h"

#include "qtsupport/sjis_text.h"

#include <QHeaderView>
#include <QItemSelectionModel>

#include <algorithm>

namespace qtsupport {

namespace {
// Rows measured when columns follow their contents.
constexpr int kMeasuredRows = 200;
}  // namespace

ItemListModel::ItemListModel(ItemRecordFormat format, QObject* parent)
    : QAbstractTableModel(parent), format_(std::move(format)) {}

void ItemListModel::setRecords(std::vector<std::string> records) {
    beginResetModel();
    records_ = std::move(records);
    endResetModel();
}

void ItemListModel::setRecord(int row, std::string record) {
    if (row < 0 || row >= rowCount()) return;
    records_[static_cast<std::size_t>(row)] = std::move(record);
    Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
}

int ItemListModel::insertRecord(int row, std::string record) {
    row = std::clamp(row, 0, rowCount());
    beginInsertRows({}, row, row);
    records_.insert(records_.begin() + row, std::move(record));
    endInsertRows();
    return row;
}

void ItemListModel::removeRecords(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // From the end, so earlier row numbers stay valid.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        const int row = *it;
        if (row < 0 || row >= rowCount()) continue;
        beginRemoveRows({}, row, row);
        records_.erase(records_.begin() + row);
        endRemoveRows();
    }
}

void ItemListModel::swapRecords(int a, int b) {
    if (a == b || a < 0 || b < 0 || a >= rowCount() || b >= rowCount()) return;
    std::swap(records_[static_cast<std::size_t>(a)], records_[static_cast<std::size_t>(b)]);
    const int top = std::min(a, b), bottom = std::max(a, b);
    Q_EMIT dataChanged(index(top, 0), index(bottom, columnCount() - 1));
}

int ItemListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(records_.size());
}

int ItemListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(format_.columns.size());
}

QVariant ItemListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const std::string& rec = records_[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return format_.text ? ToQString(format_.text(rec, index.column())) : QString();
    case Qt::DecorationRole:
        if (index.column() == 0 && format_.icon) {
            const int i = format_.icon(rec);
            if (i >= 0 && i < static_cast<int>(format_.icons.size())) return format_.icons[static_cast<std::size_t>(i)];
        }
        return {};
    case Qt::CheckStateRole:
        if (index.column() == 0 && format_.checked) return format_.checked(rec) ? Qt::Checked : Qt::Unchecked;
        return {};
    default:
        return {};
    }
}

bool ItemListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::CheckStateRole || index.column() != 0 || !format_.setChecked || !editable_)
        return false;
    const bool on = value.toInt() == Qt::Checked;
    std::string& rec = records_[static_cast<std::size_t>(index.row())];
    rec = format_.setChecked(rec, on);
    Q_EMIT dataChanged(index, index, {Qt::CheckStateRole});
    Q_EMIT recordChecked(index.row(), on);
    return true;
}

Qt::ItemFlags ItemListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == 0 && format_.checked && editable_) f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant ItemListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < format_.columns.size())
        return format_.columns[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

ItemListView::ItemListView(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setAlternatingRowColors(false);
    verticalHeader()->hide();
    // Every row has the same height: the view never measures rows it does not show.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setResizeContentsPrecision(kMeasuredRows);
    connect(this, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        if (index.isValid()) Q_EMIT rowActivated(index.row());
    });
}

std::vector<int> ItemListView::selectedRows() const {
    std::vector<int> rows;
    if (!selectionModel()) return rows;
    for (const QModelIndex& i : selectionModel()->selectedRows()) rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int ItemListView::currentRowIndex() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() : -1;
}

void ItemListView::selectRowOnly(int row) {
    if (!model() || row < 0 || row >= model()->rowCount()) {
        clearSelection();
        return;
    }
    const QModelIndex i = model()->index(row, 0);
    selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(i);
}

std::vector<int> ItemListView::columnWidths() const {
    std::vector<int> widths;
    if (!model()) return widths;
    for (int c = 0; c < model()->columnCount(); ++c) widths.push_back(columnWidth(c));
    return widths;
}

void ItemListView::setColumnWidths(const std::vector<int>& widths) {
    for (std::size_t c = 0; c < widths.size(); ++c) setColumnWidth(static_cast<int>(c), widths[c]);
}

void ItemListView::fitColumnsToContents() { resizeColumnsToContents(); }

}  // namespace qtsupport
