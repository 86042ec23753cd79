#pragma once
// The device tree as the main window's logic sees it: nodes with a text, an
// image, a selected image and a data pointer (a device or tag cell), and one
// selected node. The Qt tree widget only mirrors it, so the rules for
// building, re-texting and deleting nodes run and are tested without Qt.
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vrt::cfg {

class TreeNode {
public:
    const std::string& Text() const { return text_; }
    int Image() const { return image_; }
    int SelectedImage() const { return selectedImage_; }
    void* Data() const { return data_; }
    bool Expanded() const { return expanded_; }

    // Null for a top-level node.
    TreeNode* Parent() const { return parent_ && parent_->parent_ ? parent_ : nullptr; }
    // 0 for a device node, 1 for a tag node.
    int Level() const;
    int ChildCount() const { return int(children_.size()); }
    TreeNode* Child(int index) const;
    TreeNode* FirstChild() const { return Child(0); }
    // Position among its siblings.
    int Index() const;

private:
    friend class NodeTree;
    std::string text_;
    int image_ = 0;
    int selectedImage_ = 0;
    void* data_ = nullptr;
    bool expanded_ = false;
    TreeNode* parent_ = nullptr;
    std::vector<std::unique_ptr<TreeNode>> children_;
};

// Told of every change, so a widget can follow; all calls come after the
// change, except NodeRemoving, which comes while the node still stands.
class TreeObserver {
public:
    virtual ~TreeObserver() = default;
    virtual void NodeAdded(TreeNode* node) = 0;
    virtual void NodeRemoving(TreeNode* node) = 0;
    virtual void NodeChanged(TreeNode* node) = 0;
    virtual void NodeExpanded(TreeNode* node) = 0;
    virtual void SelectionMoved(TreeNode* selected) = 0;
    // Bracket a run of changes (a whole tree built at once) that a widget
    // may apply in one go instead of node by node.
    virtual void UpdatesBegun() {}
    virtual void UpdatesEnded() {}
};

class NodeTree {
public:
    NodeTree();
    ~NodeTree();
    NodeTree(const NodeTree&) = delete;
    NodeTree& operator=(const NodeTree&) = delete;

    void SetObserver(TreeObserver* observer) { observer_ = observer; }
    // Brackets a run of changes for the observer; pairs may nest, and only
    // the outermost pair reaches it.
    void BeginUpdate();
    void EndUpdate();
    // Runs on every change of the selected node (the new one, or null).
    std::function<void(TreeNode*)> OnChange;
    // Runs for each node about to go, children first; references to it must
    // be dropped.
    std::function<void(TreeNode*)> OnDeletion;

    int TopCount() const { return root_.ChildCount(); }
    TreeNode* Top(int index) const { return root_.Child(index); }
    bool Empty() const { return root_.children_.empty(); }
    // The nodes in display order (tests, lookups).
    std::vector<TreeNode*> AllNodes() const;
    // True while `node` is part of the tree.
    bool Contains(const TreeNode* node) const;

    // Appends a node at the end of `parent`'s children (null: top level).
    TreeNode* Add(TreeNode* parent, std::string text, void* data, int image, int selectedImage);
    // Deletes the node with its children. When the selected node goes, the
    // selection moves to the next sibling, else the previous one, else the
    // parent, else nowhere, and OnChange runs for it.
    void Delete(TreeNode* node);
    // Deletes every node; a selection there was moves to nowhere.
    void Clear();

    void SetText(TreeNode* node, std::string text);
    void SetImages(TreeNode* node, int image, int selectedImage);
    void SetData(TreeNode* node, void* data) { node->data_ = data; }
    void Expand(TreeNode* node);

    TreeNode* Selected() const { return selected_; }
    // Selects `node` (null clears); OnChange runs when the selection changed.
    void Select(TreeNode* node);

private:
    void detach(TreeNode* node);
    void notifyRemoving(TreeNode* node);

    TreeNode root_;
    TreeNode* selected_ = nullptr;
    TreeObserver* observer_ = nullptr;
    int updateDepth_ = 0;
};

}  // namespace vrt::cfg
