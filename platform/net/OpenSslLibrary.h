// OpenSSL, loaded by the first secure session or certificate rather than
// with the platform: most starts of a program never speak TLS, and libssl
// with libcrypto is one of the larger libraries a process would map and
// relocate before its first line runs. Nothing of OpenSSL is linked; the
// two files that speak it include OpenSslCalls.h last, which sends each
// OpenSSL call (the headers' macros too) through this table.
//
//   if (!LoadOpenSsl()) ...   // no OpenSSL here: no TLS, no certificates
//
// Once loaded OpenSSL stays for the process's life.
#pragma once

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

namespace qv::net {

// Every OpenSSL function the platform calls, of libssl and of libcrypto.
#define QV_OPENSSL_FUNCTIONS(X) \
  X(ASN1_STRING_get0_data) \
  X(ASN1_STRING_length) \
  X(ASN1_STRING_to_UTF8) \
  X(ASN1_TIME_to_tm) \
  X(BIO_clear_flags) \
  X(BIO_ctrl) \
  X(BIO_free) \
  X(BIO_get_data) \
  X(BIO_get_new_index) \
  X(BIO_meth_new) \
  X(BIO_meth_set_create) \
  X(BIO_meth_set_ctrl) \
  X(BIO_meth_set_read) \
  X(BIO_meth_set_write) \
  X(BIO_new) \
  X(BIO_s_mem) \
  X(BIO_set_data) \
  X(BIO_set_flags) \
  X(BIO_set_init) \
  X(CRYPTO_free) \
  X(CRYPTO_get_ex_new_index) \
  X(ERR_clear_error) \
  X(ERR_peek_last_error) \
  X(EVP_sha256) \
  X(GENERAL_NAMES_free) \
  X(OPENSSL_sk_num) \
  X(OPENSSL_sk_value) \
  X(SSL_CTX_ctrl) \
  X(SSL_CTX_free) \
  X(SSL_CTX_load_verify_locations) \
  X(SSL_CTX_new) \
  X(SSL_CTX_set_cert_verify_callback) \
  X(SSL_CTX_set_default_verify_paths) \
  X(SSL_CTX_set_verify) \
  X(SSL_CTX_up_ref) \
  X(SSL_ctrl) \
  X(SSL_do_handshake) \
  X(SSL_free) \
  X(SSL_get0_param) \
  X(SSL_get_error) \
  X(SSL_get_ex_data) \
  X(SSL_get_ex_data_X509_STORE_CTX_idx) \
  X(SSL_new) \
  X(SSL_peek_ex) \
  X(SSL_pending) \
  X(SSL_read_ex) \
  X(SSL_set_bio) \
  X(SSL_set_connect_state) \
  X(SSL_set_ex_data) \
  X(SSL_shutdown) \
  X(SSL_write_ex) \
  X(TLS_client_method) \
  X(X509_NAME_ENTRY_get_data) \
  X(X509_NAME_get_entry) \
  X(X509_NAME_get_index_by_NID) \
  X(X509_NAME_print_ex) \
  X(X509_STORE_CTX_get0_cert) \
  X(X509_STORE_CTX_get_error) \
  X(X509_STORE_CTX_get_error_depth) \
  X(X509_STORE_CTX_get_ex_data) \
  X(X509_STORE_CTX_set_error) \
  X(X509_STORE_CTX_set_ex_data) \
  X(X509_STORE_CTX_set_verify_cb) \
  X(X509_VERIFY_PARAM_set1_host) \
  X(X509_VERIFY_PARAM_set1_ip_asc) \
  X(X509_check_host) \
  X(X509_check_ip_asc) \
  X(X509_digest) \
  X(X509_free) \
  X(X509_get0_notAfter) \
  X(X509_get0_notBefore) \
  X(X509_get0_serialNumber) \
  X(X509_get_default_cert_file) \
  X(X509_get_default_cert_file_env) \
  X(X509_get_ext_d2i) \
  X(X509_get_issuer_name) \
  X(X509_get_subject_name) \
  X(X509_get_version) \
  X(X509_verify_cert) \
  X(d2i_X509) \
  X(i2d_X509)

struct OpenSslLibrary {
#define QV_OPENSSL_MEMBER(function) decltype(&::function) function = nullptr;
  QV_OPENSSL_FUNCTIONS(QV_OPENSSL_MEMBER)
#undef QV_OPENSSL_MEMBER
};

// The library's name as the loader knows it (its soname); it brings libcrypto.
inline constexpr const char* kSslLibraryName = "libssl.so.3";

// OpenSSL, loaded on the first call (any thread); null when it cannot be
// loaded or lacks a function (every later call says the same).
const OpenSslLibrary* LoadOpenSsl();
// The loaded table, for code that runs only once LoadOpenSsl gave it.
const OpenSslLibrary& OpenSsl();

}  // namespace qv::net
