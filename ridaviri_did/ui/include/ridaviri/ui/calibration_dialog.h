// "校正機能（標準型）" / "校正機能（高精度型）" without widgets: the reference typed for the
// selected pass, the pass measured against it, the deviation of every channel for both passes,
// and the factors computed from the two passes. Texts are Shift-JIS.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "ridaviri/calibration.h"
#include "ridaviri/monitor_data.h"
#include "ridaviri/sensor_check.h"

namespace ridaviri {

class CalibrationDialogModel {
public:
    // Measures one pass: every unit read against the reference, each channel's field text
    // (by channel number - 1) filled in; 0, or -1 when the pass failed (reported already).
    using MeasurePass = std::function<int(CalibrationModel& model, int pass, double reference,
                                          std::array<std::string, kChannelCount>* fields)>;

    CalibrationDialogModel(MonitorData& data, MessageFunction& messages, MeasurePass measurePass);

    std::string Title() const { return DialogTitle(precision_); }
    uint8_t Precision() const { return precision_; }

    int pass = 1;               // the pass selector: 1 "1回目", 2 "2回目"
    std::string referenceText;  // "基準温度入力"

    // "計測": the reference is checked (message 27 or 24, and false: the focus goes back to
    // the input); then the pass is measured. true when the input was accepted.
    bool Measure();
    // The reference shown for pass 1 or 2, and the field of channel index c in pass 1 or 2.
    const std::string& ReferenceShown(int p) const { return references_[p == 2 ? 1 : 0]; }
    const std::string& Field(int p, int c) const { return fields_[p == 2 ? 1 : 0][c]; }

    bool ComputeEnabled() const { return work_.CanCompute(); }
    // "校正値計算": 0 when the factors were stored (the dialog closes), -1 otherwise.
    int Compute();

private:
    MonitorData& data_;
    MessageFunction& messages_;
    MeasurePass measurePass_;
    uint8_t precision_;
    CalibrationModel work_;
    std::array<std::string, 2> references_;
    std::array<std::array<std::string, kChannelCount>, 2> fields_;
};

}  // namespace ridaviri
