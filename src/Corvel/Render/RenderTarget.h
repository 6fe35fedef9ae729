// The UI library's drawing surface: a Direct2D target bound to a window (or,
// for a control layer, drawing offscreen into its parent), with the objects
// that live and die with it, a stack of clip boxes and device-loss recovery.
//
// Every target works at 96 DPI: coordinates are device pixels of the window.
#pragma once

#include <windows.h>
#include <d2d1.h>
#include <d2d1_1.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Corvel/Core/UiTypes.h"
#include "Corvel/Render/Shapes.h"
#include "Corvel/Render/UiColor.h"

namespace Gdiplus {
class Bitmap;
}

namespace ui {

// Every target and every bitmap made for one works at 96 DPI, so one
// Direct2D unit is one device pixel; callers scale by the window's DPI.
constexpr float kDeviceDpi = 96.0f;

class RenderTarget;
class TextLayoutCache;
class WindowCore;
class CUiImage;
struct tagTImageInfo;

// 32-bit FNV-1a over bytes, the hash of the brush caches.
uint32_t Fnv1a(const void* data, size_t size);
// Solid brush keys hash their four bytes from the lowest; gradient keys
// their characters.
struct SolidBrushKeyHash {
    size_t operator()(uint32_t key) const;
};
struct GradientBrushKeyHash {
    size_t operator()(const std::string& key) const;
};

// One entry of the clip stack. Callers fill rect (and, for rounded clips, the
// corner size, shape rect and corner switches) and hand it to PushClip.
struct ClipBox {
    // Built by PushClip for rounded boxes. The stack entry owns it; the copy
    // written back into the caller's box is borrowed and only valid until
    // that entry is popped.
    ID2D1Geometry* geometry = nullptr;
    RECTF rect{};
    // Full width and height of the corner ellipse (radius is half); both 0
    // for square corners.
    float cornerWidth = 0.0f;
    float cornerHeight = 0.0f;
    RECTF shapeRect{};
    // When all four are non-zero every corner is rounded; otherwise only the
    // corners whose switch is non-zero.
    int topLeft = 0;
    int topRight = 0;
    int bottomRight = 0;
    int bottomLeft = 0;

    ClipBox() = default;
    ClipBox(const ClipBox&) = default;
    ClipBox& operator=(const ClipBox&) = default;

    static ClipBox FromRect(const RECTF& r);
    static ClipBox Rounded(const RECTF& r, float cornerWidth, float cornerHeight);
};

// Scope object that pops one clip entry of a target when it ends.
//
// ClipGuard(target) guards the entry that is on top of the stack when the
// guard is made (the one the caller has just pushed); ClipGuard(target, box)
// pushes the box itself. Either way the guard removes exactly that entry: if
// the stack was emptied meanwhile (resize, device loss) it does nothing, and
// if unguarded entries were left above it they stay where they are.
class ClipGuard {
public:
    explicit ClipGuard(RenderTarget* target);
    ClipGuard(RenderTarget* target, ClipBox& box);
    ~ClipGuard();
    ClipGuard(ClipGuard&& other) noexcept;
    ClipGuard& operator=(ClipGuard&&) = delete;
    ClipGuard(const ClipGuard&) = delete;
    ClipGuard& operator=(const ClipGuard&) = delete;

    // Pops now (idempotent).
    void Pop();

private:
    RenderTarget* m_target;
    uint32_t m_entryId;
};

// Parameters of DrawToParent, in the order the compositing uses them.
struct ParentComposition {
    float opacity = 1.0f;
    // Perspective transform of the layer; null for none.
    const D2D1_MATRIX_4X4_F* perspective = nullptr;
    // Blur of the layer's content (0 = none), Direct2D optimisation and
    // border mode.
    float blurDeviation = 0.0f;
    int blurOptimization = 1;
    int blurBorderMode = 1;
    // The control's shadow; only drop, inset and blur are read here. May be
    // null.
    const BoxShadow* shadow = nullptr;
};

class RenderTarget {
public:
    using RecreatedCallback = std::function<void()>;

    RenderTarget();
    virtual ~RenderTarget();
    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;

    // Always 2 (kind of drawing surface).
    virtual int GetKind() const;

