// The handwriting canvas and its state bar on the program's frame: a stroke
// list replayed gives the bitmap the stylus drew, undo and redo keep one
// step, the erasers, pictures in and the JPEG out, and the bar's pieces by
// geometry and colour. The canvas is kept as canvas.png and the bars as
// tegaki-bar.png and tegaki-bar-landscape.png in the build folder. The JPEG
// the canvas writes is read back in HandwrittenMailTest.cpp.
#include <algorithm>
#include <vector>

#include "app/message/canvas/CStateDisplayTegakiBar.h"
#include "app/message/canvas/TegakiPaintCtrl.h"
#include "app/message/deco/QvTegakiColorPadDlg.h"
#include "platform/gdi/ImagingFactory.h"
#include "platform/testing/Seams.h"
#include "platform/ui/window/ScopedGetDC.h"
#include "tests/app/foundation/BoxSession.h"

namespace qv::test {
namespace {

constexpr COLORREF kWhiteRef = 0xFFFFFF;
constexpr int kSide = 450;

// One recorded step: the stylus (down, move, up at a point of the canvas) or a tool.
struct Step {
  enum Kind { kDown, kMove, kUp, kHover, kPen, kEraser, kWidth, kColor, kClear, kUndo, kRedo } kind;
  int x = 0, y = 0;  // point, or the width or colour in x
};

std::vector<Step> Stroke(std::initializer_list<POINT> points) {
  std::vector<Step> steps;
  bool first = true;
  for (POINT p : points) {
    steps.push_back({first ? Step::kDown : Step::kMove, p.x, p.y});
    first = false;
  }
  steps.push_back({Step::kUp, points.end()[-1].x, points.end()[-1].y});
  return steps;
}

class Canvas : public ProgramFrameTest {
 protected:
  void TearDown() override {
    for (auto& c : canvases_) {
      if (c->m_hWnd) c->DestroyWindow();
    }
    canvases_.clear();
    ProgramFrameTest::TearDown();
  }
  TegakiPaintCtrl* Make() {
    HWND control = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, frame_->m_hWnd,
                                     reinterpret_cast<HMENU>(1145), nullptr, nullptr);
    auto* canvas = new TegakiPaintCtrl;
    canvases_.emplace_back(canvas);
    canvas->SetPlacement(13, 83, 467, 537);
    EXPECT_TRUE(canvas->AttachControl(control));
    return canvas;
  }
  // Live: the stylus through the device's input; else messages sent straight to the canvas.
  void Play(TegakiPaintCtrl* canvas, const std::vector<Step>& steps, bool live) {
    for (const Step& s : steps) {
      static constexpr UINT kMessages[] = {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP, WM_MOUSEMOVE};
      switch (s.kind) {
        case Step::kHover:
          canvas->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(s.x, s.y));
          break;
        case Step::kDown: case Step::kMove: case Step::kUp:
          if (live) {
            POINT p{s.x, s.y};
            canvas->ClientToScreen(&p);
            seams::InjectPointer(kMessages[s.kind], p);
            seams::PumpMessages();
          } else {
            canvas->SendMessage(kMessages[s.kind], s.kind == Step::kUp ? 0 : MK_LBUTTON, MAKELPARAM(s.x, s.y));
          }
          break;
        case Step::kPen: canvas->SelectPen(); break;
        case Step::kEraser: canvas->SelectEraser(); break;
        case Step::kWidth: canvas->SetWidth(s.x); break;
        case Step::kColor: canvas->SetColor(static_cast<COLORREF>(s.x)); break;
        case Step::kClear: canvas->Clear(); break;
        case Step::kUndo: canvas->Undo(); break;
        case Step::kRedo: canvas->Redo(); break;
      }
    }
  }
  // Every pixel of a DC's 450 x 450 top-left square as COLORREF values, copied out in one blit.
  static std::vector<COLORREF> Pixels(HDC dc) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kSide, -kSide, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const ScopedGdiObject<HBITMAP> copy(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    {
      const MemoryDC into(copy.get());
      BitBlt(into, 0, 0, kSide, kSide, dc, 0, 0, SRCCOPY);
    }
    std::vector<COLORREF> out(static_cast<size_t>(kSide) * kSide);
    const auto* p = static_cast<const DWORD*>(bits);
    for (size_t i = 0; i < out.size(); ++i) out[i] = RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF);
    return out;
  }
  static std::vector<COLORREF> Surface(TegakiPaintCtrl* c) { return Pixels(c->DrawingDC()); }
  // What the window shows once it painted.
  static std::vector<COLORREF> OnScreen(TegakiPaintCtrl* c) {
    seams::PumpMessages();
    return Pixels(ScopedGetDC(c->m_hWnd));
  }
  static int Count(const std::vector<COLORREF>& pixels, COLORREF color) {
    return static_cast<int>(std::count(pixels.begin(), pixels.end(), color));
  }
  std::wstring WritePicture(const wchar_t* name, const Bytes& bytes) {
    WriteBytes(name, std::string(bytes.begin(), bytes.end()));
    return name;
  }
  std::vector<std::unique_ptr<TegakiPaintCtrl>> canvases_;
};

