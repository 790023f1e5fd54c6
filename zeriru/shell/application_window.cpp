#include "zeriru/application_window.h"

namespace zeriru {

ApplicationWindow::ApplicationWindow(std::function<void()> onBringToFront) {
    window_ = platform::winmsg::Window::Register(kApplicationTitle, &error_);
    if (window_ && onBringToFront) window_->OnBringToFront(std::move(onBringToFront));
}

ApplicationWindow::~ApplicationWindow() = default;

}  // namespace zeriru
