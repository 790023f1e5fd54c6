// SJA1000 stand-alone CAN controller in PeliCAN mode (datasheet section 6.4), reached only
// through its register window. The controller guards its state with its own lock and drives
// its interrupt output (active while any enabled interrupt is pending) after releasing it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "hw/can_bus.h"
#include "hw/clock.h"
#include "hw/interrupt_line.h"
#include "hw/register_window.h"

namespace hw {

// PeliCAN address layout (6.4.1).
inline constexpr uint8_t SJA_MOD = 0x00;
inline constexpr uint8_t SJA_CMR = 0x01;
inline constexpr uint8_t SJA_SR = 0x02;
inline constexpr uint8_t SJA_IR = 0x03;
inline constexpr uint8_t SJA_IER = 0x04;
inline constexpr uint8_t SJA_BTR0 = 0x06;
inline constexpr uint8_t SJA_BTR1 = 0x07;
inline constexpr uint8_t SJA_OCR = 0x08;
inline constexpr uint8_t SJA_ALC = 0x0B;
inline constexpr uint8_t SJA_ECC = 0x0C;
inline constexpr uint8_t SJA_EWLR = 0x0D;
inline constexpr uint8_t SJA_RXERR = 0x0E;
inline constexpr uint8_t SJA_TXERR = 0x0F;
inline constexpr uint8_t SJA_ACR0 = 0x10;  // reset mode: ACR0-3 at 0x10-0x13, AMR0-3 at 0x14-0x17
inline constexpr uint8_t SJA_AMR0 = 0x14;
inline constexpr uint8_t SJA_FRAME = 0x10;  // operating mode: transmit (write) / receive (read) buffer
inline constexpr uint8_t SJA_RMC = 0x1D;
inline constexpr uint8_t SJA_RBSA = 0x1E;
inline constexpr uint8_t SJA_CDR = 0x1F;
inline constexpr uint8_t SJA_RXFIFO = 0x20;  // 64 bytes of receive FIFO memory
inline constexpr uint8_t SJA_TXBUF = 0x60;   // 13 bytes of transmit buffer, read back

// Mode register (6.4.3).
inline constexpr uint8_t MOD_RM = 0x01;   // reset mode
inline constexpr uint8_t MOD_LOM = 0x02;  // listen only
inline constexpr uint8_t MOD_STM = 0x04;  // self test (no acknowledgement needed)
inline constexpr uint8_t MOD_AFM = 0x08;  // single acceptance filter
inline constexpr uint8_t MOD_SM = 0x10;   // sleep
// Command register (6.4.4).
inline constexpr uint8_t CMR_TR = 0x01;
inline constexpr uint8_t CMR_AT = 0x02;
inline constexpr uint8_t CMR_RRB = 0x04;
inline constexpr uint8_t CMR_CDO = 0x08;
inline constexpr uint8_t CMR_SRR = 0x10;
// Status register (6.4.5).
inline constexpr uint8_t SR_RBS = 0x01;
inline constexpr uint8_t SR_DOS = 0x02;
inline constexpr uint8_t SR_TBS = 0x04;
inline constexpr uint8_t SR_TCS = 0x08;
inline constexpr uint8_t SR_RS = 0x10;
inline constexpr uint8_t SR_TS = 0x20;
inline constexpr uint8_t SR_ES = 0x40;
inline constexpr uint8_t SR_BS = 0x80;
// Interrupt register and interrupt enable register (6.4.6, 6.4.7).
inline constexpr uint8_t IR_RI = 0x01;
inline constexpr uint8_t IR_TI = 0x02;
inline constexpr uint8_t IR_EI = 0x04;
inline constexpr uint8_t IR_DOI = 0x08;
inline constexpr uint8_t IR_WUI = 0x10;
inline constexpr uint8_t IR_EPI = 0x20;
inline constexpr uint8_t IR_ALI = 0x40;
inline constexpr uint8_t IR_BEI = 0x80;
// Frame information byte.
inline constexpr uint8_t FI_FF = 0x80;
inline constexpr uint8_t FI_RTR = 0x40;
inline constexpr uint8_t FI_DLC = 0x0F;

// Receive FIFO size, bytes (6.1.3).
inline constexpr unsigned kSjaRxFifoBytes = 64;
// Error warning limit after reset.
inline constexpr uint8_t kSjaDefaultEwl = 96;

class Sja1000 : public RegisterWindow, public CanBusPort {
public:
    // oscillator_hz: the crystal the bit timing divides (16 MHz on the boards of this suite).
    explicit Sja1000(Clock& clock, uint32_t oscillator_hz = 16000000);
    ~Sja1000() override;

    // The interrupt output; may be null (nothing connected).
    void ConnectInterrupt(InterruptLine* line);
    // Puts the controller on a bus (null takes it off).
    void AttachBus(CanBus* bus);
    // Power-on reset: every register to its reset value.
    void HardwareReset();

    uint32_t Length() const override { return 0x80; }
    uint32_t Read(uint32_t offset, unsigned width) override;
    void Write(uint32_t offset, uint32_t value, unsigned width) override;

    // CanBusPort
    uint64_t Service(uint64_t now_us) override;
    bool Pending(uint64_t now_us, CanFrame* frame) override;
    bool Acknowledging() override;
    void Receive(const CanFrame& frame, uint64_t now_us) override;
    void Transmitted(uint64_t now_us) override;
    void ArbitrationLost(unsigned bit, uint64_t now_us) override;
    void TransmitError(BusError error, uint64_t now_us) override;
    void ReceiveError(BusError error, uint64_t now_us) override;
    bool NeedsAcknowledgement() override;
    uint64_t BitTimeNs() override;

