#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Corvel/Core/ArchiveReader.h"
#include "Corvel/Core/SkinArchive.h"
#include "support/ZipFixture.h"

using zipfixture::BuildZip;
using zipfixture::Utf8;
using zipfixture::ZipItem;

namespace {

std::string Pattern(size_t size)
{
    std::string s(size, '\0');
    uint32_t x = 12345;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = static_cast<char>('a' + (x >> 16) % 26);
    }
    return s;
}

ZipItem Item(const std::string& name, const std::string& data, bool deflate = true)
{
    ZipItem item;
    item.name = name;
    item.data = data;
    item.deflate = deflate;
    return item;
}

// An archive opened over bytes the fixture keeps alive.
class OpenZip {
public:
    explicit OpenZip(const std::vector<ZipItem>& items) : m_bytes(BuildZip(items))
    {
        EXPECT_FALSE(m_bytes.empty());
        m_handle = OpenArchiveFromMemory(m_bytes.data(), static_cast<uint32_t>(m_bytes.size()));
        EXPECT_NE(m_handle, nullptr);
    }
    ~OpenZip() { CloseArchive(m_handle); }
    ArchiveHandle get() const { return m_handle; }

    // The whole entry, read in one buffer of its size.
    std::string Read(const wchar_t* name, uint32_t* status = nullptr)
    {
        int32_t index = -1;
        ArchiveEntry entry;
        uint32_t st = FindArchiveEntry(m_handle, name, 0, &index, &entry);
        if (st == ARCHIVE_OK) {
            std::string data(entry.uncompressedSize, '\0');
            st = ExtractArchiveEntry(m_handle, index, data.empty() ? nullptr : &data[0], entry.uncompressedSize);
            if (status)
                *status = st;
            return data;
        }
        if (status)
            *status = st;
        return std::string();
    }

private:
    std::string m_bytes;
    ArchiveHandle m_handle = nullptr;
};

std::wstring Name(const ArchiveEntry& e)
{
    return std::wstring(e.name);
}

void PutLe16(std::string& s, size_t at, uint16_t v)
{
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}

std::string Le16(uint16_t v)
{
    std::string s(2, '\0');
    PutLe16(s, 0, v);
    return s;
}

std::string Le32(uint32_t v)
{
    return Le16(static_cast<uint16_t>(v & 0xFFFF)) + Le16(static_cast<uint16_t>(v >> 16));
}

std::string Le64(uint64_t v)
{
    return Le32(static_cast<uint32_t>(v & 0xFFFFFFFFu)) + Le32(static_cast<uint32_t>(v >> 32));
}

// A ~190-byte zip64 archive written by hand: one stored entry "a.txt" with
// "hi", a zip64 end record stating `entries` entries, its locator and a
// classic end record that defers to it. Only the count can lie.
std::string Zip64Archive(uint64_t entries)
{
    const std::string name = "a.txt", data = "hi";
    const uint32_t crc = 0xD8932AAC; // CRC-32 of "hi"
    const std::string common = Le16(20) + Le16(0) + Le16(0) + Le16(0x6000) + Le16(0x5A2C) + Le32(crc) +
                               Le32(2) + Le32(2) + Le16(static_cast<uint16_t>(name.size()));
    const std::string local = "PK\x03\x04" + common + Le16(0) + name + data;
    const std::string central = "PK\x01\x02" + Le16(20) + common + Le16(0) + Le16(0) + Le16(0) + Le16(0) +
                                Le32(0) + Le32(0) + name;
    const uint64_t directoryOffset = local.size();
    const uint64_t endOffset = directoryOffset + central.size();
    const std::string end64 = "PK\x06\x06" + Le64(44) + Le16(45) + Le16(45) + Le32(0) + Le32(0) + Le64(entries) +
                              Le64(entries) + Le64(central.size()) + Le64(directoryOffset);
    const std::string locator = "PK\x06\x07" + Le32(0) + Le64(endOffset) + Le32(1);
    const std::string end = "PK\x05\x06" + Le16(0) + Le16(0) + Le16(0xFFFF) + Le16(0xFFFF) + Le32(0xFFFFFFFFu) +
                            Le32(0xFFFFFFFFu) + Le16(0);
    return local + central + end64 + locator + end;
}

uint64_t Ticks(const FILETIME& ft)
{
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

uint64_t UnixTicks(uint32_t seconds)
{
    return static_cast<uint64_t>(seconds) * 10000000ull + 116444736000000000ull;
}

} // namespace

