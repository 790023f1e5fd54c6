#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <system_error>

#include "cabinet.h"
#include "checksum.h"
#include "common/hostfiles.h"
#include "common/safe_path.h"
#include "layout.h"
#include "mszip.h"

namespace archivers::cab {

namespace {

bool Fail(std::string* error, const std::string& what) {
    if (error) *error = what;
    return false;
}

}  // namespace

bool CabinetReader::Open(std::FILE* file, long start, long end, std::string* error) {
    file_ = file;
    start_ = start;
    if (end <= 0) {
        std::fseek(file, 0, SEEK_END);
        end = std::ftell(file);
    }
    end_ = end;
    folders_.clear();
    entries_.clear();
    const long size = end_ - start_;
    auto readAt = [&](long offset, std::uint8_t* buf, std::size_t n) {
        if (offset < 0 || offset > size || static_cast<long>(n) > size - offset) return false;
        if (std::fseek(file_, start_ + offset, SEEK_SET) != 0) return false;
        return std::fread(buf, 1, n, file_) == n;
    };
    std::uint8_t h[kHeaderSize];
    if (!readAt(0, h, sizeof h) || std::memcmp(h, "MSCF", 4) != 0) return Fail(error, "not a cabinet");
    const std::uint32_t cabSize = Get32(h + 8);
    const std::uint32_t filesAt = Get32(h + 16);
    const std::uint32_t folderCount = Get16(h + 26);
    const std::uint32_t fileCount = Get16(h + 28);
    flags_ = static_cast<std::uint16_t>(Get16(h + 30));
    if (h[25] != kVersionMajor) return Fail(error, "unsupported cabinet version");
    if (cabSize > static_cast<std::uint64_t>(size)) return Fail(error, "cabinet cut short");
    if (flags_ & kFlagPrevOrNext) return Fail(error, "cabinets spanning several files are not supported");
    long at = kHeaderSize;
    std::uint32_t folderReserve = 0;
    blockReserve_ = 0;
    if (flags_ & kFlagReservePresent) {
        std::uint8_t r[4];
        if (!readAt(at, r, 4)) return Fail(error, "cabinet header cut short");
        at += 4 + static_cast<long>(Get16(r));
        folderReserve = r[2];
        blockReserve_ = r[3];
    }
    for (std::uint32_t i = 0; i < folderCount; ++i) {
        std::uint8_t f[kFolderSize];
        if (!readAt(at, f, sizeof f)) return Fail(error, "folder records cut short");
        at += static_cast<long>(kFolderSize + folderReserve);
        Folder folder;
        folder.dataOffset = Get32(f);
        folder.blocks = static_cast<std::uint16_t>(Get16(f + 4));
        folder.compression = static_cast<std::uint16_t>(Get16(f + 6));
        if (folder.dataOffset > cabSize) return Fail(error, "folder data outside the cabinet");
        folders_.push_back(folder);
    }
    at = static_cast<long>(filesAt);
    for (std::uint32_t i = 0; i < fileCount; ++i) {
        std::uint8_t f[kFileFixedSize];
        if (!readAt(at, f, sizeof f)) return Fail(error, "file records cut short");
        at += kFileFixedSize;
        Entry e;
        e.size = Get32(f);
        e.offset = Get32(f + 4);
        e.folder = static_cast<std::uint16_t>(Get16(f + 8));
        e.date = static_cast<std::uint16_t>(Get16(f + 10));
        e.time = static_cast<std::uint16_t>(Get16(f + 12));
        e.attributes = static_cast<std::uint16_t>(Get16(f + 14));
        e.mtime = FromDosTime(e.date, e.time);
        if (e.folder >= folders_.size()) return Fail(error, "file in a folder that does not exist");
        std::uint8_t c = 1;
        while (true) {
            if (!readAt(at, &c, 1)) return Fail(error, "file name cut short");
            ++at;
            if (c == 0) break;
            if (e.name.size() >= kMaxName + 1) return Fail(error, "file name too long");
            e.name.push_back(static_cast<char>(c));
        }
        entries_.push_back(std::move(e));
    }
    return true;
}

bool CabinetReader::ReadAll(const std::function<ByteSink*(const Entry&)>& open,
                            const std::function<bool(const Entry&)>& close, std::string* error) {
    MsZipDecompressor zip;
    std::vector<std::uint8_t> packed;
    std::vector<std::uint8_t> plain;
    for (std::size_t fi = 0; fi < folders_.size(); ++fi) {
        const Folder& folder = folders_[fi];
        std::vector<const Entry*> todo;
        for (const Entry& e : entries_) {
            if (e.folder == fi) todo.push_back(&e);
        }
        std::stable_sort(todo.begin(), todo.end(), [](const Entry* a, const Entry* b) { return a->offset < b->offset; });
        if (folder.compression != static_cast<std::uint16_t>(Compression::None) &&
            folder.compression != static_cast<std::uint16_t>(Compression::MsZip))
            return Fail(error, "unsupported compression type " + std::to_string(folder.compression & 0x0F));
        zip.Reset();
        std::vector<std::pair<const Entry*, ByteSink*>> active;
        std::size_t next = 0;
        std::uint64_t pos = 0;
        long at = static_cast<long>(folder.dataOffset);
        auto openUpTo = [&](std::uint64_t limit) -> bool {
            while (next < todo.size() && (todo[next]->offset < limit || (todo[next]->size == 0 && todo[next]->offset <= limit))) {
                const Entry* e = todo[next++];
                if (e->offset < pos) return Fail(error, "overlapping files in a cabinet folder");
                ByteSink* sink = open(*e);
                if (e->size == 0) {
                    if (!close(*e)) return Fail(error, "cannot finish " + e->name);
                } else {
                    active.push_back({e, sink});
                }
            }
            return true;
        };
        if (!openUpTo(0)) return false;
        for (std::uint32_t b = 0; b < folder.blocks; ++b) {
            std::uint8_t bh[kBlockHeaderSize];
            if (at < 0 || at + static_cast<long>(kBlockHeaderSize) > end_ - start_ ||
                std::fseek(file_, start_ + at, SEEK_SET) != 0 || std::fread(bh, 1, sizeof bh, file_) != sizeof bh)
                return Fail(error, "data block cut short");
            const std::uint32_t sum = Get32(bh);
            const std::uint32_t csize = Get16(bh + 4);
            const std::uint32_t usize = Get16(bh + 6);
            at += static_cast<long>(kBlockHeaderSize + blockReserve_);
            if (csize > kMaxCompressedBlock || usize > kBlockSize) return Fail(error, "data block too large");
            if (at + static_cast<long>(csize) > end_ - start_) return Fail(error, "data block cut short");
            packed.resize(csize);
            std::fseek(file_, start_ + at, SEEK_SET);
            if (csize > 0 && std::fread(packed.data(), 1, csize, file_) != csize) return Fail(error, "read error");
            at += static_cast<long>(csize);
            if (sum != 0 && BlockChecksum(packed.data(), static_cast<std::uint16_t>(csize), static_cast<std::uint16_t>(usize)) != sum)
                return Fail(error, "checksum mismatch in data block " + std::to_string(b));
            if (folder.compression == static_cast<std::uint16_t>(Compression::MsZip)) {
                if (!zip.Decompress(packed.data(), csize, usize, &plain, error)) return false;
            } else {
                if (csize != usize) return Fail(error, "stored block with differing sizes");
                plain = packed;
            }
            const std::uint64_t blockEnd = pos + plain.size();
            if (!openUpTo(blockEnd)) return false;
            for (auto it = active.begin(); it != active.end();) {
                const Entry* e = it->first;
                const std::uint64_t from = std::max<std::uint64_t>(e->offset, pos);
                const std::uint64_t to = std::min<std::uint64_t>(std::uint64_t{e->offset} + e->size, blockEnd);
                if (to > from && it->second &&
                    !(*it->second)(plain.data() + (from - pos), static_cast<std::size_t>(to - from)))
                    return Fail(error, "write error on " + e->name);
                if (std::uint64_t{e->offset} + e->size <= blockEnd) {
                    if (!close(*e)) return Fail(error, "cannot finish " + e->name);
                    it = active.erase(it);
                } else {
                    ++it;
                }
            }
            pos = blockEnd;
        }
        if (!active.empty() || next < todo.size()) return Fail(error, "file data beyond the end of its folder");
    }
    return true;
}

bool TestCabinet(std::FILE* file, long start, long end, std::string* error) {
    CabinetReader reader;
    if (!reader.Open(file, start, end, error)) return false;
    if (reader.entries().empty()) return Fail(error, "no files in the cabinet");
    ByteSink discard = [](const std::uint8_t*, std::size_t) { return true; };
    return reader.ReadAll([&](const Entry&) { return &discard; }, [](const Entry&) { return true; }, error);
}

bool ExtractCabinet(std::FILE* file, long start, long end, const std::filesystem::path& dest, std::string* error,
                    std::vector<std::filesystem::path>* written, bool newFilesOnly) {
    CabinetReader reader;
    if (!reader.Open(file, start, end, error)) return false;
    {
        std::vector<MemberName> names;
        for (const Entry& e : reader.entries()) names.push_back({e.name, false});
        if (!CheckMemberSet(names, error)) return false;
    }
    std::map<const Entry*, std::filesystem::path> targets;
    for (const Entry& e : reader.entries()) {
        const auto rel = SafeRelativePath(e.name, error);
        if (!rel) return false;
        targets[&e] = *rel;
    }
    std::error_code ec;
    std::filesystem::create_directories(dest, ec);
    std::map<const Entry*, std::unique_ptr<HostFile>> open;
    std::map<const Entry*, ByteSink> sinks;
    std::string failure;
    const bool ok = reader.ReadAll(
        [&](const Entry& e) -> ByteSink* {
            const std::filesystem::path target = dest / targets[&e];
            auto f = std::make_unique<HostFile>();
            if (!PrepareInside(dest, targets[&e], &failure)) return nullptr;
            if (!(newFilesOnly ? f->CreateNew(target, &failure) : f->CreateWrite(target, &failure))) return nullptr;
            sinks[&e] = f->Sink();
            open[&e] = std::move(f);
            return &sinks[&e];
        },
        [&](const Entry& e) {
            auto it = open.find(&e);
            if (it == open.end()) return false;
            const bool closed = it->second->Close(&failure);
            open.erase(it);
            const std::filesystem::path target = dest / targets[&e];
            SetHostFileInfo(target, e.mtime, (e.attributes & kFileReadOnly) != 0);
            if (written) written->push_back(target);
            return closed;
        },
        error);
    if (!ok && !failure.empty() && error) *error = failure;
    return ok;
}

}  // namespace archivers::cab
