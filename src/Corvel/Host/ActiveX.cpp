#include "Corvel/Host/ActiveX.h"

#include <cmath>
#include <cwchar>

#include "Corvel/Core/WindowCore.h"
#include "Corvel/Host/ActiveXSite.h"
#include "Corvel/Host/ActiveXWnd.h"
#include "Corvel/Render/RenderTarget.h"

using Microsoft::WRL::ComPtr;

namespace ui {

namespace {

// The longest "clsid" value read: a braced CLSID is 38 characters, a ProgID
// at most 39; anything past 99 is ignored.
constexpr size_t kMaxClsidText = 99;
// HIMETRIC units (0.01 mm) per inch.
constexpr int kHimetricPerInch = 2540;
constexpr wchar_t kContainerName[] = L"UIActiveX";

RECT ToRect(const RECTF& r)
{
    return RECT{static_cast<LONG>(r.left), static_cast<LONG>(r.top), static_cast<LONG>(r.right),
                static_cast<LONG>(r.bottom)};
}

// Pixels to HIMETRIC at the screen's resolution.
SIZEL PixelsToHimetric(LONG width, LONG height)
{
    HDC screen = ::GetDC(nullptr);
    SIZEL size{MulDiv(kHimetricPerInch, width, GetDeviceCaps(screen, LOGPIXELSX)),
               MulDiv(kHimetricPerInch, height, GetDeviceCaps(screen, LOGPIXELSY))};
    ::ReleaseDC(nullptr, screen);
    return size;
}

bool IsMouseMessage(UINT message) { return message >= WM_MOUSEFIRST && message <= WM_MOUSELAST; }

} // namespace

ActiveX::ActiveX() = default;

ActiveX::~ActiveX() { ReleaseHostedObject(); }

const wchar_t* ActiveX::GetClassName() const { return L"ActiveX"; }

void* ActiveX::CastTo(const wchar_t* typeName)
{
    if (typeName && wcscmp(typeName, L"ActiveX") == 0)
        return this;
    return Box::CastTo(typeName);
}

RECT ActiveX::GetControlRect() const
{
    const RECTF bounds = GetBounds();
    const RECTF pad = GetPadding();
    return ToRect(RECTF{bounds.left + pad.left, bounds.top + pad.top, bounds.right - pad.right,
                        bounds.bottom - pad.bottom});
}

// ------------------------------------------------------------- attributes

void ActiveX::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (wcscmp(name, L"clsid") == 0)
        SetClsidText(value);
    else if (wcscmp(name, L"modulename") == 0)
        m_moduleName = value;
    else if (wcscmp(name, L"delaycreate") == 0)
        SetDelayCreate(wcscmp(value, L"true") == 0);
    else
        Control::SetAttribute(name, value);
}

void ActiveX::SetClsidText(const wchar_t* value)
{
    std::wstring text(value, wcsnlen(value, kMaxClsidText));
    CLSID clsid = GUID_NULL;
    if (text.empty())
        return;
    if (text[0] == L'{')
        CLSIDFromString(&text[0], &clsid);
    else
        CLSIDFromProgID(text.c_str(), &clsid);
    if (IsEqualCLSID(clsid, GUID_NULL))
        return;
    m_clsid = clsid;
    m_created = false;
    if (!m_delayCreate)
        CreateHostedObject(GetBounds());
}

void ActiveX::SetDelayCreate(bool delay)
{
    if (delay == m_delayCreate)
        return;
    if (delay || m_created) {
        m_delayCreate = delay;
        return;
    }
    // Turning the delay off before creation creates the object now.
    if (!IsEqualCLSID(m_clsid, GUID_NULL))
        CreateHostedObject(GetBounds());
    m_delayCreate = false;
}

// ------------------------------------------------------------- creation

ComPtr<IUnknown> ActiveX::InstantiateFromModule()
{
    if (m_moduleName.empty())
        return nullptr;
    // The module stays loaded: the object's code lives in it.
    HMODULE module = LoadLibraryW(m_moduleName.c_str());
    if (!module)
        return nullptr;
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject =
        reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    if (!getClassObject)
        return nullptr;
    ComPtr<IClassFactory> factory;
    if (FAILED(getClassObject(m_clsid, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf()))) ||
        !factory)
        return nullptr;
    ComPtr<IUnknown> object;
    if (FAILED(factory->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(object.GetAddressOf()))))
        return nullptr;
    return object;
}

ComPtr<IUnknown> ActiveX::InstantiateObject()
{
    if (ComPtr<IUnknown> object = InstantiateFromModule())
        return object;
    ComPtr<IUnknown> object;
    if (FAILED(CoCreateInstance(m_clsid, nullptr, CLSCTX_ALL, IID_IOleControl,
                                reinterpret_cast<void**>(object.GetAddressOf()))))
        return nullptr;
    return object;
}

bool ActiveX::CreateHostedObject(const RECTF& rect)
{
    ReleaseHostedObject();
    m_created = true;
    ComPtr<IUnknown> created = InstantiateObject();
    if (!created || FAILED(created.As(&m_object)))
        return false;
    m_site = new CActiveXCtrl(this);
    DWORD status = 0;
    m_object->GetMiscStatus(DVASPECT_CONTENT, &status);
    IOleClientSite* clientSite = static_cast<IOleClientSite*>(m_site);
    if (status & OLEMISC_SETCLIENTSITEFIRST)
        m_object->SetClientSite(clientSite);
    ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(m_object.As(&persist)) && FAILED(persist->InitNew()))
        return false;
    if (!(status & OLEMISC_SETCLIENTSITEFIRST))
        m_object->SetClientSite(clientSite);
    m_site->LookUpViewObject(m_object.Get());
    bool ok = m_site->GetViewObject() != nullptr;
    m_object->SetHostNames(kContainerName, nullptr);
    if (m_core)
        m_core->RaiseNotification(this, L"showactivex", 0, 0);
    if (!(status & OLEMISC_INVISIBLEATRUNTIME)) {
        RECT place = ToRect(rect);
        const HRESULT hr = m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, clientSite, 0,
                                           m_core ? m_core->GetWindow() : nullptr, &place);
        ok = SUCCEEDED(hr);
    }
    ComPtr<IObjectWithSite> withSite;
    if (m_object && SUCCEEDED(m_object.As(&withSite)))
        withSite->SetSite(clientSite);
    return ok;
}

