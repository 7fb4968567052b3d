// What the mail-list screen opens that other parts of the program own: the
// message window (read, reply, forward, edit a stored message), the move
// target choice and the rule editor. Each is installed by the part that owns
// it when the program starts; an empty one does nothing (a choice then
// chooses nothing). The screen runs them on the UI thread and waits for
// them: a refresh that arrives meanwhile is held back until they return.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/mailops/QvAccountSettings.h"
#include "platform/framework/CWnd.h"

// Where a move goes: an existing folder, or a new folder to be made below
// `folderId` under `name`.
struct MailMoveTarget {
  bool newFolder = false;
  DWORD folderId = 0;
  std::wstring name;
};

// The five texts a rule starts from: the first address list, the sender,
// the second address list (each as bare addresses joined by ", "), the
// subject and an empty fifth.
struct RuleSourceTexts {
  std::wstring firstList;
  std::wstring sender;
  std::wstring secondList;
  std::wstring subject;
  std::wstring fifth;
};

struct MailListRunners {
  std::function<void(CWnd* list, DWORD folderId, DWORD messageId)> viewMessage;
  std::function<void(CWnd* list, DWORD messageId, bool all, bool quote)> replyMessage;
  std::function<void(CWnd* list, DWORD messageId)> forwardMessage;
  // `inDrafts`: the list is the drafts; `asNew`: the message is not unsent
  // (it becomes a new draft, the stored one is left alone).
  std::function<void(CWnd* list, DWORD messageId, DWORD folderId, bool inDrafts, bool asNew)> editStoredMessage;
  // The move sheet over `folderId`'s messages, captioned `caption`; true
  // with the target on OK.
  std::function<bool(CWnd* list, const std::wstring& caption, DWORD folderId, MailMoveTarget* target)>
      chooseMoveTarget;
  // The rule editor captioned `caption` on an empty rule; true with the
  // edited rule on OK.
  std::function<bool(CWnd* list, const std::wstring& caption, const RuleSourceTexts& texts,
                     const std::vector<std::wstring>& names, QvClassificationRuleRow* rule)>
      editRule;
};

MailListRunners& MailListScreenRunners();
