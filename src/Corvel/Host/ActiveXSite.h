// The container side of one hosted ActiveX object: its client site, in-place
// site (windowed and windowless), control site, object-with-site and
// container, all sharing one reference count. Made by ActiveX with one
// reference it holds; the last Release deletes it. The owner clears the
// owner pointer before letting go, after which the calls that need the owner
// answer E_UNEXPECTED. UI thread.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <memory>

namespace ui {

class ActiveX;
class CActiveXWnd;

class CActiveXCtrl : public IOleClientSite,
                     public IOleInPlaceSiteWindowless,
                     public IOleControlSite,
                     public IObjectWithSite,
                     public IOleContainer {
public:
    // `owner` is borrowed until ClearOwner.
    explicit CActiveXCtrl(ActiveX* owner);

    // IUnknown, shared by every part.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** out) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override;
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL show) override;
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override;

    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;
    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() override;
    // Fills every out-parameter: no frame or document window (null), the
    // object rectangle as position and clip, and the host window as frame.
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* pos,
                                               RECT* clip, OLEINPLACEFRAMEINFO* info) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE extent) override;
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL undoable) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override;
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT rect) override;
    // IOleInPlaceSiteEx
    HRESULT STDMETHODCALLTYPE OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivateEx(BOOL noRedraw) override;
    HRESULT STDMETHODCALLTYPE RequestUIActivate() override;
    // IOleInPlaceSiteWindowless
    HRESULT STDMETHODCALLTYPE CanWindowlessActivate() override;
    HRESULT STDMETHODCALLTYPE GetCapture() override;
    HRESULT STDMETHODCALLTYPE SetCapture(BOOL capture) override;
    HRESULT STDMETHODCALLTYPE GetFocus() override;
    HRESULT STDMETHODCALLTYPE SetFocus(BOOL focus) override;
    HRESULT STDMETHODCALLTYPE GetDC(LPCRECT rect, DWORD flags, HDC* out) override;
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) override;
    HRESULT STDMETHODCALLTYPE InvalidateRect(LPCRECT rect, BOOL erase) override;
    HRESULT STDMETHODCALLTYPE InvalidateRgn(HRGN region, BOOL erase) override;
    HRESULT STDMETHODCALLTYPE ScrollRect(INT dx, INT dy, LPCRECT scroll, LPCRECT clip) override;
    HRESULT STDMETHODCALLTYPE AdjustRect(LPRECT rect) override;
    HRESULT STDMETHODCALLTYPE OnDefWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // IOleControlSite
    HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override;
    HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL lock) override;
    HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** out) override;
    HRESULT STDMETHODCALLTYPE TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg, DWORD modifiers) override;
    HRESULT STDMETHODCALLTYPE OnFocus(BOOL focus) override;
    HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override;

    // IObjectWithSite
    HRESULT STDMETHODCALLTYPE SetSite(IUnknown* site) override;
    HRESULT STDMETHODCALLTYPE GetSite(REFIID riid, void** out) override;

    // IOleContainer
    HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx* context, LPOLESTR name, ULONG* eaten, IMoniker** out) override;
    HRESULT STDMETHODCALLTYPE EnumObjects(DWORD flags, IEnumUnknown** out) override;
    HRESULT STDMETHODCALLTYPE LockContainer(BOOL lock) override;

    // For the owner and the object's window.
    void ClearOwner() { m_owner = nullptr; }
    ActiveX* GetOwner() const { return m_owner; }
    // Null for windowless objects and before activation.
    CActiveXWnd* GetObjectWindow() const { return m_window.get(); }
    // Finds the object's IViewObjectEx, IViewObject2 or IViewObject.
    void LookUpViewObject(IUnknown* object);
    IViewObject* GetViewObject() const { return m_viewObject.Get(); }
    // IOleInPlaceObjectWindowless once windowless, else IOleInPlaceObject.
    IOleInPlaceObject* GetInPlaceObject() const { return m_inPlaceObject.Get(); }
    bool IsWindowless() const { return m_windowless; }
    bool IsInPlaceActive() const { return m_inPlaceActive; }
    bool IsUiActive() const { return m_uiActive; }
    bool IsCaptured() const { return m_captured; }
    bool IsFocused() const { return m_focused; }
    void SetFocusedFlag(bool on) { m_focused = on; }
    bool IsContainerLocked() const { return m_containerLocked; }
    LONG GetRefCountForTesting() const { return m_refs; }

private:
    virtual ~CActiveXCtrl();

    // The object's rectangle in the coordinates of the window it draws in.
    RECT ObjectRect() const;
    // Makes the object's own window when there is none yet; false when it
    // cannot be made.
    bool EnsureObjectWindow();
    void DestroyObjectWindow();

    LONG m_refs = 1;
    ActiveX* m_owner = nullptr;
    std::unique_ptr<CActiveXWnd> m_window;
    Microsoft::WRL::ComPtr<IUnknown> m_site;
    Microsoft::WRL::ComPtr<IViewObject> m_viewObject;
    Microsoft::WRL::ComPtr<IOleInPlaceObject> m_inPlaceObject;
    bool m_containerLocked = false;
    bool m_focused = false;
    bool m_captured = false;
    bool m_uiActive = false;
    bool m_inPlaceActive = false;
    bool m_windowless = true;
};

} // namespace ui
