// The registry editor without widgets: the byte grid, the item dialog's checks, the record it
// builds, the import from the prefix's registry with its key browser, and the list dialog.
#include "editor_fixture.h"
#include "platform/registry.h"
#include "zeriru/editors/binary_grid.h"
#include "zeriru/editors/registry_dialog_model.h"

using namespace zeriru;
namespace reg = platform::registry;

namespace {

using Records = std::vector<std::string>;

struct RegistryTest : EditorFixture {
    std::unique_ptr<reg::Registry> registry;
    std::vector<int> hints;
    std::function<void(int, bool)> showHint = [this](int index, bool) { hints.push_back(index); };

    void SetUp() override {
        EditorFixture::SetUp();
        registry = std::make_unique<reg::Registry>();
        ASSERT_EQ(registry->ProvisionHives(), reg::Status::Ok);
    }
    RegistryItemDialogModel NewDialog() {
        RegistryItemDialogModel dialog(*data, false, showHint);
        dialog.Load(dialog.NewItem());
        return dialog;
    }
    static RegistryDialogModel::ItemDialogRunner Fill(std::function<void(RegistryItemDialogModel&)> fill) {
        return [fill](RegistryItemDialogModel& dialog) {
            fill(dialog);
            return dialog.Ok(nullptr);
        };
    }
    static std::string Record(const std::string& name, const std::string& value) {
        RegistryItem item;
        item.subKey = "Software\\A";
        item.valueName = name;
        item.value = value;
        return item.Write();
    }
};

}  // namespace

TEST(BinaryGrid, CellsTakeHexDigitsAndTheLastFilledCellDecidesTheLength) {
    EXPECT_EQ(FilterBinaryCell("0a"), "0A");
    EXPECT_EQ(FilterBinaryCell("g1z2x"), "12");
    EXPECT_EQ(FilterBinaryCell("abc"), "AB") << "the first two characters";
    EXPECT_EQ(BinaryRowHeader(0), "0000");
    EXPECT_EQ(BinaryRowHeader(2), "0016");
    EXPECT_EQ(BinaryRowHeader(255), "2040");

    std::vector<std::string> cells = BinaryCellsFromValue("");
    ASSERT_EQ(cells.size(), static_cast<std::size_t>(kBinaryGridCells));
    EXPECT_EQ(BinaryValueFromCells(cells), "") << "no cell filled, no byte";
    cells[0] = "0A";
    cells[9] = "FF";
    EXPECT_EQ(BinaryValueFromCells(cells), "0A,00,00,00,00,00,00,00,00,FF");
    cells[3] = "7";
    cells[4] = "zz";
    EXPECT_EQ(BinaryValueFromCells(cells), "0A,00,00,07,00,00,00,00,00,FF") << "one digit is padded, junk is 00";
    EXPECT_EQ(BinaryCellsFromValue("0A,ff,1")[1], "FF");
}

TEST(BinaryGrid, ValuesLongerThanTheGridSurviveAndStopAtTheLimit) {
    std::string longValue;
    for (int i = 0; i < 3000; ++i) longValue += (i ? "," : "") + std::string(i % 2 ? "AB" : "01");
    EXPECT_EQ(BinaryValueFromCells(BinaryCellsFromValue(longValue)), longValue) << "3000 bytes, grid of 2048";
    std::string tooLong;
    for (int i = 0; i < kBinaryValueLimit + 5; ++i) tooLong += (i ? ",FF" : "FF");
    EXPECT_EQ(BinaryCellsFromValue(tooLong).size(), static_cast<std::size_t>(kBinaryValueLimit));
}

