// How the library calls the device-I/O library, and what it makes of its failures: a spy
// stands between them (kxdevio_spy.cpp).
#include <algorithm>

#include "can_common/can_records.h"
#include "dized_fixture.h"
#include "kxdevio_spy.h"

using namespace dizedtest;

namespace {

class Contract : public ::testing::Test {
protected:
    void SetUp() override {
        Ports();  // discovery opens ports too: before the spy is cleared
        spy::Clear();
    }
    void TearDown() override {
        spy::FailControl(0, 0);
        spy::FailClose(0);
    }
};

TEST_F(Contract, OpenPassesTheDevicePathWithTheNameCutToElevenCharactersAndTheOpenFlags) {
    struct Case {
        std::string name, path;
    } cases[] = {
        {"DIZED1", "\\\\.\\DIZED1"},
        {"DIZED1ABCDE", "\\\\.\\DIZED1ABCDE"},
        {"DIZED1ABCDEF", "\\\\.\\DIZED1ABCDE"},
        {"DIZED12345678901234567890", "\\\\.\\DIZED123456"},
    };
    for (const Case& c : cases) {
        spy::Clear();
        CanHandle h = CanOpenPort(c.name.c_str());
        if (h != CAN_INVALID_PORT) CanClosePort(h);
        auto opens = spy::Opens();
        ASSERT_EQ(opens.size(), 1u) << c.name;
        EXPECT_EQ(opens[0].path, c.path);
        EXPECT_EQ(opens[0].access, 0xC0000000u);
        EXPECT_EQ(opens[0].share, 0u);
        EXPECT_FALSE(opens[0].security);
        EXPECT_EQ(opens[0].disposition, 3u);
        EXPECT_EQ(opens[0].flags, 0x40000080u);
        EXPECT_FALSE(opens[0].templateFile);
    }
}

TEST_F(Contract, OnlyTheWaitRequestIsOverlappedAndCloseReleasesItBeforeClosing) {
    Port a(Ports().fifoA);
    ASSERT_TRUE(a.ok());
    ASSERT_EQ(CanActivate(a.get()), 0u);
    CanMessage m = Frame(0x100, {1});
    ASSERT_EQ(CanSendMessage(a.get(), &m, 1), 0u);
    uint32_t n = 1;
    CanReceiveMessage(a.get(), &m, &n);
    ASSERT_TRUE(WaitUntil([] { return spy::ControlCount(IOCTL_CAN_WAIT_EVENT) >= 1; }));
    ASSERT_EQ(a.Close(), 0u);
    auto calls = spy::Controls();
    for (const auto& c : calls) {
        EXPECT_EQ(c.overlapped, c.code == IOCTL_CAN_WAIT_EVENT) << std::hex << c.code;
        if (c.overlapped) {
            EXPECT_TRUE(c.overlappedEvent);
        }
    }
    EXPECT_EQ(calls.back().code, IOCTL_CAN_RELEASE_WAIT);
    EXPECT_EQ(spy::Transfers(), 2);
    EXPECT_EQ(spy::TransfersWithEvent(), 2);
}

TEST_F(Contract, OperatingSystemErrorsAreTranslatedAndOthersPassThrough) {
    Port a(Ports().fifoA);
    ASSERT_TRUE(a.ok());
    struct Case {
        DWORD error;
        uint32_t result;
    } cases[] = {
        {21, CAN_ERR_NOT_READY},     {5, CAN_ERR_ACCESS_DENIED},   {87, CAN_ERR_INVALID_PARAMETER},
        {122, CAN_ERR_BUFFER_TOO_SMALL}, {158, CAN_ERR_NOT_OPEN},  {8, CAN_ERR_NO_MEMORY},
        {1450, CAN_ERR_NO_MEMORY},   {112, CAN_ERR_QUEUE_FULL},    {1104, CAN_ERR_NO_DATA},
        {998, CAN_ERR_WRONG_STATE},  {6, CAN_ERR_INVALID_HANDLE},  {50, CAN_ERR_NOT_SUPPORTED},
        {1117, CAN_ERR_DEVICE_BUSY}, {1, 1},                       {995, 995},
        {31, 31},
        // A failure without an error value must not read as success.
        {0, 31},
    };
    for (const Case& c : cases) {
        spy::FailControl(IOCTL_CAN_ACTIVATE, c.error);
        EXPECT_EQ(CanActivate(a.get()), c.result) << "error " << c.error;
    }
    spy::FailControl(0, 0);
    EXPECT_EQ(CanActivate(a.get()), 0u);
}

TEST_F(Contract, AWaitRequestThatKeepsFailingBacksOffInsteadOfSpinning) {
    spy::FailControl(IOCTL_CAN_WAIT_EVENT, ERROR_NOT_READY);
    Port a(Ports().fifoA);
    ASSERT_TRUE(a.ok());
    ASSERT_TRUE(WaitUntil([] { return spy::ControlCount(IOCTL_CAN_WAIT_EVENT) >= 5; }));
    long before = spy::ControlCount(IOCTL_CAN_WAIT_EVENT);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // Spinning would re-issue it hundreds of thousands of times in this pause; backing off
    // (at most one try per 100 ms once settled) gives a handful.
    EXPECT_LT(spy::ControlCount(IOCTL_CAN_WAIT_EVENT) - before, 50);
    // The port still closes at once, and a working driver is waited on again.
    ASSERT_EQ(a.Close(), 0u);
    spy::FailControl(0, 0);
    Port b(Ports().fifoA);
    ASSERT_TRUE(b.ok());
    ASSERT_EQ(CanSetEventMask(b.get(), CAN_EVENT_RECEIVE), 0u);
}

TEST_F(Contract, AFailingCloseKeepsThePortInTheListUntilItSucceeds) {
    CanHandle h = OpenWhenFree(Ports().fifoA);
    ASSERT_NE(h, CAN_INVALID_PORT);
    spy::FailClose(ERROR_ACCESS_DENIED);
    EXPECT_EQ(CanClosePort(h), CAN_ERR_ACCESS_DENIED);
    spy::FailClose(0);
    spy::FailControl(IOCTL_CAN_RELEASE_WAIT, ERROR_NOT_READY);
    EXPECT_EQ(CanClosePort(h), CAN_ERR_NOT_READY);
    spy::FailControl(0, 0);
    EXPECT_EQ(CanClosePort(h), 0u);
    EXPECT_EQ(CanClosePort(h), CAN_ERR_INVALID_HANDLE);
    Port again(Ports().fifoA);
    EXPECT_TRUE(again.ok());
}

TEST_F(Contract, SetEventChecksTheHandleWithTheDriverBeforeTheList) {
    // A device the driver knows but the library never opened as a port.
    HANDLE raw = KxDevioCreateFile(("\\\\.\\" + Ports().fifoB).c_str(), 0xC0000000u, 0, nullptr, 3, 0x40000080u,
                                   nullptr);
    ASSERT_NE(raw, INVALID_HANDLE_VALUE);
    CanEventSetting s{};
    spy::Clear();
    EXPECT_EQ(CanSetEvent(raw, &s), CAN_ERR_INVALID_HANDLE);
    EXPECT_EQ(CanKillEvent(raw), CAN_ERR_INVALID_HANDLE);
    EXPECT_EQ(spy::ControlCount(IOCTL_CAN_GET_EVENT_MASK), 2);
    // Plain requests on it work: the library passes unknown handles to the device layer.
    uint32_t mask = 1;
    EXPECT_EQ(CanGetEventMask(raw, &mask), 0u);
    EXPECT_EQ(mask, 0u);
    EXPECT_EQ(CanClosePort(raw), CAN_ERR_INVALID_HANDLE);
    KxDevioCloseHandle(raw);
}

// Regression: the close released its port's list node with the port-list lock held, and the
// node waits (up to 2 s) for the driver to let go of the port's wait request: every other
// port's call that takes the lock stalled meanwhile.
TEST_F(Contract, ClosingAPortDoesNotStallTheOtherPortsCalls) {
    Port other(Ports().fifoB);
    ASSERT_TRUE(other.ok());
    spy::HoldWaits();
    CanHandle held = OpenWhenFree(Ports().fifoA);
    ASSERT_NE(held, CAN_INVALID_PORT);
    ASSERT_TRUE(WaitUntil([] { return spy::HeldWaits() == 1; }));
    const long closesBefore = spy::CloseAttempts();
    std::atomic<bool> closed{false};
    std::thread closer([&] {
        EXPECT_EQ(CanClosePort(held), 0u);
        closed = true;
    });
    // The close is past the device close and waits for the wait request the spy keeps.
    ASSERT_TRUE(WaitUntil([&] { return spy::CloseAttempts() > closesBefore; }));
    CanEventSetting setting{};
    EXPECT_EQ(CanSetEvent(other.get(), &setting), 0u);
    EXPECT_FALSE(closed.load()) << "the other port's call waited for the close to give up";
    spy::ReleaseHeldWaits();
    closer.join();
    EXPECT_TRUE(closed.load());
}

}  // namespace
