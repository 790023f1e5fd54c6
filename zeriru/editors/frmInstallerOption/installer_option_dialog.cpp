#include "zeriru/editors/widgets/installer_option_dialog.h"

#include "platform/sjis.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/editors/record_kinds.h"
#include "zeriru/editors/widgets/define_widgets.h"
#include "zeriru/editors/widgets/editor_controls.h"
#include "zeriru/editors/widgets/editor_toolkit.h"
#include "zeriru/editors/widgets/page_setting_editor.h"
#include "zeriru/editors/widgets/item_list_panel.h"
#include "zeriru/editors/widgets/program_dialogs.h"
#include "zeriru/help_topics.h"
#include "zeriru/ui.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace zeriru::gui {

namespace sjis = platform::sjis;
namespace page = installer_option_page;
using qtsupport::ToQString;
using qtsupport::ToSjis;

namespace {

qtsupport::ItemRecordFormat ProgramRowFormat() {
    qtsupport::ItemRecordFormat format;
    format.columns = {QStringLiteral("フォルダ"), QStringLiteral("ファイル"), QStringLiteral("引数")};
    format.text = [](const std::string& record, int column) { return ProgramRowText(record, column); };
    format.checked = [](const std::string& record) { return ProgramEnabled(record); };
    format.setChecked = [](const std::string& record, bool on) {
        return ProgramItemCodec().Update(record, {{program_item::kEnabled, FieldBool(on)}});
    };
    return format;
}

qtsupport::ItemRecordFormat RelationRowFormat() {
    qtsupport::ItemRecordFormat format;
    format.columns = {QStringLiteral("アプリケーション名"), QStringLiteral("アンインストールキー")};
    format.text = [](const std::string& record, int column) { return RelationRowText(record, column); };
    return format;
}

QWidget* ButtonColumn(const std::vector<QPushButton*>& buttons) {
    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QPushButton* b : buttons) layout->addWidget(b);
    layout->addStretch(1);
    return column;
}

}  // namespace

TfrmInstallerOptionDialog::TfrmInstallerOptionDialog(EditorToolkit& kit, InstallerOptionDialogModel& model)
    : TEditorDialogFrame(kit.ui(), "frmInstallerOptionDialog", ToQString(InstallerOptionDialogModel::Caption()),
                         kit.parent()),
      kit_(kit), model_(model) {
    model_.showHint = [&kit](int index) { kit.ShowHint(index, true); };
    auto* pages = new QTabWidget(this);
    pages->setObjectName("PageControl");
    BuildDetailPage(pages);
    BuildRelationPage(pages);
    BuildScreenPage(pages);
    BuildProgramPage(pages);
    BuildOsPage(pages);
    BuildLimitPage(pages);
    std::vector<int> topics(std::begin(help_topic::kInstallerOptionPages), std::end(help_topic::kInstallerOptionPages));
    if (model_.advancedMode()) {
        BuildUninstallerPage(pages);
    } else {
        topics.pop_back();
    }
    body()->addWidget(pages);
    UsePages(pages, topics, &kit.data().settings(), std::string(settings_key::kInstallOption));
    Load();
    if (model_.frame.readOnly()) {
        std::vector<QWidget*> keep = {programs_->view(), relations_->view()};
        for (QPushButton* b : findChildren<QPushButton*>(QStringLiteral("btnProgramEdit"))) keep.push_back(b);
        for (QPushButton* b : findChildren<QPushButton*>(QStringLiteral("btnRelationEdit"))) keep.push_back(b);
        LockDown({}, keep);
        programs_->SetReadOnly(true, true);
        relations_->SetReadOnly(true, true);
    }
    TrackChanges();
    resize(640, 560);
}

