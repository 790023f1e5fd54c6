// The all-channel graph windows and the measurement list: their threads follow a measurement
// (catching up first), stop within their bounds, and show what the sample buffer holds.
#include "ridaviri/ui/aux_views.h"

#include <gtest/gtest.h>

#include <condition_variable>

#include "platform/sjis.h"

namespace ridaviri {
namespace {

using namespace std::chrono_literals;
using platform::sjis::S;

// Temperature of channel index c in sample k.
double Value(std::size_t k, int c) { return double(k % 50) + c * 0.5; }

// Three measured units on channels 1, 2 and 12, and `n` samples stored.
struct Measured {
    explicit Measured(std::size_t n, std::size_t capacity = 12000) : data(capacity) {
        const int channels[] = {1, 2, 12};
        for (int i = 0; i < 3; ++i) {
            ChannelRecord& r = data.channels[i];
            r.identity.typeLetter = 'T';
            r.channelNumber = uint8_t(channels[i]);
            r.measureSwitch = 1;
            r.listDisplay = 1;
            r.interval = 1000;
        }
        data.deviceCount = 3;
        data.startTime.hour = 23;
        data.startTime.minute = 59;
        data.startTime.second = 59;
        data.startTime.milliseconds = 500;
        Store(n);
        data.stateWord.SetMode(state::kModeMeasuring);
    }
    void Store(std::size_t n) {
        std::lock_guard lock(data.section);
        for (std::size_t k = data.SampleIndex(); k < n; ++k)
            for (int c = 0; c < kChannelCount; ++c) data.samples.At(k, c) = Value(k, c);
        data.SetSampleIndexLocked(n);
    }
    MonitorData data;
    GraphSettings graph;
};

template <typename Predicate>
bool WaitFor(Predicate done, std::chrono::milliseconds timeout = 10s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

TEST(AllChannelGraph, StartsWithTheLast36PointsWorthAndCatchesUp) {
    Measured m(10000);
    m.graph.Set({10, 100, 0});
    std::atomic<int> redraws{0};
    AllChannelGraphModel window(0, m.data, m.graph, [&] { ++redraws; });
    window.Start();
    ASSERT_TRUE(WaitFor([&] { return window.DisplayIndex() == 10000; }));
    EXPECT_EQ(window.PointCount(), 36);
    EXPECT_GE(redraws, 1);
    const AllChannelGraphModel::Frame frame = window.TakeFrame();
    // Position 0 shows CH1: its first point is sample 9649 (the first point sample from 9640).
    ASSERT_EQ(frame.graphs[0].lines.size(), 1u);
    EXPECT_EQ(frame.graphs[0].lines[0].channel, 1);
    ASSERT_EQ(frame.graphs[0].lines[0].points.size(), 36u);
    EXPECT_DOUBLE_EQ(frame.graphs[0].lines[0].points[0][1], PixelY(Value(9649, 0), kSmallGraphHeight, {10, 100, 0}));
    EXPECT_DOUBLE_EQ(frame.graphs[0].lines[0].points[35][0], 35 * 6.0);
    EXPECT_DOUBLE_EQ(frame.graphs[0].lines[0].points[35][1], PixelY(Value(9999, 0), kSmallGraphHeight, {10, 100, 0}));
    EXPECT_TRUE(frame.graphs[2].lines.empty()) << "CH3 is not measured";
    EXPECT_TRUE(frame.valueSet[1]);
    EXPECT_EQ(frame.values[1], "49.50");
    EXPECT_FALSE(frame.valueSet[2]);
    EXPECT_EQ(frame.interval, "1000");

    // It follows new samples; a unit that stopped answering shows "通信異常".
    {
        std::lock_guard lock(m.data.section);
        m.data.channels[1].noResponse = 1;
        m.data.channels[1].measureSwitch = 0;
    }
    m.Store(10010);
    ASSERT_TRUE(WaitFor([&] { return window.DisplayIndex() == 10010; }));
    const auto later = window.TakeFrame();
    EXPECT_EQ(later.values[1], S("通信異常"));
    EXPECT_TRUE(later.graphs[1].lines.empty());
    EXPECT_EQ(later.graphs[0].lines[0].points.size(), 36u);
    EXPECT_DOUBLE_EQ(later.graphs[0].lines[0].points[35][1], PixelY(Value(10009, 0), kSmallGraphHeight, {10, 100, 0}));

    const auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(window.Stop());
    EXPECT_LT(std::chrono::steady_clock::now() - begin, kGraphWorkerStopBound);
}

TEST(AllChannelGraph, TheSecondWindowShowsChannels11To20AndEndsWithTheMeasurement) {
    Measured m(5);
    AllChannelGraphModel window(1, m.data, m.graph, {});
    EXPECT_EQ(window.ChannelAt(0), 11);
    EXPECT_STREQ(window.SwitchText(), "CH1～CH10表示");
    window.Start();
    ASSERT_TRUE(WaitFor([&] { return window.DisplayIndex() == 5; }));
    const auto frame = window.TakeFrame();
    EXPECT_EQ(frame.graphs[1].lines.size(), 1u);  // CH12
    EXPECT_EQ(frame.graphs[1].lines[0].points.size(), 5u);
    m.data.stateWord.Set(state::STOP_REQUEST);
    m.Store(8);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(window.DisplayIndex(), 5u) << "the thread ends when the measurement ends";
    EXPECT_EQ(window.TakeFrame().graphs[1].lines[0].points.size(), 5u) << "the last picture stays";
}

TEST(MeasurementList, NewestSixtyRowsWhileMeasuring) {
    Measured m(59);
    m.data.channels[1].listDisplay = 0;
    auto table = MeasurementListModel::Fill(m.data);
    ASSERT_TRUE(table);
    ASSERT_EQ(table->columns.size(), 4u);  // サンプル数, 時間, CH1, CH12
    EXPECT_EQ(table->columns[0].title, S("サンプル数"));
    EXPECT_EQ(table->columns[1].width, 95);
    EXPECT_EQ(table->columns[3].title, "CH12");
    EXPECT_EQ(table->rows, 59u);
    EXPECT_EQ(table->Cell(0, 0), "1");
    EXPECT_EQ(table->Cell(0, 1), "23:59:59:500");
    EXPECT_EQ(table->Cell(2, 1), "24:00:01:500");
    EXPECT_EQ(table->Cell(2, 3), "7.50");  // sample 2, channel 12

    m.Store(1000);
    table = MeasurementListModel::Fill(m.data);
    EXPECT_EQ(table->rows, 60u);
    EXPECT_EQ(table->Cell(0, 0), "941");
    EXPECT_EQ(table->Cell(59, 0), "1000");
    EXPECT_EQ(table->Cell(59, 2), "49.00");
}

TEST(MeasurementList, AShownFileListsEverySampleByPosition) {
    Measured m(300);
    m.data.stateWord.SetMode(state::kModeFileShown);
    m.data.logHeader.startTime = "10:0:0:0";
    m.data.logHeader.interval = 500;
    m.data.channels[0].precisionModel = 1;
    for (int i = 0; i < kChannelCount; ++i) m.data.found[i].listDisplay = i == 4 ? 1 : 0;
    auto table = MeasurementListModel::Fill(m.data);
    ASSERT_EQ(table->columns.size(), 3u);
    EXPECT_EQ(table->columns[2].title, "CH5");
    EXPECT_EQ(table->rows, 300u);
    EXPECT_EQ(table->Cell(299, 1), "10:02:29:500");
    EXPECT_EQ(table->Cell(299, 2), "51.000");

    std::atomic<int> result{kListSelectionCancelled};
    int published = 0;
    MeasurementListModel list(m.data, result, [&](std::shared_ptr<const MeasurementListTable>) { ++published; });
    list.Open();
    EXPECT_EQ(published, 1);
    list.AfterSelection();
    EXPECT_EQ(published, 1) << "a cancelled selection leaves the list";
    result = kListSelectionChosen;
    list.AfterSelection();
    EXPECT_EQ(published, 2);
}

TEST(MeasurementList, TheRefreshThreadFollowsAndStopsInTime) {
    Measured m(10);
    std::atomic<int> result{0};
    std::mutex mutex;
    std::vector<std::size_t> rows;
    MeasurementListModel list(m.data, result, [&](std::shared_ptr<const MeasurementListTable> t) {
        std::lock_guard lock(mutex);
        rows.push_back(t->rows);
    });
    list.Open();
    auto published = [&] {
        std::lock_guard lock(mutex);
        return rows;
    };
    ASSERT_TRUE(WaitFor([&] { return !published().empty(); }));
    EXPECT_EQ(published().front(), 10u);
    EXPECT_EQ(result, kListSelectionChosen);
    m.Store(70);
    ASSERT_TRUE(WaitFor([&] { return published().back() == 60u; }));
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(list.Close());
    EXPECT_LT(std::chrono::steady_clock::now() - begin, kListWorkerStopBound);
    const std::size_t count = published().size();
    m.Store(80);
    std::this_thread::sleep_for(600ms);
    EXPECT_EQ(published().size(), count) << "nothing after closing";
}

}  // namespace
}  // namespace ridaviri
