// Timing of the installer build on a large project (not a test): a copy-to-folder build
// against `cp -r` of the same tree, and the LHA archive build with one and with two packing
// threads against `tar | gzip -6` of the same tree.
//
//   zeriru_build_bench [--files N] [--total-mib M] [--dir FOLDER] [--keep] [--no-archive]
//
// Generates N files of 1 KiB to 1 MiB (M MiB in all, sizes log-uniform and scaled to the
// total) in 100 folders under a new folder in /tmp (or FOLDER), with a fresh prefix there, builds the
// project as a folder and as an LHA archive (-lh5-), prints wall-clock and processor times,
// and deletes everything unless --keep is given.
//
// Examples:
//   zeriru_build_bench                          # 10,000 files, 500 MiB
//   zeriru_build_bench --files 2000 --total-mib 100
//   zeriru_build_bench --no-archive --dir /dev/shm   # in memory: no disk, no block allocator
#include "platform/prefix.h"
#include "platform/registry.h"
#include "platform/sjis.h"
#include "platform/winpath.h"
#include "zeriru/archive_control.h"
#include "zeriru/build_installer.h"
#include "zeriru/command_line.h"
#include "zeriru/platform_machine.h"
#include "zeriru/ui.h"

#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
namespace wp = platform::winpath;
using namespace zeriru;

namespace {

constexpr std::uint64_t kKiB = 1024;
constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr int kFolders = 100;

// Sizes between 1 KiB and 1 MiB, log-uniform, scaled so that they add up to `total`.
std::vector<std::uint64_t> FileSizes(int count, std::uint64_t total) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<double> raw(count);
    for (double& r : raw) r = std::pow(2.0, 10.0 + 10.0 * u(random));
    std::vector<std::uint64_t> sizes(count);
    // Clamping changes the sum: find the scale by bisection.
    double lo = 0.001, hi = 1000.0;
    for (int round = 0; round < 100; ++round) {
        const double mid = std::sqrt(lo * hi);
        std::uint64_t sum = 0;
        for (int i = 0; i < count; ++i)
            sum += std::clamp<std::uint64_t>(static_cast<std::uint64_t>(raw[i] * mid), kKiB, kMiB);
        (sum < total ? lo : hi) = mid;
    }
    for (int i = 0; i < count; ++i) sizes[i] = std::clamp<std::uint64_t>(static_cast<std::uint64_t>(raw[i] * lo), kKiB, kMiB);
    return sizes;
}

// Text-like bytes (words from a small vocabulary), so the archive build has work to do.
std::string TextPool(std::size_t size) {
    static const char* words[] = {"installer ", "project ", "folder ", "file ", "archive ", "module ", "data ",
                                  "sample ", "version ", "setup ", "\r\n", "0123 ", "build ", "copy "};
    std::mt19937 random(11);
    std::string pool;
    pool.reserve(size + 16);
    while (pool.size() < size) pool += words[random() % (sizeof words / sizeof *words)];
    pool.resize(size);
    return pool;
}

