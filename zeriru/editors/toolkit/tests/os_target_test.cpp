// OS targets: reading and writing the two fields, the dialog for one item (project-wide mask,
// service packs that follow their system) and for several items (only what was changed).
#include "platform/sjis.h"
#include "zeriru/editors/os_target.h"

#include <gtest/gtest.h>

using namespace zeriru;
using Check = OsDialogModel::Check;

namespace {
constexpr int kXP = 5, k7 = 8, k95 = 0;
constexpr int kSpXP = 2, kSp7 = 5;
constexpr int kXPand7 = (1 << kXP) | (1 << k7);  // 288
}  // namespace

TEST(OsTarget, FieldsReadWithTheirDefaultsAndWriteSixNumbers) {
    EXPECT_EQ(OsTarget::Read("", "").mask, 65535);
    EXPECT_EQ(OsTarget::Read("abc", "").mask, 65535);
    const OsTarget t = OsTarget::Read("288", "0,4,9,1");
    EXPECT_EQ(t.mask, 288);
    EXPECT_EQ(t.ServicePackText(), "0,4,3,1,0,0") << "XP clamped to 3, missing fields 0, no trailing separator";
    TIniDocument project;
    project.WriteInteger("OSSetting", "OSVersion", kXPand7);
    project.WriteString("OSSetting", "SPVersion", "0,0,2,0,0,1,,,,");
    EXPECT_EQ(ProjectOsTarget(project), (OsTarget{288, {0, 0, 2, 0, 0, 1}}));
    EXPECT_TRUE(ProjectChecksOs(project));
}

TEST(OsDialog, ANewItemInAnXpAnd7ProjectOffersOnlyThoseTwoAndWritesBack288) {
    OsDialogModel model(OsTarget{kXPand7, {}}, kXPand7, false);
    for (int line = 0; line < kOsLineCount; ++line) {
        const bool allowed = line == kXP || line == k7;
        EXPECT_EQ(model.LineEnabled(line), allowed) << line;
        EXPECT_EQ(model.LineState(line), allowed ? Check::Checked : Check::Unchecked) << line;
    }
    model.SetLineState(k95, Check::Checked);
    EXPECT_EQ(model.LineState(k95), Check::Unchecked) << "a disabled line does not change";
    EXPECT_EQ(model.Result().mask, 288);
}

TEST(OsDialog, UncheckingXpDisablesAndResetsItsServicePack) {
    OsDialogModel model(OsTarget{65535, {0, 0, 2, 0, 0, 1}}, 65535, false);
    EXPECT_EQ(model.ServicePackIndex(kSpXP), 2);
    EXPECT_TRUE(model.ServicePackEnabled(kSpXP));
    EXPECT_EQ(model.ServicePackChoices(kSpXP).size(), 4u);
    EXPECT_EQ(model.ServicePackChoices(kSp7).back(), "Service Pack 1");
    model.SetLineState(kXP, Check::Unchecked);
    EXPECT_FALSE(model.ServicePackEnabled(kSpXP));
    EXPECT_EQ(model.ServicePackIndex(kSpXP), 0);
    const OsTarget result = model.Result();
    EXPECT_EQ(result.servicePacks[kSpXP], 0);
    EXPECT_EQ(result.mask, 65535 & ~(1 << kXP)) << "bits above the nine lines are kept";
    model.SetServicePack(kSpXP, 3);
    EXPECT_EQ(model.ServicePackIndex(kSpXP), 0) << "a disabled combo does not change";
}

TEST(OsDialog, SeveralItemsChangeOnlyWhatWasChanged) {
    OsDialogModel model(OsTarget{}, 65535, true);
    for (int line = 0; line < kOsLineCount; ++line) EXPECT_EQ(model.LineState(line), Check::Grayed);
    for (int sp = 0; sp < kServicePackCount; ++sp) EXPECT_EQ(model.ServicePackIndex(sp), -1);
    const OsTarget a{0b111111111, {1, 2, 3, 2, 2, 1}};
    const OsTarget b{0b000100001, {0, 0, 0, 0, 0, 0}};
    EXPECT_EQ(model.ApplyTo(a), a) << "everything left grayed changes nothing";
    EXPECT_EQ(model.ApplyTo(b), b);

    model.SetLineState(k95, Check::Unchecked);
    model.SetLineState(k7, Check::Checked);
    model.SetServicePack(kSp7, 1);
    OsTarget expectA = a;
    expectA.mask &= ~1;
    EXPECT_EQ(model.ApplyTo(a), expectA);
    OsTarget expectB{0b100100000, {0, 0, 0, 0, 0, 1}};
    EXPECT_EQ(model.ApplyTo(b), expectB);

    model.SetLineState(k95, Check::Grayed);
    EXPECT_FALSE(model.LineChanged(k95)) << "back to grayed leaves it alone";
}
