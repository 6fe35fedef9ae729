#include "Corvel/Render/Svg/SvgNumbers.h"

#include <cmath>
#include <cstdint>

namespace ui {
namespace svg {
namespace {

// Digits kept in the mantissa; later ones only move the decimal exponent.
constexpr int kMantissaDigits = 18;
// Exponents are read up to this size; anything larger overflows anyway.
constexpr int kExponentCap = 100000;
// Arguments a transform function can take (matrix has the most).
constexpr int kMaxTransformArgs = 6;

constexpr double kPxPerInch = 96.0;
constexpr double kPxPerEm = 16.0;
constexpr double kPxPerEx = 8.0;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

// ---------------------------------------------------------------------------
// NumberScanner

bool NumberScanner::Number(double& out)
{
    size_t p = m_pos;
    const size_t n = m_text.size();
    bool negative = false;
    if (p < n && (m_text[p] == '+' || m_text[p] == '-')) {
        negative = m_text[p] == '-';
        ++p;
    }
    uint64_t mantissa = 0;
    int kept = 0;
    int exponent = 0;
    bool digits = false;
    for (; p < n && IsDigit(m_text[p]); ++p) {
        digits = true;
        if (kept < kMantissaDigits) {
            if (mantissa != 0 || m_text[p] != '0') {
                mantissa = mantissa * 10 + static_cast<uint64_t>(m_text[p] - '0');
                ++kept;
            }
        } else {
            ++exponent;
        }
    }
    if (p < n && m_text[p] == '.' && p + 1 < n && IsDigit(m_text[p + 1])) {
        for (++p; p < n && IsDigit(m_text[p]); ++p) {
            digits = true;
            if (kept < kMantissaDigits) {
                mantissa = mantissa * 10 + static_cast<uint64_t>(m_text[p] - '0');
                if (mantissa != 0)
                    ++kept;
                --exponent;
            }
        }
    } else if (p < n && m_text[p] == '.' && digits) {
        ++p;  // "5." is five
    }
    if (!digits)
        return false;
    // An exponent only when digits follow: "1em" is one em, not a bad number.
    if (p < n && (m_text[p] == 'e' || m_text[p] == 'E')) {
        size_t q = p + 1;
        bool expNegative = false;
        if (q < n && (m_text[q] == '+' || m_text[q] == '-')) {
            expNegative = m_text[q] == '-';
            ++q;
        }
        if (q < n && IsDigit(m_text[q])) {
            int value = 0;
            for (; q < n && IsDigit(m_text[q]); ++q)
                if (value < kExponentCap)
                    value = value * 10 + (m_text[q] - '0');
            exponent += expNegative ? -value : value;
            p = q;
        }
    }
    double v = mantissa == 0 ? 0.0 : static_cast<double>(mantissa) * std::pow(10.0, exponent);
    if (negative)
        v = -v;
    if (!std::isfinite(v) || std::fabs(v) > kMaxNumber)
        return false;
    out = v;
    m_pos = p;
    return true;
}

bool NumberScanner::Number(float& out)
{
    double v = 0.0;
    if (!Number(v))
        return false;
    out = static_cast<float>(v);
    return true;
}

bool NumberScanner::Flag(bool& out)
{
    const char c = Peek();
    if (c != '0' && c != '1')
        return false;
    out = c == '1';
    ++m_pos;
    return true;
}

void NumberScanner::SkipSpace()
{
    while (!AtEnd() && IsSpace(m_text[m_pos]))
        ++m_pos;
}

void NumberScanner::SkipSeparator()
{
    SkipSpace();
    if (Peek() == ',') {
        ++m_pos;
        SkipSpace();
    }
}

// ---------------------------------------------------------------------------
// Single values

bool ParseNumber(std::string_view text, float& out)
{
    NumberScanner s(Trim(text));
    float v = 0.0f;
    if (!s.Number(v) || !s.AtEnd())
        return false;
    out = v;
    return true;
}

bool ParseLength(std::string_view text, Length& out)
{
    text = Trim(text);
    NumberScanner s(text);
    double v = 0.0;
    if (!s.Number(v))
        return false;
    const std::string_view unit = text.substr(s.Position());
    struct UnitScale {
        const char* name;
        double px;
    };
    static const UnitScale kUnits[] = {
        {"", 1.0},
        {"px", 1.0},
        {"in", kPxPerInch},
        {"cm", kPxPerInch / 2.54},
        {"mm", kPxPerInch / 25.4},
        {"pt", kPxPerInch / 72.0},
        {"pc", kPxPerInch / 6.0},
        {"em", kPxPerEm},
        {"ex", kPxPerEx},
    };
    if (unit == "%") {
        out.value = static_cast<float>(v);
        out.percent = true;
        return true;
    }
    for (const UnitScale& u : kUnits) {
        if (EqualsNoCase(unit, u.name)) {
            const double px = v * u.px;
            if (std::fabs(px) > kMaxNumber)
                return false;
            out.value = static_cast<float>(px);
            out.percent = false;
            return true;
        }
    }
    return false;
}

bool ParseTransform(std::string_view text, Matrix& out)
{
    NumberScanner s(text);
    Matrix result;
    for (;;) {
        s.SkipSeparator();
        if (s.AtEnd())
            break;
        const size_t nameStart = s.Position();
        while ((s.Peek() >= 'a' && s.Peek() <= 'z') || (s.Peek() >= 'A' && s.Peek() <= 'Z'))
            s.Advance();
        const std::string_view name = text.substr(nameStart, s.Position() - nameStart);
        s.SkipSpace();
        if (name.empty() || s.Peek() != '(')
            return false;
        s.Advance();
        double args[kMaxTransformArgs] = {};
        int count = 0;
        s.SkipSpace();
        while (s.Peek() != ')') {
            if (count == kMaxTransformArgs || !s.Number(args[count]))
                return false;
            ++count;
            s.SkipSeparator();
        }
        s.Advance();

        Matrix m;
        if (name == "matrix" && count == 6) {
            m = Matrix{args[0], args[1], args[2], args[3], args[4], args[5]};
        } else if (name == "translate" && (count == 1 || count == 2)) {
            m = Matrix::Translate(args[0], count == 2 ? args[1] : 0.0);
        } else if (name == "scale" && (count == 1 || count == 2)) {
            m = Matrix::Scale(args[0], count == 2 ? args[1] : args[0]);
        } else if (name == "rotate" && (count == 1 || count == 3)) {
            m = Matrix::Translate(args[1], args[2]) * Matrix::Rotate(args[0]) * Matrix::Translate(-args[1], -args[2]);
        } else if (name == "skewX" && count == 1) {
            m = Matrix::SkewX(args[0]);
        } else if (name == "skewY" && count == 1) {
            m = Matrix::SkewY(args[0]);
        } else {
            return false;
        }
        result = result * m;
    }
    out = result;
    return true;
}

} // namespace svg
} // namespace ui
