// The pure parts of text drawing (RenderTargetText.cpp draws): where a
// wrapped text that does not fit is cut, and brace-tagged text,
// "{name='Arial' size='20' color='0xFFFF0000'}abc{/}def", which changes
// face, size, colour, spacing and style per run of characters:
// ParseTaggedText splits it into the plain text that is laid out and the
// runs that style it. Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Corvel/Core/UiString.h"

namespace ui {

// What ends a text cut to the lines that fit.
constexpr wchar_t kTextCutMark[] = L"...";

// How many leading characters of text a cut keeps when its first `fitting`
// characters lie on lines that fit: one fewer (none of none), and one more
// fewer where that would split a surrogate pair. Applied to its own result
// it gives the next shorter cut.
size_t TextCutLength(const std::wstring& text, size_t fitting);

// One styled run of the plain text. Every field a tag does not name keeps
// its default, and the drawing applies those defaults too: a run always
// sets its face and its colour.
struct TextRun {
    int start = 0;   // index into the plain text (UTF-16 units)
    int length = 0;  // UTF-16 units
    CUiString face;  // "name"; the library's default face unless given
    int size = 0;    // "size" in pixels at 96 DPI; 0 = unchanged
    uint32_t color = 0xFF000000u;  // "color", ARGB
    float spacing = 0.0f;          // "space": extra advance per character; 0 = unchanged
    uint8_t bold = 0;
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t strike = 0;

    TextRun();
};

// Removes every tag of `tagged`, writing what remains to `plain`, and
// returns the runs in the order their tags closed (inner runs before the
// runs around them). "{...}" opens a run at the current plain position,
// "{/...}" closes the innermost open one, and runs still open at the end
// close there, innermost first. A closing tag with no open run is dropped;
// a "{" with no "}" after it is plain text, like everything after it.
std::vector<TextRun> ParseTaggedText(const std::wstring& tagged, std::wstring& plain);

// Reads the next key='value' pair of a tag's text from `pos` on: the key
// runs up to "=", the value is the quoted text after it (or, unquoted, up
// to the next space); spaces around both are trimmed and one pair of
// single quotes is taken off the value. Advances `pos` past the pair.
// False when no "=" is left.
bool NextTagAttribute(const std::wstring& tag, size_t& pos, std::wstring& key, std::wstring& value);

// `text` without the space characters (only U+0020) at either end.
std::wstring TrimSpaces(const std::wstring& text);

} // namespace ui
