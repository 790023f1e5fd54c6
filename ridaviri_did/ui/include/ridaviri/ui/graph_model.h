// The time-temperature graphs without widgets: the program-wide graph range (samples per
// point, temperature axis), the ring of the last 36 points of each channel in pixel positions,
// the axis labels, the texts of the value fields, and the picture one painter draws for the
// main graph and for every small graph.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "ridaviri/monitor_data.h"

namespace ridaviri {

// Points a graph holds per channel.
inline constexpr int kGraphPoints = 36;
// The main graph's area, pixels: 10 px per point, 36 points; the ring rebuild's height.
inline constexpr int kMainGraphStep = 10;
inline constexpr int kMainGraphWidth = kMainGraphStep * kGraphPoints;
inline constexpr int kMainGraphHeight = 270;
// Height of a tick mark, pixels.
inline constexpr int kTickHeight = 5;
// Time labels under a graph (at points 0, 9, 18, 27, 36) and temperature labels beside it.
inline constexpr int kTimeLabels = 5;
inline constexpr int kTemperatureLabels = 11;

// The graph's range: samples per point (SCALE) and the temperature axis (MAX at the top,
// MINI at the bottom), °C.
struct GraphRange {
    int scale = 1;
    double max = 100.0;
    double mini = 0.0;
};

// The range as the configuration texts give it: SCALE by atoi, MAX and MINI by atof.
GraphRange RangeFromTexts(const MonitorSettings& settings);

// The range a drawing uses: SCALE 0 counts as 1; MAX equal to MINI becomes 100 and 0.
GraphRange DrawableRange(GraphRange range);

// The program-wide graph range; read by the graph windows' threads, so guarded.
class GraphSettings {
public:
    GraphRange Get() const;
    void Set(const GraphRange& range);
    // MAX and MINI both 0 (or equal) become 100 and 0, SCALE 0 becomes 1; the result stays.
    GraphRange MakeDrawable();

private:
    mutable std::mutex mutex_;
    GraphRange range_;
};

// Vertical pixel position of temperature `celsius` in an area `height` pixels high:
// MINI on the bottom edge, MAX on the top edge. `range` must be drawable.
double PixelY(double celsius, double height, const GraphRange& range);

// "hh:mm:ss" of a number of milliseconds (whole seconds; hours go on past 24).
std::string TimeLabelText(uint64_t milliseconds);

// The time labels before the graph scrolls: "00:00:00", then interval x k ms for k = 9, 18,
// 27, 36 with one "0" appended for every decimal digit of SCALE beyond the first.
std::array<std::string, kTimeLabels> InitialTimeLabels(uint32_t intervalMs, int scale);

// The time labels after a redraw that drew the samples up to `samples` (the number drawn):
// shift + k x SCALE x interval for k = 0, 9, 18, 27, 36.
std::array<std::string, kTimeLabels> DrawnTimeLabels(uint32_t intervalMs, int scale, uint64_t samples);

// The eleven temperature labels from the top (MAX) to the bottom (MINI), "%3.2f" for the
// standard precision model, "%3.3f" for high precision.
std::array<std::string, kTemperatureLabels> TemperatureLabels(const GraphRange& range, uint8_t precisionModel);

// Channels whose line is drawn: channel numbers that a record among the first `deviceCount`
// records of the channel table carries with measure switch 1. Index = channel number - 1.
std::array<bool, kChannelCount> PlottedChannels(const MonitorData& data);

// Whether sample `index` becomes a point of a graph: the first sample and every SCALE-th.
bool IsPointSample(std::size_t index, int scale);

// The text of a value field: "通信異常" (the channel stopped answering), "データ不良" (bad
// data), else the temperature by precision model. Shift-JIS.
std::string ValueFieldText(double celsius, bool noResponse, bool badData, uint8_t precisionModel);

// The colour of each channel's mark and line (red, green, blue), by channel number - 1.
struct Rgb {
    uint8_t r, g, b;
};
extern const std::array<Rgb, kChannelCount> kChannelColours;

// What a painter draws for one graph area, in the area's pixels.
struct GraphPicture {
    struct Line {
        int channel = 0;  // 1-20
        std::vector<std::array<double, 2>> points;  // x, y
    };
    int width = 0;
    int height = 0;
    bool plot = false;       // false: the area stays empty
    double zeroY = 0;        // the 0 °C line
    double tickBaseY = 0;    // tick marks rise 5 px from here
    std::vector<int> tickXs;
    std::vector<Line> lines;
};

// The ring of one graph: the last 36 points of every channel as pixel positions in an area of
// width x height pixels, points `step` pixels apart.
class GraphRing {
public:
    GraphRing(int width, int height, double step) : width_(width), height_(height), step_(step) {}

    int Width() const { return width_; }
    int Height() const { return height_; }
    double Step() const { return step_; }
    int PointCount() const { return count_; }
    double At(int channelIndex, int point) const { return y_[channelIndex][point]; }

    // Point count 0, every position 0.
    void Clear();
    // The next point of every channel (°C by channel number - 1): appended while fewer than
    // 36 are held, otherwise the ring moves one point to the left first.
    void Add(const std::array<double, kChannelCount>& celsius, const GraphRange& range);
    // The points the live display would hold after samples 0 .. count - 1 of `samples`, with
    // `value(sample, channelIndex)` giving each temperature.
    template <typename Value>
    void Rebuild(std::size_t count, const GraphRange& range, Value value);

    // The picture of the ring with the lines of the `plotted` channels; tick marks every
    // round(step) pixels (every 10 px in the main graph).
    GraphPicture Picture(bool plot, const GraphRange& range, const std::array<bool, kChannelCount>& plotted) const;

private:
    int width_;
    int height_;
    double step_;
    int count_ = 0;
    std::array<std::array<double, kGraphPoints>, kChannelCount> y_{};
};

template <typename Value>
void GraphRing::Rebuild(std::size_t count, const GraphRange& range, Value value) {
    Clear();
    // Only the newest 36 point samples stay in the ring: find where they start.
    std::vector<std::size_t> points;
    for (std::size_t k = count; k-- > 0 && points.size() < kGraphPoints;) {
        if (IsPointSample(k, range.scale)) points.push_back(k);
    }
    for (auto it = points.rbegin(); it != points.rend(); ++it) {
        std::array<double, kChannelCount> celsius{};
        for (int c = 0; c < kChannelCount; ++c) celsius[c] = value(*it, c);
        Add(celsius, range);
    }
}

}  // namespace ridaviri
