// Makes the default folders of a new mail or feed account: the four trays
// below the storage's root, their ids stored in the account's settings, and
// for a mail account three folders below the inbox and below the sent box.
// An account that does not exist yet is created first.
#pragma once

#include <string>

#include "engine/public/QvMiddleExport.h"

class QVMIDDLE_API QvAccountCreator {
 public:
  QvAccountCreator() = default;
  ~QvAccountCreator() = default;

  bool CreateFolders(const std::wstring& name);
  bool CreateFeedFolders(const std::wstring& name, const std::wstring& key);
};
