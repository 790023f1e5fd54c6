// Functions of boards with hardware FIFOs, on both board kinds, and the diagnostic access to
// the board behind a port.
#include "dized_fixture.h"

using namespace dizedtest;

namespace {

TEST(FifoBoardOnly, EveryFifoFunctionIsNotSupportedOnTheBasicBoard) {
    Port c(Ports().basic);
    ASSERT_TRUE(c.ok());
    CanMessage m = Frame(0x100, {1});
    m.time = 100;
    uint32_t mode = 9, level = 9;
    EXPECT_EQ(CanSetFifoTrigger(c.get(), CAN_FIFO_RECEIVE, 0, 4), CAN_ERR_NOT_SUPPORTED);
    EXPECT_EQ(CanGetFifoTrigger(c.get(), CAN_FIFO_RECEIVE, &mode, &level), CAN_ERR_NOT_SUPPORTED);
    EXPECT_EQ(mode, 9u);
    EXPECT_EQ(level, 9u);
    CanConfig config{};
    ASSERT_EQ(CanGetConfig(c.get(), &config), 0u);
    config.mode |= 0x80000000u;
    EXPECT_EQ(CanSetConfig(c.get(), &config), CAN_ERR_NOT_SUPPORTED);
    ASSERT_EQ(CanActivate(c.get()), 0u);
    EXPECT_EQ(CanCyclicSendMessage(c.get(), &m), CAN_ERR_NOT_SUPPORTED);
    EXPECT_EQ(CanStopCyclicSendMessage(c.get()), CAN_ERR_NOT_SUPPORTED);
}

TEST(FifoTrigger, DefaultsRangesAndTheTransmitFifoThatNeedsModeBit31) {
    Port a(Ports().fifoA);
    ASSERT_TRUE(a.ok());
    uint32_t mode = 9, level = 9;
    ASSERT_EQ(CanGetFifoTrigger(a.get(), CAN_FIFO_RECEIVE, &mode, &level), 0u);
    EXPECT_EQ(mode, 0u);
    EXPECT_EQ(level, 4u);
    ASSERT_EQ(CanGetFifoTrigger(a.get(), CAN_FIFO_ERROR, &mode, &level), 0u);
    EXPECT_EQ(mode, 0u);
    EXPECT_EQ(level, 4u);
    struct Case {
        uint32_t kind, mode, level, result;
    } cases[] = {
        {CAN_FIFO_RECEIVE, 0, 0, CAN_ERR_INVALID_PARAMETER},  {CAN_FIFO_RECEIVE, 0, 256, CAN_ERR_INVALID_PARAMETER},
        {CAN_FIFO_RECEIVE, 4, 8, CAN_ERR_INVALID_PARAMETER},  {CAN_FIFO_ERROR, 0, 0, CAN_ERR_INVALID_PARAMETER},
        {3, 0, 4, CAN_ERR_INVALID_PARAMETER},                 {CAN_FIFO_TRANSMIT, 1, 0, CAN_ERR_NOT_SUPPORTED},
        {CAN_FIFO_RECEIVE, 3, 255, 0},                        {CAN_FIFO_ERROR, 2, 1, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CanSetFifoTrigger(a.get(), c.kind, c.mode, c.level), c.result)
            << c.kind << "/" << c.mode << "/" << c.level;
    ASSERT_EQ(CanGetFifoTrigger(a.get(), CAN_FIFO_RECEIVE, &mode, &level), 0u);
    EXPECT_EQ(mode, 3u);
    EXPECT_EQ(level, 255u);
    CanConfig config{};
    ASSERT_EQ(CanGetConfig(a.get(), &config), 0u);
    config.mode |= 0x80000000u;
    ASSERT_EQ(CanSetConfig(a.get(), &config), 0u);
    ASSERT_EQ(CanSetFifoTrigger(a.get(), CAN_FIFO_TRANSMIT, 2, 77), 0u);
    ASSERT_EQ(CanGetFifoTrigger(a.get(), CAN_FIFO_TRANSMIT, &mode, &level), 0u);
    EXPECT_EQ(mode, 2u);
    EXPECT_EQ(level, 0u);
    ASSERT_EQ(CanActivate(a.get()), 0u);
    EXPECT_EQ(CanSetFifoTrigger(a.get(), CAN_FIFO_RECEIVE, 0, 4), CAN_ERR_WRONG_STATE);
}

TEST(CyclicSend, TheHardwareRepeatsTheMessageUntilStopped) {
    Port a(Ports().fifoA), b(Ports().fifoB);
    ASSERT_TRUE(a.ok());
    ASSERT_TRUE(b.ok());
    CanMessage m = Frame(0x3C0, {0xC0, 0xFF});
    m.time = 100;  // 1 ms period
    EXPECT_EQ(CanCyclicSendMessage(a.get(), &m), CAN_ERR_WRONG_STATE) << "stopped";
    ASSERT_EQ(CanActivate(a.get()), 0u);
    ASSERT_EQ(CanActivate(b.get()), 0u);
    ASSERT_EQ(CanCyclicSendMessage(a.get(), &m), 0u);
    ASSERT_TRUE(b.WaitReceived(3));
    // While it runs, plain writes are refused as busy.
    EXPECT_EQ(CanSendMessage(a.get(), &m, 1), CAN_ERR_DEVICE_BUSY);
    ASSERT_EQ(CanStopCyclicSendMessage(a.get()), 0u);
    for (const CanMessage& got : b.Drain()) EXPECT_EQ(got.identifier, 0x3C0u);
}

TEST(Diagnostics, PciIdentityAndConfigurationSpaceReads) {
    Port a(Ports().fifoA);
    ASSERT_TRUE(a.ok());
    uint32_t v[14];
    ASSERT_EQ(CanCommonGetPciDeviceInfo(a.get(), &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8],
                                        &v[9], &v[10], &v[11], &v[12], &v[13]),
              0u);
    EXPECT_EQ(v[0], 0x1C96u);
    EXPECT_EQ(v[1], 0x1B3Eu);
    EXPECT_EQ(v[2], 0x0C0900u);
    EXPECT_EQ(v[3], 3u);
    EXPECT_EQ(v[4] & 0xFFFF0000u, 0xFEB00000u);
    EXPECT_EQ(v[10], 0x2402u);
    EXPECT_EQ(v[12], 11u);
    uint32_t value = 0xFFFFFFFF;
    ASSERT_EQ(CanCommonGetDeviceInfo(a.get(), &value), 0u);
    EXPECT_EQ(value, 0u);
    struct Case {
        uint32_t offset, width, value;
    } reads[] = {
        {0, CAN_PCI_WIDTH_BYTE, 0x3E},
        {1, CAN_PCI_WIDTH_BYTE, 0x1B},
        {0, CAN_PCI_WIDTH_WORD, 0x1B3E},
        {0, CAN_PCI_WIDTH_DWORD, 0x1C961B3E},
        {0x3C, CAN_PCI_WIDTH_BYTE, 11},
    };
    for (const Case& c : reads) {
        value = 0xFFFFFFFF;
        ASSERT_EQ(CanCommonPciCfgIoRead(a.get(), c.offset, c.width, &value), 0u) << c.offset;
        EXPECT_EQ(value, c.value) << c.offset << "/" << c.width;
    }
    value = 0x12345678;
    EXPECT_EQ(CanCommonPciCfgIoRead(a.get(), 0, 3, &value), CAN_ERR_INVALID_PARAMETER);
    EXPECT_EQ(value, 0x12345678u);
    // A write with width code 3 is refused and changes nothing; width 0 writes one byte.
    EXPECT_EQ(CanCommonPciCfgIoWrite(a.get(), 0x3C, 0x55, 3), CAN_ERR_INVALID_PARAMETER);
    ASSERT_EQ(CanCommonPciCfgIoRead(a.get(), 0x3C, CAN_PCI_WIDTH_BYTE, &value), 0u);
    EXPECT_EQ(value, 11u);
    ASSERT_EQ(CanCommonPciCfgIoWrite(a.get(), 0x3C, 0x0C, CAN_PCI_WIDTH_BYTE), 0u);
    ASSERT_EQ(CanCommonPciCfgIoRead(a.get(), 0x3C, CAN_PCI_WIDTH_BYTE, &value), 0u);
    EXPECT_EQ(value, 0x0Cu);
    ASSERT_EQ(CanCommonPciCfgIoWrite(a.get(), 0x3C, 11, CAN_PCI_WIDTH_BYTE), 0u);
}

TEST(Diagnostics, RegisterWindowReadsAndWritesByWidth) {
    Port a(Ports().fifoA);
    ASSERT_TRUE(a.ok());
    uint32_t v[14];
    ASSERT_EQ(CanCommonGetPciDeviceInfo(a.get(), &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8],
                                        &v[9], &v[10], &v[11], &v[12], &v[13]),
              0u);
    const uint32_t bar0 = v[4] & ~0xFu;
    // Acceptance code register 0 (offset 0x10) is writable while the controller is stopped.
    uint32_t value = 0;
    ASSERT_EQ(CanCommonMemoryByteWrite(a.get(), bar0 + 0x10, 0xA5), 0u);
    ASSERT_EQ(CanCommonMemoryByteRead(a.get(), bar0 + 0x10, &value), 0u);
    EXPECT_EQ(value, 0xA5u);
    // The channel index register of the board.
    ASSERT_EQ(CanCommonMemoryByteRead(a.get(), bar0 + 0x85, &value), 0u);
    EXPECT_LE(value, 1u);
    // Outside the channel's own window: refused, value untouched.
    value = 0x77;
    EXPECT_NE(CanCommonMemoryByteRead(a.get(), 0x1000, &value), 0u);
    EXPECT_EQ(value, 0x77u);
    EXPECT_NE(CanCommonIoByteRead(a.get(), 0x3F8, &value), 0u);
    EXPECT_EQ(value, 0x77u);
}

}  // namespace
