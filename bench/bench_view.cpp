// Opening a stored mail in the reading page, timed from the request to the
// first painted screen: the message read from the store with its parts
// written out, the tool page and its page made, laid out and painted. A
// decorated mail of 1 MB with 20 pictures (goal 150 ms) beside the bare HTML
// control loading the same text from memory (what the page adds is the
// ratio), and a plain mail of 300 KB (goal 50 ms).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/mailops/CurrentAccount.h"
#include "app/mailops/MessageOperations.h"
#include "app/mailops/QvMessageRecord.h"
#include "app/mailops/TempFiles.h"
#include "app/message/tools/QvTextViewToolPage.h"
#include "bench/BenchDeviceRoot.h"
#include "bench/BenchProgramRoot.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "outside/Markwright/HtmlEditCtrl.h"
#include "platform/base/WideText.h"
#include "platform/framework/AfxResource.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Library.h"
#include "platform/registry/Registry.h"

namespace {

constexpr wchar_t kAccount[] = L"bench";
// A 16 x 16 GIF of one colour.
constexpr char kGif[] =
    "R0lGODlhEAAQAIAAAP8AAP///ywAAAAAEAAQAAACkQQIECBAgAABAgQIECBAgAABAgQIECBAgAABAgQIECBAgAABAgQIECBAgAABAgQIECBAgAAB"
    "AgQIECBAgAABAgQIECBAgAABAgQIECBAgAABAgQIECBAgAABAgQIECBAgAABAgQIECBAgAABAgQIECBAgAABAgQIECBAgAABAgQIECBAgAABAgUA"
    "Ow==";

std::string DecoratedHtml(size_t bytes, int pictures) {
  static const char* const kParagraphs[] = {
      "<div>いつもご利用いただき<b>ありがとうございます</b>。今月の<font color=\"#ff0000\">おすすめ</font>を"
      "お届けします。<a href=\"http://example.jp/sale\">セール会場</a>はこちら。</div>\r\n",
      "<div align=\"center\"><font size=\"5\" color=\"#0066cc\"><b>Weekend only</b></font><br>"
      "<i>Latin text wraps at blanks and mixes with Japanese text in one paragraph.</i></div>\r\n",
  };
  std::string html = "<html><body>\r\n";
  int placed = 0;
  for (int k = 0; html.size() < bytes; ++k) {
    html += kParagraphs[k % 2];
    if (placed < pictures && html.size() * pictures > (placed + 1) * bytes) {
      html += "<img src=\"cid:pic" + std::to_string(placed++) + "@bench\">\r\n";
    }
  }
  while (placed < pictures) html += "<img src=\"cid:pic" + std::to_string(placed++) + "@bench\">\r\n";
  return html + "</body></html>\r\n";
}

std::string DecoratedMail(size_t bytes, int pictures) {
  std::string mail =
      "From: Shop <shop@example.jp>\r\nTo: me@example.jp\r\nSubject: sale\r\nMIME-Version: 1.0\r\n"
      "Content-Type: multipart/related; boundary=\"REL\"\r\n\r\n--REL\r\n"
      "Content-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" +
      DecoratedHtml(bytes, pictures);
  for (int i = 0; i < pictures; ++i) {
    mail += "--REL\r\nContent-Type: image/gif; name=\"p" + std::to_string(i) +
            ".gif\"\r\nContent-Transfer-Encoding: base64\r\nContent-ID: <pic" + std::to_string(i) + "@bench>\r\n\r\n" +
            kGif + "\r\n";
  }
  return mail + "--REL--\r\n";
}

std::string PlainBody(size_t bytes) {
  std::string body;
  for (int n = 0; body.size() < bytes; ++n) {
    body += "Line " + std::to_string(n) + " of the report, see http://example.jp/r/" + std::to_string(n) +
            " or call 03-1234-5678.\r\n";
  }
  return body;
}

struct Setting {
  BenchDeviceRoot root{"view"};
  HMODULE resources = nullptr;
  unsigned long tray = 0;
  unsigned long decorated = 0;
  unsigned long plain = 0;
  Setting() {
    resources = MakeBenchProgramRoot();
    InitializeHtmlEditCtrl(nullptr, 0);
    QvAccountCreator().CreateFolders(kAccount);
    std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(kAccount, L""));
    QvAccountInfoInterface::Attributes s;
    s.Select(QvAccountInfoInterface::Attributes::kJusinTrayID);
    info->GetAccountInfoAttributes(&s);
    tray = s.ulJusinTrayID;
    OpenCurrentAccount(kAccount);
    SetTempFolderName(L"_V");
    std::unique_ptr<QvFolderInterface> f(CurrentStorage()->OpenFolder(tray));
    QvMessageInterface::Attributes a;
    a.mask = QvMessageInterface::kKind;
    a.kind = QvMessageInterface::kReceived;
    f->CreateMessage(&decorated, a, DecoratedMail(1 << 20, 20));
    f->CreateMessage(&plain, a,
                     "From: Boss <boss@example.jp>\r\nTo: me@example.jp\r\nSubject: report\r\n\r\n" + PlainBody(300 << 10));
  }
};

Setting& Set() {
  static Setting s;
  return s;
}

class Parent : public CWnd {};

// One open a step: read, made, laid out and painted; closed untimed.
void OpenToFirstPaint(benchmark::State& state, unsigned long id, int html) {
  Setting& s = Set();
  Parent parent;
  parent.CreateEx(0, AfxRegisterWndClass(0), L"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 800, nullptr, nullptr);
  for (auto _ : state) {
    QvMessageRecord record;
    if (!LoadMessageForView(id, &record, s.tray)) state.SkipWithError("the mail did not load");
    auto tools = std::make_unique<QvTextViewToolPage>(&record, html);
    tools->Create(137, &parent);
    tools->SetWindowPos(nullptr, 0, 0, 480, 700, SWP_NOZORDER | SWP_SHOWWINDOW);
    tools->UpdateWindow();
    state.PauseTiming();
    tools->DestroyWindow();
    tools.reset();
    state.ResumeTiming();
  }
  parent.DestroyWindow();
}

void ViewDecorated1MB(benchmark::State& state) { OpenToFirstPaint(state, Set().decorated, 1); }
BENCHMARK(ViewDecorated1MB)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void ViewPlain300KB(benchmark::State& state) { OpenToFirstPaint(state, Set().plain, 0); }
BENCHMARK(ViewPlain300KB)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The bare HTML control loading the same text (its pictures left unresolved).
void BareHtmlControl1MB(benchmark::State& state) {
  Set();
  const std::wstring html = qv::Utf8ToWide(DecoratedHtml(1 << 20, 20));
  Parent parent;
  parent.CreateEx(0, AfxRegisterWndClass(0), L"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 800, nullptr, nullptr);
  for (auto _ : state) {
    HWND control = CreateWindowExW(0, HTMLEDIT_CLASS, L"", WS_CHILD | WS_VISIBLE, 0, 100, 480, 600, parent.m_hWnd,
                                   nullptr, nullptr, nullptr);
    SendMessageW(control, HEM_READINGMODE, 1, 0);
    SendMessageW(control, HEM_LOADHTML, reinterpret_cast<WPARAM>(html.c_str()), 0);
    UpdateWindow(control);
    state.PauseTiming();
    DestroyWindow(control);
    state.ResumeTiming();
  }
  parent.DestroyWindow();
}
BENCHMARK(BareHtmlControl1MB)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
