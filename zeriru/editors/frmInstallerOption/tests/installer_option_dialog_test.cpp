// The installer options dialog: what a project opens with, the rules between its controls, the
// checks of OK with what they clear and append, and what OK writes - with the question that
// carries a change of the accepted systems into the OS target of every list.
#include "platform/sjis.h"
#include "zeriru/editors/installer_option_dialog_model.h"
#include "zeriru/system_services.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace zeriru;
using platform::sjis::S;
using Check = OsDialogModel::Check;

namespace {

TIniDocument Project(std::string_view text) {
    TIniDocument doc;
    doc.LoadFromText(text);
    return doc;
}

std::string MessageOf(const CheckOutcome& r) { return r ? r->message : std::string(); }

// The lines of the first text that the second does not have, and the other way round.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}
std::vector<std::pair<std::string, std::string>> ChangedLines(const std::string& before, const std::string& after) {
    const std::vector<std::string> a = Lines(before), b = Lines(after);
    std::vector<std::pair<std::string, std::string>> changed;
    EXPECT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] != b[i]) changed.emplace_back(a[i], b[i]);
    }
    return changed;
}

// A record of twenty fields with the OS mask and service packs in the fields given.
std::string Record(int maskField, const std::string& mask, const std::string& packs) {
    std::string r;
    for (int f = 1; f <= 20; ++f) {
        r += f == maskField ? mask : f == maskField + 1 ? packs : f == 1 ? "1" : "x";
        r += '|';
    }
    return r;
}

}  // namespace

TEST(InstallerOptionDialog, ANewProjectOpensWithTheDefaultScreensAndKeys) {
    InstallerOptionDialogModel m(false, false);
    m.Fill(Project(""));
    for (int line = 0; line < kScreenCount; ++line)
        EXPECT_EQ(m.screens[static_cast<std::size_t>(line)], line != 1 && line != 2) << line;
    EXPECT_TRUE(m.checkOs);
    EXPECT_EQ(m.ProjectOs().mask, kOsMaskAll);
    EXPECT_TRUE(m.uninstallerAuto());
    EXPECT_EQ(m.uninstallerFileName, "rodeve21.exe");
    EXPECT_EQ(m.uninstallerOptions, kKeepUninstaller);
    EXPECT_EQ(m.checkBoxCaption, S("今すぐ実行する(&R)"));
    EXPECT_TRUE(m.groupExecution);
    EXPECT_EQ(m.MemoryText(), S("制限なし"));
    EXPECT_FALSE(m.frame.changed());
}

TEST(InstallerOptionDialog, TheDocumentAndLicenceScreensNeedTheirFiles) {
    ScriptedUi ui;
    InstallerOptionDialogModel m(false, false);
    m.Fill(Project(""));
    m.screens[kScreenDocument] = true;
    CheckOutcome r = m.Ok(ui);
    EXPECT_EQ(MessageOf(r), S("ドキュメントファイル名を指定してください。"));
    EXPECT_EQ(r->page, "tsScreen");
    m.ChooseDocument("%InstallDir%\\readme.txt");
    m.ChooseLicense("%InstallDir%\\license.txt");
    EXPECT_TRUE(m.screens[kScreenLicense]) << "choosing a licence file checks its screen";
    EXPECT_FALSE(m.Ok(ui));
    m.licenseFile.clear();
    EXPECT_EQ(MessageOf(m.Ok(ui)), S("ライセンスファイル名を指定してください。"));
}

TEST(InstallerOptionDialog, TheMemoryTextFollowsTheUpDown) {
    InstallerOptionDialogModel m(false, false);
    m.Fill(Project("[InstallLimit]\r\nMemoryCheck=3\r\n"));
    EXPECT_EQ(m.MemoryText(), S("768 MB 以上必要")) << "as stored, until the up-down is used";
    m.SetMemoryCheck(2);
    EXPECT_EQ(m.MemoryText(), S("512 MB 以上を要求する"));
    m.SetMemoryCheck(0);
    EXPECT_EQ(m.MemoryText(), S("制限なし"));
    m.SetMemoryCheck(99);
    EXPECT_EQ(m.memoryCheck(), kMaxMemoryCheck);
    m.SetMemoryCheck(2);
    TIniDocument project;
    ScriptedUi ui;
    m.Write(project, ui);
    EXPECT_EQ(project.ReadInteger("InstallLimit", "MemoryCheck", -1), 2);
}

