// The bus thread: delivery, acknowledgement, arbitration, wire time, error bursts. Every test
// waits for the bus to be idle instead of sleeping.
#include "hw/can_bus.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "hw/sja1000.h"

using namespace hw;

namespace {

// A controller set up to accept everything at 0x05/0x3A (12 us per bit at 16 MHz).
std::unique_ptr<Sja1000> MakeController(Clock& clock, CanBus& bus) {
    auto c = std::make_unique<Sja1000>(clock);
    for (int i = 0; i < 4; ++i) {
        c->Write8(SJA_ACR0 + i, 0);
        c->Write8(SJA_AMR0 + i, 0xFF);
    }
    c->Write8(SJA_BTR0, 0x05);
    c->Write8(SJA_BTR1, 0x3A);
    c->Write8(SJA_IER, 0xFF);
    c->Write8(SJA_MOD, MOD_AFM);
    c->AttachBus(&bus);
    return c;
}

void LoadStd(Sja1000& c, uint32_t id, uint8_t byte0) {
    c.Write8(0x10, 0x01);
    c.Write8(0x11, static_cast<uint8_t>(id >> 3));
    c.Write8(0x12, static_cast<uint8_t>((id & 7) << 5));
    c.Write8(0x13, byte0);
}

uint32_t ReceivedStdId(Sja1000& c) { return (uint32_t(c.Read8(0x11)) << 3) | (c.Read8(0x12) >> 5); }

}  // namespace

TEST(CanBus, FrameReachesEveryOtherControllerThenSenderIsAcknowledged) {
    ManualClock clock;
    CanBus bus(clock, "test");
    bus.SetFastMode(true);
    auto a = MakeController(clock, bus), b = MakeController(clock, bus), c = MakeController(clock, bus);
    std::vector<CanFrame> seen;
    bus.SetMonitor([&](const CanFrame& f, uint64_t) { seen.push_back(f); });
    LoadStd(*a, 0x123, 0x77);
    a->Write8(SJA_CMR, CMR_TR);
    ASSERT_TRUE(bus.WaitIdle());
    EXPECT_EQ(b->Read8(SJA_RMC), 1);
    EXPECT_EQ(c->Read8(SJA_RMC), 1);
    EXPECT_EQ(a->Read8(SJA_RMC), 0);
    EXPECT_EQ(ReceivedStdId(*b), 0x123u);
    EXPECT_EQ(b->Read8(0x13), 0x77);
    EXPECT_EQ(a->Read8(SJA_IR) & IR_TI, IR_TI);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].id, 0x123u);
}

TEST(CanBus, LowerIdentifierWinsArbitrationAndLoserSendsAfterwards) {
    ManualClock clock;
    CanBus bus(clock, "test");
    bus.SetFastMode(true);
    auto a = MakeController(clock, bus), b = MakeController(clock, bus), r = MakeController(clock, bus);
    std::vector<uint32_t> order;
    bus.SetMonitor([&](const CanFrame& f, uint64_t) { order.push_back(f.id); });
    // r occupies the wire (real bit timing on the manual clock) while a and b make their
    // requests, so that both stand when the bus is free again. b asks first; a must win by
    // its identifier alone.
    bus.SetFastMode(false);
    LoadStd(*r, 0x001, 0);
    r->Write8(SJA_CMR, CMR_TR);
    ASSERT_TRUE(bus.WaitIdle());
    LoadStd(*b, 0x300, 2);
    b->Write8(SJA_CMR, CMR_TR);
    LoadStd(*a, 0x100, 1);
    a->Write8(SJA_CMR, CMR_TR);
    for (int i = 0; i < 3; ++i) {
        clock.Advance(2000);
        ASSERT_TRUE(bus.WaitIdle());
    }
    ASSERT_TRUE(bus.WaitIdle());
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(order[0], 0x001u);
    EXPECT_EQ(order[1], 0x100u);
    EXPECT_EQ(order[2], 0x300u);
    EXPECT_EQ(b->Read8(SJA_IR) & IR_ALI, IR_ALI);
    EXPECT_EQ(b->Read8(SJA_ALC), 1);  // 0x300 loses at its second identifier bit (ID.9)
}

TEST(CanBus, FrameTakesItsWireTimeOutsideFastMode) {
    ManualClock clock;
    CanBus bus(clock, "test");
    auto a = MakeController(clock, bus), b = MakeController(clock, bus);
    LoadStd(*a, 0x123, 0x55);
    CanFrame f;
    f.id = 0x123;
    f.dlc = 1;
    f.data[0] = 0x55;
    uint64_t wire = CanBus::WireTimeUs(f, 12000);
    EXPECT_EQ(wire, WireBits(f) * 12u);
    EXPECT_GE(WireBits(f), 55u);  // 44 + 8 bits of frame and 3 of intermission, plus stuffing
    a->Write8(SJA_CMR, CMR_TR);
    ASSERT_TRUE(bus.WaitIdle());
    EXPECT_EQ(b->Read8(SJA_RMC), 0);  // still on the wire
    clock.Advance(wire - 1);
    ASSERT_TRUE(bus.WaitIdle());
    EXPECT_EQ(b->Read8(SJA_RMC), 0);
    clock.Advance(1);
    ASSERT_TRUE(bus.WaitIdle());
    EXPECT_EQ(b->Read8(SJA_RMC), 1);
}

