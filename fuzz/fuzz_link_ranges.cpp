// Message texts as received: the link scanner must find ordered ranges
// inside the text that never overlap, each of its own kind and bounds, and
// must map every position as a plain walk over the ranges does.
#include <cstddef>
#include <cstdint>

#include "app/message/links/QvLinkRangeList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // UTF-16 units; a byte below 0x80 alone stands for itself so that the
  // ASCII rules are reached often.
  CString text;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] < 0x80 || i + 1 == size) {
      text.AppendChar(static_cast<wchar_t>(data[i] ? data[i] : ' '));
    } else {
      text.AppendChar(static_cast<wchar_t>((data[i] & 0x7F) << 8 | data[i + 1]));
      ++i;
    }
  }
  QvLinkRangeList list;
  list.Scan(text);
  const int length = text.GetLength();
  if (list.GetText() != text) __builtin_trap();
  int end = 0;
  for (int i = 0; i < list.GetCount(); ++i) {
    const QvLinkRange& r = list.GetRange(i);
    if (r.start < end || r.length <= 0 || r.start + r.length > length) __builtin_trap();
    if (r.kind < QvLinkRange::kMail || r.kind > QvLinkRange::kTelephone) __builtin_trap();
    if (r.kind == QvLinkRange::kWeb && (r.length > QvLinkRangeList::kMaxWebLength || text[r.start] != L'h')) __builtin_trap();
    if (r.kind == QvLinkRange::kMail && (r.length > QvLinkRangeList::kMaxMailLength || text[r.start + r.length - 1] == L'.'))
      __builtin_trap();
    const CString whole = list.GetLinkText(i);
    if (whole.GetLength() < r.length || r.start + whole.GetLength() > length) __builtin_trap();
    CString argument;
    if (ActionForRange(list, i, argument) == QvLinkAction::kRefuse && r.kind != QvLinkRange::kWeb) __builtin_trap();
    end = r.start + r.length;
  }
  for (int p = -1; p <= length; ++p) {
    int holder = -1;
    for (int i = 0; i < list.GetCount(); ++i) {
      if (list.GetRange(i).start <= p && p < list.GetRange(i).start + list.GetRange(i).length) holder = i;
    }
    if (list.FindRangeAt(p) != holder) __builtin_trap();
    const int near = list.FindNearestRange(p);
    if (list.GetCount() > 0 && !list.IsValidIndex(near)) __builtin_trap();
  }
  CString argument;
  const QvLinkAction action = ClassifyLinkTarget(text, argument);
  if (action == QvLinkAction::kRefuse && !argument.IsEmpty()) __builtin_trap();
  return 0;
}
