#include "files_items.h"

#include "conditions.h"
#include "overwrite.h"
#include "self_registration.h"
#include "shared_files.h"
#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "zeriru/defines.h"
#include "zeriru/file_services.h"
#include "zeriru/project_file.h"

#include <filesystem>
#include <set>
#include <system_error>

namespace installer {

namespace wp = platform::winpath;
namespace sj = platform::sjis;

namespace {

// Windows attribute bits of the item's attribute field; 0 keeps the staged file's own.
std::uint32_t WindowsAttributes(std::uint32_t itemBits) {
    std::uint32_t out = 0;
    if (itemBits & 1) out |= wp::kAttrArchive;
    if (itemBits & 2) out |= wp::kAttrReadOnly;
    if (itemBits & 4) out |= wp::kAttrHidden;
    if (itemBits & 8) out |= wp::kAttrSystem;
    return out;
}

// A staged file is a regular file of the runtime folder, not a link to somewhere else.
bool IsStagedFile(const std::string& path) {
    const auto host = wp::ToHostPath(path);
    std::error_code ec;
    return host && std::filesystem::is_regular_file(std::filesystem::symlink_status(*host, ec));
}

class Planner {
public:
    Planner(const Context& context, Problems& problems) : context_(context), problems_(problems) {
        const auto& data = context.data;
        folderLayout_ = data.ValueExists("Project", "InstallSource");
        dataFolder_ = folderLayout_ ? wp::JoinPath(context.runtimeFolder,
                                                   zeriru::DecodeProjectText(data.ReadString("Project", "InstallSource")))
                                    : context.runtimeFolder;
    }

    void List(const std::vector<std::string>& records, std::string_view ownSection) {
        open_.insert(sj::ToUpper(ownSection));
        for (const std::string& record : records) {
            if (zeriru::GetItemFieldInt(record, 2, kKindFile) == kKindComponent) {
                Component(record);
            } else {
                Item(record);
            }
        }
    }

    std::vector<FileStep> steps;

private:
    bool Applies(const std::string& record) const {
        if (!zeriru::GetItemFieldBool(record, 1, true)) return false;
        if (!OsTargetAdmits(zeriru::GetItemField(record, 10), zeriru::GetItemField(record, 11), context_.options.machine))
            return false;
        return ConditionHolds(ParseCondition(zeriru::GetItemField(record, 12)), context_);
    }

    // A component: its items stand in the section the build named in field 3; bit 0 of field 8
    // selects it by default, and nobody chooses components here. A component that names a list
    // already being read (its own file list, itself) would never end.
    void Component(const std::string& record) {
        if (!zeriru::GetItemFieldBool(record, 1, true) || (zeriru::GetItemFieldInt(record, 8, 0) & 1) == 0) return;
        const std::string section = Field(record, 3);
        if (!context_.data.SectionExists(section) || open_.count(sj::ToUpper(section))) {
            problems_.damaged.push_back("[" + section + "]");
            return;
        }
        open_.insert(sj::ToUpper(section));
        for (const std::string& entry : ReadItems(context_.data, section)) {
            if (zeriru::GetItemFieldInt(entry, 2, kKindFile) == kKindComponent) {
                problems_.damaged.push_back("[" + section + "] " + Field(entry, 3));
                continue;
            }
            Item(entry);
        }
    }

