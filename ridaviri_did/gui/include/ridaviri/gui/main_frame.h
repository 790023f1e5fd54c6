// The monitor's main window on Qt: CMainFrame with its menus, tool bar and status bar made of
// one QAction per command, around the form CTQView (the graph, its labels, the interval and the
// twenty current values). Everything shown comes from TQViewModel; every dialog opens through
// the dialog runner and every message through the message function, so tests drive the whole
// window offscreen.
#pragma once

#include <QMainWindow>
#include <QWidget>

#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "qtsupport/dialog_runner.h"
#include "ridaviri/device_changes.h"
#include "ridaviri/gui/post_box.h"
#include "ridaviri/ui/tq_view.h"
#include "ridaviri/ui/window_placement.h"

class QLabel;
class QLineEdit;
class QTimer;

namespace ridaviri::gui {

class CAllChannelGraphWnd;
class CMeasurementListWnd;
class CMainFrame;
class GraphArea;

// The form: the graph with its axis labels, the interval field, the button and the values.
class CTQView : public QWidget {
public:
    CTQView(TQViewModel& model, std::function<void()> onDisplayChannels, QWidget* parent);
    // Takes the model's view: labels, fields, graph.
    void Refresh();

private:
    TQViewModel& model_;
    TQViewModel::View view_;
    GraphArea* graph_ = nullptr;
    std::array<QLabel*, kTemperatureLabels> temperatures_{};
    std::array<QLabel*, kTimeLabels> times_{};
    QLineEdit* interval_ = nullptr;
    std::array<QLineEdit*, kChannelCount> values_{};
};

// What the windows use of the world; tests replace each.
struct MonitorSeams {
    // Runs modal dialogs; exec() when null.
    qtsupport::DialogRunner* runner = nullptr;
    // The platform's file dialogs (host paths); Qt's when empty.
    std::function<std::optional<std::filesystem::path>(const std::filesystem::path& folder)> askSaveFile;
    std::function<std::optional<std::filesystem::path>(const std::filesystem::path& folder)> askOpenFile;
    // The help index; the desktop's handler with the monitor's help page when empty.
    std::function<void()> showHelp;
    // A box with a text of its own (Shift-JIS); a Qt message box when empty.
    std::function<void(const std::string& text, MessageBoxKind kind)> showText;
    // Where the window's placement is kept; the prefix's registry when null.
    platform::registry::Registry* registry = nullptr;
    // Called when the main window has closed (the program's event loop ends).
    std::function<void()> onClosed;
};

// The windows of the view: dialogs through the runner, the auxiliary windows, file dialogs.
class QtMonitorWindows : public MonitorWindows {
public:
    QtMonitorWindows(CMainFrame& frame, const MonitorSeams& seams);
    ~QtMonitorWindows() override;

    bool RunOpeningDialog(int* choice) override;
    bool RunSettingsDialog(SettingsDialogModel& model) override;
    bool RunGraphScalingDialog(GraphScalingDialogModel& model) override;
    bool RunChannelSelectionDialog(ChannelSelectionModel& model) override;
    void RunIdSettingDialog(IdSettingDialogModel& model) override;
    void RunPowerFrequencyDialog(PowerFrequencyDialogModel& model) override;
    void RunCalibrationDialog(CalibrationDialogModel& model) override;
    void RunManufacturingNumberWindow(ManufacturingNumberModel& model) override;
    void RunVersionBox() override;
    void ShowAllChannelGraph() override;
    void ShowMeasurementList() override;
    std::optional<std::filesystem::path> AskSaveFile(const std::filesystem::path& folder) override;
    std::optional<std::filesystem::path> AskOpenFile(const std::filesystem::path& folder) override;
    void SetWaitCursor(bool busy) override;
    void ShowText(const std::string& text, MessageBoxKind kind) override;
    void ShowHelpIndex() override;
    void RequestClose() override;
    void RequestRedraw() override;

    // The graph window of each kind (CH1-CH10, CH11-CH20) and the list, null when none.
    CAllChannelGraphWnd* GraphWindow(int half) const { return graphs_[half]; }
    CMeasurementListWnd* ListWindow() const { return list_; }
    // Closes the auxiliary windows (at exit).
    void CloseAll();

private:
    int Run(QDialog& dialog);
    void OpenGraphWindow(int half);
    void SwitchGraphWindow(int from);
    void GraphWindowClosed(int half);

    CMainFrame& frame_;
    MonitorSeams seams_;
    qtsupport::ExecDialogRunner exec_;
    PostBox posts_;
    std::atomic<bool> redrawPending_{false};
    std::array<CAllChannelGraphWnd*, 2> graphs_{};
    CMeasurementListWnd* list_ = nullptr;
};

class CMainFrame : public QMainWindow {
public:
    struct Environment {
        MonitorData& data;
        SensorTransport& transport;
        MessageFunction& messages;
        MeasurementClock& clock;
        WindowThreadCall& windowCall;
        std::filesystem::path programFolder;
        ProfileWriter& writer;
        MonitorSeams seams;
    };

    explicit CMainFrame(Environment environment);
    ~CMainFrame() override;

    TQViewModel& model() { return *model_; }
    QtMonitorWindows& windows() { return *windows_; }
    CTQView& form() { return *form_; }
    QAction* action(MonitorCommand command) const { return actions_.at(command); }

    // Program start: the form's first update (the opening dialog and the check), then the
    // window shown where it was last. false when the opening dialog ended the program; the
    // exit procedure has run then.
    bool Start();
    // The enabling pass over every command.
    void UpdateCommands();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildActions();
    void BuildMenus();
    void BuildToolBar();
    void BuildStatusBar();
    void RestorePlacement();
    void StorePlacement();
    // A unit or board came or went: the recheck of an idle monitor, once no dialog is open
    // (a check meanwhile would overwrite the table a dialog is editing).
    void OnDeviceChange();

    Environment e_;
    PostBox posts_;
    std::unique_ptr<QtMonitorWindows> windows_;
    std::unique_ptr<TQViewModel> model_;
    CTQView* form_ = nullptr;
    std::map<MonitorCommand, QAction*> actions_;
    QTimer* idle_ = nullptr;
    std::unique_ptr<DeviceChangeWatcher> watcher_;
    bool deviceChangePending_ = false;
    bool shown_ = false;
    bool closed_ = false;
};

// A message box of the monitor: the number's icon and buttons, the title of the program.
int ShowMonitorMessage(QWidget* parent, const MessageDefinition& box);

}  // namespace ridaviri::gui
