#include "ridaviri/calibration.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/sjis.h"

namespace ridaviri {
namespace {

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

double ApplyCalibration(double measured, const ChannelRecord& record) {
    if (record.calibrationSwitch != 1 || record.factorA == 0.0f || !std::isfinite(record.factorA) ||
        !std::isfinite(record.factorB))
        return measured;
    return (measured - record.factorB) / record.factorA;
}

int CheckReferenceText(std::string_view text, uint8_t precisionModel, double* value) {
    const std::string s(text);
    const double v = std::atof(s.c_str());
    if (v == 0.0 && s != "0") return 27;
    const std::size_t maxLength = precisionModel == 0 ? 6 : 7;
    const std::size_t maxDecimals = precisionModel == 0 ? 2 : 3;
    const std::size_t point = s.find('.');
    const std::size_t decimals = point == std::string::npos ? 0 : s.size() - point - 1;
    if (v < kReferenceMin || v > kReferenceMax || s.size() > maxLength || decimals > maxDecimals) return 24;
    *value = v;
    return 0;
}

std::string FormatReference(double celsius, uint8_t precisionModel) {
    return Format(precisionModel == 0 ? "%3.2f" : "%3.3f", celsius);
}

std::string FormatTemperature(double celsius, uint8_t precisionModel) {
    return FormatReference(celsius, precisionModel);
}

std::string FormatDeviation(double celsius, uint8_t precisionModel) {
    std::string text = Format(precisionModel == 0 ? "%.2f" : "%.3f", celsius);
    if (text == "-0.00" || text == "-0.000") text.erase(0, 1);
    return text;
}

std::string DialogTitle(uint8_t precisionModel) {
    return platform::sjis::S(precisionModel == 0 ? "校正機能（標準型）" : "校正機能（高精度型）");
}

void CalibrationModel::BeginPass(int pass, double reference) {
    pass_ = pass == 2 ? 2 : 1;
    (pass_ == 1 ? reference1_ : reference2_) = reference;
    passBits_ &= ~pass_;
}

std::string CalibrationModel::RecordUnit(int unit, uint8_t channelNumber, uint32_t raw, MonitorData& data) {
    CalibrationWork& w = work_.at(unit);
    const double reference = pass_ == 1 ? reference1_ : reference2_;
    w.channelNumber = channelNumber;
    (pass_ == 1 ? w.reference1 : w.reference2) = static_cast<float>(reference);
    const ConvertedValue v = ConvertRawValue(raw);
    if (channelNumber >= 1 && channelNumber <= kChannelCount) data.badDataMarks[channelNumber - 1] = v.badData ? 1 : 0;
    (pass_ == 1 ? w.measured1 : w.measured2) = static_cast<float>(v.celsius);
    if (v.badData) return platform::sjis::S("データ不良");
    return FormatDeviation(reference - v.celsius, precision_);
}

void CalibrationModel::EndPass(MonitorData& data) {
    passBits_ |= pass_;
    for (const auto& mark : data.badDataMarks) {
        if (mark != 0) passBits_ &= ~pass_;
    }
}

void CalibrationModel::FailPass() { passBits_ &= ~pass_; }

int CalibrationModel::Compute(int count, ChannelTable& channels, MessageFunction& messages) {
    const float r1 = static_cast<float>(reference1_);
    const float r2 = static_cast<float>(reference2_);
    if (r1 == r2) {
        messages(23);
        return -1;
    }
    if (count < 0) count = 0;
    if (count > kChannelCount) count = kChannelCount;
    std::array<CalibrationWork, kChannelCount> result = work_;
    for (int c = 0; c < count; ++c) {
        CalibrationWork& w = result[c];
        const double a = (double(w.measured2) - double(w.measured1)) / (double(r2) - double(r1));
        w.factorA = static_cast<float>(a);
        w.factorB = static_cast<float>(double(w.measured1) - a * double(r1));
        if (w.factorA == 0.0f || !std::isfinite(w.factorA) || !std::isfinite(w.factorB)) {
            messages(kMessageCalibrationFlat);
            return -1;
        }
    }
    for (int c = 0; c < count; ++c) {
        work_[c] = result[c];
        for (ChannelRecord& r : channels) {
            if (result[c].channelNumber != 0 && r.channelNumber == result[c].channelNumber) {
                r.factorA = result[c].factorA;
                r.factorB = result[c].factorB;
                break;
            }
        }
    }
    return 0;
}

}  // namespace ridaviri
