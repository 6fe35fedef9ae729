// The installer's synchronous helpers over the process-wide manager, and the
// stock handlers they use.
#include "net/HttpDefaultHandler.h"
#include "net/HttpDownloadFileHandler.h"
#include "net/HttpHelpers.h"
#include "net/NetResManager.h"
#include "support/NetTestUtil.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

using namespace testsupport;
using nettest::Narrow;
using nettest::Service;

namespace {

class ManagerScope {
public:
    ManagerScope() { AcquireNetResManager(); }
    ~ManagerScope() { ReleaseNetResManager(); }
};

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

TEST(HttpHelpers, NothingWithoutTheManager)
{
    EXPECT_EQ(GetNetResManager(), nullptr);
    EXPECT_EQ(HttpRequestToString(L"http://127.0.0.1:1/", nullptr, "x", 1), "");
    ScratchDir dir(L"dl");
    EXPECT_FALSE(HttpDownloadToFile(L"http://127.0.0.1:1/", dir.File(L"f").c_str()));
}

TEST(HttpHelpers, ManagerLivesFromFirstAcquireToLastRelease)
{
    EXPECT_TRUE(AcquireNetResManager());
    INetResManager* first = GetNetResManager();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(AcquireNetResManager());
    EXPECT_EQ(GetNetResManager(), first);
    EXPECT_TRUE(ReleaseNetResManager());
    EXPECT_EQ(GetNetResManager(), first);
    EXPECT_TRUE(ReleaseNetResManager());
    EXPECT_EQ(GetNetResManager(), nullptr);
    EXPECT_TRUE(ReleaseNetResManager());  // unbalanced: stays at zero
    EXPECT_TRUE(AcquireNetResManager());
    EXPECT_NE(GetNetResManager(), nullptr);
    EXPECT_TRUE(ReleaseNetResManager());
    EXPECT_EQ(GetNetResManager(), nullptr);
}

TEST(HttpHelpers, RequestToString)
{
    const TestService& s = Service();
    ManagerScope scope;
    const std::wstring tag = NewTag(L"str");
    const std::string body = "{\"a\":1}";
    std::string answer = HttpRequestToString(s.Url(L"/api/settings/info?tag=" + tag + L"&body=%7B%22code%22%3A0%7D").c_str(),
                                             L"Content-Type: application/json\r\nUser-Agent: zirezirovad\r\n\r\n",
                                             body.data(), static_cast<uint32_t>(body.size()));
    EXPECT_EQ(answer, "{\"code\":0}");
    auto log = s.Log(tag);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].method, "POST");
    EXPECT_EQ(log[0].body, body);
    EXPECT_EQ(log[0].Header("Content-Type"), "application/json");

    // No body for an error status, a broken body or no connection.
    EXPECT_EQ(HttpRequestToString(s.Url(L"/x?status=404&body=nf").c_str(), nullptr, nullptr, 0), "");
    EXPECT_EQ(HttpRequestToString(s.Url(L"/x?size=100000&cut=500").c_str(), nullptr, nullptr, 0), "");
    std::wstring refused = L"http://127.0.0.1:" + std::to_wstring(UnusedPort()) + L"/";
    EXPECT_EQ(HttpRequestToString(refused.c_str(), nullptr, nullptr, 0), "");
}

TEST(HttpHelpers, DownloadToFileCreatesFolderAndReplacesOnlyOnSuccess)
{
    const TestService& s = Service();
    ManagerScope scope;
    ScratchDir dir(L"dl");
    const std::wstring target = dir.File(L"a\\b\\Compress.dll");
    ASSERT_TRUE(HttpDownloadToFile(s.Url(L"/Compress.dll?size=250000&seed=11").c_str(), target.c_str()));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(target, bytes));
    EXPECT_EQ(Sha256Hex(bytes), GeneratedSha256(11, 0, 250000));
    EXPECT_FALSE(Exists(target + L".part"));

    // Chunked and close-delimited bodies are whole too.
    for (const wchar_t* q : {L"/c?size=90000&seed=12&chunked=1&chunk=777", L"/c?size=90000&seed=12&length=none"}) {
        std::wstring other = dir.File(L"other.bin");
        ASSERT_TRUE(HttpDownloadToFile(s.Url(q).c_str(), other.c_str())) << Narrow(q);
        ASSERT_TRUE(ReadFileBytes(other, bytes));
        EXPECT_EQ(Sha256Hex(bytes), GeneratedSha256(12, 0, 90000));
    }

    // Failures leave the earlier file as it was and no partial file.
    const char* failures[] = {"/f?size=300000&cut=4000", "/f?size=300000&reset=20000", "/f?size=50&length=80&close=1",
                              "/f?status=404&body=nf", "/f?status=500"};
    for (const char* q : failures) {
        SCOPED_TRACE(q);
        std::wstring wq(q, q + strlen(q));
        EXPECT_FALSE(HttpDownloadToFile(s.Url(wq).c_str(), target.c_str()));
        ASSERT_TRUE(ReadFileBytes(target, bytes));
        EXPECT_EQ(Sha256Hex(bytes), GeneratedSha256(11, 0, 250000));
        EXPECT_FALSE(Exists(target + L".part"));
        std::wstring fresh = dir.File(L"fresh.bin");
        EXPECT_FALSE(HttpDownloadToFile(s.Url(wq).c_str(), fresh.c_str()));
        EXPECT_FALSE(Exists(fresh));
        EXPECT_FALSE(Exists(fresh + L".part"));
    }
}

