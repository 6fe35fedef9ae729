// Reference counting for the layer's own COM objects handed to the engine.
// An object starts with one reference, owned by whoever made it (a ComPtr
// through AdoptNew); the last Release deletes it.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <atomic>

namespace sevenzip {

class RefCount {
public:
    ULONG Add() noexcept { return ++m_count; }
    // The references left; 0 means the owner must delete itself.
    ULONG Drop() noexcept { return --m_count; }

private:
    std::atomic<ULONG> m_count{1};
};

// Takes over the first reference of a newly made object. (mingw-w64's
// ComPtr::Attach adds a reference of its own, unlike the SDK's, and would
// leak the object; it is not used here.)
template <typename T>
Microsoft::WRL::ComPtr<T> AdoptNew(T* object)
{
    Microsoft::WRL::ComPtr<T> owner;
    *owner.GetAddressOf() = object;
    return owner;
}

} // namespace sevenzip

// The three IUnknown methods of a class with a RefCount member m_refs whose
// QueryInterface body is the class's own FindInterface(iid) -> void*.
#define SEVENZIP_IUNKNOWN_METHODS                                                              \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override      \
    {                                                                                          \
        if (object == nullptr)                                                                 \
            return E_POINTER;                                                                  \
        *object = FindInterface(iid);                                                          \
        if (*object == nullptr)                                                                \
            return E_NOINTERFACE;                                                              \
        AddRef();                                                                              \
        return S_OK;                                                                           \
    }                                                                                          \
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return m_refs.Add(); }                \
    ULONG STDMETHODCALLTYPE Release() noexcept override                                        \
    {                                                                                          \
        const ULONG left = m_refs.Drop();                                                      \
        if (left == 0)                                                                         \
            delete this;                                                                       \
        return left;                                                                           \
    }
