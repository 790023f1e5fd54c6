#include "zeriru/gui/dialogs.h"

#include "platform/sjis.h"
#include "qtsupport/item_list.h"
#include "qtsupport/message_box.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/help_topics.h"
#include "zeriru/ui.h"
#include "zeriru/update_check.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace zeriru::gui {

using qtsupport::ToDisplayText;
using qtsupport::ToQString;
using qtsupport::ToSjis;

namespace {

QDialogButtonBox* MakeButtons(QDialog* dialog, QDialogButtonBox::StandardButtons buttons) {
    auto* box = new QDialogButtonBox(buttons, dialog);
    box->setObjectName("ButtonBox");
    qtsupport::SetButtonTexts(box);
    if (QPushButton* ok = box->button(QDialogButtonBox::Ok)) ok->setObjectName("btnOk");
    if (QPushButton* cancel = box->button(QDialogButtonBox::Cancel)) cancel->setObjectName("btnCancel");
    if (QPushButton* help = box->button(QDialogButtonBox::Help)) {
        help->setObjectName("btnHelp");
        help->setText(QStringLiteral("ヘルプ(&H)"));
    }
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

QCheckBox* Check(QWidget* parent, const char* name, const char* caption) {
    auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
    box->setObjectName(name);
    return box;
}

QLineEdit* Edit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

}  // namespace

// ---- THintDialog ----

THintDialog::THintDialog(HintDialogModel& model, QWidget* parent) : QDialog(parent), model_(model) {
    setObjectName("frmHintDialog");
    setWindowTitle(ToQString(HintDialogModel::Caption()));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    row->addWidget(icon);
    auto* text = new QLabel(ToDisplayText(model.text), this);
    text->setObjectName("lblHint");
    text->setWordWrap(true);
    text->setMinimumWidth(420);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(text, 1);
    layout->addLayout(row);
    if (model.allowSuppress) {
        suppress_ = new QCheckBox(ToQString(HintDialogModel::SuppressCaption()), this);
        suppress_->setObjectName("chkNoMore");
        layout->addWidget(suppress_);
    }
    auto* buttons = MakeButtons(this, QDialogButtonBox::Ok);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        model_.suppress = suppress_ && suppress_->isChecked();
        accept();
    });
}

// ---- TAboutDialog ----

TAboutDialog::TAboutDialog(std::function<bool(const std::string&)> openUrl, QWidget* parent) : QDialog(parent) {
    setObjectName("frmAboutDialog");
    setWindowTitle(QStringLiteral("バージョン情報"));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("Raredovo"), this);
    title->setObjectName("lblTitle");
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    title->setFont(big);
    layout->addWidget(title);
    auto* version = new QLabel(QString::fromStdString(OwnVersionText()), this);
    version->setObjectName("lblVersion");
    layout->addWidget(version);
    auto link = [&](const char* name, const char* caption, const char* url) {
        auto* label = new QLabel(QStringLiteral("<a href=\"%1\">%2</a>").arg(QString::fromLatin1(url), QString::fromUtf8(caption)), this);
        label->setObjectName(name);
        label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        connect(label, &QLabel::linkActivated, this, [openUrl](const QString& target) {
            if (openUrl) openUrl(target.toStdString());
        });
        layout->addWidget(label);
    };
    link("lblHomePage", "ホームページ", "http://www.zuzoruve.example/");
    link("lblSupport", "サポート", "http://www.zuzoruve.example/support/");
    auto* buttons = MakeButtons(this, QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setMinimumWidth(280);
}

// ---- TfrmConfigDialog ----

TfrmConfigDialog::TfrmConfigDialog(OptionsDialogModel& model, Ui& ui, QWidget* parent)
    : QDialog(parent), model_(model), ui_(ui) {
    setObjectName("frmConfigDialog");
    setWindowTitle(ToQString(OptionsDialogModel::Caption()));
    BuildWidgets();
    Reload();
    Bind();
}

