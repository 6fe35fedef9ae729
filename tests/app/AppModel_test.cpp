// The product model filled from the service: the settings and products
// answers, message 2025 to the main window, the removal order, shutdown.
#include "app/AppModel.h"

#include "app/support/DemoService.h"
#include "app/support/MessageSink.h"
#include "support/TestService.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

namespace {

using apptest::DemoService;
using apptest::MessageSink;

constexpr DWORD kWaitMs = 10000;
// Long enough for a message that should not come to have come.
constexpr DWORD kQuietMs = 300;
stServiceEndpoint EndpointFor(const std::wstring& baseUrl)
{
    return apptest::TestEndpoint(baseUrl);
}

// The model's product in one line, for table comparisons.
std::string Summary(const stProductInfo& p)
{
    std::ostringstream out;
    out << p.product_sn << "|" << p.name << "|" << p.desc << "|" << p.banner << "|ad:" << p.pop_ad.enable << ","
        << p.pop_ad.img << "," << p.pop_ad.link << "|";
    for (const stPackageInfo& package : p.packages)
        out << package.package_sn << "=" << package.name << ";";
    return out.str();
}

std::string Configured(const std::wstring& tag, const char* key, const std::string& text)
{
    Json::Value config;
    config[key] = text;
    return DemoService::Get().Configure(tag, config) ? "" : "configuration refused";
}

// Each products answer read by the model: what it keeps and whether the
// main window hears of it.
TEST(ProductsAnswer, KeepsWhatTheTableAllowsAndPostsWhenAProductCame)
{
    REQUIRE_DEMO_SERVICE();
    struct Case {
        const char* what;
        const char* answer;
        bool posted;
        const char* product;
    } cases[] = {
        {"whole product, other elements ignored",
         R"({"code":0,"data":[{"product_sn":"P1","name":"N","desc":"D","banner":"B",
             "pop_ad":{"enable":true,"img":"I","link":"L"},
             "packages":[{"package_sn":"a","name":"A"},{"package_sn":"b","name":"B"}]},{"product_sn":"P2","name":"M"}]})",
         true, "P1|N|D|B|ad:1,I,L|a=A;b=B;"},
        {"code is not read", R"({"code":500,"data":[{"product_sn":"P1","name":"N"}]})", true, "P1|N|||ad:0,,|"},
        {"data as an object", R"({"code":0,"data":{"product_sn":"P1","name":"N"}})", false, "||||ad:0,,|"},
        {"data empty", R"({"code":0,"data":[]})", false, "||||ad:0,,|"},
        {"no data", R"({"code":0})", false, "||||ad:0,,|"},
        {"no name: the rest is skipped", R"({"data":[{"product_sn":"P1","desc":"D","packages":[{"package_sn":"a","name":"A"}]}]})",
         true, "P1||||ad:0,,|"},
        {"name of another type", R"({"data":[{"product_sn":"P1","name":7,"desc":"D"}]})", true, "P1||||ad:0,,|"},
        {"no product_sn", R"({"data":[{"name":"N","desc":"D"}]})", true, "||||ad:0,,|"},
        {"first element not an object", R"({"data":["P1"]})", true, "||||ad:0,,|"},
        {"wrong types skipped one by one", R"({"data":[{"product_sn":"P1","name":"N","desc":["D"],"banner":"B","pop_ad":"x"}]})",
         true, "P1|N||B|ad:0,,|"},
        {"pop_ad disabled keeps no picture",
         R"({"data":[{"product_sn":"P1","name":"N","pop_ad":{"enable":false,"img":"I","link":"L"}}]})", true,
         "P1|N|||ad:0,,|"},
        {"pop_ad enable as text is not true",
         R"({"data":[{"product_sn":"P1","name":"N","pop_ad":{"enable":"true","img":"I","link":"L"}}]})", true,
         "P1|N|||ad:0,,|"},
        {"pop_ad picture of another type",
         R"({"data":[{"product_sn":"P1","name":"N","pop_ad":{"enable":true,"img":5,"link":"L"}}]})", true,
         "P1|N|||ad:1,,L|"},
        {"packages cut at the first bad element",
         R"({"data":[{"product_sn":"P1","name":"N","packages":[{"package_sn":"a","name":"A"},{"name":"B"},{"package_sn":"c","name":"C"}]}]})",
         true, "P1|N|||ad:0,,|a=A;"},
        {"packages: a bad first element keeps none",
         R"({"data":[{"product_sn":"P1","name":"N","packages":[{"package_sn":"a","name":1},{"package_sn":"b","name":"B"}]}]})",
         true, "P1|N|||ad:0,,|"},
        {"packages: element not an object",
         R"({"data":[{"product_sn":"P1","name":"N","packages":[{"package_sn":"a","name":"A"},"b"]}]})", true,
         "P1|N|||ad:0,,|a=A;"},
        {"packages as an object", R"({"data":[{"product_sn":"P1","name":"N","packages":{"package_sn":"a","name":"A"}}]})",
         true, "P1|N|||ad:0,,|"},
        {"suicide as text is no order", R"({"data":[{"product_sn":"P1","name":"N","suicide":"true","desc":"D"}]})", true,
         "P1|N|D||ad:0,,|"},
        {"UTF-8 texts kept as sent", u8R"({"data":[{"product_sn":"P1","name":"演示","desc":"说明"}]})", true,
         u8"P1|演示|说明||ad:0,,|"},
        {"not JSON", "<html>busy</html>", false, "||||ad:0,,|"},
        {"empty answer", "", false, "||||ad:0,,|"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring tag = testsupport::NewTag(L"prod");
        ASSERT_EQ("", Configured(tag, "products", c.answer));
        MessageSink sink;
        auto model = std::make_shared<CAppModel>(EndpointFor(DemoService::Get().BaseUrl(tag)));
        model->SetMainWindow(sink.Window());
        model->SignalWindowReady();
        model->FetchProducts();
        sink.Pump(c.posted ? kWaitMs : kQuietMs, MessageSink::Until::Ready);
        EXPECT_EQ(c.posted ? 1 : 0, sink.ReadyCount());
        EXPECT_EQ(c.product, Summary(model->Product()));
        EXPECT_FALSE(model->RemovalRequested());
    }
}

