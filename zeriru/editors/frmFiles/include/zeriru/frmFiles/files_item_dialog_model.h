// Model of the item dialog TfrmFilesItemDialog ("ファイル/フォルダ項目"): a wizard that makes new
// items (the choice of what to do, the page of that choice, the extended options) and a page set
// that edits one item or several file items at once.
//
// The wizard's pages and the tabs of "拡張オプション" depend on the choice (or, when editing, on
// the item's kind); Next/Finish and OK check the pages shown and name the page and control of a
// failure. After Finish, MakeItems turns what was entered into records; after OK, Apply updates
// the edited records. Check boxes of several items have a third state that leaves each item as
// it is.
#pragma once

#include "zeriru/editors/check_result.h"
#include "zeriru/editors/condition.h"
#include "zeriru/editors/editor_data.h"
#include "zeriru/editors/os_target.h"
#include "zeriru/frmFiles/file_tree.h"
#include "zeriru/frmFiles/files_item.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zeriru {

class Ui;

// Three-state check boxes: Grayed leaves every edited item as it is.
enum class Tri { Unchecked, Checked, Grayed };
inline Tri TriOf(bool on) { return on ? Tri::Checked : Tri::Unchecked; }

// Where the items the wizard makes go: the list dialog's list while it adds.
class FilesItemSink {
public:
    virtual ~FilesItemSink() = default;
    // Items the list holds now.
    virtual int Count() const = 0;
    // Between two items: lets the interface run; false once the addition was stopped.
    virtual bool KeepGoing() = 0;
    virtual void Add(std::string record) = 0;
};

// Object names of the item dialog's pages and of the controls its checks name.
namespace files_item_control {
inline constexpr const char* kPageSelect = "tsSelect";
inline constexpr const char* kPageFiles = "tsFiles";
inline constexpr const char* kPageFolder = "tsFolder";
inline constexpr const char* kPageDelete = "tsDelete";
inline constexpr const char* kPageCreate = "tsCreate";
inline constexpr const char* kPageGraphical = "tsGraphical";
inline constexpr const char* kPageComponent = "tsComponent";
inline constexpr const char* kPageExtend = "tsExtend";
inline constexpr const char* kTabDetail = "tsDetail";
inline constexpr const char* kTabOption = "tsOption";
inline constexpr const char* kTabCondition = "tsCondition";

inline constexpr const char* kChoiceComponent = "rbSelect5";
inline constexpr const char* kFileList = "lbFiles";
inline constexpr const char* kFolder = "edtFolder";
inline constexpr const char* kDeleteDefine = "cmbDeleteDefine";
inline constexpr const char* kDeleteParameter = "edtDeleteParameter";
inline constexpr const char* kDeleteFileName = "edtDeleteFileName";
inline constexpr const char* kCreateDefine = "cmbCreateDefine";
inline constexpr const char* kCreateParameter = "edtCreateParameter";
inline constexpr const char* kGraphTree = "tvGraph";
inline constexpr const char* kComponentFile = "edtComponentFile";
inline constexpr const char* kComponentName = "edtComponentName";
inline constexpr const char* kDefine = "cmbDefine";
inline constexpr const char* kParameter = "edtParameter";
}  // namespace files_item_control

class FilesItemDialogModel {
public:
    enum class Mode { Add, EditOne, EditSeveral };
    enum class Page { Select, Files, Folder, Delete, Create, Graphical, Component, Extend };
    // The choices of "処理の選択".
    enum Choice : int {
        kChoiceFiles = 0,
        kChoiceFolder,
        kChoiceDelete,
        kChoiceCreate,
        kChoiceGraphical,
        kChoiceComponent,
    };
    static constexpr int kChoiceCount = 6;
    // The define lists of the editor data file the combos offer.
    enum class DefineList { Destination, Delete, Create, Graphical, ConditionFolder, ConditionIni };

    struct Environment {
        EditorData& data;  // define lists, sample paths, the project-wide OS target, the mode
        Ui& ui;
        RegistrableTest registrable = DefaultRegistrableTest();
        // The list being edited is a component definition file's own.
        bool componentList = false;
        bool readOnly = false;
        // Shows the list dialog on the records of a component definition file; true after OK.
        std::function<bool(std::vector<std::string>& records)> editComponentList;
    };

