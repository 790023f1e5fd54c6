#include "zeriru/editors/widgets/program_dialogs.h"

#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/defines.h"
#include "zeriru/editors/installed_files.h"
#include "zeriru/editors/widgets/condition_editor.h"
#include "zeriru/editors/widgets/define_widgets.h"
#include "zeriru/editors/widgets/editor_controls.h"
#include "zeriru/editors/widgets/editor_toolkit.h"
#include "zeriru/ui.h"

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
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zeriru::gui {

using qtsupport::ToQString;
using qtsupport::ToSjis;
using Page = ProgramDialogModel::Page;
namespace pc = program_control;

namespace {

// The filter of "参照(&R)" on "ファイルの指定".
constexpr const char* kProgramFilter =
    "プログラムファイル(*.exe;*.scr;*.com;*.pif)|*.exe;*.scr;*.com;*.pif|すべてのファイル(*.*)|*.*";

// A field with its button on the right.
QWidget* WithButton(QWidget* field, QWidget* button) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field, 1);
    layout->addWidget(button);
    return row;
}

}  // namespace

// ---- TfrmProgramFileSelectDialog ----

TfrmProgramFileSelectDialog::TfrmProgramFileSelectDialog(EditorToolkit& kit, ProgramDialogModel& model, bool readOnly)
    : TEditorDialogFrame(kit.ui(), "frmProgramFileSelectDialog", ToQString(ProgramDialogModel::Caption()), kit.parent()),
      kit_(kit), model_(model) {
    BuildWidgets();
    Load();
    UpdateView();
    if (readOnly) LockDown({back_});
    TrackChanges();
}

void TfrmProgramFileSelectDialog::BuildWidgets() {
    pages_ = new QTabWidget(this);
    pages_->setObjectName("PageControl");
    targetPage_ = BuildTargetPage();
    selectPage_ = BuildSelectPage();
    specifyPage_ = BuildSpecifyPage();
    otherPage_ = BuildOtherPage();
    body()->addWidget(pages_);
    enabled_ = MakeCheck(this, "chkEnabled", "設定を有効にする(&E)");
    body()->addWidget(enabled_);
    back_ = new QPushButton(QStringLiteral("戻る(&B)"), this);
    back_->setObjectName("btnBack");
    buttonBox()->addButton(back_, QDialogButtonBox::ActionRole);
    connect(back_, &QPushButton::clicked, this, [this] { Back(); });
    setMinimumWidth(560);
}

QWidget* TfrmProgramFileSelectDialog::BuildTargetPage() {
    QWidget* page = AddPage(pages_, pc::kTargetPage, "対象の選択");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(MakeNote(page, "lblTarget", QStringLiteral("実行するファイルの対象を選択してください")));
    projectFile_ = MakeRadio(page, "rbProjectFile", "「ファイル/フォルダの設定」で指定されたファイル");
    outsideFile_ = MakeRadio(page, "rbOutsideFile", "外部ファイル");
    layout->addWidget(projectFile_);
    layout->addWidget(outsideFile_);
    layout->addStretch(1);
    return page;
}

QWidget* TfrmProgramFileSelectDialog::BuildSelectPage() {
    QWidget* page = AddPage(pages_, pc::kSelectPage, "ファイルの選択");
    auto* layout = new QVBoxLayout(page);
    files_ = new QTreeWidget(page);
    files_->setObjectName(pc::kFileList);
    files_->setRootIsDecorated(false);
    files_->setHeaderLabels({QStringLiteral("フォルダ"), QStringLiteral("ファイル")});
    files_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(files_, 1);
    reading_ = MakeNote(page, "lblReading", {});
    layout->addWidget(reading_);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    BuildLaunch(page, form, Page::SelectFile, "Select", "引数(&P)", "処理(&M)");
    return page;
}

