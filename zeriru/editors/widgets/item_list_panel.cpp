#include "zeriru/editors/widgets/item_list_panel.h"

#include "zeriru/ui.h"

#include <QAction>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace zeriru::gui {

namespace {

struct CommandEntry {
    ListCommand command;
    const char* name;
    const char* caption;
    QKeySequence shortcut;
};

const std::vector<CommandEntry>& CommandEntries() {
    static const std::vector<CommandEntry> specs = {
        {ListCommand::Add, "actAdd", "追加(&A)...", QKeySequence(Qt::Key_Insert)},
        {ListCommand::Edit, "actEdit", "編集(&E)...", QKeySequence(Qt::CTRL | Qt::Key_E)},
        {ListCommand::Delete, "actDelete", "削除(&D)", QKeySequence(Qt::Key_Delete)},
        {ListCommand::Copy, "actCopy", "コピー(&C)", QKeySequence(Qt::CTRL | Qt::Key_C)},
        {ListCommand::Clear, "actClear", "クリア(&C)", QKeySequence(Qt::CTRL | Qt::Key_Delete)},
        {ListCommand::Top, "actTop", "最上位へ(&T)", QKeySequence(Qt::CTRL | Qt::Key_T)},
        {ListCommand::Up, "actUp", "上へ(&U)", QKeySequence(Qt::CTRL | Qt::Key_U)},
        {ListCommand::Down, "actDown", "下へ(&D)", QKeySequence(Qt::CTRL | Qt::Key_D)},
        {ListCommand::Bottom, "actBottom", "最下位へ(&B)", QKeySequence(Qt::CTRL | Qt::Key_B)},
        {ListCommand::SelectAll, "actSelectAll", "すべて選択(&S)", QKeySequence(Qt::CTRL | Qt::Key_A)},
        {ListCommand::Invert, "actInvert", "選択の反転(&R)", QKeySequence(Qt::CTRL | Qt::Key_R)},
    };
    return specs;
}

// The keys a list lets through: moving the selection and the focus.
bool KeyPassesList(int key) {
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Space:
        return true;
    default:
        return false;
    }
}

}  // namespace

TItemListPanel::TItemListPanel(Ui& ui, ItemList& list, qtsupport::ItemRecordFormat format, Options options,
                               EditorSettings* settings, QWidget* parent)
    : QWidget(parent), ui_(ui), list_(list), options_(std::move(options)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    const int columns = static_cast<int>(format.columns.size());
    model_ = new qtsupport::ItemListModel(std::move(format), this);
    view_ = new qtsupport::ItemListView(this);
    view_->setObjectName(QString::fromLatin1(options_.viewName));
    view_->setSelectionMode(options_.multiSelection ? QAbstractItemView::ExtendedSelection
                                                    : QAbstractItemView::SingleSelection);
    view_->setModel(model_);
    view_->installEventFilter(this);
    view_->viewport()->installEventFilter(this);
    view_->viewport()->setMouseTracking(true);
    layout->addWidget(view_);
    if (settings && !options_.layoutKey.empty())
        layout_ = std::make_unique<ColumnLayout>(*settings, options_.layoutKey, columns);

    MakeActions();
    connect(view_, &qtsupport::ItemListView::rowActivated, this, [this](int) {
        if (QAction* edit = action(ListCommand::Edit); edit && edit->isEnabled()) edit->trigger();
    });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateActions(); });
    connect(model_, &qtsupport::ItemListModel::recordChecked, this, [this](int row, bool) {
        list_.Replace(row, model_->record(row));
        if (onChanged) onChanged();
    });
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (popup_.empty()) return;
        QMenu menu(this);
        AddActionsTo(&menu, popup_);
        menu.exec(view_->viewport()->mapToGlobal(at));
    });
    Reload(list_.empty() ? -1 : 0);
}

TItemListPanel::~TItemListPanel() = default;

void TItemListPanel::MakeActions() {
    for (const CommandEntry& entry : CommandEntries()) {
        if (std::find(options_.commands.begin(), options_.commands.end(), entry.command) == options_.commands.end())
            continue;
        auto* a = new QAction(QString::fromUtf8(entry.caption), this);
        a->setObjectName(QString::fromLatin1(entry.name));
        a->setShortcut(entry.shortcut);
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
        const ListCommand command = entry.command;
        connect(a, &QAction::triggered, this, [this, command] { Run(command); });
        actions_[command] = a;
    }
}

