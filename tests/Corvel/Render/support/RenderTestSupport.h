// The UI library fixture and plain windows for the rendering tests; pixel
// read-back and screenshots are in support/Pixels.h.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "Corvel/Render/RenderTarget.h"
#include "support/Pixels.h"

namespace rendertest {

// Starts the UI library for each test and shuts it down after.
class UiLibraryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// A plain top-level test window (popup, no frame, so client == window).
class PlainWindow {
public:
    PlainWindow(int x, int y, int width, int height, DWORD exStyle = 0, DWORD style = WS_POPUP | WS_VISIBLE);
    ~PlainWindow();
    PlainWindow(const PlainWindow&) = delete;
    PlainWindow& operator=(const PlainWindow&) = delete;
    HWND hwnd() const { return m_hwnd; }

private:
    HWND m_hwnd;
};

// A shown popup and a render target over it, to draw frames and read back
// the exact pixels of the surface (premultiplied ARGB).
class DrawingSurface {
public:
    DrawingSurface(int width, int height);
    ui::RenderTarget& target() { return m_target; }
    // One frame over a fully cleared (transparent) surface.
    void Frame(const std::function<void(ui::RenderTarget&)>& draw);
    testsupport::PixelImage Read() { return testsupport::ReadTargetPixels(m_target); }

private:
    PlainWindow m_window;
    ui::RenderTarget m_target;
    int m_width;
    int m_height;
};

// Whether Direct2D on this system leaves gaps in a dashed line (Wine draws
// every dash style solid).
bool PlatformDrawsDashes();
// Whether a bitmap can copy pixels from a render target (Wine: E_NOTIMPL).
bool PlatformCopiesFromTarget();

} // namespace rendertest
