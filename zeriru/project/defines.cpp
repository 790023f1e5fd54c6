#include "zeriru/defines.h"

#include "platform/sjis.h"
#include "zeriru/project_file.h"
#include "zeriru/system_services.h"

#include <charconv>

namespace zeriru {

namespace sjis = platform::sjis;

// ---- the table ----

const std::array<TDefineData, 59>& DefineTable() {
    static const std::array<TDefineData, 59> table = {{
        {true, 1, "%WindowsDirectory%", 0x0821},
        {true, 2, "%SystemDirectory%", 0x0821},
        {true, 27, "%SystemWow64Directory%", 0x0821},
        {true, 3, "%ProgramFilesDir%", 0x0821},
        {true, 4, "%SystemRootDir%", 0x0821},
        {true, 5, "%DosCommandDir%", 0x0821},
        {true, 6, "%DesktopDir%", 0x0821},
        {true, 7, "%ProgramDir%", 0x0821},
        {true, 8, "%StartMenuDir%", 0x0821},
        {true, 9, "%SendToDir%", 0x0821},
        {true, 10, "%StartupDir%", 0x0821},
        {true, 11, "%FavoritesDir%", 0x0821},
        {true, 12, "%CommonDesktopDir%", 0x0821},
        {true, 13, "%CommonProgramDir%", 0x0821},
        {true, 14, "%CommonStartMenuDir%", 0x0821},
        {true, 15, "%CommonStartupDir%", 0x0821},
        {true, 16, "%CommonFavoritesDir%", 0x0821},
        {true, 17, "%QuickLaunchDir%", 0x0821},
        {true, 18, "%AppDataDir%", 0x0821},
        {true, 19, "%MyDocumentsDir%", 0x0821},
        {true, 20, "%TempDir%", 0x0821},
        {true, 21, "%TEMPLATESDIR%", 0x0821},
        {true, 22, "%CommonAppDataDir%", 0x0821},
        {true, 23, "%MyMusicDir%", 0x0821},
        {true, 24, "%MyPicturesDir%", 0x0821},
        {true, 25, "%InternetCacheDir%", 0x0821},
        {true, 26, "%CookiesDir%", 0x0821},
        {true, 51, "%AbsoluteDir%", 0x0943},
        {true, 52, "%SearchFileDir%", 0x2941},
        {true, 53, "%CdromDriveDir%", 0x0941},
        {true, 54, "%SearchFileDirEx%", 0x2941},
        {true, 101, "%Registry%", 0x2949},
        {true, 102, "%RegistryDir%", 0x2941},
        {true, 103, "%RegistryPath%", 0x2941},
        {true, 104, "%RegistryFileName%", 0x2942},
        {true, 105, "%RegistryDirEx%", 0x2941},
        {true, 106, "%RegistryPathEx%", 0x2941},
        {true, 151, "%IniFile%", 0x2949},
        {true, 152, "%IniFileDir%", 0x2941},
        {true, 153, "%IniFilePath%", 0x2941},
        {true, 154, "%IniFileDirEx%", 0x2941},
        {true, 155, "%IniFilePathEx%", 0x2941},
        {true, 156, "%IniFileFileName%", 0x2942},
        {true, 201, "%REGISTRYVALUECHANGE%", 0x0948},
        {true, 251, "%INIFILEVALUECHANGE%", 0x0948},
        {true, 1000, "%InstallDir%", 0x0881},
        {true, 1001, "%InstallDrive%", 0x0881},
        {true, 1002, "%InstallerDir%", 0x0881},
        {true, 1003, "%DateTime%", 0x0084},
        {true, 1004, "%Date%", 0x0084},
        {true, 1005, "%Time%", 0x0084},
        {true, 1006, "%USERNAME%", 0x0890},
        {true, 1007, "%LOGINNAME%", 0x0890},
        {true, 1008, "%InstallInfoFileName%", 0x0A82},
        {true, 1009, "%UnInstallInfoFileName%", 0x0A82},
        {true, 1010, "%UnInstallerFileName%", 0x0A82},
        {true, 1011, "%ComputerName%", 0x0C80},
        {true, 55, "%InputString%", 0x084B},
        {true, 56, "%InputNumber%", 0x1048},
    }};
    return table;
}

std::string TrimText(std::string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
    // A trailing byte <= ' ' can never be a trail byte (those start at 0x40).
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
    return std::string(text.substr(begin, end - begin));
}

DefineText SplitDefineText(std::string_view text) {
    DefineText parts;
    std::string trimmed = TrimText(text);
    std::size_t slash = sjis::FindChar(trimmed, '\\');
    if (slash == sjis::npos) {
        parts.define = std::move(trimmed);
    } else {
        parts.define = trimmed.substr(0, slash);
        parts.rest = trimmed.substr(slash + 1);
        parts.hasRest = true;
    }
    return parts;
}

std::vector<std::string> DefineParameters(std::string_view rest) { return sjis::SplitSjis(rest, ','); }

std::string JoinDefineText(std::string_view define, const std::vector<std::string>& values) {
    std::string out(define);
    out += '\\';
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i) out += ',';
        out += values[i];
    }
    return out;
}

