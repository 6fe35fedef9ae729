#include "SvgTestSupport.h"

#include <cmath>
#include <cstring>

#include "Corvel/Core/UiGlobals.h"

namespace svgtest {

void DrawingTest::SetUpTestSuite()
{
    InitUiLibrary(GetModuleHandleW(nullptr));
}

void DrawingTest::TearDownTestSuite()
{
    ShutdownUiLibrary();
}

std::unique_ptr<ui::svg::Document> Load(std::string_view text)
{
    return ui::svg::Document::LoadFromData(text.data(), text.size());
}

testsupport::PixelImage ToPixels(const ui::svg::Bitmap& bitmap)
{
    testsupport::PixelImage image;
    image.width = bitmap.width;
    image.height = bitmap.height;
    image.data.resize(bitmap.pixels.size() / 4);
    if (!image.data.empty())
        std::memcpy(image.data.data(), bitmap.pixels.data(), image.data.size() * 4);
    return image;
}

testsupport::PixelImage Draw(std::string_view text, int width, int height, const std::vector<std::string>& sheets)
{
    std::unique_ptr<ui::svg::Document> document = Load(text);
    if (!document)
        return testsupport::PixelImage();
    for (const std::string& sheet : sheets)
        document->ApplyStyleSheet(sheet);
    ui::svg::Bitmap bitmap;
    if (!document->RenderToBitmap(width, height, 0, bitmap))
        return testsupport::PixelImage();
    return ToPixels(bitmap);
}

std::string Doc16(std::string_view body)
{
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 16 16\">" + std::string(body) + "</svg>";
}

uint32_t At16(const testsupport::PixelImage& image, float x, float y)
{
    const float scale = static_cast<float>(image.width) / 16.0f;
    return image.At(static_cast<int>(std::floor(x * scale)), static_cast<int>(std::floor(y * scale)));
}

long AlphaSum(const testsupport::PixelImage& image, int left, int top, int right, int bottom)
{
    long sum = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            sum += testsupport::A(image.At(x, y));
    return sum;
}

void SaveForLooking(const testsupport::PixelImage& image, const std::string& name)
{
    testsupport::SavePng(image, testsupport::ArtifactsFolder() + L"\\svg-" + std::wstring(name.begin(), name.end()) +
                                    L".png");
}

} // namespace svgtest
