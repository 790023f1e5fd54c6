#include "zeriru/language_texts.h"
#include "zeriru/modules.h"

#include "platform/hostfile.h"
#include "platform/sjis.h"
#include "test_util.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace zeriru;
using platform::sjis::S;

namespace {

// Writes a file given as UTF-8 lines, converted to Shift-JIS with CR LF line ends.
void WriteSjisFile(const fs::path& path, const std::vector<std::string>& utf8Lines) {
    std::string text;
    for (const std::string& line : utf8Lines) text += S(line) + "\r\n";
    fs::create_directories(path.parent_path());
    ASSERT_TRUE(platform::WriteHostFileAtomic(path, text));
}

// An editor folder with MODULE.DAT and the language file of module `name`.
struct EditorFolder {
    test::TempFolder temp;
    fs::path Lng(const std::string& module) const { return temp.path / "Module" / (module + ".LNG"); }
};

std::vector<std::string> LanguageSection(int code, const std::string& name, int firstText, int lastText,
                                         const std::string& prefix) {
    std::vector<std::string> lines = {"[ResourceString_" + std::to_string(code) + "]",
                                      "LanguageName=" + name, "LanguageCode=" + std::to_string(code),
                                      "Charset=1", "FontSize=-9", "FontName=Arial"};
    for (int id = firstText; id <= lastText; ++id) lines.push_back(std::to_string(id) + "=" + prefix + std::to_string(id));
    return lines;
}

TEST(LoadModules, ReadsModulesKeysDisplayNamesAndLanguages) {
    EditorFolder editor;
    WriteSjisFile(editor.temp.path / "MODULE.DAT",
                  {"[ZU_VAZUZA]", "ModuleName=モダンスタイル", "=", "[CLASSIC]", "=CL", "[NOLANG]"});
    std::vector<std::string> lng = LanguageSection(1041, "日本語", 0, 0, "t");
    std::vector<std::string> en = LanguageSection(1033, "English", 0, 0, "t");
    lng.insert(lng.end(), en.begin(), en.end());
    WriteSjisFile(editor.Lng("ZU_VAZUZA"), lng);
    // The language file is found whatever the case of its name on disk.
    WriteSjisFile(editor.temp.path / "Module" / "classic.lng", {"[ResourceString_1041]"});

    const ModuleTable modules = LoadModules(editor.temp.path);
    ASSERT_EQ(modules.size(), 3u);
    EXPECT_EQ(modules[0].moduleName, "ZU_VAZUZA");
    EXPECT_EQ(modules[0].displayName, S("モダンスタイル"));
    EXPECT_EQ(modules[0].moduleKey, "");
    ASSERT_EQ(modules[0].languages.size(), 2u);
    EXPECT_EQ(modules[0].languages[0].languageName, S("日本語"));
    EXPECT_EQ(modules[0].languages[1].languageCode, 1033);
    EXPECT_EQ(modules[1].moduleKey, "CL");
    EXPECT_EQ(modules[1].displayName, S("モダンスタイル"));  // default display name
    ASSERT_EQ(modules[1].languages.size(), 1u);
    EXPECT_EQ(modules[1].languages[0].languageName, S("日本語"));  // defaults of a bare section
    EXPECT_EQ(modules[1].languages[0].languageCode, 1041);
    EXPECT_TRUE(modules[2].languages.empty());  // no .LNG file
    EXPECT_EQ(FindModule(modules, "classic"), &modules[1]);
}

TEST(LoadModules, LimitsModulesAndLanguages) {
    EditorFolder editor;
    std::vector<std::string> list;
    for (int i = 0; i < 14; ++i) list.push_back("[M" + std::to_string(i) + "]");
    WriteSjisFile(editor.temp.path / "MODULE.DAT", list);
    std::vector<std::string> lng;
    for (int code = 1; code <= 60; ++code) lng.push_back("[ResourceString_" + std::to_string(code) + "]"),
                                           lng.push_back("LanguageCode=" + std::to_string(code));
    WriteSjisFile(editor.Lng("M0"), lng);

    const ModuleTable modules = LoadModules(editor.temp.path);
    ASSERT_EQ(modules.size(), kMaxModules);
    ASSERT_EQ(modules[0].languages.size(), 51u);
    EXPECT_EQ(modules[0].languages.back().languageCode, 51);
    EXPECT_EQ(LanguageChoices(modules[0], false).size(), 11u);
    EXPECT_EQ(LanguageChoices(modules[0], true).size(), 21u);

    EXPECT_TRUE(LoadModules(editor.temp.path / "missing").empty());
}

TEST(SectionNames, PlainAndKeyed) {
    EXPECT_EQ(LanguageSectionName(1041), "ResourceString_1041");
    EXPECT_EQ(ProjectLanguageSectionName("", 1041), "ResourceString_1041");
    EXPECT_EQ(ProjectLanguageSectionName("CL", 1033), "CLResourceString_1033");
}

// ---- MergeLanguage ----

struct MergeCase {
    std::string name;
    std::string key;
    bool projectHasTexts;
    Answer answer;
    // Expected values of ResourceString_1041 in INSTALL.DAT.
    std::string text5, text100, text101, charset, fontName;
    bool asked;
};

void PrintTo(const MergeCase& c, std::ostream* os) { *os << c.name; }

class Merge : public ::testing::TestWithParam<MergeCase> {};

TEST_P(Merge, CombinesProjectAndLanguageFile) {
    const MergeCase& c = GetParam();
    TIniDocument lng;
    lng.LoadFromText(
        "[ResourceString_1041]\r\nCharset=128\r\nFontSize=-12\r\nFontName=LngFont\r\n"
        "5=lng5\r\n100=lng100\r\n101=lng101\r\n102=\r\n");
    TIniDocument installDat;
    installDat.LoadFromText("[Project]\r\nProjectName=x\r\n");
    const std::string projectSection = c.key + "ResourceString_1041";
    if (c.projectHasTexts) {
        installDat.WriteString(projectSection, "100", "own100");
        installDat.WriteString(projectSection, "FontName", "OwnFont");
    }
    ScriptedUi ui;
    ui.QueueAnswer(c.answer);
    MergeLanguage(installDat, lng, c.key, 1041, ui);

    EXPECT_EQ(ui.messages().size(), c.asked ? 1u : 0u);
    const std::string s = "ResourceString_1041";
    EXPECT_EQ(installDat.ReadString(s, "5"), c.text5);
    EXPECT_EQ(installDat.ReadString(s, "100"), c.text100);
    EXPECT_EQ(installDat.ReadString(s, "101"), c.text101);
    EXPECT_FALSE(installDat.ValueExists(s, "102"));  // empty texts are not copied
    EXPECT_EQ(installDat.ReadString(s, "Charset"), c.charset);
    EXPECT_EQ(installDat.ReadString(s, "FontName"), c.fontName);
    EXPECT_EQ(installDat.ReadString(s, "FontNameF"), S("ＭＳ Ｐゴシック"));  // default
    EXPECT_EQ(installDat.ReadString(s, "FontSize"), "-12");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Merge,
    ::testing::Values(
        MergeCase{"NoProjectTexts", "", false, Answer::Yes, "lng5", "lng100", "lng101", "128", "LngFont", false},
        MergeCase{"KeepOwnFillRest", "", true, Answer::Yes, "lng5", "own100", "lng101", "128", "OwnFont", true},
        MergeCase{"ReplaceOwn", "", true, Answer::No, "lng5", "lng100", "lng101", "128", "LngFont", true},
        MergeCase{"KeyedKeepOwn", "CL", true, Answer::Yes, "lng5", "own100", "lng101", "128", "OwnFont", true},
        MergeCase{"KeyedReplace", "CL", true, Answer::No, "lng5", "lng100", "lng101", "128", "LngFont", true}),
    [](const auto& info) { return info.param.name; });

TEST(Merge, AsksTheExactQuestion) {
    TIniDocument lng;
    TIniDocument installDat;
    installDat.WriteString("ResourceString_1041", "100", "x");
    ScriptedUi ui;
    MergeLanguage(installDat, lng, "", 1041, ui);
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].text, S("プロジェクト内に言語情報が保存されています。保存されている言語情報を使用しますか。"));
    EXPECT_EQ(ui.shown()[0].buttons, MessageButtons::YesNo);
}

