// The drivers' registry over the suite's hives: "\Registry\Machine\..." is HKEY_LOCAL_MACHINE,
// "\Registry\User\..." HKEY_USERS. Kernel strings are wide; the hives keep Shift-JIS text.
#include <cstring>

#include "internal.h"
#include "platform/registry.h"

namespace kernel {

namespace {

namespace reg = platform::registry;

class HiveRegistry : public RegistryStore {
public:
    explicit HiveRegistry(std::filesystem::path folder) : registry_(std::move(folder)) {}

    bool KeyExists(const std::wstring& path) override {
        reg::Root root;
        std::string sub;
        return Split(path, &root, &sub) && registry_.KeyExists(root, sub) == reg::Status::Ok;
    }
    bool CreateKey(const std::wstring& path) override {
        reg::Root root;
        std::string sub;
        return Split(path, &root, &sub) && registry_.CreateKey(root, sub) == reg::Status::Ok;
    }
    bool QueryValue(const std::wstring& path, const std::wstring& name, RegistryValue* value) override {
        reg::Root root;
        std::string sub;
        reg::Value v;
        if (!Split(path, &root, &sub) || registry_.GetValue(root, sub, Narrow(name), &v) != reg::Status::Ok) return false;
        *value = ToKernel(v);
        return true;
    }
    bool SetValue(const std::wstring& path, const std::wstring& name, const RegistryValue& value) override {
        reg::Root root;
        std::string sub;
        if (!Split(path, &root, &sub) || registry_.KeyExists(root, sub) != reg::Status::Ok) return false;
        return registry_.SetValue(root, sub, Narrow(name), ToHive(value)) == reg::Status::Ok;
    }
    bool DeleteValue(const std::wstring& path, const std::wstring& name) override {
        reg::Root root;
        std::string sub;
        return Split(path, &root, &sub) && registry_.DeleteValue(root, sub, Narrow(name)) == reg::Status::Ok;
    }
    std::vector<std::wstring> SubKeys(const std::wstring& path) override {
        reg::Root root;
        std::string sub;
        std::vector<std::string> names;
        std::vector<std::wstring> out;
        if (Split(path, &root, &sub) && registry_.EnumSubKeys(root, sub, &names) == reg::Status::Ok)
            for (auto& n : names) out.push_back(Widen(n));
        return out;
    }

private:
    static bool Split(const std::wstring& path, reg::Root* root, std::string* sub) {
        static const std::pair<const wchar_t*, reg::Root> kRoots[] = {
            {L"\\REGISTRY\\MACHINE", reg::Root::LocalMachine},
            {L"\\REGISTRY\\USER", reg::Root::Users},
        };
        std::wstring upper = Upper(path);
        for (auto& [prefix, r] : kRoots) {
            std::wstring p = prefix;
            if (upper.compare(0, p.size(), p) != 0) continue;
            if (upper.size() > p.size() && upper[p.size()] != L'\\') continue;
            *root = r;
            std::wstring rest = path.substr(std::min(path.size(), p.size() + 1));
            while (!rest.empty() && rest.back() == L'\\') rest.pop_back();
            *sub = Narrow(rest);
            return true;
        }
        return false;
    }

    static std::wstring Chars(const std::vector<UCHAR>& data) {
        std::wstring s(data.size() / sizeof(WCHAR), L'\0');
        if (!s.empty()) std::memcpy(s.data(), data.data(), s.size() * sizeof(WCHAR));
        return s;
    }
    static void PutChars(const std::wstring& s, std::vector<UCHAR>* data) {
        data->resize(s.size() * sizeof(WCHAR));
        if (!s.empty()) std::memcpy(data->data(), s.data(), data->size());
    }

    static reg::Value ToHive(const RegistryValue& v) {
        switch (v.type) {
        case REG_SZ:
        case REG_EXPAND_SZ: {
            std::wstring text = Chars(v.data);
            auto z = text.find(L'\0');
            if (z != std::wstring::npos) text.resize(z);
            return v.type == REG_SZ ? reg::Value::String(Narrow(text)) : reg::Value::ExpandString(Narrow(text));
        }
        case REG_MULTI_SZ: {
            std::wstring all = Chars(v.data);
            std::vector<std::string> list;
            size_t start = 0;
            while (start < all.size()) {
                size_t end = all.find(L'\0', start);
                if (end == std::wstring::npos) end = all.size();
                if (end == start) break;  // the empty string that ends the list
                list.push_back(Narrow(all.substr(start, end - start)));
                start = end + 1;
            }
            return reg::Value::MultiString(std::move(list));
        }
        case REG_DWORD: {
            ULONG n = 0;
            std::memcpy(&n, v.data.data(), std::min<size_t>(4, v.data.size()));
            return reg::Value::Dword(n);
        }
        default:
            return reg::Value::Raw(static_cast<reg::ValueType>(v.type), std::string(v.data.begin(), v.data.end()));
        }
    }

    static RegistryValue ToKernel(const reg::Value& v) {
        RegistryValue out;
        out.type = static_cast<ULONG>(v.type);
        switch (v.type) {
        case reg::ValueType::Sz:
        case reg::ValueType::ExpandSz:
            PutChars(Widen(v.bytes) + L'\0', &out.data);
            break;
        case reg::ValueType::MultiSz: {
            std::wstring all;
            for (auto& s : v.strings) all += Widen(s) + L'\0';
            all += L'\0';
            PutChars(all, &out.data);
            break;
        }
        case reg::ValueType::Dword:
            out.data.resize(4);
            std::memcpy(out.data.data(), &v.dword, 4);
            break;
        default:
            out.data.assign(v.bytes.begin(), v.bytes.end());
            break;
        }
        return out;
    }

    reg::Registry registry_;
};

}  // namespace

std::unique_ptr<RegistryStore> MakeHiveRegistry(const std::filesystem::path& folder) {
    reg::Registry probe(folder);
    if (probe.ProvisionHives() != reg::Status::Ok) return nullptr;
    return std::make_unique<HiveRegistry>(folder);
}

}  // namespace kernel
