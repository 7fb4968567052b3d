#include "app/mailops/MessageOperations.h"

#include <list>
#include <memory>
#include <new>
#include <vector>

#include "app/foundation/Contacts.h"
#include "app/foundation/UiRegistry.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "app/mailops/HeaderRowCache.h"
#include "app/mailops/InlineParts.h"
#include "app/mailops/MessageStatus.h"
#include "app/mailops/TempFiles.h"
#include "app/mailops/WindowRegistry.h"
#include "engine/public/content/Email.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/public/content/PartFileName.h"
#include "engine/public/content/QuoteEmail.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "platform/base/WinFormat.h"
#include "platform/codepage/CodePage.h"
#include "platform/framework/CWaitCursor.h"

namespace {

using Folder = std::unique_ptr<QvFolderInterface>;
using Message = std::unique_ptr<QvMessageInterface>;

// GetEnclosure: the part has no data (or its file is there already).
constexpr uint32_t kPartWithoutData = 0x2000208;
// GetAttributes of a file older than the fields asked for: they are filled.
constexpr uint32_t kOlderMessageFile = 0x2004721;
constexpr wchar_t kUnnamedInlinePart[] = L"noname";
constexpr wchar_t kPreviewFolder[] = L"_PV";

enum class Answer { kReply, kReplyAll, kForward };

// The store operation the error box names while it runs, forgotten after.
class OperationScope {
 public:
  explicit OperationScope(UINT id) { SetCurrentOperationId(id); }
  ~OperationScope() { SetCurrentOperationId(0); }
  OperationScope(const OperationScope&) = delete;
  OperationScope& operator=(const OperationScope&) = delete;
};

std::wstring Wide(const CString& text) { return static_cast<LPCWSTR>(text); }

void ToList(const std::list<std::wstring>& from, CStringArray& to) {
  to.RemoveAll();
  for (const std::wstring& s : from) to.Add(CString(s.c_str()));
}

void FromList(const CStringArray& from, std::list<std::wstring>& to) {
  to.clear();
  for (INT_PTR i = 0; i < from.GetSize(); ++i) to.push_back(Wide(from[i]));
}

std::wstring MediaType(const Enclosure& part) {
  if (part.mediaSubtype.empty()) return part.mediaType;
  return part.mediaType + L"/" + part.mediaSubtype;
}

// What an HTML text calls an inline part: its Content-ID, else the id its
// Content-Location gives, as the record keeps references (InlineParts.h).
std::wstring PartReference(const Enclosure& part) {
  return InlinePartReference(!part.contentId.empty() ? part.contentId : part.contentLocation);
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
  if (prefix.empty() || text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    wchar_t a = text[i], b = prefix[i];
    if (a >= L'A' && a <= L'Z') a = static_cast<wchar_t>(a - L'A' + L'a');
    if (b >= L'A' && b <= L'Z') b = static_cast<wchar_t>(b - L'A' + L'a');
    if (a != b) return false;
  }
  return true;
}

// Splits a device path at its last "\": the folder keeps the "\".
void SplitPath(const std::wstring& path, std::wstring* folder, std::wstring* name) {
  const size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) {
    folder->clear();
    *name = path;
    return;
  }
  *folder = path.substr(0, slash + 1);
  *name = path.substr(slash + 1);
}

std::wstring BareAddress(const std::wstring& field) {
  std::wstring text = field, address, name;
  EmlCompose composer;
  if (!composer.ParseAddress(text, &address, &name) || address.empty()) return field;
  return address;
}

void UpdateNoRead() {
  const int unread = CountCurrentAccountUnread();
  if (unread >= 0) SetAccountNoRead(GetCurrentAccountName(), static_cast<DWORD>(unread));
}

// The files of one mail's parts and the record's lists of them.
struct PartFiles {
  std::vector<CString> attachmentPaths;
  QvHtmlFileList inlineFiles;
  QvHtmlFileList attachmentFiles;
};

