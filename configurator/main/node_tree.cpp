#include "main/node_tree.h"

#include <algorithm>

namespace vrt::cfg {

int TreeNode::Level() const {
    int level = -1;
    for (const TreeNode* n = parent_; n; n = n->parent_) ++level;
    return level;
}

TreeNode* TreeNode::Child(int index) const {
    if (index < 0 || index >= ChildCount()) return nullptr;
    return children_[size_t(index)].get();
}

int TreeNode::Index() const {
    if (!parent_) return -1;
    const auto& siblings = parent_->children_;
    for (size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i].get() == this) return int(i);
    return -1;
}

NodeTree::NodeTree() = default;
NodeTree::~NodeTree() = default;

void NodeTree::BeginUpdate() {
    if (updateDepth_++ == 0 && observer_) observer_->UpdatesBegun();
}

void NodeTree::EndUpdate() {
    if (updateDepth_ == 0) return;
    if (--updateDepth_ == 0 && observer_) observer_->UpdatesEnded();
}

std::vector<TreeNode*> NodeTree::AllNodes() const {
    std::vector<TreeNode*> out;
    const std::function<void(const TreeNode&)> walk = [&](const TreeNode& n) {
        for (const auto& c : n.children_) {
            out.push_back(c.get());
            walk(*c);
        }
    };
    walk(root_);
    return out;
}

bool NodeTree::Contains(const TreeNode* node) const {
    if (!node) return false;
    const std::vector<TreeNode*> all = AllNodes();
    return std::find(all.begin(), all.end(), node) != all.end();
}

TreeNode* NodeTree::Add(TreeNode* parent, std::string text, void* data, int image, int selectedImage) {
    TreeNode& owner = parent ? *parent : root_;
    auto node = std::make_unique<TreeNode>();
    node->text_ = std::move(text);
    node->data_ = data;
    node->image_ = image;
    node->selectedImage_ = selectedImage;
    node->parent_ = &owner;
    TreeNode* raw = node.get();
    owner.children_.push_back(std::move(node));
    if (observer_) observer_->NodeAdded(raw);
    return raw;
}

void NodeTree::notifyRemoving(TreeNode* node) {
    for (const auto& c : node->children_) notifyRemoving(c.get());
    if (OnDeletion) OnDeletion(node);
}

void NodeTree::detach(TreeNode* node) {
    auto& siblings = node->parent_->children_;
    siblings.erase(std::find_if(siblings.begin(), siblings.end(), [&](const auto& p) { return p.get() == node; }));
}

void NodeTree::Delete(TreeNode* node) {
    if (!node || !node->parent_) return;
    bool selectionGoes = false;
    for (const TreeNode* n = selected_; n; n = n->parent_)
        if (n == node) selectionGoes = true;

    TreeNode* next = nullptr;
    if (selectionGoes) {
        const TreeNode* owner = node->parent_;
        const int i = node->Index();
        next = owner->Child(i + 1);
        if (!next) next = owner->Child(i - 1);
        if (!next) next = node->Parent();
    }

    if (observer_) observer_->NodeRemoving(node);
    notifyRemoving(node);
    if (selectionGoes) selected_ = nullptr;
    detach(node);  // destroys the node and its children

    if (selectionGoes) {
        selected_ = next;
        if (observer_) observer_->SelectionMoved(selected_);
        if (OnChange) OnChange(selected_);
    }
}

void NodeTree::Clear() {
    const bool hadSelection = selected_ != nullptr;
    while (!root_.children_.empty()) {
        TreeNode* node = root_.children_.back().get();
        if (observer_) observer_->NodeRemoving(node);
        notifyRemoving(node);
        selected_ = nullptr;
        root_.children_.pop_back();
    }
    if (hadSelection) {
        if (observer_) observer_->SelectionMoved(nullptr);
        if (OnChange) OnChange(nullptr);
    }
}

void NodeTree::SetText(TreeNode* node, std::string text) {
    node->text_ = std::move(text);
    if (observer_) observer_->NodeChanged(node);
}

void NodeTree::SetImages(TreeNode* node, int image, int selectedImage) {
    node->image_ = image;
    node->selectedImage_ = selectedImage;
    if (observer_) observer_->NodeChanged(node);
}

void NodeTree::Expand(TreeNode* node) {
    node->expanded_ = true;
    if (observer_) observer_->NodeExpanded(node);
}

void NodeTree::Select(TreeNode* node) {
    if (node == selected_) return;
    selected_ = node;
    if (observer_) observer_->SelectionMoved(node);
    if (OnChange) OnChange(node);
}

}  // namespace vrt::cfg
