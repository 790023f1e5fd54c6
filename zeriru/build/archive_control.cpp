#include "zeriru/archive_control.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>

#include "platform/hostfile.h"
#include "platform/prefix.h"
#include "platform/sjis.h"
#include "platform/winpath.h"

namespace zeriru {

namespace fs = std::filesystem;
namespace sj = platform::sjis;

namespace {

using EntryFn = int (*)(void*, const char*, char*, std::uint32_t);
using RunningFn = int (*)();

// One element of a command line, followed by one blank unless it already ends with one.
void AddElement(std::string& line, std::string_view element) {
    line += element;
    if (element.empty() || element.back() != ' ') line.push_back(' ');
}

// A path in double quotes; a double quote inside is doubled.
std::string Quoted(std::string_view path) {
    std::string q = "\"";
    for (std::size_t i = 0; i < path.size(); i = sj::NextChar(path, i)) {
        const std::size_t len = sj::CharLength(path, i);
        if (len == 1 && path[i] == '"') q.push_back('"');
        q.append(path.substr(i, len));
    }
    return q + "\"";
}

// The folder with a trailing "\" (a trail byte 0x5C is not one).
std::string WithBackslash(std::string folder) {
    if (folder.empty() || folder.back() != '\\' || !sj::IsCharBoundary(folder, folder.size() - 1)) folder += "\\";
    return folder;
}

}  // namespace

fs::path ArchiveHost::HostPath(std::string_view windowsPath) const {
    return platform::winpath::ToHostPath(windowsPath).value_or(fs::path());
}

fs::path ArchiveHost::LibraryFolder() const {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    // Installed, the suite keeps its libraries in lib/zuzoruve; in the build tree they are in lib.
    const fs::path lib = exe.parent_path().parent_path() / "lib";
    return fs::is_directory(lib / platform::kSuiteName, ec) ? lib / platform::kSuiteName : lib;
}

void TCabOptions::SetCompressLevel(int level) {
    if (CompressType == ctQuantum) {
        level_ = std::clamp(level, 1, 7);
    } else {
        level_ = std::clamp(level, 15, 21);
    }
}

struct TArchiveControl::Library {
    std::string file;
    const char* entryName;
    const char* runningName;
    bool tried = false;
    void* handle = nullptr;
    EntryFn entry = nullptr;
    RunningFn running = nullptr;

