// The machine, the plug and play manager with its bus driver, device interfaces and their
// notifications, power requests, work items and the drivers' registry access.
#include <sys/mman.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "internal.h"

namespace kernel {

namespace {
std::atomic<Machine*> gCurrent{nullptr};
// The loader is installed by a static initializer of the machine library, which may run
// before this file's own: function-local, so it exists whenever it is first used.
std::mutex& LoaderMutex() {
    static std::mutex m;
    return m;
}
MachineLoader& Loader() {
    static MachineLoader loader;
    return loader;
}

const std::wstring kEnumRoot = L"\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\";
const std::wstring kClassRoot =
    L"\\Registry\\Machine\\System\\CurrentControlSet\\Control\\Class\\{4D36E97D-E325-11CE-BFC1-08002BE10318}\\";
const std::wstring kServicesRoot = L"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\";
// Fake virtual addresses for mapped register windows: reserved, never accessible, so a
// driver that dereferences one instead of using the accessors faults at once.
constexpr size_t kVaReserve = size_t(64) << 20;
}  // namespace

void SetMachineLoader(MachineLoader loader) {
    std::lock_guard lk(LoaderMutex());
    Loader() = std::move(loader);
}
MachineLoader GetMachineLoader() {
    std::lock_guard lk(LoaderMutex());
    return Loader();
}

Machine::Impl& M() {
    Machine* m = gCurrent.load(std::memory_order_acquire);
    if (!m) {
        std::fprintf(stderr, "kernel: kernel service called with no machine running\n");
        std::abort();
    }
    return m->impl();
}

NTSTATUS PhysicalDevice::InternalDeviceControl(PDEVICE_OBJECT, PIRP irp) {
    irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_INVALID_DEVICE_REQUEST;
}

ULONGLONG Machine::Impl::InterruptTime() const {
    auto d = std::chrono::steady_clock::now() - boot;
    return static_cast<ULONGLONG>(std::chrono::duration_cast<std::chrono::nanoseconds>(d).count() / 100);
}

// ---------------------------------------------------------------- the bus driver
namespace {
DeviceNode* NodeOf(PDEVICE_OBJECT pdo) { return *static_cast<DeviceNode**>(pdo->DeviceExtension); }

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR info = 0) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = info;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

ULONG BusGetData(PVOID context, ULONG, PVOID buffer, ULONG offset, ULONG length) {
    return static_cast<DeviceNode*>(context)->physical->ReadConfig(buffer, offset, length);
}
ULONG BusSetData(PVOID context, ULONG, PVOID buffer, ULONG offset, ULONG length) {
    return static_cast<DeviceNode*>(context)->physical->WriteConfig(buffer, offset, length);
}
void BusNoop(PVOID) {}

NTSTATUS BusPnp(PDEVICE_OBJECT pdo, PIRP irp) {
    DeviceNode* node = NodeOf(pdo);
    PIO_STACK_LOCATION sl = IoGetCurrentIrpStackLocation(irp);
    switch (sl->MinorFunction) {
    case IRP_MN_START_DEVICE:
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_STOP_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_REMOVE_DEVICE:
        return Complete(irp, STATUS_SUCCESS);
    case IRP_MN_QUERY_CAPABILITIES: {
        DEVICE_CAPABILITIES& c = *sl->Parameters.DeviceCapabilities.Capabilities;
        c.DeviceState[PowerSystemWorking] = PowerDeviceD0;
        for (int s = PowerSystemSleeping1; s < PowerSystemMaximum; ++s) c.DeviceState[s] = PowerDeviceD3;
        c.Removable = 1;
        c.UniqueID = 1;
        c.SystemWake = PowerSystemUnspecified;
        c.DeviceWake = PowerDeviceUnspecified;
        node->physical->FillCapabilities(c);
        return Complete(irp, STATUS_SUCCESS);
    }
    case IRP_MN_READ_CONFIG:
    case IRP_MN_WRITE_CONFIG: {
        auto& p = sl->Parameters.ReadWriteConfig;
        if (p.WhichSpace != PCI_WHICHSPACE_CONFIG) return Complete(irp, STATUS_INVALID_PARAMETER);
        ULONG n = sl->MinorFunction == IRP_MN_READ_CONFIG ? node->physical->ReadConfig(p.Buffer, p.Offset, p.Length)
                                                           : node->physical->WriteConfig(p.Buffer, p.Offset, p.Length);
        return Complete(irp, STATUS_SUCCESS, n);
    }
    case IRP_MN_QUERY_INTERFACE: {
        auto& q = sl->Parameters.QueryInterface;
        if (q.InterfaceType && *q.InterfaceType == GUID_BUS_INTERFACE_STANDARD &&
            q.Size >= sizeof(BUS_INTERFACE_STANDARD)) {
            auto* bus = reinterpret_cast<BUS_INTERFACE_STANDARD*>(q.Interface);
            bus->Size = sizeof(BUS_INTERFACE_STANDARD);
            bus->Version = 1;
            bus->Context = node;
            bus->InterfaceReference = BusNoop;
            bus->InterfaceDereference = BusNoop;
            bus->GetBusData = BusGetData;
            bus->SetBusData = BusSetData;
            return Complete(irp, STATUS_SUCCESS);
        }
        break;
    }
    default:
        break;
    }
    NTSTATUS s = irp->IoStatus.Status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return s;
}

NTSTATUS BusPower(PDEVICE_OBJECT, PIRP irp) {
    PoStartNextPowerIrp(irp);
    return Complete(irp, STATUS_SUCCESS);
}
NTSTATUS BusInternal(PDEVICE_OBJECT pdo, PIRP irp) { return NodeOf(pdo)->physical->InternalDeviceControl(pdo, irp); }
NTSTATUS BusSuccess(PDEVICE_OBJECT, PIRP irp) { return Complete(irp, STATUS_SUCCESS); }
NTSTATUS BusUnchanged(PDEVICE_OBJECT, PIRP irp) {
    NTSTATUS s = irp->IoStatus.Status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return s;
}
NTSTATUS BusInvalid(PDEVICE_OBJECT, PIRP irp) { return Complete(irp, STATUS_INVALID_DEVICE_REQUEST); }
}  // namespace

