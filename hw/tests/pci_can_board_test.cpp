// The PCI CAN board as the board driver sees it: configuration space, board registers, and
// the FIFO board's FIFOs, time base, cyclic transmitter and interrupt status word.
#include "hw/pci_can_board.h"

#include <gtest/gtest.h>

#include <vector>

using namespace hw;

namespace {

class Board : public ::testing::Test {
protected:
    void Open(PciCanBoardConfig cfg = {}) {
        board = std::make_unique<PciCanBoard>(clock, cfg);
        board->ConnectInterrupt(&line);
        for (unsigned i = 0; i < board->channel_count(); ++i) {
            auto& ch = board->channel(i);
            ch.ConfigWrite(PCI_COMMAND, PCI_COMMAND_MEMORY, 2);
            // What the driver does at open on a FIFO board: FIFO logic on, accept all,
            // operating mode, FIFO defaults, time base restarted.
            ch.Write8(BRD_MODE, 1);
            for (int r = 0; r < 4; ++r) {
                ch.Write8(SJA_ACR0 + r, 0);
                ch.Write8(SJA_AMR0 + r, 0xFF);
            }
            ch.Write8(SJA_BTR0, 0x05);
            ch.Write8(SJA_BTR1, 0x3A);
            ch.Write8(FIFO_RX_TRIGGER_MODE, 0);
            ch.Write8(FIFO_RX_TRIGGER_LEVEL, 4);
            ch.Write8(TIMEBASE_CONTROL, 5);
            board->AttachChannel(i, &bus);
        }
        bus.SetFastMode(true);
    }
    void Activate(unsigned i) { board->channel(i).Write8(SJA_MOD, MOD_AFM); }
    // One transmit-FIFO entry: frame information, 3 time bytes, identifier, data.
    void QueueTx(PciCanChannel& ch, uint32_t id, std::vector<uint8_t> data, uint32_t delay = 0) {
        ch.Write8(FIFO_TX_WINDOW, static_cast<uint8_t>(0x80 | data.size()));
        ch.Write8(FIFO_TX_WINDOW, static_cast<uint8_t>(delay));
        ch.Write8(FIFO_TX_WINDOW, static_cast<uint8_t>(delay >> 8));
        ch.Write8(FIFO_TX_WINDOW, static_cast<uint8_t>((delay >> 16) & 0x1F));
        ch.Write8(FIFO_TX_WINDOW, static_cast<uint8_t>(id >> 21));
        ch.Write8(FIFO_TX_WINDOW, static_cast<uint8_t>(id >> 13));
        ch.Write8(FIFO_TX_WINDOW, static_cast<uint8_t>(id >> 5));
        ch.Write8(FIFO_TX_WINDOW, static_cast<uint8_t>((id & 0x1F) << 3));
        for (uint8_t b : data) ch.Write8(FIFO_TX_WINDOW, b);
    }
    struct RxEntry {
        uint8_t fi;
        uint32_t time;
        uint32_t id;
        std::vector<uint8_t> data;
    };
    // Drains one receive entry the way the driver does: frame information, then
    // length + 2 x extended + 5 more bytes.
    RxEntry TakeRx(PciCanChannel& ch) {
        RxEntry e;
        e.fi = ch.Read8(FIFO_RX_WINDOW);
        unsigned len = e.fi & 0x0F;
        bool ext = (e.fi & 0x80) != 0;
        std::vector<uint8_t> rest;
        for (unsigned i = 0; i < len + 2 * ext + 5; ++i) rest.push_back(ch.Read8(FIFO_RX_WINDOW));
        e.time = rest[0] | (rest[1] << 8) | (rest[2] << 16);
        if (ext) {
            e.id = (uint32_t(rest[3]) << 21) | (uint32_t(rest[4]) << 13) | (uint32_t(rest[5]) << 5) | (rest[6] >> 3);
        } else {
            e.id = (uint32_t(rest[3]) << 3) | (rest[4] >> 5);
        }
        e.data.assign(rest.begin() + (ext ? 7 : 5), rest.end());
        return e;
    }
    ManualClock clock{1000};
    CanBus bus{clock, "board"};
    LatchedLine line;
    std::unique_ptr<PciCanBoard> board;
};

}  // namespace

