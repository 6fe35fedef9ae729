// IEnumFORMATETC over its own copy of a list of formats. Reference counted;
// the last Release deletes it. UI thread.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <vector>

#include "Corvel/Host/ComObject.h"

namespace ui {

class CEnumFormatEtc : public ComObject<IEnumFORMATETC> {
public:
    // Copies `formats` (target devices are not carried over).
    CEnumFormatEtc(const std::vector<FORMATETC>& formats, size_t position = 0);

    // IEnumFORMATETC
    HRESULT STDMETHODCALLTYPE Next(ULONG count, FORMATETC* out, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** out) override;

private:
    virtual ~CEnumFormatEtc() = default;

    std::vector<FORMATETC> m_formats;
    size_t m_position = 0;
};

} // namespace ui