TEST(InstallerOptionDialog, TheNewerVersionQuestionNeedsTheOldVersionCheck) {
    std::vector<int> hints;
    InstallerOptionDialogModel m(false, false);
    m.Fill(Project("[Installer]\r\nOptions=512\r\n"));
    EXPECT_EQ(m.options(), 0) << "the newer-version line is read only with the old-version line";
    m.showHint = [&](int index) { hints.push_back(index); };
    EXPECT_FALSE(m.OptionEnabled(kOptionAskNewerVersion));
    m.SetOption(kOptionCheckOldVersion, true);
    EXPECT_EQ(hints, std::vector<int>{6});
    m.SetOption(kOptionAskNewerVersion, true);
    EXPECT_EQ(m.options(), (1 << 4) | (1 << 9));
    m.SetOption(kOptionCheckOldVersion, false);
    EXPECT_EQ(m.options(), 0) << "clearing the old-version check clears the newer-version question";
    m.SetSilentUninstall(true);
    EXPECT_EQ(hints, (std::vector<int>{6, 2}));

    ScriptedUi ui;
    m.SetOption(kOptionCheckOldVersion, true);
    EXPECT_FALSE(m.Ok(ui)) << "a missing main file is told but does not stop OK";
    EXPECT_EQ(ui.messages(), std::vector<std::string>{S("「アプリケーション情報の設定」より「メインファイル名」を設定してください。")});
}

TEST(InstallerOptionDialog, TheCustomUninstallerGetsItsExtension) {
    struct Case {
        const char* name;
        const char* stored;
        bool hint;
    } cases[] = {
        {"uninst", "uninst.exe", true},
        {"uninst.com", "uninst.com.exe", true},
        {"UNINST.EXE", "UNINST.EXE", false},
        {"Uninst.Exe", "Uninst.Exe", false},
    };
    for (const Case& c : cases) {
        std::vector<int> hints;
        InstallerOptionDialogModel m(true, false);
        m.Fill(Project(""));
        m.showHint = [&](int index) { hints.push_back(index); };
        m.SetUninstallerAuto(false);
        EXPECT_EQ(m.uninstallerOptions, 0) << "the custom setting clears both options";
        m.uninstallerFileName = c.name;
        ScriptedUi ui;
        EXPECT_FALSE(m.Ok(ui)) << c.name;
        EXPECT_EQ(m.uninstallerFileName, c.stored);
        EXPECT_EQ(hints, c.hint ? (std::vector<int>{1, 4}) : std::vector<int>{1}) << c.name;
    }
    InstallerOptionDialogModel m(true, false);
    m.Fill(Project(""));
    m.SetUninstallerAuto(false);
    ScriptedUi ui;
    for (auto [folder, sub, name, message] :
         {std::tuple{"%Date%", "", "u.exe", S("サポートしていないフォルダ定数か、この項目では使用できないフォルダ定数です。")},
          std::tuple{"%Registry%", "", "u.exe", S("パラメータが入力されていません。パラメータを入力してください。")},
          std::tuple{"%InstallDir%", "", "", S("ファイル名を入力してください。")},
          std::tuple{"%InstallDir%", "", "a\\u.exe", MsgInvalidFileName()},
          std::tuple{"MyFolder", "", "u.exe", std::string()}}) {
        m.uninstallerFolder = folder;
        m.uninstallerSubFolder = sub;
        m.uninstallerFileName = name;
        const CheckOutcome r = m.Ok(ui);
        EXPECT_EQ(MessageOf(r), message) << folder << " " << name;
        if (r) {
            EXPECT_EQ(r->page, "tsUninstaller");
        }
    }
    m.SetUninstallerAuto(true);
    EXPECT_EQ(m.uninstallerFolder, "%WindowsDirectory%");
    EXPECT_EQ(m.uninstallerFileName, "rodeve21.exe");
    EXPECT_EQ(m.uninstallerOptions, kKeepUninstaller);
}

