// The define builder and parameter files shipped in data/, as the editor reads them after the
// build converted them to Shift-JIS.
#include "platform/sjis.h"
#include "zeriru/defines.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace zeriru;

namespace {

const std::string kDataDir = ZERIRU_DATA_DIR;

TEST(ShippedDefineData, EveryDefineIsInExactlyOneCategoryWithAHint) {
    TIniDocument dat(kDataDir + "/DEFINE.DAT");
    ASSERT_FALSE(dat.LoadFailed());
    std::vector<TDefineCategory> categories = ReadDefineCategories(dat);
    ASSERT_GE(categories.size(), 2u);
    ASSERT_LE(categories.size(), 11u);
    std::map<int, int> seen;
    for (const TDefineCategory& c : categories) {
        EXPECT_FALSE(c.name.empty());
        // Category names and hints are Japanese text that converts back without loss.
        EXPECT_EQ(platform::sjis::FromUtf8(platform::sjis::ToUtf8(c.name)), c.name);
        for (const TDefineEntry& e : c.entries) {
            int id = FindDefineId(e.define);
            EXPECT_NE(id, 0) << e.define;
            EXPECT_EQ(GetDefineData(id).name, e.define);
            EXPECT_FALSE(e.hint.empty()) << e.define;
            EXPECT_EQ(platform::sjis::ToUtf8(e.hint, platform::sjis::Unconvertible::Replace).find("\xEF\xBF\xBD"),
                      std::string::npos) << e.define;
            EXPECT_EQ(FindDefineId(e.insert), id) << e.define;
            ++seen[id];
        }
    }
    for (const TDefineData& row : DefineTable()) EXPECT_EQ(seen[row.id], 1) << row.name;
    // Every editor mask finds a category.
    for (int mask : {kMaskFolderOrFile, kMaskFolderOrOwnFile, kMaskSystemFolder, kMaskDWord, kMaskAny}) {
        EXPECT_GE(FirstCategoryForMask(categories, mask), 0) << mask;
    }
}

TEST(ShippedDefineData, EveryDefineWithParametersHasItsLayout) {
    TIniDocument dat(kDataDir + "/DEFINEPARAM.DAT");
    ASSERT_FALSE(dat.LoadFailed());
    // Parameter counts of the define text layouts.
    const std::map<int, std::size_t> expected = {{51, 1}, {52, 1}, {53, 2}, {54, 1}, {101, 5}, {102, 5},
                                                 {103, 5}, {104, 5}, {105, 5}, {106, 5}, {151, 5}, {152, 5},
                                                 {153, 5}, {154, 5}, {155, 5}, {156, 5}, {201, 7}, {251, 7}};
    for (const TDefineData& row : DefineTable()) {
        std::vector<TDefineParam> params = ReadDefineParams(dat, row.id);
        EXPECT_EQ(!params.empty(), (row.flags & kDefParameters) != 0) << row.name;
        auto it = expected.find(row.id);
        if (it != expected.end()) {
            EXPECT_EQ(params.size(), it->second) << row.name;
        }
        for (const TDefineParam& p : params) {
            EXPECT_FALSE(p.caption.empty()) << row.name;
            EXPECT_GE(p.inputType, 0);
            EXPECT_LE(p.inputType, 9);
            EXPECT_EQ(p.inputType == 8, !p.choices.empty()) << row.name;
        }
        if (row.id >= 101 && row.id <= 106) {
            EXPECT_EQ(params[0].inputType, 2) << row.name;  // root key choice
        }
        if (row.id == 201 || row.id == 251) {
            EXPECT_EQ(params[4].choices.front(), "DELETE");
        }
    }
}

}  // namespace
