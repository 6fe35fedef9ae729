#include "Corvel/Control/ListHeader.h"

#include <cwchar>

namespace ui {

ListHeader::ListHeader() = default;

ListHeader::~ListHeader() = default;

const wchar_t* ListHeader::GetClassName() const { return L"ListHeader"; }

void* ListHeader::CastTo(const wchar_t* typeName)
{
    if (wcscmp(typeName, L"ListHeader") == 0 || wcscmp(typeName, L"HBox") == 0)
        return this;
    return HBox::CastTo(typeName);
}

} // namespace ui
