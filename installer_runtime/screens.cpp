#include "screens.h"

#include "conditions.h"
#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "zeriru/defines.h"
#include "zeriru/project_file.h"

namespace installer {

namespace wp = platform::winpath;
namespace sj = platform::sjis;

namespace {

// Memory steps of [InstallLimit] MemoryCheck, MB.
constexpr std::uint64_t kMemoryStepMb = 256;
// [Installer] Options bit: the install folder cannot be changed.
constexpr int kFixedFolder = 4;

bool Screen(const Context& context, int panel, bool fallback) {
    char key[16];
    std::snprintf(key, sizeof key, "Panel%02d", panel);
    return context.data.ReadBool("ScreenSetting", key, fallback);
}

// The file a [Software] DocumentFile / LicenseFile names: the installed name of a file item
// (define\sub\name). It lies beside INSTALL.DAT under its own name (a folder build stages it
// so) or under the name the build gave the item's staged file.
std::optional<std::string> ScreenText(const Context& context, const std::string& target) {
    const std::string own = wp::JoinPath(context.runtimeFolder, wp::FileNameOf(target));
    if (wp::IsValidElement(wp::FileNameOf(target)) && wp::FileExists(own) && !wp::DirectoryExists(own))
        return wp::ReadWholeFile(own);
    Problems ignored;
    for (const std::string& r : ReadList(context.data, "FilesSetting", "Files", ignored)) {
        if (zeriru::GetItemFieldInt(r, 2, kKindFile) != kKindFile) continue;
        const std::string staged = Field(r, 5);
        const std::string name = Field(r, 7).empty() ? staged : Field(r, 7);
        const std::string sub = Field(r, 4);
        const std::string item = Field(r, 3) + "\\" + (sub.empty() ? "" : sub + "\\") + name;
        if (!sj::EqualsNoCase(item, target) || !wp::IsValidElement(staged)) continue;
        const std::string file = wp::JoinPath(context.runtimeFolder, staged);
        if (wp::FileExists(file) && !wp::DirectoryExists(file)) return wp::ReadWholeFile(file);
    }
    return std::nullopt;
}

void ShowText(const Context& context, const std::string& text) {
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t nl = text.find('\n', at);
        if (nl == std::string::npos) nl = text.size();
        std::string line = text.substr(at, nl - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!(nl == text.size() && line.empty())) context.console.Line(line);
        at = nl + 1;
    }
}

}  // namespace

bool CheckRequirements(const Context& context) {
    const auto& data = context.data;
    const MachineFacts& m = context.options.machine;
    if (data.ReadInteger("OSSetting", "CheckOSVersion", 1) != 0) {
        const int product = data.ReadInteger("OSSetting", "ProductType", 0);
        const bool productOk = product == 0 || (product == 1) != m.server;
        if (!productOk || !OsTargetAdmits(data.ReadString("OSSetting", "OSVersion"), data.ReadString("OSSetting", "SPVersion"), m)) {
            context.Say(text_id::kWrongSystem);
            return false;
        }
    }
    const int steps = data.ReadInteger("InstallLimit", "MemoryCheck", 0);
    const std::uint64_t needed = static_cast<std::uint64_t>(std::max(0, std::min(steps, 16))) * kMemoryStepMb;
    if (needed > 0 && m.memoryMb < needed) {
        context.Say(text_id::kNotEnoughMemory, {std::to_string(needed)});
        return false;
    }
    return true;
}