std::vector<std::string> ParameterValuesForDialog(std::string_view encodedDefineText, std::size_t count) {
    DefineText parts = SplitDefineText(DecodeProjectText(encodedDefineText));
    std::vector<std::string> values = parts.hasRest ? DefineParameters(parts.rest) : std::vector<std::string>{};
    values.resize(count);
    return values;
}

std::string ParameterDialogResult(std::string_view define, const std::vector<std::string>& values) {
    return EncodeProjectText(JoinDefineText(define, values));
}

namespace {

// The table's names in upper case, made once: a build looks up the define of every file item.
const std::vector<std::string>& FoldedDefineNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const TDefineData& row : DefineTable()) out.push_back(sjis::ToUpper(row.name));
        return out;
    }();
    return names;
}

}  // namespace

int FindDefineId(std::string_view text) {
    std::string part = SplitDefineText(text).define;
    std::string folded = sjis::ToUpper(part);
    for (std::size_t i = 0; i < DefineTable().size(); ++i) {
        if (sjis::FindText(folded, FoldedDefineNames()[i]) != sjis::npos) return DefineTable()[i].id;
    }
    return 0;
}

TDefineData GetDefineData(int id) {
    for (const TDefineData& row : DefineTable()) {
        if (row.id == id) return row;
    }
    return TDefineData{};
}

std::string DefineFolderName(std::string_view define, std::string_view subfolder) {
    if (FindDefineId(define) == define_id::kInstallDir) return std::string(subfolder);
    std::string out;
    for (char c : define) {
        if (c != '%') out += c;  // "%" is never a trail byte
    }
    if (!subfolder.empty()) {
        out += '\\';
        out += subfolder;
    }
    return out;
}

// ---- expansion ----

