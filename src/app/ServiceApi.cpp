#include "app/ServiceApi.h"

#include "app/AppValues.h"
#include "app/MachineIdentity.h"
#include "net/HttpHelpers.h"

#include <windows.h>

#include <exception>


stServiceEndpoint ServiceEndpointFromAppValues()
{
    stServiceEndpoint endpoint;
    endpoint.baseUrl = serviceBaseUrl;
    endpoint.headerText = headerText;
    endpoint.identity = identityJson;
    endpoint.osVersionCode = GetOsVersionCode();
    return endpoint;
}

std::string BuildRequestBody(const Json::Value& identity, const Json::Value& members)
{
    Json::Value body = identity.isObject() ? identity : Json::Value(Json::objectValue);
    if (members.isObject()) {
        for (const std::string& name : members.getMemberNames())
            body[name] = members[name];
    }
    return body.toStyledString();
}

std::string CallService(const stServiceEndpoint& endpoint, const wchar_t* path, const Json::Value& members)
{
    const std::string body = BuildRequestBody(endpoint.identity, members);
    const std::wstring url = endpoint.baseUrl + path;
    return HttpRequestToString(url.c_str(), endpoint.headerText.c_str(), body.data(),
                               static_cast<uint32_t>(body.size()));
}

bool CApiResponse::Parse(const std::string& text)
{
    m_root = Json::Value();
    const bool collectComments = true;
    try {
        if (m_reader.parse(text.data(), text.data() + text.size(), m_root, collectComments))
            return true;
    } catch (const std::exception&) {
        // JsonCpp throws instead of failing on nesting deeper than its stack
        // limit: an answer like that is as unreadable as any other.
    }
    m_root = Json::Value();
    return false;
}

bool CApiResponse::GetCode(int32_t& code) const
{
    if (!m_root.isObject() || !m_root.isMember("code"))
        return false;
    // JsonCpp's isInt covers integers and reals with a whole value in range.
    const Json::Value& value = m_root["code"];
    if (!value.isInt())
        return false;
    code = value.asInt();
    return true;
}

bool CApiResponse::GetData(Json::Value& data) const
{
    if (!m_root.isObject() || !m_root.isMember("data") || !m_root["data"].isObject())
        return false;
    data = m_root["data"];
    return true;
}

bool GetJsonString(const Json::Value& object, const char* name, std::string& text)
{
    if (!name || !object.isObject() || !object.isMember(name) || !object[name].isString())
        return false;
    text = object[name].asString();
    return true;
}

bool GetJsonBool(const Json::Value& object, const char* name, bool& value)
{
    if (!name || !object.isObject() || !object.isMember(name) || !object[name].isBool())
        return false;
    value = object[name].asBool();
    return true;
}

bool IsNativeArch64()
{
    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
           info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}
