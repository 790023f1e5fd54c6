// Handles, events, the device calls and their overlapped completion.
#include "platform/device.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/prefix.h"
#include "platform/request_path.h"

namespace platform::device {

// ---------------------------------------------------------------- request path
namespace {

class InProcessPath : public RequestPath {
public:
    NTSTATUS Open(std::string_view path, std::uint64_t* file) override {
        kernel::Machine* m = kernel::Machine::Current();
        if (!m) return STATUS_DEVICE_DOES_NOT_EXIST;
        std::shared_ptr<kernel::OpenFile> f;
        NTSTATUS s = m->Open(path, &f);
        if (!NT_SUCCESS(s)) return s;
        std::lock_guard lk(m_);
        *file = ++next_;
        files_[*file] = f;
        return s;
    }
    NTSTATUS Submit(std::uint64_t file, const kernel::UserRequest& rq, kernel::RequestDone done) override {
        auto f = Find(file);
        kernel::Machine* m = kernel::Machine::Current();
        if (!f || !m) {
            done(STATUS_INVALID_HANDLE, 0, false);
            return STATUS_INVALID_HANDLE;
        }
        return m->Submit(f, rq, std::move(done));
    }
    void Cancel(std::uint64_t file, std::thread::id thread) override {
        auto f = Find(file);
        if (kernel::Machine* m = kernel::Machine::Current(); f && m) m->CancelRequests(f, thread);
    }
    void Close(std::uint64_t file) override {
        std::shared_ptr<kernel::OpenFile> f;
        {
            std::lock_guard lk(m_);
            auto it = files_.find(file);
            if (it == files_.end()) return;
            f = it->second;
            files_.erase(it);
        }
        if (kernel::Machine* m = kernel::Machine::Current()) m->Close(f);
    }
    std::vector<std::string> InterfacePaths(const GUID& g) override {
        kernel::Machine* m = kernel::Machine::Current();
        return m ? m->InterfacePaths(g) : std::vector<std::string>{};
    }
    int Subscribe(kernel::Machine::InterfaceListener listener) override {
        kernel::Machine* m = kernel::Machine::Current();
        return m ? m->AddInterfaceListener(std::move(listener)) : 0;
    }
    void Unsubscribe(int id) override {
        if (kernel::Machine* m = kernel::Machine::Current(); m && id) m->RemoveInterfaceListener(id);
    }

private:
    std::shared_ptr<kernel::OpenFile> Find(std::uint64_t file) {
        std::lock_guard lk(m_);
        auto it = files_.find(file);
        return it == files_.end() ? nullptr : it->second;
    }
    std::mutex m_;
    std::map<std::uint64_t, std::shared_ptr<kernel::OpenFile>> files_;
    std::uint64_t next_ = 0;
};

std::mutex gPathMutex;
std::shared_ptr<RequestPath> gInstalled;
InProcessPath* gInProcess = nullptr;
kernel::Machine* gOwnedMachine = nullptr;

}  // namespace

// Closes every handle still open (process exit).
void CloseAllHandles();

namespace {
void ShutdownOwnedMachine() {
    CloseAllHandles();
    std::lock_guard lk(gPathMutex);
    delete gOwnedMachine;
    gOwnedMachine = nullptr;
}

}  // namespace

std::string MachineDescriptionFile() {
    if (const char* env = std::getenv("PLATFORM_MACHINE"); env && *env) return env;
    return (platform::PrefixRoot() / "machine" / "default.ini").string();
}

RequestPath& CurrentPath() {
    std::lock_guard lk(gPathMutex);
    if (gInstalled) return *gInstalled;
    if (!gInProcess) gInProcess = new InProcessPath;  // lives as long as the process
    if (!kernel::Machine::Current()) {
        // The drivers' registry is the prefix's HKEY_LOCAL_MACHINE hive (in memory when the
        // hives cannot be used).
        kernel::MachineOptions options;
        if (auto hives = kernel::MakeHiveRegistry(platform::RegistryFolder())) options.registry = std::move(hives);
        gOwnedMachine = new kernel::Machine(options);
        if (auto loader = kernel::GetMachineLoader()) loader(*gOwnedMachine, MachineDescriptionFile());
        static bool registered = false;
        if (!registered) {
            registered = true;
            std::atexit(ShutdownOwnedMachine);
        }
    }
    return *gInProcess;
}

void InstallRequestPath(std::shared_ptr<RequestPath> path) {
    std::lock_guard lk(gPathMutex);
    gInstalled = std::move(path);
}

}  // namespace platform::device

