// The exported face of one open folder. This header holds the records and the
// observer interface that the store nodes, the folder lists and the header
// cache exchange with it; the facade's own methods join them here.
#pragma once

#include <cstdint>
#include <string>

#include "engine/QvMiddleExport.h"
#include "platform/base/WinTypes.h"

class QVMIDDLE_API QvFolderInterface {
 public:
  // Mask bit 0: the name is given (write) or wanted (read).
  struct FolderAttributes {
    uint32_t mask = 0;
    std::wstring name;
  };

  // One record of a folder's header cache, as the mail lists read it. Texts
  // are NUL-terminated; on disk each is UTF-16LE in a field of the same
  // number of units (see QvMessageHeader for the byte layout).
  struct FolderMsgHeader {
    uint32_t id;
    wchar_t toAddress[257];
    wchar_t fromAddress[257];
    wchar_t fromName[32];
    wchar_t subject[32];
    SYSTEMTIME date;  // UTC in the file, local time when loaded for a list
    uint32_t reserved;
  };

  // Observer of a node: operation 0 hears of a change in the list of child
  // folders, operation 1 of a message added or its flags changed.
  class Notify {
   public:
    virtual ~Notify() = default;
    virtual void FolderChanged(uint32_t folderId) = 0;
    virtual void MessageChanged(uint32_t messageId) = 0;
  };
};