TEST(CanBus, LoneSenderGetsAcknowledgementErrorsUpToErrorPassive) {
    ManualClock clock;
    CanBus bus(clock, "test");
    bus.SetFastMode(true);
    auto a = MakeController(clock, bus);
    auto off = MakeController(clock, bus);
    off->Write8(SJA_MOD, MOD_RM);  // a controller in reset mode does not acknowledge
    LoadStd(*a, 0x10, 1);
    a->Write8(SJA_CMR, CMR_TR);
    // Each failed attempt takes its error time on the clock; step through 20 of them.
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(bus.WaitIdle());
        clock.Advance(5000);
    }
    ASSERT_TRUE(bus.WaitIdle());
    EXPECT_EQ(a->Read8(SJA_TXERR), 128);
    EXPECT_EQ(a->Read8(SJA_SR) & SR_BS, 0);
    EXPECT_EQ(a->Read8(SJA_ECC), 0xD9);
    EXPECT_EQ(bus.frames_delivered(), 0u);
    EXPECT_GE(bus.error_frames(), 16u);
}

TEST(CanBus, InjectedErrorBurstDrivesSenderBusOffAndRecoveryRestartsIt) {
    ManualClock clock;
    CanBus bus(clock, "test");
    bus.SetFastMode(true);
    auto a = MakeController(clock, bus), b = MakeController(clock, bus);
    bus.InjectErrorBurst(32);
    LoadStd(*a, 0x10, 1);
    a->Write8(SJA_CMR, CMR_TR);
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(bus.WaitIdle());
        clock.Advance(5000);
    }
    ASSERT_TRUE(bus.WaitIdle());
    EXPECT_EQ(a->Read8(SJA_SR) & SR_BS, SR_BS);
    EXPECT_EQ(a->Read8(SJA_MOD) & MOD_RM, MOD_RM);
    EXPECT_EQ(b->Read8(SJA_RXERR), 32);
    EXPECT_EQ(b->Read8(SJA_RMC), 0);
    // Recovery in fast mode completes at once when the controller leaves reset mode.
    a->Read8(SJA_IR);
    a->Write8(SJA_MOD, MOD_AFM);
    ASSERT_TRUE(bus.WaitIdle());
    EXPECT_EQ(a->Read8(SJA_SR) & SR_BS, 0);
    EXPECT_EQ(a->Read8(SJA_IR) & IR_EI, IR_EI);
    LoadStd(*a, 0x11, 2);
    a->Write8(SJA_CMR, CMR_TR);
    ASSERT_TRUE(bus.WaitIdle());
    EXPECT_EQ(b->Read8(SJA_RMC), 1);
}

TEST(CanBus, SelfTestModeNeedsNoAcknowledgementAndSelfReceptionReceivesOwnFrame) {
    ManualClock clock;
    CanBus bus(clock, "test");
    bus.SetFastMode(true);
    auto a = MakeController(clock, bus);
    a->Write8(SJA_MOD, MOD_RM | MOD_AFM);
    a->Write8(SJA_MOD, MOD_AFM | MOD_STM);
    LoadStd(*a, 0x42, 7);
    a->Write8(SJA_CMR, CMR_SRR);
    ASSERT_TRUE(bus.WaitIdle());
    EXPECT_EQ(a->Read8(SJA_SR) & SR_TCS, SR_TCS);
    EXPECT_EQ(a->Read8(SJA_TXERR), 0);
    ASSERT_EQ(a->Read8(SJA_RMC), 1);
    EXPECT_EQ(ReceivedStdId(*a), 0x42u);
}

TEST(CanBus, ControllersAtAnotherBitRateSeeErrorsInsteadOfFrames) {
    ManualClock clock;
    CanBus bus(clock, "test");
    bus.SetFastMode(true);
    auto a = MakeController(clock, bus), b = MakeController(clock, bus), c = MakeController(clock, bus);
    c->Write8(SJA_MOD, MOD_RM | MOD_AFM);
    c->Write8(SJA_BTR0, 0x00);  // 1.5 us bits instead of 12 us
    c->Write8(SJA_BTR1, 0x27);
    c->Write8(SJA_MOD, MOD_AFM);
    LoadStd(*a, 0x10, 1);
    a->Write8(SJA_CMR, CMR_TR);
    ASSERT_TRUE(bus.WaitIdle());
    EXPECT_EQ(b->Read8(SJA_RMC), 1);
    EXPECT_EQ(c->Read8(SJA_RMC), 0);
    EXPECT_EQ(c->Read8(SJA_RXERR), 1);
    // Alone with a controller at another rate, the sender gets no acknowledgement.
    b->Write8(SJA_MOD, MOD_RM | MOD_AFM);
    LoadStd(*a, 0x11, 2);
    a->Write8(SJA_CMR, CMR_TR);
    ASSERT_TRUE(bus.WaitIdle());
    clock.Advance(5000);  // the failed attempt's error time
    ASSERT_TRUE(bus.WaitIdle());
    EXPECT_EQ(a->Read8(SJA_ECC), 0xD9);
    EXPECT_EQ(a->Read8(SJA_TXERR), 8);
}
