// The CAN transport and the procedures over it, on a bus of nodes that answer at once, late or
// never, with a tick that moves only when the program sleeps: time-outs are exact in ticks.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>

#include "fake_can.h"
#include "platform/sjis.h"
#include "ridaviri/calibration_dialog.h"
#include "ridaviri/sensor_check.h"
#include "ridaviri/wrap_dev.h"

namespace ridaviri {
namespace {

using testing::FakeCan;
using testing::FakeNode;
using testing::FakeTicks;

class RecordingUi : public CheckUi {
public:
    void ShowOpeningDialog() override { ++openingDialogs; }
    void RunIdSettingDialog() override { ++idDialogs; }
    void ShowText(const std::string& text, MessageBoxKind kind) override { texts.push_back({text, kind}); }
    // The recheck restores the cursor once it has merged what it found.
    void SetWaitCursor(bool busy) override {
        if (!busy && afterRecheck) std::exchange(afterRecheck, nullptr)();
    }
    int openingDialogs = 0;
    int idDialogs = 0;
    std::vector<std::pair<std::string, MessageBoxKind>> texts;
    std::function<void()> afterRecheck;  // once, when the next recheck has merged
};

SensorIdentity Unit(uint16_t serial) { return SensorIdentity{'T', 0x9A, (4 << 10) | 1, serial}; }

FakeNode Node(uint32_t node, uint16_t id, uint32_t raw = 250000) {
    FakeNode n;
    n.node = node;
    n.identity = Unit(static_cast<uint16_t>(node));
    n.idNumber = id;
    n.raw = raw;
    return n;
}

class CanTransportTest : public ::testing::Test {
protected:
    CanTransportTest() : data(16), can(ticks), transport(data, messages, can, ticks), procedures(data, transport, messages, ui) {
        data.interfaceKind = kInterfaceCan;
        transport.SetAbortHandler([this](int code) { aborts.push_back(code); });
    }
    // A configured, measured channel-table record for a node.
    void Configure(int slot, uint32_t node, uint16_t id, uint32_t interval = 1000) {
        ChannelRecord& r = data.channels[slot];
        r.identity = Unit(static_cast<uint16_t>(node));
        r.idNumber = id;
        r.canNode = node;
        r.measureSwitch = 1;
        r.interval = interval;
        r.channelNumber = static_cast<uint8_t>(slot + 1);
    }
    std::vector<CanMessage> SentWithCode(uint8_t code) const {
        std::vector<CanMessage> out;
        for (const CanMessage& m : can.sent) {
            if (m.data[1] == code) out.push_back(m);
        }
        return out;
    }

