#include "hw/interrupt_line.h"

namespace hw {

void SharedLine::Connect(InterruptLine* out) {
    std::lock_guard<std::mutex> lk(mu_);
    out_ = out;
    driven_ = sources_ != 0;
    if (out_) out_->Set(driven_);
}

bool SharedLine::level() const {
    std::lock_guard<std::mutex> lk(mu_);
    return sources_ != 0;
}

void SharedLine::SetSource(unsigned index, bool asserted) {
    std::lock_guard<std::mutex> lk(mu_);
    uint32_t bit = 1u << (index & 31);
    sources_ = asserted ? (sources_ | bit) : (sources_ & ~bit);
    bool level = sources_ != 0;
    if (level != driven_) {
        driven_ = level;
        if (out_) out_->Set(level);
    }
}

}  // namespace hw
