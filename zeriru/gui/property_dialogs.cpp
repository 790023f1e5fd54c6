#include "zeriru/gui/property_dialogs.h"

#include "platform/sjis.h"
#include "qtsupport/item_list.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/gui/dialogs.h"
#include "zeriru/ui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace zeriru::gui {

namespace sjis = platform::sjis;
namespace pc = project_dialog_control;
using qtsupport::ToQString;
using qtsupport::ToSjis;

namespace {

QLineEdit* Edit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QComboBox* Combo(QWidget* parent, const char* name, const QStringList& items = {}) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->addItems(items);
    return combo;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

// A label above its field (the labels of these dialogs are long), optionally with a button
// beside the field.
QLabel* LabelAbove(QVBoxLayout* layout, const QString& caption, QWidget* field, QWidget* button = nullptr,
                   const char* labelName = nullptr) {
    auto* label = new QLabel(caption);
    if (labelName) label->setObjectName(QString::fromLatin1(labelName));
    label->setBuddy(field);
    layout->addWidget(label);
    auto* row = new QHBoxLayout;
    row->addWidget(field, 1);
    if (button) row->addWidget(button);
    layout->addLayout(row);
    return label;
}

QStringList CreateTypes(std::string (*text)(int)) {
    QStringList types;
    for (int t = 0; t < kCreateTypeCount; ++t) types << ToQString(text(t));
    return types;
}

int CaretIndex(int value, int count) { return value >= 0 && value < count ? value : -1; }

}  // namespace

std::optional<std::string> ComposeOutputName(const std::string& fileName, bool keepEmptyPlaceholder, bool readOnly,
                                             Ui& ui, qtsupport::DialogRunner& runner, QWidget* parent) {
    CreateFileNameDialogModel model(fileName, keepEmptyPlaceholder, readOnly);
    TfrmCreateFileNameDialog dialog(model, ui, runner, parent);
    if (runner.Run(dialog) != QDialog::Accepted) return std::nullopt;
    return model.Result();
}

// ---- TfrmProjectDialog ----

TfrmProjectDialog::TfrmProjectDialog(ProjectPropertiesDialogModel& model, Ui& ui, qtsupport::DialogRunner& runner,
                                     QWidget* parent)
    : TEditorDialogFrame(ui, "frmProjectDialog", ToQString(ProjectPropertiesDialogModel::Caption()), parent),
      model_(model), runner_(runner) {
    BuildWidgets();
    Reload();
    Bind();
    UsePages(pages_, {ProjectPropertiesDialogModel::HelpTopic(0), ProjectPropertiesDialogModel::HelpTopic(1),
                      ProjectPropertiesDialogModel::HelpTopic(2)});
    if (model.readOnly()) LockDown({languageEdit_, undo_, defaults_});
}

void TfrmProjectDialog::BuildWidgets() {
    auto* top = new QVBoxLayout;
    projectType_ = Combo(this, "cmbProjectType", {ToQString(ProjectPropertiesDialogModel::ProjectTypeText())});
    projectType_->setEnabled(false);
    LabelAbove(top, QStringLiteral("プロジェクトの種類(&T) *"), projectType_);
    projectName_ = Edit(this, pc::kProjectName);
    projectName_->setToolTip(QStringLiteral(
        "プロジェクト名を指定します。ここで指定されたプロジェクト名はアンインストール情報を作成する際のキーとして使用しますの"
        "でほかのアプリケーションとだぶらない名前を指定してください。"));
    guid_ = Button(this, "btnGenerateGuid", QStringLiteral("GUID(&G)"));
    LabelAbove(top, QStringLiteral("プロジェクト名(&P) * [アンインストールキーとして使用します]"), projectName_, guid_);
    body()->addLayout(top);

    pages_ = new QTabWidget(this);
    pages_->setObjectName("PageControl");
    pages_->addTab(BuildInstallFilePage(), ToQString(ProjectPropertiesDialogModel::PageCaption(0)));
    pages_->addTab(BuildModulePage(), ToQString(ProjectPropertiesDialogModel::PageCaption(1)));
    pages_->addTab(BuildPublisherPage(), ToQString(ProjectPropertiesDialogModel::PageCaption(2)));
    body()->addWidget(pages_, 1);

    defaults_ = new QCheckBox(QStringLiteral("標準に設定する(&D)"), this);
    defaults_->setObjectName("cbDefault");
    defaults_->setToolTip(QStringLiteral(
        "プロジェクトタブ以外のすべての項目を今後新たに作成するプロジェクトの初期値として使用する場合にチェックします。"));
    body()->addWidget(defaults_);
    setMinimumWidth(520);
}

