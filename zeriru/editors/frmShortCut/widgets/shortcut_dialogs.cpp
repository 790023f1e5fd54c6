#include "zeriru/editors/widgets/shortcut_dialogs.h"

#include "qtsupport/sjis_text.h"
#include "zeriru/help_topics.h"
#include "zeriru/editors/widgets/define_widgets.h"
#include "zeriru/editors/widgets/editor_toolkit.h"
#include "zeriru/editors/widgets/switched_list_page.h"
#include "zeriru/ui.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zeriru::gui {

using qtsupport::ToQString;
using qtsupport::ToSjis;
namespace sc = shortcut_control;
namespace wc = shortcut_wizard_control;
using Source = ShortCutFileWizardModel::Source;
using Kind = ShortCutFileWizardModel::Kind;

namespace {

QLineEdit* Edit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QCheckBox* Check(const QString& caption, QWidget* parent, const char* name) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QPushButton* Button(const char* caption, QWidget* parent, const char* name) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

// A field with its button on the right.
QWidget* WithButton(QWidget* field, QWidget* button) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field, 1);
    layout->addWidget(button);
    return row;
}

qtsupport::ItemRecordFormat ShortCutFormat() {
    qtsupport::ItemRecordFormat format;
    for (int c = 0; c < kShortCutColumnCount; ++c) format.columns << ToQString(ShortCutColumnCaption(c));
    format.text = [](const std::string& record, int column) { return ShortCutColumnText(record, column); };
    return format;
}

}  // namespace

// ---- the list dialog ----

TfrmShortCutDialog::TfrmShortCutDialog(EditorToolkit& kit, ShortCutDialogModel& model)
    : TEditorDialogFrame(kit.ui(), "frmShortCutDialog", ToQString(ShortCutDialogModel::Caption()), kit.parent()),
      kit_(kit), model_(model) {
    pages_ = new QTabWidget(this);
    pages_->setObjectName("PageControl");

    TSwitchedListPage::Options options;
    options.switchCaption = QStringLiteral("ショートカットを作成する(&R)");
    options.switchHint = QStringLiteral("インストール時にスタートメニューやデスクトップに登録する場合に使用します");
    options.viewName = "lvShortCut";
    options.layoutKey = std::string(settings_key::kShortCut);
    options.multiSelection = false;
    options.deleteHint = QStringLiteral("削除。一度削除したものは戻せないので注意してください");
    options.clearHint = QStringLiteral("リスト内のすべての項目を削除します");
    itemsPage_ = new TSwitchedListPage(kit.ui(), model.items(), ShortCutFormat(), options, &kit.data().settings());
    itemsPage_->setObjectName("tsItem");
    itemsPage_->panel()->view()->setColumnHidden(kShortCutRecordColumn, true);
    itemsPage_->onAdd = [this] { AddItem(); };
    itemsPage_->onEdit = [this](int row) { EditItem(row); };
    itemsPage_->onSort = [this](int column) { model_.SortByColumn(column); };
    itemsPage_->onChanged = [this] {
        model_.ListChanged();
        ShowOptions();
    };
    pages_->addTab(itemsPage_, QStringLiteral("項目の設定"));
    pages_->addTab(BuildOptionsPage(), QStringLiteral("オプション"));
    body()->addWidget(pages_);

    QMenuBar* bar = itemsPage_->MakeMenuBar(*this);
    QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
    view->setObjectName("mnuView");
    auto* style = new QActionGroup(this);
    viewList_ = view->addAction(QStringLiteral("一覧(&L)"));
    viewList_->setObjectName("actViewList");
    viewDetails_ = view->addAction(QStringLiteral("詳細(&D)"));
    viewDetails_->setObjectName("actViewDetail");
    for (QAction* a : {viewList_, viewDetails_}) {
        a->setCheckable(true);
        style->addAction(a);
    }
    connect(viewList_, &QAction::triggered, this, [this] {
        model_.SetDetailsView(false);
        ShowView();
    });
    connect(viewDetails_, &QAction::triggered, this, [this] {
        model_.SetDetailsView(true);
        ShowView();
    });
    TSwitchedListPage::AddHelpMenu(bar, *this);
    layout()->setMenuBar(bar);

    UsePages(pages_, {help_topic::kShortCutList, help_topic::kShortCutList});
    pages_->setCurrentIndex(model_.pages().page());
    const auto follow = [this, bar, view](int page) {
        model_.pages().SetPage(page);
        // The list's commands and the view belong to the page of the list.
        itemsPage_->editMenu()->menuAction()->setVisible(page == ShortCutDialogModel::kItemsPage);
        view->menuAction()->setVisible(page == ShortCutDialogModel::kItemsPage);
        bar->update();
    };
    connect(pages_, &QTabWidget::currentChanged, this, follow);
    follow(pages_->currentIndex());

    if (model_.readOnly()) {
        LockDown();
        itemsPage_->SetReadOnly(true);
    }
    ShowOptions();
    ShowView();
    resize(720, 460);
}

