#include "zeriru/modules.h"

#include "platform/sjis.h"
#include "zeriru/ui.h"

#include <system_error>

namespace zeriru {

namespace sjis = platform::sjis;

std::string DefaultModuleDisplayName() { return sjis::S("モダンスタイル"); }
std::string DefaultLanguageName() { return sjis::S("日本語"); }
std::string DefaultFontName() { return sjis::S("ＭＳ Ｐゴシック"); }

std::filesystem::path ResolveNoCase(const std::filesystem::path& folder, std::string_view name) {
    std::filesystem::path result = folder;
    const std::vector<std::string> elements = sjis::SplitSjis(name, '\\');
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const std::string& element = elements[i];
        if (element.empty()) continue;
        std::filesystem::path exact = result / sjis::ToUtf8(element);
        std::error_code ec;
        if (std::filesystem::exists(exact, ec)) {
            result = std::move(exact);
            continue;
        }
        // Of several names that differ only in case, the one that sorts first, so the choice
        // does not depend on the order the folder lists them in.
        std::string best;
        for (std::filesystem::directory_iterator it(result, ec), end; !ec && it != end; it.increment(ec)) {
            std::string host = it->path().filename().string();
            if (sjis::EqualsNoCase(sjis::FromUtf8(host), element) && (best.empty() || host < best)) best = host;
        }
        if (best.empty()) {
            // Nothing matches: this element and every one after it as given.
            for (std::size_t j = i; j < elements.size(); ++j) {
                if (!elements[j].empty()) result /= sjis::ToUtf8(elements[j]);
            }
            return result;
        }
        result /= best;
    }
    return result;
}

bool IsPlainModuleName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (std::size_t i = 0; i < name.size(); i = sjis::NextChar(name, i)) {
        if (sjis::CharLength(name, i) == 2) continue;
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos) return false;
    }
    return true;
}

std::filesystem::path ModuleFilePath(const std::filesystem::path& editorFolder, std::string_view moduleName,
                                     std::string_view extension) {
    std::string name(kModuleFolderName);
    name += '\\';
    name += moduleName;
    name += extension;
    return ResolveNoCase(editorFolder, name);
}

ModuleTable LoadModules(const std::filesystem::path& editorFolder) {
    ModuleTable modules;
    const TIniDocument list(ResolveNoCase(editorFolder, kModuleListFileName));
    const std::string defaultDisplay = DefaultModuleDisplayName();
    const std::string defaultLanguage = DefaultLanguageName();
    for (const std::string& section : list.ReadSections()) {
        if (modules.size() >= kMaxModules) break;
        TModuleData module;
        module.moduleName = section;
        module.displayName = list.ReadString(section, lng::kModuleName, defaultDisplay);
        // The module key is the value of the entry with the empty name (a line "=KEY").
        module.moduleKey = list.ReadString(section, "");
        const TIniDocument languages(ModuleFilePath(editorFolder, section, ".LNG"));
        for (const std::string& languageSection : languages.ReadSections()) {
            if (module.languages.size() >= kMaxLanguages) break;
            TLanguageData language;
            language.languageName = languages.ReadString(languageSection, lng::kLanguageName, defaultLanguage);
            language.languageCode =
                languages.ReadInteger(languageSection, lng::kLanguageCode, lng::kDefaultLanguageCode);
            module.languages.push_back(std::move(language));
        }
        modules.push_back(std::move(module));
    }
    return modules;
}

const TModuleData* FindModule(const ModuleTable& modules, std::string_view moduleName) {
    for (const TModuleData& module : modules) {
        if (sjis::EqualsNoCase(module.moduleName, moduleName)) return &module;
    }
    return nullptr;
}

std::vector<TLanguageData> LanguageChoices(const TModuleData& module, bool projectModule) {
    const std::size_t limit = projectModule ? kMaxLanguagesProjectModule : kMaxLanguagesChosenModule;
    std::vector<TLanguageData> choices = module.languages;
    if (choices.size() > limit) choices.resize(limit);
    return choices;
}

std::string LanguageSectionName(int languageCode) {
    return std::string(lng::kSectionPrefix) + std::to_string(languageCode);
}

std::string ProjectLanguageSectionName(std::string_view moduleKey, int languageCode) {
    return std::string(moduleKey) + LanguageSectionName(languageCode);
}

namespace {

// The font and character-set entries that go with a language's texts, with their defaults.
void CopyFontEntries(TIniDocument& to, const std::string& section, const TIniDocument& lng, bool onlyMissing) {
    const std::string font = DefaultFontName();
    auto copyInt = [&](std::string_view name, int def) {
        if (onlyMissing && to.ValueExists(section, name)) return;
        to.WriteInteger(section, name, lng.ReadInteger(section, name, def));
    };
    auto copyText = [&](std::string_view name) {
        if (onlyMissing && to.ValueExists(section, name)) return;
        to.WriteString(section, name, lng.ReadString(section, name, font));
    };
    copyInt(lng::kCharset, lng::kDefaultCharset);
    copyInt(lng::kFontSize, lng::kDefaultFontSize);
    copyText(lng::kFontName);
    copyText(lng::kFontNameF);
}

// Every non-empty text "0".."1200" of the language file's section; with `onlyMissing`, only
// those the runtime data file does not have yet.
void CopyTexts(TIniDocument& to, const std::string& section, const TIniDocument& lng, bool onlyMissing) {
    for (int id = kFirstLanguageText; id <= kLastLanguageText; ++id) {
        const std::string name = std::to_string(id);
        if (onlyMissing && to.ValueExists(section, name)) continue;
        std::string text = lng.ReadString(section, name);
        if (!text.empty()) to.WriteString(section, name, text);
    }
}

}  // namespace

std::string ProjectLanguageQuestion() {
    return sjis::S("プロジェクト内に言語情報が保存されています。保存されている言語情報を使用しますか。");
}

void MergeLanguage(TIniDocument& installDat, const TIniDocument& lng, std::string_view moduleKey,
                   int languageCode, Ui& ui) {
    const std::string section = LanguageSectionName(languageCode);
    const std::string projectSection = ProjectLanguageSectionName(moduleKey, languageCode);
    bool keepProjectTexts = false;
    if (installDat.SectionExists(projectSection)) {
        keepProjectTexts = ui.AskYesNo(ProjectLanguageQuestion());
    }
    if (keepProjectTexts) {
        // The installer reads the plain section: texts kept under a module key move there
        // first (with an empty key both names are the same section).
        if (projectSection != section) {
            for (const auto& [name, value] : installDat.ReadSectionValues(projectSection)) {
                if (!installDat.ValueExists(section, name)) installDat.WriteString(section, name, value);
            }
        }
        CopyFontEntries(installDat, section, lng, true);
        CopyTexts(installDat, section, lng, true);
    } else {
        CopyFontEntries(installDat, section, lng, false);
        CopyTexts(installDat, section, lng, false);
    }
}

}  // namespace zeriru
