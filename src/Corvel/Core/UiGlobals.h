// The UI library's process-wide record of graphics services and window
// bookkeeping, filled by InitUiLibrary and emptied by ShutdownUiLibrary.
#pragma once

#include <windows.h>
#include <d2d1_1.h>
#include <dwrite.h>
#include <wincodec.h>

#include <vector>

namespace ui {

class WindowCore;

// Services that live in other modules register how to release themselves, so
// that shutdown can run its steps in order without this record depending on
// those modules. Each hook is set by its module when it first creates what it
// must release and is called at most once.
using ShutdownHook = void (*)();

struct UiProcessGlobals {
    // Instance used when windows and tooltips are created, and the one the
    // application finds its resources in.
    HINSTANCE hInstance;
    HINSTANCE hResourceInstance;

    // The skin archive and its bytes are kept by SkinArchive.h; shutdown
    // closes them first.

    ULONG_PTR gdiplusToken;

    // The Direct2D factory: ID2D1Factory1 when the system has it (then
    // d2dFactory1 holds the same object), else the first-version factory.
    ID2D1Factory* d2dFactory;
    ID2D1Factory1* d2dFactory1;
    IDWriteFactory* dwriteFactory;
    IWICImagingFactory* wicFactory;
    IWICImagingFactory2* wicFactory2;

    // Default render-target properties: BGRA premultiplied; the second copy
    // carries 96 DPI and is what render targets are created with.
    D2D1_PIXEL_FORMAT defaultPixelFormat;
    D2D1_RENDER_TARGET_PROPERTIES defaultTargetProps;

    // Shared pen (solid, width 1, red 220) created by the first window core
    // and kept until shutdown.
    HPEN sharedPen;

    // Private font collections and their DirectWrite loaders.
    ShutdownHook releasePrivateFonts;
    // Web-content runtime module, loaded by the web view on first use.
    HMODULE webRuntimeModule;

    // Window cores bound to a window (walked by the idle tick) and those that
    // take part in message pre-translation.
    std::vector<WindowCore*> boundCores;
    std::vector<WindowCore*> translateCores;

    // Set once InitUiLibrary has run and cleared by ShutdownUiLibrary.
    bool started;
};

UiProcessGlobals& UiGlobals();

} // namespace ui

// First call of the application's entry point; never fails as a whole: a
// service that cannot be created stays null.
void InitUiLibrary(HINSTANCE instance);
// Last call of the application; releases everything InitUiLibrary made.
void ShutdownUiLibrary();
