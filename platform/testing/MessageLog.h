// Message-sequence tables for window tests: a log of the messages window
// procedures receive (on any thread), compared with a table of expected
// entries and printed by name when they differ. A WM_NOTIFY entry carries its
// notification code and what the notification names (the custom-draw stage,
// the list row or column, the tree item, the old and new states, the tree's
// action), so one table language serves windows and common controls.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/ui/queue/UiSeam.h"

namespace qv::seams {

// Flags of an expected entry.
namespace seq {
constexpr unsigned sent = 1u;        // by SendMessage (or the system's own send)
constexpr unsigned posted = 2u;      // taken from the queue and dispatched
constexpr unsigned parent = 4u;      // received by the subject's parent
constexpr unsigned other = 8u;       // received by any other window (a child, a sibling)
constexpr unsigned defwinproc = 16u; // sent from inside DefWindowProcW
constexpr unsigned optional = 32u;   // may be missing
constexpr unsigned wparam = 64u;     // wParam is compared
constexpr unsigned lparam = 128u;    // lParam is compared
constexpr unsigned code = 256u;      // the notification code is compared (WM_NOTIFY)
constexpr unsigned stage = 512u;     // the custom-draw stage is compared (NM_CUSTOMDRAW), with its item
constexpr unsigned item = 1024u;     // the item the notification names is compared
constexpr unsigned states = 2048u;   // the old and new states are compared (list views)
constexpr unsigned action = 4096u;   // the tree view's action is compared
}  // namespace seq

struct MsgEntry {
  UINT message;
  unsigned flags;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  UINT code = 0;        // WM_NOTIFY: the notification code
  DWORD stage = 0;      // NM_CUSTOMDRAW: the draw stage
  // The item a notification names: the item drawn (custom draw), the list's
  // row (its column for LVN_COLUMNCLICK), the header's column, the tree's
  // item (the one going for TVN_DELETEITEM, else the new one); -1 for none.
  DWORD_PTR item = 0;
  UINT oldState = 0;    // a list view's item change: the states before and after
  UINT newState = 0;
  UINT action = 0;      // a tree view's notification: how it came about
};

class MessageLog {
 public:
  // Records every message every window procedure receives from now on.
  MessageLog();
  ~MessageLog();
  MessageLog(const MessageLog&) = delete;
  MessageLog& operator=(const MessageLog&) = delete;

  // Leaves out messages of these numbers (noise a test does not look at).
  void Ignore(std::vector<UINT> messages);
  // Records only messages of these numbers (none given: all).
  void Keep(std::vector<UINT> messages);
  // Records only notifications of these codes (none given: all).
  void KeepCodes(std::vector<UINT> codes);
  void Clear();
  // Empty when what was recorded matches `expected`, relative to `subject`;
  // otherwise both sequences, by name.
  std::string Compare(HWND subject, const std::vector<MsgEntry>& expected) const;
  // The messages of one window, in order.
  std::vector<UINT> MessagesOf(HWND hwnd) const;
  // The notification codes `hwnd` received (WM_NOTIFY), in order.
  std::vector<UINT> NotificationsTo(HWND hwnd) const;
  // The notifications `hwnd` received, with what each names, in order.
  std::vector<MsgEntry> NotesTo(HWND hwnd) const;

 private:
  struct Seen {
    qv::ui_seam::Observed what;
    HWND parent;
    MsgEntry note;  // a notification's code and what it names
  };
  mutable std::mutex lock_;
  std::vector<Seen> seen_;
  std::vector<UINT> ignored_;
  std::vector<UINT> kept_;
  std::vector<UINT> keptCodes_;
  int id_ = 0;
};

// "WM_CREATE", or the number in hex.
std::string MessageName(UINT message);
// "LVN_ITEMCHANGED", or the code as a signed number.
std::string NotificationName(UINT code);
// Names a program's private message; a number named twice (messages of
// different windows) prints both names.
void AddMessageName(UINT message, const std::string& name);
// Names a program's command id: WM_COMMAND entries print it.
void AddCommandName(UINT id, const std::string& name);

}  // namespace qv::seams
