// Synchronous helpers of the installer over the process-wide manager.
#pragma once

#include <cstdint>
#include <string>

// POSTs the body and returns the response body (any status that carries
// one); empty when the manager is missing or the request failed.
std::string HttpRequestToString(const wchar_t* url, const wchar_t* headers, const void* body, uint32_t bodyLength);

// GETs url into path: the body goes to "<path>.part" and replaces path only
// when it arrived whole with status 200; a failed download leaves no file
// behind and path untouched.
bool HttpDownloadToFile(const wchar_t* url, const wchar_t* path);
