// History files are read back after crashes and may hold any bytes: the
// reader must stay inside them, and a registration over any file must leave
// a well-formed list of at most 21 entries with the new one first.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <list>
#include <memory>
#include <string>

#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/public/store/MailHistory.h"
#include "fuzz/FuzzAccount.h"
#include "platform/kernel/Files.h"

namespace {

constexpr wchar_t kFile[] = L"\\Application Data\\QuvoMail\\F\\recvhistory.dat";

QvAccountInfoInterface* Account() {
  static QvAccountInfoInterface* account = [] {
    QvAccountInfoInterface* made = FuzzAccount();
    SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"LastSelectAccount", L"F");
    return made;
  }();
  return account;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QvAccountInfoInterface* account = Account();
  WriteFuzzDeviceFile(kFile, data, size);
  MailHistory history;
  std::list<st_MAILHISTORYDATA> entries;
  if (history.GetRecvHistoryList(&entries) != static_cast<int>(entries.size())) abort();
  for (const st_MAILHISTORYDATA& entry : entries) {
    if (!MailHistory::IsStorableEntry(entry)) abort();
  }
  st_MAILHISTORYDATA fresh{"20261208100203", "new@example.jp"};
  if (history.RegistRecvHistoryData(&fresh, account) != 0) abort();
  entries.clear();
  const int count = history.GetRecvHistoryList(&entries);
  if (count < 1 || count > 21 || entries.front().strAddress != fresh.strAddress) abort();
  return 0;
}
