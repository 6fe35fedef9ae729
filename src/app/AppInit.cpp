#include "app/AppInit.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cwctype>

#include "app/AppValues.h"
#include "app/CommandLine.h"
#include "app/Encodings.h"
#include "app/IniParse.h"
#include "app/MachineIdentity.h"
#include "app/PathUtil.h"
#include "app/ServiceStrings.h"
#include "app/ShellUtil.h"
#include "Corvel/Core/StringConv.h"

const wchar_t* const kServiceHeaderText = L"Content-Type: application/json\r\nUser-Agent: zirezirovad\r\n\r\n";

namespace {

constexpr const wchar_t* kExeExtension = L".exe";
// Shorter names cannot hold an extension worth cutting.
constexpr size_t kMinNameForExtension = 4;
constexpr const wchar_t* kSettingsFolder = L"\\userdata";
constexpr const wchar_t* kSettingsFile = L"user.dat";

void ReadExecutableName()
{
    if (!exeName.empty())
        return;
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    exeName = PathFindFileNameW(path);
    PathRemoveFileSpecW(path);
    exeDir = path;
}

std::wstring LocalAppData()
{
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return std::wstring();
    return folder;
}

bool IsAsciiLetterOrDigit(wchar_t c)
{
    return std::iswdigit(c) || (std::iswalpha(c) && c < 0x80);
}

} // namespace

std::wstring PromoCodeFromExeName(const std::wstring& exeName, const std::wstring& current)
{
    std::wstring name = exeName;
    const size_t extension = name.find(kExeExtension);
    if (name.size() >= kMinNameForExtension && extension != std::wstring::npos)
        name.erase(extension);
    const size_t underscore = name.rfind(L'_');
    if (underscore == std::wstring::npos)
        return current;
    const std::wstring after = name.substr(underscore + 1);
    size_t run = 0;
    while (run < after.size() && IsAsciiLetterOrDigit(after[run]))
        ++run;
    return run > 0 ? after.substr(0, run) : after;
}

void ApplyCommandLine(const std::wstring& commandLine, std::string& machineId, std::wstring& productSn)
{
    if (commandLine.empty())
        return;
    CCommandLine parsed;
    parsed.Parse(commandLine); // unbalanced quotes: the options read so far count
    if (parsed.HasOption(L"mac"))
        machineId = WideToAnsiString(parsed.GetValue(L"mac"));
    if (parsed.HasOption(L"p"))
        productSn = parsed.GetValue(L"p");
}

Json::Value BuildIdentity(const std::wstring& productSn, const std::string& machineId, const std::wstring& winver,
                          const std::wstring& promoCode)
{
    const std::string productAnsi = WideToAnsiString(productSn);
    const std::string uidInput = productAnsi + machineId;
    uid = Md5Hex(uidInput.data(), uidInput.size());
    macBase64 = Base64Encode(machineId.data(), machineId.size());
    Json::Value identity(Json::objectValue);
    identity["uid"] = uid;
    identity["mac"] = macBase64;
    // The texts go to the service as UTF-8 (the body is UTF-8 JSON): in the
    // ANSI code page a promotion code like "中文" would arrive as bytes of
    // another encoding, or as "??".
    identity["winver"] = ui::WideToUtf8String(winver);
    identity["product_sn"] = ui::WideToUtf8String(productSn);
    identity["promo_code"] = ui::WideToUtf8String(promoCode);
    return identity;
}

bool HasSelfOption(const std::wstring& commandLine)
{
    CCommandLine parsed;
    parsed.Parse(commandLine);
    return parsed.HasOption(L"self");
}

void InitApplication(HINSTANCE instance, const std::wstring& commandLine)
{
    ReadExecutableName();
    promoCode = PromoCodeFromExeName(exeName, promoCode);
    serviceBaseUrl = LoadStringEntry(instance, kServiceBaseUrlStringId);
    productSn = LoadStringEntry(instance, kProductSnStringId);
    LoadProductName(GetModulePath());
    appDataDir = LocalAppData() + L"\\" + productName;
    CreateShortcut(productName.c_str(), modulePath.c_str(), false, commandLine.c_str());
    userSettings.Open(kSettingsFile, GetAppDataDir(productName) + kSettingsFolder);

    std::string machineId = GetMacAddress();
    ApplyCommandLine(commandLine, machineId, productSn);
    elevatedRelaunch = HasSelfOption(commandLine);
    if (winverText.empty())
        GetOsVersionCode();
    identityJson = BuildIdentity(productSn, machineId, winverText, promoCode);
    headerText = kServiceHeaderText;
}
