// Hive files, their locks and the per-process cache of parsed hives.
#include "platform/registry.h"

#include "hive.h"
#include "platform/hostfile.h"
#include "platform/prefix.h"
#include "platform/sjis.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform::registry {

using detail::KeyNode;
namespace sjis = platform::sjis;

namespace {

thread_local std::string t_lastError;

Status Fail(Status status, std::string detail) {
    t_lastError = std::move(detail);
    return status;
}

std::string Reason(const std::string& what, int err) { return what + ": " + std::strerror(err); }

int RootIndex(Root root) { return static_cast<int>(root); }
bool IsKnownRoot(Root root) { return RootIndex(root) >= 0 && RootIndex(root) < 5; }

struct RootNames {
    Root root;
    const char* name;
    const char* shortName;
};
constexpr RootNames kRootNames[] = {
    {Root::ClassesRoot, "HKEY_CLASSES_ROOT", "HKCR"},
    {Root::CurrentUser, "HKEY_CURRENT_USER", "HKCU"},
    {Root::LocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},
    {Root::Users, "HKEY_USERS", "HKU"},
    {Root::CurrentConfig, "HKEY_CURRENT_CONFIG", "HKCC"},
};

// Holds an exclusive flock on a lock file for the lifetime of the object.
class FileLock {
public:
    explicit FileLock(const std::filesystem::path& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            error_ = Reason("open " + path.string(), errno);
            return;
        }
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            error_ = Reason("flock " + path.string(), errno);
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool ok() const { return fd_ >= 0; }
    const std::string& error() const { return error_; }

private:
    int fd_ = -1;
    std::string error_;
};

// Status of a hive path that cannot be stat'ed or opened.
Status MissingOrIo(const std::filesystem::path& path, int err, const char* call) {
    if (err == ENOENT || err == ENOTDIR) return Fail(Status::HiveMissing, "hive file missing: " + path.string());
    return Fail(Status::IoError, Reason(std::string(call) + " " + path.string(), err));
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// An open hive file, read and parsed. The descriptor stays open while the parse is cached,
// which keeps the inode from being reused by a later file: so the same (device, inode) seen
// again by stat() is certainly the same file.
struct LoadedHive {
    int fd = -1;
    struct stat st {};
    std::shared_ptr<KeyNode> tree;
};

Status LoadHive(const std::filesystem::path& path, Root root, LoadedHive* out) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return MissingOrIo(path, errno, "open");
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int err = errno;
        ::close(fd);
        return Fail(Status::IoError, Reason("fstat " + path.string(), err));
    }
    std::string text;
    text.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    for (;;) {
        if (done == text.size()) text.resize(text.size() + 4096);  // the file grew in place
        ssize_t n = ::read(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            return Fail(Status::IoError, Reason("read " + path.string(), err));
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    text.resize(done);
    auto tree = std::make_shared<KeyNode>();
    std::string why;
    if (!detail::ParseHive(text, root, tree.get(), &why)) {
        ::close(fd);
        return Fail(Status::Damaged, "damaged hive " + path.string() + ": " + why);
    }
    out->fd = fd;
    out->st = st;
    out->tree = std::move(tree);
    return Status::Ok;
}

// Walks to a key; NotFound or InvalidName when it cannot.
template <typename Node>
Node* FindKey(Node& root, std::string_view path, Status* status) {
    std::vector<std::string> names;
    if (!detail::SplitKeyPath(path, &names)) {
        *status = Fail(Status::InvalidName, "invalid key path");
        return nullptr;
    }
    Node* key = &root;
    for (const std::string& name : names) {
        key = key->FindSubKey(name);
        if (!key) {
            *status = Status::NotFound;
            return nullptr;
        }
    }
    *status = Status::Ok;
    return key;
}

}  // namespace

// ---- names ----

const char* RootName(Root root) { return IsKnownRoot(root) ? kRootNames[RootIndex(root)].name : ""; }

std::optional<Root> RootFromName(std::string_view name) {
    for (const RootNames& r : kRootNames) {
        if (sjis::EqualsNoCase(name, r.name) || sjis::EqualsNoCase(name, r.shortName)) return r.root;
    }
    return std::nullopt;
}

const char* StatusName(Status status) {
    switch (status) {
    case Status::Ok: return "Ok";
    case Status::NotFound: return "NotFound";
    case Status::InvalidName: return "InvalidName";
    case Status::HiveMissing: return "HiveMissing";
    case Status::Damaged: return "Damaged";
    case Status::IoError: return "IoError";
    }
    return "?";
}

// ---- values ----

Value Value::String(std::string text) { return Raw(ValueType::Sz, std::move(text)); }
Value Value::ExpandString(std::string text) { return Raw(ValueType::ExpandSz, std::move(text)); }
Value Value::Binary(std::string data) { return Raw(ValueType::Binary, std::move(data)); }

Value Value::Dword(std::uint32_t number) {
    Value v;
    v.type = ValueType::Dword;
    v.dword = number;
    return v;
}

Value Value::MultiString(std::vector<std::string> texts) {
    Value v;
    v.type = ValueType::MultiSz;
    v.strings = std::move(texts);
    return v;
}

Value Value::Raw(ValueType type, std::string data) {
    Value v;
    v.type = type;
    v.bytes = std::move(data);
    return v;
}

// ---- views and edits of a parsed hive ----

Status HiveView::KeyExists(std::string_view path) const {
    Status status;
    FindKey(*root_, path, &status);
    return status;
}

Status HiveView::GetValue(std::string_view path, std::string_view name, Value* out) const {
    Status status;
    const KeyNode* key = FindKey(*root_, path, &status);
    if (!key) return status;
    const NamedValue* nv = key->FindValue(name);
    if (!nv) return Status::NotFound;
    if (out) *out = nv->value;
    return Status::Ok;
}

Status HiveView::EnumSubKeys(std::string_view path, std::vector<std::string>* names) const {
    names->clear();
    Status status;
    const KeyNode* key = FindKey(*root_, path, &status);
    if (!key) return status;
    for (const auto& [upper, sub] : key->subkeys) names->push_back(sub->name);
    return Status::Ok;
}

Status HiveView::EnumValues(std::string_view path, std::vector<NamedValue>* values) const {
    values->clear();
    Status status;
    const KeyNode* key = FindKey(*root_, path, &status);
    if (!key) return status;
    *values = key->values;
    return Status::Ok;
}

Status HiveEdit::CreateKey(std::string_view path) {
    std::vector<std::string> names;
    if (!detail::SplitKeyPath(path, &names)) return Fail(Status::InvalidName, "invalid key path");
    KeyNode* key = mutableRoot_;
    for (const std::string& name : names) {
        KeyNode* sub = key->FindSubKey(name);
        if (!sub) {
            sub = &key->AddSubKey(name);
            changed_ = true;
        }
        key = sub;
    }
    return Status::Ok;
}

Status HiveEdit::SetValue(std::string_view path, std::string_view name, const Value& value) {
    if (name.size() > detail::kMaxValueNameBytes) return Fail(Status::InvalidName, "value name too long");
    if (Status s = CreateKey(path); s != Status::Ok) return s;
    Status status;
    KeyNode* key = FindKey(*mutableRoot_, path, &status);
    if (NamedValue* nv = key->FindValue(name)) {
        if (nv->value == value) return Status::Ok;
        nv->value = value;
    } else {
        key->values.push_back(NamedValue{std::string(name), value});
    }
    changed_ = true;
    return Status::Ok;
}

Status HiveEdit::DeleteValue(std::string_view path, std::string_view name) {
    Status status;
    KeyNode* key = FindKey(*mutableRoot_, path, &status);
    if (!key) return status;
    for (auto it = key->values.begin(); it != key->values.end(); ++it) {
        if (sjis::EqualsNoCase(it->name, name)) {
            key->values.erase(it);
            changed_ = true;
            return Status::Ok;
        }
    }
    return Status::NotFound;
}

Status HiveEdit::DeleteKeyTree(std::string_view path) {
    std::vector<std::string> names;
    if (!detail::SplitKeyPath(path, &names)) return Fail(Status::InvalidName, "invalid key path");
    if (names.empty()) {
        if (!mutableRoot_->values.empty() || !mutableRoot_->subkeys.empty()) changed_ = true;
        mutableRoot_->values.clear();
        mutableRoot_->subkeys.clear();
        return Status::Ok;
    }
    KeyNode* parent = mutableRoot_;
    for (std::size_t i = 0; i + 1 < names.size(); ++i) {
        parent = parent->FindSubKey(names[i]);
        if (!parent) return Status::NotFound;
    }
    if (parent->subkeys.erase(sjis::ToUpper(names.back())) == 0) return Status::NotFound;
    changed_ = true;
    return Status::Ok;
}

// ---- the registry on disk ----

struct Registry::Cached {
    LoadedHive hive;
    ~Cached() {
        if (hive.fd >= 0) ::close(hive.fd);
    }
};

Registry::Registry(std::filesystem::path folder) : folder_(std::move(folder)) {}
Registry::~Registry() = default;

std::filesystem::path Registry::DefaultFolder() { return platform::RegistryFolder(); }

std::filesystem::path Registry::HivePath(Root root) const {
    return folder_ / (std::string(RootName(root)) + ".hive");
}

const std::string& Registry::LastErrorDetail() { return t_lastError; }

Status Registry::ProvisionHives() {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (ec) return Fail(Status::IoError, "create " + folder_.string() + ": " + ec.message());
    FileLock lock(folder_ / "provision.lock");
    if (!lock.ok()) return Fail(Status::IoError, lock.error());

    std::string missing;
    int present = 0;
    for (Root root : kAllRoots) {
        struct stat st {};
        if (::stat(HivePath(root).c_str(), &st) == 0) {
            ++present;
        } else if (errno == ENOENT) {
            missing += missing.empty() ? "" : ", ";
            missing += RootName(root);
        } else {
            return Fail(Status::IoError, Reason("stat " + HivePath(root).string(), errno));
        }
    }
    if (present == 5) return Status::Ok;
    if (present > 0) return Fail(Status::HiveMissing, "hive files missing in " + folder_.string() + ": " + missing);

    for (Root root : kAllRoots) {
        KeyNode empty;
        std::string why;
        std::filesystem::path path = HivePath(root);
        if (!WriteHostFileAtomic(path, detail::FormatHive(empty, root), &why)) return Fail(Status::IoError, why);
        // The user's settings (proxy credentials among them) are nobody else's business.
        ::chmod(path.c_str(), 0600);
    }
    return Status::Ok;
}

Status Registry::Snapshot(Root root, std::shared_ptr<const KeyNode>* out) {
    std::filesystem::path path = HivePath(root);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return MissingOrIo(path, errno, "stat");
    {
        std::lock_guard<std::mutex> guard(cacheMutex_);
        const auto& cached = cache_[RootIndex(root)];
        if (cached && SameFile(cached->hive.st, st)) {
            *out = cached->hive.tree;
            return Status::Ok;
        }
    }
    LoadedHive loaded;
    if (Status s = LoadHive(path, root, &loaded); s != Status::Ok) return s;
    *out = loaded.tree;
    auto entry = std::make_unique<Cached>();
    entry->hive = std::move(loaded);
    std::lock_guard<std::mutex> guard(cacheMutex_);
    cache_[RootIndex(root)] = std::move(entry);
    return Status::Ok;
}

Status Registry::Read(Root root, const std::function<Status(const HiveView&)>& query) {
    if (!IsKnownRoot(root)) return Fail(Status::InvalidName, "unknown root key");
    std::shared_ptr<const KeyNode> tree;
    if (Status s = Snapshot(root, &tree); s != Status::Ok) return s;
    return query(HiveView(*tree));
}

Status Registry::Edit(Root root, const std::function<Status(HiveEdit&)>& change) {
    if (!IsKnownRoot(root)) return Fail(Status::InvalidName, "unknown root key");
    std::filesystem::path path = HivePath(root);
    struct stat st {};
    // A missing hive is not recreated (nor is its lock file made in a missing folder).
    if (::stat(path.c_str(), &st) != 0) return MissingOrIo(path, errno, "stat");

    FileLock lock(folder_ / (std::string(RootName(root)) + ".lock"));
    if (!lock.ok()) return Fail(Status::IoError, lock.error());

    // Under the lock the file on disk is the latest one: read it afresh.
    LoadedHive loaded;
    if (Status s = LoadHive(path, root, &loaded); s != Status::Ok) return s;
    auto entry = std::make_unique<Cached>();
    entry->hive = std::move(loaded);

    HiveEdit edit(*entry->hive.tree);
    if (Status s = change(edit); s != Status::Ok) return s;
    if (edit.changed()) {
        std::string why;
        if (!WriteHostFileAtomic(path, detail::FormatHive(*entry->hive.tree, root), &why)) {
            return Fail(Status::IoError, why);
        }
        // Remember the new file with the tree just written.
        ::close(entry->hive.fd);
        entry->hive.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (entry->hive.fd < 0 || ::fstat(entry->hive.fd, &entry->hive.st) != 0) return Status::Ok;
    }
    std::lock_guard<std::mutex> guard(cacheMutex_);
    cache_[RootIndex(root)] = std::move(entry);
    return Status::Ok;
}

// ---- single operations ----

Status Registry::KeyExists(Root root, std::string_view path) {
    return Read(root, [&](const HiveView& v) { return v.KeyExists(path); });
}

Status Registry::GetValue(Root root, std::string_view path, std::string_view name, Value* out) {
    return Read(root, [&](const HiveView& v) { return v.GetValue(path, name, out); });
}

Status Registry::EnumSubKeys(Root root, std::string_view path, std::vector<std::string>* names) {
    names->clear();
    return Read(root, [&](const HiveView& v) { return v.EnumSubKeys(path, names); });
}

Status Registry::EnumValues(Root root, std::string_view path, std::vector<NamedValue>* values) {
    values->clear();
    return Read(root, [&](const HiveView& v) { return v.EnumValues(path, values); });
}

Status Registry::CreateKey(Root root, std::string_view path) {
    return Edit(root, [&](HiveEdit& e) { return e.CreateKey(path); });
}

Status Registry::SetValue(Root root, std::string_view path, std::string_view name, const Value& value) {
    return Edit(root, [&](HiveEdit& e) { return e.SetValue(path, name, value); });
}

Status Registry::DeleteValue(Root root, std::string_view path, std::string_view name) {
    return Edit(root, [&](HiveEdit& e) { return e.DeleteValue(path, name); });
}

Status Registry::DeleteKeyTree(Root root, std::string_view path) {
    return Edit(root, [&](HiveEdit& e) { return e.DeleteKeyTree(path); });
}

std::string Registry::GetString(Root root, std::string_view path, std::string_view name,
                                std::string_view fallback) {
    Value v;
    if (GetValue(root, path, name, &v) == Status::Ok && v.IsText()) return v.bytes;
    return std::string(fallback);
}

std::uint32_t Registry::GetDword(Root root, std::string_view path, std::string_view name,
                                 std::uint32_t fallback) {
    Value v;
    if (GetValue(root, path, name, &v) == Status::Ok && v.type == ValueType::Dword) return v.dword;
    return fallback;
}

Status Registry::SetString(Root root, std::string_view path, std::string_view name, std::string_view text) {
    return SetValue(root, path, name, Value::String(std::string(text)));
}

Status Registry::SetDword(Root root, std::string_view path, std::string_view name, std::uint32_t number) {
    return SetValue(root, path, name, Value::Dword(number));
}

}  // namespace platform::registry
