// The attachment list: the names it shows and proposes, what it lets the
// shell open (hostile attachments refused, nothing run), icons kept per item
// through removal, drawn into attach-list.png in the build folder.
#include <cstdlib>
#include <filesystem>

#include "app/message/attach/QvAttachedFileListCtrl.h"
#include "app/protocol/WindowMessages.h"
#include "platform/framework/AfxResource.h"
#include "platform/framework/CEdit.h"
#include "platform/kernel/Library.h"
#include "platform/ui/commctrl/ListView.h"
#include "tests/platform/ui/UiTest.h"

namespace qv::test {
namespace {

// Counts the program's boxes shown over the list.
class CountingList : public QvAttachedFileListCtrl {
 public:
  int boxes = 0;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == kSystemBoxMessage && wParam == 1) ++boxes;
    return QvAttachedFileListCtrl::WindowProc(message, wParam, lParam);
  }
};

class HostWnd : public CWnd {};

class AttachedFileList : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    const char* dir = std::getenv("QV_BINARY_DIR");
    ::setenv("QVMAIL_LIBRARY_PATH", (std::string(dir ? dir : ".") + "/outside/QvMailRes").c_str(), 1);
    res_ = LoadLibraryW(L"QvMailRes.dll");
    ASSERT_NE(res_, nullptr);
    AfxSetResourceHandle(res_);
    ASSERT_TRUE(host_.CreateEx(0, AfxRegisterWndClass(0, nullptr, GetSysColorBrush(COLOR_WINDOW)), L"",
                               WS_POPUP | WS_VISIBLE, 0, 0, 480, 300, nullptr, nullptr));
    ASSERT_TRUE(list_.Create(WS_CHILD | WS_VISIBLE | WS_BORDER, RECT{10, 10, 470, 200}, &host_, 1200));
    qv::seams::RecordHandOffs();
    qv::seams::SetUserInterface(true);
  }
  void TearDown() override {
    list_.DestroyWindow();
    host_.DestroyWindow();
    CWnd::DeleteTempMap();
    AfxSetResourceHandle(nullptr);
    FreeLibrary(res_);
    UiTest::TearDown();
  }
  // A file in the message's folder, its device path.
  CString Attach(const std::string& name, bool executable = false) {
    std::filesystem::create_directories(Host("Mail/m1"));
    WriteHost("Mail/m1/" + name, "hello\n");
    if (executable) std::filesystem::permissions(Host("Mail/m1/" + name), std::filesystem::perms::owner_exec,
                                                 std::filesystem::perm_options::add);
    const std::wstring wide(name.begin(), name.end());
    list_.AddFile(CString((L"\\Mail\\m1\\" + wide).c_str()), -1, true);
    return list_.GetPath(list_.GetPathCount() - 1);
  }
  HMODULE res_ = nullptr;
  HostWnd host_;
  CountingList list_;
};

TEST(AttachmentNames, LabelsSaveNamesAndTypes) {
  const struct {
    const wchar_t* path;
    const wchar_t* label;
    const wchar_t* saveName;
    bool viewable;
    bool mailFile;
  } cases[] = {
      {L"\\Mail\\m1\\写真.JPG", L"写真.JPG", L"写真.JPG", true, false},
      {L"A:note.txt", L"note.txt", L"note.txt", true, false},
      {L"plain.pdf", L"plain.pdf", L"plain.pdf", true, false},
      {L"\\t\\../../x.sh", L"../../x.sh", L"x.sh", false, false},
      {L"\\t\\..\\..\\evil.exe", L"evil.exe", L"evil.exe", false, false},
      {L"\\t\\..", L"..", L"attachment", false, false},
      {L"\\t\\.profile", L".profile", L"profile", false, false},
      {L"\\t\\a..b<|>.txt", L"a..b<|>.txt", L"a.b.txt", true, false},
      {L"\\t\\doc.txt.exe", L"doc.txt.exe", L"doc.txt.exe", false, false},
      {L"\\t\\page.html", L"page.html", L"page.html", false, false},
      {L"\\t\\run.js", L"run.js", L"run.js", false, false},
      {L"\\t\\mail.EmL", L"mail.EmL", L"mail.EmL", false, true},
      {L"\\t\\mail.emlx", L"mail.emlx", L"mail.emlx", false, false},
  };
  for (const auto& c : cases) {
    const CString label = AttachmentLabel(c.path);
    EXPECT_STREQ(label, c.label) << c.path;
    EXPECT_STREQ(AttachmentSaveName(label), c.saveName) << c.path;
    EXPECT_EQ(IsViewableAttachment(label), c.viewable) << c.path;
    EXPECT_EQ(IsMailFileAttachment(label), c.mailFile) << c.path;
  }
}

