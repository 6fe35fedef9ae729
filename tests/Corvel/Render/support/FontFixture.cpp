#include "FontFixture.h"

#include "support/TestPaths.h"

namespace fontfixture {

std::wstring DejaVuPath(const wchar_t* file)
{
    return std::wstring(L"Z:\\usr\\share\\fonts\\truetype\\dejavu\\") + file;
}

std::string DejaVuBytes(const wchar_t* file)
{
    std::string bytes;
    testsupport::ReadFileBytes(DejaVuPath(file), bytes);
    return bytes;
}

std::string Utf16Be(const std::wstring& text)
{
    std::string out;
    for (wchar_t ch : text) {
        out.push_back(static_cast<char>((ch >> 8) & 0xFF));
        out.push_back(static_cast<char>(ch & 0xFF));
    }
    return out;
}

namespace {

void Put16(std::string& s, uint16_t v)
{
    s.push_back(static_cast<char>(v >> 8));
    s.push_back(static_cast<char>(v & 0xFF));
}

void Put32(std::string& s, uint32_t v)
{
    Put16(s, static_cast<uint16_t>(v >> 16));
    Put16(s, static_cast<uint16_t>(v & 0xFFFF));
}

} // namespace

std::string BuildSfnt(const std::vector<NameEntry>& names, const char tag[4])
{
    std::string nameTable;
    Put16(nameTable, 0);
    Put16(nameTable, static_cast<uint16_t>(names.size()));
    Put16(nameTable, static_cast<uint16_t>(6 + 12 * names.size()));
    std::string storage;
    for (const NameEntry& n : names) {
        Put16(nameTable, n.platform);
        Put16(nameTable, n.platform == 3 ? 1 : 0);
        Put16(nameTable, n.platform == 3 ? 0x409 : 0);
        Put16(nameTable, n.nameId);
        Put16(nameTable, static_cast<uint16_t>(n.bytes.size()));
        Put16(nameTable, static_cast<uint16_t>(storage.size()));
        storage += n.bytes;
    }
    nameTable += storage;

    const std::string dummy(16, '\x11');
    std::string out;
    Put32(out, 0x00010000);
    Put16(out, 2);
    Put16(out, 32);
    Put16(out, 1);
    Put16(out, 0);
    const uint32_t first = 12 + 2 * 16;
    out += "head";
    Put32(out, 0);
    Put32(out, first);
    Put32(out, static_cast<uint32_t>(dummy.size()));
    out.append(tag, 4);
    Put32(out, 0);
    Put32(out, first + static_cast<uint32_t>(dummy.size()));
    Put32(out, static_cast<uint32_t>(nameTable.size()));
    out += dummy;
    out += nameTable;
    return out;
}

} // namespace fontfixture