void TfrmInstallerOptionDialog::BuildDetailPage(QTabWidget* pages) {
    QWidget* p = AddPage(pages, page::kDetail, "詳細");
    auto* layout = new QVBoxLayout(p);
    QGroupBox* other = MakeGroup(p, "grpOther", "その他");
    auto* form = new QFormLayout(other);
    installMethod_ = MakeCombo(other, "cmbInstallMethod",
                               Choices(kInstallMethodCount, InstallerOptionDialogModel::InstallMethodText));
    AddRow(form, "既にインストールされている場合", installMethod_);
    supportInfo_ = MakeCheck(other, "chkSupportInfo", "サポート情報をアンインストール情報に付加する(&U)");
    silentInstall_ = MakeCheck(other, "chkSilentInstall", "インストール実行時サイレントモードで行う(&S)");
    silentUninstall_ = MakeCheck(other, "chkSilentUninstall", "アンインストール実行時サイレントモードで行う(&S)");
    for (QCheckBox* b : {supportInfo_, silentInstall_, silentUninstall_}) form->addRow(b);
    layout->addWidget(other);
    options_ = MakeCheckList(p, "clbOptions", Choices(kInstallOptionCount, InstallerOptionDialogModel::InstallOptionText));
    auto* label = new QLabel(QStringLiteral("インストールオプション(&O)"), p);
    label->setBuddy(options_);
    layout->addWidget(label);
    layout->addWidget(options_, 1);
    connect(silentUninstall_, &QCheckBox::toggled, this, [this](bool on) {
        if (!loading_) model_.SetSilentUninstall(on);
    });
    connect(options_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (loading_) return;
        model_.SetOption(options_->row(item), item->checkState() == Qt::Checked);
        ShowOptions();
    });
}

void TfrmInstallerOptionDialog::BuildRelationPage(QTabWidget* pages) {
    QWidget* p = AddPage(pages, page::kRelation, "関連アプリケーション");
    auto* layout = new QVBoxLayout(p);
    relationEnabled_ = MakeCheck(p, "chkRelation", "アプリケーションの関連性をチェックする");
    layout->addWidget(relationEnabled_);
    relationGroup_ = MakeGroup(p, "grpRelation", "関連するアプリケーションのチェックルール");
    auto* row = new QHBoxLayout(relationGroup_);
    TItemListPanel::Options o;
    o.viewName = "lvRelation";
    o.layoutKey = std::string(settings_key::kCollectUnInstall);
    o.multiSelection = false;
    o.commands = {ListCommand::Add, ListCommand::Edit, ListCommand::Delete};
    relations_ = new TItemListPanel(kit_.ui(), model_.relations, RelationRowFormat(), o, &kit_.data().settings(),
                                    relationGroup_);
    relations_->onAdd = [this] { AddRelation(); };
    relations_->onEdit = [this](const std::vector<int>& rows) { EditRelation(rows.front()); };
    relations_->onChanged = [this] { MarkChanged(); };
    row->addWidget(relations_, 1);
    row->addWidget(ButtonColumn({relations_->MakeButton(ListCommand::Add, "btnRelationAdd", relationGroup_),
                                 relations_->MakeButton(ListCommand::Edit, "btnRelationEdit", relationGroup_),
                                 relations_->MakeButton(ListCommand::Delete, "btnRelationDelete", relationGroup_)}));
    layout->addWidget(relationGroup_, 1);
    connect(relationEnabled_, &QCheckBox::toggled, this, [this] { UpdateView(); });
}

void TfrmInstallerOptionDialog::BuildScreenPage(QTabWidget* pages) {
    QWidget* p = AddPage(pages, page::kScreen, "インストーラ画面");
    auto* layout = new QVBoxLayout(p);
    screens_ = MakeCheckList(p, "clbScreens", Choices(kScreenCount, InstallerOptionDialogModel::ScreenText));
    auto* label = new QLabel(QStringLiteral("インストール画面の設定(&S)"), p);
    label->setBuddy(screens_);
    layout->addWidget(label);
    layout->addWidget(screens_, 1);
    auto* form = new QFormLayout;
    auto fileRow = [&](const char* caption, const char* edit, const char* button, bool license) {
        auto* field = MakeEdit(p, edit);
        field->setReadOnly(true);
        auto* browse = new QPushButton(QStringLiteral("参照(&B)"), p);
        browse->setObjectName(QString::fromLatin1(button));
        connect(browse, &QPushButton::clicked, this, [this, license] { ChooseScreenFile(license); });
        auto* row = new QWidget(p);
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        rowLayout->addWidget(field, 1);
        rowLayout->addWidget(browse);
        AddRow(form, caption, row);
        return field;
    };
    documentFile_ = fileRow("ドキュメントファイル名(&D)", "edtDocumentFile", "btnDocument", false);
    licenseFile_ = fileRow("ライセンスファイル名(&L)", "edtLicenseFile", "btnLicense", true);
    layout->addLayout(form);
    alwaysAgree_ = MakeCheck(p, "chkAlwaysAgree", "ライセンス内容の表示/確認のみで「同意」は必要ない(&C)");
    readTillTheLast_ = MakeCheck(p, "chkReadLicenseTillTheLast", "ライセンス内容をすべて読み終わるまで「同意」できないようにする(&N)");
    layout->addWidget(alwaysAgree_);
    layout->addWidget(readTillTheLast_);
    auto* unitForm = new QFormLayout;
    fileSizeUnit_ = MakeCombo(p, "cmbFileSizeUnit", Choices(2, InstallerOptionDialogModel::FileSizeUnitText));
    AddRow(unitForm, "ファイルサイズの表示単位(&F)", fileSizeUnit_);
    layout->addLayout(unitForm);
}

