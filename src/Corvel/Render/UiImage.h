// Image descriptors and decoded images.
//
// CUiImage is what a skin writes for an image ("logo.png", or key='value'
// pairs such as file='res/a.png' dest='0,0,16,16' corner='4,4,4,4'): the
// text, its parsed settings, and a small layout cache that maps a decoded
// image onto a destination rectangle. tagTImageInfo is the decoded image the
// window core's image table keeps under the descriptor's cache key.
//
// Every length of a descriptor is in unscaled (96 DPI) units; the drawing
// scales them. UI thread only.
#pragma once

#include <windows.h>
#include <d2d1.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Corvel/Core/UiString.h"
#include "Corvel/Core/UiTypes.h"

namespace ui {

// The descriptor text is the string part, exactly as the skin wrote it.
class CUiImage : public CUiString {
public:
    // Cache validity of a network picture when the descriptor gives none.
    static constexpr uint64_t kDefaultLifeSeconds = 86400;

    CUiImage();
    explicit CUiImage(const CUiString& text);
    explicit CUiImage(const wchar_t* text);
    CUiImage(const CUiImage& other);
    // Reset, then Parse of the other's text with this image's destination.
    CUiImage& operator=(const CUiImage& other);

    // Clears the layout and geometry settings (source, grid, destinations,
    // corners, sizes) and sets life to one day; text, file name, tiling,
    // colours, fade, style sheet and option suffix stay.
    void Reset();
    // Reads a descriptor; the destination is the rectangle it is laid out in
    // (the control's). Null does nothing. Settings the text does not name
    // keep their values.
    void Parse(const wchar_t* text, float left = 0, float top = 0, float right = 0, float bottom = 0);
    // Parse with the current destination, without Reset.
    void SetDescriptor(const wchar_t* text);

    // File name followed by the option suffix: images with the same key share
    // one decoded image.
    CUiString GetCacheKey() const;

    // Lays the image out: which part of it is the source and where inside
    // `dest` it lands. Image size in unscaled pixels (0 or less: unknown).
    // Returns at once when nothing changed since the last layout.
    void UpdateLayout(float imageWidth, float imageHeight, const RECTF& dest);
    // The same with the destination's own size standing for the image size;
    // the source is kept.
    void UpdateLayoutForRect(const RECTF& dest);
    // The computed destination when it is not empty, else the destination.
    RECTF GetDestRect() const;
    // False when the source grid names a cell past its column or row count
    // (or before the first): that cell has no pixels and draws nothing.
    bool IsSourceCellValid() const { return m_cellValid; }

    const CUiString& GetFileName() const { return m_fileName; }
    const CUiString& GetOptionSuffix() const { return m_optionSuffix; }
    bool IsTileX() const { return m_tileX; }
    bool IsTileY() const { return m_tileY; }
    bool IsNetImage() const { return m_netImage; }
    bool IsLayoutDirty() const { return m_layoutDirty; }
    void SetLayoutDirty() { m_layoutDirty = true; }
    bool IsAutoSource() const { return m_autoSource; }
    int32_t GetFrame() const { return m_frame; }
    // Index of the frame of a multi-frame image to draw.
    void SetFrame(int32_t frame) { m_frame = frame; }
    // Milliseconds between frames (0: not given).
    uint32_t GetInterval() const { return m_interval; }
    // Seconds for all frames (0: not given).
    uint32_t GetDuration() const { return m_duration; }
    uint64_t GetLife() const { return m_life; }
    float GetBlur() const { return m_blur; }
    uint32_t GetFillColor() const { return m_fillColor; }
    uint32_t GetStrokeColor() const { return m_strokeColor; }
    // UTF-8 text of the "css" style sheet.
    const std::string& GetStyleSheet() const { return m_styleSheet; }
    uint8_t GetFade() const { return m_fade; }
    const RECTF& GetDestination() const { return m_dest; }
    const RECTF& GetSource() const { return m_source; }
    // Columns, column, rows, row (column and row count from 1).
    const float* GetSourceGrid() const { return m_grid; }
    const RECTF& GetComputedDest() const { return m_computedDest; }
    // x percent, y percent, x offset, y offset.
    const float* GetRelativeDest() const { return m_relDest; }
    bool IsWidthPercent() const { return m_widthPercent != 0; }
    bool IsHeightPercent() const { return m_heightPercent != 0; }
    float GetX() const { return m_x; }
    float GetY() const { return m_y; }
    // -1 when "dest" omits them, 0 when no "dest" was read.
    float GetWidth() const { return m_width; }
    float GetHeight() const { return m_height; }
    // Nine-grid margins: left, top, right, bottom.
    const RECTF& GetCorners() const { return m_corners; }
    float GetDisplayWidth() const { return m_displayWidth; }
    float GetDisplayHeight() const { return m_displayHeight; }

private:
    void ApplyPair(const CUiString& key, const CUiString& value);
    void ParseDest(const wchar_t* value);
    void Layout(float imageWidth, float imageHeight, const RECTF& dest, bool keepSource);
    void LayoutAxis(float imageSize, float gridCount, float gridIndex, float& sourceStart, float& sourceEnd,
                    float& lastSize, float& displaySize);

