// A measurement: the measurement thread polls every channel once per interval, converts and
// calibrates the values and stores one sample; the pacing thread resumes it by wall-clock
// time; the display thread hands each new sample to the views. Start, stop and abort run on the user-interface thread (stop and abort also on the
// measurement thread when it ends a measurement itself).
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "ridaviri/measurement_clock.h"
#include "ridaviri/message_function.h"
#include "ridaviri/monitor_data.h"
#include "ridaviri/sensor_protocol.h"

namespace ridaviri {

using PollItems = std::array<PollItem, kChannelCount>;

// What a measurement needs of the rest of the program: the transports and the main window.
class MeasurementHooks {
public:
    virtual ~MeasurementHooks() = default;
    // One poll of all channels with the given time-out (ms): 0, or -1 with the per-channel
    // outcome in the items (kPollNoReply).
    virtual int PollChannels(PollItems& items, uint32_t timeoutMs) = 0;
    // USB start: recheck the connected units; -1 when the check was abandoned.
    virtual int RecheckConnection() { return 0; }
    // Close the USB handles (the CAN port stays open); 0 / -1.
    virtual int CloseDevices() { return 0; }
    // The save command with its file dialog (the yes answers of the save questions).
    virtual int SaveLog() { return 0; }
    // The normal close request of the main window.
    virtual void RequestMainWindowClose() {}
    // The display thread copied sample `index` into MonitorData::currentValues: refresh the
    // views. Called on the display thread.
    virtual void RefreshViews(std::size_t index) {}
    // The measurement thread has ended (after a stop that did not wait for its poll: once that
    // poll came back and the devices were closed). Called on the measurement thread.
    virtual void MeasurementEnded() {}
};

// One item per channel-table record: node, measurement kind, identity; SEND for the records
// whose measure switch is 1.
PollItems BuildPollItems(const ChannelTable& channels);

// Stores the outcome of a poll as sample [sample index] and advances the index: a silent
// channel gets 0, the others their converted value (bad-data mark set or cleared) corrected
// by the calibration of the first of the first `deviceCount` records with the same channel
// number. Records with channel number 0 are polled but not stored.
void StoreSample(MonitorData& data, const PollItems& items);

class Measurement {
public:
    Measurement(MonitorData& data, MeasurementHooks& hooks, MessageFunction& messages, MeasurementClock& clock);
    ~Measurement();  // stops a running measurement and joins its threads
    Measurement(const Measurement&) = delete;
    Measurement& operator=(const Measurement&) = delete;

    // Menu "計測開始". -1 when a USB recheck failed (tables reset, nothing started) or a
    // measurement is still running (also the tail of one stopped during its poll).
    int Start();
    // Menu "計測終了", and the measurement thread's own end: sets STOP_REQUEST and UNSAVED,
    // mode 0, lets the measurement thread end and closes the devices. Returns within about a
    // second whatever the transports do: a poll still in flight then ends on its own, and the
    // measurement thread closes the devices after it (Running() stays true until then, and the
    // transports stay the measurement thread's).
    void Stop();
    // Communication failed beyond repair (code 0 from the transports, 52 from closing). Bounded
    // like Stop; may be called on the measurement thread (from inside its poll) while the
    // window's thread stops the measurement.
    void Abort(int code);
    // Waits until the threads have ended (they end soon after STOP_REQUEST, the measurement
    // thread once its poll has come back).
    void Join();
    bool Running() const;

private:
    void MeasurementThread();
    void PacingThread();
    void DisplayThread();
    void Resume();
    // false when the thread is to end.
    bool Suspend(bool first);
    // Stop step 1: STOP_REQUEST and UNSAVED, mode 0 (with `onlyWhileMeasuring`, only in mode 1
    // or 2). True when this call ended a measurement in mode 1 or 2.
    bool RequestStop(bool onlyWhileMeasuring);
    // Stop step 2: resumes the measurement thread and waits for its end at most kStopWait.
    void LetMeasurementThreadEnd();
    // Closes the devices now, or, while the measurement thread still runs (its poll in
    // flight), lets that thread close them as it ends.
    void CloseDevicesAfterMeasurementThread();
    // Marks the channels that did not answer a poll; true when any measured one did not.
    bool MarkSilentChannels(const PollItems& items);
    void EndMeasurementThread();
    bool OnMeasurementThread() const;

    MonitorData& data_;
    MeasurementHooks& hooks_;
    MessageFunction& messages_;
    MeasurementClock& clock_;

    std::thread measurementThread_;
    std::thread pacingThread_;
    std::thread displayThread_;
    std::atomic<std::thread::id> measurementId_{};

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool resumePending_ = false;
    bool suspended_ = false;  // the measurement thread waits for a resume
    bool measurementEnded_ = true;
    bool closeOnEnd_ = false;  // a stop left closing the devices to the measurement thread
};

}  // namespace ridaviri
