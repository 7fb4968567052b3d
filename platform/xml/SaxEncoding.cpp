// Byte maps for expat's table-driven encodings. Every ASCII byte stands for
// itself in both encodings, which is what expat needs to find markup; the
// bytes that start a multi-byte character are marked with its length and the
// character is decoded by the convert function.
#include "platform/xml/SaxEncoding.h"

#include <strings.h>

#include "platform/codepage/CodePage.h"
#include "platform/codepage/Conversion.h"

namespace qv::xml {
namespace {

constexpr int kUnmapped = 0x30FB;

int XMLCALL ConvertShiftJis(void*, const char* s) { return ShiftJisChar(reinterpret_cast<const unsigned char*>(s)); }
int XMLCALL ConvertEucJp(void*, const char* s) { return EucJpChar(reinterpret_cast<const unsigned char*>(s)); }

bool IsEucByte(unsigned char b) { return b >= 0xA1 && b <= 0xFE; }

void FillShiftJis(XML_Encoding* info) {
  for (int b = 0; b < 256; ++b) {
    if (qv::codepage::IsCp932LeadByte(static_cast<uint8_t>(b))) {
      info->map[b] = -2;
      continue;
    }
    wchar_t c = 0;
    info->map[b] = qv::Cp932DecodeChar(static_cast<uint16_t>(b), &c) ? static_cast<int>(c) : -1;
  }
  info->convert = ConvertShiftJis;
}

void FillEucJp(XML_Encoding* info) {
  for (int b = 0; b < 256; ++b) {
    if (b < 0x80)
      info->map[b] = b;
    else if (b == 0x8E || IsEucByte(static_cast<unsigned char>(b)))
      info->map[b] = -2;
    else if (b == 0x8F)
      info->map[b] = -3;
    else
      info->map[b] = -1;
  }
  info->convert = ConvertEucJp;
}

}  // namespace

JapaneseEncoding JapaneseEncodingByName(const char* name) {
  if (name == nullptr) return JapaneseEncoding::None;
  static const char* const kShiftJis[] = {"Shift_JIS", "Shift-JIS", "SJIS", "x-sjis", "MS_Kanji",
                                          "csShiftJIS", "Windows-31J", "CP932", "MS932"};
  static const char* const kEuc[] = {"EUC-JP", "EUC_JP", "eucJP", "x-euc-jp", "csEUCPkdFmtJapanese"};
  for (const char* n : kShiftJis) {
    if (strcasecmp(name, n) == 0) return JapaneseEncoding::ShiftJis;
  }
  for (const char* n : kEuc) {
    if (strcasecmp(name, n) == 0) return JapaneseEncoding::EucJp;
  }
  return JapaneseEncoding::None;
}

int ShiftJisChar(const unsigned char* bytes) {
  unsigned char trail = bytes[1];
  // A byte outside the trail range is markup or text of its own; taking it
  // into the character would hide it.
  if (trail < 0x40 || trail > 0xFC || trail == 0x7F) return -1;
  wchar_t c = 0;
  return qv::Cp932DecodeChar(static_cast<uint16_t>(bytes[0] << 8 | trail), &c) ? static_cast<int>(c) : kUnmapped;
}

int EucJpChar(const unsigned char* bytes) {
  unsigned char lead = bytes[0];
  if (lead == 0x8E) {
    // Half-width katakana.
    if (bytes[1] < 0xA1 || bytes[1] > 0xDF) return -1;
    return 0xFF61 + (bytes[1] - 0xA1);
  }
  if (lead == 0x8F) {
    // JIS X 0212 has no place in the device's code page.
    return IsEucByte(bytes[1]) && IsEucByte(bytes[2]) ? kUnmapped : -1;
  }
  if (!IsEucByte(lead) || !IsEucByte(bytes[1])) return -1;
  int row = lead - 0x80;   // 0x21..0x7E
  int cell = bytes[1] - 0x80;
  int s1 = ((row + 1) >> 1) + (row <= 0x5E ? 0x70 : 0xB0);
  int s2 = cell + ((row & 1) != 0 ? (cell >= 0x60 ? 0x20 : 0x1F) : 0x7E);
  wchar_t c = 0;
  return qv::Cp932DecodeChar(static_cast<uint16_t>(s1 << 8 | s2), &c) ? static_cast<int>(c) : kUnmapped;
}

int XMLCALL UnknownEncodingHandler(void*, const XML_Char* name, XML_Encoding* info) {
  switch (JapaneseEncodingByName(name)) {
    case JapaneseEncoding::ShiftJis:
      FillShiftJis(info);
      break;
    case JapaneseEncoding::EucJp:
      FillEucJp(info);
      break;
    case JapaneseEncoding::None:
      return XML_STATUS_ERROR;
  }
  info->data = nullptr;
  info->release = nullptr;
  return XML_STATUS_OK;
}

}  // namespace qv::xml