TEST_F(RegistryTest, ItemDialogChecksInOrder) {
    struct Case {
        const char* what;
        std::function<void(RegistryItemDialogModel&)> change;
        std::string message;  // empty: accepted
        const char* field;
    } cases[] = {
        {"no sub-key", [](auto& d) { d.subKey = " "; }, S("サブキーを入力してください。"), registry_control::kSubKey},
        {"DWORD not a number", [](auto& d) { d.SetType(2); d.value = "abc"; }, S("数値を入力してください。"),
         registry_control::kValue},
        {"DWORD too large", [](auto& d) { d.SetType(2); d.value = "4294967296"; }, S("数値を入力してください。"),
         registry_control::kValue},
        {"DWORD number", [](auto& d) { d.SetType(2); d.value = "-1"; }, "", ""},
        {"DWORD define", [](auto& d) { d.SetType(2); d.value = "%InputNumber%\\x"; }, "", ""},
        {"a string is anything", [](auto& d) { d.value = "abc"; }, "", ""},
        {"uninstall under an install condition",
         [](auto& d) {
             d.SetTiming(1);
             d.condition.timing = kConditionInstall;
             d.condition.registry.subKey = "K";
         },
         S("条件が無効です。"), condition_control::kTiming},
        {"uninstall under a condition of both",
         [](auto& d) {
             d.SetTiming(1);
             d.condition.timing = kConditionBoth;
             d.condition.registry.subKey = "K";
         },
         "", ""},
        {"both under any condition",
         [](auto& d) {
             d.SetTiming(2);
             d.condition.timing = kConditionUninstall;
             d.condition.registry.subKey = "K";
         },
         "", ""},
        {"condition without its sub-key", [](auto& d) { d.condition.timing = kConditionInstall; },
         S("サブキーを入力してください。"), condition_control::kSubKey},
        {"file condition below an unknown define",
         [](auto& d) {
             d.condition.timing = kConditionInstall;
             d.condition.type = kConditionFileExists;
             d.condition.folder.define = "D:\\tools";
             d.condition.folder.fileName = "a.exe";
         },
         "", ""},
        {"file condition below a define that is no folder",
         [](auto& d) {
             d.condition.timing = kConditionInstall;
             d.condition.type = kConditionFileExists;
             d.condition.folder.define = "%Date%";
             d.condition.folder.fileName = "a.exe";
         },
         S("サポートしていないフォルダ定数か、この項目では使用できないフォルダ定数です。"), condition_control::kFolderDefine},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RegistryItemDialogModel dialog = NewDialog();
        dialog.subKey = "Software\\A";
        c.change(dialog);
        CheckOutcome result;
        const bool ok = dialog.Ok(&result);
        if (c.message.empty()) {
            EXPECT_TRUE(ok) << (result ? platform::sjis::ToUtf8(result->message) : "");
            continue;
        }
        ASSERT_TRUE(result);
        EXPECT_EQ(result->message, c.message);
        EXPECT_EQ(result->field, c.field);
    }
}

TEST_F(RegistryTest, TheRecordCarriesTheConditionOptionsAndTimingAndTheBinaryValueOfTheGrid) {
    store.SetDword("Option", "DOzoze_Mode", 1);
    Reopen();
    LoadProject("[OSSetting]\nOSVersion=288\nSPVersion=0,0,2,0,0,1\n");
    data->SetProject(&project);
    RegistryItemDialogModel dialog = NewDialog();
    EXPECT_TRUE(dialog.OtherPageVisible());
    EXPECT_EQ(dialog.os.mask, 288) << "a new item starts with the project's systems";
    dialog.root = "HKEY_LOCAL_MACHINE";
    dialog.subKey = S("Software\\見本");
    dialog.valueName = "";
    dialog.SetType(registry_value_type::kBinary);
    dialog.SetCell(0, "0a");
    dialog.SetCell(3, "ff");
    dialog.SetTiming(process_timing::kBoth);
    dialog.options = registry_option::kKeepExisting | registry_option::kDeleteParentKeys;
    dialog.condition.timing = kConditionBoth;
    dialog.condition.type = kConditionIniValueEquals;
    dialog.condition.ini.parameter = S("設定\\");
    dialog.condition.ini.section = "S";
    dialog.condition.ini.valueName = "K";
    dialog.condition.ini.value = "a,b";
    ASSERT_TRUE(dialog.Ok(nullptr));
    const std::string record = dialog.Item().Write();
    EXPECT_EQ(record, "HKEY_LOCAL_MACHINE|" + S("Software\\見本") + "||0A,00,00,FF|3|" + "3,7,%InstallDir%," +
                          S("設定") + ",K,a\x03" "b,5,S,,2,|288|0,0,2,0,0,1|||||||||||||")
        << "the parameter lost its trailing separator, the value its comma";
    const RegistryItem back = RegistryItem::Read(record);
    EXPECT_EQ(back.options(), 5);
    EXPECT_EQ(back.timing(), process_timing::kBoth);
    EXPECT_EQ(back.condition.value, "a,b");
    EXPECT_EQ(RegistryColumnText(record, 2), S("(既定)"));
    EXPECT_EQ(RegistryColumnText(record, 4), "XP/Win7");
}

