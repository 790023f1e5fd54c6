// The steps of an uninstallation, each through the uninstallation's journal: the files and the
// shortcuts the installation made, the registry values and INI entries it changed (restored)
// together with those the project writes at uninstall time, the project's delete lists (what
// the application made since) and keep lists, and at last the keys and folders it made, the
// record and the uninstaller. Each step is false when a change failed (already told); the
// caller then undoes all of them.
#pragma once

#include "context.h"
#include "record.h"
#include "transaction.h"

#include <string>
#include <vector>

namespace installer {

class Remover {
public:
    Remover(const Context& context, const InstallRecord& record, Transaction& changes);

    bool Files();
    bool Shortcuts();
    bool Registry();
    bool Ini();
    bool DeleteList();
    bool DeleteRegistryList();
    // The keys and folders the installation made (when empty), the record at `recordPath` and
    // the uninstaller (unless kept, or another installation still names it).
    bool Finish(const std::string& recordPath, bool keepUninstaller);

private:
    bool RemoveInstalled(char kind);
    bool RemoveInstalledFile(const InstalledFile& file);
    bool Unregister(const InstalledFile& file);
    bool RemoveFile(const std::string& path);
    bool RemoveFolderIfEmpty(const std::string& folder);
    bool RemoveKeyIfEmpty(platform::registry::Root root, const std::string& key);
    bool RemoveEmptyParents(platform::registry::Root root, std::string key);
    bool RestoreValues();
    bool RestoreIniEntries();
    bool AskSettings();
    bool IsSystemFile(const std::string& path) const;
    bool Kept(const std::string& path) const;
    bool KeptValue(platform::registry::Root root, const std::string& key, const std::string* name) const;
    bool KeptKey(platform::registry::Root root, const std::string& key) const { return KeptValue(root, key, nullptr); }
    bool Failed(const std::string& what) const;

    const Context& c_;
    const InstallRecord& record_;
    Transaction& changes_;
    std::vector<std::string> keepFiles_, deleteFiles_, keepRegistry_, deleteRegistry_;
    bool settingsAsked_ = false;
    bool settingsOk_ = true;
};

}  // namespace installer
