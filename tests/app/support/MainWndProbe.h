// Looks at and clicks the installer main window's controls by their skin
// names, the way the window's own handlers see them. UI thread only.
#pragma once

#include <string>

#include "Corvel/Core/Control.h"

class CMainWnd;

namespace apptest {

// Borrowed; null when the skin has no control of that name.
ui::Control* FindControl(CMainWnd& window, const wchar_t* name);
// The control's text; "<missing>" without the control.
std::wstring ControlText(CMainWnd& window, const wchar_t* name);
std::wstring ControlToolTip(CMainWnd& window, const wchar_t* name);
// True when the control exists and is visible.
bool IsControlShown(CMainWnd& window, const wchar_t* name);
// Runs the control's click handler (TryActivate); false without the control.
bool ClickControl(CMainWnd& window, const wchar_t* name);
// Posts a click at the centre of the control to the window, as a person's
// click reaches its queue (move, press, release); the window handles it
// when the test pumps. False without the control, or when it is hidden or
// has no place on the window yet.
bool PostClickOnControl(CMainWnd& window, const wchar_t* name);

} // namespace apptest
