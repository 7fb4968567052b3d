#include "engine/public/store/QvMessageImporter.h"

#include <algorithm>
#include <memory>
#include <new>

#include "engine/public/content/Email.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/store/QvMessage.h"
#include "engine/public/store/QvMessageInterface.h"
#include "platform/base/ScopedHandle.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Memory.h"

namespace {

using Attr = QvMessageInterface;

bool Fail(uint32_t code) {
  SetQvMiddleError(code);
  return false;
}

// The reason a store or composer call left; a call that failed without one
// must not pass for success.
uint32_t WordOr(uint32_t fallback) {
  const uint32_t code = GetQvMiddleError();
  return code == QVMDL_SUCCESS || code == 0 ? fallback : code;
}

// The whole file up to its first zero byte. The size is checked against the
// store and free memory before anything is allocated, so a hostile file can
// neither exhaust memory nor make a message the store cannot hold.
uint32_t ReadMailFile(const std::wstring& path, std::string* raw) {
  qv::ScopedHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.is_valid()) return GetLastError() == ERROR_DISK_FULL ? QVMDL_ERR_IMP_DISK_FULL : QVMDL_ERR_IMP_OPEN;
  DWORD high = 0;
  const DWORD low = GetFileSize(file.get(), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) return QVMDL_ERR_IMP_READ;
  const uint64_t size = (static_cast<uint64_t>(high) << 32) | low;
  if (size == 0) return QVMDL_ERR_IMP_EMPTY_FILE;
  MEMORYSTATUS memory{};
  memory.dwLength = sizeof memory;
  GlobalMemoryStatus(&memory);
  if (size > QvMessageImporter::kLargestMail || size > memory.dwAvailPhys) return QVMDL_ERR_IMP_NO_MEMORY;
  try {
    raw->resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return QVMDL_ERR_IMP_NO_MEMORY;
  }
  size_t got = 0;
  while (got < raw->size()) {
    DWORD read = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(raw->size() - got, 0x40000000));
    if (!ReadFile(file.get(), raw->data() + got, chunk, &read, nullptr) || read == 0) return QVMDL_ERR_IMP_READ;
    got += read;
  }
  const size_t end = raw->find('\0');
  if (end != std::string::npos) raw->resize(end);
  return QVMDL_SUCCESS;
}

}  // namespace

const uint64_t QvMessageImporter::kLargestMail = 0xFFFFFFFEull - QvMessage::kHeaderBytes;

QvMessageImporter::QvMessageImporter() : QvMailFileRun(QVMDL_ERR_IMP_NULL_NOTIFY, QVMDL_ERR_IMP_CANCELLED) {}

bool QvMessageImporter::SetSource(const std::vector<std::wstring>& paths) {
  source_.clear();
  if (paths.empty()) return Fail(QVMDL_ERR_IMP_NO_SOURCE);
  for (const std::wstring& path : paths) {
    if (path.empty()) return Fail(QVMDL_ERR_IMP_EMPTY_PATH);
    source_.push_back(path);
  }
  return true;
}

bool QvMessageImporter::SetDestination(QvFolderInterface* folder) {
  if (folder == nullptr) return Fail(QVMDL_ERR_IMP_NO_DESTINATION);
  folder_ = folder;
  return true;
}

bool QvMessageImporter::Fire(int*) {
  if (source_.empty()) return Fail(QVMDL_ERR_IMP_FIRE_NO_SOURCE);
  if (folder_ == nullptr) return Fail(QVMDL_ERR_IMP_FIRE_NO_DESTINATION);
  return RunItems(source_.size(), [&](size_t i) { return ImportOne(source_[i]); });
}

uint32_t QvMessageImporter::ImportOne(const std::wstring& path) {
  std::string raw;
  uint32_t code = ReadMailFile(path, &raw);
  if (code != QVMDL_SUCCESS) return code;
  Email mail;
  EmlCompose composer;
  SetQvMiddleError(QVMDL_SUCCESS);
  if (!composer.Decode(&mail, &raw)) return WordOr(QVMDL_ERR_EML_BAD_CONTENT);
  if (mail.fromAddress.empty() || mail.date.wYear == 0) return QVMDL_ERR_IMP_NO_SENDER;

  Attr::Attributes a;
  a.mask = 0x3fff;
  a.unread = 1;
  a.hasAttachments = mail.attachments.empty() ? 0 : 1;
  a.kind = Attr::kImported;
  a.isHtml = mail.htmlBody.empty() ? 0 : 1;
  a.date = Attr::LocalTimeToSystemTime(mail.date);
  if (!mail.to.empty()) {
    // A decoded entry is often the bare address; the list then shows that.
    std::wstring field = mail.to.front(), address;
    composer.ParseAddress(field, &address, &a.listText1);
    if (a.listText1.empty()) a.listText1 = address.empty() ? field : address;
  }
  a.listText2 = mail.fromAddress;
  a.listShort1 = mail.fromName;
  a.listShort2 = mail.subject;
  a.listTime = a.date;

  unsigned long id = 0;
  SetQvMiddleError(QVMDL_SUCCESS);
  if (!folder_->CreateMessage(&id, static_cast<unsigned long>(raw.size()))) return WordOr(QVMDL_ERR_STG_NULL_ARGUMENT);
  std::unique_ptr<QvMessageInterface> message(folder_->OpenMessage(id));
  if (message != nullptr && message->SetAttributes(a) && message->Write(raw)) return QVMDL_SUCCESS;
  code = WordOr(QVMDL_ERR_STG_NULL_ARGUMENT);
  message.reset();
  // The half-stored message goes; the first cause stays the run's.
  folder_->RemoveMessage(id);
  folder_->FlushMessageHeader();
  return code;
}
