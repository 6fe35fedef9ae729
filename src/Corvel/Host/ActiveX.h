// A container control that hosts one ActiveX (OLE) control, windowed or
// windowless: it creates the object from a CLSID or ProgID ("clsid"),
// optionally through a DLL's class factory ("modulename"), activates it in
// place at the control's rectangle, keeps its extent and rectangles in step
// with the layout, paints windowless objects and forwards window messages to
// them. The object's container calls reach its site (CActiveXCtrl). Markup
// name "CActiveXCtrl". UI thread only.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include "Corvel/Control/Box.h"
#include "Corvel/Core/UiEvents.h"

namespace ui {

class CActiveXCtrl;

class ActiveX : public Box, public IMessageFilterUI {
public:
    ActiveX();
    // Releases the hosted object and the site.
    ~ActiveX() override;

    const wchar_t* GetClassName() const override;
    // "ActiveX" gives this control; other names as a Box answers them.
    void* CastTo(const wchar_t* typeName) override;
    using Control::SetBounds;
    // Creates the object on the first placement (unless already created),
    // then gives it its extent and rectangle.
    void SetBounds(float left, float top, float right, float bottom) override;
    void SetVisible(bool show) override;
    void SetInternalVisible(bool on) override;
    // "clsid", "modulename", "delaycreate"; others as a Control takes them.
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void Paint(const RECTF& dirty, bool pushClip) override;

    // Lets go of the object and the site (the site answers E_UNEXPECTED
    // afterwards); the control's window is forgotten.
    virtual void ReleaseHostedObject();
    // Creates the object for the current CLSID, gives it the site and
    // activates it in place at `rect` (client pixels). False on any COM
    // failure; the object may then be partly set up and is released by the
    // next creation or the destructor.
    virtual bool CreateHostedObject(const RECTF& rect);
    // Services the site offers on the host's behalf (IDocHostUIHandler,
    // IServiceProvider). E_NOINTERFACE here; derived hosts answer.
    virtual HRESULT QueryHostService(REFIID riid, void** out);

    // IMessageFilterUI: forwards window messages to a windowless object.
    LRESULT FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

    const CLSID& GetClsid() const { return m_clsid; }
    bool IsCreated() const { return m_created; }
    bool IsDelayCreate() const { return m_delayCreate; }
    // Borrowed; null before creation.
    IOleObject* GetHostedObject() const { return m_object.Get(); }
    // Borrowed; null before creation.
    CActiveXCtrl* GetSite() const { return m_site; }
    // The window the object draws in: its own child window when windowed,
    // the host window when windowless; null before in-place activation.
    HWND GetHostWindow() const { return m_window; }
    void SetHostWindow(HWND window) { m_window = window; }
    // The control's rectangle less its padding, in client pixels.
    RECT GetControlRect() const;

protected:
    // For hosts that make their content without the ActiveX path (a web
    // view's other engines): whether creation has run.
    void SetCreated(bool on) { m_created = on; }

private:
    void SetClsidText(const wchar_t* value);
    void SetDelayCreate(bool delay);
    // Step 2 of creation: the object's IOleControl, from the module's class
    // factory when one is named and works, else from COM.
    Microsoft::WRL::ComPtr<IUnknown> InstantiateObject();
    Microsoft::WRL::ComPtr<IUnknown> InstantiateFromModule();
    // Gives the object its extent and in-place rectangle after a move.
    void PlaceObject();
    void ShowObjectWindow();

    CLSID m_clsid = GUID_NULL;
    std::wstring m_moduleName;
    bool m_created = false;
    bool m_delayCreate = true;
    Microsoft::WRL::ComPtr<IOleObject> m_object;
    CActiveXCtrl* m_site = nullptr; // one reference held
    HWND m_window = nullptr;
};

} // namespace ui
