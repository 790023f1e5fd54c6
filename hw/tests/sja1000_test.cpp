// The SJA1000 model against the behaviour its datasheet describes, driven through the
// register window and the bus-side calls on the test thread (no bus thread involved).
#include "hw/sja1000.h"

#include <gtest/gtest.h>

using namespace hw;

namespace {

CanFrame Std(uint32_t id, std::initializer_list<uint8_t> data, bool remote = false) {
    CanFrame f;
    f.id = id;
    f.remote = remote;
    f.dlc = static_cast<uint8_t>(data.size());
    unsigned i = 0;
    for (uint8_t b : data) f.data[i++] = b;
    return f;
}

CanFrame Ext(uint32_t id, std::initializer_list<uint8_t> data) {
    CanFrame f = Std(id, data);
    f.extended = true;
    return f;
}

class Controller : public ::testing::Test {
protected:
    void SetUp() override {
        sja.ConnectInterrupt(&line);
        // Accept everything, single filter, 125 kbit/s-ish timing, all interrupts enabled.
        for (int i = 0; i < 4; ++i) {
            sja.Write8(SJA_ACR0 + i, 0x00);
            sja.Write8(SJA_AMR0 + i, 0xFF);
        }
        sja.Write8(SJA_BTR0, 0x05);
        sja.Write8(SJA_BTR1, 0x3A);
        sja.Write8(SJA_IER, 0xFF);
    }
    void Start(uint8_t mode = MOD_AFM) { sja.Write8(SJA_MOD, mode); }
    // Loads the transmit buffer with an extended frame and requests transmission.
    void Send(uint32_t id, uint8_t byte0) {
        sja.Write8(0x10, 0x81);
        sja.Write8(0x11, static_cast<uint8_t>(id >> 21));
        sja.Write8(0x12, static_cast<uint8_t>(id >> 13));
        sja.Write8(0x13, static_cast<uint8_t>(id >> 5));
        sja.Write8(0x14, static_cast<uint8_t>((id & 0x1F) << 3));
        sja.Write8(0x15, byte0);
        sja.Write8(SJA_CMR, CMR_TR);
    }
    ManualClock clock;
    Sja1000 sja{clock};
    LatchedLine line;
};

}  // namespace

struct FilterCase {
    const char* what;
    bool single;
    uint8_t acr[4];
    uint8_t amr[4];
    CanFrame frame;
    bool accepted;
};

