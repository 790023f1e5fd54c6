#include "zeriru/gui/main_form.h"

#include "platform/shell.h"
#include "platform/sjis.h"
#include "qtsupport/single_instance.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/application_window.h"
#include "zeriru/gui/dialogs.h"
#include "zeriru/gui/message_list.h"
#include "zeriru/gui/qt_ui.h"
#include "zeriru/help_topics.h"
#include "zeriru/options_dialog_model.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <atomic>

namespace zeriru::gui {

using qtsupport::ToQString;

namespace {

// Refresh period of caption, status bar and commands, ms.
constexpr int kRefreshMs = 500;
// Smallest window, pixels.
constexpr int kMinWidth = 430;
constexpr int kMinHeight = 365;

struct ActionSpec {
    Action action;
    const char* name;     // object name
    const char* caption;  // menu text (UTF-8)
    QKeySequence shortcut;
};

const std::vector<ActionSpec>& ActionSpecs() {
    static const std::vector<ActionSpec> kSpecs = {
        {Action::New, "actNew", "新規作成(&N)", QKeySequence(Qt::CTRL | Qt::Key_N)},
        {Action::Open, "actOpen", "開く(&O)", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {Action::SaveAs, "actSaveAs", "名前を付けて保存(&S)", {}},
        {Action::Properties, "actPropertie", "プロパティ(&P)", QKeySequence(Qt::ALT | Qt::Key_Return)},
        {Action::ClearHistory, "actClearHistory", "履歴の削除(&F)", {}},
        {Action::Exit, "actExit", "終了(&X)", QKeySequence(Qt::ALT | Qt::Key_F4)},
        {Action::Build, "actCreateInstaller", "インストールファイルの作成(&C)", QKeySequence(Qt::CTRL | Qt::Key_F9)},
        {Action::RunInstaller, "actExecuteInstaller", "インストーラの起動(&R)", QKeySequence(Qt::Key_F9)},
        {Action::Initialize, "actInitialize", "プロジェクトの初期化(&P)", {}},
        {Action::AppInfo, "actAppInfo", "アプリケーション情報の設定(&I)", QKeySequence(Qt::Key_F2)},
        {Action::Files, "actFiles", "ファイル/フォルダの設定(&F)", QKeySequence(Qt::Key_F3)},
        {Action::ShortCut, "actShortCut", "ショートカットの設定(&S)", QKeySequence(Qt::Key_F4)},
        {Action::Registry, "actRegistry", "レジストリの設定(&G)", QKeySequence(Qt::Key_F5)},
        {Action::IniFile, "actIniFile", "INIファイルの設定(&I)", QKeySequence(Qt::Key_F6)},
        {Action::Uninstall, "actUnInstallOption", "アンインストールの設定(&U)", QKeySequence(Qt::Key_F7)},
        {Action::InstallerOption, "actInstallerOption", "インストーラの設定(&O)", QKeySequence(Qt::Key_F8)},
        {Action::ProcessOrder, "actProcessOrder", "処理順序の指定(&P)", {}},
        {Action::Protect, "actProtect", "プロジェクトの保護(&P)", {}},
        {Action::ToggleReadOnly, "actReadOnly", "読み取り属性の設定/解除(&R)", {}},
        {Action::Options, "actOption", "オプション(&O)", {}},
        {Action::HelpContents, "actHelpContents", "目次(&C)", QKeySequence(Qt::Key_F1)},
        {Action::HomePage, "actHomePage", "ホームページへ(&U)", {}},
        {Action::SupportPage, "actSupportPage", "サポートページへ(&S)", {}},
        {Action::ReportPage, "actReportPage", "作者へ報告(&B)", {}},
        {Action::CheckUpdate, "actCheckUpdate", "最新版をチェックする(&U)", {}},
        {Action::About, "actAbout", "バージョン情報(&A)", {}},
        {Action::Abort, "actAbort", "中止", {}},
    };
    return kSpecs;
}

Action ActionOf(SettingEditorKind kind) {
    return static_cast<Action>(static_cast<int>(Action::AppInfo) + static_cast<int>(kind));
}

}  // namespace

TMainForm::TMainForm(Seams seams) : s_(std::move(seams)) {
    setObjectName("MainForm");
    setMinimumSize(kMinWidth, kMinHeight);
    resize(640, 480);
    windows_ = s_.windows ? *s_.windows : DefaultEditorWindows(*s_.ui, *s_.runner, this);
    if (!s_.openUrl)
        s_.openUrl = [](const std::string& url) { return platform::shell::OpenWithShell(url).started; };
    if (!s_.fetchUpdate) {
        const std::filesystem::path folder = s_.environment->hostEditorFolder();
        s_.fetchUpdate = [folder](const HttpGetRequest& request) { return FetchUpdateInformation(folder, request); };
    }
    MainWindowModel::Hooks hooks;
    hooks.propertiesDialog = windows_.propertiesDialog;
    hooks.createOptionDialog = windows_.createOptionDialog;
    hooks.settingEditors = windows_.settingEditors;
    hooks.hintDialog = [this](HintDialogModel& hint) { OnShowHint(hint); };
    hooks.openUrl = s_.openUrl;
    model_ = std::make_unique<MainWindowModel>(*s_.ui, *s_.environment, hooks);

    BuildActions();
    BuildMenus();
    BuildToolBar();
    BuildPages();
    BuildStatusBar();
    if (auto* qtUi = dynamic_cast<QtUi*>(s_.ui)) {
        qtUi->SetParent(this);
        qtUi->onProgress = [this](uint64_t position, uint64_t total, std::string_view) {
            progress_->setVisible(total > 0);
            progressLabel_->setVisible(total > 0);
            if (total == 0) return;
            progress_->setRange(0, static_cast<int>(std::min<uint64_t>(total, INT32_MAX)));
            progress_->setValue(static_cast<int>(std::min<uint64_t>(position, INT32_MAX)));
        };
    }
    timer_ = new QTimer(this);
    timer_->setObjectName("tmrRefresh");
    timer_->setInterval(kRefreshMs);
    connect(timer_, &QTimer::timeout, this, &TMainForm::RefreshFromModel);
    timer_->start();
    RefreshFromModel();
}

TMainForm::~TMainForm() {
    WaitForUpdateCheck();
    if (auto* qtUi = dynamic_cast<QtUi*>(s_.ui)) qtUi->onProgress = nullptr;
}

int TMainForm::RunDialog(QDialog& dialog) {
    // A dialog that was filled is interactive now: its hints may show.
    model_->hints().Enable();
    return s_.runner->Run(dialog);
}

void TMainForm::BuildActions() {
    for (const ActionSpec& spec : ActionSpecs()) {
        auto* a = new QAction(QString::fromUtf8(spec.caption), this);
        a->setObjectName(spec.name);
        if (!spec.shortcut.isEmpty()) {
            a->setShortcut(spec.shortcut);
            a->setShortcutContext(Qt::WindowShortcut);
        }
        actions_[spec.action] = a;
    }
    QStyle* st = style();
    action(Action::New)->setIcon(st->standardIcon(QStyle::SP_FileIcon));
    action(Action::Open)->setIcon(st->standardIcon(QStyle::SP_DialogOpenButton));
    action(Action::SaveAs)->setIcon(st->standardIcon(QStyle::SP_DialogSaveButton));
    action(Action::Properties)->setIcon(st->standardIcon(QStyle::SP_FileDialogDetailedView));
    action(Action::Build)->setIcon(st->standardIcon(QStyle::SP_DriveHDIcon));
    action(Action::RunInstaller)->setIcon(st->standardIcon(QStyle::SP_MediaPlay));
    // The toolbar's own texts.
    action(Action::New)->setIconText(QStringLiteral("新規作成"));
    action(Action::Open)->setIconText(QStringLiteral("開く"));
    action(Action::SaveAs)->setIconText(QStringLiteral("名前を付けて保存"));
    action(Action::Properties)->setIconText(QStringLiteral("プロパティ"));
    action(Action::Build)->setIconText(QStringLiteral("インストールファイルの作成"));
    action(Action::RunInstaller)->setIconText(QStringLiteral("インストーラの起動"));

    connect(action(Action::New), &QAction::triggered, this, [this] {
        model_->NewProject();
        RefreshFromModel();
    });
    connect(action(Action::Open), &QAction::triggered, this, [this] {
        model_->OpenProjectWithDialog();
        RefreshFromModel();
    });
    connect(action(Action::SaveAs), &QAction::triggered, this, [this] {
        model_->SaveAs();
        RefreshFromModel();
    });
    connect(action(Action::Properties), &QAction::triggered, this, [this] {
        model_->Properties();
        RefreshFromModel();
    });
    connect(action(Action::ClearHistory), &QAction::triggered, this, [this] {
        model_->ClearHistory();
        RefreshFromModel();
    });
    connect(action(Action::Exit), &QAction::triggered, this, &QWidget::close);
    connect(action(Action::Build), &QAction::triggered, this, &TMainForm::OnBuild);
    connect(action(Action::RunInstaller), &QAction::triggered, this, [this] { model_->RunInstaller(); });
    connect(action(Action::Initialize), &QAction::triggered, this, &TMainForm::OnInitialize);
    for (int i = 0; i < kSettingEditorCount; ++i) {
        const auto kind = static_cast<SettingEditorKind>(i);
        connect(action(ActionOf(kind)), &QAction::triggered, this, [this, kind] {
            model_->EditSetting(kind);
            RefreshFromModel();
        });
    }
    connect(action(Action::ProcessOrder), &QAction::triggered, this, &TMainForm::OnProcessOrder);
    connect(action(Action::Protect), &QAction::triggered, this, &TMainForm::OnProtect);
    connect(action(Action::ToggleReadOnly), &QAction::triggered, this, [this] {
        model_->commands().ToggleReadOnly();
        RefreshFromModel();
    });
    connect(action(Action::Options), &QAction::triggered, this, &TMainForm::OnOptions);
    connect(action(Action::HelpContents), &QAction::triggered, this, [this] { s_.ui->ShowHelp(help_topic::kContents); });
    for (Action page : {Action::HomePage, Action::SupportPage, Action::ReportPage})
        connect(action(page), &QAction::triggered, this, [this, page] { model_->OpenWebPage(page); });
    connect(action(Action::CheckUpdate), &QAction::triggered, this, &TMainForm::OnCheckUpdate);
    connect(action(Action::About), &QAction::triggered, this, &TMainForm::OnAbout);
    connect(action(Action::Abort), &QAction::triggered, this, [this] { model_->Abort(); });
    // Every action works from the keyboard even when its menu is closed.
    for (const auto& [a, qa] : actions_) addAction(qa);
}

void TMainForm::BuildMenus() {
    QMenu* project = menuBar()->addMenu(QStringLiteral("プロジェクト(&P)"));
    project->setObjectName("mnuProject");
    project->addAction(action(Action::New));
    project->addAction(action(Action::Open));
    project->addAction(action(Action::SaveAs));
    project->addAction(action(Action::Properties));
    project->addSeparator();
    historyMenu_ = project->addMenu(QStringLiteral("ファイル履歴"));
    historyMenu_->setObjectName("mnuHistory");
    project->addSeparator();
    project->addAction(action(Action::Exit));
    connect(project, &QMenu::aboutToShow, this, [this] {
        model_->Refresh();
        UpdateView();
        FillHistoryMenu(historyMenu_);
    });

    QMenu* edit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    edit->setObjectName("mnuEdit");
    edit->addAction(action(Action::Build));
    edit->addAction(action(Action::RunInstaller));
    edit->addSeparator();
    edit->addAction(action(Action::Initialize));

    QMenu* process = menuBar()->addMenu(QStringLiteral("処理(&R)"));
    process->setObjectName("mnuProcess");
    for (int i = 0; i < kSettingEditorCount; ++i) process->addAction(action(ActionOf(static_cast<SettingEditorKind>(i))));
    process->addSeparator();
    process->addAction(action(Action::ProcessOrder));

    QMenu* tools = menuBar()->addMenu(QStringLiteral("ツール(&T)"));
    tools->setObjectName("mnuTools");
    QMenu* protect = tools->addMenu(QStringLiteral("保護(&P)"));
    protect->setObjectName("mnuProtect");
    protect->addAction(action(Action::Protect));
    protect->addAction(action(Action::ToggleReadOnly));
    tools->addAction(action(Action::Options));

    QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    help->setObjectName("mnuHelp");
    help->addAction(action(Action::HelpContents));
    help->addSeparator();
    help->addAction(action(Action::HomePage));
    help->addAction(action(Action::SupportPage));
    help->addAction(action(Action::ReportPage));
    help->addAction(action(Action::CheckUpdate));
    help->addSeparator();
    help->addAction(action(Action::About));
    FillHistoryMenu(historyMenu_);
}

void TMainForm::FillHistoryMenu(QMenu* menu) {
    menu->clear();
    const std::vector<std::string> entries = model_->HistoryMenu();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        QAction* entry = menu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(ToQString(entries[i])));
        entry->setObjectName(QStringLiteral("actHistory%1").arg(i));
        const int index = static_cast<int>(i);
        connect(entry, &QAction::triggered, this, [this, index] {
            model_->OpenHistoryEntry(index);
            RefreshFromModel();
        });
    }
    if (menu == historyMenu_) {
        menu->addSeparator();
        menu->addAction(action(Action::ClearHistory));
        // An empty history is one disabled entry "ファイル履歴".
        menu->menuAction()->setEnabled(!entries.empty() && !model_->building());
    }
}

