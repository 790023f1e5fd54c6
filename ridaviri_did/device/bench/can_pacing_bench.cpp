// Lateness of the measurement polls against their schedule (start + k x interval) over the
// CAN stack of the machine of $PLATFORM_MACHINE (every node on DIZED1 measured), the poll
// durations, and the processor time of the whole process (program, CAN library, drivers and
// simulated hardware). Not part of the test run.
//
// usage: ridaviri_can_pacing_bench [seconds] [interval ms]
//   PLATFORM_MACHINE=machine-with-20-nodes.ini build/bin/ridaviri_can_pacing_bench 600 500
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/resource.h>

#include "ridaviri/sensor_check.h"

namespace {

class TimedHooks : public ridaviri::DeviceMeasurementHooks {
public:
    using DeviceMeasurementHooks::DeviceMeasurementHooks;
    int PollChannels(ridaviri::PollItems& items, uint32_t timeoutMs) override {
        const platform::sync::LocalTime now = platform::sync::GetLocalTime();
        const auto t0 = std::chrono::steady_clock::now();
        const int result = DeviceMeasurementHooks::PollChannels(items, timeoutMs);
        const auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        std::lock_guard lock(mutex_);
        starts_.push_back(now);
        durations_.push_back(ms);
        return result;
    }
    std::mutex mutex_;
    std::vector<platform::sync::LocalTime> starts_;
    std::vector<double> durations_;
};

class QuietUi : public ridaviri::CheckUi {};

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const uint32_t interval = argc > 2 ? uint32_t(std::max(100, std::atoi(argv[2]))) : 500;

    ridaviri::MonitorData data;
    ridaviri::ScriptedMessages messages;
    ridaviri::DizedLibrary can;
    ridaviri::SystemTicks ticks;
    ridaviri::SensorTransport transport(data, messages, can, ticks);
    QuietUi ui;
    ridaviri::SensorProcedures procedures(data, transport, messages, ui);
    data.interfaceKind = ridaviri::kInterfaceCan;
    data.stateWord.Set(ridaviri::state::STARTUP_CHECK);
    if (procedures.SensorCheck() != 0 || data.deviceCount == 0) {
        std::fprintf(stderr, "sensor check failed\n");
        return 1;
    }
    data.stateWord.Clear(ridaviri::state::STARTUP_CHECK);
    for (ridaviri::ChannelRecord& r : data.channels) r.interval = interval;

    ridaviri::SystemClock clock;
    TimedHooks hooks(transport, procedures);
    ridaviri::Measurement measurement(data, hooks, messages, clock);
    const double cpu0 = CpuSeconds();
    measurement.Start();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    measurement.Stop();
    measurement.Join();
    const double cpu = CpuSeconds() - cpu0;

    std::lock_guard lock(hooks.mutex_);
    const auto& starts = hooks.starts_;
    if (starts.empty()) {
        std::fprintf(stderr, "no poll happened\n");
        return 1;
    }
    const int64_t start = ridaviri::MillisecondsSinceMidnight(data.startTime);
    std::vector<int64_t> late;
    int64_t dayOffset = 0;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        if (k > 0 && !ridaviri::SameDay(starts[k], starts[k - 1])) dayOffset += ridaviri::kMillisecondsPerDay;
        late.push_back(int64_t(ridaviri::MillisecondsSinceMidnight(starts[k])) + dayOffset - start -
                       int64_t(k) * interval);
    }
    std::vector<int64_t> sorted = late;
    std::sort(sorted.begin(), sorted.end());
    std::vector<double> polls = hooks.durations_;
    std::sort(polls.begin(), polls.end());
    auto at = [&](const auto& v, double q) { return v[std::min(v.size() - 1, std::size_t(q * double(v.size())))]; };
    std::printf("%d s at %u ms over CAN, %d nodes: %zu samples (schedule %d), %zu messages shown\n", seconds,
                interval, data.deviceCount.load(), starts.size(), int(seconds * 1000 / interval) + 1, messages.Count());
    std::printf("lateness ms: min %lld  p50 %lld  p99 %lld  max %lld  last %lld\n", (long long)sorted.front(),
                (long long)at(sorted, 0.5), (long long)at(sorted, 0.99), (long long)sorted.back(), (long long)late.back());
    std::printf("poll ms: p50 %.1f  p99 %.1f  max %.1f\n", at(polls, 0.5), at(polls, 0.99), polls.back());
    std::printf("processor time: %.3f s (%.2f %% of one core)\n", cpu, 100.0 * cpu / seconds);
    for (const auto& shown : messages.Log()) std::printf("message %d shown\n", shown.number);
    return 0;
}
