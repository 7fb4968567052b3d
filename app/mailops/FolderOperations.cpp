#include "app/mailops/FolderOperations.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <memory>

#include "app/foundation/MessageBoxes.h"
#include "app/foundation/UiRegistry.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/HeaderRowCache.h"
#include "app/mailops/QvFolderNotifySink.h"
#include "app/mailops/WindowRegistry.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "engine/public/transport/QvClassifier.h"
#include "platform/base/ScopedHandle.h"
#include "platform/framework/CWaitCursor.h"
#include "platform/kernel/Files.h"

namespace {

using Folder = std::unique_ptr<QvFolderInterface>;
using Ids = std::vector<unsigned long>;

constexpr DWORD kRootFolderId = 0;
constexpr uint32_t kNameMask = 1;
// The folder order could not be saved.
constexpr UINT kFolderOrderNotSavedText = 20290;
constexpr const wchar_t* kReceiveBoxName = L"受信ﾎﾞｯｸｽ";
constexpr const wchar_t* kSendBoxName = L"送信ﾎﾞｯｸｽ";

// The folders kept open so that the engine tells of changes, and their observer.
struct HeldFolder {
  DWORD id;
  Folder folder;
};
std::vector<HeldFolder> OpenFolderList;
std::unique_ptr<QvFolderNotifySink> FolderNotifySinkObject;
// How many of the kept folders are the two boxes with their children (they
// come first); 0 when a box could not be kept.
size_t KeptBoxFolders = 0;
// The root folder, kept open beside them without an observer: every launcher
// build and folder look-up reads the names of the boxes from it, and opening
// it each time reads its three files again.
Folder KeptRoot;
std::atomic<int> AutoReceiveHolds{0};

DWORD SystemId(int kind) {
  DWORD id = 0;
  GetSystemFolderId(kind, &id);
  return id;
}

// The folder on the current storage, quietly null without one.
Folder OpenQuietly(DWORD id) {
  QvStorageInterface* storage = CurrentStorage();
  return Folder(storage != nullptr ? storage->OpenFolder(id) : nullptr);
}

bool ReadName(QvFolderInterface* parent, DWORD id, CString* name) {
  QvFolderInterface::FolderAttributes attributes;
  attributes.mask = kNameMask;
  if (!parent->ReadFolderAttributes(id, &attributes)) return false;
  *name = attributes.name.c_str();
  return true;
}

// A folder the operations keep open, or null. Only the owner thread keeps any.
QvFolderInterface* KeptFolder(unsigned long id) {
  if (!IsMailOpsOwnerThread()) return nullptr;
  for (const HeldFolder& kept : OpenFolderList) {
    if (kept.id == id) return kept.folder.get();
  }
  return nullptr;
}

// The unread count of a child of an open folder: from the kept folder when
// there is one, so a launcher build does not open every folder again.
bool ChildUnread(QvFolderInterface* parent, unsigned long child, unsigned long* unread, bool current = true) {
  // Ids are the storage's own: the kept folders answer only for the current one.
  if (QvFolderInterface* kept = current ? KeptFolder(child) : nullptr) {
    *unread = kept->GetUnreadCount();
    return true;
  }
  Folder folder(parent->OpenFolder(child));
  if (!folder) return false;
  *unread = folder->GetUnreadCount();
  return true;
}

// Unread mail of every child of an open box; -1 when a child cannot be opened.
long ChildrenUnread(QvFolderInterface* box, bool* anyUnread, bool current = true) {
  Ids children;
  if (!box->GetFolderIds(&children)) return -1;
  long sum = 0;
  for (unsigned long child : children) {
    unsigned long unread = 0;
    if (!ChildUnread(box, child, &unread, current)) return -1;
    if (unread > 0 && anyUnread != nullptr) *anyUnread = true;
    sum += static_cast<long>(unread);
  }
  return sum;
}

// Unread mail of a box and its children on a storage; -1 with the error box.
long BoxUnread(QvStorageInterface* storage, DWORD boxId) {
  Folder box(storage->OpenFolder(boxId));
  if (!box) {
    ShowMailOpsError(storage->GetErrorInfo());
    return -1;
  }
  const long children = ChildrenUnread(box.get(), nullptr, storage == CurrentStorage());
  if (children < 0) {
    ShowMailOpsError(GetQvMiddleError());
    return -1;
  }
  return children + static_cast<long>(box->GetUnreadCount());
}

std::wstring OrderFilePath(int kind) {
  std::wstring folder;
  if (!QvAccountInfoInterface::GetAccountFolderPath(GetCurrentAccountName().str(), &folder)) return L"";
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder + (kind == kReceiveBox ? L"\\RTray.lst" : L"\\STray.lst");
}

// Writes the whole file to its "_tmp" copy, puts it on the disk and makes it
// the file in one step: a reader finds the old order or the new one.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  const std::wstring temp = path + L"_tmp";
  bool written = false;
  {
    qv::ScopedHandle file(
        CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD done = 0;
    written = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
              done == bytes.size() && FlushFileBuffers(file.get());
  }
  if (written && DeleteAndRenameFile(path.c_str(), temp.c_str())) return true;
  DeleteFileW(temp.c_str());
  return false;
}

// Registers the sink on the folder and keeps it open.
void Keep(Folder folder, DWORD id) {
  if (!folder) return;
  if (!folder->RegisterNotify(FolderNotifySinkObject.get())) ShowMailOpsError(folder->GetErrorInfo());
  OpenFolderList.push_back({id, std::move(folder)});
}

void LetKeptFoldersGo() {
  OpenFolderList.clear();
  KeptRoot.reset();
  KeptBoxFolders = 0;
}

bool KeepBoxAndChildren(DWORD boxId) {
  Folder box = OpenQuietly(boxId);
  if (!box) return false;
  Ids children;
  const bool listed = box->GetFolderIds(&children);
  std::vector<Folder> kept;
  // Through the storage: the box's own open would read its list again for
  // every child just to find the child listed in it.
  for (unsigned long child : children) kept.emplace_back(OpenQuietly(child));
  Keep(std::move(box), boxId);
  if (!listed) return false;
  bool all = true;
  for (size_t i = 0; i < kept.size(); ++i) {
    all = all && kept[i] != nullptr;
    Keep(std::move(kept[i]), static_cast<DWORD>(children[i]));
  }
  return all;
}

}  // namespace

