// Tasks posted to a window's thread from the monitor's threads. A worker may still post after
// its window is gone (a thread is waited for a bounded time only); the post box drops such
// tasks instead of reaching a deleted object.
#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

namespace ridaviri::gui {

class PostBox {
public:
    using Poster = std::function<void(std::function<void()>)>;

    explicit PostBox(QObject* target);
    ~PostBox();  // closes
    PostBox(const PostBox&) = delete;
    PostBox& operator=(const PostBox&) = delete;

    // A function that runs a task later on the target's thread; callable from any thread and
    // after the post box is gone (it then does nothing).
    Poster poster() const;
    // No task is posted from now on (called on the target's thread before it goes).
    void Close();

private:
    struct Shared {
        std::mutex mutex;
        QObject* target = nullptr;
    };
    std::shared_ptr<Shared> shared_;
};

}  // namespace ridaviri::gui
