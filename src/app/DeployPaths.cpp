#include "app/DeployPaths.h"

#include "net/SlicePlan.h"

std::wstring FileNameFromUrl(const std::wstring& url)
{
    const size_t slash = url.rfind(L'/');
    std::wstring name = slash == std::wstring::npos ? url : url.substr(slash + 1);
    const size_t query = name.find(L'?');
    if (query != std::wstring::npos)
        name.resize(query);
    // The name comes from the network: anything that would reach outside
    // the installation directory, into a stream or onto a device is no name.
    return IsPlainFileName(name) ? name : std::wstring();
}
