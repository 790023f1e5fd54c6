#include "ridaviri/calibration.h"

#include <gtest/gtest.h>

#include "platform/sjis.h"

namespace ridaviri {
namespace {

using platform::sjis::S;

// Two units on channels 4 and 1 (storage order differs from channel order).
struct Fixture {
    MonitorData data{4};
    ScriptedMessages messages;
    CalibrationModel model{0};
    Fixture() {
        data.channels[0].identity.typeLetter = 'T';
        data.channels[0].channelNumber = 4;
        data.channels[1].identity.typeLetter = 'T';
        data.channels[1].channelNumber = 1;
    }
    void Pass(int pass, double reference, double m0, double m1) {
        model.BeginPass(pass, reference);
        model.RecordUnit(0, 4, RawFromCelsius(m0), data);
        model.RecordUnit(1, 1, RawFromCelsius(m1), data);
        model.EndPass(data);
    }
};

TEST(Calibration, ExampleGivesA0998B05AndCorrects504To500) {
    Fixture f;
    f.Pass(1, 0.0, 0.5, 0.0);
    f.Pass(2, 100.0, 100.3, 100.0);
    ASSERT_TRUE(f.model.CanCompute());
    ASSERT_EQ(f.model.Compute(2, f.data.channels, f.messages), 0);
    const ChannelRecord& r = f.data.channels[0];
    EXPECT_NEAR(r.factorA, 0.998, 1e-6);
    EXPECT_NEAR(r.factorB, 0.5, 1e-6);
    EXPECT_EQ(r.calibrationSwitch, 0);  // computing never switches the correction on
    ChannelRecord on = r;
    on.calibrationSwitch = 1;
    EXPECT_NEAR(ApplyCalibration(50.4, on), 50.0, 1e-4);
    EXPECT_NEAR(f.data.channels[1].factorA, 1.0, 1e-6);
    EXPECT_TRUE(f.messages.Numbers().empty());
}

TEST(Calibration, EqualReferencesShowMessage23AndStoreNothing) {
    Fixture f;
    f.Pass(1, 25.0, 25.1, 25.2);
    f.Pass(2, 25.0, 25.3, 25.4);
    EXPECT_EQ(f.model.Compute(2, f.data.channels, f.messages), -1);
    EXPECT_EQ(f.messages.Numbers(), std::vector<int>{23});
    EXPECT_EQ(f.data.channels[0].factorA, 0.0f);
}

// Regression: equal measured values of one unit stored A = 0, and the correction then
// divided by zero on every sample of that channel.
TEST(Calibration, EqualMeasuredValuesAreRefusedForAllUnits) {
    Fixture f;
    f.Pass(1, 0.0, 0.5, 21.0);
    f.Pass(2, 100.0, 100.3, 21.0);  // unit on channel 1 did not follow the reference
    EXPECT_EQ(f.model.Compute(2, f.data.channels, f.messages), -1);
    EXPECT_EQ(f.messages.Numbers(), std::vector<int>{kMessageCalibrationFlat});
    EXPECT_EQ(f.messages.Log()[0].kind, MessageBoxKind::Error);
    EXPECT_EQ(f.data.channels[0].factorA, 0.0f);  // the good unit is not stored either
    EXPECT_EQ(f.data.channels[1].factorA, 0.0f);
}

TEST(Calibration, UncalibratedRecordWithSwitchOnIsNotDividedByZero) {
    ChannelRecord r;
    r.calibrationSwitch = 1;
    EXPECT_EQ(ApplyCalibration(21.5, r), 21.5);
    r.calibrationSwitch = 0;
    r.factorA = 2.0f;
    EXPECT_EQ(ApplyCalibration(21.5, r), 21.5);
}

TEST(Calibration, BadDataShowsItsTextAndKeepsComputingDisabled) {
    Fixture f;
    f.model.BeginPass(1, 0.0);
    EXPECT_EQ(f.model.RecordUnit(0, 4, RawFromCelsius(0.5), f.data), "-0.50");
    EXPECT_EQ(f.model.RecordUnit(1, 1, RawFromCelsius(0.5, true), f.data), S("データ不良"));
    f.model.EndPass(f.data);
    EXPECT_EQ(f.model.PassBits(), 0);
    EXPECT_EQ(f.data.badDataMarks[0], 1);
    f.Pass(1, 0.0, 0.5, 0.2);  // measured again cleanly
    f.Pass(2, 100.0, 100.3, 100.0);
    EXPECT_TRUE(f.model.CanCompute());
    f.model.BeginPass(2, 50.0);  // measuring a pass again clears its bit
    EXPECT_FALSE(f.model.CanCompute());
}

TEST(ReferenceText, MessagesByModel) {
    struct Case {
        const char* text;
        uint8_t model;
        int result;
    } cases[] = {
        {"0", 0, 0},       {"", 0, 27},        {"abc", 0, 27},      {"0.0", 0, 27},
        {"199.99", 0, 0},  {"199.999", 0, 24}, {"199.999", 1, 0},   {"199.9999", 1, 24},
        {"200.01", 0, 24}, {"200.01", 1, 24},  {"-20", 0, 0},       {"-20.01", 0, 24},
        {"25.5", 1, 0},    {"100.123", 0, 24}, {"-19.999", 1, 0},
    };
    for (const Case& c : cases) {
        double v = -1;
        EXPECT_EQ(CheckReferenceText(c.text, c.model, &v), c.result) << c.text << " model " << int(c.model);
    }
}

TEST(Formats, ByPrecisionModel) {
    EXPECT_EQ(FormatDeviation(-0.0004, 1), "0.000");
    EXPECT_EQ(FormatDeviation(-0.004, 0), "0.00");
    EXPECT_EQ(FormatDeviation(-0.006, 0), "-0.01");
    EXPECT_EQ(FormatTemperature(25.0, 1), "25.000");
    EXPECT_EQ(FormatTemperature(25.0, 0), "25.00");
    EXPECT_EQ(FormatTemperature(-5.0, 0), "-5.00");
    EXPECT_EQ(FormatReference(0.0, 0), "0.00");
    EXPECT_EQ(DialogTitle(1), S("校正機能（高精度型）"));
}

}  // namespace
}  // namespace ridaviri
