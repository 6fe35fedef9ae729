// Rich text: a small tag language (bold, italic, underline, colour, fonts,
// links, inline images, paragraphs, horizontal moves, line heights) laid out
// line by line inside a rectangle, measured with GDI and drawn with GDI+
// onto a device context. Fonts come from the window core's font operations,
// images from its image table. UI thread only; nothing is kept between calls.
//
// Tags open with "<" or "{", one lower-case letter and a space, ">" or "}",
// and run to the next ">" or "}"; "</b>" (or "{/b}", brackets may be mixed)
// closes. "<{>" and "<}>" draw a brace, "{<}" and "{>}" an angle bracket.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "Corvel/Core/UiString.h"
#include "Corvel/Core/UiTypes.h"

struct ID2D1Bitmap;
namespace Gdiplus {
class Graphics;
}

namespace ui {

class WindowCore;

// ---- Markup ----------------------------------------------------------

enum class RichTagKind {
    Text,   // not markup: the bracket is drawn as a character
    Open,   // "<b>", "<c #FF0000>", ...
    Close,  // "</b>"
    Escape, // "<{>": one bracket drawn as text
};

// What the markup at one position of a text is.
struct RichTag {
    RichTagKind kind = RichTagKind::Text;
    // Open and Close: the tag letter.
    wchar_t letter = 0;
    // Open: the tag text after the letter and its space (empty for "<b>").
    std::wstring argument;
    // Escape: the character drawn.
    wchar_t character = 0;
    // Characters the markup takes in the text (0 for Text).
    size_t length = 0;
};

// Whether the letter names a tag of the language.
bool IsRichTagLetter(wchar_t letter);
// The markup starting at text (which should point at "<" or "{"); Text for
// anything that is not a well-formed tag of a known letter, an unterminated
// tag among them. Null or empty text is Text.
RichTag ParseRichTag(const wchar_t* text);

// ---- Layout ----------------------------------------------------------

// Where a layout records its links. Each array, when given, has room for
// *count entries; the layout fills them in the order the links close and
// sets *count to the number recorded. Null arrays are not touched; a null
// count records nothing. A link cut by a line break is recorded once per
// line, under the same name.
struct RichTextLinks {
    RECT* rects = nullptr;
    CUiString* names = nullptr;
    int* count = nullptr;
};

// An inline image placed by the layout, in the layout's coordinates.
struct RichTextImage {
    // Borrowed from the window core's image table.
    ID2D1Bitmap* bitmap = nullptr;
    // The chosen frame's part of the bitmap (bitmap pixels).
    RECTF source;
    RECTF dest;
};

// What the layout draws on. dc is required: fonts are selected into it and
// text is measured on it; it gets its font back before the layout returns.
// graphics (borrowed) is drawn on when given, else a GDI+ graphics on dc.
// Inline images are handed to `images` (GDI+ cannot draw a Direct2D
// bitmap); without a sink they take their room but are not drawn.
struct RichTextCanvas {
    HDC dc = nullptr;
    Gdiplus::Graphics* graphics = nullptr;
    std::function<void(const RichTextImage&)> images;
};

// The text-style bits read by the layout (GDI DrawText values).
//   DT_CENTER, DT_RIGHT: each line is placed by its own measured width.
//   DT_VCENTER, DT_BOTTOM: the whole text by its measured height.
//   DT_WORDBREAK: a line is cut after the last character that is not an
//   ASCII letter. DT_SINGLELINE: one line, "<n>" ignored.
//   DT_END_ELLIPSIS: a cut line ends in "...".
//   DT_CALCRECT: only measures; rect receives the extent.
//
// Lays out and draws text in rect with the ARGB colour. Nothing happens
// without a core, a dc, text, or with an empty rect (a given link count
// becomes 0). With DT_CALCRECT rect.right becomes min(right, the widest
// line's right) and rect.bottom the bottom of the last line. The hovered
// link (the one whose rectangle, as the previous layout left it in
// links, holds the core's last mouse position) gets the core's hot link
// colour.
void DrawHtmlTextLayout(WindowCore* core, RECT& rect, const wchar_t* text, uint32_t argb,
                        const RichTextLinks& links, UINT format, const RichTextCanvas& canvas);

// The extent the layout gives text in rect (DT_CALCRECT on a memory DC):
// rect's left and top, the widest line's right (at most rect.right) and
// the last line's bottom. links as for DrawHtmlTextLayout, may be empty.
RECT MeasureHtmlText(WindowCore* core, const RECT& rect, const wchar_t* text, UINT format,
                     const RichTextLinks& links = RichTextLinks());

// Index of the first of count rectangles that holds the point; -1 when none
// does or rects is null.
int HitTestHtmlLinks(const RECT* rects, int count, POINT point);

} // namespace ui
