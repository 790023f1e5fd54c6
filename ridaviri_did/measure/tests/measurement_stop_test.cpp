// Stopping and aborting a measurement from the window's thread while the measurement thread is
// inside a poll that does not come back (silent USB units take most of a minute), and the
// switches the window changes while the measurement thread reads them. The waits below are
// hang guards, never timing assertions; the suite also runs under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "ridaviri/measurement.h"

namespace ridaviri {
namespace {

using namespace std::chrono_literals;

// Long enough for anything that is not stuck, on a loaded machine.
constexpr auto kHangGuard = 20s;

// A gate a thread waits at until the test opens it.
class Gate {
public:
    void Open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    // Waits (bounded by the hang guard) for the gate; false when it stayed shut.
    bool Pass() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kHangGuard, [&] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

// A flag one thread raises and another waits for.
class Signal {
public:
    void Raise() {
        std::lock_guard lock(mutex_);
        raised_ = true;
        changed_.notify_all();
    }
    bool Wait() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kHangGuard, [&] { return raised_; });
    }
    bool Raised() {
        std::lock_guard lock(mutex_);
        return raised_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool raised_ = false;
};

// The first poll stops at a gate (a poll that takes as long as the test wants); the devices
// record whether another thread closed them while it ran (the poll's own transport may close
// them, as an abort from inside a transaction does).
class StuckPoll : public MeasurementHooks {
public:
    int PollChannels(PollItems& items, uint32_t) override {
        if (polls++ == 0) {
            {
                std::lock_guard lock(mutex_);
                pollThread_ = std::this_thread::get_id();
            }
            inPoll.Raise();
            pollGate.Pass();
            if (duringPoll) duringPoll();
            std::lock_guard lock(mutex_);
            pollThread_ = std::thread::id();
        }
        for (PollItem& item : items) item.value = RawFromCelsius(21.0);
        return 0;
    }
    int CloseDevices() override {
        {
            std::lock_guard lock(mutex_);
            if (pollThread_ != std::thread::id() && pollThread_ != std::this_thread::get_id()) ++closesDuringPoll;
        }
        return ++closes;
    }
    void RequestMainWindowClose() override { ++closeRequests; }
    void MeasurementEnded() override { ended.Raise(); }

    std::atomic<int> polls{0}, closes{0}, closesDuringPoll{0}, closeRequests{0};
    Gate pollGate;
    Signal inPoll, ended;
    std::function<void()> duringPoll;  // runs on the measurement thread before the poll returns

private:
    std::mutex mutex_;
    std::thread::id pollThread_;  // the thread inside the first poll
};

// Message boxes that stay open (the box of question 143 until the test closes it), as the
// window's message function blocks the measurement thread until the user answers.
class HeldBoxes : public ScriptedMessages {
public:
    Gate boxGate;
    Signal boxOpen;

protected:
    int Present(const MessageDefinition& box) override {
        if (box.number == 143) {
            boxOpen.Raise();
            boxGate.Pass();
        }
        return ScriptedMessages::Present(box);
    }
};

struct StopRig {
    StopRig() : measurement(data, hooks, messages, clock) {
        ChannelRecord& r = data.channels[0];
        r.identity.typeLetter = 'T';
        r.channelNumber = 1;
        r.measureSwitch = 1;
        r.interval = 1000;
        data.deviceCount = 1;
    }
    ~StopRig() {
        // Whatever a failed test left shut is opened, so that every thread can end.
        hooks.pollGate.Open();
        messages.boxGate.Open();
        measurement.Join();
    }
    // Stop (or anything else) on the window's thread; true when it returned within the guard.
    static bool ReturnsInTime(std::future<void>& call) { return call.wait_for(kHangGuard) == std::future_status::ready; }

