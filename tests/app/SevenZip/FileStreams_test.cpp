#include "app/SevenZip/FileStreams.h"

#include "app/SevenZip/ExtractError.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/TestPaths.h"

using Microsoft::WRL::ComPtr;
using sevenzip::InFileStream;
using sevenzip::OutFileStream;
using testsupport::ScratchDir;

namespace {

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Files in folder other than "." and "..".
int CountFiles(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &found);
    int count = 0;
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    do {
        const std::wstring name = found.cFileName;
        count += name != L"." && name != L"..";
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return count;
}

template <typename Interface>
HRESULT Query(IUnknown* object, const GUID& iid, Interface** out)
{
    return object->QueryInterface(iid, reinterpret_cast<void**>(out));
}

} // namespace

TEST(SevenZipFileStreams, InStreamAnswersItsInterfacesReadsSeeksAndClosesAtLastRelease)
{
    ScratchDir scratch(L"in");
    const std::wstring path = scratch.File(L"a.bin");
    ASSERT_TRUE(testsupport::WriteFileBytes(path, "0123456789"));

    {
        ComPtr<InFileStream> stream = InFileStream::Open(path);
        IUnknown* object = static_cast<sevenzip::IInStream*>(stream.Get());
        sevenzip::IInStream* in = nullptr;
        sevenzip::ISequentialInStream* sequential = nullptr;
        sevenzip::IStreamGetSize* sizer = nullptr;
        IUnknown* unknown = nullptr;
        ASSERT_EQ(Query(object, sevenzip::IID_IInStream, &in), S_OK);
        ASSERT_EQ(Query(object, sevenzip::IID_ISequentialInStream, &sequential), S_OK);
        ASSERT_EQ(Query(object, sevenzip::IID_IStreamGetSize, &sizer), S_OK);
        ASSERT_EQ(Query(object, IID_IUnknown, &unknown), S_OK);
        void* other = reinterpret_cast<void*>(1);
        EXPECT_EQ(object->QueryInterface(sevenzip::IID_ISequentialOutStream, &other), E_NOINTERFACE);
        EXPECT_EQ(other, nullptr);

        uint64_t size = 0;
        EXPECT_EQ(sizer->GetSize(&size), S_OK);
        EXPECT_EQ(size, 10u);
        uint64_t position = 0;
        EXPECT_EQ(in->Seek(-3, FILE_END, &position), S_OK);
        EXPECT_EQ(position, 7u);
        char buffer[8] = {};
        uint32_t got = 0;
        EXPECT_EQ(sequential->Read(buffer, sizeof buffer, &got), S_OK);
        EXPECT_EQ(std::string(buffer, got), "789");
        EXPECT_EQ(in->Read(buffer, sizeof buffer, &got), S_OK);
        EXPECT_EQ(got, 0u); // the end
        EXPECT_EQ(in->Seek(0, 3, &position), STG_E_INVALIDFUNCTION);

        // Four references given out, one kept by `stream`.
        EXPECT_EQ(in->Release(), 4u);
        EXPECT_EQ(sequential->Release(), 3u);
        EXPECT_EQ(sizer->Release(), 2u);
        EXPECT_EQ(unknown->Release(), 1u);
        EXPECT_FALSE(DeleteFileW(path.c_str())); // still open
    }
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST(SevenZipFileStreams, OutStreamWritesBesideTheFinalNameUntilCommitted)
{
    ScratchDir scratch(L"out");
    const std::wstring path = scratch.File(L"entry.txt");
    ASSERT_TRUE(testsupport::WriteFileBytes(path, "old"));

    ComPtr<OutFileStream> stream = OutFileStream::Create(path);
    sevenzip::ISequentialOutStream* out = nullptr;
    ASSERT_EQ(stream->QueryInterface(sevenzip::IID_ISequentialOutStream, reinterpret_cast<void**>(&out)), S_OK);
    uint32_t written = 0;
    EXPECT_EQ(out->Write("new ", 4, &written), S_OK);
    EXPECT_EQ(out->Write("bytes", 5, &written), S_OK);
    EXPECT_EQ(written, 5u);
    EXPECT_EQ(out->Release(), 1u);

    std::string bytes;
    ASSERT_TRUE(testsupport::ReadFileBytes(path, bytes));
    EXPECT_EQ(bytes, "old"); // the final name is untouched while writing
    EXPECT_EQ(CountFiles(scratch.Path()), 2);

    stream->Commit(nullptr, nullptr);
    ASSERT_TRUE(testsupport::ReadFileBytes(path, bytes));
    EXPECT_EQ(bytes, "new bytes");
    EXPECT_EQ(CountFiles(scratch.Path()), 1);
    EXPECT_EQ(stream->Write("late", 4, &written), E_FAIL);
}

TEST(SevenZipFileStreams, OutStreamReleasedOrDiscardedUncommittedLeavesNothing)
{
    ScratchDir scratch(L"out");
    const std::wstring path = scratch.File(L"entry.txt");
    for (bool discard : {false, true}) {
        SCOPED_TRACE(discard ? "discarded" : "released");
        ComPtr<OutFileStream> stream = OutFileStream::Create(path);
        uint32_t written = 0;
        EXPECT_EQ(stream->Write("part", 4, &written), S_OK);
        EXPECT_EQ(CountFiles(scratch.Path()), 1);
        if (discard)
            stream->Discard();
        stream.Reset();
        EXPECT_EQ(CountFiles(scratch.Path()), 0);
        EXPECT_FALSE(Exists(path));
    }
}

TEST(SevenZipFileStreams, OutStreamInAMissingFolderThrows)
{
    ScratchDir scratch(L"out");
    EXPECT_THROW(OutFileStream::Create(scratch.File(L"missing\\entry.txt")), sevenzip::ExtractError);
}
