// What one build knows between its steps: the request, its folders, what it read from the
// project, and what it has staged for the installer's data file.
#pragma once

#include "zeriru/build_installer.h"
#include "zeriru/ini_document.h"

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace zeriru {

// File items at most read from a project.
inline constexpr int kMaxFileItems = 32768;

// The target of a file item as the installer sees it: define\subfolder\name (decoded).
std::string ItemTarget(std::string_view record);

struct TBuilder::State {
    BuildRequest request;
    bool copyMode = false;

    // Windows paths without a trailing "\": the output folder; the work folder of archive
    // builds; where INSTALL.EXE and INSTALL.DAT go; where the files to install go.
    std::string out;
    std::string work;
    std::string runtime;
    std::string data;
    std::string installDat;

    // Read from the project.
    TIniDocument project;
    std::string itemsSection;
    std::string softName;
    std::string installerTitle;
    std::string logoFile;
    std::string copyright;
    bool logoEnabled = false;
    bool panel10 = true;
    bool useUniqueKey = false;
    bool uninstallEnabled = true;
    int compLevel = 2;
    int infoFileMethod = 0;
    std::vector<std::string> items;  // the file list, records as stored

    // The installer's data file while the files are staged, and the item records that staging
    // rewrote, in list order: only these reach INSTALL.DAT.
    TIniDocument dat;
    std::vector<std::string> staged;
    // Names taken in each staging folder (folded), read from the disk once per folder.
    std::unordered_map<std::string, std::unordered_set<std::string>> taken;
};

}  // namespace zeriru
