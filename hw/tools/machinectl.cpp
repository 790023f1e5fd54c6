// machinectl: lists a machine and plugs or unplugs its devices while it runs.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <string>

#include "hw/machine.h"

namespace {

const char kUsage[] =
    "usage: machinectl [--pid PID | --socket PATH] COMMAND\n"
    "       machinectl --file MACHINE-FILE list\n"
    "commands (sent to the machine running in process PID):\n"
    "  list                    devices, one a line, with their state\n"
    "  plug NAME               arrival of the device of section [NAME]\n"
    "  unplug NAME             surprise removal of that device\n"
    "  fault NAME none|noanswer|baddata|busy\n"
    "  profile NAME PROFILE    e.g. constant:25, ramp:20,0.5, sine:25,2,60\n"
    "  event NAME              board event input of a PCI CAN board\n"
    "  errors BUS COUNT        destroy the next COUNT frames on a CAN bus\n"
    "  fast 0|1                fast mode of every bus\n"
    "examples:\n"
    "  machinectl --file share/zuzoruve/machines/default.ini list\n"
    "  machinectl --pid 4242 unplug UsbSensor 2\n"
    "  machinectl --pid 4242 fault CanSensor 1 baddata\n";

// Longest command sent, bytes (the machine refuses longer lines).
constexpr size_t kMaxCommand = 1000;

int Fail(const std::string& what) {
    std::cerr << "machinectl: " << what << "\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    std::string socket_path, file;
    int i = 1;
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if ((a == "--pid" || a == "--socket" || a == "--file") && i + 1 < argc) {
            std::string v = argv[++i];
            if (a == "--pid") {
                char* end = nullptr;
                long pid = std::strtol(v.c_str(), &end, 10);
                if (*end || pid <= 0) return Fail("bad process id: " + v);
                socket_path = hw::ControlSocketPath(pid).string();
            } else if (a == "--socket") {
                socket_path = v;
            } else {
                file = v;
            }
        } else if (a == "-h" || a == "--help") {
            std::cout << kUsage;
            return 0;
        } else {
            break;
        }
    }
    std::string command;
    for (; i < argc; ++i) command += (command.empty() ? "" : " ") + std::string(argv[i]);
    if (command.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    if (command.size() > kMaxCommand) return Fail("command too long");
    if (!file.empty()) {
        if (command != "list") return Fail("only list works on a machine file");
        std::string error;
        auto m = hw::Machine::Load(file, std::make_shared<hw::ManualClock>(), &error);
        if (!m) return Fail(error);
        std::cout << m->Describe();
        return 0;
    }
    if (socket_path.empty()) return Fail("which machine? give --pid or --socket");
    std::string answer;
    std::string error;
    if (!hw::SendControlCommand(socket_path, command, &answer, &error)) return Fail(error);
    if (answer.rfind("ok\n", 0) == 0) {
        std::cout << answer.substr(3);
        return 0;
    }
    std::cerr << "machinectl: " << (answer.empty() ? "no answer\n" : answer);
    return 1;
}
