#include "app/ShellUtil.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <thread>

#include "app/AppValues.h"
#include "app/support/ChildProcess.h"
#include "app/support/DesktopLinks.h"
#include "app/support/LinkRecorder.h"
#include "support/TestPaths.h"
#include "support/Text.h"

using apptest::DesktopLinks;
using apptest::ReadLink;
using testsupport::Narrow;
using testsupport::ScratchDir;

namespace {

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

TEST(ShellUtil, ShortcutSplitsAQuotedTargetIntoPathAndArguments)
{
    ScratchDir dir(L"lnk");
    DesktopLinks links;
    const std::wstring target = dir.File(L"app dir.exe");

    const std::wstring plain = links.Path(L"corvel plain");
    EXPECT_EQ(CreateShortcut(L"corvel plain", target.c_str(), false, L"-p X"), 0);
    apptest::LinkContents contents = ReadLink(plain);
    EXPECT_EQ(contents.path, target);
    EXPECT_EQ(contents.arguments, L"-p X");
    EXPECT_EQ(contents.folder, dir.Path());
    EXPECT_EQ(contents.description, L"corvel plain");

    const std::wstring quoted = links.Path(L"corvel quoted");
    const std::wstring quotedTarget = L"\"" + target + L"\" -run now";
    EXPECT_EQ(CreateShortcut(L"corvel quoted", quotedTarget.c_str(), false, L"dropped"), 0);
    contents = ReadLink(quoted);
    EXPECT_EQ(contents.path, target);
    EXPECT_EQ(contents.arguments, L"-run now");

    // One character after the closing quote: no arguments.
    const std::wstring bare = links.Path(L"corvel bare");
    const std::wstring bareTarget = L"\"" + target + L"\" ";
    EXPECT_EQ(CreateShortcut(L"corvel bare", bareTarget.c_str(), false, L"dropped"), 0);
    EXPECT_EQ(ReadLink(bare).arguments, L"");

    // Ending at the closing quote leaves nothing to cut: no link.
    const std::wstring cut = links.Path(L"corvel cut");
    const std::wstring cutTarget = L"\"" + target + L"\"";
    EXPECT_EQ(CreateShortcut(L"corvel cut", cutTarget.c_str(), false, nullptr), kShortcutFailed);
    EXPECT_FALSE(Exists(cut));
}

TEST(ShellUtil, ShortcutKeepsOrReplacesAnExistingLink)
{
    DesktopLinks links;
    const std::wstring path = links.Path(L"corvel existing");
    ASSERT_TRUE(testsupport::WriteFileBytes(path, "not a link"));
    EXPECT_EQ(CreateShortcut(L"corvel existing", L"C:\\windows\\notepad.exe", false, nullptr), 0);
    std::string bytes;
    ASSERT_TRUE(testsupport::ReadFileBytes(path, bytes));
    EXPECT_EQ(bytes, "not a link");

    EXPECT_EQ(CreateShortcut(L"corvel existing", L"C:\\windows\\notepad.exe", true, nullptr), 0);
    EXPECT_EQ(ReadLink(path).path, L"C:\\windows\\notepad.exe");
}

TEST(ShellUtil, ShortcutNameBecomesOneFileNameOnTheDesktop)
{
    DesktopLinks links;
    const std::wstring reduced = links.Path(L".._corvel_evil");
    const std::wstring escaped = links.Path(L"..\\corvel_evil");
    EXPECT_EQ(CreateShortcut(L"..\\corvel\\evil", L"C:\\windows\\notepad.exe", false, nullptr), 0);
    EXPECT_TRUE(Exists(reduced));
    EXPECT_FALSE(Exists(apptest::DesktopFolder() + L"\\..\\corvel\\evil.lnk"));

    const wchar_t* const refused[] = {L"", L"CON", L"nul.txt", L" .. "};
    for (const wchar_t* name : refused) {
        SCOPED_TRACE(Narrow(name));
        EXPECT_EQ(CreateShortcut(name, L"C:\\windows\\notepad.exe", false, nullptr), ERROR_INVALID_PARAMETER);
    }
    EXPECT_FALSE(Exists(apptest::DesktopFolder() + L"\\.lnk"));
    EXPECT_EQ(CreateShortcut(nullptr, L"C:\\windows\\notepad.exe", false, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(CreateShortcut(L"corvel none", nullptr, false, nullptr), kShortcutFailed);
}

TEST(ShellUtil, ShortcutUndoesOnlyItsOwnComInitialisation)
{
    DesktopLinks links;
    const std::wstring onOle = links.Path(L"corvel ole thread");
    const std::wstring onFresh = links.Path(L"corvel fresh thread");

    // An OLE thread (single-threaded apartment): the call works in it and
    // leaves it initialised.
    std::thread oleThread([&] {
        ASSERT_EQ(OleInitialize(nullptr), S_OK);
        EXPECT_EQ(CreateShortcut(L"corvel ole thread", L"C:\\windows\\notepad.exe", false, nullptr), 0);
        const HRESULT again = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        EXPECT_EQ(again, S_FALSE) << "the thread's OLE was uninitialised";
        if (SUCCEEDED(again))
            CoUninitialize();
        OleUninitialize();
    });
    oleThread.join();
    EXPECT_TRUE(Exists(onOle));

    // A thread without COM: left as it was found.
    std::thread freshThread([&] {
        EXPECT_EQ(CreateShortcut(L"corvel fresh thread", L"C:\\windows\\notepad.exe", false, nullptr), 0);
        const HRESULT after = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        EXPECT_EQ(after, S_OK) << "COM stayed initialised";
        if (SUCCEEDED(after))
            CoUninitialize();
    });
    freshThread.join();
    EXPECT_TRUE(Exists(onFresh));
}

TEST(ShellUtil, OnlyAbsoluteWebLinksAreOpenable)
{
    struct Case {
        const wchar_t* url;
        bool openable;
    } const cases[] = {
        {L"http://example.com", true},
        {L"https://example.com/path?q=1&r=%20#frag", true},
        {L"HTTPS://Example.com:8443/", true},
        {L"http://user@host/x", true},
        {L"http://127.0.0.1:1/下载", true},
        {L"", false},
        {L"http://", false},
        {L"http:///path", false},
        {L"https://?x", false},
        {L"http://:80/", false},
        {L"http:example.com", false},
        {L"file:///C:/Windows/notepad.exe", false},
        {L"C:\\Windows\\notepad.exe", false},
        {L"\\\\server\\share\\setup.exe", false},
        {L"notepad.exe", false},
        {L"cmd.exe /c calc", false},
        {L"javascript:alert(1)", false},
        {L"vbscript:msgbox", false},
        {L"ms-settings:", false},
        {L"ftp://example.com", false},
        {L" http://example.com", false},
        {L"http://example.com\" --evil", false},
        {L"http://example.com x.exe", false},
        {L"http://example.com\tx", false},
        {L"http://example.com\r\nx", false},
        {L"http://example.com/|calc", false},
        {L"http://example.com/^x", false},
        {L"http://example.com\\..\\x", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.url));
        EXPECT_EQ(IsOpenableLink(c.url), c.openable);
    }
}

TEST(ShellUtil, BrowserFallbackHandsTheLinkAsOneArgument)
{
    const std::wstring url = L"https://example.com/a?b=1&c=2;d#e";
    const std::wstring commandLine = L"iexplore.exe " + BrowserFallbackParameters(url);
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(commandLine.c_str(), &count);
    ASSERT_NE(argv, nullptr);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(std::wstring(argv[1]), url);
    LocalFree(argv);
}

LINK_RECORDER_CHILD_TEST()

TEST(ShellUtil, OpenUrlHandsOnlyWebLinksToTheBrowser)
{
    ScratchDir dir(L"links");
    const std::wstring record = dir.File(L"opened.txt");
    apptest::LinkRecorder recorder(record);
    ASSERT_FALSE(recorder.Failed()) << "could not set the prefix's http and https open commands";

    // Refused links never reach the shell.
    const char* const refused[] = {"", "file:///C:/windows/notepad.exe", "C:\\windows\\notepad.exe",
                                   "\\\\127.0.0.1\\share\\x.exe", "javascript:alert(1)",
                                   "cmd.exe /c echo x > x.txt", "http://127.0.0.1:1/\" --evil"};
    for (const char* link : refused) {
        SCOPED_TRACE(link);
        EXPECT_FALSE(OpenUrl(link));
    }
    // A web link, UTF-8 from the service, arrives whole as one argument.
    const std::string link = "http://127.0.0.1:1/\xE4\xB8\x8B\xE8\xBD\xBD?a=1&b=2";
    EXPECT_TRUE(OpenUrl(link));
    const std::vector<std::string> opened = apptest::WaitForRecords(record, 1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], link);
}

TEST(ShellUtil, ProductNameComesFromTheVersionResource)
{
    productName = L"unchanged";
    // The test program carries no version resource.
    EXPECT_FALSE(LoadProductName(apptest::ThisExecutable()));
    EXPECT_EQ(productName, L"unchanged");
    EXPECT_FALSE(LoadProductName(L"C:\\no\\such\\file.exe"));
    EXPECT_EQ(productName, L"unchanged");

    // A system library has one with a product name.
    wchar_t system[MAX_PATH] = {};
    ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
    EXPECT_TRUE(LoadProductName(std::wstring(system) + L"\\kernel32.dll"));
    EXPECT_NE(productName, L"unchanged");
    EXPECT_FALSE(productName.empty());
    productName.clear();
}
