// The sensor check, the recheck and device changes, ID setting and the power frequency.
#include "ridaviri/sensor_check.h"

#include <algorithm>
#include <cstring>

#include "platform/device.h"
#include "platform/sjis.h"
#include "platform/sync.h"
#include "ridaviri/channel_tables.h"
#include "ridaviri/measurement_log.h"

namespace ridaviri {
namespace {

// Pause before an ID read, and after an ID set or a power-frequency send, ms.
constexpr uint32_t kIdReadPauseMs = 1000;
constexpr uint32_t kSettleMs = 2000;
// Clear flags of the power-frequency requests: transmit and receive queues.
constexpr uint32_t kClearPowerFrequency = 48;
// The power-frequency dialog's waits: attempts and the pause after each, ms.
constexpr int kPowerFrequencyAttempts = 100;
constexpr uint32_t kPowerFrequencyPauseMs = 50;
constexpr int kShortPolls = 10;
constexpr uint32_t kShortPollPauseMs = 50;

HANDLE AsHandle(DeviceHandle h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

SensorProcedures::SensorProcedures(MonitorData& data, SensorTransport& transport, MessageFunction& messages, CheckUi& ui)
    : data_(data), transport_(transport), messages_(messages), ui_(ui) {}

void SensorProcedures::ShowText(const char* utf8, MessageBoxKind kind) { ui_.ShowText(platform::sjis::S(utf8), kind); }

int SensorProcedures::LeadingFoundUnits() const {
    const bool usb = data_.interfaceKind == kInterfaceUsb;
    int n = 0;
    while (n < kChannelCount &&
           (usb ? data_.found[n].usbHandle != kInvalidDeviceHandle : data_.found[n].canNode != 0))
        ++n;
    return n;
}

void SensorProcedures::DropFoundUnit(int slot) {
    const int step = transport_.IdStep();
    transport_.SetIdStep(0);
    transport_.CloseFoundSlot(slot);  // also resets the record
    transport_.SetIdStep(step);
    ResetRecord(data_.found[slot]);
    for (int i = slot; i + 1 < kChannelCount; ++i) data_.found[i] = data_.found[i + 1];
    ResetRecord(data_.found[kChannelCount - 1]);
    data_.deviceCount = std::max(0, data_.deviceCount.load() - 1);
}

// ------------------------------------------------------------------------------ the check

int SensorProcedures::SensorCheck() {
    idLessMark_ = false;
    data_.checkTime = platform::sync::GetLocalTime();
    ResetTable(data_.found);
    data_.deviceCount = 0;
    int result = -1;
    switch (data_.interfaceKind.load()) {
    case kInterfaceCan: result = CanCheck(); break;
    case kInterfaceUsb: result = UsbCheck(); break;
    default: return -1;
    }
    if (result != 0) return -1;
    if (Validate() != 0) return -1;
    if (!data_.stateWord.Test(state::USER_CHECK) && !data_.stateWord.Test(state::AUTO_CHECK))
        ReconcileAtStartup(data_, messages_, idLessMark_);
    return 0;
}

int SensorProcedures::CanCheck() {
    if (transport_.CanOpenSensors() == kCanOpenFailed && transport_.CanPort() == 0) {
        // No port (no board, or the port in use): nothing to ask and nothing to close; the
        // user chooses another interface.
        ResetTable(data_.found);
        data_.deviceCount = 0;
        ui_.ShowOpeningDialog();
        return -1;
    }
    data_.deviceCount = LeadingFoundUnits();
    const int count = data_.deviceCount;
    const platform::sync::LocalTime& t = data_.checkTime;
    const SensorCommand steps[] = {MakeSetClock(t.hour, t.minute, t.second), MakeClockFollowUp(),
                                   MakeReadInfo(kInfoIdentity), MakeReadInfo(kInfoIdNumber), MakeReadInfo(kInfoInputMode)};
    for (const SensorCommand& command : steps) {
        for (int i = 0; i < count; ++i) {
            SensorReply reply;
            if (transport_.CanTransactFound(i, command, &reply) != 0) {
                messages_(48);
                CanCheckFailure();
                return -1;
            }
            if (command.code != kCmdReadInfo) continue;
            ChannelRecord& r = data_.found[i];
            switch (command.word1) {
            case kInfoIdentity:
                if (reply.Identity().typeLetter == 0) {
                    messages_(4);
                    CanCheckFailure();
                    return -1;
                }
                r.identity = reply.Identity();
                break;
            case kInfoIdNumber: r.idNumber = reply.IdNumber(); break;
            default: r.inputMode = reply.InputMode(); break;
            }
        }
    }
    return 0;
}

int SensorProcedures::UsbCheck() {
    const int found = transport_.UsbFindDevices();
    if (found == 1) {
        CheckErrorReport(1, 0);
        return -1;
    }
    if (found == 2) {
        data_.deviceCount = LeadingFoundUnits();
        CheckErrorReport(3, 0);
        return -1;
    }
    data_.deviceCount = LeadingFoundUnits();
    const platform::sync::LocalTime& t = data_.checkTime;
    const SensorCommand steps[] = {MakeSetClock(t.hour, t.minute, t.second), MakeReadInfo(kInfoIdentity),
                                   MakeReadInfo(kInfoIdNumber), MakeReadInfo(kInfoInputMode)};
    for (const SensorCommand& command : steps) {
        for (int i = 0; i < data_.deviceCount;) {
            SensorReply reply;
            if (transport_.UsbTransactFound(i, command, &reply) != 0) {
                // The unit is taken out of the check once; the next one moves into its slot.
                if (!CheckErrorReport(48, i)) return -1;
                continue;
            }
            ChannelRecord& r = data_.found[i];
            if (command.code == kCmdReadInfo) {
                switch (command.word1) {
                case kInfoIdentity:
                    if (reply.Identity().typeLetter == 0) {
                        CheckErrorReport(4, i);
                        return -1;
                    }
                    r.identity = reply.Identity();
                    break;
                case kInfoIdNumber: r.idNumber = reply.IdNumber(); break;
                default: r.inputMode = reply.InputMode(); break;
                }
            }
            ++i;
        }
    }
    return 0;
}

int SensorProcedures::Validate() {
    const int count = std::clamp(data_.deviceCount.load(), 0, kChannelCount);
    for (int i = 0; i < count; ++i) {
        for (int j = i + 1; j < count; ++j) {
            if (data_.found[i].idNumber != 0 && data_.found[i].idNumber == data_.found[j].idNumber) {
                CheckErrorReport(6, i);
                return -1;
            }
        }
    }
    if (count == 0) {
        CheckErrorReport(1, 0);
        return -1;
    }
    int withoutId = 0;
    for (int i = 0; i < count; ++i) withoutId += data_.found[i].idNumber == 0;
    if (withoutId == count) {
        if (count > 1) {
            CheckErrorReport(5, 0);
            return -1;
        }
        if (data_.stateWord.Test(state::AUTO_CHECK)) {
            CheckErrorReport(-1, 0);
            ResetTable(data_.channels);
            ResetTable(data_.found);
            data_.deviceCount = 0;
            return -1;
        }
        if (messages_(106) == kAnswerYes) {
            transport_.CloseFoundSlot(0);
            if (data_.stateWord.Test(state::USER_CHECK)) data_.stateWord.Set(state::ID_SET_FROM_CHECK);
            ui_.RunIdSettingDialog();
        } else {
            CheckErrorReport(-1, 0);
            if (data_.stateWord.Test(state::USER_CHECK)) {
                ResetTable(data_.channels);
                ResetTable(data_.found);
                data_.deviceCount = 0;
            }
        }
        return -1;
    }
    if (withoutId > 0) {
        if (data_.stateWord.Test(state::USER_CHECK) || data_.stateWord.Test(state::STARTUP_CHECK)) {
            messages_(65);
            idLessMark_ = true;
        }
        for (int i = 0; i < data_.deviceCount;) {
            if (data_.found[i].idNumber == 0) DropFoundUnit(i);
            else ++i;
        }
    }
    return 0;
}

bool SensorProcedures::CheckErrorReport(int number, int slot) {
    const StateWord& s = data_.stateWord;
    const bool user = s.Test(state::USER_CHECK);
    const bool automatic = !user && s.Test(state::AUTO_CHECK);
    if (number == 48 && !automatic) {
        DropFoundUnit(slot);
        if (!data_.message48Shown) messages_(48);
        data_.message48Shown = true;
        return true;
    }
    if (automatic) {
        transport_.CloseDevices();
        return false;
    }
    messages_(number);  // -1 shows nothing
    transport_.CloseDevices();
    if (user) data_.stateWord.Set(state::CHECK_NEEDED);
    else if (s.Test(state::STARTUP_CHECK)) ui_.ShowOpeningDialog();
    return false;
}

void SensorProcedures::CanCheckFailure() {
    if (data_.deviceCount != 0 && transport_.CanPort() != 0 && transport_.CanCloseSensors() != 0) {
        messages_(52);
        transport_.Abort(52);
        return;
    }
    ui_.ShowOpeningDialog();
}

// ------------------------------------------------------------------------------ recheck

int SensorProcedures::RecheckConnection() {
    StateWord& s = data_.stateWord;
    if (!s.Test(state::USER_CHECK)) s.Set(state::AUTO_CHECK);
    s.Clear(state::CONFIG_CHANGED);
    ui_.SetWaitCursor(true);
    const int checked = SensorCheck();
    if (s.Test(state::ID_SET_FROM_CHECK)) {
        s.Clear(state::ID_SET_FROM_CHECK | state::CONFIG_CHANGED | state::AUTO_CHECK);
        ui_.SetWaitCursor(false);
        return 0;
    }
    if (checked != 0) {
        // Nothing was found to take over: the channel table stays as it was.
        s.Clear(state::AUTO_CHECK);
        ui_.SetWaitCursor(false);
        return -1;
    }
    MergeFoundDevices(data_);
    if (s.Test(state::CONFIG_CHANGED) && s.Test(state::USER_CHECK)) {
        messages_(73);
        s.Clear(state::CONFIG_CHANGED);
    } else if (s.Test(state::CONFIG_CHANGED) && s.Test(state::AUTO_CHECK)) {
        messages_(68);
        s.Clear(state::CONFIG_CHANGED);
        s.Set(state::CHECK_NEEDED);
    }
    ui_.SetWaitCursor(false);
    s.Clear(state::AUTO_CHECK);
    return 0;
}

void SensorProcedures::MenuSensorCheck() {
    StateWord& s = data_.stateWord;
    if (s.Test(state::UNSAVED)) {
        AskToSaveUnsaved(data_, messages_, [this] { return ui_.SaveLog(); });
        data_.samples.Clear();
    }
    if (s.Mode() == state::kModeFileShown) {
        ResetTable(data_.channels);
        ResetTable(data_.found);
        data_.channels = data_.channelBackup;
    }
    if (s.Test(state::CHECK_NEEDED)) {
        data_.channels = data_.channelBackup;
        s.Clear(state::CHECK_NEEDED);
    }
    s.Set(state::USER_CHECK);
    RecheckConnection();
    s.Clear(state::USER_CHECK);
    transport_.CloseDevices();
    s.SetMode(state::kModeIdle);
    for (ChannelRecord& r : data_.channels) {
        if (r.IsEmpty()) ResetRecord(r);
    }
}

void SensorProcedures::OnDeviceChange() {
    const StateWord& s = data_.stateWord;
    if (s.Mode() != state::kModeIdle) return;
    for (uint32_t bit : {state::DEVICES_OPEN, state::AUTO_CHECK, state::STARTUP_CHECK, state::USER_CHECK,
                         state::CHECK_NEEDED}) {
        if (s.Test(bit)) return;
    }
    std::copy(data_.channels.begin(), data_.channels.begin() + 10, data_.channelBackup.begin());
    const int checked = RecheckConnection();
    transport_.CloseDevices();
    if (checked == -1) {
        ResetTable(data_.channels);
        ResetTable(data_.found);
        data_.deviceCount = 0;
    }
    data_.stateWord.SetMode(state::kModeIdle);
}

// ------------------------------------------------------------------------------ ID setting

void SensorProcedures::BeginIdSetting() { data_.stateWord.SetMode(state::kModeIdSetting); }

int SensorProcedures::IdRead(IdReadout* readout) {
    transport_.Ticks().Sleep(kIdReadPauseMs);
    idReadNode_ = 0;
    const bool can = data_.interfaceKind == kInterfaceCan;
    auto fail = [&](int number) {
        messages_(number);
        if (can) CanCheckFailure();
        else transport_.CloseDevices();
        return -1;
    };
    if (can) {
        if (transport_.CanPort() != 0) transport_.CanCloseSensors();
        ResetTable(data_.found);
        transport_.CanOpenSensors();
    } else if (transport_.UsbFindDevices() == 1) {
        messages_(1);
        transport_.CloseDevices();
        return -1;
    }
    data_.deviceCount = LeadingFoundUnits();
    if (data_.deviceCount > 1) return fail(45);
    SensorReply reply;
    if (transport_.TransactFound(0, MakeReadInfo(kInfoIdentity), &reply) != 0) return fail(48);
    if (reply.Identity().typeLetter == 0) return fail(4);
    data_.found[0].identity = reply.Identity();
    if (transport_.TransactFound(0, MakeReadInfo(kInfoIdNumber), &reply) != 0) return fail(48);
    data_.found[0].idNumber = reply.IdNumber();
    if (readout) {
        readout->manufacturingNumber = ManufacturingNumberText(data_.found[0].identity);
        readout->idText =
            data_.found[0].idNumber == 0 ? platform::sjis::S(kIdNotSet) : std::to_string(data_.found[0].idNumber);
    }
    idReadNode_ = data_.found[0].canNode;
    transport_.SetIdStep(kIdStepClosing);
    if (!can) transport_.CloseFoundSlot(0);
    data_.deviceCount = 0;
    data_.stateWord.Clear(state::DEVICES_OPEN);
    transport_.SetIdStep(2);
    return 0;
}

int SensorProcedures::IdSet(const std::string& idText) {
    // An integer 1-65535, nothing else in the field.
    uint32_t id = 0;
    bool valid = !idText.empty() && idText.size() <= 5;
    for (char c : idText) valid = valid && c >= '0' && c <= '9';
    if (valid) id = static_cast<uint32_t>(std::stoul(idText));
    if (!valid || id < 1 || id > 65535) {
        messages_(20);
        return -1;
    }
    RecordIdAssignment(data_, data_.found[0].identity, static_cast<uint16_t>(id), messages_);
    const SensorCommand request = MakeSetIdNumber(static_cast<uint16_t>(id));
    if (data_.interfaceKind == kInterfaceCan) {
        const uint32_t node = idReadNode_;
        transport_.CanOpenSensors();
        data_.deviceCount = LeadingFoundUnits();
        // The request goes to the node that was read, and to no other; its confirmation
        // (reply byte 2 = 2) is what tells success.
        SensorReply reply;
        if (node == 0 || transport_.CanTransactNode(node, kDefaultIntervalMs, request, &reply, true) != 0) {
            messages_(14);
            transport_.SetIdStep(0);
            return -1;
        }
        transport_.Ticks().Sleep(kSettleMs);
        messages_(80);
        transport_.SetIdStep(2);
        return 0;
    }
    const SensorIdentity kept = data_.found[0].identity;
    if (transport_.UsbFindDevices() == 1) {
        messages_(1);
        return -1;
    }
    data_.deviceCount = LeadingFoundUnits();
    auto fail = [&](int number) {
        messages_(number);
        transport_.CloseDevices();
        transport_.SetIdStep(0);
        return -1;
    };
    if (data_.deviceCount > 1) return fail(45);
    SensorReply reply;
    if (transport_.UsbTransactFound(0, MakeReadInfo(kInfoIdentity), &reply) != 0) return fail(48);
    if (reply.Identity().typeLetter == 0) return fail(12);
    if (!(reply.Identity() == kept)) {
        transport_.CloseFoundSlot(0);
        data_.deviceCount = 0;
        data_.stateWord.Clear(state::DEVICES_OPEN);
        messages_(10);
        return -1;
    }
    if (transport_.UsbTransactFound(0, request, &reply) != 0) return fail(14);
    transport_.SetIdStep(kIdStepClosing);
    transport_.CloseFoundSlot(0);
    data_.stateWord.Clear(state::DEVICES_OPEN);
    transport_.Ticks().Sleep(kSettleMs);
    messages_(80);
    transport_.SetIdStep(2);
    return 0;
}

void SensorProcedures::IdClear() { transport_.SetIdStep(0); }

void SensorProcedures::IdDialogClose() {
    if (data_.stateWord.Test(state::STARTUP_CHECK)) SensorCheck();
    else RecheckConnection();
    transport_.CloseDevices();
    data_.stateWord.SetMode(state::kModeIdle);
}

// ------------------------------------------------------------------------------ power frequency

bool SensorProcedures::CanPowerFrequencyRead(std::vector<int>* answers) {
    CanLibrary& can = transport_.Can();
    const CanHandle port = transport_.CanPort();
    int nodes = 0;
    while (nodes < kChannelCount && data_.channels[nodes].canNode != 0) ++nodes;
    if (nodes == 0 || port == 0) return false;
    const WireBytes request = EncodeCommand(MakeReadInfo(kInfoPowerFrequency));
    for (int i = 0; i < nodes; ++i) {
        const uint32_t node = data_.channels[i].canNode;
        CanStatus status{};
        if (can.ClearBuffer(port, kClearPowerFrequency) != kCanOk || can.GetStatus(port, &status) != kCanOk) return false;
        if (status.busState != kCanStateRunning && can.Activate(port) != kCanOk) return false;
        CanMessage message{};
        message.length = 8;
        message.identifier = CanRequestIdentifier(node, true);
        std::memcpy(message.data, request.data(), 8);
        if (can.SendMessage(port, &message, 1) != kCanOk) return false;
        bool answered = false;
        for (int attempt = 0; attempt < kPowerFrequencyAttempts && !answered; ++attempt) {
            uint32_t count = 1;
            const uint32_t got = can.ReceiveMessage(port, &message, &count);
            if (got != kCanOk && got != kCanErrNoData) return false;
            if (got == kCanOk && count == 1 && !IsCanRequest(message.identifier) &&
                CanNodeOfIdentifier(message.identifier) == node) {
                answers->push_back(message.data[3]);
                answered = true;
            }
            transport_.Ticks().Sleep(kPowerFrequencyPauseMs);
        }
        if (!answered) return false;
        if (answers->back() != kPowerFrequency50Hz && answers->back() != kPowerFrequency60Hz) return false;
    }
    return true;
}

bool SensorProcedures::UsbShortWrite(DeviceHandle handle, const WireBytes& bytes) {
    HANDLE h = AsHandle(handle);
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD n = 0;
    bool ok = WriteFile(h, bytes.data(), 8, &n, &ov);
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
        for (int poll = 0; poll < kShortPolls && !ok; ++poll) {
            ok = GetOverlappedResult(h, &ov, &n, FALSE);
            if (!ok && GetLastError() != ERROR_IO_INCOMPLETE) break;
            if (!ok) transport_.Ticks().Sleep(kShortPollPauseMs);
        }
        if (!HasOverlappedIoCompleted(&ov)) {
            CancelIo(h);
            GetOverlappedResult(h, &ov, &n, TRUE);
        }
    }
    CloseHandle(ov.hEvent);
    return ok && n == 8;
}

bool SensorProcedures::UsbShortRead(DeviceHandle handle, uint8_t* buffer40) {
    HANDLE h = AsHandle(handle);
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD n = 0;
    bool ok = ReadFile(h, buffer40, kUsbReadBytes, &n, &ov);
    if (!ok && (GetLastError() == ERROR_IO_PENDING || GetLastError() == ERROR_MORE_DATA)) {
        for (int poll = 0; poll < kShortPolls && !ok; ++poll) {
            ok = GetOverlappedResult(h, &ov, &n, FALSE);
            if (!ok && GetLastError() == ERROR_MORE_DATA && n == kUsbReadBytes) ok = true;
            if (!ok && GetLastError() != ERROR_IO_INCOMPLETE && GetLastError() != ERROR_MORE_DATA) break;
            if (!ok) transport_.Ticks().Sleep(kShortPollPauseMs);
        }
        if (!HasOverlappedIoCompleted(&ov)) {
            CancelIo(h);
            GetOverlappedResult(h, &ov, &n, TRUE);
        }
    }
    CloseHandle(ov.hEvent);
    return ok;
}

void SensorProcedures::CloseAllFound() {
    for (int i = 0; i < kChannelCount; ++i) transport_.CloseFoundSlot(i);
}

bool SensorProcedures::UsbPowerFrequencyRead(std::vector<int>* answers) {
    if (transport_.UsbFindDevices() != 0) {
        CloseAllFound();
        return false;
    }
    const WireBytes request = EncodeCommand(MakeReadInfo(kInfoPowerFrequency));
    bool ok = true;
    for (int i = 0; i < LeadingFoundUnits() && ok; ++i) {
        uint8_t reply[kUsbReadBytes] = {};
        ok = UsbShortWrite(data_.found[i].usbHandle, request) && UsbShortRead(data_.found[i].usbHandle, reply);
        if (ok) {
            answers->push_back(reply[3]);
            ok = reply[3] == kPowerFrequency50Hz || reply[3] == kPowerFrequency60Hz;
        }
    }
    CloseAllFound();
    data_.stateWord.Clear(state::DEVICES_OPEN);
    return ok;
}

int SensorProcedures::PowerFrequencyRead() {
    std::vector<int> answers;
    const bool ok = data_.interfaceKind == kInterfaceCan ? CanPowerFrequencyRead(&answers)
                                                         : UsbPowerFrequencyRead(&answers);
    if (!ok || answers.empty()) {
        ShowText(kPowerFrequencyReadFailed, MessageBoxKind::Warning);
        return -1;
    }
    const bool mixed = std::any_of(answers.begin(), answers.end(), [&](int a) { return a != answers.front(); });
    if (mixed) ShowText(kPowerFrequencyMixed, MessageBoxKind::Information);
    return answers.front();
}

int SensorProcedures::PowerFrequencySend(int code) {
    const WireBytes request = EncodeCommand(MakeSetPowerFrequency(static_cast<uint8_t>(code)));
    bool ok = false;
    if (data_.interfaceKind == kInterfaceCan) {
        CanLibrary& can = transport_.Can();
        const CanHandle port = transport_.CanPort();
        CanStatus status{};
        ok = port != 0 && can.ClearBuffer(port, kClearPowerFrequency) == kCanOk &&
             can.GetStatus(port, &status) == kCanOk &&
             (status.busState == kCanStateRunning || can.Activate(port) == kCanOk);
        if (ok) {
            CanMessage message{};
            message.length = 8;
            message.identifier = kCanBroadcast;
            std::memcpy(message.data, request.data(), 8);
            ok = can.SendMessage(port, &message, 1) == kCanOk;
        }
    } else if (data_.interfaceKind == kInterfaceUsb) {
        ok = transport_.UsbFindDevices() == 0;
        for (int i = 0; i < LeadingFoundUnits() && ok; ++i) ok = UsbShortWrite(data_.found[i].usbHandle, request);
        CloseAllFound();
        data_.stateWord.Clear(state::DEVICES_OPEN);
    }
    transport_.Ticks().Sleep(kSettleMs);
    if (!ok) {
        ShowText(kPowerFrequencySendFailed, MessageBoxKind::Warning);
        return -1;
    }
    return 0;
}

}  // namespace ridaviri
