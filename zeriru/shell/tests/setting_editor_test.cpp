#include "zeriru/setting_editor.h"

#include "shell_fixture.h"
#include "zeriru/main_window_model.h"

using namespace zeriru;

namespace {

// An editor that owns [Fake] and records what the main window let it see.
class FakeEditor : public SettingEditor {
public:
    explicit FakeEditor(HintGate& gate) : gate_(gate) {}
    void Fill(const TIniDocument& project, bool readOnly) override {
        filled = project.ReadString("Fake", "Value");
        readOnlySeen = readOnly;
        hintsWhileFilling = gate_.enabled();
    }
    bool ShowModal() override {
        hintsWhileShown = gate_.enabled();
        return ok;
    }
    void Write(TIniDocument& project) override {
        ++writes;
        project.WriteString("Fake", "Value", "new");
    }
    bool ok = true;
    std::string filled;
    bool readOnlySeen = false, hintsWhileFilling = true, hintsWhileShown = false;
    int writes = 0;

private:
    HintGate& gate_;
};

struct SettingEditorTest : ShellTest {
    std::unique_ptr<MainWindowModel> model;
    const std::string project = "C:\\p\\a.PJ2";
    void SetUp() override {
        ShellTest::SetUp();
        WriteProject(project, "[Project]\nGenerator=DOZOZE 2.0\nProjectName=a\nMajorVersion=4\nMinorVersion=2\n"
                              "[Fake]\nValue=old\n");
        model = std::make_unique<MainWindowModel>(ui, *env, MainWindowModel::Hooks{});
        ASSERT_TRUE(model->commands().OpenProject(project, OpenOrigin::OpenDialog));
    }
    TIniDocument Doc() const { return TIniDocument(Host(project)); }
};

}  // namespace

TEST_F(SettingEditorTest, OkWritesTheSectionsSavesMarksTheButtonAndSavesTheStatus) {
    FakeEditor editor(model->hints());
    EXPECT_EQ(RunSettingEditor(SettingEditorKind::Registry, editor, model->commands(), model->hints(), ui),
              EditOutcome::Confirmed);
    EXPECT_EQ(editor.filled, "old");
    EXPECT_FALSE(editor.hintsWhileFilling) << "no hint while the dialog is filled";
    EXPECT_TRUE(editor.hintsWhileShown);
    const TIniDocument doc = Doc();
    EXPECT_EQ(doc.ReadString("Fake", "Value"), "new");
    EXPECT_EQ(doc.ReadString("ButtonStatus", "4"), ButtonConfirmedMark());
    EXPECT_EQ(doc.ReadString("ButtonStatus", "1"), "");
    EXPECT_EQ(doc.ReadString("Project", "MinorVersion"), "3") << "the status save raised the format";
    EXPECT_EQ(model->ButtonCaptions()[3], ButtonConfirmedMark());
}

TEST_F(SettingEditorTest, CancelAndReadOnlyProjectsWriteNothing) {
    FakeEditor cancelled(model->hints());
    cancelled.ok = false;
    EXPECT_EQ(RunSettingEditor(SettingEditorKind::Files, cancelled, model->commands(), model->hints(), ui),
              EditOutcome::Cancelled);
    ASSERT_TRUE(model->commands().ToggleReadOnly());
    FakeEditor viewer(model->hints());
    EXPECT_EQ(RunSettingEditor(SettingEditorKind::Files, viewer, model->commands(), model->hints(), ui),
              EditOutcome::Viewed);
    EXPECT_TRUE(viewer.readOnlySeen);
    EXPECT_EQ(cancelled.writes + viewer.writes, 0);
    EXPECT_EQ(Doc().ReadString("Fake", "Value"), "old");
    EXPECT_FALSE(Doc().SectionExists("ButtonStatus"));
}

TEST_F(SettingEditorTest, TheWindowRunsTheEditorItsTableMakes) {
    std::vector<SettingEditorKind> made;
    MainWindowModel::Hooks hooks;
    hooks.settingEditors = [&](SettingEditorKind kind, SettingEditorContext& context) -> std::unique_ptr<SettingEditor> {
        made.push_back(kind);
        EXPECT_EQ(context.project.projectName, "a");
        return std::make_unique<FakeEditor>(model->hints());
    };
    model = std::make_unique<MainWindowModel>(ui, *env, hooks);
    ASSERT_TRUE(model->commands().OpenProject(project, OpenOrigin::OpenDialog));
    EXPECT_EQ(model->EditSetting(SettingEditorKind::InstallerOption), EditOutcome::Confirmed);
    EXPECT_EQ(made, std::vector<SettingEditorKind>{SettingEditorKind::InstallerOption});
    EXPECT_EQ(Doc().ReadString("ButtonStatus", "7"), ButtonConfirmedMark());
}

TEST(SettingEditorTexts, ButtonsAndMenuEntriesInTheWindowsOrder) {
    EXPECT_STREQ(SettingButtonName(SettingEditorKind::Uninstall), "btnUnInstallOption");
    EXPECT_EQ(SettingButtonLabel(SettingEditorKind::Registry), platform::sjis::S("レジストリの設定(&R)"));
    EXPECT_EQ(SettingMenuCaption(SettingEditorKind::Registry), platform::sjis::S("レジストリの設定(&G)"));
}
