#include "zeriru/frmFiles/widgets/files_small_views.h"

#include "platform/sjis.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/editors/widgets/define_widgets.h"
#include "zeriru/editors/widgets/editor_toolkit.h"
#include "zeriru/frmFiles/files_help.h"
#include "zeriru/frmFiles/files_item.h"
#include "zeriru/frmFiles/widgets/sub_folder_field.h"
#include "zeriru/ui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zeriru::gui {

using qtsupport::ToQString;
using qtsupport::ToSjis;

namespace {

QCheckBox* Check(QWidget* parent, const char* name, const QString& caption, bool on) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(on);
    return box;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

}  // namespace

// ---- TfrmFolderSelectDialog ----

TfrmFolderSelectDialog::TfrmFolderSelectDialog(FolderSelectDialogModel& model, Ui& ui, QWidget* parent)
    : TEditorDialogFrame(ui, "frmFolderSelectDialog", ToQString(FolderSelectDialogModel::Caption()), parent),
      model_(model) {
    auto* form = new QFormLayout;
    auto* row = new QHBoxLayout;
    folder_ = new QComboBox(this);
    folder_->setObjectName("cmbFolder");
    folder_->setEditable(true);
    folder_->setMinimumWidth(360);
    for (const std::string& entry : model_.history()) folder_->addItem(ToQString(entry));
    folder_->setEditText(ToQString(model_.folder));
    auto* browse = Button(this, "btnBrowse", "参照(&R)");
    row->addWidget(folder_, 1);
    row->addWidget(browse);
    auto* label = new QLabel(QStringLiteral("フォルダ(&F)"), this);
    label->setBuddy(folder_);
    form->addRow(label, row);
    body()->addLayout(form);
    keep_ = Check(this, "chkKeepStructure", QStringLiteral("フォルダ構成を維持する(&M)"), model_.options.keepStructure);
    subfolders_ = Check(this, "chkSubFolders", QStringLiteral("サブフォルダも対象にする(&S)"), model_.options.subfolders);
    body()->addWidget(keep_);
    body()->addWidget(subfolders_);
    SetHelpTopic(files_help::kFolderSelect);
    connect(subfolders_, &QCheckBox::toggled, keep_, &QWidget::setEnabled);
    keep_->setEnabled(subfolders_->isChecked());
    connect(browse, &QPushButton::clicked, this, [this] {
        std::string folder = ToSjis(folder_->currentText());
        if (this->ui().ChooseFolder(FolderSelectDialogModel::BrowseCaption(), folder)) folder_->setEditText(ToQString(folder));
    });
}

void TfrmFolderSelectDialog::Read() {
    model_.folder = ToSjis(folder_->currentText());
    model_.options.subfolders = subfolders_->isChecked();
    model_.options.keepStructure = keep_->isChecked() && model_.options.subfolders;
}

bool TfrmFolderSelectDialog::AcceptOk() {
    Read();
    if (model_.Ok(ui())) return true;
    folder_->setEditText(ToQString(model_.folder));
    folder_->setFocus();
    return false;
}

void TfrmFolderSelectDialog::done(int result) {
    Read();
    model_.Close();
    TEditorDialogFrame::done(result);
}

// ---- TfrmAddPositionDialog ----

TfrmAddPositionDialog::TfrmAddPositionDialog(AddPositionDialogModel& model, Ui& ui, QWidget* parent)
    : TEditorDialogFrame(ui, "frmAddPositionDialog", ToQString(AddPositionDialogModel::Caption()), parent),
      model_(model) {
    auto* group = new QGroupBox(ToQString(AddPositionDialogModel::GroupCaption()), this);
    group->setObjectName("grpPosition");
    auto* layout = new QVBoxLayout(group);
    for (int i = 0; i < 4; ++i) {
        const auto position = static_cast<AddPosition>(i);
        auto* radio = new QRadioButton(ToQString(AddPositionDialogModel::ChoiceText(position)), group);
        radio->setObjectName(QStringLiteral("rbPosition%1").arg(i));
        radio->setEnabled(model_.Enabled(position));
        radio->setChecked(model_.position == position);
        layout->addWidget(radio);
        choices_[static_cast<std::size_t>(i)] = radio;
    }
    body()->addWidget(group);
    dontShow_ = Check(this, "chkDontShow", ToQString(AddPositionDialogModel::DontShowCaption()), model_.dontShowAgain);
    body()->addWidget(dontShow_);
    SetHelpTopic(files_help::kAddPosition);
}

