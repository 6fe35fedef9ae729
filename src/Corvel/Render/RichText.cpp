// Rich text layout: the tag parser and the line walker. Each line is walked
// twice: a measuring pass finds its height, width and links, then a drawing
// pass draws it with the final line height, shifted by its alignment.
// UI thread only.
#include "Corvel/Render/RichText.h"

#include <objbase.h>
#include <gdiplus.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <unordered_map>
#include <vector>

#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/FontManager.h"
#include "Corvel/Render/UiImage.h"

namespace ui {

namespace {

// Numbers in tags (moves, line heights, spacings, font ids) are clamped to
// this magnitude, so a typo in a skin cannot overflow the pen.
constexpr long kMaxTagNumber = 10000;
// Font size of an "f" tag that names a face without a size (96 DPI pixels).
constexpr int kDefaultTagFontSize = 10;
constexpr int kMinTagFontSize = 1;
constexpr int kMaxTagFontSize = 500;
// Colours set by tags are never fully transparent or opaque for the GDI+
// brush: an alpha of 0 or 255 becomes this (so "FF0000" shows as red).
constexpr uint32_t kTagAlpha = 0xFEu;
// Height of the rectangle the vertical alignment measures in: tall enough
// that no text is cut by it.
constexpr LONG kMeasureHeight = 1 << 20;
// Without outline metrics a decoration line is this share of the font's
// height thick.
constexpr float kDecorationShare = 14.0f;
constexpr wchar_t kEllipsis[] = L"...";
constexpr int kEllipsisLength = 3;

bool IsOpenBracket(wchar_t c) { return c == L'<' || c == L'{'; }
bool IsCloseBracket(wchar_t c) { return c == L'>' || c == L'}'; }
bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

long ClampedNumber(const std::wstring& text, int base = 10)
{
    const long value = wcstol(text.c_str(), nullptr, base);
    return std::clamp(value, -kMaxTagNumber, kMaxTagNumber);
}

uint32_t TagColour(uint32_t argb)
{
    const uint32_t alpha = argb >> 24;
    if (alpha == 0 || alpha == 0xFFu)
        return (argb & 0x00FFFFFFu) | (kTagAlpha << 24);
    return argb;
}

COLORREF ToColorRef(uint32_t argb)
{
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

// Whitespace-separated words of a tag argument.
std::vector<std::wstring> Words(const std::wstring& text)
{
    std::vector<std::wstring> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && iswspace(text[i]))
            ++i;
        const size_t start = i;
        while (i < text.size() && !iswspace(text[i]))
            ++i;
        if (i > start)
            words.push_back(text.substr(start, i - start));
    }
    return words;
}

bool IsNumberWord(const std::wstring& word)
{
    size_t i = (!word.empty() && (word[0] == L'-' || word[0] == L'+')) ? 1 : 0;
    return i < word.size() && iswdigit(word[i]);
}

// Font styles a tag adds.
enum StyleBit : unsigned { kBold = 1u, kUnderline = 2u, kItalic = 4u, kStrikeout = 8u };

enum class Pass { Measure, Draw };
enum class Step { Continue, EndLine, EndText };

// Everything a line's drawing pass must start from again.
struct PenState {
    std::vector<tagTFontInfo*> fonts;
    std::vector<uint32_t> colours;
    std::vector<int> paragraphs;
    size_t pos = 0;
    float x = 0.0f;
    bool raw = false;
    bool selection = false;
    bool linkOpen = false;
    float linkLeft = 0.0f;
    std::wstring linkName;
};

// A memory DC on the screen, for measuring without a surface.
class MemoryDc {
public:
    MemoryDc() : m_dc(CreateCompatibleDC(nullptr)) {}
    ~MemoryDc()
    {
        if (m_dc)
            DeleteDC(m_dc);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return m_dc; }

private:
    HDC m_dc;
};

class HtmlLayout {
public:
    HtmlLayout(WindowCore* core, RECT& rect, const wchar_t* text, uint32_t argb, const RichTextLinks& links,
               UINT format, const RichTextCanvas& canvas);
    ~HtmlLayout();
    HtmlLayout(const HtmlLayout&) = delete;
    HtmlLayout& operator=(const HtmlLayout&) = delete;

