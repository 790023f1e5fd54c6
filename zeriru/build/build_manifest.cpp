#include "build_manifest.h"

#include "platform/pathtext.h"
#include "platform/winfile.h"
#include "platform/winpath.h"

#include <openssl/evp.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

namespace zeriru {

namespace wp = platform::winpath;

namespace {

// Files hashed side by side at most.
constexpr std::size_t kMaxThreads = 8;

std::string Hex(const unsigned char* bytes, unsigned size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < size; ++i) {
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 15]);
    }
    return out;
}

// Size and SHA-256 of a file, read block by block.
std::optional<ManifestEntry> Measure(std::string_view path, std::string name) {
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> digest(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!digest || EVP_DigestInit_ex(digest.get(), EVP_sha256(), nullptr) != 1) return std::nullopt;
    ManifestEntry entry;
    entry.name = std::move(name);
    const bool read = wp::ReadFileBlocks(path, [&](const char* data, std::size_t size) {
        entry.size += size;
        return EVP_DigestUpdate(digest.get(), data, size) == 1;
    });
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    if (!read || EVP_DigestFinal_ex(digest.get(), value, &length) != 1) return std::nullopt;
    entry.sha256 = Hex(value, length);
    return entry;
}

struct FileToDescribe {
    std::string path;  // Windows path
    std::string name;  // host name below the folder described
};

// Every file below `folder`, depth first, but the one named `skip` directly in it.
void ListBelow(const std::string& folder, const std::string& prefix, std::string_view skip,
               std::vector<FileToDescribe>& out) {
    for (const wp::FindData& found : wp::FindFiles(wp::JoinPath(folder, "*"))) {
        if (prefix.empty() && !skip.empty() && found.name == skip) continue;
        std::string path = wp::JoinPath(folder, found.name);
        std::string name = prefix + wp::WindowsNameToHost(found.name);
        if (found.attributes & wp::kAttrDirectory) {
            ListBelow(path, name + "/", {}, out);
        } else {
            out.push_back({std::move(path), std::move(name)});
        }
    }
}

// Measures the files on every processor (hashing costs as much as copying them); false when
// one cannot be read.
bool MeasureAll(const std::vector<FileToDescribe>& files, std::vector<ManifestEntry>& out) {
    out.assign(files.size(), {});
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    auto work = [&] {
        for (std::size_t i; !failed && (i = next++) < files.size();) {
            std::optional<ManifestEntry> entry = Measure(files[i].path, files[i].name);
            if (entry) {
                out[i] = std::move(*entry);
            } else {
                failed = true;
            }
        }
    };
    const std::size_t processors = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t workers = std::min({processors, kMaxThreads, std::max<std::size_t>(files.size(), 1)});
    std::vector<std::jthread> threads;
    for (std::size_t t = 1; t < workers; ++t) threads.emplace_back(work);  // this thread is the first
    work();
    threads.clear();  // joins them
    return !failed;
}

}  // namespace

std::optional<std::vector<ManifestEntry>> DescribeFolder(std::string_view folder, std::string_view skip) {
    std::vector<FileToDescribe> files;
    ListBelow(std::string(folder), {}, skip, files);
    std::vector<ManifestEntry> entries;
    if (!MeasureAll(files, entries)) return std::nullopt;
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return entries;
}

std::optional<ManifestEntry> DescribeFile(std::string_view path) {
    return Measure(path, wp::WindowsNameToHost(wp::FileNameOf(path)));
}

std::string ManifestText(const std::vector<ManifestEntry>& files, const std::optional<ManifestEntry>& output) {
    std::uint64_t total = 0;
    for (const ManifestEntry& f : files) total += f.size;
    std::string text = "# " + std::to_string(files.size()) + " files, " + std::to_string(total) + " bytes";
    text += output ? " packed into " + output->name + ". Check with: sha256sum -c --ignore-missing <this file>, the "
                     "packed files after extracting them beside it.\n"
                   : ". Check with: sha256sum -c <this file>, in its folder.\n";
    auto line = [&](const ManifestEntry& e) {
        text += "# " + std::to_string(e.size) + " bytes\n" + e.sha256 + "  " + e.name + "\n";
    };
    for (const ManifestEntry& f : files) line(f);
    if (output) line(*output);
    return text;
}

}  // namespace zeriru
