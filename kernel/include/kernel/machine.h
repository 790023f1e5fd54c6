// The machine: one per process. It owns the kernel's state (object names, drivers, devices,
// requests, the DPC, timer, worker and interrupt threads), the verifier, the pool and the
// debug trace, and is the seam through which the simulated hardware (hw/) plugs devices in
// and the device-I/O layer (platform/device) sends user requests.
//
// Lock order inside the model: a line's interrupt lock -> a hardware model's lock; the cancel
// spin lock is never held across a register access (the verifier reports it). The machine's
// own mutexes are leaves: no driver code runs while one of them is held.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "kernel/wdm.h"

namespace kernel {

// A device's register window (memory or I/O space) as the hardware model implements it.
// Calls arrive synchronously from the driver's thread; width is 1, 2 or 4 bytes.
class RegisterWindow {
public:
    virtual ~RegisterWindow() = default;
    virtual ULONG Read(ULONG offset, int width) = 0;
    virtual void Write(ULONG offset, int width, ULONG value) = 0;
};

// One interrupt line. A hardware model raises it while it wants service and lowers it when
// the cause is gone; it must not hold its own lock while doing either.
class InterruptLine {
public:
    virtual ~InterruptLine() = default;
    virtual void Raise() = 0;
    virtual void Lower() = 0;
    virtual bool IsRaised() const = 0;
    // Masked after a round in which no connected routine claimed the raised line; unmasked
    // when the line is lowered or another routine connects.
    virtual bool IsMasked() const = 0;
    virtual unsigned UnclaimedCount() const = 0;
};

// A resource the bus reports for a device (raw and translated are the same in the model).
struct Resource {
    enum Kind { Memory, Port, Interrupt } kind = Memory;
    ULONGLONG start = 0;  // physical address or port number
    ULONG length = 0;
    ULONG vector = 0;  // interrupt: line number
    bool latched = false;
    bool shared = true;
};

// What a bus driver knows of one device below a function driver (the physical device
// object's side). hw/ implements it for the PCI board's channels and the USB devices.
class PhysicalDevice {
public:
    virtual ~PhysicalDevice() = default;
    // "PCI\VEN_1234&DEV_1C94&SUBSYS_20001234&REV_01", "USB\VID_xxxx&PID_xxxx"; the function
    // driver is chosen by it (Machine::RegisterDriver).
    virtual std::wstring HardwareId() const = 0;
    virtual std::wstring DeviceDescription() const { return L""; }
    virtual std::vector<Resource> Resources() const { return {}; }
    // PCI configuration space; bytes transferred.
    virtual ULONG ReadConfig(void* buffer, ULONG offset, ULONG length) { return 0; }
    virtual ULONG WriteConfig(const void* buffer, ULONG offset, ULONG length) { return 0; }
    // IRP_MJ_INTERNAL_DEVICE_CONTROL sent to the physical device object (USB request blocks).
    // Complete it (now or later, IoCompleteRequest) and return its status or STATUS_PENDING.
    virtual NTSTATUS InternalDeviceControl(PDEVICE_OBJECT pdo, PIRP irp);
    virtual void FillCapabilities(DEVICE_CAPABILITIES& caps) {}
    // Called when the device's stack has been removed.
    virtual void Removed() {}
};

// Rules the verifier checks; a broken rule is recorded and reported, never hidden.
enum class Rule {
    DoubleCompletion,
    CompletedWithCancelRoutine,
    CompletedWithPendingStatus,
    PendingAtRemove,
    UnbalancedSpinLock,
    SpinLockNotHeld,
    SpinLockRecursion,
    PendingNotMarked,
    RegisterOutsideWindow,
    CancelLockAcrossRegisterAccess,
    CancelRoutineKeptCancelLock,
    BadPoolFree,
    NoStackLocation,
    WaitAtRaisedIrql,
};
const char* RuleName(Rule rule);

struct Violation {
    Rule rule;
    std::string detail;
};

class Verifier {
public:
    void Report(Rule rule, std::string detail);
    std::vector<Violation> Violations() const;
    size_t Count(Rule rule) const;
    bool Clean() const;
    void Clear();
    // One line per violation, for test failure messages.
    std::string Describe() const;
    // Concurrency stress: a thread that leaves a spin lock (or synchronised execution) for
    // passive level pauses briefly, so that other threads run between two locked steps of one
    // dispatch routine. Shows checks and updates a driver split into separate locked steps.
    void SetConcurrencyStress(bool on);

