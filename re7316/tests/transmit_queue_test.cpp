// The transmit queue of a channel under real wire time (no fast mode): several writers on one
// port, and the completion records of what was sent.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <thread>
#include <vector>

#include "board_fixture.h"

namespace re7316test {
namespace {

using Clock = std::chrono::steady_clock;

// Frames on this bus take their wire time: at bit timing 0x1D23 (30 µs a bit) a frame of 8 data
// bytes is about 4 ms on the wire, so writers fill the queue faster than it drains, while the
// receiving channel has time to take every frame out of its controller.
std::string SlowBus(bool fifo) {
    std::string text = OneBoard(fifo);
    text.replace(text.find("FastMode=1"), 10, "FastMode=0");
    return text;
}

class TransmitQueueTest : public BoardTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        Boot(SlowBus(GetParam()));
        sender_ = Open("DIZED1");
        receiver_ = Open("DIZED2");
        ASSERT_NE(sender_, INVALID_HANDLE_VALUE);
        ASSERT_NE(receiver_, INVALID_HANDLE_VALUE);
        // A receive queue that holds everything a test sends, read at the end.
        const CanConfig config{0, 1, 64, kReceiveQueue, 64, 96, kSlowTiming};
        ASSERT_EQ(Ioctl(receiver_, IOCTL_CAN_SET_CONFIG, &config, sizeof config, nullptr, 0), 0u);
        ASSERT_EQ(Ioctl(sender_, IOCTL_CAN_SET_CONFIG, &config, sizeof config, nullptr, 0), 0u);
        ASSERT_EQ(Ioctl(receiver_, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
        ASSERT_EQ(Ioctl(sender_, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    }
    // Everything the receiver got, once `count` arrived (or the hang guard passed).
    std::vector<CanMessage> Received(ULONG count) {
        EXPECT_TRUE(WaitForReceived(receiver_, count)) << "received " << Status(receiver_).receiveWaiting;
        std::vector<CanMessage> got(kReceiveQueue);
        DWORD n = 0;
        if (!ReadFile(receiver_, got.data(), static_cast<DWORD>(got.size() * sizeof(CanMessage)), &n, nullptr)) n = 0;
        got.resize(n / sizeof(CanMessage));
        return got;
    }
    // Waits until the sender's transmit queue is empty (the last frame may still be on the wire).
    void Drain() {
        const auto until = Clock::now() + std::chrono::milliseconds(kHangGuardMs);
        while (Status(sender_).transmitWaiting != 0 && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    std::vector<CanMessage> Completions() {
        std::vector<CanMessage> out;
        for (;;) {
            CanMessage got[64];
            DWORD n = 0;
            if (Ioctl(sender_, IOCTL_CAN_GET_COMPLETIONS, nullptr, 0, got, sizeof got, &n) != 0) return out;
            out.insert(out.end(), got, got + n / sizeof(CanMessage));
        }
    }

    static constexpr ULONG kReceiveQueue = 4096;
    static constexpr ULONG kSlowTiming = 0x1D23;
    HANDLE sender_ = INVALID_HANDLE_VALUE, receiver_ = INVALID_HANDLE_VALUE;
};

// Regression: the room was checked and the messages queued in two steps, so two writers could
// both pass the check; the second overwrote the oldest unsent slot (one frame lost, another
// sent twice).
TEST_P(TransmitQueueTest, WritersOnOnePortLoseAndRepeatNothing) {
    // Each writer pauses between two locked steps of its request, as a preemption would.
    kernel_->verifier().SetConcurrencyStress(true);
    constexpr ULONG kWriters = 4, kFrames = 90, kBatch = 3;
    std::atomic<bool> stuck{false};
    auto writer = [&](ULONG w) {
        const auto until = Clock::now() + std::chrono::milliseconds(kHangGuardMs);
        for (ULONG k = 0; k < kFrames && !stuck; k += kBatch) {
            CanMessage batch[kBatch];
            for (ULONG j = 0; j < kBatch; ++j)
                batch[j] = Frame((w << 16) | (k + j), {UCHAR(w), UCHAR(k + j), 0, 0, 0, 0, 0, 0});
            while (!Send(sender_, batch, kBatch)) {
                if (GetLastError() != ERROR_DISK_FULL || Clock::now() > until) {
                    stuck = true;
                    return;
                }
                std::this_thread::yield();
            }
        }
    };
    std::vector<std::thread> writers;
    for (ULONG w = 0; w < kWriters; ++w) writers.emplace_back(writer, w);
    for (auto& t : writers) t.join();
    ASSERT_FALSE(stuck.load()) << "a writer could not queue its frames";

    const std::vector<CanMessage> got = Received(kWriters * kFrames);
    std::map<ULONG, std::vector<ULONG>> byWriter;
    for (const CanMessage& m : got) byWriter[(m.identifier >> 16) & 0xFF].push_back(m.identifier & 0xFFFF);
    ASSERT_EQ(got.size(), kWriters * kFrames);
    for (ULONG w = 0; w < kWriters; ++w) {
        std::vector<ULONG> expected(kFrames);
        for (ULONG k = 0; k < kFrames; ++k) expected[k] = k;
        EXPECT_EQ(byWriter[w], expected) << "writer " << w << ": every frame once, in its order";
    }
}

// Regression: reading the completion records cleared the sent mark only in the copy handed
// out, and after the last waiting record the reader jumped past the frame still on the wire:
// the next read reported the old record again with its old time, and the frame on the wire
// never.
TEST_P(TransmitQueueTest, EverySentFrameGivesOneCompletionWithItsOwnTime) {
    constexpr int kRounds = 6;
    const CanMessage round[2] = {Frame(0x123, {0}, false), Frame(0x456, {0}, false)};
    std::vector<CanMessage> done;
    for (int r = 0; r < kRounds; ++r) {
        if (r) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_TRUE(Send(sender_, round, 2)) << GetLastError();
        // As a program reads them: once the queue is empty, while the last frame may still be
        // on the wire.
        Drain();
        for (const CanMessage& m : Completions()) done.push_back(m);
    }
    // The last frame's record comes once its sender has seen it go, which may be after its
    // receiver got it.
    const auto until = Clock::now() + std::chrono::milliseconds(kHangGuardMs);
    while (done.size() < 2u * kRounds && Clock::now() < until) {
        for (const CanMessage& m : Completions()) done.push_back(m);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    ASSERT_EQ(done.size(), 2u * kRounds);
    for (std::size_t i = 0; i < done.size(); ++i) {
        EXPECT_EQ(done[i].identifier, round[i % 2].identifier) << i;
        EXPECT_EQ(done[i].remote, 0u) << i;
        // The basic board stamps in whole milliseconds: the two frames of a round may share
        // one; a later round never goes back to an earlier time.
        if (i % 2) {
            EXPECT_GE(done[i].time, done[i - 1].time) << "record " << i << " has an earlier time";
        } else if (i) {
            EXPECT_GT(done[i].time, done[i - 1].time) << "record " << i << " repeats an earlier time";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Boards, TransmitQueueTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Fifo" : "Basic"; });

// Regression: the interrupt number's table of sources held 32 boards; the 33rd board on one
// number moved the table and left the earlier boards driving freed sources, and every program
// that enabled a channel's interrupts ended with SIGSEGV.
TEST_F(BoardTest, FiftyFourChannelBoardsShareOneInterruptLine) {
    std::string text = "[Machine]\nName=crowded\nFastMode=1\n\n[Bus CAN1]\n\n";
    for (int b = 1; b <= 50; ++b)
        text += "[Board " + std::to_string(b) + "]\nKind=FIFO\nChannels=4\nBus=CAN1\nSubsystemId=0x2402\n"
                "ChannelInterruptMask=0xFE\nInterruptLine=11\n\n";
    Boot(text);
    HANDLE first = Open("DIZED1");
    HANDLE last = Open("DIZED200");
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    ASSERT_NE(last, INVALID_HANDLE_VALUE);
    ASSERT_EQ(Ioctl(first, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    ASSERT_EQ(Ioctl(last, IOCTL_CAN_ACTIVATE, nullptr, 0, nullptr, 0), 0u);
    const CanMessage m = Frame(0x55, {1, 2, 3});
    ASSERT_TRUE(Send(last, &m, 1)) << GetLastError();
    ASSERT_TRUE(WaitForReceived(first, 1));
    CanMessage got{};
    DWORD n = 0;
    ASSERT_TRUE(ReadFile(first, &got, sizeof got, &n, nullptr));
    EXPECT_EQ(got.identifier, m.identifier);
}

}  // namespace
}  // namespace re7316test
