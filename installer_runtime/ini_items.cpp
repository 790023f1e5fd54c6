#include "ini_items.h"

#include "platform/pathtext.h"
#include "platform/profile.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "zeriru/project_file.h"

namespace installer {

namespace sj = platform::sjis;
namespace wp = platform::winpath;
namespace pf = platform::profile;

namespace {

enum : int { kWrite = 0, kDeleteValue = 1, kDeleteSection = 2 };

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

}  // namespace

std::vector<IniStep> PlanIni(const Context& context, Problems& problems) {
    std::vector<IniStep> steps;
    if (!context.data.ReadBool("Installer", "EnableIniFileSetting", false)) return steps;
    for (const std::string& r : ReadList(context.data, "IniFileSetting", "IniFileItems", problems)) {
        if (!OsTargetAdmits(zeriru::GetItemField(r, 8), zeriru::GetItemField(r, 9), context.options.machine)) continue;
        IniStep step;
        step.processing = zeriru::GetItemFieldInt(r, 1, kWrite);
        step.section = Field(r, 5);
        step.key = Field(r, 6);
        step.value = Field(r, 7);
        step.condition = ParseCondition(zeriru::GetItemField(r, 10));
        Refusal why;
        const auto file = context.targets.File(Field(r, 2), Field(r, 3), Field(r, 4), &why);
        if (!file) {
            problems.Add(why);
            continue;
        }
        step.file = *file;
        const bool badKey = step.processing != kDeleteSection &&
                            (step.key.empty() || step.key.find('=') != std::string::npos || HasLineBreak(step.key) ||
                             step.key[0] == ';' || step.key[0] == '[');
        if (step.processing < kWrite || step.processing > kDeleteSection || step.section.empty() ||
            sj::FindChar(step.section, ']') != sj::npos || HasLineBreak(step.section) || badKey ||
            HasLineBreak(step.value)) {
            problems.damaged.push_back(step.file + " [" + step.section + "] " + step.key);
            continue;
        }
        steps.push_back(step);
    }
    return steps;
}

bool RunIni(const std::vector<IniStep>& steps, const Context& context, Transaction* changes, InstallRecord* record) {
    for (const IniStep& step : steps) {
        if (!ProcessedIn(step.condition, context.phase) || !ConditionHolds(step.condition, context)) continue;
        const auto host = wp::ToHostPath(step.file);
        if (!host) return false;
        const auto before = pf::ReadProfileValue(step.section, step.key, *host);
        if (step.processing == kWrite && before && (step.condition.option & 1)) continue;
        const std::string where = step.file + " [" + step.section + "] " + step.key;
        context.Say(text_id::kWritingIni, {where});
        const bool fileExisted = wp::FileExists(step.file);
        const bool sectionExisted = fileExisted && ProfileHasSection(*host, step.section);
        if (changes && !changes->GuardFile(step.file)) {
            context.Say(text_id::kCannotWriteIni, {where});
            return false;
        }
        if (!changes && !fileExisted && !wp::CreateDirectoryTree(wp::FolderOf(step.file))) return false;
        const std::string value = context.targets.ExpandValue(step.value);
        bool ok = true;
        std::string error;
        switch (step.processing) {
            case kWrite:
                ok = pf::WritePrivateProfileString(step.section.c_str(), step.key.c_str(), value.c_str(), *host, &error);
                if (ok && record) record->iniEntries.push_back({step.file, step.section, step.key, before, sectionExisted, fileExisted});
                break;
            case kDeleteValue:
                ok = pf::WritePrivateProfileString(step.section.c_str(), step.key.c_str(), nullptr, *host, &error);
                break;
            default:
                ok = pf::WritePrivateProfileString(step.section.c_str(), nullptr, nullptr, *host, &error);
        }
        if (!ok) {
            context.Say(text_id::kCannotWriteIni, {where});
            return false;
        }
    }
    return true;
}

}  // namespace installer
