// The editor's application window: a top-level window titled "Raredovo" that exists for as
// long as the editor runs, whichever front end (windows or command line) it runs with. The
// CAB dialog helper keeps working only while it finds this window.
#pragma once

#include "platform/winmsg.h"

#include <functional>
#include <memory>
#include <string>

namespace zeriru {

inline constexpr const char* kApplicationTitle = "Raredovo";

class ApplicationWindow {
public:
    // Registers the window; `onBringToFront` runs when another copy of the editor asks for
    // the running one. Check ok() (a failure is reported in error()).
    explicit ApplicationWindow(std::function<void()> onBringToFront = {});
    ~ApplicationWindow();  // the window disappears
    ApplicationWindow(const ApplicationWindow&) = delete;
    ApplicationWindow& operator=(const ApplicationWindow&) = delete;

    bool ok() const { return window_ != nullptr; }
    const std::string& error() const { return error_; }
    platform::winmsg::Hwnd handle() const { return window_ ? window_->Handle() : 0; }

private:
    std::unique_ptr<platform::winmsg::Window> window_;
    std::string error_;
};

}  // namespace zeriru
