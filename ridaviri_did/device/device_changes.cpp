#include "ridaviri/device_changes.h"

namespace ridaviri {
namespace {

// {12D64ED7-D299-435E-BB62-F451679E4E9B}: the sensor units (the sensor driver's interface).
constexpr GUID kSensorUnits = {0x12D64ED7, 0xD299, 0x435E, {0xBB, 0x62, 0xF4, 0x51, 0x67, 0x9E, 0x4E, 0x9B}};
// {00E7BCF1-CEC6-4D73-A298-C14FE07FDB65} and {FA04D38A-AA07-4F1A-8C44-6889023AC25C}: the CAN
// board's channels (board type 2, and every other type).
constexpr GUID kCanBoardType2 = {0x00E7BCF1, 0xCEC6, 0x4D73, {0xA2, 0x98, 0xC1, 0x4F, 0xE0, 0x7F, 0xDB, 0x65}};
constexpr GUID kCanBoards = {0xFA04D38A, 0xAA07, 0x4F1A, {0x8C, 0x44, 0x68, 0x89, 0x02, 0x3A, 0xC2, 0x5C}};

}  // namespace

DeviceChangeWatcher::DeviceChangeWatcher(std::function<void()> post) : post_(std::move(post)) {
    for (const GUID* watched : {&kSensorUnits, &kCanBoardType2, &kCanBoards}) {
        HDEVNOTIFY h = RegisterDeviceNotificationCallback(watched, [this](DWORD event, const GUID&, const std::string&) {
            if (event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE) post_();
        });
        if (h) registrations_.push_back(h);
    }
}

DeviceChangeWatcher::~DeviceChangeWatcher() {
    for (HDEVNOTIFY h : registrations_) UnregisterDeviceNotification(h);
}

}  // namespace ridaviri
