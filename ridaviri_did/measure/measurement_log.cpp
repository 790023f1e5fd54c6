#include "ridaviri/measurement_log.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "platform/hostfile.h"
#include "platform/sjis.h"

namespace ridaviri {
namespace {

namespace sjis = platform::sjis;

constexpr std::size_t kMemoMaxBytes = 100;

struct Labels {
    std::string title = sjis::S("測定ログヘッダー");
    std::string date = sjis::S("測定日：");
    std::string time = sjis::S("測定開始時間：");
    std::string interval = sjis::S("計測間隔(ms)");
    std::string precision = sjis::S("計測精度");
    std::string memo = sjis::S("メモ：");
    std::string samples = sjis::S("ｻﾝﾌﾟﾙ");
    std::string standard = sjis::S("標準");
    std::string high = sjis::S("高精度");
};

const Labels& L() {
    static const Labels labels;
    return labels;
}

void AppendHeaderLine(std::string& out, const std::string& label, std::string_view value) {
    out += label;
    out += ',';
    out += value;
    out += '\n';
}

// Appends "%3.2f" (precision 2) or "%3.3f" (3); the width never pads as "0.00" is 4 long.
void AppendTemperature(std::string& out, double value, int decimals) {
    char text[64];
    auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc()) {
        int n = std::snprintf(text, sizeof text, decimals == 2 ? "%3.2f" : "%3.3f", value);
        out.append(text, static_cast<std::size_t>(std::max(n, 0)));
        return;
    }
    out.append(text, r.ptr);
}

// Cuts Shift-JIS text to at most `bytes` bytes without splitting a character.
std::string CutText(std::string_view text, std::size_t bytes) {
    std::size_t end = 0;
    while (end < text.size()) {
        std::size_t next = sjis::NextChar(text, end);
        if (next > bytes) break;
        end = next;
    }
    return std::string(text.substr(0, end));
}

// One line of `text` from `pos` without its line feed (and without a CR before it); pos moves
// past the line feed.
std::string_view NextLine(std::string_view text, std::size_t& pos) {
    std::size_t start = pos;
    std::size_t lf = text.find('\n', pos);
    std::size_t end = lf == std::string_view::npos ? text.size() : lf;
    pos = lf == std::string_view::npos ? text.size() : lf + 1;
    return text.substr(start, end - start);
}

// Tokens of a header line, separated by "," or a carriage return.
std::string_view Token(std::string_view line, std::size_t index) {
    std::size_t start = 0;
    for (std::size_t i = 0;; ++i) {
        std::size_t comma = sjis::FindChar(line, ',', start);
        std::size_t cr = sjis::FindChar(line, '\r', start);
        std::size_t end = std::min(comma, cr);
        if (end == sjis::npos) end = line.size();
        if (i == index) return line.substr(start, end - start);
        if (end >= line.size()) return std::string_view();
        start = end + 1;
    }
}

// atof of a field: the fast path for plain numbers, the C library for anything else
// (leading blanks, a "+", text).
double Atof(std::string_view field) {
    double value = 0.0;
    auto r = std::from_chars(field.data(), field.data() + field.size(), value);
    if (r.ec == std::errc() && (r.ptr == field.data() + field.size() || *r.ptr == '\r')) return value;
    return std::atof(std::string(field).c_str());
}

}  // namespace

std::string CsvFileName(std::string_view chosen) {
    std::string name(chosen);
    if (sjis::FindText(name, ".csv") == sjis::npos) name += ".csv";
    return name;
}

