// The shortcut, registry and INI file editors opened from the main window on copies of the
// sample project, filled by a test through their dialogs and confirmed: what lands in the
// project file, and in INSTALL.DAT after a build.
#include "gui_fixture.h"
#include "platform/registry.h"
#include "qtsupport/item_list.h"
#include "zeriru/editors/condition.h"
#include "zeriru/editors/shortcut_file_wizard_model.h"
#include "zeriru/ini_document.h"
#include "zeriru/main_window_model.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>

using namespace zeriru;
using qtsupport::ClickButton;
using qtsupport::testing::Find;
namespace fs = std::filesystem;
namespace reg = platform::registry;

namespace {

using Records = std::vector<std::string>;

struct ListEditorsTest : GuiTest {
    std::string path;

    // A copy of the sample built as a copy to C:\out, with `files` as extra [Files] records.
    void OpenSample(const Records& files = {}) {
        path = SampleCopy("lists", {{"CreateFileType", "1"}, {"CreateFolder", "C:\\out"}});
        TIniDocument doc = TIniDocument::OpenWindowsPath(path);
        int next = static_cast<int>(doc.ReadSection("Files").size());
        for (const std::string& record : files) doc.WriteString("Files", std::to_string(next++), record);
        ASSERT_TRUE(doc.SaveAs(Host(path)));
        form->StartUp({Host(path).string()});
    }
    void WriteHostFile(const std::string& windows, const std::string& text) {
        fs::create_directories(Host(windows).parent_path());
        std::ofstream(Host(windows), std::ios::binary) << text;
    }
    Records Items(const TIniDocument& doc, const char* section) const {
        Records out;
        for (const auto& [name, value] : doc.ReadSectionValues(section)) out.push_back(value);
        return out;
    }
    Records Items(const char* section) const { return Items(TIniDocument::OpenWindowsPath(path), section); }
    static QStringList Rows(QDialog& d, const char* view, int column) {
        QAbstractItemModel* rows = Find<qtsupport::ItemListView>(d, view)->model();
        QStringList out;
        for (int r = 0; r < rows->rowCount(); ++r) out << rows->index(r, column).data().toString();
        return out;
    }
    void SetAdvancedMode() {
        EditorOptions options = env->settings().ReadOptions();
        options.mode = 1;
        env->settings().WriteOptions(options);
    }

    // ---- one item through each editor's dialogs ----
    void AddShortCutByHand() {
        runner.Queue([](QDialog& d) {
            ClickButton(d, "btnAdd");
            ClickButton(d, "btnOk");
        });
        runner.Queue([](QDialog& d) {
            Find<QLineEdit>(d, "edtName")->setText(QStringLiteral("Readme"));
            Find<QLineEdit>(d, "edtFileName")->setText(Q("%InstallDir%\\見本.exe"));
            ClickButton(d, "btnOk");
        });
    }
    void AddRegistryValueByHand() {
        runner.Queue([](QDialog& d) {
            ClickButton(d, "btnAdd");
            ClickButton(d, "btnOk");
        });
        runner.Queue([](QDialog& d) {
            Find<QLineEdit>(d, "edtSubKey")->setText(QStringLiteral("Software\\B"));
            Find<QLineEdit>(d, "edtValueName")->setText(QStringLiteral("Level"));
            Find<QComboBox>(d, "cmbValueType")->setCurrentIndex(2);
            Find<QLineEdit>(d, "edtValue")->setText(QStringLiteral("7"));
            ClickButton(d, "btnOk");
        });
    }
    void AddIniEntryByHand() {
        runner.Queue([](QDialog& d) {
            ClickButton(d, "btnAdd");
            ClickButton(d, "btnOk");
        });
        runner.Queue([](QDialog& d) {
            Find<QLineEdit>(d, "edtFileName")->setText(QStringLiteral("app.ini"));
            Find<QLineEdit>(d, "edtSection")->setText(QStringLiteral("Main"));
            Find<QLineEdit>(d, "edtValueName")->setText(QStringLiteral("Port"));
            Find<QLineEdit>(d, "edtValue")->setText(QStringLiteral("8080"));
            ClickButton(d, "btnOk");
        });
    }
};

}  // namespace

