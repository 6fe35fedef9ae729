#include "Corvel/Core/UiString.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <new>
#include <utility>

namespace ui {

namespace {

const wchar_t kEmptyText[] = L"";

inline const wchar_t* OrEmpty(const wchar_t* text) { return text ? text : kEmptyText; }

inline bool PointsInto(const wchar_t* p, const wchar_t* block, size_t units)
{
    // Compared as integers: pointers into unrelated blocks are not ordered.
    const uintptr_t a = reinterpret_cast<uintptr_t>(p);
    const uintptr_t b = reinterpret_cast<uintptr_t>(block);
    return a >= b && a <= b + units * sizeof(wchar_t);
}

// A heap block for `length` characters and the terminator.
wchar_t* NewBlock(size_t length)
{
    wchar_t* block = static_cast<wchar_t*>(std::malloc((length + 1) * sizeof(wchar_t)));
    if (!block)
        throw std::bad_alloc();
    return block;
}

// Grows a heap block holding `current` characters to `length` characters and
// the terminator. Growing may move the block: a source that lies inside it is
// moved along, so it stays valid. On failure the block is left as it was.
wchar_t* GrowBlock(wchar_t* block, size_t current, size_t length, const wchar_t*& source)
{
    const bool inside = PointsInto(source, block, current);
    const size_t offset = inside ? static_cast<size_t>(source - block) : 0;
    void* grown = std::realloc(block, (length + 1) * sizeof(wchar_t));
    if (!grown)
        throw std::bad_alloc();
    wchar_t* moved = static_cast<wchar_t*>(grown);
    if (inside)
        source = moved + offset;
    return moved;
}

// A count or position kept within 0 .. length.
inline int ClampToLength(int n, int length) { return n < 0 ? 0 : (n > length ? length : n); }

inline wchar_t FoldCase(wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); }

} // namespace

CUiString::CUiString() : m_text(m_inline)
{
    m_inline[0] = L'\0';
}

CUiString::CUiString(const wchar_t* text, int length) : m_text(m_inline)
{
    m_inline[0] = L'\0';
    Assign(text, length);
}

CUiString::CUiString(const std::wstring& text) : m_text(m_inline)
{
    m_inline[0] = L'\0';
    // Up to the first NUL, like every other text this string holds.
    SetText(text.c_str(), std::wcslen(text.c_str()));
}

CUiString::CUiString(const CUiString& other) : m_text(m_inline)
{
    m_inline[0] = L'\0';
    SetText(other.m_text, std::wcslen(other.m_text));
}

CUiString::CUiString(CUiString&& other) noexcept : m_text(m_inline)
{
    if (other.IsInline()) {
        std::wcscpy(m_inline, other.m_inline);
    } else {
        m_inline[0] = L'\0';
        m_text = other.m_text;
        other.m_text = other.m_inline;
        other.m_inline[0] = L'\0';
    }
}

CUiString::~CUiString()
{
    FreeHeap();
}

CUiString& CUiString::operator=(const CUiString& other)
{
    if (this != &other)
        SetText(other.m_text, std::wcslen(other.m_text));
    return *this;
}

CUiString& CUiString::operator=(CUiString&& other) noexcept
{
    if (this == &other)
        return *this;
    if (other.IsInline()) {
        FreeHeap();
        m_text = m_inline;
        std::wcscpy(m_inline, other.m_inline);
    } else {
        FreeHeap();
        m_text = other.m_text;
        m_inline[0] = L'\0';
        other.m_text = other.m_inline;
        other.m_inline[0] = L'\0';
    }
    return *this;
}

CUiString& CUiString::operator=(const wchar_t* text)
{
    Assign(text);
    return *this;
}

CUiString& CUiString::operator=(const std::wstring& text)
{
    SetText(text.c_str(), std::wcslen(text.c_str()));
    return *this;
}

