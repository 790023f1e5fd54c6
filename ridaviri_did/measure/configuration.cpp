#include "ridaviri/configuration.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

#include "platform/hostfile.h"
#include "platform/sjis.h"

namespace ridaviri {
namespace {

namespace sjis = platform::sjis;

// Room of the graph texts SCALE, MAX and MINI, bytes (one more for the terminator).
constexpr std::size_t kGraphTextBytes = 9;
// Value lines of the DATA section.
constexpr int kDataValues = 8;
// Value lines of a SENSOR section that must be there (CONNECT_STS and CH_NO may be missing).
constexpr int kSensorValuesRequired = 14;
// A file must begin at least this many sensor sections.
constexpr int kSensorRecordsRequired = 19;

// Value of a line: between the first "=" and the next "=" or line feed; a carriage return
// stays in it. false when the line holds no "=".
bool LineValue(std::string_view line, std::string_view* value) {
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    std::size_t end = line.find_first_of("=\n", eq + 1);
    if (end == std::string_view::npos) end = line.size();
    *value = line.substr(eq + 1, end - eq - 1);
    return true;
}

int Atoi(std::string_view value) { return std::atoi(std::string(value).c_str()); }
double Atof(std::string_view value) { return std::atof(std::string(value).c_str()); }

// A graph text: up to 10 bytes, ended by the first carriage return, kept to 9 bytes.
std::string GraphText(std::string_view value) {
    value = value.substr(0, 10);
    std::size_t cr = value.find('\r');
    if (cr != std::string_view::npos) value = value.substr(0, cr);
    std::size_t end = 0;
    while (end < value.size()) {
        std::size_t next = sjis::NextChar(value, end);
        if (next > kGraphTextBytes) break;
        end = next;
    }
    return std::string(value.substr(0, end));
}

// Bytes of the type letter and the year that do not survive being written as themselves: a
// line break cannot stand in a value, "=" ends the value, and "0" reads back as 0. They are
// written as their decimal number instead (two or three digits, which no single byte is).
bool WrittenAsNumber(uint8_t b) { return b == '\n' || b == '\r' || b == '0' || b == '='; }

// Type letter and year: the first character of the value, "0" and a carriage return give 0;
// a value of two or three digits is the number of a byte written that way.
uint8_t ByteValue(std::string_view value) {
    if (!value.empty() && value.back() == '\r') value.remove_suffix(1);
    if (value.size() >= 2 && value.size() <= 3 &&
        value.find_first_not_of("0123456789") == std::string_view::npos) {
        const int number = Atoi(value);
        if (number <= 0xFF) return static_cast<uint8_t>(number);
    }
    if (value.empty()) return 0;
    char c = value[0];
    return c == '0' ? 0 : static_cast<uint8_t>(c);
}

// A calibration factor; a value that is no finite number counts as missing (0).
float FactorValue(std::string_view value) {
    const double v = Atof(value);
    return std::isfinite(v) && std::isfinite(static_cast<float>(v)) ? static_cast<float>(v) : 0.0f;
}

void StoreSensorValue(ChannelRecord& r, int position, std::string_view v) {
    switch (position) {
    case 0: r.identity.typeLetter = static_cast<char>(ByteValue(v)); break;
    case 1: r.identity.year = ByteValue(v); break;
    case 2: r.identity.monthLot = static_cast<uint16_t>(Atoi(v)); break;
    case 3: r.identity.serial = static_cast<uint16_t>(Atoi(v)); break;
    case 4: r.idNumber = static_cast<uint16_t>(Atoi(v)); break;
    case 5: r.canNode = static_cast<uint32_t>(Atoi(v)); break;
    case 6: r.measureSwitch = (!v.empty() && v[0] == '1') ? 1 : 0; break;
    case 7: r.inputMode = static_cast<uint8_t>(Atoi(v)); break;
    case 8: r.interval = static_cast<uint32_t>(Atoi(v)); break;
    case 9: r.calibrationSwitch = (!v.empty() && v[0] == '1') ? 1 : 0; break;
    case 10: r.factorA = FactorValue(v); break;
    case 11: r.factorB = FactorValue(v); break;
    case 12: r.listDisplay = static_cast<uint8_t>(Atoi(v)); break;
    case 13: break;  // CONNECT_STS is written for the record, never read back
    case 14: r.channelNumber = static_cast<uint8_t>(Atoi(v)); break;
    default: break;
    }
}

void StoreDataValue(MonitorData& data, int position, std::string_view v) {
    switch (position) {
    case 0: data.settings.interfaceSelectTimeout = Atoi(v); break;
    case 1: data.settings.saveDataSize = Atoi(v); break;
    case 2: data.interfaceKind = static_cast<uint8_t>(Atoi(v)); break;
    case 3: data.channels[0].precisionModel = static_cast<uint8_t>(Atoi(v)); break;
    case 4: data.channels[0].interval = static_cast<uint32_t>(Atoi(v)); break;
    case 5: data.settings.scale = GraphText(v); break;
    case 6: data.settings.max = GraphText(v); break;
    case 7: data.settings.mini = GraphText(v); break;
    default: break;
    }
}

void ShareFirstRecordSettings(ChannelTable& channels) {
    for (ChannelRecord& r : channels) {
        if (r.identity.typeLetter != 0) {
            r.interval = channels[0].interval;
            r.precisionModel = channels[0].precisionModel;
        }
    }
}

std::string Decimal(long long v) { return std::to_string(v); }

std::string ByteText(uint8_t b) {
    if (b == 0) return std::string();
    if (WrittenAsNumber(b)) return std::to_string(b);
    return std::string(1, static_cast<char>(b));
}

std::string Fixed4(float v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", static_cast<double>(v));
    return text;
}

}  // namespace

std::filesystem::path ConfigurationPath(const std::filesystem::path& programFolder, bool* exists) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(programFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (sjis::EqualsNoCase(name, kConfigurationFileName) && it->is_regular_file(ec)) {
            if (exists != nullptr) *exists = true;
            return it->path();
        }
    }
    if (exists != nullptr) *exists = false;
    return programFolder / kConfigurationFileName;
}

