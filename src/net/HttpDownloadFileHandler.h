// Stock handler that streams a response into a file (stFileDownloadData).
#pragma once

#include "net/FileHandle.h"
#include "net/HttpDefaultHandler.h"

#include <windows.h>

#include <cstdint>
#include <functional>

// Result record of CHttpDownloadFileHandler. bodyLength counts the bytes
// written (32 bits wide, as the progress message carries it).
struct stFileDownloadData : stHttpResponseData {
    int32_t append = 0;               // 1 = add to the end of an existing file
    uint32_t progressMessage = 0;
    HWND progressWindow = nullptr;
    CFileHandle file;                 // the target while the body is written; not open otherwise
    const wchar_t* targetPath = nullptr;  // not owned
    uintptr_t userValue = 0;
    // (downloaded, total, user value); false cancels the transfer.
    std::function<bool(uint32_t, uint64_t, uintptr_t)> progress;

    void CloseFile() { file.Close(); }
};

class CHttpDownloadFileHandler : public CHttpDefaultHandler {
public:
    void OnBegin(stRequestTask* task, uint32_t lengthLow, uint32_t lengthHigh, int status) override;
    int OnData(const char* data, int length, stRequestTask* task) override;
    void OnComplete(const wchar_t* cachedPath, stRequestTask* task) override;
};
