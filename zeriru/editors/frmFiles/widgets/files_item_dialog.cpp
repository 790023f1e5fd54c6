#include "zeriru/frmFiles/widgets/files_item_dialog.h"

#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/editors/widgets/condition_editor.h"
#include "zeriru/editors/widgets/define_widgets.h"
#include "zeriru/editors/widgets/editor_toolkit.h"
#include "zeriru/frmFiles/files_small_dialogs.h"
#include "zeriru/frmFiles/widgets/files_small_views.h"
#include "zeriru/frmFiles/widgets/sub_folder_field.h"
#include "zeriru/ui.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeView>
#include <QVBoxLayout>

namespace zeriru::gui {

using qtsupport::ToQString;
using qtsupport::ToSjis;
using Page = FilesItemDialogModel::Page;
namespace fc = files_item_control;

namespace {

QCheckBox* Check(QWidget* parent, const char* name, const char* caption) {
    auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QLineEdit* Edit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QWidget* NewPage(Page page) {
    auto* widget = new QWidget;
    widget->setObjectName(QString::fromLatin1(FilesItemDialogModel::PageName(page)));
    return widget;
}

// A label for a field, with its mnemonic going to the field.
QLabel* Label(QWidget* parent, const char* caption, QWidget* buddy) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setBuddy(buddy);
    return label;
}

Qt::CheckState CheckStateOf(Tri state) {
    switch (state) {
    case Tri::Checked: return Qt::Checked;
    case Tri::Grayed: return Qt::PartiallyChecked;
    case Tri::Unchecked: break;
    }
    return Qt::Unchecked;
}

Tri TriOfState(Qt::CheckState state) {
    switch (state) {
    case Qt::Checked: return Tri::Checked;
    case Qt::PartiallyChecked: return Tri::Grayed;
    case Qt::Unchecked: break;
    }
    return Tri::Unchecked;
}

void SetLineEnabled(QListWidgetItem* item, bool enabled) {
    item->setFlags(enabled ? item->flags() | Qt::ItemIsEnabled : item->flags() & ~Qt::ItemIsEnabled);
}

// A row of a define, its parameter and the sample line below them.
void AddDefineRows(QFormLayout* form, QWidget* parent, const char* defineCaption, TDefineCombo* define,
                   TParameterField* parameter, TSamplePathLine* sample) {
    form->addRow(Label(parent, defineCaption, define), define);
    form->addRow(Label(parent, "パラメータ(&P)", parameter->edit()), parameter);
    form->addRow(QString(), sample);
}

}  // namespace

TfrmFilesItemDialog::TfrmFilesItemDialog(FilesItemDialogModel& model, EditorToolkit& kit, QWidget* parent)
    : TEditorDialogFrame(kit.ui(), "frmFilesItemDialog", ToQString(FilesItemDialogModel::Caption()), parent),
      model_(model), kit_(kit) {
    pageControl_ = new QTabWidget(this);
    pageControl_->setObjectName("pcPages");
    pages_[Page::Select] = BuildSelectPage();
    pages_[Page::Files] = BuildFilesPage();
    pages_[Page::Folder] = BuildFolderPage();
    pages_[Page::Delete] = BuildDeletePage();
    pages_[Page::Create] = BuildCreatePage();
    pages_[Page::Graphical] = BuildGraphicalPage();
    pages_[Page::Component] = BuildComponentPage();
    pages_[Page::Extend] = BuildExtendPage();
    // The wizard steps through every page; an item's page set shows its own as tabs.
    const bool wizard = model_.mode() == FilesItemDialogModel::Mode::Add;
    const std::vector<Page> own = model_.Pages();
    for (const auto& [page, widget] : pages_) {
        if (wizard || std::find(own.begin(), own.end(), page) != own.end())
            pageControl_->addTab(widget, ToQString(FilesItemDialogModel::PageCaption(page)));
        else
            widget->setParent(this), widget->hide();
    }
    pageControl_->tabBar()->setVisible(!wizard);
    body()->addWidget(pageControl_, 1);
    enabled_ = Check(this, "chkEnabled", "この項目を有効にする(&E)");
    enabled_->setTristate(model_.mode() == FilesItemDialogModel::Mode::EditSeveral);
    body()->addWidget(enabled_);
    BuildButtons();
    LoadControls();
    Bind();
    ShowPage();
    if (model_.readOnly()) LockDown({back_, next_});
    setMinimumSize(620, 480);
}

// ---- building ----

QWidget* TfrmFilesItemDialog::BuildSelectPage() {
    QWidget* page = NewPage(Page::Select);
    auto* layout = new QVBoxLayout(page);
    auto* group = new QGroupBox(ToQString(FilesItemDialogModel::ChoiceGroupCaption()), page);
    group->setObjectName("rgSelect");
    auto* radios = new QVBoxLayout(group);
    for (int c = 0; c < FilesItemDialogModel::kChoiceCount; ++c) {
        auto* radio = new QRadioButton(ToQString(FilesItemDialogModel::ChoiceText(c)), group);
        radio->setObjectName(QStringLiteral("rbSelect%1").arg(c));
        radios->addWidget(radio);
        choices_[static_cast<std::size_t>(c)] = radio;
    }
    layout->addWidget(group);
    layout->addStretch();
    return page;
}

QWidget* TfrmFilesItemDialog::BuildFilesPage() {
    QWidget* page = NewPage(Page::Files);
    auto* layout = new QHBoxLayout(page);
    files_ = new QListWidget(page);
    files_->setObjectName(fc::kFileList);
    layout->addWidget(files_, 1);
    auto* side = new QVBoxLayout;
    filesBrowse_ = Button(page, "btnFilesBrowse", "参照(&R)");
    auto* remove = Button(page, "btnFilesDelete", "削除(&D)");
    auto* clear = Button(page, "btnFilesClear", "クリア(&C)");
    side->addWidget(filesBrowse_);
    side->addWidget(remove);
    side->addWidget(clear);
    side->addStretch();
    layout->addLayout(side);
    connect(filesBrowse_, &QPushButton::clicked, this, &TfrmFilesItemDialog::BrowseFiles);
    connect(remove, &QPushButton::clicked, this, [this] {
        const int row = files_->currentRow();
        if (row < 0 || row >= static_cast<int>(model_.files.size())) return;
        model_.files.erase(model_.files.begin() + row);
        delete files_->takeItem(row);
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        model_.files.clear();
        files_->clear();
    });
    return page;
}

QWidget* TfrmFilesItemDialog::BuildFolderPage() {
    QWidget* page = NewPage(Page::Folder);
    auto* layout = new QVBoxLayout(page);
    auto* row = new QHBoxLayout;
    folder_ = Edit(page, fc::kFolder);
    auto* browse = Button(page, "btnFolderBrowse", "参照(&R)");
    row->addWidget(Label(page, "フォルダ(&F)", folder_));
    row->addWidget(folder_, 1);
    row->addWidget(browse);
    layout->addLayout(row);
    keepStructure_ = Check(page, "chkKeepStructure", "フォルダ構成を維持する(&M)");
    subfolders_ = Check(page, "chkSubFolders", "サブフォルダも対象にする(&S)");
    emptyFolders_ = Check(page, "chkEmptyFolders", "フォルダ内に存在する空フォルダを作成する(&L)");
    keepAttributes_ = Check(page, "chkKeepAttributes", "ファイルの属性を維持する(&A)");
    for (QWidget* w : {keepStructure_, subfolders_, emptyFolders_, keepAttributes_}) layout->addWidget(w);
    layout->addStretch();
    connect(browse, &QPushButton::clicked, this, &TfrmFilesItemDialog::BrowseFolder);
    return page;
}

QWidget* TfrmFilesItemDialog::BuildDeletePage() {
    QWidget* page = NewPage(Page::Delete);
    auto* layout = new QVBoxLayout(page);
    auto* group = new QGroupBox(QStringLiteral("削除対象の指定(&M)"), page);
    group->setObjectName("rgDeleteTarget");
    auto* radios = new QHBoxLayout(group);
    for (int t = 0; t < 3; ++t) {
        auto* radio = new QRadioButton(ToQString(FilesItemDialogModel::DeleteTargetText(t)), group);
        radio->setObjectName(QStringLiteral("rbDeleteTarget%1").arg(t));
        radios->addWidget(radio);
        deleteTargets_[static_cast<std::size_t>(t)] = radio;
    }
    layout->addWidget(group);
    auto* form = new QFormLayout;
    deleteDefine_ = new TDefineCombo(page, fc::kDeleteDefine);
    deleteParameter_ = new TParameterField(kit_, deleteDefine_, fc::kDeleteParameter, "btnDeleteDetail", page);
    AllowTypedSubFolder(*deleteParameter_);
    auto* fileRow = new QHBoxLayout;
    deleteFileName_ = Edit(page, fc::kDeleteFileName);
    deleteBrowse_ = Button(page, "btnDeleteBrowse", "参照(&R)");
    fileRow->addWidget(deleteFileName_, 1);
    fileRow->addWidget(deleteBrowse_);
    deleteSample_ = new TSamplePathLine(kit_, page, "lblDeleteSample");
    deleteSample_->Follow(deleteDefine_, deleteParameter_, deleteFileName_);
    form->addRow(Label(page, "フォルダ定数(&D)", deleteDefine_), deleteDefine_);
    form->addRow(Label(page, "パラメータ(&P)", deleteParameter_->edit()), deleteParameter_);
    form->addRow(Label(page, "ファイル名(&N)", deleteFileName_), fileRow);
    form->addRow(QString(), deleteSample_);
    layout->addLayout(form);
    layout->addStretch();
    connect(deleteBrowse_, &QPushButton::clicked, this, &TfrmFilesItemDialog::BrowseDeleteFile);
    return page;
}

QWidget* TfrmFilesItemDialog::BuildCreatePage() {
    QWidget* page = NewPage(Page::Create);
    auto* layout = new QVBoxLayout(page);
    auto* form = new QFormLayout;
    createDefine_ = new TDefineCombo(page, fc::kCreateDefine);
    createParameter_ = new TParameterField(kit_, createDefine_, fc::kCreateParameter, "btnCreateDetail", page);
    AllowTypedSubFolder(*createParameter_);
    createSample_ = new TSamplePathLine(kit_, page, "lblCreateSample");
    createSample_->Follow(createDefine_, createParameter_);
    AddDefineRows(form, page, "フォルダ定数(&D)", createDefine_, createParameter_, createSample_);
    layout->addLayout(form);
    layout->addStretch();
    return page;
}

QWidget* TfrmFilesItemDialog::BuildGraphicalPage() {
    QWidget* page = NewPage(Page::Graphical);
    auto* layout = new QVBoxLayout(page);
    auto* form = new QFormLayout;
    graphDefine_ = new TDefineCombo(page, "cmbGraphDefine");
    form->addRow(Label(page, "インストール先フォルダ(&F)", graphDefine_), graphDefine_);
    layout->addLayout(form);
    tree_ = new QTreeView(page);
    tree_->setObjectName(fc::kGraphTree);
    tree_->setHeaderHidden(true);
    tree_->setDragDropMode(QAbstractItemView::InternalMove);
    tree_->setDefaultDropAction(Qt::MoveAction);
    tree_->setEditTriggers(QAbstractItemView::EditKeyPressed);
    treeModel_ = new GraphicalTreeItemModel(model_.graphicalPage.tree, this);
    tree_->setModel(treeModel_);
    layout->addWidget(Label(page, "インストール後のファイル/フォルダイメージ(&L)", tree_));
    auto* row = new QHBoxLayout;
    row->addWidget(tree_, 1);
    auto* side = new QVBoxLayout;
    const std::pair<const char*, const char*> buttons[] = {
        {"btnGraphFile", "ファイル(&N)..."},   {"btnGraphFolder", "フォルダ(&F)..."}, {"btnGraphNewFolder", "新規フォルダ(&I)"},
        {"btnGraphRename", "名前の変更(&R)"}, {"btnGraphDelete", "削除(&D)"},        {"btnGraphClear", "クリア(&A)"}};
    for (const auto& [name, caption] : buttons) {
        QPushButton* button = Button(page, name, caption);
        graphButtons_[name] = button;
        side->addWidget(button);
    }
    side->addStretch();
    row->addLayout(side);
    layout->addLayout(row, 1);
    createEmpty_ = Check(page, "chkCreateEmpty", "空のフォルダの場合は作成する(&C)");
    layout->addWidget(createEmpty_);
    connect(graphButtons_["btnGraphFile"], &QPushButton::clicked, this, &TfrmFilesItemDialog::GraphAddFiles);
    connect(graphButtons_["btnGraphFolder"], &QPushButton::clicked, this, &TfrmFilesItemDialog::GraphAddFolder);
    connect(graphButtons_["btnGraphNewFolder"], &QPushButton::clicked, this, &TfrmFilesItemDialog::GraphNewFolder);
    connect(graphButtons_["btnGraphRename"], &QPushButton::clicked, this, &TfrmFilesItemDialog::GraphRename);
    connect(graphButtons_["btnGraphDelete"], &QPushButton::clicked, this, &TfrmFilesItemDialog::GraphDelete);
    connect(graphButtons_["btnGraphClear"], &QPushButton::clicked, this, &TfrmFilesItemDialog::GraphClear);
    const auto key = [this](QKeySequence sequence, void (TfrmFilesItemDialog::*what)()) {
        auto* shortcut = new QShortcut(sequence, tree_);
        shortcut->setContext(Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, what);
    };
    key(QKeySequence(Qt::Key_Insert), &TfrmFilesItemDialog::GraphAddFiles);
    key(QKeySequence(Qt::Key_F2), &TfrmFilesItemDialog::GraphRename);
    key(QKeySequence(Qt::Key_Delete), &TfrmFilesItemDialog::GraphDelete);
    return page;
}

QWidget* TfrmFilesItemDialog::BuildComponentPage() {
    QWidget* page = NewPage(Page::Component);
    auto* layout = new QVBoxLayout(page);
    auto* form = new QFormLayout;
    auto* row = new QHBoxLayout;
    componentFile_ = Edit(page, fc::kComponentFile);
    auto* browse = Button(page, "btnComponentBrowse", "参照(&R)");
    auto* create = Button(page, "btnComponentCreate", "作成(&C)");
    auto* edit = Button(page, "btnComponentEdit", "編集(&E)");
    row->addWidget(componentFile_, 1);
    row->addWidget(browse);
    row->addWidget(create);
    row->addWidget(edit);
    componentName_ = Edit(page, fc::kComponentName);
    componentDescription_ = Edit(page, "edtComponentDescription");
    form->addRow(Label(page, "コンポーネント定義ファイル名(&F)", componentFile_), row);
    form->addRow(Label(page, "コンポーネント名(&N)", componentName_), componentName_);
    form->addRow(Label(page, "説明(&D)", componentDescription_), componentDescription_);
    layout->addLayout(form);
    componentSelected_ = Check(page, "chkComponentSelected", "初期状態で選択状態にする(&S)");
    layout->addWidget(componentSelected_);
    layout->addStretch();
    const auto run = [this](void (FilesItemDialogModel::*what)()) {
        ReadControls();
        (model_.*what)();
        loading_ = true;
        componentFile_->setText(ToQString(model_.componentPage.fileName));
        loading_ = false;
    };
    connect(browse, &QPushButton::clicked, this, [run] { run(&FilesItemDialogModel::BrowseComponent); });
    connect(create, &QPushButton::clicked, this, [run] { run(&FilesItemDialogModel::CreateComponent); });
    connect(edit, &QPushButton::clicked, this, [run] { run(&FilesItemDialogModel::EditComponent); });
    return page;
}

QWidget* TfrmFilesItemDialog::BuildDetailTab() {
    detailTab_ = new QWidget;
    detailTab_->setObjectName(fc::kTabDetail);
    auto* layout = new QVBoxLayout(detailTab_);
    destination_ = new QGroupBox(QStringLiteral("インストール先のフォルダ"), detailTab_);
    destination_->setObjectName("grpDestination");
    auto* group = new QVBoxLayout(destination_);
    standardFolder_ = Check(destination_, "chkStandardFolder", "標準のフォルダにインストールする(&S)");
    standardFolder_->setTristate(model_.mode() == FilesItemDialogModel::Mode::EditSeveral);
    group->addWidget(standardFolder_);
    auto* form = new QFormLayout;
    define_ = new TDefineCombo(destination_, fc::kDefine);
    parameter_ = new TParameterField(kit_, define_, fc::kParameter, "btnDetail", destination_, QStringLiteral("詳細(&L)"));
    AllowTypedSubFolder(*parameter_);
    sample_ = new TSamplePathLine(kit_, destination_, "lblSample");
    sample_->Follow(define_, parameter_);
    AddDefineRows(form, destination_, "フォルダ定数(&D)", define_, parameter_, sample_);
    group->addLayout(form);
    layout->addWidget(destination_);
    auto* commentForm = new QFormLayout;
    comment_ = Edit(detailTab_, "edtComment");
    commentForm->addRow(Label(detailTab_, "コメント(&C)", comment_), comment_);
    layout->addLayout(commentForm);
    auto* osGroup = new QGroupBox(QStringLiteral("OSの設定"), detailTab_);
    osGroup->setObjectName("grpOS");
    auto* osRow = new QHBoxLayout(osGroup);
    os_ = Button(osGroup, "btnOS", "OSの指定(&O)");
    osRow->addWidget(os_);
    osRow->addStretch();
    layout->addWidget(osGroup);
    layout->addStretch();
    connect(os_, &QPushButton::clicked, this, &TfrmFilesItemDialog::EditOs);
    return detailTab_;
}

QWidget* TfrmFilesItemDialog::BuildOptionTab() {
    optionTab_ = new QWidget;
    optionTab_->setObjectName(fc::kTabOption);
    auto* layout = new QVBoxLayout(optionTab_);
    const bool several = model_.mode() == FilesItemDialogModel::Mode::EditSeveral;
    const auto list = [&](const char* name, const char* caption, int lines, std::string (*text)(int)) {
        auto* widget = new QListWidget(optionTab_);
        widget->setObjectName(QString::fromLatin1(name));
        for (int line = 0; line < lines; ++line) {
            auto* item = new QListWidgetItem(ToQString(text(line)), widget);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable | (several ? Qt::ItemIsUserTristate : Qt::NoItemFlags));
            item->setCheckState(Qt::Unchecked);
        }
        layout->addWidget(Label(optionTab_, caption, widget));
        layout->addWidget(widget);
        return widget;
    };
    options_ = list("clbOption", "ファイルオプション(&F)", file_option::kLineCount, &FileOptionText);
    attributes_ = list("clbFileAttrOption", "ファイル属性(&F)", file_attribute::kLineCount, &FileAttributeText);
    attributes_->setMaximumHeight(attributes_->sizeHintForRow(0) * 5);
    return optionTab_;
}

