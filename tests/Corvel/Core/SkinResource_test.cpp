// The skin archive the build packs into an executable's resources: found as
// "ZIPRES" 104, opened as the skin archive, every packed file readable.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Corvel/Core/SkinArchive.h"
#include "support/TestPaths.h"
#include "support/Text.h"

namespace {

constexpr int kSkinResourceId = 104;
constexpr wchar_t kSkinResourceType[] = L"ZIPRES";

std::string ReadEntry(ArchiveHandle archive, const wchar_t* name)
{
    int32_t index = -1;
    ArchiveEntry entry{};
    if (FindArchiveEntry(archive, name, 0, &index, &entry) != 0 || index < 0)
        return "<missing>";
    std::string bytes(entry.uncompressedSize, '\0');
    if (ExtractArchiveEntry(archive, index, bytes.data(), static_cast<uint32_t>(bytes.size())) != 0)
        return "<unreadable>";
    return bytes;
}

TEST(SkinResource, TheBuildPacksTheSkinFolderIntoTheExecutable)
{
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(kSkinResourceId), kSkinResourceType);
    ASSERT_NE(nullptr, found);
    HGLOBAL loaded = LoadResource(nullptr, found);
    ASSERT_NE(nullptr, loaded);
    const DWORD size = SizeofResource(nullptr, found);
    ASSERT_TRUE(OpenSkinArchive(LockResource(loaded), size));
    ArchiveHandle archive = GetSkinArchive();
    ASSERT_NE(nullptr, archive);

    // Each file of tests/data/skin, under its path in the folder.
    const wchar_t* const names[] = {L"main.xml",         L"window.xml",       L"css.xml",
                                    L"panel.xml",        L"row.xml",          L"broken.xml",
                                    L"RES/logo.png",     L"125/RES/logo.png", L"200/RES/logo.png",
                                    L"200\\RES\\logo.png", L"RES/badge.png",    L"150/RES/badge.png"};
    for (const wchar_t* name : names) {
        std::string onDisk;
        std::wstring path = std::wstring(CORVEL_TEST_SOURCE_DIR) + L"\\tests\\data\\skin\\" + name;
        for (wchar_t& c : path)
            c = c == L'/' ? L'\\' : c;
        ASSERT_TRUE(testsupport::ReadFileBytes(path, onDisk)) << testsupport::Narrow(name);
        EXPECT_EQ(onDisk, ReadEntry(archive, name)) << "packed " << testsupport::Narrow(name);
    }
    // The private font is an installed file the build adds to the folder's.
    std::string font;
    ASSERT_TRUE(testsupport::ReadFileBytes(L"Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuMathTeXGyre.ttf", font));
    EXPECT_EQ(font, ReadEntry(archive, L"RES/fonts/SkinSerif.ttf"));
    EXPECT_EQ("<missing>", ReadEntry(archive, L"absent.xml"));
    CloseSkinArchive();
}

} // namespace
