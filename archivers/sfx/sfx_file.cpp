#include "sfx/sfx_file.h"

#include "common/safe_path.h"
#include "common/hostpath.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

#include "common/hostfiles.h"

namespace archivers::sfx {

namespace fs = std::filesystem;

namespace {

// "ZSFX" + format version 1.
constexpr char kMagic[8] = {'Z', 'S', 'F', 'X', '0', '0', '0', '1'};
// magic, archive offset (8), archive size (8), options size (4), kind (4)
constexpr std::size_t kTrailerSize = 32;
// Stub options stay small; anything larger is not ours.
constexpr std::uint32_t kMaxOptions = 1 << 16;

void Put(std::string& s, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
std::uint64_t Get(const unsigned char* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

bool Fail(std::string* error, const std::string& what) {
    if (error) *error = what;
    return false;
}

bool Append(std::FILE* out, const fs::path& from, std::uint64_t* size, std::string* error) {
    FileHandle in(std::fopen(from.c_str(), "rb"));
    if (!in) return Fail(error, "cannot open " + PathText(from));
    std::vector<char> buf(1 << 16);
    *size = 0;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), in.get())) > 0) {
        if (std::fwrite(buf.data(), 1, n, out) != n) return Fail(error, "write error");
        *size += n;
    }
    if (std::ferror(in.get())) return Fail(error, "read error on " + from.string());
    return true;
}

}  // namespace

bool MakeSfx(const fs::path& stub, const fs::path& archive, Kind kind, const std::string& options,
             const fs::path& output, std::string* error) {
    if (options.size() > kMaxOptions) return Fail(error, "self-extractor options too long");
    TempFile temp;
    if (!temp.Create(output, error)) return false;
    std::uint64_t stubSize = 0;
    std::uint64_t archiveSize = 0;
    if (!Append(temp.file(), stub, &stubSize, error)) return false;
    if (!Append(temp.file(), archive, &archiveSize, error)) return false;
    std::string tail = options;
    tail.append(kMagic, sizeof kMagic);
    Put(tail, stubSize, 8);
    Put(tail, archiveSize, 8);
    Put(tail, options.size(), 4);
    Put(tail, static_cast<std::uint32_t>(kind), 4);
    if (std::fwrite(tail.data(), 1, tail.size(), temp.file()) != tail.size()) return Fail(error, "write error");
    ::fchmod(::fileno(temp.file()), 0755);
    return temp.Commit(output, error);
}

bool ReadLayout(std::FILE* file, Layout* layout, std::string* error) {
    if (std::fseek(file, 0, SEEK_END) != 0) return Fail(error, "seek failed");
    const long size = std::ftell(file);
    if (size < static_cast<long>(kTrailerSize)) return Fail(error, "no archive attached");
    unsigned char t[kTrailerSize];
    std::fseek(file, size - static_cast<long>(kTrailerSize), SEEK_SET);
    if (std::fread(t, 1, kTrailerSize, file) != kTrailerSize) return Fail(error, "read error");
    if (std::memcmp(t, kMagic, sizeof kMagic) != 0) return Fail(error, "no archive attached");
    const std::uint64_t offset = Get(t + 8, 8);
    const std::uint64_t archiveSize = Get(t + 16, 8);
    const std::uint64_t optionsSize = Get(t + 24, 4);
    const std::uint64_t kind = Get(t + 28, 4);
    const std::uint64_t room = static_cast<std::uint64_t>(size) - kTrailerSize;
    if (optionsSize > kMaxOptions || offset > room || archiveSize > room - offset ||
        optionsSize != room - offset - archiveSize)
        return Fail(error, "damaged self-extractor trailer");
    layout->kind = static_cast<Kind>(kind);
    layout->archiveOffset = static_cast<long>(offset);
    layout->archiveSize = static_cast<long>(archiveSize);
    layout->options.assign(static_cast<std::size_t>(optionsSize), '\0');
    std::fseek(file, static_cast<long>(offset + archiveSize), SEEK_SET);
    if (optionsSize > 0 && std::fread(layout->options.data(), 1, layout->options.size(), file) != layout->options.size())
        return Fail(error, "read error");
    return true;
}

fs::path FindStub(const char* name) {
    std::error_code ec;
    if (const char* dir = std::getenv("ARCHIVERS_STUB_DIR"); dir && *dir) {
        const fs::path p = fs::path(dir) / name;
        if (fs::exists(p, ec)) return p;
    }
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&FindStub), &info) && info.dli_fname) {
        const fs::path module = fs::weakly_canonical(fs::path(info.dli_fname), ec);
        for (const fs::path& p : {module.parent_path() / name, module.parent_path().parent_path() / "bin" / name,
                                  module.parent_path().parent_path() / "libexec" / name}) {
            if (fs::exists(p, ec)) return p;
        }
    }
    return {};
}

Outcome PrepareSfx(const std::string& archive, const std::string& folder, const char* noun, const ArchiveTest& test,
                   const char* stubName, SfxSources* out) {
    namespace fs = std::filesystem;
    const std::string name = noun;
    out->archive = HostPathFromWindows(archive);
    std::error_code ec;
    if (!fs::is_regular_file(out->archive, ec)) return Error(kResultNotFound, name + " not found: " + out->archive.string());
    out->folder = folder.empty() ? out->archive.parent_path() : HostPathFromWindows(folder);
    if (!fs::is_directory(out->folder, ec)) return Error(kResultNotFound, "folder not found: " + out->folder.string());
    // The stub checks the archive again before it extracts; refusing a damaged one here saves
    // shipping it.
    {
        FileHandle f(std::fopen(out->archive.c_str(), "rb"));
        std::string err;
        if (!f || !test(f.get(), 0, 0, &err)) return Error(kResultBadArchive, "damaged " + name + ": " + err);
    }
    out->stub = FindStub(stubName);
    if (out->stub.empty()) return Error(kResultFile, std::string("self-extractor stub ") + stubName + " not found");
    return {};
}

bool OpenOwnArchive(Kind kind, FileHandle* self, Layout* layout, std::string* error) {
    self->reset(std::fopen("/proc/self/exe", "rb"));
    if (!*self) {
        *error = "cannot open own program file";
        return false;
    }
    if (!ReadLayout(self->get(), layout, error)) return false;
    if (layout->kind != kind) {
        *error = kind == Kind::Cab ? "not a CAB self-extractor" : "not an LHA self-extractor";
        return false;
    }
    return true;
}

}  // namespace archivers::sfx
