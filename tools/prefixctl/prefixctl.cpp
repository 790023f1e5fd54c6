// prefixctl: provisions and inspects the prefix the suite's programs run in.
#include "hw/machine.h"
#include "platform/hostfile.h"
#include "platform/prefix.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/sjis.h"
#include "platform/winpath.h"

#include <cstdio>
#include <filesystem>
#include <cstring>
#include <string>

namespace {

namespace reg = platform::registry;
namespace sh = platform::shell;
using platform::sjis::FromUtf8;
using platform::sjis::ToUtf8;

const char kUsage[] =
    "usage: prefixctl COMMAND [ARGS]\n"
    "\n"
    "Provisions and inspects the prefix ($PLATFORM_ROOT, default under $XDG_DATA_HOME/zuzoruve).\n"
    "Windows paths and registry texts are given and printed as UTF-8.\n"
    "\n"
    "commands:\n"
    "  init                      make the folder layout, the registry hives and the default\n"
    "                            machine (machine/default.ini) (idempotent)\n"
    "  show                      print the prefix, drives, known folders and user names\n"
    "  path WINDOWS-PATH         print the host path of a Windows path\n"
    "  winpath HOST-PATH         print the Windows path of a host path\n"
    "  reg-get ROOT KEY [NAME]   print a registry value (default value without NAME)\n"
    "  reg-set ROOT KEY NAME TEXT  write a REG_SZ value\n"
    "\n"
    "examples:\n"
    "  PLATFORM_ROOT=/tmp/p prefixctl init\n"
    "  prefixctl path 'C:\\Program Files\\Zuzoruve'\n"
    "  prefixctl reg-get HKCU 'Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders' Desktop\n";

int Fail(const std::string& what) {
    std::fprintf(stderr, "prefixctl: %s\n", what.c_str());
    return 1;
}

int Show() {
    std::printf("prefix:   %s\n", platform::PrefixRoot().c_str());
    std::printf("programs: %s\n", ToUtf8(platform::ProgramFolderPath()).c_str());
    struct Named {
        const char* label;
        int id;
    } folders[] = {{"desktop", sh::csidl::DesktopDirectory}, {"documents", sh::csidl::Personal},
                   {"programs", sh::csidl::Programs},        {"startup", sh::csidl::Startup},
                   {"appdata", sh::csidl::AppData},          {"common desktop", sh::csidl::CommonDesktopDirectory},
                   {"program files", sh::csidl::ProgramFiles}};
    for (const Named& f : folders) {
        std::string win = sh::GetSpecialFolderPath(f.id).value_or("");
        auto host = platform::winpath::ToHostPath(win);
        std::printf("%-15s %s -> %s\n", f.label, ToUtf8(win).c_str(), host ? host->c_str() : "(unmapped)");
    }
    std::printf("windows:  %s\nsystem:   %s\ntemp:     %s\n", ToUtf8(sh::WindowsFolder()).c_str(),
                ToUtf8(sh::SystemFolder()).c_str(), ToUtf8(sh::TempFolder()).c_str());
    std::printf("user:     %s\ncomputer: %s\n", ToUtf8(sh::UserName()).c_str(), ToUtf8(sh::ComputerName()).c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    std::string command = argv[1];
    std::string error;
    if (command == "init") {
        if (!sh::ProvisionPrefix(&error)) return Fail("init: " + error);
        // The machine a process boots when $PLATFORM_MACHINE names none; a file that exists
        // already keeps what the units stored in it.
        std::filesystem::path machine = platform::PrefixRoot() / "machine" / "default.ini";
        std::error_code ec;
        if (!std::filesystem::exists(machine, ec)) {
            std::filesystem::create_directories(machine.parent_path(), ec);
            if (!platform::WriteHostFileAtomic(machine, hw::DefaultMachineText(), &error))
                return Fail("init: " + machine.string() + ": " + error);
        }
        std::printf("prefix ready: %s\n", platform::PrefixRoot().c_str());
        return 0;
    }
    if (command == "show") return Show();
    if (command == "path" && argc == 3) {
        auto host = platform::winpath::ToHostPath(FromUtf8(argv[2]));
        if (!host) return Fail(std::string("not a mapped Windows path: ") + argv[2]);
        std::printf("%s\n", host->c_str());
        return 0;
    }
    if (command == "winpath" && argc == 3) {
        std::string win = platform::winpath::ToWindowsPath(argv[2]);
        if (win.empty()) return Fail(std::string("no drive holds: ") + argv[2]);
        std::printf("%s\n", ToUtf8(win).c_str());
        return 0;
    }
    if ((command == "reg-get" && (argc == 4 || argc == 5)) || (command == "reg-set" && argc == 6)) {
        auto root = reg::RootFromName(argv[2]);
        if (!root) return Fail(std::string("unknown root key: ") + argv[2]);
        reg::Registry registry;
        std::string key = FromUtf8(argv[3]);
        std::string name = argc >= 5 ? FromUtf8(argv[4]) : "";
        if (command == "reg-set") {
            reg::Status s = registry.SetString(*root, key, name, FromUtf8(argv[5]));
            return s == reg::Status::Ok ? 0 : Fail(std::string("reg-set: ") + reg::StatusName(s));
        }
        reg::Value value;
        reg::Status s = registry.GetValue(*root, key, name, &value);
        if (s != reg::Status::Ok) return Fail(std::string("reg-get: ") + reg::StatusName(s));
        if (value.IsText()) {
            std::printf("%s\n", ToUtf8(value.bytes).c_str());
        } else if (value.type == reg::ValueType::Dword) {
            std::printf("0x%08x\n", value.dword);
        } else {
            std::printf("(%u bytes of type %u)\n", static_cast<unsigned>(value.bytes.size()),
                        static_cast<unsigned>(value.type));
        }
        return 0;
    }
    std::fputs(kUsage, stderr);
    return 2;
}
