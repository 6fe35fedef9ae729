// The deployment road end to end against the demo service, nothing of it
// stubbed: the installer's own window clicked through with posted clicks
// (agree, start, download) to the demo product running with its desktop
// link; then the installer as a process of its own, killed in the middle of
// its download and started again, which goes on from the saved offsets, or
// starts over when the package changed in between, and killed in the middle
// of its extraction, which is done again. The processes get two settings
// only: the drive list leads the default directory into the test's folder,
// and smaller slice buckets split the small demo package into four slices.
#include "app/MainWnd.h"

#include <gtest/gtest.h>

#include <json/json.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Corvel/Control/ComboBox.h"
#include "app/AppInit.h"
#include "app/AppValues.h"
#include "app/Encodings.h"
#include "app/IniParse.h"
#include "app/InstallDirectory.h"
#include "app/PathUtil.h"
#include "app/support/ChildProcess.h"
#include "app/support/DemoService.h"
#include "app/support/DesktopLinks.h"
#include "app/support/InstallerSession.h"
#include "app/support/LinkRecorder.h"
#include "app/support/MainWndProbe.h"
#include "net/SlicePlan.h"
#include "support/TestPaths.h"
#include "support/TestService.h"
#include "support/Text.h"

using apptest::ControlText;
using apptest::DemoService;
using apptest::InstallerSession;
using apptest::IsControlShown;
using apptest::PostClickOnControl;
using apptest::PumpUntil;
using testsupport::Narrow;

LINK_RECORDER_CHILD_TEST()

