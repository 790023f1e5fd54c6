#include "program_items.h"

#include "launch.h"

#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "zeriru/project_file.h"

namespace installer {

namespace wp = platform::winpath;

namespace {

constexpr int kWait = 1;
constexpr int kDirect = 2;
constexpr int kConfirm = 4;

bool Run(const ProgramStep& step, bool wait, const Context& context) {
    if (step.conditional && ConditionTestHolds(step.condition, context) == step.reverse) return true;
    if ((step.options & kConfirm) && step.timing != kRunWhenChosen && !context.Ask(step.text, true)) return true;
    context.Say(text_id::kRunningProgram, {step.program});
    if (!wp::FileExists(step.program) || wp::DirectoryExists(step.program)) {
        context.Say(text_id::kCannotRunProgram, {step.program});
        return false;
    }
    Launch launch;
    launch.program = step.program;
    launch.arguments = context.targets.ExpandValue(step.arguments);
    launch.folder = step.folder;
    launch.direct = (step.options & kDirect) != 0;
    launch.showCommand = ShowCommandOfWindow(step.window);
    launch.wait = wait;
    const auto result = Start(launch);
    if (!result.started) {
        context.Say(text_id::kCannotRunProgram, {step.program});
        return false;
    }
    if (wait && result.exitCode != 0) {
        context.Say(text_id::kProgramFailed, {step.program, std::to_string(result.exitCode)});
        return false;
    }
    return true;
}

}  // namespace

std::vector<ProgramStep> PlanPrograms(const Context& context, Problems& problems) {
    std::vector<ProgramStep> steps;
    if (!context.data.ReadBool("Installer", "EnableProgramSetting", false)) return steps;
    for (const std::string& r : ReadList(context.data, "ProgramSetting", "ProgramItems", problems)) {
        if (!zeriru::GetItemFieldBool(r, 1, true)) continue;
        if (!OsTargetAdmits(zeriru::GetItemField(r, 9), zeriru::GetItemField(r, 10), context.options.machine)) continue;
        Refusal why;
        const auto folder = context.targets.Path(Field(r, 2), &why);
        const std::string name = Field(r, 3);
        if (!folder || !wp::IsValidElement(name) || name == "..") {
            if (folder) why = {Refusal::Kind::Outside, name};
            problems.Add(why);
            continue;
        }
        ProgramStep step;
        step.folder = *folder;
        step.program = wp::JoinPath(*folder, name);
        step.arguments = Field(r, 4);
        step.window = zeriru::GetItemFieldInt(r, 5, 0);
        step.timing = zeriru::GetItemFieldInt(r, 6, kRunWhenChosen);
        step.options = zeriru::GetItemFieldInt(r, 7, 0);
        const std::string condition = zeriru::GetItemField(r, 8);
        step.condition = ParseCondition(condition);
        step.conditional = SubFieldInt(condition, 1, 0) == 1;
        step.reverse = step.condition.option == 1;
        const std::string display = zeriru::GetItemField(r, 11);
        step.shown = SubFieldInt(display, 1, 1) != 0;
        step.checked = SubFieldInt(display, 2, 1) != 0;
        step.text = SubField(display, 3);
        if (step.timing < kRunWhenChosen || step.timing > kRunAfterCopy) {
            problems.damaged.push_back(step.program);
            continue;
        }
        steps.push_back(step);
    }
    return steps;
}

bool RunPrograms(const std::vector<ProgramStep>& steps, int timing, const Context& context) {
    bool ok = true;
    for (const ProgramStep& step : steps) {
        if (step.timing != timing) continue;
        // Before an uninstall the program must have ended before anything is removed.
        const bool wait = timing == kRunBeforeUninstall || (step.options & kWait) != 0;
        if (!Run(step, wait, context)) {
            ok = false;
            if (timing == kRunBeforeCopy || timing == kRunAfterCopy) return false;
        }
    }
    return ok;
}

bool RunChosenPrograms(const std::vector<ProgramStep>& steps, const Context& context) {
    bool ok = RunPrograms(steps, kRunAfterInstall, context);
    const auto& data = context.data;
    const bool group = data.ReadBool("ProgramSetting", "EnableGroupCheckBox", true);
    bool runAll = false;
    bool asked = false;
    for (const ProgramStep& step : steps) {
        if (step.timing != kRunWhenChosen) continue;
        bool run;
        if (group) {
            if (!asked) {
                const std::string caption = zeriru::DecodeProjectText(
                    data.ReadString("ProgramSetting", "CheckBoxCaption", platform::sjis::S("今すぐ実行する(&R)")));
                runAll = context.Ask(caption, data.ReadBool("ProgramSetting", "DefaultCheckBoxState", false));
                asked = true;
            }
            run = runAll;
        } else {
            run = step.shown ? context.Ask(step.text, step.checked) : step.checked;
        }
        if (run && !Run(step, (step.options & kWait) != 0, context)) ok = false;
    }
    return ok;
}

}  // namespace installer
