#include "platform/drives.h"

#include "platform/hostfile.h"
#include "platform/pathtext.h"
#include "platform/prefix.h"
#include "platform/sjis.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <sstream>

namespace platform::winpath {

namespace fs = std::filesystem;

namespace {

struct NamedType {
    const char* name;
    DriveType type;
};
constexpr NamedType kTypeNames[] = {
    {"fixed", DriveType::Fixed},     {"removable", DriveType::Removable}, {"cdrom", DriveType::CdRom},
    {"network", DriveType::Remote},  {"ramdisk", DriveType::RamDisk},
};

// What drives.ini says: a letter with nullopt is removed.
struct DriveConfig {
    std::map<char, std::optional<Drive>> letters;
    std::map<std::string, std::optional<fs::path>> shares;  // key: upper-case "SERVER\SHARE"
};

// The file as last read, and what identifies that version of it.
struct CachedFile {
    fs::path path;
    bool present = false;
    ino_t inode = 0;
    long long mtimeNs = 0;
    off_t size = 0;
    DriveConfig config;
};

std::mutex g_mutex;
CachedFile g_cache;
DriveConfig g_overrides;

char UpperLetter(char c) {
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    return (c >= 'A' && c <= 'Z') ? c : 0;
}

std::string Trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return std::string(s.substr(b, e - b));
}

std::string ShareKey(std::string_view server, std::string_view share) {
    return sjis::ToUpper(server) + "\\" + sjis::ToUpper(share);
}

fs::path BelowPrefix(const fs::path& folder, const fs::path& root) {
    fs::path p = folder.is_absolute() ? folder : root / folder;
    p = p.lexically_normal();
    // "/a/b/" and "/a/b" are one folder.
    if (p.has_parent_path() && p.filename().empty()) p = p.parent_path();
    return p;
}

DriveConfig ParseConfig(const std::string& text, const fs::path& root) {
    DriveConfig config;
    std::string section;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::string t = Trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t.front() == '[' && t.back() == ']') {
            section = sjis::ToLower(Trim(std::string_view(t).substr(1, t.size() - 2)));
            continue;
        }
        std::size_t eq = t.find('=');
        if (eq == std::string::npos) continue;
        std::string key = Trim(std::string_view(t).substr(0, eq));
        std::string value = Trim(std::string_view(t).substr(eq + 1));
        if (section == "drives") {
            char letter = key.size() == 1 ? UpperLetter(key[0]) : 0;
            if (!letter) continue;
            if (value.empty()) {
                config.letters[letter] = std::nullopt;
                continue;
            }
            Drive drive;
            drive.letter = letter;
            std::string folder = value;
            if (std::size_t comma = value.rfind(','); comma != std::string::npos) {
                if (auto type = DriveTypeFromName(Trim(std::string_view(value).substr(comma + 1)))) {
                    drive.type = *type;
                    folder = Trim(std::string_view(value).substr(0, comma));
                }
            }
            if (folder.empty()) continue;
            drive.hostFolder = BelowPrefix(folder, root);
            config.letters[letter] = drive;
        } else if (section == "shares") {
            std::string sjisKey = sjis::FromUtf8(key, sjis::Unconvertible::Keep);
            std::vector<std::string> parts = sjis::SplitSjis(sjisKey, '\\');
            if (parts.size() != 2 || parts[0].empty() || parts[1].empty()) continue;
            std::string k = ShareKey(parts[0], parts[1]);
            if (value.empty()) {
                config.shares[k] = std::nullopt;
            } else {
                config.shares[k] = BelowPrefix(value, root);
            }
        }
    }
    return config;
}

