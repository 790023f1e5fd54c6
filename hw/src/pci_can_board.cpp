#include "hw/pci_can_board.h"

#include <algorithm>

namespace hw {

namespace {
constexpr uint64_t kTimebaseWrapUs = (uint64_t(kTimebaseMask) + 1) * kTimebaseStepUs;
constexpr uint32_t kBar0SizeMask = ~(kChannelWindowLength - 1);

void Put16(uint8_t* c, uint32_t off, uint16_t v) {
    c[off] = static_cast<uint8_t>(v);
    c[off + 1] = static_cast<uint8_t>(v >> 8);
}

// Identifier bytes as in the controller's frame buffer.
unsigned PutId(uint8_t* out, const CanFrame& f) {
    if (f.extended) {
        out[0] = static_cast<uint8_t>(f.id >> 21);
        out[1] = static_cast<uint8_t>(f.id >> 13);
        out[2] = static_cast<uint8_t>(f.id >> 5);
        out[3] = static_cast<uint8_t>((f.id & 0x1F) << 3);
        return 4;
    }
    out[0] = static_cast<uint8_t>(f.id >> 3);
    out[1] = static_cast<uint8_t>((f.id & 7) << 5);
    return 2;
}

CanFrame FrameFrom(uint8_t fi, const uint8_t* id, const uint8_t* data) {
    CanFrame f;
    f.extended = (fi & FI_FF) != 0;
    f.remote = (fi & FI_RTR) != 0;
    f.dlc = fi & FI_DLC;
    if (f.extended) {
        f.id = (uint32_t(id[0]) << 21) | (uint32_t(id[1]) << 13) | (uint32_t(id[2]) << 5) | (id[3] >> 3);
    } else {
        f.id = (uint32_t(id[0]) << 3) | (id[1] >> 5);
    }
    for (unsigned i = 0; i < f.DataBytes(); ++i) f.data[i] = data[i];
    return f;
}
}  // namespace

PciCanChannel::PciCanChannel(Clock& clock, const PciCanBoardConfig& cfg, unsigned index)
    : Sja1000(clock, cfg.oscillator_hz), cfg_(cfg), index_(index), fifo_(cfg.fifo_board()) {
    Put16(config_, PCI_VENDOR_ID, cfg.vendor_id);
    Put16(config_, PCI_DEVICE_ID, cfg.device_id);
    config_[PCI_REVISION_ID] = cfg.revision;
    config_[PCI_CLASS_CODE] = static_cast<uint8_t>(cfg.class_code);
    config_[PCI_CLASS_CODE + 1] = static_cast<uint8_t>(cfg.class_code >> 8);
    config_[PCI_CLASS_CODE + 2] = static_cast<uint8_t>(cfg.class_code >> 16);
    config_[PCI_HEADER_TYPE] = cfg.channels > 1 ? 0x80 : 0x00;
    Put16(config_, PCI_SUBSYSTEM_VENDOR_ID, cfg.subsystem_vendor_id);
    Put16(config_, PCI_SUBSYSTEM_ID, cfg.subsystem_id);
    config_[PCI_INTERRUPT_LINE] = cfg.interrupt_line;
    config_[PCI_INTERRUPT_PIN] = 1;  // INTA
    bar0_ = cfg.bar0_base + index * 0x1000;
    timebase_start_us_ = clock.NowUs();
}

uint32_t PciCanChannel::window_base() const { return bar0_; }

void PciCanChannel::SetPresent(bool present) {
    present_.store(present);
    Locked([] {});  // drive the line again
}

uint32_t PciCanChannel::Read(uint32_t offset, unsigned width) {
    if (!present_.load() || !memory_enabled_.load() || offset >= kChannelWindowLength) return 0xFFFFFFFFu >> (32 - 8 * width);
    return Sja1000::Read(offset, width);
}

void PciCanChannel::Write(uint32_t offset, uint32_t value, unsigned width) {
    if (!present_.load() || !memory_enabled_.load() || offset >= kChannelWindowLength) return;
    Sja1000::Write(offset, value, width);
}

uint32_t PciCanChannel::ConfigRead(uint32_t offset, unsigned width) {
    if (!present_.load()) return 0xFFFFFFFFu >> (32 - 8 * width);
    uint32_t v = 0;
    Locked([&] {
        for (unsigned i = 0; i < width; ++i) {
            uint32_t a = offset + i;
            uint8_t b = 0;
            if (a >= PCI_BAR0 && a < PCI_BAR0 + 4) {
                b = static_cast<uint8_t>(bar0_ >> (8 * (a - PCI_BAR0)));
            } else if (a < 256) {
                b = config_[a];
            }
            v |= uint32_t(b) << (8 * i);
        }
    });
    return v;
}

void PciCanChannel::ConfigWrite(uint32_t offset, uint32_t value, unsigned width) {
    if (!present_.load()) return;
    Locked([&] {
        for (unsigned i = 0; i < width; ++i) {
            uint32_t a = offset + i;
            uint8_t b = static_cast<uint8_t>(value >> (8 * i));
            if (a == PCI_COMMAND) {
                config_[a] = b & (PCI_COMMAND_MEMORY | PCI_COMMAND_MASTER);
                memory_enabled_.store((b & PCI_COMMAND_MEMORY) != 0);
            } else if (a == 0x0C || a == PCI_LATENCY_TIMER || a == PCI_INTERRUPT_LINE) {
                config_[a] = b;
            } else if (a >= PCI_BAR0 && a < PCI_BAR0 + 4) {
                // Sizing: the address bits below the window size read back as zero.
                unsigned shift = 8 * (a - PCI_BAR0);
                bar0_ = (bar0_ & ~(0xFFu << shift)) | (uint32_t(b) << shift);
                bar0_ &= kBar0SizeMask;
            }
        }
    });
}

void PciCanChannel::RaiseBoardEvent() {
    Locked([&] { status_ |= IS_BOARD_EVENT; });
}

uint16_t PciCanChannel::PeekStatus() {
    uint16_t s = 0;
    Locked([&] {
        CheckOverflow(clock_.NowUs());
        s = status_;
    });
    return s;
}

bool PciCanChannel::BoardLineLevel() const {
    if (!present_.load()) return false;
    bool board = (status_ & enable_) != 0;
    if (!fifo_) return ControllerInterruptPending() || board;
    // With the FIFO logic on the board takes the controller's events itself.
    return (board_mode_ & 1) ? board : ControllerInterruptPending();
}

uint32_t PciCanChannel::TimebaseValue(uint64_t now) const {
    return static_cast<uint32_t>((now - timebase_start_us_) / kTimebaseStepUs) & kTimebaseMask;
}

void PciCanChannel::CheckOverflow(uint64_t now) {
    if (!fifo_) return;
    uint64_t wraps = (now - timebase_start_us_) / kTimebaseWrapUs;
    if (wraps > wraps_seen_) {
        wraps_seen_ = wraps;
        status_ |= IS_TIMEBASE_OVERFLOW;
    }
}

void PciCanChannel::RestartTimebase(uint64_t now) {
    timebase_start_us_ = now;
    wraps_seen_ = 0;
    KickLater();  // the next overflow moved
}

uint32_t PciCanChannel::BoardRead(uint32_t offset, unsigned width) {
    uint64_t now = clock_.NowUs();
    CheckOverflow(now);
    uint32_t v = 0;
    for (unsigned i = 0; i < width; ++i) v |= uint32_t(ReadBoardByte(offset + i, now)) << (8 * i);
    return v;
}

void PciCanChannel::BoardWrite(uint32_t offset, uint32_t value, unsigned width) {
    uint64_t now = clock_.NowUs();
    CheckOverflow(now);
    for (unsigned i = 0; i < width; ++i) WriteBoardByte(offset + i, static_cast<uint8_t>(value >> (8 * i)), now);
}

uint8_t PciCanChannel::ReadBoardByte(uint32_t a, uint64_t now) {
    switch (a) {
    case BRD_CHANNEL_INT: return cfg_.channel_interrupt_mask;
    case BRD_CHANNEL_INDEX: return static_cast<uint8_t>(index_ & 0x0F);
    case BRD_EVENT_ROUTE: return event_route_;
    case BRD_SWITCH: return cfg_.board_switch;
    case BRD_INT_STATUS: {
        uint8_t v = static_cast<uint8_t>(status_);
        status_ &= 0xFF00;  // read to clear
        return v;
    }
    case BRD_INT_STATUS + 1: {
        uint8_t v = static_cast<uint8_t>(status_ >> 8);
        status_ &= 0x00FF;
        return v;
    }
    case BRD_INT_ENABLE: return static_cast<uint8_t>(enable_);
    case BRD_INT_ENABLE + 1: return static_cast<uint8_t>(enable_ >> 8);
    default: break;
    }
    if (!fifo_) return 0xFF;
    switch (a) {
    case BRD_MODE: return board_mode_;
    case BRD_CYC_MODE: return cyc_mode_;
    case FIFO_TX_COUNT: return static_cast<uint8_t>(tx_.size());
    case FIFO_TX_TRIGGER: return tx_trigger_mode_;
    case CYC_STATUS: return 0;  // loading is immediate
    case CYC_RUN: return cyc_running_ ? 1 : 0;
    case FIFO_RX_COUNT: return static_cast<uint8_t>(rx_.size());
    case FIFO_RX_TRIGGER_MODE: return rx_trigger_mode_;
    case FIFO_RX_TRIGGER_LEVEL: return rx_trigger_level_;
    case TIMEBASE_CONTROL: return timebase_control_;
    case FIFO_ERR_COUNT: return static_cast<uint8_t>(err_.size());
    case FIFO_ERR_TRIGGER_MODE: return err_trigger_mode_;
    case FIFO_ERR_TRIGGER_LEVEL: return err_trigger_level_;
    case BRD_CONTROLLER_SETUP: return controller_setup_;
    default: break;
    }
    if (a >= TIMEBASE && a < TIMEBASE + 4) return static_cast<uint8_t>(TimebaseValue(now) >> (8 * (a - TIMEBASE)));
    if (a >= CYC_PERIOD && a < CYC_PERIOD + 4) return static_cast<uint8_t>(cyc_period_ >> (8 * (a - CYC_PERIOD)));
    if (a >= CYC_WINDOW && a < CYC_WINDOW + 16) return cyc_window_[a - CYC_WINDOW];
    auto pop = [](std::deque<std::vector<uint8_t>>& q, size_t& pos) -> uint8_t {
        if (q.empty()) return 0x00;
        uint8_t b = q.front()[pos++];
        if (pos >= q.front().size()) {
            q.pop_front();
            pos = 0;
        }
        return b;
    };
    if (a >= FIFO_RX_WINDOW && a < FIFO_RX_WINDOW + 16) return pop(rx_, rx_read_);
    if (a >= FIFO_ERR_WINDOW && a < FIFO_ERR_WINDOW + 16) return pop(err_, err_read_);
    return 0xFF;
}

void PciCanChannel::WriteBoardByte(uint32_t a, uint8_t v, uint64_t now) {
    switch (a) {
    case BRD_EVENT_ROUTE: event_route_ = v; return;
    case BRD_INT_ENABLE: enable_ = static_cast<uint16_t>((enable_ & 0xFF00) | v); return;
    case BRD_INT_ENABLE + 1: enable_ = static_cast<uint16_t>((enable_ & 0x00FF) | (v << 8)); return;
    default: break;
    }
    if (!fifo_) return;
    if (a >= FIFO_TX_WINDOW && a < FIFO_TX_WINDOW + 16) {
        tx_partial_.push_back(v);
        ParseTxBytes(now);
        return;
    }
    if (a >= CYC_WINDOW && a < CYC_WINDOW + 16) {
        cyc_window_[a - CYC_WINDOW] = v;
        return;
    }
    if (a >= CYC_PERIOD && a < CYC_PERIOD + 4) {
        unsigned shift = 8 * (a - CYC_PERIOD);
        cyc_period_ = ((cyc_period_ & ~(0xFFu << shift)) | (uint32_t(v) << shift)) & kTimebaseMask;
        return;
    }
    switch (a) {
    case BRD_MODE:
        // Bit 7 is a resynchronising pulse of the FIFO logic and reads back as 0.
        board_mode_ = v & 0x01;
        return;
    case BRD_CYC_MODE:
        cyc_mode_ = v & 0x01;
        if (!cyc_mode_) cyc_running_ = false;
        return;
    case FIFO_TX_RESET:
        if (v & 1) {
            tx_.clear();
            tx_partial_.clear();
        }
        return;
    case FIFO_TX_TRIGGER: tx_trigger_mode_ = v & 3; return;
    case CYC_RUN:
        if ((v & 1) && cyc_mode_ && !cyc_running_) {
            cyc_running_ = true;
            cyc_next_us_ = now;
            KickLater();
        } else if (!(v & 1)) {
            cyc_running_ = false;
        }
        return;
    case FIFO_RX_RESET:
        if (v & 1) {
            rx_.clear();
            rx_read_ = 0;
        }
        return;
    case FIFO_RX_TRIGGER_MODE: rx_trigger_mode_ = v & 3; return;
    case FIFO_RX_TRIGGER_LEVEL: rx_trigger_level_ = v; return;
    case TIMEBASE_CONTROL:
        timebase_control_ = v;
        if (v == 5) RestartTimebase(now);
        return;
    case FIFO_ERR_RESET:
        if (v & 1) {
            err_.clear();
            err_read_ = 0;
        }
        return;
    case FIFO_ERR_TRIGGER_MODE: err_trigger_mode_ = v & 3; return;
    case FIFO_ERR_TRIGGER_LEVEL: err_trigger_level_ = v; return;
    case BRD_CONTROLLER_SETUP: controller_setup_ = v; return;
    default: return;
    }
}

void PciCanChannel::ParseTxBytes(uint64_t now) {
    // An entry: frame information, three time bytes (the delay), identifier bytes, and as
    // many data places as the length code says (places beyond the eighth are zero).
    while (!tx_partial_.empty()) {
        uint8_t fi = tx_partial_[0];
        size_t need = EntryHeaderBytes(fi) + (fi & FI_DLC);
        if (tx_partial_.size() < need) return;
        const uint8_t* p = tx_partial_.data();
        TxEntry e;
        e.delay = (uint32_t(p[1]) | (uint32_t(p[2]) << 8) | (uint32_t(p[3] & 0x1F) << 16));
        e.frame = FrameFrom(fi, p + 4, p + 4 + ((fi & FI_FF) ? 4 : 2));
        tx_partial_.erase(tx_partial_.begin(), tx_partial_.begin() + static_cast<long>(need));
        if (tx_.size() >= kTxFifoEntries) continue;  // a full FIFO drops what is written
        bool was_empty = tx_.empty();
        tx_.push_back(e);
        if (was_empty) HeadBecameReady(now);
        KickLater();
    }
}

void PciCanChannel::HeadBecameReady(uint64_t now) {
    if (tx_.empty()) return;
    bool fast = FastBus();
    head_ready_us_ = now + (fast ? 0 : uint64_t(tx_.front().delay) * kTimebaseStepUs);
}

void PciCanChannel::SignalTxTrigger() {
    // Trigger modes of the transmit FIFO: 0 empty, 1 at most 16, 2 at most 32, 3 at most 48
    // entries left.
    static const unsigned kLevels[4] = {0, 16, 32, 48};
    if (tx_.size() <= kLevels[tx_trigger_mode_ & 3]) status_ |= IS_TX_FIFO;
}

bool PciCanChannel::BoardTakesFrame(const CanFrame& f, uint64_t now) {
    if (!FifoOn()) return false;
    if (rx_.size() >= kRxFifoEntries) {
        status_ |= IS_DATA_OVERRUN;
        return true;
    }
    std::vector<uint8_t> e;
    uint8_t fi = static_cast<uint8_t>((f.extended ? FI_FF : 0) | (f.remote ? FI_RTR : 0) | (f.dlc & FI_DLC));
    uint32_t t = TimebaseValue(now);
    e.push_back(fi);
    e.push_back(static_cast<uint8_t>(t));
    e.push_back(static_cast<uint8_t>(t >> 8));
    e.push_back(static_cast<uint8_t>(t >> 16));
    uint8_t id[4];
    unsigned n = PutId(id, f);
    e.insert(e.end(), id, id + n);
    for (unsigned i = 0; i < (f.dlc & FI_DLC); ++i) e.push_back(i < f.DataBytes() ? f.data[i] : 0);
    rx_.push_back(std::move(e));
    // Receive trigger modes: 0 every entry and the level, 1 the level, 2 every entry, 3 none.
    if (rx_trigger_mode_ == 0 || rx_trigger_mode_ == 2) status_ |= IS_RX_FIFO_ENTRY;
    if ((rx_trigger_mode_ == 0 || rx_trigger_mode_ == 1) && rx_.size() == std::max<unsigned>(rx_trigger_level_, 1))
        status_ |= IS_RX_FIFO_LEVEL;
    return true;
}

void PciCanChannel::BoardEvent(uint8_t causes, uint8_t ecc, uint8_t alc, uint64_t now) {
    if (!FifoOn()) return;
    if (causes & IR_EI) status_ |= IS_ERROR_WARNING;
    if (causes & IR_DOI) status_ |= IS_DATA_OVERRUN;
    uint8_t flags = causes & (IR_BEI | IR_ALI | IR_EPI);
    if (!flags) return;
    ReleaseCaptures();
    if (err_.size() >= kErrFifoEntries) {
        status_ |= IS_ERR_FIFO_OVERFLOW;
        return;
    }
    uint32_t t = TimebaseValue(now);
    err_.push_back({flags, static_cast<uint8_t>(t), static_cast<uint8_t>(t >> 8), static_cast<uint8_t>(t >> 16),
                    (flags & IR_ALI) ? alc : uint8_t(0), (flags & IR_BEI) ? ecc : uint8_t(0)});
    if (err_trigger_mode_ == 0 || err_trigger_mode_ == 2) status_ |= IS_ERR_FIFO_ENTRY;
    if ((err_trigger_mode_ == 0 || err_trigger_mode_ == 1) && err_.size() == std::max<unsigned>(err_trigger_level_, 1))
        status_ |= IS_ERR_FIFO_LEVEL;
}

bool PciCanChannel::BoardPending(uint64_t now, CanFrame* frame) {
    tx_source_ = TxSource::kNone;
    if (!FifoOn()) return false;
    if (cyc_running_ && cyc_mode_ && now >= cyc_next_us_) {
        uint8_t fi = cyc_window_[0];
        *frame = FrameFrom(fi, cyc_window_ + 1, cyc_window_ + 1 + ((fi & FI_FF) ? 4 : 2));
        tx_source_ = TxSource::kCyclic;
        return true;
    }
    if (!tx_.empty() && now >= head_ready_us_) {
        *frame = tx_.front().frame;
        tx_source_ = TxSource::kFifo;
        return true;
    }
    return false;
}

void PciCanChannel::BoardTransmitted(uint64_t now) {
    if (tx_source_ == TxSource::kCyclic) {
        uint64_t period = std::max<uint64_t>(cyc_period_, 1) * kTimebaseStepUs;
        cyc_next_us_ = std::max(cyc_next_us_ + period, now);
    } else if (tx_source_ == TxSource::kFifo && !tx_.empty()) {
        tx_.pop_front();
        status_ |= IS_TX_DONE;
        SignalTxTrigger();
        HeadBecameReady(now);
    }
    tx_source_ = TxSource::kNone;
    KickLater();
}

uint64_t PciCanChannel::BoardService(uint64_t now) {
    if (!fifo_) return kNever;
    CheckOverflow(now);
    uint64_t next = timebase_start_us_ + (wraps_seen_ + 1) * kTimebaseWrapUs;
    if (FifoOn() && Operating()) {
        if (cyc_running_ && cyc_mode_) next = std::min(next, std::max(cyc_next_us_, now));
        if (!tx_.empty()) next = std::min(next, std::max(head_ready_us_, now));
    }
    return next;
}

void PciCanChannel::BoardStopped(uint64_t now) {
    tx_source_ = TxSource::kNone;
    if (cyc_running_) {
        // The cyclic transmitter cannot run without the controller.
        cyc_running_ = false;
        status_ |= IS_CYCLIC_STOPPED;
    }
    HeadBecameReady(now);
}

PciCanBoard::PciCanBoard(Clock& clock, const PciCanBoardConfig& config) : cfg_(config) {
    cfg_.channels = std::clamp(cfg_.channels, 1u, 4u);
    for (unsigned i = 0; i < cfg_.channels; ++i) sources_.push_back(shared_.MakeSource(i));
    for (unsigned i = 0; i < cfg_.channels; ++i) {
        channels_.push_back(std::make_unique<PciCanChannel>(clock, cfg_, i));
        channels_.back()->ConnectInterrupt(&sources_[i]);
    }
}

PciCanBoard::~PciCanBoard() {
    for (auto& c : channels_) c->AttachBus(nullptr);
}

void PciCanBoard::ConnectInterrupt(InterruptLine* line) { shared_.Connect(line); }

void PciCanBoard::AttachChannel(unsigned i, CanBus* bus) { channels_.at(i)->AttachBus(bus); }

void PciCanBoard::RaiseBoardEvent() {
    for (auto& c : channels_) c->RaiseBoardEvent();
}

}  // namespace hw