// Writes one part into its folder. The name comes from the mail, so it is cut
// to a safe base name before anything joins it to the folder; the engine
// writes the part under that very name.
bool WritePart(EmlCompose& composer, const std::string& raw, Enclosure part, const std::wstring& folder,
               const std::wstring& givenName, std::wstring* path, std::wstring* name) {
  *name = content::SafePartFileName(givenName, folder.size());
  part.folder = folder;
  part.name = *name;
  part.displayName = *name;
  if (!composer.GetEnclosure(raw, part)) {
    const uint32_t code = composer.GetErrorInfo();
    if (code != kPartWithoutData) {
      ShowMailOpsError(code);
      return false;
    }
  }
  *path = folder + *name;
  return true;
}

// The name the mail gives a part (its file name, else its type's name).
std::wstring GivenName(const Enclosure& part) { return !part.fileName.empty() ? part.fileName : part.name; }

bool WriteParts(const Email& mail, const std::string& raw, DWORD messageId, bool isTemplate, PartFiles* out) {
  const size_t count = mail.attachments.size() + mail.inlineParts.size();
  if (count == 0) return true;
  std::vector<CString> folders;
  if (!CreateTempPartFolders(&folders, static_cast<int>(count), messageId, isTemplate) || folders.size() < count)
    return false;
  EmlCompose composer;
  size_t index = 0;
  for (const Enclosure& part : mail.attachments) {
    std::wstring path, name;
    if (!WritePart(composer, raw, part, Wide(folders[index++]), GivenName(part), &path, &name)) return false;
    out->attachmentPaths.push_back(CString(path.c_str()));
    out->attachmentFiles.Add(path, name, MediaType(part), PartReference(part));
  }
  for (const Enclosure& part : mail.inlineParts) {
    std::wstring given = GivenName(part);
    if (given.empty()) given = kUnnamedInlinePart;
    std::wstring path, name;
    if (!WritePart(composer, raw, part, Wide(folders[index++]), given, &path, &name)) return false;
    out->inlineFiles.Add(path, name, MediaType(part), PartReference(part));
  }
  return true;
}

// For a picture mail: its first attachment is its picture.
void TakePictureFromAttachments(QvMessageRecord* record) {
  if (record->isPictureMail == 0 || record->attachmentPaths.IsEmpty()) return;
  record->pictureFiles.RemoveAll();
  record->pictureFiles.Add(record->attachmentPaths[0]);
  record->attachmentPaths.RemoveAt(0);
  record->pictureFromAttachment = 1;
}

// Mail composed here has no Message-ID of its own, and the encoder writes
// the record's message id as the one answered ("In-Reply-To", then the end of
// "References"). A stored answer decodes with that id in its In-Reply-To, so
// it goes back where the encoder looks for it, and "References" loses the id
// the encoder adds again; else an edited answer would leave its thread.
void KeepAnsweredMessageId(QvMessageRecord* record) {
  if (!record->mailMessageId.IsEmpty() || record->inReplyTo.IsEmpty()) return;
  const std::wstring answered = Wide(record->inReplyTo);
  std::wstring references = Wide(record->references);
  const std::wstring tail = L"> <" + answered;
  if (references == answered) {
    references.clear();
  } else if (references.size() > tail.size() &&
             references.compare(references.size() - tail.size(), tail.size(), tail) == 0) {
    references.resize(references.size() - tail.size());
  }
  record->mailMessageId = answered.c_str();
  record->references = references.c_str();
  // Its own parent is in "References" when there is one.
  record->inReplyTo.Empty();
}

bool ReadRaw(DWORD messageId, std::string* raw) {
  Message message(OpenMessageById(messageId));
  if (!message) return false;
  if (!message->SeekToHead() || !message->Read(raw)) {
    ShowMailOpsError(message->GetErrorInfo());
    return false;
  }
  return true;
}

