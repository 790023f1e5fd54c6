#include "fake_can.h"

#include <algorithm>
#include <cstring>

namespace ridaviri::testing {
namespace {

constexpr uint32_t kQueueFull = 0xC0000007u;
constexpr uint32_t kWrongState = 0xC0000009u;
constexpr uint32_t kInvalidHandle = 0xC000000Au;

}  // namespace

CanHandle FakeCan::OpenPort(const char* name) {
    if (failOpen || open || std::strcmp(name, "DIZED1") != 0) return kCanOpenFailed;
    open = true;
    running = false;
    ++opens;
    filterCode = 0;
    filterMask = 0xFFFFFFFF;
    receive_.clear();
    return kHandle;
}

uint32_t FakeCan::ClosePort(CanHandle port) {
    if (!Known(port)) return kInvalidHandle;
    if (failClose) return 0xC0000001u;
    open = running = false;
    return kCanOk;
}

uint32_t FakeCan::SetConfig(CanHandle port, const CanConfig& c) {
    if (!Known(port)) return kInvalidHandle;
    if (running) return kWrongState;
    config = c;
    return kCanOk;
}

uint32_t FakeCan::SetAcceptanceFilter(CanHandle port, uint32_t code, uint32_t mask) {
    if (!Known(port)) return kInvalidHandle;
    if (running) return kWrongState;
    filterCode = code;
    filterMask = mask;
    return kCanOk;
}

uint32_t FakeCan::GetStatus(CanHandle port, CanStatus* status) {
    if (!Known(port)) return kInvalidHandle;
    *status = CanStatus{running ? kCanStateRunning : kCanStateStopped, 0, static_cast<uint32_t>(receive_.size()), 0, 0, 0};
    return kCanOk;
}

uint32_t FakeCan::Activate(CanHandle port) {
    if (!Known(port)) return kInvalidHandle;
    if (running) return kWrongState;
    running = true;
    return kCanOk;
}

uint32_t FakeCan::Deactivate(CanHandle port) {
    if (!Known(port)) return kInvalidHandle;
    if (!running) return kWrongState;
    running = false;
    return kCanOk;
}

uint32_t FakeCan::ClearBuffer(CanHandle port, uint32_t flags) {
    if (!Known(port)) return kInvalidHandle;
    if (flags & 0x10) receive_.clear();
    return kCanOk;
}

void FakeCan::Inject(uint32_t identifier, const WireBytes& data, uint32_t delayMs) {
    CanMessage m{};
    m.length = 8;
    m.identifier = identifier;
    std::memcpy(m.data, data.data(), 8);
    receive_.push_back({ticks_.now + delayMs, m});
    std::stable_sort(receive_.begin(), receive_.end(), [](const Pending& a, const Pending& b) { return a.due < b.due; });
}

uint32_t FakeCan::SendMessage(CanHandle port, const CanMessage* messages, uint32_t count) {
    if (!Known(port)) return kInvalidHandle;
    if (!running) return kWrongState;
    if (failSends > 0) {
        --failSends;
        return kQueueFull;
    }
    for (uint32_t k = 0; k < count; ++k) {
        const CanMessage& m = messages[k];
        sent.push_back(m);
        if (!(m.identifier & kCanRequest)) continue;
        const uint32_t target = CanNodeOfIdentifier(m.identifier);
        WireBytes wire;
        std::memcpy(wire.data(), m.data, 8);
        const SensorCommand c = DecodeCommand(wire);
        for (FakeNode& n : nodes) {
            if (n.silent || (target != 0 && target != n.node)) continue;
            const bool addressed = target != 0;
            const uint32_t id = kCanExtended | (n.node << kCanNodeShift);
            switch (c.code) {
            case kCmdSetClock:
            case kCmdClockFollowUp:
                if (addressed) Inject(id, wire, n.delayMs);
                break;
            case kCmdSetIdNumber:
                if (addressed) {
                    n.idNumber = c.word1;
                    WireBytes r{0, kCmdSetIdNumber, 2, 0, static_cast<uint8_t>(c.word1 >> 8), static_cast<uint8_t>(c.word1), 0, 0};
                    Inject(id, r, n.delayMs);
                }
                break;
            case kCmdReadMeasurement: Inject(id, EncodeMeasurementReply(n.raw), n.delayMs); break;
            case kCmdReadInfo:
                switch (c.word1) {
                case kInfoIdentity: Inject(id, EncodeIdentityReply(n.identity), n.delayMs); break;
                case kInfoIdNumber: Inject(id, EncodeWordReply(kCmdReadInfo, n.idNumber), n.delayMs); break;
                case kInfoInputMode: Inject(id, EncodeWordReply(kCmdReadInfo, n.inputMode), n.delayMs); break;
                case kInfoPowerFrequency: Inject(id, EncodeWordReply(kCmdReadInfo, n.powerFrequency), n.delayMs); break;
                default: break;
                }
                break;
            case kCmdSetPowerFrequency: n.powerFrequency = static_cast<uint8_t>(c.word1); break;
            default: break;
            }
        }
    }
    return kCanOk;
}

uint32_t FakeCan::ReceiveMessage(CanHandle port, CanMessage* messages, uint32_t* count) {
    if (!Known(port)) return kInvalidHandle;
    if (*count == 0) return 0xC0000004u;
    uint32_t n = 0;
    while (n < *count && !receive_.empty() && receive_.front().due <= ticks_.now) {
        messages[n++] = receive_.front().message;
        receive_.pop_front();
    }
    if (n == 0) return kCanErrNoData;
    *count = n;
    return kCanOk;
}

}  // namespace ridaviri::testing
