// The thread of an auxiliary window: runs at idle priority until the window tells it to stop.
// Stopping waits a bounded time; a worker still busy then ends on its own later, so its body
// may only touch state it shares by ownership (never the window's own members).
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace ridaviri {

class ViewWorker {
public:
    // What the body sees of its worker.
    class Context {
    public:
        // Sleeps `ms` or until told to stop; false when told to stop.
        bool Sleep(std::chrono::milliseconds ms);
        bool Stopping() const;

    private:
        friend class ViewWorker;
        struct Shared;
        explicit Context(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
        std::shared_ptr<Shared> shared_;
    };
    using Body = std::function<void(Context&)>;

    ViewWorker() = default;
    ~ViewWorker();  // Stop with the default bound
    ViewWorker(const ViewWorker&) = delete;
    ViewWorker& operator=(const ViewWorker&) = delete;

    // Starts the body on a new thread at idle priority (a worker still running is stopped first).
    void Start(Body body);
    // Sets the stop flag, wakes the worker and waits up to `bound` for it to end: true when it
    // ended (or none ran).
    bool Stop(std::chrono::milliseconds bound = std::chrono::milliseconds(500));
    // The worker's body has returned (or none was started).
    bool Ended() const;

private:
    std::shared_ptr<Context::Shared> shared_;
    std::thread thread_;
};

// Lowers the calling thread to idle priority: it runs when nothing else wants the processor.
void LowerToIdlePriority();

}  // namespace ridaviri
