// The demo product ("Corvel Notes") that the demo service ships in its
// packages: a program without a window that, each time it is started,
// appends one line to a marker file beside itself and exits. Tests and the
// demo run read the marker to see that the installer started the installed
// program, with which command line and in which working directory.
//
// Marker: <folder of the exe>\corvel-demo-product.marker, UTF-8, one line
// per start:  start <TAB> <command line> <TAB> <working directory> CR LF
// Exit code 0 when the line was written, 1 when it was not.
#include <windows.h>

#include <string>

namespace {

constexpr wchar_t kMarkerName[] = L"corvel-demo-product.marker";
constexpr int kExitWritten = 0;
constexpr int kExitFailed = 1;
// Long paths under Wine's z: drive exceed MAX_PATH; the buffers grow up to
// the longest path Windows accepts.
constexpr DWORD kLongestPath = 32768;

std::wstring ModulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size() || path.size() >= kLongestPath) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring WorkingDirectory()
{
    const DWORD n = GetCurrentDirectoryW(0, nullptr);
    if (n == 0)
        return {};
    std::wstring dir(n, L'\0');
    dir.resize(GetCurrentDirectoryW(n, dir.data()));
    return dir;
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring MarkerPath(const std::wstring& module)
{
    const size_t slash = module.find_last_of(L"\\/");
    return (slash == std::wstring::npos ? std::wstring() : module.substr(0, slash + 1)) + kMarkerName;
}

// One write with FILE_APPEND_DATA: a reader never sees half a line, and
// starts that overlap each add their own line.
bool AppendLine(const std::wstring& path, const std::string& line)
{
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
                    written == line.size();
    CloseHandle(file);
    return ok;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::wstring module = ModulePath();
    if (module.empty())
        return kExitFailed;
    const std::string line = "start\t" + Utf8(GetCommandLineW()) + "\t" + Utf8(WorkingDirectory()) + "\r\n";
    return AppendLine(MarkerPath(module), line) ? kExitWritten : kExitFailed;
}
