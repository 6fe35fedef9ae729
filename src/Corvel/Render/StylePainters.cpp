// Element painters (base, image, text), state painters and the style set's
// state selection.
#include "Corvel/Render/StylePainters.h"

#include <cmath>
#include <cwchar>
#include <string>

#include "Corvel/Core/Control.h"
#include "Corvel/Core/StyleValues.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/FontManager.h"
#include "Corvel/Render/RenderTarget.h"
#include "Corvel/Render/ShapePainters.h"
#include "Corvel/Render/StyleDefinitions.h"

namespace ui {

namespace {

// Attribute values that bind a property to a control value start so.
constexpr wchar_t kBindingPrefix[] = L":>";
constexpr size_t kBindingPrefixLength = 2;

// A "pos" binding's markers: keep the computed edges, or (shapes) place the
// box against the far edge of the answered rectangle.
constexpr float kKeepComputedEdge = -1.0f;
constexpr float kPlaceAgainstFarEdge = -2.0f;

constexpr float kPercent = 100.0f;
constexpr float kOpaque = 255.0f;
// Text colour of a control outside any window (no core to ask).
constexpr uint32_t kTextColorWithoutCore = 0xFFFFFFFFu;
// Spacing at or below this counts as not given.
constexpr float kNoSpacing = 0.00001f;

// Stop list separators: colours by ",", a colour from its position by ":".
constexpr wchar_t kStopSeparator = L',';
constexpr wchar_t kStopPositionSeparator = L':';

bool StartsWithBinding(const wchar_t* value)
{
    return wcsncmp(value, kBindingPrefix, kBindingPrefixLength) == 0;
}

// Item i of a list, a zero item past its end.
ValueList::Item ItemOrZero(const ValueList& list, int i)
{
    return i < list.GetCount() ? list.At(i) : ValueList::Item();
}

// A size along one axis: percent of the box, else the scaled size, else the
// box's own extent.
float AxisExtent(float relative, float size, float scale, float boxExtent)
{
    if (relative != 0)
        return relative / kPercent * boxExtent;
    if (size * scale != 0)
        return size * scale;
    return boxExtent;
}

std::unique_ptr<ElemPainter> MakePainter(int kind, Control* owner)
{
    switch (kind) {
    case kElementImage:
        return std::make_unique<ImagePainter>(owner);
    case kElementText:
        return std::make_unique<TextPainter>(owner);
    case kElementShape:
        return std::make_unique<ShapePainter>(owner);
    case kElementPath:
        return std::make_unique<PathPainter>(owner);
    default:
        return std::make_unique<ElemPainter>(owner);
    }
}

void FillRect(PropertyValue& out, float left, float top, float right, float bottom)
{
    out.rect = RECTF(left, top, right, bottom);
    out.found = true;
}

} // namespace

int ParseColorStops(const wchar_t* text, GradientStops& out)
{
    out.clear();
    if (!text)
        return 0;
    for (const wchar_t* piece = text;;) {
        const wchar_t* end = wcschr(piece, kStopSeparator);
        const std::wstring item = end ? std::wstring(piece, end) : std::wstring(piece);
        const size_t colon = item.find(kStopPositionSeparator);
        Color stop = Color::MakeArgb(ParseHexColor(item.substr(0, colon).c_str()));
        // The first stop sits at the start whatever it says.
        if (colon != std::wstring::npos && !out.empty())
            SetGradientStopPosition(stop, ParseFloat(item.c_str() + colon + 1));
        out.push_back(stop);
        if (!end)
            break;
        piece = end + 1;
    }
    return static_cast<int>(out.size());
}

// ------------------------------------------------------------- ElemPainter

ElemPainter::ElemPainter(Control* owner) : m_owner(owner) {}
ElemPainter::~ElemPainter() = default;

void ElemPainter::SetDrawCallback(ElemDrawHook hook) { m_drawHook = std::move(hook); }

void ElemPainter::Paint(const RECTF& dirty, const RECTF& box)
{
    if (!m_owner || !m_drawHook)
        return;
    (void)m_drawHook(this, Target(), dirty, box); // the hook's answer means nothing here
}

void ElemPainter::SetName(const wchar_t* name, bool given)
{
    m_name = name ? name : L"";
    m_nameGiven = given;
}

void ElemPainter::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value)
        return;
    if (StartsWithBinding(value)) {
        m_bindings[name] = value + kBindingPrefixLength;
        return;
    }
    if (wcscmp(name, L"padding") == 0) {
        int items[4];
        const int read = ParseIntList(value, items, 4);
        for (int i = 0; i < read; ++i)
            m_padding[i] = static_cast<float>(items[i]);
    } else if (wcscmp(name, L"size") == 0) {
        const ValueList list(value);
        if (list.IsEmpty())
            return;
        // A single item serves for both (At repeats the last item).
        for (int i = 0; i < 2; ++i) {
            const ValueList::Item& item = list.At(i);
            (item.percent ? m_relativeSize[i] : m_size[i]) = item.value;
        }
    } else if (wcscmp(name, L"pos") == 0) {
        const ValueList list(value);
        const ValueList::Item items[4] = {ItemOrZero(list, 0), ItemOrZero(list, 1), ItemOrZero(list, 2),
                                          ItemOrZero(list, 3)};
        if (items[0].percent) {
            m_relativePos[0] = items[0].value;
            m_relativePos[2] = items[2].value;
        } else {
            m_position.left = items[0].value;
            m_position.right = items[2].value;
        }
        if (items[1].percent) {
            m_relativePos[1] = items[1].value;
            m_relativePos[3] = items[3].value;
        } else {
            m_position.top = items[1].value;
            m_position.bottom = items[3].value;
        }
    } else if (wcscmp(name, L"rpos") == 0) {
        int items[4];
        ParseIntList(value, items, 4);
        for (int i = 0; i < 4; ++i)
            m_relativePos[i] = static_cast<float>(items[i]);
    } else if (wcscmp(name, L"name") == 0) {
        SetName(value, true);
    } else {
        m_otherAttributes[name] = value;
    }
}

