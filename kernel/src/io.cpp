// The I/O manager: requests and their stack locations, completion, cancellation, memory
// descriptors, device objects and names, and the user side (open, submit, cancel, close).
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "internal.h"

namespace kernel {

namespace {
UCHAR LoadControl(PIO_STACK_LOCATION sl) { return __atomic_load_n(&sl->Control, __ATOMIC_RELAXED); }
}  // namespace

IrpBlock* Machine::Impl::NewIrp(IrpKind kind, CHAR stackSize) {
    auto* b = new IrpBlock;
    b->kind = kind;
    b->stack.assign(std::max<int>(stackSize, 1), IO_STACK_LOCATION{});
    IRP& irp = b->irp;
    irp.KernelPrivate = b;
    irp.StackCount = static_cast<CHAR>(b->stack.size());
    irp.CurrentLocation = static_cast<CHAR>(irp.StackCount + 1);
    irp.Stack = b->stack.data();
    irp.Tail.Overlay.CurrentStackLocation = irp.Stack + irp.StackCount;
    irp.RequestorMode = KernelMode;
    return b;
}

// Makes a request visible to cancellation and the removal check, once its fields are set.
void Machine::Impl::Track(IrpBlock* b) {
    std::lock_guard lk(irpMutex);
    irps.insert(b);
}

void Machine::Impl::Release(IrpBlock* b) {
    if (b->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    {
        std::lock_guard lk(irpMutex);
        irps.erase(b);
    }
    FreeIrp(b);
}

void FreeIrp(IrpBlock* b) {
    if (b->ownsSystemBuffer) delete[] static_cast<UCHAR*>(b->irp.AssociatedIrp.SystemBuffer);
    if (b->irp.MdlAddress && b->kind != IrpKind::Allocated) IoFreeMdl(b->irp.MdlAddress);
    delete b;
}

// The I/O manager's part once a request has been completed up to the top of its stack.
void Machine::Impl::Finish(IrpBlock* b) {
    IRP& irp = b->irp;
    {
        std::lock_guard lk(irpMutex);
        b->finished = true;
    }
    NTSTATUS status = irp.IoStatus.Status;
    ULONG_PTR info = irp.IoStatus.Information;
    switch (b->kind) {
    case IrpKind::User: {
        bool copy = !NT_ERROR(status) && b->userOutput && b->ownsSystemBuffer &&
                    (b->major == IRP_MJ_READ || (b->major == IRP_MJ_DEVICE_CONTROL && b->method == METHOD_BUFFERED));
        if (info > b->userOutputLength && (b->major == IRP_MJ_READ || b->major == IRP_MJ_DEVICE_CONTROL)) {
            // A driver reporting more bytes than the caller's buffer holds: never copy past it.
            info = b->userOutputLength;
        }
        if (copy && info) std::memcpy(b->userOutput, irp.AssociatedIrp.SystemBuffer, info);
        RequestDone done = std::move(b->done);
        std::shared_ptr<OpenFile> file = b->file;
        bool counted = b->counted;
        // The request stops counting for its file before the caller learns of its end: a
        // handle closed right after that sends its close at once instead of deferring it.
        if (counted && file) {
            bool sendClose = false;
            {
                std::lock_guard lk(file->m);
                --file->outstanding;
                if (file->closeDeferred && file->outstanding == 0 && !file->closeSent) {
                    file->closeSent = true;
                    sendClose = true;
                }
            }
            if (sendClose) {
                // Close must not run on the DPC or interrupt path that completed the request.
                pnp->Post([this, file] { SendFileIrp(file, IRP_MJ_CLOSE); });
            }
        }
        if (done) done(status, info, irp.PendingReturned != 0);
        Release(b);
        break;
    }
    case IrpKind::Sync: {
        std::lock_guard lk(b->syncMutex);
        b->syncDone = true;
        b->syncCv.notify_all();
        break;
    }
    case IrpKind::Built:
        if (b->ownsSystemBuffer && b->userOutput && !NT_ERROR(status))
            std::memcpy(b->userOutput, irp.AssociatedIrp.SystemBuffer, std::min<ULONG_PTR>(info, b->userOutputLength));
        if (b->iosb) {
            b->iosb->Status = status;
            b->iosb->Information = info;
        }
        if (b->event) KeSetEvent(b->event, 0, FALSE);
        Release(b);
        break;
    case IrpKind::PowerRequest: {
        IO_STATUS_BLOCK iosb = irp.IoStatus;
        if (b->powerDone) {
            size_t depth = HeldLockCount();
            KIRQL irqlAtCall = KeGetCurrentIrql();
            b->powerDone(b->powerTarget, b->powerMinor, b->powerState, b->powerContext, &iosb);
            CheckBalance(depth, "power completion callback");
            SetIrql(irqlAtCall);  // a routine that left the IRQL raised does not leak it
        }
        Release(b);
        break;
    }
    case IrpKind::Allocated:
        // Owned by the driver that allocated it; it frees it with IoFreeIrp.
        break;
    }
}

// Sends a request the machine itself makes and waits for its completion.
NTSTATUS Machine::Impl::SendSync(PDEVICE_OBJECT target, const std::function<void(PIO_STACK_LOCATION, PIRP)>& setup,
                                 ULONG_PTR* information) {
    IrpBlock* b = NewIrp(IrpKind::Sync, target->StackSize);
    b->refs = 1;
    PIO_STACK_LOCATION sl = IoGetNextIrpStackLocation(&b->irp);
    setup(sl, &b->irp);
    Track(b);
    IoCallDriver(target, &b->irp);
    {
        std::unique_lock lk(b->syncMutex);
        b->syncCv.wait(lk, [&] { return b->syncDone; });
    }
    NTSTATUS s = b->irp.IoStatus.Status;
    if (information) *information = b->irp.IoStatus.Information;
    Release(b);
    return s;
}

void Machine::Impl::CheckPendingAtDelete(PDEVICE_OBJECT d) {
    std::vector<std::string> found;
    {
        std::lock_guard lk(irpMutex);
        for (IrpBlock* b : irps) {
            if (b->finished || b->completed.load()) continue;
            IRP& irp = b->irp;
            int cur = irp.CurrentLocation - 1;  // index of the current location
            for (int i = std::max(cur, 0); i < irp.StackCount; ++i) {
                PIO_STACK_LOCATION sl = &irp.Stack[i];
                if (sl->DeviceObject == d && sl->MajorFunction != IRP_MJ_PNP && sl->MajorFunction != IRP_MJ_POWER) {
                    char text[120];
                    std::snprintf(text, sizeof text, "major function 0x%02x still pending", sl->MajorFunction);
                    found.push_back(text);
                    break;
                }
            }
        }
    }
    for (auto& f : found) verifier.Report(Rule::PendingAtRemove, f);
}

DeviceRecord* Machine::Impl::RecordLocked(PDEVICE_OBJECT d) {
    auto it = devices.find(d);
    return it == devices.end() ? nullptr : it->second.get();
}
DeviceRecord* Machine::Impl::Record(PDEVICE_OBJECT d) {
    std::lock_guard lk(objMutex);
    return RecordLocked(d);
}

// ---------------------------------------------------------------- user side
namespace {
// Splits "\\.\NAME" / "\\?\NAME" into NAME; empty when the path is not a device path.
std::wstring DeviceName(std::string_view path) {
    if (path.size() < 5 || path[0] != '\\' || path[1] != '\\' || (path[2] != '.' && path[2] != '?') || path[3] != '\\')
        return {};
    return Widen(path.substr(4));
}
}  // namespace

void Machine::Impl::SendFileIrp(const std::shared_ptr<OpenFile>& file, UCHAR major) {
    PDEVICE_OBJECT top = file->top;
    DeviceRecord* r = Record(top);
    if (!r || r->deleted) return;
    SendSync(top, [&](PIO_STACK_LOCATION sl, PIRP) {
        sl->MajorFunction = major;
        sl->FileObject = &file->object;
    });
}

// The handle of a file went away (after cleanup): the device counts one opener less, and a
// surprise-removed device whose last handle this was is removed now, even when requests of
// the file are still pending (the verifier reports those).
void Machine::Impl::FileClosed(const std::shared_ptr<OpenFile>& file) {
    DeviceNode* removeNow = nullptr;
    {
        std::lock_guard lk(objMutex);
        if (file->gone) return;
        file->gone = true;
        files.erase(file.get());
        if (DeviceRecord* r = RecordLocked(file->named)) --r->opens;
        if (DeviceNode* n = file->node) {
            bool present = std::any_of(nodes.begin(), nodes.end(), [&](auto& p) { return p.get() == n; });
            if (present) {
                --n->openFiles;
                if (n->surprise && !n->removed && n->openFiles == 0) removeNow = n;
            }
        }
    }
    if (removeNow) {
        std::lock_guard pl(pnpMutex);
        DoRemove(removeNow);
    }
}

}  // namespace kernel

using namespace kernel;

namespace kernel {

NTSTATUS Machine::Open(std::string_view path, std::shared_ptr<OpenFile>* out) {
    Impl& m = *impl_;
    std::wstring name = DeviceName(path);
    if (name.empty()) return STATUS_OBJECT_NAME_INVALID;
    auto file = std::make_shared<OpenFile>();
    file->owner = &m;
    {
        std::lock_guard lk(m.objMutex);
        std::wstring key = Upper(name);
        PDEVICE_OBJECT named = nullptr;
        // Device interfaces: the whole path, or the path less its last element (the
        // reference string goes to the driver as the file name).
        for (int pass = 0; pass < 2 && !named; ++pass) {
            std::wstring k = key, rest;
            if (pass == 1) {
                auto cut = key.rfind(L'\\');
                if (cut == std::wstring::npos) break;
                k = key.substr(0, cut);
                rest = name.substr(cut);
            }
            auto it = m.interfaces.find(k);
            if (it != m.interfaces.end() && it->second.enabled) {
                named = it->second.pdo;
                file->fileName = it->second.reference.empty() ? rest : L"\\" + it->second.reference;
            }
        }
        if (!named) {
            auto cut = key.find(L'\\');
            auto it = m.links.find(key.substr(0, cut));
            if (it != m.links.end()) {
                auto d = m.deviceNames.find(Upper(it->second));
                if (d != m.deviceNames.end()) named = d->second;
                if (cut != std::wstring::npos) file->fileName = name.substr(cut);
            }
        }
        DeviceRecord* r = named ? m.RecordLocked(named) : nullptr;
        if (!r || r->deleted) return STATUS_OBJECT_NAME_NOT_FOUND;
        if ((named->Flags & DO_EXCLUSIVE) && r->opens > 0) return STATUS_ACCESS_DENIED;
        PDEVICE_OBJECT top = named;
        while (top->AttachedDevice) top = top->AttachedDevice;
        file->named = named;
        file->top = top;
        file->node = r->node;
        file->object.DeviceObject = named;
        file->object.FileName.Buffer = file->fileName.data();
        file->object.FileName.Length = static_cast<USHORT>(file->fileName.size() * sizeof(WCHAR));
        file->object.FileName.MaximumLength = file->object.FileName.Length;
        ++r->opens;  // held while the create runs, so an exclusive device admits one opener
        if (file->node) ++file->node->openFiles;
        m.files.insert(file.get());
    }
    NTSTATUS s = m.SendSync(file->top, [&](PIO_STACK_LOCATION sl, PIRP) {
        sl->MajorFunction = IRP_MJ_CREATE;
        sl->FileObject = &file->object;
        sl->Parameters.Create.DesiredAccess = 0xC0000000;
    });
    if (!NT_SUCCESS(s)) {
        // A failed create is never followed by cleanup or close.
        m.FileClosed(file);
        return s;
    }
    *out = file;
    return s;
}

NTSTATUS Machine::Submit(const std::shared_ptr<OpenFile>& file, const UserRequest& rq, RequestDone done) {
    Impl& m = *impl_;
    if (!file || file->owner != &m) {
        if (done) done(STATUS_INVALID_HANDLE, 0, false);
        return STATUS_INVALID_HANDLE;
    }
    {
        std::lock_guard lk(file->m);
        if (file->closing) {
            if (done) done(STATUS_INVALID_HANDLE, 0, false);
            return STATUS_INVALID_HANDLE;
        }
        ++file->outstanding;
    }
    DeviceRecord* r = m.Record(file->top);
    PDEVICE_OBJECT top = file->top;
    if (!r || r->deleted) {
        IrpBlock* b = m.NewIrp(IrpKind::User, 1);
        b->file = file;
        b->counted = true;
        b->done = std::move(done);
        b->irp.IoStatus.Status = STATUS_NO_SUCH_DEVICE;
        m.Track(b);
        m.Finish(b);
        return STATUS_NO_SUCH_DEVICE;
    }
    IrpBlock* b = m.NewIrp(IrpKind::User, top->StackSize);
    b->refs = 2;  // the submitter's and the completion's
    b->file = file;
    b->counted = true;
    b->thread = std::this_thread::get_id();
    b->major = rq.major;
    b->done = std::move(done);
    b->userOutput = rq.output;
    b->userOutputLength = rq.outputLength;
    IRP& irp = b->irp;
    irp.RequestorMode = UserMode;
    PIO_STACK_LOCATION sl = IoGetNextIrpStackLocation(&irp);
    sl->MajorFunction = rq.major;
    sl->FileObject = &file->object;
    auto systemBuffer = [&](ULONG size, const void* copyIn, ULONG inLength) {
        if (size == 0) return;
        auto* buf = new UCHAR[size]();
        if (copyIn && inLength) std::memcpy(buf, copyIn, inLength);
        irp.AssociatedIrp.SystemBuffer = buf;
        b->ownsSystemBuffer = true;
    };
    auto mdlFor = [&](void* va, ULONG length) {
        if (va && length) irp.MdlAddress = IoAllocateMdl(va, length, FALSE, FALSE, nullptr);
    };
    if (rq.major == IRP_MJ_READ || rq.major == IRP_MJ_WRITE) {
        bool read = rq.major == IRP_MJ_READ;
        void* buffer = read ? rq.output : const_cast<void*>(rq.input);
        ULONG length = read ? rq.outputLength : rq.inputLength;
        sl->Parameters.Read.Length = length;
        if (top->Flags & DO_BUFFERED_IO) {
            systemBuffer(length, read ? nullptr : rq.input, read ? 0 : length);
        } else if (top->Flags & DO_DIRECT_IO) {
            mdlFor(buffer, length);
        } else {
            irp.UserBuffer = buffer;
        }
        if (!read) b->userOutput = nullptr;
    } else {
        sl->Parameters.DeviceIoControl.IoControlCode = rq.code;
        sl->Parameters.DeviceIoControl.InputBufferLength = rq.inputLength;
        sl->Parameters.DeviceIoControl.OutputBufferLength = rq.outputLength;
        b->method = static_cast<UCHAR>(METHOD_FROM_CTL_CODE(rq.code));
        switch (b->method) {
        case METHOD_BUFFERED:
            systemBuffer(std::max(rq.inputLength, rq.outputLength), rq.input, rq.inputLength);
            break;
        case METHOD_IN_DIRECT:
        case METHOD_OUT_DIRECT:
            systemBuffer(rq.inputLength, rq.input, rq.inputLength);
            mdlFor(rq.output, rq.outputLength);
            break;
        default:
            sl->Parameters.DeviceIoControl.Type3InputBuffer = const_cast<void*>(rq.input);
            irp.UserBuffer = rq.output;
            break;
        }
    }
    m.Track(b);
    NTSTATUS s = IoCallDriver(top, &irp);
    m.Release(b);
    return s;
}

void Machine::CancelRequests(const std::shared_ptr<OpenFile>& file, std::thread::id thread) {
    Impl& m = *impl_;
    std::vector<IrpBlock*> list;
    {
        std::lock_guard lk(m.irpMutex);
        for (IrpBlock* b : m.irps) {
            if (b->kind == IrpKind::User && b->file == file && !b->finished &&
                (thread == std::thread::id() || b->thread == thread)) {
                b->refs.fetch_add(1);
                list.push_back(b);
            }
        }
    }
    for (IrpBlock* b : list) {
        IoCancelIrp(&b->irp);
        m.Release(b);
    }
}

void Machine::Close(const std::shared_ptr<OpenFile>& file) {
    Impl& m = *impl_;
    if (!file || file->owner != &m) return;
    {
        std::lock_guard lk(file->m);
        if (file->closing) return;
        file->closing = true;
    }
    m.SendFileIrp(file, IRP_MJ_CLEANUP);
    CancelRequests(file, std::thread::id());
    bool sendNow = false;
    {
        std::lock_guard lk(file->m);
        if (file->outstanding == 0) {
            file->closeSent = true;
            sendNow = true;
        } else {
            file->closeDeferred = true;
        }
    }
    // Otherwise the completion of the file's last request sends the close.
    if (sendNow) m.SendFileIrp(file, IRP_MJ_CLOSE);
    m.FileClosed(file);
}

}  // namespace kernel

// ---------------------------------------------------------------- requests
NTSTATUS IoCallDriver(PDEVICE_OBJECT device, PIRP irp) {
    Machine::Impl& m = M();
    IrpBlock* b = Block(irp);
    if (irp->CurrentLocation <= 1) {
        m.verifier.Report(Rule::NoStackLocation, "IoCallDriver with no stack location left");
        irp->IoStatus.Status = STATUS_INVALID_DEVICE_STATE;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return STATUS_INVALID_DEVICE_STATE;
    }
    IoSetNextIrpStackLocation(irp);
    PIO_STACK_LOCATION sl = IoGetCurrentIrpStackLocation(irp);
    sl->DeviceObject = device;
    PDRIVER_DISPATCH fn = device->DriverObject->MajorFunction[sl->MajorFunction];
    if (b) b->refs.fetch_add(1);
    size_t depth = HeldLockCount();
    KIRQL irqlAtCall = KeGetCurrentIrql();
    NTSTATUS s = fn(device, irp);
    CheckBalance(depth, "dispatch routine");
    SetIrql(irqlAtCall);  // a routine that left the IRQL raised does not leak it
    if (s == STATUS_PENDING) {
        // Pending is legal when this location, or one below it that the request was passed
        // down to, was marked pending.
        bool marked = false;
        for (PIO_STACK_LOCATION p = sl; p >= irp->Stack && !marked; --p) marked = LoadControl(p) & SL_PENDING_RETURNED;
        if (!marked) {
            char text[120];
            std::snprintf(text, sizeof text, "major function 0x%02x", sl->MajorFunction);
            m.verifier.Report(Rule::PendingNotMarked, text);
        }
    }
    if (b) m.Release(b);
    return s;
}

void IoCompleteRequest(PIRP irp, CHAR) {
    Machine::Impl& m = M();
    IrpBlock* b = Block(irp);
    if (b->completed.exchange(true)) {
        char text[120];
        std::snprintf(text, sizeof text, "status 0x%08x", static_cast<unsigned>(irp->IoStatus.Status));
        m.verifier.Report(Rule::DoubleCompletion, text);
        return;
    }
    if (__atomic_load_n(&irp->CancelRoutine, __ATOMIC_ACQUIRE)) {
        m.verifier.Report(Rule::CompletedWithCancelRoutine, "cancel routine still set at completion");
        __atomic_store_n(&irp->CancelRoutine, nullptr, __ATOMIC_RELEASE);
    }
    if (irp->IoStatus.Status == STATUS_PENDING) {
        m.verifier.Report(Rule::CompletedWithPendingStatus, "IoCompleteRequest with STATUS_PENDING");
        irp->IoStatus.Status = STATUS_UNSUCCESSFUL;
    }
    while (irp->CurrentLocation <= irp->StackCount) {
        PIO_STACK_LOCATION sl = IoGetCurrentIrpStackLocation(irp);
        irp->PendingReturned = (LoadControl(sl) & SL_PENDING_RETURNED) != 0;
        IoSkipCurrentIrpStackLocation(irp);
        bool top = irp->CurrentLocation > irp->StackCount;
        PDEVICE_OBJECT upper = top ? nullptr : IoGetCurrentIrpStackLocation(irp)->DeviceObject;
        UCHAR control = LoadControl(sl);
        NTSTATUS st = irp->IoStatus.Status;
        bool invoke = sl->CompletionRoutine &&
                      ((NT_SUCCESS(st) && (control & SL_INVOKE_ON_SUCCESS)) ||
                       (NT_ERROR(st) && (control & SL_INVOKE_ON_ERROR)) ||
                       (irp->Cancel && (control & SL_INVOKE_ON_CANCEL)) ||
                       (NT_WARNING(st) && (control & SL_INVOKE_ON_SUCCESS)));
        if (invoke) {
            size_t depth = HeldLockCount();
            KIRQL irqlAtCall = KeGetCurrentIrql();
            // A routine that keeps the request (STATUS_MORE_PROCESSING_REQUIRED) owns it from
            // the moment it runs: it may complete it again, hand it to another thread or free
            // it before it returns. So the request counts as not completed while the routine
            // runs, and after such a return neither the request nor its block is touched.
            b->completed.store(false);
            NTSTATUS r = sl->CompletionRoutine(upper, irp, sl->Context);
            CheckBalance(depth, "completion routine");
            SetIrql(irqlAtCall);  // a routine that left the IRQL raised does not leak it
            if (r == STATUS_MORE_PROCESSING_REQUIRED) return;
            // The completion goes on up the stack: the request is ours again.
            if (b->completed.exchange(true)) {
                m.verifier.Report(Rule::DoubleCompletion,
                                  "completion routine completed the request again but let the completion go on");
                return;
            }
        } else if (irp->PendingReturned && !top) {
            IoMarkIrpPending(irp);
        }
    }
    m.Finish(b);
}

PDRIVER_CANCEL IoSetCancelRoutine(PIRP irp, PDRIVER_CANCEL routine) {
    return __atomic_exchange_n(&irp->CancelRoutine, routine, __ATOMIC_ACQ_REL);
}

BOOLEAN IoCancelIrp(PIRP irp) {
    Machine::Impl& m = M();
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    irp->Cancel = TRUE;
    PDRIVER_CANCEL routine = IoSetCancelRoutine(irp, nullptr);
    if (!routine) {
        IoReleaseCancelSpinLock(irql);
        return FALSE;
    }
    irp->CancelIrql = irql;
    size_t depth = HeldLockCount() - 1;  // the routine releases the cancel spin lock
    PIO_STACK_LOCATION sl = IoGetCurrentIrpStackLocation(irp);
    routine(sl->DeviceObject, irp);
    if (HoldsLock(&m.cancelLock)) {
        m.verifier.Report(Rule::CancelRoutineKeptCancelLock, "cancel routine did not release the cancel spin lock");
        IoReleaseCancelSpinLock(irql);
    }
    CheckBalance(depth, "cancel routine");
    SetIrql(irql);
    return TRUE;
}

PIRP IoAllocateIrp(CHAR stackSize, BOOLEAN) {
    Machine::Impl& m = M();
    IrpBlock* b = m.NewIrp(IrpKind::Allocated, stackSize);
    m.Track(b);
    return &b->irp;
}
void IoFreeIrp(PIRP irp) { M().Release(Block(irp)); }
void IoReuseIrp(PIRP irp, NTSTATUS status) {
    IrpBlock* b = Block(irp);
    b->completed = false;
    {
        std::lock_guard lk(M().irpMutex);
        b->finished = false;
    }
    for (auto& sl : b->stack) sl = IO_STACK_LOCATION{};
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = 0;
    irp->Cancel = FALSE;
    irp->PendingReturned = FALSE;
    irp->CancelRoutine = nullptr;
    irp->CurrentLocation = static_cast<CHAR>(irp->StackCount + 1);
    irp->Tail.Overlay.CurrentStackLocation = irp->Stack + irp->StackCount;
}

PIRP IoBuildDeviceIoControlRequest(ULONG code, PDEVICE_OBJECT device, PVOID input, ULONG inputLength, PVOID output,
                                   ULONG outputLength, BOOLEAN internal, PKEVENT event, PIO_STATUS_BLOCK iosb) {
    Machine::Impl& m = M();
    IrpBlock* b = m.NewIrp(IrpKind::Built, device->StackSize);
    b->event = event;
    b->iosb = iosb;
    IRP& irp = b->irp;
    PIO_STACK_LOCATION sl = IoGetNextIrpStackLocation(&irp);
    sl->MajorFunction = internal ? IRP_MJ_INTERNAL_DEVICE_CONTROL : IRP_MJ_DEVICE_CONTROL;
    sl->Parameters.DeviceIoControl.IoControlCode = code;
    sl->Parameters.DeviceIoControl.InputBufferLength = inputLength;
    sl->Parameters.DeviceIoControl.OutputBufferLength = outputLength;
    switch (METHOD_FROM_CTL_CODE(code)) {
    case METHOD_BUFFERED: {
        ULONG size = std::max(inputLength, outputLength);
        if (size) {
            auto* buf = new UCHAR[size]();
            if (input && inputLength) std::memcpy(buf, input, inputLength);
            irp.AssociatedIrp.SystemBuffer = buf;
            b->ownsSystemBuffer = true;
            b->userOutput = output;
            b->userOutputLength = outputLength;
        }
        break;
    }
    case METHOD_IN_DIRECT:
    case METHOD_OUT_DIRECT:
        irp.AssociatedIrp.SystemBuffer = input;
        if (output && outputLength) irp.MdlAddress = IoAllocateMdl(output, outputLength, FALSE, FALSE, nullptr);
        break;
    default:
        sl->Parameters.DeviceIoControl.Type3InputBuffer = input;
        irp.UserBuffer = output;
        break;
    }
    m.Track(b);
    return &irp;
}

// ---------------------------------------------------------------- memory descriptors
PMDL IoAllocateMdl(PVOID va, ULONG length, BOOLEAN, BOOLEAN, PIRP irp) {
    auto* mdl = new MDL{};
    mdl->StartVa = va;
    mdl->ByteCount = length;
    // User and kernel share one address space here: the buffer is its own system address.
    mdl->MappedSystemVa = va;
    if (irp && !irp->MdlAddress) irp->MdlAddress = mdl;
    return mdl;
}
void IoFreeMdl(PMDL mdl) { delete mdl; }
void MmBuildMdlForNonPagedPool(PMDL mdl) { mdl->MappedSystemVa = mdl->StartVa; }
PVOID MmGetSystemAddressForMdlSafe(PMDL mdl, MM_PAGE_PRIORITY) { return mdl ? mdl->MappedSystemVa : nullptr; }

// ---------------------------------------------------------------- devices
NTSTATUS IoCreateDevice(PDRIVER_OBJECT driver, ULONG extensionSize, PUNICODE_STRING name, ULONG type,
                        ULONG characteristics, BOOLEAN exclusive, PDEVICE_OBJECT* device) {
    Machine::Impl& m = M();
    auto rec = std::make_unique<DeviceRecord>();
    rec->object = std::make_unique<DEVICE_OBJECT>();
    rec->extension.assign(extensionSize ? extensionSize : 1, 0);
    DEVICE_OBJECT* d = rec->object.get();
    std::lock_guard lk(m.objMutex);
    std::wstring n = ToWide(name);
    if (characteristics & FILE_AUTOGENERATED_DEVICE_NAME) {
        wchar_t buf[32];
        std::swprintf(buf, 32, L"\\Device\\%08lx", static_cast<unsigned long>(++m.nextAutoName));
        n = buf;
    }
    if (!n.empty()) {
        if (m.deviceNames.count(Upper(n))) return STATUS_OBJECT_NAME_COLLISION;
        m.deviceNames[Upper(n)] = d;
    }
    rec->name = n;
    rec->deviceState.DeviceState = PowerDeviceD0;
    d->DriverObject = driver;
    d->DeviceExtension = extensionSize ? rec->extension.data() : nullptr;
    d->DeviceType = type;
    d->Characteristics = characteristics;
    d->Flags = DO_DEVICE_INITIALIZING | (exclusive ? DO_EXCLUSIVE : 0);
    d->StackSize = 1;
    d->NextDevice = driver->DeviceObject;
    driver->DeviceObject = d;
    m.devices[d] = std::move(rec);
    *device = d;
    return STATUS_SUCCESS;
}

void IoDeleteDevice(PDEVICE_OBJECT device) {
    Machine::Impl& m = M();
    {
        std::lock_guard lk(m.objMutex);
        DeviceRecord* r = m.RecordLocked(device);
        if (!r || r->deleted) return;
        r->deleted = true;
        if (!r->name.empty()) m.deviceNames.erase(Upper(r->name));
        PDRIVER_OBJECT drv = device->DriverObject;
        for (PDEVICE_OBJECT* p = &drv->DeviceObject; *p; p = &(*p)->NextDevice) {
            if (*p == device) {
                *p = device->NextDevice;
                break;
            }
        }
        if (r->lower && r->lower->AttachedDevice == device) r->lower->AttachedDevice = nullptr;
    }
    // The object itself stays allocated until the machine goes away: a late completion or a
    // stale file must not touch freed memory.
    m.CheckPendingAtDelete(device);
}

PDEVICE_OBJECT IoAttachDeviceToDeviceStack(PDEVICE_OBJECT source, PDEVICE_OBJECT target) {
    Machine::Impl& m = M();
    std::lock_guard lk(m.objMutex);
    PDEVICE_OBJECT top = target;
    while (top->AttachedDevice) top = top->AttachedDevice;
    DeviceRecord* rt = m.RecordLocked(top);
    DeviceRecord* rs = m.RecordLocked(source);
    if (!rt || !rs || rt->deleted) return nullptr;
    top->AttachedDevice = source;
    source->StackSize = static_cast<CHAR>(top->StackSize + 1);
    rs->lower = top;
    rs->node = rt->node;
    return top;
}

void IoDetachDevice(PDEVICE_OBJECT lower) {
    Machine::Impl& m = M();
    std::lock_guard lk(m.objMutex);
    lower->AttachedDevice = nullptr;
}

PDEVICE_OBJECT IoGetAttachedDeviceReference(PDEVICE_OBJECT device) {
    std::lock_guard lk(M().objMutex);
    while (device->AttachedDevice) device = device->AttachedDevice;
    return device;
}
void ObDereferenceObject(PVOID) {}

namespace {
void DpcForIsrTrampoline(PKDPC dpc, PVOID context, PVOID irp, PVOID ctx) {
    PDEVICE_OBJECT device = CONTAINING_RECORD(dpc, DEVICE_OBJECT, Dpc);
    reinterpret_cast<PIO_DPC_ROUTINE>(context)(dpc, device, static_cast<PIRP>(irp), ctx);
}
}  // namespace
void IoInitializeDpcRequest(PDEVICE_OBJECT device, PIO_DPC_ROUTINE routine) {
    KeInitializeDpc(&device->Dpc, DpcForIsrTrampoline, reinterpret_cast<PVOID>(routine));
}

// ---------------------------------------------------------------- symbolic links
namespace {
// "\DosDevices\X", "\??\X", "\GLOBAL??\X" -> upper-case "X"; empty for anything else.
std::wstring LinkKey(PUNICODE_STRING link) {
    std::wstring s = ToWide(link);
    for (std::wstring_view p : {L"\\DosDevices\\", L"\\??\\", L"\\GLOBAL??\\"}) {
        if (s.size() > p.size() && Upper(s.substr(0, p.size())) == Upper(std::wstring(p))) return Upper(s.substr(p.size()));
    }
    return {};
}
}  // namespace

NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING link, PUNICODE_STRING deviceName) {
    Machine::Impl& m = M();
    std::wstring key = LinkKey(link);
    if (key.empty()) return STATUS_OBJECT_NAME_INVALID;
    std::lock_guard lk(m.objMutex);
    if (m.links.count(key)) return STATUS_OBJECT_NAME_COLLISION;
    m.links[key] = ToWide(deviceName);
    return STATUS_SUCCESS;
}

NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING link) {
    Machine::Impl& m = M();
    std::lock_guard lk(m.objMutex);
    return m.links.erase(LinkKey(link)) ? STATUS_SUCCESS : STATUS_OBJECT_NAME_NOT_FOUND;
}
