// Entry points of libunlha32.so: a command line in, an LHA archive operation out.
#include "archivers/unlha32.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <system_error>

#include "common/safe_path.h"
#include "common/cmdline.h"
#include "common/filescan.h"
#include "common/hostfiles.h"
#include "common/hostpath.h"
#include "common/results.h"
#include "lha/archive.h"
#include "platform/sjis.h"
#include "sfx/sfx_file.h"

#define ARCHIVERS_EXPORT extern "C" __attribute__((visibility("default")))

namespace archivers::lha {
namespace {

namespace fs = std::filesystem;
namespace sj = platform::sjis;

// Version 1.00.
constexpr std::uint16_t kVersion = 100;
constexpr const char* kStubName = "lha_sfx";

std::atomic<bool> g_running{false};


// Archive, folder (the first element ending in '\') and masks of a command's elements.
struct Targets {
    std::string archive;
    std::string folder;
    std::vector<std::string> masks;
};

Targets SplitTargets(const std::vector<std::string>& args) {
    Targets t;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (t.archive.empty()) {
            t.archive = args[i];
        } else if (t.folder.empty() && t.masks.empty() && IsFolderElement(args[i])) {
            t.folder = args[i];
        } else {
            t.masks.push_back(args[i]);
        }
    }
    return t;
}

Outcome Pack(const CommandLine& cl, const Targets& t) {
    const MethodTraits* method = FindMethod("-lh5-");
    if (const auto jm = cl.Value("jm")) {
        const int number = (jm->size() == 1 && (*jm)[0] >= '0' && (*jm)[0] <= '9') ? (*jm)[0] - '0' : -1;
        method = MethodForSwitch(number);
        if (!method) return Error(kResultCommand, "unsupported compression method switch -jm" + *jm);
    }
    ScanOptions scan;
    scan.includeHidden = cl.Has("a1") || cl.Has("a2");
    scan.storePaths = cl.Has("x1");
    scan.recurse = cl.Has("r1") || cl.Has("r2");
    scan.folderEntries = cl.Has("r2");
    const fs::path base = t.folder.empty() ? fs::current_path() : HostPathFromWindows(t.folder);
    std::vector<std::string> masks = t.masks;
    if (masks.empty()) masks.push_back("*.*");
    std::vector<FoundFile> files;
    std::string err;
    if (!CollectFiles(base, masks, scan, &files, &err)) return Error(kResultNotFound, err);
    if (files.empty()) return Error(kResultNoFiles, "no files match the masks");
    PackSettings settings;
    settings.method = method;
    settings.onlyNewer = !cl.Has("c1");
    if (!UpdateArchive(HostPathFromWindows(t.archive), files, settings, &err)) return Error(kResultFile, err);
    return {kResultOk, std::to_string(files.size()) + " file(s) packed"};
}

Outcome Extract(const Targets& t) {
    const fs::path archive = HostPathFromWindows(t.archive);
    FileHandle f(std::fopen(archive.c_str(), "rb"));
    if (!f) return Error(kResultNotFound, "cannot open " + PathText(archive));
    const fs::path dest = t.folder.empty() ? fs::current_path() : HostPathFromWindows(t.folder);
    std::vector<std::string> masks = t.masks;
    auto select = [&masks](const Member& m) {
        if (masks.empty()) return true;
        const std::size_t cut = sj::FindLastChar(m.path, '\\');
        const std::string name = cut == sj::npos ? m.path : m.path.substr(cut + 1);
        for (const auto& mask : masks) {
            if (MatchMask(m.path, mask) || MatchMask(name, mask)) return true;
        }
        return false;
    };
    std::string err;
    if (!TestArchive(f.get(), 0, 0, &err)) return Error(kResultBadArchive, "damaged archive: " + err);
    if (!ExtractArchive(f.get(), 0, 0, dest, select, &err)) {
        const bool unsafe = err.find("member") != std::string::npos || err.find("link") != std::string::npos;
        return Error(unsafe ? kResultUnsafePath : kResultFile, err);
    }
    return {kResultOk, "extracted"};
}

Outcome List(const Targets& t) {
    std::vector<Member> members;
    std::string err;
    if (!ListArchive(HostPathFromWindows(t.archive), &members, &err))
        return Error(kResultBadArchive, "damaged archive: " + err);
    std::string text;
    for (const Member& m : members) {
        text += m.method + " " + std::to_string(m.originalSize) + " " + std::to_string(m.compressedSize) + " " + m.path +
                "\n";
    }
    return {kResultOk, text};
}

Outcome Test(const Targets& t) {
    const fs::path archive = HostPathFromWindows(t.archive);
    FileHandle f(std::fopen(archive.c_str(), "rb"));
    if (!f) return Error(kResultNotFound, "cannot open " + PathText(archive));
    std::string err;
    if (!TestArchive(f.get(), 0, 0, &err)) return Error(kResultBadArchive, "damaged archive: " + err);
    return {kResultOk, "archive is sound"};
}

Outcome MakeSelfExtractor(const Targets& t) {
    sfx::SfxSources src;
    if (Outcome o = sfx::PrepareSfx(t.archive, t.folder, "archive", TestArchive, kStubName, &src); o.code) return o;
    const fs::path& archive = src.archive;
    const fs::path& folder = src.folder;
    const fs::path& stub = src.stub;
    const fs::path output = folder / (archive.stem().string() + ".exe");
    std::string err;
    if (!sfx::MakeSfx(stub, archive, sfx::Kind::Lha, "", output, &err)) return Error(kResultFile, err);
    return {kResultOk, "created " + output.string()};
}

Outcome Run(const char* commandLine) {
    if (!commandLine) return Error(kResultCommand, "no command line");
    CommandLine cl;
    std::string err;
    if (!ParseCommandLine(commandLine, &cl, &err)) return Error(kResultCommand, err);
    if (cl.args.empty()) return Error(kResultCommand, "no command given");
    const std::string command = sj::ToLower(cl.args[0]);
    const Targets t = SplitTargets(cl.args);
    if (t.archive.empty()) return Error(kResultCommand, "no archive given");
    if (command == "u" || command == "a") return Pack(cl, t);
    if (command == "x") return Extract(t);
    if (command == "l") return List(t);
    if (command == "t") return Test(t);
    if (command == "s") return MakeSelfExtractor(t);
    return Error(kResultCommand, "unsupported command: " + cl.args[0]);
}

}  // namespace
}  // namespace archivers::lha

ARCHIVERS_EXPORT int Unlha(void* owner, const char* commandLine, char* output, uint32_t outputSize) {
    using namespace archivers;
    return RunEntry(lha::g_running, output, outputSize, [&] { return lha::Run(commandLine); });
}

ARCHIVERS_EXPORT int UnlhaGetRunning(void) { return archivers::lha::g_running ? 1 : 0; }

ARCHIVERS_EXPORT uint16_t UnlhaGetVersion(void) { return archivers::lha::kVersion; }
