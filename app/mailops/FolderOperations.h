// The current account's folders for the windows: the system folders, the
// user folders below the receive box and the send box (one level deep) in
// their saved order, unread counts, and changes to folders, each announced
// through the refresh broadcast.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/framework/CString.h"

class QvFolderInterface;

// Kinds beyond the system folders (CurrentAccount.h has 0-3).
constexpr int kReceiveUserFolder = 4;
constexpr int kSendUserFolder = 5;

struct QvFolderItem {
  CString name;
  int unread = 0;
  int kind = 0;
  DWORD folderId = 0;
  // A child folder holds unread mail (system folders only).
  bool childUnread = false;
};

bool GetFolderRootKind(DWORD folderId, int* kind);
bool GetChildFolderIds(DWORD boxId, std::vector<unsigned long>* ids);
int CountUserFolders();
int CountChildFolders(DWORD boxId);
bool GetSystemFolderItem(int kind, QvFolderItem* item);
bool GetFolderItem(DWORD folderId, QvFolderItem* item);
bool GetFolderDisplayPath(DWORD folderId, CString* text);
// The box's children in engine order; any failure empties the vector.
bool GetBoxFolderItems(DWORD boxId, std::vector<QvFolderItem>* items);
// kind 0 or 1: the box's children in the order of its order file; folders
// the file does not list follow in engine order.
bool GetOrderedFolderItems(int kind, std::vector<QvFolderItem>* items);

// "\RTray.lst" (kind 0) or "\STray.lst" (kind 1) in the current account's
// folder. The write goes through a temporary copy and a commit; false (and
// the error box) when it fails. Other kinds do nothing.
bool WriteFolderOrderFile(int kind, const std::vector<unsigned long>& ids);
// A missing or unreadable file gives an empty list.
void ReadFolderOrderFile(int kind, std::vector<unsigned long>* ids);
// The order file's ids: one decimal per line, blank lines, 0 and lines that
// are no number skipped.
std::vector<unsigned long> ParseFolderOrder(const std::string& bytes);
// Reorders `items` by `order` (listed folders first, in list order).
void ApplyFolderOrder(const std::vector<unsigned long>& order, std::vector<QvFolderItem>* items);

bool CreateSubFolder(DWORD boxId, const std::wstring& name, DWORD* newId);
bool RenameFolder(DWORD folderId, const std::wstring& name);
bool RemoveFolder(DWORD folderId);
void LoadFolderTree();
void CloseFolderInterfaces();
size_t OpenFolderCount();

bool GetMessageIds(DWORD folderId, std::vector<unsigned long>* ids);
int CountOutboxMessages();
bool MoveMessagesToFolder(std::vector<unsigned long>& ids, DWORD from, DWORD to);
bool ReclassifyFolderMessages(DWORD folderId);
// Receive box, send box and their children.
int CountAccountUnreadMessages(const std::wstring& name);
int CountCurrentAccountUnread();
// Repairs the folder's entry list when `code` asks for it, with the
// automatic receive held off meanwhile (the stored setting is not touched).
bool RecoverEntry(DWORD folderId, uint32_t code);
// True while a repair holds the automatic receive off.
bool IsAutoReceiveHeld();
