#include "ridaviri/measurement_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

#include "platform/hostfile.h"
#include "platform/sjis.h"

namespace ridaviri {
namespace {

using platform::sjis::S;
namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder() {
        path_ = fs::temp_directory_path() / ("ridaviri_log_" + std::to_string(::getpid()) + "_" +
                                             std::to_string(counter_++));
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    static inline int counter_ = 0;
    fs::path path_;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

void Measure(MonitorData& data, platform::sync::LocalTime start, uint32_t interval, std::size_t samples) {
    data.startTime = start;
    data.channels[0].interval = interval;
    std::lock_guard lock(data.section);
    data.SetSampleIndexLocked(samples);
}

platform::sync::LocalTime Time(int y, int mo, int d, int h, int mi, int s, int ms) {
    platform::sync::LocalTime t{};
    t.year = uint16_t(y);
    t.month = uint16_t(mo);
    t.day = uint16_t(d);
    t.hour = uint16_t(h);
    t.minute = uint16_t(mi);
    t.second = uint16_t(s);
    t.milliseconds = uint16_t(ms);
    return t;
}

TEST(MeasurementLog, WritesTheHeaderColumnAndSampleLinesExactly) {
    MonitorData data(10);
    Measure(data, Time(2011, 6, 24, 14, 5, 9, 120), 1000, 1);
    data.samples.At(0, 0) = 23.45;
    data.samples.At(0, 19) = -5.0;
    std::optional<std::string> text = BuildMeasurementLog(data);
    ASSERT_TRUE(text);
    std::string column;
    for (int ch = 1; ch <= 20; ++ch) column += ",CH" + std::to_string(ch);
    std::string sample = "14:05:09:120,23.45";
    for (int ch = 2; ch <= 19; ++ch) sample += ",0.00";
    sample += ",-5.00";
    const std::string expected = S("測定ログヘッダー\n"
                                   "測定日：,2011/6/24\n"
                                   "測定開始時間：,14:5:9:120\n"
                                   "計測間隔(ms),1000\n"
                                   "計測精度,標準\n"
                                   "メモ：,\n"
                                   "ｻﾝﾌﾟﾙ,1\n") +
                                 column + "\n" + sample + "\n";
    EXPECT_EQ(*text, expected);
}

TEST(MeasurementLog, SampleTimesGoPastMidnightWithoutWrapping) {
    MonitorData data(10);
    Measure(data, Time(2026, 12, 31, 23, 59, 59, 500), 1000, 3);
    std::vector<std::string> lines = Lines(*BuildMeasurementLog(data));
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[2], S("測定開始時間：,23:59:59:500"));
    EXPECT_EQ(lines[8].substr(0, 13), "23:59:59:500,");
    EXPECT_EQ(lines[9].substr(0, 13), "24:00:00:500,");
    EXPECT_EQ(lines[10].substr(0, 13), "24:00:01:500,");
}

// Regression: sample times computed in 32 bits wrapped after about 49 days of offsets
// (65535 samples at one hour).
TEST(MeasurementLog, LongIntervalsDoNotOverflowTheSampleTime) {
    EXPECT_EQ(SampleTimeText(0ull + 65534ull * 3600000ull), "65534:00:00:000");
    EXPECT_EQ(SampleTimeText(86399999), "23:59:59:999");
}

TEST(MeasurementLog, PrecisionAndEmptyLog) {
    MonitorData data(10);
    Measure(data, Time(2026, 1, 2, 3, 4, 5, 6), 500, 0);
    std::vector<std::string> lines = Lines(*BuildMeasurementLog(data));
    ASSERT_EQ(lines.size(), 8u);  // header and column line only
    EXPECT_EQ(lines[6], S("ｻﾝﾌﾟﾙ,0"));

    data.channels[0].precisionModel = 1;
    Measure(data, Time(2026, 1, 2, 3, 4, 5, 6), 500, 1);
    data.samples.At(0, 0) = 25.0;
    lines = Lines(*BuildMeasurementLog(data));
    EXPECT_EQ(lines[4], S("計測精度,高精度"));
    EXPECT_EQ(lines[8].substr(0, 19), "03:04:05:006,25.000");
}

TEST(CsvFileName, AppendsTheExtensionOnlyWhenMissing) {
    EXPECT_EQ(CsvFileName("run1"), "run1.csv");
    EXPECT_EQ(CsvFileName("run1.csv"), "run1.csv");
    EXPECT_EQ(CsvFileName("run1.csv.bak"), "run1.csv.bak");
    EXPECT_EQ(CsvFileName(S("測定")), S("測定.csv"));
}

TEST(StartTime, TheCheckOfTheStartTimeText) {
    struct Case {
        const char* text;
        long long ms;  // -1: refused
    } cases[] = {
        {"23:59:59:500", 86399500}, {"14:5:9:120", 50709120}, {"0:0:0:0", 0},
        {"1:2:3", 3723000},         {"", -1},                 {"1::2:3", -1},
        {"1:2:3:4:5", -1},          {"1:2:3:1000", -1},       {"12:34:56:789a", -1},
        {"1:2:3:", -1},             {"123:123:123:123", -1},  // 15 characters
    };
    for (const Case& c : cases) {
        std::optional<uint64_t> v = StartTimeMilliseconds(c.text);
        if (c.ms < 0) EXPECT_FALSE(v) << c.text;
        else EXPECT_EQ(v.value_or(~0ull), uint64_t(c.ms)) << c.text;
    }
}

TEST(MeasurementLog, SaveAndOpenAgainGiveTheSameDataAndTheMemoSurvives) {
    TempFolder folder;
    ScriptedMessages messages;
    MonitorData data(100);
    for (int i = 0; i < 20; ++i) data.channels[i].channelNumber = uint8_t(i % 3 == 0 ? i + 1 : 0);
    data.channels[0].precisionModel = 1;
    Measure(data, Time(2026, 3, 4, 23, 59, 58, 250), 2000, 50);
    for (int k = 0; k < 50; ++k)
        for (int ch = 0; ch < 20; ++ch) data.samples.At(k, ch) = -20 + k * 1.125 + ch * 0.001;
    data.stateWord.Set(state::UNSAVED);
    const fs::path file = folder.path() / "run1.csv";
    ASSERT_EQ(SaveMeasurementLog(data, file, messages), 0);
    EXPECT_FALSE(data.stateWord.Test(state::UNSAVED));
    const std::string first = *platform::ReadHostFile(file);

    MonitorData viewer(100);
    viewer.channels[2].channelNumber = 7;
    PrepareOpen(viewer);
    ASSERT_EQ(OpenMeasurementLog(viewer, file, messages), 0);
    EXPECT_EQ(viewer.stateWord.Mode(), state::kModeFileShown);
    EXPECT_EQ(viewer.SampleIndex(), 50u);
    EXPECT_EQ(viewer.displayedInterval, 2000u);
    EXPECT_EQ(viewer.deviceCount, 20);
    for (int k = 0; k < 50; ++k)
        for (int ch = 0; ch < 20; ++ch) EXPECT_NEAR(viewer.samples.At(k, ch), data.samples.At(k, ch), 5e-4);
    EXPECT_EQ(viewer.found[2].channelNumber, 7);  // the old layout, kept in the found table
    EXPECT_EQ(viewer.channelBackup[2].channelNumber, 7);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(viewer.channels[i].channelNumber, i + 1);
        EXPECT_EQ(viewer.channels[i].measureSwitch, 1);
        EXPECT_EQ(viewer.found[i].graphDisplay, 1);
    }

