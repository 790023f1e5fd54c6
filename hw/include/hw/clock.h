// Time as the simulated hardware sees it: microseconds on one monotonic clock per machine.
// The real clock follows the host's steady clock; the manual clock moves only when a test
// moves it, so time stamps, reply delays and wire times are deterministic.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace hw {

// A point in time that never comes.
inline constexpr uint64_t kNever = UINT64_MAX;

class Clock {
public:
    virtual ~Clock() = default;
    // Microseconds since the clock started.
    virtual uint64_t NowUs() const = 0;
    // Waits on `cv` until notified or until the clock reaches `deadline_us`. A manual clock
    // never passes its deadline by itself: the wait ends when Advance notifies the waiters.
    virtual void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                           uint64_t deadline_us) const = 0;
    // Called whenever the clock jumps (manual clock only); threads that wait for a deadline
    // register here so that they look at the time again.
    virtual void AddListener(std::function<void()> listener) = 0;
};

class SteadyClock final : public Clock {
public:
    SteadyClock();
    uint64_t NowUs() const override;
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                   uint64_t deadline_us) const override;
    void AddListener(std::function<void()>) override {}

private:
    int64_t start_ns_;
};

class ManualClock final : public Clock {
public:
    explicit ManualClock(uint64_t start_us = 0) : now_us_(start_us) {}
    uint64_t NowUs() const override;
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                   uint64_t deadline_us) const override;
    void AddListener(std::function<void()> listener) override;
    // Moves the clock forward and wakes every registered waiter.
    void Advance(uint64_t us);
    void Set(uint64_t now_us);

private:
    mutable std::mutex mu_;
    uint64_t now_us_;
    std::vector<std::function<void()>> listeners_;
};

}  // namespace hw
