#include "ridaviri/measurement.h"

#include <algorithm>
#include <chrono>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "ridaviri/calibration.h"
#include "ridaviri/measurement_log.h"

namespace ridaviri {
namespace {

// Pause after resuming the measurement thread before the next target is set, ms.
constexpr uint32_t kPacingSettleMs = 300;
// Check step of the pacing thread, ms.
constexpr uint32_t kPacingStepMs = 100;
// Refresh step of the display thread, ms.
constexpr uint32_t kDisplayStepMs = 200;
// Nice value of the display thread: it runs when nothing else wants the processor.
constexpr int kIdleNice = 19;
// How long the stop procedure waits for the measurement thread to end, ms.
constexpr auto kStopWait = std::chrono::milliseconds(1000);

}  // namespace

PollItems BuildPollItems(const ChannelTable& channels) {
    PollItems items{};
    for (int i = 0; i < kChannelCount; ++i) {
        PollItem& item = items[i];
        item.node = channels[i].canNode;
        item.request = kPollKindMeasurement;
        item.value = 0;
        item.identity = channels[i].identity;
        if (channels[i].measureSwitch == 1) item.request |= kPollSend;
    }
    return items;
}

void StoreSample(MonitorData& data, const PollItems& items) {
    const std::size_t k = data.SampleIndex();
    if (k >= data.samples.Capacity()) return;
    int count = data.deviceCount;
    if (count < 0) count = 0;
    if (count > kChannelCount) count = kChannelCount;
    for (int i = 0; i < kChannelCount; ++i) {
        const int n = data.channels[i].channelNumber;
        if (n < 1 || n > kChannelCount) continue;
        if (items[i].NoReply()) {
            data.samples.At(k, n - 1) = 0.0;
            continue;
        }
        const ConvertedValue v = ConvertRawValue(items[i].value);
        data.badDataMarks[n - 1] = v.badData ? 1 : 0;
        double t = v.celsius;
        for (int j = 0; j < count; ++j) {
            if (data.channels[j].channelNumber == n) {
                t = ApplyCalibration(t, data.channels[j]);
                break;
            }
        }
        data.samples.At(k, n - 1) = t;
    }
    std::lock_guard lock(data.section);
    data.IncrementSampleIndexLocked();
}

Measurement::Measurement(MonitorData& data, MeasurementHooks& hooks, MessageFunction& messages,
                         MeasurementClock& clock)
    : data_(data), hooks_(hooks), messages_(messages), clock_(clock) {}

Measurement::~Measurement() {
    if (Running()) Stop();
    Join();
}

bool Measurement::Running() const {
    std::lock_guard lock(mutex_);
    return !measurementEnded_;
}

bool Measurement::OnMeasurementThread() const { return std::this_thread::get_id() == measurementId_.load(); }

int Measurement::Start() {
    if (Running()) return -1;  // one measurement at a time
    Join();  // threads of an earlier measurement have ended; collect them
    {
        std::lock_guard lock(data_.section);
        data_.startTime = clock_.Now();
    }
    AskToSaveUnsaved(data_, messages_, [this] { return hooks_.SaveLog(); });
    data_.samples.Clear();
    if (data_.interfaceKind == kInterfaceUsb && hooks_.RecheckConnection() == -1) {
        hooks_.CloseDevices();
        ResetTable(data_.channels);
        ResetTable(data_.found);
        return -1;
    }
    data_.stateWord.Clear(state::STOP_REQUEST);
    data_.stateWord.Set(state::HAS_DATA);
    for (ChannelRecord& r : data_.channels) {
        if (r.measureSwitch == 1) r.graphDisplay = r.listDisplay = 1;
    }
    data_.displayedInterval = data_.channels[0].interval;
    {
        std::lock_guard lock(data_.section);
        data_.SetSampleIndexLocked(0);
    }
    {
        std::lock_guard lock(mutex_);
        resumePending_ = false;
        suspended_ = true;  // created suspended
        measurementEnded_ = false;
    }
    measurementThread_ = std::thread([this] { MeasurementThread(); });
    measurementId_ = measurementThread_.get_id();
    data_.currentValues.fill(0.0);
    // Both threads count as running before either starts, so that time cannot pass before
    // the pacing thread has taken the start time.
    clock_.Enter();
    clock_.Enter();
    displayThread_ = std::thread([this] { DisplayThread(); });
    pacingThread_ = std::thread([this] { PacingThread(); });
    return 0;
}

void Measurement::Resume() {
    std::lock_guard lock(mutex_);
    if (measurementEnded_ || resumePending_) return;
    resumePending_ = true;
    // A suspended thread runs from here; a running one takes the resume at its next suspend.
    if (suspended_) clock_.Enter();
    changed_.notify_all();
}

bool Measurement::Suspend(bool first) {
    std::unique_lock lock(mutex_);
    if (!first && !resumePending_) {
        clock_.Leave();
        suspended_ = true;
    }
    changed_.wait(lock, [&] { return resumePending_; });
    resumePending_ = false;
    suspended_ = false;
    return !data_.stateWord.Test(state::STOP_REQUEST);
}

bool Measurement::MarkSilentChannels(const PollItems& items) {
    bool silent = false;
    for (int i = 0; i < kChannelCount; ++i) {
        if (items[i].Send() && items[i].NoReply()) {
            data_.channels[i].noResponse = 1;
            silent = true;
        }
    }
    return silent;
}

void Measurement::MeasurementThread() {
    if (Suspend(true)) {
        {
            std::lock_guard lock(data_.section);
            data_.SetSampleIndexLocked(0);
        }
        data_.ClearBadDataMarks();
        for (;;) {
            {
                std::lock_guard lock(data_.section);
                if (data_.stateWord.Test(state::STOP_REQUEST)) break;
                data_.stateWord.SetMode(state::kModePolling);
            }
            PollItems items = BuildPollItems(data_.channels);
            hooks_.PollChannels(items, data_.channels[0].interval);
            StoreSample(data_, items);
            const bool silent = MarkSilentChannels(items);
            // Stopped while the poll ran: the measurement is over already and ends quietly.
            if (data_.stateWord.Test(state::STOP_REQUEST)) break;
            if (silent) {
                messages_(75);
                Stop();
                break;
            }
            if (data_.SampleIndex() >= data_.samples.Capacity()) {
                messages_(8);
                Stop();
                break;
            }
            {
                std::lock_guard lock(data_.section);
                if (data_.stateWord.Test(state::STOP_REQUEST)) break;
                data_.stateWord.SetMode(state::kModeMeasuring);
            }
            if (!Suspend(false)) break;
        }
    }
    EndMeasurementThread();
}

void Measurement::EndMeasurementThread() {
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (!closeOnEnd_) {
                measurementEnded_ = true;
                clock_.Leave();
                changed_.notify_all();
                break;
            }
            closeOnEnd_ = false;
        }
        // A stop that did not wait for the poll left the devices to this thread.
        hooks_.CloseDevices();
    }
    hooks_.MeasurementEnded();
}

