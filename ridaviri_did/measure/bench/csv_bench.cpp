// Timing of the CSV measurement log with a full buffer: 65535 samples of 20 channels, saved
// and opened again. Not part of the test run.
//
// usage: ridaviri_csv_bench [repetitions] [folder]
//   build/bin/ridaviri_csv_bench
//   build/bin/ridaviri_csv_bench 10 /tmp
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <vector>

#include <unistd.h>

#include "ridaviri/measurement_log.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void Report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-28s min %8.1f ms  median %8.1f ms  max %8.1f ms\n", what, ms.front(), ms[ms.size() / 2],
                ms.back());
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::filesystem::path folder = argc > 2 ? argv[2] : std::filesystem::temp_directory_path();
    const std::filesystem::path file = folder / ("ridaviri_csv_bench_" + std::to_string(::getpid()) + ".csv");

    ridaviri::ScriptedMessages messages;
    ridaviri::MonitorData data;
    data.startTime = {2026, 12, 3, 9, 23, 59, 59, 500};
    data.channels[0].interval = 500;
    std::mt19937 random(42);
    std::uniform_real_distribution<double> temperature(-20.0, 200.0);
    for (std::size_t k = 0; k < ridaviri::kMaxSamples; ++k)
        for (int ch = 0; ch < ridaviri::kChannelCount; ++ch) data.samples.At(k, ch) = temperature(random);
    {
        std::lock_guard lock(data.section);
        data.SetSampleIndexLocked(ridaviri::kMaxSamples);
    }

    std::vector<double> build, save, open;
    std::size_t bytes = 0;
    for (int r = 0; r < repetitions; ++r) {
        auto t0 = Clock::now();
        bytes = ridaviri::BuildMeasurementLog(data)->size();
        auto t1 = Clock::now();
        if (ridaviri::SaveMeasurementLog(data, file, messages) != 0) {
            std::fprintf(stderr, "save of %s failed\n", file.c_str());
            return 1;
        }
        auto t2 = Clock::now();
        ridaviri::MonitorData viewer;
        ridaviri::PrepareOpen(viewer);
        auto t3 = Clock::now();
        if (ridaviri::OpenMeasurementLog(viewer, file, messages) != 0 ||
            viewer.SampleIndex() != ridaviri::kMaxSamples) {
            std::fprintf(stderr, "open of %s failed\n", file.c_str());
            return 1;
        }
        auto t4 = Clock::now();
        build.push_back(Ms(t1 - t0));
        save.push_back(Ms(t2 - t1));
        open.push_back(Ms(t4 - t3));
    }
    std::filesystem::remove(file);
    std::printf("65535 x 20 samples, %zu bytes, %d repetitions\n", bytes, repetitions);
    Report("text only (no file)", build);
    Report("save (text + atomic write)", save);
    Report("open (read + parse)", open);
    return 0;
}
