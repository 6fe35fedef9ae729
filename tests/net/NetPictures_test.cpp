#include "Corvel/Control/Box.h"
#include "Corvel/Core/Control.h"
#include "Corvel/Core/UiNetHandlers.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Render/RenderTarget.h"
#include "Corvel/Render/UiImage.h"
#include "support/ImageFiles.h"
#include "support/TestPaths.h"
#include "support/TestService.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using testsupport::PixelImage;
using testsupport::PumpUntil;
using testsupport::Rgb;
using testsupport::TestService;
using ui::CUiImage;
using ui::PicNetResHandler;

// The picture every test serves: 4 x 4 pixels of one colour.
constexpr uint8_t kPicRed = 0x7F, kPicGreen = 0x10, kPicBlue = 0x20;
constexpr uint32_t kPicColour = (kPicRed << 16) | (kPicGreen << 8) | kPicBlue;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
// Bytes per second of an answer that must still be running when the test
// acts: the 102-byte picture takes about two seconds.
constexpr int kSlowRate = 50;

// A URL of the service whose body is the picture (every byte below 0x80, so
// it travels in the query as it is).
std::wstring PictureUrl(const std::wstring& tag, const std::wstring& extra = std::wstring())
{
    std::string bmp = testsupport::BuildAsciiBmp(4, 4, kPicRed, kPicGreen, kPicBlue);
    std::wstring body;
    for (unsigned char c : bmp) {
        wchar_t hex[4];
        swprintf(hex, 4, L"%%%02X", c);
        body += hex;
    }
    return TestService::Get().Url(L"/pic.bmp?tag=" + tag + L"&body=" + body + extra);
}

CUiImage NetDescriptor(const std::wstring& url) { return CUiImage((L"file='" + url + L"' net='true'").c_str()); }

// Draws its picture over its whole rectangle when the window paints.
class PictureControl : public ui::Control {
public:
    explicit PictureControl(const CUiImage& picture) : image(picture) {}
    void DrawBackgroundImage(ui::RenderTarget* target, const ui::RECTF& paint) override
    {
        if (target)
            target->DrawImage(GetCore(), GetBounds(), paint, image, 255);
    }
    CUiImage image;
};

// A white window with two picture controls at (0,0) and (20,0), 10 x 10.
struct PictureWindow {
    ui::Box* root = new ui::Box();
    PictureControl* left;
    PictureControl* right;
    std::unique_ptr<testsupport::TestWindow> window;

    PictureWindow(const CUiImage& picture, int dpi = 0)
    {
        left = Place(new PictureControl(picture), 0);
        right = Place(new PictureControl(picture), 20);
        root->SetBkColor(kWhite);
        window.reset(new testsupport::TestWindow(dpi));
        window->root = root;
        EXPECT_NE(nullptr, window->CreatePopup(60, 30));
        ShowWindow(window->GetHWND(), SW_SHOWNOACTIVATE);
        testsupport::PumpFor(50);
    }
    PictureControl* Place(PictureControl* c, float x)
    {
        c->SetFloatRect(0, 0, 0, 0);
        c->SetFixedPos(x, 0);
        c->SetFixedWidth(10);
        c->SetFixedHeight(10);
        root->AppendChild(c);
        return c;
    }
    ui::WindowCore& core() { return window->core; }
    bool Shows(int x, int y, uint32_t rgb) { return Rgb(testsupport::ReadCorePixels(core()).At(x, y)) == rgb; }
};

class NetPictureTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(TestService::Get().Available()) << TestService::Get().Error().c_str(); }
    void TearDown() override { ui::SetUiCacheFolder(L""); }
    testsupport::UiLibraryScope lib;
};

