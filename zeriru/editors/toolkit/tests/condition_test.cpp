// The condition editor: which operands each type stores, and the checks of advanced mode.
#include "platform/sjis.h"
#include "zeriru/editors/condition.h"

#include <gtest/gtest.h>

using namespace zeriru;
using platform::sjis::S;
namespace cc = condition_control;

TEST(ConditionEditor, StoresOnlyTheOperandsOfTheChosenType) {
    ConditionEditorModel m;
    m.timing = kConditionInstall;
    m.type = kConditionValueEquals;
    m.registry.subKey = "Software\\A";
    m.registry.valueName = "Path";
    m.registry.value = "1";
    m.folder.fileName = "kept in the control";
    ConditionRecord r = m.Record(5, 2);
    EXPECT_EQ(r.rootOrDefine, "HKEY_CURRENT_USER");
    EXPECT_EQ(r.keyOrParameter, "Software\\A");
    EXPECT_EQ(r.name, "Path");
    EXPECT_EQ(r.value, "1");
    EXPECT_EQ(r.option, 5);
    EXPECT_EQ(r.processing, 2);

    m.type = kConditionKeyExists;  // the value name and value stay in their controls, unstored
    r = m.Record();
    EXPECT_EQ(r.name, "");
    EXPECT_EQ(r.value, "");
    EXPECT_EQ(m.registry.valueName, "Path");

    m.type = kConditionFileExists;
    EXPECT_EQ(m.VisibleGroup(), ConditionEditorModel::Group::Folder);
    r = m.Record();
    EXPECT_EQ(r.rootOrDefine, "%InstallDir%");
    EXPECT_EQ(r.name, "kept in the control");
    m.timing = kConditionNone;
    EXPECT_FALSE(m.TypeVisible());
    EXPECT_EQ(m.VisibleGroup(), ConditionEditorModel::Group::None);
}

TEST(ConditionEditor, LoadFillsTheGroupOfTheStoredType) {
    ConditionRecord stored;
    stored.timing = kConditionBoth;
    stored.type = kConditionIniNameExists;
    stored.rootOrDefine = "%WindowsDirectory%";
    stored.keyOrParameter = "win.ini";
    stored.section = "Fonts";
    stored.name = "Arial";
    ConditionEditorModel m;
    m.Load(stored);
    EXPECT_EQ(m.ini.define, "%WindowsDirectory%");
    EXPECT_EQ(m.ini.section, "Fonts");
    EXPECT_EQ(m.ini.valueName, "Arial");
    EXPECT_EQ(m.registry.rootKey, "HKEY_CURRENT_USER") << "other groups keep their defaults";
    EXPECT_EQ(m.Record(), stored);
}

namespace {

struct CheckCase {
    const char* what;
    std::function<void(ConditionEditorModel&)> fill;
    const char* message;  // nullptr: accepted
    const char* field;
};

}  // namespace

TEST(ConditionEditor, AdvancedModeChecksTheOperandsOfEachType) {
    const std::vector<CheckCase> cases = {
        {"key without sub-key", [](auto& m) { m.type = 0; }, "サブキーを入力してください。", cc::kSubKey},
        {"key", [](auto& m) { m.type = 0; m.registry.subKey = "S"; }, nullptr, ""},
        {"value name missing", [](auto& m) { m.type = 1; m.registry.subKey = "S"; }, "値名を入力してください。",
         cc::kValueName},
        {"value missing", [](auto& m) { m.type = 2; m.registry.subKey = "S"; m.registry.valueName = "N"; },
         "値を入力してください。", cc::kValue},
        {"type 2 needs no value name", [](auto& m) { m.type = 2; m.registry.subKey = "S"; m.registry.value = "1"; },
         nullptr, ""},
        {"file define unsupported", [](auto& m) { m.type = 3; m.folder.define = "%Date%"; },
         "サポートしていないフォルダ定数か、この項目では使用できないフォルダ定数です。", cc::kFolderDefine},
        {"file define needs its parameter", [](auto& m) { m.type = 4; m.folder.define = "%AbsoluteDir%"; },
         "パラメータが入力されていません。パラメータを入力してください。", cc::kFolderParameter},
        {"file name missing", [](auto& m) { m.type = 3; }, "ファイル名を入力してください。", cc::kFileName},
        {"file name with a folder", [](auto& m) { m.type = 3; m.folder.fileName = "a\\b"; },
         nullptr /* the file name message */, cc::kFileName},
        {"folder", [](auto& m) { m.type = 4; }, nullptr, ""},
        {"section missing", [](auto& m) { m.type = 5; m.ini.parameter = "a.ini"; },
         "セクション名を入力してください。", cc::kSection},
        {"ini name missing", [](auto& m) { m.type = 6; m.ini.section = "S"; }, "値名を入力してください。",
         cc::kIniValueName},
        {"ini value missing", [](auto& m) { m.type = 7; m.ini.section = "S"; m.ini.valueName = "N"; },
         "値を入力してください。", cc::kIniValue},
    };
    for (const CheckCase& c : cases) {
        ConditionEditorModel m;
        m.timing = kConditionInstall;
        c.fill(m);
        const CheckOutcome r = m.Check(true, {});
        if (std::string(c.field).empty()) {
            EXPECT_FALSE(r) << c.what << ": " << (r ? r->message : "");
            continue;
        }
        ASSERT_TRUE(r) << c.what;
        if (c.message) {
            EXPECT_EQ(r->message, S(c.message)) << c.what;
        }
        EXPECT_EQ(r->field, c.field) << c.what;
    }
}

TEST(ConditionEditor, StandardModeAndTimingZeroCheckNothing) {
    ConditionEditorModel m;
    m.timing = kConditionInstall;  // empty sub-key
    EXPECT_FALSE(m.Check(false, {})) << "standard mode accepts";
    ASSERT_TRUE(m.Check(true, {}));
    EXPECT_EQ(m.Check(true, {})->message, S("サブキーを入力してください。"));
    m.timing = kConditionNone;
    EXPECT_FALSE(m.Check(true, {}));
}

TEST(ConditionEditor, RegistryAndIniEditorsLetUnknownDefineTextsPass) {
    ConditionEditorModel m;
    m.timing = kConditionInstall;
    m.type = kConditionFolderExists;
    m.folder.define = "C:\\Tools";
    EXPECT_TRUE(m.Check(true, {}));
    EXPECT_FALSE(m.Check(true, {true}));
    m.folder.define = "%Date%";  // known but not a folder: refused either way
    EXPECT_TRUE(m.Check(true, {true}));
}