TEST_F(ListEditorsTest, AShortcutToAComponentFilesFileSortedByNameReachesTheProjectWithItsPlacesAndMark) {
    WriteHostFile("C:\\comp\\tools.qinc", "[Information]\r\nFileType=ZU_RUZUDUROZAR\r\n[DATA]\r\n"
                                          "0=1|0|%SystemDirectory%|Tools|C:\\src\\tool.dll|\r\n");
    OpenSample({"1|5|(#Include File#)||C:\\comp\\tools.qinc|"});
    runner.Queue([this](QDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("frmShortCutDialog"));
        EXPECT_EQ(Rows(d, "lvShortCut", 0), QStringList{Q("見本アプリ")});
        EXPECT_TRUE(Find<QCheckBox>(d, "chkDefaultDesktop")->isChecked());
        EXPECT_FALSE(Find<QCheckBox>(d, "chkDefaultSendTo")->isEnabled()) << "no item goes to SendTo yet";
        ClickButton(d, "btnAdd");
        EXPECT_EQ(Rows(d, "lvShortCut", 0), (QStringList{Q("見本アプリ"), Q("Aツール")}));
        EXPECT_TRUE(Find<QCheckBox>(d, "chkDefaultSendTo")->isEnabled()) << "the places follow the items";
        Find<QCheckBox>(d, "chkDefaultSendTo")->setChecked(true);
        Find<qtsupport::ItemListView>(d, "lvShortCut")->horizontalHeader()->sectionClicked(0);
        EXPECT_EQ(Rows(d, "lvShortCut", 0), (QStringList{Q("Aツール"), Q("見本アプリ")}));
        ClickButton(d, "btnOk");
    });
    runner.Queue([this](QDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("frmShortCutItemDialog"));
        Find<QLineEdit>(d, "edtName")->setText(Q("Aツール"));
        Find<QCheckBox>(d, "chkTarget4")->setChecked(true);
        ClickButton(d, "btnBrowse");
        EXPECT_EQ(Find<QLineEdit>(d, "edtFileName")->text(), QStringLiteral("%SystemDirectory%\\Tools\\tool.dll"));
        ClickButton(d, "btnOk");
    });
    runner.Queue([](QDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("frmShortCutSelectDialog"));
        ClickButton(d, "btnNext");  // a file of the project
        auto* files = Find<QTreeWidget>(d, shortcut_wizard_control::kFileList);
        QTreeWidgetItem* tool = nullptr;
        for (int i = 0; i < files->topLevelItemCount(); ++i)
            if (files->topLevelItem(i)->text(1) == QStringLiteral("tool.dll")) tool = files->topLevelItem(i);
        ASSERT_NE(tool, nullptr) << "the component file's file is listed";
        files->setCurrentItem(tool);
        ClickButton(d, "btnNext");
    });
    EXPECT_EQ(model().EditSetting(SettingEditorKind::ShortCut), EditOutcome::Confirmed);
    EXPECT_EQ(runner.pending(), 0u);

    const TIniDocument doc = TIniDocument::OpenWindowsPath(path);
    const Records items = Items(doc, "ShortCutItems");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].substr(0, items[0].find('|', items[0].find('|') + 1)),
              S("Aツール|%SystemDirectory%\\Tools\\tool.dll"));
    EXPECT_EQ(items[1].substr(0, items[1].find('|')), S("見本アプリ"));
    EXPECT_EQ(doc.ReadString("ShortCutSetting", "DefaultCheckBox"), "5") << "desktop and SendTo";
    EXPECT_EQ(doc.ReadString("ButtonStatus", "3"), S("×"));
}

