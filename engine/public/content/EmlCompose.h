// The MIME composer and parser of the engine. It holds no data; every entry
// reports through the library-wide error word. Its members are spread over
// files by topic (EmlCompose*.cpp); each block below names its file.
#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "engine/public/QvMiddleExport.h"
#include "engine/public/content/Email.h"
#include "engine/public/content/Enclosure.h"
#include "engine/public/content/RawEmail_S.h"
#include "engine/public/content/TInfoData.h"

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

  // ===== Decoding and encoding (mime) =====
  // Decoding (EmlComposeDecode.cpp, EmlComposeMime.cpp, EmlComposePart.cpp)
  bool Decode(Email* mail, const std::string* raw);
  bool DecodeForSave(Email* mail, std::string* raw);
  bool DecodeSimple(Email* mail, const std::string* raw, int limit);
  bool DecodeHeader(Email* mail, const std::string* raw);
  int Decode_(Email* mail, std::string* text);
  bool GetHeader(const std::string& raw, std::string* header);
  bool GetHeaderField(const std::string& raw, const std::string& name, std::string* value);
  bool GetEnclosure(const std::string& raw, const Enclosure& part);
  int replace0D0Ato0A(const std::string& in, std::string& out);
  int replace0Ato0D0A(const std::wstring& in, std::wstring& out);
  int replace0Ato0D0A_S(const std::string& in, std::string& out);
  int ConvertStoW(const std::string& in, std::wstring& out);
  void convertStoW(std::list<std::string>& in, std::list<std::wstring>& out);
  void toSJIS(std::string& text, const std::wstring& charset);
  void toSJISforHTML(std::string& text, const std::wstring& charset);

  // Encoding (EmlComposeEncode.cpp, EmlComposeLines.cpp, EmlComposeRaw.cpp)
  bool Encode(Email* mail, std::string* out, RawEmail_S* raw);
  bool Encode(Email* mail, std::string* out);
  bool Encode(Email* mail, RawEmail_S* raw);
  bool DeleteEnclosureFromRawData(const std::string* raw, std::string* out);
  void EmlToRawEmailS(std::string* stored, RawEmail_S* raw);
  int encodeFile(std::wstring path, std::string* out);
  void ConvertFromUTF16(char* out, std::wstring* text, const std::wstring* charset);
  // Long lines of an outgoing body (300 columns), wide and ISO-2022-JP.
  void checkSendBodyReturnCode(std::wstring& text);
  void checkSendBodyReturnCode_S(std::string& text);

  // HTML templates and feed messages (EmlComposeTemplate.cpp, EmlComposeFeed.cpp)
  bool SaveHtmlTemplate(Email* mail, std::wstring* path);
  bool LoadHtmlTemplate(Email* mail, std::wstring* path, std::string* text);
  bool RssEncode(Email* mail, RawEmail_S* raw);
  bool RssEncode(Email* mail, std::string* out);
  bool RssGetLineInfo(const std::string* raw, std::string* title, std::string* link);
  bool RssGetLineInfo(const std::string* raw, TInfoData* info);
  bool RssGetImage(const std::string& raw, const Enclosure& part);
  bool RssGetTodayImage(const std::string* raw, std::wstring* path, bool small);
  bool RssGetWeatherImage(std::wstring* path, bool small);
  bool RssGetDefaultTodayImage(std::wstring* path, bool small);
  // ===== end of decoding and encoding =====

  // --- percent decoding of links and parameters (EmlComposeAddress.cpp)
  void replacePercent(const std::string& in, std::string& out);

 private:
  bool setQvMiddleEmlError(uint32_t code);

  void parseMailtoSub(const std::string& url, Email* mail);
  void parseMailtoAddress(std::list<std::wstring>& list, const std::string& text);
  void loadExtensions();

  // ===== Decoding and encoding (mime) =====
  struct BoundStr {
    std::string mixed, alternative, related, files;
  };
  struct MimeFlags {
    bool mixed = false, alternative = false, related = false, preamble = false;
  };
  // Decoding
  bool convertDecodeData(const std::string* raw, std::string* out);
  void clearForDecode(Email* mail);
  int decodeAt(Email* mail, std::string* text, int depth);
  // While filing decodes a mail: a plain text that becomes the body is only
  // measured, and the body holds a stand-in of one character when it has text.
  bool bodyTextUnused_ = false;
  void parseHeader(Email* mail, const std::string& text, size_t& pos, int* oversize);
  bool parseDateField(const std::string& value, Email* mail);
  int parseBody(Email* mail, const std::string& text, int depth);
  int parseMime(Email* mail, const std::string& text, size_t& pos, const Enclosure& parent, int& counter,
                bool inAlternative, int depth);
  void parseMimeHeader(const std::string& text, size_t& pos, const std::string& boundary, Enclosure* part);
  int parseMimeContentText(Email* mail, const std::string& text, Enclosure& part, int& counter, bool inAlternative,
                           bool last);
  bool parseMimeExtractBody(Email* mail, const std::string& text, Enclosure& part);
  bool parseMimeAddEnclosure(Email* mail, Enclosure& part, int counter);
  int parseMimeContentMessage(Email* mail, const std::string& text, Enclosure& part, int& counter, int depth);
  int decodeEnclosure(std::string* data, const Enclosure* part);
  int writePartFile(const std::string& raw, const Enclosure& part, const std::wstring& folder, bool feed);
  // Encoding
  int encodeMailHeader(Email* mail, std::string& out, RawEmail_S* raw);
  void makeAddressField(Email* mail, std::string& out, RawEmail_S* raw);
  void makeDateField(std::string& out, Email* mail);
  void makeInReplyToField(Email* mail, std::string& out);
  void encodeMimeHeader(Email* mail, std::string& out, BoundStr& bounds, MimeFlags& flags);
  void addMimeHeader(std::string& out, const std::string& boundary, const char* subtype, bool preamble);
  void addBoundary(std::string& out, const std::string& boundary, bool more);
  int makeBodyField(Email* mail, std::string& out);
  void makeHtmlBodyField(std::string& out, Email* mail, const BoundStr& bounds);
  int encodeEnclosure(Email* mail, std::string& out, BoundStr& bounds, const MimeFlags& flags);
  int encodeMimeFiles(std::string& out, const std::string& boundary, const std::list<Enclosure>& parts);
  int encodeBody(Email* mail, std::string& text, RawEmail_S* raw);
  bool finishText(std::string& text, std::string* out);
  bool encodeHtmlTemplate(Email* mail, std::string* out);
  int decodeHtmlTemplate(Email* mail, std::string* text);
  void rssEncodeMailHeader(Email* mail, std::string& out);
  bool rssEncodeTINFOHeader(Email* mail, std::string& out);
  void makeHtmlField(Email* mail, std::string& out);
  // ===== end of decoding and encoding =====
};
