// Fonts shipped with a skin (inside the skin archive, on disk, or as bytes in
// memory): registered privately with GDI and served to DirectWrite through our
// own font file and collection loaders, under a face name chosen by markup.
#pragma once

#include <windows.h>
#include <dwrite.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace ui {

// Makes a font file usable under `face`. The path is looked up in the skin
// archive first (GetSkinArchive, when one is open), then under the UI resource
// path (GetUiResourcePath), then as given. Returns the collection (owned by
// the registry) or null.
IDWriteFontCollection* LoadPrivateFont(const wchar_t* face, const wchar_t* path);
// The same for font bytes already in memory; `name` identifies the block (a
// path as written in markup). The bytes are copied.
IDWriteFontCollection* LoadPrivateFontFromMemory(const wchar_t* face, const wchar_t* name,
                                                 const void* data, size_t size);
// The collection loaded for `face`, or null. `family` receives the family
// DirectWrite finds the font under in that collection, `gdiFamily` the
// family of the font's name table, which GDI knows it by (the two differ
// for a font with a typographic family of its own).
IDWriteFontCollection* FindPrivateFontCollection(const wchar_t* face, std::wstring* family,
                                                 std::wstring* gdiFamily = nullptr);
// Unregisters the loaders, releases every collection and GDI registration and
// frees the memory blocks. Set as UiGlobals().releasePrivateFonts.
void ReleasePrivateFonts();

// Builds a custom collection over a list of files (disk paths or names of
// memory blocks).
HRESULT RegisterFontCollection(const std::vector<std::wstring>& files, IDWriteFontCollection** out);

// Registers both loaders with `factory`, or neither: when the factory
// refuses the collection loader, the file loader registered just before is
// unregistered again, so the factory keeps no reference to either. S_OK, or
// the result of the call that failed. UI thread.
HRESULT RegisterFontLoaders(IDWriteFactory* factory, IDWriteFontFileLoader* fileLoader,
                            IDWriteFontCollectionLoader* collectionLoader);

// Reads the "name" table of a TrueType/OpenType file or memory image. Every
// offset is checked against the data's size: a truncated or hostile file
// gives failure, never a read outside the data.
class FontNameReader {
public:
    enum NameId {
        kCopyright = 0,
        kFamily = 1,
        kSubfamily = 2,
        kUniqueId = 3,
        kFullName = 4,
        kVersion = 5,
        kPostScriptName = 6,
        kTrademark = 7,
        kNameCount = 8,
    };

    FontNameReader() = default;
    ~FontNameReader();
    FontNameReader(const FontNameReader&) = delete;
    FontNameReader& operator=(const FontNameReader&) = delete;

    bool ReadFile(const wchar_t* path);
    // Reads from a borrowed memory block (kept only during the call).
    bool ReadMemory(const void* data, size_t size);
    void SetMemory(const void* data, size_t size);
    bool ReadNameTableFromMemory();
    void Close();

    // The string of a name id 0-7; empty when absent.
    const std::wstring& GetName(int id) const;
    bool HasName(int id) const { return id >= 0 && id < kNameCount && (m_filled & (1u << id)); }
    const std::wstring& GetFamily() const { return GetName(kFamily); }
    bool IsBold() const { return m_bold; }
    bool IsRegular() const { return m_regular; }
    bool IsItalic() const { return m_italic; }
    const std::wstring& GetPath() const { return m_path; }

private:

    FILE* m_file = nullptr;
    const uint8_t* m_mem = nullptr;
    size_t m_memSize = 0;
    std::wstring m_path;
    std::wstring m_names[kNameCount];
    unsigned m_filled = 0;
    bool m_bold = false;
    bool m_regular = false;
    bool m_italic = false;
};

// The COM classes DirectWrite calls back into. Reference counts are atomic:
// DirectWrite may call them on its own schedule.
class MemFontStream : public IDWriteFontFileStream {
public:
    MemFontStream(const void* data, UINT32 size);
    virtual ~MemFontStream() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE ReadFileFragment(const void** start, UINT64 offset, UINT64 size,
                                               void** context) override;
    void STDMETHODCALLTYPE ReleaseFileFragment(void* context) override;
    HRESULT STDMETHODCALLTYPE GetFileSize(UINT64* size) override;
    HRESULT STDMETHODCALLTYPE GetLastWriteTime(UINT64* time) override;

private:
    std::atomic<ULONG> m_refs{0};
    const uint8_t* m_data;
    UINT32 m_size;
};

class MemFontLoader : public IDWriteFontFileLoader {
public:
    virtual ~MemFontLoader();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateStreamFromKey(const void* key, UINT32 keySize,
                                                  IDWriteFontFileStream** stream) override;

private:
    std::atomic<ULONG> m_refs{0};
};

class MFFontFileEnumerator : public IDWriteFontFileEnumerator {
public:
    MFFontFileEnumerator(IDWriteFactory* factory, const void* key, UINT32 keySize,
                         std::vector<std::wstring> files);
    virtual ~MFFontFileEnumerator();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE MoveNext(BOOL* hasCurrent) override;
    HRESULT STDMETHODCALLTYPE GetCurrentFontFile(IDWriteFontFile** file) override;

private:
    std::atomic<ULONG> m_refs{0};
    IDWriteFactory* m_factory;
    const void* m_key;
    UINT32 m_keySize;
    IDWriteFontFile* m_current = nullptr;
    std::vector<std::wstring> m_files;
    size_t m_next = 0;
};

class MFFontCollectionLoader : public IDWriteFontCollectionLoader {
public:
    virtual ~MFFontCollectionLoader();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateEnumeratorFromKey(IDWriteFactory* factory, const void* key,
                                                      UINT32 keySize,
                                                      IDWriteFontFileEnumerator** out) override;

private:
    std::atomic<ULONG> m_refs{0};
};

// The single loaders (created by the first registration; null before it and
// after ReleasePrivateFonts). Borrowed.
MemFontLoader* GetMemFontLoaderForTesting();
MFFontCollectionLoader* GetFontCollectionLoaderForTesting();

} // namespace ui
