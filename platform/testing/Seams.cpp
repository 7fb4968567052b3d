#include "platform/testing/Seams.h"

#include <fstream>

#include "platform/inet/InetSeam.h"
#include "platform/kernel/ClockSeam.h"
#include "platform/kernel/CrashPointSeam.h"
#include "platform/kernel/FileSeam.h"
#include "platform/kernel/MemorySeam.h"
#include "platform/kernel/PowerCutSeam.h"
#include "platform/kernel/SystemTextSeam.h"
#include "platform/kernel/Time.h"
#include "platform/shell/ShellSeam.h"
#include "platform/shell/ShellUi.h"
#include "platform/ui/MessageBoxSeam.h"
#include "platform/ui/Sound.h"
#include "platform/ui/queue/UiSeam.h"
#include "platform/ui/input/Keyboard.h"
#include "platform/ui/metrics/Metrics.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/window/Screen.h"
#include "platform/xml/Sax.h"

namespace qv::seams {

void ResetSeams() {
  file_seam::Reset();
  power_seam::Reset();
  crash_seam::Reset();
  clock_seam::Reset();
  memory_seam::Reset();
  systext_seam::Reset();
  msgbox_seam::Reset();
  net_seam::Reset();
  inet_seam::ResetDeadlines();
  xml_seam::SetReaderAvailable(true);
  ui_seam::Reset();
  shell_seam::Reset();
  sound_seam::Reset();
  qv::shell::ForgetInputContexts();
}

void SetFreeSpace(ULONGLONG bytes) { file_seam::SetFreeSpace(bytes); }
void ClearFreeSpace() { file_seam::ClearFreeSpace(); }
void InjectFileFault(const std::wstring& devicePath, DWORD error, int times) {
  file_seam::InjectFault(devicePath, error, times);
}
void ClearFileFaults() { file_seam::ClearFaults(); }
int FileFaultHits(const std::wstring& devicePath) { return file_seam::FaultHits(devicePath); }

void ArmPowerCut() { power_seam::Arm(); }
void DisarmPowerCut() { power_seam::Disarm(); }
PowerCutReport CutPower(uint64_t seed, PowerCutMode mode) { return power_seam::CutPower(seed, mode); }
void StartNewBoot() { power_seam::NewBoot(); }

void CountFileCalls() { crash_seam::Count(); }
int FileCalls() { return crash_seam::Calls(); }
void ArmCrashPoint(int n, CrashWhen when, std::function<void(const CrashCall&)> action) {
  crash_seam::Arm(n, when, std::move(action));
}
void DisarmCrashPoint() { crash_seam::Disarm(); }

void SetClock(const SYSTEMTIME& utc) {
  FILETIME ft{};
  if (!SystemTimeToFileTime(&utc, &ft)) return;
  clock_seam::FixAt((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}
void AdvanceClock(LONGLONG milliseconds) { clock_seam::Advance(milliseconds); }
void ClearClock() { clock_seam::Clear(); }
void SetTimeZoneBias(LONG minutes) { clock_seam::SetBias(minutes); }

void SetAvailableMemory(size_t bytes) { memory_seam::SetAvailable(bytes); }
void SetSystemErrorText(DWORD code, const std::wstring& text) { systext_seam::SetText(code, text); }

void SetQuestionAnswer(int answer) { msgbox_seam::SetAnswer(answer); }
void SetQuestionHandler(std::function<int(const std::wstring& text, const std::wstring& caption)> h) {
  msgbox_seam::SetHandler(std::move(h));
}
int QuestionCount() { return msgbox_seam::QuestionCount(); }
void SetMessageBoxShownHandler(std::function<void(HWND box)> h) { msgbox_seam::SetShownHandler(std::move(h)); }
static_assert(kShowMessageBox == msgbox_seam::kShowBox);

void MapHost(const std::string& host, WORD port, WORD targetPort, const std::string& targetAddress) {
  net_seam::MapHost(host, port, targetPort, targetAddress);
}
void ClearHostTable() { net_seam::ClearHostTable(); }
void SetTrustedCaFile(const std::string& hostPath) { net_seam::SetTrustedCaFile(hostPath); }
void InjectNetFault(NetCall call, int wsaError, int times) { net_seam::InjectNetFault(call, wsaError, times); }
void SetNetworkWait(DWORD stepMilliseconds, DWORD steps) { net_seam::SetNetworkWait(stepMilliseconds, steps); }
void SetReplyDeadline(DWORD lineMilliseconds, DWORD floorBytesPerSecond) {
  net_seam::SetReplyDeadline(lineMilliseconds, floorBytesPerSecond);
}
void SetConnMgrStatus(DWORD status) { net_seam::SetConnMgrStatus(status); }
void SetConnMgrEstablishHandler(std::function<DWORD(const GUID& destination, DWORD timeoutMs)> h) {
  net_seam::SetConnMgrEstablishHandler(std::move(h));
}
void FailConnMgrStatusQuery(bool fail) { net_seam::FailConnMgrStatusQuery(fail); }
void SetConnMgrDestinations(std::vector<std::pair<std::wstring, GUID>> destinations) {
  net_seam::SetConnMgrDestinations(std::move(destinations));
}
ConnMgrRecord ConnMgrCalls() { return net_seam::ConnMgrCalls(); }
void ResetNetworkSeams() { net_seam::Reset(); }

long InetLiveObjects() { return inet_seam::LiveObjects(); }

void SetInetDeadlines(DWORD headerMs, DWORD bodyBaseMs, DWORD floorBytesPerSecond, DWORD idleMs) {
  inet_seam::Deadlines d;
  d.headerMs = headerMs;
  d.bodyBaseMs = bodyBaseMs;
  d.floorBytesPerSecond = floorBytesPerSecond;
  d.idleMs = idleMs;
  inet_seam::SetDeadlines(d);
}

void SetSaxReaderAvailable(bool available) { xml_seam::SetReaderAvailable(available); }

}  // namespace qv::seams

namespace qv::seams {

void FixUiClock(DWORD now) { ui_seam::FixClock(now); }
void AdvanceUiClock(DWORD milliseconds) { ui_seam::AdvanceClock(milliseconds); }
DWORD UiClockNow() { return ui_seam::ClockNow(); }
void InjectTap(POINT screen) { ui_seam::InjectTap(screen); }
void InjectPointer(UINT message, POINT screen) { ui_seam::InjectPointer(message, screen); }
void InjectKey(BYTE virtualKey, bool down) { keybd_event(virtualKey, 0, down ? 0 : KEYEVENTF_KEYUP, 0); }
void InjectWheel(POINT screen, int delta) { ui_seam::InjectWheel(screen, delta); }
WindowState ReadWindow(HWND hwnd) { return ui_seam::ReadWindow(hwnd); }

int PumpMessages(int limit) {
  int n = 0;
  MSG msg;
  while (n < limit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    ++n;
  }
  return n;
}

void SetLandscape(bool landscape) {
  qv::ui::SetOrientation(landscape ? qv::ui::Orientation::Landscape : qv::ui::Orientation::Portrait);
}

void SetPlatformType(const std::wstring& type) { qv::ui::SetPlatformType(type); }

bool SaveScreenPng(const std::string& hostPath) {
  const auto screen = qv::ui::ScreenSurface();
  if (!screen) return false;
  const Bitmap pixels = screen->Snapshot();
  BitmapData data = pixels.Data();
  data.PixelFormat = PixelFormat32bppRGB;  // the screen has no transparency
  std::vector<BYTE> png;
  if (!EncodePng(data, &png)) return false;
  std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return out.good();
}

}  // namespace qv::seams

namespace qv::seams {

void RecordHandOffs() { shell_seam::RecordHandOffs(); }
std::vector<HandOff> HandOffs() { return shell_seam::HandOffs(); }
void SetUserInterface(bool present) { shell_seam::SetUserInterface(present); }
void SetInputPanelHeight(int pixels) { shell_seam::SetInputPanelHeight(pixels); }
std::vector<std::wstring> SoundsPlayed() { return sound_seam::SoundsPlayed(); }
int PowerCalls() { return shell_seam::PowerCalls(); }
void SetPowerState(DWORD flag) { shell_seam::SetPowerState(flag); }

}  // namespace qv::seams