// Brings the cache up to date with the file of the current prefix. Caller holds g_mutex.
const DriveConfig& CurrentFileConfig() {
    fs::path root = PrefixRoot();
    fs::path file = root / "drives.ini";
    struct stat st {};
    bool present = ::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    long long mtimeNs = present ? static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec : 0;
    if (g_cache.path == file && g_cache.present == present &&
        (!present || (g_cache.inode == st.st_ino && g_cache.mtimeNs == mtimeNs && g_cache.size == st.st_size))) {
        return g_cache.config;
    }
    g_cache = CachedFile{};
    g_cache.path = file;
    g_cache.present = present;
    if (present) {
        g_cache.inode = st.st_ino;
        g_cache.mtimeNs = mtimeNs;
        g_cache.size = st.st_size;
        if (auto text = ReadHostFile(file)) g_cache.config = ParseConfig(*text, root);
    }
    return g_cache.config;
}

// The letters every prefix has before drives.ini or SetDrive change them: C: and Z:.
std::optional<Drive> BuiltInDrive(char upper) {
    if (upper == 'C') return Drive{'C', BelowPrefix("drive_c", PrefixRoot()), DriveType::Fixed};
    if (upper == 'Z') return Drive{'Z', "/", DriveType::Fixed};
    return std::nullopt;
}

// The effective map. Caller holds g_mutex.
std::map<char, Drive> EffectiveDrives() {
    std::map<char, Drive> drives;
    for (char letter : {'C', 'Z'}) drives[letter] = *BuiltInDrive(letter);
    for (const DriveConfig* layer : {&CurrentFileConfig(), static_cast<const DriveConfig*>(&g_overrides)}) {
        for (const auto& [letter, drive] : layer->letters) {
            if (drive) {
                drives[letter] = *drive;
            } else {
                drives.erase(letter);
            }
        }
    }
    return drives;
}

// Rewrites the [Drives] line of one letter in drives.ini, under a lock shared by all
// processes so that two writers do not lose each other's change.
bool PersistLetter(char letter, const std::string& value) {
    fs::path root = PrefixRoot();
    std::error_code ec;
    fs::create_directories(root, ec);
    fs::path lockPath = root / ".drives.lock";
    int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd < 0) return false;
    while (::flock(lockFd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(lockFd);
            return false;
        }
    }
    fs::path file = root / "drives.ini";
    std::string text = ReadHostFile(file).value_or(DefaultDriveConfig());

    std::vector<std::string> lines;
    {
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
    }
    std::string entry = std::string(1, letter) + "=" + value;
    std::string section;
    std::size_t drivesHeader = std::string::npos;
    bool replaced = false;
    for (std::size_t i = 0; i < lines.size() && !replaced; ++i) {
        std::string t = Trim(lines[i]);
        if (!t.empty() && t.front() == '[' && t.back() == ']') {
            section = sjis::ToLower(Trim(std::string_view(t).substr(1, t.size() - 2)));
            if (section == "drives") drivesHeader = i;
            continue;
        }
        if (section != "drives" || t.empty() || t[0] == ';' || t[0] == '#') continue;
        std::size_t eq = t.find('=');
        if (eq != std::string::npos && UpperLetter(Trim(std::string_view(t).substr(0, eq)).c_str()[0]) == letter &&
            Trim(std::string_view(t).substr(0, eq)).size() == 1) {
            lines[i] = entry;
            replaced = true;
        }
    }
    if (!replaced) {
        if (drivesHeader == std::string::npos) {
            lines.push_back("[Drives]");
            lines.push_back(entry);
        } else {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(drivesHeader) + 1, entry);
        }
    }
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    bool ok = WriteHostFileAtomic(file, out);
    ::flock(lockFd, LOCK_UN);
    ::close(lockFd);
    return ok;
}

}  // namespace

std::string DriveTypeName(DriveType type) {
    for (const NamedType& t : kTypeNames) {
        if (t.type == type) return t.name;
    }
    return {};
}

std::optional<DriveType> DriveTypeFromName(std::string_view name) {
    for (const NamedType& t : kTypeNames) {
        if (sjis::EqualsNoCase(name, t.name)) return t.type;
    }
    return std::nullopt;
}

