// The operations that move mail between the device and the servers: receive
// one account, receive the rest of partially received messages, the periodic
// pass over the accounts, the automatic receive of the carrier account,
// clearing the server, and sending; with the password prompts they need.
//
// Each runs on the thread that calls it: a task thread under the progress
// window, or one of the two background threads. None of them touches the UI
// thread's engine objects: each opens the account it works on by name on its
// own thread (TaskAccountObjects) and reaches the windows only by posting
// (the refresh broadcast, the sink's progress messages). The engine object of
// a run is kept in the task state for the whole run, so a cancel from the UI
// thread reaches it from the moment it exists; a cancel that comes before the
// engine call starts ends that call at its start.
//
// Results follow the task framework: true on success; a refusal (busy, no
// account, no holder, no password, nothing to send) is false with the code
// left 0 and no message; engine failures come back as the sink's code and
// detail.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "platform/base/WinTypes.h"
#include "platform/framework/CString.h"
#include "platform/framework/CWnd.h"

class QvAccountInfoInterface;
class QvRasHolder;
struct MailTaskOperations;

bool ReceiveAccountByName(const std::wstring& name, HWND owner, uint32_t* code, int32_t* detail, QvRasHolder* holder);
// `account` is the caller's, opened on the calling thread; `name` its name.
bool ReceiveAccount(QvAccountInfoInterface* account, const std::wstring& name, HWND owner, uint32_t* code,
                    int32_t* detail, QvRasHolder* holder);
// Of the current account.
bool ReceiveSelectedMessages(const std::list<unsigned long>& ids, HWND owner, uint32_t* code, int32_t* detail,
                             QvRasHolder* holder);
// One pass over the periodic accounts: plain ones first, the TLS ones after
// them (all of them, however many). An account that cannot be opened is
// left out and the pass goes on. True when the last account received well.
bool RunPeriodicReceive();
// One receive of the carrier account; true when the carrier account could be
// looked up afterwards.
bool RunAutoReceive();
// Empties the current account's mailbox on the server, after asking. Runs as
// a task under the progress window (abort cancels it); notices its result.
void ClearMessagesOnServer(CWnd* parent);
// The whole outbox for an empty list, else the listed messages; true when
// nothing failed (the engine's run and the sink agree).
bool SendMessages(HWND owner, uint32_t* code, int32_t* detail, QvRasHolder* holder, std::vector<unsigned long> ids);

// The password a run of the account needs: empty when the account keeps its
// own (the engine uses the saved one), else the one typed this run or asked
// for now (`typed` true then). False when none is to be had or the prompt
// was cancelled.
bool PromptPopPassword(QvAccountInfoInterface* account, const std::wstring& name, CString* password, bool* typed);
bool PromptSmtpPassword(QvAccountInfoInterface* account, const std::wstring& name, CString* password, bool* typed);
// The POP password as the engine takes it (ANSI code page).
bool GetAccountPassword(QvAccountInfoInterface* account, const std::wstring& name, std::string* password, bool* typed);
// Forgets a typed POP password; with `remember` the next one typed is kept
// for the runs that follow, until the next reset.
void ResetRememberedPassword(bool remember);
// The error box for a failed send.
void ShowSendResult(uint32_t code, int32_t detail, CWnd* parent);

// Fills the receive, send and background-pass entries of the table (the
// others are left as they are); the caller installs the table.
void AddReceiveSendOperations(MailTaskOperations* operations);
// Adds them to the installed table.
void InstallReceiveSendOperations();

// The dialog the password prompts run, replaceable by a test: answers true
// with the typed text, false when cancelled. Null puts the real one back.
struct PasswordPromptRequest {
  HWND parent = nullptr;
  std::wstring message;  // the account name
  bool showNote = false;
};
using PasswordPromptRunner = bool (*)(const PasswordPromptRequest& request, CString* password);
void SetPasswordPromptRunnerForTest(PasswordPromptRunner runner);