    // The machine's side.
    struct State;
    std::shared_ptr<State> state_;
    Verifier();
};

// Pool allocation with failure injection.
class Pool {
public:
    // The next n allocations succeed, every later one fails (until Reset); n < 0: never fail.
    void FailAfter(long n);
    // Allocations with this tag fail (0: none).
    void FailTag(ULONG tag);
    void Reset();
    size_t LiveAllocations() const;
    size_t FailedAllocations() const;

    // The machine's side.
    struct State;
    std::shared_ptr<State> state_;
    Pool();
};

// Driver registry (kernel paths "\Registry\Machine\..."); values keep the kernel's bytes.
struct RegistryValue {
    ULONG type = REG_NONE;
    std::vector<UCHAR> data;
};
class RegistryStore {
public:
    virtual ~RegistryStore() = default;
    virtual bool KeyExists(const std::wstring& path) = 0;
    virtual bool CreateKey(const std::wstring& path) = 0;
    virtual bool QueryValue(const std::wstring& path, const std::wstring& name, RegistryValue* value) = 0;
    virtual bool SetValue(const std::wstring& path, const std::wstring& name, const RegistryValue& value) = 0;
    virtual bool DeleteValue(const std::wstring& path, const std::wstring& name) = 0;
    virtual std::vector<std::wstring> SubKeys(const std::wstring& path) = 0;
};
// Keys and values in memory, names without regard to case.
std::unique_ptr<RegistryStore> MakeMemoryRegistry();
// The suite's hives in `folder` ("\Registry\Machine" is HKEY_LOCAL_MACHINE, "\Registry\User"
// HKEY_USERS), provisioned when none exist yet; null when the hives cannot be used.
std::unique_ptr<RegistryStore> MakeHiveRegistry(const std::filesystem::path& folder);
// Helpers for REG_SZ / REG_DWORD values in the kernel's form.
RegistryValue SzValue(const std::wstring& text);
RegistryValue DwordValue(ULONG value);
std::wstring SzText(const RegistryValue& value);

// An open file object as user mode sees it (platform/device keeps one per handle).
class OpenFile;

// One request from user mode.
struct UserRequest {
    UCHAR major = IRP_MJ_DEVICE_CONTROL;  // IRP_MJ_READ, IRP_MJ_WRITE or IRP_MJ_DEVICE_CONTROL
    ULONG code = 0;                       // control code
    const void* input = nullptr;          // write data or control input
    ULONG inputLength = 0;
    void* output = nullptr;  // read buffer or control output
    ULONG outputLength = 0;
};
// Called exactly once, when the request has been completed and its output copied.
// pendingReturned: the dispatch routine pended the request (user mode then always learns the
// outcome through the overlapped record, even for a failure).
using RequestDone = std::function<void(NTSTATUS status, ULONG_PTR information, bool pendingReturned)>;

struct MachineOptions {
    // Length of one tick of KeQueryTickCount, 100 ns units (15.625 ms as on a PC).
    ULONG timeIncrement = 156250;
    // Registry to use; null: keys in memory.
    std::shared_ptr<RegistryStore> registry;
};

class Machine {
public:
    explicit Machine(MachineOptions options = {});
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // The process's machine (null when none exists).
    static Machine* Current();

    // A step that stops the hardware below the drivers (its threads, its lines). When the
    // machine goes away, the steps run (last added first) after every device was removed and
    // every driver unloaded, and before the kernel's own threads and lines stop: removal still
    // finds the hardware working, and no hardware thread outlives what it drives.
    void AtHardwareShutdown(std::function<void()> step);