using namespace platform::device;

// ---------------------------------------------------------------- last error
namespace {
thread_local DWORD tLastError = 0;
}
DWORD GetLastError() { return tLastError; }
void SetLastError(DWORD error) { tLastError = error; }

DWORD RtlNtStatusToDosError(NTSTATUS status) {
    struct Entry {
        std::uint32_t status;
        DWORD error;
    };
    // The statuses the drivers complete with, and the common ones of the I/O manager.
    static const Entry kTable[] = {
        {0x00000000, ERROR_SUCCESS},
        {0x00000102, 1460},  // STATUS_TIMEOUT: ERROR_TIMEOUT
        {0x00000103, ERROR_IO_PENDING},
        {0x80000005, ERROR_MORE_DATA},
        {0x80000011, ERROR_BUSY},
        {0x8000001A, ERROR_NO_MORE_ITEMS},
        {0x80000022, ERROR_NO_DATA_DETECTED},
        {0xC0000001, ERROR_GEN_FAILURE},
        {0xC0000002, ERROR_INVALID_FUNCTION},
        {0xC0000004, ERROR_BAD_LENGTH},
        {0xC0000005, ERROR_NOACCESS},
        {0xC0000008, ERROR_INVALID_HANDLE},
        {0xC000000D, ERROR_INVALID_PARAMETER},
        {0xC000000E, ERROR_FILE_NOT_FOUND},
        {0xC0000010, ERROR_INVALID_FUNCTION},
        {0xC0000016, ERROR_MORE_DATA},
        {0xC0000017, ERROR_NOT_ENOUGH_MEMORY},
        {0xC0000022, ERROR_ACCESS_DENIED},
        {0xC0000023, ERROR_INSUFFICIENT_BUFFER},
        {0xC0000024, ERROR_INVALID_HANDLE},
        {0xC000002A, ERROR_NOT_LOCKED},
        {0xC0000033, ERROR_INVALID_NAME},
        {0xC0000034, ERROR_FILE_NOT_FOUND},
        {0xC0000035, ERROR_ALREADY_EXISTS},
        {0xC000003C, ERROR_IO_DEVICE},
        {0xC0000043, ERROR_SHARING_VIOLATION},
        {0xC0000056, ERROR_ACCESS_DENIED},
        {0xC000007F, ERROR_DISK_FULL},
        {0xC000009A, ERROR_NO_SYSTEM_RESOURCES},
        {0xC000009D, ERROR_NOT_READY},
        {0xC00000A3, ERROR_NOT_READY},
        {0xC00000B5, ERROR_SEM_TIMEOUT},
        {0xC00000BB, ERROR_NOT_SUPPORTED},
        {0xC00000C0, ERROR_DEV_NOT_EXIST},
        {0xC0000120, ERROR_OPERATION_ABORTED},
        {0xC0000184, ERROR_BAD_COMMAND},
        {0xC0000186, ERROR_IO_DEVICE},
        {0xC0000206, ERROR_INVALID_USER_BUFFER},
        {0xC0000225, ERROR_NOT_FOUND},
        {0xC00002B6, ERROR_DEVICE_REMOVED},
    };
    for (const Entry& e : kTable)
        if (e.status == static_cast<std::uint32_t>(status)) return e.error;
    return ERROR_MR_MID_NOT_FOUND;
}

