// Named mutexes shared by every process of one prefix, the millisecond tick and local time.
// A prefix is one machine: processes of two prefixes never see each other's mutexes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform::sync {

inline constexpr uint32_t kInfinite = 0xFFFFFFFF;

// A named mutex visible to all processes of the user that run in the same prefix. The name exists while any handle to it
// is open; ownership and existence both end with the process that holds them, also when it
// dies, because both are file locks that the system drops with the process.
class NamedMutex {
public:
    // Opens the mutex, creating it when no handle to it is open anywhere. *alreadyExisted
    // tells whether it was open elsewhere. With initialOwner the caller also takes ownership
    // when it can do so at once. Null (and *error) only when the lock files cannot be made.
    static std::unique_ptr<NamedMutex> Create(std::string_view name, bool initialOwner,
                                              bool* alreadyExisted = nullptr,
                                              std::string* error = nullptr);
    // Opens the mutex only when a handle to it is open somewhere; null otherwise.
    static std::unique_ptr<NamedMutex> Open(std::string_view name);

    ~NamedMutex();  // releases ownership and closes the handle
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // Takes ownership; false when timeoutMs elapsed first. Polls every millisecond.
    bool Wait(uint32_t timeoutMs = kInfinite);
    // Gives ownership back; false when this handle did not own it.
    bool Release();
    bool Owned() const { return owned_; }

private:
    NamedMutex(int existsFd, int ownerFd) : existsFd_(existsFd), ownerFd_(ownerFd) {}
    static std::unique_ptr<NamedMutex> OpenOrCreate(std::string_view name, bool create,
                                                    bool* alreadyExisted, std::string* error);
    int existsFd_;
    int ownerFd_;
    bool owned_ = false;
};

// The runtime folder of the current prefix (named mutexes, registered windows):
// <base>/<key>, where the base is $XDG_RUNTIME_DIR/zuzoruve, else /tmp/zuzoruve-<uid>, and the
// key a hash of the prefix's absolute path ($PLATFORM_ROOT or the default prefix).
std::string RuntimeFolder();
// Creates the runtime folder (and its base) with mode 0700 when missing; false with *error.
bool EnsureRuntimeFolder(std::string* error = nullptr);

// Milliseconds since the system started, wrapping at 2^32 like the Windows tick.
uint32_t TimeGetTime();

// Local date and time with milliseconds, laid out like the Windows record.
struct LocalTime {
    uint16_t year;
    uint16_t month;      // 1-12
    uint16_t dayOfWeek;  // 0 = Sunday
    uint16_t day;        // 1-31
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint16_t milliseconds;
};
LocalTime GetLocalTime();

}  // namespace platform::sync
