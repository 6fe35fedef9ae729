// Tree view: a list whose rows are tree nodes, kept in the list body in
// depth-first order, so selection, keys, scrolling and row painting are the
// list's. UI thread only.
#pragma once

#include "Corvel/Control/List.h"

namespace ui {

class TreeNode;

class TreeView : public List {
public:
    TreeView();
    ~TreeView() override;

    const wchar_t* GetClassName() const override;
    void* CastTo(const wchar_t* typeName) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

    // Appends the node and then its descendants as the last rows.
    virtual bool AddNode(TreeNode* node);
    // InsertAt the row of `existing`; false when that is not a row.
    virtual bool InsertBefore(TreeNode* node, TreeNode* existing);
    // Inserts the node at an existing row and its descendants right after
    // it; false when no row is at `row` (AddNode appends).
    virtual bool InsertAt(TreeNode* node, int row);
    // The node's descendants and then the node leave their parents' child
    // lists and the rows (and are deleted with them).
    virtual bool RemoveSubtree(TreeNode* node);
    // Shows or hides the descendants of `node`, or of every row with child
    // nodes when `node` is null.
    virtual void SetDescendantsVisible(bool visible, TreeNode* node);

    // A node without a parent node joins through AddNode (the way markup
    // adds the top-level nodes); anything else as the list.
    bool AppendChild(Control* child) override;
    // The node at the row goes with its subtree; false for a missing row.
    bool RemoveChildAt(int index) override;

    // Indentation per depth level, skin units.
    int GetNodePadding() const { return m_nodePadding; }

private:
    void InsertDescendants(TreeNode* node, int& row);

    // Skin units of indentation per level.
    static constexpr int kDefaultNodePadding = 12;
    int m_nodePadding = kDefaultNodePadding;
};

} // namespace ui
