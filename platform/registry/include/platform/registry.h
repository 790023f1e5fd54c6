// The registry: five hives kept as Shift-JIS text files in one host folder (the prefix's
// `registry/`), one file per root key. The file format is described in README.md beside the
// sources. Every name and every text is a Shift-JIS byte string.
//
// Keys are addressed by root and path: sub-key names joined by '\' ("Software\Zuzoruve"),
// split character-wise so that a trail byte 0x5C (表, ソ) stays inside its name. The empty
// path is the root key itself; one trailing '\' is accepted; a leading '\', an empty name
// between two separators or a name longer than 255 bytes is `InvalidName`. Key and value
// names ignore the case of single-byte letters and keep the spelling they were created with.
// The empty value name is the key's default value.
//
// Order: sub-keys enumerate sorted by their upper-case names (byte order), values in the order
// they were first set.
//
// Several processes and threads may use one hive folder at once. A change takes the hive's lock
// file (flock), reads the hive afresh, applies the change and replaces the file atomically, so
// no update is lost and no reader ever sees half a hive. Readers take no lock; they keep the
// last parsed hive and reuse it while the file is unchanged.
//
// A hive that is missing (once the folder has been provisioned) or damaged is reported as
// such, and nothing is ever written over it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::registry {

enum class Root { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };
inline constexpr Root kAllRoots[] = {Root::ClassesRoot, Root::CurrentUser, Root::LocalMachine,
                                     Root::Users, Root::CurrentConfig};

// "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", ... (also the hive file's base name); "" for a
// value outside the enum (every operation on such a root is InvalidName).
const char* RootName(Root root);
// The full name or the short form (HKCR, HKCU, HKLM, HKU, HKCC), ignoring case; nullopt for
// anything else.
std::optional<Root> RootFromName(std::string_view name);

enum class Status {
    Ok,
    NotFound,     // the key or the value does not exist
    InvalidName,  // a key path or name that cannot be stored
    HiveMissing,  // the hive file (or the hive folder) does not exist
    Damaged,      // the hive file exists but is not a readable hive
    IoError,      // a system call failed (permissions, disk full, ...)
};
const char* StatusName(Status status);

// Windows' type numbers, so that types the suite does not interpret survive as raw bytes.
enum class ValueType : std::uint32_t {
    None = 0,
    Sz = 1,
    ExpandSz = 2,
    Binary = 3,
    Dword = 4,
    MultiSz = 7,
};

struct Value {
    ValueType type = ValueType::None;
    // Sz and ExpandSz: the text without a terminating NUL. Binary, None and any other type:
    // the raw bytes.
    std::string bytes;
    std::uint32_t dword = 0;           // Dword
    std::vector<std::string> strings;  // MultiSz (empty strings allowed)

    static Value String(std::string text);
    static Value ExpandString(std::string text);
    static Value Dword(std::uint32_t number);
    static Value Binary(std::string data);
    static Value MultiString(std::vector<std::string> texts);
    static Value Raw(ValueType type, std::string data);

    bool IsText() const { return type == ValueType::Sz || type == ValueType::ExpandSz; }
    bool operator==(const Value&) const = default;
};

struct NamedValue {
    std::string name;
    Value value;
    bool operator==(const NamedValue&) const = default;
};

namespace detail {
struct KeyNode;
}

// Read access to one parsed hive; also the base of a change (HiveEdit).
class HiveView {
public:
    explicit HiveView(const detail::KeyNode& root) : root_(&root) {}

    Status KeyExists(std::string_view path) const;
    Status GetValue(std::string_view path, std::string_view name, Value* out) const;
    Status EnumSubKeys(std::string_view path, std::vector<std::string>* names) const;
    Status EnumValues(std::string_view path, std::vector<NamedValue>* values) const;

protected:
    const detail::KeyNode* root_;
};

// A change to one hive, applied as a whole by Registry::Edit.
class HiveEdit : public HiveView {
public:
    explicit HiveEdit(detail::KeyNode& root) : HiveView(root), mutableRoot_(&root) {}

    // Creates the key and every missing key above it.
    Status CreateKey(std::string_view path);
    // Creates the key when missing, then sets the value (keeping an existing value's place
    // and the spelling of its name).
    Status SetValue(std::string_view path, std::string_view name, const Value& value);
    Status DeleteValue(std::string_view path, std::string_view name);
    // Deletes the key with all its sub-keys and values. For the root key (empty path) every
    // sub-key and value is deleted and the root itself stays.
    Status DeleteKeyTree(std::string_view path);

    bool changed() const { return changed_; }

private:
    detail::KeyNode* mutableRoot_;
    bool changed_ = false;
};

class Registry {
public:
    // The hives in `folder`; by default the prefix's registry folder.
    explicit Registry(std::filesystem::path folder = DefaultFolder());
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    static std::filesystem::path DefaultFolder();
    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path HivePath(Root root) const;

    // Creates the folder and the five empty hives when no hive file exists yet. Ok when it
    // created them or all five already exist; HiveMissing (nothing created) when only some
    // exist, since the others were lost rather than never made.
    Status ProvisionHives();

    Status KeyExists(Root root, std::string_view path);
    Status GetValue(Root root, std::string_view path, std::string_view name, Value* out);
    Status EnumSubKeys(Root root, std::string_view path, std::vector<std::string>* names);
    Status EnumValues(Root root, std::string_view path, std::vector<NamedValue>* values);

    Status CreateKey(Root root, std::string_view path);
    Status SetValue(Root root, std::string_view path, std::string_view name, const Value& value);
    Status DeleteValue(Root root, std::string_view path, std::string_view name);
    Status DeleteKeyTree(Root root, std::string_view path);

    // The text of an Sz or ExpandSz value; `fallback` when the hive, key or value is missing
    // or the value has another type.
    std::string GetString(Root root, std::string_view path, std::string_view name,
                          std::string_view fallback = {});
    // A Dword value; `fallback` as above.
    std::uint32_t GetDword(Root root, std::string_view path, std::string_view name,
                           std::uint32_t fallback = 0);
    Status SetString(Root root, std::string_view path, std::string_view name, std::string_view text);
    Status SetDword(Root root, std::string_view path, std::string_view name, std::uint32_t number);

    // Applies several changes to one hive as one update: `change` runs on the freshly read
    // hive under the hive's lock; when it returns Ok and changed something, the hive is
    // written. Any other status is returned and nothing is written. `change` must not call
    // back into a Registry for the same hive (it would wait on its own lock).
    Status Edit(Root root, const std::function<Status(HiveEdit&)>& change);
    // Runs `query` on the current state of a hive (no lock taken).
    Status Read(Root root, const std::function<Status(const HiveView&)>& query);

    // What went wrong in the last failed call of this thread (file and reason), for logs.
    static const std::string& LastErrorDetail();

private:
    struct Cached;
    Status Snapshot(Root root, std::shared_ptr<const detail::KeyNode>* out);

    std::filesystem::path folder_;
    std::mutex cacheMutex_;
    std::unique_ptr<Cached> cache_[5];
};

}  // namespace platform::registry
