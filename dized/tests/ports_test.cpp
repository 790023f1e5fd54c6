// Opening, configuring, sending and receiving through the whole stack: the library, the
// device-I/O library, the device layer, the driver and the simulated board and bus.
#include <algorithm>
#include <cstring>

#include "dized_fixture.h"

using namespace dizedtest;

namespace {

constexpr uint32_t kDefaultConfig[7] = {0, 1, 64, 64, 64, 96, 0x053A};

TEST(Machine, HasTwoFifoChannelsAndABasicChannel) {
    EXPECT_FALSE(Ports().fifoA.empty());
    EXPECT_FALSE(Ports().fifoB.empty());
    EXPECT_FALSE(Ports().basic.empty());
}

TEST(OpenPort, MissingNullAndSecondOpensGiveMinusOneAndTheFirstStaysUsable) {
    EXPECT_EQ(CanOpenPort("DIZED99"), CAN_INVALID_PORT);
    EXPECT_EQ(CanOpenPort(nullptr), CAN_INVALID_PORT);
    EXPECT_EQ(CanOpenPort(""), CAN_INVALID_PORT);
    Port a(Ports().fifoA);
    ASSERT_TRUE(a.ok());
    EXPECT_EQ(reinterpret_cast<intptr_t>(CanOpenPort(Ports().fifoA.c_str())), -1);
    EXPECT_EQ(a.Status().busState, CAN_BUS_OFF);
}

TEST(OpenPort, StartsStoppedWithTheDefaultConfigurationFilterAndMask) {
    Port a(Ports().fifoA);
    ASSERT_TRUE(a.ok());
    CanConfig c{};
    ASSERT_EQ(CanGetConfig(a.get(), &c), 0u);
    EXPECT_EQ(std::memcmp(&c, kDefaultConfig, sizeof c), 0);
    uint32_t code = 1, mask = 0;
    ASSERT_EQ(CanGetAcceptanceFilter(a.get(), &code, &mask), 0u);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(mask, 0xFFFFFFFFu);
    uint32_t events = 7;
    ASSERT_EQ(CanGetEventMask(a.get(), &events), 0u);
    EXPECT_EQ(events, 0u);
    CanStatus s = a.Status();
    EXPECT_EQ(s.busState, CAN_BUS_OFF);
    EXPECT_EQ(s.transmitWaiting + s.receiveWaiting + s.errorsWaiting, 0u);
}

TEST(ClosePort, UnknownHandlesAndASecondCloseGiveInvalidHandle) {
    EXPECT_EQ(CanClosePort(reinterpret_cast<CanHandle>(0x7FFF0000)), CAN_ERR_INVALID_HANDLE);
    EXPECT_EQ(CanClosePort(nullptr), CAN_ERR_INVALID_HANDLE);
    CanHandle h = CanOpenPort(Ports().fifoA.c_str());
    ASSERT_NE(h, CAN_INVALID_PORT);
    EXPECT_EQ(CanClosePort(h), 0u);
    EXPECT_EQ(CanClosePort(h), CAN_ERR_INVALID_HANDLE);
    // The channel is free again.
    Port again(Ports().fifoA);
    EXPECT_TRUE(again.ok());
}

// Every call on a handle nobody holds: the device layer's invalid-handle failure, out-values
// untouched.
TEST(InvalidHandle, EveryKindOfCallGivesInvalidHandleAndLeavesOutValuesAlone) {
    const CanHandle bad = reinterpret_cast<CanHandle>(0x7FFF0004);
    CanConfig config{};
    CanStatus status{};
    status.busState = 0xABCD;
    CanMessage m[2]{};
    uint32_t n = 2, value = 0x5A5A5A5A, v2 = 0xA5A5A5A5;
    CanEventSetting setting{};
    struct Case {
        const char* what;
        std::function<uint32_t()> call;
    } cases[] = {
        {"SetConfig", [&] { return CanSetConfig(bad, &config); }},
        {"GetStatus", [&] { return CanGetStatus(bad, &status); }},
        {"Activate", [&] { return CanActivate(bad); }},
        {"SendMessage", [&] { return CanSendMessage(bad, m, 1); }},
        {"ReceiveMessage", [&] { return CanReceiveMessage(bad, m, &n); }},
        {"GetErrorEvent", [&] { return CanGetErrorEvent(bad, reinterpret_cast<CanErrorRecord*>(m), &n); }},
        {"GetAcceptanceFilter", [&] { return CanGetAcceptanceFilter(bad, &value, &v2); }},
        {"SetEvent", [&] { return CanSetEvent(bad, &setting); }},
        {"KillEvent", [&] { return CanKillEvent(bad); }},
        {"GetFifoTrigger", [&] { return CanGetFifoTrigger(bad, 0, &value, &v2); }},
        {"IoByteRead", [&] { return CanCommonIoByteRead(bad, 0, &value); }},
        {"PciCfgIoRead", [&] { return CanCommonPciCfgIoRead(bad, 0, 0, &value); }},
        {"GetDeviceInfo", [&] { return CanCommonGetDeviceInfo(bad, &value); }},
    };
    for (const Case& c : cases) EXPECT_EQ(c.call(), CAN_ERR_INVALID_HANDLE) << c.what;
    EXPECT_EQ(status.busState, 0xABCDu);
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(value, 0x5A5A5A5Au);
    EXPECT_EQ(v2, 0xA5A5A5A5u);
}

TEST(Configuration, ValuesOutOfRangeAreRefusedAndBitTimingWithBit31IsProgrammedAsGiven) {
    Port a(Ports().fifoA);
    ASSERT_TRUE(a.ok());
    struct Case {
        int field;
        uint32_t value;
        uint32_t result;
    } cases[] = {
        {2, 63, CAN_ERR_INVALID_PARAMETER},      {3, 63, CAN_ERR_INVALID_PARAMETER},
        {4, 63, CAN_ERR_INVALID_PARAMETER},      {5, 256, CAN_ERR_INVALID_PARAMETER},
        {0, 2, CAN_ERR_INVALID_PARAMETER},       {1, 2, CAN_ERR_INVALID_PARAMETER},
        {6, 0x1234, CAN_ERR_INVALID_PARAMETER},  {5, 255, 0u},
        {2, 64, 0u},                             {6, 0x1D23, 0u},
    };
    for (const Case& c : cases) {
        uint32_t words[7];
        std::memcpy(words, kDefaultConfig, sizeof words);
        words[c.field] = c.value;
        EXPECT_EQ(CanSetConfig(a.get(), reinterpret_cast<CanConfig*>(words)), c.result)
            << "field " << c.field << " = " << c.value;
    }
    uint32_t words[7];
    std::memcpy(words, kDefaultConfig, sizeof words);
    words[6] = 0x80004B23;
    ASSERT_EQ(CanSetConfig(a.get(), reinterpret_cast<CanConfig*>(words)), 0u);
    CanConfig back{};
    ASSERT_EQ(CanGetConfig(a.get(), &back), 0u);
    EXPECT_EQ(back.bitTiming, 0x80004B23u);
    // The controller's bus timing registers, read through the diagnostic memory access.
    uint32_t pci[14];
    ASSERT_EQ(CanCommonGetPciDeviceInfo(a.get(), &pci[0], &pci[1], &pci[2], &pci[3], &pci[4], &pci[5], &pci[6],
                                        &pci[7], &pci[8], &pci[9], &pci[10], &pci[11], &pci[12], &pci[13]),
              0u);
    const uint32_t bar0 = pci[4] & ~0xFu;
    uint32_t btr0 = 0, btr1 = 0;
    ASSERT_EQ(CanCommonMemoryByteRead(a.get(), bar0 + 6, &btr0), 0u);
    ASSERT_EQ(CanCommonMemoryByteRead(a.get(), bar0 + 7, &btr1), 0u);
    EXPECT_EQ(btr0, 0x4Bu);
    EXPECT_EQ(btr1, 0x23u);
}

TEST(State, RequestsMadeInTheWrongControllerStateGiveWrongState) {
    Port a(Ports().fifoA);
    ASSERT_TRUE(a.ok());
    CanMessage m = Frame(0x123, {1});
    CanConfig c{};
    ASSERT_EQ(CanGetConfig(a.get(), &c), 0u);
    // Stopped.
    EXPECT_EQ(CanDeactivate(a.get()), CAN_ERR_WRONG_STATE);
    EXPECT_EQ(CanSendMessage(a.get(), &m, 1), CAN_ERR_WRONG_STATE);
    EXPECT_EQ(CanClearBuffer(a.get(), CAN_CLEAR_TRANSMIT_ERROR_COUNTER | CAN_CLEAR_RECEIVE_ERROR_COUNTER), 0u);
    ASSERT_EQ(CanActivate(a.get()), 0u);
    // Running.
    EXPECT_EQ(a.Status().busState, CAN_BUS_ERROR_ACTIVE);
    EXPECT_EQ(CanActivate(a.get()), CAN_ERR_WRONG_STATE);
    EXPECT_EQ(CanSetConfig(a.get(), &c), CAN_ERR_WRONG_STATE);
    EXPECT_EQ(CanSetAcceptanceFilter(a.get(), 0, 0xFFFFFFFF), CAN_ERR_WRONG_STATE);
    EXPECT_EQ(CanClearBuffer(a.get(), CAN_CLEAR_TRANSMIT_ERROR_COUNTER), CAN_ERR_WRONG_STATE);
    EXPECT_EQ(CanClearBuffer(a.get(), CAN_CLEAR_RECEIVE_ERROR_COUNTER), CAN_ERR_WRONG_STATE);
    EXPECT_EQ(CanClearBuffer(a.get(), CAN_CLEAR_RECEIVE_QUEUE | CAN_CLEAR_ERROR_QUEUE | CAN_CLEAR_TIME_BASE), 0u);
    EXPECT_EQ(CanDeactivate(a.get()), 0u);
    EXPECT_EQ(a.Status().busState, CAN_BUS_OFF);
}

TEST(AcceptanceFilter, RoundTripsWhileStopped) {
    Port a(Ports().fifoA);
    ASSERT_TRUE(a.ok());
    ASSERT_EQ(CanSetAcceptanceFilter(a.get(), 0x12345678, 0x0000FFFE), 0u);
    uint32_t code = 0, mask = 0;
    ASSERT_EQ(CanGetAcceptanceFilter(a.get(), &code, &mask), 0u);
    EXPECT_EQ(code, 0x12345678u);
    EXPECT_EQ(mask, 0x0000FFFEu);
}

class Traffic : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(a_.ok());
        ASSERT_TRUE(b_.ok());
        ASSERT_EQ(CanActivate(a_.get()), 0u);
        ASSERT_EQ(CanActivate(b_.get()), 0u);
    }
    Port a_{Ports().fifoA};
    Port b_{Ports().fifoB};
};

