#include "Corvel/Render/Svg/SvgXml.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>

namespace ui {
namespace svg {
namespace {

// Highest Unicode code point; numeric references beyond it are kept as text.
constexpr uint32_t kMaxCodePoint = 0x10FFFF;
// A numeric reference with more digits than this cannot be a code point.
constexpr size_t kMaxReferenceDigits = 8;

bool IsXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ':' ||
           c == '-' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
}

void AppendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// The code point of "#65" or "#x41" (the text between "&" and ";"), false
// when it is not a usable character.
bool NumericReference(std::string_view ref, uint32_t& cp)
{
    if (ref.size() < 2 || ref[0] != '#')
        return false;
    const bool hex = ref[1] == 'x' || ref[1] == 'X';
    const std::string_view digits = ref.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > kMaxReferenceDigits)
        return false;
    uint32_t v = 0;
    for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0)
            return false;
        v = v * (hex ? 16u : 10u) + static_cast<uint32_t>(d);
    }
    if (v == 0 || v > kMaxCodePoint || (v >= 0xD800 && v <= 0xDFFF))
        return false;
    cp = v;
    return true;
}

// Appends text with its entity and character references decoded; anything
// that is not a known reference is kept as written.
void AppendDecoded(std::string& out, std::string_view text)
{
    struct Named {
        const char* name;
        char ch;
    };
    static const Named kNamed[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    size_t i = 0;
    while (i < text.size()) {
        const size_t amp = text.find('&', i);
        if (amp == std::string_view::npos) {
            out.append(text.substr(i));
            return;
        }
        out.append(text.substr(i, amp - i));
        const size_t semi = text.find(';', amp + 1);
        bool decoded = false;
        if (semi != std::string_view::npos) {
            const std::string_view ref = text.substr(amp + 1, semi - amp - 1);
            uint32_t cp = 0;
            if (NumericReference(ref, cp)) {
                AppendUtf8(out, cp);
                decoded = true;
            } else {
                for (const Named& n : kNamed) {
                    if (ref == n.name) {
                        out.push_back(n.ch);
                        decoded = true;
                        break;
                    }
                }
            }
        }
        if (decoded) {
            i = semi + 1;
        } else {
            out.push_back('&');
            i = amp + 1;
        }
    }
}

class XmlReader {
public:
    XmlReader(const char* data, size_t size, std::vector<XmlElement>& out)
        : m_text(data, size), m_out(out)
    {
    }

    bool Read();

private:
    bool AtEnd() const { return m_pos >= m_text.size(); }
    bool LookingAt(std::string_view s) const { return m_text.compare(m_pos, s.size(), s) == 0; }
    void SkipSpace();
    // Moves past the next `terminator`; false when there is none.
    bool SkipPast(std::string_view terminator);
    bool SkipDoctype();
    bool ReadName(std::string& out);
    bool ReadStartTag();
    bool ReadAttributes(XmlElement& element, bool& selfClosing);
    bool ReadEndTag();
    bool ReadCdata();
    void ReadText();

    std::string_view m_text;
    size_t m_pos = 0;
    std::vector<XmlElement>& m_out;
    std::vector<int> m_open;  // elements whose end tag is still to come
    bool m_rootDone = false;
};

void XmlReader::SkipSpace()
{
    while (!AtEnd() && IsXmlSpace(m_text[m_pos]))
        ++m_pos;
}

bool XmlReader::SkipPast(std::string_view terminator)
{
    const size_t at = m_text.find(terminator, m_pos);
    if (at == std::string_view::npos)
        return false;
    m_pos = at + terminator.size();
    return true;
}

// "<!DOCTYPE ... [ internal subset ] >": brackets and quoted strings may
// hold ">".
bool XmlReader::SkipDoctype()
{
    int brackets = 0;
    char quote = 0;
    for (; !AtEnd(); ++m_pos) {
        const char c = m_text[m_pos];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++brackets;
        } else if (c == ']') {
            --brackets;
        } else if (c == '>' && brackets <= 0) {
            ++m_pos;
            return true;
        }
    }
    return false;
}

bool XmlReader::ReadName(std::string& out)
{
    const size_t start = m_pos;
    while (!AtEnd() && IsNameChar(m_text[m_pos]))
        ++m_pos;
    if (m_pos == start)
        return false;
    out.assign(m_text.substr(start, m_pos - start));
    return true;
}

