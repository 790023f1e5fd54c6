#include "platform/sync.h"

#include "platform/prefix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <thread>

namespace platform::sync {

namespace {

// Mutex names may hold any byte ('\' in "Global\x", Shift-JIS); the file name keeps letters,
// digits, '_' and '-' and writes every other byte as %XX.
std::string EncodeName(std::string_view name) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
            c == '-') {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    return out;
}

bool EnsureFolder(const std::string& folder, std::string* error) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        if (error) *error = "mkdir " + folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

int OpenLockFile(const std::string& path, std::string* error) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 && error) *error = "open " + path + ": " + std::strerror(errno);
    return fd;
}

int Flock(int fd, int op) {
    int rc;
    do {
        rc = ::flock(fd, op);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

std::string RuntimeBaseFolder() {
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) {
        return std::string(run) + "/zuzoruve";
    }
    return "/tmp/zuzoruve-" + std::to_string(::getuid());
}

std::string PrefixKey(const std::filesystem::path& prefix) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::weakly_canonical(std::filesystem::absolute(prefix, ec), ec);
    if (ec) absolute = prefix.lexically_normal();
    std::string text = absolute.string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    // FNV-1a, 64 bits: a short, stable name for any path.
    std::uint64_t hash = 14695981039346656037ULL;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    char key[17];
    std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(hash));
    return key;
}

}  // namespace

std::string RuntimeFolder() { return RuntimeBaseFolder() + "/" + PrefixKey(platform::PrefixRoot()); }

bool EnsureRuntimeFolder(std::string* error) {
    return EnsureFolder(RuntimeBaseFolder(), error) && EnsureFolder(RuntimeFolder(), error);
}

std::unique_ptr<NamedMutex> NamedMutex::OpenOrCreate(std::string_view name, bool create,
                                                     bool* alreadyExisted, std::string* error) {
    const std::string folder = RuntimeFolder();
    if (!EnsureRuntimeFolder(error) || !EnsureFolder(folder + "/mutex", error)) return nullptr;
    const std::string base = folder + "/mutex/" + EncodeName(name);

    // The guard serialises the existence test and taking the shared lock, so that two
    // processes starting together cannot both see "no one has it open".
    int guard = OpenLockFile(base + ".guard", error);
    if (guard < 0) return nullptr;
    int exists = OpenLockFile(base + ".open", error);
    int owner = exists < 0 ? -1 : OpenLockFile(base + ".owner", error);
    if (owner < 0) {
        if (exists >= 0) ::close(exists);
        ::close(guard);
        return nullptr;
    }
    Flock(guard, LOCK_EX);
    // Every open handle holds a shared lock on ".open"; an exclusive try fails while one does.
    bool openElsewhere = Flock(exists, LOCK_EX | LOCK_NB) != 0;
    if (!openElsewhere) Flock(exists, LOCK_UN);
    std::unique_ptr<NamedMutex> result;
    if (openElsewhere || create) {
        Flock(exists, LOCK_SH);
        result.reset(new NamedMutex(exists, owner));
    } else {
        ::close(exists);
        ::close(owner);
    }
    Flock(guard, LOCK_UN);
    ::close(guard);
    if (alreadyExisted) *alreadyExisted = openElsewhere;
    return result;
}

std::unique_ptr<NamedMutex> NamedMutex::Create(std::string_view name, bool initialOwner,
                                               bool* alreadyExisted, std::string* error) {
    auto mutex = OpenOrCreate(name, true, alreadyExisted, error);
    if (mutex && initialOwner) mutex->Wait(0);
    return mutex;
}

std::unique_ptr<NamedMutex> NamedMutex::Open(std::string_view name) {
    return OpenOrCreate(name, false, nullptr, nullptr);
}

NamedMutex::~NamedMutex() {
    Release();
    ::close(ownerFd_);
    ::close(existsFd_);
}

bool NamedMutex::Wait(uint32_t timeoutMs) {
    if (owned_) return true;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (Flock(ownerFd_, LOCK_EX | LOCK_NB) == 0) {
            owned_ = true;
            return true;
        }
        if (timeoutMs != kInfinite && std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool NamedMutex::Release() {
    if (!owned_) return false;
    Flock(ownerFd_, LOCK_UN);
    owned_ = false;
    return true;
}

uint32_t TimeGetTime() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

LocalTime GetLocalTime() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    ::localtime_r(&ts.tv_sec, &tm);
    return LocalTime{static_cast<uint16_t>(tm.tm_year + 1900), static_cast<uint16_t>(tm.tm_mon + 1),
                     static_cast<uint16_t>(tm.tm_wday), static_cast<uint16_t>(tm.tm_mday),
                     static_cast<uint16_t>(tm.tm_hour), static_cast<uint16_t>(tm.tm_min),
                     static_cast<uint16_t>(tm.tm_sec), static_cast<uint16_t>(ts.tv_nsec / 1000000)};
}

}  // namespace platform::sync