QWidget* TfrmFilesItemDialog::BuildConditionTab() {
    conditionTab_ = new QWidget;
    conditionTab_->setObjectName(fc::kTabCondition);
    auto* layout = new QVBoxLayout(conditionTab_);
    condition_ = new TConditionEditor(kit_, model_.DefineChoices(FilesItemDialogModel::DefineList::ConditionFolder),
                                      model_.DefineChoices(FilesItemDialogModel::DefineList::ConditionIni),
                                      conditionTab_);
    layout->addWidget(condition_);
    fromDestination_ = Button(condition_->folderGroup(), "btnConditionFromDestination", "インストール先のフォルダから取得");
    if (auto* form = qobject_cast<QFormLayout*>(condition_->folderGroup()->layout())) form->addRow(QString(), fromDestination_);
    connect(fromDestination_, &QPushButton::clicked, this, &TfrmFilesItemDialog::ConditionFromDestination);
    return conditionTab_;
}

QWidget* TfrmFilesItemDialog::BuildExtendPage() {
    QWidget* page = NewPage(Page::Extend);
    auto* layout = new QVBoxLayout(page);
    extendTabs_ = new QTabWidget(page);
    extendTabs_->setObjectName("pcExtend");
    extendTabs_->addTab(BuildDetailTab(), QStringLiteral("詳細"));
    extendTabs_->addTab(BuildOptionTab(), QStringLiteral("オプション"));
    extendTabs_->addTab(BuildConditionTab(), QStringLiteral("条件の指定"));
    layout->addWidget(extendTabs_);
    return page;
}