TEST_F(NetPictureTest, PictureArrivesThroughTheWindowAndBothWaitingControlsDrawItFromOneRequest)
{
    const std::wstring tag = testsupport::NewTag(L"pic");
    CUiImage picture = NetDescriptor(PictureUrl(tag));
    PictureWindow w(picture);
    EXPECT_EQ(nullptr, w.core().GetImage(picture));  // a network picture is never loaded from a file
    EXPECT_TRUE(ui::BindImageResource(&w.core(), picture, w.left, false));
    EXPECT_TRUE(ui::BindImageResource(&w.core(), picture, w.right, false));
    EXPECT_TRUE(ui::BindImageResource(&w.core(), picture, w.right, false));
    EXPECT_EQ(1u, w.core().PendingBindingCountForTesting());

    ASSERT_TRUE(PumpUntil([&] { return w.Shows(2, 2, kPicColour) && w.Shows(22, 2, kPicColour); }));
    EXPECT_TRUE(w.Shows(5, 5, Rgb(kWhite)));
    EXPECT_TRUE(w.Shows(15, 2, Rgb(kWhite)));
    EXPECT_EQ(1u, TestService::Get().Log(tag).size());
    EXPECT_EQ(0u, w.core().PicHandlerForTesting()->PostedCountForTesting());
    // The picture is in: binding it again asks for nothing.
    EXPECT_FALSE(ui::BindImageResource(&w.core(), picture, w.left, false));
    EXPECT_EQ(1u, TestService::Get().Log(tag).size());
}

TEST_F(NetPictureTest, DescriptorsThatAreNotNetworkPicturesAreNotBound)
{
    PictureWindow w(CUiImage(L"a.png"));
    EXPECT_FALSE(ui::BindImageResource(&w.core(), CUiImage(L"file='http://127.0.0.1/a.png'"), w.left, false));
    EXPECT_FALSE(ui::BindImageResource(&w.core(), CUiImage(L"file='' net='true'"), w.left, false));
    EXPECT_FALSE(ui::BindImageResource(nullptr, NetDescriptor(L"http://127.0.0.1/a.png"), w.left, false));
    EXPECT_EQ(0u, w.core().PendingBindingCountForTesting());
}

struct ScaleCase {
    int dpi;
    const wchar_t* url;
    const wchar_t* requested;
};

class NetPictureScale : public ::testing::TestWithParam<ScaleCase> {
protected:
    testsupport::UiLibraryScope lib;
};

TEST_P(NetPictureScale, UrlCarriesTheScaleAbove100Percent)
{
    const ScaleCase& c = GetParam();
    testsupport::TestWindow window(c.dpi);
    ASSERT_NE(nullptr, window.CreatePopup(20, 20));
    EXPECT_EQ(c.requested, window.core.NetImageUrl(NetDescriptor(c.url)));
}

INSTANTIATE_TEST_SUITE_P(
    Dpis, NetPictureScale,
    ::testing::Values(ScaleCase{96, L"http://h/p.png?x=1", L"http://h/p.png?x=1"},
                      ScaleCase{120, L"http://h/p.png?x=1", L"http://h/p.png?x=1&scale=1.25"},
                      ScaleCase{120, L"http://h/p.png", L"http://h/p.png?scale=1.25"},
                      ScaleCase{192, L"h?p.png", L"h?p.png?scale=2.00"}));

TEST_F(NetPictureTest, At125PercentTheServiceIsAskedForThatScale)
{
    const std::wstring tag = testsupport::NewTag(L"scale");
    CUiImage picture = NetDescriptor(PictureUrl(tag));
    PictureWindow w(picture, 120);
    ASSERT_TRUE(ui::BindImageResource(&w.core(), picture, w.left, false));
    std::vector<testsupport::stLoggedRequest> log = TestService::Get().WaitForLog(tag, 1);
    ASSERT_EQ(1u, log.size());
    EXPECT_NE(std::string::npos, log[0].query.find("&scale=1.25"));
    EXPECT_TRUE(PumpUntil([&] { return w.core().FindImageEntry(picture) != nullptr; }));
}

// Waits until the service has sent a tag's answer whole.
bool WaitForCompleteAnswer(const std::wstring& tag)
{
    return PumpUntil([&] {
        std::vector<testsupport::stLoggedRequest> log = TestService::Get().Log(tag);
        return !log.empty() && log[0].outcome == "complete";
    });
}

