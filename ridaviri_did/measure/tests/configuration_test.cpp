#include "ridaviri/configuration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <unistd.h>

#include "platform/hostfile.h"
#include "ridaviri/calibration.h"

namespace ridaviri {
namespace {

namespace fs = std::filesystem;

// The platform's writer, failing on request at the write with the given number (0-based).
class CountingWriter : public PlatformProfileWriter {
public:
    int writes = 0;
    int failAtWrite = -1;
    bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                     const fs::path& file) override {
        if (writes++ == failAtWrite) return false;
        return PlatformProfileWriter::WriteString(section, key, value, file);
    }
};

class ConfigurationTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("ridaviri_ini_" + std::to_string(::getpid()) + "_" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path File() const { return folder_ / kConfigurationFileName; }
    std::string Text() const { return platform::ReadHostFile(File()).value_or(""); }
    void SetText(const std::string& text) { ASSERT_TRUE(platform::WriteHostFileAtomic(File(), text)); }
    void Replace(const std::string& from, const std::string& to) {
        std::string text = Text();
        std::size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        SetText(text);
    }

    // Three configured units, written by the program into a new file.
    void WriteSample() {
        fs::remove(File());
        MonitorData data(1);
        FillSample(data);
        ASSERT_EQ(WriteConfiguration(data, folder_, writer_), 0);
    }

    static void FillSample(MonitorData& data) {
        data.interfaceKind = kInterfaceUsb;
        data.settings.scale = "2";
        data.settings.max = "150.5";
        data.settings.mini = "-20";
        for (int i = 0; i < 3; ++i) {
            ChannelRecord& r = data.channels[i];
            r.identity = {'T', 0x8B, static_cast<uint16_t>((6 << 10) | (100 + i)), static_cast<uint16_t>(40 + i)};
            r.idNumber = static_cast<uint16_t>(300 + i);
            r.canNode = static_cast<uint32_t>(5 + i);
            r.measureSwitch = 1;
            r.inputMode = 3;
            r.interval = 2000;
            r.precisionModel = 1;
            r.channelNumber = static_cast<uint8_t>(3 - i);
            r.listDisplay = 1;
        }
        data.channels[1].calibrationSwitch = 1;
        data.channels[1].factorA = 0.998f;
        data.channels[1].factorB = 0.5f;
        data.channels[2].noResponse = 1;
    }

    fs::path folder_;
    CountingWriter writer_;
};

TEST_F(ConfigurationTest, WrittenFileHasTheKeysInOrderAndReadsBack) {
    WriteSample();
    const std::string text = Text();
    EXPECT_EQ(text.substr(0, text.find("[SENSOR1]")),
              "[DATA]\r\nINTERFACE_SELECT_TIMEOUT=0\r\nSAVE_DATA_SIZE=0\r\nINTERFACE_SELECT=1\r\n"
              "SEIDO_MODEL=1\r\nINTERVAL=2000\r\nSCALE=2\r\nMAX=150.5\r\nMINI=-20\r\n");
    EXPECT_NE(text.find("[SENSOR2]\r\nPRODUCT_SENSOR_TYPE=T\r\nPRODUCT_YEAR=\x8B\r\nPRODUCT_MONTH_LOT=6245\r\n"
                        "PRODUCT_LOT_NO=41\r\nID_NO=301\r\nDEV_NAME=6\r\nKEISOKU_ONOFF=1\r\nINPUT_MODE=3\r\n"
                        "INTERVAL=2000\r\nKOSEI_ONOFF=1\r\nKOSEI_A=0.9980\r\nKOSEI_B=0.5000\r\nLIST_DISP=1\r\n"
                        "CONNECT_STS=0\r\nCH_NO=2\r\n[SENSOR3]"),
              std::string::npos);
    EXPECT_NE(text.find("[SENSOR20]\r\nPRODUCT_SENSOR_TYPE=\r\nPRODUCT_YEAR=\r\n"), std::string::npos);

    MonitorData data(1);
    ReadConfiguration(data, File());
    EXPECT_FALSE(data.stateWord.Test(state::INI_INCOMPLETE));
    EXPECT_EQ(data.interfaceKind, kInterfaceUsb);
    EXPECT_EQ(data.settings.scale, "2");
    EXPECT_EQ(data.settings.max, "150.5");
    EXPECT_EQ(data.settings.mini, "-20");
    const ChannelRecord& r = data.channels[1];
    EXPECT_EQ(r.identity, (SensorIdentity{'T', 0x8B, (6 << 10) | 101, 41}));
    EXPECT_EQ(r.idNumber, 301);
    EXPECT_EQ(r.canNode, 6u);
    EXPECT_EQ(r.measureSwitch, 1);
    EXPECT_EQ(r.inputMode, 3);
    EXPECT_EQ(r.interval, 2000u);
    EXPECT_EQ(r.calibrationSwitch, 1);
    EXPECT_FLOAT_EQ(r.factorA, 0.998f);
    EXPECT_FLOAT_EQ(r.factorB, 0.5f);
    EXPECT_EQ(r.precisionModel, 1);
    EXPECT_EQ(r.channelNumber, 2);
    EXPECT_EQ(r.listDisplay, 1);
    EXPECT_EQ(data.channels[2].noResponse, 0);  // CONNECT_STS is not read back
    EXPECT_TRUE(data.channels[3].IsEmpty());
    EXPECT_EQ(data.channels[3].interval, 1000u);
}

TEST_F(ConfigurationTest, WritingTwiceWithoutChangesGivesTheSameFile) {
    MonitorData data(1);
    FillSample(data);
    ASSERT_EQ(WriteConfiguration(data, folder_, writer_), 0);
    const std::string first = Text();
    ASSERT_EQ(WriteConfiguration(data, folder_, writer_), 0);
    EXPECT_EQ(Text(), first);

    // Read back and written again, only the no-response mark (never read) is lost.
    MonitorData again(1);
    ReadConfiguration(again, File());
    ASSERT_EQ(WriteConfiguration(again, folder_, writer_), 0);
    std::string expected = first;
    expected.replace(expected.find("CONNECT_STS=1"), 13, "CONNECT_STS=0");
    EXPECT_EQ(Text(), expected);
}

// Values are taken by position: names do not matter, order does, and a line without "=" is a
// section start.
TEST_F(ConfigurationTest, PositionRules) {
    struct Case {
        const char* name;
        const char* from;
        const char* to;
        void (*check)(const MonitorData&);
    } cases[] = {
        {"misspelled names are read", "ID_NO=301\r\nDEV_NAME=6", "IDNUM=301\r\nDEVNAM=6",
         [](const MonitorData& d) {
             EXPECT_EQ(d.channels[1].idNumber, 301);
             EXPECT_EQ(d.channels[1].canNode, 6u);
         }},
        {"misspelled data keys are read", "INTERFACE_SELECT=1\r\nSEIDO_MODEL=1", "INTERFASE=1\r\nSEIDO=1",
         [](const MonitorData& d) {
             EXPECT_EQ(d.interfaceKind, kInterfaceUsb);
             EXPECT_EQ(d.channels[0].precisionModel, 1);
         }},
        {"reordered names are not", "ID_NO=301\r\nDEV_NAME=6", "DEV_NAME=6\r\nID_NO=301",
         [](const MonitorData& d) {
             EXPECT_EQ(d.channels[1].idNumber, 6);
             EXPECT_EQ(d.channels[1].canNode, 301u);
         }},
        {"an empty line shifts the following records", "CH_NO=2\r\n[SENSOR3]", "CH_NO=2\r\n\r\n[SENSOR3]",
         [](const MonitorData& d) {
             EXPECT_EQ(d.channels[1].idNumber, 301);
             EXPECT_TRUE(d.channels[2].IsEmpty());
             EXPECT_EQ(d.channels[3].idNumber, 302);  // SENSOR3 landed in the fourth record
             EXPECT_FALSE(d.stateWord.Test(state::INI_INCOMPLETE));
         }},
        {"a type letter 0 is an empty record", "PRODUCT_SENSOR_TYPE=T\r\nPRODUCT_YEAR=\x8B\r\nPRODUCT_MONTH_LOT=6245",
         "PRODUCT_SENSOR_TYPE=0\r\nPRODUCT_YEAR=\x8B\r\nPRODUCT_MONTH_LOT=6245",
         [](const MonitorData& d) { EXPECT_TRUE(d.channels[1].IsEmpty()); }},
        {"only a leading 1 switches on", "KEISOKU_ONOFF=1\r\nINPUT_MODE=3\r\nINTERVAL=2000\r\nKOSEI_ONOFF=1",
         "KEISOKU_ONOFF=2\r\nINPUT_MODE=3\r\nINTERVAL=2000\r\nKOSEI_ONOFF=10",
         [](const MonitorData& d) {
             EXPECT_EQ(d.channels[1].measureSwitch, 0);
             EXPECT_EQ(d.channels[1].calibrationSwitch, 1);
         }},
        {"the first sensor's interval decides all", "[SENSOR1]\r\nPRODUCT_SENSOR_TYPE=T\r\nPRODUCT_YEAR=\x8B\r\n"
                                                    "PRODUCT_MONTH_LOT=6244\r\nPRODUCT_LOT_NO=40\r\nID_NO=300\r\n"
                                                    "DEV_NAME=5\r\nKEISOKU_ONOFF=1\r\nINPUT_MODE=3\r\nINTERVAL=2000",
         "[SENSOR1]\r\nPRODUCT_SENSOR_TYPE=T\r\nPRODUCT_YEAR=\x8B\r\nPRODUCT_MONTH_LOT=6244\r\nPRODUCT_LOT_NO=40\r\n"
         "ID_NO=300\r\nDEV_NAME=5\r\nKEISOKU_ONOFF=1\r\nINPUT_MODE=3\r\nINTERVAL=500",
         [](const MonitorData& d) {
             for (int i = 0; i < 3; ++i) EXPECT_EQ(d.channels[i].interval, 500u) << i;
             EXPECT_EQ(d.channels[3].interval, 1000u);  // empty records keep theirs
         }},
        {"a value ends at a second =", "ID_NO=301\r\n", "ID_NO=301=5\r\n",
         [](const MonitorData& d) { EXPECT_EQ(d.channels[1].idNumber, 301); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteSample();
        Replace(c.from, c.to);
        MonitorData data(1);
        ReadConfiguration(data, File());
        c.check(data);
    }
}

TEST_F(ConfigurationTest, ShortOrOverlongFilesAreIncomplete) {
    struct Case {
        const char* name;
        std::size_t cutAt;  // bytes kept from the written file; 0 = use `edit`
        const char* from;
        const char* to;
        bool incomplete;
    } cases[] = {
        {"cut inside SENSOR5", 0, "[SENSOR5]", "[SENSOR5]\r\nPRODUCT_SENSOR_TYPE=\r\n", true},
        {"no sensor sections", 0, "[SENSOR1]", "[SENSORS]", true},
        {"a ninth data value", 0, "MINI=-20\r\n", "MINI=-20\r\nEXTRA=1\r\n", true},
        {"complete", 0, "MINI=-20\r\n", "MINI=-20\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteSample();
        Replace(c.from, c.to);
        if (std::string(c.name) == "cut inside SENSOR5") {
            std::string text = Text();
            SetText(text.substr(0, text.find("PRODUCT_SENSOR_TYPE=\r\n", text.find("[SENSOR5]")) + 22));
        }
        MonitorData data(1);
        ReadConfiguration(data, File());
        EXPECT_EQ(data.stateWord.Test(state::INI_INCOMPLETE), c.incomplete);
        EXPECT_EQ(data.channels[2].idNumber, std::string(c.name) == "no sensor sections" ? 0 : 302);
    }
}

TEST_F(ConfigurationTest, MissingFileGivesTheDefaults) {
    MonitorData data(1);
    data.channels[4].idNumber = 9;
    data.settings.scale = "7";
    ReadConfiguration(data, File());
    EXPECT_FALSE(data.stateWord.Test(state::INI_INCOMPLETE));
    EXPECT_EQ(data.settings.scale, "1");
    EXPECT_EQ(data.settings.max, "100");
    EXPECT_EQ(data.settings.mini, "0");
    EXPECT_EQ(data.interfaceKind, kInterfaceCan);
    EXPECT_EQ(data.channels[4].idNumber, 0);
}

TEST_F(ConfigurationTest, IncompleteFileIsRebuiltAndCompleteFileKeepsTheSetupKeys) {
    SetText("[DATA]\r\nINTERFACE_SELECT_TIMEOUT=30\r\nSAVE_DATA_SIZE=64\r\nINTERFACE_SELECT=0\r\n"
            "SEIDO_MODEL=0\r\nINTERVAL=1000\r\nSCALE=1\r\nMAX=100\r\nMINI=0\r\n[SENSOR1]\r\nGARBAGE=1\r\n");
    MonitorData data(1);
    ReadConfiguration(data, File());
    ASSERT_TRUE(data.stateWord.Test(state::INI_INCOMPLETE));
    EXPECT_EQ(data.settings.interfaceSelectTimeout, 30);
    ASSERT_EQ(WriteConfiguration(data, folder_, writer_), 0);
    EXPECT_FALSE(data.stateWord.Test(state::INI_INCOMPLETE));
    std::string text = Text();
    EXPECT_EQ(text.find("GARBAGE"), std::string::npos);
    EXPECT_EQ(text.rfind("[DATA]\r\nINTERFACE_SELECT_TIMEOUT=0\r\nSAVE_DATA_SIZE=0\r\n", 0), 0u);

    Replace("INTERFACE_SELECT_TIMEOUT=0", "INTERFACE_SELECT_TIMEOUT=30");
    MonitorData again(1);
    ReadConfiguration(again, File());
    again.settings.interfaceSelectTimeout = 5;  // not written over an existing complete file
    ASSERT_EQ(WriteConfiguration(again, folder_, writer_), 0);
    EXPECT_NE(Text().find("INTERFACE_SELECT_TIMEOUT=30\r\n"), std::string::npos);
}

TEST_F(ConfigurationTest, AFailedWriteStopsAtOnce) {
    MonitorData data(1);
    writer_.failAtWrite = 3;
    EXPECT_EQ(WriteConfiguration(data, folder_, writer_), -1);
    EXPECT_EQ(writer_.writes, 4);
    EXPECT_FALSE(fs::exists(File()));  // nothing half written
}

TEST_F(ConfigurationTest, AFailedReplacementLeavesTheEarlierFileWhole) {
    WriteSample();
    const std::string before = Text();
    MonitorData data(1);
    data.channels[0].idNumber = 4711;
    platform::SetWriteFailureAfterBytesForTesting(100);
    EXPECT_EQ(WriteConfiguration(data, folder_, writer_), -1);
    platform::SetWriteFailureAfterBytesForTesting(-1);
    EXPECT_EQ(Text(), before);
}

// An incomplete file is rebuilt from nothing; until the new file is complete and in place the
// old one stays, whether the rebuild fails at a write or when the file is replaced.
TEST_F(ConfigurationTest, AFailedRebuildOfAnIncompleteFileLeavesItWhole) {
    const std::string incomplete = "[DATA]\r\nINTERFACE_SELECT_TIMEOUT=30\r\nSAVE_DATA_SIZE=64\r\nINTERFACE_SELECT=1\r\n";
    for (int failAtWrite : {-1, 0, 5, 100}) {
        SCOPED_TRACE(failAtWrite);
        SetText(incomplete);
        MonitorData data(1);
        ReadConfiguration(data, File());
        ASSERT_TRUE(data.stateWord.Test(state::INI_INCOMPLETE));
        writer_.writes = 0;
        writer_.failAtWrite = failAtWrite;
        if (failAtWrite < 0) platform::SetWriteFailureAfterBytesForTesting(100);
        EXPECT_EQ(WriteConfiguration(data, folder_, writer_), -1);
        platform::SetWriteFailureAfterBytesForTesting(-1);
        EXPECT_EQ(Text(), incomplete);
        EXPECT_TRUE(data.stateWord.Test(state::INI_INCOMPLETE));
    }
    // Nothing of the failed attempts lingers in the writer: the next rebuild is complete.
    writer_.failAtWrite = -1;
    MonitorData data(1);
    ReadConfiguration(data, File());
    ASSERT_EQ(WriteConfiguration(data, folder_, writer_), 0);
    EXPECT_EQ(Text().rfind("[DATA]\r\nINTERFACE_SELECT_TIMEOUT=0\r\nSAVE_DATA_SIZE=0\r\nINTERFACE_SELECT=1\r\n", 0), 0u);
    MonitorData again(1);
    ReadConfiguration(again, File());
    EXPECT_FALSE(again.stateWord.Test(state::INI_INCOMPLETE));
}

TEST_F(ConfigurationTest, TheFileIsFoundWhateverTheCaseOfItsName) {
    SetText("");
    fs::rename(File(), folder_ / "zuzodavu.ini");
    bool exists = false;
    EXPECT_EQ(ConfigurationPath(folder_, &exists), folder_ / "zuzodavu.ini");
    EXPECT_TRUE(exists);
    fs::remove(folder_ / "zuzodavu.ini");
    EXPECT_EQ(ConfigurationPath(folder_, &exists), File());
    EXPECT_FALSE(exists);
}

TEST_F(ConfigurationTest, TheShippedDefaultIsWhatAFreshProgramWrites) {
    MonitorData data(1);
    ASSERT_EQ(WriteConfiguration(data, folder_, writer_), 0);
    // Kept with LF line ends in the repository; the build gives it CR LF.
    std::optional<std::string> source = platform::ReadHostFile(RIDAVIRI_DEFAULT_INI);
    ASSERT_TRUE(source);
    std::string shipped;
    for (char c : *source) {
        if (c == '\n') shipped += '\r';
        shipped += c;
    }
    EXPECT_EQ(shipped, Text());
}

// Regression: a unit whose year byte is a line feed or a carriage return (years 10 and 13) made
// the file unwritable, and year 48 ("0") read back as 0. Every byte a unit can report as type
// letter or year comes back; the bytes that survived being written as themselves are still
// written so.
TEST_F(ConfigurationTest, EveryIdentityByteRoundTrips) {
    const std::string asNumber[] = {"10", "13", "48", "61"};  // LF, CR, "0", "="
    for (int first = 1; first <= 255; first += kChannelCount) {
        fs::remove(File());
        MonitorData data(1);
        for (int i = 0; i < kChannelCount; ++i) {
            const uint8_t b = static_cast<uint8_t>(std::min(first + i, 255));
            data.channels[i].identity = {static_cast<char>(b), b, static_cast<uint16_t>(i), 7};
            data.channels[i].idNumber = static_cast<uint16_t>(i + 1);
        }
        ASSERT_EQ(WriteConfiguration(data, folder_, writer_), 0) << "bytes from " << first << ": " << writer_.Error();
        const std::string text = Text();
        MonitorData back(1);
        ReadConfiguration(back, File());
        EXPECT_FALSE(back.stateWord.Test(state::INI_INCOMPLETE)) << "bytes from " << first;
        for (int i = 0; i < kChannelCount; ++i) {
            const uint8_t b = static_cast<uint8_t>(std::min(first + i, 255));
            EXPECT_EQ(back.channels[i].identity, data.channels[i].identity) << "byte " << int(b);
            const std::string number = std::to_string(b);
            const bool written = std::find(std::begin(asNumber), std::end(asNumber), number) != std::end(asNumber);
            const std::string stored = written ? number : std::string(1, static_cast<char>(b));
            EXPECT_NE(text.find("PRODUCT_YEAR=" + stored + "\r\n"), std::string::npos) << "byte " << int(b);
        }
    }
}

// Regression: a factor of nan or inf in the file went into the measured values and the CSV log.
TEST_F(ConfigurationTest, NonFiniteCalibrationFactorsCountAsMissing) {
    WriteSample();
    Replace("KOSEI_A=0.9980", "KOSEI_A=nan");
    Replace("KOSEI_B=0.5000", "KOSEI_B=-inf");
    MonitorData data(4);
    ReadConfiguration(data, File());
    const ChannelRecord& r = data.channels[1];
    EXPECT_EQ(r.calibrationSwitch, 1);
    EXPECT_EQ(r.factorA, 0.0f);
    EXPECT_EQ(r.factorB, 0.0f);
    ChannelRecord infinite = r;
    infinite.factorA = std::numeric_limits<float>::infinity();
    EXPECT_EQ(ApplyCalibration(21.5, r), 21.5) << "uncorrected, as without factors";
    EXPECT_EQ(ApplyCalibration(21.5, infinite), 21.5);
}

}  // namespace
}  // namespace ridaviri