void TMainForm::BuildToolBar() {
    toolBar_ = addToolBar(QStringLiteral("標準"));
    toolBar_->setObjectName("tbStandard");
    toolBar_->setMovable(false);
    // Icons only, each with its text as tool tip: the buttons fit the smallest window.
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const std::pair<Action, const char*> buttons[] = {
        {Action::New, "tbNew"}, {Action::Open, "tbOpen"}, {Action::SaveAs, "tbSaveAs"},
        {Action::Properties, "tbPropertie"}, {Action::Build, "tbCreateInstaller"},
        {Action::RunInstaller, "tbExecuteInstaller"},
    };
    for (const auto& [a, name] : buttons) {
        if (a == Action::Build) toolBar_->addSeparator();
        toolBar_->addAction(action(a));
        toolBar_->widgetForAction(action(a))->setObjectName(name);
    }
    // The open button drops down the file history.
    toolbarHistory_ = new QMenu(this);
    toolbarHistory_->setObjectName("mnuOpenHistory");
    connect(toolbarHistory_, &QMenu::aboutToShow, this, [this] { FillHistoryMenu(toolbarHistory_); });
    if (auto* open = qobject_cast<QToolButton*>(toolBar_->widgetForAction(action(Action::Open)))) {
        open->setMenu(toolbarHistory_);
        open->setPopupMode(QToolButton::MenuButtonPopup);
    }
}