namespace {

// The package's section of user.dat, the demo product's program, the link
// the road makes for it and the file the program writes when it starts.
constexpr const wchar_t* kSection = L"Corvel Notes";
constexpr const wchar_t* kPackageFile = L"CVL2026-STD.zip";
constexpr const char* kPackagePath = "/pkg/CVL2026-STD.zip";
constexpr const wchar_t* kProgram = L"CorvelNotes.exe";
constexpr const wchar_t* kLinkName = L"Corvel Notes";
constexpr const wchar_t* kMarker = L"corvel-demo-product.marker";
constexpr const wchar_t* kReadyText = L"全部就绪";
constexpr const wchar_t* kAlreadyReadyText = L"已全部就绪";
constexpr const wchar_t* kExtractFailedText = L"解压失败,已为您打开安装包";
// The entries of the demo package, as their names end the current-file
// text of the extraction.
const wchar_t* const kEntryNames[] = {L"CorvelNotes.exe", L"说明.txt", L"readme.txt", L"version.txt", L"资料.bin"};

// The preparation (2.5 s) and a poll or two of the descriptor (2 s apart).
constexpr DWORD kRoadWaitMs = 30000;
// Download and extraction of the throttled package.
constexpr DWORD kDownloadWaitMs = 60000;
// A child's whole road: its start under Wine, the preparation, the rest of
// the download and the extraction.
constexpr DWORD kChildRunMs = 90000;
// The window's first road: about five seconds of package, so that several
// progress ticks show.
constexpr int kRoadRate = 800000;

std::wstring Lower(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

bool EndsWith(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string FileBytes(const std::wstring& path)
{
    std::string bytes;
    testsupport::ReadFileBytes(path, bytes);
    return bytes;
}

// The tag's scenario: the demo product without its exit advertisement (the
// shutdown would wait for it) plus `keys`.
bool Configure(const std::wstring& tag, Json::Value keys)
{
    keys["products"] = apptest::ProductsAnswerText(apptest::DemoProduct("部署全程"));
    return DemoService::Get().Configure(tag, keys);
}

// The package as a plain GET gets it, unthrottled: from a tag of its own
// with the same package version.
std::string ServedPackage(const std::wstring& tag, int version)
{
    const std::wstring plainTag = tag + L"-plain";
    Json::Value keys;
    keys["package_version"] = version;
    if (!Configure(plainTag, keys))
        return std::string();
    return testsupport::HttpFetch(DemoService::Get().BaseUrl(plainTag) + Utf8ToWideString(kPackagePath)).body;
}

std::vector<Json::Value> RequestsTo(const std::wstring& tag, const std::string& path)
{
    std::vector<Json::Value> out;
    for (const Json::Value& request : DemoService::Get().Requests(tag))
        if (request["path"].asString() == path)
            out.push_back(request);
    return out;
}

// "下载中 12.34%" -> 12.34; -1 for any other text.
float DownloadingPercent(const std::wstring& text)
{
    const std::wstring prefix = L"下载中 ";
    if (text.compare(0, prefix.size(), prefix) != 0 || text.back() != L'%')
        return -1.0f;
    return std::stof(text.substr(prefix.size(), text.size() - prefix.size() - 1));
}

// A text of the extraction naming the file being written.
bool IsCurrentFileText(const std::wstring& text)
{
    for (const wchar_t* name : kEntryNames)
        if (EndsWith(text, name))
            return true;
    return false;
}

bool RowsArrived(InstallerSession& s)
{
    auto* combo = dynamic_cast<ui::ComboBox*>(apptest::FindControl(s.Window(), L"CmbProducts"));
    return combo && combo->ChildCount() >= 1;
}

// Earlier runs in this prefix may have saved a directory for the package.
void ForgetInstallPath()
{
    WritePrivateProfileStringW(kSection, L"installPath", nullptr, userSettings.Path().c_str());
}

// The demo product's marker once it has a line, or empty after the wait.
std::string WaitForMarker(const std::wstring& installDir)
{
    std::string text;
    for (DWORD waited = 0; waited < apptest::kChildWaitMs && text.empty(); waited += 50) {
        text = FileBytes(installDir + L"\\" + kMarker);
        if (text.empty())
            Sleep(50);
    }
    return text;
}

// ---------------------------------------------------------------- the window's road

// What a person sees and does, from the start page to the running product:
// the agreement ticked, the start button, the descriptor polled until it is
// ready, the directory saved in user.dat, the download button; the guide
// opens, the bar climbs with a speed text, the files show as they are
// extracted, the engine is fetched, the product starts and gets its link.
TEST(DeployRoad, ClickedThroughFromTheStartButtonToTheRunningProduct)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = testsupport::NewTag(L"road");
    Json::Value keys;
    keys["order_states"].append(1);
    keys["order_states"].append(2);
    keys["package_rate"] = kRoadRate;
    ASSERT_TRUE(Configure(tag, keys));
    const std::string base = Narrow(DemoService::Get().BaseUrl(tag));
    testsupport::ScratchDir scratch(L"road");
    const std::wstring installDir = scratch.File(L"Corvel 安装");
    ASSERT_TRUE(CreateDirectoryW(installDir.c_str(), nullptr));
    apptest::LinkRecorder recorder(scratch.File(L"opened.txt"));
    ASSERT_FALSE(recorder.Failed());
    apptest::DesktopLinks links;
    const std::wstring link = links.Path(kLinkName);

    CMainWnd::ResetPreparationStepsForTesting();
    InstallerSession session(DemoService::Get().BaseUrl(tag));
    CMainWnd& window = session.Window();
    // The engine is fetched by the road itself.
    const std::wstring engine = GetAppDataDir(productName) + L"\\Compress.dll";
    DeleteFileW(engine.c_str());
    ASSERT_TRUE(WriteUserSetting(kSection, L"installPath", installDir));
    ASSERT_TRUE(PumpUntil([&] { return RowsArrived(session); })) << "no package row";

    // The agreement: ticked by the skin; a click takes it back, another
    // gives it again.
    ui::Control* agree = apptest::FindControl(window, L"OptAgree");
    ASSERT_NE(agree, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return agree->IsPlaced(); }));
    ASSERT_TRUE(agree->IsSelected());
    for (bool expected : {false, true}) {
        ASSERT_TRUE(PostClickOnControl(window, L"OptAgree"));
        ASSERT_TRUE(PumpUntil([&] { return agree->IsSelected() == expected; })) << "the agreement click";
    }

