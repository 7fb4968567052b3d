// Image lists: equal-sized images in one strip, with masks, drawn plain,
// transparent or blended as selected.
#pragma once

#include "platform/gdi/GdiTypes.h"

// The device's common-control library, where callers look the ImageList_*
// functions up by name (LoadLibraryW, GetProcAddressW); this platform
// provides them itself.
#define COMMCTRL_LIBRARY L"commctrl.dll"

extern "C" {

QV_PLATFORM_API HIMAGELIST ImageList_Create(int width, int height, UINT flags, int initial, int grow);
QV_PLATFORM_API BOOL ImageList_Destroy(HIMAGELIST list);
QV_PLATFORM_API int ImageList_GetImageCount(HIMAGELIST list);
QV_PLATFORM_API BOOL ImageList_GetIconSize(HIMAGELIST list, int* width, int* height);
// A bitmap wider than one image adds as many images as fit; returns the
// index of the first, or -1.
QV_PLATFORM_API int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
QV_PLATFORM_API int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF maskColor);
// index -1 appends.
QV_PLATFORM_API int ImageList_ReplaceIcon(HIMAGELIST list, int index, HICON icon);
// index -1 removes every image.
QV_PLATFORM_API BOOL ImageList_Remove(HIMAGELIST list, int index);
QV_PLATFORM_API COLORREF ImageList_SetBkColor(HIMAGELIST list, COLORREF color);
QV_PLATFORM_API BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);
// background: CLR_NONE (transparent), CLR_DEFAULT (the list's) or a colour;
// blend: the colour ILD_BLEND mixes in, CLR_DEFAULT for the highlight colour.
QV_PLATFORM_API BOOL ImageList_DrawEx(HIMAGELIST list, int index, HDC dc, int x, int y, int width, int height,
                                      COLORREF background, COLORREF blend, UINT style);

}  // extern "C"

#define ImageList_AddIcon(list, icon) ImageList_ReplaceIcon(list, -1, icon)
#define ImageList_RemoveAll(list) ImageList_Remove(list, -1)
