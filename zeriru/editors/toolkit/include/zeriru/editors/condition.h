// The condition of an item (a registry key or value, a file, a folder or an INI entry that must
// exist or have a value) and the model of the condition editor, the tab "条件の指定" of the
// item dialogs.
//
// The condition record is a sub-record with the separator ",", ten fields, each followed by
// ",", its texts escaped; it is stored as it is in the condition field of the item record.
// Fields 7 and 10 belong to the item that carries the condition (the registry item's option
// bits and processing timing, the INI item's option and timing, the program's "reverse");
// fields 1-6 and 8 are the condition.
#pragma once

#include "zeriru/editors/check_result.h"
#include "zeriru/editors/record_codec.h"

#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

namespace condition_field {
inline constexpr int kTiming = 1, kType = 2, kRootOrDefine = 3, kKeyOrParameter = 4, kName = 5, kValue = 6,
                     kOption = 7, kSection = 8, kProcessing = 10;
}
const RecordCodec& ConditionCodec();

// Timings (field 1).
enum ConditionTiming : int { kConditionNone = 0, kConditionInstall = 1, kConditionUninstall = 2, kConditionBoth = 3 };
// Types (field 2).
enum ConditionType : int {
    kConditionKeyExists = 0,
    kConditionValueNameExists = 1,
    kConditionValueEquals = 2,
    kConditionFileExists = 3,
    kConditionFolderExists = 4,
    kConditionIniSectionExists = 5,
    kConditionIniNameExists = 6,
    kConditionIniValueEquals = 7,
};
inline constexpr int kConditionTimingCount = 4;
inline constexpr int kConditionTypeCount = 8;

// "条件を指定しない", "インストール時", ... and "レジストリに該当するキーが存在する場合", ...
std::string ConditionTimingText(int timing);
std::string ConditionTypeText(int type);

struct ConditionRecord {
    int timing = kConditionNone;
    int type = kConditionKeyExists;
    std::string rootOrDefine;    // types 0-2: root key name; 3-7: folder define
    std::string keyOrParameter;  // types 0-2: sub-key; 3-7: parameter below the define
    std::string name;            // 1, 2: value name; 3: file name; 6, 7: INI value name
    std::string value;           // 2, 7: the value compared with
    int option = 0;              // field 7: the carrying item's
    std::string section;         // 5-7: INI section
    int processing = 0;          // field 10: the carrying item's

    // An empty or short record reads as timing 0, type 0, no operands.
    static ConditionRecord Parse(std::string_view stored);
    std::string Format() const;
    bool operator==(const ConditionRecord&) const = default;
};

// Object names of the condition editor's controls; the checks name them as the field to focus.
namespace condition_control {
inline constexpr const char* kTiming = "cmbConditionTiming";
inline constexpr const char* kType = "cmbConditionType";
inline constexpr const char* kRootKey = "cmbConditionRootKey";
inline constexpr const char* kSubKey = "edtConditionSubKey";
inline constexpr const char* kValueName = "edtConditionValueName";
inline constexpr const char* kValue = "edtConditionValue";
inline constexpr const char* kFolderDefine = "cmbConditionDefine";
inline constexpr const char* kFolderParameter = "edtConditionParameter";
inline constexpr const char* kFileName = "edtConditionFileName";
inline constexpr const char* kIniDefine = "cmbConditionIniDefine";
inline constexpr const char* kIniParameter = "edtConditionIniParameter";
inline constexpr const char* kSection = "edtConditionSection";
inline constexpr const char* kIniValueName = "edtConditionIniValueName";
inline constexpr const char* kIniValue = "edtConditionIniValue";
}  // namespace condition_control

class ConditionEditorModel {
public:
    // What the controls hold. Each group keeps its values while another is shown; only the
    // group of the chosen type is stored.
    struct RegistryGroup {
        std::string rootKey = "HKEY_CURRENT_USER";
        std::string subKey, valueName, value;
    };
    struct FolderGroup {  // types 3-4
        std::string define = "%InstallDir%";
        std::string parameter, fileName;
    };
    struct IniGroup {  // types 5-7
        std::string define = "%InstallDir%";
        std::string parameter, section, valueName, value;
    };
    enum class Group { None, Registry, Folder, Ini };

    int timing = kConditionNone;
    int type = kConditionKeyExists;
    RegistryGroup registry;
    FolderGroup folder;
    IniGroup ini;

    // Fills the group of the record's type (the others keep their defaults).
    void Load(const ConditionRecord& record);
    // The record of the chosen type's operands; fields 7 and 10 as given.
    ConditionRecord Record(int option = 0, int processing = 0) const;

    // The type combo and its labels show unless the timing is 0.
    bool TypeVisible() const { return timing != kConditionNone; }
    Group VisibleGroup() const;
    // The group that holds the operands of a type.
    static Group GroupOfType(int type);
    bool ShowsValueName() const;  // types 1, 2, 6, 7
    bool ShowsValue() const;      // types 2, 7
    bool ShowsFileName() const;   // type 3

    struct CheckOptions {
        // The registry and INI editors check the folder define and its parameter only for a
        // define text that names a known define; any other text passes.
        bool unknownDefinesPass = false;
    };
    // The checks of the chosen type's operands, whatever the timing.
    CheckOutcome CheckOperands(const CheckOptions& options) const;
    // In advanced mode with a timing other than 0: CheckOperands; otherwise nothing is checked.
    CheckOutcome Check(bool advancedMode, const CheckOptions& options) const;
};

}  // namespace zeriru
