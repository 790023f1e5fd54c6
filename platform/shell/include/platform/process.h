// Starting programs: Windows command-line rules, spawn, wait while a user interface keeps
// working, and the shell's error codes.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::shell {

// Error codes the shell reports when it cannot start a program.
inline constexpr int kErrorFileNotFound = 2;
inline constexpr int kErrorPathNotFound = 3;
inline constexpr int kErrorAccessDenied = 5;
inline constexpr int kErrorOutOfMemory = 8;
inline constexpr int kErrorDllNotFound = 32;

// Poll step while waiting for a program to end, ms.
inline constexpr unsigned kWaitPollMs = 50;

// Splits a command line the way Windows programs receive it: blanks separate arguments,
// double quotes group, 2n backslashes before a quote give n backslashes, 2n+1 give n and a
// literal quote, "" inside quotes is one quote. Works on Shift-JIS text character-wise.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);
// Quotes one argument so that SplitCommandLine gives it back unchanged.
std::string QuoteArgument(std::string_view argument);

struct StartResult {
    bool started = false;
    int error = 0;     // one of the kError codes when not started
    int exitCode = 0;  // when waited for; 128 + signal number for a killed program
};

// Starts the host program argv[0] (UTF-8 host paths and arguments) in `hostFolder` (empty:
// the current folder). With `wait`, calls `onPoll` every kWaitPollMs until it ends.
StartResult StartHostProcess(const std::vector<std::string>& argv, const std::string& hostFolder,
                             bool wait, const std::function<void()>& onPoll = {});

}  // namespace platform::shell
