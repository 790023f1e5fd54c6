#include "hw/interrupt_line.h"

namespace hw {

void SharedLine::Connect(InterruptLine* out) {
    std::lock_guard<std::mutex> lk(mu_);
    out_ = out;
    driven_ = asserting_ != 0;
    if (out_) out_->Set(driven_);
}

bool SharedLine::level() const {
    std::lock_guard<std::mutex> lk(mu_);
    return asserting_ != 0;
}

void SharedLine::SetSource(unsigned index, bool asserted) {
    std::lock_guard<std::mutex> lk(mu_);
    if (index >= sources_.size()) sources_.resize(index + 1, false);
    if (sources_[index] != asserted) {
        sources_[index] = asserted;
        asserted ? ++asserting_ : --asserting_;
    }
    bool level = asserting_ != 0;
    if (level != driven_) {
        driven_ = level;
        if (out_) out_->Set(level);
    }
}

}  // namespace hw
