#include "zeriru/file_services.h"

#include "platform/pathtext.h"
#include "platform/process.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "zeriru/system_services.h"
#include "zeriru/ui.h"

#include <filesystem>

namespace zeriru {

namespace wp = platform::winpath;
namespace sjis = platform::sjis;

int DriveOfPath(std::string_view path) { return wp::DriveNumber(path); }

std::uint64_t FreeSpaceOfDrive(std::string_view path) {
    auto space = wp::GetDiskFreeSpace(path);
    return space ? space->freeToCaller : 0;
}

std::uint64_t FileSize(std::string_view path) { return wp::GetFileSize(path).value_or(0); }

bool HasAttribute(std::string_view path, std::uint32_t mask) {
    std::uint32_t attributes = wp::GetFileAttributes(path);
    return attributes != wp::kInvalidAttributes && (attributes & mask) != 0;
}

bool CopyFileKeepTime(std::string_view source, std::string_view target, std::uint32_t attributes,
                      const MessagePump& pump) {
    wp::CopyOptions options;
    options.keepTime = true;
    options.keepAttributes = attributes == kKeepSourceAttributes;
    options.blockSize = kCopyBlockSize;
    options.progress = [&](std::uint64_t, std::uint64_t) {
        if (pump) pump();
        return true;
    };
    if (!wp::CopyFile(source, target, options)) return false;
    if (attributes != kKeepSourceAttributes) {
        // NORMAL clears every flag; the copy then has exactly the flags asked for.
        wp::SetFileAttributes(target, attributes == 0 ? wp::kAttrNormal : attributes);
    }
    return true;
}

bool CopyFileInto(std::string_view source, std::string_view target, const MessagePump& pump) {
    std::string destination(target);
    if (wp::DirectoryExists(target)) destination = wp::JoinPath(target, wp::FileNameOf(source));
    return CopyFileKeepTime(source, destination, kKeepSourceAttributes, pump);
}

namespace {

bool IsHostLink(std::string_view path) {
    auto host = wp::ToHostPath(path);
    std::error_code ec;
    return host && std::filesystem::is_symlink(*host, ec);
}

}  // namespace

bool CopyFolderTree(std::string_view source, std::string_view target, const MessagePump& pump) {
    if (!wp::DirectoryExists(source) || IsHostLink(source)) return false;
    if (!wp::CreateDirectoryTree(target)) return false;
    bool ok = true;
    for (const wp::FindData& entry : wp::FindFiles(wp::JoinPath(source, "*"))) {
        const std::string from = wp::JoinPath(source, entry.name);
        const std::string to = wp::JoinPath(target, entry.name);
        if (entry.attributes & wp::kAttrDirectory) {
            if (IsHostLink(from)) continue;  // a link could lead back up the tree
            ok = CopyFolderTree(from, to, pump) && ok;
        } else {
            ok = CopyFileKeepTime(from, to, kKeepSourceAttributes, pump) && ok;
        }
        if (pump) pump();
    }
    return ok;
}

bool IsProtectedFolder(std::string_view path, int mask, TBuildMachine& machine) {
    std::string bare = sjis::ToUpper(wp::RemoveBackslash(path));
    // A drive root given as "C:\" becomes "C:"; "\\" alone stays.
    auto is = [&](std::string_view folder) {
        return !folder.empty() && bare == sjis::ToUpper(wp::RemoveBackslash(folder));
    };
    if (mask & 1) {
        for (std::string_view drive : DriveTable()) {
            if (is(drive)) return true;
        }
    }
    if (mask & 2) {
        if (is(machine.ProgramFilesFolder()) || is(machine.WindowsFolder()) || is(machine.SystemFolder())) return true;
    }
    if (mask & 4) {
        for (int kind = 0; kind <= 9; ++kind) {
            if (is(machine.ShellFolder(kind, false)) || is(machine.ShellFolder(kind, true))) return true;
        }
    }
    return false;
}

namespace {

void DeleteBelow(std::string_view folder, const MessagePump& pump) {
    for (const wp::FindData& entry : wp::FindFiles(wp::JoinPath(folder, "*"))) {
        const std::string path = wp::JoinPath(folder, entry.name);
        if (IsHostLink(path)) {
            auto host = wp::ToHostPath(path);
            std::error_code ec;
            if (host) std::filesystem::remove(*host, ec);  // the link only
        } else if (entry.attributes & wp::kAttrDirectory) {
            DeleteBelow(path, pump);
            wp::SetFileAttributes(path, wp::kAttrNormal);
            wp::RemoveDirectory(path);
        } else {
            wp::SetFileAttributes(path, wp::kAttrNormal);
            wp::DeleteFile(path);
        }
        if (pump) pump();
    }
}

}  // namespace

bool DeleteFolderTree(std::string_view folder, TBuildMachine& machine, const MessagePump& pump) {
    if (IsProtectedFolder(folder, 255, machine)) return false;
    if (!wp::DirectoryExists(folder)) return false;
    if (IsHostLink(folder)) return false;
    DeleteBelow(folder, pump);
    wp::SetFileAttributes(folder, wp::kAttrNormal);
    wp::RemoveDirectory(folder);
    return !wp::FileExists(folder);
}

std::string UniqueFileName(std::string_view folder, std::string_view name) {
    return UniqueName(name, [&](std::string_view candidate) { return wp::FileExists(wp::JoinPath(folder, candidate)); });
}

std::string ShellErrorText(int code) {
    switch (code) {
        case platform::shell::kErrorFileNotFound: return "File not found.";
        case platform::shell::kErrorPathNotFound: return "Path not found.";
        case platform::shell::kErrorAccessDenied: return "Access denied.";
        case platform::shell::kErrorOutOfMemory: return "Out of memory.";
        case platform::shell::kErrorDllNotFound: return "Dynamic-link library not found.";
        default: return {};
    }
}

namespace {

// Host path of a Windows path, or of a host path given as it is.
std::string HostProgram(std::string_view windowsOrHost) {
    auto host = wp::ToHostPath(windowsOrHost);
    return host ? host->string() : sjis::ToUtf8(windowsOrHost);
}

// Arguments for a host program: the Windows command-line rules, each argument as UTF-8.
std::vector<std::string> HostArguments(std::string_view parameters) {
    std::vector<std::string> args;
    for (const std::string& a : platform::shell::SplitCommandLine(parameters)) args.push_back(sjis::ToUtf8(a));
    return args;
}

bool IsHostExecutable(const std::string& host) {
    std::error_code ec;
    auto status = std::filesystem::status(host, ec);
    return !ec && std::filesystem::is_regular_file(status) &&
           (status.permissions() & std::filesystem::perms::owner_exec) != std::filesystem::perms::none;
}

}  // namespace

bool OpenWithShell(std::string_view file, std::string_view parameters, std::string_view folder) {
    std::string target(file);
    const bool url = file.find("://") != std::string_view::npos;
    if (!url && !wp::IsAbsolutePath(file) && !folder.empty()) target = wp::JoinPath(folder, file);
    const std::string host = url ? std::string(file) : HostProgram(target);
    std::vector<std::string> argv;
    if (!url && IsHostExecutable(host)) {
        argv.push_back(host);
        for (std::string& a : HostArguments(parameters)) argv.push_back(std::move(a));
    } else {
        argv = {"xdg-open", host};
    }
    auto hostFolder = folder.empty() ? std::optional<std::filesystem::path>() : wp::ToHostPath(folder);
    return platform::shell::StartHostProcess(argv, hostFolder ? hostFolder->string() : std::string(), false).started;
}

bool RunAndWait(std::string_view program, std::string_view parameters, std::string_view folder, bool direct, Ui& ui,
                int* exitCode) {
    std::vector<std::string> argv;
    if (direct) {
        std::string commandLine = wp::AddBackslash(folder) + std::string(program);
        if (!parameters.empty()) commandLine += " " + std::string(parameters);
        std::vector<std::string> words = platform::shell::SplitCommandLine(commandLine);
        if (!words.empty()) {
            argv.push_back(HostProgram(words[0]));
            for (std::size_t i = 1; i < words.size(); ++i) argv.push_back(sjis::ToUtf8(words[i]));
        }
    } else {
        std::string path(program);
        if (!wp::IsAbsolutePath(program) && !folder.empty()) path = wp::JoinPath(folder, program);
        const std::string host = HostProgram(path);
        if (IsHostExecutable(host) || !std::filesystem::exists(host)) {
            argv.push_back(host);
            for (std::string& a : HostArguments(parameters)) argv.push_back(std::move(a));
        } else {
            argv = {"xdg-open", host};  // a document: its handler
        }
    }
    platform::shell::StartResult result;
    if (argv.empty()) {
        result.error = platform::shell::kErrorFileNotFound;
    } else {
        auto hostFolder = folder.empty() ? std::optional<std::filesystem::path>() : wp::ToHostPath(folder);
        result = platform::shell::StartHostProcess(argv, hostFolder ? hostFolder->string() : std::string(), true,
                                                   [&] { ui.ProcessMessages(); });
    }
    if (!result.started) {
        std::string text = ShellErrorText(result.error);
        if (!text.empty()) ui.ShowMessage(text, MessageButtons::Ok, MessageIcon::Error);
        return false;
    }
    if (exitCode) *exitCode = result.exitCode;
    return true;
}

}  // namespace zeriru