QWidget* TfrmProjectDialog::BuildInstallFilePage() {
    auto* page = new QWidget;
    page->setObjectName(pc::kPageInstallFile);
    auto* layout = new QVBoxLayout(page);
    fileType_ = Combo(page, "cmbFileType", CreateTypes(&PropertyCreateTypeText));
    LabelAbove(layout, QStringLiteral("作成するインストールファイルの種類(&S)"), fileType_);
    compressLevel_ = Combo(page, "cmbCompressLevel", {QStringLiteral("低圧縮"), QStringLiteral("標準"), QStringLiteral("高圧縮")});
    compressLabel_ = LabelAbove(layout, QStringLiteral("圧縮レベル(&L)"), compressLevel_, nullptr, "lblCompressLevel");
    folder_ = Combo(page, pc::kFolder);
    folder_->setEditable(true);
    folder_->setInsertPolicy(QComboBox::NoInsert);
    browse_ = Button(page, "btnBrowse", QStringLiteral("参照(&R)"));
    folderLabel_ = LabelAbove(layout, QStringLiteral("インストールファイルの作成先(&C) *"), folder_, browse_, "lblFolder");

    createGroup_ = new QGroupBox(QStringLiteral("オプション"), page);
    createGroup_->setObjectName("gbFileCreateOption");
    auto* create = new QVBoxLayout(createGroup_);
    fileName_ = Edit(createGroup_, pc::kFileName);
    fileNameDetail_ = Button(createGroup_, "btnCreateFileNameDetail", QStringLiteral("詳細(&D)"));
    LabelAbove(create, QStringLiteral("作成するインストーラのファイル名(&F) *"), fileName_, fileNameDetail_);
    nameOption_ = Combo(createGroup_, "cmbCreateFileNameOption",
                        {QStringLiteral("自動"), QStringLiteral("小文字に変換"), QStringLiteral("大文字に変換")});
    LabelAbove(create, QStringLiteral("ファイル名の変換(&N)"), nameOption_);
    layout->addWidget(createGroup_);

    copyGroup_ = new QGroupBox(QStringLiteral("オプション"), page);
    copyGroup_->setObjectName("gbFileCopyOption");
    auto* copy = new QVBoxLayout(copyGroup_);
    backup_ = new QCheckBox(QStringLiteral("すでに指定フォルダがある場合はバックアップを作成する(&B)"), copyGroup_);
    backup_->setObjectName("cbCreateFolderBeforeBackup");
    copy->addWidget(backup_);
    installSource_ = Edit(copyGroup_, pc::kInstallSource);
    LabelAbove(copy, QStringLiteral("ソースファイルの格納フォルダ(&S) [ドライブ名や複数パスは指定できません。]"),
               installSource_);
    layout->addWidget(copyGroup_);
    layout->addStretch();
    return page;
}

QWidget* TfrmProjectDialog::BuildModulePage() {
    auto* page = new QWidget;
    page->setObjectName(pc::kPageModule);
    auto* layout = new QVBoxLayout(page);
    module_ = Combo(page, "cmbModule");
    LabelAbove(layout, QStringLiteral("使用モジュール(&M)"), module_);
    language_ = Combo(page, "cmbLang");
    auto* buttons = new QWidget(page);
    auto* row = new QHBoxLayout(buttons);
    row->setContentsMargins(0, 0, 0, 0);
    languageEdit_ = Button(buttons, "btnLangEdit", QStringLiteral("編集(&E)"));
    undo_ = Button(buttons, "btnUndo", QStringLiteral("元に戻す(&U)"));
    row->addWidget(languageEdit_);
    row->addWidget(undo_);
    LabelAbove(layout, QStringLiteral("言語(&L)"), language_, buttons);
    layout->addStretch();
    return page;
}

