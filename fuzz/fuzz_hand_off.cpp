// What reaches the shell from mail and files: shortcut files' bytes, and
// addresses handed to ShellExecuteEx. A shortcut yields a target without line
// ends or zeros that fits a path; an address is handed over only as an
// http or https link free of blanks and control characters.
#include <cstdint>
#include <string>

#include "platform/base/WideText.h"
#include "platform/shell/HandOff.h"
#include "platform/shell/ShellFiles.h"
#include "platform/testing/Seams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  if (data[0] % 2 == 0) {
    std::wstring target;
    if (!qv::shell::ParseShortcut(bytes, &target)) return 0;
    if (target.empty() || target.size() >= MAX_PATH) __builtin_trap();
    for (wchar_t c : target) {
      if (c == L'\r' || c == L'\n' || c == L'\0') __builtin_trap();
    }
    return 0;
  }
  qv::seams::ResetSeams();
  qv::seams::RecordHandOffs();
  qv::seams::SetUserInterface(true);
  std::wstring url = qv::Utf8ToWide(bytes);
  if (url.find(L'\\') != std::wstring::npos || url.empty()) return 0;  // device paths are not this target's
  SHELLEXECUTEINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI;
  info.lpFile = url.c_str();
  if (!ShellExecuteEx(&info)) return 0;
  const auto handed = qv::seams::HandOffs();
  if (handed.size() != 1 || handed[0].kind != qv::seams::HandOffKind::Link) __builtin_trap();
  const std::wstring& link = handed[0].target;
  const std::wstring scheme = link.substr(0, link.find(L':'));
  if (scheme.size() != 4 && scheme.size() != 5) __builtin_trap();
  for (wchar_t c : link) {
    if (c <= L' ' || c == 0x7F) __builtin_trap();
  }
  return 0;
}
