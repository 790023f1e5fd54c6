// One copy of a window program per machine: a named mutex tells whether another copy runs,
// and a window registered under the program's title lets a second copy ask the first to come
// to the front. The request arrives on the window-message dispatcher's thread, which must
// stay free for other messages (a dialog of the program may be waiting on it); only the
// bring-to-front itself is queued into the Qt event loop.
#pragma once

#include "platform/sync.h"
#include "platform/winmsg.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace qtsupport {

// A function that runs `task` later on the thread of `context`, through its event loop. Safe
// to call from any thread; does nothing once `context` is gone.
std::function<void()> QueuedTo(QObject* context, std::function<void()> task);

// Shows a top-level widget, restores it when minimised, raises and activates it.
void BringWidgetToFront(QWidget* widget);

class SingleInstance {
public:
    // Opens the named mutex, creating it when no other copy holds it.
    explicit SingleInstance(std::string_view mutexName);
    ~SingleInstance();

    // False when the mutex could not be made (error() says why); treat as a first copy.
    bool ok() const { return mutex_ != nullptr; }
    const std::string& error() const { return error_; }
    bool otherCopyRunning() const { return otherCopy_; }

    // First copy: registers a top-level window titled `title` for other processes; a
    // bring-to-front request for it calls BringWidgetToFront(front) on the Qt event loop.
    // False (error()) when the window cannot be registered.
    bool ServeBringToFront(std::string_view title, QWidget* front);
    platform::winmsg::Hwnd windowHandle() const { return window_ ? window_->Handle() : 0; }

    // Second copy: asks the window `title` of the first copy to come to the front.
    static bool AskToFront(std::string_view title);

private:
    std::unique_ptr<platform::sync::NamedMutex> mutex_;
    std::unique_ptr<platform::winmsg::Window> window_;
    bool otherCopy_ = false;
    std::string error_;
};

}  // namespace qtsupport
