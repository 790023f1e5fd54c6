// Notifications through the whole stack: event mask, the three targets and their order, and
// one notification per empty-to-non-empty change of the receive queue. A frame sent by the
// notified port itself serves as a barrier: its transmit-done bit is dispatched after every
// bit the driver raised before it.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>

#include "dized_fixture.h"
#include "platform/device.h"

using namespace dizedtest;

namespace {

class Notify : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(a_.ok());
        ASSERT_TRUE(b_.ok());
        ASSERT_EQ(CanActivate(a_.get()), 0u);
        ASSERT_EQ(CanActivate(b_.get()), 0u);
    }
    void Register(void* window = nullptr, uint32_t message = 0, HANDLE event = nullptr) {
        CanEventSetting s{};
        s.window = window;
        s.event = event;
        s.callback = rec_.callback();
        s.message = message;
        s.userValue = rec_.userValue();
        ASSERT_EQ(CanSetEvent(b_.get(), &s), 0u);
    }
    void SendToB(std::initializer_list<uint32_t> ids) {
        std::vector<CanMessage> m;
        for (uint32_t id : ids) m.push_back(Frame(id, {uint8_t(id)}));
        ASSERT_EQ(CanSendMessage(a_.get(), m.data(), static_cast<uint32_t>(m.size())), 0u);
    }
    // B sends one frame and waits until its transmit-done bit has been dispatched.
    void Barrier() {
        size_t before = rec_.count();
        CanMessage m = Frame(0x7F0, {0});
        ASSERT_EQ(CanSendMessage(b_.get(), &m, 1), 0u);
        ASSERT_TRUE(WaitUntil([&] {
            auto bits = rec_.bits();
            for (size_t i = before; i < bits.size(); ++i)
                if (bits[i] & CAN_EVENT_TRANSMIT_DONE) return true;
            return false;
        }));
        ASSERT_TRUE(a_.WaitReceived(1));
        a_.Drain();
    }
    Port a_{Ports().fifoA};
    Port b_{Ports().fifoB};
    Recorder rec_;
};

TEST_F(Notify, MaskZeroDispatchesNothingWhateverTheBusDoes) {
    Register();
    SendToB({0x301, 0x302});
    ASSERT_TRUE(b_.WaitReceived(2));
    b_.Drain();
    ASSERT_EQ(CanSetEventMask(b_.get(), CAN_EVENT_TRANSMIT_DONE), 0u);
    uint32_t mask = 0;
    ASSERT_EQ(CanGetEventMask(b_.get(), &mask), 0u);
    EXPECT_EQ(mask, CAN_EVENT_TRANSMIT_DONE);
    Barrier();
    EXPECT_EQ(rec_.bits(), (std::vector<uint32_t>{CAN_EVENT_TRANSMIT_DONE}));
}

TEST_F(Notify, OneArrivalNotificationPerEmptyToNonEmptyChange) {
    Register();
    ASSERT_EQ(CanSetEventMask(b_.get(), CAN_EVENT_RECEIVE | CAN_EVENT_TRANSMIT_DONE), 0u);
    SendToB({0x311, 0x312, 0x313});
    ASSERT_TRUE(b_.WaitReceived(3));
    Barrier();
    // Nothing more until the queue has been read empty.
    SendToB({0x314});
    ASSERT_TRUE(b_.WaitReceived(4));
    Barrier();
    EXPECT_EQ(b_.Drain().size(), 4u);
    SendToB({0x315});
    ASSERT_TRUE(b_.WaitReceived(1));
    Barrier();
    // The driver may hand bits raised close together over in one value (0x28): count bits.
    auto bits = rec_.bits();
    auto count = [&](uint32_t bit) { return std::count_if(bits.begin(), bits.end(), [&](uint32_t b) { return b & bit; }); };
    EXPECT_EQ(count(CAN_EVENT_RECEIVE), 2) << "two changes from empty";
    EXPECT_EQ(count(CAN_EVENT_TRANSMIT_DONE), 3) << "three barriers";
}

TEST_F(Notify, TargetsAreServedInTheOrderEventWindowCallback) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> eventSetFirst{-1}, messageFirst{-1};
    rec_.OnNotify([&](uint32_t) {
        eventSetFirst = WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
        pollfd p{fds[0], POLLIN, 0};
        messageFirst = poll(&p, 1, 0) == 1;
    });
    Register(CAN_WINDOW_FROM_FD(fds[1]), 0x8001, event);
    ASSERT_EQ(CanSetEventMask(b_.get(), CAN_EVENT_RECEIVE), 0u);
    SendToB({0x321});
    ASSERT_TRUE(rec_.WaitForBits(CAN_EVENT_RECEIVE));
    // The hook runs in the callback just after the bits were recorded.
    ASSERT_TRUE(WaitUntil([&] { return messageFirst.load() != -1; }));
    EXPECT_EQ(eventSetFirst.load(), 1);
    EXPECT_EQ(messageFirst.load(), 1);
    CanWindowMessage posted{};
    ASSERT_EQ(read(fds[0], &posted, sizeof posted), static_cast<ssize_t>(sizeof posted));
    EXPECT_EQ(posted.message, 0x8001u);
    EXPECT_EQ(posted.wParam, CAN_EVENT_RECEIVE);
    EXPECT_EQ(posted.lParam, rec_.userValue());
    b_.Drain();
    ASSERT_EQ(CanKillEvent(b_.get()), 0u);
    // The library owns the registered event from now on; close it here after unregistering
    // only because the port will not close it any more.
    CloseHandle(event);
    close(fds[0]);
    close(fds[1]);
}