TEST_F(Traffic, FramesArriveIntactWithFewerWaitingThanAskedFor) {
    CanMessage out[3] = {Frame(0x123, {0xDE, 0xAD, 0xBE, 0xEF}), Frame(0x1ABCDEF0, {1, 2, 3, 4, 5, 6, 7, 8}, true),
                         Frame(0x7FF, {})};
    out[2].remote = 1;
    out[2].length = 2;
    ASSERT_EQ(CanSendMessage(a_.get(), out, 3), 0u);
    ASSERT_TRUE(b_.WaitReceived(3));
    CanMessage in[10]{};
    uint32_t n = 10;
    ASSERT_EQ(CanReceiveMessage(b_.get(), in, &n), 0u);
    ASSERT_EQ(n, 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(in[i].identifier, out[i].identifier) << i;
        EXPECT_EQ(in[i].length & 0x0F, out[i].length) << i;
        EXPECT_EQ(in[i].remote & 1, out[i].remote) << i;
        if (!out[i].remote) {
            EXPECT_EQ(std::memcmp(in[i].data, out[i].data, out[i].length), 0) << i;
        }
    }
    EXPECT_LE(in[0].time, in[1].time);
    // Empty queue: no data, count untouched; count 0: buffer too small.
    n = 5;
    EXPECT_EQ(CanReceiveMessage(b_.get(), in, &n), CAN_ERR_NO_DATA);
    EXPECT_EQ(n, 5u);
    ASSERT_EQ(CanSendMessage(a_.get(), out, 1), 0u);
    ASSERT_TRUE(b_.WaitReceived(1));
    n = 0;
    EXPECT_EQ(CanReceiveMessage(b_.get(), in, &n), CAN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(CanReceiveMessage(b_.get(), in, nullptr), CAN_ERR_INVALID_PARAMETER);
    EXPECT_EQ(b_.Drain().size(), 1u);
    EXPECT_EQ(CanSendMessage(a_.get(), out, 0), CAN_ERR_BUFFER_TOO_SMALL);
}

TEST_F(Traffic, MoreMessagesThanTheTransmitQueueHoldsQueuesNone) {
    std::vector<CanMessage> many(65, Frame(0x55, {0x55}));
    EXPECT_EQ(CanSendMessage(a_.get(), many.data(), 65), CAN_ERR_QUEUE_FULL);
    EXPECT_EQ(a_.Status().transmitWaiting, 0u);
    // The bus stays quiet: a marker frame is the first and only thing that arrives.
    CanMessage marker = Frame(0x66, {0x66});
    ASSERT_EQ(CanSendMessage(a_.get(), &marker, 1), 0u);
    ASSERT_TRUE(b_.WaitReceived(1));
    auto got = b_.Drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].identifier, 0x66u);
}

