// Self-registering files (an .OCX, a .DLL that exports DllRegisterServer). A Windows library
// registers itself when it is loaded and its registration entry is called; this machine cannot
// load one. The registration is therefore made by the system folder's registration program
// REGSVR32.EXE when the machine has one it can run as a program ("/s" registers, "/u /s"
// unregisters, each waited for), and otherwise the file is installed unregistered and the
// installer says so. Type libraries (.TLB) have no registration program and stay unregistered.
#pragma once

#include "context.h"
#include "launch.h"

#include <optional>
#include <string>

namespace installer {

// Whether a file registers itself.
bool NeedsRegistration(const std::string& file);

// The registration program of this machine; nullopt when it has none it can run.
std::optional<std::string> RegistrationProgram(const Context& context);

// The start of the registration program that registers (or unregisters) a file.
Launch RegistrationLaunch(const std::string& program, const std::string& file, bool unregister);

}  // namespace installer