TEST(SettingsAnswer, CopiesEachLinkThatIsAString)
{
    REQUIRE_DEMO_SERVICE();
    struct Case {
        const char* what;
        const char* answer;
        const char* links;
    } cases[] = {
        {"all three",
         R"({"code":0,"data":{"customer_service_link":"c","privacy_protocol_link":"p","user_agreement_link":"u"}})",
         "c|p|u"},
        {"one missing, one of another type", R"({"data":{"customer_service_link":"c","privacy_protocol_link":1}})", "c||"},
        {"data as an array", R"({"data":[{"customer_service_link":"c"}]})", "||"},
        {"not JSON", "{\"data\":", "||"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring tag = testsupport::NewTag(L"set");
        ASSERT_EQ("", Configured(tag, "settings", c.answer));
        auto model = std::make_shared<CAppModel>(EndpointFor(DemoService::Get().BaseUrl(tag)));
        model->FetchSettingsInfo();
        const stServiceLinks links = model->Links();
        EXPECT_EQ(c.links, links.customer_service_link + "|" + links.privacy_protocol_link + "|" +
                               links.user_agreement_link);
    }
}

// The demo product as the installer sees it, with the answer in before the
// main window is ready: the message waits for the window.
TEST(ServiceFetches, FillTheModelAndPostOnceTheWindowIsReady)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = testsupport::NewTag(L"fetch");
    MessageSink sink;
    auto model = std::make_shared<CAppModel>(EndpointFor(DemoService::Get().BaseUrl(tag)));
    StartServiceFetches(model);
    std::vector<Json::Value> log = DemoService::Get().WaitForRequests(tag, 2, kWaitMs);
    ASSERT_EQ(2u, log.size());
    sink.Pump(kQuietMs, MessageSink::Until::Ready);
    EXPECT_EQ(0, sink.ReadyCount()) << "posted before the window was ready";

    model->SetMainWindow(sink.Window());
    model->SignalWindowReady();
    sink.Pump(kWaitMs, MessageSink::Until::Ready);
    EXPECT_EQ(1, sink.ReadyCount());
    const stProductInfo product = model->Product();
    EXPECT_EQ("CVL2026", product.product_sn);
    ASSERT_EQ(2u, product.packages.size());
    EXPECT_EQ(u8"Corvel Notes 专业版", product.packages[1].name);
    std::string img, link;
    EXPECT_TRUE(model->ExitAdvertisement(img, link));
    EXPECT_NE(std::string::npos, img.find("/res/ad.png"));
    for (int i = 0; i < 100 && model->Links().user_agreement_link.empty(); ++i)
        Sleep(20);
    EXPECT_NE(std::string::npos, model->Links().user_agreement_link.find("/pages/agreement.html"));

    for (const Json::Value& request : log) {
        const Json::Value& body = request["body"];
        EXPECT_EQ(u8"中文", body["promo_code"].asString());
        EXPECT_EQ(model->Endpoint().identity["uid"].asString(), body["uid"].asString());
        EXPECT_EQ(32u, body["uid"].asString().size());
        if (request["path"].asString() == "/api/resource/products") {
            EXPECT_EQ(apptest::kTestOsCode, body["os"].asInt());
            EXPECT_TRUE(body["bit64"].isBool());
        } else {
            EXPECT_EQ("/api/settings/info", request["path"].asString());
            EXPECT_FALSE(body.isMember("os"));
            EXPECT_FALSE(body.isMember("type"));
        }
    }
}

