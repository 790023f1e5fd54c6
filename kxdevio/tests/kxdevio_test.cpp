// The five device-I/O functions called as the CAN library calls them.
#include "kxdevio.h"

#include <chrono>
#include <cstring>
#include <future>

#include "machine_fixture.h"

using namespace testdrv;

namespace {

class KxDevioTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        ASSERT_NE(Plug(0), nullptr);
        // The library's own open: read and write, no sharing, open-existing, overlapped.
        h_ = KxDevioCreateFile("\\\\.\\TEST1", 0xC0000000, 0, nullptr, 3, 0x40000080, nullptr);
        ASSERT_NE(h_, INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        if (h_ != INVALID_HANDLE_VALUE) KxDevioCloseHandle(h_);
        MachineTest::TearDown();
    }
    BOOL Fire(ULONG value) {
        DWORD n = 0;
        return KxDevioDeviceIoControl(h_, IOCTL_TEST_FIRE, &value, 4, nullptr, 0, &n, nullptr);
    }
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

TEST_F(KxDevioTest, OpenOfAMissingOrBusyPortGivesMinusOneAndTheError) {
    HANDLE missing = KxDevioCreateFile("\\\\.\\DIZED9", 0xC0000000, 0, nullptr, 3, 0x40000080, nullptr);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(missing), -1);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    HANDLE second = KxDevioCreateFile("\\\\.\\TEST1", 0xC0000000, 0, nullptr, 3, 0x40000080, nullptr);
    EXPECT_EQ(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(KxDevioTest, PlainControlRequestCompletesBeforeReturning) {
    ULONG in[7] = {0, 1, 64, 64, 64, 96, 0x053A}, out[7] = {};
    DWORD n = 0;
    ASSERT_NE(KxDevioDeviceIoControl(h_, IOCTL_TEST_ECHO, in, 28, out, 28, &n, nullptr), 0);
    EXPECT_EQ(n, 28u);
    EXPECT_EQ(std::memcmp(in, out, 28), 0);
    ULONG status = static_cast<ULONG>(STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(KxDevioDeviceIoControl(h_, IOCTL_TEST_STATUS, &status, 4, nullptr, 0, &n, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
}

TEST_F(KxDevioTest, OverlappedControlRequestPendsAndSetsTheEventWithTheOutputInPlace) {
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ULONG bits = 0;
    DWORD n = 0;
    EXPECT_EQ(KxDevioDeviceIoControl(h_, IOCTL_TEST_PEND, nullptr, 0, &bits, 4, &n, &ov), 0);
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    ASSERT_TRUE(Fire(0x0020));
    ASSERT_EQ(WaitForSingleObject(ov.hEvent, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(bits, 0x0020u) << "the output is in place when the event is set";
    EXPECT_TRUE(GetOverlappedResult(h_, &ov, &n, FALSE));
    EXPECT_EQ(n, 4u);
    CloseHandle(ov.hEvent);
}

TEST_F(KxDevioTest, WriteAndReadCompleteBeforeReturning) {
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    unsigned char msg[24] = {8, 0, 0, 0};
    DWORD n = 0;
    ASSERT_NE(KxDevioWriteFile(h_, msg, 24, &n, &ov), 0);
    EXPECT_EQ(n, 24u);
    unsigned char back[24] = {};
    ASSERT_NE(KxDevioReadFile(h_, back, 24, &n, &ov), 0);
    EXPECT_EQ(n, 24u);
    EXPECT_EQ(back[0], 8);
    EXPECT_EQ(KxDevioReadFile(h_, back, 24, &n, &ov), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_DATA_DETECTED);

    // A read that the driver pends still completes before the call returns.
    unsigned char wait[kPendingReadLength] = {};
    auto reading = std::async(std::launch::async, [&] {
        DWORD got = 0;
        BOOL ok = KxDevioReadFile(h_, wait, kPendingReadLength, &got, &ov);
        return ok ? got : 0u;
    });
    DWORD got = 0;
    for (int i = 0; i < 500 && !got; ++i) {
        Fire(3);
        if (reading.wait_for(std::chrono::milliseconds(10)) == std::future_status::ready) got = reading.get();
    }
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(wait[0], 3);
    CloseHandle(ov.hEvent);
}

TEST_F(KxDevioTest, CloseTwiceFailsTheSecondTime) {
    EXPECT_NE(KxDevioCloseHandle(h_), 0);
    EXPECT_EQ(KxDevioCloseHandle(h_), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    DWORD n = 0;
    EXPECT_EQ(KxDevioDeviceIoControl(h_, IOCTL_TEST_ECHO, nullptr, 0, nullptr, 0, &n, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    h_ = INVALID_HANDLE_VALUE;
}

}  // namespace
