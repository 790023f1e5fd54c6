#include "namecache.h"

#include "platform/sjis.h"
#include "platform/winpath.h"

#include <dirent.h>
#include <sys/stat.h>
#include <time.h>

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace platform::winpath::detail {

namespace fs = std::filesystem;

namespace {

// The coarsest clock a file system keeps folder times in (FAT: 2 s), ns. A listing taken at
// least this long after the folder's last change cannot share a tick with a later change.
constexpr std::int64_t kCoarseTime = 2'000'000'000;
// How long names that may have missed a change in the same tick are used before the folder
// is listed again, ns.
constexpr std::int64_t kRecheckAfter = 1'000'000'000;
// Bounds of what is kept: folders, and names over all folders. A folder with more names than
// kMaxNames is listed for every lookup.
constexpr std::size_t kMaxFolders = 256;
constexpr std::size_t kMaxNames = 262144;

bool IsAscii(std::string_view s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// True when the bytes are well-formed UTF-8 (host names written by a tool that used
// Shift-JIS bytes directly are not).
bool IsUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t len = c < 0x80 ? 1 : (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3
                                       : (c >= 0xF0 && c <= 0xF4)   ? 4 : 0;
        if (len == 0 || i + len > s.size()) return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += len;
    }
    return true;
}

// Upper case of ASCII letters, byte by byte. In UTF-8 every byte below 0x80 is an ASCII
// character of its own, so two UTF-8 names are equal as Windows names exactly when these are.
std::string AsciiUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::int64_t RealClock() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::int64_t Nanoseconds(const struct timespec& t) { return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

// What tells one state of a folder from another.
struct Stamp {
    dev_t device = 0;
    ino_t inode = 0;
    std::int64_t modified = 0;  // last change of its entries, ns
    std::int64_t changed = 0;   // last change of the folder itself (also a reset of its times), ns
    off_t size = 0;             // grows with the entries on some file systems

    static Stamp Of(const struct stat& st) {
        return {st.st_dev, st.st_ino, Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim), st.st_size};
    }
    bool operator==(const Stamp&) const = default;
};

// Key of a host name: UTF-8 names by their ASCII upper case; other bytes (Shift-JIS names
// written directly) by the upper case of their Windows name, in a table of their own.
struct NameKey {
    bool utf8;
    std::string key;
};

NameKey KeyOfHostName(std::string_view hostName) {
    if (IsAscii(hostName) || IsUtf8(hostName)) return {true, AsciiUpper(hostName)};
    return {false, sjis::ToUpper(HostNameToWindows(hostName))};
}

struct FolderNames {
    Stamp stamp;
    std::int64_t listedAt = 0;  // clock when the folder was listed, ns
    // Listed well after the folder's last change, and not changed by us since: the stamp
    // alone tells whether the names still hold.
    bool settled = false;
    std::unordered_map<std::string, std::string> utf8;    // key -> host name sorting first
    std::unordered_map<std::string, std::string> legacy;  // key -> host name sorting first
    std::list<std::string>::iterator use;                 // place in the use order

    std::size_t Count() const { return utf8.size() + legacy.size(); }

    std::unordered_map<std::string, std::string>& TableOf(const NameKey& k) { return k.utf8 ? utf8 : legacy; }

    void Add(std::string_view hostName) {
        const NameKey k = KeyOfHostName(hostName);
        auto [it, inserted] = TableOf(k).try_emplace(k.key, hostName);
        if (!inserted && hostName < it->second) it->second = std::string(hostName);
    }

    // False when the name removed was the one kept for its key: another spelling of it may
    // still be there, which only a new listing can tell.
    bool Remove(std::string_view hostName) {
        const NameKey k = KeyOfHostName(hostName);
        auto& table = TableOf(k);
        auto it = table.find(k.key);
        if (it == table.end() || it->second != hostName) return true;
        table.erase(it);
        return false;
    }
};

std::atomic<std::uint64_t> g_listings{0};

// Lists a folder whose stamp was taken just before; nullopt when it cannot be read.
std::optional<FolderNames> ListFolder(const fs::path& folder, const Stamp& stamp, std::int64_t now) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) return std::nullopt;
    g_listings.fetch_add(1, std::memory_order_relaxed);
    FolderNames names;
    names.stamp = stamp;
    names.listedAt = now;
    names.settled = stamp.modified < now - kCoarseTime && stamp.changed < now - kCoarseTime;
    while (const dirent* entry = ::readdir(dir.get())) {
        std::string_view candidate = entry->d_name;
        if (candidate == "." || candidate == "..") continue;
        names.Add(candidate);
    }
    return names;
}

class NameCache {
public:
    FolderLookup Find(const fs::path& folder, std::string_view name, const std::string& hostName) {
        std::lock_guard<std::mutex> lock(mutex_);
        const NameKey utf8Key{true, AsciiUpper(hostName)};
        const NameKey windowsKey{false, sjis::ToUpper(name)};
        FolderLookup found;
        for (int attempt = 0; attempt < 2; ++attempt) {
            const FolderNames* names = Current(folder, attempt > 0);
            found.folderThere = names != nullptr;
            if (!names) return found;
            std::optional<std::string> best = Lookup(names->utf8, utf8Key.key);
            if (std::optional<std::string> other = Lookup(names->legacy, windowsKey.key)) {
                if (!best || *other < *best) best = other;
            }
            DropIfOverfull(folder);
            if (!best) return found;
            // A name kept may have gone since (a change in the same tick): make sure.
            if (::lstat((folder / *best).c_str(), &found.st) == 0) {
                found.name = std::move(best);
                return found;
            }
        }
        return found;
    }