    void Run();

private:
    // Set-up.
    void FindHoveredLink();
    void PrepareDevice();
    void AlignVertically();
    // Lines.
    void WalkLines();
    Step WalkLine();
    void FinishLineLinks(int firstLink, float offset);
    float AlignmentOffset(float lineWidth) const;
    // Pieces of a line.
    Step DoTag(const RichTag& tag);
    Step DoOpenTag(const RichTag& tag);
    void DoCloseTag(const RichTag& tag);
    Step DoRun();
    Step DoImage(const std::wstring& argument);
    void DrawRun(const wchar_t* run, int length, float width);
    // Fonts and colours.
    tagTFontInfo* CurrentFont() const;
    tagTFontInfo* WithStyle(unsigned add, unsigned unlessHas);
    tagTFontInfo* FontFromTag(const std::wstring& argument);
    void PushFont(tagTFontInfo* font);
    void PopFont();
    void SelectCurrentFont();
    Gdiplus::Font* GdiplusFontFor(tagTFontInfo* font);
    void MeasureDecorations(const tagTFontInfo* font);
    void PushColour(uint32_t argb);
    void PopColour();
    // Links.
    void OpenLink(const std::wstring& name);
    void RecordLink(float right, float bottom);
    // Measuring.
    float Extent(const wchar_t* s, int length) const;
    int FitCount(const wchar_t* s, int length, float room) const;
    int WordBreakCut(const std::wstring& run, int cut) const;
    float FontLineHeight() const { return static_cast<float>(m_tm.tmHeight + m_tm.tmExternalLeading); }
    int TopSpacing() const { return m_state.paragraphs.empty() ? 0 : m_state.paragraphs.back(); }
    bool AtLeftEdge() const { return m_state.x <= static_cast<float>(m_rect.left); }
    bool Has(UINT bit) const { return (m_format & bit) != 0; }

    WindowCore* m_core;
    RECT& m_rect;
    const wchar_t* m_text;
    size_t m_length;
    uint32_t m_argb;
    RichTextLinks m_links;
    UINT m_format;
    RichTextCanvas m_canvas;
    HDC m_dc;

    // Link slots the caller offered and the links recorded so far.
    int m_linkCapacity = 0;
    int m_linkCount = 0;
    std::wstring m_hoveredLink;

    // Device state given back at the end.
    HGDIOBJ m_oldFont = nullptr;
    int m_oldBkMode = 0;
    COLORREF m_oldTextColour = 0;
    COLORREF m_oldBkColour = 0;
    bool m_devicePrepared = false;

    std::unique_ptr<Gdiplus::Graphics> m_ownGraphics;
    Gdiplus::Graphics* m_graphics = nullptr;
    std::unique_ptr<Gdiplus::StringFormat> m_stringFormat;
    std::unordered_map<tagTFontInfo*, std::unique_ptr<Gdiplus::Font>> m_gdiplusFonts;
    Gdiplus::Font* m_gdiplusFont = nullptr;
    TEXTMETRICW m_tm{};
    // A line under or through the text: offset of its top from the
    // baseline (down is positive) and thickness, in pixels; 0 thick for none.
    struct DecorationLine {
        float offset = 0.0f;
        float thickness = 0.0f;
    };
    DecorationLine m_underline;
    DecorationLine m_strikeout;