void TfrmFilesItemDialog::BuildButtons() {
    back_ = buttonBox()->addButton(QStringLiteral("戻る(&B)"), QDialogButtonBox::ActionRole);
    back_->setObjectName("btnBack");
    next_ = buttonBox()->addButton(QStringLiteral("次へ(&N)"), QDialogButtonBox::ActionRole);
    next_->setObjectName("btnNext");
    const bool wizard = model_.mode() == FilesItemDialogModel::Mode::Add;
    back_->setVisible(wizard);
    next_->setVisible(wizard);
    okButton()->setVisible(!wizard);
    if (wizard) next_->setDefault(true);
    connect(back_, &QPushButton::clicked, this, &TfrmFilesItemDialog::Back);
    connect(next_, &QPushButton::clicked, this, &TfrmFilesItemDialog::Next);
}

// ---- binding ----

void TfrmFilesItemDialog::Bind() {
    const auto changed = [this] {
        if (loading_) return;
        ReadControls();
        ShowState();
    };
    for (QRadioButton* r : choices_) connect(r, &QRadioButton::toggled, this, changed);
    for (QRadioButton* r : deleteTargets_) connect(r, &QRadioButton::toggled, this, changed);
    for (QCheckBox* c : {enabled_, keepStructure_, subfolders_, emptyFolders_, keepAttributes_, createEmpty_,
                         componentSelected_})
        connect(c, &QCheckBox::stateChanged, this, changed);
    for (QLineEdit* e : {folder_, deleteFileName_, componentFile_, componentName_, componentDescription_, comment_})
        connect(e, &QLineEdit::textChanged, this, changed);
    for (TDefineCombo* c : {deleteDefine_, createDefine_, define_}) connect(c, &QComboBox::currentTextChanged, this, changed);
    for (TParameterField* p : {deleteParameter_, createParameter_, parameter_})
        connect(p, &TParameterField::parameterChanged, this, changed);
    connect(graphDefine_, &QComboBox::currentTextChanged, this, [this] {
        if (loading_) return;
        model_.graphicalPage.define = graphDefine_->define();
        model_.RefreshGraphicalRoot();
        const QModelIndex root = treeModel_->index(0, 0);
        Q_EMIT treeModel_->dataChanged(root, root);
    });
    connect(standardFolder_, &QCheckBox::stateChanged, this, [this](int state) {
        if (loading_) return;
        ReadControls();
        model_.SetStandardFolder(TriOfState(static_cast<Qt::CheckState>(state)));
        loading_ = true;
        define_->SetDefine(model_.define);
        parameter_->SetParameter(model_.parameter);
        loading_ = false;
        ShowState();
    });
    connect(options_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (loading_) return;
        model_.SetOption(options_->row(item), TriOfState(item->checkState()));
        ShowOptionLines();
        ShowState();
    });
    connect(attributes_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (loading_) return;
        model_.SetAttribute(attributes_->row(item), TriOfState(item->checkState()));
    });
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { ShowState(); });
    connect(treeModel_, &GraphicalTreeItemModel::treeChanged, this, [this] {
        // Nodes the view showed open stay open.
        std::function<void(const FileTreeNode&)> expand = [&](const FileTreeNode& n) {
            if (n.expanded) tree_->expand(treeModel_->indexOf(&n));
            for (const auto& child : n.children) expand(*child);
        };
        expand(model_.graphicalPage.tree.root());
        ShowState();
    });
    connect(tree_, &QTreeView::expanded, this, [this](const QModelIndex& i) {
        if (FileTreeNode* n = treeModel_->node(i)) n->expanded = true;
    });
    connect(tree_, &QTreeView::collapsed, this, [this](const QModelIndex& i) {
        if (FileTreeNode* n = treeModel_->node(i)) n->expanded = false;
    });
    connect(pageControl_, &QTabWidget::currentChanged, this, [this] {
        for (const auto& [page, widget] : pages_) {
            if (widget == pageControl_->currentWidget()) SetHelpTopic(FilesItemDialogModel::HelpTopic(page));
        }
    });
}

