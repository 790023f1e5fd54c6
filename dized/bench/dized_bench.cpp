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

namespace {

using Clock = std::chrono::steady_clock;

// Queue sizes the benchmark configures, messages.
constexpr uint32_t kQueue = 1024;

CanHandle OpenConfigured(const char* name) {
    CanHandle h = CanOpenPort(name);
    if (h == CAN_INVALID_PORT) {
        std::fprintf(stderr, "dized_bench: CanOpenPort(%s) failed\n", name);
        std::exit(1);
    }
    CanConfig c{};
    CanGetConfig(h, &c);
    c.transmitQueueSize = c.receiveQueueSize = kQueue;
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

// Sends `total` frames from a to b in batches, reading b in batches as it goes.
Throughput Batches(CanHandle a, CanHandle b, long total, uint32_t batch) {
    std::vector<CanMessage> out(batch), in(kQueue);
    for (uint32_t i = 0; i < batch; ++i) {
        out[i] = CanMessage{};
        out[i].identifier = 0x100 + (i & 0xFF);
        out[i].length = 8;
    }
    long sent = 0, received = 0;
    auto drain = [&] {
        uint32_t n = kQueue;
        while (CanReceiveMessage(b, in.data(), &n) == 0) {
            received += n;
            n = kQueue;
        }
    };
    auto start = Clock::now();
    while (sent < total) {
        uint32_t r = CanSendMessage(a, out.data(), batch);
        if (r == 0)
            sent += batch;
        else if (r != CAN_ERR_QUEUE_FULL) {
            std::fprintf(stderr, "dized_bench: CanSendMessage: 0x%08X\n", r);
            std::exit(1);
        }
        drain();
    }
    // The last frames are still on their way: wait until the sender's queue is empty and the
    // receiver has nothing more.
    for (auto until = Clock::now() + std::chrono::seconds(10); received < sent && Clock::now() < until;) {
        drain();
        std::this_thread::yield();
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
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
    CanHandle a = OpenConfigured("DIZED1");
    CanHandle b = OpenConfigured("DIZED2");
    std::printf("dized_bench: %ld frames per run, fast mode, FIFO board channel to channel\n", total);
    for (uint32_t batch : {1u, 16u, 64u, 256u}) {
        Throughput t = Batches(a, b, total / (batch == 1 ? 10 : 1), batch);
        std::printf("  batch %3u: %9.0f frames/s received%s\n", batch, t.framesPerSecond,
                    t.lost ? (" (" + std::to_string(t.lost) + " lost)").c_str() : "");
    }
    std::vector<double> us = CallbackLatency(a, b, 2000);
    std::printf("  callback latency (send call to callback), 2000 frames: median %.1f us, 90%% %.1f us, "
                "99%% %.1f us, max %.1f us\n",
                us[us.size() / 2], us[us.size() * 9 / 10], us[us.size() * 99 / 100], us.back());
    CanClosePort(a);
    CanClosePort(b);
    return 0;
}