    // Binds a window target (window, no parent) or a child target (no
    // window, parent = the target it is composited into) and tries to create
    // the Direct2D objects. Returns true even when creation failed: every
    // BeginDraw retries. The callback runs after the device was lost and all
    // resources were recreated (the owner reloads device objects and repaints
    // everything).
    virtual bool Init(HWND window, RenderTarget* parent, RecreatedCallback callback);

    // Origin (position inside the parent, for a child) and size in pixels.
    // A window target resizes its swap chain; a child with a new size rebuilds
    // its bitmap (its clip stack is emptied).
    virtual void Resize(float x, float y, float width, float height);

    // Starts a frame and clears exactly the listed rectangles to transparent.
    virtual void BeginDraw(const std::vector<RECTF>& clearRects);
    // Ends the frame. layered: present the surface to the layered window with
    // UpdateLayeredWindowIndirect (dirty = the changed part; null or empty
    // for the whole window). Device loss reported here recreates everything
    // and calls the recreated callback.
    virtual void EndDraw(bool layered, const RECT* dirty);
    // Waits until the GPU has carried out every frame this window target
    // handed it, so that the window's native child windows can change with
    // no frame still on its way to the screen. Returns at once inside a
    // frame, for a child target, or without resources.
    void FinishQueuedFrames();

    // Composites this child target's bitmap into its parent at (origin,
    // size). Nothing happens without a parent or resources.
    virtual void DrawToParent(const ParentComposition& params);

    // Creates the Direct2D objects when missing; false when none exist after.
    virtual bool CreateResources();
    // Releases every Direct2D object, brush and clip (idempotent).
    virtual void DiscardResources();

    // Clears the listed rectangles to transparent inside a frame.
    void ClearRects(const std::vector<RECTF>& rects);

    // Clip stack. PushClip returns the id of the new entry (never 0); the
    // effective clip is the intersection of every entry (rounded entries as
    // one layer). PopClip removes the top entry, RemoveClip one entry by id;
    // both re-apply what remains. Clips survive across frames until popped.
    uint32_t PushClip(ClipBox& box);
    void PopClip();
    bool RemoveClip(uint32_t entryId);
    void ApplyClipStack();
    int ClipDepth() const { return m_clipTop + 1; }
    int ClipCapacity() const { return m_clipCapacity; }
    const ClipBox* ClipEntry(int index) const;
    uint32_t TopClipId() const;
    const RECTF& CurrentClip() const { return m_currentClip; }
    // Device clips on the Direct2D target (0 or 1) and whether a geometric
    // layer is part of it.
    int AppliedClips() const { return m_appliedClips; }
    bool LayerPushed() const { return m_layerPushed != 0; }

    // GDI bridge inside a frame: a DC on the surface with the target's
    // transform and, when a clip is applied, its bounding rectangle as the
    // clip region. Null when GDI interop is unavailable. Pair with
    // EndGdiClip, which puts the Direct2D clip back.
    HDC BeginGdiClip();
    void EndGdiClip(HDC hdc);

    // Cached solid brush for the colour; the alpha is applied as the brush's
    // opacity on every call. Null without resources. Borrowed: valid until
    // the resources are discarded.
    ID2D1SolidColorBrush* GetSolidBrush(const Color& color);
    ID2D1SolidColorBrush* GetSolidBrush(const D2D1_COLOR_F& color);
    size_t SolidBrushCount() const { return m_solidBrushes.size(); }
    // Brush for a stop list positioned on rect: null without stops, the
    // solid brush for one stop, else a linear gradient cached by direction,
    // size and stops and translated to rect's top-left on every call (so
    // rectangles of one size share it). direction may be null (left to
    // right). Borrowed: valid until the resources are discarded.
    ID2D1Brush* GetBrush(const RECTF& rect, const GradientStops& stops, const GradientDirection* direction);
    size_t GradientBrushCount() const { return m_gradientBrushes.size(); }

