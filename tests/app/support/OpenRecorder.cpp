#include "app/support/OpenRecorder.h"

#include <shellapi.h>

#include "app/support/ChildProcess.h"
#include "support/TestPaths.h"
#include "support/Text.h"

namespace apptest {

namespace {

constexpr const wchar_t* kRecorderFlag = L"--open-recorder";
constexpr const wchar_t* kRecordFileVariable = L"CORVEL_OPEN_RECORD";
constexpr const wchar_t* kRecorderClass = L"CorvelTest.OpenRecorder";
constexpr DWORD kPollMs = 50;
constexpr DWORD kTextUnits = 1024;

bool ReadDefault(const std::wstring& key, std::wstring& value)
{
    wchar_t text[kTextUnits] = {};
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

std::vector<stOpenRecord> ParseRecords(const std::string& bytes)
{
    std::vector<stOpenRecord> records;
    size_t start = 0;
    for (size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = bytes.substr(start, end - start);
        const size_t tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        records.push_back({testsupport::Widen(line.substr(tab + 1)), testsupport::Widen(line.substr(0, tab))});
    }
    return records;
}

} // namespace

// Wine reads the open commands from the machine's classes only.
OpenRecorder::OpenRecorder(const std::wstring& recordFile, const std::vector<std::wstring>& extensions)
    : m_recordFile(recordFile)
{
    SetEnvironmentVariableW(kRecordFileVariable, recordFile.c_str());
    const std::wstring command =
        ChildTestCommand(ThisExecutable(), L"OpenRecorderChild.Record", kRecorderFlag) + L" \"%1\"";
    const std::wstring classKey = std::wstring(L"Software\\Classes\\") + kRecorderClass;
    if (!WriteDefault(classKey + L"\\shell\\open\\command", command))
        m_failed = true;
    m_createdKeys.push_back(classKey);
    for (const std::wstring& extension : extensions) {
        Saved saved;
        saved.key = L"Software\\Classes\\" + extension;
        saved.existed = ReadDefault(saved.key, saved.value);
        if (!WriteDefault(saved.key, kRecorderClass))
            m_failed = true;
        m_saved.push_back(saved);
    }
}

OpenRecorder::~OpenRecorder()
{
    for (const Saved& saved : m_saved) {
        if (saved.existed)
            WriteDefault(saved.key, saved.value);
        else
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, saved.key.c_str());
    }
    for (const std::wstring& key : m_createdKeys)
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    SetEnvironmentVariableW(kRecordFileVariable, nullptr);
}

std::vector<stOpenRecord> OpenRecorder::Records() const
{
    std::string bytes;
    testsupport::ReadFileBytes(m_recordFile, bytes);
    return ParseRecords(bytes);
}

std::vector<stOpenRecord> OpenRecorder::WaitFor(size_t count) const
{
    std::vector<stOpenRecord> records;
    for (DWORD waited = 0; waited < kChildWaitMs; waited += kPollMs) {
        records = Records();
        if (records.size() >= count)
            break;
        Sleep(kPollMs);
    }
    return records;
}

bool IsOpenRecorderChild() { return IsChildRun(kRecorderFlag); }

void RecordOpenFromCommandLine()
{
    wchar_t file[MAX_PATH] = {};
    if (GetEnvironmentVariableW(kRecordFileVariable, file, MAX_PATH) == 0)
        return;
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv)
        return;
    const std::wstring opened = argv[count - 1];
    LocalFree(argv);
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    const std::string line = testsupport::Narrow(folder) + "\t" + testsupport::Narrow(opened) + "\n";
    HANDLE h = CreateFileW(file, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(h);
}

} // namespace apptest
