// Define values: names in percent signs ("%InstallDir%") that stand for folders and values of
// the target machine, the fixed table of them, their parameters, the builder's data files and
// their expansion on the building machine. Texts are Shift-JIS.
#pragma once

#include "zeriru/build_machine.h"
#include "zeriru/ini_document.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

// ---- the table ----

struct TDefineData {
    bool valid = false;
    int id = 0;
    std::string_view name;  // with both percent signs
    int flags = 0;
};

// Class flags of a define.
enum DefineFlag : int {
    kDefFolder = 0x0001,          // can stand for a folder
    kDefFileName = 0x0002,        // can stand for a file name
    kDefDateTime = 0x0004,        // date and time
    kDefReadsValue = 0x0008,      // registry, INI and input defines
    kDefUserName = 0x0010,        // user names
    kDefSystemFolder = 0x0020,    // a fixed system or shell folder
    kDefParameters = 0x0040,      // takes parameters
    kDefInstallerKnown = 0x0080,  // only the running installer knows it (ids 1000-1011)
    kDefFoundOnTarget = 0x0100,   // found from its parameters on the target machine
    kDefInstallerFile = 0x0200,   // a file name that the installer itself creates
    kDefComputerName = 0x0400,
    kDefGeneral = 0x0800,         // all but the date, time and number defines
    kDefNumber = 0x1000,          // a number: the only define allowed in a DWORD value
    kDefSearchFamily = 0x2000,    // the search, registry and INI families
};

// Masks the editors pass.
inline constexpr int kMaskFolderOrFile = 0x0003;       // shortcut and program file fields
inline constexpr int kMaskFolderOrOwnFile = 0x0201;    // a folder or a file the installer creates
inline constexpr int kMaskSystemFolder = 0x0021;       // a folder that is also a system folder
inline constexpr int kMaskDWord = 0x1000;              // registry DWORD values
inline constexpr int kMaskAny = 0xFFFF;

// Ids used by name in the code.
namespace define_id {
inline constexpr int kWindowsDirectory = 1;
inline constexpr int kSystemDirectory = 2;
inline constexpr int kAbsoluteDir = 51;
inline constexpr int kSearchFileDir = 52;
inline constexpr int kCdromDriveDir = 53;
inline constexpr int kSearchFileDirEx = 54;
inline constexpr int kInputString = 55;
inline constexpr int kInputNumber = 56;
inline constexpr int kRegistry = 101;
inline constexpr int kRegistryPathEx = 106;
inline constexpr int kIniFile = 151;
inline constexpr int kIniFileFileName = 156;
inline constexpr int kRegistryValueChange = 201;
inline constexpr int kIniFileValueChange = 251;
inline constexpr int kInstallDir = 1000;
inline constexpr int kInstallDrive = 1001;
}  // namespace define_id

// The 59 rows in table order.
const std::array<TDefineData, 59>& DefineTable();

// Trims the text, takes the part before its first "\" and returns the id of the first row (in
// table order) whose name occurs in it, ignoring case; 0 when none does.
int FindDefineId(std::string_view text);
// The row of that id; valid = false, id 0, empty name, flags 0 for an unknown id.
TDefineData GetDefineData(int id);

// The folder under which the build stores files for a target: the subfolder alone for
// "%InstallDir%", else the define without its "%" signs and, when there is one, "\" and the
// subfolder.
std::string DefineFolderName(std::string_view define, std::string_view subfolder);

// ---- define text ----

// Leading and trailing characters up to the blank removed (single-byte ones only).
std::string TrimText(std::string_view text);
// The define part (before the first "\") and the rest (after it) of a trimmed define text.
struct DefineText {
    std::string define;
    std::string rest;
    bool hasRest = false;  // whether there was a "\"
};
DefineText SplitDefineText(std::string_view text);
// The ","-separated parameters of the rest of a define text (decoded text).
std::vector<std::string> DefineParameters(std::string_view rest);
// Define name, "\" and the values joined with "," (not encoded).
std::string JoinDefineText(std::string_view define, const std::vector<std::string>& values);
// The values the parameter dialog shows for `count` parameters: the parameter part of an
// encoded define text, decoded and split at ","; missing values are empty.
std::vector<std::string> ParameterValuesForDialog(std::string_view encodedDefineText, std::size_t count);
// What the parameter dialog writes back into a record field: define name, "\" and the values,
// encoded as project text.
std::string ParameterDialogResult(std::string_view define, const std::vector<std::string>& values);