// ---------------------------------------------------------------- handles and events
namespace {

// One lock guards every event's state and every overlapped record's outcome. Each waiting
// thread has its own condition, registered with the events it waits on, so a completion wakes
// the caller that waits for it and nobody else. Overlapped records without an event use the
// shared condition.
std::mutex& WaitMutex() {
    static auto* m = new std::mutex;
    return *m;
}
std::condition_variable& WaitCv() {
    static auto* cv = new std::condition_variable;
    return *cv;
}
struct Waiter {
    std::condition_variable cv;
};

struct Object {
    virtual ~Object() = default;
};
struct FileObject : Object {
    std::uint64_t file = 0;
    bool overlapped = false;
};
struct EventObject : Object {
    bool manual = true;
    bool state = false;             // guarded by WaitMutex
    std::vector<Waiter*> waiters;   // guarded by WaitMutex
};

// Registers a waiter with events for the lifetime of a wait (WaitMutex held).
class WaitRegistration {
public:
    WaitRegistration(Waiter* w, const std::vector<std::shared_ptr<EventObject>>& events) : w_(w), events_(events) {
        for (auto& e : events_) e->waiters.push_back(w_);
    }
    ~WaitRegistration() {
        for (auto& e : events_) e->waiters.erase(std::find(e->waiters.begin(), e->waiters.end(), w_));
    }

private:
    Waiter* w_;
    const std::vector<std::shared_ptr<EventObject>>& events_;
};

std::mutex gHandleMutex;
std::map<uintptr_t, std::shared_ptr<Object>>& Table() {
    static auto* t = new std::map<uintptr_t, std::shared_ptr<Object>>;
    return *t;
}
// Handle values stay below 2^31: programs of this suite keep them in 32-bit fields.
uintptr_t gNextHandle = 0x100;

HANDLE AddHandle(std::shared_ptr<Object> o) {
    std::lock_guard lk(gHandleMutex);
    uintptr_t h = gNextHandle += 4;
    Table()[h] = std::move(o);
    return reinterpret_cast<HANDLE>(h);
}
template <class T>
std::shared_ptr<T> Get(HANDLE h) {
    std::lock_guard lk(gHandleMutex);
    auto it = Table().find(reinterpret_cast<uintptr_t>(h));
    return it == Table().end() ? nullptr : std::dynamic_pointer_cast<T>(it->second);
}

}  // namespace

void platform::device::CloseAllHandles() {
    std::map<uintptr_t, std::shared_ptr<Object>> all;
    {
        std::lock_guard lk(gHandleMutex);
        all.swap(Table());
    }
    for (auto& [h, o] : all)
        if (auto f = std::dynamic_pointer_cast<FileObject>(o)) CurrentPath().Close(f->file);
}