// Strokes in two colours and widths, a white eraser, undo and redo, drawn
// with the stylus and recorded; the list played again on a new canvas gives
// the same bitmap, and the window shows exactly the surface that is saved.
TEST_F(Canvas, ReplayedStrokeListGivesTheSameBitmap) {
  std::vector<Step> steps;
  for (const std::vector<Step>& part :
       {Stroke({{20, 20}, {200, 40}, {220, 300}}), {{Step::kColor, 0x0000FF}, {Step::kWidth, 10}},
        Stroke({{400, 30}, {60, 420}}), {{Step::kUndo}, {Step::kRedo}, {Step::kEraser}},
        Stroke({{100, 200}, {300, 220}}), {{Step::kPen}, {Step::kWidth, 2}}, Stroke({{30, 440}, {440, 440}})}) {
    steps.insert(steps.end(), part.begin(), part.end());
  }

  TegakiPaintCtrl* live = Make();
  Play(live, steps, true);
  const std::vector<COLORREF> drawn = Surface(live);
  EXPECT_EQ(OnScreen(live), drawn) << "the window and the saved surface differ";
  EXPECT_EQ(GetPixel(live->DrawingDC(), 200, 40), 0x000000u);
  EXPECT_EQ(GetPixel(live->DrawingDC(), 230, 225), 0x0000FFu) << "the red stroke, undone and redone";
  EXPECT_EQ(GetPixel(live->DrawingDC(), 200, 211), kWhiteRef) << "the eraser crossed the red stroke here";
  EXPECT_TRUE(seams::SaveScreenPng(BuildFile("canvas.png")));
  live->DestroyWindow();

  TegakiPaintCtrl* replayed = Make();
  Play(replayed, steps, false);
  EXPECT_EQ(Surface(replayed), drawn);
}

// One step of undo and one of redo, by the bitmaps they bring back.
TEST_F(Canvas, UndoAndRedoKeepOneStep) {
  TegakiPaintCtrl* c = Make();
  Play(c, Stroke({{10, 10}, {100, 100}}), false);
  const auto one = Surface(c);
  Play(c, Stroke({{10, 100}, {100, 10}}), false);
  const auto two = Surface(c);
  struct Case {
    Step::Kind action;
    const std::vector<COLORREF>* expect;
    bool canUndo, canRedo;
  } cases[] = {
      {Step::kUndo, &one, false, true},
      {Step::kUndo, &one, false, true},  // a second undo has nothing to take back
      {Step::kRedo, &two, true, false},
      {Step::kRedo, &two, true, false},
      {Step::kUndo, &one, false, true},
  };
  int i = 0;
  for (const Case& k : cases) {
    Play(c, {{k.action}}, false);
    EXPECT_TRUE(Surface(c) == *k.expect) << "step " << i;
    EXPECT_EQ(c->CanUndo(), k.canUndo) << "step " << i;
    EXPECT_EQ(c->CanRedo(), k.canRedo) << "step " << i;
    ++i;
  }
  Play(c, {{Step::kClear}}, false);
  EXPECT_EQ(Count(Surface(c), kWhiteRef), kSide * kSide);
  EXPECT_FALSE(c->IsModified());
  Play(c, {{Step::kUndo}}, false);
  EXPECT_TRUE(Surface(c) == one);
}