// ---- editing the texts ----

struct EditFixture : ::testing::Test {
    EditorFolder editor;
    TModuleData module{"ZU_VAZUZA", "", "x", {{"ja", 1041}}};
    TIniDocument project;
    ScriptedUi ui;

    void SetUp() override {
        WriteSjisFile(editor.Lng("ZU_VAZUZA"), LanguageSection(1041, "日本語", 98, 103, "l"));
        project.LoadFromText("[Project]\r\nProjectName=p\r\n");
    }
    TIniDocument Lng() const { return TIniDocument(editor.Lng("ZU_VAZUZA")); }
    // Changes row 0 to `text` in the dialog and confirms it.
    std::function<bool(LanguageTextsDialogModel&)> ChangeFirst(const std::string& text) {
        return [this, text](LanguageTextsDialogModel& dialog) {
            ui.QueueText(text);
            return dialog.Change(ui, 0);
        };
    }
};

TEST_F(EditFixture, ListsEditableTextsOfTheLanguageFile) {
    LanguageTextsSession session(editor.temp.path);
    const LanguageTextList list = session.ListTexts(project, module, 1041);
    EXPECT_FALSE(list.fromProject);
    ASSERT_EQ(list.texts.size(), 4u);  // 98 and 99 are not offered
    EXPECT_EQ(list.texts[0], (LanguageText{100, "l100"}));
    EXPECT_EQ(list.texts[3], (LanguageText{103, "l103"}));
}

