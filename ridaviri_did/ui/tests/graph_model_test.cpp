// The graph model: axis labels, pixel geometry, the ring and its rebuild, the picture.
#include "ridaviri/ui/graph_model.h"

#include <gtest/gtest.h>

#include "platform/sjis.h"

namespace ridaviri {
namespace {

TEST(TimeLabels, BeforeTheGraphScrolls) {
    struct Case {
        uint32_t interval;
        int scale;
        std::array<const char*, kTimeLabels> labels;
    };
    const Case cases[] = {
        {1000, 1, {"00:00:00", "00:00:09", "00:00:18", "00:00:27", "00:00:36"}},
        {1000, 100, {"00:00:00", "00:15:00", "00:30:00", "00:45:00", "01:00:00"}},
        {1000, 1000, {"00:00:00", "02:30:00", "05:00:00", "07:30:00", "10:00:00"}},
        // 9 x 111 200 ms = 1 000 800 ms -> 1000 s.
        {111200, 1, {"00:00:00", "00:16:40", "00:33:21", "00:50:02", "01:06:43"}},
        // A SCALE of two digits appends one zero, whatever its value.
        {500, 25, {"00:00:00", "00:00:45", "00:01:30", "00:02:15", "00:03:00"}},
        // Hours are not wrapped at 24.
        {3600000, 10, {"00:00:00", "90:00:00", "180:00:00", "270:00:00", "360:00:00"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.interval) + " x " + std::to_string(c.scale));
        const auto labels = InitialTimeLabels(c.interval, c.scale);
        for (int i = 0; i < kTimeLabels; ++i) EXPECT_EQ(labels[i], c.labels[i]) << i;
    }
}

TEST(TimeLabels, ShiftOnceTheGraphScrolls) {
    struct Case {
        int scale;
        uint64_t samples;
        const char* left;
        const char* right;
    };
    const Case cases[] = {
        {1, 36, "00:00:00", "00:00:36"},  // the 36th point: no shift yet
        {1, 37, "00:00:01", "00:00:37"},  // the 37th point moves everything one point left
        {1, 40, "00:00:04", "00:00:40"},
        {10, 360, "00:00:00", "00:06:00"},
        {10, 370, "00:00:20", "00:06:20"},  // 38 points: the first shown is the third
        {0, 37, "00:00:01", "00:00:37"},  // SCALE 0 counts as 1
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.scale) + " / " + std::to_string(c.samples));
        const auto labels = DrawnTimeLabels(1000, c.scale, c.samples);
        EXPECT_EQ(labels[0], c.left);
        EXPECT_EQ(labels[4], c.right);
    }
}

TEST(TemperatureLabels, ElevenFromMaxDownToMini) {
    const auto standard = TemperatureLabels({1, 100, -20}, 0);
    EXPECT_EQ(standard[0], "100.00");
    EXPECT_EQ(standard[1], "88.00");
    EXPECT_EQ(standard[9], "-8.00");
    EXPECT_EQ(standard[10], "-20.00");
    const auto high = TemperatureLabels({1, 50, 0}, 1);
    EXPECT_EQ(high[0], "50.000");
    EXPECT_EQ(high[5], "25.000");
    EXPECT_EQ(high[10], "0.000");
}

TEST(GraphGeometry, PixelsOfTemperatures) {
    const GraphRange range{1, 100, -20};
    EXPECT_DOUBLE_EQ(PixelY(100, 240, range), 0);    // MAX on the top edge
    EXPECT_DOUBLE_EQ(PixelY(-20, 240, range), 240);  // MINI on the bottom edge
    EXPECT_DOUBLE_EQ(PixelY(0, 240, range), 200);
    // MAX equal to MINI (both 0 too) is drawn as 0-100.
    const GraphRange flat = DrawableRange({0, 0, 0});
    EXPECT_EQ(flat.scale, 1);
    EXPECT_DOUBLE_EQ(flat.max, 100);
    EXPECT_DOUBLE_EQ(flat.mini, 0);
    EXPECT_DOUBLE_EQ(DrawableRange({1, 50, 50}).max, 100);
}

TEST(GraphGeometry, PointSamples) {
    EXPECT_TRUE(IsPointSample(0, 10));
    EXPECT_FALSE(IsPointSample(1, 10));
    EXPECT_TRUE(IsPointSample(9, 10));
    EXPECT_TRUE(IsPointSample(19, 10));
    EXPECT_TRUE(IsPointSample(5, 1));
    EXPECT_TRUE(IsPointSample(5, 0));
}

std::array<double, kChannelCount> All(double t) {
    std::array<double, kChannelCount> v;
    v.fill(t);
    return v;
}

