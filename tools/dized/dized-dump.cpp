// dized-dump: shows what a CAN port receives: frames with their time stamps, error records
// with the error-code capture decoded, and changes of the bus state. With -L it writes the
// log format of the Linux CAN utilities (canplayer, log2asc, ...), errors as error frames.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dized.h"
#include "frames.h"

using namespace dizedtool;

namespace {

constexpr const char* kUsage = R"(Usage: dized-dump [options]
Shows what a CAN port receives until interrupted (Ctrl+C), -n frames arrived or -t seconds
passed: frames with time stamps, error records (error code capture decoded into type,
direction and frame segment), and changes of the bus state.

Options:
  -p PORT     port name, at most 11 characters (default DIZED1)
  -L          write the log format of the Linux CAN utilities: "(seconds.micro) PORT 123#DEADBEEF";
              error records and bus-state changes become error frames (identifier 2xxxxxxx)
  -n COUNT    stop after COUNT frames (1 to 2147483647)
  -t SECONDS  stop after SECONDS seconds (0 to 2147483)
  -b TIMING   bit timing as hex (bus timing 0 in bits 15-8, 1 in bits 7-0; default 053A,
              80004B23 gives 4B/23 unchanged)
  -l          listen only: receive without acknowledging or sending
  -s FRAME    send FRAME (123#DEADBEEF, 12345678#R) once the port is running; repeatable
  -h          this text

Examples:
  dized-dump -p DIZED1
  dized-dump -p DIZED1 -L -t 10 > bus.log && log2asc -I bus.log DIZED1 > bus.asc
  dized-dump -p DIZED1 -n 3 -s 00000001#0009000200000000    (ask every sensor unit for its ID)
  dized-dump -p DIZED2 -b 80004B23 -l
)";

// Largest -n, and largest -t (its milliseconds stay within 31 bits).
constexpr long kMaxCount = 2147483647;
constexpr long kMaxSeconds = 2147483;

volatile sig_atomic_t gStop = 0;
void OnSignal(int) { gStop = 1; }

[[noreturn]] void Fail(const char* call, uint32_t result) {
    std::fprintf(stderr, "dized-dump: %s failed: 0x%08X %s\n", call, result, ResultName(result));
    std::exit(1);
}

// Log-file error frames, as the Linux CAN error frames carry them.
constexpr uint32_t kErrFlag = 0x20000000, kErrLostArb = 0x02, kErrCtrl = 0x04, kErrProt = 0x08, kErrAck = 0x20,
                   kErrBusOff = 0x40, kErrBusError = 0x80;
constexpr uint8_t kCtrlRxOverflow = 0x01, kCtrlRxWarning = 0x04, kCtrlTxWarning = 0x08, kCtrlRxPassive = 0x10,
                  kCtrlTxPassive = 0x20, kProtBit = 0x01, kProtForm = 0x02, kProtStuff = 0x04, kProtTx = 0x80;
constexpr uint32_t kAckSlot = 0x19;

class Dumper {
public:
    Dumper(std::string port, bool log) : port_(std::move(port)), log_(log) {
        timeval now;
        gettimeofday(&now, nullptr);
        base_ = static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_usec);
    }
    void Frame(const CanMessage& m) {
        if (log_) {
            std::printf("%s %s %s\n", Stamp(m.time).c_str(), port_.c_str(), FormatFrame(m).c_str());
            return;
        }
        uint32_t length = m.length & 0x0F;
        if (length > 8) length = 8;
        std::string id = FormatFrame(m);
        id = id.substr(0, id.find('#'));
        std::printf("%s %s  %8s  [%u] ", Stamp(m.time).c_str(), port_.c_str(), id.c_str(), m.length & 0x0F);
        if (m.remote & 1)
            std::printf(" remote request");
        else
            for (uint32_t i = 0; i < length; ++i) std::printf(" %02X", m.data[i]);
        std::printf("\n");
    }
    void Error(const CanErrorRecord& r, const CanStatus& s) {
        if (log_) {
            uint8_t d[8] = {};
            uint32_t id = kErrFlag;
            if (r.flags & 0x80) {
                ErrorCode e = DecodeErrorCode(r.errorCodeCapture);
                id |= kErrProt | kErrBusError;
                static const uint8_t kType[4] = {kProtBit, kProtForm, kProtStuff, 0};
                d[2] = static_cast<uint8_t>(kType[(r.errorCodeCapture >> 6) & 3] | (e.receiving ? 0 : kProtTx));
                d[3] = static_cast<uint8_t>(r.errorCodeCapture & 0x1F);
                if ((r.errorCodeCapture & 0x1F) == kAckSlot) id |= kErrAck;
            }
            if (r.flags & 0x40) {
                id |= kErrLostArb;
                d[0] = static_cast<uint8_t>(r.arbitrationLostCapture & 0x1F);
            }
            if (r.flags & 0x08) {
                id |= kErrCtrl;
                d[1] |= kCtrlRxOverflow;
            }
            if (r.flags & 0x04) {
                id |= kErrCtrl;
                d[1] |= s.transmitErrorCounter >= 96 ? kCtrlTxWarning : kCtrlRxWarning;
            }
            if (r.flags & 0x20) {
                id |= kErrCtrl;
                d[1] |= s.transmitErrorCounter >= 128 ? kCtrlTxPassive : kCtrlRxPassive;
            }
            d[6] = static_cast<uint8_t>(s.transmitErrorCounter > 255 ? 255 : s.transmitErrorCounter);
            d[7] = static_cast<uint8_t>(s.receiveErrorCounter > 255 ? 255 : s.receiveErrorCounter);
            ErrorFrame(r.time, id, d);
            return;
        }
        std::printf("%s %s  ERROR flags=0x%02X", Stamp(r.time).c_str(), port_.c_str(), r.flags);
        if (r.flags & 0x80) {
            ErrorCode e = DecodeErrorCode(r.errorCodeCapture);
            std::printf(" bus error: %s while %s, %s (capture 0x%02X)", e.type, e.receiving ? "receiving" : "transmitting",
                        e.segment, r.errorCodeCapture);
        }
        if (r.flags & 0x40) std::printf(" arbitration lost at bit %u", r.arbitrationLostCapture & 0x1F);
        if (r.flags & 0x20) std::printf(" error passive change");
        if (r.flags & 0x08) std::printf(" data overrun");
        if (r.flags & 0x04) std::printf(" error warning");
        std::printf("\n");
    }
    void BusState(uint32_t from, const CanStatus& s) {
        if (log_) {
            uint8_t d[8] = {};
            uint32_t id = kErrFlag;
            if (s.busState == CAN_BUS_OFF) id |= kErrBusOff;
            if (s.busState == CAN_BUS_ERROR_PASSIVE) {
                id |= kErrCtrl;
                d[1] = s.transmitErrorCounter >= 128 ? kCtrlTxPassive : kCtrlRxPassive;
            }
            d[6] = static_cast<uint8_t>(s.transmitErrorCounter > 255 ? 255 : s.transmitErrorCounter);
            d[7] = static_cast<uint8_t>(s.receiveErrorCounter > 255 ? 255 : s.receiveErrorCounter);
            if (id != kErrFlag) ErrorFrame(lastTime_, id, d);
            return;
        }
        std::printf("%s %s  BUS %s -> %s (transmit errors %u, receive errors %u)\n", Stamp(lastTime_).c_str(),
                    port_.c_str(), BusStateName(from), BusStateName(s.busState), s.transmitErrorCounter,
                    s.receiveErrorCounter);
    }

private:
    void ErrorFrame(uint32_t time, uint32_t id, const uint8_t d[8]) {
        std::printf("%s %s %08X#", Stamp(time).c_str(), port_.c_str(), id);
        for (int i = 0; i < 8; ++i) std::printf("%02X", d[i]);
        std::printf("\n");
    }
    // Wall-clock seconds of a time stamp: the port's time base restarted at `base_`; the
    // 32-bit microsecond count wraps after about 71 minutes.
    std::string Stamp(uint32_t time) {
        if (time < lastTime_ && lastTime_ - time > 0x80000000u) wraps_ += 1ull << 32;
        lastTime_ = time;
        uint64_t us = base_ + wraps_ + time;
        char buf[40];
        std::snprintf(buf, sizeof buf, "(%010llu.%06llu)", static_cast<unsigned long long>(us / 1000000),
                      static_cast<unsigned long long>(us % 1000000));
        return buf;
    }
    std::string port_;
    bool log_;
    uint64_t base_ = 0, wraps_ = 0;
    uint32_t lastTime_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    std::string port = "DIZED1";
    bool log = false, listenOnly = false;
    long count = -1, seconds = -1;
    long long timing = -1;
    std::vector<CanMessage> toSend;
    int opt;
    while ((opt = getopt(argc, argv, "p:Ln:t:b:ls:h")) != -1) {
        std::string error;
        char* end = nullptr;
        switch (opt) {
        case 'p': port = optarg; break;
        case 'L': log = true; break;
        case 'n':
        case 't':
            if (!ParseCount(optarg, opt == 'n' ? 1 : 0, opt == 'n' ? kMaxCount : kMaxSeconds,
                            opt == 'n' ? &count : &seconds)) {
                std::fprintf(stderr, "dized-dump: bad value for -%c: %s (%s)\n", opt, optarg,
                             opt == 'n' ? "1 to 2147483647 frames" : "0 to 2147483 seconds");
                return 2;
            }
            break;
        case 'b': timing = std::strtoll(optarg, &end, 16); break;
        case 'l': listenOnly = true; break;
        case 's': {
            CanMessage m;
            if (!ParseFrame(optarg, &m, &error)) {
                std::fprintf(stderr, "dized-dump: %s\n", error.c_str());
                return 2;
            }
            toSend.push_back(m);
            break;
        }
        case 'h': std::fputs(kUsage, stdout); return 0;
        default: std::fputs(kUsage, stderr); return 2;
        }
        if (end && (*end || end == optarg || timing < 0 || timing > 0xFFFFFFFFLL)) {
            std::fprintf(stderr, "dized-dump: bad value for -%c: %s\n", opt, optarg);
            return 2;
        }
    }
    if (optind != argc || port.empty() || port.size() > 11) {
        std::fputs(port.size() > 11 ? "dized-dump: port name longer than 11 characters\n" : kUsage, stderr);
        return 2;
    }
    if (listenOnly && !toSend.empty()) {
        std::fputs("dized-dump: -l and -s exclude each other (a listening port does not send)\n", stderr);
        return 2;
    }
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    // Notifications arrive as window messages on a pipe that the loop below polls.
    int wake[2];
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("dized-dump: pipe");
        return 1;
    }
    CanHandle h = CanOpenPort(port.c_str());
    if (h == CAN_INVALID_PORT) {
        std::fprintf(stderr, "dized-dump: CanOpenPort(\"%s\") failed: port missing or in use\n", port.c_str());
        return 1;
    }
    uint32_t r;
    if (timing >= 0 || listenOnly) {
        CanConfig c{};
        if ((r = CanGetConfig(h, &c))) Fail("CanGetConfig", r);
        if (timing >= 0) c.bitTiming = static_cast<uint32_t>(timing);
        if (listenOnly) c.mode |= 1;
        if ((r = CanSetConfig(h, &c))) Fail("CanSetConfig", r);
    }
    CanEventSetting setting{};
    setting.window = CAN_WINDOW_FROM_FD(wake[1]);
    setting.message = 1;
    if ((r = CanSetEvent(h, &setting))) Fail("CanSetEvent", r);
    if ((r = CanSetEventMask(h, CAN_EVENT_RECEIVE | CAN_EVENT_ERROR | CAN_EVENT_BUS_STATE | CAN_EVENT_RECEIVE_QUEUE_FULL |
                                    CAN_EVENT_ERROR_QUEUE_FULL | CAN_EVENT_DATA_OVERRUN)))
        Fail("CanSetEventMask", r);
    Dumper dump(port, log);
    if ((r = CanClearBuffer(h, CAN_CLEAR_TIME_BASE))) Fail("CanClearBuffer", r);
    if ((r = CanActivate(h))) Fail("CanActivate", r);
    // Changes are reported from the state the running port starts in.
    CanStatus status{};
    if ((r = CanGetStatus(h, &status))) Fail("CanGetStatus", r);
    uint32_t busState = status.busState;
    if (!toSend.empty() && (r = CanSendMessage(h, toSend.data(), static_cast<uint32_t>(toSend.size()))))
        Fail("CanSendMessage", r);
    long frames = 0;
    const long deadlineMs = seconds >= 0 ? seconds * 1000 : -1;
    long elapsedMs = 0;
    while (!gStop && (count < 0 || frames < count) && (deadlineMs < 0 || elapsedMs < deadlineMs)) {
        // Read on every turn too: the arrival bits come only on the change from empty.
        pollfd p{wake[0], POLLIN, 0};
        poll(&p, 1, 100);
        elapsedMs += 100;
        CanWindowMessage posted;
        while (read(wake[0], &posted, sizeof posted) > 0) {
        }
        CanMessage m[64];
        uint32_t n = 64;
        while ((count < 0 || frames < count) && (r = CanReceiveMessage(h, m, &n)) == 0) {
            for (uint32_t i = 0; i < n && (count < 0 || frames < count); ++i, ++frames) dump.Frame(m[i]);
            n = 64;
        }
        if (r != 0 && r != CAN_ERR_NO_DATA) Fail("CanReceiveMessage", r);
        if ((r = CanGetStatus(h, &status))) Fail("CanGetStatus", r);
        CanErrorRecord e[16];
        n = 16;
        while ((r = CanGetErrorEvent(h, e, &n)) == 0) {
            for (uint32_t i = 0; i < n; ++i) dump.Error(e[i], status);
            n = 16;
        }
        if (r != CAN_ERR_NO_DATA) Fail("CanGetErrorEvent", r);
        if (status.busState != busState) {
            dump.BusState(busState, status);
            busState = status.busState;
        }
        std::fflush(stdout);
    }
    if ((r = CanClosePort(h))) Fail("CanClosePort", r);
    close(wake[0]);
    close(wake[1]);
    return 0;
}
