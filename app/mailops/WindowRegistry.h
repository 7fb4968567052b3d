// The windows that show mail, each with the folders it shows, and the
// refresh message posted (never sent) to them after a change in the store.
// The registry is locked: windows come and go on the UI thread while task
// threads broadcast. A window is reached by the handle it had when it was
// registered, so a broadcast never touches a window object.
#pragma once

#include <cstdint>

#include "platform/framework/CWnd.h"

// wParam of a refresh of everything (lParam 1).
constexpr WPARAM kRefreshEverything = 0xFFFFFFFF;

// A window with an empty folder set; one registered already loses its set.
void RegisterWindow(CWnd* window);
// Adds the folder to the window's set, registering the window when needed.
void AddWindowFolder(CWnd* window, uint32_t folderId);
void UnregisterWindow(CWnd* window);
bool IsWindowRegistered(CWnd* window);

// WM_USER+102 (0xFFFFFFFF, 1) to every registered window.
void BroadcastRefresh();
// WM_USER+102 (id, 0) to every window showing all folders or that one.
void BroadcastFolderRefresh(uint32_t folderId);
// The folder, then its box when the folder is a user folder.
void BroadcastFolderAndRootRefresh(uint32_t folderId);
// The box, then each of its child folders.
void BroadcastFolderTreeRefresh(uint32_t boxId);
