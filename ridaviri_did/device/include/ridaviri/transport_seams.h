// What the transports need from outside the program: the millisecond tick with sleeping, and
// the ten functions of the CAN library they call. The program uses the system tick and the
// CAN library; tests put a tick that moves only when slept and a bus of their own in place.
#pragma once

#include <cstdint>

#include "can_common/can_records.h"

namespace ridaviri {

class TransportTicks {
public:
    virtual ~TransportTicks() = default;
    // Milliseconds from a tick counter; elapsed time is the unsigned difference of two readings.
    virtual uint32_t Tick() = 0;
    virtual void Sleep(uint32_t ms) = 0;
};

// timeGetTime and a real sleep.
class SystemTicks final : public TransportTicks {
public:
    uint32_t Tick() override;
    void Sleep(uint32_t ms) override;
};

// A port handle of the CAN library; all bits set is the failed open.
using CanHandle = std::uintptr_t;
inline constexpr CanHandle kCanOpenFailed = ~CanHandle{0};

// Result codes of the CAN library that the transports look at.
inline constexpr uint32_t kCanOk = 0;
inline constexpr uint32_t kCanErrNoData = 0xC0000008u;
inline constexpr uint32_t kCanErrDeviceBusy = 0xC000000Cu;

// Controller states of CanStatus::busState that the transports act on.
inline constexpr uint32_t kCanStateRunning = 1;  // error active: deactivate before clearing
inline constexpr uint32_t kCanStateStopped = 4;  // stopped (or bus off): activate

// The CAN library's functions as the transports call them (0 = success, else a result code).
class CanLibrary {
public:
    virtual ~CanLibrary() = default;
    virtual CanHandle OpenPort(const char* name) = 0;
    virtual uint32_t ClosePort(CanHandle port) = 0;
    virtual uint32_t SetConfig(CanHandle port, const CanConfig& config) = 0;
    virtual uint32_t SetAcceptanceFilter(CanHandle port, uint32_t code, uint32_t mask) = 0;
    virtual uint32_t GetStatus(CanHandle port, CanStatus* status) = 0;
    virtual uint32_t Activate(CanHandle port) = 0;
    virtual uint32_t Deactivate(CanHandle port) = 0;
    virtual uint32_t ClearBuffer(CanHandle port, uint32_t flags) = 0;
    virtual uint32_t SendMessage(CanHandle port, const CanMessage* messages, uint32_t count) = 0;
    virtual uint32_t ReceiveMessage(CanHandle port, CanMessage* messages, uint32_t* count) = 0;
};

}  // namespace ridaviri

namespace ridaviri {

// The CAN library itself (libdized.so).
class DizedLibrary final : public CanLibrary {
public:
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
};

}  // namespace ridaviri
