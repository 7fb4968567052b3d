// The receive and send histories of an account: the correspondents of the
// latest exchanges, newest first, one entry each, at most 21 per list, in
// "\recvhistory.dat" and "\sendhistory.dat" of the account folder. Writers
// name the account the mail belongs to; the history screen reads the lists
// of the account the UI selected last ("LastSelectAccount").
//
// File: two lines per entry, each ended by "\n": the correspondent, then the
// 14-digit time stamp. Every rewrite goes through the "_tmp" copy and the
// safe-replace commit under "MailHistory Mutex", so receive and send tasks
// of any process never lose each other's entries.
#pragma once

#include <list>
#include <string>
#include <string_view>

#include "engine/public/QvMiddleExport.h"

class QvAccountInfoInterface;

struct st_MAILHISTORYDATA {
  std::string strDate;     // "%04d%02d%02d%02d%02d%02d", local time
  std::string strAddress;  // the correspondent: the key of the list
};

class QVMIDDLE_API MailHistory {
 public:
  static constexpr size_t kMaxEntries = 21;
  // The reader's line buffer: a longer line is no entry.
  static constexpr size_t kLineBuffer = 2048;

  // Makes both files in the selected account's folder when they are missing.
  MailHistory();
  ~MailHistory();
  MailHistory(const MailHistory&) = delete;
  MailHistory& operator=(const MailHistory&) = delete;

  // Adds the entry to the history of `account`: 0, or -1 when the entry is
  // refused (a field empty, holding CR, LF or NUL, or too long to read
  // back), the account has no folder, or the file cannot be read or written.
  int RegistRecvHistoryData(st_MAILHISTORYDATA* entry, QvAccountInfoInterface* account);
  int RegistSendHistoryData(st_MAILHISTORYDATA* entry, QvAccountInfoInterface* account);
  // Adds the entries, oldest first, with one rewrite of the file; -1 as above
  // when any entry is refused.
  int RegistRecvHistoryData(const std::list<st_MAILHISTORYDATA>& entries, QvAccountInfoInterface* account);
  // Appends the selected account's entries, newest first; the count, 0 for
  // an empty file, -1 when there is no selected account or no file.
  int GetRecvHistoryList(std::list<st_MAILHISTORYDATA>* out);
  int GetSendHistoryList(std::list<st_MAILHISTORYDATA>* out);
  void ClearHistData(st_MAILHISTORYDATA* entry);

  // The file's text as entries and back. A pair is an entry only when both
  // lines are complete and hold text; an over-long line spoils only its pair.
  static std::list<st_MAILHISTORYDATA> ParseHistoryText(std::string_view text);
  static std::string FormatHistoryText(const std::list<st_MAILHISTORYDATA>& entries);
  static bool IsStorableEntry(const st_MAILHISTORYDATA& entry);

 private:
  // The history file of the selected account; false when there is none.
  bool SetAccountPath(bool receive);
  bool GetAccountPath(bool receive, std::wstring* path) const;
  static std::wstring FileIn(const std::wstring& folder, bool receive);
  int ReadHistoryList();
  int UpdateHistoryList(const st_MAILHISTORYDATA& entry);
  int RegistData(const std::list<st_MAILHISTORYDATA>& entries);
  int WriteData();
  int GetHistoryList(std::list<st_MAILHISTORYDATA>* out);
  int Regist(bool receive, const std::list<st_MAILHISTORYDATA>& entries, QvAccountInfoInterface* account);

  std::wstring path_;
  std::list<st_MAILHISTORYDATA> list_;
};
