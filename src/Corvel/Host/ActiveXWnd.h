// The child window a windowed ActiveX object draws in, made by its site at
// the object's place in the host window. Owned by the site. UI thread.
#pragma once

#include "Corvel/Core/WindowWnd.h"

namespace ui {

class CActiveXCtrl;

class CActiveXWnd : public CWindowWnd {
public:
    // `site` is borrowed: it owns this window.
    explicit CActiveXWnd(CActiveXCtrl* site) : m_site(site) {}
    ~CActiveXWnd() override;

    // Creates the window as a child of `parent`, at (0, 0) and empty until
    // the object is placed; null on failure.
    HWND Init(HWND parent);

    std::wstring QueryClassName() const override { return L"ActiveXWnd"; }
    LRESULT ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnSetFocus(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseActivate(WPARAM wParam, LPARAM lParam);
    // DoVerb on the owner's object with this window and the control's
    // rectangle.
    void DoVerb(LONG verb);

    CActiveXCtrl* m_site;
};

} // namespace ui
