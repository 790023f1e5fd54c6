// Inside of the machine: the state behind kernel/machine.h and kernel/wdm.h.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <list>
#include <map>
#include <mutex>
#include <set>
#include <shared_mutex>
#include <utility>

#include "kernel/machine.h"

namespace kernel {

// ---------------------------------------------------------------- threads
// One thread running posted jobs in order.
class WorkQueue {
public:
    explicit WorkQueue(const char* name);
    ~WorkQueue();
    void Post(std::function<void()> job);
    // Waits until every job posted so far has run (no-op on the queue's own thread).
    void Drain();
    void Stop();
    bool OnQueueThread() const { return std::this_thread::get_id() == thread_.get_id(); }

private:
    void Run();
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> jobs_;
    bool busy_ = false, stop_ = false;
    std::thread thread_;
};

class DpcQueue {
public:
    DpcQueue();
    ~DpcQueue();
    bool Insert(PKDPC dpc, PVOID a1, PVOID a2);
    bool Remove(PKDPC dpc);
    void Flush();
    void Stop();
    bool OnDpcThread() const { return std::this_thread::get_id() == thread_.get_id(); }

private:
    void Run();
    std::mutex m_;
    std::condition_variable cv_;
    // Each insertion gets the next number: a flush waits only for what was queued before it.
    std::deque<std::pair<PKDPC, unsigned long long>> queue_;
    unsigned long long inserted_ = 0, runningSeq_ = 0;
    bool running_ = false, stop_ = false;
    std::thread thread_;
};

class TimerQueue {
public:
    explicit TimerQueue(Machine::Impl& m);
    ~TimerQueue();
    bool Set(PKTIMER timer, LONGLONG dueInterruptTime, LONG periodMs, PKDPC dpc);
    bool Cancel(PKTIMER timer);
    void Stop();

private:
    void Run();
    bool RemoveLocked(PKTIMER timer);
    Machine::Impl& machine_;
    std::mutex m_;
    std::condition_variable cv_;
    std::multimap<LONGLONG, PKTIMER> timers_;
    bool stop_ = false;
    std::thread thread_;
};

// ---------------------------------------------------------------- interrupts
class LineImpl;
struct InterruptObject {
    KSPIN_LOCK ownLock = 0;
    PKSPIN_LOCK lock = nullptr;
    PKSERVICE_ROUTINE routine = nullptr;
    PVOID context = nullptr;
    KIRQL syncIrql = DIRQL_BASE;
    bool shared = true;
    LineImpl* line = nullptr;
};

class LineImpl : public InterruptLine {
public:
    LineImpl(Machine::Impl& m, ULONG vector);
    ~LineImpl() override;
    void Raise() override;
    void Lower() override;
    bool IsRaised() const override;
    bool IsMasked() const override;
    unsigned UnclaimedCount() const override;
    NTSTATUS Connect(InterruptObject* io);
    void Disconnect(InterruptObject* io);
    void Stop();

private:
    void Run();
    Machine::Impl& machine_;
    ULONG vector_;
    mutable std::mutex m_;
    std::condition_variable cv_;
    bool raised_ = false, edge_ = false, masked_ = false, stop_ = false, serving_ = false;
    unsigned unclaimed_ = 0;
    std::vector<InterruptObject*> connections_;
    std::thread thread_;
};

// ---------------------------------------------------------------- requests
enum class IrpKind { User, Sync, Built, Allocated, PowerRequest };

struct IrpBlock {
    IRP irp{};
    std::vector<IO_STACK_LOCATION> stack;
    std::atomic<int> refs{1};
    std::atomic<bool> completed{false};
    bool finished = false;  // reached the top; guarded by the machine's irp mutex
    IrpKind kind = IrpKind::Allocated;
    // User requests.
    std::shared_ptr<OpenFile> file;
    bool counted = false;  // counts towards the file's outstanding requests
    std::thread::id thread;
    UCHAR method = METHOD_BUFFERED;
    UCHAR major = 0;
    void* userOutput = nullptr;
    ULONG userOutputLength = 0;
    bool ownsSystemBuffer = false;
    RequestDone done;
    // Built (IoBuildDeviceIoControlRequest) requests.
    PKEVENT event = nullptr;
    PIO_STATUS_BLOCK iosb = nullptr;
    // Sync requests of the machine itself.
    std::mutex syncMutex;
    std::condition_variable syncCv;
    bool syncDone = false;
    // Power requests (PoRequestPowerIrp).
    PREQUEST_POWER_COMPLETE powerDone = nullptr;
    PVOID powerContext = nullptr;
    PDEVICE_OBJECT powerTarget = nullptr;
    POWER_STATE powerState{};
    UCHAR powerMinor = 0;
};
// Frees a request and the buffers the I/O manager allocated for it.
void FreeIrp(IrpBlock* b);
inline IrpBlock* Block(PIRP irp) { return static_cast<IrpBlock*>(irp->KernelPrivate); }

// ---------------------------------------------------------------- devices and files
struct DeviceNode;

struct DeviceRecord {
    std::unique_ptr<DEVICE_OBJECT> object;
    std::vector<UCHAR> extension;
    std::wstring name;  // as created ("\Device\X"), may be empty
    PDEVICE_OBJECT lower = nullptr;
    DeviceNode* node = nullptr;
    bool deleted = false;
    int opens = 0;
    POWER_STATE deviceState{};
};

struct DriverInfo {
    std::wstring service;
    PDRIVER_INITIALIZE entry = nullptr;
    std::vector<std::wstring> prefixes;
    std::unique_ptr<DRIVER_OBJECT> object;  // null while not loaded
    DRIVER_EXTENSION extension{};
    std::wstring nameBuffer;
};

struct DeviceNode {
    std::shared_ptr<PhysicalDevice> physical;
    PDEVICE_OBJECT pdo = nullptr;
    DriverInfo* driver = nullptr;
    std::wstring enumPath, driverKey, hardwareId;
    CM_RESOURCE_LIST resources{};
    bool started = false, surprise = false, removed = false;
    int openFiles = 0;
};

}  // namespace kernel