TEST_F(RegistryTest, ChangingTheTypeClearsTheValueAndTheHintComesOnlyFromTheUser) {
    RegistryItem stored;
    stored.type = registry_value_type::kBinary;
    stored.value = "01,02";
    stored.condition.processing = process_timing::kUninstall;
    RegistryItemDialogModel dialog(*data, false, showHint);
    dialog.Load(stored);
    EXPECT_EQ(dialog.cells[1], "02") << "loading fills the grid";
    EXPECT_TRUE(hints.empty()) << "loading an uninstall item shows no hint";
    dialog.SetTiming(process_timing::kInstall);
    dialog.SetTiming(process_timing::kBoth);
    EXPECT_EQ(hints, std::vector<int>{5});
    dialog.SetType(registry_value_type::kString);
    EXPECT_EQ(dialog.Item().value, "");
    dialog.value = "text";
    dialog.SetType(registry_value_type::kBinary);
    EXPECT_EQ(dialog.Item().value, "") << "the grid was cleared too";
    EXPECT_EQ(dialog.ValueBuilder().mask(), kMaskAny);
    dialog.SetType(registry_value_type::kDword);
    EXPECT_EQ(dialog.ValueBuilder().mask(), kMaskDWord);
    EXPECT_EQ(dialog.ConditionDefineChoices().front(), "%InstallDir%");
}

TEST_F(RegistryTest, ImportTurnsFourValueTypesIntoItemsAndLeavesTheRestOut) {
    const std::string key = S("Software\\見本工房");
    registry->SetValue(reg::Root::CurrentUser, key, "Name", reg::Value::String(S("見本|1")));
    registry->SetValue(reg::Root::CurrentUser, key, "Path", reg::Value::ExpandString("%TEMP%\\x"));
    registry->SetValue(reg::Root::CurrentUser, key, "Count", reg::Value::Dword(4000000000u));
    registry->SetValue(reg::Root::CurrentUser, key, "Data", reg::Value::Binary(std::string("\x0a\xff\x00", 3)));
    registry->SetValue(reg::Root::CurrentUser, key, "List", reg::Value::MultiString({"a", "b"}));
    registry->SetValue(reg::Root::CurrentUser, key, "Lines", reg::Value::String("a\r\nb"));
    LoadProject("[RegistryItems]\n0=" + Record("x", "1") + "\n");
    RegistryDialogModel model(*data, *registry, showHint);
    model.Load(project, false);
    const int added = model.Import(ui, [&](RegistryImportDialogModel& import) {
        EXPECT_EQ(import.root(), "HKEY_CURRENT_USER");
        EXPECT_TRUE(import.Ok()) << "nothing listed yet";
        EXPECT_EQ(import.Ok()->message, S("入力されたキーには対象となる値が存在しません"));
        import.SetKey(platform::sjis::ToUpper(key));
        EXPECT_EQ(import.values().size(), 4u);
        EXPECT_EQ(RegistryImportDialogModel::TypeText(import.values()[2].type), "REG_DWORD");
        return !import.Ok();
    });
    EXPECT_EQ(added, 4);
    EXPECT_TRUE(model.items().enabled());
    model.Write(project);
    const Records items = Items("RegistryItems");
    ASSERT_EQ(items.size(), 5u);
    const std::string upper = platform::sjis::ToUpper(key);
    const std::string tail = "||65535|0,0,0,0,0,0|||||||||||||";
    EXPECT_EQ(items[1], "HKEY_CURRENT_USER|" + upper + "|Name|" + S("見本\x02") + "1|0" + tail);
    EXPECT_EQ(items[2], "HKEY_CURRENT_USER|" + upper + "|Path|%TEMP%\\x|1" + tail);
    EXPECT_EQ(items[3], "HKEY_CURRENT_USER|" + upper + "|Count|4000000000|2" + tail);
    EXPECT_EQ(items[4], "HKEY_CURRENT_USER|" + upper + "|Data|0A,FF,00|3" + tail);
}

TEST_F(RegistryTest, ImportStopsAtTheLimitWithItsMessage) {
    registry->SetValue(reg::Root::LocalMachine, "K", "a", reg::Value::Dword(1));
    registry->SetValue(reg::Root::LocalMachine, "K", "b", reg::Value::Dword(2));
    registry->SetValue(reg::Root::LocalMachine, "K", "c", reg::Value::Dword(3));
    for (int i = 0; i < 4998; ++i) project.WriteString("RegistryItems", std::to_string(i), Record("x", "1"));
    RegistryDialogModel model(*data, *registry, showHint);
    model.Load(project, false);
    const int added = model.Import(ui, [](RegistryImportDialogModel& import) {
        import.SetRoot("HKEY_LOCAL_MACHINE");
        import.SetKey("K");
        return true;
    });
    EXPECT_EQ(added, 2);
    EXPECT_EQ(model.items().size(), 5000);
    EXPECT_EQ(ui.messages(), Records{S("最大登録可能数は 5000 までです。")});
    ui.clear();
    EXPECT_EQ(model.Import(ui, [](RegistryImportDialogModel&) { return true; }), 0);
    EXPECT_EQ(ui.messages(), Records{S("最大登録可能数は 5000 までです。")}) << "a full list does not open the dialog";
}

