#include "platform/net/Certificate.h"

#include <gtest/gtest.h>
#include <openssl/x509.h>

#include <ctime>
#include <memory>

#include "platform/kernel/Library.h"
#include "tests/support/DeviceRootFixture.h"
#include "tests/support/TestCerts.h"

namespace {

using qv::test::CertRequest;
using qv::test::MakeCertificate;
using qv::test::TestCert;

struct Freer {
  void operator()(X509Certificate* c) const { SslFreeCertificate(c); }
};
using Cracked = std::unique_ptr<X509Certificate, Freer>;

Cracked Crack(const std::vector<uint8_t>& der) {
  PX509Certificate cert = nullptr;
  EXPECT_TRUE(SslCrackCertificate(der.data(), static_cast<DWORD>(der.size()), 0, &cert));
  return Cracked(cert);
}

std::vector<std::wstring> List(DWORD count, LPWSTR* texts) { return std::vector<std::wstring>(texts, texts + count); }

ULONGLONG Units(FILETIME t) { return static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime; }

// Now plus `seconds`, in 100 ns units since 1601 (UTC).
ULONGLONG UnitsFromNow(long seconds) {
  return (static_cast<ULONGLONG>(std::time(nullptr) + seconds) + 11644473600ull) * 10000000ull;
}

using Certificate = qv::test::DeviceRootTest;

TEST_F(Certificate, DecodesTheRecord) {
  TestCert ca = qv::test::MakeCa("CN=QvMail Test CA, O=QvMail Tests");
  CertRequest request("CN=Mail.Example.COM, O=Org, C=JP");
  request.dnsNames = {"mail.example.com", "*.mail.example.com"};
  request.notBeforeSeconds = -7200;
  request.notAfterSeconds = 86400;
  TestCert leaf = MakeCertificate(request, &ca);
  Cracked cert = Crack(leaf.der);
  ASSERT_TRUE(cert);

  EXPECT_EQ(2u, cert->Version);
  EXPECT_EQ(std::wstring(L"CN=Mail.Example.COM, O=Org, C=JP"), cert->pszSubject);
  EXPECT_EQ(std::wstring(L"CN=QvMail Test CA, O=QvMail Tests"), cert->pszIssuer);
  EXPECT_EQ(std::vector<std::wstring>{L"Mail.Example.COM"}, List(cert->cCommonNames, cert->rgpszCommonNames));
  EXPECT_EQ((std::vector<std::wstring>{L"mail.example.com", L"*.mail.example.com"}),
            List(cert->cDnsNames, cert->rgpszDnsNames));
  EXPECT_EQ(leaf.Sha256(), std::vector<uint8_t>(cert->Sha256Fingerprint, cert->Sha256Fingerprint + 32));

  // Validity within a few seconds of what was asked.
  const ULONGLONG slack = 5 * 10000000ull;
  EXPECT_NEAR(static_cast<double>(UnitsFromNow(-7200)), static_cast<double>(Units(cert->ValidFrom)), slack);
  EXPECT_NEAR(static_cast<double>(UnitsFromNow(86400)), static_cast<double>(Units(cert->ValidUntil)), slack);

  // The serial as OpenSSL reads it (64 bits here), low DWORD first.
  const unsigned char* p = leaf.der.data();
  X509* x = d2i_X509(nullptr, &p, static_cast<long>(leaf.der.size()));
  ASSERT_NE(nullptr, x);
  uint64_t serial = 0;
  ASSERT_EQ(1, ASN1_INTEGER_get_uint64(&serial, X509_get0_serialNumber(x)));
  X509_free(x);
  EXPECT_EQ(static_cast<DWORD>(serial), cert->SerialNumber[0]);
  EXPECT_EQ(static_cast<DWORD>(serial >> 32), cert->SerialNumber[1]);
  EXPECT_EQ(0u, cert->SerialNumber[2]);
}

TEST_F(Certificate, JapaneseAndSeveralCommonNames) {
  TestCert self = MakeCertificate(CertRequest("CN=メール.例, CN=second.example, O=組織"));
  Cracked cert = Crack(self.der);
  ASSERT_TRUE(cert);
  EXPECT_EQ((std::vector<std::wstring>{L"メール.例", L"second.example"}),
            List(cert->cCommonNames, cert->rgpszCommonNames));
  EXPECT_EQ(std::wstring(L"CN=メール.例, CN=second.example, O=組織"), cert->pszSubject);
  EXPECT_EQ(std::wstring(cert->pszSubject), cert->pszIssuer);  // self-signed
  EXPECT_EQ(0u, cert->cDnsNames);
}

TEST_F(Certificate, HostMatching) {
  Cracked cnOnly = Crack(MakeCertificate(CertRequest("CN=Mail.Example.COM, O=Org, C=JP")).der);
  ASSERT_TRUE(cnOnly);
  EXPECT_TRUE(qv::CertificateMatchesHost(cnOnly.get(), L"mail.example.com"));
  EXPECT_TRUE(qv::CertificateMatchesHost(cnOnly.get(), L"MAIL.example.Com"));
  EXPECT_TRUE(qv::CertificateMatchesHost(cnOnly.get(), L"mail.example.com."));
  EXPECT_FALSE(qv::CertificateMatchesHost(cnOnly.get(), L"example.com"));
  EXPECT_FALSE(qv::CertificateMatchesHost(cnOnly.get(), L"mail.example.com.evil.net"));
  EXPECT_FALSE(qv::CertificateMatchesHost(cnOnly.get(), L"m"));
  EXPECT_FALSE(qv::CertificateMatchesHost(cnOnly.get(), L""));

  // With DNS names present the common name no longer counts.
  CertRequest withSan("CN=cn.example.com");
  withSan.dnsNames = {"san.example.com", "*.wild.example.com"};
  Cracked san = Crack(MakeCertificate(withSan).der);
  ASSERT_TRUE(san);
  EXPECT_TRUE(qv::CertificateMatchesHost(san.get(), L"SAN.example.com"));
  EXPECT_FALSE(qv::CertificateMatchesHost(san.get(), L"cn.example.com"));
  // A wildcard stands for exactly one leftmost label.
  EXPECT_TRUE(qv::CertificateMatchesHost(san.get(), L"pop.wild.example.com"));
  EXPECT_FALSE(qv::CertificateMatchesHost(san.get(), L"a.pop.wild.example.com"));
  EXPECT_FALSE(qv::CertificateMatchesHost(san.get(), L"wild.example.com"));

  CertRequest partial("CN=x");
  partial.dnsNames = {"f*.example.com", "*.com"};
  Cracked loose = Crack(MakeCertificate(partial).der);
  ASSERT_TRUE(loose);
  EXPECT_FALSE(qv::CertificateMatchesHost(loose.get(), L"foo.example.com"));
  EXPECT_FALSE(qv::CertificateMatchesHost(loose.get(), L"example.com"));

  // An address matches only an address entry, never a common name.
  Cracked ip = Crack(MakeCertificate(CertRequest("CN=127.0.0.1")).der);
  ASSERT_TRUE(ip);
  EXPECT_FALSE(qv::CertificateMatchesHost(ip.get(), L"127.0.0.1"));

  X509Certificate forged = *cnOnly;
  EXPECT_FALSE(qv::CertificateMatchesHost(&forged, L"mail.example.com"));
}

TEST_F(Certificate, NameWithNulIsNotListed) {
  const std::string subject("CN=good.example.com\0.evil.net", 29);
  Cracked cert = Crack(MakeCertificate(CertRequest(subject)).der);
  ASSERT_TRUE(cert);
  EXPECT_EQ(0u, cert->cCommonNames);
  EXPECT_FALSE(qv::CertificateMatchesHost(cert.get(), L"good.example.com"));
}

TEST_F(Certificate, GarbageRefused) {
  TestCert good = MakeCertificate(CertRequest("CN=a.example"));
  std::vector<std::vector<uint8_t>> bad = {
      {0x30, 0x82, 0xFF, 0xFF, 0x01},
      std::vector<uint8_t>(good.der.begin(), good.der.end() - 1),  // cut short
      std::vector<uint8_t>(300, 0x41),
  };
  std::vector<uint8_t> trailing = good.der;
  trailing.push_back(0);
  bad.push_back(trailing);
  for (const auto& blob : bad) {
    PX509Certificate cert = reinterpret_cast<PX509Certificate>(1);
    SetLastError(0);
    EXPECT_FALSE(SslCrackCertificate(blob.data(), static_cast<DWORD>(blob.size()), 0, &cert));
    EXPECT_EQ(nullptr, cert);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), GetLastError());
  }
  PX509Certificate cert = nullptr;
  EXPECT_FALSE(SslCrackCertificate(nullptr, 10, 0, &cert));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  EXPECT_FALSE(SslCrackCertificate(good.der.data(), static_cast<DWORD>(good.der.size()), 0, nullptr));
  SslFreeCertificate(nullptr);
}

TEST_F(Certificate, LoadedByNameFromSchannel) {
  HMODULE lib = LoadLibraryW(L"schannel.dll");
  ASSERT_NE(nullptr, lib);
  // Through void(*)(): the generic function type every exported call passes as.
  auto crack = reinterpret_cast<SSL_CRACK_CERTIFICATE_FN>(
      reinterpret_cast<void (*)()>(GetProcAddressW(lib, L"SslCrackCertificate")));
  auto release = reinterpret_cast<SSL_FREE_CERTIFICATE_FN>(
      reinterpret_cast<void (*)()>(GetProcAddressW(lib, L"SslFreeCertificate")));
  ASSERT_NE(nullptr, crack);
  ASSERT_NE(nullptr, release);
  EXPECT_EQ(nullptr, GetProcAddressW(lib, L"SslNoSuchCall"));

  TestCert c = MakeCertificate(CertRequest("CN=by.name"));
  PX509Certificate cert = nullptr;
  ASSERT_TRUE(crack(c.der.data(), static_cast<DWORD>(c.der.size()), 0, &cert));
  EXPECT_EQ(std::wstring(L"CN=by.name"), cert->pszSubject);
  release(cert);
  EXPECT_TRUE(FreeLibrary(lib));
}

}  // namespace
