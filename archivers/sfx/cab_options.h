// Options a CAB self-extractor carries: where it extracts, what it runs, whether it asks for
// the folder and whether it removes the extracted files after the program ended.
#pragma once

#include <string>

namespace archivers::sfx {

struct CabSfxOptions {
    std::string extractDir;      // Shift-JIS; "%temp%" stands for the user's temporary folder
    std::string command;         // program in the extraction folder; empty: none
    bool askFolder = false;      // ask for the folder before extracting
    bool deleteAfterRun = false; // remove the extracted files once the program ended
};

// Options of a new self-extractor for the cabinet of that name (stem, Shift-JIS): extract to
// "%temp%\<stem>\", run nothing, do not ask, keep the files.
CabSfxOptions DefaultCabSfxOptions(const std::string& stem);

std::string EncodeCabSfxOptions(const CabSfxOptions& o);
CabSfxOptions DecodeCabSfxOptions(const std::string& text);

}  // namespace archivers::sfx
