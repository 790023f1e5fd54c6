#include "zeriru/frmFiles/files_item_dialog_model.h"

#include "platform/sjis.h"
#include "platform/winfile.h"
#include "zeriru/editors/installed_files.h"
#include "zeriru/editors/item_rules.h"
#include "zeriru/frmFiles/files_help.h"
#include "zeriru/frmFiles/files_lists.h"
#include "zeriru/system_services.h"
#include "zeriru/ui.h"

#include <algorithm>

namespace zeriru {

namespace sjis = platform::sjis;
namespace fc = files_item_control;
using namespace files_item;
using Page = FilesItemDialogModel::Page;

namespace {

const std::string kInstallDir = "%InstallDir%";

std::string Joined(std::string_view a, std::string_view b) {
    if (b.empty()) return std::string(a);
    return std::string(a) + "\\" + std::string(b);
}

}  // namespace

// ---- construction ----

FilesItemDialogModel::FilesItemDialogModel(Environment env, Mode mode) : env_(std::move(env)), mode_(mode) {
    options_.fill(Tri::Unchecked);
    attributes_.fill(Tri::Unchecked);
    os_ = env_.data.projectOs();
    graphicalPage.tree.SetRootText(SamplePath(graphicalPage.define, {}));
}

FilesItemDialogModel FilesItemDialogModel::ForNewItem(Environment env) {
    FilesItemDialogModel model(std::move(env), Mode::Add);
    model.page_ = Page::Select;
    return model;
}

FilesItemDialogModel FilesItemDialogModel::ForItem(Environment env, const std::string& record) {
    FilesItemDialogModel model(std::move(env), Mode::EditOne);
    model.LoadRecord(record);
    model.page_ = model.Pages().front();
    return model;
}

FilesItemDialogModel FilesItemDialogModel::ForItems(Environment env, const std::vector<std::string>& records) {
    FilesItemDialogModel model(std::move(env), Mode::EditSeveral);
    model.enabled = Tri::Grayed;
    model.standardFolder = Tri::Grayed;
    model.options_.fill(Tri::Grayed);
    model.attributes_.fill(Tri::Grayed);
    model.choice = kChoiceFiles;
    model.editedKind_ = kCopyFile;
    model.page_ = Page::Extend;
    return model;
}

void FilesItemDialogModel::LoadRecord(const std::string& record) {
    const RecordCodec& codec = FilesItemCodec();
    editedKind_ = codec.Int(record, kKind);
    choice = ChoiceOfKind(editedKind_);
    enabled = TriOf(codec.Bool(record, kEnabled));
    const std::string recordDefine = codec.Text(record, kDefine);
    const std::string recordParameter = codec.Text(record, kParameter);
    const std::string source = codec.Text(record, kSource);
    os_ = OsTarget::Read(codec.Stored(record, kOsMask), codec.Stored(record, kServicePacks));
    condition.Load(ConditionRecord::Parse(codec.Stored(record, kCondition)));
    const int optionBits = codec.Int(record, kOptions);
    const int attributeBits = codec.Int(record, kAttributes);
    for (int line = 0; line < file_attribute::kLineCount; ++line)
        attributes_[static_cast<std::size_t>(line)] = TriOf((attributeBits >> line) & 1);
    switch (editedKind_) {
    case kCopyFile:
        if (!source.empty()) files = {source};
        define = recordDefine;
        parameter = recordParameter;
        standardFolder = TriOf(recordDefine == kInstallDir && recordParameter.empty());
        comment = codec.Text(record, kComment);
        for (int line = 0; line < file_option::kLineCount; ++line)
            options_[static_cast<std::size_t>(line)] = TriOf((optionBits >> line) & 1);
        break;
    case kCreateFolder:
        createPage.define = recordDefine;
        createPage.parameter = recordParameter;
        break;
    case kDeleteFile:
    case kDeleteEmptyFolder:
    case kDeleteFolderTree:
        deletePage.target = editedKind_ - kDeleteFile;
        deletePage.define = recordDefine;
        deletePage.parameter = recordParameter;
        if (editedKind_ == kDeleteFile) deletePage.fileName = source;
        break;
    case kComponent:
        componentPage.fileName = source;
        componentPage.name = codec.Text(record, kComment);
        componentPage.description = codec.Text(record, kDescription);
        componentPage.selectedByDefault = (optionBits & kComponentSelected) != 0;
        break;
    default:
        break;
    }
}

int FilesItemDialogModel::ChoiceOfKind(int kind) const {
    switch (kind) {
    case kCreateFolder: return kChoiceCreate;
    case kDeleteFile:
    case kDeleteEmptyFolder:
    case kDeleteFolderTree: return kChoiceDelete;
    case kComponent: return kChoiceComponent;
    default: return kChoiceFiles;
    }
}

// ---- texts ----

std::string FilesItemDialogModel::Caption() { return sjis::S("ファイル/フォルダ項目"); }
std::string FilesItemDialogModel::ChoiceGroupCaption() { return sjis::S("処理を選択してください"); }

std::string FilesItemDialogModel::PageCaption(Page page) {
    switch (page) {
    case Page::Select: return sjis::S("処理の選択");
    case Page::Files: return sjis::S("ファイルの選択");
    case Page::Folder: return sjis::S("フォルダの選択");
    case Page::Delete: return sjis::S("削除ファイル/フォルダの指定");
    case Page::Create: return sjis::S("フォルダの作成");
    case Page::Graphical: return sjis::S("グラフィカルモード");
    case Page::Component: return sjis::S("コンポーネント定義ファイルの指定");
    case Page::Extend: return sjis::S("拡張オプション");
    }
    return {};
}

const char* FilesItemDialogModel::PageName(Page page) {
    switch (page) {
    case Page::Select: return fc::kPageSelect;
    case Page::Files: return fc::kPageFiles;
    case Page::Folder: return fc::kPageFolder;
    case Page::Delete: return fc::kPageDelete;
    case Page::Create: return fc::kPageCreate;
    case Page::Graphical: return fc::kPageGraphical;
    case Page::Component: return fc::kPageComponent;
    case Page::Extend: return fc::kPageExtend;
    }
    return "";
}

std::string FilesItemDialogModel::ChoiceText(int choice) {
    static const char* const kTexts[kChoiceCount] = {
        "1つまたは複数のファイルをリストに追加する", "指定フォルダ内のファイルをリストに追加する",
        "削除するファイル/フォルダを指定する",       "指定フォルダを作成する",
        "グラフィカルモードを使用する",               "コンポーネント定義ファイルを追加する",
    };
    return choice >= 0 && choice < kChoiceCount ? sjis::S(kTexts[choice]) : std::string();
}

std::string FilesItemDialogModel::DeleteTargetText(int target) {
    static const char* const kTexts[3] = {"ファイル", "フォルダ", "フォルダ(サブフォルダ含む)"};
    return target >= 0 && target < 3 ? sjis::S(kTexts[target]) : std::string();
}

std::string FilesItemDialogModel::ComponentFilter() {
    return sjis::S("コンポーネント定義ファイル|*.qinc|すべて表示|*.*");
}

int FilesItemDialogModel::HelpTopic(Page page) {
    switch (page) {
    case Page::Select: return files_help::kSelectPage;
    case Page::Files: return files_help::kFilesPage;
    case Page::Folder: return files_help::kFolderPage;
    case Page::Delete: return files_help::kDeletePage;
    case Page::Create: return files_help::kCreatePage;
    case Page::Graphical: return files_help::kGraphicalPage;
    case Page::Component: return files_help::kComponentPage;
    case Page::Extend: return files_help::kExtendPage;
    }
    return files_help::kFilesDialog;
}

// ---- pages ----

std::vector<Page> FilesItemDialogModel::Pages() const {
    if (mode_ == Mode::EditSeveral) return {Page::Extend};
    std::vector<Page> pages;
    if (mode_ == Mode::Add) pages.push_back(Page::Select);
    static const Page kChoicePages[kChoiceCount] = {Page::Files,  Page::Folder,    Page::Delete,
                                                    Page::Create, Page::Graphical, Page::Component};
    pages.push_back(kChoicePages[std::clamp(choice, 0, kChoiceCount - 1)]);
    // Choices whose extended page only carries the OS button go without it while the project
    // does not check the OS.
    const bool osOnly = choice == kChoiceDelete || choice == kChoiceGraphical || choice == kChoiceComponent;
    if (!osOnly || env_.data.projectChecksOs()) pages.push_back(Page::Extend);
    return pages;
}

int FilesItemDialogModel::PageIndex() const {
    const std::vector<Page> pages = Pages();
    const auto it = std::find(pages.begin(), pages.end(), page_);
    return it == pages.end() ? 0 : static_cast<int>(it - pages.begin());
}

bool FilesItemDialogModel::IsLastPage() const { return PageIndex() + 1 == static_cast<int>(Pages().size()); }

std::string FilesItemDialogModel::NextCaption() const {
    return IsLastPage() ? sjis::S("完了(&F)") : sjis::S("次へ(&N)");
}

CheckOutcome FilesItemDialogModel::Next() {
    if (CheckOutcome failed = CheckPage(page_)) return failed;
    const std::vector<Page> pages = Pages();
    const int index = PageIndex();
    if (index + 1 < static_cast<int>(pages.size()))
        page_ = pages[static_cast<std::size_t>(index + 1)];
    else
        finished_ = true;
    return std::nullopt;
}

void FilesItemDialogModel::Back() {
    const int index = PageIndex();
    if (mode_ == Mode::Add && index > 0) page_ = Pages()[static_cast<std::size_t>(index - 1)];
}

CheckOutcome FilesItemDialogModel::Ok() {
    for (Page page : Pages()) {
        if (CheckOutcome failed = CheckPage(page)) {
            page_ = page;
            return failed;
        }
    }
    finished_ = true;
    return std::nullopt;
}

CheckOutcome FilesItemDialogModel::OnPage(CheckOutcome result, Page page) const {
    if (result && result->page.empty()) result->page = PageName(page);
    return result;
}

CheckOutcome FilesItemDialogModel::CheckPage(Page page) const {
    switch (page) {
    case Page::Select:
        if (choice == kChoiceComponent && env_.componentList)
            return OnPage(Fail(sjis::S("コンポーネント定義ファイル作成時には、コンポーネント定義ファイルを指定することはできません。"),
                               fc::kChoiceComponent),
                          page);
        return std::nullopt;
    case Page::Files:
        return OnPage(files.empty() ? Fail(sjis::S("ファイルを指定してください。"), fc::kFileList) : std::nullopt,
                      page);
    case Page::Folder:
        if (auto r = CheckRequired(folderPage.folder, sjis::S("フォルダを入力してください。"), fc::kFolder))
            return OnPage(r, page);
        return OnPage(CheckFullPathRule(folderPage.folder, fc::kFolder), page);
    case Page::Delete:
        if (auto r = CheckFolderDefineRule(deletePage.define, fc::kDeleteDefine)) return OnPage(r, page);
        if (auto r = CheckDefineParameterRule(deletePage.define, deletePage.parameter, fc::kDeleteParameter))
            return OnPage(r, page);
        if (deletePage.target != kDeleteTargetFile) return std::nullopt;
        if (auto r = CheckRequired(deletePage.fileName, sjis::S("ファイル名を入力してください。"), fc::kDeleteFileName))
            return OnPage(r, page);
        return OnPage(CheckFileNameRule(deletePage.fileName, fc::kDeleteFileName), page);
    case Page::Create:
        if (auto r = CheckFolderDefineRule(createPage.define, fc::kCreateDefine)) return OnPage(r, page);
        return OnPage(CheckDefineParameterRule(createPage.define, createPage.parameter, fc::kCreateParameter), page);
    case Page::Graphical:
        return OnPage(graphicalPage.tree.HoldsItems() ? std::nullopt
                                                      : Fail(sjis::S("ファイル/フォルダを指定してください。"), fc::kGraphTree),
                      page);
    case Page::Component: return OnPage(CheckComponentPage(), page);
    case Page::Extend: return CheckExtend();
    }
    return std::nullopt;
}

CheckOutcome FilesItemDialogModel::CheckComponentPage() const {
    const bool adding = mode_ == Mode::Add;
    const ComponentPage& c = componentPage;
    if (auto r = CheckRequired(c.fileName, sjis::S("ファイル名を入力してください。"), fc::kComponentFile)) return r;
    if (auto r = CheckFilePathRule(c.fileName, fc::kComponentFile, MsgNotFullFolderPath())) return r;
    if (!IsComponentFileAt(c.fileName))
        return Fail(adding ? sjis::S("コンポーネント定義ファイルではありません。")
                           : sjis::S("Raredovoコンポーネント定義ファイルではありません。"),
                    fc::kComponentFile);
    return CheckRequired(c.name, adding ? sjis::S("コンポーネント名を入力してください。") : sjis::S("コメントを入力してください。"),
                         fc::kComponentName);
}

CheckOutcome FilesItemDialogModel::CheckExtend() const {
    const ExtendLayout layout = Layout();
    if (layout.destination && DestinationVisible() && standardFolder == Tri::Unchecked) {
        if (auto r = CheckFolderDefineRule(define, fc::kDefine)) {
            r->page = fc::kTabDetail;
            return r;
        }
        if (auto r = CheckDefineParameterRule(define, parameter, fc::kParameter)) {
            r->page = fc::kTabDetail;
            return r;
        }
        // A define that takes parameters holds them here, not a sub-folder.
        if (mode_ != Mode::Add && !DefineNeedsParameter(define)) {
            if (auto r = CheckSubPathRule(parameter, fc::kParameter)) {
                r->page = fc::kTabDetail;
                return r;
            }
        }
    }
    if (layout.conditionTab) {
        if (auto r = condition.Check(advancedMode(), {})) {
            r->page = fc::kTabCondition;
            return r;
        }
    }
    return std::nullopt;
}

FilesItemDialogModel::ExtendLayout FilesItemDialogModel::Layout() const {
    ExtendLayout layout;
    switch (choice) {
    case kChoiceFiles:
        layout.destination = layout.optionsTab = layout.optionsEnabled = layout.attributes = true;
        layout.conditionTab = mode_ == Mode::EditOne || (mode_ == Mode::Add && advancedMode());
        break;
    case kChoiceFolder:
        layout.destination = layout.optionsTab = layout.optionsEnabled = true;
        layout.attributes = !folderPage.keepAttributes;
        layout.conditionTab = advancedMode();
        break;
    case kChoiceCreate:
        layout.optionsTab = layout.attributes = true;
        break;
    default:
        break;
    }
    return layout;
}

bool FilesItemDialogModel::DestinationVisible() const { return OptionState(5) != Tri::Checked; }

bool FilesItemDialogModel::DestinationEditable() const { return standardFolder == Tri::Unchecked && !readOnly(); }

bool FilesItemDialogModel::OsButtonEnabled() const { return env_.data.projectChecksOs() && !readOnly(); }

// ---- pages' own commands ----

void FilesItemDialogModel::SetDeleteFileFromBrowse(std::string_view path) { deletePage.fileName = FileNamePart(path); }

void FilesItemDialogModel::RefreshGraphicalRoot() {
    graphicalPage.tree.SetRootText(SamplePath(graphicalPage.define, {}));
}

void FilesItemDialogModel::BrowseComponent() {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Open;
    request.filter = ComponentFilter();
    request.defaultExtension = "qinc";
    request.fileName = componentPage.fileName;
    if (!env_.ui.ChooseFiles(request) || request.paths.empty()) return;
    if (!IsComponentFileAt(request.paths.front())) {
        env_.ui.ShowMessage(sjis::S("Raredovoコンポーネント定義ファイルではありません。"));
        return;
    }
    componentPage.fileName = request.paths.front();
}

bool FilesItemDialogModel::WriteComponent(const std::string& path, const std::vector<std::string>& records) {
    std::string error;
    if (WriteComponentList(path, records, &error)) return true;
    env_.ui.Error(sjis::S("コンポーネント定義ファイルを保存できませんでした。\r") + path);
    return false;
}

void FilesItemDialogModel::CreateComponent() {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    request.filter = ComponentFilter();
    request.defaultExtension = "qinc";
    request.fileName = componentPage.fileName;
    if (!env_.ui.ChooseFiles(request) || request.paths.empty()) return;
    const std::string path = request.paths.front();
    if (platform::winpath::FileExists(path)) {
        componentPage.fileName = path;
        EditComponent();
        return;
    }
    std::vector<std::string> records;
    if (!env_.editComponentList || !env_.editComponentList(records)) return;
    if (WriteComponent(path, records)) componentPage.fileName = path;
}

void FilesItemDialogModel::EditComponent() {
    std::optional<std::vector<std::string>> records = ReadComponentList(componentPage.fileName);
    if (!records) {
        env_.ui.ShowMessage(
            sjis::S("コンポーネント定義ファイルが指定されていないか、コンポーネント定義ファイルではありません。"));
        return;
    }
    if (!env_.editComponentList || !env_.editComponentList(*records)) return;
    WriteComponent(componentPage.fileName, *records);
}

// ---- 拡張オプション ----

void FilesItemDialogModel::SetStandardFolder(Tri state) {
    if (state == Tri::Grayed && mode_ != Mode::EditSeveral) return;
    standardFolder = state;
    if (state == Tri::Checked) {
        define = kInstallDir;
        parameter.clear();
    }
}

bool FilesItemDialogModel::OptionEnabled(int line) const {
    if (readOnly() || line < 0 || line >= file_option::kLineCount || !Layout().optionsEnabled) return false;
    const int bit = 1 << line;
    if (bit != file_option::kNoCopy && OptionState(5) == Tri::Checked) return false;
    if (bit == file_option::kShared && OptionState(1) == Tri::Checked) return false;
    if (bit & file_option::kExistingGroup) {
        if (OptionState(line) == Tri::Checked) return true;
        for (int other = 0; other < file_option::kLineCount; ++other) {
            if (other != line && ((1 << other) & file_option::kExistingGroup) && OptionState(other) == Tri::Checked)
                return false;
        }
    }
    return true;
}

void FilesItemDialogModel::SetOption(int line, Tri state) {
    if (line < 0 || line >= file_option::kLineCount) return;
    if (state == Tri::Grayed && mode_ != Mode::EditSeveral) return;
    options_[static_cast<std::size_t>(line)] = state;
    if (state != Tri::Checked) return;
    const int bit = 1 << line;
    for (int other = 0; other < file_option::kLineCount; ++other) {
        const int otherBit = 1 << other;
        if (other == line) continue;
        if (bit == file_option::kNoCopy || ((bit & file_option::kExistingGroup) && (otherBit & file_option::kExistingGroup)))
            options_[static_cast<std::size_t>(other)] = Tri::Unchecked;
    }
    if (bit == file_option::kRegister) options_[2] = Tri::Checked;
}

bool FilesItemDialogModel::AttributeEnabled(int line) const {
    return !readOnly() && line >= 0 && line < file_attribute::kLineCount && Layout().attributes;
}

void FilesItemDialogModel::SetAttribute(int line, Tri state) {
    if (line < 0 || line >= file_attribute::kLineCount) return;
    if (state == Tri::Grayed && mode_ != Mode::EditSeveral) return;
    attributes_[static_cast<std::size_t>(line)] = state;
}

int FilesItemDialogModel::OptionBits() const {
    int bits = 0;
    for (int line = 0; line < file_option::kLineCount; ++line) {
        if (options_[static_cast<std::size_t>(line)] == Tri::Checked) bits |= 1 << line;
    }
    return bits;
}

int FilesItemDialogModel::AttributeBits() const {
    int bits = 0;
    for (int line = 0; line < file_attribute::kLineCount; ++line) {
        if (attributes_[static_cast<std::size_t>(line)] == Tri::Checked) bits |= 1 << line;
    }
    return bits;
}

OsDialogModel FilesItemDialogModel::MakeOsDialog() const {
    const int projectMask = env_.data.projectOs().mask;
    if (mode_ == Mode::EditSeveral) return osDialog_ ? *osDialog_ : OsDialogModel(os_, projectMask, true);
    return OsDialogModel(os_, projectMask, false);
}

void FilesItemDialogModel::ApplyOsDialog(const OsDialogModel& dialog) {
    if (mode_ == Mode::EditSeveral)
        osDialog_ = dialog;
    else
        os_ = dialog.Result();
}

void FilesItemDialogModel::TakeConditionFromDestination() {
    if (condition.type == kConditionFileExists) {
        if (!env_.ui.AskYesNo(sjis::S("[インストール先のフォルダ]および[ファイル名]を取得しますか？"))) return;
        condition.folder.define = DestinationDefine();
        condition.folder.parameter = DestinationParameter();
        if (!files.empty()) condition.folder.fileName = FileNamePart(files.front());
    } else if (condition.type == kConditionFolderExists) {
        if (!env_.ui.AskYesNo(sjis::S("[インストール先のフォルダ]から取得しますか？"))) return;
        condition.folder.define = DestinationDefine();
        condition.folder.parameter = DestinationParameter();
    }
}

// ---- defines and sample paths ----

std::vector<std::string> FilesItemDialogModel::DefineChoices(DefineList list) const {
    std::vector<std::string> choices;
    switch (list) {
    case DefineList::Destination: choices = env_.data.DefineList("DFNLIST_FILESITEM"); break;
    case DefineList::Delete: choices = env_.data.DefineList("DFNLIST_FILESITEM_DELETE"); break;
    case DefineList::Create: choices = env_.data.DefineList("DFNLIST_FILESITEM_CREATE"); break;
    case DefineList::Graphical: choices = env_.data.DefineList("DFNLIST_FILESITEM_GRAPHMODE"); break;
    case DefineList::ConditionFolder:
        choices = {"%InstallDir%",    "%InstallDrive%",  "%WindowsDirectory%", "%SystemDirectory%",
                   "%ProgramFilesDir%", "%SystemRootDir%", "%AbsoluteDir%"};
        for (std::string& entry : env_.data.DefineList("DFNLIST_FILESITEM")) choices.push_back(std::move(entry));
        return choices;
    case DefineList::ConditionIni: return env_.data.DefineList("DFNLIST_FILESITEM");
    }
    if (std::find(choices.begin(), choices.end(), kInstallDir) == choices.end())
        choices.insert(choices.begin(), kInstallDir);
    return choices;
}

std::string FilesItemDialogModel::SamplePath(std::string_view defineText, std::string_view parameterText,
                                             std::string_view fileName) const {
    std::string text = Joined(defineText, parameterText);
    if (!fileName.empty()) text = Joined(text, fileName);
    return env_.data.ExpandInstallPath(text);
}

std::string FilesItemDialogModel::DestinationDefine() const {
    return standardFolder == Tri::Checked ? kInstallDir : define;
}

std::string FilesItemDialogModel::DestinationParameter() const {
    return standardFolder == Tri::Checked ? std::string() : WithoutTrailingBackslash(parameter);
}

// ---- making items ----

FieldValues FilesItemDialogModel::CommonFields() const {
    return {{kEnabled, FieldBool(enabled != Tri::Unchecked)},
            {kOsMask, os_.MaskText()},
            {kServicePacks, os_.ServicePackText()},
            {kCondition, condition.Record().Format()}};
}

std::string FilesItemDialogModel::FileItem(const FieldValues& common, std::string_view defineText,
                                           std::string_view parameterText, const std::string& source, int attributes,
                                           const MakeOptions& options) const {
    int optionBits = OptionBits();
    if (options.autoRegister) optionBits = AutoRegisterOptions(optionBits, source, env_.registrable);
    optionBits = ApplyRegistrationRule(optionBits, source, env_.registrable);
    FieldValues fields = common;
    fields[kKind] = FieldInt(kCopyFile);
    fields[kDefine] = std::string(defineText);
    fields[kParameter] = std::string(parameterText);
    fields[kSource] = source;
    fields[kComment] = comment;
    fields[kOptions] = FieldInt(optionBits);
    fields[kAttributes] = FieldInt(attributes);
    return FilesItemCodec().Make(fields);
}

std::string FilesItemDialogModel::FolderItem(const FieldValues& common, std::string_view defineText,
                                             std::string_view parameterText, int attributes) const {
    FieldValues fields = common;
    fields[kKind] = FieldInt(kCreateFolder);
    fields[kDefine] = std::string(defineText);
    fields[kParameter] = std::string(parameterText);
    fields[kComment] = sjis::S("フォルダの作成");
    fields[kOptions] = FieldInt(0);
    fields[kAttributes] = FieldInt(attributes);
    return FilesItemCodec().Make(fields);
}

int FilesItemDialogModel::MakeFileItems(FilesItemSink& sink, const MakeOptions& options) {
    const FieldValues common = CommonFields();
    int made = 0;
    for (const std::string& source : files) {
        if (made > 0 && !sink.KeepGoing()) break;
        if (sink.Count() >= kFilesListLimit) {
            env_.ui.ShowMessage(MsgListFull());
            break;
        }
        sink.Add(FileItem(common, DestinationDefine(), DestinationParameter(), source, AttributeBits(), options));
        ++made;
    }
    return made;
}

int FilesItemDialogModel::MakeTreeItems(FilesItemSink& sink, const FileTreeNode& root, std::string_view defineText,
                                        std::string_view baseParameter, bool emptyFolders,
                                        std::optional<int> attributes, const MakeOptions& options) {
    const FieldValues common = CommonFields();
    int made = 0;
    WalkTree(root, baseParameter, emptyFolders, [&](const TreeItem& item) {
        if ((made > 0 && !sink.KeepGoing()) || sink.Count() >= kFilesListLimit) return false;
        if (item.folder) {
            sink.Add(FolderItem(common, defineText, item.parameter, attributes.value_or(0)));
        } else {
            const int bits = attributes ? *attributes : AttributesOnDisk(item.node->source);
            sink.Add(FileItem(common, defineText, item.parameter, item.node->source, bits, options));
        }
        ++made;
        return true;
    });
    return made;
}

int FilesItemDialogModel::MakeItems(FilesItemSink& sink, const MakeOptions& options) {
    const FieldValues common = CommonFields();
    switch (choice) {
    case kChoiceFiles: return MakeFileItems(sink, options);
    case kChoiceFolder: {
        FileTreeNode root;
        const FolderScanOptions scan{folderPage.keepStructure, folderPage.subfolders};
        if (!ScanFolder(folderPage.folder, scan, root, [&] { return sink.KeepGoing(); })) return 0;
        return MakeTreeItems(sink, root, DestinationDefine(), DestinationParameter(), folderPage.emptyFolders,
                             folderPage.keepAttributes ? 0 : AttributeBits(), options);
    }
    case kChoiceDelete: {
        FieldValues fields = common;
        fields[kKind] = FieldInt(kDeleteFile + deletePage.target);
        fields[kDefine] = deletePage.define;
        fields[kParameter] = WithoutTrailingBackslash(deletePage.parameter);
        fields[kSource] = deletePage.target == kDeleteTargetFile ? FileNamePart(deletePage.fileName) : std::string();
        fields[kOptions] = FieldInt(0);
        fields[kAttributes] = FieldInt(0);
        if (sink.Count() >= kFilesListLimit) return 0;
        sink.Add(FilesItemCodec().Make(fields));
        return 1;
    }
    case kChoiceCreate:
        if (sink.Count() >= kFilesListLimit) return 0;
        sink.Add(FolderItem(common, createPage.define, WithoutTrailingBackslash(createPage.parameter), AttributeBits()));
        return 1;
    case kChoiceGraphical:
        return MakeTreeItems(sink, graphicalPage.tree.root(), graphicalPage.define, {}, graphicalPage.createEmpty,
                             std::nullopt, options);
    case kChoiceComponent: {
        FieldValues fields = common;
        fields[kKind] = FieldInt(kComponent);
        fields[kDefine] = std::string(kIncludeDefine);
        fields[kSource] = componentPage.fileName;
        fields[kComment] = componentPage.name;
        fields[kDescription] = componentPage.description;
        fields[kOptions] = FieldInt(componentPage.selectedByDefault ? kComponentSelected : 0);
        if (sink.Count() >= kFilesListLimit) return 0;
        sink.Add(FilesItemCodec().Make(fields));
        return 1;
    }
    default: return 0;
    }
}

// ---- applying edits ----

std::string FilesItemDialogModel::Apply(const std::string& record) const {
    const RecordCodec& codec = FilesItemCodec();
    FieldValues changes{{kEnabled, FieldBool(enabled != Tri::Unchecked)},
                        {kOsMask, os_.MaskText()},
                        {kServicePacks, os_.ServicePackText()}};
    switch (editedKind_) {
    case kCopyFile: {
        const std::string source = files.empty() ? codec.Text(record, kSource) : files.front();
        changes[kDefine] = DestinationDefine();
        changes[kParameter] = DestinationParameter();
        changes[kSource] = source;
        changes[kComment] = comment;
        changes[kOptions] = FieldInt(ApplyRegistrationRule(OptionBits(), source, env_.registrable));
        changes[kAttributes] = FieldInt(AttributeBits());
        changes[kCondition] = condition.Record().Format();
        break;
    }
    case kCreateFolder:
        changes[kDefine] = createPage.define;
        changes[kParameter] = WithoutTrailingBackslash(createPage.parameter);
        changes[kAttributes] = FieldInt(AttributeBits());
        break;
    case kDeleteFile:
    case kDeleteEmptyFolder:
    case kDeleteFolderTree:
        changes[kDefine] = deletePage.define;
        changes[kParameter] = WithoutTrailingBackslash(deletePage.parameter);
        if (editedKind_ == kDeleteFile) changes[kSource] = FileNamePart(deletePage.fileName);
        break;
    case kComponent: {
        changes[kSource] = componentPage.fileName;
        changes[kComment] = componentPage.name;
        changes[kDescription] = componentPage.description;
        int bits = codec.Int(record, kOptions) & ~kComponentSelected;
        if (componentPage.selectedByDefault) bits |= kComponentSelected;
        changes[kOptions] = FieldInt(bits);
        break;
    }
    default: return record;
    }
    return codec.Update(record, changes);
}

std::string FilesItemDialogModel::ApplyToOne(const std::string& record) const {
    const RecordCodec& codec = FilesItemCodec();
    FieldValues changes;
    if (enabled != Tri::Grayed) changes[kEnabled] = FieldBool(enabled == Tri::Checked);
    if (standardFolder == Tri::Checked) {
        changes[kDefine] = kInstallDir;
        changes[kParameter] = "";
    } else if (standardFolder == Tri::Unchecked) {
        changes[kDefine] = define;
        changes[kParameter] = WithoutTrailingBackslash(parameter);
    }
    if (!comment.empty()) changes[kComment] = comment;
    int optionBits = codec.Int(record, kOptions);
    for (int line = 0; line < file_option::kLineCount; ++line) {
        const Tri state = options_[static_cast<std::size_t>(line)];
        if (state == Tri::Checked) optionBits |= 1 << line;
        if (state == Tri::Unchecked) optionBits &= ~(1 << line);
    }
    const std::string source = codec.Text(record, kSource);
    changes[kOptions] = FieldInt(ApplyRegistrationRule(optionBits, source, env_.registrable));
    int attributeBits = codec.Int(record, kAttributes);
    for (int line = 0; line < file_attribute::kLineCount; ++line) {
        const Tri state = attributes_[static_cast<std::size_t>(line)];
        if (state == Tri::Checked) attributeBits |= 1 << line;
        if (state == Tri::Unchecked) attributeBits &= ~(1 << line);
    }
    if (attributeBits != codec.Int(record, kAttributes)) changes[kAttributes] = FieldInt(attributeBits);
    if (changes[kOptions] == FieldInt(codec.Int(record, kOptions))) changes.erase(kOptions);
    if (osDialog_) {
        const OsTarget before = OsTarget::Read(codec.Stored(record, kOsMask), codec.Stored(record, kServicePacks));
        const OsTarget after = osDialog_->ApplyTo(before);
        if (!(after == before)) {
            changes[kOsMask] = after.MaskText();
            changes[kServicePacks] = after.ServicePackText();
        }
    }
    if (changes.empty()) return record;
    return codec.Update(record, changes);
}

std::vector<std::string> FilesItemDialogModel::ApplySeveral(const std::vector<std::string>& records) const {
    std::vector<std::string> out;
    out.reserve(records.size());
    for (const std::string& record : records) out.push_back(ApplyToOne(record));
    return out;
}

}  // namespace zeriru
