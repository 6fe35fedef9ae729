#include "net/HttpHelpers.h"

#include "net/HttpDefaultHandler.h"
#include "net/HttpDownloadFileHandler.h"
#include "net/NetResManager.h"

std::string HttpRequestToString(const wchar_t* url, const wchar_t* headers, const void* body, uint32_t bodyLength)
{
    INetResManager* manager = GetNetResManager();
    if (!manager || !url)
        return std::string();
    CHttpDefaultHandler handler;
    stHttpResponseData response;
    response.ownsBuffers = 1;
    stRequestTask task;
    task.verb = kHttpVerbPost;
    task.url = url;
    task.headers = headers ? headers : L"";
    task.body = static_cast<const uint8_t*>(body);
    task.bodyLength = body ? bodyLength : 0;
    task.useCache = 0;
    task.synchronous = 1;
    task.handler = &handler;
    task.userData = &response;
    if (!manager->AddTask(&task) || !response.body)
        return std::string();
    return std::string(response.body, response.bodyLength);
}

bool HttpDownloadToFile(const wchar_t* url, const wchar_t* path)
{
    INetResManager* manager = GetNetResManager();
    if (!manager || !url || !path || !*path)
        return false;
    const std::wstring part = std::wstring(path) + L".part";
    CHttpDownloadFileHandler handler;
    stFileDownloadData download;
    download.ownsBuffers = 1;
    download.targetPath = part.c_str();
    stRequestTask task;
    task.verb = kHttpVerbGet;
    task.url = url;
    task.useCache = 0;
    task.synchronous = 1;
    task.handler = &handler;
    task.userData = &download;
    bool ok = manager->AddTask(&task);
    // OnComplete closes the file: one still open means the body never ended.
    bool complete = !download.file;
    download.CloseFile();
    ok = ok && complete && download.error == 0 && download.status == 200;
    if (ok)
        ok = MoveFileExW(part.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED |
                                                 MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok)
        DeleteFileW(part.c_str());
    return ok;
}
