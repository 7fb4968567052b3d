// Mail HTML through the HTML control's parser, layout and serialiser, then
// a few edits driven by the input. The model never holds more than its
// bounds, its last character is always a paragraph end, and what it writes
// reads back without growing beyond the paragraph ends that a rule joined to
// text by an edit takes again.
#include <cstdint>
#include <string>

#include "outside/Markwright/HtmlDocument.h"
#include "outside/Markwright/HtmlLayout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string html(reinterpret_cast<const char*>(data + 1), size - 1);
  markwright::Document doc;
  doc.LoadHtml(html);
  if (doc.Length() > markwright::kMaxChars || doc.Chars().back() != markwright::kParagraphEnd) __builtin_trap();
  markwright::Layout layout;
  LOGFONTW font{};
  font.lfHeight = -(12 + data[0] % 24);
  layout.Configure(font, 120 + data[0]);
  layout.objectSize = [](uint32_t id) { return SIZE{static_cast<LONG>(id % 300), static_cast<LONG>(id % 70)}; };
  layout.Build(doc);
  // Edits at places the input picks, each laid out incrementally.
  for (size_t i = 0; i + 2 < size && i < 24; i += 3) {
    const size_t pos = (data[i] * 131u + data[i + 1]) % (doc.Length() + 1);
    const size_t before = doc.Length();
    switch (data[i + 2] % 4) {
      case 0: {
        const wchar_t text[] = {L'あ', L'\r', L'x'};
        const size_t n = doc.InsertText(pos, std::wstring_view(text, 1 + data[i + 2] % 3), 0);
        layout.Update(doc, pos, 0, n);
        break;
      }
      case 1: {
        const size_t to = std::min(doc.Length(), pos + data[i + 1] % 7);
        doc.Erase(pos, to);
        layout.Update(doc, pos, to - pos, 0);
        break;
      }
      case 2: {
        markwright::Format f;
        f.attrs = markwright::kBold;
        doc.ApplyFormat(0, pos, markwright::kBold, f);
        layout.Update(doc, 0, pos, pos);
        break;
      }
      default: {
        const size_t at = doc.ParagraphStart(pos);
        const size_t after = doc.InsertRule(pos);
        layout.Update(doc, at, 0, doc.Length() - before);
        (void)after;
        break;
      }
    }
    if (doc.Chars().back() != markwright::kParagraphEnd) __builtin_trap();
  }
  const std::wstring out = doc.ToHtml();
  markwright::Document again;
  again.LoadHtml(out);
  if (again.Length() > 2 * doc.Length() + 2) __builtin_trap();
  return 0;
}
