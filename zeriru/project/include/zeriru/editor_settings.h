// The editor's own settings below HKEY_CURRENT_USER\Software\Zuzoruve\dozoze2: options, the
// last project, the file history, defaults for new projects, remembered folders and the
// per-dialog layout. A missing key or value, or a value of another type, reads as the default.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

// Where the settings live. Keys are paths below the editor's settings key ("Option",
// "Dialog\Folder"); key and value names ignore the case of single-byte letters.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // nullopt when the key or value is missing or the value has another type.
    virtual std::optional<std::string> GetString(std::string_view key, std::string_view name) const = 0;
    virtual std::optional<std::uint32_t> GetDword(std::string_view key, std::string_view name) const = 0;
    // Creating the key as needed; false when the store could not be written.
    virtual bool SetString(std::string_view key, std::string_view name, std::string_view value) = 0;
    virtual bool SetDword(std::string_view key, std::string_view name, std::uint32_t value) = 0;
    virtual bool DeleteValue(std::string_view key, std::string_view name) = 0;
    // Deletes the key with its values and every key below it; true when it is gone.
    virtual bool DeleteKey(std::string_view key) = 0;
};

// Settings held in memory only (tests, and a session without a registry).
class MemorySettingsStore : public SettingsStore {
public:
    std::optional<std::string> GetString(std::string_view key, std::string_view name) const override;
    std::optional<std::uint32_t> GetDword(std::string_view key, std::string_view name) const override;
    bool SetString(std::string_view key, std::string_view name, std::string_view value) override;
    bool SetDword(std::string_view key, std::string_view name, std::uint32_t value) override;
    bool DeleteValue(std::string_view key, std::string_view name) override;
    bool DeleteKey(std::string_view key) override;

    bool KeyExists(std::string_view key) const;
    // Number of values of a key (0 for a missing key).
    std::size_t ValueCount(std::string_view key) const;

private:
    struct Value {
        bool isText = false;
        std::string text;
        std::uint32_t number = 0;
    };
    // Folded key path -> folded value name -> value.
    std::map<std::string, std::map<std::string, Value>> keys_;
};

// The editor's settings key, below HKEY_CURRENT_USER.
inline constexpr std::string_view kSettingsRootKey = "Software\\Zuzoruve\\dozoze2";

namespace settings_key {
inline constexpr std::string_view kOption = "Option";
inline constexpr std::string_view kLoad = "Load";
inline constexpr std::string_view kHistory = "History";
inline constexpr std::string_view kDefault = "Default";
inline constexpr std::string_view kDialogFolder = "Dialog\\Folder";
inline constexpr std::string_view kOpenDialog = "Dialog\\OpenDialog";
inline constexpr std::string_view kSaveDialog = "Dialog\\SaveDialog";
inline constexpr std::string_view kHintDialog = "Dialog\\HintDialog";
inline constexpr std::string_view kApplication = "Dialog\\Application";
inline constexpr std::string_view kShortCut = "Dialog\\ShortCut";
inline constexpr std::string_view kInstallOption = "Dialog\\InstallOption";
// Lists whose column widths are remembered.
inline constexpr std::string_view kFiles = "Dialog\\Files";
inline constexpr std::string_view kRegistry = "Dialog\\Registry";
inline constexpr std::string_view kIniFile = "Dialog\\IniFile";
inline constexpr std::string_view kDeleteFile = "Dialog\\DeleteFile";
inline constexpr std::string_view kUnDeleteFile = "Dialog\\UnDeleteFile";
inline constexpr std::string_view kDeleteRegistry = "Dialog\\DeleteRegistry";
inline constexpr std::string_view kUnDeleteRegistry = "Dialog\\UnDeleteRegistry";
inline constexpr std::string_view kProgram = "Dialog\\Program";
inline constexpr std::string_view kFileCheck = "Dialog\\FileCheck";
inline constexpr std::string_view kCollectUnInstall = "Dialog\\CollectUnInstall";
}  // namespace settings_key

// Entries read from the remembered lists.
inline constexpr std::size_t kHistoryEntries = 5;
inline constexpr std::size_t kOutputFolderEntries = 25;
// Hints of the main window's hint dialog, "00000".."00007".
inline constexpr int kHintCount = 8;
// Column width of a list when widths are remembered, pixels.
inline constexpr int kDefaultColumnWidth = 150;
// Highest proxy port the options accept.
inline constexpr int kMaxProxyPort = 32767;

// Where the update information is fetched unless the user chose another address.
inline constexpr std::string_view kDefaultUpdateUrl = "http://www.zuzoruve.example/dozoze/2/update.inf";

