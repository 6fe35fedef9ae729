// Painters built from a style group: one StylePainter per state entry, one
// element painter per drawing element, and the StyleSet that picks the
// state painter matching a control's state bits and runs its elements in
// markup order. Painter properties can be bound to values the control
// publishes (an attribute value ":>name") and are overridden per element by
// the control's state animation. UI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Corvel/Core/UiString.h"
#include "Corvel/Core/UiTypes.h"
#include "Corvel/Render/Shapes.h"
#include "Corvel/Render/TimeLine.h"
#include "Corvel/Render/UiColor.h"
#include "Corvel/Render/UiImage.h"

namespace ui {

class Control;
class RenderTarget;
class StyleElement;
class StyleEntry;
class StyleGroup;
class ElemPainter;

// Application drawing of an element the style leaves to it ("Action"): the
// painter, the target it draws on, the dirty rectangle and the control's
// box. The result is not used.
using ElemDrawHook = std::function<bool(ElemPainter*, RenderTarget*, const RECTF&, const RECTF&)>;

// Reads a colour-stop list: hex colours (optional "#") separated by ",",
// every colour after the first optionally followed by ":" and its position
// (0..1; 0 or absent = spaced evenly). Returns the number of stops.
int ParseColorStops(const wchar_t* text, GradientStops& out);

// Base of the element painters; draws nothing itself but hands "Action"
// elements to the application's hook.
//
// Layout units: padding, position and size are stored at 96 DPI and
// multiplied by the window's scale when painted.
//
// Bindings: an attribute whose value is ":>name" reads the control's value
// `name` (Control::GetPropertyValue) at paint time instead:
//   "pos"   answers a rectangle in window pixels (rect): left -1 keeps the
//           computed left and right, top -1 keeps top and bottom, right 0
//           keeps the width, bottom 0 the height;
//   "size"  (shapes) answers its width and height as rect.Width() and
//           rect.Height(), in 96-DPI units;
//   "color" answers the ARGB word in intValue;
//   "alpha" answers 0..1 in value.
class ElemPainter {
public:
    explicit ElemPainter(Control* owner);
    virtual ~ElemPainter();
    ElemPainter(const ElemPainter&) = delete;
    ElemPainter& operator=(const ElemPainter&) = delete;

    virtual void SetDrawCallback(ElemDrawHook hook);
    // dirty: the part being repainted; box: the control's bounds (window
    // pixels).
    virtual void Paint(const RECTF& dirty, const RECTF& box);
    // Values are read as the table in each painter says; null name or value
    // is ignored.
    virtual void SetAttribute(const wchar_t* name, const wchar_t* value);

    // Each fills `out` and sets found; `current` asks for what the last
    // paint used, otherwise the configured value. The base answers "not
    // found" for colour, alpha and pen size.
    virtual void GetColorValue(PropertyValue& out, bool current);
    virtual void GetAlphaValue(PropertyValue& out, bool current);
    virtual void GetPenSizeValue(PropertyValue& out, bool current);
    virtual void GetPosValue(PropertyValue& out, bool current);
    virtual void GetRectValue(PropertyValue& out, bool current);
    virtual void GetSizeValue(PropertyValue& out, bool current);
    virtual void GetSizeSpecValue(PropertyValue& out, bool current);
    virtual void GetPaddingValue(PropertyValue& out, bool current);

    // Identity, set by the state painter that builds it.
    Control* GetOwner() const { return m_owner; }
    int GetKind() const { return m_kind; }
    void SetKind(int kind) { m_kind = kind; }
    const CUiString& GetName() const { return m_name; }
    void SetName(const wchar_t* name, bool given);
    // False when the element had no "name" and carries a generated one.
    bool HasGivenName() const { return m_nameGiven; }
    const CUiString& GetStateName() const { return m_stateName; }
    void SetStateName(const wchar_t* name) { m_stateName = name ? name : L""; }
    // The element's index in its state, in decimal: the suffix of its
    // animated style values.
    const std::wstring& GetElementKey() const { return m_elementKey; }
    void SetElementKey(std::wstring key) { m_elementKey = std::move(key); }
    // Attributes no painter recognised, and the ":>" bindings.
    const std::map<std::wstring, std::wstring>& GetOtherAttributes() const { return m_otherAttributes; }
    const std::map<std::wstring, std::wstring>& GetBindings() const { return m_bindings; }
    // What the last paint used.
    const Color& GetCurrentColor() const { return m_currentColor; }
    int GetCurrentPenSize() const { return m_currentPenSize; }
    const RECTF& GetCurrentRect() const { return m_currentRect; }

protected:
    // The element's box inside the control's box, before padding.
    struct ElementBox {
        float x = 0, y = 0, width = 0, height = 0;
        RECTF ToRect() const { return RECTF(x, y, x + width, y + height); }
    };
    // Which far-edge placements a "pos" binding may ask for (-2).
    enum class FarEdges { kRefused, kAccepted };

