// The board driver through the device calls only: two channels of one board on one bus.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "board_fixture.h"

namespace re7316test {
namespace {

class ChannelTest : public BoardTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override { Plug(GetParam()); }
    // Opens DIZED1 and DIZED2 and starts both controllers.
    void OpenBoth() {
        a_ = Open("DIZED1");
        b_ = Open("DIZED2", FILE_FLAG_OVERLAPPED);
        ASSERT_NE(a_, INVALID_HANDLE_VALUE);
        ASSERT_NE(b_, INVALID_HANDLE_VALUE);
        ASSERT_EQ(Ioctl(a_, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
        ASSERT_EQ(Ioctl(b_, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    }
    HANDLE a_ = INVALID_HANDLE_VALUE, b_ = INVALID_HANDLE_VALUE;
};

TEST_P(ChannelTest, ChannelsArePublishedAsDized1And2AndOpenOnlyOnce) {
    HANDLE a = Open("DIZED1");
    HANDLE b = Open("DIZED2");
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open("DIZED1"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Open("DIZED3"), INVALID_HANDLE_VALUE);
    // The first user is unaffected by the refused open.
    CanConfig cfg{};
    DWORD n = 0;
    ASSERT_EQ(Ioctl(a, IOCTL_CAN_GET_CONFIG, nullptr, 0, &cfg, sizeof cfg, &n), 0u);
    EXPECT_EQ(n, sizeof cfg);
    const CanConfig defaults{0, 1, 64, 64, 64, 96, 0x053A};
    EXPECT_EQ(std::memcmp(&cfg, &defaults, sizeof cfg), 0);
    CanBoardInfo info{};
    ASSERT_EQ(Ioctl(b, IOCTL_CAN_GET_BOARD_INFO, nullptr, 0, &info, sizeof info), 0u);
    EXPECT_EQ(info.deviceId, cfg_.device_id);
    EXPECT_EQ(info.channelNumber, 2u);
    EXPECT_EQ(info.modelNumber, ULONG(cfg_.device_id) * 100 + (cfg_.subsystem_id & 0x7F));
}

TEST_P(ChannelTest, FrameSentOnDized1IsReadOnDized2AfterTheReceiveEvent) {
    OpenBoth();
    ASSERT_EQ(Simple(b_, IOCTL_CAN_SET_EVENT_MASK, CAN_EVENT_RECEIVE), 0u);
    const CanMessage sent[] = {Frame(0x1ABCDE01, {1, 2, 3, 4, 5, 6, 7, 8}), Frame(0x5A5, {0xAA, 0x55}, false)};
    for (const CanMessage& m : sent) {
        OVERLAPPED ov;
        ULONG value = 0;
        StartWait(b_, &ov, &value);
        DWORD n = 0;
        ASSERT_TRUE(WriteFile(a_, &m, sizeof m, &n, nullptr)) << GetLastError();
        ASSERT_EQ(WaitForSingleObject(ov.hEvent, kHangGuardMs), 0u);
        ASSERT_TRUE(GetOverlappedResult(b_, &ov, &n, TRUE));
        EXPECT_EQ(n, 4u);
        EXPECT_EQ(value, CAN_EVENT_RECEIVE);
        CloseHandle(ov.hEvent);

        CanMessage got[2]{};
        OVERLAPPED rov{};
        rov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ASSERT_TRUE(ReadFile(b_, got, sizeof got, &n, &rov) || GetLastError() == ERROR_IO_PENDING);
        ASSERT_TRUE(GetOverlappedResult(b_, &rov, &n, TRUE));
        CloseHandle(rov.hEvent);
        ASSERT_EQ(n, sizeof(CanMessage));
        EXPECT_EQ(got[0].identifier, m.identifier);
        EXPECT_EQ(got[0].length, m.length);
        EXPECT_EQ(got[0].remote, 0u);
        EXPECT_EQ(std::memcmp(got[0].data, m.data, m.length), 0);
    }
}

TEST_P(ChannelTest, RequestsAreCheckedForLengthStateAndRange) {
    a_ = Open("DIZED1");
    ASSERT_NE(a_, INVALID_HANDLE_VALUE);
    CanMessage m[3] = {Frame(1, {1}), Frame(2, {2}), Frame(3, {3})};
    DWORD n = 0;
    // Write and read while stopped and empty.
    EXPECT_FALSE(WriteFile(a_, m, 23, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_FALSE(WriteFile(a_, m, 24, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NOACCESS);
    EXPECT_FALSE(ReadFile(a_, m, 24, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NO_DATA_DETECTED);
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(ReadFile(a_, m, 23, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    const ULONG window = board_->channel(0).window_base();
    struct Case {
        const char* what;
        DWORD code;
        std::vector<ULONG> in;
        DWORD outLength;
        DWORD error;
    };
    const Case cases[] = {
        {"device info into 2 bytes", IOCTL_CAN_GET_DEVICE_INFO, {}, 2, ERROR_INSUFFICIENT_BUFFER},
        {"wait into 2 bytes", IOCTL_CAN_WAIT_EVENT, {}, 2, ERROR_INSUFFICIENT_BUFFER},
        {"memory read into 2 bytes", IOCTL_CAN_MEMORY_READ_BYTE, {window}, 2, ERROR_INSUFFICIENT_BUFFER},
        {"memory read of the switch register", IOCTL_CAN_MEMORY_READ_BYTE, {window + 0x8F}, 4, 0},
        {"memory read below the window", IOCTL_CAN_MEMORY_READ_BYTE, {window - 1}, 4, ERROR_ACCESS_DENIED},
        {"dword read across the window's end", IOCTL_CAN_MEMORY_READ_DWORD, {window + 0x1FE}, 4,
         ERROR_ACCESS_DENIED},
        {"memory read elsewhere", IOCTL_CAN_MEMORY_READ_DWORD, {0x1000}, 4, ERROR_ACCESS_DENIED},
        {"memory write elsewhere", IOCTL_CAN_MEMORY_WRITE_BYTE, {0x1000, 1}, 0, ERROR_ACCESS_DENIED},
        {"port read", IOCTL_CAN_PORT_READ_BYTE, {0x80}, 4, ERROR_ACCESS_DENIED},
        {"port write", IOCTL_CAN_PORT_WRITE_DWORD, {0xCF8, 0x80000000}, 0, ERROR_ACCESS_DENIED},
        {"config read of the vendor ID", IOCTL_CAN_PCI_CONFIG_READ, {0, 1}, 4, 0},
        {"config read with width code 3", IOCTL_CAN_PCI_CONFIG_READ, {0, 3}, 4, ERROR_INVALID_PARAMETER},
        {"config read past the space", IOCTL_CAN_PCI_CONFIG_READ, {0xFE, 2}, 4, ERROR_ACCESS_DENIED},
        {"config read with short input", IOCTL_CAN_PCI_CONFIG_READ, {0}, 4, ERROR_INSUFFICIENT_BUFFER},
        {"deactivate while stopped", IOCTL_CAN_DEACTIVATE, {}, 0, ERROR_NOACCESS},
        {"errors while none", IOCTL_CAN_GET_ERRORS, {}, 16, ERROR_NO_DATA_DETECTED},
        {"completions while none", IOCTL_CAN_GET_COMPLETIONS, {}, 24, ERROR_NO_DATA_DETECTED},
        {"status into 20 bytes", IOCTL_CAN_GET_STATUS, {}, 20, ERROR_INSUFFICIENT_BUFFER},
        {"filter with 4 bytes", IOCTL_CAN_SET_FILTER, {1}, 0, ERROR_INSUFFICIENT_BUFFER},
        {"clear of the error counters while stopped", IOCTL_CAN_CLEAR, {0x0C}, 0, 0},
        {"unknown code", CTL_CODE(0x22, 0xBFF, METHOD_BUFFERED, FILE_ANY_ACCESS), {}, 0, ERROR_INVALID_FUNCTION},
    };
    for (const Case& c : cases) {
        ULONG out[16] = {};
        EXPECT_EQ(Ioctl(a_, c.code, c.in.data(), static_cast<DWORD>(c.in.size() * 4), out, c.outLength), c.error)
            << c.what;
    }
    ULONG out = 0;
    ULONG read[2] = {window + 0x8F, 0};
    ASSERT_EQ(Ioctl(a_, IOCTL_CAN_MEMORY_READ_BYTE, read, 4, &out, 4), 0u);
    EXPECT_EQ(out, cfg_.board_switch);
    ULONG config[2] = {0, 1};
    ASSERT_EQ(Ioctl(a_, IOCTL_CAN_PCI_CONFIG_READ, config, 8, &out, 4), 0u);
    EXPECT_EQ(out, cfg_.vendor_id);

    struct ConfigCase {
        CanConfig cfg;
        DWORD error;
    };
    const ConfigCase configs[] = {
        {{2, 1, 64, 64, 64, 96, 0x053A}, ERROR_INVALID_PARAMETER},
        {{0, 2, 64, 64, 64, 96, 0x053A}, ERROR_INVALID_PARAMETER},
        {{0, 1, 63, 64, 64, 96, 0x053A}, ERROR_INVALID_PARAMETER},
        {{0, 1, 64, 64, 64, 256, 0x053A}, ERROR_INVALID_PARAMETER},
        {{0, 1, 64, 64, 64, 96, 0x053B}, ERROR_INVALID_PARAMETER},
        {{0x80000000u, 1, 64, 64, 64, 96, 0x053A}, GetParam() ? 0u : ERROR_NOT_SUPPORTED},
        {{0, 0, 128, 100, 65, 120, 0x80004B23u}, 0},
    };
    for (const ConfigCase& c : configs)
        EXPECT_EQ(Ioctl(a_, IOCTL_CAN_SET_CONFIG, &c.cfg, sizeof c.cfg, nullptr, 0), c.error) << c.cfg.mode;
    CanConfig now{};
    ASSERT_EQ(Ioctl(a_, IOCTL_CAN_GET_CONFIG, nullptr, 0, &now, sizeof now), 0u);
    EXPECT_EQ(now.receiveQueueSize, 100u);
    // Running: configuration and filter refused, deactivate allowed.
    ASSERT_EQ(Ioctl(a_, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    EXPECT_EQ(Ioctl(a_, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), ERROR_NOACCESS);
    EXPECT_EQ(Ioctl(a_, IOCTL_CAN_SET_CONFIG, &now, sizeof now, nullptr, 0), ERROR_NOACCESS);
    ULONG filter[2] = {0x100, 0xFF};
    EXPECT_EQ(Ioctl(a_, IOCTL_CAN_SET_FILTER, filter, 8, nullptr, 0), ERROR_NOACCESS);
    EXPECT_EQ(Simple(a_, IOCTL_CAN_CLEAR, 0x08), ERROR_NOACCESS);
    EXPECT_EQ(Ioctl(a_, IOCTL_CAN_DEACTIVATE, nullptr, 0, nullptr, 0), 0u);
    CanStatus st{};
    ASSERT_EQ(Ioctl(a_, IOCTL_CAN_GET_STATUS, nullptr, 0, &st, sizeof st), 0u);
    EXPECT_EQ(st.busState, CAN_BUS_OFF);
}

TEST_P(ChannelTest, FifoFunctionsOnlyOnTheFifoBoard) {
    a_ = Open("DIZED1");
    ASSERT_NE(a_, INVALID_HANDLE_VALUE);
    ULONG trigger[3] = {0, 1, 8};
    ULONG out[2] = {};
    CanMessage m = Frame(0x10, {1});
    if (!GetParam()) {
        EXPECT_EQ(Ioctl(a_, IOCTL_CAN_SET_FIFO_TRIGGER, trigger, 12, nullptr, 0), ERROR_NOT_SUPPORTED);
        EXPECT_EQ(Ioctl(a_, IOCTL_CAN_GET_FIFO_TRIGGER, trigger, 4, out, 8), ERROR_NOT_SUPPORTED);
        EXPECT_EQ(Ioctl(a_, IOCTL_CAN_CYCLIC_SEND, &m, sizeof m, nullptr, 0), ERROR_NOT_SUPPORTED);
        return;
    }
    ASSERT_EQ(Ioctl(a_, IOCTL_CAN_SET_FIFO_TRIGGER, trigger, 12, nullptr, 0), 0u);
    ASSERT_EQ(Ioctl(a_, IOCTL_CAN_GET_FIFO_TRIGGER, trigger, 4, out, 8), 0u);
    EXPECT_EQ(out[0], 1u);
    EXPECT_EQ(out[1], 8u);
    ULONG bad[][3] = {{0, 4, 8}, {0, 1, 0}, {3, 0, 1}};
    for (auto& t : bad) EXPECT_EQ(Ioctl(a_, IOCTL_CAN_SET_FIFO_TRIGGER, t, 12, nullptr, 0), ERROR_INVALID_PARAMETER);
    ULONG txKind[3] = {2, 0, 0};
    EXPECT_EQ(Ioctl(a_, IOCTL_CAN_SET_FIFO_TRIGGER, txKind, 12, nullptr, 0), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(Ioctl(a_, IOCTL_CAN_CYCLIC_SEND, &m, sizeof m, nullptr, 0), ERROR_NOACCESS);
}

TEST_P(ChannelTest, TransmitQueueTakesSixtyFourAndRefusesTheNext) {
    // DIZED2 stays closed: nobody acknowledges, so the first frame stays in flight.
    a_ = Open("DIZED1");
    ASSERT_NE(a_, INVALID_HANDLE_VALUE);
    ASSERT_EQ(Ioctl(a_, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    std::vector<CanMessage> batch(64, Frame(0x123, {9}));
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(a_, batch.data(), 64 * sizeof(CanMessage), &n, nullptr)) << GetLastError();
    EXPECT_FALSE(WriteFile(a_, batch.data(), sizeof(CanMessage), &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    CanStatus st{};
    ASSERT_EQ(Ioctl(a_, IOCTL_CAN_GET_STATUS, nullptr, 0, &st, sizeof st), 0u);
    EXPECT_EQ(st.transmitWaiting, 63u);
    // 50 bytes are two messages; after clearing the queue they fit.
    ASSERT_EQ(Simple(a_, IOCTL_CAN_CLEAR, CAN_CLEAR_TRANSMIT_QUEUE), 0u);
    ASSERT_TRUE(WriteFile(a_, batch.data(), 50, &n, nullptr)) << GetLastError();
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(Status(a_).transmitWaiting, 1u);  // one of the two went to the controller
}

TEST_P(ChannelTest, SecondWaitIsRefusedAndCleanupEndsThePendingOne) {
    b_ = Open("DIZED2", FILE_FLAG_OVERLAPPED);
    ASSERT_NE(b_, INVALID_HANDLE_VALUE);
    OVERLAPPED ov;
    ULONG value = 0xFFFFFFFF;
    StartWait(b_, &ov, &value);
    ULONG second = 0;
    OVERLAPPED ov2{};
    ov2.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD n = 0;
    BOOL ok = DeviceIoControl(b_, IOCTL_CAN_WAIT_EVENT, nullptr, 0, &second, 4, &n, &ov2);
    if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(b_, &ov2, &n, TRUE);
    EXPECT_FALSE(ok);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(ov2.hEvent);
    // Release completes the first with success and no data.
    ASSERT_EQ(Ioctl(b_, IOCTL_CAN_RELEASE_WAIT, nullptr, 0, nullptr, 0), 0u);
    ASSERT_EQ(WaitForSingleObject(ov.hEvent, kHangGuardMs), 0u);
    ASSERT_TRUE(GetOverlappedResult(b_, &ov, &n, TRUE));
    EXPECT_EQ(n, 0u);
    CloseHandle(ov.hEvent);
}

TEST_P(ChannelTest, SurpriseRemovalWithAPendingWait) {
    b_ = Open("DIZED2", FILE_FLAG_OVERLAPPED);
    ASSERT_NE(b_, INVALID_HANDLE_VALUE);
    OVERLAPPED ov;
    ULONG value = 0;
    StartWait(b_, &ov, &value);
    Unplug("Board 1");
    EXPECT_EQ(Ioctl(b_, IOCTL_CAN_GET_EVENT_MASK, nullptr, 0, &value, 4), ERROR_NOT_READY);
    CloseTracked(b_);
    ASSERT_EQ(WaitForSingleObject(ov.hEvent, kHangGuardMs), 0u);
    EXPECT_TRUE(HasOverlappedIoCompleted(&ov));
    CloseHandle(ov.hEvent);
    kernel_->DrainWorker();
    EXPECT_EQ(Open("DIZED2"), INVALID_HANDLE_VALUE);
    // The slots and the port names are free again for the board put back.
    Replug("Board 1");
    EXPECT_NE(Open("DIZED2"), INVALID_HANDLE_VALUE);
}

TEST_P(ChannelTest, ShrinkingTheReceiveQueueKeepsTheOldestAndSentMessagesReportCompletion) {
    a_ = Open("DIZED1");
    b_ = Open("DIZED2");
    ASSERT_NE(a_, INVALID_HANDLE_VALUE);
    ASSERT_NE(b_, INVALID_HANDLE_VALUE);
    const CanConfig big{0, 1, 128, 128, 64, 96, 0x053A};
    ASSERT_EQ(Ioctl(a_, IOCTL_CAN_SET_CONFIG, &big, sizeof big, nullptr, 0), 0u);
    ASSERT_EQ(Ioctl(b_, IOCTL_CAN_SET_CONFIG, &big, sizeof big, nullptr, 0), 0u);
    ASSERT_EQ(Ioctl(b_, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    ASSERT_EQ(Ioctl(a_, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    std::vector<CanMessage> batch;
    for (ULONG i = 0; i < 100; ++i) batch.push_back(Frame(0x1000 + i, {static_cast<UCHAR>(i)}));
    DWORD n = 0;
    // Batches of five: the basic board's controller buffers 64 bytes of received frames, and
    // the bus in fast mode delivers faster than any receiver drains.
    for (ULONG k = 0; k < 20; ++k) {
        ASSERT_TRUE(WriteFile(a_, &batch[5 * k], 5 * sizeof(CanMessage), &n, nullptr)) << GetLastError();
        ASSERT_TRUE(WaitForReceived(b_, 5 * (k + 1))) << k;
    }
    // Completions: the sent messages with their mark cleared, oldest first.
    std::vector<CanMessage> done(10);
    ASSERT_EQ(Ioctl(a_, IOCTL_CAN_GET_COMPLETIONS, nullptr, 0, done.data(), 10 * sizeof(CanMessage), &n), 0u);
    ASSERT_EQ(n, 10 * sizeof(CanMessage));
    for (ULONG i = 0; i < 10; ++i) {
        EXPECT_EQ(done[i].identifier, batch[i].identifier) << i;
        EXPECT_EQ(done[i].remote, 0u) << i;
    }

    ASSERT_EQ(Ioctl(b_, IOCTL_CAN_DEACTIVATE, nullptr, 0, nullptr, 0), 0u);
    CanConfig small = big;
    small.receiveQueueSize = 64;
    ASSERT_EQ(Ioctl(b_, IOCTL_CAN_SET_CONFIG, &small, sizeof small, nullptr, 0), 0u);
    CanStatus st{};
    ASSERT_EQ(Ioctl(b_, IOCTL_CAN_GET_STATUS, nullptr, 0, &st, sizeof st), 0u);
    EXPECT_EQ(st.receiveWaiting, 64u);
    std::vector<CanMessage> got(80);
    ASSERT_TRUE(ReadFile(b_, got.data(), 80 * sizeof(CanMessage), &n, nullptr)) << GetLastError();
    ASSERT_EQ(n, 64 * sizeof(CanMessage));
    for (ULONG i = 0; i < 64; ++i) EXPECT_EQ(got[i].identifier, batch[i].identifier) << i;
}

TEST_P(ChannelTest, ConfigurationSpaceIsWrittenBackAtStartAndOnReturnToD0) {
    a_ = Open("DIZED1");
    ASSERT_NE(a_, INVALID_HANDLE_VALUE);
    auto config = [&](ULONG offset, ULONG widthCode) {
        ULONG in[2] = {offset, widthCode}, out = 0xDEAD;
        EXPECT_EQ(Ioctl(a_, IOCTL_CAN_PCI_CONFIG_READ, in, 8, &out, 4), 0u);
        return out;
    };
    auto switchRegister = [&] {
        ULONG in = board_->channel(0).window_base() + 0x8F, out = 0;
        EXPECT_EQ(Ioctl(a_, IOCTL_CAN_MEMORY_READ_BYTE, &in, 4, &out, 4), 0u);
        return out;
    };
    // Memory decoding on; the bus-master board (0x1C96) also masters with a usable latency.
    const bool master = cfg_.device_id == 0x1C96;
    EXPECT_EQ(config(0x04, 1) & 0x06, master ? 0x06u : 0x02u);
    if (master) {
        EXPECT_EQ(config(0x0D, 0), 32u);
    }
    EXPECT_EQ(switchRegister(), 0x05u);
    // Decoding switched off behind the driver's back: the window reads all ones until the
    // return to D0 writes the configuration back.
    ULONG off[3] = {0x04, 0, 1};
    ASSERT_EQ(Ioctl(a_, IOCTL_CAN_PCI_CONFIG_WRITE, off, 12, nullptr, 0), 0u);
    EXPECT_EQ(config(0x04, 1) & 0x02, 0u);
    EXPECT_EQ(switchRegister(), 0xFFu);
    kernel_->SetSystemPower(PowerSystemSleeping3);
    kernel_->SetSystemPower(PowerSystemWorking);
    EXPECT_EQ(config(0x04, 1) & 0x02, 0x02u);
    EXPECT_EQ(switchRegister(), 0x05u);
}

TEST_P(ChannelTest, ClearingTheTimeBaseRestartsTheTimeStamps) {
    OpenBoth();
    const CanMessage m = Frame(0x100, {1});
    // Let the time base run for a while (a wait, not a measurement).
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    ASSERT_TRUE(Send(a_, &m, 1)) << GetLastError();
    ASSERT_TRUE(WaitForReceived(b_, 1));
    ASSERT_EQ(Simple(b_, IOCTL_CAN_CLEAR, CAN_CLEAR_TIME_BASE), 0u);
    ASSERT_TRUE(Send(a_, &m, 1)) << GetLastError();
    ASSERT_TRUE(WaitForReceived(b_, 2));
    CanMessage got[2]{};
    DWORD n = 0;
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(ReadFile(b_, got, sizeof got, &n, &ov) || GetLastError() == ERROR_IO_PENDING);
    ASSERT_TRUE(GetOverlappedResult(b_, &ov, &n, TRUE));
    CloseHandle(ov.hEvent);
    ASSERT_EQ(n, sizeof got);
    EXPECT_GE(got[0].time, 1000000u);
    EXPECT_LT(got[1].time, got[0].time);
}

TEST_P(ChannelTest, BusOffAtActivationRestartsTheQueuedTransmissionWhenTheBusReturns) {
    a_ = Open("DIZED1");
    ASSERT_NE(a_, INVALID_HANDLE_VALUE);
    // Alone on the bus nothing is acknowledged: the first frame stays in flight.
    ASSERT_EQ(Ioctl(a_, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    const CanMessage m[3] = {Frame(0x301, {1}), Frame(0x302, {2}), Frame(0x303, {3})};
    ASSERT_TRUE(Send(a_, m, 3)) << GetLastError();
    ASSERT_EQ(Ioctl(a_, IOCTL_CAN_DEACTIVATE, nullptr, 0, nullptr, 0), 0u);
    // Writing 255 to the transmit error counter in reset mode puts the controller bus off.
    ULONG txerr[2] = {board_->channel(0).window_base() + 0x0F, 255};
    ASSERT_EQ(Ioctl(a_, IOCTL_CAN_MEMORY_WRITE_BYTE, txerr, 8, nullptr, 0), 0u);
    EXPECT_EQ(Status(a_).busState, CAN_BUS_OFF);
    b_ = Open("DIZED2");
    ASSERT_NE(b_, INVALID_HANDLE_VALUE);
    ASSERT_EQ(Ioctl(b_, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    // Activation finds the controller bus off; when it is back on the bus the messages still
    // queued go out. The one in flight when the controller stopped is lost on the basic board
    // (reset mode cancels the request) and kept in the FIFO board's transmit FIFO.
    ASSERT_EQ(Ioctl(a_, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    const ULONG first = GetParam() ? 0 : 1;
    ASSERT_TRUE(WaitForReceived(b_, 3 - first));
    CanMessage got[4]{};
    DWORD n = 0;
    ASSERT_TRUE(ReadFile(b_, got, sizeof got, &n, nullptr)) << GetLastError();
    ASSERT_EQ(n, (3 - first) * sizeof(CanMessage));
    for (ULONG i = first; i < 3; ++i) EXPECT_EQ(got[i - first].identifier, m[i].identifier) << i;
    const CanStatus st = Status(a_);
    EXPECT_EQ(st.busState, CAN_BUS_ERROR_ACTIVE);
    EXPECT_EQ(st.transmitWaiting, 0u);
}

TEST_P(ChannelTest, HeavyTrafficBothWaysArrivesCompleteAndInOrder) {
    // Each channel writes on one thread and waits and reads on another; a sender keeps at
    // most four frames unread by the other side (the basic controller buffers 64 bytes).
    HANDLE h[2] = {Open("DIZED1", FILE_FLAG_OVERLAPPED), Open("DIZED2", FILE_FLAG_OVERLAPPED)};
    for (HANDLE x : h) {
        ASSERT_NE(x, INVALID_HANDLE_VALUE);
        ASSERT_EQ(Ioctl(x, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
        ASSERT_EQ(Simple(x, IOCTL_CAN_SET_EVENT_MASK, CAN_EVENT_RECEIVE), 0u);
    }
    constexpr ULONG kFrames = 2000, kWindow = 4;
    std::atomic<ULONG> received[2] = {0, 0};  // read by channel i
    std::atomic<bool> failed{false};
    std::vector<ULONG> order[2];
    auto writer = [&](int i) {
        const ULONG base = 0x01000000u * (i + 1);
        for (ULONG k = 0; k < kFrames && !failed; k += kWindow) {
            CanMessage batch[kWindow];
            for (ULONG j = 0; j < kWindow; ++j) batch[j] = Frame(base + k + j, {UCHAR(k), UCHAR(j), 1, 2, 3, 4, 5, 6});
            if (!Send(h[i], batch, kWindow)) failed = true;
            for (int spin = 0; received[1 - i] < k + kWindow && !failed; ++spin) {
                if (spin > 200000) failed = true;
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
        }
    };
    auto reader = [&](int i) {
        while (received[i] < kFrames && !failed) {
            CanMessage got[8];
            DWORD n = 0;
            OVERLAPPED rov{};
            rov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            BOOL ok = ReadFile(h[i], got, sizeof got, &n, &rov);
            if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(h[i], &rov, &n, TRUE);
            CloseHandle(rov.hEvent);
            if (ok) {
                for (DWORD j = 0; j < n / sizeof(CanMessage); ++j) order[i].push_back(got[j].identifier);
                received[i] += n / sizeof(CanMessage);
                continue;
            }
            // Empty: the next message into the empty queue brings the receive event.
            OVERLAPPED ov;
            ULONG value = 0;
            if (!StartWait(h[i], &ov, &value) && WaitForSingleObject(ov.hEvent, kHangGuardMs) != 0) {
                failed = true;
                CancelIo(h[i]);
            }
            DWORD bytes = 0;
            GetOverlappedResult(h[i], &ov, &bytes, TRUE);
            CloseHandle(ov.hEvent);
        }
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
        threads.emplace_back(writer, i);
        threads.emplace_back(reader, i);
    }
    for (auto& t : threads) t.join();
    if (failed) {
        for (int i = 0; i < 2; ++i) {
            CanStatus st = Status(h[i]);
            ULONG at[2] = {board_->channel(i).window_base() + 0x110, board_->channel(i).window_base() + 0x190};
            ULONG tx = 0, rx = 0;
            Ioctl(h[i], IOCTL_CAN_MEMORY_READ_BYTE, &at[0], 4, &tx, 4);
            Ioctl(h[i], IOCTL_CAN_MEMORY_READ_BYTE, &at[1], 4, &rx, 4);
            std::printf("channel %d: received %u, bus %u, tx waiting %u, rx waiting %u, fifo tx %u rx %u, status %04x\n",
                        i, unsigned(received[i]), unsigned(st.busState), unsigned(st.transmitWaiting),
                        unsigned(st.receiveWaiting), unsigned(tx), unsigned(rx), unsigned(board_->channel(i).PeekStatus()));
        }
        std::printf("line 11: raised %d masked %d unclaimed %u, board asserts %d\n", kernel_->Line(11).IsRaised(),
                    kernel_->Line(11).IsMasked(), kernel_->Line(11).UnclaimedCount(), board_->interrupt_asserted());
        for (const std::string& t : kernel_->Trace()) std::printf("trace: %s\n", t.c_str());
    }
    ASSERT_FALSE(failed.load());
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(order[i].size(), kFrames);
        const ULONG base = 0x80000000u | (0x01000000u * (2 - i));
        for (ULONG k = 0; k < kFrames; ++k) ASSERT_EQ(order[i][k], base + k) << i << " " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Boards, ChannelTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Fifo" : "Basic"; });

// Two boards: "Board 1" with two channels, "Board 2" (device 0x1C97) with one.
class TwoBoardTest : public BoardTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        Boot(OneBoard(GetParam(), "[Board 2]\nKind=FIFO\nDeviceId=0x1C97\nChannels=1\nBus=CAN1\n"
                                  "ChannelInterruptMask=0xFF\nInterruptLine=11\n"));
    }
    ULONG DeviceIdOf(const char* port) {
        HANDLE h = Open(port);
        if (h == INVALID_HANDLE_VALUE) return 0;
        CanBoardInfo info{};
        DWORD error = Ioctl(h, IOCTL_CAN_GET_BOARD_INFO, nullptr, 0, &info, sizeof info);
        CloseTracked(h);
        return error ? 0 : info.deviceId * 10 + info.channelNumber;
    }
};

TEST_P(TwoBoardTest, RemovedChannelsSlotsAndPortNamesAreReused) {
    const ULONG first = ULONG(cfg_.device_id) * 10;
    EXPECT_EQ(DeviceIdOf("DIZED1"), first + 1);
    EXPECT_EQ(DeviceIdOf("DIZED2"), first + 2);
    EXPECT_EQ(DeviceIdOf("DIZED3"), 0x1C97u * 10 + 1);
    HANDLE third = Open("DIZED3");
    ASSERT_NE(third, INVALID_HANDLE_VALUE);
    Unplug("Board 1");
    kernel_->DrainWorker();
    EXPECT_EQ(Open("DIZED1"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open("DIZED2"), INVALID_HANDLE_VALUE);
    // The other board's user is unaffected.
    CanStatus st{};
    EXPECT_EQ(Ioctl(third, IOCTL_CAN_GET_STATUS, nullptr, 0, &st, sizeof st), 0u);
    Replug("Board 1");
    EXPECT_EQ(DeviceIdOf("DIZED1"), first + 1);
    EXPECT_EQ(DeviceIdOf("DIZED2"), first + 2);
    EXPECT_EQ(Open("DIZED4"), INVALID_HANDLE_VALUE);
}

TEST_P(TwoBoardTest, QueuedEventsAreReturnedOnePerWaitAndAFullQueueRaisesNoMore) {
    HANDLE a = Open("DIZED1");
    HANDLE b = Open("DIZED2", FILE_FLAG_OVERLAPPED);
    HANDLE c = Open("DIZED3", FILE_FLAG_OVERLAPPED);
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    ASSERT_NE(c, INVALID_HANDLE_VALUE);
    // DIZED3 takes only the standard frame 0x7FF: its receive event marks a point in the
    // event flow (deferred procedures run one after another, in the order they were queued).
    ULONG filter[2] = {0xFFE00000u, 0x001FFFFFu};
    ASSERT_EQ(Ioctl(c, IOCTL_CAN_SET_FILTER, filter, 8, nullptr, 0), 0u);
    for (HANDLE h : {a, b, c}) ASSERT_EQ(Ioctl(h, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    ASSERT_EQ(Simple(c, IOCTL_CAN_SET_EVENT_MASK, CAN_EVENT_RECEIVE), 0u);
    ASSERT_EQ(Simple(b, IOCTL_CAN_SET_EVENT_MASK, CAN_EVENT_RECEIVE | CAN_EVENT_RECEIVE_QUEUE_FULL), 0u);
    const CanMessage mark = Frame(0x7FF, {}, false);
    // Every event of DIZED2 raised before this returns has been delivered.
    auto settle = [&] {
        ASSERT_EQ(Simple(c, IOCTL_CAN_CLEAR, CAN_CLEAR_RECEIVE_QUEUE), 0u);
        OVERLAPPED ov;
        ULONG value = 0;
        ASSERT_FALSE(StartWait(c, &ov, &value));
        ASSERT_TRUE(Send(a, &mark, 1)) << GetLastError();
        EXPECT_EQ(FinishWait(c, &ov), 4u);
        EXPECT_EQ(value, CAN_EVENT_RECEIVE);
    };
    std::vector<CanMessage> frames;
    for (ULONG i = 0; i < 70; ++i) frames.push_back(Frame(0x1000 + i, {static_cast<UCHAR>(i)}));
    // 1: the first message into the empty queue (event 0x20).
    ASSERT_TRUE(Send(a, &frames[0], 1));
    ASSERT_TRUE(WaitForReceived(b, 1));
    settle();  // the mark lands in DIZED2's queue too: 2 waiting
    // 2: filling the queue to 64 (event 0x02); the next message is dropped without an event.
    for (ULONG k = 1; k < 63; k += 2) {
        ASSERT_TRUE(Send(a, &frames[k], 2));
        ASSERT_TRUE(WaitForReceived(b, k + 3));
    }
    EXPECT_EQ(Status(b).receiveWaiting, 64u);
    settle();
    EXPECT_EQ(Status(b).receiveWaiting, 64u);
    // 3: emptied and one message more (event 0x20 again).
    ASSERT_EQ(Simple(b, IOCTL_CAN_CLEAR, CAN_CLEAR_RECEIVE_QUEUE), 0u);
    ASSERT_TRUE(Send(a, &frames[65], 1));
    ASSERT_TRUE(WaitForReceived(b, 1));
    settle();
    // The three values, oldest first, each at once; then a wait stays pending.
    const ULONG expected[] = {CAN_EVENT_RECEIVE, CAN_EVENT_RECEIVE_QUEUE_FULL, CAN_EVENT_RECEIVE};
    for (ULONG want : expected) {
        OVERLAPPED ov;
        ULONG value = 0;
        EXPECT_TRUE(StartWait(b, &ov, &value));
        EXPECT_EQ(FinishWait(b, &ov), 4u);
        EXPECT_EQ(value, want);
    }
    OVERLAPPED ov;
    ULONG value = 0xFFFFFFFF;
    EXPECT_FALSE(StartWait(b, &ov, &value));
    ASSERT_EQ(Ioctl(b, IOCTL_CAN_RELEASE_WAIT, nullptr, 0, nullptr, 0), 0u);
    EXPECT_EQ(FinishWait(b, &ov), 0u);
    EXPECT_EQ(value, 0xFFFFFFFFu);
}

INSTANTIATE_TEST_SUITE_P(Boards, TwoBoardTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Fifo" : "Basic"; });

}  // namespace
}  // namespace re7316test

namespace re7316test {
namespace {

// The device key's description names the switch and the port.
class RegistryTest : public BoardTest {
protected:
    std::wstring Value(unsigned channel, const wchar_t* name) {
        kernel::RegistryValue v;
        if (!kernel_->registry().QueryValue(kernel_->EnumKeyPath(Pdo(channel)), name, &v)) return L"(none)";
        return kernel::SzText(v);
    }
    void Set(unsigned channel, const wchar_t* name, const std::wstring& text) {
        ASSERT_TRUE(kernel_->registry().SetValue(kernel_->EnumKeyPath(Pdo(channel)), name, kernel::SzValue(text)));
    }
};

TEST_F(RegistryTest, DescriptionAndFriendlyNameGetSwitchAndPortName) {
    struct Case {
        const char* subsystem;
        const wchar_t* rsw;       // description's switch part
        const wchar_t* appended;  // appended to a friendly name without the description
    };
    const Case cases[] = {
        {"0x2402", L" [RSW1:5]", L"[RSW1:5]"},  // board type 1
        {"0x2802", L"", L"[RSW:]"},             // board type 2: no switch
    };
    for (const Case& c : cases) {
        std::string text = OneBoard(true);
        text.replace(text.find("0x2402"), 6, c.subsystem);
        Boot(text);
        kernel_->DrainWorker();
        const std::wstring rsw = c.rsw;
        EXPECT_EQ(Value(0, L"DeviceDesc"), L"PCI CAN Controller" + rsw + L" (DIZED1)") << c.subsystem;
        EXPECT_EQ(Value(1, L"DeviceDesc"), L"PCI CAN Controller" + rsw + L" (DIZED2)") << c.subsystem;
        EXPECT_EQ(Value(0, L"FriendlyName"), L"(none)");
        // The next arrival of the board starts from what the keys hold then.
        Set(0, L"DeviceDesc", L"CAN port");
        Set(0, L"FriendlyName", L"Left CAN port right");
        Set(1, L"FriendlyName", L"Channel B");
        Unplug("Board 1");
        kernel_->DrainWorker();
        Replug("Board 1");
        kernel_->DrainWorker();
        EXPECT_EQ(Value(0, L"DeviceDesc"), L"CAN port" + rsw + L" (DIZED1)") << c.subsystem;
        EXPECT_EQ(Value(0, L"FriendlyName"), L"Left CAN port" + rsw + L" (DIZED1) right") << c.subsystem;
        EXPECT_EQ(Value(1, L"DeviceDesc"), L"PCI CAN Controller" + rsw + L" (DIZED2)") << c.subsystem;
        EXPECT_EQ(Value(1, L"FriendlyName"), L"Channel B" + std::wstring(c.appended) + L" (DIZED2)") << c.subsystem;
        TearDown();
    }
}

}  // namespace
}  // namespace re7316test

namespace re7316test {
namespace {

// The FIFO board's own hardware: receive FIFO trigger, transmit FIFO filling, the cyclic
// transmitter and the time base.
class FifoBoardTest : public BoardTest {
protected:
    void SetUp() override { Plug(true); }
    std::vector<CanMessage> ReadAll(HANDLE h, ULONG max) {
        std::vector<CanMessage> got(max);
        DWORD n = 0;
        if (!ReadFile(h, got.data(), max * sizeof(CanMessage), &n, nullptr)) return {};
        got.resize(n / sizeof(CanMessage));
        return got;
    }
    ULONG Register8(HANDLE h, ULONG offset) {
        ULONG address = board_->channel(0).window_base() + offset, value = 0;
        EXPECT_EQ(Ioctl(h, IOCTL_CAN_MEMORY_READ_BYTE, &address, 4, &value, 4), 0u);
        return value;
    }
};

TEST_F(FifoBoardTest, FiveEntriesAtTheTriggerLevelAreDrainedAtOnceInFifoOrder) {
    HANDLE a = Open("DIZED1");
    HANDLE b = Open("DIZED2", FILE_FLAG_OVERLAPPED);
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    ULONG trigger[3] = {0, 1, 5};  // receive FIFO: interrupt at the level only, 5 entries
    ASSERT_EQ(Ioctl(b, IOCTL_CAN_SET_FIFO_TRIGGER, trigger, 12, nullptr, 0), 0u);
    ASSERT_EQ(Ioctl(a, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    ASSERT_EQ(Ioctl(b, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    ASSERT_EQ(Simple(b, IOCTL_CAN_SET_EVENT_MASK, CAN_EVENT_RECEIVE), 0u);
    OVERLAPPED ov;
    ULONG value = 0;
    ASSERT_FALSE(StartWait(b, &ov, &value));
    CanMessage m[5];
    for (ULONG i = 0; i < 5; ++i) m[i] = Frame(0x500 + i, {static_cast<UCHAR>(i), 0xEE});
    ASSERT_TRUE(Send(a, m, 5)) << GetLastError();
    EXPECT_EQ(FinishWait(b, &ov), 4u);
    EXPECT_EQ(value, CAN_EVENT_RECEIVE);
    // The receive event came with the drain: all five are there, oldest first.
    std::vector<CanMessage> got = ReadAll(b, 8);
    ASSERT_EQ(got.size(), 5u);
    for (ULONG i = 0; i < 5; ++i) {
        EXPECT_EQ(got[i].identifier, m[i].identifier) << i;
        EXPECT_EQ(got[i].data[0], i);
        if (i) {
            EXPECT_GE(got[i].time, got[i - 1].time) << i;
        }
    }
}

TEST_F(FifoBoardTest, OneFillTopsTheTransmitFifoUpAndLeavesTheRestQueued) {
    HANDLE a = Open("DIZED1");
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    // Transmit-FIFO trigger on, 128 transmit places.
    const CanConfig cfg{0x80000000u, 1, 128, 64, 64, 96, 0x053A};
    ASSERT_EQ(Ioctl(a, IOCTL_CAN_SET_CONFIG, &cfg, sizeof cfg, nullptr, 0), 0u);
    // Alone on the bus nothing is acknowledged: 10 entries stay in the FIFO, across a stop.
    ASSERT_EQ(Ioctl(a, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    std::vector<CanMessage> batch(100, Frame(0x222, {1, 2, 3}));
    ASSERT_TRUE(Send(a, batch.data(), 10)) << GetLastError();
    EXPECT_EQ(Status(a).transmitWaiting, 0u);
    ASSERT_EQ(Ioctl(a, IOCTL_CAN_DEACTIVATE, nullptr, 0, nullptr, 0), 0u);
    EXPECT_EQ(Register8(a, 0x110), 10u);
    ASSERT_EQ(Ioctl(a, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    ASSERT_TRUE(Send(a, batch.data(), 100)) << GetLastError();
    EXPECT_EQ(Register8(a, 0x110), 64u);
    EXPECT_EQ(Status(a).transmitWaiting, 46u);
}

TEST_F(FifoBoardTest, CyclicSendingWaitsForTheRunToEndAndRefusesWritesWhileOn) {
    HANDLE a = Open("DIZED1", FILE_FLAG_OVERLAPPED);
    HANDLE b = Open("DIZED2");
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    ASSERT_EQ(Ioctl(a, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    ASSERT_EQ(Simple(a, IOCTL_CAN_SET_EVENT_MASK, CAN_EVENT_TRANSMIT_DONE), 0u);
    // DIZED2 still stopped: the run does not end.
    const CanMessage m = Frame(0x77, {7});
    ASSERT_TRUE(Send(a, &m, 1)) << GetLastError();
    CanMessage cyclic = Frame(0x66, {6, 6});
    cyclic.time = 100;  // period, 10 us steps
    EXPECT_EQ(Ioctl(a, IOCTL_CAN_CYCLIC_SEND, &cyclic, sizeof cyclic, nullptr, 0), ERROR_IO_DEVICE);
    OVERLAPPED ov;
    ULONG value = 0;
    ASSERT_FALSE(StartWait(a, &ov, &value));
    ASSERT_EQ(Ioctl(b, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    EXPECT_EQ(FinishWait(a, &ov), 4u);
    EXPECT_EQ(value, CAN_EVENT_TRANSMIT_DONE);
    ASSERT_EQ(Ioctl(a, IOCTL_CAN_CYCLIC_SEND, &cyclic, sizeof cyclic, nullptr, 0), 0u);
    EXPECT_FALSE(Send(a, &m, 1));
    EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
    ASSERT_TRUE(WaitForReceived(b, 4));
    ASSERT_EQ(Ioctl(a, IOCTL_CAN_STOP_CYCLIC_SEND, nullptr, 0, nullptr, 0), 0u);
    EXPECT_TRUE(Send(a, &m, 1)) << GetLastError();
    std::vector<CanMessage> got = ReadAll(b, 64);
    ASSERT_GE(got.size(), 4u);
    EXPECT_EQ(got[0].identifier, m.identifier);
    EXPECT_EQ(got[1].identifier, cyclic.identifier);
    EXPECT_EQ(got[1].length, 2u);
}

TEST_F(FifoBoardTest, TimeStampAfterATimeBaseOverflowCountsTheOverflow) {
    auto clock = std::make_shared<hw::ManualClock>();
    TearDown();
    Boot(OneBoard(true), clock);
    HANDLE a = Open("DIZED1");
    HANDLE b = Open("DIZED2");
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    ASSERT_EQ(Ioctl(a, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    ASSERT_EQ(Ioctl(b, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    // One wrap of the 21-bit time base (10 us steps) and 5 steps more.
    clock->Advance((1ull << 21) * 10 + 50);
    const CanMessage m = Frame(0x123, {1});
    ASSERT_TRUE(Send(a, &m, 1)) << GetLastError();
    ASSERT_TRUE(WaitForReceived(b, 1));
    std::vector<CanMessage> got = ReadAll(b, 2);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].time, ((1u << 21) + 5) * 10);
}

}  // namespace
}  // namespace re7316test
