// Register map of one channel's window: the SJA1000 in PeliCAN mode at 0x00-0x7F (datasheet
// "SJA1000 Stand-alone CAN controller", PeliCAN mode address layout) and the board's
// registers above it. Offsets are bytes from the mapped base; accesses are single bytes
// unless a width is given.
#pragma once

#include "kernel/wdm.h"

namespace re7316 {

// ---- SJA1000 PeliCAN registers (datasheet: PeliCAN address allocation table)
inline constexpr ULONG REG_MOD = 0x00;   // mode
inline constexpr ULONG REG_CMR = 0x01;   // command, write only
inline constexpr ULONG REG_SR = 0x02;    // status
inline constexpr ULONG REG_IR = 0x03;    // interrupt, read clears
inline constexpr ULONG REG_IER = 0x04;   // interrupt enable
inline constexpr ULONG REG_BTR0 = 0x06;  // bus timing 0
inline constexpr ULONG REG_BTR1 = 0x07;  // bus timing 1
inline constexpr ULONG REG_OCR = 0x08;   // output control
inline constexpr ULONG REG_ALC = 0x0B;   // arbitration lost capture
inline constexpr ULONG REG_ECC = 0x0C;   // error code capture
inline constexpr ULONG REG_EWLR = 0x0D;  // error warning limit
inline constexpr ULONG REG_RXERR = 0x0E; // receive error counter
inline constexpr ULONG REG_TXERR = 0x0F; // transmit error counter
inline constexpr ULONG REG_ACR0 = 0x10;  // acceptance code 0-3, reset mode
inline constexpr ULONG REG_AMR0 = 0x14;  // acceptance mask 0-3, reset mode
inline constexpr ULONG REG_FRAME = 0x10; // frame information, operating mode
inline constexpr ULONG REG_CDR = 0x1F;   // clock divider

// MOD bits
inline constexpr UCHAR MOD_RM = 0x01;   // reset mode
inline constexpr UCHAR MOD_LOM = 0x02;  // listen only
inline constexpr UCHAR MOD_AFM = 0x08;  // single acceptance filter
// CMR bits
inline constexpr UCHAR CMR_TR = 0x01;   // transmission request
inline constexpr UCHAR CMR_RRB = 0x04;  // release receive buffer
inline constexpr UCHAR CMR_CDO = 0x08;  // clear data overrun
// SR bits
inline constexpr UCHAR SR_ES = 0x40;  // error status (a counter reached the warning limit)
inline constexpr UCHAR SR_BS = 0x80;  // bus status: bus off
// IR / IER bits
inline constexpr UCHAR IR_RI = 0x01;   // receive
inline constexpr UCHAR IR_TI = 0x02;   // transmit
inline constexpr UCHAR IR_EI = 0x04;   // error warning
inline constexpr UCHAR IR_DOI = 0x08;  // data overrun
inline constexpr UCHAR IR_EPI = 0x20;  // error passive
inline constexpr UCHAR IR_ALI = 0x40;  // arbitration lost
inline constexpr UCHAR IR_BEI = 0x80;  // bus error
// Causes that make an error record.
inline constexpr UCHAR IR_ERROR_CAUSES = IR_BEI | IR_ALI | IR_EPI | IR_DOI | IR_EI;  // 0xEC
inline constexpr UCHAR IER_ALL = 0xFF;
// Frame information byte
inline constexpr UCHAR FI_FF = 0x80;   // extended frame
inline constexpr UCHAR FI_RTR = 0x40;  // remote frame
inline constexpr UCHAR FI_DLC = 0x0F;
// Values written at reset
inline constexpr UCHAR CDR_PELICAN = 0xC0;   // PeliCAN mode, comparator bypass
inline constexpr UCHAR OCR_NORMAL = 0x1A;    // normal output mode, push-pull TX0
inline constexpr UCHAR EWLR_DEFAULT = 96;
// A counter at or above this value makes the controller error passive.
inline constexpr ULONG ERROR_PASSIVE_LEVEL = 128;

// ---- Board registers
inline constexpr ULONG BRD_MODE = 0x80;           // FIFO board: bit 0 FIFO logic on
inline constexpr ULONG BRD_CHANNEL_INT = 0x84;    // bit n: channel n has its own interrupt
inline constexpr ULONG BRD_CHANNEL_INDEX = 0x85;  // bits 0-3
inline constexpr ULONG BRD_EVENT_ROUTE = 0x86;    // 1: this channel serves the board event
inline constexpr ULONG BRD_SWITCH = 0x8F;
inline constexpr ULONG BRD_CYC_MODE = 0xC0;       // bit 0 cyclic sending mode
inline constexpr ULONG BRD_INT_STATUS = 0xC4;     // 16 bits, read clears
inline constexpr ULONG BRD_INT_ENABLE_LO = 0xC6;
inline constexpr ULONG BRD_INT_ENABLE_HI = 0xC7;
inline constexpr UCHAR BRD_MODE_FIFO_ON = 0x01;
inline constexpr UCHAR BRD_MODE_STOP = 0x81;      // FIFO logic on, pulse that stops it
// FIFO board windows and counts
inline constexpr ULONG FIFO_TX_WINDOW = 0x100;
inline constexpr ULONG FIFO_TX_COUNT = 0x110;
inline constexpr ULONG FIFO_TX_RESET = 0x111;
inline constexpr ULONG FIFO_TX_TRIGGER = 0x120;
inline constexpr ULONG CYC_WINDOW = 0x140;
inline constexpr ULONG CYC_STATUS = 0x160;  // bit 0 busy loading
inline constexpr ULONG CYC_RUN = 0x161;     // bit 0 running
inline constexpr ULONG CYC_PERIOD = 0x164;  // 32-bit, 10 us steps
inline constexpr ULONG FIFO_RX_WINDOW = 0x180;
inline constexpr ULONG FIFO_RX_COUNT = 0x190;
inline constexpr ULONG FIFO_RX_RESET = 0x191;
inline constexpr ULONG FIFO_RX_TRIGGER_MODE = 0x192;
inline constexpr ULONG FIFO_RX_TRIGGER_LEVEL = 0x193;
inline constexpr ULONG TIMEBASE_CONTROL = 0x1A0;  // 5 restarts
inline constexpr ULONG TIMEBASE = 0x1A4;          // 32-bit; bits 0-20 in 10 us steps
inline constexpr ULONG FIFO_ERR_WINDOW = 0x1C0;
inline constexpr ULONG FIFO_ERR_COUNT = 0x1D0;
inline constexpr ULONG FIFO_ERR_RESET = 0x1D1;
inline constexpr ULONG FIFO_ERR_TRIGGER_MODE = 0x1D2;
inline constexpr ULONG FIFO_ERR_TRIGGER_LEVEL = 0x1D3;
inline constexpr ULONG BRD_CONTROLLER_SETUP = 0x1E0;
inline constexpr UCHAR TIMEBASE_RESTART = 5;
inline constexpr UCHAR CONTROLLER_SETUP_VALUE = 3;
inline constexpr UCHAR FIFO_RESET = 1;
inline constexpr ULONG TIMEBASE_MASK = 0x1FFFFF;
inline constexpr ULONG TX_FIFO_ENTRIES = 64;
// Board interrupt status word bits
inline constexpr USHORT IS_TIMEBASE_OVERFLOW = 1u << 0;
inline constexpr USHORT IS_BOARD_EVENT = 1u << 1;
inline constexpr USHORT IS_ERROR_WARNING = 1u << 2;
inline constexpr USHORT IS_DATA_OVERRUN = 1u << 3;
inline constexpr USHORT IS_ERR_FIFO_LEVEL = 1u << 8;
inline constexpr USHORT IS_ERR_FIFO_OVERFLOW = 1u << 9;
inline constexpr USHORT IS_ERR_FIFO_ENTRY = 1u << 10;
inline constexpr USHORT IS_RX_FIFO_LEVEL = 1u << 11;
inline constexpr USHORT IS_RX_FIFO_ENTRY = 1u << 12;
inline constexpr USHORT IS_CYCLIC_STOPPED = 1u << 13;
inline constexpr USHORT IS_TX_DONE = 1u << 14;
inline constexpr USHORT IS_TX_FIFO = 1u << 15;

// The controller core reaches registers only through this accessor.
struct Registers {
    volatile UCHAR* base = nullptr;
    ULONG length = 0;
    UCHAR Read8(ULONG offset) const { return READ_REGISTER_UCHAR(base + offset); }
    void Write8(ULONG offset, UCHAR value) const { WRITE_REGISTER_UCHAR(base + offset, value); }
    USHORT Read16(ULONG offset) const {
        return READ_REGISTER_USHORT(reinterpret_cast<volatile USHORT*>(base + offset));
    }
    ULONG Read32(ULONG offset) const { return READ_REGISTER_ULONG(reinterpret_cast<volatile ULONG*>(base + offset)); }
    void Write32(ULONG offset, ULONG value) const {
        WRITE_REGISTER_ULONG(reinterpret_cast<volatile ULONG*>(base + offset), value);
    }
    void Set8(ULONG offset, UCHAR bits) const { Write8(offset, static_cast<UCHAR>(Read8(offset) | bits)); }
    void Clear8(ULONG offset, UCHAR bits) const { Write8(offset, static_cast<UCHAR>(Read8(offset) & ~bits)); }
};

}  // namespace re7316
