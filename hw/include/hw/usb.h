// USB below the sensor driver: the device side (a function with descriptors answering
// standard requests, its endpoints answering ACK, NAK or STALL) and the host side the bus
// driver offers (USB request blocks completed on the host's own thread, port status and
// reset). Plain structures; the kernel's request blocks map onto Urb one to one.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hw/clock.h"
#include "hw/sensor_unit.h"

namespace hw {

// Standard requests, descriptor types and features (USB 1.1 chapter 9).
inline constexpr uint8_t USB_REQ_GET_STATUS = 0;
inline constexpr uint8_t USB_REQ_CLEAR_FEATURE = 1;
inline constexpr uint8_t USB_REQ_SET_FEATURE = 3;
inline constexpr uint8_t USB_REQ_GET_DESCRIPTOR = 6;
inline constexpr uint8_t USB_REQ_SET_DESCRIPTOR = 7;
inline constexpr uint8_t USB_REQ_GET_CONFIGURATION = 8;
inline constexpr uint8_t USB_REQ_SET_CONFIGURATION = 9;
inline constexpr uint8_t USB_REQ_GET_INTERFACE = 10;
inline constexpr uint8_t USB_REQ_SET_INTERFACE = 11;
inline constexpr uint8_t USB_DESC_DEVICE = 1;
inline constexpr uint8_t USB_DESC_CONFIGURATION = 2;
inline constexpr uint8_t USB_DESC_STRING = 3;
inline constexpr uint8_t USB_DESC_INTERFACE = 4;
inline constexpr uint8_t USB_DESC_ENDPOINT = 5;
inline constexpr uint16_t USB_FEATURE_ENDPOINT_HALT = 0;
inline constexpr uint16_t USB_FEATURE_REMOTE_WAKEUP = 1;
inline constexpr uint8_t USB_DIR_IN = 0x80;
inline constexpr uint8_t USB_TYPE_STANDARD = 0x00;
inline constexpr uint8_t USB_TYPE_VENDOR = 0x40;
inline constexpr uint8_t USB_RECIP_DEVICE = 0, USB_RECIP_INTERFACE = 1, USB_RECIP_ENDPOINT = 2;
inline constexpr uint8_t USB_ENDPOINT_CONTROL = 0, USB_ENDPOINT_BULK = 2, USB_ENDPOINT_INTERRUPT = 3;

// Completion status of a request block (the bus driver's values).
inline constexpr uint32_t USBD_STATUS_SUCCESS = 0x00000000;
inline constexpr uint32_t USBD_STATUS_PENDING = 0x40000000;
inline constexpr uint32_t USBD_STATUS_STALL_PID = 0xC0000004;
inline constexpr uint32_t USBD_STATUS_DATA_UNDERRUN = 0xC0000009;
inline constexpr uint32_t USBD_STATUS_BUFFER_OVERRUN = 0xC000000C;
inline constexpr uint32_t USBD_STATUS_INVALID_URB_FUNCTION = 0x80000200;
inline constexpr uint32_t USBD_STATUS_INVALID_PARAMETER = 0x80000300;
inline constexpr uint32_t USBD_STATUS_INVALID_PIPE_HANDLE = 0x80000600;
inline constexpr uint32_t USBD_STATUS_DEVICE_GONE = 0xC0007000;
inline constexpr uint32_t USBD_STATUS_CANCELED = 0xC0010000;
// Port status bits.
inline constexpr uint32_t USBD_PORT_ENABLED = 0x1;
inline constexpr uint32_t USBD_PORT_CONNECTED = 0x2;

struct UsbSetup {
    uint8_t request_type = 0;
    uint8_t request = 0;
    uint16_t value = 0, index = 0, length = 0;
};

enum class UsbResponse { kAck, kNak, kStall };

// The device side, as the host controller reaches it. Called on the host thread only.
class UsbDevice {
public:
    virtual ~UsbDevice() = default;
    // Control transfer on endpoint 0: IN data goes into *data (at most setup.length bytes),
    // OUT data comes in *data.
    virtual UsbResponse Control(const UsbSetup& setup, std::vector<uint8_t>* data, uint64_t now_us) = 0;
    virtual UsbResponse Out(uint8_t endpoint, const std::vector<uint8_t>& data, uint64_t now_us) = 0;
    virtual UsbResponse In(uint8_t endpoint, size_t max, std::vector<uint8_t>* data, uint64_t now_us) = 0;
    // Port reset: back to the default state (unconfigured, no halts).
    virtual void BusReset() = 0;
    // When a NAK'd transfer might be answered, if the device knows.
    virtual uint64_t NextEventUs(uint64_t now_us) { return kNever; }
    virtual void SetFastMode(bool fast) {}
};

// A function with one configuration: descriptors and the standard requests; subclasses add
// vendor requests and endpoint data.
class UsbFunction : public UsbDevice {
public:
    UsbResponse Control(const UsbSetup& setup, std::vector<uint8_t>* data, uint64_t now_us) override;
    UsbResponse Out(uint8_t endpoint, const std::vector<uint8_t>& data, uint64_t now_us) override;
    UsbResponse In(uint8_t endpoint, size_t max, std::vector<uint8_t>* data, uint64_t now_us) override;
    void BusReset() override;