void Measurement::PacingThread() {
    platform::sync::LocalTime start = clock_.Now();
    {
        std::lock_guard lock(data_.section);
        data_.startTime = start;
    }
    uint64_t target = MillisecondsSinceMidnight(start);
    uint64_t dayOffset = 0;
    platform::sync::LocalTime day = start;
    for (;;) {
        Resume();
        if (data_.stateWord.Test(state::STOP_REQUEST)) break;
        clock_.Sleep(kPacingSettleMs);
        target += data_.channels[0].interval;
        bool stop = false;
        uint64_t step = kPacingStepMs;
        for (;;) {
            clock_.Sleep(static_cast<uint32_t>(step));
            if (data_.stateWord.Test(state::STOP_REQUEST)) {
                stop = true;
                break;
            }
            step = kPacingStepMs;
            if (data_.stateWord.Mode() == state::kModePolling) continue;
            const platform::sync::LocalTime now = clock_.Now();
            if (!SameDay(now, day)) {
                day = now;
                dayOffset += kMillisecondsPerDay;
            }
            const uint64_t nowMs = MillisecondsSinceMidnight(now) + dayOffset;
            if (target <= nowMs) break;
            // The last step ends at the target, so that the poll starts on time rather than
            // up to one step late (the lateness would otherwise build up to a full step).
            step = std::min<uint64_t>(kPacingStepMs, target - nowMs);
        }
        if (stop) break;
    }
    clock_.Leave();
}

void Measurement::DisplayThread() {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), kIdleNice);
    std::size_t displayIndex = 0;
    for (;;) {
        clock_.Sleep(kDisplayStepMs);
        if (data_.stateWord.Test(state::STOP_REQUEST)) break;
        bool shown = false;
        {
            std::lock_guard lock(data_.section);
            if (displayIndex < data_.SampleIndex()) {
                const double* sample = data_.samples.Sample(displayIndex);
                std::copy(sample, sample + kChannelCount, data_.currentValues.begin());
                shown = true;
            }
        }
        if (shown) hooks_.RefreshViews(displayIndex++);
    }
    clock_.Leave();
}

bool Measurement::RequestStop(bool onlyWhileMeasuring) {
    std::lock_guard lock(data_.section);
    const uint32_t mode = data_.stateWord.Mode();
    const bool measuring = mode == state::kModePolling || mode == state::kModeMeasuring;
    if (onlyWhileMeasuring && !measuring) return false;
    data_.stateWord.Set(state::STOP_REQUEST | state::UNSAVED);
    data_.stateWord.SetMode(state::kModeIdle);
    return measuring;
}

void Measurement::LetMeasurementThreadEnd() {
    if (OnMeasurementThread()) return;
    Resume();
    std::unique_lock lock(mutex_);
    // Bounded: a poll in flight (ten silent USB units take most of a minute) is not waited for.
    changed_.wait_for(lock, kStopWait, [&] { return measurementEnded_; });
}

void Measurement::CloseDevicesAfterMeasurementThread() {
    if (!OnMeasurementThread()) {
        std::lock_guard lock(mutex_);
        if (!measurementEnded_) {
            closeOnEnd_ = true;
            return;
        }
    }
    hooks_.CloseDevices();
}

void Measurement::Stop() {
    RequestStop(false);
    LetMeasurementThreadEnd();
    CloseDevicesAfterMeasurementThread();
}

void Measurement::Abort(int code) {
    bool save = false;
    if (RequestStop(true)) {
        LetMeasurementThreadEnd();
        save = messages_(143) == kAnswerYes;
    }
    if (save) hooks_.SaveLog();
    if (code == 0) CloseDevicesAfterMeasurementThread();
    hooks_.RequestMainWindowClose();
}

void Measurement::Join() {
    if (measurementThread_.joinable() && !OnMeasurementThread()) measurementThread_.join();
    if (pacingThread_.joinable()) pacingThread_.join();
    if (displayThread_.joinable()) displayThread_.join();
}

}  // namespace ridaviri