std::string DefaultDriveConfig() {
    return "; Drive letters of this prefix. C: is drive_c below the prefix and Z: the host's root\n"
           "; unless changed here.\n"
           ";   <letter>=<host folder>[,<type>]   type: fixed (default), removable, cdrom, network,\n"
           ";                                     ramdisk; a relative folder lies below the prefix;\n"
           ";                                     an empty folder removes the letter.\n"
           "; Host folders are UTF-8.\n"
           "[Drives]\n"
           "C=drive_c,fixed\n"
           "Z=/,fixed\n"
           "\n"
           "; UNC shares: server\\share=<host folder>. Shares not listed here are not reachable.\n"
           "[Shares]\n";
}

std::optional<Drive> GetDrive(char letter) {
    char upper = UpperLetter(letter);
    if (!upper) return std::nullopt;
    std::lock_guard lock(g_mutex);
    // The layers of EffectiveDrives, the last one first; asked for every path, so without
    // building the whole map.
    if (auto it = g_overrides.letters.find(upper); it != g_overrides.letters.end()) return it->second;
    const DriveConfig& file = CurrentFileConfig();
    if (auto it = file.letters.find(upper); it != file.letters.end()) return it->second;
    return BuiltInDrive(upper);
}

std::vector<Drive> Drives() {
    std::lock_guard lock(g_mutex);
    std::vector<Drive> out;
    for (const auto& [letter, drive] : EffectiveDrives()) out.push_back(drive);
    return out;
}

std::optional<fs::path> ShareFolder(std::string_view server, std::string_view share) {
    std::string key = ShareKey(server, share);
    std::lock_guard lock(g_mutex);
    if (auto it = g_overrides.shares.find(key); it != g_overrides.shares.end()) return it->second;
    const DriveConfig& file = CurrentFileConfig();
    if (auto it = file.shares.find(key); it != file.shares.end()) return it->second;
    return std::nullopt;
}

DriveType GetDriveType(std::string_view windowsPath) {
    std::optional<PathParts> parts = ParsePath(windowsPath);
    if (!parts) return DriveType::NoRootDir;
    if (parts->root == PathParts::Root::Unc) {
        return ShareFolder(parts->server, parts->share) ? DriveType::Remote : DriveType::NoRootDir;
    }
    if (parts->drive == 0) return DriveType::NoRootDir;
    auto drive = GetDrive(parts->drive);
    return drive ? drive->type : DriveType::NoRootDir;
}

bool SetDrive(char letter, const fs::path& hostFolder, DriveType type, bool persist) {
    char upper = UpperLetter(letter);
    if (!upper || hostFolder.empty() || DriveTypeName(type).empty()) return false;
    {
        std::lock_guard lock(g_mutex);
        g_overrides.letters[upper] = Drive{upper, BelowPrefix(hostFolder, PrefixRoot()), type};
    }
    return !persist || PersistLetter(upper, hostFolder.string() + "," + DriveTypeName(type));
}

bool RemoveDrive(char letter, bool persist) {
    char upper = UpperLetter(letter);
    if (!upper) return false;
    {
        std::lock_guard lock(g_mutex);
        g_overrides.letters[upper] = std::nullopt;
    }
    return !persist || PersistLetter(upper, "");
}

bool SetShare(std::string_view server, std::string_view share, const fs::path& hostFolder) {
    if (server.empty() || share.empty()) return false;
    std::lock_guard lock(g_mutex);
    std::string key = ShareKey(server, share);
    if (hostFolder.empty()) {
        g_overrides.shares[key] = std::nullopt;
    } else {
        g_overrides.shares[key] = BelowPrefix(hostFolder, PrefixRoot());
    }
    return true;
}

void ResetDriveOverrides() {
    std::lock_guard lock(g_mutex);
    g_overrides = DriveConfig{};
}

}  // namespace platform::winpath