    MonitorData data;
    ScriptedMessages messages;
    FakeTicks ticks;
    FakeCan can;
    SensorTransport transport;
    RecordingUi ui;
    SensorProcedures procedures;
    std::vector<int> aborts;
};

TEST_F(CanTransportTest, OpeningConfiguresThePortAndRecordsEachNodeOnce) {
    can.nodes = {Node(3, 30), Node(1, 10)};
    // A reply from node 0 and a second reply of node 3 are there before the scan.
    can.open = false;
    ASSERT_NE(transport.CanOpenSensors(), kCanOpenFailed);
    EXPECT_EQ(can.config.bitTiming, 0x80004B23u);
    EXPECT_EQ(can.config.errorWarningLimit, 96u);
    EXPECT_EQ(can.filterMask, 0xFFFFFFFEu);
    EXPECT_EQ(data.deviceCount, 2);
    EXPECT_EQ(data.found[0].canNode, 3u);
    EXPECT_EQ(data.found[1].canNode, 1u);
    ASSERT_FALSE(can.sent.empty());
    EXPECT_EQ(can.sent[0].identifier, 0x80000001u);
    const uint8_t query[8] = {0, 9, 0, 2, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(can.sent[0].data, query, 8), 0);

    // Scanning again on the open port: node 0 and a node answering twice count once or not.
    can.Inject(kCanExtended, EncodeWordReply(kCmdReadInfo, 1));
    can.Inject(kCanExtended | (1u << 13), EncodeWordReply(kCmdReadInfo, 10));
    ResetTable(data.found);
    EXPECT_EQ(transport.CanScanNodes(transport.CanPort()), 0);
    EXPECT_EQ(data.deviceCount, 2);
    EXPECT_EQ(data.found[2].canNode, 0u);
    EXPECT_EQ(can.opens, 1);
}

TEST_F(CanTransportTest, ScanResults) {
    struct Case {
        const char* name;
        int nodes;             // answering nodes 1..n
        int configured;        // channel-table nodes 50.. (copied into the found table)
        int expectResult;
        int expectCount;
    };
    const Case cases[] = {
        {"no node", 0, 0, 1, 0},
        {"twenty nodes", 20, 0, 0, 20},
        {"a twenty-first node", 21, 0, 2, 0},
        {"silent bus, configured nodes", 0, 2, 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MonitorData d(1);
        ScriptedMessages m;
        FakeTicks t;
        FakeCan bus(t);
        SensorTransport tr(d, m, bus, t);
        for (int i = 1; i <= c.nodes; ++i) bus.nodes.push_back(Node(static_cast<uint32_t>(i), static_cast<uint16_t>(i)));
        ASSERT_NE(tr.CanOpenSensors(), kCanOpenFailed);
        for (int i = 0; i < c.configured; ++i) d.channels[i].canNode = static_cast<uint32_t>(50 + i);
        // Opened already: the configured nodes are copied, then the scan runs.
        for (int i = 0; i < kChannelCount; ++i) d.found[i].canNode = d.channels[i].canNode;
        d.deviceCount = 0;
        const uint32_t before = t.now;
        EXPECT_EQ(tr.CanScanNodes(tr.CanPort()), c.expectResult);
        if (c.expectResult != 2) {
            EXPECT_EQ(d.deviceCount, c.expectCount);
            EXPECT_GT(t.now - before, kCanReplyTimeoutMs) << "collects for 2 s";
        }
    }
}

TEST_F(CanTransportTest, TransactionTimeOutFollowsTheIntervalAndTheMeasuredChannels) {
    struct Case {
        uint32_t interval;
        bool silent;
        uint32_t delay;
        int expectResult;
        uint32_t expectElapsed;  // ticks from the start to the return
    };
    // Four channels switched on: the wait is interval / 8, at most 2000 ms; the request goes
    // out 20 ms after the start.
    const Case cases[] = {
        {1000, true, 0, -1, 126},
        {60000, true, 0, -1, 2001},
        {1000, false, 100, 0, 120},
        {1000, false, 106, 0, 126},   // in at 126, the last look
        {1000, false, 107, -1, 126},  // due at 127: the wait ended at 126
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.interval);
        SCOPED_TRACE(c.delay);
        ResetTable(data.channels);
        can.nodes = {Node(7, 70, 123456)};
        can.nodes[0].silent = c.silent;
        can.nodes[0].delayMs = c.delay;
        for (int i = 0; i < 4; ++i) Configure(i, static_cast<uint32_t>(7 + i), 70, c.interval);
        if (transport.CanPort() == 0) {
            ASSERT_NE(transport.CanOpenSensors(), kCanOpenFailed);
        }
        const uint32_t start = ticks.now;
        SensorReply reply;
        EXPECT_EQ(transport.CanTransactChannel(0, MakeReadMeasurement(), &reply), c.expectResult);
        EXPECT_EQ(ticks.now - start, c.expectElapsed);
        if (c.expectResult == 0) {
            EXPECT_EQ(reply.MeasuredValue(), 123456u);
        }
    }
}

TEST_F(CanTransportTest, AnUnansweredRequestFailsAndNoMeasuredChannelAbortsTheMeasurement) {
    can.nodes = {Node(2, 20)};
    ASSERT_NE(transport.CanOpenSensors(), kCanOpenFailed);
    can.nodes[0].silent = true;
    SensorReply reply;
    reply.bytes = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(transport.CanTransactFound(0, MakeReadInfo(kInfoIdentity), &reply), -1);
    EXPECT_EQ(reply.bytes, (WireBytes{1, 2, 3, 4, 5, 6, 7, 8})) << "nothing handed back";
    EXPECT_EQ(can.sent.back().identifier, 0x80000003u + (2u << 13)) << "found-table path";

    Configure(0, 2, 20);
    data.channels[0].measureSwitch = 0;
    const std::size_t sent = can.sent.size();
    EXPECT_EQ(transport.CanTransactChannel(0, MakeReadMeasurement(), &reply), -1);
    EXPECT_EQ(aborts, std::vector<int>{0});
    EXPECT_EQ(can.sent.size(), sent) << "nothing sent";
}

TEST_F(CanTransportTest, PollWithSilentNodesEndsAtTheTimeOutWithExactlyThoseMarked) {
    can.nodes = {Node(1, 1, 100000), Node(2, 2, 200000), Node(3, 3, 300000), Node(4, 4, 400000), Node(5, 5, 500000),
                 Node(6, 6, 600000)};
    can.nodes[1].silent = can.nodes[3].silent = true;
    can.nodes[0].delayMs = 30;  // the last to answer
    ASSERT_NE(transport.CanOpenSensors(), kCanOpenFailed);
    for (int i = 0; i < 5; ++i) Configure(i, static_cast<uint32_t>(i + 1), static_cast<uint16_t>(i + 1));
    Configure(5, 6, 6);
    data.channels[5].measureSwitch = 0;  // configured, not measured: answers first, counts not
    // A request frame carrying node 1's number is no reply.
    can.Inject(0x80000001u | (1u << 13), EncodeMeasurementReply(999));

    PollItems items = BuildPollItems(data.channels);
    const uint32_t start = ticks.now;
    EXPECT_EQ(transport.PollChannels(items, 1000), -1);
    EXPECT_EQ(ticks.now - start, 951u) << "interval less 50 ms";
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(items[i].NoReply(), i == 1 || i == 3);
        if (!items[i].NoReply()) {
            EXPECT_EQ(items[i].value, uint32_t(100000 * (i + 1)));
        }
    }
    EXPECT_EQ(items[5].value, 0u) << "an unmeasured channel's value is not taken";

