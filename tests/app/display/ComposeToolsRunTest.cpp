// The composition tools of the real program in the tests' X server, driven
// by taps, strokes and keys: a handwritten mail over a picture that was
// loaded and turned, sent through postfix and read back from dovecot, its
// JPEG holding the strokes where they were drawn; a decorated mail typed in
// two colours with a pictograph from the pad, previewed and stored as a
// draft that holds the decorations. Each state is kept as a PNG.
#include <algorithm>
#include <cmath>
#include <functional>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/protocol/Commands.h"
#include "engine/public/content/Email.h"
#include "engine/public/content/EmlCompose.h"
#include "platform/base/WideText.h"
#include "tests/app/support/ProgramRoot.h"
#include "tests/platform/display/DisplayTest.h"
#include "tests/support/DovecotPeer.h"
#include "tests/support/PostfixPeer.h"
#include "tests/app/display/RunAccount.h"

#include "tests/app/display/ProgramRun.h"  // last: Xlib's macros

namespace {

using namespace qv::test;
constexpr const wchar_t* kAccount = L"仕事";
constexpr const wchar_t* kTitle = L"T-VELA4メール ";

// A JPEG of 160 x 120, its left half red and its right half blue: a turn
// shows as where the halves went.
std::string HalvedPicture() {
  std::vector<DWORD> pixels(160 * 120);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = i % 160 < 80 ? 0xFF0000 : 0x0000FF;
  BitmapData data{160, 120, 160 * 4, PixelFormat32bppRGB, pixels.data(), 0};
  std::vector<BYTE> jpeg;
  qv::EncodeJpeg(data, 90, &jpeg);
  return std::string(jpeg.begin(), jpeg.end());
}

std::string Unbase64(const std::string& text) {
  std::string out;
  uint32_t n = 0;
  int bits = 0;
  for (char c : text) {
    const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const char* at = c ? std::strchr(digits, c) : nullptr;
    if (!at) continue;
    n = (n << 6) | static_cast<uint32_t>(at - digits);
    if ((bits += 6) >= 8) out += static_cast<char>((n >> (bits -= 8)) & 0xFF);
  }
  return out;
}

// The first JPEG part of a raw mail, decoded.
bool JpegOf(const std::string& raw, qv::Bitmap* out) {
  const size_t type = raw.find("image/jpeg");
  const size_t blank = type == std::string::npos ? type : raw.find("\n\n", type) != std::string::npos
                                                              ? raw.find("\n\n", type)
                                                              : raw.find("\r\n\r\n", type);
  if (blank == std::string::npos) return false;
  const size_t end = raw.find("--", blank);
  const std::string bytes = Unbase64(raw.substr(blank, end == std::string::npos ? std::string::npos : end - blank));
  qv::Image image;
  return image.LoadMemory(bytes.data(), bytes.size()) && image.Decode(out);
}

// What a pixel shows, loosely (a JPEG blurs edges): ink, either half of the
// picture, paper, or something between.
enum Ink { kPaper, kStroke, kRed, kBlue, kBetween };
Ink Kind(DWORD rgb) {
  const int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  if (r > 200 && g > 200 && b > 200) return kPaper;
  if (r < 90 && g < 90 && b < 90) return kStroke;
  if (r > 170 && g < 90 && b < 90) return kRed;
  if (r < 90 && g < 90 && b > 170) return kBlue;
  return kBetween;
}

// Where the two halves of the picture lie: their mean points.
struct Halves {
  double redX = 0, redY = 0, blueX = 0, blueY = 0;
  int red = 0, blue = 0;
};
Halves HalvesOf(const std::function<DWORD(int, int)>& at, int width, int height) {
  Halves h;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Ink k = Kind(at(x, y));
      if (k == kRed) h.redX += x, h.redY += y, ++h.red;
      if (k == kBlue) h.blueX += x, h.blueY += y, ++h.blue;
    }
  }
  if (h.red) h.redX /= h.red, h.redY /= h.red;
  if (h.blue) h.blueX /= h.blue, h.blueY /= h.blue;
  return h;
}

