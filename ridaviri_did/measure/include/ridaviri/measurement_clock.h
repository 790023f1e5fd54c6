// The clock a measurement is paced by: local wall-clock time and sleeping. The program uses
// the system's; tests use a simulated one that crosses midnight in a moment.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>
#include <set>

#include "platform/sync.h"

namespace ridaviri {

inline constexpr uint32_t kMillisecondsPerDay = 86400000;

// Milliseconds since midnight of a local time.
uint32_t MillisecondsSinceMidnight(const platform::sync::LocalTime& t);
bool SameDay(const platform::sync::LocalTime& a, const platform::sync::LocalTime& b);

class MeasurementClock {
public:
    virtual ~MeasurementClock() = default;
    virtual platform::sync::LocalTime Now() = 0;
    virtual void Sleep(uint32_t ms) = 0;
    // A thread of the measurement starts or stops running (a simulated clock lets time pass
    // only while none runs). A thread that wakes another calls Enter on its behalf before
    // waking it; the woken thread calls Leave when it waits again or ends.
    virtual void Enter() {}
    virtual void Leave() {}
};

// Local time of the system, real sleeping.
class SystemClock : public MeasurementClock {
public:
    platform::sync::LocalTime Now() override { return platform::sync::GetLocalTime(); }
    void Sleep(uint32_t ms) override;
};

// Simulated time: it stands still while any thread of the measurement runs and jumps to the
// earliest wake-up when all of them sleep or wait. A horizon holds time at a point so that a
// test can look at the state there.
class SimulatedClock : public MeasurementClock {
public:
    explicit SimulatedClock(const platform::sync::LocalTime& start);

    platform::sync::LocalTime Now() override;
    void Sleep(uint32_t ms) override;
    void Enter() override;
    void Leave() override;

    // Milliseconds since the start date's midnight.
    uint64_t NowMs() const;
    // Time does not pass beyond `ms` (milliseconds since the start date's midnight).
    void SetHorizon(uint64_t ms);
    void ClearHorizon() { SetHorizon(std::numeric_limits<uint64_t>::max()); }
    // Waits (real time, at most `timeout`) until no thread runs and no sleeper can wake
    // before the horizon.
    bool WaitUntilIdle(std::chrono::milliseconds timeout);

private:
    void AdvanceLocked();
    bool IdleLocked() const;

    platform::sync::LocalTime startDate_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t now_;
    uint64_t horizon_ = std::numeric_limits<uint64_t>::max();
    int running_ = 0;
    std::multiset<uint64_t> sleepers_;
};

}  // namespace ridaviri