    can.nodes[1].silent = can.nodes[3].silent = false;
    items = BuildPollItems(data.channels);
    const uint32_t again = ticks.now;
    EXPECT_EQ(transport.PollChannels(items, 1000), 0);
    EXPECT_LT(ticks.now - again, 100u) << "ends when the last reply is in";
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(items[i].NoReply());
    EXPECT_EQ(items[0].value, 100000u);
}

// A broadcast the controller did not take once is sent again within the poll; one that cannot
// be sent twice leaves every measured channel without a reply (regression: a single failed
// send ended the measurement with message 75).
TEST_F(CanTransportTest, AFailedBroadcastIsSentAgainWithinThePoll) {
    can.nodes = {Node(1, 1, 100000), Node(2, 2, 200000)};
    ASSERT_NE(transport.CanOpenSensors(), kCanOpenFailed);
    Configure(0, 1, 1);
    Configure(1, 2, 2);

    can.failSends = 1;
    PollItems items = BuildPollItems(data.channels);
    EXPECT_EQ(transport.PollChannels(items, 1000), 0);
    EXPECT_FALSE(items[0].NoReply());
    EXPECT_FALSE(items[1].NoReply());
    EXPECT_EQ(items[1].value, 200000u);

    can.failSends = 2;
    items = BuildPollItems(data.channels);
    EXPECT_EQ(transport.PollChannels(items, 1000), -1);
    EXPECT_TRUE(items[0].NoReply()) << "no reading of 0 degrees: no reply";
    EXPECT_TRUE(items[1].NoReply());
    EXPECT_EQ(items[1].value, 0u);
}

// The calibration dialog over CAN: the reference is checked before anything is sent, and a
// node that stops answering after the recheck fails the pass with message 15 followed by the
// CAN check failure (port closed, opening dialog).
TEST_F(CanTransportTest, CalibrationPassChecksTheReferenceAndReportsAFailedRequest) {
    can.nodes = {Node(1, 1, 5000), Node(2, 2, 1000000)};  // 0.5 and 100 °C
    data.stateWord.Set(state::STARTUP_CHECK);
    ASSERT_EQ(procedures.SensorCheck(), 0);
    data.stateWord.Clear(state::STARTUP_CHECK);
    data.channels[0].precisionModel = data.channels[1].precisionModel = 1;
    CalibrationDialogModel dialog(data, transport, procedures, messages);
    EXPECT_EQ(dialog.Title(), platform::sjis::S("校正機能（高精度型）"));
    const std::size_t sentBefore = can.sent.size();
    struct {
        const char* text;
        int message;
    } refused[] = {{"", 27}, {"abc", 27}, {"200.001", 24}, {"199.9999", 24}, {"-20.5", 24}};
    for (const auto& r : refused) {
        messages.Clear();
        EXPECT_EQ(dialog.Measure(1, r.text), -1) << r.text;
        EXPECT_EQ(messages.Numbers(), std::vector<int>{r.message}) << r.text;
        EXPECT_TRUE(dialog.FocusReference());
    }
    EXPECT_EQ(can.sent.size(), sentBefore) << "nothing sent for a refused reference";

    messages.Clear();
    ASSERT_EQ(dialog.Measure(1, "0"), 0);
    EXPECT_FALSE(dialog.FocusReference());
    EXPECT_EQ(dialog.ReferenceText(1), "0.000");
    EXPECT_EQ(dialog.FieldText(1, 1), "-0.500");
    EXPECT_EQ(dialog.FieldText(1, 2), "-100.000");

    ui.afterRecheck = [&] { can.nodes[1].silent = true; };
    EXPECT_EQ(dialog.Measure(1, "0"), -1);
    EXPECT_EQ(messages.Numbers(), std::vector<int>{15});
    EXPECT_EQ(ui.openingDialogs, 1);
    EXPECT_EQ(transport.CanPort(), 0u) << "the CAN check failure closes the port";
    EXPECT_FALSE(dialog.ComputeEnabled());
}

TEST_F(CanTransportTest, UserCheckWithAnIdLessUnitKeepsTheOtherTwo) {
    can.nodes = {Node(11, 5), Node(12, 0), Node(13, 7)};
    procedures.MenuSensorCheck();
    EXPECT_EQ(messages.Numbers(), (std::vector<int>{65, 73}));
    EXPECT_EQ(data.deviceCount, 2);
    EXPECT_EQ(data.channels[0].idNumber, 5);
    EXPECT_EQ(data.channels[0].canNode, 11u);
    EXPECT_EQ(data.channels[1].idNumber, 7);
    EXPECT_EQ(data.channels[1].canNode, 13u);
    EXPECT_TRUE(data.channels[2].IsEmpty());
    EXPECT_EQ(data.channels[0].channelNumber, 1);
    EXPECT_EQ(data.channels[1].channelNumber, 2);
    EXPECT_EQ(data.channels[0].measureSwitch, 1);
    EXPECT_FALSE(data.stateWord.Test(state::USER_CHECK));
    EXPECT_FALSE(data.stateWord.Test(state::CONFIG_CHANGED));
    // The clocks were set and followed up, addressed to every node.
    EXPECT_EQ(SentWithCode(kCmdSetClock).size(), 3u);
    EXPECT_EQ(SentWithCode(kCmdClockFollowUp).size(), 3u);
    EXPECT_EQ(SentWithCode(kCmdSetClock)[0].identifier, 0x80000003u + (11u << 13));
}

TEST_F(CanTransportTest, StartupCheckWithASilentUnitShowsMessage48AndTheOpeningDialog) {
    can.nodes = {Node(1, 1), Node(2, 2)};
    data.stateWord.Set(state::STARTUP_CHECK);
    ASSERT_NE(transport.CanOpenSensors(), kCanOpenFailed);
    can.nodes[1].silent = true;  // found by the scan, then silent
    for (int i = 0; i < 2; ++i) data.channels[i].canNode = static_cast<uint32_t>(i + 1);
    EXPECT_EQ(procedures.SensorCheck(), -1);
    EXPECT_EQ(messages.Numbers(), std::vector<int>{48});
    EXPECT_EQ(ui.openingDialogs, 1);
    EXPECT_EQ(transport.CanPort(), 0u) << "the port is closed by the check failure";
}

TEST_F(CanTransportTest, StartupCheckReconcilesTheConfiguration) {
    can.nodes = {Node(1, 1), Node(2, 2)};
    Configure(0, 2, 2, 3000);
    Configure(1, 9, 9, 3000);  // gone
    data.stateWord.Set(state::STARTUP_CHECK);
    EXPECT_EQ(procedures.SensorCheck(), 0);
    EXPECT_EQ(messages.Numbers(), std::vector<int>{68});
    EXPECT_EQ(data.channels[0].canNode, 2u);
    EXPECT_EQ(data.channels[0].interval, 3000u);
    EXPECT_EQ(data.channels[1].canNode, 1u);
    EXPECT_EQ(data.channels[1].interval, 3000u);
}

TEST_F(CanTransportTest, IdSetReachesOnlyTheUnitThatWasRead) {
    can.nodes = {Node(4, 40)};
    IdReadout readout;
    ASSERT_EQ(procedures.IdRead(&readout), 0);
    EXPECT_EQ(readout.manufacturingNumber, "T26-04001-0004");
    EXPECT_EQ(readout.idText, "40");
    // Another unit joins before "設定"; the channel table's first record holds it.
    can.nodes.push_back(Node(9, 90));
    Configure(0, 9, 90);
    messages.Clear();
    EXPECT_EQ(procedures.IdSet("0"), -1);
    EXPECT_EQ(procedures.IdSet("70000"), -1);
    EXPECT_EQ(procedures.IdSet("12a"), -1);
    EXPECT_TRUE(SentWithCode(kCmdSetIdNumber).empty());
    EXPECT_EQ(procedures.IdSet("123"), 0);
    EXPECT_EQ(messages.Numbers(), (std::vector<int>{20, 20, 20, 80}));
    EXPECT_EQ(can.nodes[0].idNumber, 123);
    EXPECT_EQ(can.nodes[1].idNumber, 90);
    ASSERT_EQ(SentWithCode(kCmdSetIdNumber).size(), 1u);
    EXPECT_EQ(CanNodeOfIdentifier(SentWithCode(kCmdSetIdNumber)[0].identifier), 4u);
    EXPECT_EQ(data.idHistory[0].idNumber, 123);

    // The unit read is gone by the time of "設定": the failure is told, not success.
    can.nodes[0].silent = true;
    messages.Clear();
    EXPECT_EQ(procedures.IdSet("124"), -1);
    EXPECT_EQ(messages.Numbers(), (std::vector<int>{66, 14})) << "66: the unit had another ID in this run";
}

TEST_F(CanTransportTest, IdReadWithTwoUnitsShowsMessage45) {
    can.nodes = {Node(4, 40), Node(5, 50)};
    EXPECT_EQ(procedures.IdRead(nullptr), -1);
    EXPECT_EQ(messages.Numbers(), std::vector<int>{45});
    EXPECT_EQ(ui.openingDialogs, 1);
}

TEST_F(CanTransportTest, PowerFrequencyReadAndSend) {
    can.nodes = {Node(1, 1), Node(2, 2)};
    can.nodes[0].powerFrequency = 1;  // 60 Hz
    ASSERT_NE(transport.CanOpenSensors(), kCanOpenFailed);
    Configure(0, 1, 1);
    Configure(1, 2, 2);
    EXPECT_EQ(procedures.PowerFrequencyRead(), kPowerFrequency60Hz);
    ASSERT_EQ(ui.texts.size(), 1u);
    EXPECT_EQ(ui.texts[0].first, platform::sjis::S(kPowerFrequencyMixed));
    EXPECT_EQ(ui.texts[0].second, MessageBoxKind::Information);

    EXPECT_EQ(procedures.PowerFrequencySend(kPowerFrequency50Hz), 0);
    EXPECT_EQ(can.nodes[0].powerFrequency, 0);
    EXPECT_EQ(can.nodes[1].powerFrequency, 0);
    const uint8_t request[8] = {0, 0x0E, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(can.sent.back().data, request, 8), 0);
    EXPECT_EQ(can.sent.back().identifier, 0x80000001u);
    ui.texts.clear();
    EXPECT_EQ(procedures.PowerFrequencyRead(), kPowerFrequency50Hz);
    EXPECT_TRUE(ui.texts.empty());

    can.nodes[1].silent = true;
    EXPECT_EQ(procedures.PowerFrequencyRead(), -1);
    ASSERT_EQ(ui.texts.size(), 1u);
    EXPECT_EQ(ui.texts[0].first, platform::sjis::S(kPowerFrequencyReadFailed));
}

TEST_F(CanTransportTest, AFailedCloseOfThePort) {
    struct Case {
        uint32_t origin;
        std::vector<int> messages;
    };
    const Case cases[] = {{0, {52}}, {state::STARTUP_CHECK, {52}}, {state::USER_CHECK, {}}, {state::AUTO_CHECK, {}}};
    can.nodes = {Node(1, 1)};
    ASSERT_NE(transport.CanOpenSensors(), kCanOpenFailed);
    can.failClose = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.origin);
        messages.Clear();
        data.stateWord.Reset(c.origin | state::DEVICES_OPEN);
        data.deviceCount = 1;
        EXPECT_EQ(transport.CloseDevices(), -1);
        EXPECT_EQ(messages.Numbers(), c.messages);
        EXPECT_TRUE(data.stateWord.Test(state::DEVICES_OPEN)) << "the port is still open";
    }
    // The check failure cannot close the port: message 52 and the abort with code 52.
    messages.Clear();
    data.stateWord.Reset(state::STARTUP_CHECK);
    procedures.CanCheckFailure();
    EXPECT_EQ(messages.Numbers(), std::vector<int>{52});
    EXPECT_EQ(aborts, std::vector<int>{52});
    EXPECT_EQ(ui.openingDialogs, 0);
    can.failClose = false;
    EXPECT_EQ(transport.CanCloseSensors(), 0);
}

