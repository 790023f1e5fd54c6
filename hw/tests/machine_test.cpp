// Machine descriptions: the default machine, parsing and its errors, write-back of what the
// units store, plugging and unplugging, and the control commands.
#include "hw/machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <future>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/hostfile.h"

using namespace hw;

namespace {

class Recorder : public MachineListener {
public:
    void OnArrival(const MachineDevice& d) override { events.push_back("+" + d.name); }
    void OnSurpriseRemoval(const MachineDevice& d) override { events.push_back("-" + d.name); }
    std::vector<std::string> events;
};

// Sends a broadcast ReadMeasurement from DIZED1's transmit FIFO and returns the nodes that
// answered, in arrival order. A failed attempt on the wire takes its bit time even in fast
// mode, so the test's clock is moved on once for the retry to go out.
std::vector<uint32_t> PollAll(Machine& m, ManualClock& clock) {
    PciCanChannel& ch = m.board("Board 1")->channel(0);
    ch.Write8(BRD_MODE, 1);
    for (int r = 0; r < 4; ++r) ch.Write8(SJA_AMR0 + r, 0xFF);
    ch.Write8(SJA_BTR0, 0x4B);  // the monitor's bit timing 0x4B23: 12 us at 16 MHz
    ch.Write8(SJA_BTR1, 0x23);
    ch.Write8(SJA_MOD, MOD_AFM);
    const uint8_t entry[] = {0x88, 0, 0, 0, 0x00, 0x00, 0x00, 0x08, 0, 6, 0, 0, 0, 0, 0, 0};
    for (uint8_t b : entry) ch.Write8(FIFO_TX_WINDOW, b);
    EXPECT_TRUE(m.bus("CAN1")->WaitIdle());
    clock.Advance(10000);
    EXPECT_TRUE(m.bus("CAN1")->WaitIdle());
    std::vector<uint32_t> nodes;
    unsigned n = ch.Read8(FIFO_RX_COUNT);
    for (unsigned i = 0; i < n; ++i) {
        uint8_t e[16];
        for (int k = 0; k < 16; ++k) e[k] = ch.Read8(FIFO_RX_WINDOW);
        uint32_t id = (uint32_t(e[4]) << 21) | (uint32_t(e[5]) << 13) | (uint32_t(e[6]) << 5) | (e[7] >> 3);
        EXPECT_EQ(e[8], 0x10);
        nodes.push_back(id >> 13);
    }
    return nodes;
}

}  // namespace

TEST(MachineDescription, DefaultMachine) {
    std::string error;
    auto d = ParseMachineDescription(DefaultMachineText(), ".", &error);
    ASSERT_TRUE(d) << error;
    ASSERT_EQ(d->boards.size(), 1u);
    EXPECT_TRUE(d->boards[0].config.fifo_board());
    EXPECT_EQ(d->boards[0].config.channels, 2u);
    EXPECT_EQ(d->boards[0].channel_bus, (std::vector<std::string>{"CAN1", "CAN1"}));
    std::vector<std::pair<uint16_t, uint16_t>> can;  // node, ID
    std::vector<uint16_t> usb;
    for (const auto& s : d->sensors) {
        if (s.kind == DeviceKind::kCanSensor) can.emplace_back(s.node, s.settings.id_number);
        else usb.push_back(s.settings.id_number);
    }
    EXPECT_EQ(can, (std::vector<std::pair<uint16_t, uint16_t>>{{1, 1}, {2, 2}, {3, 3}}));
    EXPECT_EQ(usb, (std::vector<uint16_t>{11, 12}));
    EXPECT_EQ(d->sensors[0].settings.identity, (SensorIdentity{'T', 26, (4 << 10) | 1, 1}));
}

