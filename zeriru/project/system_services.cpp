#include "zeriru/system_services.h"

#include "platform/sjis.h"
#include "zeriru/ini_document.h"

namespace zeriru {

namespace sjis = platform::sjis;

const std::array<std::string_view, 26>& DriveTable() {
    static const std::array<std::string_view, 26> drives = {
        "A:", "B:", "C:", "D:", "E:", "F:", "G:", "H:", "I:", "J:", "K:", "L:", "M:",
        "N:", "O:", "P:", "Q:", "R:", "S:", "T:", "U:", "V:", "W:", "X:", "Y:", "Z:"};
    return drives;
}

std::string OsNames(int bits) {
    static constexpr std::array<std::string_view, kOsCount> names = {
        "95/", "98/", "ME/", "NT/", "2000/", "XP/", "2003/", "VISTA/", "Win7/"};
    std::string out;
    for (int i = 0; i < kOsCount; ++i) {
        if (bits & (1 << i)) out += names[static_cast<std::size_t>(i)];
    }
    if (!out.empty()) out.pop_back();
    return out;
}

// ---- validity tests ----

namespace {

// Characters that no path accepts (only single-byte characters are ever tested).
constexpr std::string_view kPathRejected = "\"*/;<>?|";

// True when a single-byte character of the text is one of `rejected`. Characters outside
// 0x20-0x7F and double-byte characters always pass.
bool HasRejected(std::string_view text, std::string_view rejected) {
    for (std::size_t i = 0; i < text.size(); i = sjis::NextChar(text, i)) {
        if (sjis::CharLength(text, i) != 1) continue;
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c > 0x7F) continue;
        if (rejected.find(static_cast<char>(c)) != std::string_view::npos) return true;
    }
    return false;
}

// The single-byte character at character index `index`, or 0 when there is none or it is a
// double-byte character.
char CharAt(std::string_view text, std::size_t index) {
    std::size_t pos = 0;
    for (std::size_t k = 0; k < index && pos < text.size(); ++k) pos = sjis::NextChar(text, pos);
    if (pos >= text.size() || sjis::CharLength(text, pos) != 1) return 0;
    return text[pos];
}

std::size_t CharCount(std::string_view text) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); i = sjis::NextChar(text, i)) ++n;
    return n;
}

bool BeginsWithUnc(std::string_view text) { return text.size() >= 2 && text[0] == '\\' && text[1] == '\\'; }

// A drive colon: ":" right after a single-byte first character ("C:", also "%:" or "1:").
bool HasDriveColon(std::string_view text) {
    return text.size() >= 2 && text[1] == ':' && sjis::CharLength(text, 0) == 1;
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

bool IsInvalidPath(std::string_view text, bool fullPath) {
    if (fullPath) {
        if (HasRejected(text, kPathRejected)) return true;
        return !(BeginsWithUnc(text) || (!text.empty() && text[0] == '%') || HasDriveColon(text));
    }
    if (HasRejected(text, "\"*/;<>?|:")) return true;
    return !text.empty() && text[0] == '\\';
}

bool IsInvalidFileName(std::string_view text, bool pathMode) {
    if (!pathMode) {
        if (HasRejected(text, "\"*/;<>?|:\\")) return true;
        return !text.empty() && text[0] == '\\';
    }
    if (HasRejected(text, kPathRejected)) return true;
    const bool define = !text.empty() && text[0] == '%';
    const bool drive = HasDriveColon(text);
    if (!define && !drive) return true;
    return drive && CharCount(text) <= 3;
}

bool IsInvalidSearchNames(std::string_view text) { return HasRejected(text, "\"*/;<>?|\\"); }

bool IsFullFolderPath(std::string_view text) {
    if (HasRejected(text, kPathRejected)) return false;
    if (BeginsWithUnc(text)) return true;
    return IsDriveLetter(CharAt(text, 0)) && CharAt(text, 1) == ':' && CharAt(text, 2) == '\\';
}

std::string MsgInvalidFileName() {
    return sjis::S("使用できない文字 * ? / ; : \" < > | \\ が含まれているか、ドライブ文字(A:など)やパス区切り文字(\\)が含まれています。\r"
                   "フォルダを指定している場合はファイル名のみを指定して下さい。");
}

std::string MsgInvalidSearchNames() {
    return sjis::S("使用できない文字 * ? / ; \" < > | \\ が含まれています。複数のファイル名を指定する場合は:を使用してください。");
}

std::string MsgInvalidSubFolder() {
    return sjis::S("使用できない文字 * ? / ; \" < > | が含まれているか、ドライブ文字(A:など)が含まれています。\r"
                   "また、先頭にパス区切り文字(\\)を指定することはできません。");
}

std::string MsgNotFullFolderPath() {
    return sjis::S("使用できない文字 * ? / ; \" < > | が含まれているか、フルパスではありません。");
}

std::string MsgProtectedOutputFolder() {
    return sjis::S("「インストールファイルの作成先」には下記のフォルダは指定できません。\r\r"
                   "(1)各ドライブのルートディレクトリ\r(2)Windowsのシステムフォルダ\r"
                   "(3)デスクトップ(サブフォルダを作成する場合はOK)\r"
                   "(4)マイドキュメント(サブフォルダを作成する場合はOK)");
}

// ---- registry ----

namespace {
constexpr std::array<std::string_view, 6> kRootNames = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
    "HKEY_USERS", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};
}  // namespace