bool CreateAnswer(DWORD messageId, QvMessageRecord* record, Answer answer, bool keepPicture) {
  Email mail;
  std::string raw;
  if (!ReadStoredMessage(messageId, &mail, &raw)) return false;
  const std::wstring own = Wide(GetSenderAddress());
  // An answer to one's own mail goes to its former recipients.
  const bool ownMail = StartsWithNoCase(mail.fromAddress, own);
  std::wstring contact;
  if (LookupContactName(BareAddress(mail.fromAddress), &contact)) mail.reserved3 = contact;
  int mode = 0;
  switch (answer) {
    case Answer::kReply: mode = ownMail ? 4 : 1; break;
    case Answer::kReplyAll: mode = ownMail ? 5 : 2; break;
    case Answer::kForward: mode = ownMail ? 6 : 3; break;
  }
  QuoteEmail().Convertmaildata(mode, own, &mail);
  if (!LoadRecordParts(record, mail, raw, messageId, false)) return false;
  record->messageId = 0;
  record->from = own.c_str();
  record->senderName = GetSenderName();
  if (record->isPictureMail != 0) {
    if (answer == Answer::kForward || keepPicture) {
      TakePictureFromAttachments(record);
    } else {
      record->attachmentPaths.RemoveAll();
    }
    record->hasDrawing = 0;
  }
  record->htmlNeedsSignature = IsSignatureEnabled() && !record->htmlText.IsEmpty() ? 1 : 0;
  return true;
}

void DiscardMessage(QvFolderInterface* folder, unsigned long id) {
  folder->RemoveMessage(id);
  folder->FlushMessageHeader();
}

// The attributes of a message, the fields of an older file filled as well.
bool ReadAttributes(QvMessageInterface* message, QvMessageInterface::Attributes* attributes) {
  if (message->GetAttributes(attributes)) return true;
  if (message->GetErrorInfo() == kOlderMessageFile) return true;
  ShowMailOpsError(message->GetErrorInfo());
  return false;
}

enum class Flag { kUnread, kProtect };

// Sets one flag of each listed message where it differs; `receivedOnly`
// leaves all but received mail alone. *changed: a message was changed.
bool SetFlag(const std::vector<unsigned long>& ids, Flag flag, bool value, bool receivedOnly, bool* changed) {
  *changed = false;
  for (unsigned long id : ids) {
    Message message(OpenMessageById(id));
    if (!message) return false;
    QvMessageInterface::Attributes now;
    now.mask = QvMessageInterface::kKind |
               (flag == Flag::kUnread ? QvMessageInterface::kUnread : QvMessageInterface::kIsProtected);
    if (!ReadAttributes(message.get(), &now)) return false;
    if (receivedOnly && now.kind != QvMessageInterface::kReceived && now.kind != QvMessageInterface::kImported)
      continue;
    const uint8_t wanted = value ? 1 : 0;
    QvMessageInterface::Attributes set;
    if (flag == Flag::kUnread) {
      if (now.unread == wanted) continue;
      set.mask = QvMessageInterface::kUnread;
      set.unread = wanted;
    } else {
      if (now.isProtected == wanted) continue;
      set.mask = QvMessageInterface::kIsProtected;
      set.isProtected = wanted;
    }
    if (!message->SetAttributes(set)) {
      ShowMailOpsError(message->GetErrorInfo());
      return false;
    }
    // The open folders hear of it; a folder deeper down is not kept open.
    DropCachedHeader(id);
    *changed = true;
  }
  return true;
}

bool SetFlagAndTell(const std::vector<unsigned long>& ids, Flag flag, bool value, bool receivedOnly,
                    DWORD folderId) {
  bool changed = false;
  const bool done = SetFlag(ids, flag, value, receivedOnly, &changed);
  if (changed) {
    BroadcastFolderRefresh(folderId);
    if (flag == Flag::kUnread) UpdateNoRead();
  }
  return done;
}

}  // namespace

bool ReadStoredMessage(DWORD messageId, Email* mail, std::string* raw) {
  if (!ReadRaw(messageId, raw)) return false;
  EmlCompose composer;
  if (!composer.Decode(mail, raw)) {
    ShowMailOpsError(composer.GetErrorInfo());
    return false;
  }
  return true;
}

bool ReadStoredMessagePreview(DWORD messageId, Email* mail, std::string* raw, int limit) {
  if (!ReadRaw(messageId, raw)) return false;
  EmlCompose composer;
  if (!composer.DecodeSimple(mail, raw, limit)) {
    ShowMailOpsError(composer.GetErrorInfo());
    return false;
  }
  return true;
}

