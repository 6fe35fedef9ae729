// SVG images: a document from the skin archive or the disk, recoloured with
// style-sheet rules and rendered at the size a window needs.
#include "Corvel/Render/ImageDecoder.h"

#include <cmath>
#include <cstdio>

#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Render/ImageSources.h"
#include "Corvel/Render/Svg/SvgDocument.h"

namespace ui {

namespace {

constexpr float kBaseDpi = 96.0f;
constexpr float kMaxByte = 255.0f;
// Rendered over nothing: the picture's own alpha is kept.
constexpr uint32_t kTransparentBackground = 0;

// The document's bytes: an archive entry when the archive has the path,
// else the file on disk.
bool ReadSvgBytes(const std::wstring& path, std::string& bytes)
{
    if (ArchiveHandle archive = GetSkinArchive()) {
        ArchiveEntry entry{};
        int32_t index = -1;
        if (FindArchiveEntry(archive, path.c_str(), 0, &index, &entry) == ARCHIVE_OK)
            return ReadArchiveEntry(archive, entry, bytes);
    }
    std::wstring file;
    return ResolveDiskPath(path.c_str(), file) && ReadWholeFile(file, bytes);
}

// The path without what a cache key appends after ".svg".
std::wstring DocumentPath(const wchar_t* path)
{
    std::wstring p(path ? path : L"");
    size_t at = p.find(L".svg");
    if (at != std::wstring::npos)
        p.resize(at + 4);
    return p;
}

void Recolour(svg::Document& document, uint32_t strokeColor, uint32_t fillColor, const std::string& styleSheet)
{
    if (fillColor)
        document.ApplyStyleSheet(MakeSvgColorRule(fillColor, "fill"));
    if (strokeColor)
        document.ApplyStyleSheet(MakeSvgColorRule(strokeColor, "stroke"));
    if (!styleSheet.empty())
        document.ApplyStyleSheet(styleSheet);
}

// Pixels for a side in units at a DPI; 0 when it is none or past the cap.
int PixelSide(float units, float dpi)
{
    const double pixels = std::trunc(static_cast<double>(units) * dpi / kBaseDpi);
    if (!(pixels >= 1.0) || pixels > kMaxSvgPixels)
        return 0;
    return static_cast<int>(pixels);
}

} // namespace

ImagePtr LoadSvgImage(RenderTarget* target, const wchar_t* path, float dpi, float width, float height,
                      uint32_t strokeColor, uint32_t fillColor, const std::string& styleSheet)
{
    std::string bytes;
    if (!ReadSvgBytes(DocumentPath(path), bytes))
        return nullptr;
    CountImageDecode();
    std::unique_ptr<svg::Document> document = svg::Document::LoadFromData(bytes.data(), bytes.size());
    if (!document)
        return nullptr;
    Recolour(*document, strokeColor, fillColor, styleSheet);
    const int pixelWidth = PixelSide(width > 0 ? width : document->GetWidth(), dpi);
    const int pixelHeight = PixelSide(height > 0 ? height : document->GetHeight(), dpi);
    svg::Bitmap bitmap;
    if (!pixelWidth || !pixelHeight ||
        !document->RenderToBitmap(pixelWidth, pixelHeight, kTransparentBackground, bitmap))
        return nullptr;
    ImagePtr image = CreateImageInfoFromPixels(target, bitmap.pixels.data(), bitmap.width, bitmap.height,
                                               bitmap.Stride());
    if (!image)
        return nullptr;
    image->fillColor = fillColor;
    image->strokeColor = strokeColor;
    image->styleSheet = styleSheet;
    return image;
}

std::string MakeSvgColorRule(uint32_t argb, const char* property)
{
    char rule[96];
    std::snprintf(rule, sizeof(rule), "*{%s:#%02X%02X%02X; opacity: %.1f; }", property ? property : "",
                  static_cast<unsigned>((argb >> 16) & 0xFF), static_cast<unsigned>((argb >> 8) & 0xFF),
                  static_cast<unsigned>(argb & 0xFF), ((argb >> 24) & 0xFF) / kMaxByte);
    return rule;
}

} // namespace ui
