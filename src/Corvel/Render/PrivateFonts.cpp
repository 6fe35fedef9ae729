#include "Corvel/Render/PrivateFonts.h"

#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Render/TimeLine.h"

#include <shlwapi.h>
#include <wrl/client.h>

#include <cstring>
#include <cwctype>
#include <deque>
#include <new>
#include <unordered_map>

namespace ui {

namespace {

struct MemBlock {
    uint8_t* data;
    UINT32 size;
    HANDLE gdiHandle; // AddFontMemResourceEx registration, or null
};

struct Registry {
    std::unordered_map<std::wstring, IDWriteFontCollection*, WideKeyHash> collections;
    // By face: the font's family as its name table gives it (GDI's name)
    // and as its collection lists it (DirectWrite's).
    std::unordered_map<std::wstring, std::wstring, WideKeyHash> families;
    std::unordered_map<std::wstring, std::wstring, WideKeyHash> collectionFamilies;
    std::unordered_map<std::wstring, MemBlock, WideKeyHash> memoryFonts;
    std::vector<std::vector<std::wstring>> fileLists;
    std::deque<int32_t> keys; // stable addresses: handed to DirectWrite
    std::vector<std::wstring> gdiFiles; // AddFontResourceExW registrations
    IDWriteFactory* factory = nullptr;
    HRESULT registration = 1;
    MemFontLoader* memLoader = nullptr;
    MFFontCollectionLoader* collectionLoader = nullptr;
};

Registry& Reg()
{
    static Registry registry;
    return registry;
}

bool FileExists(const std::wstring& path)
{
    return !path.empty() && PathFileExistsW(path.c_str());
}

// The list named by a collection key, or null for a malformed key.
const std::vector<std::wstring>* ListOfKey(const void* key, UINT32 keySize)
{
    if (!key || keySize != sizeof(int32_t))
        return nullptr;
    int32_t index = 0;
    memcpy(&index, key, sizeof(index));
    const Registry& r = Reg();
    if (index < 0 || static_cast<size_t>(index) >= r.fileLists.size())
        return nullptr;
    return &r.fileLists[static_cast<size_t>(index)];
}

// The first name of a family (empty when it has none).
std::wstring FirstFamilyName(IDWriteFontCollection* collection, UINT32 index)
{
    Microsoft::WRL::ComPtr<IDWriteFontFamily> family;
    Microsoft::WRL::ComPtr<IDWriteLocalizedStrings> names;
    UINT32 length = 0;
    if (FAILED(collection->GetFontFamily(index, &family)) || FAILED(family->GetFamilyNames(&names)) ||
        names->GetCount() == 0 || FAILED(names->GetStringLength(0, &length)))
        return std::wstring();
    std::wstring name(length + 1, L'\0');
    if (FAILED(names->GetString(0, &name[0], length + 1)))
        return std::wstring();
    name.resize(length);
    return name;
}

// The family DirectWrite finds the font under in its own collection. A font
// whose typographic family differs from its name-table family ("Sans" with
// the style "Light", where GDI sees "Sans Light") is listed under the
// typographic one: the collection's first family then stands for the file.
std::wstring CollectionFamily(IDWriteFontCollection* collection, const std::wstring& nameTableFamily)
{
    UINT32 index = 0;
    BOOL exists = FALSE;
    if (!nameTableFamily.empty() && SUCCEEDED(collection->FindFamilyName(nameTableFamily.c_str(), &index, &exists)) &&
        exists)
        return nameTableFamily;
    return collection->GetFontFamilyCount() > 0 ? FirstFamilyName(collection, 0) : nameTableFamily;
}

IDWriteFontCollection* StoreCollection(const wchar_t* face, const std::vector<std::wstring>& files)
{
    IDWriteFontCollection* collection = nullptr;
    if (FAILED(RegisterFontCollection(files, &collection)) || !collection)
        return nullptr;
    Registry& r = Reg();
    r.collections[face] = collection;
    r.collectionFamilies[face] = CollectionFamily(collection, r.families[face]);
    return collection;
}

// Big-endian readers over a source with a known size; every read is checked.
class ByteSource {
public:
    ByteSource(const uint8_t* mem, size_t size) : m_mem(mem), m_size(size) {}
    ByteSource(FILE* file, size_t size) : m_file(file), m_size(size) {}

