// Round trips per second and latency of the device path, on the test driver:
//   plain      DeviceIoControl without overlapped record, completed in the dispatch routine
//   dpc        overlapped request pended by the driver, completed by the deferred procedure
//              after the device's interrupt (latency: from the request that fires the
//              interrupt until the waiting caller wakes up)
// Usage: device_bench [iterations]     e.g. device_bench 100000
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "kernel/machine.h"
#include "platform/device.h"
#include "test_driver.h"

namespace {

using Clock = std::chrono::steady_clock;

void Report(const char* name, std::vector<double>& us, double seconds) {
    std::sort(us.begin(), us.end());
    auto pct = [&](double p) { return us[static_cast<size_t>(p * (us.size() - 1))]; };
    std::printf("%-6s %9zu round trips  %10.0f /s  p50 %7.2f us  p99 %7.2f us  max %8.2f us\n", name, us.size(),
                us.size() / seconds, pct(0.50), pct(0.99), us.back());
}

}  // namespace

int main(int argc, char** argv) {
    long n = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 50000;
    if (n < 100 || n > 10000000) {
        std::fprintf(stderr, "usage: device_bench [iterations 100..10000000]\n");
        return 2;
    }
    kernel::Machine machine;
    testdrv::RegisterTestDriver(machine);
    auto device = std::make_shared<testdrv::TestDevice>(0xF0000000ull, 5);
    device->Attach(machine);
    if (!machine.PlugIn(device)) {
        std::fprintf(stderr, "device_bench: PlugIn of the test device failed\n");
        return 1;
    }
    HANDLE h = CreateFileA("\\\\.\\TEST1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "device_bench: CreateFileA failed, error %u\n", GetLastError());
        return 1;
    }

    std::vector<double> us;
    us.reserve(n);
    char in[8] = "abcdefg", out[8];
    DWORD bytes = 0;
    auto start = Clock::now();
    for (long i = 0; i < n; ++i) {
        auto t0 = Clock::now();
        if (!DeviceIoControl(h, testdrv::IOCTL_TEST_ECHO, in, 8, out, 8, &bytes, nullptr)) {
            std::fprintf(stderr, "device_bench: DeviceIoControl failed, error %u\n", GetLastError());
            return 1;
        }
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    Report("plain", us, std::chrono::duration<double>(Clock::now() - start).count());

    us.clear();
    long m = n / 5;
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ULONG value = 0;
    start = Clock::now();
    for (long i = 0; i < m; ++i) {
        if (DeviceIoControl(h, testdrv::IOCTL_TEST_PEND, nullptr, 0, &value, 4, &bytes, &ov) ||
            GetLastError() != ERROR_IO_PENDING) {
            std::fprintf(stderr, "device_bench: the wait request did not pend\n");
            return 1;
        }
        ULONG v = static_cast<ULONG>(i);
        auto t0 = Clock::now();
        DeviceIoControl(h, testdrv::IOCTL_TEST_FIRE, &v, 4, nullptr, 0, &bytes, nullptr);
        if (WaitForSingleObject(ov.hEvent, 5000) != WAIT_OBJECT_0 || !GetOverlappedResult(h, &ov, &bytes, FALSE)) {
            std::fprintf(stderr, "device_bench: the pended request did not complete\n");
            return 1;
        }
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    Report("dpc", us, std::chrono::duration<double>(Clock::now() - start).count());
    CloseHandle(ov.hEvent);
    CloseHandle(h);
    if (!machine.verifier().Clean()) {
        std::fprintf(stderr, "device_bench: verifier:\n%s", machine.verifier().Describe().c_str());
        return 1;
    }
    return 0;
}
