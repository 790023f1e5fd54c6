#include "zeriru/editors/widgets/uninstall_dialogs.h"

#include "platform/sjis.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/defines.h"
#include "zeriru/editors/widgets/define_widgets.h"
#include "zeriru/editors/widgets/editor_controls.h"
#include "zeriru/editors/widgets/editor_toolkit.h"
#include "zeriru/editors/widgets/page_setting_editor.h"
#include "zeriru/editors/widgets/item_list_panel.h"
#include "zeriru/help_topics.h"
#include "zeriru/ui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace zeriru::gui {

namespace sjis = platform::sjis;
namespace uc = uninstall_control;
using qtsupport::ToQString;
using qtsupport::ToSjis;

namespace {

// The define list of both files dialogs in ZERIRU.DAT.
constexpr std::string_view kDefineList = "DFNLIST_DELTEITEM";

std::vector<std::string> RootKeys() {
    std::vector<std::string> keys;
    for (std::string_view k : RootKeyChoices()) keys.emplace_back(k);
    return keys;
}

qtsupport::ItemRecordFormat RowFormat(const UninstallListInfo& info) {
    qtsupport::ItemRecordFormat format;
    format.columns = {QStringLiteral("種類"), info.registry ? QStringLiteral("キー") : QStringLiteral("値")};
    const UninstallList list = info.list;
    if (info.registry)
        format.text = [list](const std::string& record, int column) { return UninstallRegistryRowText(list, record, column); };
    else
        format.text = [list](const std::string& record, int column) { return UninstallFileRowText(list, record, column); };
    return format;
}

// "OSの設定(&O)": the OS target dialog, offered while the project checks the system.
QPushButton* OsButton(EditorToolkit& kit, QWidget* parent, OsTarget& target, TEditorDialogFrame* dialog) {
    auto* button = new QPushButton(QStringLiteral("OSの設定(&O)"), parent);
    button->setObjectName("btnOs");
    button->setEnabled(kit.data().projectChecksOs());
    QObject::connect(button, &QPushButton::clicked, dialog, [&kit, &target, dialog] {
        if (const std::optional<OsTarget> chosen = kit.EditOsTarget(target)) {
            target = *chosen;
            dialog->MarkChanged();
        }
    });
    return button;
}

}  // namespace

// ---- TfrmUninstallFileDialog ----

