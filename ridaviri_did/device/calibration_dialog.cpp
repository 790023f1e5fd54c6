#include "ridaviri/calibration_dialog.h"

#include <algorithm>

namespace ridaviri {

CalibrationDialogModel::CalibrationDialogModel(MonitorData& data, SensorTransport& transport,
                                               SensorProcedures& procedures, MessageFunction& messages)
    : data_(data),
      transport_(transport),
      procedures_(procedures),
      messages_(messages),
      precision_(data.channels[0].precisionModel),
      model_(precision_) {}

int CalibrationDialogModel::Measure(int pass, std::string_view referenceText) {
    pass = pass == 2 ? 2 : 1;
    focusReference_ = false;
    double reference = 0.0;
    if (const int refused = CheckReferenceText(referenceText, precision_, &reference)) {
        messages_(refused);
        focusReference_ = true;
        return -1;
    }
    if (procedures_.RecheckConnection() == -1) {
        transport_.CloseDevices();
        ResetTable(data_.channels);
        ResetTable(data_.found);
        return -1;
    }
    references_[pass - 1] = FormatReference(reference, precision_);
    fields_[pass - 1].fill(std::string());
    model_.BeginPass(pass, reference);
    if (!ReadUnits(pass)) return -1;
    model_.EndPass(data_);
    transport_.CloseDevices();
    return 0;
}

bool CalibrationDialogModel::ReadUnits(int pass) {
    const int count = std::clamp(data_.deviceCount.load(), 0, kChannelCount);
    for (int c = 0; c < count; ++c) {
        const uint8_t channel = data_.channels[c].channelNumber;
        SensorReply reply;
        if (transport_.TransactChannel(c, MakeReadMeasurement(), &reply) != 0) {
            ReportFailedRequest(pass, c);
            return false;
        }
        const std::string field = model_.RecordUnit(c, channel, reply.MeasuredValue(), data_);
        if (channel >= 1 && channel <= kChannelCount) fields_[pass - 1][channel - 1] = field;
    }
    return true;
}

void CalibrationDialogModel::ReportFailedRequest(int pass, int slot) {
    model_.FailPass();
    transport_.CloseDevices();
    const int number = pass == 1 ? 15 : 16;
    if (data_.interfaceKind == kInterfaceUsb) {
        procedures_.CheckErrorReport(number, slot);
    } else {
        messages_(number);
        procedures_.CanCheckFailure();
    }
}

int CalibrationDialogModel::Compute() {
    return model_.Compute(data_.deviceCount, data_.channels, messages_);
}

}  // namespace ridaviri
