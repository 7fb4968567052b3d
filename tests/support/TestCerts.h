// Certificates made on the fly for tests: self-signed or signed by a test CA,
// with a chosen subject, DNS subjectAltNames and a validity window relative to
// now (so expired and not-yet-valid certificates are one field away).
//
//   qv::test::CertRequest request("CN=Mail.Example.COM, O=Org, C=JP");
//   request.dnsNames = {"mail.example.com"};
//   request.notAfterSeconds = -60;        // expired a minute ago
//   qv::test::TestCert ca = qv::test::MakeCa();
//   qv::test::TestCert leaf = qv::test::MakeCertificate(request, &ca);
//   leaf.der ...                       // DER bytes, as a TLS peer sends them
//   leaf.WritePem(dir + "/cert.pem", dir + "/key.pem");
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qv::test {

struct CertRequest {
  explicit CertRequest(std::string subjectText = "CN=localhost") : subject(std::move(subjectText)) {}

  // Fields in the order they appear in the name, comma separated:
  // "CN=Mail.Example.COM, O=Org, C=JP". Values are UTF-8.
  std::string subject;
  // subjectAltName DNS entries (none: no extension at all).
  std::vector<std::string> dnsNames;
  // Validity window in seconds relative to now: a negative notAfter makes an
  // expired certificate, a positive notBefore one that is not valid yet.
  long notBeforeSeconds = -3600;
  long notAfterSeconds = 30L * 24 * 3600;
  // A CA certificate (basicConstraints CA:TRUE, keyCertSign) that can sign others.
  bool isCa = false;
  // RSA-2048 key instead of the default EC P-256 (faster to make).
  bool rsa = false;
};

struct TestCert {
  std::vector<uint8_t> der;  // the certificate
  std::string certPem;       // the certificate, PEM
  std::string keyPem;        // its private key, PEM (PKCS#8, unencrypted)

  // Writes the certificate and the key as PEM files; false on any failure.
  bool WritePem(const std::string& certPath, const std::string& keyPath) const;
  // SHA-256 of the DER bytes, as OpenSSL computes the fingerprint.
  std::vector<uint8_t> Sha256() const;
};

// Makes a certificate for `request`, signed by `issuer` (a CA made here) or
// self-signed when `issuer` is null. Fails the calling test (ADD_FAILURE) and
// returns an empty certificate when OpenSSL refuses.
TestCert MakeCertificate(const CertRequest& request, const TestCert* issuer = nullptr);
// A self-signed CA certificate with that subject.
TestCert MakeCa(const std::string& subject = "CN=QvMail Test CA, O=QvMail Tests");

}  // namespace qv::test
