// Every change an installation makes, written ahead to a journal on disk before it is made:
// a failure undoes everything done so far, and a later run undoes what a killed run left
// half done. The journal lives in a folder of its own (one per uninstall key) together with
// the copies of the files the installation replaced; committing removes both.
//
// Journal lines ("|"-separated, texts escaped as project text, Shift-JIS):
//   F|<file>|<copy>     a file is about to be written or removed; <copy> holds its old bytes
//                       (empty: there was no file)
//   D|<folder>          a folder is about to be made
//   M|<folder>|<moved>  a folder tree is about to be removed: it is moved to <moved> first
//   K|<root>|<key>      a registry key is about to be made
//   V|<root>|<key>|<name>|<old value>   a registry value is about to change ("-": none)
//   X|<root>|<key>      a registry key is about to be deleted (its values have V lines before)
//   E|<folder>          an empty folder is about to be removed
//   P|<program>|<arguments>|<folder>|<1: direct>   a program is about to change the machine;
//                       this one undoes it
// The first line, O|<uninstall record>, names the installation the journal belongs to. A line
// is on the disk before its change starts; undoing a change that never happened does nothing.
#pragma once

#include "launch.h"
#include "platform/registry.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace installer {

// A registry value as one text: its type number, ":" and its bytes in hexadecimal; "-" for
// no value.
std::string EncodeRegistryValue(const std::optional<platform::registry::Value>& value);
std::optional<platform::registry::Value> DecodeRegistryValue(std::string_view text);

// Whether a registry key exists and holds no sub-key and no value.
bool RegistryKeyIsEmpty(platform::registry::Registry& registry, platform::registry::Root root, const std::string& key);

// Called before every change with its running number (from 1); returning false makes the
// change fail as a failing disk would. Tests inject failures and kills with it.
using ChangeHook = std::function<bool(int change)>;

class Transaction {
public:
    // `folder`: the journal folder (Windows path) of this installation.
    Transaction(std::string folder, platform::registry::Registry& registry, ChangeHook hook = {});
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Whether a journal left by an earlier run is there.
    bool Pending() const;
    // Undoes an earlier run's journal and removes it. What could not be undone is listed.
    void Recover(std::vector<std::string>* leftovers);
    // Starts the journal of the installation whose uninstall record is `owner`. False with
    // *error when the folder cannot be made.
    bool Begin(std::string* error, std::string_view owner = {});
    // The uninstall record a journal folder's journal belongs to; empty when none.
    static std::string OwnerOf(const std::string& folder);

    // The changes. Each returns false when the change (or its journal line) failed; the
    // caller then rolls back.
    // Copies a file over or beside what is there; `attributes` as CopyFileKeepTime takes them.
    bool CopyFile(const std::string& source, const std::string& target, std::uint32_t attributes);
    bool WriteFile(const std::string& target, std::string_view bytes);
    bool DeleteFile(const std::string& path);
    // Makes the folder and every missing one above it.
    bool MakeFolder(const std::string& folder);
    bool RemoveEmptyFolder(const std::string& folder);
    bool RemoveFolderTree(const std::string& folder);
    // Makes the key and every missing one above it.
    bool MakeRegistryKey(platform::registry::Root root, const std::string& key);
    // Sets (a value) or deletes (nullopt) a registry value; the key is made when missing.
    bool SetRegistryValue(platform::registry::Root root, const std::string& key, const std::string& name,
                          const std::optional<platform::registry::Value>& value);
    // Deletes a registry key with its sub-keys and values.
    bool DeleteRegistryKey(platform::registry::Root root, const std::string& key);
    // Saves a copy of a file (an INI file) before a change that the platform makes in place.
    bool GuardFile(const std::string& path);
    // Runs a program that changes the machine (and is waited for); `undo` is run, waited for,
    // when the change is undone. False when `run` could not start or ended with a code other
    // than 0 (*exitCode: its code, -1 when it did not start).
    bool RunProgram(const Launch& run, const Launch& undo, int* exitCode = nullptr);

    // What this run made: folders (parents first) and registry keys (parents first).
    const std::vector<std::string>& madeFolders() const { return madeFolders_; }
    const std::vector<std::pair<platform::registry::Root, std::string>>& madeKeys() const { return madeKeys_; }

    // Undoes every change of this run, newest first, and removes the journal.
    void Rollback(std::vector<std::string>* leftovers);
    // Keeps the changes: removes the journal and the copies. False when the journal could
    // not be removed (the changes stay; a later run would undo them).
    bool Commit();

private:
    bool Log(const std::vector<std::string>& fields);
    // Makes the file's folder, saves a copy of a file that is there and journals the change.
    bool PrepareFile(const std::string& target);
    std::optional<std::string> SaveCopy(const std::string& path);
    void Undo(const std::string& line, std::vector<std::string>* leftovers);
    void UndoAll(std::vector<std::string>* leftovers);
    std::string JournalPath() const;

    std::string folder_;
    platform::registry::Registry& registry_;
    ChangeHook hook_;
    int fd_ = -1;
    int changes_ = 0;
    int copies_ = 0;
    std::vector<std::string> guarded_;
    std::vector<std::string> madeFolders_;
    std::vector<std::pair<platform::registry::Root, std::string>> madeKeys_;
};

}  // namespace installer
