#include "ridaviri/ui/view_worker.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ridaviri {
namespace {

// Nice value of an idle-priority thread.
constexpr int kIdleNice = 19;

}  // namespace

struct ViewWorker::Context::Shared {
    mutable std::mutex mutex;
    std::condition_variable changed;
    bool stop = false;
    bool ended = false;
};

void LowerToIdlePriority() { ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), kIdleNice); }

bool ViewWorker::Context::Sleep(std::chrono::milliseconds ms) {
    std::unique_lock lock(shared_->mutex);
    return !shared_->changed.wait_for(lock, ms, [&] { return shared_->stop; });
}

bool ViewWorker::Context::Stopping() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->stop;
}

ViewWorker::~ViewWorker() { Stop(); }

void ViewWorker::Start(Body body) {
    Stop();
    shared_ = std::make_shared<Context::Shared>();
    thread_ = std::thread([shared = shared_, body = std::move(body)] {
        LowerToIdlePriority();
        Context context(shared);
        body(context);
        std::lock_guard lock(shared->mutex);
        shared->ended = true;
        shared->changed.notify_all();
    });
}

bool ViewWorker::Stop(std::chrono::milliseconds bound) {
    if (!shared_) return true;
    bool ended;
    {
        std::unique_lock lock(shared_->mutex);
        shared_->stop = true;
        shared_->changed.notify_all();
        ended = shared_->changed.wait_for(lock, bound, [&] { return shared_->ended; });
    }
    if (ended) thread_.join();
    else thread_.detach();  // it ends on its own; it holds only what it shares
    shared_.reset();
    return ended;
}

bool ViewWorker::Ended() const {
    if (!shared_) return true;
    std::lock_guard lock(shared_->mutex);
    return shared_->ended;
}

}  // namespace ridaviri
