#include "engine/public/content/CharsetText.h"

#include <cwctype>

#include "engine/content/JapaneseCharset.h"
#include "engine/content/Pictograph.h"
#include "platform/codepage/CodePage.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Memory.h"

namespace {

const char kGetaBytes[] = "\x81\xAC";

}  // namespace

namespace {

// One pass: a CP932 character takes at most two bytes, the default character
// included, so twice the character count always suffices.
bool WideToDeviceBytes(std::wstring_view in, std::string& bytes, int* written) {
  int inChars = static_cast<int>(in.size());
  bytes.resize(in.size() * 2 + 1);
  int made = WideCharToMultiByte(CP_ACP, 0, in.data(), inChars, bytes.data(), static_cast<int>(bytes.size()),
                                 kGetaBytes, nullptr);
  if (made <= 0) return false;
  bytes.resize(static_cast<size_t>(made));
  *written = made;
  return true;
}

}  // namespace

int ConvertWtoS(const std::wstring& in, std::string& out) {
  if (in.empty() || (in.size() == 1 && in[0] == L'\0')) return 0;
  std::string bytes;
  int made = 0;
  if (!WideToDeviceBytes(in, bytes, &made)) return -1;
  // The count reported includes the terminator, as the caller's buffer did.
  size_t nul = bytes.find('\0');
  if (nul != std::string::npos) bytes.resize(nul);
  out = std::move(bytes);
  return made + (in.back() == L'\0' ? 0 : 1);
}

namespace content {

bool WStringToSjis(std::wstring_view in, std::string& out) {
  if (in.empty()) {
    out.clear();
    return true;
  }
  std::string bytes;
  int made = 0;
  if (!WideToDeviceBytes(in, bytes, &made)) return false;
  out = std::move(bytes);
  return true;
}

void Utf8ToSjis(std::string& text) {
  size_t nul = text.find('\0');
  int inBytes = static_cast<int>(nul == std::string::npos ? text.size() : nul);
  if (inBytes == 0) {
    text.clear();
    return;
  }
  int chars = MultiByteToWideChar(CP_UTF8, 0, text.data(), inBytes, nullptr, 0);
  if (chars <= 0) {
    text.clear();
    return;
  }
  std::wstring wide(static_cast<size_t>(chars), L'\0');
  chars = MultiByteToWideChar(CP_UTF8, 0, text.data(), inBytes, wide.data(), chars);
  if (chars <= 0) {
    text.clear();
    return;
  }
  wide.resize(static_cast<size_t>(chars));
  std::string out;
  if (!WStringToSjis(wide, out)) out.clear();
  text.swap(out);
}

void WStringToJisBuffer(std::wstring_view in, std::string& out) {
  std::string sjis;
  if (!WStringToSjis(in, sjis)) return;
  SjisToJis(sjis, out);
}

std::string WStringToJis(std::wstring_view in) {
  std::string out;
  WStringToJisBuffer(in, out);
  return out;
}

int WStringToJisWithTokens(std::wstring_view in, std::string& out) {
  std::string sjis;
  if (!WStringToSjis(in, sjis)) return -1;
  int pairs = 0;
  long size = PictographTokenLength(sjis, &pairs);
  if (size < 0) return -1;
  if (size == 0) {
    SjisToJis(sjis, out);
    return 0;
  }
  std::string tokens;
  tokens.reserve(static_cast<size_t>(size));
  PictographsToTokens(sjis, tokens, pairs);
  SjisToJis(tokens, out);
  return 1;
}

int MultiByteToWString(const std::string& in, std::wstring& out) { return MultiByteSzToWString(in.c_str(), out); }

int MultiByteSzToWString(const char* in, std::wstring& out) {
  if (in == nullptr) return -1;
  // One pass: no character of the code page widens to more than one unit.
  std::wstring wide(std::char_traits<char>::length(in) + 1, L'\0');
  int made = MultiByteToWideChar(CP_ACP, 0, in, -1, wide.data(), static_cast<int>(wide.size()));
  if (made <= 0) return -1;
  wide.resize(static_cast<size_t>(made - 1));  // drop the terminator
  out = std::move(wide);
  return made;
}

bool IsAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

bool IsAsciiW(std::wstring_view text) {
  for (wchar_t c : text)
    if (static_cast<unsigned long>(c) >= 0x80) return false;
  return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix, size_t offset) {
  if (prefix.empty()) return true;
  if (offset > text.size() || text.size() - offset < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (FoldCase(text[offset + i]) != FoldCase(prefix[i])) return false;
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && StartsWithNoCase(a, b); }

namespace {

template <typename Map>
std::string MapLetters(std::string_view text, Map map) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    auto c = static_cast<unsigned char>(out[i]);
    if (IsSjisLead(c) && i + 1 < out.size()) {
      ++i;  // skip the trail byte
      continue;
    }
    if (c < 0x80) out[i] = static_cast<char>(map(c));
  }
  return out;
}

}  // namespace

std::string ToLower(std::string_view text) {
  return MapLetters(text, [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; });
}

std::string ToUpper(std::string_view text) {
  return MapLetters(text, [](unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; });
}

// ASCII letters map by themselves: the keywords compared after folding
// ("iso-2022-jp", "re:") must not change with the process locale (a Turkish
// one lowers "I" to a dotless i). Other letters go to the C library.
std::wstring ToLowerW(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out)
    c = c < 0x80 ? (c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c)
                 : static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return out;
}

std::wstring ToUpperW(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out)
    c = c < 0x80 ? (c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c)
                 : static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return out;
}

size_t TextLength(std::string_view text) {
  size_t nul = text.find('\0');
  return nul == std::string_view::npos ? text.size() : nul;
}

namespace {

template <typename Char>
std::basic_string<Char> DropBreaks(std::basic_string_view<Char> text) {
  std::basic_string<Char> out;
  out.reserve(text.size());
  for (Char c : text)
    if (c != Char('\r') && c != Char('\n') && c != Char('\0')) out.push_back(c);
  return out;
}

}  // namespace

std::string WithoutLineBreaks(std::string_view text) { return DropBreaks(text); }
std::wstring WithoutLineBreaksW(std::wstring_view text) { return DropBreaks(text); }

void LogMemoryInfo(int number) {
  MEMORYSTATUS status{};
  status.dwLength = sizeof(status);
  GlobalMemoryStatus(&status);
  NKDbgPrintfW(L" === Memory Info === ");
  NKDbgPrintfW(L" (%d)  dwAvailPhys:[%d]\r\n", number, static_cast<int>(status.dwAvailPhys));
}

}  // namespace content
