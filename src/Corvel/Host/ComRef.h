// Taking over the first reference of a COM object made with new.
#pragma once

#include <wrl/client.h>

namespace ui {

// A ComPtr that owns the reference `fresh` was created with (count 1), with
// no reference added. mingw-w64's ComPtr::Attach adds one (the SDK's does
// not), so a new object given to Attach would never be deleted.
template <typename T>
Microsoft::WRL::ComPtr<T> AdoptComRef(T* fresh)
{
    Microsoft::WRL::ComPtr<T> owner(fresh); // adds a reference
    if (fresh)
        fresh->Release(); // back to the creation's one, now the owner's
    return owner;
}

} // namespace ui
