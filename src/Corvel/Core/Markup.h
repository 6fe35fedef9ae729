// The UI library's small XML reader for skins, style sheets and string
// tables. A document keeps its whole text in one wide buffer and cuts names,
// attribute values and contents out of it in place; elements are a flat
// array of index-linked records.
#pragma once

#include <cstdint>

namespace ui {

class MarkupDocument;

// Cursor on one element. Attributes are split out of the text on first use.
class MarkupNode {
public:
    static constexpr int kMaxAttributes = 64;

    MarkupNode() = default;
    MarkupNode(MarkupDocument* document, uint32_t element);

    bool IsValid() const;
    uint32_t GetIndex() const { return m_element; }

    MarkupNode GetParent() const;
    MarkupNode GetChild() const;
    MarkupNode GetSibling() const;
    bool HasChildren() const;

    // Element name and content; empty texts for an invalid node.
    const wchar_t* GetName() const;
    const wchar_t* GetValue() const;

    void SplitAttributes();
    int GetAttributeCount();
    const wchar_t* GetAttributeName(int index);
    const wchar_t* GetAttributeValue(int index);
    // Value of the first attribute called exactly `name`; an empty text when
    // there is none, null when the node has no document.
    const wchar_t* LookupAttribute(const wchar_t* name);
    bool HasAttribute(const wchar_t* name);
    bool HasNameAttribute();

private:
    struct AttributePair {
        uint32_t name;   // offsets into the document text
        uint32_t value;
    };

    int FindAttribute(const wchar_t* name);

    uint32_t m_element = 0;
    uint32_t m_attributeCount = 0;
    AttributePair m_attributes[kMaxAttributes] = {};
    MarkupDocument* m_document = nullptr;
    bool m_split = false;
};

class MarkupDocument {
public:
    // One element record; indexes are positions in the element array, 0 for
    // none. Element 0 is reserved; the document's root is element 1.
    struct Element {
        uint32_t nameOffset;
        uint32_t firstChild;
        uint32_t nextSibling;
        uint32_t parent;
        uint32_t dataOffset;
    };

    // Files larger than this are refused.
    static constexpr uint32_t kMaxFileSize = 4 * 1024 * 1024;

    explicit MarkupDocument(bool preserveWhitespace = true);
    ~MarkupDocument();
    MarkupDocument(const MarkupDocument&) = delete;
    MarkupDocument& operator=(const MarkupDocument&) = delete;

    // Each replaces the previous content; on failure the document is empty
    // and the error message and location say why.
    bool ParseText(const wchar_t* text);
    bool ParseUtf8(const uint8_t* bytes, uint32_t size);
    // From the skin archive when one is open, else from the UI resource
    // folder followed by `name`.
    bool LoadSkinFile(const wchar_t* name);

    void Release();
    bool IsValid() const { return m_elementCount > 1; }
    MarkupNode GetRoot();

    const wchar_t* GetErrorMessage() const { return m_errorMessage; }
    const wchar_t* GetErrorLocation() const { return m_errorLocation; }

    void SetPreserveWhitespace(bool preserve) { m_preserveWhitespace = preserve; }
    bool GetPreserveWhitespace() const { return m_preserveWhitespace; }

    uint32_t GetElementCount() const { return m_elementCount; }
    const Element* GetElement(uint32_t index) const;
    const wchar_t* GetText() const { return m_text; }

private:
    bool Parse(uint32_t length);
    bool Fail(const wchar_t* message, const wchar_t* location);
    bool FailLoad(const wchar_t* message);
    bool Grow();
    wchar_t* ParseData(wchar_t*& p, wchar_t stop);

    wchar_t* m_text = nullptr;
    Element* m_elements = nullptr;
    uint32_t m_elementCount = 0;
    uint32_t m_elementCapacity = 0;
    wchar_t m_errorMessage[100] = {};
    wchar_t m_errorLocation[50] = {};
    bool m_preserveWhitespace = true;
    const wchar_t* m_end = nullptr;  // the text's terminator while parsing
};

} // namespace ui