void ElemPainter::GetColorValue(PropertyValue& out, bool) { out.Clear(); }
void ElemPainter::GetAlphaValue(PropertyValue& out, bool) { out.Clear(); }
void ElemPainter::GetPenSizeValue(PropertyValue& out, bool) { out.Clear(); }

void ElemPainter::GetPosValue(PropertyValue& out, bool)
{
    out.Clear();
    out.rect = m_position;
    out.found = true;
}

void ElemPainter::GetRectValue(PropertyValue& out, bool current)
{
    out.Clear();
    out.rect = current ? m_currentRect : m_position;
    out.found = true;
}

void ElemPainter::GetSizeValue(PropertyValue& out, bool current)
{
    out.Clear();
    const float* size = current ? m_currentSize : m_size;
    FillRect(out, 0, 0, size[0], size[1]);
}

void ElemPainter::GetSizeSpecValue(PropertyValue& out, bool)
{
    out.Clear();
    FillRect(out, 0, 0, m_relativeSize[0], m_relativeSize[1]);
}

void ElemPainter::GetPaddingValue(PropertyValue& out, bool current)
{
    out.Clear();
    const float* padding = current ? m_currentPadding : m_padding;
    FillRect(out, padding[0], padding[1], padding[2], padding[3]);
}

float ElemPainter::Scale() const { return m_owner ? m_owner->GetScale() : 1.0f; }

bool ElemPainter::HasCore() const { return m_owner && m_owner->GetCore(); }

RenderTarget* ElemPainter::Target() const { return m_owner ? m_owner->GetPaintTarget() : nullptr; }

ElemPainter::ElementBox ElemPainter::ComputeElementBox(const RECTF& box) const
{
    const float s = Scale();
    ElementBox out;
    out.width = AxisExtent(m_relativeSize[0], m_size[0], s, box.Width());
    out.height = AxisExtent(m_relativeSize[1], m_size[1], s, box.Height());

    const float left = m_position.left * s;
    const float top = m_position.top * s;
    const float right = left + (m_position.right - m_position.left) * s;
    const float bottom = top + (m_position.bottom - m_position.top) * s;
    if (right != 0)
        out.width = right - left;
    if (bottom != 0)
        out.height = bottom - top;

    out.x = m_relativePos[0] != 0
                ? (box.Width() - out.width) * m_relativePos[0] / kPercent + box.left + m_relativePos[2]
                : box.left + left;
    out.y = m_relativePos[1] != 0
                ? (box.Height() - out.height) * m_relativePos[1] / kPercent + box.top + m_relativePos[3]
                : box.top + top;
    return out;
}

