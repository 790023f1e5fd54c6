// One CAN channel's state (the device extension) and the controller operations the request
// interface uses.
#pragma once

#include <atomic>

#include "can_common/can_records.h"
#include "kernel/wdm.h"
#include "registers.h"

namespace re7316 {

inline constexpr USHORT kBasicBoardDeviceId = 0x1C94;
inline constexpr USHORT kBusMasterDeviceId = 0x1C96;
inline constexpr ULONG kPoolTag = 'ZiDR';
inline constexpr ULONG kMinQueueSize = 64;

// A ring of fixed-size records; indexes are record numbers.
struct Ring {
    UCHAR* base = nullptr;
    ULONG size = 0;    // records
    ULONG record = 0;  // bytes per record
    ULONG read = 0;    // next to read (transmit queue: next to send)
    ULONG free = 0;    // next free
    ULONG count = 0;   // waiting
    void* At(ULONG i) const { return base + static_cast<SIZE_T>(i) * record; }
    ULONG Next(ULONG i) const { return i + 1 == size ? 0 : i + 1; }
    bool Full() const { return count == size; }
};

struct FifoTrigger {
    ULONG mode = 0;
    ULONG level = 4;
};

struct ChannelContext {
    PDEVICE_OBJECT self = nullptr, pdo = nullptr, lower = nullptr;
    std::atomic<LONG> notAccepting{1};
    std::atomic<LONG> outstanding{1};
    std::atomic<LONG> removing{0};
    KEVENT removeEvent;
    LONG openCount = 0;
    DEVICE_POWER_STATE powerState = PowerDeviceD3;
    Registers regs;
    PHYSICAL_ADDRESS registerPhysical{};
    // Memory ranges the bus assigned to the channel (its BARs); the first is the register window.
    struct Range {
        ULONGLONG start = 0;
        ULONG length = 0;
    } memory[6];
    ULONG memoryRanges = 0;
    // I/O port range of the channel, if the board decodes one (length 0: none).
    ULONG portStart = 0, portLength = 0;
    ULONG vector = 0;
    KIRQL level = 0;
    KINTERRUPT_MODE mode = LevelSensitive;
    KAFFINITY affinity = 0;
    PKINTERRUPT interrupt = nullptr;
    bool interruptConnected = false;
    CanPciInfo pci{};
    UCHAR configSpace[256]{};
    ULONG boardType = 0, channelInterrupt = 1, modelNumber = 0, channelIndex = 0;
    UNICODE_STRING interfaceName{};
    WCHAR deviceName[32]{};
    WCHAR linkName[32]{};
    UNICODE_STRING link{};
    bool linkCreated = false;
    ULONG slot = 0;
    bool removed = false;
    bool registryUpdated = false;         // on the notification thread only
    PVOID interfaceNotification = nullptr;  // registration for interface arrivals
    KSPIN_LOCK resizeLock;
    KSPIN_LOCK spare;
    PIRP pendingWait = nullptr;  // under the cancel spin lock
    LIST_ENTRY queuedEvents;     // under the cancel spin lock
    // ---- controller state (touched with the interrupt's lock held unless stopped)
    ULONG acceptanceCode = 0, acceptanceMask = 0xFFFFFFFF;
    ULONG busState = CAN_BUS_OFF;
    CanConfig config{};
    Ring tx, rx, err;
    ULONG completionRead = 0, completionCount = 0;
    bool slotsInUse = false;
    LONG inFlight = -1;  // transmit slot being sent, -1: none
    LONGLONG timeStartTicks = 0;
    ULONG tickLength = 0;  // 100 ns units
    ULONG eventWord = 0, eventMask = 0;
    bool transmitting = false, busOffRestart = false;
    bool controllerOpen = false;  // queues exist; read by the interrupt routine
    bool dpcBlocked = false;  // the interrupt is going away: no deferred procedure is queued
    // ---- FIFO board
    bool fifoBoard = false;
    FifoTrigger rxTrigger, errTrigger;
    ULONG txTriggerMode = 0;
    bool txTriggerEnable = false;
    ULONG overflowCount = 0;
};

inline ChannelContext* Ctx(PDEVICE_OBJECT d) { return static_cast<ChannelContext*>(d->DeviceExtension); }

// Controller operations. "Locked" ones expect the interrupt's lock to be held.
void ResetController(ChannelContext* c);
NTSTATUS OpenChannel(ChannelContext* c);
void CloseChannel(ChannelContext* c);
NTSTATUS ApplyConfig(ChannelContext* c, const CanConfig& cfg);
NTSTATUS ValidateConfig(const ChannelContext* c, const CanConfig& cfg);
void SetFilter(ChannelContext* c, ULONG code, ULONG mask);
bool Stopped(ChannelContext* c);
bool BusOff(ChannelContext* c);
void Activate(ChannelContext* c);
void Deactivate(ChannelContext* c);
void EnableInterrupts(ChannelContext* c);
void DisableInterrupts(ChannelContext* c);
// Queues all n messages and starts transmission, or queues none (false) when the transmit
// queue has fewer than n free places.
bool QueueMessages(ChannelContext* c, const CanMessage* messages, ULONG n);
ULONG ReadMessages(ChannelContext* c, CanMessage* out, ULONG max);
ULONG ReadErrors(ChannelContext* c, CanErrorRecord* out, ULONG max);
ULONG ReadCompletions(ChannelContext* c, CanMessage* out, ULONG max);
NTSTATUS Clear(ChannelContext* c, ULONG flags);
void GetStatus(ChannelContext* c, CanStatus* status);
void SetEventMask(ChannelContext* c, ULONG mask);
ULONG GetEventMask(ChannelContext* c);
BOOLEAN Isr(PKINTERRUPT interrupt, PVOID context);
void EventDpc(PKDPC dpc, PDEVICE_OBJECT device, PIRP irp, PVOID context);
// Wait and release (Part of the request interface; the cancel spin lock guards the slot).
NTSTATUS WaitForEvent(ChannelContext* c, PIRP irp);
void ReleaseWait(ChannelContext* c);
void CompletePendingWait(ChannelContext* c, NTSTATUS status);
void FreeQueuedEvents(ChannelContext* c);
// FIFO board
NTSTATUS SetFifoTrigger(ChannelContext* c, ULONG kind, ULONG mode, ULONG level);
NTSTATUS GetFifoTrigger(ChannelContext* c, ULONG kind, ULONG* mode, ULONG* level);
NTSTATUS CyclicSend(ChannelContext* c, const CanMessage& message);
NTSTATUS StopCyclicSend(ChannelContext* c);
bool CyclicOn(ChannelContext* c);
// The device key's description (registry.cpp) and the interface arrival that triggers it.
NTSTATUS UpdateRegistryDescription(ChannelContext* c);
NTSTATUS OnInterfaceChange(PVOID notification, PVOID context);

// Runs fn(c) with the interrupt's lock held (directly when no interrupt is connected).
template <typename F>
void Synchronized(ChannelContext* c, F fn) {
    struct Call {
        ChannelContext* c;
        F* fn;
    } call{c, &fn};
    auto thunk = [](PVOID p) -> BOOLEAN {
        auto* k = static_cast<Call*>(p);
        (*k->fn)(k->c);
        return TRUE;
    };
    if (c->interrupt)
        KeSynchronizeExecution(c->interrupt, thunk, &call);
    else
        thunk(&call);
}

}  // namespace re7316
