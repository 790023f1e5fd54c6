#include "zeriru/editors/widgets/registry_dialogs.h"

#include "platform/sjis.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/defines.h"
#include "zeriru/editor_environment.h"
#include "zeriru/editors/binary_grid.h"
#include "zeriru/editors/widgets/condition_editor.h"
#include "zeriru/editors/widgets/editor_toolkit.h"
#include "zeriru/editors/widgets/switched_list_page.h"
#include "zeriru/help_topics.h"
#include "zeriru/ui.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zeriru::gui {

using qtsupport::ToQString;
using qtsupport::ToSjis;
namespace rc = registry_control;

namespace {

QLineEdit* Edit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QComboBox* RootKeyCombo(QWidget* parent, const char* name) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    for (std::string_view root : RootKeyChoices()) combo->addItem(ToQString(root));
    return combo;
}

qtsupport::ItemRecordFormat RegistryFormat() {
    qtsupport::ItemRecordFormat format;
    for (int c = 0; c < kRegistryColumnCount; ++c) format.columns << ToQString(RegistryColumnCaption(c));
    format.text = [](const std::string& record, int column) { return RegistryColumnText(record, column); };
    return format;
}

// A cell of the byte grid takes hexadecimal digits only, at most two, in upper case.
class ByteCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
        auto* edit = new QLineEdit(parent);
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9A-Fa-f]{0,2}"), edit));
        connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
            const int caret = edit->cursorPosition();
            edit->setText(text.toUpper());
            edit->setCursorPosition(caret);
        });
        return edit;
    }
};

}  // namespace

// ---- the list dialog ----

TfrmRegistryDialog::TfrmRegistryDialog(EditorToolkit& kit, RegistryDialogModel& model)
    : TEditorDialogFrame(kit.ui(), "frmRegistryDialog", ToQString(RegistryDialogModel::Caption()), kit.parent()),
      kit_(kit), model_(model) {
    auto* pages = new QTabWidget(this);
    pages->setObjectName("PageControl");
    TSwitchedListPage::Options options;
    options.switchCaption = QStringLiteral("レジストリを登録する(&R)");
    options.viewName = "lvRegistry";
    options.layoutKey = std::string(settings_key::kRegistry);
    options.copyHint = QStringLiteral("選択項目の下に同一項目をコピーします。");
    options.clearHint = QStringLiteral("リスト内の項目をすべて削除します");
    itemsPage_ = new TSwitchedListPage(kit.ui(), model.items(), RegistryFormat(), options, &kit.data().settings());
    itemsPage_->setObjectName("tsItem");
    itemsPage_->panel()->view()->setColumnHidden(kRegistryRecordColumn, true);
    itemsPage_->onAdd = [this] {
        const int row = model_.Add(kit_.ui(), [this](RegistryItemDialogModel& item) { return RunItemDialog(item); });
        if (row >= 0) itemsPage_->Reload(row);
    };
    itemsPage_->onEdit = [this](int row) {
        if (model_.Edit(row, [this](RegistryItemDialogModel& item) { return RunItemDialog(item); }))
            itemsPage_->Reload(row);
    };
    itemsPage_->onSort = [this](int column) { model_.SortByColumn(column); };
    pages->addTab(itemsPage_, QStringLiteral("項目の設定"));
    body()->addWidget(pages);
    okButton()->setToolTip(QStringLiteral("変更内容を保存しウインドウを閉じます"));
    cancelButton()->setToolTip(QStringLiteral("変更内容を破棄してウインドウを閉じます"));

    QMenuBar* bar = itemsPage_->MakeMenuBar(*this);
    QMenu* tools = bar->addMenu(QStringLiteral("ツール(&T)"));
    QAction* import = tools->addAction(QStringLiteral("インポート(&I)"));
    import->setObjectName("actImport");
    connect(import, &QAction::triggered, this, [this] { Import(); });
    TSwitchedListPage::AddHelpMenu(bar, *this);
    layout()->setMenuBar(bar);
    UsePages(pages, {help_topic::kRegistryList});
    if (model_.readOnly()) {
        LockDown();
        itemsPage_->SetReadOnly(true);
        import->setEnabled(false);
    }
    resize(720, 440);
}

bool TfrmRegistryDialog::RunItemDialog(RegistryItemDialogModel& item) {
    TfrmRegistryItemDialog dialog(kit_, item);
    return kit_.Run(dialog) == QDialog::Accepted;
}