TEST(MachineDescription, ErrorsNameTheSection) {
    struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"[Printer 1]\n", "[Printer 1] unknown kind of section"},
        {"[Board 1]\nKind=Fast\n", "[Board 1] Kind must be FIFO or Basic"},
        {"[Board 1]\nChannels=5\n", "[Board 1] bad entry Channels=5"},
        {"[CanSensor 1]\nBus=A\nNode=1\n[CanSensor 2]\nBus=A\nNode=1\n", "[CanSensor 2] node number already used on A"},
        {"[CanSensor 1]\nNode=1\n", "[CanSensor 1] a CAN sensor needs Bus and Node"},
        {"[UsbSensor 1]\nIdentity=T2604001\n", "[UsbSensor 1] bad entry Identity=T2604001"},
        {"[UsbSensor 1]\nProfile=warm:1\n",
         "[UsbSensor 1] Profile=warm:1: temperature profile \"warm:1\": unknown kind or wrong number of values"},
        {"[UsbSensor 1]\nNode=3\n", "[UsbSensor 1] bad entry Node=3"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseMachineDescription(c.text, ".", &error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
}

namespace {

// What machinectl --file FILE list prints and returns.
int MachinectlList(const std::filesystem::path& file, std::string* out) {
    std::string tool = std::string(MACHINECTL_PATH) + " --file '" + file.string() + "' list 2>&1";
    FILE* p = popen(tool.c_str(), "r");
    if (!p) return -1;
    char buf[256];
    out->clear();
    while (fgets(buf, sizeof buf, p)) *out += buf;
    return WEXITSTATUS(pclose(p));
}

}  // namespace

// Machine files that are not what they claim: each is refused with the section and entry (or
// line) named, by the parser and by machinectl, instead of making a machine of nothing or of
// something else.
TEST(MachineDescription, HostileFilesAreRefused) {
    struct {
        std::string text;
        std::string error;
    } cases[] = {
        {"", "not a machine description: no section"},
        {"; only a comment\n\n", "not a machine description: no section"},
        {std::string("\x7F" "ELF\x02\x01\x01\0\0\0", 10), "not a machine description: the file holds NUL bytes"},
        {"\x89PNG\r\n\x1A\n[Machine]\n", "line 1: not an entry (key=value): \x89PNG"},
        {"[Machine]\nName=a\n\x01\x02\x03\n", "[Machine] line 3: not an entry (key=value): \x01\x02\x03"},
        {"Name=x\n[Machine]\n", "line 1: entry outside any section: Name=x"},
        {"[Board 1\nKind=FIFO\n", "line 1: not a section header: [Board 1"},
        {"[Machine]\nName=a\n[MACHINE]\nName=b\n", "[MACHINE] appears twice"},
        {"[UsbSensor 1]\nIdNumber=1\n[Board 1]\n[UsbSensor 1]\nIdNumber=2\n", "[UsbSensor 1] appears twice"},
        {"[CanSensor 1]\nBus=CAN9\nNode=1\n",
         "[CanSensor 1] Bus=CAN9: no such bus (no [Bus CAN9] section, no board on it)"},
        {"[UsbSensor 1]\nProfile=constant:nan\n", "[UsbSensor 1] Profile=constant:nan: temperature profile "
                                                  "\"constant:nan\": bad number (a finite decimal number is needed)"},
        {"[UsbSensor 1]\nProfile=ramp:20,inf\n", "[UsbSensor 1] Profile=ramp:20,inf: temperature profile "
                                                 "\"ramp:20,inf\": bad number (a finite decimal number is needed)"},
        {"[UsbSensor 1]\nProfile=file:/dev/zero\n", "[UsbSensor 1] Profile=file:/dev/zero: temperature profile "
                                                    "\"file:/dev/zero\": /dev/zero: not a regular file"},
    };
    const auto dir = std::filesystem::temp_directory_path() / ("hw_hostile_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    int index = 0;
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseMachineDescription(c.text, ".", &error)) << c.text;
        EXPECT_EQ(error, c.error);
        const auto file = dir / ("m" + std::to_string(index++) + ".ini");
        ASSERT_TRUE(platform::WriteHostFileAtomic(file, c.text));
        std::string out;
        EXPECT_EQ(MachinectlList(file, &out), 1) << out;
        EXPECT_NE(out.find(c.error), std::string::npos) << out;
    }
    // A profile that names a FIFO nobody writes to is refused at once (it was waited on for ever),
    // and so is a machine file that is a device (it was read into gigabytes).
    const auto fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string error;
    EXPECT_FALSE(ParseMachineDescription("[UsbSensor 1]\nProfile=file:" + fifo.string() + "\n", ".", &error));
    EXPECT_NE(error.find(fifo.string() + ": not a regular file"), std::string::npos) << error;
    EXPECT_FALSE(Machine::Load("/dev/zero", std::make_shared<ManualClock>(), &error));
    EXPECT_EQ(error, "/dev/zero: not a regular file");
    std::string out;
    EXPECT_EQ(MachinectlList(fifo, &out), 1) << out;
    EXPECT_NE(out.find("not a regular file"), std::string::npos) << out;
    std::filesystem::remove_all(dir);
}

TEST(IniText, SetKeepsEveryOtherLine) {
    IniText ini("; note\n[A]\nx=1\n\n[B]\ny=2\n");
    ini.Set("a", "X", "5");
    ini.Set("B", "z", "3");
    ini.Set("C", "w", "4");
    EXPECT_EQ(ini.Text(), "; note\n[A]\nx=5\n\n[B]\ny=2\nz=3\n\n[C]\nw=4\n");
    EXPECT_EQ(ini.Get("b", "Y"), "2");
    EXPECT_FALSE(ini.Get("A", "y"));
    // A section name whose Shift-JIS trail byte is ']' (0x83 0x5D) ends at the real bracket.
    IniText sj("[UsbSensor \x83\x5D]\nIdNumber=4\n");
    ASSERT_EQ(sj.Sections(), std::vector<std::string>{"UsbSensor \x83\x5D"});
    EXPECT_EQ(sj.Get("UsbSensor \x83\x5D", "IdNumber"), "4");
}

