#include "registry_items.h"

#include "platform/sjis.h"
#include "zeriru/project_file.h"

#include <cstdlib>

namespace installer {

namespace reg = platform::registry;
namespace sj = platform::sjis;

namespace {

enum : int { kTypeString = 0, kTypeExpandString = 1, kTypeDword = 2, kTypeBinary = 3 };

bool IsKeyPath(const std::string& key) {
    if (key.empty() || key.size() > 255 * 32) return false;
    for (const std::string& e : sj::SplitSjis(key, '\\')) {
        if (e.empty() || e.size() > 255) return false;
    }
    return true;
}

}  // namespace

std::optional<reg::Value> ItemValue(int type, const std::string& text) {
    switch (type) {
        case kTypeString: return reg::Value::String(text);
        case kTypeExpandString: return reg::Value::ExpandString(text);
        case kTypeDword: {
            if (text.empty()) return std::nullopt;
            char* end = nullptr;
            const long long v = std::strtoll(text.c_str(), &end, 10);
            if (*end != '\0' || v < -2147483648LL || v > 4294967295LL) return std::nullopt;
            return reg::Value::Dword(static_cast<std::uint32_t>(v));
        }
        case kTypeBinary: {
            std::string bytes;
            if (text.empty()) return reg::Value::Binary(bytes);
            for (const std::string& b : sj::SplitSjis(text, ',')) {
                char* end = nullptr;
                const long v = std::strtol(b.c_str(), &end, 16);
                if (b.empty() || b.size() > 2 || *end != '\0' || v < 0) return std::nullopt;
                bytes.push_back(static_cast<char>(v));
            }
            return reg::Value::Binary(bytes);
        }
        default: return std::nullopt;
    }
}

std::vector<RegistryStep> PlanRegistry(const Context& context, Problems& problems) {
    std::vector<RegistryStep> steps;
    if (!context.data.ReadBool("Installer", "EnableRegistrySetting", false)) return steps;
    for (const std::string& r : ReadList(context.data, "RegistrySetting", "RegistryItems", problems)) {
        if (!OsTargetAdmits(zeriru::GetItemField(r, 7), zeriru::GetItemField(r, 8), context.options.machine)) continue;
        RegistryStep step;
        const auto root = reg::RootFromName(Field(r, 1));
        step.key = Field(r, 2);
        step.name = Field(r, 3);
        const int type = zeriru::GetItemFieldInt(r, 5, kTypeString);
        // An expandable string keeps its environment references for the reader to expand.
        const std::string text = type == kTypeExpandString ? context.targets.ExpandValueKeepingEnvironment(Field(r, 4))
                                                           : context.targets.ExpandValue(Field(r, 4));
        const auto value = ItemValue(type, text);
        if (!root || !IsKeyPath(step.key) || !value) {
            problems.damaged.push_back(Field(r, 1) + "\\" + step.key + " " + step.name);
            continue;
        }
        step.root = *root;
        step.value = *value;
        step.condition = ParseCondition(zeriru::GetItemField(r, 6));
        steps.push_back(step);
    }
    return steps;
}

bool RunRegistry(const std::vector<RegistryStep>& steps, const Context& context, Transaction* changes,
                 InstallRecord* record) {
    for (const RegistryStep& step : steps) {
        if (!ProcessedIn(step.condition, context.phase) || !ConditionHolds(step.condition, context)) continue;
        reg::Value existing;
        const bool exists = context.registry.GetValue(step.root, step.key, step.name, &existing) == reg::Status::Ok;
        if (exists && (step.condition.option & kRegistryKeepExisting)) continue;
        const std::string where = std::string(reg::RootName(step.root)) + "\\" + step.key + "\\" + step.name;
        context.Say(text_id::kWritingRegistry, {where});
        bool ok;
        if (changes) {
            ok = changes->SetRegistryValue(step.root, step.key, step.name, step.value);
            if (ok && record) {
                record->values.push_back({step.root, step.key, step.name,
                                          exists ? std::optional<reg::Value>(existing) : std::nullopt,
                                          step.condition.option});
            }
        } else {
            ok = context.registry.SetValue(step.root, step.key, step.name, step.value) == reg::Status::Ok;
        }
        if (!ok) {
            context.Say(text_id::kCannotWriteRegistry, {where});
            return false;
        }
    }
    return true;
}

}  // namespace installer