void TfrmInstallerOptionDialog::BuildProgramPage(QTabWidget* pages) {
    QWidget* p = AddPage(pages, page::kProgram, "ファイルの実行");
    auto* layout = new QVBoxLayout(p);
    programEnabled_ = MakeCheck(p, "chkProgram", "インストール処理中プログラムを実行する(&R)");
    layout->addWidget(programEnabled_);
    programGroups_ = new QWidget(p);
    auto* groupsLayout = new QVBoxLayout(programGroups_);
    groupsLayout->setContentsMargins(0, 0, 0, 0);
    QGroupBox* files = MakeGroup(programGroups_, "grpProgram", "起動するファイル");
    auto* row = new QHBoxLayout(files);
    TItemListPanel::Options o;
    o.viewName = "lvProgram";
    o.layoutKey = std::string(settings_key::kProgram);
    o.multiSelection = false;
    o.commands = {ListCommand::Add, ListCommand::Edit, ListCommand::Delete, ListCommand::Up, ListCommand::Down};
    programs_ = new TItemListPanel(kit_.ui(), model_.programs, ProgramRowFormat(), o, &kit_.data().settings(), files);
    programs_->onAdd = [this] { AddProgram(); };
    programs_->onEdit = [this](const std::vector<int>& rows) { EditProgram(rows.front()); };
    programs_->onChanged = [this] { MarkChanged(); };
    row->addWidget(programs_, 1);
    row->addWidget(ButtonColumn({programs_->MakeButton(ListCommand::Add, "btnProgramAdd", files),
                                 programs_->MakeButton(ListCommand::Edit, "btnProgramEdit", files),
                                 programs_->MakeButton(ListCommand::Delete, "btnProgramDelete", files),
                                 programs_->MakeButton(ListCommand::Up, "btnProgramUp", files, QStringLiteral("▲")),
                                 programs_->MakeButton(ListCommand::Down, "btnProgramDown", files, QStringLiteral("▼"))}));
    groupsLayout->addWidget(files, 1);
    QGroupBox* execution = MakeGroup(programGroups_, "grpExecution", "項目の実行");
    auto* form = new QFormLayout(execution);
    groupExecution_ = MakeRadio(execution, "rbGroupExecution", "すべての項目をまとめて実行する(&G)");
    eachExecution_ = MakeRadio(execution, "rbEachExecution", "個別に選択して実行する(&S)");
    form->addRow(groupExecution_);
    checkBoxCaption_ = MakeEdit(execution, "edtCheckBoxCaption");
    AddRow(form, "チェックボックスに表示するメッセージ(&M)", checkBoxCaption_);
    defaultCheckBoxState_ = MakeCheck(execution, "chkDefaultCheckBoxState", "初期状態でチェック状態にする(&C)");
    form->addRow(defaultCheckBoxState_);
    form->addRow(eachExecution_);
    groupsLayout->addWidget(execution);
    layout->addWidget(programGroups_, 1);
    connect(programEnabled_, &QCheckBox::toggled, this, [this] { UpdateView(); });
    connect(groupExecution_, &QRadioButton::toggled, this, [this] { UpdateView(); });
}