void TfrmFilesItemDialog::LoadControls() {
    loading_ = true;
    enabled_->setCheckState(CheckStateOf(model_.enabled));
    choices_[static_cast<std::size_t>(model_.choice)]->setChecked(true);
    files_->clear();
    for (const std::string& file : model_.files) files_->addItem(ToQString(file));
    folder_->setText(ToQString(model_.folderPage.folder));
    keepStructure_->setChecked(model_.folderPage.keepStructure);
    subfolders_->setChecked(model_.folderPage.subfolders);
    emptyFolders_->setChecked(model_.folderPage.emptyFolders);
    keepAttributes_->setChecked(model_.folderPage.keepAttributes);
    deleteTargets_[static_cast<std::size_t>(model_.deletePage.target)]->setChecked(true);
    deleteDefine_->SetEntries(model_.DefineChoices(FilesItemDialogModel::DefineList::Delete));
    deleteDefine_->SetDefine(model_.deletePage.define);
    deleteParameter_->SetParameter(model_.deletePage.parameter);
    deleteFileName_->setText(ToQString(model_.deletePage.fileName));
    createDefine_->SetEntries(model_.DefineChoices(FilesItemDialogModel::DefineList::Create));
    createDefine_->SetDefine(model_.createPage.define);
    createParameter_->SetParameter(model_.createPage.parameter);
    graphDefine_->SetEntries(model_.DefineChoices(FilesItemDialogModel::DefineList::Graphical));
    graphDefine_->SetDefine(model_.graphicalPage.define);
    createEmpty_->setChecked(model_.graphicalPage.createEmpty);
    treeModel_->Rebuild();
    tree_->expandAll();
    componentFile_->setText(ToQString(model_.componentPage.fileName));
    componentName_->setText(ToQString(model_.componentPage.name));
    componentDescription_->setText(ToQString(model_.componentPage.description));
    componentSelected_->setChecked(model_.componentPage.selectedByDefault);
    standardFolder_->setCheckState(CheckStateOf(model_.standardFolder));
    define_->SetEntries(model_.DefineChoices(FilesItemDialogModel::DefineList::Destination));
    define_->SetDefine(model_.define);
    parameter_->SetParameter(model_.parameter);
    comment_->setText(ToQString(model_.comment));
    condition_->Load(model_.condition.Record());
    loading_ = false;
    ShowOptionLines();
    for (QTabWidget* tabs : {pageControl_, extendTabs_}) tabs->setCurrentIndex(0);
}

