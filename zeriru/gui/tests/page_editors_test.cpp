// The uninstall, installer options and application information editors, with the program
// wizard on the installer options' page, opened from the main window on copies of the sample
// project and filled through their dialogs: what lands in the project file byte for byte, and
// in INSTALL.DAT after a build.
#include "gui_fixture.h"
#include "pe_builder.h"
#include "qtsupport/item_list.h"
#include "zeriru/editor_files.h"
#include "zeriru/editors/installer_option_dialog_model.h"
#include "zeriru/ini_document.h"
#include "zeriru/main_window_model.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

#include <set>
#include <sstream>

using namespace zeriru;
using qtsupport::ClickButton;
using qtsupport::testing::Find;
namespace fs = std::filesystem;

namespace {

using Records = std::vector<std::string>;
using Edit = std::function<void(QDialog&)>;

struct PageEditorsTest : GuiTest {
    std::string path;

    // A copy of the sample built as a copy to C:\out, with `extra` written into it as
    // (section, key, value).
    void OpenSample(const std::vector<std::array<std::string, 3>>& extra = {}) {
        path = SampleCopy("pages", {{"CreateFileType", "1"}, {"CreateFolder", "C:\\out"}});
        TIniDocument doc = TIniDocument::OpenWindowsPath(path);
        for (const auto& [section, key, value] : extra) doc.WriteString(section, key, value);
        ASSERT_TRUE(doc.SaveAs(Host(path)));
        form->StartUp({Host(path).string()});
    }
    std::string Bytes() const {
        std::ifstream in(Host(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void PutBytes(const std::string& bytes) const { std::ofstream(Host(path), std::ios::binary) << bytes; }
    TIniDocument Project() const { return TIniDocument::OpenWindowsPath(path); }
    static Records Items(const TIniDocument& doc, const char* section) {
        Records out;
        for (const auto& [name, value] : doc.ReadSectionValues(section)) out.push_back(value);
        return out;
    }
    // Runs the editor with one scripted turn of its dialog and, for each further dialog it
    // opens, one more turn.
    EditOutcome Run(SettingEditorKind kind, std::vector<Edit> turns) {
        for (Edit& turn : turns) runner.Queue(std::move(turn));
        return model().EditSetting(kind);
    }
    static void Page(QDialog& d, const char* name) {
        auto* pages = Find<QTabWidget>(d, "PageControl");
        pages->setCurrentWidget(Find<QWidget>(d, name));
    }
    static QStringList Rows(QDialog& d, const char* view, int column) {
        QAbstractItemModel* rows = Find<qtsupport::ItemListView>(d, view)->model();
        QStringList out;
        for (int r = 0; r < rows->rowCount(); ++r) out << rows->index(r, column).data().toString();
        return out;
    }
    // The program wizard's turn for an outside file `name` in %InstallDir%; the sample runs its
    // programs one by one, so the item's text is asked for on "その他".
    static Edit OutsideProgram(const char* name) {
        return [name](QDialog& d) {
            EXPECT_EQ(d.objectName(), QStringLiteral("frmProgramFileSelectDialog"));
            Find<QRadioButton>(d, "rbOutsideFile")->setChecked(true);
            ClickButton(d, "btnOk");  // to "ファイルの指定"
            Find<QLineEdit>(d, "edtFileName")->setText(QString::fromLatin1(name));
            ClickButton(d, "btnOk");  // to "その他"
            EXPECT_EQ(Find<QTabWidget>(d, "PageControl")->currentWidget()->objectName(), QStringLiteral("tsOther"));
            Find<QLineEdit>(d, "edtItemText")->setText(QString::fromLatin1(name));
            ClickButton(d, "btnOk");
        };
    }
};

// The lines of `after` that differ from those of `before`, as "section/key" -> (before, after),
// leaving out the time of the last save the main window stamps on every confirmed edit.
std::map<std::string, std::pair<std::string, std::string>> ChangedValues(const std::string& before,
                                                                         const std::string& after) {
    auto lines = [](const std::string& text) {
        std::vector<std::pair<std::string, std::string>> out;  // (section/key, line)
        std::istringstream in(text);
        std::string section;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty() && line.front() == '[') section = line;
            out.emplace_back(section + "/" + line.substr(0, line.find('=')), line);
        }
        return out;
    };
    const auto a = lines(before), b = lines(after);
    std::map<std::string, std::pair<std::string, std::string>> changed;
    EXPECT_EQ(a.size(), b.size()) << "no line added or removed";
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i].second != b[i].second) changed[a[i].first] = {a[i].second, b[i].second};
    changed.erase("[Project]/UpdateDateTime");
    return changed;
}

