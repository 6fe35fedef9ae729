#include "Corvel/Host/ActiveXEnum.h"

namespace ui {

CActiveXEnum::CActiveXEnum(IUnknown* object) : m_object(object) {}

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
