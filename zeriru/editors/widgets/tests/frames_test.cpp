// The frames the editors sit in: the dialog frame (discard question, pages, help, read-only
// view, checks shown on their page and field), the list panel (commands, keys, column widths)
// and the condition editor with the checks of each mode.
#include "toolkit_fixture.h"

#include "zeriru/editors/condition.h"
#include "zeriru/editors/item_rules.h"
#include "zeriru/system_services.h"
#include "zeriru/editors/widgets/condition_editor.h"
#include "zeriru/editors/widgets/define_widgets.h"
#include "zeriru/editors/widgets/dialog_frame.h"
#include "zeriru/editors/widgets/item_list_panel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>

using namespace zeriru;
using namespace zeriru::gui;
using qtsupport::ClickButton;
using qtsupport::testing::Find;
namespace cc = condition_control;

namespace {

// A dialog with two pages: a check box on the first, an edit on the second.
struct TwoPages : TEditorDialogFrame {
    QTabWidget* pages;
    QCheckBox* box;
    QLineEdit* edit;
    TwoPages(Ui& ui, EditorSettings* settings) : TEditorDialogFrame(ui, "frmTwoPages", QStringLiteral("T")) {
        pages = new QTabWidget(this);
        pages->setObjectName("PageControl");
        auto* first = new QWidget;
        first->setObjectName("tsFirst");
        box = new QCheckBox(QStringLiteral("x"), first);
        box->setObjectName("cbBox");
        auto* second = new QWidget;
        second->setObjectName("tsSecond");
        edit = new QLineEdit(second);
        edit->setObjectName("edtText");
        pages->addTab(first, QStringLiteral("1"));
        pages->addTab(second, QStringLiteral("2"));
        body()->addWidget(pages);
        UsePages(pages, {301, 302}, settings, "Dialog\\Application");
        TrackChanges();
    }
};

}  // namespace

