// The exported face of an account's signature store: two texts, "\Data1.txt"
// and "\Data2.txt" in the account's signature folder.
#pragma once

#include <cstdint>
#include <string>

#include "engine/public/QvMiddleExport.h"

class QvSignature;

class QVMIDDLE_API QvSignatureInterface {
 public:
  struct Attributes {
    uint32_t mask = 0;  // bit 0: first signature, bit 1: second
    std::wstring first;
    std::wstring second;
  };

  explicit QvSignatureInterface(QvSignature* signature);
  ~QvSignatureInterface();
  QvSignatureInterface(const QvSignatureInterface&) = delete;
  QvSignatureInterface& operator=(const QvSignatureInterface&) = delete;

  bool ReadAttributes(Attributes* attributes);
  bool WriteAttributes(const Attributes& attributes);
  uint32_t GetErrorInfo();

 private:
  QvSignature* signature_;
};