const wchar_t* ElemPainter::BindingOf(const wchar_t* attribute) const
{
    if (m_bindings.empty())
        return nullptr;
    auto found = m_bindings.find(attribute);
    return found == m_bindings.end() ? nullptr : found->second.c_str();
}

bool ElemPainter::ApplyPosBinding(ElementBox& box, FarEdges farEdges) const
{
    const wchar_t* bound = BindingOf(L"pos");
    if (!bound || !m_owner)
        return false;
    PropertyValue answer;
    m_owner->GetPropertyValue(answer, bound);
    if (!answer.found)
        return false;
    const RECTF& r = answer.rect;
    const bool farAllowed = farEdges == FarEdges::kAccepted;
    if (farAllowed && r.left == kPlaceAgainstFarEdge) {
        box.x = r.right - box.width + m_relativePos[2];
    } else if (r.left != kKeepComputedEdge) {
        box.x = r.left;
        if (r.right != 0)
            box.width = r.right - r.left;
    }
    if (farAllowed && r.top == kPlaceAgainstFarEdge) {
        box.y = r.bottom - box.height + m_relativePos[3];
    } else if (r.top != kKeepComputedEdge) {
        box.y = r.top;
        if (r.bottom != 0)
            box.height = r.bottom - r.top;
    }
    return true;
}

bool ElemPainter::ApplyPosBinding(RECTF& rect) const
{
    ElementBox box;
    box.x = rect.left;
    box.y = rect.top;
    box.width = rect.Width();
    box.height = rect.Height();
    if (!ApplyPosBinding(box, FarEdges::kRefused))
        return false;
    rect = box.ToRect();
    return true;
}

void ElemPainter::ApplyColorBindings()
{
    if (!m_owner || m_bindings.empty())
        return;
    PropertyValue answer;
    if (const wchar_t* bound = BindingOf(L"color")) {
        m_owner->GetPropertyValue(answer, bound);
        if (answer.found)
            m_currentColor.FromArgb(static_cast<uint32_t>(answer.intValue));
    }
    if (const wchar_t* bound = BindingOf(L"alpha")) {
        m_owner->GetPropertyValue(answer, bound);
        if (answer.found)
            m_currentColor.a = answer.value;
    }
}

void ElemPainter::ApplyStyleColorValues()
{
    if (!m_owner)
        return;
    PropertyValue answer;
    m_owner->GetStyleValue(answer, m_elementKey.c_str(), L"color");
    if (answer.found) {
        m_currentColor = answer.color;
        return;
    }
    m_owner->GetStyleValue(answer, m_elementKey.c_str(), L"alpha");
    if (answer.found)
        m_currentColor.a = answer.value;
}

RECTF ElemPainter::Padded(const ElementBox& box, const float padding[4]) const
{
    const float s = Scale();
    return RECTF(box.x + padding[0] * s, box.y + padding[1] * s, box.x + box.width - padding[2] * s,
                 box.y + box.height - padding[3] * s);
}

void ElemPainter::RememberGeometry(const ElementBox& box, const RECTF& drawn, const float padding[4])
{
    const float s = Scale();
    m_currentRect = drawn;
    m_currentSize[0] = box.width;
    m_currentSize[1] = box.height;
    for (int i = 0; i < 4; ++i)
        m_currentPadding[i] = padding[i] * s;
}

// ------------------------------------------------------------ ImagePainter

ImagePainter::ImagePainter(Control* owner) : ElemPainter(owner) {}
ImagePainter::~ImagePainter() = default;

void ImagePainter::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value)
        return;
    if (StartsWithBinding(value)) {
        ElemPainter::SetAttribute(name, value);
    } else if (wcscmp(name, L"image") == 0 || wcscmp(name, L"file") == 0) {
        SetValue(value);
    } else if (wcscmp(name, L"blur") == 0) {
        KeyValueSpec(value).GetBlurParams(m_blur);
    } else {
        ElemPainter::SetAttribute(name, value);
    }
}

void ImagePainter::SetValue(const wchar_t* text)
{
    if (!text)
        return;
    const RECTF bounds = m_owner ? m_owner->GetBounds() : RECTF();
    m_image.Parse(text, bounds.left, bounds.top, bounds.right, bounds.bottom);
    if (m_owner && m_owner->GetCore())
        m_owner->GetCore()->BindImageResource(m_image, m_owner, false);
}

