// The shared hint dialog "ヒント" (ShowHintMessage): eight fixed texts, each of which the user
// may suppress for good, and the gate that keeps hints quiet while a dialog is being filled
// from the project and at program start until the first editor dialog has been shown.
#pragma once

#include "zeriru/editor_settings.h"

#include <functional>
#include <string>

namespace zeriru {

// The hint of that index (0-7), Shift-JIS; empty for other indexes.
std::string HintText(int index);

// What the hint dialog shows and what the user ticked.
struct HintDialogModel {
    int index = 0;
    std::string text;
    bool allowSuppress = false;  // the check box is shown
    bool suppress = false;       // "次回以降表示しない(&D)"
    static std::string Caption();          // "ヒント"
    static std::string SuppressCaption();  // "次回以降表示しない(&D)"
};

class HintGate {
public:
    // Starts disabled: no hint before the first editor dialog of the run was shown.
    explicit HintGate(EditorSettings& settings) : settings_(settings) {}

    void Enable() { enabled_ = true; }
    void Disable() { enabled_ = false; }
    bool enabled() const { return enabled_; }

    // ShowHintMessage: nothing while disabled or when the user suppressed this hint;
    // otherwise `show` runs the dialog, and after it the check box state is stored.
    // True when the dialog was shown.
    bool ShowHintMessage(int index, bool allowSuppress, const std::function<void(HintDialogModel&)>& show);

private:
    EditorSettings& settings_;
    bool enabled_ = false;
};

}  // namespace zeriru