    // Start: the preparation, then the descriptor, answered "not yet" once.
    ASSERT_TRUE(PostClickOnControl(window, L"BtnActive"));
    ASSERT_TRUE(PumpUntil([&] { return IsControlShown(window, L"HInstallPage"); }, kRoadWaitMs))
        << "the install page did not come";
    const std::vector<Json::Value> orders = RequestsTo(tag, "/api/resource/order");
    ASSERT_EQ(orders.size(), 2u) << "the descriptor was not polled until ready";
    for (const Json::Value& order : orders)
        EXPECT_EQ(order["body"]["package_sn"].asString(), "CVL2026-STD");
    EXPECT_EQ(window.DeployDescriptor().state, stOrderDetail::kStateReady);

    // The directory saved for the package, used as it is.
    EXPECT_EQ(window.InstallDir(), installDir);
    EXPECT_EQ(ControlText(window, L"TxtInstallPath"), installDir);

    // Download: posted as soon as the button has its place on the page.
    ASSERT_TRUE(PumpUntil([&] { return PostClickOnControl(window, L"BtnDownload"); })) << "no download button";
    std::vector<float> percents;  // distinct "下载中" values, in order
    bool speedShown = false;
    std::vector<std::wstring> fileTexts;
    const bool ended = apptest::PumpEachUntil([&] {
        const float p = DownloadingPercent(ControlText(window, L"ProgressDownloading"));
        if (p > 0.0f && (percents.empty() || percents.back() != p))
            percents.push_back(p);
        const std::wstring speed = ControlText(window, L"TxtSpeed");
        speedShown |= speed.rfind(L"专享高速通道 ", 0) == 0 && EndsWith(speed, L"/S");
        if (IsCurrentFileText(speed) && (fileTexts.empty() || fileTexts.back() != speed))
            fileTexts.push_back(speed);
        return speed == kReadyText || speed == kExtractFailedText;
    }, kDownloadWaitMs);
    ASSERT_TRUE(ended) << "the road did not end; TxtSpeed: " << Narrow(ControlText(window, L"TxtSpeed"));
    EXPECT_EQ(ControlText(window, L"TxtSpeed"), kReadyText);
    EXPECT_TRUE(IsControlShown(window, L"BtnInstall"));

    std::string seen;
    for (float p : percents)
        seen += std::to_string(p) + " ";
    ASSERT_GE(percents.size(), 2u) << "progress seen: " << seen;
    for (size_t i = 1; i < percents.size(); ++i)
        EXPECT_LT(percents[i - 1], percents[i]) << seen;
    EXPECT_TRUE(speedShown);
    ASSERT_FALSE(fileTexts.empty()) << "no current-file text during the extraction";
    for (const std::wstring& text : fileTexts)
        EXPECT_LE(text.size(), 20u) << Narrow(text);

