#include "conditions.h"

#include "platform/profile.h"
#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "zeriru/project_file.h"

namespace installer {

namespace sj = platform::sjis;
namespace wp = platform::winpath;
namespace reg = platform::registry;

namespace {

// Condition types.
enum : int {
    kKeyExists = 0,
    kValueNameExists = 1,
    kValueEquals = 2,
    kFileExists = 3,
    kFolderExists = 4,
    kIniSectionExists = 5,
    kIniNameExists = 6,
    kIniValueEquals = 7,
};

// Position of each system's lowest service pack in the service-pack string (NT, 2000, XP,
// Server 2003, Vista, 7); -1 for the systems without one.
constexpr int kServicePackIndex[] = {-1, -1, -1, 0, 1, 2, 3, 4, 5};

std::string ValueText(const reg::Value& v) {
    if (v.type == reg::ValueType::Dword) return std::to_string(v.dword);
    return v.bytes;
}

std::optional<std::string> IniPath(const Condition& c, const Context& context) {
    Refusal why;
    return context.targets.Path(c.rootOrDefine + "\\" + c.keyOrParameter, &why);
}

}  // namespace

Condition ParseCondition(std::string_view raw) {
    Condition c;
    c.timing = SubFieldInt(raw, 1, 0);
    c.type = SubFieldInt(raw, 2, 0);
    c.rootOrDefine = SubField(raw, 3);
    c.keyOrParameter = SubField(raw, 4);
    c.name = SubField(raw, 5);
    c.value = SubField(raw, 6);
    c.option = SubFieldInt(raw, 7, 0);
    c.section = SubField(raw, 8);
    c.processTiming = SubFieldInt(raw, 10, 0);
    return c;
}

bool ConditionTestHolds(const Condition& c, const Context& context) {
    if (c.type <= kValueEquals) {
        const auto root = reg::RootFromName(c.rootOrDefine);
        if (!root) return false;
        if (c.type == kKeyExists) return context.registry.KeyExists(*root, c.keyOrParameter) == reg::Status::Ok;
        reg::Value v;
        if (context.registry.GetValue(*root, c.keyOrParameter, c.name, &v) != reg::Status::Ok) return false;
        return c.type == kValueNameExists || ValueText(v) == context.targets.ExpandValue(c.value);
    }
    if (c.type == kFileExists || c.type == kFolderExists) {
        Refusal why;
        const auto folder = context.targets.Folder(c.rootOrDefine, c.keyOrParameter, &why);
        if (!folder) return false;
        if (c.type == kFolderExists) return wp::DirectoryExists(*folder);
        const std::string file = wp::JoinPath(*folder, c.name);
        return wp::FileExists(file) && !wp::DirectoryExists(file);
    }
    const auto ini = IniPath(c, context);
    if (!ini) return false;
    const auto host = wp::ToHostPath(*ini);
    if (!host) return false;
    if (c.type == kIniSectionExists) return ProfileHasSection(*host, c.section);
    const auto value = platform::profile::ReadProfileValue(c.section, c.name, *host);
    if (!value) return false;
    return c.type == kIniNameExists || *value == context.targets.ExpandValue(c.value);
}

bool ProcessedIn(const Condition& c, Phase phase) {
    return phase == Phase::Install ? c.processTiming != 1 : c.processTiming != 0;
}

bool ProfileHasSection(const std::filesystem::path& file, std::string_view section) {
    for (const std::string& s : platform::profile::GetPrivateProfileSectionNames(file)) {
        if (sj::EqualsNoCase(s, section)) return true;
    }
    return false;
}

bool ConditionHolds(const Condition& c, const Context& context) {
    const int phaseBit = context.phase == Phase::Install ? 1 : 2;
    if ((c.timing & phaseBit) == 0) return true;
    return ConditionTestHolds(c, context);
}

bool OsTargetAdmits(std::string_view maskField, std::string_view servicePacks, const MachineFacts& machine) {
    int mask = 65535;
    if (!maskField.empty()) {
        int v = 0;
        bool ok = true;
        for (char c : maskField) {
            if (c < '0' || c > '9' || v > 1000000) ok = false;
            else v = v * 10 + (c - '0');
        }
        if (ok) mask = v;
    }
    if (machine.osBit < 0 || machine.osBit > 30 || ((mask >> machine.osBit) & 1) == 0) return false;
    const int index = machine.osBit < 9 ? kServicePackIndex[machine.osBit] : -1;
    if (index < 0) return true;
    return SubFieldInt(servicePacks, index + 1, 0) <= machine.servicePack;
}

}  // namespace installer
