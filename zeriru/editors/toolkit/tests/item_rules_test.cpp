// The validation rules of the item dialogs: which texts each rule refuses, with which message
// and which control to focus.
#include "platform/sjis.h"
#include "zeriru/editors/item_rules.h"
#include "zeriru/system_services.h"
#include "zeriru/defines.h"

#include <gtest/gtest.h>

#include <functional>

using namespace zeriru;
using platform::sjis::S;

namespace {

struct RuleCase {
    const char* rule;
    std::string text;
    bool passes;
};

CheckOutcome Apply(const std::string& rule, const std::string& text) {
    if (rule == "full") return CheckFullPathRule(text, "edt");
    if (rule == "file") return CheckFilePathRule(text, "edt", "bad path");
    if (rule == "sub") return CheckSubPathRule(text, "edt");
    if (rule == "name") return CheckFileNameRule(text, "edt");
    if (rule == "define") return CheckFolderDefineRule(text, "edt");
    return CheckRequired(text, "required", "edt");
}

}  // namespace

TEST(ItemRules, EachRuleRefusesWhatItMust) {
    // A double-byte character whose trail byte is "|" (0x7C) or "\" (0x5C) passes every rule.
    const std::string trailBar = "\x83\x7C";
    const std::string trailYen = "\x95\x5C";
    const std::vector<RuleCase> cases = {
        {"full", "C:\\Out", true},
        {"full", "\\\\server\\share", true},
        {"full", "C:", false},
        {"full", "Out", false},
        {"full", "C:\\a*b", false},
        {"full", "C:\\a\"b", false},
        {"full", "", true},
        {"full", "C:\\" + trailBar, true},
        {"file", "C:\\x.qinc", true},
        {"file", "%InstallDir%\\x", true},
        {"file", "C:\\", false},
        {"file", "x.qinc", false},
        {"file", "C:\\a?b", false},
        {"sub", "App\\bin", true},
        {"sub", "\\App", false},
        {"sub", "C:App", false},
        {"sub", "a;b", false},
        {"sub", trailYen + "\\sub", true},
        {"name", "setup.exe", true},
        {"name", "a\\b", false},
        {"name", "a:b", false},
        {"name", "a<b", false},
        {"name", trailYen + trailBar, true},
        {"define", "%InstallDir%", true},
        {"define", "%SYSTEMDIRECTORY%\\sub", true},
        {"define", "%Date%", false},
        {"define", "C:\\plain", false},
        {"required", "", false},
        {"required", " ", true},
    };
    for (const RuleCase& c : cases) {
        const CheckOutcome r = Apply(c.rule, c.text);
        EXPECT_EQ(!r.has_value(), c.passes) << c.rule << " " << c.text;
        if (r) {
            EXPECT_EQ(r->field, "edt") << c.rule << " " << c.text;
        }
    }
}

TEST(ItemRules, MessagesAreTheSharedOnes) {
    EXPECT_EQ(CheckFullPathRule("x", "f")->message, MsgNotFullFolderPath());
    EXPECT_EQ(CheckSubPathRule("\\x", "f")->message, MsgInvalidSubFolder());
    EXPECT_EQ(CheckSubPathRule("\\x", "f", "own")->message, "own");
    EXPECT_EQ(CheckFileNameRule("a\\b", "f")->message, MsgInvalidFileName());
    EXPECT_EQ(CheckFolderDefineRule("%Date%", "f")->message, MsgUnsupportedDefine());
}

TEST(ItemRules, DefineParameterRuleOpensTheParameterDialogOnlyWhenAParameterIsMissing) {
    const CheckOutcome missing = CheckDefineParameterRule("%Registry%", "", "edtParameter");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->message, S("パラメータが入力されていません。パラメータを入力してください。"));
    EXPECT_EQ(missing->field, "edtParameter");
    EXPECT_TRUE(missing->openParameterDialog);
    EXPECT_FALSE(CheckDefineParameterRule("%Registry%", "HKEY_CURRENT_USER,Software", "p"));
    EXPECT_FALSE(CheckDefineParameterRule("%InstallDir%", "", "p")) << "takes no parameter";
    EXPECT_FALSE(CheckDefineParameterRule("plain text", "", "p")) << "not a define";
    EXPECT_TRUE(DefineNeedsParameter("%AbsoluteDir%"));
    EXPECT_FALSE(IsKnownDefine("%NoSuchDir%"));
}
