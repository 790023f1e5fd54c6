// The dialogs every editor opens, driven through their own controls: the OS target dialog (one
// item and several), the file select dialog, the define builder and the define parameter dialog.
#include "toolkit_fixture.h"

#include "qtsupport/sjis_text.h"
#include "zeriru/editors/record_kinds.h"
#include "zeriru/editors/widgets/define_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

using namespace zeriru;
using namespace zeriru::gui;
using qtsupport::ClickButton;
using qtsupport::testing::Find;

namespace {
constexpr int kXP = 5, k7 = 8;
}

TEST_F(ToolkitTest, OsMask288IsShownAndWrittenBack) {
    project.WriteInteger("OSSetting", "OSVersion", 288);
    const OsTarget start = data->projectOs();  // a new item starts with the project's target
    const std::string record = FilesItemCodec().Make({{files_item::kOsMask, start.MaskText()},
                                                      {files_item::kServicePacks, start.ServicePackText()}});
    runner.Queue([this](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), Q("インストールを許可するOS"));
        auto* lines = Find<QListWidget>(d, "clbOSName");
        ASSERT_EQ(lines->count(), 9);
        for (int line = 0; line < 9; ++line) {
            const bool allowed = line == kXP || line == k7;
            EXPECT_EQ(lines->item(line)->flags().testFlag(Qt::ItemIsEnabled), allowed) << line;
            EXPECT_EQ(lines->item(line)->checkState(), allowed ? Qt::Checked : Qt::Unchecked) << line;
        }
        EXPECT_EQ(lines->item(k7)->text(), QStringLiteral("Windows 7 / Windows Server 2008 R2"));
        auto* xp = Find<QComboBox>(d, "cmbServicePack2");
        EXPECT_TRUE(xp->isEnabled());
        EXPECT_FALSE(Find<QComboBox>(d, "cmbServicePack0")->isEnabled()) << "NT is not allowed";
        xp->setCurrentIndex(2);
        Q_EMIT xp->activated(2);
        lines->item(kXP)->setCheckState(Qt::Unchecked);
        EXPECT_FALSE(xp->isEnabled());
        EXPECT_EQ(xp->currentText(), Q("(指定なし)"));
        lines->item(kXP)->setCheckState(Qt::Checked);
        ClickButton(d, "btnOk");
    });
    const std::optional<OsTarget> edited =
        kit->EditOsTarget(OsTarget::Read(FilesItemCodec().Stored(record, files_item::kOsMask),
                                         FilesItemCodec().Stored(record, files_item::kServicePacks)));
    ASSERT_TRUE(edited);
    const std::string written = FilesItemCodec().Update(
        record, {{files_item::kOsMask, edited->MaskText()}, {files_item::kServicePacks, edited->ServicePackText()}});
    EXPECT_EQ(FilesItemCodec().Stored(written, files_item::kOsMask), "288");
    EXPECT_EQ(FilesItemCodec().Stored(written, files_item::kServicePacks), "0,0,0,0,0,0")
        << "unchecking XP reset its service pack";
}

TEST_F(ToolkitTest, OsDialogForSeveralItemsStartsGrayedAndEmpty) {
    OsDialogModel model(OsTarget{}, 65535, true);
    runner.Queue([](QDialog& d) {
        auto* lines = Find<QListWidget>(d, "clbOSName");
        for (int line = 0; line < 9; ++line) EXPECT_EQ(lines->item(line)->checkState(), Qt::PartiallyChecked);
        EXPECT_TRUE(lines->item(0)->flags().testFlag(Qt::ItemIsUserTristate));
        EXPECT_EQ(Find<QComboBox>(d, "cmbServicePack5")->currentIndex(), -1) << "no change";
        lines->item(0)->setCheckState(Qt::Unchecked);
        ClickButton(d, "btnOk");
    });
    ASSERT_TRUE(kit->RunOsDialog(model));
    EXPECT_EQ(model.ApplyTo(OsTarget{0b110, {1, 1, 1, 1, 1, 1}}), (OsTarget{0b110, {1, 1, 1, 1, 1, 1}}));
    EXPECT_EQ(model.ApplyTo(OsTarget{0b111, {}}).mask, 0b110);
}

