// Number, length, list and transform syntax of the SVG layer. Numbers follow
// the format's own grammar (no hexadecimal, no "inf" or "nan", no locale):
// sign, digits, fraction, exponent.
#pragma once

#include <string_view>

#include "Corvel/Render/Svg/SvgGeometry.h"

namespace ui {
namespace svg {

// Magnitude beyond which a number is refused: nothing meant for a picture is
// that large, and float arithmetic has no precision left there.
constexpr double kMaxNumber = 1e9;

// Cursor over a list of numbers separated by white space and at most one
// comma between two items ("10,20 30-5" gives 10, 20, 30, -5; "1.5.5"
// gives 1.5 and .5).
class NumberScanner {
public:
    explicit NumberScanner(std::string_view text) : m_text(text) {}

    // Reads one number; false, without moving, when there is none here or it
    // is out of range.
    bool Number(double& out);
    bool Number(float& out);
    // A single "0" or "1" (arc flags may touch what follows: "01").
    bool Flag(bool& out);
    // White space and at most one comma.
    void SkipSeparator();
    void SkipSpace();
    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return AtEnd() ? '\0' : m_text[m_pos]; }
    void Advance() { ++m_pos; }
    size_t Position() const { return m_pos; }

private:
    std::string_view m_text;
    size_t m_pos = 0;
};

bool IsSpace(char c);
std::string_view Trim(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);

// The whole text one number (surrounding white space allowed).
bool ParseNumber(std::string_view text, float& out);

struct Length {
    float value = 0.0f;   // user units (px), or per cent when `percent`
    bool percent = false;
};
// A number with an optional unit: none or px (as is), in, cm, mm, pt, pc
// (at 96 px per inch), em and ex (taken as 16 and 8 px), or %.
bool ParseLength(std::string_view text, Length& out);

// A transform list: matrix, translate, scale, rotate (with an optional
// centre), skewX and skewY, separated by white space or commas, composed
// left to right. False for anything malformed (the attribute then counts as
// absent).
bool ParseTransform(std::string_view text, Matrix& out);

} // namespace svg
} // namespace ui