// Input that must and must not change the drawing.
TEST_F(Canvas, OnlyAStrokeOnAWritableCanvasMarksItModified) {
  struct Case {
    const char* name;
    bool readOnly;
    std::vector<Step> steps;
    bool modified;
  } cases[] = {
      {"hover without the button", false, {{Step::kMove, 50, 50}, {Step::kMove, 90, 90}}, false},
      {"a tap", false, {{Step::kDown, 50, 50}, {Step::kUp, 50, 50}}, false},
      {"a stroke", false, Stroke({{50, 50}, {90, 90}}), true},
      {"a stroke on a read-only canvas", true, Stroke({{50, 50}, {90, 90}}), false},
      {"moves after the button came up", false,
       {{Step::kDown, 50, 50}, {Step::kUp, 50, 50}, {Step::kMove, 90, 90}}, false},
      {"moves after the button came up elsewhere", false, {{Step::kDown, 50, 50}, {Step::kHover, 90, 90}}, false},
  };
  for (const Case& k : cases) {
    TegakiPaintCtrl* c = Make();
    c->SetReadOnly(k.readOnly);
    Play(c, k.steps, false);
    EXPECT_EQ(c->IsModified(), k.modified) << k.name;
    EXPECT_EQ(Count(Surface(c), kWhiteRef) < kSide * kSide, k.modified) << k.name;
    c->DestroyWindow();
  }
}

