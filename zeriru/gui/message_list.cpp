#include "zeriru/gui/message_list.h"

#include "qtsupport/sjis_text.h"
#include "zeriru/main_window_model.h"

#include <QApplication>
#include <QStyle>

namespace zeriru::gui {

BuildMessageListModel::BuildMessageListModel(QObject* parent)
    : QAbstractTableModel(parent),
      error_(QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical)),
      hint_(QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation)) {}

void BuildMessageListModel::clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void BuildMessageListModel::append(const BuildMessage& message) {
    const int row = rowCount();
    beginInsertRows({}, row, row);
    rows_.push_back(message);
    endInsertRows();
}

int BuildMessageListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int BuildMessageListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant BuildMessageListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const BuildMessage& m = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        if (index.column() == kErrorId) return QString::fromStdString(MessageHelpColumn(m));
        // One line per row: the line breaks of a message become blanks, as in a list view.
        QString text = qtsupport::ToQString(m.text);
        text.replace(QChar('\r'), QChar(' ')).replace(QChar('\n'), QChar(' '));
        return role == Qt::ToolTipRole ? qtsupport::ToDisplayText(m.text) : text;
    }
    if (role == Qt::DecorationRole && index.column() == kText) {
        if (m.kind == BuildEntryKind::Error) return error_;
        if (m.kind == BuildEntryKind::Hint) return hint_;
    }
    return {};
}

QVariant BuildMessageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == kText ? QStringLiteral("処理内容") : QStringLiteral("エラーID");
}

}  // namespace zeriru::gui
