#include "zeriru/editors/os_target.h"

#include "platform/sjis.h"
#include "zeriru/editors/record_codec.h"
#include "zeriru/project_file.h"
#include "number_text.h"

#include <algorithm>

namespace zeriru {

namespace sjis = platform::sjis;
using toolkit_detail::ParseInt;

namespace {

// The service pack whose system is on `line`, or -1.
int ServicePackOfLine(int line) {
    const auto& specs = ServicePackSpecs();
    for (int sp = 0; sp < kServicePackCount; ++sp) {
        if (specs[static_cast<std::size_t>(sp)].osLine == line) return sp;
    }
    return -1;
}

}  // namespace

std::string OsLineCaption(int line) {
    static const char* const kCaptions[kOsLineCount] = {
        "Windows 95",          "Windows 98", "Windows Millennium Edition",          "Windows NT4.0 Workstation",
        "Windows 2000 Professional", "Windows XP", "Windows Server 2003", "Windows Vista / Windows Server 2008",
        "Windows 7 / Windows Server 2008 R2",
    };
    return line >= 0 && line < kOsLineCount ? std::string(kCaptions[line]) : std::string();
}

const std::array<ServicePackSpec, kServicePackCount>& ServicePackSpecs() {
    static const std::array<ServicePackSpec, kServicePackCount> specs = {{
        {3, 6, "Windows NT4.0"},
        {4, 4, "Windows 2000"},
        {5, 3, "Windows XP"},
        {6, 2, "Windows Server 2003"},
        {7, 2, "Windows Vista"},
        {8, 1, "Windows 7"},
    }};
    return specs;
}

ServicePacks ParseServicePacks(std::string_view text) {
    ServicePacks packs{};
    for (int i = 0; i < kServicePackCount; ++i) {
        const int value = ParseInt(GetRecordField(text, i + 1, ',')).value_or(0);
        packs[static_cast<std::size_t>(i)] = std::clamp(value, 0, ServicePackSpecs()[static_cast<std::size_t>(i)].maximum);
    }
    return packs;
}

std::string ServicePackText(const ServicePacks& packs) {
    std::string text;
    for (int i = 0; i < kServicePackCount; ++i) {
        if (i) text += ',';
        text += std::to_string(packs[static_cast<std::size_t>(i)]);
    }
    return text;
}

OsTarget OsTarget::Read(std::string_view maskField, std::string_view servicePackField) {
    OsTarget target;
    target.mask = ParseInt(maskField).value_or(kOsMaskAll);
    target.servicePacks = ParseServicePacks(servicePackField);
    return target;
}

OsTarget ProjectOsTarget(const TIniDocument& project) {
    OsTarget target;
    target.mask = project.ReadInteger(key::kOSSettingSection, key::kOSVersion, kOsMaskAll);
    target.servicePacks = ParseServicePacks(project.ReadString(key::kOSSettingSection, key::kSPVersion));
    return target;
}

bool ProjectChecksOs(const TIniDocument& project) {
    return project.ReadBool(key::kOSSettingSection, key::kCheckOSVersion, true);
}

// ---- OsDialogModel ----

OsDialogModel::OsDialogModel(const OsTarget& initial, int projectMask, bool severalItems)
    : initial_(initial), projectMask_(projectMask), several_(severalItems) {
    for (int line = 0; line < kOsLineCount; ++line) {
        Check state = (initial.mask >> line) & 1 ? Check::Checked : Check::Unchecked;
        if (several_) state = LineEnabled(line) ? Check::Grayed : Check::Unchecked;
        lines_[static_cast<std::size_t>(line)] = state;
    }
    startLines_ = lines_;
    for (int sp = 0; sp < kServicePackCount; ++sp) {
        const std::size_t i = static_cast<std::size_t>(sp);
        if (several_) {
            packs_[i] = -1;
        } else {
            const bool on = lines_[static_cast<std::size_t>(ServicePackSpecs()[i].osLine)] == Check::Checked;
            packs_[i] = on ? initial.servicePacks[i] : 0;
        }
    }
}

std::string OsDialogModel::Caption() { return sjis::S("インストールを許可するOS"); }

std::string OsDialogModel::Note() {
    return sjis::S("インストールを許可するOSを選択してください。インストーラ全体で許可するOSを変更する場合は「インストーラの設定」より行ってください。");
}

bool OsDialogModel::LineEnabled(int line) const {
    return line >= 0 && line < kOsLineCount && ((projectMask_ >> line) & 1) != 0;
}

void OsDialogModel::SetLineState(int line, Check state) {
    if (!LineEnabled(line) || (state == Check::Grayed && !several_)) return;
    lines_[static_cast<std::size_t>(line)] = state;
    const int sp = ServicePackOfLine(line);
    if (sp >= 0 && state == Check::Unchecked) {
        packs_[static_cast<std::size_t>(sp)] = 0;
        packChosen_[static_cast<std::size_t>(sp)] = true;
    }
}

std::vector<std::string> OsDialogModel::ServicePackChoices(int sp) const {
    std::vector<std::string> choices{sjis::S("(指定なし)")};
    if (sp < 0 || sp >= kServicePackCount) return choices;
    for (int n = 1; n <= ServicePackSpecs()[static_cast<std::size_t>(sp)].maximum; ++n)
        choices.push_back("Service Pack " + std::to_string(n));
    return choices;
}

bool OsDialogModel::ServicePackEnabled(int sp) const {
    if (sp < 0 || sp >= kServicePackCount) return false;
    const int line = ServicePackSpecs()[static_cast<std::size_t>(sp)].osLine;
    return LineEnabled(line) && lines_[static_cast<std::size_t>(line)] != Check::Unchecked;
}

void OsDialogModel::SetServicePack(int sp, int index) {
    if (!ServicePackEnabled(sp)) return;
    const std::size_t i = static_cast<std::size_t>(sp);
    packs_[i] = std::clamp(index, 0, ServicePackSpecs()[i].maximum);
    packChosen_[i] = true;
}

bool OsDialogModel::LineChanged(int line) const {
    const std::size_t i = static_cast<std::size_t>(line);
    return lines_[i] != Check::Grayed && lines_[i] != startLines_[i];
}

bool OsDialogModel::ServicePackChosen(int sp) const {
    const std::size_t i = static_cast<std::size_t>(sp);
    return packChosen_[i] && packs_[i] >= 0;
}

OsTarget OsDialogModel::Result() const {
    OsTarget result;
    result.mask = initial_.mask & ~kOsLineBits;
    for (int line = 0; line < kOsLineCount; ++line) {
        if (lines_[static_cast<std::size_t>(line)] == Check::Checked) result.mask |= 1 << line;
    }
    for (int sp = 0; sp < kServicePackCount; ++sp)
        result.servicePacks[static_cast<std::size_t>(sp)] = std::max(0, packs_[static_cast<std::size_t>(sp)]);
    return result;
}

OsTarget OsDialogModel::ApplyTo(const OsTarget& item) const {
    OsTarget result = item;
    for (int line = 0; line < kOsLineCount; ++line) {
        if (!LineChanged(line)) continue;
        if (lines_[static_cast<std::size_t>(line)] == Check::Checked)
            result.mask |= 1 << line;
        else
            result.mask &= ~(1 << line);
    }
    for (int sp = 0; sp < kServicePackCount; ++sp) {
        if (ServicePackChosen(sp)) result.servicePacks[static_cast<std::size_t>(sp)] = packs_[static_cast<std::size_t>(sp)];
    }
    return result;
}

}  // namespace zeriru
