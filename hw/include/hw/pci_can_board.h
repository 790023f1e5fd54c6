// The PCI CAN board: one PCI function per channel (configuration space with the board's
// identity, BAR0 = the channel's register window), an SJA1000 per channel at offsets
// 0x00-0x7F of its window, the board registers above it, and on the FIFO board the transmit,
// receive and error FIFOs, the cyclic transmitter and the 21-bit time base. All channels of a
// board share one interrupt line.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "hw/sja1000.h"

namespace hw {

// Board registers (byte offsets in a channel's window).
inline constexpr uint32_t BRD_MODE = 0x80;         // FIFO board: bit 0 FIFO logic on
inline constexpr uint32_t BRD_CHANNEL_INT = 0x84;  // bit n: channel n has its own interrupt
inline constexpr uint32_t BRD_CHANNEL_INDEX = 0x85;
inline constexpr uint32_t BRD_EVENT_ROUTE = 0x86;  // 1: this channel serves the board event
inline constexpr uint32_t BRD_SWITCH = 0x8F;
inline constexpr uint32_t BRD_CYC_MODE = 0xC0;
inline constexpr uint32_t BRD_INT_STATUS = 0xC4;  // 16 bits, read to clear
inline constexpr uint32_t BRD_INT_ENABLE = 0xC6;  // 16 bits (low byte 0xC6, high byte 0xC7)
inline constexpr uint32_t FIFO_TX_WINDOW = 0x100;
inline constexpr uint32_t FIFO_TX_COUNT = 0x110;
inline constexpr uint32_t FIFO_TX_RESET = 0x111;
inline constexpr uint32_t FIFO_TX_TRIGGER = 0x120;
inline constexpr uint32_t CYC_WINDOW = 0x140;
inline constexpr uint32_t CYC_STATUS = 0x160;
inline constexpr uint32_t CYC_RUN = 0x161;
inline constexpr uint32_t CYC_PERIOD = 0x164;
inline constexpr uint32_t FIFO_RX_WINDOW = 0x180;
inline constexpr uint32_t FIFO_RX_COUNT = 0x190;
inline constexpr uint32_t FIFO_RX_RESET = 0x191;
inline constexpr uint32_t FIFO_RX_TRIGGER_MODE = 0x192;
inline constexpr uint32_t FIFO_RX_TRIGGER_LEVEL = 0x193;
inline constexpr uint32_t TIMEBASE_CONTROL = 0x1A0;
inline constexpr uint32_t TIMEBASE = 0x1A4;
inline constexpr uint32_t FIFO_ERR_WINDOW = 0x1C0;
inline constexpr uint32_t FIFO_ERR_COUNT = 0x1D0;
inline constexpr uint32_t FIFO_ERR_RESET = 0x1D1;
inline constexpr uint32_t FIFO_ERR_TRIGGER_MODE = 0x1D2;
inline constexpr uint32_t FIFO_ERR_TRIGGER_LEVEL = 0x1D3;
inline constexpr uint32_t BRD_CONTROLLER_SETUP = 0x1E0;

// Interrupt status word bits.
inline constexpr uint16_t IS_TIMEBASE_OVERFLOW = 1u << 0;
inline constexpr uint16_t IS_BOARD_EVENT = 1u << 1;
inline constexpr uint16_t IS_ERROR_WARNING = 1u << 2;
inline constexpr uint16_t IS_DATA_OVERRUN = 1u << 3;
inline constexpr uint16_t IS_ERR_FIFO_LEVEL = 1u << 8;
inline constexpr uint16_t IS_ERR_FIFO_OVERFLOW = 1u << 9;
inline constexpr uint16_t IS_ERR_FIFO_ENTRY = 1u << 10;
inline constexpr uint16_t IS_RX_FIFO_LEVEL = 1u << 11;
inline constexpr uint16_t IS_RX_FIFO_ENTRY = 1u << 12;
inline constexpr uint16_t IS_CYCLIC_STOPPED = 1u << 13;
inline constexpr uint16_t IS_TX_DONE = 1u << 14;
inline constexpr uint16_t IS_TX_FIFO = 1u << 15;

// FIFO sizes, entries.
inline constexpr unsigned kTxFifoEntries = 64;
inline constexpr unsigned kRxFifoEntries = 128;
inline constexpr unsigned kErrFifoEntries = 64;
// Time base: 21 bits of 10 us steps.
inline constexpr uint32_t kTimebaseMask = 0x1FFFFF;
inline constexpr uint64_t kTimebaseStepUs = 10;
// Register window of one channel, bytes.
inline constexpr uint32_t kChannelWindowLength = 0x200;

// PCI configuration space offsets (type 0 header).
inline constexpr uint32_t PCI_VENDOR_ID = 0x00;
inline constexpr uint32_t PCI_DEVICE_ID = 0x02;
inline constexpr uint32_t PCI_COMMAND = 0x04;
inline constexpr uint32_t PCI_REVISION_ID = 0x08;
inline constexpr uint32_t PCI_CLASS_CODE = 0x09;  // 3 bytes: interface, sub-class, class
inline constexpr uint32_t PCI_LATENCY_TIMER = 0x0D;
inline constexpr uint32_t PCI_HEADER_TYPE = 0x0E;
inline constexpr uint32_t PCI_BAR0 = 0x10;
inline constexpr uint32_t PCI_SUBSYSTEM_VENDOR_ID = 0x2C;
inline constexpr uint32_t PCI_SUBSYSTEM_ID = 0x2E;
inline constexpr uint32_t PCI_INTERRUPT_LINE = 0x3C;
inline constexpr uint32_t PCI_INTERRUPT_PIN = 0x3D;
inline constexpr uint16_t PCI_COMMAND_MEMORY = 0x0002;
inline constexpr uint16_t PCI_COMMAND_MASTER = 0x0004;

inline constexpr uint16_t kBasicBoardDeviceId = 0x1C94;
inline constexpr uint16_t kFifoBoardDeviceId = 0x1C96;

struct PciCanBoardConfig {
    uint16_t vendor_id = 0x1B3E;
    uint16_t device_id = kFifoBoardDeviceId;  // 0x1C94: basic board; any other: FIFO board
    uint32_t class_code = 0x0C0900;           // serial bus controller, CAN bus
    uint8_t revision = 3;
    uint16_t subsystem_vendor_id = 0x1B3E;
    // Bit 13 set: board type in bits 10-12, model number in bits 0-6.
    uint16_t subsystem_id = 0x2402;
    unsigned channels = 2;                  // 1-4
    uint8_t board_switch = 0;               // rotary switch, register 0x8F
    uint8_t channel_interrupt_mask = 0xFE;  // register 0x84
    uint8_t interrupt_line = 11;            // configuration space 0x3C
    uint32_t bar0_base = 0xFEB00000;        // channel n's window at bar0_base + n * 0x1000
    uint32_t oscillator_hz = 16000000;
    bool fifo_board() const { return device_id != kBasicBoardDeviceId; }
};

class PciCanBoard;

// One channel: PCI function, register window and controller.
class PciCanChannel final : public Sja1000 {
public:
    PciCanChannel(Clock& clock, const PciCanBoardConfig& config, unsigned index);