QWidget* TfrmProgramFileSelectDialog::BuildSpecifyPage() {
    QWidget* page = AddPage(pages_, pc::kSpecifyPage, "ファイルの指定");
    auto* form = new QFormLayout(page);
    define_ = new TDefineCombo(page, pc::kDefine);
    define_->setEditable(false);
    define_->SetEntries(ProgramFolderDefines());
    AddRow(form, "フォルダ定数(&D)", define_);
    parameter_ = new TParameterField(kit_, define_, pc::kParameter, "btnParameter", page);
    AddRow(form, "パラメータ(&P)", parameter_);
    fileName_ = MakeEdit(page, pc::kFileName);
    auto* browse = new QPushButton(QStringLiteral("参照(&R)"), page);
    browse->setObjectName("btnBrowse");
    connect(browse, &QPushButton::clicked, this, [this] { BrowseFile(); });
    AddRow(form, "ファイル(&F)", WithButton(fileName_, browse));
    BuildLaunch(page, form, Page::SpecifyFile, "", "引数(&A)", "処理(&T)");
    return page;
}

void TfrmProgramFileSelectDialog::BuildLaunch(QWidget* page, QFormLayout* form, Page which, const char* suffix,
                                              const char* argumentsCaption, const char* timingCaption) {
    LaunchControls& c = controls(which);
    const std::string s(suffix);
    c.arguments = MakeEdit(page, ("edt" + s + "Arguments").c_str());
    auto* menu = new TDefineMenuButton(kit_, c.arguments, ProgramArgumentDefines(), kMaskAny, page,
                                       ("btn" + s + "ArgumentDefines").c_str());
    AddRow(form, argumentsCaption, WithButton(c.arguments, menu));
    c.window = MakeCombo(page, ("cmb" + s + "Window").c_str(), Choices(kProgramWindowCount, ProgramWindowText));
    AddRow(form, "サイズ(&S)", c.window);
    c.timing = MakeCombo(page, ("cmb" + s + "Timing").c_str(), Choices(kProgramTimingCount, ProgramTimingText));
    AddRow(form, timingCaption, c.timing);
    c.options = MakeCheckList(page, ("clb" + s + "Options").c_str(), Choices(kProgramOptionCount, ProgramOptionText));
    c.options->setMaximumHeight(c.options->sizeHintForRow(0) * kProgramOptionCount + 8);
    form->addRow(c.options);
    connect(c.timing, &QComboBox::currentIndexChanged, this, [this, which](int timing) {
        if (loading_) return;
        model_.SetTiming(which, timing);
        ShowLaunch(which);
        UpdateView();
    });
    connect(c.options, &QListWidget::itemChanged, this, [this, which](QListWidgetItem* item) {
        if (loading_) return;
        const int line = controls(which).options->row(item);
        model_.SetOption(which, line, item->checkState() == Qt::Checked);
        ShowLaunch(which);
        UpdateView();
    });
}

