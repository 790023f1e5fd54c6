#include "ridaviri/measurement_clock.h"

#include <chrono>
#include <thread>

namespace ridaviri {

uint32_t MillisecondsSinceMidnight(const platform::sync::LocalTime& t) {
    return ((uint32_t{t.hour} * 60 + t.minute) * 60 + t.second) * 1000 + t.milliseconds;
}

bool SameDay(const platform::sync::LocalTime& a, const platform::sync::LocalTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day;
}

void SystemClock::Sleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

SimulatedClock::SimulatedClock(const platform::sync::LocalTime& start)
    : startDate_(start), now_(MillisecondsSinceMidnight(start)) {}

platform::sync::LocalTime SimulatedClock::Now() {
    uint64_t now = NowMs();
    using namespace std::chrono;
    const sys_days date = sys_days(year_month_day(year(startDate_.year), month(startDate_.month),
                                                  day(startDate_.day))) +
                          days(now / kMillisecondsPerDay);
    const year_month_day ymd(date);
    const uint64_t ms = now % kMillisecondsPerDay;
    platform::sync::LocalTime t{};
    t.year = static_cast<uint16_t>(int(ymd.year()));
    t.month = static_cast<uint16_t>(unsigned(ymd.month()));
    t.day = static_cast<uint16_t>(unsigned(ymd.day()));
    t.dayOfWeek = static_cast<uint16_t>(weekday(date).c_encoding());
    t.hour = static_cast<uint16_t>(ms / 3600000);
    t.minute = static_cast<uint16_t>(ms / 60000 % 60);
    t.second = static_cast<uint16_t>(ms / 1000 % 60);
    t.milliseconds = static_cast<uint16_t>(ms % 1000);
    return t;
}

uint64_t SimulatedClock::NowMs() const {
    std::lock_guard lock(mutex_);
    return now_;
}

void SimulatedClock::Sleep(uint32_t ms) {
    if (ms == 0) return;
    std::unique_lock lock(mutex_);
    const uint64_t wake = now_ + ms;
    sleepers_.insert(wake);
    --running_;
    AdvanceLocked();
    changed_.notify_all();
    // The thread that moves time past `wake` counts this one as running again.
    changed_.wait(lock, [&] { return now_ >= wake; });
}

void SimulatedClock::Enter() {
    std::lock_guard lock(mutex_);
    ++running_;
}

void SimulatedClock::Leave() {
    std::lock_guard lock(mutex_);
    --running_;
    AdvanceLocked();
    changed_.notify_all();
}

void SimulatedClock::SetHorizon(uint64_t ms) {
    std::lock_guard lock(mutex_);
    horizon_ = ms;
    AdvanceLocked();
    changed_.notify_all();
}

bool SimulatedClock::WaitUntilIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return IdleLocked(); });
}

bool SimulatedClock::IdleLocked() const {
    return running_ == 0 && (sleepers_.empty() || *sleepers_.begin() > horizon_);
}

void SimulatedClock::AdvanceLocked() {
    if (running_ != 0 || sleepers_.empty()) return;
    const uint64_t next = *sleepers_.begin();
    if (next > horizon_) return;
    if (next > now_) now_ = next;
    while (!sleepers_.empty() && *sleepers_.begin() <= now_) {
        sleepers_.erase(sleepers_.begin());
        ++running_;
    }
}

}  // namespace ridaviri