TEST(InstallerOptionDialog, EmptyOrDisabledListsClearTheirBoxes) {
    const std::string enabled = "1|%InstallDir%\\|a.exe||0|0|0||65535||1,1,x,|";
    const std::string disabled = "0|%InstallDir%\\|b.exe||0|0|0||65535||1,1,x,|";
    struct Case {
        std::vector<std::string> programs;
        bool group;
        const char* caption;
        std::string message;
        bool stays;
    } cases[] = {
        {{}, true, "x", "", false},
        {{enabled}, true, "x", "", true},
        {{disabled}, true, "x", "", false},
        {{disabled, enabled}, false, "", "", true},
        {{enabled}, true, "", S("メッセージを設定してください。"), true},
    };
    for (const Case& c : cases) {
        InstallerOptionDialogModel m(false, false);
        m.Fill(Project(""));
        m.programEnabled = true;
        m.programs.Load(c.programs);
        m.groupExecution = c.group;
        m.checkBoxCaption = c.caption;
        m.relationEnabled = true;
        ScriptedUi ui;
        const CheckOutcome r = m.Ok(ui);
        EXPECT_EQ(MessageOf(r), c.message) << c.programs.size();
        EXPECT_EQ(m.programEnabled, c.stays) << c.programs.size();
        EXPECT_FALSE(m.relationEnabled) << "an empty related-application list clears its box";
        if (r) continue;
        TIniDocument project;
        m.Write(project, ui);
        EXPECT_EQ(project.ReadString("Installer", "EnableProgramSetting"), c.stays ? "1" : "0");
        EXPECT_EQ(project.EntryCount("ProgramItems"), c.programs.size());
    }
}

TEST(InstallerOptionDialog, AtLeastOneSystemWhileTheVersionIsChecked) {
    InstallerOptionDialogModel m(false, false);
    m.Fill(Project(""));
    for (int line = 0; line < kOsLineCount; ++line) m.osLines().SetLineState(line, Check::Unchecked);
    ScriptedUi ui;
    const CheckOutcome r = m.Ok(ui);
    EXPECT_EQ(MessageOf(r), S("対象のOSが選択されていません。最低でも1つのOSを選択してください。"));
    EXPECT_EQ(r->page, "tsOs");
    m.checkOs = false;
    EXPECT_FALSE(m.Ok(ui));
}

TEST(InstallerOptionDialog, ItemDialogsOpenedNowFollowTheSystemsShown) {
    InstallerOptionDialogModel m(true, false);
    m.Fill(Project("[OSSetting]\r\nOSVersion=288\r\nSPVersion=0,0,2,0,0,1,,,,\r\n"));
    EXPECT_EQ(m.ProgramSetting().projectOs.mask, 288);
    EXPECT_EQ(m.ProgramSetting().projectOs.servicePacks[2], 2);
    m.osLines().SetLineState(5, Check::Unchecked);
    EXPECT_EQ(m.ProgramSetting().projectOs.mask, 256);
    EXPECT_EQ(m.ProgramSetting().projectOs.servicePacks[2], 0) << "an unchecked system needs no service pack";
    m.checkOs = false;
    EXPECT_FALSE(m.ProgramSetting().projectChecksOs);
    EXPECT_TRUE(m.ProgramSetting().advancedMode);
}

