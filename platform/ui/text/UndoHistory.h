// An edit's undo history: the steps its changes made, taken back and done
// again in order. Typing at the end of the last typed step joins it, so a
// run of typing is one step. With room for one step the history is the
// edit's single undo, whose second undo puts the change back.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::ui::text {

class UndoHistory {
 public:
  // At `pos`, `removed` went and `inserted` came.
  struct Step {
    size_t pos = 0;
    std::u16string removed;
    std::u16string inserted;
  };

  void SetDepth(size_t depth) { depth_ = depth; }
  size_t Depth() const { return depth_; }
  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  void Clear();
  // Records a change; `typing` lets it join the step before when that was
  // typing ending right here.
  void Record(size_t pos, std::u16string_view removed, std::u16string_view inserted, bool typing);
  // The step to take back (its inverse applied to the text), or to do again.
  std::optional<Step> TakeUndo();
  std::optional<Step> TakeRedo();
  // Ends typing's run of joined steps (the caret moved elsewhere).
  void BreakTyping() { typingOpen_ = false; }

 private:
  size_t depth_ = 1;
  std::vector<Step> undo_;
  std::vector<Step> redo_;
  bool typingOpen_ = false;
};

}  // namespace qv::ui::text