QWidget* TfrmProgramFileSelectDialog::BuildOtherPage() {
    QWidget* page = AddPage(pages_, pc::kOtherPage, "その他");
    auto* layout = new QVBoxLayout(page);
    otherTabs_ = new QTabWidget(page);
    otherTabs_->setObjectName("pcOther");
    layout->addWidget(otherTabs_);

    QWidget* detail = AddPage(otherTabs_, pc::kDetailPage, "詳細");
    auto* detailLayout = new QVBoxLayout(detail);
    osGroup_ = MakeGroup(detail, "grpOs", "OSの設定");
    auto* osLayout = new QHBoxLayout(osGroup_);
    osLayout->addWidget(MakeNote(osGroup_, "lblOs", QStringLiteral("対象となるOSを選択します。")), 1);
    auto* os = new QPushButton(QStringLiteral("OSの指定(&O)"), osGroup_);
    os->setObjectName("btnOs");
    connect(os, &QPushButton::clicked, this, [this] { EditOs(); });
    osLayout->addWidget(os);
    detailLayout->addWidget(osGroup_);
    displayGroup_ = MakeGroup(detail, "grpDisplay", "表示について");
    auto* displayForm = new QFormLayout(displayGroup_);
    itemText_ = MakeEdit(displayGroup_, pc::kItemText);
    itemTextLabel_ = AddRow(displayForm, "項目内容(&I)", itemText_);
    displayOptions_ = MakeGroup(displayGroup_, "grpDisplayOptions", "オプション");
    auto* optionsLayout = new QVBoxLayout(displayOptions_);
    checked_ = MakeCheck(displayOptions_, "chkChecked", "初期状態でチェックする(&D)");
    visible_ = MakeCheck(displayOptions_, "chkVisible", "項目を表示する(&V)");
    optionsLayout->addWidget(checked_);
    optionsLayout->addWidget(visible_);
    displayForm->addRow(displayOptions_);
    detailLayout->addWidget(displayGroup_);
    detailLayout->addStretch(1);

    conditionPage_ = AddPage(otherTabs_, pc::kConditionPage, "実行条件");
    auto* conditionLayout = new QVBoxLayout(conditionPage_);
    conditionOn_ = MakeCheck(conditionPage_, "chkCondition", "ファイル実行条件を指定する(&C)");
    conditionLayout->addWidget(conditionOn_);
    conditionGroup_ = MakeGroup(conditionPage_, "grpCondition", "詳細条件");
    auto* groupLayout = new QVBoxLayout(conditionGroup_);
    condition_ = new TConditionEditor(kit_, ProgramConditionDefines(), ProgramConditionDefines(), conditionGroup_);
    condition_->SetTimingVisible(false);
    groupLayout->addWidget(condition_);
    reverse_ = MakeCheck(conditionGroup_, "chkReverse", "指定した条件判断を逆にする(&R)");
    groupLayout->addWidget(reverse_);
    groupLayout->addWidget(new QLabel(QStringLiteral("処理を行う。"), conditionGroup_));
    conditionLayout->addWidget(conditionGroup_);
    connect(conditionOn_, &QCheckBox::toggled, this, [this] { UpdateView(); });
    return page;
}

void TfrmProgramFileSelectDialog::Load() {
    loading_ = true;
    enabled_->setChecked(model_.enabled);
    (model_.projectFileTarget ? projectFile_ : outsideFile_)->setChecked(true);
    define_->SetDefine(model_.define);
    parameter_->SetParameter(model_.parameter);
    fileName_->setText(ToQString(model_.fileName));
    ShowLaunch(Page::SelectFile);
    ShowLaunch(Page::SpecifyFile);
    itemText_->setText(ToQString(model_.itemText));
    visible_->setChecked(model_.visible);
    checked_->setChecked(model_.checked);
    conditionOn_->setChecked(model_.conditionOn);
    reverse_->setChecked(model_.reverse);
    ConditionRecord record = model_.condition.Record();
    record.timing = model_.conditionOn ? kConditionInstall : kConditionNone;
    condition_->Load(record);
    loading_ = false;
}

void TfrmProgramFileSelectDialog::ShowLaunch(Page which) {
    const bool was = loading_;
    loading_ = true;
    LaunchControls& c = controls(which);
    const ProgramDialogModel::Launch& l = model_.launch(which);
    c.arguments->setText(ToQString(l.arguments));
    c.window->setCurrentIndex(l.window);
    c.timing->setCurrentIndex(l.timing);
    for (int line = 0; line < kProgramOptionCount; ++line) {
        SetLineChecked(c.options, line, (l.options >> line) & 1);
        SetLineEnabled(c.options, line, model_.OptionEnabled(which, line) && !frame().readOnly());
    }
    loading_ = was;
}

void TfrmProgramFileSelectDialog::Store() {
    model_.enabled = enabled_->isChecked();
    model_.projectFileTarget = projectFile_->isChecked();
    for (Page which : {Page::SelectFile, Page::SpecifyFile}) {
        LaunchControls& c = controls(which);
        ProgramDialogModel::Launch& l = model_.launch(which);
        l.arguments = ToSjis(c.arguments->text());
        l.window = c.window->currentIndex();
    }
    model_.selectedFile = files_->currentItem() ? files_->indexOfTopLevelItem(files_->currentItem()) : -1;
    model_.define = define_->define();
    model_.parameter = parameter_->parameter();
    model_.fileName = ToSjis(fileName_->text());
    model_.itemText = ToSjis(itemText_->text());
    model_.visible = visible_->isChecked();
    model_.checked = checked_->isChecked();
    model_.conditionOn = conditionOn_->isChecked();
    model_.reverse = reverse_->isChecked();
    model_.condition = condition_->model();
}

