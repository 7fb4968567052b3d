// The UID journal is read back after a crash and may hold any bytes: folding
// it in must keep the account's list, add only whole lines that can be UIDs
// (or, after a start line, what the account's store holds), and leave a list
// that can be written again, with the journal emptied.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <list>
#include <set>
#include <string>

#include "engine/public/store/QvAccountCreator.h"
#include "engine/transport/QvUidJournal.h"
#include "fuzz/FuzzAccount.h"
#include "platform/kernel/Files.h"

namespace {

constexpr wchar_t kJournal[] = L"\\Application Data\\QuvoMail\\F\\UID.journal";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QvAccountInfoInterface* account = FuzzAccount();
  // A start line sends the fold to the account's store.
  static const bool stored = QvAccountCreator().CreateFolders(L"F");
  if (!stored) abort();
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
  HANDLE left = CreateFileW(kJournal, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (left == INVALID_HANDLE_VALUE) abort();
  const DWORD leftSize = GetFileSize(left, nullptr);
  CloseHandle(left);
  if (leftSize != 0) abort();
  return 0;
}