// ---------------------------------------------------------------- machine
Machine::Impl::Impl(Machine* s, MachineOptions o)
    : self(s), options(std::move(o)), boot(std::chrono::steady_clock::now()) {
    registry = options.registry ? options.registry : std::shared_ptr<RegistryStore>(MakeMemoryRegistry());
    if (options.timeIncrement == 0) options.timeIncrement = 156250;
    busDriver.DriverExtension = &busExtension;
    busExtension.DriverObject = &busDriver;
    for (auto& f : busDriver.MajorFunction) f = BusInvalid;
    busDriver.MajorFunction[IRP_MJ_PNP] = BusPnp;
    busDriver.MajorFunction[IRP_MJ_POWER] = BusPower;
    busDriver.MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = BusInternal;
    busDriver.MajorFunction[IRP_MJ_SYSTEM_CONTROL] = BusUnchanged;
    busDriver.MajorFunction[IRP_MJ_CREATE] = BusSuccess;
    busDriver.MajorFunction[IRP_MJ_CLOSE] = BusSuccess;
    busDriver.MajorFunction[IRP_MJ_CLEANUP] = BusSuccess;
    void* va = mmap(nullptr, kVaReserve, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (va != MAP_FAILED) {
        vaBase = va;
        vaSize = kVaReserve;
    }
    registry->CreateKey(L"\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Control\\ProductOptions");
    registry->CreateKey(kEnumRoot.substr(0, kEnumRoot.size() - 1));
    dpc = std::make_unique<DpcQueue>();
    timers = std::make_unique<TimerQueue>(*this);
    worker = std::make_unique<WorkQueue>("worker");
    pnp = std::make_unique<WorkQueue>("pnp");
}

Machine::Machine(MachineOptions options) : impl_(std::make_unique<Impl>(this, std::move(options))) {
    Machine* expected = nullptr;
    if (!gCurrent.compare_exchange_strong(expected, this)) {
        std::fprintf(stderr, "kernel: a process holds one machine; a second one was created\n");
        std::abort();
    }
}

Machine::~Machine() {
    Impl& m = *impl_;
    m.pnp->Drain();
    // Close what user mode left open, remove every device, unload the drivers.
    std::vector<std::shared_ptr<OpenFile>> open;
    {
        std::lock_guard lk(m.objMutex);
        for (OpenFile* f : m.files) open.push_back(std::shared_ptr<OpenFile>(std::shared_ptr<OpenFile>{}, f));
    }
    for (auto& f : open) Close(f);
    m.pnp->Drain();
    {
        std::lock_guard pl(m.pnpMutex);
        for (;;) {
            DeviceNode* n = nullptr;
            {
                std::lock_guard lk(m.objMutex);
                for (auto it = m.nodes.rbegin(); it != m.nodes.rend(); ++it)
                    if (!(*it)->removed) n = it->get();
            }
            if (!n) break;
            m.DoRemove(n);
        }
        for (auto& d : m.drivers)
            if (d->object) {
                if (d->object->DriverUnload) d->object->DriverUnload(d->object.get());
                d->object.reset();
            }
    }
    m.worker->Drain();
    // No driver is left: the hardware below stops now, while its lines still lead somewhere.
    std::vector<std::function<void()>> steps;
    {
        std::lock_guard lk(m.objMutex);
        steps.swap(m.hardwareShutdown);
    }
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) (*it)();
    m.pnp->Stop();
    m.worker->Stop();
    {
        std::lock_guard lk(m.lineMutex);
        for (auto& [v, line] : m.lines) line->Stop();
    }
    m.timers->Stop();
    m.dpc->Stop();
    {
        std::lock_guard lk(m.irpMutex);
        // Requests a faulty driver never completed.
        for (IrpBlock* b : m.irps) FreeIrp(b);
        m.irps.clear();
    }
    if (m.vaBase) munmap(m.vaBase, m.vaSize);
    gCurrent.store(nullptr, std::memory_order_release);
}

Machine* Machine::Current() { return gCurrent.load(std::memory_order_acquire); }
void Machine::AtHardwareShutdown(std::function<void()> step) {
    std::lock_guard lk(impl_->objMutex);
    impl_->hardwareShutdown.push_back(std::move(step));
}
Verifier& Machine::verifier() { return impl_->verifier; }
Pool& Machine::pool() { return impl_->pool; }
RegistryStore& Machine::registry() { return *impl_->registry; }
std::vector<std::string> Machine::Trace() const {
    std::lock_guard lk(impl_->traceMutex);
    return impl_->trace;
}
void Machine::ClearTrace() {
    std::lock_guard lk(impl_->traceMutex);
    impl_->trace.clear();
}
void Machine::DrainWorker() {
    impl_->pnp->Drain();
    impl_->worker->Drain();
}

void Machine::RegisterDriver(const std::wstring& serviceName, PDRIVER_INITIALIZE entry,
                             std::vector<std::wstring> prefixes) {
    auto d = std::make_unique<DriverInfo>();
    d->service = serviceName;
    d->entry = entry;
    for (auto& p : prefixes) d->prefixes.push_back(Upper(p));
    std::lock_guard lk(impl_->objMutex);
    impl_->drivers.push_back(std::move(d));
    impl_->registry->CreateKey(kServicesRoot + serviceName);
}

NTSTATUS Machine::Impl::SendPnp(DeviceNode* node, UCHAR minor, const std::function<void(PIO_STACK_LOCATION)>& setup) {
    PDEVICE_OBJECT top = IoGetAttachedDeviceReference(node->pdo);
    return SendSync(top, [&](PIO_STACK_LOCATION sl, PIRP irp) {
        irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
        sl->MajorFunction = IRP_MJ_PNP;
        sl->MinorFunction = minor;
        if (setup) setup(sl);
    });
}

