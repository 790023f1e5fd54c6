// A CAN bus with its own thread. Pending frames of all attached ports are arbitrated by
// identifier; the winner occupies the wire for the time its bits take at the sender's bit
// timing (no time in fast mode), is delivered to every other port, and is then acknowledged
// to the sender. A frame that nobody acknowledges gives the sender an acknowledgement error.
//
// Ports are called on the bus thread only and never with the bus lock held, so a port may
// take its own lock and call Kick() from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hw/can_frame.h"
#include "hw/clock.h"

namespace hw {

// Error kinds as the error code capture of a controller reports them (bits 7-6) with the
// frame segment in which they happened (bits 4-0).
struct BusError {
    uint8_t type = 0;     // 0 bit error, 1 form error, 2 stuff error, 3 other (acknowledgement)
    uint8_t segment = 0;  // 0x19 acknowledgement slot, 0x0A data field, ...
};
inline constexpr BusError kAckError{3, 0x19};
inline constexpr BusError kBitErrorInData{0, 0x0A};
inline constexpr BusError kStuffErrorInData{2, 0x0A};

class CanBusPort {
public:
    virtual ~CanBusPort() = default;
    // Timers: do what is due at now_us; returns the next time the port needs the bus thread.
    virtual uint64_t Service(uint64_t now_us) { return kNever; }
    // The frame the port would start sending now, if any. The same frame is offered again
    // until one of the outcome calls below ends the attempt.
    virtual bool Pending(uint64_t now_us, CanFrame* frame) = 0;
    // Whether the port would acknowledge a correctly received frame now.
    virtual bool Acknowledging() = 0;
    // A frame of another port, received without error.
    virtual void Receive(const CanFrame& frame, uint64_t now_us) = 0;
    // Outcomes of the port's own attempt.
    virtual void Transmitted(uint64_t now_us) = 0;
    virtual void ArbitrationLost(unsigned bit, uint64_t now_us) = 0;
    virtual void TransmitError(BusError error, uint64_t now_us) = 0;
    // An error frame seen while receiving another port's frame.
    virtual void ReceiveError(BusError error, uint64_t now_us) {}
    // False in a self-test mode: the port's frames count as sent without acknowledgement.
    virtual bool NeedsAcknowledgement() { return true; }
    // Bit time the port's timing registers give, in nanoseconds (0: the bus's nominal one).
    virtual uint64_t BitTimeNs() { return 0; }
};

class CanBus {
public:
    CanBus(Clock& clock, std::string name);
    ~CanBus();
    CanBus(const CanBus&) = delete;
    CanBus& operator=(const CanBus&) = delete;

    const std::string& name() const { return name_; }
    Clock& clock() { return clock_; }

    void Attach(CanBusPort* port);
    // After Detach returns the bus no longer calls the port (unless called on the bus thread).
    void Detach(CanBusPort* port);
    // Something changed at a port (a new frame, a new deadline): look again.
    void Kick();

    // Fast mode: frames take no wire time and ports skip their delays.
    void SetFastMode(bool fast);
    bool fast_mode() const;
    // Bit time used when a port does not give one, ns (8000 = 125 kbit/s).
    void SetNominalBitTimeNs(uint64_t ns);

    // The next `attempts` transmissions are destroyed: the sender sees a bit error, every
    // receiver a stuff error, and the frame is not delivered.
    void InjectErrorBurst(unsigned attempts);

    // Blocks until the bus has had nothing to do at the current time, looked at after this
    // call began (future deadlines do not count). False when `limit` of real time passed first.
    bool WaitIdle(std::chrono::milliseconds limit = std::chrono::milliseconds(5000));

    // Called on the bus thread for every frame that was delivered (tools, tests).
    void SetMonitor(std::function<void(const CanFrame&, uint64_t)> monitor);
    uint64_t frames_delivered() const;
    uint64_t error_frames() const;

    // Duration of a frame on the wire at the given bit time, microseconds (rounded up).
    static uint64_t WireTimeUs(const CanFrame& frame, uint64_t bit_ns);

private:
    void Run();
    bool OnBusThread() const { return std::this_thread::get_id() == thread_.get_id(); }

    Clock& clock_;
    std::string name_;
    mutable std::mutex mu_;
    std::condition_variable cv_;       // the bus thread waits here
    std::condition_variable idle_cv_;  // WaitIdle and Detach wait here
    std::vector<CanBusPort*> ports_;
    bool stop_ = false;
    bool kicked_ = false;
    bool busy_ = false;
    uint64_t request_seq_ = 0;  // WaitIdle requests
    uint64_t idle_seq_ = 0;     // the last request seen idle
    bool fast_ = false;
    uint64_t nominal_bit_ns_ = 8000;
    unsigned inject_ = 0;
    uint64_t delivered_ = 0;
    uint64_t error_frames_ = 0;
    std::function<void(const CanFrame&, uint64_t)> monitor_;
    struct KickHandle {
        std::mutex mu;
        CanBus* bus = nullptr;
    };
    std::shared_ptr<KickHandle> kick_handle_;
    std::thread thread_;
};

}  // namespace hw
