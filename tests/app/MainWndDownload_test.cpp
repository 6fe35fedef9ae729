// The main window's download of the package, in the installer's own window
// against the demo service: progress, speed and state texts, the end handed
// over; a dropped connection with its message and a resume from the saved
// offset; a trickle that restarts the download; refused starts whose late
// reports change nothing; closing the window in the middle.
#include "app/MainWnd.h"

#include <gtest/gtest.h>

#include <json/json.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Corvel/Control/ProgressBar.h"
#include "app/AppModel.h"
#include "app/AppValues.h"
#include "app/Encodings.h"
#include "app/support/DemoService.h"
#include "app/support/InstallerSession.h"
#include "app/support/LinkRecorder.h"
#include "app/support/TipAnswerer.h"
#include "support/TestPaths.h"
#include "support/TestService.h"
#include "support/Text.h"

using apptest::DemoService;
using apptest::PumpFor;
using apptest::PumpUntil;
using testsupport::Narrow;

LINK_RECORDER_CHILD_TEST()

namespace {

const wchar_t kPackageFile[] = L"CVL2026-STD.zip";
// The restart timer's period in these tests: long enough for a tick or two
// of the trickle, short enough to wait for.
constexpr UINT kShortRestartMs = 2500;
// Downloads here end well within this.
constexpr DWORD kDownloadWaitMs = 30000;
// What a screenshot waits for the window to paint.
constexpr DWORD kPaintMs = 700;

struct stEnd {
    uint64_t a, b, c;
};

// One installer window on a tag of the demo service whose package answers
// carry `faults` (pkg_* keys), with the descriptor of the tag's first
// package accepted and an installation directory inside a scratch folder.
class DownloadRun {
public:
    DownloadRun(const std::wstring& tag, const Json::Value& faults)
        : m_tag(tag), m_configured(DemoService::Get().Configure(tag, faults)), m_scratch(L"download"),
          m_recorder(m_scratch.File(L"opened.txt")), m_session(DemoService::Get().BaseUrl(tag))
    {
        m_installDir = m_scratch.File(L"安装 目录");
        CreateDirectoryW(m_installDir.c_str(), nullptr);
        const std::string base = Narrow(DemoService::Get().BaseUrl(tag));
        m_order.state = stOrderDetail::kStateReady;
        m_order.name = "Corvel Notes";
        m_order.download_url = base + "/pkg/CVL2026-STD.zip";
        m_order.guide_link = base + "/pages/guide.html";
        if (!m_session.Hwnd())
            return;
        Window().SetDeploymentForTesting(m_order, m_installDir);
        Window().SetDownloadEndObserverForTesting([this](uint64_t a, uint64_t b, uint64_t c) {
            m_ends.push_back({a, b, c});
        });
        if (ui::Control* page = Find(L"HInstallPage"))
            page->SetVisible(true);
    }

    bool Ready()
    {
        // The customer-service link comes with the settings answer.
        return m_configured && !m_recorder.Failed() && m_session.Hwnd() &&
               PumpUntil([] { return appModel && !appModel->Links().customer_service_link.empty(); });
    }

    CMainWnd& Window() { return m_session.Window(); }
    apptest::InstallerSession& Session() { return m_session; }
    HWND Hwnd() const { return m_session.Hwnd(); }
    stOrderDetail& Order() { return m_order; }
    const std::vector<stEnd>& Ends() const { return m_ends; }
    std::wstring Target() const { return m_installDir + L"\\" + kPackageFile; }
    std::wstring Opened() const { return m_scratch.File(L"opened.txt"); }
    std::string Link(const char* path) const { return Narrow(DemoService::Get().BaseUrl(m_tag)) + path; }

    ui::Control* Find(const wchar_t* name) { return Window().Core().FindControlByName(name); }
    ui::ProgressBar* Bar() { return dynamic_cast<ui::ProgressBar*>(Find(L"ProgressDownloading")); }
    std::wstring TextOf(const wchar_t* name)
    {
        ui::Control* c = Find(name);
        return c ? std::wstring(c->GetText().GetData()) : L"<missing>";
    }
    bool IsShown(const wchar_t* name)
    {
        ui::Control* c = Find(name);
        return c && c->IsVisible();
    }

