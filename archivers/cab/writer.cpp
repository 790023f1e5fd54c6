#include <cstring>

#include "cabinet.h"
#include "checksum.h"
#include "common/hostfiles.h"
#include "layout.h"
#include "mszip.h"

namespace archivers::cab {

namespace {

bool Fail(std::string* error, const std::string& what) {
    if (error) *error = what;
    return false;
}

struct PlannedFolder {
    std::vector<const FoundFile*> files;
    std::uint32_t dataOffset = 0;
    std::uint16_t blocks = 0;
};

struct WrittenFile {
    const FoundFile* file;
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
    std::uint16_t folder = 0;
};

// Collects a folder's bytes into blocks of kBlockSize and writes each as it fills.
class BlockWriter {
public:
    BlockWriter(std::FILE* out, const WriteSettings& s) : out_(out), settings_(s), zip_(s.level) {}

    void StartFolder() {
        zip_.Reset();
        pending_.clear();
        blocks_ = 0;
    }
    bool Add(const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            const std::size_t take = std::min(size, kBlockSize - pending_.size());
            pending_.insert(pending_.end(), data, data + take);
            data += take;
            size -= take;
            if (pending_.size() == kBlockSize && !Flush()) return false;
        }
        return true;
    }
    bool Finish() { return pending_.empty() || Flush(); }
    std::uint32_t blocks() const { return blocks_; }
    std::string error;

private:
    bool Flush() {
        if (settings_.compression == Compression::MsZip) {
            if (!zip_.Compress(pending_.data(), pending_.size(), &packed_)) return Fail(&error, "deflate failed");
        } else {
            packed_.assign(reinterpret_cast<const char*>(pending_.data()), pending_.size());
        }
        std::string header(kBlockHeaderSize, '\0');
        const auto csize = static_cast<std::uint16_t>(packed_.size());
        const auto usize = static_cast<std::uint16_t>(pending_.size());
        Put32(header, 0, BlockChecksum(reinterpret_cast<const std::uint8_t*>(packed_.data()), csize, usize));
        Put16(header, 4, csize);
        Put16(header, 6, usize);
        if (std::fwrite(header.data(), 1, header.size(), out_) != header.size() ||
            std::fwrite(packed_.data(), 1, packed_.size(), out_) != packed_.size())
            return Fail(&error, "write error");
        pending_.clear();
        ++blocks_;
        return true;
    }

    std::FILE* out_;
    const WriteSettings& settings_;
    MsZipCompressor zip_;
    std::vector<std::uint8_t> pending_;
    std::string packed_;
    std::uint32_t blocks_ = 0;
};

}  // namespace

