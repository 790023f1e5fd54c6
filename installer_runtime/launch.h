// Starting a program of the installation (a program item, a registration program, another
// application's uninstaller): a direct start runs the program file itself as a new process; a
// shell start asks the shell to open it, so that a document opens with its application. The
// window the item asks for reaches the program as its show command: this machine has no
// start-up window state, so it is handed over in the environment variable
// ZU_VAZUZA_SHOW_COMMAND (1 normal, 3 maximized, 7 minimized), for programs that honour it.
#pragma once

#include "platform/process.h"

#include <cstdint>
#include <string>

namespace installer {

// The environment variable that carries the show command.
inline constexpr const char* kShowCommandVariable = "ZU_VAZUZA_SHOW_COMMAND";
// The error of a direct start of a file that is no program this machine can run.
inline constexpr int kErrorNotAProgram = 193;

struct Launch {
    std::string program;    // Windows path
    std::string arguments;  // the command line's parameters, defines already expanded
    std::string folder;     // working folder (Windows path)
    bool direct = false;    // the program file itself, not through the shell
    std::uint32_t showCommand = 1;
    bool wait = false;
};

platform::shell::StartResult Start(const Launch& launch);

// The show command of an item's window field: 0 normal, 1 minimized, 2 maximized.
std::uint32_t ShowCommandOfWindow(int window);

}  // namespace installer
