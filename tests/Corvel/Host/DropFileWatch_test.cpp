#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Host/DropFileWatch.h"

#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace {

constexpr DWORD kWaitMs = 10000;
// Time given to a callback that should not come.
constexpr DWORD kLateCallMs = 500;

// Builds a ReadDirectoryChangesW result: records laid out as the system lays
// them out, each DWORD-aligned and chained by NextEntryOffset.
class ChangeBuffer {
public:
    ChangeBuffer() : m_bytes(8192, 0) {}

    // Appends a record; returns its offset. The previous record is chained
    // to it.
    size_t Add(DWORD action, const std::wstring& name)
    {
        const size_t header = offsetof(FILE_NOTIFY_INFORMATION, FileName);
        const size_t size = (header + name.size() * sizeof(wchar_t) + 3) & ~size_t(3);
        if (m_hasLast)
            Record(m_last)->NextEntryOffset = static_cast<DWORD>(m_end - m_last);
        auto* r = Record(m_end);
        r->NextEntryOffset = 0;
        r->Action = action;
        r->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
        memcpy(r->FileName, name.data(), name.size() * sizeof(wchar_t));
        m_last = m_end;
        m_hasLast = true;
        m_end += size;
        return m_last;
    }
    FILE_NOTIFY_INFORMATION* Record(size_t offset) { return reinterpret_cast<FILE_NOTIFY_INFORMATION*>(&m_bytes[offset]); }
    const void* Data() const { return m_bytes.data(); }
    DWORD Capacity() const { return static_cast<DWORD>(m_bytes.size()); }
    DWORD Used() const { return static_cast<DWORD>(m_end); }

private:
    // DWORD elements keep the records aligned as the system's are.
    std::vector<unsigned char> m_bytes;
    size_t m_end = 0;
    size_t m_last = 0;
    bool m_hasLast = false;
};

std::vector<std::wstring> Names(const std::vector<ui::DirectoryChange>& changes)
{
    std::vector<std::wstring> names;
    for (const auto& c : changes)
        names.push_back(c.relativeName);
    return names;
}