TEST(ArchiveReader, FindsAndExtractsEntriesIgnoringAsciiCaseAndSlashKind)
{
    const std::string xml = "<Window size=\"400,300\"/>";
    const std::string big = Pattern(20000);
    OpenZip zip({Item("RES/main.xml", xml), Item("RES/big.bin", big, false), Item("125/RES/main.xml", "x")});

    ArchiveEntry all;
    ASSERT_EQ(zip.get()->reader.GetEntry(-1, &all), ARCHIVE_OK);
    EXPECT_EQ(all.index, 3);
    EXPECT_EQ(all.name[0], L'\0');
    EXPECT_EQ(all.uncompressedSize, 0u);

    int32_t index = -7;
    ArchiveEntry entry;
    ASSERT_EQ(FindArchiveEntry(zip.get(), L"res\\MAIN.Xml", 0, &index, &entry), ARCHIVE_OK);
    EXPECT_EQ(GetArchiveLastStatus(), ARCHIVE_OK);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(entry.index, 0);
    EXPECT_EQ(Name(entry), L"RES/main.xml");
    EXPECT_EQ(entry.uncompressedSize, xml.size());

    uint32_t status = 1;
    EXPECT_EQ(zip.Read(L"RES/main.xml", &status), xml);
    EXPECT_EQ(status, ARCHIVE_OK);
    EXPECT_EQ(zip.Read(L"RES/big.bin", &status), big);
    EXPECT_EQ(status, ARCHIVE_OK);
    EXPECT_EQ(zip.Read(L"125/RES/main.xml", &status), "x");

    // Entries can be described in any order (the cursor moves back).
    ASSERT_EQ(zip.get()->reader.GetEntry(2, &entry), ARCHIVE_OK);
    EXPECT_EQ(Name(entry), L"125/RES/main.xml");
    ASSERT_EQ(zip.get()->reader.GetEntry(1, &entry), ARCHIVE_OK);
    EXPECT_EQ(Name(entry), L"RES/big.bin");
    EXPECT_EQ(entry.compressedSize, big.size());
}

TEST(ArchiveReader, MissingEntriesAndBadArguments)
{
    OpenZip zip({Item("RES/main.xml", "<a/>")});
    int32_t index = 5;
    ArchiveEntry entry;
    std::memset(&entry, 0x55, sizeof(entry));

    const wchar_t* missing[] = {L"RES/other.xml", L"main.xml", L"RES/main.xm", L"RES/main.xml ", L"/RES/main.xml",
                                L"", L"RES"};
    for (const wchar_t* name : missing) {
        SCOPED_TRACE(testing::Message() << "name " << Utf8(name));
        EXPECT_EQ(FindArchiveEntry(zip.get(), name, 0, &index, &entry), ARCHIVE_NOT_FOUND);
        EXPECT_EQ(GetArchiveLastStatus(), ARCHIVE_NOT_FOUND);
        EXPECT_EQ(index, -1);
        EXPECT_EQ(entry.index, -1);
        EXPECT_EQ(entry.name[0], L'\0');
        EXPECT_EQ(entry.uncompressedSize, 0u);
    }

    // A name longer than 255 characters is never found.
    const std::string longName(300, 'n');
    OpenZip longZip({Item(longName, "x")});
    EXPECT_EQ(FindArchiveEntry(longZip.get(), std::wstring(longName.begin(), longName.end()).c_str(), 0, &index,
                               &entry),
              ARCHIVE_NOT_FOUND);

    char buffer[8];
    EXPECT_EQ(FindArchiveEntry(nullptr, L"RES/main.xml", 0, &index, &entry), ARCHIVE_BAD_ARGUMENT);
    EXPECT_EQ(GetArchiveLastStatus(), ARCHIVE_BAD_ARGUMENT);
    EXPECT_EQ(FindArchiveEntry(zip.get(), nullptr, 0, &index, &entry), ARCHIVE_NOT_FOUND);
    EXPECT_EQ(ExtractArchiveEntry(nullptr, 0, buffer, sizeof(buffer)), ARCHIVE_BAD_ARGUMENT);
    EXPECT_EQ(ExtractArchiveEntry(zip.get(), 1, buffer, sizeof(buffer)), ARCHIVE_BAD_ARGUMENT);
    EXPECT_EQ(ExtractArchiveEntry(zip.get(), -1, buffer, sizeof(buffer)), ARCHIVE_BAD_ARGUMENT);
    EXPECT_EQ(ExtractArchiveEntry(zip.get(), 0, nullptr, sizeof(buffer)), ARCHIVE_BAD_ARGUMENT);
    EXPECT_EQ(zip.get()->reader.GetEntry(-2, &entry), ARCHIVE_BAD_ARGUMENT);
    EXPECT_EQ(zip.get()->reader.GetEntry(1, &entry), ARCHIVE_BAD_ARGUMENT);

    zip.get()->mode = 0;
    EXPECT_EQ(FindArchiveEntry(zip.get(), L"RES/main.xml", 0, &index, &entry), ARCHIVE_NOT_READING);
    EXPECT_EQ(ExtractArchiveEntry(zip.get(), 0, buffer, sizeof(buffer)), ARCHIVE_NOT_READING);
    zip.get()->mode = ARCHIVE_MODE_READ;
    EXPECT_EQ(FindArchiveEntry(zip.get(), L"RES/main.xml", 0, &index, nullptr), ARCHIVE_OK);
    EXPECT_EQ(CloseArchive(nullptr), ARCHIVE_BAD_ARGUMENT);
}

