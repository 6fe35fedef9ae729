#include "app/SevenZip/Library.h"

#include "app/SevenZip/ExtractError.h"

namespace sevenzip {

Library::Library(const std::wstring& path)
{
    m_module.reset(LoadLibraryW(path.c_str()));
    if (!m_module)
        throw ExtractError("cannot load the engine library", path, LastErrorResult());
    FARPROC proc = GetProcAddress(m_module.get(), "CreateObject");
    if (proc == nullptr)
        throw ExtractError("the engine library has no CreateObject", path, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
    m_createObject = reinterpret_cast<CreateObjectFn>(reinterpret_cast<void*>(proc));
}

Library::~Library() = default;

HRESULT Library::CreateObject(const GUID& classId, const GUID& interfaceId, void** object) const
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    return m_createObject(&classId, &interfaceId, object);
}

} // namespace sevenzip