bool TfrmAddPositionDialog::AcceptOk() {
    for (int i = 0; i < 4; ++i) {
        if (choices_[static_cast<std::size_t>(i)]->isChecked()) model_.position = static_cast<AddPosition>(i);
    }
    model_.dontShowAgain = dontShow_->isChecked();
    return true;
}

// ---- TfrmKindConversionDialog ----

TfrmKindConversionDialog::TfrmKindConversionDialog(KindConversionDialogModel& model, Ui& ui, QWidget* parent)
    : TEditorDialogFrame(ui, "frmKindConversionDialog", ToQString(KindConversionDialogModel::Caption()), parent),
      model_(model) {
    body()->addWidget(new QLabel(ToQString(KindConversionDialogModel::Prompt()), this));
    auto* group = new QGroupBox(ToQString(KindConversionDialogModel::GroupCaption()), this);
    group->setObjectName("grpKind");
    auto* layout = new QVBoxLayout(group);
    for (int kind = 0; kind < 5; ++kind) {
        auto* radio = new QRadioButton(ToQString(FilesKindText(kind)), group);
        radio->setObjectName(QStringLiteral("rbKind%1").arg(kind));
        radio->setChecked(model_.kind == kind);
        layout->addWidget(radio);
        kinds_[static_cast<std::size_t>(kind)] = radio;
    }
    body()->addWidget(group);
    showDetails_ = Check(this, "chkShowDetails", ToQString(KindConversionDialogModel::ShowDetailsCaption()),
                         model_.showDetails);
    body()->addWidget(showDetails_);
    SetHelpTopic(files_help::kKindConversion);
}

bool TfrmKindConversionDialog::AcceptOk() {
    for (int kind = 0; kind < 5; ++kind) {
        if (kinds_[static_cast<std::size_t>(kind)]->isChecked()) model_.kind = kind;
    }
    model_.showDetails = showDetails_->isChecked();
    return true;
}

// ---- TfrmCorrectionDialog ----

TfrmCorrectionDialog::TfrmCorrectionDialog(CorrectionDialogModel& model, EditorToolkit& kit, QWidget* parent)
    : TEditorDialogFrame(kit.ui(), "frmCorrectionDialog", ToQString(CorrectionDialogModel::Caption()), parent),
      model_(model), kit_(kit) {
    auto* form = new QFormLayout;
    define_ = new TDefineCombo(this, "cmbDefine");
    define_->SetEntries(CorrectionDialogModel::DefineChoices());
    define_->SetDefine(model_.define);
    parameter_ = new TParameterField(kit_, define_, "edtParameter", "btnParameter", this);
    parameter_->SetParameter(model_.parameter);
    AllowTypedSubFolder(*parameter_);
    form->addRow(QStringLiteral("フォルダ定数(&D)"), define_);
    form->addRow(QStringLiteral("パラメータ(&P)"), parameter_);
    auto* fileRow = new QWidget(this);
    auto* row = new QHBoxLayout(fileRow);
    row->setContentsMargins(0, 0, 0, 0);
    fileName_ = new QLineEdit(ToQString(model_.fileName), fileRow);
    fileName_->setObjectName("edtFileName");
    fileName_->setMinimumWidth(360);
    auto* browse = Button(fileRow, "btnBrowse", "参照(&R)");
    row->addWidget(fileName_, 1);
    row->addWidget(browse);
    form->addRow(QStringLiteral("ファイル名(&N)"), fileRow);
    if (!model_.FileNameVisible()) {
        form->labelForField(fileRow)->hide();
        fileRow->hide();
    }
    body()->addLayout(form);
    SetHelpTopic(files_help::kCorrection);
    connect(browse, &QPushButton::clicked, this, [this] {
        FileDialogRequest request;
        request.mode = FileDialogRequest::Mode::Open;
        request.filter = platform::sjis::S("すべてのファイル|*.*");
        request.fileName = ToSjis(fileName_->text());
        if (kit_.ui().ChooseFiles(request) && !request.paths.empty()) fileName_->setText(ToQString(request.paths.front()));
    });
}

