// The monitor without its window: the sensor check on the chosen interface, a measurement of
// a given number of samples at a given interval, the CSV log saved as the save command writes
// it, each sample's temperatures printed. For automation and the demonstration.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ridaviri/measurement_clock.h"
#include "ridaviri/monitor_data.h"
#include "ridaviri/transport_seams.h"

namespace ridaviri {

struct HeadlessOptions {
    bool help = false;
    bool headless = false;
    InterfaceKind interface = kInterfaceCan;
    uint32_t intervalMs = kDefaultIntervalMs;
    uint32_t samples = 10;
    std::filesystem::path csv;
};

// The command line (without the program name). nullopt with *error (UTF-8) when it is wrong.
std::optional<HeadlessOptions> ParseCommandLine(const std::vector<std::string>& args, std::string* error);

// The --help text (UTF-8).
std::string HelpText();

// What a headless run uses of the world; the program passes the real ones.
struct HeadlessEnvironment {
    CanLibrary& can;
    TransportTicks& ticks;
    MeasurementClock& clock;
    std::filesystem::path programFolder;  // host folder with Zuzodavu.INI
    std::ostream& out;                    // the samples (UTF-8)
    std::ostream& err;                    // the messages (UTF-8)
};

// Runs the check, the measurement and the save: 0 when all N samples were taken and saved,
// otherwise 1 (the messages shown were written to `err`).
int RunHeadless(const HeadlessOptions& options, HeadlessEnvironment& environment);

}  // namespace ridaviri
