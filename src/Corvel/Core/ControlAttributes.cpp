// Markup attributes of the control base. Each known name has one setter in
// the table below; a name the base does not know is kept as an extra
// attribute for the concrete controls and style painters. Sizes are stored
// at 96 DPI and scaled where they are used.
#include "Corvel/Core/Control.h"

#include <cwchar>

#include "Corvel/Core/StyleValues.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/FontManager.h"
#include "Corvel/Render/UiColor.h"

namespace ui {

namespace {

constexpr wchar_t kTrue[] = L"true";
// Layer mode the "layered" attribute asks for.
constexpr uint8_t kLayerModeDefault = 1;
// Colour arguments of SetHotBorder that leave the colour as it is.
constexpr uint32_t kKeepColor = 0xFFFFFFFFu;

bool IsTrue(const wchar_t* value) { return wcscmp(value, kTrue) == 0; }
bool Is(const wchar_t* value, const wchar_t* word) { return wcscmp(value, word) == 0; }

int StrokeStyleOf(const wchar_t* value)
{
    if (Is(value, L"dash"))
        return kStrokeDash;
    if (Is(value, L"dot"))
        return kStrokeDot;
    if (Is(value, L"dashdot"))
        return kStrokeDashDot;
    if (Is(value, L"dashdotdot"))
        return kStrokeDashDotDot;
    return kStrokeSolid;
}

// Size mode of a whole size token: keywords only ("-1" is handled by the
// callers); -1 when the token is no keyword.
int SizeModeKeyword(const std::wstring& token)
{
    if (token == L"text" || token == L"auto")
        return kSizeText;
    if (token == L"flex" || token == L"fill")
        return kSizeStretch;
    if (token == L"child")
        return kSizeChildren;
    return -1;
}

std::vector<std::wstring> SplitSizeTokens(const wchar_t* value)
{
    std::vector<std::wstring> tokens;
    std::wstring current;
    for (const wchar_t* p = value;; ++p) {
        if (*p == L',' || *p == L'\0') {
            if (!current.empty())
                tokens.push_back(current);
            current.clear();
            if (*p == L'\0')
                break;
        } else {
            current.push_back(*p);
        }
    }
    return tokens;
}

} // namespace

void Control::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name)
        return;
    if (!value)
        value = L"";
    if (!ApplyBaseAttribute(name, value))
        m_extraAttributes[name] = value;
}