QWidget* TfrmProjectDialog::BuildPublisherPage() {
    auto* page = new QWidget;
    page->setObjectName(pc::kPagePublisher);
    auto* form = new QFormLayout(page);
    publisher_ = Edit(page, pc::kPublisher);
    corporation_ = Edit(page, "edtCorporation");
    urlInfoAbout_ = Edit(page, "edtURLInfoAbout");
    helpLink_ = Edit(page, "edtHelpLink");
    helpTelephon_ = Edit(page, "edtHelpTelephon");
    urlUpdateInfo_ = Edit(page, "edtURLUpdateInfo");
    form->addRow(QStringLiteral("著作権者名(&P) *"), publisher_);
    form->addRow(QStringLiteral("企業名(&C)"), corporation_);
    form->addRow(QStringLiteral("配布元のホームページ(&H)"), urlInfoAbout_);
    form->addRow(QStringLiteral("サポート情報(URL)(&S)"), helpLink_);
    form->addRow(QStringLiteral("サポート情報(Tel)(&T)"), helpTelephon_);
    form->addRow(QStringLiteral("製品更新(&U)(最新版の公開先など)"), urlUpdateInfo_);
    return page;
}

void TfrmProjectDialog::Reload() {
    const ProjectProperties& v = model_.values();
    projectType_->setCurrentIndex(v.projectType == 0 ? 0 : -1);
    projectName_->setText(ToQString(v.projectName));
    fileType_->setCurrentIndex(CaretIndex(v.createFileType, kCreateTypeCount));
    compressLevel_->setCurrentIndex(CaretIndex(v.createFileCompLevel, 3));
    folder_->addItems(qtsupport::ToQStringList(v.outputFolders));
    folder_->setEditText(ToQString(v.createFolder));
    fileName_->setText(ToQString(v.createFileName));
    nameOption_->setCurrentIndex(CaretIndex(v.createFileNameOption, 3));
    backup_->setChecked(v.createFolderBeforeBackup);
    installSource_->setText(ToQString(v.installSource));
    module_->addItems(qtsupport::ToQStringList(model_.ModuleNames()));
    module_->setCurrentIndex(model_.module());
    ReloadLanguages();
    publisher_->setText(ToQString(v.publisher));
    corporation_->setText(ToQString(v.corporation));
    urlInfoAbout_->setText(ToQString(v.urlInfoAbout));
    helpLink_->setText(ToQString(v.helpLink));
    helpTelephon_->setText(ToQString(v.helpTelephon));
    urlUpdateInfo_->setText(ToQString(v.urlUpdateInfo));
    defaults_->setChecked(model_.storeDefaults);
    UpdateVisibility();
}

void TfrmProjectDialog::ReloadLanguages() {
    const QSignalBlocker block(language_);
    language_->clear();
    language_->addItems(qtsupport::ToQStringList(model_.LanguageNames()));
    language_->setCurrentIndex(model_.language());
    languageEdit_->setEnabled(model_.EditEnabled());
    undo_->setEnabled(model_.UndoEnabled());
}

void TfrmProjectDialog::UpdateVisibility() {
    createGroup_->setVisible(model_.ArchiveGroupVisible());
    copyGroup_->setVisible(model_.CopyGroupVisible());
    for (QWidget* w : {static_cast<QWidget*>(folderLabel_), static_cast<QWidget*>(folder_),
                       static_cast<QWidget*>(browse_)})
        w->setVisible(model_.FolderVisible());
    compressLabel_->setVisible(model_.CompressionVisible());
    compressLevel_->setVisible(model_.CompressionVisible());
    compressLevel_->setEnabled(model_.CompressionVisible() && !model_.readOnly());
}

