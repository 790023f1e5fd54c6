// What every step of an installation or uninstallation works with: the data file, the texts,
// the console, the machine, and where the items' folders are on this machine.
#pragma once

#include "installer_runtime/installer.h"
#include "platform/registry.h"
#include "targets.h"
#include "texts.h"
#include "zeriru/ini_document.h"

#include <string>
#include <string_view>
#include <vector>

namespace installer {

enum class Phase { Install, Uninstall };

// Item kinds of the file list.
inline constexpr int kKindFile = 0;
inline constexpr int kKindFolder = 1;
inline constexpr int kKindDeleteFile = 2;
inline constexpr int kKindDeleteEmptyFolder = 3;
inline constexpr int kKindDeleteFolderTree = 4;
inline constexpr int kKindComponent = 5;

// Why an INSTALL.DAT cannot be installed; each is reported before anything is written.
struct Problems {
    std::vector<std::string> missing;  // staged files that are not there, defines this machine lacks
    std::vector<std::string> damaged;  // records and sections that do not make sense
    std::vector<std::string> outside;  // items that would reach outside their define folders
    bool empty() const { return missing.empty() && damaged.empty() && outside.empty(); }
    void Add(const Refusal& why) {
        (why.kind == Refusal::Kind::Outside   ? outside
         : why.kind == Refusal::Kind::Unknown ? missing
                                              : damaged)
            .push_back(why.text);
    }
};

struct Context {
    const zeriru::TIniDocument& data;
    const LanguageTexts& texts;
    Console& console;
    zeriru::TBuildMachine& machine;
    platform::registry::Registry& registry;
    const InstallOptions& options;
    Targets& targets;
    Phase phase = Phase::Install;
    std::string runtimeFolder;

    bool Ask(std::string_view question, bool fallback) const {
        return options.silent ? fallback : console.Ask(question, fallback);
    }
    void Say(int id, std::initializer_list<std::string_view> args = {}) const { console.Line(texts.Text(id, args)); }
    // A question's Yes/No choice: " [はい(Y)/いいえ(N)]".
    std::string YesNo() const {
        return " [" + texts.Caption(text_id::kYes) + "/" + texts.Caption(text_id::kNo) + "]";
    }
};

// The records of an item list as the build writes them: keys "0", "1", ... up to the first
// missing one, at most 32768. The list's section is named by `UseSection` of its settings
// section, or is `defaultSection`; a `UseSection` that names no section is damage.
std::vector<std::string> ReadList(const zeriru::TIniDocument& data, std::string_view settings,
                                  std::string_view defaultSection, Problems& problems);
// The records of one section, as above.
std::vector<std::string> ReadItems(const zeriru::TIniDocument& data, std::string_view section);

// Field n of a record, decoded.
std::string Field(std::string_view record, int n);
// Field n of a ","-separated sub-record (a condition or a display record), decoded.
std::string SubField(std::string_view record, int n);
int SubFieldInt(std::string_view record, int n, int fallback);

}  // namespace installer
