// The smallest editor the toolkit makes: a list of "launch" items (a name, a folder define with
// its parameter, an OS target and a condition) in [ExampleSetting] / [ExampleItems], put
// together the way zeriru/editors/README.md describes, and run through the main window's
// editor contract (MainWindowModel::EditSetting) on a project file in a prefix.
#include "shell_fixture.h"

#include "qtsupport/gui_test.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/editors/condition.h"
#include "zeriru/editors/item_list.h"
#include "zeriru/editors/item_rules.h"
#include "zeriru/editors/record_codec.h"
#include "zeriru/editors/widgets/condition_editor.h"
#include "zeriru/editors/widgets/define_widgets.h"
#include "zeriru/editors/widgets/dialog_frame.h"
#include "zeriru/editors/widgets/editor_toolkit.h"
#include "zeriru/editors/widgets/item_list_panel.h"
#include "zeriru/main_window_model.h"
#include "zeriru/project_file.h"

#include <QAction>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

using namespace zeriru;
using namespace zeriru::gui;
using qtsupport::ClickButton;
using qtsupport::ToQString;
using qtsupport::ToSjis;
using qtsupport::testing::Find;

namespace {

// ---- the record: one codec for the kind ----
namespace launch_item {
constexpr int kName = 1, kDefine = 2, kParameter = 3, kOsMask = 4, kServicePacks = 5, kCondition = 6;
}
const RecordCodec& LaunchItemCodec() {
    using namespace launch_item;
    static const RecordCodec codec("launch", '|', kItemFieldCount, true,
                                   {{kName, "name", FieldKind::Text, ""},
                                    {kDefine, "define", FieldKind::Text, ""},
                                    {kParameter, "parameter", FieldKind::Text, ""},
                                    {kOsMask, "os", FieldKind::Integer, "65535"},
                                    {kServicePacks, "sp", FieldKind::Raw, ""},
                                    {kCondition, "condition", FieldKind::Raw, ""}});
    return codec;
}

// ---- the item dialog: a frame with two pages ----
class TLaunchItemDialog : public TEditorDialogFrame {
public:
    TLaunchItemDialog(EditorToolkit& kit, std::string& record)
        : TEditorDialogFrame(kit.ui(), "frmLaunchItemDialog", QStringLiteral("起動項目"), kit.parent()),
          kit_(kit), record_(record) {
        using namespace launch_item;
        const RecordCodec& c = LaunchItemCodec();
        auto* pages = new QTabWidget(this);
        auto* detail = new QWidget;
        detail->setObjectName("tsDetail");
        auto* form = new QFormLayout(detail);
        name_ = new QLineEdit(ToQString(c.Text(record, kName)), detail);
        name_->setObjectName("edtName");
        define_ = new TDefineCombo(detail, "cmbDefine");
        define_->SetEntries(kit.data().DefineList("DFNLIST_FILESITEM"));
        define_->SetDefine(c.Text(record, kDefine).empty() ? "%InstallDir%" : c.Text(record, kDefine));
        parameter_ = new TParameterField(kit, define_, "edtParameter", "btnParameter", detail);
        parameter_->SetParameter(c.Text(record, kParameter));
        auto* sample = new TSamplePathLine(kit, detail, "lblSample");
        sample->Follow(define_, parameter_);
        auto* os = new QPushButton(QStringLiteral("OSの指定(&O)"), detail);
        os->setObjectName("btnOS");
        os->setEnabled(kit.data().projectChecksOs());
        form->addRow(QStringLiteral("項目名(&N)"), name_);
        form->addRow(QStringLiteral("フォルダ定数(&D)"), define_);
        form->addRow(QStringLiteral("パラメータ(&P)"), parameter_);
        form->addRow(sample);
        form->addRow(os);
        condition_ = new TConditionEditor(kit, {"%InstallDir%", "%AbsoluteDir%"}, kit.data().DefineList("DFNLIST_FILESITEM"));
        condition_->setObjectName("tsCondition");
        condition_->Load(ConditionRecord::Parse(c.Text(record, kCondition)));
        pages->addTab(detail, QStringLiteral("詳細"));
        pages->addTab(condition_, QStringLiteral("条件の指定"));
        body()->addWidget(pages);
        os_ = record.empty() ? kit.data().projectOs()
                             : OsTarget::Read(c.Stored(record, kOsMask), c.Stored(record, kServicePacks));
        connect(os, &QPushButton::clicked, this, [this] {
            if (std::optional<OsTarget> edited = kit_.EditOsTarget(os_)) os_ = *edited;
        });
        SetHelpTopic(1);
        TrackChanges();
    }

protected:
    bool AcceptOk() override {
        const std::string name = ToSjis(name_->text());
        if (ShowCheck(CheckRequired(name, platform::sjis::S("項目名が入力されていません。"), "edtName"))) return false;
        if (ShowCheck(CheckFolderDefineRule(define_->define(), "cmbDefine"))) return false;
        if (ShowCheck(CheckDefineParameterRule(define_->define(), parameter_->parameter(), "edtParameter")))
            return false;
        if (ShowCheck(condition_->Check())) return false;
        using namespace launch_item;
        record_ = LaunchItemCodec().Update(record_, {{kName, name},
                                                     {kDefine, define_->define()},
                                                     {kParameter, parameter_->parameter()},
                                                     {kOsMask, os_.MaskText()},
                                                     {kServicePacks, os_.ServicePackText()},
                                                     {kCondition, condition_->Record().Format()}});
        return true;
    }

private:
    EditorToolkit& kit_;
    std::string& record_;
    QLineEdit* name_;
    TDefineCombo* define_;
    TParameterField* parameter_;
    TConditionEditor* condition_;
    OsTarget os_;
};

// ---- the list dialog: a frame around a list panel ----
class TLaunchDialog : public TEditorDialogFrame {
public:
    TLaunchDialog(EditorToolkit& kit, ItemList& list, bool readOnly)
        : TEditorDialogFrame(kit.ui(), "frmLaunchDialog", QStringLiteral("起動の設定"), kit.parent()), kit_(kit),
          list_(list) {
        qtsupport::ItemRecordFormat format;
        format.columns = {QStringLiteral("項目名"), QStringLiteral("フォルダ")};
        format.text = [](const std::string& r, int column) {
            const RecordCodec& c = LaunchItemCodec();
            return column == 0 ? c.Text(r, launch_item::kName)
                               : JoinDefinePath(c.Text(r, launch_item::kDefine), c.Text(r, launch_item::kParameter));
        };
        TItemListPanel::Options options;
        options.viewName = "lvLaunch";
        options.layoutKey = "Dialog\\Launch";
        panel_ = new TItemListPanel(kit.ui(), list, format, options, &kit.data().settings(), this);
        panel_->onAdd = [this] { Edit(-1); };
        panel_->onEdit = [this](const std::vector<int>& rows) { Edit(rows.front()); };
        auto* row = new QHBoxLayout;
        row->addWidget(panel_, 1);
        auto* buttons = new QVBoxLayout;
        buttons->addWidget(panel_->MakeButton(ListCommand::Add, "btnAdd", this));
        buttons->addWidget(panel_->MakeButton(ListCommand::Edit, "btnEdit", this));
        buttons->addWidget(panel_->MakeButton(ListCommand::Delete, "btnDelete", this));
        buttons->addStretch();
        row->addLayout(buttons);
        body()->addLayout(row);
        SetHelpTopic(1);
        TrackList(list);
        if (readOnly) {
            LockDown();
            panel_->SetReadOnly(true, true);
        }
    }

private:
    void Edit(int row) {
        if (row < 0 && !list_.CanAdd(kit_.ui())) return;
        std::string record = row < 0 ? std::string() : list_.record(row);
        TLaunchItemDialog dialog(kit_, record);
        if (kit_.Run(dialog) != QDialog::Accepted) return;
        if (row < 0)
            row = list_.Append(record);
        else
            list_.Replace(row, record);
        panel_->Reload(row);
    }