PDEVICE_OBJECT Machine::PlugIn(std::shared_ptr<PhysicalDevice> device, NTSTATUS* statusOut) {
    Impl& m = *impl_;
    std::lock_guard pl(m.pnpMutex);
    NTSTATUS dummy;
    NTSTATUS& status = statusOut ? *statusOut : dummy;
    auto node = std::make_unique<DeviceNode>();
    node->physical = std::move(device);
    node->hardwareId = node->physical->HardwareId();
    DriverInfo* driver = nullptr;
    {
        std::lock_guard lk(m.objMutex);
        std::wstring id = Upper(node->hardwareId);
        for (auto& d : m.drivers)
            for (auto& p : d->prefixes)
                if (!driver && id.compare(0, p.size(), p) == 0) driver = d.get();
    }
    if (!driver) {
        status = STATUS_NO_SUCH_DEVICE;
        return nullptr;
    }
    node->driver = driver;
    // Enum key: Enum\<hardware id>\<first free instance number>.
    std::wstring base = kEnumRoot + node->hardwareId;
    {
        std::lock_guard lk(m.objMutex);
        for (int i = 0;; ++i) {
            std::wstring path = base + L"\\" + std::to_wstring(i);
            bool used = std::any_of(m.nodes.begin(), m.nodes.end(),
                                    [&](auto& n) { return !n->removed && Upper(n->enumPath) == Upper(path); });
            if (!used) {
                node->enumPath = path;
                break;
            }
        }
        wchar_t key[8];
        std::swprintf(key, 8, L"%04u", static_cast<unsigned>(m.nextDriverKey++));
        node->driverKey = L"{4D36E97D-E325-11CE-BFC1-08002BE10318}\\" + std::wstring(key);
    }
    RegistryStore& reg = *m.registry;
    reg.CreateKey(node->enumPath);
    reg.CreateKey(node->enumPath + L"\\Device Parameters");
    reg.CreateKey(kClassRoot + node->driverKey.substr(node->driverKey.find(L'\\') + 1));
    {
        RegistryValue hw;
        hw.type = REG_MULTI_SZ;
        std::wstring text = node->hardwareId + std::wstring(2, L'\0');
        hw.data.resize(text.size() * sizeof(WCHAR));
        std::memcpy(hw.data.data(), text.data(), hw.data.size());
        reg.SetValue(node->enumPath, L"HardwareID", hw);
    }
    reg.SetValue(node->enumPath, L"Driver", SzValue(node->driverKey));
    reg.SetValue(node->enumPath, L"Service", SzValue(driver->service));
    RegistryValue existing;
    if (!reg.QueryValue(node->enumPath, L"DeviceDesc", &existing))
        reg.SetValue(node->enumPath, L"DeviceDesc", SzValue(node->physical->DeviceDescription()));
    // Resources.
    auto& list = node->resources;
    list.Count = 1;
    auto& partial = list.List[0].PartialResourceList;
    for (const Resource& r : node->physical->Resources()) {
        if (partial.Count >= CM_MODEL_MAX_DESCRIPTORS) break;
        auto& d = partial.PartialDescriptors[partial.Count++];
        d.ShareDisposition = r.shared ? CmResourceShareShared : 1;
        if (r.kind == Resource::Interrupt) {
            d.Type = CmResourceTypeInterrupt;
            d.Flags = r.latched ? CM_RESOURCE_INTERRUPT_LATCHED : CM_RESOURCE_INTERRUPT_LEVEL_SENSITIVE;
            d.u.Interrupt.Level = r.vector;
            d.u.Interrupt.Vector = r.vector;
            d.u.Interrupt.Affinity = 1;
        } else {
            d.Type = r.kind == Resource::Memory ? CmResourceTypeMemory : CmResourceTypePort;
            d.u.Memory.Start.QuadPart = static_cast<LONGLONG>(r.start);
            d.u.Memory.Length = r.length;
        }
    }
    // Physical device object of the bus driver.
    PDEVICE_OBJECT pdo = nullptr;
    IoCreateDevice(&m.busDriver, sizeof(DeviceNode*), nullptr, FILE_DEVICE_BUS_EXTENDER,
                   FILE_AUTOGENERATED_DEVICE_NAME, FALSE, &pdo);
    *static_cast<DeviceNode**>(pdo->DeviceExtension) = node.get();
    pdo->Flags &= ~DO_DEVICE_INITIALIZING;
    node->pdo = pdo;
    DeviceNode* n = node.get();
    {
        std::lock_guard lk(m.objMutex);
        m.RecordLocked(pdo)->node = n;
        m.nodes.push_back(std::move(node));
    }
    // Load the driver on its first device.
    if (!driver->object) {
        driver->object = std::make_unique<DRIVER_OBJECT>();
        DRIVER_OBJECT& d = *driver->object;
        driver->extension = DRIVER_EXTENSION{&d, nullptr};
        d.DriverExtension = &driver->extension;
        driver->nameBuffer = L"\\Driver\\" + driver->service;
        RtlInitUnicodeString(&d.DriverName, driver->nameBuffer.c_str());
        for (auto& f : d.MajorFunction) f = BusInvalid;
        std::wstring regPath = kServicesRoot + driver->service;
        UNICODE_STRING rp;
        RtlInitUnicodeString(&rp, regPath.c_str());
        size_t depth = HeldLockCount();
        KIRQL irqlAtCall = KeGetCurrentIrql();
        NTSTATUS s = driver->entry(&d, &rp);
        CheckBalance(depth, "DriverEntry");
        SetIrql(irqlAtCall);  // a routine that left the IRQL raised does not leak it
        if (!NT_SUCCESS(s)) {
            driver->object.reset();
            status = s;
            m.DoRemove(n);
            return nullptr;
        }
    }
    NTSTATUS s = STATUS_SUCCESS;
    if (auto add = driver->object->DriverExtension->AddDevice) {
        size_t depth = HeldLockCount();
        KIRQL irqlAtCall = KeGetCurrentIrql();
        s = add(driver->object.get(), pdo);
        CheckBalance(depth, "AddDevice");
        SetIrql(irqlAtCall);  // a routine that left the IRQL raised does not leak it
    }
    if (NT_SUCCESS(s)) {
        s = m.SendPnp(n, IRP_MN_START_DEVICE, [&](PIO_STACK_LOCATION sl) {
            sl->Parameters.StartDevice.AllocatedResources = &n->resources;
            sl->Parameters.StartDevice.AllocatedResourcesTranslated = &n->resources;
        });
        if (NT_SUCCESS(s)) n->started = true;
    }
    status = s;
    if (!NT_SUCCESS(s)) {
        // A device that fails to start is removed again, as the PnP manager does.
        m.DoRemove(n);
        return nullptr;
    }
    return pdo;
}