    // Saving the shown file again writes the same file, its own header included; a memo
    // read from a file is kept.
    viewer.logHeader.memo = S("炉の試験、２回目");
    const fs::path again = folder.path() / "run1.csv.bak";
    ASSERT_EQ(SaveMeasurementLog(viewer, again, messages), 0);
    std::string second = *platform::ReadHostFile(again);
    std::vector<std::string> a = Lines(first), b = Lines(second);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (i == 5) EXPECT_EQ(b[i], S("メモ：,炉の試験、２回目"));
        else EXPECT_EQ(a[i], b[i]) << i;
    }
    MonitorData third(100);
    ASSERT_EQ(OpenMeasurementLog(third, again, messages), 0);
    EXPECT_EQ(third.logHeader.memo, S("炉の試験、２回目"));
    EXPECT_TRUE(messages.Numbers().empty());
}

TEST(MeasurementLog, OpenRefusesAFileWithoutTheHeaderLine) {
    TempFolder folder;
    ScriptedMessages messages;
    MonitorData data(10);
    const fs::path file = folder.path() / "other.csv";
    ASSERT_TRUE(platform::WriteHostFileAtomic(file, "time,CH1\n00:00:00:000,1.0\n"));
    EXPECT_EQ(OpenMeasurementLog(data, file, messages), -1);
    ASSERT_EQ(messages.Numbers(), std::vector<int>{30});
    EXPECT_EQ(messages.Log()[0].text, S("不正な処理が行われました。アプリケーションを終了します。"));
    EXPECT_EQ(data.stateWord.Mode(), state::kModeIdle);
    EXPECT_EQ(data.SampleIndex(), 0u);
    EXPECT_EQ(data.channels[0].channelNumber, 0);

    EXPECT_EQ(OpenMeasurementLog(data, folder.path() / "missing.csv", messages), -1);
    EXPECT_EQ(messages.Numbers().back(), 17);
}