TEST_F(ListEditorsTest, ARegistryImportOfFiveValueTypesAddsFourItemsAndTheGridStoresUpperCase) {
    const std::string key = "Software\\Vendor";
    reg::Registry& registry = env->registry();
    registry.SetValue(reg::Root::CurrentUser, key, "Name", reg::Value::String("app"));
    registry.SetValue(reg::Root::CurrentUser, key, "Path", reg::Value::ExpandString("%TEMP%\\x"));
    registry.SetValue(reg::Root::CurrentUser, key, "Count", reg::Value::Dword(12));
    registry.SetValue(reg::Root::CurrentUser, key, "Data", reg::Value::Binary(std::string("\x0a\xff", 2)));
    registry.SetValue(reg::Root::CurrentUser, key, "List", reg::Value::MultiString({"a", "b"}));
    OpenSample();
    runner.Queue([this](QDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("frmRegistryDialog"));
        Find<QAction>(d, "actImport")->trigger();
        EXPECT_EQ(Rows(d, "lvRegistry", 2),
                  (QStringList{QStringLiteral("InstallDir"), QStringLiteral("Name"), QStringLiteral("Path"),
                               QStringLiteral("Count"), QStringLiteral("Data")}));
        ClickButton(d, "btnAdd");
        ClickButton(d, "btnOk");
    });
    runner.Queue([](QDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("frmRegistryTreeDialog"));
        Find<QLineEdit>(d, "edtKey")->setText(QStringLiteral("SOFTWARE\\VENDOR"));
        EXPECT_EQ(Find<QTreeWidget>(d, "lvValues")->topLevelItemCount(), 4) << "the multi-string is left out";
        ClickButton(d, "btnOk");
    });
    runner.Queue([](QDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("frmRegistryItemDialog"));
        Find<QLineEdit>(d, "edtSubKey")->setText(QStringLiteral("Software\\B"));
        Find<QLineEdit>(d, "edtValueName")->setText(QStringLiteral("Bytes"));
        Find<QComboBox>(d, "cmbValueType")->setCurrentIndex(3);
        auto* grid = Find<QTableWidget>(d, "grdBinary");
        ASSERT_TRUE(grid->isVisibleTo(&d));
        auto* first = new QTableWidgetItem;
        grid->setItem(0, 0, first);
        first->setText(QStringLiteral("0a"));
        EXPECT_EQ(first->text(), QStringLiteral("0A"));
        auto* third = new QTableWidgetItem;
        grid->setItem(0, 2, third);
        third->setText(QStringLiteral("f"));
        ClickButton(d, "btnOk");
    });
    EXPECT_EQ(model().EditSetting(SettingEditorKind::Registry), EditOutcome::Confirmed);
    EXPECT_EQ(runner.pending(), 0u);

    const Records items = Items("RegistryItems");
    ASSERT_EQ(items.size(), 6u);
    const auto fields = [](const std::string& record) {
        std::vector<std::string> out;
        std::size_t at = 0;
        for (int i = 0; i < 5; ++i) {
            const std::size_t bar = record.find('|', at);
            out.push_back(record.substr(at, bar - at));
            at = bar + 1;
        }
        return out;
    };
    using F = std::vector<std::string>;
    EXPECT_EQ(fields(items[1]), (F{"HKEY_CURRENT_USER", "SOFTWARE\\VENDOR", "Name", "app", "0"}));
    EXPECT_EQ(fields(items[2]), (F{"HKEY_CURRENT_USER", "SOFTWARE\\VENDOR", "Path", "%TEMP%\\x", "1"}));
    EXPECT_EQ(fields(items[3]), (F{"HKEY_CURRENT_USER", "SOFTWARE\\VENDOR", "Count", "12", "2"}));
    EXPECT_EQ(fields(items[4]), (F{"HKEY_CURRENT_USER", "SOFTWARE\\VENDOR", "Data", "0A,FF", "3"}));
    EXPECT_EQ(fields(items[5])[3], "0A,00,0F") << "blank cells before the last filled one count as 00";
    EXPECT_EQ(TIniDocument::OpenWindowsPath(path).ReadString("ButtonStatus", "4"), S("×"));
}

TEST_F(ListEditorsTest, AnIniImportAndAConditionalItemGiveTheExactRecordsAndReopenAsTheyWere) {
    WriteHostFile("C:\\conf\\app.ini", "[Main]\r\na=1\r\nb=two\r\nc=3\r\n[Other]\r\nx=|\r\ny=\r\nz=9\r\n");
    SetAdvancedMode();
    OpenSample();
    QStringList shown;
    runner.Queue([this, &shown](QDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("frmIniFileDialog"));
        ui.QueueFiles({"C:\\conf\\app.ini"});
        Find<QAction>(d, "actImport")->trigger();
        ClickButton(d, "btnAdd");
        shown = Rows(d, "lvIniFile", 3) + Rows(d, "lvIniFile", 4) + Rows(d, "lvIniFile", 5);
        ClickButton(d, "btnOk");
    });
    runner.Queue([](QDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("frmIniFileAddItemDialog"));
        Find<QLineEdit>(d, "edtFileName")->setText(QStringLiteral("cond.ini"));
        Find<QLineEdit>(d, "edtSection")->setText(QStringLiteral("S"));
        Find<QLineEdit>(d, "edtValueName")->setText(QStringLiteral("K"));
        Find<QLineEdit>(d, "edtValue")->setText(QStringLiteral("V"));
        Find<QComboBox>(d, "cmbConditionTiming")->setCurrentIndex(kConditionInstall);
        ClickButton(d, "btnOk");
        EXPECT_TRUE(d.isVisible()) << "the condition's key is missing";
        Find<QLineEdit>(d, "edtConditionSubKey")->setText(QStringLiteral("Software\\A"));
        ClickButton(d, "btnOk");
    });
    EXPECT_EQ(model().EditSetting(SettingEditorKind::IniFile), EditOutcome::Confirmed);
    EXPECT_EQ(runner.pending(), 0u);

    const Records items = Items("IniFileItems");
    ASSERT_EQ(items.size(), 8u);
    const std::string tail = "|65535|0,0,0,0,0,0||||||||||||";
    EXPECT_EQ(Records(items.begin() + 1, items.begin() + 7),
              (Records{"0|%InstallDir%||app.ini|Main|a|1" + tail, "0|%InstallDir%||app.ini|Main|b|two" + tail,
                       "0|%InstallDir%||app.ini|Main|c|3" + tail, "0|%InstallDir%||app.ini|Other|x|\x02" + tail,
                       "0|%InstallDir%||app.ini|Other|y|" + tail, "0|%InstallDir%||app.ini|Other|z|9" + tail}));
    EXPECT_EQ(items[7], "0|%InstallDir%||cond.ini|S|K|V|65535|0,0,0,0,0,0|1,0,HKEY_CURRENT_USER,Software\\A,,,0,,,0,|"
                        "||||||||||");

    runner.Queue([&shown](QDialog& d) {
        EXPECT_EQ(Rows(d, "lvIniFile", 3) + Rows(d, "lvIniFile", 4) + Rows(d, "lvIniFile", 5), shown);
        ClickButton(d, "btnCancel");
    });
    EXPECT_EQ(model().EditSetting(SettingEditorKind::IniFile), EditOutcome::Cancelled);
    EXPECT_EQ(shown.size(), 3 * 8);
}

