#include "ridaviri/ui/tq_view.h"

#include <algorithm>
#include <cstdio>

#include "platform/sjis.h"
#include "ridaviri/measurement_log.h"
#include "ridaviri/ui/aux_views.h"
#include "ridaviri/calibration_dialog.h"

namespace ridaviri {
namespace {

// The highest MAX the labels of the high-precision model show at start, °C.
constexpr double kHighPrecisionMax = 200.0;

bool ValidChannel(int n) { return n >= 1 && n <= kChannelCount; }

}  // namespace

TQViewModel::TQViewModel(Environment environment)
    : e_(environment),
      procedures_(e_.data, e_.transport, e_.messages, *this),
      hooks_(e_.transport, procedures_) {
    hooks_.save = [this] { return e_.windowCall.Call([this] { return Save(); }, -1); };
    hooks_.closeMainWindow = [this] { e_.windows.RequestClose(); };
    hooks_.refreshViews = [this](std::size_t index) { OnDisplayedSample(index); };
    // The commands follow the end of a measurement that ended on its own thread.
    hooks_.measurementEnded = [this] { OnMeasurementEnded(); };
    measurement_ = std::make_unique<Measurement>(e_.data, hooks_, e_.messages, e_.clock);
    e_.transport.SetAbortHandler([this](int code) { measurement_->Abort(code); });
    graph_.Set(RangeFromTexts(e_.data.settings));
    timeLabels_ = InitialTimeLabels(0, 1);
    temperatureLabels_ = TemperatureLabels(DrawableRange(graph_.Get()), 0);
}

TQViewModel::~TQViewModel() {
    e_.transport.SetAbortHandler({});
    measurement_.reset();  // stops a running measurement and joins its threads
    // The CAN port stays open across checks and measurements; the program's end lets it go,
    // as the end of the process would.
    if (e_.transport.CanPort() != 0) e_.transport.CanCloseSensors();
}

// ------------------------------------------------------------------------------ start and exit

void TQViewModel::ShowOpeningDialog() {
    MonitorData& d = e_.data;
    ReadConfiguration(d, ConfigurationPath(e_.programFolder));
    int choice = OpeningDialogModel::Preselection(d);
    if (!e_.windows.RunOpeningDialog(&choice)) {
        closeRequested_ = true;
        e_.windows.RequestClose();
        return;
    }
    if (OpeningDialogModel::Choose(d, choice)) {
        procedures_.SensorCheck();
        e_.transport.CloseDevices();
    }
}

bool TQViewModel::FirstUpdate() {
    MonitorData& d = e_.data;
    d.stateWord.Reset(state::STARTUP_CHECK);
    closeRequested_ = false;
    ShowOpeningDialog();
    if (!closeRequested_) {
        d.displayedInterval = d.channels[0].interval;
        graph_.Set(RangeFromTexts(d.settings));
        if (graph_.Get().scale != 0) SetAxisLabels(true);
    }
    if (d.displayedInterval == 0) {
        if (d.found[0].interval == 0) d.found[0].interval = kDefaultIntervalMs;
        d.displayedInterval = d.found[0].interval;
    }
    d.stateWord.Clear(state::STARTUP_CHECK | state::CONFIG_CHANGED);
    ShowInterval();
    return !closeRequested_;
}

void TQViewModel::Exit() {
    if (exited_) return;
    exited_ = true;
    MonitorData& d = e_.data;
    if (d.stateWord.Test(state::UNSAVED)) {
        AskToSaveUnsaved(d, e_.messages, [this] { return Save(); });
        d.samples.Clear();
    }
    const uint32_t mode = d.stateWord.Mode();
    if (mode == state::kModePolling || mode == state::kModeMeasuring) {
        // The stop procedure: the poll in flight ends before the devices are closed.
        measurement_->Stop();
        if (e_.messages(143) == kAnswerYes) Save();
    }
    if (WriteConfiguration(d, e_.programFolder, e_.writer) != 0) {
        e_.transport.CloseDevices();
        return;
    }
    e_.transport.CloseDevices();
}

// ------------------------------------------------------------------------------ commands

bool TQViewModel::Enabled(MonitorCommand command) const { return CommandEnabled(command, CurrentCommandState(e_.data)); }

void TQViewModel::Execute(MonitorCommand command) {
    if (!Enabled(command)) return;
    switch (command) {
    case MonitorCommand::Open: Open(); break;
    case MonitorCommand::Save: Save(); break;
    case MonitorCommand::Close:
    case MonitorCommand::LogChannelSelection: break;
    case MonitorCommand::Exit: e_.windows.RequestClose(); break;
    case MonitorCommand::IdSetting: OnIdSetting(); break;
    case MonitorCommand::Calibration: OnCalibration(); break;
    case MonitorCommand::PowerFrequency: OnPowerFrequency(); break;
    case MonitorCommand::OtherSettings: OnOtherSettings(); break;
    case MonitorCommand::SensorCheck: procedures_.MenuSensorCheck(); break;
    case MonitorCommand::Start: OnStart(); break;
    case MonitorCommand::Stop: measurement_->Stop(); break;
    case MonitorCommand::DisplayChannelSelection: OnDisplayChannelSelection(); break;
    case MonitorCommand::GraphScaling: OnGraphScaling(); break;
    case MonitorCommand::AllChannelGraph: OnAllChannelGraph(); break;
    case MonitorCommand::MeasurementList: e_.windows.ShowMeasurementList(); break;
    case MonitorCommand::ManufacturingNumber: OnManufacturingNumber(); break;
    case MonitorCommand::HelpTopics: e_.windows.ShowHelpIndex(); break;
    case MonitorCommand::About: e_.windows.RunVersionBox(); break;
    }
    e_.windows.RequestRedraw();
}

int TQViewModel::Save() {
    const std::optional<std::filesystem::path> chosen = e_.windows.AskSaveFile(LogFolder(e_.programFolder));
    if (!chosen) return -1;
    // ".csv" is looked for character by character in the name as the user wrote it.
    std::filesystem::path file = *chosen;
    const std::string name = platform::sjis::FromUtf8(file.filename().string());
    file.replace_filename(platform::sjis::ToUtf8(CsvFileName(name)));
    return SaveMeasurementLog(e_.data, file, e_.messages);
}

void TQViewModel::Open() {
    MonitorData& d = e_.data;
    AskToSaveUnsaved(d, e_.messages, [this] { return Save(); });
    PrepareOpen(d);
    const std::optional<std::filesystem::path> chosen = e_.windows.AskOpenFile(LogFolder(e_.programFolder));
    if (!chosen) return;
    if (OpenMeasurementLog(d, *chosen, e_.messages) != 0) return;
    graphMode_ = kGraphPlot;
    {
        std::lock_guard lock(viewMutex_);
        drawnSamples_ = d.SampleIndex();
    }
    RebuildRing();
    ShowInterval();
}

void TQViewModel::OnStart() {
    {
        std::lock_guard lock(viewMutex_);
        values_ = {};
        ring_.Clear();
        drawnSamples_ = 0;
    }
    // Plotting before the threads start, so that the first sample is drawn.
    const int mode = graphMode_.exchange(kGraphPlot);
    if (measurement_->Start() != 0) {
        graphMode_ = mode;
        return;
    }
    ShowInterval();
}

void TQViewModel::OnOtherSettings() {
    MonitorData& d = e_.data;
    AskToSaveUnsaved(d, e_.messages, [this] { return Save(); });
    d.found = d.channels;
    if (d.displayedInterval == 0) {
        if (d.found[0].interval == 0) d.found[0].interval = kDefaultIntervalMs;
        d.displayedInterval = d.found[0].interval;
    }
    SettingsDialogModel model(d, e_.messages, [this] { BlankGraph(); });
    if (!e_.windows.RunSettingsDialog(model)) return;
    d.displayedInterval = d.channels[0].interval;
    ShowInterval();
    if (graph_.Get().scale != 0) SetAxisLabels(false);
}

void TQViewModel::OnDisplayChannelSelection() {
    MonitorData& d = e_.data;
    const uint32_t mode = d.stateWord.Mode();
    if (!d.stateWord.Test(state::HAS_DATA) && mode != state::kModeFileShown && mode != state::kModeIdSetting) {
        e_.messages(51);
        return;
    }
    ChannelSelectionModel model(ChannelSelectionKind::GraphChannels, d, e_.messages);
    if (!e_.windows.RunChannelSelectionDialog(model)) return;
    graphMode_ = kGraphPlot;
    RebuildRing();
}

void TQViewModel::OnGraphScaling() {
    MonitorData& d = e_.data;
    GraphRange range = graph_.Get();
    if (range.max == 0 && range.mini == 0) {
        range.max = 100;
        range.mini = 0;
        graph_.Set(range);
    }
    GraphScalingDialogModel model(d.channels[0].precisionModel, range, d.displayedInterval, e_.messages);
    if (!e_.windows.RunGraphScalingDialog(model)) return;
    d.settings.scale = model.ScaleText();
    d.settings.max = model.maxText;
    d.settings.mini = model.miniText;
    graph_.Set(model.Range());
    SetAxisLabels(false);
    if (d.stateWord.Mode() == state::kModeFileShown) {
        graphMode_ = kGraphPlot;
        RebuildRing();
    } else if (graphMode_ == kGraphPlot) {
        RebuildRing();
    }
}

void TQViewModel::OnIdSetting() { RunIdSettingDialog(); }

void TQViewModel::RunIdSettingDialog() {
    IdSettingDialogModel model(procedures_);
    model.Open();
    e_.windows.RunIdSettingDialog(model);
}

void TQViewModel::OnPowerFrequency() {
    PowerFrequencyDialogModel model(procedures_);
    model.Open();
    e_.windows.RunPowerFrequencyDialog(model);
}

void TQViewModel::OnCalibration() {
    CalibrationDialogModel model(e_.data, e_.transport, procedures_, e_.messages);
    e_.windows.RunCalibrationDialog(model);
}

void TQViewModel::OnAllChannelGraph() {
    if (e_.data.stateWord.Mode() == state::kModeFileShown) e_.data.stateWord.Clear(state::STOP_REQUEST);
    e_.windows.ShowAllChannelGraph();
}

void TQViewModel::OnManufacturingNumber() {
    ManufacturingNumberModel model(e_.data, e_.messages);
    if (model.MayOpen()) e_.windows.RunManufacturingNumberWindow(model);
}

// ------------------------------------------------------------------------------ the graph

void TQViewModel::BlankGraph() {
    graphMode_ = kGraphBlank;
    {
        std::lock_guard lock(viewMutex_);
        values_ = {};
    }
    e_.data.samples.Clear();
    e_.windows.RequestRedraw();
}

void TQViewModel::TakeCurrentValues(const double* sample, std::array<double, kChannelCount>* values) const {
    const MonitorData& d = e_.data;
    const bool file = d.stateWord.Mode() == state::kModeFileShown;
    for (int i = 0; i < kChannelCount; ++i) {
        const ChannelRecord& r = d.channels[i];
        if (!ValidChannel(r.channelNumber)) continue;
        const int c = r.channelNumber - 1;
        // A shown file keeps its graph choice in the found table, by channel.
        const bool shown = file ? d.found[c].graphDisplay == 1 : r.graphDisplay == 1 && r.noResponse != 1;
        (*values)[c] = shown ? sample[c] : 0.0;
    }
}

void TQViewModel::OnDisplayedSample(std::size_t index) {
    MonitorData& d = e_.data;
    std::array<double, kChannelCount> values;
    std::array<std::optional<std::string>, kChannelCount> texts;
    std::array<bool, kChannelCount> plotted;
    {
        std::lock_guard lock(viewMutex_);
        values = current_;
    }
    {
        std::lock_guard lock(d.section);
        TakeCurrentValues(d.currentValues.data(), &values);
        texts = ValueFieldTexts(d, values);
        plotted = PlottedChannels(d);
    }
    const GraphRange range = graph_.MakeDrawable();
    bool redraw = false;
    {
        std::lock_guard lock(viewMutex_);
        current_ = values;
        // The graph starts again with the first sample of a measurement.
        if (index == 0) ring_.Clear();
        if (graphMode_ == kGraphPlot && IsPointSample(index, range.scale)) {
            ring_.Add(values, range);
            plotted_ = plotted;
            for (int c = 0; c < kChannelCount; ++c) {
                if (texts[c]) values_[c] = *texts[c];
            }
            timeLabels_ = DrawnTimeLabels(d.displayedInterval, range.scale, index + 1);
            redraw = true;
        }
        drawnSamples_ = index + 1;
    }
    if (redraw) e_.windows.RequestRedraw();
}

void TQViewModel::OnMeasurementEnded() {
    std::array<bool, kChannelCount> silent{};
    {
        std::lock_guard lock(e_.data.section);
        for (const ChannelRecord& r : e_.data.channels) {
            if (ValidChannel(r.channelNumber) && r.noResponse == 1) silent[r.channelNumber - 1] = true;
        }
    }
    {
        std::lock_guard lock(viewMutex_);
        for (int c = 0; c < kChannelCount; ++c) {
            if (silent[c] && graphMode_ == kGraphPlot) values_[c] = ValueFieldText(0.0, true, false, 0);
        }
    }
    e_.windows.RequestRedraw();
}

void TQViewModel::RebuildRing() {
    MonitorData& d = e_.data;
    const GraphRange range = graph_.MakeDrawable();
    std::lock_guard view(viewMutex_);
    const std::size_t n = drawnSamples_;
    std::array<double, kChannelCount> last = current_;
    std::array<std::optional<std::string>, kChannelCount> texts;
    {
        std::lock_guard lock(d.section);
        ring_.Rebuild(n, range, [&](std::size_t k, int c) {
            std::array<double, kChannelCount> v{};
            TakeCurrentValues(d.samples.Sample(k), &v);
            return v[c];
        });
        if (n > 0) TakeCurrentValues(d.samples.Sample(n - 1), &last);
        texts = ValueFieldTexts(d, last);
        plotted_ = PlottedChannels(d);
    }
    current_ = last;
    for (int c = 0; c < kChannelCount; ++c) {
        if (texts[c]) values_[c] = *texts[c];
    }
    if (n > 0) timeLabels_ = DrawnTimeLabels(d.displayedInterval, range.scale, n);
    e_.windows.RequestRedraw();
}

void TQViewModel::SetAxisLabels(bool limit) {
    MonitorData& d = e_.data;
    GraphRange range = graph_.Get();
    const uint8_t precision = d.channels[0].precisionModel;
    if (limit && precision != 0 && range.max > kHighPrecisionMax) {
        range.max = kHighPrecisionMax;
        graph_.Set(range);
    }
    std::lock_guard lock(viewMutex_);
    timeLabels_ = InitialTimeLabels(d.displayedInterval, range.scale);
    temperatureLabels_ = TemperatureLabels(range, precision);
}

void TQViewModel::ShowInterval() { e_.windows.RequestRedraw(); }

TQViewModel::View TQViewModel::CurrentView() const {
    View v;
    const GraphRange range = graph_.Get();
    std::lock_guard lock(viewMutex_);
    v.graph = ring_.Picture(graphMode_ == kGraphPlot, range, plotted_);
    v.timeLabels = timeLabels_;
    v.temperatureLabels = temperatureLabels_;
    v.values = values_;
    v.interval = std::to_string(e_.data.displayedInterval.load());
    return v;
}

int TQViewModel::PointCount() const {
    std::lock_guard lock(viewMutex_);
    return ring_.PointCount();
}

std::size_t TQViewModel::DrawnSamples() const {
    std::lock_guard lock(viewMutex_);
    return drawnSamples_;
}

}  // namespace ridaviri
