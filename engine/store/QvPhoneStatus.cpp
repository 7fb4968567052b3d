#include "engine/public/store/QvPhoneStatus.h"

#include <mutex>

#include "platform/kernel/Debug.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Library.h"

namespace {

// One handle for the process. The receive threads call in at any moment, so
// loading and looking up happen under the lock, and the library is unloaded
// only when the engine itself goes.
class PhoneStatusLibrary {
 public:
  ~PhoneStatusLibrary() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  void Load() {
    std::lock_guard<std::mutex> hold(lock_);
    LoadLocked();
  }
  FARPROC Find(const char* name) {
    std::lock_guard<std::mutex> hold(lock_);
    LoadLocked();
    return module_ != nullptr ? GetProcAddressA(module_, name) : nullptr;
  }

 private:
  void LoadLocked() {
    if (module_ != nullptr) return;
    // A search that found nothing is made again only once the device's own
    // copy is there: the whole search costs a dozen file-system calls and a
    // dlopen, and a run asks for the status at every step.
    if (searched_ && GetFileAttributesW(kDeviceCopy) == INVALID_FILE_ATTRIBUTES) return;
    NKDbgPrintfW(L"LoadLibrary(PHONESTATUS_DLL)\r\n");
    module_ = LoadLibraryW(L"KxPhoneStatus.dll");
    searched_ = true;
  }
  // Where a device installs the library.
  static constexpr const wchar_t* kDeviceCopy = L"\\Windows\\KxPhoneStatus.so";
  std::mutex lock_;
  HMODULE module_ = nullptr;
  bool searched_ = false;
};

PhoneStatusLibrary& Library() {
  static PhoneStatusLibrary library;
  return library;
}

// Looked up on every call, as the library may only come later.
template <typename Result, typename... Params>
Result Forward(const char* name, Params... args) {
  using Function = Result (*)(Params...);
  auto function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(Library().Find(name)));
  return function != nullptr ? function(args...) : 0;
}

}  // namespace

void LoadPhoneStatusDLL() { Library().Load(); }

void FreePhoneStatusDLL() { NKDbgPrintfW(L"FreeLibrary(PHONESTATUS_DLL)\r\n"); }

int SetPhoneStatus(unsigned int item, unsigned int value) {
  return Forward<int, unsigned int, unsigned int>("SetPhoneStatus", item, value);
}

unsigned int GetPhoneStatus(unsigned int item) {
  return Forward<unsigned int, unsigned int>("GetPhoneStatus", item);
}

int SetPhoneStatus(unsigned int item, const wchar_t* text) {
  return Forward<int, unsigned int, const wchar_t*>("SetPhoneStatusStr", item, text);
}

unsigned int GetPhoneStatus(unsigned int item, wchar_t* buffer) {
  return Forward<unsigned int, unsigned int, wchar_t*>("GetPhoneStatusStr", item, buffer);
}
