#include "zeriru/frmFiles/widgets/files_dialog.h"

#include "qtsupport/sjis_text.h"
#include "zeriru/editors/widgets/editor_toolkit.h"
#include "zeriru/editors/widgets/item_list_panel.h"
#include "zeriru/frmFiles/files_help.h"
#include "zeriru/frmFiles/files_item.h"
#include "zeriru/ui.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelection>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace zeriru::gui {

using qtsupport::ToQString;

namespace {

struct CommandEntry {
    FilesCommand command;
    const char* name;
    const char* caption;
    QKeySequence shortcut;
};

const std::vector<CommandEntry>& CommandEntries() {
    static const std::vector<CommandEntry> specs = {
        {FilesCommand::Open, "actOpen", "開く(&O)", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {FilesCommand::ItemCheck, "actItemCheck", "項目のチェック(&C)", QKeySequence(Qt::Key_F3)},
        {FilesCommand::TotalSize, "actTotalSize", "必要容量の確認(&S)", {}},
        {FilesCommand::Ok, "actOk", "反映して閉じる(&U)", QKeySequence(Qt::CTRL | Qt::Key_F4)},
        {FilesCommand::Cancel, "actClose", "閉じる(&C)", {}},
        {FilesCommand::Add, "actAdd", "追加(&A)...", QKeySequence(Qt::Key_Insert)},
        {FilesCommand::Edit, "actEdit", "編集(&E)...", QKeySequence(Qt::CTRL | Qt::Key_E)},
        {FilesCommand::Delete, "actDelete", "削除(&D)", QKeySequence(Qt::Key_Delete)},
        {FilesCommand::Copy, "actCopy", "コピー(&P)", QKeySequence(Qt::CTRL | Qt::Key_C)},
        {FilesCommand::Clear, "actClear", "クリア(&C)", QKeySequence(Qt::CTRL | Qt::Key_Delete)},
        {FilesCommand::Convert, "actConvert", "変換(&V)", {}},
        {FilesCommand::MoveTop, "actTop", "最上位へ(&T)", QKeySequence(Qt::CTRL | Qt::Key_T)},
        {FilesCommand::MoveUp, "actUp", "上へ(&U)", QKeySequence(Qt::CTRL | Qt::Key_U)},
        {FilesCommand::MoveDown, "actDown", "下へ(&D)", QKeySequence(Qt::CTRL | Qt::Key_D)},
        {FilesCommand::MoveBottom, "actBottom", "最下位へ(&B)", QKeySequence(Qt::CTRL | Qt::Key_B)},
        {FilesCommand::SelectAll, "actSelectAll", "すべて選択(&S)", QKeySequence(Qt::CTRL | Qt::Key_A)},
        {FilesCommand::InvertSelection, "actInvert", "選択の反転(&R)", QKeySequence(Qt::CTRL | Qt::Key_R)},
        {FilesCommand::Import, "actImport", "インポート(&I)...", {}},
        {FilesCommand::Export, "actExport", "エクスポート(&E)...", {}},
        {FilesCommand::AutoRegister, "actAutoRegister", "共有ファイルを自動登録(&R)", {}},
        {FilesCommand::PositionSelect, "actPositionSelect", "「追加」位置を指定する(&P)", {}},
        {FilesCommand::Help, "actHelp", "ヘルプ(&H)", QKeySequence(Qt::Key_F1)},
        {FilesCommand::Abort, "actAbort", "中止(&A)", {}},
    };
    return specs;
}

// The commands whose buttons stand beside the list, with their object names.
const std::vector<std::pair<FilesCommand, const char*>>& ListButtons() {
    static const std::vector<std::pair<FilesCommand, const char*>> buttons = {
        {FilesCommand::Add, "btnAdd"},         {FilesCommand::Edit, "btnEdit"},
        {FilesCommand::Delete, "btnDelete"},   {FilesCommand::Copy, "btnCopy"},
        {FilesCommand::Clear, "btnClear"},     {FilesCommand::MoveTop, "btnTop"},
        {FilesCommand::MoveUp, "btnUp"},       {FilesCommand::MoveDown, "btnDown"},
        {FilesCommand::MoveBottom, "btnBottom"},
    };
    return buttons;
}

QString ButtonCaption(QAction* action) {
    QString text = action->text();
    if (text.endsWith(QStringLiteral("..."))) text.chop(3);
    return text;
}

}  // namespace

qtsupport::ItemRecordFormat FilesRowFormat() {
    qtsupport::ItemRecordFormat format;
    for (const std::string& caption : FilesColumnCaptions()) format.columns << ToQString(caption);
    format.text = [](const std::string& record, int column) { return FilesColumnText(record, column); };
    return format;
}

TfrmFilesDialog::TfrmFilesDialog(FilesDialogModel& model, EditorToolkit& kit, QWidget* parent)
    : TEditorDialogFrame(kit.ui(), "frmFilesDialog", ToQString(FilesDialogModel::Caption()), parent), model_(model),
      kit_(kit) {
    TItemListPanel::Options options;
    options.viewName = "lvFiles";
    options.layoutKey = std::string(settings_key::kFiles);
    options.commands = {};
    panel_ = new TItemListPanel(kit.ui(), model_.listForView(), FilesRowFormat(), options, &kit.data().settings(), this);
    view_ = panel_->view();
    MakeActions();
    MakeMenus();
    auto* row = new QHBoxLayout;
    row->addWidget(panel_, 1);
    row->addWidget(MakeButtons());
    body()->addLayout(row, 1);
    okButton()->setText(QStringLiteral("OK"));

    connect(view_, &qtsupport::ItemListView::rowActivated, this, [this](int) {
        if (action(FilesCommand::Edit)->isEnabled()) action(FilesCommand::Edit)->trigger();
    });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { TakeSelection(); });
    connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { TakeSelection(); });
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QWidget::customContextMenuRequested, this, &TfrmFilesDialog::ShowPopup);

    SetHelpTopic(files_help::kFilesDialog);
    TrackList(model_.list());
    model_.SetObserver(this);
    if (model_.readOnly()) {
        LockDown({}, {view_});
        panel_->SetReadOnly(true, true);
    }
    Reload();
    ShowSelection();
    UpdateActions();
    resize(720, 460);
}