void ActiveX::ReleaseHostedObject()
{
    m_window = nullptr;
    if (m_object) {
        ComPtr<IObjectWithSite> withSite;
        if (SUCCEEDED(m_object.As(&withSite)))
            withSite->SetSite(nullptr);
        m_object->Close(OLECLOSE_NOSAVE);
        m_object->SetClientSite(nullptr);
        m_object.Reset();
    }
    if (m_site) {
        CActiveXCtrl* site = m_site;
        m_site = nullptr;
        site->ClearOwner();
        site->Release();
    }
    if (m_core)
        m_core->RemoveMessageFilter(this);
}

HRESULT ActiveX::QueryHostService(REFIID, void** out)
{
    if (out)
        *out = nullptr;
    return E_NOINTERFACE;
}

// ------------------------------------------------------------- placement

void ActiveX::SetBounds(float left, float top, float right, float bottom)
{
    Box::SetBounds(left, top, right, bottom);
    if (!m_created)
        CreateHostedObject(GetBounds());
    if (m_object && m_site)
        PlaceObject();
}

void ActiveX::PlaceObject()
{
    const RECT rect = GetControlRect();
    SIZEL extent = PixelsToHimetric(rect.right - rect.left, rect.bottom - rect.top);
    m_object->SetExtent(DVASPECT_CONTENT, &extent);
    const bool windowed = !m_site->IsWindowless();
    const RECT place = windowed ? RECT{0, 0, rect.right - rect.left, rect.bottom - rect.top} : rect;
    if (IOleInPlaceObject* inPlace = m_site->GetInPlaceObject())
        inPlace->SetObjectRects(&place, &place);
    if (CActiveXWnd* window = m_site->GetObjectWindow()) {
        if (window->GetHWND())
            MoveWindow(window->GetHWND(), rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    }
}

void ActiveX::ShowObjectWindow()
{
    if (!m_site || m_site->IsWindowless())
        return;
    if (CActiveXWnd* window = m_site->GetObjectWindow()) {
        if (window->GetHWND())
            ShowWindow(window->GetHWND(), IsVisible() ? SW_SHOW : SW_HIDE);
    }
}

void ActiveX::SetVisible(bool show)
{
    Control::SetVisible(show);
    ShowObjectWindow();
}

void ActiveX::SetInternalVisible(bool on)
{
    Box::SetInternalVisible(on);
    ShowObjectWindow();
}

// ------------------------------------------------------------- painting

void ActiveX::Paint(const RECTF& dirty, bool pushClip)
{
    const RECTF bounds = GetBounds();
    const RECTF area{std::fmax(dirty.left, bounds.left), std::fmax(dirty.top, bounds.top),
                     std::fmin(dirty.right, bounds.right), std::fmin(dirty.bottom, bounds.bottom)};
    if (area.right <= area.left || area.bottom <= area.top)
        return;
    Box::Paint(dirty, pushClip);
    IViewObject* view = m_site ? m_site->GetViewObject() : nullptr;
    if (!view || !m_core || !(m_site->IsWindowless() || m_core->IsLayered()))
        return;
    RenderTarget* target = m_core->GetRenderTarget();
    HDC dc = target ? target->BeginGdiClip() : nullptr;
    if (!dc)
        return;
    const RECT rect = GetControlRect();
    const RECTL draw{rect.left, rect.top, rect.right, rect.bottom};
    view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &draw, nullptr, nullptr, 0);
    target->EndGdiClip(dc);
}

// ------------------------------------------------------------- messages

LRESULT ActiveX::FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    if (!m_site || !m_site->IsInPlaceActive() || !m_site->GetInPlaceObject())
        return 0;
    ComPtr<IOleInPlaceObjectWindowless> windowless;
    if (FAILED(m_site->GetInPlaceObject()->QueryInterface(IID_PPV_ARGS(&windowless))))
        return 0;
    bool handles = false;
    if (message == WM_SETCURSOR || IsMouseMessage(message)) {
        if (IsMouseMessage(message) && !IsMouseEnabled())
            return 0;
        if (!m_site->IsCaptured()) {
            ComPtr<IViewObjectEx> viewEx;
            IViewObject* view = m_site->GetViewObject();
            if (!view || FAILED(view->QueryInterface(IID_PPV_ARGS(&viewEx))))
                return 0;
            const RECT rect = GetControlRect();
            const POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            DWORD hit = 0;
            viewEx->QueryHitPoint(DVASPECT_CONTENT, &rect, pt, 0, &hit);
            if (hit != HITRESULT_HIT)
                return 0;
        }
        handles = message != WM_SETCURSOR && message != WM_MOUSEMOVE && message != WM_LBUTTONDOWN &&
                  message != WM_LBUTTONUP;
    } else if (message == WM_HELP || message == WM_CONTEXTMENU) {
        handles = false;
    } else if (message >= WM_KEYFIRST && message <= WM_KEYLAST) {
        if (!IsFocused())
            return 0;
        handles = true;
    } else {
        return 0;
    }
    LRESULT result = 0;
    if (windowless->OnWindowMessage(message, wParam, lParam, &result) == S_OK)
        handled = handles;
    return result;
}

} // namespace ui
