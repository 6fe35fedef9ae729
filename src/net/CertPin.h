// Server-certificate pins: SHA-256 of the DER-encoded certificate as hex.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

#include <string>

namespace netpin {

// A pin is exactly 64 hex digits, either case. Writes it in upper case and
// returns true; anything else (spaces, colons, other lengths) is malformed.
bool NormalisePin(const std::string& pin, std::string* upper);

// SHA-256 of the certificate as 64 upper-case hex digits. Uses the
// certificate's own hash property and, where the platform lacks it, hashes
// the encoded certificate itself.
bool CertificateSha256(PCCERT_CONTEXT cert, std::string* upperHex);

// True only when the server certificate of the request can be read and its
// hash equals the normalised (upper-case) pin.
bool RequestMatchesPin(HINTERNET request, const std::string& upperPin);

} // namespace netpin
