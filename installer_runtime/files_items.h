// The file list: files to copy, folders to make, files and folders to delete, and the
// component sections it includes.
#pragma once

#include "context.h"
#include "record.h"
#include "transaction.h"

#include <cstdint>
#include <string>
#include <vector>

namespace installer {

// File option bits (the date and version bits are in overwrite.h).
inline constexpr int kOptionAskOverwrite = 1;
inline constexpr int kOptionSelfRegister = 2;
inline constexpr int kOptionShared = 4;
inline constexpr int kOptionSkipExisting = 8;
inline constexpr int kOptionDatedName = 16;
inline constexpr int kOptionDoNotCopy = 32;
inline constexpr int kOptionAskAtUninstall = 64;
inline constexpr int kOptionBackup = 128;

struct FileStep {
    int kind = kKindFile;          // the item kind: copy, make folder, delete file / empty folder / tree
    std::string source;            // the staged file (copy)
    std::string target;            // the file or folder
    int options = 0;               // file option bits
    std::uint32_t attributes = 0;  // item attribute bits: 1 archive, 2 read-only, 4 hidden, 8 system
};

// Every enabled item for this machine (OS target and condition), the components selected by
// default included. Staged files lie in <runtime>\<InstallSource>\<define folder name> when
// [Project] InstallSource is present (a folder build), else beside the data file.
std::vector<FileStep> PlanFiles(const Context& context, Problems& problems);

// What the copies need of the installation around them.
struct CopySetting {
    std::string backupFolder;                // where replaced files are kept for the uninstall; empty: nowhere
    const InstallRecord* earlier = nullptr;  // an earlier installation of the same key
};

// Copies the files (registering those that register themselves) and makes the folders
// (`deletions` false), or deletes what the delete items name (true). False when a step
// failed (already told).
bool RunFileSteps(const std::vector<FileStep>& steps, bool deletions, const CopySetting& setting,
                  const Context& context, Transaction& changes, InstallRecord& record);

}  // namespace installer
