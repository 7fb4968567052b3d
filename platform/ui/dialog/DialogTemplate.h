// Our dialog template, read and written: the units a resource library holds
// for RT_DIALOG (platform/kernel/Resource.h) and what a program builds in
// memory for the Indirect calls.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/ui/dialog/Dialog.h"

namespace qv::ui {

struct DialogControl {
  DWORD style = 0;  // WS_CHILD is added when the control is made
  DWORD exStyle = 0;
  RECT box{};  // dialog units: x, y, x + cx, y + cy
  int id = 0;
  std::wstring className;
  std::wstring text;
};

struct QV_PLATFORM_API DialogTemplate {
  DWORD style = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
  DWORD exStyle = 0;
  RECT box{};  // dialog units; cx and cy are the client's size
  int pointSize = 9;
  int weight = 400;
  std::wstring caption;
  std::wstring face = L"ＭＳ Ｐゴシック";
  std::vector<DialogControl> controls;

  // Null when the units are not a template. `limit` is the size in bytes
  // when known (a resource), else the template is trusted to end well.
  static std::optional<DialogTemplate> Parse(const void* units, size_t limit = SIZE_MAX);
  // The units, DLGTEMPLATE first; pass data() to the Indirect calls.
  std::vector<DWORD> Build() const;
};

}  // namespace qv::ui