// Text in red and in blue within a band of rows of the left half.
void ExpectBothColours(const Shot& shot, int top, int bottom) {
  int red = 0, blue = 0;
  for (int y = top; y < bottom; ++y) {
    for (int x = 0; x < 240; ++x) red += Kind(shot.At(x, y)) == kRed, blue += Kind(shot.At(x, y)) == kBlue;
  }
  EXPECT_GT(red, 40) << top;
  EXPECT_GT(blue, 40) << top;
}

class ComposeToolsRun : public DisplayTest {
 protected:
  void TearDown() override {
    KillProgram(pid_);
    DisplayTest::TearDown();
  }
  // The account sending through postfix and receiving from dovecot.
  void MakeAccount(PostfixPeer& smtp, DovecotPeer& pop, const std::string& user) {
    RunTrays trays;
    ASSERT_TRUE(MakeRunAccount(kAccount, &smtp, &pop, user, &trays));
    box_ = trays.box;
    // The device trusts both peers' authorities.
    cas_ = root_ + "/cas.pem";
    std::ofstream(cas_, std::ios::binary) << ReadFile(smtp.CaFile()) << ReadFile(pop.CaFile());
  }
  Shot Keep(const std::string& name, const Shot* before = nullptr) {
    return KeepSettled(pid_, OutputPath(name), before);
  }
  pid_t pid_ = -1;
  std::string log_, cas_;
  DWORD box_ = 0, drafts_ = 0;
};

