// The records a skin's "Styles" elements are read into: a group of state
// entries, each a list of drawing elements with their attribute texts. Pure
// data with replace-by-name semantics and deep copies (styles inherit from
// one another); nothing is drawn from them directly — StyleSet::Build turns
// a group into painters (StylePainters.h). UI thread only.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Corvel/Core/UiString.h"
#include "Corvel/Render/TimeLine.h"

namespace ui {

// Kind of a drawing element, from its tag ("Image", "Text", "Shape", "Path";
// any other tag is drawn by the application, e.g. "Action").
enum StyleElementKind : int {
    kElementApplication = 1,
    kElementImage = 2,
    kElementText = 3,
    kElementShape = 4,
    kElementPath = 5,
};

// Kind of a geometry child of a "Path" element, from its tag.
enum StyleGeometryKind : int {
    kGeometryOther = 1,
    kGeometryPoints = 2,
    kGeometryRect = 3,
    kGeometryArc = 4,
    kGeometryPie = 5,
    kGeometryRound = 6,
};

// One drawing element of a state ("Shape", "Text", ...), or one geometry
// child of a "Path" element ("Points", "Rect", ...). Tags are compared
// exactly, case included.
class StyleElement {
public:
    enum class Form {
        kElement,  // drawing element; may hold geometry children
        kGeometry, // geometry child; never holds children
    };
    struct Attribute {
        CUiString name;
        CUiString value;
    };

    // Null or empty name: a name of its own, "<tag>_<hex number>", unique in
    // the process, so unnamed elements never replace one another.
    StyleElement(const wchar_t* name, const wchar_t* tag, Form form = Form::kElement);
    StyleElement(const StyleElement&) = delete;
    StyleElement& operator=(const StyleElement&) = delete;

    const CUiString& GetName() const { return m_name; }
    // False when the name was generated (the markup gave none).
    bool HasGivenName() const { return m_nameGiven; }
    const CUiString& GetTag() const { return m_tag; }
    // StyleElementKind for the element form, StyleGeometryKind for geometry.
    int GetKind() const { return m_kind; }
    Form GetForm() const { return m_form; }

    // Null name or value: ignored. An existing attribute's text is replaced
    // where it stands; a new one is appended (markup order is kept, and
    // painters apply the attributes in that order).
    void SetAttribute(const wchar_t* name, const wchar_t* value);
    // Null when absent.
    const wchar_t* GetAttribute(const wchar_t* name) const;
    const std::vector<Attribute>& GetAttributes() const { return m_attributes; }

    // Takes ownership. Null, or any child of a geometry-form element, is
    // refused (false; the child is destroyed). A child named like an
    // existing one takes its slot and the old one is destroyed; otherwise it
    // is appended.
    bool AddChild(std::unique_ptr<StyleElement> child);
    const std::vector<std::unique_ptr<StyleElement>>& GetChildren() const { return m_children; }

    // Deep copy: same name, tag, attributes and children.
    std::unique_ptr<StyleElement> Clone() const;

private:
    CUiString m_name;
    CUiString m_tag;
    bool m_nameGiven;
    Form m_form;
    int m_kind;
    std::vector<Attribute> m_attributes;
    std::vector<std::unique_ptr<StyleElement>> m_children;
};

// One "Style" element: the look of one state. The name may join several
// states with "|" ("hot|focused" is one entry of mask 48).
class StyleEntry {
public:
    explicit StyleEntry(const wchar_t* name);
    StyleEntry(const StyleEntry&) = delete;
    StyleEntry& operator=(const StyleEntry&) = delete;

    const CUiString& GetName() const { return m_name; }

    // Takes ownership; the same replace-or-append rule as
    // StyleElement::AddChild, matching by element name. Null: false.
    bool AddElement(std::unique_ptr<StyleElement> element);
    // Copies every element of `source` (attributes and geometry children
    // included) with AddElement: what an "Inherit" element does.
    void CopyElementsFrom(const StyleEntry& source);
    // Null when absent.
    const StyleElement* FindElement(const wchar_t* name) const;
    const std::vector<std::unique_ptr<StyleElement>>& GetElements() const { return m_elements; }

    // Deep copy under another name (null: the same name).
    std::unique_ptr<StyleEntry> Clone(const wchar_t* name = nullptr) const;

private:
    CUiString m_name;
    std::vector<std::unique_ptr<StyleElement>> m_elements;
};

// One "Styles" element: state entries in the order they were added, and
// the same entries by name.
class StyleGroup {
public:
    StyleGroup() = default;
    StyleGroup(const StyleGroup&) = delete;
    StyleGroup& operator=(const StyleGroup&) = delete;

    // Takes ownership. A new name appends the entry; a known name puts the
    // entry in the old entry's slot and destroys the old one. Null name or
    // entry: false (the entry is destroyed).
    bool Add(const wchar_t* name, std::unique_ptr<StyleEntry> entry);
    // A "Style" whose name lists states with ",": the entry (named after
    // the first piece) goes in under that piece and a deep copy under each
    // further piece. Empty pieces are skipped. False when no piece names
    // anything.
    bool AddForStateList(const wchar_t* names, std::unique_ptr<StyleEntry> entry);
    // Deep copies of every entry of `source` ("inherit" of a "Styles").
    void CopyEntriesFrom(const StyleGroup& source);

    // Borrowed; null when absent.
    StyleEntry* Find(const wchar_t* name) const;
    int GetCount() const { return static_cast<int>(m_entries.size()); }
    // Borrowed; null out of range.
    StyleEntry* GetAt(int index) const;
    const std::vector<std::unique_ptr<StyleEntry>>& GetEntries() const { return m_entries; }

private:
    std::vector<std::unique_ptr<StyleEntry>> m_entries;
    std::unordered_map<std::wstring, StyleEntry*, WideKeyHash> m_byName;
};

} // namespace ui