TEST_F(CanTransportTest, DeviceChangeRechecksOnlyWhenIdleAndReportsAChangedConfiguration) {
    can.nodes = {Node(1, 1), Node(2, 2)};
    data.stateWord.Set(state::STARTUP_CHECK);
    ASSERT_EQ(procedures.SensorCheck(), 0);
    data.stateWord.Clear(state::STARTUP_CHECK);
    ASSERT_EQ(data.deviceCount, 2);
    const std::size_t sent = can.sent.size();

    // A measurement runs (or a check, or a dialog): nothing happens.
    for (uint32_t busy : {state::kModeMeasuring, state::kModePolling, state::kModeIdSetting}) {
        data.stateWord.SetMode(busy);
        procedures.OnDeviceChange();
    }
    data.stateWord.SetMode(state::kModeIdle);
    data.stateWord.Set(state::CHECK_NEEDED);
    procedures.OnDeviceChange();
    data.stateWord.Clear(state::CHECK_NEEDED);
    EXPECT_EQ(can.sent.size(), sent);
    EXPECT_TRUE(messages.Numbers().empty());

    // Node 3 joins: the recheck takes it in and tells the user to look at the sensors.
    can.nodes.push_back(Node(3, 3));
    procedures.OnDeviceChange();
    EXPECT_EQ(messages.Numbers(), std::vector<int>{68});
    EXPECT_TRUE(data.stateWord.Test(state::CHECK_NEEDED));
    EXPECT_FALSE(data.stateWord.Test(state::AUTO_CHECK));
    EXPECT_EQ(data.channels[2].canNode, 3u);
    EXPECT_EQ(data.channels[2].channelNumber, 3);
    EXPECT_EQ(data.channelBackup[1].canNode, 2u) << "kept for the next menu check";

    // Node 2 is gone: on CAN a configured node that does not answer fails the check (message
    // 48, port closed, opening dialog), and the tables are emptied.
    data.stateWord.Clear(state::CHECK_NEEDED);
    messages.Clear();
    can.nodes.erase(can.nodes.begin() + 1);
    procedures.OnDeviceChange();
    EXPECT_EQ(messages.Numbers(), std::vector<int>{48});
    EXPECT_EQ(ui.openingDialogs, 1);
    EXPECT_EQ(data.deviceCount, 0);
    EXPECT_TRUE(data.channels[0].IsEmpty());
    EXPECT_EQ(transport.CanPort(), 0u);
}

