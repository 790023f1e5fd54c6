// An interrupt line as a device drives it: asserted or not (level-sensitive, active while any
// cause is pending). Whoever implements Set must not wait for the interrupt's own lock: a model
// calls Set from a register access that the service routine itself makes while holding it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace hw {

class InterruptLine {
public:
    virtual ~InterruptLine() = default;
    virtual void Set(bool asserted) = 0;
};

// A line that only remembers its level and counts rising edges; for tests and for devices
// that nobody has connected yet.
class LatchedLine final : public InterruptLine {
public:
    void Set(bool asserted) override {
        if (asserted && !level_.exchange(true)) rises_.fetch_add(1);
        if (!asserted) level_.store(false);
    }
    bool level() const { return level_.load(); }
    int rises() const { return rises_.load(); }

private:
    std::atomic<bool> level_{false};
    std::atomic<int> rises_{0};
};

// Several devices wired onto one line (the channels of a board share the board's line, boards
// share an interrupt number): the line is asserted while any source asserts it. Any number of
// sources.
class SharedLine {
public:
    explicit SharedLine(InterruptLine* out = nullptr) : out_(out) {}
    // Connects (or replaces) the line the sources drive; the current level is passed on.
    void Connect(InterruptLine* out);
    // One source's input.
    class Source final : public InterruptLine {
    public:
        Source(SharedLine* owner, unsigned index) : owner_(owner), index_(index) {}
        void Set(bool asserted) override { owner_->SetSource(index_, asserted); }

    private:
        SharedLine* owner_;
        unsigned index_;
    };
    Source MakeSource(unsigned index) { return Source(this, index); }
    bool level() const;

private:
    void SetSource(unsigned index, bool asserted);
    mutable std::mutex mu_;  // held while the output is driven, so levels reach it in order
    std::vector<bool> sources_;  // level of each source, by index
    std::size_t asserting_ = 0;  // sources asserting the line
    bool driven_ = false;
    InterruptLine* out_;
};

}  // namespace hw
