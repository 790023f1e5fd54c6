// The data files shipped beside the editor, read as the editor reads them: Shift-JIS, from the
// build's share folder.
#include "zeriru/convert_module.h"
#include "zeriru/defines.h"
#include "zeriru/modules.h"
#include "zeriru/project_file.h"

#include "platform/hostfile.h"
#include "platform/sjis.h"
#include "test_util.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace fs = std::filesystem;
using namespace zeriru;
using platform::sjis::S;

namespace {

const fs::path kData = ZERIRU_DATA_DIR;

int CountPlaceholders(const std::string& text) {
    int n = 0;
    for (std::size_t at = platform::sjis::FindText(text, "%s"); at != platform::sjis::npos;
         at = platform::sjis::FindText(text, "%s", at + 2)) {
        ++n;
    }
    return n;
}

TEST(ShippedData, ModuleListAndLanguages) {
    const ModuleTable modules = LoadModules(kData);
    ASSERT_EQ(modules.size(), 1u);
    EXPECT_EQ(modules[0].moduleName, "ZU_VAZUZA");
    EXPECT_EQ(modules[0].displayName, S("モダンスタイル"));
    EXPECT_EQ(modules[0].moduleKey, "");
    ASSERT_EQ(modules[0].languages.size(), 2u);
    EXPECT_EQ(modules[0].languages[0].languageName, S("日本語"));
    EXPECT_EQ(modules[0].languages[0].languageCode, 1041);
    EXPECT_EQ(modules[0].languages[1].languageName, "English");
    EXPECT_EQ(modules[0].languages[1].languageCode, 1033);
    EXPECT_TRUE(fs::exists(kData / "Module" / "ZU_VAZUZA.DAT"));
}

TEST(ShippedData, BothLanguagesHaveTheSameTextsAndPlaceholders) {
    const TIniDocument lng(kData / "Module" / "ZU_VAZUZA.LNG");
    ASSERT_FALSE(lng.LoadFailed());
    const std::string ja = "ResourceString_1041", en = "ResourceString_1033";
    EXPECT_EQ(lng.ReadString(ja, "FontName"), S("ＭＳ Ｐゴシック"));
    EXPECT_EQ(lng.ReadInteger(ja, "Charset", -1), 128);
    EXPECT_EQ(lng.ReadInteger(en, "Charset", -1), 0);
    int texts = 0;
    std::set<int> groups;
    for (int id = 0; id <= 1200; ++id) {
        const std::string name = std::to_string(id);
        const std::string j = lng.ReadString(ja, name), e = lng.ReadString(en, name);
        ASSERT_EQ(j.empty(), e.empty()) << id;
        if (j.empty()) continue;
        ++texts;
        groups.insert(id / 100);
        EXPECT_EQ(CountPlaceholders(j), CountPlaceholders(e)) << id;
        EXPECT_EQ(platform::sjis::FindChar(e, '\x81'), platform::sjis::npos) << "English text " << id;
    }
    EXPECT_GT(texts, 100);
    // Buttons, welcome, licence, folder, setup type, progress, finish, errors, uninstall.
    for (int group : {0, 1, 2, 3, 4, 5, 6, 7, 8}) EXPECT_TRUE(groups.count(group)) << group;
    for (const auto& [name, value] : lng.ReadSectionValues(ja)) {
        const auto digits = std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (digits) {
            EXPECT_LE(std::stoi(name), 1200) << name;
        }
    }
}

TEST(ShippedData, DefineListsHoldFolderDefines) {
    const TIniDocument dat(kData / "ZERIRU.DAT");
    ASSERT_FALSE(dat.LoadFailed());
    for (const char* section :
         {"DFNLIST_APPINFOMAINPATH", "DFNLIST_APPINFOSUBPATH", "DFNLIST_FILESITEM", "DFNLIST_FILESITEM_GRAPHMODE",
          "DFNLIST_FILESITEM_DELETE", "DFNLIST_FILESITEM_CREATE", "DFNLIST_SHORTCUTITEM",
          "DFNLIST_SHORTCUTITEM_FOLDER", "DFNLIST_INIFILEITEM", "DFNLIST_DELTEITEM"}) {
        const std::size_t count = dat.EntryCount(section);
        EXPECT_GT(count, 3u) << section;
        std::set<std::string> seen;
        for (std::size_t i = 0; i < count; ++i) {
            const std::string entry = dat.ReadString(section, std::to_string(i));
            const TDefineData define = GetDefineData(FindDefineId(entry));
            EXPECT_TRUE(define.valid) << section << " " << entry;
            EXPECT_EQ(define.name, entry) << section;
            EXPECT_NE(define.flags & kDefFolder, 0) << section << " " << entry;
            EXPECT_TRUE(seen.insert(entry).second) << section << " repeats " << entry;
        }
    }
}

TEST(ShippedData, DefaultProcessOrdersKeepTheCopyBetweenTheRuns) {
    const TIniDocument dat(kData / "ZERIRU.DAT");
    for (const char* section : {"InstallProcessOrder", "UnInstallProcessOrder"}) {
        const std::vector<std::string> items = ReadItemsCounted(dat, section);
        ASSERT_EQ(items.size(), 8u) << section;
        std::vector<int> kinds;
        for (const std::string& item : items) {
            EXPECT_TRUE(GetItemFieldBool(item, 1, false)) << item;
            EXPECT_EQ(GetItemFieldInt(item, 7, 0), 65535) << item;
            EXPECT_EQ(item, SetItemField(item, 1, "1")) << "not a twenty-field record: " << item;
            kinds.push_back(GetItemFieldInt(item, 2, -1));
        }
        std::vector<int> sorted = kinds;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7})) << section;
        auto at = [&](int kind) { return std::find(kinds.begin(), kinds.end(), kind) - kinds.begin(); };
        EXPECT_LT(at(6), at(0)) << section;
        EXPECT_LT(at(0), at(7)) << section;
    }
}

TEST(ShippedData, ConvertsAProjectWithTheShippedModule) {
    test::TempFolder temp;
    const fs::path project = temp.path / "p.PJ2";
    ASSERT_TRUE(platform::WriteHostFileAtomic(
        project, "[Project]\r\nProjectName=p\r\nInstallerModuleLanguage=1033\r\nGenerator=DOZOZE 2.0\r\n"));
    ScriptedUi ui;
    ASSERT_EQ(ConvertModule(ui, project, temp.path, kData), ConvertModuleResult::Ok);
    const TIniDocument dat(temp.path / "INSTALL.DAT");
    EXPECT_EQ(dat.ReadString("ResourceString_1033", "100"), "Welcome to the %s Setup");
    EXPECT_EQ(dat.ReadString("ResourceString_1033", "FontName"), "Arial");
    EXPECT_FALSE(dat.SectionExists("ResourceString_1041"));
}

}  // namespace