TEST(InstallerOptionDialog, AChangedSystemGoesIntoTheOsFieldsOfTheListsOnYesAndNowhereOnNo) {
    // Every list whose items carry an OS target, the shortcut list that does not, a record that
    // already lacks Windows 95 and one whose empty fields read as every system without service
    // packs (only the mask changes in it).
    const std::string text =
        "[Project]\r\nProjectName=a\r\n"
        "[Files]\r\n0=" + Record(10, "65535", "0,0,0,0,0,0") + "\r\n1=" + Record(10, "34", "") + "\r\n"
        "[RegistryItems]\r\n0=" + Record(7, "65535", "0,0,0,0,0,0") + "\r\n"
        "[ProgramItems]\r\n0=" + Record(9, "", "") + "\r\n"
        "[DeleteRegistryItems]\r\n0=" + Record(7, "3", "0,0,0,0,0,0") + "\r\n"
        "[UnDeleteFileItems]\r\n0=" + Record(6, "65535", "0,0,0,0,0,0") + "\r\n"
        "[IniFileSetting]\r\nUseSection=MyIni\r\n[MyIni]\r\n0=" + Record(8, "65535", "0,0,0,0,0,0") + "\r\n"
        "[DeleteFileItems]\r\n0=" + Record(8, "65535", "0,0,0,0,0,0") + "\r\n"
        "[UnDeleteRegistryItems]\r\n0=" + Record(7, "65535", "0,0,0,0,0,0") + "\r\n"
        "[RelationApplicationItems]\r\n0=" + Record(9, "65535", "0,0,0,0,0,0") + "\r\n"
        "[ShortCutItems]\r\n0=" + Record(9, "65535", "0,0,0,0,0,0") + "\r\n";
    // What OK writes without a change of the systems: the base of the comparison.
    TIniDocument base = Project(text);
    {
        InstallerOptionDialogModel m(false, false);
        m.Fill(base);
        ScriptedUi ui;
        EXPECT_FALSE(m.Write(base, ui));
        EXPECT_TRUE(ui.messages().empty()) << "no question without a change";
    }
    for (bool yes : {true, false}) {
        TIniDocument project = base;
        InstallerOptionDialogModel m(false, false);
        m.Fill(project);
        m.osLines().SetLineState(0, Check::Unchecked);
        ScriptedUi ui;
        ui.QueueAnswer(yes ? Answer::Yes : Answer::No);
        EXPECT_EQ(m.Write(project, ui), yes);
        EXPECT_EQ(ui.messages(), std::vector<std::string>{S("対象OSが変更されました。それらの変更をすべての設定に反映させますか？")});
        auto changed = ChangedLines(base.SaveToText(), project.SaveToText());
        std::vector<std::pair<std::string, std::string>> expected = {{"OSVersion=65535\r", "OSVersion=65534\r"}};
        if (yes) {
            expected.insert(expected.begin(), {
                {"0=" + Record(10, "65535", "0,0,0,0,0,0") + "\r", "0=" + Record(10, "65534", "0,0,0,0,0,0") + "\r"},
                {"0=" + Record(7, "65535", "0,0,0,0,0,0") + "\r", "0=" + Record(7, "65534", "0,0,0,0,0,0") + "\r"},
                {"0=" + Record(9, "", "") + "\r", "0=" + Record(9, "65534", "") + "\r"},
                {"0=" + Record(7, "3", "0,0,0,0,0,0") + "\r", "0=" + Record(7, "2", "0,0,0,0,0,0") + "\r"},
                {"0=" + Record(6, "65535", "0,0,0,0,0,0") + "\r", "0=" + Record(6, "65534", "0,0,0,0,0,0") + "\r"},
                {"0=" + Record(8, "65535", "0,0,0,0,0,0") + "\r", "0=" + Record(8, "65534", "0,0,0,0,0,0") + "\r"},
                {"0=" + Record(8, "65535", "0,0,0,0,0,0") + "\r", "0=" + Record(8, "65534", "0,0,0,0,0,0") + "\r"},
                {"0=" + Record(7, "65535", "0,0,0,0,0,0") + "\r", "0=" + Record(7, "65534", "0,0,0,0,0,0") + "\r"},
                {"0=" + Record(9, "65535", "0,0,0,0,0,0") + "\r", "0=" + Record(9, "65534", "0,0,0,0,0,0") + "\r"},
            });
        }
        std::sort(expected.begin(), expected.end());
        std::sort(changed.begin(), changed.end());
        EXPECT_EQ(changed, expected) << (yes ? "Yes" : "No");
    }
}

TEST(InstallerOptionDialog, ServicePacksOfTheProjectGoIntoTheSystemsEachItemIncludes) {
    TIniDocument project = Project("[Files]\r\n0=" + Record(10, "32", "0,0,0,0,0,0") + "\r\n1=" +
                                   Record(10, "256", "6,4,3,2,2,1") + "\r\n");
    OsChange change;
    change.servicePacks = {1, 2, 3, 0, 0, 1};
    EXPECT_EQ(CarryOsChange(project, change), 1);
    EXPECT_EQ(project.ReadString("Files", "0"), Record(10, "32", "0,0,3,0,0,0")) << "XP only";
    EXPECT_EQ(project.ReadString("Files", "1"), Record(10, "256", "6,4,3,2,2,1")) << "Windows 7 only, 1 as before";
}