TEST(Sja1000Filter, SingleAndDualFiltersForStandardAndExtendedFrames) {
    const FilterCase cases[] = {
        // Single filter, standard frame: ID bits 10-3 in ACR0, 2-0 and RTR in ACR1 bits 7-4,
        // the first two data bytes in ACR2 and ACR3.
        {"std id match", true, {0x24, 0x60, 0, 0}, {0x00, 0x0F, 0xFF, 0xFF}, Std(0x123, {1, 2}), true},
        {"std id differs in bit 0", true, {0x24, 0x60, 0, 0}, {0x00, 0x0F, 0xFF, 0xFF}, Std(0x122, {1}), false},
        {"std RTR bit compared", true, {0x24, 0x60, 0, 0}, {0x00, 0x0F, 0xFF, 0xFF}, Std(0x123, {}, true), false},
        {"std data byte 1 compared", true, {0x24, 0x6F, 0x55, 0}, {0x00, 0x0F, 0x00, 0xFF}, Std(0x123, {0x56}), false},
        {"std data byte 1 equal", true, {0x24, 0x6F, 0x55, 0}, {0x00, 0x0F, 0x00, 0xFF}, Std(0x123, {0x55}), true},
        {"std missing data bytes not compared", true, {0x24, 0x60, 0x55, 0x66}, {0, 0x0F, 0, 0}, Std(0x123, {}), true},
        // Single filter, extended frame: 29 bits and RTR over all four registers.
        {"ext match", true, {0xFF, 0xFF, 0x00, 0x08}, {0, 0, 0, 0x03}, Ext(0x1FFFE001, {0}), true},
        {"ext low bits differ", true, {0xFF, 0xFF, 0x00, 0x08}, {0, 0, 0, 0x03}, Ext(0x1FFFE002, {0}), false},
        {"ext don't care", true, {0xFF, 0xFF, 0x00, 0x08}, {0, 0, 0, 0xFB}, Ext(0x1FFFE01F, {0}), true},
        // Dual filter, standard frames: filter 1 = ACR0, ACR1 hi + data byte 1 split over
        // ACR1/ACR3 low nibbles; filter 2 = ACR2, ACR3 hi.
        {"dual std filter 2", false, {0x00, 0x00, 0x24, 0x60}, {0, 0, 0, 0x0F}, Std(0x123, {9}), true},
        {"dual std filter 1 with data", false, {0x24, 0x6A, 0x00, 0x0B}, {0, 0, 0, 0xF0}, Std(0x123, {0xAB}), true},
        {"dual std filter 1 data differs", false, {0x24, 0x6A, 0x00, 0x0B}, {0, 0, 0, 0xF0}, Std(0x123, {0xAC}), false},
        {"dual std neither", false, {0x24, 0x60, 0x24, 0x60}, {0, 0x0F, 0, 0x0F}, Std(0x124, {}), false},
        // Dual filter, extended frames: only identifier bits 28-13 are compared.
        {"dual ext filter 1", false, {0x00, 0x08, 0xFF, 0xFF}, {0, 0, 0, 0}, Ext(0x00010ABC, {}), true},
        {"dual ext filter 2", false, {0x00, 0x00, 0xFF, 0xFF}, {0, 0, 0, 0}, Ext(0x1FFFE001, {}), true},
        {"dual ext neither", false, {0x00, 0x00, 0xFF, 0xFE}, {0, 0, 0, 0}, Ext(0x1FFFE001, {}), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Sja1000::Accepts(c.frame, c.single, c.acr, c.amr), c.accepted) << c.what;
    }
}

TEST_F(Controller, FilterRegistersApplyToReceivedFrames) {
    // Code 0x80000001 mask 0xFFFFFFFE style: only frames with identifier bit 0 clear... here
    // single filter on extended identifier 0x1FFFE000 exactly.
    uint32_t code = 0x1FFFE000u << 3;
    for (int i = 0; i < 4; ++i) {
        sja.Write8(SJA_ACR0 + i, static_cast<uint8_t>(code >> (24 - 8 * i)));
        sja.Write8(SJA_AMR0 + i, i == 3 ? 0x07 : 0x00);
    }
    Start();
    sja.Receive(Ext(0x1FFFE001, {1}), 0);
    EXPECT_EQ(sja.Read8(SJA_RMC), 0);
    sja.Receive(Ext(0x1FFFE000, {2}), 0);
    EXPECT_EQ(sja.Read8(SJA_RMC), 1);
}

TEST_F(Controller, ReceiveWindowLayoutAndRelease) {
    Start();
    sja.Receive(Std(0x123, {0xA1, 0xA2}), 0);
    sja.Receive(Ext(0x1ABCDEF5, {1, 2, 3}), 0);
    EXPECT_TRUE(line.level());
    EXPECT_EQ(sja.Read8(SJA_SR) & SR_RBS, SR_RBS);
    EXPECT_EQ(sja.Read8(0x10), 0x02);
    EXPECT_EQ(sja.Read8(0x11), 0x24);
    EXPECT_EQ(sja.Read8(0x12), 0x60);
    EXPECT_EQ(sja.Read8(0x13), 0xA1);
    EXPECT_EQ(sja.Read8(0x14), 0xA2);
    // The receive interrupt stays while messages wait; reading IR does not take it.
    EXPECT_EQ(sja.Read8(SJA_IR) & IR_RI, IR_RI);
    EXPECT_EQ(sja.Read8(SJA_IR) & IR_RI, IR_RI);
    sja.Write8(SJA_CMR, CMR_RRB);
    EXPECT_EQ(sja.Read8(SJA_RBSA), 5);
    EXPECT_EQ(sja.Read8(0x10), 0x83);
    uint32_t id = (uint32_t(sja.Read8(0x11)) << 21) | (uint32_t(sja.Read8(0x12)) << 13) |
                  (uint32_t(sja.Read8(0x13)) << 5) | (sja.Read8(0x14) >> 3);
    EXPECT_EQ(id, 0x1ABCDEF5u);
    EXPECT_EQ(sja.Read8(0x17), 3);
    sja.Write8(SJA_CMR, CMR_RRB);
    EXPECT_EQ(sja.Read8(SJA_RMC), 0);
    EXPECT_EQ(sja.Read8(SJA_IR), 0);
    EXPECT_FALSE(line.level());
}

