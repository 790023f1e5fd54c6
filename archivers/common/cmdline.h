// Command lines of the archiver entry points: elements separated by blanks, paths in double
// quotes (a doubled quote inside stands for one), switches beginning with '-', and response
// files "@path" whose lines hold more elements.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace archivers {

struct CommandLine {
    std::vector<std::string> switches;  // without the leading '-': "jm2", "ml:21", "+"
    std::vector<std::string> args;      // everything else, quotes removed, in order

    bool Has(std::string_view sw) const;
    // Value after a switch prefix ("jm" of "-jm2" gives "2"); nullopt when absent. The last
    // one given wins.
    std::optional<std::string> Value(std::string_view prefix) const;
};

// Response files are read through the Windows-path mapping. False and *error when a response
// file cannot be read or a quote is left open.
bool ParseCommandLine(std::string_view line, CommandLine* out, std::string* error);

// True for an element naming a folder: it ends with '\' or '/'.
bool IsFolderElement(std::string_view element);

}  // namespace archivers
