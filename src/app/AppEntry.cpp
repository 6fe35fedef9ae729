#include "app/AppEntry.h"

#include <mmsystem.h>

#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/UiGlobals.h"
#include "app/MainLoop.h"

namespace {

// Timer resolution for the loop's 1 ms waits and the 16 ms tick.
constexpr UINT kTimerPeriodMs = 1;

} // namespace

bool LoadSkinArchiveResource(HINSTANCE instance)
{
    if (GetSkinArchive())
        return true;
    ui::UiGlobals().hResourceInstance = instance;
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(kSkinResourceId), kSkinResourceType);
    if (!resource)
        return false;
    HGLOBAL loaded = LoadResource(instance, resource);
    const DWORD size = SizeofResource(instance, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    // OpenSkinArchive keeps its own copy of the bytes.
    return bytes && size > 0 && OpenSkinArchive(bytes, size);
}

int RunInstallerEntry(HINSTANCE instance, const std::wstring& commandLine, const InstallerStages& stages)
{
    InitUiLibrary(instance);
    LoadSkinArchiveResource(instance);
    if (stages.startUp)
        stages.startUp(instance, commandLine);
    timeBeginPeriod(kTimerPeriodMs);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);

    RunMainLoop(UiLibraryLoopHooks());

    timeEndPeriod(kTimerPeriodMs);
    if (stages.shutDown)
        stages.shutDown();
    ShutdownUiLibrary();
    return 0;
}