void TfrmInstallerOptionDialog::BuildOsPage(QTabWidget* pages) {
    QWidget* p = AddPage(pages, page::kOs, "OSの設定");
    auto* layout = new QVBoxLayout(p);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("インストール時に Windows のバージョンを"), p));
    noCheckOs_ = MakeRadio(p, "rbNoCheckOs", "判別しない");
    checkOs_ = MakeRadio(p, "rbCheckOs", "判別する");
    row->addWidget(noCheckOs_);
    row->addWidget(checkOs_);
    row->addStretch(1);
    layout->addLayout(row);
    osPages_ = new QTabWidget(p);
    osPages_->setObjectName("pcOs");
    QWidget* target = AddPage(osPages_, "tsOsTarget", "対象OS");
    auto* targetLayout = new QVBoxLayout(target);
    osLines_ = MakeCheckList(target, "clbOs", Choices(kOsLineCount, OsLineCaption));
    auto* label = new QLabel(QStringLiteral("OS名(&N)"), target);
    label->setBuddy(osLines_);
    targetLayout->addWidget(label);
    targetLayout->addWidget(osLines_, 1);
    targetLayout->addWidget(MakeNote(target, "lblOsNote", QStringLiteral("インストールを許可するOSを選択してください。")));
    QWidget* packs = AddPage(osPages_, "tsServicePack", "サービスパック");
    auto* packForm = new QFormLayout(packs);
    for (int sp = 0; sp < kServicePackCount; ++sp) {
        const std::string name = "cmbServicePack" + std::to_string(sp);
        QComboBox* combo = MakeCombo(packs, name.c_str(), model_.osLines().ServicePackChoices(sp));
        servicePacks_[static_cast<std::size_t>(sp)] = combo;
        auto* caption = new QLabel(ToQString(std::string(ServicePackSpecs()[static_cast<std::size_t>(sp)].caption)), packs);
        packForm->addRow(caption, combo);
        connect(combo, &QComboBox::currentIndexChanged, this, [this, sp](int index) {
            if (loading_) return;
            model_.osLines().SetServicePack(sp, index);
            FollowProjectOs();
        });
    }
    QWidget* options = AddPage(osPages_, "tsOsOption", "オプション");
    auto* optionsLayout = new QVBoxLayout(options);
    QGroupBox* product = MakeGroup(options, "grpProductType", "インストール対象のOSの種類");
    auto* productLayout = new QVBoxLayout(product);
    productType_ = new QButtonGroup(this);
    for (int t = 0; t < kProductTypeCount; ++t) {
        auto* radio = new QRadioButton(ToQString(InstallerOptionDialogModel::ProductTypeText(t)), product);
        radio->setObjectName(QStringLiteral("rbProductType%1").arg(t));
        productType_->addButton(radio, t);
        productLayout->addWidget(radio);
    }
    optionsLayout->addWidget(product);
    optionsLayout->addStretch(1);
    layout->addWidget(osPages_, 1);
    connect(checkOs_, &QRadioButton::toggled, this, [this] {
        if (loading_) return;
        model_.checkOs = checkOs_->isChecked();
        FollowProjectOs();
        UpdateView();
    });
    connect(osLines_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (loading_) return;
        model_.osLines().SetLineState(osLines_->row(item), item->checkState() == Qt::Checked
                                                               ? OsDialogModel::Check::Checked
                                                               : OsDialogModel::Check::Unchecked);
        ShowOs();
        FollowProjectOs();
    });
}

void TfrmInstallerOptionDialog::BuildLimitPage(QTabWidget* pages) {
    QWidget* p = AddPage(pages, page::kLimit, "制限");
    auto* layout = new QVBoxLayout(p);
    QGroupBox* system = MakeGroup(p, "grpSystemLimit", "システム状態による制限");
    auto* systemLayout = new QVBoxLayout(system);
    endFileRenOperation_ = MakeCheck(system, "chkEndFileRenOperation", "以前の処理が完了している場合のみインストール可能にする(&E)");
    fileUseCheck_ = MakeCheck(system, "chkFileUseCheck", "対象のファイルが使用中の場合は処理を中止する(&I)");
    systemLayout->addWidget(endFileRenOperation_);
    systemLayout->addWidget(fileUseCheck_);
    layout->addWidget(system);
    QGroupBox* user = MakeGroup(p, "grpUserLimit", "ユーザーの制限(インストール・アンインストール両方での制限となります)");
    auto* userLayout = new QVBoxLayout(user);
    userLimit_ = new QButtonGroup(this);
    for (int limit = 0; limit < kUserLimitCount; ++limit) {
        auto* radio = new QRadioButton(ToQString(InstallerOptionDialogModel::UserLimitText(limit)), user);
        radio->setObjectName(QStringLiteral("rbUserLimit%1").arg(limit));
        userLimit_->addButton(radio, limit);
        userLayout->addWidget(radio);
    }
    layout->addWidget(user);
    QGroupBox* memory = MakeGroup(p, "grpMemory", "搭載メモり容量");
    auto* memoryLayout = new QHBoxLayout(memory);
    memory_ = new QSpinBox(memory);
    memory_->setObjectName("udMemory");
    memory_->setRange(0, kMaxMemoryCheck);
    auto* label = new QLabel(QStringLiteral("メモリ容量："), memory);
    label->setBuddy(memory_);
    memoryText_ = new QLabel(memory);
    memoryText_->setObjectName("lblMemory");
    memoryLayout->addWidget(label);
    memoryLayout->addWidget(memory_);
    memoryLayout->addWidget(memoryText_, 1);
    layout->addWidget(memory);
    layout->addStretch(1);
    connect(memory_, &QSpinBox::valueChanged, this, [this](int value) {
        if (loading_) return;
        model_.SetMemoryCheck(value);
        memoryText_->setText(ToQString(model_.MemoryText()));
    });
}

