#include "net/CertPin.h"

#include <bcrypt.h>

#ifndef CERT_SHA256_HASH_PROP_ID
#define CERT_SHA256_HASH_PROP_ID 107
#endif

namespace netpin {

namespace {

// A SHA-256 digest, and its text as a pin: two hex digits per byte.
const DWORD kSha256Bytes = 32;
const size_t kPinDigits = 2 * kSha256Bytes;

} // namespace

bool NormalisePin(const std::string& pin, std::string* upper)
{
    if (pin.size() != kPinDigits)
        return false;
    std::string out(kPinDigits, '0');
    for (size_t i = 0; i < kPinDigits; ++i) {
        char c = pin[i];
        if (c >= '0' && c <= '9')
            out[i] = c;
        else if (c >= 'a' && c <= 'f')
            out[i] = static_cast<char>(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'F')
            out[i] = c;
        else
            return false;
    }
    if (upper)
        *upper = out;
    return true;
}

static bool Sha256Bytes(const BYTE* data, DWORD length, BYTE digest[kSha256Bytes])
{
    BCRYPT_ALG_HANDLE alg = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return false;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = BCRYPT_SUCCESS(BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0)) &&
              BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(data), length, 0)) &&
              BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, kSha256Bytes, 0));
    if (hash)
        BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(alg, 0);
    return ok;
}

bool CertificateSha256(PCCERT_CONTEXT cert, std::string* upperHex)
{
    if (!cert)
        return false;
    BYTE digest[kSha256Bytes] = {};
    DWORD size = sizeof(digest);
    // Wine's crypt32 has no SHA-256 hash property: the encoded certificate
    // is hashed instead, which is what the property holds on Windows.
    if (!CertGetCertificateContextProperty(cert, CERT_SHA256_HASH_PROP_ID, digest, &size) || size != kSha256Bytes) {
        if (!cert->pbCertEncoded || cert->cbCertEncoded == 0 ||
            !Sha256Bytes(cert->pbCertEncoded, cert->cbCertEncoded, digest))
            return false;
    }
    static const char kHex[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(kPinDigits);
    for (BYTE b : digest) {
        hex.push_back(kHex[b >> 4]);
        hex.push_back(kHex[b & 15]);
    }
    if (upperHex)
        *upperHex = hex;
    return true;
}

bool RequestMatchesPin(HINTERNET request, const std::string& upperPin)
{
    if (!request || upperPin.size() != kPinDigits)
        return false;
    PCCERT_CONTEXT cert = nullptr;
    DWORD size = sizeof(cert);
    if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &cert, &size) || !cert)
        return false;
    std::string actual;
    bool ok = CertificateSha256(cert, &actual) && actual == upperPin;
    CertFreeCertificateContext(cert);
    return ok;
}

} // namespace netpin