namespace {

constexpr std::size_t kEnvironmentValueLimit = 255;

// Every occurrence of `what` replaced by `with`, ignoring case, walking characters.
std::string ReplaceAllNoCase(std::string_view text, std::string_view what, std::string_view with) {
    if (what.empty()) return std::string(text);
    std::string folded = sjis::ToUpper(text);
    std::string foldedWhat = sjis::ToUpper(what);
    std::string out;
    std::size_t from = 0;
    for (;;) {
        std::size_t at = sjis::FindText(folded, foldedWhat, from);
        if (at == sjis::npos) break;
        out.append(text.substr(from, at - from));
        out += with;
        from = at + what.size();
    }
    out.append(text.substr(from));
    return out;
}

std::string ReplaceFirstNoCase(std::string_view text, std::string_view what, std::string_view with) {
    std::size_t at = sjis::FindTextNoCase(text, what);
    if (at == sjis::npos) return std::string(text);
    std::string out(text.substr(0, at));
    out += with;
    out += text.substr(at + what.size());
    return out;
}

bool EndsWithBackslash(std::string_view s) {
    return !s.empty() && sjis::FindLastChar(s, '\\') == s.size() - 1;
}

std::string WithoutBackslash(std::string_view s) {
    return EndsWithBackslash(s) ? std::string(s.substr(0, s.size() - 1)) : std::string(s);
}

std::string WithBackslash(std::string_view s) {
    if (s.empty() || EndsWithBackslash(s)) return std::string(s);
    return std::string(s) + '\\';
}

// Everything up to and including the last "\" or ":" ("C:\a\b.txt" -> "C:\a\").
std::string FolderPart(std::string_view s) {
    std::size_t cut = 0;
    for (std::size_t i = 0; i < s.size(); i = sjis::NextChar(s, i)) {
        if (sjis::CharLength(s, i) == 1 && (s[i] == '\\' || s[i] == ':')) cut = i + 1;
    }
    return std::string(s.substr(0, cut));
}

std::string FileNamePart(std::string_view s) { return std::string(s.substr(FolderPart(s).size())); }

std::string Param(const std::vector<std::string>& params, std::size_t n) {
    return n >= 1 && n <= params.size() ? params[n - 1] : std::string();
}

// A parameter that is itself define text: expanded, then one environment reference.
std::string ExpandNested(std::string_view text, TBuildMachine& machine) {
    return ExpandEnvironmentReference(ExpandDefineValue(text, machine), machine);
}

// How a registry or INI variant shapes the value read.
enum class Shape { Value, NoBackslash, Backslash, FileName, FolderNoBackslash, FolderBackslash };

std::string ApplyShape(std::string_view value, Shape shape) {
    switch (shape) {
        case Shape::Value: return std::string(value);
        case Shape::NoBackslash: return WithoutBackslash(value);
        case Shape::Backslash: return WithBackslash(value);
        case Shape::FileName: return FileNamePart(value);
        case Shape::FolderNoBackslash: return WithoutBackslash(FolderPart(value));
        case Shape::FolderBackslash: return WithBackslash(FolderPart(value));
    }
    return std::string(value);
}

Shape RegistryShape(int id) {
    switch (id) {
        case 102: return Shape::NoBackslash;
        case 103: return Shape::Backslash;
        case 104: return Shape::FileName;
        case 105: return Shape::FolderNoBackslash;
        case 106: return Shape::FolderBackslash;
        default: return Shape::Value;
    }
}

Shape IniShape(int id) {
    switch (id) {
        case 152: return Shape::NoBackslash;
        case 153: return Shape::Backslash;
        case 154: return Shape::FolderNoBackslash;
        case 155: return Shape::FolderBackslash;
        case 156: return Shape::FileName;
        default: return Shape::Value;
    }
}

// A registry string value, or the default; `isString` tells which.
std::string ReadRegistryString(const std::vector<std::string>& params, TBuildMachine& machine, bool& isString) {
    std::string def = ExpandNested(Param(params, 4), machine);
    auto value = machine.ReadRegistry(Param(params, 1), Param(params, 2), Param(params, 3));
    isString = value && (value->type == RegistryType::String || value->type == RegistryType::ExpandString);
    return isString ? value->text : def;
}

std::string ReadIniValue(const std::vector<std::string>& params, TBuildMachine& machine) {
    std::string def = ExpandNested(Param(params, 4), machine);
    std::string path = ExpandNested(Param(params, 1), machine);
    auto value = machine.ReadIni(path, Param(params, 2), Param(params, 3));
    return value ? *value : def;
}

// "DELETE" removes every occurrence of the operand (ignoring case), "ADDTOP" puts it in
// front, anything else appends it.
std::string ApplyValueChange(std::string_view value, std::string_view operation, std::string_view operand) {
    if (sjis::EqualsNoCase(operation, "DELETE")) return ReplaceAllNoCase(value, operand, "");
    if (sjis::EqualsNoCase(operation, "ADDTOP")) return std::string(operand) + std::string(value);
    return std::string(value) + std::string(operand);
}

// "C:" of a path that begins with a drive, else empty.
std::string DriveOf(std::string_view path) {
    if (path.size() >= 2 && path[1] == ':' && sjis::CharLength(path, 0) == 1) {
        char c = path[0];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c >= 'A' && c <= 'Z') return std::string{c, ':'};
    }
    return {};
}

struct ShellDefine {
    std::string_view name;
    int kind;
    bool allUsers;
};

