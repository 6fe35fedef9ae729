// Image descriptor: parsing of the key='value' text and the layout that maps
// a decoded image onto a destination.
#include "Corvel/Render/UiImage.h"

#include <cwchar>
#include <cstdlib>

#include "Corvel/Core/MurmurHash3.h"
#include "Corvel/Core/StringConv.h"

namespace ui {

namespace {

// Characters up to the space are separators between pairs.
constexpr wchar_t kLastBlank = L' ';
constexpr int kPercentBase = 100;

bool IsBlank(wchar_t ch) { return ch != L'\0' && ch <= kLastBlank; }

// Up to `count` base-10 integers separated by single characters, as wcstol
// reads them; items missing at the end leave their slots unchanged.
void ReadIntegers(const wchar_t* text, float* out, int count)
{
    const wchar_t* p = text;
    for (int i = 0; i < count && p && *p; ++i) {
        wchar_t* end = nullptr;
        out[i] = static_cast<float>(wcstol(p, &end, 10));
        if (end == p)
            return;
        p = end;
        if (*p)
            ++p;
    }
}

} // namespace

void tagTImageInfo::AddFrame(Microsoft::WRL::ComPtr<ID2D1Bitmap> bitmap, int delayMs)
{
    frames.push_back(std::move(bitmap));
    delays.push_back(delayMs);
}

CUiImage::CUiImage() { Reset(); }

CUiImage::CUiImage(const CUiString& text) : CUiImage() { Parse(text.GetData()); }

CUiImage::CUiImage(const wchar_t* text) : CUiImage() { Parse(text); }

CUiImage::CUiImage(const CUiImage& other) : CUiImage() { *this = other; }

CUiImage& CUiImage::operator=(const CUiImage& other)
{
    if (this == &other)
        return *this;
    RECTF dest = m_dest;
    Reset();
    // Copied before parsing: the other's text may be replaced meanwhile.
    CUiString text(other);
    Parse(text.GetData(), dest.left, dest.top, dest.right, dest.bottom);
    m_frame = other.m_frame;
    return *this;
}

void CUiImage::Reset()
{
    m_autoSource = false;
    m_cellValid = true;
    m_dest.Clear();
    m_source.Clear();
    for (float& v : m_grid)
        v = 0;
    m_computedDest.Clear();
    for (float& v : m_relDest)
        v = 0;
    m_widthPercent = m_heightPercent = 0;
    m_x = m_y = 0;
    m_width = m_height = 0;
    m_corners.Clear();
    m_displayWidth = m_displayHeight = 0;
    m_lastWidth = m_lastHeight = 0;
    m_life = kDefaultLifeSeconds;
}

void CUiImage::SetDescriptor(const wchar_t* text)
{
    RECTF d = m_dest;
    Parse(text, d.left, d.top, d.right, d.bottom);
}

void CUiImage::Parse(const wchar_t* text, float left, float top, float right, float bottom)
{
    if (!text)
        return;
    CUiString copy(text);  // `text` may be this string's own buffer
    Assign(copy.GetData());
    m_fileName.Assign(copy.GetData());
    m_dest = RECTF(left, top, right, bottom);
    m_optionSuffix.Empty();
    m_layoutDirty = true;

    const wchar_t* p = copy.GetData();
    for (;;) {
        while (IsBlank(*p))
            ++p;
        if (!*p)
            return;
        const wchar_t* keyStart = p;
        while (*p && *p != L'=' && *p > kLastBlank)
            ++p;
        CUiString key(keyStart, static_cast<int>(p - keyStart));
        while (IsBlank(*p))
            ++p;
        if (*p != L'=')
            return;
        ++p;
        while (IsBlank(*p))
            ++p;
        if (*p != L'\'')
            return;
        const wchar_t* valueStart = ++p;
        while (*p && *p != L'\'')
            ++p;
        if (*p != L'\'')
            return;
        CUiString value(valueStart, static_cast<int>(p - valueStart));
        ++p;
        ApplyPair(key, value);
    }
}

void CUiImage::ApplyPair(const CUiString& key, const CUiString& value)
{
    const wchar_t* v = value.GetData();
    if (key == L"file") {
        m_fileName = value;
    } else if (key == L"dest" || key == L"dst") {
        ParseDest(v);
    } else if (key == L"rdest" || key == L"rdst") {
        ReadIntegers(v, m_relDest, 4);
    } else if (key == L"source" || key == L"src") {
        float s[4] = {m_source.left, m_source.top, m_source.right, m_source.bottom};
        ReadIntegers(v, s, 4);
        m_source = RECTF(s[0], s[1], s[2], s[3]);
        m_autoSource = false;
    } else if (key == L"rsource" || key == L"rsrc") {
        ReadIntegers(v, m_grid, 4);
    } else if (key == L"corner") {
        float c[4] = {m_corners.left, m_corners.top, m_corners.right, m_corners.bottom};
        ReadIntegers(v, c, 4);
        m_corners = RECTF(c[0], c[1], c[2], c[3]);
    } else if (key == L"fade") {
        m_fade = static_cast<uint8_t>(wcstol(v, nullptr, 10));
    } else if (key == L"xtile") {
        m_tileX = value == L"true";
    } else if (key == L"ytile") {
        m_tileY = value == L"true";
    } else if (key == L"net") {
        m_netImage = true;
    } else if (key == L"life") {
        m_life = wcstoull(v, nullptr, 10);
    } else if (key == L"interval") {
        m_interval = static_cast<uint32_t>(wcstoul(v, nullptr, 10));
    } else if (key == L"duration") {
        m_duration = static_cast<uint32_t>(wcstoul(v, nullptr, 10));
    } else if (key == L"blur") {
        m_blur = static_cast<float>(wcstod(v, nullptr));
    } else if (key == L"strokecolor" || key == L"fillcolor") {
        uint32_t color = static_cast<uint32_t>(wcstoul(v, nullptr, 16));
        (key == L"fillcolor" ? m_fillColor : m_strokeColor) = color;
        m_optionSuffix.Append(v);
    } else if (key == L"css") {
        // UTF-8: the style sheet's text reaches the SVG layer whole, whatever
        // the system's ANSI code page is.
        m_styleSheet = WideToUtf8String(v);
        m_optionSuffix.Append(MurmurHash3Hex(v).c_str());
    }
}

// x, y, width, height, x offset, y offset; x, y, width and height may carry
// "%". The offsets count only for a percentage position.
void CUiImage::ParseDest(const wchar_t* value)
{
    m_width = -1;
    m_height = -1;
    const wchar_t* p = value;
    for (int item = 0; item < 6 && *p; ++item) {
        wchar_t* end = nullptr;
        float number = static_cast<float>(wcstol(p, &end, 10));
        if (end == p)
            break;
        p = end;
        bool percent = *p == L'%';
        if (percent)
            ++p;
        switch (item) {
        case 0:
            (percent ? m_relDest[0] : m_x) = number;
            break;
        case 1:
            (percent ? m_relDest[1] : m_y) = number;
            break;
        case 2:
            m_width = number;
            m_widthPercent = percent ? 1 : 0;
            break;
        case 3:
            m_height = number;
            m_heightPercent = percent ? 1 : 0;
            break;
        case 4:
            if (m_relDest[0] != 0)
                m_relDest[2] = number;
            break;
        case 5:
            if (m_relDest[1] != 0)
                m_relDest[3] = number;
            break;
        }
        while (*p && *p != L',')
            ++p;
        if (*p == L',')
            ++p;
    }
    if (m_relDest[0] == 0) {
        m_computedDest.left = m_dest.left + m_x;
        m_computedDest.right = m_computedDest.left + m_width;
    }
    if (m_relDest[1] == 0) {
        m_computedDest.top = m_dest.top + m_y;
        m_computedDest.bottom = m_computedDest.top + m_height;
    }
    // An SVG is rendered at its destination size: that size is part of the key.
    if (m_fileName.Find(L".svg") >= 0) {
        CUiString compact(value);
        compact.Replace(L",", L"");
        m_optionSuffix.Append(compact.GetData());
    }
}

CUiString CUiImage::GetCacheKey() const
{
    CUiString key(m_fileName);
    if (!m_optionSuffix.IsEmpty())
        key.Append(m_optionSuffix.GetData());
    return key;
}

RECTF CUiImage::GetDestRect() const
{
    if (m_computedDest.left != m_computedDest.right && m_computedDest.top != m_computedDest.bottom)
        return m_computedDest;
    return m_dest;
}

void CUiImage::UpdateLayout(float imageWidth, float imageHeight, const RECTF& dest)
{
    Layout(imageWidth, imageHeight, dest, false);
}

void CUiImage::UpdateLayoutForRect(const RECTF& dest) { Layout(dest.Width(), dest.Height(), dest, true); }

void CUiImage::LayoutAxis(float imageSize, float gridCount, float gridIndex, float& sourceStart, float& sourceEnd,
                          float& lastSize, float& displaySize)
{
    displaySize = sourceEnd - sourceStart;
    if (displaySize != 0)
        return;
    m_autoSource = true;
    sourceStart = 0;
    lastSize = displaySize = imageSize;
    if (gridCount != 0 && gridIndex != 0) {
        displaySize = imageSize / gridCount;
        sourceStart = (gridIndex - 1) * displaySize;
        if (gridIndex < 1 || gridIndex > gridCount || gridCount < 0)
            m_cellValid = false;
    }
    sourceEnd = sourceStart + displaySize;
}

void CUiImage::Layout(float imageWidth, float imageHeight, const RECTF& dest, bool keepSource)
{
    bool sameWidth = imageWidth <= 0 || m_lastWidth <= 0 || imageWidth == m_lastWidth;
    bool sameHeight = imageHeight <= 0 || m_lastHeight <= 0 || imageHeight == m_lastHeight;
    if (!m_layoutDirty && !m_dest.IsEmpty() && dest == m_dest && sameWidth && sameHeight)
        return;
    m_layoutDirty = false;
    m_dest = dest;
    if (!keepSource && (!sameWidth || !sameHeight) && m_autoSource)
        m_source.Clear();
    if (m_source.right - m_source.left == 0 || m_source.bottom - m_source.top == 0)
        m_cellValid = true;

    LayoutAxis(imageWidth, m_grid[0], m_grid[1], m_source.left, m_source.right, m_lastWidth, m_displayWidth);
    LayoutAxis(imageHeight, m_grid[2], m_grid[3], m_source.top, m_source.bottom, m_lastHeight, m_displayHeight);

    float w = m_displayWidth;
    if (m_width > 0)
        w = m_widthPercent ? dest.Width() * m_width / kPercentBase : m_width;
    float h = m_displayHeight;
    if (m_height > 0)
        h = m_heightPercent ? dest.Height() * m_height / kPercentBase : m_height;

    float left = m_relDest[0] == 0 ? dest.left + m_x
                                   : (dest.Width() - w) * m_relDest[0] / kPercentBase + dest.left + m_relDest[2];
    float top = m_relDest[1] == 0 ? dest.top + m_y
                                  : (dest.Height() - h) * m_relDest[1] / kPercentBase + dest.top + m_relDest[3];
    float right = left + w;
    float bottom = top + h;
    if (right > dest.right)
        right = dest.right;
    if (bottom > dest.bottom)
        bottom = dest.bottom;
    m_computedDest = RECTF(left, top, right, bottom);
}

} // namespace ui