    // Shapes, lines, arcs and paths (RenderTargetShapes.cpp). Coordinates in
    // pixels of the window; each draws nothing without resources or with an
    // empty rectangle. corner, switches, direction and blur may be null
    // (square corners, all corners, left to right, no blur). A blur with a
    // deviation above 0 draws the shape blurred: through Direct2D's Gaussian
    // blur where the system has it, else blurred on the CPU.
    void FillShape(const RECTF& rect, const GradientStops& stops, const GradientDirection* direction,
                   const CornerSize* corner, const CornerSwitches* switches, const BlurParams* blur);
    // Outline with the pen width (centred on the rectangle's edge) and a dash
    // style (DashStyle).
    void DrawShape(const RECTF& rect, const GradientStops& stops, const GradientDirection* direction,
                   const CornerSize* corner, const CornerSwitches* switches, int dashStyle, const BlurParams* blur,
                   float penWidth);
    // Line from (points.left, points.top) to (points.right, points.bottom);
    // a gradient is positioned on the points' rectangle.
    void DrawLine(const RECTF& points, const GradientStops& stops, const GradientDirection* direction, int dashStyle,
                  float penWidth);
    // Elliptic arc inside rect with round caps (see ArcPath for angles); a
    // second colour with any non-zero channel makes a gradient from the
    // second colour at the arc's start to the first at its end.
    void DrawArc(float startAngle, float sweep, const RECTF& rect, float penWidth, const Color& first,
                 const Color& second);
    // One closed polyline figure per item with two or more points.
    void DrawPath(const RECTF& rect, const std::vector<PathItem>& items, float penWidth, const Color& color,
                  int dashStyle);
    void FillPath(const RECTF& rect, const std::vector<PathItem>& items, const GradientStops& stops,
                  const GradientDirection* direction);

    // Effects (RenderTargetEffects.cpp).
    // Drop shadow (around rect, grown by the shadow's size and moved by its
    // offset) or inset shadow (inside rect, shadow.inset == 1). Sizes and
    // offsets in pixels. image (borrowed, may be null) gives the shadow's
    // shape instead of the box. transform is not read (callers pass the
    // control's matrix; shadows are drawn untransformed).
    void DrawShadow(const RECTF& rect, const BoxShadow& shadow, const CornerSize* corner,
                    const CornerSwitches* switches, const D2D1_MATRIX_4X4_F* transform, ID2D1Bitmap* image);
    // Inside a frame: blurs what is already drawn under rect (clamped to the
    // surface) and draws it back at rect with the opacity, through the
    // current clip. False when nothing was drawn: no device context, an
    // empty rectangle, or a system that cannot copy from a target.
    bool DrawBlurredBackdrop(float opacity, const RECTF& rect, const BlurParams& blur);
    // Snapshot of rect (premultiplied 32-bit GDI+ bitmap, owned by the
    // caller) masked by the rounded corners when a corner size is given.
    // Null when the target's pixels cannot be copied (e.g. Wine) or GDI+
    // fails.
    std::unique_ptr<Gdiplus::Bitmap> CaptureBitmap(const RECTF& rect, const CornerSize* corner,
                                                   const CornerSwitches* switches);

    // Text (RenderTargetText.cpp). Inside a frame; both lay the text out
    // with DirectWrite in rect (window pixels; its width and height bound
    // the layout), with the text format of font fontId of core's fonts (the
    // topmost parent core's font manager), and draw nothing without a
    // Direct2D target, core, font or text (null or empty).
    //   format: the DrawText bits DT_CENTER, DT_RIGHT (horizontal),
    //   DT_VCENTER, DT_BOTTOM (vertical), DT_SINGLELINE (no wrapping) and
    //   DT_END_ELLIPSIS (a line too long ends in an ellipsis).
    //   characterSpacing, lineSpacing: extra advance per character and extra
    //   distance per line, in pixels already multiplied by core's scale;
    //   line spacing is used above 0 on multi-line text.
    //   glowArgb: colour of a blurred halo behind the text (deviation 1.5
    //   pixels at 96 DPI); 0 for none.
    // DrawText: one brush from stops and direction (GetBrush over rect).
    // Character spacing counts when it is above 1 pixel at 96 DPI, so a skin
    // looks alike at every scale. A wrapped text with more lines than fit
    // in rect keeps the leading lines that fit (a line may overhang by less
    // than a pixel), loses its last character there and ends in "...";
    // single-line text is never cut. The glow is blurred by Direct2D where
    // the system has the blur effect, else on the CPU; a target without a
    // device context (Direct2D 1.0) draws glowing text with GDI+ instead.
    void DrawText(WindowCore* core, const RECTF& rect, const wchar_t* text, const GradientStops& stops,
                  const GradientDirection* direction, int fontId, UINT format, float characterSpacing,
                  float lineSpacing, uint32_t glowArgb);
    // Brace-tagged text (see TextDrawing.h): the tags are removed and their
    // runs style the plain text over the base colour argb and the font.
    // With DT_CENTER and DT_RIGHT (or DT_VCENTER and DT_BOTTOM) together the
    // first wins. Character spacing counts above 0. The glow (in the glow
    // colour whatever the runs' colours) needs a device context: without
    // one the text is drawn without it.
    void DrawBlurredText(WindowCore* core, const RECTF& rect, const wchar_t* text, uint32_t argb, int fontId,
                         UINT format, float characterSpacing, float lineSpacing, uint32_t glowArgb);
    // Rich text (RenderTargetRichText.cpp, tag language in RichText.h):
    // laid out in rect with core's fonts and images and drawn with GDI+ on
    // the target's GDI device context, inside a frame. format: the DrawText
    // bits RichText.h lists. linkCount (may be null): in, how many links to
    // count; out, how many were laid out. blurArgb: colour of a blurred
    // black halo behind the text (its alpha gives the halo's strength); 0
    // for none. Nothing is drawn without a GDI bridge, core or text.
    void DrawHtmlText(WindowCore* core, const RECTF& rect, const wchar_t* text, uint32_t argb, int* linkCount,
                      UINT format, uint32_t blurArgb);
    // Releases the device context, so the target draws as on a system with
    // only the first Direct2D version until its resources are recreated.
    void DropDeviceContextForTesting();

