// Names the deployment derives from the service's descriptor.
#pragma once

#include <string>

// The package file name: the URL's last path segment ("/" separated; the
// whole URL when it has none), cut before a "?". The result is always one
// plain file name inside the installation directory (IsPlainFileName: no
// separator, not "." or "..", no ":" stream, no device name, no trailing
// dot or blank, no control character); a segment that is not one gives an
// empty name, which the download refuses before fetching anything.
std::wstring FileNameFromUrl(const std::wstring& url);
