#include "hw/sja1000.h"

#include <algorithm>

namespace hw {

namespace {
// Error counter rules of the CAN protocol as the controller applies them.
constexpr unsigned kErrorPassiveLimit = 128;
constexpr unsigned kBusOffLimit = 256;
constexpr unsigned kTransmitErrorStep = 8;
// A successful reception brings an error-passive receive counter back to this value.
constexpr unsigned kReceiveCounterAfterPassive = 119;
// Bus-off recovery waits for 128 occurrences of 11 recessive bits.
constexpr uint64_t kRecoveryBits = 128 * 11;
}  // namespace

Sja1000::Sja1000(Clock& clock, uint32_t oscillator_hz) : clock_(clock), osc_hz_(oscillator_hz) {}

Sja1000::~Sja1000() { AttachBus(nullptr); }

void Sja1000::ConnectInterrupt(InterruptLine* line) {
    std::lock_guard<std::mutex> pub(line_mu_);
    bool level;
    {
        std::lock_guard<std::mutex> lk(mu_);
        line_ = line;
        level = BoardLineLevel();
    }
    if (line_) line_->Set(level);
    published_.store(level);
}

void Sja1000::AttachBus(CanBus* bus) {
    CanBus* old = bus_.exchange(bus);
    if (old == bus) return;
    if (old) old->Detach(this);
    if (bus) bus->Attach(this);
}

bool Sja1000::FastBus() const {
    CanBus* bus = bus_.load();
    return bus && bus->fast_mode();
}

void Sja1000::HardwareReset() {
    Locked([&] {
        uint64_t now = clock_.NowUs();
        mod_ = MOD_RM;
        ir_ = 0;
        ier_ = 0;
        btr0_ = btr1_ = ocr_ = cdr_ = 0;
        alc_ = ecc_ = 0;
        alc_held_ = ecc_held_ = false;
        ewlr_ = kSjaDefaultEwl;
        txerr_ = rxerr_ = 0;
        std::fill(std::begin(acr_), std::end(acr_), 0);
        std::fill(std::begin(amr_), std::end(amr_), 0);
        txbuf_.fill(0);
        rxram_.fill(0);
        rbsa_ = rx_write_ = rx_used_ = rmc_ = 0;
        dos_ = false;
        tcs_ = true;
        es_ = passive_ = bus_off_ = recovering_ = false;
        recovery_end_ = kNever;
        tr_pending_ = single_shot_ = self_rx_ = abort_requested_ = false;
        in_flight_ = in_flight_board_ = false;
        BoardStopped(now);
    });
}

uint64_t Sja1000::BitTimeNsFor(uint8_t btr0, uint8_t btr1, uint32_t oscillator_hz) {
    if (oscillator_hz == 0) return 0;
    uint64_t brp = btr0 & 0x3F;
    uint64_t tseg1 = btr1 & 0x0F;
    uint64_t tseg2 = (btr1 >> 4) & 0x07;
    uint64_t quanta = 1 + (tseg1 + 1) + (tseg2 + 1);
    // tq = 2 (BRP + 1) / f_osc seconds.
    return quanta * 2 * (brp + 1) * 1000000000ull / oscillator_hz;
}

uint64_t Sja1000::BitTimeNs() {
    std::lock_guard<std::mutex> lk(mu_);
    return BitTimeNsFor(btr0_, btr1_, osc_hz_);
}

bool Sja1000::Accepts(const CanFrame& f, bool single, const uint8_t acr[4], const uint8_t amr[4]) {
    // A bit matters where the mask bit is 0 and `care` has it; data bytes that the frame does
    // not carry are not compared.
    auto match = [](uint8_t v, uint8_t code, uint8_t mask, uint8_t care) {
        return ((v ^ code) & static_cast<uint8_t>(~mask) & care) == 0;
    };
    const uint8_t rtr = f.remote ? 1 : 0;
    const unsigned n = f.DataBytes();
    if (single) {
        if (!f.extended) {
            uint8_t b0 = static_cast<uint8_t>(f.id >> 3);
            uint8_t b1 = static_cast<uint8_t>(((f.id & 7) << 5) | (rtr << 4));
            bool ok = match(b0, acr[0], amr[0], 0xFF) && match(b1, acr[1], amr[1], 0xF0);
            if (n >= 1) ok = ok && match(f.data[0], acr[2], amr[2], 0xFF);
            if (n >= 2) ok = ok && match(f.data[1], acr[3], amr[3], 0xFF);
            return ok;
        }
        uint8_t b0 = static_cast<uint8_t>(f.id >> 21), b1 = static_cast<uint8_t>(f.id >> 13);
        uint8_t b2 = static_cast<uint8_t>(f.id >> 5);
        uint8_t b3 = static_cast<uint8_t>(((f.id & 0x1F) << 3) | (rtr << 2));
        return match(b0, acr[0], amr[0], 0xFF) && match(b1, acr[1], amr[1], 0xFF) &&
               match(b2, acr[2], amr[2], 0xFF) && match(b3, acr[3], amr[3], 0xFC);
    }
    if (!f.extended) {
        uint8_t b0 = static_cast<uint8_t>(f.id >> 3);
        uint8_t b1 = static_cast<uint8_t>(((f.id & 7) << 5) | (rtr << 4));
        // Filter 1: identifier, RTR and the first data byte (high nibble in ACR1/AMR1 bits 3-0,
        // low nibble in ACR3/AMR3 bits 3-0).
        bool f1 = match(b0, acr[0], amr[0], 0xFF) && match(b1, acr[1], amr[1], 0xF0);
        if (n >= 1) {
            f1 = f1 && match(f.data[0] >> 4, acr[1], amr[1], 0x0F) &&
                 match(f.data[0] & 0x0F, acr[3], amr[3], 0x0F);
        }
        bool f2 = match(b0, acr[2], amr[2], 0xFF) && match(b1, acr[3], amr[3], 0xF0);
        return f1 || f2;
    }
    // Extended frames in dual filter mode: both filters see identifier bits 28-13.
    uint8_t b0 = static_cast<uint8_t>(f.id >> 21), b1 = static_cast<uint8_t>(f.id >> 13);
    bool f1 = match(b0, acr[0], amr[0], 0xFF) && match(b1, acr[1], amr[1], 0xFF);
    bool f2 = match(b0, acr[2], amr[2], 0xFF) && match(b1, acr[3], amr[3], 0xFF);
    return f1 || f2;
}

bool Sja1000::ControllerInterruptPending() const {
    return ir_ != 0 || ((ier_ & IR_RI) && rmc_ > 0);
}

uint8_t Sja1000::StatusByte() const {
    uint8_t sr = 0;
    if (rmc_ > 0) sr |= SR_RBS;
    if (dos_) sr |= SR_DOS;
    if (!tr_pending_) sr |= SR_TBS;
    if (tcs_) sr |= SR_TCS;
    if (in_flight_) sr |= SR_TS;
    if (es_) sr |= SR_ES;
    if (bus_off_) sr |= SR_BS;
    return sr;
}

void Sja1000::Raise(uint8_t causes, uint64_t now) {
    // The interrupt register only records enabled causes; the receive interrupt is a level
    // derived from the FIFO and never latched.
    ir_ |= causes & ier_ & static_cast<uint8_t>(~IR_RI);
    BoardEvent(causes, ecc_, alc_, now);
}

uint32_t Sja1000::Read(uint32_t offset, unsigned width) {
    uint32_t value = 0;
    Locked([&] {
        uint64_t now = clock_.NowUs();
        if (offset >= 0x80) {
            value = BoardRead(offset, width);
            return;
        }
        for (unsigned i = 0; i < width; ++i) {
            uint32_t a = offset + i;
            uint8_t b = a < 0x80 ? ReadByte(static_cast<uint8_t>(a), now) : 0xFF;
            value |= static_cast<uint32_t>(b) << (8 * i);
        }
    });
    return value;
}

void Sja1000::Write(uint32_t offset, uint32_t value, unsigned width) {
    Locked([&] {
        uint64_t now = clock_.NowUs();
        if (offset >= 0x80) {
            BoardWrite(offset, value, width);
            return;
        }
        for (unsigned i = 0; i < width && offset + i < 0x80; ++i)
            WriteByte(static_cast<uint8_t>(offset + i), static_cast<uint8_t>(value >> (8 * i)), now);
    });
}

uint8_t Sja1000::ReadByte(uint8_t a, uint64_t now) {
    const bool reset = (mod_ & MOD_RM) != 0;
    switch (a) {
    case SJA_MOD: return mod_;
    case SJA_CMR: return 0xFF;  // write-only
    case SJA_SR: return StatusByte();
    case SJA_IR: {
        uint8_t v = ir_;
        if ((ier_ & IR_RI) && rmc_ > 0) v |= IR_RI;
        ir_ = 0;  // reading takes every cause but the receive interrupt
        return v;
    }
    case SJA_IER: return ier_;
    case SJA_BTR0: return btr0_;
    case SJA_BTR1: return btr1_;
    case SJA_OCR: return ocr_;
    case SJA_ALC: {
        uint8_t v = alc_;
        alc_held_ = false;  // reading re-arms the capture
        return v;
    }
    case SJA_ECC: {
        uint8_t v = ecc_;
        ecc_held_ = false;
        return v;
    }
    case SJA_EWLR: return ewlr_;
    case SJA_RXERR: return static_cast<uint8_t>(rxerr_);
    case SJA_TXERR: return static_cast<uint8_t>(std::min(txerr_, 255u));
    case SJA_RMC: return static_cast<uint8_t>(rmc_);
    case SJA_RBSA: return static_cast<uint8_t>(rbsa_);
    case SJA_CDR: return cdr_;
    default: break;
    }
    if (a >= SJA_FRAME && a < SJA_FRAME + 13) {
        unsigned i = a - SJA_FRAME;
        if (reset) return i < 4 ? acr_[i] : i < 8 ? amr_[i - 4] : 0x00;
        // Operating mode: the receive window over the FIFO, starting at the oldest message.
        return rxram_[(rbsa_ + i) % kSjaRxFifoBytes];
    }
    if (a >= SJA_RXFIFO && a < SJA_RXFIFO + kSjaRxFifoBytes) return rxram_[a - SJA_RXFIFO];
    if (a >= SJA_TXBUF && a < SJA_TXBUF + 13) return txbuf_[a - SJA_TXBUF];
    (void)now;
    return 0x00;
}

void Sja1000::WriteByte(uint8_t a, uint8_t v, uint64_t now) {
    const bool reset = (mod_ & MOD_RM) != 0;
    switch (a) {
    case SJA_MOD:
        if (reset) {
            mod_ = static_cast<uint8_t>((v & (MOD_LOM | MOD_STM | MOD_AFM)) | MOD_RM);
            if (!(v & MOD_RM)) LeaveResetMode(now);
        } else {
            // In operating mode only reset and sleep mode can be changed; the controller does
            // not go to sleep while an interrupt or a transmission is pending.
            bool may_sleep = !ControllerInterruptPending() && !tr_pending_;
            if (!(v & MOD_SM)) {
                if (mod_ & MOD_SM) Raise(IR_WUI, now);
                mod_ &= static_cast<uint8_t>(~MOD_SM);
            } else if (may_sleep) {
                mod_ |= MOD_SM;
            }
            if (v & MOD_RM) EnterResetMode(now);
        }
        return;
    case SJA_CMR:
        if (v & CMR_CDO) dos_ = false;
        if (v & CMR_RRB) ReleaseReceiveBuffer();
        if (!reset && !bus_off_ && (v & (CMR_TR | CMR_SRR)) && !tr_pending_) {
            tr_pending_ = true;
            tcs_ = false;
            single_shot_ = (v & CMR_AT) != 0;
            self_rx_ = (v & CMR_SRR) != 0;
            abort_requested_ = false;
            KickLater();
        } else if ((v & CMR_AT) && !(v & (CMR_TR | CMR_SRR)) && tr_pending_) {
            if (in_flight_ && !in_flight_board_) {
                abort_requested_ = true;  // an attempt on the wire is finished first
            } else {
                tr_pending_ = false;
                tcs_ = false;
                Raise(IR_TI, now);
            }
        }
        return;
    case SJA_IER: ier_ = v; return;
    default: break;
    }
    if (a >= SJA_FRAME && a < SJA_FRAME + 13) {
        unsigned i = a - SJA_FRAME;
        if (reset) {
            if (i < 4) acr_[i] = v;
            else if (i < 8) amr_[i - 4] = v;
        } else if (!tr_pending_) {
            txbuf_[i] = v;  // the transmit buffer is locked while a request is pending
        }
        return;
    }
    if (!reset) return;  // the rest is writable in reset mode only
    switch (a) {
    case SJA_BTR0: btr0_ = v; break;
    case SJA_BTR1: btr1_ = v; break;
    case SJA_OCR: ocr_ = v; break;
    case SJA_EWLR: ewlr_ = v; break;
    case SJA_RXERR: rxerr_ = v; break;
    case SJA_TXERR:
        if (v == 255) {
            EnterBusOff(now);  // writing 255 forces bus off
        } else {
            txerr_ = v;
        }
        break;
    case SJA_RBSA: rbsa_ = v % kSjaRxFifoBytes; break;
    case SJA_CDR: cdr_ = v; break;
    default: break;
    }
}

void Sja1000::EnterResetMode(uint64_t now) {
    mod_ |= MOD_RM;
    // A pending request is cancelled, the receive FIFO emptied.
    tr_pending_ = false;
    in_flight_ = false;
    recovering_ = false;
    recovery_end_ = kNever;
    rbsa_ = rx_write_ = rx_used_ = rmc_ = 0;
    dos_ = false;
    ir_ &= static_cast<uint8_t>(~(IR_TI | IR_DOI));
    BoardStopped(now);
}

void Sja1000::LeaveResetMode(uint64_t now) {
    mod_ &= static_cast<uint8_t>(~MOD_RM);
    if (bus_off_) {
        // Bus-off recovery: 128 x 11 recessive bits before the controller takes part again.
        recovering_ = true;
        uint64_t bit_ns = FastBus() ? 0 : BitTimeNsFor(btr0_, btr1_, osc_hz_);
        recovery_end_ = now + (kRecoveryBits * bit_ns + 999) / 1000;
    }
    UpdateErrorState(now);
    KickLater();
}

void Sja1000::EnterBusOff(uint64_t now) {
    bus_off_ = true;
    txerr_ = 127;
    rxerr_ = 0;
    passive_ = false;
    EnterResetMode(now);
    es_ = true;
    Raise(IR_EI, now);  // bus status changed
}

void Sja1000::UpdateErrorState(uint64_t now) {
    uint8_t causes = 0;
    bool es = bus_off_ || txerr_ >= ewlr_ || rxerr_ >= ewlr_;
    if (es != es_) {
        es_ = es;
        causes |= IR_EI;
    }
    bool passive = !bus_off_ && (txerr_ >= kErrorPassiveLimit || rxerr_ >= kErrorPassiveLimit);
    if (passive != passive_) {
        passive_ = passive;
        causes |= IR_EPI;
    }
    if (causes) Raise(causes, now);
}

void Sja1000::CountTransmitError(uint64_t now) {
    if (mod_ & MOD_LOM) return;
    txerr_ += kTransmitErrorStep;
    if (txerr_ >= kBusOffLimit) {
        EnterBusOff(now);
        return;
    }
    UpdateErrorState(now);
}

void Sja1000::CountReceiveError(uint64_t now) {
    if (mod_ & MOD_LOM) return;
    if (rxerr_ < 255) ++rxerr_;
    UpdateErrorState(now);
}

uint64_t Sja1000::Service(uint64_t now) {
    uint64_t next = kNever;
    Locked([&] {
        if (recovering_) {
            if (now >= recovery_end_) {
                recovering_ = false;
                recovery_end_ = kNever;
                bus_off_ = false;
                txerr_ = rxerr_ = 0;
                es_ = false;
                passive_ = false;
                Raise(IR_EI, now);  // bus status back to bus on
            } else {
                next = recovery_end_;
            }
        }
        next = std::min(next, BoardService(now));
    });
    return next;
}

CanFrame Sja1000::TxBufferFrame() const {
    CanFrame f;
    uint8_t fi = txbuf_[0];
    f.extended = (fi & FI_FF) != 0;
    f.remote = (fi & FI_RTR) != 0;
    f.dlc = fi & FI_DLC;
    unsigned data_at;
    if (f.extended) {
        f.id = (static_cast<uint32_t>(txbuf_[1]) << 21) | (static_cast<uint32_t>(txbuf_[2]) << 13) |
               (static_cast<uint32_t>(txbuf_[3]) << 5) | (txbuf_[4] >> 3);
        data_at = 5;
    } else {
        f.id = (static_cast<uint32_t>(txbuf_[1]) << 3) | (txbuf_[2] >> 5);
        data_at = 3;
    }
    for (unsigned i = 0; i < f.DataBytes(); ++i) f.data[i] = txbuf_[data_at + i];
    return f;
}

bool Sja1000::Pending(uint64_t now, CanFrame* frame) {
    bool pending = false;
    Locked([&] {
        if (!Operating() || (mod_ & MOD_LOM)) return;
        if (tr_pending_) {
            in_flight_frame_ = TxBufferFrame();
            in_flight_board_ = false;
        } else if (BoardPending(now, &in_flight_frame_)) {
            in_flight_board_ = true;
        } else {
            return;
        }
        in_flight_ = true;
        *frame = in_flight_frame_;
        pending = true;
    });
    return pending;
}

bool Sja1000::Acknowledging() {
    std::lock_guard<std::mutex> lk(mu_);
    return Operating() && !(mod_ & (MOD_LOM | MOD_SM));
}

bool Sja1000::NeedsAcknowledgement() {
    std::lock_guard<std::mutex> lk(mu_);
    return !(mod_ & MOD_STM);
}

void Sja1000::StoreFrame(const CanFrame& f, uint64_t now) {
    uint8_t bytes[13];
    unsigned n = 0;
    bytes[n++] = static_cast<uint8_t>((f.extended ? FI_FF : 0) | (f.remote ? FI_RTR : 0) | (f.dlc & FI_DLC));
    if (f.extended) {
        bytes[n++] = static_cast<uint8_t>(f.id >> 21);
        bytes[n++] = static_cast<uint8_t>(f.id >> 13);
        bytes[n++] = static_cast<uint8_t>(f.id >> 5);
        bytes[n++] = static_cast<uint8_t>(((f.id & 0x1F) << 3) | (f.remote ? 0x04 : 0));
    } else {
        bytes[n++] = static_cast<uint8_t>(f.id >> 3);
        bytes[n++] = static_cast<uint8_t>(((f.id & 7) << 5) | (f.remote ? 0x10 : 0));
    }
    for (unsigned i = 0; i < f.DataBytes(); ++i) bytes[n++] = f.data[i];
    if (rx_used_ + n > kSjaRxFifoBytes) {
        // Data overrun: the message is lost; the interrupt marks the change of the status bit.
        if (!dos_) {
            dos_ = true;
            Raise(IR_DOI, now);
        }
        return;
    }
    for (unsigned i = 0; i < n; ++i) rxram_[(rx_write_ + i) % kSjaRxFifoBytes] = bytes[i];
    rx_write_ = (rx_write_ + n) % kSjaRxFifoBytes;
    rx_used_ += n;
    ++rmc_;
    Raise(IR_RI, now);
}

void Sja1000::ReleaseReceiveBuffer() {
    if (rmc_ == 0) return;
    uint8_t fi = rxram_[rbsa_];
    unsigned n = (fi & FI_FF) ? 5 : 3;
    if (!(fi & FI_RTR)) n += std::min<unsigned>(fi & FI_DLC, 8);
    rbsa_ = (rbsa_ + n) % kSjaRxFifoBytes;
    rx_used_ -= std::min(n, rx_used_);
    --rmc_;
}

void Sja1000::ReceiveLocked(const CanFrame& f, uint64_t now, bool own) {
    if (!own && !(mod_ & MOD_LOM) && rxerr_ > 0) {
        rxerr_ = rxerr_ >= kErrorPassiveLimit ? kReceiveCounterAfterPassive : rxerr_ - 1;
        UpdateErrorState(now);
    }
    if (!Accepts(f, (mod_ & MOD_AFM) != 0, acr_, amr_)) return;
    if (BoardTakesFrame(f, now)) return;
    StoreFrame(f, now);
}

void Sja1000::Receive(const CanFrame& f, uint64_t now) {
    Locked([&] {
        if (!Operating()) return;
        if (mod_ & MOD_SM) {
            // Bus activity wakes a sleeping controller; the frame that woke it is lost.
            mod_ &= static_cast<uint8_t>(~MOD_SM);
            Raise(IR_WUI, now);
            return;
        }
        ReceiveLocked(f, now, false);
    });
}

void Sja1000::Transmitted(uint64_t now) {
    Locked([&] {
        if (!in_flight_) return;
        in_flight_ = false;
        if (txerr_ > 0 && !(mod_ & MOD_LOM)) {
            --txerr_;
            UpdateErrorState(now);
        }
        if (in_flight_board_) {
            BoardTransmitted(now);
            return;
        }
        tr_pending_ = false;
        tcs_ = true;
        if (self_rx_) ReceiveLocked(in_flight_frame_, now, true);
        Raise(IR_TI, now);
    });
}

void Sja1000::ArbitrationLost(unsigned bit, uint64_t now) {
    Locked([&] {
        if (!in_flight_) return;
        in_flight_ = false;
        if (!alc_held_) {
            alc_ = static_cast<uint8_t>(bit & 0x1F);
            alc_held_ = true;
        }
        Raise(IR_ALI, now);
        // The request stays; the controller tries again when the bus is free.
        if (!in_flight_board_ && (single_shot_ || abort_requested_)) {
            tr_pending_ = false;
            tcs_ = false;
            Raise(IR_TI, now);
        }
        KickLater();
    });
}

void Sja1000::TransmitError(BusError error, uint64_t now) {
    Locked([&] {
        if (!in_flight_) return;
        in_flight_ = false;
        if (!ecc_held_) {
            ecc_ = static_cast<uint8_t>((error.type << 6) | (error.segment & 0x1F));  // direction 0: transmitting
            ecc_held_ = true;
        }
        // An error-passive transmitter that sees no acknowledgement does not count it: a
        // sender alone on the bus stays error passive instead of going bus off.
        bool lone = error.type == kAckError.type && error.segment == kAckError.segment;
        bool was_passive = txerr_ >= kErrorPassiveLimit;
        Raise(IR_BEI, now);
        if (!(lone && was_passive)) CountTransmitError(now);
        if (bus_off_) return;
        if (in_flight_board_) {
            BoardTransmitFailed(now);
        } else if (single_shot_ || abort_requested_) {
            tr_pending_ = false;
            tcs_ = false;
            Raise(IR_TI, now);
        }
        KickLater();
    });
}

void Sja1000::ReceiveError(BusError error, uint64_t now) {
    Locked([&] {
        if (!Operating()) return;
        if (!ecc_held_) {
            ecc_ = static_cast<uint8_t>((error.type << 6) | 0x20 | (error.segment & 0x1F));
            ecc_held_ = true;
        }
        Raise(IR_BEI, now);
        CountReceiveError(now);
    });
}

}  // namespace hw