TfrmUninstallFileDialog::TfrmUninstallFileDialog(EditorToolkit& kit, UninstallFileItemModel& model, bool readOnly)
    : TEditorDialogFrame(kit.ui(), model.list() == UninstallList::Delete ? "frmDeleteFileDialog" : "frmUnDeleteFileDialog",
                         ToQString(model.Caption()), kit.parent()),
      kit_(kit), model_(model) {
    const bool deleting = model.list() == UninstallList::Delete;
    const std::vector<std::string> defines = kit.data().DefineList(kDefineList);
    auto* typeForm = new QFormLayout;
    type_ = MakeCombo(this, uc::kType, Choices(UninstallFileItemModel::kTypeCount, UninstallFileItemModel::TypeText));
    AddRow(typeForm, "種類(&T)", type_);
    body()->addLayout(typeForm);

    fileGroup_ = MakeGroup(this, "grpFile", "ファイル/フォルダ");
    auto* fileForm = new QFormLayout(fileGroup_);
    define_ = new TDefineCombo(fileGroup_, uc::kDefine);
    define_->SetEntries(defines);
    AddRow(fileForm, "フォルダ定数(&D)", define_);
    parameter_ = new TParameterField(kit, define_, uc::kParameter, "btnParameter", fileGroup_);
    AddRow(fileForm, "パラメータ(&P)", parameter_);
    fileName_ = MakeEdit(fileGroup_, uc::kFileName);
    fileNameLabel_ = AddRow(fileForm, "ファイル名(&F)", fileName_);
    body()->addWidget(fileGroup_);

    patternGroup_ = MakeGroup(this, "grpPattern", "拡張子");
    auto* patternForm = new QFormLayout(patternGroup_);
    patternDefine_ = new TDefineCombo(patternGroup_, uc::kPatternDefine);
    patternDefine_->SetEntries(defines);
    AddRow(patternForm, "フォルダ定数(&D)", patternDefine_);
    patternParameter_ = new TParameterField(kit, patternDefine_, uc::kPatternParameter, "btnPatternParameter", patternGroup_);
    AddRow(patternForm, "パラメータ(&P)", patternParameter_);
    pattern_ = MakeEdit(patternGroup_, uc::kPattern);
    AddRow(patternForm,
           deleting ? "ファイルパターン(&E) (例: *.exe)  [ワイルドカード (*及び?)が使用可能です。]"
                    : "ファイルパターン(&E) (例: *.ini) [ワイルドカード (*及び?)が使用可能です。]",
           pattern_);
    body()->addWidget(patternGroup_);

    if (deleting) {
        options_ = MakeCheckList(this, "clbOptions", Choices(UninstallFileItemModel::kOptionCount, UninstallFileItemModel::OptionText));
        options_->setMaximumHeight(options_->sizeHintForRow(0) * UninstallFileItemModel::kOptionCount + 8);
        auto* label = new QLabel(QStringLiteral("オプション(&O)"), this);
        label->setBuddy(options_);
        body()->addWidget(label);
        body()->addWidget(options_);
        connect(options_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
            if (loading_) return;
            model_.SetOption(options_->row(item), item->checkState() == Qt::Checked);
            UpdateView();
        });
    }
    auto* osRow = new QHBoxLayout;
    osRow->addStretch(1);
    osRow->addWidget(OsButton(kit, this, model_.os, this));
    body()->addLayout(osRow);

    loading_ = true;
    type_->setCurrentIndex(model.type());
    define_->SetDefine(model.define);
    parameter_->SetParameter(model.parameter);
    fileName_->setText(ToQString(model.fileName));
    patternDefine_->SetDefine(model.patternDefine);
    patternParameter_->SetParameter(model.patternParameter);
    pattern_->setText(ToQString(model.pattern()));
    loading_ = false;
    connect(type_, &QComboBox::currentIndexChanged, this, [this](int type) {
        if (loading_) return;
        model_.SetType(type);
        UpdateView();
    });
    if (!deleting) {
        connect(pattern_, &QLineEdit::textEdited, this, [this](const QString& text) {
            const int caret = pattern_->cursorPosition();
            pattern_->setText(text.toUpper());
            pattern_->setCursorPosition(caret);
        });
    }
    UpdateView();
    if (readOnly) LockDown();
    TrackChanges();
    setMinimumWidth(520);
}

void TfrmUninstallFileDialog::UpdateView() {
    const bool pattern = model_.type() == UninstallFileItemModel::kPattern;
    fileGroup_->setVisible(!pattern);
    patternGroup_->setVisible(pattern);
    const bool file = model_.type() == UninstallFileItemModel::kFile;
    fileName_->setVisible(file);
    fileNameLabel_->setVisible(file);
    if (!options_) return;
    const bool was = loading_;
    loading_ = true;
    for (int bit = 0; bit < UninstallFileItemModel::kOptionCount; ++bit) {
        SetLineChecked(options_, bit, (model_.options() >> bit) & 1);
        SetLineEnabled(options_, bit, model_.OptionEnabled(bit) && !frame().readOnly());
    }
    loading_ = was;
}

void TfrmUninstallFileDialog::Store() {
    model_.SetType(type_->currentIndex());
    model_.define = define_->define();
    model_.parameter = parameter_->parameter();
    model_.fileName = ToSjis(fileName_->text());
    model_.patternDefine = patternDefine_->define();
    model_.patternParameter = patternParameter_->parameter();
    model_.SetPattern(ToSjis(pattern_->text()));
}

bool TfrmUninstallFileDialog::AcceptOk() {
    Store();
    return !ShowCheck(model_.Ok());
}

// ---- TfrmUninstallRegistryDialog ----