    tagTFontInfo* m_defaultFont = nullptr;
    PenState m_state;
    Pass m_pass = Pass::Measure;
    float m_y = 0.0f;
    float m_lineTop = 0.0f;
    float m_lineHeight = 0.0f;
    // Right end of what the current line holds (measuring pass).
    float m_lineRight = 0.0f;
    float m_widest = 0.0f;
    float m_offsetX = 0.0f;
};

HtmlLayout::HtmlLayout(WindowCore* core, RECT& rect, const wchar_t* text, uint32_t argb, const RichTextLinks& links,
                       UINT format, const RichTextCanvas& canvas)
    : m_core(core)
    , m_rect(rect)
    , m_text(text)
    , m_length(text ? wcslen(text) : 0)
    , m_argb(argb)
    , m_links(links)
    , m_format(format)
    , m_canvas(canvas)
    , m_dc(canvas.dc)
{
    m_linkCapacity = links.count ? std::max(0, *links.count) : 0;
}

HtmlLayout::~HtmlLayout()
{
    if (!m_devicePrepared)
        return;
    SelectObject(m_dc, m_oldFont);
    SetBkMode(m_dc, m_oldBkMode);
    SetTextColor(m_dc, m_oldTextColour);
    SetBkColor(m_dc, m_oldBkColour);
}

void HtmlLayout::Run()
{
    if (!m_core || !m_dc || m_length == 0 || m_rect.right <= m_rect.left || m_rect.bottom <= m_rect.top) {
        if (m_links.count)
            *m_links.count = 0;
        return;
    }
    FindHoveredLink();
    PrepareDevice();
    if (Has(DT_VCENTER | DT_BOTTOM) && !Has(DT_CALCRECT))
        AlignVertically();
    WalkLines();
    if (m_links.count)
        *m_links.count = m_linkCount;
    if (Has(DT_CALCRECT)) {
        m_rect.right = std::min(m_rect.right, static_cast<LONG>(std::ceil(m_widest)));
        m_rect.bottom = static_cast<LONG>(std::ceil(m_y));
    }
}

// The link under the mouse, from the rectangles the previous layout left.
void HtmlLayout::FindHoveredLink()
{
    if (!m_links.rects || !m_links.names)
        return;
    const int hit = HitTestHtmlLinks(m_links.rects, m_linkCapacity, m_core->GetLastMousePoint());
    if (hit >= 0)
        m_hoveredLink = m_links.names[hit].GetData() ? m_links.names[hit].GetData() : L"";
}

void HtmlLayout::PrepareDevice()
{
    m_defaultFont = m_core->GetDefaultFont();
    m_oldFont = GetCurrentObject(m_dc, OBJ_FONT);
    m_oldBkMode = SetBkMode(m_dc, TRANSPARENT);
    m_oldTextColour = SetTextColor(m_dc, ToColorRef(m_argb));
    m_oldBkColour = SetBkColor(m_dc, ToColorRef(m_core->GetTextBkColor()));
    m_devicePrepared = true;

    m_state.colours.push_back(m_argb);
    m_state.x = static_cast<float>(m_rect.left);
    SelectCurrentFont();

    if (Has(DT_CALCRECT))
        return;
    m_graphics = m_canvas.graphics;
    if (!m_graphics) {
        m_ownGraphics = std::make_unique<Gdiplus::Graphics>(m_dc);
        m_graphics = m_ownGraphics.get();
    }
    m_graphics->SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    m_graphics->SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
    // Typographic layout draws a run as wide as GDI measured it; runs are
    // placed one by one, so nothing wraps or clips inside the call.
    m_stringFormat.reset(Gdiplus::StringFormat::GenericTypographic()->Clone());
    if (m_stringFormat)
        m_stringFormat->SetFormatFlags(m_stringFormat->GetFormatFlags() | Gdiplus::StringFormatFlagsNoWrap |
                                       Gdiplus::StringFormatFlagsNoClip |
                                       Gdiplus::StringFormatFlagsMeasureTrailingSpaces);
}

// Moves the rectangle to the text's measured height.
void HtmlLayout::AlignVertically()
{
    RECT measure{0, 0, m_rect.right - m_rect.left, kMeasureHeight};
    RichTextCanvas canvas;
    canvas.dc = m_dc;
    DrawHtmlTextLayout(m_core, measure, m_text, m_argb, RichTextLinks(), m_format | DT_CALCRECT, canvas);
    const LONG height = measure.bottom;
    if (Has(DT_VCENTER)) {
        m_rect.top = (m_rect.top + m_rect.bottom) / 2 - height / 2;
        m_rect.bottom = m_rect.top + height;
    } else {
        m_rect.top = m_rect.bottom - height;
    }
}

// ------------------------------------------------------------------ lines

void HtmlLayout::WalkLines()
{
    m_y = static_cast<float>(m_rect.top);
    for (;;) {
        const PenState start = m_state;
        const int firstLink = m_linkCount;
        m_lineTop = m_y;
        m_lineHeight = FontLineHeight() + static_cast<float>(TopSpacing());
        m_lineRight = static_cast<float>(m_rect.left);
        m_offsetX = 0.0f;

        m_pass = Pass::Measure;
        const Step step = WalkLine();
        const PenState end = m_state;
        m_widest = std::max(m_widest, m_lineRight);
        const float offset = AlignmentOffset(m_lineRight - static_cast<float>(m_rect.left));

        if (!Has(DT_CALCRECT)) {
            m_state = start;
            SelectCurrentFont();
            m_offsetX = offset;
            m_pass = Pass::Draw;
            WalkLine();
        }
        m_state = end;
        SelectCurrentFont();
        FinishLineLinks(firstLink, offset);

        m_y = m_lineTop + m_lineHeight;
        const bool stuck = m_state.pos == start.pos;
        if (step == Step::EndText || Has(DT_SINGLELINE) || stuck || m_y >= static_cast<float>(m_rect.bottom))
            break;
        m_state.x = static_cast<float>(m_rect.left);
    }
}

float HtmlLayout::AlignmentOffset(float lineWidth) const
{
    const float room = static_cast<float>(m_rect.right - m_rect.left) - lineWidth;
    if (room <= 0.0f)
        return 0.0f;
    if (Has(DT_CENTER))
        return std::floor(room / 2.0f);
    if (Has(DT_RIGHT))
        return room;
    return 0.0f;
}

// Links recorded on the line reach down to its bottom and move with its
// alignment; a link still open is recorded up to the line's end and goes
// on from the left edge of the next line.
void HtmlLayout::FinishLineLinks(int firstLink, float offset)
{
    if (m_state.linkOpen) {
        RecordLink(m_lineRight, m_lineTop + m_lineHeight);
        m_state.linkLeft = static_cast<float>(m_rect.left);
    }
    if (!m_links.rects)
        return;
    const int last = std::min(m_linkCount, m_linkCapacity);
    const LONG shift = static_cast<LONG>(offset);
    for (int i = firstLink; i < last; ++i) {
        m_links.rects[i].bottom = static_cast<LONG>(std::ceil(m_lineTop + m_lineHeight));
        m_links.rects[i].left += shift;
        m_links.rects[i].right += shift;
    }
}

Step HtmlLayout::WalkLine()
{
    for (;;) {
        if (m_state.pos >= m_length)
            return Step::EndText;
        const wchar_t c = m_text[m_state.pos];
        if (c == L'\n') {
            ++m_state.pos;
            return Step::EndLine;
        }
        if (c == L'\r') {
            ++m_state.pos;
            continue;
        }
        if (IsOpenBracket(c)) {
            const RichTag tag = ParseRichTag(m_text + m_state.pos);
            const bool endsRaw = tag.kind == RichTagKind::Close && tag.letter == L'r';
            if ((tag.kind == RichTagKind::Open || tag.kind == RichTagKind::Close) && (!m_state.raw || endsRaw)) {
                const Step step = DoTag(tag);
                if (step != Step::Continue)
                    return step;
                continue;
            }
        }
        const Step step = DoRun();
        if (step != Step::Continue)
            return step;
    }
}

// ------------------------------------------------------------------- tags

Step HtmlLayout::DoTag(const RichTag& tag)
{
    if (tag.kind == RichTagKind::Close) {
        m_state.pos += tag.length;
        DoCloseTag(tag);
        const bool breaks = tag.letter == L'p' && !AtLeftEdge();
        return breaks ? Step::EndLine : Step::Continue;
    }
    return DoOpenTag(tag);
}

Step HtmlLayout::DoOpenTag(const RichTag& tag)
{
    // Tags that start on a fresh line leave the pen where it is and end the
    // line first; they are read again on the next one.
    if (tag.letter == L'p' && !AtLeftEdge())
        return Step::EndLine;
    if (tag.letter == L'i' && !tag.argument.empty())
        return DoImage(tag.argument);

    m_state.pos += tag.length;
    switch (tag.letter) {
    case L'a': OpenLink(tag.argument); break;
    case L'b': PushFont(WithStyle(kBold, kBold)); break;
    case L'i': PushFont(WithStyle(kItalic, kItalic)); break;
    case L'u': PushFont(WithStyle(kUnderline, kUnderline)); break;
    case L'd': PushFont(WithStyle(kBold | kStrikeout, kBold)); break;
    case L'f': PushFont(FontFromTag(tag.argument)); break;
    case L'c': {
        std::wstring value = tag.argument;
        const size_t hash = value.find(L'#');
        if (hash != std::wstring::npos)
            value = value.substr(hash + 1);
        PushColour(TagColour(static_cast<uint32_t>(wcstoul(value.c_str(), nullptr, 16))));
        break;
    }
    case L'n':
        if (!Has(DT_SINGLELINE))
            return Step::EndLine;
        break;
    case L'p': {
        const int spacing = static_cast<int>(ClampedNumber(tag.argument));
        m_state.paragraphs.push_back(spacing);
        if (m_pass == Pass::Measure)
            m_lineHeight = std::max(m_lineHeight, FontLineHeight() + static_cast<float>(spacing));
        break;
    }
    case L'r': m_state.raw = true; break;
    case L's':
        m_state.selection = !m_state.selection;
        SetBkMode(m_dc, m_state.selection ? OPAQUE : TRANSPARENT);
        break;
    case L'x': m_state.x += static_cast<float>(ClampedNumber(tag.argument)); break;
    case L'y':
        if (m_pass == Pass::Measure)
            m_lineHeight = static_cast<float>(std::max(0L, ClampedNumber(tag.argument)));
        break;
    default: break;
    }
    return Step::Continue;
}

// A closing tag whose stack is empty is ignored.
void HtmlLayout::DoCloseTag(const RichTag& tag)
{
    switch (tag.letter) {
    case L'a':
        if (!m_state.linkOpen)
            break;
        if (m_pass == Pass::Measure)
            RecordLink(std::min(m_state.x, static_cast<float>(m_rect.right)), m_lineTop + FontLineHeight());
        m_state.linkOpen = false;
        PopColour();
        PopFont();
        break;
    case L'b':
    case L'd':
    case L'f':
    case L'i':
    case L'u': PopFont(); break;
    case L'c': PopColour(); break;
    case L'p':
        if (!m_state.paragraphs.empty())
            m_state.paragraphs.pop_back();
        break;
    case L'r': m_state.raw = false; break;
    case L's':
        m_state.selection = !m_state.selection;
        SetBkMode(m_dc, m_state.selection ? OPAQUE : TRANSPARENT);
        break;
    default: break;
    }
}

// ------------------------------------------------------------------- runs

Step HtmlLayout::DoRun()
{
    // Characters up to the next tag, line feed or end of raw text; each
    // character remembers where it ends in the text.
    std::wstring run;
    std::vector<size_t> ends;
    size_t p = m_state.pos;
    while (p < m_length) {
        const wchar_t c = m_text[p];
        if (c == L'\n' || c == L'\r')
            break;
        if (IsOpenBracket(c)) {
            const RichTag tag = ParseRichTag(m_text + p);
            const bool endsRaw = tag.kind == RichTagKind::Close && tag.letter == L'r';
            if (!m_state.raw && tag.kind == RichTagKind::Escape) {
                run.push_back(tag.character);
                p += tag.length;
                ends.push_back(p);
                continue;
            }
            if ((tag.kind == RichTagKind::Open || tag.kind == RichTagKind::Close) && (!m_state.raw || endsRaw))
                break;
        }
        run.push_back(c);
        ends.push_back(++p);
    }
    if (run.empty()) {
        m_state.pos = p;
        return Step::Continue;
    }

    // A leading space moves the pen by its own width.
    int first = 0;
    while (first < static_cast<int>(run.size()) && run[first] == L' ') {
        if (m_state.selection && m_pass == Pass::Draw)
            DrawRun(L" ", 1, Extent(L" ", 1));
        m_state.x += Extent(L" ", 1);
        m_state.pos = ends[first];
        ++first;
    }
    const int length = static_cast<int>(run.size()) - first;
    if (length == 0) {
        m_lineRight = std::max(m_lineRight, std::min(m_state.x, static_cast<float>(m_rect.right)));
        return Step::Continue;
    }
    const wchar_t* s = run.c_str() + first;

    const float right = static_cast<float>(m_rect.right);
    const float fullWidth = Extent(s, length);
    int cut = length;
    bool cutLine = false;
    const bool ellipsis = Has(DT_END_ELLIPSIS);
    if (m_state.x + fullWidth > right) {
        cutLine = true;
        const float room = right - m_state.x;
        cut = FitCount(s, length, ellipsis ? room - Extent(kEllipsis, kEllipsisLength) : room);
        if (Has(DT_WORDBREAK))
            cut = WordBreakCut(std::wstring(s, length), cut);
        // A line always takes something, or the walk would never end.
        if (cut == 0 && AtLeftEdge())
            cut = std::max(1, FitCount(s, length, room));
        // Never between the halves of a surrogate pair.
        if (cut > 0 && cut < length && IS_HIGH_SURROGATE(s[cut - 1]))
            cut = cut > 1 ? cut - 1 : cut + 1;
    }

    // A word-wrapped line ends at its last word, not at the spaces after it.
    int shown = cut;
    if (cutLine && Has(DT_WORDBREAK)) {
        while (shown > 0 && s[shown - 1] == L' ')
            --shown;
    }
    const float width = shown == length ? fullWidth : Extent(s, shown);
    const bool dots = cutLine && ellipsis && cut > 0;
    const float dotsWidth = dots ? Extent(kEllipsis, kEllipsisLength) : 0.0f;
    if (m_pass == Pass::Draw && shown > 0)
        DrawRun(s, shown, width);
    if (cut > 0)
        m_state.pos = ends[first + cut - 1];
    m_state.x += width;
    if (m_pass == Pass::Draw && dots)
        DrawRun(kEllipsis, kEllipsisLength, dotsWidth);
    m_lineRight = std::max(m_lineRight, std::min(m_state.x + dotsWidth, right));
    if (!cutLine)
        return Step::Continue;

    m_state.x = right;
    // A word-wrapped line does not start the next one with the spaces it
    // was cut at.
    if (Has(DT_WORDBREAK)) {
        while (m_state.pos < m_length && m_text[m_state.pos] == L' ')
            ++m_state.pos;
    }
    return Step::EndLine;
}

// The cut moved back to just after the last character that is not an ASCII
// letter (0 when every character before the cut is one).
int HtmlLayout::WordBreakCut(const std::wstring& run, int cut) const
{
    if (cut >= static_cast<int>(run.size()) || !IsAsciiLetter(run[cut]))
        return cut;
    for (int i = cut - 1; i >= 0; --i) {
        if (!IsAsciiLetter(run[i]))
            return i + 1;
    }
    return 0;
}

// Draws at the pen (plus the line's alignment), with the run's bottom on
// the line's bottom, and moves nothing: the caller advances the pen.
void HtmlLayout::DrawRun(const wchar_t* run, int length, float width)
{
    if (!m_graphics || !m_gdiplusFont)
        return;
    const float x = m_state.x + m_offsetX;
    const float y = m_lineTop + m_lineHeight - FontLineHeight();
    if (m_state.selection) {
        // GDI+ text has no background of its own: the selection is filled.
        Gdiplus::SolidBrush background{Gdiplus::Color(m_core->GetTextBkColor())};
        m_graphics->FillRectangle(&background, x, m_lineTop, width, m_lineHeight);
    }
    Gdiplus::SolidBrush brush{Gdiplus::Color(m_state.colours.back())};
    m_graphics->DrawString(run, length, m_gdiplusFont, Gdiplus::PointF(x, y), m_stringFormat.get(), &brush);
    const float baseline = y + static_cast<float>(m_tm.tmAscent);
    for (const DecorationLine& line : {m_underline, m_strikeout}) {
        if (line.thickness > 0.0f)
            m_graphics->FillRectangle(&brush, x, baseline + line.offset, width, line.thickness);
    }
}

// "<i name [frames [frame]]>": one frame of an image of the window core's
// table, a horizontal strip of that many frames.
Step HtmlLayout::DoImage(const std::wstring& argument)
{
    const std::vector<std::wstring> words = Words(argument);
    const bool descriptor =
        argument.find(L"file='") != std::wstring::npos || argument.find(L"res='") != std::wstring::npos;
    int frames = 1;
    int frame = 0;
    if (!descriptor && words.size() > 1)
        frames = std::max(1, static_cast<int>(ClampedNumber(words[1])));
    if (!descriptor && words.size() > 2)
        frame = static_cast<int>(ClampedNumber(words[2]));
    if (frame < 0 || frame >= frames)
        frame = 0;

    CUiImage image(descriptor || words.empty() ? argument.c_str() : words[0].c_str());
    tagTImageInfo* info = m_core->GetImage(image);
    if (!info || info->width <= 0 || info->height <= 0 || info->frames.empty()) {
        m_state.pos += ParseRichTag(m_text + m_state.pos).length;
        return Step::Continue;
    }
    const float width = static_cast<float>(info->width) / static_cast<float>(frames);
    const float height = static_cast<float>(info->height);
    if (!AtLeftEdge() && m_state.x + width > static_cast<float>(m_rect.right) && !Has(DT_SINGLELINE))
        return Step::EndLine;
    m_state.pos += ParseRichTag(m_text + m_state.pos).length;

    if (m_pass == Pass::Measure) {
        m_lineHeight = std::max(m_lineHeight, height);
        m_lineRight = std::max(m_lineRight, std::min(m_state.x + width, static_cast<float>(m_rect.right)));
    } else if (m_canvas.images) {
        const int shown = std::clamp(info->currentFrame, 0, info->FrameCount() - 1);
        RichTextImage placed;
        placed.bitmap = info->frames[static_cast<size_t>(shown)].Get();
        placed.source = RECTF(width * static_cast<float>(frame), 0.0f, width * static_cast<float>(frame + 1), height);
        const float left = m_state.x + m_offsetX;
        const float top = height < m_lineHeight ? m_lineTop + (m_lineHeight - height) / 2.0f
                                                : m_lineTop + m_lineHeight - height;
        placed.dest = RECTF(left, top, left + width, top + height);
        m_canvas.images(placed);
    }
    m_state.x += width;
    return Step::Continue;
}

// ------------------------------------------------------- fonts and colours

tagTFontInfo* HtmlLayout::CurrentFont() const
{
    return m_state.fonts.empty() ? m_defaultFont : m_state.fonts.back();
}

// The current font with the styles of `add`, or the current font itself
// when it has any style of `unlessHas`. A font that changes nothing is
// pushed all the same, so that every closing tag pops what its own opening
// tag pushed.
tagTFontInfo* HtmlLayout::WithStyle(unsigned add, unsigned unlessHas)
{
    tagTFontInfo* font = CurrentFont();
    if (!font)
        return nullptr;
    const unsigned has = (font->bold ? kBold : 0u) | (font->underline ? kUnderline : 0u) |
                         (font->italic ? kItalic : 0u) | (font->strikeout ? kStrikeout : 0u);
    if (has & unlessHas)
        return font;
    const unsigned bits = has | add;
    tagTFontInfo* variant = m_core->FindFont(font->scale, font->face, font->size, (bits & kBold) != 0,
                                             (bits & kUnderline) != 0, (bits & kItalic) != 0,
                                             (bits & kStrikeout) != 0);
    return variant ? variant : font;
}

// "<f 3>": font id 3 of the window core; "<f Face [size] [bold underline
// italic strikeout]>": that face, found or added. The face runs up to the
// size, or is the first word when no size follows.
tagTFontInfo* HtmlLayout::FontFromTag(const std::wstring& argument)
{
    const std::vector<std::wstring> words = Words(argument);
    if (words.empty())
        return CurrentFont();
    if (IsNumberWord(words[0]))
        return m_core->GetFont(static_cast<int>(ClampedNumber(words[0])));

    size_t sizeWord = 1;
    while (sizeWord < words.size() && !IsNumberWord(words[sizeWord]))
        ++sizeWord;
    std::wstring face = words[0];
    int size = kDefaultTagFontSize;
    size_t rest = 1;
    if (sizeWord < words.size()) {
        for (size_t i = 1; i < sizeWord; ++i)
            face += L" " + words[i];
        size = std::clamp(static_cast<int>(ClampedNumber(words[sizeWord])), kMinTagFontSize, kMaxTagFontSize);
        rest = sizeWord + 1;
    }
    std::wstring flags;
    for (size_t i = rest; i < words.size(); ++i)
        flags += words[i];
    for (wchar_t& c : flags)
        c = static_cast<wchar_t>(towlower(c));
    const auto has = [&flags](const wchar_t* word) { return flags.find(word) != std::wstring::npos; };
    const tagTFontInfo* current = CurrentFont();
    const float scale = current ? current->scale : m_core->GetScale();
    return m_core->FindFont(scale, face.c_str(), size, has(L"bold"), has(L"underline"), has(L"italic"),
                            has(L"strikeout"));
}

void HtmlLayout::PushFont(tagTFontInfo* font)
{
    m_state.fonts.push_back(font ? font : CurrentFont());
    SelectCurrentFont();
}

void HtmlLayout::PopFont()
{
    if (m_state.fonts.empty())
        return;
    const bool wasItalic = m_tm.tmItalic != 0;
    m_state.fonts.pop_back();
    const tagTFontInfo* next = CurrentFont();
    if (wasItalic && next && !next->italic) {
        // The slant of the last italic letter leans into the next upright one.
        ABC abc{};
        if (GetCharABCWidthsW(m_dc, L' ', L' ', &abc))
            m_state.x += static_cast<float>(abc.abcC) / 2.0f;
    }
    SelectCurrentFont();
}

void HtmlLayout::SelectCurrentFont()
{
    tagTFontInfo* font = CurrentFont();
    if (!font || !font->hFont)
        return;
    SelectObject(m_dc, font->hFont);
    GetTextMetricsW(m_dc, &m_tm);
    m_gdiplusFont = GdiplusFontFor(font);
    MeasureDecorations(font);
    if (m_pass == Pass::Measure)
        m_lineHeight = std::max(m_lineHeight, FontLineHeight() + static_cast<float>(TopSpacing()));
}

// Underline and strike-out of the selected font, from GDI's metrics, so
// they run exactly under the width GDI measured.
void HtmlLayout::MeasureDecorations(const tagTFontInfo* font)
{
    m_underline = DecorationLine();
    m_strikeout = DecorationLine();
    if (Has(DT_CALCRECT) || (!font->underline && !font->strikeout))
        return;
    OUTLINETEXTMETRICW otm{};
    otm.otmSize = sizeof(otm);
    const bool outline = GetOutlineTextMetricsW(m_dc, sizeof(otm), &otm) != 0;
    const float fallbackThickness = std::max(1.0f, static_cast<float>(m_tm.tmHeight) / kDecorationShare);
    if (font->underline) {
        m_underline.offset = outline ? -static_cast<float>(otm.otmsUnderscorePosition)
                                     : static_cast<float>(m_tm.tmDescent) / 2.0f;
        m_underline.thickness = outline ? std::max(1.0f, static_cast<float>(otm.otmsUnderscoreSize))
                                        : fallbackThickness;
    }
    if (font->strikeout) {
        m_strikeout.offset = outline ? -static_cast<float>(otm.otmsStrikeoutPosition)
                                     : -static_cast<float>(m_tm.tmAscent) / 3.0f;
        m_strikeout.thickness = outline ? std::max(1.0f, static_cast<float>(otm.otmsStrikeoutSize))
                                        : fallbackThickness;
    }
}

// The GDI+ font of a font of the window core, made once per call from its
// wide-character description (the ANSI one loses faces such as Chinese
// ones), or from the DC's font when that fails.
Gdiplus::Font* HtmlLayout::GdiplusFontFor(tagTFontInfo* font)
{
    if (Has(DT_CALCRECT))
        return nullptr;
    auto found = m_gdiplusFonts.find(font);
    if (found != m_gdiplusFonts.end())
        return found->second.get();
    std::unique_ptr<Gdiplus::Font> made;
    LOGFONTW lf{};
    if (GetObjectW(font->hFont, sizeof(lf), &lf) == sizeof(lf)) {
        // The layout draws underline and strike-out itself: GDI+ under Wine
        // draws neither for DrawString.
        lf.lfUnderline = FALSE;
        lf.lfStrikeOut = FALSE;
        made = std::make_unique<Gdiplus::Font>(m_dc, &lf);
    }
    if (!made || made->GetLastStatus() != Gdiplus::Ok)
        made = std::make_unique<Gdiplus::Font>(m_dc);
    if (made->GetLastStatus() != Gdiplus::Ok)
        made.reset();
    Gdiplus::Font* result = made.get();
    m_gdiplusFonts.emplace(font, std::move(made));
    return result;
}

void HtmlLayout::PushColour(uint32_t argb)
{
    m_state.colours.push_back(argb);
    SetTextColor(m_dc, ToColorRef(argb));
}

// The call's own colour at the bottom is never popped.
void HtmlLayout::PopColour()
{
    if (m_state.colours.size() <= 1)
        return;
    m_state.colours.pop_back();
    SetTextColor(m_dc, ToColorRef(m_state.colours.back()));
}

// ------------------------------------------------------------------ links

void HtmlLayout::OpenLink(const std::wstring& name)
{
    const bool hovered = !m_hoveredLink.empty() && name == m_hoveredLink;
    PushColour(TagColour(hovered ? m_core->GetLinkHotTextColor() : m_core->GetLinkTextColor()));
    PushFont(WithStyle(kUnderline, kUnderline));
    m_state.linkOpen = true;
    m_state.linkLeft = m_state.x;
    m_state.linkName = name;
}

// Records the open link from where it began (on this line) to right.
void HtmlLayout::RecordLink(float right, float bottom)
{
    if (!m_links.count || m_linkCount >= m_linkCapacity)
        return;
    if (m_links.rects) {
        RECT& r = m_links.rects[m_linkCount];
        r.left = static_cast<LONG>(m_state.linkLeft);
        r.top = static_cast<LONG>(m_lineTop);
        r.right = static_cast<LONG>(std::ceil(right));
        r.bottom = static_cast<LONG>(std::ceil(bottom));
    }
    if (m_links.names)
        m_links.names[m_linkCount] = CUiString(m_state.linkName);
    ++m_linkCount;
}

// -------------------------------------------------------------- measuring

float HtmlLayout::Extent(const wchar_t* s, int length) const
{
    SIZE size{};
    if (length <= 0 || !GetTextExtentPoint32W(m_dc, s, length, &size))
        return 0.0f;
    return static_cast<float>(size.cx);
}

int HtmlLayout::FitCount(const wchar_t* s, int length, float room) const
{
    if (room <= 0.0f || length <= 0)
        return 0;
    INT fit = 0;
    SIZE size{};
    if (!GetTextExtentExPointW(m_dc, s, length, static_cast<int>(room), &fit, nullptr, &size))
        return 0;
    return std::clamp(fit, 0, length);
}

} // namespace