QWidget* TfrmShortCutDialog::BuildOptionsPage() {
    auto* page = new QWidget;
    page->setObjectName("tsOption");
    auto* layout = new QVBoxLayout(page);

    auto* group = new QGroupBox(QStringLiteral("グループ名"), page);
    auto* groupLayout = new QVBoxLayout(group);
    groupName_ = Edit(group, "edtGroupName");
    groupName_->setToolTip(QStringLiteral("スタートメニューに登録するグループ名を入力します。「\\」で区切るとサブグループになります"));
    groupLayout->addWidget(groupName_);
    layout->addWidget(group);

    auto* extended = new QGroupBox(QStringLiteral("ショートカット拡張オプション"), page);
    auto* extendedLayout = new QVBoxLayout(extended);
    showCheckBox_ = Check(QStringLiteral("ショートカットの作成先を選択できるようにする(&S)"), extended, "chkShowCheckBox");
    extendedLayout->addWidget(showCheckBox_);
    auto* initial = new QGroupBox(QStringLiteral("初期状態のショートカットの作成先"), extended);
    auto* initialLayout = new QHBoxLayout(initial);
    static const char* const kNames[kInitialTargetCount] = {"chkDefaultDesktop", "chkDefaultStartup", "chkDefaultSendTo",
                                                            "chkDefaultQuickLaunch"};
    for (int i = 0; i < kInitialTargetCount; ++i) {
        initialTargets_[static_cast<std::size_t>(i)] =
            Check(ToQString(ShortCutDialogModel::InitialTargetCaption(i)), initial, kNames[i]);
        initialLayout->addWidget(initialTargets_[static_cast<std::size_t>(i)]);
        connect(initialTargets_[static_cast<std::size_t>(i)], &QCheckBox::toggled, this, [this, i](bool on) {
            if (loading_) return;
            model_.SetInitialTarget(i, on);
            ShowOptions();
        });
    }
    initialLayout->addStretch(1);
    extendedLayout->addWidget(initial);
    layout->addWidget(extended);

    auto* users = new QGroupBox(QStringLiteral("ショートカットの作成対象者の指定 [Windows 95/98/MEでは無視されます]"), page);
    auto* usersLayout = new QVBoxLayout(users);
    visibleSelectUser_ = Check(QStringLiteral("対象ユーザーを選択できるようにする(&U)"), users, "chkVisibleSelectUser");
    checkSelectUser_ =
        Check(QStringLiteral("[すべてのユーザーを対象にする]を初期状態にする(&C)"), users, "chkCheckSelectUser");
    lockSelectUser_ = Check(QStringLiteral("オプションを変更できないようにする(&D)"), users, "chkLockSelectUser");
    usersLayout->addWidget(visibleSelectUser_);
    usersLayout->addWidget(checkSelectUser_);
    usersLayout->addWidget(lockSelectUser_);
    layout->addWidget(users);
    layout->addStretch(1);

    connect(groupName_, &QLineEdit::textEdited, this, [this](const QString& text) { model_.SetGroupName(ToSjis(text)); });
    const auto bind = [this](QCheckBox* box, void (ShortCutDialogModel::*set)(bool)) {
        connect(box, &QCheckBox::toggled, this, [this, set](bool on) {
            if (loading_) return;
            (model_.*set)(on);
            ShowOptions();
        });
    };
    bind(showCheckBox_, &ShortCutDialogModel::SetShowCheckBox);
    bind(visibleSelectUser_, &ShortCutDialogModel::SetVisibleSelectUser);
    bind(checkSelectUser_, &ShortCutDialogModel::SetCheckSelectUser);
    bind(lockSelectUser_, &ShortCutDialogModel::SetLockSelectUser);
    return page;
}

