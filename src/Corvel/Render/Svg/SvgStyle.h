// Styling of the SVG layer: property values (colours, paints, opacities,
// pen settings), declaration lists as found in style attributes and rule
// blocks, and style sheets of simple selectors.
//
// Properties understood: fill, stroke, color, opacity, fill-opacity,
// stroke-opacity, stroke-width, fill-rule, stroke-linecap, stroke-linejoin,
// stroke-miterlimit, display and visibility, each also as the keyword
// "inherit". Any other property, and any value that does not parse, is
// skipped and leaves the property as it was.
//
// Sheets: rules "selectors { declarations }"; a selector is "*" or an
// element name, each optionally followed by any number of ".class" and
// "#id" parts, and selectors are listed with commas. Selectors with
// combinators, attributes or pseudo-classes, at-rules and comments are
// skipped; "!important" is accepted and carries no extra weight.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ui {
namespace svg {

// Colours are 0xAARRGGBB, not premultiplied.
bool ParseColor(std::string_view text, uint32_t& argb);

enum class PaintKind : uint8_t {
    None,
    Color,
    CurrentColor,  // the element's `color` property
};

struct Paint {
    PaintKind kind = PaintKind::None;
    uint32_t argb = 0;
};

enum class FillRule : uint8_t { NonZero, EvenOdd };
enum class LineCap : uint8_t { Butt, Round, Square };
enum class LineJoin : uint8_t { Miter, Round, Bevel };

// One bit per property, for "this declaration list sets it".
enum PropertyBit : uint32_t {
    kPropFill = 1u << 0,
    kPropStroke = 1u << 1,
    kPropColor = 1u << 2,
    kPropOpacity = 1u << 3,
    kPropFillOpacity = 1u << 4,
    kPropStrokeOpacity = 1u << 5,
    kPropStrokeWidth = 1u << 6,
    kPropFillRule = 1u << 7,
    kPropLineCap = 1u << 8,
    kPropLineJoin = 1u << 9,
    kPropMiterLimit = 1u << 10,
    kPropDisplay = 1u << 11,
    kPropVisibility = 1u << 12,
    kPropAll = (1u << 13) - 1,
};

// Values some source (presentation attributes, a style attribute, a rule)
// gives to properties; a field counts only when its bit is in `set`.
struct Declarations {
    uint32_t set = 0;
    uint32_t inherit = 0;  // of `set`: the value is the parent's
    Paint fill;
    Paint stroke;
    uint32_t color = 0;
    float opacity = 1.0f;
    float fillOpacity = 1.0f;
    float strokeOpacity = 1.0f;
    float strokeWidth = 1.0f;
    float miterLimit = 4.0f;
    FillRule fillRule = FillRule::NonZero;
    LineCap lineCap = LineCap::Butt;
    LineJoin lineJoin = LineJoin::Miter;
    bool displayNone = false;
    bool hidden = false;

    // Takes every property `over` sets and `mask` lets through.
    void Merge(const Declarations& over, uint32_t mask = kPropAll);
};

// Sets one property from its text (a presentation attribute or a
// declaration); false, changing nothing, for an unknown name or a bad value.
bool ParseProperty(std::string_view name, std::string_view value, Declarations& into);
// "name: value; name: value" (last ";" optional); bad entries are skipped.
void ParseDeclarationList(std::string_view text, Declarations& into);

// What selectors look at in an element.
struct ElementKey {
    std::string_view name;
    std::string_view id;
    const std::vector<std::string>* classes = nullptr;
};

struct Selector {
    std::string name;  // empty: any element
    std::string id;    // empty: any id
    std::vector<std::string> classes;
    // Ids count 0x10000, classes 0x100, an element name 1.
    uint32_t specificity = 0;

    bool Matches(const ElementKey& element) const;
    // "*" alone.
    bool IsUniversal() const { return name.empty() && id.empty() && classes.empty(); }
};

struct StyleRule {
    Selector selector;
    Declarations declarations;
    uint32_t order = 0;  // position among every rule of its list
};

// Rules of several sheets in standing order: lower specificity first, and
// among equals the one added earlier first, so applying them in turn lets
// the right one win.
class RuleList {
public:
    // Adds the rules of one sheet after those already held.
    void AddSheet(std::string_view text);
    const std::vector<StyleRule>& Rules() const { return m_rules; }
    bool IsEmpty() const { return m_rules.empty(); }

    // Rules beyond this many in one list are dropped: matching costs rules
    // times elements.
    static constexpr size_t kMaxRules = 4096;

private:
    std::vector<StyleRule> m_rules;
    uint32_t m_nextOrder = 0;
};

} // namespace svg
} // namespace ui
