// Entry points of libcab32.so: a command line in, a CAB operation out.
//   -a create (an existing cabinet is not updated: the call fails), -f self-extractor,
//   -x extract, -l list, -t test. "-ml:N" (LZX window) is accepted and written as MSZIP;
//   "-mn" writes stored blocks. Packing takes the masks' files in the folder and below it,
//   with their paths relative to the folder.
#include "archivers/cab32.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <system_error>

#include "cab/cabinet.h"
#include "common/safe_path.h"
#include "common/cmdline.h"
#include "common/filescan.h"
#include "common/hostfiles.h"
#include "common/hostpath.h"
#include "common/results.h"
#include "platform/sjis.h"
#include "cab32/option_dialog.h"
#include "sfx/cab_options.h"
#include "sfx/sfx_file.h"

#define ARCHIVERS_EXPORT extern "C" __attribute__((visibility("default")))

namespace archivers::cab {
namespace {

namespace fs = std::filesystem;
namespace sj = platform::sjis;
using cab32::AskSfxOptions;
using cab32::OptionDialogTimeout;

constexpr std::uint16_t kVersion = 100;
constexpr const char* kStubName = "cab_sfx";

std::atomic<bool> g_running{false};


struct Targets {
    std::string archive;
    std::string folder;
    std::vector<std::string> masks;
};

Targets SplitTargets(const std::vector<std::string>& args) {
    Targets t;
    for (const std::string& a : args) {
        if (t.archive.empty()) {
            t.archive = a;
        } else if (t.folder.empty() && t.masks.empty() && IsFolderElement(a)) {
            t.folder = a;
        } else {
            t.masks.push_back(a);
        }
    }
    return t;
}

Outcome Create(const CommandLine& cl, const Targets& t) {
    const fs::path cabinet = HostPathFromWindows(t.archive);
    std::error_code ec;
    if (fs::exists(cabinet, ec)) return Error(kResultFile, "the cabinet exists already and cannot be updated");
    WriteSettings settings;
    if (cl.Has("mn")) settings.compression = Compression::None;
    ScanOptions scan;
    scan.recurse = true;
    scan.storePaths = true;
    scan.includeHidden = true;
    const fs::path base = t.folder.empty() ? fs::current_path() : HostPathFromWindows(t.folder);
    std::vector<std::string> masks = t.masks;
    if (masks.empty()) masks.push_back("*.*");
    std::vector<FoundFile> files;
    std::string err;
    if (!CollectFiles(base, masks, scan, &files, &err)) return Error(kResultNotFound, err);
    if (files.empty()) return Error(kResultNoFiles, "no files match the masks");
    if (!WriteCabinet(cabinet, files, settings, &err)) return Error(kResultFile, err);
    return {kResultOk, std::to_string(files.size()) + " file(s) packed"};
}

Outcome Open(const Targets& t, FileHandle* f) {
    const fs::path cabinet = HostPathFromWindows(t.archive);
    f->reset(std::fopen(cabinet.c_str(), "rb"));
    if (!*f) return Error(kResultNotFound, "cannot open " + PathText(cabinet));
    return {};
}

Outcome Extract(const Targets& t) {
    FileHandle f;
    if (Outcome o = Open(t, &f); o.code) return o;
    std::string err;
    if (!TestCabinet(f.get(), 0, 0, &err)) return Error(kResultBadArchive, "damaged cabinet: " + err);
    const fs::path dest = t.folder.empty() ? fs::current_path() : HostPathFromWindows(t.folder);
    if (!ExtractCabinet(f.get(), 0, 0, dest, &err)) {
        const bool unsafe = err.find("member") != std::string::npos || err.find("link") != std::string::npos;
        return Error(unsafe ? kResultUnsafePath : kResultFile, err);
    }
    return {kResultOk, "extracted"};
}

Outcome List(const Targets& t) {
    FileHandle f;
    if (Outcome o = Open(t, &f); o.code) return o;
    CabinetReader reader;
    std::string err;
    if (!reader.Open(f.get(), 0, 0, &err)) return Error(kResultBadArchive, "damaged cabinet: " + err);
    std::string text;
    for (const Entry& e : reader.entries()) text += std::to_string(e.size) + " " + e.name + "\n";
    return {kResultOk, text};
}

Outcome Test(const Targets& t) {
    FileHandle f;
    if (Outcome o = Open(t, &f); o.code) return o;
    std::string err;
    if (!TestCabinet(f.get(), 0, 0, &err)) return Error(kResultBadArchive, "damaged cabinet: " + err);
    return {kResultOk, "cabinet is sound"};
}

Outcome MakeSelfExtractor(const Targets& t) {
    sfx::SfxSources src;
    if (Outcome o = sfx::PrepareSfx(t.archive, t.folder, "cabinet", TestCabinet, kStubName, &src); o.code) return o;
    const fs::path& cabinet = src.archive;
    const fs::path& folder = src.folder;
    const fs::path& stub = src.stub;
    sfx::CabSfxOptions options = sfx::DefaultCabSfxOptions(sj::FromUtf8(cabinet.stem().string()));
    const fs::path output = folder / (cabinet.stem().string() + ".exe");
    std::string err;
    // What the self-extractor does is chosen in the option dialog, shown for every -f.
    if (!AskSfxOptions(t.archive, sj::FromUtf8(output.string()), options, OptionDialogTimeout(), &err))
        return Error(kResultCommand, err);
    if (!sfx::MakeSfx(stub, cabinet, sfx::Kind::Cab, sfx::EncodeCabSfxOptions(options), output, &err))
        return Error(kResultFile, err);
    return {kResultOk, "created " + output.string()};
}

Outcome Run(const char* commandLine) {
    if (!commandLine) return Error(kResultCommand, "no command line");
    CommandLine cl;
    std::string err;
    if (!ParseCommandLine(commandLine, &cl, &err)) return Error(kResultCommand, err);
    const Targets t = SplitTargets(cl.args);
    if (t.archive.empty()) return Error(kResultCommand, "no cabinet given");
    if (cl.Has("a")) return Create(cl, t);
    if (cl.Has("f")) return MakeSelfExtractor(t);
    if (cl.Has("x")) return Extract(t);
    if (cl.Has("l")) return List(t);
    if (cl.Has("t")) return Test(t);
    return Error(kResultCommand, "no supported command (-a, -f, -x, -l, -t) given");
}

}  // namespace
}  // namespace archivers::cab

ARCHIVERS_EXPORT int Cab(void* owner, const char* commandLine, char* output, uint32_t outputSize) {
    using namespace archivers;
    return RunEntry(cab::g_running, output, outputSize, [&] { return cab::Run(commandLine); });
}

ARCHIVERS_EXPORT int CabGetRunning(void) { return archivers::cab::g_running ? 1 : 0; }

ARCHIVERS_EXPORT uint16_t CabGetVersion(void) { return archivers::cab::kVersion; }