void TfrmShortCutDialog::ShowOptions() {
    loading_ = true;
    if (groupName_->text() != ToQString(model_.groupName())) groupName_->setText(ToQString(model_.groupName()));
    groupName_->setReadOnly(!model_.GroupNameEditable());
    showCheckBox_->setChecked(model_.showCheckBox());
    for (int i = 0; i < kInitialTargetCount; ++i) {
        QCheckBox* box = initialTargets_[static_cast<std::size_t>(i)];
        box->setChecked(model_.InitialTargetChecked(i));
        box->setEnabled(!model_.readOnly() && model_.InitialTargetEnabled(i));
    }
    visibleSelectUser_->setChecked(model_.visibleSelectUser());
    checkSelectUser_->setChecked(model_.checkSelectUser());
    lockSelectUser_->setChecked(model_.lockSelectUser());
    checkSelectUser_->setEnabled(model_.SelectUserOptionsEnabled());
    lockSelectUser_->setEnabled(model_.SelectUserOptionsEnabled());
    loading_ = false;
}

void TfrmShortCutDialog::ShowView() {
    const bool details = model_.detailsView();
    (details ? viewDetails_ : viewList_)->setChecked(true);
    QTableView* view = itemsPage_->panel()->view();
    // The list view shows the names alone.
    view->horizontalHeader()->setVisible(details);
    for (int c = 1; c < kShortCutRecordColumn; ++c) view->setColumnHidden(c, !details);
}

bool TfrmShortCutDialog::RunItemDialog(ShortCutItemDialogModel& item) {
    TfrmShortCutItemDialog dialog(kit_, item);
    return kit_.Run(dialog) == QDialog::Accepted;
}

void TfrmShortCutDialog::AddItem() {
    const int row = model_.Add(kit_.ui(), [this](ShortCutItemDialogModel& item) { return RunItemDialog(item); });
    if (row >= 0) itemsPage_->Reload(row);
}

void TfrmShortCutDialog::EditItem(int row) {
    if (model_.Edit(row, [this](ShortCutItemDialogModel& item) { return RunItemDialog(item); }))
        itemsPage_->Reload(row);
}

bool TfrmShortCutDialog::AcceptOk() {
    if (ShowCheck(model_.CheckOk())) return false;
    const bool close = model_.ConfirmOk(kit_.ui());
    itemsPage_->Reload();
    return close;
}

void TfrmShortCutDialog::reject() {
    if (!model_.ConfirmCancel(kit_.ui())) return;
    QDialog::reject();
}

void TfrmShortCutDialog::done(int result) {
    model_.StoreLayout();
    TEditorDialogFrame::done(result);
}

// ---- the item dialog ----

