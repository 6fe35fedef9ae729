// The data object and format enumerator of a control dragged out as a file.
#include "Corvel/Host/ComRef.h"
#include "Corvel/Host/DataObject.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <string>

#include "Corvel/Host/DropSource.h"
#include "Corvel/Host/EnumFormatEtc.h"

namespace {

using Microsoft::WRL::ComPtr;

HGLOBAL TextBlock(const std::string& text)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size());
    memcpy(GlobalLock(block), text.data(), text.size());
    GlobalUnlock(block);
    return block;
}

std::string BlockText(HGLOBAL block)
{
    const char* p = static_cast<const char*>(GlobalLock(block));
    std::string text(p, GlobalSize(block));
    GlobalUnlock(block);
    return text;
}

FORMATETC Format(CLIPFORMAT cf, DWORD tymed, DWORD aspect = DVASPECT_CONTENT)
{
    return FORMATETC{cf, nullptr, aspect, -1, tymed};
}

class DataObjectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        OleInitialize(nullptr);
        data = ui::AdoptComRef<IDataObject>(new ui::CIDataObject(nullptr));
    }
    void TearDown() override
    {
        data.Reset();
        OleUninitialize();
    }

    void Store(CLIPFORMAT cf, const std::string& text, BOOL release = TRUE)
    {
        FORMATETC f = Format(cf, TYMED_HGLOBAL);
        STGMEDIUM m{};
        m.tymed = TYMED_HGLOBAL;
        m.hGlobal = TextBlock(text);
        ASSERT_EQ(S_OK, data->SetData(&f, &m, release));
        if (!release)
            ReleaseStgMedium(&m);
    }

    ComPtr<IDataObject> data;
};

TEST_F(DataObjectTest, GetDataGivesACopyOfTheFirstMatchingRecord)
{
    Store(CF_TEXT, "first");
    Store(CF_TEXT, "second");
    Store(CF_UNICODETEXT, "wide", FALSE); // the caller's medium was copied
    for (int round = 0; round < 2; ++round) {
        FORMATETC f = Format(CF_TEXT, TYMED_HGLOBAL | TYMED_ISTREAM);
        STGMEDIUM m{};
        ASSERT_EQ(S_OK, data->GetData(&f, &m));
        EXPECT_EQ(DWORD(TYMED_HGLOBAL), m.tymed);
        EXPECT_EQ("first", BlockText(m.hGlobal));
        ReleaseStgMedium(&m); // a copy: the stored one stays
    }
    FORMATETC wide = Format(CF_UNICODETEXT, TYMED_HGLOBAL);
    STGMEDIUM m{};
    ASSERT_EQ(S_OK, data->GetData(&wide, &m));
    EXPECT_EQ("wide", BlockText(m.hGlobal));
    ReleaseStgMedium(&m);

    struct Case {
        const char* what;
        FORMATETC format;
    };
    const Case misses[] = {
        {"other format", Format(CF_BITMAP, TYMED_HGLOBAL)},
        {"other medium", Format(CF_TEXT, TYMED_ISTREAM)},
        {"other aspect", Format(CF_TEXT, TYMED_HGLOBAL, DVASPECT_ICON)},
    };
    for (Case c : misses)
        EXPECT_EQ(DV_E_FORMATETC, data->GetData(&c.format, &m)) << c.what;
    EXPECT_EQ(E_INVALIDARG, data->GetData(nullptr, &m));
    EXPECT_EQ(E_INVALIDARG, data->GetData(&wide, nullptr));
    EXPECT_EQ(E_INVALIDARG, data->SetData(nullptr, &m, TRUE));
    EXPECT_EQ(E_NOTIMPL, data->GetDataHere(&wide, &m));
}

TEST_F(DataObjectTest, QueryGetDataAnswersByTheLastRecordWhenNoneMatches)
{
    struct Case {
        const char* what;
        FORMATETC format;
        HRESULT expected;
    };
    // Empty: no medium to match.
    FORMATETC any = Format(CF_TEXT, TYMED_HGLOBAL);
    EXPECT_EQ(DV_E_TYMED, data->QueryGetData(&any));
    Store(CF_TEXT, "a");
    Store(CF_UNICODETEXT, "b");
    const Case cases[] = {
        {"the first record", Format(CF_TEXT, TYMED_HGLOBAL), S_OK},
        {"the second record", Format(CF_UNICODETEXT, TYMED_HGLOBAL), S_OK},
        {"medium matches, format not", Format(CF_BITMAP, TYMED_HGLOBAL), DV_E_CLIPFORMAT},
        {"no medium matches", Format(CF_TEXT, TYMED_ISTREAM), DV_E_TYMED},
        {"no content aspect", Format(CF_TEXT, TYMED_HGLOBAL, DVASPECT_ICON), DV_E_DVASPECT},
    };
    for (Case c : cases)
        EXPECT_EQ(c.expected, data->QueryGetData(&c.format)) << c.what;
    EXPECT_EQ(E_INVALIDARG, data->QueryGetData(nullptr));
    FORMATETC out{};
    EXPECT_EQ(DATA_S_SAMEFORMATETC, data->GetCanonicalFormatEtc(&any, &out));
    EXPECT_EQ(E_INVALIDARG, data->GetCanonicalFormatEtc(&any, nullptr));
    EXPECT_EQ(OLE_E_ADVISENOTSUPPORTED, data->DAdvise(&any, 0, nullptr, nullptr));
    EXPECT_EQ(OLE_E_ADVISENOTSUPPORTED, data->EnumDAdvise(nullptr));
    EXPECT_EQ(E_NOTIMPL, data->DUnadvise(0));
}