void TfrmFilesItemDialog::ReadControls() {
    if (loading_) return;
    model_.enabled = TriOfState(enabled_->checkState());
    for (int c = 0; c < FilesItemDialogModel::kChoiceCount; ++c) {
        if (choices_[static_cast<std::size_t>(c)]->isChecked()) model_.choice = c;
    }
    model_.folderPage = {ToSjis(folder_->text()), keepStructure_->isChecked(), subfolders_->isChecked(),
                         emptyFolders_->isChecked(), keepAttributes_->isChecked()};
    for (int t = 0; t < 3; ++t) {
        if (deleteTargets_[static_cast<std::size_t>(t)]->isChecked()) model_.deletePage.target = t;
    }
    model_.deletePage.define = deleteDefine_->define();
    model_.deletePage.parameter = deleteParameter_->parameter();
    model_.deletePage.fileName = ToSjis(deleteFileName_->text());
    model_.createPage = {createDefine_->define(), createParameter_->parameter()};
    model_.graphicalPage.define = graphDefine_->define();
    model_.graphicalPage.createEmpty = createEmpty_->isChecked();
    model_.componentPage = {ToSjis(componentFile_->text()), ToSjis(componentName_->text()),
                            ToSjis(componentDescription_->text()), componentSelected_->isChecked()};
    model_.standardFolder = TriOfState(standardFolder_->checkState());
    model_.define = define_->define();
    model_.parameter = parameter_->parameter();
    model_.comment = ToSjis(comment_->text());
    model_.condition = condition_->model();
}

