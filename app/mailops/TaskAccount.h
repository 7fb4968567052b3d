// What a task thread works on: its own account and storage, opened by name
// on its own thread, never the UI thread's objects. The UI thread takes a
// snapshot of the current account when it starts the task.
#pragma once

#include <memory>
#include <string>

#include "platform/base/WinTypes.h"

class QvAccountInfoInterface;
class QvStorageInterface;

struct MailTaskAccount {
  std::wstring name;
  DWORD systemFolderIds[4] = {0, 0, 0, 0};
  bool carrier = false;  // the carrier's own account
};

// The current account as a task will need it; false when none is open or
// off the owner thread.
bool CaptureMailTaskAccount(MailTaskAccount* account);
// The same from any thread: the account as the owner thread last opened,
// renamed or closed it (a task's lease keeps it from changing meanwhile);
// false when none is open.
bool CurrentTaskAccount(MailTaskAccount* account);

// The task's own engine objects, opened on the task's thread.
class TaskAccountObjects {
 public:
  TaskAccountObjects();
  ~TaskAccountObjects();
  TaskAccountObjects(const TaskAccountObjects&) = delete;
  TaskAccountObjects& operator=(const TaskAccountObjects&) = delete;
  // No error box: the caller reports (it may be a task thread).
  bool Open(const std::wstring& name);
  QvAccountInfoInterface* Account() const { return account_.get(); }
  QvStorageInterface* Storage() const { return storage_.get(); }

 private:
  std::unique_ptr<QvAccountInfoInterface> account_;
  std::unique_ptr<QvStorageInterface> storage_;
};
