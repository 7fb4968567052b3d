// One attachment or MIME part of a mail. A plain record: it crosses the
// library boundary by value and by reference, so its layout stays fixed.
#pragma once

#include <cstdint>
#include <string>

struct Enclosure {
  int32_t index = 0;             // running number of the part within its mail
  std::wstring displayName;      // fileName when set, else name
  std::wstring name;             // Content-Type "name"; when encoding, the file's name
  std::wstring folder;           // when encoding: folder holding the file
  std::wstring reserved1;        // not used by the composer
  std::wstring mediaType;        // type before "/"
  std::wstring mediaSubtype;     // subtype after "/"
  std::wstring transferEncoding; // Content-Transfer-Encoding
  std::wstring reserved2;        // not used by the composer
  uint8_t filedFlag = 0;         // cleared when the part is filed
  uint8_t isInline = 0;          // "inline" disposition
  int32_t offset = 0;            // body position in the decoded mail text
  int32_t length = 0;            // body length
  std::wstring charset;
  std::wstring boundary;         // "--" and the multipart boundary
  std::wstring disposition;
  std::wstring fileName;
  std::wstring contentId;        // without angle brackets
  std::wstring contentBase;
  std::wstring contentLocation;  // "cid: " and angle brackets removed
};
