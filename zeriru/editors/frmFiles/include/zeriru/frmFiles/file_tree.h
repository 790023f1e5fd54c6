// The tree of files and folders that the item dialog turns into items: the folder scan of the
// folder choice, the graphical tree of the graphical mode, and the walk that makes the items.
//
// A node is a folder or a file; a file node remembers its source path and never has children.
// The walk visits children in order: a node with children of its own is walked with the
// parameter extended by its text; a childless file node becomes a file copy item, a childless
// folder node a folder item (when empty folders are wanted).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

struct FileTreeNode {
    enum class Type { Folder, File };

    Type type = Type::Folder;
    std::string text;    // folder or file name (Shift-JIS)
    std::string source;  // a file's full Windows path on the authoring machine
    FileTreeNode* parent = nullptr;
    std::vector<std::unique_ptr<FileTreeNode>> children;
    // Whether a view shows the node's children (kept across rebuilds of the view).
    bool expanded = false;

    bool IsFolder() const { return type == Type::Folder; }
    FileTreeNode& AddFolder(std::string name);
    FileTreeNode& AddFile(std::string name, std::string sourcePath);
    // Inserts a node (taken from elsewhere) at `index` (clamped) and returns it.
    FileTreeNode& Insert(std::size_t index, std::unique_ptr<FileTreeNode> node);
    // Takes the child out; nullptr when it is none of this node's.
    std::unique_ptr<FileTreeNode> Take(const FileTreeNode& child);
    // Position among its parent's children; 0 for the root.
    std::size_t Row() const;
    // Whether `node` is this node or lies below it.
    bool Holds(const FileTreeNode* node) const;
    // Every node below this one.
    std::size_t Count() const;
};

// Called between the entries of long work; false stops it (the user pressed the abort button).
using KeepGoing = std::function<bool()>;

struct FolderScanOptions {
    // Sub-folders become folder nodes (only together with `subfolders`); otherwise every file
    // found lands directly in the node scanned into.
    bool keepStructure = true;
    // Sub-folders are scanned too.
    bool subfolders = true;
};

// Scans the folder (a Windows path) into children of `into`. A folder that is a host symbolic
// link is not followed. False when `keepGoing` stopped the scan (what was found stays).
bool ScanFolder(std::string_view folder, const FolderScanOptions& options, FileTreeNode& into,
                const KeepGoing& keepGoing = {});

// One item the walk makes: a file node (kind 0, its source) or a childless folder node (kind 1).
struct TreeItem {
    bool folder = false;
    std::string parameter;  // the sub-folder below the define
    const FileTreeNode* node = nullptr;
};
// Walks the tree below `root` with `baseParameter`; `emit` receives each item and returns false
// to stop the walk. Childless folder nodes make items only with `emptyFolders`. False when the
// walk was stopped.
bool WalkTree(const FileTreeNode& root, std::string_view baseParameter, bool emptyFolders,
              const std::function<bool(const TreeItem&)>& emit);

// The graphical tree: a root that shows the sample path of the destination define and cannot
// be renamed, moved or deleted, with the commands of the tree's buttons and keys. A command on
// "no node" acts on the root.
class GraphicalTreeModel {
public:
    explicit GraphicalTreeModel(std::string rootText = {});

    FileTreeNode& root() { return root_; }
    const FileTreeNode& root() const { return root_; }
    void SetRootText(std::string text) { root_.text = std::move(text); }
    // The tree holds more than its root.
    bool HoldsItems() const { return !root_.children.empty(); }

    // The add and new-folder commands act on a folder node (the root when none is selected).
    bool CanAddTo(const FileTreeNode* selected) const;
    // "ファイル(&N)...": the files as file nodes under the folder; returns the first node added.
    FileTreeNode* AddFiles(FileTreeNode* selected, const std::vector<std::string>& paths);
    // "フォルダ(&F)...": the folder's content under the folder node, as the folder scan builds it.
    bool AddFolder(FileTreeNode* selected, std::string_view folder, const FolderScanOptions& options,
                   const KeepGoing& keepGoing = {});
    // "新規フォルダ(&I)": "新しいフォルダ", then "新しいフォルダ1", "新しいフォルダ2", ... (the
    // counter restarts when the tree is cleared).
    FileTreeNode* NewFolder(FileTreeNode* selected);
    // "名前の変更(&R)": folder nodes other than the root. A name that is empty or no valid file
    // name is refused.
    bool CanRename(const FileTreeNode* node) const;
    bool Rename(FileTreeNode* node, std::string name);
    // "削除(&D)": the node with its children, never the root.
    bool CanDelete(const FileTreeNode* node) const;
    bool Delete(FileTreeNode* node);
    // "クリア(&A)": only the root stays.
    void Clear();
    // Drag and drop: a node dropped onto a folder node becomes its first child. Refused onto a
    // file node, for the root, and onto the node itself or a node below it.
    bool CanDrop(const FileTreeNode* node, const FileTreeNode* target) const;
    bool Drop(FileTreeNode* node, FileTreeNode* target);

private:
    FileTreeNode* FolderFor(FileTreeNode* selected);

    FileTreeNode root_;
    int newFolders_ = 0;
};

}  // namespace zeriru