bool Control::ApplyBaseAttribute(const wchar_t* name, const wchar_t* value)
{
    using Setter = void (*)(Control&, const wchar_t*);
    static const std::unordered_map<std::wstring, Setter, WideKeyHash> kSetters = {
        // Geometry.
        {L"pos", [](Control& c, const wchar_t* v) { c.ApplyPosList(v); }},
        {L"rpos",
         [](Control& c, const wchar_t* v) {
             int n[4];
             ParseIntList(v, n, 4);
             c.SetFloatRect(float(n[0]), float(n[1]), float(n[2]), float(n[3]));
         }},
        {L"size", [](Control& c, const wchar_t* v) { c.ApplySizeTokens(v); }},
        {L"width", [](Control& c, const wchar_t* v) { c.ApplyAxisSize(v, true); }},
        {L"w", [](Control& c, const wchar_t* v) { c.ApplyAxisSize(v, true); }},
        {L"height", [](Control& c, const wchar_t* v) { c.ApplyAxisSize(v, false); }},
        {L"h", [](Control& c, const wchar_t* v) { c.ApplyAxisSize(v, false); }},
        {L"rsize",
         [](Control& c, const wchar_t* v) {
             int n[2];
             ParseIntList(v, n, 2);
             c.SetFloatScale(float(n[0]), float(n[1]));
         }},
        {L"padding",
         [](Control& c, const wchar_t* v) {
             int n[4];
             ParseIntList(v, n, 4);
             c.SetPadding(float(n[0]), float(n[1]), float(n[2]), float(n[3]));
         }},
        {L"minwidth", [](Control& c, const wchar_t* v) { c.SetMinWidth(ParseInt(v)); }},
        {L"minheight", [](Control& c, const wchar_t* v) { c.SetMinHeight(ParseInt(v)); }},
        {L"maxwidth", [](Control& c, const wchar_t* v) { c.SetMaxWidth(ParseInt(v)); }},
        {L"maxheight", [](Control& c, const wchar_t* v) { c.SetMaxHeight(ParseInt(v)); }},
        {L"float", [](Control& c, const wchar_t* v) { c.SetFloat(IsTrue(v)); }},
        {L"leadup", [](Control& c, const wchar_t* v) { c.SetFloatAnchor(IsTrue(v)); }},

        // Colours.
        {L"bkcolor",
         [](Control& c, const wchar_t* v) {
             if (Is(v, L"random") || Is(v, L"r")) {
                 Color random;
                 random.SetRandom();
                 c.SetBkColor(random.ToArgb());
             } else {
                 c.SetBkColor(ParseHexColor(v, true));
             }
         }},
        {L"textcolor", [](Control& c, const wchar_t* v) { c.SetTextColor(ParseHexColor(v, true)); }},
        {L"disabledbkcolor", [](Control& c, const wchar_t* v) { c.SetDisabledBkColor(ParseHexColor(v)); }},
        {L"bordercolor",
         [](Control& c, const wchar_t* v) {
             const uint32_t argb = ParseHexColor(v);
             if (argb == c.m_borderColor)
                 return;
             c.m_borderColor = argb;
             if (c.m_focusBorderColor == 0)
                 c.m_focusBorderColor = argb;
             if (c.m_hotBorderColor == 0)
                 c.m_hotBorderColor = argb;
             c.Repaint();
         }},
        {L"focusbordercolor",
         [](Control& c, const wchar_t* v) {
             const uint32_t argb = ParseHexColor(v);
             if (argb == c.m_focusBorderColor)
                 return;
             c.m_focusBorderSize = c.m_borderSize;
             c.m_focusBorderColor = argb;
             c.Repaint();
         }},
        {L"hotbordercolor", [](Control& c, const wchar_t* v) { c.SetHotBorder(-1.0f, ParseHexColor(v)); }},
        {L"disabledtextcolor",
         [](Control& c, const wchar_t* v) {
             c.m_disabledTextColor = ParseHexColor(v);
             c.Repaint();
         }},
        {L"textblur",
         [](Control& c, const wchar_t* v) { c.SetTextDrawOption(static_cast<int>(ParseHexColor(v, true))); }},
        {L"alpha", [](Control& c, const wchar_t* v) { c.SetAlpha(ParseInt(v)); }},

        // Borders.
        {L"hotbordersize",
         [](Control& c, const wchar_t* v) { c.SetHotBorder(static_cast<float>(ParseInt(v)), kKeepColor); }},
        {L"bordersize", [](Control& c, const wchar_t* v) { c.ApplyBorderSize(v); }},
        {L"leftbordersize", [](Control& c, const wchar_t* v) { c.ApplySideBorder(0, v); }},
        {L"topbordersize", [](Control& c, const wchar_t* v) { c.ApplySideBorder(1, v); }},
        {L"rightbordersize", [](Control& c, const wchar_t* v) { c.ApplySideBorder(2, v); }},
        {L"bottombordersize", [](Control& c, const wchar_t* v) { c.ApplySideBorder(3, v); }},
        {L"borderstroke",
         [](Control& c, const wchar_t* v) {
             const int stroke = StrokeStyleOf(v);
             if (stroke == c.m_borderStroke)
                 return;
             c.m_borderStroke = stroke;
             c.Repaint();
         }},
        {L"borderround", [](Control& c, const wchar_t* v) { c.ApplyBorderRound(v); }},
        {L"round", [](Control& c, const wchar_t* v) { c.ApplyBorderRound(v); }},
        {L"roundpos",
         [](Control& c, const wchar_t* v) {
             int n[4];
             const int read = ParseIntList(v, n, 4);
             c.m_roundCorners[0] = n[0];
             for (int i = 1; i < read; ++i)
                 c.m_roundCorners[i] = n[i];
         }},

        // Text.
        {L"font",
         [](Control& c, const wchar_t* v) {
             if (wcschr(v, L'=')) {
                 if (!c.m_core)
                     return;
                 if (tagTFontInfo* font = c.m_core->GetFontBySpec(v))
                     c.SetFontId(font->index);
             } else {
                 c.SetFontId(ParseInt(v));
             }
         }},
        {L"text", [](Control& c, const wchar_t* v) { c.SetText(v); }},
        {L"textpadding",
         [](Control& c, const wchar_t* v) {
             int n[4];
             ParseIntList(v, n, 4);
             for (int i = 0; i < 4; ++i)
                 c.m_textPadding[i] = static_cast<float>(n[i]);
             c.Repaint();
         }},
        {L"showhtml",
         [](Control& c, const wchar_t* v) {
             const bool on = IsTrue(v);
             if (on == c.m_showHtml)
                 return;
             c.m_showHtml = on;
             c.Repaint();
         }},
        {L"align", [](Control& c, const wchar_t* v) { c.ParseTextStyle(v); }},
        {L"charspace", [](Control& c, const wchar_t* v) { c.m_charSpacing = static_cast<float>(ParseInt(v)); }},
        {L"linespace", [](Control& c, const wchar_t* v) { c.m_lineSpacing = static_cast<float>(ParseInt(v)); }},

        // Identity, behaviour and state.
        {L"name", [](Control& c, const wchar_t* v) { c.SetName(v); }},
        {L"tooltip", [](Control& c, const wchar_t* v) { c.SetToolTip(v); }},
        {L"tip", [](Control& c, const wchar_t* v) { c.SetToolTip(v); }},
        {L"userdata", [](Control& c, const wchar_t* v) { c.SetUserData(v); }},
        {L"shortcut", [](Control& c, const wchar_t* v) { c.SetShortcut(v[0]); }},
        {L"enabled", [](Control& c, const wchar_t* v) { c.SetEnabled(IsTrue(v)); }},
        {L"mouse", [](Control& c, const wchar_t* v) { c.SetMouseEnabled(IsTrue(v)); }},
        {L"keyboard", [](Control& c, const wchar_t* v) { c.SetKeyboardEnabled(IsTrue(v)); }},
        {L"visible",
         [](Control& c, const wchar_t* v) {
             if (Is(v, L"true") || Is(v, L"false")) {
                 c.SetVisible(IsTrue(v));
             } else if (Is(v, L"true,only") || Is(v, L"false,only")) {
                 c.SetVisible(Is(v, L"true,only"));
                 c.SetVisibilityOption(true);
             }
         }},
        {L"menu", [](Control& c, const wchar_t* v) { c.SetContextMenuEnabled(IsTrue(v)); }},
        {L"needtab", [](Control& c, const wchar_t* v) { c.m_needTab = IsTrue(v); }},
        {L"needcursor",
         [](Control& c, const wchar_t* v) {
             if (IsTrue(v))
                 c.m_needCursor = true;
         }},
        {L"hand", [](Control& c, const wchar_t* v) { c.SetHandCursor(IsTrue(v)); }},
        {L"selected",
         [](Control& c, const wchar_t* v) {
             if (!IsTrue(v))
                 return;
             c.MakeSelectable();
             c.SetSelected(true);
         }},
        {L"selectable",
         [](Control& c, const wchar_t* v) {
             if (IsTrue(v))
                 c.MakeSelectable();
         }},
        {L"hole",
         [](Control& c, const wchar_t* v) {
             if (IsTrue(v))
                 c.m_hole = true;
         }},
        {L"needret",
         [](Control& c, const wchar_t* v) {
             if (IsTrue(v))
                 c.m_needReturn = true;
         }},
        {L"needcapture",
         [](Control& c, const wchar_t* v) {
             if (Is(v, L"false"))
                 c.m_needCapture = false;
         }},
        {L"nexttab", [](Control& c, const wchar_t* v) { c.m_nextTab = v; }},
        {L"prevtab", [](Control& c, const wchar_t* v) { c.m_prevTab = v; }},
        {L"defaultfocus",
         [](Control& c, const wchar_t* v) {
             if (IsTrue(v) && c.m_core)
                 c.m_core->SetDefaultFocus(&c);
         }},
        {L"mutex", [](Control& c, const wchar_t* v) { c.SetMutex(v); }},
        {L"vgroup", [](Control& c, const wchar_t* v) { c.SetVGroup(v); }},
        {L"group", [](Control& c, const wchar_t* v) { c.SetGroup(v); }},

        // Images. The disabled image keeps the name skins have always used,
        // and takes the spelled-out name as well.
        {L"bkimage", [](Control& c, const wchar_t* v) { c.SetBkImage(v); }},
        {L"foreimage", [](Control& c, const wchar_t* v) { c.SetForeImage(v); }},
        {L"diablebkimage", [](Control& c, const wchar_t* v) { c.SetDisabledBkImage(v); }},
        {L"disabledbkimage", [](Control& c, const wchar_t* v) { c.SetDisabledBkImage(v); }},

        // Styles, animation and effects.
        {L"styles", [](Control& c, const wchar_t* v) { c.SetStyle(v); }},
        {L"transform", [](Control& c, const wchar_t* v) { c.SetTransform(v); }},
        {L"animation", [](Control& c, const wchar_t* v) { c.ParseTransition(v); }},
        {L"transition", [](Control& c, const wchar_t* v) { c.SetTransition(v); }},
        {L"layered",
         [](Control& c, const wchar_t* v) {
             if (Is(v, L"true") || Is(v, L"1"))
                 c.EnsureLayer(kLayerModeDefault);
         }},
        {L"layer",
         [](Control& c, const wchar_t* v) {
             if (Is(v, L"true") || Is(v, L"1"))
                 c.EnsureLayer(kLayerModeDefault);
         }},
        {L"shadow", [](Control& c, const wchar_t* v) { c.SetShadow(v); }},
        {L"blur", [](Control& c, const wchar_t* v) { c.SetBlur(v); }},
        {L"drop",
         [](Control& c, const wchar_t* v) {
             if (IsTrue(v))
                 c.m_dropTarget = true;
         }},
        {L"backblur", [](Control& c, const wchar_t* v) { c.SetBackBlur(v); }},
        {L"bkblur", [](Control& c, const wchar_t* v) { c.SetBackBlur(v); }},
    };
    auto it = kSetters.find(name);
    if (it == kSetters.end())
        return false;
    it->second(*this, value);
    return true;
}

