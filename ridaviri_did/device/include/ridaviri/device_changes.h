// The system's device-change notifications for the monitor: a USB sensor unit or a channel of
// a CAN board arrives or goes away. They come on the machine's own thread; the program hands
// each one to its user-interface thread (`post`), which runs SensorProcedures::OnDeviceChange
// there, as the main frame's handler of the device-change message does.
#pragma once

#include <functional>
#include <vector>

#include "platform/device.h"

namespace ridaviri {

class DeviceChangeWatcher {
public:
    // Registers for the sensor units' interface class and both CAN board classes.
    explicit DeviceChangeWatcher(std::function<void()> post);
    // Unregisters; once it returns, `post` is not called any more.
    ~DeviceChangeWatcher();
    DeviceChangeWatcher(const DeviceChangeWatcher&) = delete;
    DeviceChangeWatcher& operator=(const DeviceChangeWatcher&) = delete;

    // false when the system took none of the registrations.
    bool Watching() const { return !registrations_.empty(); }

private:
    std::function<void()> post_;
    std::vector<HDEVNOTIFY> registrations_;
};

}  // namespace ridaviri
