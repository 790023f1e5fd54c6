#include "zeriru/editors/installer_option_dialog_model.h"

#include "platform/sjis.h"
#include "zeriru/editors/item_rules.h"
#include "zeriru/editors/item_sections.h"
#include "zeriru/editors/record_codec.h"
#include "zeriru/editors/record_kinds.h"
#include "zeriru/project_file.h"
#include "zeriru/ui.h"

#include <algorithm>

namespace zeriru {

namespace sjis = platform::sjis;

namespace {

constexpr std::string_view kInstaller = "Installer";
constexpr std::string_view kScreenSetting = "ScreenSetting";
constexpr std::string_view kSoftware = "Software";
constexpr std::string_view kInstallLimit = "InstallLimit";
constexpr std::string_view kProgramSetting = "ProgramSetting";
constexpr std::string_view kOSSetting = "OSSetting";

constexpr ItemListSections kProgramList{"ProgramSetting", "ProgramItems"};
constexpr ItemListSections kRelationList{"RelationApplicationSetting", "RelationApplicationItems"};

constexpr std::string_view kAutoUninstallerFolder = "%WindowsDirectory%";
constexpr std::string_view kAutoUninstallerFileName = "rodeve21.exe";

// Pages of the dialog, by object name.
constexpr const char* kScreenPage = "tsScreen";
constexpr const char* kProgramPage = "tsProgram";
constexpr const char* kOsPage = "tsOs";
constexpr const char* kUninstallerPage = "tsUninstaller";

// The screen lines that start checked in a new project: all but the document and the licence.
constexpr std::array<bool, kScreenCount> kScreenDefaults = {true, false, false, true, true, true,
                                                            true, true,  true,  true, true};

std::string PanelKey(int line) {
    const int number = line + 1;
    return std::string("Panel") + (number < 10 ? "0" : "") + std::to_string(number);
}

int Clamped(int value, int count) { return value >= 0 && value < count ? value : 0; }

// The project-wide service packs as [OSSetting] SPVersion keeps them: the six numbers, then empty
// fields up to the twenty of a record.
std::string StoredServicePacks(const ServicePacks& packs) {
    return ServicePackText(packs) + std::string(kItemFieldCount - kServicePackCount, ',');
}

CheckOutcome OnPage(CheckOutcome result, const char* page) {
    if (result) result->page = page;
    return result;
}

std::string Text(const char* const* texts, int count, int index) {
    return index >= 0 && index < count ? sjis::S(texts[index]) : std::string();
}

}  // namespace

// ---- carrying an OS change into the lists ----

int CarryOsChange(TIniDocument& project, const OsChange& change) {
    // Fields are replaced as they are: a record keeps every other field byte for byte and is
    // not padded with empty fields it did not have.
    static const RecordCodec kAnyItem("item", '|', 0, false, {});
    int changed = 0;
    for (const OsTargetList& list : OsTargetLists()) {
        const std::string section = ItemsSectionName(project, list.settingSection, list.defaultItems);
        const std::size_t count = project.EntryCount(section);
        for (std::size_t i = 0; i < count; ++i) {
            const std::string key = std::to_string(i);
            if (!project.ValueExists(section, key)) continue;
            const std::string record = project.ReadString(section, key);
            const OsTarget old = OsTarget::Read(GetRecordField(record, list.maskField, '|'),
                                                GetRecordField(record, list.servicePackField, '|'));
            OsTarget now = old;
            for (int line = 0; line < kOsLineCount; ++line) {
                const std::optional<bool>& on = change.lines[static_cast<std::size_t>(line)];
                if (!on) continue;
                now.mask = *on ? now.mask | (1 << line) : now.mask & ~(1 << line);
            }
            for (int sp = 0; sp < kServicePackCount; ++sp) {
                const int line = ServicePackSpecs()[static_cast<std::size_t>(sp)].osLine;
                if ((now.mask >> line) & 1)
                    now.servicePacks[static_cast<std::size_t>(sp)] = change.servicePacks[static_cast<std::size_t>(sp)];
            }
            FieldValues fields;
            if (now.mask != old.mask) fields[list.maskField] = now.MaskText();
            if (now.servicePacks != old.servicePacks) fields[list.servicePackField] = now.ServicePackText();
            if (fields.empty()) continue;
            project.WriteString(section, key, kAnyItem.Update(record, fields));
            ++changed;
        }
    }
    return changed;
}

// ---- texts ----

std::string InstallerOptionDialogModel::Caption() { return sjis::S("インストーラの設定"); }

std::string InstallerOptionDialogModel::InstallMethodText(int method) {
    static const char* const kTexts[kInstallMethodCount] = {"そのまま継続する", "インストール処理を禁止する",
                                                            "アンインストーラを実行する",
                                                            "アンインストーラを実行する(関連するすべて)"};
    return Text(kTexts, kInstallMethodCount, method);
}

std::string InstallerOptionDialogModel::InstallOptionText(int bit) {
    static const char* const kTexts[kInstallOptionCount] = {
        "検索処理を中断可能にする",
        "該当するレジストリ/ファイルが存在しない場合はインストール処理を中断する",
        "インストール先フォルダを変更できないようにする",
        "検索は全ドライブを対象に行う",
        "旧バージョンの状態をチェックする",
        "ファイルをシステムに登録する際REGSVR32.EXEを使用する",
        "インストール完了後、再起動確認メッセージを表示する",
        "既に指定したフォルダが存在する場合でも確認メッセージを表示しない",
        "インストール先のフォルダは確認メッセージを表示せずに自動的に作成する",
        "より新しいバージョンがインストールされている場合継続を確認する",
        "アンインストール完了後、再起動確認メッセージを表示する"};
    return Text(kTexts, kInstallOptionCount, bit);
}

std::string InstallerOptionDialogModel::ScreenText(int line) {
    static const char* const kTexts[kScreenCount] = {"ようこそ画面",
                                                     "ドキュメントの表示 [ドキュメントファイル名を指定してください]",
                                                     "ライセンスの表示　[ライセンスファイル名を指定してください]",
                                                     "インストール先フォルダ選択画面の表示",
                                                     "グループ名選択画面の表示",
                                                     "インストール内容確認画面の表示",
                                                     "インストール完了画面の表示",
                                                     "進捗状況インジケータの表示",
                                                     "著作権警告の表示",
                                                     "著作権者名の表示",
                                                     "検索中、検索対象のフォルダ名を表示する"};
    return Text(kTexts, kScreenCount, line);
}

std::string InstallerOptionDialogModel::ProductTypeText(int type) {
    static const char* const kTexts[kProductTypeCount] = {"クライアントOS及びサーバーOSを対象とする",
                                                          "クライアントOSのみを対象とする",
                                                          "サーバーOSのみを対象とする"};
    return Text(kTexts, kProductTypeCount, type);
}

std::string InstallerOptionDialogModel::UserLimitText(int limit) {
    static const char* const kTexts[kUserLimitCount] = {
        "ユーザーの制限を行わない", "管理者権限(Administrator)のみ許可する",
        "管理者権限(Administrator)および制限付きユーザー(PowerUser)のみ許可する"};
    return Text(kTexts, kUserLimitCount, limit);
}

std::string InstallerOptionDialogModel::FileSizeUnitText(int unit) {
    static const char* const kTexts[2] = {"byte", "自動選択 (サイズに応じて自動的に byte, KB, MB, GBになります。)"};
    return Text(kTexts, 2, unit);
}

std::string InstallerOptionDialogModel::UninstallerOptionText(int bit) {
    static const char* const kTexts[2] = {"アンインストール時、アンインストーラを削除しない (推薦)",
                                          "アンインストーラを上書きする"};
    return Text(kTexts, 2, bit);
}

const std::vector<std::string>& InstallerOptionDialogModel::UninstallerFolders() {
    static const std::vector<std::string> folders = {"%InstallDir%", "%ProgramFilesDir%", "%WindowsDirectory%",
                                                     "%SystemDirectory%", "%AppDataDir%"};
    return folders;
}

// ---- the dialog ----

ItemListTexts InstallerOptionDialogModel::ListTexts(int limit) {
    ItemListTexts texts = ItemListTexts::Defaults(limit);
    texts.deleteQuestion = sjis::S("項目を削除しますか。");
    return texts;
}

InstallerOptionDialogModel::InstallerOptionDialogModel(bool advancedMode, bool readOnly)
    : frame(readOnly), advanced_(advancedMode) {
    screens = kScreenDefaults;
    checkBoxCaption = sjis::S("今すぐ実行する(&R)");
    uninstallerFolder = std::string(kAutoUninstallerFolder);
    uninstallerFileName = std::string(kAutoUninstallerFileName);
}

void InstallerOptionDialogModel::Fill(const TIniDocument& project) {
    installMethod = Clamped(project.ReadInteger(kInstaller, "InstallMethod", 0), kInstallMethodCount);
    supportInfo = project.ReadBool(kInstaller, "EnableSupportInfo", false);
    silentInstall = project.ReadBool(kInstaller, "EnableSilentInstall", false);
    silentUninstall_ = project.ReadBool(kInstaller, "EnableSilentUnInstall", false);
    options_ = project.ReadInteger(kInstaller, "Options", 0);
    if (!(options_ & (1 << kOptionCheckOldVersion))) options_ &= ~(1 << kOptionAskNewerVersion);
    fileSizeUnit = Clamped(project.ReadInteger(kInstaller, "FileSizeUnit", 0), 2);
    uninstallerAuto_ = project.ReadBool(kInstaller, "UnInstallerAutoSetting", true);
    uninstallerFolder = project.ReadString(kInstaller, "UnInstallerStoreFolder", kAutoUninstallerFolder);
    uninstallerSubFolder = project.ReadString(kInstaller, "UnInstallerStoreSubFolder");
    uninstallerFileName = project.ReadString(kInstaller, "UnInstallerFileName", kAutoUninstallerFileName);
    uninstallerOptions = project.ReadInteger(kInstaller, "UnInstallerOptions", kKeepUninstaller) & 3;
    if (uninstallerAuto_) SetUninstallerAuto(true);

    for (int line = 0; line < kScreenCount; ++line)
        screens[static_cast<std::size_t>(line)] =
            project.ReadBool(kScreenSetting, PanelKey(line), kScreenDefaults[static_cast<std::size_t>(line)]);
    documentFile = DecodeProjectText(project.ReadString(kSoftware, "DocumentFile"));
    licenseFile = DecodeProjectText(project.ReadString(kSoftware, "LicenseFile"));
    alwaysAgree = project.ReadBool(kSoftware, "AlwaysAgree", false);
    readLicenseTillTheLast = project.ReadBool(kSoftware, "ReadLicenseTillTheLast", false);
    mainFileName_ = DecodeProjectText(project.ReadString(kSoftware, "MainFileName"));

    checkOs = project.ReadInteger(kOSSetting, "CheckOSVersion", 1) != 0;
    os_ = OsDialogModel(ProjectOsTarget(project), kOsMaskAll, false);
    for (int line = 0; line < kOsLineCount; ++line) openedLines_[static_cast<std::size_t>(line)] = os_.LineState(line);
    for (int sp = 0; sp < kServicePackCount; ++sp) openedPacks_[static_cast<std::size_t>(sp)] = os_.ServicePackIndex(sp);
    productType = Clamped(project.ReadInteger(kOSSetting, "ProductType", 0), kProductTypeCount);

    userLimit = Clamped(project.ReadInteger(kInstallLimit, "User", 0), kUserLimitCount);
    endFileRenOperation = project.ReadBool(kInstallLimit, "EndFileRenOperation", false);
    fileUseCheck = project.ReadBool(kInstallLimit, "FileUseCheck", false);
    memory_ = std::clamp(project.ReadInteger(kInstallLimit, "MemoryCheck", 0), 0, kMaxMemoryCheck);
    memoryTouched_ = false;

    programEnabled = project.ReadBool(kInstaller, "EnableProgramSetting", false);
    checkBoxCaption = DecodeProjectText(project.ReadString(kProgramSetting, "CheckBoxCaption", sjis::S("今すぐ実行する(&R)")));
    defaultCheckBoxState = project.ReadBool(kProgramSetting, "DefaultCheckBoxState", false);
    groupExecution = project.ReadBool(kProgramSetting, "EnableGroupCheckBox", true);
    programs.Load(ReadItemsCounted(project, ItemsSectionName(project, kProgramList.setting, kProgramList.defaultItems)));

    relationEnabled = project.ReadBool(kInstaller, "EnableRelationApplicationSetting", false);
    relations.Load(ReadItemsCounted(project, ItemsSectionName(project, kRelationList.setting, kRelationList.defaultItems)));
    frame.ClearChanged();
}

void InstallerOptionDialogModel::SetSilentUninstall(bool on) {
    if (on == silentUninstall_) return;
    silentUninstall_ = on;
    frame.MarkChanged();
    if (on) Hint(installer_hint::kSilentUninstall);
}

bool InstallerOptionDialogModel::OptionEnabled(int bit) const {
    if (bit < 0 || bit >= kInstallOptionCount || frame.readOnly()) return false;
    if (bit == kOptionAskNewerVersion) return (options_ & (1 << kOptionCheckOldVersion)) != 0;
    return true;
}

void InstallerOptionDialogModel::SetOption(int bit, bool on) {
    if (!OptionEnabled(bit)) return;
    const int before = options_;
    options_ = on ? options_ | (1 << bit) : options_ & ~(1 << bit);
    if (bit == kOptionCheckOldVersion && !on) options_ &= ~(1 << kOptionAskNewerVersion);
    if (options_ != before) frame.MarkChanged();
    if (bit == kOptionCheckOldVersion && on) Hint(installer_hint::kMainFileNeeded);
}

void InstallerOptionDialogModel::ChooseDocument(std::string line) {
    documentFile = std::move(line);
    screens[kScreenDocument] = true;
    frame.MarkChanged();
}

void InstallerOptionDialogModel::ChooseLicense(std::string line) {
    licenseFile = std::move(line);
    screens[kScreenLicense] = true;
    frame.MarkChanged();
}

ProgramDialogModel::Setting InstallerOptionDialogModel::ProgramSetting() const {
    ProgramDialogModel::Setting setting;
    setting.advancedMode = advanced_;
    setting.projectChecksOs = checkOs;
    setting.projectOs = ProjectOs();
    setting.groupExecution = groupExecution;
    return setting;
}

bool InstallerOptionDialogModel::OsChanged() const {
    for (int line = 0; line < kOsLineCount; ++line) {
        if (os_.LineState(line) != openedLines_[static_cast<std::size_t>(line)]) return true;
    }
    for (int sp = 0; sp < kServicePackCount; ++sp) {
        if (os_.ServicePackIndex(sp) != openedPacks_[static_cast<std::size_t>(sp)]) return true;
    }
    return false;
}

OsChange InstallerOptionDialogModel::Change() const {
    OsChange change;
    for (int line = 0; line < kOsLineCount; ++line) {
        const OsDialogModel::Check now = os_.LineState(line);
        if (now != openedLines_[static_cast<std::size_t>(line)])
            change.lines[static_cast<std::size_t>(line)] = now == OsDialogModel::Check::Checked;
    }
    change.servicePacks = ProjectOs().servicePacks;
    return change;
}

void InstallerOptionDialogModel::SetMemoryCheck(int steps) {
    const int value = std::clamp(steps, 0, kMaxMemoryCheck);
    if (value != memory_) frame.MarkChanged();
    memory_ = value;
    memoryTouched_ = true;
}

std::string InstallerOptionDialogModel::MemoryText() const {
    if (memory_ == 0) return sjis::S("制限なし");
    const std::string megabytes = std::to_string(memory_ * kMemoryStepMegabytes);
    return megabytes + sjis::S(memoryTouched_ ? " MB 以上を要求する" : " MB 以上必要");
}

void InstallerOptionDialogModel::SetUninstallerAuto(bool automatic) {
    const bool was = uninstallerAuto_;
    uninstallerAuto_ = automatic;
    if (automatic) {
        uninstallerFolder = std::string(kAutoUninstallerFolder);
        uninstallerSubFolder.clear();
        uninstallerFileName = std::string(kAutoUninstallerFileName);
        uninstallerOptions = kKeepUninstaller;
    } else {
        uninstallerOptions = 0;
    }
    if (was != automatic) frame.MarkChanged();
    if (was && !automatic) Hint(installer_hint::kCustomUninstaller);
}

CheckOutcome InstallerOptionDialogModel::Ok(Ui& ui) {
    if ((options_ & (1 << kOptionCheckOldVersion)) && mainFileName_.empty())
        ui.ShowMessage(sjis::S("「アプリケーション情報の設定」より「メインファイル名」を設定してください。"));
    if (screens[kScreenDocument] && documentFile.empty())
        return OnPage(Fail(sjis::S("ドキュメントファイル名を指定してください。"), "edtDocumentFile"), kScreenPage);
    if (screens[kScreenLicense] && licenseFile.empty())
        return OnPage(Fail(sjis::S("ライセンスファイル名を指定してください。"), "edtLicenseFile"), kScreenPage);
    if (relations.empty()) relationEnabled = false;
    if (programEnabled) {
        if (programs.empty()) {
            programEnabled = false;
        } else {
            if (groupExecution && checkBoxCaption.empty())
                return OnPage(Fail(sjis::S("メッセージを設定してください。"), "edtCheckBoxCaption"), kProgramPage);
            const auto& records = programs.records();
            if (std::none_of(records.begin(), records.end(), [](const std::string& r) { return ProgramEnabled(r); }))
                programEnabled = false;
        }
    }
    if (advanced_ && !uninstallerAuto_) {
        if (IsKnownDefine(uninstallerFolder)) {
            if (auto r = CheckFolderDefineRule(uninstallerFolder, "cmbUninstallerFolder")) return OnPage(r, kUninstallerPage);
            if (auto r = CheckDefineParameterRule(uninstallerFolder, uninstallerSubFolder, "edtUninstallerSubFolder"))
                return OnPage(r, kUninstallerPage);
        }
        if (auto r = CheckRequired(uninstallerFileName, sjis::S("ファイル名を入力してください。"), "edtUninstallerFileName"))
            return OnPage(r, kUninstallerPage);
        if (auto r = CheckFileNameRule(uninstallerFileName, "edtUninstallerFileName")) return OnPage(r, kUninstallerPage);
        if (!sjis::EndsWithNoCase(uninstallerFileName, ".exe")) {
            uninstallerFileName += ".exe";
            Hint(installer_hint::kExeAppended);
        }
    }
    if (checkOs && (ProjectOs().mask & kOsLineBits) == 0)
        return OnPage(Fail(sjis::S("対象のOSが選択されていません。最低でも1つのOSを選択してください。"), "clbOs"), kOsPage);
    return std::nullopt;
}

bool InstallerOptionDialogModel::Write(TIniDocument& project, Ui& ui) const {
    project.WriteInteger(kInstaller, "InstallMethod", installMethod);
    project.WriteBool(kInstaller, "EnableSupportInfo", supportInfo);
    project.WriteBool(kInstaller, "EnableSilentInstall", silentInstall);
    project.WriteBool(kInstaller, "EnableSilentUnInstall", silentUninstall_);
    project.WriteInteger(kInstaller, "Options", options_);
    project.WriteInteger(kInstaller, "FileSizeUnit", fileSizeUnit);
    project.WriteBool(kInstaller, "UnInstallerAutoSetting", uninstallerAuto_);
    project.WriteString(kInstaller, "UnInstallerStoreFolder", uninstallerFolder);
    project.WriteString(kInstaller, "UnInstallerStoreSubFolder", uninstallerSubFolder);
    project.WriteString(kInstaller, "UnInstallerFileName", uninstallerFileName);
    project.WriteInteger(kInstaller, "UnInstallerOptions", uninstallerOptions);
    for (int line = 0; line < kScreenCount; ++line)
        project.WriteBool(kScreenSetting, PanelKey(line), screens[static_cast<std::size_t>(line)]);
    project.WriteString(kSoftware, "DocumentFile", EncodeProjectText(documentFile));
    project.WriteString(kSoftware, "LicenseFile", EncodeProjectText(licenseFile));
    project.WriteBool(kSoftware, "AlwaysAgree", alwaysAgree);
    project.WriteBool(kSoftware, "ReadLicenseTillTheLast", readLicenseTillTheLast);
    const OsTarget os = ProjectOs();
    project.WriteInteger(kOSSetting, "CheckOSVersion", checkOs ? 1 : 0);
    project.WriteInteger(kOSSetting, "OSVersion", os.mask);
    project.WriteString(kOSSetting, "SPVersion", StoredServicePacks(os.servicePacks));
    project.WriteInteger(kOSSetting, "ProductType", productType);
    project.WriteInteger(kInstallLimit, "User", userLimit);
    project.WriteBool(kInstallLimit, "EndFileRenOperation", endFileRenOperation);
    project.WriteBool(kInstallLimit, "FileUseCheck", fileUseCheck);
    project.WriteInteger(kInstallLimit, "MemoryCheck", memory_);

    project.WriteBool(kInstaller, "EnableProgramSetting", programEnabled);
    project.WriteString(kProgramSetting, "CheckBoxCaption", EncodeProjectText(checkBoxCaption));
    project.WriteBool(kProgramSetting, "DefaultCheckBoxState", defaultCheckBoxState);
    project.WriteBool(kProgramSetting, "EnableGroupCheckBox", groupExecution);
    project.WriteBool(kInstaller, "EnableRelationApplicationSetting", relationEnabled);
    WriteItemLists(project, {{kProgramList, &programs.records()}, {kRelationList, &relations.records()}});

    if (!checkOs || !OsChanged()) return false;
    if (!ui.AskYesNo(sjis::S("対象OSが変更されました。それらの変更をすべての設定に反映させますか？"))) return false;
    CarryOsChange(project, Change());
    return true;
}

}  // namespace zeriru
