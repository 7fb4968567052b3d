// Server certificates arrive from the network: decoding any bytes must fail
// cleanly or give a record whose names can be matched safely.
#include <cstddef>
#include <cstdint>

#include "platform/net/Certificate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PX509Certificate cert = nullptr;
  if (SslCrackCertificate(data, static_cast<DWORD>(size), 0, &cert)) {
    qv::CertificateMatchesHost(cert, L"mail.example.jp");
    SslFreeCertificate(cert);
  }
  return 0;
}