    uint32_t Length() const override { return kChannelWindowLength; }
    // Accesses while memory decoding is off in the command register read all ones.
    uint32_t Read(uint32_t offset, unsigned width) override;
    void Write(uint32_t offset, uint32_t value, unsigned width) override;

    // Configuration space of the channel's PCI function.
    uint32_t ConfigRead(uint32_t offset, unsigned width);
    void ConfigWrite(uint32_t offset, uint32_t value, unsigned width);
    uint32_t window_base() const;
    unsigned index() const { return index_; }

    // The board event input (status bit 1).
    void RaiseBoardEvent();
    // A board taken out of its slot answers nothing: all ones on reads, line released.
    void SetPresent(bool present);
    // Test view of the interrupt status word without taking it.
    uint16_t PeekStatus();

protected:
    uint32_t BoardRead(uint32_t offset, unsigned width) override;
    void BoardWrite(uint32_t offset, uint32_t value, unsigned width) override;
    bool BoardLineLevel() const override;
    bool BoardTakesFrame(const CanFrame& frame, uint64_t now_us) override;
    void BoardEvent(uint8_t causes, uint8_t ecc, uint8_t alc, uint64_t now_us) override;
    bool BoardPending(uint64_t now_us, CanFrame* frame) override;
    void BoardTransmitted(uint64_t now_us) override;
    uint64_t BoardService(uint64_t now_us) override;
    void BoardStopped(uint64_t now_us) override;

private:
    bool FifoOn() const { return fifo_ && (board_mode_ & 1); }
    uint8_t ReadBoardByte(uint32_t offset, uint64_t now);
    void WriteBoardByte(uint32_t offset, uint8_t value, uint64_t now);
    uint32_t TimebaseValue(uint64_t now) const;
    void CheckOverflow(uint64_t now);
    void RestartTimebase(uint64_t now);
    void ParseTxBytes(uint64_t now);
    void HeadBecameReady(uint64_t now);
    void SignalTxTrigger();
    static uint8_t EntryHeaderBytes(uint8_t fi) { return static_cast<uint8_t>(1 + 3 + ((fi & FI_FF) ? 4 : 2)); }

