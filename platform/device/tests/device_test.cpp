// The Windows device calls against the test driver.
#include "platform/device.h"

#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "machine_fixture.h"

using namespace testdrv;

namespace {

constexpr DWORD kBoundMs = 5000;  // bound of every wait: a broken model fails, never hangs

class DeviceTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        pdo_ = Plug(0);
        ASSERT_NE(pdo_, nullptr);
    }
    void TearDown() override {
        for (HANDLE h : handles_) CloseHandle(h);
        MachineTest::TearDown();
    }
    HANDLE Open(const char* path = "\\\\.\\TEST1", DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED) {
        HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags, nullptr);
        if (h != INVALID_HANDLE_VALUE) handles_.push_back(h);
        return h;
    }
    void Forget(HANDLE h) { handles_.erase(std::remove(handles_.begin(), handles_.end(), h), handles_.end()); }
    BOOL Fire(HANDLE h, ULONG value) {
        DWORD n = 0;
        return DeviceIoControl(h, IOCTL_TEST_FIRE, &value, 4, nullptr, 0, &n, nullptr);
    }

    PDEVICE_OBJECT pdo_ = nullptr;
    std::vector<HANDLE> handles_;
};

// One overlapped request with its own manual-reset event.
struct Overlapped {
    Overlapped() {
        std::memset(&ov, 0, sizeof ov);
        ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ~Overlapped() { CloseHandle(ov.hEvent); }
    OVERLAPPED ov;
};

TEST_F(DeviceTest, PlainControlRequestCopiesTheBufferedOutput) {
    HANDLE h = Open();
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char in[5] = "ping", out[8] = {};
    DWORD n = 0;
    EXPECT_TRUE(DeviceIoControl(h, IOCTL_TEST_ECHO, in, 5, out, sizeof out, &n, nullptr));
    EXPECT_EQ(n, 5u);
    EXPECT_STREQ(out, "ping");
    EXPECT_FALSE(DeviceIoControl(h, CTL_CODE(0x22, 0x9FF, METHOD_BUFFERED, FILE_ANY_ACCESS), nullptr, 0, nullptr, 0, &n,
                                 nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
}

TEST_F(DeviceTest, PendingRequestCompletedFromTheDeferredProcedure) {
    HANDLE h = Open();
    Overlapped o;
    ULONG value = 0;
    DWORD n = 0;
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_TEST_PEND, nullptr, 0, &value, 4, &n, &o.ov));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_FALSE(GetOverlappedResult(h, &o.ov, &n, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);
    EXPECT_EQ(WaitForSingleObject(o.ov.hEvent, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(Fire(h, 0x1234));
    ASSERT_EQ(WaitForSingleObject(o.ov.hEvent, kBoundMs), WAIT_OBJECT_0);
    EXPECT_TRUE(GetOverlappedResult(h, &o.ov, &n, TRUE));
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(value, 0x1234u);
}

TEST_F(DeviceTest, SynchronousCallerWaitsForAPendedRequest) {
    HANDLE h = Open("\\\\.\\TEST1", FILE_ATTRIBUTE_NORMAL);  // no overlapped I/O on this handle
    auto waiting = std::async(std::launch::async, [h] {
        ULONG value = 0;
        DWORD n = 0;
        BOOL ok = DeviceIoControl(h, IOCTL_TEST_PEND, nullptr, 0, &value, 4, &n, nullptr);
        return ok ? value : 0u;
    });
    // Fire until the pended request took a value (it may not have reached the driver yet).
    ULONG got = 0;
    for (int i = 0; i < 500 && !got; ++i) {
        Fire(h, 99);
        if (waiting.wait_for(std::chrono::milliseconds(10)) == std::future_status::ready) got = waiting.get();
    }
    EXPECT_EQ(got, 99u);
}

TEST_F(DeviceTest, CancelIoEndsTheCallersPendingRequest) {
    HANDLE h = Open();
    Overlapped o;
    ULONG value = 0;
    DWORD n = 0;
    ASSERT_FALSE(DeviceIoControl(h, IOCTL_TEST_PEND, nullptr, 0, &value, 4, &n, &o.ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_TRUE(CancelIo(h));
    ASSERT_EQ(WaitForSingleObject(o.ov.hEvent, kBoundMs), WAIT_OBJECT_0);
    EXPECT_FALSE(GetOverlappedResult(h, &o.ov, &n, TRUE));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    EXPECT_TRUE(TraceHas("tdrv: cancel"));
}

TEST_F(DeviceTest, CancelIoLeavesOtherThreadsRequestsAlone) {
    HANDLE h = Open();
    Overlapped mine, theirs;
    ULONG a = 0, b = 0;
    DWORD n = 0;
    std::thread([&] { DeviceIoControl(h, IOCTL_TEST_PEND, nullptr, 0, &b, 4, &n, &theirs.ov); }).join();
    ASSERT_FALSE(DeviceIoControl(h, IOCTL_TEST_PEND, nullptr, 0, &a, 4, &n, &mine.ov));
    CancelIo(h);
    ASSERT_EQ(WaitForSingleObject(mine.ov.hEvent, kBoundMs), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(theirs.ov.hEvent, 50), WAIT_TIMEOUT);
    Fire(h, 5);
    ASSERT_EQ(WaitForSingleObject(theirs.ov.hEvent, kBoundMs), WAIT_OBJECT_0);
    EXPECT_TRUE(GetOverlappedResult(h, &theirs.ov, &n, FALSE));
    EXPECT_EQ(b, 5u);
}

TEST_F(DeviceTest, ClosingTheHandleRunsCleanupCancelsAndCloses) {
    HANDLE h = Open();
    Overlapped o;
    ULONG value = 0;
    DWORD n = 0;
    ASSERT_FALSE(DeviceIoControl(h, IOCTL_TEST_PEND, nullptr, 0, &value, 4, &n, &o.ov));
    Forget(h);
    EXPECT_TRUE(CloseHandle(h));
    ASSERT_EQ(WaitForSingleObject(o.ov.hEvent, kBoundMs), WAIT_OBJECT_0);
    EXPECT_EQ(static_cast<NTSTATUS>(o.ov.Internal), STATUS_CANCELLED);
    // Order as the driver saw it.
    auto trace = machine_->Trace();
    auto pos = [&](const char* line) { return std::find(trace.begin(), trace.end(), line) - trace.begin(); };
    EXPECT_LT(pos("tdrv: cleanup"), pos("tdrv: cancel"));
    EXPECT_LT(pos("tdrv: cancel"), pos("tdrv: close"));
    EXPECT_LT(pos("tdrv: close"), static_cast<long>(trace.size()));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_TEST_ECHO, nullptr, 0, nullptr, 0, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(DeviceTest, DriverAdmitsOneOpener) {
    HANDLE first = Open();
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    DWORD n = 0;
    EXPECT_TRUE(DeviceIoControl(first, IOCTL_TEST_ECHO, nullptr, 0, nullptr, 0, &n, nullptr)) << "the first user goes on";
    Forget(first);
    CloseHandle(first);
    EXPECT_NE(Open(), INVALID_HANDLE_VALUE);
}

TEST_F(DeviceTest, SurpriseRemovalWithARequestPending) {
    HANDLE h = Open();
    Overlapped o;
    ULONG value = 0;
    DWORD n = 0;
    ASSERT_FALSE(DeviceIoControl(h, IOCTL_TEST_PEND, nullptr, 0, &value, 4, &n, &o.ov));
    machine_->SurpriseRemove(pdo_);
    ASSERT_EQ(WaitForSingleObject(o.ov.hEvent, kBoundMs), WAIT_OBJECT_0);
    EXPECT_FALSE(GetOverlappedResult(h, &o.ov, &n, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_TEST_ECHO, nullptr, 0, nullptr, 0, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
    EXPECT_FALSE(TraceHas("tdrv: remove")) << "removal waits for the last handle";
    Forget(h);
    CloseHandle(h);
    EXPECT_TRUE(TraceHas("tdrv: remove"));
    EXPECT_TRUE(devices_[0]->removed());
    EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(DeviceTest, VerifierCatchesARequestLeftPendingAtRemoval) {
    DriverFaults().keepPendingOnSurpriseRemoval = true;
    HANDLE h = Open();
    Overlapped o;
    ULONG value = 0;
    DWORD n = 0;
    ASSERT_FALSE(DeviceIoControl(h, IOCTL_TEST_PEND_NO_CANCEL, nullptr, 0, &value, 4, &n, &o.ov));
    machine_->SurpriseRemove(pdo_);
    Forget(h);
    CloseHandle(h);
    EXPECT_EQ(machine_->verifier().Count(kernel::Rule::PendingAtRemove), 1u) << machine_->verifier().Describe();
    machine_->verifier().Clear();
}

TEST_F(DeviceTest, VerifierCatchesADoubleCompletion) {
    HANDLE h = Open();
    DWORD n = 0;
    EXPECT_TRUE(DeviceIoControl(h, IOCTL_TEST_DOUBLE_COMPLETE, nullptr, 0, nullptr, 0, &n, nullptr));
    EXPECT_EQ(machine_->verifier().Count(kernel::Rule::DoubleCompletion), 1u);
    machine_->verifier().Clear();
}

TEST_F(DeviceTest, ReadAndWriteWithAndWithoutOverlappedRecords) {
    HANDLE h = Open();
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(h, "0123456789", 10, &n, nullptr));
    EXPECT_EQ(n, 10u);
    char buf[16] = {};
    // A read shorter than what is waiting reports more data, with the bytes it got.
    EXPECT_FALSE(ReadFile(h, buf, 4, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(std::string(buf, 4), "0123");
    EXPECT_FALSE(ReadFile(h, buf, 4, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NO_DATA_DETECTED);

    Overlapped o;
    EXPECT_TRUE(WriteFile(h, "abcdefgh", 8, &n, &o.ov)) << "completed at once";
    EXPECT_EQ(WaitForSingleObject(o.ov.hEvent, 0), WAIT_OBJECT_0) << "and its event is set";
    EXPECT_TRUE(GetOverlappedResult(h, &o.ov, &n, FALSE));
    EXPECT_EQ(n, 8u);
    Overlapped r;
    EXPECT_TRUE(ReadFile(h, buf, 16, &n, &r.ov));
    EXPECT_EQ(n, 8u);
    EXPECT_EQ(std::string(buf, 8), "abcdefgh");
    // A warning status completed at once still goes to the record and sets its event; an
    // error completed at once is told through the return value only.
    Overlapped w;
    EXPECT_FALSE(ReadFile(h, buf, 16, &n, &w.ov));
    EXPECT_EQ(GetLastError(), ERROR_NO_DATA_DETECTED);
    EXPECT_EQ(WaitForSingleObject(w.ov.hEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(static_cast<NTSTATUS>(w.ov.Internal), STATUS_NO_DATA_DETECTED);
    Overlapped e;
    ULONG status = static_cast<ULONG>(STATUS_INVALID_PARAMETER);
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_TEST_STATUS, &status, 4, nullptr, 0, &n, &e.ov));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WaitForSingleObject(e.ov.hEvent, 0), WAIT_TIMEOUT);
    // Regression: the record stayed "pending", so waiting on it hung.
    EXPECT_FALSE(GetOverlappedResult(h, &e.ov, &n, TRUE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(DeviceTest, KernelTimerCompletesAnOverlappedRequest) {
    HANDLE h = Open();
    Overlapped o;
    ULONG ms = 5;
    DWORD n = 0;
    ASSERT_FALSE(DeviceIoControl(h, IOCTL_TEST_TIMER, &ms, 4, nullptr, 0, &n, &o.ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    ASSERT_EQ(WaitForSingleObject(o.ov.hEvent, kBoundMs), WAIT_OBJECT_0);
    EXPECT_TRUE(GetOverlappedResult(h, &o.ov, &n, FALSE));
}

TEST_F(DeviceTest, CompletionStatusesBecomeWindowsErrors) {
    // The statuses the board driver completes with and the errors the caller sees.
    struct Case {
        std::uint32_t status;
        DWORD error;
    };
    const Case cases[] = {
        {0x80000022, 1104}, {0xC0000005, 998}, {0xC000000D, 87},  {0xC0000010, 1},   {0xC0000022, 5},
        {0xC0000023, 122},  {0xC000002A, 158}, {0xC0000056, 5},   {0xC000007F, 112}, {0xC000009A, 1450},
        {0xC000009D, 21},   {0xC00000BB, 50},  {0xC0000120, 995}, {0xC0000186, 1117}, {0xC0000008, 6},
        {0xC0000206, 1784}, {0x80000005, 234}, {0xC0000001, 31},  {0xC0DE0001, 317},
    };
    HANDLE h = Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        EXPECT_EQ(RtlNtStatusToDosError(static_cast<NTSTATUS>(c.status)), c.error);
        DWORD n = 0;
        ULONG status = c.status;
        EXPECT_FALSE(DeviceIoControl(h, IOCTL_TEST_STATUS, &status, 4, nullptr, 0, &n, nullptr));
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST_F(DeviceTest, PathsThatNameNoDevice) {
    EXPECT_EQ(Open("\\\\.\\NOSUCH"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open("C:\\file.txt"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(DeviceTest, EventsWaitOneOrAll) {
    HANDLE a = CreateEventA(nullptr, TRUE, FALSE, nullptr), b = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE both[2] = {a, b};
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 10), WAIT_TIMEOUT);
    SetEvent(b);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 10), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_TIMEOUT) << "an auto-reset event released one wait";
    SetEvent(a);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 10), WAIT_TIMEOUT);
    SetEvent(b);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 10), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0) << "a manual-reset event stays set";
    ResetEvent(a);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_TIMEOUT);
    CloseHandle(a);
    CloseHandle(b);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_FAILED);
}

}  // namespace

namespace {

// Several threads pend, fire and cancel on two devices that share one interrupt line: every
// request ends exactly once (value or cancellation) and the verifier stays clean. Run under
// ThreadSanitizer too.
TEST_F(DeviceTest, ConcurrentRequestsCancellationAndInterruptsOnASharedLine) {
    ASSERT_NE(Plug(1), nullptr);
    HANDLE h[2] = {Open("\\\\.\\TEST1"), Open("\\\\.\\TEST2")};
    ASSERT_NE(h[0], INVALID_HANDLE_VALUE);
    ASSERT_NE(h[1], INVALID_HANDLE_VALUE);
    constexpr int kThreads = 4, kRounds = 100;
    std::atomic<int> completed{0}, cancelled{0}, stuck{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            HANDLE dev = h[t % 2];
            Overlapped o;
            for (int i = 0; i < kRounds; ++i) {
                ULONG value = 0;
                DWORD n = 0;
                if (DeviceIoControl(dev, IOCTL_TEST_PEND, nullptr, 0, &value, 4, &n, &o.ov) ||
                    GetLastError() != ERROR_IO_PENDING) {
                    stuck++;
                    continue;
                }
                if (i % 3 == 0) {
                    CancelIo(dev);
                } else {
                    ULONG v = static_cast<ULONG>(i + 1);
                    DeviceIoControl(dev, IOCTL_TEST_FIRE, &v, 4, nullptr, 0, &n, nullptr);
                }
                // Another thread's interrupt may have taken the value: fire again, then
                // give up by cancelling.
                if (WaitForSingleObject(o.ov.hEvent, 10) != WAIT_OBJECT_0) {
                    ULONG v = 1;
                    DeviceIoControl(dev, IOCTL_TEST_FIRE, &v, 4, nullptr, 0, &n, nullptr);
                    if (WaitForSingleObject(o.ov.hEvent, 10) != WAIT_OBJECT_0) CancelIo(dev);
                }
                if (WaitForSingleObject(o.ov.hEvent, kBoundMs) != WAIT_OBJECT_0) {
                    stuck++;
                    return;
                }
                if (GetOverlappedResult(dev, &o.ov, &n, FALSE)) {
                    completed++;
                    EXPECT_NE(value, 0u);
                } else {
                    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
                    cancelled++;
                }
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(stuck.load(), 0);
    EXPECT_EQ(completed.load() + cancelled.load(), kThreads * kRounds);
    EXPECT_GT(completed.load(), 0);
    EXPECT_GT(cancelled.load(), 0);
}

}  // namespace

namespace {

class DirectDeviceTest : public MachineTest {};

// Reads and writes reach a direct-I/O driver as memory descriptors of the caller's buffer;
// a METHOD_OUT_DIRECT control request gets its input buffered and its output described.
TEST_F(DirectDeviceTest, DirectTransfersUseTheCallersBuffer) {
    ASSERT_NE(Plug(0, nullptr, true), nullptr);
    HANDLE h = CreateFileA("\\\\.\\TEST1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(h, "direct", 6, &n, nullptr));
    EXPECT_EQ(n, 6u);
    char buf[8] = {};
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(std::string(buf, n), "direct");
    EXPECT_FALSE(WriteFile(h, nullptr, 0, &n, nullptr)) << "no buffer: no descriptor";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    char in[4] = "abc", out[4] = {};
    EXPECT_TRUE(DeviceIoControl(h, IOCTL_TEST_ECHO_DIRECT, in, 4, out, 4, &n, nullptr));
    EXPECT_STREQ(out, "abc");
    // A pended direct read is completed into the caller's buffer by the deferred procedure.
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    UCHAR wait[kPendingReadLength] = {};
    ASSERT_FALSE(ReadFile(h, wait, kPendingReadLength, &n, &ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    ULONG v = 0x55;
    DeviceIoControl(h, IOCTL_TEST_FIRE, &v, 4, nullptr, 0, &n, nullptr);
    ASSERT_EQ(WaitForSingleObject(ov.hEvent, kBoundMs), WAIT_OBJECT_0);
    EXPECT_TRUE(GetOverlappedResult(h, &ov, &n, FALSE));
    EXPECT_EQ(wait[0], 0x55);
    CloseHandle(ov.hEvent);
    CloseHandle(h);
}

}  // namespace