    bool Read(uint64_t offset, void* out, size_t length) const
    {
        if (offset > m_size || length > m_size - offset)
            return false;
        if (m_mem) {
            memcpy(out, m_mem + offset, length);
            return true;
        }
        if (_fseeki64(m_file, static_cast<long long>(offset), SEEK_SET) != 0)
            return false;
        return fread(out, 1, length, m_file) == length;
    }
    bool U16(uint64_t offset, uint16_t& v) const
    {
        uint8_t b[2];
        if (!Read(offset, b, 2))
            return false;
        v = static_cast<uint16_t>((b[0] << 8) | b[1]);
        return true;
    }
    bool U32(uint64_t offset, uint32_t& v) const
    {
        uint8_t b[4];
        if (!Read(offset, b, 4))
            return false;
        v = (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | uint32_t(b[3]);
        return true;
    }

private:
    const uint8_t* m_mem = nullptr;
    FILE* m_file = nullptr;
    size_t m_size;
};

struct NameRecord {
    uint16_t platform;
    uint16_t nameId;
    uint16_t length;
    uint16_t offset;
};

bool ReadNameTable(const ByteSource& src, std::wstring (&names)[FontNameReader::kNameCount], unsigned& filled)
{
    uint16_t tableCount = 0;
    if (!src.U16(4, tableCount))
        return false;
    uint64_t nameOffset = 0;
    bool found = false;
    for (uint32_t i = 0; i < tableCount; ++i) {
        const uint64_t rec = 12 + uint64_t(i) * 16;
        char tag[4];
        if (!src.Read(rec, tag, 4))
            return false;
        bool isName = true;
        static const char kName[4] = {'n', 'a', 'm', 'e'};
        for (int k = 0; k < 4; ++k) {
            char c = tag[k];
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            if (c != kName[k])
                isName = false;
        }
        if (!isName)
            continue;
        uint32_t off = 0;
        if (!src.U32(rec + 8, off))
            return false;
        nameOffset = off;
        found = true;
        break;
    }
    if (!found)
        return false;

    uint16_t count = 0, storage = 0;
    if (!src.U16(nameOffset + 2, count) || !src.U16(nameOffset + 4, storage))
        return false;
    std::vector<NameRecord> records;
    records.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t rec = nameOffset + 6 + uint64_t(i) * 12;
        NameRecord r{};
        // A record cut off by the end of the data ends the list.
        if (!src.U16(rec, r.platform) || !src.U16(rec + 6, r.nameId) || !src.U16(rec + 8, r.length) ||
            !src.U16(rec + 10, r.offset))
            break;
        records.push_back(r);
    }

    const unsigned all = (1u << FontNameReader::kNameCount) - 1;
    std::vector<uint8_t> bytes;
    for (const NameRecord& r : records) {
        if (r.nameId >= FontNameReader::kNameCount || (filled & (1u << r.nameId)))
            continue;
        bytes.resize(r.length);
        // A string outside the data is skipped; the other names still count.
        if (r.length && !src.Read(nameOffset + storage + r.offset, bytes.data(), r.length))
            continue;
        std::wstring text;
        if (r.platform == 0 || r.platform == 3) {
            text.resize(r.length / 2);
            for (size_t k = 0; k < text.size(); ++k)
                text[k] = static_cast<wchar_t>((bytes[2 * k] << 8) | bytes[2 * k + 1]);
        } else if (r.length) {
            int n = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes.data()),
                                        static_cast<int>(r.length), nullptr, 0);
            if (n > 0) {
                text.resize(static_cast<size_t>(n));
                MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes.data()),
                                    static_cast<int>(r.length), &text[0], n);
            }
        }
        names[r.nameId] = text;
        filled |= 1u << r.nameId;
        if (filled == all)
            break;
    }
    return true;
}

void ReadStyleFlags(std::wstring sub, bool& bold, bool& italic, bool& regular)
{
    for (auto& ch : sub)
        ch = static_cast<wchar_t>(towlower(ch));
    bold = sub.find(L"bold") != std::wstring::npos;
    italic = sub.find(L"italic") != std::wstring::npos;
    regular = sub.find(L"regular") != std::wstring::npos || sub.find(L"normal") != std::wstring::npos ||
              sub.find(L"standard") != std::wstring::npos;
}

} // namespace