    void Item(const std::string& record) {
        const int kind = zeriru::GetItemFieldInt(record, 2, kKindFile);
        if (kind < kKindFile || kind > kKindDeleteFolderTree || !Applies(record)) return;
        const std::string define = Field(record, 3);
        const std::string sub = Field(record, 4);
        Refusal why;
        const auto folder = context_.targets.Folder(define, sub, &why);
        if (!folder) {
            problems_.Add(why);
            return;
        }
        FileStep step;
        step.kind = kind;
        step.target = *folder;
        step.options = zeriru::GetItemFieldInt(record, 8, 0);
        step.attributes = static_cast<std::uint32_t>(zeriru::GetItemFieldInt(record, 9, 0));
        if (kind == kKindFolder || kind == kKindDeleteEmptyFolder || kind == kKindDeleteFolderTree) {
            if (kind != kKindFolder && zeriru::IsProtectedFolder(*folder, 255, context_.machine)) {
                problems_.outside.push_back(*folder);
                return;
            }
            steps.push_back(step);
            return;
        }
        if (kind == kKindDeleteFile) {
            const std::string name = Field(record, 5);
            if (!wp::IsValidElement(name) || name == "..") {
                problems_.outside.push_back(name);
                return;
            }
            step.target = wp::JoinPath(*folder, name);
            steps.push_back(step);
            return;
        }
        const std::string staged = Field(record, 5);
        const std::string wanted = Field(record, 7);
        const std::string name = wanted.empty() ? staged : wanted;
        // Both are plain names: a data file never places a file outside its folders.
        if (!wp::IsValidElement(staged) || !wp::IsValidElement(name) || name == ".." || staged == "..") {
            problems_.outside.push_back(staged + (wanted.empty() ? "" : " -> " + wanted));
            return;
        }
        const std::string from =
            folderLayout_ ? wp::JoinPath(wp::JoinPath(dataFolder_, zeriru::DefineFolderName(define, sub)), staged)
                          : wp::JoinPath(dataFolder_, staged);
        if (!IsStagedFile(from)) {
            problems_.missing.push_back(from);
            return;
        }
        step.source = from;
        step.target = wp::JoinPath(*folder, name);
        steps.push_back(step);
    }