void UntickWindows95(QDialog& d) {
    PageEditorsTest::Page(d, "tsOs");
    auto* lines = Find<QListWidget>(d, "clbOs");
    ASSERT_EQ(lines->item(0)->text(), QStringLiteral("Windows 95"));
    lines->item(0)->setCheckState(Qt::Unchecked);
}

}  // namespace

TEST_F(PageEditorsTest, TheOsQuestionRewritesOnlyTheOsFieldsOfTheListsOnYesAndNoneOnNo) {
    OpenSample();
    // OK without a change writes the dialog's every key: the base of the comparison.
    ASSERT_EQ(Run(SettingEditorKind::InstallerOption, {[](QDialog& d) { ClickButton(d, "btnOk"); }}),
              EditOutcome::Confirmed);
    EXPECT_TRUE(ui.messages().empty()) << "no question without a change";
    const std::string base = Bytes();

    ui.QueueAnswer(Answer::Yes);
    ASSERT_EQ(Run(SettingEditorKind::InstallerOption, {[](QDialog& d) {
                  UntickWindows95(d);
                  ClickButton(d, "btnOk");
              }}),
              EditOutcome::Confirmed);
    EXPECT_EQ(ui.messages().back(), S("対象OSが変更されました。それらの変更をすべての設定に反映させますか？"));
    const auto changed = ChangedValues(base, Bytes());
    const std::set<std::string> expected = {"[OSSetting]/OSVersion", "[Files]/0", "[Files]/1", "[Files]/2",
                                            "[Files]/3", "[Files]/4", "[Files]/5", "[RegistryItems]/0",
                                            "[IniFileItems]/0"};
    std::set<std::string> keys;
    for (const auto& [key, lines] : changed) {
        keys.insert(key);
        std::string want = lines.first;
        const std::size_t at = key == "[OSSetting]/OSVersion" ? want.find("=65535") : want.find("|65535|");
        ASSERT_NE(at, std::string::npos) << lines.first;
        want.replace(at + 1, 5, "65534");
        EXPECT_EQ(lines.second, want) << "only the mask field: " << key;
    }
    EXPECT_EQ(keys, expected) << "the shortcut list carries no OS target";

    PutBytes(base);
    ui.QueueAnswer(Answer::No);
    ASSERT_EQ(Run(SettingEditorKind::InstallerOption, {[](QDialog& d) {
                  UntickWindows95(d);
                  ClickButton(d, "btnOk");
              }}),
              EditOutcome::Confirmed);
    const auto onNo = ChangedValues(base, Bytes());
    ASSERT_EQ(onNo.size(), 1u);
    EXPECT_EQ(onNo.begin()->first, "[OSSetting]/OSVersion") << "the lists keep every byte";
}