void TMainForm::BuildPages() {
    pages_ = new QTabWidget(this);
    pages_->setObjectName("PageControl");
    pages_->setTabPosition(QTabWidget::South);
    setCentralWidget(pages_);

    optionPage_ = new QWidget;
    optionPage_->setObjectName("tsOption");
    auto* grid = new QGridLayout(optionPage_);
    grid->setColumnStretch(1, 1);
    for (int i = 0; i < kSettingEditorCount; ++i) {
        const auto kind = static_cast<SettingEditorKind>(i);
        auto* mark = new QPushButton(optionPage_);
        mark->setObjectName(SettingButtonName(kind));
        mark->setFixedSize(32, 28);
        auto* label = new QPushButton(ToQString(SettingButtonLabel(kind)), optionPage_);
        label->setObjectName(QString::fromLatin1(SettingButtonName(kind)).replace(0, 3, QStringLiteral("lbl")));
        label->setFlat(true);
        label->setStyleSheet(QStringLiteral("text-align: left; padding: 2px 6px;"));
        QAction* a = action(ActionOf(kind));
        connect(mark, &QPushButton::clicked, a, &QAction::trigger);
        connect(label, &QPushButton::clicked, a, &QAction::trigger);
        grid->addWidget(mark, i, 0);
        grid->addWidget(label, i, 1);
        marks_[static_cast<std::size_t>(i)] = mark;
        labels_[static_cast<std::size_t>(i)] = label;
    }
    grid->setRowStretch(kSettingEditorCount, 1);
    pages_->addTab(optionPage_, QStringLiteral("設定"));

    messagePage_ = new QWidget;
    messagePage_->setObjectName("tsMessage");
    auto* layout = new QVBoxLayout(messagePage_);
    messages_ = new BuildMessageListModel(this);
    messageView_ = new QTableView(messagePage_);
    messageView_->setObjectName("lvMessageList");
    messageView_->setModel(messages_);
    messageView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    messageView_->setSelectionMode(QAbstractItemView::SingleSelection);
    messageView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    messageView_->setShowGrid(false);
    messageView_->setWordWrap(false);
    messageView_->verticalHeader()->hide();
    messageView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    messageView_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    messageView_->horizontalHeader()->setStretchLastSection(true);
    messageView_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    messageView_->setColumnHidden(BuildMessageListModel::kErrorId, true);
    connect(messageView_, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        if (index.isValid()) model_->OpenMessageHelp(messages_->messages()[static_cast<std::size_t>(index.row())].helpTopic);
    });
    layout->addWidget(messageView_, 1);
    auto* row = new QHBoxLayout;
    progressLabel_ = new QLabel(QStringLiteral("処理 :"), messagePage_);
    progressLabel_->setObjectName("lblProcess");
    progress_ = new QProgressBar(messagePage_);
    progress_->setObjectName("pbProcess");
    progress_->setTextVisible(false);
    abort_ = new QPushButton(QStringLiteral("中止"), messagePage_);
    abort_->setObjectName("btnAbort");
    connect(abort_, &QPushButton::clicked, action(Action::Abort), &QAction::trigger);
    row->addWidget(progressLabel_);
    row->addWidget(progress_, 1);
    row->addWidget(abort_);
    layout->addLayout(row);
    pages_->addTab(messagePage_, QStringLiteral("メッセージ"));

    auto* next = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown), this);
    connect(next, &QShortcut::activated, this,
            [this] { pages_->setCurrentIndex((pages_->currentIndex() + 1) % pages_->count()); });
    auto* previous = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp), this);
    connect(previous, &QShortcut::activated, this,
            [this] { pages_->setCurrentIndex((pages_->currentIndex() + pages_->count() - 1) % pages_->count()); });
}