void TfrmInstallerOptionDialog::BuildUninstallerPage(QTabWidget* pages) {
    QWidget* p = AddPage(pages, page::kUninstaller, "アンインストーラ");
    auto* layout = new QVBoxLayout(p);
    layout->addWidget(MakeNote(p, "lblUninstaller", QStringLiteral("インストール時のアンインストーラの保存先とファイル名の設定")));
    uninstallerAuto_ = MakeRadio(p, "rbUninstallerAuto", "自動設定(&A) [旧バージョン互換]");
    uninstallerCustom_ = MakeRadio(p, "rbUninstallerCustom", "カスタム設定(&C)");
    layout->addWidget(uninstallerAuto_);
    layout->addWidget(uninstallerCustom_);
    auto* form = new QFormLayout;
    uninstallerFolder_ = new TDefineCombo(p, "cmbUninstallerFolder");
    uninstallerFolder_->SetEntries(InstallerOptionDialogModel::UninstallerFolders());
    AddRow(form, "インストーラの格納先(&F)", uninstallerFolder_);
    uninstallerSubFolder_ = new TParameterField(kit_, uninstallerFolder_, "edtUninstallerSubFolder",
                                                "btnUninstallerSubFolder", p, QStringLiteral("詳細(&D)"));
    AddRow(form, "パラメータ(&P)", uninstallerSubFolder_);
    uninstallerFileName_ = MakeEdit(p, "edtUninstallerFileName");
    AddRow(form, "ファイル名(&N)", uninstallerFileName_);
    uninstallerOptions_ = MakeCheckList(p, "clbUninstallerOptions", Choices(2, InstallerOptionDialogModel::UninstallerOptionText));
    uninstallerOptions_->setMaximumHeight(uninstallerOptions_->sizeHintForRow(0) * 2 + 8);
    AddRow(form, "オプション(&O)", uninstallerOptions_);
    layout->addLayout(form);
    layout->addStretch(1);
    connect(uninstallerAuto_, &QRadioButton::toggled, this, [this](bool automatic) {
        if (loading_) return;
        model_.uninstallerSubFolder = uninstallerSubFolder_->parameter();
        model_.SetUninstallerAuto(automatic);
        ShowUninstaller();
    });
}

void TfrmInstallerOptionDialog::Load() {
    loading_ = true;
    installMethod_->setCurrentIndex(model_.installMethod);
    supportInfo_->setChecked(model_.supportInfo);
    silentInstall_->setChecked(model_.silentInstall);
    silentUninstall_->setChecked(model_.silentUninstall());
    ShowOptions();
    relationEnabled_->setChecked(model_.relationEnabled);
    for (int line = 0; line < kScreenCount; ++line) SetLineChecked(screens_, line, model_.screens[static_cast<std::size_t>(line)]);
    documentFile_->setText(ToQString(model_.documentFile));
    licenseFile_->setText(ToQString(model_.licenseFile));
    alwaysAgree_->setChecked(model_.alwaysAgree);
    readTillTheLast_->setChecked(model_.readLicenseTillTheLast);
    fileSizeUnit_->setCurrentIndex(model_.fileSizeUnit);
    programEnabled_->setChecked(model_.programEnabled);
    (model_.groupExecution ? groupExecution_ : eachExecution_)->setChecked(true);
    checkBoxCaption_->setText(ToQString(model_.checkBoxCaption));
    defaultCheckBoxState_->setChecked(model_.defaultCheckBoxState);
    (model_.checkOs ? checkOs_ : noCheckOs_)->setChecked(true);
    ShowOs();
    if (QAbstractButton* b = productType_->button(model_.productType)) b->setChecked(true);
    endFileRenOperation_->setChecked(model_.endFileRenOperation);
    fileUseCheck_->setChecked(model_.fileUseCheck);
    if (QAbstractButton* b = userLimit_->button(model_.userLimit)) b->setChecked(true);
    memory_->setValue(model_.memoryCheck());
    memoryText_->setText(ToQString(model_.MemoryText()));
    if (uninstallerAuto_) (model_.uninstallerAuto() ? uninstallerAuto_ : uninstallerCustom_)->setChecked(true);
    ShowUninstaller();
    loading_ = false;
    FollowProjectOs();
    UpdateView();
}

