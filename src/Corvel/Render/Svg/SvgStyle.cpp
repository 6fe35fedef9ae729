#include "Corvel/Render/Svg/SvgStyle.h"

#include <algorithm>
#include <cmath>

#include "Corvel/Render/Svg/SvgNumbers.h"

namespace ui {
namespace svg {
namespace {

// A selector with more class parts than this is refused, so that the class
// count never spills into the id count of its specificity.
constexpr size_t kMaxSelectorClasses = 0xFF;
constexpr uint32_t kIdWeight = 0x10000;
constexpr uint32_t kClassWeight = 0x100;
constexpr uint32_t kOpaque = 0xFF000000u;

struct NamedColor {
    const char* name;
    uint32_t rgb;
};

// The named colours of CSS.
const NamedColor kNamedColors[] = {
    {"aliceblue", 0xF0F8FF}, {"antiquewhite", 0xFAEBD7}, {"aqua", 0x00FFFF}, {"aquamarine", 0x7FFFD4},
    {"azure", 0xF0FFFF}, {"beige", 0xF5F5DC}, {"bisque", 0xFFE4C4}, {"black", 0x000000},
    {"blanchedalmond", 0xFFEBCD}, {"blue", 0x0000FF}, {"blueviolet", 0x8A2BE2}, {"brown", 0xA52A2A},
    {"burlywood", 0xDEB887}, {"cadetblue", 0x5F9EA0}, {"chartreuse", 0x7FFF00}, {"chocolate", 0xD2691E},
    {"coral", 0xFF7F50}, {"cornflowerblue", 0x6495ED}, {"cornsilk", 0xFFF8DC}, {"crimson", 0xDC143C},
    {"cyan", 0x00FFFF}, {"darkblue", 0x00008B}, {"darkcyan", 0x008B8B}, {"darkgoldenrod", 0xB8860B},
    {"darkgray", 0xA9A9A9}, {"darkgreen", 0x006400}, {"darkgrey", 0xA9A9A9}, {"darkkhaki", 0xBDB76B},
    {"darkmagenta", 0x8B008B}, {"darkolivegreen", 0x556B2F}, {"darkorange", 0xFF8C00}, {"darkorchid", 0x9932CC},
    {"darkred", 0x8B0000}, {"darksalmon", 0xE9967A}, {"darkseagreen", 0x8FBC8F}, {"darkslateblue", 0x483D8B},
    {"darkslategray", 0x2F4F4F}, {"darkslategrey", 0x2F4F4F}, {"darkturquoise", 0x00CED1},
    {"darkviolet", 0x9400D3}, {"deeppink", 0xFF1493}, {"deepskyblue", 0x00BFFF}, {"dimgray", 0x696969},
    {"dimgrey", 0x696969}, {"dodgerblue", 0x1E90FF}, {"firebrick", 0xB22222}, {"floralwhite", 0xFFFAF0},
    {"forestgreen", 0x228B22}, {"fuchsia", 0xFF00FF}, {"gainsboro", 0xDCDCDC}, {"ghostwhite", 0xF8F8FF},
    {"gold", 0xFFD700}, {"goldenrod", 0xDAA520}, {"gray", 0x808080}, {"green", 0x008000},
    {"greenyellow", 0xADFF2F}, {"grey", 0x808080}, {"honeydew", 0xF0FFF0}, {"hotpink", 0xFF69B4},
    {"indianred", 0xCD5C5C}, {"indigo", 0x4B0082}, {"ivory", 0xFFFFF0}, {"khaki", 0xF0E68C},
    {"lavender", 0xE6E6FA}, {"lavenderblush", 0xFFF0F5}, {"lawngreen", 0x7CFC00}, {"lemonchiffon", 0xFFFACD},
    {"lightblue", 0xADD8E6}, {"lightcoral", 0xF08080}, {"lightcyan", 0xE0FFFF},
    {"lightgoldenrodyellow", 0xFAFAD2}, {"lightgray", 0xD3D3D3}, {"lightgreen", 0x90EE90},
    {"lightgrey", 0xD3D3D3}, {"lightpink", 0xFFB6C1}, {"lightsalmon", 0xFFA07A}, {"lightseagreen", 0x20B2AA},
    {"lightskyblue", 0x87CEFA}, {"lightslategray", 0x778899}, {"lightslategrey", 0x778899},
    {"lightsteelblue", 0xB0C4DE}, {"lightyellow", 0xFFFFE0}, {"lime", 0x00FF00}, {"limegreen", 0x32CD32},
    {"linen", 0xFAF0E6}, {"magenta", 0xFF00FF}, {"maroon", 0x800000}, {"mediumaquamarine", 0x66CDAA},
    {"mediumblue", 0x0000CD}, {"mediumorchid", 0xBA55D3}, {"mediumpurple", 0x9370DB},
    {"mediumseagreen", 0x3CB371}, {"mediumslateblue", 0x7B68EE}, {"mediumspringgreen", 0x00FA9A},
    {"mediumturquoise", 0x48D1CC}, {"mediumvioletred", 0xC71585}, {"midnightblue", 0x191970},
    {"mintcream", 0xF5FFFA}, {"mistyrose", 0xFFE4E1}, {"moccasin", 0xFFE4B5}, {"navajowhite", 0xFFDEAD},
    {"navy", 0x000080}, {"oldlace", 0xFDF5E6}, {"olive", 0x808000}, {"olivedrab", 0x6B8E23},
    {"orange", 0xFFA500}, {"orangered", 0xFF4500}, {"orchid", 0xDA70D6}, {"palegoldenrod", 0xEEE8AA},
    {"palegreen", 0x98FB98}, {"paleturquoise", 0xAFEEEE}, {"palevioletred", 0xDB7093},
    {"papayawhip", 0xFFEFD5}, {"peachpuff", 0xFFDAB9}, {"peru", 0xCD853F}, {"pink", 0xFFC0CB},
    {"plum", 0xDDA0DD}, {"powderblue", 0xB0E0E6}, {"purple", 0x800080}, {"rebeccapurple", 0x663399},
    {"red", 0xFF0000}, {"rosybrown", 0xBC8F8F}, {"royalblue", 0x4169E1}, {"saddlebrown", 0x8B4513},
    {"salmon", 0xFA8072}, {"sandybrown", 0xF4A460}, {"seagreen", 0x2E8B57}, {"seashell", 0xFFF5EE},
    {"sienna", 0xA0522D}, {"silver", 0xC0C0C0}, {"skyblue", 0x87CEEB}, {"slateblue", 0x6A5ACD},
    {"slategray", 0x708090}, {"slategrey", 0x708090}, {"snow", 0xFFFAFA}, {"springgreen", 0x00FF7F},
    {"steelblue", 0x4682B4}, {"tan", 0xD2B48C}, {"teal", 0x008080}, {"thistle", 0xD8BFD8},
    {"tomato", 0xFF6347}, {"turquoise", 0x40E0D0}, {"violet", 0xEE82EE}, {"wheat", 0xF5DEB3},
    {"white", 0xFFFFFF}, {"whitesmoke", 0xF5F5F5}, {"yellow", 0xFFFF00}, {"yellowgreen", 0x9ACD32},
};

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool ParseHexColor(std::string_view hex, uint32_t& argb)
{
    int d[8] = {};
    if (hex.size() != 3 && hex.size() != 4 && hex.size() != 6 && hex.size() != 8)
        return false;
    for (size_t i = 0; i < hex.size(); ++i)
        if ((d[i] = HexDigit(hex[i])) < 0)
            return false;
    uint32_t channels[4] = {0, 0, 0, 0xFF};  // r g b a
    if (hex.size() <= 4) {
        for (size_t i = 0; i < hex.size(); ++i)
            channels[i] = static_cast<uint32_t>(d[i] * 17);
    } else {
        for (size_t i = 0; i < hex.size() / 2; ++i)
            channels[i] = static_cast<uint32_t>(d[2 * i] * 16 + d[2 * i + 1]);
    }
    argb = channels[3] << 24 | channels[0] << 16 | channels[1] << 8 | channels[2];
    return true;
}

uint32_t ToByte(double v)
{
    return static_cast<uint32_t>(std::lround(std::min(255.0, std::max(0.0, v))));
}

// rgb(...) or rgba(...): three channels as numbers (0..255) or per cents,
// then an optional alpha (0..1 or per cent) after "," or "/".
bool ParseRgbFunction(std::string_view args, uint32_t& argb)
{
    NumberScanner s(args);
    double values[4] = {0.0, 0.0, 0.0, 1.0};
    int count = 0;
    s.SkipSpace();
    while (!s.AtEnd()) {
        if (count == 4 || !s.Number(values[count]))
            return false;
        if (s.Peek() == '%') {
            s.Advance();
            values[count] = values[count] * (count < 3 ? 255.0 : 1.0) / 100.0;
        }
        ++count;
        s.SkipSeparator();
        if (count == 3 && s.Peek() == '/') {
            s.Advance();
            s.SkipSpace();
        }
    }
    if (count < 3)
        return false;
    argb = ToByte(values[3] * 255.0) << 24 | ToByte(values[0]) << 16 | ToByte(values[1]) << 8 | ToByte(values[2]);
    return true;
}

// The text between "name(" and the closing ")", when text is such a call.
bool FunctionArgs(std::string_view text, std::string_view name, std::string_view& args)
{
    if (text.size() < name.size() + 2 || !EqualsNoCase(text.substr(0, name.size()), name))
        return false;
    std::string_view rest = Trim(text.substr(name.size()));
    if (rest.size() < 2 || rest.front() != '(' || rest.back() != ')')
        return false;
    args = rest.substr(1, rest.size() - 2);
    return true;
}

bool ParseOpacity(std::string_view text, float& out)
{
    text = Trim(text);
    const bool percent = !text.empty() && text.back() == '%';
    if (percent)
        text.remove_suffix(1);
    float v = 0.0f;
    if (!ParseNumber(text, v))
        return false;
    if (percent)
        v /= 100.0f;
    out = std::min(1.0f, std::max(0.0f, v));
    return true;
}

bool ParsePaint(std::string_view text, Paint& out)
{
    text = Trim(text);
    std::string_view args;
    if (text.size() >= 4 && EqualsNoCase(text.substr(0, 4), "url(")) {
        // Paint servers (gradients, patterns) are not drawn: the fallback
        // after the reference is used, and without one nothing is painted.
        const size_t close = text.find(')');
        if (close == std::string_view::npos)
            return false;
        const std::string_view fallback = Trim(text.substr(close + 1));
        if (fallback.empty()) {
            out = Paint{};
            return true;
        }
        text = fallback;
    }
    if (EqualsNoCase(text, "none")) {
        out = Paint{};
        return true;
    }
    if (EqualsNoCase(text, "currentColor")) {
        out = Paint{PaintKind::CurrentColor, 0};
        return true;
    }
    uint32_t argb = 0;
    if (!ParseColor(text, argb))
        return false;
    out = Paint{PaintKind::Color, argb};
    return true;
}

template <typename Enum>
struct Keyword {
    const char* text;
    Enum value;
};

template <typename Enum, size_t N>
bool ParseKeyword(std::string_view text, const Keyword<Enum> (&table)[N], Enum& out)
{
    text = Trim(text);
    for (const Keyword<Enum>& k : table) {
        if (EqualsNoCase(text, k.text)) {
            out = k.value;
            return true;
        }
    }
    return false;
}

const Keyword<FillRule> kFillRules[] = {{"nonzero", FillRule::NonZero}, {"evenodd", FillRule::EvenOdd}};
const Keyword<LineCap> kLineCaps[] = {{"butt", LineCap::Butt}, {"round", LineCap::Round}, {"square", LineCap::Square}};
// "miter-clip" and "arcs" are drawn as plain mitres.
const Keyword<LineJoin> kLineJoins[] = {{"miter", LineJoin::Miter},
                                        {"round", LineJoin::Round},
                                        {"bevel", LineJoin::Bevel},
                                        {"miter-clip", LineJoin::Miter},
                                        {"arcs", LineJoin::Miter}};
const Keyword<bool> kVisibility[] = {{"visible", false}, {"hidden", true}, {"collapse", true}};

// Reads a property's value into its field of a declaration list.
using ValueParser = bool (*)(std::string_view value, Declarations& into);

struct Property {
    const char* name;
    uint32_t bit;
    ValueParser parse;
};

bool ParseStrokeWidth(std::string_view value, float& out)
{
    Length width;
    if (!ParseLength(value, width) || width.percent || width.value < 0.0f)
        return false;
    out = width.value;
    return true;
}

const Property kProperties[] = {
    {"fill", kPropFill, [](std::string_view v, Declarations& d) { return ParsePaint(v, d.fill); }},
    {"stroke", kPropStroke, [](std::string_view v, Declarations& d) { return ParsePaint(v, d.stroke); }},
    {"color", kPropColor, [](std::string_view v, Declarations& d) { return ParseColor(v, d.color); }},
    {"opacity", kPropOpacity, [](std::string_view v, Declarations& d) { return ParseOpacity(v, d.opacity); }},
    {"fill-opacity", kPropFillOpacity,
     [](std::string_view v, Declarations& d) { return ParseOpacity(v, d.fillOpacity); }},
    {"stroke-opacity", kPropStrokeOpacity,
     [](std::string_view v, Declarations& d) { return ParseOpacity(v, d.strokeOpacity); }},
    {"stroke-width", kPropStrokeWidth,
     [](std::string_view v, Declarations& d) { return ParseStrokeWidth(v, d.strokeWidth); }},
    {"fill-rule", kPropFillRule, [](std::string_view v, Declarations& d) { return ParseKeyword(v, kFillRules, d.fillRule); }},
    {"stroke-linecap", kPropLineCap,
     [](std::string_view v, Declarations& d) { return ParseKeyword(v, kLineCaps, d.lineCap); }},
    {"stroke-linejoin", kPropLineJoin,
     [](std::string_view v, Declarations& d) { return ParseKeyword(v, kLineJoins, d.lineJoin); }},
    {"stroke-miterlimit", kPropMiterLimit,
     [](std::string_view v, Declarations& d) { return ParseNumber(v, d.miterLimit) && d.miterLimit >= 1.0f; }},
    // Every display keyword but "none" shows the element.
    {"display", kPropDisplay,
     [](std::string_view v, Declarations& d) {
         d.displayNone = EqualsNoCase(v, "none");
         return !v.empty();
     }},
    {"visibility", kPropVisibility,
     [](std::string_view v, Declarations& d) { return ParseKeyword(v, kVisibility, d.hidden); }},
};

bool IsIdentChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// Splits at `separator` outside parentheses and quotes.
template <typename Visit>
void SplitTopLevel(std::string_view text, char separator, Visit visit)
{
    int depth = 0;
    char quote = 0;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            depth = std::max(0, depth - 1);
        } else if (c == separator && depth == 0) {
            visit(text.substr(start, i - start));
            start = i + 1;
        }
    }
    visit(text.substr(start));
}

std::string_view StripImportant(std::string_view value)
{
    value = Trim(value);
    const size_t bang = value.rfind('!');
    if (bang != std::string_view::npos && EqualsNoCase(Trim(value.substr(bang + 1)), "important"))
        value = Trim(value.substr(0, bang));
    return value;
}

bool ParseSelector(std::string_view text, Selector& out)
{
    text = Trim(text);
    if (text.empty())
        return false;
    Selector s;
    size_t i = 0;
    auto ident = [&](std::string& into) {
        const size_t start = i;
        while (i < text.size() && IsIdentChar(text[i]))
            ++i;
        into.assign(text.substr(start, i - start));
        return i > start;
    };
    if (text[0] == '*') {
        ++i;
    } else if (IsIdentChar(text[0])) {
        ident(s.name);
        s.specificity += 1;
    }
    while (i < text.size()) {
        const char c = text[i++];
        std::string part;
        if (!ident(part))
            return false;
        if (c == '.') {
            if (s.classes.size() == kMaxSelectorClasses)
                return false;
            s.classes.push_back(std::move(part));
            s.specificity += kClassWeight;
        } else if (c == '#' && s.id.empty()) {
            s.id = std::move(part);
            s.specificity += kIdWeight;
        } else {
            return false;
        }
    }
    out = std::move(s);
    return true;
}

// The text with every comment replaced by a space; an unterminated comment
// runs to the end.
std::string WithoutComments(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            const size_t end = text.find("*/", i + 2);
            out.push_back(' ');
            i = end == std::string_view::npos ? text.size() : end + 2;
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

// From an opening brace at `open`, the position just after its matching
// closing brace (the end when there is none).
size_t SkipBlock(std::string_view text, size_t open)
{
    int depth = 0;
    char quote = 0;
    for (size_t i = open; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            return i + 1;
        }
    }
    return text.size();
}

// An at-rule from its "@": to its ";" or over its block.
size_t SkipAtRule(std::string_view text, size_t at)
{
    for (size_t i = at; i < text.size(); ++i) {
        if (text[i] == ';')
            return i + 1;
        if (text[i] == '{')
            return SkipBlock(text, i);
    }
    return text.size();
}

} // namespace

