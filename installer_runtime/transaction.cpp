#include "transaction.h"

#include "journal_folders.h"

#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "zeriru/file_services.h"
#include "zeriru/project_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace installer {

namespace wp = platform::winpath;
namespace sj = platform::sjis;
namespace reg = platform::registry;

namespace {

std::string Hex(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

std::optional<std::string> Unhex(std::string_view text) {
    if (text.size() % 2) return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int v = 0;
        for (char c : text.substr(i, 2)) {
            v <<= 4;
            if (c >= '0' && c <= '9') v |= c - '0';
            else if (c >= 'A' && c <= 'F') v |= c - 'A' + 10;
            else return std::nullopt;
        }
        out.push_back(static_cast<char>(v));
    }
    return out;
}

// Parent keys of a registry path, shortest first, the path itself last.
std::vector<std::string> KeyPrefixes(const std::string& key) {
    std::vector<std::string> out;
    std::string at;
    for (const std::string& part : sj::SplitSjis(key, '\\')) {
        if (part.empty()) continue;
        at += (at.empty() ? "" : "\\") + part;
        out.push_back(at);
    }
    return out;
}

bool ReplaceWithCopy(const std::string& copy, const std::string& file) {
    if (wp::FileExists(file)) wp::SetFileAttributes(file, wp::kAttrNormal);
    wp::CopyOptions options;
    return wp::CopyFile(copy, file, options);
}

}  // namespace

bool RegistryKeyIsEmpty(reg::Registry& registry, reg::Root root, const std::string& key) {
    std::vector<std::string> keys;
    std::vector<reg::NamedValue> values;
    return registry.EnumSubKeys(root, key, &keys) == reg::Status::Ok && keys.empty() &&
           registry.EnumValues(root, key, &values) == reg::Status::Ok && values.empty();
}

std::string EncodeRegistryValue(const std::optional<reg::Value>& value) {
    if (!value) return "-";
    std::string bytes;
    switch (value->type) {
        case reg::ValueType::Dword:
            for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((value->dword >> (8 * i)) & 0xFF));
            break;
        case reg::ValueType::MultiSz:
            for (const std::string& s : value->strings) bytes += s + '\0';
            break;
        default:
            bytes = value->bytes;
    }
    return std::to_string(static_cast<std::uint32_t>(value->type)) + ":" + Hex(bytes);
}

std::optional<reg::Value> DecodeRegistryValue(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::uint32_t type = 0;
    for (char c : text.substr(0, colon)) {
        if (c < '0' || c > '9' || type > 0xFFFFFFF) return std::nullopt;
        type = type * 10 + static_cast<std::uint32_t>(c - '0');
    }
    const auto bytes = Unhex(text.substr(colon + 1));
    if (!bytes) return std::nullopt;
    switch (static_cast<reg::ValueType>(type)) {
        case reg::ValueType::Sz: return reg::Value::String(*bytes);
        case reg::ValueType::ExpandSz: return reg::Value::ExpandString(*bytes);
        case reg::ValueType::Binary: return reg::Value::Binary(*bytes);
        case reg::ValueType::Dword: {
            if (bytes->size() != 4) return std::nullopt;
            std::uint32_t v = 0;
            for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>((*bytes)[i]);
            return reg::Value::Dword(v);
        }
        case reg::ValueType::MultiSz: {
            std::vector<std::string> strings;
            std::string current;
            for (char c : *bytes) {
                if (c == '\0') {
                    strings.push_back(current);
                    current.clear();
                } else {
                    current.push_back(c);
                }
            }
            return reg::Value::MultiString(strings);
        }
        default: return reg::Value::Raw(static_cast<reg::ValueType>(type), *bytes);
    }
}

Transaction::Transaction(std::string folder, reg::Registry& registry, ChangeHook hook)
    : folder_(std::move(folder)), registry_(registry), hook_(std::move(hook)) {}

Transaction::~Transaction() {
    if (fd_ >= 0) ::close(fd_);
}