TEST_F(Traffic, CompletionRecordsComeInSendingOrderThenNoData) {
    CanMessage out[3] = {Frame(0x201, {1}), Frame(0x202, {2}), Frame(0x203, {3})};
    out[1].remote = 0;
    ASSERT_EQ(CanSendMessage(a_.get(), out, 3), 0u);
    ASSERT_TRUE(b_.WaitReceived(3));
    CanMessage done[8]{};
    uint32_t n = 0;
    EXPECT_EQ(CanGetCompletionMessage(a_.get(), done, &n), CAN_ERR_BUFFER_TOO_SMALL);
    n = 8;
    ASSERT_EQ(CanGetCompletionMessage(a_.get(), done, &n), 0u);
    ASSERT_EQ(n, 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(done[i].identifier, out[i].identifier) << i;
        EXPECT_EQ(done[i].remote & 0x80000000u, 0u) << "the driver's sent mark is returned cleared";
        if (i) {
            EXPECT_GE(done[i].time, done[i - 1].time);
        }
    }
    n = 8;
    EXPECT_EQ(CanGetCompletionMessage(a_.get(), done, &n), CAN_ERR_NO_DATA);
    EXPECT_EQ(n, 8u);
    b_.Drain();
}

TEST_F(Traffic, SensorUnitsAnswerTheBroadcastIdQuery) {
    CanMessage query = Frame(0x00000001, {0x00, 0x09, 0x00, 0x02, 0, 0, 0, 0}, true);
    ASSERT_EQ(CanSendMessage(a_.get(), &query, 1), 0u);
    // Both channels hear both units; the one that asked too (it does not hear itself).
    ASSERT_TRUE(a_.WaitReceived(2));
    auto replies = a_.Drain();
    std::vector<uint32_t> nodes;
    for (const CanMessage& m : replies) nodes.push_back((m.identifier & 0x1FFFE000u) >> 13);
    std::sort(nodes.begin(), nodes.end());
    EXPECT_EQ(nodes, (std::vector<uint32_t>{1, 2}));
    b_.Drain();
}