TEST_F(CanTransportTest, MeasurementOverTheTransportStoresEachNodesValue) {
    can.nodes = {Node(1, 1, 215000), Node(2, 2, 0xC0000000u | 50000)};
    data.stateWord.Set(state::STARTUP_CHECK);
    ASSERT_EQ(procedures.SensorCheck(), 0);
    data.stateWord.Clear(state::STARTUP_CHECK);
    platform::sync::LocalTime start{};
    start.year = 2026;
    start.month = 12;
    start.day = 9;
    start.hour = 10;
    SimulatedClock clock(start);
    DeviceMeasurementHooks hooks(transport, procedures);
    {
        Measurement measurement(data, hooks, messages, clock);
        transport.SetAbortHandler([&](int code) { measurement.Abort(code); });
        clock.SetHorizon(clock.NowMs() + 2500);
        ASSERT_EQ(measurement.Start(), 0);
        ASSERT_TRUE(clock.WaitUntilIdle(std::chrono::seconds(60)));
        EXPECT_EQ(data.SampleIndex(), 3u);
        clock.ClearHorizon();
        measurement.Stop();
        measurement.Join();
        transport.SetAbortHandler({});
    }
    EXPECT_DOUBLE_EQ(data.samples.At(2, 0), 21.5);
    EXPECT_DOUBLE_EQ(data.samples.At(2, 1), -5.0);
    EXPECT_EQ(data.badDataMarks[1], 1);
    EXPECT_TRUE(messages.Numbers().empty());
    EXPECT_EQ(SentWithCode(kCmdReadMeasurement).back().identifier, 0x80000001u) << "one broadcast per poll";
}