TEST_F(ToolkitTest, FileSelectListsTheProjectsFilesAndNeedsALine) {
    project.LoadFromText("[Files]\r\n0=1|0|%InstallDir%||C:\\s\\app.exe|\r\n1=1|0|%InstallDir%|doc|C:\\s\\read.txt|\r\n");
    runner.Queue([this](QDialog& d) {
        EXPECT_EQ(Find<QLabel>(d, "lblMessage")->text(), Q("ドキュメントファイルを指定してください。"));
        auto* files = Find<QListWidget>(d, "lstFiles");
        ASSERT_EQ(files->count(), 1);
        EXPECT_EQ(files->item(0)->text(), QStringLiteral("%InstallDir%\\doc\\read.txt"));
        Find<QCheckBox>(d, "cbFilter")->setChecked(false);
        EXPECT_EQ(files->count(), 2);
        ClickButton(d, "btnOk");
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(ui.messages().back(), S("リストよりファイルを選択してください。"));
        files->setCurrentRow(0);
        ClickButton(d, "btnOk");
    });
    const std::optional<std::string> chosen =
        kit->SelectInstalledFile(S("ドキュメントファイルを指定してください。"), S("テキストファイル"), ".TXT;.HED", "none");
    EXPECT_EQ(chosen, std::optional<std::string>("%InstallDir%\\app.exe"));
    project.Clear();
    EXPECT_FALSE(kit->SelectInstalledFile("m", "l", ".EXE", S("「ファイル/フォルダの設定」にて構成ファイルを設定してください。")));
    EXPECT_EQ(ui.messages().back(), S("「ファイル/フォルダの設定」にて構成ファイルを設定してください。"));
    EXPECT_EQ(runner.shown().size(), 1u) << "no dialog when nothing would be listed";
}

TEST_F(ToolkitTest, BuilderPastesAtTheCaretAndInsertsItsCharacters) {
    runner.Queue([this](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), Q("定数ビルダー"));
        auto* categories = Find<QListWidget>(d, "lstCategory");
        EXPECT_EQ(categories->currentRow(), 10) << "the first category with a number define";
        auto* defines = Find<QListWidget>(d, "lstDefine");
        ASSERT_EQ(defines->count(), 1);
        EXPECT_FALSE(Find<QPushButton>(d, "btnPaste")->isEnabled());
        defines->setCurrentRow(0);
        EXPECT_FALSE(Find<QLabel>(d, "lblHint")->text().isEmpty());
        auto* edit = Find<QLineEdit>(d, "edtDefine");
        EXPECT_EQ(edit->text(), QStringLiteral("ab"));
        edit->setCursorPosition(1);
        ui.QueueAnswer(Answer::Yes);  // paste into a text that is not empty
        ClickButton(d, "btnPaste");
        ClickButton(d, "btnOk");
    });
    runner.Queue([](QDialog& d) {  // %InputNumber% has parameters
        EXPECT_EQ(d.objectName(), QStringLiteral("frmDefineParamDialog"));
        Find<QLineEdit>(d, "edtParam0")->setText(QStringLiteral("Count"));
        Find<QLineEdit>(d, "edtParam2")->setText(QStringLiteral("1;x"));
        ClickButton(d, "btnOk");
        EXPECT_TRUE(d.isVisible()) << "not a list of numbers";
        Find<QLineEdit>(d, "edtParam2")->setText(QStringLiteral("5"));
        ClickButton(d, "btnOk");
    });
    const std::optional<std::string> text = kit->RunDefineBuilder("ab", kMaskDWord);
    EXPECT_EQ(text, std::optional<std::string>("a%InputNumber%\\Count,,5b"));
    EXPECT_EQ(ui.messages(), (std::vector<std::string>{S("項目に既に入力されていますが貼り付けてもよろしいですか。"),
                                                       S("数値以外が入力されています。数値を入力してください。\r\r2 番目")}));
    EXPECT_EQ(ui.shown().back().caption, S("初期値")) << "captioned with the parameter";

    runner.Queue([](QDialog& d) {
        auto* edit = Find<QLineEdit>(d, "edtDefine");
        edit->setCursorPosition(0);
        ClickButton(d, "btnClear");
        ClickButton(d, "btnPercent");
        ClickButton(d, "btnYen");
        ClickButton(d, "btnComma");
        EXPECT_EQ(edit->text(), QStringLiteral("%\\,"));
        ClickButton(d, "btnCancel");
    });
    EXPECT_FALSE(kit->RunDefineBuilder("x", kMaskAny));
}

