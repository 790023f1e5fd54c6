// The installation: read and check everything, ask what the screens ask, then make every
// change through one transaction in the project's process order, register the uninstall, and
// keep the changes only when all of it worked.
#include "installer_runtime/installer.h"

#include "context.h"
#include "files_items.h"
#include "ini_items.h"
#include "journal_folders.h"
#include "install_limits.h"
#include "install_state.h"
#include "installed_apps.h"
#include "process_order.h"
#include "program_items.h"
#include "record.h"
#include "registration.h"
#include "registry_items.h"
#include "related_apps.h"
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

// One installation, from the data file to the last change, in named steps; each step is
// kExitInstalled to go on or the exit code it stops with (told).
class Installation {
public:
    Installation(std::string runtime, const InstallOptions& options, Console& console, zeriru::TBuildMachine& machine,
                 platform::registry::Registry& registry)
        : runtime_(std::move(runtime)),
          dataPath_(wp::JoinPath(runtime_, kDataFileName)),
          data_(zeriru::TIniDocument::OpenWindowsPath(dataPath_)),
          texts_(data_),
          options_(Effective(options, data_, runtime_)),
          targets_(data_, machine, runtime_),
          context_{data_, texts_, console, machine, registry, options_, targets_, Phase::Install, runtime_},
          softName_(DecodeProjectText(data_.ReadString("Software", "SoftName"))) {}

    InstallResult Run() {
        if (!wp::FileExists(dataPath_) || data_.LoadFailed() || !data_.SectionExists("Software")) {
            context_.Say(text_id::kCannotReadData, {dataPath_});
            result_.exitCode = kExitBadData;
            return result_;
        }
        const std::string title = DecodeProjectText(data_.ReadString("Software", "InstallerTitle"));
        // The installer's title is its window caption; text 0 makes one from the name when it is empty.
        context_.console.Line(title.empty() ? texts_.Text(text_id::kTitle, {softName_}) : title);
        for (int (Installation::*step)() : {&Installation::CheckMachine, &Installation::AskScreens, &Installation::Prepare,
                                            &Installation::UninstallFirst, &Installation::Make}) {
            if (const int code = (this->*step)(); code != kExitInstalled) {
                context_.Say(text_id::kStopped, {softName_});
                result_ = {};
                result_.exitCode = code;
                return result_;
            }
        }
        const bool programsOk = RunChosenPrograms(plan_.programs, context_);
        context_.Say(text_id::kFinished, {softName_});
        if (!programsOk) result_.exitCode = kExitProgramFailed;
        return result_;
    }

private:
    static InstallOptions Effective(const InstallOptions& options, const zeriru::TIniDocument& data,
                                    const std::string& runtime) {
        InstallOptions effective = options;
        effective.silent = options.silent || data.ReadBool("Installer", "EnableSilentInstall", false);
        if (effective.moduleProgram.empty()) effective.moduleProgram = wp::JoinPath(runtime, kProgramFileName);
        return effective;
    }

    // The system, the memory, the user, an installation of this project that is there, and
    // the related applications.
    int CheckMachine() {
        if (!CheckRequirements(context_) || !CheckUserLimit(context_)) return kExitRequirements;
        Problems problems;
        related_ = RelatedApps(context_, problems);
        if (!problems.empty()) {
            Report(context_, problems, dataPath_);
            return kExitBadData;
        }
        if (const int code = CheckInstalledState(context_, related_, uninstallFirst_); code != kExitInstalled) return code;
        return ApplyRelatedRules(related_, context_, uninstallFirst_) ? kExitInstalled : kExitRequirements;
    }

    int AskScreens() {
        if (const int code = ShowOpeningScreens(context_); code != kExitInstalled) return code;
        AskInstallFolder(context_);
        choices_ = AskShortcutChoices(context_);
        return kExitInstalled;
    }

    // Every item planned and checked; nothing is changed before this.
    int PlanAll() {
        Problems problems;
        plan_ = MakePlan(context_, choices_, problems);
        if (!problems.empty()) {
            Report(context_, problems, dataPath_);
            return kExitBadData;
        }
        if (plan_.Empty()) {
            context_.Say(text_id::kNothingToInstall);
            return kExitBadData;
        }
        targets_.SetOwnFiles(plan_.registration.uninstaller, plan_.registration.recordPath);
        return kExitInstalled;
    }

    int Prepare() {
        if (const int code = PlanAll(); code != kExitInstalled) return code;
        if (!CheckPendingOperations(context_, JournalFolderOf(context_.machine, plan_.registration.key)) ||
            !CheckFilesInUse(context_, FilesToReplace(plan_)))
            return kExitRequirements;
        context_.Say(text_id::kDestination, {targets_.installFolder()});
        if (!plan_.shortcuts.empty()) context_.Say(text_id::kGroup, {choices_.group});
        return AskReady(context_) ? kExitInstalled : kExitCancelled;
    }

    // The uninstallers the project runs before it installs; what they removed is planned anew.
    int UninstallFirst() {
        if (uninstallFirst_.empty()) return kExitInstalled;
        if (!RunUninstallers(uninstallFirst_, context_)) return kExitFailed;
        return PlanAll();
    }

    // The changes, journaled: all of them, or (rolled back) none.
    int Make() {
        const RunLock lock(context_.machine);
        if (!lock.held()) {
            context_.Say(text_id::kAlreadyRunning);
            return kExitFailed;
        }
        Transaction changes(JournalFolderOf(context_.machine, plan_.registration.key), context_.registry,
                            options_.beforeChange);
        if (changes.Pending()) {
            context_.Say(text_id::kRecovering);
            std::vector<std::string> leftovers;
            changes.Recover(&leftovers);
            for (const std::string& l : leftovers) context_.console.Line("  " + l);
        }
        std::string error;
        if (!changes.Begin(&error, plan_.registration.recordPath)) {
            context_.Say(text_id::kCannotCreateFolder, {error});
            return kExitFailed;
        }
        context_.Say(text_id::kInstalling, {softName_});
        InstallRecord record;
        record.softName = softName_;
        record.projectName = DecodeProjectText(data_.ReadString("Project", "ProjectName"));
        record.installFolder = targets_.installFolder();
        if (!Apply(plan_, context_, changes, record) || !changes.Commit()) {
            context_.Say(text_id::kRollingBack);
            std::vector<std::string> leftovers;
            changes.Rollback(&leftovers);
            for (const std::string& l : leftovers) context_.console.Line("  " + l);
            return kExitFailed;
        }
        if (plan_.registration.enabled) {
            result_.record = plan_.registration.recordPath;
            result_.uninstallKey = plan_.registration.key;
        }
        for (const InstalledFile& f : record.files) result_.files.push_back(f.path);
        result_.folders = changes.madeFolders();
        return kExitInstalled;
    }

    const std::string runtime_;
    const std::string dataPath_;
    const zeriru::TIniDocument data_;
    const LanguageTexts texts_;
    const InstallOptions options_;
    Targets targets_;
    Context context_;
    const std::string softName_;
    InstallResult result_;
    ShortcutChoices choices_;
    Plan plan_;
    std::vector<RelatedApp> related_;
    std::vector<UninstallRun> uninstallFirst_;
};

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
    return Installation(std::string(runtimeFolder), options, console, machine, registry).Run();
}

}  // namespace installer