bool ReadStoredMessageHeader(DWORD messageId, Email* mail, std::string* raw) {
  if (!ReadRaw(messageId, raw)) return false;
  EmlCompose composer;
  if (!composer.DecodeHeader(mail, raw)) {
    ShowMailOpsError(composer.GetErrorInfo());
    return false;
  }
  return true;
}

bool GetMessageHeaderText(DWORD messageId, CString* text) {
  std::string raw;
  if (!ReadRaw(messageId, &raw)) return false;
  EmlCompose composer;
  std::string header;
  if (!composer.GetHeader(raw, &header)) {
    ShowMailOpsError(composer.GetErrorInfo());
    return false;
  }
  std::wstring wide;
  composer.ConvertStoW(header, wide);
  *text = wide.c_str();
  return true;
}

void FillRecordFromEmail(QvMessageRecord* record, const Email& mail) {
  ToList(mail.to, record->toList);
  ToList(mail.cc, record->ccList);
  ToList(mail.bcc, record->bccList);
  record->from = mail.fromAddress.c_str();
  record->subject = mail.subject.c_str();
  record->senderName = mail.fromName.c_str();
  record->body = mail.body.c_str();
  record->replyTo = mail.replyTo.c_str();
  record->mailMessageId = mail.messageId.c_str();
  record->inReplyTo = mail.inReplyTo.c_str();
  record->references = mail.references.c_str();
  record->mailingList = mail.mailingList.c_str();
  record->timeZone = mail.timeZone.c_str();
  record->receivedDate = mail.dateText.c_str();
  record->htmlText = mail.htmlBody.c_str();
  record->attachmentPaths.RemoveAll();
  const SYSTEMTIME& d = mail.date;
  record->dateText = qv::FormatW(L"%04d/%02d/%02d %02d:%02d", d.wYear, d.wMonth, d.wDay, d.wHour, d.wMinute).c_str();
  record->folder = 0;
  record->isPictureMail = mail.isPictureMail;
}

void FillEmailFromRecord(Email* mail, const QvMessageRecord& record) {
  FromList(record.toList, mail->to);
  FromList(record.ccList, mail->cc);
  FromList(record.bccList, mail->bcc);
  mail->fromAddress = Wide(record.from);
  mail->fromName = Wide(record.senderName);
  mail->subject = Wide(record.subject);
  mail->body = Wide(record.body);
  mail->htmlBody = Wide(record.htmlText);
  mail->replyTo = Wide(record.replyTo);
  mail->messageId = Wide(record.mailMessageId);
  mail->inReplyTo = Wide(record.inReplyTo);
  mail->references = Wide(record.references);
  mail->mailingList = Wide(record.mailingList);
  mail->timeZone = Wide(record.timeZone);
  mail->dateText = Wide(record.receivedDate);
  mail->attachments.clear();
  // A picture mail's picture travels as its first attachment: that is where
  // the loaders take it back from.
  CStringArray files;
  if (record.isPictureMail != 0 && !record.pictureFiles.IsEmpty()) files.Add(record.pictureFiles[0]);
  for (INT_PTR i = 0; i < record.attachmentPaths.GetSize(); ++i) files.Add(record.attachmentPaths[i]);
  for (INT_PTR i = 0; i < files.GetSize(); ++i) {
    Enclosure part;
    SplitPath(Wide(files[i]), &part.folder, &part.name);
    part.displayName = part.name;
    mail->attachments.push_back(part);
  }
  mail->inlineParts.clear();
  for (size_t i = 0; i < record.inlineFiles.GetCount(); ++i) {
    const QvHtmlFile* file = record.inlineFiles.GetAt(i);
    Enclosure part;
    SplitPath(file->GetPath(), &part.folder, &part.name);
    part.displayName = part.name;
    part.contentId = MailContentId(file->GetContentId());
    part.isInline = 1;
    mail->inlineParts.push_back(part);
  }
  mail->isPictureMail = record.isPictureMail;
}