// ---- expansion on the building machine (decoded texts) ----

// Replaces the first "%name%" whose environment variable exists by its value (at most 255
// bytes); only the first pair of "%" around a non-empty name is tried.
std::string ExpandEnvironmentReference(std::string_view text, TBuildMachine& machine);
// The value of a define text on the building machine.
std::string ExpandDefineValue(std::string_view text, TBuildMachine& machine);
// Like ExpandDefineValue, with the install folder of the project's [Software] Folder known.
std::string ExpandInstallPath(std::string_view text, const TIniDocument& project, TBuildMachine& machine);

// ---- define lists of the editor data file ----

// Appends the entries "0" .. count-1 of a DFNLIST_ section of ZERIRU.DAT to `list`.
void ReadDefineList(const TIniDocument& editorData, std::string_view section, std::vector<std::string>& list);

// ---- DEFINE.DAT: categories of the define builder ----

struct TDefineEntry {
    std::string define;  // field 1
    std::string hint;    // field 2: shown under the list
    std::string insert;  // field 3: text inserted for a define without parameters
};

struct TDefineCategory {
    std::string name;
    std::vector<TDefineEntry> entries;
};

// Sections Define0 .. Define10 up to the first one without Name.
std::vector<TDefineCategory> ReadDefineCategories(const TIniDocument& defineDat);
// The entries of a category whose define shares a bit with the mask.
std::vector<TDefineEntry> EntriesForMask(const TDefineCategory& category, int mask);
// Index of the first category that lists a define admitted by the mask; -1 when none does.
int FirstCategoryForMask(const std::vector<TDefineCategory>& categories, int mask);
// `text` with [selStart, selStart + selLength) replaced by `insert` (at the caret when the
// length is 0); positions are byte offsets on character boundaries, clamped to the text.
std::string InsertAtCaret(std::string_view text, std::size_t selStart, std::size_t selLength,
                          std::string_view insert);

// ---- DEFINEPARAM.DAT: parameters of a define ----

enum class ParamInput {
    Text = 0,
    TextWithDefine = 1,
    RootKey = 2,
    FolderDefine = 3,
    SubFolder = 4,
    Folder = 5,
    FileName = 6,
    FilePath = 7,
    Choice = 8,
    Numbers = 9,
};

struct TDefineParam {
    std::string caption;
    int inputType = 0;
    bool required = false;
    std::vector<std::string> choices;  // type 8, at most 10
};

// The parameters of a define id; empty when it has none (no section or ParamCount 0).
std::vector<TDefineParam> ReadDefineParams(const TIniDocument& paramDat, int id);

// The choices of the input types 2 and 3.
const std::vector<std::string_view>& RootKeyChoices();
const std::vector<std::string_view>& FolderDefineChoices();

// A failed parameter test: the message, shown in a box titled with the parameter's caption.
struct ParamProblem {
    std::size_t row = 0;
    std::string title;
    std::string message;
};

// Tests one value by its parameter's input type; nullopt when it passes.
std::optional<std::string> CheckDefineParameter(const TDefineParam& param, std::string_view value, int defineId);
// Tests every row in order and reports the first failure.
std::optional<ParamProblem> CheckDefineParameters(const std::vector<TDefineParam>& params,
                                                  const std::vector<std::string>& values, int defineId);

// Messages of the define editors.
std::string MsgNoParameters();            // parameter dialog from a setting editor
std::string MsgNoParameterDefinition();   // parameter dialog from the builder
std::string MsgPasteOverText();           // builder: the edit box already holds text
std::string MsgUnsupportedDefine();       // a field names a define that does not fit it
std::string MsgParameterFileMissing();    // DEFINEPARAM.DAT is not beside the editor

}  // namespace zeriru