// ---------------------------------------------------------------- FontNameReader

FontNameReader::~FontNameReader()
{
    Close();
}

void FontNameReader::Close()
{
    if (m_file) {
        fclose(m_file);
        m_file = nullptr;
    }
    m_mem = nullptr;
    m_memSize = 0;
    for (auto& n : m_names)
        n.clear();
    m_filled = 0;
    m_bold = m_regular = m_italic = false;
}

const std::wstring& FontNameReader::GetName(int id) const
{
    static const std::wstring kEmpty;
    return HasName(id) ? m_names[id] : kEmpty;
}


bool FontNameReader::ReadFile(const wchar_t* path)
{
    Close();
    m_path = path ? path : L"";
    if (!path || !*path)
        return false;
    m_file = _wfopen(path, L"rb");
    if (!m_file)
        return false;
    size_t size = 0;
    if (_fseeki64(m_file, 0, SEEK_END) == 0) {
        long long end = _ftelli64(m_file);
        if (end > 0)
            size = static_cast<size_t>(end);
    }
    ByteSource src(m_file, size);
    bool ok = ReadNameTable(src, m_names, m_filled);
    if (!ok) {
        Close();
        return false;
    }
    fclose(m_file);
    m_file = nullptr;
    if (HasName(kSubfamily))
        ReadStyleFlags(m_names[kSubfamily], m_bold, m_italic, m_regular);
    return true;
}

void FontNameReader::SetMemory(const void* data, size_t size)
{
    Close();
    m_mem = static_cast<const uint8_t*>(data);
    m_memSize = data ? size : 0;
}

bool FontNameReader::ReadMemory(const void* data, size_t size)
{
    SetMemory(data, size);
    bool ok = ReadNameTableFromMemory();
    m_mem = nullptr;
    m_memSize = 0;
    return ok;
}

bool FontNameReader::ReadNameTableFromMemory()
{
    if (!m_mem)
        return false;
    const uint8_t* mem = m_mem;
    size_t size = m_memSize;
    for (auto& n : m_names)
        n.clear();
    m_filled = 0;
    m_bold = m_regular = m_italic = false;
    ByteSource src(mem, size);
    if (!ReadNameTable(src, m_names, m_filled)) {
        for (auto& n : m_names)
            n.clear();
        m_filled = 0;
        return false;
    }
    if (HasName(kSubfamily))
        ReadStyleFlags(m_names[kSubfamily], m_bold, m_italic, m_regular);
    return true;
}

// ----------------------------------------------------------------- MemFontStream

MemFontStream::MemFontStream(const void* data, UINT32 size)
    : m_data(static_cast<const uint8_t*>(data))
    , m_size(size)
{
}

