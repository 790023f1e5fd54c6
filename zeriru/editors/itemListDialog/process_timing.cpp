#include "zeriru/editors/process_timing.h"

#include "platform/sjis.h"
#include "zeriru/editors/condition.h"

namespace zeriru {

std::string ProcessTimingText(int timing) {
    static const char* const kTexts[process_timing::kCount] = {"インストール時", "アンインストール時",
                                                                "インストール時・アンインストール時"};
    return timing >= 0 && timing < process_timing::kCount ? platform::sjis::S(kTexts[timing]) : std::string();
}

bool ConditionCoversTiming(int conditionTiming, int processTiming) {
    if (conditionTiming == kConditionNone || conditionTiming == kConditionBoth) return true;
    if (processTiming == process_timing::kBoth) return true;
    return processTiming == process_timing::kInstall ? conditionTiming == kConditionInstall
                                                     : conditionTiming == kConditionUninstall;
}

}  // namespace zeriru