TEST_F(Board, ConfigurationSpaceCarriesTheIdentityTheDriverDecodes) {
    PciCanBoardConfig cfg;
    cfg.channels = 2;
    cfg.subsystem_id = 0x2402;
    cfg.board_switch = 0x5A;
    cfg.channel_interrupt_mask = 0xFE;
    board = std::make_unique<PciCanBoard>(clock, cfg);
    auto& ch1 = board->channel(1);
    EXPECT_EQ(ch1.ConfigRead(PCI_VENDOR_ID, 2), cfg.vendor_id);
    EXPECT_EQ(ch1.ConfigRead(PCI_DEVICE_ID, 2), 0x1C96u);
    EXPECT_EQ(ch1.ConfigRead(0x08, 4), (0x0C0900u << 8) | cfg.revision);
    EXPECT_EQ(ch1.ConfigRead(PCI_SUBSYSTEM_ID, 2), 0x2402u);
    EXPECT_EQ(ch1.ConfigRead(PCI_INTERRUPT_LINE, 1), cfg.interrupt_line);
    EXPECT_EQ(ch1.ConfigRead(PCI_BAR0, 4), cfg.bar0_base + 0x1000);
    // Sizing BAR0: all ones written, the window size comes back.
    ch1.ConfigWrite(PCI_BAR0, 0xFFFFFFFF, 4);
    EXPECT_EQ(ch1.ConfigRead(PCI_BAR0, 4), 0xFFFFFE00u);
    ch1.ConfigWrite(PCI_BAR0, cfg.bar0_base + 0x1000, 4);
    // Until memory decoding is on, the window reads all ones.
    EXPECT_EQ(ch1.Read8(BRD_CHANNEL_INDEX), 0xFF);
    ch1.ConfigWrite(PCI_COMMAND, PCI_COMMAND_MEMORY | PCI_COMMAND_MASTER, 2);
    EXPECT_EQ(ch1.ConfigRead(PCI_COMMAND, 2), 6u);
    // The driver's decoding: bit 13 set -> type bits 10-12, model = device * 100 + bits 0-6,
    // channel index from 0x85, channel-interrupt flag = bit index of 0x84, switch at 0x8F.
    uint32_t sub = ch1.ConfigRead(PCI_SUBSYSTEM_ID, 2);
    ASSERT_TRUE(sub & (1u << 13));
    EXPECT_EQ((sub >> 10) & 7, 1u);
    EXPECT_EQ(0x1C96u * 100 + (sub & 0x7F), 731802u);
    unsigned index = ch1.Read8(BRD_CHANNEL_INDEX) & 0x0F;
    EXPECT_EQ(index, 1u);
    EXPECT_TRUE(ch1.Read8(BRD_CHANNEL_INT) & (1u << index));
    board->channel(0).ConfigWrite(PCI_COMMAND, PCI_COMMAND_MEMORY, 2);
    EXPECT_FALSE(board->channel(0).Read8(BRD_CHANNEL_INT) & 1u);
    EXPECT_EQ(ch1.Read8(BRD_SWITCH), 0x5A);
}

TEST_F(Board, FramesTravelFromTransmitFifoToReceiveFifoWithTimeStamps) {
    Open();
    auto& tx = board->channel(0);
    auto& rx = board->channel(1);
    rx.Write8(BRD_INT_ENABLE, 0x2D);
    rx.Write8(BRD_INT_ENABLE + 1, 0xFF);
    Activate(0);
    Activate(1);
    clock.Advance(50);  // time base at 5 steps
    for (uint8_t i = 0; i < 5; ++i) QueueTx(tx, 0x1FFFE000u + i, {i, 0xAA});
    ASSERT_TRUE(bus.WaitIdle());
    EXPECT_EQ(tx.Read8(FIFO_TX_COUNT), 0);
    EXPECT_TRUE(tx.PeekStatus() & IS_TX_DONE);
    EXPECT_TRUE(line.level());
    uint16_t s = rx.Read16(BRD_INT_STATUS);
    EXPECT_TRUE(s & IS_RX_FIFO_ENTRY);
    EXPECT_TRUE(s & IS_RX_FIFO_LEVEL);
    EXPECT_EQ(rx.Read16(BRD_INT_STATUS), 0);  // read to clear
    ASSERT_EQ(rx.Read8(FIFO_RX_COUNT), 5);
    for (uint8_t i = 0; i < 5; ++i) {
        RxEntry e = TakeRx(rx);
        EXPECT_EQ(e.fi, 0x82);
        EXPECT_EQ(e.id, 0x1FFFE000u + i);
        EXPECT_EQ(e.data, (std::vector<uint8_t>{i, 0xAA}));
        EXPECT_EQ(e.time, 5u);
    }
    EXPECT_EQ(rx.Read8(FIFO_RX_COUNT), 0);
}