void ImagePainter::GetAlphaValue(PropertyValue& out, bool current)
{
    out.Clear();
    out.value = current ? m_opacity : static_cast<float>(m_image.GetFade());
    out.found = true;
}

CUiImage* ImagePainter::ChooseImage()
{
    if (!m_nameGiven || !m_owner)
        return &m_image;
    if (m_name.Equals(L"bkimage"))
        return &m_owner->BkImage();
    if (m_name.Equals(L"disableimage"))
        return &m_owner->DisabledBkImage();
    if (m_name.Equals(L"foreimage"))
        return &m_owner->ForeImage();

    const CUiString text = m_owner->GetExtraAttribute(m_name.GetData());
    if (text.IsEmpty())
        return &m_image;
    std::unique_ptr<CUiImage>& cached = m_attributeImages[text.ToStdString()];
    if (!cached) {
        cached = std::make_unique<CUiImage>();
        const RECTF bounds = m_owner->GetBounds();
        cached->Parse(text.GetData(), bounds.left, bounds.top, bounds.right, bounds.bottom);
        if (WindowCore* core = m_owner->GetCore())
            core->BindImageResource(*cached, m_owner, false);
    }
    return cached.get();
}

void ImagePainter::Paint(const RECTF& dirty, const RECTF& box)
{
    if (!HasCore())
        return;
    const ElementBox elementBox = ComputeElementBox(box);
    const RECTF dest = Padded(elementBox, m_padding);
    CUiImage* image = ChooseImage();

    float opacity = static_cast<float>(image->GetFade());
    PropertyValue animated;
    m_owner->GetStyleValue(animated, m_elementKey.c_str(), L"alpha");
    if (animated.found)
        opacity = animated.value;
    opacity = std::fmax(0.0f, std::fmin(kOpaque, opacity));
    m_opacity = opacity;

    RememberGeometry(elementBox, dest, m_padding);
    if (RenderTarget* target = Target())
        (void)target->DrawImage(m_owner->GetCore(), dest, dirty, *image, static_cast<uint8_t>(opacity), m_blur);
    // (false: no picture to draw — an unloaded file is not an error here)
}

// ------------------------------------------------------------- TextPainter

TextPainter::TextPainter(Control* owner) : ElemPainter(owner) {}
TextPainter::~TextPainter() = default;

void TextPainter::SetValue(const wchar_t* text) { m_text = text ? text : L""; }

void TextPainter::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value)
        return;
    if (StartsWithBinding(value)) {
        ElemPainter::SetAttribute(name, value);
    } else if (wcscmp(name, L"text") == 0) {
        SetValue(value);
    } else if (wcscmp(name, L"font") == 0) {
        if (wcschr(value, L'=')) {
            WindowCore* core = m_owner ? m_owner->GetCore() : nullptr;
            if (tagTFontInfo* font = core ? core->GetFontBySpec(value) : nullptr)
                m_fontId = font->index;
        } else {
            m_fontId = ParseInt(value);
        }
    } else if (wcscmp(name, L"color") == 0) {
        ParseColor(value);
    } else if (wcscmp(name, L"gradient") == 0) {
        int items[4];
        ParseIntList(value, items, 4);
        m_direction = GradientDirection{items[0], items[1], items[2], items[3]};
    } else if (wcscmp(name, L"align") == 0) {
        ParseAlign(value);
    } else if (wcscmp(name, L"showhtml") == 0) {
        m_html = true;
    } else if (wcscmp(name, L"rich") == 0) {
        m_rich = true;
    } else if (wcscmp(name, L"charspace") == 0) {
        m_charSpacing = static_cast<float>(ParseInt(value));
    } else if (wcscmp(name, L"linespace") == 0) {
        m_lineSpacing = static_cast<float>(ParseInt(value));
    } else if (wcscmp(name, L"blur") == 0) {
        m_blurColor = ParseHexColor(value, true);
    } else {
        ElemPainter::SetAttribute(name, value);
    }
}

