#include "app/mailops/WindowRegistry.h"

#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "app/protocol/WindowMessages.h"

namespace {

struct Registration {
  HWND handle = nullptr;
  std::set<uint32_t> folders;  // empty: every folder
};

// Built before main runs and never destroyed, so a thread that broadcasts
// while the process ends still finds it.
struct Registry {
  std::mutex lock;
  std::map<CWnd*, Registration> windows;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;
  return *registry;
}

// Posts under the lock: once UnregisterWindow has returned, no broadcast
// reaches that window's handle (which may be given to another window).
void PostTo(bool (*wanted)(const Registration&, uint32_t), uint32_t folderId, WPARAM wParam, LPARAM lParam) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> hold(registry.lock);
  for (const auto& [window, registration] : registry.windows) {
    if (wanted(registration, folderId)) PostMessageW(registration.handle, kRefreshMessage, wParam, lParam);
  }
}

}  // namespace

void RegisterWindow(CWnd* window) {
  if (window == nullptr) return;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> hold(registry.lock);
  Registration& registration = registry.windows[window];
  registration.handle = window->GetSafeHwnd();
  registration.folders.clear();
}

void AddWindowFolder(CWnd* window, uint32_t folderId) {
  if (window == nullptr) return;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> hold(registry.lock);
  Registration& registration = registry.windows[window];
  registration.handle = window->GetSafeHwnd();
  registration.folders.insert(folderId);
}

void UnregisterWindow(CWnd* window) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> hold(registry.lock);
  registry.windows.erase(window);
}

bool IsWindowRegistered(CWnd* window) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> hold(registry.lock);
  return registry.windows.count(window) != 0;
}

void BroadcastRefresh() {
  PostTo([](const Registration&, uint32_t) { return true; }, 0, kRefreshEverything, 1);
}

void BroadcastFolderRefresh(uint32_t folderId) {
  PostTo([](const Registration& r, uint32_t id) { return r.folders.empty() || r.folders.count(id) != 0; }, folderId,
         folderId, 0);
}

void BroadcastFolderAndRootRefresh(uint32_t folderId) {
  BroadcastFolderRefresh(folderId);
  int kind = -1;
  if (!GetFolderRootKind(folderId, &kind)) return;
  DWORD box = 0;
  if (kind == kReceiveUserFolder && GetSystemFolderId(kReceiveBox, &box)) BroadcastFolderRefresh(box);
  if (kind == kSendUserFolder && GetSystemFolderId(kSendBox, &box)) BroadcastFolderRefresh(box);
}

void BroadcastFolderTreeRefresh(uint32_t boxId) {
  BroadcastFolderRefresh(boxId);
  std::vector<unsigned long> children;
  if (!GetChildFolderIds(boxId, &children)) return;
  for (unsigned long child : children) BroadcastFolderRefresh(static_cast<uint32_t>(child));
}
