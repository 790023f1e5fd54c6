// dized-send: sends CAN frames written as 123#DEADBEEF or 12345678#R on a port and reports
// when each was on the bus (its completion time stamp).
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dized.h"
#include "frames.h"

using namespace dizedtool;

namespace {

constexpr const char* kUsage = R"(Usage: dized-send [options] FRAME...
Sends the frames in the order given, all at once into the transmit queue (all are queued or
none), waits until they were on the bus and prints each one's completion time stamp.

FRAME: <id>#<data>  3 hex digits: standard identifier, 8: extended; data up to 8 bytes in
       hex, '.' between bytes allowed;  <id>#R or <id>#R<len>: remote frame.

Options:
  -p PORT     port name, at most 11 characters (default DIZED1)
  -b TIMING   bit timing as hex (default 053A; 80004B23 programs 4B/23 unchanged)
  -r COUNT    send the frames COUNT times, 1 to 2147483647 (default 1)
  -g MS       pause between the rounds of -r, 0 to 2147483647 ms (default 0)
  -q          print nothing but errors
  -h          this text

Examples:
  dized-send -p DIZED1 123#DEADBEEF
  dized-send -p DIZED1 12345678#R 7FF#01.02.03
  dized-send -p DIZED1 00000001#0009000200000000      (ask every sensor unit for its ID)
  dized-send -p DIZED2 -r 100 -g 10 -q 100#00
)";

// How long the frames may take to leave the transmit queue before the tool gives up, ms.
constexpr long kDrainLimitMs = 5000;
// Largest count of rounds and longest pause an option takes.
constexpr long kMaxCount = 2147483647;

volatile sig_atomic_t gStop = 0;
void OnSignal(int) { gStop = 1; }

[[noreturn]] void Fail(const char* call, uint32_t result) {
    std::fprintf(stderr, "dized-send: %s failed: 0x%08X %s\n", call, result, ResultName(result));
    std::exit(1);
}

void SleepMs(long ms) {
    timespec t{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    std::string port = "DIZED1";
    long long timing = -1;
    long rounds = 1, gapMs = 0;
    bool quiet = false;
    int opt;
    while ((opt = getopt(argc, argv, "p:b:r:g:qh")) != -1) {
        char* end = nullptr;
        switch (opt) {
        case 'p': port = optarg; break;
        case 'b': timing = std::strtoll(optarg, &end, 16); break;
        case 'r':
        case 'g':
            if (!ParseCount(optarg, opt == 'r' ? 1 : 0, kMaxCount, opt == 'r' ? &rounds : &gapMs)) {
                std::fprintf(stderr, "dized-send: bad value for -%c: %s (%s)\n", opt, optarg,
                             opt == 'r' ? "1 to 2147483647 rounds" : "0 to 2147483647 ms");
                return 2;
            }
            break;
        case 'q': quiet = true; break;
        case 'h': std::fputs(kUsage, stdout); return 0;
        default: std::fputs(kUsage, stderr); return 2;
        }
        if (end && (*end || end == optarg || timing > 0xFFFFFFFFLL || timing < 0)) {
            std::fprintf(stderr, "dized-send: bad value for -%c: %s\n", opt, optarg);
            return 2;
        }
    }
    if (port.empty() || port.size() > 11) {
        std::fputs("dized-send: port name must have 1 to 11 characters\n", stderr);
        return 2;
    }
    std::vector<CanMessage> frames;
    for (int i = optind; i < argc; ++i) {
        CanMessage m;
        std::string error;
        if (!ParseFrame(argv[i], &m, &error)) {
            std::fprintf(stderr, "dized-send: %s\n", error.c_str());
            return 2;
        }
        frames.push_back(m);
    }
    if (frames.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    CanHandle h = CanOpenPort(port.c_str());
    if (h == CAN_INVALID_PORT) {
        std::fprintf(stderr, "dized-send: CanOpenPort(\"%s\") failed: port missing or in use\n", port.c_str());
        return 1;
    }
    uint32_t r;
    CanConfig config{};
    if ((r = CanGetConfig(h, &config))) Fail("CanGetConfig", r);
    if (timing >= 0) {
        config.bitTiming = static_cast<uint32_t>(timing);
        if ((r = CanSetConfig(h, &config))) Fail("CanSetConfig", r);
    }
    if (frames.size() > config.transmitQueueSize) {
        std::fprintf(stderr, "dized-send: %zu frames do not fit the transmit queue of %u\n", frames.size(),
                     config.transmitQueueSize);
        return 2;
    }
    if ((r = CanClearBuffer(h, CAN_CLEAR_TIME_BASE))) Fail("CanClearBuffer", r);
    if ((r = CanActivate(h))) Fail("CanActivate", r);
    int status = 0;
    for (long round = 0; round < rounds && !gStop; ++round) {
        if (round && gapMs) SleepMs(gapMs);
        if ((r = CanSendMessage(h, frames.data(), static_cast<uint32_t>(frames.size())))) Fail("CanSendMessage", r);
        // The queue drains as the frames go out; its completion records say when each went.
        CanStatus s{};
        long waited = 0;
        for (;; ++waited) {
            if ((r = CanGetStatus(h, &s))) Fail("CanGetStatus", r);
            if (s.transmitWaiting == 0 || gStop || waited >= kDrainLimitMs) break;
            SleepMs(1);
        }
        if (s.transmitWaiting != 0) {
            std::fprintf(stderr, "dized-send: %u frames still waiting after %ld ms (bus state: %s)\n",
                         s.transmitWaiting, kDrainLimitMs, BusStateName(s.busState));
            status = 1;
            break;
        }
        // The last frame may still be on the wire when the queue is empty: its record comes
        // once it has gone.
        std::size_t reported = 0;
        for (waited = 0; reported < frames.size() && !gStop && waited < kDrainLimitMs; ++waited) {
            CanMessage done[64];
            uint32_t n = 64;
            while ((r = CanGetCompletionMessage(h, done, &n)) == 0) {
                for (uint32_t i = 0; i < n && !quiet; ++i)
                    std::printf("%s sent at %u.%06u s\n", FormatFrame(done[i]).c_str(), done[i].time / 1000000,
                                done[i].time % 1000000);
                reported += n;
                n = 64;
            }
            if (r != CAN_ERR_NO_DATA) Fail("CanGetCompletionMessage", r);
            if (reported < frames.size()) SleepMs(1);
        }
    }
    if ((r = CanClosePort(h))) Fail("CanClosePort", r);
    return status;
}