    // ---- drivers and devices
    // A driver serves the devices whose hardware ID starts with one of the prefixes (case
    // ignored); it is loaded (DriverEntry) when its first device arrives and unloaded when
    // its last device is removed.
    void RegisterDriver(const std::wstring& serviceName, PDRIVER_INITIALIZE entry,
                        std::vector<std::wstring> hardwareIdPrefixes);
    // Plug and play arrival: creates the physical device object and the Enum key, loads the
    // driver, adds and starts the device. Returns the physical device object, or null when no
    // driver serves it or adding failed (the status goes to *status).
    PDEVICE_OBJECT PlugIn(std::shared_ptr<PhysicalDevice> device, NTSTATUS* status = nullptr);
    // Orderly removal: query-remove, then remove (or cancel-remove when refused).
    NTSTATUS Remove(PDEVICE_OBJECT pdo);
    // Surprise removal: the device is gone; removal follows when its last file is closed.
    void SurpriseRemove(PDEVICE_OBJECT pdo);
    // Query-stop, stop, and start again with the same resources (resource rebalance).
    NTSTATUS StopAndRestart(PDEVICE_OBJECT pdo);
    // Sends a query-capabilities request down pdo's stack.
    NTSTATUS QueryCapabilities(PDEVICE_OBJECT pdo, DEVICE_CAPABILITIES* caps);
    // System power request (set-power) to every started device.
    void SetSystemPower(SYSTEM_POWER_STATE state);
    // Enum key of a device ("\Registry\Machine\System\CurrentControlSet\Enum\PCI\...\0").
    std::wstring EnumKeyPath(PDEVICE_OBJECT pdo) const;
    // The top of pdo's stack (null when the device is gone).
    PDEVICE_OBJECT TopOfStack(PDEVICE_OBJECT pdo) const;

    // ---- hardware
    void MapRegisters(ULONGLONG physical, ULONG length, RegisterWindow* window);
    void UnmapRegisters(ULONGLONG physical);
    void MapPorts(ULONG port, ULONG length, RegisterWindow* window);
    void UnmapPorts(ULONG port);
    InterruptLine& Line(ULONG vector);

    // ---- user requests (platform/device)
    // Opens "\\.\NAME" or a device-interface path "\\?\...". Returns the create status.
    NTSTATUS Open(std::string_view path, std::shared_ptr<OpenFile>* file);
    // Sends one request. Returns what the dispatch routine returned (STATUS_PENDING when it
    // pended the request); done runs once the request is completed, possibly before this
    // returns. A file that is closing refuses requests with STATUS_INVALID_HANDLE (done runs).
    NTSTATUS Submit(const std::shared_ptr<OpenFile>& file, const UserRequest& request, RequestDone done);
    // Cancels the requests of the file that the thread issued and that are still pending.
    void CancelRequests(const std::shared_ptr<OpenFile>& file, std::thread::id thread);
    // Cleanup (IRP_MJ_CLEANUP), cancellation of what is still pending, then close
    // (IRP_MJ_CLOSE) once the file's last request has ended.
    void Close(const std::shared_ptr<OpenFile>& file);
    // Enabled interfaces of a class, as user-mode paths ("\\?\...").
    std::vector<std::string> InterfacePaths(const GUID& classGuid) const;
    // Interface arrival and removal for user mode; callbacks run on the worker thread.
    using InterfaceListener = std::function<void(const GUID& classGuid, const std::string& path, bool arrival)>;
    int AddInterfaceListener(InterfaceListener listener);
    void RemoveInterfaceListener(int id);

    // ---- services
    Verifier& verifier();
    Pool& pool();
    RegistryStore& registry();
    std::vector<std::string> Trace() const;
    void ClearTrace();
    // Waits until the worker thread (notifications, work items, deferred closes) is idle.
    void DrainWorker();

    struct Impl;
    Impl& impl() { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

// Kernel text helpers: wide strings (WCHAR) <-> Shift-JIS bytes of user mode.
std::wstring Widen(std::string_view sjis);
std::string Narrow(std::wstring_view text);
std::wstring ToWide(PCUNICODE_STRING s);
// Boots the machine for platform/device: a loader installed by hw/ fills a machine from a
// machine description file. Without one the machine starts empty.
using MachineLoader = std::function<void(Machine& machine, const std::string& descriptionPath)>;
void SetMachineLoader(MachineLoader loader);
MachineLoader GetMachineLoader();

}  // namespace kernel
