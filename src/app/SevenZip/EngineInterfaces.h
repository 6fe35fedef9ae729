// The engine library's COM interfaces, as far as extraction uses them, with
// their identifiers, property numbers and result codes. The engine exports
// one function, CreateObject, that makes an archive handler by class id.
//
// Identifier layout of the engine: {23170F69-40C1-278A-0000-00yy00xx0000},
// yy the interface group, xx the interface within it. Method order is the
// engine's vtable order and must not change.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <propidl.h>

#include <cstdint>

namespace sevenzip {

// Builds {23170F69-40C1-278A-0000-00<group>00<id>0000}.
constexpr GUID EngineInterfaceId(uint8_t group, uint8_t id)
{
    return GUID{0x23170F69, 0x40C1, 0x278A, {0x00, 0x00, 0x00, group, 0x00, id, 0x00, 0x00}};
}

// Interface groups and members.
constexpr uint8_t kGroupProgress = 0x00;
constexpr uint8_t kGroupStreams = 0x03;
constexpr uint8_t kGroupArchive = 0x06;

constexpr GUID IID_IProgress = EngineInterfaceId(kGroupProgress, 0x05);
constexpr GUID IID_ISequentialInStream = EngineInterfaceId(kGroupStreams, 0x01);
constexpr GUID IID_ISequentialOutStream = EngineInterfaceId(kGroupStreams, 0x02);
constexpr GUID IID_IInStream = EngineInterfaceId(kGroupStreams, 0x03);
constexpr GUID IID_IStreamGetSize = EngineInterfaceId(kGroupStreams, 0x06);
constexpr GUID IID_IArchiveOpenCallback = EngineInterfaceId(kGroupArchive, 0x10);
constexpr GUID IID_IArchiveExtractCallback = EngineInterfaceId(kGroupArchive, 0x20);
constexpr GUID IID_IInArchive = EngineInterfaceId(kGroupArchive, 0x60);

// Archive handler class ids: {23170F69-40C1-278A-1000-000110xx0000}, xx the
// format number (0x01 is zip).
constexpr GUID CLSID_ZipHandler = {0x23170F69, 0x40C1, 0x278A, {0x10, 0x00, 0x00, 0x01, 0x10, 0x01, 0x00, 0x00}};

// Item properties (PROPID) read during extraction.
enum ItemProperty : PROPID {
    kpidPath = 3,   // VT_BSTR, the entry's name inside the archive
    kpidIsDir = 6,  // VT_BOOL
    kpidSize = 7,   // VT_UI8, unpacked size
    kpidAttrib = 9, // VT_UI4, Windows attributes (unix mode in the high word)
    kpidMTime = 12, // VT_FILETIME, UTC
};

// Archive properties (GetArchiveProperty) read after opening.
enum ArchiveProperty : PROPID {
    kpidErrorFlags = 71, // VT_UI4, 0 or absent for a sound archive
};

// askExtractMode of GetStream and PrepareOperation.
enum AskMode : int32_t {
    kAskExtract = 0,
    kAskTest = 1,
    kAskSkip = 2,
};

// opRes of SetOperationResult.
enum OperationResult : int32_t {
    kResultOk = 0,
    kResultUnsupportedMethod = 1,
    kResultDataError = 2,
    kResultCrcError = 3,
    kResultUnavailable = 4,
    kResultUnexpectedEnd = 5,
    kResultDataAfterEnd = 6,
    kResultIsNotArchive = 7,
    kResultHeadersError = 8,
    kResultWrongPassword = 9,
};

// Extract's item count meaning "every item" (with a null index list).
constexpr uint32_t kAllItems = 0xFFFFFFFFu;

struct IProgress : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetTotal(uint64_t total) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCompleted(const uint64_t* completed) = 0;
};

struct ISequentialInStream : public IUnknown {
    // Reads at most size bytes; *processed 0 only at the end of the stream.
    virtual HRESULT STDMETHODCALLTYPE Read(void* data, uint32_t size, uint32_t* processed) = 0;
};

struct ISequentialOutStream : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Write(const void* data, uint32_t size, uint32_t* processed) = 0;
};

struct IInStream : public ISequentialInStream {
    // origin: 0 start, 1 current position, 2 end (as FILE_BEGIN...FILE_END).
    virtual HRESULT STDMETHODCALLTYPE Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) = 0;
};

struct IStreamGetSize : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetSize(uint64_t* size) = 0;
};

struct IArchiveOpenCallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetTotal(const uint64_t* files, const uint64_t* bytes) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCompleted(const uint64_t* files, const uint64_t* bytes) = 0;
};

struct IArchiveExtractCallback : public IProgress {
    // *stream null with S_OK: the item's data is not wanted.
    virtual HRESULT STDMETHODCALLTYPE GetStream(uint32_t index, ISequentialOutStream** stream, int32_t askMode) = 0;
    virtual HRESULT STDMETHODCALLTYPE PrepareOperation(int32_t askMode) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOperationResult(int32_t result) = 0;
};

struct IInArchive : public IUnknown {
    // S_FALSE: the stream is not an archive of the handler's format.
    virtual HRESULT STDMETHODCALLTYPE Open(IInStream* stream, const uint64_t* maxCheckStartPosition,
                                           IArchiveOpenCallback* callback) = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumberOfItems(uint32_t* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetProperty(uint32_t index, PROPID property, PROPVARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Extract(const uint32_t* indices, uint32_t count, int32_t testMode,
                                              IArchiveExtractCallback* callback) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetArchiveProperty(PROPID property, PROPVARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumberOfProperties(uint32_t* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPropertyInfo(uint32_t index, BSTR* name, PROPID* property, VARTYPE* type) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumberOfArchiveProperties(uint32_t* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetArchivePropertyInfo(uint32_t index, BSTR* name, PROPID* property,
                                                             VARTYPE* type) = 0;
};

// The engine's export: STDAPI CreateObject(const GUID* clsid, const GUID* iid, void** object).
using CreateObjectFn = HRESULT(WINAPI*)(const GUID* classId, const GUID* interfaceId, void** object);

} // namespace sevenzip
