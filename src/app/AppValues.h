// Process-wide values of the installer, filled once by InitApplication on the
// main thread before any worker starts and only read afterwards (except
// installPathText, main thread only). Paths and UI texts are UTF-16; request
// values are 8-bit.
#pragma once

#include <json/value.h>

#include <string>

class CPushReportQueue;
class CAppModel;

extern std::wstring exeName;         // file name of the executable, extension included
extern std::wstring exeDir;          // folder of the executable, no trailing backslash
extern std::wstring modulePath;      // full path of the executable
extern std::wstring productName;     // ProductName of the version resource
extern std::wstring appDataDir;      // local application data + "\" + productName
extern std::wstring serviceBaseUrl;  // string table entry 102
extern std::wstring productSn;       // string table entry 101, or the option p
extern std::wstring promoCode;       // from the executable name; "1000" by default
extern std::string uid;              // lower-case hex MD5 of product and machine identifier
extern std::string macBase64;        // base64 of the machine identifier
extern std::wstring winverText;      // "major.minor.build", filled by GetOsVersionCode
extern std::wstring headerText;      // HTTP header text of every service call
extern Json::Value identityJson;     // the common request object
extern std::wstring installPathText; // folder browser's initial selection; "C:\"
extern bool elevatedRelaunch;        // started with "-self": the elevated relaunch already happened

// Built and released by the entry point; null outside that span. Not owned
// here.
extern CPushReportQueue* reportQueue;
extern CAppModel* appModel;
