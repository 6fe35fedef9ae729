// Drop shadow of a frameless top-level window: a layered, click-through
// pop-up owned by the window, kept behind it as it moves, resizes, shows and
// hides, with a shadow bitmap rendered on the CPU.
#pragma once

#include <windows.h>

#include <cstdint>

class CWndShadow {
public:
    // Status bits.
    enum : uint8_t {
        kEnabled = 1,         // the shadow window exists
        kVisible = 2,         // the shadow is shown
        kParentVisible = 4,   // the parent is shown
        kDisabledByComposition = 8,
    };

    CWndShadow();
    // Takes the parent's window procedure back and removes the shadow window
    // if it still exists (an owned window would otherwise outlive this
    // object and go on showing a stale shadow).
    virtual ~CWndShadow();
    CWndShadow(const CWndShadow&) = delete;
    CWndShadow& operator=(const CWndShadow&) = delete;

    // Creates the shadow window for parent (DPI factor scale) and subclasses
    // the parent. False when the window cannot be created, or when this
    // object or the parent already has a shadow.
    bool Create(HWND parent, float scale = 1.0f);

    // Setters answer false before Create; otherwise they store the value,
    // re-render when the shadow is visible and answer true.
    bool SetSize(int8_t size);
    bool SetSharpness(int sharpness);  // 0..20
    bool SetDarkness(int darkness);    // 0..255
    bool SetPosition(int8_t x, int8_t y);
    bool SetColor(COLORREF color);
    bool SetScale(float scale);
    // Ellipse size of the rounded outline used when the parent has no region.
    bool SetCorner(int width, int height);

    // Shows (SW_SHOWNA) or hides the shadow from the parent's state; force
    // treats the parent as visible. Does not render.
    void Show(HWND parent, bool force = false);
    // Places the shadow behind the parent's current position.
    void Move(HWND parent);
    // Renders the shadow for the parent's current size and presents it.
    void Update(HWND parent);

    // Fills a W x H 32-bit bottom-up DIB (premultiplied BGRA, cleared to 0)
    // with the shadow of a parent of the given window rectangle.
    void MakeShadow(uint32_t* bits, HWND parent, const RECT& parentRect) const;

    HWND GetHandle() const { return m_hwnd; }
    uint8_t Status() const { return m_status; }
    int ScaledSize() const { return m_scaledSize; }
    int ScaledX() const { return m_scaledX; }
    int ScaledY() const { return m_scaledY; }
    int Sharpness() const { return m_sharpness; }
    int Darkness() const { return m_darkness; }
    COLORREF Color() const { return m_color; }
    float Scale() const { return m_scale; }
    // Shadow bitmaps presented so far (diagnostics).
    int RenderCount() const { return m_renders; }

    // The kernel that blurs the outline: (2K + 1)^2 premultiplied pixels,
    // K = max(size, sharpness). Exposed for checks of its falloff.
    static void BuildKernel(int size, int sharpness, int darkness, COLORREF color, int& radius,
                            uint32_t* out /* (2K+1)^2, may be null to ask K */);

private:
    static LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT HandleParentMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Rescale();
    void Unsubclass(bool parentDying = false);
    HWND Owner() const;
    void UpdateIfVisible();

    HWND m_hwnd;
    WNDPROC m_parentProc;
    uint8_t m_status;
    uint8_t m_darkness;
    uint8_t m_sharpness;
    int8_t m_scaledSize;
    int8_t m_size;
    int8_t m_scaledX;
    int8_t m_scaledY;
    int8_t m_x;
    int8_t m_y;
    uint16_t m_lastWidth;
    uint16_t m_lastHeight;
    bool m_updatePending;
    COLORREF m_color;
    float m_scale;
    int32_t m_cornerWidth;
    int32_t m_cornerHeight;
    // The window this object subclassed (null when not subclassed).
    HWND m_parent;
    int m_renders = 0;
};
