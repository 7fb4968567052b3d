#include "platform/shell/ShellStrings.h"

namespace qv::shell {
namespace {

struct ShellString {
  UINT id;
  const wchar_t* text;
};

constexpr ShellString kStrings[] = {
    {8451, L"名前"},          {8452, L"更新日時"},      {8453, L"サイズ"},   {8454, L"種類"},
    {8730, L"%s MB"},         {8733, L"%s KB"},         {8754, L"フォルダ"}, {8755, L"ファイル"},
    {8809, L"\\My Documents"},
};

}  // namespace

std::wstring LoadShellString(UINT id) {
  for (const ShellString& s : kStrings) {
    if (s.id == id) return s.text;
  }
  return {};
}

}  // namespace qv::shell