TEST(MeasurementLog, OpenClampsTheSampleCountToTheBuffer) {
    TempFolder folder;
    ScriptedMessages messages;
    MonitorData data(5);
    Measure(data, Time(2026, 1, 1, 0, 0, 0, 0), 500, 5);
    data.samples.At(4, 3) = 4.5;
    const fs::path file = folder.path() / "a.csv";
    ASSERT_EQ(SaveMeasurementLog(data, file, messages), 0);
    std::string text = *platform::ReadHostFile(file);
    const std::string countLine = S("ｻﾝﾌﾟﾙ,5");
    text.replace(text.find(countLine), countLine.size(), S("ｻﾝﾌﾟﾙ,70000"));
    text += "00:00:02:500,9,9,9,9,9,9,9,9,9,9,9,9,9,9,9,9,9,9,9,9\n";  // a sixth line
    ASSERT_TRUE(platform::WriteHostFileAtomic(file, text));
    MonitorData small(5);
    ASSERT_EQ(OpenMeasurementLog(small, file, messages), 0);
    EXPECT_EQ(small.SampleIndex(), 5u);
    EXPECT_EQ(small.samples.At(4, 3), 4.5);
}

TEST(MeasurementLog, AFailedWriteShowsMessage31AndKeepsUnsaved) {
    TempFolder folder;
    ScriptedMessages messages;
    MonitorData data(10);
    Measure(data, Time(2026, 1, 1, 0, 0, 0, 0), 500, 2);
    data.stateWord.Set(state::UNSAVED);
    EXPECT_EQ(SaveMeasurementLog(data, folder.path() / "no" / "such" / "x.csv", messages), -1);
    EXPECT_EQ(messages.Numbers(), std::vector<int>{31});
    EXPECT_TRUE(data.stateWord.Test(state::UNSAVED));

    const fs::path file = folder.path() / "keep.csv";
    ASSERT_TRUE(platform::WriteHostFileAtomic(file, "old"));
    platform::SetWriteFailureAfterBytesForTesting(10);
    EXPECT_EQ(SaveMeasurementLog(data, file, messages), -1);
    platform::SetWriteFailureAfterBytesForTesting(-1);
    EXPECT_EQ(*platform::ReadHostFile(file), "old");  // the earlier file is left whole
}

