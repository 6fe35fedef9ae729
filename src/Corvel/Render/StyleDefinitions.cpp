// Style records: elements, state entries and groups, with their
// replace-by-name rules and deep copies.
#include "Corvel/Render/StyleDefinitions.h"

#include <atomic>
#include <cwchar>

namespace ui {

namespace {

struct TagKind {
    const wchar_t* tag;
    int kind;
};

constexpr TagKind kElementKinds[] = {
    {L"Image", kElementImage},
    {L"Text", kElementText},
    {L"Shape", kElementShape},
    {L"Path", kElementPath},
};

constexpr TagKind kGeometryKinds[] = {
    {L"Points", kGeometryPoints},
    {L"Rect", kGeometryRect},
    {L"Arc", kGeometryArc},
    {L"Pie", kGeometryPie},
    {L"Round", kGeometryRound},
};

template <size_t N>
int KindOfTag(const wchar_t* tag, const TagKind (&table)[N], int otherwise)
{
    for (const TagKind& entry : table) {
        if (wcscmp(tag, entry.tag) == 0)
            return entry.kind;
    }
    return otherwise;
}

// Numbers the unnamed elements of the process. An element's address would
// repeat once it is freed and its memory reused, so a later unnamed element
// could take the name of an earlier one still held by a copy.
std::atomic<unsigned> g_unnamedElementCounter{0};

CUiString DefaultElementName(const wchar_t* tag)
{
    CUiString name;
    name.Format(L"%s_%x", tag, ++g_unnamedElementCounter);
    return name;
}

// Puts `item` in the slot of the item with the same name, destroying that
// one, or appends it.
template <class T>
void ReplaceOrAppend(std::vector<std::unique_ptr<T>>& items, std::unique_ptr<T> item)
{
    for (auto& slot : items) {
        if (slot->GetName().Equals(item->GetName())) {
            slot = std::move(item);
            return;
        }
    }
    items.push_back(std::move(item));
}

} // namespace

// ------------------------------------------------------------ StyleElement

StyleElement::StyleElement(const wchar_t* name, const wchar_t* tag, Form form)
    : m_tag(tag ? tag : L""), m_nameGiven(name && *name), m_form(form)
{
    m_name = (name && *name) ? CUiString(name) : DefaultElementName(m_tag.GetData());
    m_kind = form == Form::kElement ? KindOfTag(m_tag.GetData(), kElementKinds, kElementApplication)
                                    : KindOfTag(m_tag.GetData(), kGeometryKinds, kGeometryOther);
}

void StyleElement::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value)
        return;
    for (Attribute& attribute : m_attributes) {
        if (attribute.name.Equals(name)) {
            attribute.value = value;
            return;
        }
    }
    m_attributes.push_back(Attribute{CUiString(name), CUiString(value)});
}

const wchar_t* StyleElement::GetAttribute(const wchar_t* name) const
{
    if (!name)
        return nullptr;
    for (const Attribute& attribute : m_attributes) {
        if (attribute.name.Equals(name))
            return attribute.value.GetData();
    }
    return nullptr;
}

bool StyleElement::AddChild(std::unique_ptr<StyleElement> child)
{
    if (!child || m_form != Form::kElement)
        return false;
    ReplaceOrAppend(m_children, std::move(child));
    return true;
}

std::unique_ptr<StyleElement> StyleElement::Clone() const
{
    auto copy = std::make_unique<StyleElement>(m_name.GetData(), m_tag.GetData(), m_form);
    copy->m_nameGiven = m_nameGiven;
    copy->m_attributes = m_attributes;
    for (const auto& child : m_children)
        copy->AddChild(child->Clone());
    return copy;
}

// -------------------------------------------------------------- StyleEntry

StyleEntry::StyleEntry(const wchar_t* name) : m_name(name ? name : L"") {}

bool StyleEntry::AddElement(std::unique_ptr<StyleElement> element)
{
    if (!element)
        return false;
    ReplaceOrAppend(m_elements, std::move(element));
    return true;
}

void StyleEntry::CopyElementsFrom(const StyleEntry& source)
{
    if (&source == this)
        return;
    for (const auto& element : source.m_elements)
        AddElement(element->Clone());
}

const StyleElement* StyleEntry::FindElement(const wchar_t* name) const
{
    if (!name)
        return nullptr;
    for (const auto& element : m_elements) {
        if (element->GetName().Equals(name))
            return element.get();
    }
    return nullptr;
}

std::unique_ptr<StyleEntry> StyleEntry::Clone(const wchar_t* name) const
{
    auto copy = std::make_unique<StyleEntry>(name ? name : m_name.GetData());
    copy->CopyElementsFrom(*this);
    return copy;
}

// -------------------------------------------------------------- StyleGroup

bool StyleGroup::Add(const wchar_t* name, std::unique_ptr<StyleEntry> entry)
{
    if (!name || !entry)
        return false;
    auto found = m_byName.find(name);
    if (found == m_byName.end()) {
        m_byName.emplace(name, entry.get());
        m_entries.push_back(std::move(entry));
        return true;
    }
    for (auto& slot : m_entries) {
        if (slot.get() == found->second) {
            found->second = entry.get();
            slot = std::move(entry);
            break;
        }
    }
    return true;
}

bool StyleGroup::AddForStateList(const wchar_t* names, std::unique_ptr<StyleEntry> entry)
{
    if (!names || !entry)
        return false;
    std::vector<std::wstring> pieces;
    for (const wchar_t* piece = names;;) {
        const wchar_t* end = wcschr(piece, L',');
        std::wstring text = end ? std::wstring(piece, end) : std::wstring(piece);
        if (!text.empty())
            pieces.push_back(std::move(text));
        if (!end)
            break;
        piece = end + 1;
    }
    if (pieces.empty())
        return false;
    // Copies first: the entry moves into the group with the first piece.
    std::vector<std::unique_ptr<StyleEntry>> copies;
    for (size_t i = 1; i < pieces.size(); ++i)
        copies.push_back(entry->Clone(pieces[i].c_str()));
    if (!entry->GetName().Equals(pieces[0].c_str()))
        entry = entry->Clone(pieces[0].c_str());
    Add(pieces[0].c_str(), std::move(entry));
    for (size_t i = 1; i < pieces.size(); ++i)
        Add(pieces[i].c_str(), std::move(copies[i - 1]));
    return true;
}

void StyleGroup::CopyEntriesFrom(const StyleGroup& source)
{
    if (&source == this)
        return;
    for (const auto& entry : source.m_entries)
        Add(entry->GetName().GetData(), entry->Clone());
}

StyleEntry* StyleGroup::Find(const wchar_t* name) const
{
    if (!name)
        return nullptr;
    auto found = m_byName.find(name);
    return found == m_byName.end() ? nullptr : found->second;
}

StyleEntry* StyleGroup::GetAt(int index) const
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return m_entries[static_cast<size_t>(index)].get();
}

} // namespace ui
