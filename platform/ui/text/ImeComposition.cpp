#include "platform/ui/text/ImeComposition.h"

#include <cwchar>

#include "platform/base/WideText.h"
#include "platform/ui/input/Ime.h"

namespace qv::ui::text {

std::optional<ImeComposition::Change> ImeComposition::Set(std::u16string text, size_t caret,
                                                         const std::u16string& stored) {
  if (text_.empty() && text.empty()) return std::nullopt;
  const size_t at = text_.empty() ? caret : at_;
  const size_t before = text_.size();
  text_ = std::move(text);
  at_ = at;
  if (text_.empty()) {
    shown_.clear();
  } else {
    shown_.assign(stored, 0, at);
    shown_ += text_;
    shown_.append(stored, at);
  }
  return Change{at, before, text_.size()};
}

void ImeComposition::Drop() {
  text_.clear();
  shown_.clear();
}

std::u16string ImeComposition::ReadFrom(HWND hwnd) {
  std::wstring text;
  if (HIMC context = ImmGetContext(hwnd)) {
    const LONG bytes = ImmGetCompositionStringW(context, GCS_COMPSTR, nullptr, 0);
    if (bytes > 0) {
      text.resize(static_cast<size_t>(bytes) / 2);
      text.resize(static_cast<size_t>(ImmGetCompositionStringW(context, GCS_COMPSTR, text.data(),
                                                               static_cast<DWORD>(bytes))) / 2);
      text.resize(std::wcslen(text.c_str()));
    }
    ImmReleaseContext(hwnd, context);
  }
  return WideToUtf16(text);
}

}  // namespace qv::ui::text
