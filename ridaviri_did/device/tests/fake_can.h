// A CAN bus for the transport tests: the CAN library's functions over a list of sensor nodes
// that answer at once or after a delay, and a tick that moves only when slept.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "ridaviri/sensor_protocol.h"
#include "ridaviri/transport_seams.h"

namespace ridaviri::testing {

class FakeTicks : public TransportTicks {
public:
    uint32_t Tick() override { return now; }
    void Sleep(uint32_t ms) override { now += ms; }
    uint32_t now = 1000;
};

struct FakeNode {
    uint32_t node = 0;
    SensorIdentity identity{'T', 0x9A, (4 << 10) | 1, 1};
    uint16_t idNumber = 0;
    uint8_t inputMode = 1;
    uint32_t raw = 250000;    // 25 °C
    uint8_t powerFrequency = 0;
    bool silent = false;      // answers nothing
    uint32_t delayMs = 0;     // reply delay
};

class FakeCan : public CanLibrary {
public:
    explicit FakeCan(FakeTicks& ticks) : ticks_(ticks) {}

    CanHandle OpenPort(const char* name) override;
    uint32_t ClosePort(CanHandle port) override;
    uint32_t SetConfig(CanHandle port, const CanConfig& config) override;
    uint32_t SetAcceptanceFilter(CanHandle port, uint32_t code, uint32_t mask) override;
    uint32_t GetStatus(CanHandle port, CanStatus* status) override;
    uint32_t Activate(CanHandle port) override;
    uint32_t Deactivate(CanHandle port) override;
    uint32_t ClearBuffer(CanHandle port, uint32_t flags) override;
    uint32_t SendMessage(CanHandle port, const CanMessage* messages, uint32_t count) override;
    uint32_t ReceiveMessage(CanHandle port, CanMessage* messages, uint32_t* count) override;

    // A frame that arrives as if sent by another device, at the current tick + delay.
    void Inject(uint32_t identifier, const WireBytes& data, uint32_t delayMs = 0);

    std::vector<FakeNode> nodes;
    std::vector<CanMessage> sent;  // every frame the program sent
    bool open = false;
    bool running = false;
    int opens = 0;
    CanConfig config{};
    uint32_t filterCode = 0, filterMask = 0xFFFFFFFF;
    bool failOpen = false;
    bool failClose = false;
    int failSends = 0;  // the next sends fail as with a full transmit queue

private:
    struct Pending {
        uint32_t due;
        CanMessage message;
    };
    bool Known(CanHandle port) const { return open && port == kHandle; }
    static constexpr CanHandle kHandle = 0x1234;
    FakeTicks& ticks_;
    std::deque<Pending> receive_;
};

}  // namespace ridaviri::testing
