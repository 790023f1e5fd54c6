// A machine: the boards, buses, sensor units and USB host of one process, built from a
// machine description (an INI text, Shift-JIS like every file of the suite; README.md of this
// folder gives the format). Devices can be unplugged and plugged while it runs; a listener
// (the kernel's plug-and-play) hears of arrivals and surprise removals. ID numbers and power
// frequencies that the units store are written back to the description file, so that they
// survive a restart as they would in the units' own memory.
#pragma once

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "hw/can_bus.h"
#include "hw/clock.h"
#include "hw/pci_can_board.h"
#include "hw/sensor_unit.h"
#include "hw/usb.h"

namespace hw {

// An INI text kept line by line, so that a changed value is written back with every other
// line (comments included) as it was. Section and key names ignore case.
class IniText {
public:
    explicit IniText(std::string text = {});
    std::vector<std::string> Sections() const;
    std::vector<std::pair<std::string, std::string>> Entries(const std::string& section) const;
    std::optional<std::string> Get(const std::string& section, const std::string& key) const;
    // Replaces the value in place, or adds the key at the end of its section (or a new section).
    void Set(const std::string& section, const std::string& key, const std::string& value);
    std::string Text() const;

private:
    struct Line {
        std::string text;
        std::string section;  // the section the line belongs to
        std::string key;      // empty unless a key=value line
    };
    std::vector<Line> lines_;
};

enum class DeviceKind { kPciCanBoard, kCanSensor, kUsbSensor };
const char* DeviceKindName(DeviceKind kind);

struct CanBusDesc {
    std::string name;
    uint64_t bit_time_ns = 12000;
};

struct BoardDesc {
    std::string name;  // section name, e.g. "Board 1"
    PciCanBoardConfig config;
    std::vector<std::string> channel_bus;  // bus name of each channel ("" = none)
    bool plugged = true;
};

struct SensorDesc {
    std::string name;
    DeviceKind kind = DeviceKind::kCanSensor;
    SensorSettings settings;
    std::string bus;     // CAN sensors
    uint16_t node = 0;   // CAN node number
    SensorUsbIdentity usb;  // USB sensors
    bool plugged = true;
};

struct MachineDescription {
    std::string name = "default";
    bool fast_mode = false;
    std::vector<CanBusDesc> buses;
    std::vector<BoardDesc> boards;
    std::vector<SensorDesc> sensors;
};

// Parses a description; relative profile files are taken from `base_dir`.
std::optional<MachineDescription> ParseMachineDescription(const std::string& text, const std::filesystem::path& base_dir,
                                                          std::string* error);

// The description of the default machine: one FIFO board with two channels on one bus
// (ports DIZED1 and DIZED2), sensor nodes 1, 2, 3 on it, USB sensors with IDs 11 and 12.
const std::string& DefaultMachineText();

// What the kernel needs to know of a device that arrives or leaves.
struct MachineDevice {
    std::string name;
    DeviceKind kind;
    PciCanBoard* board = nullptr;     // kPciCanBoard
    int usb_port = 0;                 // kUsbSensor
    SensorUsbIdentity usb;            // kUsbSensor: vendor and product of the device
    SensorFirmware* sensor = nullptr;  // both sensor kinds
};

class MachineListener {
public:
    virtual ~MachineListener() = default;
    virtual void OnArrival(const MachineDevice& device) = 0;
    virtual void OnSurpriseRemoval(const MachineDevice& device) = 0;
};

class Machine {
public:
    // Builds the machine of a description file; changes the units store are written back to
    // it. `clock`: null for the real clock.
    static std::unique_ptr<Machine> Load(const std::filesystem::path& file, std::shared_ptr<Clock> clock,
                                         std::string* error);
    // Builds a machine from a text; nothing is written anywhere.
    static std::unique_ptr<Machine> FromText(const std::string& text, std::shared_ptr<Clock> clock,
                                             std::string* error);
    ~Machine();

    Clock& clock() { return *clock_; }
    const std::string& name() const { return desc_.name; }
    UsbHost& usb_host() { return *usb_; }
    CanBus* bus(const std::string& name);
    PciCanBoard* board(const std::string& name);
    SensorFirmware* sensor(const std::string& name);
    std::vector<MachineDevice> PluggedDevices();

    // Device names are the description's section names ("Board 1", "CanSensor 2", ...).
    bool Plug(const std::string& name, std::string* error);
    bool Unplug(const std::string& name, std::string* error);
    bool IsPlugged(const std::string& name);
    // The listener hears of every later arrival and removal (not of what is plugged now).
    // Returns once no call to the previous listener is running.
    void SetListener(MachineListener* listener);

    void SetFastMode(bool fast);
    // A listing of the machine, one device a line.
    std::string Describe();
    // The last failure to write the description file back, if any.
    std::string persist_error();

    // Runs one control command ("list", "plug NAME", "unplug NAME", "fault NAME KIND",
    // "profile NAME TEXT", "event NAME", "errors BUS COUNT", "fast 0|1") and returns the answer text;
    // the answer starts with "ok" or "error".
    std::string Control(const std::string& command);
    // Answers control commands (one line each, one per connection) on a Unix socket until
    // the machine ends; the socket file is removed then. False, with the failing call in
    // *error, when the socket cannot be set up.
    bool ServeControl(const std::filesystem::path& socket_path, std::string* error);

private:
    Machine(MachineDescription desc, std::shared_ptr<Clock> clock);
    struct Entry;
    Entry* Find(const std::string& name);
    MachineDevice DeviceOf(Entry& e);
    void Persist(const std::string& section, const SensorSettings& s);
    // Calls the listener taken (and counted) under mu_, then uncounts it.
    void CallListener(MachineListener* listener, const MachineDevice& device, bool arrival);

    MachineDescription desc_;
    std::shared_ptr<Clock> clock_;
    std::map<std::string, std::unique_ptr<CanBus>> buses_;
    std::unique_ptr<UsbHost> usb_;
    struct Entry {
        std::string name;
        DeviceKind kind;
        std::unique_ptr<PciCanBoard> board;
        std::vector<std::string> channel_bus;
        std::shared_ptr<SensorFirmware> firmware;
        std::unique_ptr<SensorCanNode> node;
        std::unique_ptr<SensorUsbDevice> usb;
        std::string bus;
        int port = 0;
        bool plugged = false;
    };
    std::vector<std::unique_ptr<Entry>> entries_;
    std::mutex mu_;  // the entries' plug state; never held while calling a model or the listener
    MachineListener* listener_ = nullptr;
    int listener_calls_ = 0;  // calls into a listener in progress
    std::condition_variable listener_cv_;
    // Write-back of the description file.
    std::mutex file_mu_;
    std::filesystem::path file_;
    std::unique_ptr<IniText> ini_;
    std::string persist_error_;
    // Control socket.
    struct ControlServer {
        int fd = -1;
        std::filesystem::path path;
        std::atomic<bool> stop{false};
        std::thread thread;
        ~ControlServer();
    };
    std::unique_ptr<ControlServer> control_;
};

// Where the machine of process `pid` answers control commands:
// $XDG_RUNTIME_DIR/zuzoruve-machine-<pid>.sock (the temporary folder without a runtime folder).
std::filesystem::path ControlSocketPath(long pid);

// Sends one command line to the machine answering on socket_path and puts its answer ("ok"
// and the result, or "error ...") in *answer. False, with *error set, when the socket cannot
// be reached or the command not sent.
bool SendControlCommand(const std::filesystem::path& socket_path, const std::string& command, std::string* answer,
                        std::string* error);

}  // namespace hw