bool LoadRecordParts(QvMessageRecord* record, const Email& mail, const std::string& raw, DWORD messageId,
                     bool isTemplate) {
  PartFiles parts;
  if (!WriteParts(mail, raw, messageId, isTemplate, &parts)) return false;
  record->inlineFiles = parts.inlineFiles;
  record->extraFiles = parts.attachmentFiles;
  FillRecordFromEmail(record, mail);
  for (const CString& path : parts.attachmentPaths) record->attachmentPaths.Add(path);
  return true;
}

bool LoadStoredMessage(DWORD messageId, QvMessageRecord* record, bool full) {
  Email mail;
  std::string raw;
  if (!ReadStoredMessage(messageId, &mail, &raw)) return false;
  if (full) {
    if (!LoadRecordParts(record, mail, raw, messageId, false)) return false;
  } else {
    FillRecordFromEmail(record, mail);
  }
  record->messageId = messageId;
  record->isStored = 1;
  record->notFromStore = 0;
  return true;
}

bool LoadMessageForEdit(DWORD messageId, QvMessageRecord* record) {
  CWaitCursor wait;
  if (!LoadStoredMessage(messageId, record, true)) return false;
  KeepAnsweredMessageId(record);
  TakePictureFromAttachments(record);
  return true;
}

bool LoadMessageForView(DWORD messageId, QvMessageRecord* record, DWORD folderId) {
  CWaitCursor wait;
  if (!LoadStoredMessage(messageId, record, true)) return false;
  record->notFromStore = 0;
  record->folder = folderId;
  const std::wstring address = Wide(record->from);
  std::wstring contact;
  if (LookupContactName(BareAddress(address), &contact)) {
    record->from = FormatNamedAddress(contact, address).c_str();
  } else if (!record->senderName.IsEmpty()) {
    record->from = qv::FormatW(L"%s<%s>", static_cast<LPCWSTR>(record->senderName), address.c_str()).c_str();
  }
  for (CStringArray* list : {&record->toList, &record->ccList, &record->bccList}) {
    for (INT_PTR i = 0; i < list->GetSize(); ++i) FormatAddressWithName((*list)[i]);
  }
  uint32_t status = 0, kind = 0;
  if (GetMessageStatus(messageId, folderId, &status, &kind)) record->partialFlag = status & kStatusPartial;
  TakePictureFromAttachments(record);
  return true;
}

bool CreateReplyRecord(DWORD messageId, QvMessageRecord* record, bool keepPicture) {
  return CreateAnswer(messageId, record, Answer::kReply, keepPicture);
}

bool CreateReplyAllRecord(DWORD messageId, QvMessageRecord* record, bool keepPicture) {
  return CreateAnswer(messageId, record, Answer::kReplyAll, keepPicture);
}

bool CreateForwardRecord(DWORD messageId, QvMessageRecord* record) {
  return CreateAnswer(messageId, record, Answer::kForward, true);
}

bool LoadMessagePreview(DWORD folderId, DWORD messageId, bool full, int limit, QvMessageRecord* record) {
  Email mail;
  std::string raw;
  const bool read = full ? ReadStoredMessage(messageId, &mail, &raw)
                         : ReadStoredMessagePreview(messageId, &mail, &raw, limit);
  if (!read) return false;
  // The pane shows the text with its pictures; attachments stay in the mail.
  Email shown = mail;
  shown.attachments.clear();
  const CString window = GetTempFolderName();
  SetTempFolderName(kPreviewFolder);
  const bool loaded = LoadRecordParts(record, shown, raw, messageId, false);
  SetTempFolderName(window);
  if (!loaded) return false;
  record->messageId = messageId;
  record->folder = folderId;
  record->isStored = 1;
  record->notFromStore = 0;
  return true;
}

bool MessageHasRecipients(DWORD messageId) {
  Email mail;
  std::string raw;
  if (!ReadStoredMessageHeader(messageId, &mail, &raw)) return false;
  return !mail.to.empty() || !mail.cc.empty() || !mail.bcc.empty();
}

bool LoadMailtoIntoRecord(const std::wstring& mailto, QvMessageRecord* record) {
  std::string text;
  if (!WideToAnsi(&text, mailto)) {
    ShowMailOpsError(kErrorNoMemoryForAddress);
    return false;
  }
  Email mail;
  EmlCompose composer;
  if (!composer.ParseMailto(text, &mail)) {
    ShowMailOpsError(composer.GetErrorInfo());
    return false;
  }
  FillRecordFromEmail(record, mail);
  record->from = GetSenderAddress();
  record->senderName = GetSenderName();
  return true;
}