TEST(ArchiveReader, RejectsDataThatIsNotAReadableZip)
{
    const std::string good = BuildZip({Item("RES/a.xml", Pattern(3000)), Item("RES/b.xml", "bee")});
    ASSERT_FALSE(good.empty());
    const size_t central = good.find("PK\x01\x02");
    const size_t end = good.find("PK\x05\x06");
    ASSERT_NE(central, std::string::npos);
    ASSERT_NE(end, std::string::npos);

    struct Case {
        const char* what;
        std::string bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", std::string()});
    cases.push_back({"text", std::string("this is not a zip archive at all, just some words")});
    cases.push_back({"cut before the end record", good.substr(0, end + 10)});
    cases.push_back({"cut inside the central directory", good.substr(0, central + 20)});
    cases.push_back({"only the local part", good.substr(0, central)});
    std::string badSignature = good;
    badSignature[central + 2] = 'X';
    cases.push_back({"bad central signature", badSignature});
    std::string secondBad = good;
    secondBad[good.find("PK\x01\x02", central + 4) + 3] = 9;
    cases.push_back({"bad second central record", secondBad});
    std::string moreEntries = good;
    PutLe16(moreEntries, end + 8, 3);
    PutLe16(moreEntries, end + 10, 3);
    cases.push_back({"end record counts more entries", moreEntries});
    std::string offsetPastEnd = good;
    offsetPastEnd[end + 16 + 3] = 0x7F;
    cases.push_back({"central directory offset past the end", offsetPastEnd});
    std::string nameTooLong = good;
    PutLe16(nameTooLong, central + 28, 0xFFF0);
    cases.push_back({"name length past the end", nameTooLong});
    // A count no central directory of this size can hold is refused before
    // anything is reserved for it (at 2^31 entries, tens of gigabytes).
    cases.push_back({"zip64 end record counts 2^31 - 1 entries", Zip64Archive(0x7FFFFFFF)});
    cases.push_back({"zip64 end record counts 5 entries in room for 3", Zip64Archive(5)});
    cases.push_back({"zip64 end record counts one entry more", Zip64Archive(2)});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ArchiveHandle h = OpenArchiveFromMemory(c.bytes.data(), static_cast<uint32_t>(c.bytes.size()));
        EXPECT_EQ(h, nullptr);
        EXPECT_EQ(GetArchiveLastStatus(), ARCHIVE_NOT_ZIP);
        CloseArchive(h);
    }
    EXPECT_EQ(OpenArchiveFromMemory(nullptr, 100), nullptr);
    EXPECT_EQ(GetArchiveLastStatus(), ARCHIVE_NOT_ZIP);

    // The same hand-made archive with its true count is read.
    const std::string honest = Zip64Archive(1);
    ArchiveHandle h = OpenArchiveFromMemory(honest.data(), static_cast<uint32_t>(honest.size()));
    ASSERT_NE(h, nullptr);
    int32_t index = -1;
    ArchiveEntry entry;
    ASSERT_EQ(FindArchiveEntry(h, L"A.TXT", 0, &index, &entry), ARCHIVE_OK);
    char bytes[2] = {};
    EXPECT_EQ(ExtractArchiveEntry(h, index, bytes, 2), ARCHIVE_OK);
    EXPECT_EQ(std::string(bytes, 2), "hi");
    CloseArchive(h);
}