void TfrmFilesItemDialog::ShowOptionLines() {
    loading_ = true;
    for (int line = 0; line < file_option::kLineCount; ++line) {
        QListWidgetItem* item = options_->item(line);
        item->setCheckState(CheckStateOf(model_.OptionState(line)));
        SetLineEnabled(item, model_.OptionEnabled(line));
    }
    for (int line = 0; line < file_attribute::kLineCount; ++line) {
        QListWidgetItem* item = attributes_->item(line);
        item->setCheckState(CheckStateOf(model_.AttributeState(line)));
        SetLineEnabled(item, model_.AttributeEnabled(line));
    }
    loading_ = false;
}

void TfrmFilesItemDialog::ShowState() {
    next_->setText(ToQString(model_.NextCaption()));
    filesBrowse_->setText(model_.ChangesFile() ? QStringLiteral("変更(&E)") : QStringLiteral("参照(&R)"));
    const FilesItemDialogModel::ExtendLayout layout = model_.Layout();
    destination_->setVisible(layout.destination && model_.DestinationVisible());
    extendTabs_->setTabVisible(extendTabs_->indexOf(optionTab_), layout.optionsTab);
    extendTabs_->setTabVisible(extendTabs_->indexOf(conditionTab_), layout.conditionTab);
    comment_->parentWidget()->layout();
    for (QWidget* w : {static_cast<QWidget*>(comment_)}) w->setVisible(layout.destination);
    if (auto* form = qobject_cast<QFormLayout*>(comment_->parentWidget()->layout()->itemAt(1)->layout()))
        if (QWidget* label = form->labelForField(comment_)) label->setVisible(layout.destination);
    attributes_->setVisible(layout.attributes);
    if (model_.readOnly()) return;
    back_->setEnabled(model_.CanGoBack());
    keepStructure_->setEnabled(model_.KeepStructureEnabled());
    for (QRadioButton* r : deleteTargets_) r->setEnabled(model_.DeleteTargetEnabled());
    deleteFileName_->setEnabled(model_.DeleteFileNameEnabled());
    deleteBrowse_->setEnabled(model_.DeleteFileNameEnabled());
    define_->setEnabled(model_.DestinationEditable());
    parameter_->setEnabled(model_.DestinationEditable());
    os_->setEnabled(model_.OsButtonEnabled());
    options_->setEnabled(layout.optionsEnabled);
    fromDestination_->setVisible(model_.condition.type == kConditionFileExists ||
                                 model_.condition.type == kConditionFolderExists);
    const FileTreeNode* node = SelectedNode();
    const GraphicalTreeModel& tree = model_.graphicalPage.tree;
    for (const char* name : {"btnGraphFile", "btnGraphFolder", "btnGraphNewFolder"})
        graphButtons_[name]->setEnabled(tree.CanAddTo(node));
    graphButtons_["btnGraphRename"]->setEnabled(tree.CanRename(node));
    graphButtons_["btnGraphDelete"]->setEnabled(tree.CanDelete(node));
    graphButtons_["btnGraphClear"]->setEnabled(tree.HoldsItems());
}

