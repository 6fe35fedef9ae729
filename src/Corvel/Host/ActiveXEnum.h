// IEnumUnknown over exactly one object (a hosted ActiveX object). Reference
// counted; the last Release releases the object and deletes the enumerator.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include "Corvel/Host/ComObject.h"

namespace ui {

class CActiveXEnum : public ComObject<IEnumUnknown> {
public:
    // Keeps a reference to `object` (may be null: nothing to enumerate).
    explicit CActiveXEnum(IUnknown* object);

    HRESULT STDMETHODCALLTYPE Next(ULONG count, IUnknown** out, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumUnknown** out) override;

private:
    virtual ~CActiveXEnum() = default;

    ULONG m_position = 0;
    Microsoft::WRL::ComPtr<IUnknown> m_object;
};

} // namespace ui
