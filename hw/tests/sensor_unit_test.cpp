// The sensor unit's firmware and its CAN node, checked against the layouts the monitor
// decodes: big-endian words, reply byte 0 = 0x10 and type 1 for measurements, node number in
// identifier bits 13-28, bit 0 set in requests only.
#include "hw/sensor_unit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "hw/sja1000.h"

using namespace hw;

namespace {

SensorSettings Unit(uint16_t id, double celsius) {
    SensorSettings s;
    s.identity = {'T', 0x8B, static_cast<uint16_t>((4 << 10) | 123), 0x2345};
    s.id_number = id;
    s.profile = TemperatureProfile::Constant(celsius);
    return s;
}

SensorMessage Req(uint8_t cmd, uint16_t w1 = 0, uint16_t w2 = 0, uint16_t w3 = 0) {
    return {0, cmd, uint8_t(w1 >> 8), uint8_t(w1), uint8_t(w2 >> 8), uint8_t(w2), uint8_t(w3 >> 8), uint8_t(w3)};
}

// Converts a raw value the way the monitor does: bit 30 = bad data (bits 24-30 dropped),
// bit 31 = negative, magnitude in 0.0001 degC.
double Decode(uint32_t raw, bool* bad) {
    *bad = (raw & 0x40000000u) != 0;
    if (*bad) raw &= ~0x7F000000u;
    double mag = raw & 0x7FFFFFFFu;
    return ((raw & 0x80000000u) ? -mag : mag) / 10000.0;
}

}  // namespace

TEST(SensorFirmware, RawValueEncoding) {
    struct {
        double celsius;
        bool bad;
        uint32_t raw;
    } cases[] = {
        {25.0, false, 250000},
        {-25.0, false, 0x80000000u | 250000},
        {-5.0, true, 0xC0000000u | 50000},
        {0.0, false, 0},
        {-0.00001, false, 0},           // rounds to zero without a sign
        {5000.0, false, 0x00FFFFFFu},   // beyond what the unit reports
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SensorFirmware::EncodeRaw(c.celsius, c.bad), c.raw) << c.celsius;
        bool bad;
        if (c.raw != 0x00FFFFFFu) {
            EXPECT_DOUBLE_EQ(Decode(c.raw, &bad), std::round(c.celsius * 10000) / 10000 + 0.0);
            EXPECT_EQ(bad, c.bad);
        }
    }
}

TEST(SensorFirmware, RepliesByCommand) {
    ManualClock clock;
    SensorFirmware fw(clock, Unit(7, 21.5));
    using T = SensorFirmware::Transport;
    auto info = [&](uint16_t sub) { return *fw.Handle(Req(kCmdReadInfo, sub), T::kCan, false); };
    EXPECT_EQ(info(kInfoIdentity), (SensorMessage{0, 9, 'T', 0x8B, 0x10, 0x7B, 0x23, 0x45}));
    EXPECT_EQ(info(kInfoIdNumber), (SensorMessage{0, 9, 0x00, 0x07, 0, 0, 0, 0}));
    EXPECT_EQ(info(kInfoInputMode), (SensorMessage{0, 9, 0x00, 0x01, 0, 0, 0, 0}));
    EXPECT_EQ(info(kInfoPowerFrequency), (SensorMessage{0, 9, 0, 0, 0, 0, 0, 0}));
    auto m = *fw.Handle(Req(kCmdReadMeasurement), T::kUsb, false);
    EXPECT_EQ(m, (SensorMessage{0x10, 0x01, 0x00, 0x03, 0x47, 0xD8, 0, 0}));  // 215000

    // SetIdNumber answers byte 2 = 2 on CAN and is stored (and reported for the machine file).
    SensorSettings stored;
    fw.OnSettingsChanged([&](const SensorSettings& s) { stored = s; });
    auto r = fw.Handle(Req(kCmdSetIdNumber, 0x1234), T::kCan, false);
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[2], 2);
    EXPECT_EQ(stored.id_number, 0x1234);
    EXPECT_EQ(info(kInfoIdNumber)[3], 0x34);
    // Over USB only ReadMeasurement and ReadInfo are answered.
    EXPECT_FALSE(fw.Handle(Req(kCmdSetIdNumber, 5), T::kUsb, false));
    EXPECT_FALSE(fw.Handle(Req(kCmdSetClock, 12, 34, 56), T::kUsb, false));
    EXPECT_EQ(fw.clock_set(), (std::array<uint16_t, 3>{12, 34, 56}));
    // Power frequency 60 Hz: request byte 3 = 1, broadcast without answer.
    EXPECT_FALSE(fw.Handle({0, 14, 0, 1, 0, 0, 0, 0}, T::kCan, true));
    EXPECT_EQ(stored.power_frequency, 1);
    EXPECT_EQ(fw.Handle(Req(kCmdReadInfo, 9), T::kUsb, false).value()[3], 1);
    // Faults.
    fw.SetFault(SensorFault::kBadData);
    m = *fw.Handle(Req(kCmdReadMeasurement), T::kCan, true);
    EXPECT_EQ(m[2] & 0x40, 0x40);
    fw.SetFault(SensorFault::kNoAnswer);
    EXPECT_FALSE(fw.Handle(Req(kCmdReadInfo, 1), T::kCan, false));
    fw.SetFault(*ParseSensorFault("busy"));  // on CAN a busy unit does not answer either
    EXPECT_FALSE(fw.Handle(Req(kCmdReadMeasurement), T::kCan, true));
}