void TfrmFilesItemDialog::ShowPage() {
    QWidget* page = pages_.at(model_.page());
    if (pageControl_->indexOf(page) >= 0) pageControl_->setCurrentWidget(page);
    SetHelpTopic(FilesItemDialogModel::HelpTopic(model_.page()));
    ShowState();
}

QWidget* TfrmFilesItemDialog::currentPage() const { return pageControl_->currentWidget(); }

// ---- navigation ----

bool TfrmFilesItemDialog::ShowFailure(const CheckOutcome& failed) {
    if (!failed) return false;
    ShowPage();
    ShowCheck(failed);
    return true;
}

void TfrmFilesItemDialog::Next() {
    ReadControls();
    if (ShowFailure(model_.Next())) return;
    if (model_.finished()) {
        accept();
        return;
    }
    ShowPage();
}

void TfrmFilesItemDialog::Back() {
    ReadControls();
    model_.Back();
    ShowPage();
}

bool TfrmFilesItemDialog::AcceptOk() {
    if (model_.readOnly()) return false;
    ReadControls();
    return !ShowFailure(model_.Ok());
}

// ---- page commands ----

void TfrmFilesItemDialog::BrowseFiles() {
    FileDialogRequest request;
    request.filter = platform::sjis::S("すべてのファイル(*.*)|*.*");
    if (model_.ChangesFile() && !model_.files.empty()) {
        request.mode = FileDialogRequest::Mode::Open;
        request.folder = platform::winpath::FolderOf(model_.files.front());
        request.fileName = FileNamePart(model_.files.front());
    } else {
        request.mode = FileDialogRequest::Mode::OpenMany;
    }
    if (!kit_.ui().ChooseFiles(request) || request.paths.empty()) return;
    if (model_.ChangesFile())
        model_.files = {request.paths.front()};
    else
        model_.files.insert(model_.files.end(), request.paths.begin(), request.paths.end());
    files_->clear();
    for (const std::string& file : model_.files) files_->addItem(ToQString(file));
}