TEST_F(ListEditorsTest, AProjectEditedInAllThreeEditorsIsBuiltWithTheListsAsEdited) {
    OpenSample();
    AddShortCutByHand();
    ASSERT_EQ(model().EditSetting(SettingEditorKind::ShortCut), EditOutcome::Confirmed);
    AddRegistryValueByHand();
    ASSERT_EQ(model().EditSetting(SettingEditorKind::Registry), EditOutcome::Confirmed);
    AddIniEntryByHand();
    ASSERT_EQ(model().EditSetting(SettingEditorKind::IniFile), EditOutcome::Confirmed);
    EXPECT_EQ(runner.pending(), 0u);
    const TIniDocument project = TIniDocument::OpenWindowsPath(path);
    ASSERT_EQ(Items(project, "ShortCutItems").size(), 2u);
    ASSERT_EQ(Items(project, "RegistryItems").size(), 2u);
    ASSERT_EQ(Items(project, "IniFileItems").size(), 2u);

    ui.QueueAnswer(Answer::Yes);  // the copy to a folder
    form->action(Action::Build)->trigger();
    ASSERT_TRUE(fs::exists(Host("C:\\out\\INSTALL.DAT"))) << ui.messages().back();
    const TIniDocument dat(Host("C:\\out\\INSTALL.DAT"));
    for (const char* section : {"ShortCutItems", "RegistryItems", "IniFileItems"})
        EXPECT_EQ(Items(dat, section), Items(project, section)) << section;
    EXPECT_EQ(dat.ReadString("ShortCutSetting", "DefaultCheckBox"), "1");
    EXPECT_EQ(Items(dat, "IniFileItems")[1].substr(0, 36), "0|%InstallDir%||app.ini|Main|Port|80");

    // The built installer, run silently in this prefix, acts on the three lists.
    const std::string install = "'" + Host("C:\\out\\INSTALL.EXE").string() + "' /S </dev/null >/dev/null 2>&1";
    ASSERT_EQ(std::system(install.c_str()), 0);
    reg::Value level;
    ASSERT_EQ(env->registry().GetValue(reg::Root::CurrentUser, "Software\\B", "Level", &level), reg::Status::Ok);
    EXPECT_EQ(level, reg::Value::Dword(7));
    const std::string folder = S("C:\\Program Files\\見本アプリ\\");
    EXPECT_EQ(TIniDocument::OpenWindowsPath(folder + "app.ini").ReadString("Main", "Port"), "8080");
    bool linked = false;
    for (const auto& entry : fs::recursive_directory_iterator(root_))
        linked = linked || entry.path().filename() == "Readme.lnk";
    EXPECT_TRUE(linked) << "the shortcut added by hand";
}