void TextPainter::ParseColor(const wchar_t* value)
{
    if (wcscmp(value, L"random") == 0) {
        Color random;
        random.SetRandom();
        m_color = random.ToArgb();
        m_stops.clear();
        m_gradient = false;
    } else if (wcschr(value, kStopSeparator)) {
        const int count = ParseColorStops(value, m_stops);
        m_color = m_stops.front().ToArgb();
        m_gradient = count >= 2;
    } else {
        m_color = ParseHexColor(value);
        m_stops.clear();
        m_gradient = false;
    }
}

void TextPainter::ParseAlign(const wchar_t* value) { m_textStyle = ApplyAlignWords(m_textStyle, value); }

void TextPainter::GetColorValue(PropertyValue& out, bool current)
{
    out.Clear();
    out.color = current ? m_currentColor : Color::MakeArgb(m_color);
    out.found = true;
}

void TextPainter::GetAlphaValue(PropertyValue& out, bool current)
{
    out.Clear();
    out.value = current ? m_currentColor.a : static_cast<float>(m_color >> 24) / kOpaque;
    out.found = true;
}

CUiString TextPainter::ResolveText() const
{
    if (!m_text.IsEmpty())
        return m_text;
    CUiString text = m_nameGiven ? m_owner->GetExtraAttribute(m_name.GetData()) : m_owner->GetText();
    if (text.IsEmpty())
        text = m_owner->GetText();
    return text;
}

uint32_t TextPainter::ResolveColorWord() const
{
    if (m_color != 0)
        return m_color;
    if (m_owner->GetTextColor() != 0)
        return m_owner->GetTextColor();
    WindowCore* core = m_owner->GetCore();
    return core ? core->GetTextColor() : kTextColorWithoutCore;
}

RECTF TextPainter::ResolveDestination(const RECTF& box)
{
    const ElementBox elementBox = ComputeElementBox(box);
    const RECTF own = m_owner->GetTextPadding();
    const bool controlPadding = own.left != 0 || own.top != 0 || own.right != 0 || own.bottom != 0;
    const float controlValues[4] = {own.left, own.top, own.right, own.bottom};
    const float* padding = controlPadding ? controlValues : m_padding;
    RECTF dest = Padded(elementBox, padding);
    ApplyPosBinding(dest);
    RememberGeometry(elementBox, dest, padding);
    return dest;
}

void TextPainter::Paint(const RECTF& dirty, const RECTF& box)
{
    if (!HasCore())
        return;
    WindowCore* core = m_owner->GetCore();
    const CUiString text = ResolveText();
    if (text.IsEmpty())
        return;

    if (m_fontId == 0)
        m_fontId = m_owner->GetFontId();
    m_currentColor.FromArgb(ResolveColorWord());

    const float s = Scale();
    float charSpacing = m_charSpacing * s;
    if (!(charSpacing > kNoSpacing))
        charSpacing = m_owner->GetCharSpacing() * s;
    float lineSpacing = m_lineSpacing * s;
    if (!(lineSpacing > kNoSpacing))
        lineSpacing = m_owner->GetLineSpacing() * s;
    if (m_owner->IsTextStyleGiven() && m_owner->GetTextStyle() != 0)
        m_textStyle = static_cast<uint32_t>(m_owner->GetTextStyle());
    const uint32_t blurColor = m_blurColor != 0 ? m_blurColor : static_cast<uint32_t>(m_owner->GetTextDrawOption());

    const RECTF dest = ResolveDestination(box);
    ApplyColorBindings();
    ApplyStyleColorValues();

    RenderTarget* target = Target();
    if (!target)
        return;
    const UINT format = m_textStyle;
    const uint32_t colorWord = m_currentColor.ToArgb();
    if (m_html) {
        target->DrawHtmlText(core, dest, text.GetData(), colorWord, nullptr, format, blurColor);
    } else if (m_rich) {
        target->DrawBlurredText(core, dest, text.GetData(), colorWord, m_fontId, format, charSpacing, lineSpacing,
                                blurColor);
    } else if (m_gradient) {
        target->DrawText(core, dest, text.GetData(), m_stops, &m_direction, m_fontId, format, charSpacing,
                         lineSpacing, blurColor);
    } else {
        const GradientStops single(1, m_currentColor);
        target->DrawText(core, dest, text.GetData(), single, nullptr, m_fontId, format, charSpacing, lineSpacing,
                         blurColor);
    }
    (void)dirty; // text is laid out in its box; the target's clip limits it
}

// ------------------------------------------------------------ StylePainter

