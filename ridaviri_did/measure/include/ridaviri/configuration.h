// The configuration file Zuzodavu.INI beside the program: settings and the configured channel
// table. The reader takes values by their position in the file, not by key name; the writer
// goes through the platform's INI writer with fixed section and key names.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/profile.h"
#include "ridaviri/monitor_data.h"

namespace ridaviri {

// The INI writer underneath (WritePrivateProfileString semantics: sets section/key to value,
// creating file, section or key as needed). Writes may be held back until Commit.
class ProfileWriter {
public:
    virtual ~ProfileWriter() = default;
    // false when the write failed or was refused.
    virtual bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                             const std::filesystem::path& file) = 0;
    // The writes to `file` that follow build it from nothing instead of changing it; the
    // file as it is stays whole until Commit replaces it in one step.
    virtual void StartAnew(const std::filesystem::path& file) = 0;
    // Makes the writes so far reach the file; false when that failed.
    virtual bool Commit() { return true; }
    // Forgets the writes not committed yet (after a failed write).
    virtual void Discard() {}
};

// The platform's profile writer, all keys of one file replaced in one step: a crash or a full
// disk leaves the earlier file whole, and the ~300 keys cost one flush to disk, not 300.
class PlatformProfileWriter : public ProfileWriter {
public:
    bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                     const std::filesystem::path& file) override;
    void StartAnew(const std::filesystem::path& file) override;
    bool Commit() override;
    void Discard() override;
    const std::string& Error() const { return error_; }

private:
    std::filesystem::path file_;
    std::unique_ptr<platform::profile::PrivateProfileBatch> batch_;
    // The text being built when the file is written anew.
    std::optional<std::string> anew_;
    std::string error_;
};

// Name of the file, and the name the search for it uses (name and extension, case ignored).
inline constexpr const char* kConfigurationFileName = "Zuzodavu.INI";

// The configuration file in the program's folder: an existing file whose name equals
// "Zuzodavu.ini" ignoring case, else programFolder / "Zuzodavu.INI". *exists tells which.
std::filesystem::path ConfigurationPath(const std::filesystem::path& programFolder, bool* exists = nullptr);

// Reads the file into data.settings, data.interfaceKind and data.channels (reset first). A
// missing file gives the defaults (SCALE "1", MAX "100", MINI "0", every record reset). A
// short or malformed file sets INI_INCOMPLETE; what was read so far stays. Finally every
// configured record gets the interval and precision model of the first record.
void ReadConfiguration(MonitorData& data, const std::filesystem::path& file);

// Writes settings and the 20 records (sections DATA, SENSOR1-SENSOR20). With INI_INCOMPLETE
// the file is rebuilt from nothing with INTERFACE_SELECT_TIMEOUT and SAVE_DATA_SIZE 0 and
// replaces the old one in one step (a crash before leaves the old one, never no file);
// an existing complete file keeps those two keys as they are. Stops at the first failed write
// (or a failed commit) and returns -1 (the caller then closes the devices and the main window); otherwise 0, and
// INI_INCOMPLETE is cleared.
int WriteConfiguration(MonitorData& data, const std::filesystem::path& programFolder, ProfileWriter& writer);

}  // namespace ridaviri