void TfrmProjectDialog::Bind() {
    ProjectProperties& v = model_.values();
    const auto text = [](QLineEdit* edit, std::string& target) {
        QObject::connect(edit, &QLineEdit::textChanged, edit, [&target](const QString& t) { target = ToSjis(t); });
    };
    text(projectName_, v.projectName);
    text(fileName_, v.createFileName);
    text(installSource_, v.installSource);
    text(publisher_, v.publisher);
    text(corporation_, v.corporation);
    text(urlInfoAbout_, v.urlInfoAbout);
    text(helpLink_, v.helpLink);
    text(helpTelephon_, v.helpTelephon);
    text(urlUpdateInfo_, v.urlUpdateInfo);
    connect(folder_, &QComboBox::editTextChanged, this, [&v](const QString& t) { v.createFolder = ToSjis(t); });
    connect(fileType_, &QComboBox::currentIndexChanged, this, [this](int type) {
        model_.SetCreateType(type);
        UpdateVisibility();
    });
    connect(compressLevel_, &QComboBox::currentIndexChanged, this, [&v](int level) { v.createFileCompLevel = level; });
    connect(nameOption_, &QComboBox::currentIndexChanged, this, [&v](int option) { v.createFileNameOption = option; });
    connect(backup_, &QCheckBox::toggled, this, [&v](bool on) { v.createFolderBeforeBackup = on; });
    connect(defaults_, &QCheckBox::toggled, this, [this](bool on) { model_.storeDefaults = on; });
    connect(module_, &QComboBox::activated, this, [this](int index) {
        model_.SelectModule(index);
        ReloadLanguages();
    });
    connect(language_, &QComboBox::activated, this, [this](int index) {
        model_.SelectLanguage(index);
        undo_->setEnabled(model_.UndoEnabled());
    });
    connect(guid_, &QPushButton::clicked, this, [this] {
        if (model_.GenerateGuid()) projectName_->setText(ToQString(model_.values().projectName));
    });
    connect(browse_, &QPushButton::clicked, this, [this] {
        std::string folder = model_.values().createFolder;
        if (ui().ChooseFolder(sjis::S("インストールファイルの作成先を指定してください"), folder))
            folder_->setEditText(ToQString(folder));
    });
    connect(fileNameDetail_, &QPushButton::clicked, this, &TfrmProjectDialog::ComposeFileName);
    connect(languageEdit_, &QPushButton::clicked, this, [this] {
        const bool confirm = model_.EditLanguageTexts([this](LanguageTextsDialogModel& texts) {
            TLanguageDialog dialog(texts, ui(), this);
            return runner_.Run(dialog) == QDialog::Accepted;
        });
        undo_->setEnabled(model_.UndoEnabled());
        if (confirm) okButton()->click();
    });
    connect(undo_, &QPushButton::clicked, this, [this] {
        const bool confirm = model_.UndoLanguageTexts();
        undo_->setEnabled(model_.UndoEnabled());
        if (confirm) okButton()->click();
    });
}

void TfrmProjectDialog::ComposeFileName() {
    const std::optional<std::string> name =
        ComposeOutputName(model_.values().createFileName, false, model_.readOnly(), ui(), runner_, this);
    if (name) fileName_->setText(ToQString(*name));
}

bool TfrmProjectDialog::AcceptOk() { return !ShowCheck(model_.Ok()); }

// ---- TfrmCreateOptionDialog ----

