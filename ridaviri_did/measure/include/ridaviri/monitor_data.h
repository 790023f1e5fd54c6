// The data the whole monitor works on: the channel table, the found table, the state word,
// the sample buffer and the values around them, with the one critical section that guards
// the sample index and the stop changes of the state word. The program makes one of these at
// start and keeps it to the end; tests make a fresh one each.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sync.h"
#include "ridaviri/sensor_protocol.h"

namespace ridaviri {

// Channels of the monitor: table records and sample entries per sample.
inline constexpr int kChannelCount = 20;
// Samples a measurement can hold.
inline constexpr std::size_t kMaxSamples = 65535;
// Interval a reset record gets, ms.
inline constexpr uint32_t kDefaultIntervalMs = 1000;

// Device handle of a USB unit; all bits set when there is none.
using DeviceHandle = std::uintptr_t;
inline constexpr DeviceHandle kInvalidDeviceHandle = ~DeviceHandle{0};

// How the monitor reaches the units (INTERFACE_SELECT).
enum InterfaceKind : uint8_t {
    kInterfaceCan = 0,
    kInterfaceUsb = 1,
    kInterfaceViewer = 2,
};

// A per-channel switch that the window changes while the measurement thread reads it (measure,
// graph display, list display) or the other way round (no-response mark): each read and write
// is one atomic byte, so a record can be copied and assigned like plain data.
class ChannelSwitch {
public:
    ChannelSwitch(uint8_t value = 0) : value_(value) {}
    ChannelSwitch(const ChannelSwitch& other) : value_(other.Load()) {}
    ChannelSwitch& operator=(const ChannelSwitch& other) { return *this = other.Load(); }
    ChannelSwitch& operator=(uint8_t value) {
        value_.store(value, std::memory_order_relaxed);
        return *this;
    }
    operator uint8_t() const { return Load(); }
    uint8_t Load() const { return value_.load(std::memory_order_relaxed); }

private:
    std::atomic<uint8_t> value_;
};

// One record of the channel table and of the found table.
struct ChannelRecord {
    SensorIdentity identity;            // type letter 0 = empty record
    uint8_t channelNumber = 0;          // display channel 1-20; 0 = none
    uint16_t idNumber = 0;              // ID stored in the unit; 0 = none
    DeviceHandle usbHandle = kInvalidDeviceHandle;
    uint32_t canNode = 0;               // node number; 0 = none
    ChannelSwitch measureSwitch = 0;    // 1 = measured
    uint8_t inputMode = 0;              // read from the unit
    uint32_t interval = kDefaultIntervalMs;  // ms; the same for all channels
    uint8_t calibrationSwitch = 0;      // 1 = apply factors A and B
    float factorA = 0.0f;               // calibration slope
    float factorB = 0.0f;               // calibration offset, °C
    uint8_t precisionModel = 0;         // 0 standard, else high precision; same for all
    uint8_t spare = 0;
    ChannelSwitch graphDisplay = 0;     // shown in the graph view
    ChannelSwitch listDisplay = 0;      // shown in the list view
    ChannelSwitch noResponse = 0;       // 1 = did not answer a poll

