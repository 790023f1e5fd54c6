#include "zeriru/editors/widgets/ini_dialogs.h"

#include "qtsupport/sjis_text.h"
#include "zeriru/editors/widgets/condition_editor.h"
#include "zeriru/editors/widgets/define_widgets.h"
#include "zeriru/editors/widgets/editor_toolkit.h"
#include "zeriru/editors/widgets/switched_list_page.h"
#include "zeriru/help_topics.h"
#include "zeriru/ui.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace zeriru::gui {

using qtsupport::ToQString;
using qtsupport::ToSjis;
namespace ic = ini_control;

namespace {

QLineEdit* Edit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

qtsupport::ItemRecordFormat IniFormat(QStyle* style) {
    qtsupport::ItemRecordFormat format;
    for (int c = 0; c < kIniColumnCount; ++c) format.columns << ToQString(IniColumnCaption(c));
    format.text = [](const std::string& record, int column) { return IniColumnText(record, column); };
    format.icon = [](const std::string& record) { return IniRowIcon(record); };
    // Writing a value, deleting a value, deleting a section.
    format.icons = {style->standardIcon(QStyle::SP_FileIcon), style->standardIcon(QStyle::SP_DialogDiscardButton),
                    style->standardIcon(QStyle::SP_TrashIcon)};
    return format;
}

}  // namespace

// ---- the list dialog ----

