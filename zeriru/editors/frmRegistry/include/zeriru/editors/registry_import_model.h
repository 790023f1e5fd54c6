// The import of registry values from the authoring machine: the dialog TfrmRegistryTreeDialog
// ("レジストリのインポート"), which lists the values of a key of the prefix's registry, and the
// key browser TRegBrowser with its form TReg_Form, a tree of the keys read as it is expanded.
#pragma once

#include "platform/registry.h"
#include "zeriru/editors/check_result.h"
#include "zeriru/editors/registry_item.h"

#include <string>
#include <vector>

namespace zeriru {

// A value the import offers, as the registry list stores it.
struct RegistryImportValue {
    std::string name;
    std::string value;  // text, decimal number, or "0A,FF,..."
    int type = registry_value_type::kString;
    bool operator==(const RegistryImportValue&) const = default;
};

// The string, expandable string, DWORD and binary values of a key (a binary value up to
// kBinaryValueLimit bytes); the values of other types are left out, and so are texts with a
// line break, which a line of the project cannot hold. A key that cannot be read gives none.
std::vector<RegistryImportValue> ReadImportValues(platform::registry::Registry& registry, std::string_view root,
                                                  std::string_view key);

class RegistryImportDialogModel {
public:
    explicit RegistryImportDialogModel(platform::registry::Registry& registry);

    static std::string Caption();  // "レジストリのインポート"
    // The columns of "値一覧(&L)": "値名", "値", "種類".
    static std::vector<std::string> ColumnCaptions();
    static std::string TypeText(int type);  // "REG_SZ", "REG_EXPAND_SZ", "REG_DWORD", "REG_BINARY"

    const std::string& root() const { return root_; }
    const std::string& key() const { return key_; }
    // Each change lists the values again.
    void SetRoot(std::string root);
    void SetKey(std::string key);
    const std::vector<RegistryImportValue>& values() const { return values_; }

    // OK with nothing listed: "入力されたキーには対象となる値が存在しません".
    CheckOutcome Ok() const;
    // The items of the listed values: root and key as chosen, the project-wide OS target, no
    // condition, processed at install.
    std::vector<RegistryItem> Items(const OsTarget& os) const;

private:
    void Refill();

    platform::registry::Registry& registry_;
    std::string root_ = "HKEY_CURRENT_USER";
    std::string key_;
    std::vector<RegistryImportValue> values_;
};

// The key browser: which root and key it starts from and ends on, and the tree's contents.
class RegBrowserModel {
public:
    explicit RegBrowserModel(platform::registry::Registry& registry);

    // Properties: the root key name, the key path below it, the form's caption.
    std::string Root = "HKEY_CURRENT_USER";
    std::string Section;
    std::string Caption;  // default "レジストリキーを選択して下さい"

    // The five root keys of the top node.
    static std::vector<std::string> RootKeys();
    // The sub-keys of a key, sorted as the registry lists them.
    std::vector<std::string> SubKeys(std::string_view root, std::string_view path) const;
    bool HasSubKeys(std::string_view root, std::string_view path) const;

    // Where the tree opens: the root and the keys of Section that exist, each matched without
    // regard to case and given in the registry's own spelling, down to the deepest one found.
    struct Location {
        std::string root;  // empty: Root names no root key
        std::vector<std::string> keys;
    };
    Location Locate() const;
    // OK works on a key below a root key only.
    static bool OkEnabled(const Location& node) { return !node.root.empty() && !node.keys.empty(); }
    // OK: Root and Section become the node's.
    void Choose(const Location& node);

private:
    platform::registry::Registry& registry_;
};

}  // namespace zeriru
