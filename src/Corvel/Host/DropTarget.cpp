#include "Corvel/Host/DropTarget.h"

#include "Corvel/Core/Control.h"
#include "Corvel/Core/WindowCore.h"

namespace ui {

namespace {

// A control accepts a drop when it or an ancestor has "drop" set.
Control* NearestDropControl(Control* control)
{
    for (; control; control = control->GetParent()) {
        if (control->IsDropTarget())
            return control;
    }
    return nullptr;
}

POINT ToClient(HWND window, POINTL screen)
{
    POINT pt{screen.x, screen.y};
    ScreenToClient(window, &pt);
    return pt;
}

} // namespace

CDropTarget::CDropTarget(HWND window, WindowCore* core) : m_window(window), m_core(core) {}

CDropTarget::~CDropTarget() { Revoke(); }

HRESULT CDropTarget::Register()
{
    if (m_registered)
        return S_OK;
    const HRESULT hr = RegisterDragDrop(m_window, this);
    if (FAILED(hr))
        return hr;
    m_registered = true;
    CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&m_helper));
    return S_OK;
}

void CDropTarget::Revoke()
{
    m_helper.Reset();
    if (!m_registered)
        return;
    m_registered = false;
    RevokeDragDrop(m_window);
}

HRESULT STDMETHODCALLTYPE CDropTarget::QueryInterface(REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
        *out = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CDropTarget::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }

// The window owns the target: the count only tells OLE's holders apart.
ULONG STDMETHODCALLTYPE CDropTarget::Release() { return static_cast<ULONG>(InterlockedDecrement(&m_refs)); }

HRESULT STDMETHODCALLTYPE CDropTarget::DragEnter(IDataObject* data, DWORD, POINTL point, DWORD* effect)
{
    if (!m_core)
        return S_OK;
    if (effect)
        *effect = DROPEFFECT_COPY;
    m_data = data;
    if (m_helper) {
        POINT pt{point.x, point.y};
        m_helper->DragEnter(m_window, data, &pt, effect ? *effect : DROPEFFECT_COPY);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDropTarget::DragOver(DWORD keyState, POINTL point, DWORD* effect)
{
    DWORD local = DROPEFFECT_NONE;
    DWORD* answer = effect ? effect : &local;
    *answer = DROPEFFECT_NONE;
    const POINT client = ToClient(m_window, point);
    if (Control* control = FindDropControl(client)) {
        *answer = DROPEFFECT_COPY;
        if (control == m_target) {
            SendDragEvent(control, kEventDragOver, client, keyState, answer);
        } else {
            SendDragEvent(control, kEventDragEnter, client, keyState, answer);
            if (m_target)
                SendDragEvent(m_target, kEventDragLeave, client, keyState, answer);
            m_target = control;
        }
    } else {
        LeaveTarget();
    }
    if (m_helper) {
        POINT pt{point.x, point.y};
        m_helper->DragOver(&pt, *answer);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDropTarget::DragLeave()
{
    if (m_helper)
        m_helper->DragLeave();
    m_data = nullptr;
    LeaveTarget();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDropTarget::Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect)
{
    if (!data)
        return E_INVALIDARG;
    DWORD local = DROPEFFECT_NONE;
    DWORD* answer = effect ? effect : &local;
    if (m_helper) {
        POINT pt{point.x, point.y};
        m_helper->Drop(data, &pt, *answer);
    }
    *answer = DROPEFFECT_COPY;
    DropRecord record;
    record.point = point;
    record.keyState = keyState;
    record.data = data;
    if (m_target && m_target->GetDropHandler())
        m_target->GetDropHandler()(&record);
    else if (m_core && m_core->GetDropHandler())
        m_core->GetDropHandler()(&record);
    *answer = DROPEFFECT_NONE;
    if (record.lockedMemory)
        GlobalUnlock(record.lockedMemory);
    if (record.medium.tymed != TYMED_NULL)
        ReleaseStgMedium(&record.medium);
    // OLE sends no DragLeave after a drop: the drag ends here, so the target
    // loses its drag state and no pointer to it outlives the drag (it may be
    // deleted before the next one).
    m_data = nullptr;
    LeaveTarget();
    return S_OK;
}

Control* CDropTarget::FindDropControl(POINT client) const
{
    if (!m_core)
        return nullptr;
    return NearestDropControl(m_core->FindControlAtPoint(client.x, client.y));
}

void CDropTarget::SendDragEvent(Control* control, int type, POINT client, DWORD keyState, DWORD* effect)
{
    InputEvent event;
    event.type = type;
    event.sender = control;
    event.timestamp = GetTickCount();
    event.point = client;
    event.wParam = keyState;
    event.lParam = reinterpret_cast<LPARAM>(effect);
    control->FireEvent(&event);
}

void CDropTarget::LeaveTarget()
{
    if (!m_target)
        return;
    Control* left = m_target;
    m_target = nullptr;
    DWORD ignored = DROPEFFECT_NONE;
    SendDragEvent(left, kEventDragLeave, POINT{0, 0}, 0, &ignored);
}

} // namespace ui