// Regression: the save renamed its new file over whatever the path named: a device node, a
// FIFO or a symbolic link was replaced by a regular file. A link is followed to its target; a
// path that is no regular file is refused with message 31 and left as it was.
TEST(MeasurementLog, SaveReplacesOnlyRegularFiles) {
    TempFolder folder;
    const fs::path dir = folder.path();
    ASSERT_TRUE(platform::WriteHostFileAtomic(dir / "target.csv", "old"));
    fs::create_symlink("target.csv", dir / "link.csv");
    fs::create_symlink(dir / "made_by_save.csv", dir / "dangling.csv");
    ASSERT_EQ(mkfifo((dir / "fifo.csv").c_str(), 0600), 0);
    fs::create_symlink("fifo.csv", dir / "link_to_fifo.csv");
    fs::create_directory(dir / "folder.csv");
    fs::create_symlink("loop_b.csv", dir / "loop_a.csv");
    fs::create_symlink("loop_a.csv", dir / "loop_b.csv");
    // A character device like /dev/full, made here only where the test may make device nodes.
    const bool device = mknod((dir / "full.csv").c_str(), S_IFCHR | 0600, makedev(1, 7)) == 0;

    MonitorData data(10);
    Measure(data, Time(2026, 1, 1, 0, 0, 0, 0), 500, 2);
    struct {
        const char* name;
        bool saved;
    } cases[] = {{"link.csv", true},     {"dangling.csv", true}, {"fifo.csv", false}, {"link_to_fifo.csv", false},
                 {"folder.csv", false}, {"loop_a.csv", false},  {"full.csv", false}};
    for (const auto& c : cases) {
        if (std::string(c.name) == "full.csv" && !device) continue;
        ScriptedMessages messages;
        const fs::file_status before = fs::symlink_status(dir / c.name);
        EXPECT_EQ(SaveMeasurementLog(data, dir / c.name, messages), c.saved ? 0 : -1) << c.name;
        EXPECT_EQ(messages.Numbers(), c.saved ? std::vector<int>{} : std::vector<int>{31}) << c.name;
        EXPECT_EQ(fs::symlink_status(dir / c.name).type(), before.type()) << c.name << " itself was replaced";
    }
    const std::string saved = *platform::ReadHostFile(dir / "target.csv");
    EXPECT_EQ(saved.rfind(S("測定ログヘッダー"), 0), 0u) << "the link's target holds the log";
    EXPECT_TRUE(fs::is_regular_file(dir / "made_by_save.csv"));
    if (device) {
        EXPECT_TRUE(fs::is_character_file(dir / "full.csv"));
    }
}

TEST(UnsavedData, Question115SavesOrDrops) {
    MonitorData data(4);
    ScriptedMessages messages;
    int saves = 0;
    auto save = [&] {
        ++saves;
        data.stateWord.Clear(state::UNSAVED);
        return 0;
    };
    EXPECT_EQ(AskToSaveUnsaved(data, messages, save), 0);  // nothing unsaved: no question
    EXPECT_EQ(messages.Count(), 0u);
    data.stateWord.Set(state::UNSAVED);
    messages.Answer(kAnswerYes);
    AskToSaveUnsaved(data, messages, save);
    EXPECT_EQ(saves, 1);
    data.stateWord.Set(state::UNSAVED);
    messages.Answer(kAnswerNo);
    AskToSaveUnsaved(data, messages, save);
    EXPECT_EQ(saves, 1);
    EXPECT_FALSE(data.stateWord.Test(state::UNSAVED));
    EXPECT_EQ(messages.Numbers(), (std::vector<int>{115, 115}));
}

TEST(LogFolder, IsCreatedWhenMissing) {
    TempFolder folder;
    fs::path log = LogFolder(folder.path());
    EXPECT_EQ(log, folder.path() / "log");
    EXPECT_TRUE(fs::is_directory(log));
}

}  // namespace
}  // namespace ridaviri