void TMainForm::BuildStatusBar() {
    statusBar()->setObjectName("StatusBar");
    const char* names[4] = {"pnlTitle", "pnlProjectName", "pnlCreateType", "pnlReadOnly"};
    const int stretch[4] = {0, 1, 0, 0};
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QLabel(statusBar());
        panel->setObjectName(names[i]);
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setMinimumWidth(i == 3 ? 70 : 90);
        statusBar()->addWidget(panel, stretch[i]);
        panels_[static_cast<std::size_t>(i)] = panel;
    }
}

void TMainForm::RefreshFromModel() {
    model_->Refresh();
    UpdateView();
}

void TMainForm::UpdateView() {
    const MainWindowState& st = model_->state();
    setWindowTitle(ToQString(st.caption));
    const std::array<std::string, 4> blank = {platform::sjis::S("プロジェクト名"), "", "", ""};
    const auto& texts = st.projectOpen ? st.statusPanels : blank;
    for (std::size_t i = 0; i < panels_.size(); ++i) panels_[i]->setText(ToQString(texts[i]));
    for (const auto& [a, qa] : actions_) {
        const ActionState s = model_->StateOf(a);
        qa->setEnabled(s.enabled);
        qa->setVisible(s.visible);
    }
    action(Action::Build)->setText(ToQString(model_->BuildCaption()));
    const auto& captions = model_->ButtonCaptions();
    for (int i = 0; i < kSettingEditorCount; ++i) {
        const bool enabled = action(ActionOf(static_cast<SettingEditorKind>(i)))->isEnabled();
        marks_[static_cast<std::size_t>(i)]->setText(st.projectOpen ? ToQString(captions[static_cast<std::size_t>(i)]) : QString());
        marks_[static_cast<std::size_t>(i)]->setEnabled(enabled);
        labels_[static_cast<std::size_t>(i)]->setEnabled(enabled);
    }
    abort_->setEnabled(model_->building());
    historyMenu_->menuAction()->setEnabled(!model_->HistoryMenu().empty() && !model_->building());
}

