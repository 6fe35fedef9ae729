// Readers for the value grammars of skin attributes: colours, number lists,
// float pairs, percent-aware lists, key='value' specs (blur, box shadow) and
// easing names. All are lenient: what they cannot read becomes 0 or keeps
// its previous value; none fails.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "Corvel/Core/UiString.h"
#include "Corvel/Core/UiTypes.h"

namespace ui {

// Hex ARGB: optional leading blanks (U+0020 and below, when asked), one
// optional "#", then a base-16 number with an optional "0x". No digits
// give 0; values past 32 bits give 0xFFFFFFFF. Six digits give alpha 0.
uint32_t ParseHexColor(const wchar_t* text, bool skipBlanks = false);

// Leading decimal integer / float of a text (C library conversion, leading
// blanks and a sign allowed); null or no digits give 0.
int ParseInt(const wchar_t* text);
float ParseFloat(const wchar_t* text);

// Decimal integers separated by exactly one character each ("5,5", "5 5",
// "5;5"); fills all `count` slots of `out`, missing items 0. Returns how
// many slots were read from the text (at most `count`).
int ParseIntList(const wchar_t* text, int* out, int count);

// "x,y" as floats (any one separator); y := 0 when nothing follows x.
void ParseFloatPair(const wchar_t* text, float& x, float& y);

// Comma-separated numbers, each optionally a percentage ("50%,12.5").
class ValueList {
public:
    struct Item {
        float value = 0.0f;
        bool percent = false;
    };

    ValueList() = default;
    explicit ValueList(const wchar_t* text) { Parse(text); }

    // Appends one item per non-empty piece; null does nothing.
    void Parse(const wchar_t* text);
    // Item i, the last item past the end (an empty list gives a zero item).
    const Item& At(int i) const;
    void Clear() { m_items.clear(); }
    int GetCount() const { return static_cast<int>(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }

private:
    std::vector<Item> m_items;
};

// "key='value' key2='value2'": a case-sensitive map of non-empty values,
// plus the whole text when it held no pair (a plain value such as "3").
class KeyValueSpec {
public:
    using Map = std::unordered_map<CUiString, CUiString, CUiStringHash>;

    KeyValueSpec() = default;
    explicit KeyValueSpec(const wchar_t* text);

    // Adds the pairs of `text` (a repeated key replaces the earlier value).
    // Blanks may lead the text and surround "="; pairs are separated by one
    // blank. Reading stops, keeping the pairs read so far, at the first
    // thing that does not fit: "a='1'  b='2'" (two blanks) gives "a" only.
    void Parse(const wchar_t* text);
    // Reads "blur", "quality" and "border" ("soft"/"hard"); without pairs,
    // the whole text is the deviation. Absent keys keep their field.
    bool GetBlurParams(BlurParams& out) const;

    // Null when the key is absent.
    const CUiString* Get(const wchar_t* key) const;
    bool Has(const wchar_t* key) const { return Get(key) != nullptr; }
    bool IsEmpty() const { return m_map.empty(); }
    int GetCount() const { return static_cast<int>(m_map.size()); }
    const Map& GetMap() const { return m_map; }

    const CUiString& GetWholeText() const { return m_wholeText; }
    void SetWholeText(const wchar_t* text) { m_wholeText.Assign(text); }

private:
    Map m_map;
    CUiString m_wholeText;
};

// Fills the fields the key-value text names (drop, web, inset, size, blur, color,
// offset, radius); the others keep their values. Without pairs, the whole
// text is read as the blur and the result is false.
bool ParseBoxShadow(const KeyValueSpec& spec, BoxShadow& out);

// The DrawText-style bits after the alignment words of `words`, each
// looked for anywhere in the text, in this order so that later words win:
// "left", "hcenter", "right", "top", "vcenter", "bottom", "lines" (multi-line,
// top-aligned), "enddot" (end ellipsis). Null leaves the bits as they are.
int ApplyAlignWords(int style, const wchar_t* words);

// Easing type index of a curve name ("linear" 0 ... "back" 10), exact and
// case-sensitive; any other name gives 4 (quad).
int ParseEasingName(const wchar_t* name);

} // namespace ui