TfrmCreateOptionDialog::TfrmCreateOptionDialog(CreateOptionDialogModel& model, Ui& ui, qtsupport::DialogRunner& runner,
                                               QWidget* parent)
    : TEditorDialogFrame(ui, "frmCreateOptionDialog", ToQString(CreateOptionDialogModel::Caption()), parent),
      model_(model) {
    CreateOptionChoice& c = model.choice();
    auto* layout = new QVBoxLayout;
    fileType_ = Combo(this, "cmbFileType", CreateTypes(&CreateOptionTypeText));
    fileType_->setCurrentIndex(0);
    LabelAbove(layout, QStringLiteral("作成するインストールファイルの種類(&S)"), fileType_);
    folder_ = Combo(this, pc::kFolder);
    folder_->setEditable(true);
    folder_->setInsertPolicy(QComboBox::NoInsert);
    folder_->addItems(qtsupport::ToQStringList(model.folders()));
    folder_->setEditText(ToQString(c.outputFolder));
    auto* browse = Button(this, "btnBrowse", QStringLiteral("参照(&B)"));
    LabelAbove(layout, QStringLiteral("インストールファイルの作成先(&C)"), folder_, browse);
    fileName_ = Edit(this, pc::kFileName);
    fileName_->setText(ToQString(c.outputFileName));
    fileNameDetail_ = Button(this, "btnCreateFileNameDetail", QStringLiteral("詳細(&D)"));
    fileNameLabel_ = LabelAbove(layout, QStringLiteral("ファイル名(&F)"), fileName_, fileNameDetail_, "lblFileName");
    installSource_ = Edit(this, pc::kInstallSource);
    installSource_->setText(ToQString(c.installSource));
    installSourceLabel_ =
        LabelAbove(layout, QStringLiteral("インストールソース(&S)"), installSource_, nullptr, "lblInstallSource");
    useNextTime_ = new QCheckBox(QStringLiteral("次回からこの設定を使用する(&D)"), this);
    useNextTime_->setObjectName("cbDefault");
    useNextTime_->setVisible(model.UseNextTimeVisible());
    layout->addWidget(useNextTime_);
    body()->addLayout(layout);
    setMinimumWidth(480);

    connect(fileType_, &QComboBox::currentIndexChanged, this, [this](int type) {
        model_.SetCreateType(type);
        UpdateEnabled();
    });
    connect(folder_, &QComboBox::editTextChanged, this,
            [this](const QString& t) { model_.choice().outputFolder = ToSjis(t); });
    connect(fileName_, &QLineEdit::textChanged, this,
            [this](const QString& t) { model_.choice().outputFileName = ToSjis(t); });
    connect(installSource_, &QLineEdit::textChanged, this,
            [this](const QString& t) { model_.choice().installSource = ToSjis(t); });
    connect(useNextTime_, &QCheckBox::toggled, this, [this](bool on) { model_.choice().useNextTime = on; });
    connect(browse, &QPushButton::clicked, this, [this] {
        std::string folder = model_.choice().outputFolder;
        if (this->ui().ChooseFolder(sjis::S("インストールファイルの作成先を指定してください"), folder))
            folder_->setEditText(ToQString(folder));
    });
    connect(fileNameDetail_, &QPushButton::clicked, this, [this, &runner] {
        const std::optional<std::string> name =
            ComposeOutputName(model_.choice().outputFileName, true, model_.readOnly(), this->ui(), runner, this);
        if (name) fileName_->setText(ToQString(*name));
    });
    UpdateEnabled();
}

void TfrmCreateOptionDialog::UpdateEnabled() {
    for (QWidget* w : {static_cast<QWidget*>(fileNameLabel_), static_cast<QWidget*>(fileName_),
                       static_cast<QWidget*>(fileNameDetail_)})
        w->setEnabled(model_.FileNameEnabled());
    installSourceLabel_->setEnabled(model_.InstallSourceEnabled());
    installSource_->setEnabled(model_.InstallSourceEnabled());
}

bool TfrmCreateOptionDialog::AcceptOk() { return !ShowCheck(model_.Ok()); }

// ---- TfrmCreateFileNameDialog ----