TfrmShortCutItemDialog::TfrmShortCutItemDialog(EditorToolkit& kit, ShortCutItemDialogModel& model)
    : TEditorDialogFrame(kit.ui(), "frmShortCutItemDialog", ToQString(ShortCutItemDialogModel::Caption()),
                         kit.parent()),
      kit_(kit), model_(model) {
    auto* pages = new QTabWidget(this);
    pages->setObjectName("PageControl");

    auto* detail = new QWidget;
    detail->setObjectName(sc::kDetailPage);
    auto* form = new QFormLayout(detail);
    name_ = Edit(detail, sc::kName);
    form->addRow(QStringLiteral("項目名(&N) *"), name_);
    target_ = Edit(detail, sc::kTarget);
    browseTarget_ = Button("参照(&R)", detail, "btnBrowse");
    targetLabel_ = new QLabel(detail);
    targetLabel_->setBuddy(target_);
    form->addRow(targetLabel_, WithButton(target_, browseTarget_));
    const std::vector<std::string> menu = {"%InstallDir%", "%ProgramFilesDir%", "%SystemDirectory%",
                                           "%WindowsDirectory%"};
    arguments_ = Edit(detail, sc::kArguments);
    auto* argumentsMenu = new TDefineMenuButton(kit, arguments_, menu, kMaskFolderOrFile, detail, "btnParamDefine");
    form->addRow(QStringLiteral("引数(&P)"), WithButton(arguments_, argumentsMenu));
    workDir_ = Edit(detail, sc::kWorkingDirectory);
    workDir_->setToolTip(QStringLiteral("空白にするとファイルのインストール先のフォルダが指定されます"));
    auto* workDirMenu = new TDefineMenuButton(kit, workDir_, menu, kMaskFolderOrFile, detail, "btnWorkDirDefine");
    form->addRow(QStringLiteral("作業ディレクトリ(&D)"), WithButton(workDir_, workDirMenu));
    comment_ = Edit(detail, sc::kComment);
    form->addRow(QStringLiteral("コメント(&C)"), comment_);
    window_ = new QComboBox(detail);
    window_->setObjectName("cmbWindow");
    for (int w = 0; w < kShortCutWindowCount; ++w) window_->addItem(ToQString(ShortCutWindowText(w)));
    form->addRow(QStringLiteral("実行時のウインドウ(&S)"), window_);
    auto* places = new QGroupBox(QStringLiteral("ショートカットの作成先"), detail);
    places->setObjectName(sc::kTargets);
    auto* grid = new QGridLayout(places);
    for (int bit = 0; bit < shortcut_target::kCount; ++bit) {
        const std::string name = "chkTarget" + std::to_string(bit);
        targets_[static_cast<std::size_t>(bit)] = Check(ToQString(ShortCutTargetCaption(bit)), places, name.c_str());
        grid->addWidget(targets_[static_cast<std::size_t>(bit)], bit / 3, bit % 3);
    }
    form->addRow(places);
    pages->addTab(detail, QStringLiteral("詳細"));

    auto* other = new QWidget;
    other->setObjectName(sc::kOtherPage);
    auto* otherLayout = new QVBoxLayout(other);
    auto* icon = new QGroupBox(QStringLiteral("アイコンファイルの指定"), other);
    auto* iconForm = new QFormLayout(icon);
    iconFile_ = Edit(icon, sc::kIconFile);
    browseIcon_ = Button("参照(&R)", icon, "btnIconBrowse");
    iconLabel_ = new QLabel(icon);
    iconLabel_->setBuddy(iconFile_);
    iconForm->addRow(iconLabel_, WithButton(iconFile_, browseIcon_));
    iconIndex_ = Edit(icon, sc::kIconIndex);
    iconIndex_->setMaximumWidth(90);
    auto* up = new QToolButton(icon);
    up->setObjectName("udIconIndexUp");
    up->setArrowType(Qt::UpArrow);
    auto* down = new QToolButton(icon);
    down->setObjectName("udIconIndexDown");
    down->setArrowType(Qt::DownArrow);
    auto* indexRow = new QWidget(icon);
    auto* indexLayout = new QHBoxLayout(indexRow);
    indexLayout->setContentsMargins(0, 0, 0, 0);
    indexLayout->addWidget(iconIndex_);
    indexLayout->addWidget(up);
    indexLayout->addWidget(down);
    indexLayout->addStretch(1);
    iconForm->addRow(QStringLiteral("アイコンインデックス(&I)"), indexRow);
    otherLayout->addWidget(icon);
    auto* option = new QGroupBox(QStringLiteral("オプション"), other);
    auto* optionLayout = new QVBoxLayout(option);
    noExistCheck_ = Check(QStringLiteral("ショートカット作成時ファイルの存在をチェックしない(&E)"), option, "chkNoExistCheck");
    optionLayout->addWidget(noExistCheck_);
    otherLayout->addWidget(option);
    otherLayout->addStretch(1);
    pages->addTab(other, QStringLiteral("その他"));
    body()->addWidget(pages);

    internetLink_ = Check(QStringLiteral("インターネットリンクファイルを作成(&L)"), this, "chkInternetLink");
    body()->addWidget(internetLink_);
    UsePages(pages, {help_topic::kShortCutItem, help_topic::kShortCutItem});
    fileControls_ = {arguments_, workDir_, comment_, window_, noExistCheck_, argumentsMenu, workDirMenu,
                     browseTarget_, browseIcon_};

    // The item's texts.
    name_->setText(ToQString(model_.name));
    target_->setText(ToQString(model_.target));
    arguments_->setText(ToQString(model_.arguments));
    workDir_->setText(ToQString(model_.workingDirectory));
    comment_->setText(ToQString(model_.comment));
    window_->setCurrentIndex(model_.window);
    for (int bit = 0; bit < shortcut_target::kCount; ++bit)
        targets_[static_cast<std::size_t>(bit)]->setChecked(model_.TargetChecked(bit));
    iconFile_->setText(ToQString(model_.iconFile));
    iconIndex_->setText(ToQString(model_.iconIndexText));
    noExistCheck_->setChecked(model_.noExistCheck);
    internetLink_->setChecked(model_.internetLink());

    connect(internetLink_, &QCheckBox::toggled, this, [this](bool on) {
        model_.SetInternetLink(on);
        ShowMode();
    });
    connect(browseTarget_, &QPushButton::clicked, this, [this] { BrowseTarget(); });
    connect(browseIcon_, &QPushButton::clicked, this, [this] { BrowseIcon(); });
    connect(up, &QToolButton::clicked, this, [this] { StepIconIndex(1); });
    connect(down, &QToolButton::clicked, this, [this] { StepIconIndex(-1); });
    if (model_.readOnly()) LockDown();
    ShowMode();
    TrackChanges();
    resize(560, 420);
}