void TfrmConfigDialog::BuildWidgets() {
    auto* layout = new QVBoxLayout(this);
    pages_ = new QTabWidget(this);
    pages_->setObjectName("PageControl");
    layout->addWidget(pages_);

    auto* basic = new QWidget;
    basic->setObjectName("tsBasic");
    auto* basicLayout = new QVBoxLayout(basic);
    useAppName_ = Check(basic, "chkUseAppName", "「アプリケーション名」を「グループ名」として使用する(&P)");
    basicLayout->addWidget(useAppName_);
    auto* modeGroup = new QGroupBox(QStringLiteral("モード"), basic);
    modeGroup->setObjectName("rgMode");
    auto* modeLayout = new QVBoxLayout(modeGroup);
    standard_ = new QRadioButton(QStringLiteral("スタンダードモード"), modeGroup);
    standard_->setObjectName("rbStandard");
    advanced_ = new QRadioButton(QStringLiteral("アドバンスドモード"), modeGroup);
    advanced_->setObjectName("rbAdvanced");
    modeLayout->addWidget(standard_);
    modeLayout->addWidget(advanced_);
    basicLayout->addWidget(modeGroup);
    basicLayout->addStretch();

    auto* build = new QWidget;
    build->setObjectName("tsInstallFile");
    auto* buildLayout = new QVBoxLayout(build);
    executeInstaller_ = Check(build, "chkExecuteInstaller", "作成後すぐに実行する(&R)");
    openFolder_ = Check(build, "chkOpenFolder", "作成後インストーラの格納先フォルダを開く(&O)");
    checkFileList_ = Check(build, "chkCheckFileList", "ファイル作成時にファイル構成をチェックする(&C)");
    skipMessage_ = Check(build, "chkSkipMessage", "重複項目が存在する場合ヒントメッセージを表示する(&D)");
    compressProgress_ = Check(build, "chkCompressProgress", "圧縮状況を表示する(&P)");
    for (QCheckBox* b : {executeInstaller_, openFolder_, checkFileList_}) buildLayout->addWidget(b);
    auto* indented = new QHBoxLayout;
    indented->addSpacing(20);
    indented->addWidget(skipMessage_);
    buildLayout->addLayout(indented);
    buildLayout->addWidget(compressProgress_);
    informationGroup_ = new QGroupBox(QStringLiteral("インストール情報ファイル"), build);
    informationGroup_->setObjectName("grpInformation");
    auto* infoLayout = new QVBoxLayout(informationGroup_);
    editInformation_ = Check(informationGroup_, "chkEditInformation", "インストールファイル作成前にファイル編集できるようにする(&E)");
    infoLayout->addWidget(editInformation_);
    auto* editorRow = new QHBoxLayout;
    auto* editorLabel = new QLabel(QStringLiteral("外部エディタ(&E)"), informationGroup_);
    editor_ = Edit(informationGroup_, "edtExtendEditor");
    editorLabel->setBuddy(editor_);
    browse_ = new QPushButton(QStringLiteral("参照(&B)"), informationGroup_);
    browse_->setObjectName("btnBrowse");
    editorRow->addWidget(editorLabel);
    editorRow->addWidget(editor_, 1);
    editorRow->addWidget(browse_);
    infoLayout->addLayout(editorRow);
    buildLayout->addWidget(informationGroup_);
    autoUpdateVersion_ = Check(build, "chkAutoUpdateVersion", "「アプリケーション情報の設定」のバージョン情報を作成時に更新する(&U)");
    completeMessage_ = Check(build, "chkCompleteMessage", "インストールファイルの作成完了後にメッセージを表示する(&C)");
    showErrorMessage_ = Check(build, "chkShowErrorMessage", "作成中のエラーメッセージを表示する(&E)");
    for (QCheckBox* b : {autoUpdateVersion_, completeMessage_, showErrorMessage_}) buildLayout->addWidget(b);
    buildLayout->addStretch();

    auto* system = new QWidget;
    system->setObjectName("tsSystem");
    auto* systemLayout = new QVBoxLayout(system);
    saveLastState_ = Check(system, "chkSaveLastState", "終了時の状態を保持する(&S)");
    autoColumnWidth_ = Check(system, "chkAutoColumnWidth", "リストの列幅は項目内容にあわせて列幅を調整(&L)");
    showHints_ = new QPushButton(QStringLiteral("すべてのヒントを表示する"), system);
    showHints_->setObjectName("btnShowAllHints");
    systemLayout->addWidget(saveLastState_);
    systemLayout->addWidget(autoColumnWidth_);
    auto* hintRow = new QHBoxLayout;
    hintRow->addWidget(showHints_);
    hintRow->addStretch();
    systemLayout->addLayout(hintRow);
    systemLayout->addStretch();

    auto* update = new QWidget;
    update->setObjectName("tsAutoUpdate");
    auto* updateLayout = new QVBoxLayout(update);
    checkUpdate_ = Check(update, "chkCheckUpdate", "起動時に最新版をチェックする(&C)");
    updateLayout->addWidget(checkUpdate_);
    auto* form = new QFormLayout;
    updateUrl_ = Edit(update, "edtUpdateUrl");
    proxyServer_ = Edit(update, "edtProxyServer");
    proxyPort_ = new QSpinBox(update);
    proxyPort_->setObjectName("edtProxyPort");
    proxyPort_->setRange(0, kMaxProxyPort);
    proxyUser_ = Edit(update, "edtProxyUserId");
    proxyPassword_ = Edit(update, "edtProxyPassword");
    proxyPassword_->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("URL(&U)"), updateUrl_);
    form->addRow(QStringLiteral("プロキシサーバー(&S)"), proxyServer_);
    form->addRow(QStringLiteral("ポート(&P)"), proxyPort_);
    form->addRow(QStringLiteral("ユーザーID(&I)"), proxyUser_);
    form->addRow(QStringLiteral("パスワード(&D)"), proxyPassword_);
    updateLayout->addLayout(form);
    updateLayout->addStretch();

    for (int page = 0; page < OptionsDialogModel::kPageCount; ++page) {
        QWidget* widgets[] = {basic, build, system, update};
        pages_->addTab(widgets[page], ToQString(OptionsDialogModel::PageCaption(page)));
    }
    auto* buttons = MakeButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &TfrmConfigDialog::Ok);
    connect(buttons, &QDialogButtonBox::helpRequested, this,
            [this] { ui_.ShowHelp(help_topic::kOptionsPages[pages_->currentIndex()]); });
}