TEST_F(Controller, DataOverrunWhenTheSixtyFourByteFifoIsFull) {
    Start();
    // An 8-byte standard frame takes 11 bytes: five fit into 64, the sixth overruns.
    for (int i = 0; i < 6; ++i) sja.Receive(Std(0x100 + i, {1, 2, 3, 4, 5, 6, 7, 8}), 0);
    EXPECT_EQ(sja.Read8(SJA_RMC), 5);
    EXPECT_EQ(sja.Read8(SJA_SR) & SR_DOS, SR_DOS);
    uint8_t ir = sja.Read8(SJA_IR);
    EXPECT_EQ(ir & IR_DOI, IR_DOI);
    // A further lost frame while the overrun status is still set raises no new interrupt.
    sja.Receive(Std(0x200, {1, 2, 3, 4, 5, 6, 7, 8}), 0);
    EXPECT_EQ(sja.Read8(SJA_IR) & IR_DOI, 0);
    sja.Write8(SJA_CMR, CMR_CDO);
    EXPECT_EQ(sja.Read8(SJA_SR) & SR_DOS, 0);
    // Releasing one message makes room for exactly one more; the oldest is read first.
    sja.Write8(SJA_CMR, CMR_RRB);
    sja.Receive(Std(0x300, {1, 2, 3, 4, 5, 6, 7, 8}), 0);
    EXPECT_EQ(sja.Read8(SJA_RMC), 5);
    EXPECT_EQ(sja.Read8(0x11), 0x20);  // 0x101 >> 3
    // A 3-byte remote frame still fits into the 9 bytes left.
    sja.Receive(Std(0x400, {}, true), 0);
    EXPECT_EQ(sja.Read8(SJA_RMC), 6);
}

TEST_F(Controller, TransmitInterruptIsReadToClearAndOnlyWhenEnabled) {
    Start();
    Send(0x1FFFE001, 0x42);
    EXPECT_EQ(sja.Read8(SJA_SR) & (SR_TBS | SR_TCS), 0);
    CanFrame f;
    ASSERT_TRUE(sja.Pending(0, &f));
    EXPECT_EQ(f, Ext(0x1FFFE001, {0x42}));
    sja.Transmitted(100);
    EXPECT_EQ(sja.Read8(SJA_SR) & (SR_TBS | SR_TCS), SR_TBS | SR_TCS);
    EXPECT_TRUE(line.level());
    EXPECT_EQ(sja.Read8(SJA_IR), IR_TI);
    EXPECT_EQ(sja.Read8(SJA_IR), 0);
    EXPECT_FALSE(line.level());

    sja.Write8(SJA_IER, 0xFF & ~IR_TI);
    Send(0x1FFFE001, 0x43);
    ASSERT_TRUE(sja.Pending(0, &f));
    sja.Transmitted(200);
    EXPECT_EQ(sja.Read8(SJA_IR), 0);
    EXPECT_FALSE(line.level());
}

