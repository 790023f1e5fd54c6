// Where a list's items are written: its UseSection, unless that names a section the project
// keeps something else in.
#include "zeriru/editors/item_sections.h"

#include <gtest/gtest.h>

using namespace zeriru;

TEST(ItemSections, AUseSectionThatNamesAnotherSectionFallsBackToTheDefault) {
    TIniDocument project;
    project.LoadFromText(
        "[Project]\r\nProjectName=a\r\n"
        "[FilesSetting]\r\nUseSection=OurFiles\r\n[OurFiles]\r\n0=x\r\n");
    const ItemListSections deletes{"DeleteFileSetting", "DeleteFileItems"};
    struct Case {
        const char* useSection;
        const char* written;
    } cases[] = {
        {nullptr, "DeleteFileItems"},
        {"MyDeletes", "MyDeletes"},
        {"project", "DeleteFileItems"},
        {"OurFiles", "DeleteFileItems"},
        {"Files", "Files"},  // the files list uses another section: "Files" is free
        {"RegistrySetting", "DeleteFileItems"},
        {"ShortCutItems", "DeleteFileItems"},
        {"ZU_VAZUZAResourceString_1041", "DeleteFileItems"},
        {"", "DeleteFileItems"},
    };
    for (const Case& c : cases) {
        TIniDocument doc = project;
        if (c.useSection) doc.WriteString("DeleteFileSetting", "UseSection", c.useSection);
        WriteItemList(doc, deletes, {"r0", "r1"});
        const std::string name = c.useSection ? c.useSection : "(none)";
        EXPECT_EQ(doc.ReadString("DeleteFileSetting", "UseSection"), c.written) << name;
        EXPECT_EQ(doc.ReadString(c.written, "1"), "r1") << name;
        EXPECT_EQ(doc.ReadString("Project", "ProjectName"), "a") << name;
        EXPECT_EQ(doc.ReadString("OurFiles", "0"), "x") << name;
    }
}
