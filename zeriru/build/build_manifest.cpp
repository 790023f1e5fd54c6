#include "build_manifest.h"

#include "platform/pathtext.h"
#include "platform/winfile.h"
#include "platform/winpath.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>

namespace zeriru {

namespace wp = platform::winpath;

namespace {

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

bool DescribeBelow(const std::string& folder, const std::string& prefix, std::string_view skip,
                   std::vector<ManifestEntry>& out) {
    for (const wp::FindData& found : wp::FindFiles(wp::JoinPath(folder, "*"))) {
        if (prefix.empty() && !skip.empty() && found.name == skip) continue;
        const std::string path = wp::JoinPath(folder, found.name);
        const std::string name = prefix + wp::WindowsNameToHost(found.name);
        if (found.attributes & wp::kAttrDirectory) {
            if (!DescribeBelow(path, name + "/", {}, out)) return false;
            continue;
        }
        std::optional<ManifestEntry> entry = Measure(path, name);
        if (!entry) return false;
        out.push_back(std::move(*entry));
    }
    return true;
}

}  // namespace

std::optional<std::vector<ManifestEntry>> DescribeFolder(std::string_view folder, std::string_view skip) {
    std::vector<ManifestEntry> entries;
    if (!DescribeBelow(std::string(folder), {}, skip, entries)) return std::nullopt;
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