TEST_F(CanTransportTest, AMeasurementGoesOnAfterOneFailedBroadcast) {
    can.nodes = {Node(1, 1, 215000)};
    data.stateWord.Set(state::STARTUP_CHECK);
    ASSERT_EQ(procedures.SensorCheck(), 0);
    data.stateWord.Clear(state::STARTUP_CHECK);
    platform::sync::LocalTime start{};
    start.year = 2026;
    start.month = 12;
    start.day = 9;
    start.hour = 10;
    SimulatedClock clock(start);
    DeviceMeasurementHooks hooks(transport, procedures);
    can.failSends = 1;
    {
        Measurement measurement(data, hooks, messages, clock);
        clock.SetHorizon(clock.NowMs() + 2500);
        ASSERT_EQ(measurement.Start(), 0);
        ASSERT_TRUE(clock.WaitUntilIdle(std::chrono::seconds(60)));
        EXPECT_EQ(data.SampleIndex(), 3u);
        clock.ClearHorizon();
        measurement.Stop();
        measurement.Join();
    }
    EXPECT_TRUE(messages.Numbers().empty()) << ::testing::PrintToString(messages.Numbers());
    EXPECT_DOUBLE_EQ(data.samples.At(0, 0), 21.5);
}

}  // namespace
}  // namespace ridaviri