    // A new item (the wizard).
    static FilesItemDialogModel ForNewItem(Environment env);
    // One existing item of a known kind.
    static FilesItemDialogModel ForItem(Environment env, const std::string& record);
    // Several file items.
    static FilesItemDialogModel ForItems(Environment env, const std::vector<std::string>& records);

    static std::string Caption();  // "ファイル/フォルダ項目"
    static std::string PageCaption(Page page);
    static std::string ChoiceText(int choice);
    static std::string ChoiceGroupCaption();  // "処理を選択してください"
    static const char* PageName(Page page);

    Mode mode() const { return mode_; }
    bool readOnly() const { return env_.readOnly; }
    bool advancedMode() const { return env_.data.advancedMode(); }
    // The kind of the item edited (EditOne), else -1.
    int editedKind() const { return editedKind_; }

    // ---- pages ----
    // The pages in order: the wizard's for the current choice, or those of the edited items.
    std::vector<Page> Pages() const;
    Page page() const { return page_; }
    int PageIndex() const;
    bool IsLastPage() const;
    bool CanGoBack() const { return mode_ == Mode::Add && PageIndex() > 0; }
    // "次へ(&N)", or "完了(&F)" on the last page.
    std::string NextCaption() const;
    // "次へ"/"完了": checks the page shown; moves on, or on the last page sets finished().
    CheckOutcome Next();
    void Back();
    bool finished() const { return finished_; }
    // "OK" while editing: checks every page shown in order.
    CheckOutcome Ok();
    // The checks of one page (and of the tabs of 拡張オプション shown).
    CheckOutcome CheckPage(Page page) const;
    // Help topic of a page.
    static int HelpTopic(Page page);

    // What 拡張オプション shows.
    struct ExtendLayout {
        bool destination = false;  // the group "インストール先のフォルダ", sample and comment
        bool optionsTab = false;
        bool optionsEnabled = false;  // the file options list
        bool attributes = false;      // the attribute list
        bool conditionTab = false;
    };
    ExtendLayout Layout() const;
    // The destination group disappears while "ファイルをコピーしない" is checked.
    bool DestinationVisible() const;
    // The define combo and parameter edit of the destination can be changed.
    bool DestinationEditable() const;
    // "OSの指定(&O)" is usable (the project-wide OS check is on).
    bool OsButtonEnabled() const;

    // ---- common ----
    Tri enabled = Tri::Checked;
    int choice = kChoiceFiles;

    // ---- ファイルの選択 ----
    std::vector<std::string> files;
    // The browse button reads "変更(&E)" while one file item is edited.
    bool ChangesFile() const { return mode_ == Mode::EditOne; }

    // ---- フォルダの選択 ----
    struct FolderPage {
        std::string folder;
        bool keepStructure = true;
        bool subfolders = true;
        bool emptyFolders = false;
        bool keepAttributes = true;
    } folderPage;
    // "フォルダ構成を維持する" needs the sub-folders.
    bool KeepStructureEnabled() const { return folderPage.subfolders && !readOnly(); }

    // ---- 削除ファイル/フォルダの指定 ----
    enum DeleteTarget : int { kDeleteTargetFile = 0, kDeleteTargetFolder, kDeleteTargetTree };
    struct DeletePage {
        int target = kDeleteTargetFile;
        std::string define = "%InstallDir%";
        std::string parameter;
        std::string fileName;
    } deletePage;
    static std::string DeleteTargetText(int target);
    // The target is fixed while an item is edited; the file name is used only for files.
    bool DeleteTargetEnabled() const { return mode_ == Mode::Add && !readOnly(); }
    bool DeleteFileNameEnabled() const { return deletePage.target == kDeleteTargetFile && !readOnly(); }
    // Browsing keeps only the file name.
    void SetDeleteFileFromBrowse(std::string_view path);

    // ---- フォルダの作成 ----
    struct CreatePage {
        std::string define = "%InstallDir%";
        std::string parameter;
    } createPage;

    // ---- グラフィカルモード ----
    struct GraphicalPage {
        std::string define = "%InstallDir%";
        bool createEmpty = true;
        GraphicalTreeModel tree;
    } graphicalPage;
    // The root shows the sample path of the define; called when it changes.
    void RefreshGraphicalRoot();