std::optional<uint64_t> StartTimeMilliseconds(std::string_view text) {
    if (text.empty() || text.size() > 13) return std::nullopt;
    uint64_t groups[4] = {0, 0, 0, 0};
    int group = 0;
    int digits = 0;
    for (char c : text) {
        if (c == ':') {
            if (digits == 0 || group == 3) return std::nullopt;
            ++group;
            digits = 0;
        } else if (c >= '0' && c <= '9') {
            if (++digits > 3) return std::nullopt;
            groups[group] = groups[group] * 10 + static_cast<uint64_t>(c - '0');
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0) return std::nullopt;
    return ((groups[0] * 60 + groups[1]) * 60 + groups[2]) * 1000 + groups[3];
}

// Writes "%02u:%02u:%02u:%03u" of ms into `out` (room for 32 bytes); returns the end.
static char* FormatSampleTime(char* out, uint64_t ms) {
    uint64_t hours = ms / 3600000;
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + hours % 10);
        hours /= 10;
    } while (hours != 0);
    if (n < 2) digits[n++] = '0';
    while (n > 0) *out++ = digits[--n];
    const unsigned minutes = static_cast<unsigned>(ms / 60000 % 60);
    const unsigned seconds = static_cast<unsigned>(ms / 1000 % 60);
    const unsigned millis = static_cast<unsigned>(ms % 1000);
    *out++ = ':';
    *out++ = static_cast<char>('0' + minutes / 10);
    *out++ = static_cast<char>('0' + minutes % 10);
    *out++ = ':';
    *out++ = static_cast<char>('0' + seconds / 10);
    *out++ = static_cast<char>('0' + seconds % 10);
    *out++ = ':';
    *out++ = static_cast<char>('0' + millis / 100);
    *out++ = static_cast<char>('0' + millis / 10 % 10);
    *out++ = static_cast<char>('0' + millis % 10);
    return out;
}

std::string SampleTimeText(uint64_t ms) {
    char text[32];
    return std::string(text, FormatSampleTime(text, ms));
}

std::filesystem::path LogFolder(const std::filesystem::path& programFolder) {
    std::filesystem::path folder = programFolder / "log";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder;
}

std::optional<std::string> BuildMeasurementLog(MonitorData& data) {
    const Labels& l = L();
    LogHeader& h = data.logHeader;
    // A shown file is saved again with its own header; a measurement with its start time.
    if (data.stateWord.Mode() != state::kModeFileShown) {
        const platform::sync::LocalTime& t = data.startTime;
        char text[64];
        std::snprintf(text, sizeof text, "%d/%d/%d", t.year, t.month, t.day);
        h.date = text;
        std::snprintf(text, sizeof text, "%d:%d:%d:%d", t.hour, t.minute, t.second, t.milliseconds);
        h.startTime = text;
        h.interval = data.channels[0].interval;
        h.precision = data.channels[0].precisionModel == 0 ? l.standard : l.high;
    }
    std::size_t count;
    {
        std::lock_guard lock(data.section);
        count = std::min(data.SampleIndex(), data.samples.Capacity());
    }
    h.sampleCount = static_cast<uint32_t>(count);
    const std::optional<uint64_t> base = StartTimeMilliseconds(h.startTime);
    if (!base) return std::nullopt;
    const int decimals = h.precision == l.standard ? 2 : 3;

    std::string out;
    out.reserve(256 + count * (14 + kChannelCount * 9));
    out += l.title;
    out += '\n';
    AppendHeaderLine(out, l.date, h.date);
    AppendHeaderLine(out, l.time, h.startTime);
    AppendHeaderLine(out, l.interval, std::to_string(static_cast<int32_t>(h.interval)));
    AppendHeaderLine(out, l.precision, h.precision);
    AppendHeaderLine(out, l.memo, h.memo);
    AppendHeaderLine(out, l.samples, std::to_string(count));
    for (int ch = 1; ch <= kChannelCount; ++ch) {
        out += ",CH";
        out += std::to_string(ch);
    }
    out += '\n';
    for (std::size_t k = 0; k < count; ++k) {
        char time[32];
        out.append(time, FormatSampleTime(time, *base + static_cast<uint64_t>(k) * h.interval));
        const double* sample = data.samples.Sample(k);
        for (int ch = 0; ch < kChannelCount; ++ch) {
            out += ',';
            AppendTemperature(out, sample[ch], decimals);
        }
        out += '\n';
    }
    return out;
}