TEST_F(RegistryTest, TheKeyBrowserOpensAlongThePathIgnoringCaseAndOffersKeysBelowARoot) {
    registry->CreateKey(reg::Root::CurrentUser, "Software\\Zuzoruve\\dozoze2");
    registry->CreateKey(reg::Root::CurrentUser, "Software\\Other");
    RegBrowserModel browser(*registry);
    EXPECT_EQ(browser.Caption, S("レジストリキーを選択して下さい"));
    EXPECT_EQ(RegBrowserModel::RootKeys().size(), 5u);
    browser.Root = "hkey_current_user";
    browser.Section = "SOFTWARE\\zuzoruve\\missing\\deeper";
    const RegBrowserModel::Location at = browser.Locate();
    EXPECT_EQ(at.root, "HKEY_CURRENT_USER");
    EXPECT_EQ(at.keys, (Records{"Software", "Zuzoruve"})) << "the deepest key found, in its own spelling";
    EXPECT_TRUE(browser.HasSubKeys("HKEY_CURRENT_USER", "Software\\Zuzoruve"));
    EXPECT_FALSE(browser.HasSubKeys("HKEY_CURRENT_USER", "Software\\Other"));
    EXPECT_EQ(browser.SubKeys("HKEY_CURRENT_USER", "Software"), (Records{"Other", "Zuzoruve"}));
    EXPECT_FALSE(RegBrowserModel::OkEnabled({"HKEY_CURRENT_USER", {}})) << "a root key itself";
    browser.Choose({"HKEY_CURRENT_USER", {"Software", "Other"}});
    EXPECT_EQ(browser.Section, "Software\\Other");
}

TEST_F(RegistryTest, DeletingTheLastItemTurnsTheSwitchOffAndOkAsksAboutAnEmptyList) {
    LoadProject("[Installer]\nEnableRegistrySetting=1\n[RegistryItems]\n0=" + Record("", "v") + "\n");
    RegistryDialogModel model(*data, *registry, showHint);
    model.Load(project, false);
    EXPECT_EQ(model.Copy(0), 1);
    ui.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(model.Delete(ui, {0, 1}));
    EXPECT_FALSE(model.items().enabled());
    model.Write(project);
    EXPECT_EQ(project.ReadString("Installer", "EnableRegistrySetting"), "0");
    EXPECT_EQ(project.EntryCount("RegistryItems"), 0u);

    model.items().SetEnabled(true);
    ui.QueueAnswer(Answer::Yes);
    EXPECT_FALSE(model.ConfirmOk(ui)) << "Yes: the dialog stays open to add items";
    EXPECT_TRUE(model.items().enabled());
    EXPECT_EQ(ui.messages().back(), S("項目が登録されていません。リストに項目を追加しますか。"));
    EXPECT_TRUE(model.ConfirmOk(ui)) << "No: closes";
    EXPECT_FALSE(model.items().enabled());
}

TEST_F(RegistryTest, SortingByValueNameIsTheOrderOkWrites) {
    LoadProject("[RegistryItems]\n0=" + Record("b", "1") + "\n1=" + Record("", "2") + "\n2=" + Record("A", "3") + "\n");
    RegistryDialogModel model(*data, *registry, showHint);
    model.Load(project, false);
    model.SortByColumn(2);
    model.Write(project);
    EXPECT_EQ(Items("RegistryItems"), (Records{Record("", "2"), Record("A", "3"), Record("b", "1")}))
        << "(既定) sorts as its text, after the letters";
}

TEST_F(RegistryTest, AddAndEditKeepTheListAndRecordsInStep) {
    RegistryDialogModel model(*data, *registry, showHint);
    model.Load(project, false);
    const int row = model.Add(ui, Fill([](RegistryItemDialogModel& d) {
        d.subKey = "Software\\B";
        d.valueName = "V";
        d.value = "1";
    }));
    ASSERT_EQ(row, 0);
    EXPECT_TRUE(model.items().enabled());
    EXPECT_EQ(RegistryItem::Read(model.items().records()[0]).valueName, "V");
    ASSERT_TRUE(model.Edit(0, Fill([](RegistryItemDialogModel& d) {
        EXPECT_EQ(d.subKey, "Software\\B");
        d.value = "2";
    })));
    EXPECT_EQ(RegistryItem::Read(model.items().records()[0]).value, "2");
    EXPECT_EQ(model.Add(ui, Fill([](RegistryItemDialogModel& d) { d.subKey = ""; })), -1) << "a failed check adds nothing";
    EXPECT_EQ(model.items().size(), 1);
}