void TfrmRegistryDialog::Import() {
    const int before = model_.items().size();
    model_.Import(kit_.ui(), [this](RegistryImportDialogModel& import) {
        TfrmRegistryTreeDialog dialog(kit_, import, model_.registry());
        return kit_.Run(dialog) == QDialog::Accepted;
    });
    itemsPage_->Reload(model_.items().size() > before ? before : -1);
}

bool TfrmRegistryDialog::AcceptOk() {
    const bool close = model_.ConfirmOk(kit_.ui());
    itemsPage_->Reload();
    return close;
}

void TfrmRegistryDialog::reject() {
    if (!model_.ConfirmCancel(kit_.ui())) return;
    QDialog::reject();
}

// ---- the item dialog ----

TfrmRegistryItemDialog::TfrmRegistryItemDialog(EditorToolkit& kit, RegistryItemDialogModel& model)
    : TEditorDialogFrame(kit.ui(), "frmRegistryItemDialog", ToQString(RegistryItemDialogModel::Caption()),
                         kit.parent()),
      kit_(kit), model_(model) {
    auto* pages = new QTabWidget(this);
    pages->setObjectName("PageControl");
    pages->addTab(BuildDetailPage(), QStringLiteral("詳細"));
    if (model_.OtherPageVisible()) pages->addTab(BuildOtherPage(), QStringLiteral("その他設定"));
    body()->addWidget(pages);
    auto* os = new QPushButton(QStringLiteral("OSの設定(&O)"), this);
    os->setObjectName("btnOS");
    os->setEnabled(model_.OsButtonEnabled());
    buttonBox()->addButton(os, QDialogButtonBox::ActionRole);
    connect(os, &QPushButton::clicked, this, [this] {
        if (std::optional<OsTarget> target = kit_.EditOsTarget(model_.os)) model_.os = *target;
    });
    UsePages(pages, std::vector<int>(static_cast<std::size_t>(pages->count()), help_topic::kRegistryItem));
    if (model_.readOnly()) LockDown();
    resize(600, 460);
}

