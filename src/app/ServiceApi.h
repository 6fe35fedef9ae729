// Calls of the installer's web service: where they go, the JSON request body
// built on the common request object, and the reader of the answers.
// Every call is an HTTP POST of the base URL followed directly by a path.
#pragma once

#include "app/AppInit.h"

#include <json/json.h>

#include <cstdint>
#include <string>

// Paths appended to the service base URL.
constexpr wchar_t kApiSettingsInfo[] = L"/api/settings/info";
constexpr wchar_t kApiProducts[] = L"/api/resource/products";
constexpr wchar_t kApiPushed[] = L"/api/common/pushed";
constexpr wchar_t kApiOrder[] = L"/api/resource/order";

// Where the service is and what every call carries. A plain value: each
// worker that calls the service keeps its own copy, so no call reads
// process-wide values that shutdown may free.
struct stServiceEndpoint {
    std::wstring baseUrl;                       // e.g. http://127.0.0.1:18080
    std::wstring headerText = kServiceHeaderText;
    Json::Value identity = Json::Value(Json::objectValue);  // BuildIdentity's result
    int32_t osVersionCode = 0;                  // the `os` member of the products call
};

// The endpoint of this process: serviceBaseUrl, headerText and identityJson
// as InitApplication set them, and GetOsVersionCode. Main thread, after
// InitApplication.
stServiceEndpoint ServiceEndpointFromAppValues();

// A copy of identity with members' members added (members of the same name
// replaced), serialised by Json::Value::toStyledString: keys in ascending
// order, one per line, tab indentation, a final line feed. Characters
// outside ASCII are written as \u escapes of their UTF-8 text.
std::string BuildRequestBody(const Json::Value& identity, const Json::Value& members);

// POSTs the body to baseUrl + path on the calling thread and returns the
// answer body; empty on any failure. Needs the process-wide network resource
// manager to be acquired (the caller holds a reference for the call).
std::string CallService(const stServiceEndpoint& endpoint, const wchar_t* path, const Json::Value& members);

// One answer of the service: {"code": integer, "data": ...}.
class CApiResponse {
public:
    // Parses 8-bit JSON text (comments allowed and collected); false when it
    // is not JSON. The whole text is read (a NUL inside it is not JSON).
    bool Parse(const std::string& text);
    // True with the value when the root has a member `code` that fits a
    // 32-bit signed integer (an integer, or a real with such a whole value).
    bool GetCode(int32_t& code) const;
    // True with a copy when the root has a member `data` that is an object.
    bool GetData(Json::Value& data) const;
    // The parsed root (null before a successful Parse).
    const Json::Value& Root() const { return m_root; }

private:
    Json::Reader m_reader;
    Json::Value m_root;
};

// True with the text when name is given, object is an object and its member
// of that name is a string.
bool GetJsonString(const Json::Value& object, const char* name, std::string& text);

// True with the value when object has a member of that name of type boolean.
bool GetJsonBool(const Json::Value& object, const char* name, bool& value);

// True when the machine's native processor is 64-bit (AMD64 or IA64), also
// for a 32-bit program under WOW64.
bool IsNativeArch64();
