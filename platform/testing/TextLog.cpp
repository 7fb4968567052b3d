#include "platform/testing/TextLog.h"

#include "platform/base/WideText.h"

namespace qv::seams {

TextLog::TextLog() {
  qv::gdi_seam::SetTextObserver([this](const DrawnText& t) {
    std::lock_guard<std::mutex> g(lock_);
    seen_.push_back(t);
  });
}

TextLog::~TextLog() { qv::gdi_seam::SetTextObserver(nullptr); }

void TextLog::Clear() {
  std::lock_guard<std::mutex> g(lock_);
  seen_.clear();
}

std::vector<DrawnText> TextLog::All() const {
  std::lock_guard<std::mutex> g(lock_);
  return seen_;
}

std::vector<DrawnText> TextLog::Of(HWND window) const {
  std::lock_guard<std::mutex> g(lock_);
  std::vector<DrawnText> out;
  for (const DrawnText& t : seen_) {
    if (t.window == window) out.push_back(t);
  }
  return out;
}

bool TextLog::Last(HWND window, const std::wstring& part, DrawnText* out) const {
  std::lock_guard<std::mutex> g(lock_);
  for (auto it = seen_.rbegin(); it != seen_.rend(); ++it) {
    if ((window == nullptr || it->window == window) && it->text.find(part) != std::wstring::npos) {
      if (out) *out = *it;
      return true;
    }
  }
  return false;
}

std::string TextLog::Clipped(HWND window) const {
  std::lock_guard<std::mutex> g(lock_);
  std::string out;
  for (const DrawnText& t : seen_) {
    if (!t.clipped || (window != nullptr && t.window != window)) continue;
    out += "\"" + qv::WideToUtf8(t.text) + "\" at (" + std::to_string(t.rect.left) + ", " + std::to_string(t.rect.top) +
           ")-(" + std::to_string(t.rect.right) + ", " + std::to_string(t.rect.bottom) + ")\n";
  }
  return out;
}

}  // namespace qv::seams
