#include "Corvel/Core/Markup.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <vector>

#include "Corvel/Core/ArchiveReader.h"
#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/UiString.h"

namespace ui {
namespace {

const wchar_t kExpectedStartTag[] = L"Expected start tag";
const wchar_t kBadElementName[] = L"Error parsing element name";
const wchar_t kExpectedStartTagClosing[] = L"Expected start-tag closing";
const wchar_t kExpectedEndTagStart[] = L"Expected end-tag start";
const wchar_t kUnmatchedClosingTag[] = L"Unmatched closing tag";
const wchar_t kBadAttributes[] = L"Error while parsing attributes";
const wchar_t kExpectedAttributeValue[] = L"Expected attribute value";
const wchar_t kBadAttributeString[] = L"Error while parsing attribute string";
const wchar_t kOutOfMemory[] = L"Out of memory";
const wchar_t kNotInArchive[] = L"Could not find ziped file";
const wchar_t kFileEmpty[] = L"File is empty";
const wchar_t kCannotUnzip[] = L"Could not unzip file";
const wchar_t kFileTooLarge[] = L"File too large";
const wchar_t kCannotOpen[] = L"Error opening file";
const wchar_t kCannotRead[] = L"Could not read file";

bool IsSpace(wchar_t c)
{
    return c <= 32;
}

bool IsNameChar(wchar_t c)
{
    if (c == L'_' || c == L':' || c == L'-' || c == L'.')
        return true;
    if (c < 0x80)
        return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
    // Surrogate halves are kept together inside a name.
    if (c >= 0xD800 && c <= 0xDFFF)
        return true;
    return iswalnum(c) != 0;
}

bool StartsWith(const wchar_t* p, const wchar_t* end, const wchar_t* prefix)
{
    for (; *prefix; ++p, ++prefix)
        if (p >= end || *p != *prefix)
            return false;
    return true;
}

// First occurrence of `needle` in [p, end), or null.
wchar_t* FindText(wchar_t* p, const wchar_t* end, const wchar_t* needle)
{
    for (; p < end; ++p)
        if (StartsWith(p, end, needle))
            return p;
    return nullptr;
}

struct Entity {
    const wchar_t* text;
    size_t length;
    wchar_t ch;
};
const Entity kEntities[] = {
    {L"&amp;", 5, L'&'}, {L"&apos;", 6, L'\''}, {L"&lt;", 4, L'<'}, {L"&gt;", 4, L'>'}, {L"&quot;", 6, L'"'},
};

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : m_handle(h) {}
    ~FileHandle()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

} // namespace

// ---------------------------------------------------------------------------
// MarkupDocument

MarkupDocument::MarkupDocument(bool preserveWhitespace) : m_preserveWhitespace(preserveWhitespace)
{
}

MarkupDocument::~MarkupDocument()
{
    Release();
}

void MarkupDocument::Release()
{
    std::free(m_text);
    m_text = nullptr;
    std::free(m_elements);
    m_elements = nullptr;
    m_elementCount = 0;
    m_elementCapacity = 0;
    m_end = nullptr;
}

MarkupNode MarkupDocument::GetRoot()
{
    return IsValid() ? MarkupNode(this, 1) : MarkupNode();
}

const MarkupDocument::Element* MarkupDocument::GetElement(uint32_t index) const
{
    return index < m_elementCount ? &m_elements[index] : nullptr;
}

bool MarkupDocument::Fail(const wchar_t* message, const wchar_t* location)
{
    wcsncpy(m_errorMessage, message, 99);
    m_errorMessage[99] = L'\0';
    size_t n = 0;
    if (location != nullptr)
        for (; n < 49 && location + n < m_end && location[n] != L'\0'; ++n)
            m_errorLocation[n] = location[n];
    m_errorLocation[n] = L'\0';
    Release();
    return false;
}

bool MarkupDocument::FailLoad(const wchar_t* message)
{
    Release();
    wcsncpy(m_errorMessage, message, 99);
    m_errorMessage[99] = L'\0';
    m_errorLocation[0] = L'\0';
    return false;
}

bool MarkupDocument::ParseText(const wchar_t* text)
{
    Release();
    if (text == nullptr)
        text = L"";
    const size_t length = wcslen(text);
    if (length >= 0x7FFFFFFF)
        return FailLoad(kFileTooLarge);
    m_text = static_cast<wchar_t*>(std::malloc((length + 1) * sizeof(wchar_t)));
    if (m_text == nullptr)
        return FailLoad(kOutOfMemory);
    std::memcpy(m_text, text, (length + 1) * sizeof(wchar_t));
    return Parse(static_cast<uint32_t>(length));
}

bool MarkupDocument::ParseUtf8(const uint8_t* bytes, uint32_t size)
{
    // Earlier content is dropped here too, so a direct call does not leak it.
    Release();
    if (bytes == nullptr)
        size = 0;
    if (size > 2 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        bytes += 3;
        size -= 3;
    }
    if (size > 0x7FFFFFFF)
        return FailLoad(kFileTooLarge);
    int units = 0;
    if (size > 0) {
        units = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(bytes), static_cast<int>(size),
                                    nullptr, 0);
        if (units < 0)
            units = 0;
    }
    m_text = static_cast<wchar_t*>(std::malloc((static_cast<size_t>(units) + 1) * sizeof(wchar_t)));
    if (m_text == nullptr)
        return FailLoad(kOutOfMemory);
    if (units > 0)
        units = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(bytes), static_cast<int>(size), m_text,
                                    units);
    m_text[units > 0 ? units : 0] = L'\0';
    // A NUL inside the bytes ends the document.
    return Parse(static_cast<uint32_t>(wcslen(m_text)));
}

