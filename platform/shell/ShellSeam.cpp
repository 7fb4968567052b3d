#include "platform/shell/ShellSeam.h"

#include <stdlib.h>

#include <mutex>
#include <optional>

#include "platform/shell/DeviceServices.h"

namespace qv::shell_seam {
namespace {

struct State {
  std::mutex lock;
  bool recording = false;
  std::vector<HandOff> handOffs;
  std::optional<bool> userInterface;
  int panelHeight = 0;
  int powerCalls = 0;
  DWORD powerState = POWER_STATE_ON;
};

State& S() {
  static State s;
  return s;
}

}  // namespace

void RecordHandOffs() {
  std::lock_guard g(S().lock);
  S().recording = true;
}

std::vector<HandOff> HandOffs() {
  std::lock_guard g(S().lock);
  return S().handOffs;
}

void SetUserInterface(bool present) {
  std::lock_guard g(S().lock);
  S().userInterface = present;
}

void SetInputPanelHeight(int pixels) {
  std::lock_guard g(S().lock);
  S().panelHeight = pixels;
}

int PowerCalls() {
  std::lock_guard g(S().lock);
  return S().powerCalls;
}

void SetPowerState(DWORD flag) {
  std::lock_guard g(S().lock);
  S().powerState = flag;
}

DWORD PowerState() {
  std::lock_guard g(S().lock);
  return S().powerState;
}

void Reset() {
  std::lock_guard g(S().lock);
  S().powerState = POWER_STATE_ON;
  S().recording = false;
  S().handOffs.clear();
  S().userInterface.reset();
  S().panelHeight = 0;
  S().powerCalls = 0;
}

bool Recording() {
  std::lock_guard g(S().lock);
  return S().recording;
}

void Record(HandOff h) {
  std::lock_guard g(S().lock);
  S().handOffs.push_back(std::move(h));
}

bool UserInterfacePresent() {
  {
    std::lock_guard g(S().lock);
    if (S().userInterface) return *S().userInterface;
  }
  const char* x = ::getenv("DISPLAY");
  const char* w = ::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (w && *w);
}

int InputPanelHeight() {
  std::lock_guard g(S().lock);
  return S().panelHeight;
}

void PowerCalled() {
  std::lock_guard g(S().lock);
  ++S().powerCalls;
}

}  // namespace qv::shell_seam