void TfrmConfigDialog::Reload() {
    const EditorOptions& o = model_.options();
    useAppName_->setChecked(o.useAppName);
    (o.mode == 1 ? advanced_ : standard_)->setChecked(true);
    executeInstaller_->setChecked(o.executeInstaller);
    openFolder_->setChecked(o.openFolder);
    checkFileList_->setChecked(o.checkFileList);
    skipMessage_->setChecked(o.skipMessage);
    skipMessage_->setEnabled(model_.SkipMessageEnabled());
    compressProgress_->setChecked(o.compressProgress);
    informationGroup_->setVisible(model_.InformationGroupVisible());
    editInformation_->setChecked(o.editInformation);
    editor_->setText(ToQString(o.extendEditorFileName));
    editor_->setEnabled(model_.ExternalEditorEnabled());
    browse_->setEnabled(model_.ExternalEditorEnabled());
    autoUpdateVersion_->setChecked(o.autoUpdateVersion);
    completeMessage_->setChecked(o.completeMessage);
    showErrorMessage_->setChecked(o.showErrorMessage);
    saveLastState_->setChecked(o.saveLastState);
    autoColumnWidth_->setChecked(o.autoColumnWidth);
    checkUpdate_->setChecked(o.checkUpdate);
    updateUrl_->setText(ToQString(o.updateUrl));
    updateUrl_->setCursorPosition(0);
    proxyServer_->setText(ToQString(o.proxyServer));
    proxyPort_->setValue(o.proxyPort);
    proxyUser_->setText(ToQString(o.proxyUserId));
    proxyPassword_->setText(ToQString(o.proxyPassword));
    pages_->setCurrentIndex(model_.page());
}

void TfrmConfigDialog::Bind() {
    connect(pages_, &QTabWidget::currentChanged, this, [this](int page) { model_.SetPage(page); });
    connect(checkFileList_, &QCheckBox::toggled, this, [this](bool on) {
        model_.SetCheckFileList(on);
        skipMessage_->setChecked(model_.options().skipMessage);
        skipMessage_->setEnabled(model_.SkipMessageEnabled());
    });
    connect(skipMessage_, &QCheckBox::toggled, this, [this](bool on) { model_.SetSkipMessage(on); });
    connect(advanced_, &QRadioButton::toggled, this, [this](bool on) {
        model_.SetMode(on ? 1 : 0);
        informationGroup_->setVisible(model_.InformationGroupVisible());
    });
    connect(editInformation_, &QCheckBox::toggled, this, [this](bool on) {
        model_.edit().editInformation = on;
        editor_->setEnabled(model_.ExternalEditorEnabled());
        browse_->setEnabled(model_.ExternalEditorEnabled());
    });
    connect(browse_, &QPushButton::clicked, this, [this] {
        Apply();
        if (model_.BrowseEditor(ui_)) editor_->setText(ToQString(model_.options().extendEditorFileName));
    });
    connect(showHints_, &QPushButton::clicked, this, [this] { model_.ShowAllHints(ui_); });
    auto* next = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown), this);
    connect(next, &QShortcut::activated, this, [this] {
        model_.NextPage();
        pages_->setCurrentIndex(model_.page());
    });
    auto* previous = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp), this);
    connect(previous, &QShortcut::activated, this, [this] {
        model_.PreviousPage();
        pages_->setCurrentIndex(model_.page());
    });
}

