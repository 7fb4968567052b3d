// Stand-in for the device's receive-timer program. The notification the
// engine sets for the next periodic receive starts it with "-t"; it starts
// the mail program ("\Windows\QvMail.exe") with the same switch, so that the
// running copy (or a new one) receives unattended. Each start is written to
// "\Windows\QvRecvTimer.log" (one UTF-8 line) and the named event
// "QvRecvTimer.Logged" is set after it.
#include <string>

#include "platform/base/ScopedHandle.h"
#include "platform/base/WideText.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Sync.h"
#include "platform/shell/HandOff.h"

namespace {

void Log(const std::wstring& line) {
  {
    const qv::ScopedHandle file(CreateFileW(L"\\Windows\\QvRecvTimer.log", GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    SetFilePointer(file.get(), 0, nullptr, FILE_END);
    const std::string bytes = qv::WideToUtf8(line) + "\n";
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
  const qv::ScopedHandle logged(CreateEventW(nullptr, FALSE, FALSE, L"QvRecvTimer.Logged"));
  SetEvent(logged.get());
}

}  // namespace

int main(int argc, char** argv) {
  std::wstring arguments;
  for (int i = 1; i < argc; ++i) arguments += (i > 1 ? L" " : L"") + qv::Utf8ToWide(argv[i]);
  PROCESS_INFORMATION started{};
  const bool ran = CreateProcessW(L"QvMail.exe", L"-t", nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                                  &started) != FALSE;
  if (ran) {
    const qv::ScopedHandle process(started.hProcess);
    const qv::ScopedHandle thread(started.hThread);
  }
  Log(L"start " + arguments + (ran ? L" -> QvMail.exe -t" : L" -> QvMail.exe missing"));
  return ran ? 0 : 1;
}