    const PciCanBoardConfig cfg_;
    const unsigned index_;
    const bool fifo_;
    std::atomic<bool> memory_enabled_{false};
    std::atomic<bool> present_{true};
    uint8_t config_[256] = {};
    uint32_t bar0_ = 0;

    uint8_t board_mode_ = 0, event_route_ = 0, controller_setup_ = 0, timebase_control_ = 0;
    uint16_t status_ = 0, enable_ = 0;
    // Time base.
    uint64_t timebase_start_us_ = 0, wraps_seen_ = 0;
    // Transmit FIFO: raw bytes until an entry is complete, then entries.
    struct TxEntry {
        CanFrame frame;
        uint32_t delay = 0;  // 10 us steps before the entry may go
    };
    std::vector<uint8_t> tx_partial_;
    std::deque<TxEntry> tx_;
    uint64_t head_ready_us_ = 0;
    uint8_t tx_trigger_mode_ = 0;
    // Cyclic transmitter.
    uint8_t cyc_mode_ = 0;
    bool cyc_running_ = false;
    uint8_t cyc_window_[16] = {};
    uint32_t cyc_period_ = 0;
    uint64_t cyc_next_us_ = kNever;
    enum class TxSource { kNone, kFifo, kCyclic } tx_source_ = TxSource::kNone;
    // Receive and error FIFOs: whole entries; reads pop bytes of the front entry.
    std::deque<std::vector<uint8_t>> rx_, err_;
    size_t rx_read_ = 0, err_read_ = 0;
    uint8_t rx_trigger_mode_ = 0, rx_trigger_level_ = 4, err_trigger_mode_ = 0, err_trigger_level_ = 4;
};

class PciCanBoard {
public:
    PciCanBoard(Clock& clock, const PciCanBoardConfig& config);
    ~PciCanBoard();
    const PciCanBoardConfig& config() const { return cfg_; }
    unsigned channel_count() const { return static_cast<unsigned>(channels_.size()); }
    PciCanChannel& channel(unsigned i) { return *channels_.at(i); }
    // The board's interrupt line (shared by its channels).
    void ConnectInterrupt(InterruptLine* line);
    bool interrupt_asserted() const { return shared_.level(); }
    // Puts channel i on a bus (null: off the bus).
    void AttachChannel(unsigned i, CanBus* bus);
    // The board event input reaches every channel's status word.
    void RaiseBoardEvent();

private:
    PciCanBoardConfig cfg_;
    SharedLine shared_;
    std::vector<SharedLine::Source> sources_;
    std::vector<std::unique_ptr<PciCanChannel>> channels_;
};

}  // namespace hw
