#include "platform/winmsg.h"

#include <gtest/gtest.h>

#include "runtime_folder_fixture.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

using namespace platform::winmsg;

namespace {

using WinMsgTest = RuntimeFolderTest;

struct Dialog {
    std::unique_ptr<Window> window;
    Hwnd group = 0, edit = 0, check = 0, ok = 0;
};

Dialog MakeDialog(std::string_view title) {
    Dialog d;
    d.window = Window::Register(title);
    d.group = d.window->AddChild(ControlKind::Static, "group");
    d.edit = d.window->AddChild(ControlKind::Edit, "", d.group);
    d.check = d.window->AddChild(ControlKind::CheckBox, "ask", d.group);
    d.ok = d.window->AddChild(ControlKind::Button, "OK");
    return d;
}

}  // namespace

TEST_F(WinMsgTest, FindAndEnumerateDepthFirstInCreationOrder) {
    Dialog d = MakeDialog("dialog");
    EXPECT_EQ(FindWindow("dialog"), d.window->Handle());
    EXPECT_EQ(FindWindow("dialo"), 0u) << "titles match exactly";
    EXPECT_EQ(FindWindow("Dialog"), 0u);
    EXPECT_EQ(EnumChildWindows(d.window->Handle()), (std::vector<Hwnd>{d.group, d.edit, d.check, d.ok}));
    EXPECT_EQ(FindChildByCaption(d.window->Handle(), "ask"), d.check);
    EXPECT_EQ(FindChildByCaption(d.window->Handle(), "missing"), 0u);
    WindowInfo info;
    ASSERT_TRUE(GetWindowInfo(d.check, info));
    EXPECT_EQ(info.kind, ControlKind::CheckBox);
}

TEST_F(WinMsgTest, MessagesChangeControlsOnTheOwnersThread) {
    Dialog d = MakeDialog("dialog");
    std::atomic<int> clicks{0};
    std::thread::id clickThread;
    d.window->OnClick(d.ok, [&] {
        clickThread = std::this_thread::get_id();
        ++clicks;
    });
    std::string text = "%temp%\\DOZOZE\\abc\\";
    EXPECT_EQ(SendMessage(d.edit, WM_SETTEXT, 0, text), 1);
    EXPECT_EQ(d.window->Text(d.edit), text) << "the call returns after the message was handled";
    SendMessage(d.check, BM_SETCHECK, 1);
    EXPECT_EQ(d.window->Check(d.check), 1);
    SendMessage(d.edit, BM_SETCHECK, 1);
    EXPECT_EQ(d.window->Check(d.edit), 0) << "only check boxes take a check state";

    SendMessage(d.ok, WM_LBUTTONUP, 0);
    EXPECT_EQ(clicks, 0) << "an up without a down is no click";
    SendMessage(d.ok, WM_LBUTTONDOWN, 0);
    SendMessage(d.ok, WM_LBUTTONUP, 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_NE(clickThread, std::this_thread::get_id());

    EXPECT_EQ(SendMessage(d.edit, 0x0010 /* close */, 0), 0);
    EXPECT_EQ(d.window->Text(d.edit), text) << "other messages are ignored";
}

TEST_F(WinMsgTest, GivenDispatcherRunsEveryMessage) {
    Dialog d = MakeDialog("dialog");
    std::atomic<int> dispatched{0};
    SetDispatcher([&](std::function<void()> task) {
        ++dispatched;
        std::thread(std::move(task)).detach();
    });
    SendMessage(d.edit, WM_SETTEXT, 0, "x");
    EXPECT_EQ(d.window->Text(d.edit), "x");
    EXPECT_EQ(dispatched, 1);
    SetDispatcher(nullptr);
}

TEST_F(WinMsgTest, BringToFrontReachesTheOwner) {
    Dialog d = MakeDialog("Raredovo");
    std::atomic<bool> fronted{false};
    d.window->OnBringToFront([&] { fronted = true; });
    EXPECT_TRUE(BringToFront(FindWindow("Raredovo")));
    EXPECT_TRUE(fronted);
    EXPECT_FALSE(BringToFront(d.edit)) << "only top-level windows come to the front";
}

TEST_F(WinMsgTest, RegistrationEndsWithTheWindowObject) {
    Hwnd edit;
    {
        Dialog d = MakeDialog("short-lived");
        edit = d.edit;
        EXPECT_TRUE(IsWindow(edit));
    }
    EXPECT_EQ(FindWindow("short-lived"), 0u);
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_EQ(SendMessage(edit, WM_SETTEXT, 0, "x"), 0);
}

TEST_F(WinMsgTest, AnOwnerStillStartingKeepsItsSocket) {
    // A living process whose socket is bound but not listening yet, as every owner is for a
    // moment while it starts: a search meanwhile skips it and must not sweep its socket, or
    // its windows could never be found.
    std::filesystem::create_directories(SocketFolder());
    const std::string path = SocketFolder() + "/" + std::to_string(::getppid()) + ".sock";
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_EQ(FindWindow("starting"), 0u);
    EXPECT_TRUE(std::filesystem::exists(path)) << "a starting owner's socket was swept";
    ::close(fd);
}

TEST_F(WinMsgTest, RegistrationEndsWhenTheOwnerProcessDies) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        Dialog d = MakeDialog("Raredovo");
        char ready = 'r';
        (void)!::write(fds[1], &ready, 1);
        for (;;) ::pause();
    }
    ::close(fds[1]);
    char ready = 0;
    ASSERT_EQ(::read(fds[0], &ready, 1), 1);
    ::close(fds[0]);

    Hwnd other = FindWindow("Raredovo");
    ASSERT_NE(other, 0u);
    EXPECT_EQ(other >> 32, static_cast<Hwnd>(pid));
    Hwnd edit = FindChildByCaption(other, "");
    ASSERT_NE(edit, 0u);
    SendMessage(edit, WM_SETTEXT, 0, "\x95\x5C");
    WindowInfo info;
    ASSERT_TRUE(GetWindowInfo(edit, info));
    EXPECT_EQ(info.text, "\x95\x5C");

    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(FindWindow("Raredovo"), 0u);
    EXPECT_FALSE(IsWindow(other));
    EXPECT_TRUE(std::filesystem::is_empty(SocketFolder())) << "the dead owner's socket is swept";
}