bool LoadHtmlTemplate(QvMessageRecord* record, const std::wstring& path) {
  Email mail;
  std::string raw;
  std::wstring file = path;
  EmlCompose composer;
  if (!composer.LoadHtmlTemplate(&mail, &file, &raw)) {
    ShowMailOpsError(composer.GetErrorInfo());
    return false;
  }
  PartFiles parts;
  if (!WriteParts(mail, raw, 0, true, &parts)) return false;
  // Only what a template brings: the record's addresses and subject stay.
  record->body = mail.body.c_str();
  record->htmlText = mail.htmlBody.c_str();
  record->attachmentPaths.RemoveAll();
  for (const CString& p : parts.attachmentPaths) record->attachmentPaths.Add(p);
  record->inlineFiles = parts.inlineFiles;
  record->extraFiles = parts.attachmentFiles;
  return true;
}

bool SaveHtmlTemplate(const QvMessageRecord& record, const std::wstring& path) {
  Email mail;
  FillEmailFromRecord(&mail, record);
  std::wstring file = path;
  EmlCompose composer;
  if (!composer.SaveHtmlTemplate(&mail, &file)) {
    ShowMailOpsError(composer.GetErrorInfo());
    return false;
  }
  return true;
}

bool SaveNewMessage(int kind, QvMessageRecord* record) {
  if (kind != kDrafts && kind != kOutbox) return false;
  DWORD folderId = 0;
  if (!GetSystemFolderId(kind, &folderId)) return false;
  OperationScope operation(kOperationSaveDraft);
  Folder folder(OpenFolderById(folderId));
  if (!folder) return false;
  unsigned long id = 0;
  bool created = false;
  try {
    Email mail;
    FillEmailFromRecord(&mail, *record);
    if (!folder->CreateMessage(&id)) {
      ShowMailOpsError(folder->GetErrorInfo());
      return false;
    }
    created = true;
    Message message(OpenMessageById(id));
    if (!message) {
      DiscardMessage(folder.get(), id);
      return false;
    }
    if (!message->Write(&mail)) {
      ShowMailOpsError(message->GetErrorInfo());
      message.reset();
      DiscardMessage(folder.get(), id);
      return false;
    }
    folder->FlushMessageHeader();
  } catch (...) {
    ShowMailOpsError(kErrorException);
    if (created) DiscardMessage(folder.get(), id);
    return false;
  }
  BroadcastFolderRefresh(folderId);
  record->folder = folderId;
  record->messageId = id;
  record->notFromStore = 0;
  record->isStored = 1;
  record->isNew = 0;
  record->inDrafts = kind == kDrafts ? 1 : 0;
  return true;
}

bool UpdateStoredMessage(QvMessageRecord* record) {
  try {
    Email mail;
    FillEmailFromRecord(&mail, *record);
    Message message(OpenMessageById(record->messageId));
    if (!message) return false;
    if (!message->Write(&mail)) {
      ShowMailOpsError(message->GetErrorInfo());
      return false;
    }
  } catch (...) {
    ShowMailOpsError(kErrorException);
    return false;
  }
  DropCachedHeader(record->messageId);
  BroadcastFolderRefresh(record->folder);
  return true;
}

bool MoveMessageDraftOutbox(DWORD messageId, bool toOutbox) {
  DWORD drafts = 0, outbox = 0;
  if (!GetSystemFolderId(kDrafts, &drafts) || !GetSystemFolderId(kOutbox, &outbox)) return false;
  const DWORD fromId = toOutbox ? drafts : outbox;
  const DWORD toId = toOutbox ? outbox : drafts;
  OperationScope operation(kOperationSaveDraft);
  Folder from(OpenFolderById(fromId));
  if (!from) return false;
  Folder to(OpenFolderById(toId));
  if (!to) return false;
  if (!from->MoveMessage(messageId, to.get())) {
    ShowMailOpsError(from->GetErrorInfo());
    return false;
  }
  from->FlushMessageHeader();
  DropCachedHeader(messageId);
  BroadcastFolderRefresh(fromId);
  BroadcastFolderRefresh(toId);
  return true;
}

