// The pool that the archive writers compress on: results in order, bounded, failures passed on.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "common/ordered_work.h"

namespace archivers {
namespace {

constexpr int kJobs = 200;

// Later jobs finish sooner: results come back out of order unless the pool restores it.
int SlowFirst(int i) {
    std::this_thread::sleep_for(std::chrono::microseconds((kJobs - i) % 13 * 50));
    return i;
}

TEST(OrderedWork, ResultsComeInTheOrderOfTheJobsWithinTheBound) {
    for (const int threads : {1, 2, 8}) {
        constexpr std::size_t kMaxPending = 5;
        std::vector<int> seen;
        std::atomic<int> outstanding{0};  // jobs started and not yet consumed
        std::atomic<int> mostOutstanding{0};
        OrderedWork<int> work(threads, kMaxPending, [&](int& r) {
            seen.push_back(r);
            --outstanding;
            return true;
        });
        for (int i = 0; i < kJobs; ++i) {
            ASSERT_TRUE(work.Submit([&, i](int worker) {
                EXPECT_LT(worker, std::max(threads, 1));
                const int now = ++outstanding;
                int most = mostOutstanding.load();
                while (now > most && !mostOutstanding.compare_exchange_weak(most, now)) {
                }
                return SlowFirst(i);
            }));
        }
        ASSERT_TRUE(work.Finish());
        ASSERT_EQ(seen.size(), static_cast<std::size_t>(kJobs)) << threads;
        for (int i = 0; i < kJobs; ++i) ASSERT_EQ(seen[i], i) << threads << " threads";
        EXPECT_LE(mostOutstanding.load(), static_cast<int>(kMaxPending)) << threads;
    }
}

TEST(OrderedWork, JobsRunSideBySide) {
    // Each of the first jobs waits until all of them have started: only a pool that really
    // runs them at once gets past (the wait gives up after a while rather than hang the test).
    for (const int threads : {2, 4}) {
        std::mutex mutex;
        std::condition_variable allThere;
        int started = 0;
        std::atomic<int> metTheOthers{0};
        OrderedWork<int> work(threads, 2 * threads, [](int&) { return true; });
        for (int i = 0; i < threads; ++i) {
            ASSERT_TRUE(work.Submit([&, threads](int) {
                std::unique_lock<std::mutex> lock(mutex);
                ++started;
                allThere.notify_all();
                if (allThere.wait_for(lock, std::chrono::seconds(20), [&] { return started == threads; })) ++metTheOthers;
                return 0;
            }));
        }
        ASSERT_TRUE(work.Finish());
        EXPECT_EQ(metTheOthers.load(), threads) << threads << " threads";
    }
}

TEST(OrderedWork, ARefusedResultStopsTheWork) {
    for (const int threads : {1, 4}) {
        std::vector<int> seen;
        OrderedWork<int> work(threads, 8, [&](int& r) {
            seen.push_back(r);
            return r != 10;
        });
        bool refused = false;
        for (int i = 0; i < 100 && !refused; ++i) refused = !work.Submit([i](int) { return i; });
        EXPECT_FALSE(work.Finish()) << threads;
        EXPECT_FALSE(work.Submit([](int) { return 0; }));
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back(), 10) << threads << ": nothing is consumed after the refusal";
    }
}

TEST(OrderedWork, AJobsExceptionReachesTheSubmitter) {
    for (const int threads : {1, 3}) {
        int consumed = 0;
        OrderedWork<int> work(threads, 4, [&](int&) {
            ++consumed;
            return true;
        });
        auto run = [&] {
            for (int i = 0; i < 20; ++i) {
                work.Submit([i](int) -> int {
                    if (i == 6) throw std::runtime_error("job 6");
                    return i;
                });
            }
            work.Finish();
        };
        EXPECT_THROW(run(), std::runtime_error) << threads;
        EXPECT_EQ(consumed, 6) << threads << ": the results before the failed job are consumed";
    }
}

TEST(OrderedWork, ThreadCountComesFromTheRequestTheEnvironmentOrTheMachine) {
    ::setenv("ARCHIVERS_THREADS", "3", 1);
    EXPECT_EQ(PackThreads(5), 5);
    EXPECT_EQ(PackThreads(0), 3);
    EXPECT_EQ(PackThreads(1000), kMaxPackThreads);
    for (const char* bad : {"0", "-2", "x", "2x", ""}) {
        ::setenv("ARCHIVERS_THREADS", bad, 1);
        EXPECT_GE(PackThreads(0), 1) << bad;
        EXPECT_EQ(PackThreads(0), PackThreads(-1)) << bad;
    }
    ::unsetenv("ARCHIVERS_THREADS");
    EXPECT_GE(PackThreads(0), 1);
}

}  // namespace
}  // namespace archivers
