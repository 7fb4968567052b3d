#include "platform/ui/metrics/Metrics.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "platform/ui/queue/SeamHooks.h"

namespace qv::ui {
namespace {

constexpr int kShortSide = 480;
constexpr int kLongSide = 800;
constexpr int kDpi = 192;

std::atomic<Orientation> g_orientation{Orientation::Portrait};

constexpr const wchar_t* kOemInfo = L"Norvale QV-480";

struct PlatformType {
  std::mutex lock;
  std::wstring type = PLATFORM_TYPE_POCKETPC;
};
PlatformType& Platform() {
  static auto* p = new PlatformType;
  return *p;
}

BOOL CopyAnswer(const std::wstring& text, UINT bytes, LPVOID out) {
  if (!out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if ((text.size() + 1) * 2 > bytes) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  auto* chars = static_cast<wchar_t*>(out);
  std::copy(text.begin(), text.end(), chars);
  chars[text.size()] = 0;
  return TRUE;
}

}  // namespace

DeviceProfile CurrentProfile() {
  const Orientation o = g_orientation.load(std::memory_order_relaxed);
  return o == Orientation::Portrait ? DeviceProfile{kShortSide, kLongSide, kDpi, o}
                                    : DeviceProfile{kLongSide, kShortSide, kDpi, o};
}

void SetPlatformType(const std::wstring& type) {
  std::lock_guard<std::mutex> g(Platform().lock);
  Platform().type = type.empty() ? PLATFORM_TYPE_POCKETPC : type;
}

// Only the device profile's turn changes it (DeviceProfile.cpp).
void StoreOrientation(Orientation o) { g_orientation.store(o, std::memory_order_relaxed); }

}  // namespace qv::ui

// The device's metrics at 192 dpi: twice the 96-dpi sizes of its parts.
int GetSystemMetrics(int index) {
  const qv::ui::DeviceProfile p = qv::ui::CurrentProfile();
  switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
    case SM_CXVIRTUALSCREEN:
      return p.width;
    case SM_CYSCREEN:
    case SM_CYFULLSCREEN:
    case SM_CYVIRTUALSCREEN:
      return p.height;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
      return 26;
    case SM_CYCAPTION:
      return 52;
    case SM_CXBORDER:
    case SM_CYBORDER:
    case SM_CMONITORS:
    case SM_MOUSEPRESENT:
    case SM_DBCSENABLED:
      return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
    case SM_CXEDGE:
    case SM_CYEDGE:
      return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
    case SM_CXICONSPACING:
    case SM_CYICONSPACING:
      return 64;
    case SM_CXSMICON:
    case SM_CYSMICON:
    case SM_CXMENUCHECK:
    case SM_CYMENUCHECK:
      return 32;
    case SM_CYMENU:
      return 52;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
    case SM_CXDRAG:
    case SM_CYDRAG:
      return 8;
    default:
      return 0;
  }
}

// Sizes are in bytes, as the device counts them: two a character.
BOOL SystemParametersInfoW(UINT action, UINT uiParam, LPVOID pvParam, UINT) {
  switch (action) {
    case SPI_GETPLATFORMTYPE: {
      std::wstring type;
      {
        std::lock_guard<std::mutex> g(qv::ui::Platform().lock);
        type = qv::ui::Platform().type;
      }
      return qv::ui::CopyAnswer(type, uiParam, pvParam);
    }
    case SPI_GETOEMINFO:
      return qv::ui::CopyAnswer(qv::ui::kOemInfo, uiParam, pvParam);
    case SPI_GETWORKAREA: {
      if (!pvParam) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
      }
      const qv::ui::DeviceProfile p = qv::ui::CurrentProfile();
      *static_cast<RECT*>(pvParam) = RECT{0, 0, p.width, p.height};
      return TRUE;
    }
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
}
