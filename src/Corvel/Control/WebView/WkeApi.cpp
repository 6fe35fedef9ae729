#include "Corvel/Control/WebView/WkeApi.h"

#include <shlwapi.h>

namespace ui {
namespace wke {

namespace {

constexpr wchar_t kDllName[] = L"node.dll";
constexpr char kMissingExportText[] = "wke api not found";

const char* const kExportNames[] = {
#define CORVEL_WKE_NAME(name, called) #name,
    CORVEL_WKE_EXPORTS(CORVEL_WKE_NAME)
#undef CORVEL_WKE_NAME
};
static_assert(sizeof(kExportNames) / sizeof(kExportNames[0]) == kExportCount, "one name per entry");

// Process-wide: the DLL is loaded once and its table kept for the process.
struct EngineState {
    bool tried = false;
    HMODULE module = nullptr;
    void* entries[kExportCount] = {};
    int users = 0;
};

EngineState& State()
{
    static EngineState state;
    return state;
}

} // namespace

const char* ExportName(int index)
{
    return index >= 0 && index < kExportCount ? kExportNames[index] : nullptr;
}

std::wstring Engine::DefaultDllPath()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    PathRemoveFileSpecW(path);
    if (!PathAppendW(path, kDllName))
        return {};
    return path;
}

bool Engine::Load(const std::wstring& path)
{
    EngineState& state = State();
    if (state.tried)
        return state.module != nullptr;
    state.tried = true;
    state.module = LoadLibraryW(path.c_str());
    if (!state.module)
        return false;
    for (int i = 0; i < kExportCount; ++i) {
        state.entries[i] = reinterpret_cast<void*>(GetProcAddress(state.module, kExportNames[i]));
        if (!state.entries[i])
            MessageBoxA(nullptr, kMissingExportText, kExportNames[i], MB_OK);
    }
    return true;
}

bool Engine::IsLoaded() { return State().module != nullptr; }

void* Engine::Entry(Export which)
{
    const int index = static_cast<int>(which);
    return index >= 0 && index < kExportCount ? State().entries[index] : nullptr;
}

bool Engine::AddUser()
{
    EngineState& state = State();
    if (!state.module)
        return false;
    if (state.users == 0) {
        auto initialize = Get<wkeInitializeEx_t>(Export::wkeInitializeEx);
        if (!initialize)
            return false;
        initialize(nullptr);
    }
    ++state.users;
    return true;
}

void Engine::ReleaseUser()
{
    EngineState& state = State();
    if (state.users <= 0)
        return;
    if (--state.users == 0) {
        if (auto finalize = Get<wkeFinalize_t>(Export::wkeFinalize))
            finalize();
    }
}

int Engine::UserCountForTesting() { return State().users; }

} // namespace wke
} // namespace ui
