#include <gtest/gtest.h>

#include "main/node_tree.h"

namespace vrt::cfg {
namespace {

// Records what the tree reports.
struct Recorder : TreeObserver {
    std::vector<std::string> events;
    void NodeAdded(TreeNode* n) override { events.push_back("add " + n->Text()); }
    void NodeRemoving(TreeNode* n) override { events.push_back("remove " + n->Text()); }
    void NodeChanged(TreeNode* n) override { events.push_back("change " + n->Text()); }
    void NodeExpanded(TreeNode* n) override { events.push_back("expand " + n->Text()); }
    void SelectionMoved(TreeNode* n) override { events.push_back("select " + (n ? n->Text() : "-")); }
    void UpdatesBegun() override { events.push_back("begin"); }
    void UpdatesEnded() override { events.push_back("end"); }
};

struct Tree : ::testing::Test {
    NodeTree tree;
    Recorder rec;
    std::vector<std::string> changes, deletions;
    TreeNode *a, *b, *c, *a1, *a2, *a3;

    void SetUp() override {
        a = tree.Add(nullptr, "A", nullptr, 0, 0);
        a1 = tree.Add(a, "a1", nullptr, 1, 1);
        a2 = tree.Add(a, "a2", nullptr, 2, 2);
        a3 = tree.Add(a, "a3", nullptr, 1, 1);
        b = tree.Add(nullptr, "B", nullptr, 0, 0);
        c = tree.Add(nullptr, "C", nullptr, 0, 0);
        tree.SetObserver(&rec);
        tree.OnChange = [this](TreeNode* n) { changes.push_back(n ? n->Text() : "-"); };
        tree.OnDeletion = [this](TreeNode* n) { deletions.push_back(n->Text()); };
    }
};

TEST_F(Tree, LevelsIndexesAndSelection) {
    EXPECT_EQ(a->Level(), 0);
    EXPECT_EQ(a2->Level(), 1);
    EXPECT_EQ(a2->Parent(), a);
    EXPECT_EQ(b->Parent(), nullptr);
    EXPECT_EQ(a3->Index(), 2);
    EXPECT_EQ(c->Index(), 2);
    tree.Select(a2);
    tree.Select(a2);  // no change, no handler
    EXPECT_EQ(changes, (std::vector<std::string>{"a2"}));
}

TEST_F(Tree, DeletingTheSelectedNodeMovesTheSelection) {
    tree.Select(a2);
    tree.Delete(a2);  // next sibling
    EXPECT_EQ(tree.Selected(), a3);
    tree.Delete(a3);  // previous sibling
    EXPECT_EQ(tree.Selected(), a1);
    tree.Delete(a1);  // parent
    EXPECT_EQ(tree.Selected(), a);
    tree.Delete(a);  // next top-level node
    EXPECT_EQ(tree.Selected(), b);
    tree.Delete(c);  // not selected: nothing moves
    tree.Delete(b);  // nowhere left
    EXPECT_EQ(tree.Selected(), nullptr);
    EXPECT_EQ(changes, (std::vector<std::string>{"a2", "a3", "a1", "A", "B", "-"}));
    EXPECT_TRUE(tree.Empty());
}

TEST_F(Tree, DeletionTellsEveryNodeChildrenFirst) {
    tree.Select(a1);
    tree.Delete(a);
    EXPECT_EQ(deletions, (std::vector<std::string>{"a1", "a2", "a3", "A"}));
    // The handler learns the new selection only after the node is gone.
    EXPECT_EQ(rec.events, (std::vector<std::string>{"select a1", "remove A", "select B"}));
    EXPECT_EQ(changes.back(), "B");
    EXPECT_FALSE(tree.Contains(a));
}

TEST_F(Tree, OnlyTheOutermostUpdateBracketReachesTheObserver) {
    tree.EndUpdate();  // unpaired: ignored
    tree.BeginUpdate();
    tree.BeginUpdate();
    tree.Add(nullptr, "D", nullptr, 0, 0);
    tree.EndUpdate();
    tree.EndUpdate();
    tree.EndUpdate();
    EXPECT_EQ(rec.events, (std::vector<std::string>{"begin", "add D", "end"}));
}

TEST_F(Tree, ClearDropsTheSelection) {
    tree.Clear();
    EXPECT_TRUE(changes.empty());  // nothing was selected
    a = tree.Add(nullptr, "A", nullptr, 0, 0);
    tree.Select(a);
    tree.Clear();
    EXPECT_EQ(changes.back(), "-");
    EXPECT_EQ(tree.Selected(), nullptr);
    EXPECT_EQ(tree.TopCount(), 0);
}

}  // namespace
}  // namespace vrt::cfg
