// What the message-box tests share with the display's: the program's
// resource library as the resource handle, and a sheet of thumbnails made
// by the file browser's loader from pictures of each kind, run modally with
// the program's drawn box over it. Boxes are driven by the steps of
// tests/platform/framework, taken while the program waits for input.
#pragma once

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/foundation/LMessageBox.h"
#include "app/foundation/Thumbnails.h"
#include "platform/kernel/Library.h"
#include "tests/app/ProtocolNames.h"
#include "tests/platform/framework/FrameworkTest.h"
#include "tests/support/TestImages.h"

namespace qv::test {

// Runs the queue through the framework's message filter, as the program's loop does.
inline void RunThroughFilter() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (AfxPreTranslateMessage(&m)) continue;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

inline std::string BuildFile(const std::string& name) {
  const char* dir = std::getenv("QV_BINARY_DIR");
  return std::string(dir && *dir ? dir : ".") + "/" + name;
}

inline HMODULE LoadProgramResources() {
  ::setenv("QVMAIL_LIBRARY_PATH", BuildFile("outside/QvMailRes").c_str(), 1);
  HMODULE res = LoadLibraryW(L"QvMailRes.dll");
  AfxSetResourceHandle(res);
  return res;
}

// The program's resources and a scripted main frame (which deletes itself
// with its window), for the tests of the program's own windows.
inline void OpenProgram(HMODULE* res, ScriptFrame** frame) {
  *res = LoadProgramResources();
  ASSERT_NE(*res, nullptr);
  *frame = new ScriptFrame;
  ASSERT_TRUE((*frame)->Create(nullptr, L"T-VELA4メール ", WS_POPUP | WS_VISIBLE));
}
inline void CloseProgram(HMODULE res, ScriptFrame* frame) {
  Script().clear();
  if (frame) frame->DestroyWindow();
  CWnd::DeleteTempMap();
  AfxSetResourceHandle(nullptr);
  if (res) FreeLibrary(res);
}

class ProgramFrameTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    OpenProgram(&res_, &frame_);
  }
  void TearDown() override {
    CloseProgram(res_, frame_);
    FrameworkTest::TearDown();
  }

  HMODULE res_ = nullptr;
  ScriptFrame* frame_ = nullptr;
};

// A full-screen dialog that asks the loader for its pictures and paints
// each thumbnail as it comes, three to a row, named underneath; it takes
// the steps while boxes over it wait.
class ThumbnailSheet : public CDialog {
 public:
  static constexpr UINT kBox = 128;
  static constexpr size_t kPictures = 5;  // one of them broken

  // Writes the pictures into `hostFolder`, the device root.
  ThumbnailSheet(const std::string& hostFolder, CWnd* parent) {
    const std::pair<const char*, Bytes> files[kPictures] = {
        {"quarters.jpg", MakeJpeg(Quarters(240, 180))}, {"quarters.png", MakePng(Quarters(160, 120), PngKind::Rgb)},
        {"tall.bmp", MakeBmp(Quarters(60, 150), BmpKind::Rgb24)}, {"small.gif", MakeGif(Quarters(48, 48))},
        {"broken.jpg", Bytes{0xFF, 0xD8, 0xFF, 0x00}}};
    for (const auto& [name, bytes] : files) {
      std::ofstream(hostFolder + "/" + name, std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      paths_.push_back(L"\\" + std::wstring(name, name + std::strlen(name)));
    }
    DialogTemplate t;
    t.style = WS_POPUP | WS_CAPTION | DS_SETFONT;
    t.caption = L"画像の選択";
    units_ = t.Build();
    InitModalIndirect(reinterpret_cast<LPCDLGTEMPLATEW>(units_.data()), parent);
  }
  ~ThumbnailSheet() override {
    loader_.Stop();
    for (const ThumbnailEntry& e : done_) DeleteObject(e.bitmap);
  }

  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    MoveWindow(0, 0, qv::ui::CurrentProfile().width, qv::ui::CurrentProfile().height);
    loader_.Start(m_hWnd, kBox);
    for (size_t i = 0; i < paths_.size(); ++i) loader_.Request(static_cast<int>(i), paths_[i]);
    return TRUE;
  }
  // Real time: the loader decodes on its own thread.
  void AwaitThumbnails() {
    MSG m;
    while (done_.size() < paths_.size() && GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
    UpdateWindow();
  }
  const std::vector<ThumbnailEntry>& Done() const { return done_; }
  // Where thumbnail `i` is painted, in client coordinates.
  static RECT Cell(size_t i) {
    const LONG x = 16 + static_cast<LONG>(i % 3) * 152, y = 16 + static_cast<LONG>(i / 3) * 176;
    return {x, y, x + static_cast<LONG>(kBox), y + static_cast<LONG>(kBox)};
  }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_USER) {
      for (ThumbnailEntry e; loader_.TakeDone(&e);) done_.push_back(e);
      Invalidate();
      return 0;
    }
    if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX) {
      if (!TakeStep(m_hWnd)) ::PostMessageW(reinterpret_cast<HWND>(lParam), WM_COMMAND, IDCANCEL, 0);
      return 0;
    }
    if (message != WM_PAINT) return CDialog::WindowProc(message, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
    SetBkMode(dc, TRANSPARENT);
    for (const ThumbnailEntry& e : done_) {
      RECT cell = Cell(static_cast<size_t>(e.itemId));
      FrameRect(dc, &cell, GetSysColorBrush(COLOR_BTNSHADOW));
      HGDIOBJ old = SelectObject(memory, e.bitmap);
      if (e.bitmap) BitBlt(dc, cell.left + (kBox - e.width) / 2, cell.top + (kBox - e.height) / 2, e.width, e.height,
                           memory, 0, 0, SRCCOPY);
      else DrawTextW(dc, L"読込失敗", -1, &cell, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      SelectObject(memory, old);
      RECT label{cell.left - 8, cell.bottom + 4, cell.right + 8, cell.bottom + 40};
      DrawTextW(dc, e.path.c_str() + 1, -1, &label, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(dc, font);
    DeleteDC(memory);
    ::EndPaint(m_hWnd, &ps);
    return 0;
  }

 private:
  std::vector<std::wstring> paths_;
  std::vector<DWORD> units_;
  ThumbnailLoader loader_;
  std::vector<ThumbnailEntry> done_;
};

// Runs the sheet with every thumbnail in, then `boxUp` while the drawn box
// (Yes/No/Cancel, question) stands over it; `boxUp` must answer the box.
// Returns the box's answer.
inline int SheetUnderBox(CWnd* owner, const std::string& hostFolder,
                         const std::function<void(ThumbnailSheet&)>& sheetUp,
                         const std::function<void(HWND box)>& boxUp) {
  ThumbnailSheet sheet(hostFolder, owner);
  int answer = 0;
  Script() = {[&] {
                sheet.AwaitThumbnails();
                sheetUp(sheet);
              },
              [&] {
                Script().push_front([&] { boxUp(GetActiveWindow()); });
                answer = ShowLMessageBox(&sheet, L"選択した画像を添付しますか？\n添付できるのは 5 件までです。",
                                         L"画像の添付", 0x23, L"添付", L"やめる", L"");
              },
              [&] { sheet.EndDialog(IDOK); }};
  EXPECT_EQ(sheet.DoModal(), IDOK);
  return answer;
}

}  // namespace qv::test