std::optional<std::filesystem::path> SaveTarget(const std::filesystem::path& file) {
    namespace fs = std::filesystem;
    // Links followed before the path counts as a loop.
    constexpr int kMaxLinks = 40;
    fs::path target = file;
    for (int links = 0;; ++links) {
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(target, ec);
        if (status.type() == fs::file_type::not_found) return target;
        if (ec) return std::nullopt;
        if (status.type() == fs::file_type::regular) return target;
        if (status.type() != fs::file_type::symlink || links == kMaxLinks) return std::nullopt;
        const fs::path link = fs::read_symlink(target, ec);
        if (ec) return std::nullopt;
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
}

int SaveMeasurementLog(MonitorData& data, const std::filesystem::path& file, MessageFunction& messages) {
    std::optional<std::string> text = BuildMeasurementLog(data);
    // The file is replaced as a whole: only a regular file (or a new one) may be, never a link
    // itself, a device, a FIFO or a folder.
    const std::optional<std::filesystem::path> target = SaveTarget(file);
    if (!text || !target || !platform::WriteHostFileAtomic(*target, *text)) {
        messages(31);
        return -1;
    }
    data.stateWord.Clear(state::UNSAVED);
    return 0;
}

int AskToSaveUnsaved(MonitorData& data, MessageFunction& messages, const std::function<int()>& save) {
    if (!data.stateWord.Test(state::UNSAVED)) return 0;
    if (messages(115) == kAnswerYes) return save ? save() : 0;
    data.stateWord.Clear(state::UNSAVED);
    return 0;
}

void PrepareOpen(MonitorData& data) {
    data.samples.Clear();
    data.channelBackup = data.channels;
}

int OpenMeasurementLog(MonitorData& data, const std::filesystem::path& file, MessageFunction& messages) {
    std::optional<std::string> content = platform::ReadHostFile(file);
    if (!content) {
        messages(17);
        return -1;
    }
    std::string_view text = *content;
    std::size_t pos = 0;
    if (Token(NextLine(text, pos), 0) != L().title) {
        messages(30);
        return -1;
    }
    std::string_view lines[6];
    for (std::string_view& line : lines) line = NextLine(text, pos);
    LogHeader h;
    h.date = std::string(Token(lines[0], 1));
    h.startTime = std::string(Token(lines[1], 1));
    h.interval = static_cast<uint32_t>(std::atoi(std::string(Token(lines[2], 1)).c_str()));
    h.precision = std::string(Token(lines[3], 1));
    h.memo = CutText(Token(lines[4], 1), kMemoMaxBytes);
    const long fileCount = std::atol(std::string(Token(lines[5], 1)).c_str());
    const std::size_t count = static_cast<std::size_t>(
        std::clamp<long>(fileCount, 0, static_cast<long>(data.samples.Capacity())));
    h.sampleCount = static_cast<uint32_t>(count);
    data.logHeader = h;
    data.stateWord.SetMode(state::kModeFileShown);

    NextLine(text, pos);  // the column line
    // Sample lines: the time, then 20 values, each converted as atof would.
    std::size_t k = 0;
    while (pos < text.size() && k < data.samples.Capacity()) {
        const std::string_view line = NextLine(text, pos);
        double* sample = data.samples.Sample(k);
        std::size_t field = line.find(',');
        for (int ch = 0; ch < kChannelCount; ++ch) {
            if (field == std::string_view::npos) {
                sample[ch] = 0.0;
                continue;
            }
            const std::size_t next = line.find(',', field + 1);
            sample[ch] = Atof(line.substr(field + 1, (next == std::string_view::npos ? line.size() : next) - field - 1));
            field = next;
        }
        ++k;
    }

    data.deviceCount = kChannelCount;
    for (int i = 0; i < kChannelCount; ++i) {
        data.found[i].channelNumber = data.channels[i].channelNumber;
        data.found[i].measureSwitch = data.channels[i].measureSwitch;
        data.found[i].graphDisplay = 1;
        data.found[i].listDisplay = 1;
        data.channels[i].channelNumber = static_cast<uint8_t>(i + 1);
        data.channels[i].measureSwitch = 1;
    }
    data.displayedInterval = h.interval;
    {
        std::lock_guard lock(data.section);
        data.SetSampleIndexLocked(count);
    }
    return 0;
}

}  // namespace ridaviri