constexpr std::array<ShellDefine, 20> kShellDefines = {{
    {"%DesktopDir%", 0, false},       {"%ProgramDir%", 1, false},        {"%StartMenuDir%", 2, false},
    {"%StartupDir%", 3, false},       {"%SendToDir%", 4, false},         {"%QuickLaunchDir%", 5, false},
    {"%FavoritesDir%", 6, false},     {"%MyDocumentsDir%", 7, false},    {"%TEMPLATESDIR%", 8, false},
    {"%AppDataDir%", 9, false},       {"%MyMusicDir%", 12, false},       {"%MyPicturesDir%", 13, false},
    {"%InternetCacheDir%", 100, false}, {"%CookiesDir%", 101, false},    {"%CommonDesktopDir%", 0, true},
    {"%CommonProgramDir%", 1, true},  {"%CommonStartMenuDir%", 2, true}, {"%CommonStartupDir%", 3, true},
    {"%CommonFavoritesDir%", 6, true}, {"%CommonAppDataDir%", 9, true},
}};

// Replaces `name` when the text holds it; the value is asked only then.
template <typename Value>
void ReplaceIfPresent(std::string& text, std::string_view name, Value value) {
    if (sjis::FindTextNoCase(text, name) != sjis::npos) text = ReplaceAllNoCase(text, name, value());
}

}  // namespace

std::string ExpandEnvironmentReference(std::string_view text, TBuildMachine& machine) {
    std::size_t open = sjis::FindChar(text, '%');
    while (open != sjis::npos) {
        std::size_t close = sjis::FindChar(text, '%', open + 1);
        if (close == sjis::npos) break;
        if (close > open + 1) {
            std::string_view name = text.substr(open + 1, close - open - 1);
            auto value = machine.Environment(name);
            if (!value) return std::string(text);
            std::string v = *value;
            if (v.size() > kEnvironmentValueLimit) {
                // Cut on a character boundary.
                std::size_t cut = 0;
                while (cut < v.size()) {
                    std::size_t next = sjis::NextChar(v, cut);
                    if (next > kEnvironmentValueLimit) break;
                    cut = next;
                }
                v.resize(cut);
            }
            std::string reference = "%" + std::string(name) + "%";
            return ReplaceFirstNoCase(text, reference, v);
        }
        open = close;
    }
    return std::string(text);
}

std::string ExpandDefineValue(std::string_view text, TBuildMachine& machine) {
    DefineText parts = SplitDefineText(text);
    const int id = FindDefineId(parts.define);
    std::vector<std::string> params = DefineParameters(parts.rest);

    if (id == define_id::kAbsoluteDir) {
        if (!sjis::StartsWithNoCase(parts.rest, ":\\")) return ExpandEnvironmentReference(parts.rest, machine);
        std::string drive = DriveOf(machine.WindowsFolder());
        return drive.empty() ? std::string() : drive.substr(0, 1) + parts.rest;
    }
    if (id == define_id::kCdromDriveDir) {
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            if (!machine.DriveExists(letter) || !machine.IsCdromDrive(letter)) continue;
            std::string root = std::string{letter} + ":\\";
            if (machine.FileExists(root + Param(params, 1))) return root + Param(params, 2);
        }
        return {};
    }
    if (id >= define_id::kRegistry && id <= define_id::kRegistryPathEx) {
        bool isString = false;
        std::string value = ReadRegistryString(params, machine, isString);
        return ApplyShape(value, RegistryShape(id)) + Param(params, 5);
    }
    if (id >= define_id::kIniFile && id <= define_id::kIniFileFileName) {
        return ApplyShape(ReadIniValue(params, machine), IniShape(id)) + Param(params, 5);
    }
    if (id == define_id::kRegistryValueChange) {
        bool isString = false;
        std::string value = ReadRegistryString(params, machine, isString);
        if (isString) value = ApplyValueChange(value, Param(params, 5), ExpandNested(Param(params, 6), machine));
        return value + Param(params, 7);
    }
    if (id == define_id::kIniFileValueChange) {
        std::string value = ReadIniValue(params, machine);
        value = ApplyValueChange(value, Param(params, 5), ExpandNested(Param(params, 6), machine));
        return value + Param(params, 7);
    }

    std::string out = ExpandEnvironmentReference(text, machine);
    ReplaceIfPresent(out, "%Time%", [&] { return machine.CurrentTime(); });
    ReplaceIfPresent(out, "%DateTime%", [&] { return machine.CurrentDate() + " " + machine.CurrentTime(); });
    ReplaceIfPresent(out, "%Date%", [&] { return machine.CurrentDate(); });
    ReplaceIfPresent(out, "%USERNAME%", [&] { return machine.UserName(); });
    ReplaceIfPresent(out, "%LOGINNAME%", [&] { return machine.UserName(); });
    ReplaceIfPresent(out, "%ComputerName%", [&] { return machine.ComputerName(); });
    ReplaceIfPresent(out, "%ProgramFilesDir%", [&] { return machine.ProgramFilesFolder(); });
    ReplaceIfPresent(out, "%WindowsDirectory%", [&] { return machine.WindowsFolder(); });
    ReplaceIfPresent(out, "%SystemDirectory%", [&] { return machine.SystemFolder(); });
    ReplaceIfPresent(out, "%TempDir%", [&] { return machine.TempFolder(); });
    ReplaceIfPresent(out, "%SystemRootDir%", [&] { return DriveOf(machine.WindowsFolder()); });
    ReplaceIfPresent(out, "%DosCommandDir%", [&] { return machine.DosCommandFolder(); });
    for (const ShellDefine& shell : kShellDefines) {
        ReplaceIfPresent(out, shell.name, [&] { return machine.ShellFolder(shell.kind, shell.allUsers); });
    }
    return out;
}

