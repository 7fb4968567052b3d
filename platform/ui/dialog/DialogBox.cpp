// Modal dialogs. The loop runs on the calling thread until EndDialog marks
// the dialog ended; a dialog shown from inside another's loop runs its own
// loop on top, so loops end innermost first. The owner is disabled while
// the box is up and enabled again before the box is destroyed, so that
// activation goes back to it.
#include "platform/kernel/Sync.h"
#include "platform/ui/dialog/DialogManager.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/queue/ModalLoop.h"

namespace qv::ui {

INT_PTR RunModal(HWND dialog, HWND owner, const std::function<void(HWND)>& firstIdle) {
  DialogData* data = DataOf(dialog);
  if (!data) return -1;
  const bool disableOwner = owner && !data->ended && IsWindowEnabled(owner);
  if (disableOwner) EnableWindow(owner, FALSE);
  const bool idleMessages = owner && !(GetWindowLongW(dialog, GWL_STYLE) & DS_NOIDLEMSG);
  if (!data->ended) {
    ShowWindow(dialog, SW_SHOWNORMAL);
    UpdateWindow(dialog);
  }
  bool toldIdle = false;
  INT_PTR result = -1;
  RunModalLoop({.ended =
                    [&] {
                      const DialogData* now = DataOf(dialog);
                      if (!now) return true;  // destroyed from outside
                      if (!now->ended) return false;
                      result = now->result;
                      return true;
                    },
                .idle =
                    [&] {
                      if (firstIdle && !toldIdle) {
                        toldIdle = true;
                        firstIdle(dialog);
                        return true;
                      }
                      if (idleMessages) {
                        SendNotifyMessageW(owner, WM_ENTERIDLE, MSGF_DIALOGBOX, reinterpret_cast<LPARAM>(dialog));
                      }
                      return false;
                    },
                .handle =
                    [&](MSG& msg) {
                      if (!IsDialogMessageW(dialog, &msg)) {
                        TranslateMessage(&msg);
                        DispatchMessageW(&msg);
                      }
                    }});
  if (disableOwner && IsWindow(owner)) EnableWindow(owner, TRUE);
  if (IsWindow(dialog)) DestroyWindow(dialog);
  // A box shown by a worker hands the foreground back to its owner's thread.
  if (owner && IsWindow(owner) && GetWindowThreadProcessId(owner, nullptr) != GetCurrentThreadId()) {
    SetForegroundWindow(owner);
  }
  return result;
}

}  // namespace qv::ui

using namespace qv::ui;

namespace {

INT_PTR Modal(HINSTANCE instance, const std::optional<DialogTemplate>& t, HWND owner, DLGPROC proc, LPARAM param) {
  if (!t) return -1;
  HWND top = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
  HWND dialog = MakeDialog(instance, *t, top, proc, param);
  return dialog ? RunModal(dialog, top) : -1;
}

}  // namespace

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC proc, LPARAM param) {
  return Modal(instance, LoadDialogTemplate(instance, templateName), owner, proc, param);
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND owner, DLGPROC proc,
                                LPARAM param) {
  auto t = DialogTemplate::Parse(dialogTemplate);
  if (!t) SetLastError(ERROR_INVALID_PARAMETER);
  return Modal(instance, t, owner, proc, param);
}

BOOL EndDialog(HWND hwnd, INT_PTR result) {
  DialogData* data = DataOf(hwnd);
  if (!data) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  data->result = result;
  data->ended = true;
  // A loop on another thread may be waiting for messages.
  if (GetWindowThreadProcessId(hwnd, nullptr) != GetCurrentThreadId()) PostMessageW(hwnd, WM_NULL, 0, 0);
  return TRUE;
}
