#include "ridaviri/measurement.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <vector>

namespace ridaviri {
namespace {

using namespace std::chrono_literals;

platform::sync::LocalTime At(int y, int mo, int d, int h, int mi, int s, int ms) {
    platform::sync::LocalTime t{};
    t.year = uint16_t(y);
    t.month = uint16_t(mo);
    t.day = uint16_t(d);
    t.hour = uint16_t(h);
    t.minute = uint16_t(mi);
    t.second = uint16_t(s);
    t.milliseconds = uint16_t(ms);
    return t;
}

// Units that answer every measured channel with 20 °C + poll number / 10, taking `pollMs` of
// simulated time per poll.
class FakeSensors : public MeasurementHooks {
public:
    explicit FakeSensors(SimulatedClock& clock) : clock_(clock) {}

    struct Poll {
        uint64_t start, end;
        platform::sync::LocalTime local;
        uint32_t timeout;
    };
    uint32_t pollMs = 0;
    int recheckResult = 0;
    // Called for each poll after the answers are filled in; may silence channels.
    std::function<void(std::size_t poll, PollItems&)> tamper;

    int PollChannels(PollItems& items, uint32_t timeoutMs) override {
        Poll p{clock_.NowMs(), 0, clock_.Now(), timeoutMs};
        clock_.Sleep(pollMs);
        std::size_t index;
        {
            std::lock_guard lock(mutex_);
            index = polls_.size();
        }
        for (PollItem& item : items) {
            if (item.Send()) item.value = RawFromCelsius(20.0 + double(index) / 10);
            else item.request |= kPollNoReply;
        }
        if (tamper) tamper(index, items);
        p.end = clock_.NowMs();
        std::lock_guard lock(mutex_);
        polls_.push_back(p);
        return 0;
    }
    int RecheckConnection() override { return recheckResult; }
    int CloseDevices() override { return ++closes; }
    int SaveLog() override { return ++saves, 0; }
    void RequestMainWindowClose() override { ++closeRequests; }
    MonitorData* data = nullptr;
    void RefreshViews(std::size_t index) override {
        std::lock_guard lock(mutex_);
        shown_.push_back({index, data->currentValues[2]});
    }
    std::vector<std::pair<std::size_t, double>> Shown() const {
        std::lock_guard lock(mutex_);
        return shown_;
    }

    std::vector<Poll> Polls() const {
        std::lock_guard lock(mutex_);
        return polls_;
    }

    std::atomic<int> closes{0}, saves{0}, closeRequests{0};

private:
    SimulatedClock& clock_;
    mutable std::mutex mutex_;
    std::vector<Poll> polls_;
    std::vector<std::pair<std::size_t, double>> shown_;
};

// Three measured units on channels 3, 1 and 2.
struct Rig {
    explicit Rig(platform::sync::LocalTime start, uint32_t interval = 1000, std::size_t capacity = kMaxSamples)
        : data(capacity), clock(start), sensors(clock), measurement(data, sensors, messages, clock) {
        for (int i = 0; i < 3; ++i) {
            ChannelRecord& r = data.channels[i];
            r.identity.typeLetter = 'T';
            r.channelNumber = uint8_t(i == 0 ? 3 : i);
            r.canNode = uint32_t(5 + i);
            r.measureSwitch = 1;
            r.interval = interval;
        }
        data.deviceCount = 3;
        sensors.data = &data;
        startMs = clock.NowMs();
    }
    ~Rig() {
        clock.ClearHorizon();
        measurement.Stop();
        measurement.Join();
    }
    // Runs the measurement until `ms` of simulated time have passed since the start.
    void RunFor(uint64_t ms) {
        clock.SetHorizon(startMs + ms);
        ASSERT_EQ(measurement.Start(), 0);
        ASSERT_TRUE(clock.WaitUntilIdle(60s));
    }