    // Transform every drawing of this target goes through, kept across
    // resizes and device loss (a layer's target draws in window
    // coordinates through a translation by minus its origin).
    void SetDrawingTransform(const D2D1_MATRIX_3X2_F& transform);

    // Sees every DrawShadow call with its rectangle and shadow, before
    // anything is drawn. Null to stop.
    using ShadowObserver = std::function<void(const RECTF& rect, const BoxShadow& shadow)>;
    void SetShadowObserverForTesting(ShadowObserver observer) { m_shadowObserver = std::move(observer); }

    // Borrowed Direct2D objects (null when missing).
    ID2D1RenderTarget* GetD2DTarget() const { return m_target; }
    ID2D1DeviceContext* GetDeviceContext() const { return m_deviceContext; }
    ID2D1GdiInteropRenderTarget* GetGdiInterop() const { return m_gdiInterop; }
    bool HasResources() const { return m_target != nullptr; }
    bool InFrame() const { return m_inFrame; }

    HWND GetWindow() const { return m_window; }
    RenderTarget* GetParent() const { return m_parent; }
    float OriginX() const { return m_originX; }
    float OriginY() const { return m_originY; }
    float Width() const { return m_width; }
    float Height() const { return m_height; }

    // Counts every Direct2D target this object has created; a child compares
    // its parent's count with the one it was built from to notice that the
    // parent was rebuilt after device loss.
    uint32_t Generation() const { return m_generation; }

    // ---- Images (RenderTargetImages.cpp) ----------------------------
    // Draws the image a descriptor names into `dest`, limited to `paint`
    // (both in device pixels). The core owns the image table and the DPI
    // scale. opacity 255 takes the descriptor's fade; a blur deviation of 0
    // takes the descriptor's blur. False when the descriptor is empty or the
    // image cannot be had; true otherwise, also when nothing was visible.
    bool DrawImage(WindowCore* core, const RECTF& dest, const RECTF& paint, CUiImage& image, uint8_t opacity,
                   BlurParams blur = BlurParams());
    // Draws the current frame of `info` into imageRect (device pixels),
    // limited to `paint`: source and corners in image pixels; the centre is
    // stretched or tiled, the eight border pieces stretched along their edge.
    // alpha 0..1. Nothing without resources, info, or that frame.
    void DrawImageFrame(const tagTImageInfo* info, const RECTF& imageRect, const RECTF& paint, const RECTF& source,
                        const RECTF& corners, float alpha, bool tileX, bool tileY, const BlurParams& blur);
    // One bitmap piece; null dest or source mean the whole bitmap. Blurred
    // when the deviation is above 0 and the target has a device context.
    void DrawBitmapRect(ID2D1Bitmap* bitmap, const RECTF* dest, const RECTF* source, float alpha,
                        const BlurParams& blur = BlurParams());