void Machine::Impl::MaybeUnload(DriverInfo* driver) {
    if (!driver || !driver->object || driver->object->DeviceObject) return;
    if (driver->object->DriverUnload) {
        size_t depth = HeldLockCount();
        KIRQL irqlAtCall = KeGetCurrentIrql();
        driver->object->DriverUnload(driver->object.get());
        CheckBalance(depth, "DriverUnload");
        SetIrql(irqlAtCall);  // a routine that left the IRQL raised does not leak it
    }
    driver->object.reset();
}

// Sends the remove request down the stack, deletes the physical device object and unloads
// the driver when it has no device left. pnpMutex held.
void Machine::Impl::DoRemove(DeviceNode* node) {
    if (node->removed) return;
    node->removed = true;
    PDEVICE_OBJECT top = IoGetAttachedDeviceReference(node->pdo);
    if (top != node->pdo) SendPnp(node, IRP_MN_REMOVE_DEVICE);
    // Every device of the stack but the bus driver's should be gone now.
    {
        std::lock_guard lk(objMutex);
        node->pdo->AttachedDevice = nullptr;
    }
    DisableInterfacesOf(node->pdo, true);
    IoDeleteDevice(node->pdo);
    node->physical->Removed();
    MaybeUnload(node->driver);
    std::lock_guard lk(objMutex);
    for (auto it = nodes.begin(); it != nodes.end(); ++it) {
        if (it->get() == node) {
            // Files opened on the device keep a pointer to the node: forget it there.
            for (OpenFile* f : files)
                if (f->node == node) f->node = nullptr;
            nodes.erase(it);
            break;
        }
    }
}

namespace {
DeviceNode* FindNode(Machine::Impl& m, PDEVICE_OBJECT pdo) {
    std::lock_guard lk(m.objMutex);
    for (auto& n : m.nodes)
        if (n->pdo == pdo && !n->removed) return n.get();
    return nullptr;
}
}  // namespace

NTSTATUS Machine::Remove(PDEVICE_OBJECT pdo) {
    Impl& m = *impl_;
    // Closes the I/O manager has queued already reach the driver before its removal.
    m.pnp->Drain();
    std::lock_guard pl(m.pnpMutex);
    DeviceNode* n = FindNode(m, pdo);
    if (!n) return STATUS_NO_SUCH_DEVICE;
    NTSTATUS s = m.SendPnp(n, IRP_MN_QUERY_REMOVE_DEVICE);
    int open;
    {
        std::lock_guard lk(m.objMutex);
        open = n->openFiles;
    }
    if (!NT_SUCCESS(s) || open > 0) {
        // Refused by a driver, or vetoed because user mode still holds the device open.
        m.SendPnp(n, IRP_MN_CANCEL_REMOVE_DEVICE);
        return NT_SUCCESS(s) ? STATUS_DEVICE_BUSY : s;
    }
    m.DoRemove(n);
    return STATUS_SUCCESS;
}

void Machine::SurpriseRemove(PDEVICE_OBJECT pdo) {
    Impl& m = *impl_;
    std::lock_guard pl(m.pnpMutex);
    DeviceNode* n = FindNode(m, pdo);
    if (!n || n->surprise) return;
    n->surprise = true;
    m.SendPnp(n, IRP_MN_SURPRISE_REMOVAL);
    m.DisableInterfacesOf(pdo, false);
    int open;
    {
        std::lock_guard lk(m.objMutex);
        open = n->openFiles;
    }
    if (open == 0) m.DoRemove(n);
}

NTSTATUS Machine::StopAndRestart(PDEVICE_OBJECT pdo) {
    Impl& m = *impl_;
    std::lock_guard pl(m.pnpMutex);
    DeviceNode* n = FindNode(m, pdo);
    if (!n) return STATUS_NO_SUCH_DEVICE;
    NTSTATUS s = m.SendPnp(n, IRP_MN_QUERY_STOP_DEVICE);
    if (!NT_SUCCESS(s)) {
        m.SendPnp(n, IRP_MN_CANCEL_STOP_DEVICE);
        return s;
    }
    m.SendPnp(n, IRP_MN_STOP_DEVICE);
    n->started = false;
    s = m.SendPnp(n, IRP_MN_START_DEVICE, [&](PIO_STACK_LOCATION sl) {
        sl->Parameters.StartDevice.AllocatedResources = &n->resources;
        sl->Parameters.StartDevice.AllocatedResourcesTranslated = &n->resources;
    });
    n->started = NT_SUCCESS(s);
    return s;
}

NTSTATUS Machine::QueryCapabilities(PDEVICE_OBJECT pdo, DEVICE_CAPABILITIES* caps) {
    Impl& m = *impl_;
    DeviceNode* n = FindNode(m, pdo);
    if (!n) return STATUS_NO_SUCH_DEVICE;
    *caps = DEVICE_CAPABILITIES{};
    caps->Size = sizeof(DEVICE_CAPABILITIES);
    caps->Version = 1;
    caps->Address = caps->UINumber = 0xFFFFFFFF;
    return m.SendPnp(n, IRP_MN_QUERY_CAPABILITIES,
                     [&](PIO_STACK_LOCATION sl) { sl->Parameters.DeviceCapabilities.Capabilities = caps; });
}