bool GetFolderRootKind(DWORD folderId, int* kind) {
  if (CurrentStorage() == nullptr) return false;
  for (int k = kReceiveBox; k <= kOutbox; ++k) {
    if (SystemId(k) == folderId) {
      *kind = k;
      return true;
    }
  }
  for (int box : {kReceiveBox, kSendBox}) {
    Ids children;
    if (!GetChildFolderIds(SystemId(box), &children)) continue;
    if (std::find(children.begin(), children.end(), folderId) != children.end()) {
      *kind = box == kReceiveBox ? kReceiveUserFolder : kSendUserFolder;
      return true;
    }
  }
  return false;
}

bool GetChildFolderIds(DWORD boxId, std::vector<unsigned long>* ids) {
  ids->clear();
  if (boxId != SystemId(kReceiveBox) && boxId != SystemId(kSendBox)) return true;
  Folder box(OpenFolderById(boxId));
  if (!box) return false;
  if (box->GetFolderIds(ids)) return true;
  ShowMailOpsError(box->GetErrorInfo());
  return false;
}

int CountChildFolders(DWORD boxId) {
  Ids children;
  if (CurrentStorage() == nullptr || !GetChildFolderIds(boxId, &children)) return -1;
  return static_cast<int>(children.size());
}

int CountUserFolders() {
  const int received = CountChildFolders(SystemId(kReceiveBox));
  const int sent = CountChildFolders(SystemId(kSendBox));
  return received < 0 || sent < 0 ? -1 : received + sent;
}

bool GetSystemFolderItem(int kind, QvFolderItem* item) {
  if (kind < kReceiveBox || kind > kOutbox) return false;
  const DWORD id = SystemId(kind);
  Folder root(OpenFolderById(kRootFolderId));
  if (!root) return false;
  CString name;
  if (!ReadName(root.get(), id, &name)) {
    ShowMailOpsError(root->GetErrorInfo());
    return false;
  }
  Folder folder(OpenFolderById(id));
  if (!folder) return false;
  item->name = name;
  item->unread = static_cast<int>(folder->GetUnreadCount());
  item->kind = kind;
  item->folderId = id;
  item->childUnread = false;
  if (kind == kReceiveBox || kind == kSendBox) ChildrenUnread(folder.get(), &item->childUnread);
  return true;
}

