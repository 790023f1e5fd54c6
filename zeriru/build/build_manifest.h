// The manifest a build writes beside its output: every file it packed (or staged, for a copy
// to a folder) with its size and SHA-256, and the output's own, as lines `sha256sum -c` reads.
// Names are host names (UTF-8, "/" between folders), as that tool meets them on the disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

struct ManifestEntry {
    std::string name;  // relative to the folder described
    std::uint64_t size = 0;
    std::string sha256;  // lower-case hexadecimal
};

// Every file below a folder (Windows path) but the one named `skip` directly in it, sorted by
// name; nullopt when one cannot be read.
std::optional<std::vector<ManifestEntry>> DescribeFolder(std::string_view folder, std::string_view skip = {});
// One file, under its own name; nullopt when it cannot be read.
std::optional<ManifestEntry> DescribeFile(std::string_view path);

// The manifest's text: a comment line saying what it lists and how to check it, then per
// file a comment with its size and its checksum line; the output last when given.
std::string ManifestText(const std::vector<ManifestEntry>& files, const std::optional<ManifestEntry>& output);

}  // namespace zeriru