void CUiString::FreeHeap()
{
    if (m_text != m_inline) {
        std::free(m_text);
        m_text = m_inline;
        m_inline[0] = L'\0';
    }
}

void CUiString::SetText(const wchar_t* text, size_t length)
{
    if (length <= static_cast<size_t>(kMaxInline)) {
        // memmove: the source may be this string's own text.
        std::memmove(m_inline, text, length * sizeof(wchar_t));
        m_inline[length] = L'\0';
        if (m_text != m_inline) {
            std::free(m_text);
            m_text = m_inline;
        }
        return;
    }

    if (m_text != m_inline) {
        const size_t current = std::wcslen(m_text);
        if (length <= current) {
            // The block is at least this large: reuse it.
            std::memmove(m_text, text, length * sizeof(wchar_t));
            m_text[length] = L'\0';
            return;
        }
        m_text = GrowBlock(m_text, current, length, text);
        std::memmove(m_text, text, length * sizeof(wchar_t));
        m_text[length] = L'\0';
        return;
    }

    wchar_t* block = NewBlock(length);
    std::memcpy(block, text, length * sizeof(wchar_t));
    block[length] = L'\0';
    m_text = block;
}

void CUiString::Assign(const wchar_t* text)
{
    if (!text) {
        Empty();
        return;
    }
    SetText(text, std::wcslen(text));
}

void CUiString::Assign(const wchar_t* text, int length)
{
    text = OrEmpty(text);
    size_t n = std::wcslen(text);
    // Never read past the terminator, whatever length is asked for.
    if (length >= 0 && static_cast<size_t>(length) < n)
        n = static_cast<size_t>(length);
    SetText(text, n);
}

void CUiString::AssignString(const CUiString& other)
{
    if (this != &other)
        SetText(other.m_text, std::wcslen(other.m_text));
}

void CUiString::Append(const wchar_t* text)
{
    if (!text || !*text)
        return;
    const size_t current = std::wcslen(m_text);
    const size_t added = std::wcslen(text);
    const size_t sum = current + added;

    if (sum <= static_cast<size_t>(kMaxInline)) {
        // Short sum: the text is inline already.
        std::memmove(m_inline + current, text, added * sizeof(wchar_t));
        m_inline[sum] = L'\0';
        return;
    }

    if (m_text == m_inline) {
        wchar_t* block = NewBlock(sum);
        std::memcpy(block, m_inline, current * sizeof(wchar_t));
        std::memcpy(block + current, text, added * sizeof(wchar_t));
        block[sum] = L'\0';
        m_text = block;
        return;
    }

    m_text = GrowBlock(m_text, current, sum, text);
    std::memmove(m_text + current, text, added * sizeof(wchar_t));
    m_text[sum] = L'\0';
}

void CUiString::Append(wchar_t ch)
{
    const wchar_t text[2] = {ch, L'\0'};
    Append(text);
}

void CUiString::Empty()
{
    FreeHeap();
    m_inline[0] = L'\0';
}

int CUiString::GetLength() const
{
    return static_cast<int>(std::wcslen(m_text));
}

wchar_t CUiString::GetAt(int index) const
{
    if (index < 0 || index >= GetLength())
        return L'\0';
    return m_text[index];
}

bool CUiString::Equals(const wchar_t* text) const
{
    return std::wcscmp(m_text, OrEmpty(text)) == 0;
}

bool CUiString::EqualsNoCase(const wchar_t* text) const
{
    const wchar_t* a = m_text;
    const wchar_t* b = OrEmpty(text);
    for (; *a && *b; ++a, ++b) {
        if (FoldCase(*a) != FoldCase(*b))
            return false;
    }
    return *a == *b;
}

int CUiString::Compare(const wchar_t* text) const
{
    return std::wcscmp(m_text, OrEmpty(text));
}

CUiString CUiString::Left(int count) const
{
    return CUiString(m_text, ClampToLength(count, GetLength()));
}

