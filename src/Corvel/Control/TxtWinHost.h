// The host of the windowless rich-edit text services (msftedit.dll) for one
// edit box. The text services keep text, selection, undo and layout and ask
// their host for what a window would give them; this host answers from the
// edit box and its window core. Reference counted like a COM object: Init
// leaves one reference, which the edit box holds. UI thread only.
#pragma once

#include <windows.h>
#include <richedit.h>
#include <textserv.h>
#include <d2d1.h>

#include <cstdint>

namespace ui {

class Edit;

// The Direct2D-capable text services (Windows 8 and later). Declared here
// because the platform headers of the cross compiler lack it; the slots
// follow ITextServices'.
class ITextServices2 : public ITextServices {
public:
    virtual HRESULT TxGetNaturalSize2(DWORD aspect, HDC draw, HDC targetDev, DVTARGETDEVICE* td, DWORD mode,
                                      const SIZEL* extent, LONG* width, LONG* height, LONG* ascent) = 0;
    virtual HRESULT TxDrawD2D(ID2D1RenderTarget* target, LPCRECTL bounds, LPRECT update, LONG viewId) = 0;
};

// Bits of the host flags.
enum TextHostFlags : uint32_t {
    kHostAutoWordSelect = 0x01,
    kHostWordWrap = 0x02,
    kHostAllowBeep = 0x04,
    kHostRichText = 0x08,
    kHostSaveSelection = 0x10,
    kHostInPlaceActive = 0x20,
    kHostTransparent = 0x40,
    kHostTimerRunning = 0x80,
    kHostCaptureHeld = 0x100,
};

// The create info Init reads: the edit box's style word and its text.
struct TextHostCreateInfo {
    DWORD style = 0;
    const wchar_t* text = nullptr; // may be null
};

class CTxtWinHost : public ITextHost {
public:
    CTxtWinHost();

    // Binds the host to `edit` (borrowed; it outlives the host's use) and
    // creates the text services from the system folder's msftedit.dll.
    // `info` may be null (a multi-line box without text). textColor is
    // 0xAARRGGBB. False when the library, its exports or the services are
    // missing, or the text could not be set; the caller then releases the
    // host.
    bool Init(Edit* edit, const TextHostCreateInfo* info, uint32_t textColor);
    // Stores a new client rectangle (window client pixels) and tells the
    // services; null, empty and unchanged rectangles are ignored.
    void SetClientRect(const RECT* rect);

    // Deactivates and releases the services and forgets the edit box: the
    // services may hold a reference on the host (Wine's do), which they give
    // back here. Called by the edit box before its own Release.
    void Shutdown();
    // Borrowed; null before a successful Init. In Direct2D mode it is an
    // ITextServices2.
    ITextServices* Services() const { return m_services; }
    bool IsDirect2D() const { return m_direct2D; }
    int GetDpi() const { return m_dpi; }
    uint32_t Flags() const { return m_flags; }
    void SetFlag(uint32_t flag, bool on) { m_flags = on ? (m_flags | flag) : (m_flags & ~flag); }
    const RECT& ClientRect() const { return m_client; }
    SIZEL Extent() const { return m_extent; }
    CHARFORMAT2W& CharFormat() { return m_charFormat; }
    const PARAFORMAT2& ParaFormat() const { return m_paraFormat; }
    DWORD Style() const { return m_style; }
    LONG GetMaxLength() const { return m_maxLength; }
    void SetMaxLength(LONG length) { m_maxLength = length; }
    // Replaces the services (the host takes the reference passed) so tests
    // can watch what the host and the edit box send them.
    void SetServicesForTesting(ITextServices* services);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ITextHost
    HDC TxGetDC() override;
    INT TxReleaseDC(HDC hdc) override;
    WINBOOL TxShowScrollBar(INT bar, WINBOOL show) override;
    WINBOOL TxEnableScrollBar(INT bar, INT arrows) override;
    WINBOOL TxSetScrollRange(INT bar, LONG minPos, INT maxPos, WINBOOL redraw) override;
    WINBOOL TxSetScrollPos(INT bar, INT pos, WINBOOL redraw) override;
    void TxInvalidateRect(LPCRECT rect, WINBOOL mode) override;
    void TxViewChange(WINBOOL update) override;
    WINBOOL TxCreateCaret(HBITMAP bitmap, INT width, INT height) override;
    WINBOOL TxShowCaret(WINBOOL show) override;
    WINBOOL TxSetCaretPos(INT x, INT y) override;
    WINBOOL TxSetTimer(UINT id, UINT timeout) override;
    void TxKillTimer(UINT id) override;
    void TxScrollWindowEx(INT dx, INT dy, LPCRECT scroll, LPCRECT clip, HRGN update, LPRECT updateRect,
                          UINT flags) override;
    void TxSetCapture(WINBOOL capture) override;
    void TxSetFocus() override;
    void TxSetCursor(HCURSOR cursor, WINBOOL text) override;
    WINBOOL TxScreenToClient(LPPOINT pt) override;
    WINBOOL TxClientToScreen(LPPOINT pt) override;
    HRESULT TxActivate(LONG* oldState) override;
    HRESULT TxDeactivate(LONG newState) override;
    HRESULT TxGetClientRect(LPRECT rect) override;
    HRESULT TxGetViewInset(LPRECT rect) override;
    HRESULT TxGetCharFormat(const CHARFORMATW** format) override;
    HRESULT TxGetParaFormat(const PARAFORMAT** format) override;
    COLORREF TxGetSysColor(int index) override;
    HRESULT TxGetBackStyle(TXTBACKSTYLE* style) override;
    HRESULT TxGetMaxLength(DWORD* length) override;
    HRESULT TxGetScrollBars(DWORD* bars) override;
    HRESULT TxGetPasswordChar(TCHAR* ch) override;
    HRESULT TxGetAcceleratorPos(LONG* cp) override;
    HRESULT TxGetExtent(LPSIZEL extent) override;
    HRESULT OnTxCharFormatChange(const CHARFORMATW* format) override;
    HRESULT OnTxParaFormatChange(const PARAFORMAT* format) override;
    HRESULT TxGetPropertyBits(DWORD mask, DWORD* bits) override;
    HRESULT TxNotify(DWORD code, void* data) override;
    HIMC TxImmGetContext() override;
    void TxImmReleaseContext(HIMC himc) override;
    HRESULT TxGetSelectionBarWidth(LONG* width) override;

    // The bits TxGetPropertyBits reports before masking.
    DWORD ComputePropertyBits() const;

protected:
    // Deactivates and releases the services. Only Release deletes.
    virtual ~CTxtWinHost();

private:
    void InitCharFormat(uint32_t textColor);
    void InitParaFormat();
    void ApplyCreateInfo(const TextHostCreateInfo* info);
    bool CreateServices(const TextHostCreateInfo* info);
    HDC OwnerDC() const;

    Edit* m_owner = nullptr;
    LONG m_refs = 0;
    // Owned reference; null until Init succeeds.
    ITextServices* m_services = nullptr;
    bool m_direct2D = false;
    int m_dpi = 96;
    DWORD m_style = 0;
    uint32_t m_flags = 0;
    LONG m_selBarWidth = 0;
    LONG m_maxLength = 0;
    RECT m_client{0, 0, 0, 0};
    SIZEL m_extent{0, 0};
    CHARFORMAT2W m_charFormat{};
    PARAFORMAT2 m_paraFormat{};
    LONG m_acceleratorPos = -1;
    wchar_t m_passwordChar = 0;
};

// The character a password field shows for each character (U+25CF).
constexpr wchar_t kPasswordBullet = 0x25CF;

} // namespace ui
