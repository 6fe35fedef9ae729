#include "app/AppInit.h"

#include <gtest/gtest.h>

#include "app/AppValues.h"
#include "app/Encodings.h"
#include "app/IniParse.h"
#include "app/MachineIdentity.h"
#include "support/Text.h"

using testsupport::Narrow;

TEST(AppInit, PromoCodeFromExecutableNameTable)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* code;
    } const cases[] = {
        {L"installer_2035.exe", L"2035"},
        {L"installer_ab12(1).exe", L"ab12"},
        {L"installer.exe", L"1000"},
        {L"INSTALLER_77.EXE", L"77"},
        {L"installer_.exe", L""},
        {L"installer_中文.exe", L"中文"},
        {L"a_b_c9.exe", L"c9"},
        {L"setup_x.exe.exe", L"x"},
        {L"_7", L"7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.name));
        EXPECT_EQ(PromoCodeFromExeName(c.name, L"1000"), c.code);
    }
}

TEST(AppInit, MacAndProductOptionsReplaceTheirValues)
{
    struct Case {
        const wchar_t* commandLine;
        const char* machineId;
        const wchar_t* productSn;
    } const cases[] = {
        {L"", "00-11-22-33-44-55", L"TABLE01"},
        {L"-mac AA-BB -p XYZ9876", "AA-BB", L"XYZ9876"},
        {L"-p=ABC", "00-11-22-33-44-55", L"ABC"},
        {L"--mac=Q1", "Q1", L"TABLE01"},
        // Names are exact: MAC and P are other options.
        {L"-MAC AA -P XYZ", "00-11-22-33-44-55", L"TABLE01"},
        // An option without a value empties the identifier.
        {L"-mac", "", L"TABLE01"},
        {L"-mac -p", "", L""},
        // The first of several wins; -self changes nothing.
        {L"-self -p ONE -p TWO", "00-11-22-33-44-55", L"ONE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.commandLine));
        std::string machineId = "00-11-22-33-44-55";
        std::wstring product = L"TABLE01";
        ApplyCommandLine(c.commandLine, machineId, product);
        EXPECT_EQ(machineId, c.machineId);
        EXPECT_EQ(product, c.productSn);
    }
}

// "-self" marks the elevated relaunch, wherever it stands and whatever
// follows it; names are exact.
TEST(AppInit, SelfOptionMarksTheElevatedRelaunch)
{
    struct Case {
        const wchar_t* commandLine;
        bool self;
    } const cases[] = {
        {L"-self", true},          {L"-p ONE -self", true}, {L"--self -mac AA", true}, {L"-self=1", true},
        {L"", false},              {L"-SELF", false},       {L"-selfish", false},      {L"self", false},
        {L"-p self", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.commandLine));
        EXPECT_EQ(HasSelfOption(c.commandLine), c.self);
    }
}

TEST(AppInit, IdentityHashesTheProductThenTheMachineBytes)
{
    // md5("ABC1234" "00-11-22-AA-BB-CC") and base64 of the 17 MAC text bytes.
    const Json::Value identity = BuildIdentity(L"ABC1234", "00-11-22-AA-BB-CC", L"6.1.7601", L"2035");
    EXPECT_EQ(identity["uid"].asString(), "e6c573240691b75b3fcc31c569f0161c");
    EXPECT_EQ(identity["mac"].asString(), "MDAtMTEtMjItQUEtQkItQ0M=");
    EXPECT_EQ(identity["winver"].asString(), "6.1.7601");
    EXPECT_EQ(identity["product_sn"].asString(), "ABC1234");
    EXPECT_EQ(identity["promo_code"].asString(), "2035");
    EXPECT_EQ(identity.getMemberNames(),
              (std::vector<std::string>{"mac", "product_sn", "promo_code", "uid", "winver"}));
    EXPECT_EQ(uid, identity["uid"].asString());
    EXPECT_EQ(macBase64, identity["mac"].asString());

    // No adapter and no option: the product identifier alone, empty mac.
    const Json::Value bare = BuildIdentity(L"ABC1234", "", L"6.1.7601", L"1000");
    EXPECT_EQ(bare["uid"].asString(), Md5Hex("ABC1234", 7));
    EXPECT_EQ(bare["mac"].asString(), "");
    EXPECT_TRUE(bare["mac"].isString());
}

TEST(AppInit, InitApplicationFillsTheValues)
{
    // The test program has no string table and no version resource: empty
    // product identifier, base URL and product name, so no desktop link.
    wchar_t localAppData[MAX_PATH] = {};
    ASSERT_NE(GetEnvironmentVariableW(L"LOCALAPPDATA", localAppData, MAX_PATH), 0u);
    const std::wstring settingsFolder = std::wstring(localAppData) + L"\\userdata";
    const bool settingsExisted = GetFileAttributesW(settingsFolder.c_str()) != INVALID_FILE_ATTRIBUTES;

    InitApplication(GetModuleHandleW(nullptr), L"-mac 0A-0B -p PRODUCT");

    EXPECT_EQ(exeName, L"test_app_AppInit.exe");
    EXPECT_FALSE(exeDir.empty());
    EXPECT_NE(exeDir.back(), L'\\');
    EXPECT_EQ(modulePath, exeDir + L"\\" + exeName);
    EXPECT_EQ(promoCode, L"AppInit");
    EXPECT_EQ(productSn, L"PRODUCT");
    EXPECT_EQ(serviceBaseUrl, L"");
    EXPECT_EQ(uid, Md5Hex("PRODUCT0A-0B", 12));
    EXPECT_EQ(macBase64, Base64Encode("0A-0B", 5));
    EXPECT_EQ(identityJson["product_sn"].asString(), "PRODUCT");
    EXPECT_EQ(identityJson["winver"].asString(), WideToAnsiString(winverText));
    EXPECT_FALSE(winverText.empty());
    EXPECT_EQ(headerText, L"Content-Type: application/json\r\nUser-Agent: zirezirovad\r\n\r\n");
    EXPECT_EQ(headerText.size(), 59u);
    EXPECT_EQ(userSettings.Path(), settingsFolder + L"\\user.dat");

    if (!settingsExisted) {
        DeleteFileW(userSettings.Path().c_str());
        RemoveDirectoryW(settingsFolder.c_str());
    }
}