void TfrmProgramFileSelectDialog::UpdateView() {
    const bool editing = model_.mode() == ProgramDialogModel::Mode::Edit;
    for (QWidget* page : {targetPage_, selectPage_, specifyPage_, otherPage_}) {
        const int index = pages_->indexOf(page);
        bool shown = false;
        if (editing)
            shown = page == specifyPage_ || (page == otherPage_ && model_.OtherPageShown());
        else
            shown = page == (model_.page() == Page::Target       ? targetPage_
                             : model_.page() == Page::SelectFile ? selectPage_
                             : model_.page() == Page::SpecifyFile ? specifyPage_
                                                                  : otherPage_);
        pages_->setTabVisible(index, shown);
    }
    pages_->tabBar()->setVisible(editing);
    if (!editing) {
        const Page p = model_.page();
        pages_->setCurrentWidget(p == Page::Target ? targetPage_ : p == Page::SelectFile ? selectPage_
                                                  : p == Page::SpecifyFile           ? specifyPage_
                                                                                     : otherPage_);
    } else if (!pages_->isTabVisible(pages_->currentIndex())) {
        pages_->setCurrentWidget(specifyPage_);
    }
    if (model_.page() == Page::SelectFile && !model_.filesRead()) ReadProjectFiles();
    okButton()->setText(ToQString(model_.NextCaption()));
    back_->setVisible(model_.BackVisible());
    osGroup_->setVisible(model_.OsGroupShown());
    displayGroup_->setVisible(model_.ItemTextShown());
    itemTextLabel_->setText(ToQString(model_.ItemTextLabel()));
    displayOptions_->setVisible(model_.DisplayOptionsShown());
    otherTabs_->setTabVisible(otherTabs_->indexOf(conditionPage_), model_.ConditionPageShown());
    conditionGroup_->setVisible(conditionOn_->isChecked());
}

void TfrmProgramFileSelectDialog::ReadProjectFiles() {
    static const TIniDocument kNoProject;
    const TIniDocument& project = kit_.data().project() ? *kit_.data().project() : kNoProject;
    InstalledFilesOptions options;
    options.progress = [this](std::string_view file) {
        reading_->setText(QStringLiteral("読み込み中 ") + ToQString(std::string(file)));
        QApplication::processEvents();
    };
    model_.SetProjectFiles(ReadInstalledFiles(project, options));
    reading_->clear();
    files_->clear();
    for (const InstalledFile& file : model_.projectFiles())
        new QTreeWidgetItem(files_, {ToQString(file.Folder()), ToQString(file.fileName)});
}

void TfrmProgramFileSelectDialog::Back() {
    Store();
    model_.Back();
    UpdateView();
}

bool TfrmProgramFileSelectDialog::AcceptOk() {
    Store();
    const CheckOutcome result = model_.Next();
    UpdateView();
    if (ShowCheck(result)) return false;
    return model_.finished();
}

void TfrmProgramFileSelectDialog::BrowseFile() {
    std::string path;
    if (!kit_.ui().ChooseOpenFile(platform::sjis::S(kProgramFilter), {}, path)) return;
    fileName_->setText(ToQString(platform::winpath::FileNameOf(path)));
}

void TfrmProgramFileSelectDialog::EditOs() {
    if (const std::optional<OsTarget> target = kit_.EditOsTarget(model_.os)) {
        model_.os = *target;
        MarkChanged();
    }
}

// ---- TfrmRelationApplicationDialog ----