TEST(Machine, DefaultMachineAnswersABroadcastPollAndFollowsPlugging) {
    auto clock = std::make_shared<ManualClock>();
    std::string error;
    auto m = Machine::FromText(DefaultMachineText(), clock, &error);
    ASSERT_TRUE(m) << error;
    m->SetFastMode(true);
    EXPECT_EQ(PollAll(*m, *clock), (std::vector<uint32_t>{1, 2, 3}));

    Recorder rec;
    m->SetListener(&rec);
    ASSERT_TRUE(m->Unplug("CanSensor 2", &error)) << error;
    EXPECT_FALSE(m->Unplug("CanSensor 2", &error));
    EXPECT_EQ(PollAll(*m, *clock), (std::vector<uint32_t>{1, 3}));
    ASSERT_TRUE(m->Plug("cansensor 2", &error));
    EXPECT_EQ(PollAll(*m, *clock), (std::vector<uint32_t>{1, 2, 3}));

    auto devices = m->PluggedDevices();
    int port = 0;
    for (const auto& d : devices)
        if (d.name == "UsbSensor 1") port = d.usb_port;
    ASSERT_NE(port, 0);
    EXPECT_EQ(m->usb_host().PortStatus(port), USBD_PORT_CONNECTED | USBD_PORT_ENABLED);
    ASSERT_TRUE(m->Unplug("UsbSensor 1", &error));
    EXPECT_EQ(m->usb_host().PortStatus(port), 0u);
    ASSERT_TRUE(m->Unplug("Board 1", &error));
    EXPECT_EQ(m->board("Board 1")->channel(0).Read8(BRD_CHANNEL_INDEX), 0xFF);
    EXPECT_EQ(m->board("Board 1")->channel(0).ConfigRead(PCI_VENDOR_ID, 2), 0xFFFFu);
    ASSERT_TRUE(m->Plug("Board 1", &error));
    EXPECT_EQ(m->board("Board 1")->channel(1).Read8(BRD_CHANNEL_INDEX), 1);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"-CanSensor 2", "+CanSensor 2", "-UsbSensor 1", "-Board 1",
                                                     "+Board 1"}));
    m->SetListener(nullptr);
}

TEST(Machine, StoredIdNumberIsWrittenBackToTheMachineFile) {
    auto dir = std::filesystem::temp_directory_path() / ("hw_machine_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto file = dir / "test.machine";
    ASSERT_TRUE(platform::WriteHostFileAtomic(file, DefaultMachineText()));
    auto clock = std::make_shared<ManualClock>();
    std::string error;
    {
        auto m = Machine::Load(file, clock, &error);
        ASSERT_TRUE(m) << error;
        m->SetFastMode(true);
        // SetIdNumber 77 over USB to the unit with ID 11.
        int port = 0;
        for (const auto& d : m->PluggedDevices())
            if (d.name == "UsbSensor 1") port = d.usb_port;
        auto& host = m->usb_host();
        std::vector<uint8_t> cfg(18 + 64);
        Urb sel;
        auto run = [&](Urb& u) {
            std::promise<void> done;
            u.on_complete = [&](Urb&) { done.set_value(); };
            host.Submit(port, &u);
            ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
        };
        Urb gd;
        gd.function = UrbFunction::kGetDescriptorFromDevice;
        gd.descriptor_type = USB_DESC_CONFIGURATION;
        gd.buffer = cfg.data();
        gd.length = static_cast<uint32_t>(cfg.size());
        run(gd);
        sel.function = UrbFunction::kSelectConfiguration;
        sel.configuration = cfg.data();
        run(sel);
        ASSERT_EQ(sel.status, USBD_STATUS_SUCCESS);
        uint8_t cmd[8] = {0, 4, 0, 77, 0, 0, 0, 0};
        Urb w;
        w.pipe = sel.interfaces[0].pipes[0].handle;
        w.buffer = cmd;
        w.length = 8;
        run(w);
        ASSERT_EQ(w.status, USBD_STATUS_SUCCESS);
        // SetPowerFrequency 60 Hz broadcast on the bus: every node stores it; node 2 here.
        m->sensor("CanSensor 2")->Handle({0, 14, 0, 1, 0, 0, 0, 0}, SensorFirmware::Transport::kCan, true);
        EXPECT_EQ(m->persist_error(), "");
    }
    auto text = platform::ReadHostFile(file);
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("[UsbSensor 1]\nIdNumber=77\n"), std::string::npos);
    EXPECT_NE(text->find("; The default machine"), std::string::npos);  // comments kept
    auto again = Machine::Load(file, clock, &error);
    ASSERT_TRUE(again) << error;
    EXPECT_EQ(again->sensor("UsbSensor 1")->settings().id_number, 77);
    EXPECT_EQ(again->sensor("CanSensor 2")->settings().power_frequency, 1) << "60 Hz";
    EXPECT_EQ(again->sensor("CanSensor 1")->settings().power_frequency, 0) << "50 Hz, unchanged";
    auto section = text->find("[CanSensor 2]");
    ASSERT_NE(section, std::string::npos);
    EXPECT_LT(text->find("PowerFrequency=60", section), text->find("[CanSensor 3]"));
    again.reset();
    std::filesystem::remove_all(dir);
}

