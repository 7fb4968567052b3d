// Objects that take commands and messages through a message map: a table
// per class, built at compile time by the BEGIN_MESSAGE_MAP macros
// (MessageMap.h), chained to the base class's table. OnCmdMsg looks a
// command up along that chain.
#pragma once

#include "platform/framework/CObject.h"

class CCmdTarget;

// One call as a map entry's handler receives it.
struct AFX_CALL {
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  UINT nID = 0;
  int nCode = 0;
  void* pExtra = nullptr;  // CCmdUI* for updates, AFX_NOTIFY* for notifications
  LRESULT result = 0;
};

// Calls the member function an entry names; FALSE when the handler let the
// call go on (the _EX handlers, an update handler that continued routing).
typedef BOOL (*AFX_PMSG)(CCmdTarget* target, AFX_CALL& call);

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;
  UINT nCode;     // control notification or command code
  UINT nID;       // control or command id, first of a range
  UINT nLastID;   // last of the range
  UINT_PTR nSig;  // the handler's kind (AfxSig_end closes a table)
  AFX_PMSG pfn;
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

// Who would take a command (OnCmdMsg with pHandlerInfo asks without calling).
struct AFX_CMDHANDLERINFO {
  CCmdTarget* pTarget;
  AFX_PMSG pmf;
};

class QV_PLATFORM_API CCmdTarget : public CObject {
 public:
  // Routes a command, an update (nCode CN_UPDATE_COMMAND_UI, pExtra the
  // CCmdUI) or a notification (nCode MAKELONG(code, WM_NOTIFY)) through this
  // object's map. With pHandlerInfo, only reports whether a handler exists.
  virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo);

  // The application's wait cursor, counted.
  void BeginWaitCursor();
  void EndWaitCursor();
  void RestoreWaitCursor();

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;

  // The first entry along the map chain for a message, code and id; null for none.
  const AFX_MSGMAP_ENTRY* FindEntry(UINT message, UINT code, UINT id) const;
};

// Finds an entry in one table.
QV_PLATFORM_API const AFX_MSGMAP_ENTRY* AfxFindMessageEntry(const AFX_MSGMAP_ENTRY* entries, UINT message, UINT code,
                                                            UINT id);