void ReadConfiguration(MonitorData& data, const std::filesystem::path& file) {
    ResetTable(data.channels);
    data.settings = MonitorSettings{};
    data.interfaceKind = kInterfaceCan;
    std::optional<std::string> content = platform::ReadHostFile(file);
    if (!content) return;

    const std::string_view text = *content;
    std::size_t pos = 0;
    // A line is everything up to and including the next line feed.
    auto nextLine = [&](std::string_view* line) {
        if (pos >= text.size()) return false;
        std::size_t lf = text.find('\n', pos);
        std::size_t end = lf == std::string_view::npos ? text.size() : lf + 1;
        *line = text.substr(pos, end - pos);
        pos = end;
        return true;
    };

    std::string_view line, value;
    // DATA: value lines by their number, up to the line that names SENSOR1.
    int position = 0;
    bool sensorsFound = false;
    while (nextLine(&line)) {
        if (sjis::FindText(line, "SENSOR1") != sjis::npos) {
            sensorsFound = true;
            break;
        }
        if (!LineValue(line, &value)) continue;
        if (position >= kDataValues) data.stateWord.Set(state::INI_INCOMPLETE);
        else StoreDataValue(data, position, value);
        ++position;
    }
    if (!sensorsFound) {
        data.stateWord.Set(state::INI_INCOMPLETE);
        ShareFirstRecordSettings(data.channels);
        return;
    }

    // Sensors: a line without "=" starts the next record, a value line fills the next field.
    int record = 0;
    position = 0;
    bool ended = false;
    while (record < kChannelCount) {
        if (!nextLine(&line)) {
            ended = true;
            break;
        }
        if (!LineValue(line, &value)) {
            ++record;
            position = 0;
            continue;
        }
        StoreSensorValue(data.channels[record], position, value);
        ++position;
    }
    if (ended && (record + 1 < kSensorRecordsRequired || position < kSensorValuesRequired))
        data.stateWord.Set(state::INI_INCOMPLETE);
    ShareFirstRecordSettings(data.channels);
}