bool GetFolderItem(DWORD folderId, QvFolderItem* item) {
  int kind = -1;
  if (!GetFolderRootKind(folderId, &kind)) return false;
  if (kind <= kOutbox) return GetSystemFolderItem(kind, item);
  Folder box(OpenFolderById(SystemId(kind == kReceiveUserFolder ? kReceiveBox : kSendBox)));
  if (!box) return false;
  CString name;
  Folder folder(box->OpenFolder(folderId));
  if (!folder || !ReadName(box.get(), folderId, &name)) {
    ShowMailOpsError(box->GetErrorInfo());
    return false;
  }
  item->name = name;
  item->unread = static_cast<int>(folder->GetUnreadCount());
  item->kind = kind;
  item->folderId = folderId;
  item->childUnread = false;
  return true;
}

bool GetFolderDisplayPath(DWORD folderId, CString* text) {
  QvFolderItem item;
  if (!GetFolderItem(folderId, &item)) return false;
  if (item.kind == kDrafts || item.kind == kOutbox) {
    *text = item.name;
  } else {
    const wchar_t* box = item.kind == kReceiveBox || item.kind == kReceiveUserFolder ? kReceiveBoxName : kSendBoxName;
    *text = CString(box) + L"/" + item.name;
  }
  return true;
}

bool GetBoxFolderItems(DWORD boxId, std::vector<QvFolderItem>* items) {
  items->clear();
  int kind = -1;
  if (boxId == SystemId(kReceiveBox)) {
    kind = kReceiveUserFolder;
  } else if (boxId == SystemId(kSendBox)) {
    kind = kSendUserFolder;
  } else {
    return false;
  }
  Folder box(OpenFolderById(boxId));
  if (!box) return false;
  Ids children;
  if (!box->GetFolderIds(&children)) {
    ShowMailOpsError(box->GetErrorInfo());
    return false;
  }
  for (unsigned long child : children) {
    QvFolderItem item;
    unsigned long unread = 0;
    if (!ChildUnread(box.get(), child, &unread) || !ReadName(box.get(), child, &item.name)) {
      ShowMailOpsError(box->GetErrorInfo());
      items->clear();
      return false;
    }
    item.unread = static_cast<int>(unread);
    item.kind = kind;
    item.folderId = child;
    items->push_back(item);
  }
  return true;
}

bool GetOrderedFolderItems(int kind, std::vector<QvFolderItem>* items) {
  if (kind != kReceiveBox && kind != kSendBox) return false;
  if (!GetBoxFolderItems(SystemId(kind), items)) return false;
  Ids order;
  ReadFolderOrderFile(kind, &order);
  if (items->size() > 1 && !order.empty()) ApplyFolderOrder(order, items);
  return true;
}

void ApplyFolderOrder(const std::vector<unsigned long>& order, std::vector<QvFolderItem>* items) {
  auto position = [&order](const QvFolderItem& item) -> size_t {
    auto found = std::find(order.begin(), order.end(), item.folderId);
    return found == order.end() ? SIZE_MAX : static_cast<size_t>(found - order.begin());
  };
  // Stable: folders the file does not list stay in the engine's order.
  std::stable_sort(items->begin(), items->end(),
                   [&position](const QvFolderItem& a, const QvFolderItem& b) { return position(a) < position(b); });
}

std::vector<unsigned long> ParseFolderOrder(const std::string& bytes) {
  std::vector<unsigned long> ids;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    const std::string line = bytes.substr(start, end - start);
    start = end + 1;
    // As the file was written: an optional sign and the digits of a 32-bit
    // "%d"; anything else on the line makes it no entry.
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == '-' || line[i] == '+')) negative = line[i++] == '-';
    const size_t digits = i;
    long long value = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9' && i - digits < 11) value = value * 10 + (line[i++] - '0');
    while (i < line.size() && (line[i] == '\r' || line[i] == ' ' || line[i] == '\t')) ++i;
    if (i == digits || i != line.size()) continue;
    if (negative) value = -value;
    if (value < INT32_MIN || value > INT32_MAX || value == 0) continue;
    ids.push_back(static_cast<uint32_t>(static_cast<int32_t>(value)));
  }
  return ids;
}

void ReadFolderOrderFile(int kind, std::vector<unsigned long>* ids) {
  ids->clear();
  if (kind != kReceiveBox && kind != kSendBox) return;
  const std::wstring path = OrderFilePath(kind);
  if (path.empty()) return;
  qv::ScopedHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  // An order of a few hundred folders is a few kilobytes; more is no order file.
  constexpr DWORD kMaxBytes = 64 * 1024;
  std::string bytes(kMaxBytes, '\0');
  DWORD read = 0;
  if (!ReadFile(file.get(), bytes.data(), kMaxBytes, &read, nullptr)) return;
  bytes.resize(read);
  *ids = ParseFolderOrder(bytes);
}

