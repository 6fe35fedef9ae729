#include "Corvel/Host/ActiveXEnum.h"

namespace ui {

CActiveXEnum::CActiveXEnum(IUnknown* object) : m_object(object) {}

HRESULT STDMETHODCALLTYPE CActiveXEnum::QueryInterface(REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumUnknown)) {
        *out = static_cast<IEnumUnknown*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CActiveXEnum::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }

ULONG STDMETHODCALLTYPE CActiveXEnum::Release()
{
    const LONG left = InterlockedDecrement(&m_refs);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE CActiveXEnum::Next(ULONG, IUnknown** out, ULONG* fetched)
{
    if (fetched)
        *fetched = 0;
    ++m_position;
    if (m_position > 1 || !out || !m_object)
        return S_FALSE;
    *out = m_object.Get();
    (*out)->AddRef();
    if (fetched)
        *fetched = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXEnum::Skip(ULONG count)
{
    m_position += count;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXEnum::Reset()
{
    m_position = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CActiveXEnum::Clone(IEnumUnknown**) { return E_NOTIMPL; }

} // namespace ui