TEST_F(EditFixture, AnswerNoWritesTheLanguageFileNotTheProject) {
    LanguageTextsSession session(editor.temp.path);
    ui.QueueAnswer(Answer::No);
    EXPECT_TRUE(session.EditLanguageTexts(ui, project, module, 1041, ChangeFirst("new100")));
    EXPECT_EQ(Lng().ReadString("ResourceString_1041", "100"), "new100");
    EXPECT_EQ(Lng().ReadString("ResourceString_1041", "98"), "l98");
    EXPECT_FALSE(session.HasChanges());
    EXPECT_FALSE(session.UndoEnabled(project, "", 1041));
    session.ApplyTo(project);
    EXPECT_FALSE(project.SectionExists("ResourceString_1041"));
    // The input box and the question.
    ASSERT_EQ(ui.shown().size(), 2u);
    EXPECT_EQ(ui.shown()[0].caption, S("言語データの変更"));
    EXPECT_EQ(ui.shown()[0].text, S("新しい文字列を指定してください。"));
    EXPECT_EQ(ui.shown()[1].text, S("プロジェクトファイル内に言語情報を保存しますか。\r"
                                    "※「はい」を選択すると設定が確定されダイアログは閉じられます。"));
}

TEST_F(EditFixture, AnswerYesHoldsTheTextsUntilTheDialogIsConfirmed) {
    LanguageTextsSession session(editor.temp.path);
    ui.QueueAnswer(Answer::Yes);
    EXPECT_TRUE(session.EditLanguageTexts(ui, project, module, 1041, ChangeFirst("new100")));
    EXPECT_FALSE(project.SectionExists("ResourceString_1041"));  // nothing written yet
    EXPECT_TRUE(session.UndoEnabled(project, "", 1041));
    session.ApplyTo(project);
    EXPECT_EQ(project.ReadString("ResourceString_1041", "100"), "new100");
    EXPECT_EQ(project.ReadString("ResourceString_1041", "103"), "l103");
    EXPECT_FALSE(project.ValueExists("ResourceString_1041", "99"));
    EXPECT_EQ(Lng().ReadString("ResourceString_1041", "100"), "l100");  // language file untouched

    // Editing again: the texts now come from the project and no question is asked.
    LanguageTextsSession next(editor.temp.path);
    ui.clear();
    EXPECT_TRUE(next.EditLanguageTexts(ui, project, module, 1041, ChangeFirst("again")));
    EXPECT_EQ(ui.messages().size(), 0u);
    next.ApplyTo(project);
    EXPECT_EQ(project.ReadString("ResourceString_1041", "100"), "again");
}

TEST_F(EditFixture, KeyedModuleKeepsItsTextsUnderTheKeyedSection) {
    module.moduleKey = "CL";
    LanguageTextsSession session(editor.temp.path);
    ui.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(session.EditLanguageTexts(ui, project, module, 1041, ChangeFirst("k100")));
    session.ApplyTo(project);
    EXPECT_EQ(project.ReadString("CLResourceString_1041", "100"), "k100");
    EXPECT_FALSE(project.SectionExists("ResourceString_1041"));
    // The same name decides where the next edit reads from and whether undo is offered.
    LanguageTextsSession next(editor.temp.path);
    EXPECT_TRUE(next.ListTexts(project, module, 1041).fromProject);
    EXPECT_TRUE(next.UndoEnabled(project, "CL", 1041));
    EXPECT_FALSE(next.UndoEnabled(project, "", 1041));
}

TEST_F(EditFixture, CancelledDialogChangesNothing) {
    LanguageTextsSession session(editor.temp.path);
    EXPECT_FALSE(session.EditLanguageTexts(ui, project, module, 1041,
                                           [](LanguageTextsDialogModel&) { return false; }));
    EXPECT_FALSE(session.HasChanges());
    EXPECT_TRUE(ui.shown().empty());
}

TEST_F(EditFixture, UndoMarksTheSectionForErasingOnConfirmation) {
    project.WriteString("ResourceString_1041", "100", "own");
    LanguageTextsSession session(editor.temp.path);
    EXPECT_TRUE(session.UndoEnabled(project, "", 1041));
    EXPECT_FALSE(session.UndoLanguageTexts(ui, "", 1041));  // No: nothing marked
    EXPECT_FALSE(session.HasChanges());
    ui.QueueAnswer(Answer::Yes);
    EXPECT_TRUE(session.UndoLanguageTexts(ui, "", 1041));
    EXPECT_TRUE(project.SectionExists("ResourceString_1041"));  // erased only on confirmation
    EXPECT_FALSE(session.UndoEnabled(project, "", 1041));
    // An edit after the undo in the same dialog starts from the language file again.
    EXPECT_FALSE(session.ListTexts(project, module, 1041).fromProject);
    session.ApplyTo(project);
    EXPECT_FALSE(project.SectionExists("ResourceString_1041"));
    EXPECT_EQ(ui.shown().back().text, S("言語情報を元に戻しますか。\r"
                                        "※「はい」を選択すると設定が確定されダイアログは閉じられます。"));
}

TEST_F(EditFixture, MarksBelongToTheirOwnDialog) {
    project.WriteString("ResourceString_1041", "100", "own");
    LanguageTextsSession first(editor.temp.path);
    ui.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(first.UndoLanguageTexts(ui, "", 1041));
    // The first dialog was cancelled; a new one knows nothing of its mark.
    LanguageTextsSession second(editor.temp.path);
    second.ApplyTo(project);
    EXPECT_EQ(project.ReadString("ResourceString_1041", "100"), "own");
}

}  // namespace