TfrmRelationApplicationDialog::TfrmRelationApplicationDialog(EditorToolkit& kit, RelationDialogModel& model,
                                                             bool readOnly)
    : TEditorDialogFrame(kit.ui(), "frmRelationApplicationDialog", ToQString(RelationDialogModel::Caption()),
                         kit.parent()),
      kit_(kit), model_(model) {
    enabled_ = MakeCheck(this, "chkEnabled", "この項目を有効にする(&E)");
    body()->addWidget(enabled_);
    auto* pages = new QTabWidget(this);
    pages->setObjectName("PageControl");
    QWidget* detail = AddPage(pages, "tsDetail", "詳細");
    auto* form = new QFormLayout(detail);
    name_ = MakeEdit(detail, "edtName");
    AddRow(form, "アプリケーション名(&N)", name_);
    key_ = MakeEdit(detail, "edtKey");
    AddRow(form, "キー(&K)", key_);
    form->addRow(MakeNote(detail, "lblKeyNote", QStringLiteral("(アンインストールキーを指定。Raredovoではプロジェクト名)")));
    install_ = MakeCombo(detail, "cmbInstallAction",
                         Choices(kRelationInstallActionCount, RelationDialogModel::InstallActionText));
    AddRow(form, "インストール時の動作(&I)", install_);
    uninstall_ = MakeCombo(detail, "cmbUninstallAction",
                           Choices(kRelationUninstallActionCount, RelationDialogModel::UninstallActionText));
    AddRow(form, "アンインストール時の動作(&U)", uninstall_);
    form->addRow(MakeNote(detail, "lblSilentNote",
                          QStringLiteral("「サイレントアンインストール」はRaredovoで作成されたインストーラのみ有効です。"
                                         "それ以外の場合では通常のアンインストール処理となります。")));
    QWidget* option = AddPage(pages, "tsOption", "オプション");
    auto* optionLayout = new QVBoxLayout(option);
    auto* osGroup = MakeGroup(option, "grpOs", "OSの設定");
    auto* osLayout = new QHBoxLayout(osGroup);
    osLayout->addWidget(MakeNote(osGroup, "lblOs", QStringLiteral("対象となるOSを選択します。")), 1);
    auto* os = new QPushButton(QStringLiteral("OSの指定(&O)"), osGroup);
    os->setObjectName("btnOs");
    os->setEnabled(kit.data().projectChecksOs());
    connect(os, &QPushButton::clicked, this, [this] {
        if (const std::optional<OsTarget> target = kit_.EditOsTarget(model_.os)) {
            model_.os = *target;
            MarkChanged();
        }
    });
    osLayout->addWidget(os);
    optionLayout->addWidget(osGroup);
    auto* stopGroup = MakeGroup(option, "grpOption", "オプション");
    auto* stopLayout = new QVBoxLayout(stopGroup);
    stop_ = new QCheckBox(ToQString(RelationDialogModel::StopOptionText()), stopGroup);
    stop_->setObjectName("chkStop");
    stopLayout->addWidget(stop_);
    optionLayout->addWidget(stopGroup);
    optionLayout->addStretch(1);
    body()->addWidget(pages);

    enabled_->setChecked(model.enabled);
    name_->setText(ToQString(model.name));
    key_->setText(ToQString(model.key));
    install_->setCurrentIndex(model.installAction);
    uninstall_->setCurrentIndex(model.uninstallAction);
    stop_->setChecked(model.stopOnMatch);
    if (readOnly) LockDown();
    TrackChanges();
    setMinimumWidth(480);
}

void TfrmRelationApplicationDialog::Store() {
    model_.enabled = enabled_->isChecked();
    model_.name = ToSjis(name_->text());
    model_.key = ToSjis(key_->text());
    model_.installAction = install_->currentIndex();
    model_.uninstallAction = uninstall_->currentIndex();
    model_.stopOnMatch = stop_->isChecked();
}

bool TfrmRelationApplicationDialog::AcceptOk() {
    Store();
    return !ShowCheck(model_.Ok());
}

}  // namespace zeriru::gui