bool XmlReader::ReadAttributes(XmlElement& element, bool& selfClosing)
{
    for (;;) {
        const size_t before = m_pos;
        SkipSpace();
        if (AtEnd())
            return false;
        if (LookingAt("/>")) {
            m_pos += 2;
            selfClosing = true;
            return true;
        }
        if (m_text[m_pos] == '>') {
            ++m_pos;
            selfClosing = false;
            return true;
        }
        // Attributes are separated by white space.
        if (m_pos == before)
            return false;
        XmlAttribute attribute;
        if (!ReadName(attribute.name))
            return false;
        SkipSpace();
        if (AtEnd() || m_text[m_pos] != '=')
            return false;
        ++m_pos;
        SkipSpace();
        if (AtEnd() || (m_text[m_pos] != '"' && m_text[m_pos] != '\''))
            return false;
        const char quote = m_text[m_pos++];
        const size_t close = m_text.find(quote, m_pos);
        if (close == std::string_view::npos)
            return false;
        AppendDecoded(attribute.value, m_text.substr(m_pos, close - m_pos));
        m_pos = close + 1;
        element.attributes.push_back(std::move(attribute));
    }
}

bool XmlReader::ReadStartTag()
{
    ++m_pos;  // '<'
    if (m_rootDone || m_out.size() >= XmlLimits::kMaxElements)
        return false;
    const int depth = static_cast<int>(m_open.size());
    if (depth >= XmlLimits::kMaxDepth)
        return false;
    XmlElement element;
    if (!ReadName(element.name))
        return false;
    element.parent = m_open.empty() ? -1 : m_open.back();
    element.depth = depth;
    bool selfClosing = false;
    if (!ReadAttributes(element, selfClosing))
        return false;
    m_out.push_back(std::move(element));
    if (selfClosing)
        m_rootDone = m_open.empty();
    else
        m_open.push_back(static_cast<int>(m_out.size() - 1));
    return true;
}

bool XmlReader::ReadEndTag()
{
    m_pos += 2;  // "</"
    std::string name;
    if (m_open.empty() || !ReadName(name) || name != m_out[static_cast<size_t>(m_open.back())].name)
        return false;
    SkipSpace();
    if (AtEnd() || m_text[m_pos] != '>')
        return false;
    ++m_pos;
    m_open.pop_back();
    m_rootDone = m_open.empty();
    return true;
}

bool XmlReader::ReadCdata()
{
    static const std::string_view kOpen = "<![CDATA[";
    static const std::string_view kClose = "]]>";
    m_pos += kOpen.size();
    const size_t close = m_text.find(kClose, m_pos);
    if (close == std::string_view::npos)
        return false;
    if (!m_open.empty())
        m_out[static_cast<size_t>(m_open.back())].text.append(m_text.substr(m_pos, close - m_pos));
    m_pos = close + kClose.size();
    return true;
}

// Character data up to the next "<"; outside the root it is ignored.
void XmlReader::ReadText()
{
    size_t next = m_text.find('<', m_pos);
    if (next == std::string_view::npos)
        next = m_text.size();
    if (!m_open.empty())
        AppendDecoded(m_out[static_cast<size_t>(m_open.back())].text, m_text.substr(m_pos, next - m_pos));
    m_pos = next;
}

bool XmlReader::Read()
{
    if (LookingAt("\xEF\xBB\xBF"))
        m_pos += 3;
    while (!AtEnd()) {
        if (m_text[m_pos] != '<') {
            ReadText();
            continue;
        }
        bool ok = true;
        if (LookingAt("<?"))
            ok = SkipPast("?>");
        else if (LookingAt("<!--"))
            ok = SkipPast("-->");
        else if (LookingAt("<![CDATA["))
            ok = ReadCdata();
        else if (LookingAt("<!"))
            ok = SkipDoctype();
        else if (LookingAt("</"))
            ok = ReadEndTag();
        else
            ok = ReadStartTag();
        if (!ok)
            return false;
    }
    return m_open.empty() && m_rootDone;
}

} // namespace

bool ReadXml(const char* data, size_t size, std::vector<XmlElement>& out)
{
    out.clear();
    if (data == nullptr || size == 0 || size > XmlLimits::kMaxBytes)
        return false;
    bool ok = false;
    try {
        ok = XmlReader(data, size, out).Read();
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok)
        out.clear();
    return ok;
}

} // namespace svg
} // namespace ui