namespace kernel {
class OpenFile {
public:
    Machine::Impl* owner = nullptr;
    FILE_OBJECT object{};
    std::wstring fileName;
    PDEVICE_OBJECT named = nullptr;  // the device the path named
    PDEVICE_OBJECT top = nullptr;    // where requests go
    DeviceNode* node = nullptr;
    std::mutex m;
    int outstanding = 0;
    bool closing = false, closeSent = false, closeDeferred = false, gone = false;
};
}  // namespace kernel

namespace kernel {

struct InterfaceEntry {
    std::wstring link;      // "\??\...#{guid}\ref"
    std::wstring linkKey;   // upper case, without "\??\"
    GUID guid{};
    PDEVICE_OBJECT pdo = nullptr;
    std::wstring reference;
    bool enabled = false;
};

struct NotifyEntry {
    GUID guid{};
    PDRIVER_NOTIFICATION_CALLBACK_ROUTINE callback = nullptr;
    PVOID context = nullptr;
    bool active = true;
    bool running = false;
};

struct WindowMap {
    ULONGLONG start = 0;
    ULONG length = 0;
    RegisterWindow* window = nullptr;
};
struct Mapping {
    uintptr_t va = 0;
    SIZE_T length = 0;
    ULONGLONG physical = 0;
    RegisterWindow* window = nullptr;  // null once the window went away
    ULONG offset = 0;                  // of va inside the window
};

struct Verifier::State {
    mutable std::mutex m;
    std::vector<Violation> list;
    std::atomic<bool> concurrencyStress{false};
};
struct Pool::State {
    mutable std::mutex m;
    long failAfter = -1;
    ULONG failTag = 0;
    size_t live = 0, failed = 0;
    std::set<void*> blocks;  // live blocks, so a bad free is recognised without touching it
};

struct Machine::Impl {
    explicit Impl(Machine* self, MachineOptions options);
    Machine* self;
    MachineOptions options;
    std::chrono::steady_clock::time_point boot;
    Verifier verifier;
    Pool pool;
    std::shared_ptr<RegistryStore> registry;

    mutable std::mutex traceMutex;
    std::vector<std::string> trace;