    const std::vector<uint8_t>& device_descriptor() const { return device_descriptor_; }
    const std::vector<uint8_t>& configuration_descriptor() const { return config_descriptor_; }
    uint8_t configuration() const { return configuration_; }

protected:
    virtual UsbResponse Vendor(const UsbSetup& setup, std::vector<uint8_t>* data, uint64_t now_us) {
        return UsbResponse::kStall;
    }
    virtual UsbResponse EndpointOut(uint8_t endpoint, const std::vector<uint8_t>& data, uint64_t now_us) = 0;
    virtual UsbResponse EndpointIn(uint8_t endpoint, size_t max, std::vector<uint8_t>* data, uint64_t now_us) = 0;
    bool HasEndpoint(uint8_t address) const;

    std::vector<uint8_t> device_descriptor_;
    std::vector<uint8_t> config_descriptor_;
    std::vector<std::string> strings_;  // index 1 upward
    uint8_t configuration_ = 0;
    uint8_t alternate_ = 0;
    bool remote_wakeup_ = false;
    std::map<uint8_t, bool> halted_;
};

struct SensorUsbIdentity {
    uint16_t vendor_id = 0x1B3E;
    uint16_t product_id = 0x7301;
    uint16_t release = 0x0100;
    bool interrupt_endpoint = true;
    // Bytes of a reply on the IN endpoints: the 8 of the protocol, padded with zeros up to this
    // (a unit that sends more than a host asking for less can take: its transfer overruns).
    uint8_t reply_bytes = 8;
};

// The sensor unit as a USB device: an 8-byte command on bulk OUT 0x01, the reply on bulk IN
// 0x82, or on interrupt IN 0x83, or by vendor request 0 (device to host).
class SensorUsbDevice final : public UsbFunction {
public:
    SensorUsbDevice(std::shared_ptr<SensorFirmware> firmware, const SensorUsbIdentity& identity);
    SensorFirmware& firmware() { return *firmware_; }
    const SensorUsbIdentity& identity() const { return identity_; }
    uint64_t NextEventUs(uint64_t now_us) override;
    void SetFastMode(bool fast) override { fast_ = fast; }
    void BusReset() override;