TEST_F(Board, TimeBaseCountsTenMicrosecondStepsAndOverflowsAfterTwentyOneBits) {
    Open();
    auto& ch = board->channel(0);
    auto& other = board->channel(1);
    ch.Write8(BRD_INT_ENABLE, 0x2D);
    Activate(0);
    Activate(1);
    clock.Advance(1234 * 10 + 7);
    EXPECT_EQ(ch.Read32(TIMEBASE), 1234u);
    ch.Write8(TIMEBASE_CONTROL, 5);
    EXPECT_EQ(ch.Read32(TIMEBASE), 0u);
    // Just past the wrap: the overflow bit comes from the bus thread's timer, with nobody
    // touching the registers.
    clock.Advance((uint64_t(1) << 21) * 10 + 50);
    ASSERT_TRUE(bus.WaitIdle());
    EXPECT_TRUE(line.level());
    uint16_t s = ch.Read16(BRD_INT_STATUS);
    EXPECT_TRUE(s & IS_TIMEBASE_OVERFLOW);
    EXPECT_EQ(ch.Read32(TIMEBASE), 5u);
    // A frame received now carries the 21-bit time 5; the driver's time stamp is then
    // (overflows x 2^21 + 5) x 10 us.
    QueueTx(other, 0x123, {1});
    ASSERT_TRUE(bus.WaitIdle());
    RxEntry e = TakeRx(ch);
    EXPECT_EQ(e.time, 5u);
    EXPECT_EQ(((uint64_t(1) << 21) + e.time) * 10, ((uint64_t(1) << 21) + 5) * 10);
    EXPECT_FALSE(ch.Read16(BRD_INT_STATUS) & IS_TIMEBASE_OVERFLOW);
}

TEST_F(Board, CyclicTransmitterRepeatsUntilStoppedOrTheControllerStops) {
    Open();
    auto& ch = board->channel(0);
    Activate(0);
    Activate(1);
    std::vector<uint64_t> times;
    bus.SetMonitor([&](const CanFrame& f, uint64_t t) {
        if (f.id == 0x7FF) times.push_back(t);
    });
    ch.Write8(BRD_CYC_MODE, 1);
    ch.Write32(CYC_PERIOD, 100);  // 1 ms
    ch.Write8(CYC_WINDOW + 0, 0x01);
    ch.Write8(CYC_WINDOW + 1, 0xFF);
    ch.Write8(CYC_WINDOW + 2, 0xE0);
    ch.Write8(CYC_WINDOW + 3, 0x42);
    ch.Write8(CYC_RUN, 1);
    EXPECT_EQ(ch.Read8(CYC_RUN), 1);
    ASSERT_TRUE(bus.WaitIdle());
    for (int i = 0; i < 3; ++i) {
        clock.Advance(1000);
        ASSERT_TRUE(bus.WaitIdle());
    }
    ASSERT_EQ(times.size(), 4u);
    EXPECT_EQ(times[1] - times[0], 1000u);
    // Deactivating the controller stops the transmitter and reports it.
    ch.Write8(SJA_MOD, MOD_RM | MOD_AFM);
    EXPECT_EQ(ch.Read8(CYC_RUN), 0);
    EXPECT_TRUE(ch.Read16(BRD_INT_STATUS) & IS_CYCLIC_STOPPED);
    clock.Advance(5000);
    ASSERT_TRUE(bus.WaitIdle());
    EXPECT_EQ(times.size(), 4u);
}