TfrmFilesDialog::~TfrmFilesDialog() { model_.SetObserver(nullptr); }

void TfrmFilesDialog::MakeActions() {
    for (const CommandEntry& entry : CommandEntries()) {
        auto* a = new QAction(QString::fromUtf8(entry.caption), this);
        a->setObjectName(QString::fromLatin1(entry.name));
        if (!entry.shortcut.isEmpty()) {
            a->setShortcut(entry.shortcut);
            a->setShortcutContext(Qt::WindowShortcut);
        }
        addAction(a);
        actions_[entry.command] = a;
        const FilesCommand command = entry.command;
        connect(a, &QAction::triggered, this, [this, command] {
            switch (command) {
            case FilesCommand::Ok: okButton()->click(); return;
            case FilesCommand::Cancel: reject(); return;
            case FilesCommand::Help: helpButton()->click(); return;
            default: model_.Run(command);
            }
        });
    }
    for (FilesCommand toggle : {FilesCommand::AutoRegister, FilesCommand::PositionSelect}) action(toggle)->setCheckable(true);
}

void TfrmFilesDialog::MakeMenus() {
    menuBar_ = new QMenuBar(this);
    menuBar_->setObjectName("mnuFiles");
    const auto add = [this](QMenu* menu, std::initializer_list<FilesCommand> commands) {
        for (FilesCommand c : commands) menu->addAction(action(c));
    };
    QMenu* file = menuBar_->addMenu(QStringLiteral("ファイル(&F)"));
    add(file, {FilesCommand::Open, FilesCommand::ItemCheck, FilesCommand::TotalSize});
    file->addSeparator();
    add(file, {FilesCommand::Ok, FilesCommand::Cancel});
    QMenu* edit = menuBar_->addMenu(QStringLiteral("編集(&E)"));
    add(edit, {FilesCommand::Add, FilesCommand::Edit, FilesCommand::Delete, FilesCommand::Copy, FilesCommand::Clear,
               FilesCommand::Convert});
    edit->addSeparator();
    add(edit, {FilesCommand::MoveTop, FilesCommand::MoveUp, FilesCommand::MoveDown, FilesCommand::MoveBottom});
    edit->addSeparator();
    add(edit, {FilesCommand::SelectAll, FilesCommand::InvertSelection});
    QMenu* tools = menuBar_->addMenu(QStringLiteral("ツール(&T)"));
    add(tools, {FilesCommand::Import, FilesCommand::Export});
    tools->addSeparator();
    add(tools, {FilesCommand::AutoRegister, FilesCommand::PositionSelect});
    QMenu* help = menuBar_->addMenu(QStringLiteral("ヘルプ(&H)"));
    add(help, {FilesCommand::Help});
    if (auto* outer = qobject_cast<QVBoxLayout*>(layout())) outer->setMenuBar(menuBar_);

    popup_ = new QMenu(this);
    popup_->setObjectName("pmFiles");
    add(popup_, {FilesCommand::Open, FilesCommand::Add, FilesCommand::Edit, FilesCommand::Delete, FilesCommand::Copy,
                 FilesCommand::Convert});
    popup_->addSeparator();
    add(popup_, {FilesCommand::SelectAll, FilesCommand::InvertSelection});
}