bool ParseColor(std::string_view text, uint32_t& argb)
{
    text = Trim(text);
    if (text.empty())
        return false;
    if (text[0] == '#')
        return ParseHexColor(text.substr(1), argb);
    std::string_view args;
    if (FunctionArgs(text, "rgba", args) || FunctionArgs(text, "rgb", args))
        return ParseRgbFunction(args, argb);
    if (EqualsNoCase(text, "transparent")) {
        argb = 0;
        return true;
    }
    for (const NamedColor& c : kNamedColors) {
        if (EqualsNoCase(text, c.name)) {
            argb = kOpaque | c.rgb;
            return true;
        }
    }
    return false;
}

void Declarations::Merge(const Declarations& over, uint32_t mask)
{
    const uint32_t take = over.set & mask;
    if (take & kPropFill)
        fill = over.fill;
    if (take & kPropStroke)
        stroke = over.stroke;
    if (take & kPropColor)
        color = over.color;
    if (take & kPropOpacity)
        opacity = over.opacity;
    if (take & kPropFillOpacity)
        fillOpacity = over.fillOpacity;
    if (take & kPropStrokeOpacity)
        strokeOpacity = over.strokeOpacity;
    if (take & kPropStrokeWidth)
        strokeWidth = over.strokeWidth;
    if (take & kPropFillRule)
        fillRule = over.fillRule;
    if (take & kPropLineCap)
        lineCap = over.lineCap;
    if (take & kPropLineJoin)
        lineJoin = over.lineJoin;
    if (take & kPropMiterLimit)
        miterLimit = over.miterLimit;
    if (take & kPropDisplay)
        displayNone = over.displayNone;
    if (take & kPropVisibility)
        hidden = over.hidden;
    set |= take;
    inherit = (inherit & ~take) | (over.inherit & take);
}

