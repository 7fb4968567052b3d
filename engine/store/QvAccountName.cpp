#include "engine/store/QvAccountName.h"

#include "platform/base/WideText.h"

namespace {

// The longest path the store makes below an account folder.
constexpr std::wstring_view kDeepestTail = L"\\Classification\\Rule.cls_cnv";
constexpr size_t kWorkingNameExtra = 5;  // "." and ".new" or ".del"
constexpr size_t kMaxPathUnits = 260;    // with the terminating NUL

}  // namespace

bool QvAccountName::HasValidChars(std::wstring_view name) {
  return name.find_first_of(L"\\/:*?\"<>|") == std::wstring_view::npos;
}

bool QvAccountName::IsStorable(std::wstring_view name) {
  if (name.empty() || name == L"." || name == L".." || !HasValidChars(name)) return false;
  for (wchar_t c : name) {
    if (c < 0x20) return false;
  }
  auto loose = [](wchar_t c) { return c == L' ' || c == L'.' || c == 0x3000; };
  return !loose(name.front()) && !loose(name.back());
}

bool QvAccountName::FitsBelow(std::wstring_view dataPath, std::wstring_view folder) {
  const size_t units = qv::Utf16Length(dataPath) + qv::Utf16Length(folder) + kWorkingNameExtra +
                       qv::Utf16Length(kDeepestTail);
  return units < kMaxPathUnits;
}

bool QvAccountName::IsPhoneNumber(std::wstring_view number) {
  if (number.size() != 11) return false;
  for (wchar_t c : number) {
    if (c < L'0' || c > L'9') return false;
  }
  return true;
}