    EditorToolkit& kit_;
    ItemList& list_;
    TItemListPanel* panel_;
};

// ---- the editor: the main window's contract ----
class LaunchEditor : public SettingEditor {
public:
    LaunchEditor(SettingEditorContext& context, qtsupport::DialogRunner& runner, QWidget* parent)
        : kit_(EditorToolkit::ForSettingEditor(context, runner, parent)) {}
    void Fill(const TIniDocument& project, bool readOnly) override {
        project_ = project;
        kit_->data().SetProject(&project_);
        readOnly_ = readOnly;
        list_.Load(ReadItemsCounted(project, ItemsSectionName(project, "ExampleSetting", "ExampleItems")));
    }
    bool ShowModal() override {
        TLaunchDialog dialog(*kit_, list_, readOnly_);
        return kit_->Run(dialog) == QDialog::Accepted;
    }
    void Write(TIniDocument& project) override {
        WriteItems(project, ItemsSectionName(project, "ExampleSetting", "ExampleItems"), list_.records());
    }

private:
    std::unique_ptr<EditorToolkit> kit_;
    TIniDocument project_;
    ItemList list_;
    bool readOnly_ = false;
};

struct ExampleEditorTest : ShellTest {
    qtsupport::ScriptedDialogRunner runner;
    QWidget window;
    std::unique_ptr<MainWindowModel> main;
    const std::string path = "C:\\p\\a.PJ2";

