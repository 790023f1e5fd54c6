#include "self_registration.h"

#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winpath.h"
#include "zeriru/file_version.h"

#include <unistd.h>

namespace installer {

namespace wp = platform::winpath;
namespace sj = platform::sjis;

namespace {

constexpr const char* kRegistrationProgram = "REGSVR32.EXE";

}  // namespace

bool NeedsRegistration(const std::string& file) {
    return zeriru::IsSelfRegistering(file) && !sj::EqualsNoCase(wp::ExtensionOf(file), ".TLB");
}

std::optional<std::string> RegistrationProgram(const Context& context) {
    const std::string program = wp::JoinPath(context.machine.SystemFolder(), kRegistrationProgram);
    const auto host = wp::ToHostPath(program);
    if (!host || !std::filesystem::is_regular_file(*host) || ::access(host->c_str(), X_OK) != 0) return std::nullopt;
    return program;
}

Launch RegistrationLaunch(const std::string& program, const std::string& file, bool unregister) {
    Launch launch;
    launch.program = program;
    launch.arguments = std::string(unregister ? "/u " : "") + "/s \"" + file + "\"";
    launch.folder = wp::FolderOf(program);
    launch.direct = true;
    launch.wait = true;
    return launch;
}

}  // namespace installer
