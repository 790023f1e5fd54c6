#include "ridaviri/ui/window_call.h"

#include <condition_variable>
#include <mutex>

namespace ridaviri {

struct WindowThreadCall::Shared {
    mutable std::mutex mutex;
    std::condition_variable changed;
    bool closed = false;
    int waiting = 0;
};

WindowThreadCall::WindowThreadCall(Poster post)
    : post_(std::move(post)), windowThread_(std::this_thread::get_id()), shared_(std::make_shared<Shared>()) {}

WindowThreadCall::~WindowThreadCall() { Close(); }

void WindowThreadCall::Close() {
    std::lock_guard lock(shared_->mutex);
    shared_->closed = true;
    shared_->changed.notify_all();
}

bool WindowThreadCall::Closed() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->closed;
}

int WindowThreadCall::Waiting() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->waiting;
}

int WindowThreadCall::Call(const std::function<int()>& task, int fallback) {
    if (OnWindowThread()) return task();
    struct Request {
        std::function<int()> task;
        int result = 0;
        bool done = false;
    };
    auto request = std::make_shared<Request>();
    request->task = task;
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->closed) return fallback;
        ++shared_->waiting;
    }
    // The posted task holds what it shares, so it may run (or be dropped) after Call returned.
    post_([shared = shared_, request] {
        {
            std::lock_guard lock(shared->mutex);
            if (shared->closed) return;
        }
        const int result = request->task();
        std::lock_guard lock(shared->mutex);
        request->result = result;
        request->done = true;
        shared->changed.notify_all();
    });
    std::unique_lock lock(shared_->mutex);
    shared_->changed.wait(lock, [&] { return request->done || shared_->closed; });
    --shared_->waiting;
    return request->done ? request->result : fallback;
}

int DefaultAnswer(const MessageDefinition& box) { return IsQuestion(box.kind) ? kAnswerNo : kAnswerOk; }

int HandedOverMessages::Present(const MessageDefinition& box) {
    // The task owns its copy of the box: the box may still be open when the caller returns.
    return call_.Call([present = present_, box] { return present(box); }, DefaultAnswer(box));
}

}  // namespace ridaviri