TfrmIniFileDialog::TfrmIniFileDialog(EditorToolkit& kit, IniDialogModel& model)
    : TEditorDialogFrame(kit.ui(), "frmIniFileDialog", ToQString(IniDialogModel::Caption()), kit.parent()),
      kit_(kit), model_(model) {
    auto* pages = new QTabWidget(this);
    pages->setObjectName("PageControl");
    TSwitchedListPage::Options options;
    options.switchCaption = QStringLiteral("INIファイルを編集する(&E)");
    options.viewName = "lvIniFile";
    options.layoutKey = std::string(settings_key::kIniFile);
    options.copyHint = QStringLiteral("選択項目の下に同一項目をコピーします。");
    options.clearHint = QStringLiteral("リスト内の項目をすべて削除します");
    itemsPage_ = new TSwitchedListPage(kit.ui(), model.items(), IniFormat(style()), options, &kit.data().settings());
    itemsPage_->setObjectName("tsItem");
    itemsPage_->panel()->view()->setColumnHidden(kIniRecordColumn, true);
    itemsPage_->onAdd = [this] {
        const int row = model_.Add(kit_.ui(), [this](IniItemDialogModel& item) { return RunItemDialog(item); });
        if (row >= 0) itemsPage_->Reload(row);
    };
    itemsPage_->onEdit = [this](int row) {
        if (model_.Edit(row, [this](IniItemDialogModel& item) { return RunItemDialog(item); })) itemsPage_->Reload(row);
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
    connect(import, &QAction::triggered, this, [this] {
        const int before = model_.items().size();
        if (model_.Import(kit_.ui()) > 0)
            itemsPage_->Reload(before);
        else
            itemsPage_->Reload();
    });
    TSwitchedListPage::AddHelpMenu(bar, *this);
    layout()->setMenuBar(bar);
    UsePages(pages, {help_topic::kIniList});
    if (model_.readOnly()) {
        LockDown();
        itemsPage_->SetReadOnly(true);
        import->setEnabled(false);
    }
    resize(760, 440);
}

bool TfrmIniFileDialog::RunItemDialog(IniItemDialogModel& item) {
    TfrmIniFileAddItemDialog dialog(kit_, item);
    return kit_.Run(dialog) == QDialog::Accepted;
}

bool TfrmIniFileDialog::AcceptOk() {
    const bool close = model_.ConfirmOk(kit_.ui());
    itemsPage_->Reload();
    return close;
}

void TfrmIniFileDialog::reject() {
    if (!model_.ConfirmCancel(kit_.ui())) return;
    QDialog::reject();
}

// ---- the item dialog ----

TfrmIniFileAddItemDialog::TfrmIniFileAddItemDialog(EditorToolkit& kit, IniItemDialogModel& model)
    : TEditorDialogFrame(kit.ui(), "frmIniFileAddItemDialog", ToQString(IniItemDialogModel::Caption()),
                         kit.parent()),
      kit_(kit), model_(model) {
    auto* pages = new QTabWidget(this);
    pages->setObjectName("PageControl");
    pages->addTab(BuildDetailPage(), QStringLiteral("詳細"));
    auto* conditionPage = new QWidget;
    conditionPage->setObjectName(ic::kConditionPage);
    auto* conditionLayout = new QVBoxLayout(conditionPage);
    const std::vector<std::string> defines = model_.ConditionDefineChoices();
    condition_ = new TConditionEditor(kit_, defines, defines, conditionPage);
    condition_->Load(model_.condition.Record());
    conditionLayout->addWidget(condition_);
    conditionLayout->addStretch(1);
    pages->addTab(conditionPage, QStringLiteral("処理条件"));
    body()->addWidget(pages);

    auto* os = new QPushButton(QStringLiteral("OSの設定(&O)"), this);
    os->setObjectName("btnOS");
    os->setEnabled(model_.OsButtonEnabled());
    buttonBox()->addButton(os, QDialogButtonBox::ActionRole);
    connect(os, &QPushButton::clicked, this, [this] {
        if (std::optional<OsTarget> target = kit_.EditOsTarget(model_.os)) model_.os = *target;
    });
    UsePages(pages, {help_topic::kIniItem, help_topic::kIniItem});
    if (model_.readOnly()) LockDown();
    resize(620, 480);
}

QWidget* TfrmIniFileAddItemDialog::BuildDetailPage() {
    auto* page = new QWidget;
    page->setObjectName(ic::kDetailPage);
    auto* form = new QFormLayout(page);
    timing_ = new QComboBox(page);
    timing_->setObjectName(ic::kTiming);
    for (int t = 0; t < process_timing::kCount; ++t) timing_->addItem(ToQString(ProcessTimingText(t)));
    form->addRow(QStringLiteral("処理タイミング(&T)"), timing_);
    processing_ = new QComboBox(page);
    processing_->setObjectName(ic::kProcessing);
    for (int p = 0; p < ini_processing::kCount; ++p) processing_->addItem(ToQString(IniProcessingText(p)));
    form->addRow(QStringLiteral("処理(&M)"), processing_);
    skipExisting_ = new QCheckBox(QStringLiteral("既に指定値が存在する場合処理を行わない(&E)"), page);
    skipExisting_->setObjectName("chkSkipExisting");
    form->addRow(skipExisting_);
    define_ = new TDefineCombo(page, ic::kDefine);
    define_->SetEntries(model_.DefineChoices());
    form->addRow(QStringLiteral("フォルダ定数(&D)"), define_);
    parameter_ = new TParameterField(kit_, define_, ic::kParameter, "btnParameter", page);
    form->addRow(QStringLiteral("パラメータ(&P)"), parameter_);
    fileName_ = Edit(page, ic::kFileName);
    auto* browse = new QPushButton(QStringLiteral("参照(&R)"), page);
    browse->setObjectName("btnBrowse");
    auto* fileRow = new QWidget(page);
    auto* fileLayout = new QHBoxLayout(fileRow);
    fileLayout->setContentsMargins(0, 0, 0, 0);
    fileLayout->addWidget(fileName_, 1);
    fileLayout->addWidget(browse);
    form->addRow(QStringLiteral("ファイル(&F)"), fileRow);
    section_ = Edit(page, ic::kSection);
    form->addRow(QStringLiteral("セクション名(&C)"), section_);
    valueName_ = Edit(page, ic::kValueName);
    valueNameLabel_ = new QLabel(QStringLiteral("値名(&N)"), page);
    valueNameLabel_->setBuddy(valueName_);
    form->addRow(valueNameLabel_, valueName_);
    value_ = Edit(page, ic::kValue);
    auto* builder = new QPushButton(QStringLiteral("..."), page);
    builder->setObjectName("btnValueDefine");
    builder->setToolTip(QStringLiteral("定数値を挿入することができます"));
    valueRow_ = new QWidget(page);
    auto* valueLayout = new QHBoxLayout(valueRow_);
    valueLayout->setContentsMargins(0, 0, 0, 0);
    valueLayout->addWidget(value_, 1);
    valueLayout->addWidget(builder);
    valueLabel_ = new QLabel(QStringLiteral("値(&V)"), page);
    valueLabel_->setBuddy(value_);
    form->addRow(valueLabel_, valueRow_);
    path_ = new QLabel(page);
    path_->setObjectName("lblPath");
    path_->setFrameShape(QFrame::StyledPanel);
    path_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(path_);

    loading_ = true;
    timing_->setCurrentIndex(model_.timing());
    processing_->setCurrentIndex(model_.processing());
    skipExisting_->setChecked(model_.skipExisting);
    define_->SetDefine(model_.define);
    parameter_->SetParameter(model_.parameter);
    fileName_->setText(ToQString(model_.fileName));
    section_->setText(ToQString(model_.section));
    valueName_->setText(ToQString(model_.valueName));
    value_->setText(ToQString(model_.value));
    loading_ = false;
    ShowProcessing();
    ShowPath();

    connect(timing_, &QComboBox::currentIndexChanged, this, [this](int t) {
        if (!loading_) model_.SetTiming(t);
    });
    connect(processing_, &QComboBox::currentIndexChanged, this, [this](int p) {
        model_.SetProcessing(p);
        ShowProcessing();
    });
    connect(define_, &QComboBox::editTextChanged, this, [this] { ShowPath(); });
    connect(parameter_, &TParameterField::parameterChanged, this, [this] { ShowPath(); });
    connect(fileName_, &QLineEdit::textChanged, this, [this] { ShowPath(); });
    connect(browse, &QPushButton::clicked, this, [this] {
        if (model_.BrowseFile(kit_.ui())) fileName_->setText(ToQString(model_.fileName));
    });
    connect(builder, &QPushButton::clicked, this, [this] {
        if (std::optional<std::string> text = kit_.RunDefineBuilder(ToSjis(value_->text()), model_.ValueBuilder().mask()))
            value_->setText(ToQString(*text));
    });
    return page;
}

void TfrmIniFileAddItemDialog::ShowProcessing() {
    valueNameLabel_->setVisible(model_.ValueNameVisible());
    valueName_->setVisible(model_.ValueNameVisible());
    valueLabel_->setVisible(model_.ValueVisible());
    valueRow_->setVisible(model_.ValueVisible());
    skipExisting_->setEnabled(model_.OptionEnabled());
}

void TfrmIniFileAddItemDialog::ShowPath() {
    if (loading_) return;
    Read();
    path_->setText(ToQString(model_.ResultPath()));
}

void TfrmIniFileAddItemDialog::Read() {
    model_.skipExisting = skipExisting_->isChecked();
    model_.define = define_->define();
    model_.parameter = parameter_->parameter();
    model_.fileName = ToSjis(fileName_->text());
    model_.section = ToSjis(section_->text());
    model_.valueName = ToSjis(valueName_->text());
    model_.value = ToSjis(value_->text());
    if (condition_) model_.condition = condition_->model();
}

bool TfrmIniFileAddItemDialog::AcceptOk() {
    Read();
    CheckOutcome failed;
    if (model_.Ok(&failed)) return true;
    ShowCheck(failed);
    return false;
}

// ---- the setting editor ----

namespace {

class IniFileEditor : public SettingEditor {
public:
    IniFileEditor(SettingEditorContext& context, qtsupport::DialogRunner& runner, QWidget* parent)
        : kit_(EditorToolkit::ForSettingEditor(context, runner, parent)),
          model_(kit_->data(), [kit = kit_.get()](int index, bool allow) { kit->ShowHint(index, allow); }) {}
    void Fill(const TIniDocument& project, bool readOnly) override { model_.Load(project, readOnly); }
    bool ShowModal() override {
        TfrmIniFileDialog dialog(*kit_, model_);
        return kit_->Run(dialog) == QDialog::Accepted;
    }
    void Write(TIniDocument& project) override { model_.Write(project); }

private:
    std::unique_ptr<EditorToolkit> kit_;
    IniDialogModel model_;
};

}  // namespace

std::unique_ptr<SettingEditor> MakeIniFileEditor(SettingEditorContext& context, qtsupport::DialogRunner& runner,
                                                 QWidget* parent) {
    return std::make_unique<IniFileEditor>(context, runner, parent);
}

}  // namespace zeriru::gui
