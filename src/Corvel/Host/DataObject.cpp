#include "Corvel/Host/DataObject.h"

#include "Corvel/Host/EnumFormatEtc.h"

namespace ui {

HRESULT CopyStgMedium(const STGMEDIUM& source, CLIPFORMAT format, STGMEDIUM& copy)
{
    copy = STGMEDIUM{};
    switch (source.tymed) {
    case TYMED_HGLOBAL:
    case TYMED_GDI:
    case TYMED_MFPICT:
    case TYMED_ENHMF:
        // The handles share the union: one duplicate serves all four.
        copy.hGlobal = static_cast<HGLOBAL>(OleDuplicateData(source.hGlobal, format, 0));
        if (!copy.hGlobal)
            return E_OUTOFMEMORY;
        break;
    case TYMED_FILE: {
        if (!source.lpszFileName)
            return E_INVALIDARG;
        const size_t bytes = (wcslen(source.lpszFileName) + 1) * sizeof(wchar_t);
        copy.lpszFileName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (!copy.lpszFileName)
            return E_OUTOFMEMORY;
        memcpy(copy.lpszFileName, source.lpszFileName, bytes);
        break;
    }
    case TYMED_ISTREAM:
    case TYMED_ISTORAGE:
        copy.pstm = source.pstm; // same slot for the storage
        if (copy.pstm)
            copy.pstm->AddRef();
        break;
    default:
        return DV_E_TYMED;
    }
    copy.tymed = source.tymed;
    copy.pUnkForRelease = source.pUnkForRelease;
    if (copy.pUnkForRelease)
        copy.pUnkForRelease->AddRef();
    return S_OK;
}

CIDataObject::CIDataObject(IDropSource* source) : m_source(source) {}

CIDataObject::~CIDataObject()
{
    for (STGMEDIUM& medium : m_media)
        ReleaseStgMedium(&medium);
}

HRESULT STDMETHODCALLTYPE CIDataObject::GetData(FORMATETC* format, STGMEDIUM* medium)
{
    if (!format || !medium)
        return E_INVALIDARG;
    for (size_t i = 0; i < m_formats.size(); ++i) {
        const FORMATETC& stored = m_formats[i];
        if ((stored.tymed & format->tymed) && stored.dwAspect == format->dwAspect &&
            stored.cfFormat == format->cfFormat)
            return CopyStgMedium(m_media[i], stored.cfFormat, *medium);
    }
    return DV_E_FORMATETC;
}

HRESULT STDMETHODCALLTYPE CIDataObject::GetDataHere(FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CIDataObject::QueryGetData(FORMATETC* format)
{
    if (!format)
        return E_INVALIDARG;
    if (!(format->dwAspect & DVASPECT_CONTENT))
        return DV_E_DVASPECT;
    HRESULT answer = DV_E_TYMED;
    for (const FORMATETC& stored : m_formats) {
        if (stored.tymed & format->tymed) {
            if (stored.cfFormat == format->cfFormat)
                return S_OK;
            answer = DV_E_CLIPFORMAT;
        } else {
            answer = DV_E_TYMED;
        }
    }
    return answer;
}

HRESULT STDMETHODCALLTYPE CIDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out)
{
    if (!out)
        return E_INVALIDARG;
    return DATA_S_SAMEFORMATETC;
}

HRESULT STDMETHODCALLTYPE CIDataObject::SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release)
{
    if (!format || !medium)
        return E_INVALIDARG;
    STGMEDIUM stored{};
    if (release) {
        stored = *medium;
    } else {
        const HRESULT hr = CopyStgMedium(*medium, format->cfFormat, stored);
        if (FAILED(hr))
            return hr;
    }
    FORMATETC record = *format;
    record.ptd = nullptr; // the caller's device record is not ours to keep
    m_formats.push_back(record);
    m_media.push_back(stored);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CIDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out)
{
    if (!out)
        return E_POINTER;
    if (direction != DATADIR_GET) {
        *out = nullptr;
        return E_NOTIMPL;
    }
    *out = new CEnumFormatEtc(m_formats);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CIDataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*)
{
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT STDMETHODCALLTYPE CIDataObject::DUnadvise(DWORD) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CIDataObject::EnumDAdvise(IEnumSTATDATA**) { return OLE_E_ADVISENOTSUPPORTED; }

} // namespace ui