    void Created(const fs::path& host) {
        std::lock_guard<std::mutex> lock(mutex_);
        AfterOwnChange(host.parent_path(), [&](FolderNames& names) { names.Add(host.filename().native()); });
    }

    void Removed(const fs::path& host) {
        std::lock_guard<std::mutex> lock(mutex_);
        ForgetTree(host);
        AfterOwnChange(host.parent_path(), [&](FolderNames& names) {
            if (!names.Remove(host.filename().native())) names.listedAt = kNeverListed;
        });
    }

    void SetClock(std::function<std::int64_t()> clock) {
        std::lock_guard<std::mutex> lock(mutex_);
        clock_ = clock ? std::move(clock) : RealClock;
    }

private:
    // Far enough in the past for any entry to be due for a new listing.
    static constexpr std::int64_t kNeverListed = INT64_MIN / 2;

    static std::optional<std::string> Lookup(const std::unordered_map<std::string, std::string>& table,
                                             const std::string& key) {
        auto it = table.find(key);
        if (it == table.end()) return std::nullopt;
        return it->second;
    }

    // The names of a folder as they stand now: the kept ones while the folder's stamp is
    // unchanged and they are not due for a check, else a new listing. nullptr when the folder
    // cannot be read.
    const FolderNames* Current(const fs::path& folder, bool forceListing) {
        const std::int64_t now = clock_();
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            Forget(folder.native());
            return nullptr;
        }
        const Stamp stamp = Stamp::Of(st);
        auto it = folders_.find(folder.native());
        if (it != folders_.end() && !forceListing && it->second.stamp == stamp &&
            (it->second.settled || now - it->second.listedAt < kRecheckAfter)) {
            order_.splice(order_.begin(), order_, it->second.use);
            return &it->second;
        }
        Forget(folder.native());
        std::optional<FolderNames> listed = ListFolder(folder, stamp, now);
        if (!listed) return nullptr;
        order_.push_front(folder.native());
        listed->use = order_.begin();
        names_ += listed->Count();
        return &folders_.insert_or_assign(folder.native(), std::move(*listed)).first->second;
    }

    // Keeps the cache within its bounds, least recently used first; `current` goes last (a
    // folder larger than the whole cache is not kept).
    void DropIfOverfull(const fs::path& current) {
        while ((folders_.size() > kMaxFolders || names_ > kMaxNames) && !order_.empty()) {
            std::string victim = order_.back();
            if (victim == current.native() && folders_.size() > 1) victim = *std::next(order_.rbegin());
            Forget(victim);
        }
    }

    // Applies our own change of a folder to its kept names (if any), which then stand under
    // the folder's new stamp. Our change may hide someone else's made at the same moment, so
    // the names are checked again once kRecheckAfter has passed since the listing.
    template <typename Change>
    void AfterOwnChange(const fs::path& folder, Change change) {
        auto it = folders_.find(folder.native());
        if (it == folders_.end()) return;
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            Forget(folder.native());
            return;
        }
        FolderNames& names = it->second;
        names_ -= names.Count();
        change(names);
        names_ += names.Count();
        names.stamp = Stamp::Of(st);
        names.settled = false;
    }

    void Forget(const std::string& folder) {
        auto it = folders_.find(folder);
        if (it == folders_.end()) return;
        names_ -= it->second.Count();
        order_.erase(it->second.use);
        folders_.erase(it);
    }

    // A removed entry may have been a folder: its names and those of every folder below it go.
    void ForgetTree(const fs::path& host) {
        Forget(host.native());
        const std::string below = host.native() + "/";
        for (auto it = order_.begin(); it != order_.end();) {
            const std::string folder = *it++;
            if (folder.compare(0, below.size(), below) == 0) Forget(folder);
        }
    }

    std::mutex mutex_;
    std::function<std::int64_t()> clock_ = RealClock;
    std::unordered_map<std::string, FolderNames> folders_;  // by host path
    std::list<std::string> order_;                          // most recently used first
    std::size_t names_ = 0;                                 // names kept over all folders
};

NameCache& Cache() {
    static NameCache* cache = new NameCache;  // used until the process ends, also by exit handlers
    return *cache;
}

}  // namespace

FolderLookup FindNameIgnoringCase(const fs::path& folder, std::string_view name, const std::string& hostName) {
    return Cache().Find(folder, name, hostName);
}

void NoteCreated(const fs::path& host) { Cache().Created(host); }

void NoteRemoved(const fs::path& host) { Cache().Removed(host); }

std::uint64_t FolderListingsForTesting() { return g_listings.load(); }

void SetNameCacheClockForTesting(std::function<std::int64_t()> clock) { Cache().SetClock(std::move(clock)); }

}  // namespace platform::winpath::detail
