#include "ridaviri/ui/calibration_dialog.h"

#include <algorithm>

namespace ridaviri {

CalibrationDialogModel::CalibrationDialogModel(MonitorData& data, MessageFunction& messages, MeasurePass measurePass)
    : data_(data),
      messages_(messages),
      measurePass_(std::move(measurePass)),
      precision_(data.channels[0].precisionModel),
      work_(precision_) {}

bool CalibrationDialogModel::Measure() {
    double reference = 0;
    const int check = CheckReferenceText(referenceText, precision_, &reference);
    if (check != 0) {
        messages_(check);
        return false;
    }
    const int p = pass == 2 ? 2 : 1;
    references_[p - 1] = FormatReference(reference, precision_);
    std::array<std::string, kChannelCount> fields = fields_[p - 1];
    if (measurePass_) measurePass_(work_, p, reference, &fields);
    fields_[p - 1] = fields;
    return true;
}

int CalibrationDialogModel::Compute() {
    if (!work_.CanCompute()) return -1;
    return work_.Compute(std::clamp(data_.deviceCount.load(), 0, kChannelCount), data_.channels, messages_);
}

}  // namespace ridaviri
