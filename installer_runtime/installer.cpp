// The installation: read and check everything, ask what the screens ask, then make every
// change through one transaction in the project's process order, register the uninstall, and
// keep the changes only when all of it worked.
#include "installer_runtime/installer.h"

#include "context.h"
#include "files_items.h"
#include "ini_items.h"
#include "journal_folders.h"
#include "install_limits.h"
#include "process_order.h"
#include "program_items.h"
#include "record.h"
#include "registration.h"
#include "registry_items.h"
#include "screens.h"
#include "shortcut_items.h"
#include "transaction.h"

#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "zeriru/project_file.h"

#include <unistd.h>

namespace installer {

namespace wp = platform::winpath;
namespace sj = platform::sjis;
using zeriru::DecodeProjectText;

namespace {

struct Plan {
    std::vector<FileStep> files;
    std::vector<ShortcutStep> shortcuts;
    std::vector<RegistryStep> registry;
    std::vector<IniStep> ini;
    std::vector<ProgramStep> programs;
    Registration registration;

    bool Empty() const {
        return files.empty() && shortcuts.empty() && registry.empty() && ini.empty() && programs.empty();
    }
};

void Report(const Context& context, const Problems& problems, const std::string& dataPath) {
    auto list = [&](const std::vector<std::string>& lines) {
        for (const std::string& line : lines) context.console.Line("  " + line);
    };
    if (!problems.damaged.empty()) {
        context.Say(text_id::kDataDamaged, {dataPath});
        list(problems.damaged);
    }
    if (!problems.missing.empty()) {
        context.Say(text_id::kFilesDamaged);
        list(problems.missing);
    }
    if (!problems.outside.empty()) {
        context.Say(text_id::kOutsideFolders);
        list(problems.outside);
    }
}

// The copies keep the files they replace (when an item asks) in a folder named after the
// uninstall record, beside it.
CopySetting CopySettingOf(const Registration& registration) {
    CopySetting setting;
    if (registration.enabled && !registration.recordPath.empty()) {
        setting.backupFolder = wp::ChangeExtension(registration.recordPath, ".bak");
        if (sj::EqualsNoCase(setting.backupFolder, registration.recordPath)) setting.backupFolder += "_";
    }
    if (registration.earlier) setting.earlier = &*registration.earlier;
    return setting;
}

bool RunStep(int step, const Plan& plan, const Context& context, Transaction& changes, InstallRecord& record) {
    const CopySetting setting = CopySettingOf(plan.registration);
    switch (step) {
        case kStepFiles: return RunFileSteps(plan.files, false, setting, context, changes, record);
        case kStepShortcuts: return RunShortcuts(plan.shortcuts, context, changes, record);
        case kStepRegistry: return RunRegistry(plan.registry, context, &changes, &record);
        case kStepIni: return RunIni(plan.ini, context, &changes, &record);
        case kStepDeleteFiles: return RunFileSteps(plan.files, true, setting, context, changes, record);
        case kStepProgramsBefore: return RunPrograms(plan.programs, kRunBeforeCopy, context);
        case kStepProgramsAfter: return RunPrograms(plan.programs, kRunAfterCopy, context);
        default: return true;  // registry deletions belong to the uninstall lists
    }
}

// The record of what this run made, merged with an earlier installation's, written last.
bool WriteRecord(const Plan& plan, InstallRecord& record, const Context& context, Transaction& changes) {
    const Registration& r = plan.registration;
    for (const std::string& folder : changes.madeFolders()) record.folders.push_back(folder);
    for (const auto& [root, key] : changes.madeKeys()) record.keys.push_back({root, key});
    InstallRecord whole = record;
    if (r.earlier) {
        whole = MergeRecords(*r.earlier, record);
        if (!sj::EqualsNoCase(r.earlierRecordPath, r.recordPath))
            whole.files.push_back(RecordedFile(r.earlierRecordPath, false, 0, 'R'));
    }
    if (!changes.WriteFile(r.recordPath, EncodeRecord(whole, context.data))) {
        context.Say(text_id::kCannotCopy, {r.recordPath});
        return false;
    }
    context.Say(text_id::kRecordPath, {r.recordPath});
    return true;
}

// Every item planned and checked before the first change: problems say why not.
Plan MakePlan(const Context& context, const ShortcutChoices& choices, Problems& problems) {
    if (!Targets::Admissible(context.targets.installFolder())) problems.missing.push_back(context.targets.installFolder());
    Plan plan;
    plan.files = PlanFiles(context, problems);
    plan.shortcuts = PlanShortcuts(context, choices, problems);
    plan.registry = PlanRegistry(context, problems);
    plan.ini = PlanIni(context, problems);
    plan.programs = PlanPrograms(context, problems);
    plan.registration = PlanRegistration(context, problems);
    return plan;
}

// The files the installation replaces or deletes (those that are there).
std::vector<std::string> FilesToReplace(const Plan& plan) {
    std::vector<std::string> files;
    for (const FileStep& step : plan.files) {
        if ((step.kind == kKindFile || step.kind == kKindDeleteFile) && wp::FileExists(step.target)) files.push_back(step.target);
    }
    return files;
}

// The changes in the process order, then the uninstall registration; false at the first
// step that failed.
bool Apply(const Plan& plan, const Context& context, Transaction& changes, InstallRecord& record) {
    for (int step : ProcessOrder(context.data, Phase::Install)) {
        if (!RunStep(step, plan, context, changes, record)) return false;
    }
    return !plan.registration.enabled ||
           (Register(plan.registration, record, context, changes) && WriteRecord(plan, record, context, changes));
}

}  // namespace

MachineFacts ThisMachine() {
    MachineFacts m;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long size = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && size > 0) m.memoryMb = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(size) >> 20;
    return m;
}

