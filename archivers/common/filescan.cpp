#include "common/filescan.h"

#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <system_error>

#include "common/hostpath.h"
#include "platform/sjis.h"

namespace archivers {

namespace sj = platform::sjis;
namespace fs = std::filesystem;

namespace {

bool MatchFrom(std::string_view n, std::size_t ni, std::string_view m, std::size_t mi) {
    while (mi < m.size()) {
        const char mc = m[mi];
        if (mc == '*') {
            while (mi < m.size() && m[mi] == '*') ++mi;
            if (mi == m.size()) return true;
            for (std::size_t k = ni; k <= n.size(); k = (k == n.size()) ? k + 1 : sj::NextChar(n, k)) {
                if (MatchFrom(n, k, m, mi)) return true;
            }
            return false;
        }
        if (ni >= n.size()) return false;
        const std::size_t nl = sj::CharLength(n, ni);
        const std::size_t ml = sj::CharLength(m, mi);
        if (mc == '?' && ml == 1) {
            ni += nl;
            ++mi;
            continue;
        }
        if (nl != ml || !sj::EqualsNoCase(n.substr(ni, nl), m.substr(mi, ml))) return false;
        ni += nl;
        mi += ml;
    }
    return ni == n.size();
}

bool IsHidden(const fs::path& p) {
    const std::string name = p.filename().string();
    return !name.empty() && name[0] == '.';
}

}  // namespace

bool MatchMask(std::string_view name, std::string_view mask) {
    if (mask == "*.*" || mask == "*") return true;
    return MatchFrom(name, 0, mask, 0);
}

bool DescribeHostFile(const fs::path& host, FoundFile* f) {
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) return false;
    f->host = host;
    f->directory = S_ISDIR(st.st_mode);
    f->mtime = st.st_mtime;
    f->size = f->directory ? 0 : static_cast<std::uint64_t>(st.st_size);
    f->attributes = f->directory ? kFileDirectory : kFileArchive;
    if (!(st.st_mode & S_IWUSR)) f->attributes |= kFileReadOnly;
    if (IsHidden(host)) f->attributes |= kFileHidden;
    return true;
}

bool CollectFiles(const fs::path& base, const std::vector<std::string>& masks, const ScanOptions& options,
                  std::vector<FoundFile>* out, std::string* error) {
    std::error_code ec;
    if (!fs::is_directory(base, ec)) {
        if (error) *error = "folder not found: " + base.string();
        return false;
    }
    std::set<std::string> seen;
    auto add = [&](const fs::path& host, const std::string& name) {
        if (!seen.insert(host.string()).second) return;
        FoundFile f;
        if (!DescribeHostFile(host, &f)) return;
        f.name = name;
        out->push_back(std::move(f));
    };

    for (const std::string& rawMask : masks) {
        // Split the mask into its folder part and the name pattern.
        std::string mask = rawMask;
        std::string prefix;
        const std::size_t cut = std::max(sj::FindLastChar(mask, '\\') == sj::npos ? 0 : sj::FindLastChar(mask, '\\') + 1,
                                         sj::FindLastChar(mask, '/') == sj::npos ? 0 : sj::FindLastChar(mask, '/') + 1);
        fs::path folder = base;
        if (cut > 0) {
            const std::string folderPart = mask.substr(0, cut - 1);
            const fs::path mapped = HostPathFromWindows(folderPart);
            if (mapped.is_absolute()) {
                folder = mapped;
            } else {
                folder = base / mapped;
                prefix = folderPart + "\\";
            }
            mask = mask.substr(cut);
        }
        if (!fs::is_directory(folder, ec)) continue;

        // Walk folder (and below it when recursing); names relative to `folder`.
        std::vector<std::pair<fs::path, std::string>> pending{{folder, prefix}};
        while (!pending.empty()) {
            auto [dir, rel] = pending.back();
            pending.pop_back();
            std::vector<fs::directory_entry> entries;
            for (const auto& e : fs::directory_iterator(dir, ec)) entries.push_back(e);
            std::sort(entries.begin(), entries.end(),
                      [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
            std::vector<std::pair<fs::path, std::string>> subfolders;
            for (const auto& e : entries) {
                if (!options.includeHidden && IsHidden(e.path())) continue;
                const std::string name = ArchiveNameFromHost(e.path().filename());
                const std::string stored = options.storePaths ? rel + name : name;
                if (e.is_directory(ec)) {
                    if (options.recurse) {
                        if (options.folderEntries) add(e.path(), stored);
                        subfolders.push_back({e.path(), rel + name + "\\"});
                    }
                    continue;
                }
                if (e.is_regular_file(ec) && MatchMask(name, mask)) add(e.path(), stored);
            }
            for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) pending.push_back(*it);
        }
    }
    return true;
}

}  // namespace archivers
