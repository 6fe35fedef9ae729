#include "app/support/MainWndProbe.h"

#include "app/MainWnd.h"

namespace apptest {

ui::Control* FindControl(CMainWnd& window, const wchar_t* name)
{
    return window.Core().FindControlByName(name);
}

std::wstring ControlText(CMainWnd& window, const wchar_t* name)
{
    ui::Control* control = FindControl(window, name);
    return control ? std::wstring(control->GetText().GetData()) : L"<missing>";
}

std::wstring ControlToolTip(CMainWnd& window, const wchar_t* name)
{
    ui::Control* control = FindControl(window, name);
    return control ? std::wstring(control->GetToolTip().GetData()) : L"<missing>";
}

bool IsControlShown(CMainWnd& window, const wchar_t* name)
{
    ui::Control* control = FindControl(window, name);
    return control && control->IsVisible();
}

bool ClickControl(CMainWnd& window, const wchar_t* name)
{
    ui::Control* control = FindControl(window, name);
    if (!control)
        return false;
    control->TryActivate();
    return true;
}

bool PostClickOnControl(CMainWnd& window, const wchar_t* name)
{
    ui::Control* control = FindControl(window, name);
    if (!control || !control->IsVisible() || !control->IsPlaced())
        return false;
    const ui::RECTF bounds = control->GetBounds();
    if (bounds.right <= bounds.left || bounds.bottom <= bounds.top)
        return false;
    const LPARAM at = MAKELPARAM(static_cast<int>((bounds.left + bounds.right) / 2),
                                 static_cast<int>((bounds.top + bounds.bottom) / 2));
    const HWND hwnd = window.GetHWND();
    return PostMessageW(hwnd, WM_MOUSEMOVE, 0, at) && PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at) &&
           PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
}

} // namespace apptest
