// Windows, pixel read-back and screenshots for the rendering tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace ui {
class RenderTarget;
}

namespace rendertest {

// Starts the UI library for each test and shuts it down after.
class UiLibraryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// A plain top-level test window (popup, no frame, so client == window).
class TestWindow {
public:
    TestWindow(int x, int y, int width, int height, DWORD exStyle = 0, DWORD style = WS_POPUP | WS_VISIBLE);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND hwnd() const { return m_hwnd; }

private:
    HWND m_hwnd;
};

// Pumps pending messages of this thread.
void PumpMessages();

// 32-bit pixels, row 0 at the top; each is 0xAARRGGBB as stored (premultiplied
// where the source is).
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> data;
    uint32_t At(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
};

// Copies the bitmap selected into a DC.
Pixels ReadDcBitmap(HDC hdc);
// The render target's own surface, read through its GDI interop inside a
// frame of its own (nothing is cleared).
Pixels ReadTargetPixels(ui::RenderTarget& target);
// What the window shows, copied from its DC: the client area, or with
// wholeWindow the entire window rectangle (frame included).
Pixels ReadWindowPixels(HWND hwnd, bool wholeWindow = false);
// What the screen shows in a rectangle (screen coordinates). Under Wine this
// is where the content given to UpdateLayeredWindow can be seen (a layered
// window's own DC does not carry it); with nothing behind, a pixel reads as
// its premultiplied colour.
Pixels ReadScreenPixels(const RECT& r);
// Channels of a pixel.
inline int A(uint32_t p) { return static_cast<int>(p >> 24); }
inline int R(uint32_t p) { return static_cast<int>((p >> 16) & 0xFF); }
inline int G(uint32_t p) { return static_cast<int>((p >> 8) & 0xFF); }
inline int B(uint32_t p) { return static_cast<int>(p & 0xFF); }
// Opaque RGB only (alpha ignored).
inline uint32_t Rgb(uint32_t p) { return p & 0xFFFFFF; }

// Writes the pixels as a PNG through WIC; false on failure.
bool SavePng(const Pixels& px, const std::wstring& path);
// The folder for artifacts a person looks at (created when missing).
std::wstring ArtifactsDir();

} // namespace rendertest