void TfrmInstallerOptionDialog::ShowOptions() {
    const bool was = loading_;
    loading_ = true;
    for (int bit = 0; bit < kInstallOptionCount; ++bit) {
        SetLineChecked(options_, bit, (model_.options() >> bit) & 1);
        SetLineEnabled(options_, bit, model_.OptionEnabled(bit));
    }
    loading_ = was;
}

void TfrmInstallerOptionDialog::ShowOs() {
    const bool was = loading_;
    loading_ = true;
    const OsDialogModel& os = model_.osLines();
    for (int line = 0; line < kOsLineCount; ++line)
        SetLineChecked(osLines_, line, os.LineState(line) == OsDialogModel::Check::Checked);
    for (int sp = 0; sp < kServicePackCount; ++sp) {
        QComboBox* combo = servicePacks_[static_cast<std::size_t>(sp)];
        combo->setCurrentIndex(std::max(0, os.ServicePackIndex(sp)));
        combo->setEnabled(os.ServicePackEnabled(sp) && !model_.frame.readOnly());
    }
    loading_ = was;
}

void TfrmInstallerOptionDialog::ShowUninstaller() {
    if (!uninstallerAuto_) return;
    const bool was = loading_;
    loading_ = true;
    uninstallerFolder_->SetDefine(model_.uninstallerFolder);
    uninstallerSubFolder_->SetParameter(model_.uninstallerSubFolder);
    uninstallerFileName_->setText(ToQString(model_.uninstallerFileName));
    SetCheckedBits(uninstallerOptions_, model_.uninstallerOptions);
    const bool custom = model_.UninstallerControlsEnabled();
    for (QWidget* w : std::initializer_list<QWidget*>{uninstallerFolder_, uninstallerSubFolder_, uninstallerFileName_,
                                                      uninstallerOptions_})
        w->setEnabled(custom);
    loading_ = was;
}

void TfrmInstallerOptionDialog::UpdateView() {
    relationGroup_->setVisible(relationEnabled_->isChecked());
    programGroups_->setVisible(programEnabled_->isChecked());
    const bool group = groupExecution_->isChecked() && !model_.frame.readOnly();
    checkBoxCaption_->setEnabled(group);
    defaultCheckBoxState_->setEnabled(group);
    osPages_->setVisible(checkOs_->isChecked());
}

void TfrmInstallerOptionDialog::FollowProjectOs() {
    kit_.data().OverrideProjectOs(model_.ProjectOs(), model_.checkOs);
}

void TfrmInstallerOptionDialog::Store() {
    model_.installMethod = installMethod_->currentIndex();
    model_.supportInfo = supportInfo_->isChecked();
    model_.silentInstall = silentInstall_->isChecked();
    model_.relationEnabled = relationEnabled_->isChecked();
    for (int line = 0; line < kScreenCount; ++line) model_.screens[static_cast<std::size_t>(line)] = LineChecked(screens_, line);
    model_.alwaysAgree = alwaysAgree_->isChecked();
    model_.readLicenseTillTheLast = readTillTheLast_->isChecked();
    model_.fileSizeUnit = fileSizeUnit_->currentIndex();
    model_.programEnabled = programEnabled_->isChecked();
    model_.groupExecution = groupExecution_->isChecked();
    model_.checkBoxCaption = ToSjis(checkBoxCaption_->text());
    model_.defaultCheckBoxState = defaultCheckBoxState_->isChecked();
    model_.checkOs = checkOs_->isChecked();
    model_.productType = std::max(0, productType_->checkedId());
    model_.endFileRenOperation = endFileRenOperation_->isChecked();
    model_.fileUseCheck = fileUseCheck_->isChecked();
    model_.userLimit = std::max(0, userLimit_->checkedId());
    if (uninstallerAuto_ && !model_.uninstallerAuto()) {
        model_.uninstallerFolder = uninstallerFolder_->define();
        model_.uninstallerSubFolder = uninstallerSubFolder_->parameter();
        model_.uninstallerFileName = ToSjis(uninstallerFileName_->text());
        model_.uninstallerOptions = CheckedBits(uninstallerOptions_);
    }
}

