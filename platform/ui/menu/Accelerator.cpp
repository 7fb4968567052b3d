#include "platform/ui/menu/Accelerator.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/base/HandleTable.h"
#include "platform/kernel/Resource.h"
#include "platform/ui/input/Keyboard.h"
#include "platform/ui/queue/MessageQueue.h"

namespace {

constexpr WORD kLastEntry = 0x80;

struct Tables {
  std::mutex lock;
  qv::HandleTable<std::vector<ACCEL>, qv::HandleNumbering{0x20000, 0x10}> tables;
};

Tables& T() {
  static Tables* t = new Tables;  // outlives threads still running at exit
  return *t;
}

HACCEL Add(std::vector<ACCEL> entries) {
  std::lock_guard<std::mutex> g(T().lock);
  return reinterpret_cast<HACCEL>(T().tables.Add(std::move(entries)));
}

bool Down(int vk) { return GetKeyState(vk) < 0; }

// Whether `a` stands for the key or character of `msg`.
bool Matches(const ACCEL& a, const MSG& msg) {
  const bool alt = msg.message == WM_SYSKEYDOWN || msg.message == WM_SYSCHAR || Down(VK_MENU);
  if (a.fVirt & FVIRTKEY) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    if (a.key != msg.wParam) return false;
    return ((a.fVirt & FSHIFT) != 0) == Down(VK_SHIFT) && ((a.fVirt & FCONTROL) != 0) == Down(VK_CONTROL) &&
           ((a.fVirt & FALT) != 0) == alt;
  }
  if (msg.message != WM_CHAR && msg.message != WM_SYSCHAR) return false;
  return a.key == msg.wParam && ((a.fVirt & FALT) != 0) == alt;
}

}  // namespace

namespace qv::ui {

bool ParseAcceleratorResource(const void* data, size_t size, std::vector<ACCEL>* out) {
  out->clear();
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (size_t at = 0; bytes && at + 8 <= size; at += 8) {
    WORD words[4];
    std::memcpy(words, bytes + at, sizeof words);
    out->push_back(ACCEL{static_cast<BYTE>(words[0] & 0x7F), words[1], words[2]});
    if (words[0] & kLastEntry) return true;
  }
  out->clear();  // no entry said it was the last
  return false;
}

}  // namespace qv::ui

HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name) {
  HRSRC found = FindResourceW(instance, name, RT_ACCELERATOR);
  if (!found) return nullptr;
  std::vector<ACCEL> entries;
  if (!qv::ui::ParseAcceleratorResource(LockResource(LoadResource(instance, found)), SizeofResource(instance, found),
                                        &entries)) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  return Add(std::move(entries));
}

HACCEL CreateAcceleratorTableW(LPACCEL entries, int count) {
  if (!entries || count <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return Add(std::vector<ACCEL>(entries, entries + count));
}

BOOL DestroyAcceleratorTable(HACCEL table) {
  std::lock_guard<std::mutex> g(T().lock);
  return T().tables.Take(reinterpret_cast<uintptr_t>(table)) ? TRUE : FALSE;
}

int CopyAcceleratorTableW(HACCEL table, LPACCEL out, int count) {
  std::lock_guard<std::mutex> g(T().lock);
  const std::vector<ACCEL>* entries = T().tables.Find(reinterpret_cast<uintptr_t>(table));
  if (!entries) return 0;
  const int size = static_cast<int>(entries->size());
  if (!out) return size;
  const int copied = std::min(size, std::max(count, 0));
  std::copy_n(entries->begin(), copied, out);
  return copied;
}

int TranslateAcceleratorW(HWND hwnd, HACCEL table, LPMSG msg) {
  if (!msg || !hwnd) return 0;
  WORD command = 0;
  {
    std::lock_guard<std::mutex> g(T().lock);
    const std::vector<ACCEL>* entries = T().tables.Find(reinterpret_cast<uintptr_t>(table));
    if (!entries) return 0;
    for (const ACCEL& a : *entries) {
      if (Matches(a, *msg)) {
        command = a.cmd;
        break;
      }
    }
  }
  if (!command) return 0;
  // Not under the lock: the command may well run a dialog of its own.
  SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(command, 1), 0);
  return 1;
}