QWidget* TfrmRegistryItemDialog::BuildDetailPage() {
    auto* page = new QWidget;
    page->setObjectName(rc::kDetailPage);
    auto* form = new QFormLayout(page);
    timing_ = new QComboBox(page);
    timing_->setObjectName(rc::kTiming);
    for (int t = 0; t < process_timing::kCount; ++t) timing_->addItem(ToQString(ProcessTimingText(t)));
    form->addRow(QStringLiteral("処理タイミング(&T)"), timing_);
    rootKey_ = RootKeyCombo(page, rc::kRootKey);
    form->addRow(QStringLiteral("ルートキー(&R) *"), rootKey_);
    subKey_ = Edit(page, rc::kSubKey);
    form->addRow(QStringLiteral("サブキー(&K) *"), subKey_);
    valueName_ = Edit(page, rc::kValueName);
    form->addRow(QStringLiteral("値名(&N)"), valueName_);
    type_ = new QComboBox(page);
    type_->setObjectName(rc::kValueType);
    for (int t = 0; t < registry_value_type::kCount; ++t) type_->addItem(ToQString(RegistryValueTypeText(t)));
    form->addRow(QStringLiteral("値の種類(&S)"), type_);

    valuePages_ = new QStackedWidget(page);
    auto* text = new QWidget;
    auto* textRow = new QHBoxLayout(text);
    textRow->setContentsMargins(0, 0, 0, 0);
    value_ = Edit(text, rc::kValue);
    auto* builder = new QPushButton(QStringLiteral("..."), text);
    builder->setObjectName("btnValueDefine");
    builder->setToolTip(QStringLiteral("定数値を挿入することができます"));
    textRow->addWidget(value_, 1);
    textRow->addWidget(builder);
    textRow->setAlignment(Qt::AlignTop);
    valuePages_->addWidget(text);
    auto* binary = new QWidget;
    auto* binaryLayout = new QVBoxLayout(binary);
    binaryLayout->setContentsMargins(0, 0, 0, 0);
    grid_ = new QTableWidget(kBinaryGridRows, kBinaryGridColumns, binary);
    grid_->setObjectName(rc::kBinaryGrid);
    grid_->setItemDelegate(new ByteCellDelegate(grid_));
    QStringList columns, rows;
    for (int c = 0; c < kBinaryGridColumns; ++c) columns << QString::number(c);
    for (int r = 0; r < kBinaryGridRows; ++r) rows << QString::fromStdString(BinaryRowHeader(r));
    grid_->setHorizontalHeaderLabels(columns);
    grid_->setVerticalHeaderLabels(rows);
    grid_->horizontalHeader()->setDefaultSectionSize(34);
    grid_->verticalHeader()->setDefaultSectionSize(20);
    grid_->setMinimumHeight(180);
    auto* clear = new QPushButton(QStringLiteral("クリア(&C)"), binary);
    clear->setObjectName("btnGridClear");
    binaryLayout->addWidget(grid_, 1);
    binaryLayout->addWidget(clear, 0, Qt::AlignLeft);
    valuePages_->addWidget(binary);
    form->addRow(QStringLiteral("値(&V)"), valuePages_);

    loading_ = true;
    timing_->setCurrentIndex(model_.timing());
    rootKey_->setCurrentText(ToQString(model_.root));
    subKey_->setText(ToQString(model_.subKey));
    valueName_->setText(ToQString(model_.valueName));
    type_->setCurrentIndex(model_.type());
    value_->setText(ToQString(model_.value));
    ShowGrid();
    ShowValue();
    loading_ = false;

    connect(timing_, &QComboBox::currentIndexChanged, this, [this](int t) {
        if (!loading_) model_.SetTiming(t);
    });
    connect(type_, &QComboBox::currentIndexChanged, this, [this](int t) {
        if (loading_) return;
        Read();
        model_.SetType(t);
        loading_ = true;
        value_->setText(ToQString(model_.value));
        ShowGrid();
        loading_ = false;
        ShowValue();
    });
    connect(grid_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (loading_) return;
        const int index = item->row() * kBinaryGridColumns + item->column();
        model_.SetCell(index, ToSjis(item->text()));
        const QString kept = ToQString(model_.cells[static_cast<std::size_t>(index)]);
        if (item->text() != kept) {
            loading_ = true;
            item->setText(kept);
            loading_ = false;
        }
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        model_.ClearGrid();
        ShowGrid();
    });
    connect(builder, &QPushButton::clicked, this, [this] {
        Read();
        const DefineBuilderDialogModel start = model_.ValueBuilder();
        if (std::optional<std::string> text = kit_.RunDefineBuilder(model_.value, start.mask()))
            value_->setText(ToQString(*text));
    });
    return page;
}

QWidget* TfrmRegistryItemDialog::BuildOtherPage() {
    auto* page = new QWidget;
    page->setObjectName(rc::kOtherPage);
    auto* layout = new QVBoxLayout(page);
    auto* group = new QGroupBox(QStringLiteral("条件設定"), page);
    auto* groupLayout = new QVBoxLayout(group);
    const std::vector<std::string> defines = model_.ConditionDefineChoices();
    condition_ = new TConditionEditor(kit_, defines, defines, group);
    condition_->Load(model_.condition.Record());
    groupLayout->addWidget(condition_);
    layout->addWidget(group);
    for (int bit = 0; bit < registry_option::kCount; ++bit) {
        auto* box = new QCheckBox(ToQString(RegistryOptionCaption(bit)), page);
        box->setObjectName(QStringLiteral("chkOption%1").arg(bit));
        box->setChecked((model_.options & (1 << bit)) != 0);
        options_[static_cast<std::size_t>(bit)] = box;
        layout->addWidget(box);
    }
    layout->addStretch(1);
    return page;
}

void TfrmRegistryItemDialog::ShowValue() { valuePages_->setCurrentIndex(model_.UsesGrid() ? 1 : 0); }

void TfrmRegistryItemDialog::ShowGrid() {
    const bool was = loading_;
    loading_ = true;
    grid_->clearContents();
    for (int i = 0; i < kBinaryGridCells && i < static_cast<int>(model_.cells.size()); ++i) {
        const std::string& cell = model_.cells[static_cast<std::size_t>(i)];
        if (!cell.empty())
            grid_->setItem(i / kBinaryGridColumns, i % kBinaryGridColumns, new QTableWidgetItem(ToQString(cell)));
    }
    loading_ = was;
}

