// Benchmark of the board driver on the simulated board (not a test):
//   throughput: frames per second from writes on DIZED1 to reads on DIZED2, the bus in fast
//               mode (no wire time), a sender that keeps at most `window` frames unread
//               (FIFO board: sent through the transmit FIFO with its trigger on);
//   latency:    from a frame's delivery on the bus to the completion of DIZED2's pending
//               IOCTL_CAN_WAIT_EVENT as the waiting thread sees it (p50, p99).
// Usage: re7316_bench [basic|fifo] [frames] [samples] [manual]
// "manual": the models read a clock that stands still instead of the system clock (the time
// stamps then stay 0; it shows what the simulation's clock reads cost).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "can_common/can_records.h"
#include "hw/kernel_attachment.h"
#include "hw/machine.h"
#include "kernel/machine.h"
#include "platform/device.h"
#include "re7316/re7316.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string MachineText(bool fifo) {
    return std::string("[Machine]\nName=re7316 bench\nFastMode=1\n\n[Bus CAN1]\nBitTimeNs=1000\n\n[Board 1]\nKind=") +
           (fifo ? "FIFO" : "Basic") + "\nChannels=2\nBus=CAN1\nInterruptLine=11\n";
}

HANDLE OpenPort(const char* name) {
    std::string path = std::string("\\\\.\\") + name;
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                       nullptr);
}

bool Control(HANDLE h, DWORD code, const void* in, DWORD inLength) {
    DWORD n = 0;
    return DeviceIoControl(h, code, const_cast<void*>(in), inLength, nullptr, 0, &n, nullptr);
}

CanMessage Frame(ULONG id) {
    CanMessage m{};
    m.identifier = 0x80000000u | id;
    m.length = 8;
    for (int i = 0; i < 8; ++i) m.data[i] = static_cast<UCHAR>(id + i);
    return m;
}

