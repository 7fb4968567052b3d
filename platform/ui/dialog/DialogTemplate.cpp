#include "platform/ui/dialog/DialogTemplate.h"

namespace qv::ui {
namespace {

// Reads 32-bit units, failing instead of running past `limit`.
class Reader {
 public:
  Reader(const DWORD* at, size_t units) : at_(at), left_(units) {}
  bool Unit(DWORD* out) {
    if (left_ == 0) return false;
    *out = *at_++;
    --left_;
    return true;
  }
  bool Int(int* out) {
    DWORD v;
    if (!Unit(&v)) return false;
    *out = static_cast<int>(v);
    return true;
  }
  bool Text(std::wstring* out) {
    out->clear();
    for (DWORD v; Unit(&v);) {
      if (v == 0) return true;
      out->push_back(static_cast<wchar_t>(v));
    }
    return false;
  }

 private:
  const DWORD* at_;
  size_t left_;
};

bool ReadBox(Reader& r, RECT* box) {
  int x, y, cx, cy;
  if (!r.Int(&x) || !r.Int(&y) || !r.Int(&cx) || !r.Int(&cy)) return false;
  *box = {x, y, x + cx, y + cy};
  return true;
}

void PutText(std::vector<DWORD>& out, const std::wstring& text) {
  for (wchar_t c : text) out.push_back(static_cast<DWORD>(c));
  out.push_back(0);
}

void PutBox(std::vector<DWORD>& out, const RECT& box) {
  for (LONG v : {box.left, box.top, box.right - box.left, box.bottom - box.top}) out.push_back(static_cast<DWORD>(v));
}

}  // namespace

std::optional<DialogTemplate> DialogTemplate::Parse(const void* units, size_t limit) {
  if (!units) return std::nullopt;
  Reader r(static_cast<const DWORD*>(units), limit / sizeof(DWORD));
  DialogTemplate t;
  DWORD signature = 0, count = 0;
  if (!r.Unit(&signature) || signature != QV_DLGTEMPLATE_SIGNATURE || !r.Unit(&t.style) || !r.Unit(&t.exStyle) ||
      !ReadBox(r, &t.box) || !r.Int(&t.pointSize) || !r.Int(&t.weight) || !r.Unit(&count) || !r.Text(&t.caption) ||
      !r.Text(&t.face)) {
    return std::nullopt;
  }
  for (DWORD i = 0; i < count; ++i) {
    DialogControl c;
    if (!r.Unit(&c.style) || !r.Unit(&c.exStyle) || !ReadBox(r, &c.box) || !r.Int(&c.id) || !r.Text(&c.className) ||
        !r.Text(&c.text)) {
      return std::nullopt;
    }
    t.controls.push_back(std::move(c));
  }
  return t;
}

std::vector<DWORD> DialogTemplate::Build() const {
  std::vector<DWORD> out{QV_DLGTEMPLATE_SIGNATURE, style, exStyle};
  PutBox(out, box);
  out.push_back(static_cast<DWORD>(pointSize));
  out.push_back(static_cast<DWORD>(weight));
  out.push_back(static_cast<DWORD>(controls.size()));
  PutText(out, caption);
  PutText(out, face);
  for (const DialogControl& c : controls) {
    out.push_back(c.style);
    out.push_back(c.exStyle);
    PutBox(out, c.box);
    out.push_back(static_cast<DWORD>(c.id));
    PutText(out, c.className);
    PutText(out, c.text);
  }
  return out;
}

}  // namespace qv::ui
