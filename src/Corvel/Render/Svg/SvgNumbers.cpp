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

// Digits of a number, as a mantissa of at most kMantissaDigits digits and a
// decimal exponent. Reads from `p` on; false when there is no digit.
struct DecimalReader {
    std::string_view text;
    size_t p = 0;
    uint64_t mantissa = 0;
    int kept = 0;
    int exponent = 0;

    bool Digits(bool fraction)
    {
        const size_t start = p;
        for (; p < text.size() && IsDigit(text[p]); ++p) {
            const uint64_t digit = static_cast<uint64_t>(text[p] - '0');
            if (kept < kMantissaDigits) {
                mantissa = mantissa * 10 + digit;
                if (mantissa != 0)
                    ++kept;  // leading zeros take no room
                if (fraction)
                    --exponent;
            } else if (!fraction) {
                ++exponent;
            }
        }
        return p > start;
    }

    // "e" or "E", a sign and digits; nothing is taken unless digits follow
    // ("1em" is one em, not a bad number).
    void Exponent()
    {
        size_t q = p + 1;
        if (p >= text.size() || (text[p] != 'e' && text[p] != 'E'))
            return;
        const bool negative = q < text.size() && text[q] == '-';
        if (q < text.size() && (text[q] == '+' || text[q] == '-'))
            ++q;
        if (q >= text.size() || !IsDigit(text[q]))
            return;
        int value = 0;
        for (; q < text.size() && IsDigit(text[q]); ++q)
            if (value < kExponentCap)
                value = value * 10 + (text[q] - '0');
        exponent += negative ? -value : value;
        p = q;
    }
};

// One "name(numbers)" of a transform list from the scanner's position.
bool ReadTransformFunction(NumberScanner& scan, std::string_view text, std::string_view& name,
                           double (&args)[kMaxTransformArgs], int& count)
{
    const size_t nameStart = scan.Position();
    while ((scan.Peek() >= 'a' && scan.Peek() <= 'z') || (scan.Peek() >= 'A' && scan.Peek() <= 'Z'))
        scan.Advance();
    name = text.substr(nameStart, scan.Position() - nameStart);
    scan.SkipSpace();
    if (name.empty() || scan.Peek() != '(')
        return false;
    scan.Advance();
    scan.SkipSpace();
    count = 0;
    while (scan.Peek() != ')') {
        if (count == kMaxTransformArgs || !scan.Number(args[count]))
            return false;
        ++count;
        scan.SkipSeparator();
    }
    scan.Advance();
    return true;
}

// The matrix of one transform function; false for an unknown name or a
// wrong number of arguments.
bool TransformFunction(std::string_view name, const double* a, int count, Matrix& m)
{
    if (name == "matrix" && count == 6)
        m = Matrix{a[0], a[1], a[2], a[3], a[4], a[5]};
    else if (name == "translate" && (count == 1 || count == 2))
        m = Matrix::Translate(a[0], count == 2 ? a[1] : 0.0);
    else if (name == "scale" && (count == 1 || count == 2))
        m = Matrix::Scale(a[0], count == 2 ? a[1] : a[0]);
    else if (name == "rotate" && (count == 1 || count == 3))
        m = Matrix::Translate(a[1], a[2]) * Matrix::Rotate(a[0]) * Matrix::Translate(-a[1], -a[2]);
    else if (name == "skewX" && count == 1)
        m = Matrix::SkewX(a[0]);
    else if (name == "skewY" && count == 1)
        m = Matrix::SkewY(a[0]);
    else
        return false;
    return true;
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
    DecimalReader r{m_text, m_pos};
    const bool negative = r.p < m_text.size() && m_text[r.p] == '-';
    if (r.p < m_text.size() && (m_text[r.p] == '+' || m_text[r.p] == '-'))
        ++r.p;
    bool digits = r.Digits(false);
    if (r.p + 1 < m_text.size() && m_text[r.p] == '.' && IsDigit(m_text[r.p + 1])) {
        ++r.p;
        digits = r.Digits(true);
    } else if (digits && r.p < m_text.size() && m_text[r.p] == '.') {
        ++r.p;  // "5." is five
    }
    if (!digits)
        return false;
    r.Exponent();
    double v = r.mantissa == 0 ? 0.0 : static_cast<double>(r.mantissa) * std::pow(10.0, r.exponent);
    if (negative)
        v = -v;
    if (!std::isfinite(v) || std::fabs(v) > kMaxNumber)
        return false;
    out = v;
    m_pos = r.p;
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
    NumberScanner scan(text);
    Matrix result;
    for (;;) {
        scan.SkipSeparator();
        if (scan.AtEnd())
            break;
        std::string_view name;
        double args[kMaxTransformArgs] = {};
        int count = 0;
        Matrix m;
        if (!ReadTransformFunction(scan, text, name, args, count) || !TransformFunction(name, args, count, m))
            return false;
        result = result * m;
    }
    out = result;
    return true;
}

} // namespace svg
} // namespace ui