bool MarkupDocument::LoadSkinFile(const wchar_t* name)
{
    Release();
    if (name == nullptr)
        name = L"";

    if (ArchiveHandle archive = GetSkinArchive()) {
        int32_t index = -1;
        ArchiveEntry entry;
        if (FindArchiveEntry(archive, name, 0, &index, &entry) != ARCHIVE_OK)
            return FailLoad(kNotInArchive);
        if (entry.uncompressedSize == 0)
            return FailLoad(kFileEmpty);
        if (entry.uncompressedSize > kMaxFileSize)
            return FailLoad(kFileTooLarge);
        std::vector<uint8_t> bytes;
        try {
            bytes.resize(entry.uncompressedSize);
        } catch (const std::bad_alloc&) {
            return FailLoad(kOutOfMemory);
        }
        const uint32_t status = ExtractArchiveEntry(archive, index, bytes.data(), entry.uncompressedSize);
        if (status != ARCHIVE_OK && status != ARCHIVE_MORE_DATA)
            return FailLoad(kCannotUnzip);
        return ParseUtf8(bytes.data(), entry.uncompressedSize);
    }

    CUiString path(GetUiResourcePath());
    path.Append(name);
    FileHandle file(CreateFileW(path.GetData(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        return FailLoad(kCannotOpen);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        return FailLoad(kCannotRead);
    if (size.QuadPart == 0)
        return FailLoad(kFileEmpty);
    if (size.QuadPart > static_cast<LONGLONG>(kMaxFileSize))
        return FailLoad(kFileTooLarge);
    const DWORD total = static_cast<DWORD>(size.QuadPart);
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(total);
    } catch (const std::bad_alloc&) {
        return FailLoad(kOutOfMemory);
    }
    DWORD done = 0;
    while (done < total) {
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data() + done, total - done, &got, nullptr) || got == 0)
            return FailLoad(kCannotRead);
        done += got;
    }
    return ParseUtf8(bytes.data(), total);
}

bool MarkupDocument::Grow()
{
    if (m_elementCount < m_elementCapacity)
        return true;
    const uint64_t capacity = static_cast<uint64_t>(m_elementCapacity) / 2 + m_elementCapacity + 500;
    if (capacity > 0x7FFFFFFF / sizeof(Element))
        return false;
    void* grown = std::realloc(m_elements, static_cast<size_t>(capacity) * sizeof(Element));
    if (grown == nullptr)
        return false;
    m_elements = static_cast<Element*>(grown);
    m_elementCapacity = static_cast<uint32_t>(capacity);
    return true;
}

// Copies the text up to `stop` towards the front, decoding the five named
// entities; the gap left behind is filled with spaces. Returns where the
// copied text ends; `p` is left on the stop character or the end.
wchar_t* MarkupDocument::ParseData(wchar_t*& p, wchar_t stop)
{
    wchar_t* out = p;
    while (p < m_end && *p != stop) {
        if (*p == L'&') {
            bool decoded = false;
            for (const Entity& e : kEntities) {
                if (StartsWith(p, m_end, e.text)) {
                    *out++ = e.ch;
                    p += e.length;
                    decoded = true;
                    break;
                }
            }
            if (decoded)
                continue;
        } else if (*p == L' ') {
            *out++ = *p++;
            if (!m_preserveWhitespace)
                while (p < m_end && *p != stop && IsSpace(*p))
                    ++p;
            continue;
        }
        *out++ = *p++;
    }
    for (wchar_t* gap = out; gap < p; ++gap)
        *gap = L' ';
    return out;
}

