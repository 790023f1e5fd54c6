// Windows for tests of the main view: each dialog answers as the test scripted it, every
// dialog opened is recorded, and requests to close or redraw are counted.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "ridaviri/calibration_dialog.h"
#include "ridaviri/ui/tq_view.h"

namespace ridaviri::testing {

class ScriptedWindows : public MonitorWindows {
public:
    // Radio button chosen in each opening dialog, in order; -1 presses "終了". With the list
    // used up the first dialog is confirmed as preselected and any later one ended.
    std::deque<int> openingChoices;
    std::vector<int> openingPreselections;
    std::function<bool(SettingsDialogModel&)> settings;
    std::function<bool(GraphScalingDialogModel&)> graphScaling;
    std::function<bool(ChannelSelectionModel&)> channelSelection;
    std::function<void(IdSettingDialogModel&)> idSetting;
    std::function<void(PowerFrequencyDialogModel&)> powerFrequency;
    std::function<void(CalibrationDialogModel&)> calibration;
    std::function<void(ManufacturingNumberModel&)> manufacturingNumber;
    std::optional<std::filesystem::path> saveFile, openFile;
    std::filesystem::path lastFolder;

    bool RunOpeningDialog(int* choice) override {
        Record("opening");
        openingPreselections.push_back(*choice);
        if (openingChoices.empty()) return openingPreselections.size() == 1;
        const int next = openingChoices.front();
        openingChoices.pop_front();
        if (next < 0) return false;
        *choice = next;
        return true;
    }
    bool RunSettingsDialog(SettingsDialogModel& m) override { return Record("settings"), settings && settings(m); }
    bool RunGraphScalingDialog(GraphScalingDialogModel& m) override {
        return Record("graphScaling"), graphScaling && graphScaling(m);
    }
    bool RunChannelSelectionDialog(ChannelSelectionModel& m) override {
        return Record("channelSelection"), channelSelection && channelSelection(m);
    }
    void RunIdSettingDialog(IdSettingDialogModel& m) override {
        Record("idSetting");
        if (idSetting) idSetting(m);
        m.Close();
    }
    void RunPowerFrequencyDialog(PowerFrequencyDialogModel& m) override {
        Record("powerFrequency");
        if (powerFrequency) powerFrequency(m);
    }
    void RunCalibrationDialog(CalibrationDialogModel& m) override {
        Record("calibration");
        if (calibration) calibration(m);
    }
    void RunManufacturingNumberWindow(ManufacturingNumberModel& m) override {
        Record("manufacturingNumber");
        if (manufacturingNumber) manufacturingNumber(m);
    }
    void RunVersionBox() override { Record("version"); }
    void ShowAllChannelGraph() override { Record("allChannelGraph"); }
    void ShowMeasurementList() override { Record("measurementList"); }
    std::optional<std::filesystem::path> AskSaveFile(const std::filesystem::path& folder) override {
        Record("save");
        lastFolder = folder;
        return saveFile;
    }
    std::optional<std::filesystem::path> AskOpenFile(const std::filesystem::path& folder) override {
        Record("open");
        lastFolder = folder;
        return openFile;
    }
    void SetWaitCursor(bool) override {}
    void ShowText(const std::string& text, MessageBoxKind) override { Record("text:" + text); }
    void ShowHelpIndex() override { Record("help"); }
    void RequestClose() override { ++closeRequests; }
    void RequestRedraw() override { ++redraws; }

    std::vector<std::string> Shown() const {
        std::lock_guard lock(mutex_);
        return shown_;
    }

    std::atomic<int> closeRequests{0};
    std::atomic<int> redraws{0};

private:
    void Record(const std::string& what) {
        std::lock_guard lock(mutex_);
        shown_.push_back(what);
    }
    mutable std::mutex mutex_;
    std::vector<std::string> shown_;
};

}  // namespace ridaviri::testing
