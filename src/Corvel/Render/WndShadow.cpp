#include "Corvel/Render/WndShadow.h"
#include "Corvel/Render/DibInfo.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "Corvel/Core/UiGlobals.h"

namespace {

const wchar_t kShadowClass[] = L"HarrelShadowWnd";

// Parent window -> its shadow, for the shared subclass procedure.
std::map<HWND, CWndShadow*>& ShadowMap()
{
    static std::map<HWND, CWndShadow*> map;
    return map;
}

// Scaled values are stored as signed bytes; saturate instead of wrapping
// into the opposite sign at large DPI factors.
int8_t ScaleToByte(int v, float scale)
{
    const double scaled = std::trunc(static_cast<double>(v) * scale);
    return static_cast<int8_t>(std::max(-128.0, std::min(127.0, scaled)));
}

struct Span {
    int start;
    int end;
};

// Parents whose shadow went away while another subclass sat on top of ours:
// our procedure stays in their chain and must keep forwarding to the
// procedure it replaced.
std::map<HWND, WNDPROC>& ForwardMap()
{
    static std::map<HWND, WNDPROC> map;
    return map;
}

} // namespace

CWndShadow::CWndShadow()
    : m_hwnd(nullptr),
      m_parentProc(nullptr),
      m_status(0),
      m_darkness(100),
      m_sharpness(8),
      m_scaledSize(0),
      m_size(0),
      m_scaledX(5),
      m_scaledY(5),
      m_x(5),
      m_y(5),
      m_lastWidth(0),
      m_lastHeight(0),
      m_updatePending(false),
      m_color(RGB(0x50, 0x50, 0x50)),
      m_scale(1.0f),
      m_cornerWidth(0),
      m_cornerHeight(0),
      m_parent(nullptr)
{
}

CWndShadow::~CWndShadow()
{
    Unsubclass();
    if (m_hwnd && IsWindow(m_hwnd))
        DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
}

void CWndShadow::Unsubclass(bool parentDying)
{
    if (!m_parent)
        return;
    auto& map = ShadowMap();
    auto it = map.find(m_parent);
    if (it != map.end() && it->second == this)
        map.erase(it);
    // Only put the old procedure back while ours is still installed; a later
    // subclass on top of us keeps calling through our procedure, which then
    // passes everything on unchanged.
    if (!parentDying && IsWindow(m_parent)) {
        if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(m_parent, GWLP_WNDPROC)) == &CWndShadow::ParentProc)
            SetWindowLongPtrW(m_parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_parentProc));
        else
            ForwardMap()[m_parent] = m_parentProc;
    }
    m_parent = nullptr;
}

HWND CWndShadow::Owner() const
{
    return m_hwnd ? GetWindow(m_hwnd, GW_OWNER) : nullptr;
}

// After a setting changed: a shown shadow is rendered again at once.
void CWndShadow::UpdateIfVisible()
{
    if (m_status & kVisible)
        Update(Owner());
}

bool CWndShadow::Create(HWND parent, float scale)
{
    if (m_hwnd || m_parent || !parent || !IsWindow(parent))
        return false;
    if (ShadowMap().count(parent))
        return false;
    m_scale = scale;
    Rescale();
    m_hwnd = CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT, kShadowClass, nullptr, WS_POPUPWINDOW, CW_USEDEFAULT,
                             0, 0, 0, parent, nullptr, ui::UiGlobals().hInstance, nullptr);
    if (!m_hwnd)
        return false;
    ShadowMap()[parent] = this;

    m_status = kEnabled;
    const LONG_PTR style = GetWindowLongPtrW(parent, GWL_STYLE);
    if (style & WS_VISIBLE) {
        m_status |= kParentVisible;
        if (!(style & (WS_MAXIMIZE | WS_MINIMIZE)))
            m_status |= kVisible;
    }
    ShowWindow(m_hwnd, (m_status & kVisible) ? SW_SHOWNA : SW_HIDE);

    auto& forward = ForwardMap();
    auto fw = forward.find(parent);
    if (fw != forward.end()) {
        // Our procedure still sits in the parent's chain from an earlier
        // shadow: take it over rather than putting a second copy on top.
        m_parentProc = fw->second;
        forward.erase(fw);
    } else {
        m_parentProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWndShadow::ParentProc)));
    }
    m_parent = parent;
    return true;
}

void CWndShadow::Rescale()
{
    m_scaledSize = ScaleToByte(m_size, m_scale);
    m_scaledX = ScaleToByte(m_x, m_scale);
    m_scaledY = ScaleToByte(m_y, m_scale);
}

bool CWndShadow::SetSize(int8_t size)
{
    if (!m_hwnd)
        return false;
    m_size = size;
    m_scaledSize = ScaleToByte(size, m_scale);
    UpdateIfVisible();
    return true;
}

