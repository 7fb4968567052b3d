// The drawing canvas of a handwritten mail: a child window of fixed size on
// which the stylus draws freehand lines or erases, with one step of undo and
// one of redo, an optional background picture (possibly turned) and a JPEG
// writer. Every stroke goes to the window and to a memory surface at once,
// so a paint only copies that surface.
#pragma once

#include <memory>
#include <string>

#include "platform/framework/CStatic.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"

namespace qv {

struct MemoryDcTraits {
  static HDC InvalidValue() { return nullptr; }
  static bool IsValid(HDC dc) { return dc != nullptr; }
  static void Free(HDC dc) { ::DeleteDC(dc); }
};

// A memory DC with one bitmap selected into it for its lifetime.
class MemoryDC {
 public:
  explicit MemoryDC(HBITMAP bitmap) : dc_(::CreateCompatibleDC(nullptr)), selected_(dc_.get(), bitmap) {}
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;
  operator HDC() const { return dc_.get(); }  // NOLINT: stands for the DC in GDI calls

 private:
  ScopedGeneric<HDC, MemoryDcTraits> dc_;
  ScopedSelectObject selected_;
};

}  // namespace qv

class TegakiPaintCtrl : public CStatic {
 public:
  enum Tool { kPen = 1, kRestoreEraser = 2, kWhiteEraser = 3 };
  static constexpr COLORREF kWhite = 0xFFFFFF;

  TegakiPaintCtrl();
  ~TegakiPaintCtrl() override;

  // Where the window goes in its parent; set before it is attached.
  void SetPlacement(int left, int top, int right, int bottom);
  // Subclasses the page's static control, moves it to the placement and
  // builds the three white surfaces.
  BOOL AttachControl(HWND control);
  int DrawWidth() const { return m_right - m_left - 4; }
  int DrawHeight() const { return m_bottom - m_top - 4; }

  void SelectPen();
  void SelectEraser();
  void SetColor(COLORREF color);
  void SetWidth(int width);
  void Clear();
  void Undo();
  void Redo();
  bool CanUndo() const { return m_undoAvailable; }
  bool CanRedo() const { return m_redoAvailable; }
  bool IsModified() const { return m_modified; }
  bool HasBackground() const { return m_hasBackground; }
  int GetTool() const { return m_tool; }
  COLORREF GetDrawColor() const { return m_drawColor; }
  int GetWidth() const { return m_penWidth; }

  bool LoadPicture(const wchar_t* path);
  bool LoadPictureRotated(const wchar_t* path, float angle);
  bool SaveAsJpeg(const wchar_t* path);
  void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
  bool IsReadOnly() const { return m_readOnly; }
  // Copies a bitmap of the resource library to the drawing at (0, 0).
  bool ShowResourceBitmap(UINT id);

  // The drawing surface's DC (the pixels a paint copies to the window).
  HDC DrawingDC() const { return m_draw.dc ? static_cast<HDC>(*m_draw.dc) : nullptr; }
  // Where a picture of a x b goes in a W x H area: centred at its size when
  // smaller both ways, else scaled to fit with its aspect ratio kept.
  static RECT FitRect(int a, int b, int W, int H);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void OnButtonDown(int x, int y);
  void OnMove(int x, int y);
  void DrawLineTo(int x, int y);
  void EraseAt(int x, int y);
  void SnapshotTo(HDC dc, bool* savedBackground);
  void Restore(HDC from, bool savedBackground);
  void AfterRestore();
  void Paint();
  void Release();
  // A white DIB section of the drawing size; `bits` gets its pixels (bottom row first).
  HBITMAP CreateWhiteDib(DWORD** bits);
  void SetBackground(HBITMAP picture);

  // A white bitmap of the drawing size in a DC of its own.
  struct Surface {
    qv::ScopedGdiObject<HBITMAP> bitmap;
    std::unique_ptr<qv::MemoryDC> dc;  // destroyed first: the bitmap leaves it before it is deleted
    bool Create(TegakiPaintCtrl* owner);
    operator HDC() const { return dc ? static_cast<HDC>(*dc) : nullptr; }  // NOLINT
  };

  int m_left = 0, m_top = 0, m_right = 0, m_bottom = 0;
  bool m_readOnly = false;
  bool m_buttonDown = false;
  int m_lastX = -1, m_lastY = -1;
  bool m_modified = false;
  int m_tool = kPen;
  int m_penWidth = 5;
  int m_eraserWidth = 5;
  COLORREF m_drawColor = 0;
  COLORREF m_penColor = 0;
  BITMAPINFO m_info{};
  Surface m_draw, m_undo, m_redo;
  qv::ScopedGdiObject<HBITMAP> m_background;
  bool m_hasBackground = false;
  bool m_undoBackground = false, m_redoBackground = false;
  bool m_undoAvailable = false, m_redoAvailable = false;
};