TEST_F(Board, LoneSenderFillsTheErrorFifoWithAcknowledgementErrors) {
    Open();
    auto& ch = board->channel(0);
    ch.Write8(BRD_INT_ENABLE + 1, 0xFF);
    Activate(0);  // channel 1 stays in reset mode: nobody acknowledges
    QueueTx(ch, 0x10, {1});
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(bus.WaitIdle());
        clock.Advance(5000);
    }
    ASSERT_TRUE(bus.WaitIdle());
    uint16_t s = ch.Read16(BRD_INT_STATUS);
    EXPECT_TRUE(s & IS_ERR_FIFO_ENTRY);
    ASSERT_GE(ch.Read8(FIFO_ERR_COUNT), 3);
    uint8_t entry[6];
    for (auto& b : entry) b = ch.Read8(FIFO_ERR_WINDOW);
    EXPECT_EQ(entry[0], IR_BEI);
    EXPECT_EQ(entry[5], 0xD9);  // acknowledgement error while transmitting
    EXPECT_EQ(ch.Read8(FIFO_TX_COUNT), 1);  // still trying
    ch.Write8(FIFO_TX_RESET, 1);
    EXPECT_EQ(ch.Read8(FIFO_TX_COUNT), 0);
}

TEST_F(Board, ChannelsShareTheBoardLine) {
    Open();
    board->channel(0).Write8(BRD_INT_ENABLE, IS_BOARD_EVENT);
    board->channel(1).Write8(BRD_INT_ENABLE, 0);
    EXPECT_FALSE(line.level());
    board->RaiseBoardEvent();
    EXPECT_TRUE(line.level());
    EXPECT_EQ(board->channel(1).Read16(BRD_INT_STATUS), IS_BOARD_EVENT);  // not enabled there
    EXPECT_TRUE(line.level());
    EXPECT_EQ(board->channel(0).Read16(BRD_INT_STATUS), IS_BOARD_EVENT);
    EXPECT_FALSE(line.level());
}

TEST_F(Board, BasicBoardUsesTheControllerInterruptAndItsFrameBuffer) {
    PciCanBoardConfig cfg;
    cfg.device_id = kBasicBoardDeviceId;
    cfg.channels = 1;
    board = std::make_unique<PciCanBoard>(clock, cfg);
    board->ConnectInterrupt(&line);
    auto& ch = board->channel(0);
    ch.ConfigWrite(PCI_COMMAND, PCI_COMMAND_MEMORY, 2);
    EXPECT_EQ(ch.Read8(FIFO_TX_COUNT), 0xFF);  // no FIFO hardware
    ch.Write8(SJA_IER, 0xFF);
    for (int r = 0; r < 4; ++r) ch.Write8(SJA_AMR0 + r, 0xFF);
    ch.Write8(SJA_MOD, MOD_AFM);
    CanFrame f;
    f.id = 0x55;
    f.dlc = 1;
    f.data[0] = 9;
    ch.Receive(f, clock.NowUs());
    EXPECT_TRUE(line.level());
    EXPECT_EQ(ch.Read8(SJA_IR), IR_RI);
    EXPECT_EQ(ch.Read8(0x13), 9);
    ch.Write8(SJA_CMR, CMR_RRB);
    EXPECT_FALSE(line.level());
}

namespace {

// A line shared by more sources than a machine word has bits: asserted while any one of them
// asserts it, whatever its index.
TEST(SharedLineTest, AnyNumberOfSources) {
    LatchedLine out;
    SharedLine shared(&out);
    std::vector<SharedLine::Source> sources;
    for (unsigned i = 0; i < 200; ++i) sources.push_back(shared.MakeSource(i));
    sources[150].Set(true);
    EXPECT_TRUE(out.level());
    sources[22].Set(true);   // index 150 and 22 are not one source (150 % 32 == 22)
    sources[22].Set(false);
    EXPECT_TRUE(out.level()) << "source 150 still asserts";
    sources[150].Set(true);  // asserting twice counts once
    sources[150].Set(false);
    EXPECT_FALSE(out.level());
    EXPECT_EQ(out.rises(), 1);
}

}  // namespace
