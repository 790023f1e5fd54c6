#include "zeriru/process_order.h"

#include "platform/sjis.h"
#include "zeriru/project_file.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

using namespace zeriru;
using platform::sjis::S;
using M = ProcessOrderDialogModel;

namespace {

const TIniDocument& EditorData() {
    static const TIniDocument doc(std::filesystem::path(SUITE_SHARE_DIR) / "ZERIRU.DAT");
    return doc;
}

// Kinds of a list, in order.
std::vector<int> Kinds(const M& model, M::List list) {
    std::vector<int> kinds;
    for (const auto& r : model.items(list)) kinds.push_back(M::Kind(r));
    return kinds;
}

int RowOf(const M& model, M::List list, int kind) {
    const auto kinds = Kinds(model, list);
    return static_cast<int>(std::find(kinds.begin(), kinds.end(), kind) - kinds.begin());
}

TIniDocument Project(const std::string& text) {
    TIniDocument doc;
    doc.LoadFromText(text);
    return doc;
}

}  // namespace

TEST(ProcessOrder, ANewProjectShowsTheDefaultsAndOkWritesThemByteForByte) {
    TIniDocument project = Project("[Project]\r\nProjectName=a\r\n");
    M model(project, EditorData(), false);
    EXPECT_EQ(Kinds(model, M::kInstall), (std::vector<int>{6, 4, 5, 0, 2, 3, 1, 7}));
    EXPECT_EQ(Kinds(model, M::kUninstall), (std::vector<int>{6, 1, 3, 2, 5, 0, 4, 7}));
    EXPECT_FALSE(model.enabled(M::kInstall));
    EXPECT_FALSE(model.ListEnabled(M::kInstall)) << "the list follows its switch";
    model.SetEnabled(M::kInstall, true);
    ScriptedUi ui;
    EXPECT_FALSE(model.Check(ui).has_value());
    model.WriteTo(project);
    const std::string text = project.SaveToText();
    EXPECT_NE(text.find("[Installer]\r\nEnableInstallProcessOrderSetting=1\r\nEnableUnInstallProcessOrderSetting=0\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("[InstallProcessOrderItems]\r\n"
                        "0=1|6|||||65535||||||||||||||\r\n1=1|4|||||65535||||||||||||||\r\n"
                        "2=1|5|||||65535||||||||||||||\r\n3=1|0|||||65535||||||||||||||\r\n"
                        "4=1|2|||||65535||||||||||||||\r\n5=1|3|||||65535||||||||||||||\r\n"
                        "6=1|1|||||65535||||||||||||||\r\n7=1|7|||||65535||||||||||||||\r\n\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("[UnInstallProcessOrderItems]\r\n0=1|6|||||65535||||||||||||||\r\n"), std::string::npos);
    EXPECT_EQ(EditorData().ReadString("InstallProcessOrder", "3"), project.ReadString("InstallProcessOrderItems", "3"));
}

TEST(ProcessOrder, RefusedMovesShowTheirMessageAndKeepTheOrder) {
    struct Case {
        M::List list;
        std::vector<int> order;
        int kind;  // the item moved
        bool up;
        const char* message;  // nullptr: the move is allowed
    } cases[] = {
        {M::kInstall, {1, 0, 7, 2}, 7, true, "この項目は「ファイルのコピー/フォルダの作成」より前には移動できません"},
        {M::kInstall, {1, 7, 2, 0}, 7, true, "この項目は「ファイルのコピー/フォルダの作成」より前には移動できません"},
        {M::kUninstall, {0, 7, 1}, 7, true, "この項目は「ファイル/フォルダの削除」より前には移動できません"},
        {M::kInstall, {6, 0, 1}, 0, true, "この項目は「ファイルの実行(ファイルのコピー前)」より前には移動できません"},
        {M::kUninstall, {1, 0, 6}, 0, true, "この項目は「ファイルの実行(ファイルの削除前)」より前には移動できません"},
        {M::kInstall, {6, 0, 1}, 6, false, "この項目は「ファイルのコピー/フォルダの作成」より後ろには移動できません"},
        {M::kUninstall, {0, 6, 1}, 6, false, "この項目は「ファイル/フォルダの削除」より後ろには移動できません"},
        {M::kInstall, {1, 0, 7}, 0, false, "この項目は「ファイルの実行(ファイルのコピー後)」より後ろには移動できません"},
        {M::kUninstall, {7, 0, 1}, 0, false, "この項目は「ファイルの実行(ファイルの削除後)」より後ろには移動できません"},
        {M::kInstall, {6, 1, 0, 7}, 0, true, nullptr},
        {M::kInstall, {6, 0, 1, 7}, 0, false, nullptr},
        {M::kInstall, {0, 1, 7}, 7, true, nullptr},
    };
    for (const Case& c : cases) {
        std::string items;
        for (std::size_t i = 0; i < c.order.size(); ++i)
            items += std::to_string(i) + "=1|" + std::to_string(c.order[i]) + "|||||65535||||||||||||||\r\n";
        const char* section = c.list == M::kInstall ? "InstallProcessOrderItems" : "UnInstallProcessOrderItems";
        const char* enable = c.list == M::kInstall ? "EnableInstallProcessOrderSetting" : "EnableUnInstallProcessOrderSetting";
        M model(Project("[Installer]\r\n" + std::string(enable) + "=1\r\n[" + section + "]\r\n" + items), EditorData(),
                false);
        SCOPED_TRACE(::testing::Message() << "kind " << c.kind << (c.up ? " up" : " down"));
        ScriptedUi ui;
        const int row = RowOf(model, c.list, c.kind);
        const bool moved = c.up ? model.MoveUp(c.list, row, ui) : model.MoveDown(c.list, row, ui);
        if (c.message) {
            EXPECT_FALSE(moved);
            EXPECT_EQ(ui.messages(), std::vector<std::string>{S(c.message)});
            EXPECT_EQ(Kinds(model, c.list), c.order);
        } else {
            EXPECT_TRUE(moved);
            EXPECT_TRUE(ui.messages().empty());
            EXPECT_EQ(RowOf(model, c.list, c.kind), c.up ? row - 1 : row + 1);
        }
    }
}

TEST(ProcessOrder, FirstAndLastRowsAndSwitchedOffListsDoNotMove) {
    M model(Project("[Installer]\r\nEnableInstallProcessOrderSetting=1\r\n"), EditorData(), false);
    EXPECT_FALSE(model.CanMoveUp(M::kInstall, 0));
    EXPECT_FALSE(model.CanMoveDown(M::kInstall, 7));
    EXPECT_TRUE(model.CanMoveDown(M::kInstall, 6));
    EXPECT_FALSE(model.CanMoveDown(M::kUninstall, 1)) << "uninstall order switched off";
}

TEST(ProcessOrder, UntickingEveryItemMakesOkRefuseForThatList) {
    M model(Project("[Installer]\r\nEnableUnInstallProcessOrderSetting=1\r\n"), EditorData(), false);
    for (int row = 0; row < 8; ++row) model.SetTicked(M::kUninstall, row, false);
    ScriptedUi ui;
    EXPECT_EQ(model.Check(ui), M::kUninstall);
    EXPECT_EQ(ui.messages(), std::vector<std::string>{S("アンインストール処理を行う項目を最低1つは選択してください。")});
    model.SetTicked(M::kUninstall, 3, true);
    EXPECT_FALSE(model.Check(ui).has_value());
    TIniDocument project;
    model.WriteTo(project);
    EXPECT_EQ(project.ReadString("UnInstallProcessOrderItems", "0"), "0|6|||||65535||||||||||||||");
    EXPECT_EQ(project.ReadString("UnInstallProcessOrderItems", "3"), "1|2|||||65535||||||||||||||");
}

TEST(ProcessOrder, TheProjectsOwnOrderUseSectionAndDefaultButton) {
    TIniDocument project = Project(
        "[Installer]\r\nEnableInstallProcessOrderSetting=1\r\n[InstallProcessOrderSetting]\r\nUseSection=Mine\r\n"
        "[Mine]\r\n0=0|7|||||65535||||||||||||||\r\n1=1|0\r\n");
    M model(project, EditorData(), false);
    EXPECT_EQ(Kinds(model, M::kInstall), (std::vector<int>{7, 0}));
    EXPECT_FALSE(M::Ticked(model.items(M::kInstall)[0]));
    model.WriteTo(project);
    EXPECT_EQ(project.ReadString("Mine", "1"), "1|0|||||65535||||||||||||||") << "rewritten with twenty fields";
    model.RestoreDefault(M::kInstall);
    EXPECT_EQ(model.items(M::kInstall).size(), 8u);
}

TEST(ProcessOrder, AReadOnlyProjectChangesNothing) {
    TIniDocument project = Project("[Installer]\r\nEnableInstallProcessOrderSetting=1\r\n");
    M model(project, EditorData(), true);
    EXPECT_FALSE(model.ListEnabled(M::kInstall));
    model.SetTicked(M::kInstall, 0, false);
    model.SetEnabled(M::kInstall, false);
    EXPECT_TRUE(M::Ticked(model.items(M::kInstall)[0]));
    model.WriteTo(project);
    EXPECT_FALSE(project.SectionExists("InstallProcessOrderItems"));
}
