#include "zeriru/hint_dialog.h"

#include "platform/sjis.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace zeriru;
using platform::sjis::S;

TEST(HintGate, ShowsNothingBeforeTheFirstDialogNorWhileDisabled) {
    MemorySettingsStore store;
    EditorSettings settings(store, "C:\\E\\", "C:\\D");
    HintGate gate(settings);
    int shown = 0;
    auto show = [&](HintDialogModel&) { ++shown; };
    EXPECT_FALSE(gate.ShowHintMessage(0, true, show)) << "disabled at program start";
    gate.Enable();
    EXPECT_TRUE(gate.ShowHintMessage(0, true, show));
    gate.Disable();
    EXPECT_FALSE(gate.ShowHintMessage(0, true, show));
    gate.Enable();
    EXPECT_FALSE(gate.ShowHintMessage(8, true, show)) << "no hint 8";
    EXPECT_EQ(shown, 1);
}

TEST(HintGate, TheTickedBoxSuppressesTheHintForGoodInTheStore) {
    MemorySettingsStore store;
    {
        EditorSettings settings(store, "C:\\E\\", "C:\\D");
        HintGate gate(settings);
        gate.Enable();
        HintDialogModel seen;
        EXPECT_TRUE(gate.ShowHintMessage(4, true, [&](HintDialogModel& m) {
            seen = m;
            m.suppress = true;
        }));
        EXPECT_EQ(seen.text, S("アンインストーラのファイル名を指定する場合、拡張子はEXEである必要があります。"
                               "今回拡張子EXEがついていなかったため自動で付加しました。"));
        EXPECT_TRUE(seen.allowSuppress);
        // A box that is not offered cannot suppress, whatever the dialog returns.
        EXPECT_TRUE(gate.ShowHintMessage(5, false, [](HintDialogModel& m) { m.suppress = true; }));
    }
    EXPECT_EQ(store.GetDword("Dialog\\HintDialog", "00004"), 1u);
    EditorSettings restarted(store, "C:\\E\\", "C:\\D");
    HintGate gate(restarted);
    gate.Enable();
    int shown = 0;
    EXPECT_FALSE(gate.ShowHintMessage(4, true, [&](HintDialogModel&) { ++shown; }));
    EXPECT_TRUE(gate.ShowHintMessage(5, true, [&](HintDialogModel&) { ++shown; }));
    EXPECT_EQ(shown, 1);
}

TEST(HintText, EightTextsWithLineBreaksAsCarriageReturns) {
    for (int i = 0; i < kHintCount; ++i) EXPECT_FALSE(HintText(i).empty()) << i;
    EXPECT_TRUE(HintText(8).empty());
    EXPECT_EQ(HintText(2), S("サイレントアンインストールを行うには、前回のインストールについてもRaredovoにて行われている必要があります。"));
    const std::string one = HintText(1);
    EXPECT_EQ(std::count(one.begin(), one.end(), '\r'), 2);
}
