#include "platform/framework/CCmdTarget.h"

#include "platform/framework/CWinApp.h"
#include "platform/framework/MessageMap.h"

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static constexpr AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, nullptr}};
  static constexpr AFX_MSGMAP map = {nullptr, &entries[0]};
  return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP_ENTRY* AfxFindMessageEntry(const AFX_MSGMAP_ENTRY* entry, UINT message, UINT code, UINT id) {
  for (; entry->nSig != AfxSig_end; ++entry) {
    if (entry->nMessage == message && entry->nCode == code && id >= entry->nID && id <= entry->nLastID) return entry;
  }
  return nullptr;
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindEntry(UINT message, UINT code, UINT id) const {
  for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
    if (const AFX_MSGMAP_ENTRY* e = AfxFindMessageEntry(map->lpEntries, message, code, id)) return e;
  }
  return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  // Updates keep their code whole; others carry the message in the high word.
  UINT message = 0;
  UINT code = static_cast<UINT>(nCode);
  if (nCode != CN_UPDATE_COMMAND_UI) {
    message = HIWORD(static_cast<UINT>(nCode));
    code = LOWORD(static_cast<UINT>(nCode));
  }
  if (message == 0) message = WM_COMMAND;
  const AFX_MSGMAP_ENTRY* entry = FindEntry(message, code, nID);
  if (!entry) return FALSE;
  if (pHandlerInfo) {
    pHandlerInfo->pTarget = this;
    pHandlerInfo->pmf = entry->pfn;
    return TRUE;
  }
  AFX_CALL call;
  call.message = message;
  call.nID = nID;
  call.nCode = static_cast<int>(code);
  call.pExtra = pExtra;
  return entry->pfn(this, call);
}

void CCmdTarget::BeginWaitCursor() {
  if (CWinApp* app = AfxGetApp()) app->DoWaitCursor(1);
}

void CCmdTarget::EndWaitCursor() {
  if (CWinApp* app = AfxGetApp()) app->DoWaitCursor(-1);
}

void CCmdTarget::RestoreWaitCursor() {
  if (CWinApp* app = AfxGetApp()) app->DoWaitCursor(0);
}
