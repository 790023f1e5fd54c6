// The main view CTQView without widgets: program start (the opening dialog and the sensor
// check), every command of the main frame with its rules, the main graph with its labels and
// value fields, and the display thread's hand-over of each new sample. The windows are reached
// through MonitorWindows; a test drives the whole view with scripted windows.
#pragma once

#include <array>
#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "ridaviri/configuration.h"
#include "ridaviri/measurement.h"
#include "ridaviri/message_function.h"
#include "ridaviri/sensor_check.h"
#include "ridaviri/ui/commands.h"
#include "ridaviri/ui/device_dialogs.h"
#include "ridaviri/ui/graph_model.h"
#include "ridaviri/ui/setting_dialogs.h"
#include "ridaviri/ui/window_call.h"

namespace ridaviri {

class CalibrationDialogModel;

// Graph modes of the main graph.
inline constexpr int kGraphNothing = 0;  // nothing is plotted
inline constexpr int kGraphPlot = 1;
inline constexpr int kGraphBlank = 2;    // emptied by the settings; nothing until a start, open or selection

// What the main view needs of the windows. Dialogs are modal: each call returns when the
// dialog closed. Everything but RequestRedraw and RequestClose is called on the window's thread.
class MonitorWindows {
public:
    virtual ~MonitorWindows() = default;

    // The opening dialog with radio button *choice checked: true for OK (*choice the button
    // then checked), false for "終了".
    virtual bool RunOpeningDialog(int* choice) = 0;
    virtual bool RunSettingsDialog(SettingsDialogModel& model) = 0;
    virtual bool RunGraphScalingDialog(GraphScalingDialogModel& model) = 0;
    virtual bool RunChannelSelectionDialog(ChannelSelectionModel& model) = 0;
    virtual void RunIdSettingDialog(IdSettingDialogModel& model) = 0;
    virtual void RunPowerFrequencyDialog(PowerFrequencyDialogModel& model) = 0;
    virtual void RunCalibrationDialog(CalibrationDialogModel& model) = 0;
    virtual void RunManufacturingNumberWindow(ManufacturingNumberModel& model) = 0;
    virtual void RunVersionBox() = 0;
    // The modeless windows: the CH1-CH10 graph window (the main window hidden meanwhile) and
    // the measurement list.
    virtual void ShowAllChannelGraph() = 0;
    virtual void ShowMeasurementList() = 0;
    // File dialogs starting in `folder` (host paths); nullopt when cancelled.
    virtual std::optional<std::filesystem::path> AskSaveFile(const std::filesystem::path& folder) = 0;
    virtual std::optional<std::filesystem::path> AskOpenFile(const std::filesystem::path& folder) = 0;
    virtual void SetWaitCursor(bool busy) = 0;
    // A box with a text of its own (Shift-JIS).
    virtual void ShowText(const std::string& text, MessageBoxKind kind) = 0;
    virtual void ShowHelpIndex() = 0;
    // Any thread: the main window's close request (handled later on the window's thread), and
    // "the view changed, draw it again".
    virtual void RequestClose() = 0;
    virtual void RequestRedraw() = 0;
};

class TQViewModel : public CheckUi {
public:
    struct Environment {
        MonitorData& data;
        SensorTransport& transport;
        MessageFunction& messages;
        MeasurementClock& clock;
        MonitorWindows& windows;
        WindowThreadCall& windowCall;  // saving asked for by another thread runs on the window's
        std::filesystem::path programFolder;  // host folder of Zuzodavu.INI and log
        ProfileWriter& writer;                // the configuration file's writer
    };

    explicit TQViewModel(Environment environment);
    ~TQViewModel() override;
    TQViewModel(const TQViewModel&) = delete;
    TQViewModel& operator=(const TQViewModel&) = delete;

