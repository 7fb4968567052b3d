// Face-mark files as a user might copy them to the device: the reader must
// give whole lines only, each within its length and never holding the CR LF
// that ends it, and no more lines than asked for; the file read from memory
// (as the program reads its own) gives the very same lines.
#include <cstddef>
#include <cstdint>

#include "app/message/pads/TemplateFile.h"
#include "fuzz/FuzzDeviceFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteFuzzDeviceFile(L"\\FaceMark.pad", data, size);
  std::vector<std::wstring> lines;
  if (!ReadTemplateFile(L"\\FaceMark.pad", &lines, 64)) __builtin_trap();
  // A line at most every four bytes (two characters: CR LF).
  if (lines.size() > 64 || lines.size() > size / 4) __builtin_trap();
  for (const std::wstring& line : lines) {
    if (line.size() > kTemplateLineMax) __builtin_trap();
    if (line.find(L"\r\n") != std::wstring::npos) __builtin_trap();
  }
  std::vector<std::wstring> fromMemory;
  ReadTemplateText(std::string_view(reinterpret_cast<const char*>(data), size), &fromMemory, 64);
  if (fromMemory != lines) __builtin_trap();
  return 0;
}
