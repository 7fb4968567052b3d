// Decorated mail as the control shows it, saved as PNGs in the build folder:
// the decorated mails of the MIME tests' corpus (decoded by the engine, their
// inline parts written to the message's folder and handed over as the
// program does) and three hand-made newsletters with tables, nested lists,
// inline styles and 41 pictures by "cid:". Hostile parts of the newsletters
// (scripts, trackers, forms, frames) must leave no trace: no connection to a
// listening server, no request for a remote picture.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/public/content/EmlCompose.h"
#include "outside/Markwright/HtmlEditCtrl.h"
#include "outside/Markwright/QvHtmlFileList.h"
#include "platform/base/WideText.h"
#include "platform/gdi/Surface.h"
#include "platform/ui/window/Screen.h"
#include "tests/platform/ui/UiTest.h"
#include "tests/support/TestImages.h"

namespace {

using qv::test::UiTest;

std::filesystem::path Source() {
  const char* top = std::getenv("QV_SOURCE_DIR");
  return top ? std::filesystem::path(top)
             : std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().parent_path();
}

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class HtmlPictures : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    InitializeHtmlEditCtrl(nullptr, 0);
    parent_ = Make(WS_POPUP | WS_VISIBLE);
    qv::test::CurrentHandler() = [this](HWND h, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
      if (h != parent_ || m != WM_NOTIFY) return std::nullopt;
      auto* n = reinterpret_cast<NMHTMLEDIT*>(l);
      if (n->hdr.code != HEN_RESOLVE) return 0;
      asked_.push_back(n->text);
      auto it = pictures_.find(n->text);
      if (it != pictures_.end()) wcsncpy(n->buffer, it->second.c_str(), HTMLEDIT_MAXPATH);
      return 0;
    };
    MakeDir(L"\\msg");
  }
  void TearDown() override {
    DestroyWindow(parent_);
    UiTest::TearDown();
  }

  // A picture of one colour with a dark frame for every cid the HTML names.
  void MakePictures(const std::string& html) {
    size_t at = 0;
    int n = 0;
    while ((at = html.find("cid:", at)) != std::string::npos) {
      size_t end = html.find('"', at);
      const std::wstring cid = qv::Utf8ToWide(html.substr(at, end - at));
      at = end;
      if (pictures_.count(cid)) continue;
      qv::test::Pixels px;
      px.width = 120;
      px.height = 90;
      const DWORD colors[] = {0xFFE06040, 0xFF40A060, 0xFF4070D0, 0xFFE0B020, 0xFF9050C0, 0xFF30B0B0};
      px.argb.assign(px.width * px.height, colors[n % 6]);
      for (UINT x = 0; x < px.width; ++x) px.At(x, 0) = px.At(x, px.height - 1) = 0xFF202020;
      for (UINT y = 0; y < px.height; ++y) px.At(0, y) = px.At(px.width - 1, y) = 0xFF202020;
      const std::wstring path = L"\\msg\\pic" + std::to_wstring(n++) + L".png";
      const auto bytes = qv::test::MakePng(px, qv::test::PngKind::Rgb);
      WriteBytes(path, std::string(bytes.begin(), bytes.end()));
      pictures_[cid] = path;
    }
  }

  HWND Show(const std::wstring& html, const QvHtmlFileList* files = nullptr) {
    HWND c = CreateWindowExW(0, HTMLEDIT_CLASS, L"", WS_CHILD | WS_VISIBLE | ES_READONLY, 0, 0, 480, 800, parent_,
                             reinterpret_cast<HMENU>(1070), nullptr, nullptr);
    SendMessageW(c, EM_EXLIMITTEXT, 0, 10240);
    SendMessageW(c, HEM_READINGMODE, 1, 0);
    if (files) SendMessageW(c, HEM_SETFILELISTS, reinterpret_cast<WPARAM>(files), 0);
    SendMessageW(c, HEM_LOADHTML, reinterpret_cast<WPARAM>(html.c_str()), 0);
    return c;
  }
  void Save(const std::string& name) {
    Pump();
    UpdateWindow(parent_);
    const char* dir = getenv("QV_BINARY_DIR");
    EXPECT_TRUE(qv::seams::SaveScreenPng(std::string(dir ? dir : ".") + "/" + name));
  }
  // Pixels of the screen that are neither the page's background nor white.
  static int Colored(COLORREF color) {
    auto s = qv::ui::ScreenSurface();
    int n = 0;
    for (int y = 0; y < 800; ++y)
      for (int x = 0; x < 480; ++x) n += qv::gdi::ColorOf(s->Row(y)[x]) == color ? 1 : 0;
    return n;
  }

  HWND parent_ = nullptr;
  std::map<std::wstring, std::wstring> pictures_;
  std::vector<std::wstring> asked_;
};

