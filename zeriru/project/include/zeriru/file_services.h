// File, folder and process services of the editor on Windows paths (Shift-JIS), over the
// platform's Windows file layer: copies that keep time stamps and attributes, recursive copy
// and delete with the protected-folder rule, unique names, sizes, attributes, free space, and
// starting programs with or without waiting.
#pragma once

#include "zeriru/build_machine.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zeriru {

class Ui;

// Attribute value that means "the source's attributes".
inline constexpr std::uint32_t kKeepSourceAttributes = 65535;
// Attribute mask bit of a folder.
inline constexpr std::uint32_t kAttributeFolder = 16;
// Block size of the copies, bytes.
inline constexpr std::size_t kCopyBlockSize = 8192;

// Called between blocks and items of long work so the user interface stays responsive.
using MessagePump = std::function<void()>;

// Drive number 1-26 of a path that begins with a letter and ":" (ignoring case), else 0.
int DriveOfPath(std::string_view path);
// Free bytes of the drive of a path (those this process may use); 0 when unknown.
std::uint64_t FreeSpaceOfDrive(std::string_view path);
// Size of a file in bytes; 0 for a folder or a file that cannot be read.
std::uint64_t FileSize(std::string_view path);
// Whether any of the masked attributes is set (16 = folder); false for a missing path.
bool HasAttribute(std::string_view path, std::uint32_t mask);

// Copies in blocks of 8192 bytes (calling `pump` between blocks), gives the target the
// source's last-write time and sets its attributes to `attributes`, or to the source's when it
// is 65535. False when the source cannot be opened or the target cannot be created.
bool CopyFileKeepTime(std::string_view source, std::string_view target, std::uint32_t attributes,
                      const MessagePump& pump = {});
// As above with the source's attributes; a target that is an existing folder receives the
// file under the source's name.
bool CopyFileInto(std::string_view source, std::string_view target, const MessagePump& pump = {});
// Copies every file and subfolder of an existing source folder below the target folder,
// creating folders as needed; files keep their time and attributes. A folder that is a host
// symbolic link is not followed. False when the source is no folder or anything failed.
bool CopyFolderTree(std::string_view source, std::string_view target, const MessagePump& pump = {});

// Whether the path (upper case, without trailing "\") is one of the protected folders of the
// mask: 1 the drive roots "A:".."Z:", 2 the program files, Windows and system folders, 4 the
// user's and all users' shell folders of kinds 0-9. 255 tests all; subfolders are not
// protected.
bool IsProtectedFolder(std::string_view path, int mask, TBuildMachine& machine);
// Unless the folder is protected (mask 255), clears the attributes of and deletes every file
// and subfolder below it, then the folder itself; a file that cannot be deleted is left in
// place. A host symbolic link is removed as a link, never followed. True when the folder is
// gone.
bool DeleteFolderTree(std::string_view folder, TBuildMachine& machine, const MessagePump& pump = {});

// The name itself when no file of that name is in the folder, else name1, name2, ... with the
// number before the extension (readme.txt -> readme1.txt).
std::string UniqueFileName(std::string_view folder, std::string_view name);

// The texts shown for the shell's error codes 2, 3, 5, 8 and 32; empty for others.
std::string ShellErrorText(int code);

// Opens a file, folder or URL with the desktop's handler, without waiting. True when the
// handler started.
bool OpenWithShell(std::string_view file, std::string_view parameters, std::string_view folder);

// direct: starts the command line made of the folder (with a trailing "\"), the program, a
// blank and the parameters; otherwise opens the program with the parameters in the folder.
// Waits for the end, calling ui.ProcessMessages() every 50 ms. When the program cannot be
// started, shows the shell's error text and returns false. `exitCode` receives the program's
// exit code.
bool RunAndWait(std::string_view program, std::string_view parameters, std::string_view folder, bool direct,
                Ui& ui, int* exitCode = nullptr);

}  // namespace zeriru
