// The uninstall: the installation's record says what it made; the project's order says in
// which steps it goes; every change is journaled, so that a step that fails undoes the whole
// uninstallation and one that was killed is undone by the next run, which then uninstalls.
#include "installer_runtime/installer.h"

#include "context.h"
#include "install_limits.h"
#include "journal_folders.h"
#include "process_order.h"
#include "program_items.h"
#include "record.h"
#include "related_apps.h"
#include "transaction.h"
#include "uninstall_steps.h"

#include "platform/sjis.h"

#include <optional>

namespace installer {

namespace sj = platform::sjis;
namespace reg = platform::registry;

namespace {

// Undoes every interrupted installation or uninstallation of this record.
void RecoverInterrupted(const std::string& recordPath, const Context& context) {
    for (const std::string& folder : PendingJournalFolders(context.machine)) {
        if (!sj::EqualsNoCase(Transaction::OwnerOf(folder), recordPath)) continue;
        context.Say(text_id::kRecoveringUninstall);
        Transaction journal(folder, context.registry);
        std::vector<std::string> leftovers;
        journal.Recover(&leftovers);
        for (const std::string& l : leftovers) context.console.Line("  " + l);
    }
}

bool RunStep(int step, Remover& remover, const std::vector<ProgramStep>& programs, const Context& context) {
    switch (step) {
        case kStepFiles: return remover.Files();
        case kStepShortcuts: return remover.Shortcuts();
        case kStepRegistry: return remover.Registry();
        case kStepIni: return remover.Ini();
        case kStepDeleteFiles: return remover.DeleteList();
        case kStepDeleteRegistry: return remover.DeleteRegistryList();
        // Programs run before an uninstall, whatever their exit: nothing is removed yet.
        case kStepProgramsBefore: RunPrograms(programs, kRunBeforeUninstall, context); return true;
        default: return true;  // no program runs after the removal
    }
}

// The related applications' rules for an uninstallation: kExitInstalled to go on, else the
// exit code (told). The uninstallers they ask for run without the machine's lock (each of this
// module's takes it itself), which is taken again afterwards.
int ApplyRelated(const Context& context, std::optional<RunLock>& lock) {
    Problems problems;
    const std::vector<RelatedApp> related = RelatedApps(context, problems);
    std::vector<UninstallRun> runs;
    if (!ApplyRelatedRules(related, context, runs)) return kExitRequirements;
    if (runs.empty()) return kExitInstalled;
    lock.reset();
    const bool ran = RunUninstallers(runs, context);
    lock.emplace(context.machine);
    if (!lock->held()) {
        context.Say(text_id::kAlreadyRunning);
        return kExitFailed;
    }
    return ran ? kExitInstalled : kExitFailed;
}

// The record's files, for the check that no program holds them.
std::vector<std::string> RecordedFiles(const InstallRecord& record) {
    std::vector<std::string> files;
    for (const InstalledFile& f : record.files) files.push_back(f.path);
    return files;
}

}  // namespace

UninstallResult Uninstall(std::string_view recordPathText, const InstallOptions& options, Console& console,
                          zeriru::TBuildMachine& machine, reg::Registry& registry) {
    UninstallResult result;
    const std::string recordPath(recordPathText);
    zeriru::TIniDocument data;
    const LanguageTexts builtIn(data);
    std::optional<RunLock> lock(std::in_place, machine);
    if (!lock->held()) {
        console.Line(builtIn.Text(text_id::kAlreadyRunning));
        result.exitCode = kExitFailed;
        return result;
    }
    Targets noTargets(data, machine, "");
    RecoverInterrupted(recordPath, Context{data, builtIn, console, machine, registry, options, noTargets,
                                           Phase::Uninstall, ""});

    const auto record = ReadRecord(recordPath, &data);
    const LanguageTexts texts(data);
    if (!record) {
        console.Line(texts.Text(text_id::kNoUninstallInfo));
        console.Line("  " + recordPath);
        result.exitCode = kExitBadData;
        return result;
    }
    InstallOptions effective = options;
    effective.silent = options.silent || data.ReadBool("Installer", "EnableSilentUnInstall", false);
    Targets targets(data, machine, "");
    targets.SetInstallFolder(record->installFolder);
    targets.SetOwnFiles(record->uninstaller, recordPath);
    Context context{data, texts, console, machine, registry, effective, targets, Phase::Uninstall, ""};
    auto stop = [&](int code) {
        context.Say(text_id::kUninstallStopped);
        result.exitCode = code;
        return result;
    };

    context.console.Line(texts.Text(text_id::kUninstallTitle, {record->softName}));
    if (!CheckUserLimit(context)) return stop(kExitRequirements);
    if (!context.Ask(texts.Text(text_id::kUninstallQuestion, {record->softName}) + context.YesNo(), true))
        return stop(kExitCancelled);
    if (const int code = ApplyRelated(context, lock); code != kExitInstalled) return stop(code);
    if (!CheckFilesInUse(context, RecordedFiles(*record))) return stop(kExitRequirements);

    Transaction changes(JournalFolderOf(machine, record->uninstallKey), registry, effective.beforeChange);
    std::string error;
    if (!changes.Begin(&error, recordPath)) {
        context.Say(text_id::kCannotCreateFolder, {error});
        return stop(kExitFailed);
    }
    Problems ignored;
    const std::vector<ProgramStep> programs = PlanPrograms(context, ignored);
    context.Say(text_id::kRemoving, {record->softName});
    Remover remover(context, *record, changes);
    const int uninstallerOptions = data.ReadInteger("Installer", "UnInstallerOptions", 1);
    bool ok = true;
    for (int step : ProcessOrder(data, Phase::Uninstall)) {
        ok = RunStep(step, remover, programs, context);
        if (!ok) break;
    }
    if (!ok || !remover.Finish(recordPath, (uninstallerOptions & 1) != 0) || !changes.Commit()) {
        context.Say(text_id::kRollingBack);
        changes.Rollback(&result.leftovers);
        if (!result.leftovers.empty()) {
            std::string list;
            for (const std::string& l : result.leftovers) list += (list.empty() ? "" : "\n") + l;
            context.Say(text_id::kLeftBehind, {list});
            return stop(kExitIncomplete);
        }
        return stop(kExitFailed);
    }
    context.Say(text_id::kRemoved, {record->softName});
    return result;
}

}  // namespace installer
