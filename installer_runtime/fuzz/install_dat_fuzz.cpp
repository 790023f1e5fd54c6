// libFuzzer target: arbitrary bytes as INSTALL.DAT, planned as an installation against a
// fresh prefix (nothing is written: only the checks and plans run). Refusing the file is
// fine; crashing, hanging, or planning a target the folder rule refuses is not:
//  - every file, folder, shortcut, INI file, program, record and uninstaller planned is a
//    full path on a drive of the prefix without "..";
//  - registry values survive the journal's text form;
//  - a related application's key is one plain name below the uninstall key (the uninstallers
//    the rules ask for are collected, never run).
// Build: cmake -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DINSTALLER_RUNTIME_FUZZ=ON
//        -DSUITE_SANITIZE=ON; run: installer_runtime/fuzz/run_fuzz.sh [seconds]
#include "context.h"
#include "files_items.h"
#include "ini_items.h"
#include "install_state.h"
#include "program_items.h"
#include "registration.h"
#include "registry_items.h"
#include "related_apps.h"
#include "screens.h"
#include "shortcut_items.h"
#include "transaction.h"

#include "platform/shell.h"
#include "zeriru/platform_machine.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

using namespace installer;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// One provisioned prefix per process, in a temporary folder.
struct Prefix {
    Prefix() {
        char folder[] = "/tmp/install_dat_fuzz_XXXXXX";
        Check(::mkdtemp(folder) != nullptr);
        ::setenv("PLATFORM_ROOT", folder, 1);
        std::string error;
        Check(platform::shell::ProvisionPrefix(&error));
        registry = std::make_unique<platform::registry::Registry>();
        machine = std::make_unique<zeriru::TPlatformMachine>(*registry);
    }
    std::unique_ptr<platform::registry::Registry> registry;
    std::unique_ptr<zeriru::TPlatformMachine> machine;
};

class Quiet : public Console {
public:
    void Line(std::string_view) override {}
    bool Ask(std::string_view, bool fallback) override { return fallback; }
};

void CheckPath(const std::string& path) {
    if (path.empty() || Targets::Admissible(path)) return;
    std::fprintf(stderr, "planned outside the folder rule: %s\n", path.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Prefix prefix;
    zeriru::TIniDocument doc;
    doc.LoadFromText(std::string_view(reinterpret_cast<const char*>(data), size));
    const LanguageTexts texts(doc);
    InstallOptions options;
    options.silent = true;
    const std::string runtime = "C:\\ext";
    Targets targets(doc, *prefix.machine, runtime);
    Quiet console;
    Context context{doc, texts, console, *prefix.machine, *prefix.registry, options, targets, Phase::Install, runtime};

    (void)CheckRequirements(context);
    (void)ShowOpeningScreens(context);
    Problems problems;
    for (const FileStep& step : PlanFiles(context, problems)) CheckPath(step.target);
    for (const ShortcutStep& step : PlanShortcuts(context, AskShortcutChoices(context), problems)) CheckPath(step.file);
    for (const IniStep& step : PlanIni(context, problems)) CheckPath(step.file);
    for (const ProgramStep& step : PlanPrograms(context, problems)) CheckPath(step.program);
    for (const RegistryStep& step : PlanRegistry(context, problems)) {
        const auto back = DecodeRegistryValue(EncodeRegistryValue(step.value));
        Check(back && *back == step.value);
    }
    const std::vector<RelatedApp> related = RelatedApps(context, problems);
    for (const RelatedApp& app : related) Check(IsApplicationKey(app.key));
    std::vector<UninstallRun> runs;
    (void)ApplyRelatedRules(related, context, runs);
    (void)CheckInstalledState(context, related, runs);
    for (const UninstallRun& run : runs) Check(IsApplicationKey(run.key));
    const Registration registration = PlanRegistration(context, problems);
    CheckPath(registration.recordPath);
    CheckPath(registration.uninstaller);
    for (int id : {0, 100, 451, 707, 718, 1200}) (void)texts.Text(id, {"a", "b"});
    return 0;
}