TEST_F(AttachedFileList, OpensOnlyViewableFilesThroughTheHandOff) {
  const struct {
    const char* name;
    bool executable;
    int questions;  // the confirmation asked
    bool handedOff;
  } cases[] = {
      {"note.txt", false, 1, true},  {"x.sh", false, 0, false},     {"evil.exe", false, 0, false},
      {"mail.EML", false, 0, false}, {"photo.jpg", true, 1, false},  {"run.js", false, 0, false},
  };
  qv::seams::SetQuestionAnswer(IDYES);
  for (const auto& c : cases) {
    const CString path = Attach(c.name, c.executable);
    list_.SelectItem(-1);
    const int questions = qv::seams::QuestionCount();
    const size_t handOffs = qv::seams::HandOffs().size();
    const int boxes = list_.boxes;
    EXPECT_EQ(list_.OpenSelected(), c.handedOff) << c.name;
    EXPECT_EQ(qv::seams::QuestionCount() - questions, c.questions) << c.name;
    ASSERT_EQ(qv::seams::HandOffs().size(), handOffs + (c.handedOff ? 1 : 0)) << c.name;
    EXPECT_TRUE(!c.handedOff || qv::seams::HandOffs().back().target == path.str()) << c.name;
    // A refusal says so.
    EXPECT_EQ(list_.boxes - boxes, c.questions + (c.handedOff ? 0 : 1)) << c.name;
  }
}

TEST_F(AttachedFileList, KeepsEachItemsIconThroughRemovalAndLooksUpOncePerType) {
  for (const char* name : {"a.txt", "b.jpg", "c.pdf", "d.txt"}) Attach(name);
  EXPECT_EQ(list_.GetIconLookups(), 3);
  const int images[] = {list_.GetItemImage(1), list_.GetItemImage(2), list_.GetItemImage(3)};
  list_.RemoveItem(0);
  ASSERT_EQ(list_.GetPathCount(), 3);
  EXPECT_TRUE(list_.GetPath(0).Find(L"b.jpg") > 0);
  EXPECT_FALSE(list_.Contains(L"\\Mail\\m1\\a.txt"));
  EXPECT_TRUE(list_.Contains(L"\\Mail\\m1\\d.txt"));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(list_.GetItemImage(i), images[i] - 1) << i;
  list_.SelectItem(7);
  EXPECT_EQ(list_.GetSelectedIndex(), 0);
  list_.SetFocus();
  Pump();
  EXPECT_TRUE(qv::seams::SaveScreenPng(std::string(std::getenv("QV_BINARY_DIR") ? std::getenv("QV_BINARY_DIR") : ".") +
                                       "/attach-list.png"));
  EXPECT_EQ(list_.RemoveSelected(), 0);
  list_.RemoveAll();
  EXPECT_EQ(list_.GetItemCount() + list_.GetPathCount(), 0);
}

TEST_F(AttachedFileList, ArrowsStepItemsAndLeaveAtTheEnds) {
  CEdit above, below, left;
  for (CEdit* e : {&above, &below, &left}) ASSERT_TRUE(e->Create(WS_CHILD | WS_VISIBLE, RECT{0, 250, 9, 260}, &host_, 9));
  list_.SetNeighbours(0, above.m_hWnd, below.m_hWnd, left.m_hWnd);
  for (const char* name : {"a.txt", "b.jpg", "c.pdf"}) Attach(name);
  const struct {
    BYTE key;
    int selected;  // before the key
    int after;     // -1: the focus left the list
    HWND focus;
  } steps[] = {{VK_RIGHT, 0, 1, list_.m_hWnd}, {VK_DOWN, 1, 2, list_.m_hWnd}, {VK_DOWN, 2, -1, below.m_hWnd},
               {VK_LEFT, 2, 1, list_.m_hWnd},  {VK_LEFT, 0, -1, left.m_hWnd},  {VK_UP, 0, -1, above.m_hWnd}};
  for (const auto& s : steps) {
    list_.SelectItem(s.selected);
    list_.SetFocus();
    qv::seams::InjectKey(s.key, true);
    qv::seams::InjectKey(s.key, false);
    Pump();
    EXPECT_EQ(::GetFocus(), s.focus) << int(s.key) << " at " << s.selected;
    EXPECT_TRUE(s.after < 0 || list_.GetSelectedIndex() == s.after) << int(s.key);
  }
}

}  // namespace
}  // namespace qv::test