TEST(HttpHandlers, DefaultHandlerKeepsFirstHeaderBlockAndWholeCachedFiles)
{
    CHttpDefaultHandler handler;
    stHttpResponseData data;
    stRequestTask task;
    task.userData = &data;
    task.handler = &handler;
    const std::wstring first = L"HTTP/1.1 100 Continue\r\n\r\n", second = L"HTTP/1.1 200 OK\r\n\r\n";
    handler.OnHeaders(reinterpret_cast<const char*>(first.c_str()), static_cast<int>(first.size() * 2), &task);
    handler.OnHeaders(reinterpret_cast<const char*>(second.c_str()), static_cast<int>(second.size() * 2), &task);
    ASSERT_EQ(data.headerLength, first.size() * 2);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(data.headers), first.size()), first);

    EXPECT_EQ(handler.OnData("abc", 3, &task), 3);
    EXPECT_EQ(handler.OnData("de", 2, &task), 2);
    EXPECT_EQ(handler.OnData("", 0, &task), 0);
    EXPECT_EQ(std::string(data.body, data.bodyLength), "abcde");

    // A cached file shorter than its size is refused and the record is left alone.
    ScratchDir dir(L"h");
    ASSERT_TRUE(WriteFileBytes(dir.File(L"c"), "12345"));
    EXPECT_FALSE(handler.OnCachedFile(dir.File(L"c").c_str(), 9, &task));
    EXPECT_FALSE(handler.OnCachedFile(dir.File(L"c").c_str(), 0, &task));
    EXPECT_FALSE(handler.OnCachedFile(dir.File(L"missing").c_str(), 5, &task));
    EXPECT_EQ(std::string(data.body, data.bodyLength), "abcde");
    EXPECT_TRUE(handler.OnCachedFile(dir.File(L"c").c_str(), 5, &task));
    EXPECT_EQ(std::string(data.body, data.bodyLength), "12345");

    // The first error is kept; a knock-on error does not hide it.
    handler.OnError(5, 200, &task);
    handler.OnError(ERROR_CANCELLED, 200, &task);
    EXPECT_EQ(data.error, 5);
}

TEST(HttpHandlers, FileHandlerAppendsAndBoundsTheBody)
{
    ScratchDir dir(L"h");
    const std::wstring path = dir.File(L"f.bin");
    ASSERT_TRUE(WriteFileBytes(path, "HEAD-"));
    CHttpDownloadFileHandler handler;
    stFileDownloadData data;
    data.append = 1;
    data.targetPath = path.c_str();
    std::vector<std::pair<uint32_t, uint64_t>> progress;
    data.progress = [&](uint32_t done, uint64_t total, uintptr_t) {
        progress.emplace_back(done, total);
        return true;
    };
    stRequestTask task;
    task.userData = &data;
    task.handler = &handler;
    handler.OnBegin(&task, 6, 0, 200);
    ASSERT_TRUE(data.file.Valid());
    EXPECT_EQ(handler.OnData("body", 4, &task), 4);
    EXPECT_EQ(handler.OnData("!!", 2, &task), 2);
    EXPECT_EQ(handler.OnData("x", 1, &task), -1);  // past the announced length
    handler.OnComplete(nullptr, &task);
    EXPECT_FALSE(data.file.Valid());
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(path, bytes));
    EXPECT_EQ(bytes, "HEAD-body!!x");
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress[0], std::make_pair(4u, uint64_t(6)));

    // An unknown length (-1) is written on to the end of the response.
    stFileDownloadData open;
    const std::wstring other = dir.File(L"sub\\g.bin");
    open.targetPath = other.c_str();
    task.userData = &open;
    handler.OnBegin(&task, 0xFFFFFFFFu, 0xFFFFFFFFu, 200);
    EXPECT_EQ(handler.OnData("12", 2, &task), 2);
    EXPECT_EQ(handler.OnData("34", 2, &task), 2);
    handler.OnComplete(nullptr, &task);
    ASSERT_TRUE(ReadFileBytes(other, bytes));
    EXPECT_EQ(bytes, "1234");

    // A file that cannot be opened reports its error once and stops the body.
    stFileDownloadData bad;
    const std::wstring missing = dir.File(L"nothere.bin");
    bad.append = 1;  // OPEN_EXISTING of a missing file
    bad.targetPath = missing.c_str();
    task.userData = &bad;
    handler.OnBegin(&task, 10, 0, 200);
    EXPECT_FALSE(bad.file.Valid());
    EXPECT_EQ(bad.error, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(handler.OnData("x", 1, &task), -1);
}