TEST(ErrorRecords, ALoneSenderCollectsAcknowledgementErrorsAndGoesErrorPassive) {
    Port c(Ports().basic);
    ASSERT_TRUE(c.ok());
    CanErrorRecord r[4]{};
    uint32_t n = 4;
    EXPECT_EQ(CanGetErrorEvent(c.get(), r, &n), CAN_ERR_NO_DATA);
    EXPECT_EQ(n, 4u);
    ASSERT_EQ(CanActivate(c.get()), 0u);
    CanMessage m = Frame(0x10, {1});
    ASSERT_EQ(CanSendMessage(c.get(), &m, 1), 0u);
    ASSERT_TRUE(WaitUntil([&] { return c.Status().busState == CAN_BUS_ERROR_PASSIVE; }));
    n = 4;
    ASSERT_EQ(CanGetErrorEvent(c.get(), r, &n), 0u);
    ASSERT_GE(n, 1u);
    // Bus error, transmitting, acknowledgement slot (type 3, segment 0x19).
    EXPECT_TRUE(r[0].flags & 0x80) << std::hex << r[0].flags;
    EXPECT_EQ(r[0].errorCodeCapture, 0xD9u);
    EXPECT_EQ(c.Status().transmitErrorCounter, 128u);
    n = 0;
    EXPECT_EQ(CanGetErrorEvent(c.get(), r, &n), CAN_ERR_BUFFER_TOO_SMALL);
    ASSERT_EQ(CanDeactivate(c.get()), 0u);
    ASSERT_EQ(CanClearBuffer(c.get(), CAN_CLEAR_TRANSMIT_QUEUE | CAN_CLEAR_ERROR_QUEUE |
                                          CAN_CLEAR_TRANSMIT_ERROR_COUNTER),
              0u);
    EXPECT_EQ(c.Status().transmitErrorCounter, 0u);
}

TEST(ManyCycles, TenThousandOpensAndClosesLeaveNothingBehind) {
    const std::string name = Ports().fifoA;
    for (int i = 0; i < 10000; ++i) {
        CanHandle h = CanOpenPort(name.c_str());
        ASSERT_NE(h, CAN_INVALID_PORT) << "cycle " << i;
        ASSERT_EQ(CanClosePort(h), 0u) << "cycle " << i;
    }
}

}  // namespace