TEST(ArchiveReader, DamagedEntryDataIsAFailureNotData)
{
    const std::string stored = Pattern(5000);
    const std::string deflated = Pattern(5000);
    std::string bytes = BuildZip({Item("stored.bin", stored, false), Item("deflated.bin", deflated)});
    ASSERT_FALSE(bytes.empty());

    // Flip one byte inside each entry's data: the stored one keeps its size,
    // so only the CRC can tell.
    const size_t firstData = 30 + std::strlen("stored.bin");
    bytes[firstData + 100] ^= 0x01;
    const size_t second = bytes.find("PK\x03\x04", 4);
    ASSERT_NE(second, std::string::npos);
    bytes[second + 30 + std::strlen("deflated.bin") + 20] ^= 0x5A;

    ArchiveHandle h = OpenArchiveFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
    ASSERT_NE(h, nullptr);
    std::string buffer(5000, '\0');
    EXPECT_EQ(ExtractArchiveEntry(h, 0, &buffer[0], 5000), ARCHIVE_DECOMPRESS_FAILED);
    EXPECT_EQ(GetArchiveLastStatus(), ARCHIVE_DECOMPRESS_FAILED);
    EXPECT_EQ(ExtractArchiveEntry(h, 1, &buffer[0], 5000), ARCHIVE_DECOMPRESS_FAILED);

    // In chunks the damage shows at the end of the stored entry.
    uint32_t status = 0;
    int rounds = 0;
    do {
        status = ExtractArchiveEntry(h, 0, &buffer[0], 1024);
        ++rounds;
    } while (status == ARCHIVE_MORE_DATA && rounds < 20);
    EXPECT_EQ(status, ARCHIVE_DECOMPRESS_FAILED);

    // The archive stays usable after a failed read.
    std::string again(5000, '\0');
    EXPECT_EQ(ExtractArchiveEntry(h, 0, &again[0], 5000), ARCHIVE_DECOMPRESS_FAILED);
    CloseArchive(h);
}

TEST(ArchiveReader, DeclaredSizesThatDisagreeWithTheDataFail)
{
    const std::string data = Pattern(3000);
    for (uint32_t declared : {2000u, 4000u}) {
        SCOPED_TRACE(testing::Message() << "declared " << declared);
        std::string bytes = BuildZip({Item("a.bin", data)});
        ASSERT_FALSE(bytes.empty());
        const size_t central = bytes.find("PK\x01\x02");
        const std::string size = Le32(declared);
        bytes.replace(22, 4, size);
        bytes.replace(central + 24, 4, size);
        ArchiveHandle h = OpenArchiveFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
        ASSERT_NE(h, nullptr);
        int32_t index = -1;
        ArchiveEntry entry;
        ASSERT_EQ(FindArchiveEntry(h, L"a.bin", 0, &index, &entry), ARCHIVE_OK);
        EXPECT_EQ(entry.uncompressedSize, declared);
        std::string buffer(declared, '\0');
        EXPECT_EQ(ExtractArchiveEntry(h, index, &buffer[0], declared), ARCHIVE_DECOMPRESS_FAILED);
        CloseArchive(h);
    }
}

TEST(ArchiveReader, DamagedLocalHeaderIsReported)
{
    std::string bytes = BuildZip({Item("good.xml", "good", false), Item("bad.xml", "bad", false)});
    ASSERT_FALSE(bytes.empty());
    const size_t second = bytes.find("PK\x03\x04", 4);
    ASSERT_NE(second, std::string::npos);
    bytes[second + 3] = 9;
    ArchiveHandle h = OpenArchiveFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
    ASSERT_NE(h, nullptr);
    int32_t index = 7;
    ArchiveEntry entry;
    EXPECT_EQ(FindArchiveEntry(h, L"bad.xml", 0, &index, &entry), ARCHIVE_BAD_LOCAL_HEADER);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(entry.index, -1);
    char buffer[8];
    EXPECT_EQ(ExtractArchiveEntry(h, 1, buffer, sizeof(buffer)), ARCHIVE_BAD_LOCAL_HEADER);
    // The neighbour is unaffected.
    EXPECT_EQ(FindArchiveEntry(h, L"good.xml", 0, &index, &entry), ARCHIVE_OK);
    EXPECT_EQ(ExtractArchiveEntry(h, index, buffer, sizeof(buffer)), ARCHIVE_OK);
    EXPECT_EQ(std::string(buffer, 4), "good");
    CloseArchive(h);
}

