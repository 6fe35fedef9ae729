// The request body and the answer reader of the service calls.
#include "app/ServiceApi.h"

#include "app/support/DemoService.h"
#include "net/NetResManager.h"
#include "support/TestService.h"

#include <gtest/gtest.h>

namespace {

using apptest::DemoService;

TEST(RequestBody, IsTheStyledIdentityWithTheCallsMembersInKeyOrder)
{
    Json::Value members(Json::objectValue);
    members["type"] = 1;
    members["bit64"] = true;
    Json::Value identity(Json::objectValue);
    identity["uid"] = "0123456789abcdef0123456789abcdef";
    identity["mac"] = "MDAtMTEtMjItMzMtNDQtNTU=";
    identity["winver"] = "10.0.19045";
    identity["product_sn"] = "CVL2026";
    identity["promo_code"] = "2035";
    const std::string body = BuildRequestBody(identity, members);
    EXPECT_EQ("{\n"
              "\t\"bit64\" : true,\n"
              "\t\"mac\" : \"MDAtMTEtMjItMzMtNDQtNTU=\",\n"
              "\t\"product_sn\" : \"CVL2026\",\n"
              "\t\"promo_code\" : \"2035\",\n"
              "\t\"type\" : 1,\n"
              "\t\"uid\" : \"0123456789abcdef0123456789abcdef\",\n"
              "\t\"winver\" : \"10.0.19045\"\n"
              "}\n",
              body);
}

// Texts outside the ANSI code page reach the service as the user sees them:
// the body is UTF-8 JSON, whatever the system's code page.
TEST(RequestBody, CarriesTextsOutsideTheAnsiCodePageAsUtf8)
{
    const Json::Value identity = BuildIdentity(L"CVL2026", "00-11-22-33-44-55", L"10.0.19045", L"中文");
    const std::string body = BuildRequestBody(identity, Json::Value(Json::objectValue));
    Json::Value parsed;
    ASSERT_TRUE(Json::Reader().parse(body, parsed));
    EXPECT_EQ(u8"中文", parsed["promo_code"].asString());
    EXPECT_EQ("CVL2026", parsed["product_sn"].asString());
    EXPECT_EQ("10.0.19045", parsed["winver"].asString());
    for (unsigned char c : body)
        EXPECT_LT(c, 0x80) << "the styled writer escapes non-ASCII text";
}

TEST(ApiResponse, ReadsCodeOnlyWhenItFitsA32BitInteger)
{
    struct Case {
        const char* text;
        bool has;
        int32_t code;
    } cases[] = {
        {R"({"code":0,"data":{}})", true, 0},
        {R"({"code":-7})", true, -7},
        {R"({"code":3.0})", true, 3},
        {R"({"code":2147483647})", true, 2147483647},
        {R"({"code":-2147483648})", true, INT32_MIN},
        {R"({"code":2147483648})", false, 0},
        {R"({"code":3.5})", false, 0},
        {R"({"code":"0"})", false, 0},
        {R"({"code":true})", false, 0},
        {R"({"code":null})", false, 0},
        {R"({"data":{}})", false, 0},
        {R"([{"code":0}])", false, 0},
    };
    for (const Case& c : cases) {
        CApiResponse response;
        ASSERT_TRUE(response.Parse(c.text)) << c.text;
        int32_t code = 12345;
        EXPECT_EQ(c.has, response.GetCode(code)) << c.text;
        if (c.has) {
            EXPECT_EQ(c.code, code) << c.text;
        }
    }
}

TEST(ApiResponse, GivesDataOnlyWhenItIsAnObject)
{
    struct Case {
        const char* text;
        bool has;
    } cases[] = {
        {R"({"code":0,"data":{"a":"b"}})", true},
        {R"({"code":0,"data":[{"a":"b"}]})", false},
        {R"({"code":0,"data":"x"})", false},
        {R"({"code":0})", false},
        {R"("data")", false},
    };
    for (const Case& c : cases) {
        CApiResponse response;
        ASSERT_TRUE(response.Parse(c.text)) << c.text;
        Json::Value data;
        EXPECT_EQ(c.has, response.GetData(data)) << c.text;
        if (c.has) {
            EXPECT_EQ("b", data["a"].asString());
        }
    }
}

TEST(ApiResponse, RefusesWhatIsNotJsonWithoutCrashing)
{
    const std::string deep(100000, '[');
    const std::string cases[] = {"", "not json", "{\"code\":", std::string("{\"code\":0\0}", 11), "\xff\xfe{}", deep};
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        const std::string& text = cases[i];
        CApiResponse response;
        EXPECT_FALSE(response.Parse(text)) << "case " << i;
        int32_t code = 0;
        Json::Value data;
        EXPECT_FALSE(response.GetCode(code));
        EXPECT_FALSE(response.GetData(data));
    }
}