void TfrmShortCutItemDialog::ShowMode() {
    targetLabel_->setText(ToQString(model_.TargetLabel()));
    iconLabel_->setText(ToQString(model_.IconLabel()));
    target_->setReadOnly(!model_.PathsTyped());
    iconFile_->setReadOnly(!model_.PathsTyped());
    for (QWidget* w : fileControls_) w->setEnabled(model_.FileControlsEnabled());
}

void TfrmShortCutItemDialog::Read() {
    model_.name = ToSjis(name_->text());
    model_.target = ToSjis(target_->text());
    model_.arguments = ToSjis(arguments_->text());
    model_.workingDirectory = ToSjis(workDir_->text());
    model_.comment = ToSjis(comment_->text());
    model_.window = window_->currentIndex();
    for (int bit = 0; bit < shortcut_target::kCount; ++bit)
        model_.SetTarget(bit, targets_[static_cast<std::size_t>(bit)]->isChecked());
    model_.iconFile = ToSjis(iconFile_->text());
    model_.iconIndexText = ToSjis(iconIndex_->text());
    model_.noExistCheck = noExistCheck_->isChecked();
}

void TfrmShortCutItemDialog::StepIconIndex(int step) {
    bool ok = false;
    const int now = iconIndex_->text().trimmed().toInt(&ok);
    iconIndex_->setText(QString::number(std::clamp((ok ? now : 0) + step, 0, kMaxIconIndex)));
}

void TfrmShortCutItemDialog::BrowseTarget() {
    ShortCutFileWizardModel wizard(Kind::Target, kit_.data(), {});
    TShortCutFileWizard dialog(kit_, wizard, this);
    if (kit_.Run(dialog) == QDialog::Accepted) target_->setText(ToQString(wizard.result()));
}

void TfrmShortCutItemDialog::BrowseIcon() {
    ShortCutFileWizardModel wizard(Kind::Icon, kit_.data(), {});
    TShortCutFileWizard dialog(kit_, wizard, this);
    if (kit_.Run(dialog) == QDialog::Accepted) iconFile_->setText(ToQString(wizard.result()));
}

bool TfrmShortCutItemDialog::AcceptOk() {
    Read();
    CheckOutcome failed;
    if (model_.Ok(&failed)) {
        iconIndex_->setText(ToQString(model_.iconIndexText));
        return true;
    }
    ShowCheck(failed);
    if (ShortCutItemDialogModel::OpensTargetDialog(*failed) && model_.FileControlsEnabled()) BrowseTarget();
    return false;
}

// ---- the wizards ----