TEST(ArchiveReader, StatusIsKeptPerThread)
{
    OpenZip zip({Item("a.xml", "a")});
    EXPECT_EQ(FindArchiveEntry(zip.get(), L"missing", 0, nullptr, nullptr), ARCHIVE_NOT_FOUND);
    uint32_t seenElsewhere = 1;
    std::thread other([&] { seenElsewhere = GetArchiveLastStatus(); });
    other.join();
    EXPECT_EQ(seenElsewhere, ARCHIVE_OK);
    EXPECT_EQ(GetArchiveLastStatus(), ARCHIVE_NOT_FOUND);
}

TEST(ArchiveReader, EncryptedEntryWithoutPasswordIsRefused)
{
    std::string bytes = BuildZip({Item("secret.bin", "plain", false)});
    ASSERT_FALSE(bytes.empty());
    const size_t central = bytes.find("PK\x01\x02");
    bytes[6] |= 1;
    bytes[central + 8] |= 1;
    ArchiveHandle h = OpenArchiveFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
    ASSERT_NE(h, nullptr);
    char buffer[16];
    EXPECT_EQ(ExtractArchiveEntry(h, 0, buffer, sizeof(buffer)), ARCHIVE_PASSWORD);
    CloseArchive(h);
}

TEST(ArchiveReader, ChunkedExtractionContinuesWhereItStopped)
{
    const std::string data = Pattern(10000);
    OpenZip zip({Item("a.bin", data), Item("b.bin", "bee", false), Item("empty.bin", "")});

    for (uint32_t chunk : {1u, 333u, 4096u, 5000u, 9999u}) {
        SCOPED_TRACE(testing::Message() << "chunk " << chunk);
        std::string got;
        std::string buffer(chunk, '\0');
        uint32_t status;
        int calls = 0;
        do {
            status = ExtractArchiveEntry(zip.get(), 0, &buffer[0], chunk);
            ++calls;
            const size_t n = status == ARCHIVE_MORE_DATA ? chunk : data.size() - got.size();
            got.append(buffer, 0, n);
        } while (status == ARCHIVE_MORE_DATA && calls < 20000);
        EXPECT_EQ(status, ARCHIVE_OK);
        EXPECT_EQ(got, data);
        EXPECT_EQ(calls, static_cast<int>((data.size() + chunk - 1) / chunk));
    }

    // A buffer of exactly the entry's size ends in one call; a larger one too.
    std::string exact(10000, '\0');
    EXPECT_EQ(ExtractArchiveEntry(zip.get(), 0, &exact[0], 10000), ARCHIVE_OK);
    EXPECT_EQ(exact, data);
    std::string larger(20000, '\0');
    EXPECT_EQ(ExtractArchiveEntry(zip.get(), 0, &larger[0], 20000), ARCHIVE_OK);
    EXPECT_EQ(larger.substr(0, 10000), data);

    // Switching to another entry mid-way and back starts the first one again.
    std::string part(100, '\0');
    EXPECT_EQ(ExtractArchiveEntry(zip.get(), 0, &part[0], 100), ARCHIVE_MORE_DATA);
    char small[8];
    EXPECT_EQ(ExtractArchiveEntry(zip.get(), 1, small, sizeof(small)), ARCHIVE_OK);
    EXPECT_EQ(std::string(small, 3), "bee");
    EXPECT_EQ(ExtractArchiveEntry(zip.get(), 0, &part[0], 100), ARCHIVE_MORE_DATA);
    EXPECT_EQ(part, data.substr(0, 100));

    // An empty entry reads as complete, even into no buffer.
    EXPECT_EQ(ExtractArchiveEntry(zip.get(), 2, nullptr, 0), ARCHIVE_OK);
    EXPECT_EQ(ExtractArchiveEntry(zip.get(), 2, small, sizeof(small)), ARCHIVE_OK);
}

