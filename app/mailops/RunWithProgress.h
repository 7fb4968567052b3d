// The run-with-progress entry points: what the program's windows call to
// send, receive, import or export. Each checks the busy state, builds the
// task and the connection holder, runs the progress window over `parent`
// and reports the outcome in a box once the window has closed. A run that is
// refused says why in a box of its own.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "platform/framework/CWnd.h"

// Notices and questions by string id.
constexpr UINT kStringExported = 20047;
constexpr UINT kStringImported = 20049;
constexpr UINT kStringBatchAskAfterFailure = 20056;
constexpr UINT kStringBatchAskAfterAbort = 20057;
constexpr UINT kStringReceived = 20058;
constexpr UINT kStringSent = 20062;
constexpr UINT kStringSentAndReceived = 20063;
constexpr UINT kStringNothingToDownload = 20138;

// Engine codes the entry points tell apart: a run the user stopped, and a
// download with nothing left on the server.
constexpr uint32_t kCodeAborted = 0x2002008;
constexpr uint32_t kCodeNothingLeft = 0x200201c;

bool ImportMessagesWithProgress(CWnd* parent, DWORD folderId, const std::list<std::wstring>& files);
bool ExportMessagesWithProgress(CWnd* parent, const std::wstring& path, const std::vector<unsigned long>& ids);
bool SendMessagesWithProgress(CWnd* parent, const std::vector<unsigned long>& ids);
// `account` null: the current account.
bool ReceiveAccountWithProgress(CWnd* parent, LPCWSTR account = nullptr);
bool ReceiveSelectedWithProgress(CWnd* parent, const std::list<unsigned long>& ids);
bool SendAndReceiveWithProgress(CWnd* parent);
bool BatchReceiveWithProgress(CWnd* parent);

// One line of the batch receive's result page.
struct RoundRecvResult {
  std::wstring account;
  int count = 0;
  uint32_t code = 0;
};
// Shows the result page of a batch receive over `parent`, modally.
void ShowRoundRecvResults(CWnd* parent, const std::vector<RoundRecvResult>& rows);