HRESULT STDMETHODCALLTYPE MemFontStream::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDWriteFontFileStream)) {
        *out = static_cast<IDWriteFontFileStream*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE MemFontStream::AddRef() { return ++m_refs; }

ULONG STDMETHODCALLTYPE MemFontStream::Release()
{
    ULONG n = --m_refs;
    if (n == 0)
        delete this;
    return n;
}

HRESULT STDMETHODCALLTYPE MemFontStream::ReadFileFragment(const void** start, UINT64 offset, UINT64 size,
                                                          void** context)
{
    if (!start || !context)
        return E_POINTER;
    // offset + size can wrap in 64 bits: compare without adding.
    if (offset > m_size || size > m_size - offset) {
        *start = nullptr;
        *context = nullptr;
        return E_FAIL;
    }
    *start = m_data + offset;
    *context = nullptr;
    return S_OK;
}

void STDMETHODCALLTYPE MemFontStream::ReleaseFileFragment(void*) {}

HRESULT STDMETHODCALLTYPE MemFontStream::GetFileSize(UINT64* size)
{
    if (!size)
        return E_POINTER;
    *size = m_size;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MemFontStream::GetLastWriteTime(UINT64* time)
{
    if (time)
        *time = 0;
    return E_NOTIMPL;
}

// ----------------------------------------------------------------- MemFontLoader

MemFontLoader::~MemFontLoader()
{
    if (Reg().memLoader == this)
        Reg().memLoader = nullptr;
}

HRESULT STDMETHODCALLTYPE MemFontLoader::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDWriteFontFileLoader)) {
        *out = static_cast<IDWriteFontFileLoader*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE MemFontLoader::AddRef() { return ++m_refs; }

ULONG STDMETHODCALLTYPE MemFontLoader::Release()
{
    ULONG n = --m_refs;
    if (n == 0)
        delete this;
    return n;
}

HRESULT STDMETHODCALLTYPE MemFontLoader::CreateStreamFromKey(const void* key, UINT32 keySize,
                                                             IDWriteFontFileStream** stream)
{
    if (!stream)
        return E_POINTER;
    *stream = nullptr;
    const std::vector<std::wstring>* list = ListOfKey(key, keySize);
    if (!list)
        return E_INVALIDARG;
    const std::wstring name = list->empty() ? std::wstring() : list->front();
    auto it = Reg().memoryFonts.find(name);
    if (it == Reg().memoryFonts.end())
        return E_FAIL;
    auto* s = new (std::nothrow) MemFontStream(it->second.data, it->second.size);
    if (!s)
        return E_OUTOFMEMORY;
    s->AddRef();
    *stream = s;
    return S_OK;
}

// ---------------------------------------------------------- MFFontFileEnumerator

MFFontFileEnumerator::MFFontFileEnumerator(IDWriteFactory* factory, const void* key, UINT32 keySize,
                                           std::vector<std::wstring> files)
    : m_factory(factory)
    , m_key(nullptr)
    , m_keySize(keySize)
    , m_files(std::move(files))
{
    if (m_factory)
        m_factory->AddRef();
    // Keep our own copy of the key: DirectWrite's buffer may not outlive us.
    if (key && keySize) {
        auto* copy = new uint8_t[keySize];
        memcpy(copy, key, keySize);
        m_key = copy;
    }
}

MFFontFileEnumerator::~MFFontFileEnumerator()
{
    if (m_current)
        m_current->Release();
    if (m_factory)
        m_factory->Release();
    delete[] static_cast<const uint8_t*>(m_key);
}

HRESULT STDMETHODCALLTYPE MFFontFileEnumerator::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDWriteFontFileEnumerator)) {
        *out = static_cast<IDWriteFontFileEnumerator*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE MFFontFileEnumerator::AddRef() { return ++m_refs; }

ULONG STDMETHODCALLTYPE MFFontFileEnumerator::Release()
{
    ULONG n = --m_refs;
    if (n == 0)
        delete this;
    return n;
}

HRESULT STDMETHODCALLTYPE MFFontFileEnumerator::MoveNext(BOOL* hasCurrent)
{
    if (!hasCurrent)
        return E_POINTER;
    if (m_current) {
        m_current->Release();
        m_current = nullptr;
    }
    if (m_next >= m_files.size()) {
        *hasCurrent = FALSE;
        return S_OK;
    }
    if (!m_factory)
        return E_FAIL;
    const std::wstring& name = m_files[m_next];
    HRESULT hr;
    if (FileExists(name)) {
        hr = m_factory->CreateFontFileReference(name.c_str(), nullptr, &m_current);
    } else {
        MemFontLoader* loader = Reg().memLoader;
        hr = loader ? m_factory->CreateCustomFontFileReference(m_key, m_keySize, loader, &m_current) : E_FAIL;
    }
    if (FAILED(hr)) {
        m_current = nullptr;
        *hasCurrent = FALSE;
        return hr;
    }
    *hasCurrent = TRUE;
    ++m_next;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MFFontFileEnumerator::GetCurrentFontFile(IDWriteFontFile** file)
{
    if (!file)
        return E_POINTER;
    *file = m_current;
    if (!m_current)
        return E_FAIL;
    m_current->AddRef();
    return S_OK;
}

// -------------------------------------------------------- MFFontCollectionLoader

MFFontCollectionLoader::~MFFontCollectionLoader()
{
    if (Reg().collectionLoader == this)
        Reg().collectionLoader = nullptr;
}

HRESULT STDMETHODCALLTYPE MFFontCollectionLoader::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDWriteFontCollectionLoader)) {
        *out = static_cast<IDWriteFontCollectionLoader*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE MFFontCollectionLoader::AddRef() { return ++m_refs; }

ULONG STDMETHODCALLTYPE MFFontCollectionLoader::Release()
{
    ULONG n = --m_refs;
    if (n == 0)
        delete this;
    return n;
}

HRESULT STDMETHODCALLTYPE MFFontCollectionLoader::CreateEnumeratorFromKey(IDWriteFactory* factory,
                                                                          const void* key, UINT32 keySize,
                                                                          IDWriteFontFileEnumerator** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (keySize % 4 != 0)
        return E_INVALIDARG;
    const std::vector<std::wstring>* list = ListOfKey(key, keySize);
    if (!list)
        return E_INVALIDARG;
    auto* e = new (std::nothrow) MFFontFileEnumerator(factory, key, keySize, *list);
    if (!e)
        return E_OUTOFMEMORY;
    e->AddRef();
    *out = e;
    return S_OK;
}

// ------------------------------------------------------------------ Registries

MemFontLoader* GetMemFontLoaderForTesting() { return Reg().memLoader; }
MFFontCollectionLoader* GetFontCollectionLoaderForTesting() { return Reg().collectionLoader; }

HRESULT RegisterFontLoaders(IDWriteFactory* factory, IDWriteFontFileLoader* fileLoader,
                            IDWriteFontCollectionLoader* collectionLoader)
{
    if (!factory || !fileLoader || !collectionLoader)
        return E_INVALIDARG;
    HRESULT hr = factory->RegisterFontFileLoader(fileLoader);
    if (FAILED(hr))
        return hr;
    hr = factory->RegisterFontCollectionLoader(collectionLoader);
    if (FAILED(hr)) {
        // Nothing of a half registration may stay behind: the factory would
        // keep our file loader alive and ReleasePrivateFonts, which only
        // unregisters a complete pair, would never take it back.
        (void)factory->UnregisterFontFileLoader(fileLoader);
    }
    return hr;
}

namespace {

// The two loaders exist and are registered with `factory` (once per
// factory); the registration result is remembered, a failure included.
HRESULT EnsureLoadersRegistered(Registry& r, IDWriteFactory* factory)
{
    if (r.registration != 1 && r.factory == factory)
        return r.registration;
    if (!r.memLoader) {
        r.memLoader = new (std::nothrow) MemFontLoader;
        if (!r.memLoader)
            return E_OUTOFMEMORY;
        r.memLoader->AddRef();
    }
    if (!r.collectionLoader) {
        r.collectionLoader = new (std::nothrow) MFFontCollectionLoader;
        if (!r.collectionLoader)
            return E_OUTOFMEMORY;
        r.collectionLoader->AddRef();
    }
    r.factory = factory;
    r.registration = RegisterFontLoaders(factory, r.memLoader, r.collectionLoader);
    // Shutdown releases what was made here, before the factory goes.
    UiGlobals().releasePrivateFonts = &ReleasePrivateFonts;
    return r.registration;
}

} // namespace


HRESULT RegisterFontCollection(const std::vector<std::wstring>& files, IDWriteFontCollection** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    Registry& r = Reg();
    IDWriteFactory* factory = UiGlobals().dwriteFactory;
    if (!factory)
        return E_FAIL;

    const HRESULT registered = EnsureLoadersRegistered(r, factory);
    if (FAILED(registered))
        return registered;

    r.fileLists.push_back(files);
    r.keys.push_back(static_cast<int32_t>(r.fileLists.size() - 1));
    const int32_t* key = &r.keys.back();
    return factory->CreateCustomFontCollection(r.collectionLoader, key, sizeof(*key), out);
}

IDWriteFontCollection* FindPrivateFontCollection(const wchar_t* face, std::wstring* family, std::wstring* gdiFamily)
{
    if (!face)
        return nullptr;
    Registry& r = Reg();
    auto it = r.collections.find(face);
    if (it == r.collections.end())
        return nullptr;
    auto nameOf = [face](const std::unordered_map<std::wstring, std::wstring, WideKeyHash>& names) {
        auto f = names.find(face);
        return f == names.end() ? std::wstring() : f->second;
    };
    if (family)
        *family = nameOf(r.collectionFamilies);
    if (gdiFamily)
        *gdiFamily = nameOf(r.families);
    return it->second;
}

IDWriteFontCollection* LoadPrivateFontFromMemory(const wchar_t* face, const wchar_t* name, const void* data,
                                                 size_t size)
{
    if (!face || !name || !data || size == 0 || size > 0xFFFFFFFFu)
        return nullptr;
    Registry& r = Reg();
    auto existing = r.collections.find(face);
    if (existing != r.collections.end())
        return existing->second;

    FontNameReader reader;
    reader.ReadMemory(data, size);
    r.families[face] = reader.GetFamily();

    // A block already stored under this name stays: collections made over it
    // still read from it.
    auto block = r.memoryFonts.find(name);
    if (block == r.memoryFonts.end()) {
        auto* copy = static_cast<uint8_t*>(malloc(size));
        if (!copy)
            return nullptr;
        memcpy(copy, data, size);
        DWORD count = 0;
        HANDLE gdi = AddFontMemResourceEx(copy, static_cast<DWORD>(size), nullptr, &count);
        block = r.memoryFonts.emplace(name, MemBlock{copy, static_cast<UINT32>(size), gdi}).first;
    }
    return StoreCollection(face, std::vector<std::wstring>{name});
}

IDWriteFontCollection* LoadPrivateFont(const wchar_t* face, const wchar_t* path)
{
    if (!face || !path || !*path)
        return nullptr;
    Registry& r = Reg();
    auto existing = r.collections.find(face);
    if (existing != r.collections.end())
        return existing->second;

    if (ArchiveHandle archive = GetSkinArchive()) {
        int32_t index = -1;
        ArchiveEntry entry{};
        if (FindArchiveEntry(archive, path, 0, &index, &entry) == ARCHIVE_OK && index >= 0) {
            if (entry.uncompressedSize == 0)
                return nullptr;
            std::vector<uint8_t> bytes;
            try {
                bytes.resize(entry.uncompressedSize);
            } catch (const std::bad_alloc&) {
                return nullptr;
            }
            uint32_t status = ExtractArchiveEntry(archive, index, bytes.data(), entry.uncompressedSize);
            if (status != ARCHIVE_OK && status != ARCHIVE_MORE_DATA)
                return nullptr;
            return LoadPrivateFontFromMemory(face, path, bytes.data(), bytes.size());
        }
    }

    // On disk: under the resource root first, then as given.
    std::wstring file = GetUiResourcePath() + path;
    if (!FileExists(file)) {
        file = path;
        if (!FileExists(file))
            return nullptr;
    }
    FontNameReader reader;
    reader.ReadFile(file.c_str());
    r.families[face] = reader.GetFamily();
    if (AddFontResourceExW(file.c_str(), FR_PRIVATE, nullptr) > 0)
        r.gdiFiles.push_back(file);
    return StoreCollection(face, std::vector<std::wstring>{file});
}

void ReleasePrivateFonts()
{
    Registry& r = Reg();
    for (auto& kv : r.collections) {
        if (kv.second)
            kv.second->Release();
    }
    r.collections.clear();
    r.families.clear();
    r.collectionFamilies.clear();
    if (r.factory && SUCCEEDED(r.registration) && r.registration != 1) {
        if (r.collectionLoader)
            r.factory->UnregisterFontCollectionLoader(r.collectionLoader);
        if (r.memLoader)
            r.factory->UnregisterFontFileLoader(r.memLoader);
    }
    r.factory = nullptr;
    r.registration = 1;
    if (r.collectionLoader)
        r.collectionLoader->Release(); // clears r.collectionLoader at the last reference
    if (r.memLoader)
        r.memLoader->Release();
    r.collectionLoader = nullptr;
    r.memLoader = nullptr;
    for (auto& kv : r.memoryFonts) {
        if (kv.second.gdiHandle)
            RemoveFontMemResourceEx(kv.second.gdiHandle);
        free(kv.second.data);
    }
    r.memoryFonts.clear();
    for (const std::wstring& f : r.gdiFiles)
        RemoveFontResourceExW(f.c_str(), FR_PRIVATE, nullptr);
    r.gdiFiles.clear();
    r.fileLists.clear();
    r.keys.clear();
}

} // namespace ui
