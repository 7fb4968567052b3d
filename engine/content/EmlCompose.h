// The MIME composer and parser of the engine. It holds no data; every entry
// reports through the library-wide error word. Its members are spread over
// files by topic (EmlCompose*.cpp); each block below names its file.
#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "engine/QvMiddleExport.h"
#include "engine/content/Email.h"
#include "engine/content/Enclosure.h"

class QVMIDDLE_API EmlCompose {
 public:
  EmlCompose();
  ~EmlCompose();

  // --- records and error word (EmlCompose.cpp)
  void clearEmail(Email* mail);
  uint32_t GetErrorInfo();

  // --- addresses, mailto links, MIME types (EmlComposeAddress.cpp, EmlComposeMimeType.cpp)
  bool ParseAddress(std::wstring& field, std::wstring* address, std::wstring* name);
  bool ParseAddress_S(std::string& field, std::string* address, std::string* name);
  bool ParseMailto(const std::string& url, Email* mail);
  std::wstring MimeTypeId(const std::wstring& name);

  // --- percent decoding of links and parameters (EmlComposeAddress.cpp)
  void replacePercent(const std::string& in, std::string& out);

 private:
  bool setQvMiddleEmlError(uint32_t code);

  void parseMailtoSub(const std::string& url, Email* mail);
  void parseMailtoAddress(std::list<std::wstring>& list, const std::string& text);
  void loadExtensions();
};
