#include "ridaviri/ui/graph_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "ridaviri/calibration.h"
#include "platform/sjis.h"

namespace ridaviri {
namespace {

constexpr int kTimeLabelPoints[kTimeLabels] = {0, 9, 18, 27, 36};

int DecimalDigits(int value) {
    unsigned v = static_cast<unsigned>(std::abs(value));
    int digits = 1;
    while (v >= 10) {
        v /= 10;
        ++digits;
    }
    return digits;
}

}  // namespace

const std::array<Rgb, kChannelCount> kChannelColours = {{
    {0, 0, 0},       {0, 0, 255},   {0, 223, 223}, {0, 223, 0},   {223, 223, 0},
    {255, 153, 0},   {255, 0, 0},   {255, 0, 128}, {255, 0, 255}, {150, 0, 255},
    {128, 128, 128}, {0, 0, 160},   {0, 160, 160}, {0, 160, 0},   {160, 160, 0},
    {160, 128, 0},   {200, 0, 0},   {160, 0, 128}, {160, 0, 160}, {100, 0, 160},
}};

GraphRange RangeFromTexts(const MonitorSettings& settings) {
    GraphRange r;
    r.scale = std::atoi(settings.scale.c_str());
    r.max = std::atof(settings.max.c_str());
    r.mini = std::atof(settings.mini.c_str());
    return r;
}

GraphRange DrawableRange(GraphRange range) {
    if (range.scale == 0) range.scale = 1;
    if (range.max - range.mini == 0.0) {
        range.max = 100.0;
        range.mini = 0.0;
    }
    return range;
}

GraphRange GraphSettings::Get() const {
    std::lock_guard lock(mutex_);
    return range_;
}

void GraphSettings::Set(const GraphRange& range) {
    std::lock_guard lock(mutex_);
    range_ = range;
}

GraphRange GraphSettings::MakeDrawable() {
    std::lock_guard lock(mutex_);
    range_ = DrawableRange(range_);
    return range_;
}

double PixelY(double celsius, double height, const GraphRange& range) {
    const double s = height / (range.max - range.mini);
    return height + range.mini * s - s * celsius;
}

std::string TimeLabelText(uint64_t milliseconds) {
    const uint64_t seconds = milliseconds / 1000;
    char text[40];
    std::snprintf(text, sizeof text, "%02llu:%02u:%02u", static_cast<unsigned long long>(seconds / 3600),
                  static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
    return text;
}

std::array<std::string, kTimeLabels> InitialTimeLabels(uint32_t intervalMs, int scale) {
    uint64_t factor = 1;
    for (int d = DecimalDigits(scale); d > 1; --d) factor *= 10;
    std::array<std::string, kTimeLabels> labels;
    labels[0] = TimeLabelText(0);
    for (int i = 1; i < kTimeLabels; ++i)
        labels[i] = TimeLabelText(uint64_t(intervalMs) * uint64_t(kTimeLabelPoints[i]) * factor);
    return labels;
}

std::array<std::string, kTimeLabels> DrawnTimeLabels(uint32_t intervalMs, int scale, uint64_t samples) {
    const uint64_t s = scale <= 0 ? 1 : uint64_t(scale);
    const uint64_t interval = intervalMs;
    uint64_t shift = 0;
    if (s == 1 && samples > kGraphPoints) shift = interval * (samples - kGraphPoints);
    else if (s * kGraphPoints < samples) shift = s * interval * ((samples + s) / s - kGraphPoints);
    std::array<std::string, kTimeLabels> labels;
    for (int i = 0; i < kTimeLabels; ++i) labels[i] = TimeLabelText(shift + uint64_t(kTimeLabelPoints[i]) * s * interval);
    return labels;
}

std::array<std::string, kTemperatureLabels> TemperatureLabels(const GraphRange& range, uint8_t precisionModel) {
    std::array<std::string, kTemperatureLabels> labels;
    const double step = (range.max - range.mini) / 10;
    for (int k = 0; k < kTemperatureLabels; ++k) {
        const double value = k == 0 ? range.mini : k == 10 ? range.max : range.mini + k * step;
        labels[kTemperatureLabels - 1 - k] = FormatTemperature(value, precisionModel);
    }
    return labels;
}

std::array<bool, kChannelCount> PlottedChannels(const MonitorData& data) {
    std::array<bool, kChannelCount> plotted{};
    const int count = std::clamp(data.deviceCount.load(), 0, kChannelCount);
    for (int i = 0; i < count; ++i) {
        const ChannelRecord& r = data.channels[i];
        if (r.channelNumber >= 1 && r.channelNumber <= kChannelCount && r.measureSwitch == 1)
            plotted[r.channelNumber - 1] = true;
    }
    return plotted;
}

bool IsPointSample(std::size_t index, int scale) {
    const std::size_t s = scale <= 0 ? 1 : std::size_t(scale);
    return index == 0 || (index + 1) % s == 0;
}

std::string ValueFieldText(double celsius, bool noResponse, bool badData, uint8_t precisionModel) {
    if (noResponse) return platform::sjis::S("通信異常");
    if (badData) return platform::sjis::S("データ不良");
    return FormatTemperature(celsius, precisionModel);
}

void GraphRing::Clear() {
    count_ = 0;
    for (auto& channel : y_) channel.fill(0.0);
}

void GraphRing::Add(const std::array<double, kChannelCount>& celsius, const GraphRange& range) {
    const GraphRange r = DrawableRange(range);
    if (count_ == kGraphPoints) {
        for (auto& channel : y_) std::move(channel.begin() + 1, channel.end(), channel.begin());
        --count_;
    }
    for (int c = 0; c < kChannelCount; ++c) y_[c][count_] = PixelY(celsius[c], height_, r);
    ++count_;
}

GraphPicture GraphRing::Picture(bool plot, const GraphRange& range,
                                const std::array<bool, kChannelCount>& plotted) const {
    GraphPicture p;
    p.width = width_;
    p.height = height_;
    p.plot = plot;
    if (!plot) return p;
    const GraphRange r = DrawableRange(range);
    p.zeroY = PixelY(0.0, height_, r);
    p.tickBaseY = r.mini >= 0 ? height_ : p.zeroY;
    // Rounded half up, and never 0 so that the marks end.
    const int tickStep = std::max(1, static_cast<int>(std::floor(step_ + 0.5)));
    for (int x = 0; x <= width_; x += tickStep) p.tickXs.push_back(x);
    for (int c = 0; c < kChannelCount; ++c) {
        if (!plotted[c] || count_ == 0) continue;
        GraphPicture::Line line;
        line.channel = c + 1;
        for (int j = 0; j < count_; ++j) line.points.push_back({j * step_, y_[c][j]});
        p.lines.push_back(std::move(line));
    }
    return p;
}

}  // namespace ridaviri
