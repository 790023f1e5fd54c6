#include "ridaviri/ui/setting_dialogs.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/sjis.h"
#include "ridaviri/calibration.h"

namespace ridaviri {
namespace {

namespace sjis = platform::sjis;

int Clamped(int count) { return std::clamp(count, 0, kChannelCount); }

bool ValidChannel(int n) { return n >= 1 && n <= kChannelCount; }

std::string Printf(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Digits after the first "." of an entered number.
std::size_t Decimals(const std::string& text) {
    const std::size_t point = text.find('.');
    return point == std::string::npos ? 0 : text.size() - point - 1;
}

}  // namespace

// ------------------------------------------------------------------------------ settings

SettingsDialogModel::SettingsDialogModel(MonitorData& data, MessageFunction& messages, std::function<void()> blankGraph)
    : data_(data), messages_(messages), blankGraph_(std::move(blankGraph)) {}

int SettingsDialogModel::Count() const { return Clamped(data_.deviceCount); }

std::vector<ListColumn> SettingsDialogModel::Columns() {
    return {{sjis::S("項目"), 55},         {sjis::S("ID番号"), 65},     {sjis::S("計測精度型"), 85},
            {sjis::S("計測インターバル"), 115}, {sjis::S("計測ON/OFF"), 85}, {sjis::S("校正ON/OFF"), 85},
            {sjis::S("校正値a"), 75},       {sjis::S("校正値b"), 75},    {sjis::S("入力モード"), 75}};
}

std::vector<SettingsDialogModel::Row> SettingsDialogModel::Rows() const {
    std::vector<Row> rows;
    const int count = Count();
    for (int n = 1; n <= kChannelCount; ++n) {
        for (int i = 0; i < count; ++i) {
            const ChannelRecord& r = data_.found[i];
            if (r.channelNumber != n || r.idNumber == 0 || r.noResponse != 0) continue;
            Row row;
            row[0] = "CH" + std::to_string(n);
            row[1] = std::to_string(r.idNumber);
            row[2] = sjis::S(r.precisionModel != 0 ? "高精度型" : "標準型");
            row[3] = std::to_string(static_cast<int32_t>(r.interval));
            row[4] = r.measureSwitch == 1 ? "ON" : "OFF";
            row[5] = r.calibrationSwitch == 1 ? "ON" : "OFF";
            row[6] = Printf("%f", r.factorA);
            row[7] = Printf("%f", r.factorB);
            row[8] = sjis::S("温度");
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

uint8_t SettingsDialogModel::PrecisionModel() const { return data_.found[0].precisionModel == 0 ? 0 : 1; }

void SettingsDialogModel::SetPrecisionModel(uint8_t model) {
    const int count = Count();
    for (int i = 0; i < count; ++i) {
        if (data_.found[i].idNumber != 0) data_.found[i].precisionModel = model == 0 ? 0 : 1;
    }
}

bool SettingsDialogModel::MayOpenChannelSelection() {
    if (!data_.stateWord.Test(state::CH_DUPLICATE)) return true;
    messages_(19);
    return false;
}

int SettingsDialogModel::Send() {
    if (blankGraph_) blankGraph_();
    if (data_.stateWord.Test(state::CH_DUPLICATE)) {
        messages_(19);
        return -1;
    }
    const int count = Count();
    ResetTable(data_.channels);
    std::copy(data_.found.begin(), data_.found.begin() + count, data_.channels.begin());
    return 0;
}

// ------------------------------------------------------------------------------ channel numbers

std::vector<std::string> ChannelNumberDialogModel::IdEntries() const {
    std::vector<std::string> entries;
    for (const ChannelRecord& r : data_.found) {
        if (r.idNumber != 0) entries.push_back(std::to_string(r.idNumber));
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<std::string> ChannelNumberDialogModel::ChannelEntries() {
    std::vector<std::string> entries;
    for (int n = 1; n <= kChannelCount; ++n) entries.push_back("CH" + std::to_string(n));
    return entries;
}

int ChannelNumberDialogModel::Assign(int idEntry, int channelEntry) {
    const std::vector<std::string> ids = IdEntries();
    if (idEntry < 0 || idEntry >= static_cast<int>(ids.size()) || channelEntry < 0 || channelEntry >= kChannelCount) {
        messages_(18);
        return -1;
    }
    const long id = std::atol(ids[idEntry].c_str());
    for (ChannelRecord& r : data_.found) {
        if (r.IsEmpty()) break;
        if (r.idNumber == id) {
            r.channelNumber = static_cast<uint8_t>(channelEntry + 1);
            break;
        }
    }
    return 0;
}

void ChannelNumberDialogModel::Close() {
    data_.stateWord.Clear(state::CH_DUPLICATE);
    if (HasDuplicateChannelNumbers(data_.found, data_.deviceCount)) data_.stateWord.Set(state::CH_DUPLICATE);
}

bool HasDuplicateChannelNumbers(const ChannelTable& table, int count) {
    bool seen[kChannelCount + 1] = {};
    for (int i = 0; i < Clamped(count); ++i) {
        const int n = table[i].channelNumber;
        if (!ValidChannel(n)) continue;
        if (seen[n]) return true;
        seen[n] = true;
    }
    return false;
}

// ------------------------------------------------------------------------------ interval

uint32_t IntervalDialogModel::Shown() const {
    for (const ChannelRecord& r : data_.found) {
        if (r.interval != 0) return r.interval;
    }
    return 0;
}

int IntervalDialogModel::Apply(uint64_t intervalMs) {
    if (intervalMs < kIntervalMinMs || intervalMs > kIntervalMaxMs) {
        messages_(22);
        return -1;
    }
    if (intervalMs % kIntervalStepMs != 0) {
        messages_(21);
        return -1;
    }
    for (int i = 0; i < Clamped(data_.deviceCount); ++i) data_.found[i].interval = static_cast<uint32_t>(intervalMs);
    return 0;
}

// ------------------------------------------------------------------------------ channel selection

ChannelSelectionModel::ChannelSelectionModel(ChannelSelectionKind kind, MonitorData& data, MessageFunction& messages,
                                             std::atomic<int>* listResult)
    : kind_(kind), data_(data), messages_(messages), listResult_(listResult) {
    const bool display = kind == ChannelSelectionKind::GraphChannels || kind == ChannelSelectionKind::ListChannels;
    fileShown_ = display && data.stateWord.Mode() == state::kModeFileShown;
    if (fileShown_) {
        checked_.fill(true);
        enabled_.fill(true);
        return;
    }
    if (!display) {
        // The working copy: boxes for the channel numbers its units carry.
        for (ChannelRecord& r : data.found) {
            if (r.IsEmpty() || !ValidChannel(r.channelNumber)) continue;
            enabled_[r.channelNumber - 1] = true;
            const bool on = kind == ChannelSelectionKind::MeasuredChannels ? r.idNumber != 0 && r.measureSwitch == 1
                                                                             : r.calibrationSwitch == 1;
            if (on) checked_[r.channelNumber - 1] = true;
        }
        return;
    }
    // The channel table: boxes for the measured channels.
    for (int i = 0; i < std::clamp(data.deviceCount.load(), 0, kChannelCount); ++i) {
        const ChannelRecord& r = data.channels[i];
        if (ValidChannel(r.channelNumber) && r.measureSwitch == 1) enabled_[r.channelNumber - 1] = true;
    }
    for (ChannelRecord& r : data.channels) {
        if (ValidChannel(r.channelNumber) && Switch(r) == 1) checked_[r.channelNumber - 1] = true;
    }
}

const char* ChannelSelectionModel::Title() const {
    switch (kind_) {
    case ChannelSelectionKind::MeasuredChannels: return "計測チャンネル番号選択";
    case ChannelSelectionKind::CalibrationSwitches: return "校正機能設定チャンネル番号選択";
    case ChannelSelectionKind::GraphChannels: return "グラフチャンネル番号選択";
    case ChannelSelectionKind::ListChannels: return "計測データリスト表示チャンネル番号選択";
    }
    return "";
}

const char* ChannelSelectionModel::GroupTitle() const {
    switch (kind_) {
    case ChannelSelectionKind::MeasuredChannels: return "計測チャンネル番号選択";
    case ChannelSelectionKind::CalibrationSwitches: return "校正機能設定チャンネル番号選択";
    case ChannelSelectionKind::GraphChannels: return "グラフ表示チャンネル番号選択";
    case ChannelSelectionKind::ListChannels: return "リスト表示チャンネル番号選択";
    }
    return "";
}

uint8_t ChannelSelectionModel::Switch(const ChannelRecord& record) const {
    switch (kind_) {
    case ChannelSelectionKind::MeasuredChannels: return record.measureSwitch;
    case ChannelSelectionKind::CalibrationSwitches: return record.calibrationSwitch;
    case ChannelSelectionKind::GraphChannels: return record.graphDisplay;
    case ChannelSelectionKind::ListChannels: break;
    }
    return record.listDisplay;
}

void ChannelSelectionModel::SetSwitch(ChannelRecord& record, bool on) const {
    const uint8_t value = on ? 1 : 0;
    switch (kind_) {
    case ChannelSelectionKind::MeasuredChannels: record.measureSwitch = value; break;
    case ChannelSelectionKind::CalibrationSwitches: record.calibrationSwitch = value; break;
    case ChannelSelectionKind::GraphChannels: record.graphDisplay = value; break;
    case ChannelSelectionKind::ListChannels: record.listDisplay = value; break;
    }
}

void ChannelSelectionModel::SetChecked(int channelIndex, bool on) {
    if (channelIndex >= 0 && channelIndex < kChannelCount && enabled_[channelIndex]) checked_[channelIndex] = on;
}

void ChannelSelectionModel::ClearAll() { checked_.fill(false); }

void ChannelSelectionModel::SelectAll() { checked_ = enabled_; }

int ChannelSelectionModel::Ok() {
    const bool list = kind_ == ChannelSelectionKind::ListChannels;
    if (list && listResult_) *listResult_ = kListSelectionConfirmed;
    const bool any = std::any_of(checked_.begin(), checked_.end(), [](bool b) { return b; });
    if (!any && kind_ != ChannelSelectionKind::CalibrationSwitches) {
        messages_(41);
        return -1;
    }
    if (fileShown_) {
        for (int i = 0; i < kChannelCount; ++i) SetSwitch(data_.found[i], checked_[i]);
    } else {
        // The working copy, or the channel table (whose display switches the display and list
        // threads read meanwhile, one atomic byte each).
        const bool working = kind_ == ChannelSelectionKind::MeasuredChannels ||
                             kind_ == ChannelSelectionKind::CalibrationSwitches;
        for (ChannelRecord& r : working ? data_.found : data_.channels) {
            if (ValidChannel(r.channelNumber)) SetSwitch(r, checked_[r.channelNumber - 1]);
        }
    }
    if (list && listResult_ && any) *listResult_ = kListSelectionChosen;
    return 0;
}

void ChannelSelectionModel::Cancel() {
    if (kind_ == ChannelSelectionKind::ListChannels && listResult_) *listResult_ = kListSelectionCancelled;
}

// ------------------------------------------------------------------------------ graph scaling

GraphScalingDialogModel::GraphScalingDialogModel(uint8_t precisionModel, const GraphRange& range,
                                                 uint32_t displayedInterval, MessageFunction& messages)
    : interval(displayedInterval), high_(precisionModel != 0), messages_(messages) {
    const std::vector<std::string>& entries = Multipliers();
    const auto it = std::find(entries.begin(), entries.end(), std::to_string(range.scale));
    multiplier = it == entries.end() ? 0 : static_cast<int>(it - entries.begin());
    maxText = FormatTemperature(range.max, high_ ? 1 : 0);
    miniText = FormatTemperature(range.mini, high_ ? 1 : 0);
}

const char* GraphScalingDialogModel::Title() const {
    return high_ ? "グラフスケーリング（高精度型）" : "グラフスケーリング（標準型）";
}
const char* GraphScalingDialogModel::MaxNote() const { return high_ ? "（-19.999℃～200.000℃）" : "（-19.99℃～200.00℃）"; }
const char* GraphScalingDialogModel::MiniNote() const {
    return high_ ? "（-20.000℃～199.999℃）" : "（-20.00℃～199.99℃）";
}
const char* GraphScalingDialogModel::StepNote() const { return high_ ? "※0.001℃毎に設定可能" : "※0.01℃毎に設定可能"; }

const std::vector<std::string>& GraphScalingDialogModel::Multipliers() {
    static const std::vector<std::string> entries = {"1", "10", "100", "1000"};
    return entries;
}

GraphScalingDialogModel::Field GraphScalingDialogModel::Ok(bool* accepted) {
    *accepted = false;
    if (multiplier < 0 || multiplier >= static_cast<int>(Multipliers().size())) return Field::None;
    const double max = std::atof(maxText.c_str());
    const double mini = std::atof(miniText.c_str());
    const double lowestMax = high_ ? -19.999 : -19.99;
    const double highestMini = high_ ? 199.999 : 199.99;
    const std::size_t maxLength = high_ ? 8 : 7;   // the maximum must be shorter
    const std::size_t miniLength = high_ ? 7 : 6;  // the minimum may be this long
    const std::size_t decimals = high_ ? 3 : 2;
    Field failed = Field::None;
    if (max < lowestMax || max > 200.0) failed = Field::Max;
    else if (mini < -20.0) failed = Field::Mini;
    else if (mini > highestMini) failed = Field::Mini;
    else if (!(max > mini)) failed = Field::Max;
    else if (maxText.size() >= maxLength) failed = Field::Max;
    else if (Decimals(maxText) > decimals) failed = Field::Max;
    else if (miniText.size() > miniLength) failed = Field::Mini;
    else if (Decimals(miniText) > decimals) failed = Field::Mini;
    if (failed != Field::None) {
        messages_(7);
        return failed;
    }
    *accepted = true;
    return Field::None;
}

std::string GraphScalingDialogModel::ScaleText() const { return Multipliers().at(multiplier); }

GraphRange GraphScalingDialogModel::Range() const {
    GraphRange r;
    r.scale = std::atoi(ScaleText().c_str());
    r.max = std::atof(maxText.c_str());
    r.mini = std::atof(miniText.c_str());
    return r;
}

}  // namespace ridaviri
