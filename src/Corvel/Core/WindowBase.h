// Base of every skinned top-level window: joins a native window to a window
// core, builds the skin's control tree on WM_CREATE, answers the non-client
// hit test from the skin's caption and size box (the skin draws its own
// caption, borders and buttons), drives the caption buttons by name, and
// carries the tray icon and the drop shadow.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "Corvel/Core/DialogBuilder.h"
#include "Corvel/Core/TrayIcon.h"
#include "Corvel/Core/UiEvents.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/WindowWnd.h"

class CWndShadow;
namespace ui {
class CDropTarget;
}

// A drop shadow for `window` made from a skin's shadow settings (size,
// offset, sharpness, darkness and colour at `scale`), created hidden; the
// caller owns it and shows it. Null when the shadow window cannot be made.
std::unique_ptr<CWndShadow> CreateHiddenShadow(HWND window, float scale, const ui::WindowShadowSettings& settings);

class IWindowBase : public ui::CWindowWnd,
                    public ui::INotifyUI,
                    public ui::IMessageFilterUI,
                    public ui::IDialogBuilderCallback {
public:
    // Close codes of this window.
    static constexpr int kCloseByUser = 8;         // close button, Escape, failed build
    static constexpr int kCloseFromTray = 0x1001;  // tray command "exit"

    IWindowBase();
    ~IWindowBase() override;

    void OnDpiChanged(int dpi) override;
    std::wstring QueryClassName() const override;
    UINT QueryClassStyle() const override { return CS_DBLCLKS; }
    LRESULT ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnNcDestroyed(HWND window) override;

    // What a derived window gives: the skin file name, or markup text that
    // begins with "<".
    virtual std::wstring QuerySkinFile() = 0;
    // A string table file; empty for none.
    virtual std::wstring QueryStringTableFile() { return std::wstring(); }
    // After the skin is built and the caption buttons are found.
    virtual void OnWindowCreated() {}
    // On the "windowinit" notification (the first layout is done).
    virtual void OnWindowReady() {}
    // Escape closes with kCloseByUser (1); other keys answer 0.
    virtual LRESULT OnDialogKey(WPARAM key);
    // True when a press on the control drags the window: neither the control
    // nor any ancestor is an interactive class, and it shows no hand cursor.
    virtual bool IsCaptionControl(ui::Control* control);
    virtual void AddTrayIcon();
    // Takes the icon out of the notification area and destroys the icon
    // extracted for it; the window does so when it is destroyed.
    void RemoveTrayIcon();
    // "show" brings the window up, "exit" closes it with kCloseFromTray.
    virtual void OnTrayMenuCommand(const ui::WindowCore::TrayMenuItem& item);

    // INotifyUI: caption buttons and "windowinit".
    void ReceiveNotify(ui::tagTNotifyUI& msg) override;
    // IMessageFilterUI: Enter and Escape reach OnDialogKey; Alt+F4 clicks the
    // close button. Never consumes the message.
    LRESULT FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    // IDialogBuilderCallback: no custom controls.
    ui::Control* CreateCustomControl(const wchar_t* className, ui::WindowCore* core) override;

    ui::WindowCore& Core() { return m_core; }
    ui::Control* CloseButton() const { return m_closeButton; }
    ui::Control* MaxButton() const { return m_maxButton; }
    ui::Control* RestoreButton() const { return m_restoreButton; }
    ui::Control* MinButton() const { return m_minButton; }
    const ui::TrayIcon& Tray() const { return m_tray; }
    CWndShadow* Shadow() const { return m_shadow.get(); }
    // The window's OLE drop target; null unless the skin's window accepts
    // drops ("drop") and registration succeeded.
    ui::CDropTarget* DropTarget() const { return m_dropTarget.get(); }

protected:
    // Message handlers, one per message; each sets `handled` false to let
    // the core and the previous window procedure see the message too.
    virtual LRESULT OnCreate(WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnClose(WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnDestroy(WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcActivate(WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcCalcSize(WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcHitTest(WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnGetMinMaxInfo(WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnTrayIconMessage(WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnCommand(WPARAM wParam, LPARAM lParam, bool& handled);
    // Message 0x8007: the drop shadow, or the system's frame shadow.
    void CreateWindowShadow();
    // The hit-test code of a client point.
    LRESULT HitTest(POINT client);

    // OnCreate's phases.
    bool BuildSkin(const CREATESTRUCTW* create);
    void AcceptDroppedFiles();
    void AdjustFrame(const CREATESTRUCTW* create);
    void FindCaptionButtons();

    ui::Control* m_closeButton = nullptr;
    ui::Control* m_maxButton = nullptr;
    ui::Control* m_restoreButton = nullptr;
    ui::Control* m_minButton = nullptr;
    std::unique_ptr<CWndShadow> m_shadow;
    std::unique_ptr<ui::CDropTarget> m_dropTarget;
    bool m_backdrop = false;
    bool m_acceptFiles = false;
    ui::WindowCore m_core;
    ui::TrayIcon m_tray;
};
