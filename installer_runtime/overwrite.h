// A file item that meets a file of its name: by default a newer file stays - one with a higher
// version, or, where the two have no versions to compare, a later last-write time - unless the
// item ignores versions or dates. Other options save the new file under a name with the date
// and time of the installation, or keep the replaced file for the uninstall to put back.
#pragma once

#include <string>

namespace installer {

// File option bits about files that are there.
inline constexpr int kOptionIgnoreDate = 256;
inline constexpr int kOptionIgnoreVersion = 512;

// Whether the file at `target` is newer than `source` as far as the options look.
bool ExistingIsNewer(const std::string& source, const std::string& target, int options);

// A name beside `target` for the new file: its name with "_" and the date and time
// (yyyymmddhhmmss) before the extension, numbered when that is taken too.
std::string DatedName(const std::string& target);

// A name in `folder` for the copy of `target` an installation keeps (numbered when taken).
std::string BackupName(const std::string& folder, const std::string& target);

}  // namespace installer