    // ---- コンポーネント定義ファイルの指定 ----
    struct ComponentPage {
        std::string fileName;
        std::string name;
        std::string description;
        bool selectedByDefault = true;
    } componentPage;
    // "参照(&R)": only a component definition file is taken.
    void BrowseComponent();
    // "作成(&C)": a file name in the component file dialog; an existing file is edited, a new
    // one made from an empty list.
    void CreateComponent();
    // "編集(&E)": the list of the component file named in the field, written back on OK.
    void EditComponent();
    static std::string ComponentFilter();

    // ---- 拡張オプション ----
    Tri standardFolder = Tri::Checked;
    std::string define = "%InstallDir%";
    std::string parameter;
    std::string comment;
    // Checking "標準のフォルダにインストールする" puts the standard destination into the controls.
    void SetStandardFolder(Tri state);

    Tri OptionState(int line) const { return options_[static_cast<std::size_t>(line)]; }
    bool OptionEnabled(int line) const;
    // Applies the rules among the lines: the three lines about an existing file exclude one
    // another, registration brings the shared file, "ファイルをコピーしない" clears the others.
    void SetOption(int line, Tri state);
    Tri AttributeState(int line) const { return attributes_[static_cast<std::size_t>(line)]; }
    bool AttributeEnabled(int line) const;
    void SetAttribute(int line, Tri state);
    // The option and attribute bits checked (single item).
    int OptionBits() const;
    int AttributeBits() const;

    // The OS target of one item, and the dialog that edits it.
    const OsTarget& os() const { return os_; }
    OsDialogModel MakeOsDialog() const;
    void ApplyOsDialog(const OsDialogModel& dialog);

    // 条件の指定.
    ConditionEditorModel condition;
    // "インストール先のフォルダから取得": asks, then copies the destination (and for a file
    // condition the first source file's name) into the condition.
    void TakeConditionFromDestination();

    // ---- define combos and sample paths ----
    // The entries of a combo; the destination, delete, create and graphical lists start with
    // "%InstallDir%" when the data file lacks it.
    std::vector<std::string> DefineChoices(DefineList list) const;
    // ExpandInstallPath of define\parameter (and \file name).
    std::string SamplePath(std::string_view defineText, std::string_view parameterText,
                           std::string_view fileName = {}) const;
    // The destination that the items get: "%InstallDir%" and no parameter while the standard
    // folder is checked.
    std::string DestinationDefine() const;
    std::string DestinationParameter() const;

    // ---- results ----
    struct MakeOptions {
        bool autoRegister = false;  // "共有ファイルを自動登録" of the list dialog
    };
    // After Finish: makes the items of the choice into the sink. Returns the number made.
    int MakeItems(FilesItemSink& sink, const MakeOptions& options);
    // After OK with one item: the record updated in place.
    std::string Apply(const std::string& record) const;
    // After OK with several items: each record with what was set applied.
    std::string ApplyToOne(const std::string& record) const;
    std::vector<std::string> ApplySeveral(const std::vector<std::string>& records) const;

private:
    explicit FilesItemDialogModel(Environment env, Mode mode);
    void LoadRecord(const std::string& record);
    int ChoiceOfKind(int kind) const;
    CheckOutcome CheckExtend() const;
    CheckOutcome CheckComponentPage() const;
    CheckOutcome OnPage(CheckOutcome result, Page page) const;
    // The record fields every new item of the choice shares.
    FieldValues CommonFields() const;
    std::string FileItem(const FieldValues& common, std::string_view defineText, std::string_view parameterText,
                         const std::string& source, int attributes, const MakeOptions& options) const;
    std::string FolderItem(const FieldValues& common, std::string_view defineText, std::string_view parameterText,
                           int attributes) const;
    int MakeFileItems(FilesItemSink& sink, const MakeOptions& options);
    int MakeTreeItems(FilesItemSink& sink, const FileTreeNode& root, std::string_view defineText,
                      std::string_view baseParameter, bool emptyFolders, std::optional<int> attributes,
                      const MakeOptions& options);
    bool WriteComponent(const std::string& path, const std::vector<std::string>& records);
    bool OsEditedForSeveral() const { return osDialog_.has_value(); }

    Environment env_;
    Mode mode_;
    int editedKind_ = -1;
    Page page_ = Page::Select;
    bool finished_ = false;
    std::array<Tri, file_option::kLineCount> options_{};
    std::array<Tri, file_attribute::kLineCount> attributes_{};
    OsTarget os_;
    // The OS dialog confirmed while several items are edited.
    std::optional<OsDialogModel> osDialog_;
};

}  // namespace zeriru
