#include "hw/clock.h"

#include <chrono>

namespace hw {

namespace {
int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

SteadyClock::SteadyClock() : start_ns_(SteadyNs()) {}

uint64_t SteadyClock::NowUs() const { return static_cast<uint64_t>((SteadyNs() - start_ns_) / 1000); }

void SteadyClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                            uint64_t deadline_us) const {
    if (deadline_us == kNever) {
        cv.wait(lock);
        return;
    }
    uint64_t now = NowUs();
    if (deadline_us <= now) return;
    cv.wait_for(lock, std::chrono::microseconds(deadline_us - now));
}

uint64_t ManualClock::NowUs() const {
    std::lock_guard<std::mutex> lk(mu_);
    return now_us_;
}

void ManualClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                            uint64_t deadline_us) const {
    if (deadline_us != kNever && deadline_us <= NowUs()) return;
    cv.wait(lock);  // Advance wakes the waiter through its listener
}

void ManualClock::AddListener(std::function<void()> listener) {
    std::lock_guard<std::mutex> lk(mu_);
    listeners_.push_back(std::move(listener));
}

void ManualClock::Advance(uint64_t us) {
    std::vector<std::function<void()>> listeners;
    {
        std::lock_guard<std::mutex> lk(mu_);
        now_us_ += us;
        listeners = listeners_;
    }
    for (auto& l : listeners) l();
}

void ManualClock::Set(uint64_t now_us) {
    std::vector<std::function<void()>> listeners;
    {
        std::lock_guard<std::mutex> lk(mu_);
        if (now_us > now_us_) now_us_ = now_us;
        listeners = listeners_;
    }
    for (auto& l : listeners) l();
}

}  // namespace hw