bool WriteFolderOrderFile(int kind, const std::vector<unsigned long>& ids) {
  if (kind != kReceiveBox && kind != kSendBox) return false;
  std::string bytes;
  for (unsigned long id : ids) bytes += std::to_string(static_cast<int32_t>(static_cast<uint32_t>(id))) + "\n";
  const std::wstring path = OrderFilePath(kind);
  if (!path.empty() && WriteWholeFile(path, bytes)) return true;
  ShowErrorBoxRes(GetMainWindowHandle(), kFolderOrderNotSavedText);
  return false;
}

bool CreateSubFolder(DWORD boxId, const std::wstring& name, DWORD* newId) {
  if (CurrentStorage() == nullptr || (boxId != SystemId(kReceiveBox) && boxId != SystemId(kSendBox))) return false;
  CloseFolderInterfaces();
  bool created = false;
  {
    Folder box(OpenFolderById(boxId));
    unsigned long id = 0;
    if (box && box->CreateFolder(name, &id)) {
      created = true;
      if (newId != nullptr) *newId = id;
      BroadcastFolderRefresh(id);
    } else if (box) {
      ShowMailOpsError(box->GetErrorInfo());
    }
  }
  LoadFolderTree();
  return created;
}

bool RenameFolder(DWORD folderId, const std::wstring& name) {
  int kind = -1;
  if (!GetFolderRootKind(folderId, &kind) || (kind != kReceiveUserFolder && kind != kSendUserFolder)) return false;
  bool renamed = false;
  {
    Folder box(OpenFolderById(SystemId(kind == kReceiveUserFolder ? kReceiveBox : kSendBox)));
    if (!box) return false;
    QvFolderInterface::FolderAttributes attributes;
    attributes.mask = kNameMask;
    if (box->ReadFolderAttributes(folderId, &attributes)) {
      attributes.mask = kNameMask;
      attributes.name = name;
      renamed = box->WriteFolderAttributes(folderId, attributes);
    }
    if (renamed) {
      BroadcastFolderRefresh(folderId);
    } else {
      ShowMailOpsError(box->GetErrorInfo());
    }
  }
  BroadcastFolderRefresh(folderId);
  return renamed;
}

bool RemoveFolder(DWORD folderId) {
  int kind = -1;
  if (!GetFolderRootKind(folderId, &kind) || (kind != kReceiveUserFolder && kind != kSendUserFolder)) return false;
  const DWORD boxId = SystemId(kind == kReceiveUserFolder ? kReceiveBox : kSendBox);
  CWaitCursor wait;
  CloseFolderInterfaces();
  bool removed = false;
  {
    Folder box(OpenFolderById(boxId));
    if (box) {
      removed = box->RemoveFolder(folderId);
      if (!removed) ShowMailOpsError(box->GetErrorInfo());
    }
  }
  // The root kind of a folder that is gone can no longer be found: its box
  // is named here, whatever the engine answered.
  BroadcastFolderRefresh(folderId);
  BroadcastFolderRefresh(boxId);
  const int unread = CountCurrentAccountUnread();
  if (unread >= 0) SetAccountNoRead(GetCurrentAccountName(), static_cast<DWORD>(unread));
  LoadFolderTree();
  ClearHeaderCache();
  return removed;
}

void LoadFolderTree() {
  if (!IsMailOpsOwnerThread()) return;
  if (!FolderNotifySinkObject) FolderNotifySinkObject = std::make_unique<QvFolderNotifySink>();
  LetKeptFoldersGo();
  if (CurrentStorage() == nullptr) return;
  KeptRoot = OpenQuietly(kRootFolderId);
  const bool receive = KeepBoxAndChildren(SystemId(kReceiveBox));
  const bool send = KeepBoxAndChildren(SystemId(kSendBox));
  if (receive && send) KeptBoxFolders = OpenFolderList.size();
  Keep(OpenQuietly(SystemId(kOutbox)), SystemId(kOutbox));
  Keep(OpenQuietly(SystemId(kDrafts)), SystemId(kDrafts));
}

void CloseFolderInterfaces() {
  if (!IsMailOpsOwnerThread()) return;
  // The folders go first: each takes its observer off as it closes.
  LetKeptFoldersGo();
  FolderNotifySinkObject.reset();
}

size_t OpenFolderCount() { return OpenFolderList.size(); }

