// Helpers for the SVG layer's tests: the UI library started once per test
// suite (drawing uses its Direct2D and WIC factories), documents loaded from
// text and drawn into pixels that can be sampled in document units.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Corvel/Render/Svg/SvgDocument.h"
#include "support/Pixels.h"

namespace svgtest {

// A test suite that draws: the UI library runs from the first test of the
// suite to the last.
class DrawingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
};

std::unique_ptr<ui::svg::Document> Load(std::string_view text);

// The bitmap as 0xAARRGGBB values (premultiplied, as drawn).
testsupport::PixelImage ToPixels(const ui::svg::Bitmap& bitmap);

// Loads `text`, applies `sheets` in order and draws it at width x height
// over a transparent background; an empty image when there is no document
// or no image.
testsupport::PixelImage Draw(std::string_view text, int width, int height,
                             const std::vector<std::string>& sheets = {});

// A document of viewBox 0 0 16 16 holding `body`.
std::string Doc16(std::string_view body);

// The pixel of a square image of `size` pixels that holds the point (x, y)
// of a 16-unit document drawn over it.
uint32_t At16(const testsupport::PixelImage& image, float x, float y);

// Sum of the alpha of every pixel in [left, right) x [top, bottom) (pixel
// coordinates).
long AlphaSum(const testsupport::PixelImage& image, int left, int top, int right, int bottom);

// Writes the image to the artifacts folder for a person to look at.
void SaveForLooking(const testsupport::PixelImage& image, const std::string& name);

} // namespace svgtest