    const Context& context_;
    Problems& problems_;
    bool folderLayout_ = false;
    std::string dataFolder_;
    std::set<std::string> open_;
};

const InstalledFile* EarlierFile(const CopySetting& setting, const std::string& path) {
    if (!setting.earlier) return nullptr;
    for (const InstalledFile& f : setting.earlier->files) {
        if (sj::EqualsNoCase(f.path, path)) return &f;
    }
    return nullptr;
}

// Whether a file that is there is replaced: options and questions decide, a newer one stays.
bool Replaces(const FileStep& step, const Context& context) {
    const bool newer = ExistingIsNewer(step.source, step.target, step.options);
    if (step.options & kOptionAskOverwrite) return context.Ask(context.texts.Text(text_id::kOverwrite, {step.target}), !newer);
    if (newer) {
        context.Say(text_id::kNewerKept, {step.target});
        return false;
    }
    if (wp::GetFileAttributes(step.target) & wp::kAttrReadOnly)
        return context.Ask(context.texts.Text(text_id::kOverwriteReadOnly, {step.target}), true);
    return true;
}

// Copies one file as its options say. A shared file is counted also when the file there
// stays: the application uses it all the same.
bool Copy(const FileStep& step, const CopySetting& setting, const Context& context, Transaction& changes,
          InstallRecord& record) {
    if (step.options & kOptionDoNotCopy) return true;
    const bool exists = wp::FileExists(step.target);
    if (exists && wp::DirectoryExists(step.target)) {
        context.Say(text_id::kCannotCopy, {step.target});
        return false;
    }
    const InstalledFile* earlier = EarlierFile(setting, step.target);
    InstalledFile made = RecordedFile(step.target, exists, step.options, 'F');
    bool copy = !exists;
    if (exists && (step.options & kOptionDatedName)) {
        made = RecordedFile(DatedName(step.target), false, step.options, 'F');
        copy = true;
    } else if (exists && !(step.options & kOptionSkipExisting)) {
        copy = Replaces(step, context);
    }
    if (copy && made.existed && (step.options & kOptionBackup) && !setting.backupFolder.empty() && !earlier) {
        made.backup = BackupName(setting.backupFolder, step.target);
        if (!changes.CopyFile(step.target, made.backup, zeriru::kKeepSourceAttributes)) {
            context.Say(text_id::kCannotCopy, {made.backup});
            return false;
        }
    }
    if (copy) {
        context.Say(text_id::kCopying, {made.path});
        const std::uint32_t attributes =
            step.attributes == 0 ? zeriru::kKeepSourceAttributes : WindowsAttributes(step.attributes);
        if (!changes.CopyFile(step.source, made.path, attributes)) {
            context.Say(text_id::kCannotCopy, {made.path});
            return false;
        }
    }
    if ((step.options & kOptionShared) && !(earlier && earlier->shared)) {
        if (!RaiseSharedCount(made.path, made.existed, context.registry, changes)) {
            context.Say(text_id::kCannotWriteRegistry, {std::string(kSharedFilesKey) + "\\" + made.path});
            return false;
        }
        made.shared = true;
    }
    if (copy || made.shared) record.files.push_back(made);
    return true;
}

// Registers the files copied by this run that register themselves, each once.
bool RegisterCopied(std::size_t firstCopied, const Context& context, Transaction& changes, InstallRecord& record) {
    std::optional<std::string> program;
    bool looked = false;
    for (std::size_t i = firstCopied; i < record.files.size(); ++i) {
        InstalledFile& f = record.files[i];
        if (!(f.options & kOptionSelfRegister) || !NeedsRegistration(f.path)) continue;
        if (!looked) {
            program = RegistrationProgram(context);
            looked = true;
        }
        if (!program) {
            context.Say(text_id::kCannotRegister, {f.path});
            continue;
        }
        context.Say(text_id::kRegistering, {f.path});
        int code = 0;
        if (!changes.RunProgram(RegistrationLaunch(*program, f.path, false), RegistrationLaunch(*program, f.path, true),
                                &code)) {
            context.Say(text_id::kProgramFailed, {*program, std::to_string(code)});
            return false;
        }
        f.registrar = *program;
    }
    return true;
}

bool Delete(const FileStep& step, const Context& context, Transaction& changes) {
    context.Say(text_id::kDeletingFile, {step.target});
    bool ok = true;
    if (step.kind == kKindDeleteFile) {
        ok = wp::DirectoryExists(step.target) || changes.DeleteFile(step.target);
    } else if (step.kind == kKindDeleteEmptyFolder) {
        // A folder that still holds something stays, as the item says.
        if (wp::DirectoryExists(step.target) && wp::FindFiles(wp::JoinPath(step.target, "*")).empty())
            ok = changes.RemoveEmptyFolder(step.target);
    } else {
        ok = changes.RemoveFolderTree(step.target);
    }
    if (!ok) context.Say(text_id::kInstallError, {step.target});
    return ok;
}

}  // namespace

std::vector<FileStep> PlanFiles(const Context& context, Problems& problems) {
    Planner planner(context, problems);
    const std::string section = context.data.ReadString("FilesSetting", "UseSection", "Files");
    planner.List(ReadList(context.data, "FilesSetting", "Files", problems), section);
    return std::move(planner.steps);
}

bool RunFileSteps(const std::vector<FileStep>& steps, bool deletions, const CopySetting& setting,
                  const Context& context, Transaction& changes, InstallRecord& record) {
    const std::size_t firstCopied = record.files.size();
    for (const FileStep& step : steps) {
        const bool isDeletion = step.kind >= kKindDeleteFile;
        if (isDeletion != deletions) continue;
        bool ok = true;
        if (step.kind == kKindFolder) {
            context.Say(text_id::kCreatingFolder, {step.target});
            ok = changes.MakeFolder(step.target);
            if (!ok) context.Say(text_id::kCannotCreateFolder, {step.target});
        } else if (step.kind == kKindFile) {
            ok = Copy(step, setting, context, changes, record);
        } else {
            ok = Delete(step, context, changes);
        }
        if (!ok) return false;
    }
    return deletions || RegisterCopied(firstCopied, context, changes, record);
}

}  // namespace installer