void TfrmRegistryItemDialog::Read() {
    model_.root = ToSjis(rootKey_->currentText());
    model_.subKey = ToSjis(subKey_->text());
    model_.valueName = ToSjis(valueName_->text());
    model_.value = ToSjis(value_->text());
    // The condition and the options are on the page of advanced mode only.
    if (!condition_) return;
    model_.condition = condition_->model();
    model_.options = 0;
    for (int bit = 0; bit < registry_option::kCount; ++bit)
        if (options_[static_cast<std::size_t>(bit)]->isChecked()) model_.options |= 1 << bit;
}

bool TfrmRegistryItemDialog::AcceptOk() {
    Read();
    CheckOutcome failed;
    if (model_.Ok(&failed)) return true;
    ShowCheck(failed);
    return false;
}

// ---- the import dialog ----

TfrmRegistryTreeDialog::TfrmRegistryTreeDialog(EditorToolkit& kit, RegistryImportDialogModel& model,
                                               platform::registry::Registry& registry)
    : TEditorDialogFrame(kit.ui(), "frmRegistryTreeDialog", ToQString(RegistryImportDialogModel::Caption()),
                         kit.parent()),
      kit_(kit), model_(model), registry_(registry) {
    auto* form = new QFormLayout;
    root_ = RootKeyCombo(this, "cmbRootKey");
    root_->setCurrentText(ToQString(model_.root()));
    form->addRow(QStringLiteral("ルートキー(&R)"), root_);
    key_ = Edit(this, "edtKey");
    key_->setText(ToQString(model_.key()));
    auto* browse = new QPushButton(QStringLiteral("参照(&B)"), this);
    browse->setObjectName("btnBrowse");
    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(key_, 1);
    keyRow->addWidget(browse);
    auto* keyLabel = new QLabel(QStringLiteral("キー(&K)"), this);
    keyLabel->setBuddy(key_);
    form->addRow(keyLabel, keyRow);
    body()->addLayout(form);
    auto* label = new QLabel(QStringLiteral("値一覧(&L)"), this);
    values_ = new QTreeWidget(this);
    values_->setObjectName("lvValues");
    values_->setRootIsDecorated(false);
    QStringList columns;
    for (const std::string& c : RegistryImportDialogModel::ColumnCaptions()) columns << ToQString(c);
    values_->setHeaderLabels(columns);
    label->setBuddy(values_);
    body()->addWidget(label);
    body()->addWidget(values_, 1);
    SetHelpTopic(help_topic::kRegistryImport);

    connect(root_, &QComboBox::currentTextChanged, this, [this](const QString& root) {
        model_.SetRoot(ToSjis(root));
        ShowValues();
    });
    connect(key_, &QLineEdit::textChanged, this, [this](const QString& key) {
        model_.SetKey(ToSjis(key));
        ShowValues();
    });
    connect(browse, &QPushButton::clicked, this, [this] { Browse(); });
    ShowValues();
    resize(600, 400);
}

void TfrmRegistryTreeDialog::ShowValues() {
    values_->clear();
    for (const RegistryImportValue& v : model_.values()) {
        const std::string name = v.name.empty() ? DefaultValueNameText() : v.name;
        new QTreeWidgetItem(values_, {ToQString(name), ToQString(v.value),
                                      QString::fromStdString(RegistryImportDialogModel::TypeText(v.type))});
    }
    values_->header()->resizeSections(QHeaderView::ResizeToContents);
}

void TfrmRegistryTreeDialog::Browse() {
    RegBrowserModel browser(registry_);
    browser.Caption = platform::sjis::S("キーを選択して下さい");
    browser.Root = model_.root();
    browser.Section = model_.key();
    if (!ExecuteRegBrowser(kit_, browser)) return;
    root_->setCurrentText(ToQString(browser.Root));
    key_->setText(ToQString(browser.Section));
}

bool TfrmRegistryTreeDialog::AcceptOk() { return !ShowCheck(model_.Ok()); }

// ---- the key browser ----