TEST_F(NetPictureTest, PictureCompletingAfterItsWindowClosedIsNeverPosted)
{
    const std::wstring tag = testsupport::NewTag(L"closed");
    CUiImage picture = NetDescriptor(PictureUrl(tag, L"&rate=" + std::to_wstring(kSlowRate)));
    PictureWindow w(picture);
    ASSERT_TRUE(ui::BindImageResource(&w.core(), picture, w.left, false));
    ASSERT_EQ(1u, TestService::Get().WaitForLog(tag, 1).size());
    DestroyWindow(w.window->GetHWND());
    PicNetResHandler* handler = w.core().PicHandlerForTesting();
    ASSERT_NE(nullptr, handler);
    EXPECT_EQ(nullptr, handler->GetWindow());

    ASSERT_TRUE(WaitForCompleteAnswer(tag));
    testsupport::PumpFor(300);  // the transfer's last step, and any message it might post
    EXPECT_EQ(0u, handler->PostedCountForTesting());
    EXPECT_EQ(nullptr, w.core().FindImageEntry(picture));
    // The core, its bindings and the bytes go with the window object.
}

TEST_F(NetPictureTest, WindowObjectDestroyedWhileItsPictureDownloadsEndsTheTransfer)
{
    const std::wstring tag = testsupport::NewTag(L"gone");
    CUiImage picture = NetDescriptor(PictureUrl(tag, L"&rate=" + std::to_wstring(kSlowRate)));
    {
        PictureWindow w(picture);
        ASSERT_TRUE(ui::BindImageResource(&w.core(), picture, w.left, false));
        ASSERT_EQ(1u, TestService::Get().WaitForLog(tag, 1).size());
    }
    // Nothing is left to receive the rest: the service sees the client leave.
    EXPECT_TRUE(PumpUntil([&] {
        std::vector<testsupport::stLoggedRequest> log = TestService::Get().Log(tag);
        return !log.empty() && log[0].outcome != "open";
    }));
    testsupport::PumpFor(100);
}

TEST_F(NetPictureTest, PictureFromTheDiskCacheStillArrivesOnce)
{
    testsupport::ScratchDir cache(L"piccache");
    ui::SetUiCacheFolder(cache.Path().c_str());
    const std::wstring tag = testsupport::NewTag(L"cached");
    CUiImage picture = NetDescriptor(PictureUrl(tag));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        PictureWindow w(picture);
        ASSERT_TRUE(ui::BindImageResource(&w.core(), picture, w.left, false));
        ASSERT_TRUE(PumpUntil([&] { return w.Shows(2, 2, kPicColour); }));
        EXPECT_EQ(0u, w.core().PicHandlerForTesting()->PostedCountForTesting());
    }
    EXPECT_EQ(1u, TestService::Get().Log(tag).size());
}

TEST_F(NetPictureTest, AnAnswerThatIsNotAPictureIsForgottenSoItCanBeAskedAgain)
{
    const std::wstring tag = testsupport::NewTag(L"junk");
    CUiImage junk = NetDescriptor(TestService::Get().Url(L"/x.png?tag=" + tag + L"&body=nope"));
    PictureWindow w(junk);
    ASSERT_TRUE(ui::BindImageResource(&w.core(), junk, w.left, false));
    ASSERT_TRUE(PumpUntil([&] { return w.core().PendingBindingCountForTesting() == 0; }));
    EXPECT_EQ(nullptr, w.core().FindImageEntry(junk));
    EXPECT_EQ(0u, w.core().PicHandlerForTesting()->PostedCountForTesting());
    EXPECT_TRUE(ui::BindImageResource(&w.core(), junk, w.left, false));
    EXPECT_EQ(2u, TestService::Get().WaitForLog(tag, 2).size());
}

// ---- the handlers on their own ------------------------------------------------

HWND MessageWindow() { return CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr); }

std::vector<PicNetResHandler::PostedUrl*> TakePosted(HWND window)
{
    std::vector<PicNetResHandler::PostedUrl*> out;
    MSG msg;
    while (PeekMessageW(&msg, window, ui::kMsgNetImage, ui::kMsgNetImage, PM_REMOVE))
        out.push_back(reinterpret_cast<PicNetResHandler::PostedUrl*>(msg.wParam));
    return out;
}

