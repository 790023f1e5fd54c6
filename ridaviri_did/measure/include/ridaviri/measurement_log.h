// CSV measurement logs: a header block with the start date and time, interval, precision,
// memo and number of samples, a column line, and one line per sample with the temperatures of
// the 20 channels. Shift-JIS, lines end with a line feed alone.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "ridaviri/message_function.h"
#include "ridaviri/monitor_data.h"

namespace ridaviri {

// The name the save dialog returned, with ".csv" appended when it contains none anywhere
// ("run1" -> "run1.csv"; "run1.csv.bak" stays as it is). Shift-JIS.
std::string CsvFileName(std::string_view chosen);

// Value in milliseconds of a start-time text "h:m:s:ms": at most 13 characters, only digits
// and ":", at most 3 ":", 1-3 digits per group. nullopt when the text fails the check.
std::optional<uint64_t> StartTimeMilliseconds(std::string_view text);

// "%02u:%02u:%02u:%03u" of a time in ms since midnight; hours go on past 24.
std::string SampleTimeText(uint64_t milliseconds);

// The log folder "log" inside the program's folder, created when missing.
std::filesystem::path LogFolder(const std::filesystem::path& programFolder);

// The whole text of the log of `data`: the header from the start time, the interval and the
// precision model of the first channel record and the kept memo (while a saved file is shown,
// the header of that file), then sample 0 to sample index - 1. Fills data.logHeader.
// nullopt when the start-time text fails its check.
std::optional<std::string> BuildMeasurementLog(MonitorData& data);

// The file a save replaces for `file`: the path itself when it names a regular file or
// nothing, a symbolic link followed to its target; nullopt when that is a device, a FIFO, a
// folder or a link loop.
std::optional<std::filesystem::path> SaveTarget(const std::filesystem::path& file);

// Saves the log to `file` (a host path, name already through CsvFileName), replacing the file
// (through SaveTarget) as a whole so that a failed write leaves any earlier file intact. Clears
// UNSAVED. On failure (a target that is no regular file included) message 31 and -1.
int SaveMeasurementLog(MonitorData& data, const std::filesystem::path& file, MessageFunction& messages);

// Before data are dropped (start, open, sensor check): with UNSAVED set, question 115; yes runs
// `save`, no clears UNSAVED. Returns the result of `save`, or 0.
int AskToSaveUnsaved(MonitorData& data, MessageFunction& messages, const std::function<int()>& save);

// What opening does before its file dialog: the sample buffer cleared, the channel table
// backed up.
void PrepareOpen(MonitorData& data);

// Reads a log written by the monitor into the sample buffer and shows it (mode 4): the found
// table takes over channel number and measure switch of the channel table, the channel table
// becomes channels 1-20, all measured; displayed interval and sample index from the file.
// A file that does not start with the header line: message 30 and -1, nothing loaded. A file
// that cannot be read: message 17 and -1.
int OpenMeasurementLog(MonitorData& data, const std::filesystem::path& file, MessageFunction& messages);

}  // namespace ridaviri
