#include "zeriru/frmFiles/file_tree.h"

#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "zeriru/system_services.h"

#include <algorithm>
#include <filesystem>

namespace zeriru {

namespace wp = platform::winpath;
namespace sjis = platform::sjis;

// ---- FileTreeNode ----

FileTreeNode& FileTreeNode::AddFolder(std::string name) {
    auto node = std::make_unique<FileTreeNode>();
    node->type = Type::Folder;
    node->text = std::move(name);
    return Insert(children.size(), std::move(node));
}

FileTreeNode& FileTreeNode::AddFile(std::string name, std::string sourcePath) {
    auto node = std::make_unique<FileTreeNode>();
    node->type = Type::File;
    node->text = std::move(name);
    node->source = std::move(sourcePath);
    return Insert(children.size(), std::move(node));
}

FileTreeNode& FileTreeNode::Insert(std::size_t index, std::unique_ptr<FileTreeNode> node) {
    node->parent = this;
    index = std::min(index, children.size());
    return **children.insert(children.begin() + static_cast<std::ptrdiff_t>(index), std::move(node));
}

std::unique_ptr<FileTreeNode> FileTreeNode::Take(const FileTreeNode& child) {
    for (auto it = children.begin(); it != children.end(); ++it) {
        if (it->get() != &child) continue;
        std::unique_ptr<FileTreeNode> taken = std::move(*it);
        children.erase(it);
        taken->parent = nullptr;
        return taken;
    }
    return nullptr;
}

std::size_t FileTreeNode::Row() const {
    if (!parent) return 0;
    for (std::size_t i = 0; i < parent->children.size(); ++i) {
        if (parent->children[i].get() == this) return i;
    }
    return 0;
}

bool FileTreeNode::Holds(const FileTreeNode* node) const {
    for (; node; node = node->parent) {
        if (node == this) return true;
    }
    return false;
}

std::size_t FileTreeNode::Count() const {
    std::size_t count = children.size();
    for (const auto& child : children) count += child->Count();
    return count;
}

// ---- the folder scan ----

namespace {

bool IsHostLink(std::string_view windowsPath) {
    const auto host = wp::ToHostPath(windowsPath);
    std::error_code ec;
    return !host || std::filesystem::is_symlink(*host, ec);
}

bool ScanInto(const std::string& folder, const FolderScanOptions& options, FileTreeNode& into,
              const KeepGoing& keepGoing) {
    const bool keepStructure = options.keepStructure && options.subfolders;
    for (const wp::FindData& entry : wp::FindFiles(wp::JoinPath(folder, "*"))) {
        if (keepGoing && !keepGoing()) return false;
        const std::string path = wp::JoinPath(folder, entry.name);
        if (!(entry.attributes & wp::kAttrDirectory)) {
            into.AddFile(entry.name, path);
            continue;
        }
        if (!options.subfolders || IsHostLink(path)) continue;
        FileTreeNode& target = keepStructure ? into.AddFolder(entry.name) : into;
        if (!ScanInto(path, options, target, keepGoing)) return false;
    }
    return true;
}

}  // namespace

bool ScanFolder(std::string_view folder, const FolderScanOptions& options, FileTreeNode& into,
                const KeepGoing& keepGoing) {
    return ScanInto(wp::RemoveBackslash(folder), options, into, keepGoing);
}

// ---- the walk ----

namespace {

std::string Extend(std::string_view parameter, std::string_view text) {
    if (parameter.empty()) return std::string(text);
    return std::string(parameter) + "\\" + std::string(text);
}

}  // namespace

bool WalkTree(const FileTreeNode& root, std::string_view baseParameter, bool emptyFolders,
              const std::function<bool(const TreeItem&)>& emit) {
    const std::string parameter(baseParameter);
    for (const auto& child : root.children) {
        if (!child->children.empty()) {
            if (!WalkTree(*child, Extend(parameter, child->text), emptyFolders, emit)) return false;
        } else if (!child->IsFolder()) {
            if (!emit(TreeItem{false, parameter, child.get()})) return false;
        } else if (emptyFolders) {
            if (!emit(TreeItem{true, Extend(parameter, child->text), child.get()})) return false;
        }
    }
    return true;
}

// ---- GraphicalTreeModel ----

GraphicalTreeModel::GraphicalTreeModel(std::string rootText) {
    root_.text = std::move(rootText);
    root_.expanded = true;
}

FileTreeNode* GraphicalTreeModel::FolderFor(FileTreeNode* selected) {
    if (!selected) return &root_;
    return selected->IsFolder() ? selected : nullptr;
}

bool GraphicalTreeModel::CanAddTo(const FileTreeNode* selected) const { return !selected || selected->IsFolder(); }

FileTreeNode* GraphicalTreeModel::AddFiles(FileTreeNode* selected, const std::vector<std::string>& paths) {
    FileTreeNode* folder = FolderFor(selected);
    if (!folder) return nullptr;
    FileTreeNode* first = nullptr;
    for (const std::string& path : paths) {
        FileTreeNode& node = folder->AddFile(wp::FileNameOf(path), path);
        if (!first) first = &node;
    }
    if (first) folder->expanded = true;
    return first;
}

bool GraphicalTreeModel::AddFolder(FileTreeNode* selected, std::string_view folder, const FolderScanOptions& options,
                                   const KeepGoing& keepGoing) {
    FileTreeNode* target = FolderFor(selected);
    if (!target) return false;
    target->expanded = true;
    return ScanFolder(folder, options, *target, keepGoing);
}

FileTreeNode* GraphicalTreeModel::NewFolder(FileTreeNode* selected) {
    FileTreeNode* folder = FolderFor(selected);
    if (!folder) return nullptr;
    std::string name = sjis::S("新しいフォルダ");
    if (newFolders_ > 0) name += std::to_string(newFolders_);
    ++newFolders_;
    folder->expanded = true;
    return &folder->AddFolder(std::move(name));
}

bool GraphicalTreeModel::CanRename(const FileTreeNode* node) const {
    return node && node != &root_ && node->IsFolder();
}

bool GraphicalTreeModel::Rename(FileTreeNode* node, std::string name) {
    // A folder name ends up in the parameter of every item below it: a "\" or a drive in it
    // would put the files elsewhere.
    if (!CanRename(node) || name.empty() || IsInvalidFileName(name, false)) return false;
    node->text = std::move(name);
    return true;
}

bool GraphicalTreeModel::CanDelete(const FileTreeNode* node) const { return node && node != &root_; }

bool GraphicalTreeModel::Delete(FileTreeNode* node) {
    if (!CanDelete(node) || !node->parent) return false;
    return node->parent->Take(*node) != nullptr;
}

void GraphicalTreeModel::Clear() {
    root_.children.clear();
    newFolders_ = 0;
}

bool GraphicalTreeModel::CanDrop(const FileTreeNode* node, const FileTreeNode* target) const {
    if (!node || !target || node == &root_ || !node->parent || !target->IsFolder()) return false;
    return !node->Holds(target);
}

bool GraphicalTreeModel::Drop(FileTreeNode* node, FileTreeNode* target) {
    if (!CanDrop(node, target)) return false;
    std::unique_ptr<FileTreeNode> taken = node->parent->Take(*node);
    target->Insert(0, std::move(taken));
    target->expanded = true;
    return true;
}

}  // namespace zeriru
