// The tests' one door to the platform's seams. Each service keeps its own
// seam beside it (ClockSeam, FileSeam, MemorySeam, NetSeam, MessageBoxSeam,
// the XML reader's); this facade only forwards, so that tests need not know
// which service owns what. Production code never includes it.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/base/WinTypes.h"
#include "platform/kernel/CrashPointSeam.h"
#include "platform/kernel/PowerCutSeam.h"
#include "platform/net/NetSeam.h"
#include "platform/shell/ShellSeam.h"
#include "platform/ui/queue/UiSeam.h"

namespace qv::seams {

void ResetSeams();

// Free space reported by GetDiskFreeSpaceExW for every path (all volumes).
void SetFreeSpace(ULONGLONG bytes);
void ClearFreeSpace();

// Injected file faults for one device path (compared without regard to case):
// ERROR_SHARING_VIOLATION makes opens, moves and deletes of that path fail
// with 32; ERROR_DISK_FULL makes creating or writing it fail with 112.
// `times` is the number of calls that fail (-1: until cleared).
void InjectFileFault(const std::wstring& devicePath, DWORD error, int times = -1);
void ClearFileFaults();
// Number of calls on that path the fault has failed so far.
int FileFaultHits(const std::wstring& devicePath);

// Power cuts (the service's own seam, platform/kernel/PowerCutSeam.h, says
// what syncs what and what the test must do around a cut). Armed, the file
// layer remembers what each file and folder changed since its last sync;
// CutPower undoes a seeded choice of it on the files under the device root,
// kills every file handle open then and starts a new boot (qv::BootId()).
using PowerCutMode = qv::power_seam::CutMode;
using PowerCutReport = qv::power_seam::CutReport;
void ArmPowerCut();
void DisarmPowerCut();
PowerCutReport CutPower(uint64_t seed, PowerCutMode mode = PowerCutMode::kRandom);
// A new boot id without a cut (a parent whose forked child cut the power).
void StartNewBoot();

// Crash points (platform/kernel/CrashPointSeam.h): the file layer's calls
// counted, and an action run at the N-th, before or after it.
using FsCall = qv::crash_seam::FsCall;
using CrashWhen = qv::crash_seam::When;
using CrashCall = qv::crash_seam::CallInfo;
void CountFileCalls();
int FileCalls();
void ArmCrashPoint(int n, CrashWhen when, std::function<void(const CrashCall&)> action);
void DisarmCrashPoint();

// Clock: fix UTC at a moment (the clock then stands still unless advanced),
// or shift the real clock. GetTickCount follows the advance.
void SetClock(const SYSTEMTIME& utc);
void AdvanceClock(LONGLONG milliseconds);
void ClearClock();
// Time-zone bias in minutes (UTC = local + bias); the default is JST, -540.
void SetTimeZoneBias(LONG minutes);

// Free physical memory reported by GlobalMemoryStatus.
void SetAvailableMemory(size_t bytes);

// The text FormatMessageW gives for a system error code, in place of the
// table's (kept until ResetSeams).
void SetSystemErrorText(DWORD code, const std::wstring& text);

// Answer of a Yes/No question box shown with no one to see it (IDYES, IDNO...).
// The headless default is IDNO. A callback, when set, is asked instead and
// receives the text and caption.
void SetQuestionAnswer(int answer);
void SetQuestionHandler(std::function<int(const std::wstring& text, const std::wstring& caption)> h);
int QuestionCount();
// The answer (or the callback's answer for one question) that lets boxes run
// as real modal dialogs; as the fixed answer it shows every box, questions
// or not. The shown-handler is called on the box's thread once the box is up
// and waits for input, for the test to press its buttons by injected input.
constexpr int kShowMessageBox = -1;
void SetMessageBoxShownHandler(std::function<void(HWND box)> h);

}  // namespace qv::seams

// --- Network (the service's own seam: platform/net/NetSeam.h) ------------------

namespace qv::seams {

using NetCall = qv::net_seam::NetCall;
using ConnMgrRecord = qv::net_seam::ConnMgrRecord;

void MapHost(const std::string& host, WORD port, WORD targetPort, const std::string& targetAddress = "127.0.0.1");
void ClearHostTable();
void SetTrustedCaFile(const std::string& hostPath);
void InjectNetFault(NetCall call, int wsaError, int times = 1);
void SetNetworkWait(DWORD stepMilliseconds, DWORD steps);
void SetReplyDeadline(DWORD lineMilliseconds, DWORD floorBytesPerSecond);
void SetConnMgrStatus(DWORD status);
void SetConnMgrEstablishHandler(std::function<DWORD(const GUID& destination, DWORD timeoutMs)> h);
void FailConnMgrStatusQuery(bool fail);
void SetConnMgrDestinations(std::vector<std::pair<std::wstring, GUID>> destinations);
ConnMgrRecord ConnMgrCalls();
// Puts the network seams back (ResetSeams calls it too).
void ResetNetworkSeams();

// --- HTTP (the service's own seam: platform/inet/InetSeam.h) ---------------------
// Sessions, connections and requests alive (0 once every transfer has ended).
long InetLiveObjects();
// The deadlines of every response (see platform/inet/InetSeam.h); ResetSeams
// puts the production ones back.
void SetInetDeadlines(DWORD headerMs, DWORD bodyBaseMs, DWORD floorBytesPerSecond, DWORD idleMs);

// --- XML reader ------------------------------------------------------------------
void SetSaxReaderAvailable(bool available);

}  // namespace qv::seams

// --- Window system (the service's own seam: platform/ui/queue/UiSeam.h) ---------------
// Message-sequence tables are in platform/testing/MessageLog.h.

namespace qv::seams {

using WindowState = qv::ui_seam::WindowState;

// The UI clock stands still at `now` until advanced; advancing wakes every
// queue. ResetSeams puts it back on the tick count.
void FixUiClock(DWORD now = 1000);
void AdvanceUiClock(DWORD milliseconds);
DWORD UiClockNow();
// The stylus and the keys, as the device gives them (screen coordinates).
void InjectTap(POINT screen);
void InjectPointer(UINT message, POINT screen);
void InjectKey(BYTE virtualKey, bool down);
void InjectWheel(POINT screen, int delta);
// Everything a test may want to know about a window, whatever its thread.
WindowState ReadWindow(HWND hwnd);
// Dispatches the calling thread's messages (paint and due timers too) until
// none is left or `limit` were dispatched; returns how many were.
int PumpMessages(int limit = 10000);
// Turns the device screen.
void SetLandscape(bool landscape);
// Makes the device report another platform type ("PocketPC" by default).
void SetPlatformType(const std::wstring& type);
// Writes the screen as it stands to a PNG file at a host path (the
// build folder: people look at them); false when it could not.
bool SaveScreenPng(const std::string& hostPath);

}  // namespace qv::seams

// --- Shell (the service's own seam: platform/shell/ShellSeam.h) -------------------

namespace qv::seams {

using HandOff = qv::shell_seam::HandOff;
using HandOffKind = qv::shell_seam::HandOffKind;

// Hand-offs that pass the allow-lists are recorded instead of started.
void RecordHandOffs();
std::vector<HandOff> HandOffs();
// Whether a user interface is there to start anything on (unset: a desktop display is).
void SetUserInterface(bool present);
void SetInputPanelHeight(int pixels);
std::vector<std::wstring> SoundsPlayed();
int PowerCalls();
// The system power state GetSystemPowerState reports (POWER_STATE_*).
void SetPowerState(DWORD flag);

}  // namespace qv::seams
