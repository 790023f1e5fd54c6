#include "qtsupport/sjis_text.h"
#include "zeriru/frmFiles/widgets/files_item_dialog.h"

#include <QApplication>
#include <QIODevice>
#include <QMimeData>
#include <QStyle>

namespace zeriru::gui {

using qtsupport::ToQString;
using qtsupport::ToSjis;

namespace {

// The dragged node, by address: drags stay inside the one tree of this dialog.
const QString kNodeMime = QStringLiteral("application/x-zuzoruve-file-tree-node");

}  // namespace

GraphicalTreeItemModel::GraphicalTreeItemModel(GraphicalTreeModel& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree) {}

FileTreeNode* GraphicalTreeItemModel::node(const QModelIndex& index) const {
    return index.isValid() ? static_cast<FileTreeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex GraphicalTreeItemModel::indexOf(const FileTreeNode* n) const {
    if (!n) return {};
    return createIndex(static_cast<int>(n->Row()), 0, const_cast<FileTreeNode*>(n));
}

void GraphicalTreeItemModel::Rebuild() {
    beginResetModel();
    endResetModel();
}

QModelIndex GraphicalTreeItemModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) return {};
    if (!parent.isValid()) return row == 0 ? createIndex(0, 0, &tree_.root()) : QModelIndex();
    FileTreeNode* p = node(parent);
    if (!p || row >= static_cast<int>(p->children.size())) return {};
    return createIndex(row, 0, p->children[static_cast<std::size_t>(row)].get());
}

QModelIndex GraphicalTreeItemModel::parent(const QModelIndex& index) const {
    FileTreeNode* n = node(index);
    if (!n || !n->parent) return {};
    return indexOf(n->parent);
}

int GraphicalTreeItemModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return 1;
    const FileTreeNode* n = node(parent);
    return n ? static_cast<int>(n->children.size()) : 0;
}

int GraphicalTreeItemModel::columnCount(const QModelIndex&) const { return 1; }

QVariant GraphicalTreeItemModel::data(const QModelIndex& index, int role) const {
    const FileTreeNode* n = node(index);
    if (!n) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return ToQString(n->text);
    case Qt::ToolTipRole: return ToQString(n->IsFolder() ? n->text : n->source);
    case Qt::DecorationRole:
        return QApplication::style()->standardIcon(n->IsFolder() ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
    default: return {};
    }
}

bool GraphicalTreeItemModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !tree_.Rename(node(index), ToSjis(value.toString()))) return false;
    Q_EMIT dataChanged(index, index);
    Q_EMIT treeChanged();
    return true;
}

Qt::ItemFlags GraphicalTreeItemModel::flags(const QModelIndex& index) const {
    const FileTreeNode* n = node(index);
    if (!n) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (tree_.CanRename(n)) f |= Qt::ItemIsEditable;
    if (n != &tree_.root()) f |= Qt::ItemIsDragEnabled;
    if (n->IsFolder()) f |= Qt::ItemIsDropEnabled;
    return f;
}

Qt::DropActions GraphicalTreeItemModel::supportedDropActions() const { return Qt::MoveAction; }

QStringList GraphicalTreeItemModel::mimeTypes() const { return {kNodeMime}; }

QMimeData* GraphicalTreeItemModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.isEmpty() || !node(indexes.front())) return nullptr;
    auto* data = new QMimeData;
    data->setData(kNodeMime, QByteArray::number(reinterpret_cast<quintptr>(node(indexes.front()))));
    return data;
}

FileTreeNode* GraphicalTreeItemModel::Dragged(const QMimeData* data) const {
    if (!data || !data->hasFormat(kNodeMime)) return nullptr;
    bool ok = false;
    const quintptr address = data->data(kNodeMime).toULongLong(&ok);
    if (!ok) return nullptr;
    // Only a node of this tree is taken, whatever the data claims.
    const auto* wanted = reinterpret_cast<const FileTreeNode*>(address);
    std::function<FileTreeNode*(FileTreeNode&)> find = [&](FileTreeNode& n) -> FileTreeNode* {
        if (&n == wanted) return &n;
        for (auto& child : n.children) {
            if (FileTreeNode* found = find(*child)) return found;
        }
        return nullptr;
    };
    return find(tree_.root());
}

bool GraphicalTreeItemModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int, int,
                                             const QModelIndex& parent) const {
    return action == Qt::MoveAction && tree_.CanDrop(Dragged(data), node(parent));
}

bool GraphicalTreeItemModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                          const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent)) return false;
    if (!tree_.Drop(Dragged(data), node(parent))) return false;
    Rebuild();
    Q_EMIT treeChanged();
    // The node is in its new place already: the view must not remove the dragged row.
    return false;
}

}  // namespace zeriru::gui