bool TfrmInstallerOptionDialog::AcceptOk() {
    Store();
    const CheckOutcome result = model_.Ok(ui());
    // OK clears the boxes of empty lists and completes the uninstaller's name: show it.
    loading_ = true;
    relationEnabled_->setChecked(model_.relationEnabled);
    programEnabled_->setChecked(model_.programEnabled);
    loading_ = false;
    ShowUninstaller();
    UpdateView();
    return !ShowCheck(result);
}

void TfrmInstallerOptionDialog::ChooseScreenFile(bool license) {
    const std::optional<std::string> line = kit_.SelectInstalledFile(
        sjis::S(license ? "ライセンスファイルを指定してください。" : "ドキュメントファイルを指定してください。"),
        sjis::S("テキストファイル"), ".TXT;.HED", sjis::S("「ファイル/フォルダの設定」にて構成ファイルを設定してください。"));
    if (!line) return;
    Store();
    if (license) {
        model_.ChooseLicense(*line);
        licenseFile_->setText(ToQString(*line));
        SetLineChecked(screens_, kScreenLicense, true);
    } else {
        model_.ChooseDocument(*line);
        documentFile_->setText(ToQString(*line));
        SetLineChecked(screens_, kScreenDocument, true);
    }
}

void TfrmInstallerOptionDialog::AddProgram() {
    if (!model_.programs.CanAdd(ui())) return;
    Store();
    ProgramDialogModel item(model_.ProgramSetting());
    TfrmProgramFileSelectDialog dialog(kit_, item);
    if (kit_.Run(dialog) != QDialog::Accepted) return;
    programs_->Reload(model_.programs.Append(item.Record()));
    MarkChanged();
}

void TfrmInstallerOptionDialog::EditProgram(int row) {
    Store();
    const std::string record = model_.programs.record(row);
    ProgramDialogModel item(model_.ProgramSetting(), record);
    TfrmProgramFileSelectDialog dialog(kit_, item, model_.frame.readOnly());
    if (kit_.Run(dialog) != QDialog::Accepted || model_.frame.readOnly()) return;
    model_.programs.Replace(row, item.Record(record));
    programs_->Reload(row);
    MarkChanged();
}

void TfrmInstallerOptionDialog::AddRelation() {
    RelationDialogModel item(model_.ProjectOs());
    TfrmRelationApplicationDialog dialog(kit_, item);
    if (kit_.Run(dialog) != QDialog::Accepted) return;
    relations_->Reload(model_.relations.Append(item.Record()));
    MarkChanged();
}

void TfrmInstallerOptionDialog::EditRelation(int row) {
    const std::string record = model_.relations.record(row);
    RelationDialogModel item(record);
    TfrmRelationApplicationDialog dialog(kit_, item, model_.frame.readOnly());
    if (kit_.Run(dialog) != QDialog::Accepted || model_.frame.readOnly()) return;
    model_.relations.Replace(row, item.Record(record));
    relations_->Reload(row);
    MarkChanged();
}

// ---- the setting editor ----

std::unique_ptr<SettingEditor> MakeInstallerOptionEditor(SettingEditorContext& context,
                                                         qtsupport::DialogRunner& runner, QWidget* parent) {
    return std::make_unique<PageSettingEditor<InstallerOptionDialogModel, TfrmInstallerOptionDialog>>(
        context, runner, parent,
        [](EditorToolkit& kit, bool readOnly) {
            return std::make_unique<InstallerOptionDialogModel>(kit.advancedMode(), readOnly);
        },
        [](InstallerOptionDialogModel& model, TIniDocument& project, EditorToolkit& kit) { model.Write(project, kit.ui()); });
}

}  // namespace zeriru::gui
