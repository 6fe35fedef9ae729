// Window core: the window-level settings a skin gives (title, alpha, frame
// flags, tray menu) and the class default attributes looked up through the
// parent cores.
// Fields touched here: m_title, m_windowAlpha, m_captionless,
// m_backdropWanted, m_acceptFiles, m_trayMenu, m_defaultAttributes (read),
// the tracking limits (read).
#include "Corvel/Core/WindowCore.h"

namespace ui {

namespace {

using SetLayeredAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

// Looked up by name so that the library loads on systems without it.
SetLayeredAttributesFn LayeredAttributesEntry()
{
    static const SetLayeredAttributesFn entry = [] {
        HMODULE user32 = GetModuleHandleW(L"User32.dll");
        return user32 ? reinterpret_cast<SetLayeredAttributesFn>(
                            reinterpret_cast<void*>(GetProcAddress(user32, "SetLayeredWindowAttributes")))
                      : nullptr;
    }();
    return entry;
}

} // namespace

const wchar_t* WindowCore::FindDefaultAttributes(const wchar_t* className) const
{
    for (const WindowCore* core = this; core; core = core->m_parentCore) {
        if (const wchar_t* list = core->GetDefaultAttributeList(className))
            return list;
    }
    return nullptr;
}

void WindowCore::ApplyWindowAlpha(int raw)
{
    const bool inRange = raw >= 0 && raw <= kOpaqueAlpha;
    m_windowAlpha = raw < 0 ? 0 : (raw > kOpaqueAlpha ? kOpaqueAlpha : raw);
    if (!m_window)
        return;
    const LONG_PTR exStyle = GetWindowLongPtrW(m_window, GWL_EXSTYLE);
    const LONG_PTR wanted = inRange ? (exStyle | WS_EX_LAYERED) : (exStyle & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
    if (wanted != exStyle)
        SetWindowLongPtrW(m_window, GWL_EXSTYLE, wanted);
    if (SetLayeredAttributesFn entry = LayeredAttributesEntry()) {
        // Fails on a window that is not layered; the stored alpha stays.
        (void)entry(m_window, 0, static_cast<BYTE>(m_windowAlpha), LWA_ALPHA);
    }
}

void WindowCore::GetTrackingLimits(int& minW, int& minH, int& maxW, int& maxH) const
{
    minW = m_minTrackW;
    minH = m_minTrackH;
    maxW = m_maxTrackW;
    maxH = m_maxTrackH;
}

void WindowCore::SetTrayMenu(std::unique_ptr<TrayMenuRecord> record)
{
    if (!record || record->items.empty())
        return;
    m_trayMenu = std::move(record);
}

const WindowCore::TrayMenuItem* WindowCore::FindTrayMenuItem(UINT commandId) const
{
    if (!m_trayMenu || commandId < kTrayCommandBase)
        return nullptr;
    const size_t index = commandId - kTrayCommandBase;
    return index < m_trayMenu->items.size() ? &m_trayMenu->items[index] : nullptr;
}

} // namespace ui
