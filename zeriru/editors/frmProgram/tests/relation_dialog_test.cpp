// The related-application dialog: a name and a key are required, and the record keeps what the
// dialog does not show.
#include "platform/sjis.h"
#include "zeriru/editors/relation_dialog_model.h"

#include <gtest/gtest.h>

using namespace zeriru;
using platform::sjis::S;

TEST(RelationDialog, NameThenKeyAreRequiredOnTheDetailPage) {
    RelationDialogModel m(OsTarget{32, {}});
    EXPECT_TRUE(m.enabled);
    EXPECT_EQ(m.installAction, 0);
    EXPECT_EQ(m.os.mask, 32);
    CheckOutcome r = m.Ok();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->message, S("アプリケーション名を入力してください"));
    EXPECT_EQ(r->field, "edtName");
    EXPECT_EQ(r->page, "tsDetail");
    m.name = "Other";
    r = m.Ok();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->message, S("キーを入力してください。\rRaredovoで作成したアプリケーションの場合はプロジェクト名を入力します。"));
    EXPECT_EQ(r->field, "edtKey");
    m.key = "OtherApp";
    EXPECT_FALSE(m.Ok());
}

TEST(RelationDialog, RecordsRoundTripAndKeepOtherOptionBits) {
    const std::string stored = "0|A|B|9|2|x||6|3|0,0,1,0,0,0|";
    RelationDialogModel m(stored);
    EXPECT_FALSE(m.enabled);
    EXPECT_EQ(m.installAction, 0) << "an action out of range reads as none";
    EXPECT_EQ(m.uninstallAction, 2);
    EXPECT_FALSE(m.stopOnMatch);
    m.stopOnMatch = true;
    m.name = "A|B";
    EXPECT_EQ(m.Record(stored), "0|A\x02" "B|B|0|2|x||7|3|0,0,1,0,0,0|||||||||||");
    EXPECT_EQ(RelationRowText(m.Record(stored), 0), "A|B");
    EXPECT_EQ(RelationRowText(m.Record(stored), 1), "B");
}
