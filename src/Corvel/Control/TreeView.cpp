#include "Corvel/Control/TreeView.h"

#include <cwchar>

#include "Corvel/Control/ListBody.h"
#include "Corvel/Control/TreeNode.h"
#include "Corvel/Core/StyleValues.h"

namespace ui {

namespace {

TreeNode* AsNode(Control* c) { return c ? static_cast<TreeNode*>(c->CastTo(L"TreeNode")) : nullptr; }

bool IsNodeClass(Control* c)
{
    const wchar_t* name = c ? c->GetClassName() : nullptr;
    return name && _wcsicmp(name, L"TreeNode") == 0;
}

} // namespace

TreeView::TreeView() = default;

TreeView::~TreeView() = default;

const wchar_t* TreeView::GetClassName() const { return L"TreeView"; }

void* TreeView::CastTo(const wchar_t* typeName)
{
    if (wcscmp(typeName, L"TreeView") == 0)
        return this;
    return List::CastTo(typeName);
}

void TreeView::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name && wcscmp(name, L"nodepadding") == 0) {
        m_nodePadding = ParseInt(value);
        return;
    }
    List::SetAttribute(name, value);
}

bool TreeView::AddNode(TreeNode* node)
{
    if (!IsNodeClass(node))
        return false;
    if (!List::AppendChild(node))
        return false;
    node->SetView(this);
    for (int i = 0; i < node->GetChildNodeCount(); ++i)
        AddNode(node->GetChildNode(i));
    return true;
}

bool TreeView::InsertBefore(TreeNode* node, TreeNode* existing)
{
    const int row = existing ? m_body->IndexOfChild(existing) : -1;
    if (!RowAt(row))
        return false;
    return InsertAt(node, row);
}

bool TreeView::InsertAt(TreeNode* node, int row)
{
    if (!IsNodeClass(node) || !RowAt(row))
        return false;
    if (!List::InsertChildAt(node, row))
        return false;
    node->SetView(this);
    int next = m_body->IndexOfChild(node) + 1;
    InsertDescendants(node, next);
    return true;
}

void TreeView::InsertDescendants(TreeNode* node, int& row)
{
    for (int i = 0; i < node->GetChildNodeCount(); ++i) {
        TreeNode* child = node->GetChildNode(i);
        if (!List::InsertChildAt(child, row))
            continue;
        child->SetView(this);
        ++row;
        InsertDescendants(child, row);
    }
}

bool TreeView::RemoveSubtree(TreeNode* node)
{
    if (!node)
        return false;
    while (node->GetChildNodeCount() > 0)
        RemoveSubtree(node->GetChildNode(node->GetChildNodeCount() - 1));
    // Its parent keeps no pointer to a node about to be deleted.
    if (TreeNode* parent = node->GetParentNode())
        parent->DetachChildNode(node);
    node->SetView(nullptr);
    const int row = m_body->IndexOfChild(node);
    if (row >= 0)
        List::RemoveChildAt(row);
    return true;
}

void TreeView::SetDescendantsVisible(bool visible, TreeNode* node)
{
    if (node) {
        for (int i = 0; i < node->GetChildNodeCount(); ++i) {
            TreeNode* child = node->GetChildNode(i);
            child->SetVisible(visible);
            if (child->GetChildNodeCount() > 0)
                SetDescendantsVisible(visible, child);
        }
        return;
    }
    for (int i = 0; i < m_body->ChildCount(); ++i) {
        TreeNode* row = AsNode(m_body->ChildAt(i));
        if (row && row->GetChildNodeCount() > 0)
            SetDescendantsVisible(visible, row);
    }
}

bool TreeView::AppendChild(Control* child)
{
    TreeNode* node = AsNode(child);
    if (node && !node->GetParentNode())
        return AddNode(node);
    return List::AppendChild(child);
}

bool TreeView::RemoveChildAt(int index)
{
    Control* row = m_body->ChildAt(index);
    if (!row)
        return false;
    if (TreeNode* node = AsNode(row))
        return RemoveSubtree(node);
    return List::RemoveChildAt(index);
}

} // namespace ui
