// A file of the device through the kernel's handles: open, read, write,
// seek, length and close; the object closes what it opened.
#pragma once

#include "platform/framework/CObject.h"
#include "platform/kernel/Files.h"

class QV_PLATFORM_API CFile : public CObject {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeNoTruncate = 0x0100,
    modeCreate = 0x1000,
    typeBinary = 0x8000,
  };
  enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

  CFile() = default;
  ~CFile() override;
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // FALSE (GetLastError tells why) when the file cannot be opened so.
  BOOL Open(LPCTSTR path, UINT flags);
  void Close();
  BOOL IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
  // Bytes read: fewer than asked at the end of the file, 0 on a failure.
  UINT Read(void* buffer, UINT count);
  BOOL Write(const void* buffer, UINT count);
  // The new position from the start; -1 on a failure.
  LONGLONG Seek(LONGLONG offset, UINT from);
  ULONGLONG GetLength() const;

  HANDLE m_hFile = INVALID_HANDLE_VALUE;
};