    // Object names, devices, drivers, interfaces, files.
    mutable std::mutex objMutex;
    std::map<std::wstring, PDEVICE_OBJECT> deviceNames;  // upper-case name
    std::map<std::wstring, std::wstring> links;          // upper-case link (no prefix) -> device name
    std::map<PDEVICE_OBJECT, std::unique_ptr<DeviceRecord>> devices;
    std::vector<std::unique_ptr<DriverInfo>> drivers;
    std::list<std::unique_ptr<DeviceNode>> nodes;
    std::map<std::wstring, InterfaceEntry> interfaces;  // by linkKey
    std::list<std::shared_ptr<NotifyEntry>> notifications;
    std::condition_variable notifyIdle;  // a notification callback finished (objMutex)
    std::map<int, Machine::InterfaceListener> listeners;
    int nextListener = 1;
    std::set<OpenFile*> files;
    ULONG nextAutoName = 0, nextDriverKey = 0;
    std::recursive_mutex pnpMutex;
    std::vector<std::function<void()>> hardwareShutdown;  // run in reverse order
    DRIVER_OBJECT busDriver{};
    DRIVER_EXTENSION busExtension{};

    // Requests.
    std::mutex irpMutex;
    std::set<IrpBlock*> irps;
    KSPIN_LOCK cancelLock = 0;

    // Registers.
    std::shared_mutex mapMutex;
    std::vector<WindowMap> memory, ports;
    std::map<uintptr_t, Mapping> mappings;
    void* vaBase = nullptr;
    size_t vaSize = 0, vaNext = 0;

    // Registry handles.
    std::mutex keyMutex;
    std::map<uintptr_t, std::wstring> keys;
    uintptr_t nextKey = 0x1000;

    // Threads (declared last: stopped first).
    std::mutex lineMutex;
    std::map<ULONG, std::unique_ptr<LineImpl>> lines;
    std::unique_ptr<DpcQueue> dpc;
    std::unique_ptr<TimerQueue> timers;
    std::unique_ptr<WorkQueue> worker;  // notifications, work items
    std::unique_ptr<WorkQueue> pnp;     // deferred closes and removals

    // Helpers shared by the source files.
    DeviceRecord* Record(PDEVICE_OBJECT d);  // objMutex must not be held
    DeviceRecord* RecordLocked(PDEVICE_OBJECT d);
    ULONGLONG InterruptTime() const;
    IrpBlock* NewIrp(IrpKind kind, CHAR stackSize);
    void Track(IrpBlock* b);
    void Release(IrpBlock* b);
    void Finish(IrpBlock* b);
    NTSTATUS SendSync(PDEVICE_OBJECT target, const std::function<void(PIO_STACK_LOCATION, PIRP)>& setup,
                      ULONG_PTR* information = nullptr);
    NTSTATUS SendPnp(DeviceNode* node, UCHAR minor, const std::function<void(PIO_STACK_LOCATION)>& setup = {});
    void CheckPendingAtDelete(PDEVICE_OBJECT d);
    void DoRemove(DeviceNode* node);
    void DisableInterfacesOf(PDEVICE_OBJECT pdo, bool forget);
    void PostInterfaceChange(const InterfaceEntry& e, bool arrival);
    void MaybeUnload(DriverInfo* driver);
    void SendFileIrp(const std::shared_ptr<OpenFile>& file, UCHAR major);
    void FileClosed(const std::shared_ptr<OpenFile>& file);
    void AddTrace(std::string line);
};

Machine::Impl& M();  // the current machine; aborts when there is none

// Per-thread spin-lock bookkeeping.
size_t HeldLockCount();
bool HoldsLock(PKSPIN_LOCK lock);
void AcquireRaw(PKSPIN_LOCK lock);
void ReleaseRaw(PKSPIN_LOCK lock);
// Under concurrency stress: a short pause of a thread back at passive level with no lock held.
void StressPoint();
// Reports (and repairs) locks left held or released by a routine that just returned.
void CheckBalance(size_t depth, const char* what);
void SetIrql(KIRQL irql);

std::wstring Upper(std::wstring_view s);
std::wstring GuidText(const GUID& g);

}  // namespace kernel
