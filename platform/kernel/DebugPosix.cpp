#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdarg>

#include "platform/base/WideText.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/Debug.h"

namespace {

// One append per message, so lines of several threads or processes never mix.
void Emit(std::wstring_view text) {
  const char* path = ::getenv("QVMAIL_DEBUG");
  if (!path || !*path) return;
  const std::string bytes = qv::WideToUtf8(text);
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  [[maybe_unused]] const ssize_t n = ::write(fd, bytes.data(), bytes.size());
  ::close(fd);
}

}  // namespace

extern "C" {

void NKDbgPrintfW(LPCWSTR format, ...) {
  if (!format || !::getenv("QVMAIL_DEBUG")) return;
  va_list ap;
  va_start(ap, format);
  const std::wstring text = qv::VFormatW(format, ap);
  va_end(ap);
  Emit(text);
}

void OutputDebugStringW(LPCWSTR text) {
  if (text) Emit(text);
}

}  // extern "C"