bool MarkupDocument::Parse(uint32_t length)
{
    m_end = m_text + length;
    m_errorMessage[0] = L'\0';
    m_errorLocation[0] = L'\0';
    m_elementCount = 0;
    m_elementCapacity = 0;
    if (!Grow())
        return Fail(kOutOfMemory, nullptr);
    m_elements[0] = Element{0, 0, 0, 0, 0};
    m_elementCount = 1;

    // Open elements, innermost last; the bottom frame is the document level.
    // An explicit stack keeps deep nesting from exhausting the thread stack.
    struct Frame {
        uint32_t element;
        uint32_t nameLength;
        uint32_t lastChild;
    };
    std::vector<Frame> open;
    try {
        open.push_back(Frame{0, 0, 0});
    } catch (const std::bad_alloc&) {
        return Fail(kOutOfMemory, nullptr);
    }

    wchar_t* p = m_text;
    wchar_t* const end = m_text + length;
    if (p < end && *p == 0xFEFF)
        ++p;

    auto skipSpace = [&]() {
        while (p < end && IsSpace(*p))
            ++p;
    };
    // p is on the "</" of the innermost open element.
    auto closeElement = [&]() -> bool {
        const Frame frame = open.back();
        const wchar_t* name = m_text + m_elements[frame.element].nameOffset;
        *p = L'\0';
        p += 2;
        skipSpace();
        if (static_cast<size_t>(end - p) < frame.nameLength || wmemcmp(p, name, frame.nameLength) != 0)
            return false;
        p += frame.nameLength;
        skipSpace();
        if (p >= end || *p != L'>')
            return false;
        ++p;
        open.pop_back();
        return true;
    };

    for (;;) {
        const uint32_t parent = open.back().element;
        skipSpace();
        if (p >= end) {
            if (parent < 2)
                return true;
            return Fail(kExpectedStartTag, p);
        }
        if (*p != L'<')
            return Fail(kExpectedStartTag, p);
        if (p[1] == L'/') {
            // A closing tag with nothing open would end the document early.
            if (parent == 0 || !closeElement())
                return Fail(kUnmatchedClosingTag, p);
            continue;
        }

        *p++ = L'\0';
        skipSpace();
        if (p < end && *p == L'!') {
            // Comments run to "-->"; other declarations to the next ">".
            wchar_t* close = nullptr;
            if (StartsWith(p, end, L"!--")) {
                close = FindText(p + 3, end, L"-->");
                p = close ? close + 3 : end;
            } else {
                close = FindText(p, end, L">");
                p = close ? close + 1 : end;
            }
            continue;
        }
        if (p < end && *p == L'?') {
            wchar_t* close = FindText(p, end, L"?>");
            p = close ? close + 2 : end;
            continue;
        }

        if (!Grow())
            return Fail(kOutOfMemory, p);
        const uint32_t index = m_elementCount++;
        Element& element = m_elements[index];
        element = Element{static_cast<uint32_t>(p - m_text), 0, 0, parent, 0};
        Frame& list = open.back();
        if (list.lastChild != 0)
            m_elements[list.lastChild].nextSibling = index;
        else if (parent != 0)
            m_elements[parent].firstChild = index;
        list.lastChild = index;

        wchar_t* nameStart = p;
        while (p < end && IsNameChar(*p))
            ++p;
        if (p >= end || p == nameStart)
            return Fail(kBadElementName, p);
        const uint32_t nameLength = static_cast<uint32_t>(p - nameStart);

        // Attributes.
        if (*p != L'>' && *p != L'/') {
            if (!IsSpace(*p))
                return Fail(kBadAttributes, p);
            *p++ = L'\0';
            skipSpace();
            while (p < end && *p != L'/' && *p != L'>') {
                wchar_t* attrName = p;
                while (p < end && IsNameChar(*p))
                    ++p;
                if (p == attrName)
                    return Fail(kBadAttributes, p);
                wchar_t* attrNameEnd = p;
                skipSpace();
                if (p >= end || *p != L'=')
                    return Fail(kBadAttributes, p);
                *p++ = L' ';
                *attrNameEnd = L'\0';
                skipSpace();
                if (p >= end || *p != L'"')
                    return Fail(kExpectedAttributeValue, p);
                ++p;
                wchar_t* valueEnd = ParseData(p, L'"');
                if (p >= end)
                    return Fail(kBadAttributeString, p);
                *valueEnd = L'\0';
                if (p != valueEnd)
                    *p = L' ';
                ++p;
                skipSpace();
            }
        }

        skipSpace();
        if (p < end && p[0] == L'/' && p[1] == L'>') {
            m_elements[index].dataOffset = static_cast<uint32_t>(p - m_text);
            *p = L'\0';
            p += 2;
            continue;
        }
        if (p >= end || *p != L'>')
            return Fail(kExpectedStartTagClosing, p);

        // A name ended directly by ">" is terminated here.
        if (nameStart + nameLength == p)
            *p = L'\0';
        ++p;
        m_elements[index].dataOffset = static_cast<uint32_t>(p - m_text);
        wchar_t* dataEnd = ParseData(p, L'<');
        if (p >= end) {
            *dataEnd = L'\0';
            if (parent < 2)
                return true;
            return Fail(kExpectedEndTagStart, p);
        }
        if (dataEnd != p)
            *dataEnd = L'\0';
        try {
            open.push_back(Frame{index, nameLength, 0});
        } catch (const std::bad_alloc&) {
            return Fail(kOutOfMemory, p);
        }
        // The element's own closing tag right after its content.
        if (p[1] == L'/' && !closeElement())
            return Fail(kUnmatchedClosingTag, p);
    }
}