TfrmUninstallRegistryDialog::TfrmUninstallRegistryDialog(EditorToolkit& kit, UninstallRegistryItemModel& model,
                                                         bool readOnly)
    : TEditorDialogFrame(kit.ui(),
                         model.list() == UninstallList::Delete ? "frmDeleteRegistryDialog" : "frmUnDeleteRegistryDialog",
                         ToQString(model.Caption()), kit.parent()),
      kit_(kit), model_(model) {
    const bool deleting = model.list() == UninstallList::Delete;
    auto* form = new QFormLayout;
    std::vector<std::string> types;
    for (int t = 0; t < model.TypeCount(); ++t) types.push_back(model.TypeText(t));
    type_ = MakeCombo(this, uc::kType, types);
    AddRow(form, deleting ? "削除する条件(&C)" : "削除しない条件(&C)", type_);
    root_ = MakeCombo(this, uc::kRootKey, RootKeys());
    AddRow(form, "ルートキー(&R)", root_);
    subKey_ = MakeEdit(this, uc::kSubKey);
    AddRow(form, deleting ? "サブキー(&S) *" : "サブキー(&S)", subKey_);
    valueName_ = MakeEdit(this, uc::kValueName);
    valueNameLabel_ = AddRow(form, deleting ? "値名(&N) *" : "値名(&N)", valueName_);
    body()->addLayout(form);
    if (deleting) {
        optionGroup_ = MakeGroup(this, "grpOption", "オプション");
        auto* optionLayout = new QVBoxLayout(optionGroup_);
        for (int bit = 0; bit < 3; ++bit) {
            const std::string name = "chkOption" + std::to_string(bit);
            auto* box = new QCheckBox(ToQString(UninstallRegistryItemModel::OptionText(bit)), optionGroup_);
            box->setObjectName(QString::fromStdString(name));
            box->setChecked((model.options >> bit) & 1);
            options_[static_cast<std::size_t>(bit)] = box;
            optionLayout->addWidget(box);
        }
        body()->addWidget(optionGroup_);
    }
    auto* osRow = new QHBoxLayout;
    if (deleting) osRow->addWidget(MakeNote(this, "lblNote", QStringLiteral("*上位キーにサブキー/値が存在する場合は削除しません")), 1);
    osRow->addStretch(deleting ? 0 : 1);
    osRow->addWidget(OsButton(kit, this, model_.os, this));
    body()->addLayout(osRow);

    type_->setCurrentIndex(model.type());
    const int root = root_->findText(ToQString(model.rootKey), Qt::MatchFixedString);
    root_->setCurrentIndex(root >= 0 ? root : 1);
    subKey_->setText(ToQString(model.subKey));
    valueName_->setText(ToQString(model.valueName));
    connect(type_, &QComboBox::currentIndexChanged, this, [this](int type) {
        model_.SetType(type);
        UpdateView();
    });
    UpdateView();
    if (readOnly) LockDown();
    TrackChanges();
    setMinimumWidth(480);
}

void TfrmUninstallRegistryDialog::UpdateView() {
    valueName_->setVisible(model_.UsesValueName());
    valueNameLabel_->setVisible(model_.UsesValueName());
    if (optionGroup_) optionGroup_->setEnabled(model_.OptionsEnabled() && !frame().readOnly());
}

void TfrmUninstallRegistryDialog::Store() {
    model_.SetType(type_->currentIndex());
    model_.rootKey = ToSjis(root_->currentText());
    model_.subKey = ToSjis(subKey_->text());
    model_.valueName = ToSjis(valueName_->text());
    if (optionGroup_) {
        model_.options = 0;
        for (int bit = 0; bit < 3; ++bit) {
            if (options_[static_cast<std::size_t>(bit)]->isChecked()) model_.options |= 1 << bit;
        }
    }
}

bool TfrmUninstallRegistryDialog::AcceptOk() {
    Store();
    return !ShowCheck(model_.Ok());
}

// ---- TfrmUnInstallOptionDialog ----

