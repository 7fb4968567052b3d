// Small utilities every store, settings and transport class shares: the safe
// replacement of a rewritten file, registry helpers, the reference counter,
// scope lists, and the hooks into the platform (receive timer, dialling, the
// server-certificate check).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <list>
#include <string>

#include "engine/QvMiddleExport.h"
#include "platform/registry/Registry.h"

// Settles what an interrupted save of `target` left behind ("_tmp" copy,
// "_bak" backup). Returns an engine code (0x2000000 on success); the error
// word is not touched.
uint32_t RestoreInterruptedFile(const std::wstring& target, const std::wstring& temp);
// Makes the closed temporary copy the target through a backup. Returns a code.
uint32_t ReplaceFileWithTemp(const std::wstring& target, const std::wstring& temp);

// True when the file exists, even while another handle holds it open.
bool FileIsPresent(const std::wstring& path);
// Runs one move, delete or replace step; while it fails because the file is
// busy (sharing violation) it is tried again up to 100 more times, 1 ms apart,
// printing `retryLine` (a format with the retry number) before each pause.
bool RetryWhileBusy(const std::function<BOOL()>& step, const wchar_t* retryLine);

QVMIDDLE_API bool GetRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name, std::wstring* out);
bool GetRegistryDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD* out);
bool SetRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text);
bool SetRegistryDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value);

// The count kept by every shared engine object; the owner deletes the object
// when Release returns 0.
class QvRefCounter {
 public:
  void Reset() { count_ = 0; }
  uint32_t AddRef() { return ++count_; }
  uint32_t Release() { return --count_; }
  void NullRelease() {}
  uint32_t Count() const { return count_; }

 private:
  uint32_t count_ = 0;
};

// Streams opened through the list are closed when it ends.
class AutoCloseFileList {
 public:
  AutoCloseFileList() = default;
  ~AutoCloseFileList();
  AutoCloseFileList(const AutoCloseFileList&) = delete;
  AutoCloseFileList& operator=(const AutoCloseFileList&) = delete;
  FILE* Open(const wchar_t* path, const wchar_t* mode);
  FILE* Open(const char* path, const char* mode);
  void Close(FILE* stream);

 private:
  std::list<FILE*> files_;
};

// Blocks allocated through the list are freed when it ends.
class AutoFreeMemList {
 public:
  AutoFreeMemList() = default;
  ~AutoFreeMemList();
  AutoFreeMemList(const AutoFreeMemList&) = delete;
  AutoFreeMemList& operator=(const AutoFreeMemList&) = delete;
  void* Alloc(size_t size);

 private:
  std::list<void*> blocks_;
};

QVMIDDLE_API uint32_t SetRecvTimer(bool on, int minutes);
QVMIDDLE_API int ExecDialing(int mode, const std::wstring& number);
// The secure sockets' certificate hook. `argument` is the host name as 8-bit
// text; `chain` points to a BLOB-shaped record {ULONG cbSize; BYTE* pBlobData}
// holding the DER leaf certificate; flag bit 0 says the issuer is unknown.
// Returns 0 to accept, 5 when the certificate cannot be decoded, 10 to refuse.
extern "C" QVMIDDLE_API DWORD certificateValidationCallback(DWORD type, void* argument, DWORD chainLength,
                                                            void* chain, DWORD flags);
