#include "zeriru/file_services.h"

#include "platform/pathtext.h"
#include "platform/process.h"
#include "platform/shell.h"
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
    // NORMAL clears every flag; the copy then has exactly the flags asked for.
    if (!options.keepAttributes) options.attributes = attributes == 0 ? wp::kAttrNormal : attributes;
    options.blockSize = kCopyBlockSize;
    options.progress = [&](std::uint64_t, std::uint64_t) {
        if (pump) pump();
        return true;
    };
    return wp::CopyFile(source, target, options);
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

bool OpenWithShell(std::string_view file, std::string_view parameters, std::string_view folder) {
    return platform::shell::OpenWithShell(file, parameters, folder).started;
}

bool RunAndWait(std::string_view program, std::string_view parameters, std::string_view folder, bool direct, Ui& ui,
                int* exitCode) {
    // Direct: the command line is the folder, "\", the program and the parameters; otherwise
    // the shell finds the program in the folder (or the system folders) itself.
    const std::string path = direct ? wp::AddBackslash(folder) + std::string(program) : std::string(program);
    platform::shell::StartResult result =
        platform::shell::RunProgram(path, parameters, folder, true, [&] { ui.ProcessMessages(); });
    if (!result.started) {
        std::string text = ShellErrorText(result.error);
        if (!text.empty()) ui.ShowMessage(text, MessageButtons::Ok, MessageIcon::Error);
        return false;
    }
    if (exitCode) *exitCode = result.exitCode;
    return true;
}

}  // namespace zeriru
