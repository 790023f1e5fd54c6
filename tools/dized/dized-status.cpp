// dized-status: the configuration, bus state, queue counts, error counters and board identity
// of CAN ports. A port can have only one user: a port that another program holds open is
// reported as busy. Opening a port resets its controller, so what is shown is the state right
// after the open.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dized.h"
#include "frames.h"

using namespace dizedtool;

namespace {

constexpr const char* kUsage = R"(Usage: dized-status [-p PORT]... [-h]
Shows, for each port given (default: every port DIZED1 to DIZED16 that opens), its board
(PCI identity), configuration, acceptance filter, event mask, bus state, queue counts and
error counters. A port that another program has open cannot be opened and is reported busy.

Options:
  -p PORT     port name, at most 11 characters; repeatable
  -h          this text

Examples:
  dized-status
  dized-status -p DIZED1
  dized-status -p DIZED1 -p DIZED2
)";

// Port numbers tried when no port is named.
constexpr int kPortsTried = 16;

bool Show(const std::string& port, bool named) {
    CanHandle h = CanOpenPort(port.c_str());
    if (h == CAN_INVALID_PORT) {
        if (named) std::printf("%s: missing or busy (CanOpenPort failed)\n", port.c_str());
        return false;
    }
    std::printf("%s\n", port.c_str());
    uint32_t p[14];
    uint32_t r = CanCommonGetPciDeviceInfo(h, &p[0], &p[1], &p[2], &p[3], &p[4], &p[5], &p[6], &p[7], &p[8], &p[9],
                                           &p[10], &p[11], &p[12], &p[13]);
    if (r == 0)
        std::printf("  board         device %04X vendor %04X (%s), class %06X, revision %u, subsystem %04X/%04X,\n"
                    "                BAR0 %08X, interrupt line %u, switch %02X\n",
                    p[0], p[1], p[0] == 0x1C94 ? "basic board" : "board with hardware FIFOs", p[2], p[3], p[10],
                    p[11], p[4], p[12], p[13]);
    else
        std::printf("  board         CanCommonGetPciDeviceInfo failed: 0x%08X %s\n", r, ResultName(r));
    CanConfig c{};
    if ((r = CanGetConfig(h, &c)) == 0)
        std::printf("  configuration mode %08X%s, %s filter, queues transmit %u receive %u errors %u,\n"
                    "                error warning limit %u, bit timing %08X\n",
                    c.mode, (c.mode & 1) ? " (listen only)" : "", c.filterMode ? "single" : "dual",
                    c.transmitQueueSize, c.receiveQueueSize, c.errorQueueSize, c.errorWarningLimit, c.bitTiming);
    else
        std::printf("  configuration CanGetConfig failed: 0x%08X %s\n", r, ResultName(r));
    uint32_t code = 0, mask = 0, events = 0;
    if ((r = CanGetAcceptanceFilter(h, &code, &mask)) == 0)
        std::printf("  filter        code %08X mask %08X\n", code, mask);
    if ((r = CanGetEventMask(h, &events)) == 0) std::printf("  event mask    %04X\n", events);
    CanStatus s{};
    if ((r = CanGetStatus(h, &s)) == 0)
        std::printf("  bus state     %u (%s)\n  waiting       transmit %u, receive %u, errors %u\n"
                    "  error counters transmit %u, receive %u\n",
                    s.busState, BusStateName(s.busState), s.transmitWaiting, s.receiveWaiting, s.errorsWaiting,
                    s.transmitErrorCounter, s.receiveErrorCounter);
    else
        std::printf("  status        CanGetStatus failed: 0x%08X %s\n", r, ResultName(r));
    if ((r = CanClosePort(h)) != 0) {
        std::fprintf(stderr, "dized-status: CanClosePort(%s) failed: 0x%08X %s\n", port.c_str(), r, ResultName(r));
        std::exit(1);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> ports;
    int opt;
    while ((opt = getopt(argc, argv, "p:h")) != -1) {
        switch (opt) {
        case 'p':
            if (std::string(optarg).empty() || std::string(optarg).size() > 11) {
                std::fprintf(stderr, "dized-status: port name must have 1 to 11 characters: %s\n", optarg);
                return 2;
            }
            ports.push_back(optarg);
            break;
        case 'h': std::fputs(kUsage, stdout); return 0;
        default: std::fputs(kUsage, stderr); return 2;
        }
    }
    if (optind != argc) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    int shown = 0;
    if (ports.empty()) {
        for (int n = 1; n <= kPortsTried; ++n) shown += Show("DIZED" + std::to_string(n), false);
        if (!shown) std::printf("no port opens (no board, or every port in use)\n");
    } else {
        for (const std::string& p : ports) shown += Show(p, true);
    }
    if (ports.empty()) return shown ? 0 : 1;
    return shown == static_cast<int>(ports.size()) ? 0 : 1;
}
