#include "net/HttpDownloadFileHandler.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <string>

static stFileDownloadData* DownloadOf(stRequestTask* task)
{
    return task ? static_cast<stFileDownloadData*>(task->userData) : nullptr;
}

static void CreateParentFolder(const wchar_t* path)
{
    std::wstring folder(path);
    size_t slash = folder.find_last_of(L"\\/");
    if (slash == std::wstring::npos || slash == 0)
        return;
    folder.resize(slash);
    if (!PathFileExistsW(folder.c_str()))
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
}

// The target for writing: at its end with the append flag, else new.
static CFileHandle OpenTarget(const stFileDownloadData& d)
{
    CreateParentFolder(d.targetPath);
    CFileHandle file(CreateFileW(d.targetPath, GENERIC_WRITE, 0, nullptr, d.append ? OPEN_EXISTING : CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file && d.append) {
        LARGE_INTEGER zero = {};
        if (!SetFilePointerEx(file.Get(), zero, nullptr, FILE_END)) {
            DWORD e = GetLastError();
            file.Close();
            SetLastError(e);
        }
    }
    return file;
}

void CHttpDownloadFileHandler::OnBegin(stRequestTask* task, uint32_t lengthLow, uint32_t lengthHigh, int status)
{
    stFileDownloadData* d = DownloadOf(task);
    if (!d)
        return;
    d->totalLength = static_cast<int64_t>((static_cast<uint64_t>(lengthHigh) << 32) | lengthLow);
    d->status = status;
    if (d->file || !d->targetPath)
        return;
    d->file = OpenTarget(*d);
    if (d->file)
        return;
    int error = static_cast<int>(GetLastError());
    if (d->error == 0)
        d->error = error;
    if (task->handler)
        task->handler->OnError(error, status, task);
}

int CHttpDownloadFileHandler::OnData(const char* data, int length, stRequestTask* task)
{
    stFileDownloadData* d = DownloadOf(task);
    if (!d || !d->file)
        return -1;
    if (length <= 0)
        return 0;
    DWORD written = 0;
    while (written < static_cast<DWORD>(length)) {
        DWORD n = 0;
        if (!WriteFile(d->file.Get(), data + written, static_cast<DWORD>(length) - written, &n, nullptr) || n == 0) {
            if (d->error == 0)
                d->error = static_cast<int>(GetLastError() ? GetLastError() : ERROR_WRITE_FAULT);
            return -1;
        }
        written += n;
    }
    d->bodyLength += written;
    uint64_t total = static_cast<uint64_t>(d->totalLength);
    if (d->progress && !d->progress(d->bodyLength, total, d->userValue))
        return -1;
    if (d->progressWindow)
        PostMessageW(d->progressWindow, d->progressMessage, static_cast<WPARAM>(d->bodyLength),
                     static_cast<LPARAM>(static_cast<uint32_t>(total)));
    // A known total below 4 GiB bounds the body; an unknown one (-1) is
    // written on to the end of the response, which the engine checks.
    int32_t high = static_cast<int32_t>(total >> 32);
    if (high == 0 && d->bodyLength > total)
        return -1;
    return static_cast<int>(written);
}

void CHttpDownloadFileHandler::OnComplete(const wchar_t*, stRequestTask* task)
{
    if (stFileDownloadData* d = DownloadOf(task))
        d->CloseFile();
}