bool CWndShadow::SetSharpness(int sharpness)
{
    if (!m_hwnd || sharpness < 0 || sharpness > 20)
        return false;
    m_sharpness = static_cast<uint8_t>(sharpness);
    UpdateIfVisible();
    return true;
}

bool CWndShadow::SetDarkness(int darkness)
{
    if (!m_hwnd || darkness < 0 || darkness > 255)
        return false;
    m_darkness = static_cast<uint8_t>(darkness);
    UpdateIfVisible();
    return true;
}

bool CWndShadow::SetPosition(int8_t x, int8_t y)
{
    if (!m_hwnd)
        return false;
    m_x = x;
    m_y = y;
    m_scaledX = ScaleToByte(x, m_scale);
    m_scaledY = ScaleToByte(y, m_scale);
    UpdateIfVisible();
    return true;
}

bool CWndShadow::SetColor(COLORREF color)
{
    if (!m_hwnd)
        return false;
    m_color = color;
    UpdateIfVisible();
    return true;
}

bool CWndShadow::SetScale(float scale)
{
    if (!m_hwnd)
        return false;
    if (scale == m_scale)
        return true;
    m_scale = scale;
    Rescale();
    UpdateIfVisible();
    return true;
}

bool CWndShadow::SetCorner(int width, int height)
{
    if (!m_hwnd)
        return false;
    m_cornerWidth = width;
    m_cornerHeight = height;
    UpdateIfVisible();
    return true;
}

void CWndShadow::Show(HWND parent, bool force)
{
    m_status &= static_cast<uint8_t>(~(kVisible | kParentVisible));
    if ((m_status & kEnabled) && parent) {
        const LONG_PTR style = GetWindowLongPtrW(parent, GWL_STYLE);
        if ((style & WS_VISIBLE) || force) {
            m_status |= kParentVisible;
            if (!(style & (WS_MAXIMIZE | WS_MINIMIZE)))
                m_status |= kVisible;
        }
    }
    if (m_hwnd)
        ShowWindow(m_hwnd, (m_status & kVisible) ? SW_SHOWNA : SW_HIDE);
}

void CWndShadow::Move(HWND parent)
{
    if (!m_hwnd || !parent)
        return;
    RECT r{};
    GetWindowRect(parent, &r);
    SetWindowPos(m_hwnd, nullptr, r.left + m_scaledX - m_scaledSize, r.top + m_scaledY - m_scaledSize, 0, 0,
                 SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOSIZE);
}