bool ParseProperty(std::string_view name, std::string_view value, Declarations& into)
{
    const Property* property = nullptr;
    for (const Property& p : kProperties)
        if (name == p.name)
            property = &p;
    if (property == nullptr)
        return false;
    value = Trim(value);
    // currentColor as the colour itself means the parent's colour.
    if (EqualsNoCase(value, "inherit") || (property->bit == kPropColor && EqualsNoCase(value, "currentColor"))) {
        into.set |= property->bit;
        into.inherit |= property->bit;
        return true;
    }
    Declarations d;
    if (!property->parse(value, d))
        return false;
    d.set = property->bit;
    into.Merge(d);
    return true;
}

void ParseDeclarationList(std::string_view text, Declarations& into)
{
    SplitTopLevel(text, ';', [&](std::string_view item) {
        const size_t colon = item.find(':');
        if (colon == std::string_view::npos)
            return;
        std::string name(Trim(item.substr(0, colon)));
        for (char& c : name)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        ParseProperty(name, StripImportant(item.substr(colon + 1)), into);
    });
}

bool Selector::Matches(const ElementKey& element) const
{
    if (!name.empty() && name != element.name)
        return false;
    if (!id.empty() && id != element.id)
        return false;
    for (const std::string& c : classes) {
        if (!element.classes || std::find(element.classes->begin(), element.classes->end(), c) ==
                                    element.classes->end())
            return false;
    }
    return true;
}

