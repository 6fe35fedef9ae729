// Names the deployment derives from the service's descriptor.
#pragma once

#include <string>

// The package file name: the URL's last path segment, cut before a "?".
std::wstring FileNameFromUrl(const std::wstring& url);