CUiString CUiString::Right(int count) const
{
    const int length = GetLength();
    count = ClampToLength(count, length);
    return CUiString(m_text + (length - count), count);
}

CUiString CUiString::Mid(int start, int count) const
{
    const int length = GetLength();
    start = ClampToLength(start, length);
    if (count < 0 || count > length - start)
        count = length - start;
    return CUiString(m_text + start, count);
}

int CUiString::Find(wchar_t ch, int start) const
{
    const int length = GetLength();
    if (start < 0)
        start = 0;
    if (start >= length)
        return -1;
    const wchar_t* p = std::wcschr(m_text + start, ch);
    // wcschr also matches the terminator; a NUL is never "found".
    if (!p || ch == L'\0')
        return -1;
    return static_cast<int>(p - m_text);
}

int CUiString::Find(const wchar_t* text, int start) const
{
    if (!text || !*text)
        return -1;
    const int length = GetLength();
    if (start < 0)
        start = 0;
    if (start >= length)
        return -1;
    const wchar_t* p = std::wcsstr(m_text + start, text);
    return p ? static_cast<int>(p - m_text) : -1;
}

int CUiString::Replace(const wchar_t* oldText, const wchar_t* newText)
{
    // An empty pattern matches everywhere and would never advance.
    if (!oldText || !*oldText)
        return 0;
    newText = OrEmpty(newText);
    const size_t oldLength = std::wcslen(oldText);

    const wchar_t* p = std::wcsstr(m_text, oldText);
    if (!p)
        return 0;

    // One pass over the original text gives what repeated splicing gives:
    // the search resumes after each inserted text, so replacements are
    // never searched again.
    std::wstring result;
    int count = 0;
    const wchar_t* from = m_text;
    while (p) {
        result.append(from, static_cast<size_t>(p - from));
        result.append(newText);
        ++count;
        from = p + oldLength;
        p = std::wcsstr(from, oldText);
    }
    result.append(from);
    SetText(result.c_str(), result.size());
    return count;
}

int CUiString::Format(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const int result = FormatV(format, args);
    va_end(args);
    return result;
}

int CUiString::FormatV(const wchar_t* format, va_list args)
{
    if (!format) {
        Empty();
        return -1;
    }
    // The runtime's own wide formatter (%s is a wide text), measured first
    // so the buffer always fits.
    va_list measure;
    va_copy(measure, args);
    const int needed = _vscwprintf(format, measure);
    va_end(measure);
    if (needed < 0) {
        Empty();
        return -1;
    }

    const size_t units = static_cast<size_t>(needed) + 1;
    wchar_t* buffer = static_cast<wchar_t*>(std::calloc(units, sizeof(wchar_t)));
    if (!buffer)
        throw std::bad_alloc();
    va_list write;
    va_copy(write, args);
    const int written = _vsnwprintf(buffer, units, format, write);
    va_end(write);
    buffer[units - 1] = L'\0';
    if (written < 0) {
        std::free(buffer);
        Empty();
        return -1;
    }
    SetText(buffer, std::wcslen(buffer));
    std::free(buffer);
    return written;
}

CUiString operator+(const CUiString& a, const wchar_t* b)
{
    CUiString result(a);
    result.Append(b);
    return result;
}

uint32_t HashTextFnv1a(const wchar_t* text, size_t length)
{
    uint32_t h = 0x811C9DC5u;
    for (size_t i = 0; i < length; ++i) {
        const uint16_t unit = static_cast<uint16_t>(text[i]);
        // Little-endian UTF-16 bytes.
        h = (h ^ (unit & 0xFFu)) * 16777619u;
        h = (h ^ (unit >> 8)) * 16777619u;
    }
    return h;
}

uint32_t HashTextFnv1a(const wchar_t* text)
{
    text = OrEmpty(text);
    return HashTextFnv1a(text, std::wcslen(text));
}

} // namespace ui
