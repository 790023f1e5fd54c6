// The opening dialog's preselection, the manufacturing-number window, the window placement.
#include "ridaviri/ui/device_dialogs.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/sjis.h"
#include "ridaviri/ui/window_placement.h"

namespace ridaviri {
namespace {

namespace fs = std::filesystem;

TEST(OpeningDialog, PreselectsTheInterfaceOfTheConfiguration) {
    MonitorData data(1);
    struct Case {
        uint8_t kind;
        bool incomplete;
        int checked;
    };
    const Case cases[] = {{0, false, 0}, {1, false, 1}, {2, false, 2}, {7, false, 0}, {1, true, 0}};
    for (const Case& c : cases) {
        data.interfaceKind = c.kind;
        data.stateWord.Reset(c.incomplete ? state::INI_INCOMPLETE : 0);
        EXPECT_EQ(OpeningDialogModel::Preselection(data), c.checked) << int(c.kind) << c.incomplete;
    }
    EXPECT_TRUE(OpeningDialogModel::Choose(data, 1));
    EXPECT_EQ(data.interfaceKind, kInterfaceUsb);
    EXPECT_FALSE(OpeningDialogModel::Choose(data, 2));
    EXPECT_EQ(data.interfaceKind, kInterfaceViewer);
}

struct Units {
    Units() : data(1) {
        for (int i = 0; i < 2; ++i) {
            ChannelRecord& r = data.channels[i];
            r.identity = SensorIdentity{'T', 26, uint16_t((4 << 10) | 1), uint16_t(5 + i)};
            r.idNumber = uint16_t(5 + i);
            r.channelNumber = uint8_t(i == 0 ? 7 : 2);
        }
        data.deviceCount = 2;
    }
    MonitorData data;
    ScriptedMessages messages;
};

TEST(ManufacturingNumber, ChecksOfTheCommand) {
    struct Case {
        const char* what;
        std::function<void(MonitorData&)> change;
        int message;
    };
    const Case cases[] = {
        {"fine", [](MonitorData&) {}, 0},
        {"no units", [](MonitorData& d) { d.deviceCount = 0; }, 1},
        {"a unit without ID", [](MonitorData& d) { d.channels[1].idNumber = 0; }, 5},
        {"a unit without number", [](MonitorData& d) { d.channels[0].identity.typeLetter = 0; }, 13},
        {"the ID is checked first",
         [](MonitorData& d) {
             d.channels[0].identity.typeLetter = 0;
             d.channels[1].idNumber = 0;
         },
         5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Units u;
        c.change(u.data);
        ManufacturingNumberModel model(u.data, u.messages);
        EXPECT_EQ(model.MayOpen(), c.message == 0);
        EXPECT_EQ(u.messages.Numbers(), c.message == 0 ? std::vector<int>{} : std::vector<int>{c.message});
    }
}

TEST(ManufacturingNumber, ListAndShow) {
    Units u;
    ManufacturingNumberModel model(u.data, u.messages);
    ASSERT_EQ(model.Entries(), (std::vector<std::string>{"2", "7"}));
    std::string text = "old";
    EXPECT_FALSE(model.Show(-1, &text));
    EXPECT_EQ(u.messages.Numbers(), std::vector<int>{11});
    EXPECT_EQ(text, "old");
    ASSERT_TRUE(model.Show(1, &text));
    EXPECT_EQ(text, "T26-04001-0005");
    ASSERT_TRUE(model.Show(0, &text));
    EXPECT_EQ(text, "T26-04001-0006");
}

TEST(WindowPlacement, RoundTripAndDefaults) {
    const fs::path folder = fs::temp_directory_path() / ("ridaviri_placement_" + std::to_string(::getpid()));
    fs::remove_all(folder);
    {
        platform::registry::Registry registry(folder);
        ASSERT_EQ(registry.ProvisionHives(), platform::registry::Status::Ok);
        const WindowPlacement fresh = ReadWindowPlacement(registry);
        EXPECT_EQ(fresh, WindowPlacement{});
        EXPECT_TRUE(fresh.Empty());
        EXPECT_EQ(fresh.show, 1);
        const WindowPlacement p{-8, 20, 900, 700, kShowMaximized};
        ASSERT_TRUE(WriteWindowPlacement(registry, p));
        EXPECT_EQ(ReadWindowPlacement(registry), p);
        EXPECT_EQ(registry.GetDword(platform::registry::Root::CurrentUser,
                                    "Software\\Local AppWizard-Generated Applications\\RAdizavizediv\\Window", "right"),
                  900u);
    }
    fs::remove_all(folder);
}

}  // namespace
}  // namespace ridaviri
