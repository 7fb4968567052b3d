#include "engine/public/feeds/RssOldItems.h"

#include <algorithm>
#include <memory>

#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvStorageInterface.h"

namespace {

// The receive box of the account, opened through its own storage.
std::unique_ptr<QvFolderInterface> ReceiveBox(QvAccountInfoInterface* account, QvStorageInterface* storage) {
  QvAccountInfoInterface::Attributes attributes;
  attributes.Select(QvAccountInfoInterface::Attributes::kJusinTrayID);
  if (!account->GetAccountInfoAttributes(&attributes)) return nullptr;
  return std::unique_ptr<QvFolderInterface>(storage->OpenFolder(attributes.ulJusinTrayID));
}

}  // namespace

bool RssOldItems::Note(QvAccountInfoInterface* account) {
  noted_.clear();
  if (account == nullptr) return false;
  std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
  if (!storage) return false;
  std::unique_ptr<QvFolderInterface> box = ReceiveBox(account, storage.get());
  std::vector<unsigned long> children;
  if (!box || !box->GetFolderIds(&children)) return false;
  std::map<unsigned long, std::vector<unsigned long>> found;
  for (unsigned long id : children) {
    std::unique_ptr<QvFolderInterface> child(storage->OpenFolder(id));
    std::vector<unsigned long> messages;
    if (!child || !child->GetMessageIds(&messages)) return false;
    if (!messages.empty()) found[id] = std::move(messages);
  }
  noted_.swap(found);
  return true;
}

bool RssOldItems::Remove(QvAccountInfoInterface* account) {
  if (account == nullptr) return false;
  std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
  if (!storage) return false;
  bool ok = true;
  for (auto& [folder, messages] : noted_) {
    std::unique_ptr<QvFolderInterface> child(storage->OpenFolder(folder));
    if (!child) continue;  // the folder went away with its messages
    std::vector<unsigned long> present;
    if (!child->GetMessageIds(&present)) {
      ok = false;
      continue;
    }
    std::vector<unsigned long> gone;
    for (unsigned long id : messages)
      if (std::find(present.begin(), present.end(), id) != present.end()) gone.push_back(id);
    if (!gone.empty() && !child->RemoveMessage(gone)) ok = false;
  }
  noted_.clear();
  return ok;
}

size_t RssOldItems::Count() const {
  size_t count = 0;
  for (const auto& entry : noted_) count += entry.second.size();
  return count;
}
