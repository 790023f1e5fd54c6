#include "ridaviri/ui/aux_views.h"

#include <algorithm>
#include <cstdio>

#include "platform/sjis.h"
#include "ridaviri/calibration.h"
#include "ridaviri/measurement_log.h"

namespace ridaviri {
namespace {

// Pause of a graph window's thread while it has caught up with the measurement.
constexpr auto kGraphIdleStep = std::chrono::milliseconds(50);

int DeviceCount(const MonitorData& data) { return std::clamp(data.deviceCount.load(), 0, kChannelCount); }

// The record among the first device-count records that carries channel number n; null if none.
const ChannelRecord* RecordOfChannel(const MonitorData& data, int n) {
    for (int i = 0; i < DeviceCount(data); ++i) {
        if (data.channels[i].channelNumber == n) return &data.channels[i];
    }
    return nullptr;
}

// The interval field of a graph window: the shown file's, else the first channel's.
std::string IntervalText(const MonitorData& data) {
    const uint32_t interval =
        data.stateWord.Mode() == state::kModeFileShown ? data.logHeader.interval : data.channels[0].interval;
    return std::to_string(static_cast<int32_t>(interval));
}

}  // namespace

std::array<std::optional<std::string>, kChannelCount> ValueFieldTexts(const MonitorData& data,
                                                                      const std::array<double, kChannelCount>& celsius) {
    std::array<std::optional<std::string>, kChannelCount> texts;
    const uint8_t precision = data.channels[0].precisionModel;
    for (int n = 1; n <= kChannelCount; ++n) {
        const ChannelRecord* r = RecordOfChannel(data, n);
        if (r == nullptr || (r->measureSwitch != 1 && r->noResponse != 1)) continue;
        texts[n - 1] = ValueFieldText(celsius[n - 1], r->noResponse == 1, data.badDataMarks[n - 1] != 0, precision);
    }
    return texts;
}

// ------------------------------------------------------------------------------ graph windows

struct AllChannelGraphModel::State {
    State(MonitorData& d, GraphSettings& s, std::function<void()> r) : data(d), settings(s), redraw(std::move(r)) {}

    MonitorData& data;
    GraphSettings& settings;
    std::function<void()> redraw;

    mutable std::mutex mutex;  // the fields below
    GraphRing ring{kSmallGraphWidth, kSmallGraphHeight, double(kSmallGraphWidth) / kGraphPoints};
    std::array<std::optional<std::string>, kChannelCount> texts;
    std::array<bool, kChannelCount> plotted{};

    std::atomic<std::size_t> displayIndex{0};
    std::atomic<bool> redrawPending{false};

    void RequestRedraw() {
        if (!redrawPending.exchange(true) && redraw) redraw();
    }
};

AllChannelGraphModel::AllChannelGraphModel(int half, MonitorData& data, GraphSettings& settings,
                                           std::function<void()> redraw)
    : half_(half == 0 ? 0 : 1), state_(std::make_shared<State>(data, settings, std::move(redraw))) {}

AllChannelGraphModel::~AllChannelGraphModel() { Stop(); }

const char* AllChannelGraphModel::Title() const {
    return half_ == 0 ? "全チャンネル番号グラフ表示(CH1～CH10)" : "全チャンネル番号グラフ表示(CH11～CH20)";
}

const char* AllChannelGraphModel::SwitchText() const { return half_ == 0 ? "CH11～CH20表示" : "CH1～CH10表示"; }

void AllChannelGraphModel::Start() {
    worker_.Start([state = state_](ViewWorker::Context& context) { Run(context, state); });
}

bool AllChannelGraphModel::Stop() { return worker_.Stop(kGraphWorkerStopBound); }

void AllChannelGraphModel::Run(ViewWorker::Context& context, const std::shared_ptr<State>& state) {
    MonitorData& data = state->data;
    {
        std::lock_guard lock(state->mutex);
        state->ring.Clear();
        state->texts = {};
    }
    GraphRange range = state->settings.MakeDrawable();
    std::size_t index = 0;
    {
        std::lock_guard lock(data.section);
        const std::size_t n = data.SampleIndex();
        const std::size_t span = std::size_t(range.scale) * kGraphPoints;
        if (span < n) index = n - span;
    }
    state->displayIndex = index;
    while (!data.stateWord.Test(state::STOP_REQUEST)) {
        bool copied = false;
        std::size_t k = index;
        std::array<double, kChannelCount> celsius{};
        std::array<std::optional<std::string>, kChannelCount> texts;
        std::array<bool, kChannelCount> plotted{};
        {
            std::lock_guard lock(data.section);
            if (index < data.SampleIndex()) {
                const double* sample = data.samples.Sample(index);
                std::copy(sample, sample + kChannelCount, celsius.begin());
                texts = ValueFieldTexts(data, celsius);
                plotted = PlottedChannels(data);
                copied = true;
                ++index;
            }
        }
        if (copied) {
            state->displayIndex = index;
            range = state->settings.MakeDrawable();
            if (IsPointSample(k, range.scale)) {
                {
                    std::lock_guard lock(state->mutex);
                    state->ring.Add(celsius, range);
                    state->plotted = plotted;
                    for (int c = 0; c < kChannelCount; ++c) {
                        if (texts[c]) state->texts[c] = texts[c];
                    }
                }
                state->RequestRedraw();
            }
        }
        if (context.Stopping()) break;
        // Samples waiting are caught up with at once; then the thread looks every 50 ms.
        if (!copied && !context.Sleep(kGraphIdleStep)) break;
    }
}

AllChannelGraphModel::Frame AllChannelGraphModel::TakeFrame() {
    State& s = *state_;
    s.redrawPending = false;
    const GraphRange range = s.settings.Get();
    Frame frame;
    {
        std::lock_guard lock(s.data.section);
        frame.interval = IntervalText(s.data);
    }
    std::lock_guard lock(s.mutex);
    for (int p = 0; p < kSmallGraphs; ++p) {
        const int c = ChannelAt(p) - 1;
        std::array<bool, kChannelCount> only{};
        only[c] = s.plotted[c];
        frame.graphs[p] = s.ring.Picture(true, range, only);
        frame.valueSet[p] = s.texts[c].has_value();
        if (s.texts[c]) frame.values[p] = *s.texts[c];
    }
    return frame;
}

std::size_t AllChannelGraphModel::DisplayIndex() const { return state_->displayIndex; }

int AllChannelGraphModel::PointCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->ring.PointCount();
}

