#include "ridaviri/ui/device_dialogs.h"

#include <algorithm>
#include <cstdlib>

#include "ridaviri/sensor_protocol.h"

namespace ridaviri {

int OpeningDialogModel::Preselection(const MonitorData& data) {
    if (data.stateWord.Test(state::INI_INCOMPLETE)) return kInterfaceCan;
    const uint8_t kind = data.interfaceKind;
    return kind == kInterfaceUsb || kind == kInterfaceViewer ? int(kind) : int(kInterfaceCan);
}

bool OpeningDialogModel::Choose(MonitorData& data, int choice) {
    if (choice == kInterfaceCan || choice == kInterfaceUsb) {
        data.interfaceKind = static_cast<uint8_t>(choice);
        return true;
    }
    data.interfaceKind = kInterfaceViewer;
    return false;
}

void IdSettingDialogModel::Open() {
    procedures_.BeginIdSetting();
    readDone_ = false;
}

int IdSettingDialogModel::Read() {
    IdReadout readout;
    if (procedures_.IdRead(&readout) != 0) return -1;
    manufacturingNumber = readout.manufacturingNumber;
    idText = readout.idText;
    readDone_ = true;
    return 0;
}

int IdSettingDialogModel::Set(const std::string& text) {
    idText = text;
    return procedures_.IdSet(text);
}

void IdSettingDialogModel::Disconnect() {
    idText.clear();
    readDone_ = false;
    procedures_.IdClear();
}

void IdSettingDialogModel::Close() { procedures_.IdDialogClose(); }

int PowerFrequencyDialogModel::Open() {
    checked = procedures_.PowerFrequencyRead();
    if (checked != kPowerFrequency50Hz && checked != kPowerFrequency60Hz) checked = -1;
    return checked;
}

int PowerFrequencyDialogModel::Send(int code) {
    checked = code;
    return procedures_.PowerFrequencySend(code);
}

bool ManufacturingNumberModel::MayOpen() {
    const int count = std::clamp(data_.deviceCount.load(), 0, kChannelCount);
    int message = 0;
    if (count == 0) message = 1;
    for (int i = 0; i < count && message == 0; ++i) {
        if (data_.channels[i].idNumber == 0) message = 5;
    }
    for (int i = 0; i < count && message == 0; ++i) {
        if (data_.channels[i].identity.typeLetter == 0) message = 13;
    }
    if (message == 0) return true;
    messages_(message);
    return false;
}

std::vector<std::string> ManufacturingNumberModel::Entries() const {
    std::vector<std::string> entries;
    for (int n = 1; n <= kChannelCount; ++n) {
        const bool held = std::any_of(data_.channels.begin(), data_.channels.end(),
                                      [n](const ChannelRecord& r) { return r.channelNumber == n; });
        if (held) entries.push_back(std::to_string(n));
    }
    return entries;
}

bool ManufacturingNumberModel::Show(int index, std::string* text) {
    const std::vector<std::string> entries = Entries();
    if (index < 0 || index >= static_cast<int>(entries.size())) {
        messages_(11);
        return false;
    }
    const int n = std::atoi(entries[index].c_str());
    const int count = std::clamp(data_.deviceCount.load(), 0, kChannelCount);
    text->clear();
    for (int i = 0; i < count; ++i) {
        if (data_.channels[i].channelNumber == n) {
            *text = ManufacturingNumberText(data_.channels[i].identity);
            break;
        }
    }
    return true;
}

}  // namespace ridaviri