void Machine::SetSystemPower(SYSTEM_POWER_STATE state) {
    Impl& m = *impl_;
    std::lock_guard pl(m.pnpMutex);
    std::vector<DeviceNode*> list;
    {
        std::lock_guard lk(m.objMutex);
        for (auto& n : m.nodes)
            if (n->started && !n->removed && !n->surprise) list.push_back(n.get());
    }
    for (DeviceNode* n : list) {
        PDEVICE_OBJECT top = IoGetAttachedDeviceReference(n->pdo);
        m.SendSync(top, [&](PIO_STACK_LOCATION sl, PIRP irp) {
            irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
            sl->MajorFunction = IRP_MJ_POWER;
            sl->MinorFunction = IRP_MN_SET_POWER;
            sl->Parameters.Power.Type = SystemPowerState;
            sl->Parameters.Power.State.SystemState = state;
        });
    }
}

std::wstring Machine::EnumKeyPath(PDEVICE_OBJECT pdo) const {
    std::lock_guard lk(impl_->objMutex);
    for (auto& n : impl_->nodes)
        if (n->pdo == pdo) return n->enumPath;
    return {};
}

PDEVICE_OBJECT Machine::TopOfStack(PDEVICE_OBJECT pdo) const {
    std::lock_guard lk(impl_->objMutex);
    DeviceRecord* r = impl_->RecordLocked(pdo);
    if (!r || r->deleted) return nullptr;
    while (pdo->AttachedDevice) pdo = pdo->AttachedDevice;
    return pdo;
}

// ---------------------------------------------------------------- device interfaces
void Machine::Impl::PostInterfaceChange(const InterfaceEntry& e, bool arrival) {
    std::vector<std::shared_ptr<NotifyEntry>> kernelTargets;
    std::vector<Machine::InterfaceListener> userTargets;
    for (auto& n : notifications)
        if (n->active && n->guid == e.guid) kernelTargets.push_back(n);
    for (auto& [id, l] : listeners) userTargets.push_back(l);
    std::wstring link = e.link;
    GUID guid = e.guid;
    std::string userPath = "\\\\?\\" + Narrow(link.substr(4));
    worker->Post([this, kernelTargets, userTargets, link, guid, userPath, arrival] {
        std::wstring name = link;
        UNICODE_STRING us{static_cast<USHORT>(name.size() * sizeof(WCHAR)),
                          static_cast<USHORT>(name.size() * sizeof(WCHAR)), name.data()};
        DEVICE_INTERFACE_CHANGE_NOTIFICATION note{1, sizeof(DEVICE_INTERFACE_CHANGE_NOTIFICATION),
                                                  arrival ? GUID_DEVICE_INTERFACE_ARRIVAL : GUID_DEVICE_INTERFACE_REMOVAL,
                                                  guid, &us};
        for (auto& t : kernelTargets) {
            {
                std::lock_guard lk(objMutex);
                if (!t->active) continue;
                t->running = true;
            }
            size_t depth = HeldLockCount();
            KIRQL irqlAtCall = KeGetCurrentIrql();
            t->callback(&note, t->context);
            CheckBalance(depth, "plug and play notification callback");
            SetIrql(irqlAtCall);  // a routine that left the IRQL raised does not leak it
            std::lock_guard lk(objMutex);
            t->running = false;
            notifyIdle.notify_all();
        }
        for (auto& l : userTargets) l(guid, userPath, arrival);
    });
}

void Machine::Impl::DisableInterfacesOf(PDEVICE_OBJECT pdo, bool forget) {
    std::lock_guard lk(objMutex);
    for (auto it = interfaces.begin(); it != interfaces.end();) {
        if (it->second.pdo == pdo) {
            if (it->second.enabled) {
                it->second.enabled = false;
                PostInterfaceChange(it->second, false);
            }
            if (forget) {
                it = interfaces.erase(it);
                continue;
            }
        }
        ++it;
    }
}

std::vector<std::string> Machine::InterfacePaths(const GUID& classGuid) const {
    std::lock_guard lk(impl_->objMutex);
    std::vector<std::string> out;
    for (auto& [key, e] : impl_->interfaces)
        if (e.enabled && e.guid == classGuid) out.push_back("\\\\?\\" + Narrow(e.link.substr(4)));
    return out;
}

int Machine::AddInterfaceListener(InterfaceListener listener) {
    std::lock_guard lk(impl_->objMutex);
    int id = impl_->nextListener++;
    impl_->listeners[id] = std::move(listener);
    return id;
}
void Machine::RemoveInterfaceListener(int id) {
    {
        std::lock_guard lk(impl_->objMutex);
        impl_->listeners.erase(id);
    }
    // A change posted before the removal may still be on its way: let it pass.
    impl_->worker->Drain();
}

// ---------------------------------------------------------------- hardware resources
void Machine::MapRegisters(ULONGLONG physical, ULONG length, RegisterWindow* window) {
    std::unique_lock lk(impl_->mapMutex);
    impl_->memory.push_back({physical, length, window});
}
void Machine::UnmapRegisters(ULONGLONG physical) {
    std::unique_lock lk(impl_->mapMutex);
    auto& v = impl_->memory;
    for (auto it = v.begin(); it != v.end(); ++it) {
        if (it->start == physical) {
            for (auto& [va, mp] : impl_->mappings)
                if (mp.window == it->window) mp.window = nullptr;
            v.erase(it);
            break;
        }
    }
}
void Machine::MapPorts(ULONG port, ULONG length, RegisterWindow* window) {
    std::unique_lock lk(impl_->mapMutex);
    impl_->ports.push_back({port, length, window});
}
void Machine::UnmapPorts(ULONG port) {
    std::unique_lock lk(impl_->mapMutex);
    auto& v = impl_->ports;
    v.erase(std::remove_if(v.begin(), v.end(), [&](auto& w) { return w.start == port; }), v.end());
}

}  // namespace kernel

using namespace kernel;

