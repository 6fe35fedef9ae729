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

} // namespace apptest
