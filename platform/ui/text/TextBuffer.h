// The text of an edit control as UTF-16 units, with its undo history. A
// position counts units; the buffer never leaves one inside a surrogate pair
// or, where CR LF ends a line, between the CR and its LF.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/ui/text/UndoHistory.h"

namespace qv::ui::text {

class TextBuffer {
 public:
  // `crlfBreaks`: a line ends with CR LF (edits); else with one CR (rich edits).
  explicit TextBuffer(bool crlfBreaks) : crlf_(crlfBreaks) {}

  const std::u16string& Text() const { return text_; }
  size_t Length() const { return text_.size(); }
  bool CrlfBreaks() const { return crlf_; }

  // The nearest position at or before `pos` that lies between characters.
  size_t Snap(size_t pos) const;
  // The position one character after / before `pos` (a line break is one step).
  size_t Next(size_t pos) const;
  size_t Prev(size_t pos) const;

  // Replaces [pos, pos + count) with `with`. `undoable` records the step;
  // `typing` lets it join the step before when that was typing right here.
  void Replace(size_t pos, size_t count, std::u16string_view with, bool undoable, bool typing = false);

  // The undo history holds `depth` steps (1: the edit's single undo, whose
  // second undo puts the change back).
  void SetUndoDepth(size_t depth) { history_.SetDepth(depth); }
  size_t UndoDepth() const { return history_.Depth(); }
  bool CanUndo() const { return history_.CanUndo(); }
  bool CanRedo() const { return history_.CanRedo(); }
  void ClearUndo() { history_.Clear(); }
  // Takes the last step back; false when there is none. `selStart` and
  // `selEnd` then hold what the step put back (selected, as edits show it).
  bool Undo(size_t* selStart, size_t* selEnd);
  bool Redo(size_t* selStart, size_t* selEnd);
  // Ends typing's run of joined steps (the caret moved elsewhere).
  void BreakTyping() { history_.BreakTyping(); }

 private:
  void Apply(const UndoHistory::Step& s, bool inverse);

  std::u16string text_;
  bool crlf_;
  UndoHistory history_;
};

}  // namespace qv::ui::text