    float Scale() const;
    ElementBox ComputeElementBox(const RECTF& box) const;
    // The bound name of an attribute; null when it is not bound.
    const wchar_t* BindingOf(const wchar_t* attribute) const;
    // "pos" binding onto `box`; false when not bound or not answered.
    bool ApplyPosBinding(ElementBox& box, FarEdges farEdges) const;
    // "pos" binding onto a finished rectangle (text destinations).
    bool ApplyPosBinding(RECTF& rect) const;
    // "color" and "alpha" bindings onto the current colour.
    void ApplyColorBindings();
    // The control's animated "color", else "alpha", onto the current colour.
    void ApplyStyleColorValues();
    // Box minus padding (96-DPI units, multiplied by the scale here).
    RECTF Padded(const ElementBox& box, const float padding[4]) const;
    // Remembers the geometry of a paint for the "current" getters.
    void RememberGeometry(const ElementBox& box, const RECTF& drawn, const float padding[4]);
    // The layer's target, else the window's; null when neither exists.
    RenderTarget* Target() const;
    bool HasCore() const;

    Control* m_owner;
    Color m_currentColor;
    int m_currentPenSize = 0;
    RECTF m_currentRect;
    float m_currentSize[2] = {0, 0};
    float m_currentPadding[4] = {0, 0, 0, 0};
    int m_kind = 1;
    float m_padding[4] = {0, 0, 0, 0};
    RECTF m_position;
    // x percent, y percent, x offset, y offset.
    float m_relativePos[4] = {0, 0, 0, 0};
    float m_size[2] = {0, 0};
    float m_relativeSize[2] = {0, 0};
    CUiString m_stateName;
    CUiString m_name;
    bool m_nameGiven = false;
    ElemDrawHook m_drawHook;
    std::wstring m_elementKey;
    std::map<std::wstring, std::wstring> m_otherAttributes;
    std::map<std::wstring, std::wstring> m_bindings;
};

// "Image" element. Its name chooses the picture: none, its own "image" /
// "file"; "bkimage", "disableimage", "foreimage" the control's images; any
// other name the descriptor in the control's attribute of that name.
class ImagePainter : public ElemPainter {
public:
    explicit ImagePainter(Control* owner);
    ~ImagePainter() override;

    void Paint(const RECTF& dirty, const RECTF& box) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    // Current: the painter opacity (0..255); configured: the image's fade.
    void GetAlphaValue(PropertyValue& out, bool current) override;
    // Parses a descriptor into the painter's image over the control's
    // bounds and binds it (network pictures). Null is ignored.
    virtual void SetValue(const wchar_t* text);

    CUiImage& Image() { return m_image; }
    const BlurParams& GetBlur() const { return m_blur; }

private:
    // The picture the element's name chooses (see the class comment).
    CUiImage* ChooseImage();

    float m_opacity = 255.0f;
    BlurParams m_blur{0.0f, 1, 1};
    CUiImage m_image;
    // Descriptors read from control attributes, by their text.
    std::unordered_map<std::wstring, std::unique_ptr<CUiImage>, WideKeyHash> m_attributeImages;
};

// "Text" element.
class TextPainter : public ElemPainter {
public:
    // Text style the painter starts with: centred, vertically centred,
    // single line.
    static constexpr uint32_t kDefaultTextStyle = 0x25;

    explicit TextPainter(Control* owner);
    ~TextPainter() override;

    void Paint(const RECTF& dirty, const RECTF& box) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    // Current: the colour record of the last paint; configured: the colour
    // word split into channels.
    void GetColorValue(PropertyValue& out, bool current) override;
    // Current: the last alpha; configured: the alpha byte / 255.
    void GetAlphaValue(PropertyValue& out, bool current) override;
    virtual void SetValue(const wchar_t* text);

