// Calls handed to the window's thread: a message box raised on another thread blocks its
// caller until the window's thread answered it, and closing the hand-over frees every caller.
#include "ridaviri/ui/window_call.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>

namespace ridaviri {
namespace {

using namespace std::chrono_literals;

// The window thread's event queue: tasks posted from anywhere, run when the test pumps.
class EventQueue {
public:
    void Post(std::function<void()> task) {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        changed_.notify_all();
    }
    // Runs the tasks posted so far; waits up to `timeout` for the first.
    int Pump(std::chrono::milliseconds timeout = 2s) {
        std::deque<std::function<void()>> tasks;
        {
            std::unique_lock lock(mutex_);
            changed_.wait_for(lock, timeout, [&] { return !tasks_.empty(); });
            tasks.swap(tasks_);
        }
        for (auto& t : tasks) t();
        return static_cast<int>(tasks.size());
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> tasks_;
};

struct Rig {
    Rig() : call([this](std::function<void()> task) { queue.Post(std::move(task)); }), messages(call, [this](const MessageDefinition& box) {
                   shownOn.push_back(std::this_thread::get_id());
                   numbers.push_back(box.number);
                   return IsQuestion(box.kind) ? kAnswerYes : kAnswerOk;
               }) {}
    EventQueue queue;
    WindowThreadCall call;
    HandedOverMessages messages;
    std::vector<std::thread::id> shownOn;
    std::vector<int> numbers;
};

TEST(WindowThreadCall, ABoxFromAnotherThreadIsShownOnTheWindowsThread) {
    Rig rig;
    EXPECT_EQ(rig.messages(143), kAnswerYes);  // on the window's thread: at once
    auto answer = std::async(std::launch::async, [&] { return rig.messages(143); });
    EXPECT_EQ(answer.wait_for(50ms), std::future_status::timeout) << "the caller waits for the box";
    EXPECT_EQ(rig.queue.Pump(), 1);
    EXPECT_EQ(answer.get(), kAnswerYes);
    ASSERT_EQ(rig.shownOn.size(), 2u);
    EXPECT_EQ(rig.shownOn[1], std::this_thread::get_id());
    EXPECT_EQ(rig.numbers, (std::vector<int>{143, 143}));
    // A number without a text still says -1 when handed over.
    auto general = std::async(std::launch::async, [&] { return rig.messages(30); });
    rig.queue.Pump();
    EXPECT_EQ(general.get(), -1);
}

TEST(WindowThreadCall, ClosingFreesWaitingAndLaterCallers) {
    Rig rig;
    auto question = std::async(std::launch::async, [&] { return rig.messages(143); });
    auto ok = std::async(std::launch::async, [&] { return rig.messages(75); });
    for (int i = 0; i < 200 && rig.call.Waiting() < 2; ++i) std::this_thread::sleep_for(5ms);
    ASSERT_EQ(rig.call.Waiting(), 2);
    rig.call.Close();
    EXPECT_EQ(question.get(), kAnswerNo);
    EXPECT_EQ(ok.get(), kAnswerOk);
    // Posted boxes are not shown any more; later callers return at once.
    rig.queue.Pump(10ms);
    EXPECT_TRUE(rig.numbers.empty());
    EXPECT_EQ(std::async(std::launch::async, [&] { return rig.messages(115); }).get(), kAnswerNo);
    EXPECT_EQ(rig.call.Waiting(), 0);
}

}  // namespace
}  // namespace ridaviri
