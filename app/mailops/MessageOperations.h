// The message operations: stored messages read into the program's record of
// a message (QvMessageRecord) for viewing, editing, answering and the preview
// pane, their parts written as files below the temporary folder
// (TempFiles.h); records written back to the store; message flags changed;
// messages and their attachments removed; mailto links and HTML templates.
// Every read opens the message on the current storage and closes it again;
// an engine failure shows the engine-error box and the operation answers
// false. UI thread only, as the windows that call them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/mailops/QvMessageRecord.h"
#include "platform/framework/CString.h"

struct Email;

// Raw text and decoded record of a stored message: whole, with the body cut
// to `limit` characters, or the header only.
bool ReadStoredMessage(DWORD messageId, Email* mail, std::string* raw);
bool ReadStoredMessagePreview(DWORD messageId, Email* mail, std::string* raw, int limit);
bool ReadStoredMessageHeader(DWORD messageId, Email* mail, std::string* raw);
// The raw header lines as wide text.
bool GetMessageHeaderText(DWORD messageId, CString* text);

// Copies the record's fields out of the mail, and back before a write
// (attachment paths and inline files become the mail's parts).
void FillRecordFromEmail(QvMessageRecord* record, const Email& mail);
void FillEmailFromRecord(Email* mail, const QvMessageRecord& record);
// Writes every attachment and inline part of the mail into a folder of its
// own below the temporary folder, each under its safe base name, and fills
// the record (its attachment paths, inline-file and attachment-file lists).
bool LoadRecordParts(QvMessageRecord* record, const Email& mail, const std::string& raw, DWORD messageId,
                     bool isTemplate);

// `full`: with the parts written as files.
bool LoadStoredMessage(DWORD messageId, QvMessageRecord* record, bool full);
bool LoadMessageForEdit(DWORD messageId, QvMessageRecord* record);
bool LoadMessageForView(DWORD messageId, QvMessageRecord* record, DWORD folderId);
// The draft of an answer to a stored message, from the current account.
// `keepPicture`: a picture mail's image stays as the reply's picture (else
// the reply has no attachment).
bool CreateReplyRecord(DWORD messageId, QvMessageRecord* record, bool keepPicture);
bool CreateReplyAllRecord(DWORD messageId, QvMessageRecord* record, bool keepPicture);
bool CreateForwardRecord(DWORD messageId, QvMessageRecord* record);
// The preview pane's record: inline parts only, below "_PV".
bool LoadMessagePreview(DWORD folderId, DWORD messageId, bool full, int limit, QvMessageRecord* record);
bool MessageHasRecipients(DWORD messageId);
bool LoadMailtoIntoRecord(const std::wstring& mailto, QvMessageRecord* record);
// Body, HTML text, attachments and inline images of a template file.
bool LoadHtmlTemplate(QvMessageRecord* record, const std::wstring& path);
bool SaveHtmlTemplate(const QvMessageRecord& record, const std::wstring& path);

// kind 2 (drafts) or 3 (outbox): a new message made of the record; the
// record then names it.
bool SaveNewMessage(int kind, QvMessageRecord* record);
// Writes the record over its stored message.
bool UpdateStoredMessage(QvMessageRecord* record);
// From the drafts to the outbox, or back.
bool MoveMessageDraftOutbox(DWORD messageId, bool toOutbox);

// The unread flag (true: unread) where it differs; the list form leaves all
// but received mail (kinds 1 and 4) alone.
bool SetMessageRead(DWORD messageId, bool unread, DWORD folderId);
bool SetMessagesRead(const std::vector<unsigned long>& ids, bool unread, DWORD folderId);
bool ToggleMessageProtect(DWORD messageId, DWORD folderId);
bool SetMessagesProtect(const std::vector<unsigned long>& ids, bool protect, DWORD folderId);
void RemoveMessages(DWORD folderId, std::vector<unsigned long>& ids);
bool RemoveStoredMessage(DWORD messageId);
bool RemoveMessageAttachments(std::vector<unsigned long>& ids, DWORD folderId);

// A new message from the current account, with its signature when it uses one.
bool InitNewMessageRecord(QvMessageRecord* record);
// "name"<address> when the address book knows the address; true when it did.
bool FormatAddressWithName(CString& address);
// The text in the named charset (empty: the one an HTML text declares).
void ConvertFromUtf16ToCharset(std::string* out, const std::wstring& text, const std::wstring& charset);
// The text in the device's ANSI code page; false when it cannot be had.
bool WideToAnsi(std::string* out, const std::wstring& text);