bool GetMessageIds(DWORD folderId, std::vector<unsigned long>* ids) {
  Folder folder(OpenFolderById(folderId));
  if (!folder) return false;
  if (folder->GetMessageIds(ids)) return true;
  if (RecoverEntry(folderId, GetQvMiddleError())) {
    BroadcastFolderAndRootRefresh(folderId);
    Folder again(OpenFolderById(folderId));
    if (again && again->GetMessageIds(ids)) return true;
    if (again) ShowMailOpsError(again->GetErrorInfo());
    return false;
  }
  ShowMailOpsError(folder->GetErrorInfo());
  return false;
}

int CountOutboxMessages() {
  if (CurrentStorage() == nullptr) return -1;
  Ids ids;
  if (!GetMessageIds(SystemId(kOutbox), &ids)) return -1;
  return static_cast<int>(ids.size());
}

bool MoveMessagesToFolder(std::vector<unsigned long>& ids, DWORD from, DWORD to) {
  if (ids.empty()) return false;
  CWaitCursor wait;
  SetCurrentOperationId(kOperationMoveMessages);
  Folder source(OpenFolderById(from));
  Folder destination(OpenFolderById(to));
  if (!source || !destination) return false;
  const bool moved = source->MoveMessage(ids, destination.get());
  if (!moved) ShowMailOpsError(source->GetErrorInfo());
  BroadcastFolderAndRootRefresh(from);
  BroadcastFolderAndRootRefresh(to);
  return moved;
}

bool ReclassifyFolderMessages(DWORD folderId) {
  int kind = -1;
  if (!GetFolderRootKind(folderId, &kind) || kind == kDrafts || kind == kOutbox) return false;
  Ids ids;
  if (!GetMessageIds(folderId, &ids)) return false;
  bool done = true;
  {
    QvClassifier classifier;
    for (unsigned long id : ids) {
      if (!classifier.MoveToFolder(id, CurrentAccountInfo())) {
        SetCurrentOperationId(kOperationReclassify);
        ShowMailOpsError(GetQvMiddleError());
        done = false;
        break;
      }
    }
  }
  BroadcastRefresh();
  return done;
}

int CountAccountUnreadMessages(const std::wstring& name) {
  if (!GetCurrentAccountName().IsEmpty() && GetCurrentAccountName().str() == name) {
    QvStorageInterface* storage = CurrentStorage();
    if (storage == nullptr) return -1;
    if (KeptBoxFolders > 0 && KeptBoxFolders <= OpenFolderList.size()) {
      // The boxes and their folders are open already: their entry lists
      // hold the counts.
      long sum = 0;
      for (size_t i = 0; i < KeptBoxFolders; ++i) sum += static_cast<long>(OpenFolderList[i].folder->GetUnreadCount());
      return static_cast<int>(sum);
    }
    const long received = BoxUnread(storage, SystemId(kReceiveBox));
    const long sent = received < 0 ? -1 : BoxUnread(storage, SystemId(kSendBox));
    return sent < 0 ? -1 : static_cast<int>(received + sent);
  }
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(name, L""));
  if (!account) {
    ShowMailOpsError(GetQvMiddleError());
    return -1;
  }
  QvAccountInfoInterface::Attributes record;
  record.Select(QvAccountInfoInterface::Attributes::kJusinTrayID);
  record.Select(QvAccountInfoInterface::Attributes::kSousinZumiTrayID);
  if (!account->GetAccountInfoAttributes(&record)) {
    ShowMailOpsError(GetQvMiddleError());
    return -1;
  }
  std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
  if (!storage) {
    ShowMailOpsError(GetQvMiddleError());
    return -1;
  }
  const long received = BoxUnread(storage.get(), record.ulJusinTrayID);
  const long sent = received < 0 ? -1 : BoxUnread(storage.get(), record.ulSousinZumiTrayID);
  return sent < 0 ? -1 : static_cast<int>(received + sent);
}

int CountCurrentAccountUnread() {
  const CString name = GetCurrentAccountName();
  return name.IsEmpty() ? -1 : CountAccountUnreadMessages(name.str());
}

bool RecoverEntry(DWORD folderId, uint32_t code) {
  QvStorageInterface* storage = CurrentStorage();
  if (storage == nullptr || !QvStorageInterface::CheckWantRecoverEntry(code)) return false;
  // The automatic receive waits while the list is rebuilt; the account's
  // stored setting is left as the user set it.
  ++AutoReceiveHolds;
  const bool recovered = storage->RecoverMessageEntry(folderId);
  --AutoReceiveHolds;
  return recovered;
}

bool IsAutoReceiveHeld() { return AutoReceiveHolds.load() > 0; }
