#include "app/support/LinkRecorder.h"

#include <shellapi.h>

#include "app/support/ChildProcess.h"
#include "support/TestPaths.h"
#include "support/Text.h"

namespace apptest {

namespace {

constexpr const wchar_t* kRecorderFlag = L"--link-recorder";
constexpr const wchar_t* kRecordFileVariable = L"CORVEL_LINK_RECORD";
constexpr DWORD kPollMs = 50;

bool ReadDefault(const std::wstring& key, std::wstring& value)
{
    wchar_t text[1024] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     nullptr, text, &size) != ERROR_SUCCESS)
        return false;
    value = text;
    return true;
}

bool WriteDefault(const std::wstring& key, const std::wstring& value)
{
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

} // namespace

// Wine reads the open commands from the machine's classes only; the current
// user's are not consulted.
LinkRecorder::LinkRecorder(const std::wstring& recordFile)
{
    SetEnvironmentVariableW(kRecordFileVariable, recordFile.c_str());
    const std::wstring command =
        ChildTestCommand(ThisExecutable(), L"LinkRecorderChild.Record", kRecorderFlag) + L" \"%1\"";
    for (const wchar_t* scheme : {L"http", L"https"}) {
        Saved saved;
        saved.key = std::wstring(L"Software\\Classes\\") + scheme + L"\\shell\\open\\command";
        saved.existed = ReadDefault(saved.key, saved.value);
        if (!WriteDefault(saved.key, command))
            m_failed = true;
        m_saved.push_back(saved);
    }
}

LinkRecorder::~LinkRecorder()
{
    for (const Saved& saved : m_saved) {
        if (saved.existed)
            WriteDefault(saved.key, saved.value);
        else
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, saved.key.c_str());
    }
    SetEnvironmentVariableW(kRecordFileVariable, nullptr);
}

std::vector<std::string> WaitForRecords(const std::wstring& file, size_t count)
{
    std::vector<std::string> lines;
    for (DWORD waited = 0; waited < kChildWaitMs; waited += kPollMs) {
        std::string bytes;
        lines.clear();
        if (testsupport::ReadFileBytes(file, bytes)) {
            size_t start = 0;
            for (size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1)
                lines.push_back(bytes.substr(start, end - start));
        }
        if (lines.size() >= count)
            break;
        Sleep(kPollMs);
    }
    return lines;
}

bool IsLinkRecorderChild() { return IsChildRun(kRecorderFlag); }

void RecordLinkFromCommandLine()
{
    wchar_t file[MAX_PATH] = {};
    if (GetEnvironmentVariableW(kRecordFileVariable, file, MAX_PATH) == 0)
        return;
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv)
        return;
    const std::string link = testsupport::Narrow(argv[count - 1]) + "\n";
    LocalFree(argv);
    HANDLE h = CreateFileW(file, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(h, link.data(), static_cast<DWORD>(link.size()), &written, nullptr);
    CloseHandle(h);
}

} // namespace apptest
