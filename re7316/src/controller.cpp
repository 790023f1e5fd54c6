// The channel's SJA1000 and its queues: reset, open, configuration, transmission, the
// interrupt service routine and the deferred procedure that delivers events. The FIFO board
// shares all of it and branches where its FIFOs replace the controller's frame buffer.
#include <algorithm>
#include <iterator>
#include <cstring>

#include "channel.h"

namespace re7316 {
namespace {

// Bit 31 of a transmit slot's remote word: the message has been sent.
constexpr ULONG kSentMark = 0x80000000u;
// Largest delay or period the FIFO board takes, 10 us steps.
constexpr ULONG kMaxHardwareTime = 0x1FFFFF;
// Polls of the mode and status registers while entering or leaving reset mode.
constexpr int kResetPolls = 100;
// Causes handled per interrupt before the rest is left for the line's next round.
constexpr int kIsrPasses = 16;
// Passes over the receive FIFO per drain.
constexpr int kDrainPasses = 64;

struct EventNode {
    LIST_ENTRY link;
    ULONG value;
};

UCHAR DataPlaces(UCHAR fi) { return static_cast<UCHAR>(fi & FI_DLC); }
ULONG DataBytes(ULONG length) { return std::min<ULONG>(length & FI_DLC, 8); }

UCHAR FrameInfo(const CanMessage& m) {
    return static_cast<UCHAR>(((m.identifier & 0x80000000u) ? FI_FF : 0) | ((m.remote & 1) ? FI_RTR : 0) |
                              (m.length & FI_DLC));
}

// Identifier bytes as the controller's frame buffer lays them out; returns the count.
int IdentifierBytes(ULONG id, bool extended, UCHAR out[4]) {
    if (extended) {
        out[0] = static_cast<UCHAR>(id >> 21);
        out[1] = static_cast<UCHAR>(id >> 13);
        out[2] = static_cast<UCHAR>(id >> 5);
        out[3] = static_cast<UCHAR>((id << 3) & 0xF8);
        return 4;
    }
    out[0] = static_cast<UCHAR>(id >> 3);
    out[1] = static_cast<UCHAR>((id << 5) & 0xE0);
    return 2;
}

ULONG DecodeIdentifier(const UCHAR* b, bool extended) {
    if (extended)
        return 0x80000000u | (ULONG(b[0]) << 21) | (ULONG(b[1]) << 13) | (ULONG(b[2]) << 5) | (ULONG(b[3]) >> 3);
    return (ULONG(b[0]) << 3) | (ULONG(b[1]) >> 5);
}

void Raise(ChannelContext* c, ULONG event) { c->eventWord |= event; }

// ---- time stamps, us
ULONG TickStamp(ChannelContext* c) {
    LARGE_INTEGER now;
    KeQueryTickCount(&now);
    ULONGLONG ms = static_cast<ULONGLONG>(now.QuadPart - c->timeStartTicks) * c->tickLength / 10000;
    return static_cast<ULONG>(ms * 1000);
}
ULONG HardwareStamp(ChannelContext* c, ULONG time21) {
    return static_cast<ULONG>(((ULONGLONG(c->overflowCount) << 21) + (time21 & TIMEBASE_MASK)) * 10);
}
ULONG Stamp(ChannelContext* c) {
    return c->fifoBoard ? HardwareStamp(c, c->regs.Read32(TIMEBASE)) : TickStamp(c);
}
void RestartTimeBase(ChannelContext* c) {
    c->tickLength = KeQueryTimeIncrement();
    LARGE_INTEGER now;
    KeQueryTickCount(&now);
    c->timeStartTicks = now.QuadPart;
    c->regs.Write8(TIMEBASE_CONTROL, TIMEBASE_RESTART);
    c->overflowCount = 0;
}

bool ErrorPassive(ChannelContext* c) {
    return c->regs.Read8(REG_TXERR) >= ERROR_PASSIVE_LEVEL || c->regs.Read8(REG_RXERR) >= ERROR_PASSIVE_LEVEL;
}

// ---- queues
void AppendReceived(ChannelContext* c, const CanMessage& m) {
    Ring& q = c->rx;
    if (!q.base || q.Full()) return;  // dropped; the full event was raised when it filled
    bool wasEmpty = q.count == 0;
    std::memcpy(q.At(q.free), &m, sizeof m);
    q.free = q.Next(q.free);
    ++q.count;
    if (wasEmpty) Raise(c, CAN_EVENT_RECEIVE);
    if (q.Full()) Raise(c, CAN_EVENT_RECEIVE_QUEUE_FULL);
}

void AppendError(ChannelContext* c, const CanErrorRecord& r) {
    Ring& q = c->err;
    if (!q.base || q.Full()) return;
    bool wasEmpty = q.count == 0;
    std::memcpy(q.At(q.free), &r, sizeof r);
    q.free = q.Next(q.free);
    ++q.count;
    if (wasEmpty) Raise(c, CAN_EVENT_ERROR);
    if (q.Full()) Raise(c, CAN_EVENT_ERROR_QUEUE_FULL);
}

// ---- sending one message
// FIFO entry: frame information, delay (3 bytes), identifier, as many data places as the
// length code says (beyond the eighth zero): the board parses entries by the length code.
void WriteFifoEntry(ChannelContext* c, const CanMessage& m) {
    UCHAR entry[1 + 3 + 4 + 15] = {};
    int n = 0;
    UCHAR fi = FrameInfo(m);
    entry[n++] = fi;
    ULONG delay = std::min(m.time, kMaxHardwareTime);
    entry[n++] = static_cast<UCHAR>(delay);
    entry[n++] = static_cast<UCHAR>(delay >> 8);
    entry[n++] = static_cast<UCHAR>((delay >> 16) & 0x1F);
    n += IdentifierBytes(m.identifier, fi & FI_FF, entry + n);
    ULONG data = DataBytes(m.length);
    std::memcpy(entry + n, m.data, data);
    n += DataPlaces(fi);
    for (int i = 0; i < n; ++i) c->regs.Write8(FIFO_TX_WINDOW + (i & 0x0F), entry[i]);
}

void WriteFrameBuffer(ChannelContext* c, const CanMessage& m) {
    UCHAR fi = FrameInfo(m);
    UCHAR id[4];
    int idBytes = IdentifierBytes(m.identifier, fi & FI_FF, id);
    c->regs.Write8(REG_FRAME, fi);
    for (int i = 0; i < idBytes; ++i) c->regs.Write8(REG_FRAME + 1 + i, id[i]);
    ULONG data = DataBytes(m.length);
    for (ULONG i = 0; i < data; ++i) c->regs.Write8(REG_FRAME + 1 + idBytes + i, m.data[i]);
    c->regs.Write8(REG_CMR, CMR_TR);
}

// Takes the record at next-to-send and hands it to the hardware (lock held).
void SendNext(ChannelContext* c) {
    Ring& q = c->tx;
    ULONG slot = q.read;
    q.read = q.Next(q.read);
    --q.count;
    const auto* m = static_cast<const CanMessage*>(q.At(slot));
    if (c->fifoBoard)
        WriteFifoEntry(c, *m);
    else
        WriteFrameBuffer(c, *m);
    c->inFlight = static_cast<LONG>(slot);
}

void StartTransmission(ChannelContext* c) {
    if (c->transmitting || c->tx.count == 0) return;
    c->transmitting = true;
    SendNext(c);
}

void TransmitDone(ChannelContext* c, ULONG t) {
    if (c->inFlight >= 0) {
        auto* m = static_cast<CanMessage*>(c->tx.At(static_cast<ULONG>(c->inFlight)));
        m->time = t;
        if (!(m->remote & kSentMark)) {
            m->remote |= kSentMark;
            ++c->completionCount;
        }
        c->inFlight = -1;
    }
    if (c->tx.count) {
        SendNext(c);
    } else if (c->transmitting) {
        Raise(c, CAN_EVENT_TRANSMIT_DONE);
        c->transmitting = false;
    }
}

// FIFO board with the transmit-FIFO trigger on: top the hardware FIFO up from the queue.
void FillTransmitFifo(ChannelContext* c) {
    if (c->tx.count == 0) {
        if (c->transmitting) {
            Raise(c, CAN_EVENT_TRANSMIT_DONE);
            c->transmitting = false;
        }
        return;
    }
    ULONG inFifo = c->regs.Read8(FIFO_TX_COUNT);
    ULONG room = inFifo < TX_FIFO_ENTRIES ? TX_FIFO_ENTRIES - inFifo : 0;
    ULONG n = std::min(room, c->tx.count);
    for (ULONG i = 0; i < n; ++i) {
        const auto* m = static_cast<const CanMessage*>(c->tx.At(c->tx.read));
        WriteFifoEntry(c, *m);
        c->tx.read = c->tx.Next(c->tx.read);
        --c->tx.count;
    }
}

// ---- receiving
void ReceiveFromBuffer(ChannelContext* c, ULONG t) {
    UCHAR fi = c->regs.Read8(REG_FRAME);
    bool extended = fi & FI_FF;
    UCHAR id[4];
    int idBytes = extended ? 4 : 2;
    for (int i = 0; i < idBytes; ++i) id[i] = c->regs.Read8(REG_FRAME + 1 + i);
    CanMessage m{};
    m.length = fi & FI_DLC;
    m.remote = (fi & FI_RTR) ? 1 : 0;
    m.identifier = DecodeIdentifier(id, extended);
    ULONG data = DataBytes(m.length);
    for (ULONG i = 0; i < data; ++i) m.data[i] = c->regs.Read8(REG_FRAME + 1 + idBytes + i);
    m.time = t;
    c->regs.Write8(REG_CMR, CMR_RRB);
    AppendReceived(c, m);
}

void DrainReceiveFifo(ChannelContext* c) {
    for (int pass = 0; pass < kDrainPasses; ++pass) {
        ULONG n = c->regs.Read8(FIFO_RX_COUNT);
        if (n == 0) return;
        for (ULONG e = 0; e < n; ++e) {
            UCHAR b[1 + 3 + 4 + 15] = {};
            b[0] = c->regs.Read8(FIFO_RX_WINDOW);
            bool extended = b[0] & FI_FF;
            ULONG rest = DataPlaces(b[0]) + (extended ? 2 : 0) + 5;
            for (ULONG i = 0; i < rest; ++i) b[1 + i] = c->regs.Read8(FIFO_RX_WINDOW + ((1 + i) & 0x0F));
            CanMessage m{};
            m.length = b[0] & FI_DLC;
            m.remote = (b[0] & FI_RTR) ? 1 : 0;
            m.identifier = DecodeIdentifier(b + 4, extended);
            std::memcpy(m.data, b + 4 + (extended ? 4 : 2), DataBytes(m.length));
            m.time = HardwareStamp(c, ULONG(b[1]) | (ULONG(b[2]) << 8) | (ULONG(b[3] & 0x1F) << 16));
            AppendReceived(c, m);
        }
    }
}

void DrainErrorFifo(ChannelContext* c, ULONG entries) {
    for (ULONG e = 0; e < entries; ++e) {
        UCHAR b[6];
        for (int i = 0; i < 6; ++i) b[i] = c->regs.Read8(FIFO_ERR_WINDOW + i);
        CanErrorRecord r{};
        r.flags = b[0];
        r.errorCodeCapture = (b[0] & IR_BEI) ? b[5] : 0;
        r.arbitrationLostCapture = (b[0] & IR_ALI) ? b[4] : 0;
        r.time = HardwareStamp(c, ULONG(b[1]) | (ULONG(b[2]) << 8) | (ULONG(b[3]) << 16));
        AppendError(c, r);
    }
}

void UpdateBusState(ChannelContext* c, bool passive) {
    ULONG state;
    if ((c->regs.Read8(REG_MOD) & MOD_RM) || (c->regs.Read8(REG_SR) & SR_BS)) {
        state = CAN_BUS_OFF;
        if (c->fifoBoard) c->regs.Write8(BRD_MODE, BRD_MODE_STOP);
    } else {
        state = passive ? CAN_BUS_ERROR_PASSIVE : CAN_BUS_ERROR_ACTIVE;
    }
    if (state != c->busState) Raise(c, CAN_EVENT_BUS_STATE);
    c->busState = state;
}

// One round of the basic board's causes; false when nothing was pending.
bool ServiceBasic(ChannelContext* c) {
    UCHAR ir = c->regs.Read8(REG_IR);
    USHORT board = c->channelInterrupt ? 0 : c->regs.Read16(BRD_INT_STATUS);
    if (ir == 0 && board == 0) return false;
    if (!c->controllerOpen) return true;
    UCHAR sr = c->regs.Read8(REG_SR);
    ULONG t = Stamp(c);
    UCHAR ecc = (ir & IR_BEI) ? c->regs.Read8(REG_ECC) : 0;
    UCHAR alc = (ir & IR_ALI) ? c->regs.Read8(REG_ALC) : 0;
    if (ir & IR_DOI) c->regs.Write8(REG_CMR, CMR_CDO);
    UCHAR flags = ir & IR_ERROR_CAUSES;
    bool transmitDone = ir & IR_TI;
    if (ir & IR_EI) {
        if (sr & SR_ES)
            Raise(c, CAN_EVENT_ERROR_WARNING);
        else
            flags &= static_cast<UCHAR>(~IR_EI);
        if (!(sr & SR_BS) && c->busOffRestart) {
            c->busOffRestart = false;
            transmitDone = true;
        }
    }
    bool passive = ErrorPassive(c);
    // Every error cause gives a record, an error warning whose status bit is clear again
    // (the counters fell back below the limit) too, without its 0x04.
    if (ir & IR_ERROR_CAUSES) {
        flags = passive ? (flags | IR_EPI) : (flags & static_cast<UCHAR>(~IR_EPI));
        AppendError(c, CanErrorRecord{flags, ecc, alc, t});
    }
    if (transmitDone) TransmitDone(c, t);
    if (ir & IR_RI) ReceiveFromBuffer(c, t);
    if (board & IS_BOARD_EVENT) Raise(c, CAN_EVENT_BOARD);
    UpdateBusState(c, passive);
    return true;
}

bool ServiceFifo(ChannelContext* c) {
    if (!(c->regs.Read8(BRD_MODE) & BRD_MODE_FIFO_ON)) return c->regs.Read8(REG_IR) != 0;
    USHORT s = c->regs.Read16(BRD_INT_STATUS);
    if (s == 0) return false;
    if (!c->controllerOpen) return true;
    ULONG errEntries = c->regs.Read8(FIFO_ERR_COUNT);
    ULONG time21 = c->regs.Read32(TIMEBASE);
    UCHAR sr = c->regs.Read8(REG_SR);
    if (s & IS_TIMEBASE_OVERFLOW) ++c->overflowCount;
    ULONG t = HardwareStamp(c, time21);
    UCHAR flags = 0;
    if (s & IS_DATA_OVERRUN) {
        c->regs.Write8(REG_CMR, CMR_CDO);
        Raise(c, CAN_EVENT_DATA_OVERRUN);
        flags = IR_DOI;
        DrainReceiveFifo(c);
    }
    bool transmitDone = s & IS_TX_DONE;
    if (s & IS_ERROR_WARNING) {
        if (sr & SR_ES) {
            Raise(c, CAN_EVENT_ERROR_WARNING);
            flags |= IR_EI;
        }
        if (!(sr & SR_BS) && c->busOffRestart) {
            c->busOffRestart = false;
            transmitDone = true;
        }
    }
    bool passive = ErrorPassive(c);
    if (flags && passive) flags |= IR_EPI;
    if ((s & (IS_ERR_FIFO_LEVEL | IS_ERR_FIFO_ENTRY)) || flags) {
        DrainErrorFifo(c, errEntries);
        if (flags) AppendError(c, CanErrorRecord{flags, 0, 0, t});
    }
    bool fifoTrigger = s & IS_TX_FIFO;
    if (c->boardType == 2 && c->pci.revisionId == 1) {
        if (transmitDone || fifoTrigger) {
            if (c->txTriggerEnable)
                FillTransmitFifo(c);
            else
                TransmitDone(c, t);
        }
    } else if (c->txTriggerEnable) {
        if (transmitDone || fifoTrigger) FillTransmitFifo(c);
    } else if (transmitDone) {
        TransmitDone(c, t);
    }
    if (s & (IS_RX_FIFO_LEVEL | IS_RX_FIFO_ENTRY)) DrainReceiveFifo(c);
    if (s & IS_CYCLIC_STOPPED) {
        c->regs.Write8(CYC_RUN, 0);
        c->regs.Write8(BRD_CYC_MODE, 0);
        c->regs.Write8(BRD_MODE, BRD_MODE_STOP);
        Raise(c, CAN_EVENT_CYCLIC_STOPPED);
    }
    if (s & IS_ERR_FIFO_OVERFLOW) {
        Raise(c, CAN_EVENT_ERROR_FIFO_OVERFLOW);
        DrainErrorFifo(c, c->regs.Read8(FIFO_ERR_COUNT));
    }
    if (s & IS_BOARD_EVENT) Raise(c, CAN_EVENT_BOARD);
    UpdateBusState(c, passive);
    return true;
}

// Resizes a ring to n records, keeping the oldest; the new buffer comes from the caller.
void MoveRing(Ring& q, UCHAR* fresh, ULONG n) {
    ULONG keep = std::min(q.count, n);
    for (ULONG i = 0, at = q.read; i < keep; ++i, at = q.Next(at))
        std::memcpy(fresh + SIZE_T(i) * q.record, q.At(at), q.record);
    q.base = fresh;
    q.size = n;
    q.read = 0;
    q.count = keep;
    q.free = keep % n;
}

bool AllocateRing(Ring& q, ULONG n, ULONG record) {
    auto* p = static_cast<UCHAR*>(ExAllocatePoolWithTag(NonPagedPool, SIZE_T(n) * record, kPoolTag));
    if (!p) return false;
    std::memset(p, 0, SIZE_T(n) * record);
    q = Ring{p, n, record, 0, 0, 0};
    return true;
}

void FreeRing(Ring& q) {
    if (q.base) ExFreePoolWithTag(q.base, kPoolTag);
    q = Ring{};
}

NTSTATUS Resize(ChannelContext* c, Ring& q, ULONG n, bool transmit) {
    auto* fresh = static_cast<UCHAR*>(ExAllocatePoolWithTag(NonPagedPool, SIZE_T(n) * q.record, kPoolTag));
    if (!fresh) return STATUS_INSUFFICIENT_RESOURCES;
    std::memset(fresh, 0, SIZE_T(n) * q.record);
    UCHAR* old = q.base;
    KIRQL irql;
    KeAcquireSpinLock(&c->resizeLock, &irql);
    Synchronized(c, [&](ChannelContext* ch) {
        MoveRing(q, fresh, n);
        if (transmit) {
            ch->completionRead = q.read;
            ch->completionCount = 0;
            ch->slotsInUse = false;
            ch->inFlight = -1;
        }
    });
    KeReleaseSpinLock(&c->resizeLock, irql);
    if (old) ExFreePoolWithTag(old, kPoolTag);
    return STATUS_SUCCESS;
}

bool KnownBitTiming(ULONG v) {
    static const ULONG kTimings[] = {0x0027, 0x0127, 0x023A, 0x053A, 0x0936, 0x0D24, 0x0F24, 0x1D23, 0x2724};
    if (v & 0x80000000u) return true;
    return std::find(std::begin(kTimings), std::end(kTimings), v) != std::end(kTimings);
}

void WriteFilter(ChannelContext* c) {
    for (int i = 0; i < 4; ++i) {
        c->regs.Write8(REG_ACR0 + i, static_cast<UCHAR>(c->acceptanceCode >> (24 - 8 * i)));
        c->regs.Write8(REG_AMR0 + i, static_cast<UCHAR>(c->acceptanceMask >> (24 - 8 * i)));
    }
}

void CancelWait(PDEVICE_OBJECT device, PIRP irp) {
    ChannelContext* c = Ctx(device);
    if (c->pendingWait == irp) c->pendingWait = nullptr;
    IoReleaseCancelSpinLock(irp->CancelIrql);
    irp->IoStatus.Status = STATUS_CANCELLED;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
}

void CompleteWait(PIRP irp, NTSTATUS status, const ULONG* value) {
    if (value) std::memcpy(irp->AssociatedIrp.SystemBuffer, value, sizeof *value);
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = value ? sizeof *value : 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
}

}  // namespace

// ---- reset, open, close
void ResetController(ChannelContext* c) {
    const Registers& r = c->regs;
    if (!(r.Read8(REG_MOD) & MOD_RM)) r.Set8(REG_MOD, MOD_RM);
    r.Write8(REG_RXERR, 0);
    r.Write8(REG_TXERR, 0);
    r.Write8(REG_EWLR, EWLR_DEFAULT);
    r.Clear8(REG_MOD, MOD_RM);
    for (int i = 0; i < kResetPolls && (r.Read8(REG_SR) & SR_BS); ++i) {
    }
    r.Set8(REG_MOD, MOD_RM);
    for (int i = 0; i < kResetPolls && !(r.Read8(REG_MOD) & MOD_RM); ++i) {
    }
    if (c->fifoBoard) {
        r.Write8(BRD_MODE, BRD_MODE_STOP);
        r.Write8(BRD_CONTROLLER_SETUP, CONTROLLER_SETUP_VALUE);
    } else {
        r.Write8(REG_CDR, CDR_PELICAN);
    }
    r.Write8(REG_OCR, OCR_NORMAL);
}

NTSTATUS OpenChannel(ChannelContext* c) {
    const Registers& r = c->regs;
    c->config = CanConfig{0, 1, kMinQueueSize, kMinQueueSize, kMinQueueSize, EWLR_DEFAULT, 0x053A};
    r.Clear8(REG_MOD, MOD_LOM);
    r.Set8(REG_MOD, MOD_AFM);
    r.Write8(REG_EWLR, EWLR_DEFAULT);
    r.Write8(REG_BTR0, 0x05);
    r.Write8(REG_BTR1, 0x3A);
    Ring tx, rx, err;
    if (!AllocateRing(tx, kMinQueueSize, sizeof(CanMessage)) || !AllocateRing(rx, kMinQueueSize, sizeof(CanMessage)) ||
        !AllocateRing(err, kMinQueueSize, sizeof(CanErrorRecord))) {
        FreeRing(tx);
        FreeRing(rx);
        FreeRing(err);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    c->acceptanceCode = 0;
    c->acceptanceMask = 0xFFFFFFFF;
    WriteFilter(c);
    if (c->fifoBoard) {
        c->rxTrigger = FifoTrigger{};
        c->errTrigger = FifoTrigger{};
        c->txTriggerMode = 0;
        c->txTriggerEnable = false;
        r.Write8(FIFO_RX_TRIGGER_MODE, 0);
        r.Write8(FIFO_RX_TRIGGER_LEVEL, 4);
        r.Write8(FIFO_ERR_TRIGGER_MODE, 0);
        r.Write8(FIFO_ERR_TRIGGER_LEVEL, 4);
        r.Write8(FIFO_TX_TRIGGER, 0);
        r.Write8(FIFO_ERR_RESET, FIFO_RESET);
        r.Write8(FIFO_TX_RESET, FIFO_RESET);
        r.Write8(FIFO_RX_RESET, FIFO_RESET);
    }
    Synchronized(c, [&](ChannelContext* ch) {
        ch->tx = tx;
        ch->rx = rx;
        ch->err = err;
        ch->busState = CAN_BUS_OFF;
        ch->completionRead = 0;
        ch->completionCount = 0;
        ch->slotsInUse = false;
        ch->inFlight = -1;
        ch->transmitting = false;
        ch->busOffRestart = false;
        ch->eventWord = 0;
        ch->eventMask = 0;
        RestartTimeBase(ch);
        ch->controllerOpen = true;
    });
    EnableInterrupts(c);
    return STATUS_SUCCESS;
}

void CloseChannel(ChannelContext* c) {
    DisableInterrupts(c);
    Synchronized(c, [](ChannelContext* ch) {
        ch->controllerOpen = false;
        ch->eventWord = 0;
    });
    // No event of this session reaches a later one.
    KeRemoveQueueDpc(&c->self->Dpc);
    KeFlushQueuedDpcs();
    ResetController(c);
    Ring tx, rx, err;
    Synchronized(c, [&](ChannelContext* ch) {
        tx = ch->tx;
        rx = ch->rx;
        err = ch->err;
        ch->tx = ch->rx = ch->err = Ring{};
        ch->eventWord = 0;
        ch->inFlight = -1;
        ch->transmitting = false;
    });
    FreeRing(tx);
    FreeRing(rx);
    FreeRing(err);
    FreeQueuedEvents(c);
}

void EnableInterrupts(ChannelContext* c) {
    Synchronized(c, [](ChannelContext* ch) {
        const Registers& r = ch->regs;
        if (ch->fifoBoard) {
            r.Write8(BRD_INT_ENABLE_LO, ch->channelInterrupt ? 0x2D : 0x2F);
            r.Write8(BRD_INT_ENABLE_HI, 0xFF);
        } else {
            r.Write8(REG_IER, IER_ALL);
            if (!ch->channelInterrupt) r.Write8(BRD_INT_ENABLE_LO, 0x02);
        }
    });
}

void DisableInterrupts(ChannelContext* c) {
    Synchronized(c, [](ChannelContext* ch) {
        const Registers& r = ch->regs;
        if (ch->fifoBoard) {
            r.Write8(BRD_INT_ENABLE_LO, 0);
            r.Write8(BRD_INT_ENABLE_HI, 0);
        } else {
            r.Write8(REG_IER, 0);
            if (!ch->channelInterrupt) r.Write8(BRD_INT_ENABLE_LO, 0);
        }
    });
}

// ---- configuration
NTSTATUS ValidateConfig(const ChannelContext* c, const CanConfig& cfg) {
    if ((cfg.mode & 0x80000000u) && !c->fifoBoard) return STATUS_NOT_SUPPORTED;
    if ((cfg.mode & 0x7FFFFFFFu) > 1) return STATUS_INVALID_PARAMETER;
    if (cfg.filterMode > 1) return STATUS_INVALID_PARAMETER;
    if (cfg.transmitQueueSize < kMinQueueSize || cfg.receiveQueueSize < kMinQueueSize ||
        cfg.errorQueueSize < kMinQueueSize)
        return STATUS_INVALID_PARAMETER;
    if (cfg.errorWarningLimit > 255) return STATUS_INVALID_PARAMETER;
    if (!KnownBitTiming(cfg.bitTiming)) return STATUS_INVALID_PARAMETER;
    return STATUS_SUCCESS;
}

NTSTATUS ApplyConfig(ChannelContext* c, const CanConfig& cfg) {
    NTSTATUS s = STATUS_SUCCESS;
    if (cfg.receiveQueueSize != c->config.receiveQueueSize) {
        s = Resize(c, c->rx, cfg.receiveQueueSize, false);
        if (!NT_SUCCESS(s)) return s;
        c->config.receiveQueueSize = cfg.receiveQueueSize;
    }
    if (cfg.errorQueueSize != c->config.errorQueueSize) {
        s = Resize(c, c->err, cfg.errorQueueSize, false);
        if (!NT_SUCCESS(s)) return s;
        c->config.errorQueueSize = cfg.errorQueueSize;
    }
    if (cfg.transmitQueueSize != c->config.transmitQueueSize) {
        s = Resize(c, c->tx, cfg.transmitQueueSize, true);
        if (!NT_SUCCESS(s)) return s;
        c->config.transmitQueueSize = cfg.transmitQueueSize;
    }
    const Registers& r = c->regs;
    if (cfg.mode != c->config.mode) {
        if (cfg.mode & 1)
            r.Set8(REG_MOD, MOD_LOM);
        else
            r.Clear8(REG_MOD, MOD_LOM);
        c->txTriggerEnable = cfg.mode & 0x80000000u;
    }
    if (cfg.filterMode != c->config.filterMode) {
        if (cfg.filterMode)
            r.Set8(REG_MOD, MOD_AFM);
        else
            r.Clear8(REG_MOD, MOD_AFM);
    }
    if (cfg.errorWarningLimit != c->config.errorWarningLimit)
        r.Write8(REG_EWLR, static_cast<UCHAR>(cfg.errorWarningLimit));
    if (cfg.bitTiming != c->config.bitTiming) {
        r.Write8(REG_BTR0, static_cast<UCHAR>(cfg.bitTiming >> 8));
        r.Write8(REG_BTR1, static_cast<UCHAR>(cfg.bitTiming));
    }
    c->config = cfg;
    return STATUS_SUCCESS;
}

void SetFilter(ChannelContext* c, ULONG code, ULONG mask) {
    c->acceptanceCode = code;
    c->acceptanceMask = mask;
    WriteFilter(c);
}

bool Stopped(ChannelContext* c) { return c->regs.Read8(REG_MOD) & MOD_RM; }
bool BusOff(ChannelContext* c) { return c->regs.Read8(REG_SR) & SR_BS; }

// ---- activate, deactivate
void Activate(ChannelContext* c) {
    Synchronized(c, [](ChannelContext* ch) {
        UCHAR sr = ch->regs.Read8(REG_SR);
        ch->regs.Clear8(REG_MOD, MOD_RM);
        if (sr & SR_BS) {
            ch->busState = CAN_BUS_OFF;
            if (ch->tx.count) ch->busOffRestart = true;
            return;
        }
        ch->busState = ErrorPassive(ch) ? CAN_BUS_ERROR_PASSIVE : CAN_BUS_ERROR_ACTIVE;
        // The run activation starts is a run like any other: it ends with the transmit-done
        // event and keeps a write from loading a second frame while the first is in flight.
        ch->transmitting = false;
        if (ch->fifoBoard && ch->txTriggerEnable) {
            // Filled by the FIFO trigger: nothing is in flight that would wait for a mark.
            if (ch->tx.count) {
                ch->transmitting = true;
                FillTransmitFifo(ch);
            }
        } else {
            StartTransmission(ch);
        }
    });
}

void Deactivate(ChannelContext* c) {
    Synchronized(c, [](ChannelContext* ch) {
        ch->regs.Set8(REG_MOD, MOD_RM);
        if (ch->fifoBoard) ch->regs.Write8(BRD_MODE, BRD_MODE_STOP);
        ch->busState = CAN_BUS_OFF;
    });
}

// ---- queues seen from the requests
// Free places of the transmit queue (lock held). The slot in flight still gets its completion
// mark: it is not free yet.
static ULONG TransmitFreeLocked(const ChannelContext* ch) {
    ULONG used = ch->tx.count + (ch->inFlight >= 0 ? 1 : 0);
    return ch->tx.size > used ? ch->tx.size - used : 0;
}

bool QueueMessages(ChannelContext* c, const CanMessage* messages, ULONG n) {
    EnableInterrupts(c);
    bool queued = false;
    // The room is checked and taken in one synchronised step: two writers on one port cannot
    // both pass the check and overwrite each other's unsent messages.
    Synchronized(c, [&](ChannelContext* ch) {
        if (TransmitFreeLocked(ch) < n) return;
        queued = true;
        Ring& q = ch->tx;
        for (ULONG i = 0; i < n; ++i) {
            if (ch->slotsInUse && q.free == ch->completionRead) {
                auto* oldest = static_cast<CanMessage*>(q.At(ch->completionRead));
                if ((oldest->remote & kSentMark) && ch->completionCount) --ch->completionCount;
                ch->completionRead = q.Next(ch->completionRead);
            }
            CanMessage m = messages[i];
            m.time = std::min(m.time, kMaxHardwareTime);
            if (m.identifier & 0x80000000u)
                m.identifier &= 0x9FFFFFFFu;
            else
                m.identifier &= 0x7FFu;
            m.remote &= 1;
            std::memcpy(q.At(q.free), &m, sizeof m);
            q.free = q.Next(q.free);
            ++q.count;
        }
        ch->slotsInUse = true;
        if (ch->fifoBoard && ch->txTriggerEnable) {
            if (!ch->transmitting && q.count) {
                ch->transmitting = true;
                FillTransmitFifo(ch);
            }
        } else {
            StartTransmission(ch);
        }
    });
    return queued;
}

// Takes up to `max` records from the head of one of the channel's queues, in order.
template <typename Record>
static ULONG PopRecords(ChannelContext* c, Ring ChannelContext::*queue, Record* out, ULONG max) {
    ULONG n = 0;
    Synchronized(c, [&](ChannelContext* ch) {
        Ring& q = ch->*queue;
        while (n < max && q.count) {
            std::memcpy(&out[n++], q.At(q.read), sizeof(Record));
            q.read = q.Next(q.read);
            --q.count;
        }
    });
    return n;
}

ULONG ReadMessages(ChannelContext* c, CanMessage* out, ULONG max) {
    return PopRecords(c, &ChannelContext::rx, out, max);
}

ULONG ReadErrors(ChannelContext* c, CanErrorRecord* out, ULONG max) {
    return PopRecords(c, &ChannelContext::err, out, max);
}

ULONG ReadCompletions(ChannelContext* c, CanMessage* out, ULONG max) {
    ULONG n = 0;
    Synchronized(c, [&](ChannelContext* ch) {
        Ring& q = ch->tx;
        // Every slot is visited at most once per request.
        for (ULONG visited = 0; n < max && ch->completionCount && visited < q.size; ++visited) {
            auto* m = static_cast<CanMessage*>(q.At(ch->completionRead));
            if (m->remote & kSentMark) {
                // A record is reported once: the mark goes in the queue itself, not only in
                // the copy handed out.
                m->remote &= ~kSentMark;
                out[n++] = *m;
                if (--ch->completionCount == 0) {
                    ch->slotsInUse = false;
                    // The next record to complete is the one in flight, if any; it must not be
                    // skipped.
                    ch->completionRead = ch->inFlight >= 0 ? static_cast<ULONG>(ch->inFlight) : q.read;
                    break;
                }
            }
            ch->completionRead = q.Next(ch->completionRead);
        }
    });
    return n;
}

NTSTATUS Clear(ChannelContext* c, ULONG flags) {
    bool stopped = Stopped(c);
    if ((flags & (CAN_CLEAR_TRANSMIT_ERROR_COUNTER | CAN_CLEAR_RECEIVE_ERROR_COUNTER)) && !stopped)
        return STATUS_ACCESS_VIOLATION;
    if (flags & CAN_CLEAR_TRANSMIT_QUEUE) {
        Synchronized(c, [](ChannelContext* ch) {
            Ring& q = ch->tx;
            q.read = q.free = q.count = 0;
            ch->completionRead = 0;
            ch->completionCount = 0;
            ch->slotsInUse = false;
            ch->inFlight = -1;
            if (ch->fifoBoard) ch->regs.Write8(FIFO_TX_RESET, FIFO_RESET);
            ch->transmitting = false;
        });
    }
    if (flags & CAN_CLEAR_RECEIVE_QUEUE) {
        Synchronized(c, [](ChannelContext* ch) {
            ch->rx.read = ch->rx.free = ch->rx.count = 0;
            if (ch->fifoBoard) ch->regs.Write8(FIFO_RX_RESET, FIFO_RESET);
        });
    }
    if (flags & CAN_CLEAR_TRANSMIT_ERROR_COUNTER) c->regs.Write8(REG_TXERR, 0);
    if (flags & CAN_CLEAR_RECEIVE_ERROR_COUNTER) c->regs.Write8(REG_RXERR, 0);
    if (flags & CAN_CLEAR_ERROR_QUEUE) {
        Synchronized(c, [](ChannelContext* ch) {
            ch->err.read = ch->err.free = ch->err.count = 0;
            if (ch->fifoBoard) ch->regs.Write8(FIFO_ERR_RESET, FIFO_RESET);
        });
    }
    if (flags & CAN_CLEAR_TIME_BASE) Synchronized(c, [](ChannelContext* ch) { RestartTimeBase(ch); });
    return STATUS_SUCCESS;
}

void GetStatus(ChannelContext* c, CanStatus* status) {
    Synchronized(c, [&](ChannelContext* ch) {
        status->busState = ch->busState;
        status->transmitWaiting = ch->tx.count;
        status->receiveWaiting = ch->rx.count;
        status->errorsWaiting = ch->err.count;
    });
    status->transmitErrorCounter = c->regs.Read8(REG_TXERR);
    status->receiveErrorCounter = c->regs.Read8(REG_RXERR);
}

void SetEventMask(ChannelContext* c, ULONG mask) {
    Synchronized(c, [&](ChannelContext* ch) { ch->eventMask = mask; });
}
ULONG GetEventMask(ChannelContext* c) {
    ULONG mask = 0;
    Synchronized(c, [&](ChannelContext* ch) { mask = ch->eventMask; });
    return mask;
}

// ---- interrupt and deferred procedure
BOOLEAN Isr(PKINTERRUPT, PVOID context) {
    auto* c = static_cast<ChannelContext*>(context);
    bool claimed = false;
    for (int pass = 0; pass < kIsrPasses; ++pass) {
        bool handled = c->fifoBoard ? ServiceFifo(c) : ServiceBasic(c);
        if (!handled) break;
        claimed = true;
        if (!c->controllerOpen) break;
    }
    if (claimed && c->eventWord && !c->dpcBlocked) IoRequestDpc(c->self, nullptr, nullptr);
    return claimed ? TRUE : FALSE;
}

void EventDpc(PKDPC, PDEVICE_OBJECT device, PIRP, PVOID) {
    ChannelContext* c = Ctx(device);
    ULONG value = 0;
    Synchronized(c, [&](ChannelContext* ch) {
        value = ch->eventWord & ch->eventMask;
        ch->eventWord = 0;
    });
    if (value == 0) return;
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    if (c->openCount == 0) {
        IoReleaseCancelSpinLock(irql);
        return;
    }
    PIRP wait = c->pendingWait;
    if (wait && IoSetCancelRoutine(wait, nullptr)) {
        c->pendingWait = nullptr;
        IoReleaseCancelSpinLock(irql);
        CompleteWait(wait, STATUS_SUCCESS, &value);
        return;
    }
    auto* node = static_cast<EventNode*>(ExAllocatePoolWithTag(NonPagedPool, sizeof(EventNode), kPoolTag));
    if (node) {
        node->value = value;
        InsertTailList(&c->queuedEvents, &node->link);
    }
    IoReleaseCancelSpinLock(irql);
}

// ---- wait and release
NTSTATUS WaitForEvent(ChannelContext* c, PIRP irp) {
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    if (!IsListEmpty(&c->queuedEvents)) {
        auto* node = CONTAINING_RECORD(RemoveHeadList(&c->queuedEvents), EventNode, link);
        IoReleaseCancelSpinLock(irql);
        ULONG value = node->value;
        ExFreePoolWithTag(node, kPoolTag);
        CompleteWait(irp, STATUS_SUCCESS, &value);
        return STATUS_SUCCESS;
    }
    if (c->pendingWait) {
        // One waiter at a time: a second one would leave the first without its events.
        IoReleaseCancelSpinLock(irql);
        CompleteWait(irp, STATUS_ACCESS_DENIED, nullptr);
        return STATUS_ACCESS_DENIED;
    }
    IoMarkIrpPending(irp);
    IoSetCancelRoutine(irp, CancelWait);
    if (irp->Cancel && IoSetCancelRoutine(irp, nullptr)) {
        IoReleaseCancelSpinLock(irql);
        CompleteWait(irp, STATUS_CANCELLED, nullptr);
        return STATUS_PENDING;
    }
    c->pendingWait = irp;
    IoReleaseCancelSpinLock(irql);
    return STATUS_PENDING;
}

void CompletePendingWait(ChannelContext* c, NTSTATUS status) {
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    PIRP wait = c->pendingWait;
    if (wait && IoSetCancelRoutine(wait, nullptr)) {
        c->pendingWait = nullptr;
        IoReleaseCancelSpinLock(irql);
        CompleteWait(wait, status, nullptr);
        return;
    }
    IoReleaseCancelSpinLock(irql);
}

void ReleaseWait(ChannelContext* c) {
    DisableInterrupts(c);
    KeRemoveQueueDpc(&c->self->Dpc);
    CompletePendingWait(c, STATUS_SUCCESS);
}

void FreeQueuedEvents(ChannelContext* c) {
    for (;;) {
        KIRQL irql;
        IoAcquireCancelSpinLock(&irql);
        EventNode* node = nullptr;
        if (!IsListEmpty(&c->queuedEvents))
            node = CONTAINING_RECORD(RemoveHeadList(&c->queuedEvents), EventNode, link);
        IoReleaseCancelSpinLock(irql);
        if (!node) return;
        ExFreePoolWithTag(node, kPoolTag);
    }
}

// ---- FIFO board: triggers and the cyclic transmitter
NTSTATUS SetFifoTrigger(ChannelContext* c, ULONG kind, ULONG mode, ULONG level) {
    if (!c->fifoBoard) return STATUS_NOT_SUPPORTED;
    if (!Stopped(c)) return STATUS_ACCESS_VIOLATION;
    if (mode > 3) return STATUS_INVALID_PARAMETER;
    switch (kind) {
    case 0:
    case 1: {
        if (level < 1 || level > 255) return STATUS_INVALID_PARAMETER;
        FifoTrigger& t = kind == 0 ? c->rxTrigger : c->errTrigger;
        t = FifoTrigger{mode, level};
        c->regs.Write8(kind == 0 ? FIFO_RX_TRIGGER_MODE : FIFO_ERR_TRIGGER_MODE, static_cast<UCHAR>(mode));
        c->regs.Write8(kind == 0 ? FIFO_RX_TRIGGER_LEVEL : FIFO_ERR_TRIGGER_LEVEL, static_cast<UCHAR>(level));
        return STATUS_SUCCESS;
    }
    case 2:
        if (!c->txTriggerEnable) return STATUS_NOT_SUPPORTED;
        c->txTriggerMode = mode;
        c->regs.Write8(FIFO_TX_TRIGGER, static_cast<UCHAR>(mode));
        return STATUS_SUCCESS;
    default:
        return STATUS_INVALID_PARAMETER;
    }
}

NTSTATUS GetFifoTrigger(ChannelContext* c, ULONG kind, ULONG* mode, ULONG* level) {
    if (!c->fifoBoard) return STATUS_NOT_SUPPORTED;
    switch (kind) {
    case 0:
    case 1: {
        const FifoTrigger& t = kind == 0 ? c->rxTrigger : c->errTrigger;
        *mode = t.mode;
        *level = t.level;
        return STATUS_SUCCESS;
    }
    case 2:
        if (!c->txTriggerEnable) return STATUS_NOT_SUPPORTED;
        *mode = c->txTriggerMode;
        *level = 0;
        return STATUS_SUCCESS;
    default:
        return STATUS_INVALID_PARAMETER;
    }
}

bool CyclicOn(ChannelContext* c) { return c->fifoBoard && (c->regs.Read8(BRD_CYC_MODE) & 1); }

NTSTATUS CyclicSend(ChannelContext* c, const CanMessage& message) {
    if (!c->fifoBoard) return STATUS_NOT_SUPPORTED;
    if (Stopped(c) || BusOff(c)) return STATUS_ACCESS_VIOLATION;
    NTSTATUS status = STATUS_SUCCESS;
    Synchronized(c, [&](ChannelContext* ch) {
        const Registers& r = ch->regs;
        if (!(r.Read8(BRD_CYC_MODE) & 1)) {
            if (r.Read8(FIFO_TX_COUNT) != 0 || ch->transmitting) {
                status = STATUS_DEVICE_PROTOCOL_ERROR;
                return;
            }
            r.Write8(BRD_CYC_MODE, 1);
        }
        ULONG period = std::min(message.time, kMaxHardwareTime);
        if (r.Read8(CYC_STATUS) & 1) {
            status = STATUS_ACCESS_VIOLATION;
            return;
        }
        if (ch->pci.revisionId <= 2) r.Write8(BRD_INT_ENABLE_HI, 0x3F);
        r.Write32(CYC_PERIOD, period);
        UCHAR fi = FrameInfo(message);
        UCHAR window[1 + 4 + 8] = {};
        int n = 0;
        window[n++] = fi;
        n += IdentifierBytes(message.identifier, fi & FI_FF, window + n);
        ULONG data = DataBytes(message.length);
        std::memcpy(window + n, message.data, data);
        n += static_cast<int>(data);
        for (int i = 0; i < n; ++i) r.Write8(CYC_WINDOW + i, window[i]);
        if (!(r.Read8(CYC_RUN) & 1)) r.Write8(CYC_RUN, 1);
    });
    return status;
}

NTSTATUS StopCyclicSend(ChannelContext* c) {
    if (!c->fifoBoard) return STATUS_NOT_SUPPORTED;
    if (Stopped(c) || BusOff(c)) return STATUS_ACCESS_VIOLATION;
    Synchronized(c, [](ChannelContext* ch) {
        ch->regs.Write8(CYC_RUN, 0);
        ch->regs.Write8(BRD_CYC_MODE, 0);
        ch->regs.Write8(BRD_MODE, BRD_MODE_STOP);
    });
    return STATUS_SUCCESS;
}

}  // namespace re7316