    MonitorData data;
    ScriptedMessages messages;
    SimulatedClock clock;
    FakeSensors sensors;
    Measurement measurement;
    uint64_t startMs = 0;
};

TEST(Pacing, OneSecondIntervalForTenSecondsGivesTenOrElevenSamples) {
    Rig rig(At(2026, 12, 9, 10, 0, 0, 0));
    rig.RunFor(10000);
    const std::size_t samples = rig.data.SampleIndex();
    EXPECT_GE(samples, 10u);
    EXPECT_LE(samples, 11u);
    std::vector<FakeSensors::Poll> polls = rig.sensors.Polls();
    ASSERT_EQ(polls.size(), samples);
    for (std::size_t k = 0; k < polls.size(); ++k) {
        EXPECT_EQ(polls[k].start - rig.startMs, k * 1000) << k;  // on the schedule, no drift
        EXPECT_EQ(polls[k].timeout, 1000u);
    }
    EXPECT_EQ(rig.data.stateWord.Mode(), state::kModeMeasuring);
    EXPECT_DOUBLE_EQ(rig.data.samples.At(4, 2), 20.4);  // record 0 is channel 3
    EXPECT_EQ(rig.measurement.Start(), -1);  // already running

    rig.measurement.Stop();
    EXPECT_TRUE(rig.data.stateWord.Test(state::STOP_REQUEST));
    EXPECT_TRUE(rig.data.stateWord.Test(state::UNSAVED));
    EXPECT_EQ(rig.data.stateWord.Mode(), state::kModeIdle);
    EXPECT_EQ(rig.sensors.closes, 1);
    EXPECT_FALSE(rig.measurement.Running());
    EXPECT_TRUE(rig.messages.Numbers().empty());
}

// Regression guard: pacing by milliseconds since midnight alone stops polling at midnight,
// as the target of 23:59:56 is never reached by 00:00:xx.
// Regression: with whole 100 ms check steps a 750 ms interval polled at 800, 1600, ... and
// the lateness against the schedule built up to a full step.
TEST(Pacing, IntervalsOffTheCheckStepStayOnSchedule) {
    Rig rig(At(2026, 12, 9, 10, 0, 0, 0), 750);
    rig.RunFor(7500);
    std::vector<FakeSensors::Poll> polls = rig.sensors.Polls();
    ASSERT_EQ(polls.size(), 11u);
    for (std::size_t k = 0; k < polls.size(); ++k) EXPECT_EQ(polls[k].start - rig.startMs, k * 750) << k;
}

TEST(Display, EverySampleIsShownOnceInOrder) {
    Rig rig(At(2026, 12, 9, 10, 0, 0, 0), 500);
    rig.RunFor(5000);
    const std::size_t samples = rig.data.SampleIndex();
    std::vector<std::pair<std::size_t, double>> shown = rig.sensors.Shown();
    ASSERT_GE(shown.size(), samples - 1);  // the newest one may still wait for its step
    for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i].first, i);
        EXPECT_DOUBLE_EQ(shown[i].second, 20.0 + double(i) / 10);  // channel 3 of sample i
    }
}

TEST(Pacing, KeepsItsPaceAcrossMidnightAndTheNewYear) {
    Rig rig(At(2026, 12, 31, 23, 59, 55, 0));
    rig.RunFor(10000);
    std::vector<FakeSensors::Poll> polls = rig.sensors.Polls();
    ASSERT_EQ(polls.size(), 11u);
    for (std::size_t k = 0; k < polls.size(); ++k) EXPECT_EQ(polls[k].start - rig.startMs, k * 1000) << k;
    const platform::sync::LocalTime last = polls.back().local;
    EXPECT_EQ(last.year, 2027);
    EXPECT_EQ(last.month, 1);
    EXPECT_EQ(last.day, 1);
    EXPECT_EQ(MillisecondsSinceMidnight(last), 5000u);
    EXPECT_EQ(rig.data.startTime.hour, 23);
}

