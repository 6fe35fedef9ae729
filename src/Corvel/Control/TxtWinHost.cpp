#include "Corvel/Control/TxtWinHost.h"

#include <cwchar>

#include "Corvel/Control/Edit.h"
#include "Corvel/Control/ScrollBar.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/FontManager.h"

namespace ui {

namespace {

// {C5BDD8D0-D26E-11CE-A89E-00AA006CADC5}
constexpr IID kIidTextHost = {0xC5BDD8D0, 0xD26E, 0x11CE, {0xA8, 0x9E, 0x00, 0xAA, 0x00, 0x6C, 0xAD, 0xC5}};

// Character format fields the host fills (CFM_ masks of size, offset,
// effects, colour, face, charset and the bold/italic/underline/strike bits).
constexpr DWORD kCharFormatMask = 0xF820000F;
// Paragraph format fields the host fills: alignment, tabs, indents, and the
// other PARAFORMAT fields.
constexpr DWORD kParaFormatMask = 0x8001003F;
// One default tab stop, half an inch in twips.
constexpr LONG kDefaultTabTwips = 720;
constexpr LONG kTwipsPerInch = 1440;
constexpr int kHimetricPerInch = 2540;
constexpr LONG kDefaultMaxLength = 0x7FFF;
constexpr int kBoldWeight = 700;
constexpr int kDefaultDpi = 96;
// The scroll-bar related style bits the services may see: WS_VSCROLL,
// WS_HSCROLL, ES_AUTOVSCROLL, ES_AUTOHSCROLL, ES_DISABLENOSCROLL.
constexpr DWORD kScrollStyleMask = 0x003020C0;
// EN_REQUESTRESIZE: the services ask for a bottomless box's new size.
constexpr DWORD kRequestResize = 0x0701;
// TXTBIT_D2DDWRITE: the services draw with Direct2D and DirectWrite.
constexpr DWORD kBitDirect2D = 0x1000000;

COLORREF ArgbToColorRef(uint32_t argb)
{
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

using CreateTextServicesFn = HRESULT(WINAPI*)(IUnknown*, ITextHost*, IUnknown**);

} // namespace

CTxtWinHost::CTxtWinHost() : m_dpi(kDefaultDpi), m_maxLength(kDefaultMaxLength), m_acceleratorPos(-1) {}

CTxtWinHost::~CTxtWinHost()
{
    if (m_services) {
        m_services->OnTxInPlaceDeactivate();
        m_services->Release();
    }
}

// ------------------------------------------------------------- set-up

bool CTxtWinHost::Init(Edit* edit, const TextHostCreateInfo* info, uint32_t textColor)
{
    m_owner = edit;
    m_refs = 1;
    InitCharFormat(textColor);
    InitParaFormat();
    ApplyCreateInfo(info);
    return CreateServices(info);
}

HDC CTxtWinHost::OwnerDC() const
{
    WindowCore* core = m_owner ? m_owner->GetCore() : nullptr;
    return core ? core->GetWindowDC() : nullptr;
}

void CTxtWinHost::InitCharFormat(uint32_t textColor)
{
    m_charFormat = CHARFORMAT2W{};
    m_charFormat.cbSize = sizeof(CHARFORMAT2W);
    m_charFormat.dwMask = kCharFormatMask;
    m_charFormat.crTextColor = ArgbToColorRef(textColor);
    WindowCore* core = m_owner->GetCore();
    tagTFontInfo* font = core ? core->GetFont(m_owner->GetFontId()) : nullptr;
    LOGFONTW lf{};
    if (!font || !font->hFont || !GetObjectW(font->hFont, sizeof(lf), &lf))
        return;
    Edit::FillCharFormatFromFont(m_charFormat, lf, OwnerDC());
}

void CTxtWinHost::InitParaFormat()
{
    m_paraFormat = PARAFORMAT2{};
    m_paraFormat.cbSize = sizeof(PARAFORMAT2);
    m_paraFormat.dwMask = kParaFormatMask;
    m_paraFormat.wAlignment = PFA_LEFT;
    m_paraFormat.cTabCount = 1;
    m_paraFormat.rgxTabs[0] = kDefaultTabTwips;
}

void CTxtWinHost::ApplyCreateInfo(const TextHostCreateInfo* info)
{
    m_style = ES_MULTILINE;
    SetFlag(kHostRichText, m_owner->IsRichFlagSet());
    // "maxchar" below 1 asks for no limit of its own: the default one.
    m_maxLength = m_owner->GetLimit() < 1 ? kDefaultMaxLength : m_owner->GetLimit();
    if (info) {
        m_style = info->style;
        if (!(m_style & (ES_AUTOHSCROLL | WS_HSCROLL)))
            m_flags |= kHostWordWrap;
        if (m_style & ES_CENTER)
            m_paraFormat.wAlignment = PFA_CENTER;
        else if (m_style & ES_RIGHT)
            m_paraFormat.wAlignment = PFA_RIGHT;
    }
    m_flags |= kHostInPlaceActive;
    // The edit box draws its own background: the services are told so again
    // once made, but Wine's read the back style only while they are created
    // (and would fill the text area over the box's border).
    m_flags |= kHostTransparent;
}

bool CTxtWinHost::CreateServices(const TextHostCreateInfo* info)
{
    // From the system folder only: a msftedit.dll planted beside the program
    // must not be loaded. The library stays loaded for the process.
    HMODULE lib = LoadLibraryExW(L"msftedit.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!lib)
        return false;
    auto create = reinterpret_cast<CreateTextServicesFn>(
        reinterpret_cast<void*>(GetProcAddress(lib, "CreateTextServices")));
    if (!create)
        return false;
    // Wine's msftedit exports no IID_ITextServices2: there the services are
    // used through ITextServices and draw with GDI.
    const IID* iid = reinterpret_cast<const IID*>(
        reinterpret_cast<void*>(GetProcAddress(lib, "IID_ITextServices2")));
    if (iid && !m_owner->IsGdiOnly()) {
        m_direct2D = true;
        WindowCore* core = m_owner->GetCore();
        m_dpi = core && core->GetDpi() > 0 ? core->GetDpi() : kDefaultDpi;
    } else {
        iid = reinterpret_cast<const IID*>(reinterpret_cast<void*>(GetProcAddress(lib, "IID_ITextServices")));
        if (!iid)
            return false;
    }
    IUnknown* unknown = nullptr;
    if (FAILED(create(nullptr, this, &unknown)) || !unknown)
        return false;
    void* services = nullptr;
    const HRESULT hr = unknown->QueryInterface(*iid, &services);
    unknown->Release();
    if (FAILED(hr) || !services) {
        m_direct2D = false;
        return false;
    }
    m_services = static_cast<ITextServices*>(services);
    if (info && info->text)
        return SUCCEEDED(m_services->TxSetText(info->text));
    return true;
}

void CTxtWinHost::Shutdown()
{
    ITextServices* services = m_services;
    m_services = nullptr;
    if (services) {
        services->OnTxInPlaceDeactivate();
        services->Release();
    }
}

void CTxtWinHost::SetServicesForTesting(ITextServices* services)
{
    if (m_services)
        m_services->Release();
    m_services = services;
}

void CTxtWinHost::SetClientRect(const RECT* rect)
{
    if (!rect || rect->left >= rect->right || rect->top >= rect->bottom || EqualRect(rect, &m_client))
        return;
    m_client = *rect;
    HDC dc = OwnerDC();
    const int dpiX = dc ? GetDeviceCaps(dc, LOGPIXELSX) : kDefaultDpi;
    const int dpiY = dc ? GetDeviceCaps(dc, LOGPIXELSY) : kDefaultDpi;
    m_extent.cx = MulDiv(rect->right - rect->left, kHimetricPerInch, dpiX);
    m_extent.cy = MulDiv(rect->bottom - rect->top, kHimetricPerInch, dpiY);
    // The view-inset bit alone is not enough for Wine's services, which read
    // the client rectangle again only on the client-rectangle bit.
    constexpr DWORD kBits = TXTBIT_VIEWINSETCHANGE | TXTBIT_CLIENTRECTCHANGE;
    if (m_services)
        m_services->OnTxPropertyBitsChange(kBits, kBits);
}

// ------------------------------------------------------------- IUnknown

HRESULT CTxtWinHost::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kIidTextHost)) {
        *object = static_cast<ITextHost*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CTxtWinHost::AddRef() { return static_cast<ULONG>(++m_refs); }

ULONG CTxtWinHost::Release()
{
    const LONG left = --m_refs;
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

// ------------------------------------------------------------- ITextHost

HDC CTxtWinHost::TxGetDC() { return OwnerDC(); }

INT CTxtWinHost::TxReleaseDC(HDC) { return 1; }

WINBOOL CTxtWinHost::TxShowScrollBar(INT, WINBOOL) { return TRUE; }

WINBOOL CTxtWinHost::TxEnableScrollBar(INT bar, INT arrows)
{
    const bool enable = arrows != ESB_DISABLE_BOTH;
    bool changed = false;
    switch (bar) {
    case SB_HORZ:
        m_owner->EnableScrollBars(m_owner->GetVScrollBar() != nullptr, true);
        if (m_owner->GetHScrollBar() && m_owner->GetHScrollBar()->IsVisible() != enable) {
            m_owner->GetHScrollBar()->SetVisible(enable);
            changed = true;
        }
        break;
    case SB_VERT:
        m_owner->EnableScrollBars(true, m_owner->GetHScrollBar() != nullptr);
        if (m_owner->GetVScrollBar() && m_owner->GetVScrollBar()->IsVisible() != enable) {
            m_owner->GetVScrollBar()->SetVisible(enable);
            changed = true;
        }
        break;
    case SB_BOTH:
        m_owner->EnableScrollBars(true, true);
        if (m_owner->GetHScrollBar() && m_owner->GetVScrollBar() &&
            m_owner->GetHScrollBar()->IsVisible() != enable) {
            m_owner->GetHScrollBar()->SetVisible(enable);
            m_owner->GetVScrollBar()->SetVisible(enable);
            changed = true;
        }
        break;
    default: break;
    }
    WindowCore* core = m_owner->GetCore();
    if (changed && core) {
        // The bars took or gave back room: the text area follows later.
        Edit* owner = m_owner;
        core->PostUiTask(owner, [owner] { owner->LayoutTextArea(); });
    }
    return TRUE;
}

WINBOOL CTxtWinHost::TxSetScrollRange(INT bar, LONG minPos, INT maxPos, WINBOOL)
{
    ScrollBar* target = nullptr;
    LONG overflow = 0;
    if (bar == SB_VERT) {
        target = m_owner->GetVScrollBar();
        overflow = (maxPos - minPos) - (m_client.bottom - m_client.top);
    } else if (bar == SB_HORZ) {
        target = m_owner->GetHScrollBar();
        overflow = (maxPos - minPos) - (m_client.right - m_client.left);
    }
    if (!target)
        return TRUE;
    if (overflow > 0) {
        target->SetVisible(true);
        target->SetRange(static_cast<int>(overflow));
    } else {
        target->SetVisible(false);
    }
    return TRUE;
}

WINBOOL CTxtWinHost::TxSetScrollPos(INT bar, INT pos, WINBOOL)
{
    ScrollBar* target = bar == SB_VERT ? m_owner->GetVScrollBar()
                        : bar == SB_HORZ ? m_owner->GetHScrollBar()
                                         : nullptr;
    if (target)
        target->SetScrollOffset(static_cast<float>(pos), false);
    return TRUE;
}

void CTxtWinHost::TxInvalidateRect(LPCRECT rect, WINBOOL)
{
    WindowCore* core = m_owner->GetCore();
    if (!core)
        return;
    const RECT& r = rect ? *rect : m_client;
    core->MarkDirty(RECTF{static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right),
                          static_cast<float>(r.bottom)});
}

void CTxtWinHost::TxViewChange(WINBOOL)
{
    if (m_owner->WantsViewRepaint())
        m_owner->Repaint();
}

WINBOOL CTxtWinHost::TxCreateCaret(HBITMAP, INT width, INT height)
{
    m_owner->SetCaretSize(width, height);
    return TRUE;
}

WINBOOL CTxtWinHost::TxShowCaret(WINBOOL) { return TRUE; }

WINBOOL CTxtWinHost::TxSetCaretPos(INT x, INT y)
{
    m_owner->SetCaretPos(x, y);
    return TRUE;
}

WINBOOL CTxtWinHost::TxSetTimer(UINT id, UINT timeout)
{
    m_flags |= kHostTimerRunning;
    WindowCore* core = m_owner->GetCore();
    return core && core->StartControlTimer(m_owner, static_cast<int>(id), timeout);
}

void CTxtWinHost::TxKillTimer(UINT id)
{
    if (WindowCore* core = m_owner->GetCore())
        core->StopControlTimer(m_owner, static_cast<int>(id));
    m_flags &= ~kHostTimerRunning;
}

void CTxtWinHost::TxScrollWindowEx(INT, INT, LPCRECT, LPCRECT, HRGN, LPRECT, UINT) {}

void CTxtWinHost::TxSetCapture(WINBOOL capture)
{
    if (WindowCore* core = m_owner->GetCore())
        core->SetMouseCapture(capture != FALSE);
    SetFlag(kHostCaptureHeld, capture != FALSE);
}

void CTxtWinHost::TxSetFocus() { m_owner->SetFocused(true); }

void CTxtWinHost::TxSetCursor(HCURSOR, WINBOOL)
{
    // The edit box always shows the text cursor, also where the services
    // would show an arrow (selection bar, links).
    SetCursor(LoadCursorW(nullptr, IDC_IBEAM));
}

WINBOOL CTxtWinHost::TxScreenToClient(LPPOINT pt)
{
    WindowCore* core = m_owner->GetCore();
    return core && ScreenToClient(core->GetWindow(), pt);
}

WINBOOL CTxtWinHost::TxClientToScreen(LPPOINT pt)
{
    WindowCore* core = m_owner->GetCore();
    return core && ClientToScreen(core->GetWindow(), pt);
}

HRESULT CTxtWinHost::TxActivate(LONG*) { return S_OK; }

HRESULT CTxtWinHost::TxDeactivate(LONG) { return S_OK; }

HRESULT CTxtWinHost::TxGetClientRect(LPRECT rect)
{
    *rect = m_client;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetViewInset(LPRECT rect)
{
    SetRectEmpty(rect);
    return S_OK;
}

HRESULT CTxtWinHost::TxGetCharFormat(const CHARFORMATW** format)
{
    *format = reinterpret_cast<const CHARFORMATW*>(&m_charFormat);
    return S_OK;
}

HRESULT CTxtWinHost::TxGetParaFormat(const PARAFORMAT** format)
{
    *format = reinterpret_cast<const PARAFORMAT*>(&m_paraFormat);
    return S_OK;
}

COLORREF CTxtWinHost::TxGetSysColor(int index) { return GetSysColor(index); }

HRESULT CTxtWinHost::TxGetBackStyle(TXTBACKSTYLE* style)
{
    *style = (m_flags & kHostTransparent) ? TXTBACK_TRANSPARENT : TXTBACK_OPAQUE;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetMaxLength(DWORD* length)
{
    *length = static_cast<DWORD>(m_maxLength);
    return S_OK;
}

HRESULT CTxtWinHost::TxGetScrollBars(DWORD* bars)
{
    *bars = m_style & kScrollStyleMask;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetPasswordChar(TCHAR* ch)
{
    if (m_passwordChar == 0)
        m_passwordChar = kPasswordBullet;
    *ch = m_passwordChar;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetAcceleratorPos(LONG* cp)
{
    *cp = m_acceleratorPos;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetExtent(LPSIZEL extent)
{
    *extent = m_extent;
    return S_OK;
}

HRESULT CTxtWinHost::OnTxCharFormatChange(const CHARFORMATW*) { return S_OK; }

HRESULT CTxtWinHost::OnTxParaFormatChange(const PARAFORMAT*) { return S_OK; }

DWORD CTxtWinHost::ComputePropertyBits() const
{
    DWORD bits = 0;
    if (m_flags & kHostRichText)
        bits |= TXTBIT_RICHTEXT;
    if (m_style & ES_MULTILINE)
        bits |= TXTBIT_MULTILINE;
    if (m_style & ES_READONLY)
        bits |= TXTBIT_READONLY;
    if (m_style & ES_PASSWORD)
        bits |= TXTBIT_USEPASSWORD;
    if (!(m_style & ES_NOHIDESEL))
        bits |= TXTBIT_HIDESELECTION;
    if (m_flags & kHostSaveSelection)
        bits |= TXTBIT_SAVESELECTION;
    if (m_flags & kHostAutoWordSelect)
        bits |= TXTBIT_AUTOWORDSEL;
    if (m_flags & kHostWordWrap)
        bits |= TXTBIT_WORDWRAP;
    if (m_flags & kHostAllowBeep)
        bits |= TXTBIT_ALLOWBEEP;
    if (m_direct2D)
        bits |= kBitDirect2D;
    return bits;
}

HRESULT CTxtWinHost::TxGetPropertyBits(DWORD mask, DWORD* bits)
{
    *bits = ComputePropertyBits() & mask;
    return S_OK;
}

HRESULT CTxtWinHost::TxNotify(DWORD code, void* data)
{
    if (code == kRequestResize) {
        if (!data)
            return S_OK;
        const REQRESIZE* request = static_cast<const REQRESIZE*>(data);
        RECT r{m_client.left, m_client.top, m_client.left + request->rc.right, m_client.top + request->rc.bottom};
        SetClientRect(&r);
        return S_OK;
    }
    m_owner->OnTextNotify(code, data);
    return S_OK;
}

HIMC CTxtWinHost::TxImmGetContext() { return nullptr; }

void CTxtWinHost::TxImmReleaseContext(HIMC) {}

HRESULT CTxtWinHost::TxGetSelectionBarWidth(LONG* width)
{
    *width = m_selBarWidth;
    return S_OK;
}

} // namespace ui