InstallResult Install(std::string_view runtimeFolder, const InstallOptions& options, Console& console,
                      zeriru::TBuildMachine& machine, platform::registry::Registry& registry) {
    InstallResult result;
    const std::string runtime(runtimeFolder);
    const std::string dataPath = wp::JoinPath(runtime, kDataFileName);
    const zeriru::TIniDocument data = zeriru::TIniDocument::OpenWindowsPath(dataPath);
    const LanguageTexts texts(data);
    if (!wp::FileExists(dataPath) || data.LoadFailed() || !data.SectionExists("Software")) {
        console.Line(texts.Text(text_id::kCannotReadData, {dataPath}));
        result.exitCode = kExitBadData;
        return result;
    }
    InstallOptions effective = options;
    effective.silent = options.silent || data.ReadBool("Installer", "EnableSilentInstall", false);
    if (effective.moduleProgram.empty()) effective.moduleProgram = wp::JoinPath(runtime, kProgramFileName);
    Targets targets(data, machine, runtime);
    Context context{data, texts, console, machine, registry, effective, targets, Phase::Install, runtime};

    const std::string softName = DecodeProjectText(data.ReadString("Software", "SoftName"));
    const std::string title = DecodeProjectText(data.ReadString("Software", "InstallerTitle"));
    // The installer's title is its window caption; text 0 makes one from the name when it is empty.
    console.Line(title.empty() ? texts.Text(text_id::kTitle, {softName}) : title);
    auto stop = [&](int code) {
        context.Say(text_id::kStopped, {softName});
        result.exitCode = code;
        return result;
    };
    if (!CheckRequirements(context) || !CheckUserLimit(context)) return stop(kExitRequirements);
    if (const int screens = ShowOpeningScreens(context); screens != kExitInstalled) return stop(screens);
    AskInstallFolder(context);
    const ShortcutChoices choices = AskShortcutChoices(context);

    Problems problems;
    const Plan plan = MakePlan(context, choices, problems);
    if (!problems.empty()) {
        Report(context, problems, dataPath);
        return stop(kExitBadData);
    }
    if (plan.Empty()) {
        context.Say(text_id::kNothingToInstall);
        return stop(kExitBadData);
    }
    if (!CheckPendingOperations(context, JournalFolderOf(machine, plan.registration.key)) ||
        !CheckFilesInUse(context, FilesToReplace(plan)))
        return stop(kExitRequirements);
    targets.SetOwnFiles(plan.registration.uninstaller, plan.registration.recordPath);
    context.Say(text_id::kDestination, {targets.installFolder()});
    if (!plan.shortcuts.empty()) context.Say(text_id::kGroup, {choices.group});
    if (!AskReady(context)) return stop(kExitCancelled);

    const RunLock lock(machine);
    if (!lock.held()) {
        context.Say(text_id::kAlreadyRunning);
        return stop(kExitFailed);
    }
    Transaction changes(JournalFolderOf(machine, plan.registration.key), registry, effective.beforeChange);
    if (changes.Pending()) {
        context.Say(text_id::kRecovering);
        std::vector<std::string> leftovers;
        changes.Recover(&leftovers);
        for (const std::string& l : leftovers) console.Line("  " + l);
    }
    std::string error;
    if (!changes.Begin(&error)) {
        context.Say(text_id::kCannotCreateFolder, {error});
        return stop(kExitFailed);
    }

    context.Say(text_id::kInstalling, {softName});
    InstallRecord record;
    record.softName = softName;
    record.projectName = DecodeProjectText(data.ReadString("Project", "ProjectName"));
    record.installFolder = targets.installFolder();
    if (!Apply(plan, context, changes, record) || !changes.Commit()) {
        context.Say(text_id::kRollingBack);
        std::vector<std::string> leftovers;
        changes.Rollback(&leftovers);
        for (const std::string& l : leftovers) console.Line("  " + l);
        result = {};
        return stop(kExitFailed);
    }
    if (plan.registration.enabled) {
        result.record = plan.registration.recordPath;
        result.uninstallKey = plan.registration.key;
    }
    for (const InstalledFile& f : record.files) result.files.push_back(f.path);
    result.folders = changes.madeFolders();

    const bool programsOk = RunChosenPrograms(plan.programs, context);
    context.Say(text_id::kFinished, {softName});
    if (!programsOk) result.exitCode = kExitProgramFailed;
    return result;
}

}  // namespace installer
