// IUnknown for a COM object of ours that implements one interface: a
// thread-safe reference count that starts at 1 (the creator's reference) and
// deletes the object at 0, and QueryInterface for IUnknown and `Interface`.
// Hand a new object to its first owner with AdoptComRef (ComRef.h).
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace ui {

template <typename Interface>
class ComObject : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, __uuidof(Interface)))
            return E_NOINTERFACE;
        *out = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&m_refs);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

protected:
    ComObject() = default;
    // Only Release deletes: the objects live on their references.
    virtual ~ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

private:
    LONG m_refs = 1;
};

} // namespace ui
