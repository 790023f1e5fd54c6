#include "rozivu.h"

#include "platform/sjis.h"
#include "platform/sync.h"
#include "platform/winmsg.h"

#include <gtest/gtest.h>

#include "runtime_folder_fixture.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

using namespace platform::winmsg;
using platform::sjis::S;

TEST(ExtractionFolder, EndsInExactlyOneBackslash) {
    struct Case {
        const char* arg;
        const char* text;
    } cases[] = {
        {"abc", "%temp%\\DOZOZE\\abc\\"},
        {"abc\\", "%temp%\\DOZOZE\\abc\\"},
        {"", "%temp%\\DOZOZE\\"},
        {"20261209_0606", "%temp%\\DOZOZE\\20261209_0606\\"},
    };
    for (const Case& c : cases) EXPECT_EQ(rozivu::ExtractionFolderText(c.arg), c.text) << c.arg;
    // 表 ends in byte 0x5C, which is not a backslash.
    EXPECT_EQ(rozivu::ExtractionFolderText("\x95\x5C"), "%temp%\\DOZOZE\\\x95\x5C\\");
}

namespace {

// The self-extractor's option dialog as the archiver lays it out.
class OptionDialog {
public:
    explicit OptionDialog(std::size_t children = 12) {
        window_ = Window::Register(rozivu::OptionDialogTitle());
        const ControlKind kinds[] = {ControlKind::Static, ControlKind::Static, ControlKind::Edit,
                                     ControlKind::Static, ControlKind::Button, ControlKind::Static,
                                     ControlKind::Edit,   ControlKind::CheckBox, ControlKind::CheckBox,
                                     ControlKind::Static, ControlKind::Edit,   ControlKind::Button};
        const std::string captions[] = {"a", "b", "", "c", S("参照..."), "d", "", rozivu::NoFolderQuestionCaption(),
                                        rozivu::DeleteAfterRunCaption(), "e", "", "OK"};
        for (std::size_t i = 0; i < children && i < 12; ++i) handles_.push_back(window_->AddChild(kinds[i], captions[i]));
        window_->SetCheck(handles_.size() > 8 ? handles_[8] : 0, 1);
        if (handles_.size() == 12) {
            window_->OnClick(handles_[11], [this] {
                std::lock_guard lock(mutex_);
                ++clicks_;
                clicked_.notify_all();
            });
        }
    }
    bool WaitForClicks(int n) {
        std::unique_lock lock(mutex_);
        return clicked_.wait_for(lock, std::chrono::seconds(10), [&] { return clicks_ >= n; });
    }
    int Clicks() {
        std::lock_guard lock(mutex_);
        return clicks_;
    }
    std::string Folder() const { return window_->Text(handles_[6]); }
    std::string Command() const { return window_->Text(handles_[10]); }
    int NoQuestion() const { return window_->Check(handles_[7]); }
    int DeleteAfter() const { return window_->Check(handles_[8]); }

private:
    std::unique_ptr<Window> window_;
    std::vector<Hwnd> handles_;
    std::mutex mutex_;
    std::condition_variable clicked_;
    int clicks_ = 0;
};

class RozivuProcessTest : public RuntimeFolderTest {
protected:
    void TearDown() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        RuntimeFolderTest::TearDown();
    }
    void Start(std::optional<std::string> arg) {
        pid_ = ::fork();
        if (pid_ == 0) {
            if (arg) {
                ::execl(ROZIVU_EXE, "rozivu", arg->c_str(), static_cast<char*>(nullptr));
            } else {
                ::execl(ROZIVU_EXE, "rozivu", static_cast<char*>(nullptr));
            }
            ::_exit(127);
        }
    }
    // True when the program ended (with exit code 0) within the bound.
    bool Ended(std::chrono::milliseconds bound = std::chrono::seconds(10)) {
        auto until = std::chrono::steady_clock::now() + bound;
        while (std::chrono::steady_clock::now() < until) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) && WEXITSTATUS(status) == 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    pid_t pid_ = -1;
};

}  // namespace

TEST_F(RozivuProcessTest, FillsAndConfirmsTheDialogThenEndsWithTheEditor) {
    auto editor = Window::Register("Raredovo");
    OptionDialog dialog;
    Start("abc");
    ASSERT_TRUE(dialog.WaitForClicks(1));
    EXPECT_EQ(dialog.Folder(), "%temp%\\DOZOZE\\abc\\");
    EXPECT_EQ(dialog.Command(), "install.exe");
    EXPECT_EQ(dialog.NoQuestion(), 1);
    EXPECT_EQ(dialog.DeleteAfter(), 0);
    editor.reset();
    EXPECT_TRUE(Ended());
}

TEST_F(RozivuProcessTest, TrailingBackslashAndNoArgument) {
    auto editor = Window::Register("Raredovo");
    {
        OptionDialog dialog;
        Start("abc\\");
        ASSERT_TRUE(dialog.WaitForClicks(1));
        EXPECT_EQ(dialog.Folder(), "%temp%\\DOZOZE\\abc\\");
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    OptionDialog dialog;
    Start(std::nullopt);
    ASSERT_TRUE(dialog.WaitForClicks(1));
    EXPECT_EQ(dialog.Folder(), "%temp%\\DOZOZE\\");
}

TEST_F(RozivuProcessTest, DialogShownTwiceIsConfirmedTwice) {
    auto editor = Window::Register("Raredovo");
    Start("x");
    for (int round = 0; round < 2; ++round) {
        OptionDialog dialog;
        ASSERT_TRUE(dialog.WaitForClicks(1)) << "round " << round;
        EXPECT_EQ(dialog.Command(), "install.exe");
    }
    editor.reset();
    EXPECT_TRUE(Ended());
}

TEST_F(RozivuProcessTest, SecondCopyEndsWithoutTouchingAnyWindow) {
    auto editor = Window::Register("Raredovo");
    auto running = platform::sync::NamedMutex::Create(rozivu::kMutexName, false);
    OptionDialog dialog;
    Start("abc");
    EXPECT_TRUE(Ended());
    EXPECT_EQ(dialog.Folder(), "");
    EXPECT_EQ(dialog.Clicks(), 0);
}

TEST_F(RozivuProcessTest, WithoutTheEditorItEndsAtOnce) {
    OptionDialog dialog;
    Start("abc");
    EXPECT_TRUE(Ended());
    EXPECT_EQ(dialog.Folder(), "");
    EXPECT_EQ(dialog.Clicks(), 0);
}

TEST_F(RozivuProcessTest, DialogWithTooFewChildrenIsNotConfirmed) {
    auto editor = Window::Register("Raredovo");
    OptionDialog small(8);
    EXPECT_EQ(rozivu::FillOptionDialog("x"), rozivu::FillResult::TooFewChildren);
    Start("abc");
    // Let it take several turns over the small dialog; it must keep running and send nothing.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(Ended(std::chrono::milliseconds(1)));
    EXPECT_EQ(small.Folder(), "");
    editor.reset();
    EXPECT_TRUE(Ended());
}