    // Makes the next EndDraw take the device-loss path whatever Direct2D
    // answers. Tests only.
    void SimulateDeviceLossForTesting() { m_simulateLoss = true; }

private:
    void PopDeviceClip();
    void RecoverDeviceLoss();
    bool ParentWasRebuilt() const;
    void PresentLayered(const RECT* dirty);
    void PrimeGdiInterop();
    ID2D1Bitmap* BlurOnCpu(ID2D1Bitmap* source, const ParentComposition& params, const D2D1_RECT_F& dest);
    bool ReadPixels(ID2D1Bitmap* bitmap, uint32_t* out, int width, int height, int outStride);
    // Composites the layer through a perspective matrix warped on the CPU
    // (for systems whose DrawBitmap ignores the matrix); a blur of the layer
    // is not applied on this path.
    void DrawWarpedToParent(ID2D1Bitmap* bitmap, const D2D1_MATRIX_4X4_F& matrix, float opacity);
    // The bitmap blurred as `blur` says, of the bitmap's own size (the blur is
    // cut at its bounds); null when it cannot be made.
    Microsoft::WRL::ComPtr<ID2D1Bitmap> BlurredCopy(ID2D1Bitmap* bitmap, const BlurParams& blur);
    void ReleaseEntry(int index);
    void GrowClipArray();
    void DrawBlurredShape(const RECTF& rect, const GradientStops& stops, const GradientDirection* direction,
                          float penWidth, ID2D1StrokeStyle* stroke, const CornerSize* corner,
                          const CornerSwitches* switches, const BlurParams& blur);
    void DrawShadowRings(const RECTF& rect, const BoxShadow& shadow, const CornerSize* corner,
                         const CornerSwitches* switches);
    void DrawDropShadowEffect(const RECTF& rect, const BoxShadow& shadow, const CornerSize* corner,
                              const CornerSwitches* switches, ID2D1Bitmap* image);
    void DrawInsetShadowEffect(const RECTF& rect, const BoxShadow& shadow, const CornerSize* corner,
                               const CornerSwitches* switches, ID2D1Bitmap* image);
    // The surface's pixels of source (surface pixels) in a new bitmap, read
    // without the clip, which is applied again at once. Null where the
    // system cannot copy from a target.
    Microsoft::WRL::ComPtr<ID2D1Bitmap> CopySurface(const D2D1_RECT_U& source);
    void DrawInsetShadowOnCpu(const RECTF& rect, const BoxShadow& shadow, const CornerSize* corner,
                              const CornerSwitches* switches);

    HWND m_window = nullptr;
    RenderTarget* m_parent = nullptr;
    ID2D1RenderTarget* m_target = nullptr;
    ID2D1DeviceContext* m_deviceContext = nullptr;
    ID2D1GdiInteropRenderTarget* m_gdiInterop = nullptr;
    float m_originX = 0.0f;
    float m_originY = 0.0f;
    float m_width = 0.0f;
    float m_height = 0.0f;
    int m_appliedClips = 0;
    uint8_t m_layerPushed = 0;
    uint8_t m_gdiClipActive = 0;
    HRGN m_gdiClipRegion = nullptr;
    ID2D1Layer* m_clipLayer = nullptr;
    RECTF m_currentClip{};
    int m_clipGrowStep = 32;
    int m_clipTop = -1;
    int m_clipCapacity = 0;
    ClipBox* m_clipEntries = nullptr;
    uint32_t* m_clipIds = nullptr;
    uint32_t m_nextClipId = 1;
    RecreatedCallback m_recreated;
    std::unordered_map<uint32_t, ID2D1SolidColorBrush*, SolidBrushKeyHash> m_solidBrushes;
    std::unordered_map<std::string, ID2D1LinearGradientBrush*, GradientBrushKeyHash> m_gradientBrushes;
    // Layouts of recent DrawText calls; made on first use.
    std::unique_ptr<TextLayoutCache> m_textLayouts;

    bool m_inFrame = false;
    bool m_simulateLoss = false;
    // Set by device loss until recreated objects exist and the owner was told.
    bool m_recreatePending = false;
    uint32_t m_generation = 0;
    uint32_t m_parentGeneration = 0;
    // Where the last CPU-blurred bitmap goes (the layer plus its spread).
    D2D1_RECT_F m_blurDest{};
    D2D1_MATRIX_3X2_F m_drawingTransform = D2D1::IdentityMatrix();
    ShadowObserver m_shadowObserver;
};

} // namespace ui