TEST_F(PageEditorsTest, ProgramsAddedThroughTheWizardAreReorderedAndAnEmptyListTurnsTheSettingOff) {
    OpenSample();
    ASSERT_EQ(Run(SettingEditorKind::InstallerOption, {[](QDialog& d) {
                                                          Page(d, "tsProgram");
                                                          Find<QCheckBox>(d, "chkProgram")->setChecked(true);
                                                          ClickButton(d, "btnProgramAdd");
                                                          ClickButton(d, "btnProgramAdd");
                                                          EXPECT_EQ(Rows(d, "lvProgram", 1),
                                                                    QStringList({"a.exe", "b.exe"}));
                                                          ClickButton(d, "btnOk");
                                                      },
                                                      OutsideProgram("a.exe"), OutsideProgram("b.exe")}),
              EditOutcome::Confirmed);
    TIniDocument doc = Project();
    EXPECT_TRUE(doc.ReadBool("Installer", "EnableProgramSetting", false));
    const Records added = Items(doc, "ProgramItems");
    ASSERT_EQ(added.size(), 2u);
    EXPECT_NE(added[0].find("a.exe"), std::string::npos);

    ASSERT_EQ(Run(SettingEditorKind::InstallerOption, {[](QDialog& d) {
                  Page(d, "tsProgram");
                  Find<qtsupport::ItemListView>(d, "lvProgram")->selectRowOnly(1);
                  ClickButton(d, "btnProgramUp");
                  EXPECT_EQ(Rows(d, "lvProgram", 1), QStringList({"b.exe", "a.exe"}));
                  ClickButton(d, "btnOk");
              }}),
              EditOutcome::Confirmed);
    EXPECT_EQ(Items(Project(), "ProgramItems"), (Records{added[1], added[0]})) << "moved, byte for byte";

    ASSERT_EQ(Run(SettingEditorKind::InstallerOption, {[this](QDialog& d) {
                  Page(d, "tsProgram");
                  auto* view = Find<qtsupport::ItemListView>(d, "lvProgram");
                  for (int i = 0; i < 2; ++i) {
                      view->selectRowOnly(0);
                      ui.QueueAnswer(Answer::Yes);
                      ClickButton(d, "btnProgramDelete");
                  }
                  EXPECT_TRUE(Find<QCheckBox>(d, "chkProgram")->isChecked());
                  ClickButton(d, "btnOk");
                  EXPECT_FALSE(Find<QCheckBox>(d, "chkProgram")->isChecked()) << "OK shows the box it cleared";
              }}),
              EditOutcome::Confirmed);
    doc = Project();
    EXPECT_FALSE(doc.ReadBool("Installer", "EnableProgramSetting", true));
    EXPECT_TRUE(Items(doc, "ProgramItems").empty());
}

TEST_F(PageEditorsTest, TheInformationFileNameStaysWithMethodTwoOnlyAndTheUniqueKeyDeletesIt) {
    OpenSample({{"UninstallSetting", "InfoFileMethod", "2"}, {"UninstallSetting", "InfoFileName", "%InstallDir%\\my.dat"}});
    struct Turn {
        const char* what;
        Edit edit;
        bool kept;
    } turns[] = {
        {"method 2 kept", [](QDialog& d) { ClickButton(d, "btnOk"); }, true},
        {"the unique key",
         [](QDialog& d) {
             Find<QCheckBox>(d, "chkUseUniqueKey")->setChecked(true);
             EXPECT_FALSE(Find<QComboBox>(d, "cmbInfoFileMethod")->isEnabled());
             ClickButton(d, "btnOk");
         },
         false},
    };
    for (Turn& turn : turns) {
        ASSERT_EQ(Run(SettingEditorKind::Uninstall, {turn.edit}), EditOutcome::Confirmed) << turn.what;
        const TIniDocument doc = Project();
        EXPECT_EQ(doc.ValueExists("UninstallSetting", "InfoFileName"), turn.kept) << turn.what;
        if (turn.kept) {
            EXPECT_EQ(doc.ReadString("UninstallSetting", "InfoFileName"), "%InstallDir%\\my.dat");
        }
    }
    const TIniDocument doc = Project();
    EXPECT_EQ(doc.ReadInteger("UninstallSetting", "InfoFileMethod", -1), 1) << "the automatic name";
    EXPECT_TRUE(doc.ReadBool("Project", "UseUniqueKey", false));
}

