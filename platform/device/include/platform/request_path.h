// The one seam between the Windows device calls and the machine that serves them. Today the
// machine runs inside the process (InProcessPath); a machine daemon shared by several
// processes can take its place by installing another RequestPath before the first call.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "kernel/machine.h"

namespace platform::device {

class RequestPath {
public:
    virtual ~RequestPath() = default;
    // Opens a device path; *file identifies the open file in later calls.
    virtual NTSTATUS Open(std::string_view path, std::uint64_t* file) = 0;
    // Returns what the driver's dispatch returned; done runs once with the final outcome.
    virtual NTSTATUS Submit(std::uint64_t file, const kernel::UserRequest& request, kernel::RequestDone done) = 0;
    virtual void Cancel(std::uint64_t file, std::thread::id thread) = 0;
    virtual void Close(std::uint64_t file) = 0;
    virtual std::vector<std::string> InterfacePaths(const GUID& classGuid) = 0;
    virtual int Subscribe(kernel::Machine::InterfaceListener listener) = 0;
    virtual void Unsubscribe(int id) = 0;
};

// The path in use. The first call boots the in-process machine unless one runs already
// (tests create their own kernel::Machine first) or another path was installed.
RequestPath& CurrentPath();
void InstallRequestPath(std::shared_ptr<RequestPath> path);

// The machine description the in-process machine boots from: $PLATFORM_MACHINE, else
// <prefix>/machine/default.ini.
std::string MachineDescriptionFile();

}  // namespace platform::device