TEST(GraphRing, FillsToThirtySixPointsThenScrolls) {
    GraphRing ring(kMainGraphWidth, kMainGraphHeight, kMainGraphStep);
    const GraphRange range{1, 100, 0};
    for (int k = 0; k < 36; ++k) ring.Add(All(k), range);
    EXPECT_EQ(ring.PointCount(), 36);
    EXPECT_DOUBLE_EQ(ring.At(0, 0), PixelY(0, kMainGraphHeight, range));
    EXPECT_DOUBLE_EQ(ring.At(0, 35), PixelY(35, kMainGraphHeight, range));
    ring.Add(All(36), range);  // the 37th point
    EXPECT_EQ(ring.PointCount(), 36);
    EXPECT_DOUBLE_EQ(ring.At(19, 0), PixelY(1, kMainGraphHeight, range));
    EXPECT_DOUBLE_EQ(ring.At(19, 35), PixelY(36, kMainGraphHeight, range));
}

TEST(GraphRing, RebuildShowsWhatTheLiveDisplayShowed) {
    for (int scale : {1, 10, 100}) {
        for (std::size_t n : {std::size_t(0), std::size_t(1), std::size_t(35), std::size_t(37), std::size_t(1000),
                              std::size_t(4321)}) {
            SCOPED_TRACE(std::to_string(scale) + " / " + std::to_string(n));
            const GraphRange range{scale, 200, -20};
            auto value = [](std::size_t k, int c) { return double(k % 97) + c; };
            GraphRing live(kMainGraphWidth, kMainGraphHeight, kMainGraphStep);
            for (std::size_t k = 0; k < n; ++k) {
                if (!IsPointSample(k, scale)) continue;
                std::array<double, kChannelCount> v;
                for (int c = 0; c < kChannelCount; ++c) v[c] = value(k, c);
                live.Add(v, range);
            }
            GraphRing rebuilt(kMainGraphWidth, kMainGraphHeight, kMainGraphStep);
            rebuilt.Rebuild(n, range, value);
            ASSERT_EQ(rebuilt.PointCount(), live.PointCount());
            for (int c = 0; c < kChannelCount; ++c)
                for (int j = 0; j < live.PointCount(); ++j) ASSERT_DOUBLE_EQ(rebuilt.At(c, j), live.At(c, j)) << c << "/" << j;
        }
    }
}

TEST(GraphPicture, TicksStandOnTheBottomOrOnTheZeroLine) {
    GraphRing ring(kMainGraphWidth, kMainGraphHeight, kMainGraphStep);
    std::array<bool, kChannelCount> plotted{};
    plotted[2] = true;
    ring.Add(All(10), {1, 100, 0});
    ring.Add(All(20), {1, 100, 0});

    const GraphPicture above = ring.Picture(true, {1, 100, 0}, plotted);
    EXPECT_DOUBLE_EQ(above.tickBaseY, kMainGraphHeight);
    EXPECT_DOUBLE_EQ(above.zeroY, kMainGraphHeight);
    ASSERT_EQ(above.tickXs.size(), 37u);  // every 10 px from 0 to 360
    EXPECT_EQ(above.tickXs.back(), 360);
    ASSERT_EQ(above.lines.size(), 1u);
    EXPECT_EQ(above.lines[0].channel, 3);
    ASSERT_EQ(above.lines[0].points.size(), 2u);
    EXPECT_DOUBLE_EQ(above.lines[0].points[1][0], 10);

    const GraphPicture below = ring.Picture(true, {1, 100, -20}, plotted);
    EXPECT_DOUBLE_EQ(below.tickBaseY, below.zeroY);
    EXPECT_DOUBLE_EQ(below.zeroY, 270 - 20 * 270 / 120.0);

    EXPECT_TRUE(ring.Picture(false, {1, 100, 0}, plotted).lines.empty());
    // A small graph 216 px wide has a point every 6 px and a tick mark every 6 px.
    GraphRing small(216, 135, 216.0 / kGraphPoints);
    EXPECT_EQ(small.Picture(true, {1, 100, 0}, plotted).tickXs.size(), 37u);
}

TEST(ValueFields, TextsByMarksAndPrecision) {
    EXPECT_EQ(ValueFieldText(25, false, false, 0), "25.00");
    EXPECT_EQ(ValueFieldText(25, false, false, 1), "25.000");
    EXPECT_EQ(ValueFieldText(-5, false, false, 0), "-5.00");
    EXPECT_EQ(ValueFieldText(25, false, true, 0), platform::sjis::S("データ不良"));
    EXPECT_EQ(ValueFieldText(25, true, true, 0), platform::sjis::S("通信異常"));
}

TEST(PlottedChannels, MeasuredRecordsAmongTheDeviceCount) {
    MonitorData data(1);
    data.channels[0].channelNumber = 3;
    data.channels[0].measureSwitch = 1;
    data.channels[1].channelNumber = 5;
    data.channels[1].measureSwitch = 0;
    data.channels[2].channelNumber = 7;
    data.channels[2].measureSwitch = 1;  // beyond the device count
    data.deviceCount = 2;
    const auto plotted = PlottedChannels(data);
    EXPECT_TRUE(plotted[2]);
    EXPECT_FALSE(plotted[4]);
    EXPECT_FALSE(plotted[6]);
}

}  // namespace
}  // namespace ridaviri