TEST_F(Controller, ResetModeProtectsConfigurationRegisters) {
    Start();
    sja.Write8(SJA_BTR0, 0x27);
    sja.Write8(SJA_EWLR, 10);
    EXPECT_EQ(sja.Read8(SJA_BTR0), 0x05);
    EXPECT_EQ(sja.Read8(SJA_EWLR), kSjaDefaultEwl);
    // In operating mode 0x10-0x17 are the frame buffers, not the acceptance registers.
    sja.Write8(SJA_MOD, MOD_RM | MOD_AFM);
    EXPECT_EQ(sja.Read8(SJA_AMR0), 0xFF);
    EXPECT_EQ(sja.Read8(SJA_MOD), MOD_RM | MOD_AFM);
    EXPECT_EQ(Sja1000::BitTimeNsFor(0x05, 0x3A, 16000000), 12000u);
    EXPECT_EQ(Sja1000::BitTimeNsFor(0x00, 0x27, 16000000), 1500u);
}

TEST_F(Controller, ErrorCountersCrossWarningPassiveAndBusOffThenRecover) {
    Start();
    Send(0x1FFFE001, 1);
    CanFrame f;
    auto fail = [&] {
        ASSERT_TRUE(sja.Pending(0, &f));
        sja.TransmitError(kBitErrorInData, 0);
    };
    // 11 bit errors: 88, below the warning limit of 96.
    for (int i = 0; i < 11; ++i) fail();
    EXPECT_EQ(sja.Read8(SJA_TXERR), 88);
    EXPECT_EQ(sja.Read8(SJA_SR) & SR_ES, 0);
    EXPECT_EQ(sja.Read8(SJA_ECC), 0x0A);  // bit error, transmitting, data field
    sja.Read8(SJA_IR);
    fail();  // 96: error warning
    EXPECT_EQ(sja.Read8(SJA_SR) & SR_ES, SR_ES);
    EXPECT_EQ(sja.Read8(SJA_IR) & (IR_EI | IR_EPI), IR_EI);
    for (int i = 0; i < 4; ++i) fail();  // 128: error passive
    EXPECT_EQ(sja.Read8(SJA_TXERR), 128);
    EXPECT_EQ(sja.Read8(SJA_IR) & (IR_EI | IR_EPI), IR_EPI);
    for (int i = 0; i < 15; ++i) fail();  // 248
    EXPECT_EQ(sja.Read8(SJA_SR) & SR_BS, 0);
    sja.Read8(SJA_IR);
    fail();  // 256: bus off
    uint8_t sr = sja.Read8(SJA_SR);
    EXPECT_EQ(sr & SR_BS, SR_BS);
    EXPECT_EQ(sja.Read8(SJA_MOD) & MOD_RM, MOD_RM);
    EXPECT_EQ(sja.Read8(SJA_TXERR), 127);
    EXPECT_EQ(sja.Read8(SJA_RXERR), 0);
    EXPECT_EQ(sja.Read8(SJA_IR) & IR_EI, IR_EI);
    EXPECT_FALSE(sja.Pending(0, &f));
    // Leaving reset mode starts the recovery: 128 x 11 bits of 12 us.
    sja.Write8(SJA_MOD, MOD_AFM);
    EXPECT_EQ(sja.Read8(SJA_SR) & SR_BS, SR_BS);
    uint64_t due = sja.Service(0);
    EXPECT_EQ(due, 128u * 11 * 12);
    sja.Service(due);
    EXPECT_EQ(sja.Read8(SJA_SR) & (SR_BS | SR_ES), 0);
    EXPECT_EQ(sja.Read8(SJA_TXERR), 0);
    EXPECT_EQ(sja.Read8(SJA_IR) & IR_EI, IR_EI);
}

TEST_F(Controller, LoneSenderStaysErrorPassive) {
    Start();
    Send(0x1FFFE001, 1);
    CanFrame f;
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(sja.Pending(0, &f));
        sja.TransmitError(kAckError, 0);
    }
    EXPECT_EQ(sja.Read8(SJA_TXERR), 128);
    EXPECT_EQ(sja.Read8(SJA_SR) & SR_BS, 0);
    EXPECT_EQ(sja.Read8(SJA_ECC), 0xD9);  // other error, transmitting, acknowledgement slot
    // A later acknowledged frame brings the counter down by one.
    ASSERT_TRUE(sja.Pending(0, &f));
    sja.Transmitted(0);
    EXPECT_EQ(sja.Read8(SJA_TXERR), 127);
}

