// Pool, debug trace, kernel strings, the verifier's record and the in-memory registry.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>

#include "internal.h"
#include "platform/sjis.h"

namespace kernel {

// ---------------------------------------------------------------- verifier
Verifier::Verifier() : state_(std::make_shared<State>()) {}

const char* RuleName(Rule rule) {
    switch (rule) {
    case Rule::DoubleCompletion: return "request completed twice";
    case Rule::CompletedWithCancelRoutine: return "request completed with its cancel routine set";
    case Rule::CompletedWithPendingStatus: return "request completed with STATUS_PENDING";
    case Rule::PendingAtRemove: return "request pending when its device was removed";
    case Rule::UnbalancedSpinLock: return "unbalanced spin lock";
    case Rule::SpinLockNotHeld: return "spin lock released without being held";
    case Rule::SpinLockRecursion: return "spin lock acquired recursively";
    case Rule::PendingNotMarked: return "STATUS_PENDING returned without IoMarkIrpPending";
    case Rule::RegisterOutsideWindow: return "register access outside a mapped window";
    case Rule::CancelLockAcrossRegisterAccess: return "register access while holding the cancel spin lock";
    case Rule::CancelRoutineKeptCancelLock: return "cancel routine returned holding the cancel spin lock";
    case Rule::BadPoolFree: return "free of memory that is not a live pool block";
    case Rule::NoStackLocation: return "request sent without a free stack location";
    case Rule::WaitAtRaisedIrql: return "wait at DISPATCH_LEVEL or above";
    }
    return "?";
}

void Verifier::Report(Rule rule, std::string detail) {
    std::fprintf(stderr, "verifier: %s: %s\n", RuleName(rule), detail.c_str());
    std::lock_guard lk(state_->m);
    state_->list.push_back({rule, std::move(detail)});
}
std::vector<Violation> Verifier::Violations() const {
    std::lock_guard lk(state_->m);
    return state_->list;
}
size_t Verifier::Count(Rule rule) const {
    std::lock_guard lk(state_->m);
    size_t n = 0;
    for (auto& v : state_->list) n += v.rule == rule;
    return n;
}
bool Verifier::Clean() const {
    std::lock_guard lk(state_->m);
    return state_->list.empty();
}
void Verifier::Clear() {
    std::lock_guard lk(state_->m);
    state_->list.clear();
}
void Verifier::SetConcurrencyStress(bool on) { state_->concurrencyStress = on; }

std::string Verifier::Describe() const {
    std::lock_guard lk(state_->m);
    std::string out;
    for (auto& v : state_->list) out += std::string(RuleName(v.rule)) + ": " + v.detail + "\n";
    return out;
}

// ---------------------------------------------------------------- pool
Pool::Pool() : state_(std::make_shared<State>()) {}
void Pool::FailAfter(long n) {
    std::lock_guard lk(state_->m);
    state_->failAfter = n;
}
void Pool::FailTag(ULONG tag) {
    std::lock_guard lk(state_->m);
    state_->failTag = tag;
}
void Pool::Reset() {
    std::lock_guard lk(state_->m);
    state_->failAfter = -1;
    state_->failTag = 0;
}
size_t Pool::LiveAllocations() const {
    std::lock_guard lk(state_->m);
    return state_->live;
}
size_t Pool::FailedAllocations() const {
    std::lock_guard lk(state_->m);
    return state_->failed;
}

namespace {
// Every pool block starts with this header; 16 bytes keep the caller's data aligned.
struct alignas(16) PoolHeader {
    ULONG magic;
    ULONG tag;
    SIZE_T size;
};
constexpr ULONG kLive = 0x4C4F4F50;  // "POOL"
constexpr ULONG kDead = 0x44414544;  // "DEAD", left in a freed block for debuggers
}  // namespace

// ---------------------------------------------------------------- trace
void Machine::Impl::AddTrace(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (std::getenv("KERNEL_TRACE")) std::fprintf(stderr, "%s\n", line.c_str());
    std::lock_guard lk(traceMutex);
    trace.push_back(std::move(line));
}

// ---------------------------------------------------------------- text
std::wstring Upper(std::wstring_view s) {
    std::wstring out(s);
    for (auto& c : out)
        if (c >= L'a' && c <= L'z') c = c - L'a' + L'A';
    return out;
}

std::wstring GuidText(const GUID& g) {
    wchar_t buf[40];
    std::swprintf(buf, 40, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

std::wstring Widen(std::string_view sjis) {
    std::string u = platform::sjis::ToUtf8(sjis, platform::sjis::Unconvertible::Replace);
    std::wstring out;
    for (size_t i = 0; i < u.size();) {
        unsigned char c = static_cast<unsigned char>(u[i]);
        unsigned n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t v = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
        for (unsigned k = 1; k < n && i + k < u.size(); ++k) v = (v << 6) | (static_cast<unsigned char>(u[i + k]) & 0x3F);
        out.push_back(static_cast<wchar_t>(v));
        i += n;
    }
    return out;
}

std::string Narrow(std::wstring_view text) {
    std::string u;
    for (wchar_t wc : text) {
        auto v = static_cast<char32_t>(wc);
        if (v < 0x80) {
            u.push_back(static_cast<char>(v));
        } else if (v < 0x800) {
            u.push_back(static_cast<char>(0xC0 | (v >> 6)));
            u.push_back(static_cast<char>(0x80 | (v & 0x3F)));
        } else if (v < 0x10000) {
            u.push_back(static_cast<char>(0xE0 | (v >> 12)));
            u.push_back(static_cast<char>(0x80 | ((v >> 6) & 0x3F)));
            u.push_back(static_cast<char>(0x80 | (v & 0x3F)));
        } else {
            u.push_back(static_cast<char>(0xF0 | (v >> 18)));
            u.push_back(static_cast<char>(0x80 | ((v >> 12) & 0x3F)));
            u.push_back(static_cast<char>(0x80 | ((v >> 6) & 0x3F)));
            u.push_back(static_cast<char>(0x80 | (v & 0x3F)));
        }
    }
    return platform::sjis::FromUtf8(u, platform::sjis::Unconvertible::Replace);
}

std::wstring ToWide(PCUNICODE_STRING s) {
    if (!s || !s->Buffer) return {};
    return std::wstring(s->Buffer, s->Length / sizeof(WCHAR));
}

// ---------------------------------------------------------------- registry values
RegistryValue SzValue(const std::wstring& text) {
    RegistryValue v;
    v.type = REG_SZ;
    v.data.resize((text.size() + 1) * sizeof(WCHAR));
    std::memcpy(v.data.data(), text.c_str(), v.data.size());
    return v;
}
RegistryValue DwordValue(ULONG value) {
    RegistryValue v;
    v.type = REG_DWORD;
    v.data.resize(4);
    std::memcpy(v.data.data(), &value, 4);
    return v;
}
std::wstring SzText(const RegistryValue& value) {
    std::wstring s(value.data.size() / sizeof(WCHAR), L'\0');
    if (!s.empty()) std::memcpy(s.data(), value.data.data(), s.size() * sizeof(WCHAR));
    auto z = s.find(L'\0');
    if (z != std::wstring::npos) s.resize(z);
    return s;
}

namespace {
class MemoryRegistry : public RegistryStore {
public:
    bool KeyExists(const std::wstring& path) override {
        std::lock_guard lk(m_);
        return keys_.count(Norm(path)) != 0;
    }
    bool CreateKey(const std::wstring& path) override {
        std::lock_guard lk(m_);
        std::wstring p = Trim(path);
        size_t pos = 0;
        while (pos != std::wstring::npos) {
            pos = p.find(L'\\', pos + 1);
            std::wstring part = p.substr(0, pos);
            auto& k = keys_[Upper(part)];
            if (k.name.empty()) k.name = part;
        }
        return true;
    }
    bool QueryValue(const std::wstring& path, const std::wstring& name, RegistryValue* value) override {
        std::lock_guard lk(m_);
        auto k = keys_.find(Norm(path));
        if (k == keys_.end()) return false;
        auto v = k->second.values.find(Upper(name));
        if (v == k->second.values.end()) return false;
        *value = v->second;
        return true;
    }
    bool SetValue(const std::wstring& path, const std::wstring& name, const RegistryValue& value) override {
        std::lock_guard lk(m_);
        auto k = keys_.find(Norm(path));
        if (k == keys_.end()) return false;
        k->second.values[Upper(name)] = value;
        return true;
    }
    bool DeleteValue(const std::wstring& path, const std::wstring& name) override {
        std::lock_guard lk(m_);
        auto k = keys_.find(Norm(path));
        return k != keys_.end() && k->second.values.erase(Upper(name)) != 0;
    }
    std::vector<std::wstring> SubKeys(const std::wstring& path) override {
        std::lock_guard lk(m_);
        std::wstring prefix = Norm(path) + L"\\";
        std::vector<std::wstring> out;
        for (auto it = keys_.lower_bound(prefix); it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0;
             ++it) {
            if (it->first.find(L'\\', prefix.size()) == std::wstring::npos)
                out.push_back(it->second.name.substr(prefix.size()));
        }
        return out;
    }

private:
    struct Key {
        std::wstring name;
        std::map<std::wstring, RegistryValue> values;
    };
    static std::wstring Trim(const std::wstring& p) {
        std::wstring s = p;
        while (!s.empty() && s.back() == L'\\') s.pop_back();
        return s;
    }
    static std::wstring Norm(const std::wstring& p) { return Upper(Trim(p)); }
    std::mutex m_;
    std::map<std::wstring, Key> keys_;
};
}  // namespace

std::unique_ptr<RegistryStore> MakeMemoryRegistry() { return std::make_unique<MemoryRegistry>(); }

}  // namespace kernel

using namespace kernel;

// ---------------------------------------------------------------- pool entry points
PVOID ExAllocatePoolWithTag(POOL_TYPE, SIZE_T bytes, ULONG tag) {
    Pool::State& s = *M().pool.state_;
    {
        std::lock_guard lk(s.m);
        bool fail = (s.failTag != 0 && s.failTag == tag) || s.failAfter == 0;
        if (s.failAfter > 0) --s.failAfter;
        if (fail) {
            ++s.failed;
            return nullptr;
        }
        ++s.live;
    }
    auto* h = static_cast<PoolHeader*>(std::calloc(1, sizeof(PoolHeader) + bytes));
    if (!h) return nullptr;
    h->magic = kLive;
    h->tag = tag;
    h->size = bytes;
    std::lock_guard lk(s.m);
    s.blocks.insert(h + 1);
    return h + 1;
}
PVOID ExAllocatePool(POOL_TYPE type, SIZE_T bytes) { return ExAllocatePoolWithTag(type, bytes, 0); }
void ExFreePool(PVOID p) {
    if (!p) return;
    {
        Pool::State& s = *M().pool.state_;
        std::lock_guard lk(s.m);
        if (!s.blocks.erase(p)) {
            M().verifier.Report(Rule::BadPoolFree, "pool block freed twice, or not from the pool");
            return;
        }
        --s.live;
    }
    auto* h = static_cast<PoolHeader*>(p) - 1;
    h->magic = kDead;
    std::free(h);
}
void ExFreePoolWithTag(PVOID p, ULONG) { ExFreePool(p); }

// ---------------------------------------------------------------- debug trace
ULONG DbgPrint(const char* format, ...) {
    char buf[1024];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    M().AddTrace(buf);
    return STATUS_SUCCESS;
}

// ---------------------------------------------------------------- strings
void RtlInitUnicodeString(PUNICODE_STRING s, PCWSTR text) {
    s->Buffer = const_cast<PWSTR>(text);
    s->Length = text ? static_cast<USHORT>(std::wcslen(text) * sizeof(WCHAR)) : 0;
    s->MaximumLength = text ? static_cast<USHORT>(s->Length + sizeof(WCHAR)) : 0;
}
void RtlCopyUnicodeString(PUNICODE_STRING dst, PCUNICODE_STRING src) {
    if (!src || !src->Buffer) {
        dst->Length = 0;
        return;
    }
    USHORT n = std::min<USHORT>(src->Length, dst->MaximumLength);
    std::memcpy(dst->Buffer, src->Buffer, n);
    dst->Length = n;
    if (n + sizeof(WCHAR) <= dst->MaximumLength) dst->Buffer[n / sizeof(WCHAR)] = 0;
}
NTSTATUS RtlAppendUnicodeToString(PUNICODE_STRING dst, PCWSTR text) {
    size_t add = std::wcslen(text) * sizeof(WCHAR);
    if (dst->Length + add > dst->MaximumLength) return STATUS_BUFFER_TOO_SMALL;
    std::memcpy(reinterpret_cast<char*>(dst->Buffer) + dst->Length, text, add);
    dst->Length = static_cast<USHORT>(dst->Length + add);
    if (dst->Length + sizeof(WCHAR) <= dst->MaximumLength) dst->Buffer[dst->Length / sizeof(WCHAR)] = 0;
    return STATUS_SUCCESS;
}
NTSTATUS RtlAppendUnicodeStringToString(PUNICODE_STRING dst, PCUNICODE_STRING src) {
    std::wstring w = ToWide(src);
    return RtlAppendUnicodeToString(dst, w.c_str());
}
NTSTATUS RtlIntegerToUnicodeString(ULONG value, ULONG base, PUNICODE_STRING s) {
    if (base == 0) base = 10;
    if (base != 2 && base != 8 && base != 10 && base != 16) return STATUS_INVALID_PARAMETER;
    wchar_t digits[40];
    int n = 0;
    do {
        ULONG d = value % base;
        digits[n++] = static_cast<wchar_t>(d < 10 ? L'0' + d : L'A' + d - 10);
        value /= base;
    } while (value);
    if ((n + 1) * sizeof(WCHAR) > s->MaximumLength) return STATUS_BUFFER_OVERFLOW;
    for (int i = 0; i < n; ++i) s->Buffer[i] = digits[n - 1 - i];
    s->Buffer[n] = 0;
    s->Length = static_cast<USHORT>(n * sizeof(WCHAR));
    return STATUS_SUCCESS;
}
BOOLEAN RtlEqualUnicodeString(PCUNICODE_STRING a, PCUNICODE_STRING b, BOOLEAN caseInsensitive) {
    std::wstring x = ToWide(a), y = ToWide(b);
    return caseInsensitive ? Upper(x) == Upper(y) : x == y;
}
void RtlFreeUnicodeString(PUNICODE_STRING s) {
    if (s->Buffer) ExFreePool(s->Buffer);
    s->Buffer = nullptr;
    s->Length = s->MaximumLength = 0;
}
NTSTATUS RtlStringFromGUID(const GUID& guid, PUNICODE_STRING s) {
    std::wstring t = GuidText(guid);
    auto* buf = static_cast<PWSTR>(ExAllocatePoolWithTag(PagedPool, (t.size() + 1) * sizeof(WCHAR), 'gStR'));
    if (!buf) return STATUS_INSUFFICIENT_RESOURCES;
    std::memcpy(buf, t.c_str(), (t.size() + 1) * sizeof(WCHAR));
    s->Buffer = buf;
    s->Length = static_cast<USHORT>(t.size() * sizeof(WCHAR));
    s->MaximumLength = static_cast<USHORT>(s->Length + sizeof(WCHAR));
    return STATUS_SUCCESS;
}