void CWndShadow::Update(HWND parent)
{
    if (!m_hwnd || !parent)
        return;
    RECT r{};
    GetWindowRect(parent, &r);
    const int s = m_scaledSize;
    const int w = (r.right - r.left) + 2 * s;
    const int h = (r.bottom - r.top) + 2 * s;
    if (w <= 0 || h <= 0)
        return;

    BITMAPINFO bi = ui::Dib32Info(w, h);  // bottom-up
    bi.bmiHeader.biSizeImage = static_cast<DWORD>(w) * h * 4;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (!dib || !bits || !mem) {
        if (dib)
            DeleteObject(dib);
        if (mem)
            DeleteDC(mem);
        return;
    }
    ZeroMemory(bits, static_cast<size_t>(w) * h * 4);
    MakeShadow(static_cast<uint32_t*>(bits), parent, r);

    const int x = r.left + m_scaledX - s;
    const int y = r.top + m_scaledY - s;
    MoveWindow(m_hwnd, x, y, w, h, FALSE);
    HGDIOBJ old = SelectObject(mem, dib);
    POINT dst{x, y};
    SIZE size{w, h};
    POINT src{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    if (UpdateLayeredWindow(m_hwnd, nullptr, &dst, &size, mem, &src, 0, &blend, ULW_ALPHA))
        ++m_renders;
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
}

void CWndShadow::BuildKernel(int size, int sharpness, int darkness, COLORREF color, int& radius, uint32_t* out)
{
    const int k = std::max(size, sharpness);
    radius = k;
    if (!out)
        return;
    const int centre = size > sharpness ? size - sharpness : 0;
    const int side = 2 * k + 1;
    const uint32_t red = GetRValue(color), green = GetGValue(color), blue = GetBValue(color);
    for (int gy = 0; gy < side; ++gy) {
        for (int gx = 0; gx < side; ++gx) {
            const double dx = gx - k, dy = gy - k;
            const double r = std::sqrt(dx * dx + dy * dy);
            uint32_t a = 0;
            if (r < centre)
                a = static_cast<uint32_t>(darkness);
            else if (r <= k)
                a = static_cast<uint32_t>(std::max(0.0, (1.0 - (r - centre) / (sharpness + 1)) * darkness));
            out[gy * side + gx] = (a << 24) | ((red * a / 255) << 16) | ((green * a / 255) << 8) | (blue * a / 255);
        }
    }
}

void CWndShadow::MakeShadow(uint32_t* bits, HWND parent, const RECT& parentRect) const
{
    const int pw = parentRect.right - parentRect.left;
    const int ph = parentRect.bottom - parentRect.top;
    const int s = m_scaledSize;
    const int sh = m_sharpness;
    const int d = m_darkness;
    const int dx = m_scaledX;
    const int dy = m_scaledY;
    const int W = pw + 2 * s;
    const int H = ph + 2 * s;
    if (W <= 0 || H <= 0 || pw <= 0 || ph <= 0 || !bits)
        return;

    // 1. The parent's outline: its window region, or a rounded rectangle.
    HRGN region = (m_cornerWidth > 0 || m_cornerHeight > 0)
                      ? CreateRoundRectRgn(0, 0, pw, ph, m_cornerWidth, m_cornerHeight)
                      : CreateRectRgn(0, 0, pw, ph);
    if (parent && region) {
        const int kind = GetWindowRgn(parent, region);
        if (kind == ERROR || kind == NULLREGION) {
            DeleteObject(region);
            region = (m_cornerWidth > 0 || m_cornerHeight > 0)
                         ? CreateRoundRectRgn(0, 0, pw, ph, m_cornerWidth, m_cornerHeight)
                         : CreateRectRgn(0, 0, pw, ph);
        }
    }

    // 2-3. Row spans of the outline, in shadow columns, and the parent's own.
    const int n = std::max(ph, H);
    std::vector<Span> spans(static_cast<size_t>(n) + 2, Span{pw, 0});
    std::vector<Span> parentSpans(static_cast<size_t>(ph), Span{pw, 0});
    const int firstSpan = s > 0 ? s + 1 : 1;
    for (int y = 0; y < ph; ++y) {
        int x0 = 0;
        while (x0 < pw && !(region && PtInRegion(region, x0, y)))
            ++x0;
        if (x0 >= pw)
            continue;
        int x1 = pw - 1;
        while (x1 > x0 && !PtInRegion(region, x1, y))
            --x1;
        const size_t j = static_cast<size_t>(firstSpan + y);
        if (j < spans.size() - 1)
            spans[j] = Span{x0 + s, x1 + 1 + s};
        parentSpans[static_cast<size_t>(y)] = Span{x0, x1 + 1};
    }
    if (region)
        DeleteObject(region);

    // 4. Erode the outline by what the sharpness takes beyond the size.
    if (s < sh) {
        std::vector<Span> next(spans.size());
        for (int it = 0; it < sh - s; ++it) {
            next.front() = spans.front();
            next.back() = spans.back();
            for (int j = 1; j <= n; ++j) {
                next[j].start = std::max({spans[j - 1].start, spans[j].start, spans[j + 1].start}) + 1;
                next[j].end = std::min({spans[j - 1].end, spans[j].end, spans[j + 1].end}) - 1;
            }
            spans.swap(next);
        }
    }

    // 5. Span of shadow row i.
    const int shift = 1 + (s < 0 ? -s : 0);
    auto row = [&](int i) -> Span {
        const int j = i + shift;
        if (j < 0 || j >= static_cast<int>(spans.size()))
            return Span{pw, 0};
        return spans[static_cast<size_t>(j)];
    };

    // 6. Kernel.
    int k = 0;
    BuildKernel(s, sh, d, m_color, k, nullptr);
    const int side = 2 * k + 1;
    std::vector<uint32_t> kernel(static_cast<size_t>(side) * side);
    BuildKernel(s, sh, d, m_color, k, kernel.data());
    const uint32_t solid = (static_cast<uint32_t>(d) << 24) | ((GetRValue(m_color) * d / 255u) << 16) |
                           ((GetGValue(m_color) * d / 255u) << 8) | (GetBValue(m_color) * d / 255u);

    // Pixel (x, y) in image coordinates of the bottom-up DIB.
    auto px = [&](int x, int y) -> uint32_t& { return bits[static_cast<size_t>(H - 1 - y) * W + x]; };
    auto stamp = [&](int cx, int cy) {
        for (int gy = 0; gy < side; ++gy) {
            const int y = cy - k + gy;
            if (y < 0 || y >= H)
                continue;
            for (int gx = 0; gx < side; ++gx) {
                const int x = cx - k + gx;
                if (x < 0 || x >= W)
                    continue;
                uint32_t& p = px(x, y);
                p = std::max(p, kernel[static_cast<size_t>(gy) * side + gx]);
            }
        }
    };

    // 7. Blurred border along the outline's left and right runs.
    for (int i = k; i <= H - k - 1; ++i) {
        const Span sp = row(i);
        if (sp.start >= sp.end)
            continue;
        const Span up = row(i - 1), down = row(i + 1);
        const int stop = std::min(std::max(up.start, down.start) + 1, sp.end);
        for (int x = sp.start; x < stop; ++x)
            stamp(x, i);
        for (int x = std::max(stop, std::min(up.end, down.end) - 1); x < sp.end; ++x)
            stamp(x, i);
    }

    // 8. Solid inside, cut out under the parent.
    const int rowFrom = std::min(k, std::max(s - dy, 0));
    const int rowTo = std::max(H - k, std::min(ph + s - dy, ph + 2 * s));
    for (int i = std::max(rowFrom, 0); i < std::min(rowTo, H); ++i) {
        const Span sp = row(i);
        const int start = std::max(sp.start, 0);
        const int end = std::min(sp.end, W);
        const int p = i - s + dy;
        if (p < 0 || p >= ph) {
            for (int x = start; x < end; ++x)
                px(x, i) = solid;
            continue;
        }
        const Span parentSpan = parentSpans[static_cast<size_t>(p)];
        const int a = parentSpan.start + s - dx;
        const int b = parentSpan.end + s - dx;
        for (int x = start; x < std::min(a, end); ++x)
            px(x, i) = solid;
        for (int x = std::max(a, 0); x < std::min(b, W); ++x)
            px(x, i) = 0;
        for (int x = std::max(b, start); x < end; ++x)
            px(x, i) = solid;
    }
}

LRESULT CALLBACK CWndShadow::ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    auto& map = ShadowMap();
    auto it = map.find(hwnd);
    if (it != map.end())
        return it->second->HandleParentMessage(hwnd, msg, wp, lp);
    auto& forward = ForwardMap();
    auto fw = forward.find(hwnd);
    if (fw == forward.end())
        return DefWindowProcW(hwnd, msg, wp, lp);
    const WNDPROC next = fw->second;
    if (msg == WM_NCDESTROY)
        forward.erase(fw);
    return next ? CallWindowProcW(next, hwnd, msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CWndShadow::HandleParentMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    const WNDPROC next = m_parentProc;
    switch (msg) {
    case WM_DESTROY:
        // Owned windows may already be gone by now.
        if (m_hwnd && IsWindow(m_hwnd))
            DestroyWindow(m_hwnd);
        m_hwnd = nullptr;
        m_status = 0;
        break;
    case WM_MOVE:
        if (m_status & kVisible)
            Move(hwnd);
        break;
    case WM_SIZE:
        if (m_status & kEnabled) {
            const uint16_t width = LOWORD(lp);
            const uint16_t height = HIWORD(lp);
            if (wp == SIZE_MINIMIZED || wp == SIZE_MAXIMIZED) {
                ShowWindow(m_hwnd, SW_HIDE);
                m_status &= static_cast<uint8_t>(~kVisible);
            } else if (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_VISIBLE) {
                m_status |= kParentVisible;
                if (m_status & kVisible) {
                    // Growing uncovers area the parent has not painted yet:
                    // render again once it has.
                    if (width > m_lastWidth || height > m_lastHeight)
                        m_updatePending = true;
                    Update(hwnd);
                } else {
                    m_status |= kVisible;
                    Update(hwnd);
                    ShowWindow(m_hwnd, SW_SHOWNA);
                    m_updatePending = true;
                }
            }
            m_lastWidth = width;
            m_lastHeight = height;
        }
        break;
    case WM_PAINT:
        if (m_updatePending) {
            Update(hwnd);
            m_updatePending = false;
        }
        break;
    case WM_SHOWWINDOW:
        if (m_status & kEnabled) {
            const LRESULT result = CallWindowProcW(next, hwnd, msg, wp, lp);
            if (wp) {
                m_updatePending = true;
                Show(hwnd, true);
            } else {
                ShowWindow(m_hwnd, SW_HIDE);
                m_status &= static_cast<uint8_t>(~(kVisible | kParentVisible));
            }
            return result;
        }
        break;
    case WM_NCDESTROY:
        Unsubclass(true);
        break;
    case WM_EXITSIZEMOVE:
        if (m_status & kVisible)
            Update(hwnd);
        break;
    case WM_DPICHANGED:
        if (m_hwnd)
            ShowWindow(m_hwnd, SW_HIDE);
        break;
    case WM_DWMCOMPOSITIONCHANGED:
        m_status &= static_cast<uint8_t>(~kDisabledByComposition);
        Show(hwnd, false);
        break;
    default:
        break;
    }
    return next ? CallWindowProcW(next, hwnd, msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}