TEST_F(Notify, MessageNumberZeroPostsNothingWhileEventAndCallbackFire) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Register(CAN_WINDOW_FROM_FD(fds[1]), 0, event);
    ASSERT_EQ(CanSetEventMask(b_.get(), CAN_EVENT_RECEIVE), 0u);
    SendToB({0x331});
    ASSERT_TRUE(rec_.WaitForBits(CAN_EVENT_RECEIVE));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    pollfd p{fds[0], POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 0), 0) << "the post would have come before the callback";
    b_.Drain();
    // Closing the port closes the registered event.
    ASSERT_EQ(b_.Close(), 0u);
    EXPECT_EQ(SetEvent(event), FALSE);
    close(fds[0]);
    close(fds[1]);
}

TEST_F(Notify, SettingAllZeroBehavesLikeKillEvent) {
    Register();
    ASSERT_EQ(CanSetEventMask(b_.get(), CAN_EVENT_RECEIVE), 0u);
    SendToB({0x341});
    ASSERT_TRUE(rec_.WaitForBits(CAN_EVENT_RECEIVE));
    b_.Drain();
    CanEventSetting none{};
    ASSERT_EQ(CanSetEvent(b_.get(), &none), 0u);
    SendToB({0x342});
    ASSERT_TRUE(b_.WaitReceived(1));
    // Nothing to wait for when nothing is registered: a pause can only miss a wrong
    // notification, never report a right one.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(rec_.count(), 1u);
    b_.Drain();
}

TEST_F(Notify, ACallbackMayUseItsPortAndEvenCloseIt) {
    std::vector<uint32_t> ids;
    std::atomic<bool> closed{false};
    CanHandle b = b_.get();
    rec_.OnNotify([&](uint32_t bits) {
        if (!(bits & CAN_EVENT_RECEIVE)) return;
        CanMessage m[8];
        uint32_t n = 8;
        if (CanReceiveMessage(b, m, &n) == 0)
            for (uint32_t i = 0; i < n; ++i) ids.push_back(m[i].identifier);
        closed = CanClosePort(b) == 0;
    });
    Register();
    ASSERT_EQ(CanSetEventMask(b_.get(), CAN_EVENT_RECEIVE), 0u);
    SendToB({0x351});
    ASSERT_TRUE(WaitUntil([&] { return closed.load(); }));
    EXPECT_EQ(ids, (std::vector<uint32_t>{0x351}));
    // The port is gone and its channel free again (once the driver's close has run).
    EXPECT_EQ(CanClosePort(b), CAN_ERR_INVALID_HANDLE);
    Port again(Ports().fifoB);
    EXPECT_TRUE(again.ok());
}

TEST_F(Notify, AWindowNobodyReadsAnyMoreNeitherBlocksNorEndsTheProcess) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);  // the reader went away: writes would raise SIGPIPE
    Register(CAN_WINDOW_FROM_FD(fds[1]), 0x8002);
    ASSERT_EQ(CanSetEventMask(b_.get(), CAN_EVENT_RECEIVE), 0u);
    SendToB({0x361});
    ASSERT_TRUE(rec_.WaitForBits(CAN_EVENT_RECEIVE));
    b_.Drain();
    close(fds[1]);
}

// Regression: the window of descriptor 0 was the null pointer, "no window", and got nothing.
TEST_F(Notify, DescriptorZeroIsAWindowToo) {
    ASSERT_NE(CAN_WINDOW_FROM_FD(0), nullptr);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const int savedStdin = dup(0);
    ASSERT_GE(savedStdin, 0);
    ASSERT_EQ(dup2(fds[1], 0), 0);
    Register(CAN_WINDOW_FROM_FD(0), 0x8003);
    ASSERT_EQ(CanSetEventMask(b_.get(), CAN_EVENT_RECEIVE), 0u);
    SendToB({0x341});
    ASSERT_TRUE(rec_.WaitForBits(CAN_EVENT_RECEIVE));
    ASSERT_EQ(CanKillEvent(b_.get()), 0u);
    dup2(savedStdin, 0);
    close(savedStdin);
    pollfd p{fds[0], POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 0), 1) << "nothing was posted to descriptor 0";
    CanWindowMessage posted{};
    ASSERT_EQ(read(fds[0], &posted, sizeof posted), static_cast<ssize_t>(sizeof posted));
    EXPECT_EQ(posted.message, 0x8003u);
    EXPECT_EQ(posted.wParam, CAN_EVENT_RECEIVE);
    b_.Drain();
    close(fds[0]);
    close(fds[1]);
}

}  // namespace