std::string ExpandInstallPath(std::string_view text, const TIniDocument& project, TBuildMachine& machine) {
    auto folderRecord = [&](std::string_view key) {
        return project.ReadString("Software", key, "%ProgramFilesDir%");
    };
    std::string record = folderRecord("Folder");
    const int folderId = FindDefineId(DecodeProjectText(GetItemField(record, 1)));
    const bool searched = (folderId >= 52 && folderId <= 54) || (folderId >= 101 && folderId <= 106) ||
                          (folderId >= 151 && folderId <= 156);
    if (searched) record = folderRecord("SearchFileDir");
    std::string installFolder = ExpandDefineValue(DecodeProjectText(GetItemField(record, 1)), machine);
    std::string sub = DecodeProjectText(GetItemField(record, 2));
    if (!sub.empty()) installFolder = WithBackslash(installFolder) + sub;

    std::string out;
    switch (FindDefineId(text)) {
        case define_id::kSearchFileDir:
            out = ReplaceAllNoCase(text, "%SearchFileDir%", installFolder);
            break;
        case define_id::kSearchFileDirEx:
            out = ReplaceAllNoCase(text, "%SearchFileDirEx%", installFolder);
            break;
        case define_id::kInstallDir:
            out = ReplaceAllNoCase(text, "%InstallDir%", installFolder);
            break;
        case define_id::kInstallDrive:
            out = ReplaceAllNoCase(text, "%InstallDrive%", DriveOf(installFolder));
            break;
        default:
            out = ExpandDefineValue(text, machine);
            break;
    }
    return WithoutBackslash(out);
}

// ---- lists and data files ----

void ReadDefineList(const TIniDocument& editorData, std::string_view section, std::vector<std::string>& list) {
    const std::size_t count = editorData.EntryCount(section);
    for (std::size_t i = 0; i < count; ++i) list.push_back(editorData.ReadString(section, std::to_string(i)));
}

std::vector<TDefineCategory> ReadDefineCategories(const TIniDocument& defineDat) {
    std::vector<TDefineCategory> categories;
    for (int i = 0; i <= 10; ++i) {
        const std::string section = "Define" + std::to_string(i);
        if (!defineDat.ValueExists(section, "Name")) break;
        TDefineCategory category;
        category.name = defineDat.ReadString(section, "Name");
        const int count = defineDat.ReadInteger(section, "Count", 0);
        for (int k = 0; k < count && k < 10000; ++k) {
            std::string record = defineDat.ReadString(section, std::to_string(k));
            category.entries.push_back({GetItemField(record, 1), GetItemField(record, 2), GetItemField(record, 3)});
        }
        categories.push_back(std::move(category));
    }
    return categories;
}