void TfrmConfigDialog::Apply() {
    EditorOptions& o = model_.edit();
    o.useAppName = useAppName_->isChecked();
    o.executeInstaller = executeInstaller_->isChecked();
    o.openFolder = openFolder_->isChecked();
    o.compressProgress = compressProgress_->isChecked();
    o.extendEditorFileName = ToSjis(editor_->text());
    o.autoUpdateVersion = autoUpdateVersion_->isChecked();
    o.completeMessage = completeMessage_->isChecked();
    o.showErrorMessage = showErrorMessage_->isChecked();
    o.saveLastState = saveLastState_->isChecked();
    o.autoColumnWidth = autoColumnWidth_->isChecked();
    o.checkUpdate = checkUpdate_->isChecked();
    o.updateUrl = ToSjis(updateUrl_->text());
    o.proxyServer = ToSjis(proxyServer_->text());
    model_.SetProxyPort(proxyPort_->value());
    o.proxyUserId = ToSjis(proxyUser_->text());
    o.proxyPassword = ToSjis(proxyPassword_->text());
}

void TfrmConfigDialog::Ok() {
    Apply();
    if (model_.Ok(ui_)) {
        accept();
        return;
    }
    pages_->setCurrentIndex(model_.page());
    if (model_.focusUrl()) updateUrl_->setFocus();
}

void TfrmConfigDialog::reject() {
    model_.Cancel();
    QDialog::reject();
}

// ---- TProtectDialog ----

TProtectDialog::TProtectDialog(ProtectProjectDialogModel& model, QWidget* parent) : QDialog(parent), model_(model) {
    setObjectName("frmProtectDialog");
    setWindowTitle(QStringLiteral("プロジェクトの保護"));
    auto* layout = new QVBoxLayout(this);
    protect_ = new QCheckBox(ToQString(ProtectProjectDialogModel::CheckBoxCaption()), this);
    protect_->setObjectName("chkProtect");
    protect_->setChecked(model.protect);
    layout->addWidget(protect_);
    auto* form = new QFormLayout;
    password_ = Edit(this, "edtPassword");
    password_->setEchoMode(QLineEdit::Password);
    password_->setText(ToQString(model.password));
    password_->setEnabled(model.protect);
    form->addRow(QStringLiteral("パスワード(&P)"), password_);
    layout->addLayout(form);
    connect(protect_, &QCheckBox::toggled, password_, &QWidget::setEnabled);
    auto* buttons = MakeButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        model_.protect = protect_->isChecked();
        model_.password = ToSjis(password_->text());
        accept();
    });
    setMinimumWidth(360);
}

// ---- TInitializeDialog ----

TInitializeDialog::TInitializeDialog(InitializeProjectDialogModel& model, Ui& ui, QWidget* parent)
    : QDialog(parent), model_(model) {
    setObjectName("frmInitializeDialog");
    setWindowTitle(QStringLiteral("プロジェクトの初期化"));
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("初期化する項目"), this);
    auto* groupLayout = new QVBoxLayout(group);
    for (int i = 0; i < InitializeProjectDialogModel::kEntryCount; ++i) {
        auto* box = new QCheckBox(ToQString(InitializeProjectDialogModel::EntryCaption(i)), group);
        box->setObjectName(QStringLiteral("chkItem%1").arg(i));
        box->setChecked(model.checked[static_cast<std::size_t>(i)]);
        groupLayout->addWidget(box);
        boxes_.push_back(box);
    }
    layout->addWidget(group);
    auto* buttons = MakeButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this, &ui] {
        for (std::size_t i = 0; i < boxes_.size(); ++i) model_.checked[i] = boxes_[i]->isChecked();
        if (model_.Ok(ui)) accept();
    });
}

