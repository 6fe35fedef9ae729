// Window core: the idle tick, dirty rectangles and painting. Nothing is drawn
// in WM_PAINT; the tick paints and presents exactly the dirty area.
#include "Corvel/Core/WindowCore.h"

#include "Corvel/Control/Box.h"
#include "Corvel/Core/CoreSeams.h"
#include "Corvel/Core/RectMath.h"
#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Core/WindowWnd.h"
#include "Corvel/Render/FontManager.h"

#include <algorithm>

namespace ui {

void WindowCore::IdleTick()
{
    std::vector<WindowCore*>& cores = UiGlobals().boundCores;
    // The count is re-read on every pass: a frame may bind or unbind cores,
    // its own included (a step can destroy its window, and the core with it).
    for (size_t i = 0; i < cores.size();) {
        WindowCore* core = cores[i];
        if (core && core->m_window) {
            HWND w = core->m_window;
            if (IsWindow(w) && IsWindowVisible(w) && !IsIconic(w))
                core->RunIdleStep();
        }
        // Only the pointer is compared: the core may be gone. When it left
        // the list, the next core has moved into its place.
        if (i < cores.size() && cores[i] == core)
            ++i;
    }
}

void WindowCore::MarkDirty(const RECTF& in)
{
    RECTF r = in;
    const RECT& c = m_clientRect;
    if (r.right < c.left || r.left > c.right || c.top > r.bottom || r.top > c.bottom)
        return;
    if (m_firstLayoutPending || !m_window || !IsWindowVisible(m_window) || IsIconic(m_window))
        return;
    RECTF whole(0, 0, static_cast<float>(c.right), static_cast<float>(c.bottom));
    std::vector<RECTF>* target = &m_dirty;
    if (!m_painting) {
        if (m_wholeWindowDirty && rectmath::Equal(r, whole))
            return;
        if (r.left == 0) {
            if (r.top == 0 && r.right == 0 && r.bottom == 0)
                return;
            if (rectmath::Equal(r, whole)) {
                m_dirty.clear();
                m_wholeWindowDirty = true;
            }
        }
    } else {
        target = &m_lateDirty;
    }
    if (r.left < 0)
        r.left = 0;
    if (r.top < 0)
        r.top = 0;
    target->push_back(rectmath::SnapOutward(r));
}

std::vector<RECTF> WindowCore::MergeDirtyRects(const std::vector<RECTF>& input)
{
    std::vector<RECTF> current = input;
    for (;;) {
        std::sort(current.begin(), current.end(), [](const RECTF& a, const RECTF& b) { return a.left < b.left; });
        std::vector<RECTF> out;
        for (const RECTF& s : current) {
            bool merged = false;
            for (RECTF& o : out) {
                // Touching edges count as overlap.
                if (s.left <= o.right && o.left <= s.right && o.bottom >= s.top && o.top <= s.bottom) {
                    o = rectmath::Union(o, s);
                    merged = true;
                    break;
                }
            }
            if (!merged)
                out.push_back(s);
        }
        if (out.size() >= current.size())
            return out;
        current.swap(out);
    }
}

namespace {

RECTF BoundingFromOrigin(const std::vector<RECTF>& a, const std::vector<RECTF>* b)
{
    RECTF r(0, 0, 0, 0);
    auto take = [&r](const std::vector<RECTF>& list) {
        for (const RECTF& x : list) {
            if (!(x.left < x.right && x.top < x.bottom))
                continue;
            r.left = std::min(r.left, x.left);
            r.top = std::min(r.top, x.top);
            r.right = std::max(r.right, x.right);
            r.bottom = std::max(r.bottom, x.bottom);
        }
    };
    take(a);
    if (b)
        take(*b);
    return r;
}

} // namespace

void WindowCore::Relayout()
{
    if (!m_relayoutNeeded || !m_root)
        return;
    m_relayoutNeeded = false;
    if (m_root->IsLayoutPending()) {
        RECT rc{};
        ::GetClientRect(m_window, &rc);
        m_root->SetBounds(RECTF(0, 0, static_cast<float>(rc.right), static_cast<float>(rc.bottom)));
        return;
    }
    // Each flagged control lays itself out again in place; SetBounds clears
    // its flag, so the search ends.
    for (int guard = 0; guard < 100000; ++guard) {
        Control* c = m_root->SearchTree(&MatchNeedsRelayout, nullptr, kSearchSelfFirst | kSearchVisible);
        if (!c)
            break;
        // A floating control is placed by its container from its float
        // record and fixed position; re-applying its old rectangle would
        // undo a new position.
        Box* parent = c->IsFloat() && c->GetParent() ? static_cast<Box*>(c->GetParent()->CastTo(L"Box")) : nullptr;
        int index = parent ? parent->IndexOfChild(c) : -1;
        if (index >= 0)
            parent->PlaceFloatChild(index);
        else
            c->SetBounds(c->GetBounds());
        if (c->IsLayoutPending())
            break;
    }
}

void WindowCore::PaintRect(const RECTF& r)
{
    uint32_t clip = seams::PushClip(m_renderTarget, r);
    if (m_owner)
        m_owner->OnBeforePaint();
    if (m_root)
        m_root->Paint(r, true);
    std::vector<Control*> overlays = m_overlays;
    for (Control* c : overlays)
        c->PaintOverlay(r);
    if (m_owner)
        m_owner->OnAfterPaint();
    seams::PopClip(m_renderTarget, clip);
}

bool WindowCore::TickTimeLines()
{
    LifeWatch watch(*this);
    m_timeLines.TickAll();
    return !watch.Unbound();
}

void WindowCore::RunIdleStep()
{
    // A frame never starts inside another (a message pumped while painting).
    if (m_painting)
        return;
    if (!TickTimeLines())
        return;
    if (m_dirty.empty() || !m_root)
        return;
    // Laying out marks the moved controls dirty: merged after it, an area
    // already covered is painted once.
    Relayout();
    if (m_dirty.size() >= 2)
        m_dirty = MergeDirtyRects(m_dirty);
    if (m_layered && m_dirty.size() >= 2) {
        RECTF one = BoundingFromOrigin(m_dirty, nullptr);
        m_dirty.assign(1, one);
    }
    seams::BeginDraw(m_renderTarget, m_dirty);
    m_painting = true;
    std::vector<RECTF> rects = m_dirty;
    for (const RECTF& r : rects)
        PaintRect(r);
    if (!m_lateDirty.empty()) {
        if (m_lateDirty.size() >= 2)
            m_lateDirty = MergeDirtyRects(m_lateDirty);
        seams::ClearRects(m_renderTarget, m_lateDirty);
        std::vector<RECTF> late = m_lateDirty;
        for (const RECTF& r : late)
            PaintRect(r);
    }
    m_painting = false;
    RECT present{0, 0, 0, 0};
    if (m_layered) {
        RECTF b = BoundingFromOrigin(m_dirty, &m_lateDirty);
        present = RECT{static_cast<LONG>(b.left), static_cast<LONG>(b.top), static_cast<LONG>(b.right),
                       static_cast<LONG>(b.bottom)};
    }
    seams::EndDraw(m_renderTarget, m_layered, present);
    m_dirty.clear();
    m_lateDirty.clear();
    m_wholeWindowDirty = false;
}

void WindowCore::ClearAndPresent(const RECTF& r)
{
    if (!m_renderTarget)
        return;
    seams::BeginDraw(m_renderTarget, std::vector<RECTF>(1, r));
    RECT ir{static_cast<LONG>(r.left), static_cast<LONG>(r.top), static_cast<LONG>(r.right),
            static_cast<LONG>(r.bottom)};
    seams::EndDraw(m_renderTarget, m_layered, ir);
}

void WindowCore::ReloadImagesOfAllWindows()
{
    std::vector<WindowCore*> cores = UiGlobals().translateCores;
    for (WindowCore* c : cores) {
        if (c)
            c->ReloadImages();
    }
}

} // namespace ui