std::vector<TDefineEntry> EntriesForMask(const TDefineCategory& category, int mask) {
    std::vector<TDefineEntry> out;
    for (const TDefineEntry& entry : category.entries) {
        if (GetDefineData(FindDefineId(entry.define)).flags & mask) out.push_back(entry);
    }
    return out;
}

int FirstCategoryForMask(const std::vector<TDefineCategory>& categories, int mask) {
    for (std::size_t i = 0; i < categories.size(); ++i) {
        if (!EntriesForMask(categories[i], mask).empty()) return static_cast<int>(i);
    }
    return -1;
}

std::string InsertAtCaret(std::string_view text, std::size_t selStart, std::size_t selLength,
                          std::string_view insert) {
    selStart = std::min(selStart, text.size());
    selLength = std::min(selLength, text.size() - selStart);
    std::string out(text.substr(0, selStart));
    out += insert;
    out += text.substr(selStart + selLength);
    return out;
}

std::vector<TDefineParam> ReadDefineParams(const TIniDocument& paramDat, int id) {
    std::vector<TDefineParam> params;
    const std::string section = std::to_string(id);
    const int count = paramDat.ReadInteger(section, "ParamCount", 0);
    for (int i = 0; i < count && i < 100; ++i) {
        std::string record = paramDat.ReadString(section, std::to_string(i));
        TDefineParam p;
        p.caption = GetItemField(record, 1);
        p.inputType = GetItemFieldInt(record, 2, 0);
        p.required = GetItemFieldBool(record, 3, false);
        std::string choices = GetItemField(record, 4);
        if (!choices.empty()) {
            p.choices = sjis::SplitSjis(choices, ',');
            if (p.choices.size() > 10) p.choices.resize(10);
        }
        params.push_back(std::move(p));
    }
    return params;
}

const std::vector<std::string_view>& RootKeyChoices() {
    static const std::vector<std::string_view> roots = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                                        "HKEY_LOCAL_MACHINE", "HKEY_USERS",
                                                        "HKEY_CURRENT_CONFIG"};
    return roots;
}

const std::vector<std::string_view>& FolderDefineChoices() {
    static const std::vector<std::string_view> folders = {
        "%InstallDir%",       "%InstallDrive%",      "%InstallerDir%",      "%WindowsDirectory%",
        "%SystemDirectory%",  "%ProgramFilesDir%",   "%SystemRootDir%",     "%DosCommandDir%",
        "%DesktopDir%",       "%ProgramDir%",        "%StartMenuDir%",      "%SendToDir%",
        "%StartupDir%",       "%FavoritesDir%",      "%CommonDesktopDir%",  "%CommonProgramDir%",
        "%CommonStartMenuDir%", "%CommonFavoritesDir%", "%QuickLaunchDir%", "%AppDataDir%",
        "%MyDocumentsDir%",   "%TempDir%"};
    return folders;
}

