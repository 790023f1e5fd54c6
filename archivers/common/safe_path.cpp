#include "common/safe_path.h"

#include <set>
#include <system_error>
#include <vector>

#include "platform/sjis.h"
#include "platform/winpath.h"

namespace archivers {

namespace sj = platform::sjis;

std::optional<std::filesystem::path> SafeRelativePath(std::string_view name, std::string* reason) {
    auto refuse = [&](const char* why) -> std::optional<std::filesystem::path> {
        if (reason) *reason = std::string(why) + ": " + std::string(name);
        return std::nullopt;
    };
    if (name.empty()) return refuse("empty member name");
    if (sj::FindChar(name, ':') != sj::npos) return refuse("member name with a drive or stream");
    std::vector<std::string> parts;
    std::string current;
    bool leading = true;
    for (std::size_t i = 0; i < name.size(); i = sj::NextChar(name, i)) {
        const std::size_t len = sj::CharLength(name, i);
        const char c = name[i];
        if (len == 1 && c == '\0') return refuse("member name with a zero byte");
        if (len == 1 && (c == '\\' || c == '/')) {
            if (leading && i == 0) return refuse("absolute member name");
            parts.push_back(current);
            current.clear();
            continue;
        }
        leading = false;
        current.append(name.substr(i, len));
    }
    parts.push_back(current);
    std::filesystem::path out;
    for (const std::string& part : parts) {
        if (part.empty() || part == ".") continue;
        if (part == "..") return refuse("member name leaving the extraction folder");
        out /= platform::winpath::WindowsNameToHost(part);
    }
    if (out.empty()) return refuse("empty member name");
    return out;
}

namespace {

// The key under which a member's name is compared: upper case, '\' between the elements,
// no empty or "." elements.
std::string CompareKey(const std::filesystem::path& rel) {
    std::string key;
    for (const auto& part : rel) key += (key.empty() ? "" : "\\") + sj::ToUpper(sj::FromUtf8(part.string()));
    return key;
}

}  // namespace

bool CheckMemberSet(const std::vector<MemberName>& members, std::string* reason) {
    std::set<std::string> files, folders;  // upper-cased names
    auto refuse = [reason](const char* why, const std::string& name) {
        if (reason) *reason = std::string(why) + ": " + name;
        return false;
    };
    for (const MemberName& m : members) {
        const auto rel = SafeRelativePath(m.name, reason);
        if (!rel) return false;
        const std::string key = CompareKey(*rel);
        if (files.count(key)) return refuse("two members of one name", m.name);
        if (!m.directory && folders.count(key)) return refuse("file and folder of one name", m.name);
        (m.directory ? folders : files).insert(key);
        // Every folder above the member must not be a file of the archive.
        std::string folder;
        for (auto it = rel->begin(); std::next(it) != rel->end(); ++it) {
            folder += (folder.empty() ? "" : "\\") + sj::ToUpper(sj::FromUtf8(it->string()));
            if (files.count(folder)) return refuse("member below a file of the same archive", m.name);
            folders.insert(folder);
        }
    }
    return true;
}

std::string PathText(const std::filesystem::path& path) { return sj::FromUtf8(path.string()); }

bool PrepareInside(const std::filesystem::path& root, const std::filesystem::path& target, std::string* reason) {
    std::error_code ec;
    std::filesystem::path at = root;
    const std::filesystem::path parent = target.parent_path();
    for (const auto& part : parent) {
        at /= part;
        const auto st = std::filesystem::symlink_status(at, ec);
        if (std::filesystem::is_symlink(st)) {
            if (reason) *reason = "folder is a link: " + PathText(at);
            return false;
        }
        if (!std::filesystem::exists(st)) {
            if (!std::filesystem::create_directory(at, ec) && ec) {
                if (reason) *reason = "cannot create folder " + PathText(at) + ": " + ec.message();
                return false;
            }
        } else if (!std::filesystem::is_directory(st)) {
            if (reason) *reason = "not a folder: " + PathText(at);
            return false;
        }
    }
    const auto st = std::filesystem::symlink_status(root / target, ec);
    if (std::filesystem::is_symlink(st)) {
        if (reason) *reason = "file is a link: " + PathText(root / target);
        return false;
    }
    return true;
}

}  // namespace archivers
