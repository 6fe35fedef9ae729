// One node of a tree view: a list row that knows its parent node, its child
// nodes, its depth and its view. The view keeps every node as one flat row
// of its list body, depth-first; collapsing a node hides its descendants'
// rows. Indentation, the folder button ("Expand") and the check box
// ("Select") are ordinary controls inside the node's item box, found by
// name. UI thread only.
#pragma once

#include <vector>

#include "Corvel/Control/ListItem.h"

namespace ui {

class HBox;
class TreeView;

class TreeNode : public ListItem {
public:
    // `parent` (may be null) only sets the depth; the parent's AppendChild
    // makes the link.
    explicit TreeNode(TreeNode* parent = nullptr);
    // Outside a view the node holds its child nodes and deletes them; in a
    // view they are rows of the body, which deletes them.
    ~TreeNode() override;

    const wchar_t* GetClassName() const override;
    void* CastTo(const wchar_t* typeName) override;
    void SetVisible(bool show) override;
    void CompleteInit() override;
    bool HandleEvent(InputEvent* event) override;

    // A node becomes a child node (false for a node that is in a tree or
    // has another parent: it leaves that first); any other control goes
    // into the node's own box.
    bool AppendChild(Control* child) override;
    // Child nodes only: before the child node now at `index`, or last.
    bool InsertChildAt(Control* child, int index) override;
    // A child node leaves the child list (and, in a view, its rows go with
    // its descendants'). Without a view the caller owns the removed node and
    // its subtree. Other controls leave the node's own box.
    bool RemoveChild(Control* child) override;

    bool IsExpanded() const { return m_expanded; }
    // `fromButton`: the expand control itself asked, so its own selected
    // state is left alone.
    void SetExpanded(bool expanded, bool fromButton);
    int GetDepth() const { return m_depth; }
    // Borrowed; owned by the node's box.
    HBox* GetItemBox() const { return m_itemBox; }
    // Borrowed; null until the node joins a view.
    TreeView* GetView() const { return m_view; }
    void SetView(TreeView* view) { m_view = view; }
    TreeNode* GetParentNode() const { return m_parentNode; }
    int GetChildNodeCount() const { return static_cast<int>(m_childNodes.size()); }
    // Null for an index outside the child list.
    TreeNode* GetChildNode(int index) const;
    // The deepest last node of the subtree; the node itself without children.
    TreeNode* LastDescendant();
    // Takes a child node out of the child list only (the view removes rows).
    bool DetachChildNode(TreeNode* child);
    // Borrowed controls found at initialisation; null when absent.
    Control* GetExpandControl() const { return m_expandControl; }
    Control* GetSelectControl() const { return m_selectControl; }

private:
    bool AddChildNode(TreeNode* child);
    // Depth from the parent chain, for the node and its subtree.
    void RecountDepth();
    void ApplyIndentation();

    bool m_expanded = true;
    int m_depth = 0;
    HBox* m_itemBox = nullptr;
    Control* m_expandControl = nullptr;
    Control* m_selectControl = nullptr;
    Control* m_paddingControl = nullptr;
    TreeView* m_view = nullptr;
    TreeNode* m_parentNode = nullptr;
    std::vector<TreeNode*> m_childNodes;
};

} // namespace ui
