#include "platform/net/Certificate.h"

#include <arpa/inet.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/base/WideText.h"
#include "platform/kernel/Library.h"
// Last: OpenSSL through the table loaded on first use.
#include "platform/net/OpenSslCalls.h"

namespace {

// The record handed out and everything it points into.
struct Decoded {
  X509Certificate record{};
  struct FreeX509 {
    void operator()(X509* x) const { X509_free(x); }
  };
  std::unique_ptr<X509, FreeX509> x509;
  std::wstring issuer;
  std::wstring subject;
  std::vector<std::wstring> commonNames;
  std::vector<std::wstring> dnsNames;
  std::vector<LPWSTR> commonNamePointers;
  std::vector<LPWSTR> dnsNamePointers;
};

// Records alive, by the pointer handed out: a pointer not listed here is
// never dereferenced.
struct Live {
  std::mutex lock;
  std::map<const X509Certificate*, std::unique_ptr<Decoded>> records;
};

Live& L() {
  static auto* live = new Live;
  return *live;
}

// "schannel.dll" is this library.
const bool kRegistered = [] {
  qv::RegisterLibraryAlias(L"schannel.dll", "");
  return true;
}();

// 100 ns units since 1601-01-01 UTC.
FILETIME ToFileTime(const ASN1_TIME* t) {
  struct tm tm {};
  if (t == nullptr || ASN1_TIME_to_tm(t, &tm) != 1) return FILETIME{};
  // Days from 1601-01-01 to the date (proleptic Gregorian).
  long long y = tm.tm_year + 1900;
  const int m = tm.tm_mon + 1;
  if (m <= 2) --y;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + tm.tm_mday - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long long daysSince1970 = era * 146097 + doe - 719468;
  const long long days = daysSince1970 + 134774;  // 1601 to 1970
  if (days < 0) return FILETIME{};
  const unsigned long long units =
      (static_cast<unsigned long long>(days) * 86400ull + tm.tm_hour * 3600ull + tm.tm_min * 60ull + tm.tm_sec) *
      10000000ull;
  return FILETIME{static_cast<DWORD>(units), static_cast<DWORD>(units >> 32)};
}

std::wstring FromAsn1(const ASN1_STRING* s, bool* hasNul) {
  unsigned char* utf8 = nullptr;
  int n = ASN1_STRING_to_UTF8(&utf8, s);
  if (n < 0) {
    *hasNul = true;  // unreadable: treated as unusable
    return {};
  }
  std::string text(reinterpret_cast<char*>(utf8), static_cast<size_t>(n));
  OPENSSL_free(utf8);
  *hasNul = text.find('\0') != std::string::npos;
  return qv::Utf8ToWide(text);
}

std::wstring NameText(const X509_NAME* name) {
  struct FreeBio {
    void operator()(BIO* b) const { BIO_free(b); }
  };
  std::unique_ptr<BIO, FreeBio> bio(BIO_new(BIO_s_mem()));
  if (!bio) return {};
  const unsigned long flags = (ASN1_STRFLGS_RFC2253 & ~ASN1_STRFLGS_ESC_MSB) | XN_FLAG_SEP_CPLUS_SPC | XN_FLAG_FN_SN;
  if (X509_NAME_print_ex(bio.get(), name, 0, flags) < 0) return {};
  char* data = nullptr;
  long n = BIO_get_mem_data(bio.get(), &data);
  return qv::Utf8ToWide(std::string_view(data, static_cast<size_t>(n)));
}

void ReadCommonNames(const X509_NAME* name, std::vector<std::wstring>* out) {
  for (int i = X509_NAME_get_index_by_NID(name, NID_commonName, -1); i >= 0;
       i = X509_NAME_get_index_by_NID(name, NID_commonName, i)) {
    bool hasNul = false;
    std::wstring cn = FromAsn1(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, i)), &hasNul);
    if (!hasNul) out->push_back(std::move(cn));
  }
}

void ReadDnsNames(X509* x, std::vector<std::wstring>* out) {
  auto* names = static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(x, NID_subject_alt_name, nullptr, nullptr));
  if (names == nullptr) return;
  for (int i = 0; i < sk_GENERAL_NAME_num(names); ++i) {
    const GENERAL_NAME* g = sk_GENERAL_NAME_value(names, i);
    if (g->type != GEN_DNS) continue;
    bool hasNul = false;
    std::wstring dns = FromAsn1(g->d.dNSName, &hasNul);
    if (!hasNul) out->push_back(std::move(dns));
  }
  GENERAL_NAMES_free(names);
}