TEST_F(HtmlPictures, NewslettersAreShownAsFlowedTextWithTheirPictures) {
  // A server the hostile parts would reach if anything were fetched.
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
  socklen_t len = sizeof(addr);
  getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  ASSERT_EQ(listen(listener, 4), 0);
  const std::string port = std::to_string(ntohs(addr.sin_port));

  for (const char* name : {"shop", "travel", "club"}) {
    std::string html = ReadFile(Source() / "tests/outside/markwright/newsletters" / (std::string(name) + ".html"));
    ASSERT_FALSE(html.empty()) << name;
    // Every remote reference points at the listening server.
    for (const char* host : {"tracker.example", "evil.example", "ads.example"}) {
      for (size_t at = 0; (at = html.find(host, at)) != std::string::npos;) html.replace(at, strlen(host), "127.0.0.1:" + port);
    }
    MakePictures(html);
    asked_.clear();
    HWND c = Show(qv::Utf8ToWide(html));
    Save(std::string("markwright-newsletter-") + name + ".png");
    for (const std::wstring& ref : asked_) EXPECT_EQ(ref.rfind(L"cid:", 0), 0u) << "only cid: is asked for: " << ref;
    std::vector<wchar_t> text(static_cast<size_t>(SendMessageW(c, WM_GETTEXTLENGTH, 0, 0)) + 1);
    SendMessageW(c, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    const std::wstring shown(text.data());
    for (const wchar_t* never : {L"document.write", L"プレヘッダー", L"入力欄", L"送信", L"広告", L"動画", L"font-family"})
      EXPECT_EQ(shown.find(never), std::wstring::npos) << name << " shows " << qv::WideToUtf8(never);
    DestroyWindow(c);
  }
  EXPECT_EQ(pictures_.size(), 41u);
  sockaddr_in peer{};
  socklen_t peerLen = sizeof(peer);
  EXPECT_LT(accept(listener, reinterpret_cast<sockaddr*>(&peer), &peerLen), 0) << "no connection was made";
  close(listener);
}

TEST_F(HtmlPictures, NewsletterTextKeepsItsTablesListsAndStyles) {
  const std::string html = ReadFile(Source() / "tests/outside/markwright/newsletters/club.html");
  MakePictures(html);
  HWND c = Show(qv::Utf8ToWide(html));
  std::vector<wchar_t> text(static_cast<size_t>(SendMessageW(c, WM_GETTEXTLENGTH, 0, 0)) + 1);
  SendMessageW(c, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  const std::wstring shown(text.data());
  for (const wchar_t* kept : {L"写真クラブ会報 第12号", L"1. 撮影会", L"\u3000・日時：９月６日（土）", L"\u3000\u3000・雨天中止",
                              L"2. 次回の締切：９月３０日", L"写真24"})
    EXPECT_NE(shown.find(kept), std::wstring::npos) << qv::WideToUtf8(kept);
  Save("markwright-club-top.png");
  EXPECT_GT(Colored(RGB(0x22, 0x88, 0x22)), 20) << "the inline style's green text is drawn";
  DestroyWindow(c);
}

TEST_F(HtmlPictures, CorpusMailsShowTheirHtmlAndInlineParts) {
  SYSTEMTIME utc{};
  utc.wYear = 2026;
  utc.wMonth = 12;
  utc.wDay = 8;
  qv::seams::SetClock(utc);
  const char* mails[] = {"corpus/utf8_html_alternative.eml", "corpus/related_cid.eml", "golden/html_inline_attachment.eml"};
  int index = 0;
  for (const char* mail : mails) {
    std::string raw = ReadFile(Source() / "tests/engine/content/mime" / mail);
    ASSERT_FALSE(raw.empty()) << mail;
    EmlCompose eml;
    Email decoded;
    ASSERT_TRUE(eml.Decode(&decoded, &raw)) << mail;
    ASSERT_FALSE(decoded.htmlBody.empty()) << mail;
    QvHtmlFileList files;
    const std::wstring folder = L"\\msg" + std::to_wstring(index) + L"\\";
    MakeDir(folder.substr(0, folder.size() - 1));
    for (const Enclosure& part : decoded.inlineParts) {
      Enclosure e = part;
      e.folder = folder;
      e.name = e.fileName.empty() ? e.displayName : e.fileName;
      ASSERT_TRUE(eml.GetEnclosure(raw, e)) << mail << " " << std::hex << eml.GetErrorInfo() << " " << qv::WideToUtf8(e.name);
      files.Add(folder + e.name, e.name, part.mediaType + L"/" + part.mediaSubtype, L"cid:" + part.contentId);
    }
    asked_.clear();
    HWND c = Show(decoded.htmlBody, &files);
    Save("markwright-corpus-" + std::to_string(++index) + ".png");
    EXPECT_GT(SendMessageW(c, WM_GETTEXTLENGTH, 0, 0) + static_cast<LRESULT>(decoded.inlineParts.size()), 0) << mail;
    DestroyWindow(c);
  }
}

}  // namespace
