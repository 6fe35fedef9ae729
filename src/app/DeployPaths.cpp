#include "app/DeployPaths.h"

std::wstring FileNameFromUrl(const std::wstring& url)
{
    const size_t slash = url.rfind(L'/');
    std::wstring name = slash == std::wstring::npos ? url : url.substr(slash + 1);
    const size_t query = name.find(L'?');
    if (query != std::wstring::npos)
        name.resize(query);
    return name;
}
