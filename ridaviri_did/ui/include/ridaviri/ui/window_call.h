// Calls that must run on the window's thread, made from any thread. A call from another thread
// (the measurement thread showing message 75, or saving after question 143) is handed to the
// window's thread and its caller waits until it has run there. The window's thread never waits
// on such a caller without a bound, and before the window goes it closes the hand-over:
// callers still waiting, and any later ones, get their fallback at once, so no thread is left
// waiting for a window that is gone.
#pragma once

#include <functional>
#include <memory>
#include <thread>

#include "ridaviri/message_function.h"

namespace ridaviri {

class WindowThreadCall {
public:
    // Runs a task on the window's thread later; callable from any thread.
    using Poster = std::function<void(std::function<void()> task)>;

    // The calling thread is the window's thread.
    explicit WindowThreadCall(Poster post);
    ~WindowThreadCall();
    WindowThreadCall(const WindowThreadCall&) = delete;
    WindowThreadCall& operator=(const WindowThreadCall&) = delete;

    bool OnWindowThread() const { return std::this_thread::get_id() == windowThread_; }
    // Runs `task` on the window's thread and returns its result; on the window's thread at
    // once. `fallback` when the hand-over is closed before the task ended. The task must own
    // what it uses: it may still run when its caller has returned.
    int Call(const std::function<int()>& task, int fallback);

    // From now on nothing more runs for other threads; their waiting calls return.
    void Close();
    bool Closed() const;
    // Calls from other threads waiting now (for tests).
    int Waiting() const;

private:
    struct Shared;
    Poster post_;
    std::thread::id windowThread_;
    std::shared_ptr<Shared> shared_;
};

// The message function of the window program: every box is shown on the window's thread by
// `present`; a box raised elsewhere blocks its caller until it is closed there. Once the
// hand-over is closed such a box gets the default answer: OK, or "no" for a question.
class HandedOverMessages : public MessageFunction {
public:
    using Presenter = std::function<int(const MessageDefinition& box)>;
    HandedOverMessages(WindowThreadCall& call, Presenter present) : call_(call), present_(std::move(present)) {}

protected:
    int Present(const MessageDefinition& box) override;

private:
    WindowThreadCall& call_;
    Presenter present_;
};

// The answer a box gets when nobody can answer it.
int DefaultAnswer(const MessageDefinition& box);

}  // namespace ridaviri