TShortCutFileWizard::TShortCutFileWizard(EditorToolkit& kit, ShortCutFileWizardModel& model, QWidget* parent)
    : QDialog(parent), kit_(kit), model_(model) {
    const bool target = model.kind() == Kind::Target;
    setObjectName(target ? "frmShortCutSelectDialog" : "frmIconFileSelectDialog");
    setWindowTitle(ToQString(model.Caption()));
    auto* layout = new QVBoxLayout(this);
    steps_ = new QStackedWidget(this);
    steps_->setObjectName("pgSteps");

    auto* first = new QWidget;
    auto* firstLayout = new QVBoxLayout(first);
    firstLayout->addWidget(new QLabel(ToQString(model.Question()), first));
    auto* group = new QButtonGroup(this);
    for (std::size_t i = 0; i < model.sources().size(); ++i) {
        auto* button = new QRadioButton(ToQString(ShortCutFileWizardModel::SourceCaption(model.sources()[i])), first);
        button->setObjectName(QStringLiteral("rbSource%1").arg(i));
        group->addButton(button, static_cast<int>(i));
        sourceButtons_.push_back(button);
        firstLayout->addWidget(button);
    }
    sourceButtons_.front()->setChecked(true);
    firstLayout->addStretch(1);
    steps_->addWidget(first);

    sources_ = new QStackedWidget;
    sources_->setObjectName("pgSource");
    // A file of the project.
    auto* project = new QWidget;
    auto* projectLayout = new QVBoxLayout(project);
    files_ = new QTreeWidget(project);
    files_->setObjectName(wc::kFileList);
    files_->setRootIsDecorated(false);
    files_->setHeaderLabels({QStringLiteral("フォルダ"), QStringLiteral("ファイル")});
    progress_ = new QLabel(project);
    progress_->setObjectName("lblProgress");
    fileSample_ = new QLabel(project);
    fileSample_->setObjectName("lblFileSample");
    projectLayout->addWidget(files_, 1);
    projectLayout->addWidget(progress_);
    projectLayout->addWidget(fileSample_);
    sources_->addWidget(project);
    // An outside file.
    auto* outside = new QWidget;
    auto* outsideForm = new QFormLayout(outside);
    outsideDefine_ = new TDefineCombo(outside, wc::kDefine);
    outsideParameter_ = new TParameterField(kit, outsideDefine_, wc::kParameter, "btnParameter", outside);
    fileName_ = Edit(outside, wc::kFileName);
    browse_ = Button("参照(&R)", outside, "btnBrowse");
    outsideSample_ = new QLabel(outside);
    outsideSample_->setObjectName("lblOutsideSample");
    outsideForm->addRow(QStringLiteral("フォルダ定数(&D)"), outsideDefine_);
    outsideForm->addRow(QStringLiteral("パラメータ(&P)"), outsideParameter_);
    fileNameLabel_ = new QLabel(QStringLiteral("ファイル(&F)"), outside);
    fileNameLabel_->setBuddy(fileName_);
    outsideForm->addRow(fileNameLabel_, WithButton(fileName_, browse_));
    outsideForm->addRow(outsideSample_);
    sources_->addWidget(outside);
    // A folder.
    auto* folder = new QWidget;
    auto* folderForm = new QFormLayout(folder);
    folderDefine_ = new TDefineCombo(folder, "cmbFolderDefine");
    folderParameter_ = new TParameterField(kit, folderDefine_, "edtFolderParameter", "btnFolderParameter", folder);
    folderSample_ = new QLabel(folder);
    folderSample_->setObjectName("lblFolderSample");
    folderForm->addRow(QStringLiteral("フォルダ定数(&D)"), folderDefine_);
    folderForm->addRow(QStringLiteral("パラメータ(&P)"), folderParameter_);
    folderForm->addRow(folderSample_);
    sources_->addWidget(folder);
    steps_->addWidget(sources_);
    layout->addWidget(steps_, 1);

    auto* buttons = new QHBoxLayout;
    back_ = Button("戻る(&B)", this, "btnBack");
    next_ = Button("次へ(&N)", this, "btnNext");
    next_->setDefault(true);
    auto* cancel = Button("キャンセル", this, "btnCancel");
    auto* help = Button("ヘルプ", this, "btnHelp");
    buttons->addStretch(1);
    for (QPushButton* b : {back_, next_, cancel, help}) buttons->addWidget(b);
    layout->addLayout(buttons);

    connect(group, &QButtonGroup::idClicked, this,
            [this](int id) { model_.SetSource(model_.sources()[static_cast<std::size_t>(id)]); });
    connect(files_, &QTreeWidget::currentItemChanged, this, [this] {
        model_.SelectRow(files_->indexOfTopLevelItem(files_->currentItem()));
        ShowSample();
    });
    connect(files_, &QTreeWidget::itemDoubleClicked, this, [this] { Next(); });
    for (TDefineCombo* combo : {outsideDefine_, folderDefine_})
        connect(combo, &QComboBox::editTextChanged, this, [this] {
            if (!loading_) ShowSample();
        });
    for (TParameterField* field : {outsideParameter_, folderParameter_})
        connect(field, &TParameterField::parameterChanged, this, [this] {
            if (!loading_) ShowSample();
        });
    connect(fileName_, &QLineEdit::textChanged, this, [this] {
        if (!loading_) ShowSample();
    });
    connect(browse_, &QPushButton::clicked, this, [this] {
        ReadFields();
        if (model_.BrowseFile(kit_.ui())) fileName_->setText(ToQString(model_.fileName));
    });
    connect(back_, &QPushButton::clicked, this, [this] { Back(); });
    connect(next_, &QPushButton::clicked, this, [this] { Next(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] { kit_.ui().ShowHelp(help_topic::kShortCutFile); });
    ShowStep();
    resize(520, 380);
}

void TShortCutFileWizard::LoadFiles() {
    if (filesRead_) return;
    filesRead_ = true;
    model_.SetFiles(ShortCutFileWizardModel::ReadProjectFiles(kit_.data(), [this](std::string_view file) {
        progress_->setText(ToQString(ShortCutFileWizardModel::ProgressText()) + QStringLiteral("  ") +
                           ToQString(file));
        QApplication::processEvents();
    }));
    progress_->clear();
    files_->clear();
    for (const InstalledFile& file : model_.rows())
        new QTreeWidgetItem(files_, {ToQString(file.Folder()), ToQString(file.fileName)});
    files_->header()->resizeSections(QHeaderView::ResizeToContents);
}

void TShortCutFileWizard::ShowStep() {
    loading_ = true;
    steps_->setCurrentIndex(model_.step());
    back_->setEnabled(model_.BackEnabled());
    next_->setText(ToQString(model_.NextCaption()));
    if (model_.step() == 1) {
        switch (model_.source()) {
        case Source::ProjectFile:
            sources_->setCurrentIndex(0);
            LoadFiles();
            break;
        case Source::OutsideFile:
            sources_->setCurrentIndex(1);
            if (outsideDefine_->count() == 0) outsideDefine_->SetEntries(model_.DefineChoices());
            outsideDefine_->SetDefine(model_.define);
            break;
        case Source::Folder:
            sources_->setCurrentIndex(2);
            if (folderDefine_->count() == 0) folderDefine_->SetEntries(model_.DefineChoices());
            folderDefine_->SetDefine(model_.define);
            break;
        case Source::None:
            break;
        }
    }
    loading_ = false;
    ShowSample();
}

void TShortCutFileWizard::ReadFields() {
    if (model_.source() == Source::OutsideFile) {
        model_.SetDefine(outsideDefine_->define());
        model_.parameter = outsideParameter_->parameter();
        model_.fileName = ToSjis(fileName_->text());
    } else if (model_.source() == Source::Folder) {
        model_.SetDefine(folderDefine_->define());
        model_.parameter = folderParameter_->parameter();
    }
}

void TShortCutFileWizard::ShowSample() {
    if (model_.step() != 1) return;
    ReadFields();
    const QString sample = ToQString(model_.SamplePath());
    fileSample_->setText(sample);
    outsideSample_->setText(sample);
    folderSample_->setText(sample);
    fileName_->setVisible(model_.FileNameVisible());
    browse_->setVisible(model_.FileNameVisible());
    fileNameLabel_->setVisible(model_.FileNameVisible());
}

void TShortCutFileWizard::Back() {
    model_.Back();
    ShowStep();
}

void TShortCutFileWizard::Next() {
    // The first step has no fields: its empty combos must not replace the model's define.
    if (model_.step() == 1) ReadFields();
    CheckOutcome failed;
    if (model_.Next(&failed)) {
        accept();
        return;
    }
    if (failed) {
        if (ShowCheckResult(*this, kit_.ui(), *failed)) {
            TParameterField* field = model_.source() == Source::Folder ? folderParameter_ : outsideParameter_;
            field->Edit();
        }
        return;
    }
    ShowStep();
}

// ---- the setting editor ----

namespace {

class ShortCutEditor : public SettingEditor {
public:
    ShortCutEditor(SettingEditorContext& context, qtsupport::DialogRunner& runner, QWidget* parent)
        : kit_(EditorToolkit::ForSettingEditor(context, runner, parent)), model_(kit_->data()) {}
    void Fill(const TIniDocument& project, bool readOnly) override { model_.Load(project, readOnly); }
    bool ShowModal() override {
        TfrmShortCutDialog dialog(*kit_, model_);
        return kit_->Run(dialog) == QDialog::Accepted;
    }
    void Write(TIniDocument& project) override { model_.Write(project); }

private:
    std::unique_ptr<EditorToolkit> kit_;
    ShortCutDialogModel model_;
};

}  // namespace

std::unique_ptr<SettingEditor> MakeShortCutEditor(SettingEditorContext& context, qtsupport::DialogRunner& runner,
                                                  QWidget* parent) {
    return std::make_unique<ShortCutEditor>(context, runner, parent);
}

}  // namespace zeriru::gui