    // The package requests the service saw: the Range header of each
    // ranged one ("" for the plain GET that probes the size).
    std::vector<std::string> PackageRanges() const
    {
        std::vector<std::string> ranges;
        for (const Json::Value& r : DemoService::Get().Requests(m_tag))
            if (r["path"].asString() == "/pkg/CVL2026-STD.zip")
                ranges.push_back(r["range"].asString());
        return ranges;
    }
    size_t RangedCount() const
    {
        size_t n = 0;
        for (const std::string& r : PackageRanges())
            n += r.empty() ? 0 : 1;
        return n;
    }
    // The bytes a plain GET of the package gets.
    std::string ServedPackage() const
    {
        return testsupport::HttpFetch(Utf8ToWideString(m_order.download_url)).body;
    }

private:
    std::wstring m_tag;
    bool m_configured;
    testsupport::ScratchDir m_scratch;
    apptest::LinkRecorder m_recorder;
    apptest::InstallerSession m_session;
    std::wstring m_installDir;
    stOrderDetail m_order;
    std::vector<stEnd> m_ends;
};

// The tag's scenario: the demo product without its exit advertisement (the
// shutdown would wait for it to be closed) and package faults (pkg_* keys).
Json::Value Faults(std::initializer_list<std::pair<const char*, int>> keys)
{
    Json::Value config(Json::objectValue);
    config["products"] = apptest::ProductsAnswerText(apptest::DemoProduct("下载演示"));
    for (const auto& k : keys)
        config[k.first] = k.second;
    return config;
}

std::string FileBytes(const std::wstring& path)
{
    std::string bytes;
    testsupport::ReadFileBytes(path, bytes);
    return bytes;
}

// "下载中 12.34%" -> 12.34; -1 for any other text.
float DownloadingPercent(const std::wstring& text)
{
    const std::wstring prefix = L"下载中 ";
    if (text.compare(0, prefix.size(), prefix) != 0 || text.back() != L'%')
        return -1.0f;
    return std::stof(text.substr(prefix.size(), text.size() - prefix.size() - 1));
}

// `check` at most every kLogPollMs: the service's log is read whole each
// time.
constexpr DWORD kLogPollMs = 100;
std::function<bool()> Throttled(std::function<bool()> check)
{
    return [check, last = DWORD{0}]() mutable {
        const DWORD now = GetTickCount();
        if (last != 0 && now - last < kLogPollMs)
            return false;
        last = now;
        return check();
    };
}

bool EndsWith(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

// About seven seconds of package at 400 KB/s: the bar and its state text
// climb, the speed shows in KB/S or MB/S, the last tick shows the
// verification, and the end goes on to the next phase with the file whole.
TEST(MainWindowDownload, ShowsProgressAndSpeedAndHandsOverTheWholePackage)
{
    REQUIRE_DEMO_SERVICE();
    DownloadRun run(L"download-progress", Faults({{"pkg_pad", 3000000}, {"pkg_rate", 400000}}));
    ASSERT_TRUE(run.Ready());
    const std::string served = run.ServedPackage();
    ASSERT_GT(served.size(), 3000000u);

    run.Window().StartDownload();
    EXPECT_TRUE(run.IsShown(L"ProgressDownloading"));
    EXPECT_TRUE(run.IsShown(L"BtnOpenInstallDir"));
    EXPECT_FALSE(run.IsShown(L"BtnDownload"));
    EXPECT_FALSE(run.IsShown(L"BtnChangeDir"));
    EXPECT_FALSE(run.IsShown(L"BtnInstall"));

    std::vector<float> percents;  // distinct "下载中" values, in order
    std::vector<std::wstring> speeds;
    float largestValue = 0.0f;
    auto sample = [&] {
        // The skin's own "下载中 0%" is no progress.
        const float p = DownloadingPercent(run.TextOf(L"ProgressDownloading"));
        if (p > 0.0f && (percents.empty() || percents.back() != p))
            percents.push_back(p);
        const std::wstring speed = run.TextOf(L"TxtSpeed");
        if (speeds.empty() || speeds.back() != speed)
            speeds.push_back(speed);
        if (p > 0.0f && p < 100.0f)
            largestValue = std::max(largestValue, run.Bar()->GetValue());
        return !run.Ends().empty();
    };
    // A picture of the page once the bar moves, after a moment to paint.
    if (PumpUntil([&] { return sample() || !percents.empty(); }, kDownloadWaitMs) && run.Ends().empty()) {
        PumpUntil([&] {
            sample();
            return false;
        }, kPaintMs);
        EXPECT_TRUE(apptest::SaveWindowScreenshot(run.Hwnd(), L"installer-downloading"));
    }
    ASSERT_TRUE(PumpUntil(sample, kDownloadWaitMs)) << "the download did not end";

    std::string seen;
    for (float p : percents)
        seen += std::to_string(p) + " ";
    for (const std::wstring& s : speeds)
        seen += "| " + Narrow(s) + " ";
    ASSERT_GE(percents.size(), 2u) << "no progress before the end: " << seen;
    for (size_t i = 1; i < percents.size(); ++i)
        EXPECT_LT(percents[i - 1], percents[i]);
    EXPECT_GT(percents.front(), 0.0f);
    EXPECT_LT(percents.front(), 100.0f);
    EXPECT_GT(largestValue, 0.0f);
    bool speedShown = false;
    for (const std::wstring& s : speeds)
        speedShown |= s.rfind(L"专享高速通道 ", 0) == 0 && (EndsWith(s, L"KB/S") || EndsWith(s, L"MB/S"));
    EXPECT_TRUE(speedShown);
    // The last tick; then the merge's report, then the end.
    EXPECT_EQ(run.TextOf(L"TxtSpeed"), L"校验文件完整性...");
    EXPECT_EQ(run.TextOf(L"ProgressDownloading"), L"校验中 100.00%");
    ASSERT_EQ(run.Ends().size(), 1u);
    EXPECT_EQ(run.Ends()[0].a, served.size());
    EXPECT_EQ(run.Ends()[0].b, served.size());
    EXPECT_EQ(run.Ends()[0].c, 0u);
    EXPECT_TRUE(FileBytes(run.Target()) == served) << "the file differs from the package";
    EXPECT_FALSE(run.Window().IsRestartTimerArmedForTesting());
    // The guide opened as the download started.
    EXPECT_EQ(apptest::WaitForRecords(run.Opened(), 1), std::vector<std::string>{run.Link("/pages/guide.html")});
    EXPECT_TRUE(run.Session().CloseAndWait());
}

// The connection drops in the middle of the package: the message with the
// error, the chosen button's link, the download button back; the next
// click goes on from the offset the first run reached.
TEST(MainWindowDownload, DroppedConnectionShowsTheMessageAndTheNextClickResumes)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = L"download-drop";
    DownloadRun run(tag, Faults({{"pkg_pad", 2000000}, {"pkg_cut_at", 700000}}));
    ASSERT_TRUE(run.Ready());
    const std::string served = run.ServedPackage();
    const std::string last = std::to_string(served.size() - 1);
    apptest::TipAnswerer answerer(run.Hwnd(), L"BtnNo");

    // First run: cut at 700000, answered with "联系客服".
    run.Window().StartDownload();
    ASSERT_TRUE(PumpUntil([&] { return answerer.Messages().size() == 1; }, kDownloadWaitMs));
    EXPECT_EQ(answerer.Messages()[0], L"环境异常[-1],将为您跳转至浏览器下载");
    ASSERT_TRUE(PumpUntil([&] { return run.IsShown(L"BtnDownload"); }));
    EXPECT_FALSE(run.IsShown(L"ProgressDownloading"));

    // Second run: from 700000, cut again at 1400000, answered "立刻下载".
    Json::Value faults = Faults({{"pkg_pad", 2000000}, {"pkg_cut_at", 1400000}});
    ASSERT_TRUE(DemoService::Get().Configure(tag, faults));
    answerer.SetButton(L"BtnYes");
    run.Window().StartDownload();
    EXPECT_TRUE(run.IsShown(L"ProgressDownloading"));
    ASSERT_TRUE(PumpUntil([&] { return answerer.Messages().size() == 2; }, kDownloadWaitMs));
    EXPECT_EQ(answerer.Messages()[1], L"环境异常[-1],将为您跳转至浏览器下载");
    ASSERT_TRUE(PumpUntil([&] { return run.IsShown(L"BtnDownload"); }));

    // Third run: nothing cut; it ends with the whole file.
    ASSERT_TRUE(DemoService::Get().Configure(tag, Faults({{"pkg_pad", 2000000}})));
    run.Window().StartDownload();
    ASSERT_TRUE(PumpUntil([&] { return !run.Ends().empty(); }, kDownloadWaitMs));
    EXPECT_TRUE(FileBytes(run.Target()) == served) << "the resumed file differs from the package";
    EXPECT_EQ(answerer.Messages().size(), 2u);

    std::vector<std::string> ranged;
    for (const std::string& r : run.PackageRanges())
        if (!r.empty())
            ranged.push_back(r);
    const std::vector<std::string> expected = {"bytes=0-" + last, "bytes=700000-" + last, "bytes=1400000-" + last};
    EXPECT_EQ(ranged, expected);

    // Opened: the guide on each click, the service link for "联系客服" and
    // the package itself for "立刻下载" (each by a process of its own, so
    // in any order).
    std::vector<std::string> opened = apptest::WaitForRecords(run.Opened(), 5);
    std::vector<std::string> expectedLinks = {run.Link("/pages/guide.html"), run.Link("/pages/service.html"),
                                              run.Link("/pages/guide.html"), run.Order().download_url,
                                              run.Link("/pages/guide.html")};
    std::sort(opened.begin(), opened.end());
    std::sort(expectedLinks.begin(), expectedLinks.end());
    EXPECT_EQ(opened, expectedLinks);
    EXPECT_TRUE(run.Session().CloseAndWait());
}

// The package cannot take its name when the bytes are in (a folder holds
// it): the message with the error and the download button back; once the
// way is clear the next click finishes from the kept bytes, fetching none
// again.
TEST(MainWindowDownload, FailedMergeShowsTheMessageAndTheNextClickFinishesFromTheKeptBytes)
{
    REQUIRE_DEMO_SERVICE();
    DownloadRun run(L"download-merge", Faults({{"pkg_pad", 1000000}, {"pkg_rate", 400000}}));
    ASSERT_TRUE(run.Ready());
    const std::string served = run.ServedPackage();
    apptest::TipAnswerer answerer(run.Hwnd(), L"BtnYes");

    run.Window().StartDownload();
    ASSERT_TRUE(CreateDirectoryW(run.Target().c_str(), nullptr));
    ASSERT_TRUE(PumpUntil([&] { return !answerer.Messages().empty(); }, kDownloadWaitMs));
    const std::wstring message = answerer.Messages()[0];
    EXPECT_EQ(message.rfind(L"环境异常[", 0), 0u) << Narrow(message);
    EXPECT_TRUE(EndsWith(message, L"],释放文件失败,可能被杀毒软件拦截,请退出杀毒软件后重试")) << Narrow(message);
    EXPECT_EQ(message.find(L"环境异常[0]"), std::wstring::npos);
    ASSERT_TRUE(PumpUntil([&] { return run.IsShown(L"BtnDownload"); }));
    EXPECT_TRUE(run.Ends().empty());

    ASSERT_TRUE(RemoveDirectoryW(run.Target().c_str()));
    run.Window().StartDownload();
    ASSERT_TRUE(PumpUntil([&] { return !run.Ends().empty(); }, kDownloadWaitMs));
    EXPECT_TRUE(FileBytes(run.Target()) == served) << "the merged file differs from the package";
    EXPECT_EQ(run.RangedCount(), 1u) << "bytes were fetched again";
    EXPECT_EQ(answerer.Messages().size(), 1u);
    EXPECT_TRUE(run.Session().CloseAndWait());
}

// A trickle of a few hundred bytes a second arms the restart timer; when it
// fires the download is stopped and started again (a new probe and a new
// ranged request). The flag stays set, so no second timer follows.
TEST(MainWindowDownload, TrickleArmsTheRestartTimerWhichRestartsTheDownload)
{
    REQUIRE_DEMO_SERVICE();
    DownloadRun run(L"download-trickle", Faults({{"pkg_pad", 200000}, {"pkg_rate", 300}}));
    ASSERT_TRUE(run.Ready());
    run.Window().SetRestartDelayForTesting(kShortRestartMs);

    run.Window().StartDownload();
    ASSERT_TRUE(PumpUntil([&] { return run.Window().IsRestartTimerArmedForTesting(); }))
        << "no slow tick armed the timer";
    // The slow tick's text comes with it (a task posted right after).
    EXPECT_TRUE(PumpUntil([&] {
        const std::wstring t = run.TextOf(L"TxtSpeed");
        return t.rfind(L"专享高速通道 ", 0) == 0 && EndsWith(t, L"B/S") && !EndsWith(t, L"KB/S") &&
               !EndsWith(t, L"MB/S");
    })) << Narrow(run.TextOf(L"TxtSpeed"));
    EXPECT_EQ(run.RangedCount(), 1u);

    ASSERT_TRUE(PumpUntil(Throttled([&] { return run.RangedCount() >= 2; }), kDownloadWaitMs))
        << "the timer restarted nothing";
    const std::vector<std::string> ranges = run.PackageRanges();
    ASSERT_EQ(ranges.size(), 4u);  // probe, range, probe, range
    EXPECT_EQ(ranges[0], "");
    EXPECT_EQ(ranges[2], "");
    EXPECT_TRUE(run.Window().IsRestartTimerArmedForTesting());
    EXPECT_TRUE(run.IsShown(L"ProgressDownloading"));
    EXPECT_TRUE(run.Ends().empty());
    EXPECT_TRUE(run.Session().CloseAndWait());
}

// A restart whose new start is refused ends like a refused start: the
// message, the download button back, the timer disarmed. (Ignoring the
// result would leave a bar that waits for nothing.)
TEST(MainWindowDownload, RestartThatCannotStartGivesTheButtonBack)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = L"download-restart-refused";
    DownloadRun run(tag, Faults({{"pkg_pad", 200000}, {"pkg_rate", 300}}));
    ASSERT_TRUE(run.Ready());
    run.Window().SetRestartDelayForTesting(kShortRestartMs);
    apptest::TipAnswerer answerer(run.Hwnd(), L"BtnYes");