// Shutdown before the window was ever ready: the waiting thread ends
// without a message and lets go of the model, which is then destroyed.
TEST(ServiceFetches, EndWithoutAMessageWhenTheModelIsReleased)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = testsupport::NewTag(L"rel");
    MessageSink sink;
    auto model = std::make_shared<CAppModel>(EndpointFor(DemoService::Get().BaseUrl(tag)));
    model->SetMainWindow(sink.Window());
    std::weak_ptr<CAppModel> watch = model;
    StartServiceFetches(model);
    ASSERT_EQ(2u, DemoService::Get().WaitForRequests(tag, 2, kWaitMs).size());
    model->Release();
    model.reset();
    for (int i = 0; i < 500 && !watch.expired(); ++i)
        Sleep(20);
    EXPECT_TRUE(watch.expired()) << "a fetch thread still holds the model";
    sink.Pump(kQuietMs, MessageSink::Until::Ready);
    EXPECT_EQ(0, sink.ReadyCount());
}

// A service that is down or answers nonsense gives no product and no
// message; nothing crashes.
TEST(ServiceFetches, BadServiceGivesNoProduct)
{
    REQUIRE_DEMO_SERVICE();
    const char* modes[] = {"down", "garbage", "empty", "drop"};
    for (const char* mode : modes) {
        SCOPED_TRACE(mode);
        const std::wstring tag = testsupport::NewTag(L"bad");
        std::wstring base = DemoService::DownUrl();
        if (std::string(mode) != "down") {
            Json::Value config;
            config["mode"] = mode;
            ASSERT_TRUE(DemoService::Get().Configure(tag, config));
            base = DemoService::Get().BaseUrl(tag);
        }
        MessageSink sink;
        auto model = std::make_shared<CAppModel>(EndpointFor(base));
        model->SetMainWindow(sink.Window());
        model->SignalWindowReady();
        model->FetchSettingsInfo();
        model->FetchProducts();
        sink.Pump(kQuietMs, MessageSink::Until::Ready);
        EXPECT_EQ(0, sink.ReadyCount());
        EXPECT_EQ("||||ad:0,,|", Summary(model->Product()));
        EXPECT_EQ("", model->Links().customer_service_link);
        std::string img, link;
        EXPECT_FALSE(model->ExitAdvertisement(img, link));
    }
}

// The removal order ends the UI thread's loop (a WM_QUIT there) instead of
// the process ending on the worker; no product message, no advertisement.
TEST(ServiceFetches, RemovalOrderEndsTheUiLoopWithoutAdvertisement)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = testsupport::NewTag(L"bye");
    Json::Value config;
    config["mode"] = "suicide";
    ASSERT_TRUE(DemoService::Get().Configure(tag, config));
    MessageSink sink;
    auto model = std::make_shared<CAppModel>(EndpointFor(DemoService::Get().BaseUrl(tag)));
    model->SetMainWindow(sink.Window());
    model->SignalWindowReady();
    StartServiceFetches(model);
    sink.Pump(kWaitMs, MessageSink::Until::Quit);
    EXPECT_EQ(1, sink.QuitCount());
    EXPECT_TRUE(model->RemovalRequested());
    sink.Pump(kQuietMs, MessageSink::Until::Ready);
    EXPECT_EQ(0, sink.ReadyCount());
    std::string img, link;
    EXPECT_FALSE(model->ExitAdvertisement(img, link));
    EXPECT_EQ("CVL2026", model->Product().product_sn);
}

// Names the service sends never become path parts as they come.
TEST(ProductNames, BecomeOneSafePathElement)
{
    stPackageInfo package;
    package.name = u8"..\\..\\Windows\\System32";
    EXPECT_EQ(L".._.._Windows_System32", package.FolderName());
    package.name = "..";
    EXPECT_EQ(L"", package.FolderName());
    package.name = "NUL.txt";
    EXPECT_EQ(L"", package.FolderName());
    stProductInfo product;
    product.name = u8"演示: 产品/专业版 ";
    EXPECT_EQ(L"演示_ 产品_专业版", product.FolderName());
}

} // namespace