QWidget* TfrmFilesDialog::MakeButtons() {
    auto* column = new QWidget(this);
    auto* buttons = new QVBoxLayout(column);
    buttons->setContentsMargins(0, 0, 0, 0);
    for (const auto& [command, name] : ListButtons()) {
        QAction* a = action(command);
        auto* button = new QPushButton(ButtonCaption(a), column);
        button->setObjectName(QString::fromLatin1(name));
        connect(button, &QPushButton::clicked, a, &QAction::trigger);
        connect(a, &QAction::changed, button, [button, a] { button->setEnabled(a->isEnabled()); });
        buttons->addWidget(button);
        listButtons_.push_back(button);
        if (command == FilesCommand::Clear) buttons->addSpacing(12);
    }
    buttons->addStretch();
    abort_ = new QPushButton(action(FilesCommand::Abort)->text(), column);
    abort_->setObjectName("btnAbort");
    connect(abort_, &QPushButton::clicked, action(FilesCommand::Abort), &QAction::trigger);
    buttons->addWidget(abort_);
    return column;
}

QAction* TfrmFilesDialog::action(FilesCommand command) const {
    const auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

// ---- the list follows the model ----

void TfrmFilesDialog::ListReset() { listChanged_ = true; }
void TfrmFilesDialog::RowsInserted(int, int) { listChanged_ = true; }
void TfrmFilesDialog::RowsRemoved(const std::vector<int>&) { listChanged_ = true; }
void TfrmFilesDialog::RowChanged(int) { listChanged_ = true; }
void TfrmFilesDialog::RowMoved(int, int) { listChanged_ = true; }

void TfrmFilesDialog::StateChanged() {
    if (listChanged_) Reload();
    ShowSelection();
    UpdateActions();
}

void TfrmFilesDialog::Adding(int) { kit_.ui().ProcessMessages(); }

void TfrmFilesDialog::Reload() {
    listChanged_ = false;
    showing_ = true;
    panel_->Reload(-1);
    view_->setColumnHidden(kColumnRecord, true);
    QHeaderView* header = view_->horizontalHeader();
    for (int column = 0; column < kColumnRecord; ++column)
        if (header->sectionSize(column) < header->sectionSizeHint(column))
            header->resizeSection(column, header->sectionSizeHint(column));
    showing_ = false;
}

// The model's selection on the view, as ranges of rows so that thousands cost little.
void TfrmFilesDialog::ShowSelection() {
    showing_ = true;
    QItemSelection selection;
    const std::vector<int>& rows = model_.selection();
    const int lastColumn = view_->model()->columnCount() - 1;
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t end = i;
        while (end + 1 < rows.size() && rows[end + 1] == rows[end] + 1) ++end;
        selection.select(view_->model()->index(rows[i], 0), view_->model()->index(rows[end], lastColumn));
        i = end + 1;
    }
    QItemSelectionModel* model = view_->selectionModel();
    model->select(selection, QItemSelectionModel::ClearAndSelect);
    const int current = model_.SelectedRow();
    if (current >= 0) {
        model->setCurrentIndex(view_->model()->index(current, 0), QItemSelectionModel::NoUpdate);
        view_->scrollTo(view_->model()->index(current, 0));
    }
    showing_ = false;
}

void TfrmFilesDialog::TakeSelection() {
    if (showing_) return;
    showing_ = true;
    model_.SetSelection(view_->selectedRows(), view_->currentRowIndex());
    showing_ = false;
    UpdateActions();
}

void TfrmFilesDialog::UpdateActions() {
    for (const auto& [command, a] : actions_) {
        a->setEnabled(model_.Enabled(command));
        a->setVisible(model_.Visible(command) || command == FilesCommand::Ok);
    }
    action(FilesCommand::Ok)->setVisible(model_.Visible(FilesCommand::Ok));
    action(FilesCommand::AutoRegister)->setChecked(model_.autoRegister());
    action(FilesCommand::PositionSelect)->setChecked(model_.positionSelect());
    const bool adding = model_.adding();
    abort_->setVisible(adding);
    abort_->setEnabled(adding);
    for (std::size_t i = 0; i < listButtons_.size(); ++i) {
        listButtons_[i]->setVisible(!adding);
        listButtons_[i]->setEnabled(action(ListButtons()[i].first)->isEnabled());
    }
    menuBar_->setEnabled(!adding);
    okButton()->setEnabled(!adding && !model_.readOnly());
    cancelButton()->setEnabled(!adding);
}

void TfrmFilesDialog::ShowPopup(const QPoint& at) {
    if (model_.adding()) return;
    popup_->popup(view_->viewport()->mapToGlobal(at));
}

// ---- closing ----

bool TfrmFilesDialog::AcceptOk() { return model_.Ok(); }

void TfrmFilesDialog::reject() {
    if (model_.adding()) return;
    TEditorDialogFrame::reject();
}

void TfrmFilesDialog::done(int result) {
    model_.StoreToggles();
    TEditorDialogFrame::done(result);
}

}  // namespace zeriru::gui
