// The calibration dialog ("校正機能（標準型）" / "校正機能（高精度型）") without its widgets: the
// button "計測" measures one pass (the reference checked, the units rechecked and read once,
// the devices closed again), "校正値計算" computes and stores every unit's factors. The window
// binds its controls to the texts and the enabled state kept here.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "ridaviri/calibration.h"
#include "ridaviri/sensor_check.h"

namespace ridaviri {

class CalibrationDialogModel {
public:
    // Opened with the precision model of the first channel record.
    CalibrationDialogModel(MonitorData& data, SensorTransport& transport, SensorProcedures& procedures,
                           MessageFunction& messages);

    // "計測" for pass 1 ("1回目") or 2 ("2回目") with the reference as typed. 0 when the pass
    // was measured (bad data included); -1 when the reference was refused (message 27 or 24:
    // the focus goes back to the input, see FocusReference), the recheck was abandoned (devices
    // closed, both tables reset), or a request failed (message 15 or 16 through the check's
    // error report over USB, followed by the CAN check failure over CAN).
    int Measure(int pass, std::string_view referenceText);
    // "校正値計算": the factors of every unit into the channel table. 0: the dialog closes;
    // -1: message 23 (equal references) or the flat-line message, nothing stored.
    int Compute();

    std::string Title() const { return DialogTitle(precision_); }
    // The reference shown for a pass ("" before it was measured), Shift-JIS.
    const std::string& ReferenceText(int pass) const { return references_.at(pass == 2 ? 1 : 0); }
    // The field of channel `channel` (1-20) in a pass: the deviation reference - measured, or
    // "データ不良"; "" when the channel was not measured. Shift-JIS.
    const std::string& FieldText(int pass, int channel) const { return fields_.at(pass == 2 ? 1 : 0).at(channel - 1); }
    // "校正値計算" is enabled.
    bool ComputeEnabled() const { return model_.CanCompute(); }
    // The last refusal of the reference wants the focus back in "基準温度入力".
    bool FocusReference() const { return focusReference_; }
    const CalibrationModel& Model() const { return model_; }

private:
    // Step 5: each unit read once; false at the first failed request (reported already).
    bool ReadUnits(int pass);
    void ReportFailedRequest(int pass, int slot);

    MonitorData& data_;
    SensorTransport& transport_;
    SensorProcedures& procedures_;
    MessageFunction& messages_;
    uint8_t precision_;
    CalibrationModel model_;
    std::array<std::string, 2> references_;
    std::array<std::array<std::string, kChannelCount>, 2> fields_;
    bool focusReference_ = false;
};

}  // namespace ridaviri