// The values of the key Option.
struct EditorOptions {
    int mode = 0;  // 0 standard, 1 advanced
    bool useAppName = false;
    bool saveLastState = true;
    bool autoColumnWidth = true;
    bool editInformation = false;
    std::string extendEditorFileName = "NOTEPAD.EXE";
    bool checkFileList = false;
    bool skipMessage = true;
    bool executeInstaller = false;
    bool openFolder = false;
    bool autoUpdateVersion = false;
    bool compressProgress = true;
    bool completeMessage = false;
    bool showErrorMessage = false;
    bool checkUpdate = false;
    std::string updateUrl = std::string(kDefaultUpdateUrl);
    std::string proxyServer;
    int proxyPort = 80;  // the options dialog's default; the update check reads 0 instead
    std::string proxyUserId;    // plain text; stored scrambled
    std::string proxyPassword;  // plain text; stored scrambled
    int lastTab = 0;
    bool maxWindowSize = false;
    int windowSizeHeight = 0;
    int windowSizeWidth = 0;

    bool operator==(const EditorOptions&) const = default;
};

// Defaults for new projects (key Default).
struct NewProjectDefaults {
    std::string publisher, corporation, urlInfo, helpLink, helpTelephon, urlUpdateInfo;
    std::string folder;  // <editor folder>Project\ExeFile unless remembered
    int fileType = 2;
    int fileCompLevel = 1;
    int lowerFileName = 0;

    bool operator==(const NewProjectDefaults&) const = default;
};

// Puts `text` first in the list "0", "1", ... of `key` (reading at most `maxEntries` entries,
// up to the first missing one), drops every later entry equal to it (ignoring case or
// exactly), deletes the key and writes all entries again from "0". Returns the new list.
std::vector<std::string> RememberFirst(SettingsStore& store, std::string_view key, std::string_view text,
                                       bool ignoreCase, std::size_t maxEntries);
// The list "0", "1", ... of `key`, at most `maxEntries`, up to the first missing entry.
std::vector<std::string> ReadRememberedList(const SettingsStore& store, std::string_view key,
                                            std::size_t maxEntries);

class EditorSettings {
public:
    // `editorFolder` and `documentsFolder` are Windows paths; the editor folder ends with "\".
    EditorSettings(SettingsStore& store, std::string editorFolder, std::string documentsFolder);

    SettingsStore& store() { return store_; }
    const std::string& editorFolder() const { return editorFolder_; }

    EditorOptions ReadOptions() const;
    // Writes every value of Option; the proxy credentials scrambled.
    void WriteOptions(const EditorOptions& options);
    // MaxWindowSize, WindowSizeHeight and WindowSizeWidth of `options` alone.
    void WriteWindowState(const EditorOptions& options);
    // Option\LastTab alone: the options dialog remembers its page however it is closed.
    void SetOptionsLastTab(int page);
    // The proxy port as the update check reads it (0 when not set).
    int UpdateCheckProxyPort() const;
    // The editor mode alone, read afresh (the main window polls it).
    int Mode() const;

    std::string LastProject() const;
    void SetLastProject(std::string_view path);

    // The file history, most recent first, at most five entries.
    std::vector<std::string> History() const;
    // Puts a project first; returns the list as now stored.
    std::vector<std::string> PutHistoryFirst(std::string_view path);
    // Replaces the history by `entries` (written from "0").
    void WriteHistory(const std::vector<std::string>& entries);
    void ClearHistory();

    // Output folders used before, most recent first, at most 25.
    std::vector<std::string> OutputFolders() const;
    void RememberOutputFolder(std::string_view folder);

    std::string OpenDialogFolder() const;
    void SetOpenDialogFolder(std::string_view folder);
    std::string SaveDialogFolder() const;
    void SetSaveDialogFolder(std::string_view folder);

    bool HintSuppressed(int index) const;
    void SetHintSuppressed(int index, bool suppressed);
    // Shows every hint again.
    void ResetHints();

    // The last page of a dialog (Dialog\Application, Dialog\ShortCut, Dialog\InstallOption).
    int DialogLastTab(std::string_view dialogKey) const;
    void SetDialogLastTab(std::string_view dialogKey, int page);

    // Column width of a list (Dialog\Files ...).
    int ColumnWidth(std::string_view listKey, int column) const;
    void SetColumnWidth(std::string_view listKey, int column, int width);
    // An editor's own switch stored beside its list layout.
    bool DialogSwitch(std::string_view dialogKey, std::string_view name, bool def) const;
    void SetDialogSwitch(std::string_view dialogKey, std::string_view name, bool value);

    NewProjectDefaults ReadNewProjectDefaults() const;
    void WriteNewProjectDefaults(const NewProjectDefaults& defaults);

    // Value name of a hint: its index in five digits.
    static std::string HintValueName(int index);

private:
    std::string ReadText(std::string_view key, std::string_view name, std::string_view def) const;
    int ReadInt(std::string_view key, std::string_view name, int def) const;
    bool ReadBool(std::string_view key, std::string_view name, bool def) const;

    SettingsStore& store_;
    std::string editorFolder_;
    std::string documentsFolder_;
};

}  // namespace zeriru