    // Level of the interrupt output as last driven.
    bool interrupt_asserted() const { return published_.load(); }

    // Bit time that bus timing registers give: tq = 2 (BRP + 1) / f_osc, one bit =
    // (1 + TSEG1 + 1 + TSEG2 + 1) tq (6.5.1, 6.5.2). Nanoseconds.
    static uint64_t BitTimeNsFor(uint8_t btr0, uint8_t btr1, uint32_t oscillator_hz);
    // Acceptance test of a frame against code and mask registers (6.4.15).
    static bool Accepts(const CanFrame& f, bool single_filter, const uint8_t acr[4], const uint8_t amr[4]);

protected:
    // Board logic around the controller. Every hook runs with mu_ held.
    virtual uint32_t BoardRead(uint32_t offset, unsigned width) { return 0xFFFFFFFFu; }
    virtual void BoardWrite(uint32_t offset, uint32_t value, unsigned width) {}
    // Level of the output line; the controller alone drives it from its interrupt register.
    virtual bool BoardLineLevel() const { return ControllerInterruptPending(); }
    // An accepted frame; true when the board stores it instead of the receive FIFO.
    virtual bool BoardTakesFrame(const CanFrame& frame, uint64_t now_us) { return false; }
    // Every interrupt cause the controller produces, whether enabled or not, with the error
    // code and arbitration-lost captures of that moment.
    virtual void BoardEvent(uint8_t causes, uint8_t ecc, uint8_t alc, uint64_t now_us) {}
    // A frame the board wants sent when the transmit buffer is idle.
    virtual bool BoardPending(uint64_t now_us, CanFrame* frame) { return false; }
    virtual void BoardTransmitted(uint64_t now_us) {}
    virtual void BoardTransmitFailed(uint64_t now_us) {}
    virtual uint64_t BoardService(uint64_t now_us) { return kNever; }
    // Controller left operating mode (reset mode or bus off).
    virtual void BoardStopped(uint64_t now_us) {}

    // Runs f with the model lock held, then drives the line and kicks the bus.
    template <class F>
    void Locked(F&& f);
    void KickLater() { kick_ = true; }
    bool ControllerInterruptPending() const;
    // The board reads the captures for its error FIFO, which re-arms them as a read would.
    void ReleaseCaptures() { alc_held_ = ecc_held_ = false; }
    bool Operating() const { return !(mod_ & MOD_RM) && !bus_off_ && !recovering_; }
    bool BusOff() const { return bus_off_; }
    bool InResetMode() const { return (mod_ & MOD_RM) != 0; }
    bool FastBus() const;
    uint8_t StatusByte() const;
    Clock& clock_;
    mutable std::mutex mu_;

private:
    uint8_t ReadByte(uint8_t a, uint64_t now);
    void WriteByte(uint8_t a, uint8_t v, uint64_t now);
    void Raise(uint8_t causes, uint64_t now);
    void EnterResetMode(uint64_t now);
    void LeaveResetMode(uint64_t now);
    void UpdateErrorState(uint64_t now);
    void CountTransmitError(uint64_t now);
    void CountReceiveError(uint64_t now);
    void StoreFrame(const CanFrame& f, uint64_t now);
    void ReleaseReceiveBuffer();
    void EnterBusOff(uint64_t now);
    void ReceiveLocked(const CanFrame& f, uint64_t now, bool own);
    CanFrame TxBufferFrame() const;
    void EndAttempt() { in_flight_ = false; }

    std::mutex line_mu_;  // orders line updates; taken before mu_, never after it
    std::atomic<bool> published_{false};
    InterruptLine* line_ = nullptr;
    std::atomic<CanBus*> bus_{nullptr};
    bool kick_ = false;
    uint32_t osc_hz_;

    uint8_t mod_ = MOD_RM;
    uint8_t ir_ = 0;  // latched causes except RI, which follows the FIFO
    uint8_t ier_ = 0;
    uint8_t btr0_ = 0, btr1_ = 0, ocr_ = 0, cdr_ = 0;
    uint8_t alc_ = 0, ecc_ = 0;
    bool alc_held_ = false, ecc_held_ = false;  // captured, not read yet
    uint8_t ewlr_ = kSjaDefaultEwl;
    unsigned txerr_ = 0, rxerr_ = 0;
    uint8_t acr_[4] = {}, amr_[4] = {};
    std::array<uint8_t, 13> txbuf_{};
    std::array<uint8_t, kSjaRxFifoBytes> rxram_{};
    unsigned rbsa_ = 0, rx_write_ = 0, rx_used_ = 0, rmc_ = 0;
    bool dos_ = false, tcs_ = true, es_ = false, passive_ = false;
    bool bus_off_ = false, recovering_ = false;
    uint64_t recovery_end_ = kNever;
    // Transmission request state of the transmit buffer.
    bool tr_pending_ = false, single_shot_ = false, self_rx_ = false, abort_requested_ = false;
    // An attempt the bus has taken (from the transmit buffer or the board).
    bool in_flight_ = false, in_flight_board_ = false;
    CanFrame in_flight_frame_{};
};

}  // namespace hw

namespace hw {

template <class F>
void Sja1000::Locked(F&& f) {
    std::unique_lock<std::mutex> pub(line_mu_);
    bool level, kick;
    {
        std::lock_guard<std::mutex> lk(mu_);
        f();
        level = BoardLineLevel();
        kick = kick_;
        kick_ = false;
    }
    if (line_ && level != published_.load()) line_->Set(level);
    published_.store(level);
    pub.unlock();
    if (kick) {
        if (CanBus* bus = bus_.load()) bus->Kick();
    }
}

}  // namespace hw
