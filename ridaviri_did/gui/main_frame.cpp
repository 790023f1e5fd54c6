#include "ridaviri/gui/main_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "platform/shell.h"
#include "platform/winpath.h"
#include "qtsupport/message_box.h"
#include "qtsupport/sjis_text.h"
#include "ridaviri/gui/aux_windows.h"
#include "ridaviri/gui/dialogs.h"
#include "ridaviri/gui/graph_widget.h"
#include "ridaviri/gui/icons.h"

namespace ridaviri::gui {
namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }
QString Q(const std::string& sjis) { return qtsupport::ToQString(sjis); }

// Where the graph sits in its panel, and the room of the labels around it, pixels.
constexpr int kGraphLeft = 60;
constexpr int kGraphTop = 22;
constexpr int kLabelHeight = 16;
constexpr int kTimeLabelWidth = 76;
// How often the commands' enabling is looked at while nothing else asks, ms.
constexpr int kIdleUpdateMs = 250;

QLabel* PlacedLabel(const QString& text, const QRect& where, Qt::Alignment align, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(where);
    label->setAlignment(align);
    return label;
}

QMessageBox::Icon IconOf(MessageBoxKind kind) {
    switch (kind) {
    case MessageBoxKind::Error: return QMessageBox::Critical;
    case MessageBoxKind::Warning:
    case MessageBoxKind::QuestionExclamation: return QMessageBox::Warning;
    case MessageBoxKind::Information:
    case MessageBoxKind::QuestionInformation: return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

int ShowMonitorMessage(QWidget* parent, const MessageDefinition& box) {
    const bool question = IsQuestion(box.kind);
    const QMessageBox::StandardButton pressed = qtsupport::ShowMessageBox(
        parent, U(kApplicationTitle), qtsupport::ToDisplayText(box.text),
        question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, IconOf(box.kind));
    if (!question) return kAnswerOk;
    return pressed == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
}

// ------------------------------------------------------------------------------ the form

CTQView::CTQView(TQViewModel& model, std::function<void()> onDisplayChannels, QWidget* parent)
    : QWidget(parent), model_(model), view_(model.CurrentView()) {
    setObjectName(QStringLiteral("CTQView"));
    // The graph with its labels, placed at the graph's own pixel geometry.
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("graphPanel"));
    const int right = kGraphLeft + kMainGraphWidth;
    const int bottom = kGraphTop + kMainGraphHeight;
    panel->setFixedSize(right + kTimeLabelWidth / 2 + 8, bottom + 2 * kLabelHeight + 12);
    PlacedLabel(U("温度(℃)"), QRect(0, 0, 120, kLabelHeight), Qt::AlignLeft | Qt::AlignVCenter, panel);
    graph_ = new GraphArea(kMainGraphWidth, kMainGraphHeight, [this] { return view_.graph; }, panel);
    graph_->setObjectName(QStringLiteral("graph"));
    graph_->move(kGraphLeft, kGraphTop);
    for (int k = 0; k < kTemperatureLabels; ++k) {
        const int y = kGraphTop + k * kMainGraphHeight / (kTemperatureLabels - 1);
        temperatures_[k] = PlacedLabel(QString(), QRect(0, y - kLabelHeight / 2, kGraphLeft - 4, kLabelHeight),
                                       Qt::AlignRight | Qt::AlignVCenter, panel);
        temperatures_[k]->setObjectName(QStringLiteral("lblTemperature%1").arg(k));
    }
    for (int k = 0; k < kTimeLabels; ++k) {
        const int x = kGraphLeft + k * kMainGraphWidth / (kTimeLabels - 1);
        times_[k] = PlacedLabel(QString(), QRect(x - kTimeLabelWidth / 2, bottom + 4, kTimeLabelWidth, kLabelHeight),
                                Qt::AlignCenter, panel);
        times_[k]->setObjectName(QStringLiteral("lblTime%1").arg(k));
    }
    PlacedLabel(U("計測累計時間（時分秒）"), QRect(kGraphLeft, bottom + 8 + kLabelHeight, kMainGraphWidth + kTimeLabelWidth / 2, kLabelHeight),
                Qt::AlignRight | Qt::AlignVCenter, panel);

    // The interval, the channel selection and the twenty current values.
    interval_ = new QLineEdit(this);
    interval_->setObjectName(QStringLiteral("edtInterval"));
    interval_->setReadOnly(true);
    interval_->setAlignment(Qt::AlignRight);
    interval_->setFixedWidth(90);
    auto* select = new QPushButton(U("表示チャンネル番号選択"), this);
    select->setObjectName(QStringLiteral("btnDisplayChannels"));
    connect(select, &QPushButton::clicked, this, [onDisplayChannels] { onDisplayChannels(); });
    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(new QLabel(U("計測インターバル"), this));
    intervalRow->addWidget(interval_);
    intervalRow->addWidget(new QLabel(U("msec"), this));
    intervalRow->addStretch();

    auto* group = new QGroupBox(U("現在の温度"), this);
    auto* grid = new QGridLayout(group);
    grid->setVerticalSpacing(3);
    for (int c = 0; c < kChannelCount; ++c) {
        const int row = c % 10;
        const int column = c < 10 ? 0 : 5;
        auto* mark = new ColourMark(c + 1, group);
        mark->setObjectName(QStringLiteral("mark%1").arg(c + 1));
        values_[c] = new QLineEdit(group);
        values_[c]->setObjectName(QStringLiteral("edtValue%1").arg(c + 1));
        values_[c]->setReadOnly(true);
        values_[c]->setAlignment(Qt::AlignRight);
        values_[c]->setFixedWidth(84);
        grid->addWidget(mark, row, column);
        grid->addWidget(new QLabel(QStringLiteral("CH%1").arg(c + 1), group), row, column + 1);
        grid->addWidget(values_[c], row, column + 2);
        grid->addWidget(new QLabel(U("℃"), group), row, column + 3);
    }
    grid->setColumnMinimumWidth(4, 12);

    auto* side = new QVBoxLayout;
    side->addLayout(intervalRow);
    side->addWidget(select, 0, Qt::AlignLeft);
    side->addWidget(group);
    side->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(panel, 0, Qt::AlignTop);
    layout->addLayout(side);
    Refresh();
}

void CTQView::Refresh() {
    view_ = model_.CurrentView();
    for (int k = 0; k < kTemperatureLabels; ++k) temperatures_[k]->setText(Q(view_.temperatureLabels[k]));
    for (int k = 0; k < kTimeLabels; ++k) times_[k]->setText(Q(view_.timeLabels[k]));
    interval_->setText(Q(view_.interval));
    for (int c = 0; c < kChannelCount; ++c) values_[c]->setText(Q(view_.values[c]));
    graph_->update();
}

// ------------------------------------------------------------------------------ the windows

QtMonitorWindows::QtMonitorWindows(CMainFrame& frame, const MonitorSeams& seams)
    : frame_(frame), seams_(seams), posts_(&frame) {}

QtMonitorWindows::~QtMonitorWindows() {
    posts_.Close();
    CloseAll();
}

int QtMonitorWindows::Run(QDialog& dialog) {
    qtsupport::DialogRunner& runner = seams_.runner ? *seams_.runner : exec_;
    return runner.Run(dialog);
}

bool QtMonitorWindows::RunOpeningDialog(int* choice) {
    COpeningDlg dialog(*choice, &frame_);
    if (Run(dialog) != QDialog::Accepted) return false;
    *choice = dialog.Choice();
    return true;
}

bool QtMonitorWindows::RunSettingsDialog(SettingsDialogModel& model) {
    CSettingsDlg dialog(model, seams_.runner ? *seams_.runner : exec_, &frame_);
    return Run(dialog) == QDialog::Accepted;
}

bool QtMonitorWindows::RunGraphScalingDialog(GraphScalingDialogModel& model) {
    CGraphScalingDlg dialog(model, &frame_);
    return Run(dialog) == QDialog::Accepted;
}

bool QtMonitorWindows::RunChannelSelectionDialog(ChannelSelectionModel& model) {
    QWidget* parent = model.Kind() == ChannelSelectionKind::ListChannels && list_ ? static_cast<QWidget*>(list_) : &frame_;
    CChannelSelectDlg dialog(model, parent);
    return Run(dialog) == QDialog::Accepted;
}

void QtMonitorWindows::RunIdSettingDialog(IdSettingDialogModel& model) {
    CIdSettingDlg dialog(model, &frame_);
    Run(dialog);
}

void QtMonitorWindows::RunPowerFrequencyDialog(PowerFrequencyDialogModel& model) {
    CPowerFrequencyDlg dialog(model, &frame_);
    Run(dialog);
}

void QtMonitorWindows::RunCalibrationDialog(CalibrationDialogModel& model) {
    CCalibrationDlg dialog(model, &frame_);
    Run(dialog);
}

void QtMonitorWindows::RunManufacturingNumberWindow(ManufacturingNumberModel& model) {
    CManufacturingNumberDlg dialog(model, &frame_);
    Run(dialog);
}

void QtMonitorWindows::RunVersionBox() {
    CVersionDlg dialog(&frame_);
    Run(dialog);
}

void QtMonitorWindows::OpenGraphWindow(int half) {
    if (CAllChannelGraphWnd* old = graphs_[half]) {
        graphs_[half] = nullptr;
        old->StopUpdates();
        delete old;
    }
    TQViewModel& model = frame_.model();
    auto* window = new CAllChannelGraphWnd(
        half, model.Data(), model.Graph(), [this, half] { SwitchGraphWindow(half); },
        [this, half] { GraphWindowClosed(half); });
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    graphs_[half] = window;
    window->show();
    window->StartUpdates();
}

void QtMonitorWindows::ShowAllChannelGraph() {
    frame_.hide();
    OpenGraphWindow(0);
}

void QtMonitorWindows::SwitchGraphWindow(int from) {
    CAllChannelGraphWnd* current = graphs_[from];
    if (current) current->StopUpdates();
    OpenGraphWindow(1 - from);
    // The window switched away from stays hidden until it is replaced.
    if (current) current->hide();
}

void QtMonitorWindows::GraphWindowClosed(int half) {
    if (CAllChannelGraphWnd* window = graphs_[half]) {
        graphs_[half] = nullptr;
        window->deleteLater();
    }
    frame_.showNormal();
    frame_.raise();
}

void QtMonitorWindows::ShowMeasurementList() {
    if (list_) {
        list_->close();
        delete list_;
        list_ = nullptr;
    }
    TQViewModel& model = frame_.model();
    list_ = new CMeasurementListWnd(
        model.Data(), model.ListSelectionResult(),
        [this] {
            TQViewModel& m = frame_.model();
            ChannelSelectionModel selection(ChannelSelectionKind::ListChannels, m.Data(), m.Messages(),
                                            &m.ListSelectionResult());
            RunChannelSelectionDialog(selection);
        },
        [this] {
            if (list_) list_->deleteLater();
            list_ = nullptr;
        });
    list_->show();
    list_->Open();
}

void QtMonitorWindows::CloseAll() {
    for (int half = 0; half < 2; ++half) {
        if (CAllChannelGraphWnd* window = graphs_[half]) {
            graphs_[half] = nullptr;
            window->StopUpdates();
            delete window;
        }
    }
    if (CMeasurementListWnd* list = list_) {
        list_ = nullptr;
        delete list;
    }
}

std::optional<std::filesystem::path> QtMonitorWindows::AskSaveFile(const std::filesystem::path& folder) {
    if (seams_.askSaveFile) return seams_.askSaveFile(folder);
    QFileDialog dialog(&frame_, QString(), QString::fromStdString(folder.string()), QStringLiteral("CSV (*.csv)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        std::filesystem::path chosen(dialog.selectedFiles().front().toStdString());
        std::filesystem::path file = chosen;
        if (chosen.filename().string().find(".csv") == std::string::npos) file += ".csv";
        if (!std::filesystem::exists(file)) return chosen;
        const QMessageBox::StandardButton answer = qtsupport::ShowMessageBox(
            &dialog, U(kApplicationTitle),
            U("%1 は既に存在します。\n上書きしますか？").arg(QString::fromStdString(file.filename().string())),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning);
        if (answer == QMessageBox::Yes) return chosen;
    }
}

std::optional<std::filesystem::path> QtMonitorWindows::AskOpenFile(const std::filesystem::path& folder) {
    if (seams_.askOpenFile) return seams_.askOpenFile(folder);
    const QString file = QFileDialog::getOpenFileName(&frame_, QString(), QString::fromStdString(folder.string()),
                                                      QStringLiteral("CSV (*.csv)"));
    if (file.isEmpty()) return std::nullopt;
    return std::filesystem::path(file.toStdString());
}

void QtMonitorWindows::SetWaitCursor(bool busy) {
    if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
}

void QtMonitorWindows::ShowText(const std::string& text, MessageBoxKind kind) {
    if (seams_.showText) {
        seams_.showText(text, kind);
        return;
    }
    qtsupport::ShowMessageBox(QApplication::activeModalWidget() ? QApplication::activeModalWidget() : &frame_,
                              U(kApplicationTitle), qtsupport::ToDisplayText(text), QMessageBox::Ok, IconOf(kind));
}

void QtMonitorWindows::ShowHelpIndex() {
    if (seams_.showHelp) {
        seams_.showHelp();
        return;
    }
    const std::filesystem::path page = platform::shell::SuiteShareFolder() / "help" / "ridaviri_did.html";
    platform::shell::OpenWithShell(platform::winpath::ToWindowsPath(page));
}

void QtMonitorWindows::RequestClose() {
    posts_.poster()([this] { frame_.close(); });
}

void QtMonitorWindows::RequestRedraw() {
    // One refresh waits in the queue at most: the display thread may ask faster than it is drawn.
    if (redrawPending_.exchange(true)) return;
    posts_.poster()([this] {
        redrawPending_ = false;
        frame_.form().Refresh();
        frame_.UpdateCommands();
    });
}

// ------------------------------------------------------------------------------ the frame

CMainFrame::CMainFrame(Environment environment) : e_(std::move(environment)), posts_(this) {
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowTitle(U(kApplicationTitle));
    setWindowIcon(ProgramIcon());
    // No maximise box.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    windows_ = std::make_unique<QtMonitorWindows>(*this, e_.seams);
    model_ = std::make_unique<TQViewModel>(TQViewModel::Environment{e_.data, e_.transport, e_.messages, e_.clock,
                                                                    *windows_, e_.windowCall, e_.programFolder,
                                                                    e_.writer});
    form_ = new CTQView(*model_, [this] { action(MonitorCommand::DisplayChannelSelection)->trigger(); }, this);
    setCentralWidget(form_);
    BuildActions();
    // The form's button is the command of the same name, enabled as it is.
    QAction* display = actions_.at(MonitorCommand::DisplayChannelSelection);
    auto* button = form_->findChild<QPushButton*>(QStringLiteral("btnDisplayChannels"));
    button->setEnabled(display->isEnabled());
    connect(display, &QAction::enabledChanged, button, &QPushButton::setEnabled);
    BuildMenus();
    BuildToolBar();
    BuildStatusBar();
    idle_ = new QTimer(this);
    connect(idle_, &QTimer::timeout, this, [this] {
        if (deviceChangePending_) OnDeviceChange();
        UpdateCommands();
    });
    idle_->start(kIdleUpdateMs);
    watcher_ = std::make_unique<DeviceChangeWatcher>([post = posts_.poster(), this] { post([this] { OnDeviceChange(); }); });
    adjustSize();
}

void CMainFrame::OnDeviceChange() {
    deviceChangePending_ = QApplication::activeModalWidget() != nullptr;
    if (deviceChangePending_ || closed_) return;
    model_->Procedures().OnDeviceChange();
    UpdateCommands();
    form_->Refresh();
}

CMainFrame::~CMainFrame() {
    watcher_.reset();
    posts_.Close();
    idle_->stop();
    windows_->CloseAll();
    model_.reset();  // a running measurement stops here
}

void CMainFrame::BuildActions() {
    for (const CommandInfo& info : MonitorCommands()) {
        const QString text = U(info.text);
        auto* action = new QAction(text.section(QLatin1Char('\t'), 0, 0), this);
        action->setObjectName(QString::fromLatin1(info.objectName));
        action->setStatusTip(U(info.prompt));
        action->setToolTip(U(info.toolTip));
        const QString shortcut = text.section(QLatin1Char('\t'), 1);
        if (!shortcut.isEmpty()) action->setShortcut(QKeySequence(shortcut));
        const MonitorCommand command = info.command;
        connect(action, &QAction::triggered, this, [this, command] {
            UpdateCommands();
            model_->Execute(command);
            UpdateCommands();
        });
        actions_[command] = action;
    }
    actions_[MonitorCommand::MeasurementList]->setEnabled(false);
}

void CMainFrame::BuildMenus() {
    for (int m = 0; m < kMonitorMenuCount; ++m) {
        const auto menu = static_cast<MonitorMenu>(m);
        QMenu* bar = menuBar()->addMenu(U(MenuTitle(menu)));
        connect(bar, &QMenu::aboutToShow, this, [this] { UpdateCommands(); });
        for (const CommandInfo& info : MonitorCommands()) {
            if (info.menu == menu) bar->addAction(actions_.at(info.command));
        }
    }
}

void CMainFrame::BuildToolBar() {
    QToolBar* bar = new QToolBar(U("ツールバー"), this);
    bar->setObjectName(QStringLiteral("toolBar"));
    bar->setIconSize(QSize(32, 32));
    bar->setMovable(true);
    bar->setAllowedAreas(Qt::AllToolBarAreas);
    for (const ToolBarSlot& slot : MonitorToolBar()) {
        if (slot.separator) {
            bar->addSeparator();
            continue;
        }
        QAction* action = actions_.at(slot.command);
        action->setIcon(ToolBarIcon(slot.command));
        bar->addAction(action);
    }
    addToolBar(Qt::TopToolBarArea, bar);
}

void CMainFrame::BuildStatusBar() {
    statusBar()->setObjectName(QStringLiteral("statusBar"));
    // The keyboard indicators: the platform does not tell their state, so they stay grey.
    for (const char* indicator : {"ｶﾅ", "CAP", "NUM", "SCRL"}) {
        auto* label = new QLabel(U(indicator), this);
        label->setEnabled(false);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar()->addPermanentWidget(label);
    }
}

void CMainFrame::UpdateCommands() {
    for (auto& [command, action] : actions_) action->setEnabled(model_->Enabled(command));
}

bool CMainFrame::Start() {
    if (!model_->FirstUpdate()) {
        close();
        return false;
    }
    form_->Refresh();
    UpdateCommands();
    RestorePlacement();
    shown_ = true;
    return true;
}

void CMainFrame::RestorePlacement() {
    platform::registry::Registry fallback;
    platform::registry::Registry& registry = e_.seams.registry ? *e_.seams.registry : fallback;
    const WindowPlacement p = ReadWindowPlacement(registry);
    if (!p.Empty()) setGeometry(p.left, p.top, p.right - p.left, p.bottom - p.top);
    if (p.show == kShowMinimized) showMinimized();
    else show();
}

void CMainFrame::StorePlacement() {
    platform::registry::Registry fallback;
    platform::registry::Registry& registry = e_.seams.registry ? *e_.seams.registry : fallback;
    const QRect r = isMinimized() || isMaximized() ? normalGeometry() : geometry();
    WindowPlacement p{r.left(), r.top(), r.left() + r.width(), r.top() + r.height(),
                      isMinimized() ? kShowMinimized : kShowNormal};
    WriteWindowPlacement(registry, p);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    event->accept();
    if (closed_) return;
    closed_ = true;
    idle_->stop();
    windows_->CloseAll();
    model_->Exit();
    // A window that was never shown has no placement of its own to keep.
    if (shown_) StorePlacement();
    if (e_.seams.onClosed) e_.seams.onClosed();
}

}  // namespace ridaviri::gui