// Reads whatever DIZED2 holds; the number of messages.
ULONG ReadSome(HANDLE h, CanMessage* buffer, ULONG max) {
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD n = 0;
    BOOL ok = ReadFile(h, buffer, max * sizeof(CanMessage), &n, &ov);
    if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(h, &ov, &n, TRUE);
    CloseHandle(ov.hEvent);
    return ok ? n / sizeof(CanMessage) : 0;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
    const bool fifo = argc < 2 || std::strcmp(argv[1], "basic") != 0;
    const ULONG frames = argc > 2 ? static_cast<ULONG>(std::atol(argv[2])) : 200000;
    const int samples = argc > 3 ? std::atoi(argv[3]) : 20000;
    const bool manualClock = argc > 4 && std::strcmp(argv[4], "manual") == 0;
    // The basic controller buffers 64 bytes of received frames (four of these); the FIFO
    // board's receive FIFO holds 128 entries.
    const ULONG window = fifo ? 120 : 4;
    const ULONG batch = fifo ? 40 : 4;

    kernel::Machine kernelMachine;
    re7316::RegisterDriver(kernelMachine);
    std::string error;
    std::shared_ptr<hw::Clock> clock;
    if (manualClock) clock = std::make_shared<hw::ManualClock>();
    auto machine = hw::Machine::FromText(MachineText(fifo), clock, &error);
    if (!machine) {
        std::fprintf(stderr, "machine: %s\n", error.c_str());
        return 1;
    }
    auto attachment = std::make_unique<hw::KernelAttachment>(kernelMachine, *machine);
    HANDLE a = OpenPort("DIZED1"), b = OpenPort("DIZED2");
    if (a == INVALID_HANDLE_VALUE || b == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "open: error %lu\n", static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    // The FIFO board sends through its transmit FIFO, topped up by the driver (trigger on).
    const CanConfig sender{fifo ? 0x80000000u : 0u, 1, 4096, 4096, 64, 96, 0x053A};
    const CanConfig big{0, 1, 4096, 4096, 64, 96, 0x053A};
    ULONG mask = CAN_EVENT_RECEIVE;
    if (!Control(a, IOCTL_CAN_SET_CONFIG, &sender, sizeof sender) || !Control(b, IOCTL_CAN_SET_CONFIG, &big, sizeof big) ||
        !Control(a, IOCTL_CAN_ACTIVATE, nullptr, 0) || !Control(b, IOCTL_CAN_ACTIVATE, nullptr, 0) ||
        !Control(b, IOCTL_CAN_SET_EVENT_MASK, &mask, 4)) {
        std::fprintf(stderr, "setup: error %lu\n", static_cast<unsigned long>(GetLastError()));
        return 1;
    }

    // ---- throughput
    // The reader takes what DIZED2 holds and waits for the receive event when it is empty;
    // the writer keeps at most `window` frames unread.
    std::mutex mu;
    std::condition_variable cv;
    ULONG received = 0;
    bool stop = false;
    std::thread reader([&] {
        std::vector<CanMessage> buffer(512);
        for (;;) {
            {
                std::lock_guard<std::mutex> lk(mu);
                if (received >= frames || stop) return;
            }
            ULONG n = ReadSome(b, buffer.data(), static_cast<ULONG>(buffer.size()));
            if (n) {
                std::lock_guard<std::mutex> lk(mu);
                received += n;
                cv.notify_all();
                continue;
            }
            OVERLAPPED ov{};
            ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            ULONG value = 0;
            DWORD bytes = 0;
            if (!DeviceIoControl(b, IOCTL_CAN_WAIT_EVENT, nullptr, 0, &value, 4, &bytes, &ov) &&
                WaitForSingleObject(ov.hEvent, 5000) != 0) {
                CancelIo(b);  // frames were lost: nothing more arrives
                GetOverlappedResult(b, &ov, &bytes, TRUE);
                CloseHandle(ov.hEvent);
                std::lock_guard<std::mutex> lk(mu);
                stop = true;
                cv.notify_all();
                return;
            }
            GetOverlappedResult(b, &ov, &bytes, TRUE);
            CloseHandle(ov.hEvent);
        }
    });
    auto start = Clock::now();
    ULONG sent = 0, refused = 0;
    std::vector<CanMessage> out(batch);
    while (sent < frames) {
        {
            std::unique_lock<std::mutex> lk(mu);
            cv.wait(lk, [&] { return stop || sent - received + batch <= window; });
            if (stop) break;
        }
        ULONG n = std::min(batch, frames - sent);
        for (ULONG i = 0; i < n; ++i) out[i] = Frame(sent + i);
        DWORD written = 0;
        if (!WriteFile(a, out.data(), n * sizeof(CanMessage), &written, nullptr)) {
            if (GetLastError() != ERROR_DISK_FULL || ++refused > 1000000) break;
            std::this_thread::yield();
            continue;
        }
        sent += n;
    }
    {
        std::lock_guard<std::mutex> lk(mu);
        if (sent < frames) stop = true;
    }
    reader.join();
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("board: %s%s\n", fifo ? "FIFO (0x1C96)" : "basic (0x1C94)", manualClock ? ", clock standing" : "");
    std::printf("throughput: %lu frames written, %lu read in %.3f s: %.0f frames/s (window %lu, batch %lu)\n",
                static_cast<unsigned long>(sent), static_cast<unsigned long>(received), seconds,
                static_cast<double>(received) / seconds, static_cast<unsigned long>(window),
                static_cast<unsigned long>(batch));

    // ---- latency: delivery on the bus -> completion of the pending wait
    const CanConfig plain{0, 1, 4096, 4096, 64, 96, 0x053A};
    Control(a, IOCTL_CAN_DEACTIVATE, nullptr, 0);
    Control(a, IOCTL_CAN_SET_CONFIG, &plain, sizeof plain);
    Control(a, IOCTL_CAN_ACTIVATE, nullptr, 0);
    std::atomic<int64_t> deliveredAt{0};
    machine->bus("CAN1")->SetMonitor([&](const hw::CanFrame&, uint64_t) {
        deliveredAt = Clock::now().time_since_epoch().count();
    });
    std::vector<double> latencyUs, roundUs;  // from delivery; from the write call
    latencyUs.reserve(static_cast<size_t>(samples));
    CanMessage drain[64];
    while (ReadSome(b, drain, 64)) {
    }
    // Queued events from the throughput run are taken first.
    for (;;) {
        OVERLAPPED ov{};
        ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ULONG value = 0;
        DWORD n = 0;
        BOOL now = DeviceIoControl(b, IOCTL_CAN_WAIT_EVENT, nullptr, 0, &value, 4, &n, &ov);
        if (!now) {
            CancelIo(b);
            GetOverlappedResult(b, &ov, &n, TRUE);
        }
        CloseHandle(ov.hEvent);
        if (!now) break;
    }
    int lost = 0;
    for (int i = 0; i < samples; ++i) {
        OVERLAPPED ov{};
        ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ULONG value = 0;
        DWORD n = 0;
        BOOL now = DeviceIoControl(b, IOCTL_CAN_WAIT_EVENT, nullptr, 0, &value, 4, &n, &ov);
        deliveredAt = 0;
        CanMessage m = Frame(0x100000 + static_cast<ULONG>(i));
        DWORD written = 0;
        auto writeAt = Clock::now().time_since_epoch().count();
        WriteFile(a, &m, sizeof m, &written, nullptr);
        if (!now && WaitForSingleObject(ov.hEvent, 5000) != 0) {
            ++lost;
            CancelIo(b);
        }
        auto done = Clock::now().time_since_epoch().count();
        GetOverlappedResult(b, &ov, &n, TRUE);
        CloseHandle(ov.hEvent);
        int64_t at = deliveredAt.load();
        if (!now && at) latencyUs.push_back(static_cast<double>(done - at) / 1000.0);
        if (!now) roundUs.push_back(static_cast<double>(done - writeAt) / 1000.0);
        while (ReadSome(b, drain, 64)) {
        }
    }
    machine->bus("CAN1")->SetMonitor(nullptr);
    std::printf("latency (delivery -> wait completed), %zu samples: p50 %.1f us, p99 %.1f us, max %.1f us%s\n",
                latencyUs.size(), Percentile(latencyUs, 0.50), Percentile(latencyUs, 0.99),
                latencyUs.empty() ? 0.0 : *std::max_element(latencyUs.begin(), latencyUs.end()),
                lost ? " (some waits timed out)" : "");
    std::printf("write call -> wait completed: p50 %.1f us, p99 %.1f us\n", Percentile(roundUs, 0.50),
                Percentile(roundUs, 0.99));

    CloseHandle(a);
    CloseHandle(b);
    for (PDEVICE_OBJECT pdo : attachment->ChannelPdos("Board 1"))
        if (pdo) kernelMachine.Remove(pdo);
    kernelMachine.DrainWorker();
    attachment.reset();
    machine.reset();
    return 0;
}