TEST_F(PageEditorsTest, AProjectEditedInAllFourDialogsBuildsWithWhatWasSet) {
    // The sample's main file, rebuilt as a program image of version 2.5.0.13.
    test::PeImage image;
    image.major = 2, image.minor = 5, image.release = 0, image.build = 13;
    const fs::path main = Host(editor + S("samples\\見本アプリ\\ファイル\\見本.exe"));
    ASSERT_TRUE(fs::exists(main));
    std::ofstream(main, std::ios::binary | std::ios::trunc) << test::BuildPe(image);
    OpenSample();

    ASSERT_EQ(Run(SettingEditorKind::AppInfo, {[this](QDialog& d) {
                  Page(d, "tsVersionInfo");
                  ClickButton(d, "btnGetVersion");
                  EXPECT_TRUE(ui.messages().empty()) << ui.messages().back();
                  EXPECT_EQ(Find<QSpinBox>(d, "udMajor")->value(), 2);
                  EXPECT_EQ(Find<QSpinBox>(d, "udMinor")->value(), 5);
                  EXPECT_EQ(Find<QSpinBox>(d, "udBuild")->value(), 13);
                  ClickButton(d, "btnOk");
              }}),
              EditOutcome::Confirmed);
    ASSERT_EQ(Run(SettingEditorKind::Uninstall, {[](QDialog& d) {
                  Find<QComboBox>(d, "cmbInfoFileMethod")->setCurrentIndex(2);
                  Find<QLineEdit>(d, "edtInfoFileName")->setText(QStringLiteral("%InstallDir%\\info.dat"));
                  ClickButton(d, "btnOk");
              }}),
              EditOutcome::Confirmed);
    ui.QueueAnswer(Answer::Yes);
    ASSERT_EQ(Run(SettingEditorKind::InstallerOption, {[](QDialog& d) {
                                                          Page(d, "tsProgram");
                                                          Find<QCheckBox>(d, "chkProgram")->setChecked(true);
                                                          ClickButton(d, "btnProgramAdd");
                                                          UntickWindows95(d);
                                                          ClickButton(d, "btnOk");
                                                      },
                                                      OutsideProgram("setup2.exe")}),
              EditOutcome::Confirmed);
    const TIniDocument project = Project();
    EXPECT_EQ(project.ReadString("Software", "MajorVersion"), "2");
    EXPECT_EQ(project.ReadString("Software", "BuildVersion"), "13");

    ui.QueueAnswer(Answer::Yes);  // the copy to a folder
    form->action(Action::Build)->trigger();
    ASSERT_TRUE(fs::exists(Host("C:\\out\\INSTALL.DAT"))) << ui.messages().back();
    const TIniDocument dat(Host("C:\\out\\INSTALL.DAT"));
    for (const char* key : {"MajorVersion", "MinorVersion", "ReleaseVersion", "BuildVersion"})
        EXPECT_EQ(dat.ReadString("Software", key), project.ReadString("Software", key)) << key;
    EXPECT_EQ(dat.ReadString("UninstallSetting", "InfoFileMethod"), "2");
    EXPECT_EQ(dat.ReadString("UninstallSetting", "InfoFileName"), "%InstallDir%\\info.dat");
    EXPECT_EQ(dat.ReadString("OSSetting", "OSVersion"), "65534");
    EXPECT_EQ(dat.ReadString("Installer", "EnableProgramSetting"), "1");
    EXPECT_EQ(Items(dat, "ProgramItems"), Items(project, "ProgramItems"));
    EXPECT_EQ(Items(dat, "RegistryItems"), Items(project, "RegistryItems")) << "with the OS change";
}

