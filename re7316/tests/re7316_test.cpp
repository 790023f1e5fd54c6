// The board driver through the device calls only: two channels of one board on one bus.
#include <chrono>
#include <cstring>
#include <thread>

#include "board_fixture.h"

namespace re7316test {
namespace {

// Bound on a wait for an event that the bus and the interrupt deliver (a hang guard, not a
// timing assertion), ms.
constexpr DWORD kHangGuardMs = 20000;

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
    // Starts a wait on h; the caller waits for ov.hEvent.
    void StartWait(HANDLE h, OVERLAPPED* ov, ULONG* value) {
        *ov = OVERLAPPED{};
        ov->hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        DWORD n = 0;
        BOOL ok = DeviceIoControl(h, IOCTL_CAN_WAIT_EVENT, nullptr, 0, value, 4, &n, ov);
        if (!ok) {
            ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
        }
    }
    // Polls the status until the receive queue holds `count` messages (bounded: a hang guard).
    bool WaitForReceived(HANDLE h, ULONG count) {
        for (int i = 0; i < 20000; ++i) {
            CanStatus st{};
            if (Ioctl(h, IOCTL_CAN_GET_STATUS, nullptr, 0, &st, sizeof st) != 0) return false;
            if (st.receiveWaiting >= count) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
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
