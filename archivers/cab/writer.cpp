#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "cabinet.h"
#include "checksum.h"
#include "common/hostfiles.h"
#include "common/ordered_work.h"
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

// Blocks under way or waiting to be written, per thread.
constexpr std::size_t kPendingPerThread = 4;

using Block = std::shared_ptr<const std::vector<std::uint8_t>>;

// A data block ready to be written: its header and its packed bytes.
struct PackedBlock {
    std::string bytes;
    bool ok = false;
};

// Packs one block; `previous` is the folder's block before it (nullptr for the first).
PackedBlock PackBlock(const Block& previous, const Block& block, Compression compression, MsZipCompressor* zip) {
    PackedBlock packed;
    std::string data;
    if (compression == Compression::MsZip) {
        if (!zip->Compress(previous ? previous->data() : nullptr, previous ? previous->size() : 0, block->data(),
                           block->size(), &data))
            return packed;
    } else {
        data.assign(reinterpret_cast<const char*>(block->data()), block->size());
    }
    const auto csize = static_cast<std::uint16_t>(data.size());
    const auto usize = static_cast<std::uint16_t>(block->size());
    packed.bytes.assign(kBlockHeaderSize, '\0');
    Put32(packed.bytes, 0, BlockChecksum(reinterpret_cast<const std::uint8_t*>(data.data()), csize, usize));
    Put16(packed.bytes, 4, csize);
    Put16(packed.bytes, 6, usize);
    packed.bytes += data;
    packed.ok = true;
    return packed;
}

// Collects a folder's bytes into blocks of kBlockSize, packs them on a pool of threads and
// writes them in order. Each block is packed with the block before it as its history, so the
// bytes do not depend on the number of threads.
class BlockWriter {
public:
    BlockWriter(std::FILE* out, const WriteSettings& s, int threads)
        : out_(out),
          settings_(s),
          zips_(static_cast<std::size_t>(threads)),
          work_(threads, kPendingPerThread * static_cast<std::size_t>(threads),
                [this](PackedBlock& b) { return Write(b); }) {}

    void StartFolder() {
        previous_.reset();
        pending_.clear();
        blocks_ = 0;
    }
    bool Add(const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            const std::size_t take = std::min(size, kBlockSize - pending_.size());
            pending_.insert(pending_.end(), data, data + take);
            data += take;
            size -= take;
            if (pending_.size() == kBlockSize && !Submit()) return false;
        }
        return true;
    }
    // Writes the folder's last block and waits until every block is written.
    bool Finish() { return (pending_.empty() || Submit()) && work_.Finish(); }
    std::uint32_t blocks() const { return blocks_; }
    std::string error;

private:
    bool Submit() {
        auto block = std::make_shared<const std::vector<std::uint8_t>>(std::move(pending_));
        pending_ = {};
        pending_.reserve(kBlockSize);
        Block previous = std::exchange(previous_, block);
        const Compression compression = settings_.compression;
        const int level = settings_.level;
        return work_.Submit([this, previous, block, compression, level](int worker) {
            std::unique_ptr<MsZipCompressor>& zip = zips_[static_cast<std::size_t>(worker)];
            if (!zip && compression == Compression::MsZip) zip = std::make_unique<MsZipCompressor>(level);
            return PackBlock(previous, block, compression, zip.get());
        });
    }

    bool Write(const PackedBlock& b) {
        if (!b.ok) return Fail(&error, "deflate failed");
        if (std::fwrite(b.bytes.data(), 1, b.bytes.size(), out_) != b.bytes.size()) return Fail(&error, "write error");
        ++blocks_;
        return true;
    }

    std::FILE* out_;
    const WriteSettings& settings_;
    std::vector<std::unique_ptr<MsZipCompressor>> zips_;  // one per thread, made on first use
    std::vector<std::uint8_t> pending_;
    Block previous_;
    std::uint32_t blocks_ = 0;
    OrderedWork<PackedBlock> work_;  // last: its threads end before the members they use
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

    // No more threads than blocks.
    std::uint64_t totalBytes = 0;
    for (const PlannedFolder& folder : folders) {
        for (const FoundFile* f : folder.files) totalBytes += f->size;
    }
    const int threads = static_cast<int>(std::min<std::uint64_t>(PackThreads(settings.threads), totalBytes / kBlockSize + 1));
    BlockWriter blocks(out, settings, threads);
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