TfrmUnInstallOptionDialog::TfrmUnInstallOptionDialog(EditorToolkit& kit, UnInstallOptionDialogModel& model)
    : TEditorDialogFrame(kit.ui(), "frmUnInstallOptionDialog", ToQString(UnInstallOptionDialogModel::Caption()),
                         kit.parent()),
      kit_(kit), model_(model) {
    enableUninstall_ = MakeCheck(this, "chkEnableUninstall", "アンインストール機能を有効にする(&U)");
    body()->addWidget(enableUninstall_);
    auto* pages = new QTabWidget(this);
    pages->setObjectName("PageControl");
    BuildBasicPage(pages);
    QWidget* files = AddPage(pages, "tsFiles", "ファイル/フォルダ");
    auto* fileTabs = new QTabWidget(files);
    fileTabs->setObjectName("pcFiles");
    (new QVBoxLayout(files))->addWidget(fileTabs);
    BuildListPage(fileTabs, UninstallListKind::DeleteFile, "削除する項目", "指定した項目を削除する(&P)",
                  "「ファイル/フォルダの設定」で指定したファイル以外をアンインストール時に削除する場合に使用します。");
    BuildListPage(fileTabs, UninstallListKind::UnDeleteFile, "削除しない項目", "指定した項目は削除しない(&P)",
                  "「ファイル/フォルダの設定」でインストールしたファイルでアンインストール時に削除したくないファイル/フォルダを"
                  "指定します。ただし、削除する項目で指定しているファイルは対象外となります。");
    QWidget* registry = AddPage(pages, "tsRegistry", "レジストリ");
    auto* registryTabs = new QTabWidget(registry);
    registryTabs->setObjectName("pcRegistry");
    (new QVBoxLayout(registry))->addWidget(registryTabs);
    BuildListPage(registryTabs, UninstallListKind::DeleteRegistry, "削除する項目", "指定した項目を削除する(&P)",
                  "「レジストリの設定」で書き込まれたレジストリ以外をアンインストール時に削除する場合に使用します。");
    BuildListPage(registryTabs, UninstallListKind::UnDeleteRegistry, "削除しない項目", "指定した項目は削除しない(&P)",
                  "「レジストリの設定」で書き込まれたレジストリにてアンインストール時削除したくない項目がある場合に指定します。"
                  "ただし、削除する項目で指定した項目は対象外です。");
    BuildInformationPage(pages);
    body()->addWidget(pages);
    UsePages(pages, std::vector<int>(std::begin(help_topic::kUninstallPages), std::end(help_topic::kUninstallPages)));
    Load();
    if (model_.frame.readOnly()) {
        std::vector<QWidget*> keep;
        for (TItemListPanel* p : panels_) {
            keep.push_back(p->view());
            p->SetReadOnly(true, true);
        }
        for (QPushButton* b : findChildren<QPushButton*>()) {
            if (b->objectName().endsWith(QStringLiteral("Edit"))) keep.push_back(b);
        }
        LockDown({}, keep);
    }
    TrackChanges();
    resize(600, 480);
}

void TfrmUnInstallOptionDialog::BuildBasicPage(QTabWidget* pages) {
    QWidget* page = AddPage(pages, "tsBasic", "基本設定");
    auto* layout = new QVBoxLayout(page);
    QGroupBox* system = MakeGroup(page, "grpSystemFile", "システムファイルの削除");
    auto* systemLayout = new QVBoxLayout(system);
    systemFileDelete_ = MakeCheck(system, "chkSystemFileDelete", "システムファイルを削除する(&S)");
    systemFileDeleteMessage_ = MakeCheck(system, "chkSystemFileDeleteMessage", "システムファイル削除時に確認メッセージを表示する(&M)");
    systemLayout->addWidget(systemFileDelete_);
    systemLayout->addWidget(systemFileDeleteMessage_);
    layout->addWidget(system);
    QGroupBox* personal = MakeGroup(page, "grpPersonal", "設定内容の削除");
    auto* personalLayout = new QVBoxLayout(personal);
    personalSetting_ = MakeCheck(personal, "chkPersonalSettingDeleteConfirm",
                                 "レジストリ/INIファイルの設定内容の削除時に確認メッセージを表示する(&P)");
    personalLayout->addWidget(personalSetting_);
    layout->addWidget(personal);
    layout->addStretch(1);
    connect(systemFileDelete_, &QCheckBox::toggled, this, [this] { UpdateView(); });
}