// ------------------------------------------------------------------------------ list

std::string MeasurementListTable::Cell(std::size_t row, std::size_t column) const {
    const std::size_t sample = firstSample + row;
    if (column == 0) return std::to_string(sample + 1);
    if (column == 1) return SampleTimeText(startMs + uint64_t(sample) * intervalMs);
    return FormatTemperature(values[row * Channels() + (column - 2)], precisionModel);
}

MeasurementListModel::MeasurementListModel(MonitorData& data, std::atomic<int>& listResult, Publish publish)
    : data_(data), listResult_(listResult), publish_(std::make_shared<Publish>(std::move(publish))) {}

MeasurementListModel::~MeasurementListModel() { Close(); }

std::shared_ptr<const MeasurementListTable> MeasurementListModel::Fill(MonitorData& data) {
    namespace sjis = platform::sjis;
    auto table = std::make_shared<MeasurementListTable>();
    table->columns = {{sjis::S("サンプル数"), 75}, {sjis::S("時間"), 95}};
    std::lock_guard lock(data.section);
    const bool file = data.stateWord.Mode() == state::kModeFileShown;
    std::vector<int> entries;  // sample entry of each shown channel
    for (int i = 0; i < kChannelCount; ++i) {
        bool shown = false;
        if (file) {
            shown = data.found[i].listDisplay == 1;
        } else {
            const ChannelRecord* r = RecordOfChannel(data, i + 1);
            shown = r != nullptr && r->listDisplay == 1;
        }
        if (!shown) continue;
        entries.push_back(i);
        table->columns.push_back({"CH" + std::to_string(i + 1), 75});
    }
    const std::size_t n = std::min(data.SampleIndex(), data.samples.Capacity());
    std::optional<uint64_t> start;
    if (file) {
        start = StartTimeMilliseconds(data.logHeader.startTime);
        table->intervalMs = data.logHeader.interval;
        table->firstSample = 0;
    } else {
        const platform::sync::LocalTime& t = data.startTime;
        char text[64];
        std::snprintf(text, sizeof text, "%d:%d:%d:%d", t.hour, t.minute, t.second, t.milliseconds);
        start = StartTimeMilliseconds(text);
        table->intervalMs = data.channels[0].interval;
        table->firstSample = n > kListNewestRows ? n - kListNewestRows : 0;
    }
    if (!start) return nullptr;
    table->startMs = *start;
    table->precisionModel = data.channels[0].precisionModel;
    table->rows = n - table->firstSample;
    table->values.reserve(table->rows * entries.size());
    for (std::size_t k = table->firstSample; k < n; ++k) {
        const double* sample = data.samples.Sample(k);
        for (int e : entries) table->values.push_back(sample[e]);
    }
    return table;
}

void MeasurementListModel::Open() {
    const uint32_t mode = data_.stateWord.Mode();
    if (mode == state::kModePolling || mode == state::kModeMeasuring) {
        worker_.Start([&data = data_, &result = listResult_, publish = publish_](ViewWorker::Context& context) {
            std::size_t filled = 0;
            bool first = true;
            for (;;) {
                const bool ended = data.stateWord.Test(state::STOP_REQUEST);
                const std::size_t n = data.SampleIndex();
                if (first || n > filled) {
                    result = kListSelectionChosen;
                    auto table = Fill(data);
                    if (!table) return;
                    (*publish)(std::move(table));
                    filled = n;
                    first = false;
                }
                // The samples stored before the measurement ended are shown, then it ends.
                if (ended || !context.Sleep(kListRefreshStep)) return;
            }
        });
    } else if (mode == state::kModeFileShown) {
        if (auto table = Fill(data_)) (*publish_)(std::move(table));
    }
}

void MeasurementListModel::AfterSelection() {
    if (data_.stateWord.Mode() != state::kModeFileShown || listResult_ != kListSelectionChosen) return;
    if (auto table = Fill(data_)) (*publish_)(std::move(table));
}

bool MeasurementListModel::Close() { return worker_.Stop(kListWorkerStopBound); }

}  // namespace ridaviri