const GUID GUID_DEVICE_INTERFACE_ARRIVAL = {0xcb3a4004, 0x46f0, 0x11d0, {0xb0, 0x8f, 0x00, 0x60, 0x97, 0x13, 0x05, 0x3f}};
const GUID GUID_DEVICE_INTERFACE_REMOVAL = {0xcb3a4005, 0x46f0, 0x11d0, {0xb0, 0x8f, 0x00, 0x60, 0x97, 0x13, 0x05, 0x3f}};
const GUID GUID_BUS_INTERFACE_STANDARD = {0x496b8280, 0x6f25, 0x11d0, {0xbe, 0xaf, 0x08, 0x00, 0x2b, 0xe2, 0x09, 0x2f}};

NTSTATUS IoRegisterDeviceInterface(PDEVICE_OBJECT pdo, const GUID* classGuid, PUNICODE_STRING referenceString,
                                   PUNICODE_STRING linkName) {
    Machine::Impl& m = M();
    std::wstring link;
    {
        std::lock_guard lk(m.objMutex);
        DeviceRecord* r = m.RecordLocked(pdo);
        if (!r || r->deleted || !r->node || r->node->pdo != pdo) return STATUS_INVALID_DEVICE_REQUEST;
        // "\??\" + hardware id and instance with '\' as '#' + "#{class}" [+ "\" + reference].
        std::wstring inst = r->node->enumPath.substr(kEnumRoot.size());
        std::replace(inst.begin(), inst.end(), L'\\', L'#');
        link = L"\\??\\" + inst + L"#" + GuidText(*classGuid);
        std::wstring ref = ToWide(referenceString);
        if (!ref.empty()) link += L"\\" + ref;
        std::wstring key = Upper(link.substr(4));
        auto it = m.interfaces.find(key);
        if (it == m.interfaces.end()) {
            InterfaceEntry e;
            e.link = link;
            e.linkKey = key;
            e.guid = *classGuid;
            e.pdo = pdo;
            e.reference = ref;
            m.interfaces[key] = e;
        }
    }
    auto* buf = static_cast<PWSTR>(ExAllocatePoolWithTag(PagedPool, (link.size() + 1) * sizeof(WCHAR), 'kniL'));
    if (!buf) return STATUS_INSUFFICIENT_RESOURCES;
    std::memcpy(buf, link.c_str(), (link.size() + 1) * sizeof(WCHAR));
    linkName->Buffer = buf;
    linkName->Length = static_cast<USHORT>(link.size() * sizeof(WCHAR));
    linkName->MaximumLength = static_cast<USHORT>(linkName->Length + sizeof(WCHAR));
    return STATUS_SUCCESS;
}

NTSTATUS IoSetDeviceInterfaceState(PUNICODE_STRING linkName, BOOLEAN enable) {
    Machine::Impl& m = M();
    std::wstring link = ToWide(linkName);
    std::lock_guard lk(m.objMutex);
    auto it = m.interfaces.find(Upper(link.size() > 4 ? link.substr(4) : link));
    if (it == m.interfaces.end()) return STATUS_OBJECT_NAME_NOT_FOUND;
    bool want = enable != 0;
    if (it->second.enabled == want) return STATUS_SUCCESS;
    if (want) {
        DeviceRecord* r = m.RecordLocked(it->second.pdo);
        if (r && r->node && r->node->surprise) return STATUS_DEVICE_REMOVED;
    }
    it->second.enabled = want;
    m.PostInterfaceChange(it->second, want);
    return STATUS_SUCCESS;
}

NTSTATUS IoRegisterPlugPlayNotification(IO_NOTIFICATION_EVENT_CATEGORY category, ULONG flags, PVOID filter,
                                        PDRIVER_OBJECT, PDRIVER_NOTIFICATION_CALLBACK_ROUTINE callback, PVOID context,
                                        PVOID* entry) {
    if (category != EventCategoryDeviceInterfaceChange || !filter) return STATUS_INVALID_PARAMETER;
    Machine::Impl& m = M();
    auto e = std::make_shared<NotifyEntry>();
    e->guid = *static_cast<const GUID*>(filter);
    e->callback = callback;
    e->context = context;
    std::lock_guard lk(m.objMutex);
    m.notifications.push_back(e);
    *entry = e.get();
    if (flags & PNPNOTIFY_DEVICE_INTERFACE_INCLUDE_EXISTING_INTERFACES) {
        // Existing interfaces arrive like new ones, to this entry only.
        std::vector<InterfaceEntry> existing;
        for (auto& [k, i] : m.interfaces)
            if (i.enabled && i.guid == e->guid) existing.push_back(i);
        for (auto& i : existing) {
            std::wstring link = i.link;
            GUID guid = i.guid;
            m.worker->Post([&m, e, link, guid] {
                std::wstring name = link;
                UNICODE_STRING us{static_cast<USHORT>(name.size() * sizeof(WCHAR)),
                                  static_cast<USHORT>(name.size() * sizeof(WCHAR)), name.data()};
                DEVICE_INTERFACE_CHANGE_NOTIFICATION note{1, sizeof(DEVICE_INTERFACE_CHANGE_NOTIFICATION),
                                                          GUID_DEVICE_INTERFACE_ARRIVAL, guid, &us};
                {
                    std::lock_guard lk2(m.objMutex);
                    if (!e->active) return;
                    e->running = true;
                }
                size_t depth = HeldLockCount();
                KIRQL irqlAtCall = KeGetCurrentIrql();
                e->callback(&note, e->context);
                CheckBalance(depth, "plug and play notification callback");
                SetIrql(irqlAtCall);  // a routine that left the IRQL raised does not leak it
                std::lock_guard lk2(m.objMutex);
                e->running = false;
                m.notifyIdle.notify_all();
            });
        }
    }
    return STATUS_SUCCESS;
}