TEST(TemperatureProfile, ParsedKindsFollowTime) {
    std::filesystem::path file = std::filesystem::temp_directory_path() / "hw_profile_test.csv";
    {
        std::ofstream out(file);
        out << "# seconds,degC\n0,10\n10,20\n20,20\n";
    }
    struct {
        std::string text;
        double t;
        double expected;
    } cases[] = {
        {"constant:25", 100, 25},
        {"ramp:20,0.5", 120, 21},
        {"sine:25,2,60", 15, 27},
        {"file:" + file.string(), 5, 15},
        {"file:" + file.string(), 100, 20},
    };
    for (const auto& c : cases) {
        std::string error;
        auto p = TemperatureProfile::Parse(c.text, &error);
        ASSERT_TRUE(p) << error;
        EXPECT_NEAR(p->At(c.t), c.expected, 1e-9) << c.text;
    }
    auto noise = TemperatureProfile::Parse("noise:25,0.5,7", nullptr);
    ASSERT_TRUE(noise);
    EXPECT_EQ(noise->At(3.0), noise->At(3.0));
    EXPECT_NEAR(noise->At(3.0), 25, 0.5);
    for (const char* bad : {"", "warm", "ramp:1", "sine:1,2,0", "file:/nonexistent/x.csv", "constant:x"})
        EXPECT_FALSE(TemperatureProfile::Parse(bad, nullptr)) << bad;
    std::filesystem::remove(file);
}