TEST_F(ComposeToolsRun, HandwrittenMailOverATurnedPictureSentAndReadBack) {
  if (IsSkipped()) return;
  PostfixPeer& smtp = PostfixPeer::Shared();
  ASSERT_TRUE(smtp.Ready()) << smtp.Error();
  DovecotPeer& pop = DovecotPeer::Shared();
  ASSERT_TRUE(pop.Ready()) << pop.Error();
  smtp.ClearMail();
  const std::string user = pop.NewMailbox();
  MakeAccount(smtp, pop, user);
  std::filesystem::create_directories(root_ + "/My Documents");
  std::ofstream(root_ + "/My Documents/halves.jpg", std::ios::binary) << HalvedPicture();

  // A handwritten mail asked for with the picture: the page offers to turn it.
  log_ = root_ + "/program.log";
  pid_ = StartProgram(root_, log_, {"mailto:shop@example.jp?subject=hand", "-i", "-attach", "\\My Documents\\halves.jpg"},
                      {"SSL_CERT_FILE=" + cas_});
  ASSERT_GT(pid_, 0);
  HWND turn = AwaitWindow(L"画像の回転");
  const Shot offered = Keep("compose-run-1-turn-offered.png");
  ASSERT_NE(turn, nullptr) << Tail(ReadFile(log_));
  // (The dialog stands centred on the canvas.)
  Tap(pid_, 160, 364);  // "右に90度": a quarter turn clockwise
  Keep("compose-run-2-turn-chosen.png", &offered);
  Tap(pid_, 244, 492);  // "決定"
  ASSERT_TRUE(Within(std::chrono::seconds(20), [&] { return !IsWindow(turn); })) << Tail(ReadFile(log_));
  HWND sheet = AwaitWindow(kTitle, nullptr, L"Dialog");
  ASSERT_NE(sheet, nullptr) << Tail(ReadFile(log_));
  const Shot turned = Keep("compose-run-3-turned.png");

  // Strokes drawn with the pointer: across the top, across the picture, down the right.
  const std::vector<std::vector<std::pair<int, int>>> strokes = {
      {{60, 200}, {150, 200}, {240, 200}, {330, 200}, {420, 200}},
      {{150, 300}, {210, 353}, {270, 407}, {330, 460}},
      {{420, 260}, {420, 340}, {420, 420}, {420, 500}},
  };
  {
    XInput input;
    ASSERT_TRUE(input.Ready());
    const Window w = WindowOfProcess(input.display(), pid_);
    for (const auto& stroke : strokes) input.Drag(w, stroke);
  }
  const Shot drawn = Keep("compose-run-4-drawn.png", &turned);
  for (const auto& stroke : strokes) {
    for (const auto& [x, y] : stroke) EXPECT_EQ(Kind(drawn.At(x, y)), kStroke) << x << "," << y;
  }

  // Sent with the soft key, through postfix.
  Tap(pid_, 120, 773);
  Keep("compose-run-5-send.png", &drawn);
  const std::vector<std::string> sent = smtp.WaitForMail(1);
  ASSERT_EQ(sent.size(), 1u) << Tail(ReadFile(log_)) << smtp.Log();
  HWND done = AwaitWindow(L"お知らせ");
  Keep("compose-run-6-sent.png");
  ASSERT_NE(done, nullptr) << Tail(ReadFile(log_));
  Tap(pid_, 240, 465);  // its OK
  ASSERT_TRUE(Within(std::chrono::seconds(20), [&] { return !IsWindow(done); }));

  // Read back from dovecot by the program's receive.
  pop.AddMessage(user, sent[0]);
  HWND frame = FindWindowW(L"WCE_QvMailMainFrame", kTitle);
  ASSERT_TRUE(PostMessageW(frame, WM_COMMAND, kReceiveCommand, 0));
  std::vector<std::string> stored;
  ASSERT_TRUE(Within(std::chrono::seconds(60), [&] { return (stored = RawStored(kAccount, box_)).size() == 1; }))
      << Tail(ReadFile(log_)) << pop.Log();
  qv::Bitmap jpeg;
  ASSERT_TRUE(JpegOf(stored[0], &jpeg)) << stored[0].substr(0, 3000);
  // The canvas on the screen: its paper starts below the subject row.
  int left = 0, top = 135;
  while (left < 100 && Kind(turned.At(left, 300)) != kPaper) ++left;
  while (top < 200 && Kind(turned.At(240, top)) != kPaper) ++top;
  const int width = static_cast<int>(jpeg.Width()), height = static_cast<int>(jpeg.Height());
  ASSERT_LE(left + width, drawn.width);
  ASSERT_LE(top + height, drawn.height);
  // The picture as sent is the canvas as drawn, pixel for pixel (edges aside).
  int compared = 0, differing = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Ink sent = Kind(jpeg.Pixel(x, y)), shown = Kind(drawn.At(left + x, top + y));
      if (sent == kBetween || shown == kBetween) continue;
      ++compared;
      differing += sent != shown;
    }
  }
  EXPECT_GT(compared, width * height * 9 / 10);
  EXPECT_LT(differing, compared / 200) << "of " << compared;
  for (const auto& stroke : strokes) {
    for (const auto& [x, y] : stroke) EXPECT_EQ(Kind(jpeg.Pixel(x - left, y - top)), kStroke) << x << "," << y;
  }
  // The picture was turned a quarter: its halves, side by side in the file, lie above each other now.
  const Halves after = HalvesOf([&](int x, int y) { return jpeg.Pixel(x, y); }, width, height);
  ASSERT_GT(after.red, 2000);
  ASSERT_GT(after.blue, 2000);
  EXPECT_LT(std::abs(after.redX - after.blueX), 10.0);
  EXPECT_GT(std::abs(after.redY - after.blueY), 60.0);
  // Turned to the right, as the button says: the left (red) half is on top.
  EXPECT_LT(after.redY, after.blueY);
}