TEST(Pacing, APollLongerThanTheIntervalIsFollowedAtOnce) {
    Rig rig(At(2026, 12, 9, 10, 0, 0, 0));
    rig.sensors.pollMs = 1500;
    rig.RunFor(12000);
    std::vector<FakeSensors::Poll> polls = rig.sensors.Polls();
    ASSERT_GE(polls.size(), 7u);
    EXPECT_EQ(polls[0].start, rig.startMs);
    for (std::size_t k = 1; k < polls.size(); ++k) {
        // Never overlapping, and started within one check step after the previous one ended.
        EXPECT_GE(polls[k].start, polls[k - 1].end) << k;
        EXPECT_LE(polls[k].start - polls[k - 1].end, 100u) << k;
    }
}

TEST(Measurement, TheSampleLimitEndsTheMeasurementWithMessage8) {
    Rig rig(At(2026, 12, 9, 10, 0, 0, 0), 500, 5);
    ASSERT_EQ(rig.measurement.Start(), 0);
    ASSERT_TRUE(rig.messages.WaitForCount(1, 60s));
    rig.measurement.Join();
    EXPECT_EQ(rig.messages.Numbers(), std::vector<int>{8});
    EXPECT_EQ(rig.data.SampleIndex(), 5u);
    EXPECT_EQ(rig.sensors.Polls().size(), 5u);
    EXPECT_EQ(rig.sensors.closes, 1);
    EXPECT_EQ(rig.data.stateWord.Mode(), state::kModeIdle);
    EXPECT_TRUE(rig.data.stateWord.Test(state::UNSAVED));
}

TEST(Measurement, ASilentChannelStoresZeroMarksItAndEndsWithMessage75) {
    Rig rig(At(2026, 12, 9, 10, 0, 0, 0));
    rig.sensors.tamper = [](std::size_t poll, PollItems& items) {
        if (poll == 2) items[1].request |= kPollNoReply;
    };
    ASSERT_EQ(rig.measurement.Start(), 0);
    ASSERT_TRUE(rig.messages.WaitForCount(1, 60s));
    rig.measurement.Join();
    EXPECT_EQ(rig.messages.Numbers(), std::vector<int>{75});
    ASSERT_EQ(rig.data.SampleIndex(), 3u);
    EXPECT_EQ(rig.data.samples.At(2, 0), 0.0);     // record 1 is channel 1
    EXPECT_DOUBLE_EQ(rig.data.samples.At(2, 1), 20.2);
    EXPECT_EQ(rig.data.channels[1].noResponse, 1);
    EXPECT_EQ(rig.data.channels[0].noResponse, 0);
    EXPECT_EQ(rig.sensors.closes, 1);
}

TEST(Measurement, StartAsksAboutUnsavedDataAndUsbRecheckFailureStartsNothing) {
    {
        Rig rig(At(2026, 12, 9, 10, 0, 0, 0));
        rig.data.stateWord.Set(state::UNSAVED);
        rig.data.samples.At(100, 3) = 9.0;
        rig.messages.Answer(kAnswerYes);
        rig.RunFor(0);
        EXPECT_EQ(rig.messages.Numbers(), std::vector<int>{115});
        EXPECT_EQ(rig.sensors.saves, 1);
        EXPECT_EQ(rig.data.samples.At(100, 3), 0.0);  // the buffer starts cleared
        EXPECT_EQ(rig.data.SampleIndex(), 1u);        // the first poll happens at the start
        EXPECT_TRUE(rig.data.stateWord.Test(state::HAS_DATA));
        EXPECT_EQ(rig.data.channels[0].graphDisplay, 1);
        EXPECT_EQ(rig.data.channels[5].graphDisplay, 0);
    }
    {
        Rig rig(At(2026, 12, 9, 10, 0, 0, 0));
        rig.data.interfaceKind = kInterfaceUsb;
        rig.sensors.recheckResult = -1;
        EXPECT_EQ(rig.measurement.Start(), -1);
        EXPECT_FALSE(rig.measurement.Running());
        EXPECT_EQ(rig.sensors.closes, 1);
        EXPECT_TRUE(rig.data.channels[0].IsEmpty());
        EXPECT_FALSE(rig.data.stateWord.Test(state::HAS_DATA));
    }
}

