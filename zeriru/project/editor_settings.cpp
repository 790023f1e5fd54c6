#include "zeriru/editor_settings.h"

#include "platform/sjis.h"
#include "zeriru/ini_document.h"
#include "zeriru/project_file.h"

#include <algorithm>
#include <cstdio>

namespace zeriru {

namespace sjis = platform::sjis;

// ---- MemorySettingsStore ----

namespace {

// True when `path` is `key` itself or a key below it.
bool IsAtOrBelow(const std::string& path, const std::string& key) {
    if (path.size() < key.size() || path.compare(0, key.size(), key) != 0) return false;
    if (path.size() == key.size()) return true;
    return path[key.size()] == '\\' && sjis::IsCharBoundary(path, key.size());
}

}  // namespace

std::optional<std::string> MemorySettingsStore::GetString(std::string_view key, std::string_view name) const {
    auto k = keys_.find(FoldName(key));
    if (k == keys_.end()) return std::nullopt;
    auto v = k->second.find(FoldName(name));
    if (v == k->second.end() || !v->second.isText) return std::nullopt;
    return v->second.text;
}

std::optional<std::uint32_t> MemorySettingsStore::GetDword(std::string_view key, std::string_view name) const {
    auto k = keys_.find(FoldName(key));
    if (k == keys_.end()) return std::nullopt;
    auto v = k->second.find(FoldName(name));
    if (v == k->second.end() || v->second.isText) return std::nullopt;
    return v->second.number;
}

bool MemorySettingsStore::SetString(std::string_view key, std::string_view name, std::string_view value) {
    Value& v = keys_[FoldName(key)][FoldName(name)];
    v.isText = true;
    v.text = std::string(value);
    return true;
}

bool MemorySettingsStore::SetDword(std::string_view key, std::string_view name, std::uint32_t value) {
    Value& v = keys_[FoldName(key)][FoldName(name)];
    v.isText = false;
    v.text.clear();
    v.number = value;
    return true;
}

bool MemorySettingsStore::DeleteValue(std::string_view key, std::string_view name) {
    auto k = keys_.find(FoldName(key));
    return k != keys_.end() && k->second.erase(FoldName(name)) != 0;
}

bool MemorySettingsStore::DeleteKey(std::string_view key) {
    const std::string folded = FoldName(key);
    std::erase_if(keys_, [&](const auto& entry) { return IsAtOrBelow(entry.first, folded); });
    return true;
}

bool MemorySettingsStore::KeyExists(std::string_view key) const { return keys_.count(FoldName(key)) != 0; }

std::size_t MemorySettingsStore::ValueCount(std::string_view key) const {
    auto k = keys_.find(FoldName(key));
    return k == keys_.end() ? 0 : k->second.size();
}

// ---- remembered lists ----

std::vector<std::string> ReadRememberedList(const SettingsStore& store, std::string_view key,
                                            std::size_t maxEntries) {
    std::vector<std::string> list;
    for (std::size_t i = 0; i < maxEntries; ++i) {
        std::optional<std::string> entry = store.GetString(key, std::to_string(i));
        if (!entry) break;
        list.push_back(std::move(*entry));
    }
    return list;
}

namespace {

void WriteList(SettingsStore& store, std::string_view key, const std::vector<std::string>& list) {
    store.DeleteKey(key);
    for (std::size_t i = 0; i < list.size(); ++i) store.SetString(key, std::to_string(i), list[i]);
}

}  // namespace

std::vector<std::string> RememberFirst(SettingsStore& store, std::string_view key, std::string_view text,
                                       bool ignoreCase, std::size_t maxEntries) {
    std::vector<std::string> old = ReadRememberedList(store, key, maxEntries);
    std::vector<std::string> list;
    list.reserve(old.size() + 1);
    list.emplace_back(text);
    for (std::string& entry : old) {
        const bool same = ignoreCase ? sjis::EqualsNoCase(entry, text) : entry == text;
        if (!same) list.push_back(std::move(entry));
    }
    // One more than is read back may be written; the next reader takes the first entries.
    WriteList(store, key, list);
    return list;
}

// ---- EditorSettings ----

namespace {

namespace opt {
constexpr std::string_view kMode = "DOzoze_Mode";
constexpr std::string_view kUseAppName = "UseAppName";
constexpr std::string_view kSaveLastState = "SaveLastState";
constexpr std::string_view kAutoColumnWidth = "AutoColumnWidth";
constexpr std::string_view kEditInformation = "EditInformation";
constexpr std::string_view kExtendEditorFileName = "ExtendEditorFileName";
constexpr std::string_view kCheckFileList = "CheckFileList";
constexpr std::string_view kSkipMessage = "SkipMessage";
constexpr std::string_view kExecuteInstaller = "ExecuteInstaller";
constexpr std::string_view kOpenFolder = "OpenFolder";
constexpr std::string_view kAutoUpdateVersion = "AutoUpdateVersion";
constexpr std::string_view kCompressProgress = "CompressProgress";
constexpr std::string_view kCompleteMessage = "CompleteMessage";
constexpr std::string_view kShowErrorMessage = "ShowErrorMessage";
constexpr std::string_view kCheckUpdate = "CheckUpdate";
constexpr std::string_view kUpdateUrl = "UpdateUrl";
constexpr std::string_view kProxyServer = "ProxyServer";
constexpr std::string_view kProxyPort = "ProxyPort";
constexpr std::string_view kProxyUserId = "ProxyUserId";
constexpr std::string_view kProxyPassword = "ProxyPassword";
constexpr std::string_view kLastTab = "LastTab";
constexpr std::string_view kMaxWindowSize = "MaxWindowSize";
constexpr std::string_view kWindowSizeHeight = "WindowSizeHeight";
constexpr std::string_view kWindowSizeWidth = "WindowSizeWidth";
constexpr std::string_view kFileName = "FileName";
constexpr std::string_view kFolder = "Folder";
}  // namespace opt

int ClampPort(int port) { return std::clamp(port, 0, kMaxProxyPort); }

}  // namespace

EditorSettings::EditorSettings(SettingsStore& store, std::string editorFolder, std::string documentsFolder)
    : store_(store), editorFolder_(std::move(editorFolder)), documentsFolder_(std::move(documentsFolder)) {}

std::string EditorSettings::ReadText(std::string_view key, std::string_view name, std::string_view def) const {
    return store_.GetString(key, name).value_or(std::string(def));
}

int EditorSettings::ReadInt(std::string_view key, std::string_view name, int def) const {
    std::optional<std::uint32_t> v = store_.GetDword(key, name);
    return v ? static_cast<int>(*v) : def;
}

bool EditorSettings::ReadBool(std::string_view key, std::string_view name, bool def) const {
    std::optional<std::uint32_t> v = store_.GetDword(key, name);
    return v ? *v != 0 : def;
}

EditorOptions EditorSettings::ReadOptions() const {
    using namespace settings_key;
    EditorOptions o;
    const EditorOptions d;
    o.mode = ReadInt(kOption, opt::kMode, d.mode);
    o.useAppName = ReadBool(kOption, opt::kUseAppName, d.useAppName);
    o.saveLastState = ReadBool(kOption, opt::kSaveLastState, d.saveLastState);
    o.autoColumnWidth = ReadBool(kOption, opt::kAutoColumnWidth, d.autoColumnWidth);
    o.editInformation = ReadBool(kOption, opt::kEditInformation, d.editInformation);
    o.extendEditorFileName = ReadText(kOption, opt::kExtendEditorFileName, d.extendEditorFileName);
    o.checkFileList = ReadBool(kOption, opt::kCheckFileList, d.checkFileList);
    o.skipMessage = ReadBool(kOption, opt::kSkipMessage, d.skipMessage);
    o.executeInstaller = ReadBool(kOption, opt::kExecuteInstaller, d.executeInstaller);
    o.openFolder = ReadBool(kOption, opt::kOpenFolder, d.openFolder);
    o.autoUpdateVersion = ReadBool(kOption, opt::kAutoUpdateVersion, d.autoUpdateVersion);
    o.compressProgress = ReadBool(kOption, opt::kCompressProgress, d.compressProgress);
    o.completeMessage = ReadBool(kOption, opt::kCompleteMessage, d.completeMessage);
    o.showErrorMessage = ReadBool(kOption, opt::kShowErrorMessage, d.showErrorMessage);
    o.checkUpdate = ReadBool(kOption, opt::kCheckUpdate, d.checkUpdate);
    o.updateUrl = ReadText(kOption, opt::kUpdateUrl, d.updateUrl);
    o.proxyServer = ReadText(kOption, opt::kProxyServer, d.proxyServer);
    o.proxyPort = ClampPort(ReadInt(kOption, opt::kProxyPort, d.proxyPort));
    o.proxyUserId = UnscrambleText(ReadText(kOption, opt::kProxyUserId, {}), kProxyCredentialPasses);
    o.proxyPassword = UnscrambleText(ReadText(kOption, opt::kProxyPassword, {}), kProxyCredentialPasses);
    o.lastTab = ReadInt(kOption, opt::kLastTab, d.lastTab);
    o.maxWindowSize = ReadBool(kOption, opt::kMaxWindowSize, d.maxWindowSize);
    o.windowSizeHeight = ReadInt(kOption, opt::kWindowSizeHeight, d.windowSizeHeight);
    o.windowSizeWidth = ReadInt(kOption, opt::kWindowSizeWidth, d.windowSizeWidth);
    return o;
}

void EditorSettings::WriteOptions(const EditorOptions& o) {
    using namespace settings_key;
    auto setInt = [&](std::string_view name, int v) { store_.SetDword(kOption, name, static_cast<std::uint32_t>(v)); };
    auto setBool = [&](std::string_view name, bool v) { store_.SetDword(kOption, name, v ? 1u : 0u); };
    setInt(opt::kMode, o.mode);
    setBool(opt::kUseAppName, o.useAppName);
    setBool(opt::kSaveLastState, o.saveLastState);
    setBool(opt::kAutoColumnWidth, o.autoColumnWidth);
    setBool(opt::kEditInformation, o.editInformation);
    store_.SetString(kOption, opt::kExtendEditorFileName, o.extendEditorFileName);
    setBool(opt::kCheckFileList, o.checkFileList);
    setBool(opt::kSkipMessage, o.skipMessage);
    setBool(opt::kExecuteInstaller, o.executeInstaller);
    setBool(opt::kOpenFolder, o.openFolder);
    setBool(opt::kAutoUpdateVersion, o.autoUpdateVersion);
    setBool(opt::kCompressProgress, o.compressProgress);
    setBool(opt::kCompleteMessage, o.completeMessage);
    setBool(opt::kShowErrorMessage, o.showErrorMessage);
    setBool(opt::kCheckUpdate, o.checkUpdate);
    store_.SetString(kOption, opt::kUpdateUrl, o.updateUrl);
    store_.SetString(kOption, opt::kProxyServer, o.proxyServer);
    setInt(opt::kProxyPort, ClampPort(o.proxyPort));
    store_.SetString(kOption, opt::kProxyUserId, ScrambleText(o.proxyUserId, kProxyCredentialPasses));
    store_.SetString(kOption, opt::kProxyPassword, ScrambleText(o.proxyPassword, kProxyCredentialPasses));
    setInt(opt::kLastTab, o.lastTab);
    setBool(opt::kMaxWindowSize, o.maxWindowSize);
    setInt(opt::kWindowSizeHeight, o.windowSizeHeight);
    setInt(opt::kWindowSizeWidth, o.windowSizeWidth);
}

void EditorSettings::WriteWindowState(const EditorOptions& o) {
    store_.SetDword(settings_key::kOption, opt::kMaxWindowSize, o.maxWindowSize ? 1u : 0u);
    store_.SetDword(settings_key::kOption, opt::kWindowSizeHeight, static_cast<std::uint32_t>(o.windowSizeHeight));
    store_.SetDword(settings_key::kOption, opt::kWindowSizeWidth, static_cast<std::uint32_t>(o.windowSizeWidth));
}

void EditorSettings::SetOptionsLastTab(int page) {
    store_.SetDword(settings_key::kOption, opt::kLastTab, static_cast<std::uint32_t>(page));
}

int EditorSettings::UpdateCheckProxyPort() const {
    return ClampPort(ReadInt(settings_key::kOption, opt::kProxyPort, 0));
}

int EditorSettings::Mode() const { return ReadInt(settings_key::kOption, opt::kMode, 0); }

std::string EditorSettings::LastProject() const { return ReadText(settings_key::kLoad, opt::kFileName, {}); }

void EditorSettings::SetLastProject(std::string_view path) {
    store_.SetString(settings_key::kLoad, opt::kFileName, path);
}

std::vector<std::string> EditorSettings::History() const {
    return ReadRememberedList(store_, settings_key::kHistory, kHistoryEntries);
}

std::vector<std::string> EditorSettings::PutHistoryFirst(std::string_view path) {
    return RememberFirst(store_, settings_key::kHistory, path, false, kHistoryEntries);
}

void EditorSettings::WriteHistory(const std::vector<std::string>& entries) {
    WriteList(store_, settings_key::kHistory, entries);
}

void EditorSettings::ClearHistory() { store_.DeleteKey(settings_key::kHistory); }

std::vector<std::string> EditorSettings::OutputFolders() const {
    return ReadRememberedList(store_, settings_key::kDialogFolder, kOutputFolderEntries);
}

void EditorSettings::RememberOutputFolder(std::string_view folder) {
    RememberFirst(store_, settings_key::kDialogFolder, folder, true, kOutputFolderEntries);
}

std::string EditorSettings::OpenDialogFolder() const {
    return ReadText(settings_key::kOpenDialog, opt::kFolder, documentsFolder_);
}

void EditorSettings::SetOpenDialogFolder(std::string_view folder) {
    store_.SetString(settings_key::kOpenDialog, opt::kFolder, folder);
}

std::string EditorSettings::SaveDialogFolder() const {
    return ReadText(settings_key::kSaveDialog, opt::kFolder, documentsFolder_);
}

void EditorSettings::SetSaveDialogFolder(std::string_view folder) {
    store_.SetString(settings_key::kSaveDialog, opt::kFolder, folder);
}

std::string EditorSettings::HintValueName(int index) {
    char name[16];
    std::snprintf(name, sizeof name, "%05d", index);
    return name;
}

bool EditorSettings::HintSuppressed(int index) const {
    return ReadBool(settings_key::kHintDialog, HintValueName(index), false);
}

void EditorSettings::SetHintSuppressed(int index, bool suppressed) {
    store_.SetDword(settings_key::kHintDialog, HintValueName(index), suppressed ? 1u : 0u);
}

void EditorSettings::ResetHints() { store_.DeleteKey(settings_key::kHintDialog); }

int EditorSettings::DialogLastTab(std::string_view dialogKey) const { return ReadInt(dialogKey, opt::kLastTab, 0); }

void EditorSettings::SetDialogLastTab(std::string_view dialogKey, int page) {
    store_.SetDword(dialogKey, opt::kLastTab, static_cast<std::uint32_t>(page));
}

int EditorSettings::ColumnWidth(std::string_view listKey, int column) const {
    return ReadInt(listKey, "ColumnWidth" + std::to_string(column), kDefaultColumnWidth);
}

void EditorSettings::SetColumnWidth(std::string_view listKey, int column, int width) {
    store_.SetDword(listKey, "ColumnWidth" + std::to_string(column), static_cast<std::uint32_t>(width));
}

bool EditorSettings::DialogSwitch(std::string_view dialogKey, std::string_view name, bool def) const {
    return ReadBool(dialogKey, name, def);
}

void EditorSettings::SetDialogSwitch(std::string_view dialogKey, std::string_view name, bool value) {
    store_.SetDword(dialogKey, name, value ? 1u : 0u);
}

namespace {
namespace def {
constexpr std::string_view kPublisher = "Publisher";
constexpr std::string_view kCorporation = "Corporation";
constexpr std::string_view kURLInfo = "URLInfo";
constexpr std::string_view kHelpLink = "HelpLink";
constexpr std::string_view kHelpTelephon = "HelpTelephon";
constexpr std::string_view kURLUpdateInfo = "URLUpdateInfo";
constexpr std::string_view kFolder = "Folder";
constexpr std::string_view kFileType = "FileType";
constexpr std::string_view kFileCompLevel = "FileCompLevel";
constexpr std::string_view kLowerFileName = "LowerFileName";
}  // namespace def
}  // namespace

NewProjectDefaults EditorSettings::ReadNewProjectDefaults() const {
    using settings_key::kDefault;
    NewProjectDefaults d;
    d.publisher = ReadText(kDefault, def::kPublisher, {});
    d.corporation = ReadText(kDefault, def::kCorporation, {});
    d.urlInfo = ReadText(kDefault, def::kURLInfo, {});
    d.helpLink = ReadText(kDefault, def::kHelpLink, {});
    d.helpTelephon = ReadText(kDefault, def::kHelpTelephon, {});
    d.urlUpdateInfo = ReadText(kDefault, def::kURLUpdateInfo, {});
    d.folder = ReadText(kDefault, def::kFolder, editorFolder_ + "Project\\ExeFile");
    d.fileType = ReadInt(kDefault, def::kFileType, 2);
    d.fileCompLevel = ReadInt(kDefault, def::kFileCompLevel, 1);
    d.lowerFileName = ReadInt(kDefault, def::kLowerFileName, 0);
    return d;
}

void EditorSettings::WriteNewProjectDefaults(const NewProjectDefaults& d) {
    using settings_key::kDefault;
    store_.SetString(kDefault, def::kPublisher, d.publisher);
    store_.SetString(kDefault, def::kCorporation, d.corporation);
    store_.SetString(kDefault, def::kURLInfo, d.urlInfo);
    store_.SetString(kDefault, def::kHelpLink, d.helpLink);
    store_.SetString(kDefault, def::kHelpTelephon, d.helpTelephon);
    store_.SetString(kDefault, def::kURLUpdateInfo, d.urlUpdateInfo);
    store_.SetString(kDefault, def::kFolder, d.folder);
    store_.SetDword(kDefault, def::kFileType, static_cast<std::uint32_t>(d.fileType));
    store_.SetDword(kDefault, def::kFileCompLevel, static_cast<std::uint32_t>(d.fileCompLevel));
    store_.SetDword(kDefault, def::kLowerFileName, static_cast<std::uint32_t>(d.lowerFileName));
}

}  // namespace zeriru
