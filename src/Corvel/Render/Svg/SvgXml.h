// The SVG layer's small XML reader. The UI library's skin reader
// (Corvel/Core/Markup.h) does not fit SVG files: it takes only double-quoted
// attribute values, no numeric character references, no CDATA sections, no
// text between child elements, at most 64 attributes per element and no
// DOCTYPE internal subset, all of which drawing programs write.
//
// Reads UTF-8 bytes (a leading byte-order mark is skipped) into a flat list
// of elements in document order. Decodes the five named entities and
// numeric references (unknown entities stay as written); skips comments,
// processing instructions and DOCTYPE declarations; CDATA sections count as
// text. Structure errors (unclosed or mismatched elements, truncation,
// attributes without a quoted value, more than one root) and documents
// beyond the limits below give no document.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ui {
namespace svg {

struct XmlAttribute {
    std::string name;
    std::string value;  // entities decoded
};

struct XmlElement {
    std::string name;  // as written, prefix included
    std::vector<XmlAttribute> attributes;
    std::string text;  // the element's own character data, CDATA included
    int parent = -1;   // index of the parent element, -1 for the root
    int depth = 0;     // 0 for the root
};

// Limits that keep hostile input from costing unbounded time or memory.
struct XmlLimits {
    static constexpr size_t kMaxBytes = 16u * 1024u * 1024u;
    static constexpr int kMaxDepth = 256;
    static constexpr size_t kMaxElements = 100000;
};

// Elements in document order (a parent always before its children); false,
// with `out` emptied, when the text is not a well-formed document within the
// limits.
bool ReadXml(const char* data, size_t size, std::vector<XmlElement>& out);

} // namespace svg
} // namespace ui