void Control::MakeSelectable()
{
    m_handCursor = true;
    m_needCursor = true;
    m_selectable = true;
}

// "pos": up to six items; percent items place the control relative to its
// parent, plain ones fix its position and size.
void Control::ApplyPosList(const wchar_t* value)
{
    ValueList items(value);
    const int n = items.GetCount();
    float fixedX = 0, fixedY = 0, width = -1, height = -1;
    float relX = 0, relY = 0, offsetX = 0, offsetY = 0, factorX = 0, factorY = 0;
    const bool xPercent = n >= 1 && items.At(0).percent;
    const bool yPercent = n >= 2 && items.At(1).percent;
    if (n >= 1)
        (xPercent ? relX : fixedX) = items.At(0).value;
    if (n >= 2)
        (yPercent ? relY : fixedY) = items.At(1).value;
    if (n >= 3) {
        if (xPercent) {
            offsetX = items.At(2).value;
        } else if (items.At(2).percent) {
            factorX = items.At(2).value;
            if (n >= 5)
                offsetX = items.At(4).value;
        } else {
            width = items.At(2).value;
        }
    }
    if (n >= 4) {
        if (yPercent) {
            offsetY = items.At(3).value;
        } else if (items.At(3).percent) {
            factorY = items.At(3).value;
            if (n >= 6)
                offsetY = items.At(5).value;
        } else {
            height = items.At(3).value;
        }
    }
    SetFixedPos(fixedX, fixedY);
    if (width != -1)
        SetFixedWidth(static_cast<float>(static_cast<int>(width)), true);
    if (height != -1)
        SetFixedHeight(static_cast<float>(static_cast<int>(height)), true);
    SetFloatRect(relX, relY, offsetX, offsetY);
    SetFloatScale(factorX, factorY);
}