void TMainForm::StartUp(const std::vector<std::string>& args) {
    model_->OpenStartProject(args);
    if (const auto size = model_->StartWindowSize()) {
        if (size->maximized)
            setWindowState(windowState() | Qt::WindowMaximized);
        else
            resize(size->width, size->height);
    }
    RefreshFromModel();
    if (model_->CheckUpdateAtStartup()) {
        // Off the window's thread: a silent server must not freeze the window for 6 s.
        const HttpGetRequest request = UpdateRequest(s_.environment->settings());
        auto fetch = s_.fetchUpdate;
        auto information = std::make_shared<std::optional<UpdateInformation>>();
        // Made here, run there: the report reaches this window through its event loop.
        auto report = qtsupport::QueuedTo(this, [this, information] { model_->ReportStartupUpdate(*information); });
        updateCheck_ = std::thread([fetch, request, information, report] {
            *information = fetch(request);
            report();
        });
    }
}

void TMainForm::WaitForUpdateCheck() {
    if (updateCheck_.joinable()) updateCheck_.join();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (model_->building()) {
        // The build ends at its next item; the window closes when it has.
        model_->Abort();
        closeAfterBuild_ = true;
        event->ignore();
        return;
    }
    const QRect normal = normalGeometry();
    model_->Shutdown(isMaximized(), normal.width(), normal.height());
    timer_->stop();
    event->accept();
}