TEST_F(PageEditorsTest, AReadOnlyProjectOpensEachDialogForViewingWithThePagesHelp) {
    OpenSample();
    ASSERT_EQ(Run(SettingEditorKind::InstallerOption, {[](QDialog& d) {
                                                          Page(d, "tsProgram");
                                                          Find<QCheckBox>(d, "chkProgram")->setChecked(true);
                                                          ClickButton(d, "btnProgramAdd");
                                                          ClickButton(d, "btnOk");
                                                      },
                                                      OutsideProgram("a.exe")}),
              EditOutcome::Confirmed);
    ASSERT_TRUE(SetReadOnlyFile(Host(path), true));
    const std::string before = Bytes();
    struct Case {
        SettingEditorKind kind;
        const char* page;
        const char* field;  // disabled for viewing
        int help;
    } cases[] = {
        {SettingEditorKind::AppInfo, "tsVersionInfo", "btnGetVersion", 422},
        {SettingEditorKind::Uninstall, "tsInformation", "cmbInfoFileMethod", 428},
        {SettingEditorKind::InstallerOption, "tsOs", "clbOs", 434},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Run(c.kind, {[&c](QDialog& d) {
                      EXPECT_FALSE(Find<QPushButton>(d, "btnOk")->isVisible());
                      Page(d, c.page);
                      EXPECT_FALSE(Find<QWidget>(d, c.field)->isEnabled()) << c.field;
                      ClickButton(d, "btnHelp");
                      ClickButton(d, "btnCancel");
                  }}),
                  EditOutcome::Cancelled)
            << c.page;
        EXPECT_EQ(ui.helpTopics().back(), c.help) << c.page;
    }
    // The program list's items can still be looked at, not changed.
    ASSERT_EQ(Run(SettingEditorKind::InstallerOption, {[](QDialog& d) {
                                                          Page(d, "tsProgram");
                                                          EXPECT_FALSE(Find<QPushButton>(d, "btnProgramAdd")->isEnabled());
                                                          Find<qtsupport::ItemListView>(d, "lvProgram")->selectRowOnly(0);
                                                          EXPECT_TRUE(ClickButton(d, "btnProgramEdit"));
                                                          ClickButton(d, "btnCancel");
                                                      },
                                                      [](QDialog& d) {
                                                          EXPECT_EQ(d.objectName(), QStringLiteral("frmProgramFileSelectDialog"));
                                                          EXPECT_FALSE(Find<QWidget>(d, "edtFileName")->isEnabled());
                                                          ClickButton(d, "btnCancel");
                                                      }}),
              EditOutcome::Cancelled);
    EXPECT_EQ(Bytes(), before);
    SetReadOnlyFile(Host(path), false);
}

TEST_F(PageEditorsTest, TheCustomUninstallerGivesItsHintsThroughTheMainWindowAndGetsItsExtension) {
    EditorOptions options = env->settings().ReadOptions();
    options.mode = 1;  // advanced: the uninstaller page shows
    env->settings().WriteOptions(options);
    OpenSample();
    std::vector<QString> hints;
    auto hint = [&hints](QDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("frmHintDialog"));
        hints.push_back(Find<QLabel>(d, "lblHint")->text());
        ClickButton(d, "btnOk");
    };
    ASSERT_EQ(Run(SettingEditorKind::InstallerOption, {[](QDialog& d) {
                                                          Page(d, "tsUninstaller");
                                                          Find<QRadioButton>(d, "rbUninstallerCustom")->setChecked(true);
                                                          Find<QLineEdit>(d, "edtUninstallerFileName")->setText(QStringLiteral("myuninst"));
                                                          ClickButton(d, "btnOk");
                                                      },
                                                      hint, hint}),
              EditOutcome::Confirmed);
    ASSERT_EQ(hints.size(), 2u);
    EXPECT_EQ(hints[0], qtsupport::ToDisplayText(HintText(installer_hint::kCustomUninstaller)));
    EXPECT_EQ(hints[1], qtsupport::ToDisplayText(HintText(installer_hint::kExeAppended)));
    const TIniDocument doc = Project();
    EXPECT_FALSE(doc.ReadBool("Installer", "UnInstallerAutoSetting", true));
    EXPECT_EQ(doc.ReadString("Installer", "UnInstallerFileName"), "myuninst.exe");
}
