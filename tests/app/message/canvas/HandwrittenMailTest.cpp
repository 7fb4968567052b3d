// A handwritten mail through the message sheet and the store: drawn in red,
// sent to the outbox, loaded back; its picture is the JPEG of the strokes,
// and a debugging registry value has added no hidden recipient.
#include "app/mailops/MessageOperations.h"
#include "app/message/canvas/QvHandwritingCanvasPage.h"
#include "app/message/sheet/QvMessageSheet.h"
#include "app/message/tools/QvPictureToolPage.h"
#include "platform/imaging/Imaging.h"
#include "platform/ui/MessageBoxSeam.h"
#include "tests/app/mailops/MailOpsFixture.h"
#include "tests/support/TestImages.h"

namespace qv::test {
namespace {

class HandwrittenMail : public MailOpsTest {
 protected:
  void SetUp() override {
    MailOpsTest::SetUp();
    work_ = MakeCurrentAccount(L"仕事", L"me@example.com");
    owner_ = new ScriptFrame;
    ASSERT_TRUE(owner_->Create(nullptr, L"owner", WS_POPUP | WS_VISIBLE));
    ::SetActiveWindow(owner_->m_hWnd);
    qv::msgbox_seam::SetAnswer(IDYES);
  }
  void TearDown() override {
    Script().clear();
    qv::msgbox_seam::Reset();
    owner_->DestroyWindow();
    MailOpsTest::TearDown();
  }
  TestAccount work_;
  ScriptFrame* owner_ = nullptr;
};

TEST_F(HandwrittenMail, SentPictureHoldsTheStrokes) {
  ASSERT_TRUE(WriteText(L"Software\\Norvale\\QvMail\\*debug*", L"Initmailto", L"hidden@example.jp"));
  Script() = {[] {
    auto* sheet = dynamic_cast<QvMessageSheet*>(CWnd::FromHandlePermanent(::GetActiveWindow()));
    ASSERT_NE(sheet, nullptr);
    auto* tools = dynamic_cast<QvHandwritingToolPage*>(sheet->GetActivePage());
    ASSERT_NE(tools, nullptr);
    TegakiPaintCtrl& canvas = static_cast<QvHandwritingCanvasPage*>(tools->GetMessagePage())->Canvas();
    canvas.SetColor(0x0000FF);
    canvas.SetWidth(10);
    canvas.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 120));
    canvas.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(430, 120));
    canvas.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(430, 120));
    sheet->SendMessage(WM_COMMAND, 40125);  // send
  }};
  EXPECT_TRUE(QvMessageSheet::ComposeHandwrittenMessage(owner_, L"you@example.jp"));
  std::unique_ptr<QvFolderInterface> outbox(CurrentStorage()->OpenFolder(work_.trays[3]));
  Ids ids;
  ASSERT_TRUE(outbox && outbox->GetMessageIds(&ids));
  ASSERT_EQ(ids.size(), 1u);
  QvMessageRecord back;
  ASSERT_TRUE(LoadMessageForEdit(ids[0], &back));
  EXPECT_EQ(back.isPictureMail, 1);
  ASSERT_EQ(back.toList.GetSize(), 1);
  EXPECT_STREQ(back.toList[0].GetString(), L"you@example.jp");
  ASSERT_EQ(back.pictureFiles.GetSize(), 1);
  EXPECT_EQ(back.attachmentPaths.GetSize(), 0);
  Image picture;
  ASSERT_TRUE(picture.LoadFile(back.pictureFiles[0].GetString()));
  Bitmap pixels;
  ASSERT_TRUE(picture.Decode(&pixels));
  ASSERT_EQ(pixels.Width(), 450u);
  EXPECT_LE(ColorDistance(pixels.Pixel(225, 120), kRed), 40) << "the stroke, top row first";
  EXPECT_LE(ColorDistance(pixels.Pixel(225, 330), kWhite), 16);
}

}  // namespace
}  // namespace qv::test
