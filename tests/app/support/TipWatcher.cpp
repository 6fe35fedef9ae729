#include "app/support/TipWatcher.h"

#include "app/TipWnd.h"

namespace apptest {

namespace {

// How often the timer looks; a message window stays up at most about this.
constexpr UINT kLookEveryMs = 100;
// Windows of the UI library carry their object in GWLP_USERDATA; their
// class names start so.
constexpr wchar_t kLibraryClassPrefix[] = L"WndCls_";

// The one watcher the thread timer reports to.
TipWatcher* g_watcher = nullptr;

std::wstring TextOf(ui::Control* control)
{
    return control ? std::wstring(control->GetText().GetData()) : std::wstring();
}

bool IsLibraryWindow(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return std::wstring(name).rfind(kLibraryClassPrefix, 0) == 0;
}

} // namespace

TipWatcher::TipWatcher(HWND owner, int answer) : m_owner(owner), m_answer(answer)
{
    g_watcher = this;
    m_timer = SetTimer(nullptr, 0, kLookEveryMs, OnTick);
}

TipWatcher::~TipWatcher()
{
    if (m_timer)
        KillTimer(nullptr, m_timer);
    g_watcher = nullptr;
}

void CALLBACK TipWatcher::OnTick(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_watcher)
        EnumThreadWindows(GetCurrentThreadId(), VisitWindow, reinterpret_cast<LPARAM>(g_watcher));
}

BOOL CALLBACK TipWatcher::VisitWindow(HWND window, LPARAM self)
{
    auto* watcher = reinterpret_cast<TipWatcher*>(self);
    if (IsWindowVisible(window) && GetWindow(window, GW_OWNER) == watcher->m_owner && IsLibraryWindow(window) &&
        !watcher->m_answered.count(window))
        watcher->Answer(window);
    return TRUE;
}

void TipWatcher::Answer(HWND window)
{
    auto* base = reinterpret_cast<ui::CWindowWnd*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    auto* tip = dynamic_cast<ui::CTipWnd*>(base);
    if (!tip)
        return;
    m_answered.insert(window);
    SeenTip seen;
    seen.title = tip->TitleForTesting().GetData();
    seen.message = TextOf(tip->MessageForTesting());
    seen.yes = TextOf(tip->YesButtonForTesting());
    ui::Control* no = tip->NoButtonForTesting();
    seen.no = no && no->IsVisible() ? TextOf(no) : std::wstring();
    m_seen.push_back(seen);
    PostMessageW(window, WM_CLOSE, static_cast<WPARAM>(m_answer), 0);
}

} // namespace apptest