TEST(ArchiveReader, ParentFolderStepsAreStrippedAndLookupsStayExact)
{
    struct Case {
        const char* stored;
        const wchar_t* reported;
    };
    const Case cases[] = {
        {"../../evil.xml", L"evil.xml"},
        {"..\\..\\evil2.xml", L"evil2.xml"},
        {"../single.xml", L"single.xml"},
        {"..\\single2.xml", L"single2.xml"},
        {"RES/../../up.xml", L"up.xml"},
        {"a/b/..\\c/d.xml", L"c/d.xml"},
        {"C:\\Windows\\..\\win.ini", L"win.ini"},
        {"C:../drive.xml", L"drive.xml"},
        {"/abs/path.xml", L"abs/path.xml"},
        {"\\\\server\\share.xml", L"server\\share.xml"},
        {"..", L""},
        {"RES/ok..name.xml", L"RES/ok..name.xml"},
    };
    std::vector<ZipItem> items;
    for (const Case& c : cases)
        items.push_back(Item(c.stored, c.stored, false));
    items.push_back(Item("evil.xml", "the real one", false));
    OpenZip zip(items);

    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        SCOPED_TRACE(cases[i].stored);
        ArchiveEntry entry;
        ASSERT_EQ(zip.get()->reader.GetEntry(static_cast<int32_t>(i), &entry), ARCHIVE_OK);
        EXPECT_EQ(Name(entry), cases[i].reported);
        // Found only under the name it is stored with.
        const std::string stored = cases[i].stored;
        int32_t index = -1;
        EXPECT_EQ(FindArchiveEntry(zip.get(), std::wstring(stored.begin(), stored.end()).c_str(), 0, &index, &entry),
                  ARCHIVE_OK);
        EXPECT_EQ(index, static_cast<int32_t>(i));
    }
    // The plain name finds the plain entry, never the one that climbs out.
    EXPECT_EQ(zip.Read(L"evil.xml"), "the real one");
    EXPECT_EQ(FindArchiveEntry(zip.get(), L"single.xml", 0, nullptr, nullptr), ARCHIVE_NOT_FOUND);
    EXPECT_EQ(FindArchiveEntry(zip.get(), L"up.xml", 0, nullptr, nullptr), ARCHIVE_NOT_FOUND);
}

TEST(ArchiveReader, NamesAreComparedAsUnicode)
{
    const std::wstring chinese = L"RES/\u76AE\u80A4/\u4E3B\u7A97\u53E3.xml";   // 皮肤/主窗口.xml
    const std::wstring similar = L"RES/\u76AE\u80A4/\u4E3B\u7A97\u53E4.xml";   // last character differs
    const std::wstring unflagged = L"RES/\u6D4B\u8BD5.xml";                     // 测试.xml

    ZipItem flagged = Item(Utf8(chinese), "main window", false);
    flagged.utf8Flag = true;
    ZipItem flagged2 = Item(Utf8(similar), "other window", false);
    flagged2.utf8Flag = true;
    ZipItem upper = Item(Utf8(L"RES/\u00C9t\u00E9.xml"), "accented", false);
    upper.utf8Flag = true;
    // UTF-8 bytes without the flag are read in the OEM code page.
    ZipItem raw = Item(Utf8(unflagged), "oem", false);
    // Info-ZIP's Unicode path block carries the real name of an unflagged entry.
    const std::string oemName = "RES/unicode-path.xml";
    const std::string unicodeName = Utf8(L"RES/\u8DEF\u5F84.xml");
    ZipItem infoZip = Item(oemName, "unicode path", false);
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(oemName.data()), static_cast<uInt>(oemName.size()));
    infoZip.centralExtra = Le16(0x7075) + Le16(static_cast<uint16_t>(5 + unicodeName.size())) + std::string(1, '\1') +
                           Le32(static_cast<uint32_t>(crc)) + unicodeName;
    // A Unicode path block whose CRC does not match the name is ignored.
    ZipItem stale = Item("RES/stale.xml", "stale", false);
    stale.centralExtra = infoZip.centralExtra;
    // A long name is compared whole, never by a cut-off head.
    std::wstring longChinese = L"RES/";
    for (int i = 0; i < 100; ++i)
        longChinese += static_cast<wchar_t>(0x4E00 + i);
    ZipItem longItem = Item(Utf8(longChinese), "long", false);
    longItem.utf8Flag = true;
    OpenZip zip({flagged, flagged2, upper, raw, infoZip, stale, longItem});
    EXPECT_EQ(zip.Read(longChinese.c_str()), "long");
    for (size_t cut : {90u, 86u, 87u}) {
        EXPECT_EQ(FindArchiveEntry(zip.get(), longChinese.substr(0, cut).c_str(), 0, nullptr, nullptr),
                  ARCHIVE_NOT_FOUND);
    }

    EXPECT_EQ(zip.Read(chinese.c_str()), "main window");
    EXPECT_EQ(zip.Read(similar.c_str()), "other window");
    ArchiveEntry entry;
    ASSERT_EQ(FindArchiveEntry(zip.get(), chinese.c_str(), 0, nullptr, &entry), ARCHIVE_OK);
    EXPECT_EQ(Name(entry), chinese);

    // Only A-Z and a-z fold: other letters must match exactly.
    EXPECT_EQ(zip.Read(L"res/\u00C9T\u00C9.XML"), "");
    EXPECT_EQ(FindArchiveEntry(zip.get(), L"res/\u00C9T\u00C9.XML", 0, nullptr, nullptr), ARCHIVE_NOT_FOUND);
    EXPECT_EQ(zip.Read(L"res/\u00C9T\u00E9.XML"), "accented");

    const std::string rawBytes = Utf8(unflagged);
    const int n = MultiByteToWideChar(CP_OEMCP, 0, rawBytes.data(), static_cast<int>(rawBytes.size()), nullptr, 0);
    std::wstring asOem(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, rawBytes.data(), static_cast<int>(rawBytes.size()), &asOem[0], n);
    EXPECT_EQ(zip.Read(asOem.c_str()), "oem");
    if (GetOEMCP() != CP_UTF8) {
        EXPECT_EQ(FindArchiveEntry(zip.get(), unflagged.c_str(), 0, nullptr, nullptr), ARCHIVE_NOT_FOUND);
    }

    EXPECT_EQ(zip.Read(L"RES/\u8DEF\u5F84.xml"), "unicode path");
    EXPECT_EQ(FindArchiveEntry(zip.get(), L"RES/unicode-path.xml", 0, nullptr, nullptr), ARCHIVE_NOT_FOUND);
    EXPECT_EQ(zip.Read(L"RES/stale.xml"), "stale");
}