TReg_Form::TReg_Form(RegBrowserModel& browser, QWidget* parent) : QDialog(parent), browser_(browser) {
    setObjectName("Reg_Form");
    setWindowTitle(ToQString(browser.Caption));
    auto* layout = new QVBoxLayout(this);
    tree_ = new QTreeWidget(this);
    tree_->setObjectName("tvKeys");
    tree_->setHeaderHidden(true);
    layout->addWidget(tree_, 1);
    auto* buttons = MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    layout->addWidget(buttons);

    auto* top = new QTreeWidgetItem(tree_, {QStringLiteral("レジストリ")});
    for (const std::string& root : RegBrowserModel::RootKeys()) {
        auto* item = new QTreeWidgetItem(top, {ToQString(root)});
        item->setChildIndicatorPolicy(browser_.HasSubKeys(root, "") ? QTreeWidgetItem::ShowIndicator
                                                                     : QTreeWidgetItem::DontShowIndicator);
    }
    top->setExpanded(true);
    connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { Expand(item); });
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        ok_->setEnabled(item && RegBrowserModel::OkEnabled(LocationOf(item)));
    });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (!tree_->currentItem()) return;
        const RegBrowserModel::Location at = LocationOf(tree_->currentItem());
        if (!RegBrowserModel::OkEnabled(at)) return;
        browser_.Choose(at);
        accept();
    });

    // Open along the given path, down to the deepest key found.
    const RegBrowserModel::Location at = browser_.Locate();
    QTreeWidgetItem* current = top;
    if (!at.root.empty()) {
        for (int i = 0; i < top->childCount(); ++i)
            if (ToSjis(top->child(i)->text(0)) == at.root) current = top->child(i);
        for (const std::string& key : at.keys) {
            current->setExpanded(true);
            QTreeWidgetItem* next = nullptr;
            for (int i = 0; i < current->childCount() && !next; ++i)
                if (ToSjis(current->child(i)->text(0)) == key) next = current->child(i);
            if (!next) break;
            current = next;
        }
    }
    tree_->setCurrentItem(current);
    ok_->setEnabled(RegBrowserModel::OkEnabled(LocationOf(current)));
    resize(420, 460);
}

RegBrowserModel::Location TReg_Form::LocationOf(QTreeWidgetItem* item) const {
    RegBrowserModel::Location at;
    std::vector<std::string> names;
    for (QTreeWidgetItem* i = item; i && i->parent(); i = i->parent()) names.insert(names.begin(), ToSjis(i->text(0)));
    if (names.empty()) return at;
    at.root = names.front();
    at.keys.assign(names.begin() + 1, names.end());
    return at;
}

void TReg_Form::AddKeys(QTreeWidgetItem* parent, const std::string& root, const std::string& path) {
    for (const std::string& name : browser_.SubKeys(root, path)) {
        auto* item = new QTreeWidgetItem(parent, {ToQString(name)});
        const std::string below = path.empty() ? name : path + "\\" + name;
        item->setChildIndicatorPolicy(browser_.HasSubKeys(root, below) ? QTreeWidgetItem::ShowIndicator
                                                                        : QTreeWidgetItem::DontShowIndicator);
    }
}

void TReg_Form::Expand(QTreeWidgetItem* item) {
    if (!item->parent() || item->childCount() > 0) return;
    const RegBrowserModel::Location at = LocationOf(item);
    std::string path;
    for (const std::string& key : at.keys) path += (path.empty() ? "" : "\\") + key;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    AddKeys(item, at.root, path);
    QApplication::restoreOverrideCursor();
}

bool ExecuteRegBrowser(EditorToolkit& kit, RegBrowserModel& browser) {
    TReg_Form form(browser, kit.parent());
    return kit.Run(form) == QDialog::Accepted;
}

// ---- the setting editor ----

namespace {

class RegistryEditor : public SettingEditor {
public:
    RegistryEditor(SettingEditorContext& context, qtsupport::DialogRunner& runner, QWidget* parent)
        : kit_(EditorToolkit::ForSettingEditor(context, runner, parent)),
          model_(kit_->data(), context.environment.registry(),
                 [kit = kit_.get()](int index, bool allow) { kit->ShowHint(index, allow); }) {}
    void Fill(const TIniDocument& project, bool readOnly) override { model_.Load(project, readOnly); }
    bool ShowModal() override {
        TfrmRegistryDialog dialog(*kit_, model_);
        return kit_->Run(dialog) == QDialog::Accepted;
    }
    void Write(TIniDocument& project) override { model_.Write(project); }

private:
    std::unique_ptr<EditorToolkit> kit_;
    RegistryDialogModel model_;
};

}  // namespace

std::unique_ptr<SettingEditor> MakeRegistryEditor(SettingEditorContext& context, qtsupport::DialogRunner& runner,
                                                  QWidget* parent) {
    return std::make_unique<RegistryEditor>(context, runner, parent);
}

}  // namespace zeriru::gui
