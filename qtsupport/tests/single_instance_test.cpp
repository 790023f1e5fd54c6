#include "qtsupport/single_instance.h"

#include "runtime_folder_fixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace qtsupport;
namespace winmsg = platform::winmsg;

namespace {

struct SingleInstanceTest : RuntimeFolderTest {};

// Runs the event loop until `done` or about five seconds passed.
template <typename F>
bool SpinUntil(F done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000) {
        QApplication::processEvents();
        QThread::msleep(2);
    }
    return done();
}

}  // namespace

TEST_F(SingleInstanceTest, TheSecondCopySeesTheFirstAndTheMutexEndsWithIt) {
    {
        SingleInstance first("TEST_SINGLE");
        ASSERT_TRUE(first.ok()) << first.error();
        EXPECT_FALSE(first.otherCopyRunning());
        SingleInstance second("TEST_SINGLE");
        EXPECT_TRUE(second.otherCopyRunning());
    }
    SingleInstance again("TEST_SINGLE");
    EXPECT_FALSE(again.otherCopyRunning());
}

TEST_F(SingleInstanceTest, BringToFrontRunsOnTheGuiThreadAndLeavesTheDispatcherFree) {
    QWidget front;
    front.setWindowTitle("front");
    front.showMinimized();
    SingleInstance instance("TEST_FRONT");
    ASSERT_TRUE(instance.ServeBringToFront("Test front", &front)) << instance.error();

    // Another window of this process, served by the dispatcher thread; a dialog waiting on
    // the GUI thread for its messages must still get them.
    auto dialog = winmsg::Window::Register("Test dialog");
    ASSERT_NE(dialog, nullptr);
    const winmsg::Hwnd edit = dialog->AddChild(winmsg::ControlKind::Edit, "");

    std::atomic<bool> asked{false};
    std::thread second([&] {
        asked = SingleInstance::AskToFront("Test front");
        winmsg::SendMessage(edit, winmsg::WM_SETTEXT, 0, "filled");
    });
    // The GUI thread is busy (as during a build) until the text arrived: only the dispatcher
    // thread can deliver it, and the bring-to-front must not wait for the GUI thread.
    for (int i = 0; i < 5000 && dialog->Text(edit) != "filled"; ++i) QThread::msleep(1);
    second.join();
    EXPECT_EQ(dialog->Text(edit), "filled");
    EXPECT_TRUE(asked);
    EXPECT_TRUE(front.isMinimized()) << "nothing happens before the event loop runs";
    EXPECT_TRUE(SpinUntil([&] { return !front.isMinimized(); }));
    EXPECT_TRUE(front.isVisible());
}

TEST_F(SingleInstanceTest, AskingWithoutAFirstCopyFails) { EXPECT_FALSE(SingleInstance::AskToFront("Nobody here")); }
