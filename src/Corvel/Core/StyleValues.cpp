#include "Corvel/Core/StyleValues.h"

#include <windows.h>

#include <cwchar>
#include <cstdlib>

namespace ui {

namespace {

inline bool IsBlank(wchar_t c) { return c <= 0x20 && c != L'\0'; }

} // namespace

float ParseFloat(const wchar_t* text)
{
    return text ? static_cast<float>(std::wcstod(text, nullptr)) : 0.0f;
}

int ParseInt(const wchar_t* text)
{
    return text ? static_cast<int>(std::wcstol(text, nullptr, 10)) : 0;
}

uint32_t ParseHexColor(const wchar_t* text, bool skipBlanks)
{
    if (!text)
        return 0;
    if (skipBlanks) {
        while (IsBlank(*text))
            ++text;
    }
    if (*text == L'#')
        ++text;
    // unsigned long is 32 bits on Windows at both widths, so overflow
    // saturates at 0xFFFFFFFF.
    return static_cast<uint32_t>(std::wcstoul(text, nullptr, 16));
}

int ParseIntList(const wchar_t* text, int* out, int count)
{
    if (!out || count <= 0)
        return 0;
    for (int i = 0; i < count; ++i)
        out[i] = 0;
    if (!text)
        return 0;
    wchar_t* end = nullptr;
    out[0] = static_cast<int>(std::wcstol(text, &end, 10));
    int read = 1;
    // Each step skips exactly one character, whatever it is.
    while (read < count && end && *end) {
        const wchar_t* next = end + 1;
        out[read++] = static_cast<int>(std::wcstol(next, &end, 10));
    }
    return read;
}

void ParseFloatPair(const wchar_t* text, float& x, float& y)
{
    x = 0.0f;
    y = 0.0f;
    if (!text)
        return;
    wchar_t* end = nullptr;
    x = static_cast<float>(std::wcstod(text, &end));
    if (end && *end)
        y = static_cast<float>(std::wcstod(end + 1, nullptr));
}

void ValueList::Parse(const wchar_t* text)
{
    if (!text)
        return;
    const wchar_t* p = text;
    while (*p) {
        const wchar_t* comma = std::wcschr(p, L',');
        const size_t length = comma ? static_cast<size_t>(comma - p) : std::wcslen(p);
        if (length > 0) {
            const std::wstring piece(p, length);
            Item item;
            item.percent = piece.find(L'%') != std::wstring::npos;
            if (piece.find(L'.') != std::wstring::npos)
                item.value = static_cast<float>(std::wcstod(piece.c_str(), nullptr));
            else
                item.value = static_cast<float>(std::wcstol(piece.c_str(), nullptr, 10));
            m_items.push_back(item);
        }
        if (!comma)
            break;
        p = comma + 1;
    }
}

const ValueList::Item& ValueList::At(int i) const
{
    static const Item kNone;
    if (m_items.empty())
        return kNone;
    if (i < 0)
        i = 0;
    if (static_cast<size_t>(i) >= m_items.size())
        return m_items.back();
    return m_items[static_cast<size_t>(i)];
}

KeyValueSpec::KeyValueSpec(const wchar_t* text)
{
    Parse(text);
    if (m_map.empty())
        m_wholeText.Assign(text);
}

void KeyValueSpec::Parse(const wchar_t* text)
{
    if (!text)
        return;
    const wchar_t* p = text;
    // Blanks before the first key, any number of them.
    while (IsBlank(*p))
        ++p;
    while (*p) {
        const wchar_t* keyStart = p;
        while (*p && *p != L'=' && !IsBlank(*p))
            ++p;
        const wchar_t* keyEnd = p;
        while (IsBlank(*p))
            ++p;
        if (*p != L'=')
            break;
        ++p;
        while (IsBlank(*p))
            ++p;
        if (*p != L'\'')
            break;
        ++p;
        const wchar_t* valueStart = p;
        while (*p && *p != L'\'')
            ++p;
        if (!*p)
            break; // unterminated value: the pair is dropped
        const wchar_t* valueEnd = p;
        ++p;
        if (valueEnd > valueStart) {
            m_map[CUiString(keyStart, static_cast<int>(keyEnd - keyStart))] =
                CUiString(valueStart, static_cast<int>(valueEnd - valueStart));
        }
        // Pairs are separated by exactly one blank: anything else after the
        // closing quote ends the text, and so does a second blank (it starts
        // an empty key that no "=" follows).
        if (!IsBlank(*p))
            break;
        ++p;
    }
}

const CUiString* KeyValueSpec::Get(const wchar_t* key) const
{
    const auto it = m_map.find(CUiString(key));
    return it == m_map.end() ? nullptr : &it->second;
}

bool KeyValueSpec::GetBlurParams(BlurParams& out) const
{
    if (m_map.empty()) {
        out.deviation = ParseFloat(m_wholeText.GetData());
        return true;
    }
    if (const CUiString* v = Get(L"blur"))
        out.deviation = ParseFloat(v->GetData());
    if (const CUiString* v = Get(L"quality"))
        out.quality = ParseInt(v->GetData());
    if (const CUiString* v = Get(L"border")) {
        if (v->EqualsNoCase(L"soft"))
            out.border = 0;
        else if (v->EqualsNoCase(L"hard"))
            out.border = 1;
    }
    return true;
}

bool ParseBoxShadow(const KeyValueSpec& spec, BoxShadow& out)
{
    if (spec.IsEmpty()) {
        out.blur = ParseFloat(spec.GetWholeText().GetData());
        return false;
    }
    if (const CUiString* v = spec.Get(L"drop"))
        out.drop = v->EqualsNoCase(L"true") ? 1 : 0;
    if (const CUiString* v = spec.Get(L"web"))
        out.web = v->EqualsNoCase(L"true") ? 1 : 0;
    if (const CUiString* v = spec.Get(L"inset"))
        out.inset = v->EqualsNoCase(L"true") ? 1 : 0;
    if (const CUiString* v = spec.Get(L"size"))
        out.size = ParseFloat(v->GetData());
    if (const CUiString* v = spec.Get(L"blur"))
        out.blur = ParseFloat(v->GetData());
    if (const CUiString* v = spec.Get(L"color"))
        out.color = ParseHexColor(v->GetData());
    if (const CUiString* v = spec.Get(L"offset"))
        ParseFloatPair(v->IsEmpty() ? spec.GetWholeText().GetData() : v->GetData(), out.offsetX,
                       out.offsetY);
    if (const CUiString* v = spec.Get(L"radius"))
        ParseFloatPair(v->IsEmpty() ? spec.GetWholeText().GetData() : v->GetData(), out.radiusX,
                       out.radiusY);
    return true;
}

int ApplyAlignWords(int style, const wchar_t* words)
{
    // Bits of the Windows text-drawing flags.
    constexpr int kCenter = DT_CENTER, kRight = DT_RIGHT, kVCenter = DT_VCENTER, kBottom = DT_BOTTOM,
                  kSingleLine = DT_SINGLELINE, kEndEllipsis = DT_END_ELLIPSIS;
    if (!words)
        return style;
    auto has = [words](const wchar_t* word) { return std::wcsstr(words, word) != nullptr; };
    if (has(L"left"))
        style &= ~(kCenter | kRight);
    if (has(L"hcenter"))
        style = (style & ~kRight) | kCenter;
    if (has(L"right"))
        style = (style & ~kCenter) | kRight;
    if (has(L"top"))
        style &= ~(kVCenter | kBottom);
    if (has(L"vcenter"))
        style = (style & ~kBottom) | kVCenter | kSingleLine;
    if (has(L"bottom"))
        style = (style & ~kVCenter) | kBottom | kSingleLine;
    if (has(L"lines"))
        style &= ~(kVCenter | kBottom | kSingleLine);
    if (has(L"enddot"))
        style |= kEndEllipsis;
    return style;
}

int ParseEasingName(const wchar_t* name)
{
    static const wchar_t* const kNames[] = {L"linear", L"sine",    L"quint", L"quart",
                                            L"quad",   L"expo",    L"elastic", L"cubic",
                                            L"circ",   L"bounce",  L"back"};
    if (!name)
        return 4;
    for (int i = 0; i < static_cast<int>(sizeof(kNames) / sizeof(kNames[0])); ++i) {
        if (std::wcscmp(name, kNames[i]) == 0)
            return i;
    }
    return 4;
}

} // namespace ui