    MonitorData data{64};
    HeldBoxes messages;
    SystemClock clock;
    StuckPoll hooks;
    Measurement measurement;
};

// Regression: stop waited without limit for the poll in flight, freezing the window.
TEST(BoundedStop, StopReturnsWhileThePollRunsAndTheDevicesCloseAfterIt) {
    StopRig rig;
    ASSERT_EQ(rig.measurement.Start(), 0);
    ASSERT_TRUE(rig.hooks.inPoll.Wait());
    auto stop = std::async(std::launch::async, [&] { rig.measurement.Stop(); });
    ASSERT_TRUE(StopRig::ReturnsInTime(stop)) << "stop waited for the poll in flight";
    EXPECT_TRUE(rig.measurement.Running()) << "the poll has not come back yet";
    EXPECT_EQ(rig.hooks.closes, 0) << "devices closed under the running poll";
    EXPECT_EQ(rig.data.stateWord.Mode(), state::kModeIdle);
    EXPECT_TRUE(rig.data.stateWord.Test(state::UNSAVED));
    EXPECT_EQ(rig.measurement.Start(), -1) << "no new measurement while the old one's poll runs";

    rig.hooks.pollGate.Open();
    ASSERT_TRUE(rig.hooks.ended.Wait());
    EXPECT_EQ(rig.hooks.closes, 1) << "the measurement thread closes the devices after its poll";
    EXPECT_EQ(rig.hooks.closesDuringPoll, 0);
    EXPECT_FALSE(rig.measurement.Running());
    EXPECT_TRUE(rig.messages.Numbers().empty()) << "a stopped measurement ends without message 75 or 8";
}

// The measurement thread raises an abort from inside its poll (as a transport does) and waits
// for the answer to question 143 while the window's thread stops the measurement.
TEST(BoundedStop, AbortOnTheMeasurementThreadThenStopOnTheWindowsThread) {
    StopRig rig;
    rig.hooks.duringPoll = [&] { rig.measurement.Abort(0); };
    ASSERT_EQ(rig.measurement.Start(), 0);
    ASSERT_TRUE(rig.hooks.inPoll.Wait());
    rig.hooks.pollGate.Open();
    ASSERT_TRUE(rig.messages.boxOpen.Wait());
    auto stop = std::async(std::launch::async, [&] { rig.measurement.Stop(); });
    ASSERT_TRUE(StopRig::ReturnsInTime(stop)) << "stop waited for the measurement thread's message box";
    rig.messages.boxGate.Open();
    ASSERT_TRUE(rig.hooks.ended.Wait());
    EXPECT_EQ(rig.messages.Numbers(), std::vector<int>{143});
    EXPECT_EQ(rig.hooks.closeRequests, 1);
    EXPECT_GE(rig.hooks.closes, 1);
    EXPECT_EQ(rig.hooks.closesDuringPoll, 0);
    EXPECT_FALSE(rig.measurement.Running());
}

// The window's thread stops first; then the poll in flight raises an abort before it returns.
TEST(BoundedStop, StopOnTheWindowsThreadThenAbortOnTheMeasurementThread) {
    StopRig rig;
    rig.hooks.duringPoll = [&] { rig.measurement.Abort(0); };
    ASSERT_EQ(rig.measurement.Start(), 0);
    ASSERT_TRUE(rig.hooks.inPoll.Wait());
    auto stop = std::async(std::launch::async, [&] { rig.measurement.Stop(); });
    ASSERT_TRUE(StopRig::ReturnsInTime(stop)) << "stop waited for the poll in flight";
    rig.hooks.pollGate.Open();
    ASSERT_TRUE(rig.hooks.ended.Wait());
    EXPECT_TRUE(rig.messages.Numbers().empty()) << "already stopped: no question 143";
    EXPECT_EQ(rig.hooks.closeRequests, 1);
    EXPECT_GE(rig.hooks.closes, 1);
    EXPECT_EQ(rig.hooks.closesDuringPoll, 0);
    EXPECT_FALSE(rig.measurement.Running());
}

// Quick polls whose views read the display switches while another thread toggles them.
class QuickPolls : public MeasurementHooks {
public:
    explicit QuickPolls(MonitorData& data) : data_(data) {}
    int PollChannels(PollItems& items, uint32_t) override {
        for (int i = 0; i < kChannelCount; ++i) {
            if (items[i].Send()) items[i].value = RawFromCelsius(20.0 + i);
            else items[i].request |= kPollNoReply;
        }
        ++polls;
        return 0;
    }
    void RefreshViews(std::size_t) override {
        for (const ChannelRecord& r : data_.channels) shown += r.graphDisplay + r.listDisplay;
    }
    std::atomic<int> polls{0};
    std::atomic<long> shown{0};

private:
    MonitorData& data_;
};

// The window turns the measure and display switches of the channels on and off while the
// measurement runs, and "通信異常" takes a silent channel out of the measurement: every read of
// a switch on the measurement and display threads sees one of the values written.
TEST(Switches, TheWindowTogglesThemWhileTheMeasurementReadsThem) {
    MonitorData data(4096);
    for (int i = 0; i < kChannelCount; ++i) {
        ChannelRecord& r = data.channels[i];
        r.identity.typeLetter = 'T';
        r.channelNumber = uint8_t(i + 1);
        r.measureSwitch = 1;
        r.interval = 100;
    }
    data.deviceCount = kChannelCount;
    ScriptedMessages messages;
    platform::sync::LocalTime start{};
    start.year = 2026;
    start.month = 12;
    start.day = 9;
    start.hour = 10;
    SimulatedClock clock(start);
    QuickPolls hooks(data);
    Measurement measurement(data, hooks, messages, clock);
    std::atomic<bool> done{false};
    std::thread window([&] {
        for (int round = 0; !done; ++round) {
            for (int i = 0; i < kChannelCount; ++i) {
                ChannelRecord& r = data.channels[i];
                r.graphDisplay = uint8_t((round + i) & 1);
                r.listDisplay = uint8_t((round + i + 1) & 1);
                // Channels 1-4 stay measured, so that the measurement goes on.
                if (i >= 4) r.measureSwitch = uint8_t(round & 1);
                if (r.noResponse) r.measureSwitch = 0;  // "通信異常" (never here: every unit answers)
            }
            std::this_thread::yield();
        }
    });
    clock.SetHorizon(clock.NowMs() + 60000);
    ASSERT_EQ(measurement.Start(), 0);
    ASSERT_TRUE(clock.WaitUntilIdle(60s));
    done = true;
    window.join();
    clock.ClearHorizon();
    measurement.Stop();
    measurement.Join();
    EXPECT_GT(hooks.polls, 0);
    EXPECT_GT(data.SampleIndex(), 0u);
}

}  // namespace
}  // namespace ridaviri
