#include "app/message/pads/TemplateFile.h"

#include "platform/framework/CFile.h"

namespace {

// UTF-16LE, two bytes a character; a line ends at CR immediately followed by
// LF, and what follows the last CR LF is no line. Bytes come in pieces of
// any size (a character may be split between two).
class LineReader {
 public:
  LineReader(std::vector<std::wstring>* lines, size_t maxLines) : lines_(lines), maxLines_(maxLines) {
    lines_->clear();
  }
  bool Full() const { return lines_->size() >= maxLines_; }
  void Feed(const unsigned char* bytes, size_t size) {
    for (size_t i = 0; i < size && !Full(); ++i) {
      if (pending_ < 0) {
        pending_ = bytes[i];
        continue;
      }
      const wchar_t ch = static_cast<wchar_t>(pending_ | (bytes[i] << 8));
      pending_ = -1;
      if (cr_ && ch == L'\n') {
        lines_->push_back(line_);
        line_.clear();
        cut_ = cr_ = false;
        continue;
      }
      if (cr_) Take(L'\r');  // a CR without its LF is a character of the line
      cr_ = ch == L'\r';
      if (!cr_) Take(ch);
    }
  }

 private:
  // Over-long: the line's head is kept, never half of a surrogate pair.
  void Take(wchar_t ch) {
    if (cut_) return;
    if (line_.size() < kTemplateLineMax) {
      line_.push_back(ch);
      return;
    }
    if (line_.back() >= 0xD800 && line_.back() <= 0xDBFF) line_.pop_back();
    cut_ = true;
  }

  std::vector<std::wstring>* lines_;
  size_t maxLines_;
  std::wstring line_;
  bool cut_ = false;  // the line is past its length: the rest of it is dropped
  bool cr_ = false;
  int pending_ = -1;  // the first byte of a character split over two pieces
};

}  // namespace

bool ReadTemplateFile(const std::wstring& path, std::vector<std::wstring>* lines, size_t maxLines) {
  lines->clear();
  CFile file;
  if (!file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite)) return false;
  LineReader reader(lines, maxLines);
  unsigned char buffer[8192];
  for (UINT got; !reader.Full() && (got = file.Read(buffer, sizeof buffer)) > 0;) reader.Feed(buffer, got);
  return true;
}

void ReadTemplateText(std::string_view bytes, std::vector<std::wstring>* lines, size_t maxLines) {
  LineReader reader(lines, maxLines);
  reader.Feed(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}
