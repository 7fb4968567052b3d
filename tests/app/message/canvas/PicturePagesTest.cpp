// The picture pages in their tool pages on the program's frame: what the
// handwriting page does to the record when it opens, its pictures written
// under names that sort and never repeat, the pen commands reaching the
// state bar, and the read-only view. Kept as handwriting-page.png and
// picture-view.png in the build folder.
#include "app/mailops/QvMessageRecord.h"
#include "app/message/canvas/QvHandwritingCanvasPage.h"
#include "app/message/canvas/QvPictureViewCanvasPage.h"
#include "app/message/tools/QvPictureToolPage.h"
#include "platform/ui/window/ScopedGetDC.h"
#include "platform/testing/Seams.h"
#include "tests/app/foundation/BoxSession.h"

namespace qv::test {
namespace {

class PicturePages : public ProgramFrameTest {
 protected:
  template <typename Tools>
  Tools* Open() {
    auto* tools = new Tools(&record_);
    held_.emplace_back(tools);
    EXPECT_TRUE(tools->Create(QvPictureToolPage::kTemplate, frame_));
    // As the sheet does: activated, placed below the title strip while hidden, then shown.
    tools->OnSetActive();
    tools->SetWindowPos(nullptr, 0, 52, 480, 696, SWP_NOZORDER);
    tools->ShowWindow(SW_SHOW);
    seams::PumpMessages();
    return tools;
  }
  void TearDown() override {
    for (auto& t : held_) {
      if (t->m_hWnd) t->DestroyWindow();
    }
    held_.clear();
    ProgramFrameTest::TearDown();
  }
  static QvHandwritingCanvasPage* PageOf(QvToolPage* tools) {
    return static_cast<QvHandwritingCanvasPage*>(tools->GetMessagePage());
  }
  static void Line(TegakiPaintCtrl& canvas) {
    canvas.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 40));
    canvas.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300, 200));
    canvas.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(300, 200));
  }
  static CRect Placed(CWnd& w, CWnd& in) {
    CRect r;
    w.GetWindowRect(&r);
    in.ScreenToClient(&r);
    return r;
  }
  QvMessageRecord record_;
  std::vector<std::unique_ptr<QvToolPage>> held_;
};