    // The package as served, the program extracted and started, its link
    // made, the directory recorded, the engine fetched, the guide opened.
    const std::string served = ServedPackage(tag, 0);
    ASSERT_FALSE(served.empty());
    EXPECT_TRUE(FileBytes(installDir + L"\\" + kPackageFile) == served) << "the package differs from the served one";
    const std::vector<Json::Value> packageGets = RequestsTo(tag, kPackagePath);
    ASSERT_EQ(packageGets.size(), 2u);  // the probe, the one slice
    EXPECT_EQ(packageGets[1]["range"].asString(), "bytes=0-" + std::to_string(served.size() - 1));
    const std::wstring program = installDir + L"\\" + kProgram;
    const std::string marker = WaitForMarker(installDir);
    EXPECT_EQ(marker.rfind("start\t", 0), 0u) << "the product did not start: " << marker;
    EXPECT_NE(GetFileAttributesW(link.c_str()), INVALID_FILE_ATTRIBUTES) << "no desktop link";
    // The link leads to the program through its item list. (Its stored
    // path text is not compared: Wine saves it in the ANSI code page, so
    // "安装" reads back as "??".)
    EXPECT_EQ(Narrow(Lower(apptest::ReadLink(link).itemPath)), Narrow(Lower(program)));
    EXPECT_EQ(ReadUserSetting(kSection, L"installPath"), installDir);
    EXPECT_NE(GetFileAttributesW(engine.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(RequestsTo(tag, "/res/Compress.dll").size(), 1u);
    EXPECT_EQ(apptest::WaitForRecords(scratch.File(L"opened.txt"), 1),
              std::vector<std::string>{base + "/pages/guide.html"});
    EXPECT_TRUE(session.CloseAndWait());
    ForgetInstallPath();
}

// ---------------------------------------------------------------- across processes

const wchar_t kChildFlag[] = L"--deploy-road-child";
const wchar_t kChildTagVariable[] = L"CORVEL_ROAD_CHILD_TAG";
const wchar_t kChildRootVariable[] = L"CORVEL_ROAD_CHILD_ROOT";
constexpr int kSlices = 4;
// Buckets that split the demo package (about 4 MiB) into kSlices slices.
constexpr stSliceThresholds kSmallBuckets = {256 * 1024, 512 * 1024, 1024 * 1024};
// Each slice's connection: about ten seconds for a slice of the package.
constexpr int kResumeRate = 100000;
// Saved progress of every slice before the installer is killed: a few
// ticks of the resume file in.
constexpr uint64_t kPartwayBytes = 150000;
// How often the parent looks at the first run's files before it kills it.
constexpr DWORD kKillPollMs = 10;
// A stored entry between the product's program and its data file: the
// extraction is still writing it for a while after the program is out.
constexpr int kLongEntryBytes = 128 * 1024 * 1024;

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[1024] = {};
    const DWORD n = GetEnvironmentVariableW(name, value, 1024);
    return n > 0 && n < 1024 ? std::wstring(value, n) : std::wstring();
}

// The system drive with the most free space and a "drive" whose root is the
// test's folder: the default directory goes below that folder.
std::vector<stDriveInfo> SystemThen(const std::wstring& root)
{
    stDriveInfo system, other;
    system.root = L"C:";
    system.free = 300;
    system.system = true;
    other.root = root;
    other.free = 200;
    return {system, other};
}

std::wstring DefaultInstallDirUnder(const std::wstring& root)
{
    return root + L"\\Program Files (x86)\\Corvel Notes\\" + kSection;
}

// The installer's part, run by the child only: the road from the start
// button to the end of the extraction, unless the parent kills it first.
TEST(DeployRoadChild, RunsTheInstallerToTheEnd)
{
    if (!apptest::IsChildRun(kChildFlag))
        GTEST_SKIP() << "runs only as the child of DeployRoadResume";
    REQUIRE_DEMO_SERVICE();
    const std::wstring root = Variable(kChildRootVariable);
    ASSERT_FALSE(root.empty());
    SetInstallDrivesForTesting([root] { return SystemThen(root); });
    InstallerSession session(DemoService::Get().BaseUrl(Variable(kChildTagVariable)));
    CMainWnd& window = session.Window();
    window.SetSliceThresholdsForTesting(kSmallBuckets);
    ASSERT_TRUE(PumpUntil([&] { return RowsArrived(session); }));
    ASSERT_TRUE(PumpUntil([&] { return PostClickOnControl(window, L"BtnActive"); }));
    ASSERT_TRUE(PumpUntil([&] { return IsControlShown(window, L"HInstallPage"); }, kRoadWaitMs));
    ASSERT_TRUE(PumpUntil([&] { return PostClickOnControl(window, L"BtnDownload"); }));
    ASSERT_TRUE(PumpUntil([&] {
        const std::wstring text = ControlText(window, L"TxtSpeed");
        return text == kReadyText || text == kAlreadyReadyText || text == kExtractFailedText;
    }, kChildRunMs));
    EXPECT_EQ(ControlText(window, L"TxtSpeed"), kReadyText);
    EXPECT_TRUE(session.CloseAndWait());
    SetInstallDrivesForTesting(nullptr);
}

// One slice as the resume file keeps it.
struct stSavedSlice {
    uint64_t start = 0, end = 0, size = 0;
};

std::vector<stSavedSlice> SavedSlices(const std::wstring& resumeFile)
{
    std::vector<stSavedSlice> slices;
    for (int i = 0; i < kSlices; ++i) {
        const std::wstring section = L"Slice" + std::to_wstring(i);
        auto read = [&](const wchar_t* key) -> int64_t {
            wchar_t text[32] = {};
            GetPrivateProfileStringW(section.c_str(), key, L"-1", text, 32, resumeFile.c_str());
            return _wtoi64(text);
        };
        if (read(L"start") < 0)
            break;
        slices.push_back({static_cast<uint64_t>(read(L"start")), static_cast<uint64_t>(read(L"end")),
                          static_cast<uint64_t>(std::max<int64_t>(0, read(L"size")))});
    }
    return slices;
}

// Each run of the installer a child of this test; the parent watches the
// resume file, kills the first run midway and lets the second one finish.
class DeployRoadResume : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (apptest::IsChildRun(kChildFlag))
            GTEST_SKIP() << "the child runs the installer's half";
        REQUIRE_DEMO_SERVICE();
        m_tag = testsupport::NewTag(L"resume");
        m_recorder = std::make_unique<apptest::LinkRecorder>(m_scratch.File(L"opened.txt"));
        ASSERT_FALSE(m_recorder->Failed());
        m_link = m_links.Path(kLinkName);
        // The installer's values in this process too, user.dat bound as
        // the children see it; it is the prefix's: no directory of an
        // earlier test.
        InitApplication(GetModuleHandleW(nullptr), L"");
        ASSERT_TRUE(userSettings.IsBound());
        ForgetInstallPath();
        SetEnvironmentVariableW(kChildTagVariable, m_tag.c_str());
        SetEnvironmentVariableW(kChildRootVariable, m_scratch.Path().c_str());
    }

    void TearDown() override
    {
        SetEnvironmentVariableW(kChildTagVariable, nullptr);
        SetEnvironmentVariableW(kChildRootVariable, nullptr);
        if (userSettings.IsBound())
            ForgetInstallPath();
    }

    std::wstring InstallDir() const { return DefaultInstallDirUnder(m_scratch.Path()); }
    std::wstring Target() const { return InstallDir() + L"\\" + kPackageFile; }
    std::wstring ResumeFile() const { return Target() + L".ini"; }
    std::wstring ChildCommand() const
    {
        return apptest::ChildTestCommand(apptest::ThisExecutable(), L"DeployRoadChild.RunsTheInstallerToTheEnd",
                                         kChildFlag);
    }

    // A run of the installer, killed as soon as `partway` answers true
    // (polled every kKillPollMs); false when it never did.
    bool RunAndKillWhen(const std::function<bool()>& partway)
    {
        apptest::RunningChild child(ChildCommand());
        EXPECT_TRUE(child.Started());
        const ULONGLONG end = GetTickCount64() + kChildRunMs;
        bool reached = false;
        while (!reached && child.Running() && GetTickCount64() < end) {
            reached = partway();
            if (!reached)
                Sleep(kKillPollMs);
        }
        EXPECT_TRUE(child.Kill());
        m_firstRunEnd = LastSeq();
        return reached;
    }

    // The first run, killed once every slice has saved kPartwayBytes; the
    // slices as the resume file then holds them.
    std::vector<stSavedSlice> RunAndKillPartway()
    {
        EXPECT_TRUE(RunAndKillWhen([&] {
            const std::vector<stSavedSlice> saved = SavedSlices(ResumeFile());
            return saved.size() == static_cast<size_t>(kSlices) &&
                   std::all_of(saved.begin(), saved.end(),
                               [](const stSavedSlice& s) { return s.size >= kPartwayBytes; });
        })) << "the first run got no way into its slices";
        // Read again: the last save may have come just before the kill.
        return SavedSlices(ResumeFile());
    }

    // The second run, to the end of its road.
    void RunToTheEnd()
    {
        apptest::RunningChild child(ChildCommand());
        ASSERT_TRUE(child.Started());
        const std::optional<DWORD> code = child.Wait(kChildRunMs);
        ASSERT_TRUE(code.has_value()) << "the second run did not end";
        EXPECT_EQ(*code, 0u) << "the second run's road failed";
    }

    int64_t LastSeq() const
    {
        int64_t last = 0;
        for (const Json::Value& request : DemoService::Get().Requests(m_tag))
            last = std::max<int64_t>(last, request["seq"].asInt64());
        return last;
    }

    // The ranged package requests after the first run: their Range headers.
    std::vector<std::string> SecondRunRanges() const
    {
        std::vector<std::string> ranges;
        for (const Json::Value& request : RequestsTo(m_tag, kPackagePath))
            if (request["seq"].asInt64() > m_firstRunEnd && !request["range"].asString().empty())
                ranges.push_back(request["range"].asString());
        std::sort(ranges.begin(), ranges.end());
        return ranges;
    }

    // The first run's ranged answers, once the service has seen every one
    // of them end (the killed run's connections break a moment later).
    std::vector<Json::Value> FirstRunTransfers() const
    {
        size_t asked = 0;
        for (const Json::Value& request : RequestsTo(m_tag, kPackagePath))
            asked += request["seq"].asInt64() <= m_firstRunEnd && !request["range"].asString().empty();
        std::vector<Json::Value> ranged;
        const ULONGLONG end = GetTickCount64() + apptest::kChildWaitMs;
        do {
            ranged.clear();
            for (const Json::Value& t : DemoService::Get().Transfers(m_tag))
                if (t["path"].asString() == kPackagePath && t["seq"].asInt64() <= m_firstRunEnd &&
                    !t["range"].asString().empty())
                    ranged.push_back(t);
            if (ranged.size() >= asked)
                break;
            Sleep(100);
        } while (GetTickCount64() < end);
        EXPECT_EQ(ranged.size(), asked) << "the first run's answers did not end";
        return ranged;
    }

    testsupport::ScratchDir m_scratch{L"resume"};
    std::wstring m_tag;
    std::unique_ptr<apptest::LinkRecorder> m_recorder;
    apptest::DesktopLinks m_links;
    std::wstring m_link;
    int64_t m_firstRunEnd = 0;
};

