#include "engine/content/HeaderText.h"

#include "engine/public/content/CharsetText.h"
#include "engine/content/HeaderWords.h"
#include "engine/content/JapaneseCharset.h"
#include "engine/content/MimeSupport.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "platform/kernel/Debug.h"

namespace content {
namespace {

bool IsTrimmed(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

template <typename View>
View Trim(View text) {
  size_t b = 0, e = text.size();
  while (b < e && IsTrimmed(static_cast<wchar_t>(text[b]))) ++b;
  while (e > b && IsTrimmed(static_cast<wchar_t>(text[e - 1]))) --e;
  return text.substr(b, e - b);
}

template <typename String, typename View>
void Replace(String& text, View what, View by) {
  if (what.empty()) return;
  String out;
  size_t pos = 0;
  for (size_t hit; (hit = text.find(what, pos)) != String::npos; pos = hit + what.size()) {
    out.append(text, pos, hit - pos);
    out.append(by);
  }
  out.append(text, pos, String::npos);
  text.swap(out);
}

}  // namespace

std::string TrimBlanks(std::string_view text) { return std::string(Trim(text)); }
std::wstring TrimBlanksW(std::wstring_view text) { return std::wstring(Trim(text)); }

std::string CollapseBlanks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool blank = false;
  for (char c : text) {
    if (IsTrimmed(static_cast<wchar_t>(c))) {
      if (!blank) out.push_back(' ');
      blank = true;
    } else {
      out.push_back(c);
      blank = false;
    }
  }
  return out;
}

void ReplaceAll(std::string& text, std::string_view what, std::string_view by) { Replace(text, what, by); }
void ReplaceAllW(std::wstring& text, std::wstring_view what, std::wstring_view by) { Replace(text, what, by); }

void UnfoldHeader(std::string& value, bool blank, bool decode) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\n' && i + 1 < value.size() && (value[i + 1] == ' ' || value[i + 1] == '\t')) {
      if (blank) out.push_back(' ');
      ++i;
      continue;
    }
    out.push_back(value[i]);
  }
  value = decode ? DecodeHeaderWords(out, blank) : std::move(out);
}

int NextHeaderLine(std::string_view text, size_t& pos, std::string& out) {
  out.clear();
  if (pos >= text.size()) return 0;
  if (text[pos] == '\n') {
    ++pos;
    return 0;
  }
  size_t end = pos;
  for (;;) {
    size_t lf = text.find('\n', end);
    if (lf == std::string_view::npos) {
      out = TrimBlanks(text.substr(pos));
      pos = text.size();
      return 1;
    }
    if (lf + 1 < text.size() && (text[lf + 1] == ' ' || text[lf + 1] == '\t')) {
      end = lf + 1;
      continue;
    }
    out = TrimBlanks(text.substr(pos, lf - pos));
    pos = lf + 1;
    return 1;
  }
}

void GetHeaderParamValue(std::string_view text, size_t& pos, std::string& out) {
  std::string plain, quoted;
  bool sawQuote = false;
  size_t i = pos;
  int depth = 0;
  while (i < text.size()) {
    char c = text[i];
    if (depth > 0) {
      if (c == '(') ++depth;
      if (c == ')') --depth;
      ++i;
      continue;
    }
    if (c == ';') break;
    if (c == '(') {
      depth = 1;
      ++i;
      continue;
    }
    if (c == '"') {
      sawQuote = true;
      ++i;
      while (i < text.size() && text[i] != '"') {
        if (text[i] == '\\' && i + 1 < text.size()) ++i;
        quoted.push_back(text[i++]);
      }
      if (i < text.size()) ++i;  // the closing quote
      continue;
    }
    // Once a quoted part was seen, unquoted text after it does not count.
    if (!sawQuote) plain.push_back(c);
    ++i;
  }
  pos = i < text.size() ? i + 1 : text.size();
  out = TrimBlanks(plain + quoted);
}

void GetHeaderParamValueLower(std::string_view text, size_t& pos, std::string& out) {
  GetHeaderParamValue(text, pos, out);
  out = ToLower(out);
}

int ParseHeaderParam(std::string_view text, size_t& pos, std::string& name, std::string& value) {
  if (pos > text.size()) pos = text.size();
  size_t eq = text.find('=', pos);
  if (eq == std::string_view::npos) return 0;
  name = TrimBlanks(text.substr(pos, eq - pos));
  pos = eq + 1;
  GetHeaderParamValue(text, pos, value);
  return 1;
}

uint32_t StripComments(std::string_view value, std::string& out) {
  if (value.find('(') == std::string_view::npos) {
    out.assign(value);
    return QVMDL_SUCCESS;
  }
  std::string result;
  int depth = 0;
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '(') {
      ++depth;
    } else if (c == ')' && depth > 0) {
      --depth;
    } else if (depth > 0) {
      continue;
    } else if (c == '"') {
      ++i;
      while (i < value.size() && value[i] != '"') {
        if (value[i] == '\\') ++i;
        ++i;
      }
    } else {
      result.push_back(c);
    }
  }
  out.swap(result);
  return QVMDL_SUCCESS;
}

void UnquoteHeaderValue(std::string_view value, size_t& pos, std::string& out) {
  if (pos > value.size()) pos = value.size();
  std::string_view v = Trim(value.substr(pos));
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  out.assign(v);
  pos = value.size();
}

void CleanHeaderValue(std::string_view text, size_t pos, std::string& out) {
  if (pos > text.size()) pos = text.size();
  StripComments(TrimBlanks(text.substr(pos)), out);
}

// Widened first and checked as characters: a byte check would keep the "/"
// after a lone lead byte, which the conversion gives back on its own.
uint32_t MakeFileName(std::string_view sjis, std::wstring& out) {
  out = SafePartFileName(WidenSjis(sjis.substr(0, sjis.find('\0'))), 0, kFileNameLimit);
  return QVMDL_SUCCESS;
}

void DumpBytes(const std::wstring& label, std::string_view bytes) {
  NKDbgPrintfW(L"[%s]", label.c_str());
  for (char c : bytes) NKDbgPrintfW(L"%c", static_cast<int>(static_cast<uint8_t>(c)));
  NKDbgPrintfW(L"\r\n");
}

void DumpBytesHex(const std::wstring& label, std::string_view bytes) {
  NKDbgPrintfW(L"[%s]", label.c_str());
  for (char c : bytes) NKDbgPrintfW(L" 0x%x", static_cast<unsigned>(static_cast<uint8_t>(c)));
  NKDbgPrintfW(L"\r\n");
}

}  // namespace content
