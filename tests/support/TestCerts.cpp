#include "tests/support/TestCerts.h"

#include <gtest/gtest.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <fstream>
#include <memory>

namespace qv::test {
namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const { Free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using ExtPtr = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION, X509_EXTENSION_free>>;

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(' ');
  size_t e = s.find_last_not_of(' ');
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// "CN=a, O=b, C=JP" into the name, in the order written.
bool FillName(X509_NAME* name, const std::string& text) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    std::string field = Trim(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (!field.empty()) {
      size_t eq = field.find('=');
      if (eq == std::string::npos) return false;
      std::string key = Trim(field.substr(0, eq));
      std::string value = Trim(field.substr(eq + 1));
      if (!X509_NAME_add_entry_by_txt(name, key.c_str(), MBSTRING_UTF8,
                                      reinterpret_cast<const unsigned char*>(value.data()),
                                      static_cast<int>(value.size()), -1, 0))
        return false;
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return true;
}

bool AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  ExtPtr ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str()));
  return ext && X509_add_ext(cert, ext.get(), -1);
}

std::string BioText(BIO* bio) {
  char* data = nullptr;
  long n = BIO_get_mem_data(bio, &data);
  return std::string(data, static_cast<size_t>(n));
}

KeyPtr NewKey(bool rsa) {
  return KeyPtr(rsa ? EVP_RSA_gen(2048) : EVP_EC_gen("P-256"));
}

TestCert Make(const CertRequest& request, const TestCert* issuer) {
  KeyPtr key = NewKey(request.rsa);
  CertPtr cert(X509_new());
  if (!key || !cert) return {};

  CertPtr issuerCert;
  KeyPtr issuerKey;
  if (issuer) {
    const unsigned char* p = issuer->der.data();
    issuerCert.reset(d2i_X509(nullptr, &p, static_cast<long>(issuer->der.size())));
    BioPtr bio(BIO_new_mem_buf(issuer->keyPem.data(), static_cast<int>(issuer->keyPem.size())));
    issuerKey.reset(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
    if (!issuerCert || !issuerKey) return {};
  }
  X509* signerCert = issuer ? issuerCert.get() : cert.get();
  EVP_PKEY* signerKey = issuer ? issuerKey.get() : key.get();

  // A random positive 64-bit serial: every certificate made here differs.
  unsigned char serial[8];
  if (RAND_bytes(serial, sizeof serial) != 1) return {};
  serial[0] &= 0x7f;
  serial[0] |= 0x01;
  BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
  bool ok = bn && BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get()));
  BN_free(bn);

  ok = ok && X509_set_version(cert.get(), 2) && FillName(X509_get_subject_name(cert.get()), request.subject) &&
       X509_set_issuer_name(cert.get(), X509_get_subject_name(signerCert)) &&
       X509_gmtime_adj(X509_getm_notBefore(cert.get()), request.notBeforeSeconds) &&
       X509_gmtime_adj(X509_getm_notAfter(cert.get()), request.notAfterSeconds) &&
       X509_set_pubkey(cert.get(), key.get());
  if (!ok) return {};

  ok = AddExtension(cert.get(), signerCert, NID_basic_constraints,
                    request.isCa ? "critical,CA:TRUE" : "critical,CA:FALSE") &&
       AddExtension(cert.get(), signerCert, NID_key_usage,
                    request.isCa  ? "critical,keyCertSign,cRLSign"
                    : request.rsa ? "critical,digitalSignature,keyEncipherment"
                               : "critical,digitalSignature") &&
       AddExtension(cert.get(), signerCert, NID_subject_key_identifier, "hash");
  if (ok && issuer) ok = AddExtension(cert.get(), signerCert, NID_authority_key_identifier, "keyid:always");
  if (ok && !request.isCa) ok = AddExtension(cert.get(), signerCert, NID_ext_key_usage, "serverAuth");
  if (ok && !request.dnsNames.empty()) {
    std::string san;
    for (const std::string& name : request.dnsNames) san += (san.empty() ? "DNS:" : ",DNS:") + name;
    ok = AddExtension(cert.get(), signerCert, NID_subject_alt_name, san);
  }
  if (!ok || !X509_sign(cert.get(), signerKey, EVP_sha256())) return {};

  TestCert out;
  int len = i2d_X509(cert.get(), nullptr);
  if (len <= 0) return {};
  out.der.resize(static_cast<size_t>(len));
  unsigned char* p = out.der.data();
  i2d_X509(cert.get(), &p);

  BioPtr certBio(BIO_new(BIO_s_mem()));
  BioPtr keyBio(BIO_new(BIO_s_mem()));
  if (!PEM_write_bio_X509(certBio.get(), cert.get()) ||
      !PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr))
    return {};
  out.certPem = BioText(certBio.get());
  out.keyPem = BioText(keyBio.get());
  return out;
}

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
  return static_cast<bool>(f.flush());
}

}  // namespace

TestCert MakeCertificate(const CertRequest& request, const TestCert* issuer) {
  TestCert cert = Make(request, issuer);
  if (cert.der.empty()) ADD_FAILURE() << "could not make a test certificate for " << request.subject;
  return cert;
}

TestCert MakeCa(const std::string& subject) {
  CertRequest request(subject);
  request.isCa = true;
  request.notAfterSeconds = 365L * 24 * 3600;
  return MakeCertificate(request);
}

bool TestCert::WritePem(const std::string& certPath, const std::string& keyPath) const {
  return !der.empty() && WriteText(certPath, certPem) && WriteText(keyPath, keyPem);
}

std::vector<uint8_t> TestCert::Sha256() const {
  std::vector<uint8_t> md(EVP_MAX_MD_SIZE);
  unsigned int n = 0;
  EVP_Digest(der.data(), der.size(), md.data(), &n, EVP_sha256(), nullptr);
  md.resize(n);
  return md;
}

}  // namespace qv::test
