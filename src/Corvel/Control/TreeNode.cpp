#include "Corvel/Control/TreeNode.h"

#include <algorithm>
#include <cwchar>

#include "Corvel/Control/HBox.h"
#include "Corvel/Control/ListBody.h"
#include "Corvel/Control/TreeView.h"

namespace ui {

namespace {

TreeNode* AsNode(Control* c) { return c ? static_cast<TreeNode*>(c->CastTo(L"TreeNode")) : nullptr; }

// The first control of the subtree (the root included) named `name`,
// ignoring case.
Control* FindByNameNoCase(Control* root, const wchar_t* name)
{
    if (!root)
        return nullptr;
    if (root->GetName().EqualsNoCase(name))
        return root;
    auto* box = static_cast<IBox*>(root->CastTo(L"IBox"));
    if (!box)
        return nullptr;
    for (int i = 0; i < box->ChildCount(); ++i) {
        if (Control* found = FindByNameNoCase(box->ChildAt(i), name))
            return found;
    }
    return nullptr;
}

} // namespace

TreeNode::TreeNode(TreeNode* parent) : m_parentNode(parent)
{
    ParseTextStyle(L"left");
    m_itemBox = new HBox();
    Box::AppendChild(m_itemBox);
    // Presses on the item box reach the node.
    m_itemBox->SetAttribute(L"hole", L"true");
    m_itemBox->SetPassThrough(true);
    RecountDepth();
}

TreeNode::~TreeNode()
{
    // A node outside any view holds its child nodes (they are in no view
    // either); in a view they are rows of the body, which deletes them.
    if (m_view)
        return;
    for (TreeNode* child : m_childNodes)
        delete child;
}

const wchar_t* TreeNode::GetClassName() const { return L"TreeNode"; }

void* TreeNode::CastTo(const wchar_t* typeName)
{
    if (wcscmp(typeName, L"TreeNode") == 0)
        return this;
    if (wcscmp(typeName, L"ListItem") == 0)
        return static_cast<ListItem*>(this);
    return Box::CastTo(typeName);
}

TreeNode* TreeNode::GetChildNode(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_childNodes.size()))
        return nullptr;
    return m_childNodes[static_cast<size_t>(index)];
}

TreeNode* TreeNode::LastDescendant()
{
    TreeNode* node = this;
    while (!node->m_childNodes.empty())
        node = node->m_childNodes.back();
    return node;
}

void TreeNode::RecountDepth()
{
    int depth = 0;
    for (TreeNode* p = m_parentNode; p; p = p->m_parentNode)
        ++depth;
    m_depth = depth;
    for (TreeNode* child : m_childNodes)
        child->RecountDepth();
}

bool TreeNode::DetachChildNode(TreeNode* child)
{
    auto it = std::find(m_childNodes.begin(), m_childNodes.end(), child);
    if (it == m_childNodes.end())
        return false;
    m_childNodes.erase(it);
    child->m_parentNode = nullptr;
    return true;
}

bool TreeNode::AddChildNode(TreeNode* child)
{
    // A node in a tree leaves it first; one with another parent likewise.
    if (!child || child == this || child->m_view ||
        (child->m_parentNode && child->m_parentNode != this) ||
        std::find(m_childNodes.begin(), m_childNodes.end(), child) != m_childNodes.end())
        return false;
    TreeNode* formerParent = child->m_parentNode;
    const bool fresh = child->m_view == nullptr;
    child->m_parentNode = this;
    child->m_view = m_view;
    // A node built before it joined a tree (markup builds children first)
    // counts its depth, and its subtree's, here.
    if (fresh)
        child->RecountDepth();
    if (m_view) {
        ListBody* body = m_view->GetBody();
        const int rows = body->ChildCount();
        const TreeNode* after = m_childNodes.empty() ? this : m_childNodes.back()->LastDescendant();
        const int row = body->IndexOfChild(const_cast<TreeNode*>(after));
        const bool ok = row == rows - 1 ? m_view->AddNode(child) : m_view->InsertAt(child, row + 1);
        if (!ok) {
            child->m_parentNode = formerParent;
            child->m_view = nullptr;
            return false;
        }
    }
    m_childNodes.push_back(child);
    return true;
}

bool TreeNode::AppendChild(Control* child)
{
    if (TreeNode* node = AsNode(child))
        return AddChildNode(node);
    return ListItem::AppendChild(child);
}

bool TreeNode::InsertChildAt(Control* child, int index)
{
    TreeNode* node = AsNode(child);
    if (!node || node == this || node->m_view || (node->m_parentNode && node->m_parentNode != this))
        return false;
    TreeNode* before = GetChildNode(index);
    if (!before)
        return AddChildNode(node);
    node->m_parentNode = this;
    node->m_view = m_view;
    if (m_view && !m_view->InsertBefore(node, before)) {
        node->m_parentNode = nullptr;
        node->m_view = nullptr;
        return false;
    }
    m_childNodes.insert(m_childNodes.begin() + index, node);
    return true;
}

bool TreeNode::RemoveChild(Control* child)
{
    TreeNode* node = AsNode(child);
    if (!node)
        return ListItem::RemoveChild(child);
    if (std::find(m_childNodes.begin(), m_childNodes.end(), node) == m_childNodes.end())
        return false;
    if (m_view)
        return m_view->RemoveSubtree(node);
    return DetachChildNode(node);
}

void TreeNode::SetExpanded(bool expanded, bool fromButton)
{
    if (expanded == m_expanded)
        return;
    m_expanded = expanded;
    if (!fromButton && m_expandControl)
        m_expandControl->SetSelected(expanded);
    for (TreeNode* child : m_childNodes)
        child->SetVisible(expanded);
}

void TreeNode::SetVisible(bool show)
{
    ListItem::SetVisible(show);
    if (m_childNodes.empty() || (show && !m_expanded))
        return;
    for (TreeNode* child : m_childNodes)
        child->SetVisible(show);
}

void TreeNode::CompleteInit()
{
    ListItem::CompleteInit();
    ApplyIndentation();
    m_expandControl = FindByNameNoCase(m_itemBox, L"Expand");
    m_selectControl = FindByNameNoCase(m_itemBox, L"Select");
    if (m_expandControl) {
        m_expandControl->SetSelected(m_expanded);
        m_expandControl->SetClickHandler([this] { SetExpanded(!m_expanded, true); });
    }
}

void TreeNode::ApplyIndentation()
{
    if (m_depth <= 0 || !m_view || m_view->GetNodePadding() == 0)
        return;
    const float w = static_cast<float>(m_depth * m_view->GetNodePadding());
    m_paddingControl = FindByNameNoCase(m_itemBox, L"Padding");
    if (m_paddingControl) {
        if (m_paddingControl->GetRawFixedWidth() < 0)
            m_paddingControl->SetFixedWidth(w);
    } else {
        m_itemBox->SetContentInset(RECTF{w, 0, 0, 0});
    }
    m_textPadding[0] = w;
    m_textPadding[1] = m_textPadding[2] = m_textPadding[3] = 0;
    Repaint();
}

bool TreeNode::HandleEvent(InputEvent* event)
{
    const bool mouse = event->type >= kEventMouseMove && event->type <= kEventScrollWheel;
    if (mouse && !IsMouseEnabled() && m_owner)
        return m_owner->ForwardEvent(event);
    if (event->type == kEventDblClick) {
        if (!IsEnabled())
            return true;
        SetExpanded(!m_expanded, false);
    }
    return ListItem::HandleEvent(event);
}

} // namespace ui