    bool m_tileX = false;
    bool m_tileY = false;
    bool m_netImage = false;
    bool m_layoutDirty = true;
    bool m_autoSource = false;
    bool m_cellValid = true;
    int32_t m_frame = 0;
    uint32_t m_interval = 0;
    uint32_t m_duration = 0;
    uint64_t m_life = kDefaultLifeSeconds;
    float m_blur = 0.0f;
    uint32_t m_fillColor = 0;
    uint32_t m_strokeColor = 0;
    std::string m_styleSheet;
    uint8_t m_fade = 255;
    float m_displayWidth = 0.0f, m_displayHeight = 0.0f;
    float m_lastWidth = 0.0f, m_lastHeight = 0.0f;
    RECTF m_dest;
    RECTF m_source;
    float m_grid[4] = {0, 0, 0, 0};
    RECTF m_computedDest;
    float m_relDest[4] = {0, 0, 0, 0};
    int32_t m_widthPercent = 0;
    int32_t m_heightPercent = 0;
    float m_x = 0.0f, m_y = 0.0f;
    float m_width = 0.0f, m_height = 0.0f;
    RECTF m_corners;
    CUiString m_fileName;
    CUiString m_optionSuffix;
};

// A decoded image: one premultiplied BGRA bitmap per frame, all of one size,
// created on a window's render target (the bitmaps belong to its device).
struct tagTImageInfo {
    // Set for images decoded from bytes (network pictures among them); a
    // forced reload drops them, since no file can bring them back.
    bool fromMemory = false;
    // Size of every frame in pixels (for icons: the size of the last image).
    int width = 0;
    int height = 0;
    // DPI the pixels were made for (96, or the window's when a scale-specific
    // file or a scaled SVG was loaded).
    unsigned imageDpi = 96;
    // DPI of the window the image was last loaded or confirmed for.
    unsigned targetDpi = 96;
    // Frame to draw; DrawImage copies it from the descriptor.
    int currentFrame = 0;
    // Milliseconds per frame, one entry per frame.
    std::vector<int> delays;
    // Colours and style sheet (UTF-8) an SVG was rendered with, so it can be
    // rendered again at another scale; 0 and empty otherwise.
    uint32_t fillColor = 0;
    uint32_t strokeColor = 0;
    std::string styleSheet;
    std::vector<Microsoft::WRL::ComPtr<ID2D1Bitmap>> frames;

    tagTImageInfo() = default;
    virtual ~tagTImageInfo() = default;
    tagTImageInfo(const tagTImageInfo&) = delete;
    tagTImageInfo& operator=(const tagTImageInfo&) = delete;

    int FrameCount() const { return static_cast<int>(frames.size()); }
    // Adds a frame with its delay.
    void AddFrame(Microsoft::WRL::ComPtr<ID2D1Bitmap> bitmap, int delayMs);
};

} // namespace ui
