#include "Corvel/Host/EnumFormatEtc.h"

namespace ui {

CEnumFormatEtc::CEnumFormatEtc(const std::vector<FORMATETC>& formats, size_t position)
    : m_formats(formats), m_position(position)
{
    for (FORMATETC& f : m_formats)
        f.ptd = nullptr; // the list's devices belong to its owner
}

HRESULT STDMETHODCALLTYPE CEnumFormatEtc::Next(ULONG count, FORMATETC* out, ULONG* fetched)
{
    if (count == 0 || !out || m_position >= m_formats.size() || (!fetched && count != 1))
        return S_FALSE;
    ULONG copied = 0;
    while (copied < count && m_position < m_formats.size())
        out[copied++] = m_formats[m_position++];
    if (fetched)
        *fetched = copied;
    return copied == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumFormatEtc::Skip(ULONG count)
{
    if (m_position + count >= m_formats.size())
        return S_FALSE;
    m_position += count;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumFormatEtc::Reset()
{
    m_position = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumFormatEtc::Clone(IEnumFORMATETC** out)
{
    if (!out)
        return E_POINTER;
    *out = new CEnumFormatEtc(m_formats, m_position);
    return S_OK;
}

} // namespace ui