// "size": a width token and a height token ("120,30", "auto,30", "50%,20").
void Control::ApplySizeTokens(const wchar_t* value)
{
    std::vector<std::wstring> tokens = SplitSizeTokens(value);
    float size[2] = {-1, -1};
    float factor[2] = {0, 0};
    int* mode[2] = {&m_widthMode, &m_heightMode};
    for (size_t axis = 0; axis < 2 && axis < tokens.size(); ++axis) {
        const std::wstring& token = tokens[axis];
        const int v = ParseInt(token.c_str());
        if (token.find(L'%') != std::wstring::npos) {
            factor[axis] = static_cast<float>(v);
            continue;
        }
        size[axis] = static_cast<float>(v);
        const int keyword = SizeModeKeyword(token);
        if (v == -1)
            *mode[axis] = kSizeText;
        else if (keyword >= 0)
            *mode[axis] = keyword;
    }
    if (size[0] != -1)
        SetFixedWidth(size[0], true);
    if (size[1] != -1)
        SetFixedHeight(size[1], true);
    SetFloatScale(factor[0], factor[1]);
}

// "width"/"w" and "height"/"h": one token for one axis.
void Control::ApplyAxisSize(const wchar_t* value, bool horizontal)
{
    const int v = ParseInt(value);
    if (wcschr(value, L'%')) {
        SetFloatScale(horizontal ? static_cast<float>(v) : 0.0f, horizontal ? 0.0f : static_cast<float>(v));
        return;
    }
    int& mode = horizontal ? m_widthMode : m_heightMode;
    const int keyword = SizeModeKeyword(value);
    if (v == -1) {
        mode = kSizeText;
    } else if (keyword >= 0) {
        mode = keyword;
    } else if (horizontal) {
        SetFixedWidth(static_cast<float>(v), true);
    } else {
        SetFixedHeight(static_cast<float>(v), true);
    }
    RequestParentRelayout();
}

