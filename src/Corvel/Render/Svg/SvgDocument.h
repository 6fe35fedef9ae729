// ui::svg: the UI library's own small SVG layer, made for the image decoder:
// load a document, recolour it with a style sheet, learn its size and draw
// it into a premultiplied BGRA pixel buffer at any size.
//
// Drawn: path (the whole path grammar), rect (rounded too), circle, ellipse,
// line, polyline, polygon, g, a, switch (its first child without
// requiredExtensions), nested svg (placed, scaled by its viewBox and clipped
// to its box); transform (matrix, translate, scale, rotate with a centre,
// skewX, skewY, lists); viewBox with preserveAspectRatio; solid fill and
// stroke (CSS named colours, #rgb, #rgba, #rrggbb, #rrggbbaa, rgb() and
// rgba() with numbers or per cents, none, currentColor from `color`),
// fill-rule, opacity (a whole element at once), fill-opacity,
// stroke-opacity, stroke-width, stroke-linecap, stroke-linejoin,
// stroke-miterlimit, display, visibility; all of them as presentation
// attributes, in style attributes, in the document's own <style> elements
// and in applied sheets, inherited as CSS says.
//
// Not drawn, skipped without harm: text, images, gradients and patterns
// (a paint's fallback colour is used when it has one, else nothing), clip
// paths, masks, filters, markers, use, symbol and defs content, scripts,
// animation, dashes, and unknown elements with their children. Unknown
// attributes are ignored.
//
// Cascade, weakest first: presentation attributes, rules of the document's
// <style> elements, its style attributes, then applied sheets (the
// application's word on the picture beats the document's own). Within the
// rules of one level a more specific selector wins, and a later rule wins
// over an earlier one of the same specificity. One exception: `opacity` from
// a rule whose selector is "*" alone fades the picture once, as a whole,
// instead of every element again inside its already faded parent (so
// "*{opacity:0.5}" halves the picture's alpha whatever its nesting).
//
// Drawing: fills go to Direct2D as path geometry (curves as cubic Béziers
// only); stroke outlines are made by the layer (SvgStroke.h) and filled;
// group opacity draws the group into a bitmap of its own first.
//
// Limits: documents over 16 MB, nested deeper than 256 elements or with more
// than 100000 elements are refused; numbers beyond 1e9 count as errors; a
// shape whose device coordinates pass a million pixels is skipped, and so is
// a stroke whose outline would pass a million points.
//
// Threads: a document is used by one thread at a time. Drawing uses the UI
// library's Direct2D and WIC factories when the library has started (then
// on the UI thread only: those factories are single-threaded); otherwise it
// makes factories of its own for the call, which needs COM initialised on
// the calling thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "Corvel/Render/Svg/SvgGeometry.h"
#include "Corvel/Render/Svg/SvgModel.h"
#include "Corvel/Render/Svg/SvgStyle.h"

namespace ui {
namespace svg {

// 32-bit pixels, premultiplied BGRA, rows top down, stride width * 4 bytes.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    int Stride() const { return width * 4; }
};

// How a viewBox sits in a viewport.
struct AspectRatio {
    enum class Align : uint8_t { None, Min, Mid, Max };
    Align x = Align::Mid;
    Align y = Align::Mid;
    bool slice = false;  // false: meet (all of the viewBox shows)
};

struct ViewBox {
    float x = 0.0f;
    float y = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
};

// Largest pixel width or height a document is drawn at.
constexpr int kMaxRenderSize = 16384;

class Document {
public:
    // The document in `size` bytes of UTF-8 (no terminator needed); null
    // when they are not an SVG document (root element other than svg,
    // broken XML, beyond the limits above).
    static std::unique_ptr<Document> LoadFromData(const char* data, size_t size);

    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Adds the rules of a sheet after those applied before (see the cascade
    // above); unparsable parts are skipped. Sheets stay applied for every
    // later drawing. Styles are resolved again here (elements x rules).
    void ApplyStyleSheet(std::string_view sheet);

    // Size in user units (px): the root's width and height (px or unitless,
    // or another absolute unit converted at 96 dpi; per cents are ignored),
    // else from the viewBox (one given side and the viewBox's aspect give
    // the other). 0 when neither says.
    float GetWidth() const { return m_width; }
    float GetHeight() const { return m_height; }

    // Draws the document scaled into width x height pixels over a background
    // of 0xAARRGGBB (0: transparent). False, with `out` emptied, for "no
    // image": a zero document size, a pixel size of 0 or above
    // kMaxRenderSize, or a drawing failure.
    bool RenderToBitmap(int width, int height, uint32_t background, Bitmap& out) const;

    // The parsed tree and how its root viewBox maps onto a pixel size; for
    // the drawing code.
    const std::vector<Node>& Nodes() const { return m_nodes; }
    Matrix RootTransform(int width, int height) const;

private:
    friend class DocumentBuilder;
    Document() = default;
    void ResolveStyles();

    std::vector<Node> m_nodes;  // document order; the root is node 0
    RuleList m_documentRules;   // the document's <style> elements
    RuleList m_appliedRules;    // ApplyStyleSheet
    float m_width = 0.0f;
    float m_height = 0.0f;
    ViewBox m_viewBox;          // the root's, or 0 0 width height
    AspectRatio m_aspect;
    bool m_drawable = true;     // false when the root's viewBox is empty
};

// Maps `box` into a viewport of the given size at 0,0.
Matrix ViewBoxTransform(const ViewBox& box, const AspectRatio& aspect, float width, float height);

} // namespace svg
} // namespace ui
