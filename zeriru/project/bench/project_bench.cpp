// Load, change one value and save a large project file, the way every editor command does.
// Usage: zeriru_project_bench [files=32768] [rounds=15]
// Prints median milliseconds and MB/s for the given size and twice that size.
#include "platform/sjis.h"
#include "zeriru/ini_document.h"
#include "zeriru/project_file.h"

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace zeriru;
using platform::sjis::S;

namespace {

// A project with `files` file items and every other section filled with typical amounts.
std::string MakeProject(int files) {
    TIniDocument doc;
    doc.WriteString("Project", "ProjectName", EncodeProjectText(S("温度モニタ セットアップ")));
    doc.WriteString("Project", "Generator", kGeneratorName);
    doc.WriteString("Project", "CreateFileName", "setup%VER_MAJOR%%VER_MINOR%");
    doc.WriteString("Project", "CreateFolder", EncodeProjectText("C:\\Output\\Setup"));
    doc.WriteInteger("Project", "CreateFileType", 4);
    for (const char* k : {"Publisher", "Corporation", "HelpLink", "HelpTelephon", "URLInfoAbout", "URLUpdateInfo"}) {
        doc.WriteString("SupportInfo", k, EncodeProjectText(S("株式会社サンプル, http://example.invalid/")));
    }
    for (int i = 1; i <= 7; ++i) doc.WriteString("ButtonStatus", std::to_string(i), ButtonConfirmedMark());
    doc.WriteString("Software", "Name", EncodeProjectText(S("温度モニタ")));
    doc.WriteString("Software", "Folder", "%ProgramFilesDir%|" + EncodeProjectText(S("サンプル\\温度モニタ")) + "|");
    doc.WriteString("FilesSetting", "UseSection", "Files");
    for (int i = 0; i < files; ++i) {
        std::string rec;
        rec = SetItemField(rec, 1, EncodeProjectText("C:\\Source\\Release\\module" + std::to_string(i % 97) +
                                                     "\\file" + std::to_string(i) + ".dll"));
        rec = SetItemField(rec, 2, "%InstallDir%");
        rec = SetItemField(rec, 3, EncodeProjectText("bin\\" + std::to_string(i % 13)));
        rec = SetItemFieldInt(rec, 4, 1);
        rec = SetItemFieldInt(rec, 6, 65535);
        rec = SetItemFieldBool(rec, 8, true);
        doc.WriteString("Files", std::to_string(i), rec);
    }
    struct List {
        const char* setting;
        const char* items;
        int count;
    };
    for (const List& l : {List{"ShortCutSetting", "ShortCutItems", 200}, List{"RegistrySetting", "RegistryItems", 800},
                          List{"IniFileSetting", "IniFileItems", 200}, List{"DeleteFileSetting", "DeleteFileItems", 300},
                          List{"UnDeleteFileSetting", "UnDeleteFileItems", 100},
                          List{"DeleteRegistrySetting", "DeleteRegistryItems", 100},
                          List{"UnDeleteRegistrySetting", "UnDeleteRegistryItems", 50},
                          List{"ProgramSetting", "ProgramItems", 30},
                          List{"RelationApplicationSetting", "RelationApplicationItems", 20},
                          List{"InstallProcessOrderSetting", "InstallProcessOrderItems", 20},
                          List{"UnInstallProcessOrderSetting", "UnInstallProcessOrderItems", 20}}) {
        doc.WriteString(l.setting, "UseSection", l.items);
        for (int i = 0; i < l.count; ++i) {
            std::string rec = SetItemField("", 1, EncodeProjectText(S("項目 ") + std::to_string(i)));
            rec = SetItemField(rec, 2, "HKEY_LOCAL_MACHINE");
            rec = SetItemField(rec, 3, EncodeProjectText("SOFTWARE\\Sample\\Monitor\\" + std::to_string(i)));
            doc.WriteString(l.items, std::to_string(i), rec);
        }
    }
    doc.WriteBool("UninstallSetting", "UseUninstall", true);
    for (int i = 0; i < 40; ++i) doc.WriteString("Installer", "Option" + std::to_string(i), std::to_string(i));
    doc.WriteInteger("InstallLimit", "DiskSpace", 100);
    for (int p = 1; p <= 11; ++p) {
        char panel[16];
        std::snprintf(panel, sizeof panel, "Panel%02d", p);
        doc.WriteString("ScreenSetting", panel, EncodeProjectText(S("画面の説明文, 次へ進みます")));
    }
    doc.WriteInteger("OSSetting", "OSVersion", 65535);
    doc.WriteString("OSSetting", "SPVersion", "0,0,0,0,0,0");
    for (int i = 0; i < 400; ++i) {
        doc.WriteString("ZU_VAZUZAResourceString_1041", std::to_string(i), S("インストールを続行しますか？"));
    }
    return doc.SaveToText();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Result {
    std::size_t bytes;
    double loadMs, changeMs, saveMs;
};

Result Run(const fs::path& folder, int files, int rounds) {
    const fs::path file = folder / ("bench" + std::to_string(files) + ".PJ2");
    const std::string text = MakeProject(files);
    TIniDocument seed;
    seed.LoadFromText(text);
    if (!seed.SaveAs(file)) std::abort();
    std::vector<double> load, change, save;
    using Clock = std::chrono::steady_clock;
    auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
    for (int r = 0; r < rounds; ++r) {
        auto t0 = Clock::now();
        TIniDocument doc(file);
        auto t1 = Clock::now();
        const std::string key = std::to_string(files / 2);
        doc.WriteString("Files", key, SetItemFieldInt(doc.ReadString("Files", key), 4, r));
        auto t2 = Clock::now();
        if (!doc.UpdateFile()) std::abort();
        auto t3 = Clock::now();
        load.push_back(ms(t1 - t0));
        change.push_back(ms(t2 - t1));
        save.push_back(ms(t3 - t2));
    }
    return {text.size(), Median(load), Median(change), Median(save)};
}

}  // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 32768;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
    char tmpl[] = "/tmp/zeriru_project_bench_XXXXXX";
    if (!::mkdtemp(tmpl)) return 1;
    const fs::path folder = tmpl;
    std::printf("%-8s %10s %10s %10s %10s %10s %10s\n", "files", "MB", "load ms", "load MB/s", "change ms",
                "save ms", "save MB/s");
    for (int n : {files, files * 2}) {
        Result r = Run(folder, n, rounds);
        const double mb = static_cast<double>(r.bytes) / 1e6;
        std::printf("%-8d %10.2f %10.2f %10.1f %10.3f %10.2f %10.1f\n", n, mb, r.loadMs, mb / (r.loadMs / 1e3),
                    r.changeMs, r.saveMs, mb / (r.saveMs / 1e3));
    }
    fs::remove_all(folder);
    return 0;
}