TfrmCreateFileNameDialog::TfrmCreateFileNameDialog(CreateFileNameDialogModel& model, Ui& ui,
                                                   qtsupport::DialogRunner& runner, QWidget* parent)
    : TEditorDialogFrame(ui, "frmCreateFileNameDialog", ToQString(CreateFileNameDialogModel::Caption()), parent),
      model_(model), runner_(runner) {
    qtsupport::ItemRecordFormat format;
    format.columns = {QStringLiteral("種類"), QStringLiteral("値")};
    // A row's record is its index in the model's rows.
    format.text = [this](const std::string& record, int column) {
        const OutputNameRow& row = model_.rows().at(std::stoul(record));
        return column == 0 ? row.type : row.value;
    };
    list_ = new qtsupport::ItemListModel(format, this);
    view_ = new qtsupport::ItemListView(this);
    view_->setObjectName("lvFileName");
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setModel(list_);
    auto* label = new QLabel(QStringLiteral("ファイル名の定義(&F)"), this);
    label->setBuddy(view_);
    body()->addWidget(label);
    auto* row = new QHBoxLayout;
    row->addWidget(view_, 1);
    auto* buttons = new QVBoxLayout;
    QPushButton* add = Button(this, "btnAdd", QStringLiteral("追加(&A)..."));
    edit_ = Button(this, "btnEdit", QStringLiteral("編集(&E)..."));
    delete_ = Button(this, "btnDelete", QStringLiteral("削除(&D)"));
    up_ = Button(this, "btnUp", QStringLiteral("▲"));
    down_ = Button(this, "btnDown", QStringLiteral("▼"));
    for (QPushButton* b : {add, edit_, delete_, up_, down_}) buttons->addWidget(b);
    buttons->addStretch();
    row->addLayout(buttons);
    body()->addLayout(row, 1);
    resize(460, 320);

    connect(add, &QPushButton::clicked, this, [this] {
        const int added = model_.Add([this](CreateFileNameItemDialogModel& item) { return RunItemDialog(item); });
        if (added >= 0) Reload(added);
    });
    const auto editRow = [this] {
        const std::vector<int> rows = view_->selectedRows();
        if (!model_.EditEnabled(rows)) return;
        if (model_.Edit(rows.front(), [this](CreateFileNameItemDialogModel& item) { return RunItemDialog(item); }))
            Reload(rows.front());
    };
    connect(edit_, &QPushButton::clicked, this, editRow);
    connect(view_, &qtsupport::ItemListView::rowActivated, this, editRow);
    connect(delete_, &QPushButton::clicked, this, [this] {
        const std::vector<int> rows = view_->selectedRows();
        if (model_.DeleteEnabled(rows) && model_.Delete(this->ui(), rows.front()))
            Reload(std::min(rows.front(), static_cast<int>(model_.rows().size()) - 1));
    });
    connect(up_, &QPushButton::clicked, this, [this] {
        const std::vector<int> rows = view_->selectedRows();
        if (model_.UpEnabled(rows)) Reload(model_.MoveUp(rows.front()));
    });
    connect(down_, &QPushButton::clicked, this, [this] {
        const std::vector<int> rows = view_->selectedRows();
        if (model_.DownEnabled(rows)) Reload(model_.MoveDown(rows.front()));
    });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateButtons(); });
    Reload(model.rows().empty() ? -1 : 0);
}

void TfrmCreateFileNameDialog::Reload(int selectRow) {
    std::vector<std::string> records;
    for (std::size_t i = 0; i < model_.rows().size(); ++i) records.push_back(std::to_string(i));
    list_->setRecords(records);
    if (selectRow >= 0) view_->selectRowOnly(selectRow);
    view_->setColumnWidths({150, 230});
    UpdateButtons();
}

void TfrmCreateFileNameDialog::UpdateButtons() {
    const std::vector<int> rows = view_->selectedRows();
    edit_->setEnabled(model_.EditEnabled(rows));
    delete_->setEnabled(model_.DeleteEnabled(rows));
    up_->setEnabled(model_.UpEnabled(rows));
    down_->setEnabled(model_.DownEnabled(rows));
}

bool TfrmCreateFileNameDialog::RunItemDialog(CreateFileNameItemDialogModel& item) {
    TfrmCreateFileNameItemDialog dialog(item, ui(), this);
    return runner_.Run(dialog) == QDialog::Accepted;
}

// ---- TfrmCreateFileNameItemDialog ----

TfrmCreateFileNameItemDialog::TfrmCreateFileNameItemDialog(CreateFileNameItemDialogModel& model, Ui& ui,
                                                           QWidget* parent)
    : TEditorDialogFrame(ui, "frmCreateFileNameItemDialog", ToQString(CreateFileNameItemDialogModel::Caption()),
                         parent),
      model_(model) {
    auto* form = new QFormLayout;
    type_ = Combo(this, "cmbType", qtsupport::ToQStringList(OutputNameItemTypes()));
    type_->setCurrentIndex(model.type());
    value_ = Edit(this, "edtValue");
    value_->setText(ToQString(model.value()));
    value_->setEnabled(model.ValueEnabled());
    form->addRow(QStringLiteral("種類(&T)"), type_);
    form->addRow(QStringLiteral("値(&V)"), value_);
    body()->addLayout(form);
    setMinimumWidth(340);
    connect(type_, &QComboBox::activated, this, [this](int index) {
        model_.SelectType(index);
        value_->setText(ToQString(model_.value()));
        value_->setEnabled(model_.ValueEnabled());
    });
    connect(value_, &QLineEdit::textChanged, this, [this](const QString& t) { model_.SetValue(ToSjis(t)); });
}

}  // namespace zeriru::gui
