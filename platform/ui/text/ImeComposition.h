// The input method's composition as an edit shows it: the text being
// composed stands in the stored text at the caret, laid out as typed text
// would be, but is not part of the text until its result comes as
// characters. The layout measures the shown text (the stored text with the
// composition in it); positions go between the two here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/ui/window/Window.h"

namespace qv::ui::text {

class ImeComposition {
 public:
  bool Empty() const { return text_.empty(); }
  const std::u16string& Text() const { return text_; }
  // Where it stands in the stored text, and where it ends in the shown text.
  size_t At() const { return at_; }
  size_t End() const { return at_ + text_.size(); }

  // The text as shown: `stored` with the composition in it.
  const std::u16string& Shown(const std::u16string& stored) const { return text_.empty() ? stored : shown_; }
  size_t ToShown(size_t pos) const { return text_.empty() || pos < at_ ? pos : pos + text_.size(); }
  size_t FromShown(size_t shown) const {
    if (text_.empty() || shown < at_) return shown;
    return shown < End() ? at_ : shown - text_.size();
  }

  // What a change of the composition does to the shown text, as the layout
  // takes it: at `at`, `removed` units went and `inserted` came.
  struct Change {
    size_t at;
    size_t removed;
    size_t inserted;
  };
  // Puts `text` in as the composition (empty: none), at `caret` when none
  // was there; empty when neither was there.
  std::optional<Change> Set(std::u16string text, size_t caret, const std::u16string& stored);
  // Forgets it without a layout (the text it stood in is gone).
  void Drop();

  // The composition string of the window's input context (empty without one).
  static std::u16string ReadFrom(HWND hwnd);

 private:
  std::u16string text_;
  size_t at_ = 0;
  std::u16string shown_;
};

}  // namespace qv::ui::text
