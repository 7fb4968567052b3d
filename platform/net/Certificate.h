// Certificate decoding, as the platform's "schannel.dll" offers it:
// SslCrackCertificate turns a DER certificate into a record, and
// SslFreeCertificate releases it. Callers load them by name
// (LoadLibraryW(L"schannel.dll"), GetProcAddressW); the library is this
// platform itself.
//
// Beyond the device's record, ours carries what a sound host check needs:
// the subject's common names as parsed, the subjectAltName DNS names and the
// SHA-256 fingerprint; qv::CertificateMatchesHost applies the host rules.
#pragma once

#include <string_view>

#include "platform/base/WinTypes.h"

struct X509Certificate {
  DWORD Version;          // as encoded: 0 for v1, 2 for v3
  DWORD SerialNumber[4];  // the low 128 bits of the serial, least significant DWORD first
  FILETIME ValidFrom;     // UTC
  FILETIME ValidUntil;    // UTC
  LPWSTR pszIssuer;       // "CN=Test CA, O=Org, C=JP": the name's fields in their encoded order
  LPWSTR pszSubject;
  // The subject's common names, in order; names holding a NUL are left out.
  DWORD cCommonNames;
  LPWSTR* rgpszCommonNames;
  // The subjectAltName DNS names, in order; names holding a NUL are left out.
  DWORD cDnsNames;
  LPWSTR* rgpszDnsNames;
  BYTE Sha256Fingerprint[32];  // SHA-256 of the DER certificate
};
typedef X509Certificate* PX509Certificate;

extern "C" {

// Decodes one DER certificate (the whole blob, nothing after it). FALSE with
// ERROR_INVALID_PARAMETER for missing arguments, ERROR_INVALID_DATA for bytes
// that are not a certificate. `flags` is reserved (0).
QV_PLATFORM_API BOOL SslCrackCertificate(const BYTE* blob, DWORD length, DWORD flags, PX509Certificate* out);
// Frees a record from SslCrackCertificate (null and unknown pointers are ignored).
QV_PLATFORM_API void SslFreeCertificate(PX509Certificate cert);

}  // extern "C"

// The two calls as GetProcAddressW returns them.
typedef BOOL (*SSL_CRACK_CERTIFICATE_FN)(const BYTE* blob, DWORD length, DWORD flags, PX509Certificate* out);
typedef void (*SSL_FREE_CERTIFICATE_FN)(PX509Certificate cert);

namespace qv {

// Whether a decoded certificate names `host`, by OpenSSL's host rules: the
// subjectAltName DNS names when there are any, else the subject's common
// names; letters compared without regard to case; a "*" only as the whole
// leftmost label, standing for exactly one label. An IP address matches only
// an IP subjectAltName. False for a record not made by SslCrackCertificate.
QV_PLATFORM_API bool CertificateMatchesHost(const X509Certificate* cert, std::wstring_view host);

}  // namespace qv
