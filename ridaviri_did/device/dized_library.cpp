// The transports' CAN calls onto the CAN library's C functions.
#include "dized.h"
#include "ridaviri/transport_seams.h"

namespace ridaviri {
namespace {

::CanHandle Port(CanHandle h) { return reinterpret_cast<::CanHandle>(h); }

}  // namespace

CanHandle DizedLibrary::OpenPort(const char* name) { return reinterpret_cast<CanHandle>(::CanOpenPort(name)); }
uint32_t DizedLibrary::ClosePort(CanHandle port) { return ::CanClosePort(Port(port)); }
uint32_t DizedLibrary::SetConfig(CanHandle port, const CanConfig& config) { return ::CanSetConfig(Port(port), &config); }
uint32_t DizedLibrary::SetAcceptanceFilter(CanHandle port, uint32_t code, uint32_t mask) {
    return ::CanSetAcceptanceFilter(Port(port), code, mask);
}
uint32_t DizedLibrary::GetStatus(CanHandle port, CanStatus* status) { return ::CanGetStatus(Port(port), status); }
uint32_t DizedLibrary::Activate(CanHandle port) { return ::CanActivate(Port(port)); }
uint32_t DizedLibrary::Deactivate(CanHandle port) { return ::CanDeactivate(Port(port)); }
uint32_t DizedLibrary::ClearBuffer(CanHandle port, uint32_t flags) { return ::CanClearBuffer(Port(port), flags); }
uint32_t DizedLibrary::SendMessage(CanHandle port, const CanMessage* messages, uint32_t count) {
    return ::CanSendMessage(Port(port), messages, count);
}
uint32_t DizedLibrary::ReceiveMessage(CanHandle port, CanMessage* messages, uint32_t* count) {
    return ::CanReceiveMessage(Port(port), messages, count);
}

}  // namespace ridaviri