namespace {

void SignalLocked(const std::shared_ptr<EventObject>& e) {
    e->state = true;
    for (Waiter* w : e->waiters) w->cv.notify_one();
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// Status and byte count of a request as the completion left them.
struct Outcome {
    std::condition_variable cv;  // the synchronous caller waits here
    bool done = false;
    NTSTATUS status = STATUS_PENDING;
    ULONG_PTR information = 0;
};

// One device request: waits for it when the caller did not ask for overlapped completion.
BOOL Issue(HANDLE h, const kernel::UserRequest& rq, LPDWORD bytes, LPOVERLAPPED ov) {
    auto f = Get<FileObject>(h);
    if (!f) return Fail(ERROR_INVALID_HANDLE);
    RequestPath& path = CurrentPath();
    bool async = ov && f->overlapped;
    if (!async) {
        auto out = std::make_shared<Outcome>();
        path.Submit(f->file, rq, [out](NTSTATUS s, ULONG_PTR info, bool) {
            std::lock_guard lk(WaitMutex());
            out->status = s;
            out->information = info;
            out->done = true;
            out->cv.notify_one();
        });
        std::unique_lock lk(WaitMutex());
        out->cv.wait(lk, [&] { return out->done; });
        if (bytes) *bytes = static_cast<DWORD>(out->information);
        if (ov) {
            ov->InternalHigh = out->information;
            ov->Internal = static_cast<ULONG_PTR>(static_cast<std::uint32_t>(out->status));
        }
        if (!NT_SUCCESS(out->status)) return Fail(RtlNtStatusToDosError(out->status));
        return TRUE;
    }
    auto event = ov->hEvent ? Get<EventObject>(ov->hEvent) : nullptr;
    {
        std::lock_guard lk(WaitMutex());
        __atomic_store_n(&ov->Internal, static_cast<ULONG_PTR>(STATUS_PENDING), __ATOMIC_RELEASE);
        ov->InternalHigh = 0;
        if (event) event->state = false;
    }
    auto out = std::make_shared<Outcome>();
    NTSTATUS s = path.Submit(f->file, rq, [out, ov, event](NTSTATUS st, ULONG_PTR info, bool pendingReturned) {
        std::lock_guard lk(WaitMutex());
        out->status = st;
        out->information = info;
        out->done = true;
        ov->InternalHigh = info;
        __atomic_store_n(&ov->Internal, static_cast<ULONG_PTR>(static_cast<std::uint32_t>(st)), __ATOMIC_RELEASE);
        // A failure the driver reported at once is told through the return value; the event
        // stays as it is. The record still holds the outcome, so a GetOverlappedResult on it
        // reports the failure instead of waiting for ever.
        if (!(NT_ERROR(st) && !pendingReturned) && event) SignalLocked(event);
        if (!event) WaitCv().notify_all();
    });
    if (s == STATUS_PENDING) return Fail(ERROR_IO_PENDING);
    std::lock_guard lk(WaitMutex());
    if (!out->done) {
        // The driver returned without pending and without completing: treat as pending.
        return Fail(ERROR_IO_PENDING);
    }
    if (bytes) *bytes = static_cast<DWORD>(out->information);
    if (!NT_SUCCESS(out->status)) return Fail(RtlNtStatusToDosError(out->status));
    return TRUE;
}

}  // namespace

HANDLE CreateFileA(LPCSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD flags, HANDLE) {
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string_view p(path);
    if (p.size() < 5 || p.substr(0, 2) != "\\\\" || (p[2] != '.' && p[2] != '?') || p[3] != '\\') {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::uint64_t file = 0;
    NTSTATUS s = CurrentPath().Open(p, &file);
    if (!NT_SUCCESS(s)) {
        SetLastError(RtlNtStatusToDosError(s));
        return INVALID_HANDLE_VALUE;
    }
    auto o = std::make_shared<FileObject>();
    o->file = file;
    o->overlapped = (flags & FILE_FLAG_OVERLAPPED) != 0;
    SetLastError(ERROR_SUCCESS);
    return AddHandle(o);
}

BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID input, DWORD inputLength, LPVOID output, DWORD outputLength,
                     LPDWORD bytesReturned, LPOVERLAPPED overlapped) {
    kernel::UserRequest rq;
    rq.major = IRP_MJ_DEVICE_CONTROL;
    rq.code = code;
    rq.input = input;
    rq.inputLength = input ? inputLength : 0;
    rq.output = output;
    rq.outputLength = output ? outputLength : 0;
    return Issue(device, rq, bytesReturned, overlapped);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD length, LPDWORD bytesRead, LPOVERLAPPED overlapped) {
    kernel::UserRequest rq;
    rq.major = IRP_MJ_READ;
    rq.output = buffer;
    rq.outputLength = buffer ? length : 0;
    if (bytesRead) *bytesRead = 0;
    return Issue(file, rq, bytesRead, overlapped);
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD length, LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
    kernel::UserRequest rq;
    rq.major = IRP_MJ_WRITE;
    rq.input = buffer;
    rq.inputLength = buffer ? length : 0;
    if (bytesWritten) *bytesWritten = 0;
    return Issue(file, rq, bytesWritten, overlapped);
}

BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED ov, LPDWORD bytes, BOOL wait) {
    if (!Get<FileObject>(file)) return Fail(ERROR_INVALID_HANDLE);
    std::unique_lock lk(WaitMutex());
    auto status = [&] { return static_cast<NTSTATUS>(__atomic_load_n(&ov->Internal, __ATOMIC_ACQUIRE)); };
    if (status() == STATUS_PENDING) {
        if (!wait) {
            lk.unlock();
            return Fail(ERROR_IO_INCOMPLETE);
        }
        auto event = ov->hEvent ? Get<EventObject>(ov->hEvent) : nullptr;
        if (event) {
            // The completion writes the record, then sets the event: wake with the event.
            Waiter w;
            std::vector<std::shared_ptr<EventObject>> list{event};
            WaitRegistration reg(&w, list);
            w.cv.wait(lk, [&] { return status() != STATUS_PENDING; });
        } else {
            WaitCv().wait(lk, [&] { return status() != STATUS_PENDING; });
        }
    }
    if (bytes) *bytes = static_cast<DWORD>(ov->InternalHigh);
    NTSTATUS s = status();
    lk.unlock();
    if (!NT_SUCCESS(s)) return Fail(RtlNtStatusToDosError(s));
    return TRUE;
}

