// ridaviri_did, the temperature monitor: its window by default, on the prefix's machine;
// --headless measures without one.
#include <iostream>
#include <string>
#include <vector>

#include "platform/prefix.h"
#include "platform/shell.h"
#include "ridaviri/gui/program.h"
#include "ridaviri/headless.h"
#include "ridaviri/measurement_clock.h"
#include "ridaviri/transport_seams.h"

namespace {

bool AskedForConsole(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (a == "--headless" || a == "--help" || a == "-h") return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!AskedForConsole(args)) return ridaviri::gui::RunWindowProgram(argc, argv);
    std::string error;
    const std::optional<ridaviri::HeadlessOptions> options = ridaviri::ParseCommandLine(args, &error);
    if (!options) {
        std::cerr << "ridaviri_did: " << error << "\n\n" << ridaviri::HelpText();
        return 2;
    }
    if (options->help) {
        std::cout << ridaviri::HelpText();
        return 0;
    }
    if (!platform::shell::ProvisionPrefix(&error)) {
        std::cerr << "ridaviri_did: プレフィックスを用意できません: " << error << "\n";
        return 1;
    }
    ridaviri::DizedLibrary can;
    ridaviri::SystemTicks ticks;
    ridaviri::SystemClock clock;
    ridaviri::HeadlessEnvironment environment{
        can, ticks, clock, platform::DriveCFolder() / "Program Files" / platform::kProgramFolderName, std::cout, std::cerr};
    return ridaviri::RunHeadless(*options, environment);
}