    bool IsEmpty() const { return identity.typeLetter == 0; }
};

// Back to the values of an unused record (interval 1000, handle invalid, all else 0).
void ResetRecord(ChannelRecord& record);

using ChannelTable = std::array<ChannelRecord, kChannelCount>;
void ResetTable(ChannelTable& table);

// The state word: mode in the low 3 bits, flags above.
namespace state {
inline constexpr uint32_t kModeMask = 0x00000007;
inline constexpr uint32_t kModeIdle = 0;
inline constexpr uint32_t kModePolling = 1;    // a poll is running
inline constexpr uint32_t kModeMeasuring = 2;  // measuring, waiting for the next interval
inline constexpr uint32_t kModeFileShown = 4;  // a saved file is shown
inline constexpr uint32_t kModeIdSetting = 6;  // the ID-setting dialog is open

inline constexpr uint32_t INI_INCOMPLETE = 0x00010000;
inline constexpr uint32_t CH_DUPLICATE = 0x00020000;
inline constexpr uint32_t STOP_REQUEST = 0x00080000;
inline constexpr uint32_t UNSAVED = 0x00100000;
inline constexpr uint32_t HAS_DATA = 0x00200000;
inline constexpr uint32_t CONFIG_CHANGED = 0x00800000;
inline constexpr uint32_t DEVICES_OPEN = 0x01000000;
inline constexpr uint32_t ID_SET_FROM_CHECK = 0x02000000;
inline constexpr uint32_t STARTUP_CHECK = 0x04000000;
inline constexpr uint32_t AUTO_CHECK = 0x08000000;
inline constexpr uint32_t USER_CHECK = 0x10000000;
inline constexpr uint32_t CHECK_NEEDED = 0x20000000;
}  // namespace state

// The program-wide state word. Each thread tests single bits or the mode; the changes that
// must go together with the sample index are made under MonitorData::section.
class StateWord {
public:
    uint32_t Value() const { return bits_.load(); }
    bool Test(uint32_t bit) const { return (bits_.load() & bit) != 0; }
    void Set(uint32_t bit) { bits_.fetch_or(bit); }
    void Clear(uint32_t bit) { bits_.fetch_and(~bit); }
    uint32_t Mode() const { return bits_.load() & state::kModeMask; }
    void SetMode(uint32_t mode);
    void Reset(uint32_t value = 0) { bits_.store(value); }

private:
    std::atomic<uint32_t> bits_{0};
};

// The sample buffer: one record of 20 temperatures (°C, after calibration) per sample;
// channel n is entry n-1. Filled in place; nothing is allocated per sample.
class SampleBuffer {
public:
    explicit SampleBuffer(std::size_t capacity = kMaxSamples);
    std::size_t Capacity() const { return capacity_; }
    double* Sample(std::size_t k) { return &values_[k * kChannelCount]; }
    const double* Sample(std::size_t k) const { return &values_[k * kChannelCount]; }
    double& At(std::size_t k, int channelIndex) { return values_[k * kChannelCount + channelIndex]; }
    double At(std::size_t k, int channelIndex) const { return values_[k * kChannelCount + channelIndex]; }
    void Clear();  // every temperature 0

private:
    std::size_t capacity_;
    std::vector<double> values_;
};

// Settings of the configuration file that belong to no channel.
struct MonitorSettings {
    int interfaceSelectTimeout = 0;  // carried over only
    int saveDataSize = 0;            // carried over only
    std::string scale = "1";         // graph scale, at most 9 characters
    std::string max = "100";         // graph upper limit
    std::string mini = "0";          // graph lower limit
};

// The header of a CSV measurement log, texts in Shift-JIS. One per program: opening a file
// fills it, saving refills the date, time, interval and precision and keeps the memo.
struct LogHeader {
    std::string date;       // "%d/%d/%d" year/month/day
    std::string startTime;  // "%d:%d:%d:%d" hour:minute:second:millisecond
    uint32_t interval = 0;  // ms
    std::string precision;  // "標準" or "高精度"
    std::string memo;       // up to 100 characters
    uint32_t sampleCount = 0;
};

// One entry of the ID history: which ID a unit was given during this program run.
struct IdHistoryEntry {
    SensorIdentity identity;  // type letter 0 = free entry
    uint16_t idNumber = 0;
};

class MonitorData {
public:
    explicit MonitorData(std::size_t sampleCapacity = kMaxSamples);
    MonitorData(const MonitorData&) = delete;
    MonitorData& operator=(const MonitorData&) = delete;

    ChannelTable channels;       // the configured channels, storage order
    ChannelTable found;          // what the last search or check found, discovery order
    ChannelTable channelBackup;  // kept while a saved file is shown and during checks
    StateWord stateWord;
    std::atomic<uint8_t> interfaceKind{kInterfaceCan};
    std::atomic<int> deviceCount{0};  // units of the last check, 0-20
    platform::sync::LocalTime startTime{};  // measurement start, local, to the millisecond
    std::atomic<uint32_t> displayedInterval{0};  // ms
    std::array<std::atomic<uint8_t>, kChannelCount> badDataMarks{};  // by channel number - 1
    SampleBuffer samples;
    // The sample shown as current values (°C, by channel number - 1); under `section`.
    std::array<double, kChannelCount> currentValues{};
    MonitorSettings settings;
    LogHeader logHeader;

    // Sensor check: local time of the check's start (hour, minute, second go to SetClock),
    // whether message 48 was shown in this program run, the IDs given to units in this run.
    platform::sync::LocalTime checkTime{};
    bool message48Shown = false;
    std::array<IdHistoryEntry, kChannelCount> idHistory{};

    // The one critical section: sample index, display copies, stop and abort changes.
    std::mutex section;

    std::size_t SampleIndex() const { return sampleIndex_.load(); }
    // Call with `section` held.
    void SetSampleIndexLocked(std::size_t index) { sampleIndex_.store(index); }
    void IncrementSampleIndexLocked() { sampleIndex_.fetch_add(1); }

    void ClearBadDataMarks();

private:
    std::atomic<std::size_t> sampleIndex_{0};
};

}  // namespace ridaviri