QWidget* TfrmUnInstallOptionDialog::BuildListPage(QTabWidget* tabs, UninstallListKind kind, const char* caption,
                                                  const char* checkCaption, const char* note) {
    const UninstallListInfo& info = UninstallListOf(kind);
    const std::string pageName(info.pageName);
    QWidget* page = AddPage(tabs, pageName.c_str(), caption);
    auto* layout = new QVBoxLayout(page);
    const std::string checkName(info.checkName);
    QCheckBox* check = MakeCheck(page, checkName.c_str(), checkCaption);
    listEnabled_[static_cast<std::size_t>(kind)] = check;
    layout->addWidget(check);
    layout->addWidget(MakeNote(page, ("lbl" + pageName.substr(2)).c_str(), QString::fromUtf8(note)));
    const std::string viewName(info.listName);
    TItemListPanel::Options o;
    o.viewName = viewName.c_str();
    o.layoutKey = std::string(info.layoutKey);
    o.multiSelection = false;
    o.commands = {ListCommand::Add, ListCommand::Edit, ListCommand::Delete, ListCommand::Copy};
    auto* panel = new TItemListPanel(kit_.ui(), model_.list(kind), RowFormat(info), o, &kit_.data().settings(), page);
    panels_[static_cast<std::size_t>(kind)] = panel;
    panel->onAdd = [this, kind] { AddItem(kind); };
    panel->onEdit = [this, kind](const std::vector<int>& rows) { EditItem(kind, rows.front()); };
    panel->onChanged = [this] { MarkChanged(); };
    auto* row = new QHBoxLayout;
    row->addWidget(panel, 1);
    auto* buttons = new QVBoxLayout;
    const std::string base = "btn" + pageName.substr(2);
    buttons->addWidget(panel->MakeButton(ListCommand::Add, (base + "Add").c_str(), page));
    buttons->addWidget(panel->MakeButton(ListCommand::Edit, (base + "Edit").c_str(), page));
    buttons->addWidget(panel->MakeButton(ListCommand::Delete, (base + "Delete").c_str(), page));
    buttons->addWidget(panel->MakeButton(ListCommand::Copy, (base + "Copy").c_str(), page));
    buttons->addStretch(1);
    row->addLayout(buttons);
    layout->addLayout(row, 1);
    return page;
}

void TfrmUnInstallOptionDialog::BuildInformationPage(QTabWidget* pages) {
    QWidget* page = AddPage(pages, UnInstallOptionDialogModel::kInformationPage, "アンインストール情報");
    auto* layout = new QVBoxLayout(page);
    uniqueKey_ = MakeCheck(page, "chkUseUniqueKey", "アンインストールキー(プロジェクト名を使用)が重複する場合自動生成する(&J)");
    layout->addWidget(uniqueKey_);
    QGroupBox* group = MakeGroup(page, "grpInfoFile", "アンインストール情報ファイルについて");
    auto* form = new QFormLayout(group);
    form->setRowWrapPolicy(QFormLayout::WrapAllRows);
    method_ = MakeCombo(group, "cmbInfoFileMethod", Choices(kInfoFileMethodCount, UnInstallOptionDialogModel::InfoFileMethodText));
    AddRow(form, "アンインストール情報ファイルについての処理の選択(&M)", method_);
    infoFileName_ = MakeEdit(group, "edtInfoFileName");
    AddRow(form, "アンインストール情報ファイル名(&F)", infoFileName_);
    form->addRow(MakeNote(group, "lblInfoFileNote",
                          QStringLiteral("ファイル名のみか、フォルダ定数から始まるパスを指定します。\n"
                                         "例:\n%InstallDir%\\APPNAME\\INSTALL.DAT (フォルダ定数で指定)\n"
                                         "C:\\APPNAME\\INSTALL.DAT (ドライブ文字からは指定できません)")));
    layout->addWidget(group);
    layout->addStretch(1);
    connect(uniqueKey_, &QCheckBox::toggled, this, [this](bool on) {
        if (loading_) return;
        model_.SetUseUniqueKey(on);
        method_->setCurrentIndex(model_.infoFileMethod());
        UpdateView();
    });
    connect(method_, &QComboBox::currentIndexChanged, this, [this](int method) {
        if (loading_) return;
        model_.SetInfoFileMethod(method);
        UpdateView();
    });
}

