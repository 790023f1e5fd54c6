// Lateness of the measurement polls against their schedule (start + k x interval) with the
// system clock and a poll that takes a fixed time, and the processor time the measurement
// threads use. Not part of the test run.
//
// usage: ridaviri_pacing_bench [seconds] [interval ms] [poll ms]
//   build/bin/ridaviri_pacing_bench              (60 s at 500 ms, 5 ms polls)
//   build/bin/ridaviri_pacing_bench 600 500 20   (the 10-minute run)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/resource.h>

#include "ridaviri/measurement.h"

namespace {

class TimedPoll : public ridaviri::MeasurementHooks {
public:
    explicit TimedPoll(uint32_t pollMs) : pollMs_(pollMs) {}
    int PollChannels(ridaviri::PollItems& items, uint32_t) override {
        const platform::sync::LocalTime now = platform::sync::GetLocalTime();
        {
            std::lock_guard lock(mutex_);
            starts_.push_back(now);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs_));
        for (ridaviri::PollItem& item : items) item.value = ridaviri::RawFromCelsius(25.0);
        return 0;
    }
    std::vector<platform::sync::LocalTime> Starts() {
        std::lock_guard lock(mutex_);
        return starts_;
    }

private:
    uint32_t pollMs_;
    std::mutex mutex_;
    std::vector<platform::sync::LocalTime> starts_;
};

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const uint32_t interval = argc > 2 ? uint32_t(std::max(500, std::atoi(argv[2]))) : 500;
    const uint32_t pollMs = argc > 3 ? uint32_t(std::max(0, std::atoi(argv[3]))) : 5;

    ridaviri::MonitorData data;
    for (int i = 0; i < ridaviri::kChannelCount; ++i) {
        data.channels[i].identity.typeLetter = 'T';
        data.channels[i].channelNumber = uint8_t(i + 1);
        data.channels[i].measureSwitch = 1;
        data.channels[i].interval = interval;
    }
    data.deviceCount = ridaviri::kChannelCount;
    ridaviri::ScriptedMessages messages;
    ridaviri::SystemClock clock;
    TimedPoll hooks(pollMs);
    ridaviri::Measurement measurement(data, hooks, messages, clock);

    const double cpu0 = CpuSeconds();
    measurement.Start();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    measurement.Stop();
    measurement.Join();
    const double cpu = CpuSeconds() - cpu0;

    const std::vector<platform::sync::LocalTime> starts = hooks.Starts();
    const int64_t start = ridaviri::MillisecondsSinceMidnight(data.startTime);
    std::vector<int64_t> late;
    int64_t dayOffset = 0;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        if (k > 0 && !ridaviri::SameDay(starts[k], starts[k - 1])) dayOffset += ridaviri::kMillisecondsPerDay;
        late.push_back(int64_t(ridaviri::MillisecondsSinceMidnight(starts[k])) + dayOffset - start -
                       int64_t(k) * interval);
    }
    if (late.empty()) {
        std::fprintf(stderr, "no poll happened\n");
        return 1;
    }
    std::vector<int64_t> sorted = late;
    std::sort(sorted.begin(), sorted.end());
    auto at = [&](double q) { return sorted[std::min(sorted.size() - 1, std::size_t(q * double(sorted.size())))]; };
    std::printf("%d s at %u ms, polls of %u ms: %zu samples (schedule %d)\n", seconds, interval, pollMs,
                starts.size(), int(seconds * 1000 / interval) + 1);
    std::printf("lateness ms: min %lld  p50 %lld  p99 %lld  max %lld  last %lld\n", (long long)sorted.front(),
                (long long)at(0.5), (long long)at(0.99), (long long)sorted.back(), (long long)late.back());
    std::printf("processor time: %.3f s (%.2f %% of one core)\n", cpu, 100.0 * cpu / seconds);
    return 0;
}