int ShowOpeningScreens(const Context& context) {
    const auto& data = context.data;
    const std::string softName = zeriru::DecodeProjectText(data.ReadString("Software", "SoftName"));
    if (Screen(context, 1, true)) context.Say(text_id::kWelcome, {softName});
    if (Screen(context, 2, false)) {
        const auto text = ScreenText(context, zeriru::DecodeProjectText(data.ReadString("Software", "DocumentFile")));
        context.Say(text_id::kReadMeTitle);
        context.Say(text_id::kReadMeRead);
        if (text) ShowText(context, *text);
    }
    if (!Screen(context, 3, false)) return kExitInstalled;
    const std::string name = zeriru::DecodeProjectText(data.ReadString("Software", "LicenseFile"));
    const auto text = ScreenText(context, name);
    if (!text) {
        context.Say(text_id::kFilesDamaged);
        context.console.Line("  " + name);
        return kExitBadData;
    }
    context.Say(text_id::kLicenseTitle);
    context.Say(text_id::kLicenseRead);
    ShowText(context, *text);
    if (data.ReadBool("Software", "AlwaysAgree", false)) return kExitInstalled;
    const std::string question = context.texts.Text(text_id::kLicenseQuestion, {softName}) + " [" +
                                 context.texts.Caption(text_id::kAgree) + "/" + context.texts.Caption(text_id::kDisagree) + "]";
    return context.Ask(question, true) ? kExitInstalled : kExitCancelled;
}

void AskInstallFolder(const Context& context) {
    if (!Screen(context, 4, true) || (context.data.ReadInteger("Installer", "Options", 0) & kFixedFolder) ||
        context.options.silent)
        return;
    const std::string softName = zeriru::DecodeProjectText(context.data.ReadString("Software", "SoftName"));
    context.Say(text_id::kFolderQuestion, {softName});
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::string answer = wp::RemoveBackslash(context.console.AskText(
            context.texts.Caption(text_id::kFolderPrompt), context.targets.installFolder()));
        if (Targets::Admissible(answer) && zeriru::FindDefineId(answer) == 0) {
            context.targets.SetInstallFolder(wp::NormalizePath(answer));
            return;
        }
        context.Say(text_id::kFolderInvalid);
    }
}

ShortcutChoices AskShortcutChoices(const Context& context) {
    const auto& data = context.data;
    ShortcutChoices choices;
    choices.group = wp::RemoveBackslash(zeriru::TrimText(zeriru::DecodeProjectText(data.ReadString("ShortCutSetting", "GroupName"))));
    if (choices.group.empty()) choices.group = zeriru::DecodeProjectText(data.ReadString("Software", "SoftName"));
    if (!ShortcutsEnabled(context)) return choices;
    if (Screen(context, 5, true) && !context.options.silent)
        choices.group = wp::RemoveBackslash(context.console.AskText(context.texts.Caption(text_id::kGroupPrompt), choices.group));
    const bool canChooseUser = data.ReadBool("ShortCutSetting", "VisibleSelectUser", false);
    choices.allUsers = canChooseUser && data.ReadBool("ShortCutSetting", "CheckSelectUser", false);
    if (canChooseUser && data.ReadBool("ShortCutSetting", "EnableSelectUser", true))
        choices.allUsers = context.Ask(context.texts.Text(text_id::kAllUsers) + context.YesNo(), choices.allUsers);
    if (!data.ReadBool("ShortCutSetting", "ShowCheckBox", true)) return choices;
    // The initial choice: bit 0 desktop, bit 1 startup, bit 2 send-to, bit 3 quick launch.
    const int preset = data.ReadInteger("ShortCutSetting", "DefaultCheckBox", 0);
    const struct {
        int target, presetBit, text;
    } boxes[] = {{kOnDesktop, 1, text_id::kDesktopShortcut},
                 {kInStartup, 2, text_id::kStartupShortcut},
                 {kInSendTo, 4, text_id::kSendToShortcut},
                 {kInQuickLaunch, 8, text_id::kQuickLaunchShortcut}};
    const int used = ShortcutTargetsUsed(context);
    for (const auto& box : boxes) {
        if ((used & box.target) == 0) continue;
        if (!context.Ask(context.texts.Caption(box.text) + context.YesNo(), (preset & box.presetBit) != 0))
            choices.targets &= ~box.target;
    }
    return choices;
}

bool AskReady(const Context& context) {
    if (!Screen(context, 6, true)) return true;
    const std::string softName = zeriru::DecodeProjectText(context.data.ReadString("Software", "SoftName"));
    return context.Ask(context.texts.Text(text_id::kReady, {softName}) + context.YesNo(), true);
}

}  // namespace installer