TEST_F(ToolkitTest, FrameAsksBeforeDiscardingAChangeAndRemembersItsPage) {
    {
        TwoPages dialog(ui, &settings);
        dialog.show();
        dialog.pages->setCurrentIndex(1);
        dialog.reject();
        EXPECT_FALSE(dialog.isVisible()) << "nothing changed: no question";
        EXPECT_TRUE(ui.messages().empty());
    }
    TwoPages dialog(ui, &settings);
    EXPECT_EQ(dialog.pages->currentIndex(), 1) << "the page it was closed on";
    dialog.show();
    dialog.box->setChecked(true);
    dialog.reject();
    EXPECT_TRUE(dialog.isVisible()) << "No keeps it open";
    EXPECT_EQ(ui.messages(), std::vector<std::string>{S("変更内容を破棄してもよろしいですか？")});
    QApplication::setActiveWindow(&dialog);
    QTest::keyClick(&dialog, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(dialog.pages->currentIndex(), 0) << "wraps to the first page";
    ClickButton(dialog, "btnHelp");
    EXPECT_EQ(ui.helpTopics(), std::vector<int>{301});
    ui.QueueAnswer(Answer::Yes);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ToolkitTest, FrameShowsAFailedCheckOnThePageOfItsFieldAndOpensTheParameterDialog) {
    TwoPages dialog(ui, nullptr);
    auto* define = new TDefineCombo(dialog.pages->widget(1), "cmbDefine");
    define->SetDefine("%AbsoluteDir%");
    auto* field = new TParameterField(*kit, define, "edtParameter", "btnParameter", dialog.pages->widget(1));
    dialog.show();
    EXPECT_FALSE(dialog.ShowCheck(std::nullopt));
    EXPECT_TRUE(dialog.ShowCheck(Fail("message", "edtText")));
    EXPECT_EQ(dialog.pages->currentIndex(), 1);
    EXPECT_EQ(dialog.focusWidget(), dialog.edit);
    runner.Queue([](QDialog& d) {
        Find<QLineEdit>(d, "edtParam0")->setText(QStringLiteral("C:\\Tools"));
        ClickButton(d, "btnOk");
    });
    dialog.pages->setCurrentIndex(0);
    EXPECT_TRUE(dialog.ShowCheck(CheckDefineParameterRule(define->define(), field->parameter(), "edtParameter")));
    EXPECT_EQ(ui.messages().back(), S("パラメータが入力されていません。パラメータを入力してください。"));
    EXPECT_EQ(field->parameter(), "C:\\Tools") << "the parameter dialog opened after the message";
}

TEST_F(ToolkitTest, LockDownLeavesOnlyCancelHelpAndThePages) {
    TwoPages dialog(ui, nullptr);
    dialog.show();
    dialog.LockDown();
    EXPECT_FALSE(dialog.okButton()->isVisible());
    EXPECT_FALSE(dialog.box->isEnabled());
    EXPECT_FALSE(dialog.edit->isEnabled());
    EXPECT_TRUE(dialog.cancelButton()->isEnabled());
    EXPECT_TRUE(dialog.helpButton()->isEnabled());
    EXPECT_TRUE(dialog.pages->isEnabled());
    dialog.frame().MarkChanged();
    dialog.reject();
    EXPECT_FALSE(dialog.isVisible()) << "never asked for a read-only project";
}

TEST_F(ToolkitTest, ListPanelEnablesCommandsBySelectionAndAsksBeforeDeleting) {
    ItemList list;
    list.Load({"a|1|", "b|2|", "c|3|"});
    qtsupport::ItemRecordFormat format;
    format.columns = {QStringLiteral("名前"), QStringLiteral("値")};
    format.text = [](const std::string& r, int column) { return GetRecordField(r, column + 1, '|'); };
    TItemListPanel::Options options;
    options.viewName = "lvTest";
    options.commands = {ListCommand::Add, ListCommand::Edit, ListCommand::Delete, ListCommand::Copy,
                        ListCommand::Clear, ListCommand::Up, ListCommand::Down, ListCommand::SelectAll};
    QWidget host;
    TItemListPanel panel(ui, list, format, options, &settings, &host);
    std::vector<std::vector<int>> edited;
    panel.onEdit = [&](const std::vector<int>& rows) { edited.push_back(rows); };
    int changes = 0;
    panel.onChanged = [&] { ++changes; };
    host.show();
    auto enabled = [&](ListCommand c) { return panel.action(c)->isEnabled(); };
    panel.view()->selectRowOnly(0);
    EXPECT_FALSE(enabled(ListCommand::Up));
    EXPECT_TRUE(enabled(ListCommand::Down));
    EXPECT_TRUE(enabled(ListCommand::Copy));
    panel.action(ListCommand::SelectAll)->trigger();
    EXPECT_FALSE(enabled(ListCommand::Copy)) << "copy needs exactly one row";
    EXPECT_TRUE(enabled(ListCommand::Delete));
    panel.action(ListCommand::Delete)->trigger();
    EXPECT_EQ(list.size(), 3) << "No keeps the rows";
    EXPECT_EQ(ui.messages().back(), S("選択項目を削除しますか。"));
    panel.view()->selectRowOnly(1);
    panel.action(ListCommand::Down)->trigger();
    EXPECT_EQ(list.records(), (std::vector<std::string>{"a|1|", "c|3|", "b|2|"}));
    EXPECT_EQ(panel.view()->currentRowIndex(), 2) << "the moved row stays selected";
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(panel.model()->index(2, 1).data().toString(), QStringLiteral("2"));
    // A double click edits; keys other than the arrows and Page Up/Down do nothing in the list.
    Q_EMIT panel.view()->rowActivated(2);
    EXPECT_EQ(edited, (std::vector<std::vector<int>>{{2}}));
    QTest::keyClick(panel.view(), Qt::Key_Return);
    QTest::keyClick(panel.view(), Qt::Key_A);
    EXPECT_EQ(edited.size(), 1u);
    QTest::keyClick(panel.view(), Qt::Key_Up);
    EXPECT_EQ(panel.view()->currentRowIndex(), 1);
    panel.SetReadOnly(true, true);
    EXPECT_FALSE(enabled(ListCommand::Delete));
    EXPECT_FALSE(enabled(ListCommand::Add));
    EXPECT_TRUE(enabled(ListCommand::Edit)) << "kept to view an item";
}

TEST_F(ToolkitTest, ListPanelRemembersColumnWidthsOnlyWhenTheyDoNotFollowTheContents) {
    EditorOptions options = settings.ReadOptions();
    options.autoColumnWidth = false;
    settings.WriteOptions(options);
    settings.SetColumnWidth("Dialog\\Registry", 0, 90);
    ItemList list;
    qtsupport::ItemRecordFormat format;
    format.columns = {QStringLiteral("A"), QStringLiteral("B")};
    format.text = [](const std::string& r, int) { return r; };
    TItemListPanel::Options o;
    o.layoutKey = "Dialog\\Registry";
    QWidget host;
    host.resize(400, 300);
    TItemListPanel panel(ui, list, format, o, &settings, &host);
    host.show();
    EXPECT_EQ(panel.columnWidths().front(), 90) << "the stored width, not the contents";
    panel.view()->setColumnWidths({120, 90});
    QTest::mouseMove(panel.view()->viewport(), QPoint(10, 10));
    EXPECT_EQ(settings.ColumnWidth("Dialog\\Registry", 0), 120) << "stored when the mouse moves over the list";
}

namespace {

// A dialog holding the condition editor, whose OK runs its check as an item dialog does.
struct ConditionDialog : TEditorDialogFrame {
    TConditionEditor* editor;
    ConditionDialog(EditorToolkit& kit) : TEditorDialogFrame(kit.ui(), "frmCondition", QStringLiteral("C")) {
        auto* pages = new QTabWidget(this);
        auto* detail = new QWidget;
        detail->setObjectName("tsDetail");
        editor = new TConditionEditor(kit, {"%InstallDir%", "%AbsoluteDir%"}, {"%InstallDir%"});
        editor->setObjectName("tsCondition");
        pages->addTab(detail, QStringLiteral("詳細"));
        pages->addTab(editor, QStringLiteral("条件の指定"));
        body()->addWidget(pages);
        onOk = [this] { return !ShowCheck(editor->Check()); };
    }
};

}  // namespace

TEST_F(ToolkitTest, ConditionChecksRunOnlyInAdvancedMode) {
    {
        ConditionDialog dialog(*kit);
        dialog.show();
        Find<QComboBox>(dialog, cc::kTiming)->setCurrentIndex(1);  // empty sub-key
        ClickButton(dialog, "btnOk");
        EXPECT_FALSE(dialog.isVisible()) << "standard mode accepts";
        EXPECT_TRUE(ui.messages().empty());
    }
    Advanced(true);
    ConditionDialog dialog(*kit);
    dialog.show();
    auto* timing = Find<QComboBox>(dialog, cc::kTiming);
    auto* type = Find<QComboBox>(dialog, cc::kType);
    EXPECT_TRUE(type->isHidden()) << "no type without a timing";
    timing->setCurrentIndex(1);
    EXPECT_FALSE(type->isHidden());
    ClickButton(dialog, "btnOk");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(ui.messages().back(), S("サブキーを入力してください。"));
    EXPECT_EQ(dialog.focusWidget(), Find<QLineEdit>(dialog, cc::kSubKey));
    EXPECT_EQ(dialog.findChild<QTabWidget*>()->currentWidget()->objectName(), QStringLiteral("tsCondition"));

    // Type 2 needs a value but no value name.
    type->setCurrentIndex(kConditionValueEquals);
    Find<QLineEdit>(dialog, cc::kSubKey)->setText(QStringLiteral("Software\\A"));
    Find<QLineEdit>(dialog, cc::kValue)->setText(QStringLiteral("1"));
    EXPECT_FALSE(Find<QLineEdit>(dialog, cc::kValueName)->isHidden());
    EXPECT_TRUE(Find<QLineEdit>(dialog, cc::kFileName)->isHidden());
    ClickButton(dialog, "btnOk");
    EXPECT_FALSE(dialog.isVisible());
    const ConditionRecord r = dialog.editor->Record(4, 2);
    EXPECT_EQ(r.Format(), "1,2,HKEY_CURRENT_USER,Software\\A,,1,4,,,2,");
}

TEST_F(ToolkitTest, ConditionEditorShowsAStoredFileConditionAndStoresItBack) {
    Advanced(true);
    ConditionDialog dialog(*kit);
    ConditionRecord stored;
    stored.timing = kConditionBoth;
    stored.type = kConditionFileExists;
    stored.rootOrDefine = "%AbsoluteDir%";
    stored.keyOrParameter = "C:\\Tools";
    stored.name = "tool.exe";
    dialog.editor->Load(stored);
    dialog.show();
    EXPECT_FALSE(dialog.editor->folderGroup()->isHidden());
    EXPECT_TRUE(Find<QGroupBox>(dialog, "grpConditionRegistry")->isHidden());
    EXPECT_EQ(Find<QLineEdit>(dialog, cc::kFileName)->text(), QStringLiteral("tool.exe"));
    EXPECT_EQ(Find<QComboBox>(dialog, cc::kFolderDefine)->currentText(), QStringLiteral("%AbsoluteDir%"));
    EXPECT_EQ(dialog.editor->Record(), stored);
    Find<QLineEdit>(dialog, cc::kFileName)->setText(QStringLiteral("a\\b"));
    ClickButton(dialog, "btnOk");
    EXPECT_EQ(ui.messages().back(), MsgInvalidFileName());
}