// A decorated mail: text typed in two colours, a pictograph from the pad.
TEST_F(ComposeToolsRun, DecoratedMailWithTwoColoursAndAPictograph) {
  if (IsSkipped()) return;
  RunTrays trays;
  ASSERT_TRUE(MakeRunAccount(kAccount, nullptr, nullptr, "", &trays));
  drafts_ = trays.drafts;
  log_ = root_ + "/program.log";
  pid_ = StartProgram(root_, log_, {"mailto:shop@example.jp?subject=deco", "-d"});
  ASSERT_GT(pid_, 0);
  HWND sheet = AwaitWindow(kTitle, nullptr, L"Dialog");
  ASSERT_NE(sheet, nullptr) << Tail(ReadFile(log_));
  const Shot opened = Keep("compose-run-deco-1.png");
  XInput input;
  ASSERT_TRUE(input.Ready());
  Tap(pid_, 120, 420);  // into the body
  input.Type("red");
  const Shot typed = Keep("compose-run-deco-2.png", &opened);
  Tap(pid_, 360, 773);
  const Shot menu = Keep("compose-run-deco-3.png", &typed);
  Tap(pid_, 325, 563);  // "文字装飾..."
  const Shot palette = Keep("compose-run-deco-4.png", &menu);
  Tap(pid_, 281, 618);  // the text colour
  const Shot pad = Keep("compose-run-deco-5.png", &palette);
  Tap(pid_, 173, 380);  // red
  Shot now = Keep("compose-run-deco-6.png", &pad);
  input.Type("RED");
  now = Keep("compose-run-deco-7.png", &now);
  // The second colour, the same way.
  Tap(pid_, 360, 773);
  now = Keep("compose-run-deco-8.png", &now);
  Tap(pid_, 325, 563);
  now = Keep("compose-run-deco-9.png", &now);
  Tap(pid_, 281, 618);
  now = Keep("compose-run-deco-10.png", &now);
  Tap(pid_, 305, 380);  // blue
  now = Keep("compose-run-deco-11.png", &now);
  input.Type("BLUE");
  now = Keep("compose-run-deco-12.png", &now);
  // Both colours on the screen, in the body's first line.
  ExpectBothColours(now, 270, 300);
  // A pictograph from the pad.
  Tap(pid_, 360, 773);
  now = Keep("compose-run-deco-13.png", &now);
  Tap(pid_, 325, 511);  // "絵文字・記号..."
  now = Keep("compose-run-deco-14.png", &now);
  Tap(pid_, 82, 594);   // the cloud
  Tap(pid_, 120, 773);  // "入力"
  now = Keep("compose-run-deco-15.png", &now);
  Tap(pid_, 360, 773);  // "閉じる"
  now = Keep("compose-run-deco-16.png", &now);
  // Previewed from the menu.
  Tap(pid_, 360, 773);
  now = Keep("compose-run-deco-preview-1.png", &now);
  Tap(pid_, 325, 615);  // "プレビュー..."
  now = Keep("compose-run-deco-preview-2.png", &now);
  ExpectBothColours(now, 55, 90);
  Tap(pid_, 120, 773);  // "完了"
  now = Keep("compose-run-deco-preview-3.png", &now);
  // Stored as a draft from the menu.
  Tap(pid_, 360, 773);
  now = Keep("compose-run-deco-17.png", &now);
  Tap(pid_, 325, 67);  // "下書き保存"
  ASSERT_TRUE(Within(std::chrono::seconds(20), [&] { return !IsWindow(sheet); })) << Tail(ReadFile(log_));
  const std::vector<std::string> drafts = RawStored(kAccount, drafts_);
  ASSERT_EQ(drafts.size(), 1u);
  std::string raw = drafts[0];
  Email mail;
  ASSERT_TRUE(EmlCompose().Decode(&mail, &raw));
  const std::string html = qv::WideToUtf8(mail.htmlBody);
  for (const char* part : {"<font color=\"#ff0000\">RED</font>", "<font color=\"#0000ff\">BLUE\xEE\x98\xBF"}) {
    EXPECT_NE(html.find(part), std::string::npos) << part << "\n" << html;
  }
  // The plain alternative carries the same words, for readers without HTML.
  const std::string plain = qv::WideToUtf8(mail.body);
  EXPECT_NE(plain.find("redREDBLUE"), std::string::npos) << plain;
}

}  // namespace
