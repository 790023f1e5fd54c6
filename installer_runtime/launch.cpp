#include "launch.h"

#include "shell_link.h"

#include "platform/shell.h"
#include "platform/sjis.h"
#include "platform/winpath.h"

#include <sys/stat.h>

#include <cstdlib>
#include <optional>

namespace installer {

namespace sh = platform::shell;
namespace sj = platform::sjis;
namespace wp = platform::winpath;

namespace {

// The show command in this process's environment while a program is started from it (the
// started program inherits it); the earlier value afterwards.
class ShowCommandInEnvironment {
public:
    explicit ShowCommandInEnvironment(std::uint32_t show) {
        if (const char* was = std::getenv(kShowCommandVariable)) earlier_ = was;
        ::setenv(kShowCommandVariable, std::to_string(show).c_str(), 1);
    }
    ~ShowCommandInEnvironment() {
        if (earlier_) ::setenv(kShowCommandVariable, earlier_->c_str(), 1);
        else ::unsetenv(kShowCommandVariable);
    }
    ShowCommandInEnvironment(const ShowCommandInEnvironment&) = delete;
    ShowCommandInEnvironment& operator=(const ShowCommandInEnvironment&) = delete;

private:
    std::optional<std::string> earlier_;
};

bool IsHostProgram(const std::filesystem::path& host) {
    struct stat st {};
    return ::stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0111) != 0;
}

// The program file itself with the parameters as its command line, in the folder; only a
// file this machine runs as a program starts.
sh::StartResult StartDirectly(const Launch& launch) {
    const auto program = wp::ToHostPath(launch.program);
    if (!program || !std::filesystem::exists(*program)) return {false, sh::kErrorFileNotFound, 0};
    if (!IsHostProgram(*program)) return {false, kErrorNotAProgram, 0};
    std::vector<std::string> argv{program->string()};
    for (const std::string& a : sh::SplitCommandLine(launch.arguments)) argv.push_back(sj::ToUtf8(a));
    std::string folder;
    if (!launch.folder.empty()) {
        const auto host = wp::ToHostPath(launch.folder);
        if (!host) return {false, sh::kErrorPathNotFound, 0};
        folder = host->string();
    }
    return sh::StartHostProcess(argv, folder, launch.wait);
}

}  // namespace

std::uint32_t ShowCommandOfWindow(int window) {
    return window == 1 ? kShowMinimized : window == 2 ? kShowMaximized : kShowNormal;
}

sh::StartResult Start(const Launch& launch) {
    const ShowCommandInEnvironment show(launch.showCommand);
    if (launch.direct) return StartDirectly(launch);
    return sh::RunProgram(launch.program, launch.arguments, launch.folder, launch.wait);
}

}  // namespace installer