TEST(PicNetResHandlerAlone, PostsOnlyWithAWindowAndReleasesOnlyItsOwnRecords)
{
    HWND window = MessageWindow();
    ASSERT_TRUE(window);
    int binding = 0;
    stRequestTask task;
    task.url = L"http://127.0.0.1/a.png";
    task.userData = &binding;
    {
        PicNetResHandler handler;
        handler.OnComplete(nullptr, &task);
        EXPECT_TRUE(TakePosted(window).empty());
        EXPECT_EQ(0u, handler.PostedCountForTesting());

        handler.SetWindow(window);
        handler.OnComplete(nullptr, &task);
        handler.OnComplete(L"C:\\cache\\1", &task);
        std::vector<PicNetResHandler::PostedUrl*> posted = TakePosted(window);
        ASSERT_EQ(2u, posted.size());
        EXPECT_EQ(task.url, posted[0]->url);
        EXPECT_EQ(&binding, posted[0]->userData);
        EXPECT_EQ(2u, handler.PostedCountForTesting());
        PicNetResHandler::PostedUrl stranger{L"x", nullptr};
        handler.ReleasePostedUrl(&stranger);
        EXPECT_EQ(2u, handler.PostedCountForTesting());
        handler.ReleasePostedUrl(posted[0]);
        EXPECT_EQ(1u, handler.PostedCountForTesting());
        // The handler frees what is still posted when it goes.
    }
    DestroyWindow(window);
}

TEST(PicNetResHandlerAlone, WorkersPostingWhileTheUiThreadReleasesLoseNothing)
{
    HWND window = MessageWindow();
    ASSERT_TRUE(window);
    PicNetResHandler handler;
    handler.SetWindow(window);
    constexpr int kThreads = 4, kEach = 200;
    std::atomic<int> running{kThreads};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&] {
            stRequestTask task;
            task.url = L"http://127.0.0.1/p.png";
            for (int i = 0; i < kEach; ++i)
                handler.OnComplete(nullptr, &task);
            --running;
        });
    }
    int released = 0;
    DWORD start = GetTickCount();
    while ((running > 0 || released < kThreads * kEach) && GetTickCount() - start < 10000) {
        for (PicNetResHandler::PostedUrl* r : TakePosted(window)) {
            handler.ReleasePostedUrl(r);
            ++released;
        }
    }
    for (std::thread& t : workers)
        t.join();
    EXPECT_EQ(kThreads * kEach, released);
    EXPECT_EQ(0u, handler.PostedCountForTesting());
    DestroyWindow(window);
}

TEST(ZipNetResHandlerAlone, CollectsBodyHeadersAndCachedFiles)
{
    ui::ZIPNetResHandler handler;
    ui::SyncCtx ctx;
    stRequestTask task;
    task.userData = &ctx;
    handler.OnHeaders("H1", 2, &task);
    handler.OnHeaders("H2-later", 8, &task);
    EXPECT_EQ(2, handler.OnData("ab", 2, &task));
    EXPECT_EQ(0, handler.OnData("", 0, &task));
    EXPECT_EQ(3, handler.OnData("cde", 3, &task));
    ASSERT_EQ(5u, ctx.bodyLength);
    EXPECT_EQ("abcde", std::string(ctx.body, ctx.bodyLength));
    EXPECT_EQ("H1", std::string(ctx.headers, ctx.headerLength));
    EXPECT_TRUE(handler.OnError(12029, 0, &task));

    testsupport::ScratchDir dir(L"zipres");
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"1"), "cached bytes"));
    EXPECT_TRUE(handler.OnCachedFile(dir.File(L"1").c_str(), 12, &task));
    EXPECT_EQ("cached bytes", std::string(ctx.body, ctx.bodyLength));
    EXPECT_FALSE(handler.OnCachedFile(dir.File(L"missing").c_str(), 12, &task));
    EXPECT_FALSE(handler.OnCachedFile(dir.File(L"1").c_str(), 0, &task));
    EXPECT_EQ("cached bytes", std::string(ctx.body, ctx.bodyLength));
}

} // namespace
