// The program-wide engine objects of the mail operations and the current
// account. They belong to the UI thread (the thread that registered the main
// window, or before that the first one to open an account): every getter of
// an engine object answers null on any other thread, so a background task
// opens its own account and storage (TaskAccount.h) and posts its results.
#pragma once

#include <cstdint>
#include <string>

#include "app/mailops/QvAccountSettings.h"
#include "platform/framework/CString.h"
#include "platform/framework/CWnd.h"

class QvAccountInfoInterface;
class QvFolderInterface;
class QvMessageInterface;
class QvStorageInterface;

// The four system folders, by kind.
enum SystemFolderKind : int { kReceiveBox = 0, kSendBox = 1, kDrafts = 2, kOutbox = 3 };

// Operation ids the error box names (its text 20134).
constexpr UINT kOperationMoveMessages = 20083;
constexpr UINT kOperationReclassify = 20084;
constexpr UINT kOperationSaveDraft = 20085;
constexpr UINT kOperationImport = 20086;
constexpr UINT kOperationSend = 20087;
constexpr UINT kOperationReceive = 20088;

// Program error codes for engine objects that could not be made.
constexpr uint32_t kErrorNoPasswordConversion = 20494;
constexpr uint32_t kErrorNoMemoryForAddress = 20495;
constexpr uint32_t kErrorNoFolderNotify = 20496;
constexpr uint32_t kErrorNoImporter = 20497;
constexpr uint32_t kErrorNoRetrieverOrSender = 20499;
constexpr uint32_t kErrorNoHeaderBuffer = 20502;
constexpr uint32_t kErrorHeaderNotFound = 20503;
constexpr uint32_t kErrorNoAutoRetriever = 20504;
constexpr uint32_t kErrorException = 0x5fff;

// The main frame, owner of every error box; registering it makes the calling
// thread the owner of the program-wide state. Null forgets it.
void SetMainWindow(CWnd* window);
CWnd* GetMainWindow();
HWND GetMainWindowHandle();
// True when the main window is the active window.
bool IsMainFrameActive();
// The progress window while it is up: parent of password prompts.
void RegisterSecondWindow(CWnd* window);
CWnd* GetSecondWindow();
// True on the thread that owns the program-wide state (or before any owns it).
bool IsMailOpsOwnerThread();

// Closes the open account and opens `name` with its storage, rules and
// folders. Refused (false, nothing changed) off the owner thread and while a
// task works on the open account. When the named account cannot be opened,
// the account that was open stays open (or none); the name never stands
// without its engine objects.
bool OpenCurrentAccount(const std::wstring& name);
void CloseCurrentAccount();
// After a rename of the open account.
void SetCurrentAccountName(const std::wstring& name);
CString GetCurrentAccountName();
// The engine objects of the open account (null: none, or not the owner thread).
QvAccountInfoInterface* CurrentAccountInfo();
QvStorageInterface* CurrentStorage();
// The settings copy read when the account was opened.
const QvAccountSettings& CurrentAccountSettings();

CString GetSenderAddress();
CString GetSenderName();
bool IsSignatureEnabled();
// The chosen signature; empty when the choice names none of the two.
CString GetSignatureText();
bool IsCurrentTAccount();
bool IsSendInAMinuteEnabled();
// kinds 0-3; false for any other.
bool GetSystemFolderId(int kind, DWORD* id);

// On the current storage; the caller deletes the result. Null without a
// storage, and null with the error box when the engine fails.
QvFolderInterface* OpenFolderById(DWORD folderId);
QvMessageInterface* OpenMessageById(DWORD messageId);
// The message the message window shows, kept until closed (no error box).
QvMessageInterface* OpenCurrentMessage(DWORD messageId);
void CloseCurrentMessage();

// The operation named by the next error box of text 20134.
void SetCurrentOperationId(UINT id);
// Shows the engine-error box for `code` over the main window.
void ShowMailOpsError(uint32_t code);

// When the main frame goes: stops the background receive threads (waiting
// for them) and closes the account.
void ShutdownMailOperations();
