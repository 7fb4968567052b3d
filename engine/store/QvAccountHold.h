// The hold a receive, a send or a feed run keeps on its account for the whole
// run, and that deleting or renaming the account asks for too: one holder per
// account at a time, across the threads of a process and across processes.
// Two receives of one account would both store what the server lists, and in
// delete mode one would delete on the server what the other only fetched.
//
// It never waits: a hold that cannot be had now is refused, and the caller
// reports the account as busy. The account is known by its folder (the
// resolved path, case-folded), so every spelling of it is one account, and a
// rename, which keeps the folder, keeps the hold's identity.
//
// Between processes it is a named mutex, whose lock goes with a dead holder's
// process. That mutex is recursive for its owner thread, so the holders of
// this process are also kept in a table of their own: a thread that holds an
// account is refused like any other, whether it asks from an observer's
// callback or a nested run. A hold is let go by the thread that took it.
#pragma once

#include <string>

#include "platform/base/WinTypes.h"

class QvAccountInfoInterface;

class QvAccountHold {
 public:
  // The account whose folder is `folderPath` (without a trailing "\").
  explicit QvAccountHold(const std::wstring& folderPath);
  // An open account; one without a folder has nothing to share and is held.
  explicit QvAccountHold(QvAccountInfoInterface* account);
  ~QvAccountHold();
  QvAccountHold(const QvAccountHold&) = delete;
  QvAccountHold& operator=(const QvAccountHold&) = delete;

  bool Held() const { return held_; }

 private:
  // The same for every spelling of one folder.
  static std::wstring MutexName(const std::wstring& folderPath);
  void Take(const std::wstring& folderPath);

  std::wstring name_;
  HANDLE mutex_ = nullptr;
  bool reserved_ = false;  // entered in this process's table
  bool held_ = false;
};
