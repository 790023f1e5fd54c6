#include "archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "common/hostfiles.h"
#include "common/safe_path.h"
#include "crc16.h"
#include "decoder.h"
#include "encoder.h"
#include "platform/sjis.h"

namespace archivers::lha {

namespace fs = std::filesystem;
namespace sj = platform::sjis;

namespace {

bool Fail(std::string* error, const std::string& what) {
    if (error) *error = what;
    return false;
}

// Operating system mark written into headers: the archives come from Windows paths.
constexpr std::uint8_t kOsMark = 'M';

}  // namespace

ArchiveReader::ArchiveReader(std::FILE* file, long start, long end) : file_(file), end_(end), nextAt_(start) {
    if (end_ <= 0) {
        std::fseek(file_, 0, SEEK_END);
        end_ = std::ftell(file_);
    }
}

HeaderStatus ArchiveReader::Next(Member* m, std::string* error) {
    const long at = nextAt_;
    if (at >= end_) return HeaderStatus::End;
    if (std::fseek(file_, at, SEEK_SET) != 0) {
        Fail(error, "seek failed");
        return HeaderStatus::Error;
    }
    long pos = at;
    const long end = end_;
    std::FILE* f = file_;
    auto read = [&](std::uint8_t* buf, std::size_t size) {
        if (pos + static_cast<long>(size) > end) return false;
        if (std::fread(buf, 1, size, f) != size) return false;
        pos += static_cast<long>(size);
        return true;
    };
    std::size_t headerSize = 0;
    const HeaderStatus st = DecodeHeader(read, &current_, &headerSize, error);
    if (st != HeaderStatus::Ok) {
        nextAt_ = end_;
        return st;
    }
    headerAt_ = at;
    dataAt_ = at + static_cast<long>(headerSize);
    if (current_.compressedSize > static_cast<std::uint64_t>(end_ - dataAt_)) {
        nextAt_ = end_;
        Fail(error, "member data beyond the end of the archive");
        return HeaderStatus::Error;
    }
    nextAt_ = dataAt_ + static_cast<long>(current_.compressedSize);
    *m = current_;
    return HeaderStatus::Ok;
}

bool ArchiveReader::Extract(const ByteSink& sink, std::string* error) {
    if (current_.IsDirectory()) return true;
    const MethodTraits* method = FindMethod(current_.method);
    if (!method) return Fail(error, "unsupported method " + current_.method);
    if (std::fseek(file_, dataAt_, SEEK_SET) != 0) return Fail(error, "seek failed");
    std::FILE* f = file_;
    const ByteSource source = [f](std::uint8_t* buf, std::size_t size) -> std::ptrdiff_t {
        const std::size_t n = std::fread(buf, 1, size, f);
        if (n == 0 && std::ferror(f)) return -1;
        return static_cast<std::ptrdiff_t>(n);
    };
    const CodingResult r = DecodeMember(*method, source, current_.compressedSize, current_.originalSize, sink, error);
    if (!r.ok) return false;
    if (r.crc != current_.crc) return Fail(error, "CRC mismatch in " + sj::ToUtf8(current_.path, sj::Unconvertible::Replace));
    return true;
}

bool ArchiveReader::CopyRaw(const ByteSink& sink, std::string* error) {
    if (std::fseek(file_, headerAt_, SEEK_SET) != 0) return Fail(error, "seek failed");
    std::uint64_t left = static_cast<std::uint64_t>(dataAt_ - headerAt_) + current_.compressedSize;
    std::vector<std::uint8_t> chunk(1 << 16);
    while (left > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
        if (std::fread(chunk.data(), 1, want, file_) != want) return Fail(error, "read error");
        if (!sink(chunk.data(), want)) return Fail(error, "write error");
        left -= want;
    }
    return true;
}

namespace {

CodingResult CopyStream(const ByteSource& in, const ByteSink& out) {
    CodingResult r;
    Crc16 crc;
    std::vector<std::uint8_t> chunk(1 << 16);
    while (true) {
        const std::ptrdiff_t n = in(chunk.data(), chunk.size());
        if (n < 0) return r;
        if (n == 0) break;
        crc.Update(chunk.data(), static_cast<std::size_t>(n));
        if (!out(chunk.data(), static_cast<std::size_t>(n))) return r;
        r.originalSize += static_cast<std::uint64_t>(n);
    }
    r.ok = true;
    r.crc = crc.Value();
    return r;
}

// Writes one file's member at the end of out; sizes and CRC are filled in after the data.
bool WriteFileMember(std::FILE* out, const FoundFile& file, const PackSettings& settings, std::string* error) {
    Member m;
    m.os = kOsMark;
    m.path = file.name;
    m.mtime = file.mtime;
    m.attributes = file.attributes;
    if (file.directory) {
        m.method = std::string(kDirectoryMethod);
        m.attributes = static_cast<std::uint16_t>(file.attributes | kAttrDirectory);
        const std::string h = EncodeHeader(m);
        if (std::fwrite(h.data(), 1, h.size(), out) != h.size()) return Fail(error, "write error");
        return true;
    }
    const MethodTraits* method = settings.method;
    // Sizes above 4 GiB need the 64-bit extended header; decide its presence before writing.
    m.originalSize = file.size;
    m.compressedSize = file.size;
    m.method = method->name;
    const long headerAt = std::ftell(out);
    std::string h = EncodeHeader(m);
    const std::size_t headerSize = h.size();
    if (std::fwrite(h.data(), 1, h.size(), out) != h.size()) return Fail(error, "write error");

    HostFile in;
    if (!in.OpenRead(file.host, error)) return false;
    const ByteSource source = in.Source();
    const ByteSink sink = [out](const std::uint8_t* d, std::size_t n) { return std::fwrite(d, 1, n, out) == n; };

    CodingResult r;
    if (method->stored) {
        r = CopyStream(source, sink);
        r.compressedSize = r.originalSize;
    } else {
        Encoder enc(*method);
        r = enc.Encode(source, sink);
        if (r.ok && !settings.forceMethod && r.compressedSize >= r.originalSize) {
            // Incompressible: keep the bytes as they are.
            std::fflush(out);
            if (::ftruncate(::fileno(out), headerAt + static_cast<long>(headerSize)) != 0)
                return Fail(error, std::string("ftruncate: ") + std::strerror(errno));
            std::fseek(out, headerAt + static_cast<long>(headerSize), SEEK_SET);
            if (!in.Rewind(error)) return false;
            method = FindMethod("-lh0-");
            r = CopyStream(in.Source(), sink);
            r.compressedSize = r.originalSize;
        }
    }
    if (!r.ok) return Fail(error, "cannot pack " + file.host.string());
    m.method = method->name;
    m.originalSize = r.originalSize;
    m.compressedSize = r.compressedSize;
    m.crc = r.crc;
    h = EncodeHeader(m);
    if (h.size() != headerSize) return Fail(error, "file changed size while packing: " + file.host.string());
    const long endAt = std::ftell(out);
    std::fseek(out, headerAt, SEEK_SET);
    if (std::fwrite(h.data(), 1, h.size(), out) != h.size()) return Fail(error, "write error");
    std::fseek(out, endAt, SEEK_SET);
    return true;
}

}  // namespace

bool UpdateArchive(const fs::path& archive, const std::vector<FoundFile>& files, const PackSettings& settings,
                   std::string* error) {
    if (!settings.method) return Fail(error, "no compression method");
    // Members already in the archive, by upper-cased name.
    std::map<std::string, Member> existing;
    std::error_code ec;
    FileHandle old;
    if (fs::exists(archive, ec)) {
        old.reset(std::fopen(archive.c_str(), "rb"));
        if (!old) return Fail(error, "cannot open " + PathText(archive));
        ArchiveReader reader(old.get(), 0, 0);
        Member m;
        HeaderStatus st;
        while ((st = reader.Next(&m, error)) == HeaderStatus::Ok) existing[sj::ToUpper(m.path)] = m;
        if (st == HeaderStatus::Error) return false;
    }

    // Which files go in: all of them, or with onlyNewer those newer than their member.
    std::vector<const FoundFile*> incoming;
    std::map<std::string, bool> replaced;
    for (const FoundFile& f : files) {
        const std::string key = sj::ToUpper(f.name);
        auto it = existing.find(key);
        if (it != existing.end() && settings.onlyNewer && it->second.mtime >= f.mtime) continue;
        replaced[key] = true;
        incoming.push_back(&f);
    }

    TempFile temp;
    if (!temp.Create(archive, error)) return false;
    std::FILE* out = temp.file();
    if (old) {
        ArchiveReader reader(old.get(), 0, 0);
        Member m;
        const ByteSink sink = [out](const std::uint8_t* d, std::size_t n) { return std::fwrite(d, 1, n, out) == n; };
        while (reader.Next(&m, error) == HeaderStatus::Ok) {
            if (replaced.count(sj::ToUpper(m.path))) continue;
            if (!reader.CopyRaw(sink, error)) return false;
        }
    }
    for (const FoundFile* f : incoming) {
        if (!WriteFileMember(out, *f, settings, error)) return false;
    }
    if (std::fputc(0, out) == EOF) return Fail(error, "write error");
    old.reset();
    return temp.Commit(archive, error);
}

bool ListArchive(const fs::path& archive, std::vector<Member>* members, std::string* error) {
    FileHandle f(std::fopen(archive.c_str(), "rb"));
    if (!f) return Fail(error, "cannot open " + PathText(archive));
    // An archive holds at least its end mark.
    if (std::fgetc(f.get()) == EOF) return Fail(error, "empty file");
    ArchiveReader reader(f.get(), 0, 0);
    Member m;
    HeaderStatus st;
    while ((st = reader.Next(&m, error)) == HeaderStatus::Ok) members->push_back(m);
    return st == HeaderStatus::End;
}

bool TestArchive(std::FILE* file, long start, long end, std::string* error) {
    ArchiveReader reader(file, start, end);
    Member m;
    HeaderStatus st;
    const ByteSink discard = [](const std::uint8_t*, std::size_t) { return true; };
    int count = 0;
    while ((st = reader.Next(&m, error)) == HeaderStatus::Ok) {
        if (!reader.Extract(discard, error)) return false;
        ++count;
    }
    if (st == HeaderStatus::Error) return false;
    if (count == 0) return Fail(error, "no members in the archive");
    return true;
}

bool ListMemberNames(std::FILE* file, long start, long end, const std::function<bool(const Member&)>& select,
                     std::vector<MemberName>* names, std::string* error) {
    ArchiveReader reader(file, start, end);
    Member m;
    HeaderStatus st;
    while ((st = reader.Next(&m, error)) == HeaderStatus::Ok) {
        if (select && !select(m)) continue;
        names->push_back({m.path, m.IsDirectory()});
    }
    return st == HeaderStatus::End;
}

bool ExtractArchive(std::FILE* file, long start, long end, const fs::path& dest,
                    const std::function<bool(const Member&)>& select, std::string* error,
                    std::vector<fs::path>* written, bool newFilesOnly) {
    // First pass: every selected name must stay inside dest and clash with no other member
    // before anything is written.
    {
        std::vector<MemberName> names;
        if (!ListMemberNames(file, start, end, select, &names, error)) return false;
        if (!CheckMemberSet(names, error)) return false;
    }
    std::error_code ec;
    fs::create_directories(dest, ec);
    ArchiveReader reader(file, start, end);
    Member m;
    HeaderStatus st;
    while ((st = reader.Next(&m, error)) == HeaderStatus::Ok) {
        if (select && !select(m)) continue;
        const auto rel = SafeRelativePath(m.path, error);
        if (!rel) return false;
        if (m.IsDirectory()) {
            if (!PrepareInside(dest, *rel / "x", error)) return false;
            continue;
        }
        if (!PrepareInside(dest, *rel, error)) return false;
        const fs::path target = dest / *rel;
        HostFile outFile;
        if (!(newFilesOnly ? outFile.CreateNew(target, error) : outFile.CreateWrite(target, error))) return false;
        if (!reader.Extract(outFile.Sink(), error) || !outFile.Close(error)) {
            outFile.Close(nullptr);
            fs::remove(target, ec);
            return false;
        }
        SetHostFileInfo(target, m.mtime, (m.attributes & kAttrReadOnly) != 0);
        if (written) written->push_back(target);
    }
    return st == HeaderStatus::End;
}

}  // namespace archivers::lha