bool SetMessageRead(DWORD messageId, bool unread, DWORD folderId) {
  return SetFlagAndTell({messageId}, Flag::kUnread, unread, false, folderId);
}

bool SetMessagesRead(const std::vector<unsigned long>& ids, bool unread, DWORD folderId) {
  return SetFlagAndTell(ids, Flag::kUnread, unread, true, folderId);
}

bool ToggleMessageProtect(DWORD messageId, DWORD folderId) {
  Message message(OpenMessageById(messageId));
  if (!message) return false;
  QvMessageInterface::Attributes now;
  now.mask = QvMessageInterface::kIsProtected;
  if (!ReadAttributes(message.get(), &now)) return false;
  message.reset();
  return SetFlagAndTell({messageId}, Flag::kProtect, now.isProtected == 0, false, folderId);
}

bool SetMessagesProtect(const std::vector<unsigned long>& ids, bool protect, DWORD folderId) {
  return SetFlagAndTell(ids, Flag::kProtect, protect, false, folderId);
}

void RemoveMessages(DWORD folderId, std::vector<unsigned long>& ids) {
  if (ids.empty()) return;
  Folder folder(OpenFolderById(folderId));
  if (!folder) return;
  if (!folder->RemoveMessage(ids)) ShowMailOpsError(folder->GetErrorInfo());
  folder->FlushMessageHeader();
  folder.reset();
  DropCachedHeadersOf(ids);
  BroadcastFolderAndRootRefresh(folderId);
  UpdateNoRead();
}

bool RemoveStoredMessage(DWORD messageId) {
  QvStorageInterface* storage = CurrentStorage();
  if (storage == nullptr) return false;
  const bool removed = storage->RemoveMessage(messageId);
  if (!removed) ShowMailOpsError(storage->GetErrorInfo());
  DropCachedHeader(messageId);
  BroadcastRefresh();
  UpdateNoRead();
  return removed;
}

bool RemoveMessageAttachments(std::vector<unsigned long>& ids, DWORD folderId) {
  if (ids.empty()) return false;
  CWaitCursor wait;
  Folder folder(OpenFolderById(folderId));
  if (!folder) return false;
  std::vector<unsigned long> failed;
  const bool removed = folder->RemoveAttachments(ids, &failed);
  if (!removed) ShowMailOpsError(folder->GetErrorInfo());
  folder.reset();
  DropCachedHeadersOf(ids);
  BroadcastFolderAndRootRefresh(folderId);
  UpdateNoRead();
  return removed;
}

bool InitNewMessageRecord(QvMessageRecord* record) {
  record->from = GetSenderAddress();
  record->senderName = GetSenderName();
  if (IsSignatureEnabled()) record->body = GetSignatureText();
  return true;
}

bool FormatAddressWithName(CString& address) {
  const std::wstring bare = BareAddress(Wide(address));
  std::wstring name;
  if (!LookupContactName(bare, &name)) return false;
  address = FormatNamedAddress(name, bare).c_str();
  return true;
}

void ConvertFromUtf16ToCharset(std::string* out, const std::wstring& text, const std::wstring& charset) {
  // The engine writes into the caller's buffer: room for the longest form,
  // two bytes a character with an escape sequence before each.
  std::vector<char> buffer(8 * (text.size() + 1) + 16, '\0');
  std::wstring in = text;
  EmlCompose().ConvertFromUTF16(buffer.data(), &in, &charset);
  out->assign(buffer.data());
}

bool WideToAnsi(std::string* out, const std::wstring& text) {
  out->clear();
  if (text.empty()) return true;
  try {
    const int chars = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text.c_str(), chars, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return false;
    out->resize(static_cast<size_t>(bytes));
    return WideCharToMultiByte(CP_ACP, 0, text.c_str(), chars, out->data(), bytes, nullptr, nullptr) == bytes;
  } catch (const std::bad_alloc&) {
    out->clear();
    return false;
  }
}