NTSTATUS IoUnregisterPlugPlayNotification(PVOID entry) {
    Machine::Impl& m = M();
    std::unique_lock lk(m.objMutex);
    auto it = std::find_if(m.notifications.begin(), m.notifications.end(), [&](auto& e) { return e.get() == entry; });
    if (it == m.notifications.end()) return STATUS_INVALID_PARAMETER;
    std::shared_ptr<NotifyEntry> e = *it;
    e->active = false;
    m.notifications.erase(it);
    // A callback of this entry that runs right now finishes first (unless we are it). Only
    // this entry is waited for: other work on the worker thread may need what we hold.
    if (!m.worker->OnQueueThread()) m.notifyIdle.wait(lk, [&] { return !e->running; });
    return STATUS_SUCCESS;
}

NTSTATUS IoGetDeviceProperty(PDEVICE_OBJECT pdo, DEVICE_REGISTRY_PROPERTY property, ULONG bufferLength, PVOID buffer,
                             PULONG resultLength) {
    Machine::Impl& m = M();
    std::wstring text;
    bool multi = false;
    ULONG number = 0;
    bool isNumber = false;
    {
        std::lock_guard lk(m.objMutex);
        DeviceRecord* r = m.RecordLocked(pdo);
        if (!r || !r->node || r->node->pdo != pdo) return STATUS_INVALID_DEVICE_REQUEST;
        DeviceNode* n = r->node;
        switch (property) {
        case DevicePropertyHardwareID: text = n->hardwareId; multi = true; break;
        case DevicePropertyDriverKeyName: text = n->driverKey; break;
        case DevicePropertyDeviceDescription: text = n->physical->DeviceDescription(); break;
        case DevicePropertyClassGuid: text = L"{4D36E97D-E325-11CE-BFC1-08002BE10318}"; break;
        case DevicePropertyBusNumber:
        case DevicePropertyAddress: isNumber = true; break;
        default: return STATUS_INVALID_PARAMETER;
        }
    }
    if (isNumber) {
        *resultLength = sizeof(ULONG);
        if (bufferLength < sizeof(ULONG)) return STATUS_BUFFER_TOO_SMALL;
        std::memcpy(buffer, &number, sizeof number);
        return STATUS_SUCCESS;
    }
    text.push_back(L'\0');
    if (multi) text.push_back(L'\0');
    ULONG need = static_cast<ULONG>(text.size() * sizeof(WCHAR));
    *resultLength = need;
    if (bufferLength < need) return STATUS_BUFFER_TOO_SMALL;
    std::memcpy(buffer, text.data(), need);
    return STATUS_SUCCESS;
}

// ---------------------------------------------------------------- work items
struct IO_WORKITEM {
    PDEVICE_OBJECT device;
};
PIO_WORKITEM IoAllocateWorkItem(PDEVICE_OBJECT device) { return new IO_WORKITEM{device}; }
void IoFreeWorkItem(PIO_WORKITEM item) { delete item; }
void IoQueueWorkItem(PIO_WORKITEM item, PIO_WORKITEM_ROUTINE routine, WORK_QUEUE_TYPE, PVOID context) {
    PDEVICE_OBJECT device = item->device;
    M().worker->Post([device, routine, context] {
        size_t depth = HeldLockCount();
        KIRQL irqlAtCall = KeGetCurrentIrql();
        routine(device, context);
        CheckBalance(depth, "work item");
        SetIrql(irqlAtCall);  // a routine that left the IRQL raised does not leak it
    });
}

// ---------------------------------------------------------------- power
NTSTATUS PoCallDriver(PDEVICE_OBJECT device, PIRP irp) { return IoCallDriver(device, irp); }
void PoStartNextPowerIrp(PIRP) {}
POWER_STATE PoSetPowerState(PDEVICE_OBJECT device, POWER_STATE_TYPE, POWER_STATE state) {
    Machine::Impl& m = M();
    std::lock_guard lk(m.objMutex);
    DeviceRecord* r = m.RecordLocked(device);
    POWER_STATE old{};
    if (r) {
        old = r->deviceState;
        r->deviceState = state;
    }
    return old;
}
NTSTATUS PoRequestPowerIrp(PDEVICE_OBJECT pdo, UCHAR minorFunction, POWER_STATE state, PREQUEST_POWER_COMPLETE completion,
                           PVOID context, PIRP* irpOut) {
    Machine::Impl& m = M();
    PDEVICE_OBJECT top = IoGetAttachedDeviceReference(pdo);
    IrpBlock* b = m.NewIrp(IrpKind::PowerRequest, top->StackSize);
    b->powerDone = completion;
    b->powerContext = context;
    b->powerTarget = pdo;
    b->powerState = state;
    b->powerMinor = minorFunction;
    IRP& irp = b->irp;
    irp.IoStatus.Status = STATUS_NOT_SUPPORTED;
    PIO_STACK_LOCATION sl = IoGetNextIrpStackLocation(&irp);
    sl->MajorFunction = IRP_MJ_POWER;
    sl->MinorFunction = minorFunction;
    sl->Parameters.Power.Type = DevicePowerState;
    sl->Parameters.Power.State = state;
    if (irpOut) *irpOut = &irp;
    m.Track(b);
    IoCallDriver(top, &irp);
    return STATUS_PENDING;
}

// ---------------------------------------------------------------- registry
namespace {
std::wstring KeyPathOf(Machine::Impl& m, POBJECT_ATTRIBUTES a) {
    std::wstring name = ToWide(a->ObjectName);
    if (a->RootDirectory) {
        std::lock_guard lk(m.keyMutex);
        auto it = m.keys.find(reinterpret_cast<uintptr_t>(a->RootDirectory));
        if (it == m.keys.end()) return {};
        return name.empty() ? it->second : it->second + L"\\" + name;
    }
    return name;
}
HANDLE NewKeyHandle(Machine::Impl& m, const std::wstring& path) {
    std::lock_guard lk(m.keyMutex);
    uintptr_t h = m.nextKey += 4;
    m.keys[h] = path;
    return reinterpret_cast<HANDLE>(h);
}
bool KeyPath(Machine::Impl& m, HANDLE key, std::wstring* path) {
    std::lock_guard lk(m.keyMutex);
    auto it = m.keys.find(reinterpret_cast<uintptr_t>(key));
    if (it == m.keys.end()) return false;
    *path = it->second;
    return true;
}
}  // namespace