    const CUiString& GetText() const { return m_text; }
    // 0: the control's font is taken at the next paint (and kept).
    int GetFontId() const { return m_fontId; }
    uint32_t GetColorWord() const { return m_color; }
    uint32_t GetTextStyle() const { return m_textStyle; }
    bool IsGradient() const { return m_gradient; }
    const GradientStops& GetStops() const { return m_stops; }
    const GradientDirection& GetGradientDirection() const { return m_direction; }
    float GetCharSpacing() const { return m_charSpacing; }
    float GetLineSpacing() const { return m_lineSpacing; }
    uint32_t GetBlurColor() const { return m_blurColor; }
    bool IsHtml() const { return m_html; }
    bool IsRich() const { return m_rich; }

private:
    void ParseColor(const wchar_t* value);
    void ParseAlign(const wchar_t* value);
    CUiString ResolveText() const;
    uint32_t ResolveColorWord() const;
    // The destination: element box, padding, then the "pos" binding.
    RECTF ResolveDestination(const RECTF& box);

    int m_fontId = 0;
    uint32_t m_color = 0;
    bool m_gradient = false;
    GradientDirection m_direction;
    GradientStops m_stops;
    uint32_t m_textStyle = kDefaultTextStyle;
    float m_charSpacing = 1.0f;
    float m_lineSpacing = 0.0f;
    uint32_t m_blurColor = 0;
    bool m_html = false;
    bool m_rich = false;
    CUiString m_text;
};

// The element painters of one state entry, in markup order.
class StylePainter {
public:
    StylePainter(Control* owner, const wchar_t* name);
    virtual ~StylePainter();
    StylePainter(const StylePainter&) = delete;
    StylePainter& operator=(const StylePainter&) = delete;

    // One element painter per element of the entry (see StyleSet::Build).
    void Build(const StyleEntry& entry);
    // The first element painter of that name; null when none.
    ElemPainter* FindPainter(const wchar_t* name) const;
    // The first text element painter; null when none.
    TextPainter* FirstTextPainter() const;
    const CUiString& GetName() const { return m_name; }
    Control* GetOwner() const { return m_owner; }
    int GetCount() const { return static_cast<int>(m_painters.size()); }
    // Borrowed; null out of range.
    ElemPainter* GetAt(int index) const;

private:
    Control* m_owner;
    CUiString m_name;
    std::vector<std::unique_ptr<ElemPainter>> m_painters;
};

// A control's painters, one StylePainter per state name. Owned by the
// control (Control::SetStyle creates it).
class StyleSet {
public:
    explicit StyleSet(Control* owner);
    ~StyleSet();
    StyleSet(const StyleSet&) = delete;
    StyleSet& operator=(const StyleSet&) = delete;

    // Replaces the painters by the group's (null does nothing). An entry
    // whose name is already present is skipped.
    void Build(const StyleGroup* group);
    void Clear();

    // Paints the state painter that matches `stateBits`:
    //   1. the last painter whose state mask equals the bits;
    //   2. else the last one sharing any bit with them;
    //   3. else the painter painted last;
    //   4. else the one named "normal".
    // The chosen painter becomes the current one.
    void Paint(const RECTF& dirty, const RECTF& box, int stateBits);
    // Rules 1, 2 and 4 of Paint, without painting or changing the current
    // painter. Null when none applies.
    StylePainter* SelectForState(int stateBits) const;
    // The first text element of the named state; null when none.
    TextPainter* FindTextPainter(const wchar_t* stateName) const;
    // Borrowed; null when absent.
    StylePainter* Find(const wchar_t* stateName) const;
    // The state painter painted last; null before the first paint.
    StylePainter* GetCurrent() const { return m_current; }
    int GetCount() const { return static_cast<int>(m_painters.size()); }
    StylePainter* GetAt(int index) const;
    Control* GetOwner() const { return m_owner; }

private:
    // Rules 1 and 2 of Paint.
    StylePainter* MatchState(int stateBits) const;

    Control* m_owner;
    std::vector<std::unique_ptr<StylePainter>> m_painters;
    std::unordered_map<std::wstring, StylePainter*, WideKeyHash> m_byName;
    StylePainter* m_current = nullptr;
};

} // namespace ui
