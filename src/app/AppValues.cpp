#include "app/AppValues.h"

namespace {
// Used when the executable's name carries no promotion code.
constexpr const wchar_t* kDefaultPromoCode = L"1000";
} // namespace

std::wstring exeName;
std::wstring exeDir;
std::wstring modulePath;
std::wstring productName;
std::wstring appDataDir;
std::wstring serviceBaseUrl;
std::wstring productSn;
std::wstring promoCode = kDefaultPromoCode;
std::string uid;
std::string macBase64;
std::wstring winverText;
std::wstring headerText;
Json::Value identityJson;
std::wstring installPathText = L"C:\\";
bool elevatedRelaunch = false;
CPushReportQueue* reportQueue = nullptr;
CAppModel* appModel = nullptr;
