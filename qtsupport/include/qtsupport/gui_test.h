// Helpers of the GUI tests: find a widget by its object name (the component name) and fail
// clearly when it is missing.
#pragma once

#include <QApplication>
#include <QObject>
#include <QString>

#include <gtest/gtest.h>

namespace qtsupport::testing {

// The child of `parent` with that object name; records a test failure when there is none.
template <typename T>
T* Find(const QObject& parent, const char* objectName) {
    T* child = parent.findChild<T*>(QString::fromLatin1(objectName));
    EXPECT_NE(child, nullptr) << "no widget named " << objectName;
    return child;
}

// Lets queued events (timers at 0, queued calls) run.
inline void ProcessEvents() { QApplication::processEvents(); }

}  // namespace qtsupport::testing