    MonitorData& Data() { return e_.data; }
    SensorProcedures& Procedures() { return procedures_; }
    Measurement& Measure() { return *measurement_; }
    GraphSettings& Graph() { return graph_; }
    std::atomic<int>& ListSelectionResult() { return listResult_; }
    MessageFunction& Messages() { return e_.messages; }
    const std::filesystem::path& ProgramFolder() const { return e_.programFolder; }

    // ---- start and exit ----
    // The first update of the form: the opening dialog, the check, the labels. false when the
    // opening dialog's "終了" asked the main window to close.
    bool FirstUpdate();
    // The exit procedure (menu or close box): unsaved data, a running measurement, the
    // configuration file, the devices. Afterwards the main window closes.
    void Exit();
    bool Exited() const { return exited_; }

    // ---- commands ----
    bool Enabled(MonitorCommand command) const;
    // Runs a command (nothing when it is disabled).
    void Execute(MonitorCommand command);
    // The save command: the save dialog in the log folder, then the log. -1 cancelled or failed.
    int Save();
    // The open command.
    void Open();

    // ---- the main graph and form ----
    struct View {
        GraphPicture graph;
        std::array<std::string, kTimeLabels> timeLabels;
        std::array<std::string, kTemperatureLabels> temperatureLabels;
        std::array<std::string, kChannelCount> values;  // value fields, Shift-JIS
        std::string interval;                           // "計測インターバル", ms
    };
    View CurrentView() const;
    int GraphMode() const { return graphMode_; }
    int PointCount() const;
    // Samples the graph has taken so far (the newest drawn is this - 1).
    std::size_t DrawnSamples() const;

    // The display thread copied sample `index` into the current values.
    void OnDisplayedSample(std::size_t index);
    // The end of a measurement (on its thread): the fields of units that fell silent say so,
    // though the poll that found them silent ended the measurement before its display.
    void OnMeasurementEnded();

    // ---- the sensor procedures' windows (CheckUi) ----
    void ShowOpeningDialog() override;
    void RunIdSettingDialog() override;
    void SetWaitCursor(bool busy) override { e_.windows.SetWaitCursor(busy); }
    void ShowText(const std::string& text, MessageBoxKind kind) override { e_.windows.ShowText(text, kind); }
    int SaveLog() override { return Save(); }

private:
    void OnStart();
    void OnOtherSettings();
    void OnDisplayChannelSelection();
    void OnGraphScaling();
    void OnIdSetting();
    void OnPowerFrequency();
    void OnCalibration();
    void OnAllChannelGraph();
    void OnManufacturingNumber();

    // Graph mode 2: the value fields emptied, every sample's temperatures 0.
    void BlankGraph();
    // Recomputes the ring from the samples drawn so far (the shown file's samples in mode 4).
    void RebuildRing();
    // The time labels before the graph scrolls and the temperature labels; `limit`: a high
    // precision MAX above 200 is lowered to 200 first.
    void SetAxisLabels(bool limit);
    // The current value of channel index c for the graph: 0 when its record does not show it.
    void TakeCurrentValues(const double* sample, std::array<double, kChannelCount>* values) const;
    void ShowInterval();

    Environment e_;
    SensorProcedures procedures_;
    DeviceMeasurementHooks hooks_;
    std::unique_ptr<Measurement> measurement_;
    GraphSettings graph_;
    std::atomic<int> listResult_{0};
    std::atomic<int> graphMode_{kGraphNothing};
    bool closeRequested_ = false;
    bool exited_ = false;

    mutable std::mutex viewMutex_;  // the fields below
    GraphRing ring_{kMainGraphWidth, kMainGraphHeight, kMainGraphStep};
    std::array<double, kChannelCount> current_{};
    std::array<bool, kChannelCount> plotted_{};
    std::array<std::string, kChannelCount> values_;
    std::array<std::string, kTimeLabels> timeLabels_;
    std::array<std::string, kTemperatureLabels> temperatureLabels_;
    std::size_t drawnSamples_ = 0;
};

}  // namespace ridaviri