TEST_F(ListEditorsTest, TheIconWizardsOutsideFileStartsAtTheInstallFolderAndComposesItsPath) {
    OpenSample();
    runner.Queue([](QDialog& d) {
        Find<qtsupport::ItemListView>(d, "lvShortCut")->selectRowOnly(0);
        ClickButton(d, "btnEdit");
        ClickButton(d, "btnOk");
    });
    runner.Queue([](QDialog& d) {
        ClickButton(d, "btnIconBrowse");
        EXPECT_EQ(Find<QLineEdit>(d, "edtIconFileName")->text(), QStringLiteral("%InstallDir%\\icons\\app.ico"));
        ClickButton(d, "btnOk");
    });
    runner.Queue([](QDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("frmIconFileSelectDialog"));
        ClickButton(d, "rbSource1");  // a file outside the project
        ClickButton(d, "btnNext");
        EXPECT_EQ(Find<QComboBox>(d, shortcut_wizard_control::kDefine)->currentText(), QStringLiteral("%InstallDir%"));
        Find<QLineEdit>(d, "edtParameter")->setText(QStringLiteral("icons"));
        Find<QLineEdit>(d, shortcut_wizard_control::kFileName)->setText(QStringLiteral("app.ico"));
        ClickButton(d, "btnNext");
    });
    EXPECT_EQ(model().EditSetting(SettingEditorKind::ShortCut), EditOutcome::Confirmed);
    EXPECT_EQ(runner.pending(), 0u);
    const std::string record = Items("ShortCutItems").front();
    EXPECT_NE(record.find("|%InstallDir%\\icons\\app.ico|0|"), std::string::npos) << record;
}

// An empty list with its switch on: the registry's Yes keeps the dialog open to add items, the
// INI file's Yes closes with the switch off.
TEST_F(ListEditorsTest, OkOnAnEmptyListAsksAndEachEditorTakesYesItsOwnWay) {
    OpenSample();
    runner.Queue([this](QDialog& d) {
        Find<qtsupport::ItemListView>(d, "lvRegistry")->selectRowOnly(0);
        ui.QueueAnswer(Answer::Yes);
        ClickButton(d, "btnDelete");
        auto* enable = Find<QCheckBox>(d, "chkEnable");
        EXPECT_FALSE(enable->isChecked()) << "an emptied list turns the switch off";
        enable->setChecked(true);
        ui.QueueAnswer(Answer::Yes);
        ClickButton(d, "btnOk");
        EXPECT_EQ(ui.messages().back(), S("項目が登録されていません。リストに項目を追加しますか。"));
        EXPECT_TRUE(d.isVisible()) << "Yes: items are to be added";
        ui.QueueAnswer(Answer::No);
        ClickButton(d, "btnOk");
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(model().EditSetting(SettingEditorKind::Registry), EditOutcome::Confirmed);
    runner.Queue([this](QDialog& d) {
        ui.QueueAnswer(Answer::Yes);
        ClickButton(d, "btnClear");
        Find<QCheckBox>(d, "chkEnable")->setChecked(true);
        ui.QueueAnswer(Answer::Yes);
        ClickButton(d, "btnOk");
        EXPECT_EQ(ui.messages().back(), S("項目が登録されていませんがよろしいですか。"));
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(model().EditSetting(SettingEditorKind::IniFile), EditOutcome::Confirmed);
    const TIniDocument doc = TIniDocument::OpenWindowsPath(path);
    EXPECT_EQ(doc.ReadString("Installer", "EnableRegistrySetting"), "0");
    EXPECT_EQ(doc.ReadString("Installer", "EnableIniFileSetting"), "0");
    EXPECT_EQ(doc.EntryCount("RegistryItems") + doc.EntryCount("IniFileItems"), 0u);
}

TEST_F(ListEditorsTest, DeletingTheOnlyDesktopShortcutClearsItsInitialPlace) {
    OpenSample();
    runner.Queue([this](QDialog& d) {
        EXPECT_TRUE(Find<QCheckBox>(d, "chkDefaultDesktop")->isChecked());
        Find<qtsupport::ItemListView>(d, "lvShortCut")->selectRowOnly(0);
        ui.QueueAnswer(Answer::Yes);
        ClickButton(d, "btnDelete");
        EXPECT_FALSE(Find<QCheckBox>(d, "chkDefaultDesktop")->isChecked());
        EXPECT_FALSE(Find<QCheckBox>(d, "chkDefaultDesktop")->isEnabled());
        ClickButton(d, "btnOk");
    });
    EXPECT_EQ(model().EditSetting(SettingEditorKind::ShortCut), EditOutcome::Confirmed);
    const TIniDocument doc = TIniDocument::OpenWindowsPath(path);
    EXPECT_EQ(doc.ReadString("ShortCutSetting", "DefaultCheckBox"), "0");
    EXPECT_EQ(doc.ReadString("Installer", "EnableShortCutSetting"), "0");
}
