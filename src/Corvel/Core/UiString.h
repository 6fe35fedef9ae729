// The UI library's own wide string: short texts (control names, attribute
// names, notification types) live in an inline buffer and never touch the
// heap; longer ones move to a heap block of exactly their size.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace ui {

class CUiString {
public:
    // Inline buffer size in UTF-16 units; texts of up to kMaxInline
    // characters stay inline, longer ones go to the heap.
    static constexpr int kInlineUnits = 64;
    static constexpr int kMaxInline = 62;

    CUiString();
    // The first `length` characters of `text`; -1 (any negative) takes the
    // whole text. A null text gives an empty string.
    CUiString(const wchar_t* text, int length = -1);
    CUiString(const std::wstring& text);
    CUiString(const CUiString& other);
    CUiString(CUiString&& other) noexcept;
    // Virtual so that a derived object (the image descriptor) deleted through
    // a string pointer frees its own parts too.
    virtual ~CUiString();

    CUiString& operator=(const CUiString& other);
    CUiString& operator=(CUiString&& other) noexcept;
    CUiString& operator=(const wchar_t* text);
    CUiString& operator=(const std::wstring& text);
    CUiString& operator+=(const wchar_t* text) { Append(text); return *this; }
    CUiString& operator+=(const CUiString& text) { Append(text.GetData()); return *this; }

    // Replaces the content; null empties the string.
    void Assign(const wchar_t* text);
    // The first `length` characters of `text`; a negative length takes all.
    void Assign(const wchar_t* text, int length);
    void AssignString(const CUiString& other);
    void Append(const wchar_t* text);
    void Append(wchar_t ch);
    // Frees any heap block and leaves an empty inline text.
    virtual void Empty();

    const wchar_t* GetData() const { return m_text; }
    operator const wchar_t*() const { return m_text; }
    // Scans for the terminator: the length is never stored.
    int GetLength() const;
    bool IsEmpty() const { return m_text[0] == L'\0'; }
    // True while the text sits in the inline buffer.
    bool IsInline() const { return m_text == m_inline; }
    wchar_t GetAt(int index) const;

    // Exact, case-sensitive comparison; null counts as "".
    bool Equals(const wchar_t* text) const;
    // Comparison ignoring case (simple per-unit folding).
    bool EqualsNoCase(const wchar_t* text) const;
    // Ordinal comparison: <0, 0, >0.
    int Compare(const wchar_t* text) const;

    CUiString Left(int count) const;
    CUiString Right(int count) const;
    CUiString Mid(int start, int count = -1) const;

    // Index of the first `ch` at or after `start`; -1 when absent.
    int Find(wchar_t ch, int start = 0) const;
    // Index of the first occurrence of `text` at or after `start`; -1 when
    // absent or when `text` is empty.
    int Find(const wchar_t* text, int start = 0) const;
    // Replaces every occurrence of `oldText` (left to right, replacements
    // are not searched again); returns the count. An empty or null
    // `oldText` replaces nothing and returns 0.
    int Replace(const wchar_t* oldText, const wchar_t* newText);

    // Wide printf-style formatting (%s takes a wide text). Returns the
    // number of characters written; -1 when the format fails, and the
    // string is then empty.
    int Format(const wchar_t* format, ...);
    int FormatV(const wchar_t* format, va_list args);

    std::wstring ToStdString() const { return std::wstring(m_text); }

    bool operator==(const wchar_t* text) const { return Equals(text); }
    bool operator!=(const wchar_t* text) const { return !Equals(text); }
    bool operator==(const CUiString& other) const { return Equals(other.m_text); }
    bool operator!=(const CUiString& other) const { return !Equals(other.m_text); }
    bool operator<(const CUiString& other) const { return Compare(other.m_text) < 0; }

private:
    // Stores `length` units of `text` (which may point into this string).
    void SetText(const wchar_t* text, size_t length);
    void FreeHeap();

    wchar_t* m_text;
    wchar_t m_inline[kInlineUnits];
};

CUiString operator+(const CUiString& a, const wchar_t* b);

// 32-bit FNV-1a over the UTF-16 bytes of a text: the hash of the UI
// library's string-keyed maps.
uint32_t HashTextFnv1a(const wchar_t* text, size_t length);
uint32_t HashTextFnv1a(const wchar_t* text);

// Hash functor for std::unordered_map keyed by CUiString.
struct CUiStringHash {
    size_t operator()(const CUiString& s) const { return HashTextFnv1a(s.GetData()); }
};

} // namespace ui

// Lets std::unordered_map<ui::CUiString, T> use the library's key hash.
template <>
struct std::hash<ui::CUiString> {
    size_t operator()(const ui::CUiString& s) const noexcept { return ui::HashTextFnv1a(s.GetData()); }
};