bool WriteCabinet(const std::filesystem::path& cabinet, const std::vector<FoundFile>& files,
                  const WriteSettings& settings, std::string* error) {
    // Plan folders so that none outgrows its limits.
    std::vector<PlannedFolder> folders(1);
    std::uint64_t folderBytes = 0;
    std::size_t fileCount = 0;
    std::size_t headerSize = kHeaderSize;
    for (const FoundFile& f : files) {
        if (f.directory) continue;
        if (f.name.empty() || f.name.size() > kMaxName) return Fail(error, "file name too long for a cabinet: " + f.host.string());
        if (f.size > kMaxFolderBytes)
            return Fail(error, "file too large for a cabinet: " + f.host.string());
        if (folderBytes > 0 && folderBytes + f.size > settings.maxFolderBytes) {
            folders.emplace_back();
            folderBytes = 0;
        }
        folders.back().files.push_back(&f);
        folderBytes += f.size;
        ++fileCount;
        headerSize += kFileFixedSize + f.name.size() + 1;
    }
    if (fileCount == 0) return Fail(error, "no files to put into the cabinet");
    if (fileCount > 0xFFFF || folders.size() > 0xFFFF) return Fail(error, "too many files for one cabinet");
    headerSize += kFolderSize * folders.size();

    TempFile temp;
    if (!temp.Create(cabinet, error)) return false;
    std::FILE* out = temp.file();
    const std::string placeholder(headerSize, '\0');
    if (std::fwrite(placeholder.data(), 1, placeholder.size(), out) != placeholder.size())
        return Fail(error, "write error");

    BlockWriter blocks(out, settings);
    std::vector<WrittenFile> written;
    std::vector<std::uint8_t> chunk(1 << 16);
    for (std::size_t fi = 0; fi < folders.size(); ++fi) {
        PlannedFolder& folder = folders[fi];
        folder.dataOffset = static_cast<std::uint32_t>(std::ftell(out));
        blocks.StartFolder();
        std::uint64_t offset = 0;
        for (const FoundFile* f : folder.files) {
            HostFile in;
            if (!in.OpenRead(f->host, error)) return false;
            const ByteSource src = in.Source();
            std::uint64_t size = 0;
            while (true) {
                const std::ptrdiff_t n = src(chunk.data(), chunk.size());
                if (n < 0) return Fail(error, "read error on " + f->host.string());
                if (n == 0) break;
                size += static_cast<std::uint64_t>(n);
                if (size > f->size) return Fail(error, "file grew while packing: " + f->host.string());
                if (!blocks.Add(chunk.data(), static_cast<std::size_t>(n))) return Fail(error, blocks.error);
            }
            written.push_back({f, static_cast<std::uint32_t>(size), static_cast<std::uint32_t>(offset),
                               static_cast<std::uint16_t>(fi)});
            offset += size;
        }
        if (!blocks.Finish()) return Fail(error, blocks.error);
        if (blocks.blocks() > 0xFFFF) return Fail(error, "too many blocks in one cabinet folder");
        folder.blocks = static_cast<std::uint16_t>(blocks.blocks());
    }
    const long total = std::ftell(out);
    if (total < 0 || static_cast<std::uint64_t>(total) > 0xFFFFFFFFu) return Fail(error, "cabinet too large");

    std::string h(kHeaderSize, '\0');
    std::memcpy(h.data(), "MSCF", 4);
    Put32(h, 8, static_cast<std::uint32_t>(total));
    Put32(h, 16, static_cast<std::uint32_t>(kHeaderSize + kFolderSize * folders.size()));
    h[24] = static_cast<char>(kVersionMinor);
    h[25] = static_cast<char>(kVersionMajor);
    Put16(h, 26, static_cast<std::uint32_t>(folders.size()));
    Put16(h, 28, static_cast<std::uint32_t>(written.size()));
    Put16(h, 30, 0);
    Put16(h, 32, 0x5A52);  // set id: any value, one cabinet per set
    Put16(h, 34, 0);
    for (const PlannedFolder& folder : folders) {
        std::string rec(kFolderSize, '\0');
        Put32(rec, 0, folder.dataOffset);
        Put16(rec, 4, folder.blocks);
        Put16(rec, 6, static_cast<std::uint32_t>(settings.compression));
        h += rec;
    }
    for (const WrittenFile& w : written) {
        std::string rec(kFileFixedSize, '\0');
        std::uint16_t date = 0;
        std::uint16_t time = 0;
        ToDosTime(w.file->mtime, &date, &time);
        Put32(rec, 0, w.size);
        Put32(rec, 4, w.offset);
        Put16(rec, 8, w.folder);
        Put16(rec, 10, date);
        Put16(rec, 12, time);
        Put16(rec, 14, w.file->attributes & 0x27);  // read-only, hidden, system, archive
        h += rec;
        h += w.file->name;
        h.push_back('\0');
    }
    if (h.size() != headerSize) return Fail(error, "file names changed while packing");
    std::fseek(out, 0, SEEK_SET);
    if (std::fwrite(h.data(), 1, h.size(), out) != h.size()) return Fail(error, "write error");
    std::fseek(out, 0, SEEK_END);
    return temp.Commit(cabinet, error);
}

}  // namespace archivers::cab