NTSTATUS ZwOpenKey(PHANDLE key, ULONG, POBJECT_ATTRIBUTES attributes) {
    Machine::Impl& m = M();
    std::wstring path = KeyPathOf(m, attributes);
    if (path.empty() || !m.registry->KeyExists(path)) return STATUS_OBJECT_NAME_NOT_FOUND;
    *key = NewKeyHandle(m, path);
    return STATUS_SUCCESS;
}
NTSTATUS ZwCreateKey(PHANDLE key, ULONG, POBJECT_ATTRIBUTES attributes, ULONG, PUNICODE_STRING, ULONG,
                     PULONG disposition) {
    Machine::Impl& m = M();
    std::wstring path = KeyPathOf(m, attributes);
    if (path.empty()) return STATUS_OBJECT_NAME_INVALID;
    bool existed = m.registry->KeyExists(path);
    if (!existed && !m.registry->CreateKey(path)) return STATUS_ACCESS_DENIED;
    if (disposition) *disposition = existed ? 2 : 1;  // REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY
    *key = NewKeyHandle(m, path);
    return STATUS_SUCCESS;
}
NTSTATUS ZwClose(HANDLE handle) {
    Machine::Impl& m = M();
    std::lock_guard lk(m.keyMutex);
    return m.keys.erase(reinterpret_cast<uintptr_t>(handle)) ? STATUS_SUCCESS : STATUS_INVALID_HANDLE;
}
NTSTATUS ZwQueryValueKey(HANDLE key, PUNICODE_STRING name, KEY_VALUE_INFORMATION_CLASS cls, PVOID info, ULONG length,
                         PULONG resultLength) {
    Machine::Impl& m = M();
    std::wstring path;
    if (!KeyPath(m, key, &path)) return STATUS_INVALID_HANDLE;
    if (cls != KeyValuePartialInformation) return STATUS_INVALID_PARAMETER;
    RegistryValue v;
    if (!m.registry->QueryValue(path, ToWide(name), &v)) return STATUS_OBJECT_NAME_NOT_FOUND;
    ULONG header = offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data);
    ULONG need = header + static_cast<ULONG>(v.data.size());
    *resultLength = need;
    if (length < header) return STATUS_BUFFER_TOO_SMALL;
    auto* p = static_cast<KEY_VALUE_PARTIAL_INFORMATION*>(info);
    p->TitleIndex = 0;
    p->Type = v.type;
    p->DataLength = static_cast<ULONG>(v.data.size());
    if (length < need) return STATUS_BUFFER_OVERFLOW;
    if (!v.data.empty()) std::memcpy(p->Data, v.data.data(), v.data.size());
    return STATUS_SUCCESS;
}
NTSTATUS ZwSetValueKey(HANDLE key, PUNICODE_STRING name, ULONG, ULONG type, PVOID data, ULONG size) {
    Machine::Impl& m = M();
    std::wstring path;
    if (!KeyPath(m, key, &path)) return STATUS_INVALID_HANDLE;
    RegistryValue v;
    v.type = type;
    v.data.assign(static_cast<UCHAR*>(data), static_cast<UCHAR*>(data) + size);
    return m.registry->SetValue(path, ToWide(name), v) ? STATUS_SUCCESS : STATUS_ACCESS_DENIED;
}
NTSTATUS ZwDeleteValueKey(HANDLE key, PUNICODE_STRING name) {
    Machine::Impl& m = M();
    std::wstring path;
    if (!KeyPath(m, key, &path)) return STATUS_INVALID_HANDLE;
    return m.registry->DeleteValue(path, ToWide(name)) ? STATUS_SUCCESS : STATUS_OBJECT_NAME_NOT_FOUND;
}
NTSTATUS ZwEnumerateKey(HANDLE key, ULONG index, KEY_INFORMATION_CLASS cls, PVOID info, ULONG length,
                        PULONG resultLength) {
    Machine::Impl& m = M();
    std::wstring path;
    if (!KeyPath(m, key, &path)) return STATUS_INVALID_HANDLE;
    if (cls != KeyBasicInformation) return STATUS_INVALID_PARAMETER;
    auto subs = m.registry->SubKeys(path);
    if (index >= subs.size()) return STATUS_NO_MORE_ENTRIES;
    const std::wstring& n = subs[index];
    ULONG header = offsetof(KEY_BASIC_INFORMATION, Name);
    ULONG need = header + static_cast<ULONG>(n.size() * sizeof(WCHAR));
    *resultLength = need;
    if (length < header) return STATUS_BUFFER_TOO_SMALL;
    auto* p = static_cast<KEY_BASIC_INFORMATION*>(info);
    p->LastWriteTime.QuadPart = 0;
    p->TitleIndex = 0;
    p->NameLength = static_cast<ULONG>(n.size() * sizeof(WCHAR));
    if (length < need) return STATUS_BUFFER_OVERFLOW;
    std::memcpy(p->Name, n.data(), n.size() * sizeof(WCHAR));
    return STATUS_SUCCESS;
}
NTSTATUS IoOpenDeviceRegistryKey(PDEVICE_OBJECT pdo, ULONG which, ULONG, PHANDLE key) {
    Machine::Impl& m = M();
    std::wstring path;
    {
        std::lock_guard lk(m.objMutex);
        DeviceRecord* r = m.RecordLocked(pdo);
        if (!r || !r->node || r->node->pdo != pdo) return STATUS_INVALID_DEVICE_REQUEST;
        if (which == PLUGPLAY_REGKEY_DEVICE)
            path = r->node->enumPath + L"\\Device Parameters";
        else if (which == PLUGPLAY_REGKEY_DRIVER)
            path = kClassRoot + r->node->driverKey.substr(r->node->driverKey.find(L'\\') + 1);
        else
            return STATUS_INVALID_PARAMETER;
    }
    m.registry->CreateKey(path);
    *key = NewKeyHandle(m, path);
    return STATUS_SUCCESS;
}