// ------------------------------------------------------------------ markup

bool IsRichTagLetter(wchar_t letter)
{
    switch (letter) {
    case L'a': case L'b': case L'c': case L'd': case L'f': case L'i': case L'n':
    case L'p': case L'r': case L's': case L'u': case L'x': case L'y':
        return true;
    default:
        return false;
    }
}

RichTag ParseRichTag(const wchar_t* text)
{
    RichTag tag;
    if (!text || !IsOpenBracket(text[0]))
        return tag;
    const wchar_t open = text[0];
    // "<{>" and "<}>" are braces, "{<}" and "{>}" angle brackets.
    const bool braceEscape = open == L'<' && (text[1] == L'{' || text[1] == L'}') && text[2] == L'>';
    const bool angleEscape = open == L'{' && (text[1] == L'<' || text[1] == L'>') && text[2] == L'}';
    if (braceEscape || angleEscape) {
        tag.kind = RichTagKind::Escape;
        tag.character = text[1];
        tag.length = 3;
        return tag;
    }
    if (text[1] == L'/' && IsRichTagLetter(text[2]) && IsCloseBracket(text[3])) {
        tag.kind = RichTagKind::Close;
        tag.letter = text[2];
        tag.length = 4;
        return tag;
    }
    if (!IsRichTagLetter(text[1]))
        return tag;
    if (IsCloseBracket(text[2])) {
        tag.kind = RichTagKind::Open;
        tag.letter = text[1];
        tag.length = 3;
        return tag;
    }
    if (text[2] != L' ')
        return tag;
    const wchar_t* end = text + 3;
    while (*end && !IsCloseBracket(*end))
        ++end;
    if (!*end)
        return tag;  // unterminated: drawn as text
    tag.kind = RichTagKind::Open;
    tag.letter = text[1];
    tag.argument.assign(text + 3, end);
    tag.length = static_cast<size_t>(end - text) + 1;
    return tag;
}

// ------------------------------------------------------------------ layout

void DrawHtmlTextLayout(WindowCore* core, RECT& rect, const wchar_t* text, uint32_t argb, const RichTextLinks& links,
                        UINT format, const RichTextCanvas& canvas)
{
    HtmlLayout layout(core, rect, text, argb, links, format, canvas);
    layout.Run();
}

RECT MeasureHtmlText(WindowCore* core, const RECT& rect, const wchar_t* text, UINT format, const RichTextLinks& links)
{
    RECT extent = rect;
    if (!text || !*text) {
        extent.right = extent.left;
        extent.bottom = extent.top;
    }
    MemoryDc dc;
    RichTextCanvas canvas;
    canvas.dc = dc.get();
    DrawHtmlTextLayout(core, extent, text, 0xFF000000u, links, format | DT_CALCRECT, canvas);
    return extent;
}

int HitTestHtmlLinks(const RECT* rects, int count, POINT point)
{
    if (!rects)
        return -1;
    for (int i = 0; i < count; ++i) {
        if (PtInRect(&rects[i], point))
            return i;
    }
    return -1;
}

} // namespace ui