TEST(DropFileWatchParse, WalksOnlyTheBytesTheReadReturned)
{
    ChangeBuffer buffer;
    buffer.Add(FILE_ACTION_ADDED, L"a.txt");
    const size_t second = buffer.Add(FILE_ACTION_REMOVED, L"dir\\b.txt");
    // Stale bytes from an earlier, longer read lie beyond the second record.
    buffer.Record(second)->NextEntryOffset = 64;
    const DWORD used = static_cast<DWORD>(second) + offsetof(FILE_NOTIFY_INFORMATION, FileName) + 18;

    auto all = ui::ParseDirectoryChanges(buffer.Data(), buffer.Capacity(), used);
    ASSERT_EQ(2u, all.size());
    EXPECT_EQ(DWORD(FILE_ACTION_ADDED), all[0].action);
    EXPECT_EQ(DWORD(FILE_ACTION_REMOVED), all[1].action);
    EXPECT_EQ((std::vector<std::wstring>{L"a.txt", L"dir\\b.txt"}), Names(all));

    struct Case {
        const char* what;
        DWORD returned;
        size_t expected;
    };
    const Case cases[] = {
        {"nothing returned (overflow)", 0, 0},
        {"a header cut short", 6, 0},
        {"the first name cut short", offsetof(FILE_NOTIFY_INFORMATION, FileName) + 4, 0},
        {"the second record cut short", static_cast<DWORD>(second) + 8, 1},
        {"the second name cut short", used - 2, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, ui::ParseDirectoryChanges(buffer.Data(), buffer.Capacity(), c.returned).size()) << c.what;
    // A count larger than the buffer is held to the buffer.
    EXPECT_EQ(2u, ui::ParseDirectoryChanges(buffer.Data(), used, 0xFFFFFFFFu).size());
    EXPECT_TRUE(ui::ParseDirectoryChanges(nullptr, 0, 100).empty());
}

TEST(DropFileWatchParse, MalformedChainsEndTheWalk)
{
    ChangeBuffer buffer;
    const size_t first = buffer.Add(FILE_ACTION_ADDED, L"one");
    buffer.Add(FILE_ACTION_ADDED, L"two");
    // An offset pointing into its own record would walk garbage or loop.
    buffer.Record(first)->NextEntryOffset = 4;
    EXPECT_EQ(std::vector<std::wstring>{L"one"}, Names(ui::ParseDirectoryChanges(buffer.Data(), buffer.Capacity(), buffer.Used())));
    // An odd name length is no UTF-16 name.
    buffer.Record(first)->FileNameLength = 5;
    EXPECT_TRUE(ui::ParseDirectoryChanges(buffer.Data(), buffer.Capacity(), buffer.Used()).empty());
}

TEST(DropFileWatchParse, LongRelativeNamesAreKeptWhole)
{
    // A drop deep inside a folder tree: far more than 130 characters.
    std::wstring deep;
    for (int i = 0; i < 30; ++i)
        deep += L"folder" + std::to_wstring(i) + L"\\";
    deep += L"report.txt";
    ASSERT_GT(deep.size(), 260u);
    ChangeBuffer buffer;
    buffer.Add(FILE_ACTION_ADDED, deep);
    buffer.Add(FILE_ACTION_ADDED, L"after.txt");
    auto all = ui::ParseDirectoryChanges(buffer.Data(), buffer.Capacity(), buffer.Used());
    EXPECT_EQ((std::vector<std::wstring>{deep, L"after.txt"}), Names(all));

    EXPECT_EQ(L"C:\\" + deep, ui::JoinWatchedPath(L"C:\\", deep));
    EXPECT_TRUE(ui::IsDroppedFileOf(deep, L"report.txt"));
    const std::wstring tooLong(ui::kMaxDropWatchPathChars, L'x');
    EXPECT_TRUE(ui::JoinWatchedPath(L"C:\\", tooLong).empty());
    EXPECT_EQ(ui::kMaxDropWatchPathChars, ui::JoinWatchedPath(L"C:\\", tooLong.substr(3)).size());
    EXPECT_TRUE(ui::JoinWatchedPath(L"C:\\", L"").empty());
}

TEST(DropFileWatchMatch, OnlyTheFileBearingTheRegisteredNameMatches)
{
    struct Case {
        const wchar_t* relative;
        bool matches;
    };
    const Case cases[] = {
        {L"report.txt", true},
        {L"Users\\me\\Desktop\\report.txt", true},
        {L"Users\\me\\Desktop\\REPORT.TXT", true},
        {L"Users/me/report.txt", true},
        {L"report.txt\\inner.txt", false},   // a folder of that name
        {L"Users\\me\\myreport.txt", false}, // the name inside a longer one
        {L"Users\\me\\report.txt.bak", false},
        {L"Users\\me\\report", false},
        {L"Users\\me\\", false},
        {L"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.matches, ui::IsDroppedFileOf(c.relative, L"report.txt")) << std::string(c.relative, c.relative + wcslen(c.relative));
    EXPECT_FALSE(ui::IsDroppedFileOf(L"dir\\", L""));
}

TEST(DropFileWatchMatch, NamesTheDragCannotCarryWholeAreRefused)
{
    const std::wstring fits(ui::kMaxDropFileNameChars, L'n');
    EXPECT_TRUE(ui::IsDroppableFileName(fits));
    EXPECT_FALSE(ui::IsDroppableFileName(fits + L"n"));
    EXPECT_FALSE(ui::IsDroppableFileName(L""));
    EXPECT_FALSE(ui::IsDroppableFileName(std::wstring(L"a\0b", 3)));
    auto callback = [](const std::wstring&, const std::string&) {};
    EXPECT_FALSE(ui::RegisterDropFileWatch(callback, fits + L"n"));
    EXPECT_FALSE(ui::RegisterDropFileWatch(callback, L""));
    EXPECT_FALSE(ui::RegisterDropFileWatch(nullptr, L"name.txt"));
    std::lock_guard<std::mutex> guard(ui::GetDropWatchThreads().lock);
    EXPECT_TRUE(ui::GetDropWatchThreads().registry.empty());
    EXPECT_FALSE(ui::GetDropWatchThreads().running);
}

// What the watch callbacks received, signalled to the test thread.
struct Received {
    std::mutex lock;
    std::vector<std::pair<std::wstring, std::string>> calls;
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ~Received() { CloseHandle(event); }

    ui::DropFileCallback Callback(const std::string& tag)
    {
        return [this, tag](const std::wstring& path, const std::string& bytes) {
            {
                std::lock_guard<std::mutex> guard(lock);
                calls.emplace_back(path, tag + ":" + bytes);
            }
            SetEvent(event);
        };
    }
    std::vector<std::pair<std::wstring, std::string>> Calls()
    {
        std::lock_guard<std::mutex> guard(lock);
        return calls;
    }
};

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Waits, bounded, until `path` is gone.
bool WaitGone(const std::wstring& path)
{
    for (DWORD waited = 0; waited < kWaitMs; waited += 20) {
        if (!Exists(path))
            return true;
        Sleep(20);
    }
    return false;
}

class DropFileWatchDrives : public ::testing::Test {
protected:
    void SetUp() override { InitUiLibrary(GetModuleHandleW(nullptr)); }
    void TearDown() override { ShutdownUiLibrary(); }

    // A per-run name, so files of other runs never match.
    std::wstring UniqueName(const wchar_t* stem)
    {
        return std::wstring(stem) + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(GetTickCount()) + L".txt";
    }
};

TEST_F(DropFileWatchDrives, FirstRegistrationWatchesEveryFixedDriveRoot)
{
    ASSERT_TRUE(ui::RegisterDropFileWatch([](const std::wstring&, const std::string&) {}, UniqueName(L"drives")));
    ui::DropWatchThreads& all = ui::GetDropWatchThreads();
    std::vector<std::wstring> roots;
    {
        std::lock_guard<std::mutex> guard(all.lock);
        for (const auto& r : all.records)
            roots.push_back(r->root);
    }
    ASSERT_FALSE(roots.empty());
    for (const auto& root : roots)
        EXPECT_EQ(UINT(DRIVE_FIXED), GetDriveTypeW(root.c_str())) << std::string(root.begin(), root.end());
    // Later registrations start no more watchers.
    ASSERT_TRUE(ui::RegisterDropFileWatch([](const std::wstring&, const std::string&) {}, UniqueName(L"again")));
    std::lock_guard<std::mutex> guard(all.lock);
    EXPECT_EQ(roots.size(), all.records.size());
}

// The tests below watch their own folder in place of the drive roots: Wine
// sets up a watch of a whole drive (a recursive inotify watch of every
// folder below C:\) too slowly for a bounded wait.
TEST_F(DropFileWatchDrives, FileMovedIntoAFolderReachesTheCallbackThenGoes)
{
    testsupport::ScratchDir staging(L"dropsrc");
    testsupport::ScratchDir target(L"droptarget");
    const std::wstring name = UniqueName(L"report");
    Received received;
    ASSERT_TRUE(ui::WatchFolderForTesting(target.Path()));
    ASSERT_TRUE(ui::RegisterDropFileWatch(received.Callback("first"), name));
    // A second registration of the name keeps the first callback.
    ASSERT_TRUE(ui::RegisterDropFileWatch(received.Callback("second"), name));
    {
        std::lock_guard<std::mutex> guard(ui::GetDropWatchThreads().lock);
        EXPECT_FALSE(ui::GetDropWatchThreads().records.empty()) << "no fixed drive watched";
    }
    Sleep(300); // the watchers' first reads are pending

    // The user's own files that merely carry the name are never touched.
    const std::wstring longer = target.File(L"my" + name);
    ASSERT_TRUE(testsupport::WriteFileBytes(longer, "mine"));

    const std::wstring source = staging.File(L"placeholder.tmp");
    ASSERT_TRUE(testsupport::WriteFileBytes(source, "payload\0"));
    const std::wstring dropped = target.File(name);
    ASSERT_TRUE(MoveFileW(source.c_str(), dropped.c_str()));

    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(received.event, kWaitMs)) << "the drop was not noticed";
    Sleep(500); // a second report would come now
    auto calls = received.Calls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(CSTR_EQUAL, CompareStringOrdinal(dropped.c_str(), -1, calls[0].first.c_str(), -1, TRUE));
    EXPECT_EQ("first:payload", calls[0].second);
    EXPECT_TRUE(WaitGone(dropped)) << "the placeholder stayed";
    EXPECT_TRUE(Exists(longer));
}

TEST_F(DropFileWatchDrives, EmptyDropIsDeletedWithoutCallback)
{
    testsupport::ScratchDir target(L"dropempty");
    const std::wstring emptyName = UniqueName(L"empty");
    Received received;
    ASSERT_TRUE(ui::WatchFolderForTesting(target.Path()));
    ASSERT_TRUE(ui::RegisterDropFileWatch(received.Callback("empty"), emptyName));
    Sleep(300);
    const std::wstring empty = target.File(emptyName);
    ASSERT_TRUE(testsupport::WriteFileBytes(empty, ""));
    // The watcher calls back before it deletes the placeholder: once the
    // file is gone, a call would already have been made.
    ASSERT_TRUE(WaitGone(empty));
    EXPECT_NE(WAIT_OBJECT_0, WaitForSingleObject(received.event, kLateCallMs)) << "an empty drop called back";
    EXPECT_TRUE(received.Calls().empty());
}

TEST_F(DropFileWatchDrives, DropIsReadOnceItsWriterClosedIt)
{
    // The shell creates the file first and writes it afterwards: read at
    // once it would be empty and the drop lost.
    testsupport::ScratchDir target(L"dropslow");
    const std::wstring name = UniqueName(L"slow");
    Received received;
    ASSERT_TRUE(ui::WatchFolderForTesting(target.Path()));
    ASSERT_TRUE(ui::RegisterDropFileWatch(received.Callback("slow"), name));
    Sleep(300);
    const std::wstring path = target.File(name);
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    Sleep(500); // the watcher has seen the new, still empty file
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(writer, "late bytes", 10, &written, nullptr));
    CloseHandle(writer);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(received.event, kWaitMs)) << "the drop was lost";
    auto calls = received.Calls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ("slow:late bytes", calls[0].second);
    EXPECT_TRUE(WaitGone(path));
}

TEST_F(DropFileWatchDrives, ShutdownJoinsWatchersClosesFoldersAndForgetsNames)
{
    testsupport::ScratchDir dir(L"dropstop");
    ASSERT_TRUE(ui::WatchFolderForTesting(dir.Path()));
    ASSERT_TRUE(ui::RegisterDropFileWatch([](const std::wstring&, const std::string&) {}, L"a.txt"));
    Sleep(100);
    // While a watcher holds the folder, nobody can open it exclusively.
    auto openExclusive = [&] {
        HANDLE h = CreateFileW(dir.Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(h);
        return true;
    };
    EXPECT_FALSE(openExclusive());

    ShutdownUiLibrary();
    ui::DropWatchThreads& all = ui::GetDropWatchThreads();
    EXPECT_FALSE(all.running);
    EXPECT_TRUE(all.records.empty());
    EXPECT_TRUE(all.registry.empty());
    EXPECT_TRUE(openExclusive()) << "a watcher's folder handle was left open";
    ui::StopDropWatchThreads(); // nothing left: harmless
    InitUiLibrary(GetModuleHandleW(nullptr));
}

} // namespace
