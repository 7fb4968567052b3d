// The template chooser over the program's file browser: names on saving,
// and on choosing the limits, the trimmed pictures and the preview before a
// template is taken. Boxes come up for real and are recorded.
#include "app/mailops/MessageOperations.h"
#include "app/message/preview/QvTemplateFileBrowser.h"
#include "tests/app/foundation/BrowserSession.h"

namespace qv::test {
namespace {

constexpr wchar_t kFolder[] = L"\\My Documents\\テンプレート";

// Modal windows over the browser (the preview) take the script's steps too.
WNDPROC g_browserProc = nullptr;
LRESULT StepsOverBrowser(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX) {
    if (!TakeStep(hwnd)) ::PostMessageW(reinterpret_cast<HWND>(lParam), WM_COMMAND, IDCANCEL, 0);
    return 0;
  }
  return CallWindowProcW(g_browserProc, hwnd, message, wParam, lParam);
}

class TemplateChooser : public BrowserTest {
 protected:
  void SetUp() override {
    BrowserTest::SetUp();
    CreateDirectoryW(L"\\My Documents", nullptr);
    // The data folder, where a loaded template's parts are written.
    CreateDirectoryW(L"\\Application Data", nullptr);
    CreateDirectoryW(L"\\Application Data\\QuvoMail", nullptr);
    Folder(kFolder);
  }
  std::wstring Res(UINT id) const {
    WCHAR text[512];
    return LoadStringW(res_, id, text, 512) > 0 ? text : L"";
  }
  // Runs the chooser; the first step takes over the browser's idle turns.
  INT_PTR Choose(QvTemplateFileBrowser& chooser, int mode, std::wstring* path,
                 std::vector<std::function<void(QvFileBrowser&)>> steps) {
    Script().push_back([&chooser] {
      g_browserProc = reinterpret_cast<WNDPROC>(
          SetWindowLongW(chooser.Window(), GWL_WNDPROC, reinterpret_cast<LONG_PTR>(StepsOverBrowser)));
    });
    for (auto& s : steps) Script().push_back([&chooser, s] { s(chooser); });
    const INT_PTR end = chooser.Run(frame_->m_hWnd, kFolder, path, mode);
    Script().clear();
    return end;
  }
  static std::function<void(QvFileBrowser&)> Type(const std::wstring& name) {
    return [name](QvFileBrowser& b) {
      SetDlgItemTextW(b.Window(), QvFileBrowser::kNameField, name.c_str());
      PressOk(b);
    };
  }
  static std::function<void(QvFileBrowser&)> Pick(int index) {
    return [index](QvFileBrowser& b) {
      TapItem(b, index);
      PressOk(b);
    };
  }
};

TEST_F(TemplateChooser, SaveNamesAreCheckedAndGetTheirExtensionOnce) {
  struct Case {
    std::vector<std::wstring> typed;
    std::wstring path;
    size_t refusals;
  };
  const std::wstring folder = kFolder;
  const Case cases[] = {
      {{L"挨拶"}, folder + L"\\挨拶.whm", 0},
      {{L"a.b", L"ok.WHM"}, folder + L"\\ok.WHM", 1},
      {{L"x|y", L"a.b.whm", L"夏"}, folder + L"\\夏.whm", 2},
  };
  for (const Case& c : cases) {
    boxes_.clear();
    QvTemplateFileBrowser chooser;
    std::vector<std::function<void(QvFileBrowser&)>> steps;
    for (const std::wstring& t : c.typed) steps.push_back(Type(t));
    std::wstring path;
    EXPECT_EQ(Choose(chooser, QvTemplateFileBrowser::kSave, &path, steps), 1) << c.path;
    EXPECT_EQ(path, c.path);
    EXPECT_EQ(boxes_, std::vector<std::wstring>(c.refusals, Res(20197))) << c.path;
  }
}

TEST_F(TemplateChooser, ChosenTemplatesAreLimitedTrimmedAndPreviewedFirst) {
  // A template with a PNG among its pictures, one too large, one not a template.
  const Bytes jpeg = MakeJpeg(Quarters(16, 16)), png = MakePng(Quarters(16, 16), PngKind::Rgb);
  LayBytes(L"\\a.jpg", jpeg);
  LayBytes(L"\\b.png", png);
  QvMessageRecord made;
  made.htmlText = L"<p>夏のご挨拶</p><img src=\"cid:a@x\"><img src=\"cid:b@x\">";
  made.inlineFiles.Add(L"\\a.jpg", L"a.jpg", L"image/jpeg", L"cid:a@x");
  made.inlineFiles.Add(L"\\b.png", L"b.png", L"image/png", L"cid:b@x");
  ASSERT_TRUE(SaveHtmlTemplate(made, std::wstring(kFolder) + L"\\a-summer.whm"));
  Lay(std::wstring(kFolder) + L"\\b-big.whm", 10 * 1024 * 1024);
  LayBytes(std::wstring(kFolder) + L"\\c-bad.whm", Bytes{'<', 's', 'c', 'r', 'i', 'p', 't', '>'});
  struct Case {
    const char* what;
    int item;
    bool previewOk;
    INT_PTR result;
    std::vector<std::wstring> boxes;
  };
  const Case cases[] = {
      {"taken after the preview, the PNG dropped", 0, true, 1, {Res(20199)}},
      {"the preview cancelled: the browser stays", 0, false, 2, {Res(20199)}},
      {"10 MB is refused unread", 1, true, 2, {Res(20198)}},
  };
  for (const Case& c : cases) {
    boxes_.clear();
    QvTemplateFileBrowser chooser;
    bool previewed = false;
    std::vector<std::function<void(QvFileBrowser&)>> steps{Pick(c.item)};
    if (c.item == 0) {
      steps.push_back([&previewed, ok = c.previewOk](QvFileBrowser&) {
        previewed = true;
        ::PostMessageW(GetActiveWindow(), WM_COMMAND, ok ? IDOK : IDCANCEL, 0);
      });
    }
    std::wstring path;
    EXPECT_EQ(Choose(chooser, QvTemplateFileBrowser::kChoose, &path, steps), c.result) << c.what;
    EXPECT_EQ(previewed, c.item == 0) << c.what;
    EXPECT_EQ(boxes_, c.boxes) << c.what;
    if (c.result != 1) continue;
    EXPECT_EQ(path, std::wstring(kFolder) + L"\\a-summer.whm");
    EXPECT_NE(std::wstring(chooser.Record().htmlText.GetString()).find(L"夏のご挨拶"), std::wstring::npos);
    EXPECT_EQ(chooser.Record().inlineFiles.GetCount(), 1u);
  }
  // Not a template: the engine's box, then the chooser's.
  boxes_.clear();
  QvTemplateFileBrowser chooser;
  std::wstring path;
  EXPECT_EQ(Choose(chooser, QvTemplateFileBrowser::kChoose, &path, {Pick(2)}), 2);
  ASSERT_FALSE(boxes_.empty());
  EXPECT_EQ(boxes_.back(), Res(20207));
}

}  // namespace
}  // namespace qv::test