void TfrmFilesItemDialog::BrowseFolder() {
    std::string folder = ToSjis(folder_->text());
    if (kit_.ui().ChooseFolder(FolderSelectDialogModel::BrowseCaption(), folder)) folder_->setText(ToQString(folder));
}

void TfrmFilesItemDialog::BrowseDeleteFile() {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Open;
    request.filter = platform::sjis::S("すべてのファイル(*.*)|*.*");
    if (!kit_.ui().ChooseFiles(request) || request.paths.empty()) return;
    model_.SetDeleteFileFromBrowse(request.paths.front());
    deleteFileName_->setText(ToQString(model_.deletePage.fileName));
}

FileTreeNode* TfrmFilesItemDialog::SelectedNode() const { return treeModel_->node(tree_->currentIndex()); }

void TfrmFilesItemDialog::GraphAddFiles() {
    FileTreeNode* target = SelectedNode();
    if (!model_.graphicalPage.tree.CanAddTo(target) || model_.readOnly()) return;
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::OpenMany;
    request.filter = platform::sjis::S("すべてのファイル(*.*)|*.*");
    if (!kit_.ui().ChooseFiles(request) || request.paths.empty()) return;
    FileTreeNode* first = model_.graphicalPage.tree.AddFiles(target, request.paths);
    treeModel_->Rebuild();
    Q_EMIT treeModel_->treeChanged();
    tree_->setCurrentIndex(treeModel_->indexOf(first));
}

void TfrmFilesItemDialog::GraphAddFolder() {
    FileTreeNode* target = SelectedNode();
    if (!model_.graphicalPage.tree.CanAddTo(target) || model_.readOnly()) return;
    FolderSelectDialogModel select(kit_.data().settings().store());
    TfrmFolderSelectDialog dialog(select, kit_.ui(), this);
    if (kit_.Run(dialog) != QDialog::Accepted) return;
    {
        BusyCursor busy(kit_.ui());
        model_.graphicalPage.tree.AddFolder(target, select.folder, select.options, [this] {
            kit_.ui().ProcessMessages();
            return true;
        });
    }
    treeModel_->Rebuild();
    Q_EMIT treeModel_->treeChanged();
}

void TfrmFilesItemDialog::GraphNewFolder() {
    FileTreeNode* target = SelectedNode();
    if (!model_.graphicalPage.tree.CanAddTo(target) || model_.readOnly()) return;
    FileTreeNode* made = model_.graphicalPage.tree.NewFolder(target);
    treeModel_->Rebuild();
    Q_EMIT treeModel_->treeChanged();
    tree_->setCurrentIndex(treeModel_->indexOf(made));
}

void TfrmFilesItemDialog::GraphRename() {
    if (model_.readOnly() || !model_.graphicalPage.tree.CanRename(SelectedNode())) return;
    tree_->edit(tree_->currentIndex());
}

void TfrmFilesItemDialog::GraphDelete() {
    FileTreeNode* node = SelectedNode();
    if (model_.readOnly() || !model_.graphicalPage.tree.CanDelete(node)) return;
    const FileTreeNode* parent = node->parent;
    model_.graphicalPage.tree.Delete(node);
    treeModel_->Rebuild();
    Q_EMIT treeModel_->treeChanged();
    tree_->setCurrentIndex(treeModel_->indexOf(parent));
}

void TfrmFilesItemDialog::GraphClear() {
    if (model_.readOnly()) return;
    model_.graphicalPage.tree.Clear();
    treeModel_->Rebuild();
    Q_EMIT treeModel_->treeChanged();
}

void TfrmFilesItemDialog::EditOs() {
    OsDialogModel dialog = model_.MakeOsDialog();
    if (kit_.RunOsDialog(dialog)) model_.ApplyOsDialog(dialog);
}

void TfrmFilesItemDialog::ConditionFromDestination() {
    ReadControls();
    model_.TakeConditionFromDestination();
    condition_->Load(model_.condition.Record());
}

}  // namespace zeriru::gui
