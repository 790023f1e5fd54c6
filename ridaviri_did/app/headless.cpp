#include "ridaviri/headless.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/sjis.h"
#include "ridaviri/configuration.h"
#include "ridaviri/measurement.h"
#include "ridaviri/measurement_log.h"
#include "ridaviri/message_function.h"
#include "ridaviri/sensor_check.h"
#include "ridaviri/wrap_dev.h"

namespace ridaviri {
namespace {

// Interval range a headless run accepts, ms: the CAN poll waits the interval less 50 ms, and
// a day is the longest interval the pacing is made for.
constexpr uint32_t kMinIntervalMs = 100;
constexpr uint32_t kMaxIntervalMs = 86400000;
// How often the run looks for new samples to print, ms.
constexpr auto kPrintStep = std::chrono::milliseconds(20);

bool ParseNumber(const std::string& text, uint64_t max, uint32_t* value) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > max) return false;
    *value = static_cast<uint32_t>(v);
    return true;
}

// The messages on the error stream; questions are answered "no" (nobody is there to decide).
class ConsoleMessages : public MessageFunction {
public:
    explicit ConsoleMessages(std::ostream& err) : err_(err) {}

protected:
    int Present(const MessageDefinition& box) override {
        std::string text = platform::sjis::ToUtf8(box.text);
        std::replace(text.begin(), text.end(), '\n', ' ');
        err_ << "ridaviri_did: [" << box.number << "] " << text << std::endl;
        return IsQuestion(box.kind) ? kAnswerNo : kAnswerOk;
    }

private:
    std::ostream& err_;
};

// No windows: the opening dialog cannot be shown again and no ID can be set by hand.
class ConsoleUi : public CheckUi {
public:
    explicit ConsoleUi(std::ostream& err) : err_(err) {}
    void ShowOpeningDialog() override {
        err_ << "ridaviri_did: このインタフェースでは計測機器を使えません。--interface で別のインタフェースを選んでください。"
             << std::endl;
    }
    void ShowText(const std::string& text, MessageBoxKind) override {
        err_ << "ridaviri_did: " << platform::sjis::ToUtf8(text) << std::endl;
    }

private:
    std::ostream& err_;
};

std::string Celsius(double t) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.4f", t);
    return buffer;
}

int Fail(std::ostream& err, const char* utf8) {
    err << "ridaviri_did: " << utf8 << std::endl;
    return 1;
}

}  // namespace

std::optional<HeadlessOptions> ParseCommandLine(const std::vector<std::string>& args, std::string* error) {
    HeadlessOptions o;
    bool csvGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string* v) {
            if (i + 1 >= args.size()) {
                *error = a + " の値がありません。";
                return false;
            }
            *v = args[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--headless") {
            o.headless = true;
        } else if (a == "--interface") {
            if (!value(&v)) return std::nullopt;
            if (v == "can") o.interface = kInterfaceCan;
            else if (v == "usb") o.interface = kInterfaceUsb;
            else {
                *error = "--interface は can か usb で指定してください: " + v;
                return std::nullopt;
            }
        } else if (a == "--interval") {
            if (!value(&v)) return std::nullopt;
            if (!ParseNumber(v, kMaxIntervalMs, &o.intervalMs) || o.intervalMs < kMinIntervalMs) {
                *error = "--interval は 100～86400000 (ミリ秒) で指定してください: " + v;
                return std::nullopt;
            }
        } else if (a == "--samples") {
            if (!value(&v)) return std::nullopt;
            if (!ParseNumber(v, kMaxSamples, &o.samples) || o.samples == 0) {
                *error = "--samples は 1～65535 で指定してください: " + v;
                return std::nullopt;
            }
        } else if (a == "--csv") {
            if (!value(&v)) return std::nullopt;
            if (v.empty()) {
                *error = "--csv のファイル名が空です。";
                return std::nullopt;
            }
            o.csv = v;
            csvGiven = true;
        } else {
            *error = "不明な引数です: " + a;
            return std::nullopt;
        }
    }
    if (o.headless && !o.help && !csvGiven) {
        *error = "--headless には --csv FILE が必要です。";
        return std::nullopt;
    }
    return o;
}