std::string RangeOf(uint64_t first, uint64_t last)
{
    return "bytes=" + std::to_string(first) + "-" + std::to_string(last);
}

// Killed with about a fifth of each slice in: the second process sends each
// slice's Range from the offset the resume file saved, fetches again at
// most the bytes of the last unsaved second per slice, and ends with the
// package as served, extracted and started.
TEST_F(DeployRoadResume, KilledInstallerGoesOnFromTheSavedOffsets)
{
    Json::Value keys;
    keys["package_rate"] = kResumeRate;
    ASSERT_TRUE(Configure(m_tag, keys));
    const std::string served = ServedPackage(m_tag, 0);
    ASSERT_FALSE(served.empty());

    const std::vector<stSavedSlice> saved = RunAndKillPartway();
    ASSERT_EQ(saved.size(), static_cast<size_t>(kSlices));
    EXPECT_EQ(GetFileAttributesW(Target().c_str()), INVALID_FILE_ATTRIBUTES) << "the first run finished";
    // The first run settled the default directory and recorded it; the
    // second one takes it from user.dat.
    EXPECT_EQ(ReadUserSetting(kSection, L"installPath"), InstallDir());
    const std::vector<Json::Value> firstRun = FirstRunTransfers();

    RunToTheEnd();
    EXPECT_TRUE(FileBytes(Target()) == served) << "the resumed package differs from the served one";
    EXPECT_EQ(GetFileAttributesW(ResumeFile().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(WaitForMarker(InstallDir()).rfind("start\t", 0), 0u) << "the product did not start";
    EXPECT_NE(GetFileAttributesW(m_link.c_str()), INVALID_FILE_ATTRIBUTES);

    // The second run asked each slice from its saved offset on.
    const std::vector<stSliceRange> plan = PlanSlices(served.size(), kSlices);
    std::vector<std::string> expected;
    for (size_t i = 0; i < saved.size(); ++i) {
        EXPECT_EQ(saved[i].start, plan[i].first);
        EXPECT_EQ(saved[i].end, plan[i].last);
        EXPECT_GE(saved[i].size, kPartwayBytes);
        expected.push_back(RangeOf(saved[i].start + saved[i].size, saved[i].end));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(SecondRunRanges(), expected);

    // Bytes fetched twice: what the first run's answers sent beyond the
    // offsets the second run asked from.
    uint64_t twice = 0, firstRunBytes = 0;
    for (const Json::Value& t : firstRun) {
        const uint64_t from = t["first"].asUInt64();
        const uint64_t to = from + t["sent"].asUInt64();  // exclusive
        firstRunBytes += t["sent"].asUInt64();
        for (const stSavedSlice& s : saved) {
            const uint64_t resumeAt = s.start + s.size;
            if (from <= s.end && to > resumeAt)
                twice += std::min<uint64_t>(to, s.end + 1) - std::max<uint64_t>(from, resumeAt);
        }
    }
    const uint64_t sliceBytes = plan[0].last - plan[0].first + 1;
    std::printf("first run: %llu bytes in %zu answers; fetched again: %llu bytes (a slice: %llu)\n",
                static_cast<unsigned long long>(firstRunBytes), firstRun.size(), static_cast<unsigned long long>(twice),
                static_cast<unsigned long long>(sliceBytes));
    EXPECT_GT(firstRunBytes, kSlices * kPartwayBytes);
    EXPECT_LT(twice, sliceBytes) << "fetched twice: " << twice << " of " << firstRunBytes;
}

// The package changed while the installer was down (another version, its
// own validators and size): the second process keeps none of the first
// one's bytes, asks every slice from its start and ends with the new
// package.
TEST_F(DeployRoadResume, PackageChangedBetweenRunsStartsOverWithTheNewBytes)
{
    Json::Value keys;
    keys["package_rate"] = kResumeRate;
    ASSERT_TRUE(Configure(m_tag, keys));
    const std::string before = ServedPackage(m_tag, 0);
    const std::vector<stSavedSlice> saved = RunAndKillPartway();
    ASSERT_EQ(saved.size(), static_cast<size_t>(kSlices));

    keys["package_version"] = 1;
    ASSERT_TRUE(Configure(m_tag, keys));
    const std::string after = ServedPackage(m_tag, 1);
    ASSERT_FALSE(after.empty());
    ASSERT_NE(before, after);
    RunToTheEnd();
    EXPECT_TRUE(FileBytes(Target()) == after) << "the package is not the new one";
    EXPECT_EQ(WaitForMarker(InstallDir()).rfind("start\t", 0), 0u) << "the product did not start";

    std::vector<std::string> expected;
    for (const stSliceRange& r : PlanSlices(after.size(), kSlices))
        expected.push_back(RangeOf(r.first, r.last));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(SecondRunRanges(), expected);
}

// Killed while the package is being extracted, after the product's program
// is out but before its data file: the second process does not take the
// program for an installed product; it extracts the kept package again
// (fetching nothing) and only then starts the product.
TEST_F(DeployRoadResume, KilledDuringTheExtractionExtractsAgain)
{
    Json::Value keys;
    keys["pkg_pad"] = kLongEntryBytes;
    ASSERT_TRUE(Configure(m_tag, keys));
    const std::wstring program = InstallDir() + L"\\" + kProgram;
    const std::wstring data = InstallDir() + L"\\数据\\资料.bin";
    auto exists = [](const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; };
    ASSERT_TRUE(RunAndKillWhen([&] { return exists(program) && !exists(data); }))
        << "the first run was not caught in its extraction";
    ASSERT_TRUE(exists(Target()));
    EXPECT_FALSE(exists(data));
    EXPECT_TRUE(FileBytes(InstallDir() + L"\\" + kMarker).empty()) << "the half-written product was started";

    RunToTheEnd();
    EXPECT_TRUE(exists(data)) << "the product is still half written";
    EXPECT_TRUE(exists(InstallDir() + L"\\data\\pad.bin"));
    EXPECT_FALSE(exists(Target() + L".extracting"));
    EXPECT_EQ(WaitForMarker(InstallDir()).rfind("start\t", 0), 0u) << "the product did not start";
    EXPECT_TRUE(SecondRunRanges().empty()) << "the kept package was fetched again";
}

} // namespace