TEST_F(ToolkitTest, ParameterDetailFillsTheFieldAndSelectsTheFailingRow) {
    QWidget host;
    TDefineCombo combo(&host, "cmbDefine");
    combo.SetEntries({"%InstallDir%", "%Registry%"});
    combo.SetDefine("%registry%");
    EXPECT_EQ(combo.define(), "%Registry%") << "the entry equal ignoring case";
    TParameterField field(*kit, &combo, "edtParameter", "btnParameter", &host);
    field.SetParameter("HKEY_CURRENT_USER,,Path");
    runner.Queue([this](QDialog& d) {
        EXPECT_EQ(Find<QLabel>(d, "lblDefine")->text(), QStringLiteral("%Registry%"));
        auto* root = Find<QComboBox>(d, "edtParam0");
        EXPECT_EQ(root->currentText(), QStringLiteral("HKEY_CURRENT_USER"));
        EXPECT_EQ(Find<QLineEdit>(d, "edtParam2")->text(), QStringLiteral("Path"));
        ClickButton(d, "btnOk");
        EXPECT_EQ(ui.messages().back(), S("キー を入力してください。"));
        EXPECT_EQ(d.focusWidget(), Find<QLineEdit>(d, "edtParam1")) << "the failing row";
        Find<QLineEdit>(d, "edtParam1")->setText(QStringLiteral("Software\\A"));
        ClickButton(d, "btnOk");
    });
    EXPECT_TRUE(field.Edit());
    EXPECT_EQ(field.parameter(), "HKEY_CURRENT_USER,Software\\A,Path,,");
    combo.SetDefine("%WindowsDirectory%");
    EXPECT_EQ(combo.itemText(0), QStringLiteral("%WindowsDirectory%")) << "a define the list lacks goes first";
    EXPECT_FALSE(field.Edit());
    EXPECT_EQ(ui.messages().back(), S("パラメータはありません。"));
}

TEST_F(ToolkitTest, SamplePathExpandsTheDefineWithTheInstallFolder) {
    project.WriteString("Software", "Folder", "%ProgramFilesDir%|App|");
    QWidget host;
    TDefineCombo combo(&host, "cmbDefine");
    combo.SetDefine("%InstallDir%");
    TParameterField field(*kit, &combo, "edtParameter", "btnParameter", &host);
    QLineEdit file(&host);
    TSamplePathLine line(*kit, &host, "lblSample");
    line.Follow(&combo, &field, &file);
    EXPECT_EQ(line.path(), "C:\\Program Files\\App");
    field.SetParameter("bin");
    file.setText(QStringLiteral("a.exe"));
    EXPECT_EQ(line.text(), QStringLiteral("C:\\Program Files\\App\\bin\\a.exe"));
    combo.setEditText(QStringLiteral("%WindowsDirectory%"));
    EXPECT_EQ(line.path(), "C:\\WINDOWS\\bin\\a.exe");
}