void RuleList::AddSheet(std::string_view sheet)
{
    const std::string text = WithoutComments(sheet);
    const std::string_view view(text);
    size_t pos = 0;
    while (pos < view.size() && m_rules.size() < kMaxRules) {
        while (pos < view.size() && (IsSpace(view[pos]) || view[pos] == '}' || view[pos] == ';'))
            ++pos;
        if (pos >= view.size())
            break;
        if (view[pos] == '@') {
            pos = SkipAtRule(view, pos);
            continue;
        }
        const size_t open = view.find('{', pos);
        if (open == std::string_view::npos)
            break;
        const size_t next = SkipBlock(view, open);
        const std::string_view prelude = view.substr(pos, open - pos);
        std::string_view block = view.substr(open + 1, next - open - 1);
        if (!block.empty() && block.back() == '}')
            block.remove_suffix(1);
        pos = next;

        Declarations declarations;
        ParseDeclarationList(block, declarations);
        if (declarations.set == 0)
            continue;
        SplitTopLevel(prelude, ',', [&](std::string_view selectorText) {
            Selector selector;
            if (m_rules.size() < kMaxRules && ParseSelector(selectorText, selector))
                m_rules.push_back(StyleRule{std::move(selector), declarations, m_nextOrder++});
        });
    }
    std::stable_sort(m_rules.begin(), m_rules.end(), [](const StyleRule& a, const StyleRule& b) {
        return a.selector.specificity != b.selector.specificity ? a.selector.specificity < b.selector.specificity
                                                                : a.order < b.order;
    });
}

} // namespace svg
} // namespace ui