void TfrmUnInstallOptionDialog::Load() {
    loading_ = true;
    enableUninstall_->setChecked(model_.enableUninstall);
    systemFileDelete_->setChecked(model_.systemFileDelete);
    systemFileDeleteMessage_->setChecked(model_.systemFileDeleteMessage);
    personalSetting_->setChecked(model_.personalSettingDeleteConfirm);
    for (int i = 0; i < kUninstallListCount; ++i)
        listEnabled_[static_cast<std::size_t>(i)]->setChecked(model_.listEnabled(static_cast<UninstallListKind>(i)));
    uniqueKey_->setChecked(model_.useUniqueKey());
    method_->setCurrentIndex(model_.infoFileMethod());
    infoFileName_->setText(ToQString(model_.infoFileName));
    loading_ = false;
    UpdateView();
}

void TfrmUnInstallOptionDialog::UpdateView() {
    const bool editable = !model_.frame.readOnly();
    systemFileDeleteMessage_->setEnabled(systemFileDelete_->isChecked() && editable);
    method_->setEnabled(model_.MethodEnabled());
    infoFileName_->setEnabled(model_.InfoFileNameEnabled());
}

void TfrmUnInstallOptionDialog::Store() {
    model_.enableUninstall = enableUninstall_->isChecked();
    model_.systemFileDelete = systemFileDelete_->isChecked();
    model_.systemFileDeleteMessage = systemFileDeleteMessage_->isChecked();
    model_.personalSettingDeleteConfirm = personalSetting_->isChecked();
    for (int i = 0; i < kUninstallListCount; ++i)
        model_.SetListEnabled(static_cast<UninstallListKind>(i), listEnabled_[static_cast<std::size_t>(i)]->isChecked());
    model_.infoFileName = ToSjis(infoFileName_->text());
}

bool TfrmUnInstallOptionDialog::AcceptOk() {
    Store();
    return !ShowCheck(model_.Ok());
}

void TfrmUnInstallOptionDialog::AddItem(UninstallListKind kind) {
    ItemList& list = model_.list(kind);
    if (!list.CanAdd(ui())) return;
    const UninstallListInfo& info = UninstallListOf(kind);
    std::string record;
    if (info.registry) {
        UninstallRegistryItemModel item(info.list);
        item.New(kit_.data().projectOs());
        TfrmUninstallRegistryDialog dialog(kit_, item, false);
        if (kit_.Run(dialog) != QDialog::Accepted) return;
        record = item.Record();
    } else {
        UninstallFileItemModel item(info.list);
        const std::vector<std::string> defines = kit_.data().DefineList(kDefineList);
        item.New(defines.empty() ? std::string("%InstallDir%") : defines.front(), kit_.data().projectOs());
        TfrmUninstallFileDialog dialog(kit_, item, false);
        if (kit_.Run(dialog) != QDialog::Accepted) return;
        record = item.Record();
    }
    panel(kind)->Reload(list.Append(std::move(record)));
    MarkChanged();
}

void TfrmUnInstallOptionDialog::EditItem(UninstallListKind kind, int row) {
    ItemList& list = model_.list(kind);
    const UninstallListInfo& info = UninstallListOf(kind);
    const std::string old = list.record(row);
    const bool readOnly = model_.frame.readOnly();
    std::string record;
    if (info.registry) {
        UninstallRegistryItemModel item(info.list);
        item.Load(old);
        TfrmUninstallRegistryDialog dialog(kit_, item, readOnly);
        if (kit_.Run(dialog) != QDialog::Accepted || readOnly) return;
        record = item.Record(old);
    } else {
        UninstallFileItemModel item(info.list);
        item.Load(old);
        TfrmUninstallFileDialog dialog(kit_, item, readOnly);
        if (kit_.Run(dialog) != QDialog::Accepted || readOnly) return;
        record = item.Record(old);
    }
    list.Replace(row, std::move(record));
    panel(kind)->Reload(row);
    MarkChanged();
}

// ---- the setting editor ----

std::unique_ptr<SettingEditor> MakeUninstallEditor(SettingEditorContext& context, qtsupport::DialogRunner& runner,
                                                   QWidget* parent) {
    return std::make_unique<PageSettingEditor<UnInstallOptionDialogModel, TfrmUnInstallOptionDialog>>(
        context, runner, parent,
        [](EditorToolkit&, bool readOnly) { return std::make_unique<UnInstallOptionDialogModel>(readOnly); },
        [](UnInstallOptionDialogModel& model, TIniDocument& project, EditorToolkit&) { model.Write(project); });
}

}  // namespace zeriru::gui