    // Loaded on first use; stays loaded for the life of the process.
    void Load(const fs::path& folder) {
        if (tried) return;
        tried = true;
        handle = ::dlopen((folder / file).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) return;
        entry = reinterpret_cast<EntryFn>(::dlsym(handle, entryName));
        running = reinterpret_cast<RunningFn>(::dlsym(handle, runningName));
    }
};

TArchiveControl::TArchiveControl(const ArchiveHost& host)
    : host_(host),
      lha_(new Library{"libunlha32.so", "Unlha", "UnlhaGetRunning"}),
      cab_(new Library{"libcab32.so", "Cab", "CabGetRunning"}) {}

TArchiveControl::~TArchiveControl() {
    delete lha_;
    delete cab_;
}

TArchiveControl::Library& TArchiveControl::Lha() {
    lha_->Load(host_.LibraryFolder());
    return *lha_;
}

TArchiveControl::Library& TArchiveControl::CabLib() {
    cab_->Load(host_.LibraryFolder());
    return *cab_;
}

int TArchiveControl::Unlha(const std::string& commandLine, char* output, std::uint32_t outputSize) {
    Library& lib = Lha();
    if (!lib.entry) return kLibraryMissing;
    return lib.entry(host_.OwnerWindow(), commandLine.c_str(), output, outputSize);
}

int TArchiveControl::Cab(const std::string& commandLine, char* output, std::uint32_t outputSize) {
    Library& lib = CabLib();
    if (!lib.entry) return kLibraryMissing;
    return lib.entry(host_.OwnerWindow(), commandLine.c_str(), output, outputSize);
}

bool TArchiveControl::UnlhaGetRunning() {
    Library& lib = Lha();
    return lib.running && lib.running() != 0;
}

bool TArchiveControl::CabGetRunning() {
    Library& lib = CabLib();
    return lib.running && lib.running() != 0;
}

void TArchiveControl::SetArchiveFile(const std::string& path) {
    archive_ = path;
    kind_ = ArchiveKind::None;
    std::error_code ec;
    if (fs::exists(host_.HostPath(path), ec)) {
        char out[256];
        if (Unlha("l " + Quoted(path), out, sizeof out) == 0) {
            kind_ = ArchiveKind::Lha;
        } else if (Cab("-l " + Quoted(path), out, sizeof out) == 0) {
            kind_ = ArchiveKind::Cab;
        }
        return;
    }
    if (sj::EndsWithNoCase(path, ".lzh")) {
        kind_ = ArchiveKind::Lha;
    } else if (sj::EndsWithNoCase(path, ".cab")) {
        kind_ = ArchiveKind::Cab;
    }
}

std::string TArchiveControl::MaskElements(const std::vector<std::string>& masks) {
    std::string line;
    if (masks.size() > kMaxMasksOnCommandLine) {
        const std::string response = host_.EditorFolder() + "Response.txt";
        std::string text;
        for (const std::string& m : masks) text += Quoted(m) + "\r\n";
        platform::WriteHostFileAtomic(host_.HostPath(response), text);
        AddElement(line, "@" + Quoted(response));
        return line;
    }
    for (const std::string& m : masks) AddElement(line, Quoted(m));
    return line;
}

std::string TArchiveControl::PackCommandLine(const std::string& folder, const std::vector<std::string>& masks) {
    std::string line;
    if (kind_ == ArchiveKind::Lha) {
        AddElement(line, "u");
        AddElement(line, "-jm" + std::to_string(static_cast<int>(LhaOptions.CompressType)));
        const unsigned o = LhaOptions.CompressOptions;
        if (o & TLhaOptions::coIncludeDir) AddElement(line, "-x1");
        if (o & TLhaOptions::coOverWrite) AddElement(line, "-c1");
        if (o & TLhaOptions::coIncludeHidden) AddElement(line, "-a1");
        // Recursion keeps the folders as members too when folders are included.
        if (o & TLhaOptions::coRecurse) AddElement(line, (o & TLhaOptions::coIncludeDir) ? "-r2" : "-r1");
        if (SilentMode) AddElement(line, "-n");
        AddElement(line, "-gp0");
    } else {
        AddElement(line, "-a");
        AddElement(line, "-ml:" + std::to_string(CabOptions.CompressLevel()));
        if (SilentMode) AddElement(line, "-i");
    }
    AddElement(line, Quoted(archive_));
    AddElement(line, Quoted(WithBackslash(folder)));
    line += MaskElements(masks);
    return line;
}

std::string TArchiveControl::SfxCommandLine(const std::string& folder) const {
    std::string line;
    if (kind_ == ArchiveKind::Lha) {
        AddElement(line, "s -+ -x1");
        AddElement(line, "-gw4");
        if (SilentMode) AddElement(line, "-n");
        AddElement(line, "-gp0");
    } else {
        AddElement(line, "-f");
        if (SilentMode) AddElement(line, "-i");
    }
    AddElement(line, Quoted(archive_));
    AddElement(line, Quoted(WithBackslash(folder)));
    return line;
}

int TArchiveControl::Pack(const std::string& folder, const std::vector<std::string>& masks) {
    if (kind_ == ArchiveKind::None) return kNoKind;
    const bool lha = kind_ == ArchiveKind::Lha;
    if (lha ? UnlhaGetRunning() : CabGetRunning()) return kBusy;
    std::error_code ec;
    if (!fs::is_directory(host_.HostPath(folder), ec)) return kFailed;
    // A cabinet cannot be updated.
    if (!lha && fs::exists(host_.HostPath(archive_), ec)) return kFailed;
    const std::string line = PackCommandLine(folder, masks);
    const int r = lha ? Unlha(line) : Cab(line);
    return r == 0 ? kOk : kFailed;
}

int TArchiveControl::MakeSfx(const std::string& folder) {
    if (kind_ == ArchiveKind::None) return kNoKind;
    const bool lha = kind_ == ArchiveKind::Lha;
    if (lha ? UnlhaGetRunning() : CabGetRunning()) return kBusy;
    std::error_code ec;
    if (!fs::exists(host_.HostPath(archive_), ec) || !fs::is_directory(host_.HostPath(folder), ec)) return kFailed;
    const std::string line = SfxCommandLine(folder);
    const int r = lha ? Unlha(line) : Cab(line);
    return r == 0 ? kOk : kFailed;
}

}  // namespace zeriru
