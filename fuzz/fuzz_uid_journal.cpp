// The UID journal is read back after a crash and may hold any bytes: folding
// it in must keep the account's list, add only whole lines that can be UIDs,
// and leave a list that can be written again, with the journal gone.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <list>
#include <set>
#include <string>

#include "engine/transport/QvUidJournal.h"
#include "fuzz/FuzzAccount.h"
#include "platform/kernel/Files.h"

namespace {

constexpr wchar_t kJournal[] = L"\\Application Data\\QuvoMail\\F\\UID.journal";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QvAccountInfoInterface* account = FuzzAccount();
  const std::list<std::wstring> before = {L"000000016b18c75d", L"000000026b18c75d"};
  if (!account->SaveUIDL(before)) abort();
  WriteFuzzDeviceFile(kJournal, data, size);
  QvUidJournal journal(account);
  if (!journal.FoldIn()) abort();
  std::list<std::wstring> after;
  if (!account->GetUIDL(&after) || after.size() < before.size()) abort();
  if (!std::equal(before.begin(), before.end(), after.begin())) abort();
  if (std::set<std::wstring>(after.begin(), after.end()).size() != after.size()) abort();
  if (!account->SaveUIDL(after)) abort();
  if (GetFileAttributesW(kJournal) != INVALID_FILE_ATTRIBUTES) abort();
  return 0;
}
