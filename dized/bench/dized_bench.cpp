// Throughput and notification latency through the whole stack in the bus's fast mode:
// library -> device-I/O library -> device layer -> driver -> simulated board -> bus -> the
// other channel and back up. Not part of the test run: build/bin/dized_bench [frames].
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "dized.h"
#include "platform/device.h"

namespace {

using Clock = std::chrono::steady_clock;

// Queue sizes the benchmark configures, messages.
constexpr uint32_t kQueue = 1024;

CanHandle OpenConfigured(const char* name, uint32_t mode) {
    CanHandle h = CanOpenPort(name);
    if (h == CAN_INVALID_PORT) {
        std::fprintf(stderr, "dized_bench: CanOpenPort(%s) failed\n", name);
        std::exit(1);
    }
    CanConfig c{};
    CanGetConfig(h, &c);
    c.transmitQueueSize = c.receiveQueueSize = kQueue;
    c.mode = mode;
    if (CanSetConfig(h, &c) != 0 || CanActivate(h) != 0) {
        std::fprintf(stderr, "dized_bench: configuring %s failed\n", name);
        std::exit(1);
    }
    return h;
}

struct Throughput {
    double framesPerSecond;
    long lost;
};

// Sends `total` frames from a to b in batches. The receiver reads when its arrival event is
// set, the sender refills its transmit queue when the queue had no room for a batch and its
// transmit-done event came: nobody polls.
Throughput Batches(CanHandle a, CanHandle b, long total, uint32_t batch) {
    constexpr uint32_t kRead = 256;
    std::vector<CanMessage> out(batch), in(kRead);
    for (uint32_t i = 0; i < batch; ++i) {
        out[i] = CanMessage{};
        out[i].identifier = 0x100 + (i & 0xFF);
        out[i].length = 8;
    }
    HANDLE events[2] = {CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    CanEventSetting s{};
    s.event = events[0];
    CanSetEvent(b, &s);
    CanSetEventMask(b, CAN_EVENT_RECEIVE);
    s.event = events[1];
    CanSetEvent(a, &s);
    CanSetEventMask(a, CAN_EVENT_TRANSMIT_DONE);
    long sent = 0, received = 0;
    auto start = Clock::now();
    const auto giveUp = start + std::chrono::seconds(60);
    while (received < sent || sent < total) {
        bool full = false;
        if (sent < total) {
            uint32_t r = CanSendMessage(a, out.data(), batch);
            if (r == 0) {
                sent += batch;
            } else if (r == CAN_ERR_QUEUE_FULL) {
                full = true;
            } else {
                std::fprintf(stderr, "dized_bench: CanSendMessage: 0x%08X\n", r);
                std::exit(1);
            }
        }
        ResetEvent(events[0]);
        uint32_t n = kRead;
        bool got = false;
        while (CanReceiveMessage(b, in.data(), &n) == 0) {
            received += n;
            got = true;
            n = kRead;
        }
        if (Clock::now() > giveUp) break;  // frames lost below: count them as such
        if (!got && (full || sent >= total)) {
            // Bounded: an arrival in the middle of the read above sets the event again.
            if (WaitForMultipleObjects(2, events, FALSE, 5) == WAIT_OBJECT_0 + 1) ResetEvent(events[1]);
            if (sent >= total && WaitForSingleObject(events[0], 0) != WAIT_OBJECT_0) {
                CanStatus st{};
                CanGetStatus(a, &st);
                if (st.transmitWaiting == 0 && WaitForSingleObject(events[0], 20) != WAIT_OBJECT_0) break;
            }
        }
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (sent != received) {
        CanStatus sa{}, sb{};
        CanGetStatus(a, &sa);
        CanGetStatus(b, &sb);
        std::fprintf(stderr, "  sender: bus %u, %u waiting to go; receiver: bus %u, %u waiting, errors tx %u rx %u\n",
                     sa.busState, sa.transmitWaiting, sb.busState, sb.receiveWaiting, sb.transmitErrorCounter,
                     sb.receiveErrorCounter);
    }
    CanSetEventMask(a, 0);
    CanSetEventMask(b, 0);
    CanKillEvent(a);
    CanKillEvent(b);
    CloseHandle(events[0]);
    CloseHandle(events[1]);
    return {static_cast<double>(received) / seconds, sent - received};
}

std::atomic<long long> gNotified{0};
void OnReceive(uint32_t, uint32_t) {
    gNotified.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
}

// Time from handing one frame to CanSendMessage until the receiver's callback runs.
std::vector<double> CallbackLatency(CanHandle a, CanHandle b, int rounds) {
    CanEventSetting s{};
    s.callback = OnReceive;
    CanSetEvent(b, &s);
    CanSetEventMask(b, CAN_EVENT_RECEIVE);
    CanMessage m{};
    m.identifier = 0x321;
    m.length = 1;
    std::vector<double> us;
    for (int i = 0; i < rounds; ++i) {
        gNotified = 0;
        auto t0 = Clock::now();
        CanSendMessage(a, &m, 1);
        while (gNotified.load(std::memory_order_acquire) == 0) std::this_thread::yield();
        auto t1 = Clock::time_point(Clock::duration(gNotified.load()));
        us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        CanMessage got[4];
        uint32_t n = 4;
        while (CanReceiveMessage(b, got, &n) == 0) n = 4;
    }
    CanKillEvent(b);
    CanSetEventMask(b, 0);
    std::sort(us.begin(), us.end());
    return us;
}

}  // namespace

int main(int argc, char** argv) {
    long total = argc > 1 ? std::atol(argv[1]) : 200000;
    if (total <= 0) total = 200000;
    std::printf("dized_bench: %ld frames per run, fast mode, FIFO board channel to channel\n", total);
    // Frame by frame through the controller's transmit buffer, then through the board's
    // transmit FIFO (configuration mode bit 31).
    for (uint32_t mode : {0u, 0x80000000u}) {
        CanHandle a = OpenConfigured("DIZED1", mode);
        CanHandle b = OpenConfigured("DIZED2", 0);
        std::printf(" %s:\n", mode ? "transmit FIFO" : "transmit buffer");
        for (uint32_t batch : {1u, 16u, 64u, 256u}) {
            Throughput t = Batches(a, b, total / (batch == 1 ? 10 : 1), batch);
            std::printf("  batch %3u: %9.0f frames/s received%s\n", batch, t.framesPerSecond,
                        t.lost ? (" (" + std::to_string(t.lost) + " lost)").c_str() : "");
        }
        CanClosePort(a);
        CanClosePort(b);
    }
    CanHandle a = OpenConfigured("DIZED1", 0);
    CanHandle b = OpenConfigured("DIZED2", 0);
    std::vector<double> us = CallbackLatency(a, b, 2000);
    std::printf("  callback latency (send call to callback), 2000 frames: median %.1f us, 90%% %.1f us, "
                "99%% %.1f us, max %.1f us\n",
                us[us.size() / 2], us[us.size() * 9 / 10], us[us.size() * 99 / 100], us.back());
    CanClosePort(a);
    CanClosePort(b);
    return 0;
}