QAction* TItemListPanel::action(ListCommand command) const {
    const auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

QPushButton* TItemListPanel::MakeButton(ListCommand command, const char* objectName, QWidget* parent,
                                        const QString& caption) {
    QAction* a = action(command);
    auto* button = new QPushButton(caption.isEmpty() && a ? a->text() : caption, parent);
    button->setObjectName(QString::fromLatin1(objectName));
    if (!a) return button;
    button->setEnabled(a->isEnabled());
    connect(button, &QPushButton::clicked, a, &QAction::trigger);
    connect(a, &QAction::changed, button, [button, a] { button->setEnabled(a->isEnabled()); });
    return button;
}

void TItemListPanel::AddActionsTo(QMenu* menu, const std::vector<ListCommand>& commands) {
    for (ListCommand c : commands) {
        if (QAction* a = action(c)) menu->addAction(a);
    }
}

void TItemListPanel::SetPopupCommands(const std::vector<ListCommand>& commands) { popup_ = commands; }

std::vector<int> TItemListPanel::selectedRows() const { return view_->selectedRows(); }

void TItemListPanel::Reload(int selectRow) {
    const int current = view_->currentRowIndex();
    model_->setRecords(list_.records());
    const int row = selectRow >= 0 ? selectRow : current;
    if (row >= 0 && row < list_.size()) view_->selectRowOnly(row);
    if (laidOut_ && (!layout_ || layout_->autoWidth())) FitColumns();
    UpdateActions();
}

void TItemListPanel::FitColumns() {
    // Columns that follow their contents are 150 pixels wide while the list is empty.
    if (list_.empty())
        view_->setColumnWidths(std::vector<int>(static_cast<std::size_t>(model_->columnCount()), kDefaultColumnWidth));
    else
        view_->fitColumnsToContents();
}

void TItemListPanel::AfterChange(int selectRow) {
    Reload(selectRow);
    if (onChanged) onChanged();
}

void TItemListPanel::Run(ListCommand command) {
    const std::vector<int> rows = selectedRows();
    const int row = rows.size() == 1 ? rows.front() : -1;
    switch (command) {
    case ListCommand::Add:
        if (!readOnly_ && onAdd) onAdd();
        return;
    case ListCommand::Edit:
        if (!rows.empty() && onEdit) onEdit(rows);
        return;
    case ListCommand::Delete:
        if (!readOnly_ && list_.Delete(ui_, rows)) AfterChange(std::min(rows.front(), list_.size() - 1));
        return;
    case ListCommand::Copy:
        if (!readOnly_ && row >= 0) AfterChange(list_.Copy(row));
        return;
    case ListCommand::Clear:
        if (!readOnly_ && list_.Clear(ui_)) AfterChange(-1);
        return;
    case ListCommand::Top:
        if (!readOnly_ && row >= 0) AfterChange(list_.MoveTop(row));
        return;
    case ListCommand::Up:
        if (!readOnly_ && row >= 0) AfterChange(list_.MoveUp(row));
        return;
    case ListCommand::Down:
        if (!readOnly_ && row >= 0) AfterChange(list_.MoveDown(row));
        return;
    case ListCommand::Bottom:
        if (!readOnly_ && row >= 0) AfterChange(list_.MoveBottom(row));
        return;
    case ListCommand::SelectAll:
        view_->selectAll();
        return;
    case ListCommand::Invert: {
        QItemSelectionModel* selection = view_->selectionModel();
        for (int r = 0; r < model_->rowCount(); ++r)
            selection->select(model_->index(r, 0),
                              QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
        return;
    }
    }
}

void TItemListPanel::UpdateActions() {
    const std::vector<int> rows = selectedRows();
    const bool one = rows.size() == 1;
    const int row = one ? rows.front() : -1;
    const bool change = !readOnly_;
    const auto set = [this](ListCommand c, bool on) {
        if (QAction* a = action(c)) a->setEnabled(on);
    };
    set(ListCommand::Add, change);
    set(ListCommand::Edit, !rows.empty() && (change || keepEdit_) && (!editAllowed || editAllowed(rows)));
    set(ListCommand::Delete, change && !rows.empty());
    set(ListCommand::Copy, change && one);
    set(ListCommand::Clear, change && !list_.empty());
    set(ListCommand::Top, change && one && list_.CanMoveUp(row));
    set(ListCommand::Up, change && one && list_.CanMoveUp(row));
    set(ListCommand::Down, change && one && list_.CanMoveDown(row));
    set(ListCommand::Bottom, change && one && list_.CanMoveDown(row));
    set(ListCommand::SelectAll, !list_.empty());
    set(ListCommand::Invert, !list_.empty());
}

void TItemListPanel::SetReadOnly(bool readOnly, bool keepEdit) {
    readOnly_ = readOnly;
    keepEdit_ = keepEdit;
    model_->setEditable(!readOnly);
    UpdateActions();
}

std::vector<int> TItemListPanel::columnWidths() const { return view_->columnWidths(); }

void TItemListPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (laidOut_) return;
    laidOut_ = true;
    if (layout_ && !layout_->autoWidth())
        view_->setColumnWidths(layout_->Widths());
    else
        FitColumns();
}

bool TItemListPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!KeyPassesList(key->key())) return true;
    }
    if (watched == view_->viewport() && event->type() == QEvent::MouseMove && layout_ && laidOut_)
        layout_->Store(view_->columnWidths());
    return QWidget::eventFilter(watched, event);
}

}  // namespace zeriru::gui