TEST(ApiResponse, AllowsComments)
{
    CApiResponse response;
    ASSERT_TRUE(response.Parse("// the service's note\n{\"code\": /* ok */ 0, \"data\": {}}"));
    int32_t code = -1;
    EXPECT_TRUE(response.GetCode(code));
    EXPECT_EQ(0, code);
}

TEST(JsonString, IsReadOnlyFromAStringMember)
{
    Json::Value object;
    ASSERT_TRUE(Json::Reader().parse(R"({"s":"text","n":5,"b":true,"o":{},"z":null,"e":""})", object));
    struct Case {
        const char* name;
        bool has;
        const char* text;
    } cases[] = {{"s", true, "text"}, {"e", true, ""}, {"n", false, ""}, {"b", false, ""},
                 {"o", false, ""},    {"z", false, ""}, {"missing", false, ""}, {nullptr, false, ""}};
    for (const Case& c : cases) {
        std::string text = "unchanged";
        EXPECT_EQ(c.has, GetJsonString(object, c.name, text)) << (c.name ? c.name : "(null)");
        EXPECT_EQ(c.has ? c.text : "unchanged", text);
    }
    std::string text;
    EXPECT_FALSE(GetJsonString(Json::Value("s"), "s", text)) << "not an object";
}

// One call as the service sees it: a POST of base URL + path with the
// header text and the UTF-8 body.
TEST(CallService, PostsTheBodyWithTheHeaderTextToBaseUrlPlusPath)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = testsupport::NewTag(L"call");
    AcquireNetResManager();
    stServiceEndpoint endpoint = apptest::TestEndpoint(DemoService::Get().BaseUrl(tag));
    Json::Value members(Json::objectValue);
    members["type"] = 9;
    const std::string answer = CallService(endpoint, kApiPushed, members);
    ReleaseNetResManager();

    CApiResponse response;
    int32_t code = -1;
    ASSERT_TRUE(response.Parse(answer)) << answer;
    EXPECT_TRUE(response.GetCode(code));
    EXPECT_EQ(0, code);
    std::vector<Json::Value> log = DemoService::Get().WaitForRequests(tag, 1, 10000);
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ("POST", log[0]["method"].asString());
    EXPECT_EQ("/api/common/pushed", log[0]["path"].asString());
    EXPECT_EQ("application/json", log[0]["content_type"].asString());
    EXPECT_EQ("zirezirovad", log[0]["user_agent"].asString());
    EXPECT_EQ(9, log[0]["body"]["type"].asInt());
    EXPECT_EQ(u8"中文", log[0]["body"]["promo_code"].asString());
}

TEST(CallService, GivesAnEmptyAnswerWhenTheServiceIsDownOrCutsTheLine)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = testsupport::NewTag(L"drop");
    Json::Value config;
    config["mode"] = "drop";
    ASSERT_TRUE(DemoService::Get().Configure(tag, config));
    AcquireNetResManager();
    stServiceEndpoint endpoint;
    endpoint.baseUrl = DemoService::DownUrl();
    EXPECT_EQ("", CallService(endpoint, kApiSettingsInfo, Json::Value(Json::objectValue)));
    endpoint.baseUrl = DemoService::Get().BaseUrl(tag);
    EXPECT_EQ("", CallService(endpoint, kApiSettingsInfo, Json::Value(Json::objectValue)));
    ReleaseNetResManager();
}

} // namespace
