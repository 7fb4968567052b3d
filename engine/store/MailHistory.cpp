#include "engine/public/store/MailHistory.h"

#include <utility>

#include "engine/foundation/QvAccountInfo.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvNamedMutex.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/foundation/QvSafeReplace.h"
#include "platform/base/ScopedHandle.h"
#include "platform/kernel/Files.h"

namespace {

constexpr wchar_t kMutexName[] = L"MailHistory Mutex";
constexpr wchar_t kUiKey[] = L"Software\\Norvale\\QvMail";

// One line of the file without its "\n"; false when the text ends before
// the "\n" (a cut write). An over-long line is consumed whole and comes back
// empty, so it never turns into the start of the next line.
bool NextLine(std::string_view text, size_t& pos, std::string_view* line) {
  const size_t end = text.find('\n', pos);
  if (end == std::string_view::npos) {
    pos = text.size();
    return false;
  }
  *line = end - pos < MailHistory::kLineBuffer ? text.substr(pos, end - pos) : std::string_view();
  pos = end + 1;
  return true;
}

bool Plain(const std::string& field) {
  return !field.empty() && field.size() < MailHistory::kLineBuffer &&
         field.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
}

}  // namespace

MailHistory::MailHistory() {
  std::wstring folder;
  for (bool receive : {true, false}) {
    if (!GetAccountPath(receive, &folder)) return;
    // An existing file is kept as it is.
    qv::ScopedHandle file(
        CreateFileW(folder.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  }
}

MailHistory::~MailHistory() = default;

std::wstring MailHistory::FileIn(const std::wstring& folder, bool receive) {
  return folder + (receive ? L"\\recvhistory.dat" : L"\\sendhistory.dat");
}

bool MailHistory::GetAccountPath(bool receive, std::wstring* path) const {
  std::wstring name, folder;
  if (!GetRegistryValue(HKEY_CURRENT_USER, kUiKey, L"LastSelectAccount", &name) || name.empty() ||
      !QvAccountInfoInterface::GetAccountFolderPath(name, &folder)) {
    return false;
  }
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  *path = FileIn(folder, receive);
  return true;
}

bool MailHistory::SetAccountPath(bool receive) {
  path_.clear();
  return GetAccountPath(receive, &path_);
}

std::list<st_MAILHISTORYDATA> MailHistory::ParseHistoryText(std::string_view text) {
  std::list<st_MAILHISTORYDATA> entries;
  size_t pos = 0;
  std::string_view address, date;
  while (NextLine(text, pos, &address) && NextLine(text, pos, &date)) {
    st_MAILHISTORYDATA entry{std::string(date), std::string(address)};
    // What no writer of ours makes is no entry.
    if (IsStorableEntry(entry)) entries.push_back(std::move(entry));
  }
  return entries;
}

std::string MailHistory::FormatHistoryText(const std::list<st_MAILHISTORYDATA>& entries) {
  std::string text;
  for (const st_MAILHISTORYDATA& entry : entries) {
    if (!IsStorableEntry(entry)) continue;
    text.append(entry.strAddress).append(1, '\n').append(entry.strDate).append(1, '\n');
  }
  return text;
}

bool MailHistory::IsStorableEntry(const st_MAILHISTORYDATA& entry) {
  return Plain(entry.strAddress) && Plain(entry.strDate);
}

int MailHistory::ReadHistoryList() {
  std::string text;
  DWORD error = 0;
  if (!SafeReadWholeFile(path_, &text, &error)) {
    // The account's first entry makes the file.
    if (error != ERROR_FILE_NOT_FOUND) return -1;
    text.clear();
  }
  list_ = ParseHistoryText(text);
  return static_cast<int>(list_.size());
}

int MailHistory::UpdateHistoryList(const st_MAILHISTORYDATA& entry) {
  for (auto it = list_.begin(); it != list_.end(); ++it) {
    if (it->strAddress == entry.strAddress) {
      list_.erase(it);
      break;
    }
  }
  while (list_.size() >= kMaxEntries) list_.pop_back();
  list_.push_front(entry);
  return static_cast<int>(list_.size());
}

int MailHistory::WriteData() { return SafeWriteWholeFile(path_, FormatHistoryText(list_)) == 0 ? 0 : -1; }

int MailHistory::RegistData(const std::list<st_MAILHISTORYDATA>& entries) {
  for (const st_MAILHISTORYDATA& entry : entries) {
    if (!IsStorableEntry(entry)) return -1;
  }
  QvNamedMutex mutex(kMutexName);
  QvNamedMutex::Hold hold(mutex);
  if (ReadHistoryList() < 0) return -1;
  for (const st_MAILHISTORYDATA& entry : entries) UpdateHistoryList(entry);
  return WriteData();
}

int MailHistory::Regist(bool receive, const std::list<st_MAILHISTORYDATA>& entries, QvAccountInfoInterface* account) {
  list_.clear();
  path_.clear();
  if (account == nullptr || account->Account() == nullptr) return -1;
  std::wstring folder = account->Account()->FolderPath();
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  path_ = FileIn(folder, receive);
  return RegistData(entries);
}

int MailHistory::RegistRecvHistoryData(st_MAILHISTORYDATA* entry, QvAccountInfoInterface* account) {
  if (entry == nullptr) return -1;
  return Regist(true, {*entry}, account);
}

int MailHistory::RegistRecvHistoryData(const std::list<st_MAILHISTORYDATA>& entries,
                                       QvAccountInfoInterface* account) {
  return Regist(true, entries, account);
}

int MailHistory::RegistSendHistoryData(st_MAILHISTORYDATA* entry, QvAccountInfoInterface* account) {
  if (entry == nullptr) return -1;
  return Regist(false, {*entry}, account);
}

int MailHistory::GetHistoryList(std::list<st_MAILHISTORYDATA>* out) {
  list_.clear();
  int count = -1;
  {
    QvNamedMutex mutex(kMutexName);
    QvNamedMutex::Hold hold(mutex);
    std::string text;
    // A reader never makes the file.
    if (!SafeReadWholeFile(path_, &text, nullptr)) return -1;
    list_ = ParseHistoryText(text);
    count = static_cast<int>(list_.size());
  }
  if (out != nullptr) out->insert(out->end(), list_.begin(), list_.end());
  return count;
}

int MailHistory::GetRecvHistoryList(std::list<st_MAILHISTORYDATA>* out) {
  return SetAccountPath(true) ? GetHistoryList(out) : -1;
}

int MailHistory::GetSendHistoryList(std::list<st_MAILHISTORYDATA>* out) {
  return SetAccountPath(false) ? GetHistoryList(out) : -1;
}

void MailHistory::ClearHistData(st_MAILHISTORYDATA* entry) {
  if (entry == nullptr) return;
  entry->strDate.clear();
  entry->strAddress.clear();
}
