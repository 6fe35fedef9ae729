// The IDataObject of a control dragged out of its window: the formats and
// media given to SetData, answered by GetData as copies. Reference counted;
// the last Release releases every stored medium and deletes it. UI thread.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include <vector>

#include "Corvel/Host/ComObject.h"

namespace ui {

// Copies `source` into `copy` for clipboard format `format`: global memory,
// GDI objects, metafiles and file names are duplicated, streams and storages
// shared; the release object is shared. E_OUTOFMEMORY when a duplicate cannot
// be made, DV_E_TYMED for an unknown medium; `copy` is then TYMED_NULL.
HRESULT CopyStgMedium(const STGMEDIUM& source, CLIPFORMAT format, STGMEDIUM& copy);

class CIDataObject : public ComObject<IDataObject> {
public:
    // Keeps a reference to `source` (may be null) for the object's lifetime.
    explicit CIDataObject(IDropSource* source);

    // IDataObject
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    // With `release` the object takes `medium` over; without, it stores a
    // copy and the caller keeps its own.
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override;
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override;
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override;

private:
    virtual ~CIDataObject();

    Microsoft::WRL::ComPtr<IDropSource> m_source;
    // Index i of one list belongs to index i of the other.
    std::vector<FORMATETC> m_formats;
    std::vector<STGMEDIUM> m_media;
};

} // namespace ui