StylePainter::StylePainter(Control* owner, const wchar_t* name) : m_owner(owner), m_name(name ? name : L"") {}
StylePainter::~StylePainter() = default;

void StylePainter::Build(const StyleEntry& entry)
{
    for (const auto& element : entry.GetElements()) {
        std::unique_ptr<ElemPainter> painter = MakePainter(element->GetKind(), m_owner);
        painter->SetStateName(m_name.GetData());
        painter->SetName(element->GetName().GetData(), element->HasGivenName());
        painter->SetKind(element->GetKind());
        painter->SetElementKey(std::to_wstring(m_painters.size()));
        for (const StyleElement::Attribute& attribute : element->GetAttributes())
            painter->SetAttribute(attribute.name.GetData(), attribute.value.GetData());
        if (element->GetKind() == kElementPath) {
            auto* path = static_cast<PathPainter*>(painter.get());
            for (const auto& child : element->GetChildren())
                path->AddFigure(*child);
        }
        m_painters.push_back(std::move(painter));
    }
}

ElemPainter* StylePainter::FindPainter(const wchar_t* name) const
{
    if (!name)
        return nullptr;
    for (const auto& painter : m_painters) {
        if (painter->GetName().Equals(name))
            return painter.get();
    }
    return nullptr;
}

TextPainter* StylePainter::FirstTextPainter() const
{
    for (const auto& painter : m_painters) {
        if (painter->GetKind() == kElementText)
            return static_cast<TextPainter*>(painter.get());
    }
    return nullptr;
}

ElemPainter* StylePainter::GetAt(int index) const
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return m_painters[static_cast<size_t>(index)].get();
}

// ---------------------------------------------------------------- StyleSet

StyleSet::StyleSet(Control* owner) : m_owner(owner) {}
StyleSet::~StyleSet() = default;

void StyleSet::Clear()
{
    m_current = nullptr;
    m_byName.clear();
    m_painters.clear();
}

void StyleSet::Build(const StyleGroup* group)
{
    if (!group)
        return;
    Clear();
    for (const auto& entry : group->GetEntries()) {
        const std::wstring name = entry->GetName().ToStdString();
        if (m_byName.count(name))
            continue;
        auto painter = std::make_unique<StylePainter>(m_owner, name.c_str());
        painter->Build(*entry);
        m_byName.emplace(name, painter.get());
        m_painters.push_back(std::move(painter));
    }
}

StylePainter* StyleSet::Find(const wchar_t* stateName) const
{
    if (!stateName)
        return nullptr;
    auto found = m_byName.find(stateName);
    return found == m_byName.end() ? nullptr : found->second;
}

StylePainter* StyleSet::GetAt(int index) const
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return m_painters[static_cast<size_t>(index)].get();
}

StylePainter* StyleSet::MatchState(int stateBits) const
{
    if (m_painters.empty() || !m_owner)
        return nullptr;
    std::vector<int> masks(m_painters.size());
    for (size_t i = 0; i < m_painters.size(); ++i)
        masks[i] = m_owner->ParseStateMask(m_painters[i]->GetName().GetData());
    // Later entries win: walk from the last.
    for (size_t i = m_painters.size(); i-- > 0;) {
        if (masks[i] == stateBits)
            return m_painters[i].get();
    }
    for (size_t i = m_painters.size(); i-- > 0;) {
        if (masks[i] & stateBits)
            return m_painters[i].get();
    }
    return nullptr;
}

StylePainter* StyleSet::SelectForState(int stateBits) const
{
    if (StylePainter* matched = MatchState(stateBits))
        return matched;
    return Find(L"normal");
}

void StyleSet::Paint(const RECTF& dirty, const RECTF& box, int stateBits)
{
    if (m_byName.empty())
        return;
    StylePainter* chosen = MatchState(stateBits);
    if (!chosen)
        chosen = m_current ? m_current : Find(L"normal");
    if (!chosen)
        return;
    m_current = chosen;
    for (int i = 0; i < chosen->GetCount(); ++i)
        chosen->GetAt(i)->Paint(dirty, box);
}

TextPainter* StyleSet::FindTextPainter(const wchar_t* stateName) const
{
    StylePainter* painter = Find(stateName);
    return painter ? painter->FirstTextPainter() : nullptr;
}

} // namespace ui