TEST_F(Controller, ReceiveErrorsAndRecoveryOfTheReceiveCounter) {
    Start();
    for (int i = 0; i < 130; ++i) sja.ReceiveError(kStuffErrorInData, 0);
    EXPECT_EQ(sja.Read8(SJA_RXERR), 130);
    EXPECT_EQ(sja.Read8(SJA_ECC), 0xAA);  // stuff error, receiving, data field
    EXPECT_EQ(sja.Read8(SJA_IR) & IR_EPI, IR_EPI);
    sja.Receive(Std(1, {}), 0);
    EXPECT_EQ(sja.Read8(SJA_RXERR), 119);
    EXPECT_EQ(sja.Read8(SJA_IR) & IR_EPI, IR_EPI);  // back to error active
}

TEST_F(Controller, CapturesAreHeldUntilRead) {
    Start();
    Send(0x1FFFE001, 1);
    CanFrame f;
    ASSERT_TRUE(sja.Pending(0, &f));
    sja.ArbitrationLost(14, 0);
    ASSERT_TRUE(sja.Pending(0, &f));  // the request stays
    sja.ArbitrationLost(20, 0);
    EXPECT_EQ(sja.Read8(SJA_ALC), 14);
    ASSERT_TRUE(sja.Pending(0, &f));
    sja.ArbitrationLost(20, 0);
    EXPECT_EQ(sja.Read8(SJA_ALC), 20);
    EXPECT_EQ(sja.Read8(SJA_IR) & IR_ALI, IR_ALI);
}

TEST_F(Controller, ListenOnlyReceivesWithoutAcknowledging) {
    Start(MOD_AFM | MOD_LOM);
    EXPECT_FALSE(sja.Acknowledging());
    sja.Receive(Std(5, {1}), 0);
    EXPECT_EQ(sja.Read8(SJA_RMC), 1);
    Send(5, 1);
    CanFrame f;
    EXPECT_FALSE(sja.Pending(0, &f));
}

TEST_F(Controller, ForcedBusOffByWritingTransmitCounter) {
    sja.Write8(SJA_TXERR, 255);
    EXPECT_EQ(sja.Read8(SJA_SR) & SR_BS, SR_BS);
    EXPECT_EQ(sja.Read8(SJA_TXERR), 127);
}

TEST_F(Controller, SingleShotGivesUpAfterOneAttempt) {
    Start();
    sja.Write8(0x10, 0x01);
    sja.Write8(0x11, 0x00);
    sja.Write8(0x12, 0x20);
    sja.Write8(0x13, 0x55);
    sja.Write8(SJA_CMR, CMR_TR | CMR_AT);
    CanFrame f;
    ASSERT_TRUE(sja.Pending(0, &f));
    EXPECT_EQ(f, Std(1, {0x55}));
    sja.TransmitError(kAckError, 0);
    EXPECT_FALSE(sja.Pending(0, &f));
    EXPECT_EQ(sja.Read8(SJA_SR) & (SR_TBS | SR_TCS), SR_TBS);
}

TEST_F(Controller, SleepEndsWithBusActivityAndWakeUpInterrupt) {
    Start();
    sja.Write8(SJA_MOD, MOD_AFM | MOD_SM);
    EXPECT_EQ(sja.Read8(SJA_MOD) & MOD_SM, MOD_SM);
    EXPECT_FALSE(sja.Acknowledging());
    sja.Receive(Std(1, {1}), 0);
    EXPECT_EQ(sja.Read8(SJA_MOD) & MOD_SM, 0);
    EXPECT_EQ(sja.Read8(SJA_RMC), 0);  // the waking frame is lost
    EXPECT_EQ(sja.Read8(SJA_IR), IR_WUI);
    // With a receive interrupt pending the controller stays awake.
    sja.Receive(Std(1, {1}), 0);
    sja.Write8(SJA_MOD, MOD_AFM | MOD_SM);
    EXPECT_EQ(sja.Read8(SJA_MOD) & MOD_SM, 0);
}
