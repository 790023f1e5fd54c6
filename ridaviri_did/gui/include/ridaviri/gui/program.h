// One run of the window program: the program-wide data, the transports, the message function
// handed over to the window's thread, and the main window. The real program and the window
// tests build the same object; tests pass their own CAN library, clock and seams.
#pragma once

#include <QObject>

#include <filesystem>
#include <functional>
#include <memory>

#include "ridaviri/configuration.h"
#include "ridaviri/gui/main_frame.h"
#include "ridaviri/gui/post_box.h"
#include "ridaviri/transport_seams.h"
#include "ridaviri/ui/window_call.h"
#include "ridaviri/wrap_dev.h"

namespace ridaviri::gui {

class MonitorProgram {
public:
    struct Seams {
        MonitorSeams windows;
        // Shows a numbered message on the window's thread; the monitor's message box when empty.
        HandedOverMessages::Presenter present;
    };

    MonitorProgram(CanLibrary& can, TransportTicks& ticks, MeasurementClock& clock,
                   std::filesystem::path programFolder, Seams seams);
    // Frees every thread still waiting for the window, then closes the window and stops a
    // running measurement.
    ~MonitorProgram();
    MonitorProgram(const MonitorProgram&) = delete;
    MonitorProgram& operator=(const MonitorProgram&) = delete;

    CMainFrame& frame() { return *frame_; }
    MonitorData& data() { return data_; }
    MessageFunction& messages() { return messages_; }
    SensorTransport& transport() { return transport_; }
    WindowThreadCall& windowCall() { return call_; }

private:
    QObject dispatcher_;  // where tasks for the window's thread arrive
    PostBox posts_;
    WindowThreadCall call_;
    HandedOverMessages messages_;
    MonitorData data_;
    SensorTransport transport_;
    PlatformProfileWriter writer_;
    std::unique_ptr<CMainFrame> frame_;
};

// The whole window program: one copy per machine, the prefix's default machine, the window,
// the event loop. Returns the exit code.
int RunWindowProgram(int& argc, char** argv);

}  // namespace ridaviri::gui