TEST(Measurement, AbortOffersToSaveWhileMeasuringAndClosesTheMainWindow) {
    {
        Rig rig(At(2026, 12, 9, 10, 0, 0, 0));
        rig.RunFor(2000);
        rig.messages.Answer(kAnswerYes);
        rig.measurement.Abort(52);
        EXPECT_EQ(rig.messages.Numbers(), std::vector<int>{143});
        EXPECT_EQ(rig.sensors.saves, 1);
        EXPECT_EQ(rig.sensors.closes, 0);  // code 52 comes from closing; no second close
        EXPECT_EQ(rig.sensors.closeRequests, 1);
        EXPECT_TRUE(rig.data.stateWord.Test(state::STOP_REQUEST));
        EXPECT_FALSE(rig.measurement.Running());
    }
    {
        Rig rig(At(2026, 12, 9, 10, 0, 0, 0));
        rig.measurement.Abort(0);  // not measuring: no question
        EXPECT_TRUE(rig.messages.Numbers().empty());
        EXPECT_EQ(rig.sensors.closes, 1);
        EXPECT_EQ(rig.sensors.closeRequests, 1);
    }
}

TEST(StoreSample, ChannelNumbersCalibrationMarksAndSilentChannels) {
    MonitorData data(4);
    data.deviceCount = 3;
    auto set = [&](int i, int channel, uint8_t cal, float a, float b) {
        data.channels[i].channelNumber = uint8_t(channel);
        data.channels[i].calibrationSwitch = cal;
        data.channels[i].factorA = a;
        data.channels[i].factorB = b;
    };
    set(0, 2, 1, 0.998f, 0.5f);  // calibrated
    set(1, 0, 0, 1, 0);          // polled, never stored
    set(2, 5, 0, 1, 0);
    set(3, 7, 0, 1, 0);
    set(4, 9, 1, 2.0f, 0);       // beyond the device count: its factors are not looked up
    PollItems items{};
    items[0].value = RawFromCelsius(50.4);
    items[1].value = RawFromCelsius(33.0);
    items[2].value = 0xC0000000u | 50000;  // -5 °C, bad data
    items[3].value = RawFromCelsius(12.0);
    items[3].request = kPollNoReply;
    items[4].value = RawFromCelsius(10.0);
    data.samples.At(0, 6) = 99.0;
    StoreSample(data, items);
    EXPECT_EQ(data.SampleIndex(), 1u);
    EXPECT_NEAR(data.samples.At(0, 1), 50.0, 1e-4);
    EXPECT_DOUBLE_EQ(data.samples.At(0, 4), -5.0);
    EXPECT_EQ(data.badDataMarks[4], 1);
    EXPECT_EQ(data.samples.At(0, 6), 0.0);
    EXPECT_DOUBLE_EQ(data.samples.At(0, 8), 10.0);
    for (int ch : {0, 2, 3, 5, 7, 9}) EXPECT_EQ(data.samples.At(0, ch), 0.0) << ch;
}

TEST(PollItems, BuiltFromTheChannelTable) {
    ChannelTable channels;
    ResetTable(channels);
    channels[0].canNode = 5;
    channels[0].measureSwitch = 1;
    channels[0].identity = {'T', 1, 2, 3};
    channels[1].canNode = 6;
    PollItems items = BuildPollItems(channels);
    EXPECT_EQ(items[0].request, kPollSend | kPollKindMeasurement);
    EXPECT_EQ(items[0].node, 5u);
    EXPECT_EQ(items[0].identity, channels[0].identity);
    EXPECT_EQ(items[1].request, kPollKindMeasurement);
    EXPECT_EQ(items[1].node, 6u);
}

}  // namespace
}  // namespace ridaviri