void TMainForm::OnBuild() {
    MainWindowModel::BuildView view;
    view.onStart = [this] {
        messages_->clear();
        pages_->setCurrentWidget(messagePage_);
        optionPage_->setEnabled(false);
        UpdateView();
    };
    view.onMessage = [this](const BuildMessage& message) {
        messages_->append(message);
        messageView_->scrollToBottom();
    };
    view.onFinish = [this](bool succeeded) {
        progress_->setValue(0);
        optionPage_->setEnabled(true);
        if (succeeded) pages_->setCurrentWidget(optionPage_);
    };
    model_->Build(view);
    RefreshFromModel();
    if (closeAfterBuild_) {
        closeAfterBuild_ = false;
        close();
    }
}

void TMainForm::OnProcessOrder() {
    if (!model_->StateOf(Action::ProcessOrder).enabled) return;
    const auto& path = model_->commands().project().projectFilePath;
    TIniDocument project(path);
    const bool readOnly = IsReadOnlyFile(path);
    ProcessOrderDialogModel order(project, TIniDocument(s_.environment->EditorDataFile()), readOnly);
    TProcessOrderDialog dialog(order, *s_.ui, this);
    if (RunDialog(dialog) != QDialog::Accepted || readOnly) return;
    order.WriteTo(project);
    if (!project.UpdateFile()) s_.ui->Error(platform::sjis::S("プロジェクトファイルの保存に失敗しました。"));
}

void TMainForm::OnOptions() {
    OptionsDialogModel options(s_.environment->settings());
    TfrmConfigDialog dialog(options, *s_.ui, this);
    RunDialog(dialog);
    RefreshFromModel();
}

void TMainForm::OnProtect() {
    model_->commands().ProtectProject([this](ProtectProjectDialogModel& protect) {
        TProtectDialog dialog(protect, this);
        return RunDialog(dialog) == QDialog::Accepted;
    });
    RefreshFromModel();
}

void TMainForm::OnInitialize() {
    if (!model_->StateOf(Action::Initialize).enabled) return;
    model_->commands().InitializeProject([this](InitializeProjectDialogModel& initialize) {
        TInitializeDialog dialog(initialize, *s_.ui, this);
        return RunDialog(dialog) == QDialog::Accepted;
    });
    RefreshFromModel();
}

void TMainForm::OnAbout() {
    TAboutDialog dialog(s_.openUrl, this);
    RunDialog(dialog);
}

void TMainForm::OnCheckUpdate() {
    const HttpGetRequest request = UpdateRequest(s_.environment->settings());
    auto fetch = s_.fetchUpdate;
    const UpdateCheckOutcome outcome = model_->CheckUpdateFromMenu([&] {
        // The fetch runs on a thread of its own; the window keeps repainting meanwhile.
        std::optional<UpdateInformation> information;
        std::atomic<bool> done{false};
        std::thread worker([&] {
            information = fetch(request);
            done = true;
        });
        while (!done) {
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        worker.join();
        return information;
    });
    if (outcome == UpdateCheckOutcome::Opened) close();
}

void TMainForm::OnShowHint(HintDialogModel& hint) {
    THintDialog dialog(hint, this);
    s_.runner->Run(dialog);
}

void HandOverToFirstCopy(Ui& ui) {
    // The first copy's window comes up first, so the message shows above it.
    qtsupport::SingleInstance::AskToFront(kApplicationTitle);
    ui.ShowMessage(platform::sjis::S("Raredovoはすでに起動されています。"));
}

int RunWindowProgram(int& argc, char** argv, const std::vector<std::string>& args, EditorEnvironment::Paths paths) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    qtsupport::UseJapaneseFont();
    QtUi ui;
    qtsupport::SingleInstance instance("VE_ZOVAVA2");
    if (instance.otherCopyRunning()) {
        HandOverToFirstCopy(ui);
        return 0;
    }
    EditorEnvironment environment(std::move(paths));
    qtsupport::ExecDialogRunner runner;
    TMainForm::Seams seams;
    seams.ui = &ui;
    seams.runner = &runner;
    seams.environment = &environment;
    TMainForm form(seams);
    // The application window "Raredovo" that a second copy and ROZIVU look for. Its messages are
    // served by the window-message dispatcher's own thread, so a build waiting in an archiver's
    // dialog still gets ROZIVU's; only bring-to-front comes to this thread.
    instance.ServeBringToFront(kApplicationTitle, &form);
    form.show();
    form.StartUp(args);
    return QApplication::exec();
}

}  // namespace zeriru::gui