// The record as the page leaves it once open.
TEST_F(PicturePages, HandwritingPageTakesTheRecord) {
  struct Case {
    const wchar_t* body;
    int addNotice;
    const wchar_t* bodyAfter;
  } cases[] = {
      {L"", 1, QvHandwritingCanvasPage::kNotice},
      {L"前の本文", 1, L"前の本文"},
      {L"", 0, L""},
  };
  for (const Case& c : cases) {
    record_.Clear();
    record_.isNew = 1;
    record_.toList.Add(L"suzuki@example.jp");
    record_.body = c.body;
    record_.isBlank = c.addNotice;
    auto* tools = Open<QvHandwritingToolPage>();
    EXPECT_STREQ(record_.body.GetString(), c.bodyAfter);
    EXPECT_EQ(record_.isBlank, c.body[0] == 0 ? 0 : c.addNotice);
    EXPECT_EQ(record_.isPictureMail, 1);
    EXPECT_EQ(record_.hasDrawing, 0);
    CStringArray to;
    PageOf(tools)->ToField().GetAddresses(to);
    ASSERT_EQ(to.GetSize(), 1);
    EXPECT_STREQ(to[0].GetString(), L"suzuki@example.jp");
    tools->DestroyWindow();
  }

  // A picture handed over with the request shows on the canvas and is
  // offered for turning: a quarter turn chosen, its green top right comes
  // to the top left.
  const Bytes png = MakePng(Quarters(200, 200), PngKind::Rgb);
  WriteBytes(L"\\q.png", std::string(png.begin(), png.end()));
  record_.Clear();
  record_.isPictureMail = record_.pictureFromAttachment = 1;
  record_.attachmentPaths.Add(L"\\q.png");
  Script().push_back([] {
    HWND box = ::GetActiveWindow();
    ::CheckRadioButton(box, 1152, 1155, 1152);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  auto* tools = Open<QvHandwritingToolPage>();
  EXPECT_EQ(record_.attachmentPaths.GetSize(), 0);
  ASSERT_EQ(record_.pictureFiles.GetSize(), 1);
  seams::AdvanceUiClock(10);
  seams::PumpMessages();
  EXPECT_TRUE(Script().empty()) << "the turn was offered";
  EXPECT_EQ(GetPixel(PageOf(tools)->Canvas().DrawingDC(), 140, 140), RGB(0, 255, 0));
}

// Portrait geometry of the tool page and its page, and the pen commands
// reaching the state record and the bar.
TEST_F(PicturePages, ToolsSurroundTheCanvasAndFollowThePen) {
  record_.isNew = 1;
  auto* tools = Open<QvHandwritingToolPage>();
  QvHandwritingCanvasPage* page = PageOf(tools);
  ASSERT_NE(page, nullptr);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(Placed(tools->Button(i), *tools), CRect(6 + 95 * i, 696 - 65, 6 + 95 * i + 88, 696 - 4)) << i;
    EXPECT_TRUE(tools->Button(i).IsWindowEnabled());
  }
  EXPECT_EQ(Placed(tools->StateBar(), *tools), CRect(0, 696 - 110, 480, 696 - 65));
  EXPECT_EQ(Placed(*page, *tools), CRect(0, 4, 480, 4 + 696 - 106));
  EXPECT_EQ(Placed(page->Canvas(), *page), CRect(13, 83, 463, 533));
  for (QvFlexibleEdit* field : {static_cast<QvFlexibleEdit*>(&page->ToField()), static_cast<QvFlexibleEdit*>(&page->SubjectField())}) {
    EXPECT_EQ(Placed(*field, *page).Height(), field->FirstCharsHeight()) << "header rows laid out while hidden";
  }
  struct Step {
    UINT command;
    int tool, width;
    UINT widthBitmap, toolBitmap;
  } steps[] = {
      {40192, 1, 2, 329, 325}, {40194, 1, 10, 328, 325}, {40159, 2, 10, 328, 332},
      {40193, 2, 5, 326, 332}, {40190, 1, 5, 326, 325},
  };
  for (const Step& s : steps) {
    page->SendMessage(WM_COMMAND, s.command);
    EXPECT_EQ(tools->PenState().tool, s.tool) << s.command;
    EXPECT_EQ(tools->PenState().width, s.width) << s.command;
    EXPECT_EQ(page->Canvas().GetWidth(), s.width) << s.command;
    EXPECT_EQ(tools->StateBar().BitmapId(CStateDisplayTegakiBar::kWidth, true), s.widthBitmap) << s.command;
    EXPECT_EQ(tools->StateBar().BitmapId(CStateDisplayTegakiBar::kTool, true), s.toolBitmap) << s.command;
    EXPECT_EQ(QvPictureToolPage::PenCommandForBitmap(s.widthBitmap),
              s.width == 2 ? 40192u : s.width == 10 ? 40194u : 40193u);
  }
  // A page with nothing entered may close; a line drawn is something.
  EXPECT_TRUE(page->NothingEntered());
  Line(page->Canvas());
  EXPECT_FALSE(page->NothingEntered());
  // The stroke stays on the canvas, wherever the page put it.
  {
    const ScopedGetDC dc(page->m_hWnd);
    int ink = 0;
    for (int y = 0; y < 83; ++y)
      for (int x = 80; x < 463; ++x) ink += GetPixel(dc, x, y) == 0;  // right of the labels
    EXPECT_EQ(ink, 0) << "black above the canvas";
    EXPECT_EQ(GetPixel(dc, 13 + 170, 83 + 120), 0u) << "on the line";
  }
  page->SubjectField().SetWindowText(L"手書きのテスト");
  seams::PumpMessages();
  EXPECT_TRUE(seams::SaveScreenPng(BuildFile("handwriting-page.png")));
}

// Each commit writes a new picture and puts it first; names are padded and unique.
TEST_F(PicturePages, PicturesAreNamedByTimeAndNeverReused) {
  struct Name {
    SYSTEMTIME time;
    unsigned sequence;
    const wchar_t* name;
  } names[] = {
      {{2009, 3, 6, 7, 9, 5, 1, 0}, 0, L"20090307090501.jpg"},
      {{2009, 1, 0, 11, 1, 1, 1, 0}, 0, L"20090111010101.jpg"},  // unpadded, these two were the same
      {{2009, 11, 0, 1, 1, 1, 1, 0}, 0, L"20091101010101.jpg"},
      {{2026, 12, 4, 10, 23, 59, 59, 0}, 2, L"20261210235959_2.jpg"},
  };
  for (const Name& n : names) {
    EXPECT_EQ(QvHandwritingCanvasPage::PictureFileName(n.time, n.sequence), n.name);
  }

  record_.isNew = 1;
  auto* tools = Open<QvHandwritingToolPage>();
  QvHandwritingCanvasPage* page = PageOf(tools);
  Line(page->Canvas());
  EXPECT_TRUE(tools->StorePage(1));
  EXPECT_EQ(record_.hasDrawing, 1);
  // Two commits in one second: 9:05:01 on 7 March 2009, Japan time.
  seams::SetClock(SYSTEMTIME{2009, 3, 6, 7, 0, 5, 1, 0});
  ASSERT_TRUE(tools->PrepareSend(0));
  const std::wstring first = page->LastPicturePath();
  ASSERT_TRUE(tools->PrepareSend(0));
  const std::wstring second = page->LastPicturePath();
  EXPECT_NE(first, second) << "two commits in one second";
  EXPECT_EQ(first, std::wstring(QvHandwritingCanvasPage::kPictureFolder) + L"20090307090501.jpg");
  EXPECT_EQ(first.rfind(QvHandwritingCanvasPage::kPictureFolder, 0), 0u);
  ASSERT_EQ(record_.pictureFiles.GetSize(), 1);
  EXPECT_EQ(std::wstring(record_.pictureFiles[0].GetString()), second);
  for (const std::wstring& p : {first, second}) EXPECT_NE(GetFileAttributesW(p.c_str()), INVALID_FILE_ATTRIBUTES);
  tools->DiscardPicture(0, 0);
  EXPECT_EQ(GetFileAttributesW(second.c_str()), INVALID_FILE_ATTRIBUTES);
  // With the check, a malformed To stops the commit; a received picture
  // attachment becomes the picture; turning the mail into text drops it.
  page->ToField().SetWindowText(L"<broken@example.jp");
  EXPECT_FALSE(tools->PrepareSend(1));
  EXPECT_EQ(page->LastPicturePath(), second);
  record_.attachmentPaths.Add(L"\\got.jpg");
  page->AdoptAttachment();
  EXPECT_EQ(record_.attachmentPaths.GetSize(), 0);
  ASSERT_EQ(record_.pictureFiles.GetSize(), 2);
  EXPECT_STREQ(record_.pictureFiles[1].GetString(), L"\\got.jpg");
  page->DropPicture();
  EXPECT_STREQ(record_.pictureFiles[0].GetString(), L"\\got.jpg");

  // A draft whose picture cannot be read opens white, with no picture listed.
  WriteBytes(L"\\cut.jpg", "\xFF\xD8\xFF\xE0");
  record_.Clear();
  record_.isPictureMail = 1;
  record_.pictureFiles.Add(L"\\cut.jpg");
  auto* draft = Open<QvHandwritingToolPage>();
  EXPECT_EQ(record_.pictureFiles.GetSize(), 0);
  EXPECT_EQ(GetPixel(PageOf(draft)->Canvas().DrawingDC(), 225, 225), 0xFFFFFFu);
}

TEST_F(PicturePages, ViewShowsTheMailReadOnlyWithinItsLimits) {
  struct Name {
    const wchar_t* path;
    const wchar_t* name;
  } names[] = {{L"\\Mail\\1\\200937951.jpg", L"200937951.jpg"}, {L"C:pic.jpg", L"pic.jpg"}, {L"pic.jpg", L"pic.jpg"}};
  for (const Name& n : names) EXPECT_EQ(QvPictureViewCanvasPage::ProposedName(n.path), n.name);

  struct Limit {
    int subject, body, to;
    int subjectAfter, bodyAfter, toAfter;
    bool crAtCut;
  } limits[] = {
      {10, 10, 3, 10, 10, 3, false},
      {65537, 65536, 257, 65536, 65535, 256, false},
      {65537, 65535, 256, 65535, 65535, 256, true},  // the cut moves before a CR
  };
  for (const Limit& l : limits) {
    QvMessageRecord r;
    r.subject = CString(L'件', l.subject);
    if (l.crAtCut) r.subject.SetAt(65535, L'\r');
    r.body = CString(L'本', l.body);
    for (int i = 0; i < l.to; ++i) r.toList.Add(L"a@example.jp");
    const bool cut = QvPictureViewCanvasPage::ApplyViewLimits(&r);
    EXPECT_EQ(cut, l.subject != l.subjectAfter || l.body != l.bodyAfter || l.to != l.toAfter);
    EXPECT_EQ(r.subject.GetLength(), l.subjectAfter);
    EXPECT_EQ(r.body.GetLength(), l.bodyAfter);
    EXPECT_EQ(r.toList.GetSize(), l.toAfter);
  }

  record_.isPictureMail = 1;
  record_.from = L"山田<yamada@example.jp>";
  record_.subject = L"絵です";
  auto* tools = Open<QvPictureViewToolPage>();
  auto* page = static_cast<QvPictureViewCanvasPage*>(tools->GetMessagePage());
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(tools->Button(i).IsWindowEnabled()) << i;
  EXPECT_FALSE(tools->StateBar().EnabledLook());
  EXPECT_TRUE(page->Canvas().IsReadOnly());
  EXPECT_FALSE(page->ToField().IsWindowVisible());
  EXPECT_TRUE(page->SecondField().IsReadOnly());
  Line(page->Canvas());
  EXPECT_FALSE(page->Canvas().IsModified());
  EXPECT_EQ(record_.isPictureMail, 1);
  seams::PumpMessages();
  EXPECT_TRUE(seams::SaveScreenPng(BuildFile("picture-view.png")));
}

}  // namespace
}  // namespace qv::test