void Control::ApplyBorderSize(const wchar_t* value)
{
    if (wcschr(value, L',')) {
        int n[4];
        ParseIntList(value, n, 4);
        for (int i = 0; i < 4; ++i)
            m_sideBorders[i] = static_cast<float>(n[i]);
        Repaint();
        return;
    }
    const float size = static_cast<float>(ParseInt(value));
    if (size != m_borderSize) {
        m_borderSize = size;
        if (m_hotBorderSize == -1)
            m_hotBorderSize = size;
        if (m_focusBorderSize == -1)
            m_focusBorderSize = size;
        Repaint();
    }
    for (float& side : m_sideBorders)
        side = size;
    Repaint();
}

void Control::ApplySideBorder(int side, const wchar_t* value)
{
    const float size = static_cast<float>(ParseInt(value));
    if (size == m_sideBorders[side] || size < 0)
        return;
    m_sideBorders[side] = size;
    Repaint();
}

void Control::ApplyBorderRound(const wchar_t* value)
{
    ParseIntList(value, m_borderRound, 2);
    Repaint();
    for (int& corner : m_roundCorners)
        corner = 1;
}

void Control::ApplyAttributeText(const wchar_t* text)
{
    if (!text)
        return;
    const wchar_t* p = text;
    while (*p) {
        const wchar_t* nameStart = p;
        while (*p && *p != L'=')
            p = CharNextW(p);
        std::wstring name(nameStart, p);
        if (p[0] != L'=' || p[1] != L'"')
            return;
        p += 2;
        const wchar_t* valueStart = p;
        while (*p && *p != L'"')
            p = CharNextW(p);
        std::wstring value(valueStart, p);
        SetAttribute(name.c_str(), value.c_str());
        if (*p != L'"')
            return;
        ++p;
        if (p[0] != L' ' || p[1] == L'\0')
            return;
        ++p;
    }
}

} // namespace ui
