// UI network handlers: responses collected in memory, pictures posted to
// their window.
#include "Corvel/Core/UiNetHandlers.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "Corvel/Core/WindowCore.h"
#include "net/FileHandle.h"

namespace ui {

namespace {

SyncCtx* ContextOf(stRequestTask* task) { return task ? static_cast<SyncCtx*>(task->userData) : nullptr; }

std::wstring& CacheFolder()
{
    static std::wstring folder;
    return folder;
}

} // namespace

void SetUiCacheFolder(const wchar_t* folder) { CacheFolder() = folder ? folder : L""; }

const std::wstring& GetUiCacheFolder() { return CacheFolder(); }

SyncCtx::~SyncCtx()
{
    if (ownsBuffers) {
        FreeBody();
        free(headers);
    }
    headers = nullptr;
    done = 0;
}

void SyncCtx::FreeBody()
{
    free(body);
    body = nullptr;
    bodyLength = 0;
}

bool SyncCtx::AppendBody(const char* data, uint32_t length)
{
    if (length == 0)
        return true;
    if (bodyLength > UINT32_MAX - length)
        return false;
    char* grown = static_cast<char*>(realloc(body, static_cast<size_t>(bodyLength) + length));
    if (!grown)
        return false;
    memcpy(grown + bodyLength, data, length);
    body = grown;
    bodyLength += length;
    return true;
}

// ---- ZIPNetResHandler ---------------------------------------------------------

bool ZIPNetResHandler::OnError(int, int, stRequestTask*) { return true; }

bool ZIPNetResHandler::ReadUploadChunk(stRequestTask*, void*, uint32_t* length)
{
    if (length)
        *length = 0;
    return false;
}

void ZIPNetResHandler::OnHeaders(const char* data, int length, stRequestTask* task)
{
    SyncCtx* ctx = ContextOf(task);
    if (!ctx || ctx->headers || !data || length <= 0)
        return;
    ctx->headers = static_cast<char*>(malloc(static_cast<size_t>(length)));
    if (!ctx->headers)
        return;
    memcpy(ctx->headers, data, static_cast<size_t>(length));
    ctx->headerLength = static_cast<uint32_t>(length);
}

void ZIPNetResHandler::OnBegin(stRequestTask*, uint32_t, uint32_t, int) {}

int ZIPNetResHandler::OnData(const char* data, int length, stRequestTask* task)
{
    SyncCtx* ctx = ContextOf(task);
    if (!ctx || !data || length <= 0)
        return 0;
    return ctx->AppendBody(data, static_cast<uint32_t>(length)) ? length : -1;
}

void ZIPNetResHandler::OnComplete(const wchar_t*, stRequestTask*) {}

bool ZIPNetResHandler::OnCachedFile(const wchar_t* path, uint32_t size, stRequestTask* task)
{
    SyncCtx* ctx = ContextOf(task);
    if (!ctx || !path || size == 0)
        return false;
    CFileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    if (!file)
        return false;
    char* bytes = static_cast<char*>(malloc(size));
    if (!bytes)
        return false;
    uint32_t done = 0;
    while (done < size) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), bytes + done, size - done, &read, nullptr) || read == 0)
            break;
        done += read;
    }
    ctx->FreeBody();
    ctx->body = bytes;
    ctx->bodyLength = done;
    return true;
}

// ---- PicNetResHandler ---------------------------------------------------------

PicNetResHandler::~PicNetResHandler() = default;

void PicNetResHandler::SetWindow(HWND window)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_window = window;
}

HWND PicNetResHandler::GetWindow() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_window;
}

void PicNetResHandler::OnComplete(const wchar_t*, stRequestTask* task)
{
    if (!task)
        return;
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_window)
        return;
    std::unique_ptr<PostedUrl> record(new PostedUrl{task->url, task->userData});
    PostedUrl* posted = record.get();
    m_posted.push_back(std::move(record));
    if (!PostMessageW(m_window, kMsgNetImage, reinterpret_cast<WPARAM>(posted), 0))
        m_posted.pop_back();  // the window is gone: nobody will release it
}

void PicNetResHandler::ReleasePostedUrl(PostedUrl* record)
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = std::find_if(m_posted.begin(), m_posted.end(),
                           [record](const std::unique_ptr<PostedUrl>& p) { return p.get() == record; });
    if (it != m_posted.end())
        m_posted.erase(it);
}

size_t PicNetResHandler::PostedCountForTesting() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_posted.size();
}

} // namespace ui