BOOL CancelIo(HANDLE file) {
    auto f = Get<FileObject>(file);
    if (!f) return Fail(ERROR_INVALID_HANDLE);
    CurrentPath().Cancel(f->file, std::this_thread::get_id());
    return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
    std::shared_ptr<Object> o;
    {
        std::lock_guard lk(gHandleMutex);
        auto it = Table().find(reinterpret_cast<uintptr_t>(handle));
        if (it == Table().end()) return Fail(ERROR_INVALID_HANDLE);
        o = it->second;
        Table().erase(it);
    }
    if (auto f = std::dynamic_pointer_cast<FileObject>(o)) CurrentPath().Close(f->file);
    return TRUE;
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR) {
    auto e = std::make_shared<EventObject>();
    e->manual = manualReset != 0;
    e->state = initialState != 0;
    return AddHandle(e);
}
BOOL SetEvent(HANDLE event) {
    auto e = Get<EventObject>(event);
    if (!e) return Fail(ERROR_INVALID_HANDLE);
    std::lock_guard lk(WaitMutex());
    SignalLocked(e);
    return TRUE;
}
BOOL ResetEvent(HANDLE event) {
    auto e = Get<EventObject>(event);
    if (!e) return Fail(ERROR_INVALID_HANDLE);
    std::lock_guard lk(WaitMutex());
    e->state = false;
    return TRUE;
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD ms) {
    std::vector<std::shared_ptr<EventObject>> events;
    for (DWORD i = 0; i < count; ++i) {
        auto e = Get<EventObject>(handles[i]);
        if (!e) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        events.push_back(e);
    }
    std::unique_lock lk(WaitMutex());
    DWORD hit = 0;
    auto ready = [&] {
        if (waitAll) return std::all_of(events.begin(), events.end(), [](auto& e) { return e->state; });
        for (DWORD i = 0; i < events.size(); ++i)
            if (events[i]->state) {
                hit = i;
                return true;
            }
        return false;
    };
    Waiter w;
    WaitRegistration reg(&w, events);
    if (ms == INFINITE) {
        w.cv.wait(lk, ready);
    } else if (!w.cv.wait_for(lk, std::chrono::milliseconds(ms), ready)) {
        return WAIT_TIMEOUT;
    }
    // Auto-reset events are consumed by the wait that they release.
    if (waitAll) {
        for (auto& e : events)
            if (!e->manual) e->state = false;
        return WAIT_OBJECT_0;
    }
    if (!events[hit]->manual) events[hit]->state = false;
    return WAIT_OBJECT_0 + hit;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD ms) { return WaitForMultipleObjects(1, &handle, FALSE, ms); }