// ---- TLanguageDialog ----

TLanguageDialog::TLanguageDialog(LanguageTextsDialogModel& model, Ui& ui, QWidget* parent)
    : QDialog(parent), model_(model), ui_(ui) {
    setObjectName("frmLanguageDialog");
    setWindowTitle(QStringLiteral("言語データの編集"));
    auto* layout = new QVBoxLayout(this);
    qtsupport::ItemRecordFormat format;
    format.columns = {QStringLiteral("ID"), QStringLiteral("文字列")};
    // A row's record is its index in the model's list; the texts stay in the model.
    format.text = [this](const std::string& record, int column) {
        const LanguageText& t = model_.list().texts.at(std::stoul(record));
        return column == 0 ? std::to_string(t.id) : t.text;
    };
    list_ = new qtsupport::ItemListModel(format, this);
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < model.list().texts.size(); ++i) rows.push_back(std::to_string(i));
    list_->setRecords(rows);
    view_ = new qtsupport::ItemListView(this);
    view_->setObjectName("lvLanguage");
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setModel(list_);
    view_->setColumnWidths({60, 480});
    layout->addWidget(view_, 1);
    auto* note = new QLabel(ToQString(LanguageTextsDialogModel::Note()), this);
    note->setObjectName("lblNote");
    layout->addWidget(note);
    auto* row = new QHBoxLayout;
    auto* change = new QPushButton(QStringLiteral("変更(&E)"), this);
    change->setObjectName("btnChange");
    row->addWidget(change);
    row->addStretch();
    auto* buttons = MakeButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    row->addWidget(buttons);
    layout->addLayout(row);
    connect(change, &QPushButton::clicked, this, &TLanguageDialog::Change);
    connect(view_, &qtsupport::ItemListView::rowActivated, this, [this](int) { Change(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    if (!rows.empty()) view_->selectRowOnly(0);
    resize(640, 420);
}

void TLanguageDialog::Change() {
    const int row = view_->currentRowIndex();
    if (row < 0) return;
    if (model_.Change(ui_, static_cast<std::size_t>(row))) list_->setRecord(row, list_->record(row));
}

// ---- TProcessOrderDialog ----

TProcessOrderDialog::TProcessOrderDialog(ProcessOrderDialogModel& model, Ui& ui, QWidget* parent)
    : QDialog(parent), model_(model), ui_(ui) {
    setObjectName("frmProcessOrderDialog");
    setWindowTitle(ToQString(ProcessOrderDialogModel::Caption()));
    auto* layout = new QVBoxLayout(this);
    pages_ = new QTabWidget(this);
    pages_->setObjectName("PageControl");
    layout->addWidget(pages_);
    BuildPage(ProcessOrderDialogModel::kInstall);
    BuildPage(ProcessOrderDialogModel::kUninstall);
    auto* note = new QLabel(ToQString(ProcessOrderDialogModel::Note()), this);
    note->setObjectName("lblNote");
    layout->addWidget(note);
    auto* buttons = MakeButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &TProcessOrderDialog::Ok);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [this] { ui_.ShowHelp(help_topic::kProcessOrder); });
    if (model.readOnly()) buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    resize(460, 400);
}

