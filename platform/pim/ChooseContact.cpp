#include "platform/pim/ChooseContact.h"

LPWSTR PimAllocString(std::wstring_view text) {
  auto* out = new wchar_t[text.size() + 1];
  text.copy(out, text.size());
  out[text.size()] = L'\0';
  return out;
}

void PimFreeString(LPWSTR text) { delete[] text; }
