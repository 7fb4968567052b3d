#include "platform/kernel/SystemMessage.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel/SystemTextSeam.h"

namespace {

struct SystemText {
  DWORD code;
  const wchar_t* text;
};

// The codes the platform itself sets (platform/base/WinTypes.h) and a few
// that programs pass on from elsewhere.
constexpr SystemText kTexts[] = {
    {0, L"この操作を正しく終了しました。\r\n"},
    {1, L"ファンクションが間違っています。\r\n"},
    {2, L"指定されたファイルが見つかりません。\r\n"},
    {3, L"指定されたパスが見つかりません。\r\n"},
    {4, L"開いているファイルが多すぎます。\r\n"},
    {5, L"アクセスが拒否されました。\r\n"},
    {6, L"ハンドルが無効です。\r\n"},
    {8, L"このコマンドを実行するのに十分な記憶域がありません。\r\n"},
    {13, L"データが無効です。\r\n"},
    {14, L"この操作を完了するのに十分な記憶域がありません。\r\n"},
    {18, L"これ以上ファイルがありません。\r\n"},
    {29, L"指定されたデバイスに書き込めません。\r\n"},
    {30, L"指定されたデバイスから読み取れません。\r\n"},
    {32, L"プロセスはファイルにアクセスできません。別のプロセスが使用中です。\r\n"},
    {33, L"プロセスはファイルにアクセスできません。別のプロセスがファイルの一部をロックしています。\r\n"},
    {38, L"ファイルの終わりに達しました。\r\n"},
    {50, L"この要求はサポートされていません。\r\n"},
    {80, L"ファイルが存在します。\r\n"},
    {87, L"パラメータが間違っています。\r\n"},
    {109, L"パイプは終了しました。\r\n"},
    {112, L"ディスクに十分な空き領域がありません。\r\n"},
    {122, L"システム コールに渡されるデータ領域が小さすぎます。\r\n"},
    {123, L"ファイル名、ディレクトリ名、またはボリューム ラベルの構文が間違っています。\r\n"},
    {126, L"指定されたモジュールが見つかりません。\r\n"},
    {127, L"指定されたプロシージャが見つかりません。\r\n"},
    {145, L"ディレクトリが空ではありません。\r\n"},
    {161, L"指定されたパスは無効です。\r\n"},
    {183, L"既に存在するファイルを作成することはできません。\r\n"},
    {206, L"ファイル名または拡張子が長すぎます。\r\n"},
    {234, L"データがさらにあります。\r\n"},
    {259, L"データはこれ以上ありません。\r\n"},
    {1113, L"Unicode 文字のマッピングがターゲットのマルチバイト コード ページにありません。\r\n"},
    {1460, L"タイムアウト期間が経過したため、この操作は終了しました。\r\n"},
    {1812, L"指定されたイメージ ファイルにリソース セクションがありません。\r\n"},
    {1813, L"指定されたリソースの種類がイメージ ファイルにありません。\r\n"},
    {1155, L"指定されたファイルに関連付けられたアプリケーションがありません。\r\n"},
    {1814, L"指定されたリソース名がイメージ ファイルにありません。\r\n"},
};

const wchar_t* TextOf(DWORD code) {
  for (const SystemText& t : kTexts) {
    if (t.code == code) return t.text;
  }
  return nullptr;
}

// One insert's argument: from the array, or the next of the variable list
// (inserts are numbered; the list is read up to the highest one used).
class Inserts {
 public:
  Inserts(DWORD flags, va_list* arguments) : array_((flags & FORMAT_MESSAGE_ARGUMENT_ARRAY) != 0), list_(arguments) {}
  const wchar_t* Get(int number) {
    if (!list_ || number < 1) return nullptr;
    if (array_) return reinterpret_cast<const wchar_t* const*>(list_)[number - 1];
    while (static_cast<int>(taken_.size()) < number) taken_.push_back(va_arg(*list_, const wchar_t*));
    return taken_[static_cast<size_t>(number - 1)];
  }

 private:
  bool array_;
  va_list* list_;
  std::vector<const wchar_t*> taken_;
};

// Expands the inserts of a message; false for an insert without argument.
bool Expand(std::wstring_view in, DWORD flags, va_list* arguments, std::wstring* out) {
  if (flags & FORMAT_MESSAGE_IGNORE_INSERTS) {
    out->assign(in);
    return true;
  }
  Inserts inserts(flags, arguments);
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != L'%' || i + 1 >= in.size()) {
      out->push_back(in[i]);
      continue;
    }
    const wchar_t c = in[++i];
    if (c == L'0') return true;
    if (c == L'n') {
      out->append(L"\r\n");
    } else if (c >= L'1' && c <= L'9') {
      int number = c - L'0';
      if (i + 1 < in.size() && in[i + 1] >= L'0' && in[i + 1] <= L'9') number = number * 10 + (in[++i] - L'0');
      if (i + 3 < in.size() && in[i + 1] == L'!' && in.substr(i + 2, 2) == L"s!") i += 3;  // the default type
      const wchar_t* arg = inserts.Get(number);
      if (!arg) return false;
      out->append(arg);
    } else {
      out->push_back(c);  // "%%", "%.", "%!" and the like stand for the character
    }
  }
  return true;
}

}  // namespace

namespace qv::kernel {

std::wstring SystemErrorText(DWORD code) {
  if (auto given = systext_seam::Text(code)) return *given;
  const wchar_t* text = TextOf(code);
  return text ? std::wstring(text) : std::wstring();
}

}  // namespace qv::kernel

HLOCAL LocalAlloc(UINT flags, size_t bytes) {
  void* p = (flags & LMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1) : std::malloc(bytes ? bytes : 1);
  if (!p) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return p;
}

HLOCAL LocalFree(HLOCAL memory) {
  std::free(memory);
  return nullptr;
}

DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD, LPWSTR buffer, DWORD size,
                     va_list* arguments) {
  if (flags & FORMAT_MESSAGE_FROM_HMODULE) return SetLastError(ERROR_INVALID_PARAMETER), 0;
  std::wstring message;
  if (flags & FORMAT_MESSAGE_FROM_STRING) {
    if (!source) return SetLastError(ERROR_INVALID_PARAMETER), 0;
    message = static_cast<const wchar_t*>(source);
  } else if (flags & FORMAT_MESSAGE_FROM_SYSTEM) {
    message = qv::kernel::SystemErrorText(messageId);
  }
  if (message.empty()) return SetLastError(ERROR_MR_MID_NOT_FOUND), 0;
  std::wstring text;
  if (!Expand(message, flags, arguments, &text) || !buffer) return SetLastError(ERROR_INVALID_PARAMETER), 0;
  wchar_t* out = buffer;
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    const size_t units = text.size() + 1 > size ? text.size() + 1 : size;
    out = static_cast<wchar_t*>(LocalAlloc(LMEM_FIXED, units * sizeof(wchar_t)));
    if (!out) return 0;
    *reinterpret_cast<LPWSTR*>(buffer) = out;
  } else if (size < text.size() + 1) {
    return SetLastError(ERROR_INSUFFICIENT_BUFFER), 0;
  }
  std::wmemcpy(out, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}