void TfrmCorrectionDialog::Read() {
    model_.define = define_->define();
    model_.parameter = parameter_->parameter();
    model_.fileName = ToSjis(fileName_->text());
}

bool TfrmCorrectionDialog::AcceptOk() {
    Read();
    return !ShowCheck(model_.Ok());
}

// ---- TfrmFileCheckDialog ----

TfrmFileCheckDialog::TfrmFileCheckDialog(FileCheckDialogModel& model, EditorToolkit& kit, QWidget* parent)
    : TEditorDialogFrame(kit.ui(), "frmFileCheckDialog", ToQString(FileCheckDialogModel::Caption()), parent),
      model_(model), kit_(kit) {
    auto* prompt = new QLabel(ToQString(FileCheckDialogModel::Prompt()), this);
    prompt->setWordWrap(true);
    body()->addWidget(prompt);
    list_ = new QTreeWidget(this);
    list_->setObjectName("lvFileCheck");
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    QStringList headers;
    for (const std::string& caption : FileCheckDialogModel::ColumnCaptions()) headers << ToQString(caption);
    headers << QStringLiteral("位置");
    list_->setHeaderLabels(headers);
    list_->setColumnHidden(5, true);
    for (int row = 0; row < static_cast<int>(model_.rows().size()); ++row) {
        auto* item = new QTreeWidgetItem(list_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        ShowRow(row);
    }
    ColumnLayout layout(kit_.data().settings(), std::string(settings_key::kFileCheck), 5);
    const std::vector<int> widths = layout.Widths();
    for (int c = 0; c < 5; ++c) {
        if (layout.autoWidth())
            list_->resizeColumnToContents(c);
        else
            list_->setColumnWidth(c, widths[static_cast<std::size_t>(c)]);
    }
    list_->setMinimumSize(640, 240);
    auto* row = new QHBoxLayout;
    row->addWidget(list_, 1);
    auto* fix = Button(this, "btnFix", "修正(&F)");
    auto* side = new QVBoxLayout;
    side->addWidget(fix);
    side->addStretch();
    row->addLayout(side);
    body()->addLayout(row);
    SetHelpTopic(files_help::kFileCheck);
    connect(fix, &QPushButton::clicked, this, [this] {
        if (QTreeWidgetItem* item = list_->currentItem()) Fix(list_->indexOfTopLevelItem(item));
    });
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { Fix(list_->indexOfTopLevelItem(item)); });
    connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (column != 0) return;
        const int row = list_->indexOfTopLevelItem(item);
        if (row >= 0) model_.rows()[static_cast<std::size_t>(row)].remove = item->checkState(0) == Qt::Checked;
    });
    connect(list_->header(), &QHeaderView::sectionResized, this, [this](int, int, int) {
        ColumnLayout store(kit_.data().settings(), std::string(settings_key::kFileCheck), 5);
        std::vector<int> widths;
        for (int c = 0; c < 5; ++c) widths.push_back(list_->columnWidth(c));
        store.Store(widths);
    });
}

void TfrmFileCheckDialog::ShowRow(int row) {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    const std::vector<std::string> texts = model_.RowTexts(row);
    const QSignalBlocker block(list_);
    for (int c = 0; c < static_cast<int>(texts.size()); ++c) item->setText(c, ToQString(texts[static_cast<std::size_t>(c)]));
    item->setText(5, QString::number(model_.rows()[static_cast<std::size_t>(row)].problem.row));
}

void TfrmFileCheckDialog::Fix(int row) {
    if (row < 0 || row >= static_cast<int>(model_.rows().size())) return;
    CorrectionDialogModel correction = model_.Correction(row);
    TfrmCorrectionDialog dialog(correction, kit_, this);
    if (kit_.Run(dialog) != QDialog::Accepted) return;
    model_.ApplyCorrection(row, correction);
    ShowRow(row);
}

bool TfrmFileCheckDialog::AcceptOk() { return true; }

}  // namespace zeriru::gui