    run.Window().StartDownload();
    ASSERT_TRUE(PumpUntil([&] { return run.Window().IsRestartTimerArmedForTesting(); }));
    ASSERT_TRUE(DemoService::Get().Configure(tag, Faults({{"pkg_pad", 200000}, {"pkg_status", 404}})));
    ASSERT_TRUE(PumpUntil([&] { return !answerer.Messages().empty(); }, kDownloadWaitMs));
    EXPECT_EQ(answerer.Messages()[0], L"下载失败[404],请检查网络连接");
    ASSERT_TRUE(PumpUntil([&] { return run.IsShown(L"BtnDownload"); }));
    EXPECT_FALSE(run.Window().IsRestartTimerArmedForTesting());
    EXPECT_FALSE(run.IsShown(L"ProgressDownloading"));
    EXPECT_TRUE(run.Session().CloseAndWait());
}

// Starts refused before any byte is fetched (a URL that names no plain file,
// a package the service does not have): the message with the code and the
// button back. Reports that still arrive afterwards change nothing.
TEST(MainWindowDownload, RefusedStartShowsTheCodeAndLaterReportsChangeNothing)
{
    REQUIRE_DEMO_SERVICE();
    struct Case {
        const char* path;  // of the package URL
        int status;        // pkg_status; 0: none
        const wchar_t* message;
    };
    const Case cases[] = {
        {"/pkg/", 0, L"下载失败[123],请检查网络连接"},
        {"/pkg/nul.zip", 0, L"下载失败[123],请检查网络连接"},
        {"/pkg/CVL2026-STD.zip:evil", 0, L"下载失败[123],请检查网络连接"},
        {"/pkg/..", 0, L"下载失败[123],请检查网络连接"},
        {"/pkg/CVL2026-STD.zip", 404, L"下载失败[404],请检查网络连接"},
    };
    const std::wstring tag = L"download-refused";
    DownloadRun run(tag, Faults({}));
    ASSERT_TRUE(run.Ready());
    apptest::TipAnswerer answerer(run.Hwnd(), L"BtnYes");
    size_t answered = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ASSERT_TRUE(DemoService::Get().Configure(tag, Faults({{"pkg_status", c.status}})));
        run.Order().download_url = run.Link(c.path);
        run.Window().SetDeploymentForTesting(run.Order(), run.Window().InstallDir());

        run.Window().StartDownload();
        ASSERT_EQ(answerer.Messages().size(), ++answered);
        EXPECT_EQ(answerer.Messages().back(), c.message);
        EXPECT_TRUE(run.IsShown(L"BtnDownload"));
        EXPECT_FALSE(run.IsShown(L"ProgressDownloading"));
    }
    // Only the package the service refused was asked for: no refused name.
    EXPECT_EQ(run.PackageRanges(), std::vector<std::string>{""});

    // Late reports of every kind, from another thread as the downloader
    // sends them: no text, value, timer, message or hand-over follows.
    const std::wstring barText = run.TextOf(L"ProgressDownloading");
    const std::wstring speed = run.TextOf(L"TxtSpeed");
    std::thread reports([&] {
        run.Window().OnDownloadState(1, 50, 100, 100);    // a slow tick
        run.Window().OnDownloadState(1, 100, 100, 9000);  // the last tick
        run.Window().OnDownloadState(1, 0, 0, 12002);     // a slice failure
        run.Window().OnDownloadState(2, 100, 100, 0);     // verification
        run.Window().OnDownloadState(2, 0, 0, 5);         // a failed merge
        run.Window().OnDownloadState(3, 100, 100, 0);     // the end
    });
    reports.join();
    PumpFor(1000);
    EXPECT_EQ(run.TextOf(L"ProgressDownloading"), barText);
    EXPECT_EQ(run.TextOf(L"TxtSpeed"), speed);
    EXPECT_EQ(run.Bar()->GetValue(), 0.0f);
    EXPECT_FALSE(run.Window().IsRestartTimerArmedForTesting());
    EXPECT_EQ(answerer.Messages().size(), answered);
    EXPECT_TRUE(run.Ends().empty());
    EXPECT_TRUE(run.Session().CloseAndWait());
}

