#include "zeriru/editors/widgets/switched_list_page.h"

#include "zeriru/editors/widgets/dialog_frame.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace zeriru::gui {

TSwitchedListPage::TSwitchedListPage(Ui& ui, ItemListDialogModel& model, qtsupport::ItemRecordFormat format,
                                     Options options, EditorSettings* settings, QWidget* parent)
    : QWidget(parent), model_(model) {
    auto* layout = new QVBoxLayout(this);
    switch_ = new QCheckBox(options.switchCaption, this);
    switch_->setObjectName("chkEnable");
    switch_->setToolTip(options.switchHint);
    layout->addWidget(switch_);

    TItemListPanel::Options panelOptions;
    panelOptions.viewName = options.viewName;
    panelOptions.layoutKey = options.layoutKey;
    panelOptions.multiSelection = options.multiSelection;
    panel_ = new TItemListPanel(ui, model.list(), std::move(format), panelOptions, settings, this);
    panel_->SetPopupCommands({ListCommand::Add, ListCommand::Edit, ListCommand::Delete, ListCommand::Copy});
    layout->addWidget(panel_, 1);

    buttons_ = new QHBoxLayout;
    const struct {
        ListCommand command;
        const char* name;
        const char* caption;
        QString hint;
    } buttons[] = {{ListCommand::Add, "btnAdd", "追加", {}},
                   {ListCommand::Edit, "btnEdit", "編集", {}},
                   {ListCommand::Copy, "btnCopy", "コピー", options.copyHint},
                   {ListCommand::Delete, "btnDelete", "削除", options.deleteHint},
                   {ListCommand::Clear, "btnClear", "クリア", options.clearHint}};
    for (const auto& b : buttons) {
        QPushButton* button = panel_->MakeButton(b.command, b.name, this, QString::fromUtf8(b.caption));
        button->setToolTip(b.hint);
        buttons_->addWidget(button);
    }
    buttons_->addStretch(1);
    layout->addLayout(buttons_);

    connect(switch_, &QCheckBox::toggled, this, [this](bool on) {
        if (!loading_) model_.SetEnabled(on);
    });
    panel_->onAdd = [this] {
        if (onAdd) onAdd();
    };
    panel_->onEdit = [this](const std::vector<int>& rows) {
        if (rows.size() == 1 && onEdit) onEdit(rows.front());
    };
    // Edit and copy work on exactly one item.
    panel_->editAllowed = [](const std::vector<int>& rows) { return rows.size() == 1; };
    panel_->onChanged = [this] {
        model_.ListChanged();
        Reload();
    };
    QHeaderView* header = panel_->view()->horizontalHeader();
    header->setSectionsClickable(true);
    connect(header, &QHeaderView::sectionClicked, this, [this](int column) {
        if (!onSort || !switch_->isEnabled()) return;
        onSort(column);
        panel_->Reload();
        if (onChanged) onChanged();
    });
    Reload();
}

void TSwitchedListPage::Reload(int row) {
    panel_->Reload(row);
    loading_ = true;
    switch_->setChecked(model_.enabled());
    loading_ = false;
    if (onChanged) onChanged();
}

void TSwitchedListPage::SetReadOnly(bool readOnly) {
    switch_->setEnabled(!readOnly);
    panel_->SetReadOnly(readOnly, true);
}

QMenuBar* TSwitchedListPage::MakeMenuBar(TEditorDialogFrame& dialog) {
    auto* bar = new QMenuBar(&dialog);
    bar->setObjectName("MainMenu");
    QMenu* file = bar->addMenu(QStringLiteral("ファイル(&F)"));
    QAction* apply = file->addAction(QStringLiteral("反映して閉じる(&U)"));
    apply->setObjectName("actApply");
    apply->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4));
    connect(apply, &QAction::triggered, dialog.okButton(), &QPushButton::click);
    apply->setVisible(!dialog.frame().readOnly());
    QAction* close = file->addAction(QStringLiteral("閉じる(&C)"));
    close->setObjectName("actClose");
    close->setShortcut(QKeySequence(Qt::Key_Escape));
    close->setShortcutContext(Qt::WidgetShortcut);
    connect(close, &QAction::triggered, &dialog, &QDialog::reject);
    editMenu_ = bar->addMenu(QStringLiteral("編集(&E)"));
    panel_->AddActionsTo(editMenu_, {ListCommand::Add, ListCommand::Edit, ListCommand::Delete, ListCommand::Copy,
                                     ListCommand::Clear});
    return bar;
}

void TSwitchedListPage::AddHelpMenu(QMenuBar* bar, TEditorDialogFrame& dialog) {
    QAction* help = bar->addAction(QStringLiteral("ヘルプ(&H)"));
    help->setObjectName("actHelp");
    help->setShortcut(QKeySequence(Qt::Key_F1));
    connect(help, &QAction::triggered, dialog.helpButton(), &QPushButton::click);
}

}  // namespace zeriru::gui