TEST(SensorCanNode, BroadcastReadMeasurementIsAnsweredByEveryNodeInNodeOrder) {
    ManualClock clock;
    CanBus bus(clock, "sensors");
    Sja1000 host(clock);
    for (int i = 0; i < 4; ++i) {
        host.Write8(SJA_ACR0 + i, 0);
        host.Write8(SJA_AMR0 + i, 0xFF);
    }
    host.Write8(SJA_BTR0, 0x05);  // 12 us bits, the units' rate
    host.Write8(SJA_BTR1, 0x3A);
    host.Write8(SJA_MOD, MOD_AFM);
    host.AttachBus(&bus);
    std::map<int, double> temps{{1, 25.0}, {2, -5.0}, {3, 0.5}};
    std::vector<std::unique_ptr<SensorCanNode>> nodes;
    for (auto [node, t] : temps) {
        auto fw = std::make_shared<SensorFirmware>(clock, Unit(static_cast<uint16_t>(node), t));
        nodes.push_back(std::make_unique<SensorCanNode>(fw, static_cast<uint16_t>(node), 12000));
        nodes.back()->AttachBus(&bus);
    }
    nodes[1]->firmware().SetFault(SensorFault::kBadData);
    // Identifier 0x80000001 (node 0, request mark) with 00 06 00 00 00 00 00 00.
    bus.SetFastMode(true);
    host.Write8(0x10, 0x88);
    host.Write8(0x11, 0x00);
    host.Write8(0x12, 0x00);
    host.Write8(0x13, 0x00);
    host.Write8(0x14, 0x08);
    host.Write8(0x15, 0x00);
    host.Write8(0x16, 0x06);
    for (int i = 0x17; i <= 0x1C; ++i) host.Write8(static_cast<uint8_t>(i), 0);
    host.Write8(SJA_CMR, CMR_TR);
    ASSERT_TRUE(bus.WaitIdle());
    ASSERT_EQ(host.Read8(SJA_RMC), 3);
    for (int expected_node = 1; expected_node <= 3; ++expected_node) {
        ASSERT_EQ(host.Read8(0x10), 0x88);
        uint32_t id = (uint32_t(host.Read8(0x11)) << 21) | (uint32_t(host.Read8(0x12)) << 13) |
                      (uint32_t(host.Read8(0x13)) << 5) | (host.Read8(0x14) >> 3);
        uint32_t word = id | 0x80000000u;  // as the library reports it
        EXPECT_EQ(word & 1u, 0u);
        EXPECT_EQ((word & 0x7FFFFFFCu) >> 13, uint32_t(expected_node));
        uint8_t d[8];
        for (int i = 0; i < 8; ++i) d[i] = host.Read8(static_cast<uint8_t>(0x15 + i));
        EXPECT_EQ(d[0], 0x10);
        EXPECT_EQ(d[1] & 0x0F, 1);
        uint32_t raw = (uint32_t(d[2]) << 24) | (uint32_t(d[3]) << 16) | (uint32_t(d[4]) << 8) | d[5];
        bool bad;
        EXPECT_DOUBLE_EQ(Decode(raw, &bad), temps[expected_node]);
        EXPECT_EQ(bad, expected_node == 2);
        host.Write8(SJA_CMR, CMR_RRB);
    }
}

TEST(SensorCanNode, ReplyWaitsForItsDelayAndOnlyTheAddressedNodeAnswers) {
    ManualClock clock;
    CanBus bus(clock, "sensors");
    std::vector<CanFrame> seen;
    bus.SetMonitor([&](const CanFrame& f, uint64_t) { seen.push_back(f); });
    auto settings = Unit(2, 20);
    settings.reply_delay_us = 3000;
    SensorCanNode n2(std::make_shared<SensorFirmware>(clock, settings), 2, 12000);
    SensorCanNode n3(std::make_shared<SensorFirmware>(clock, Unit(3, 20)), 3, 12000);
    n2.AttachBus(&bus);
    n3.AttachBus(&bus);
    // A request addressed to node 2 through the found-table path: 0x80000003 + (2 << 13).
    CanFrame req;
    req.extended = true;
    req.id = 0x3 + (2u << 13);
    req.dlc = 8;
    req.data = {0, 9, 0, 2, 0, 0, 0, 0};
    n2.Receive(req, clock.NowUs());
    n3.Receive(req, clock.NowUs());
    ASSERT_TRUE(bus.WaitIdle());
    EXPECT_TRUE(seen.empty());
    clock.Advance(2999);
    ASSERT_TRUE(bus.WaitIdle());
    EXPECT_TRUE(seen.empty());
    clock.Advance(1);
    ASSERT_TRUE(bus.WaitIdle());
    clock.Advance(10000);  // the reply's own wire time
    ASSERT_TRUE(bus.WaitIdle());
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].id, 2u << 13);
    EXPECT_EQ(seen[0].data[3], 2);  // ID number 2, big-endian in bytes 2-3
}