TEST(ArchiveReader, DuplicateNamesFirstOneWins)
{
    OpenZip zip({Item("RES/a.xml", "first"), Item("res/A.XML", "second")});
    int32_t index = -1;
    EXPECT_EQ(FindArchiveEntry(zip.get(), L"RES/A.xml", 0, &index, nullptr), ARCHIVE_OK);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(zip.Read(L"res/A.XML"), "first");
}

TEST(ArchiveReader, AttributesByHostSystem)
{
    struct Case {
        const char* name;
        unsigned long host;
        unsigned long external;
        uint32_t attributes;
    };
    const Case cases[] = {
        {"dos-ro", 0, 0x21, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
        {"ntfs-hidden-system", 11, 0x06, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {"vfat-dir/", 14, 0x10, FILE_ATTRIBUTE_DIRECTORY},
        {"host7-plain", 7, 0x00, 0},
        {"unix-writable", 3, 0100644ul << 16, FILE_ATTRIBUTE_ARCHIVE},
        {"unix-readonly", 3, 0100444ul << 16, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
        {"unix-dir/", 3, 040755ul << 16, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE},
        {"bare-dir/", 0, 0x00, FILE_ATTRIBUTE_DIRECTORY},
    };
    std::vector<ZipItem> items;
    for (const Case& c : cases) {
        ZipItem item = Item(c.name, "", false);
        item.versionMadeBy = (c.host << 8) | 20;
        item.externalAttributes = c.external;
        items.push_back(item);
    }
    OpenZip zip(items);
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        SCOPED_TRACE(cases[i].name);
        ArchiveEntry entry;
        ASSERT_EQ(zip.get()->reader.GetEntry(static_cast<int32_t>(i), &entry), ARCHIVE_OK);
        EXPECT_EQ(entry.attributes, cases[i].attributes);
    }
}

TEST(ArchiveReader, TimesFromDosDateAndBoundedTimestampBlocks)
{
    const uint32_t mtime = 1700000000, atime = 1700000100, ctime = 1600000000;
    const std::string full = Le16(0x5455) + Le16(13) + std::string(1, '\7') + Le32(mtime) + Le32(atime) + Le32(ctime);
    // Flags announce three times but the block only holds one.
    const std::string shortBlock = Le16(0x5455) + Le16(5) + std::string(1, '\7') + Le32(mtime);
    // An unknown block first, then a block whose length runs past the field.
    const std::string overrun = Le16(0xCAFE) + Le16(2) + "xy" + Le16(0x5455) + Le16(40) + std::string(1, '\1') +
                                Le32(mtime);
    const std::string emptyUt = Le16(0x5455) + Le16(0);
    const std::string cutHeader = std::string("U");

    std::vector<ZipItem> items;
    for (const std::string* extra : {&full, &shortBlock, &overrun, &emptyUt, &cutHeader}) {
        ZipItem item = Item("f" + std::to_string(items.size()), "data", false);
        item.localExtra = *extra;
        items.push_back(item);
    }
    items.push_back(Item("plain", "data", false));
    OpenZip zip(items);

    auto check = [&](int32_t index, uint64_t write, uint64_t access, uint64_t creation) {
        SCOPED_TRACE(testing::Message() << "entry " << index);
        ArchiveEntry entry;
        ASSERT_EQ(zip.get()->reader.GetEntry(index, &entry), ARCHIVE_OK);
        EXPECT_EQ(Ticks(entry.lastWriteTime), write);
        EXPECT_EQ(Ticks(entry.lastAccessTime), access);
        EXPECT_EQ(Ticks(entry.creationTime), creation);
    };

    // The DOS date is local time: read back it is 2025-01-12 12:00:00.
    ArchiveEntry plain;
    ASSERT_EQ(zip.get()->reader.GetEntry(5, &plain), ARCHIVE_OK);
    FILETIME local;
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToLocalFileTime(&plain.lastWriteTime, &local));
    ASSERT_TRUE(FileTimeToSystemTime(&local, &st));
    EXPECT_EQ(st.wYear, 2025);
    EXPECT_EQ(st.wMonth, 1);
    EXPECT_EQ(st.wDay, 12);
    EXPECT_EQ(st.wHour, 12);
    EXPECT_EQ(st.wMinute, 0);
    const uint64_t dos = Ticks(plain.lastWriteTime);
    EXPECT_EQ(Ticks(plain.creationTime), dos);
    EXPECT_EQ(Ticks(plain.lastAccessTime), dos);

    check(0, UnixTicks(mtime), UnixTicks(atime), UnixTicks(ctime));
    check(1, UnixTicks(mtime), dos, dos);
    check(2, dos, dos, dos);
    check(3, dos, dos, dos);
    check(4, dos, dos, dos);
}

TEST(ArchiveReader, ListsTheEntriesOfAFolder)
{
    OpenZip zip({Item("RES/anim/", ""), Item("RES/anim/2.png", "two"), Item("RES/other.png", "o"),
                 Item("RES/anim/1.png", "one"), Item("RES/animation.xml", "x")});
    int32_t index = -1;
    ArchiveEntry folder;
    ASSERT_EQ(FindArchiveEntry(zip.get(), L"RES\\anim\\", 0, &index, &folder), ARCHIVE_OK);
    EXPECT_EQ(folder.uncompressedSize, 0u);
    EXPECT_NE(folder.attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);

    const std::vector<ArchiveEntry> frames = zip.get()->reader.ListEntriesWithPrefix(folder);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(Name(frames[0]), L"RES/anim/2.png");
    EXPECT_EQ(frames[0].index, 1);
    EXPECT_EQ(Name(frames[1]), L"RES/anim/1.png");
    std::string buffer(3, '\0');
    EXPECT_EQ(zip.get()->reader.ExtractToMemory(frames[1].index, &buffer[0], 3), ARCHIVE_OK);
    EXPECT_EQ(buffer, "one");
}

TEST(SkinArchive, OpensCopiesAndClosesTheProcessArchive)
{
    CloseSkinArchive();
    EXPECT_EQ(GetSkinArchive(), nullptr);
    std::string bytes = BuildZip({Item("RES/main.xml", "<Window/>")});
    ASSERT_TRUE(OpenSkinArchive(bytes.data(), static_cast<uint32_t>(bytes.size())));
    // The archive holds its own copy of the bytes.
    std::fill(bytes.begin(), bytes.end(), '\0');
    ArchiveHandle h = GetSkinArchive();
    ASSERT_NE(h, nullptr);
    int32_t index = -1;
    ArchiveEntry entry;
    ASSERT_EQ(FindArchiveEntry(h, L"RES/main.xml", 0, &index, &entry), ARCHIVE_OK);
    char buffer[16] = {};
    EXPECT_EQ(ExtractArchiveEntry(h, index, buffer, entry.uncompressedSize), ARCHIVE_OK);
    EXPECT_STREQ(buffer, "<Window/>");

    EXPECT_FALSE(OpenSkinArchive("garbage", 7));
    EXPECT_EQ(GetSkinArchive(), nullptr);
    CloseSkinArchive();
    CloseSkinArchive();
    EXPECT_EQ(GetSkinArchive(), nullptr);

    SetUiResourcePath(L"C:\\skin\\");
    EXPECT_EQ(GetUiResourcePath(), L"C:\\skin\\");
    SetUiResourcePath(nullptr);
    EXPECT_EQ(GetUiResourcePath(), L"");
}