// ---------------------------------------------------------------------------
// MarkupNode

MarkupNode::MarkupNode(MarkupDocument* document, uint32_t element) : m_element(element), m_document(document)
{
}

bool MarkupNode::IsValid() const
{
    return m_document != nullptr && m_element != 0 && m_element < m_document->GetElementCount();
}

MarkupNode MarkupNode::GetParent() const
{
    if (!IsValid())
        return MarkupNode();
    const uint32_t parent = m_document->GetElement(m_element)->parent;
    return parent ? MarkupNode(m_document, parent) : MarkupNode();
}

MarkupNode MarkupNode::GetChild() const
{
    if (!IsValid())
        return MarkupNode();
    const uint32_t child = m_document->GetElement(m_element)->firstChild;
    return child ? MarkupNode(m_document, child) : MarkupNode();
}

MarkupNode MarkupNode::GetSibling() const
{
    if (!IsValid())
        return MarkupNode();
    const uint32_t next = m_document->GetElement(m_element)->nextSibling;
    return next ? MarkupNode(m_document, next) : MarkupNode();
}

bool MarkupNode::HasChildren() const
{
    return IsValid() && m_document->GetElement(m_element)->firstChild != 0;
}

const wchar_t* MarkupNode::GetName() const
{
    if (!IsValid())
        return L"";
    return m_document->GetText() + m_document->GetElement(m_element)->nameOffset;
}

const wchar_t* MarkupNode::GetValue() const
{
    if (!IsValid())
        return L"";
    return m_document->GetText() + m_document->GetElement(m_element)->dataOffset;
}

void MarkupNode::SplitAttributes()
{
    m_attributeCount = 0;
    m_split = true;
    if (!IsValid())
        return;
    const wchar_t* text = m_document->GetText();
    const MarkupDocument::Element* element = m_document->GetElement(m_element);
    const uint32_t limit = element->dataOffset;
    uint32_t pos = element->nameOffset;
    while (pos < limit && text[pos] != L'\0')
        ++pos;
    ++pos;  // the name's terminator
    // Each step stays before the element's content, so a malformed layout
    // can never walk into the content or past the text.
    auto skipSpace = [&]() {
        while (pos < limit && IsSpace(text[pos]))
            ++pos;
    };
    auto skipString = [&]() {
        while (pos < limit && text[pos] != L'\0')
            ++pos;
        ++pos;
    };
    while (pos < limit && m_attributeCount < kMaxAttributes) {
        skipSpace();
        if (pos >= limit || text[pos] == L'>' || text[pos] == L'/')
            break;
        const uint32_t name = pos;
        skipString();
        skipSpace();
        if (pos >= limit || text[pos] != L'"')
            break;
        const uint32_t value = ++pos;
        skipString();
        m_attributes[m_attributeCount++] = AttributePair{name, value};
    }
}

int MarkupNode::GetAttributeCount()
{
    if (!m_split)
        SplitAttributes();
    return static_cast<int>(m_attributeCount);
}

const wchar_t* MarkupNode::GetAttributeName(int index)
{
    if (index < 0 || index >= GetAttributeCount())
        return L"";
    return m_document->GetText() + m_attributes[index].name;
}

const wchar_t* MarkupNode::GetAttributeValue(int index)
{
    if (index < 0 || index >= GetAttributeCount())
        return L"";
    return m_document->GetText() + m_attributes[index].value;
}

int MarkupNode::FindAttribute(const wchar_t* name)
{
    if (name == nullptr)
        return -1;
    const int count = GetAttributeCount();
    const wchar_t* text = m_document ? m_document->GetText() : nullptr;
    for (int i = 0; i < count; ++i)
        if (wcscmp(text + m_attributes[i].name, name) == 0)
            return i;
    return -1;
}

const wchar_t* MarkupNode::LookupAttribute(const wchar_t* name)
{
    if (m_document == nullptr)
        return nullptr;
    const int i = FindAttribute(name);
    return i < 0 ? L"" : m_document->GetText() + m_attributes[i].value;
}

bool MarkupNode::HasAttribute(const wchar_t* name)
{
    return FindAttribute(name) >= 0;
}

bool MarkupNode::HasNameAttribute()
{
    return HasAttribute(L"name");
}

} // namespace ui
