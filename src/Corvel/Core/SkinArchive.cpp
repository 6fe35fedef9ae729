#include "Corvel/Core/SkinArchive.h"

#include <cstdlib>
#include <cstring>

namespace {

struct SkinArchiveState {
    ArchiveHandle handle = nullptr;
    void* bytes = nullptr;
};

SkinArchiveState& State()
{
    static SkinArchiveState state;
    return state;
}

std::wstring& ResourcePath()
{
    static std::wstring path;
    return path;
}

} // namespace

ArchiveHandle GetSkinArchive()
{
    return State().handle;
}

bool OpenSkinArchive(const void* data, uint32_t size)
{
    CloseSkinArchive();
    if (data == nullptr || size == 0)
        return false;
    void* copy = std::malloc(size);
    if (copy == nullptr)
        return false;
    std::memcpy(copy, data, size);
    ArchiveHandle handle = OpenArchiveFromMemory(copy, size);
    if (handle == nullptr) {
        std::free(copy);
        return false;
    }
    SetSkinArchive(handle, copy);
    return true;
}

void SetSkinArchive(ArchiveHandle handle, void* bytes)
{
    CloseSkinArchive();
    State().handle = handle;
    State().bytes = bytes;
}

void CloseSkinArchive()
{
    SkinArchiveState& state = State();
    // The archive reads from the bytes: close it before freeing them.
    if (state.handle != nullptr)
        CloseArchive(state.handle);
    state.handle = nullptr;
    std::free(state.bytes);
    state.bytes = nullptr;
}

void SetUiResourcePath(const wchar_t* path)
{
    ResourcePath() = path ? path : L"";
}

const std::wstring& GetUiResourcePath()
{
    return ResourcePath();
}
