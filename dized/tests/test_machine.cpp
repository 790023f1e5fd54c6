// Every dized test process runs on its own machine: test_machine.ini (fast mode; one FIFO
// board with two channels on CAN1 with two sensor units, one basic board alone on CAN2) copied
// to a fresh folder and named by PLATFORM_MACHINE before the first device call boots it.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::filesystem::path gFolder;

void RemoveFolder() {
    std::error_code ec;
    std::filesystem::remove_all(gFolder, ec);
}

struct TestMachine {
    TestMachine() {
        gFolder = std::filesystem::temp_directory_path() / ("dized-test-" + std::to_string(::getpid()));
        std::filesystem::remove_all(gFolder);
        std::filesystem::create_directories(gFolder / "prefix");
        std::filesystem::copy_file(DIZED_TEST_MACHINE, gFolder / "machine.ini");
        ::setenv("PLATFORM_ROOT", (gFolder / "prefix").c_str(), 1);
        ::setenv("PLATFORM_MACHINE", (gFolder / "machine.ini").c_str(), 1);
        // Registered before the machine boots, so it runs after the machine has shut down.
        std::atexit(RemoveFolder);
    }
};
TestMachine gMachine;

}  // namespace
