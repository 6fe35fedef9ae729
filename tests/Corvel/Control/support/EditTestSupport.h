// Helpers of the edit-box, text-host and omnibox tests: typing into a
// window the way the keyboard does, modifier keys held through the thread's
// key state, the text on the clipboard, and a recording stand-in for the
// text services. Header-only.
#pragma once

#include <windows.h>
#include <richedit.h>
#include <textserv.h>

#include <string>
#include <vector>

#include "Corvel/Control/TxtWinHost.h"
#include "Corvel/Control/support/MarkupWindow.h"

namespace edittest {

// Holds modifier keys down in the thread's key state (what GetKeyState
// answers) while it lives.
class HeldKeys {
public:
    explicit HeldKeys(std::vector<BYTE> keys) : m_keys(std::move(keys)) { Set(true); }
    ~HeldKeys() { Set(false); }
    HeldKeys(const HeldKeys&) = delete;
    HeldKeys& operator=(const HeldKeys&) = delete;

private:
    void Set(bool down)
    {
        BYTE state[256] = {};
        GetKeyboardState(state);
        for (BYTE k : m_keys)
            state[k] = down ? 0x80 : 0;
        SetKeyboardState(state);
    }
    std::vector<BYTE> m_keys;
};

// WM_CHAR for every character of `text`.
inline void TypeText(HWND window, const std::wstring& text)
{
    for (wchar_t ch : text)
        SendMessageW(window, WM_CHAR, ch, 1);
}

// Key down and up of a virtual key (with whatever HeldKeys holds).
inline void PressKey(HWND window, WPARAM vk)
{
    SendMessageW(window, WM_KEYDOWN, vk, 1);
    SendMessageW(window, WM_KEYUP, vk, 0xC0000001);
}

// The Unicode text on the clipboard; empty when there is none.
inline std::wstring ClipboardText(HWND owner)
{
    std::wstring out;
    if (!OpenClipboard(owner))
        return out;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
            out = p;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return out;
}

inline bool SetClipboardText(HWND owner, const std::wstring& text)
{
    if (!OpenClipboard(owner))
        return false;
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool ok = false;
    if (mem) {
        memcpy(GlobalLock(mem), text.c_str(), bytes);
        GlobalUnlock(mem);
        ok = SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
        if (!ok)
            GlobalFree(mem);
    }
    CloseClipboard();
    return ok;
}

// Text services that record what their host and edit box tell them and
// answer every request with S_OK (a natural size leaves the width and
// height as given and records the height it arrived with).
class RecordingTextServices : public ITextServices {
public:
    struct BitsChange {
        DWORD mask;
        DWORD bits;
    };
    std::vector<BitsChange> bitsChanges;
    std::vector<LONG> naturalHeightsOnEntry;
    std::vector<UINT> messages;
    LONG refs = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    // The test owns the object: the count only shows that the host let go.
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }

    HRESULT TxSendMessage(UINT msg, WPARAM, LPARAM, LRESULT* result) override
    {
        messages.push_back(msg);
        if (result)
            *result = 0;
        return S_FALSE;
    }
    HRESULT TxDraw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC, LPCRECTL, LPCRECTL, LPRECT,
                   WINBOOL(CALLBACK*)(DWORD), DWORD, LONG) override
    {
        return S_OK;
    }
    HRESULT TxGetHScroll(LONG*, LONG*, LONG*, LONG*, WINBOOL*) override { return S_OK; }
    HRESULT TxGetVScroll(LONG*, LONG*, LONG*, LONG*, WINBOOL*) override { return S_OK; }
    HRESULT OnTxSetCursor(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC, LPCRECT, INT, INT) override { return S_OK; }
    HRESULT TxQueryHitPoint(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC, LPCRECT, INT, INT, DWORD*) override
    {
        return S_OK;
    }
    HRESULT OnTxInPlaceActivate(LPCRECT) override { return S_OK; }
    HRESULT OnTxInPlaceDeactivate() override { return S_OK; }
    HRESULT OnTxUIActivate() override { return S_OK; }
    HRESULT OnTxUIDeactivate() override { return S_OK; }
    HRESULT TxGetText(BSTR*) override { return E_NOTIMPL; }
    HRESULT TxSetText(LPCWSTR) override { return S_OK; }
    HRESULT TxGetCurTargetX(LONG*) override { return S_OK; }
    HRESULT TxGetBaseLinePos(LONG*) override { return S_OK; }
    HRESULT TxGetNaturalSize(DWORD, HDC, HDC, DVTARGETDEVICE*, DWORD, const SIZEL*, LONG*, LONG* height) override
    {
        naturalHeightsOnEntry.push_back(height ? *height : -1);
        return S_OK;
    }
    HRESULT TxGetDropTarget(IDropTarget**) override { return E_NOTIMPL; }
    HRESULT OnTxPropertyBitsChange(DWORD mask, DWORD bits) override
    {
        bitsChanges.push_back(BitsChange{mask, bits});
        return S_OK;
    }
    HRESULT TxGetCachedSize(DWORD*, DWORD*) override { return S_OK; }
};

// Puts recording services in place of a host's real ones (released) while
// it lives; the host lets go of them before they go.
struct FakeServicesInstalled {
    explicit FakeServicesInstalled(ui::CTxtWinHost* h) : host(h) { host->SetServicesForTesting(&fake); }
    ~FakeServicesInstalled() { host->SetServicesForTesting(nullptr); }
    FakeServicesInstalled(const FakeServicesInstalled&) = delete;
    FakeServicesInstalled& operator=(const FakeServicesInstalled&) = delete;
    RecordingTextServices fake;
    ui::CTxtWinHost* host;
};

} // namespace edittest
