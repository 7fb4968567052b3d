#include "app/message/pads/TemplateFile.h"

#include "platform/framework/CFile.h"

bool ReadTemplateFile(const std::wstring& path, std::vector<std::wstring>* lines, size_t maxLines) {
  lines->clear();
  CFile file;
  if (!file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite)) return false;
  // UTF-16LE, two bytes a character; a line ends at CR immediately followed
  // by LF, and what follows the last CR LF is no line.
  std::wstring line;
  bool cut = false;  // the line is past its length: the rest of it is dropped
  bool cr = false;
  // Over-long: the line's head is kept, never half of a surrogate pair.
  const auto take = [&](wchar_t ch) {
    if (cut) return;
    if (line.size() < kTemplateLineMax) {
      line.push_back(ch);
      return;
    }
    if (line.back() >= 0xD800 && line.back() <= 0xDBFF) line.pop_back();
    cut = true;
  };
  unsigned char buffer[8192];
  int pending = -1;  // the first byte of a character split over two reads
  for (UINT got; lines->size() < maxLines && (got = file.Read(buffer, sizeof buffer)) > 0;) {
    for (UINT i = 0; i < got && lines->size() < maxLines; ++i) {
      if (pending < 0) {
        pending = buffer[i];
        continue;
      }
      const wchar_t ch = static_cast<wchar_t>(pending | (buffer[i] << 8));
      pending = -1;
      if (cr && ch == L'\n') {
        lines->push_back(line);
        line.clear();
        cut = cr = false;
        continue;
      }
      if (cr) take(L'\r');  // a CR without its LF is a character of the line
      cr = ch == L'\r';
      if (!cr) take(ch);
    }
  }
  return true;
}