void TProcessOrderDialog::BuildPage(ProcessOrderDialogModel::List list) {
    const bool install = list == ProcessOrderDialogModel::kInstall;
    const QString suffix = install ? QStringLiteral("Install") : QStringLiteral("UnInstall");
    auto* page = new QWidget;
    page->setObjectName(install ? "tsInstall" : "tsUnInstall");
    auto* layout = new QVBoxLayout(page);
    Page& p = page_[list];
    p.enable = new QCheckBox(ToQString(ProcessOrderDialogModel::SwitchCaption(list)), page);
    p.enable->setObjectName("chk" + suffix + "Order");
    layout->addWidget(p.enable);
    qtsupport::ItemRecordFormat format;
    format.columns = {QStringLiteral("処理内容")};
    format.text = [list](const std::string& record, int) {
        return ProcessOrderDialogModel::StepCaption(list, ProcessOrderDialogModel::Kind(record));
    };
    format.checked = &ProcessOrderDialogModel::Ticked;
    format.setChecked = [](const std::string& record, bool on) { return SetItemFieldInt(record, 1, on ? 1 : 0); };
    format.icon = [](const std::string& record) { return ProcessOrderDialogModel::Kind(record); };
    const QStyle::StandardPixmap kIcons[ProcessOrderDialogModel::kKindCount] = {
        QStyle::SP_DirIcon,          QStyle::SP_FileLinkIcon,     QStyle::SP_DriveHDIcon, QStyle::SP_FileIcon,
        QStyle::SP_TrashIcon,        QStyle::SP_DialogDiscardButton, QStyle::SP_MediaPlay, QStyle::SP_MediaSeekForward,
    };
    for (QStyle::StandardPixmap icon : kIcons) format.icons.push_back(style()->standardIcon(icon));
    p.list = new qtsupport::ItemListModel(format, this);
    p.view = new qtsupport::ItemListView(page);
    p.view->setObjectName("lv" + suffix + "Order");
    p.view->setSelectionMode(QAbstractItemView::SingleSelection);
    p.view->horizontalHeader()->hide();
    p.view->setModel(p.list);
    auto* row = new QHBoxLayout;
    row->addWidget(p.view, 1);
    auto* buttons = new QVBoxLayout;
    p.up = new QPushButton(QStringLiteral("上へ(&U)"), page);
    p.up->setObjectName("btn" + suffix + "Up");
    p.down = new QPushButton(QStringLiteral("下へ(&N)"), page);
    p.down->setObjectName("btn" + suffix + "Down");
    p.defaults = new QPushButton(QStringLiteral("デフォルト(&D)"), page);
    p.defaults->setObjectName("btn" + suffix + "Default");
    buttons->addWidget(p.up);
    buttons->addWidget(p.down);
    buttons->addStretch();
    buttons->addWidget(p.defaults);
    row->addLayout(buttons);
    layout->addLayout(row);
    pages_->addTab(page, QString::fromUtf8(install ? "インストール" : "アンインストール"));

    p.enable->setChecked(model_.enabled(list));
    p.enable->setEnabled(!model_.readOnly());
    Reload(list);
    connect(p.enable, &QCheckBox::toggled, this, [this, list](bool on) {
        model_.SetEnabled(list, on);
        UpdateButtons(list);
    });
    connect(p.list, &qtsupport::ItemListModel::recordChecked, this,
            [this, list](int r, bool on) { model_.SetTicked(list, r, on); });
    connect(p.view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this, list] { UpdateButtons(list); });
    connect(p.up, &QPushButton::clicked, this, [this, list] { Move(list, true); });
    connect(p.down, &QPushButton::clicked, this, [this, list] { Move(list, false); });
    connect(p.defaults, &QPushButton::clicked, this, [this, list] {
        model_.RestoreDefault(list);
        Reload(list);
    });
}

void TProcessOrderDialog::Reload(ProcessOrderDialogModel::List list) {
    Page& p = page_[list];
    const int row = p.view->currentRowIndex();
    p.list->setRecords(model_.items(list));
    p.view->selectRowOnly(row < 0 ? 0 : row);
    UpdateButtons(list);
}

void TProcessOrderDialog::UpdateButtons(ProcessOrderDialogModel::List list) {
    Page& p = page_[list];
    const int row = p.view->currentRowIndex();
    const bool on = model_.ListEnabled(list);
    p.view->setEnabled(on);
    p.list->setEditable(on);
    p.defaults->setEnabled(on);
    p.up->setEnabled(model_.CanMoveUp(list, row));
    p.down->setEnabled(model_.CanMoveDown(list, row));
}

void TProcessOrderDialog::Move(ProcessOrderDialogModel::List list, bool up) {
    Page& p = page_[list];
    const int row = p.view->currentRowIndex();
    const bool moved = up ? model_.MoveUp(list, row, ui_) : model_.MoveDown(list, row, ui_);
    if (!moved) return;
    p.list->setRecords(model_.items(list));
    p.view->selectRowOnly(up ? row - 1 : row + 1);
    UpdateButtons(list);
}

void TProcessOrderDialog::Ok() {
    const std::optional<ProcessOrderDialogModel::List> refused = model_.Check(ui_);
    if (!refused) {
        accept();
        return;
    }
    pages_->setCurrentIndex(*refused);
    page_[*refused].view->setFocus();
}

}  // namespace zeriru::gui
