#include "platform/ui/text/UndoHistory.h"

namespace qv::ui::text {

void UndoHistory::Clear() {
  undo_.clear();
  redo_.clear();
  typingOpen_ = false;
}

void UndoHistory::Record(size_t pos, std::u16string_view removed, std::u16string_view inserted, bool typing) {
  if (depth_ == 0) return;
  redo_.clear();
  Step* last = undo_.empty() ? nullptr : &undo_.back();
  if (typing && typingOpen_ && last && removed.empty() && last->pos + last->inserted.size() == pos) {
    last->inserted.append(inserted);  // typing runs on: one step
  } else {
    undo_.push_back(Step{pos, std::u16string(removed), std::u16string(inserted)});
    if (undo_.size() > depth_) undo_.erase(undo_.begin());
  }
  typingOpen_ = typing;
}

std::optional<UndoHistory::Step> UndoHistory::TakeUndo() {
  if (undo_.empty()) return std::nullopt;
  Step s = undo_.back();
  undo_.pop_back();
  typingOpen_ = false;
  if (depth_ == 1) {
    // A single undo undoes itself next time.
    undo_.push_back(Step{s.pos, s.inserted, s.removed});
  } else {
    redo_.push_back(s);
  }
  return s;
}

std::optional<UndoHistory::Step> UndoHistory::TakeRedo() {
  if (redo_.empty()) return std::nullopt;
  Step s = redo_.back();
  redo_.pop_back();
  undo_.push_back(s);
  return s;
}

}  // namespace qv::ui::text