TEST_F(DataObjectTest, EnumeratorWalksCopiesOfTheStoredFormats)
{
    Store(CF_TEXT, "a");
    Store(CF_UNICODETEXT, "b");
    Store(CF_OEMTEXT, "c");
    IEnumFORMATETC* none = nullptr;
    EXPECT_EQ(E_NOTIMPL, data->EnumFormatEtc(DATADIR_SET, &none));
    EXPECT_EQ(E_POINTER, data->EnumFormatEtc(DATADIR_GET, nullptr));
    ComPtr<IEnumFORMATETC> formats;
    ASSERT_EQ(S_OK, data->EnumFormatEtc(DATADIR_GET, &formats));

    FORMATETC got[4] = {};
    ULONG fetched = 0;
    EXPECT_EQ(S_OK, formats->Next(1, got, nullptr));
    EXPECT_EQ(CLIPFORMAT(CF_TEXT), got[0].cfFormat);
    EXPECT_EQ(S_FALSE, formats->Next(2, got, nullptr)) << "several records need a count out";
    ComPtr<IEnumFORMATETC> clone;
    ASSERT_EQ(S_OK, formats->Clone(&clone));
    EXPECT_EQ(S_FALSE, formats->Next(4, got, &fetched)) << "fewer than asked";
    EXPECT_EQ(2u, fetched);
    EXPECT_EQ(CLIPFORMAT(CF_UNICODETEXT), got[0].cfFormat);
    EXPECT_EQ(CLIPFORMAT(CF_OEMTEXT), got[1].cfFormat);
    EXPECT_EQ(S_FALSE, formats->Next(1, got, &fetched)) << "at the end";
    EXPECT_EQ(S_FALSE, formats->Next(0, got, &fetched));
    // The clone kept the position it was made at.
    EXPECT_EQ(S_OK, clone->Next(1, got, &fetched));
    EXPECT_EQ(CLIPFORMAT(CF_UNICODETEXT), got[0].cfFormat);
    // Skipping to the end or past it fails and leaves the position.
    EXPECT_EQ(S_FALSE, clone->Skip(1));
    EXPECT_EQ(S_OK, clone->Next(1, got, &fetched));
    EXPECT_EQ(CLIPFORMAT(CF_OEMTEXT), got[0].cfFormat);
    EXPECT_EQ(S_OK, clone->Reset());
    EXPECT_EQ(S_OK, clone->Skip(1));
    EXPECT_EQ(S_OK, clone->Next(1, got, &fetched));
    EXPECT_EQ(CLIPFORMAT(CF_UNICODETEXT), got[0].cfFormat);
    EXPECT_EQ(E_POINTER, clone->Clone(nullptr));
    // The data object's records are its own: the enumerator saw copies.
    formats.Reset();
    clone.Reset();
    FORMATETC text = Format(CF_TEXT, TYMED_HGLOBAL);
    EXPECT_EQ(S_OK, data->QueryGetData(&text));
}

TEST_F(DataObjectTest, MediaAreCopiedByKind)
{
    // A stream is shared, a file name duplicated, unknown media refused.
    ComPtr<IStream> stream;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    STGMEDIUM shared{};
    shared.tymed = TYMED_ISTREAM;
    shared.pstm = stream.Get();
    STGMEDIUM copy{};
    ASSERT_EQ(S_OK, ui::CopyStgMedium(shared, CF_TEXT, copy));
    EXPECT_EQ(stream.Get(), copy.pstm);
    ReleaseStgMedium(&copy);

    wchar_t name[] = L"C:\\dropped.txt";
    STGMEDIUM file{};
    file.tymed = TYMED_FILE;
    file.lpszFileName = name;
    ASSERT_EQ(S_OK, ui::CopyStgMedium(file, CF_TEXT, copy));
    EXPECT_NE(name, copy.lpszFileName);
    EXPECT_STREQ(name, copy.lpszFileName);
    CoTaskMemFree(copy.lpszFileName);

    STGMEDIUM odd{};
    odd.tymed = 0x4000;
    EXPECT_EQ(DV_E_TYMED, ui::CopyStgMedium(odd, CF_TEXT, copy));
    EXPECT_EQ(DWORD(TYMED_NULL), copy.tymed);
    // A stored stream is held by the object until its last Release.
    auto count = [&] {
        stream.Get()->AddRef();
        return stream.Get()->Release();
    };
    const ULONG before = count();
    FORMATETC f = Format(CF_TEXT, TYMED_ISTREAM);
    ASSERT_EQ(S_OK, data->SetData(&f, &shared, FALSE));
    EXPECT_EQ(before + 1, count());
    data.Reset();
    EXPECT_EQ(before, count()) << "the data object did not release its stream";
}

TEST(DropSource, ContinuesCancelsOrDrops)
{
    auto* raw = new ui::CIDropSource();
    ComPtr<IDropSource> source = ui::AdoptComRef<IDropSource>(raw);
    EXPECT_EQ(S_OK, source->QueryContinueDrag(FALSE, MK_LBUTTON));
    EXPECT_FALSE(raw->WasDropped());
    EXPECT_EQ(DRAGDROP_S_CANCEL, source->QueryContinueDrag(TRUE, MK_LBUTTON));
    EXPECT_EQ(S_OK, source->QueryContinueDrag(FALSE, MK_RBUTTON));
    EXPECT_EQ(DRAGDROP_S_DROP, source->QueryContinueDrag(FALSE, 0));
    EXPECT_TRUE(raw->WasDropped());
    EXPECT_EQ(DRAGDROP_S_USEDEFAULTCURSORS, source->GiveFeedback(DROPEFFECT_COPY));
}

} // namespace