    void SetUp() override {
        ShellTest::SetUp();
        for (const char* name : {"DEFINE.DAT", "DEFINEPARAM.DAT"})
            std::filesystem::copy(std::filesystem::path(SUITE_SHARE_DIR) / name, Host(kEditorFolder) / name);
        MainWindowModel::Hooks hooks;
        hooks.settingEditors = [this](SettingEditorKind, SettingEditorContext& context) {
            return std::make_unique<LaunchEditor>(context, runner, &window);
        };
        main = std::make_unique<MainWindowModel>(ui, *env, hooks);
        WriteProject(path, "[Project]\nGenerator=DOZOZE 2.0\nProjectName=A\n[OSSetting]\nOSVersion=288\n"
                           "[ExampleItems]\n0=keep|%InstallDir%||65535|||\n");
        ASSERT_TRUE(main->commands().OpenProject(path, OpenOrigin::OpenDialog));
    }
};

}  // namespace

TEST_F(ExampleEditorTest, AnItemAddedThroughThePiecesReachesTheProjectFile) {
    EditorOptions options = env->settings().ReadOptions();
    options.mode = 1;  // advanced: the condition is checked
    env->settings().WriteOptions(options);
    runner.Queue([this](QDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("frmLaunchDialog"));
        EXPECT_EQ(Find<qtsupport::ItemListView>(d, "lvLaunch")->model()->rowCount(), 1);
        ClickButton(d, "btnAdd");
        ClickButton(d, "btnOk");
    });
    runner.Queue([this](QDialog& d) {
        ClickButton(d, "btnOk");
        EXPECT_EQ(ui.messages().back(), S("項目名が入力されていません。"));
        Find<QLineEdit>(d, "edtName")->setText(QString::fromUtf8("起動|1"));
        Find<QComboBox>(d, "cmbDefine")->setEditText(QStringLiteral("%AbsoluteDir%"));
        ClickButton(d, "btnOk");  // the parameter is missing: the message, then its dialog
        EXPECT_EQ(Find<QLineEdit>(d, "edtParameter")->text(), QStringLiteral("C:\\Tools"));
        Find<QComboBox>(d, "cmbConditionTiming")->setCurrentIndex(kConditionInstall);
        ClickButton(d, "btnOk");
        EXPECT_EQ(ui.messages().back(), S("サブキーを入力してください。"));
        Find<QLineEdit>(d, "edtConditionSubKey")->setText(QStringLiteral("Software\\A"));
        ClickButton(d, "btnOS");
        ClickButton(d, "btnOk");
    });
    runner.Queue([](QDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("frmDefineParamDialog"));
        Find<QLineEdit>(d, "edtParam0")->setText(QStringLiteral("C:\\Tools"));
        ClickButton(d, "btnOk");
    });
    runner.Queue([](QDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("frmOSDialog"));
        ClickButton(d, "btnOk");
    });
    EXPECT_EQ(main->EditSetting(SettingEditorKind::IniFile), EditOutcome::Confirmed);
    const TIniDocument doc = TIniDocument::OpenWindowsPath(path);
    const std::string added = doc.ReadString("ExampleItems", "1");
    EXPECT_EQ(LaunchItemCodec().Dump(added),
              S("launch{name=起動|1, define=%AbsoluteDir%, parameter=C:\\Tools, os=288, sp=0,0,0,0,0,0, "
                "condition=1,0,HKEY_CURRENT_USER,Software\\A,,,0,,,0,}"));
    EXPECT_EQ(doc.ReadString("ExampleItems", "0"), "keep|%InstallDir%||65535|||") << "untouched, byte for byte";
    EXPECT_EQ(doc.ReadString("ButtonStatus", "5"), S("×"));
}

TEST_F(ExampleEditorTest, CancelAfterAChangeAsksAndAReadOnlyProjectOnlyViews) {
    runner.Queue([this](QDialog& d) {
        auto* view = Find<qtsupport::ItemListView>(d, "lvLaunch");
        view->selectRowOnly(0);
        ui.QueueAnswer(Answer::Yes);  // delete
        ClickButton(d, "btnDelete");
        EXPECT_EQ(view->model()->rowCount(), 0);
        ClickButton(d, "btnCancel");
        EXPECT_TRUE(d.isVisible()) << "No to the discard question";
        ui.QueueAnswer(Answer::Yes);
        ClickButton(d, "btnCancel");
    });
    EXPECT_EQ(main->EditSetting(SettingEditorKind::IniFile), EditOutcome::Cancelled);
    EXPECT_EQ(ui.messages().back(), S("変更内容を破棄してもよろしいですか？"));
    EXPECT_TRUE(TIniDocument::OpenWindowsPath(path).ValueExists("ExampleItems", "0"));

    ASSERT_TRUE(SetReadOnlyFile(Host(path), true));
    runner.Queue([](QDialog& d) {
        EXPECT_FALSE(Find<QPushButton>(d, "btnOk")->isVisible());
        EXPECT_FALSE(Find<QPushButton>(d, "btnAdd")->isEnabled());
        EXPECT_FALSE(ClickButton(d, "btnDelete"));
        ClickButton(d, "btnCancel");
    });
    EXPECT_EQ(main->EditSetting(SettingEditorKind::IniFile), EditOutcome::Cancelled);
    SetReadOnlyFile(Host(path), false);
}