std::string HelpText() {
    return "使い方: ridaviri_did [--headless --interface can|usb --interval MS --samples N --csv FILE]\n"
           "\n"
           "温度計測プログラムです。引数なしで起動するとウィンドウを開きます (接続の選択、\n"
           "センサ確認、計測、グラフ、CSV の保存と表示)。\n"
           "--headless を付けると、ウィンドウなしで次を行います:\n"
           "  1. 指定したインタフェースで接続センサ確認を行います (Zuzodavu.INI の構成と照合)。\n"
           "  2. MS ミリ秒間隔で N 回計測し、各サンプルの温度を表示します。\n"
           "  3. 計測データを CSV ファイル FILE に保存します (計測データ保存と同じ形式)。\n"
           "失敗したときはメッセージを表示し、終了コード 1 で終わります。\n"
           "\n"
           "  --interface can|usb  CAN バス (ポート DIZED1) か USB (既定: can)\n"
           "  --interval MS        計測間隔 100～86400000 ミリ秒 (既定: 1000)\n"
           "  --samples N          サンプル数 1～65535 (既定: 10)\n"
           "  --csv FILE           保存する CSV ファイル (必須)\n"
           "  --help               この説明\n"
           "\n"
           "例:\n"
           "  ridaviri_did\n"
           "  ridaviri_did --headless --interface can --interval 1000 --samples 10 --csv can.csv\n"
           "  ridaviri_did --headless --interface usb --interval 500 --samples 20 --csv /tmp/usb.csv\n"
           "\n"
           "機器はプレフィックス ($PLATFORM_ROOT) の機械 ($PLATFORM_MACHINE、なければ\n"
           "<prefix>/machine/default.ini) のものを使います。\n";
}

int RunHeadless(const HeadlessOptions& options, HeadlessEnvironment& env) {
    MonitorData data;
    ConsoleMessages messages(env.err);
    ConsoleUi ui(env.err);
    ReadConfiguration(data, ConfigurationPath(env.programFolder));
    data.interfaceKind = options.interface;

    SensorTransport transport(data, messages, env.can, env.ticks);
    SensorProcedures procedures(data, transport, messages, ui);
    data.stateWord.Set(state::STARTUP_CHECK);
    const int checked = procedures.SensorCheck();
    transport.CloseDevices();
    data.stateWord.Clear(state::STARTUP_CHECK);
    if (checked != 0 || data.deviceCount == 0) return Fail(env.err, "接続センサ確認に失敗しました。");

    for (ChannelRecord& r : data.channels) r.interval = options.intervalMs;
    std::atomic<bool> windowClosed{false};
    DeviceMeasurementHooks hooks(transport, procedures);
    hooks.closeMainWindow = [&] { windowClosed = true; };
    int result = 0;
    {
        Measurement measurement(data, hooks, messages, env.clock);
        transport.SetAbortHandler([&](int code) { measurement.Abort(code); });
        if (measurement.Start() != 0) {
            transport.SetAbortHandler({});
            return Fail(env.err, "計測を開始できませんでした。");
        }
        std::vector<int> shown;  // channel numbers measured, ascending
        for (int n = 1; n <= kChannelCount; ++n) {
            for (const ChannelRecord& r : data.channels) {
                if (r.channelNumber == n && r.measureSwitch == 1) {
                    shown.push_back(n);
                    break;
                }
            }
        }
        std::size_t printed = 0;
        while (printed < options.samples) {
            // Looked at first, so that the samples stored before the measurement ended are
            // printed before the loop gives up.
            const bool running = measurement.Running() && !windowClosed;
            const std::size_t available = std::min<std::size_t>(data.SampleIndex(), options.samples);
            for (; printed < available; ++printed) {
                platform::sync::LocalTime start;
                {
                    std::lock_guard lock(data.section);
                    start = data.startTime;
                }
                env.out << printed + 1 << ' '
                        << SampleTimeText(MillisecondsSinceMidnight(start) + uint64_t(printed) * options.intervalMs);
                for (int n : shown) env.out << " CH" << n << '=' << Celsius(data.samples.At(printed, n - 1));
                env.out << '\n';
            }
            env.out.flush();
            if (printed >= options.samples || !running) break;
            std::this_thread::sleep_for(kPrintStep);
        }
        measurement.Stop();
        measurement.Join();
        transport.SetAbortHandler({});
        {
            std::lock_guard lock(data.section);
            if (data.SampleIndex() > options.samples) data.SetSampleIndexLocked(options.samples);
        }
        if (printed < options.samples) result = Fail(env.err, "計測が途中で終了しました。");
    }
    if (result == 0 && SaveMeasurementLog(data, options.csv, messages) != 0) result = 1;
    PlatformProfileWriter writer;
    if (WriteConfiguration(data, env.programFolder, writer) != 0) {
        // The settings are lost: the run failed, whatever it measured.
        result = Fail(env.err, ("Zuzodavu.INI を書き込めませんでした: " + writer.Error()).c_str());
    }
    transport.CloseDevices();
    return result;
}

}  // namespace ridaviri
