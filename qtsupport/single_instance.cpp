#include "qtsupport/single_instance.h"

#include <QMetaObject>

namespace qtsupport {

std::function<void()> QueuedTo(QObject* context, std::function<void()> task) {
    QPointer<QObject> target(context);
    return [target, task = std::move(task)] {
        // QPointer is read on the calling thread; invokeMethod drops the call when the
        // object is deleted before the event loop reaches it.
        if (QObject* object = target.data()) QMetaObject::invokeMethod(object, task, Qt::QueuedConnection);
    };
}

void BringWidgetToFront(QWidget* widget) {
    if (!widget) return;
    widget->setWindowState((widget->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    widget->show();
    widget->raise();
    widget->activateWindow();
}

SingleInstance::SingleInstance(std::string_view mutexName) {
    mutex_ = platform::sync::NamedMutex::Create(mutexName, true, &otherCopy_, &error_);
    if (!mutex_) otherCopy_ = false;
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::ServeBringToFront(std::string_view title, QWidget* front) {
    window_ = platform::winmsg::Window::Register(title, &error_);
    if (!window_) return false;
    window_->OnBringToFront(QueuedTo(front, [front] { BringWidgetToFront(front); }));
    return true;
}

bool SingleInstance::AskToFront(std::string_view title) {
    return platform::winmsg::BringToFront(platform::winmsg::FindWindow(title));
}

}  // namespace qtsupport
