#include "platform/ui/text/TextBuffer.h"

#include <algorithm>

namespace qv::ui::text {
namespace {

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

size_t TextBuffer::Snap(size_t pos) const {
  pos = std::min(pos, text_.size());
  if (pos == 0 || pos == text_.size()) return pos;
  if (IsLow(text_[pos]) && IsHigh(text_[pos - 1])) return pos - 1;
  if (crlf_ && text_[pos] == u'\n' && text_[pos - 1] == u'\r') return pos - 1;
  return pos;
}

size_t TextBuffer::Next(size_t pos) const {
  pos = Snap(pos);
  if (pos >= text_.size()) return text_.size();
  const size_t next = pos + 1;
  return Snap(next) == next ? next : std::min(next + 1, text_.size());
}

size_t TextBuffer::Prev(size_t pos) const {
  pos = Snap(pos);
  return pos == 0 ? 0 : Snap(pos - 1);
}

void TextBuffer::Replace(size_t pos, size_t count, std::u16string_view with, bool undoable, bool typing) {
  pos = std::min(pos, text_.size());
  count = std::min(count, text_.size() - pos);
  if (count == 0 && with.empty()) return;
  if (undoable) history_.Record(pos, std::u16string_view(text_).substr(pos, count), with, typing);
  text_.replace(pos, count, with);
}

void TextBuffer::Apply(const UndoHistory::Step& s, bool inverse) {
  const std::u16string& out = inverse ? s.inserted : s.removed;
  const std::u16string& in = inverse ? s.removed : s.inserted;
  text_.replace(std::min(s.pos, text_.size()), out.size(), in);
}

bool TextBuffer::Undo(size_t* selStart, size_t* selEnd) {
  const std::optional<UndoHistory::Step> s = history_.TakeUndo();
  if (!s) return false;
  Apply(*s, true);
  *selStart = s->pos;
  *selEnd = s->pos + s->removed.size();
  return true;
}

bool TextBuffer::Redo(size_t* selStart, size_t* selEnd) {
  const std::optional<UndoHistory::Step> s = history_.TakeRedo();
  if (!s) return false;
  Apply(*s, false);
  *selStart = s->pos;
  *selEnd = s->pos + s->inserted.size();
  return true;
}

}  // namespace qv::ui::text