TEST_F(Canvas, PicturesAreFittedAndTheEraserRestoresThem) {
  struct Fit {
    int a, b;
    RECT r;
  } fits[] = {
      {100, 50, {175, 200, 275, 250}},  // smaller both ways: centred at its size
      {450, 450, {0, 0, 450, 450}},     // exactly the canvas
      {900, 450, {0, 112, 450, 337}},   // wide
      {300, 900, {150, 0, 300, 450}},   // tall
      {449, 450, {0, 0, 449, 450}},     // tall by one
  };
  for (const Fit& f : fits) {
    const RECT r = TegakiPaintCtrl::FitRect(f.a, f.b, kSide, kSide);
    EXPECT_TRUE(r.left == f.r.left && r.top == f.r.top && r.right == f.r.right && r.bottom == f.r.bottom)
        << f.a << "x" << f.b << " -> " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  }

  ASSERT_TRUE(CreateDirectoryW(L"\\Tmp", nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  const std::wstring quarters = WritePicture(L"\\Tmp\\q.png", MakePng(Quarters(600, 600), PngKind::Rgb));
  TegakiPaintCtrl* c = Make();
  c->SelectEraser();
  EXPECT_EQ(c->GetTool(), TegakiPaintCtrl::kWhiteEraser);
  ASSERT_TRUE(c->LoadPicture(quarters.c_str()));
  EXPECT_EQ(c->GetTool(), TegakiPaintCtrl::kRestoreEraser);
  EXPECT_TRUE(c->IsModified());
  EXPECT_FALSE(c->CanUndo());
  const auto picture = Surface(c);
  EXPECT_EQ(GetPixel(c->DrawingDC(), 10, 10), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(c->DrawingDC(), 440, 440), RGB(255, 255, 255));
  // Pen over the picture, then the eraser along the same line gives the picture back.
  Play(c, {{Step::kPen}, {Step::kWidth, 5}}, false);
  Play(c, Stroke({{100, 100}, {300, 100}}), false);
  EXPECT_EQ(GetPixel(c->DrawingDC(), 200, 100), 0x000000u);
  Play(c, {{Step::kEraser}, {Step::kWidth, 10}}, false);
  std::vector<Step> wipe;
  for (int x = 90; x <= 310; x += 4) wipe.push_back({x == 90 ? Step::kDown : Step::kMove, x, 100});
  wipe.push_back({Step::kUp, 310, 100});
  Play(c, wipe, false);
  EXPECT_TRUE(Surface(c) == picture);
  // Clearing forgets the picture: the eraser paints white again.
  Play(c, {{Step::kClear}}, false);
  EXPECT_EQ(c->GetTool(), TegakiPaintCtrl::kWhiteEraser);
  EXPECT_EQ(c->GetDrawColor(), kWhiteRef);

  // A picture turned a quarter: green (top right) comes to the top left.
  ASSERT_TRUE(c->LoadPictureRotated(quarters.c_str(), 90.0f));
  EXPECT_EQ(GetPixel(c->DrawingDC(), 10, 10), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(c->DrawingDC(), 10, 440), RGB(255, 0, 0));

  // Damaged pictures fail and leave the canvas as it was.
  Bytes jpeg = MakeJpeg(Quarters(64, 64));
  jpeg.resize(jpeg.size() / 2);
  // A 50-megapixel picture (10000 x 5000) whose data stops early.
  const Bytes huge = {0, 0, 0x27, 0x10, 0, 0, 0x13, 0x88, 8, 2, 0, 0, 0};
  const std::wstring pictures[] = {WritePicture(L"\\Tmp\\cut.jpg", jpeg),
                                   WritePicture(L"\\Tmp\\huge.png", MakePngFromParts(huge, Bytes(30001 * 4, 0))),
                                   L"\\Tmp\\missing.jpg"};
  const auto before = Surface(c);
  for (const std::wstring& bad : pictures) {
    EXPECT_FALSE(c->LoadPicture(bad.c_str()));
    EXPECT_FALSE(c->LoadPictureRotated(bad.c_str(), 90.0f));
  }
  EXPECT_TRUE(Surface(c) == before);
  EXPECT_FALSE(c->SaveAsJpeg(L"\\no such folder\\x.jpg"));
}

// The bar's pieces: where each is, and what colour its ground, glyph or swatch has.
TEST_F(Canvas, StateBarShowsThePenState) {
  // Every colour the pen's pad offers has its piece in both layouts.
  for (const auto& entry : QvTegakiColorPadDlg::ColorTable()) {
    UINT portrait = 0, landscape = 0;
    EXPECT_TRUE(CStateDisplayTegakiBar::ColorBitmaps(entry.color, &portrait, &landscape)) << std::hex << entry.color;
  }
  for (bool landscape : {false, true}) {
    seams::SetLandscape(landscape);
    QvTegakiPenState state;
    CStateDisplayTegakiBar bar;
    const CRect area = landscape ? CRect(700, 0, 774, 334) : CRect(0, 600, 480, 645);
    ASSERT_TRUE(bar.Create(L"", WS_CHILD | WS_VISIBLE, area, frame_, 1164));
    bar.AttachState(&state);
    // The pixel at an offset from a piece's centre.
    auto pixel = [&](CStateDisplayTegakiBar::Piece piece, int dx, int dy) {
      seams::PumpMessages();
      const RECT r = CStateDisplayTegakiBar::PieceRect(piece, !landscape);
      const int bottom = landscape ? r.bottom : 45;
      return GetPixel(ScopedGetDC(bar.m_hWnd), (r.left + r.right) / 2 + dx, (r.top + bottom) / 2 + dy);
    };
    const COLORREF blue = RGB(0x3C, 0x78, 0xD8), ground = RGB(0xE8, 0xE8, 0xE8), ink = RGB(0x30, 0x30, 0x30);
    struct Case {
      int tool, width;
      COLORREF color;
      COLORREF toolGround, eraserGround, swatch;
      int lineThickness;
    } cases[] = {
        {1, 5, 0x000000, blue, ground, 0x000000, 5},
        {2, 2, 0x0000FF, ground, blue, 0x0000FF, 2},
        {1, 10, 0xFFC800, blue, ground, 0xFFC800, 10},
        {1, 10, 0x123456, blue, ground, 0xFFC800, 10},  // not a pad colour: the swatch stays
    };
    for (const Case& k : cases) {
      state = QvTegakiPenState(k.tool, k.width, k.color);
      bar.Update();
      EXPECT_EQ(pixel(CStateDisplayTegakiBar::kTool, 0, -20), k.toolGround) << landscape;
      EXPECT_EQ(pixel(CStateDisplayTegakiBar::kEraser, -30, 0), k.eraserGround) << landscape;
      EXPECT_EQ(pixel(CStateDisplayTegakiBar::kColor, 0, 0), k.swatch) << landscape;
      int thick = 0;
      for (int dy = -12; dy <= 12; ++dy) thick += pixel(CStateDisplayTegakiBar::kWidth, 0, dy) == ink;
      EXPECT_EQ(thick, k.lineThickness) << landscape << " width " << k.width;
    }
    EXPECT_TRUE(seams::SaveScreenPng(BuildFile(landscape ? "tegaki-bar-landscape.png" : "tegaki-bar.png")));
    bar.SetEnabledLook(false);
    EXPECT_EQ(pixel(CStateDisplayTegakiBar::kTool, 0, -20), ground);
    EXPECT_EQ(pixel(CStateDisplayTegakiBar::kColor, 0, 0), ground) << "no swatch while disabled";
    bar.DestroyWindow();
  }
}

}  // namespace
}  // namespace qv::test
