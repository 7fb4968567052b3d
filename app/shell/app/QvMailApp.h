// The application object: one copy of the program runs, a second start hands
// its command line to the first and ends; the resource library and the
// rich-edit provider are loaded (without them the program does not start);
// the main frame is made; and the Back key closes the innermost page or
// dialog.
#pragma once

#include "platform/framework/CWinApp.h"

// The texts the program shows when a library it needs is missing (before its
// resources are there).
constexpr const wchar_t* kNoResourceLibrary = L"Unable to load library(QvMailRes.dll)";
constexpr const wchar_t* kNoRichEdit = L"Unable to load library(riched20.dll)";
// The framework's settings key.
constexpr const wchar_t* kFrameworkRegistryKey = L"アプリケーション ウィザードで生成されたローカル アプリケーション";

class QvMailApp : public CWinApp {
 public:
  QvMailApp();

  BOOL InitInstance() override;
  int ExitInstance() override;
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL InitApplication() override;
  // Between turns of the message loop, keeps the "program in use" flag the
  // engine's receive asks about from its own thread.
  BOOL OnIdle(LONG count) override;

  // How long a second start looks for the running copy's window.
  int runningCopyTries = qv::afx::kRunningCopyTries;
  DWORD runningCopyStepMs = qv::afx::kRunningCopyStepMs;

 private:
  HMODULE resources_ = nullptr;
  HMODULE richEdit_ = nullptr;
  bool sockets_ = false;
  bool com_ = false;
  int exitCode_ = 0;  // why the program did not start
};

// The exit codes of a start that could not go on.
constexpr int kExitMissingLibrary = 1;
constexpr int kExitNoScreen = 2;

// The libraries the program cannot run without: the resource library (made
// the resource handle) and the rich-edit provider. On a failure the text of
// the box the program shows and false; what was loaded stays loaded.
bool LoadProgramLibraries(HMODULE* resources, HMODULE* richEdit, const wchar_t** failure);

// The Back key (key-down of VK_BACK) outside an editable field: the nearest
// dialog below the main frame or a disabled owner is sent 0x48E; true when
// one was (the key is then spent).
bool RouteBackKey(const MSG* msg);

// The screens the main frame opens that this program has so far: the folder
// screens and the settings launcher.
void InstallScreenRunners();

// Places `window` at `width` x `height`, centred in its parent's rectangle.
void CenterWindowInParent(CWnd* window, int width, int height);
