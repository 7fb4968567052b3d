#include "platform/framework/CFile.h"

CFile::~CFile() { Close(); }

BOOL CFile::Open(LPCTSTR path, UINT flags) {
  Close();
  const UINT access = flags & 0x3u;
  const DWORD desired = access == modeWrite       ? GENERIC_WRITE
                        : access == modeReadWrite ? GENERIC_READ | GENERIC_WRITE
                                                  : GENERIC_READ;
  DWORD share = 0;
  switch (flags & 0x70u) {
    case shareDenyWrite:
      share = FILE_SHARE_READ;
      break;
    case shareDenyRead:
      share = FILE_SHARE_WRITE;
      break;
    case shareDenyNone:
      share = FILE_SHARE_READ | FILE_SHARE_WRITE;
      break;
    default:  // exclusive, and the compatibility mode read as exclusive
      break;
  }
  DWORD creation = OPEN_EXISTING;
  if (flags & modeCreate) creation = (flags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
  m_hFile = ::CreateFileW(path, desired, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
  return m_hFile != INVALID_HANDLE_VALUE;
}

void CFile::Close() {
  if (m_hFile == INVALID_HANDLE_VALUE) return;
  ::CloseHandle(m_hFile);
  m_hFile = INVALID_HANDLE_VALUE;
}

UINT CFile::Read(void* buffer, UINT count) {
  DWORD read = 0;
  if (!IsOpen() || !::ReadFile(m_hFile, buffer, count, &read, nullptr)) return 0;
  return read;
}

BOOL CFile::Write(const void* buffer, UINT count) {
  DWORD written = 0;
  return IsOpen() && ::WriteFile(m_hFile, buffer, count, &written, nullptr) && written == count;
}

LONGLONG CFile::Seek(LONGLONG offset, UINT from) {
  if (!IsOpen()) return -1;
  LONG high = static_cast<LONG>(offset >> 32);
  ::SetLastError(0);
  const DWORD low = ::SetFilePointer(m_hFile, static_cast<LONG>(offset & 0xFFFFFFFF), &high, from);
  if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != 0) return -1;
  return (static_cast<LONGLONG>(high) << 32) | low;
}

ULONGLONG CFile::GetLength() const {
  if (!IsOpen()) return 0;
  DWORD high = 0;
  const DWORD low = ::GetFileSize(m_hFile, &high);
  return (static_cast<ULONGLONG>(high) << 32) | low;
}