std::string Transaction::JournalPath() const { return wp::JoinPath(folder_, kJournalFileName); }

bool Transaction::Pending() const { return wp::FileExists(JournalPath()); }

bool Transaction::Begin(std::string* error, std::string_view owner) {
    if (!wp::CreateDirectoryTree(folder_)) {
        if (error) *error = folder_;
        return false;
    }
    const auto host = wp::ToHostPath(JournalPath());
    if (host) fd_ = ::open(host->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
    const std::string line = "O|" + zeriru::EncodeProjectText(owner) + "\n";
    if (fd_ < 0 || ::write(fd_, line.data(), line.size()) != static_cast<ssize_t>(line.size()) || ::fdatasync(fd_) != 0) {
        if (error) *error = JournalPath();
        return false;
    }
    return true;
}

std::string Transaction::OwnerOf(const std::string& folder) {
    const std::string text = wp::ReadWholeFile(wp::JoinPath(folder, kJournalFileName)).value_or("");
    if (text.rfind("O|", 0) != 0 || text.find('\n') == std::string::npos) return {};
    return zeriru::DecodeProjectText(text.substr(2, text.find('\n') - 2));
}

bool Transaction::Log(const std::vector<std::string>& fields) {
    ++changes_;
    if (hook_ && !hook_(changes_)) return false;
    if (fd_ < 0) return false;
    std::string line;
    for (const std::string& f : fields) line += (line.empty() ? "" : "|") + zeriru::EncodeProjectText(f);
    line += '\n';
    if (::write(fd_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return false;
    return ::fdatasync(fd_) == 0;
}

std::optional<std::string> Transaction::SaveCopy(const std::string& path) {
    const std::string copy = wp::JoinPath(folder_, "copy" + std::to_string(++copies_));
    wp::CopyOptions options;
    if (!wp::CopyFile(path, copy, options)) return std::nullopt;
    return copy;
}

bool Transaction::MakeFolder(const std::string& folder) {
    std::vector<std::string> missing;
    for (std::string at = folder; !at.empty() && !wp::DirectoryExists(at);) {
        if (wp::FileExists(at)) return false;  // a file where a folder must go
        missing.push_back(at);
        const std::string up = wp::FolderOf(at);
        if (up == at) break;
        at = up;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!Log({"D", *it}) || !wp::CreateDirectory(*it)) return false;
        madeFolders_.push_back(*it);
    }
    return true;
}

bool Transaction::PrepareFile(const std::string& target) {
    if (!MakeFolder(wp::FolderOf(target)) || wp::DirectoryExists(target)) return false;
    std::string copy;
    if (wp::FileExists(target)) {
        const auto saved = SaveCopy(target);
        if (!saved) return false;
        copy = *saved;
    }
    if (!Log({"F", target, copy})) return false;
    // A read-only file is replaced, as the item says; the copy keeps its attributes.
    if (!copy.empty()) wp::SetFileAttributes(target, wp::kAttrNormal);
    return true;
}

bool Transaction::CopyFile(const std::string& source, const std::string& target, std::uint32_t attributes) {
    return PrepareFile(target) && zeriru::CopyFileKeepTime(source, target, attributes);
}

bool Transaction::WriteFile(const std::string& target, std::string_view bytes) {
    return PrepareFile(target) && wp::WriteWholeFile(target, bytes);
}

bool Transaction::DeleteFile(const std::string& path) {
    if (!wp::FileExists(path)) return true;
    const auto saved = SaveCopy(path);
    if (!saved || !Log({"F", path, *saved})) return false;
    wp::SetFileAttributes(path, wp::kAttrNormal);
    return wp::DeleteFile(path);
}

bool Transaction::GuardFile(const std::string& path) {
    if (std::find(guarded_.begin(), guarded_.end(), sj::ToUpper(path)) != guarded_.end()) return true;
    std::string copy;
    if (wp::FileExists(path)) {
        const auto saved = SaveCopy(path);
        if (!saved) return false;
        copy = *saved;
    } else if (!MakeFolder(wp::FolderOf(path))) {
        return false;
    }
    if (!Log({"F", path, copy})) return false;
    guarded_.push_back(sj::ToUpper(path));
    return true;
}

bool Transaction::RemoveEmptyFolder(const std::string& folder) {
    if (!wp::DirectoryExists(folder)) return true;
    return Log({"E", folder}) && wp::RemoveDirectory(folder);
}

bool Transaction::RemoveFolderTree(const std::string& folder) {
    if (!wp::DirectoryExists(folder)) return true;
    const std::string moved = wp::JoinPath(folder_, "tree" + std::to_string(++copies_));
    return Log({"M", folder, moved}) && wp::MoveFile(folder, moved);
}

bool Transaction::MakeRegistryKey(reg::Root root, const std::string& key) {
    for (const std::string& prefix : KeyPrefixes(key)) {
        if (registry_.KeyExists(root, prefix) == reg::Status::Ok) continue;
        if (!Log({"K", reg::RootName(root), prefix}) || registry_.CreateKey(root, prefix) != reg::Status::Ok)
            return false;
        madeKeys_.emplace_back(root, prefix);
    }
    return true;
}

bool Transaction::SetRegistryValue(reg::Root root, const std::string& key, const std::string& name,
                                   const std::optional<reg::Value>& value) {
    if (value && !MakeRegistryKey(root, key)) return false;
    std::optional<reg::Value> old;
    reg::Value current;
    const reg::Status st = registry_.GetValue(root, key, name, &current);
    if (st == reg::Status::Ok) {
        old = current;
    } else if (st != reg::Status::NotFound) {
        return false;
    }
    if (!value && !old) return true;
    if (!Log({"V", reg::RootName(root), key, name, EncodeRegistryValue(old)})) return false;
    const reg::Status done = value ? registry_.SetValue(root, key, name, *value) : registry_.DeleteValue(root, key, name);
    return done == reg::Status::Ok;
}

bool Transaction::DeleteRegistryKey(reg::Root root, const std::string& key) {
    if (registry_.KeyExists(root, key) != reg::Status::Ok) return true;
    // Every key of the tree, parents first, and every value: logged values first, so that
    // undoing (newest first) makes the keys again before it puts the values back.
    std::vector<std::string> keys{key};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        std::vector<std::string> subs;
        if (registry_.EnumSubKeys(root, keys[i], &subs) != reg::Status::Ok) return false;
        for (const std::string& sub : subs) keys.push_back(keys[i] + "\\" + sub);
    }
    for (const std::string& k : keys) {
        std::vector<reg::NamedValue> values;
        if (registry_.EnumValues(root, k, &values) != reg::Status::Ok) return false;
        for (const reg::NamedValue& v : values) {
            if (!Log({"V", reg::RootName(root), k, v.name, EncodeRegistryValue(v.value)})) return false;
        }
    }
    for (const std::string& k : keys) {
        if (!Log({"X", reg::RootName(root), k})) return false;
    }
    return registry_.DeleteKeyTree(root, key) == reg::Status::Ok;
}

bool Transaction::RunProgram(const Launch& run, const Launch& undo, int* exitCode) {
    if (exitCode) *exitCode = -1;
    if (!Log({"P", undo.program, undo.arguments, undo.folder, undo.direct ? "1" : "0"})) return false;
    Launch waited = run;
    waited.wait = true;
    const platform::shell::StartResult result = Start(waited);
    if (!result.started) return false;
    if (exitCode) *exitCode = result.exitCode;
    return result.exitCode == 0;
}

void Transaction::Undo(const std::string& line, std::vector<std::string>* leftovers) {
    std::vector<std::string> f;
    for (const std::string& part : sj::SplitSjis(line, '|')) f.push_back(zeriru::DecodeProjectText(part));
    auto left = [leftovers](const std::string& what) {
        if (leftovers) leftovers->push_back(what);
    };
    if (f[0] == "F" && f.size() == 3) {
        if (!f[2].empty()) {
            if (wp::FileExists(f[2]) && !ReplaceWithCopy(f[2], f[1])) left(f[1]);
        } else if (wp::FileExists(f[1]) && !wp::DirectoryExists(f[1])) {
            wp::SetFileAttributes(f[1], wp::kAttrNormal);
            if (!wp::DeleteFile(f[1])) left(f[1]);
        }
    } else if (f[0] == "D" && f.size() == 2) {
        if (wp::DirectoryExists(f[1]) && !wp::RemoveDirectory(f[1])) left(f[1]);
    } else if (f[0] == "E" && f.size() == 2) {
        if (!wp::CreateDirectoryTree(f[1])) left(f[1]);
    } else if (f[0] == "M" && f.size() == 3) {
        if (wp::DirectoryExists(f[2]) && !wp::MoveFile(f[2], f[1])) left(f[1]);
    } else if (f[0] == "K" && f.size() == 3) {
        const auto root = reg::RootFromName(f[1]);
        if (root && registry_.KeyExists(*root, f[2]) == reg::Status::Ok) {
            if (!RegistryKeyIsEmpty(registry_, *root, f[2]) || registry_.DeleteKeyTree(*root, f[2]) != reg::Status::Ok)
                left(f[1] + "\\" + f[2]);
        }
    } else if (f[0] == "X" && f.size() == 3) {
        const auto root = reg::RootFromName(f[1]);
        if (root && registry_.CreateKey(*root, f[2]) != reg::Status::Ok) left(f[1] + "\\" + f[2]);
    } else if (f[0] == "P" && f.size() == 5) {
        Launch undo;
        undo.program = f[1];
        undo.arguments = f[2];
        undo.folder = f[3];
        undo.direct = f[4] == "1";
        undo.wait = true;
        const platform::shell::StartResult result = Start(undo);
        if (!result.started || result.exitCode != 0) left(f[1] + " " + f[2]);
    } else if (f[0] == "V" && f.size() == 5) {
        const auto root = reg::RootFromName(f[1]);
        if (!root) return;
        const auto old = DecodeRegistryValue(f[4]);
        reg::Status st = reg::Status::Ok;
        if (old) {
            st = registry_.SetValue(*root, f[2], f[3], *old);
        } else if (registry_.KeyExists(*root, f[2]) == reg::Status::Ok) {
            st = registry_.DeleteValue(*root, f[2], f[3]);
            if (st == reg::Status::NotFound) st = reg::Status::Ok;
        }
        if (st != reg::Status::Ok) left(f[1] + "\\" + f[2] + "\\" + f[3]);
    }
}

void Transaction::UndoAll(std::vector<std::string>* leftovers) {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    const std::string text = wp::ReadWholeFile(JournalPath()).value_or("");
    std::vector<std::string> lines;
    std::size_t at = 0;
    // Only whole lines: a line cut short was never followed by its change.
    for (std::size_t nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1) {
        if (nl > at) lines.push_back(text.substr(at, nl - at));
    }
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) Undo(*it, leftovers);
    const auto host = wp::ToHostPath(folder_);
    std::error_code ec;
    if (host) {
        std::filesystem::remove(*host / kJournalFileName, ec);
        std::filesystem::remove_all(*host, ec);
    }
}

void Transaction::Recover(std::vector<std::string>* leftovers) { UndoAll(leftovers); }

void Transaction::Rollback(std::vector<std::string>* leftovers) {
    UndoAll(leftovers);
    madeFolders_.clear();
    madeKeys_.clear();
}

bool Transaction::Commit() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    const auto host = wp::ToHostPath(folder_);
    if (!host) return false;
    std::error_code ec;
    // Removing the journal is the moment the changes are kept; the copies go after it.
    if (!std::filesystem::remove(*host / kJournalFileName, ec) && ec) return false;
    std::filesystem::remove_all(*host, ec);
    return true;
}

}  // namespace installer