// Processor time (user + system) of this process or of its ended children, s: on a shared
// machine it says more than the wall clock, which also counts waiting for a processor.
double ProcessorSeconds(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Seconds(const std::chrono::steady_clock::time_point& start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class QuietUi : public Ui {
public:
    bool ChooseOpenFile(std::string_view, std::string_view, std::string&) override { return false; }
    bool ChooseSaveFile(std::string_view, std::string_view, std::string_view, std::string&) override { return false; }
    void ShowProgress(uint64_t, uint64_t, std::string_view) override {}
    void ProcessMessages() override {}

protected:
    // The copy-to-folder question is the only one; everything else is a message.
    Answer Message(std::string_view, MessageButtons buttons, MessageIcon, std::string_view) override {
        return buttons == MessageButtons::Ok ? Answer::Ok : Answer::Yes;
    }
    bool Input(std::string_view, std::string_view, std::string&, bool) override { return false; }
};

struct Host : ArchiveHost {
    std::string folder;
    std::string EditorFolder() const override { return folder; }
    fs::path LibraryFolder() const override { return BENCH_LIBRARY_DIR; }
};

}  // namespace

int main(int argc, char** argv) {
    int files = 10000;
    std::uint64_t totalMiB = 500;
    bool keep = false;
    bool archive = true;
    std::string dir = "/tmp";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--files" && i + 1 < argc) {
            files = std::clamp(std::atoi(argv[++i]), 1, 32768);
        } else if (arg == "--total-mib" && i + 1 < argc) {
            totalMiB = std::clamp<std::uint64_t>(std::strtoull(argv[++i], nullptr, 10), 1, 32768);
        } else if (arg == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        } else if (arg == "--keep") {
            keep = true;
        } else if (arg == "--no-archive") {
            archive = false;
        } else {
            std::fprintf(stderr,
                         "usage: zeriru_build_bench [--files N] [--total-mib M] [--dir FOLDER] [--keep] [--no-archive]\n"
                         "example: zeriru_build_bench --files 2000 --total-mib 100\n"
                         "example: zeriru_build_bench --no-archive --dir /dev/shm\n");
            return 64;
        }
    }
    const std::uint64_t total = std::clamp<std::uint64_t>(totalMiB * kMiB, files * kKiB, files * kMiB);

    std::string rootTemplate = dir + "/zeriru_build_bench_XXXXXX";
    if (!::mkdtemp(rootTemplate.data())) {
        std::perror(("mkdtemp " + rootTemplate).c_str());
        return 1;
    }
    const fs::path root = rootTemplate;
    ::setenv("PLATFORM_ROOT", (root / "prefix").c_str(), 1);
    std::string error;
    if (!platform::EnsurePrefix(&error)) {
        std::fprintf(stderr, "EnsurePrefix: %s\n", error.c_str());
        return 1;
    }
    const std::string editor = ProvisionEditorFolder(BENCH_SHARE_DIR, {}, &error);
    if (editor.empty()) {
        std::fprintf(stderr, "ProvisionEditorFolder: %s\n", error.c_str());
        return 1;
    }

    // The tree.
    const auto sizes = FileSizes(files, total);
    const std::string pool = TextPool(2 * kMiB);
    std::uint64_t bytes = 0;
    std::string items;
    const auto generated = std::chrono::steady_clock::now();
    for (int i = 0; i < files; ++i) {
        char folder[16], name[32];
        std::snprintf(folder, sizeof folder, "d%02d", i % kFolders);
        std::snprintf(name, sizeof name, "f%05d.dat", i);
        const fs::path dir = root / "src" / folder;
        fs::create_directories(dir);
        std::ofstream out(dir / name, std::ios::binary);
        out.write(pool.data() + (i * 7919) % kMiB, static_cast<std::streamsize>(sizes[i]));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", (dir / name).c_str());
            return 1;
        }
        bytes += sizes[i];
        items += std::to_string(i) + "=1|0|%InstallDir%|" + folder + "|" + wp::ToWindowsPath(dir / name) + "|\r\n";
    }
    std::printf("tree: %d files, %.1f MiB, generated in %.1f s (%s)\n", files, bytes / double(kMiB),
                Seconds(generated), (root / "src").c_str());
    const fs::path projectHost = root / "bench.PJ2";
    std::ofstream(projectHost, std::ios::binary)
        << "[Project]\r\nGenerator=DOZOZE 2.0\r\nProjectName=bench\r\nCreateFileName=bench\r\n"
           "CreateFolderBeforeBackup=0\r\n[Software]\r\nInstallerTitle=T\r\nSoftName=A\r\nCopyright=C\r\n[Files]\r\n"
        << items;

    platform::registry::Registry registry;
    TPlatformMachine machine(registry);
    QuietUi ui;
    Host host;
    host.folder = editor;
    double lastCpu = 0;  // processor time of the last build or copy, s
    auto build = [&](int type, const fs::path& out) {
        TBuilder::Environment env;
        env.ui = &ui;
        env.machine = &machine;
        env.options.compressProgress = false;
        env.editorFolder = editor;
        env.archiveHost = &host;
        // The archive build in two parts: staging up to the packing line, then packing.
        std::chrono::steady_clock::time_point packing{};
        double packingCpu = 0;
        env.onMessage = [&](const BuildMessage& m) {
            if (m.text == platform::sjis::S("圧縮ファイルを作成しています。")) {
                packing = std::chrono::steady_clock::now();
                packingCpu = ProcessorSeconds(RUSAGE_SELF);
            }
        };
        TBuilder builder(env);
        BuildRequest request;
        request.projectFile = wp::ToWindowsPath(projectHost);
        request.projectName = "bench";
        request.outputFolder = wp::ToWindowsPath(out);
        request.outputFileName = "bench";
        request.createType = type;
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ProcessorSeconds(RUSAGE_SELF);
        builder.BuildInstaller(request);
        const double s = Seconds(start);
        lastCpu = ProcessorSeconds(RUSAGE_SELF) - cpuStart;
        if (packing != std::chrono::steady_clock::time_point{})
            std::printf("  staging %.2f s wall, %.2f s processor (target < 5 s); packing %.2f s wall, %.2f s processor\n",
                        std::chrono::duration<double>(packing - start).count(), packingCpu - cpuStart, Seconds(packing),
                        ProcessorSeconds(RUSAGE_SELF) - packingCpu);
        if (builder.Result().warnings != 0) {
            std::fprintf(stderr, "build of type %d failed: %s\n", type,
                         platform::sjis::ToUtf8(builder.Messages().back().text).c_str());
            std::exit(1);
        }
        return s;
    };
    // A shell command's wall time; its processor time (children's) goes to lastCpu.
    auto run = [&](const std::string& command) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ProcessorSeconds(RUSAGE_CHILDREN);
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "failed: %s\n", command.c_str());
            std::exit(1);
        }
        lastCpu = ProcessorSeconds(RUSAGE_CHILDREN) - cpuStart;
        return Seconds(start);
    };
    auto cp = [&](const fs::path& to) { return run("cp -r '" + (root / "src").string() + "' '" + to.string() + "'"); };

    // Each twice, alternating, the better time counts: the first reads may still warm caches.
    double cpBest = 1e9, folderBest = 1e9, cpCpu = 1e9, folderCpu = 1e9;
    for (int round = 0; round < 2; ++round) {
        // Both start without their output folder (a build would otherwise time deleting it).
        fs::remove_all(root / "cp");
        fs::remove_all(root / "folder");
        cpBest = std::min(cpBest, cp(root / "cp"));
        cpCpu = std::min(cpCpu, lastCpu);
        folderBest = std::min(folderBest, build(kCreateFolder, root / "folder"));
        folderCpu = std::min(folderCpu, lastCpu);
    }
    std::printf("cp -r:            %6.2f s wall, %6.2f s processor\n", cpBest, cpCpu);
    std::printf("copy-to-folder:   %6.2f s wall, %6.2f s processor  = %.2f x cp -r wall, %.2f x processor"
                " (target <= 1.2)\n",
                folderBest, folderCpu, folderBest / cpBest, folderCpu / cpCpu);
    if (archive) {
        const double gzip = run("tar -cf - -C '" + root.string() + "' src | gzip -6 > /dev/null");
        const double gzipCpu = lastCpu;
        std::printf("tar | gzip -6:    %6.2f s wall, %6.2f s processor\n", gzip, gzipCpu);
        // The archiver library takes its thread count from the environment.
        double lhaWall[3] = {}, lhaCpu[3] = {};
        for (const int threads : {1, 2}) {
            ::setenv("ARCHIVERS_THREADS", std::to_string(threads).c_str(), 1);
            fs::remove_all(root / "lha");
            lhaWall[threads] = build(kCreateLha, root / "lha");
            lhaCpu[threads] = lastCpu;
            const auto size = fs::file_size(root / "lha" / "bench.lzh");
            std::printf("LHA archive (-lh5-), %d thread(s): %6.2f s wall, %6.2f s processor: %.1f MiB/s wall, %.1f"
                        " MiB/s processor (archive %.1f MiB)\n",
                        threads, lhaWall[threads], lhaCpu[threads], bytes / double(kMiB) / lhaWall[threads],
                        bytes / double(kMiB) / lhaCpu[threads], size / double(kMiB));
        }
        ::unsetenv("ARCHIVERS_THREADS");
        std::printf("LHA archive, two threads: %.2f x tar | gzip -6 wall (target <= 1.0), %.2f x faster than one"
                    " thread (target >= 1.7)\n",
                    lhaWall[2] / gzip, lhaWall[1] / lhaWall[2]);
    }

    if (!keep) fs::remove_all(root);
    return 0;
}