TEST(Machine, ControlCommands) {
    auto m = Machine::FromText(DefaultMachineText(), std::make_shared<ManualClock>(), nullptr);
    ASSERT_TRUE(m);
    std::string list = m->Control("list");
    EXPECT_EQ(list.rfind("ok\n", 0), 0u);
    EXPECT_NE(list.find("CanSensor 3\tplugged\tCAN node 3 on CAN1, ID 3, T26-04001-0003, 50 Hz"), std::string::npos);
    EXPECT_NE(list.find("Board 1\tplugged\tPCI 1B3E:1C96 subsystem 2402, 2 channel(s), line 11"), std::string::npos);
    EXPECT_EQ(m->Control("fault CanSensor 1 baddata"), "ok\n");
    EXPECT_EQ(m->sensor("CanSensor 1")->settings().fault, SensorFault::kBadData);
    EXPECT_EQ(m->Control("profile UsbSensor 2 constant:-3"), "ok\n");
    EXPECT_EQ(m->sensor("UsbSensor 2")->RawValue(), 0x80000000u | 30000u);
    EXPECT_EQ(m->Control("unplug UsbSensor 2"), "ok\n");
    EXPECT_EQ(m->Control("unplug UsbSensor 2"), "error UsbSensor 2 is not plugged\n");
    EXPECT_EQ(m->Control("fault Nothing 1 none"), "error no sensor named Nothing 1\n");
    EXPECT_EQ(m->Control("errors CAN1 3"), "ok\n");
    EXPECT_EQ(m->Control("errors CAN9 3"), "error no bus named CAN9\n");
    EXPECT_EQ(m->Control("dance"), "error unknown command: dance\n");
}

TEST(Machine, ControlSocketAnswersMachinectl) {
    auto m = Machine::FromText(DefaultMachineText(), std::make_shared<ManualClock>(), nullptr);
    ASSERT_TRUE(m);
    auto path = std::filesystem::temp_directory_path() / ("hw_ctl_" + std::to_string(::getpid()) + ".sock");
    std::string error;
    ASSERT_TRUE(m->ServeControl(path, &error)) << error;
    std::string tool = std::string(MACHINECTL_PATH) + " --socket " + path.string() + " unplug CanSensor 3 2>&1";
    FILE* p = popen(tool.c_str(), "r");
    ASSERT_TRUE(p);
    char buf[256];
    std::string out;
    while (fgets(buf, sizeof buf, p)) out += buf;
    EXPECT_EQ(pclose(p), 0) << out;
    EXPECT_FALSE(m->IsPlugged("CanSensor 3"));
    m.reset();
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(Machine, RealClockAndRealTimingStillDeliverEveryReply) {
    // The default machine as programs run it: real clock, wire time and reply delays. The
    // loop only bounds the wait; nothing here depends on how long it takes.
    auto m = Machine::FromText(DefaultMachineText(), nullptr, nullptr);
    ASSERT_TRUE(m);
    PciCanChannel& ch = m->board("Board 1")->channel(0);
    ch.Write8(BRD_MODE, 1);
    for (int r = 0; r < 4; ++r) ch.Write8(SJA_AMR0 + r, 0xFF);
    ch.Write8(SJA_BTR0, 0x05);
    ch.Write8(SJA_BTR1, 0x3A);
    ch.Write8(SJA_MOD, MOD_AFM);
    const uint8_t entry[] = {0x88, 0, 0, 0, 0x00, 0x00, 0x00, 0x08, 0, 6, 0, 0, 0, 0, 0, 0};
    for (uint8_t b : entry) ch.Write8(FIFO_TX_WINDOW, b);
    for (int i = 0; i < 500 && ch.Read8(FIFO_RX_COUNT) < 3; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ch.Read8(FIFO_RX_COUNT), 3);
}