std::vector<LPWSTR> Pointers(std::vector<std::wstring>& texts) {
  std::vector<LPWSTR> out;
  for (std::wstring& t : texts) out.push_back(t.data());
  return out;
}

std::unique_ptr<Decoded> Decode(const BYTE* blob, DWORD length) {
  const unsigned char* p = blob;
  auto d = std::make_unique<Decoded>();
  d->x509.reset(d2i_X509(nullptr, &p, static_cast<long>(length)));
  if (!d->x509 || p != blob + length) return nullptr;  // not one whole certificate
  X509* x = d->x509.get();
  X509Certificate& r = d->record;

  r.Version = static_cast<DWORD>(X509_get_version(x));
  const ASN1_INTEGER* serial = X509_get0_serialNumber(x);
  const int serialLength = ASN1_STRING_length(serial);
  const unsigned char* serialBytes = ASN1_STRING_get0_data(serial);
  for (int i = 0; i < serialLength && i < 16; ++i)
    r.SerialNumber[i / 4] |= static_cast<DWORD>(serialBytes[serialLength - 1 - i]) << (8 * (i % 4));
  r.ValidFrom = ToFileTime(X509_get0_notBefore(x));
  r.ValidUntil = ToFileTime(X509_get0_notAfter(x));

  d->issuer = NameText(X509_get_issuer_name(x));
  d->subject = NameText(X509_get_subject_name(x));
  r.pszIssuer = d->issuer.data();
  r.pszSubject = d->subject.data();

  ReadCommonNames(X509_get_subject_name(x), &d->commonNames);
  ReadDnsNames(x, &d->dnsNames);
  d->commonNamePointers = Pointers(d->commonNames);
  d->dnsNamePointers = Pointers(d->dnsNames);
  r.cCommonNames = static_cast<DWORD>(d->commonNames.size());
  r.rgpszCommonNames = d->commonNamePointers.data();
  r.cDnsNames = static_cast<DWORD>(d->dnsNames.size());
  r.rgpszDnsNames = d->dnsNamePointers.data();

  unsigned int mdLength = 0;
  unsigned char md[EVP_MAX_MD_SIZE];
  if (X509_digest(x, EVP_sha256(), md, &mdLength) != 1 || mdLength != sizeof r.Sha256Fingerprint) return nullptr;
  std::copy(md, md + mdLength, r.Sha256Fingerprint);
  return d;
}

bool IsIpAddress(const std::string& host) {
  unsigned char buf[16];
  return inet_pton(AF_INET, host.c_str(), buf) == 1 || inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

}  // namespace

BOOL SslCrackCertificate(const BYTE* blob, DWORD length, DWORD, PX509Certificate* out) {
  if (out != nullptr) *out = nullptr;
  if (blob == nullptr || length == 0 || out == nullptr || length > 0x7FFFFFFF) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!qv::net::LoadOpenSsl()) {  // no OpenSSL here: nothing can be read
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  std::unique_ptr<Decoded> d = Decode(blob, length);
  if (!d) {
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  X509Certificate* record = &d->record;
  Live& live = L();
  std::lock_guard<std::mutex> g(live.lock);
  live.records.emplace(record, std::move(d));
  *out = record;
  return TRUE;
}

void SslFreeCertificate(PX509Certificate cert) {
  Live& live = L();
  std::unique_ptr<Decoded> gone;
  std::lock_guard<std::mutex> g(live.lock);
  auto it = live.records.find(cert);
  if (it == live.records.end()) return;
  gone = std::move(it->second);
  live.records.erase(it);
}

namespace qv {

bool CertificateMatchesHost(const X509Certificate* cert, std::wstring_view host) {
  std::string name = WideToUtf8(host);
  if (!name.empty() && name.back() == '.') name.pop_back();  // the root label of an absolute name
  if (name.empty() || name.find('\0') != std::string::npos) return false;
  Live& live = L();
  std::lock_guard<std::mutex> g(live.lock);
  auto it = live.records.find(cert);
  if (it == live.records.end()) return false;
  X509* x = it->second->x509.get();
  if (IsIpAddress(name)) return X509_check_ip_asc(x, name.c_str(), 0) == 1;
  return X509_check_host(x, name.data(), name.size(), X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS, nullptr) == 1;
}

}  // namespace qv
