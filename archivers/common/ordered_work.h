// Work spread over a pool of threads whose results come back in the order it was given: the
// archive writers compress members or blocks side by side and still write them one after
// another, so an archive's bytes do not depend on the number of threads.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace archivers {

// Threads to pack with: `requested` when above 0; otherwise $ARCHIVERS_THREADS when it holds a
// number above 0, else the processors this process may run on. At most kMaxPackThreads.
int PackThreads(int requested);
inline constexpr int kMaxPackThreads = 64;

template <typename Result>
class OrderedWork {
public:
    // Runs on a worker; `worker` (0 .. threads-1) lets a job use that worker's own coder.
    using Job = std::function<Result(int worker)>;
    // Takes each result in the order the jobs were submitted, on the submitting thread; false
    // stops the work (later results are dropped).
    using Consume = std::function<bool(Result&)>;

    // With one thread every job runs inside Submit. Up to `maxPending` jobs (at least one) are
    // under way or waiting to be consumed at any time, which bounds the memory results hold.
    OrderedWork(int threads, std::size_t maxPending, Consume consume)
        : consume_(std::move(consume)), maxPending_(maxPending > 0 ? maxPending : 1) {
        if (threads <= 1) return;
        for (int w = 0; w < threads; ++w) workers_.emplace_back([this, w] { Work(w); });
    }

    ~OrderedWork() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : workers_) t.join();
    }

    OrderedWork(const OrderedWork&) = delete;
    OrderedWork& operator=(const OrderedWork&) = delete;

    // Adds a job, first consuming finished results while too many are pending. False once a
    // consume returned false. A job's exception is thrown here or by Finish, in order.
    bool Submit(Job job) {
        if (failed_) return false;
        if (workers_.empty()) {
            Result r = job(0);
            return Take(r);
        }
        while (PendingCount() >= maxPending_) {
            if (!ConsumeFront()) return false;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            slots_.push_back(std::make_unique<Slot>(std::move(job)));
        }
        wake_.notify_one();
        return true;
    }

    // Waits for every job and consumes the remaining results. False when a consume failed.
    bool Finish() {
        while (!failed_ && PendingCount() > 0) {
            if (!ConsumeFront()) return false;
        }
        return !failed_;
    }

private:
    struct Slot {
        explicit Slot(Job j) : job(std::move(j)) {}
        Job job;
        bool started = false;
        std::optional<Result> result;
        std::exception_ptr failure;
    };

    std::size_t PendingCount() {
        std::lock_guard<std::mutex> lock(mutex_);
        return slots_.size();
    }

    bool Take(Result& r) {
        if (!consume_(r)) failed_ = true;
        return !failed_;
    }

    // Waits for the oldest job, removes it and consumes its result.
    bool ConsumeFront() {
        std::unique_ptr<Slot> slot;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            done_.wait(lock, [&] { return slots_.front()->result.has_value() || slots_.front()->failure; });
            slot = std::move(slots_.front());
            slots_.pop_front();
        }
        if (slot->failure) {
            failed_ = true;
            std::rethrow_exception(slot->failure);
        }
        return Take(*slot->result);
    }

    void Work(int worker) {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            Slot* next = nullptr;
            wake_.wait(lock, [&] {
                if (stopping_) return true;
                for (auto& s : slots_) {
                    if (!s->started) {
                        next = s.get();
                        return true;
                    }
                }
                return false;
            });
            if (!next) return;  // stopping
            next->started = true;
            lock.unlock();
            std::optional<Result> result;
            std::exception_ptr failure;
            try {
                result.emplace(next->job(worker));
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            next->result = std::move(result);
            next->failure = failure;
            done_.notify_all();
        }
    }

    Consume consume_;
    const std::size_t maxPending_;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;  // a job was added, or the work stops
    std::condition_variable done_;  // a job finished
    // Jobs not consumed yet, oldest first. A slot stays in place while a worker runs it (the
    // deque holds pointers, so adding slots does not move it).
    std::deque<std::unique_ptr<Slot>> slots_;
    bool stopping_ = false;
    bool failed_ = false;
};

}  // namespace archivers
