// Address lists as the user types or pastes them, and as replies quote
// them: any text must split into ordered pieces inside it, and every
// address found or checked must lie inside the text it came from.
#include <cstddef>
#include <cstdint>

#include "app/foundation/PictureChars.h"
#include "app/foundation/UiText.h"

namespace {

bool Inside(const QvAddressRange& r, int base, int length) {
  return r.start >= base && r.length >= 0 && r.start - base + r.length <= length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // UTF-16 units, so that the blanks and pictographs of the wide range come up.
  CString text;
  for (size_t i = 1; i + 1 < size; i += 2) text.AppendChar(static_cast<wchar_t>(data[i] | data[i + 1] << 8));
  const int length = text.GetLength();
  const int start = data[0] % (length + 2) - 1;

  QvAddressRange range{-7, -7, 0};
  const int next = GetAddressRange(text, 5, start, &range, data[0] & 1);
  if (next < 0 || next > length || (start >= 0 && start <= length && next < start)) __builtin_trap();
  if (range.kind == 1 && (!Inside(range, 5, length) || range.length == 0)) __builtin_trap();

  QvAddressRange found;
  const int syntax = CheckAddressSyntax(text, &found);
  if (syntax < 0 || syntax > 3 || (syntax != 1 && !Inside(found, 0, length))) __builtin_trap();

  CArray<QvAddressRange> pieces;
  SplitAddressList(text, pieces);
  int end = 0;
  for (INT_PTR i = 0; i < pieces.GetSize(); ++i) {
    if (pieces[i].start < end || !Inside(pieces[i], 0, length)) __builtin_trap();
    end = pieces[i].start + pieces[i].length;
  }

  CString clean = text;
  RemovePictureChars(clean, true);
  for (int i = 0; i < clean.GetLength(); ++i) {
    if (IsPictureChar(clean[i]) || clean[i] == L'\r' || clean[i] == L'\n') __builtin_trap();
  }
  return 0;
}
