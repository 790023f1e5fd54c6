#include "ridaviri/gui/post_box.h"

#include <QMetaObject>

namespace ridaviri::gui {

PostBox::PostBox(QObject* target) : shared_(std::make_shared<Shared>()) { shared_->target = target; }

PostBox::~PostBox() { Close(); }

PostBox::Poster PostBox::poster() const {
    return [shared = shared_](std::function<void()> task) {
        std::lock_guard lock(shared->mutex);
        // Posting is thread-safe; the target cannot go while the lock is held, and Qt drops the
        // events of an object deleted later.
        if (shared->target) QMetaObject::invokeMethod(shared->target, std::move(task), Qt::QueuedConnection);
    };
}

void PostBox::Close() {
    std::lock_guard lock(shared_->mutex);
    shared_->target = nullptr;
}

}  // namespace ridaviri::gui
