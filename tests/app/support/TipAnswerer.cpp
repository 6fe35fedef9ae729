#include "app/support/TipAnswerer.h"

#include <cwchar>

#include "Corvel/Core/WindowWnd.h"
#include "app/TipWnd.h"

namespace apptest {

namespace {

// How often the answerer looks for a message window.
constexpr UINT kLookEveryMs = 100;

TipAnswerer* g_answerer = nullptr;
// Marks a window already answered (it closes a moment after the click). A
// property dies with its window, so a later window that gets the same
// handle is answered again.
const wchar_t kAnsweredProperty[] = L"CorvelTestTipAnswered";

// The library's object of a window it made, found through the window's
// user data once the class name proves the window is one of the library's:
// its windows are registered as "WndCls_<object address>". Null for any
// other window (tooltips, shadows, the shell's).
ui::CWindowWnd* LibraryWindow(HWND window)
{
    wchar_t className[64] = {};
    if (!GetClassNameW(window, className, 64))
        return nullptr;
    void* named = nullptr;
    if (swscanf(className, L"WndCls_%p", &named) != 1 || !named)
        return nullptr;
    const LONG_PTR data = GetWindowLongPtrW(window, GWLP_USERDATA);
    return data == reinterpret_cast<LONG_PTR>(named) ? reinterpret_cast<ui::CWindowWnd*>(data) : nullptr;
}

} // namespace

TipAnswerer::TipAnswerer(HWND owner, const wchar_t* button) : m_owner(owner), m_button(button)
{
    g_answerer = this;
    m_timer = SetTimer(nullptr, 0, kLookEveryMs, OnTick);
}

TipAnswerer::~TipAnswerer()
{
    KillTimer(nullptr, m_timer);
    g_answerer = nullptr;
}

void CALLBACK TipAnswerer::OnTick(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_answerer)
        EnumThreadWindows(GetCurrentThreadId(), AnswerIfTip, reinterpret_cast<LPARAM>(g_answerer));
}

BOOL CALLBACK TipAnswerer::AnswerIfTip(HWND window, LPARAM answerer)
{
    auto* self = reinterpret_cast<TipAnswerer*>(answerer);
    if (IsWindowVisible(window) && GetWindow(window, GW_OWNER) == self->m_owner)
        self->Answer(window);
    return TRUE;
}

void TipAnswerer::Answer(HWND window)
{
    if (GetPropW(window, kAnsweredProperty))
        return;
    auto* tip = dynamic_cast<ui::CTipWnd*>(LibraryWindow(window));
    if (!tip || !tip->YesButtonForTesting() || !tip->MessageForTesting())
        return;  // not a message window, or not ready yet
    ui::Control* button = tip->Core().FindControlByName(m_button.c_str());
    if (!button)
        return;
    SetPropW(window, kAnsweredProperty, reinterpret_cast<HANDLE>(1));
    m_messages.push_back(tip->MessageForTesting()->GetText().GetData());
    button->TryActivate();
}

} // namespace apptest
