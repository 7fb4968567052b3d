// The server-certificate hook the POP3, SMTP and feed clients install on their
// secure sockets. A certificate must name the host and be within its validity
// period; only then may the user accept one whose issuer is unknown, and that
// answer is remembered for that host and that certificate alone. The engine
// shows no window: the question goes to whatever the program installed.
#include <atomic>
#include <string>

#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/public/foundation/QvPlatformHooks.h"
#include "platform/base/WideText.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Library.h"
#include "platform/kernel/Time.h"
#include "platform/net/Certificate.h"

namespace {

constexpr DWORD kAccept = 0;
constexpr DWORD kUnreadable = 5;
constexpr DWORD kRefuse = 10;
constexpr DWORD kCertTypeX509 = 1;
constexpr DWORD kFlagIssuerUnknown = 0x1;

constexpr wchar_t kAnswersKey[] = L"Software\\Norvale\\QvMail";

std::atomic<CertificateQuestion> question{nullptr};

// What the socket hands the hook: the encoded leaf certificate.
struct CertificateBlob {
  ULONG cbSize;
  BYTE* pBlobData;
};

// The value that remembers an accepted certificate: the whole host name and
// the certificate's SHA-256 fingerprint.
std::wstring AnswerName(const std::wstring& host, const X509Certificate& cert) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring name = qv::FoldCase(host) + L"/sha256:";
  for (BYTE b : cert.Sha256Fingerprint) {
    name += kDigits[b >> 4];
    name += kDigits[b & 0xF];
  }
  return name;
}

// Library exports come back as FARPROC; going through the generic function
// pointer type keeps the conversion to the real type well defined.
template <typename Fn>
Fn ProcAs(FARPROC proc) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

DWORD AskUser(const std::wstring& host, const X509Certificate& cert) {
  const std::wstring name = AnswerName(host, cert);
  DWORD remembered = 0;
  if (GetRegistryDword(HKEY_CURRENT_USER, kAnswersKey, name, &remembered) && remembered == 1) return kAccept;
  const CertificateQuestion ask = question.load();
  if (ask == nullptr || !ask(host.c_str())) return kRefuse;
  SetRegistryDword(HKEY_CURRENT_USER, kAnswersKey, name, 1);
  return kAccept;
}

bool WithinValidity(const X509Certificate& cert) {
  FILETIME now = {};
  GetSystemTimeAsFileTime(&now);
  return CompareFileTime(&now, &cert.ValidFrom) >= 0 && CompareFileTime(&now, &cert.ValidUntil) <= 0;
}

DWORD CheckDecoded(const X509Certificate& cert, const std::wstring& host, DWORD flags) {
  if (host.empty() || !qv::CertificateMatchesHost(&cert, host)) {
    NKDbgPrintfW(L"[SSL] certificateValidationCallback() host not match ERRROR\r\n");
    return kRefuse;
  }
  if (!WithinValidity(cert)) return kRefuse;
  if (flags & kFlagIssuerUnknown) {
    NKDbgPrintfW(L"[SSL]  dwFlags error [%x]\r\n", flags);
    return AskUser(host, cert);
  }
  return kAccept;
}

}  // namespace

void SetCertificateQuestion(CertificateQuestion ask) { question.store(ask); }

DWORD certificateValidationCallback(DWORD type, void* argument, DWORD /*chainLength*/, void* chain, DWORD flags) {
  NKDbgPrintfW(L"[SSL] certificateValidationCallback()\r\n");
  if (type != kCertTypeX509) {
    NKDbgPrintfW(L"[SSL]  dwType error [%x]\r\n", type);
    return kRefuse;
  }
  const auto* blob = static_cast<const CertificateBlob*>(chain);
  if (!blob || !blob->pBlobData || blob->cbSize == 0) {
    NKDbgPrintfW(L"[SSL]  pCertChain error\r\n");
    return kRefuse;
  }

  HMODULE library = LoadLibraryW(L"schannel.dll");
  if (!library) return kRefuse;
  const auto crack = ProcAs<SSL_CRACK_CERTIFICATE_FN>(GetProcAddressW(library, L"SslCrackCertificate"));
  const auto release = ProcAs<SSL_FREE_CERTIFICATE_FN>(GetProcAddressW(library, L"SslFreeCertificate"));
  if (!crack || !release) {
    FreeLibrary(library);
    return kRefuse;
  }
  PX509Certificate cert = nullptr;
  if (!crack(blob->pBlobData, blob->cbSize, 0, &cert) || !cert) {
    NKDbgPrintfW(L"[SSL]  - gSslCrackCertificate() error!!!!!!\r\n");
    FreeLibrary(library);
    return kUnreadable;
  }
  // The clients pass the host name they connected to as 8-bit text.
  const std::wstring host = argument ? qv::Utf8ToWide(static_cast<const char*>(argument)) : std::wstring();
  const DWORD result = CheckDecoded(*cert, host, flags);
  release(cert);
  FreeLibrary(library);
  return result;
}
