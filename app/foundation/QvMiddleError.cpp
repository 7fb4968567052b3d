#include "app/foundation/QvMiddleError.h"

#include "app/foundation/CloseRequest.h"
#include "app/foundation/MessageBoxes.h"
#include "app/foundation/UiRegistry.h"

// clang-format off
// The first row whose range holds a code wins: 20503 (a header the folder no
// longer holds, another window removed the mail) sits before the program's
// out-of-memory range, since it is no lack of memory and must not close.
const QvMiddleErrorRow QvMiddleErrorTable[] = {
    {0x2000001, 0x20001FF, 20089, 1}, {0x2000200, 0x20003FF, 20090, 0}, {0x2000400, 0x20005FF, 20091, 1},
    {0x2000900, 0x20009FF, 20113, 0}, {20503, 20503, 20244, 0},         {0x5000, 0x5499, 20091, 1},
    {0x5FFF, 0x5FFF, 20089, 1},
    {0x2002001, 0x2002001, 20092, 0}, {0x2002002, 0x2002002, 20096, 0}, {0x2002003, 0x2002003, 20093, 0},
    {0x2002004, 0x2002004, 20094, 0}, {0x2002005, 0x2002005, 20093, 0}, {0x2002006, 0x2002006, 20095, 0},
    {0x2002007, 0x2002007, 20096, 0}, {0x2002008, 0x2002008, 20097, 0}, {0x200200B, 0x200200B, 20100, 0},
    {0x200200C, 0x200200C, 20091, 1}, {0x200200D, 0x200200D, 20101, 0}, {0x200200E, 0x200200E, 20095, 0},
    {0x2002010, 0x2002010, 20095, 0}, {0x200200F, 0x200200F, 20095, 0}, {0x2002011, 0x2002011, 20095, 0},
    {0x2002012, 0x2002012, 20095, 0}, {0x2002013, 0x2002013, 20095, 0}, {0x2002014, 0x2002014, 20095, 0},
    {0x2002015, 0x2002015, 20095, 0}, {0x2002016, 0x2002016, 20095, 0}, {0x2002017, 0x2002017, 20095, 0},
    {0x2002019, 0x2002019, 20123, 0}, {0x200201A, 0x200201A, 20124, 0}, {0x200201C, 0x200201C, 20126, 0},
    {0x200201D, 0x200201D, 20127, 0}, {0x200201E, 0x200201E, 20128, 0}, {0x200201F, 0x200201F, 20129, 0},
    {0x2002101, 0x2002101, 20102, 0}, {0x2002102, 0x2002102, 20096, 0}, {0x2002103, 0x2002103, 20093, 0},
    {0x2002104, 0x2002104, 20103, 0}, {0x2002105, 0x2002105, 20104, 0}, {0x2002106, 0x2002106, 20093, 0},
    {0x2002107, 0x2002107, 20095, 0}, {0x2002108, 0x2002108, 20095, 0}, {0x200210B, 0x200210B, 20119, 0},
    {0x200210C, 0x200210C, 20120, 0}, {0x200210D, 0x200210D, 20132, 0}, {0x200210F, 0x200210F, 20106, 0},
    {0x2002110, 0x2002110, 20107, 0}, {0x2002111, 0x2002111, 20114, 0}, {0x2002112, 0x2002112, 20108, 0},
    {0x2002118, 0x2002118, 20121, 0}, {0x2002119, 0x2002119, 20122, 0}, {0x2000806, 0x2000806, 20121, 0},
    {0x2000805, 0x2000805, 20133, 0}, {0x2000804, 0x2000804, 20121, 0}, {0x2000807, 0x2000807, 20134, 0},
    {0x2000808, 0x2000808, 20131, 0}, {0x2000601, 0x2000601, 20093, 0}, {0x5F00, 0x5F00, 20176, 1},
    // Export and import runs, mail text that cannot be read, and a task
    // refused before it started (it reports code 0) have messages of their own.
    {0x2004001, 0x2004006, 20240, 0}, {0x2004101, 0x2004107, 20241, 0}, {0x2000801, 0x2000803, 20242, 0},
    {0x0, 0x0, 20243, 0},
};
// clang-format on
const size_t QvMiddleErrorRowCount = sizeof QvMiddleErrorTable / sizeof QvMiddleErrorTable[0];

std::atomic<UINT> DetailStringId{0};

namespace {

constexpr uint32_t kSilentCode = 0x200008B;  // a stored message's interrupted save was settled
constexpr uint32_t kPageClosedCode = 0x5F00;  // the page closes itself: no WM_CLOSE
constexpr UINT kSendBoxNameText = 20107;
constexpr UINT kNoticeText = 20126;
constexpr UINT kDetailText = 20134;
constexpr UINT kArgumentTexts[] = {20114, 20127};
constexpr int kSendBoxKind = 3;

SystemFolderItemLookup g_folderLookup = nullptr;

// Callers pass (LPCWSTR)-1 when they have nothing to add.
LPCWSTR ArgumentText(LPCWSTR argument) {
  return argument && reinterpret_cast<uintptr_t>(argument) != static_cast<uintptr_t>(-1) ? argument : L"";
}

CString Filled(UINT stringId, LPCWSTR value) {
  CString text;
  text.Format(static_cast<LPCWSTR>(LoadResString(stringId)), value);
  return text;
}

void ShowRow(UINT stringId, HWND owner, LPCWSTR argument) {
  if (stringId == kSendBoxNameText) {
    QvSystemFolderItem sendBox;
    if (g_folderLookup && g_folderLookup(kSendBoxKind, &sendBox)) {
      ShowErrorBox(owner, Filled(stringId, sendBox.displayName));
    }
    return;
  }
  for (UINT id : kArgumentTexts) {
    if (stringId == id) {
      ShowErrorBox(owner, Filled(stringId, ArgumentText(argument)));
      return;
    }
  }
  if (stringId == kNoticeText) {
    ShowNoticeBoxRes(owner, stringId);
  } else if (stringId == kDetailText) {
    ShowErrorBox(owner, Filled(stringId, LoadResString(DetailStringId.load())));
  } else {
    ShowErrorBoxRes(owner, stringId);
  }
}

}  // namespace

const QvMiddleErrorRow* FindQvMiddleErrorRow(uint32_t code) {
  for (size_t i = 0; i < QvMiddleErrorRowCount; ++i) {
    const QvMiddleErrorRow& row = QvMiddleErrorTable[i];
    if (row.first <= code && code <= row.last) return &row;
  }
  return nullptr;
}

void SetSystemFolderItemLookup(SystemFolderItemLookup lookup) { g_folderLookup = lookup; }

int ShowQvMiddleError(uint32_t code, HWND owner, LPCWSTR argument) {
  if (HWND active = GetActiveWindow()) owner = active;
  WriteErrorDetailCode(code);
  if (code == kSilentCode) return 0;
  const QvMiddleErrorRow* row = FindQvMiddleErrorRow(code);
  if (!row) return 0;
  if (!ClosePendingFlag) ShowRow(row->stringId, owner, argument);
  // The detail belongs to this report only, shown or not.
  if (row->stringId == kDetailText) DetailStringId = 0;
  if (row->close && code != kPageClosedCode && MainFrameWindow && MainFrameWindow->m_hWnd) {
    ::PostMessageW(MainFrameWindow->m_hWnd, WM_CLOSE, 0, 0);
  }
  return static_cast<int>(row->close);
}
