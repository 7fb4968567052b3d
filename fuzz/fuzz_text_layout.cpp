// The text fields' line layout over any UTF-16 (mail bodies shown in them):
// lines cover the text in order without splitting a character, and laying
// out only what an edit touched gives the same lines as laying out all.
#include <cstdint>
#include <string>

#include "platform/ui/text/LineLayout.h"
#include "platform/ui/text/TextBuffer.h"

using qv::ui::text::LineLayout;
using qv::ui::text::TextBuffer;

namespace {

void Check(const LineLayout& l, const std::u16string& t) {
  const auto& lines = l.Lines();
  if (lines.empty() || lines[0].start != 0) __builtin_trap();
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto& line = lines[i];
    if (line.start > line.end || line.end > line.next || line.next > t.size()) __builtin_trap();
    if (i + 1 < lines.size() && lines[i + 1].start != line.next) __builtin_trap();
    if (line.start > 0 && line.start < t.size() && t[line.start] >= 0xDC00 && t[line.start] <= 0xDFFF &&
        t[line.start - 1] >= 0xD800 && t[line.start - 1] <= 0xDBFF) {
      __builtin_trap();
    }
  }
  if (lines.back().next != t.size()) __builtin_trap();
}

bool Same(const LineLayout& a, const LineLayout& b) {
  if (a.Count() != b.Count()) return false;
  for (size_t i = 0; i < a.Count(); ++i) {
    const auto& x = a.Lines()[i];
    const auto& y = b.Lines()[i];
    if (x.start != y.start || x.end != y.end || x.next != y.next || x.width != y.width || x.hard != y.hard) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int width = data[0] * 4;  // 0: no wrapping
  const bool multiline = (data[1] & 1) != 0;
  const size_t textBytes = std::min<size_t>(size - 2, static_cast<size_t>(data[2]) * 8);
  std::u16string text;
  for (size_t i = 2; i + 1 < 2 + textBytes && i + 1 < size; i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  }
  auto measure = [](char32_t c, int x) { return c == U'\t' ? 32 - x % 32 : static_cast<int>(c % 13) + 1; };
  TextBuffer buf((data[1] & 2) != 0);
  buf.Replace(0, 0, text, false);
  LineLayout layout;
  layout.Configure(multiline, width, measure);
  layout.Rebuild(buf.Text());
  Check(layout, buf.Text());
  // Edits: position, units removed, and a few units inserted.
  for (size_t i = 2 + textBytes; i + 4 <= size; i += 4) {
    const size_t pos = buf.Snap(data[i] * buf.Length() / 256);
    const size_t removed = std::min<size_t>(data[i + 1] % 8, buf.Length() - pos);
    std::u16string with;
    for (int k = 0; k < data[i + 2] % 4; ++k) with.push_back(static_cast<char16_t>(data[i + 3] * 0x61 + k * 13));
    buf.Replace(pos, removed, with, true, (data[i + 3] & 1) != 0);
    layout.Update(buf.Text(), pos, removed, with.size());
    LineLayout fresh;
    fresh.Configure(multiline, width, measure);
    fresh.Rebuild(buf.Text());
    Check(layout, buf.Text());
    if (!Same(layout, fresh)) __builtin_trap();
    size_t a = 0, b = 0;
    if ((data[i + 1] & 0x80) && buf.Undo(&a, &b)) {
      if (a > b || b > buf.Length()) __builtin_trap();
      layout.Rebuild(buf.Text());
    }
  }
  return 0;
}
