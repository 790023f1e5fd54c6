#include "hw/can_bus.h"

#include <algorithm>

namespace hw {

namespace {
// Bits an error costs on the wire: error flag (6), echoes up to 6 more, delimiter (8) and
// intermission (3), counted from where the error happened.
constexpr unsigned kErrorFrameBits = 6 + 6 + 8 + 3;
// Bit times closer than this (percent) count as the same bit rate.
constexpr uint64_t kBitTimeTolerancePercent = 1;
}  // namespace

CanBus::CanBus(Clock& clock, std::string name)
    : clock_(clock), name_(std::move(name)), kick_handle_(std::make_shared<KickHandle>()) {
    kick_handle_->bus = this;
    // The clock may outlive the bus: its listener reaches the bus only through the handle.
    clock_.AddListener([h = kick_handle_] {
        std::lock_guard<std::mutex> lk(h->mu);
        if (h->bus) h->bus->Kick();
    });
    thread_ = std::thread([this] { Run(); });
}

CanBus::~CanBus() {
    {
        std::lock_guard<std::mutex> lk(kick_handle_->mu);
        kick_handle_->bus = nullptr;
    }
    {
        std::lock_guard<std::mutex> lk(mu_);
        stop_ = true;
        cv_.notify_all();
    }
    thread_.join();
}

void CanBus::Attach(CanBusPort* port) {
    std::lock_guard<std::mutex> lk(mu_);
    if (std::find(ports_.begin(), ports_.end(), port) == ports_.end()) ports_.push_back(port);
    kicked_ = true;
    cv_.notify_all();
}

void CanBus::Detach(CanBusPort* port) {
    std::unique_lock<std::mutex> lk(mu_);
    ports_.erase(std::remove(ports_.begin(), ports_.end(), port), ports_.end());
    if (OnBusThread()) return;
    idle_cv_.wait(lk, [&] { return !busy_ || stop_; });
}

void CanBus::Kick() {
    std::lock_guard<std::mutex> lk(mu_);
    kicked_ = true;
    cv_.notify_all();
}

void CanBus::SetFastMode(bool fast) {
    std::lock_guard<std::mutex> lk(mu_);
    fast_ = fast;
    kicked_ = true;
    cv_.notify_all();
}

bool CanBus::fast_mode() const {
    std::lock_guard<std::mutex> lk(mu_);
    return fast_;
}

void CanBus::SetNominalBitTimeNs(uint64_t ns) {
    std::lock_guard<std::mutex> lk(mu_);
    nominal_bit_ns_ = ns ? ns : 8000;
}

void CanBus::InjectErrorBurst(unsigned attempts) {
    std::lock_guard<std::mutex> lk(mu_);
    inject_ += attempts;
}

bool CanBus::WaitIdle(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lk(mu_);
    uint64_t target = ++request_seq_;
    kicked_ = true;
    cv_.notify_all();
    return idle_cv_.wait_for(lk, limit, [&] { return idle_seq_ >= target || stop_; });
}

void CanBus::SetMonitor(std::function<void(const CanFrame&, uint64_t)> monitor) {
    std::lock_guard<std::mutex> lk(mu_);
    monitor_ = std::move(monitor);
}

uint64_t CanBus::frames_delivered() const {
    std::lock_guard<std::mutex> lk(mu_);
    return delivered_;
}

uint64_t CanBus::error_frames() const {
    std::lock_guard<std::mutex> lk(mu_);
    return error_frames_;
}

uint64_t CanBus::WireTimeUs(const CanFrame& frame, uint64_t bit_ns) {
    return (WireBits(frame) * bit_ns + 999) / 1000;
}

void CanBus::Run() {
    std::unique_lock<std::mutex> lk(mu_);
    while (!stop_) {
        kicked_ = false;
        uint64_t seen_request = request_seq_;
        std::vector<CanBusPort*> ports = ports_;
        bool fast = fast_;
        uint64_t nominal = nominal_bit_ns_;
        busy_ = true;
        lk.unlock();

        uint64_t now = clock_.NowUs();
        uint64_t next = kNever;
        for (CanBusPort* p : ports) next = std::min(next, p->Service(now));

        struct Candidate {
            CanBusPort* port;
            CanFrame frame;
        };
        std::vector<Candidate> cands;
        for (CanBusPort* p : ports) {
            CanFrame f;
            if (p->Pending(now, &f)) cands.push_back({p, f});
        }

        if (cands.empty()) {
            lk.lock();
            busy_ = false;
            idle_seq_ = std::max(idle_seq_, seen_request);
            idle_cv_.notify_all();
            if (kicked_ || stop_) continue;
            clock_.WaitUntil(lk, cv_, next);
            continue;
        }

        // Arbitration: the frame with the dominant bit first wins; identical fields go to the
        // port attached first.
        size_t win = 0;
        for (size_t i = 1; i < cands.size(); ++i)
            if (Arbitrate(cands[i].frame, cands[win].frame, nullptr) < 0) win = i;
        for (size_t i = 0; i < cands.size(); ++i) {
            if (i == win) continue;
            unsigned bit = 0;
            Arbitrate(cands[i].frame, cands[win].frame, &bit);
            cands[i].port->ArbitrationLost(bit, now);
        }
        CanBusPort* sender = cands[win].port;
        const CanFrame frame = cands[win].frame;
        uint64_t bit_ns = sender->BitTimeNs();
        if (bit_ns == 0) bit_ns = nominal;

        lk.lock();
        bool destroyed = inject_ > 0;
        if (destroyed) --inject_;
        lk.unlock();

        // A port whose bit time differs from the sender's by more than the oscillator
        // tolerance cannot follow the frame: it sees errors instead and does not acknowledge.
        auto in_step = [&](CanBusPort* p) {
            uint64_t b = p->BitTimeNs();
            if (b == 0) b = nominal;
            uint64_t diff = b > bit_ns ? b - bit_ns : bit_ns - b;
            return diff * 100 <= bit_ns * kBitTimeTolerancePercent;
        };
        std::vector<CanBusPort*> deaf;
        bool acked = false;
        if (!destroyed) {
            for (CanBusPort* p : ports) {
                if (p == sender) continue;
                if (!in_step(p)) {
                    deaf.push_back(p);
                    continue;
                }
                if (p->Acknowledging()) acked = true;
            }
            if (!acked && !sender->NeedsAcknowledgement()) acked = true;
        }
        // Wire time: the whole frame, or up to the error and the error frame after it. A
        // failed attempt takes its time even in fast mode, so a sender alone on the bus
        // retries at the pace of the bit timing instead of spinning.
        uint64_t wire_us;
        if (destroyed || !acked) {
            unsigned bits = std::min(WireBits(frame), 40u + 8 * frame.DataBytes()) + kErrorFrameBits;
            wire_us = (bits * bit_ns + 999) / 1000;
        } else {
            wire_us = fast ? 0 : WireTimeUs(frame, bit_ns);
        }
        uint64_t end = now + wire_us;
        if (wire_us > 0) {
            lk.lock();
            // No port is being called while the frame is on the wire, and nothing is due
            // before it ends: Detach may proceed and the bus counts as idle meanwhile.
            busy_ = false;
            while (!stop_ && clock_.NowUs() < end) {
                idle_seq_ = std::max(idle_seq_, request_seq_);
                idle_cv_.notify_all();
                clock_.WaitUntil(lk, cv_, end);
            }
            if (stop_) break;
            busy_ = true;
            // Ports detached while the frame was on the wire get no outcome.
            ports = ports_;
            lk.unlock();
            if (std::find(ports.begin(), ports.end(), sender) == ports.end()) {
                lk.lock();
                busy_ = false;
                idle_cv_.notify_all();
                continue;
            }
        }

        if (destroyed) {
            for (CanBusPort* p : ports)
                if (p != sender) p->ReceiveError(kStuffErrorInData, end);
            sender->TransmitError(kBitErrorInData, end);
        } else {
            for (CanBusPort* p : deaf)
                if (std::find(ports.begin(), ports.end(), p) != ports.end()) p->ReceiveError(kStuffErrorInData, end);
            if (!acked) {
                sender->TransmitError(kAckError, end);
            } else {
                for (CanBusPort* p : ports)
                    if (p != sender && std::find(deaf.begin(), deaf.end(), p) == deaf.end()) p->Receive(frame, end);
                sender->Transmitted(end);
            }
        }

        lk.lock();
        if (destroyed || !acked) {
            ++error_frames_;
        } else {
            ++delivered_;
            if (monitor_) {
                auto monitor = monitor_;
                lk.unlock();
                monitor(frame, end);
                lk.lock();
            }
        }
        busy_ = false;
        idle_cv_.notify_all();
    }
    busy_ = false;
    idle_cv_.notify_all();
}

}  // namespace hw
