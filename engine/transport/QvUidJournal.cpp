#include "engine/transport/QvUidJournal.h"

#include <list>
#include <set>

#include "engine/foundation/QvAccountInfo.h"
#include "engine/foundation/QvAccountInfoInterface.h"
#include "engine/foundation/QvMiddleError.h"
#include "engine/foundation/QvSafeReplace.h"
#include "platform/base/WideText.h"
#include "platform/codepage/CodePage.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/Files.h"

QvUidJournal::QvUidJournal(QvAccountInfoInterface* account) : account_(account) {
  if (account != nullptr && account->Account() != nullptr) path_ = account->Account()->FolderPath() + L"\\UID.journal";
}

QvUidJournal::~QvUidJournal() { Close(); }

void QvUidJournal::Close() {
  if (file_ != nullptr) CloseHandle(static_cast<HANDLE>(file_));
  file_ = nullptr;
}

bool QvUidJournal::Append(const std::string& uid) { return Write(qv::Cp932ToWide(uid)); }

// A UID never holds a tab: the boot follows one.
bool QvUidJournal::AppendPending(const std::string& uid) {
  return Write(qv::Cp932ToWide(uid) + L"\t" + qv::Utf8ToWide(qv::BootId()));
}

bool QvUidJournal::Write(const std::wstring& line) {
  if (path_.empty()) return true;
  const std::string bytes = qv::WideToUtf16LE(line + L"\r\n");
  if (file_ == nullptr) {
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    file_ = file;
  }
  HANDLE file = static_cast<HANDLE>(file_);
  DWORD written = 0;
  const bool ok = SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
                  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  // After a failure the next call opens the file afresh.
  if (!ok) Close();
  return ok;
}

bool QvUidJournal::FoldIn() {
  if (path_.empty()) return true;
  std::string bytes;
  if (!SafeReadWholeFile(path_, &bytes, nullptr)) return true;  // nothing left behind
  const std::wstring text = qv::Utf16LEToWide(std::string_view(bytes).substr(0, bytes.size() & ~size_t{1}));
  std::list<std::wstring> uids;
  if (!account_->GetUIDL(&uids)) return false;
  std::set<std::wstring> known(uids.begin(), uids.end());
  bool added = false, unflushed = false;
  const std::wstring boot = qv::Utf8ToWide(qv::BootId());
  // Only whole lines: the last one may have been cut by the crash.
  for (size_t start = 0, end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
    std::wstring uid = text.substr(start, end - start);
    const size_t tab = uid.find(L'\t');
    if (tab != std::wstring::npos) {
      // A message whose text was not yet synced: lost if the host restarted since.
      if (boot.empty() || uid.compare(tab + 1, std::wstring::npos, boot) != 0) continue;
      uid.resize(tab);
      unflushed = true;
    }
    // A damaged line is no UID; keeping it would make the list unwritable.
    if (uid.empty() || uid.find_first_of(L"\r\n") != std::wstring::npos) continue;
    if (known.insert(uid).second) {
      uids.push_back(std::move(uid));
      added = true;
    }
  }
  // The texts behind pending lines reach the disk before the list names them.
  if (unflushed && !qv::FlushDeviceVolume()) return false;
  if (added && !account_->SaveUIDL(uids)) return false;
  Remove();
  return true;
}

void QvUidJournal::Remove() {
  Close();
  if (!path_.empty()) DeleteFileW(path_.c_str());
}
