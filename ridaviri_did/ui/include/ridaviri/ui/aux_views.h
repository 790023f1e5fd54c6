// The auxiliary windows without widgets: the two all-channel graph windows (ten small graphs
// each) and the measurement list, each with the thread that follows a running measurement,
// and the picture or table the window shows. The threads read the sample buffer under the
// critical section and hand their results over outside it; the window draws from a copy.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ridaviri/monitor_data.h"
#include "ridaviri/ui/graph_model.h"
#include "ridaviri/ui/setting_dialogs.h"
#include "ridaviri/ui/view_worker.h"

namespace ridaviri {

// Graphs per all-channel window.
inline constexpr int kSmallGraphs = 10;
// Pixel size of one small graph.
inline constexpr int kSmallGraphWidth = 216;
inline constexpr int kSmallGraphHeight = 135;
// How long closing or switching waits for a graph window's thread, and the list's, ms.
inline constexpr auto kGraphWorkerStopBound = std::chrono::milliseconds(500);
inline constexpr auto kListWorkerStopBound = std::chrono::milliseconds(1000);

// Texts of the value fields by channel number - 1 for the channels whose line is drawn (and
// those that stopped answering): "通信異常", "データ不良" or the temperature. Call with the
// critical section held or while no measurement runs.
std::array<std::optional<std::string>, kChannelCount> ValueFieldTexts(const MonitorData& data,
                                                                      const std::array<double, kChannelCount>& celsius);

// "全チャンネル番号グラフ表示(CH1～CH10)" (half 0) or "(CH11～CH20)" (half 1).
class AllChannelGraphModel {
public:
    // `redraw` is called from the update thread when the picture changed (at most one call
    // until the window has taken the picture with TakeFrame).
    AllChannelGraphModel(int half, MonitorData& data, GraphSettings& settings, std::function<void()> redraw);
    ~AllChannelGraphModel();  // stops the thread
    AllChannelGraphModel(const AllChannelGraphModel&) = delete;
    AllChannelGraphModel& operator=(const AllChannelGraphModel&) = delete;

    int Half() const { return half_; }
    // Channel number shown in position 0-9.
    int ChannelAt(int position) const { return half_ * kSmallGraphs + position + 1; }
    // Window title, the switch button's text (UTF-8).
    const char* Title() const;
    const char* SwitchText() const;

    // Starts the update thread: from the sample that leaves 36 points' worth of samples, then
    // following the measurement until it ends or the window stops the thread.
    void Start();
    // Stops the thread, waiting at most 500 ms; true when it ended.
    bool Stop();

    // What the window shows, taken on the window's thread.
    struct Frame {
        std::array<GraphPicture, kSmallGraphs> graphs;
        std::array<std::string, kSmallGraphs> values;  // "現在の温度" (empty: unchanged)
        std::array<bool, kSmallGraphs> valueSet{};
        std::string interval;                           // "計測インターバル"
    };
    Frame TakeFrame();

    // For tests: the next sample the thread copies and the points held.
    std::size_t DisplayIndex() const;
    int PointCount() const;

private:
    struct State;
    static void Run(ViewWorker::Context& context, const std::shared_ptr<State>& state);

    int half_;
    std::shared_ptr<State> state_;
    ViewWorker worker_;
};

// The table of the measurement list window: columns, and the samples of its rows; cells are
// formatted when asked for, so that a shown file of 65 535 samples costs one copy of values.
struct MeasurementListTable {
    std::vector<ListColumn> columns;  // "サンプル数", "時間", then "CH<n>" per shown channel
    std::size_t firstSample = 0;      // sample of row 0
    std::size_t rows = 0;
    uint64_t startMs = 0;             // time of sample 0, ms since midnight
    uint32_t intervalMs = 0;
    uint8_t precisionModel = 0;
    std::vector<double> values;       // rows x shown channels

    std::size_t Channels() const { return columns.size() - 2; }
    std::string Cell(std::size_t row, std::size_t column) const;  // Shift-JIS
};

// Rows the list shows while measuring.
inline constexpr std::size_t kListNewestRows = 60;
// Refresh step of the list's thread.
inline constexpr auto kListRefreshStep = std::chrono::milliseconds(500);

// "計測チャンネル番号リスト表示".
class MeasurementListModel {
public:
    using Publish = std::function<void(std::shared_ptr<const MeasurementListTable>)>;

    // `publish` hands a new table to the window (called on the refresh thread, or on the
    // caller's thread by Open and AfterSelection).
    MeasurementListModel(MonitorData& data, std::atomic<int>& listResult, Publish publish);
    ~MeasurementListModel();

    // The table as it stands: newest 60 samples while measuring, every sample of a shown file.
    // Null when the measurement's start time cannot be read back.
    static std::shared_ptr<const MeasurementListTable> Fill(MonitorData& data);

    // Opening: while measuring the refresh thread starts; with a file shown the list is
    // filled once.
    void Open();
    // After the list channel selection: with a file shown a confirmed choice refills the list
    // (a cancelled one leaves it); while measuring the next refresh does.
    void AfterSelection();
    // "閉じる": stops the refresh thread, waiting at most 1000 ms; true when it ended.
    bool Close();

private:
    MonitorData& data_;
    std::atomic<int>& listResult_;
    std::shared_ptr<Publish> publish_;
    ViewWorker worker_;
};

}  // namespace ridaviri