// Closing the window while bytes arrive: the downloader is stopped before
// the window goes (its progress saved for the next start, no more bytes
// written, no request after the close) and nothing is reported to it.
TEST(MainWindowDownload, ClosingDuringTheDownloadStopsTheDownloaderFirst)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = L"download-close";
    DownloadRun run(tag, Faults({{"pkg_pad", 3000000}, {"pkg_rate", 200000}}));
    ASSERT_TRUE(run.Ready());
    const std::wstring slice = run.Target() + L"_slice0";
    const std::wstring resume = run.Target() + L".ini";

    run.Window().StartDownload();
    ASSERT_TRUE(PumpUntil([&] { return DownloadingPercent(run.TextOf(L"ProgressDownloading")) > 0.0f; }))
        << "no progress";
    HWND window = run.Hwnd();
    ASSERT_TRUE(run.Session().CloseAndWait());
    EXPECT_FALSE(IsWindow(window));

    const size_t requests = DemoService::Get().Requests(tag).size();
    const std::string kept = FileBytes(slice);
    EXPECT_GT(kept.size(), 0u);
    PumpFor(1500);
    EXPECT_EQ(FileBytes(slice).size(), kept.size()) << "bytes were written after the close";
    EXPECT_EQ(DemoService::Get().Requests(tag).size(), requests) << "a request after the close";
    // The resume file counts exactly the bytes kept.
    wchar_t saved[32] = {};
    GetPrivateProfileStringW(L"Slice0", L"size", L"", saved, 32, resume.c_str());
    EXPECT_EQ(std::wstring(saved), std::to_wstring(kept.size()));
    EXPECT_TRUE(run.Ends().empty());
    EXPECT_EQ(GetFileAttributesW(run.Target().c_str()), INVALID_FILE_ATTRIBUTES);
}
