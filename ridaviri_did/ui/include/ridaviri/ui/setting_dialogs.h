// The settings dialog "設定" and its sub-dialogs without widgets. While the dialog is open the
// found table holds the working copy of all 20 channel-table records; the sub-dialogs edit only
// that copy, and only "設定内容送信" moves it into the channel table. Every check shows its
// numbered message through the message function. Texts are Shift-JIS.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ridaviri/message_function.h"
#include "ridaviri/monitor_data.h"
#include "ridaviri/ui/graph_model.h"

namespace ridaviri {

// A column of a report-style list: its title (Shift-JIS) and width in pixels.
struct ListColumn {
    std::string title;
    int width = 0;
};

// The interval range a channel can be given, ms, and its step.
inline constexpr uint32_t kIntervalMinMs = 500;
inline constexpr uint32_t kIntervalMaxMs = 3600000;
inline constexpr uint32_t kIntervalStepMs = 100;

// "設定": the list of the working copy and the buttons that open the sub-dialogs.
class SettingsDialogModel {
public:
    using Row = std::array<std::string, 9>;

    // `blankGraph` sets the graph mode to blank (the main view's part of sending).
    SettingsDialogModel(MonitorData& data, MessageFunction& messages, std::function<void()> blankGraph = {});

    static std::vector<ListColumn> Columns();
    // One row per unit of the working copy that has an ID number and answered, by channel
    // number 1-20.
    std::vector<Row> Rows() const;

    // "計測精度型選択": 0 standard / 1 high precision as the working copy's first record has it;
    // OK gives every configured unit with an ID number that model.
    uint8_t PrecisionModel() const;
    void SetPrecisionModel(uint8_t model);

    // "計測チャンネル 番号選択" and "校正機能ON/OFF" open only without duplicated channel
    // numbers; otherwise message 19 and false.
    bool MayOpenChannelSelection();

    // "設定内容送信": 0 when the working copy went into the channel table (the dialog closes
    // with OK), -1 with message 19 while channel numbers are duplicated (it stays open).
    int Send();

    MonitorData& Data() { return data_; }
    MessageFunction& Messages() { return messages_; }

private:
    int Count() const;

    MonitorData& data_;
    MessageFunction& messages_;
    std::function<void()> blankGraph_;
};

// "チャンネル番号設定": picks a unit by ID number and gives it a channel number.
class ChannelNumberDialogModel {
public:
    ChannelNumberDialogModel(MonitorData& data, MessageFunction& messages) : data_(data), messages_(messages) {}

    // The non-zero ID numbers of the 20 records, "%d", sorted as text.
    std::vector<std::string> IdEntries() const;
    // "CH1" ... "CH20".
    static std::vector<std::string> ChannelEntries();

    // "設定" with the chosen entries (-1: none chosen): the first unit with that ID number gets
    // the channel number. Message 18 and -1 when an entry is missing; the dialog stays open.
    int Assign(int idEntry, int channelEntry);
    // "閉じる": CH_DUPLICATE is recomputed over the first device-count records.
    void Close();

private:
    MonitorData& data_;
    MessageFunction& messages_;
};

// Whether two of the first `count` records carry the same channel number 1-20.
bool HasDuplicateChannelNumbers(const ChannelTable& table, int count);

// "計測インターバル設定".
class IntervalDialogModel {
public:
    IntervalDialogModel(MonitorData& data, MessageFunction& messages) : data_(data), messages_(messages) {}

    // The interval of the first record whose interval is not 0.
    uint32_t Shown() const;
    // OK with the field's value: message 22 outside 500-3 600 000 ms, 21 off the 100 ms step,
    // and -1 (the dialog stays open); otherwise every configured record gets it and 0.
    int Apply(uint64_t intervalMs);

private:
    MonitorData& data_;
    MessageFunction& messages_;
};

// The four channel selections, one dialog with twenty boxes "CH1" ... "CH20".
enum class ChannelSelectionKind {
    MeasuredChannels,     // "計測チャンネル番号選択": measure switches of the working copy
    CalibrationSwitches,  // "校正機能設定チャンネル番号選択": calibration switches of the working copy
    GraphChannels,        // "グラフチャンネル番号選択": graph-display switches
    ListChannels,         // "計測データリスト表示チャンネル番号選択": list-display switches
};

// What the last list channel selection did (low 3 bits of a program-wide word).
inline constexpr int kListSelectionConfirmed = 1;
inline constexpr int kListSelectionCancelled = 2;
inline constexpr int kListSelectionChosen = 3;

class ChannelSelectionModel {
public:
    // `listResult`: the program-wide list-selection result, for ListChannels.
    ChannelSelectionModel(ChannelSelectionKind kind, MonitorData& data, MessageFunction& messages,
                          std::atomic<int>* listResult = nullptr);

    ChannelSelectionKind Kind() const { return kind_; }
    // Dialog title and group caption (UTF-8).
    const char* Title() const;
    const char* GroupTitle() const;

    bool Checked(int channelIndex) const { return checked_[channelIndex]; }
    bool Enabled(int channelIndex) const { return enabled_[channelIndex]; }
    void SetChecked(int channelIndex, bool on);
    void ClearAll();   // "全てクリア"
    void SelectAll();  // "全て選択": every enabled box

    // "OK": 0 when the choice was stored (the dialog closes), -1 with message 41 when no box
    // is checked and the variant needs one (the dialog stays open).
    int Ok();
    // "ｷｬﾝｾﾙ": nothing stored.
    void Cancel();

private:
    // The switch this variant edits, read and written.
    uint8_t Switch(const ChannelRecord& record) const;
    void SetSwitch(ChannelRecord& record, bool on) const;

    ChannelSelectionKind kind_;
    MonitorData& data_;
    MessageFunction& messages_;
    std::atomic<int>* listResult_;
    bool fileShown_;
    std::array<bool, kChannelCount> checked_{};
    std::array<bool, kChannelCount> enabled_{};
};

// "グラフスケーリング（標準型）" / "グラフスケーリング（高精度型）".
class GraphScalingDialogModel {
public:
    enum class Field { None, Max, Mini };

    GraphScalingDialogModel(uint8_t precisionModel, const GraphRange& range, uint32_t displayedInterval,
                            MessageFunction& messages);

    bool HighPrecision() const { return high_; }
    // Title and the notes under the fields (UTF-8).
    const char* Title() const;
    const char* MaxNote() const;
    const char* MiniNote() const;
    const char* StepNote() const;

    // The multiplier list "1", "10", "100", "1000" and the entry chosen (-1 none).
    static const std::vector<std::string>& Multipliers();
    int multiplier = 0;
    std::string maxText;   // as entered
    std::string miniText;
    uint32_t interval = 0;  // the read-only interval field, ms

    // "OK": the first failing check shows message 7 and names the field to focus; Field::None
    // and *accepted true when everything passed (the texts are then the new SCALE, MAX and
    // MINI texts). No multiplier chosen: nothing happens (*accepted false, Field::None).
    Field Ok(bool* accepted);

    // After a successful OK: the new texts and the range they give.
    std::string ScaleText() const;
    GraphRange Range() const;

private:
    bool high_;
    MessageFunction& messages_;
};

}  // namespace ridaviri