RegistryRoot RegistryRootFromName(std::string_view text) {
    for (std::size_t i = 0; i < kRootNames.size(); ++i) {
        if (sjis::FindTextNoCase(text, kRootNames[i]) != sjis::npos) return static_cast<RegistryRoot>(i);
    }
    return RegistryRoot::CurrentUser;
}

std::string_view RegistryRootName(RegistryRoot root) { return kRootNames[static_cast<std::size_t>(root)]; }

const std::array<std::string_view, 20>& ProtectedRegistryKeys() {
    static const std::array<std::string_view, 20> keys = {
        "HKEY_LOCAL_MACHINE|SOFTWARE\\MICROSOFT\\WINDOWS|1",
        "HKEY_LOCAL_MACHINE|HARDWARE|1",
        "HKEY_LOCAL_MACHINE|SAM|0",
        "HKEY_LOCAL_MACHINE|SECURITY|0",
        "HKEY_LOCAL_MACHINE|SOFTWARE|1",
        "HKEY_LOCAL_MACHINE|SYSTEM|1",
        "HKEY_LOCAL_MACHINE||1",
        "HKEY_CURRENT_USER||1",
        "HKEY_CURRENT_USER|APPEVENTS|1",
        "HKEY_CURRENT_USER|CONSOLE|1",
        "HKEY_CURRENT_USER|CONTROL PANEL|1",
        "HKEY_CURRENT_USER|ENVIRONMENT|1",
        "HKEY_CURRENT_USER|KEYBOARD LAYOUT|1",
        "HKEY_CURRENT_USER|SOFTWARE|1",
        "HKEY_CURRENT_USER|SOFTWARE\\Microsoft|1",
        "HKEY_CURRENT_USER|SOFTWARE\\Classes|1",
        "HKEY_CURRENT_USER|SYSTEM|1",
        "HKEY_CURRENT_USER|UNICODE PROGRAM GROUPS|1",
        "HKEY_CURRENT_USER|VALATILE ENVIRONMENT|1",
        "HKEY_CURRENT_USER|WINDOWS 3.1 MIGRATION STATUS|1",
    };
    return keys;
}

bool IsProtectedRegistryKey(std::string_view root, std::string_view key) {
    // Trailing separators name the same key: "SOFTWARE\" is "SOFTWARE".
    std::string bare(key);
    while (!bare.empty() && sjis::FindLastChar(bare, '\\') == bare.size() - 1) bare.pop_back();
    for (std::string_view entry : ProtectedRegistryKeys()) {
        std::vector<std::string> fields = sjis::SplitSjis(entry, '|');
        if (!sjis::EqualsNoCase(root, fields[0])) continue;
        if (fields[2] == "1") {
            if (sjis::EqualsNoCase(bare, fields[1])) return true;
        } else if (sjis::FindTextNoCase(bare, fields[1]) != sjis::npos) {
            return true;
        }
    }
    return false;
}

// ---- unique names ----

std::string UniqueName(std::string_view name, const std::function<bool(std::string_view)>& exists) {
    if (!exists(name)) return std::string(name);
    std::size_t dot = sjis::FindLastChar(name, '.');
    std::string_view stem = dot == sjis::npos ? name : name.substr(0, dot);
    std::string_view extension = dot == sjis::npos ? std::string_view{} : name.substr(dot);
    for (unsigned long long n = 1;; ++n) {
        std::string candidate(stem);
        candidate += std::to_string(n);
        candidate += extension;
        if (!exists(candidate)) return candidate;
    }
}

std::string UniqueSectionName(std::string_view iniPath, std::string_view name) {
    TIniDocument doc = TIniDocument::OpenWindowsPath(iniPath);
    return UniqueName(name, [&](std::string_view candidate) { return doc.SectionExists(candidate); });
}

}  // namespace zeriru