    static constexpr uint8_t kBulkOut = 0x01, kBulkIn = 0x82, kInterruptIn = 0x83;

protected:
    UsbResponse Vendor(const UsbSetup& setup, std::vector<uint8_t>* data, uint64_t now_us) override;
    UsbResponse EndpointOut(uint8_t endpoint, const std::vector<uint8_t>& data, uint64_t now_us) override;
    UsbResponse EndpointIn(uint8_t endpoint, size_t max, std::vector<uint8_t>* data, uint64_t now_us) override;

private:
    // The next reply that is due: cut to `max` bytes when `cut` (a control transfer's length),
    // otherwise padded to the identity's reply length.
    UsbResponse TakeReply(size_t max, bool cut, std::vector<uint8_t>* data, uint64_t now_us);
    std::shared_ptr<SensorFirmware> firmware_;
    SensorUsbIdentity identity_;
    bool fast_ = false;
    struct Reply {
        uint64_t due_us;
        SensorMessage bytes;
    };
    std::deque<Reply> replies_;
};

struct UsbPipeInfo {
    uint16_t max_packet = 0;
    uint8_t endpoint_address = 0;
    uint8_t interval = 0;
    uint8_t type = 0;  // USB_ENDPOINT_BULK / USB_ENDPOINT_INTERRUPT
    uint32_t handle = 0;
    uint32_t max_transfer = 4096;
};

struct UsbInterfaceInfo {
    uint8_t number = 0, alternate = 0, klass = 0, subclass = 0, protocol = 0;
    std::vector<UsbPipeInfo> pipes;
};

enum class UrbFunction {
    kSelectConfiguration,
    kSelectInterface,
    kAbortPipe,
    kResetPipe,
    kBulkOrInterruptTransfer,
    kVendorDevice,
    kGetDescriptorFromDevice,
    kSetDescriptorToDevice,
    kGetStatusFromDevice,
    kGetStatusFromInterface,
    kGetStatusFromEndpoint,
    kSetFeatureToDevice,
    kSetFeatureToInterface,
    kSetFeatureToEndpoint,
    kClearFeatureToDevice,
    kClearFeatureToInterface,
    kClearFeatureToEndpoint,
    kGetConfiguration,
    kGetInterface,
};

// Internal control codes by which a function driver reaches the USB bus driver through its
// physical device object (IRP_MJ_INTERNAL_DEVICE_CONTROL). Submit: Parameters.Others.Argument1
// is the Urb to carry; the request completes once the Urb did, with the Urb's status mapped to
// an NT status (success, cancelled, device not connected, invalid parameter, unsuccessful).
// Port status: Argument1 points to a 32-bit word that receives USBD_PORT_* bits. Reset port:
// no argument.
#ifndef IOCTL_INTERNAL_USB_SUBMIT_URB
#define IOCTL_INTERNAL_USB_SUBMIT_URB 0x00220003u
#define IOCTL_INTERNAL_USB_RESET_PORT 0x00220007u
#define IOCTL_INTERNAL_USB_GET_PORT_STATUS 0x00220013u
#endif

// One request block. The submitter owns it (and its buffer) until on_complete ran.
struct Urb {
    UrbFunction function = UrbFunction::kBulkOrInterruptTransfer;
    // Transfers and data stages.
    uint32_t pipe = 0;       // pipe handle (transfers, abort, reset)
    bool in = false;         // direction of vendor requests and set/get descriptor
    bool short_ok = true;    // a shorter IN transfer ends the request successfully
    uint8_t* buffer = nullptr;
    uint32_t length = 0;     // buffer size; after completion: bytes transferred
    // Descriptors, features, status, vendor requests.
    uint8_t descriptor_type = 0, descriptor_index = 0;
    uint16_t language_id = 0;
    uint8_t request = 0;
    uint16_t value = 0, index = 0;  // vendor value/index; feature selector in value
    // Selection: the configuration descriptor to select (null: unconfigure), or the
    // interface and alternate setting; filled with the interfaces and their pipes.
    const uint8_t* configuration = nullptr;
    uint8_t interface_number = 0, alternate_setting = 0;
    std::vector<UsbInterfaceInfo> interfaces;
    uint32_t configuration_handle = 0;
    // Result.
    uint32_t status = USBD_STATUS_PENDING;
    std::function<void(Urb&)> on_complete;
};

// The host controller and root hub with its ports. Request blocks complete on the host's
// thread; a NAK'd transfer stays pending until the device answers, it is aborted, cancelled,
// or the device goes away.
class UsbHost {
public:
    explicit UsbHost(Clock& clock);
    ~UsbHost();
    UsbHost(const UsbHost&) = delete;
    UsbHost& operator=(const UsbHost&) = delete;

    // Connects a device to a free port (1-based number).
    int Plug(UsbDevice* device);
    // Disconnects it: pending requests complete with USBD_STATUS_DEVICE_GONE, later ones too.
    void Unplug(int port);

    void Submit(int port, Urb* urb);
    // Completes a pending request with USBD_STATUS_CANCELED; false if it was not pending.
    bool Cancel(int port, Urb* urb);
    uint32_t PortStatus(int port);
    // Port reset: the device is reset and its selected configuration restored; pending
    // transfers complete as cancelled.
    bool ResetPort(int port);

    void SetFastMode(bool fast);
    bool WaitIdle(std::chrono::milliseconds limit = std::chrono::milliseconds(5000));

private:
    struct Port {
        UsbDevice* device = nullptr;
        bool enabled = false;
        uint8_t configuration = 0;
        std::vector<uint8_t> config_descriptor;
        std::deque<Urb*> pending;
    };
    void Run();
    // Tries one request; true when it completed (status set).
    bool Execute(int port, Port& p, Urb& urb, uint64_t now);
    bool Control(Port& p, Urb& urb, const UsbSetup& setup, uint64_t now);
    void SelectConfiguration(int port, Port& p, Urb& urb, uint64_t now);
    void CompleteLater(Urb* urb, uint32_t status);

    Clock& clock_;
    std::mutex mu_;
    std::condition_variable cv_, idle_cv_;
    std::map<int, Port> ports_;
    std::vector<Urb*> done_;  // completed, callbacks not yet run
    bool stop_ = false, kicked_ = false, fast_ = false;
    uint64_t request_seq_ = 0, idle_seq_ = 0;
    struct KickHandle {
        std::mutex mu;
        UsbHost* host = nullptr;
    };
    std::shared_ptr<KickHandle> kick_handle_;
    std::thread thread_;
};

}  // namespace hw