int WriteConfiguration(MonitorData& data, const std::filesystem::path& programFolder, ProfileWriter& writer) {
    bool exists = false;
    const std::filesystem::path file = ConfigurationPath(programFolder, &exists);
    const bool incomplete = data.stateWord.Test(state::INI_INCOMPLETE);
    if (incomplete) writer.StartAnew(file);
    auto put = [&](std::string_view section, std::string_view key, const std::string& value) {
        if (writer.WriteString(section, key, value, file)) return true;
        writer.Discard();
        return false;
    };
    const MonitorSettings& s = data.settings;
    if (!exists || incomplete) {
        if (!put("DATA", "INTERFACE_SELECT_TIMEOUT", Decimal(incomplete ? 0 : s.interfaceSelectTimeout)) ||
            !put("DATA", "SAVE_DATA_SIZE", Decimal(incomplete ? 0 : s.saveDataSize)))
            return -1;
    }
    const ChannelRecord& first = data.channels[0];
    if (!put("DATA", "INTERFACE_SELECT", Decimal(data.interfaceKind.load())) ||
        !put("DATA", "SEIDO_MODEL", Decimal(first.precisionModel)) ||
        !put("DATA", "INTERVAL", Decimal(first.interval)) || !put("DATA", "SCALE", s.scale) ||
        !put("DATA", "MAX", s.max) || !put("DATA", "MINI", s.mini))
        return -1;
    for (int i = 0; i < kChannelCount; ++i) {
        const ChannelRecord& r = data.channels[i];
        const std::string section = "SENSOR" + std::to_string(i + 1);
        const std::pair<const char*, std::string> keys[] = {
            {"PRODUCT_SENSOR_TYPE", ByteText(static_cast<uint8_t>(r.identity.typeLetter))},
            {"PRODUCT_YEAR", ByteText(r.identity.year)},
            {"PRODUCT_MONTH_LOT", Decimal(r.identity.monthLot)},
            {"PRODUCT_LOT_NO", Decimal(r.identity.serial)},
            {"ID_NO", Decimal(r.idNumber)},
            {"DEV_NAME", Decimal(r.canNode)},
            {"KEISOKU_ONOFF", Decimal(r.measureSwitch)},
            {"INPUT_MODE", Decimal(r.inputMode)},
            {"INTERVAL", Decimal(r.interval)},
            {"KOSEI_ONOFF", Decimal(r.calibrationSwitch)},
            {"KOSEI_A", Fixed4(r.factorA)},
            {"KOSEI_B", Fixed4(r.factorB)},
            {"LIST_DISP", Decimal(r.listDisplay)},
            {"CONNECT_STS", Decimal(r.noResponse)},
            {"CH_NO", Decimal(r.channelNumber)},
        };
        for (const auto& [key, value] : keys) {
            if (!put(section, key, value)) return -1;
        }
    }
    if (!writer.Commit()) return -1;
    data.stateWord.Clear(state::INI_INCOMPLETE);
    return 0;
}

bool PlatformProfileWriter::WriteString(std::string_view section, std::string_view key, std::string_view value,
                                        const std::filesystem::path& file) {
    if (!batch_ || file != file_) {
        if (batch_ && !Commit()) return false;
        file_ = file;
        batch_ = std::make_unique<platform::profile::PrivateProfileBatch>(file);
    }
    const std::string s(section), k(key), v(value);
    // The batch checks the arguments as the platform's writer does, also when building anew.
    if (!batch_->Write(s.c_str(), k.c_str(), v.c_str(), &error_)) return false;
    if (anew_) *anew_ = platform::profile::ApplyProfileWrite(*anew_, section, key, value);
    return true;
}

void PlatformProfileWriter::StartAnew(const std::filesystem::path& file) {
    if (batch_ && file != file_) Commit();
    file_ = file;
    batch_ = std::make_unique<platform::profile::PrivateProfileBatch>(file);
    anew_ = std::string();
}

void PlatformProfileWriter::Discard() {
    batch_.reset();
    anew_.reset();
}

bool PlatformProfileWriter::Commit() {
    if (!batch_) return true;
    bool ok;
    if (anew_) ok = platform::WriteHostFileAtomic(file_, *anew_, &error_);
    else ok = batch_->Commit(&error_);
    batch_.reset();
    anew_.reset();
    return ok;
}

}  // namespace ridaviri
