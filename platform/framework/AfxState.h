// Inside the framework: what each thread keeps while it handles messages
// (the framework's objects belong to the thread that made their windows).
#pragma once

#include <memory>
#include <unordered_map>

#include "platform/framework/AfxTypes.h"

class CWnd;

namespace qv::afx {

struct ThreadState {
  MSG lastMessage{};                 // the message being handled
  CWnd* creating = nullptr;          // the object CreateEx is making a window for
  bool creatingDialog = false;       // ... and that object is a dialog's
  HWND lockoutNotify = nullptr;      // notifications to it are ignored (data exchange)
  MSG current{};                     // what the message pump last took
};

ThreadState& State();

// Temporary objects of one kind for handles, freed together at idle time
// and when the thread ends. `Detach` clears an object's handle before the
// object is freed, so that freeing a temporary never frees its handle.
template <class Object, class Handle, void (*Detach)(Object&)>
class TempMap {
 public:
  TempMap() = default;
  TempMap(const TempMap&) = delete;
  TempMap& operator=(const TempMap&) = delete;
  ~TempMap() { Clear(); }

  // `make` makes the object for a handle not seen yet.
  template <class Make>
  Object* Get(Handle h, Make make) {
    auto& slot = map_[h];
    if (!slot) slot = make(h);
    return slot.get();
  }
  void Clear() {
    for (auto& entry : map_) Detach(*entry.second);
    map_.clear();
  }
  void Forget(Handle h) {
    auto it = map_.find(h);
    if (it == map_.end()) return;
    Detach(*it->second);
    map_.erase(it);
  }

 private:
  std::unordered_map<Handle, std::unique_ptr<Object>> map_;
};

// Registers a class of the framework's own under `name` (once).
LPCWSTR RegisterFrameworkClass(LPCWSTR name, UINT style, HCURSOR cursor, HBRUSH background, HICON icon);

// The GDI objects', DCs' and menus' temporaries (CDC.cpp, CGdiObject.cpp, CMenu.cpp).
void DeleteTempDCs();
void DeleteTempGdiObjects();
void DeleteTempMenus();

}  // namespace qv::afx
