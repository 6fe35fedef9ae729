// The UI library's network handlers: results collected in memory for skin
// resources (ZIPNetResHandler) and for network pictures, which are handed
// to their window with kMsgNetImage when complete (PicNetResHandler).
//
// Results live in the task's user data: a SyncCtx, or the stResBindInfo of
// a network picture binding.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Corvel/Render/UiImage.h"
#include "net/HttpTaskHandler.h"

namespace ui {

class Control;

// Folder of the UI library's network cache (pictures, skin resources); the
// application sets it at start-up. Empty: no disk cache. UI thread.
void SetUiCacheFolder(const wchar_t* folder);
const std::wstring& GetUiCacheFolder();

// What a response left behind: body and first header block (malloc'd).
struct SyncCtx {
    char* body = nullptr;
    uint32_t bodyLength = 0;
    char* headers = nullptr;
    uint32_t headerLength = 0;
    // The destructor frees both buffers only when set.
    uint8_t ownsBuffers = 1;
    // Set once the picture has been decoded.
    uint8_t done = 0;
    // Handed to text receivers.
    int32_t value = 0;

    SyncCtx() = default;
    virtual ~SyncCtx();
    SyncCtx(const SyncCtx&) = delete;
    SyncCtx& operator=(const SyncCtx&) = delete;

    void FreeBody();
    // Appends bytes to the body; false when memory runs out.
    bool AppendBody(const char* data, uint32_t length);
};

// One pending network picture of a window core: the request URL, the
// descriptor to store it under and the controls waiting for it (borrowed;
// the core forgets a control when it goes away).
struct stResBindInfo : SyncCtx {
    std::wstring url;
    CUiImage image;
    // Replace an image already stored under the descriptor's key.
    bool replace = false;
    std::vector<Control*> waiting;
};

class ZIPNetResHandler : public CHttpTaskHandler {
public:
    // Failures leave the body as it is; the caller sees what arrived.
    bool OnError(int error, int status, stRequestTask* task) override;
    bool ReadUploadChunk(stRequestTask* task, void* buffer, uint32_t* length) override;
    // Keeps a heap copy of the first header block.
    void OnHeaders(const char* data, int length, stRequestTask* task) override;
    void OnBegin(stRequestTask* task, uint32_t lengthLow, uint32_t lengthHigh, int status) override;
    // Appends to the body; returns the length (0 for an empty chunk), -1
    // (cancel) when memory runs out.
    int OnData(const char* data, int length, stRequestTask* task) override;
    void OnComplete(const wchar_t* cachedPath, stRequestTask* task) override;
    // The cached file as the body; false when it cannot be opened or is empty.
    bool OnCachedFile(const wchar_t* path, uint32_t size, stRequestTask* task) override;
};

class PicNetResHandler : public ZIPNetResHandler {
public:
    // What the window receives as wParam of kMsgNetImage: the task's URL and
    // its user data (the binding). Owned by the handler until released.
    struct PostedUrl {
        std::wstring url;
        void* userData;
    };

    PicNetResHandler() = default;
    // Frees every record still posted: a window must not release them after.
    ~PicNetResHandler() override;

    // The window told about complete pictures; null stops posting (a picture
    // completing then is not posted and its bytes stay with the binding).
    // Any thread.
    void SetWindow(HWND window);
    HWND GetWindow() const;

    // Posts a record to the window (worker thread, or the UI thread for a
    // cache hit). Nothing without a window.
    void OnComplete(const wchar_t* cachedPath, stRequestTask* task) override;
    // Removes and deletes a record; one that is not posted is left alone.
    void ReleasePostedUrl(PostedUrl* record);
    size_t PostedCountForTesting() const;

private:
    // Guards the window and the posted list: OnComplete runs on connection
    // workers, ReleasePostedUrl and SetWindow on the UI thread.
    mutable std::mutex m_lock;
    HWND m_window = nullptr;
    std::vector<std::unique_ptr<PostedUrl>> m_posted;
};

} // namespace ui
