// Two-point calibration of the channels and the correction it gives: each channel is
// corrected with the straight line through two passes measured against reference
// temperatures. The precision model (standard / high precision) sets input and display
// resolution.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "ridaviri/message_function.h"
#include "ridaviri/monitor_data.h"

namespace ridaviri {

// Corrected temperature, °C: (measured - B) / A when the record's calibration switch is 1.
// A record whose factor A is 0 (switched on but never calibrated) or whose factors are not
// finite is left uncorrected instead of dividing by zero or giving nan.
double ApplyCalibration(double measured, const ChannelRecord& record);

// Reference temperature range of both models, °C.
inline constexpr double kReferenceMin = -20.0;
inline constexpr double kReferenceMax = 200.0;

// Checks a reference text as typed: 0 with *value set, 27 when it is no number (value 0 but
// not the text "0"), 24 when it is out of range, too long (6 characters standard, 7 high
// precision) or has too many decimals (2 / 3).
int CheckReferenceText(std::string_view text, uint8_t precisionModel, double* value);

// Texts of the calibration dialog and of the views, by precision model.
std::string FormatReference(double celsius, uint8_t precisionModel);  // "%3.2f" / "%3.3f"
std::string FormatDeviation(double celsius, uint8_t precisionModel);  // "%.2f" / "%.3f", no "-0.00"
std::string FormatTemperature(double celsius, uint8_t precisionModel);  // "%3.2f" / "%3.3f"
std::string DialogTitle(uint8_t precisionModel);  // "校正機能（標準型）" / "校正機能（高精度型）"

// What one unit contributes to the calibration.
struct CalibrationWork {
    uint8_t channelNumber = 0;
    float reference1 = 0, reference2 = 0;  // °C
    float measured1 = 0, measured2 = 0;    // °C, uncorrected
    float factorA = 0, factorB = 0;
};

// The calibration dialog without its widgets: two passes, each measuring every unit against
// one reference, then the factors of every unit.
class CalibrationModel {
public:
    explicit CalibrationModel(uint8_t precisionModel) : precision_(precisionModel) {}

    // Pass 1 or 2 begins with its reference; the pass's state bit is cleared.
    void BeginPass(int pass, double reference);
    // The raw reply of unit `unit` (position in the channel table) in the current pass.
    // Sets or clears the bad-data mark of its channel in `data`. Returns the text of the
    // channel's field: "データ不良" or the deviation reference - measured.
    std::string RecordUnit(int unit, uint8_t channelNumber, uint32_t raw, MonitorData& data);
    // The pass is complete: its state bit is set unless a channel carried bad data.
    void EndPass(MonitorData& data);
    // A failed request ends the pass without its state bit.
    void FailPass();

    // "校正値計算" is enabled only with both passes measured cleanly.
    bool CanCompute() const { return passBits_ == 3; }
    int PassBits() const { return passBits_; }
    double Reference(int pass) const { return pass == 1 ? reference1_ : reference2_; }
    const CalibrationWork& Work(int unit) const { return work_.at(unit); }

    // Computes A = (m2 - m1) / (r2 - r1), B = m1 - A * r1 for the first `count` units and
    // stores them in the channel-table records of the same channel numbers. Equal references
    // show message 23; a unit whose two measured values are equal would get A = 0, which no
    // correction can divide by: message kMessageCalibrationFlat. In both cases nothing is
    // stored and the result is -1; otherwise 0.
    int Compute(int count, ChannelTable& channels, MessageFunction& messages);

private:
    uint8_t precision_;
    int pass_ = 1;
    int passBits_ = 0;
    double reference1_ = 0, reference2_ = 0;
    std::array<CalibrationWork, kChannelCount> work_{};
};

}  // namespace ridaviri