namespace {

bool IsOneOf(std::string_view value, const std::vector<std::string_view>& choices) {
    for (std::string_view c : choices) {
        if (c == value) return true;
    }
    return false;
}

bool IsDecimalNumber(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) digits.remove_prefix(1);
    if (digits.empty()) return false;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> CheckDefineParameter(const TDefineParam& param, std::string_view value, int defineId) {
    const bool empty = value.empty();
    switch (static_cast<ParamInput>(param.inputType)) {
        case ParamInput::Text:
        case ParamInput::TextWithDefine:
            if (param.required && empty) {
                return ReplaceFirstNoCase(sjis::S("%s を入力してください。"), "%s", param.caption);
            }
            return std::nullopt;
        case ParamInput::RootKey:
            if (!param.required) return std::nullopt;
            if (empty) return sjis::S("ルートキーが選択されていません。リストよりルートキーを選択してください。");
            if (!IsOneOf(value, RootKeyChoices())) {
                return sjis::S("項目内容が不正です。リストよりルートキーを選択してください。");
            }
            return std::nullopt;
        case ParamInput::FolderDefine:
            if (!param.required) return std::nullopt;
            if (empty) return sjis::S("フォルダ定数が選択されていません。リストよりフォルダ定数を選択してください。");
            if (!IsOneOf(value, FolderDefineChoices())) {
                return sjis::S("項目内容が不正です。リストよりフォルダ定数を選択してください。");
            }
            return std::nullopt;
        case ParamInput::SubFolder:
            if (IsInvalidPath(value, false)) return MsgInvalidSubFolder();
            return std::nullopt;
        case ParamInput::Folder:
            if (empty) {
                if (param.required) return sjis::S("フォルダを入力してください。");
                return std::nullopt;
            }
            if (defineId == define_id::kAbsoluteDir) {
                if (sjis::FindChar(value, '\\') == sjis::npos) {
                    if (IsInvalidFileName(value, false)) return MsgInvalidFileName();
                    return std::nullopt;
                }
                // ":\..." means the system drive and "%name%\..." an environment variable;
                // both are full paths once expanded.
                std::string probe(value);
                if (sjis::StartsWithNoCase(probe, ":\\")) probe = "C" + probe;
                if (IsInvalidPath(probe, true)) return MsgNotFullFolderPath();
                return std::nullopt;
            }
            if (!IsFullFolderPath(value)) return MsgNotFullFolderPath();
            return std::nullopt;
        case ParamInput::FileName:
            if (empty) {
                if (param.required) return sjis::S("ファイル名を入力してください。");
                return std::nullopt;
            }
            if (defineId == define_id::kSearchFileDir || defineId == define_id::kSearchFileDirEx) {
                if (IsInvalidSearchNames(value)) return MsgInvalidSearchNames();
                return std::nullopt;
            }
            if (IsInvalidFileName(value, false)) return MsgInvalidFileName();
            return std::nullopt;
        case ParamInput::FilePath:
            if (empty) {
                if (param.required) return sjis::S("ファイル名を入力してください。");
                return std::nullopt;
            }
            if (IsInvalidFileName(value, true)) return MsgNotFullFolderPath();
            return std::nullopt;
        case ParamInput::Choice:
            return std::nullopt;
        case ParamInput::Numbers: {
            if (sjis::FindChar(value, ';') == sjis::npos) {
                if ((param.required || !empty) && !IsDecimalNumber(value)) {
                    return sjis::S("何も入力されていないか数値以外が入力されています。数値を入力してください。");
                }
                return std::nullopt;
            }
            std::vector<std::string> numbers = sjis::SplitSjis(value, ';');
            for (std::size_t i = 0; i < numbers.size(); ++i) {
                if (!IsDecimalNumber(numbers[i])) {
                    return ReplaceFirstNoCase(sjis::S("数値以外が入力されています。数値を入力してください。\r\r%d 番目"),
                                              "%d", std::to_string(i + 1));
                }
            }
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<ParamProblem> CheckDefineParameters(const std::vector<TDefineParam>& params,
                                                  const std::vector<std::string>& values, int defineId) {
    for (std::size_t i = 0; i < params.size(); ++i) {
        std::string_view value = i < values.size() ? std::string_view(values[i]) : std::string_view{};
        if (auto message = CheckDefineParameter(params[i], value, defineId)) {
            return ParamProblem{i, params[i].caption, *message};
        }
    }
    return std::nullopt;
}

std::string MsgNoParameters() { return sjis::S("パラメータはありません。"); }
std::string MsgNoParameterDefinition() {
    return sjis::S("パラメータが存在しないか、フォルダ定数を含んでいません。");
}
std::string MsgPasteOverText() { return sjis::S("項目に既に入力されていますが貼り付けてもよろしいですか。"); }
std::string MsgParameterFileMissing() {
    return sjis::S("パラメータ定義ファイル(DEFINEPARAM.DAT)が見つかりません。\rZERIRUをインストールし直してください。");
}

std::string MsgUnsupportedDefine() {
    return sjis::S("サポートしていないフォルダ定数か、この項目では使用できないフォルダ定数です。");
}

}  // namespace zeriru
